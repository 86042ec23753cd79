#pragma once
// Value texts of the ".tag" file: integers in the platform's notation and the
// tag value "5,L,RW,twmQUEUE".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "opcventix.h"

namespace vrt::cfg {

// The platform's integer conversion: leading blanks, an optional sign, then
// decimal digits or "$" and hexadecimal digits (at most 32 bits, which wrap
// to negative values). False for anything else or a decimal out of range.
bool StrToInt(std::string_view text, int32_t& value);
// An INI integer: the text read, with a leading "0x"/"0X" taken as "$";
// `fallback` when the key is missing or its value is not an integer.
int32_t IniInteger(const std::optional<std::string>& text, int32_t fallback);

// Removes blanks and control characters from both ends.
std::string_view TrimControls(std::string_view text);
// Removes the first `token` followed by ",", else the first `token` alone;
// false when the token does not occur. Both are trimmed first; case counts.
bool TakeToken(std::string_view token, std::string& text);

// Fills NumVar, VarType, RW and WriteMode from a tag value. False, leaving the
// tag as it was, when no integer stands before the first "," or nothing
// follows it.
bool ParseTagValue(std::string_view value, TTagOPC& tag);
// The value written for a tag: "NumVar,VarType,R|RW[,twmQUEUE|,twmStack]".
// A type byte that is a control character (a foreign tag may hold 0) is
// written as 'L'; any access other than 1 is written as "R".
std::string FormatTagValue(const TTagOPC& tag);

// The text with every line break (CR LF, CR or LF) and every other control
// character turned into one blank, so it cannot split an INI line.
std::string OneLine(std::string_view text);

}  // namespace vrt::cfg
