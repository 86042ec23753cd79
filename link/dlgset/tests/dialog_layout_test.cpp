// Arrangement rules of the settings dialog: modes, setting buttons, enabled
// states and the help line.
#include <gtest/gtest.h>

#include <string>

#include "link/dlgset/dialog_layout.h"
#include "link/dlgset/dialog_state.h"
#include "platform/cp1251.h"

namespace {

using namespace vrt::link;
using namespace vrt::literals;

const LayoutRect kPages{0, 26, 501, 223};

TEST(DialogLayout, SetButtonsWithCaptionsFormARowUnderThePages) {
    const SetButtonsLayout l = ComputeSetButtonsLayout(true, kPages);
    EXPECT_EQ(2, l.panel.left);
    EXPECT_EQ(26 + 223 + 6, l.panel.top);
    EXPECT_EQ(448, l.panel.width);
    EXPECT_EQ(27, l.panel.height);
    EXPECT_EQ(l.panel.top + 27 + 8, l.setupHeight);
    const int lefts[] = {2, 109, 216, 323};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lefts[i], l.buttons[i].left);
        EXPECT_EQ(0, l.buttons[i].top);
        EXPECT_EQ(106, l.buttons[i].width);
    }
    EXPECT_EQ(std::string("Применить"_cp), l.captions[0]);
    EXPECT_EQ(std::string("Отмена"_cp), l.captions[1]);
    EXPECT_EQ(std::string("Загрузить"_cp), l.captions[2]);
    EXPECT_EQ(std::string("Сохранить"_cp), l.captions[3]);
}

TEST(DialogLayout, SetButtonsWithoutCaptionsFormAColumnBesideThePages) {
    const SetButtonsLayout l = ComputeSetButtonsLayout(false, kPages);
    EXPECT_EQ(501 + 4, l.panel.left);
    EXPECT_EQ(26 + 46, l.panel.top);
    EXPECT_EQ(27, l.panel.width);
    EXPECT_EQ(223 - 46, l.panel.height);
    EXPECT_EQ(26 + 223 + 8, l.setupHeight);
    const int tops[] = {0, 39, 70, 109};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, l.buttons[i].left);
        EXPECT_EQ(tops[i], l.buttons[i].top);
        EXPECT_EQ(23, l.buttons[i].width);
        EXPECT_TRUE(l.captions[i].empty());
    }
}

TEST(DialogLayout, ModesArrangeTheFrame) {
    const ModeLayout setup = ComputeModeLayout(kModeSetup, true, true, true);
    EXPECT_EQ(std::string(" Настройка связи"_cp), setup.title);
    EXPECT_TRUE(setup.setupVisible && setup.setButtonsVisible && setup.timerOn && setup.modeLineFullWidth);
    EXPECT_FALSE(setup.stateSzShown || setup.stayOnTop || setup.selectButtons);

    const ModeLayout select = ComputeModeLayout(kModeSelect, false, true, false);
    EXPECT_EQ(std::string(" Выбор устройства"_cp), select.title);
    EXPECT_TRUE(select.selectButtons && select.frameButtonsLeft);
    EXPECT_FALSE(select.setupVisible || select.pagesVisible || select.minState || select.portPictures ||
                 select.setButtonsVisible || select.timerOn || select.stateSzShown || select.stayOnTop);
    EXPECT_EQ(250, select.modeLineWidth);
    EXPECT_EQ(10 + 250 - 27 - 8, FrameButtonsLeft({10, 100, 250, 20}, 27));

    for (int mode : {kModeStatistics, kModeStatModeless}) {
        const ModeLayout compact = ComputeModeLayout(mode, false, true, true);
        EXPECT_EQ(std::string(" Статистика"_cp), compact.title);
        EXPECT_TRUE(compact.timerOn && compact.stayOnTop && compact.stateSzShown);
        EXPECT_FALSE(compact.setupVisible || compact.setButtonsVisible || compact.extendedSetup);
        EXPECT_EQ(0, compact.stateSzImage);
        EXPECT_EQ(std::string("Показать доп.информацию"_cp), compact.stateSzHint);

        const ModeLayout ext = ComputeModeLayout(mode, true, false, true);
        EXPECT_TRUE(ext.setupVisible && ext.extendedSetup && ext.hideOtherTabs);
        EXPECT_FALSE(ext.stayOnTop);
        EXPECT_EQ(1, ext.stateSzImage);
        EXPECT_EQ(std::string("Скрыть доп.информацию"_cp), ext.stateSzHint);
        EXPECT_FALSE(ComputeModeLayout(mode, true, false, false).hideOtherTabs);
    }
}

