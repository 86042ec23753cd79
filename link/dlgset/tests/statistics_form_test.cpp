// The statistics and link test binders on the dialog's real form: every
// control they use is there with a kind they can drive, and the dialog's own
// routines (message box, refreshes) serve the test page.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "dialog_test_helpers.h"
#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/frm_dlg_set.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/statistics.h"
#include "link/vrtcltrn/port_table.h"
#include "link_test_support.h"
#include "platform/cp1251.h"

using namespace vrt::link;
using namespace vrt::literals;

namespace {

class StatisticsOnForm : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::EnsureTestApplication()) GTEST_SKIP() << "no Qt platform";
        _vrtCL_fInit();
        PortSetDefaults();
        livePorts = PortTable;
        dialogState = DialogState{};
        TestParams = LinkTestParams{};
        CommonOptionsEdited.TstOpen = 0;
        form_ = std::make_unique<TFrmDlgSet>();
    }
    void TearDown() override {
        form_.reset();
        dialogState = DialogState{};
    }

    template <class T>
    T* Find(const char* name) const {
        return form_->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<TFrmDlgSet> form_;
};

TEST_F(StatisticsOnForm, EveryControlTheBindersUseIsThere) {
    for (const char* name : {"StTxtSOp", "StTxtSRez", "StTxtStCOut", "StTxtStCErrOut", "StTxtStCInp", "StTxtStCErrInp",
                             "StTxtSErrAnswer", "StTxtStErr", "StTxtStErrPercent", "StTxtStCRq", "StTxtStCErrRq",
                             "StTxtTmRq", "StTxtPhone", "ImgPhoneModem", "STxtMode", "ImgIsModem"})
        EXPECT_NE(Find<QLabel>(name), nullptr) << name;
    EXPECT_NE(Find<QGroupBox>("GrBExtState"), nullptr);
    EXPECT_NE(Find<QTabWidget>("PgCtrlSet"), nullptr);
    EXPECT_NE(Find<QTimer>("TmStateVi"), nullptr);
    for (const char* name : {"RBtnCOM1", "RBtnCOM2", "RBtnCOM3", "RBtnCOM4"})
        EXPECT_NE(Find<QRadioButton>(name), nullptr) << name;
    for (const char* name : {"SBtnStateClear", "SBtnStateSz", "BtnAuto", "BtnOutMsg", "BtnInpMsg", "SBtnTstG",
                             "ChkBMaster"})
        EXPECT_NE(Find<QAbstractButton>(name), nullptr) << name;
    for (const char* name : {"CBTmState", "CBTpAuto", "CBSzMsg", "CBSlaveTmMin"})
        EXPECT_NE(Find<QComboBox>(name), nullptr) << name;
    EXPECT_TRUE(Find<QComboBox>("CBSzMsg")->isEditable());
    EXPECT_TRUE(Find<QComboBox>("CBSlaveTmMin")->isEditable());
    EXPECT_NE(Find<QLineEdit>("EdIDNet"), nullptr);
    EXPECT_NE(Find<QWidget>("PnlBG"), nullptr);
    ASSERT_NE(Find<QComboBox>("CBTpAuto"), nullptr);
    EXPECT_EQ(Find<QComboBox>("CBTpAuto")->count(), 13);
    EXPECT_EQ(Find<QComboBox>("CBTmState")->count(), 5);
}

TEST_F(StatisticsOnForm, CountersAndFieldsWorkOnTheForm) {
    dialogState.selPort = 0;
    PortTable[0].cntOut = 100;
    PortTable[0].cntInp = 97;
    PortTable[0].cntErrOut = 3;
    ShowStatistics();
    EXPECT_EQ(FromQ(Find<QLabel>("StTxtStErrPercent")->text()), "    1.52%");
    EXPECT_EQ(FromQ(Find<QLabel>("StTxtStErr")->text()), "3 ");

    auto* size = Find<QComboBox>("CBSzMsg");
    size->setEditText(QStringLiteral("2000"));
    ReadMsgSizeEdit();
    EXPECT_EQ(TestParams.reqSize, 1024);
    EXPECT_EQ(size->currentText(), QStringLiteral(" 1024"));

    auto* list = Find<QComboBox>("CBTpAuto");
    list->setCurrentIndex(12);
    emit list->activated(12);
    EXPECT_EQ(TestParams.autoCount, 100000u);
}

TEST_F(StatisticsOnForm, ClosedPortMessageThroughTheDialogsMessageBox) {
    dialogState.selPort = 1;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    testhelp::AnswerMessageBox(QMessageBox::Ok, &text, &icon);
    Find<QAbstractButton>("BtnInpMsg")->click();
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(text, "[COM2] Порт закрыт!\nНадо открыть.\n");
    EXPECT_EQ(dialogState.testRunning, 0);
}

}  // namespace
