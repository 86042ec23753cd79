#include "platform/local_time.h"

#include <ctime>

namespace vrt::platform {
namespace {
LocalTimeHook g_hook = nullptr;

LocalTime realLocalTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm parts{};
    if (localtime_r(&ts.tv_sec, &parts) == nullptr) return {};
    LocalTime t;
    t.year = uint16_t(parts.tm_year + 1900);
    t.month = uint16_t(parts.tm_mon + 1);
    t.dayOfWeek = uint16_t(parts.tm_wday);
    t.day = uint16_t(parts.tm_mday);
    t.hour = uint16_t(parts.tm_hour);
    t.minute = uint16_t(parts.tm_min);
    t.second = uint16_t(parts.tm_sec);
    t.milliseconds = uint16_t(ts.tv_nsec / 1000000);
    return t;
}
}  // namespace

LocalTime localTime() { return g_hook ? g_hook() : realLocalTime(); }

LocalTimeHook setLocalTimeHook(LocalTimeHook hook) {
    LocalTimeHook old = g_hook;
    g_hook = hook;
    return old;
}

}  // namespace vrt::platform
