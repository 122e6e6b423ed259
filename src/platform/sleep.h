#pragma once

// Every poll and pause of the module goes through SleepMs so that tests can
// replace the clock; production sleeps the real time.
namespace kelmora {

using SleepFunction = void (*)(unsigned milliseconds);

void SleepMs(unsigned milliseconds);

// Installs a replacement (nullptr restores the real sleep); returns the previous one.
SleepFunction SetSleepFunction(SleepFunction fn);

// Replaces the sleep for one scope.
class CScopedSleep {
public:
    explicit CScopedSleep(SleepFunction fn) : previous_(SetSleepFunction(fn)) {}
    ~CScopedSleep() { SetSleepFunction(previous_); }
    CScopedSleep(const CScopedSleep&) = delete;
    CScopedSleep& operator=(const CScopedSleep&) = delete;

private:
    SleepFunction previous_;
};

}  // namespace kelmora
