#include "mount/mount_options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "client/messages.h"
#include "mount/message_tables.h"

namespace kelmora::mount {

namespace {

constexpr size_t kOptionBufferSize = 1024;

// Shared by every call, as callers of hasmntopt expect.
char g_options[kOptionBufferSize];

}  // namespace

char* FindMountOption(const struct mntent* entry, const char* name) {
    if (!entry || !entry->mnt_opts || !name) return nullptr;
    std::strncpy(g_options, entry->mnt_opts, kOptionBufferSize);
    g_options[kOptionBufferSize - 1] = '\0';
    const size_t name_length = std::strlen(name);
    char* token = g_options;
    while (token) {
        char* comma = std::strchr(token, ',');
        if (comma) *comma = '\0';
        if (std::strncmp(token, name, name_length) == 0 &&
            (token[name_length] == '\0' || token[name_length] == '='))
            return token;
        token = comma ? comma + 1 : nullptr;
    }
    return nullptr;
}

char* FindMountOptionInPlace(const struct mntent* entry, const char* name) {
    if (!entry || !entry->mnt_opts || !name) return nullptr;
    const size_t name_length = std::strlen(name);
    char* rest = entry->mnt_opts;
    while (char* found = std::strstr(rest, name)) {
        const char after = found[name_length];
        if ((found == rest || found[-1] == ',') && (after == '\0' || after == '=' || after == ','))
            return found;
        rest = std::strchr(found, ',');
        if (!rest) break;
        ++rest;
    }
    return nullptr;
}

int32_t ReadNumericOption(const char* name, const struct mntent* entry) {
    char* token = FindMountOption(entry, name);
    if (!token) return 0;
    if (char* equals = std::strchr(token, '=')) {
        char* end = nullptr;
        long value = std::strtol(equals + 1, &end, 0);
        // Out of range clamps, as strtol does where long has 32 bits.
        if (end != equals + 1)
            return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
    }
    imsg_print(IMSG_KIND_ERROR, MountTrfsMessageTable(), kBadNumericOption, token);
    return 0;
}

char* ReadStringOption(const char* name, const struct mntent* entry) {
    char* token = FindMountOption(entry, name);
    char* equals = token ? std::strchr(token, '=') : nullptr;
    if (!equals) return nullptr;
    const char* value = equals + 1 + std::strspn(equals + 1, " \t");
    const size_t length = std::strcspn(value, " ,\t");
    if (length == 0) return nullptr;
    auto copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, value, length);
    copy[length] = '\0';
    return copy;
}

}  // namespace kelmora::mount
