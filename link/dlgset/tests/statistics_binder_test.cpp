// The statistics binder on real widgets: what ShowStatistics and
// ShowPortState put into the controls, the re-entry guards, the refresh
// timer, the clear button, the period list and the detached hooks.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/statistics.h"
#include "link/dlgset/statistics_widgets.h"
#include "link/vrtcltrn/port_table.h"
#include "link_test_support.h"
#include "platform/cp1251.h"

using namespace vrt::link;
using namespace vrt::literals;

namespace {

class StatisticsBinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::EnsureTestApplication()) GTEST_SKIP() << "no Qt platform";
        _vrtCL_fInit();
        PortSetDefaults();
        livePorts = PortTable;
        dialogState = DialogState{};
        dialogState.selPort = 1;
        dialogState.modeTitle = " Настройка связи"_cp;
        dialog_ = testsupport::MakeTestDialog();
        for (int k = 0; k < VRT_PORT_COUNT; ++k)
            dialogState.radioButtons[k] =
                dialog_->findChild<QRadioButton*>(QStringLiteral("RBtnCOM%1").arg(k + 1));
        binder_ = std::make_unique<StatisticsBinder>(dialog_.get());
    }
    void TearDown() override {
        binder_.reset();
        dialogState = DialogState{};
    }

    QLabel* Label(const char* name) const { return dialog_->findChild<QLabel*>(QString::fromLatin1(name)); }
    std::string Text(const char* name) const { return FromQ(Label(name)->text()); }
    QColor Colour(const QWidget* w) const { return w->palette().color(QPalette::WindowText); }
    QColor Colour(const char* name) const { return Colour(Label(name)); }

    std::unique_ptr<QWidget> dialog_;
    std::unique_ptr<StatisticsBinder> binder_;
};

TEST_F(StatisticsBinderTest, ShowStatisticsFillsCountersStatusAndPhone) {
    PortRecord& r = PortTable[1];
    r.cntOut = 100;
    r.cntInp = 100;
    r.cntErrInp = 2;
    r.cntRq = 5;
    r.lastOp = 4;
    r.opDone = 1;
    r.lastResult = -10;
    r.usage = 1;
    std::strcpy(r.phone, "8123");
    ShowStatistics();

    EXPECT_EQ(Text("StTxtStCOut"), "100 ");
    EXPECT_EQ(Text("StTxtStCErrInp"), "2 ");
    EXPECT_EQ(Text("StTxtStCErrOut"), "");
    EXPECT_EQ(Text("StTxtStErr"), "2 ");
    EXPECT_EQ(Colour("StTxtStErr"), QColor(128, 0, 0));
    EXPECT_EQ(Text("StTxtStErrPercent"), "    2.00%");
    EXPECT_EQ(Text("StTxtStCRq"), "5");
    EXPECT_EQ(Text("StTxtStCErrRq"), "  ");
    EXPECT_EQ(Text("StTxtTmRq"), " ");
    EXPECT_EQ(Text("StTxtSOp"), _vrtCL_fOp2str(4));
    EXPECT_EQ(Text("StTxtSRez"), std::string("[-10] ") + _vrtCL_fErr2str(-10));
    EXPECT_EQ(FromQ(dialog_->findChild<QGroupBox*>(QStringLiteral("GrBExtState"))->title()), _vrtCL_fPhase2str(1));
    EXPECT_EQ(Text("StTxtPhone"), "8123");
    EXPECT_FALSE(Label("StTxtPhone")->isHidden());
    EXPECT_FALSE(Label("ImgPhoneModem")->isHidden());

    // The fixed colours of the counters the form gives them.
    EXPECT_EQ(Colour("StTxtStCErrInp"), QColor(128, 0, 0));
    EXPECT_EQ(Colour("StTxtSErrAnswer"), QColor(0, 0, 255));
    EXPECT_EQ(Colour("StTxtStCErrRq"), QColor(255, 0, 0));

    r.usage = 0;
    ShowStatistics();
    EXPECT_TRUE(Label("StTxtPhone")->isHidden());
    EXPECT_TRUE(Label("ImgPhoneModem")->isHidden());
}

TEST_F(StatisticsBinderTest, TotalKeepsItsColourWhenItFallsToZero) {
    PortRecord& r = PortTable[1];
    r.cntNegAnswer = 3;
    ShowStatistics();
    EXPECT_EQ(Colour("StTxtStErr"), QColor(0, 0, 255));
    EXPECT_EQ(Text("StTxtStErr"), "3 ");
    r.cntNegAnswer = 0;
    ShowStatistics();
    EXPECT_EQ(Text("StTxtStErr"), "");
    EXPECT_EQ(Colour("StTxtStErr"), QColor(0, 0, 255));
}

TEST_F(StatisticsBinderTest, GuardsAndMissingTableLeaveTheFieldsAlone) {
    PortTable[1].cntOut = 7;
    dialogState.statBusy = 1;
    ShowStatistics();
    EXPECT_EQ(Text("StTxtStCOut"), "");
    EXPECT_EQ(dialogState.statBusy, 1);

    dialogState.statBusy = 0;
    livePorts = nullptr;
    ShowStatistics();
    EXPECT_EQ(Text("StTxtStCOut"), "");
    EXPECT_EQ(dialogState.statBusy, 0);
    livePorts = PortTable;

    dialogState.timerBusy = 1;
    TmStateViTimer();
    EXPECT_EQ(Text("StTxtStCOut"), "");
    dialogState.timerBusy = 0;
    TmStateViTimer();
    EXPECT_EQ(Text("StTxtStCOut"), "7 ");
    EXPECT_EQ(dialogState.timerBusy, 0);
}

