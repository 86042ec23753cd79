// Statistics texts and colours, port marks, the mode line, refresh periods
// and the clear button's reach into the port record.
#include <gtest/gtest.h>

#include <cstring>

#include "link/dlgset/link_settings.h"
#include "link/dlgset/statistics.h"
#include "platform/cp1251.h"

using namespace vrt::link;
using namespace vrt::literals;

namespace {

PortRecord Fresh() {
    PortRecord r;
    std::memset(&r, 0, sizeof r);
    return r;
}

}  // namespace

TEST(StatisticsView, FreshPortShowsEmptyCountersAndBlankRequestFields) {
    const PortRecord r = Fresh();
    const StatisticsView v = ComputeStatistics(r, "phase");
    EXPECT_EQ(v.groupCaption, "phase");
    for (const StatField* f : {&v.cOut, &v.cErrOut, &v.cInp, &v.cErrInp, &v.errAnswer, &v.errTotal, &v.errPercent})
        EXPECT_EQ(f->text, "");
    EXPECT_EQ(v.errTotal.colour, DlgColour::Keep);     // the total's colour stays as it was
    EXPECT_EQ(v.errPercent.colour, DlgColour::Maroon);  // maroon while empty
    EXPECT_EQ(v.cRq.text, "  ");
    EXPECT_EQ(v.cErrRq.text, "  ");
    EXPECT_EQ(v.tmRq.text, " ");
    EXPECT_EQ(v.op, "");
    EXPECT_EQ(v.result, "");
    EXPECT_FALSE(v.phoneVisible);
}

TEST(StatisticsView, ErrorPercentageBaseAndColour) {
    struct Case {
        uint32_t out, inp, errOut, errInp;
        const char* total;
        DlgColour totalColour;
        const char* percent;
        DlgColour percentColour;
    };
    const Case cases[] = {
        // 2 failed reads of 100: the base is the reads alone.
        {100, 100, 0, 2, "2 ", DlgColour::Maroon, "    2.00%", DlgColour::Maroon},
        // exactly 1.0 % is not above the limit
        {100, 100, 0, 1, "1 ", DlgColour::Maroon, "    1.00%", DlgColour::WindowText},
        // a failed write puts the frames written into the base: 3 / 197
        {100, 97, 3, 0, "3 ", DlgColour::Maroon, "    1.52%", DlgColour::Maroon},
        // writes only, some failed: the base is W
        {50, 0, 5, 0, "5 ", DlgColour::Maroon, "   10.00%", DlgColour::Maroon},
        // failed reads but nothing exchanged: no percentage
        {0, 0, 0, 3, "3 ", DlgColour::Maroon, "", DlgColour::Maroon},
        // written frames but no reads and no failed write: base 0 shows 0
        {10, 0, 0, 4, "4 ", DlgColour::Maroon, "    0.00%", DlgColour::WindowText},
    };
    for (const Case& c : cases) {
        PortRecord r = Fresh();
        r.cntOut = c.out;
        r.cntInp = c.inp;
        r.cntErrOut = c.errOut;
        r.cntErrInp = c.errInp;
        const StatisticsView v = ComputeStatistics(r, "");
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(v.errTotal.text, c.total);
        EXPECT_EQ(v.errTotal.colour, c.totalColour);
        EXPECT_EQ(v.errPercent.text, c.percent);
        EXPECT_EQ(v.errPercent.colour, c.percentColour);
        EXPECT_EQ(v.cOut.text, c.out ? std::to_string(c.out) + " " : "");
    }
}

TEST(StatisticsView, NegativeAnswersAloneAreBlueAndGiveNoPercentage) {
    PortRecord r = Fresh();
    r.cntOut = 10;
    r.cntInp = 10;
    r.cntNegAnswer = 4;
    const StatisticsView v = ComputeStatistics(r, "");
    EXPECT_EQ(v.errAnswer.text, "4 ");
    EXPECT_EQ(v.errTotal.text, "4 ");
    EXPECT_EQ(v.errTotal.colour, DlgColour::Blue);
    EXPECT_EQ(v.errPercent.text, "");
    EXPECT_EQ(v.errPercent.colour, DlgColour::Maroon);

    r.cntErrAnswer = 1;  // answer errors join the negative answers' field and turn the total maroon
    const StatisticsView w = ComputeStatistics(r, "");
    EXPECT_EQ(w.errAnswer.text, "5 ");
    EXPECT_EQ(w.errTotal.colour, DlgColour::Maroon);
    EXPECT_EQ(w.errPercent.text, "   10.00%");  // 1 of the 10 reads
}

TEST(StatisticsView, RequestFields) {
    PortRecord r = Fresh();
    r.cntErrRq = 7;  // left over while no request counted: both blank
    EXPECT_EQ(ComputeStatistics(r, "").cErrRq.text, "  ");
    r.cntRq = 12;
    r.cntErrRq = 0;
    EXPECT_EQ(ComputeStatistics(r, "").cRq.text, "12");
    EXPECT_EQ(ComputeStatistics(r, "").cErrRq.text, "  ");
    r.cntErrRq = 3;
    EXPECT_EQ(ComputeStatistics(r, "").cErrRq.text, "3");
    r.tmRq = 3723004;  // 1 h 2 min 3 s 4 ms
    EXPECT_EQ(ComputeStatistics(r, "").tmRq.text, "01:02:03 [004]");
}

