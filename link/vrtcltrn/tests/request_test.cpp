// The request engine: the answer check on its own, then whole requests over
// a pseudo-terminal against the controller simulator.
#include <gtest/gtest.h>

#include <unistd.h>

#include "port_ops_fixture.h"
#include "vrtcltrn/port_ops.h"
#include "vrtcltrn/request_engine.h"

namespace {

using vrt::link::AnswerCounter;
using vrt::link::AnswerVerdict;
using vrt::link::CheckAnswer;
using vrt::test::Bytes;
using vrt::test::PtyPair;
using vrt::test::PumpScript;
using vrt::test::SimBehaviour;
using vrt::test::WireProtocol;

AnswerVerdict check(int32_t protocol, uint8_t addr, uint8_t cmd, Bytes answer) {
    return CheckAnswer(protocol, addr, cmd, answer.data(), uint16_t(answer.size()));
}

TEST(AnswerCheck, VortanBusStatusNibbles) {
    for (int32_t protocol : {0, 1, -1, 3}) {
        for (int status = 0; status < 16; ++status) {
            const auto v = check(protocol, 4, 0x03, {4, uint8_t((status << 4) | 0x03), 0x10});
            SCOPED_TRACE(testing::Message() << "protocol " << protocol << " status " << status);
            EXPECT_TRUE(v.commandMatched || status == 0);
            if (status == 0) {  // 0x03 is the request's own command byte: an echo
                EXPECT_EQ(v.code, -20);
                EXPECT_EQ(v.counter, AnswerCounter::ErrAnswer);
            } else if (status == 1) {
                EXPECT_EQ(v.code, 0);
                EXPECT_EQ(v.counter, AnswerCounter::None);
            } else {
                EXPECT_EQ(v.code, -(status + 19));
                EXPECT_EQ(v.counter, AnswerCounter::NegAnswer);
            }
        }
    }
    // Status 0 on a command whose byte differs from the answer's is a bad answer, not an echo.
    const auto v = check(0, 4, 0x13, {4, 0x03});
    EXPECT_EQ(v.code, -20);
    EXPECT_TRUE(v.commandMatched);
}

TEST(AnswerCheck, VortanBusAddressEchoAndCommandMismatch) {
    EXPECT_EQ(check(0, 4, 0x03, {5, 0x13}).code, -18);
    EXPECT_EQ(check(0, 4, 0x03, {5, 0x13}).counter, AnswerCounter::ErrAnswer);
    EXPECT_EQ(check(0, 4, 0x13, {4, 0x13}).code, -20) << "the line gave the request back";
    const auto other = check(1, 4, 0x03, {4, 0x14});
    EXPECT_EQ(other.code, -19);
    EXPECT_EQ(other.counter, AnswerCounter::ErrAnswer);
    EXPECT_FALSE(other.commandMatched);
}

TEST(AnswerCheck, ModbusFunctionsAndExceptions) {
    EXPECT_EQ(check(2, 17, 0x03, {17, 0x03, 2, 0, 5}).code, 0);
    EXPECT_EQ(check(2, 17, 0x03, {17, 0x04, 2}).code, -19);
    EXPECT_EQ(check(2, 17, 0x03, {17, 0x84, 2}).code, -19);
    EXPECT_EQ(check(2, 17, 0x03, {18, 0x03, 2}).code, -18);
    struct Case {
        uint8_t exception;
        int32_t code;
    };
    for (const Case c : {Case{1, -23}, Case{2, -24}, Case{3, -26}, Case{4, -29}, Case{6, -22},
                         // Other exceptions are refusals too, never a success.
                         Case{0, -31}, Case{5, -31}, Case{7, -31}, Case{0x0B, -31}, Case{0xFF, -31}}) {
        const auto v = check(2, 17, 0x03, {17, 0x83, c.exception});
        EXPECT_EQ(v.code, c.code) << int(c.exception);
        EXPECT_EQ(v.counter, AnswerCounter::NegAnswer);
        EXPECT_FALSE(v.commandMatched);
    }
}

TEST(AnswerCheck, ReadsNothingBeyondTheAnswer) {
    // The bytes after the answer's length would pass the check; they must not be read.
    const uint8_t buf[3] = {4, 0x13, 0x02};
    EXPECT_EQ(CheckAnswer(0, 4, 0x03, buf, 1).code, -19) << "missing command byte counts as 0";
    EXPECT_EQ(CheckAnswer(0, 4, 0x03, buf, 0).code, -18);
    EXPECT_EQ(CheckAnswer(0, 0, 0x00, buf, 0).code, -20) << "0 against a missing command: an echo";
    EXPECT_EQ(CheckAnswer(0, 4, 0x03, nullptr, 5).code, -18);
    const uint8_t modbus[3] = {17, 0x83, 0x02};
    EXPECT_EQ(CheckAnswer(2, 17, 0x03, modbus, 2).code, -31) << "missing exception code counts as 0";
}

class Requests : public vrt::test::PortOnPty {};

TEST_F(Requests, EachProtocolRoundTrips) {
    struct Case {
        WireProtocol protocol;
        Bytes req;
        Bytes expected;
    };
    for (const Case& c : {
             Case{WireProtocol::VrtAscii, {4, 0x03, 0x00, 0x0D, 0x0A}, {4, 0x13, 0x00, 0x0D, 0x0A}},
             Case{WireProtocol::VrtRtu, {4, 0x05, 0x11, 0x13, 0xFF}, {4, 0x15, 0x11, 0x13, 0xFF}},
             Case{WireProtocol::ModbusRtu, {17, 0x03, 0x00, 0x00, 0x00, 0x01}, {17, 0x03, 0x00, 0x00, 0x00, 0x01}},
         }) {
        SCOPED_TRACE(int(c.protocol));
        openWithSim(c.protocol);
        Bytes answer;
        ASSERT_EQ(request(c.req, answer), 0);
        EXPECT_EQ(answer, c.expected);
        EXPECT_EQ(sim_->requests(), std::vector<Bytes>{c.req});
        const PortRecord& r = rec();
        EXPECT_EQ(+r.cntRq, 1u);
        EXPECT_EQ(+r.cntOut, 1u);
        EXPECT_EQ(+r.cntInp, 1u);
        EXPECT_EQ(+r.cntErrRq + +r.cntErrInp + +r.cntErrOut + +r.cntErrAnswer + +r.cntNegAnswer, 0u);
        EXPECT_EQ(+r.lastOp, 5);
        EXPECT_EQ(+r.lastResult, 0);
        EXPECT_EQ(+r.opDone, 1);
        EXPECT_EQ(+r.phase, 2);
        EXPECT_EQ(+r.repeatCount, 0);
        EXPECT_GT(+r.tmRq, 0u);
        sim_.reset();
        _vrtCL_fComClose(kPort);
    }
}

TEST_F(Requests, StaleInputIsDiscardedBeforeTheRequestGoesOut) {
    openWithSim(WireProtocol::VrtRtu);
    pty_->write({0x04, 0x13, 0x99});  // the tail of an answer that came too late
    for (int i = 0; i < 100 && vrt::platform::serial::inputCount(rec().hCom) < 3; ++i) usleep(2000);
    ASSERT_EQ(vrt::platform::serial::inputCount(rec().hCom), 3);
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 7}, answer), 0);
    EXPECT_EQ(answer, (Bytes{4, 0x13, 7}));
}

