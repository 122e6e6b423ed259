#pragma once

#include <mntent.h>

#include "kelmora/mount.h"

namespace kelmora::mount {

// Builds the mount argument block for a mount entry (file system name = VOB
// storage path, directory = VOB tag) or, with the viewroot or rviewroot
// option, for a view-root mount. 0 on success; 1 on failure, after at most
// one message, with the block partly filled.
//
// The texts the block refers to (and its pool map) belong to the library
// and stay valid until the next call, which releases them and their
// references; so do the buffers that hold the host name, the registry path
// and the extended-name suffix. Not reentrant.
int MountTrfs(const struct mntent* entry, trfs_mount_args_t* block);

}  // namespace kelmora::mount
