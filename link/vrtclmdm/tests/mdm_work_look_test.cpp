// How the progress window looks: its break button once the function ended,
// its size whatever the texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <string>

#include "gui/qt_bootstrap.h"
#include "platform/cp1251.h"
#include "vrtclmdm/mdm_work_form.h"
#include "vrtclmdm/modem_state.h"
#include "vrtclmdm/progress_controller.h"

namespace vrt::link::test {
namespace {

TEST(MdmWorkLook, PressedBreakIsMaroonWhileLiveAndGreyOnceDisabled) {
    ASSERT_TRUE(gui::EnsureApplication());
    ModemState state{};
    ProgressController controller(state);
    TFrmMDMWork form(controller);
    auto* button = form.findChild<QPushButton*>("BitBtnBreak");
    ASSERT_NE(button, nullptr);
    const QColor maroon(128, 0, 0);
    const QColor styleDisabled = button->palette().color(QPalette::Disabled, QPalette::ButtonText);

    ProgressModel m;
    m.breakVisible = true;
    m.breakEnabled = true;
    m.breakMaroon = true;  // pressed, the dialogue still ending
    form.render(m);
    EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::ButtonText), maroon);
    EXPECT_EQ(button->palette().color(QPalette::Inactive, QPalette::ButtonText), maroon);

    m.breakEnabled = false;  // the function has ended
    form.render(m);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->palette().color(QPalette::Disabled, QPalette::ButtonText), styleDisabled);
    EXPECT_NE(button->palette().color(QPalette::Disabled, QPalette::ButtonText), maroon);
}

// A long phone number or modem answer is cut or wrapped inside the window: the
// window keeps its size and place, and no control reaches past its edges.
TEST(MdmWorkLook, LongTextsStayInsideAWindowOfFixedSize) {
    using namespace vrt::literals;
    ASSERT_TRUE(gui::EnsureApplication());
    ModemState state{};
    ProgressController controller(state);
    TFrmMDMWork form(controller);
    ProgressModel m;
    m.title = "[COM1] Установка связи"_cp;
    m.status = " Подготока к выполнению функции"_cp;
    m.lastCommand = "ATZ";
    m.lastAnswer = "OK";
    form.render(m);
    form.show();
    QApplication::processEvents();
    const QSize shortTexts = form.size();

    const std::string phone(48, '7');
    m.status = " Попытка соединения [ATDT"_cp + phone + "] ...";
    m.lastCommand = "ATDT" + phone;
    m.lastAnswer = "CONNECT 115200/V42BIS/LAPM/" + std::string(60, 'X') + " NO CARRIER BUSY NO DIALTONE" +
                   " RING RING RING RING RING RING RING RING RING RING RING RING RING RING RING";
    m.breakEnabled = false;
    m.exitVisible = true;
    m.exitCaption = "Выход"_cp;
    m.countdownVisible = true;
    m.countdownText = "10";
    form.render(m);
    QApplication::processEvents();
    const QSize longTexts = form.size();

    const auto text = [](QSize s) { return std::to_string(s.width()) + "x" + std::to_string(s.height()); };
    EXPECT_EQ(text(shortTexts), "497x174");
    EXPECT_EQ(text(longTexts), "497x174");
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        const QRect inWindow(w->mapTo(&form, QPoint(0, 0)), w->size());
        EXPECT_TRUE(form.rect().contains(inWindow)) << w->objectName().toStdString();
    }
}

}  // namespace
}  // namespace vrt::link::test
