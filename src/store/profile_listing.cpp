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

void ListNodes(const CTreeNode* node, int depth, std::vector<CProfileEntry>* entries) {
    const std::string& root = CurrentTreeRoot();
    for (; node; node = node->next_sibling()) {
        const std::string& path = node->full_path();
        CProfileEntry entry;
        entry.name = path.starts_with(root) ? path.substr(root.size()) : path;
        entry.is_profile = node->IsProfile();
        if (entry.is_profile) entry.description = DescriptionLine(*node);
        entry.depth = depth;
        entries->push_back(std::move(entry));
        ListNodes(node->first_child(), depth + 1, entries);
    }
}

}  // namespace

bool LoadAndListProfileTree(std::vector<CProfileEntry>* entries) {
    // The folders and descriptions as they stood at one moment.
    entries->clear();
    if (!CheckTreeRoot(false)) return false;
    CSettledTreeRead read(false);
    do {
        entries->clear();
        if (!read.Begin() || !LoadProfileTree(false)) return false;
        ListNodes(CurrentTree(), 0, entries);
    } while (!read.Settled());
    return true;
}

bool CViewProfile::ListProfileTree(std::vector<CProfileEntry>* entries) {
    return LoadAndListProfileTree(entries);
}

}  // namespace kelmora
