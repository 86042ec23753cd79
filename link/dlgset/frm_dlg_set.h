#pragma once
// TFrmDlgSet: the settings dialog's form. A thin class over dlg_set.ui that
// applies what the Qt-free rules compute (dialog_layout.h, settings_pages.h)
// and forwards the controls' events to the handlers below. The statistics and
// link test pages are attached by their own binders.
#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "vrtclnk.h"

class QComboBox;
class QTimer;
class QWidget;

namespace Ui {
class TFrmDlgSet;
}

namespace vrt::link {

class StatisticsBinder;
class LinkTestBinder;

class TFrmDlgSet : public QDialog {
    Q_OBJECT

public:
    explicit TFrmDlgSet(QWidget* owner = nullptr);
    ~TFrmDlgSet() override;

    Ui::TFrmDlgSet& ui() { return *ui_; }
    QTimer* TmStateVi = nullptr;  // statistics refresh; its interval is statPeriod

    // Set by the dialog entry while this dialog's modal loop runs.
    bool inModalLoop = false;

    // Handlers that show a box or process messages run inside a HandlerScope:
    // the host may call the dialog entry from there, and a window must not be
    // destroyed under a handler of its own.
    class HandlerScope {
    public:
        explicit HandlerScope(TFrmDlgSet* form);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        QPointer<TFrmDlgSet> form_;
    };
    bool InHandler() const { return handlerDepth_ > 0; }
    // Destroys the (closed) dialog once no handler of it runs any more.
    void DropAfterHandlers();

    // Frame operations.
    void ArrangeForMode();
    void ArrangeSetButtons();
    void EnableDialogControls();
    void ShowPageHelp();
    void SelectPort(int32_t port);
    void EnablePortBox(bool enable);
    // Refresh timer: on/off as the mode wants it; it never runs with interval 0.
    void SetRefreshTimer(bool on);

    // Settings pages.
    void ShowPortSettings();
    void ShowChangeMarks();
    void ShowConfigFileState();
    void ReadAllEdits();
    void ReadBaudEdit();
    void ReadRespTimeEdit();
    void ReadAnswerTimeEdit();
    void ReadConnectTimeEdit();
    void ReadPhoneEdit();
    void ReadDialCmdEdit();
    void ReadModemCmdCell();

    // Handlers.
    void FormCreate();
    void RBtnCOMClick(int32_t port);
    void BtnPSelOkClick();
    void BtnPSelCancelClick();
    void SBtnExitClick();
    void PgCtrlSetChange();
    void SBtnAboutClick();
    void SBtnHelpClick();
    void SBtnPSetClick();
    void SBtnPUndoClick();
    void SBtnPLoadClick();
    void SBtnPSaveClick();
    void SBtnFNCfgChgClick();
    void CBPBaudEnter();
    void CBCTmWEnter();
    void CBMTmAnswerEnter();
    void CBMLnkTmMaxEnter();
    void EdMdmPhoneEnter();
    void CBMCmdATDEnter();
    void ChkBIsBtnCaptionsClick();

    // The help file the help button opens: the global configuration file's
    // name with the extension ".HLP".
    static std::string HelpFilePath();

    // Closing stops a running test first (a hidden dialog cannot be stopped by hand).
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BindControls();
    void PostDeletion();
    void ReadModemCmdCellAt(int row, int column);
    void ListChanged(QComboBox* box, int32_t index, int32_t maxIndex, void (*store)(PortRecord&, int32_t));
    void AutoSize();

    // Entry and leave handlers of the free-text controls, by control.
    struct FreeText {
        void (TFrmDlgSet::*enter)();
        void (TFrmDlgSet::*leave)();
    };
    std::map<QObject*, FreeText> freeText_;

    std::unique_ptr<Ui::TFrmDlgSet> ui_;
    std::unique_ptr<StatisticsBinder> stats_;
    std::unique_ptr<LinkTestBinder> test_;
    bool filling_ = false;      // controls are being filled from the data
    bool timerEnabled_ = false; // the mode wants the refresh timer
    bool destroying_ = false;
    int handlerDepth_ = 0;       // handlers of this dialog on the stack
    bool dropPending_ = false;   // replaced while a handler ran
};

// The current dialog (_FrmDlgSet), or null.
TFrmDlgSet* CurrentDialog();

}  // namespace vrt::link
