#pragma once
// Local date and time for time stamps (the stand-in for GetLocalTime). Tests
// may install a fixed clock.
#include <cstdint>

namespace vrt::platform {

// Fields in the order and ranges of the original SYSTEMTIME.
struct LocalTime {
    uint16_t year = 0;
    uint16_t month = 0;      // 1..12
    uint16_t dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    uint16_t day = 0;        // 1..31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// The current local time, or what the installed hook answers.
LocalTime localTime();

using LocalTimeHook = LocalTime (*)();
// Installs a hook (null restores the real clock); returns the previous one.
LocalTimeHook setLocalTimeHook(LocalTimeHook hook);

}  // namespace vrt::platform
