#include "mount/mount_trfs.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "client/files.h"
#include "client/messages.h"
#include "client/poolmap.h"
#include "client/prefix_map.h"
#include "client/storage.h"
#include "client/tag_registry.h"
#include "client/trfs_refs.h"
#include "client/trfs_services.h"
#include "client/uuid_text.h"
#include "client/vob_utl.h"
#include "mount/message_tables.h"
#include "mount/mount_options.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the driver's records are little-endian");

namespace kelmora::mount {

namespace {

constexpr size_t kPathBufferSize = 1024;
constexpr size_t kHostBufferSize = 64;
constexpr size_t kSuffixBufferSize = 280;
constexpr char kDefaultSuffix[] = "@@";

// What the block of the last call refers to: the library's buffers, copies
// in a storage area, and the references to both.
class CBlockStorage {
public:
    CBlockStorage() = default;
    ~CBlockStorage() { Reset(); }
    CBlockStorage(const CBlockStorage&) = delete;
    CBlockStorage& operator=(const CBlockStorage&) = delete;

    void Reset() {
        for (trfs_ref_t reference : references_) client::ReleaseReference(reference);
        references_.clear();
        stg_delete_area(area_);
        area_ = nullptr;
    }

    trfs_ref_t Reference(const void* pointer) {
        trfs_ref_t reference = client::RegisterReference(pointer);
        if (reference != 0) references_.push_back(reference);
        return reference;
    }

    void* Allocate(size_t size) {
        if (!area_) area_ = stg_create_area(0);
        return stg_malloc(area_, size);
    }

    char* Copy(const char* text) {
        if (!area_) area_ = stg_create_area(0);
        return stg_strdup(area_, text);
    }

    // The counted string of text; false when the table has no room left.
    bool Count(const char* text, trfs_cstring_t* counted) {
        *counted = {};
        if (!text) return true;
        counted->text = Reference(text);
        counted->length = static_cast<uint32_t>(std::strlen(text));
        counted->size = counted->length + 1;
        return counted->text != 0;
    }

    // A copy of text in the area, counted; false when out of memory.
    bool CountCopy(const char* text, trfs_cstring_t* counted) {
        const char* copy = Copy(text);
        return copy && Count(copy, counted);
    }

