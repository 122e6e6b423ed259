#include "store/tree_load.h"

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

namespace kelmora {

namespace {

// Builds the nodes of one tree. Works with full paths instead of changing
// the process's current directory, one listing per folder.
class CTreeWalk {
public:
    explicit CTreeWalk(CTreeNodeArena* arena) : arena_(arena) {}

    // The node of the folder at native_path, whose full path is full_path.
    CTreeNode* BuildNode(const std::string& full_path, const std::string& native_path) {
        CEntryTimes times;
        GetEntryTimes(native_path, &times);
        CTreeNode* node = arena_->Add(std::make_unique<CTreeNode>(
            full_path, std::string(), times.creation_ns, times.last_write_ns, 0));
        node->set_revision_stamp(CachedTreeRevision());

        std::vector<CDirEntry> entries;
        if (!ListDirectory(native_path, &entries)) return node;
        // A folder that directly holds a file (other than a lock file, or
        // what a killed save left behind) is a profile; what lies below a
        // profile is not looked at. A link is neither a file nor a folder of
        // the tree, and is never followed.
        for (const CDirEntry& entry : entries) {
            if (entry.is_regular_file && entry.name != kLockFileName &&
                !IsReplacementTempName(entry.name)) {
                node->MarkProfileNotLoaded();
                return node;
            }
        }

        CFileIdentity identity;
        if (GetFileIdentity(native_path, &identity)) ancestors_.push_back(identity);
        CTreeNode* last_child = nullptr;
        for (const CDirEntry& entry : entries) {
            if (!entry.is_directory || entry.name.starts_with('.')) continue;
            // A native name with a backslash has no stored form.
            if (!IsValidEntryName(entry.name)) continue;
            const std::string child_native = native_path + "/" + entry.name;
            if (!CanEnterFolder(child_native) || IsAncestor(child_native)) continue;
            CTreeNode* child = BuildNode(full_path + "\\" + entry.name, child_native);
            child->set_parent(node);
            if (last_child) {
                last_child->set_next_sibling(child);
            } else {
                node->set_first_child(child);
            }
            last_child = child;
        }
        if (!ancestors_.empty() && ancestors_.back() == identity) ancestors_.pop_back();
        return node;
    }

private:
    // A link back to a folder above would make the walk endless.
    bool IsAncestor(const std::string& native_path) const {
        CFileIdentity identity;
        if (!GetFileIdentity(native_path, &identity)) return true;
        for (const CFileIdentity& ancestor : ancestors_) {
            if (ancestor == identity) return true;
        }
        return false;
    }

    CTreeNodeArena* arena_;
    std::vector<CFileIdentity> ancestors_;
};

}  // namespace

CTreeNode* LoadProfileTree(bool to_log) {
    const std::string root = ReadTreeRootSetting();
    SetCurrentTreeRoot(root);
    if (root.empty()) {
        ReportStoreError(LoadString(IDS_TREE_ROOT_NOT_SET), to_log, MB_ICONSTOP);
        return nullptr;
    }
    const std::string native_root = NativePathOfFullPath(root);
    std::vector<CDirEntry> entries;
    if (!ListDirectory(native_root, &entries)) {
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
    CTreeNode* root_node = CTreeWalk(&arena).BuildNode(root, native_root);
    // A preview or a read-only look makes no folder: the empty tree holds no profile.
    if (!root_node->first_child() && !ActivePreview()) {
        const std::string top_folder =
            NativePathOfFullPath(FormatPrintf("%s\\%s", root.c_str(), kTopLevelFolderName));
        if (unix_nt_mkdir(top_folder.c_str(), 0) != 0) {
            ReportStoreError(
                FormatStringId(IDS_ERR_CREATE_TOP_FOLDER, top_folder.c_str(), std::strerror(errno)),
                to_log);
            ReleaseTreeLock(false);
            return nullptr;
        }
        arena = CTreeNodeArena();
        root_node = CTreeWalk(&arena).BuildNode(root, native_root);
    }
    ReleaseTreeLock(false);

    CTreeNode* first = root_node->first_child();
    for (CTreeNode* top = first; top; top = top->next_sibling()) top->set_parent(nullptr);
    ReplaceCurrentTree(first, std::move(arena));
    return first;
}

}  // namespace kelmora
