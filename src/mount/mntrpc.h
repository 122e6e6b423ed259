#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "client/status.h"
#include "client/tag_registry.h"

// Mounting and unmounting VOBs by tag, through the tag registry and the
// file system driver. Messages go through imsg_print with the mntrpc table.

// Mounts the VOB of tag; with " -a " in flags, every public tag without the
// noauto option instead. options replace the registry's when the caller is
// privileged and they are not empty.
tbs_status_t mntrpc_mount_tag(const char* tag, const char* options, const char* flags);
// Unmounts the VOB of tag; with " -a " in flags, every mounted VOB.
tbs_status_t mntrpc_umount_tag(const char* tag, const char* flags);

// One registry entry: TBS_ST_MOUNTED when it is mounted already.
tbs_status_t mntrpc_mount1_tag(const char* options, rgy_entry_t entry, const char* region);
tbs_status_t mntrpc_umount1_tag(rgy_entry_t entry, const char* region);
// A mounted VOB whose tag has no registry entry, by its path name.
tbs_status_t mntrpc_umount1_tag_noent(const char* pname);

// What libkelmora.so exports (kelmora/mount.h) over these.
namespace kelmora::mount {

// The option text that one entry is mounted with: "uuid=UUID" and the
// options (the requested ones when the caller is privileged, else the
// entry's, with nosuid added for a private tag that names no suid option).
tbs_status_t ComposeMountOptions(const char* requested, rgy_entry_t entry, bool is_public,
                                 const char* uuid, const char* tag, const char* region,
                                 std::string* text);

tbs_status_t GetTagInfo(const char* tag, const char* region, const char* qualifier, int* is_public,
                        char* path, size_t path_size, uint8_t* uuid);
tbs_status_t CheckTagCollision(int* collision);
bool IsTrfsAvailable(bool silent);
tbs_status_t UnmountAllTags();

}  // namespace kelmora::mount
