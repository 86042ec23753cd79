// The settings pages' rules: field parsing, the working copy, change marks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/settings_pages.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/cp1251.h"
#include "testing/pty_pair.h"

namespace {

using namespace vrt::link;

class SettingsPages : public ::testing::Test {
protected:
    void SetUp() override {
        _vrtCL_fInit();
        PortSetDefaults();
        std::memcpy(WorkPortTable, PortTable, sizeof PortTable);
        livePorts = PortTable;
        CommonOptionsEdited = CommonOptions{};
        CommonOptionsApplied = CommonOptions{};
        dialogState = DialogState{};
        IS_GLOBAL = 0;
    }
    void TearDown() override {
        _vrtCL_fComCloseAll();
        IS_GLOBAL = 0;
    }
    PortRecord rec = [] {
        PortRecord r;
        PortRecordDefaults(r, 0);
        return r;
    }();
};

TEST_F(SettingsPages, FieldNumberRule) {
    EXPECT_EQ(FieldNumber::Keep, ParseFieldNumber("").kind);
    EXPECT_EQ(FieldNumber::Keep, ParseFieldNumber(" \t ").kind);
    EXPECT_EQ(FieldNumber::Keep, ParseFieldNumber("  -5").kind);
    EXPECT_EQ(FieldNumber::NoDigits, ParseFieldNumber("abc").kind);
    EXPECT_EQ(FieldNumber::NoDigits, ParseFieldNumber("+5").kind);
    const FieldNumber n = ParseFieldNumber("  115200 baud ");
    EXPECT_EQ(FieldNumber::Number, n.kind);
    EXPECT_EQ(115200u, n.value);
    EXPECT_FALSE(n.overflow);
    EXPECT_EQ(UINT32_MAX, ParseFieldNumber("4294967295").value);
    EXPECT_FALSE(ParseFieldNumber("4294967295").overflow);
    const FieldNumber big = ParseFieldNumber("4294967296");
    EXPECT_TRUE(big.overflow);
    EXPECT_EQ(UINT32_MAX, big.value);

    EXPECT_EQ(5u, AcceptFieldNumber("5", 1, 10).value_or(0));
    EXPECT_FALSE(AcceptFieldNumber("0", 1, 10));
    EXPECT_FALSE(AcceptFieldNumber("11", 1, 10));
    // 2^32 + 5 must not wrap into the range.
    EXPECT_FALSE(AcceptFieldNumber("4294967301", 1, 10));
}

TEST_F(SettingsPages, BaudField) {
    EXPECT_EQ("  19200", ReadBaudText(rec, "0"));
    EXPECT_EQ("  19200", ReadBaudText(rec, "-9600"));
    EXPECT_EQ("  19200", ReadBaudText(rec, "fast"));
    EXPECT_EQ("  19200", ReadBaudText(rec, "1000000"));
    EXPECT_EQ(" 115200", ReadBaudText(rec, " 115200 bits"));
    EXPECT_EQ(115200u, +rec.baud);
    EXPECT_EQ(" 999999", ReadBaudText(rec, "999999"));

    rec.baud = 0;  // a stored 0 becomes the default whatever the refused text
    EXPECT_EQ("  19200", ReadBaudText(rec, "letters"));
    EXPECT_EQ(19200u, +rec.baud);
    rec.baud = 0;
    EXPECT_EQ("  19200", ReadBaudText(rec, ""));
    rec.baud = 0;
    EXPECT_EQ("  19200", BaudEntryText(rec));
    EXPECT_EQ(19200u, +rec.baud);
}

TEST_F(SettingsPages, TimeFieldRanges) {
    EXPECT_EQ("  50000", ReadRespTimeText(rec, "50000"));
    EXPECT_EQ("  50000", ReadRespTimeText(rec, "50001"));
    EXPECT_EQ("  50000", ReadRespTimeText(rec, "0"));
    EXPECT_EQ(" 60000", ReadAnswerTimeText(rec, "60000"));
    EXPECT_EQ(" 60000", ReadAnswerTimeText(rec, "60001"));
    EXPECT_EQ(" 960", ReadConnectTimeText(rec, "960"));
    EXPECT_EQ(" 960", ReadConnectTimeText(rec, "961"));
    EXPECT_EQ("  10", ReadConnectTimeText(rec, "10 s"));
    EXPECT_EQ(10u, +rec.tmConnect);
}

TEST_F(SettingsPages, PhoneAndDialCommand) {
    const std::string sixty(60, '7');
    EXPECT_EQ(std::string(48, '7'), ReadPhoneText(rec, sixty));
    EXPECT_EQ('\0', rec.phone[48]);
    EXPECT_EQ("8 800", ReadPhoneText(rec, "  8 800 \t"));
    EXPECT_EQ(0, std::memcmp(rec.phone, "8 800\0\0\0", 8));  // the rest of the field zeroed
    EXPECT_EQ("ATDT", ReadDialCmdText(rec, " ATDT "));
    EXPECT_EQ(std::string(20, 'A'), ReadDialCmdText(rec, std::string(30, 'A')));

    // The phone entry trims the stored number in place.
    std::strcpy(rec.phone, "  123 ");
    EXPECT_EQ("123", PhoneEntryText(rec));
    EXPECT_STREQ("123", rec.phone);
    // A field a host left without a terminator is cut, never overrun.
    std::memset(rec.phone, '9', sizeof rec.phone);
    EXPECT_EQ(std::string(49, '9'), PhoneEntryText(rec));
}

TEST_F(SettingsPages, ModemCommandCells) {
    EXPECT_EQ(0, ModemCmdLine(0, 1));
    EXPECT_EQ(5, ModemCmdLine(0, 6));
    EXPECT_EQ(6, ModemCmdLine(1, 1));
    EXPECT_EQ(11, ModemCmdLine(1, 6));
    EXPECT_EQ(-1, ModemCmdLine(0, 0));
    EXPECT_EQ(-1, ModemCmdLine(2, 1));

    EXPECT_EQ("+++|+++ATZ0", ReadModemCmdText(rec, 0, "?"));
    EXPECT_EQ("ATZ0|ATE0", ReadModemCmdText(rec, 0, " \" ATZ0|ATE0 [init]\" "));
    EXPECT_EQ("AT&F", ReadModemCmdText(rec, 3, "\"AT&F\" [reset]"));
    EXPECT_EQ("ATZ0|ATE0", ReadModemCmdText(rec, 0, std::string(21, 'X')));
    EXPECT_EQ(std::string(20, 'X'), ReadModemCmdText(rec, 0, std::string(20, 'X')));
    EXPECT_EQ("", ReadModemCmdText(rec, 2, ""));
    EXPECT_EQ("", ReadModemCmdText(rec, 12, "ATZ"));  // no such line: nothing stored

    std::strcpy(rec.cmdLines[7], " AT&F ");
    EXPECT_EQ("AT&F", ModemCmdEditText(rec, 7));
    EXPECT_STREQ("AT&F", rec.cmdLines[7]);
}

TEST_F(SettingsPages, SelectionLists) {
    EXPECT_EQ(0, NormalizeListIndex(-1, 4));
    EXPECT_EQ(0, NormalizeListIndex(5, 4));
    EXPECT_EQ(4, NormalizeListIndex(4, 4));

    SetDataEntry(rec, 0);
    EXPECT_EQ(7, +rec.data);
    SetDataEntry(rec, 1);
    EXPECT_EQ(8, +rec.data);
    SetStopEntry(rec, 1);
    EXPECT_EQ(2, +rec.stop);
    SetStopEntry(rec, 0);
    EXPECT_EQ(0, +rec.stop);
    const uint8_t codes[] = {0, 2, 1, 3, 4};
    for (int i = 0; i < 5; ++i) {
        SetParityEntry(rec, i);
        EXPECT_EQ(codes[i], +rec.parity);
        EXPECT_EQ(i, ParityIndex(rec.parity));
    }
    EXPECT_EQ(1, ParityIndex(7));
    SetProtocolEntry(rec, 2);
    EXPECT_EQ(2, +rec.protocol);
    SetRptErrEntry(rec, 10);
    EXPECT_EQ(10, +rec.rptErr);
    SetModemRepeatEntry(rec, 3);
    EXPECT_EQ(4, +rec.repeat);
}

TEST_F(SettingsPages, ViewRepairsWhatTheControlsCannotShow) {
    CommonOptions opts;
    opts.tmState = 300;
    opts.StTop = 5;
    rec.repeat = 0;
    rec.parity = 9;
    std::strcpy(rec.cmdLines[6], "ATZ0|ATE0|ATL3");
    const PortSettingsView v = BuildPortSettingsView(rec, opts);
    EXPECT_EQ(2, v.tmStateEntry);
    EXPECT_EQ(250, opts.tmState);
    EXPECT_TRUE(v.stateIsTop);
    EXPECT_TRUE(v.btnCaptions);
    EXPECT_EQ(0, v.repeatEntry);
    EXPECT_EQ(1, +rec.repeat);
    EXPECT_EQ(1, v.parityEntry);
    EXPECT_EQ("  19200", v.baud);
    EXPECT_EQ("    200", v.respTime);
    EXPECT_EQ("   250", v.answerTime);
    EXPECT_EQ(" 120", v.connectTime);
    EXPECT_EQ("ATZ0|ATE0|ATL3", v.cmdLines[6]);
    EXPECT_EQ("ATDP", v.dialCmd);
    EXPECT_EQ(1, v.dataEntry);
    EXPECT_EQ(0, v.stopEntry);

    opts.tmState = 1000;
    EXPECT_EQ(4, BuildPortSettingsView(rec, opts).tmStateEntry);
    opts.tmState = -250;
    EXPECT_EQ(2, BuildPortSettingsView(rec, opts).tmStateEntry);
    EXPECT_EQ(250, opts.tmState);
}

TEST_F(SettingsPages, BlockDiffers) {
    const char a[] = "abc", b[] = "abd";
    EXPECT_FALSE(BlockDiffers(a, b, 2));
    EXPECT_TRUE(BlockDiffers(a, b, 3));
    EXPECT_TRUE(BlockDiffers(a, a, 0));
    EXPECT_TRUE(BlockDiffers(nullptr, a, 3));
    EXPECT_TRUE(BlockDiffers(a, nullptr, 3));
}

TEST_F(SettingsPages, MarksLookAtAllPortsAndRawBytes) {
    CompareLinkSettings();
    EXPECT_EQ(0, dialogState.settingsMarks);
    EXPECT_EQ(0, dialogState.optionMarks);

    WorkPortTable[1].baud = 9600;  // COM2 while another port is selected
    dialogState.selPort = 0;
    CompareLinkSettings();
    EXPECT_EQ(kMarkPort, dialogState.settingsMarks);

    WorkPortTable[3].phone[40] = 'x';  // behind the terminator: still a change
    CompareLinkSettings();
    EXPECT_EQ(kMarkPort | kMarkModem, dialogState.settingsMarks);

    WorkPortTable[2].cntOut = 5;  // run-time area: never compared
    WorkPortTable[1].baud = PortTable[1].baud;
    WorkPortTable[3].phone[40] = 0;
    CommonOptionsEdited.TstOpen = 1;
    CompareLinkSettings();
    EXPECT_EQ(0, dialogState.settingsMarks);
    EXPECT_EQ(kMarkOptions, dialogState.optionMarks);

    const ChangeMarksView v = ChangeMarksState();
    EXPECT_TRUE(v.highlighted);
    EXPECT_FALSE(v.applyRaised);
    EXPECT_TRUE(v.othersRaised);
}

TEST_F(SettingsPages, ApplyCopiesAllPortsAndClearsRunTimeArea) {
    WorkPortTable[1].baud = 9600;
    std::strcpy(WorkPortTable[2].phone, "555");
    WorkPortTable[0].cntOut = 9;  // the working copy's counters never reach the live table
    CommonOptionsEdited.tmState = 1000;
    for (PortRecord& r : PortTable) {
        r.cntRq = 11;
        r.lastResult = -6;
        r.hCom = 42;
    }
    CopyLinkSettings(kCopyApply);
    EXPECT_EQ(9600u, +PortTable[1].baud);
    EXPECT_STREQ("555", PortTable[2].phone);
    EXPECT_EQ(1000, CommonOptionsApplied.tmState);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(0u, +PortTable[k].cntRq);
        EXPECT_EQ(0, +PortTable[k].lastResult);
        EXPECT_EQ(0u, +PortTable[k].cntOut);
        EXPECT_EQ(42, +PortTable[k].hCom);  // the device part is never touched
        EXPECT_EQ(k, +PortTable[k].portIndex);
    }
    CompareLinkSettings();
    EXPECT_EQ(0, dialogState.settingsMarks);
    EXPECT_EQ(0, dialogState.optionMarks);
}

