#include "vrtclmdm/progress_controller.h"

#include <string>

#include "platform/clock.h"
#include "platform/cp1251.h"
#include "platform/pump.h"
#include "vrtclmdm/modem_engine.h"
#include "vrtclmdm/modem_state.h"
#include "vrtcltrn/codes.h"

using namespace vrt::literals;

namespace vrt::link {
namespace {

constexpr unsigned long kCountdownSuccess = 3;
constexpr unsigned long kCountdownFailure = 10;

void pump() { platform::processMessages(); }

}  // namespace

ProgressController::ProgressController(ModemState& state) : state_(state) {
    model_.exitCaption = "Выход"_cp;
}

ProgressController::~ProgressController() = default;

void ProgressController::attach(std::unique_ptr<ProgressView> view) { view_ = std::move(view); }

void ProgressController::render() {
    if (view_) view_->render(model_);
}

void ProgressController::init() {
    model_.caption = MdmModuleTitle();
    model_.title = state_.title;
    model_.lastAnswer.clear();
    model_.breakVisible = true;
    model_.breakEnabled = true;
    model_.exitVisible = false;
    render();
}

void ProgressController::refresh() {
    model_.status = state_.statusLine;
    model_.lastCommand = state_.lastCommand;
    model_.lastAnswer = state_.lastAnswer;
    model_.statusWhite = state_.finished != 0;
    if (state_.endTick == 0) {
        state_.closeNow = 0;
        if (model_.countdownVisible) {
            model_.countdownVisible = false;
            model_.countdownText.clear();
        }
    } else {
        const unsigned long elapsed = MsToSeconds(platform::tickMs() - state_.endTick);
        const unsigned long limit = state_.finalResult == 0 ? kCountdownSuccess : kCountdownFailure;
        unsigned long value = 0;
        if (elapsed >= limit)
            state_.closeNow = 1;
        else
            value = limit - elapsed;
        model_.countdownText = std::to_string(value);
        model_.countdownVisible = true;
        render();
        pump();
    }
    render();
    pump();
}

void ProgressController::showOutcome(bool connected) {
    model_.exitCaption = connected ? "Ok" : "Выход"_cp;
    model_.failColours = !connected;
    render();
}

void ProgressController::showEnded() {
    model_.breakEnabled = false;
    model_.exitVisible = true;
    render();
}

void ProgressController::showStopping() {
    model_.breakEnabled = false;
    render();
}

void ProgressController::runModal() {
    if (view_) view_->runModal();
}

void ProgressController::close() {
    if (view_) view_->closeWindow();
}

void ProgressController::onActivate() {
    pump();
    if (inActivate_) {
        pump();
        return;
    }
    inActivate_ = true;
    if (state_.stage == 1) {
        state_.stage = 2;
        MdmExecute(state_);
    }
    // The countdown runs with the window live; an abort skips it. Nothing is
    // waited for when no function has finished.
    while (state_.finished) {
        pump();
        refresh();
        if (state_.closeNow || state_.finalResult == kErrAborted || MdmHostAbort(state_)) break;
        platform::sleepMs(10);
    }
    refresh();
    pump();
    model_.timerEnabled = true;
    render();
    inActivate_ = false;
    pump();
    // A host that aborted is waiting for its call, not looking at the window.
    if (MdmHostAbort(state_)) {
        state_.closeNow = 1;
        close();
    }
}

void ProgressController::onTimer() {
    if (!state_.closeNow) return;
    model_.timerEnabled = false;
    render();
    onExit();
}

void ProgressController::onExit() {
    if (inExit_) return;
    inExit_ = true;
    pump();
    if (!state_.finished) {
        // Ends the function without touching the port's abort flag.
        state_.finalResult = kErrAborted;
        state_.result = kErrAborted;
        state_.finished = 1;
    }
    pump();
    inExit_ = false;
    if (state_.finished) {
        state_.closeNow = 1;
        close();
    }
}

void ProgressController::onBreak() {
    if (inBreak_) return;
    inBreak_ = true;
    model_.exitVisible = true;
    model_.breakMaroon = true;
    render();
    pump();
    MdmAbort(state_);
    model_.exitEnabled = true;
    model_.exitVisible = true;
    render();
    inBreak_ = false;
    pump();
}

void ProgressController::onClose() {
    model_.timerEnabled = false;
    render();
    if (!state_.finished) MdmAbort(state_);
}

}  // namespace vrt::link
