#pragma once

#include <ctime>

// The module reads "now" through CurrentTime so that tests can fix it;
// production reads the system clock.
namespace kelmora {

using ClockFunction = std::time_t (*)();

std::time_t CurrentTime();

// Installs a replacement (nullptr restores the system clock); returns the previous one.
ClockFunction SetClockFunction(ClockFunction fn);

// Replaces the clock for one scope.
class CScopedClock {
public:
    explicit CScopedClock(ClockFunction fn) : previous_(SetClockFunction(fn)) {}
    ~CScopedClock() { SetClockFunction(previous_); }
    CScopedClock(const CScopedClock&) = delete;
    CScopedClock& operator=(const CScopedClock&) = delete;

private:
    ClockFunction previous_;
};

}  // namespace kelmora
