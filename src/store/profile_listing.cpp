#include "store/profile_listing.h"

#include <cstring>

#include "automation/view_profile.h"
#include "platform/file.h"
#include "store/current_tree.h"
#include "store/settled_read.h"
#include "store/tree_load.h"

namespace kelmora {

namespace {

constexpr char kDescriptionFileName[] = "Description";
constexpr size_t kDescriptionBlockSize = 1024;

// The first line of a description, as the walk read its first block
// without waiting for a writer.
std::string DescriptionLine(const CTreeNode& node) {
    const CProfileFileRead* read = WalkFileRead(node, kDescriptionFileName);
    if (!read || read->cause != FileErrorCause::None) return {};
    std::string text(read->text.data(), strnlen(read->text.data(), read->text.size()));
    return text.substr(0, text.find_first_of("\r\n"));
}

void ListNodes(const CTreeNode* node, int depth, std::vector<CProfileEntry>* entries,
               std::vector<const CTreeNode*>* nodes) {
    const std::string& root = CurrentTreeRoot();
    for (; node; node = node->next_sibling()) {
        const std::string& path = node->full_path();
        CProfileEntry entry;
        entry.name = path.starts_with(root) ? path.substr(root.size()) : path;
        entry.is_profile = node->IsProfile();
        entry.depth = depth;
        entries->push_back(std::move(entry));
        nodes->push_back(node);
        ListNodes(node->first_child(), depth + 1, entries, nodes);
    }
}

}  // namespace

bool LoadAndListProfileTree(std::vector<CProfileEntry>* entries) {
    // The folders and descriptions as they stood at one moment.
    entries->clear();
    if (!CheckTreeRoot(false)) return false;
    CSettledTreeRead read(false);
    std::vector<const CTreeNode*> nodes;
    do {
        entries->clear();
        nodes.clear();
        // The walk reads the descriptions, in the folders it holds open.
        if (!read.Begin() ||
            !LoadProfileTree(false, {{kDescriptionFileName, kDescriptionBlockSize}}))
            return false;
        ListNodes(CurrentTree(), 0, entries, &nodes);
        for (size_t i = 0; i < nodes.size(); ++i)
            if ((*entries)[i].is_profile) (*entries)[i].description = DescriptionLine(*nodes[i]);
    } while (!read.Settled());
    return true;
}

bool CViewProfile::ListProfileTree(std::vector<CProfileEntry>* entries) {
    return LoadAndListProfileTree(entries);
}

}  // namespace kelmora
