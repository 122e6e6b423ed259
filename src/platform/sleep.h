#pragma once

// Every poll and pause of the module goes through SleepMs so that tests can
// replace the clock; production sleeps the real time.
#include <functional>
#include <string>

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

// How a program hears that a wait goes on: once per wait, after more than a
// second, with what it waits for. Returns the handler it replaces.
std::function<void(const std::string& what)> SetWaitNoticeHandler(
    std::function<void(const std::string& what)> handler);

// One wait for a lock or a file that another process holds: its sleeps, and
// the one notice when they add up to more than a second.
class CWaitNotice {
public:
    explicit CWaitNotice(std::string what) : what_(std::move(what)) {}
    void Sleep(unsigned milliseconds);

private:
    std::string what_;
    unsigned long waited_ms_ = 0;
    bool told_ = false;
};

// The longest a program waits for a lock or a held file, in milliseconds,
// set by the program; negative: each wait keeps its own number of attempts.
void SetWaitLimitMs(long milliseconds);
// The attempts a poll with that pause makes: its own, or as many as the limit allows.
int WaitAttempts(int own_attempts, unsigned pause_ms);

}  // namespace kelmora