TEST_F(Requests, AnswerCheckOutcomesAreCounted) {
    openWithSim(WireProtocol::VrtAscii, {.status = 2});
    Bytes answer;
    rec().reserved451[2] = 99;
    EXPECT_EQ(request({4, 0x03}, answer), -21);
    EXPECT_EQ(answer, (Bytes{4, 0x23}));
    EXPECT_EQ(+rec().cntNegAnswer, 1u);
    EXPECT_EQ(+rec().reserved451[2], 0u) << "cleared once the command matched";
    EXPECT_EQ(+rec().lastOp, 5);
    EXPECT_EQ(+rec().lastResult, -21);

    sim_->setBehaviour({.answerAddress = 5});
    EXPECT_EQ(request({4, 0x03}, answer), -18);
    sim_->setBehaviour({.echoOnly = true});
    EXPECT_EQ(request({4, 0x03}, answer), -20);
    EXPECT_EQ(+rec().cntErrAnswer, 2u);
    EXPECT_EQ(+rec().cntErrRq, 0u) << "failed checks are not failed requests";
    EXPECT_EQ(+rec().cntRq, 3u);
}

TEST_F(Requests, ModbusExceptionWithAnUnknownCodeIsNoSuccess) {
    openWithSim(WireProtocol::ModbusRtu, {.modbusException = 5});
    Bytes answer;
    EXPECT_EQ(request({17, 0x03, 0, 0, 0, 1}, answer), -31);
    EXPECT_EQ(answer, (Bytes{17, 0x83, 5}));
    EXPECT_EQ(+rec().cntNegAnswer, 1u);
    EXPECT_EQ(+rec().lastResult, -31);
}

