#include "store/tree_edit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <unordered_set>
#include <vector>

#include "client/files.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/temp_file.h"
#include "platform/uuid.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/rules_history.h"
#include "store/tree_dir.h"
#include "store/tree_lock.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

void ShowMessage(const std::string& text, unsigned style) {
    UserInterface().MessageBox(text, style);
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

// A node for a folder name that an edit has just made in parent_folder,
// first under parent.
CTreeNode* AddNodeForNewFolder(CTreeNode* parent, const CFolder& parent_folder,
                               const std::string& name, bool profile) {
    CEntryTimes times;
    CFileIdentity identity;
    CFolder made;
    if (made.OpenIn(parent_folder, name)) made.GetTimes(&times, &identity);
    CTreeNode* node =
        AdoptTreeNode(std::make_unique<CTreeNode>(parent->full_path() + "\\" + name, std::string(),
                                                  times.creation_ns, times.last_write_ns, 0));
    node->set_revision_stamp(CachedTreeRevision());
    if (profile) node->MarkProfileNotLoaded();
    LinkAsFirstChild(parent, node);
    return node;
}

// In a folder with the sticky bit only the owner of an entry (or of the
// folder) may remove or rename it; false with EPERM otherwise.
bool MayRemoveIn(const CFolder& folder, const std::string& name) {
    const unsigned self = geteuid();
    unsigned folder_uid = 0, folder_mode = 0, uid = 0, mode = 0;
    if (self == 0 || !folder.GetOwner("", &folder_uid, &folder_mode)) return true;
    if (!(folder_mode & S_ISVTX) || folder_uid == self) return true;
    if (folder.GetOwner(name, &uid, &mode) && uid == self) return true;
    errno = EPERM;
    return false;
}

void ShowRemoveError(const std::string& native, int error) {
    ShowMessage(error == EACCES
                    ? FormatStringId(IDS_NO_PERMISSION_PROFILE, native.c_str())
                    : FormatStringId(IDS_ERR_REMOVE, native.c_str(), ErrorText(error).c_str()),
                MB_OK);
}

// One folder of a subtree on the way through it, opened relative to the
// folder above it.
struct CFolderVisit {
    CTreeNode* node = nullptr;
    std::string native;
    CFolder folder;
    std::vector<CDirEntry> entries;
    std::vector<CTreeNode*> children;
    size_t next_child = 0;
};

// Goes through the folders of top's subtree depth first, never through a
// link, with a stack instead of recursion: enter(visit) when a folder is
// open and listed, leave(visit, parent) after everything below it. A folder
// that cannot be opened or listed goes to failed(path, errno), which says
// whether to go on without it. Stops with false when any of them says so.
template <typename Enter, typename Leave, typename Failed>
bool WalkSubtreeFolders(CTreeNode* top, const std::string& top_native, const CFolder& top_parent,
                        Enter enter, Leave leave, Failed failed) {
    std::deque<CFolderVisit> stack;  // references stay valid while it grows
    auto open = [&](CTreeNode* node, std::string native, const CFolder& parent) {
        CFolderVisit visit;
        visit.node = node;
        visit.native = std::move(native);
        if (!visit.folder.OpenIn(parent, node->Name())) {
            // Gone already: nothing to remove, nothing to keep.
            return errno == ENOENT || failed(visit.native, errno);
        }
        if (!visit.folder.List(&visit.entries)) return failed(visit.native, errno);
        for (CTreeNode* child = node->first_child(); child; child = child->next_sibling()) {
            visit.children.push_back(child);
        }
        if (!enter(visit)) return false;
        stack.push_back(std::move(visit));
        return true;
    };
    if (!open(top, top_native, top_parent)) return false;
    while (!stack.empty()) {
        CFolderVisit& visit = stack.back();
        if (visit.next_child < visit.children.size()) {
            CTreeNode* child = visit.children[visit.next_child++];
            if (!open(child, visit.native + "/" + child->Name(), visit.folder)) return false;
            continue;
        }
        CFolderVisit done = std::move(stack.back());
        stack.pop_back();
        if (!leave(done, stack.empty() ? top_parent : stack.back().folder)) return false;
    }
    return true;
}

// True when the whole subtree can go: every folder holds only what the store
// knows (files, links and the lock file anywhere; in a folder, the folders of
// its child nodes; nothing else), and each folder that must be emptied or
// removed may be changed by this user. Otherwise says why and changes nothing.
bool CanRemoveSubtree(CTreeNode* top, const std::string& top_native, const CFolder& top_parent,
                      const std::string& parent_native) {
    auto refuse = [](const std::string& native, int error) {
        ShowRemoveError(native, error);
        return false;
    };
    if (!top_parent.IsWritable()) return refuse(parent_native, errno);
    if (!MayRemoveIn(top_parent, top->Name())) return refuse(top_native, errno);
    auto enter = [&](const CFolderVisit& visit) {
        std::unordered_set<std::string> child_names;
        for (const CTreeNode* child : visit.children) child_names.insert(child->Name());
        for (const CDirEntry& entry : visit.entries) {
            if (!entry.is_directory) continue;
            // A profile's own subfolders (but its Rules history) and folders
            // outside the tree are not the store's to remove.
            if (visit.node->IsProfile() ? entry.name != kRulesHistoryFolderName
                                        : !child_names.count(entry.name))
                return refuse(visit.native, ENOTEMPTY);
        }
        if (!visit.entries.empty() && !visit.folder.IsWritable())
            return refuse(visit.native, errno);
        for (const CDirEntry& entry : visit.entries) {
            if (!MayRemoveIn(visit.folder, entry.name))
                return refuse(visit.native + "/" + entry.name, errno);
        }
        return true;
    };
    auto leave = [](const CFolderVisit&, const CFolder&) { return true; };
    return WalkSubtreeFolders(top, top_native, top_parent, enter, leave, refuse);
}

enum class ERemoval { kRefused, kRemoved };

// Removes a node's folder with everything below it (not its siblings), after
// checking that all of it can go: it is first renamed aside under a hidden
// name in one step, so that the tree holds all of it or none, then removed;
// a link is removed itself, never followed. The caller holds the tree lock.
ERemoval RemoveSubtree(CTreeNode* top) {
    const std::string top_native = NativePathOfNode(*top);
    const size_t cut = top_native.rfind('/');
    if (top_native.empty() || cut == std::string::npos) return ERemoval::kRefused;
    const std::string parent_native = cut == 0 ? "/" : top_native.substr(0, cut);
    CFolder top_parent;
    std::string name;
    if (!OpenTreeParent(top->full_path(), &top_parent, &name)) {
        ShowRemoveError(top_native, errno);
        return ERemoval::kRefused;
    }
    RemoveHiddenEditLeftovers(top_parent);
    if (!CanRemoveSubtree(top, top_native, top_parent, parent_native)) return ERemoval::kRefused;
    const std::string aside = HiddenEditName(true);
    if (!top_parent.RenameEntry(name, top_parent, aside, true)) {
        ShowRemoveError(top_native, errno);
        return ERemoval::kRefused;
    }
    top_parent.Sync();
    std::string failed_at;
    if (!RemoveFolderWithContents(top_parent, aside, &failed_at)) {
        const int error = errno;
        ShowRemoveError(parent_native + "/" + failed_at, error);
    }
    return ERemoval::kRemoved;
}

// Gives every node below node the new beginning of its full path.
void RebaseDescendantPaths(CTreeNode* node, const std::string& old_prefix,
                           const std::string& new_prefix) {
    SearchTree(node->first_child(), [&](CTreeNode& n) {
        if (n.full_path().starts_with(old_prefix)) {
            n.set_full_path(new_prefix + n.full_path().substr(old_prefix.size()));
        }
        return false;
    });
}

// A name with a line end or another control character cannot stand on the
// Name line of a config spec, nor be typed or listed.
bool HasControlCharacter(const std::string& name) {
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// The names a create or copy tries, by number from 1.
std::string ProfileCandidateName(bool copying, bool same_folder, const std::string& source_name,
                                 int number) {
    if (!copying) return FormatPrintf("TBD (%d)", number);
    if (!same_folder) return source_name;
    if (number == 1) return "Copy of " + source_name;
    return FormatPrintf("Copy (%d) of %s", number, source_name.c_str());
}

}  // namespace

CTreeNode* MakeNewFolder(CTreeNode*& parent) {
    if (!TakeTreeLock(parent, false, false)) return nullptr;
    CFolder parent_folder;
    const bool opened = OpenTreeFolder(parent->full_path(), &parent_folder);
    for (int number = 1; number <= kLastNumberedName; ++number) {
        const std::string name =
            number == 1 ? std::string("New Folder") : FormatPrintf("New Folder (%d)", number);
        if (opened && parent_folder.MakeSubfolder(name)) {
            CTreeNode* node = AddNodeForNewFolder(parent, parent_folder, name, false);
            ReleaseTreeLock(true);
            return node;
        }
        if (opened && errno == EEXIST) continue;
        const int error = errno;
        ShowMessage(FormatStringId(IDS_ERR_CREATE,
                                   NativePathOfFullPath(parent->full_path() + "\\" + name).c_str(),
                                   ErrorText(error).c_str()),
                    MB_OK | MB_ICONEXCLAMATION);
        ReleaseTreeLock(false);
        return nullptr;
    }
    ReleaseTreeLock(false);
    return nullptr;
}

CTreeNode* CreateOrCopyProfile(CTreeNode*& parent, const std::optional<std::string>& source_path,
                               bool keep_guid) {
    if (!TakeTreeLock(parent, false, false)) return nullptr;
    const bool copying = source_path.has_value();
    std::string source_folder, source_name;
    if (copying) {
        const size_t cut = source_path->rfind('\\');
        source_folder = cut == std::string::npos ? std::string() : source_path->substr(0, cut);
        source_name = cut == std::string::npos ? *source_path : source_path->substr(cut + 1);
    }
    const bool same_folder = copying && source_folder == parent->full_path();

    // The new profile is made and filled under a hidden name and renamed into
    // place whole, its new GUID already written: a killed copy leaves no
    // second profile with the source's GUID. Every failure ends here: the
    // message, then whatever was made is taken back before the lock goes.
    std::string full_path =
        parent->full_path() + "\\" + ProfileCandidateName(copying, same_folder, source_name, 1);
    CFolder parent_folder;
    std::string staging;
    auto fail = [&](int error) -> CTreeNode* {
        ShowMessage(
            error == EACCES
                ? FormatStringId(IDS_NO_PERMISSION_FOLDER, NativePathOfNode(*parent).c_str())
                : FormatStringId(IDS_ERR_CREATE, NativePathOfFullPath(full_path).c_str(),
                                 ErrorText(error).c_str()),
            MB_OK);
        if (!staging.empty()) RemoveFolderWithContents(parent_folder, staging);
        ReleaseTreeLock(false);
        return nullptr;
    };
    if (!OpenTreeFolder(parent->full_path(), &parent_folder)) return fail(errno);
    RemoveHiddenEditLeftovers(parent_folder);

    std::string name;
    for (int number = 1;; ++number) {
        if (number > kLastNumberedName) {
            ReleaseTreeLock(false);
            return nullptr;
        }
        name = ProfileCandidateName(copying, same_folder, source_name, number);
        full_path = parent->full_path() + "\\" + name;
        unsigned uid = 0, mode = 0;
        if (!parent_folder.GetOwner(name, &uid, &mode)) {
            if (errno == ENOENT) break;
            return fail(errno);
        }
        if (copying && !same_folder) {
            ShowMessage(FormatStringId(IDS_PROFILE_NAME_EXISTS, source_name.c_str()),
                        MB_OK | MB_ICONEXCLAMATION);
            ReleaseTreeLock(false);
            return nullptr;
        }
    }
    staging = HiddenEditName(false);
    CFolder made;
    if (!parent_folder.MakeSubfolder(staging)) {
        staging.clear();
        return fail(errno);
    }
    if (!made.OpenIn(parent_folder, staging)) return fail(errno);

    // Links, FIFOs and devices are not copied (nor followed); they are named
    // once the lock is free.
    std::vector<std::string> left_alone;
    if (copying) {
        const std::string source_native = NativePathOfFullPath(*source_path);
        CFolder source;
        std::vector<CDirEntry> entries;
        if (!OpenTreeFolder(*source_path, &source) || !source.List(&entries)) return fail(errno);
        for (const CDirEntry& entry : entries) {
            // A killed save's leftover is no file of the profile.
            if (entry.is_directory || IsReplacementTempName(entry.name)) continue;
            const std::string from = source_native + "/" + entry.name;
            if (!entry.is_regular_file) {
                left_alone.push_back(from);
                continue;
            }
            if (CopyFileBetween(source, entry.name, made, entry.name)) continue;
            const int error = errno;
            if (error == kNotRegularFileError) {
                left_alone.push_back(from);
                continue;
            }
            // A file that vanished meanwhile is simply not copied.
            if (error != ENOENT) return fail(error);
        }
    }

    if (!keep_guid) {
        const std::string guid_path =
            NativePathOfFullPath(full_path, ProfileFileName(kProfileGuid));
        CReplacementFile replacement;
        const std::string text = FormatGuidFileText({NewUuidText(), 0, 0});
        // A GUID file that is not whole would leave a profile nobody can
        // find: the new one replaces the copied one in one step.
        if (!(replacement.PrepareIn(made, ProfileFileName(kProfileGuid), text) &&
              replacement.Commit())) {
            CFileException error;
            error.Set(errno);
            ShowMessage(OpenErrorText(error, guid_path), MB_OK | MB_ICONEXCLAMATION);
            return fail(error.os_error);
        }
    }
    made.Sync();
    if (!parent_folder.RenameEntry(staging, parent_folder, name, true)) return fail(errno);
    staging.clear();
    parent_folder.Sync();
    CTreeNode* node = AddNodeForNewFolder(parent, parent_folder, name, true);
    ReleaseTreeLock(true);
    for (const std::string& path : left_alone) {
        ShowMessage(FormatStringId(IDS_NOT_REGULAR_FILE, path.c_str()), MB_OK | MB_ICONEXCLAMATION);
    }
    return node;
}

bool RenameNode(CTreeNode*& node, const std::string& new_name) {
    if (!TakeTreeLock(node, false, false)) {
        errno = 0;
        return false;
    }
    const std::string& full_path = node->full_path();
    const std::string new_path = full_path.substr(0, full_path.rfind('\\') + 1) + new_name;
    if (new_path == full_path) {
        ReleaseTreeLock(false);
        return true;
    }
    const std::string native = NativePathOfNode(*node);
    // A separator, ".", ".." or an empty name would put the folder somewhere
    // else in (or out of) the tree; a leading dot would hide it from the tree.
    int error = EINVAL;
    CFolder parent_folder;
    std::string own_name;
    if (IsValidEntryName(new_name) && !new_name.starts_with('.') &&
        !HasControlCharacter(new_name)) {
        if (OpenTreeParent(full_path, &parent_folder, &own_name) &&
            parent_folder.RenameEntry(own_name, parent_folder, new_name, true)) {
            const std::string old_path = full_path;
            node->set_full_path(new_path);
            RebaseDescendantPaths(node, old_path + "\\", new_path + "\\");
            ReleaseTreeLock(true);
            return true;
        }
        error = errno;
    }
    ShowMessage(error == EACCES
                    ? FormatStringId(IDS_NO_PERMISSION_PROFILE, native.c_str())
                    : FormatStringId(IDS_ERR_RENAME, native.c_str(), ErrorText(error).c_str()),
                MB_OK);
    ReleaseTreeLock(false);
    errno = error;
    return false;
}

bool DeleteNode(CTreeNode*& node) {
    if (!TakeTreeLock(node, false, false)) return false;
    const ERemoval removal = RemoveSubtree(node);
    // A refused delete has changed nothing.
    ReleaseTreeLock(removal != ERemoval::kRefused);
    return removal == ERemoval::kRemoved;
}

}  // namespace kelmora
