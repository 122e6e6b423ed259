#include "client/vob_utl.h"

#include <string>
#include <vector>

#include "client/trfs_driver.h"
#include "client/view_store.h"
#include "client/vob_admin.h"

int vob_utl_is_mounted_vob_pname(const char* pname) {
    if (!pname || !*pname) return 0;
    kelmora::client::CTrfsMount mount;
    return kelmora::client::FindTrfsMount(pname, &mount) == TBS_ST_OK ? 1 : 0;
}

tbs_status_t vob_utl_get_mounted_vob_pnames(stg_area_t* area, int /*flags*/, char*** pnames,
                                            int* count) {
    if (!area || !pnames || !count) return TBS_ST_INVALID;
    *pnames = nullptr;
    *count = 0;
    std::vector<kelmora::client::CTrfsMount> mounts;
    if (tbs_status_t status = kelmora::client::ListTrfsMounts(&mounts)) return status;
    if (mounts.empty()) return TBS_ST_OK;
    auto names = static_cast<char**>(stg_malloc(area, mounts.size() * sizeof(char*)));
    if (!names) return TBS_ST_ERR;
    for (size_t i = 0; i < mounts.size(); ++i) {
        names[i] = stg_strdup(area, mounts[i].tag.c_str());
        if (!names[i]) return TBS_ST_ERR;
    }
    *pnames = names;
    *count = static_cast<int>(mounts.size());
    return TBS_ST_OK;
}

tbs_status_t vob_ob_stg_pname_to_replica_uuid(const char* storage_path, tbs_uuid_t* replica_uuid) {
    if (!storage_path || !*storage_path || !replica_uuid) return TBS_ST_INVALID;
    kelmora::client::CVobRecord vob;
    if (tbs_status_t status = kelmora::client::FindVobByStoragePath(storage_path, &vob))
        return status;
    return kelmora::client::UuidFromText(vob.replica_uuid, replica_uuid) ? TBS_ST_OK
                                                                         : TBS_ST_DATABASE;
}
