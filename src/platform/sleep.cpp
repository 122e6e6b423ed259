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

std::function<void(const std::string&)>& WaitNoticeHandler() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

long g_wait_limit_ms = -1;
}  // namespace

void SleepMs(unsigned milliseconds) {
    g_sleep.load()(milliseconds);
}

SleepFunction SetSleepFunction(SleepFunction fn) {
    return g_sleep.exchange(fn ? fn : &RealSleep);
}

}  // namespace kelmora

namespace kelmora {

std::function<void(const std::string&)> SetWaitNoticeHandler(
    std::function<void(const std::string&)> handler) {
    std::function<void(const std::string&)> previous = std::move(WaitNoticeHandler());
    WaitNoticeHandler() = std::move(handler);
    return previous;
}

void CWaitNotice::Sleep(unsigned milliseconds) {
    SleepMs(milliseconds);
    waited_ms_ += milliseconds;
    if (!told_ && waited_ms_ > 1000) {
        told_ = true;
        if (const auto& handler = WaitNoticeHandler()) handler(what_);
    }
}

void SetWaitLimitMs(long milliseconds) {
    g_wait_limit_ms = milliseconds;
}

int WaitAttempts(int own_attempts, unsigned pause_ms) {
    if (g_wait_limit_ms < 0 || pause_ms == 0) return own_attempts;
    return static_cast<int>(g_wait_limit_ms / pause_ms) + 1;
}

}  // namespace kelmora
