#include "platform/cp1251.h"

#include <gtest/gtest.h>

#include <string>

using namespace vrt::literals;
using namespace std::string_literals;
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

// File names arrive in UTF-8 from the system, and may be any bytes.
TEST(Cp1251, Utf8BecomesWindows1251WithQuestionMarksForTheRest) {
    const struct {
        const char* utf8;
        std::string text;
    } rows[] = {
        {"host.INI", "host.INI"},
        {"/tmp/папка/опрос", "/tmp/"s + "папка"_cp + "/" + "опрос"_cp},
        {"ёЁ", bytes({0xB8, 0xA8})},
        {"a中b", "a?b"},                    // not in the code page
        {"\xF0\x9F\x98\x80!", "?!"},        // outside the BMP
        {"\xD0", "?"},                      // cut sequence
        {"x\xC3(y", "x?(y"},                // bad continuation keeps the next byte
        {"a\xC0\x80" "b", "a??b"},          // overlong: never a NUL inside the text
        {"\xE0\x80\xAF", "???"},            // overlong '/'
        {"\xED\xA0\x80", "???"},            // surrogate
        {"\xF4\x90\x80\x80", "????"},       // above U+10FFFF
        {"\xFF\xFE", "??"},
    };
    for (const auto& row : rows) EXPECT_EQ(cp::fromUtf8(row.utf8), row.text) << row.utf8;
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
