#pragma once
// Windows-1251 texts: the code page every file and every text crossing the
// link library's C interface uses. Source files are UTF-8; literals become
// Windows-1251 at compile time with the _cp suffix:
//
//     using namespace vrt::literals;
//     const char* caption = "Ошибка!"_cp;   // zero-terminated Windows-1251 bytes
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vrt::cp1251 {

// Unicode code points of the bytes 0x80..0xFF (0 where the code page has none).
inline constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The Windows-1251 byte of a code point; -1 when the code page has none.
constexpr int fromCodePoint(char32_t cp) {
    if (cp < 0x80) return int(cp);
    for (size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] != 0 && kHighHalf[i] == cp) return int(0x80 + i);
    return -1;
}

// Decodes one UTF-8 sequence at s[i]; advances i. Returns 0xFFFD on bad
// input (a cut or overlong sequence, a surrogate, a value above U+10FFFF) and
// then advances by one byte only, so each bad byte counts once.
constexpr char32_t decodeUtf8(std::string_view s, size_t& i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) { ++i; return c; }
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0 || i + size_t(extra) >= s.size()) { ++i; return 0xFFFD; }
    char32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const unsigned char cc = b(i + size_t(k));
        if ((cc & 0xC0) != 0x80) { ++i; return 0xFFFD; }
        cp = (cp << 6) | (cc & 0x3F);
    }
    constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return 0xFFFD; }
    i += size_t(extra) + 1;
    return cp;
}

// UTF-8 to Windows-1251; characters the code page lacks become '?'.
std::string fromUtf8(std::string_view utf8);
// Windows-1251 to UTF-8; the one unassigned byte 0x98 becomes U+FFFD.
std::string toUtf8(std::string_view text);

// Folds a letter to upper case (Latin and Cyrillic, as the original system's
// case-insensitive comparisons did); other bytes stay as they are.
unsigned char toUpper(unsigned char c);
unsigned char toLower(unsigned char c);
// Equal without regard to letter case.
bool equalsNoCase(std::string_view a, std::string_view b);
// Upper-cased copy.
std::string upper(std::string_view text);

// Compile-time literal: the UTF-8 source text as zero-terminated Windows-1251.
// The text arrives as a pack of its UTF-8 bytes (a character-pack literal
// operator) and is converted once into a static array per distinct text.
template <size_t N>
struct Converted {
    char bytes[N + 1] = {};  // N UTF-8 bytes never give more Windows-1251 bytes
    size_t size = 0;
};

template <char... Utf8>
consteval Converted<sizeof...(Utf8)> convertLiteral() {
    constexpr char src[] = {Utf8..., '\0'};
    Converted<sizeof...(Utf8)> out{};
    const std::string_view s(src, sizeof...(Utf8));
    size_t i = 0;
    while (i < s.size()) {
        const int byte = fromCodePoint(decodeUtf8(s, i));
        if (byte < 0) throw "character not in Windows-1251";  // stops compilation
        out.bytes[out.size++] = static_cast<char>(byte);
    }
    out.bytes[out.size] = '\0';
    return out;
}

template <char... Utf8>
struct LiteralStore {
    static constexpr Converted<sizeof...(Utf8)> value = convertLiteral<Utf8...>();
};

}  // namespace vrt::cp1251

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
namespace vrt::literals {
// "текст"_cp: a pointer to static zero-terminated Windows-1251 bytes.
template <typename Char, Char... Utf8>
constexpr const char* operator""_cp() {
    static_assert(sizeof(Char) == 1, "_cp takes narrow (UTF-8) literals");
    return vrt::cp1251::LiteralStore<static_cast<char>(Utf8)...>::value.bytes;
}
}  // namespace vrt::literals
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
