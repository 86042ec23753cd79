#include "vrtcltrn/port_ops.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "dlgset/error_log.h"
#include "platform/clock.h"
#include "platform/pump.h"
#include "platform/serial.h"
#include "vrtcltrn/codes.h"
#include "vrtcltrn/frames.h"
#include "vrtcltrn/port_table.h"

namespace serial = vrt::platform::serial;

namespace vrt::link {
namespace {

// Longest single sleep between two rounds of message processing.
constexpr uint32_t kWaitSliceMs = 10;
// Offset and size of the operation and statistics block that every open zeroes.
constexpr size_t kOpStatsOffset = offsetof(PortRecord, lastOp);
constexpr size_t kOpStatsSize = offsetof(PortRecord, hCom) - kOpStatsOffset;
static_assert(kOpStatsOffset == 399 && kOpStatsSize == 64);

// Hosts may call from more than one thread: the marks live beside the
// packed records (whose layout hosts read) as atomics of their own.
struct PortRun {
    std::atomic<uint32_t> generation{0};  // changes with every open and every release of the device
    std::atomic<uint32_t> markOwner{0};   // token of the operation holding the busy mark; 0 free
};
PortRun g_run[VRT_PORT_COUNT];
std::atomic<uint32_t> g_nextMarkToken{0};

uint32_t newMarkToken() {
    uint32_t token = 0;
    while (token == 0) token = g_nextMarkToken.fetch_add(1, std::memory_order_relaxed) + 1;
    return token;
}

bool inRange(int32_t port) { return port >= 0 && port < VRT_PORT_COUNT; }

// Phases 3 and 4 belong to a running write or read; every operation holds
// the port's mark from its checks to its end. `mark` was taken before: the
// taking is the test, so of two callers starting together one is refused.
bool busy(const PortRecord& rec, const PortOperationMark& mark, bool insideRequest) {
    if (rec.phase == kPhaseOutput || rec.phase == kPhaseInput) return true;
    return !insideRequest && !mark.owner();
}

int32_t finish(PortRecord& rec, int32_t code) {
    rec.lastResult = code;
    rec.opDone = 1;
    return code;
}

// What close does to an open port, without the open count and the log.
void releaseDevice(int32_t port, PortRecord& rec) {
    rec.abortEvent = 1;
    const serial::Handle h = rec.hCom;
    serial::setEventMask(h, 0);
    serial::setRts(h, false);
    serial::setDtr(h, false);
    serial::purge(h);
    serial::close(h);
    rec.phase = kPhaseClosed;
    rec.lastOp = kOpClose;
    rec.lastResult = kOk;
    rec.opDone = 1;
    g_run[port].generation.fetch_add(1);
    g_run[port].markOwner.store(0);
}

// The control block the port's settings ask for; the rest stays as read.
void applyLineSettings(const PortRecord& rec, VrtDcb& dcb) {
    dcb.length = sizeof(VrtDcb);
    dcb.baudRate = rec.baud;
    dcb.byteSize = rec.data;
    dcb.parity = rec.parity;
    dcb.stopBits = rec.stop;
    // RTS and DTR control stay "disabled" (0): the library switches both itself.
    dcb.flags = VRT_DCB_F_BINARY | VRT_DCB_F_PARITY | VRT_DCB_F_ABORT_ON_ERROR;
    dcb.xonLim = 0;
    dcb.xoffLim = 0;
    dcb.xonChar = ':';
    dcb.xoffChar = '\n';
}

}  // namespace

VrtTimeouts PortTimeouts(uint32_t baud, int32_t protocol, uint32_t responseMs) {
    const uint32_t c = _vrtCL_fCalcTimeOut(1, baud);
    const uint32_t interval = 20 * c + 340;
    const uint32_t base = protocol <= kProtocolAscii ? 2152 * c : 1076 * c + 16;
    const uint32_t w = base + 2 * interval;
    VrtTimeouts t{};
    t.readInterval = interval;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = w + 32 + responseMs + responseMs / 3 + 50;
    t.writeTotalMultiplier = 0;
    t.writeTotalConstant = w + 50;
    return t;
}

uint32_t CharTime(const PortRecord& rec, uint16_t chars) { return _vrtCL_fCalcTimeOut(chars, rec.dcb.baudRate); }

PortLease::PortLease(int32_t port) : port_(port), generation_(inRange(port) ? g_run[port].generation.load() : 0) {}

bool PortLease::valid() const {
    return inRange(port_) && g_run[port_].generation.load() == generation_;
}

bool PumpMessages(const PortLease& lease) {
    platform::processMessages();
    return lease.valid();
}

bool WaitProcessing(const PortLease& lease, uint32_t ms) {
    // Slices are measured against the start, so their overshoots and the time
    // the messages take do not add up; the sum of the slices asked for ends
    // the wait as well, should the clock stand still.
    const uint32_t start = platform::tickMs();
    uint32_t asked = 0;
    for (;;) {
        const uint32_t elapsed = platform::tickMs() - start;
        if (elapsed >= ms || asked >= ms) break;
        const uint32_t slice = std::min(ms - std::max(elapsed, asked), kWaitSliceMs);
        platform::sleepMs(slice);
        asked += slice;
        if (platform::tickMs() - start < ms && asked < ms && !PumpMessages(lease)) return false;
    }
    return lease.valid();
}

bool PortOperationRunning(int32_t port) { return inRange(port) && g_run[port].markOwner.load() != 0; }

PortOperationMark::PortOperationMark(int32_t port) : port_(port), token_(newMarkToken()) {
    uint32_t free = 0;
    owner_ = inRange(port) && g_run[port].markOwner.compare_exchange_strong(free, token_);
}

PortOperationMark::~PortOperationMark() {
    // A close meanwhile cleared the mark, and a later opening may hold it now.
    uint32_t mine = token_;
    if (owner_) g_run[port_].markOwner.compare_exchange_strong(mine, 0);
}

TransmitterWait WaitForTransmitter(const PortLease& lease, const PortRecord& rec, uint32_t limitMs,
                                   bool (*isEmpty)(int handle)) {
    const uint32_t start = platform::tickMs();
    for (;;) {
        if (rec.abortEvent != 0) return TransmitterWait::Aborted;
        if (isEmpty(rec.hCom)) return TransmitterWait::Empty;
        if (platform::tickMs() - start >= limitMs) return TransmitterWait::TimedOut;
        platform::sleepMs(1);
        if (!PumpMessages(lease)) return TransmitterWait::Lost;
    }
}

int32_t ComWrite(int32_t port, const uint8_t* payload, uint16_t len, uint16_t* written, int32_t noWait,
                 bool insideRequest) {
    if (written) *written = 0;
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return status;
    // The mark first, the opening it belongs to next: a close after this
    // point shows in the lease.
    const PortOperationMark mark(port);
    const PortLease lease(port);
    // Refused before anything is touched: the running operation owns the abort
    // flag, RTS and the operation fields.
    if (rec->phase != kPhaseClosed && busy(*rec, mark, insideRequest)) return kErrBusy;
    rec->abortEvent = 0;
    rec->lastOp = kOpWrite;
    rec->opDone = 0;
    if (rec->phase == kPhaseClosed) return finish(*rec, kErrClosed);
    if (rec->phase != kPhaseOpen && rec->phase != kPhaseReady) return finish(*rec, kErrBusy);
    if (!payload) return finish(*rec, kErrDataDescription);
    uint8_t frame[kOutputQueueSize] = {};
    const uint16_t frameLen = _vrtCL_fNetFrmBufOut(payload, frame, len, rec->protocol);
    if (frameLen == 0) return finish(*rec, kErrBufferSize);

    const serial::Handle h = rec->hCom;
    platform::sleepMs(2);
    if (!PumpMessages(lease)) return kErrAborted;
    serial::setRts(h, true);
    serial::purge(h);
    serial::inputCount(h);  // the line error state has nothing to clear here
    ++rec->cntOut;

    const uint32_t tA = CharTime(*rec, 3) + 1;
    const uint32_t tB = CharTime(*rec, uint16_t(frameLen + 16)) + 33;
    const uint32_t tC = CharTime(*rec, 18) + 1;
    const uint32_t tD = rec->max / 2 + 32 + tC;

    rec->phase = kPhaseOutput;
    // RTS has been up for at least this long before the first character.
    if (!PumpMessages(lease) || !WaitProcessing(lease, tA + 10) || !PumpMessages(lease)) return kErrAborted;

    VrtTimeouts to{};
    serial::getTimeouts(h, to);
    size_t sent = 0;
    bool ok = serial::write(h, frame, frameLen, sent) && sent == frameLen;
    if (ok) serial::drain(h, to.writeTotalConstant);
    // Another thread may have closed the port during the write; its number
    // may name another port's device by now.
    if (!lease.valid()) return kErrAborted;
    if (ok && rec->mode != 0) {
        // RS-485: the converter must not turn the line round before the last
        // stop bit has left. Bounded by the write time-out; the abort flag ends it too.
        const TransmitterWait w = WaitForTransmitter(lease, *rec, to.writeTotalConstant, serial::transmitterEmpty);
        if (w == TransmitterWait::Lost) return kErrAborted;
        if (w != TransmitterWait::Empty || rec->abortEvent != 0) ok = false;
    } else if (ok) {
        if (!WaitProcessing(lease, tB)) return kErrAborted;
    }
    if (!lease.valid()) return kErrAborted;
    if (!ok) serial::purge(h);
    serial::setRts(h, false);

    if (!ok) {
        int32_t code = kErrAborted;
        if (rec->abortEvent == 0) {
            ++rec->cntErrOut;
            code = kErrOutput;
        }
        finish(*rec, code);
        rec->abortEvent = 0;
        rec->phase = kPhaseReady;
        return code;
    }
    rec->phase = kPhaseOutput;
    if (!noWait && !WaitProcessing(lease, tD)) return kErrAborted;
    if (written) *written = len;
    finish(*rec, kOk);
    rec->phase = kPhaseReady;
    return kOk;
}

int32_t ComRead(int32_t port, uint8_t* buf, uint16_t bufLen, uint16_t* outLen, int32_t waitMode, bool insideRequest) {
    if (buf && bufLen > 0) std::memset(buf, 0, bufLen);
    if (outLen) *outLen = 0;
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return status;
    const PortOperationMark mark(port);
    const PortLease lease(port);
    // Busy first: dropping RTS or clearing the abort flag here would disturb
    // the operation that is running.
    if (rec->phase != kPhaseClosed && busy(*rec, mark, insideRequest)) return kErrBusy;
    rec->abortEvent = 0;
    rec->lastOp = kOpRead;
    rec->opDone = 0;
    if (rec->phase != kPhaseClosed) serial::setRts(rec->hCom, false);
    if (rec->phase == kPhaseClosed) return finish(*rec, kErrClosed);
    if (rec->phase != kPhaseOpen && rec->phase != kPhaseReady) return finish(*rec, kErrBusy);
    if (!buf) return finish(*rec, kErrDataDescription);
    if (bufLen == 0) return finish(*rec, kErrBufferSize);

    const serial::Handle h = rec->hCom;
    const uint32_t tA = CharTime(*rec, 18) + 1;
    rec->phase = kPhaseInput;
    ++rec->cntInp;
    const uint16_t readSize = rec->protocol <= kProtocolAscii ? kInputQueueSize : kRtuReadSize;

    uint8_t in[kInputQueueSize] = {};
    size_t got = 0;
    if (waitMode == 0) {
        if (!WaitProcessing(lease, tA)) return kErrAborted;
        if (!serial::read(h, in, readSize, got)) got = 0;
    } else {
        // Listening: read once a whole poll interval has passed without new bytes.
        int remembered = 0;
        while (rec->abortEvent == 0) {
            if (!WaitProcessing(lease, tA)) return kErrAborted;
            const int count = std::max(serial::inputCount(h), 0);
            if (count != 0 && count == remembered) {
                if (!WaitProcessing(lease, tA)) return kErrAborted;
                if (!serial::read(h, in, kInputQueueSize, got)) got = 0;
                break;
            }
            remembered = count;
            if (!PumpMessages(lease)) return kErrAborted;
        }
        if (rec->abortEvent != 0) got = 0;
    }
    // A read blocks for up to the port's read time-out: another thread may
    // have closed the port and opened another on the same number meanwhile.
    if (!lease.valid()) return kErrAborted;
    serial::purge(h);
    serial::inputCount(h);

    int32_t code = kOk;
    if (got == 0) {
        if (rec->abortEvent != 0) {
            rec->abortEvent = 0;
            code = kErrAborted;
        } else {
            ++rec->cntErrInp;
            code = kErrInput;
        }
    } else {
        rec->abortEvent = 0;
        uint16_t payloadLen = 0;
        const int32_t parse = _vrtCL_fNetExtractInpData(in, in, uint16_t(got), &payloadLen, rec->protocol);
        if (parse != kFrameOk) {
            code = _vrtCL_fCnvErrExtractInpData(parse);
            ++rec->cntErrInp;
        } else {
            if (payloadLen > bufLen) {
                code = kErrAnswerCut;
                ++rec->cntErrInp;
                payloadLen = bufLen;
            }
            if (outLen) *outLen = payloadLen;
            std::memcpy(buf, in, payloadLen);
        }
    }
    finish(*rec, code);
    rec->phase = kPhaseReady;
    return code;
}

}  // namespace vrt::link

