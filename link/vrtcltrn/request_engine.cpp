#include "vrtcltrn/request_engine.h"

#include <algorithm>
#include <cstring>

#include "dlgset/error_log.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "vrtcltrn/codes.h"
#include "vrtcltrn/frames.h"
#include "vrtcltrn/port_ops.h"

namespace serial = vrt::platform::serial;

namespace vrt::link {
namespace {

// MODBUS exception codes the controllers send, and the result each gives.
int32_t modbusException(uint8_t code) {
    switch (code) {
        case 1: return -23;  // illegal function: command not supported
        case 2: return -24;  // illegal data address: no such variable
        case 3: return -26;  // illegal data value: bad argument
        case 4: return -29;  // slave device failure
        case 6: return kErrCtlBusy;
        // Any other exception is still a refusal, never a success.
        default: return -31;
    }
}

// An abort the engine saw between its steps ends the request.
int32_t takeAbort(PortRecord& rec) {
    rec.abortEvent = 0;
    rec.lastResult = kErrAborted;
    ++rec.cntErrRq;
    return kErrAborted;
}

// Before a repeat: wait until the line has carried no new bytes for more
// than t2, so a late answer or noise has ended first.
int32_t waitForQuiet(PortRecord& rec, const PortLease& lease, uint32_t t1, uint32_t t2) {
    const serial::Handle h = rec.hCom;
    serial::purge(h);
    uint32_t quiet = 0;
    int remembered = 0;
    do {
        const int count = serial::inputCount(h);
        if (count < 0) {
            serial::purge(h);
            remembered = 0;
            if (!WaitProcessing(lease, t1)) return kErrAborted;
            quiet += t1;
        } else if (count != 0 && count != remembered) {
            remembered = count;
            quiet = 0;
        } else {
            if (!WaitProcessing(lease, t1)) return kErrAborted;
            quiet += t1;
        }
        if (!PumpMessages(lease)) return kErrAborted;
        if (rec.abortEvent != 0) return takeAbort(rec);
    } while (quiet <= t2);
    return kOk;
}

}  // namespace

AnswerVerdict CheckAnswer(int32_t protocol, uint8_t reqAddress, uint8_t reqCommand, const uint8_t* answer,
                          uint16_t answerLen) {
    const auto at = [&](uint16_t i) -> uint8_t { return answer && i < answerLen ? answer[i] : 0; };
    if (at(0) != reqAddress) return {kErrOtherController, AnswerCounter::ErrAnswer, false};
    const uint8_t command = at(1);
    if (protocol == kProtocolModbusRtu) {
        if ((command & 0x7Fu) != reqCommand) return {kErrOtherCommand, AnswerCounter::ErrAnswer, false};
        if (!(command & 0x80u)) return {kOk, AnswerCounter::None, false};
        return {modbusException(at(2)), AnswerCounter::NegAnswer, false};
    }
    // VortanBus: the low nibble repeats the command, the high nibble is the status.
    if (command == reqCommand) return {kErrBadAnswer, AnswerCounter::ErrAnswer, false};
    if ((command & 0x0Fu) != (reqCommand & 0x0Fu)) return {kErrOtherCommand, AnswerCounter::ErrAnswer, false};
    const int32_t status = command >> 4;
    if (status == 1) return {kOk, AnswerCounter::None, true};
    if (status == 0) return {kErrBadAnswer, AnswerCounter::ErrAnswer, true};
    return {_vrtCL_fCnvErrAnswer(status), AnswerCounter::NegAnswer, true};
}

int32_t RequestWithRepeats(int32_t port, const uint8_t* req, uint16_t reqLen, uint8_t* ans, uint16_t ansLen,
                           uint16_t* outLen) {
    if (ans && ansLen > 0) std::memset(ans, 0, ansLen);
    if (outLen) *outLen = 0;
    const uint8_t reqAddress = req && reqLen > 0 ? req[0] : 0;
    const uint8_t reqCommand = req && reqLen > 1 ? req[1] : 0;

    int32_t status = 0;
    PortRecord* found = _vrtCL_fGetAddr(port, &status);
    if (!found) return status;
    PortRecord& rec = *found;
    ++rec.cntRq;

    const PortOperationMark mark(port);
    const PortLease lease(port);
    // Every wait may run a message handler that closes or reopens the port;
    // after that the request touches neither the record nor the device.
    const auto pause = [&](uint32_t ms) { return PumpMessages(lease) && WaitProcessing(lease, ms); };
    // The wait before the read, cut short by an abort (timed from its start,
    // so the slices add nothing to it).
    const auto pauseUnlessAborted = [&](uint32_t ms) {
        if (!PumpMessages(lease)) return false;
        const uint32_t start = platform::tickMs();
        for (;;) {
            const uint32_t elapsed = platform::tickMs() - start;
            if (rec.abortEvent != 0 || elapsed >= ms) return lease.valid();
            if (!WaitProcessing(lease, std::min<uint32_t>(ms - elapsed, 10))) return false;
        }
    };

    uint16_t answerLen = 0;
    for (;;) {
        if (!pause(5)) return kErrAborted;
        int32_t r = ComWrite(port, req, reqLen, nullptr, 0, mark.owner());
        if (!lease.valid()) return kErrAborted;
        if (r != kOk) {
            if (!PumpMessages(lease)) return r;
            ++rec.cntErrRq;
            WaitProcessing(lease, 16);
            return r;
        }
        const uint32_t t1 = CharTime(rec, 19) + 16 + ((rec.cntOut & 1u) ? 11 : 2);
        const uint32_t t2 = rec.max / 2 + 32 + t1;
        if (!pauseUnlessAborted(t2)) return kErrAborted;
        // An abort set while the request was written or waited for its
        // answer: the read would clear it and the request would repeat.
        if (rec.abortEvent != 0) return takeAbort(rec);
        r = ComRead(port, ans, ansLen, &answerLen, 0, mark.owner());
        if (!lease.valid()) return kErrAborted;
        if (outLen) *outLen = answerLen;
        if (r == kOk) break;

        if (!pause(16) || !PumpMessages(lease)) return r;
        if (r != kErrInput && r != kErrInputTimeout) {
            // A garbled or cut answer, an abort, a closed or busy port: no repeat.
            pause(t2 + 10);
            return r;
        }
        // >=, so a host that lowers rptErr below the repeats made cannot make it repeat for ever.
        if (rec.repeatCount >= rec.rptErr) {
            ++rec.cntErrRq;
            if (!pause(t2)) return r;
            if (rec.repeatCount != 0 && pause(100)) PumpMessages(lease);
            return r;
        }
        ++rec.repeatCount;
        if (!pause(t1) || !PumpMessages(lease)) return kErrAborted;
        const int32_t quiet = waitForQuiet(rec, lease, t1, t2);
        if (quiet != kOk) return quiet;
        if (!pause(t2) || !pause(20) || !PumpMessages(lease)) return kErrAborted;
        // The next write would clear an abort set after the quiet wait.
        if (rec.abortEvent != 0) return takeAbort(rec);
    }

    rec.repeatCount = 0;
    rec.lastOp = kOpAnalysis;
    const AnswerVerdict verdict = CheckAnswer(rec.protocol, reqAddress, reqCommand, ans, answerLen);
    if (verdict.commandMatched) rec.reserved451[2] = 0;
    if (verdict.counter == AnswerCounter::ErrAnswer) ++rec.cntErrAnswer;
    if (verdict.counter == AnswerCounter::NegAnswer) ++rec.cntNegAnswer;
    rec.lastResult = verdict.code;
    rec.opDone = 1;
    if (verdict.code == kOk) rec.repeatCount = 0;
    pause(verdict.code == kErrOtherController ? 16 : 32);
    return verdict.code;
}

}  // namespace vrt::link

using namespace vrt::link;

extern "C" VRT_API int32_t _vrtCL_fComRequest(int32_t port, const uint8_t* req, uint16_t reqLen, uint8_t* ans,
                                              uint16_t ansLen, uint16_t* outLen) {
    const uint32_t start = vrt::platform::tickMs();
    const PortLease lease(port);
    const int32_t result = RequestWithRepeats(port, req, reqLen, ans, ansLen, outLen);
    const uint32_t end = vrt::platform::tickMs();
    int32_t status = 0;
    // A port closed or reopened meanwhile starts its statistics afresh.
    if (PortRecord* rec = _vrtCL_fGetAddr(port, &status); rec && lease.valid()) rec->tmRq += end - start;
    ErrLogRequest(port, req, reqLen, ans, ansLen, outLen, result);
    return result;
}
