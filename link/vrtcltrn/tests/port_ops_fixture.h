#pragma once
// COM1 on a pseudo-terminal, with helpers to run code from inside the
// library's waits (the way a host's message handler would).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/pump.h"
#include "platform/serial.h"
#include "testing/controller_sim.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"
#include "vrtcltrn/port_table.h"

namespace vrt::test {

using vrt::testing::Bytes;
using vrt::testing::ControllerSim;
using vrt::testing::PtyPair;
using vrt::testing::SimBehaviour;
using vrt::testing::WireProtocol;

// Runs `onPump` whenever the library processes messages, until destroyed.
class PumpScript {
public:
    explicit PumpScript(std::function<void()> onPump) {
        current() = std::move(onPump);
        previous_ = platform::setPumpHook([] {
            // A handler that calls back into the library must not re-enter itself.
            static bool inside = false;
            if (inside || !current()) return;
            inside = true;
            current()();
            inside = false;
        });
    }
    ~PumpScript() {
        platform::setPumpHook(previous_);
        current() = nullptr;
    }
    PumpScript(const PumpScript&) = delete;
    PumpScript& operator=(const PumpScript&) = delete;

private:
    static std::function<void()>& current() {
        static std::function<void()> f;
        return f;
    }
    platform::PumpHook previous_ = nullptr;
};

class PortOnPty : public ::testing::Test {
protected:
    static constexpr int32_t kPort = 0;

    void SetUp() override {
        _vrtCL_fInit();
        pty_ = std::make_unique<PtyPair>();
        pty_->bindCom(kPort + 1);
        PortRecord& r = rec();
        r.baud = 19200;
        r.data = 8;
        r.stop = 0;
        r.parity = 2;
        r.max = 0;  // no controller response time: shortest waits
        r.mode = 0;
        r.protocol = 0;
        r.rptErr = 3;
    }
    void TearDown() override {
        sim_.reset();
        for (int32_t p = 0; p < VRT_PORT_COUNT; ++p) _vrtCL_fComClose(p);
    }

    static PortRecord& rec(int32_t port = kPort) {
        int32_t status = 0;
        return *_vrtCL_fGetAddr(port, &status);
    }
    void openPort() { ASSERT_EQ(_vrtCL_fComOpen(kPort), kPort); }
    // Opens COM1 in `protocol` with a simulator behind it.
    void openWithSim(WireProtocol protocol, SimBehaviour behaviour = {}) {
        rec().protocol = int32_t(protocol);
        sim_ = std::make_unique<ControllerSim>(pty_->masterFd(), protocol, std::move(behaviour));
        openPort();
    }
    int32_t request(const Bytes& req, Bytes& answer, uint16_t answerSize = 64) {
        answer.assign(answerSize, 0xEE);
        uint16_t len = 0xFFFF;
        const int32_t r = _vrtCL_fComRequest(kPort, req.data(), uint16_t(req.size()), answer.data(), answerSize, &len);
        answer.resize(len == 0xFFFF ? 0 : len);
        return r;
    }

    std::unique_ptr<PtyPair> pty_;
    std::unique_ptr<ControllerSim> sim_;
};

}  // namespace vrt::test
