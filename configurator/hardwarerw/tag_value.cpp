#include "hardwarerw/tag_value.h"

#include <charconv>

namespace vrt::cfg {
namespace {

bool isControlOrBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool StrToInt(std::string_view text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;

    if (text[i] == '$') {
        ++i;
        if (i >= text.size()) return false;
        while (i + 1 < text.size() && text[i] == '0') ++i;  // leading zeros do not count
        if (text.size() - i > 8) return false;
        uint32_t v = 0;
        for (; i < text.size(); ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0) return false;
            v = v * 16 + uint32_t(d);
        }
        value = int32_t(negative ? 0u - v : v);
        return true;
    }

    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
        if (v > 2147483648ull) return false;
    }
    if (!negative && v > 2147483647ull) return false;
    value = negative ? int32_t(-int64_t(v)) : int32_t(v);
    return true;
}

int32_t IniInteger(const std::optional<std::string>& text, int32_t fallback) {
    if (!text) return fallback;
    std::string s = *text;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.replace(0, 2, "$");
    int32_t value = 0;
    return StrToInt(s, value) ? value : fallback;
}

std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && isControlOrBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isControlOrBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool TakeToken(std::string_view token, std::string& text) {
    token = TrimControls(token);
    text = std::string(TrimControls(text));
    if (token.empty()) return false;
    const std::string withComma = std::string(token) + ",";
    size_t at = text.find(withComma);
    if (at != std::string::npos) {
        text.erase(at, withComma.size());
        return true;
    }
    at = text.find(token);
    if (at == std::string::npos) return false;
    text.erase(at, token.size());
    return true;
}

bool ParseTagValue(std::string_view value, TTagOPC& tag) {
    const std::string_view s = TrimControls(value);
    const size_t comma = s.find(',');
    if (comma == std::string_view::npos) return false;
    int32_t numVar = 0;
    if (!StrToInt(s.substr(0, comma), numVar)) return false;

    std::string_view rest = s.substr(comma + 1);
    if (rest.empty()) return false;
    const char varType = rest.front();  // no blanks skipped: a blank is the type
    const size_t next = rest.find(',');
    if (next != std::string_view::npos) rest.remove_prefix(next + 1);

    std::string access(rest);
    const uint8_t rw = TakeToken("RW", access) ? 1 : 0;
    uint8_t writeMode = 0;
    if (rw == 1) {
        if (TakeToken("twmQUEUE", access))
            writeMode = 1;
        else if (TakeToken("twmStack", access))
            writeMode = 2;
    }

    tag.NumVar = numVar;
    tag.VarType = varType;
    tag.RW = rw;
    tag.WriteMode = writeMode;
    return true;
}

std::string FormatTagValue(const TTagOPC& tag) {
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, tag.NumVar).ptr;
    std::string out(number, end);
    out += ',';
    out += isControlOrBlank(tag.VarType) && tag.VarType != ' ' ? 'L' : tag.VarType;
    out += tag.RW == 1 ? ",RW" : ",R";
    if (tag.WriteMode == 1)
        out += ",twmQUEUE";
    else if (tag.WriteMode == 2)
        out += ",twmStack";
    return out;
}

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
    }
    return out;
}

}  // namespace vrt::cfg
