#include "vrtclmdm/mdm_work_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPalette>
#include <QShowEvent>

#include "gui/qt_bootstrap.h"
#include "platform/cp1251.h"
#include "ui_mdm_work.h"
#include "vrtclmdm/modem_engine.h"

namespace vrt::link {
namespace {

const QColor kMaroon(128, 0, 0);
const QColor kTeal(0, 128, 128);

QString fromCp(const std::string& text) { return QString::fromStdString(cp1251::toUtf8(text)); }

void setColours(QWidget* w, const QColor* background, const QColor& text) {
    QPalette p = w->palette();
    if (background) p.setColor(QPalette::Window, *background);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::ButtonText, text);
    w->setPalette(p);
}

// Only the active and inactive groups: a disabled button keeps the style's
// grey text and so looks disabled.
void setLiveTextColour(QWidget* w, const QColor& text) {
    QPalette p = w->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::ButtonText, text);
    }
    w->setPalette(p);
}

}  // namespace

std::unique_ptr<ProgressView> CreateQtProgressView(ProgressController& controller) {
    if (!gui::EnsureApplication()) return nullptr;
    return std::make_unique<TFrmMDMWork>(controller);
}

TFrmMDMWork::TFrmMDMWork(ProgressController& controller)
    : QDialog(nullptr), controller_(controller), ui_(new Ui::FrmMDMWork) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setColours(ui_->StTxtNmFn, &kTeal, Qt::white);
    TmrMDMCtrl.setInterval(500);
    TmrMDMCtrl.stop();  // FormCreate: the timer starts disabled
    connect(&TmrMDMCtrl, &QTimer::timeout, this, &TFrmMDMWork::TmrMDMCtrlTimer);
    connect(ui_->BitBtnExit, &QPushButton::clicked, this, &TFrmMDMWork::BitBtnExitClick);
    connect(ui_->BitBtnBreak, &QPushButton::clicked, this, &TFrmMDMWork::BitBtnBreakClick);
}

TFrmMDMWork::~TFrmMDMWork() { delete ui_; }

void TFrmMDMWork::render(const ProgressModel& m) {
    setWindowTitle(fromCp(m.caption));
    ui_->StTxtNmFn->setText(fromCp(m.title));
    ui_->SttTxtMDMfunc->setText(fromCp(m.status));
    ui_->StTxtOldCmd->setText(fromCp(m.lastCommand));
    ui_->LblOldAnswer->setText(fromCp(m.lastAnswer));

    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor text = m.failColours ? kMaroon : QApplication::palette().color(QPalette::WindowText);
    const QColor background = m.statusWhite ? QColor(Qt::white) : face;
    if (ui_->SttTxtMDMfunc->palette().color(QPalette::Window) != background ||
        ui_->SttTxtMDMfunc->palette().color(QPalette::WindowText) != text)
        setColours(ui_->SttTxtMDMfunc, &background, text);
    setColours(ui_->StTxtTmExit, nullptr, text);

    ui_->BitBtnBreak->setVisible(m.breakVisible);
    ui_->BitBtnBreak->setEnabled(m.breakEnabled);
    if (m.breakMaroon) setLiveTextColour(ui_->BitBtnBreak, kMaroon);
    ui_->BitBtnExit->setText(fromCp(m.exitCaption));
    ui_->BitBtnExit->setEnabled(m.exitEnabled);
    ui_->BitBtnExit->setVisible(m.exitVisible);
    ui_->StTxtTmExit->setText(QString::fromStdString(m.countdownText));
    ui_->StTxtTmExit->setVisible(m.countdownVisible);

    if (m.timerEnabled && !TmrMDMCtrl.isActive()) TmrMDMCtrl.start();
    if (!m.timerEnabled && TmrMDMCtrl.isActive()) TmrMDMCtrl.stop();
}

void TFrmMDMWork::runModal() {
    if (!closed_) exec();
}

void TFrmMDMWork::closeWindow() {
    if (!closed_) close();
}

void TFrmMDMWork::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The dialogue runs from the event loop of the modal window, not from
    // inside the show.
    QMetaObject::invokeMethod(this, &TFrmMDMWork::FormActivate, Qt::QueuedConnection);
}

void TFrmMDMWork::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        controller_.onClose();
    }
    event->accept();
    done(QDialog::Rejected);
}

void TFrmMDMWork::reject() { close(); }

void TFrmMDMWork::FormActivate() {
    if (!closed_) controller_.onActivate();
}

void TFrmMDMWork::TmrMDMCtrlTimer() { controller_.onTimer(); }

void TFrmMDMWork::BitBtnExitClick() { controller_.onExit(); }

void TFrmMDMWork::BitBtnBreakClick() { controller_.onBreak(); }

}  // namespace vrt::link
