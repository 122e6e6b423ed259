// Unmounting VOBs by tag.

#include <cstring>
#include <memory>

#include "client/messages.h"
#include "client/poolmap.h"
#include "client/prefix_map.h"
#include "client/trfs_driver.h"
#include "client/trfs_refs.h"
#include "client/uuid_text.h"
#include "client/vob_utl.h"
#include "mount/message_tables.h"
#include "mount/mntrpc.h"
#include "mount/tag_search.h"

namespace {

using kelmora::mount::kKeySize;
using kelmora::mount::kUuidKeySize;
using kelmora::mount::MissingKeyExit;
using kelmora::mount::MntrpcMessageTable;
using kelmora::mount::MntrpcTrace;
namespace msg = kelmora::mount;

// Tells the driver to unmount pname; the driver's status.
tbs_status_t UnmountByDriver(const char* pname, const tbs_uuid_t& identifier) {
    kelmora::client::CReference text(pname);
    trfs_unmount_data_t data = {};
    data.mount_dir.text = text.get();
    data.mount_dir.length = static_cast<uint32_t>(std::strlen(pname));
    data.mount_dir.size = data.mount_dir.length + 1;
    std::memcpy(data.vob_uuid, identifier.bytes, sizeof data.vob_uuid);
    kelmora::client::CReference reference(&data);
    trfs_mfs_control_t control = {};
    control.command = TRFS_MFS_UNMOUNT;
    control.data_length = sizeof data;
    control.data = reference.get();
    tbs_status_t status = view_mfs_ioctl(&control);
    if (status != TBS_ST_OK)
        imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), msg::kUnableToUnmount,
                   tbs_strerror(status));
    return status;
}

// After an unmount: the global path and the pool folders are no longer in use.
void UnregisterPaths(rgy_entry_t entry) {
    char global_path[kKeySize] = {};
    if (rgy_getstring_from_entry(entry, RGY_KEY_GLOBAL_PATH, sizeof global_path, global_path) ==
        TBS_ST_OK)
        ntpfxmap_unregister(global_path);
    char options[kKeySize] = {};
    if (rgy_getstring_from_entry(entry, RGY_KEY_OPTIONS, sizeof options, options) != TBS_ST_OK)
        return;
    kelmora::client::CStorageArea area(stg_create_area(1024));
    int count = 0;
    poolmap_cstring_t* names = nullptr;
    poolmap_cstring_t* directories = nullptr;
    if (!area ||
        poolmap_crack_mntopts(options, area.get(), &count, &names, &directories) != TBS_ST_OK)
        return;
    for (int i = 0; i < count; ++i) {
        poolmap_cstring_t& directory = directories[i];
        kelmora::mount::DropTrailingSeparator(&directory);
        ntpfxmap_unregister(directory.text);
    }
}

bool IsMounted(const char* pname) {
    if (vob_utl_is_mounted_vob_pname(pname)) return true;
    imsg_print(IMSG_KIND_INFO, MntrpcMessageTable(), msg::kNotMounted, pname);
    return false;
}

// One VOB of "unmount all": by its entry, or by path when it has none.
tbs_status_t UnmountMountedVob(kelmora::mount::CTagSearch* search, const char* pname,
                               const char* region, bool* search_failed) {
    tbs_status_t status = search->FindTag(nullptr, region, pname, kelmora::mount::kTagBatchSize);
    *search_failed = status != TBS_ST_OK;
    if (*search_failed) return status;
    if (search->count() == 0) {
        imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), msg::kNotRegistered, pname);
        return mntrpc_umount1_tag_noent(pname);
    }
    tbs_status_t result = TBS_ST_OK;
    if (search->count() > 1) {
        kelmora::mount::PrintDuplicateTag(pname, region);
        result = TBS_ST_ERR;
    }
    status = mntrpc_umount1_tag(search->entry(0), region);
    return result != TBS_ST_OK ? result : status;
}

