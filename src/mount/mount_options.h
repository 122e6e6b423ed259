#pragma once

#include <mntent.h>

#include <cstdint>

// Options of a mount entry: tokens separated by commas, each "name" or
// "name=value", names matched exactly.
namespace kelmora::mount {

// The token "name" or "name=value" within the library's copy of the options
// (at most 1023 characters), which the next call overwrites; null when absent.
char* FindMountOption(const struct mntent* entry, const char* name);
inline bool HasMountOption(const struct mntent* entry, const char* name) {
    return FindMountOption(entry, name) != nullptr;
}

// As the C library's hasmntopt: the token "name", "name=value" or
// "name,..." within the entry's own options, whatever their length; null when
// absent. Reentrant.
char* FindMountOptionInPlace(const struct mntent* entry, const char* name);

// "name=NUMBER" in C form (decimal, 0x hexadecimal, leading-0 octal; text
// after the number ignored); 0 when absent. A token without a number is
// reported and gives 0.
int32_t ReadNumericOption(const char* name, const struct mntent* entry);

// A malloc copy of the value of "name=value" (blanks after "=" skipped; it
// ends at a blank, comma or tab), or null when absent, empty or out of memory.
char* ReadStringOption(const char* name, const struct mntent* entry);

}  // namespace kelmora::mount
