// The settings dialog's form with real widgets: arrangement per mode, the
// pages' controls and the apply/undo/load/save buttons.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <fstream>

#include "dialog_fixture_helpers.h"
#include "dialog_test_helpers.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/module_names.h"
#include "link/vrtclmdm/modem_engine.h"
#include "link/vrtabout/about_box.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/cp1251.h"
#include "platform/profile.h"
#include "testing/pty_pair.h"
#include "vrtclnk.h"

namespace {

using namespace vrt::link;
using namespace vrt::literals;
namespace th = vrt::link::testhelp;
using th::Ctl;

std::string U(const char* cp) { return vrt::cp1251::toUtf8(cp); }

class Form : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(th::EnsureTestApp());
        th::ResetDialogWorld();
    }
    void TearDown() override {
        th::CancelWatchers();
        th::DropModeless();
        _vrtCL_fComCloseAll();
    }
    // Runs `body` on a mode-0 dialog for `port`; fails when it did not show.
    void Setup(int32_t port, const std::function<void(TFrmDlgSet&)>& body) {
        bool ran = false;
        th::RunDialog(0, port, body, &ran);
        EXPECT_TRUE(ran);
    }
};

TEST_F(Form, SettingButtonsFollowTheCaptionsOption) {
    CommonOptionsEdited.BtnCaptions = 0;
    Setup(0, [](TFrmDlgSet& d) {
        auto* pages = Ctl<QWidget>(&d, "PgCtrlSet");
        auto* panel = Ctl<QWidget>(&d, "PnlSetBtn");
        auto* set = Ctl<QToolButton>(&d, "SBtnPSet");
        auto* save = Ctl<QToolButton>(&d, "SBtnPSave");
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(pages->x() + pages->width() + 4, panel->x());
        EXPECT_EQ(23, set->width());
        EXPECT_EQ(109, save->y());
        EXPECT_TRUE(set->text().isEmpty());
        EXPECT_EQ(pages->y() + pages->height() + 8, Ctl<QWidget>(&d, "PnlSetup")->height());

        Ctl<QCheckBox>(&d, "ChkBIsBtnCaptions")->click();
        EXPECT_EQ(1, CommonOptionsEdited.BtnCaptions);
        EXPECT_EQ(pages->y() + pages->height() + 6, panel->y());
        EXPECT_EQ(2, panel->x());
        EXPECT_EQ(106, set->width());
        EXPECT_EQ(323, save->x());
        EXPECT_EQ(U("Применить"_cp), set->text().toStdString());
        EXPECT_EQ(U("Сохранить"_cp), save->text().toStdString());
        EXPECT_TRUE(panel->isVisible());
        // The form grew to hold the row.
        const QWidget* setup = Ctl<QWidget>(&d, "PnlSetup");
        EXPECT_GE(d.height(), setup->y() + setup->height());

        // Undo brings the applied option back into the box, and the buttons follow it.
        CommonOptionsApplied.BtnCaptions = 0;
        Ctl<QToolButton>(&d, "SBtnPUndo")->click();
        EXPECT_EQ(0, CommonOptionsEdited.BtnCaptions);
        EXPECT_EQ(pages->x() + pages->width() + 4, panel->x());
        EXPECT_EQ(23, set->width());
        EXPECT_TRUE(set->text().isEmpty());
    });
}

TEST_F(Form, SetupModeShowsPagesAndButtons) {
    Setup(1, [](TFrmDlgSet& d) {
        EXPECT_STREQ(" Настройка связи"_cp, dialogState.modeTitle);
        for (const char* shown : {"PnlSetup", "PgCtrlSet", "PnlSetBtn", "PnlMinState", "ImgLnk"})
            EXPECT_TRUE(Ctl<QWidget>(&d, shown)->isVisible()) << shown;
        for (const char* hidden : {"BtnPSelOk", "BtnPSelCancel", "SBtnStateSz"})
            EXPECT_FALSE(Ctl<QWidget>(&d, hidden)->isVisible()) << hidden;
        EXPECT_EQ(Ctl<QWidget>(&d, "PnlSetup")->width(), Ctl<QWidget>(&d, "STxtMode")->width());
        EXPECT_EQ(0, Ctl<QTabWidget>(&d, "PgCtrlSet")->currentIndex());
        EXPECT_EQ(U("Свойства порта, контроллера и особенности работы"_cp),
                  Ctl<QLabel>(&d, "StTxtHelp")->text().toStdString());
    });
}