TEST_F(StatisticsBinderTest, RefreshTimerFollowsTheLiveRecord) {
    auto* timer = dialog_->findChild<QTimer*>(QStringLiteral("TmStateVi"));
    ASSERT_NE(timer, nullptr);
    PortTable[1].cntInp = 42;
    timer->start(1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Text("StTxtStCInp") != "42 " && std::chrono::steady_clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    timer->stop();
    EXPECT_EQ(Text("StTxtStCInp"), "42 ");
}

TEST_F(StatisticsBinderTest, ClearButtonZeroesTheSelectedLiveRecordOnly) {
    PortTable[1].cntOut = 9;
    PortTable[1].lastOp = 3;
    PortTable[2].cntOut = 9;
    ShowStatistics();
    dialog_->findChild<QAbstractButton*>(QStringLiteral("SBtnStateClear"))->click();
    EXPECT_EQ(+PortTable[1].cntOut, 0u);
    EXPECT_EQ(+PortTable[1].lastOp, 0);
    EXPECT_EQ(+PortTable[1].baud, 19200u);  // settings untouched
    EXPECT_EQ(+PortTable[2].cntOut, 9u);
    EXPECT_EQ(Text("StTxtStCOut"), "9 ");  // shown at the next refresh
    ShowStatistics();
    EXPECT_EQ(Text("StTxtStCOut"), "");
}

TEST_F(StatisticsBinderTest, PortStateMarksButtonsAndWritesTheModeLine) {
    dialogState.rememberedPort = 0;
    PortTable[1].phase = 1;
    PortTable[1].dcb.baudRate = 19200;
    PortTable[2].phase = 1;
    dialogState.testOpened[2] = 1;
    PortTable[1].usage = 1;
    ShowPortState();

    const auto hint = [&](int k) { return FromQ(dialogState.radioButtons[k]->toolTip()); };
    EXPECT_EQ(hint(0), std::string(" исходный порт закрыт"_cp));
    EXPECT_EQ(hint(1), std::string(" порт ОТКРЫТ"_cp));
    EXPECT_EQ(Colour(dialogState.radioButtons[1]), QColor(0, 0, 255));
    EXPECT_EQ(Colour(dialogState.radioButtons[2]), QColor(0, 128, 0));
    EXPECT_EQ(Colour(dialogState.radioButtons[3]), QApplication::palette().color(QPalette::WindowText));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})  // disabled during a test
        EXPECT_EQ(dialogState.radioButtons[1]->palette().color(QPalette::Disabled, role),
                  QApplication::palette().color(QPalette::Disabled, role));
    EXPECT_EQ(Text("STxtMode"), std::string("  Настройка связи  [+ COM2,  19200]. Локальная конфигурация"_cp));
    EXPECT_FALSE(Label("ImgIsModem")->isHidden());

    PortTable[1].usage = 0;
    ShowPortState();
    EXPECT_TRUE(Label("ImgIsModem")->isHidden());

    // Device selection leaves the picture to the layout.
    dialogState.dlgMode = 1;
    PortTable[1].usage = 1;
    ShowPortState();
    EXPECT_TRUE(Label("ImgIsModem")->isHidden());
    EXPECT_EQ(Text("STxtMode").back(), ' ');
}

TEST_F(StatisticsBinderTest, PortStateRefreshesTheTestButtonOnTheTestPage) {
    testsupport::FakeUi ui;
    LinkTestBinder test(dialog_.get(), &ui);
    auto* button = dialog_->findChild<QAbstractButton*>(QStringLiteral("SBtnTstG"));
    ShowPortState();
    EXPECT_TRUE(button->toolTip().isEmpty());  // page 0: not touched
    dialog_->findChild<QTabWidget*>(QStringLiteral("PgCtrlSet"))->setCurrentIndex(2);
    ShowPortState();
    EXPECT_EQ(FromQ(button->toolTip()), std::string("Открыть порт"_cp));
}

TEST_F(StatisticsBinderTest, PeriodListAndViewButton) {
    const CommonOptions saved = CommonOptionsEdited, savedApplied = CommonOptionsApplied;
    auto* list = dialog_->findChild<QComboBox*>(QStringLiteral("CBTmState"));
    list->setCurrentIndex(4);
    emit list->activated(4);
    EXPECT_EQ(CommonOptionsEdited.tmState, 1000);
    list->setCurrentIndex(-1);
    CommonOptionsApplied.tmState = 500;
    emit list->activated(-1);
    EXPECT_EQ(list->currentIndex(), 3);
    EXPECT_EQ(CommonOptionsEdited.tmState, 500);
    CommonOptionsEdited = saved;
    CommonOptionsApplied = savedApplied;

    const bool view = dialogState.extView;
    dialog_->findChild<QAbstractButton*>(QStringLiteral("SBtnStateSz"))->click();
    EXPECT_EQ(dialogState.extView, !view);
}

TEST_F(StatisticsBinderTest, HooksDoNothingOnceTheBinderIsGone) {
    binder_.reset();
    PortTable[1].cntOut = 5;
    ShowStatistics();
    ShowPortState();
    TmStateViTimer();
    EXPECT_EQ(Text("StTxtStCOut"), "");
    EXPECT_TRUE(dialogState.radioButtons[0]->toolTip().isEmpty());
}

TEST_F(StatisticsBinderTest, DestroyedControlsAreSkipped) {
    delete Label("StTxtStCOut");
    delete dialog_->findChild<QGroupBox*>(QStringLiteral("GrBExtState"));
    PortTable[1].cntInp = 3;
    ShowStatistics();
    EXPECT_EQ(Text("StTxtStCInp"), "3 ");
}

}  // namespace
