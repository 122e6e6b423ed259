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

namespace kelmora {

namespace {

// A folder file that makes its folder a profile: any plain file but a lock
// file or what a killed save left behind.
bool IsProfileFile(const CDirEntry& entry) {
    return entry.is_regular_file && entry.name != kLockFileName &&
           !IsReplacementTempName(entry.name);
}

// What the walk knows of a folder before it lists it.
struct CFolderFacts {
    CEntryTimes times;
    CFileIdentity identity;
    bool has_identity = false;
};

// Builds the nodes of one tree. Works with full paths instead of changing
// the process's current directory; each folder is opened and listed once,
// through a descriptor that its subfolders are opened from.
class CTreeWalk {
public:
    explicit CTreeWalk(CTreeNodeArena* arena)
        : arena_(arena), same_ids_(geteuid() == getuid() && getegid() == getgid()) {}

    // The node of the folder at native_path (open in folder unless it could
    // not be opened), whose full path is full_path. *listed: its listing was read.
    CTreeNode* BuildNode(const std::string& full_path, const std::string& native_path,
                         const CFolder& folder, const CFolderFacts& facts, bool* listed = nullptr) {
        CTreeNode* node = arena_->Add(std::make_unique<CTreeNode>(
            full_path, std::string(), facts.times.creation_ns, facts.times.last_write_ns, 0));
        node->set_revision_stamp(CachedTreeRevision());
        if (facts.has_identity) node->set_folder_identity(facts.identity);

        // A folder that directly holds a file is a profile, and what lies
        // below a profile is not looked at: its listing is read no further
        // than that file. A link is neither a file nor a folder of the tree,
        // and is never followed.
        std::vector<CDirEntry> entries;
        bool is_profile = false;
        if (!folder.IsOpen() || !folder.ListUntil(&entries, IsProfileFile, &is_profile)) {
            if (listed) *listed = false;
            if (folder.IsOpen()) Unreadable(native_path);
            return node;
        }
        if (listed) *listed = true;
        if (is_profile) {
            if (listed) first_file_ = entries.back().name;
            node->MarkProfileNotLoaded();
            return node;
        }

        if (facts.has_identity) ancestors_.push_back(facts.identity);
        CTreeNode* last_child = nullptr;
        for (const CDirEntry& entry : entries) {
            if (!entry.is_directory || entry.name.starts_with('.')) continue;
            // A native name with a backslash has no stored form.
            if (!IsValidEntryName(entry.name)) continue;
            const std::string child_native = native_path + "/" + entry.name;
            CFolder child_folder;
            CFolderFacts child_facts;
            if (!OpenChild(folder, entry.name, child_native, &child_folder, &child_facts)) continue;
            CTreeNode* child =
                BuildNode(full_path + "\\" + entry.name, child_native, child_folder, child_facts);
            child->set_parent(node);
            if (last_child) {
                last_child->set_next_sibling(child);
            } else {
                node->set_first_child(child);
            }
            last_child = child;
        }
        if (facts.has_identity && !ancestors_.empty() && ancestors_.back() == facts.identity)
            ancestors_.pop_back();
        return node;
    }

