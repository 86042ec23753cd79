// Local date and time and its test hook.
#include <gtest/gtest.h>

#include <ctime>

#include "platform/local_time.h"

namespace {

using vrt::platform::LocalTime;

LocalTime fixed() { return LocalTime{1999, 12, 5, 31, 23, 59, 58, 7}; }

TEST(LocalTime, AgreesWithTheSystemClock) {
    // time() reads a coarse clock that may lag the one the call reads by a
    // tick: across a second's boundary it would still name the old second.
    const auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec;
    };
    const time_t before = now();
    const LocalTime t = vrt::platform::localTime();
    const time_t after = now();
    // Compare with whichever second the call fell into.
    bool matched = false;
    for (time_t s = before; s <= after && !matched; ++s) {
        tm parts{};
        localtime_r(&s, &parts);
        matched = t.year == parts.tm_year + 1900 && t.month == parts.tm_mon + 1 && t.day == parts.tm_mday &&
                  t.dayOfWeek == parts.tm_wday && t.hour == parts.tm_hour && t.minute == parts.tm_min &&
                  t.second == parts.tm_sec;
    }
    EXPECT_TRUE(matched);
    EXPECT_LT(t.milliseconds, 1000);
}

TEST(LocalTime, HookReplacesTheClockUntilRemoved) {
    const auto old = vrt::platform::setLocalTimeHook(&fixed);
    const LocalTime t = vrt::platform::localTime();
    EXPECT_EQ(t.year, 1999);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.dayOfWeek, 5);
    EXPECT_EQ(t.milliseconds, 7);
    EXPECT_EQ(vrt::platform::setLocalTimeHook(old), &fixed);
    EXPECT_NE(vrt::platform::localTime().year, 1999);
}

}  // namespace
