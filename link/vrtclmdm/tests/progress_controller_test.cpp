// The progress window's behaviour through its controller and a fake window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "modem_fakes.h"
#include "platform/cp1251.h"
#include "vrtcltrn/codes.h"

using namespace vrt::literals;

namespace vrt::link::test {
namespace {

using Strings = std::vector<std::string>;
// What an aborted function sends after its last command when the modem had
// answered: the stop lines once more.
const Strings kStopLines = {"+++\r", "+++ATZ0\r", "ATZ0\r", "ATE0\r"};

Strings lastOf(const Strings& all, size_t n) {
    return all.size() < n ? all : Strings(all.end() - std::ptrdiff_t(n), all.end());
}

TEST_F(ModemTest, SuccessShowsOkAndClosesItselfAfterThreeSeconds) {
    EXPECT_EQ(work(1), 0);
    ASSERT_EQ(viewsMade, 1);
    const ProgressModel& m = shown.model;
    EXPECT_EQ(m.caption.rfind("VortanCommMDM  v0.01: ", 0), 0u) << m.caption;
    EXPECT_EQ(m.title, "[COM2] Установка связи"_cp);
    EXPECT_EQ(m.status, " Связь установлена!"_cp);
    EXPECT_EQ(m.exitCaption, "Ok");
    EXPECT_TRUE(m.exitVisible);
    EXPECT_FALSE(m.breakEnabled);
    EXPECT_TRUE(m.statusWhite);
    EXPECT_FALSE(m.failColours);
    EXPECT_EQ(m.countdownText, "0");
    EXPECT_TRUE(shown.closed);
    // Closed by the window's own timer within one tick of the countdown's end.
    const uint32_t open = shown.closedAt - state().endTick;
    EXPECT_GE(open, 3000u);
    EXPECT_LE(open, 3600u);
}

TEST_F(ModemTest, FailureShowsMaroonExitAndClosesItselfAfterTenSeconds) {
    port.respond = Hayes{.silent = true};
    ASSERT_EQ(work(1), kErrModemNotFound);
    const ProgressModel& m = shown.model;
    EXPECT_EQ(m.exitCaption, "Выход"_cp);
    EXPECT_TRUE(m.failColours);
    EXPECT_TRUE(m.statusWhite);
    const uint32_t open = shown.closedAt - state().endTick;
    EXPECT_GE(open, 10000u);
    EXPECT_LE(open, 10600u);
}

TEST_F(ModemTest, CountdownTextFollowsTheWholeSeconds) {
    std::vector<std::string> seen;
    onPump = [&] {
        if (lastView && lastView->model.countdownVisible &&
            (seen.empty() || seen.back() != lastView->model.countdownText))
            seen.push_back(lastView->model.countdownText);
    };
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"3", "2", "1", "0"}));
}

TEST_F(ModemTest, BreakDuringStopLinesAbortsAndWaitsForExit) {
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() == 3) lastView->controller.onBreak();
    };
    int ticksWaiting = 0;
    std::string countdownWhileWaiting;
    bool exitShown = false;
    EXPECT_FALSE(port.abortFlag);
    // The user looks at the window for a while, then presses exit.
    auto onTick = [&](FakeView& v) {
        exitShown = v.model.exitVisible && v.model.exitEnabled;
        countdownWhileWaiting = v.model.countdownText;
        if (++ticksWaiting == 6) v.controller.onExit();
    };
    onPump = [&] {
        if (lastView && !lastView->onTick) lastView->onTick = onTick;
    };
    EXPECT_EQ(work(1), kErrAborted);
    // No command of the dialogue after the break; the answered modem is stopped.
    EXPECT_EQ(sent().size(), 3u + kStopLines.size());
    EXPECT_EQ(lastOf(sent(), kStopLines.size()), kStopLines);
    EXPECT_TRUE(port.abortFlag);   // the break sets the port's abort flag
    EXPECT_EQ(ticksWaiting, 6);
    EXPECT_TRUE(exitShown);
    EXPECT_EQ(countdownWhileWaiting, "10");  // stands still
    EXPECT_STREQ(state().statusLine, " Установка связи прервана!"_cp);
    EXPECT_TRUE(shown.model.breakMaroon);
    EXPECT_TRUE(shown.closed);
    EXPECT_EQ(state().connected, 0);
}

TEST_F(ModemTest, BreakDuringDialReportsFailedConnection) {
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.back().rfind("ATD", 0) == 0) lastView->controller.onBreak();
    };
    onPump = [&] {
        if (lastView && !lastView->onTick) lastView->onTick = [](FakeView& v) { v.controller.onExit(); };
    };
    EXPECT_EQ(work(1), kErrAborted);
    // The modem may be dialling still: it gets the stop lines.
    Strings expected = DefaultDialogue();
    expected.insert(expected.end(), kStopLines.begin(), kStopLines.end());
    EXPECT_EQ(sent(), expected);
    EXPECT_STREQ(state().statusLine, " Не удалось установить связь!"_cp);
}