TEST_F(SettingsPages, UndoTakesTheLiveValuesBack) {
    PortTable[0].baud = 4800;  // as _vrtCL_fESetParam would change it
    CommonOptionsApplied.StShow = 1;
    WorkPortTable[0].cntErrRq = 3;
    WorkPortTable[0].max = 77;
    CopyLinkSettings(kCopyUndo);
    EXPECT_EQ(4800u, +WorkPortTable[0].baud);
    EXPECT_EQ(200u, +WorkPortTable[0].max);
    EXPECT_EQ(0u, +WorkPortTable[0].cntErrRq);
    EXPECT_EQ(1, CommonOptionsEdited.StShow);
    EXPECT_EQ(19200u, +PortTable[1].baud);
}

TEST_F(SettingsPages, ApplyAsksOnlyForPortChangesWithAnOpenPort) {
    vrt::testing::PtyPair pty;
    pty.bindCom(4);
    dialogState.settingsMarks = kMarkPort;
    EXPECT_FALSE(ApplyNeedsQuestion());  // nothing open
    ASSERT_EQ(3, _vrtCL_fComOpen(3));
    EXPECT_TRUE(ApplyNeedsQuestion());
    dialogState.settingsMarks = 0;
    dialogState.optionMarks = kMarkOptions;
    EXPECT_FALSE(ApplyNeedsQuestion());
}

TEST_F(SettingsPages, ConfigFileSwitch) {
    using namespace vrt::literals;
    ConfigFileView v = ConfigFileState();
    EXPECT_FALSE(v.global);
    EXPECT_EQ(3, v.image);
    EXPECT_EQ(ConfigFiles().local, v.path);
    EXPECT_EQ(std::string("Сменить локальную конфигурацию на глобальную "_cp), v.buttonHint);
    EXPECT_EQ(std::string("Используется файл \"Локальной\" конфигурации"_cp), v.editHint);

    ToggleConfigFile();
    v = ConfigFileState();
    EXPECT_EQ(1, IS_GLOBAL);
    EXPECT_TRUE(v.global);
    EXPECT_EQ(2, v.image);
    EXPECT_EQ(ConfigFiles().global, v.path);
    EXPECT_EQ(std::string("Сменить глобальную конфигурацию на локальную "_cp), v.buttonHint);
    EXPECT_EQ(std::string("Используется файл \"ГЛОБАЛЬНОЙ\" конфигурации"_cp), v.editHint);
    ToggleConfigFile();
    EXPECT_EQ(0, IS_GLOBAL);
}

}  // namespace
