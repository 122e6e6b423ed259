#pragma once

#include "kelmora/mount.h"

// The mount client's two message tables, addressed by zero-based position.
namespace kelmora::mount {

const imsg_msg_table_t* MountTrfsMessageTable();
const imsg_msg_table_t* MntrpcMessageTable();

// Positions in the mount_trfs table that the library prints.
enum MountTrfsMessage : int {
    kObsoleteViewRootOptions = 11,
    kNoHubdPort = 13,
    kBadUuidOption = 14,
    kVobNotResponding = 15,
    kNoVobIdentifier = 16,
    kBadNumericOption = 17,
};

// Positions in the mntrpc table that the library and stavetool print.
enum MntrpcMessage : int {
    kMountPermission = 0,
    kPublicTagNeedsPrivilege = 4,
    kCannotCreateTagEntry = 6,
    kTagExists = 9,
    kWithinRegion = 10,
    kUnableToRemoveTag = 12,
    kDuplicateTag = 13,
    kDuplicateTagWhere = 14,
    kCannotCreateTag = 15,
    kMissingKey = 18,
    kNoGlobalPath = 19,
    kNotRegistered = 20,
    kStorageNotFound = 22,
    kRegistryInfoFailed = 27,
    kTagsMustBeAbsolute = 29,
    kAlreadyMounted = 30,
    kNotMounted = 31,
    kStillMounted = 32,
    kOptionsTooLong = 33,
    kMounting = 34,
    kUnmounting = 35,
    kNotADirectory = 37,
    kUnableToMount = 54,
    kUnableToUnmount = 55,
    kInvalidTag = 61,
    kTagCollision = 62,
    kTagIsStorage = 63,
};

}  // namespace kelmora::mount
