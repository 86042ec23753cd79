#pragma once
// Serial devices for the link library: a small layer over termios and poll
// that behaves like the Windows serial interface the library was designed on.
//
// A handle is the device's file descriptor (what PortRecord::hCom stores);
// kNoHandle is -1. Every call on a handle that this layer did not open, or
// has closed, fails (false, or -1) and touches no descriptor.
//
// Device names: COMn is the path in the environment variable VRT_COMn when it
// is set and not empty, else /dev/ttyS<n-1>.
//
// Line settings use the library's VrtDcb. Time-outs use VrtTimeouts with the
// Windows rules:
//   read:  the total limit M·n + K counts from the start of the call (no total
//          limit when M and K are both 0); once the first byte has arrived, a
//          gap longer than the interval RI ends the read (RI 0: no interval);
//          a full buffer ends it at once. RI = 0xFFFFFFFF with M = K = 0
//          returns at once with what is waiting; RI = M = 0xFFFFFFFF with
//          0 < K < 0xFFFFFFFF returns what is waiting, else waits up to K for
//          the first byte and returns as soon as one arrives.
//   write: the total limit WM·n + WK from the start of the call (none when
//          both are 0).
// A read or write that ends on a time-out is still a success; the count tells
// what moved. Reads and writes block the calling thread, nothing else.
//
// Modem lines: RTS and DTR are switched through TIOCMBIS/TIOCMBIC. Devices
// without modem lines (pseudo-terminals) refuse that; the refusal is ignored
// and the layer still keeps the state last asked for.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/include/vrtclnk.h"

namespace vrt::platform::serial {

using Handle = int;
inline constexpr Handle kNoHandle = -1;

// Windows event-mask bits that the link library uses.
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvTxEmpty = 0x0004;
inline constexpr uint32_t kEvErr = 0x0080;
inline constexpr uint32_t kEvBreak = 0x0040;

// The device path of COMn (n from 1).
std::string comDevicePath(int n);

// Opens the device for reading and writing, exclusively (TIOCEXCL and an
// flock that a second open of the same device cannot take), in raw mode
// without flow control. kNoHandle when the device is missing, taken or not a
// terminal, or when 64 devices are open through this layer already.
Handle open(const std::string& path);
// Opens COMn (n from 1) through comDevicePath.
Handle openCom(int n);
// Releases the device; false for an unknown handle.
bool close(Handle h);
// True while `h` is a handle this layer has open.
bool isOpen(Handle h);

// The device control block: the baud rate in force, flow control and XON/XOFF
// characters read back from the device, the remaining fields as last set.
// Data bits, parity and stop bits are read from the device until the first
// setState, then they are those it set (which a real device was checked to
// have taken; a pseudo-terminal carries no framing and ignores them).
bool getState(Handle h, VrtDcb& dcb);
// Applies a device control block. Fails, changing nothing, for a baud rate
// the system or device does not take exactly, data bits outside 5..8, parity
// above 4 (mark and space use CMSPAR), 1.5 stop bits with other than 5 data
// bits, 2 stop bits with 5, any stop-bit code above 2, or framing that a real
// device did not take. DTR and RTS control "disable"/"enable" drop/raise the line.
bool setState(Handle h, const VrtDcb& dcb);

bool setTimeouts(Handle h, const VrtTimeouts& t);
bool getTimeouts(Handle h, VrtTimeouts& t);

// Reads up to `size` bytes under the read time-outs; `got` receives the count.
// False on a device error with nothing read. With parity checking on (parity
// set and VRT_DCB_F_PARITY), a byte received with a parity or framing error
// fails the read the same way; data bytes 0xFF arrive as they were sent.
bool read(Handle h, uint8_t* buf, size_t size, size_t& got);
// The same read, for a caller that must stay responsive while it waits:
// `keepWaiting` runs between the waits, at least every `sliceMs` while no
// byte completes the read, and may process messages. The time-outs and the
// bytes taken are those of the plain read; `keepWaiting` returning false ends
// the read at once with what has arrived. It may close the handle: the read
// then ends as well.
bool read(Handle h, uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
          const std::function<bool()>& keepWaiting);
// Writes `size` bytes under the write time-outs; `written` receives the count.
// False on a device error with nothing written.
bool write(Handle h, const uint8_t* buf, size_t size, size_t& written);

// Discards both queues (PurgeComm with all flags).
bool purge(Handle h);
// Bytes waiting in the input queue, -1 on failure (ClearCommError's count).
int inputCount(Handle h);
// Bytes not yet sent, -1 on failure.
int outputCount(Handle h);
// True once every byte written has left the device, the transmitter's shift
// register included where the driver can tell (EV_TXEMPTY).
bool transmitterEmpty(Handle h);
// Waits until the transmitter is empty, at most `limitMs`; false when the
// limit passed first or the handle is bad (FlushFileBuffers, bounded).
bool drain(Handle h, uint32_t limitMs);

// RTS and DTR; the result is false only for a bad handle.
bool setRts(Handle h, bool on);
bool setDtr(Handle h, bool on);
// The state last asked for (false for a bad handle).
bool rts(Handle h);
bool dtr(Handle h);

// For tests: a pseudo-terminal carries no RTS line, so the far end cannot see
// when the library turns the line round. While recording, every setRts call is
// kept with the platform tick (platform/clock.h) at which it was made; the
// oldest calls are dropped beyond a few thousand.
struct RtsSwitch {
    Handle handle;
    bool on;
    uint32_t tickMs;
};
// Starts recording afresh (true) or stops and forgets (false).
void recordRtsForTesting(bool on);
// The calls recorded so far, oldest first.
std::vector<RtsSwitch> rtsSwitchesForTesting();

// The event mask is kept with the handle (SetCommMask); only kEvTxEmpty has a
// use here, through transmitterEmpty and drain.
bool setEventMask(Handle h, uint32_t mask);
uint32_t eventMask(Handle h);

}  // namespace vrt::platform::serial
