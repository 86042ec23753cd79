#include "link/dlgset/frm_dlg_set.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include "link/dlgset/dialog_frame.h"
#include "link/dlgset/dialog_images.h"
#include "link/dlgset/dialog_layout.h"
#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/module_names.h"
#include "link/dlgset/settings_pages.h"
#include "link/dlgset/statistics.h"
#include "link/vrtabout/about_box.h"
#include "link/vrtcltrn/port_table.h"
#include "platform/cp1251.h"
#include "platform/module.h"
#include "ui_dlg_set.h"

namespace vrt::link {

using namespace vrt::literals;

namespace {

const QColor kMaroon(128, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

// Texts of the about button (the library's own).
const char* const kAboutProduct = "VortanCommLink";
const char* const kAboutVersion = "vrtCLNK 1.0";
const char* const kAboutDescription = "Библиотека связи с контроллерами по последовательным портам"_cp;
const char* const kAboutAuthor = "VortanCommLink";

void SetFontColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

void SetPanelColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Cell editor of the modem command grid: it opens on the stored line, trimmed.
class CommandCellDelegate : public QStyledItemDelegate {
public:
    CommandCellDelegate(TFrmDlgSet* form) : QStyledItemDelegate(form), form_(form) {}

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        const int32_t line = ModemCmdLine(index.column(), index.row() + 1);
        if (!edit || line < 0) {
            QStyledItemDelegate::setEditorData(editor, index);
            return;
        }
        edit->setText(ToQ(ModemCmdEditText(SelectedWorkRecord(), line)));
        form_->ShowPageHelp();
    }

private:
    TFrmDlgSet* form_;
};

}  // namespace

TFrmDlgSet* CurrentDialog() { return static_cast<TFrmDlgSet*>(_FrmDlgSet); }

TFrmDlgSet::TFrmDlgSet(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TFrmDlgSet>()) {
    ui_->setupUi(this);
    TmStateVi = new QTimer(this);
    TmStateVi->setObjectName(QStringLiteral("TmStateVi"));

    // Glyphs and colours of the form resource.
    ui_->SBtnAbout->setIcon(DialogGlyph(FrameGlyph::About));
    ui_->SBtnHelp->setIcon(DialogGlyph(FrameGlyph::Help));
    ui_->SBtnExit->setIcon(DialogGlyph(FrameGlyph::Exit));
    ui_->SBtnPSet->setIcon(DialogGlyph(FrameGlyph::Apply));
    ui_->SBtnPUndo->setIcon(DialogGlyph(FrameGlyph::Undo));
    ui_->SBtnPLoad->setIcon(DialogGlyph(FrameGlyph::Load));
    ui_->SBtnPSave->setIcon(DialogGlyph(FrameGlyph::Save));
    ui_->SBtnStateClear->setIcon(DialogGlyph(FrameGlyph::ClearStat));
    ui_->ImgLnk->setPixmap(DialogGlyph(FrameGlyph::Link).pixmap(24, 24));
    ui_->ImgIsModem->setPixmap(DialogGlyph(FrameGlyph::Modem).pixmap(24, 24));
    ui_->ImgPhoneModem->setPixmap(DialogGlyph(FrameGlyph::Modem).pixmap(16, 16));
    ui_->SBtnTstG->setIcon(DialogImage(9));
    setWindowIcon(DialogGlyph(FrameGlyph::Link));
    SetFontColour(ui_->StTxtStCErrOut, kMaroon);
    SetFontColour(ui_->StTxtStCErrInp, kMaroon);
    SetFontColour(ui_->StTxtSErrAnswer, kBlue);
    SetFontColour(ui_->StTxtStCRq, kBlue);
    SetFontColour(ui_->StTxtStCErrRq, kRed);
    SetFontColour(ui_->StTxtTmRq, kBlue);
    SetPanelColour(ui_->StTxtHelp, palette().color(QPalette::Midlight));
    ui_->StrGridMDMCmd->setItemDelegate(new CommandCellDelegate(this));

    FormCreate();
    BindControls();
    stats_ = std::make_unique<StatisticsBinder>(this);
    test_ = std::make_unique<LinkTestBinder>(this);
}

TFrmDlgSet::~TFrmDlgSet() {
    // No handler may run on a half-destroyed form.
    destroying_ = true;
    TmStateVi->stop();
    for (QObject* o : findChildren<QObject*>()) o->blockSignals(true);
    test_.reset();
    stats_.reset();
    for (QRadioButton*& rb : dialogState.radioButtons)
        if (rb && rb->window() == this) rb = nullptr;
    if (_FrmDlgSet == this) _FrmDlgSet = nullptr;
}

void TFrmDlgSet::FormCreate() {
    char hint[256];
    std::snprintf(hint, sizeof hint,
                  "Команды начала и/или окончания работы с модемом (Разделитель=\"|\", MAX=%i символов)."_cp, 19);
    ui_->StrGridMDMCmd->setToolTip(ToQ(hint));
    ui_->StrGridMDMCmd->setColumnCount(2);
    ui_->StrGridMDMCmd->setRowCount(6);  // and the header row
    ui_->StrGridMDMCmd->setHorizontalHeaderLabels({ToQ("Старт | СТОП"_cp), ToQ("Только СТАРТ"_cp)});
    ui_->StrGridMDMCmd->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui_->StrGridMDMCmd->verticalHeader()->setDefaultSectionSize(18);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 2; ++c)
            if (!ui_->StrGridMDMCmd->item(r, c)) ui_->StrGridMDMCmd->setItem(r, c, new QTableWidgetItem);

