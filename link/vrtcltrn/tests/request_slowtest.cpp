// Requests that wait out real read time-outs (about two seconds per missing
// answer at the settings used here).
#include <gtest/gtest.h>

#include "port_ops_fixture.h"

namespace {

using vrt::test::Bytes;
using vrt::test::PumpScript;
using vrt::test::SimBehaviour;
using vrt::test::WireProtocol;

class SlowRequests : public vrt::test::PortOnPty {
protected:
    void SetUp() override {
        PortOnPty::SetUp();
        rec().baud = 115200;  // shortest read time-out: RTU at one character per ms
    }
};

TEST_F(SlowRequests, SilentControllerIsRepeatedThenGivenUpOn) {
    openWithSim(WireProtocol::VrtRtu, {.silent = true});
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 1}, answer), -10);
    EXPECT_EQ(sim_->requestCount(), 4u) << "first try and rptErr (3) repeats";
    EXPECT_EQ(+rec().repeatCount, 3);
    EXPECT_EQ(+rec().cntRq, 1u);
    EXPECT_EQ(+rec().cntErrRq, 1u);
    EXPECT_EQ(+rec().cntOut, 4u);
    EXPECT_EQ(+rec().cntErrInp, 4u);
    EXPECT_EQ(+rec().lastOp, 4);
    EXPECT_EQ(+rec().lastResult, -10);

    // The port's controller has fallen silent: one wait per request from now on.
    EXPECT_EQ(request({4, 0x03, 1}, answer), -10);
    EXPECT_EQ(sim_->requestCount(), 5u);

    // A host that lowers rptErr below the repeats made gets no endless repeating.
    rec().rptErr = 1;
    EXPECT_EQ(request({4, 0x03, 1}, answer), -10);
    EXPECT_EQ(sim_->requestCount(), 6u);

    // One good answer, and repeats work again.
    rec().rptErr = 2;
    sim_->setBehaviour({});
    EXPECT_EQ(request({4, 0x03, 1}, answer), 0);
    EXPECT_EQ(+rec().repeatCount, 0);
    sim_->setBehaviour({.silent = true});
    EXPECT_EQ(request({4, 0x03, 1}, answer), -10);
    EXPECT_EQ(sim_->requestCount(), 10u);
}

TEST_F(SlowRequests, NoRepeatWithRptErrZero) {
    rec().rptErr = 0;
    openWithSim(WireProtocol::ModbusRtu, {.silent = true});
    Bytes answer;
    EXPECT_EQ(request({17, 0x03, 0, 0, 0, 1}, answer), -10);
    EXPECT_EQ(sim_->requestCount(), 1u);
    EXPECT_EQ(+rec().repeatCount, 0);
}

TEST_F(SlowRequests, AnswerOnTheSecondAttempt) {
    openWithSim(WireProtocol::VrtAscii, {.silentRequests = 1});
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 42}, answer), 0);
    EXPECT_EQ(answer, (Bytes{4, 0x13, 42}));
    EXPECT_EQ(sim_->requestCount(), 2u);
    EXPECT_EQ(+rec().repeatCount, 0);
    EXPECT_EQ(+rec().cntErrRq, 0u);
    EXPECT_EQ(+rec().cntErrInp, 1u);
    EXPECT_EQ(+rec().cntOut, 2u);
}

TEST_F(SlowRequests, AbortDuringTheQuietWaitEndsTheRequest) {
    openWithSim(WireProtocol::VrtRtu, {.silent = true});
    PumpScript script([&] {
        if (rec().repeatCount == 1) _vrtCL_fComSetEvent(kPort, 1);
    });
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 1}, answer), -51);
    EXPECT_EQ(sim_->requestCount(), 1u);
    EXPECT_EQ(+rec().cntErrRq, 1u);
    EXPECT_EQ(+rec().lastResult, -51);
    EXPECT_EQ(+rec().abortEvent, 0);
}

// The read clears the flag as it starts: an abort set while the request is
// written must end the request before that, not be lost to a repeat.
TEST_F(SlowRequests, AbortWhileTheRequestIsWrittenEndsItWithoutARepeat) {
    openWithSim(WireProtocol::VrtRtu, {.silent = true});
    PumpScript script([&] {
        if (rec().phase == 3) _vrtCL_fComSetEvent(kPort, 1);
    });
    Bytes answer;
    EXPECT_EQ(request({4, 0x03, 1}, answer), -51);
    EXPECT_EQ(sim_->requestCount(), 1u);
    EXPECT_EQ(+rec().cntInp, 0u);
    EXPECT_EQ(+rec().abortEvent, 0);
}

TEST_F(SlowRequests, PlainReadOfNothingGivesMinus10) {
    openPort();
    uint8_t buf[8];
    uint16_t n = 5;
    EXPECT_EQ(_vrtCL_fComRead(kPort, buf, sizeof buf, &n, 0), -10);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(+rec().cntErrInp, 1u);
    EXPECT_EQ(+rec().phase, 2);
}

}  // namespace
