#pragma once

#include <string>
#include <vector>

#include "client/status.h"
#include "kelmora/mount.h"

// The versioned file system driver, reached through the view library's
// control call. It keeps a mount table in the client database; a mounted
// VOB is seen at its mount point under $KELMORA_HOME/vobs/ (the tag without
// its leading separator), a symbolic link to the VOB's storage folder.
//
// Commands: TRFS_MFS_MOUNT checks the mount argument block (header, flags,
// every string resolvable, the storage folder present), refuses a mount
// point that is, holds or lies in one in use (TBS_ST_EXISTS), records the
// mount and makes the link, opening the folders on the way without following
// links; TRFS_MFS_UNMOUNT removes one by tag (and identifier, unless null);
// TRFS_MFS_UNMOUNT_ALL removes all and leaves its status in the status word.
// The result is the command's status, also stored in the status word.
// A mount fault (SetTrfsMountFault) refuses a mount of a block that is sound.
// The driver serves VOB mounts only; view-root blocks are TBS_ST_INVALID.
tbs_status_t view_mfs_ioctl(trfs_mfs_control_t* control);

namespace kelmora::client {

struct CTrfsMount {
    std::string tag;
    std::string storage_path;
    std::string object_path;
    std::string registry_path;
    std::string host;
    std::string vob_uuid;
    std::string replica_uuid;
    uint32_t flags = 0;
    std::string mount_point;
};

// Ordered by tag.
tbs_status_t ListTrfsMounts(std::vector<CTrfsMount>* mounts);
// TBS_ST_NOT_FOUND when the tag is not mounted.
tbs_status_t FindTrfsMount(const std::string& tag, CTrfsMount* mount);

// The mounted tag whose mount point is tag's, or lies below or above it
// (TBS_ST_NOT_FOUND: none). The driver refuses such a mount (TBS_ST_EXISTS):
// one mount point never lies inside another VOB's storage.
tbs_status_t FindOverlappingMount(const std::string& tag, CTrfsMount* other);

// The next count mounts of tag fail with TBS_ST_ERR, as a driver that
// cannot reach the VOB's server would; count 0 takes the fault away. The
// mounts refused are counted across processes.
tbs_status_t SetTrfsMountFault(const std::string& tag, int count);

// Where a VOB tag is mounted; false for a tag that names no place below the
// mount root (an empty, "." or ".." component).
bool TrfsMountPoint(const std::string& tag, std::string* path);

}  // namespace kelmora::client