TEST_F(Form, FreeTextFieldsStoreWhatTheyAccept) {
    Setup(1, [](TFrmDlgSet& d) {
        PortRecord& rec = WorkPortTable[1];
        auto* baud = Ctl<QComboBox>(&d, "CBPBaud");
        EXPECT_EQ("  19200", baud->currentText().toStdString());
        baud->setEditText(QStringLiteral("115200 baud"));
        th::FocusOut(baud);
        EXPECT_EQ(115200u, +rec.baud);
        EXPECT_EQ(" 115200", baud->currentText().toStdString());
        baud->setEditText(QStringLiteral("1000000"));
        th::FocusOut(baud);
        EXPECT_EQ(115200u, +rec.baud);
        EXPECT_EQ(" 115200", baud->currentText().toStdString());

        rec.baud = 0;  // entering shows (and stores) the default for a stored 0
        th::FocusIn(baud);
        EXPECT_EQ(19200u, +rec.baud);
        EXPECT_EQ("  19200", baud->currentText().toStdString());

        // A drop-down or another window taking the focus is no leaving.
        baud->setEditText(QStringLiteral("300"));
        for (Qt::FocusReason r : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, r);
            QCoreApplication::sendEvent(baud, &out);
        }
        EXPECT_EQ(19200u, +rec.baud);

        // Picking a list entry reads it at once.
        baud->setCurrentIndex(6);
        emit baud->activated(6);
        EXPECT_EQ(9600u, +rec.baud);

        auto* tmw = Ctl<QComboBox>(&d, "CBCTmW");
        tmw->setEditText(QStringLiteral("50001"));
        th::FocusOut(tmw);
        EXPECT_EQ(200u, +rec.max);
        tmw->setEditText(QStringLiteral(" 50000 "));
        th::FocusOut(tmw);
        EXPECT_EQ(50000u, +rec.max);

        auto* answer = Ctl<QComboBox>(&d, "CBMTmAnswer");
        answer->setEditText(QStringLiteral("60000"));
        th::FocusOut(answer);
        EXPECT_EQ(60000u, +rec.tmAnswer);
        EXPECT_EQ(" 60000", answer->currentText().toStdString());
        auto* connect = Ctl<QComboBox>(&d, "CBMLnkTmMax");
        connect->setEditText(QStringLiteral("961"));
        th::FocusOut(connect);
        EXPECT_EQ(120u, +rec.tmConnect);
        EXPECT_EQ(" 120", connect->currentText().toStdString());

        auto* phone = Ctl<QLineEdit>(&d, "EdMdmPhone");
        phone->setText(QString(60, QLatin1Char('5')));
        th::FocusOut(phone);
        EXPECT_EQ(std::string(48, '5'), std::string(rec.phone));
        EXPECT_EQ(48, phone->text().size());
        auto* atd = Ctl<QComboBox>(&d, "CBMCmdATD");
        atd->setEditText(QStringLiteral("  ATDT  "));
        th::FocusOut(atd);
        EXPECT_STREQ("ATDT", rec.cmdATD);

        // Other ports' records are untouched.
        EXPECT_EQ(19200u, +WorkPortTable[0].baud);
        EXPECT_EQ(19200u, +PortTable[1].baud);
    });
}

