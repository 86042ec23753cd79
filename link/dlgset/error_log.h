#pragma once
// The failed-request log beside the host program (<host folder>/vrtCLNK_<host>.err).
//
// While logging is on (StGRegErr of the edited options), the first failed
// request opens the file and writes a BEGIN block; every failed request adds
// an entry of three lines; when the last open port closes, an END block is
// written and the file closed. Texts are Windows-1251, lines end with LF.
// Failures of the log itself never reach the request that is being logged.
#include <cstdint>
#include <string>

namespace vrt::link {

// Called by the request engine after every request; logs failures while
// logging is on.
void ErrLogRequest(int32_t port, const uint8_t* req, uint16_t reqLen, const uint8_t* ans, uint16_t ansLen,
                   const uint16_t* outLen, int32_t result);
// Called by open (opened = 1) and by close (opened = 0, after the open count fell).
void ErrLogPortClosed(int32_t port, int32_t opened);

// "hh:mm:ss [mmm]" of a work time; a single blank for 0; nothing for null out.
// `out` holds at least 256 bytes.
void FormatWorkTime(uint32_t ms, char* out);

// The local date and time as "Пнд 07 Дек 2026, 09:05:03 (07.12.2026)";
// `buf` holds at least 256 bytes. Returns buf, or null for a null buf.
char* FormatLogDate(char* buf);

// Appends `text` (without its terminator) to the open log. False for a null
// text, when no log is open or when not every byte was written; true for "".
bool ErrLogWrite(const char* text);

// Test hooks: log into `path` instead of the name beside the host ("" restores
// it); forget every state of the log (closes the file, logging possible again).
void ErrLogSetPathForTesting(const std::string& path);
void ErrLogResetForTesting();
// True while the log file is open.
bool ErrLogIsOpen();

}  // namespace vrt::link
