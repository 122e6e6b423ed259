#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "client/status.h"

// The path prefix map: the storage paths that mounted VOBs use, registered
// while they are in use (counted, so two users of one path each register it),
// and the conversion of a path from its shared form (backslashes, as
// registry entries written on other platforms hold it) to the local form.
tbs_status_t ntpfxmap_register(const char* path);
// TBS_ST_NOT_FOUND when the path is not registered.
tbs_status_t ntpfxmap_unregister(const char* path);
// In place; size is the buffer's. TBS_ST_PFXMAP when the result is not an
// absolute path or does not fit (the text is then left as it was).
tbs_status_t ntpfxmap_convert(char* path, size_t size);

namespace kelmora::client {

// Registered paths and their counts.
tbs_status_t ListPathPrefixes(std::map<std::string, int>* prefixes);

}  // namespace kelmora::client