TEST_F(Form, ListsAndCheckBoxesStoreAtOnce) {
    Setup(2, [](TFrmDlgSet& d) {
        PortRecord& rec = WorkPortTable[2];
        Ctl<QComboBox>(&d, "CBPParity")->setCurrentIndex(2);
        EXPECT_EQ(1, +rec.parity);  // odd
        Ctl<QComboBox>(&d, "CBPData")->setCurrentIndex(0);
        EXPECT_EQ(7, +rec.data);
        Ctl<QComboBox>(&d, "CBPStop")->setCurrentIndex(1);
        EXPECT_EQ(2, +rec.stop);
        Ctl<QComboBox>(&d, "CBProtocol")->setCurrentIndex(2);
        EXPECT_EQ(2, +rec.protocol);
        Ctl<QComboBox>(&d, "CBRptRqErr")->setCurrentIndex(10);
        EXPECT_EQ(10, +rec.rptErr);

        auto* repeat = Ctl<QComboBox>(&d, "CBMLnkRepeat");
        repeat->setEditText(QStringLiteral("4"));
        EXPECT_EQ(4, +rec.repeat);
        repeat->setEditText(QStringLiteral("9"));  // no such entry: the first is taken
        EXPECT_EQ(1, +rec.repeat);
        EXPECT_EQ(0, repeat->currentIndex());
        EXPECT_EQ("1", repeat->currentText().toStdString());

        Ctl<QCheckBox>(&d, "ChkBComMode")->click();
        EXPECT_EQ(1, +rec.mode);
        Ctl<QCheckBox>(&d, "ChkBMdmYes")->click();
        EXPECT_EQ(1, +rec.usage);
        Ctl<QCheckBox>(&d, "ChkBMdmNrqst")->click();
        EXPECT_EQ(0, +rec.request);
        Ctl<QCheckBox>(&d, "ChkBStateGRegErr")->click();
        EXPECT_EQ(1, CommonOptionsEdited.StGRegErr);
        Ctl<QCheckBox>(&d, "ChkBTstCOpen")->click();
        EXPECT_EQ(1, CommonOptionsEdited.TstOpen);
        Ctl<QCheckBox>(&d, "ChbBExtStateOnly")->click();
        Ctl<QCheckBox>(&d, "ChkBStateIsTop")->click();
        EXPECT_EQ(1, CommonOptionsEdited.StExtNo);
        EXPECT_EQ(1, CommonOptionsEdited.StTop);
        EXPECT_EQ(0, CommonOptionsApplied.StTop);
        EXPECT_EQ(0, +PortTable[2].mode);  // nothing live before Apply
    });
}