    // The nodes on the way from the root folder down through names, each
    // folder entered as the walk enters it and listed no further than the
    // walk would: the last one's node, or null when the way leaves the tree
    // (a name that is no folder of the tree, or one below a profile).
    // *unsure: a folder on the way could not be read, or the root is a
    // profile, which only a load of the whole tree can tell about.
    CTreeNode* BuildPath(const std::string& root, const std::string& native_root,
                         const CFolder& root_folder, const std::vector<std::string>& names,
                         bool* unsure) {
        *unsure = false;
        const CFolder* folder = &root_folder;
        CFolder below;
        CFolderFacts facts = FactsOf(root_folder, native_root);
        std::string full_path = root, native_path = native_root;
        CTreeNode* parent = nullptr;
        for (size_t depth = 0;; ++depth) {
            CTreeNode* node = arena_->Add(std::make_unique<CTreeNode>(
                full_path, std::string(), facts.times.creation_ns, facts.times.last_write_ns, 0));
            if (facts.has_identity) node->set_folder_identity(facts.identity);
            if (parent) {
                node->set_parent(parent);
                parent->set_first_child(node);
            }
            std::vector<CDirEntry> entries;
            bool is_profile = false;
            if (!folder->ListUntil(&entries, IsProfileFile, &is_profile)) {
                *unsure = true;
                return nullptr;
            }
            if (is_profile) {
                node->MarkProfileNotLoaded();
                *unsure = depth == 0;
                return depth == names.size() ? node : nullptr;
            }
            if (depth == names.size()) return node;
            const std::string& name = names[depth];
            if (name.starts_with('.') || !IsValidEntryName(name)) return nullptr;
            if (facts.has_identity) ancestors_.push_back(facts.identity);
            CFolder child;
            CFolderFacts child_facts;
            if (!OpenChild(*folder, name, native_path + "/" + name, &child, &child_facts)) {
                *unsure = !unreadable_.empty();
                return nullptr;
            }
            below = std::move(child);
            folder = &below;
            facts = child_facts;
            full_path += "\\" + name;
            native_path += "/" + name;
            parent = node;
        }
    }

    // The facts of an open folder, by its descriptor; by its path where the
    // descriptor cannot tell.
    static CFolderFacts FactsOf(const CFolder& folder, const std::string& native_path) {
        CFolderFacts facts;
        if (folder.GetTimes(&facts.times, &facts.identity)) {
            facts.has_identity = true;
        } else {
            GetEntryTimes(native_path, &facts.times);
            facts.has_identity = GetFileIdentity(native_path, &facts.identity);
        }
        return facts;
    }

    // The folders that could be entered but not opened or listed, with why:
    // a tree read without them could take a profile in them for gone.
    const std::vector<std::pair<std::string, int>>& unreadable() const { return unreadable_; }
    // The file that made the walk's first folder (the root) a profile.
    const std::string& first_file() const { return first_file_; }

private:
    void Unreadable(const std::string& native_path) {
        unreadable_.emplace_back(native_path, errno);
    }

    // Opens a subfolder that the walk goes into: one the user may enter and
    // that is no link back to a folder above (that would make the walk
    // endless). False: it is left out of the tree.
    bool OpenChild(const CFolder& parent, const std::string& name, const std::string& native_path,
                   CFolder* child, CFolderFacts* facts) {
        // The open that enters the folder is the check that it can be
        // entered, where the open is made with the ids that the check would use.
        if (same_ids_ && child->OpenEnterableIn(parent, name) &&
            child->GetTimes(&facts->times, &facts->identity)) {
            facts->has_identity = true;
            if (!IsAncestor(facts->identity)) return true;
            child->Close();
            return false;
        }
        // Gone, or no folder (a link) by now: not in the tree. No permission
        // is asked again below; anything else is a folder that went unread.
        if (same_ids_ && errno != ENOSYS && errno != EACCES) {
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) Unreadable(native_path);
            child->Close();
            return false;
        }
        child->Close();
        if (!CanEnterFolder(native_path)) return false;
        if (!GetFileIdentity(native_path, &facts->identity) || IsAncestor(facts->identity))
            return false;
        facts->has_identity = true;
        GetEntryTimes(native_path, &facts->times);
        if (!child->OpenIn(parent, name)) {
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) Unreadable(native_path);
            return false;
        }
        return true;
    }

    bool IsAncestor(const CFileIdentity& identity) const {
        for (const CFileIdentity& ancestor : ancestors_) {
            if (ancestor == identity) return true;
        }
        return false;
    }

    CTreeNodeArena* arena_;
    const bool same_ids_;
    std::vector<CFileIdentity> ancestors_;
    std::vector<std::pair<std::string, int>> unreadable_;
    std::string first_file_;
};

}  // namespace

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

CTreeNode* LoadProfileTree(bool to_log) {
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
