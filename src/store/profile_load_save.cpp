#include "store/profile_load_save.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/format.h"
#include "platform/fs.h"
#include "platform/sleep.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/tree_edit.h"
#include "store/tree_lock.h"
#include "ui/name_prompt.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

constexpr size_t kFieldBlockSize = 4095;
constexpr size_t kGuidFileReadLimit = 1023;

void ShowOpenError(const CFileException& error, const std::string& path) {
    UserInterface().MessageBox(FormatMessageText(LoadString(IDS_ERR_OPEN_FILE),
                                                 {static_cast<long long>(error.os_error), path,
                                                  std::string(std::strerror(error.os_error))}),
                               MB_OK | MB_ICONEXCLAMATION);
}

// The record fields that load and save use, by the save's order.
struct CSavedField {
    unsigned mask;
    int file_index;
    std::string CProfileRecord::*field;
};
constexpr CSavedField kSavedTextFields[] = {
    {kSaveDescription, kProfileDescription, &CProfileRecord::description},
    {kSaveVobList, kProfileVobList, &CProfileRecord::vob_list},
    {kSaveAdminVob, kProfileAdminVob, &CProfileRecord::admin_vob},
    {kSaveProjectLabel, kProfileProjectLabel, &CProfileRecord::project_label},
    {kSaveProjectBranch, kProfileProjectBranch, &CProfileRecord::project_branch},
    {kSaveCheckpoints, kProfileCheckpoints, &CProfileRecord::checkpoints},
};

// Gives a saved profile its new name, asking for another while the rename
// fails. False when the profile ends up without the name the user wanted.
bool NameSavedProfile(CTreeNode*& node, std::string name) {
    for (;;) {
        if (RenameNode(node, name)) return true;
        if (!UserInterface().IsUserPresent()) return false;
        CNamePrompt prompt;
        prompt.set_message(FormatPrintf(LoadString(IDS_UNABLE_TO_NAME_PROFILE).c_str(),
                                        name.c_str(), std::strerror(errno)));
        if (UserInterface().RunNamePrompt(prompt) == IDOK) {
            name = prompt.name();
            continue;
        }
        if (UserInterface().MessageBox(LoadString(IDS_ASK_CANCEL_NEW_PROFILE),
                                       MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
            DeleteNode(node);
            return false;
        }
        // No: the same name once more.
    }
}

}  // namespace

FileErrorCause ReadProfileField(const std::string& full_path, int file_index, std::string* text) {
    const std::string path = NativePathOfFullPath(full_path, ProfileFileName(file_index));
    if (path.empty()) return FileErrorCause::FileNotFound;
    CFile file;
    CFileException error;
    if (!file.Open(path, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting,
                   &error)) {
        return error.cause;
    }
    char block[kFieldBlockSize];
    for (;;) {
        long count = file.Read(block, sizeof block, nullptr);
        if (count <= 0) break;
        text->append(block, static_cast<size_t>(count));
    }
    return FileErrorCause::None;
}

bool LoadProfile(CTreeNode*& node) {
    if (!TakeTreeLock(node, true, false)) return false;
    auto record = std::make_unique<CProfileRecord>();
    // Missing or unreadable files leave their fields empty.
    const std::pair<int, std::string CProfileRecord::*> fields[] = {
        {kProfileDescription, &CProfileRecord::description},
        {kProfileRules, &CProfileRecord::rules},
        {kProfileAdminVob, &CProfileRecord::admin_vob},
        {kProfileVobList, &CProfileRecord::vob_list},
        {kProfileProjectBranch, &CProfileRecord::project_branch},
        {kProfileCheckpoints, &CProfileRecord::checkpoints},
        {kProfileProjectLabel, &CProfileRecord::project_label},
    };
    bool all_empty = true;
    for (const auto& [index, field] : fields) {
        ReadProfileField(node->full_path(), index, &((*record).*field));
        all_empty = all_empty && ((*record).*field).empty();
    }
    record->all_empty = all_empty;
    CProfileRecord* loaded = record.get();
    node->SetProfileRecord(std::move(record));
    ReleaseTreeLock(false);
    // After the release, so that the test does not meet our own lock.
    loaded->read_only = IsProfileReadOnly(*node);
    return true;
}