TEST_F(Form, ModemCommandGrid) {
    Setup(0, [](TFrmDlgSet& d) {
        PortRecord& rec = WorkPortTable[0];
        auto* grid = Ctl<QTableWidget>(&d, "StrGridMDMCmd");
        EXPECT_EQ(U("Старт | СТОП"_cp), grid->horizontalHeaderItem(0)->text().toStdString());
        EXPECT_EQ(U("Только СТАРТ"_cp), grid->horizontalHeaderItem(1)->text().toStdString());
        EXPECT_EQ("+++|+++ATZ0", grid->item(0, 0)->text().toStdString());
        EXPECT_EQ("AT&D0|AT&C1|AT&K0", grid->item(2, 1)->text().toStdString());

        grid->item(1, 1)->setText(QStringLiteral(" \"AT&F [factory]\" "));  // an editor's commit
        EXPECT_STREQ("AT&F", rec.cmdLines[7]);
        EXPECT_EQ("AT&F", grid->item(1, 1)->text().toStdString());

        grid->item(0, 0)->setText(QStringLiteral("?"));
        EXPECT_STREQ("+++|+++ATZ0", rec.cmdLines[0]);
        EXPECT_EQ("+++|+++ATZ0", grid->item(0, 0)->text().toStdString());

        grid->item(0, 0)->setText(QString(21, QLatin1Char('Z')));
        EXPECT_STREQ("+++|+++ATZ0", rec.cmdLines[0]);
        EXPECT_EQ("+++|+++ATZ0", grid->item(0, 0)->text().toStdString());

        // Leaving a cell reads it, as does the Enter key.
        grid->setCurrentCell(3, 0);
        {
            const QSignalBlocker block(grid);
            grid->item(3, 0)->setText(QStringLiteral("ATH0"));
        }
        grid->setCurrentCell(4, 0);
        EXPECT_STREQ("ATH0", rec.cmdLines[3]);
        {
            const QSignalBlocker block(grid);
            grid->item(4, 0)->setText(QStringLiteral("ATS0=1"));
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(grid, &enter);
        EXPECT_STREQ("ATS0=1", rec.cmdLines[4]);
    });
}

TEST_F(Form, SelectingAPortShowsItsWorkingRecord) {
    WorkPortTable[1].baud = 9600;
    WorkPortTable[1].parity = 4;
    std::strcpy(WorkPortTable[1].phone, "123");
    WorkPortTable[1].repeat = 0;
    Setup(0, [](TFrmDlgSet& d) {
        EXPECT_EQ("  19200", Ctl<QComboBox>(&d, "CBPBaud")->currentText().toStdString());
        Ctl<QRadioButton>(&d, "RBtnCOM2")->click();
        EXPECT_EQ(1, dialogState.selPort);
        EXPECT_EQ("   9600", Ctl<QComboBox>(&d, "CBPBaud")->currentText().toStdString());
        EXPECT_EQ(4, Ctl<QComboBox>(&d, "CBPParity")->currentIndex());
        EXPECT_EQ("123", Ctl<QLineEdit>(&d, "EdMdmPhone")->text().toStdString());
        EXPECT_EQ(0, Ctl<QComboBox>(&d, "CBMLnkRepeat")->currentIndex());
        EXPECT_EQ(1, +WorkPortTable[1].repeat);
        EXPECT_EQ("  33", Ctl<QLineEdit>(&d, "EdIDNet")->text().toStdString());
        EXPECT_EQ(" 1024", Ctl<QComboBox>(&d, "CBSzMsg")->currentText().toStdString());
    });
}

TEST_F(Form, ApplyWithOnlyOptionsChangedAsksNothing) {
    vrt::testing::PtyPair com4;
    com4.bindCom(4);
    ASSERT_EQ(3, _vrtCL_fOpen(3));
    Setup(0, [](TFrmDlgSet& d) {
        bool asked = false;
        th::WhenModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                asked = true;
                box->button(QMessageBox::No)->click();
            }
        }, 300);
        auto* period = Ctl<QComboBox>(&d, "CBTmState");
        period->setCurrentIndex(4);  // 1000 ms, edited
        emit period->activated(4);
        EXPECT_EQ(1000, CommonOptionsEdited.tmState);
        EXPECT_TRUE(Ctl<QToolButton>(&d, "SBtnPSet")->autoRaise());   // flat
        EXPECT_FALSE(Ctl<QToolButton>(&d, "SBtnPUndo")->autoRaise()); // stands out
        EXPECT_FALSE(Ctl<QToolButton>(&d, "SBtnPSave")->autoRaise());
        EXPECT_EQ(QColor(255, 255, 0), Ctl<QWidget>(&d, "PnlCurAct")->palette().color(QPalette::Window));
        Ctl<QToolButton>(&d, "SBtnPSet")->click();
        th::Spin(50);
        EXPECT_FALSE(asked);
        EXPECT_EQ(1000, CommonOptionsApplied.tmState);
        EXPECT_EQ(1000u, statPeriod);
        EXPECT_EQ(1000, d.TmStateVi->interval());
        EXPECT_TRUE(d.TmStateVi->isActive());
        EXPECT_EQ(0, dialogState.optionMarks);
        EXPECT_TRUE(Ctl<QToolButton>(&d, "SBtnPUndo")->autoRaise());
    });
}

