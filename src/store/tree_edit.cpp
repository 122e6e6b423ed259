#include "store/tree_edit.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "client/files.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/uuid.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
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

// Removes a node's folder after everything below it (and, with_siblings,
// after its later siblings too). A top-level folder frees the tree lock
// before its own folder goes.
void DeleteSubtree(CTreeNode* node, bool with_siblings) {
    const std::string native = NativePathOfNode(*node);
    if (node->IsProfile()) {
        std::vector<CDirEntry> entries;
        if (ListDirectory(native, &entries)) {
            for (const CDirEntry& entry : entries) {
                if (!entry.is_directory) RemoveFile(native + "/" + entry.name);
            }
        }
    }
    if (node->first_child()) DeleteSubtree(node->first_child(), true);
    if (with_siblings && node->next_sibling()) DeleteSubtree(node->next_sibling(), true);
    if (!node->parent()) {
        ReleaseTreeLock(true);
        RemoveFile(native + "/" + kLockFileName);
    }
    if (unix_nt_rmdir(native.c_str()) != 0) {
        const int error = errno;
        ShowMessage(error == EACCES ? FormatPrintf(LoadString(IDS_NO_PERMISSION_PROFILE).c_str(),
                                                   native.c_str())
                                    : FormatPrintf(LoadString(IDS_ERR_REMOVE).c_str(),
                                                   native.c_str(), ErrorText(error).c_str()),
                    MB_OK);
    }
}

// Gives every node below node the new beginning of its full path.
void RebaseDescendantPaths(CTreeNode* node, const std::string& old_prefix,
                           const std::string& new_prefix) {
    std::vector<CTreeNode*> pending;
    if (node->first_child()) pending.push_back(node->first_child());
    while (!pending.empty()) {
        CTreeNode* n = pending.back();
        pending.pop_back();
        if (n->full_path().starts_with(old_prefix)) {
            n->set_full_path(new_prefix + n->full_path().substr(old_prefix.size()));
        }
        if (n->first_child()) pending.push_back(n->first_child());
        if (n->next_sibling()) pending.push_back(n->next_sibling());
    }
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
        ShowMessage(FormatPrintf(LoadString(IDS_ERR_CREATE).c_str(),
                                 NativePathOfFullPath(full_path).c_str(), ErrorText(error).c_str()),
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
        ShowMessage(error == EACCES ? FormatPrintf(LoadString(IDS_NO_PERMISSION_FOLDER).c_str(),
                                                   NativePathOfNode(*parent).c_str())
                                    : FormatPrintf(LoadString(IDS_ERR_CREATE).c_str(),
                                                   NativePathOfFullPath(full_path).c_str(),
                                                   ErrorText(error).c_str()),
                    MB_OK);
        if (node) {
            DeleteSubtree(node, false);
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
            ShowMessage(
                FormatPrintf(LoadString(IDS_PROFILE_NAME_EXISTS).c_str(), source_name.c_str()),
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

    if (copying) {
        const std::string source_native = NativePathOfFullPath(*source_path);
        std::vector<CDirEntry> entries;
        if (source_native.empty()) {
            errno = EINVAL;
            return fail(errno);
        }
        if (!ListDirectory(source_native, &entries)) return fail(errno);
        for (const CDirEntry& entry : entries) {
            if (entry.is_directory) continue;
            const std::string from = source_native + "/" + entry.name;
            if (CopyFileTo(from, native + "/" + entry.name, true)) continue;
            const int error = errno;
            // A file that vanished meanwhile is simply not copied.
            if (PathExists(from)) return fail(error);
        }
    }

    if (!keep_guid) {
        const std::string guid_path = native + "/" + ProfileFileName(kProfileGuid);
        CFile guid_file;
        CFileException error;
        if (!guid_file.Open(guid_path, FileAccess::ReadWrite, FileShare::Exclusive,
                            FileCreate::CreateAlways, &error)) {
            ShowMessage(FormatMessageText(LoadString(IDS_ERR_OPEN_FILE),
                                          {static_cast<long long>(error.os_error), guid_path,
                                           ErrorText(error.os_error)}),
                        MB_OK | MB_ICONEXCLAMATION);
            return fail(error.os_error);
        }
        const std::string text = FormatGuidFileText({NewUuidText(), 0, 0});
        guid_file.Write(text.data(), text.size(), nullptr);
    }
    ReleaseTreeLock(true);
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
                    ? FormatPrintf(LoadString(IDS_NO_PERMISSION_PROFILE).c_str(), native.c_str())
                    : FormatPrintf(LoadString(IDS_ERR_RENAME).c_str(), native.c_str(),
                                   ErrorText(error).c_str()),
                MB_OK);
    ReleaseTreeLock(false);
    errno = error;
    return false;
}

void DeleteNode(CTreeNode*& node) {
    if (!TakeTreeLock(node, false, false)) return;
    CTreeNode* parent = node->parent();
    DeleteSubtree(node, false);
    // A top-level folder has freed the lock itself, before its folder went.
    if (parent) ReleaseTreeLock(true);
}

}  // namespace kelmora
