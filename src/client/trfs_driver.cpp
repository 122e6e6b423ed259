#include "client/trfs_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "client/database.h"
#include "client/trfs_refs.h"
#include "client/view_store.h"
#include "platform/env.h"
#include "platform/fs.h"

namespace kelmora::client {

namespace {

constexpr uint32_t kKnownFlags = 0xFF;
constexpr uint32_t kViewRootFlags = TRFS_MOUNT_VIEWROOT | TRFS_MOUNT_RVIEWROOT;

constexpr char kMountColumns[] =
    "SELECT tag, storage_path, object_path, registry_path, host, vob_uuid, replica_uuid, flags, "
    "mount_point FROM trfs_mount";

std::string MountRoot() {
    return KelmoraHome() + "/vobs";
}

void ReadRecord(const CStatement& row, CTrfsMount* mount) {
    mount->tag = row.ColumnText(0);
    mount->storage_path = row.ColumnText(1);
    mount->object_path = row.ColumnText(2);
    mount->registry_path = row.ColumnText(3);
    mount->host = row.ColumnText(4);
    mount->vob_uuid = row.ColumnText(5);
    mount->replica_uuid = row.ColumnText(6);
    mount->flags = static_cast<uint32_t>(row.ColumnInt(7));
    mount->mount_point = row.ColumnText(8);
}

tbs_status_t SelectMounts(CClientDatabase* db, const std::string* tag,
                          std::vector<CTrfsMount>* mounts) {
    std::string sql = std::string(kMountColumns) + (tag ? " WHERE tag = ?1" : "") + " ORDER BY tag";
    CStatement select;
    if (tbs_status_t status = db->Prepare(sql.c_str(), &select)) return status;
    if (tag) select.BindText(1, *tag);
    for (;;) {
        bool has_row = false;
        if (tbs_status_t status = db->StepRow(&select, &has_row, "cannot read the mount table"))
            return status;
        if (!has_row) return TBS_ST_OK;
        mounts->emplace_back();
        ReadRecord(select, &mounts->back());
    }
}

template <typename T>
const T* ResolveData(const trfs_mfs_control_t& control) {
    if (control.data_length != sizeof(T)) return nullptr;
    return static_cast<const T*>(ResolveReference(control.data));
}

// The strings and pools of a VOB mount block, or false when one of them does
// not resolve.
bool ReadMountBlock(const trfs_mount_args_t& block, CTrfsMount* mount) {
    if (!ResolveCountedString(block.mount_dir, &mount->tag) ||
        !ResolveCountedString(block.host, &mount->host) ||
        !ResolveCountedString(block.storage_path, &mount->storage_path) ||
        !ResolveCountedString(block.storage_object_path, &mount->object_path) ||
        !ResolveCountedString(block.registry_path, &mount->registry_path))
        return false;
    if (block.pool_count == 0) return true;
    auto pools = static_cast<const trfs_pool_entry_t*>(ResolveReference(block.pools));
    if (!pools) return false;
    for (uint32_t i = 0; i < block.pool_count; ++i) {
        std::string text;
        if (!ResolveCountedString(pools[i].name, &text) ||
            !ResolveCountedString(pools[i].directory, &text) ||
            !ResolveCountedString(pools[i].object_directory, &text))
            return false;
    }
    return true;
}

// The components of a mount point below the mount root.
std::vector<std::string> MountPointComponents(const std::string& path) {
    std::vector<std::string> components;
    const std::string root = MountRoot();
    if (!PathHolds(root, path) || path.size() <= root.size()) return components;
    for (size_t start = root.size() + 1; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

// Opens (making them when make) the mount root and each folder of the
// components but the last, never through a link: a link there may lead into
// a VOB's storage. *folders receives them, root first.
tbs_status_t OpenMountFolders(const std::vector<std::string>& components, bool make,
                              std::vector<CFolder>* folders) {
    folders->resize(components.size());
    if ((make && !EnsureStateFolder(MountRoot())) || !(*folders)[0].Open(MountRoot()))
        return errno == ENOENT && !make ? TBS_ST_NOT_FOUND : TBS_ST_IO;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        const CFolder& parent = (*folders)[i];
        if (make && !parent.MakeSubfolder(components[i], 0700) && errno != EEXIST) return TBS_ST_IO;
        if (!(*folders)[i + 1].OpenIn(parent, components[i]))
            return errno == ENOENT && !make ? TBS_ST_NOT_FOUND : TBS_ST_EXISTS;
    }
    return TBS_ST_OK;
}

// Makes the mount point a link to target; a stale link left behind is
// replaced, anything else there is TBS_ST_EXISTS.
tbs_status_t MakeMountPoint(const std::string& path, const std::string& target) {
    const std::vector<std::string> components = MountPointComponents(path);
    if (components.empty()) return TBS_ST_INVALID;
    std::vector<CFolder> folders;
    if (tbs_status_t status = OpenMountFolders(components, true, &folders)) return status;
    const CFolder& parent = folders.back();
    CDirEntry there;
    if (parent.Describe(components.back(), &there)) {
        if (!there.is_link) return TBS_ST_EXISTS;
        if (!parent.RemoveEntry(components.back())) return TBS_ST_IO;
    }
    return parent.MakeLink(components.back(), target) ? TBS_ST_OK : TBS_ST_IO;
}

// Takes the link away, and the folders made for it when they are empty.
tbs_status_t RemoveMountPoint(const std::string& path) {
    const std::vector<std::string> components = MountPointComponents(path);
    if (components.empty()) return TBS_ST_INVALID;
    std::vector<CFolder> folders;
    if (tbs_status_t status = OpenMountFolders(components, false, &folders))
        return status == TBS_ST_NOT_FOUND ? TBS_ST_OK : TBS_ST_IO;
    CDirEntry there;
    if (folders.back().Describe(components.back(), &there)) {
        if (!there.is_link || !folders.back().RemoveEntry(components.back())) return TBS_ST_IO;
    }
    for (size_t i = folders.size() - 1; i > 0; --i) {
        if (!folders[i - 1].RemoveSubfolder(components[i - 1])) break;
    }
    return TBS_ST_OK;
}

// Whether two mount points are one, or one lies below the other.
bool MountPointsOverlap(const std::string& a, const std::string& b) {
    return PathHolds(a, b) || PathHolds(b, a);
}

tbs_status_t FindOverlappingMount(CClientDatabase* db, const std::string& mount_point,
                                  CTrfsMount* other) {
    std::vector<CTrfsMount> mounts;
    if (tbs_status_t status = SelectMounts(db, nullptr, &mounts)) return status;
    for (const CTrfsMount& mount : mounts) {
        if (!MountPointsOverlap(mount.mount_point, mount_point)) continue;
        *other = mount;
        return TBS_ST_OK;
    }
    return TBS_ST_NOT_FOUND;
}

constexpr char kDeleteMountFault[] = "DELETE FROM trfs_mount_fault WHERE tag = ?1";
constexpr char kCountDownMountFault[] =
    "UPDATE trfs_mount_fault SET remaining = remaining - 1 WHERE tag = ?1 AND remaining > 1";

// Runs one statement on the fault of tag (?1), with count as ?2 unless it is
// negative; *changed: whether a row was.
tbs_status_t ChangeMountFault(CClientDatabase* db, const char* sql, const std::string& tag,
                              long long count, bool* changed) {
    CStatement statement;
    if (tbs_status_t status = db->Prepare(sql, &statement)) return status;
    statement.BindText(1, tag);
    if (count >= 0) statement.BindInt(2, count);
    if (tbs_status_t status = db->StepDone(&statement, "cannot change a mount fault"))
        return status;
    *changed = db->Changes() != 0;
    return TBS_ST_OK;
}

// Uses up one refusal of a faulted tag; *refused: whether this mount is one.
tbs_status_t TakeMountFault(CClientDatabase* db, const std::string& tag, bool* refused) {
    if (tbs_status_t status = ChangeMountFault(db, kCountDownMountFault, tag, -1, refused))
        return status;
    // The last refusal takes the fault away.
    if (*refused) return TBS_ST_OK;
    return ChangeMountFault(db, kDeleteMountFault, tag, -1, refused);
}

tbs_status_t Mount(const trfs_mfs_control_t& control) {
    const auto* block = ResolveData<trfs_mount_args_t>(control);
    if (!block || block->header != TRFS_MOUNT_ARGS_HEADER) return TBS_ST_INVALID;
    if ((block->flags & ~kKnownFlags) != 0 || !(block->flags & TRFS_MOUNT_VOB) ||
        (block->flags & kViewRootFlags) != 0)
        return TBS_ST_INVALID;
    CTrfsMount mount;
    if (!ReadMountBlock(*block, &mount) || !TrfsMountPoint(mount.tag, &mount.mount_point))
        return TBS_ST_INVALID;
    if (!IsDirectory(mount.object_path)) return TBS_ST_NOT_FOUND;
    tbs_uuid_t vob_uuid, replica_uuid;
    std::memcpy(vob_uuid.bytes, block->vob_uuid, sizeof vob_uuid.bytes);
    std::memcpy(replica_uuid.bytes, block->replica_uuid, sizeof replica_uuid.bytes);
    mount.vob_uuid = UuidToText(vob_uuid);
    mount.replica_uuid = UuidToText(replica_uuid);
    mount.flags = block->flags;

    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    std::vector<CTrfsMount> existing;
    if (tbs_status_t status = SelectMounts(&db, &mount.tag, &existing)) return status;
    if (!existing.empty()) return TBS_ST_MOUNTED;
    CTrfsMount other;
    tbs_status_t overlap = FindOverlappingMount(&db, mount.mount_point, &other);
    if (overlap == TBS_ST_OK) return TBS_ST_EXISTS;
    if (overlap != TBS_ST_NOT_FOUND) return overlap;
    bool refused = false;
    if (tbs_status_t status = TakeMountFault(&db, mount.tag, &refused)) return status;
    if (refused) {
        tbs_status_t status = transaction.Commit();
        return status == TBS_ST_OK ? TBS_ST_ERR : status;
    }
    CStatement insert;
    if (tbs_status_t status = db.Prepare(
            "INSERT INTO trfs_mount (tag, storage_path, object_path, registry_path, host, "
            "vob_uuid, replica_uuid, flags, mount_point) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
            &insert))
        return status;
    const std::string* texts[] = {&mount.tag,           &mount.storage_path, &mount.object_path,
                                  &mount.registry_path, &mount.host,         &mount.vob_uuid,
                                  &mount.replica_uuid};
    for (int i = 0; i < 7; ++i) insert.BindText(i + 1, *texts[i]);
    insert.BindInt(8, mount.flags);
    insert.BindText(9, mount.mount_point);
    if (tbs_status_t status = db.StepDone(&insert, "cannot record a mount")) return status;
    if (tbs_status_t status = MakeMountPoint(mount.mount_point, mount.object_path)) return status;
    tbs_status_t status = transaction.Commit();
    if (status != TBS_ST_OK) RemoveMountPoint(mount.mount_point);
    return status;
}

tbs_status_t DeleteMount(CClientDatabase* db, const CTrfsMount& mount) {
    CStatement remove;
    if (tbs_status_t status = db->Prepare("DELETE FROM trfs_mount WHERE tag = ?1", &remove))
        return status;
    remove.BindText(1, mount.tag);
    if (tbs_status_t status = db->StepDone(&remove, "cannot remove a mount")) return status;
    return RemoveMountPoint(mount.mount_point);
}

tbs_status_t Unmount(const trfs_mfs_control_t& control) {
    const auto* data = ResolveData<trfs_unmount_data_t>(control);
    std::string tag;
    if (!data || !ResolveCountedString(data->mount_dir, &tag)) return TBS_ST_INVALID;
    tbs_uuid_t identifier;
    std::memcpy(identifier.bytes, data->vob_uuid, sizeof identifier.bytes);

    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    std::vector<CTrfsMount> mounts;
    if (tbs_status_t status = SelectMounts(&db, &tag, &mounts)) return status;
    if (mounts.empty()) return TBS_ST_NOT_FOUND;
    // The identifier names the mounted replica (or the VOB); null matches any.
    const std::string text = UuidToText(identifier);
    if (std::memcmp(&identifier, &TBS_UUID_NULL, sizeof identifier) != 0 &&
        text != mounts[0].replica_uuid && text != mounts[0].vob_uuid)
        return TBS_ST_INVALID;
    if (tbs_status_t status = DeleteMount(&db, mounts[0])) return status;
    return transaction.Commit();
}

// The first mount point that could not be taken away decides the status;
// its mount is still removed from the table.
tbs_status_t UnmountAll(trfs_mfs_control_t* control) {
    if (control->data_length != 0 || control->data != 0) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    CTransaction transaction(&db);
    if (tbs_status_t status = transaction.Begin()) return status;
    std::vector<CTrfsMount> mounts;
    if (tbs_status_t status = SelectMounts(&db, nullptr, &mounts)) return status;
    tbs_status_t first_failure = TBS_ST_OK;
    for (const CTrfsMount& mount : mounts) {
        tbs_status_t status = DeleteMount(&db, mount);
        if (status == TBS_ST_DATABASE) return status;
        if (status != TBS_ST_OK && first_failure == TBS_ST_OK) first_failure = status;
    }
    if (tbs_status_t status = transaction.Commit()) return status;
    control->status = first_failure;
    return TBS_ST_OK;
}

}  // namespace

tbs_status_t ListTrfsMounts(std::vector<CTrfsMount>* mounts) {
    mounts->clear();
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return SelectMounts(&db, nullptr, mounts);
}

tbs_status_t FindTrfsMount(const std::string& tag, CTrfsMount* mount) {
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    std::vector<CTrfsMount> mounts;
    if (tbs_status_t status = SelectMounts(&db, &tag, &mounts)) return status;
    if (mounts.empty()) return TBS_ST_NOT_FOUND;
    *mount = mounts[0];
    return TBS_ST_OK;
}

tbs_status_t FindOverlappingMount(const std::string& tag, CTrfsMount* other) {
    std::string mount_point;
    if (!TrfsMountPoint(tag, &mount_point)) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    return FindOverlappingMount(&db, mount_point, other);
}

tbs_status_t SetTrfsMountFault(const std::string& tag, int count) {
    if (count < 0) return TBS_ST_INVALID;
    CClientDatabase db;
    if (tbs_status_t status = db.Open()) return status;
    bool changed = false;
    if (count == 0) return ChangeMountFault(&db, kDeleteMountFault, tag, -1, &changed);
    return ChangeMountFault(&db,
                            "INSERT INTO trfs_mount_fault (tag, remaining) VALUES (?1, ?2)"
                            " ON CONFLICT (tag) DO UPDATE SET remaining = excluded.remaining",
                            tag, count, &changed);
}

bool TrfsMountPoint(const std::string& tag, std::string* path) {
    std::string relative;
    size_t start = 0;
    while (start < tag.size() && (tag[start] == '/' || tag[start] == '\\')) ++start;
    while (start < tag.size()) {
        size_t end = tag.find_first_of("/\\", start);
        if (end == std::string::npos) end = tag.size();
        const std::string component = tag.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        relative += "/" + component;
        start = end + 1;
        if (end == tag.size() - 1) return false;  // a trailing separator
    }
    if (relative.empty()) return false;
    *path = MountRoot() + relative;
    return true;
}

}  // namespace kelmora::client

tbs_status_t view_mfs_ioctl(trfs_mfs_control_t* control) {
    if (!control) return TBS_ST_INVALID;
    tbs_status_t status = TBS_ST_INVALID;
    switch (control->command) {
        case TRFS_MFS_MOUNT:
            status = kelmora::client::Mount(*control);
            break;
        case TRFS_MFS_UNMOUNT:
            status = kelmora::client::Unmount(*control);
            break;
        case TRFS_MFS_UNMOUNT_ALL:
            return kelmora::client::UnmountAll(control);
    }
    control->status = status;
    return status;
}
