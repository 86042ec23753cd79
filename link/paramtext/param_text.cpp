#include "paramtext/param_text.h"

#include <cstring>
#include <string>

namespace vrt::link {
namespace {

using uchar = unsigned char;

bool isBlank(uchar c) { return c <= 0x20; }

}  // namespace

char StrPairChar(char c) {
    switch (c) {
        case '(': return ')';
        case ')': return '(';
        case '[': return ']';
        case ']': return '[';
        case '{': return '}';
        case '}': return '{';
        default: return c;
    }
}

int32_t StrUnquote(const char* src, char* dst, int32_t size, char quote) {
    if (!dst) return 0;
    *dst = '\0';
    if (!src || size <= 0) return 0;
    const size_t n = std::strlen(src);
    const size_t limit = size_t(size);
    size_t from = 0, count = n;
    // Two characters at least, so a lone quote never counts as a pair.
    if (quote != '\0' && n >= 2 && src[0] == quote && src[n - 1] == StrPairChar(quote)) {
        from = 1;
        count = n - 2;
    }
    if (count > limit) count = limit;
    std::memcpy(dst, src + from, count);
    dst[count] = '\0';
    return int32_t(count);
}

int32_t StrCutBracketed(char* text, char open, char sep) {
    if (!text || !*text) return 0;
    const char close = StrPairChar(open);
    size_t r = 0, w = 0;
    bool havePrev = false;
    char prev = '\0';
    while (text[r] != '\0') {
        const char c = text[r];
        if (c == open && (r == 0 || (havePrev && (prev == close || prev == sep)))) {
            if (const char* end = std::strchr(text + r + 1, close)) {
                r = size_t(end - text) + 1;
                prev = close;  // so a segment right behind is cut as well
                havePrev = true;
                continue;
            }
        }
        text[w++] = c;
        prev = c;
        havePrev = true;
        ++r;
    }
    text[w] = '\0';
    return int32_t(w);
}

int32_t StrParamValue(const char* src, char* dst, int32_t max) {
    if (dst) *dst = '\0';
    if (!src || !*src || !dst || max <= 0) return 0;
    const auto* p = reinterpret_cast<const uchar*>(src);

    for (;; ++p) {  // the name, up to its separator
        const uchar c = *p;
        if (c == ':' || c == '=' || c == ' ' || c == '\t') {
            ++p;
            break;
        }
        if (c == '\0' || c == ',' || c == ';' || c < 0x20) return 0;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return 0;

    int32_t count = 0;
    const auto take = [&](uchar c) {
        if (count >= max) return false;
        dst[count++] = char(c);
        dst[count] = '\0';
        return true;
    };
    if (*p == '"' || *p == '\'') {
        const uchar quote = *p++;
        for (; *p != '\0'; ++p) {
            const uchar c = *p;
            if (c < 0x20 && c != '\t') break;
            if (c == quote) {
                const uchar next = p[1];
                if (next == '\0' || next == ',' || next == ' ' || next == '\t' || next == ';') break;
            }
            if (!take(c)) return 0;
        }
    } else {
        for (; *p != '\0'; ++p) {
            const uchar c = *p;
            if (c < 0x20 || c == ' ' || c == ',' || c == ';') break;
            if (!take(c)) return 0;
        }
    }
    return count > 0 ? 1 : 0;
}

int32_t StrFindParam(const char* text, const char* name, char* dst, int32_t max) {
    if (dst) *dst = '\0';
    if (!text || !*text || !name || !*name || !dst || max <= 0) return 0;
    const char* at = std::strstr(text, name);
    if (!at) return 0;
    static constexpr char kDelimiters[] = "=;, \t\r\n";
    const auto isDelimiter = [](char c) { return c != '\0' && std::strchr(kDelimiters, c) != nullptr; };
    if (at != text && !isDelimiter(at[-1])) return 0;
    const char after = at[std::strlen(name)];
    if (!isDelimiter(after) && after != ':') return 0;
    return StrParamValue(at, dst, max);
}

char* StrTrim(char* text) {
    if (!text || !*text) return text;
    size_t end = std::strlen(text);
    while (end > 0 && isBlank(uchar(text[end - 1]))) text[--end] = '\0';
    size_t start = 0;
    while (start < end && isBlank(uchar(text[start]))) ++start;
    if (start > 0) std::memmove(text, text + start, end - start + 1);
    return text;
}

char* StrRemoveBlanks(char* text) {
    if (!text || !*text) return text;
    size_t w = 0;
    for (size_t r = 0; text[r] != '\0'; ++r)
        if (!isBlank(uchar(text[r]))) text[w++] = text[r];
    text[w] = '\0';
    return text;
}

char* StrCopyN(char* dst, const char* src, int32_t n) {
    if (dst) *dst = '\0';
    if (!src || !dst || n < 1) return nullptr;
    std::memset(dst, 0, size_t(n));
    const size_t len = strnlen(src, size_t(n));
    std::memcpy(dst, src, len);
    dst[len] = '\0';
    return dst;
}

void ParseCfgText(char keep, char* src, char* dst, uint16_t maxLen) {
    if (!src || !dst || maxLen == 0) return;
    if (keep != '\0' && src[0] == keep && src[1] == '\0') return;
    StrTrim(src);
    // Sized to the text, so no length is cut before the limit is checked.
    const size_t n = std::strlen(src);
    std::string work(n + 1, '\0');
    const int32_t whole = int32_t(n < 0x7FFFFFFF ? n : 0x7FFFFFFF);
    const bool pairGone = StrUnquote(src, work.data(), whole, '"') != whole;
    StrCutBracketed(work.data(), '[', ' ');
    StrTrim(work.data());
    // A command quoted on its own with a comment behind it ("AT&F" [reset])
    // shows its pair only now; left in place, the quotes would reach the modem.
    if (!pairGone) {
        const std::string cut = work.c_str();
        StrUnquote(cut.c_str(), work.data(), int32_t(cut.size()), '"');
        StrTrim(work.data());
    }
    const size_t len = std::strlen(work.c_str());
    if (len > maxLen) return;
    // The text and its terminator only: bytes behind it keep their old values.
    std::memcpy(dst, work.c_str(), len + 1);
}

}  // namespace vrt::link
