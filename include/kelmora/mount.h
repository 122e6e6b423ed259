#pragma once

// The VOB mount client of libkelmora.so: mount options, the mount argument
// block for the versioned file system (TRFS) driver, and the tag lookups and
// checks that other programs call. All functions have C linkage.
//
// Layout on a 64-bit platform. The driver's records are fixed by their byte
// layout, which has 4-byte pointer fields. A pointer does not fit there, so
// such a field holds a 32-bit reference instead: a number that a reference
// table inside the library resolves to the pointer (0 is null). The driver
// resolves references the same way. References are meaningful only inside
// the library that made them; a host reads the numbers and lengths of a block,
// not its texts. The static assertions below hold the layout byte for byte.
//
// Not reentrant: mount_trfs works in buffers of the library that
// the next call overwrites. Callers serialise them.

#include <mntent.h>  // struct mntent; hasmntopt is declared there
#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#ifndef KELMORA_API
#define KELMORA_API __attribute__((visibility("default")))
#endif
#else
#define KELMORA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// A 32-bit reference standing for a pointer (see above).
typedef uint32_t trfs_ref_t;

// Counted string: text, its length without and with the terminating NUL.
typedef struct trfs_cstring {
    trfs_ref_t text;
    uint32_t length;
    uint32_t size;
} trfs_cstring_t;

#define TRFS_MOUNT_ARGS_HEADER 0xF8000Cu  // block length 248 << 16 | 12

// Flags of the mount argument block.
#define TRFS_MOUNT_VOB 0x01u        // neither viewroot nor rviewroot
#define TRFS_MOUNT_VIEWROOT 0x02u   // viewroot
#define TRFS_MOUNT_SOFT 0x04u       // soft
#define TRFS_MOUNT_NOINTR 0x08u     // set unless intr
#define TRFS_MOUNT_NOAC 0x10u       // noac
#define TRFS_MOUNT_NODNLC 0x20u     // nodnlc
#define TRFS_MOUNT_RO 0x40u         // ro
#define TRFS_MOUNT_RVIEWROOT 0x80u  // rviewroot without viewroot

// The mount argument block, 248 bytes, little-endian.
typedef struct trfs_mount_args {
    uint32_t header;  // TRFS_MOUNT_ARGS_HEADER
    uint32_t flags;
    trfs_cstring_t mount_dir;  // the VOB tag
    trfs_cstring_t host;
    uint32_t hubd_port;  // view-root mounts with viewroot only
    trfs_cstring_t storage_path;
    trfs_cstring_t storage_object_path;
    trfs_cstring_t registry_path;
    uint8_t vob_uuid[16];
    uint32_t timeo;
    uint32_t retrans;
    uint32_t acregmax;
    uint32_t acregmin;
    uint32_t acdirmax;
    uint32_t acdirmin;
    trfs_cstring_t xn_suffix;  // view-root mounts
    uint8_t replica_uuid[16];
    uint32_t pool_count;
    trfs_ref_t pools;  // array of pool_count trfs_pool_entry_t
    uint32_t export_id;
    uint8_t tunables[96];  // view-root mounts
} trfs_mount_args_t;

// One pool of the pool map, 36 bytes.
typedef struct trfs_pool_entry {
    trfs_cstring_t name;
    trfs_cstring_t directory;
    trfs_cstring_t object_directory;
} trfs_pool_entry_t;

// Commands of the driver control call.
#define TRFS_MFS_MOUNT 36u
#define TRFS_MFS_UNMOUNT 37u
#define TRFS_MFS_UNMOUNT_ALL 39u

// The driver control block: eleven 32-bit words.
typedef struct trfs_mfs_control {
    uint32_t command;
    uint32_t reserved[7];
    uint32_t data_length;  // 248 mount, 28 unmount, 0 unmount all
    trfs_ref_t data;       // null for unmount all
    uint32_t status;       // set by the driver
} trfs_mfs_control_t;

// The data of an unmount, 28 bytes: the mount directory and the VOB's
// identifier (all zero when the tag has no registry entry).
typedef struct trfs_unmount_data {
    trfs_cstring_t mount_dir;
    uint8_t vob_uuid[16];
} trfs_unmount_data_t;

