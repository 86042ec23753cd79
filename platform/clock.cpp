#include "platform/clock.h"

#include <ctime>
#include <cerrno>

namespace vrt::platform {
namespace {
ClockHooks g_hooks;

uint32_t realTick() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void realSleep(uint32_t ms) {
    if (ms == 0) return;
    timespec req{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    timespec rem{};
    while (nanosleep(&req, &rem) == -1 && errno == EINTR) req = rem;
}
}  // namespace

uint32_t tickMs() { return g_hooks.tick ? g_hooks.tick() : realTick(); }
void sleepMs(uint32_t ms) { g_hooks.sleep ? g_hooks.sleep(ms) : realSleep(ms); }

ClockHooks setClockHooks(ClockHooks hooks) {
    ClockHooks old = g_hooks;
    g_hooks = hooks;
    return old;
}

}  // namespace vrt::platform
