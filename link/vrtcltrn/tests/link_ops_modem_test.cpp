// Open and close through a dial-up modem: the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/pump.h"

#include "link_ops_modem_fixture.h"
#include "vrtcltrn/codes.h"

namespace vrt::link::test {
namespace {

using Strings = std::vector<std::string>;
using testing::ModemSim;

TEST_F(ModemOnPty, DialThroughOpenRequestAndHangUpThroughClose) {
    startModem({.echo = true, .data = ModemSim::asciiController()});
    ASSERT_EQ(_vrtCL_fOpen(kPort), kPort);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 1);
    EXPECT_TRUE(sim->online());
    EXPECT_EQ(commands(), (Strings{"+++", "+++ATZ0", "ATZ0", "ATE0", "+++", "+++ATZ0", "ATZ0", "ATE0", "ATZ0",
                                   "ATE0", "ATL3", "AT&D0", "AT&C1", "AT&K0", "ATDP1234567"}));
    // The dialogue talked to the device directly: the port's own records
    // show the open alone.
    const PortRecord& r = rec();
    EXPECT_EQ(+r.phase, kPhaseOpen);
    EXPECT_EQ(+r.lastOp, kOpOpen);
    EXPECT_EQ(+r.lastResult, 0);
    EXPECT_EQ(+r.opDone, 1);
    EXPECT_EQ(+r.cntOut, 0u);
    EXPECT_EQ(+r.cntInp, 0u);
    EXPECT_EQ(+r.cntErrInp, 0u);
    EXPECT_EQ(+r.modemUsed, 1);

    const uint8_t req[] = {4, 0x03, 0x10, 0x20};
    uint8_t ans[16] = {};
    uint16_t len = 0;
    EXPECT_EQ(_vrtCL_fRequest(kPort, req, sizeof req, ans, sizeof ans, &len), 0);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(ans[1], 0x13);
    EXPECT_EQ(ans[3], 0x20);

    _vrtCL_fClose(kPort);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_FALSE(sim->online());
    const Strings all = commands();
    ASSERT_GE(all.size(), 19u);
    EXPECT_EQ(Strings(all.end() - 4, all.end()), (Strings{"+++", "+++ATZ0", "ATZ0", "ATE0"}));
    // CR alone ends each command; no LF goes to the modem.
    EXPECT_EQ(sim->received().find("ATDP1234567\r"), sim->received().find("ATDP"));
    const std::string before = sim->received().substr(0, sim->received().find("ATDP"));
    EXPECT_EQ(before.find('\n'), std::string::npos);
}

TEST_F(ModemOnPty, BusyClosesThePortAgainAfterStoppingTheModem) {
    setLines({{0, "ATZ0"}});
    startModem({.echo = false, .dial = ModemSim::Dial::Busy});
    EXPECT_EQ(_vrtCL_fOpen(kPort), kErrModemConnect);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_EQ(commands(), (Strings{"ATZ0", "ATZ0", "ATDP1234567", "ATZ0"}));
    // The hang-up inside the failed open found no connection: nothing more was sent.
    EXPECT_EQ(+rec().lastOp, kOpClose);
}

TEST_F(ModemOnPty, SplitAnswersWithEchoAreJudgedByTheirLastLine) {
    setLines({{0, "ATZ0|ATE1"}});
    startModem({.echo = true, .dial = ModemSim::Dial::Connect, .splitAnswers = true, .splitPauseMs = 15});
    EXPECT_EQ(_vrtCL_fOpen(kPort), kPort);
    EXPECT_EQ(MdmStateOf(kPort).answersRecognised, 5);
}

TEST_F(ModemOnPty, ReopenedPortIsNotWrittenByTheDialogueOfTheOldOpening) {
    setLines({{0, "ATZ0|ATE0|ATL3"}});
    startModem({.echo = false});
    ASSERT_EQ(_vrtCL_fComOpen(kPort), kPort);
    testing::PtyPair other;
    int reopenedAt = -1;
    // A handler closes the port in the middle of the dialogue and opens it
    // again on another device.
    static std::function<void()> onPump;
    onPump = [&] {
        if (reopenedAt < 0 && commands().size() == 2) {
            reopenedAt = 2;
            _vrtCL_fComClose(kPort);
            other.bindCom(kPort + 1);
            _vrtCL_fComOpen(kPort);
        }
    };
    const platform::PumpHook old = platform::setPumpHook([] { onPump(); });
    const int32_t result = _vrtCL_fMDMWork(&rec(), 1);
    platform::setPumpHook(old);
    onPump = nullptr;
    EXPECT_EQ(reopenedAt, 2);
    EXPECT_LT(result, 0);
    // Not a byte of the old dialogue reached the new device.
    EXPECT_TRUE(other.read(50, 200).empty());
    EXPECT_EQ(commands().size(), 2u);
}

}  // namespace
}  // namespace vrt::link::test
