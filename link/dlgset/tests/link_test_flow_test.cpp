// The link test's state machine on real ports: master requests against the
// controller simulator, slave answers to a master driven from the test, and
// the refusals, questions and port take-over of the test page.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/cp1251.h"
#include "platform/pump.h"
#include "testing/controller_sim.h"
#include "testing/pty_pair.h"
#include "link_test_flow_fixture.h"
#include "platform/serial.h"
#include "testing/virtual_clock.h"
#include "link_test_support.h"

using namespace vrt::link;
using namespace vrt::literals;
using vrt::testing::Bytes;
using vrt::testing::ControllerSim;
using vrt::testing::PtyPair;
using vrt::testing::SimBehaviour;
using vrt::testing::WireProtocol;

namespace {

using testsupport::FakeUi;
using testsupport::Shown;

using testsupport::LinkTestFlow;
using testsupport::LinkTestSlave;
using testsupport::kPort;

TEST_F(LinkTestFlow, SendOpensClosedPortWhenAllowedAndSendsOneRequest) {
    ControllerSim& sim = Sim();
    CommonOptionsEdited.TstOpen = 1;
    TestParams.reqSize = 10;
    test_.RunTest(kTestSend);

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 1);
    EXPECT_EQ(dialogState.testOpened[kPort], 1);  // the radio button turns green
    ASSERT_TRUE(sim.waitForRequests(1, 2000));
    EXPECT_EQ(sim.requests()[0], (Bytes{33, 2, 0, 0, 10, 0}));
    EXPECT_EQ(+PortTable[kPort].lastOp, 3);
    EXPECT_EQ(+PortTable[kPort].cntOut, 1u);
    EXPECT_GE(ui_.statisticsCalls, 1);
    EXPECT_EQ(dialogState.testRunning, 0);
    EXPECT_EQ(dialogState.testOp, 0);
    EXPECT_GE(ui_.enableCalls, 2);  // locked at the start, unlocked at the end
}

TEST_F(LinkTestFlow, SendClearsThePortFirst) {
    ControllerSim& sim = Sim();
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    // A modem dialogue leaves DTR up; the clear before the send drops it.
    vrt::platform::serial::setDtr(PortTable[kPort].hCom, true);
    vrt::platform::serial::recordRtsForTesting(true);
    test_.RunTest(kTestSend);
    const auto calls = RtsCalls();
    vrt::platform::serial::recordRtsForTesting(false);
    ASSERT_TRUE(sim.waitForRequests(1, 2000));
    EXPECT_FALSE(vrt::platform::serial::dtr(PortTable[kPort].hCom));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[0].on) << "the clear drops RTS before the write raises it";
    EXPECT_TRUE(calls[1].on);
}

TEST_F(LinkTestFlow, MasterPausesAfterEachRequestAndLongerAfterANegativeOne) {
    // Between a request's read and the next request's RTS: the read's own
    // wait C(18) + 1 (2 ms at 115200), the answer check's 32 ms, the loop's
    // 50 ms (and 32 ms more after a negative result), then the request's 5 ms
    // and the write's 2 ms.
    for (const int status : {1, 2}) {
        SCOPED_TRACE(status);
        Sim({.status = status});
        ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
        TestParams.autoMode = 4;
        TestParams.autoCount = 3;
        TestParams.reqSize = 4;
        vrt::platform::serial::recordRtsForTesting(true);
        {
            const vrt::testing::VirtualClock clock;
            test_.RunTest(kTestAuto);
        }
        const auto calls = RtsCalls();
        vrt::platform::serial::recordRtsForTesting(false);
        EXPECT_EQ(+PortTable[kPort].lastResult, status == 1 ? 0 : -21);
        std::vector<uint32_t> gaps;
        for (size_t i = 1; i < calls.size(); ++i)
            if (calls[i].on && i >= 3) gaps.push_back(calls[i].tickMs - calls[i - 1].tickMs);
        const uint32_t expected = 2 + 32 + 50 + (status == 1 ? 0 : 32) + 5 + 2;
        EXPECT_EQ(gaps, (std::vector<uint32_t>{expected, expected}));
        _vrtCL_fClose(kPort);
        sim_.reset();
    }
}

TEST_F(LinkTestFlow, ReceiveOnClosedPortWithoutAutoOpenIsRefused) {
    const PortRecord before = PortTable[kPort];
    test_.RunTest(kTestReceive);
    ASSERT_EQ(ui_.messages.size(), 1u);
    const Shown& m = ui_.messages[0];
    EXPECT_EQ(m.buttons, kMsgOk);
    EXPECT_EQ(m.icon, kIconInformation);
    EXPECT_EQ(m.port, kPort);
    EXPECT_EQ(m.textCode, kTextPortClosed);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_EQ(std::memcmp(&before, &PortTable[kPort], sizeof before), 0);
    EXPECT_EQ(ui_.statisticsCalls, 0);
}

