#include "platform/cp1251.h"

namespace vrt::cp1251 {
namespace {

// Upper/lower pairs outside the two plain alphabets.
constexpr unsigned char kPairs[][2] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
    {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
    {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string fromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const int byte = fromCodePoint(decodeUtf8(utf8, i));
        out += byte < 0 ? '?' : char(byte);
    }
    return out;
}

std::string toUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            const char16_t cp = kHighHalf[c - 0x80];
            appendUtf8(out, cp ? cp : 0xFFFD);
        }
    }
    return out;
}

unsigned char toUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0) return c - 32;
    for (const auto& p : kPairs)
        if (c == p[1]) return p[0];
    return c;
}

unsigned char toLower(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDF) return c + 32;
    for (const auto& p : kPairs)
        if (c == p[0]) return p[1];
    return c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (toUpper(static_cast<unsigned char>(a[i])) != toUpper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& ch : out) ch = static_cast<char>(toUpper(static_cast<unsigned char>(ch)));
    return out;
}

}  // namespace vrt::cp1251
