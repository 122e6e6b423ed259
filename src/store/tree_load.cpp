#include "store/tree_load.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
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
#include "store/store_reporter.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "store/tree_walk.h"

namespace kelmora {

CTreeNode* LoadProfileTree(bool to_log) {
    const std::string root = ReadTreeRootSetting();
    SetCurrentTreeRoot(root);
    if (root.empty()) {
        ReportStoreError(LoadString(IDS_TREE_ROOT_NOT_SET), to_log, MB_ICONSTOP);
        return nullptr;
    }
    const std::string native_root = NativePathOfFullPath(root);
    // Opened here and listed under the lock, once.
    CFolder root_folder;
    if (!root_folder.Open(native_root)) {
        ReportStoreError(FormatStringId(IDS_TREE_NOT_FOUND, root.c_str()), to_log);
        return nullptr;
    }
    // The root of the whole name space has no private folder around the tree.
    if (IsNameSpaceRoot(native_root)) {
        ReportStoreError(FormatStringId(IDS_TREE_ROOT_IS_DRIVE_ROOT, root.c_str()), to_log);
        return nullptr;
    }
    if (!TakeTreeLock(TreeLockStart::kForgetRevision, true, to_log)) return nullptr;

    CTreeNodeArena arena;
    bool listed = false;
    CTreeWalk walk(&arena);
    CTreeNode* root_node = walk.BuildNode(root, native_root, root_folder,
                                          CTreeWalk::FactsOf(root_folder, native_root), &listed);
    if (!listed) {
        ReleaseTreeLock(false);
        ReportStoreError(FormatStringId(IDS_TREE_NOT_FOUND, root.c_str()), to_log);
        return nullptr;
    }
    if (!walk.unreadable().empty()) {
        ReleaseTreeLock(false);
        for (const auto& [path, error] : walk.unreadable())
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
                                                  walk.first_file().c_str())
                                 : FormatStringId(IDS_ERR_CREATE_TOP_FOLDER, top_folder.c_str(),
                                                  std::strerror(errno)),
                             to_log);
            ReleaseTreeLock(false);
            return nullptr;
        }
        arena = CTreeNodeArena();
        root_node = CTreeWalk(&arena).BuildNode(root, native_root, root_folder,
                                                CTreeWalk::FactsOf(root_folder, native_root));
    }
    ReleaseTreeLock(false);

    CTreeNode* first = root_node->first_child();
    for (CTreeNode* top = first; top; top = top->next_sibling()) top->set_parent(nullptr);
    ReplaceCurrentTree(first, std::move(arena));
    return first;
}

}  // namespace kelmora
