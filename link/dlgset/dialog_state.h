#pragma once
// Module-level state of the settings dialog: which dialog exists, which port
// it shows, the call's mode, the change marks and the test's run state.
// One instance, plain memory: the dialog runs on the host's one thread.
#include <cstdint>

#include "vrtclnk.h"

class QRadioButton;

namespace vrt::link {

// Modes of _vrtCL_fDlgSetup.
enum DlgSetupMode : int32_t {
    kModeSetup = 0,       // full link settings
    kModeSelect = 1,      // device (port) selection
    kModeStatistics = 2,  // statistics, modal unless StShow is on
    kModeStatModeless = 3 // statistics, modeless until the next call
};

// Bits of the change marks: the page that shows the changed settings.
enum ChangeMark : int32_t {
    kMarkPort = 1,     // settingsMarks: port and controller block (page 0)
    kMarkModem = 2,    // settingsMarks: modem block (page 1)
    kMarkOptions = 8,  // optionMarks: display options (page 3)
};

// Test operations (testOp).
enum TestOperation : int32_t {
    kTestNone = 0,
    kTestAuto = 1,
    kTestSend = 2,
    kTestReceive = 3,
};

struct DialogState {
    int32_t testOpened[VRT_PORT_COUNT] = {};  // the test page opened the port itself
    int32_t openAtCall[VRT_PORT_COUNT] = {};  // the host had the port open at the call
    int32_t selPort = 0;                      // port shown and edited, 0..3
    int32_t rememberedPort = 0;               // port kept between calls and returned
    int32_t dlgMode = 0;                      // DlgSetupMode of the current call
    const char* modeTitle = nullptr;          // Windows-1251 title of the mode line
    bool extView = false;                     // extended statistics view, kept between calls
    int32_t settingsMarks = 0;                // kMarkPort | kMarkModem
    int32_t optionMarks = 0;                  // kMarkOptions
    int32_t statBusy = 0;                     // re-entry guard of ShowStatistics
    int32_t timerBusy = 0;                    // re-entry guard of the refresh timer
    int32_t testButtonBusy = 0;               // re-entry guard of the test button
    int32_t testRunning = 0;                  // a test operation runs
    int32_t stopRequest = 0;                  // the running test is asked to stop
    int32_t testOp = 0;                       // TestOperation running
    int32_t testPort = 0;                     // port of the running test
    QRadioButton* radioButtons[VRT_PORT_COUNT] = {};  // RBtnCOM1..RBtnCOM4 of the current dialog
};

extern DialogState dialogState;

}  // namespace vrt::link
