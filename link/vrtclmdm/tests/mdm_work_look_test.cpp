// How the progress window draws its break button once the function ended.
#include <gtest/gtest.h>

#include <QPushButton>

#include "gui/qt_bootstrap.h"
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

}  // namespace
}  // namespace vrt::link::test
