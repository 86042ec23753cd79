#include "paramtext/param_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/cp1251.h"

using namespace vrt::link;
using namespace vrt::literals;

namespace {

constexpr unsigned char kGuard = 0xA5;

// A target of `bytes` bytes inside guard bytes that must survive every call.
struct Guarded {
    explicit Guarded(size_t bytes) : size(bytes) { buf.fill(kGuard); }
    char* data() { return reinterpret_cast<char*>(buf.data()) + 8; }
    std::string text() { return std::string(data()); }
    bool intact() const {
        for (size_t i = 0; i < 8; ++i)
            if (buf[i] != kGuard || buf[8 + size + i] != kGuard) return false;
        return true;
    }
    size_t size;
    std::array<unsigned char, 256> buf{};
};

std::string findParam(const char* text, const char* name, int32_t max = 32, int32_t* found = nullptr) {
    char dst[128];
    const int32_t r = StrFindParam(text, name, dst, max);
    if (found) *found = r;
    return r ? std::string(dst) : std::string("<none>");
}

std::string paramValue(const char* src, int32_t max = 32) {
    char dst[128];
    return StrParamValue(src, dst, max) ? std::string(dst) : std::string("<none>");
}

}  // namespace

TEST(ParamText, FindParamInDelimitedLists) {
    const char* list = "baud:19200, data:8, stop:1";
    EXPECT_EQ(findParam(list, "data"), "8");
    EXPECT_EQ(findParam(list, "stop"), "1");
    EXPECT_EQ(findParam(list, "baud"), "19200");
    EXPECT_EQ(findParam("xbaud:1, baud:2", "baud"), "<none>");  // only the first occurrence is tried
    EXPECT_EQ(findParam("baudrate:1", "baud"), "<none>");
    EXPECT_EQ(findParam("a:1;b=2\tc 3\r\nd:4", "b"), "2");
    EXPECT_EQ(findParam("a:1;b=2\tc 3\r\nd:4", "c"), "3");
    EXPECT_EQ(findParam("a:1;b=2\tc 3\r\nd:4", "d"), "4");
    EXPECT_EQ(findParam("phone:\"12 34\", x:1", "phone"), "12 34");
    EXPECT_EQ(findParam("phone:\"\"", "phone"), "<none>");
    EXPECT_EQ(findParam("phone:", "phone"), "<none>");
    EXPECT_EQ(findParam("Data:8", "data"), "<none>");  // names are case-sensitive
    EXPECT_EQ(findParam("stop", "stop"), "<none>");
    EXPECT_EQ(findParam("", "a"), "<none>");
    EXPECT_EQ(findParam("a:1", ""), "<none>");

    char dst[8] = "junk";
    EXPECT_EQ(StrFindParam(nullptr, "a", dst, 7), 0);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(StrFindParam("a:1", nullptr, dst, 7), 0);
    EXPECT_EQ(StrFindParam("a:1", "a", nullptr, 7), 0);
    EXPECT_EQ(StrFindParam("a:1", "a", dst, 0), 0);
}

TEST(ParamText, ParamValueQuotedAndPlain) {
    EXPECT_EQ(paramValue("name: abc def"), "abc");
    EXPECT_EQ(paramValue("name:'a'b'"), "a'b");
    EXPECT_EQ(paramValue("name:\"a b\"\tnext:1"), "a b");  // closing quote followed by a TAB
    EXPECT_EQ(paramValue("name:\"a\"b\" c"), "a\"b");
    EXPECT_EQ(paramValue("name:\"open to the end"), "open to the end");
    EXPECT_EQ(paramValue("name:\"cut\rhere\""), "cut");
    EXPECT_EQ(paramValue("name:\"tab\tinside\""), "tab\tinside");
    EXPECT_EQ(paramValue("name=v;w"), "v");
    EXPECT_EQ(paramValue("name\tv,w"), "v");
    EXPECT_EQ(paramValue("name:  \t"), "<none>");
    EXPECT_EQ(paramValue("name"), "<none>");
    EXPECT_EQ(paramValue("na,me:1"), "<none>");
    EXPECT_EQ(paramValue("na\x01me:1"), "<none>");
    EXPECT_EQ(paramValue(":v"), "v");  // an empty name is still a name
}

