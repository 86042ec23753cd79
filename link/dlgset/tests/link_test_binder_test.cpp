// The link test binder on real widgets: buttons start test operations, the
// fields are read when left, on Enter or by their lists, and the test button
// and its panel show the test's state.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/vrtcltrn/port_table.h"
#include "link_test_support.h"
#include "platform/cp1251.h"

using namespace vrt::link;
using namespace vrt::literals;

namespace {

class LinkTestBinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::EnsureTestApplication()) GTEST_SKIP() << "no Qt platform";
        _vrtCL_fInit();
        PortSetDefaults();
        livePorts = PortTable;
        dialogState = DialogState{};
        TestParams = LinkTestParams{};
        CommonOptionsEdited.TstOpen = 0;
        dialog_ = testsupport::MakeTestDialog();
        binder_ = std::make_unique<LinkTestBinder>(dialog_.get(), &ui_);
    }
    void TearDown() override {
        binder_.reset();
        dialogState = DialogState{};
        TestParams = LinkTestParams{};
    }

    template <class T>
    T* Find(const char* name) const {
        return dialog_->findChild<T*>(QString::fromLatin1(name));
    }

    testsupport::FakeUi ui_;
    std::unique_ptr<QWidget> dialog_;
    std::unique_ptr<LinkTestBinder> binder_;
};

void Leave(QWidget* w) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

void PressEnter(QWidget* w) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(w, &key);
}

TEST_F(LinkTestBinderTest, TestButtonsRunTheirOperations) {
    // On a closed port without automatic opening every operation is refused
    // with "Порт закрыт!", which shows which handler ran on which port.
    dialogState.selPort = 2;
    for (const char* name : {"BtnAuto", "BtnOutMsg", "BtnInpMsg"}) Find<QAbstractButton>(name)->click();
    ASSERT_EQ(ui_.messages.size(), 3u);
    for (const auto& m : ui_.messages) {
        EXPECT_EQ(m.textCode, kTextPortClosed);
        EXPECT_EQ(m.port, 2);
    }
    EXPECT_EQ(dialogState.testPort, 2);

    // The test button on a closed port opens it (here it cannot: no device).
    setenv("VRT_COM3", "/nonexistent/vrt-test-port", 1);
    Find<QAbstractButton>("SBtnTstG")->click();
    ASSERT_EQ(ui_.messages.size(), 4u);
    EXPECT_LT(ui_.messages[3].textCode, 0);
    EXPECT_EQ(dialogState.testButtonBusy, 0);
}

TEST_F(LinkTestBinderTest, RoleAndAutomaticTestList) {
    Find<QCheckBox>("ChkBMaster")->setChecked(true);
    Find<QCheckBox>("ChkBMaster")->click();
    EXPECT_EQ(TestParams.master, 0);
    Find<QCheckBox>("ChkBMaster")->click();
    EXPECT_EQ(TestParams.master, 1);

    auto* list = Find<QComboBox>("CBTpAuto");
    list->setCurrentIndex(12);
    emit list->activated(12);
    EXPECT_EQ(TestParams.autoMode, 12);
    EXPECT_EQ(TestParams.autoCount, 100000u);
    list->setCurrentIndex(8);
    emit list->activated(8);
    EXPECT_EQ(TestParams.autoCount, 1000u);
    list->setCurrentIndex(-1);
    emit list->activated(-1);
    EXPECT_EQ(TestParams.autoMode, 0);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(TestParams.autoCount, 1000u);
}

TEST_F(LinkTestBinderTest, NetworkAddressIsReadOnLeaveAndEnter) {
    auto* edit = Find<QLineEdit>("EdIDNet");
    edit->setText(QStringLiteral(" 12 "));
    Leave(edit);
    EXPECT_EQ(TestParams.netAddr, 12);
    EXPECT_EQ(edit->text(), QStringLiteral("  12"));

    edit->setText(QStringLiteral("255"));
    PressEnter(edit);
    EXPECT_EQ(TestParams.netAddr, 12);
    EXPECT_EQ(edit->text(), QStringLiteral("  12"));

    edit->setText(QStringLiteral("200"));
    ReadNetAddrEdit();  // as the pages' validation before apply calls it
    EXPECT_EQ(TestParams.netAddr, 200);
}

