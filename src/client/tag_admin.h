#pragma once

#include <map>
#include <string>
#include <vector>

#include "client/status.h"
#include "client/tag_registry.h"

// Administration of the tag registry, for stavetool and tests: the rgy_*
// calls only read what these create.
namespace kelmora::client {

using CRegistryKeys = std::map<int, std::string>;

tbs_status_t AddRegion(const std::string& name);
// Any entry, keys as given (none checked): tests make incomplete ones.
tbs_status_t AddRegistryEntry(int kind, const std::string& region, const CRegistryKeys& keys,
                              long long* id);
tbs_status_t RemoveRegistryEntry(long long id);

struct CVobTagRecord {
    long long id = 0;
    CRegistryKeys keys;
    // The key's text, empty when the entry lacks it.
    std::string Key(int key) const;
    bool IsPublic() const { return Key(RGY_KEY_ACCESS) == RGY_ACCESS_PUBLIC; }
};
// The VOB tags of a region (empty: the default region), oldest first.
tbs_status_t ListVobTags(const std::string& region, std::vector<CVobTagRecord>* tags);

struct CVobTagOptions {
    bool is_public = false;
    std::string mount_options;
};
// Registers tag, in the default region, for the VOB of that tag (key 16 is
// its replica's UUID) with global path storage (made absolute).
// TBS_ST_INVALID: not a valid VOB tag; TBS_ST_NOT_FOUND: no VOB of that tag;
// TBS_ST_EXISTS: the region has the tag already.
tbs_status_t CreateVobTag(const std::string& tag, const std::string& storage,
                          const CVobTagOptions& options);
// A registered tag (of any region) other than tag whose mount point is tag's
// ("\\src" and "/src"); TBS_ST_NOT_FOUND when none. CreateVobTag refuses such
// a tag with TBS_ST_EXISTS.
tbs_status_t FindTagSharingMountPoint(const std::string& tag, std::string* other);
// Removes every entry of the tag in the default region; TBS_ST_NOT_FOUND when none.
tbs_status_t RemoveVobTag(const std::string& tag);

}  // namespace kelmora::client
