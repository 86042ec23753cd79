#pragma once
// A clock for the link library's waits: a sleep returns at once and moves the
// tick on by exactly what was asked, so the waits between events can be
// compared with their figures to the millisecond. Real time still passes
// inside blocking device calls (a read's time-outs), which the tick ignores.
// One at a time; it restores the previous clock when destroyed.
#include <cstdint>

#include "platform/clock.h"

namespace vrt::testing {

class VirtualClock {
public:
    explicit VirtualClock(uint32_t start = 100000);
    ~VirtualClock();
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    uint32_t now() const;

private:
    platform::ClockHooks previous_;
};

}  // namespace vrt::testing