TEST(ParamText, BytesAboveAsciiAreOrdinaryCharacters) {
    EXPECT_EQ(paramValue("тел:\"8 (495) доб. 12\""_cp), std::string("8 (495) доб. 12"_cp));
    EXPECT_EQ(paramValue("name:ЖЁЯя, x"_cp), std::string("ЖЁЯя"_cp));
    EXPECT_EQ(findParam("a:1, имя:знач"_cp, "имя"_cp), std::string("знач"_cp));
    char t[] = "\xA0 \xFF\x98 \x80";
    EXPECT_STREQ(StrTrim(t), "\xA0 \xFF\x98 \x80");
    EXPECT_STREQ(StrRemoveBlanks(t), "\xA0\xFF\x98\x80");
}

TEST(ParamText, ParamValueBoundWithGuards) {
    for (const int32_t max : {3, 4}) {
        Guarded g(size_t(max) + 1);
        const int32_t r = StrParamValue("name:abcd", g.data(), max);
        EXPECT_EQ(r, max == 4 ? 1 : 0) << max;
        EXPECT_EQ(g.text(), max == 4 ? "abcd" : "abc") << max;  // the first max characters stay
        EXPECT_TRUE(g.intact()) << max;
    }
    Guarded q(3);
    EXPECT_EQ(StrParamValue("n:\"abc\"", q.data(), 2), 0);
    EXPECT_EQ(q.text(), "ab");
    EXPECT_TRUE(q.intact());
}

TEST(ParamText, UnquoteAndPairs) {
    char dst[32];
    EXPECT_EQ(StrUnquote("\"ATZ\"", dst, 20, '"'), 3);
    EXPECT_STREQ(dst, "ATZ");
    EXPECT_EQ(StrUnquote("(x)", dst, 20, '('), 1);
    EXPECT_STREQ(dst, "x");
    EXPECT_EQ(StrUnquote("}x{", dst, 20, '}'), 1);
    EXPECT_STREQ(dst, "x");
    EXPECT_EQ(StrUnquote("(x(", dst, 20, '('), 3);
    EXPECT_EQ(StrUnquote("\"ATZ", dst, 20, '"'), 4);
    EXPECT_STREQ(dst, "\"ATZ");
    EXPECT_EQ(StrUnquote("ABCD", dst, 2, '"'), 2);
    EXPECT_STREQ(dst, "AB");
    EXPECT_EQ(StrUnquote("\"\"", dst, 20, '"'), 0);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(StrUnquote("x", dst, 20, '\0'), 1);
    EXPECT_STREQ(dst, "x");
    // Shorter than a pair: copied as it is, never a negative length.
    EXPECT_EQ(StrUnquote("\"", dst, 20, '"'), 1);
    EXPECT_STREQ(dst, "\"");
    EXPECT_EQ(StrUnquote("", dst, 20, '"'), 0);
    EXPECT_EQ(StrUnquote("x", dst, 0, '"'), 0);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(StrUnquote(nullptr, dst, 5, '"'), 0);
    EXPECT_EQ(StrUnquote("x", nullptr, 5, '"'), 0);

    for (const int32_t size : {4, 5}) {  // inner text of 5: bound n and n+1
        Guarded g(size_t(size) + 1);
        StrUnquote("[abcde]", g.data(), size, '[');
        EXPECT_EQ(g.text(), std::string("abcde").substr(0, size_t(size)));
        EXPECT_TRUE(g.intact());
    }
    EXPECT_EQ(StrPairChar(']'), '[');
    EXPECT_EQ(StrPairChar('\''), '\'');
    EXPECT_EQ(StrPairChar('\xFF'), '\xFF');
}

TEST(ParamText, CutBracketedComments) {
    const auto cut = [](std::string s) {
        const int32_t n = StrCutBracketed(s.data(), '[', ' ');
        s.resize(std::strlen(s.c_str()));
        EXPECT_EQ(size_t(n), s.size());
        return s;
    };
    EXPECT_EQ(cut("ATZ0 [reset]"), "ATZ0 ");
    EXPECT_EQ(cut("[a][b]ATZ"), "ATZ");
    EXPECT_EQ(cut("AT[x]"), "AT[x]");
    EXPECT_EQ(cut("AT [x"), "AT [x");
    EXPECT_EQ(cut("A [x] B [y][z]"), "A  B ");
    EXPECT_EQ(cut("[x] [y]z"), " z");
    EXPECT_EQ(cut(""), "");
    EXPECT_EQ(StrCutBracketed(nullptr, '[', ' '), 0);
}