TEST_F(LinkTestFlow, HostsPortIsNeverUsedByATestOperation) {
    ControllerSim& sim = Sim();
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    dialogState.openAtCall[kPort] = 1;
    CommonOptionsEdited.TstOpen = 1;
    test_.RunTest(kTestSend);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].icon, kIconWarning);
    EXPECT_EQ(ui_.messages[0].textCode, kTextPortNotMine);
    EXPECT_EQ(ui_.messages[0].question, std::string("\nНе буду c ним работать!"_cp));
    EXPECT_FALSE(sim.waitForRequests(1, 200));
    EXPECT_EQ(dialogState.openAtCall[kPort], 1);
}

TEST_F(LinkTestFlow, TestButtonTakesHostsPortOverOnlyAfterYes) {
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    dialogState.openAtCall[kPort] = 1;

    ui_.answer = kAnswerNo;
    test_.TestButtonClick();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].buttons, kMsgYesNo);
    EXPECT_EQ(ui_.messages[0].icon, kIconQuestion);
    EXPECT_EQ(ui_.messages[0].question, std::string("\nБудем его использовать?"_cp));
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 1);
    EXPECT_EQ(dialogState.openAtCall[kPort], 1);

    ui_.answer = kAnswerYes;
    test_.TestButtonClick();
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_EQ(dialogState.openAtCall[kPort], 0);
    EXPECT_EQ(dialogState.testOpened[kPort], 0);
    EXPECT_EQ(dialogState.testButtonBusy, 0);
    EXPECT_GE(ui_.portStateCalls, 2);

    // Now the page's own: the button opens it and marks it, then closes it.
    test_.TestButtonClick();
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 1);
    EXPECT_EQ(dialogState.testOpened[kPort], 1);
    test_.TestButtonClick();
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_EQ(dialogState.testOpened[kPort], 0);
    EXPECT_EQ(ui_.messages.size(), 2u);
}

TEST_F(LinkTestFlow, FailedOpenIsReportedAndLeavesPortUnmarked) {
    setenv("VRT_COM1", "/nonexistent/vrt-test-port", 1);
    test_.OpenCloseTestPort(true);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].icon, kIconWarning);
    EXPECT_LT(ui_.messages[0].textCode, 0);
    EXPECT_EQ(dialogState.testOpened[kPort], 0);
}

TEST_F(LinkTestFlow, CountedMasterTestMakesExactlyThatManyRequests) {
    ControllerSim& sim = Sim();
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    TestParams.autoMode = 3;
    TestParams.autoCount = 2;
    TestParams.reqSize = 4;
    test_.RunTest(kTestAuto);

    EXPECT_EQ(sim.requestCount(), 2u);
    EXPECT_EQ(+PortTable[kPort].cntRq, 2u);
    EXPECT_EQ(+PortTable[kPort].cntErrRq, 0u);
    EXPECT_EQ(+PortTable[kPort].lastResult, 0);
    EXPECT_GE(ui_.statisticsCalls, 1);  // refreshed once more at the end
    EXPECT_EQ(dialogState.testRunning, 0);
    EXPECT_EQ(dialogState.stopRequest, 0);
}

TEST_F(LinkTestFlow, UntilErrorStopsAtTheFirstFailedRequest) {
    SimBehaviour behaviour;
    behaviour.silentRequests = 1;  // the first request gets no answer
    ControllerSim& sim = Sim(behaviour);
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    TestParams.autoMode = 1;
    test_.RunTest(kTestAuto);

    EXPECT_EQ(sim.requestCount(), 1u);
    EXPECT_EQ(+PortTable[kPort].cntRq, 1u);
    EXPECT_EQ(+PortTable[kPort].cntErrRq, 1u);
    EXPECT_EQ(+PortTable[kPort].lastResult, -10);
}

TEST_F(LinkTestFlow, ContinuousMasterRunsUntilTheTestButton) {
    ControllerSim& sim = Sim();
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    TestParams.autoMode = 0;
    TestParams.reqSize = 2;
    bool pressed = false;
    ui_.onProcess = [&] {
        // The dialog's test button, clicked while the loop runs.
        if (!pressed && sim.requestCount() >= 3) {
            pressed = true;
            EXPECT_EQ(dialogState.testRunning, 1);
            test_.TestButtonClick();
            EXPECT_EQ(dialogState.stopRequest, 1);
        }
    };
    test_.RunTest(kTestAuto);

    EXPECT_TRUE(pressed);
    EXPECT_GE(sim.requestCount(), 3u);
    EXPECT_LE(sim.requestCount(), 4u);  // the loop ends after the request in progress
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 1);  // stopping does not close the port
    EXPECT_EQ(dialogState.testRunning, 0);
    EXPECT_EQ(dialogState.stopRequest, 0);
}

