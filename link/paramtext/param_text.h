#pragma once
// Routines on zero-terminated single-byte texts of the form name:value or
// name=value: the configuration file's lists, the dialog's fields, phone
// numbers and modem command lines.
//
// A bound (`size`, `max`, `n`, `maxLen`) counts characters: a routine given
// bound n writes at most n characters and a terminator, so its target holds
// n + 1 bytes. Blanks and control characters are the bytes 0x00..0x20; bytes
// 0x80..0xFF are ordinary characters everywhere. Null pointers are accepted
// and do nothing. No routine keeps state between calls.
#include <cstdint>

namespace vrt::link {

// The partner of a bracket ('(' ')', '[' ']', '{' '}'); any other character is its own.
char StrPairChar(char c);

// Copies `src` into `dst` (at most `size` characters), dropping one enclosing
// pair when `src` begins with `quote` and ends with its partner. A text shorter
// than two characters is copied as it is. Returns the length left in `dst`.
int32_t StrUnquote(const char* src, char* dst, int32_t size, char quote);

// Cuts bracketed segments in place: an `open` at the start of the text or after
// its partner or `sep`, up to the next partner. An `open` without a partner stays.
// Returns the number of characters kept.
int32_t StrCutBracketed(char* text, char open, char sep);

// `src` starts at a parameter name; copies the value after the name's separator
// (':', '=', blank or TAB), quoted with " or ' or plain, into `dst`.
// Returns 1 when a non-empty value of at most `max` characters was found.
int32_t StrParamValue(const char* src, char* dst, int32_t max);

// Finds the first occurrence of `name` in a delimited list and takes its value.
// Returns 1 when found with a value, else 0.
int32_t StrFindParam(const char* text, const char* name, char* dst, int32_t max);

// Removes blanks and control characters at both ends, in place; returns `text`.
char* StrTrim(char* text);
// Removes every blank and control character, in place; returns `text`.
char* StrRemoveBlanks(char* text);
// Bounded copy: zeroes the first `n` bytes of `dst`, copies at most `n`
// characters and terminates them. Null when it refuses (null pointer, n < 1).
char* StrCopyN(char* dst, const char* src, int32_t n);

// Stores a configuration text into `dst`: `src` (trimmed in place) loses one
// pair of double quotes (around the whole text or around the command before
// its comment) and its bracketed comments and is trimmed again; it
// replaces `dst` when it has at most `maxLen` characters. A `src` that is
// exactly the character `keep` leaves `dst` as it is. When stored, the text
// and its terminator are written; bytes behind them keep their old values.
void ParseCfgText(char keep, char* src, char* dst, uint16_t maxLen);

}  // namespace vrt::link
