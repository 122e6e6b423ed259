#include "module/version.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "client/messages.h"

#ifndef KELMORA_VERSION
#error "KELMORA_VERSION must be defined by the build"
#endif

namespace kelmora {

namespace {

constexpr int kModuleNameColumn = 33;

// The compiler's date ("Dec  6 2026") and time ("08:29:10") of this file's
// build, in the C runtime's date form with the weekday ("Sun Dec  6 08:29:10 2026").
std::string BuildDateText() {
    static const char* const kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char month[4] = {0};
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(__DATE__, "%3s %d %d", month, &day, &year) != 3 ||
        std::sscanf(__TIME__, "%d:%d:%d", &hour, &minute, &second) != 3)
        return __DATE__ " " __TIME__;
    const char* found = std::strstr(kMonths, month);
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = found ? static_cast<int>((found - kMonths) / 3) : 0;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::mktime(&tm);  // fills in the weekday
    char text[64];
    std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &tm);
    return text;
}

}  // namespace

const CVersionRecord& VersionRecord() {
    static const std::string build_date = BuildDateText();
    static const CVersionRecord record{"kelmora", KELMORA_VERSION, build_date.c_str()};
    return record;
}

void PrintVersionIdentification() {
    const CVersionRecord& r = VersionRecord();
    imsg_print(IMSG_KIND_INFO, "%-*s %s (%s)\n", -1, kModuleNameColumn, r.module_name, r.version,
               r.build_date);
}

}  // namespace kelmora
