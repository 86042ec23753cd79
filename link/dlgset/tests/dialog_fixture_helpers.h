#pragma once
// Running the settings dialog in tests through its real entry point: modal
// dialogs get their test body from a timer and are closed when it returns.
#include <QWidget>

#include <functional>
#include <string>

#include "link/dlgset/frm_dlg_set.h"

namespace vrt::link::testhelp {

// Resets the library state the dialog works on: all ports closed and at their
// defaults, working copy equal to the live table, options at start-up values,
// local configuration in use, no dialog.
void ResetDialogWorld();

// Calls _vrtCL_fDlgSetup(mode, port); when the dialog shows modally, runs
// `body` on it, then closes it. `ran` (when given) tells whether the body ran.
int32_t RunDialog(int32_t mode, int32_t port, const std::function<void(TFrmDlgSet&)>& body, bool* ran = nullptr);

// Destroys a modeless dialog left from an earlier call.
void DropModeless();

// A named control of the dialog.
template <class T>
T* Ctl(QWidget* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

// Sends focus-in or focus-out to a control, as tabbing into or out of it would.
void FocusIn(QWidget* w);
void FocusOut(QWidget* w);

// The control's text as Windows-1251.
std::string Text(const QString& text);

}  // namespace vrt::link::testhelp
