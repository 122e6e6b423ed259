#include "store/tree_dir.h"

#include <cerrno>
#include <vector>

#include "platform/paths.h"
#include "platform/temp_file.h"
#include "store/current_tree.h"

namespace kelmora {

namespace {

constexpr std::string_view kMakingPrefix = ".kelmora-making-";
constexpr std::string_view kRemovingPrefix = ".kelmora-removing-";

// The node's path below the root with '/' between the names; false when the
// path does not lie below the root or holds no valid name.
bool RelativePath(std::string_view full_path, std::string* relative) {
    const std::string& root = CurrentTreeRoot();
    relative->clear();
    if (root.empty() || !full_path.starts_with(root)) return false;
    const std::string_view below = full_path.substr(root.size());
    if (below.empty()) return true;
    if (!IsValidProfileName(below)) return false;
    for (char c : below.substr(1)) *relative += c == '\\' ? '/' : c;
    return true;
}

}  // namespace

bool OpenTreeRootFolder(CFolder* root) {
    const std::string native = NativePathOfFullPath(CurrentTreeRoot());
    if (native.empty()) {
        errno = ENOENT;
        return false;
    }
    return root->Open(native);
}

bool OpenTreeFolder(std::string_view full_path, CFolder* folder) {
    std::string relative;
    CFolder root;
    if (!RelativePath(full_path, &relative)) {
        errno = EINVAL;
        return false;
    }
    if (relative.empty()) return OpenTreeRootFolder(folder);
    const std::string native = NativePathOfFullPath(CurrentTreeRoot());
    return root.Open(native, true) && folder->OpenBeneath(root, relative);
}

bool OpenTreeParent(std::string_view full_path, CFolder* parent, std::string* name) {
    const size_t cut = full_path.rfind('\\');
    if (cut == std::string_view::npos || full_path.size() <= CurrentTreeRoot().size()) {
        errno = EINVAL;
        return false;
    }
    *name = std::string(full_path.substr(cut + 1));
    return OpenTreeFolder(full_path.substr(0, cut), parent);
}

std::string HiddenEditName(bool removing) {
    return std::string(removing ? kRemovingPrefix : kMakingPrefix) + RandomNameEnd();
}

bool IsHiddenEditName(std::string_view name) {
    for (std::string_view prefix : {kMakingPrefix, kRemovingPrefix}) {
        if (name.starts_with(prefix)) return IsRandomNameEnd(name.substr(prefix.size()));
    }
    return false;
}

void RemoveHiddenEditLeftovers(const CFolder& folder) {
    std::vector<CDirEntry> entries;
    if (!folder.List(&entries)) return;
    for (const CDirEntry& entry : entries) {
        if (entry.is_directory && IsHiddenEditName(entry.name))
            RemoveFolderWithContents(folder, entry.name);
    }
}

}  // namespace kelmora
