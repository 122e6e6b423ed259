#include "mount/message_tables.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace kelmora::mount {

namespace {

// The tables are shared with programs of the mount service, which print the
// messages that this library does not.
constexpr const char* kMountTrfsTexts[] = {
    "Usage: %s [-r] [-o opts] vob_pname dir\n",
    "Usage: %s M debug hostname object stub options\n",
    "       %s U debug hostname object stub options\n",
    "Usage: %s [-r] [-F flags] [-o opts] vob_pname dir\n",
    "type must be %s\n",
    "Unknown request op \"%s\"\n",
    "Unable to determine TRFS file system type\n",
    "Unable to determine TRFS file system type: %s\n",
    "unable to stat mount point '%s'\n",
    "unable to open mount table\n",
    "Unable to create %s: %s\n",
    "obsolete use of viewroot mount retry/timeout options - options ignored\n",
    "Unable to get hostinfo for '%s'\n",
    "Unable to get hubd port number\n",
    "uuid option value is not valid\n",
    "VOB %s is not responding\n",
    "unable to determine VOB identifier\n",
    "bad numeric option '%s'\n",
    "kernel namelist error\n",
    "%d symbols not found in kernel '%s': ",
    "can't read maximum number of file system types\n",
    "TRFS not listed in VFS switch table\n",
    "size = %d, vmt_length = %d\n",
    "mntctl size query: %s\n",
    ("Cannot mount VOB %s with export ID value %d\n(too large for this architecture?), trying to "
     "mount without an export ID.\n"),
    "Usage: %s [-r] [-F flags] [-o opts] %s vob_pname dir\n",
    "Usage: %s [-r] [-o opts] %s vob_pname dir\n",
    "Error formatting %s entry: %s\n",
    "socket: %s (%d)\n",
};

constexpr const char* kMntrpcTexts[] = {
    "Permission to mount the VOB tag \"%s\"\n",
    "An error occurred mounting.\n",
    "Permission to unmount the VOB tag \"%s\"\n",
    "An error occurred unmounting.\n",
    "Creating a public VOB tag requires super-user privileges.\n",
    "Permission to create the VOB tag \"%s\"\n",
    "Unable to create a new VOB tag entry for \"%s\":%s\n",
    "Unable to add all keys to entry for VOB tag \"%s\":%s\n",
    "Unable to add a VOB tag entry for \"%s\":%s\n",
    "A VOB tag already exists for \"%s\"\n",
    "within the \"%s\" region.\n",
    "Permission to remove the VOB tag \"%s\"\n",
    "Unable to remove the VOB tag entry for \"%s\":%s\n",
    "An unexpected duplicate VOB tag was found\n",
    "for \"%s\" within the \"%s\" region.\n",
    "Unable to create the VOB tag \"%s\"\n",
    "The VOB \"%s\" already has a VOB\n",
    "tag \"%s\" within the \"%s\" region.\n",
    "VOB tag entry does not contain a required key.\n",
    "The VOB tag entry for \"%s\" does not contain a global path.\n",
    "%s is not a registered VOB tag.\n",
    "The mount-over directory \"%s\" was not found.\n",
    "The VOB storage directory \"%s\" was not found.\n",
    "requires ownership of the VOB storage directory \"%s\"\n",
    "requires ownership of the VOB tag directory.\n",
    "Refer to the log file \"%s\"\n",
    "for more information on the warning or failure.\n",
    "Unable to get VOB tag registry information for tag \"%s\":%s.\n",
    "Unable to get VOB tag registry information:%s.\n",
    "VOB tags must be absolute pathnames.\n",
    "%s is already mounted.\n",
    "%s is not currently mounted.\n",
    "%s is still mounted.  Please unmount it first.\n",
    "mount options \"%s\" are too long\n",
    "Mounting TRFS filesystem %s.\n",
    "Unmounting TRFS filesystem %s.\n",
    "Unmounting all TRFS filesystems.\n",
    "was denied. \"%s\" is not a directory.\n",
    "Accept failed: %s\n",
    "cannot create fd service.\n",
    "unable to register mntrpc service\n",
    "Mntrpc server received sighup.\n",
    "mntrpc_server: [-d]\n",
    "hubd_get_handle failed: %s\n",
    "Socket failed: %s\n",
    "Bind failed: %s\n",
    "Getsockname failed: %s\n",
    "Listen failed: %s\n",
    "rt_handle_fd failed\n",
    "rt_handle_fdset failed\n",
    "rt_sched of client_connect_timeout failed \n",
    "Unable to find hubd_server.\n",
    "hubd_find_server:%s\n",
    "Unable to create handle to the mount server%s\n",
    "Unable to mount: %s\n",
    "Unable to unmount: %s\n",
    "Region '%s' has no free VOB export ID numbers\n",
    "Unable to create a handle to the admin server: %s\n",
    "Unable to open the \"%s\" log file via the admin server: %s\n",
    "Unable to position the \"%s\" log file via the admin server: %s\n",
    "Unable to get log entries via the admin server: %s\n",
    "Invalid VOB tag: \"%s\".\n",
    "\"%s\" would collide with existing VOB tag \"%s\".\n",
    "VOB tag and VOB storage path must not refer to the same location.\n",
};

static_assert(std::size(kMountTrfsTexts) == 29);
static_assert(std::size(kMntrpcTexts) == 64);

template <size_t Count>
struct CNumbers {
    uint16_t values[Count];
    constexpr CNumbers() : values() {
        for (size_t i = 0; i < Count; ++i) values[i] = static_cast<uint16_t>(i + 1);
    }
};

constexpr CNumbers<std::size(kMountTrfsTexts)> kMountTrfsNumbers;
constexpr CNumbers<std::size(kMntrpcTexts)> kMntrpcNumbers;

constexpr imsg_msg_table_t kMountTrfsTable = {"mntrpc_lib",
                                              "mount_trfs",
                                              2,
                                              std::size(kMountTrfsTexts),
                                              kMountTrfsTexts,
                                              kMountTrfsNumbers.values};
constexpr imsg_msg_table_t kMntrpcTable = {
    "mntrpc_lib", "mntrpc", 99, std::size(kMntrpcTexts), kMntrpcTexts, kMntrpcNumbers.values};

}  // namespace

const imsg_msg_table_t* MountTrfsMessageTable() {
    return &kMountTrfsTable;
}

const imsg_msg_table_t* MntrpcMessageTable() {
    return &kMntrpcTable;
}

}  // namespace kelmora::mount
