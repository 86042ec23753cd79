#pragma once
// COM2 on a pseudo-terminal with the Hayes modem simulator behind it. The
// modem dialogue runs without its window here (the window has tests of its own).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testing/modem_sim.h"
#include "testing/pty_pair.h"
#include "vrtclmdm/modem_engine.h"
#include "vrtclnk.h"
#include "vrtcltrn/port_table.h"

namespace vrt::link::test {

inline std::unique_ptr<ProgressView> noWindow(ProgressController&) { return nullptr; }

class ModemOnPty : public ::testing::Test {
protected:
    static constexpr int32_t kPort = 1;

    void SetUp() override {
        _vrtCL_fInit();
        pty.bindCom(kPort + 1);
        PortRecordDefaults(rec(), kPort);
        rec().usage = 1;
        rec().max = 0;
        ASSERT_EQ(_vrtCL_fSetPhone(kPort, "123 45 67"), kPort);
        oldFactory_ = SetProgressViewFactory(&noWindow);
    }
    void TearDown() override {
        _vrtCL_fComClose(kPort);
        MdmSessionReset(MdmStateOf(kPort));
        sim.reset();
        PortRecordDefaults(rec(), kPort);
        SetProgressViewFactory(oldFactory_);
    }

    static PortRecord& rec() {
        int32_t status = 0;
        return *_vrtCL_fGetAddr(kPort, &status);
    }
    void startModem(testing::ModemSim::Options options) {
        sim = std::make_unique<testing::ModemSim>(pty.masterFd(), std::move(options));
    }
    void setLines(std::initializer_list<std::pair<int, const char*>> lines) {
        std::memset(rec().cmdLines, 0, sizeof rec().cmdLines);
        for (const auto& [index, text] : lines) std::strncpy(rec().cmdLines[index], text, VRT_CMD_SIZE - 1);
    }
    std::vector<std::string> commands() const { return sim->commands(); }

    testing::PtyPair pty;
    std::unique_ptr<testing::ModemSim> sim;

private:
    ProgressViewFactory oldFactory_ = nullptr;
};

}  // namespace vrt::link::test