// A message table: messages are addressed by zero-based position; the
// numbers run from 1 to count.
typedef struct imsg_msg_table {
    const char* library;
    const char* facility;
    uint16_t facility_number;
    uint16_t count;
    const char* const* texts;
    const uint16_t* numbers;
} imsg_msg_table_t;

// hasmntopt(entry, name), declared by <mntent.h> with the same signature, is
// exported by libkelmora.so too. A program linked with the library may bind
// its calls to this one, which answers exactly as the C library's does: a
// pointer to the token "name" ("name=value") within the entry's own options,
// whatever their length, or null; reentrant.

// Fills block from a mount entry: file system name = VOB storage path,
// directory = VOB tag, options as for mount(8). flag and program_name are not
// used. 0 on success, 1 on failure (already reported).
KELMORA_API int mount_trfs(const struct mntent* entry, trfs_mount_args_t* block, int flag,
                           const char* program_name);
KELMORA_API const imsg_msg_table_t* _mount_trfs_mntrpc_msg_table_adr(void);

// Looks up a VOB tag in region (null or empty: the default region); each
// output may be null. 1002 when the tag is not registered.
KELMORA_API uint32_t mntrpc_get_tag_info(const char* tag, const char* region, const char* qualifier,
                                         int* is_public, char* path, size_t path_size,
                                         uint8_t* uuid);
// Always 0; stores 0 (no collision) through collision.
KELMORA_API uint32_t mntrpc_check_tag_collision(const char* tag, const char* region,
                                                const char* storage_path, const char* host,
                                                int* collision);
// 1 when the TRFS view root can be opened, else 0.
KELMORA_API int mntrpc_is_trfs_avail(void);
KELMORA_API int mntrpc_is_trfs_avail_sil(void);
KELMORA_API uint32_t mntrpc_umount_alltags(void);
KELMORA_API const imsg_msg_table_t* _mntrpc_mntrpc_msg_table_adr(void);

#ifdef __cplusplus
}  // extern "C"
#endif

#ifdef __cplusplus
#define KELMORA_MOUNT_STATIC_ASSERT static_assert
#else
#define KELMORA_MOUNT_STATIC_ASSERT _Static_assert
#endif
KELMORA_MOUNT_STATIC_ASSERT(sizeof(trfs_cstring_t) == 12, "counted string");
KELMORA_MOUNT_STATIC_ASSERT(sizeof(trfs_mount_args_t) == 248, "mount argument block");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, mount_dir) == 8, "mount directory");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, host) == 20, "host");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, hubd_port) == 32, "port");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, storage_path) == 36, "storage path");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, storage_object_path) == 48,
                            "storage object path");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, registry_path) == 60, "registry path");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, vob_uuid) == 72, "VOB identifier");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, timeo) == 88, "timeo");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, retrans) == 92, "retrans");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, acregmax) == 96, "acregmax");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, acregmin) == 100, "acregmin");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, acdirmax) == 104, "acdirmax");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, acdirmin) == 108, "acdirmin");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, xn_suffix) == 112, "suffix");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, replica_uuid) == 124, "replica");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, pool_count) == 140, "pool count");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, pools) == 144, "pools");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, export_id) == 148, "export ID");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mount_args_t, tunables) == 152, "tunables");
KELMORA_MOUNT_STATIC_ASSERT(sizeof(trfs_pool_entry_t) == 36, "pool map entry");
KELMORA_MOUNT_STATIC_ASSERT(sizeof(trfs_mfs_control_t) == 44, "driver control block");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mfs_control_t, data_length) == 32, "word 8");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mfs_control_t, data) == 36, "word 9");
KELMORA_MOUNT_STATIC_ASSERT(offsetof(trfs_mfs_control_t, status) == 40, "word 10");
KELMORA_MOUNT_STATIC_ASSERT(sizeof(trfs_unmount_data_t) == 28, "unmount data");
#undef KELMORA_MOUNT_STATIC_ASSERT
