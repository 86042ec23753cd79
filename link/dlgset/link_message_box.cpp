// ShowLinkMessage: the modal box itself.
#include <QAbstractButton>
#include <QMessageBox>

#include <utility>

#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/link_message.h"
#include "link/dlgset/module_names.h"
#include "link/gui/qt_bootstrap.h"

namespace vrt::link {

namespace {

QMessageBox::StandardButtons ButtonsOf(int32_t buttons) {
    switch (buttons) {
        case kMsgYesNo: return QMessageBox::Yes | QMessageBox::No;
        case kMsgYesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(int32_t icon) {
    switch (icon) {
        case kIconInformation: return QMessageBox::Information;
        case kIconQuestion: return QMessageBox::Question;
        case kIconWarning: return QMessageBox::Warning;
        case kIconError: return QMessageBox::Critical;
        default: return QMessageBox::NoIcon;
    }
}

int32_t AnswerOf(int pressed) {
    switch (pressed) {
        case QMessageBox::Ok:
        case QMessageBox::Yes:
        case QMessageBox::Retry:
        case QMessageBox::Ignore: return kAnswerYes;
        case QMessageBox::Cancel: return kAnswerCancel;
        default: return kAnswerNo;
    }
}

}  // namespace

int32_t ShowLinkMessage(int32_t buttons, int32_t icon, int32_t port, int32_t textCode, const char* title,
                        const char* question) {
    const std::string body = ComposeLinkMessage(port, textCode, title, question);
    if (!gui::EnsureApplication()) return kAnswerNo;
    QMessageBox box(IconOf(icon), ToQ(BuildModuleNames().messageCaption), ToQ(body), ButtonsOf(buttons));
    box.setTextFormat(Qt::PlainText);
    const std::pair<QMessageBox::StandardButton, LinkButton> texts[] = {
        {QMessageBox::Ok, LinkButton::Ok},
        {QMessageBox::Yes, LinkButton::Yes},
        {QMessageBox::No, LinkButton::No},
        {QMessageBox::Cancel, LinkButton::Cancel},
    };
    for (const auto& [id, text] : texts)
        if (QAbstractButton* button = box.button(id)) button->setText(ToQ(LinkButtonText(text)));
    return AnswerOf(box.exec());
}

}  // namespace vrt::link
