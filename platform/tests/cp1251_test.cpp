#include "platform/cp1251.h"

#include <gtest/gtest.h>

#include <string>

using namespace vrt::literals;
namespace cp = vrt::cp1251;

namespace {
std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }
}  // namespace

TEST(Cp1251, LiteralsAreWindows1251AtCompileTime) {
    constexpr const char* text = "Ошибка! Ёё №"_cp;
    const std::string s(text);
    EXPECT_EQ(s, bytes({0xCE, 0xF8, 0xE8, 0xE1, 0xEA, 0xE0, '!', ' ', 0xA8, 0xB8, ' ', 0xB9}));
    EXPECT_STREQ(""_cp, "");
    EXPECT_STREQ("ASCII stays"_cp, "ASCII stays");
    static_assert("Я"_cp[0] == char(0xDF) && "Я"_cp[1] == '\0');
}

TEST(Cp1251, EveryAssignedByteRoundTripsThroughUtf8) {
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, char(b));
        const std::string utf8 = cp::toUtf8(one);
        if (b == 0x98) {
            EXPECT_EQ(utf8, "\xEF\xBF\xBD");  // the one unassigned byte
            continue;
        }
        EXPECT_EQ(cp::fromUtf8(utf8), one) << "byte " << b;
    }
    EXPECT_EQ(cp::toUtf8("Связь"_cp), "Связь");
    EXPECT_EQ(cp::toUtf8(bytes({0x88, 0xB9, 0x80})), "€№Ђ");
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(cp::fromUtf8("a中b"), "a?b");
    EXPECT_EQ(cp::fromUtf8("\xD0"), "?");             // cut sequence
    EXPECT_EQ(cp::fromUtf8("x\xC3(y"), "x?(y");       // bad continuation keeps the next byte
    EXPECT_EQ(cp::fromUtf8("\xF0\x9F\x98\x80!"), "?!");  // outside the BMP
}

TEST(Cp1251, CaseFoldingCoversLatinAndCyrillic) {
    EXPECT_EQ(cp::upper("abz АБЯ абя ёїієґўђ 09_[]"_cp), std::string("ABZ АБЯ АБЯ ЁЇІЄҐЎЂ 09_[]"_cp));
    for (int b = 0; b < 256; ++b) {
        const auto c = static_cast<unsigned char>(b);
        const unsigned char u = cp::toUpper(c), l = cp::toLower(c);
        // Folding is a pairing: each side maps back to itself.
        EXPECT_EQ(cp::toUpper(u), u);
        EXPECT_EQ(cp::toLower(l), l);
        if (u != c) {
            EXPECT_EQ(cp::toLower(u), c) << "byte " << b;
        }
        if (l != c) {
            EXPECT_EQ(cp::toUpper(l), c) << "byte " << b;
        }
    }
    EXPECT_EQ(cp::toUpper(0xB5), 0xB5);  // micro sign has no capital here
    EXPECT_EQ(cp::toUpper(0xD7), 0xD7);  // Ч is already a capital
    EXPECT_TRUE(cp::equalsNoCase("Устройство.СВЯЗЬ"_cp, "устройство.связь"_cp));
    EXPECT_FALSE(cp::equalsNoCase("Связь"_cp, "Связи"_cp));
    EXPECT_FALSE(cp::equalsNoCase("ab", "abc"));
}