    char host[kHostBufferSize] = {};
    char storage_path[kPathBufferSize] = {};
    char registry_path[kPathBufferSize] = {};
    char suffix[kSuffixBufferSize] = {};

private:
    std::vector<trfs_ref_t> references_;
    stg_area_t* area_ = nullptr;
};

CBlockStorage& Storage() {
    static CBlockStorage storage;
    return storage;
}

struct CFreeMalloc {
    void operator()(char* text) const { std::free(text); }
};
using CMallocText = std::unique_ptr<char, CFreeMalloc>;

void PrintStatusMessage(const char* operation, const char* error) {
    imsg_print(IMSG_KIND_ERROR, _tbs_cmsg_tbs_msg_table_adr(), TBS_MSG_OPERATION_FAILED, operation,
               error);
}

void PrintUuidStatusMessage(const char* operation, const tbs_uuid_t& uuid, tbs_status_t status) {
    char text[TBS_UUID_STR_SIZE];
    tbs_uuid_to_str(&uuid, text);
    imsg_print(IMSG_KIND_ERROR, _tbs_cmsg_tbs_msg_table_adr(), TBS_MSG_UUID_OPERATION_FAILED,
               operation, text, tbs_strerror(status));
}

// The absolute and the absolute object form of a path, copied and counted.
bool CountResolvedPaths(const char* path, trfs_cstring_t* absolute, trfs_cstring_t* object) {
    char absolute_path[kPathBufferSize];
    char object_path[kPathBufferSize];
    if (fileutl_abspn(path, absolute_path, sizeof absolute_path) != TBS_ST_OK ||
        fileutl_absobjpn(absolute_path, object_path, sizeof object_path) != TBS_ST_OK)
        return false;
    return Storage().CountCopy(absolute_path, absolute) && Storage().CountCopy(object_path, object);
}

bool BuildPoolMap(const char* value, trfs_mount_args_t* block) {
    kelmora::client::CStorageArea area(stg_create_area(1024));
    if (!area) {
        PrintStatusMessage("crack_poolmaps", "Cannot allocate poolmap storage area");
        return false;
    }
    int count = 0;
    poolmap_cstring_t* names = nullptr;
    poolmap_cstring_t* directories = nullptr;
    if (poolmap_crack_mapstring(value, area.get(), &count, &names, &directories) != TBS_ST_OK)
        return false;
    block->pool_count = static_cast<uint32_t>(count);
    if (count == 0) return true;
    auto pools = static_cast<trfs_pool_entry_t*>(
        Storage().Allocate(static_cast<size_t>(count) * sizeof(trfs_pool_entry_t)));
    if (!pools) {
        PrintStatusMessage("crack_poolmaps", "Cannot allocate poolmap pointer space");
        return false;
    }
    for (int i = 0; i < count; ++i) {
        poolmap_cstring_t& directory = directories[i];
        if (ntpfxmap_convert(directory.text, directory.size) != TBS_ST_OK ||
            !Storage().CountCopy(names[i].text, &pools[i].name) ||
            !CountResolvedPaths(directory.text, &pools[i].directory, &pools[i].object_directory))
            return false;
    }
    block->pools = Storage().Reference(pools);
    return block->pools != 0;
}

int ViewRootSteps(const struct mntent* entry, trfs_mount_args_t* block) {
    CBlockStorage& storage = Storage();
    for (const char* retry_option : {"soft", "intr", "timeo", "retrans"}) {
        if (HasMountOption(entry, retry_option)) {
            imsg_print(IMSG_KIND_WARNING, MountTrfsMessageTable(), kObsoleteViewRootOptions);
            break;
        }
    }
    if (HasMountOption(entry, "viewroot")) {
        block->flags |= TRFS_MOUNT_VIEWROOT;
        if (gethostname(storage.host, sizeof storage.host) != 0) storage.host[0] = '\0';
        storage.host[sizeof storage.host - 1] = '\0';
        if (!storage.Count(storage.host, &block->host)) return 1;
        if (hubd_get_port(storage.host, &block->hubd_port) != TBS_ST_OK) {
            imsg_print(IMSG_KIND_ERROR, MountTrfsMessageTable(), kNoHubdPort);
            return 1;
        }
    } else {
        block->flags |= TRFS_MOUNT_RVIEWROOT;
    }
    if (CMallocText suffix{ReadStringOption("xnsuffix", entry)}) {
        const size_t length = std::strlen(suffix.get());
        if (length >= sizeof storage.suffix) {
            imsg_print(IMSG_KIND_ERROR,
                       "xnsuffix option of %zu characters is too long (at most %zu)\n", -1, length,
                       sizeof storage.suffix - 1);
            return 1;
        }
        std::memcpy(storage.suffix, suffix.get(), length + 1);
        if (!storage.Count(storage.suffix, &block->xn_suffix)) return 1;
    } else if (!storage.Count(kDefaultSuffix, &block->xn_suffix)) {
        return 1;
    }
    uint32_t tunables[ADM_TRFS_TUNABLE_COUNT] = {};
    uint32_t count = 0;
    static_assert(sizeof tunables == sizeof block->tunables);
    if (tbs_status_t status = adm_trfs_get_tunables(tunables, &count)) {
        PrintStatusMessage("adm_trfs_get_tunables", tbs_strerror(status));
        return 1;
    }
    std::memcpy(block->tunables, tunables, sizeof tunables);
    return 0;
}

// The replica UUID: from the uuid option, else from the VOB's storage.
bool FindReplica(const struct mntent* entry, const char* storage_path, tbs_uuid_t* replica) {
    if (CMallocText uuid{ReadStringOption("uuid", entry)}) {
        if (tbs_str_to_uuid(uuid.get(), replica) == TBS_ST_OK) return true;
        imsg_print(IMSG_KIND_ERROR, MountTrfsMessageTable(), kBadUuidOption);
        return false;
    }
    if (vob_ob_stg_pname_to_replica_uuid(storage_path, replica) == TBS_ST_OK) return true;
    imsg_print(IMSG_KIND_ERROR, MountTrfsMessageTable(), kVobNotResponding, storage_path);
    return false;
}

// Where the registry has the VOB: its registry path, its server host and its identifier.
bool ReadRegistryInfo(const tbs_uuid_t& replica, trfs_mount_args_t* block) {
    CBlockStorage& storage = Storage();
    if (tbs_status_t status =
            rgy_getinfo_by_uuid(RGY_KIND_VOB, nullptr, nullptr, sizeof replica, &replica, nullptr,
                                0, storage.registry_path, sizeof storage.registry_path)) {
        PrintUuidStatusMessage("rgy_getinfo_by_uuid", replica, status);
        return false;
    }
    rgy_region_t region;
    if (tbs_status_t status = rgy_get_default_region(&region)) {
        PrintStatusMessage("rgy_get_default_region", tbs_strerror(status));
        return false;
    }
    if (tbs_status_t status =
            rgy_getinfo_by_uuid(RGY_KIND_VOB_TAG, nullptr, region.name, sizeof replica, &replica,
                                storage.host, sizeof storage.host, nullptr, 0)) {
        PrintUuidStatusMessage("rgy_getinfo_by_uuid", replica, status);
        return false;
    }
    tbs_uuid_t vob_uuid;
    size_t length = 0;
    if (rgy_getuuid_by_uuid(RGY_KIND_VOB, nullptr, nullptr, sizeof replica, &replica,
                            RGY_UUID_VOB_IDENTIFIER, &vob_uuid, &length) != TBS_ST_OK) {
        imsg_print(IMSG_KIND_ERROR, MountTrfsMessageTable(), kNoVobIdentifier);
        return false;
    }
    std::memcpy(block->vob_uuid, vob_uuid.bytes, sizeof block->vob_uuid);
    return storage.Count(storage.host, &block->host) &&
           storage.Count(storage.registry_path, &block->registry_path);
}

void ReadAttributeCache(const struct mntent* entry, trfs_mount_args_t* block) {
    const int32_t fallback = ReadNumericOption("actimeo", entry);
    struct CField {
        const char* name;
        uint32_t* field;
    };
    for (const CField& cache :
         {CField{"acregmax", &block->acregmax}, CField{"acregmin", &block->acregmin},
          CField{"acdirmax", &block->acdirmax}, CField{"acdirmin", &block->acdirmin}}) {
        *cache.field = static_cast<uint32_t>(
            HasMountOption(entry, cache.name) ? ReadNumericOption(cache.name, entry) : fallback);
    }
}

int VobSteps(const struct mntent* entry, trfs_mount_args_t* block) {
    CBlockStorage& storage = Storage();
    block->flags |= TRFS_MOUNT_VOB;
    block->export_id = static_cast<uint32_t>(ReadNumericOption("exportid", entry));

    const char* file_system = entry->mnt_fsname ? entry->mnt_fsname : "";
    const size_t length = std::strlen(file_system);
    if (length >= sizeof storage.storage_path) {
        imsg_print(IMSG_KIND_ERROR,
                   "VOB storage path of %zu characters is too long (at most %zu)\n", -1, length,
                   sizeof storage.storage_path - 1);
        return 1;
    }
    std::memcpy(storage.storage_path, file_system, length + 1);
    storage.storage_path[std::strcspn(storage.storage_path, ";")] = '\0';

    tbs_uuid_t replica;
    if (!FindReplica(entry, storage.storage_path, &replica)) return 1;
    std::memcpy(block->replica_uuid, replica.bytes, sizeof block->replica_uuid);
    if (!HasMountOption(entry, "no_rgy_pools")) {
        if (CMallocText poolmap{ReadStringOption("poolmap", entry)}) {
            if (!BuildPoolMap(poolmap.get(), block)) return 1;
        }
    }
    if (!ReadRegistryInfo(replica, block)) return 1;
    if (!CountResolvedPaths(storage.storage_path, &block->storage_path,
                            &block->storage_object_path))
        return 1;
    ReadAttributeCache(entry, block);
    if (HasMountOption(entry, "noac")) block->flags |= TRFS_MOUNT_NOAC;
    if (HasMountOption(entry, "nodnlc")) block->flags |= TRFS_MOUNT_NODNLC;
    if (HasMountOption(entry, "ro")) block->flags |= TRFS_MOUNT_RO;
    return 0;
}

}  // namespace

int MountTrfs(const struct mntent* entry, trfs_mount_args_t* block) {
    if (!entry || !block) return 1;
    CBlockStorage& storage = Storage();
    storage.Reset();
    std::memset(block, 0, sizeof *block);
    block->header = TRFS_MOUNT_ARGS_HEADER;
    if (!storage.Count(entry->mnt_dir, &block->mount_dir)) return 1;
    if (HasMountOption(entry, "soft")) block->flags |= TRFS_MOUNT_SOFT;
    block->flags |= TRFS_MOUNT_NOINTR;
    if (HasMountOption(entry, "intr")) block->flags &= ~TRFS_MOUNT_NOINTR;
    block->timeo = static_cast<uint32_t>(ReadNumericOption("timeo", entry));
    block->retrans = static_cast<uint32_t>(ReadNumericOption("retrans", entry));
    if (HasMountOption(entry, "viewroot") || HasMountOption(entry, "rviewroot"))
        return ViewRootSteps(entry, block);
    return VobSteps(entry, block);
}

}  // namespace kelmora::mount