TEST_F(Form, ApplyAsksWhileAPortIsOpen) {
    vrt::testing::PtyPair com1;
    com1.bindCom(1);
    ASSERT_EQ(0, _vrtCL_fOpen(0));
    for (PortRecord& r : PortTable) r.cntErrRq = 7;
    Setup(1, [](TFrmDlgSet& d) {
        auto* baud = Ctl<QComboBox>(&d, "CBPBaud");
        baud->setEditText(QStringLiteral("9600"));  // COM2 changed, COM1 open

        std::string text;
        th::AnswerMessageBox(QMessageBox::No, &text);
        Ctl<QToolButton>(&d, "SBtnPSet")->click();
        EXPECT_EQ(U(ComposeLinkMessage(-1, 4, "[ПРМЕНИТЬ]"_cp, "\nВЫПОЛНИТЬ ОПЕРАЦИЮ?"_cp).c_str()), text);
        EXPECT_EQ(19200u, +PortTable[1].baud);
        EXPECT_EQ(7u, +PortTable[1].cntErrRq);
        EXPECT_EQ(kMarkPort, dialogState.settingsMarks);

        th::AnswerMessageBox(QMessageBox::Yes);
        Ctl<QToolButton>(&d, "SBtnPSet")->click();
        EXPECT_EQ(9600u, +PortTable[1].baud);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(0u, +PortTable[k].cntErrRq) << k;
        EXPECT_EQ(0, dialogState.settingsMarks);
        EXPECT_EQ(1, _vrtCL_fIsOpen(0));  // apply reopens nothing
    });
}

TEST_F(Form, ApplyWithNothingChangedStillClearsStatistics) {
    for (PortRecord& r : PortTable) {
        r.cntOut = 3;
        r.lastResult = -6;
    }
    Setup(0, [](TFrmDlgSet& d) {
        Ctl<QToolButton>(&d, "SBtnPSet")->click();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(0u, +PortTable[k].cntOut);
            EXPECT_EQ(0, +PortTable[k].lastResult);
        }
    });
}

TEST_F(Form, UndoTakesOverALiveChange) {
    Setup(0, [](TFrmDlgSet& d) {
        ASSERT_EQ(0, _vrtCL_fESetParam(0, 4800, 0, 0, 0, 0, 0, 0, 0));
        d.ShowPageHelp();
        EXPECT_EQ("  19200", Ctl<QComboBox>(&d, "CBPBaud")->currentText().toStdString());
        EXPECT_EQ(kMarkPort, dialogState.settingsMarks);
        Ctl<QToolButton>(&d, "SBtnPUndo")->click();
        EXPECT_EQ("   4800", Ctl<QComboBox>(&d, "CBPBaud")->currentText().toStdString());
        EXPECT_EQ(0, dialogState.settingsMarks);
        EXPECT_EQ(4800u, +WorkPortTable[0].baud);
    });
}

TEST_F(Form, HelpLineFollowsMarksAndPages) {
    Setup(0, [](TFrmDlgSet& d) {
        auto* help = Ctl<QLabel>(&d, "StTxtHelp");
        auto* pages = Ctl<QTabWidget>(&d, "PgCtrlSet");
        auto* baud = Ctl<QComboBox>(&d, "CBPBaud");
        baud->setEditText(QStringLiteral("4800"));
        th::FocusOut(baud);
        EXPECT_EQ(QColor(128, 0, 0), help->palette().color(QPalette::WindowText));
        EXPECT_EQ(U("Параметры связи изменены, для их использования выполните \"Применить\"."_cp),
                  pages->widget(0)->toolTip().toStdString());

        pages->setCurrentIndex(2);
        EXPECT_EQ(U("Тест связи и расширенная статистика"_cp), help->text().toStdString());
        EXPECT_EQ(U("Параметры связи изменены, при работе используются старые настройки."_cp),
                  pages->widget(2)->toolTip().toStdString());
        EXPECT_NE(QColor(128, 0, 0), help->palette().color(QPalette::WindowText));

        pages->setCurrentIndex(3);
        EXPECT_EQ(U("Внешний вид и поведение"_cp), help->text().toStdString());
        EXPECT_TRUE(pages->widget(3)->toolTip().isEmpty());
        Ctl<QCheckBox>(&d, "ChkBStateShow")->click();
        EXPECT_EQ(U("Параметры изменены"_cp), pages->widget(3)->toolTip().toStdString());
        EXPECT_EQ(QColor(128, 0, 0), help->palette().color(QPalette::WindowText));
    });
}

