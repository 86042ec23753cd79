#pragma once
// Time for the link library: a millisecond tick that wraps at 2^32 like the
// original, and plain sleeps. Tests may install their own clock.
#include <cstdint>

namespace vrt::platform {

// Monotonic milliseconds, truncated to 32 bits.
uint32_t tickMs();
// Sleeps the calling thread for ms milliseconds (0 returns at once).
void sleepMs(uint32_t ms);

// A replaceable clock so tests can run long waits without waiting.
struct ClockHooks {
    uint32_t (*tick)() = nullptr;
    void (*sleep)(uint32_t) = nullptr;
};
// Installs hooks; a null member keeps the real function. Returns the old hooks.
ClockHooks setClockHooks(ClockHooks hooks);

}  // namespace vrt::platform
