// Preloaded (LD_PRELOAD) into a program that a test starts, in place of the
// real clock: every nanosleep returns at once, and its length in milliseconds
// is appended, one line each, to the file that KELMORA_SLEEP_LOG names.
#include <time.h>

#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int nanosleep(const timespec* requested,
                                                                timespec* remaining) {
    const char* path = std::getenv("KELMORA_SLEEP_LOG");
    if (std::FILE* log = path ? std::fopen(path, "a") : nullptr) {
        std::fprintf(log, "%lld\n", requested->tv_sec * 1000LL + requested->tv_nsec / 1000000);
        std::fclose(log);
    }
    if (remaining) *remaining = timespec{};
    return 0;
}
