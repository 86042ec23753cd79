// A host's abort of the dialogue through the port's abort flag, over the
// scripted port and the fake clock: the flag is set from the message pump,
// as a host's own handler would while the dialogue waits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem_fakes.h"
#include "platform/cp1251.h"
#include "vrtcltrn/codes.h"

using namespace vrt::literals;

namespace vrt::link::test {
namespace {

using Strings = std::vector<std::string>;

const Strings kStopLines = {"+++\r", "+++ATZ0\r", "ATZ0\r", "ATE0\r"};

struct AbortPoint {
    const char* name;
    bool window;
    // Whether the host aborts now (asked at every pump); `sinceDial` is the
    // time since the dial command went out, 0 before.
    bool (*when)(const FakePort&, const ModemState&, uint32_t sinceDial);
    size_t commandsBefore;  // commands of the dialogue sent before the abort
    const char* unanswered = nullptr;  // a command the modem leaves without answer
    uint32_t tmAnswer = 250;           // the modem's answer time, ms
    bool quiet = false;                // the modem answers nothing from the abort on
    bool bareEscapeUnanswered = false;  // a bare "+++" gets no answer, as from a real modem
    uint32_t baud = 19200;
    size_t stopLinesSent = 4;  // a slow line has time for only some of them
};

class HostAbort : public ModemTest, public ::testing::WithParamInterface<AbortPoint> {};

bool isDial(const std::string& command) { return command.rfind("ATD", 0) == 0; }

TEST_P(HostAbort, EndsWithAbortedStopsAnAnsweredModemAndClosesTheWindow) {
    const AbortPoint& point = GetParam();
    headless = !point.window;
    rec.tmConnect = 120;                      // the dial would wait two minutes
    rec.tmAnswer = point.tmAnswer;
    port.baudRate = point.baud;
    uint32_t abortedAt = 0;
    port.respond = [&](const std::string& command) {
        // The far end never answers; the modem may leave a command
        // unanswered or go quiet.
        if ((point.unanswered && command == point.unanswered) ||
            (point.bareEscapeUnanswered && command == "+++") || (point.quiet && abortedAt))
            return std::string();
        return Hayes{.dialWord = ""}(command);
    };
    port.readWaitMs = 3220;  // the read time-out of the port at 19 200 baud
    // What the window shows while the stop lines after the abort go out.
    bool breakEnabledWhileStopping = false;
    std::string statusWhileStopping;
    port.afterWrite = [&](FakePort&) {
        if (!abortedAt || !lastView) return;
        breakEnabledWhileStopping |= lastView->model.breakEnabled;
        statusWhileStopping = lastView->model.status;
    };
    uint32_t dialAt = 0;
    onPump = [&] {
        if (dialAt == 0 && !sent().empty() && isDial(sent().back())) dialAt = now;
        if (abortedAt == 0 && point.when(port, state(), dialAt ? now - dialAt : 0)) {
            abortedAt = now;
            port.abortFlag = true;  // _vrtCL_fSetEvent(port, 1)
        }
    };
    const int32_t result = work(1);
    onPump = nullptr;
    ASSERT_NE(abortedAt, 0u);
    EXPECT_EQ(result, kErrAborted);
    EXPECT_LT(now - abortedAt, 1000u);  // fake time: the waits the abort still makes
    EXPECT_EQ(state().connected, 0);
    EXPECT_TRUE(port.abortFlag);  // left for the host to see

    // Nothing of the dialogue after the abort; an answered modem is stopped.
    const Strings dialogue = DefaultDialogue();
    Strings expected(dialogue.begin(), dialogue.begin() + long(point.commandsBefore));
    if (point.commandsBefore > 0)
        expected.insert(expected.end(), kStopLines.begin(), kStopLines.begin() + long(point.stopLinesSent));
    EXPECT_EQ(sent(), expected);

    if (point.window) {
        // Closed by itself: nobody pressed exit.
        EXPECT_TRUE(shown.closed);
        EXPECT_LT(shown.closedAt - abortedAt, 1000u);
        EXPECT_FALSE(shown.model.breakMaroon);
    }
    if (point.window && point.commandsBefore > 0) {
        EXPECT_FALSE(breakEnabledWhileStopping);
        EXPECT_EQ(statusWhileStopping, point.commandsBefore == dialogue.size() ? " Не удалось установить связь!"_cp
                                                                                : " Установка связи прервана!"_cp);
    }
}

bool beforeFirstCommand(const FakePort& p, const ModemState& s, uint32_t) { return s.stage == 2 && p.sent.empty(); }
bool afterSecondCommand(const FakePort& p, const ModemState&, uint32_t) { return p.sent.size() == 2; }
bool duringPrepareLines(const FakePort& p, const ModemState&, uint32_t) { return p.sent.size() == 11; }
bool intoTheConnectWait(const FakePort&, const ModemState&, uint32_t sinceDial) { return sinceDial >= 5000; }
bool earlyInTheRead(const FakePort& p, const ModemState&, uint32_t) {
    return p.reading && ModemTest::now - p.readStart >= 100;
}
bool lateInTheRead(const FakePort& p, const ModemState&, uint32_t) {
    return p.reading && ModemTest::now - p.readStart >= 2500;
}

const AbortPoint kPoints[] = {
    {"BeforeTheFirstCommand", false, &beforeFirstCommand, 0},
    {"BeforeTheFirstCommandWithWindow", true, &beforeFirstCommand, 0},
    {"DuringTheStopLines", false, &afterSecondCommand, 2},
    {"DuringThePrepareLinesWithWindow", true, &duringPrepareLines, 11},
    {"DuringTheConnectWait", false, &intoTheConnectWait, 15},
    {"DuringTheConnectWaitWithWindow", true, &intoTheConnectWait, 15},
    // The read after a command that gets no answer waits the port's read time-out.
    {"EarlyInTheReadOfAnUnansweredCommand", false, &earlyInTheRead, 11, "ATL3"},
    {"LateInTheReadOfAnUnansweredCommandWithWindow", true, &lateInTheRead, 11, "ATL3"},
    // The stop lines after the abort wait for answers that never come.
    {"QuietModemLateInTheReadAnswer250", false, &lateInTheRead, 11, "ATL3", 250, true},
    {"QuietModemDuringThePrepareLinesAnswer1000WithWindow", true, &duringPrepareLines, 11, nullptr, 1000, true},
    {"QuietModemDuringTheConnectWaitAnswer3000", false, &intoTheConnectWait, 15, nullptr, 3000, true},
    {"UnansweredEscapeDuringTheConnectWaitAnswer3000WithWindow", true, &intoTheConnectWait, 15, nullptr, 3000,
     false, true},
    {"UnansweredEscapeDuringTheConnectWaitAt1200Baud", false, &intoTheConnectWait, 15, nullptr, 250, false, true,
     1200, 1},
};

INSTANTIATE_TEST_SUITE_P(Points, HostAbort, ::testing::ValuesIn(kPoints),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModemTest, HostAbortDuringTheSuccessCountdownHangsUpAgain) {
    uint32_t abortedAt = 0;
    onPump = [&] {
        if (abortedAt == 0 && state().connected && state().endTick != 0 && now - state().endTick >= 1000) {
            abortedAt = now;
            port.abortFlag = true;
        }
    };
    EXPECT_EQ(work(1), kErrAborted);
    ASSERT_NE(abortedAt, 0u);
    Strings expected = DefaultDialogue();
    expected.insert(expected.end(), kStopLines.begin(), kStopLines.end());
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(state().connected, 0);  // the hang-up of a later close has nothing to do
    EXPECT_TRUE(shown.closed);
    EXPECT_LT(shown.closedAt - abortedAt, 1000u);
}

TEST_F(ModemTest, HostAbortOfTheStopLinesAfterABreakCutsThemShort) {
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() == 3) lastView->controller.onBreak();
        // The first stop line after the break: the host gives up as well.
        if (p.sent.size() == 4) p.abortFlag = true;
    };
    EXPECT_EQ(work(1), kErrAborted);
    EXPECT_EQ(sent().size(), 4u);
    EXPECT_TRUE(shown.closed);  // the host's abort closes the window the break left open
}

}  // namespace
}  // namespace vrt::link::test
