// The about box's rules without a window.
#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "vrtabout/about_controller.h"

using namespace vrt::literals;

namespace vrt::link {
namespace {

AboutController started(AboutTexts texts) {
    AboutController c;
    c.start(std::move(texts), "/opt/host/prog");
    return c;
}

TEST(AboutTexts, NoTextsGiven) {
    const AboutController c = started({});
    const AboutModel& m = c.model();
    EXPECT_EQ(m.caption, "VORTAN [UTL]");
    EXPECT_FALSE(m.bevelVisible);
    EXPECT_EQ(m.name, " ");
    EXPECT_EQ(m.rem1, " ");
    EXPECT_EQ(m.rem2, " ");
    EXPECT_FALSE(c.textsGiven());
    EXPECT_EQ(m.hint, "Я здесь --> /opt/host/prog"_cp);
    EXPECT_TRUE(m.timerOn);
    EXPECT_TRUE(m.infoFirst);
    EXPECT_FALSE(m.contactShown);
}

TEST(AboutTexts, ProductOnlyNamesTheCaption) {
    const AboutController c = started({.product = std::string("Прибор"_cp)});
    EXPECT_EQ(c.model().caption, "VORTAN [UTL]: Прибор"_cp);
    EXPECT_FALSE(c.model().bevelVisible);
}

TEST(AboutTexts, EmptyProductIsPresent) {
    const AboutController c = started({.product = std::string()});
    EXPECT_EQ(c.model().caption, "VORTAN [UTL]: ");
}

TEST(AboutTexts, VersionAloneShowsTheFrame) {
    const AboutController c = started({.version = std::string("v1.2")});
    const AboutModel& m = c.model();
    EXPECT_TRUE(m.bevelVisible);
    EXPECT_EQ(m.name, "v1.2");
    EXPECT_EQ(m.rem1, " ");
    EXPECT_EQ(m.rem2, " ");
    EXPECT_TRUE(c.textsGiven());
}

TEST(AboutTexts, EmptyTextsArePresentAndShownAsNothing) {
    const AboutController c = started({.version = std::string(), .description = std::string("d"),
                                       .authorLine = std::string()});
    EXPECT_TRUE(c.model().bevelVisible);
    EXPECT_EQ(c.model().name, "");
    EXPECT_EQ(c.model().rem1, "d");
    EXPECT_EQ(c.model().rem2, "");
}

TEST(AboutLayoutRule, AppliesOnlyWhileTextsAreGiven) {
    AboutLayout l;
    AboutController none = started({});
    EXPECT_FALSE(none.onResize(365, 280, l));
    AboutController some = started({.authorLine = std::string("a")});
    ASSERT_TRUE(some.onResize(365, 280, l));
    EXPECT_EQ(l.bevelWidth, 341);
    EXPECT_EQ(l.textWidth, 327);
    EXPECT_EQ(l.exitWidth, 341);
    EXPECT_EQ(l.exitHeight, 34);
}

TEST(AboutLayoutRule, ClientSizeOfTheDesignGivesTheDesignWidths) {
    // The box's fixed client area, whatever frame the window manager draws.
    // The frame and the exit button come out at their design sizes; the
    // rule gives the text lines 2 pixels more than their design 329.
    AboutLayout l;
    AboutController some = started({.version = std::string("v")});
    ASSERT_TRUE(some.onClientResize(359, 244, l));
    EXPECT_EQ(l.bevelWidth, 345);
    EXPECT_EQ(l.textWidth, 331);
    EXPECT_EQ(l.exitWidth, 345);
    EXPECT_EQ(l.exitHeight, 25);
}

TEST(AboutTimer, InfoSignBlinksAndLogosSwapEverySecondTick) {
    AboutController c = started({});
    std::vector<std::pair<bool, bool>> seen;
    for (int i = 0; i < 4; ++i) {
        c.onTimer();
        seen.emplace_back(c.model().infoFirst, c.model().logoFirst);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{false, true}, {true, false}, {false, false}, {true, true}}));
}

TEST(AboutTimer, ContactPanelAlternatesHeadingsAndFreezesTheRest) {
    AboutController c = started({});
    c.onTimer();
    const bool info = c.model().infoFirst, logo = c.model().logoFirst;
    c.showContactPanel();
    EXPECT_TRUE(c.model().contactShown);
    std::vector<std::string> headings;
    for (int i = 0; i < 3; ++i) {
        c.onTimer();
        headings.push_back(c.model().heading);
    }
    EXPECT_EQ(headings, (std::vector<std::string>{AboutController::kHeadings[0], AboutController::kHeadings[1],
                                                  AboutController::kHeadings[0]}));
    EXPECT_EQ(c.model().infoFirst, info);
    EXPECT_EQ(c.model().logoFirst, logo);
    c.hideContactPanel();
    EXPECT_FALSE(c.model().contactShown);
    c.onTimer();
    EXPECT_NE(c.model().infoFirst, info);
}

}  // namespace
}  // namespace vrt::link
