// Modems that do not answer as hoped: each command waits out the port's read
// time-out, so these take seconds.
#include <gtest/gtest.h>

#include "link_ops_modem_fixture.h"
#include "vrtcltrn/codes.h"

namespace vrt::link::test {
namespace {

using Strings = std::vector<std::string>;
using testing::ModemSim;

TEST_F(ModemOnPty, SilentModemIsNotFoundAndThePortClosed) {
    setLines({{0, "ATZ0"}});
    startModem({.silent = true});
    EXPECT_EQ(_vrtCL_fOpen(kPort), kErrModemNotFound);
    EXPECT_EQ(_vrtCL_fIsOpen(kPort), 0);
    EXPECT_EQ(commands(), (Strings{"ATZ0", "ATZ0"}));
}

TEST_F(ModemOnPty, EndlessChatterEndsEachAnswerAtItsTime) {
    setLines({{0, "ATZ0"}});
    rec().tmAnswer = 100;
    startModem({.chatter = true});
    EXPECT_EQ(_vrtCL_fOpen(kPort), kErrModemNotFound);
    EXPECT_EQ(commands(), (Strings{"ATZ0", "ATZ0"}));
}

TEST_F(ModemOnPty, DialWaitsTheConnectTimeForALateConnect) {
    // CONNECT comes long after the answer time and the port's plain read
    // time-out (about 3 s here) have passed: only the connect wait covers it.
    setLines({{0, "ATZ0"}});
    rec().tmAnswer = 300;
    rec().tmConnect = 20;
    startModem({.echo = false, .dial = ModemSim::Dial::Connect, .dialDelayMs = 5000});
    EXPECT_EQ(_vrtCL_fOpen(kPort), kPort);
    EXPECT_EQ(commands(), (Strings{"ATZ0", "ATZ0", "ATDP1234567"}));
    EXPECT_TRUE(sim->online());
}

TEST_F(ModemOnPty, NoDialtoneGivesConnectError) {
    setLines({{0, "ATZ0"}});
    rec().tmConnect = 2;
    startModem({.echo = false, .dial = ModemSim::Dial::NoDialtone, .dialDelayMs = 300});
    EXPECT_EQ(_vrtCL_fOpen(kPort), kErrModemConnect);
    // The answered modem is stopped again before the port closes.
    EXPECT_EQ(commands(), (Strings{"ATZ0", "ATZ0", "ATDP1234567", "ATZ0"}));
}

}  // namespace
}  // namespace vrt::link::test
