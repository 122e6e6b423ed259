// Mounting VOBs by tag.

#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "client/credutl.h"
#include "client/files.h"
#include "client/messages.h"
#include "client/poolmap.h"
#include "client/prefix_map.h"
#include "client/preview.h"
#include "client/strutl.h"
#include "client/trfs_driver.h"
#include "client/trfs_refs.h"
#include "client/vob_utl.h"
#include "mount/message_tables.h"
#include "mount/mntrpc.h"
#include "mount/mount_trfs.h"
#include "mount/tag_search.h"
#include "platform/format.h"

namespace {

using kelmora::mount::kKeySize;
using kelmora::mount::kUuidKeySize;
using kelmora::mount::MissingKeyExit;
using kelmora::mount::MntrpcMessageTable;
using kelmora::mount::MntrpcTrace;
namespace msg = kelmora::mount;
constexpr size_t kAccessKeySizeWhenAll = 256;
constexpr size_t kMaxOptionText = kKeySize - 1;

bool IsPublic(const char* access) {
    return std::strcmp(access, RGY_ACCESS_PUBLIC) == 0;
}

void PrintError(int message, const char* text) {
    imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), message, text);
}

// What one mount registered in the prefix map, to be unregistered when it fails.
struct CRegistrations {
    bool global_path = false;
    std::vector<std::string> pools;
};

// Registers the pool folders of the options and checks that they exist,
// up to the first that fails.
tbs_status_t RegisterPools(const char* options, const char* global_path, const char* tag,
                           const char* region, CRegistrations* registered) {
    kelmora::client::CStorageArea area(stg_create_area(1024));
    if (!area) return TBS_ST_ERR;
    int count = 0;
    poolmap_cstring_t* names = nullptr;
    poolmap_cstring_t* directories = nullptr;
    if (tbs_status_t status =
            poolmap_crack_mntopts(options, area.get(), &count, &names, &directories))
        return status;
    for (int i = 0; i < count; ++i) {
        poolmap_cstring_t& directory = directories[i];
        kelmora::mount::DropTrailingSeparator(&directory);
        if (ntpfxmap_register(directory.text) != TBS_ST_OK) {
            PrintError(msg::kStorageNotFound, global_path);
            return TBS_ST_NOT_FOUND;
        }
        registered->pools.emplace_back(directory.text);
        if (ntpfxmap_convert(directory.text, directory.size) != TBS_ST_OK)
            return MissingKeyExit(tag, region, TBS_ST_PFXMAP, TBS_ST_PFXMAP);
        struct stat info {};
        if (fileutl_stat(directory.text, &info) != TBS_ST_OK) {
            PrintError(msg::kStorageNotFound, directory.text);
            return TBS_ST_NOT_FOUND;
        }
    }
    return TBS_ST_OK;
}

// A public tag's storage need only exist; a private tag's must be a folder.
tbs_status_t CheckStorage(const char* tag, const char* global_path, bool is_public) {
    struct stat info {};
    if (fileutl_stat(global_path, &info) != TBS_ST_OK) {
        PrintError(msg::kStorageNotFound, global_path);
        return TBS_ST_NOT_FOUND;
    }
    if (is_public || (S_ISDIR(info.st_mode) && info.st_nlink > 0)) return TBS_ST_OK;
    PrintError(msg::kMountPermission, tag);
    PrintError(msg::kNotADirectory, global_path);
    return TBS_ST_NOT_DIR;
}

// Builds the block and hands it to the driver; the status and the result of
// mount_trfs.
tbs_status_t MountBlock(char* global_path, char* tag, char* option_text, int* build_result) {
    char type[] = "-t trfs";
    struct mntent entry = {global_path, tag, type, option_text, 0, 0};
    trfs_mount_args_t block;
    *build_result = kelmora::mount::MountTrfs(&entry, &block);
    if (*build_result != 0) return TBS_ST_ERR;
    kelmora::client::CReference data(&block);
    trfs_mfs_control_t control = {};
    control.command = TRFS_MFS_MOUNT;
    control.data_length = sizeof block;
    control.data = data.get();
    return view_mfs_ioctl(&control);
}