tbs_status_t UnmountAllMounted(const char* region) {
    kelmora::client::CStorageArea area(stg_create_area(4096));
    if (!area) {
        imsg_print(IMSG_KIND_ERROR, _tbs_cmsg_tbs_msg_table_adr(), TBS_MSG_OPERATION_FAILED,
                   "stg_create_area", tbs_strerror(TBS_ST_ERR));
        return TBS_ST_ERR;
    }
    if (!kelmora::mount::IsTrfsAvailable(true)) return TBS_ST_OK;
    char** pnames = nullptr;
    int count = 0;
    if (vob_utl_get_mounted_vob_pnames(area.get(), 0, &pnames, &count) != TBS_ST_OK)
        return TBS_ST_ERR;
    tbs_status_t result = TBS_ST_OK;
    for (int i = 0; i < count; ++i) {
        kelmora::mount::CTagSearch search;
        bool search_failed = false;
        tbs_status_t status = UnmountMountedVob(&search, pnames[i], region, &search_failed);
        if (status != TBS_ST_OK && result == TBS_ST_OK) result = status;
        if (search_failed) break;
    }
    return result;
}

}  // namespace

tbs_status_t mntrpc_umount1_tag(rgy_entry_t entry, const char* region) {
    char tag[kKeySize] = {};
    tbs_status_t status = rgy_getstring_from_entry(entry, RGY_KEY_TAG, sizeof tag, tag);
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);
    char global_path[kKeySize] = {};
    status = rgy_getstring_from_entry(entry, RGY_KEY_GLOBAL_PATH, sizeof global_path, global_path);
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);
    if (ntpfxmap_convert(global_path, sizeof global_path) != TBS_ST_OK)
        return MissingKeyExit(tag, region, TBS_ST_PFXMAP, TBS_ST_PFXMAP);
    if (!IsMounted(tag)) return TBS_ST_ERR;
    imsg_print(IMSG_KIND_INFO, MntrpcMessageTable(), msg::kUnmounting, tag);

    char uuid_text[kUuidKeySize] = {};
    tbs_uuid_t identifier;
    status = rgy_getstring_from_entry(entry, RGY_KEY_UUID, sizeof uuid_text, uuid_text);
    if (status == TBS_ST_OK) status = tbs_dstr_to_oid(uuid_text, &identifier);
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);

    status = UnmountByDriver(tag, identifier);
    if (status == TBS_ST_OK) UnregisterPaths(entry);
    MntrpcTrace("mntrpc_umount1_tag final status:%d cmd_status:%d\n", static_cast<int>(status), 0);
    return status;
}

tbs_status_t mntrpc_umount1_tag_noent(const char* pname) {
    if (!IsMounted(pname)) return TBS_ST_ERR;
    imsg_print(IMSG_KIND_INFO, MntrpcMessageTable(), msg::kUnmounting, pname);
    tbs_status_t status = UnmountByDriver(pname, TBS_UUID_NULL);
    MntrpcTrace("mntrpc_umount1_tag_noent final status:%d cmd_status:%d\n",
                static_cast<int>(status), 0);
    return status;
}

tbs_status_t mntrpc_umount_tag(const char* tag, const char* flags) {
    tag = tag ? tag : "";
    flags = flags ? flags : "";
    MntrpcTrace("mntrpc_umount_tag:tag:%s flags:%s\n", tag, flags);
    rgy_region_t region;
    if (tbs_status_t status = rgy_get_default_region(&region)) return status;
    if (std::strstr(flags, " -a ")) return UnmountAllMounted(region.name);

    kelmora::mount::CTagSearch search;
    tbs_status_t status = search.FindTag(nullptr, region.name, tag, kelmora::mount::kTagBatchSize);
    MntrpcTrace("mntrpc_umount_tag: findbystr stat:%d count:%d\n", static_cast<int>(status),
                search.count());
    if (status != TBS_ST_OK) return status;
    if (search.count() == 0) {
        imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), msg::kNotRegistered, tag);
        return mntrpc_umount1_tag_noent(tag);
    }
    if (search.count() > 1) kelmora::mount::PrintDuplicateTag(tag, region.name);
    return mntrpc_umount1_tag(search.entry(0), region.name);
}

namespace kelmora::mount {

tbs_status_t UnmountAllTags() {
    trfs_mfs_control_t control = {};
    control.command = TRFS_MFS_UNMOUNT_ALL;
    if (tbs_status_t status = view_mfs_ioctl(&control)) return status;
    return control.status;
}

}  // namespace kelmora::mount
