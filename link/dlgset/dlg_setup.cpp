// _vrtCL_fDlgSetup: the library's settings dialog in one of its four modes.
#include <QFile>
#include <QPointer>
#include <QRadioButton>
#include <QThread>
#include <QTimer>

#include <vector>

#include "link/dlgset/dialog_qt_text.h"
#include "link/dlgset/dialog_state.h"
#include "link/dlgset/frm_dlg_set.h"
#include "link/dlgset/link_test.h"
#include "link/dlgset/link_settings.h"
#include "link/dlgset/module_names.h"
#include "link/gui/qt_bootstrap.h"
#include "platform/cp1251.h"
#include "ui_dlg_set.h"

extern "C" {
VRT_API void* _FrmDlgSet = nullptr;
}

namespace vrt::link {

namespace {

using namespace vrt::literals;

// Windows left to be destroyed after their handlers, for the unload below.
std::vector<QPointer<TFrmDlgSet>> droppedInHandler;

// Closes and destroys the dialog of an earlier call. A dialog whose modal
// loop is still running further up the stack (the host called again from
// inside it) is only closed: that call destroys it when its loop returns. A
// window one of whose handlers runs (the host called from inside its About
// box or its exit) is closed and destroyed once that handler has returned.
void DropDialog() {
    auto* old = CurrentDialog();
    if (!old) return;
    _FrmDlgSet = nullptr;
    if (old->inModalLoop) {
        old->done(QDialog::Rejected);
        return;
    }
    old->close();
    if (old->InHandler()) {
        old->DropAfterHandlers();
        std::erase_if(droppedInHandler, [](const QPointer<TFrmDlgSet>& p) { return p.isNull(); });
        droppedInHandler.emplace_back(old);
    } else {
        delete old;
    }
}

// Closes the ports the test page opened itself during a modal dialog.
void CloseTestPorts() {
    for (int32_t port = 0; port < VRT_PORT_COUNT; ++port)
        if (dialogState.testOpened[port]) {
            _vrtCL_fClose(port);
            dialogState.testOpened[port] = 0;
        }
}

// A modeless statistics window outlives its call, but its code goes with the
// library. When the host unloads the library with dlclose, the unload routine
// below runs before this library's C++ globals are destroyed, Qt is intact
// (the library keeps it loaded), and the window is destroyed there. When the
// process exits, the C++ globals of every library, Qt's among them, are
// destroyed first: no Qt call is safe any more, and the window is left to
// the end of the process.
bool globalsGone = false;
struct GlobalsSentinel {
    ~GlobalsSentinel() { globalsGone = true; }
} globalsSentinel;

__attribute__((destructor)) void DropModelessWindowAtUnload() {
    if (globalsGone) return;
    auto* dlg = CurrentDialog();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || app->thread() != QThread::currentThread()) return;
    for (const QPointer<TFrmDlgSet>& dropped : droppedInHandler)
        if (dropped && !dropped->InHandler()) delete dropped.data();
    droppedInHandler.clear();
    if (!dlg) return;
    _FrmDlgSet = nullptr;
    delete dlg;
}

}  // namespace

}  // namespace vrt::link

extern "C" VRT_API int32_t _vrtCL_fDlgSetup(int32_t mode, int32_t port) {
    using namespace vrt::link;
    DialogState& st = dialogState;

    _vrtCL_fInit();
    BuildModuleNames();
    if (mode < kModeSetup || mode > kModeStatModeless) return -1;
    // The dialog lives on the windows' thread. From any other thread the call
    // is refused as the library's other windows refuse it, before it touches
    // the dialog or its state: closing the window from here would wait for
    // that thread for ever.
    if (!gui::OnWindowThread()) return st.rememberedPort;

    st.dlgMode = mode;
    if (port >= 0 && port < VRT_PORT_COUNT) st.rememberedPort = port;
    st.selPort = st.rememberedPort;
    livePorts = _vrtCL_fGetListParam();

    // A link test running further up the stack ends before its dialog goes:
    // this call resets the test state the running loop would look at.
    AbandonRunningTest();
    DropDialog();
    for (int32_t k = 0; k < VRT_PORT_COUNT; ++k) st.openAtCall[k] = _vrtCL_fIsOpen(k) == 1 ? 1 : 0;

    // Without a usable display no window can be shown: the call ends as if
    // the dialog had been left at once.
    if (!gui::EnsureApplication()) return st.rememberedPort;

    auto* dlg = new TFrmDlgSet(nullptr);
    _FrmDlgSet = dlg;
    Ui::TFrmDlgSet& u = dlg->ui();

    dlg->setWindowTitle(ToQ("VortanCommLink: " + BuildModuleNames().hostFileText));

    dlg->TmStateVi->stop();
    dlg->TmStateVi->setInterval(int(statPeriod));

    u.ChkBStateGRegErr->setToolTip(QFile::decodeName(QByteArray::fromStdString(BuildModuleNames().errLogFile)));
    u.CBRptRqErr->setToolTip(HintToQ("Число повторения запросов\rпри серьезных ошибках:\r  Ошибка ввода и т.д. "_cp));

    st.statBusy = 0;
    st.timerBusy = 0;
    st.testButtonBusy = 0;
    st.testRunning = 0;
    st.stopRequest = 0;
    st.testOp = 0;

    st.radioButtons[0] = u.RBtnCOM1;
    st.radioButtons[1] = u.RBtnCOM2;
    st.radioButtons[2] = u.RBtnCOM3;
    st.radioButtons[3] = u.RBtnCOM4;

    dlg->ArrangeForMode();

    // The port the host asked for stays underlined for the dialog's life.
    QRadioButton* asked = st.radioButtons[st.rememberedPort];
    QFont font = asked->font();
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    font.setUnderline(true);
    asked->setFont(font);

    dlg->SelectPort(st.rememberedPort);
    st.radioButtons[st.selPort]->setChecked(true);  // its handler shows the port's settings

    const bool modeless = mode == kModeStatModeless || (mode == kModeStatistics && CommonOptionsEdited.StShow != 0);
    if (modeless) {
        dlg->show();
        return st.rememberedPort;
    }

    QPointer<TFrmDlgSet> guard(dlg);
    dlg->inModalLoop = true;
    dlg->exec();
    if (guard) guard->inModalLoop = false;
    if (mode == kModeSetup || mode == kModeSelect) CloseTestPorts();
    if (_FrmDlgSet == dlg) _FrmDlgSet = nullptr;
    delete guard.data();
    return st.rememberedPort;
}
