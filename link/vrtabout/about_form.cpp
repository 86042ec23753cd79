#include "vrtabout/about_form.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextDocument>
#include <QTextOption>

#include "platform/cp1251.h"
#include "ui_about.h"
#include "vrtabout/about_box.h"

namespace vrt::link {
namespace {

const QColor kNavy(0, 0, 128);
const QColor kMaroon(128, 0, 0);

QString fromCp(const std::string& text) { return QString::fromStdString(cp1251::toUtf8(text)); }

// The pictures are drawn, not shipped: two logos, the blinking info sign,
// the mail sign.
QPixmap logo(QSize size, const QColor& fill, const QColor& ink) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(fill);
    p.setPen(QPen(ink, 2));
    p.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 8, 8);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(size.height() / 3);
    p.setFont(f);
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, QStringLiteral("VORTAN"));
    return pm;
}

QPixmap infoSign(const QColor& fill) {
    QPixmap pm(39, 45);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(fill);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(2, 5, 35, 35));
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(24);
    p.setFont(f);
    p.drawText(QRect(2, 5, 35, 35), Qt::AlignCenter, QStringLiteral("i"));
    return pm;
}

QPixmap mailSign() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(kNavy, 2));
    p.setBrush(Qt::white);
    p.drawRect(3, 8, 26, 17);
    p.drawLine(3, 8, 16, 18);
    p.drawLine(29, 8, 16, 18);
    return pm;
}

void setTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

}  // namespace

TFrmAbout::TFrmAbout(AboutController& controller)
    : QDialog(nullptr), controller_(controller), ui_(new Ui::FrmAbout) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(size());
    ui_->ImgL1->setPixmap(logo(ui_->ImgL1->size(), QColor(0, 96, 160), Qt::white));
    ui_->ImgL1->setToolTip(QStringLiteral("VORTAN"));
    ui_->ImgL2->setPixmap(logo(ui_->ImgL2->size(), QColor(230, 230, 230), kNavy));
    ui_->ImgL2->setToolTip(QStringLiteral("VORTAN"));
    ui_->ImgInfo->setPixmap(infoSign(kNavy));
    ui_->Img1Info->setPixmap(infoSign(QColor(0, 128, 128)));
    ui_->ImgIconMail->setPixmap(mailSign());
    setTextColour(ui_->STname, kNavy);
    setTextColour(ui_->STrem1, kMaroon);
    QPalette firm = ui_->STFirm->palette();
    firm.setColor(QPalette::Window, Qt::yellow);
    firm.setColor(QPalette::WindowText, kNavy);
    ui_->STFirm->setPalette(firm);
    ui_->MemoAddres->setPlainText(fromCp(AboutController::kContactLines));
    QTextOption centred = ui_->MemoAddres->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    ui_->MemoAddres->document()->setDefaultTextOption(centred);
    ui_->PnlAddress->raise();
    for (QWidget* w : {static_cast<QWidget*>(ui_->ImgInfo), static_cast<QWidget*>(ui_->Img1Info),
                       static_cast<QWidget*>(ui_->ImgIconMail), static_cast<QWidget*>(ui_->PnlContact),
                       static_cast<QWidget*>(ui_->STContact)})
        w->installEventFilter(this);

    TmAbout.setInterval(1000);
    connect(&TmAbout, &QTimer::timeout, this, &TFrmAbout::TmAboutTimer);
    connect(ui_->BtBtnExit, &QPushButton::clicked, this, &TFrmAbout::BtBtnExitClick);
    connect(ui_->BtnAddrOk, &QPushButton::clicked, this, &TFrmAbout::BtnAddrOkClick);
}

TFrmAbout::~TFrmAbout() { delete ui_; }

void TFrmAbout::render() {
    const AboutModel& m = controller_.model();
    setWindowTitle(fromCp(m.caption));
    setToolTip(fromCp(m.hint));
    ui_->BevelUser->setVisible(m.bevelVisible);
    ui_->STname->setText(fromCp(m.name));
    ui_->STrem1->setText(fromCp(m.rem1));
    ui_->STrem2->setText(fromCp(m.rem2));
    ui_->ImgInfo->setVisible(m.infoFirst);
    ui_->Img1Info->setVisible(!m.infoFirst);
    ui_->ImgL1->setVisible(m.logoFirst);
    ui_->ImgL2->setVisible(!m.logoFirst);
    ui_->PnlAddress->setVisible(m.contactShown);
    ui_->PnlAddress->setEnabled(m.contactShown);
    ui_->STFirm->setText(fromCp(m.heading));
    if (m.timerOn && !TmAbout.isActive()) TmAbout.start();
    if (!m.timerOn && TmAbout.isActive()) TmAbout.stop();
}

bool TFrmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->isWidgetType()) {
        ImgInfoClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmAbout::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    AboutLayout l;
    if (!controller_.onClientResize(width(), height(), l)) return;
    ui_->BevelUser->resize(l.bevelWidth, ui_->BevelUser->height());
    for (QWidget* w : {static_cast<QWidget*>(ui_->STname), static_cast<QWidget*>(ui_->STrem1),
                       static_cast<QWidget*>(ui_->STrem2)})
        w->resize(l.textWidth, w->height());
    ui_->BtBtnExit->resize(l.exitWidth, l.exitHeight);
    render();
}

void TFrmAbout::closeEvent(QCloseEvent* event) {
    AboutHandOver.path.reset();
    AboutHandOver.icon = nullptr;
    event->accept();
    done(QDialog::Rejected);
}

void TFrmAbout::reject() { close(); }

void TFrmAbout::BtBtnExitClick() { close(); }

void TFrmAbout::ImgInfoClick() {
    controller_.showContactPanel();
    render();
}

void TFrmAbout::BtnAddrOkClick() {
    controller_.hideContactPanel();
    render();
}

void TFrmAbout::TmAboutTimer() {
    controller_.onTimer();
    render();
}

}  // namespace vrt::link
