#pragma once
// The link test on COM1 over a pseudo-terminal: as master against the
// controller simulator, as slave with the test driving the far side.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/pump.h"
#include "platform/serial.h"
#include "testing/controller_sim.h"
#include "testing/pty_pair.h"
#include "link_test_support.h"

namespace vrt::link::testsupport {

using vrt::testing::Bytes;
using vrt::testing::ControllerSim;
using vrt::testing::PtyPair;
using vrt::testing::SimBehaviour;
using vrt::testing::WireProtocol;

constexpr int32_t kPort = 0;  // COM1

class LinkTestFlow : public ::testing::Test {
protected:
    void SetUp() override {
        _vrtCL_fInit();
        pty_.bindCom(kPort + 1);
        PortRecord& r = PortTable[kPort];
        r.baud = 115200;
        r.parity = 0;
        r.max = 40;
        r.rptErr = 0;
        r.protocol = 1;  // VortanBus RTU
        r.usage = 0;
        dialogState = DialogState{};
        dialogState.selPort = kPort;
        TestParams = LinkTestParams{};
        CommonOptionsEdited.TstOpen = 0;
        savedPump_ = vrt::platform::setPumpHook(nullptr);
    }
    void TearDown() override {
        vrt::platform::serial::recordRtsForTesting(false);
        _vrtCL_fClose(kPort);
        vrt::platform::setPumpHook(savedPump_);
    }

    ControllerSim& Sim(SimBehaviour behaviour = {}) {
        sim_ = std::make_unique<ControllerSim>(pty_.masterFd(), WireProtocol::VrtRtu, behaviour);
        return *sim_;
    }

    // RTS calls on COM1 since recording started (the serial layer keeps them).
    static std::vector<vrt::platform::serial::RtsSwitch> RtsCalls() {
        std::vector<vrt::platform::serial::RtsSwitch> calls;
        for (const auto& c : vrt::platform::serial::rtsSwitchesForTesting())
            if (c.handle == PortTable[kPort].hCom) calls.push_back(c);
        return calls;
    }

    vrt::platform::PumpHook savedPump_ = nullptr;
    PtyPair pty_;
    std::unique_ptr<ControllerSim> sim_;
    FakeUi ui_;
    LinkTest test_{ui_};
};

class LinkTestSlave : public LinkTestFlow {
protected:
    // Runs the slave on this thread while `master` drives the pty's far side;
    // once it returns, the test button stops the slave from the message pump.
    void RunSlave(const std::function<void()>& master) {
        TestParams.master = 0;
        ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
        static std::atomic<bool> listening;
        static std::atomic<bool> done;
        listening = false;
        done = false;
        std::thread driver([&] {
            // The test purges the port before it listens: send only once the
            // listening read processes messages.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!listening && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            master();
            done = true;
        });
        static std::function<void()> stopWhenDone;
        bool stopped = false;
        stopWhenDone = [&] {
            if (done && !stopped) {
                stopped = true;
                test_.TestButtonClick();
            }
        };
        vrt::platform::setPumpHook([] {
            listening = true;
            stopWhenDone();
        });
        ui_.onProcess = stopWhenDone;
        test_.RunTest(kTestAuto);
        driver.join();
        EXPECT_TRUE(stopped);
        EXPECT_EQ(dialogState.testRunning, 0);
    }

    Bytes Exchange(WireProtocol wire, const Bytes& request, int waitMs) {
        pty_.write(ControllerSim::frame(wire, request));
        return pty_.read(60, waitMs);
    }
};

}  // namespace vrt::link::testsupport