TEST_F(Form, RunningTestLocksEverythingButTheTestButton) {
    Setup(0, [](TFrmDlgSet& d) {
        dialogState.testRunning = 1;
        d.EnableDialogControls();
        for (const char* off : {"GrBPort", "RBtnCOM1", "CBPBaud", "EdMdmPhone", "StrGridMDMCmd", "EdIDNet",
                                "BtnAuto", "CBTmState", "ChkBStateGRegErr", "SBtnPSet", "SBtnPSave"})
            EXPECT_FALSE(Ctl<QWidget>(&d, off)->isEnabled()) << off;
        for (const char* on : {"PnlTstCmd", "SBtnTstG", "TabSheet3", "SBtnExit"})
            EXPECT_TRUE(Ctl<QWidget>(&d, on)->isEnabled()) << on;
        dialogState.testRunning = 0;
        d.EnableDialogControls();
        for (const char* on : {"GrBPort", "CBPBaud", "BtnAuto", "ChkBStateGRegErr", "SBtnPSet"})
            EXPECT_TRUE(Ctl<QWidget>(&d, on)->isEnabled()) << on;
    });
}

TEST_F(Form, ErrorLogBoxIsDisabledWhileAPortIsOpen) {
    vrt::testing::PtyPair com2;
    com2.bindCom(2);
    ASSERT_EQ(1, _vrtCL_fOpen(1));
    Setup(0, [](TFrmDlgSet& d) { EXPECT_FALSE(Ctl<QWidget>(&d, "ChkBStateGRegErr")->isEnabled()); });
    dialogState.extView = true;
    EXPECT_EQ(0, _vrtCL_fDlgSetup(3, 0));
    ASSERT_NE(nullptr, CurrentDialog());
    EXPECT_FALSE(Ctl<QWidget>(CurrentDialog(), "ChkBStateGRegErr")->isEnabled());
}

TEST_F(Form, ExtendedStatisticsViewShowsOnlyTheStatisticsPage) {
    CommonOptionsEdited.StExtNo = 1;
    CommonOptionsEdited.StTop = 1;
    EXPECT_EQ(0, _vrtCL_fDlgSetup(3, 0));
    TFrmDlgSet* d = CurrentDialog();
    ASSERT_NE(nullptr, d);
    EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
    auto* size = Ctl<QToolButton>(d, "SBtnStateSz");
    EXPECT_TRUE(size->isVisible());
    EXPECT_EQ(U("Показать доп.информацию"_cp), size->toolTip().toStdString());
    EXPECT_FALSE(Ctl<QWidget>(d, "PnlSetup")->isVisible());

    size->click();  // the view button: extended view
    EXPECT_TRUE(dialogState.extView);
    EXPECT_TRUE(d->isVisible());
    auto* pages = Ctl<QTabWidget>(d, "PgCtrlSet");
    EXPECT_TRUE(Ctl<QWidget>(d, "PnlSetup")->isVisible());
    EXPECT_EQ(2, pages->currentIndex());
    EXPECT_EQ(U("Статистика"_cp), pages->tabText(2).toStdString());
    EXPECT_FALSE(pages->isTabVisible(0));
    EXPECT_FALSE(pages->isTabVisible(1));
    EXPECT_FALSE(pages->isTabVisible(3));
    EXPECT_TRUE(pages->isTabVisible(2));
    EXPECT_FALSE(pages->widget(2)->isEnabled());
    EXPECT_EQ(U("Скрыть доп.информацию"_cp), size->toolTip().toStdString());
    EXPECT_EQ(U("Дополнительная информация о работе"_cp), Ctl<QLabel>(d, "StTxtHelp")->text().toStdString());
    EXPECT_TRUE(d->TmStateVi->isActive());
    EXPECT_FALSE(Ctl<QWidget>(d, "PnlSetBtn")->isVisible());
    dialogState.extView = false;
}