bool IsProfileReadOnly(const CTreeNode& node) {
    CFile file;
    CFileException error;
    const std::string guid_path = NativePathOfNode(node, ProfileFileName(kProfileGuid));
    if (file.Open(guid_path, FileAccess::ReadWrite, FileShare::Exclusive, FileCreate::OpenExisting,
                  &error)) {
        file.Close();
    } else if (error.cause == FileErrorCause::AccessDenied) {
        return true;
    }
    const std::string lock_path = LockFilePath();
    for (int attempt = 0; attempt < kTreeLockAttempts; ++attempt) {
        if (attempt > 0) SleepMs(kTreeLockPollMs);
        if (file.Open(lock_path, FileAccess::ReadWrite, FileShare::Exclusive,
                      FileCreate::OpenExisting, &error)) {
            return false;
        }
        if (error.cause == FileErrorCause::AccessDenied) return true;
    }
    return true;
}

bool WriteProfileFile(const CTreeNode& node, const std::string& file_name,
                      const std::string& text) {
    const std::string path = NativePathOfNode(node, file_name);
    CFile file;
    CFileException error;
    if (path.empty()) {
        error.Set(EINVAL);
    } else if (file.Open(path, FileAccess::ReadWrite, FileShare::Exclusive,
                         FileCreate::CreateAlways, &error)) {
        if (file.Write(text.data(), text.size(), &error)) return true;
    }
    ShowOpenError(error, path);
    return false;
}

bool BumpProfileRevision(const CTreeNode& node) {
    const std::string path = NativePathOfNode(node, ProfileFileName(kProfileGuid));
    CFile file;
    CFileException error;
    if (!file.Open(path, FileAccess::ReadWrite, FileShare::Exclusive, FileCreate::OpenExisting,
                   &error)) {
        ShowOpenError(error, path);
        return false;
    }
    char text[kGuidFileReadLimit + 1] = {0};
    long count = file.Read(text, kGuidFileReadLimit, nullptr);
    CProfileGuid guid;
    ParseGuidFileText(std::string_view(text, count > 0 ? static_cast<size_t>(count) : 0), &guid);
    // Without a GUID nothing would identify the profile after a rewrite.
    if (guid.guid.empty()) return false;
    ++guid.minor;
    // Written over the start: the new text is never shorter than the old.
    const std::string updated = FormatGuidFileText(guid);
    return file.SeekToStart(nullptr) && file.Write(updated.data(), updated.size(), nullptr);
}

bool SaveProfile(CTreeNode*& node, CProfileRecord record, unsigned mask,
                 const std::string& new_name) {
    if (!TakeTreeLock(node, false, false)) return false;
    if (CTreeNode* current = FindNodeByPath(CurrentTree(), node->full_path())) node = current;
    node->MarkProfileNotLoaded();

    bool written = true;
    for (const CSavedField& saved : kSavedTextFields) {
        if (mask & saved.mask) {
            written &=
                WriteProfileFile(*node, ProfileFileName(saved.file_index), record.*saved.field);
        }
    }
    if (mask & kSaveDiagram) {
        // A diagram that cannot be copied keeps the old one.
        CopyFileTo(record.diagram_source_path,
                   NativePathOfNode(*node, ProfileFileName(kProfileDiagram)), true);
    }
    if (mask & kSaveRules) {
        written &= WriteProfileFile(*node, ProfileFileName(kProfileRules), record.rules);
        written &= BumpProfileRevision(*node);
    }
    ReleaseTreeLock(true);
    if (!new_name.empty() && !NameSavedProfile(node, new_name)) return false;
    return written;
}

}  // namespace kelmora
