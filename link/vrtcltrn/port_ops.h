#pragma once
// Plain-port operations (_vrtCL_fComOpen ... _vrtCL_fComRead) and what the
// request engine shares with them: timing, waits and the per-port run marks.
#include <cstdint>

#include "vrtclnk.h"

namespace vrt::link {

// Queue sizes of an open port; the write frames into an output-sized buffer,
// the read receives into an input-sized one.
inline constexpr uint16_t kOutputQueueSize = 2120;
inline constexpr uint16_t kInputQueueSize = 2136;
// Read size of the RTU protocols (largest RTU frame plus a margin).
inline constexpr uint16_t kRtuReadSize = 1087;
// Event mask given at open: received character, transmitter empty, break, line error.
inline constexpr uint32_t kOpenEventMask = 0xC5;

// Time-outs given to a port at open for its baud rate, protocol and response time.
VrtTimeouts PortTimeouts(uint32_t baud, int32_t protocol, uint32_t responseMs);

// C(n): _vrtCL_fCalcTimeOut of n characters at the baud rate in force on the port.
uint32_t CharTime(const PortRecord& rec, uint16_t chars);

// Identifies one opening of a port's device. An operation takes one when it
// starts and checks it after every wait: a message handler may have closed or
// reopened the port meanwhile, and then the descriptor is no longer its own.
class PortLease {
public:
    explicit PortLease(int32_t port);
    bool valid() const;
    int32_t port() const { return port_; }

private:
    int32_t port_;
    uint32_t generation_;
};

// Processes the caller's messages once; false when the lease was lost meanwhile.
bool PumpMessages(const PortLease& lease);
// Sleeps `ms` in short slices, processing messages between them; false (and
// an early end) when the lease was lost meanwhile.
bool WaitProcessing(const PortLease& lease, uint32_t ms);

// The per-port mark of a running write, read or request: while it is set,
// every other write, read or request on the port is refused as busy (-13),
// also where the phase does not show it (a request between its write and its
// read, a write before its output starts). Close clears it.
bool PortOperationRunning(int32_t port);

// Holds the mark for one operation, unless an enclosing operation on the same
// port (a request around its own write and read) or another thread holds it
// already. Taking it is one atomic test-and-set; the release frees only the
// mark this object took (a close frees it at once).
class PortOperationMark {
public:
    explicit PortOperationMark(int32_t port);
    ~PortOperationMark();
    PortOperationMark(const PortOperationMark&) = delete;
    PortOperationMark& operator=(const PortOperationMark&) = delete;
    bool owner() const { return owner_; }

private:
    int32_t port_;
    uint32_t token_;
    bool owner_ = false;
};

// RS-485: waits until the transmitter reports empty (through `isEmpty`), the
// abort flag is set, or `limitMs` pass; processes messages between looks.
enum class TransmitterWait { Empty, TimedOut, Aborted, Lost };
TransmitterWait WaitForTransmitter(const PortLease& lease, const PortRecord& rec, uint32_t limitMs,
                                   bool (*isEmpty)(int handle));

// Write and read as exported. `insideRequest`: called by the request that
// holds the port's mark, which then does not make them busy.
int32_t ComWrite(int32_t port, const uint8_t* payload, uint16_t len, uint16_t* written, int32_t noWait,
                 bool insideRequest);
int32_t ComRead(int32_t port, uint8_t* buf, uint16_t bufLen, uint16_t* outLen, int32_t waitMode, bool insideRequest);

}  // namespace vrt::link