TEST_F(Requests, EchoOnATwoWireLineIsSkipped) {
    openWithSim(WireProtocol::VrtAscii, {.echo = true});
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 7}, answer), 0);
    EXPECT_EQ(answer, (Bytes{4, 0x13, 7}));
}

TEST_F(Requests, CutOrGarbledAnswersEndTheRequestWithoutRepeat) {
    openWithSim(WireProtocol::VrtRtu, {.data = Bytes(12, 0x5A)});
    Bytes answer;
    EXPECT_EQ(request({4, 0x03}, answer, 10), -16);
    EXPECT_EQ(answer.size(), 10u);
    EXPECT_EQ(+rec().lastOp, 4) << "no analysis of a cut answer";

    sim_->setBehaviour({.garbage = {1, 2, 3, 4, 5, 6}});
    EXPECT_EQ(request({4, 0x03}, answer), -40);
    EXPECT_EQ(sim_->requestCount(), 2u) << "no repeat";
    EXPECT_EQ(+rec().cntErrRq, 0u);
    EXPECT_EQ(+rec().cntErrInp, 2u);
    EXPECT_EQ(+rec().repeatCount, 0);
}

// A request that gave up leaves the repeat count at rptErr. The next answer
// that is read clears it, even one the answer check refuses; a garbled or
// cut answer, which is no good read, leaves it.
TEST_F(Requests, AnAnswerReadClearsTheRepeatCount) {
    openWithSim(WireProtocol::VrtRtu, {.garbage = {1, 2, 3, 4, 5, 6}});
    Bytes answer;
    rec().repeatCount = 3;
    EXPECT_EQ(request({4, 0x03, 1}, answer), -40);
    EXPECT_EQ(+rec().repeatCount, 3);
    sim_->setBehaviour({.answerAddress = 5});
    EXPECT_EQ(request({4, 0x03, 1}, answer), -18);
    EXPECT_EQ(+rec().repeatCount, 0);
    rec().repeatCount = 3;
    sim_->setBehaviour({});
    EXPECT_EQ(request({4, 0x03, 1}, answer), 0);
    EXPECT_EQ(+rec().repeatCount, 0);
}

TEST_F(Requests, SplitAnswerJoinsWithinTheIntervalOnly) {
    openWithSim(WireProtocol::VrtAscii, {.splitAt = 5, .splitGapMs = 100});
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 1, 2, 3}, answer), 0) << "gap below the 360 ms interval";
    EXPECT_EQ(answer, (Bytes{4, 0x13, 1, 2, 3}));

    sim_->setBehaviour({.splitAt = 5, .splitGapMs = 700});
    EXPECT_EQ(request({4, 0x03, 1, 2, 3}, answer), -38) << "gap above the interval: the frame has no end";
    EXPECT_EQ(sim_->requestCount(), 2u);
}