TEST_F(Form, ConfigurationFileSwitch) {
    Setup(0, [](TFrmDlgSet& d) {
        auto* edit = Ctl<QLineEdit>(&d, "EdFNCfg");
        EXPECT_EQ(ConfigFiles().local, edit->text().toStdString());
        EXPECT_EQ(U("Используется файл \"Локальной\" конфигурации"_cp), edit->toolTip().toStdString());
        Ctl<QToolButton>(&d, "SBtnFNCfgChg")->click();
        EXPECT_EQ(1, IS_GLOBAL);
        EXPECT_EQ(ConfigFiles().global, edit->text().toStdString());
        EXPECT_EQ(U("Сменить глобальную конфигурацию на локальную "_cp),
                  Ctl<QWidget>(&d, "SBtnFNCfgChg")->toolTip().toStdString());
        Ctl<QToolButton>(&d, "SBtnFNCfgChg")->click();
        EXPECT_EQ(0, IS_GLOBAL);
    });
}

TEST_F(Form, AboutButtonShowsTheLibrarysOwnBox) {
    Setup(0, [](TFrmDlgSet& d) {
        std::string hint, title;
        bool shown = false;
        th::WhenModal([&](QWidget* box) {
            shown = box != &d;
            hint = box->toolTip().toStdString();
            title = box->windowTitle().toStdString();
            box->close();
        });
        Ctl<QToolButton>(&d, "SBtnAbout")->click();
        EXPECT_TRUE(shown);
        EXPECT_NE(std::string::npos, hint.find(BuildModuleNames().libraryPath)) << hint;
        EXPECT_NE(std::string::npos, title.find("VortanCommLink")) << title;
        EXPECT_FALSE(AboutHandOver.path.has_value());  // the slots are empty again
        EXPECT_EQ(nullptr, AboutHandOver.icon);
    });
}

TEST_F(Form, HelpFileIsBesideTheGlobalConfiguration) {
    const std::string help = TFrmDlgSet::HelpFilePath();
    const std::string global = ConfigFiles().global;
    EXPECT_EQ(global.substr(0, global.size() - 4) + ".HLP", help);
}

TEST_F(Form, SaveThatCannotWriteSaysSo) {
    char pattern[] = "/tmp/vrt_dlg_save_XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    const std::string folder = pattern;
    const ConfigFileNames original = ConfigFiles();
    // The file in use is a folder: it cannot be replaced by a file.
    ConfigFileNames names{folder + "/host.INI", folder + "/lib.CFG"};
    ASSERT_EQ(0, ::mkdir(names.local.c_str(), 0700));
    SetConfigFileNames(names);
    Setup(0, [](TFrmDlgSet& d) {
        std::string text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        th::AnswerMessageBox(QMessageBox::Ok, &text, &icon);
        Ctl<QToolButton>(&d, "SBtnPSave")->click();
        EXPECT_NE(std::string::npos, text.find(U("[СОХРАНИТЬ]"_cp)));
        EXPECT_NE(std::string::npos, text.find(U("Не удалось записать файл конфигурации:"_cp)));
        EXPECT_NE(std::string::npos, text.find("host.INI"));
        EXPECT_EQ(QMessageBox::Warning, icon);

        // Global: the global file takes the settings, only the local flag fails.
        Ctl<QToolButton>(&d, "SBtnFNCfgChg")->click();
        text.clear();
        th::AnswerMessageBox(QMessageBox::Ok, &text, &icon);
        Ctl<QToolButton>(&d, "SBtnPSave")->click();
        EXPECT_NE(std::string::npos, text.find("host.INI")) << text;
        EXPECT_EQ(std::string::npos, text.find("lib.CFG")) << text;
        Ctl<QToolButton>(&d, "SBtnFNCfgChg")->click();
    });
    SetConfigFileNames(original);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// Linux keeps file names in UTF-8; the library's texts are Windows-1251.
TEST_F(Form, CyrillicHostAndFolderReadRightInCaptionsAndMessages) {
    if (!th::InCopyOfSelf()) {
        EXPECT_EQ(0, th::RunCopyOfSelf("Form.CyrillicHostAndFolderReadRightInCaptionsAndMessages", "папка/опрос"));
        return;
    }
    const std::string local = ConfigFiles().local;  // the name on disk, .../папка/опрос.INI
    ASSERT_NE(std::string::npos, local.find("/папка/опрос.INI")) << local;
    ASSERT_EQ(0, ::mkdir(local.c_str(), 0700));  // a folder: saving the settings fails
    EXPECT_EQ(std::string("VortanCommMDM  v0.01: опрос"_cp), MdmModuleTitle());
    EXPECT_EQ(std::string("vrtCLink: опрос"_cp), BuildModuleNames().messageCaption);
    Setup(0, [&](TFrmDlgSet& d) {
        EXPECT_EQ("VortanCommLink: опрос", d.windowTitle().toStdString());
        std::string caption, text;
        th::WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) return w->close(), void();
            caption = box->windowTitle().toStdString();
            text = box->text().toStdString();
            box->button(QMessageBox::Ok)->click();
        });
        Ctl<QToolButton>(&d, "SBtnPSave")->click();
        EXPECT_EQ("vrtCLink: опрос", caption);
        EXPECT_NE(std::string::npos, text.find("\n" + local)) << text;

        std::string hint;
        th::WhenModal([&](QWidget* box) {
            hint = box->toolTip().toStdString();
            box->close();
        });
        Ctl<QToolButton>(&d, "SBtnAbout")->click();
        EXPECT_NE(std::string::npos, hint.find("/папка/опрос")) << hint;  // the library's path: this program
    });
}

