#include "store/tree_edit.h"

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

// mkdir of a node's folder; errno tells why it failed.
bool MakeFolderOfPath(const std::string& full_path) {
    const std::string native = NativePathOfFullPath(full_path);
    if (native.empty()) {
        errno = EINVAL;
        return false;
    }
    return unix_nt_mkdir(native.c_str(), 0) == 0;
}

// A node for a folder that an edit has just made, first under parent.
CTreeNode* AddNodeForNewFolder(CTreeNode* parent, const std::string& full_path, bool profile) {
    CEntryTimes times;
    GetEntryTimes(NativePathOfFullPath(full_path), &times);
    CTreeNode* node = AdoptTreeNode(std::make_unique<CTreeNode>(
        full_path, std::string(), times.creation_ns, times.last_write_ns, 0));
    node->set_revision_stamp(CachedTreeRevision());
    if (profile) node->MarkProfileNotLoaded();
    LinkAsFirstChild(parent, node);
    return node;
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
    auto enter = [&](const CFolderVisit& visit) {
        std::unordered_set<std::string> child_names;
        for (const CTreeNode* child : visit.children) child_names.insert(child->Name());
        for (const CDirEntry& entry : visit.entries) {
            if (!entry.is_directory) continue;
            // A profile's own subfolders and folders outside the tree are not
            // the store's to remove.
            if (visit.node->IsProfile() || !child_names.count(entry.name))
                return refuse(visit.native, ENOTEMPTY);
        }
        if (!visit.entries.empty() && !visit.folder.IsWritable())
            return refuse(visit.native, errno);
        return true;
    };
    auto leave = [](const CFolderVisit&, const CFolder&) { return true; };
    return WalkSubtreeFolders(top, top_native, top_parent, enter, leave, refuse);
}

enum class ERemoval { kRefused, kIncomplete, kRemoved };