// The mount of one entry; *registered receives what it registered in the
// prefix map.
tbs_status_t MountEntry(const char* requested_options, rgy_entry_t entry, const char* region,
                        CRegistrations* registered) {
    char tag[kKeySize] = {};
    tbs_status_t status = rgy_getstring_from_entry(entry, RGY_KEY_TAG, sizeof tag, tag);
    if (status == TBS_ST_OK && vob_utl_is_mounted_vob_pname(tag)) {
        imsg_print(IMSG_KIND_INFO, MntrpcMessageTable(), msg::kAlreadyMounted, tag);
        return TBS_ST_MOUNTED;
    }
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);
    // A mount point inside another VOB's would put this VOB in its storage.
    kelmora::client::CTrfsMount other;
    if (kelmora::client::FindOverlappingMount(tag, &other) == TBS_ST_OK) {
        imsg_print(IMSG_KIND_ERROR, MntrpcMessageTable(), msg::kTagCollision, tag,
                   other.tag.c_str());
        return TBS_ST_ERR;
    }

    char global_path[kKeySize] = {};
    status = rgy_getstring_from_entry(entry, RGY_KEY_GLOBAL_PATH, sizeof global_path, global_path);
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);
    if (std::strcmp(global_path, RGY_NO_GLOBAL_PATH) == 0 ||
        ntpfxmap_register(global_path) != TBS_ST_OK) {
        PrintError(msg::kStorageNotFound, global_path);
        return TBS_ST_NOT_FOUND;
    }
    registered->global_path = true;
    if (ntpfxmap_convert(global_path, sizeof global_path) != TBS_ST_OK)
        return MissingKeyExit(tag, region, TBS_ST_PFXMAP, TBS_ST_PFXMAP);

    char options[kKeySize] = {};
    status = rgy_getstring_from_entry(entry, RGY_KEY_OPTIONS, sizeof options, options);
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);
    if (tbs_status_t pools = RegisterPools(options, global_path, tag, region, registered))
        return pools;

    char uuid[kUuidKeySize] = {};
    status = rgy_getstring_from_entry(entry, RGY_KEY_UUID, sizeof uuid, uuid);
    if (status != TBS_ST_OK) return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);

    char access[kKeySize] = {};
    const bool is_public =
        rgy_getstring_from_entry(entry, RGY_KEY_ACCESS, sizeof access, access) == TBS_ST_OK &&
        IsPublic(access);
    if (tbs_status_t checked = CheckStorage(tag, global_path, is_public)) return checked;
    std::string option_text;
    if (tbs_status_t composed = kelmora::mount::ComposeMountOptions(
            requested_options, entry, is_public, uuid, tag, region, &option_text))
        return composed;

    imsg_print(IMSG_KIND_INFO, MntrpcMessageTable(), msg::kMounting, tag);
    int build_result = 0;
    status = MountBlock(global_path, tag, option_text.data(), &build_result);
    if (status != TBS_ST_OK) PrintError(msg::kUnableToMount, tbs_strerror(status));
    MntrpcTrace("mntrpc_mount_tag final status:%d cmd_status:%d\n", static_cast<int>(status),
                build_result);
    return status;
}

// The tag-level view of one mount: "already mounted" is a failure, and what
// a mount that failed registered (its global path, its pool folders) is
// registered no more. A preview records the registered tag and mounts nothing.
tbs_status_t MountAndTidy(const char* options, rgy_entry_t entry, const char* region) {
    if (kelmora::CPreview* preview = kelmora::ActivePreview()) {
        char tag[kKeySize] = {};
        tbs_status_t status = rgy_getstring_from_entry(entry, RGY_KEY_TAG, sizeof tag, tag);
        if (status == TBS_ST_OK) preview->mounts.push_back(tag);
        return status;
    }
    CRegistrations registered;
    tbs_status_t status = MountEntry(options, entry, region, &registered);
    // The driver's "already mounted" too: another process mounted the tag
    // after this one looked, and its registration is its own.
    if (status != TBS_ST_OK && registered.global_path) {
        char global_path[kKeySize] = {};
        if (rgy_getstring_from_entry(entry, RGY_KEY_GLOBAL_PATH, sizeof global_path, global_path) ==
            TBS_ST_OK)
            ntpfxmap_unregister(global_path);
    }
    if (status != TBS_ST_OK) {
        for (const std::string& pool : registered.pools) ntpfxmap_unregister(pool.c_str());
    }
    return status == TBS_ST_MOUNTED ? TBS_ST_ERR : status;
}