TEST_F(LinkTestFlow, NestedTestOperationIsRefusedWhileOneRuns) {
    ControllerSim& sim = Sim();
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    TestParams.autoMode = 2;
    TestParams.autoCount = 1;
    bool nested = false;
    ui_.onProcess = [&] {
        if (!nested && dialogState.testRunning) {
            nested = true;
            test_.RunTest(kTestSend);  // a second click on another test button
            EXPECT_EQ(dialogState.testRunning, 1);
            EXPECT_EQ(dialogState.testOp, kTestAuto);
        }
    };
    test_.RunTest(kTestAuto);
    EXPECT_TRUE(nested);
    EXPECT_EQ(sim.requestCount(), 1u);
}

TEST_F(LinkTestSlave, ModbusRegisterCountIsReadLittleEndian) {
    PortTable[kPort].protocol = 2;
    TestParams.slaveMinTime = 5;
    TestParams.reqSize = 10;
    Bytes reply;
    RunSlave([&] { reply = Exchange(WireProtocol::ModbusRtu, {33, 3, 0, 0, 0, 10}, 5000); });
    EXPECT_EQ(reply, ControllerSim::frame(WireProtocol::ModbusRtu, {33, 0x83, 0, 0}));
}

TEST_F(LinkTestSlave, AsciiFraming) {
    PortTable[kPort].protocol = 0;
    TestParams.slaveMinTime = 5;
    TestParams.netAddr = 7;
    Bytes reply;
    RunSlave([&] { reply = Exchange(WireProtocol::VrtAscii, {7, 2, 0, 0, 1, 0}, 5000); });
    EXPECT_EQ(reply, ControllerSim::frame(WireProtocol::VrtAscii, {7, 0x12, 0, 0, 1, 0, 0}));
}

TEST_F(LinkTestSlave, StopDuringMessageProcessingIsNotLostByTheNextRead) {
    TestParams.master = 0;
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    // The test button is clicked while the loop processes messages before it
    // listens; a read started after that would clear the abort flag again.
    ui_.onProcess = [&] {
        if (ui_.processCalls == 2) test_.TestButtonClick();
    };
    static int pumps;
    pumps = 0;
    vrt::platform::setPumpHook([] {
        if (++pumps > 200) _vrtCL_fComSetEvent(kPort, 1);  // ends a read the stop failed to prevent
    });
    test_.RunTest(kTestAuto);
    EXPECT_GE(ui_.processCalls, 2);
    EXPECT_EQ(+PortTable[kPort].cntInp, 0u);
    EXPECT_EQ(dialogState.testRunning, 0);
}

TEST_F(LinkTestSlave, StopDuringALongMinimumTimeEndsTheWaitAtOnceWithoutReply) {
    // The test button, and the exit button or the dialog closing (RequestStop).
    for (const bool byExit : {false, true}) {
        SCOPED_TRACE(byExit ? "exit" : "test button");
        TestParams.master = 0;
        TestParams.slaveMinTime = 50000;
        ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
        static std::atomic<bool> listening;
        listening = false;
        vrt::platform::setPumpHook([] {
            listening = true;
            // A reply went out after all: end the listening that follows.
            if (PortTable[kPort].cntOut > 0) {
                dialogState.stopRequest = 1;
                _vrtCL_fComSetEvent(kPort, 1);
            }
        });
        std::thread driver([&] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!listening && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pty_.write(ControllerSim::frame(WireProtocol::VrtRtu, {33, 2, 0, 0, 1, 0}));
        });
        // Messages processed once the request has been read: the wait's.
        int processedInWait = 0;
        ui_.onProcess = [&] {
            const PortRecord& r = PortTable[kPort];
            if (r.lastOp != 4 || !r.opDone || r.lastResult != 0) return;
            if (++processedInWait == 20) byExit ? test_.RequestStop() : test_.TestButtonClick();
        };
        const auto start = std::chrono::steady_clock::now();
        test_.RunTest(kTestAuto);
        const auto took = std::chrono::steady_clock::now() - start;
        driver.join();
        ui_.onProcess = nullptr;
        EXPECT_GE(processedInWait, 20);
        EXPECT_LT(took, std::chrono::seconds(10));  // not the 50 s minimum time
        EXPECT_EQ(+PortTable[kPort].cntOut, 0u);      // no reply written
        EXPECT_TRUE(pty_.read(60, 500).empty());
        EXPECT_EQ(dialogState.testRunning, 0);
        _vrtCL_fClose(kPort);
    }
}

TEST_F(LinkTestSlave, ExitButtonEndsAListeningSlave) {
    TestParams.master = 0;
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    int pumps = 0;
    static std::function<void()> pump;
    pump = [&] {
        if (++pumps == 5) test_.RequestStop();  // nothing ever arrives on the line
    };
    vrt::platform::setPumpHook([] { pump(); });
    test_.RunTest(kTestAuto);
    EXPECT_GE(pumps, 5);
    EXPECT_EQ(dialogState.testRunning, 0);
    EXPECT_EQ(+PortTable[kPort].lastResult, -51);
}

}  // namespace
