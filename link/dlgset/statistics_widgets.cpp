// Texts and colours into the dialog's widgets.
#include "link/dlgset/statistics_widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

#include "platform/cp1251.h"

namespace vrt::link {

WidgetCache::WidgetCache(QWidget* root, std::initializer_list<const char*> names) {
    for (const char* name : names)
        widgets_[name] = root ? root->findChild<QWidget*>(QString::fromLatin1(name)) : nullptr;
}

QWidget* WidgetCache::get(const char* name) const {
    const auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second.data();
}

QColor ColourOf(DlgColour colour) {
    switch (colour) {
        case DlgColour::Maroon: return QColor(128, 0, 0);
        case DlgColour::Blue: return QColor(0, 0, 255);
        case DlgColour::Green: return QColor(0, 128, 0);
        case DlgColour::Red: return QColor(255, 0, 0);
        case DlgColour::Lime: return QColor(0, 255, 0);
        case DlgColour::InfoBk: return QApplication::palette().color(QPalette::ToolTipBase);
        case DlgColour::BtnFace: return QApplication::palette().color(QPalette::Button);
        case DlgColour::WindowText:
        case DlgColour::Keep: break;
    }
    return QApplication::palette().color(QPalette::WindowText);
}

void SetWidgetText(QWidget* w, const std::string& cp1251) {
    if (!w) return;
    const QString text = ToQ(cp1251);
    if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) combo->setEditText(text);
        else combo->setCurrentIndex(combo->findText(text));
    }
}

std::string WidgetText(const QWidget* w) {
    if (!w) return {};
    if (auto* label = qobject_cast<const QLabel*>(w)) return FromQ(label->text());
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) return FromQ(edit->text());
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) return FromQ(button->text());
    if (auto* group = qobject_cast<const QGroupBox*>(w)) return FromQ(group->title());
    if (auto* combo = qobject_cast<const QComboBox*>(w)) return FromQ(combo->currentText());
    return {};
}

void SetTextColour(QWidget* w, DlgColour colour) {
    if (!w || colour == DlgColour::Keep) return;
    const QColor c = ColourOf(colour);
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::ButtonText, c);
    pal.setColor(QPalette::Text, c);
    w->setPalette(pal);
}

void SetEnabledTextColour(QWidget* w, DlgColour colour) {
    if (!w || colour == DlgColour::Keep) return;
    const QColor c = ColourOf(colour);
    const QPalette inherited = QApplication::palette(w);
    QPalette pal = w->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        pal.setColor(QPalette::Active, role, c);
        pal.setColor(QPalette::Inactive, role, c);
        pal.setColor(QPalette::Disabled, role, inherited.color(QPalette::Disabled, role));
    }
    w->setPalette(pal);
}

void SetBackgroundColour(QWidget* w, DlgColour colour) {
    if (!w || colour == DlgColour::Keep) return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ColourOf(colour));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

}  // namespace vrt::link
