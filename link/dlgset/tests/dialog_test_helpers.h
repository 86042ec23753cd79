#pragma once
// Helpers for the settings dialog's widget tests: a QApplication, and answers
// to modal windows given from a timer so that no modal loop can hang a test.
#include <QMessageBox>

#include <functional>
#include <string>

class QWidget;

namespace vrt::link::testhelp {

// Creates the library's QApplication (offscreen in tests); false without one.
bool EnsureTestApp();

// Runs `action` on the first modal window that appears within `timeoutMs`.
// When none appears, nothing happens. Returns at once.
void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);
// Drops every watcher of WhenModal that has not fired yet (their actions may
// refer to a finished test's locals).
void CancelWatchers();

// Answers the next message box with `button`; its text (UTF-8) goes to `seen`
// when given, and its icon to `icon`.
void AnswerMessageBox(QMessageBox::StandardButton button, std::string* seen = nullptr,
                      QMessageBox::Icon* icon = nullptr, QMessageBox::StandardButtons* buttons = nullptr);

// Processes events for `ms` milliseconds.
void Spin(int ms);

// Tests that write the library's configuration files run in a copy of this
// test program in a fresh folder: the files are named after the program, so
// each copy has its own. RunCopyOfSelf starts the copy with only `testName`
// and answers its exit code (0: passed); InCopyOfSelf tells the copy it is one.
// `copyName` names the copy ("folder/name" puts it in a folder of that name);
// empty keeps this program's name.
int RunCopyOfSelf(const std::string& testName, const std::string& copyName = "");
bool InCopyOfSelf();

}  // namespace vrt::link::testhelp
