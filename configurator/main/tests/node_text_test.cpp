#include <gtest/gtest.h>

#include "hardwarerw/tag_list.h"
#include "main/default_name.h"
#include "main/node_text.h"
#include "platform/cp1251.h"

namespace vrt::cfg {
namespace {

using namespace vrt::literals;

TDevice* Device(const std::string& name, uint8_t com, int32_t speed, int32_t net) {
    auto* d = new TDevice;
    d->Name.assign(name);
    d->ComNum = com;
    d->Speed = speed;
    d->NetNumber = net;
    return d;
}

TEST(NodeText, DeviceTextPadsCutsAndPrintsUnsigned) {
    std::unique_ptr<TDevice> d(Device("Котельная"_cp, 0, 19200, 33));
    EXPECT_EQ(DeviceNodeText(*d), "Котельная"_cp + std::string("  (COM1: 19200:33)"));

    d.reset(Device(std::string(40, 'x'), 3, 115200, 255));
    EXPECT_EQ(DeviceNodeText(*d), std::string(35, 'x') + " (COM4:115200:255)");

    // Zero prints as "0" also where the format asks for no digits.
    d.reset(Device("", 0, 0, 0));
    EXPECT_EQ(DeviceNodeText(*d), std::string(10, ' ') + " (COM1:     0:0)");

    // A port byte that is no port and negative numbers print as unsigned.
    d.reset(Device("A", 255, -1, -2));
    EXPECT_EQ(DeviceNodeText(*d), "A" + std::string(9, ' ') + " (COM256:4294967295:4294967294)");
}

TEST(NodeText, TagTextPadsAndCuts) {
    TTagOPC* tag = NewTag();
    tag->Name.assign("T1");
    tag->NumVar = 5;
    tag->VarType = 'L';
    EXPECT_EQ(TagNodeText(*tag), "T1" + std::string(8, ' ') + " " + "  5" + " " + "    L");

    tag->Name.assign("ABCDEFGHIJKLMNOPQRST");
    tag->NumVar = 1234;
    tag->VarType = 'F';
    EXPECT_EQ(TagNodeText(*tag), "ABCDEFGHIJKLMNO 1234     F");

    tag->VarType = 0;  // not typed yet: an empty type text
    tag->NumVar = 0;
    EXPECT_EQ(TagNodeText(*tag), "ABCDEFGHIJKLMNO   0      ");
    EXPECT_EQ(TagImage(*tag), 1);
    tag->RW = 1;
    EXPECT_EQ(TagImage(*tag), 2);
    std::free(tag);
}

TEST(DefaultName, SmallestNumberStandingInNoName) {
    const std::string tag = "Тэг №"_cp;
    const auto t = [&](int n) { return tag + std::to_string(n); };
    EXPECT_EQ(DefaultNameNumber(tag, {}), 0u);
    EXPECT_EQ(DefaultNameNumber(tag, {t(0), t(1)}), 2u);
    EXPECT_EQ(DefaultNameNumber(tag, {t(10)}), 0u);
    // "Тэг №1" stands inside "Тэг №10".
    EXPECT_EQ(DefaultNameNumber(tag, {t(0), t(10)}), 2u);
    // Anywhere inside a name counts; letter case does.
    EXPECT_EQ(DefaultNameNumber(tag, {"x" + t(0) + "y", "тэг №1"_cp}), 1u);
    EXPECT_EQ(DefaultName("Прибор №"_cp, {"Прибор №0"_cp, "Прибор №12"_cp}), "Прибор №2"_cp);
    // One name may take several numbers.
    EXPECT_EQ(DefaultNameNumber(tag, {t(0) + t(1) + t(2)}), 3u);
}

}  // namespace
}  // namespace vrt::cfg