    std::snprintf(hint, sizeof hint, "Телефонный номер (MAX=%i символов)."_cp, 47);
    ui_->EdMdmPhone->setToolTip(ToQ(hint));
    ui_->StTxtTmRq->setToolTip(
        ToQ("Время выполнения запросов, без учета пауз между запросами.\nФормат= ЧЧ:ММ:СС [мс]"_cp));
    ui_->StTxtSErrAnswer->setToolTip(
        ToQ("Число отрицательных ответов.\nКонтроллер/(slave) ответил но не выполнил запрос.\n Причина:\"Занят\", "
            "\"Ошибки аргументов\", и т.д."_cp));
    ui_->CBSlaveTmMin->setToolTip(
        ToQ(" MIN. время отклика [мс]\n____________________________________________\n* Для режима "
            "\"Подчиненный/SLAVE\" \n* Время выдерживается приблизительно. \n"_cp));
}

void TFrmDlgSet::BindControls() {
    auto& u = *ui_;
    QRadioButton* radios[4] = {u.RBtnCOM1, u.RBtnCOM2, u.RBtnCOM3, u.RBtnCOM4};
    for (int32_t k = 0; k < 4; ++k)
        connect(radios[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on) RBtnCOMClick(k);
        });
    connect(u.BtnPSelOk, &QPushButton::clicked, this, &TFrmDlgSet::BtnPSelOkClick);
    connect(u.BtnPSelCancel, &QPushButton::clicked, this, &TFrmDlgSet::BtnPSelCancelClick);
    connect(u.SBtnExit, &QToolButton::clicked, this, &TFrmDlgSet::SBtnExitClick);
    connect(u.SBtnAbout, &QToolButton::clicked, this, &TFrmDlgSet::SBtnAboutClick);
    connect(u.SBtnHelp, &QToolButton::clicked, this, &TFrmDlgSet::SBtnHelpClick);
    connect(u.PgCtrlSet, &QTabWidget::currentChanged, this, [this] {
        if (!filling_) PgCtrlSetChange();
    });
    connect(u.SBtnPSet, &QToolButton::clicked, this, &TFrmDlgSet::SBtnPSetClick);
    connect(u.SBtnPUndo, &QToolButton::clicked, this, &TFrmDlgSet::SBtnPUndoClick);
    connect(u.SBtnPLoad, &QToolButton::clicked, this, &TFrmDlgSet::SBtnPLoadClick);
    connect(u.SBtnPSave, &QToolButton::clicked, this, &TFrmDlgSet::SBtnPSaveClick);
    connect(u.SBtnFNCfgChg, &QToolButton::clicked, this, &TFrmDlgSet::SBtnFNCfgChgClick);

    // Check boxes: the tick goes into the working record or the edited options.
    const auto bindRecordBox = [this](QCheckBox* box, void (*store)(PortRecord&, int32_t)) {
        connect(box, &QCheckBox::clicked, this, [this, store](bool on) {
            store(SelectedWorkRecord(), on ? 1 : 0);
            ShowPageHelp();
        });
    };
    bindRecordBox(u.ChkBComMode, [](PortRecord& r, int32_t v) { r.mode = v; });
    bindRecordBox(u.ChkBMdmYes, [](PortRecord& r, int32_t v) { r.usage = v; });
    bindRecordBox(u.ChkBMdmNrqst, [](PortRecord& r, int32_t v) { r.request = v; });
    const auto bindOptionBox = [this](QCheckBox* box, int32_t CommonOptions::*field) {
        connect(box, &QCheckBox::clicked, this, [this, field](bool on) {
            CommonOptionsEdited.*field = on ? 1 : 0;
            ShowPageHelp();
        });
    };
    bindOptionBox(u.ChbBExtStateOnly, &CommonOptions::StExtNo);
    bindOptionBox(u.ChkBStateIsTop, &CommonOptions::StTop);
    bindOptionBox(u.ChkBStateShow, &CommonOptions::StShow);
    bindOptionBox(u.ChkBStateGRegErr, &CommonOptions::StGRegErr);
    bindOptionBox(u.ChkBTstCOpen, &CommonOptions::TstOpen);
    connect(u.ChkBIsBtnCaptions, &QCheckBox::clicked, this, &TFrmDlgSet::ChkBIsBtnCaptionsClick);

    // Selection lists.
    const auto bindList = [this](QComboBox* box, int32_t maxIndex, void (*store)(PortRecord&, int32_t)) {
        connect(box, &QComboBox::currentIndexChanged, this,
                [this, box, maxIndex, store](int index) { ListChanged(box, index, maxIndex, store); });
    };
    bindList(u.CBPData, 1, &SetDataEntry);
    bindList(u.CBPStop, 1, &SetStopEntry);
    bindList(u.CBPParity, kParityEntries - 1, &SetParityEntry);
    bindList(u.CBProtocol, 2, &SetProtocolEntry);
    bindList(u.CBRptRqErr, 10, &SetRptErrEntry);
    bindList(u.CBMLnkRepeat, 4, &SetModemRepeatEntry);
    // Typing into the editable repeat box picks the entry it names, or none.
    connect(u.CBMLnkRepeat, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (filling_) return;
        QComboBox* box = ui_->CBMLnkRepeat;
        const int index = box->findText(text.trimmed());
        if (index < 0)
            ListChanged(box, -1, 4, &SetModemRepeatEntry);
        else if (index != box->currentIndex())
            box->setCurrentIndex(index);
    });

    // Free-text controls: entry shows the stored value, leaving or picking reads it.
    freeText_ = {
        {u.CBPBaud, {&TFrmDlgSet::CBPBaudEnter, &TFrmDlgSet::ReadBaudEdit}},
        {u.CBCTmW, {&TFrmDlgSet::CBCTmWEnter, &TFrmDlgSet::ReadRespTimeEdit}},
        {u.CBMTmAnswer, {&TFrmDlgSet::CBMTmAnswerEnter, &TFrmDlgSet::ReadAnswerTimeEdit}},
        {u.CBMLnkTmMax, {&TFrmDlgSet::CBMLnkTmMaxEnter, &TFrmDlgSet::ReadConnectTimeEdit}},
        {u.CBMCmdATD, {&TFrmDlgSet::CBMCmdATDEnter, &TFrmDlgSet::ReadDialCmdEdit}},
        {u.EdMdmPhone, {&TFrmDlgSet::EdMdmPhoneEnter, &TFrmDlgSet::ReadPhoneEdit}},
    };
    for (auto& [control, handlers] : freeText_) {
        control->installEventFilter(this);
        if (auto* box = qobject_cast<QComboBox*>(control)) {
            const auto read = handlers.leave;
            connect(box, &QComboBox::activated, this, [this, read] {
                if (filling_) return;
                (this->*read)();
                ShowPageHelp();
            });
        }
    }

    // Modem command grid.
    QTableWidget* grid = u.StrGridMDMCmd;
    grid->installEventFilter(this);
    connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_ || !item) return;
        ReadModemCmdCellAt(item->row(), item->column());
        ShowPageHelp();
    });
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int, int, int prevRow, int prevColumn) {
        if (filling_ || prevRow < 0 || prevColumn < 0) return;
        ReadModemCmdCellAt(prevRow, prevColumn);  // the cell being left
        ShowPageHelp();
    });
}

