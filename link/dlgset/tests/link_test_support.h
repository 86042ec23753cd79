#pragma once
// Shared by the statistics and link test suites: a stand-in for the dialog's
// routines that records what the test asks of it, and a widget tree that
// carries the dialog's control names.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/dlgset/link_test.h"

class QWidget;

namespace vrt::link::testsupport {

struct Shown {
    int32_t buttons, icon, port, textCode;
    std::string question;
};

class FakeUi : public LinkTestUi {
public:
    int32_t Message(int32_t buttons, int32_t icon, int32_t port, int32_t textCode, const char* question) override {
        messages.push_back({buttons, icon, port, textCode, question ? question : ""});
        return answer;
    }
    void EnableDialogControls() override { ++enableCalls; }
    void ShowPageHelp() override { ++helpCalls; }
    void ShowStatistics() override { ++statisticsCalls; }
    void ShowPortState() override { ++portStateCalls; }
    void ShowTestButton() override { ++testButtonCalls; }
    void ShowTestPanelColour() override { ++panelCalls; }
    void ProcessMessages() override {
        ++processCalls;
        if (onProcess) onProcess();
    }

    std::vector<Shown> messages;
    int32_t answer = 0;  // Yes / OK
    int enableCalls = 0, helpCalls = 0, statisticsCalls = 0, portStateCalls = 0, testButtonCalls = 0;
    int panelCalls = 0, processCalls = 0;
    std::function<void()> onProcess;
};

// A QApplication for widget tests (offscreen unless a platform is set);
// false when none can be made.
bool EnsureTestApplication();

// A dialog-shaped widget tree with the controls the binders look for: labels
// for the texts, RBtnCOM1..4, PgCtrlSet with four pages, the lists, buttons,
// edits, the panel PnlBG and the timer TmStateVi.
std::unique_ptr<QWidget> MakeTestDialog();

}  // namespace vrt::link::testsupport
