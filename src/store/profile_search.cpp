#include "store/profile_search.h"

#include "automation/view_profile.h"
#include "platform/paths.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/settled_read.h"
#include "store/tree_load.h"

namespace kelmora {

CTreeNode* FindProfileNodeByGuid(CTreeNode* start, const std::string& guid,
                                 const GuidFileReader& read_guid_file) {
    return SearchTree(start, [&](CTreeNode& node) {
        if (node.profile_state() != ProfileState::kNotLoaded) return false;
        const std::string path = NativePathOfNode(node, ProfileFileName(kProfileGuid));
        std::string text;
        return !path.empty() && read_guid_file(path, &text) && !text.empty() &&
               GuidOfGuidFileText(text) == guid;
    });
}

std::string ProfileNameOfNode(const CTreeNode& node) {
    const std::string& root = CurrentTreeRoot();
    if (root.empty() || !node.full_path().starts_with(root)) return {};
    std::string name = node.full_path().substr(root.size());
    return IsValidProfileName(name) ? name : std::string();
}

CTreeNode* CViewProfile::FindProfileByGuid(CTreeNode* start, const std::string& guid) {
    return FindProfileNodeByGuid(start, guid, [this](const std::string& path, std::string* text) {
        return ReadProfileFile(path, text, FALSE, FALSE) != FALSE;
    });
}

BOOL CViewProfile::ProfilePathByGuid(const std::string& guid, std::string* profile_name) {
    // The tree and the GUID files as they stood at one moment.
    const bool to_log = suppress_error_display_ != FALSE;
    if (!CheckTreeRoot(to_log)) return FALSE;
    CSettledTreeRead read(to_log);
    CTreeNode* node = nullptr;
    do {
        CTreeNode* first = read.Begin() ? LoadProfileTree(to_log) : nullptr;
        if (!first) return FALSE;
        node = FindProfileByGuid(first, guid);
    } while (!read.Settled());
    read.Release();
    if (!node) return FALSE;
    // The name is cut from the root that this load used, and must name a
    // folder below it.
    std::string name = ProfileNameOfNode(*node);
    if (name.empty()) return FALSE;
    *profile_name = std::move(name);
    return TRUE;
}

}  // namespace kelmora