bool TFrmDlgSet::eventFilter(QObject* watched, QEvent* event) {
    if (destroying_) return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        // A drop-down opening or closing, or another window coming to the front,
        // is no entry into or exit from the control.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            if (auto it = freeText_.find(watched); it != freeText_.end()) {
                if (type == QEvent::FocusIn) {
                    (this->*it->second.enter)();
                } else {
                    (this->*it->second.leave)();
                }
                ShowPageHelp();
            } else if (watched == ui_->StrGridMDMCmd && type == QEvent::FocusOut) {
                ReadModemCmdCell();
                ShowPageHelp();
            }
        }
    } else if (type == QEvent::KeyPress && watched == ui_->StrGridMDMCmd) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ReadModemCmdCell();
            ShowPageHelp();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmDlgSet::done(int result) {
    const HandlerScope scope(this);
    // A hidden dialog cannot be stopped by hand: a test still running when the
    // window closes ends with the request or read in progress. A dialog that a
    // newer call replaced has had its test ended by that call.
    if (CurrentDialog() == this) AbandonRunningTest();
    QDialog::done(result);
}

TFrmDlgSet::HandlerScope::HandlerScope(TFrmDlgSet* form) : form_(form) { ++form->handlerDepth_; }

TFrmDlgSet::HandlerScope::~HandlerScope() {
    if (form_ && --form_->handlerDepth_ == 0 && form_->dropPending_) form_->PostDeletion();
}

