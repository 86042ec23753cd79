#include "link/dlgset/dialog_layout.h"

#include "link/dlgset/dialog_state.h"
#include "platform/cp1251.h"

namespace vrt::link {

using namespace vrt::literals;

const char* ModeTitle(int32_t dlgMode) {
    switch (dlgMode) {
        case kModeSetup: return " Настройка связи"_cp;
        case kModeSelect: return " Выбор устройства"_cp;
        default: return " Статистика"_cp;
    }
}

SetButtonsLayout ComputeSetButtonsLayout(bool withCaptions, const LayoutRect& pages) {
    SetButtonsLayout l;
    if (withCaptions) {
        // A captioned row under the pages.
        l.panel = {2, pages.top + pages.height + 6, 448, 27};
        l.setupHeight = l.panel.top + l.panel.height + 8;
        static constexpr int32_t lefts[4] = {2, 109, 216, 323};
        for (int i = 0; i < 4; ++i) l.buttons[i] = {lefts[i], 0, 106, 0};
        l.captions = {"Применить"_cp, "Отмена"_cp, "Загрузить"_cp, "Сохранить"_cp};
    } else {
        // A column of glyph buttons right of the pages.
        l.panel = {pages.left + pages.width + 4, pages.top + 46, 27, pages.height - 46};
        l.setupHeight = pages.top + pages.height + 8;
        static constexpr int32_t tops[4] = {0, 39, 70, 109};
        for (int i = 0; i < 4; ++i) l.buttons[i] = {0, tops[i], 23, 0};
    }
    return l;
}

ModeLayout ComputeModeLayout(int32_t dlgMode, bool extView, bool stTop, bool stExtNo) {
    ModeLayout m;
    m.title = ModeTitle(dlgMode);
    switch (dlgMode) {
        case kModeSetup:
            m.modeLineFullWidth = true;
            m.setupVisible = true;
            m.setButtonsVisible = true;
            m.timerOn = true;
            break;
        case kModeSelect:
            m.setButtonsVisible = false;
            m.portPictures = false;
            m.minState = false;
            m.setupVisible = false;
            m.pagesVisible = false;
            m.selectButtons = true;
            m.modeLineWidth = 250;
            m.frameButtonsLeft = true;
            m.timerOn = false;
            break;
        default:  // statistics, modal or modeless
            m.setButtonsVisible = false;
            m.timerOn = true;
            m.stayOnTop = stTop;
            m.stateSzShown = true;
            if (!extView) {
                m.stateSzImage = 0;
                m.stateSzHint = "Показать доп.информацию"_cp;
                m.setupVisible = false;
            } else {
                m.stateSzImage = 1;
                m.stateSzHint = "Скрыть доп.информацию"_cp;
                m.extendedSetup = true;
                m.hideOtherTabs = stExtNo;
                m.setupVisible = true;
            }
            break;
    }
    return m;
}

int32_t FrameButtonsLeft(const LayoutRect& modeLine, int32_t aboutWidth) {
    return modeLine.left + modeLine.width - aboutWidth - 8;
}

ControlSwitches ComputeControlSwitches(int32_t dlgMode, bool testRunning, uint32_t openPortCount) {
    ControlSwitches s;
    if (dlgMode == kModeSetup) {
        s.pages = true;
        s.testPanel = true;
        s.portBox = !testRunning;
        s.edits = !testRunning;
        s.setButtons = !testRunning;
    } else {
        s.portBox = true;
    }
    s.errorLogBox = s.edits && openPortCount == 0;
    return s;
}

const char* TestOperationName(int32_t testOp) {
    switch (testOp) {
        case kTestAuto: return "АВТОМАТ"_cp;
        case kTestSend: return "ПЕРЕДАЧА СООБЩЕНИЯ"_cp;
        case kTestReceive: return "ПРИЕМ ОТВЕТА"_cp;
        default: return "";
    }
}

PageHelp ComputePageHelp(int32_t activePage, int32_t dlgMode, int32_t settingsMarks, int32_t optionMarks,
                         int32_t testOp, bool testRunning, bool stExtNo, uint32_t openPortCount) {
    PageHelp h;
    if (dlgMode == kModeSetup)
        h.image = testRunning ? 7 : 6;
    else
        h.image = stExtNo ? 4 : 5;
    if (dlgMode == kModeSetup) {
        h.setErrorLog = true;
        h.errorLogEnabled = openPortCount == 0;
    }
    if (activePage >= 0 && activePage < 31) {
        const int32_t bit = int32_t(1) << activePage;
        h.maroon = (settingsMarks & bit) != 0 || (optionMarks & bit) != 0;
    }
    const char* const askApply = "Параметры связи изменены, для их использования выполните \"Применить\"."_cp;
    switch (activePage) {
        case 0:
            h.text = "Свойства порта, контроллера и особенности работы"_cp;
            if (settingsMarks & kMarkPort) h.pageHint = askApply;
            break;
        case 1:
            h.text = "Свойства модема и определения его команд"_cp;
            if (settingsMarks & kMarkModem) h.pageHint = askApply;
            break;
        case 2:
            if (dlgMode == kModeSetup) {
                const std::string base = "Тест связи и расширенная статистика"_cp;
                h.text = testOp != kTestNone ? "[" + std::string(TestOperationName(testOp)) + "] " + base : base;
                if (settingsMarks != 0)
                    h.pageHint = "Параметры связи изменены, при работе используются старые настройки."_cp;
            } else {
                h.text = "Дополнительная информация о работе"_cp;
            }
            break;
        case 3:
            h.text = "Внешний вид и поведение"_cp;
            if (optionMarks & kMarkOptions) h.pageHint = "Параметры изменены"_cp;
            break;
        default:
            h.text = " ";
            break;
    }
    return h;
}

}  // namespace vrt::link