TEST_F(Requests, RequestOnAClosedPortCountsAsFailed) {
    rec().cntRq = 0;
    rec().cntErrRq = 0;
    Bytes answer;
    EXPECT_EQ(request({4, 0x03}, answer), -8);
    EXPECT_EQ(+rec().cntRq, 1u);
    EXPECT_EQ(+rec().cntErrRq, 1u);
    EXPECT_EQ(request({4, 0x03}, answer), -8);
    EXPECT_EQ(_vrtCL_fComRequest(4, nullptr, 0, nullptr, 0, nullptr), -4);
}

TEST_F(Requests, NestedCallsFromTheMessagePumpAreBusyThroughout) {
    openWithSim(WireProtocol::VrtRtu);
    std::vector<int32_t> phases;
    std::vector<int32_t> results;
    PumpScript script([&] {
        uint8_t buf[16];
        uint16_t n = 0;
        const uint8_t p[2] = {9, 1};
        const int32_t abortBefore = rec().abortEvent;
        phases.push_back(rec().phase);
        results.push_back(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0));
        results.push_back(_vrtCL_fComWrite(kPort, p, 2, &n, 0));
        EXPECT_EQ(+rec().abortEvent, abortBefore);
    });
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 6}, answer), 0);
    EXPECT_EQ(answer, (Bytes{4, 0x13, 6}));
    EXPECT_EQ(sim_->requestCount(), 1u);
    EXPECT_NE(std::find(phases.begin(), phases.end(), 2), phases.end()) << "some calls came between write and read";
    EXPECT_NE(std::find(phases.begin(), phases.end(), 3), phases.end());
    EXPECT_EQ(+rec().cntOut, 1u);
    EXPECT_EQ(+rec().cntInp, 1u);
    EXPECT_EQ(+rec().lastResult, 0);

    // A plain write is just as busy from its first wait on, before its phase shows it.
    phases.clear();
    uint16_t n = 0;
    EXPECT_EQ(_vrtCL_fComWrite(kPort, answer.data(), 2, &n, 1), 0);
    EXPECT_EQ(phases.front(), 2);
    // The write did not wait for the line, so the controller may still be reading it.
    EXPECT_TRUE(sim_->waitForRequests(2, 5000));
    for (int32_t r : results) EXPECT_EQ(r, -13);
}

TEST_F(Requests, ANestedRequestIsRefusedAndTheOuterOneFinishes) {
    openWithSim(WireProtocol::VrtAscii);
    int32_t nested = 1;
    PumpScript script([&] {
        if (nested != 1 || rec().phase != 2) return;
        Bytes inner;
        nested = request({4, 0x05}, inner);
    });
    Bytes answer;
    EXPECT_EQ(request({4, 0x03}, answer), 0);
    EXPECT_EQ(nested, -13);
    EXPECT_EQ(sim_->requests(), std::vector<Bytes>{(Bytes{4, 0x03})});
}

TEST_F(Requests, CloseAndReopenFromAHandlerEndsTheOldRequest) {
    openWithSim(WireProtocol::VrtAscii, {.delayMs = 0});
    PtyPair other;
    bool done = false;
    PumpScript script([&] {
        if (done || rec().phase != 2) return;  // between the write and the read
        done = true;
        _vrtCL_fComClose(kPort);
        other.bindCom(kPort + 1);
        _vrtCL_fComOpen(kPort);
    });
    Bytes answer;
    EXPECT_EQ(request({4, 0x03}, answer), -51);
    ASSERT_TRUE(done);
    EXPECT_TRUE(other.read(20, 300).empty()) << "nothing written into the new opening";
    EXPECT_EQ(+rec().phase, 1);
    EXPECT_EQ(+rec().cntRq, 0u);
    EXPECT_EQ(+rec().cntInp, 0u);
    EXPECT_EQ(+rec().tmRq, 0u);
    EXPECT_FALSE(vrt::link::PortOperationRunning(kPort));
}

}  // namespace
