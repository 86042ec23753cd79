#include "testing/virtual_clock.h"

#include <atomic>

namespace vrt::testing {
namespace {

std::atomic<uint32_t> g_now{0};

uint32_t tick() { return g_now.load(); }
void sleep(uint32_t ms) { g_now.fetch_add(ms); }

}  // namespace

VirtualClock::VirtualClock(uint32_t start) {
    g_now = start;
    previous_ = platform::setClockHooks({&tick, &sleep});
}

VirtualClock::~VirtualClock() { platform::setClockHooks(previous_); }

uint32_t VirtualClock::now() const { return g_now.load(); }

}  // namespace vrt::testing