using namespace vrt::link;

extern "C" VRT_API uint32_t _vrtCL_fCalcTimeOut(uint16_t chars, uint32_t baud) {
    if (chars == 0 || baud == 0) return 1;
    const double ms = double(chars) * 11.0 * 1000.0 / double(baud);
    const auto whole = uint32_t(ms);
    return whole == 0 ? 1 : whole;
}

extern "C" VRT_API int32_t _vrtCL_fComOpen(int32_t port) {
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return status;
    rec->abortEvent = 0;
    rec->repeatCount = 0;
    if (rec->phase != kPhaseClosed) _vrtCL_fComClose(port);

    std::memset(reinterpret_cast<uint8_t*>(rec) + kOpStatsOffset, 0, kOpStatsSize);
    rec->lastOp = kOpOpen;
    rec->opDone = 0;

    const serial::Handle h = serial::openCom(port + 1);
    if (h == serial::kNoHandle) return finish(*rec, kErrOpen);
    rec->hCom = h;
    rec->phase = kPhaseOpen;
    g_run[port].generation.fetch_add(1);
    g_run[port].markOwner.store(0);

    VrtDcb dcb{};
    bool ok = serial::getState(h, dcb);
    if (ok) {
        applyLineSettings(*rec, dcb);
        ok = serial::setState(h, dcb) && serial::setEventMask(h, kOpenEventMask);
    }
    // The time-outs follow the baud rate now in force on the device.
    VrtDcb inForce{};
    ok = ok && serial::getState(h, inForce);
    if (ok) {
        rec->timeouts = PortTimeouts(inForce.baudRate, rec->protocol, rec->max);
        ok = serial::setTimeouts(h, rec->timeouts) && serial::getState(h, rec->dcb);
    }
    if (!ok) {
        releaseDevice(port, *rec);
        rec->abortEvent = 0;
        return finish(*rec, kErrSetParams);
    }
    rec->phase = kPhaseOpen;
    serial::setRts(h, false);
    serial::purge(h);
    finish(*rec, kOk);
    {
        const std::lock_guard lock(OpenCountLock());
        ++OpenPortCount;
        ErrLogPortClosed(port, 1);
    }
    return port;
}

