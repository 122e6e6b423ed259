#pragma once

// What the fuzz targets that work on real files share: a scratch folder of
// their own (in /dev/shm when there is one, so that a run is not bound by the
// disk) holding $KELMORA_HOME and a View Profile tree named by the machine's
// ProjectRoot setting, with one profile, a registered VOB and a dynamic view
// associated with the profile. Made once per process and removed at its exit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelmora::fuzz {

class CFuzzSite {
public:
    static CFuzzSite& Get();

    // A path of that name in the scratch folder.
    std::string Scratch(const std::string& name) const { return folder_ + "/" + name; }
    const std::string& tree_root() const { return tree_root_; }
    // "\Stavemark View Profiles\Proj"; its folder, its GUID and its Rules text.
    const std::string& profile_name() const { return profile_name_; }
    std::string ProfileFile(const std::string& name) const;
    const std::string& profile_guid() const { return profile_guid_; }
    const std::string& rules() const { return rules_; }
    const std::string& view_tag() const { return view_tag_; }
    const std::string& vob_tag() const { return vob_tag_; }
    const std::string& vob_storage() const { return vob_storage_; }
    const std::string& vob_replica_uuid() const { return vob_replica_uuid_; }

    // A config spec of the view as composed from the profile.
    std::string AssociatedConfigSpec() const;
    // Stores text as the view's config spec byte for byte, as another client
    // might have left it, whether it parses or not.
    void SetViewConfigSpec(std::string_view text) const;
    void WriteFile(const std::string& path, std::string_view text) const;

    ~CFuzzSite();

private:
    CFuzzSite();

    std::string folder_, tree_root_, profile_name_, profile_guid_, rules_, view_tag_;
    std::string vob_tag_, vob_storage_, vob_replica_uuid_;
};

// The profile's Rules file with these private and profile rules.
std::string RulesText(const std::string& private_rules, const std::string& profile_rules);

// Splits fuzz input at NUL bytes into at most count parts; missing ones are empty.
std::string Part(const uint8_t* data, size_t size, size_t index);

}  // namespace kelmora::fuzz
