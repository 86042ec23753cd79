#pragma once
// The modem progress window without Qt: its view model, the handlers of its
// buttons, timer, activation and close, and the refresh with its countdown.
// A thin Qt form (or a test's fake) renders the model and forwards events.
#include <memory>
#include <string>

namespace vrt::link {

struct ModemState;

// Everything the window shows; texts are Windows-1251.
struct ProgressModel {
    std::string caption;        // module title
    std::string title;          // StTxtNmFn
    std::string status;         // SttTxtMDMfunc
    std::string lastCommand;    // StTxtOldCmd
    std::string lastAnswer;     // LblOldAnswer
    bool statusWhite = false;   // white once the function has finished, else button face
    bool failColours = false;   // maroon status and countdown after any outcome but connected
    bool breakVisible = true;
    bool breakEnabled = true;
    bool breakMaroon = false;
    bool exitVisible = false;
    bool exitEnabled = true;
    std::string exitCaption;    // "Выход" or "Ok"
    bool countdownVisible = false;
    std::string countdownText;  // StTxtTmExit
    bool timerEnabled = false;  // TmrMDMCtrl, 500 ms
};

// The window itself, as the controller sees it.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void render(const ProgressModel& model) = 0;
    // Shows the window modally; returns once it has closed (or its event loop ended).
    virtual void runModal() = 0;
    // Asks the window to close; its close handler calls ProgressController::onClose.
    virtual void closeWindow() = 0;
};

class ProgressController {
public:
    explicit ProgressController(ModemState& state);
    ~ProgressController();
    ProgressController(const ProgressController&) = delete;
    ProgressController& operator=(const ProgressController&) = delete;

    void attach(std::unique_ptr<ProgressView> view);
    ProgressView* view() const { return view_.get(); }
    const ProgressModel& model() const { return model_; }
    ModemState& state() const { return state_; }

    // Called by the engine.
    void init();                       // fills a new window
    void refresh();                    // texts, colours and countdown
    void showOutcome(bool connected);  // exit caption and colours of the outcome
    void showEnded();                  // break disabled, exit shown
    void showStopping();               // aborted, the stop lines run: break disabled
    void runModal();
    void close();                      // closes the window if it is open

    // Handlers of the window.
    void onActivate();  // the first activation runs the whole dialogue
    void onTimer();     // presses exit once the countdown is over
    void onExit();
    void onBreak();
    void onClose();     // the window is closing, by whatever way

    // Whole seconds of a millisecond span.
    static unsigned long MsToSeconds(unsigned long ms) { return ms / 1000; }

private:
    void render();

    ModemState& state_;
    ProgressModel model_;
    std::unique_ptr<ProgressView> view_;
    // Each handler pumps messages and must not run inside itself. The flags
    // are the window's own: a window of another port is never held by them.
    bool inActivate_ = false;
    bool inExit_ = false;
    bool inBreak_ = false;
};

}  // namespace vrt::link
