#pragma once
// The settings dialog's arrangement rules, Qt-free: what each mode shows, how
// the four setting buttons are laid out, which controls are enabled, and the
// help line with its picture, colour and page hint.
#include <array>
#include <cstdint>
#include <string>

namespace vrt::link {

struct LayoutRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

// Mode titles (Windows-1251) that also head the mode line.
const char* ModeTitle(int32_t dlgMode);

// ArrangeSetButtons: the panel under or beside the pages, its buttons and
// PnlSetup's height. Button heights stay as the form has them.
struct SetButtonsLayout {
    LayoutRect panel;                       // PnlSetBtn
    int32_t setupHeight = 0;                // PnlSetup
    std::array<LayoutRect, 4> buttons;      // SBtnPSet, SBtnPUndo, SBtnPLoad, SBtnPSave (height unused)
    std::array<std::string, 4> captions;    // empty without captions
};
SetButtonsLayout ComputeSetButtonsLayout(bool withCaptions, const LayoutRect& pages);

// ArrangeForMode step 4, by mode and extended view.
struct ModeLayout {
    const char* title = nullptr;
    bool setupVisible = true;        // PnlSetup
    bool setButtonsVisible = false;  // PnlSetBtn
    bool selectButtons = false;      // BtnPSelOk, BtnPSelCancel visible
    bool portPictures = true;        // ImgLnk, ImgIsModem
    bool minState = true;            // PnlMinState
    bool pagesVisible = true;        // PgCtrlSet
    bool timerOn = false;            // refresh timer TmStateVi
    bool modeLineFullWidth = false;  // STxtMode as wide as PnlSetup
    int32_t modeLineWidth = -1;      // fixed STxtMode width, -1 none
    bool frameButtonsLeft = false;   // SBtnAbout/Help/Exit moved under the mode line's end
    bool stayOnTop = false;
    bool stateSzShown = false;       // SBtnStateSz visible and enabled
    int32_t stateSzImage = -1;       // glyph image of SBtnStateSz
    const char* stateSzHint = nullptr;
    bool extendedSetup = false;      // PnlSetup sized to the pages, page 2 active, tab "Статистика"
    bool hideOtherTabs = false;      // tabs 0, 1, 3 hidden
};
ModeLayout ComputeModeLayout(int32_t dlgMode, bool extView, bool stTop, bool stExtNo);

// Left edge of the about, help and exit buttons in device selection mode.
int32_t FrameButtonsLeft(const LayoutRect& modeLine, int32_t aboutWidth);

// EnableDialogControls.
struct ControlSwitches {
    bool pages = false;
    bool portBox = false;
    bool testPanel = false;
    bool edits = false;
    bool setButtons = false;
    bool errorLogBox = false;  // ChkBStateGRegErr: edits and no port open
};
ControlSwitches ComputeControlSwitches(int32_t dlgMode, bool testRunning, uint32_t openPortCount);

// ShowPageHelp: picture, colour, text and hint for the active page.
struct PageHelp {
    int32_t image = 5;       // image of ImgLst for ImgCurAct
    bool maroon = false;     // help text colour maroon, else window text
    std::string text;        // StTxtHelp
    std::string pageHint;    // hint of the active page
    bool errorLogEnabled = false;  // ChkBStateGRegErr enabled state (mode 0 only)
    bool setErrorLog = false;      // whether errorLogEnabled applies
};
PageHelp ComputePageHelp(int32_t activePage, int32_t dlgMode, int32_t settingsMarks, int32_t optionMarks,
                         int32_t testOp, bool testRunning, bool stExtNo, uint32_t openPortCount);

// Name of a running test operation ("" for none).
const char* TestOperationName(int32_t testOp);

}  // namespace vrt::link
