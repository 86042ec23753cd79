#pragma once
// Small helpers the statistics and link test binders use to put Windows-1251
// texts and the dialog's named colours into widgets of whatever kind the form
// gives them (labels, edits, buttons, group boxes, combo boxes).
#include <initializer_list>
#include <map>
#include <string>

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/statistics.h"

namespace vrt::link {

// The named controls of a dialog, looked up once when a binder attaches:
// later look-ups never walk a widget tree that may be in destruction, and a
// destroyed control reads as null.
class WidgetCache {
public:
    WidgetCache(QWidget* root, std::initializer_list<const char*> names);
    QWidget* get(const char* name) const;
    template <class T>
    T* as(const char* name) const { return qobject_cast<T*>(get(name)); }

private:
    std::map<std::string, QPointer<QWidget>> widgets_;
};

// The colour a DlgColour stands for (system colours from the application palette).
QColor ColourOf(DlgColour colour);

// Sets the text a control shows: a label's or edit's text, a button's caption,
// a group box's title, an editable combo box's edit text.
void SetWidgetText(QWidget* widget, const std::string& cp1251);
// The text a control shows, Windows-1251.
std::string WidgetText(const QWidget* widget);
// Font colour; DlgColour::Keep changes nothing.
void SetTextColour(QWidget* widget, DlgColour colour);
// Font colour of a control while it is enabled; disabled, it looks disabled.
void SetEnabledTextColour(QWidget* widget, DlgColour colour);
// Background of a panel.
void SetBackgroundColour(QWidget* widget, DlgColour colour);

}  // namespace vrt::link
