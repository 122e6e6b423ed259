// Preloaded (LD_PRELOAD) into a program that a test starts, in place of the
// real clock: every nanosleep returns at once, and its length in milliseconds
// is appended, one line each, to the file that KELMORA_SLEEP_LOG names.
#include <time.h>

#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int nanosleep(const timespec* requested,
                                                                timespec* remaining) {
    if (const char* path = std::getenv("KELMORA_SLEEP_LOG")) {
        if (std::FILE* log = std::fopen(path, "a")) {
            std::fprintf(
                log, "%lld\n",
                static_cast<long long>(requested->tv_sec) * 1000 + requested->tv_nsec / 1000000);
            std::fclose(log);
        }
    }
    if (remaining) *remaining = timespec{};
    return 0;
}
