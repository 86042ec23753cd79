#pragma once
// The failed-request log beside the host program.
#include <cstdint>

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

}  // namespace vrt::link
