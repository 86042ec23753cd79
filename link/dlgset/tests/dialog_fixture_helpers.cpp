#include "dialog_fixture_helpers.h"

#include <QApplication>
#include <QFocusEvent>

#include <cstring>

#include "dialog_test_helpers.h"
#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/link_test.h"
#include "link/vrtcltrn/port_table.h"

namespace vrt::link::testhelp {

void ResetDialogWorld() {
    EnsureTestApp();
    _vrtCL_fInit();
    DropModeless();
    _vrtCL_fComCloseAll();
    PortSetDefaults();
    std::memcpy(WorkPortTable, PortTable, sizeof PortTable);
    livePorts = PortTable;
    CommonOptionsEdited = CommonOptions{};
    CommonOptionsApplied = CommonOptions{};
    statPeriod = 250;
    IS_GLOBAL = 0;
    const bool extView = false;
    dialogState = DialogState{};
    dialogState.extView = extView;
    TestParams = LinkTestParams{};
}

int32_t RunDialog(int32_t mode, int32_t port, const std::function<void(TFrmDlgSet&)>& body, bool* ran) {
    bool didRun = false;
    WhenModal([&](QWidget* w) {
        if (auto* d = qobject_cast<TFrmDlgSet*>(w)) {
            didRun = true;
            body(*d);
        }
        if (QWidget* still = QApplication::activeModalWidget(); still == w) w->close();
    });
    const int32_t result = _vrtCL_fDlgSetup(mode, port);
    CancelWatchers();
    if (ran) *ran = didRun;
    return result;
}

void DropModeless() {
    delete CurrentDialog();  // the destructor clears _FrmDlgSet
    _FrmDlgSet = nullptr;
}

void FocusIn(QWidget* w) {
    QFocusEvent e(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(w, &e);
}

void FocusOut(QWidget* w) {
    QFocusEvent e(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(w, &e);
}

std::string Text(const QString& text) { return FromQ(text); }

}  // namespace vrt::link::testhelp
