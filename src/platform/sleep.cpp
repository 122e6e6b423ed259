#include "platform/sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kelmora {

namespace {
void RealSleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::atomic<SleepFunction> g_sleep{&RealSleep};
}  // namespace

void SleepMs(unsigned milliseconds) { g_sleep.load()(milliseconds); }

SleepFunction SetSleepFunction(SleepFunction fn) { return g_sleep.exchange(fn ? fn : &RealSleep); }

}  // namespace kelmora