// Removes a node's folder with everything below it (not its siblings), after
// checking that all of it can go; a link is removed itself, never followed.
// The caller holds the tree lock.
ERemoval RemoveSubtree(CTreeNode* top) {
    const std::string top_native = NativePathOfNode(*top);
    const size_t cut = top_native.rfind('/');
    if (top_native.empty() || cut == std::string::npos) return ERemoval::kRefused;
    const std::string parent_native = cut == 0 ? "/" : top_native.substr(0, cut);
    CFolder top_parent;
    if (!top_parent.Open(parent_native)) {
        ShowRemoveError(parent_native, errno);
        return ERemoval::kRefused;
    }
    if (!CanRemoveSubtree(top, top_native, top_parent, parent_native)) return ERemoval::kRefused;

    bool top_removed = false;
    auto enter = [](const CFolderVisit& visit) {
        // Failures show when the folder itself cannot be removed.
        for (const CDirEntry& entry : visit.entries) {
            if (!entry.is_directory) visit.folder.RemoveEntry(entry.name);
        }
        return true;
    };
    auto leave = [&](const CFolderVisit& visit, const CFolder& parent) {
        if (parent.RemoveSubfolder(visit.node->Name())) {
            top_removed = visit.node == top;
        } else {
            ShowRemoveError(visit.native, errno);
        }
        return true;
    };
    auto failed = [](const std::string& native, int error) {
        ShowRemoveError(native, error);
        return true;
    };
    WalkSubtreeFolders(top, top_native, top_parent, enter, leave, failed);
    return top_removed ? ERemoval::kRemoved : ERemoval::kIncomplete;
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
    for (int number = 1; number <= kLastNumberedName; ++number) {
        const std::string name =
            number == 1 ? std::string("New Folder") : FormatPrintf("New Folder (%d)", number);
        const std::string full_path = parent->full_path() + "\\" + name;
        if (MakeFolderOfPath(full_path)) {
            CTreeNode* node = AddNodeForNewFolder(parent, full_path, false);
            ReleaseTreeLock(true);
            return node;
        }
        if (errno == EEXIST) continue;
        const int error = errno;
        ShowMessage(FormatStringId(IDS_ERR_CREATE, NativePathOfFullPath(full_path).c_str(),
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

    // Every failure ends here: the message, then whatever was made is taken
    // back before the lock goes.
    std::string full_path;
    CTreeNode* node = nullptr;
    auto fail = [&](int error) -> CTreeNode* {
        ShowMessage(
            error == EACCES
                ? FormatStringId(IDS_NO_PERMISSION_FOLDER, NativePathOfNode(*parent).c_str())
                : FormatStringId(IDS_ERR_CREATE, NativePathOfFullPath(full_path).c_str(),
                                 ErrorText(error).c_str()),
            MB_OK);
        if (node) {
            RemoveSubtree(node);
            // Its folder is gone; the tree in memory should not show it.
            UnlinkChild(parent, node);
        }
        ReleaseTreeLock(false);
        return nullptr;
    };

    bool made = false;
    for (int number = 1; number <= kLastNumberedName; ++number) {
        full_path = parent->full_path() + "\\" +
                    ProfileCandidateName(copying, same_folder, source_name, number);
        made = MakeFolderOfPath(full_path);
        if (made) break;
        if (errno != EEXIST) return fail(errno);
        if (copying && !same_folder) {
            ShowMessage(FormatStringId(IDS_PROFILE_NAME_EXISTS, source_name.c_str()),
                        MB_OK | MB_ICONEXCLAMATION);
            ReleaseTreeLock(false);
            return nullptr;
        }
    }
    if (!made) {
        ReleaseTreeLock(false);
        return nullptr;
    }
    node = AddNodeForNewFolder(parent, full_path, true);
    const std::string native = NativePathOfNode(*node);

    // Links, FIFOs and devices are not copied (nor followed); they are named
    // once the lock is free.
    std::vector<std::string> left_alone;
    if (copying) {
        const std::string source_native = NativePathOfFullPath(*source_path);
        std::vector<CDirEntry> entries;
        if (source_native.empty()) {
            errno = EINVAL;
            return fail(errno);
        }
        if (!ListDirectory(source_native, &entries)) return fail(errno);
        for (const CDirEntry& entry : entries) {
            // A killed save's leftover is no file of the profile.
            if (entry.is_directory || IsReplacementTempName(entry.name)) continue;
            const std::string from = source_native + "/" + entry.name;
            if (!entry.is_regular_file) {
                left_alone.push_back(from);
                continue;
            }
            if (CopyFileTo(from, native + "/" + entry.name, true)) continue;
            const int error = errno;
            if (error == kNotRegularFileError) {
                left_alone.push_back(from);
                continue;
            }
            // A file that vanished meanwhile is simply not copied.
            if (PathExists(from)) return fail(error);
        }
    }

    if (!keep_guid) {
        const std::string guid_path = native + "/" + ProfileFileName(kProfileGuid);
        CFile guid_file;
        CFileException error;
        CReplacementFile replacement;
        const std::string text = FormatGuidFileText({NewUuidText(), 0, 0});
        // A GUID file that is not whole would leave a profile nobody can
        // find: the new one replaces the copied one in one step.
        bool written = guid_file.Open(guid_path, FileAccess::ReadWrite, FileShare::Exclusive,
                                      FileCreate::OpenAlways, &error, FileKind::RegularOnly);
        if (written &&
            !(replacement.Prepare(guid_path, text, guid_file.fd()) && replacement.Commit())) {
            error.Set(errno);
            written = false;
        }
        guid_file.Close();
        if (!written) {
            ShowMessage(OpenErrorText(error, guid_path), MB_OK | MB_ICONEXCLAMATION);
            return fail(error.os_error);
        }
    }
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
    if (IsValidEntryName(new_name) && !new_name.starts_with('.')) {
        if (RenamePathNoReplace(native, NativePathOfFullPath(new_path))) {
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