// Load and Save write the configuration files named after the program, so
// this test runs in a copy of the test program in a folder of its own.
TEST_F(Form, LoadAndSaveUseTheFileInUse) {
    if (!th::InCopyOfSelf()) {
        EXPECT_EQ(0, th::RunCopyOfSelf("Form.LoadAndSaveUseTheFileInUse"));
        return;
    }
    const std::string local = ConfigFiles().local, global = ConfigFiles().global;
    ASSERT_NE(local, global);
    std::ofstream(local) << "[vrtCLink]\nCOM1=baud:9600\n";
    std::ofstream(global) << "[vrtCLink]\nCOM1=baud:4800\nCOMMON=tmState:1000\n";

    Setup(0, [](TFrmDlgSet& d) {
        auto* baud = Ctl<QComboBox>(&d, "CBPBaud");
        Ctl<QToolButton>(&d, "SBtnPLoad")->click();
        EXPECT_EQ("   9600", baud->currentText().toStdString());
        EXPECT_EQ(19200u, +PortTable[0].baud);  // loaded, not applied
        EXPECT_EQ(kMarkPort, dialogState.settingsMarks);
        Ctl<QToolButton>(&d, "SBtnPUndo")->click();
        EXPECT_EQ("  19200", baud->currentText().toStdString());
        EXPECT_EQ(0, dialogState.settingsMarks);

        Ctl<QToolButton>(&d, "SBtnFNCfgChg")->click();
        Ctl<QToolButton>(&d, "SBtnPLoad")->click();
        EXPECT_EQ("   4800", baud->currentText().toStdString());
        EXPECT_EQ(4, Ctl<QComboBox>(&d, "CBTmState")->currentIndex());
        Ctl<QToolButton>(&d, "SBtnPSet")->click();
        EXPECT_EQ(4800u, +PortTable[0].baud);

        baud->setEditText(QStringLiteral("2400"));  // saved even though not applied
        Ctl<QToolButton>(&d, "SBtnPSave")->click();
        EXPECT_EQ(2400u, +WorkPortTable[0].baud);
        EXPECT_EQ(4800u, +PortTable[0].baud);
    });
    EXPECT_EQ("1", vrt::platform::ReadProfileString(local, "vrtCLink", "IS_GLOBAL", ""));
    EXPECT_EQ("baud:9600", vrt::platform::ReadProfileString(local, "vrtCLink", "COM1", ""));
    EXPECT_EQ(0u, vrt::platform::ReadProfileString(global, "vrtCLink", "COM1", "").find("baud:2400,"));
}

}  // namespace