TEST_F(ModemTest, BreakDuringTheReadOfAnUnansweredCommandEndsItAtOnce) {
    port.respond = [](const std::string& command) { return command == "ATL3" ? std::string() : Hayes{}(command); };
    port.readWaitMs = 3220;
    int pumpsInRead = 0;
    uint32_t breakAt = 0;
    size_t breakInRead = 0;
    onPump = [&] {
        if (!port.reading) return;
        ++pumpsInRead;
        if (breakAt == 0 && now - port.readStart >= 1000) {
            breakAt = now;
            breakInRead = port.readEnds.size();
            lastView->onTick = [](FakeView& v) { v.controller.onExit(); };
            lastView->controller.onBreak();
        }
    };
    EXPECT_EQ(work(1), kErrAborted);
    ASSERT_NE(breakAt, 0u);
    EXPECT_GT(pumpsInRead, 100);  // the window stayed live through the wait
    ASSERT_GT(port.readEnds.size(), breakInRead);
    EXPECT_LE(port.readEnds[breakInRead] - breakAt, 10u);
    EXPECT_STREQ(state().statusLine, " Установка связи прервана!"_cp);
}

TEST_F(ModemTest, HeaderPauseKeepsTheWindowLive) {
    int pumpsInPause = 0;
    onPump = [&] {
        if (std::strstr(state().statusLine, "[Пауза 200 мс]"_cp)) ++pumpsInPause;
    };
    EXPECT_EQ(work(1), 0);
    EXPECT_GT(pumpsInPause, 3 * 20);  // three pauses of 200 ms
}

TEST_F(ModemTest, ClosingTheWindowMidDialogueAborts) {
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() == 5) lastView->closeWindow();
    };
    EXPECT_EQ(work(1), kErrAborted);
    EXPECT_EQ(sent().size(), 5u + kStopLines.size());
    EXPECT_EQ(lastOf(sent(), kStopLines.size()), kStopLines);
    EXPECT_TRUE(port.abortFlag);
}

TEST_F(ModemTest, ExitBeforeTheEndAbortsWithoutThePortsAbortFlag) {
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() == 2) lastView->controller.onExit();
    };
    EXPECT_EQ(work(1), kErrAborted);
    EXPECT_EQ(sent().size(), 2u + kStopLines.size());
    EXPECT_FALSE(port.abortFlag);
}

TEST_F(ModemTest, ExitDuringTheCountdownClosesAtOnceWithTheResult) {
    port.respond = Hayes{.dialWord = "BUSY"};
    bool pressed = false;
    onPump = [&] {
        if (!pressed && lastView && state().endTick != 0 && now - state().endTick >= 1000) {
            pressed = true;
            lastView->controller.onExit();
        }
    };
    EXPECT_EQ(work(1), kErrModemConnect);
    ASSERT_TRUE(pressed);
    EXPECT_LT(shown.closedAt - state().endTick, 1100u);
}

TEST_F(ModemTest, LoopEndingWithoutCloseHandlerAbortsTheDialogue) {
    onPump = [&] {
        if (lastView) lastView->activate = false;
    };
    EXPECT_EQ(work(1), kErrAborted);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(port.abortFlag);
}

TEST_F(ModemTest, SecondActivationDoesNotRunTheDialogueAgain) {
    int activations = 0;
    onPump = [&] {
        if (lastView && !lastView->onTick)
            lastView->onTick = [&](FakeView& v) {
                if (activations++ == 0) v.controller.onActivate();
            };
    };
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(sent(), DefaultDialogue());
}

TEST_F(ModemTest, RunningWindowShowsEachStep) {
    std::vector<std::string> statuses;
    onPump = [&] {
        if (lastView && (statuses.empty() || statuses.back() != lastView->model.status))
            statuses.push_back(lastView->model.status);
    };
    EXPECT_EQ(work(1), 0);
    auto has = [&](const std::string& s) { return std::find(statuses.begin(), statuses.end(), s) != statuses.end(); };
    EXPECT_TRUE(has(" Остановка работы модемов [Пауза 200 мс]"_cp));
    EXPECT_TRUE(has(" Остановка работы модемов [+++ATZ0] ..."_cp));
    EXPECT_TRUE(has(" Подготовка модема к работе [ATL3] ..."_cp));
    EXPECT_TRUE(has(" Попытка соединения [ATDP1234567] ..."_cp));
    EXPECT_TRUE(has(" Связь установлена! (Подождем ...)"_cp));
}

}  // namespace
}  // namespace vrt::link::test