TEST_F(LinkTestBinderTest, SizeFieldIsReadOnLeaveEnterAndDoubleClick) {
    auto* size = Find<QComboBox>("CBSzMsg");
    const int items = size->count();
    size->setEditText(QStringLiteral("2000"));
    PressEnter(size->lineEdit());
    EXPECT_EQ(TestParams.reqSize, 1024);
    EXPECT_EQ(size->currentText(), QStringLiteral(" 1024"));
    EXPECT_EQ(size->count(), items);  // Enter adds no item

    size->setEditText(QStringLiteral("0"));
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(size->lineEdit(), &click);
    EXPECT_EQ(TestParams.reqSize, 1);

    size->setEditText(QStringLiteral("-3"));
    Leave(size);
    EXPECT_EQ(TestParams.reqSize, 1);
    EXPECT_EQ(size->currentText(), QStringLiteral("    1"));
}

TEST_F(LinkTestBinderTest, SlaveTimeIsReadByChoiceLeaveAndEnter) {
    auto* time = Find<QComboBox>("CBSlaveTmMin");
    EXPECT_EQ(time->currentText(), QStringLiteral("     30"));
    time->setCurrentIndex(8);  // "150"
    emit time->activated(8);
    EXPECT_EQ(TestParams.slaveMinTime, 150);
    EXPECT_EQ(time->currentText(), QStringLiteral("    150"));

    time->setEditText(QStringLiteral("50001"));
    Leave(time);
    EXPECT_EQ(TestParams.slaveMinTime, 150);
    time->setEditText(QStringLiteral("50000"));
    PressEnter(time->lineEdit());
    EXPECT_EQ(TestParams.slaveMinTime, 50000);

    // A later dialog shows the time in force.
    binder_.reset();
    dialog_ = testsupport::MakeTestDialog();
    binder_ = std::make_unique<LinkTestBinder>(dialog_.get(), &ui_);
    EXPECT_EQ(Find<QComboBox>("CBSlaveTmMin")->currentText(), QStringLiteral("  50000"));
}

TEST_F(LinkTestBinderTest, TestButtonAndPanelShowTheState) {
    auto* button = Find<QAbstractButton>("SBtnTstG");
    auto* panel = Find<QFrame>("PnlBG");
    const auto panelColour = [&] { return panel->palette().color(QPalette::Window); };

    dialogState.selPort = 0;
    PortTable[0].protocol = 2;
    ShowTestButton();
    EXPECT_EQ(FromQ(button->toolTip()), std::string("Открыть порт"_cp));
    EXPECT_EQ(button->property("glyph").toInt(), 9);
    EXPECT_EQ(FromQ(Find<QComboBox>("CBSzMsg")->toolTip()), std::string("Число регистров для чтения [2..64] "_cp));
    EXPECT_EQ(panelColour(), QApplication::palette().color(QPalette::Button));

    PortTable[0].phase = 1;
    PortTable[0].protocol = 0;
    ShowTestButton();
    EXPECT_EQ(FromQ(button->toolTip()), std::string("Закрыть порт"_cp));
    EXPECT_EQ(FromQ(Find<QComboBox>("CBSzMsg")->toolTip()), std::string("Размер запрашиваемых данных [1..1024] "_cp));

    dialogState.testRunning = 1;
    ShowTestButton();
    EXPECT_EQ(FromQ(button->toolTip()), std::string("Остановить тест"_cp));
    EXPECT_EQ(panelColour(), QColor(0, 255, 0));
    dialogState.stopRequest = 1;
    ShowTestPanelColour();
    EXPECT_EQ(panelColour(), QApplication::palette().color(QPalette::ToolTipBase));
    PortTable[0].phase = 0;

    // A port that cannot be looked up: only the panel.
    dialogState.selPort = 7;
    dialogState.testRunning = 0;
    dialogState.stopRequest = 0;
    ShowTestButton();
    EXPECT_EQ(FromQ(button->toolTip()), std::string("Остановить тест"_cp));
    EXPECT_EQ(panelColour(), QApplication::palette().color(QPalette::Button));
}

TEST_F(LinkTestBinderTest, StopRequestWithoutADialog) {
    binder_.reset();
    RequestStop();
    EXPECT_EQ(dialogState.stopRequest, 1);
    RunTest(kTestSend);  // nothing bound: nothing runs
    EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