TEST(DialogLayout, EnabledStatesByModeAndTest) {
    ControlSwitches s = ComputeControlSwitches(kModeSetup, false, 0);
    EXPECT_TRUE(s.pages && s.portBox && s.testPanel && s.edits && s.setButtons && s.errorLogBox);
    s = ComputeControlSwitches(kModeSetup, false, 1);
    EXPECT_TRUE(s.edits);
    EXPECT_FALSE(s.errorLogBox);  // logging is switched only while no port is open

    s = ComputeControlSwitches(kModeSetup, true, 0);
    EXPECT_TRUE(s.pages && s.testPanel);
    EXPECT_FALSE(s.portBox || s.edits || s.setButtons || s.errorLogBox);

    for (int mode : {kModeSelect, kModeStatistics, kModeStatModeless}) {
        s = ComputeControlSwitches(mode, false, 0);
        EXPECT_TRUE(s.portBox);
        EXPECT_FALSE(s.pages || s.testPanel || s.edits || s.setButtons || s.errorLogBox);
    }
}

TEST(DialogLayout, HelpLineTextsAndHints) {
    const std::string askApply = "Параметры связи изменены, для их использования выполните \"Применить\"."_cp;

    PageHelp h = ComputePageHelp(0, kModeSetup, kMarkPort, 0, 0, false, false, 0);
    EXPECT_EQ(std::string("Свойства порта, контроллера и особенности работы"_cp), h.text);
    EXPECT_EQ(askApply, h.pageHint);
    EXPECT_TRUE(h.maroon);
    EXPECT_EQ(6, h.image);

    h = ComputePageHelp(1, kModeSetup, kMarkPort, 0, 0, false, false, 0);
    EXPECT_EQ(std::string("Свойства модема и определения его команд"_cp), h.text);
    EXPECT_EQ("", h.pageHint);
    EXPECT_FALSE(h.maroon);
    h = ComputePageHelp(1, kModeSetup, kMarkModem, 0, 0, false, false, 0);
    EXPECT_EQ(askApply, h.pageHint);
    EXPECT_TRUE(h.maroon);

    h = ComputePageHelp(2, kModeSetup, kMarkModem, 0, kTestSend, true, false, 1);
    EXPECT_EQ(std::string("[ПЕРЕДАЧА СООБЩЕНИЯ] Тест связи и расширенная статистика"_cp), h.text);
    EXPECT_EQ(std::string("Параметры связи изменены, при работе используются старые настройки."_cp), h.pageHint);
    EXPECT_FALSE(h.maroon);  // no mark ever names the test page
    EXPECT_EQ(7, h.image);
    EXPECT_TRUE(h.setErrorLog);
    EXPECT_FALSE(h.errorLogEnabled);

    h = ComputePageHelp(2, kModeSetup, 0, 0, 0, false, false, 0);
    EXPECT_EQ(std::string("Тест связи и расширенная статистика"_cp), h.text);
    EXPECT_EQ("", h.pageHint);

    h = ComputePageHelp(2, kModeStatistics, kMarkPort, 0, 0, false, true, 0);
    EXPECT_EQ(std::string("Дополнительная информация о работе"_cp), h.text);
    EXPECT_EQ("", h.pageHint);
    EXPECT_EQ(4, h.image);
    EXPECT_FALSE(h.setErrorLog);
    EXPECT_EQ(5, ComputePageHelp(2, kModeSelect, 0, 0, 0, false, false, 0).image);

    h = ComputePageHelp(3, kModeSetup, 0, kMarkOptions, 0, false, false, 0);
    EXPECT_EQ(std::string("Внешний вид и поведение"_cp), h.text);
    EXPECT_EQ(std::string("Параметры изменены"_cp), h.pageHint);
    EXPECT_TRUE(h.maroon);

    h = ComputePageHelp(-1, kModeSetup, 15, 8, 0, false, false, 0);
    EXPECT_EQ(" ", h.text);
    EXPECT_FALSE(h.maroon);
}

TEST(DialogLayout, TestOperationNames) {
    EXPECT_STREQ("", TestOperationName(kTestNone));
    EXPECT_STREQ("АВТОМАТ"_cp, TestOperationName(kTestAuto));
    EXPECT_STREQ("ПРИЕМ ОТВЕТА"_cp, TestOperationName(kTestReceive));
}

}  // namespace
