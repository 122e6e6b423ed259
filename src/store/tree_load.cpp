#include "store/tree_load.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "client/files.h"
#include "client/preview.h"
#include "platform/format.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/temp_file.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/settled_read.h"
#include "store/store_reporter.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "store/tree_walk.h"

namespace kelmora {

namespace {

// Reads the tree root setting into the current tree root and opens the root
// folder, saying why when there is no tree to read there.
bool OpenTreeRoot(bool to_log, std::string* native_root, CFolder* root_folder) {
    const std::string root = ReadTreeRootSetting();
    SetCurrentTreeRoot(root);
    if (root.empty()) {
        ReportStoreError(LoadString(IDS_TREE_ROOT_NOT_SET), to_log, MB_ICONSTOP);
        return false;
    }
    *native_root = NativePathOfFullPath(root);
    if (!root_folder->Open(*native_root)) {
        ReportStoreError(FormatStringId(IDS_TREE_NOT_FOUND, root.c_str()), to_log);
        return false;
    }
    // The root of the whole name space has no private folder around the tree.
    if (IsNameSpaceRoot(*native_root)) {
        ReportStoreError(FormatStringId(IDS_TREE_ROOT_IS_DRIVE_ROOT, root.c_str()), to_log);
        return false;
    }
    return true;
}

}  // namespace

bool CheckTreeRoot(bool to_log) {
    std::string native_root;
    CFolder root_folder;
    return OpenTreeRoot(to_log, &native_root, &root_folder);
}

CTreeNode* LoadProfileTreePath(const std::string& full_path, ETreePath* outcome) {
    *outcome = ETreePath::kUnsure;
    const std::string& root = CurrentTreeRoot();
    const std::string native_root = NativePathOfFullPath(root);
    CFolder root_folder;
    if (root.empty() || !full_path.starts_with(root) || !root_folder.Open(native_root))
        return nullptr;
    const std::string below = full_path.substr(root.size());
    if (!IsValidProfileName(below)) {
        *outcome = ETreePath::kNotInTree;
        return nullptr;
    }
    std::vector<std::string> names;
    for (size_t start = 1; start <= below.size();) {
        const size_t end = std::min(below.find('\\', start), below.size());
        names.push_back(below.substr(start, end - start));
        start = end + 1;
    }
    // Read without the lock file: whoever uses the node checks it again
    // when it reads or changes it.
    CTreeNodeArena arena;
    bool unsure = false;
    CTreeNode* node = CTreeWalk(&arena).BuildPath(root, native_root, root_folder, names, &unsure);
    *outcome = node ? ETreePath::kFound : unsure ? ETreePath::kUnsure : ETreePath::kNotInTree;
    if (!node) return nullptr;
    CTreeNode* first = node;
    while (first->parent()->parent()) first = first->parent();
    first->set_parent(nullptr);
    ReplaceCurrentTree(first, std::move(arena));
    SetCachedTreeRevision(-1);
    return node;
}

CTreeNode* AdoptKnownProfile(const std::string& full_path, const CFileIdentity* identity) {
    CTreeNodeArena arena;
    CTreeNode* node = arena.Add(std::make_unique<CTreeNode>(full_path, std::string(), 0, 0));
    if (identity) node->set_folder_identity(*identity);
    node->MarkProfileNotLoaded();
    ReplaceCurrentTree(node, std::move(arena));
    SetCachedTreeRevision(-1);
    return node;
}

CTreeNode* LoadProfileTree(bool to_log, const std::vector<CProfileFileToRead>& read_in_profiles,
                           const ProfileReadsMatch& stop_at) {
    std::string native_root;
    // Opened here and listed once per pass.
    CFolder root_folder;
    if (!OpenTreeRoot(to_log, &native_root, &root_folder)) return nullptr;
    const std::string& root = CurrentTreeRoot();
    // The walk keeps no writer out: it reads again when a change met it.
    CSettledTreeRead read(to_log);
    CTreeNodeArena arena;
    std::optional<CTreeWalk> walk;
    CTreeNode* root_node = nullptr;
    bool listed = false;
    for (bool with_lock = false;;) {
        if (!read.Begin(with_lock)) return nullptr;
        arena = CTreeNodeArena();
        walk.emplace(&arena);
        walk->ReadInEachProfile(read_in_profiles);
        walk->StopReadingAtFirst(stop_at);
        root_node = walk->BuildNode(root, native_root, root_folder,
                                    CTreeWalk::FactsOf(root_folder, native_root), &listed);
        if (!read.Settled()) continue;
        // An empty root gets its top-level folder under the lock.
        with_lock = listed && walk->unreadable().empty() && !root_node->first_child() &&
                    !ActivePreview() && !read.locked() && !read.nested();
        if (!with_lock) break;
    }
    if (!listed) {
        read.Release();
        ReportStoreError(FormatStringId(IDS_TREE_NOT_FOUND, root.c_str()), to_log);
        return nullptr;
    }
    if (!walk->unreadable().empty()) {
        read.Release();
        for (const auto& [path, error] : walk->unreadable())
            ReportStoreError(
                FormatStringId(IDS_ERR_READ_TREE_FOLDER, path.c_str(), std::strerror(error)),
                to_log);
        return nullptr;
    }
    // A preview or a read-only look makes no folder: the empty tree holds no profile.
    if (!root_node->first_child() && !ActivePreview()) {
        const std::string top_folder =
            NativePathOfFullPath(FormatPrintf("%s\\%s", root.c_str(), kTopLevelFolderName));
        if (unix_nt_mkdir(top_folder.c_str(), 0) != 0) {
            // A file in the root makes all of it one profile: say which file.
            ReportStoreError(root_node->IsProfile() && errno == EEXIST
                                 ? FormatStringId(IDS_TREE_ROOT_HOLDS_FILE, root.c_str(),
                                                  walk->first_file().c_str())
                                 : FormatStringId(IDS_ERR_CREATE_TOP_FOLDER, top_folder.c_str(),
                                                  std::strerror(errno)),
                             to_log);
            read.Release();
            return nullptr;
        }
        arena = CTreeNodeArena();
        root_node = CTreeWalk(&arena).BuildNode(root, native_root, root_folder,
                                                CTreeWalk::FactsOf(root_folder, native_root));
    }
    read.Release();

    CTreeNode* first = root_node->first_child();
    for (CTreeNode* top = first; top; top = top->next_sibling()) top->set_parent(nullptr);
    ReplaceCurrentTree(first, std::move(arena));
    return first;
}

}  // namespace kelmora