void TFrmDlgSet::DropAfterHandlers() {
    dropPending_ = true;
    if (handlerDepth_ == 0) PostDeletion();
}

void TFrmDlgSet::PostDeletion() {
    // Posted, not done here: the control whose event ran the handler is still
    // on the stack below it. Any message processing after that event runs it,
    // a GLib host's main loop included (deleteLater would wait for a Qt event
    // loop such a host never runs).
    QMetaObject::invokeMethod(this, [this] { delete this; }, Qt::QueuedConnection);
}

// ---- frame -----------------------------------------------------------------

void TFrmDlgSet::SetRefreshTimer(bool on) {
    timerEnabled_ = on;
    if (on && TmStateVi->interval() > 0)
        TmStateVi->start();
    else
        TmStateVi->stop();
}

void TFrmDlgSet::AutoSize() {
    int right = 0, bottom = 0;
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isHidden() || w->isWindow()) continue;
        right = std::max(right, w->geometry().right() + 1);
        bottom = std::max(bottom, w->geometry().bottom() + 1);
    }
    setFixedSize(right + 4, bottom + 4);
}

void TFrmDlgSet::ArrangeForMode() {
    auto& u = *ui_;
    ShowConfigFileState();
    _vrtCL_fInit();

    u.SBtnStateSz->setVisible(false);
    ShowPortSettings();

    u.BtnPSelOk->setVisible(false);
    u.BtnPSelCancel->setVisible(false);
    {
        const QSignalBlocker block(u.PgCtrlSet);
        u.PgCtrlSet->setCurrentIndex(0);
    }
    u.PnlSetBtn->setVisible(false);
    ArrangeSetButtons();

    const ModeLayout m = ComputeModeLayout(dialogState.dlgMode, dialogState.extView, CommonOptionsEdited.StTop != 0,
                                           CommonOptionsEdited.StExtNo != 0);
    switch (dialogState.dlgMode) {
        case kModeSetup:
            u.STxtMode->resize(u.PnlSetup->width(), u.STxtMode->height());
            u.PnlSetup->setVisible(true);
            u.PnlSetBtn->setVisible(true);
            break;
        case kModeSelect: {
            QWidget* const hidden[] = {u.PnlSetBtn, u.ImgLnk, u.ImgIsModem, u.PnlMinState, u.PnlSetup, u.PgCtrlSet};
            for (QWidget* w : hidden) w->setVisible(false);
            u.BtnPSelOk->setVisible(true);
            u.BtnPSelCancel->setVisible(true);
            u.STxtMode->resize(m.modeLineWidth, u.STxtMode->height());
            const LayoutRect line{u.STxtMode->x(), u.STxtMode->y(), u.STxtMode->width(), u.STxtMode->height()};
            const int left = FrameButtonsLeft(line, u.SBtnAbout->width());
            for (QWidget* w : {u.SBtnAbout, u.SBtnHelp, u.SBtnExit}) w->move(left, w->y());
            break;
        }
        default:
            u.PnlSetBtn->setVisible(false);
            u.SBtnStateSz->setEnabled(false);
            u.SBtnStateSz->setIcon(QIcon());
            if (m.stayOnTop && !(windowFlags() & Qt::WindowStaysOnTopHint)) {
                const bool shown = isVisible();
                setWindowFlag(Qt::WindowStaysOnTopHint, true);
                if (shown) show();  // changing the flags hides a window
            }
            u.SBtnStateSz->setIcon(DialogImage(m.stateSzImage));
            u.SBtnStateSz->setToolTip(ToQ(m.stateSzHint));
            if (m.extendedSetup) {
                u.PnlSetup->resize(u.PnlSetup->width(), u.PgCtrlSet->y() + u.PgCtrlSet->height() + 8);
                {
                    const QSignalBlocker block(u.PgCtrlSet);
                    u.PgCtrlSet->setCurrentIndex(2);
                }
                u.PgCtrlSet->setTabText(2, ToQ("Статистика"_cp));
                if (m.hideOtherTabs)
                    for (int page : {0, 1, 3}) u.PgCtrlSet->setTabVisible(page, false);
            }
            u.PnlSetup->setVisible(m.setupVisible);
            u.SBtnStateSz->setEnabled(true);
            u.SBtnStateSz->setVisible(true);
            break;
    }

    dialogState.modeTitle = m.title;
    vrt::link::ShowPortState();
    EnableDialogControls();
    SetRefreshTimer(m.timerOn);
    ShowPageHelp();
    AutoSize();
}

