#include "client/trfs_services.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/messages.h"
#include "client/registry.h"
#include "client/tag_registry.h"
#include "platform/env.h"

namespace {

constexpr char kHubdPortValue[] = "HubdPort";
constexpr uint32_t kDefaultHubdPort = 371;
constexpr int kFirstTunableParam = 100;

bool ParseNumber(const char* text, uint32_t* value) {
    if (!*text) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long number = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || number > UINT32_MAX || text[0] == '-') return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

tbs_status_t hubd_get_port(const char* host, uint32_t* port) {
    if (!host || !port) return TBS_ST_INVALID;
    if (std::strcmp(host, "localhost") != 0 && host != kelmora::client::LocalHostName())
        return TBS_ST_NOT_FOUND;
    char text[32] = {};
    ntregy_key_t key = nullptr;
    tbs_status_t status = ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                           kHubdPortValue, text, sizeof text, &key);
    ntregy_close_key(key);
    if (status == TBS_ST_NOT_FOUND) {
        *port = kDefaultHubdPort;
        return TBS_ST_OK;
    }
    if (status != TBS_ST_OK) return status;
    uint32_t value = 0;
    if (!ParseNumber(text, &value) || value == 0 || value > 65535) return TBS_ST_INVALID;
    *port = value;
    return TBS_ST_OK;
}

tbs_status_t adm_trfs_get_tunables(uint32_t* tunables, uint32_t* count) {
    if (!tunables) return TBS_ST_INVALID;
    for (size_t i = 0; i < ADM_TRFS_TUNABLE_COUNT; ++i) {
        char text[32] = {};
        tbs_status_t status =
            ntregy_get_trfs_param(kFirstTunableParam + static_cast<int>(i), text, sizeof text);
        if (status == TBS_ST_NOT_FOUND) {
            tunables[i] = 0;
            continue;
        }
        if (status != TBS_ST_OK) return status;
        if (!ParseNumber(text, &tunables[i])) return TBS_ST_INVALID;
    }
    if (count) *count = ADM_TRFS_TUNABLE_COUNT;
    return TBS_ST_OK;
}

int trfs_view_root_open_sil(int* error, int silent) {
    const std::string root = kelmora::KelmoraHome() + "/views";
    int fd = -1;
    if (kelmora::EnsureStateFolder(root))
        fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // 0 means failure to the caller, so a descriptor 0 is moved.
    if (fd == 0) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        ::close(fd);
        fd = moved;
    }
    if (fd < 0) {
        const int saved = errno;
        if (error) *error = saved;
        if (!silent)
            imsg_print(IMSG_KIND_ERROR, "Unable to open the TRFS view root %s: %s\n", -1,
                       root.c_str(), std::strerror(saved));
        return 0;
    }
    if (error) *error = 0;
    return fd;
}

void trfs_view_root_close(int handle) {
    if (handle > 0) ::close(handle);
}
