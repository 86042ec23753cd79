#pragma once
// Time for the link library: a millisecond tick that wraps at 2^32 like the
// original, and plain sleeps. Tests may install their own clock.
#include <algorithm>
#include <cstdint>

namespace vrt::platform {

// Monotonic milliseconds, truncated to 32 bits.
uint32_t tickMs();
// Sleeps the calling thread for ms milliseconds (0 returns at once).
void sleepMs(uint32_t ms);

// Waits `ms` in slices of at most `sliceMs`, running `step` before each slice
// and at the end, so a caller can process messages while it waits. Ends at
// once with false when `step` returns false; true after the whole wait.
template <class Step>
bool waitInSlices(uint32_t ms, uint32_t sliceMs, Step&& step) {
    const uint32_t start = tickMs();
    for (;;) {
        if (!step()) return false;
        const uint32_t elapsed = tickMs() - start;
        if (elapsed >= ms) return true;
        sleepMs(std::min(ms - elapsed, sliceMs));
    }
}

// A replaceable clock so tests can run long waits without waiting.
struct ClockHooks {
    uint32_t (*tick)() = nullptr;
    void (*sleep)(uint32_t) = nullptr;
};
// Installs hooks; a null member keeps the real function. Returns the old hooks.
ClockHooks setClockHooks(ClockHooks hooks);

}  // namespace vrt::platform
