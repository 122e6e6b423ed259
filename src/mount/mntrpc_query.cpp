// Tag lookups and checks that other programs call.

#include <cstring>

#include "client/messages.h"
#include "client/trfs_services.h"
#include "mount/message_tables.h"
#include "mount/mntrpc.h"
#include "mount/tag_search.h"

namespace kelmora::mount {

tbs_status_t GetTagInfo(const char* tag, const char* region, const char* qualifier, int* is_public,
                        char* path, size_t path_size, uint8_t* uuid) {
    rgy_region_t default_region;
    if (!region || !*region) {
        if (tbs_status_t status = rgy_get_default_region(&default_region)) return status;
        region = default_region.name;
    }
    tag = tag ? tag : "";
    CTagSearch search;
    tbs_status_t status = search.FindTag(qualifier, region, tag, 1);
    if (status != TBS_ST_OK) {
        imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), kRegistryInfoFailed, tag,
                   tbs_strerror(status));
        return status;
    }
    if (search.count() == 0) return TBS_ST_NOT_FOUND;
    rgy_entry_t entry = search.entry(0);
    if (is_public) {
        char access[kKeySize] = {};
        status = rgy_getstring_from_entry(entry, RGY_KEY_ACCESS, sizeof access, access);
        if (status == TBS_ST_OK) *is_public = std::strcmp(access, RGY_ACCESS_PUBLIC) == 0 ? 1 : 0;
    }
    if (path) {
        status = rgy_getstring_from_entry(entry, RGY_KEY_GLOBAL_PATH, path_size, path);
        if (status != TBS_ST_OK) {
            if (path_size > 0) path[0] = '\0';
            if (status == TBS_ST_NOT_FOUND)
                imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), kNoGlobalPath, tag);
        }
    }
    if (uuid) {
        tbs_uuid_t found;
        status = rgy_getuuid_from_entry(entry, sizeof found, &found);
        if (status != TBS_ST_OK) found = TBS_UUID_NULL;
        std::memcpy(uuid, found.bytes, sizeof found.bytes);
        if (status == TBS_ST_NOT_FOUND)
            imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), kMissingKey);
    }
    return status;
}

// Tags are kept apart by the registry itself, so there is nothing to collide.
tbs_status_t CheckTagCollision(int* collision) {
    if (collision) *collision = 0;
    return TBS_ST_OK;
}

bool IsTrfsAvailable(bool silent) {
    int error = 0;
    int handle = trfs_view_root_open_sil(&error, silent ? 1 : 0);
    if (handle == 0) return false;
    trfs_view_root_close(handle);
    return true;
}

}  // namespace kelmora::mount