TEST(StatisticsView, LastOperationAndResult) {
    PortRecord r = Fresh();
    r.lastOp = 4;
    r.opDone = 0;  // still running: the operation, no result
    StatisticsView v = ComputeStatistics(r, "");
    EXPECT_EQ(v.op, _vrtCL_fOp2str(4));
    EXPECT_EQ(v.result, "");
    r.opDone = 1;
    EXPECT_EQ(ComputeStatistics(r, "").result, "Ok");
    r.lastResult = -10;
    EXPECT_EQ(ComputeStatistics(r, "").result, std::string("[-10] ") + _vrtCL_fErr2str(-10));
    r.lastOp = 0;  // no operation: neither
    v = ComputeStatistics(r, "");
    EXPECT_EQ(v.op, "");
    EXPECT_EQ(v.result, "");
}

TEST(StatisticsView, PhoneIsBoundedByItsField) {
    PortRecord r = Fresh();
    r.usage = 1;
    std::memset(r.phone, '7', sizeof r.phone);  // no terminator in the field
    r.cmdATD[0] = 'X';
    const StatisticsView v = ComputeStatistics(r, "");
    EXPECT_TRUE(v.phoneVisible);
    EXPECT_EQ(v.phone, std::string(sizeof r.phone, '7'));
}

TEST(PortMarks, HintAndColourByOpenStateAndOpener) {
    PortRecord r = Fresh();
    PortMark m = ComputePortMark(r, true, false);
    EXPECT_EQ(m.hint, std::string(" исходный"_cp) + " порт закрыт"_cp);
    EXPECT_EQ(m.colour, DlgColour::WindowText);
    r.phase = 2;
    m = ComputePortMark(r, false, false);
    EXPECT_EQ(m.hint, std::string(" порт ОТКРЫТ"_cp));
    EXPECT_EQ(m.colour, DlgColour::Blue);
    EXPECT_EQ(ComputePortMark(r, false, true).colour, DlgColour::Green);
    r.phase = 0;
    EXPECT_EQ(ComputePortMark(r, false, true).colour, DlgColour::WindowText);  // closed wins
}

TEST(ModeLine, OpenPortShowsRateInForceAndConfigurationInUse) {
    PortRecord r = Fresh();
    r.phase = 1;
    r.baud = 9600;
    r.dcb.baudRate = 19200;
    EXPECT_EQ(FormatModeLine(" Настройка связи"_cp, 1, r, 0, 0),
              std::string("  Настройка связи  [+ COM2,  19200]. Локальная конфигурация"_cp));
    EXPECT_EQ(FormatModeLine(" Статистика"_cp, 1, r, 3, 1),
              std::string("  Статистика  [+ COM2,  19200]. Глобальная конфигурация"_cp));
}

TEST(ModeLine, ClosedPortShowsSettingAndSelectionModeHasBlankTail) {
    PortRecord r = Fresh();
    r.baud = 115200;
    r.dcb.baudRate = 300;
    EXPECT_EQ(FormatModeLine(" Выбор устройства"_cp, 0, r, 1, 1),
              std::string("  Выбор устройства  [- COM1, 115200] "_cp));
    EXPECT_EQ(FormatModeLine(nullptr, 3, r, 1, 0), "   [- COM4, 115200] ");
}

TEST(RefreshPeriod, ListChoiceSetsEditedPeriodAndFallsBackToApplied) {
    const CommonOptions savedEdited = CommonOptionsEdited, savedApplied = CommonOptionsApplied;
    EXPECT_EQ(RefreshPeriodIndex(0), 0);
    EXPECT_EQ(RefreshPeriodIndex(1000), 4);
    EXPECT_EQ(RefreshPeriodIndex(333), 2);

    CommonOptionsApplied.tmState = 500;
    EXPECT_EQ(ChooseRefreshPeriod(1), 1);
    EXPECT_EQ(CommonOptionsEdited.tmState, 100);
    EXPECT_EQ(ChooseRefreshPeriod(-1), 3);  // nothing chosen: the applied period's item
    EXPECT_EQ(CommonOptionsEdited.tmState, 500);
    CommonOptionsApplied.tmState = 77;
    EXPECT_EQ(ChooseRefreshPeriod(5), 2);  // applied period not listed: "  250"
    EXPECT_EQ(CommonOptionsEdited.tmState, 250);
    EXPECT_EQ(ChooseRefreshPeriod(0), 0);
    EXPECT_EQ(CommonOptionsEdited.tmState, 0);
    CommonOptionsEdited = savedEdited;
    CommonOptionsApplied = savedApplied;
}

TEST(ClearStatistics, ZeroesExactlyTheRunTimeAndStatisticsArea) {
    PortRecord r;
    std::memset(&r, 0xA5, sizeof r);
    ClearPortStatistics(r);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    for (size_t k = 0; k < sizeof r; ++k) {
        const bool inside = k >= 399 && k <= 462;
        ASSERT_EQ(bytes[k], inside ? 0u : 0xA5u) << "byte " << k;
    }
}
