#pragma once

#include <string>
#include <vector>

#include "client/database.h"
#include "client/status.h"

// Administration of VOBs, for stavetool, the other client modules and tests:
// the vob_ob_* calls only read what these create.
namespace kelmora::client {

struct CVobRecord {
    long long id = 0;  // row id, for the client's own queries
    std::string tag;
    std::string uuid;          // lower-case 8-4-4-4-12 text, like every uuid below
    std::string replica_name;  // this site's replica
    std::string replica_uuid;
    bool replicated = false;
    std::string mount_dir;
    std::string storage_path;
    tbs_status_t fault_status = TBS_ST_OK;  // see SetVobFault
    std::string fault_call;
};

struct CVobOptions {
    bool replicated = false;
    std::string replica_name;  // empty: kDefaultReplicaName
    std::string mount_dir;     // empty: the tag
};

inline constexpr char kDefaultReplicaName[] = "original";

// The library calls that a fault set with SetVobFault makes fail.
inline constexpr char kVobFaultOpen[] = "open";        // vob_ob_register_replica
inline constexpr char kVobFaultReplica[] = "replica";  // vob_ob_get_wk_obj, vob_ob_is_replicated
inline constexpr char kVobFaultCheckouts[] = "checkouts";  // vob_ob_next_ckouts
inline constexpr char kVobFaultMaster[] = "master";        // vob_obj_get_master
// The next branch or label type creation in the VOB; the fault then clears itself.
inline constexpr char kVobFaultCreate[] = "create";

// An absolute name ("/" or "\" first, at most 1023 bytes) without blanks,
// commas, quotes or control characters: VOB lists separate tags by blanks and
// commas, and the mount directory buffers hold 1024 bytes.
bool IsValidVobTag(const std::string& tag);

// A new VOB whose storage folder (made absolute, created when missing) no
// other VOB uses. TBS_ST_EXISTS for a tag or storage path in use.
tbs_status_t CreateVob(const std::string& tag, const std::string& storage,
                       const CVobOptions& options);
// The same inside the caller's transaction.
tbs_status_t CreateVob(CClientDatabase* db, const std::string& tag, const std::string& storage,
                       const CVobOptions& options);

// Looks a VOB up; TBS_ST_NOT_FOUND when there is none. The storage path is
// compared in its normalized absolute form.
tbs_status_t FindVobByTag(CClientDatabase* db, const std::string& tag, CVobRecord* vob);
tbs_status_t FindVobByUuid(CClientDatabase* db, const std::string& uuid, CVobRecord* vob);
tbs_status_t FindVobByStoragePath(CClientDatabase* db, const std::string& storage, CVobRecord* vob);
// The same, each taking the connection for itself.
tbs_status_t FindVob(const std::string& tag, CVobRecord* vob);
tbs_status_t FindVobByUuid(const std::string& uuid, CVobRecord* vob);
tbs_status_t FindVobByStoragePath(const std::string& storage, CVobRecord* vob);
// Every VOB, ordered by tag.
tbs_status_t ListVobs(std::vector<CVobRecord>* vobs);

}  // namespace kelmora::client
