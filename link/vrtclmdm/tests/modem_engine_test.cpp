// The modem dialogue over a scripted port and a fake clock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "modem_fakes.h"
#include "platform/cp1251.h"
#include "vrtcltrn/codes.h"
#include "vrtcltrn/port_table.h"

using namespace vrt::literals;

namespace vrt::link::test {
namespace {

using Strings = std::vector<std::string>;

Strings tail(const Strings& v, size_t n) { return Strings(v.end() - long(std::min(n, v.size())), v.end()); }

const Strings kStopLines = {"+++\r", "+++ATZ0\r", "ATZ0\r", "ATE0\r"};

// --- The wire -------------------------------------------------------------

TEST_F(ModemTest, DefaultLinesSendFifteenCommandsWithCrOnlyAndConnect) {
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(sent(), DefaultDialogue());
    for (const std::string& c : sent()) EXPECT_EQ(c.find('\n'), std::string::npos) << c;
    EXPECT_TRUE(port.dtr);
    EXPECT_EQ(state().connected, 1);
    EXPECT_EQ(state().commandsSent, 15);
    EXPECT_STREQ(state().statusLine, " Связь установлена!"_cp);
    EXPECT_EQ(+rec.modemUsed, 1);
    EXPECT_GE(port.clears, 2);  // after the connection's pause and at the end of the call
}

TEST_F(ModemTest, BlanksAreRemovedFromCommandsAndPhoneButHighBytesStay) {
    setLines({{0, " AT Z0 |\tATE0"}, {6, "AT\xC0\xFF"}});
    std::strcpy(rec.phone, " 12 34\t5 ");
    std::strcpy(rec.cmdATD, "AT DT");
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(sent(), (Strings{"ATZ0\r", "ATE0\r", "ATZ0\r", "ATE0\r", "AT\xC0\xFF\r", "ATDT12345\r"}));
    // The copy changed, the host's record did not.
    EXPECT_STREQ(rec.phone, " 12 34\t5 ");
}

TEST_F(ModemTest, RecordTextsWithoutTerminatorAreBoundedByTheirWidth) {
    setLines({{0, "ATZ0"}});
    std::memset(rec.phone, '7', sizeof rec.phone);
    std::memset(rec.cmdATD, 'D', sizeof rec.cmdATD);
    rec.cmdATD[0] = 'A';
    rec.cmdATD[1] = 'T';
    std::memset(rec.cmdLines[1], 'E', sizeof rec.cmdLines[1]);  // runs into line 2 without a terminator
    std::memset(rec.cmdLines[2], 0, sizeof rec.cmdLines[2]);
    EXPECT_EQ(work(1), 0);
    ASSERT_EQ(sent().size(), 5u);
    EXPECT_EQ(sent()[1], std::string(21, 'E') + "\r");
    EXPECT_EQ(sent()[4], "AT" + std::string(19, 'D') + std::string(49, '7') + "\r");
}

TEST_F(ModemTest, EmptyFieldsAreSkipped) {
    setLines({{0, "ATZ0||ATE0|"}});
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(sent(), (Strings{"ATZ0\r", "ATE0\r", "ATZ0\r", "ATE0\r", "ATDP1234567\r"}));
}

// --- Decisions ------------------------------------------------------------

TEST_F(ModemTest, ModemSwitchedOffGivesNotFoundWithoutDial) {
    port.respond = Hayes{.silent = true};
    EXPECT_EQ(work(1), kErrModemNotFound);
    Strings withoutDial = DefaultDialogue();
    withoutDial.pop_back();
    EXPECT_EQ(sent(), withoutDial);
    EXPECT_STREQ(state().statusLine, " Модем не обнаружен (выключен)! Связь не установлена."_cp);
    EXPECT_STREQ(state().lastAnswer, "Нет реакции"_cp);
    EXPECT_EQ(state().connected, 0);
}

TEST_F(ModemTest, BytesQueuedBeforeACommandAreNotTakenAsItsAnswer) {
    port.respond = Hayes{.silent = true};
    port.afterRead = "\r\nOK\r\n";  // an answer that came after its read gave up
    EXPECT_EQ(work(1), kErrModemNotFound);
    EXPECT_EQ(state().answersRecognised, 0);
}

TEST_F(ModemTest, OneStopCommandUnansweredIsSentTwiceAndGivesNotFound) {
    setLines({{0, "ATZ0"}});
    port.respond = Hayes{.silent = true};
    EXPECT_EQ(work(1), kErrModemNotFound);
    EXPECT_EQ(sent(), (Strings{"ATZ0\r", "ATZ0\r"}));
}

TEST_F(ModemTest, OnePrepareCommandUnansweredStillDialsAndResendsNothing) {
    setLines({{6, "ATZ0"}});
    port.respond = Hayes{.silent = true};
    EXPECT_EQ(work(1), kErrModemConnect);
    EXPECT_EQ(sent(), (Strings{"ATZ0\r", "ATDP1234567\r"}));
    EXPECT_STREQ(state().statusLine, " Не удалось установить связь!"_cp);
}

TEST_F(ModemTest, BusyGivesConnectErrorAndStopsTheModemAgain) {
    port.respond = Hayes{.dialWord = "BUSY"};
    EXPECT_EQ(work(1), kErrModemConnect);
    ASSERT_EQ(sent().size(), 19u);
    EXPECT_EQ(sent()[14], "ATDP1234567\r");
    EXPECT_EQ(tail(sent(), 4), kStopLines);
    EXPECT_STREQ(state().statusLine, " Не удалось установить связь!"_cp);
    EXPECT_EQ(state().connected, 0);
}

TEST_F(ModemTest, NoCarrierAfterConnectWordInEarlierLineDoesNotConnect) {
    port.respond = Hayes{.dialWord = "CONNECT 9600\r\nNO CARRIER"};
    EXPECT_EQ(work(1), kErrModemConnect);
    EXPECT_STREQ(state().lastAnswer, "OK [Порядок!]"_cp);  // the resent stop lines' last answer
}

TEST_F(ModemTest, NoPhoneGivesParamsErrorAndStopsTheModemAgain) {
    rec.phone[0] = '\0';
    EXPECT_EQ(work(1), kErrModemParams);
    EXPECT_EQ(sent().size(), 18u);
    EXPECT_EQ(tail(sent(), 4), kStopLines);
    EXPECT_STREQ(state().statusLine, " Нет тел.номера! Связь не установливалась."_cp);
}

TEST_F(ModemTest, EmptyDialCommandCountsAsFailedDial) {
    rec.cmdATD[0] = '\0';
    EXPECT_EQ(work(1), kErrModemConnect);
    EXPECT_EQ(sent().size(), 18u);  // no dial; the answered modem is stopped again
    EXPECT_STREQ(state().statusLine, " Не удалось установить связь!"_cp);
}

TEST_F(ModemTest, AllLinesEmptyConnectsAtOnceWithoutWindowAndHangUpSendsNothing) {
    setLines({});
    EXPECT_EQ(work(1), 0);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(viewsMade, 0);
    EXPECT_EQ(work(2), 0);
    EXPECT_TRUE(sent().empty());
}

// --- Answers --------------------------------------------------------------

TEST_F(ModemTest, AnswerEvaluationShownAsLastAnswer) {
    setLines({{0, "AT1|AT2|AT3"}});
    port.respond = [](const std::string& c) -> std::string {
        if (c == "AT1") return "AT1\r\r\nOK\r\n";  // echo skipped, OK counts
        if (c == "AT2") return "\r\n  \r\n";        // line ends and blanks only
        return "";
    };
    std::vector<std::string> answers;
    port.afterWrite = [&](FakePort&) { answers.push_back(state().lastAnswer); };
    work(1);
    // Each write sees the evaluation of the command before it.
    ASSERT_GE(answers.size(), 3u);
    EXPECT_EQ(answers[1], "OK [Порядок!]"_cp);
    EXPECT_EQ(answers[2], "Мусор или эхо"_cp);
    EXPECT_STREQ(state().lastCommand, "AT3");
}

TEST(ModemAnswers, LastLineIsTrimmedAndStartsAfterTheLastControlOrHighByte) {
    char out[kAnswerCapacity + 1];
    EXPECT_EQ(MdmLastAnswerLine("ATZ0\r\r\nOK\r\n", out, kAnswerCapacity), 2);
    EXPECT_STREQ(out, "OK");
    EXPECT_EQ(MdmLastAnswerLine("\r\n \t\r\n", out, kAnswerCapacity), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(MdmLastAnswerLine("CONNECT 9600/V42", out, kAnswerCapacity), 16);
    EXPECT_EQ(MdmLastAnswerLine("\xC0\xC1OK ", out, kAnswerCapacity), 2);
    EXPECT_STREQ(out, "OK");
    EXPECT_EQ(MdmLastAnswerLine("\r\nCONNECT 19200\r\n", out, 7), 7);
    EXPECT_STREQ(out, "CONNECT");
    // Only the first 272 bytes of an answer are looked at.
    const std::string longAnswer = std::string(300, 'A');
    EXPECT_EQ(MdmLastAnswerLine(longAnswer.c_str(), out, kAnswerCapacity), 272);
}

TEST(ModemAnswers, FirstWordOfTheTableWins) {
    EXPECT_STREQ(MdmAnswerText("OK"), "Порядок!"_cp);
    EXPECT_STREQ(MdmAnswerText("CONNECT 9600"), "СОЕДИНЕНИЕ!"_cp);
    EXPECT_STREQ(MdmAnswerText("CONNECT OK"), "Порядок!"_cp);
    EXPECT_STREQ(MdmAnswerText("NO CARRIER"), "НЕТ НЕСУЩЕЙ"_cp);
    EXPECT_STREQ(MdmAnswerText("NO DIALTONE"), "НЕТ ГУДКА"_cp);
    EXPECT_STREQ(MdmAnswerText("BUSY"), "ЗАНЯТО"_cp);
    EXPECT_STREQ(MdmAnswerText("NO ANSWER"), "НЕТ ОТВЕТА"_cp);
    EXPECT_STREQ(MdmAnswerText("RING"), "ЗВОНОК"_cp);
    EXPECT_STREQ(MdmAnswerText("ERROR"), "ОШИБКА"_cp);
    EXPECT_EQ(MdmAnswerText("ok"), nullptr);
    EXPECT_EQ(MdmAnswerText(""), nullptr);
}

TEST(ModemCommands, FieldsAndTheCommandBound) {
    char out[102];
    EXPECT_EQ(SplitField(0, "A|B||C", out, sizeof out), 1);
    EXPECT_STREQ(out, "A");
    EXPECT_EQ(SplitField(2, "A|B||C", out, sizeof out), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(SplitField(3, "A|B||C", out, sizeof out), 1);
    EXPECT_STREQ(out, "C");
    EXPECT_EQ(SplitField(4, "A|B||C", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(SplitField(0, "", out, sizeof out), 0);

    const std::string c98(98, 'A'), c99(99, 'A');
    EXPECT_EQ(MdmBuildCommand(c98.c_str(), out, kCommandCapacity, true), 99);
    EXPECT_EQ(out[98], '\r');
    EXPECT_EQ(out[99], '\0');
    EXPECT_EQ(MdmBuildCommand(c99.c_str(), out, kCommandCapacity, true), 0);
    EXPECT_EQ(MdmBuildCommand(c99.c_str(), out, kCommandCapacity, false), 99);
    EXPECT_EQ(MdmBuildCommand("", out, kCommandCapacity, true), 0);
}

TEST_F(ModemTest, UnansweredWriteShowsNoReactionAndGoesOn) {
    port.failWrites = true;
    EXPECT_EQ(work(1), kErrModemNotFound);  // 14 attempts, none answered
    EXPECT_EQ(state().commandsSent, 14);
    EXPECT_STREQ(state().lastAnswer, "Нет реакции"_cp);
}

TEST_F(ModemTest, EndlessInputIsReadOnceTheAnswerTimeHasPassed) {
    setLines({{0, "ATZ0"}});
    port.respond = nullptr;
    int polls = 0;
    // The queue grows at every look, so it never settles.
    onPump = [&] {
        if (port.input.size() < 4000) port.input += std::string(20, '~'), ++polls;
    };
    EXPECT_EQ(work(1), kErrModemNotFound);
    EXPECT_GT(polls, 10);
    EXPECT_STREQ(state().lastAnswer, std::string(272, '~').c_str());
}

// --- Binding and re-entry -------------------------------------------------

TEST_F(ModemTest, RecordChecksAndBinding) {
    EXPECT_EQ(_vrtCL_fMDMWork(nullptr, 1), kErrDataDescription);
    PortRecord bad = rec;
    bad.portIndex = 4;
    EXPECT_EQ(_vrtCL_fMDMWork(&bad, 1), kErrPortRange);
    EXPECT_EQ(+bad.modemUsed, 1);

    EXPECT_EQ(work(1), 0);
    PortRecord other = rec;
    EXPECT_EQ(_vrtCL_fMDMWork(&other, 1), kErrDataDescription);
    EXPECT_EQ(_vrtCL_fMDMWork(&other, 2), kErrDataDescription);

    // A closed port unbinds the state: then another record may take it.
    port.open = false;
    EXPECT_EQ(work(1), kErrClosed);
    port.open = true;
    EXPECT_EQ(_vrtCL_fMDMWork(&other, 1), 0);
}

TEST_F(ModemTest, UnknownFunctionOnOpenPortIsAborted) {
    EXPECT_EQ(work(7), kErrAborted);
    EXPECT_TRUE(sent().empty());
}

TEST_F(ModemTest, CallFromInsideTheRunningDialogueIsRefusedAsBusy) {
    int32_t nested = 1;
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() == 3) nested = work(1);
    };
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(nested, kErrBusy);
    EXPECT_EQ(sent(), DefaultDialogue());
    EXPECT_EQ(viewsMade, 1);
}

TEST_F(ModemTest, DialOnAnotherPortFromInsideTheDialogueIsRefusedAtOnce) {
    PortRecord other{};
    PortRecordDefaults(other, 2);
    std::strcpy(other.phone, "7654321");
    int32_t nested = 1;
    uint32_t nestedTook = 0;
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() != 3) return;
        const uint32_t start = now;
        nested = _vrtCL_fMDMWork(&other, 1);
        nestedTook = now - start;
    };
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(nested, kErrBusy);
    EXPECT_EQ(nestedTook, 0u);
    EXPECT_EQ(sent(), DefaultDialogue());
    EXPECT_EQ(viewsMade, 1);
    // Once the first has ended, the other port dials as usual.
    port.sent.clear();
    EXPECT_EQ(_vrtCL_fMDMWork(&other, 1), 0);
    EXPECT_EQ(sent().back(), "ATDP7654321\r");
}

TEST_F(ModemTest, StaleAbortRequestIsClearedWhenTheDialStarts) {
    port.abortFlag = true;
    bool seenAtFirstWrite = true;
    port.afterWrite = [&](FakePort& p) {
        if (p.sent.size() == 1) seenAtFirstWrite = p.abortFlag;
    };
    EXPECT_EQ(work(1), 0);
    EXPECT_FALSE(seenAtFirstWrite);
}

// --- Hang-up --------------------------------------------------------------

TEST_F(ModemTest, HangUpSendsStopLinesOfTheCopyWithoutWindow) {
    ASSERT_EQ(work(1), 0);
    const int views = viewsMade;
    // Changes of the live record act at the next dial only.
    setLines({{0, "ATH0"}});
    port.sent.clear();
    EXPECT_EQ(work(2), 0);
    EXPECT_EQ(sent(), kStopLines);
    EXPECT_EQ(viewsMade, views);
    // The state stays connected: a second hang-up sends the stop lines again.
    port.sent.clear();
    EXPECT_EQ(work(2), 0);
    EXPECT_EQ(sent(), kStopLines);
}

TEST_F(ModemTest, HangUpAfterFailedOrNoDialSendsNothing) {
    EXPECT_EQ(work(2), 0);
    EXPECT_TRUE(sent().empty());
    port.respond = Hayes{.dialWord = "NO ANSWER"};
    ASSERT_EQ(work(1), kErrModemConnect);
    port.sent.clear();
    EXPECT_EQ(work(2), 0);
    EXPECT_TRUE(sent().empty());
}

// --- Without a window -----------------------------------------------------

TEST_F(ModemTest, WithoutWindowTheDialogueRunsAndEndsWithoutCountdown) {
    headless = true;
    EXPECT_EQ(work(1), 0);
    EXPECT_EQ(sent(), DefaultDialogue());
    EXPECT_LT(now - state().endTick, 1000u);
}

TEST_F(ModemTest, WindowThatCannotBeMadeGivesNoWorkData) {
    failWindow = true;
    EXPECT_EQ(work(1), kErrNoWorkData);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(state().active, 0);
}

}  // namespace
}  // namespace vrt::link::test