TEST(ParamText, TrimRemoveBlanksAndCopy) {
    char t[] = "  12 3\t ";
    EXPECT_STREQ(StrTrim(t), "12 3");
    char b[] = " 1 2\t3 ";
    EXPECT_STREQ(StrRemoveBlanks(b), "123");
    char blanks[] = " \t\r\n";
    EXPECT_STREQ(StrTrim(blanks), "");
    EXPECT_EQ(StrTrim(nullptr), nullptr);
    EXPECT_EQ(StrRemoveBlanks(nullptr), nullptr);

    for (const int32_t n : {4, 5, 6}) {  // "ABCDE": bound below, at and above its length
        Guarded g(size_t(n) + 1);
        EXPECT_EQ(StrCopyN(g.data(), "ABCDE", n), g.data());
        EXPECT_EQ(g.text(), std::string("ABCDE").substr(0, size_t(n)));
        EXPECT_TRUE(g.intact()) << n;
    }
    Guarded g(5);
    StrCopyN(g.data(), "ABCDEF", 4);
    EXPECT_EQ(std::memcmp(g.data(), "ABCD", 5), 0);  // terminator in the fifth byte
    char dst[4] = "xy";
    EXPECT_EQ(StrCopyN(dst, "a", 0), nullptr);
    EXPECT_STREQ(dst, "");
    EXPECT_EQ(StrCopyN(dst, nullptr, 3), nullptr);
}

TEST(ParamText, ParseCfgTextStoresOrKeeps) {
    const auto parse = [](std::string src, const char* before = "old") {
        char dst[22];
        std::strcpy(dst, before);
        ParseCfgText('?', src.data(), dst, 20);
        return std::string(dst);
    };
    EXPECT_EQ(parse("?"), "old");
    EXPECT_EQ(parse(""), "");
    EXPECT_EQ(parse("\" ATZ0|ATE0 [init]\""), "ATZ0|ATE0");
    EXPECT_EQ(parse("  \"ATDT\"  "), "ATDT");
    EXPECT_EQ(parse("ATDP [pulse]"), "ATDP");
    EXPECT_EQ(parse(" \"AT&F\" [reset] "), "AT&F");  // the pair around the command alone goes too
    EXPECT_EQ(parse("\"\"AT\"\""), "\"AT\"");           // but only one pair
    EXPECT_EQ(parse(" ? "), "?");  // only the bare marker keeps
    EXPECT_EQ(parse("\""), "\"");
    EXPECT_EQ(parse(std::string(20, 'A')), std::string(20, 'A'));
    EXPECT_EQ(parse(std::string(21, 'A')), "old");
    EXPECT_EQ(parse("\"" + std::string(21, 'A') + "\" [c]"), "old");
    EXPECT_EQ(parse(std::string(2000, 'B')), "old");  // long texts are measured whole, never cut to fit

    char filled[22];
    std::memset(filled, 'Q', sizeof filled);
    std::string shortSrc = "AB";
    ParseCfgText('?', shortSrc.data(), filled, 20);
    EXPECT_EQ(std::string(filled, 22), std::string("AB") + '\0' + std::string(19, 'Q'));  // bytes behind keep

    char big[3000];
    std::string longSrc = " " + std::string(1500, 'C') + " ";
    ParseCfgText('?', longSrc.data(), big, 2000);
    EXPECT_EQ(std::string(big), std::string(1500, 'C'));

    char dst[4] = "abc";
    ParseCfgText('?', nullptr, dst, 3);
    char src[] = "x";
    ParseCfgText('?', src, nullptr, 3);
    ParseCfgText('?', src, dst, 0);
    EXPECT_STREQ(dst, "abc");
    char empty[] = "";
    ParseCfgText('\0', empty, dst, 3);  // a zero marker never matches
    EXPECT_STREQ(dst, "");
}
