// The link test as slave, timed on the wire: which requests it answers, how
// long it waits before a reply, and that it listens again at once after one.
#include <gtest/gtest.h>

#include <chrono>

#include "link_test_flow_fixture.h"

using namespace vrt::link;

namespace {

using testsupport::Bytes;
using testsupport::ControllerSim;
using testsupport::kPort;
using testsupport::LinkTestSlave;
using testsupport::WireProtocol;

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(LinkTestSlave, AnswersOnlyItsOwnAddressAndRepliesAsAController) {
    TestParams.slaveMinTime = 5;
    Bytes other, good, badCommand, badStart, badSize;
    RunSlave([&] {
        // A reply to another address would come within the read's interval
        // (360 ms) and the minimum time: waiting ten times as long shows none comes.
        other = Exchange(WireProtocol::VrtRtu, {34, 2, 0, 0, 16, 0}, 4000);
        // Each exchange waits for its reply, so the slave has taken every
        // request before the next one arrives.
        good = Exchange(WireProtocol::VrtRtu, {33, 2, 0, 0, 16, 0}, 5000);
        badCommand = Exchange(WireProtocol::VrtRtu, {33, 5, 0, 0, 16, 0}, 5000);
        badStart = Exchange(WireProtocol::VrtRtu, {33, 2, 1, 0, 16, 0}, 5000);
        badSize = Exchange(WireProtocol::VrtRtu, {33, 2, 0, 0, 0xD0, 7}, 5000);
    });
    EXPECT_TRUE(other.empty());
    Bytes expected{33, 0x12, 0, 0, 16, 0};
    expected.resize(22, 0);
    EXPECT_EQ(good, ControllerSim::frame(WireProtocol::VrtRtu, expected));
    EXPECT_EQ(badCommand, ControllerSim::frame(WireProtocol::VrtRtu, {33, 0x45, 0, 0}));
    EXPECT_EQ(badStart, ControllerSim::frame(WireProtocol::VrtRtu, {33, 0x52, 1, 0}));
    EXPECT_EQ(badSize, ControllerSim::frame(WireProtocol::VrtRtu, {33, 0x82, 0, 0}));
}

TEST_F(LinkTestSlave, WaitsTheMinimumTimeThenRepliesWithoutThePostWriteWait) {
    // A minimum time well above the read's own waits (360 ms interval), and a
    // response time whose post-write wait (T/2 + 32 + C(18) + 1 = 1534 ms)
    // would show between the reply and listening again.
    TestParams.slaveMinTime = 1500;
    vrt::link::PortTable[kPort].max = 3000;
    long long replyMs = 0;
    Bytes reply;
    vrt::platform::serial::recordRtsForTesting(true);
    RunSlave([&] {
        const auto start = std::chrono::steady_clock::now();
        reply = Exchange(WireProtocol::VrtRtu, {33, 2, 0, 0, 1, 0}, 8000);
        replyMs = msSince(start);
    });
    const auto calls = RtsCalls();
    EXPECT_EQ(reply, ControllerSim::frame(WireProtocol::VrtRtu, {33, 0x12, 0, 0, 1, 0, 0}));
    EXPECT_GE(replyMs, 1500);
    // The reply's RTS up and down, then the next listening read drops RTS again.
    size_t up = calls.size();
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].on) up = i;
    ASSERT_LT(up + 2, calls.size());
    EXPECT_FALSE(calls[up + 1].on);
    EXPECT_LT(calls[up + 2].tickMs - calls[up + 1].tickMs, 700u) << "listening again without the post-write wait";
}

}  // namespace
