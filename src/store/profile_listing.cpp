#include "store/profile_listing.h"

#include <cstring>

#include "automation/view_profile.h"
#include "platform/file.h"
#include "platform/request_pool.h"
#include "store/current_tree.h"
#include "store/requests_in_flight.h"
#include "store/settled_read.h"
#include "store/tree_load.h"

namespace kelmora {

namespace {

constexpr char kDescriptionFileName[] = "Description";
constexpr size_t kDescriptionBlockSize = 1024;

// The first line of a description, read once without waiting for a writer.
std::string DescriptionLine(const CTreeNode& node) {
    CFile file;
    CFileException error;
    if (!file.Open(NativePathOfNode(node, kDescriptionFileName), FileAccess::Read,
                   FileShare::DenyWrite, FileCreate::OpenExisting, &error, FileKind::RegularOnly))
        return {};
    char block[kDescriptionBlockSize];
    const long count = file.Read(block, sizeof block, &error);
    if (count <= 0) return {};
    std::string text(block, strnlen(block, static_cast<size_t>(count)));
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
        if (!read.Begin() || !LoadProfileTree(false)) return false;
        ListNodes(CurrentTree(), 0, entries, &nodes);
        // The descriptions are read with requests in flight.
        ReadInOrder(
            nodes.size(), RequestsInFlight(),
            [&](size_t i) {
                if ((*entries)[i].is_profile)
                    (*entries)[i].description = DescriptionLine(*nodes[i]);
            },
            [](size_t) { return true; });
    } while (!read.Settled());
    return true;
}

bool CViewProfile::ListProfileTree(std::vector<CProfileEntry>* entries) {
    return LoadAndListProfileTree(entries);
}

}  // namespace kelmora
