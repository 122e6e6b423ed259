#include "platform/clock.h"

#include <atomic>

namespace kelmora {

namespace {
std::time_t SystemTime() {
    return std::time(nullptr);
}

std::atomic<ClockFunction> g_clock{&SystemTime};
}  // namespace

std::time_t CurrentTime() {
    return g_clock.load()();
}

ClockFunction SetClockFunction(ClockFunction fn) {
    return g_clock.exchange(fn ? fn : &SystemTime);
}

}  // namespace kelmora
