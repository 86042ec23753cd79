#include <gtest/gtest.h>

#include "hardwarerw/tag_list.h"
#include "hardwarerw/tag_value.h"

namespace vrt::cfg {
namespace {

struct Parsed {
    bool ok;
    int32_t numVar;
    char type;
    int rw;
    int mode;
};

Parsed parse(std::string_view value) {
    TTagOPC tag{};
    tag.NumVar = -77;
    const bool ok = ParseTagValue(value, tag);
    return {ok, tag.NumVar, tag.VarType, tag.RW, tag.WriteMode};
}

void expectParsed(std::string_view value, int32_t numVar, char type, int rw, int mode) {
    const Parsed p = parse(value);
    EXPECT_TRUE(p.ok) << value;
    EXPECT_EQ(p.numVar, numVar) << value;
    EXPECT_EQ(p.type, type) << value;
    EXPECT_EQ(p.rw, rw) << value;
    EXPECT_EQ(p.mode, mode) << value;
}

TEST(TagValue, ReadsEveryFormTheFileHolds) {
    expectParsed("17,F,RW,twmQUEUE", 17, 'F', 1, 1);
    expectParsed("3,L,R", 3, 'L', 0, 0);
    expectParsed("3,F,RW", 3, 'F', 1, 0);
    expectParsed("3,F,RW,twmStack", 3, 'F', 1, 2);
    expectParsed("3,L,R,twmQUEUE", 3, 'L', 0, 0);  // read-only: the mode is not read
    expectParsed("3,L", 3, 'L', 0, 0);
    expectParsed(" \t5,L,RW \r", 5, 'L', 1, 0);    // the value is trimmed
    expectParsed("5, L,R", 5, ' ', 0, 0);          // no blanks skipped: a blank is the type
    expectParsed("$1F,F,R", 31, 'F', 0, 0);
    expectParsed("-4,L,RW,twmStack,twmQUEUE", -4, 'L', 1, 1);  // the queue is looked for first
    expectParsed("5,L,RW,twmQueue", 5, 'L', 1, 0);  // tokens compare by case
    expectParsed("5,L,rw", 5, 'L', 0, 0);
}

TEST(TagValue, RefusesValuesWithoutNumberOrType) {
    for (std::string_view bad : {"", "5", "x,L,R", "5,", "5 ,L", ",L,R", "$,L", "2147483648,L", "$123456789,L"}) {
        const Parsed p = parse(bad);
        EXPECT_FALSE(p.ok) << bad;
        EXPECT_EQ(p.numVar, -77) << "a refused value leaves the tag: " << bad;
    }
}

TEST(TagValue, WritesTheFormsItReads) {
    TTagOPC tag{};
    const auto format = [&](int32_t n, char type, uint8_t rw, uint8_t mode) {
        tag.NumVar = n;
        tag.VarType = type;
        tag.RW = rw;
        tag.WriteMode = mode;
        return FormatTagValue(tag);
    };
    EXPECT_EQ(format(17, 'F', 1, 1), "17,F,RW,twmQUEUE");
    EXPECT_EQ(format(3, 'L', 0, 0), "3,L,R");
    EXPECT_EQ(format(3, 'F', 1, 2), "3,F,RW,twmStack");
    EXPECT_EQ(format(3, 'L', 0, 1), "3,L,R,twmQUEUE");  // the suffix follows the mode also for read-only
    EXPECT_EQ(format(-5, 'L', 1, 255), "-5,L,RW");
    // Foreign tags: a zero type is never written, an unknown access reads as "R".
    EXPECT_EQ(format(9, '\0', 2, 0), "9,L,R");
    EXPECT_EQ(format(9, ' ', 0, 0), "9, ,R");
}

TEST(TagValue, PlatformIntegers) {
    int32_t v = 0;
    EXPECT_TRUE(StrToInt("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(StrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(StrToInt("$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(StrToInt("-$10", v));
    EXPECT_EQ(v, -16);
    EXPECT_TRUE(StrToInt("$00000000ff", v));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(StrToInt("  +7", v));
    EXPECT_EQ(v, 7);
    for (std::string_view bad : {"", "-", "7 ", "0x10", "1e3", "$G", "--1", "2147483648"})
        EXPECT_FALSE(StrToInt(bad, v)) << bad;

    EXPECT_EQ(IniInteger(std::string("0x10"), -1), 16);
    EXPECT_EQ(IniInteger(std::string("0X1f"), -1), 31);
    EXPECT_EQ(IniInteger(std::string("$10"), -1), 16);
    EXPECT_EQ(IniInteger(std::string("abc"), 7), 7);
    EXPECT_EQ(IniInteger(std::string(""), 7), 7);
    EXPECT_EQ(IniInteger(std::nullopt, -1), -1);
}

TEST(TagValue, TokensAndTrimming) {
    std::string text = " xRW,RW, ";
    EXPECT_TRUE(TakeToken(" RW ", text));
    EXPECT_EQ(text, "xRW,");  // the first "RW," goes, wherever it stands
    EXPECT_TRUE(TakeToken("RW", text));
    EXPECT_EQ(text, "x");
    text = "aRWb";
    EXPECT_TRUE(TakeToken("RW", text));  // without a comma behind, the token alone
    EXPECT_EQ(text, "ab");
    EXPECT_FALSE(TakeToken("RW", text));
    EXPECT_EQ(TrimControls("\x01 a b\x7f\t"), "a b\x7f");
}

TEST(TagValue, OneLineTurnsEveryBreakIntoOneBlank) {
    EXPECT_EQ(OneLine("a\r\nb\nc\rd\te"), "a b c d e");
    EXPECT_EQ(OneLine("\r\n\r\n"), "  ");
    EXPECT_EQ(OneLine("plain"), "plain");
}

}  // namespace
}  // namespace vrt::cfg