tbs_status_t MountAllPublicTags(const char* options, const char* region) {
    kelmora::mount::CTagSearch search;
    tbs_status_t result = TBS_ST_OK;
    auto note = [&result](tbs_status_t status) {
        if (status != TBS_ST_OK && result == TBS_ST_OK) result = status;
    };
    for (;;) {
        tbs_status_t status = search.NextBatch(region);
        if (status != TBS_ST_OK) {
            note(status);
            break;
        }
        if (search.count() == 0) break;
        for (int i = 0; i < search.count(); ++i) {
            rgy_entry_t entry = search.entry(i);
            char access[kAccessKeySizeWhenAll] = {};
            status = rgy_getstring_from_entry(entry, RGY_KEY_ACCESS, sizeof access, access);
            if (status != TBS_ST_OK) {
                note(status);
                continue;
            }
            if (!IsPublic(access)) continue;
            char tag_options[kKeySize] = {};
            status =
                rgy_getstring_from_entry(entry, RGY_KEY_OPTIONS, sizeof tag_options, tag_options);
            if (status != TBS_ST_OK) {
                note(status);
                continue;
            }
            if (strutl_find_str(tag_options, "noauto")) continue;
            note(MountAndTidy(options, entry, region));
        }
    }
    return result;
}

}  // namespace

namespace kelmora::mount {

tbs_status_t ComposeMountOptions(const char* requested, rgy_entry_t entry, bool is_public,
                                 const char* uuid, const char* tag, const char* region,
                                 std::string* text) {
    char options[kKeySize] = {};
    if (credutl_is_privileged() && requested && *requested) {
        if (std::strlen(requested) >= kKeySize) {
            PrintError(msg::kOptionsTooLong, requested);
            return TBS_ST_ERR;
        }
        std::strcpy(options, requested);
    } else {
        tbs_status_t status = rgy_getstring_from_entry(entry, RGY_KEY_OPTIONS, kKeySize, options);
        if (status == TBS_ST_NOT_FOUND) {
            options[0] = '\0';
        } else if (status != TBS_ST_OK) {
            return MissingKeyExit(tag, region, status, TBS_ST_NOT_FOUND);
        }
        // "nosuid" contains it too.
        if (!is_public && !strutl_find_str(options, "suid") &&
            ((*options && strutl_concat(options, kKeySize, ",") != TBS_ST_OK) ||
             strutl_concat(options, kKeySize, "nosuid") != TBS_ST_OK)) {
            PrintError(msg::kOptionsTooLong, options);
            return TBS_ST_ERR;
        }
    }
    *text = FormatPrintf("uuid=%s%s%s", uuid, *options ? "," : "", options);
    // mount_trfs reads no further than this.
    if (text->size() > kMaxOptionText) {
        PrintError(msg::kOptionsTooLong, text->c_str());
        return TBS_ST_ERR;
    }
    return TBS_ST_OK;
}

}  // namespace kelmora::mount

tbs_status_t mntrpc_mount1_tag(const char* options, rgy_entry_t entry, const char* region) {
    CRegistrations registered;
    return MountEntry(options, entry, region, &registered);
}

tbs_status_t mntrpc_mount_tag(const char* tag, const char* options, const char* flags) {
    tag = tag ? tag : "";
    options = options ? options : "";
    flags = flags ? flags : "";
    MntrpcTrace("mntrpc_mount_tag:tag:%s, options:%s\n flags:%s\n", tag, options, flags);
    rgy_region_t region;
    if (tbs_status_t status = rgy_get_default_region(&region)) return status;
    if (std::strstr(flags, " -a ")) return MountAllPublicTags(options, region.name);

    kelmora::mount::CTagSearch search;
    tbs_status_t status = search.FindTag(nullptr, region.name, tag, kelmora::mount::kTagBatchSize);
    MntrpcTrace("mntrpc_mount_tag: findbystr stat:%d count:%d\n", static_cast<int>(status),
                search.count());
    if (status != TBS_ST_OK) return status;
    if (search.count() == 0) {
        PrintError(msg::kNotRegistered, tag);
        return TBS_ST_ERR;
    }
    if (search.count() > 1) {
        kelmora::mount::PrintDuplicateTag(tag, region.name);
        return TBS_ST_ERR;
    }
    return MountAndTidy(options, search.entry(0), region.name);
}
