#include "vrtabout/about_controller.h"

#include "platform/cp1251.h"

using namespace vrt::literals;

namespace vrt::link {

const char* const AboutController::kCaption = "VORTAN [UTL]";
const char* const AboutController::kHeadings[2] = {"Контактная информация"_cp, "Служба поддержки"_cp};
const char* const AboutController::kContactLines =
    "Служба технической поддержки\n"
    "\n"
    "Адрес, телефон и электронная почта\n"
    "указаны в документации,\n"
    "поставляемой вместе с программой."_cp;

void AboutController::start(AboutTexts texts, const std::string& hintPath) {
    texts_ = std::move(texts);
    textsGiven_ = true;
    inTimer_ = false;
    model_ = AboutModel{};
    model_.caption = kCaption;
    model_.infoFirst = true;
    fillTexts();
    model_.timerOn = true;
    nextHeading_ = 0;
    tickCount_ = 0;
    model_.heading = kHeadings[0];
    model_.hint = std::string("Я здесь --> "_cp) + hintPath;
}

void AboutController::fillTexts() {
    model_.name = model_.rem1 = model_.rem2 = " ";
    if (texts_.product) model_.caption = std::string(kCaption) + ": " + *texts_.product;
    if (!texts_.version && !texts_.description && !texts_.authorLine) {
        model_.bevelVisible = false;
        textsGiven_ = false;
        return;
    }
    textsGiven_ = true;
    model_.bevelVisible = true;
    if (texts_.version) model_.name = *texts_.version;
    if (texts_.description) model_.rem1 = *texts_.description;
    if (texts_.authorLine) model_.rem2 = *texts_.authorLine;
}

bool AboutController::onResize(int w, int h, AboutLayout& out) {
    if (!textsGiven_) return false;
    out.bevelWidth = w - 24;
    out.textWidth = w - 38;
    out.exitWidth = w - 24;
    out.exitHeight = h - 246;
    fillTexts();
    return true;
}

void AboutController::onTimer() {
    if (inTimer_) return;
    inTimer_ = true;
    if (model_.contactShown) {
        model_.heading = kHeadings[nextHeading_];
        nextHeading_ ^= 1;
    } else {
        model_.infoFirst = !model_.infoFirst;
        if (++tickCount_ >= 2) {
            tickCount_ = 0;
            model_.logoFirst = !model_.logoFirst;
        }
    }
    inTimer_ = false;
}

void AboutController::showContactPanel() { model_.contactShown = true; }

void AboutController::hideContactPanel() { model_.contactShown = false; }

void AboutController::stop() {
    model_.timerOn = false;
    textsGiven_ = false;
    inTimer_ = false;
}

}  // namespace vrt::link