void TFrmDlgSet::ArrangeSetButtons() {
    auto& u = *ui_;
    const bool wasVisible = !u.PnlSetBtn->isHidden();
    u.PnlSetBtn->setVisible(false);
    const bool captions = CommonOptionsEdited.BtnCaptions != 0;
    const QRect pg = u.PgCtrlSet->geometry();
    const SetButtonsLayout l = ComputeSetButtonsLayout(captions, {pg.x(), pg.y(), pg.width(), pg.height()});
    u.PnlSetBtn->setGeometry(l.panel.left, l.panel.top, l.panel.width, l.panel.height);
    u.PnlSetup->resize(u.PnlSetup->width(), l.setupHeight);
    QToolButton* buttons[4] = {u.SBtnPSet, u.SBtnPUndo, u.SBtnPLoad, u.SBtnPSave};
    for (int i = 0; i < 4; ++i) {
        buttons[i]->setGeometry(l.buttons[i].left, l.buttons[i].top, l.buttons[i].width, buttons[i]->height());
        buttons[i]->setText(ToQ(l.captions[i]));
        buttons[i]->setToolButtonStyle(captions ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    }
    u.PnlSetBtn->setVisible(wasVisible);
    AutoSize();
}

void TFrmDlgSet::EnablePortBox(bool enable) {
    auto& u = *ui_;
    QWidget* const box[] = {u.GrBPort, u.BtnPSelOk, u.BtnPSelCancel, u.RBtnCOM1, u.RBtnCOM2, u.RBtnCOM3, u.RBtnCOM4};
    for (QWidget* w : box) w->setEnabled(enable);
}

void TFrmDlgSet::EnableDialogControls() {
    auto& u = *ui_;
    const ControlSwitches s = ComputeControlSwitches(dialogState.dlgMode, dialogState.testRunning != 0, OpenPortCount);
    EnablePortBox(s.portBox);
    for (int page = 0; page < u.PgCtrlSet->count(); ++page) u.PgCtrlSet->widget(page)->setEnabled(s.pages);
    QWidget* const edits[] = {u.ChbBExtStateOnly, u.ChkBStateShow, u.ChkBStateIsTop, u.CBTmState, u.ChkBTstCOpen,
                              u.EdFNCfg, u.SBtnFNCfgChg, u.CBPBaud, u.CBPStop, u.CBPData, u.CBPParity,
                              u.BtnComDrvInfo, u.CBCTmW, u.ChkBComMode, u.CBProtocol, u.ChkBMdmYes,
                              u.ChkBMdmNrqst, u.EdMdmPhone, u.CBMLnkRepeat, u.CBMLnkTmMax, u.CBMCmdATD,
                              u.CBMTmAnswer, u.StrGridMDMCmd, u.EdIDNet, u.CBSzMsg, u.BtnAuto, u.ChkBMaster,
                              u.CBTpAuto, u.BtnOutMsg, u.BtnInpMsg, u.CBSlaveTmMin};
    for (QWidget* w : edits) w->setEnabled(s.edits);
    u.ChkBStateGRegErr->setEnabled(s.errorLogBox);
    u.PnlTstCmd->setEnabled(s.testPanel);
    u.SBtnTstG->setEnabled(s.testPanel);
    for (QWidget* w : {u.SBtnPSet, u.SBtnPUndo, u.SBtnPLoad, u.SBtnPSave}) w->setEnabled(s.setButtons);
}

void TFrmDlgSet::ShowPageHelp() {
    auto& u = *ui_;
    ShowChangeMarks();
    const int page = u.PgCtrlSet->currentIndex();
    const PageHelp h = ComputePageHelp(page, dialogState.dlgMode, dialogState.settingsMarks, dialogState.optionMarks,
                                       dialogState.testOp, dialogState.testRunning != 0,
                                       CommonOptionsEdited.StExtNo != 0, OpenPortCount);
    u.ImgCurAct->clear();
    u.ImgCurAct->setPixmap(DialogImage(h.image).pixmap(20, 20));
    if (h.setErrorLog) u.ChkBStateGRegErr->setEnabled(h.errorLogEnabled);
    SetFontColour(u.StTxtHelp, h.maroon ? kMaroon : QApplication::palette().color(QPalette::WindowText));
    u.StTxtHelp->setText(ToQ(h.text));
    if (QWidget* active = u.PgCtrlSet->widget(page)) active->setToolTip(ToQ(h.pageHint));
    vrt::link::ShowTestButton();
}

void TFrmDlgSet::SelectPort(int32_t port) {
    dialogState.selPort = port;
    ui_->BtnPSelOk->setText(QStringLiteral("COM%1").arg(port + 1));
    vrt::link::ShowPortState();
    vrt::link::ShowStatistics();
}

// ---- settings pages ------------------------------------------------------

void TFrmDlgSet::ShowPortSettings() {
    auto& u = *ui_;
    filling_ = true;
    PortRecord& rec = SelectedWorkRecord();
    const PortSettingsView v = BuildPortSettingsView(rec, CommonOptionsEdited);

    u.ChbBExtStateOnly->setChecked(v.extStateOnly);
    u.ChkBStateIsTop->setChecked(v.stateIsTop);
    u.ChkBStateShow->setChecked(v.stateShow);
    u.ChkBStateGRegErr->setChecked(v.stateGRegErr);
    // A changed tick runs the box's handler, which lays the setting buttons out anew.
    const bool captionsChanged = u.ChkBIsBtnCaptions->isChecked() != v.btnCaptions;
    u.ChkBIsBtnCaptions->setChecked(v.btnCaptions);
    u.ChkBTstCOpen->setChecked(v.tstCOpen);
    {
        const QSignalBlocker block(u.CBTmState);
        u.CBTmState->setCurrentIndex(v.tmStateEntry);
    }

    u.CBPBaud->setEditText(ToQ(v.baud));
    u.CBPStop->setCurrentIndex(v.stopEntry);
    u.CBPData->setCurrentIndex(v.dataEntry);
    u.CBRptRqErr->setCurrentIndex(v.rptErrEntry);
    u.CBPParity->setCurrentIndex(v.parityEntry);
    u.ChkBComMode->setChecked(v.comMode);
    u.CBCTmW->setEditText(ToQ(v.respTime));
    u.CBProtocol->setCurrentIndex(v.protocolEntry);

    u.ChkBMdmYes->setChecked(v.modemYes);
    u.ChkBMdmNrqst->setChecked(v.modemRequest);
    u.EdMdmPhone->setText(ToQ(v.phone));
    u.CBMCmdATD->setEditText(ToQ(v.dialCmd));
    for (int32_t c = 0; c < 2; ++c)
        for (int32_t r = 1; r <= 6; ++r)
            if (QTableWidgetItem* item = u.StrGridMDMCmd->item(r - 1, c))
                item->setText(ToQ(v.cmdLines[size_t(ModemCmdLine(c, r))]));
    u.CBMTmAnswer->setEditText(ToQ(v.answerTime));
    u.CBMLnkTmMax->setEditText(ToQ(v.connectTime));
    u.CBMLnkRepeat->setCurrentIndex(v.repeatEntry);
    u.CBMLnkRepeat->setEditText(u.CBMLnkRepeat->itemText(v.repeatEntry));

    // The test page's parameters.
    {
        const QSignalBlocker b1(u.EdIDNet), b2(u.CBSzMsg), b3(u.ChkBMaster), b4(u.CBTpAuto);
        u.EdIDNet->setText(ToQ(FormatNetAddr(TestParams.netAddr)));
        u.CBSzMsg->setEditText(ToQ(FormatMsgSize(TestParams.reqSize)));
        u.ChkBMaster->setChecked(TestParams.master != 0);
        u.CBTpAuto->setCurrentIndex(TestParams.autoMode);
    }
    filling_ = false;
    if (captionsChanged) ArrangeSetButtons();
}

void TFrmDlgSet::ListChanged(QComboBox* box, int32_t index, int32_t maxIndex, void (*store)(PortRecord&, int32_t)) {
    if (filling_) return;
    const int32_t entry = NormalizeListIndex(index, maxIndex);
    if (entry != index) {
        // Nothing (or no valid entry) chosen: the first entry is chosen and taken.
        filling_ = true;
        box->setCurrentIndex(entry);
        if (box->isEditable()) box->setEditText(box->itemText(entry));
        filling_ = false;
    }
    store(SelectedWorkRecord(), entry);
    ShowPageHelp();
}

void TFrmDlgSet::ReadBaudEdit() {
    ui_->CBPBaud->setEditText(ToQ(ReadBaudText(SelectedWorkRecord(), FromQ(ui_->CBPBaud->currentText()))));
}
void TFrmDlgSet::ReadRespTimeEdit() {
    ui_->CBCTmW->setEditText(ToQ(ReadRespTimeText(SelectedWorkRecord(), FromQ(ui_->CBCTmW->currentText()))));
}
void TFrmDlgSet::ReadAnswerTimeEdit() {
    ui_->CBMTmAnswer->setEditText(
        ToQ(ReadAnswerTimeText(SelectedWorkRecord(), FromQ(ui_->CBMTmAnswer->currentText()))));
}
void TFrmDlgSet::ReadConnectTimeEdit() {
    ui_->CBMLnkTmMax->setEditText(
        ToQ(ReadConnectTimeText(SelectedWorkRecord(), FromQ(ui_->CBMLnkTmMax->currentText()))));
}
void TFrmDlgSet::ReadPhoneEdit() {
    ui_->EdMdmPhone->setText(ToQ(ReadPhoneText(SelectedWorkRecord(), FromQ(ui_->EdMdmPhone->text()))));
}
void TFrmDlgSet::ReadDialCmdEdit() {
    ui_->CBMCmdATD->setEditText(ToQ(ReadDialCmdText(SelectedWorkRecord(), FromQ(ui_->CBMCmdATD->currentText()))));
}

void TFrmDlgSet::CBPBaudEnter() { ui_->CBPBaud->setEditText(ToQ(BaudEntryText(SelectedWorkRecord()))); }
void TFrmDlgSet::CBCTmWEnter() { ui_->CBCTmW->setEditText(ToQ(FormatRespTime(SelectedWorkRecord().max))); }
void TFrmDlgSet::CBMTmAnswerEnter() {
    ui_->CBMTmAnswer->setEditText(ToQ(FormatAnswerTime(SelectedWorkRecord().tmAnswer)));
}
void TFrmDlgSet::CBMLnkTmMaxEnter() {
    ui_->CBMLnkTmMax->setEditText(ToQ(FormatConnectTime(SelectedWorkRecord().tmConnect)));
}
void TFrmDlgSet::EdMdmPhoneEnter() { ui_->EdMdmPhone->setText(ToQ(PhoneEntryText(SelectedWorkRecord()))); }
void TFrmDlgSet::CBMCmdATDEnter() { ui_->CBMCmdATD->setEditText(ToQ(DialCmdEntryText(SelectedWorkRecord()))); }

void TFrmDlgSet::ReadModemCmdCellAt(int row, int column) {
    const int32_t line = ModemCmdLine(column, row + 1);
    QTableWidgetItem* item = ui_->StrGridMDMCmd->item(row, column);
    if (line < 0 || !item) return;
    const std::string shown = ReadModemCmdText(SelectedWorkRecord(), line, FromQ(item->text()));
    filling_ = true;
    item->setText(ToQ(shown));
    filling_ = false;
}

void TFrmDlgSet::ReadModemCmdCell() {
    QTableWidget* grid = ui_->StrGridMDMCmd;
    if (grid->currentRow() < 0 || grid->currentColumn() < 0) {
        filling_ = true;
        grid->setCurrentCell(0, 0);
        filling_ = false;
        return;
    }
    ReadModemCmdCellAt(grid->currentRow(), grid->currentColumn());
}

void TFrmDlgSet::ReadAllEdits() {
    ReadBaudEdit();
    ReadRespTimeEdit();
    ReadPhoneEdit();
    ReadDialCmdEdit();
    ReadConnectTimeEdit();
    ReadAnswerTimeEdit();
    vrt::link::ReadNetAddrEdit();
    vrt::link::ReadMsgSizeEdit();
    ShowPageHelp();
}

void TFrmDlgSet::ShowChangeMarks() {
    auto& u = *ui_;
    CompareLinkSettings();
    const ChangeMarksView v = ChangeMarksState();
    SetPanelColour(u.PnlCurAct, v.highlighted ? kYellow : QApplication::palette().color(QPalette::Button));
    u.SBtnPSet->setAutoRaise(!v.applyRaised);
    for (QToolButton* b : {u.SBtnPUndo, u.SBtnPLoad, u.SBtnPSave}) b->setAutoRaise(!v.othersRaised);
    vrt::link::ShowPortState();
}

void TFrmDlgSet::ShowConfigFileState() {
    auto& u = *ui_;
    const ConfigFileView v = ConfigFileState();
    u.SBtnFNCfgChg->setIcon(QIcon());
    u.SBtnFNCfgChg->setIcon(DialogImage(v.image));
    u.SBtnFNCfgChg->setToolTip(ToQ(v.buttonHint));
    u.EdFNCfg->setToolTip(ToQ(v.editHint));
    u.EdFNCfg->setText(PathText(v.path));
    u.EdFNCfg->setCursorPosition(0);
}

// ---- handlers ----------------------------------------------------------------

void TFrmDlgSet::RBtnCOMClick(int32_t port) {
    SelectPort(port);
    ShowPortSettings();
}

void TFrmDlgSet::BtnPSelOkClick() {
    dialogState.rememberedPort = dialogState.selPort;
    accept();
}

void TFrmDlgSet::BtnPSelCancelClick() { reject(); }

void TFrmDlgSet::SBtnExitClick() {
    const HandlerScope scope(this);
    vrt::link::RequestStop();
    close();
}

void TFrmDlgSet::PgCtrlSetChange() { ShowPageHelp(); }

void TFrmDlgSet::SBtnAboutClick() {
    const HandlerScope scope(this);
    const std::string& libraryPath = BuildModuleNames().libraryPath;
    std::string author = kAboutAuthor;
    if (!libraryPath.empty()) {
        const QFileInfo info(PathText(libraryPath));
        author += ": " + platform::nameText(FileNameOf(libraryPath)) + " от "_cp;
        if (info.exists())
            author += FromQ(QLocale::system().toString(info.lastModified().date(), QLocale::ShortFormat));
    }
    const QIcon icon = windowIcon();
    AboutHandOver.path = libraryPath;
    AboutHandOver.icon = &icon;
    _vrt_about(kAboutProduct, kAboutVersion, kAboutDescription, author.c_str());
    AboutHandOver.path.reset();
    AboutHandOver.icon = nullptr;
}

std::string TFrmDlgSet::HelpFilePath() { return ChangeFileExt(ConfigFiles().global, ".HLP"); }

void TFrmDlgSet::SBtnHelpClick() {
    const HandlerScope scope(this);
    // A missing file is reported as the help viewer would, not by the desktop's launcher.
    const std::string path = HelpFilePath();
    if (CheckHelpFile(path)) QDesktopServices::openUrl(QUrl::fromLocalFile(PathText(path)));
}

void TFrmDlgSet::SBtnPSetClick() {
    ReadAllEdits();
    bool apply = true;
    if (ApplyNeedsQuestion())
        apply = ShowLinkMessage(kMsgYesNo, kIconWarning, -1, kTextDeviceWorking, "[ПРМЕНИТЬ]"_cp,
                                "\nВЫПОЛНИТЬ ОПЕРАЦИЮ?"_cp) == kAnswerYes;
    if (apply) {
        CopyLinkSettings(kCopyApply);
        ShowPortSettings();
        statPeriod = uint32_t(CommonOptionsApplied.tmState);
        TmStateVi->setInterval(int(statPeriod));
        SetRefreshTimer(timerEnabled_);
    }
    ShowPageHelp();
}

void TFrmDlgSet::SBtnPUndoClick() {
    ReadAllEdits();
    CopyLinkSettings(kCopyUndo);
    ShowPortSettings();
    ShowPageHelp();
}

void TFrmDlgSet::SBtnPLoadClick() {
    ReadAllEdits();
    LoadLinkSettings();
    ShowPortSettings();
    ShowPageHelp();
}

void TFrmDlgSet::SBtnPSaveClick() {
    ReadAllEdits();
    // A file that cannot be written must not look saved.
    if (std::string failed, kept; !SaveLinkSettings(&failed, &kept)) {
        const std::string text = SaveFailureText(failed, kept);
        ShowLinkMessage(kMsgOk, kIconWarning, -1, kTextNone, "[СОХРАНИТЬ]"_cp, text.c_str());
    }
}

void TFrmDlgSet::SBtnFNCfgChgClick() {
    ToggleConfigFile();
    ShowConfigFileState();
    vrt::link::ShowPortState();
    ShowPageHelp();
}

void TFrmDlgSet::ChkBIsBtnCaptionsClick() {
    CommonOptionsEdited.BtnCaptions = ui_->ChkBIsBtnCaptions->isChecked() ? 1 : 0;
    ArrangeSetButtons();
    ShowPageHelp();
}

// ---- the frame operations for the pages' binders -----------------------------

void ArrangeForMode() {
    if (TFrmDlgSet* d = CurrentDialog()) d->ArrangeForMode();
}
void ArrangeSetButtons() {
    if (TFrmDlgSet* d = CurrentDialog()) d->ArrangeSetButtons();
}
void EnableDialogControls() {
    if (TFrmDlgSet* d = CurrentDialog()) d->EnableDialogControls();
}
void ShowPageHelp() {
    if (TFrmDlgSet* d = CurrentDialog()) d->ShowPageHelp();
}
void SelectPort(int32_t port) {
    if (TFrmDlgSet* d = CurrentDialog()) d->SelectPort(port);
}
void EnablePortBox(bool enable) {
    if (TFrmDlgSet* d = CurrentDialog()) d->EnablePortBox(enable);
}
void ShowPortSettings() {
    if (TFrmDlgSet* d = CurrentDialog()) d->ShowPortSettings();
}

}  // namespace vrt::link