extern "C" VRT_API void _vrtCL_fComClose(int32_t port) {
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return;
    if (rec->phase != kPhaseClosed) {
        releaseDevice(port, *rec);
        const std::lock_guard lock(OpenCountLock());
        if (OpenPortCount > 0) {
            --OpenPortCount;
            ErrLogPortClosed(port, 0);
        }
    }
    rec->abortEvent = 0;
}

extern "C" VRT_API void _vrtCL_fComCloseAll(void) {
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) _vrtCL_fComSetEvent(k, 1);
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) _vrtCL_fComClose(k);
}

extern "C" VRT_API int32_t _vrtCL_fComIsOpen(int32_t port) {
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return status;
    return rec->phase != kPhaseClosed ? 1 : 0;
}

extern "C" VRT_API int32_t _vrtCL_fComClear(int32_t port) {
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (!rec) return status;
    if (rec->phase != kPhaseClosed) {
        serial::purge(rec->hCom);
        serial::setRts(rec->hCom, false);
        serial::setDtr(rec->hCom, false);
    }
    return kOk;
}

extern "C" VRT_API int32_t _vrtCL_fComSetEvent(int32_t port, int32_t value) {
    int32_t status = 0;
    PortRecord* rec = _vrtCL_fGetAddr(port, &status);
    if (rec && rec->phase != kPhaseClosed) rec->abortEvent = value;
    return kOk;
}

extern "C" VRT_API int32_t _vrtCL_fComWrite(int32_t port, const uint8_t* payload, uint16_t len, uint16_t* written,
                                            int32_t noWait) {
    return ComWrite(port, payload, len, written, noWait, false);
}

extern "C" VRT_API int32_t _vrtCL_fComRead(int32_t port, uint8_t* buf, uint16_t bufLen, uint16_t* outLen,
                                           int32_t waitMode) {
    return ComRead(port, buf, bufLen, outLen, waitMode, false);
}
