#include "store/profile_load_save.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/format.h"
#include "platform/fs.h"
#include "platform/sleep.h"
#include "platform/temp_file.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/tree_edit.h"
#include "store/tree_lock.h"
#include "ui/name_prompt.h"
#include "ui/user_interface.h"

namespace kelmora {

namespace {

constexpr size_t kFieldBlockSize = 4095;
constexpr size_t kGuidFileReadLimit = 1023;

constexpr CProfileTextField kTextFields[] = {
    {kProfileDescription, &CProfileRecord::description, kSaveDescription},
    {kProfileRules, &CProfileRecord::rules, kSaveRules},
    {kProfileAdminVob, &CProfileRecord::admin_vob, kSaveAdminVob},
    {kProfileVobList, &CProfileRecord::vob_list, kSaveVobList},
    {kProfileProjectBranch, &CProfileRecord::project_branch, kSaveProjectBranch},
    {kProfileCheckpoints, &CProfileRecord::checkpoints, kSaveCheckpoints},
    {kProfileProjectLabel, &CProfileRecord::project_label, kSaveProjectLabel},
};

// The order in which a save writes the text files: Rules last, right before
// the profile revision rises.
constexpr int kSaveOrder[] = {kProfileDescription,  kProfileVobList,       kProfileAdminVob,
                              kProfileProjectLabel, kProfileProjectBranch, kProfileCheckpoints,
                              kProfileRules};

const CProfileTextField& TextFieldOfFile(int file_index) {
    for (const CProfileTextField& field : kTextFields) {
        if (field.file_index == file_index) return field;
    }
    return kTextFields[0];
}

void ShowFileError(const CFileException& error, const std::string& path) {
    UserInterface().MessageBox(OpenErrorText(error, path), MB_OK | MB_ICONEXCLAMATION);
}

CFileException ErrorOfErrno(int error_number) {
    CFileException error;
    error.Set(error_number);
    return error;
}

// Opens a file that a save writes: exclusively, only a regular file, and
// retrying a sharing refusal the way readers retry theirs.
bool OpenForSave(const std::string& path, FileCreate create, CFile* file, CFileException* error) {
    if (path.empty()) {
        error->Set(EINVAL);
        return false;
    }
    for (int attempt = 1;; ++attempt) {
        if (file->Open(path, FileAccess::ReadWrite, FileShare::Exclusive, create, error,
                       FileKind::RegularOnly))
            return true;
        if (error->cause != FileErrorCause::SharingViolation || attempt == kProfileFileOpenAttempts)
            return false;
        SleepMs(kProfileFileRetryMs);
    }
}

// One save of a profile's files. Prepare() opens every file that the save
// writes and reads what it needs before anything is written, so that a file
// held by a reader, or one that cannot be used, leaves the profile as it was.
class CProfileSave {
public:
    CProfileSave(const CTreeNode& node, const CProfileRecord& record, unsigned mask)
        : node_(node), record_(record), mask_(mask) {}
    ~CProfileSave() {
        if (!writing_) TakeBackCreatedFiles();
    }

    // False after saying why; nothing has been written then.
    bool Prepare() {
        // What a killed save left behind goes first; the tree lock keeps
        // other saves out.
        RemoveReplacementLeftovers(NativePathOfNode(node_));
        for (int index : kSaveOrder) {
            if (!(mask_ & TextFieldOfFile(index).save_bit)) continue;
            CHeldFile& held = texts_.emplace_back();
            held.file_index = index;
            held.path = NativePathOfNode(node_, ProfileFileName(index));
            if (!OpenForSave(held.path, FileCreate::OpenAlways, &held.file, &error_))
                return Refuse(held.path);
        }
        if (mask_ & kSaveRules) {
            if (!PrepareRevisionBump()) return false;
            PreparePreviousRules();
        }
        if ((mask_ & kSaveDiagram) && !PrepareDiagram()) return false;
        // Every new text is on disk before the first one replaces its file.
        for (CHeldFile& held : texts_) {
            if (!PrepareText(held)) return false;
        }
        return true;
    }

    // Writes what Prepare() made ready; a file that fails is reported and the
    // save goes on, but the revision rises only after Rules were written.
    // The Rules they replace are kept first; when they cannot be, no earlier
    // Rules are kept, rather than ones from another save.
    bool Write() {
        writing_ = true;
        bool all_written = true;
        for (CHeldFile& held : texts_) {
            if (held.file_index == kProfileRules) continue;
            all_written &= WriteHeld(held);
        }
        if ((mask_ & kSaveDiagram) && !diagram_is_target_ && !diagram_.Commit()) {
            ShowFileError(ErrorOfErrno(errno), DiagramPath());
            all_written = false;
        }
        for (CHeldFile& held : texts_) {
            if (held.file_index != kProfileRules) continue;
            if (!previous_rules_ready_ || !previous_rules_.Commit())
                RemoveFile(PreviousRulesPath());
            all_written = WriteHeld(held) && BumpRevision() && all_written;
        }
        return all_written;
    }

private:
    struct CHeldFile {
        int file_index = 0;
        std::string path;
        CFile file;
        CReplacementFile replacement;
        // The folder takes no new file from this user: written over in place.
        bool in_place = false;
    };

    bool Refuse(const std::string& path) {
        ShowFileError(error_, path);
        return false;
    }

    // Files that this save made empty for itself go again when it writes nothing.
    void TakeBackCreatedFiles() {
        for (CHeldFile& held : texts_) {
            if (!held.file.created()) continue;
            held.file.Close();
            RemoveFile(held.path);
        }
    }

    bool PrepareText(CHeldFile& held) {
        const std::string& text = record_.*TextFieldOfFile(held.file_index).text;
        if (held.replacement.Prepare(held.path, text, held.file.fd())) return true;
        if (errno == EACCES || errno == EPERM) {
            held.in_place = true;
            return true;
        }
        error_.Set(errno);
        return Refuse(held.path);
    }

    // The new text takes the old file's place while the old one is still
    // held open exclusively, so no reader ever meets a part of either.
    bool WriteHeld(CHeldFile& held) {
        const std::string& text = record_.*TextFieldOfFile(held.file_index).text;
        if (held.in_place
                ? held.file.Truncate(&error_) &&
                      held.file.Write(text.data(), text.size(), &error_) && held.file.Flush(&error_)
                : held.replacement.Commit())
            return true;
        if (!held.in_place) error_.Set(errno);
        ShowFileError(error_, held.path);
        return false;
    }

    std::string PreviousRulesPath() const {
        return NativePathOfNode(node_, kPreviousRulesFileName);
    }

    // The held Rules' text, written beside them through the same replacement
    // as every whole file, ready to take the hidden file's place.
    void PreparePreviousRules() {
        for (CHeldFile& held : texts_) {
            if (held.file_index != kProfileRules) continue;
            std::string old_text;
            CFileException error;
            previous_rules_ready_ = held.file.SeekToStart(&error) &&
                                    held.file.ReadAll(&old_text, &error) &&
                                    previous_rules_.Prepare(PreviousRulesPath(), old_text);
        }
    }

    // Reads the GUID file and makes its next text, refusing what cannot rise.
    bool PrepareRevisionBump() {
        guid_path_ = NativePathOfNode(node_, ProfileFileName(kProfileGuid));
        if (!OpenForSave(guid_path_, FileCreate::OpenExisting, &guid_file_, &error_))
            return Refuse(guid_path_);
        char text[kGuidFileReadLimit];
        const long count = guid_file_.Read(text, sizeof text, &error_);
        if (count < 0) return Refuse(guid_path_);
        const std::string old_text(text, static_cast<size_t>(count));
        CProfileGuid guid;
        ParseGuidFileText(old_text, &guid);
        // Without a GUID nothing would identify the profile after a rewrite.
        if (guid.guid.empty()) {
            UserInterface().MessageBox(FormatStringId(IDS_REVISION_CORRUPT, old_text.c_str()),
                                       MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        // The minor number never goes back, so it cannot start again at 0.
        if (guid.minor == INT_MAX) {
            error_.Set(EOVERFLOW);
            return Refuse(guid_path_);
        }
        ++guid.minor;
        bumped_guid_text_ = FormatGuidFileText(guid);
        return true;
    }

    bool BumpRevision() {
        if (guid_file_.SeekToStart(&error_) &&
            guid_file_.Write(bumped_guid_text_.data(), bumped_guid_text_.size(), &error_) &&
            guid_file_.SetLength(static_cast<long long>(bumped_guid_text_.size()), &error_) &&
            guid_file_.Flush(&error_))
            return true;
        ShowFileError(error_, guid_path_);
        return false;
    }

    std::string DiagramPath() const {
        return NativePathOfNode(node_, ProfileFileName(kProfileDiagram));
    }

    // Reads the diagram source into a replacement of the profile's Diagram;
    // the old one stays until the replacement is committed.
    bool PrepareDiagram() {
        const std::string& source = record_.diagram_source_path;
        const std::string target = DiagramPath();
        CFileIdentity source_id, target_id;
        if (GetFileIdentity(source, &source_id) && GetFileIdentity(target, &target_id) &&
            source_id == target_id) {
            diagram_is_target_ = true;
            return true;
        }
        CFile file;
        std::string data;
        if (!file.Open(source, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting,
                       &error_, FileKind::RegularOnly) ||
            !file.ReadAll(&data, &error_))
            return Refuse(source);
        if (target.empty() || !diagram_.Prepare(target, data)) {
            error_.Set(target.empty() ? EINVAL : errno);
            return Refuse(target);
        }
        return true;
    }

    const CTreeNode& node_;
    const CProfileRecord& record_;
    const unsigned mask_;
    std::vector<CHeldFile> texts_;
    std::string guid_path_;
    CFile guid_file_;
    std::string bumped_guid_text_;
    CReplacementFile diagram_;
    bool diagram_is_target_ = false;
    CReplacementFile previous_rules_;
    bool previous_rules_ready_ = false;
    bool writing_ = false;
    CFileException error_;
};

// Gives a saved profile its new name, asking for another while the rename
// fails. Only a profile that this save names for the first time may be given
// up, at the user's request; an existing one keeps its old name.
ESaveOutcome NameSavedProfile(CTreeNode*& node, std::string name, bool new_profile) {
    for (;;) {
        if (RenameNode(node, name)) return ESaveOutcome::kSaved;
        if (!UserInterface().IsUserPresent()) return ESaveOutcome::kSavedUnnamed;
        CNamePrompt prompt;
        prompt.set_message(
            FormatStringId(IDS_UNABLE_TO_NAME_PROFILE, name.c_str(), std::strerror(errno)));
        if (UserInterface().RunNamePrompt(prompt) == IDOK) {
            name = prompt.name();
            continue;
        }
        if (!new_profile) return ESaveOutcome::kSavedUnnamed;
        if (UserInterface().MessageBox(LoadString(IDS_ASK_CANCEL_NEW_PROFILE),
                                       MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
            return DeleteNode(node) ? ESaveOutcome::kDeleted : ESaveOutcome::kSavedUnnamed;
        }
        // No: the same name once more.
    }
}

}  // namespace

std::span<const CProfileTextField> ProfileTextFields() {
    return kTextFields;
}

FileErrorCause ReadProfileField(const std::string& full_path, int file_index, std::string* text) {
    return ReadProfileFolderFile(full_path, ProfileFileName(file_index), text);
}

FileErrorCause ReadProfileFolderFile(const std::string& full_path, const char* file_name,
                                     std::string* text) {
    const std::string path = NativePathOfFullPath(full_path, file_name);
    if (path.empty()) return FileErrorCause::FileNotFound;
    CFile file;
    CFileException error;
    if (!file.Open(path, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting, &error,
                   FileKind::RegularOnly)) {
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
    // Missing or unreadable files leave their fields empty; links and FIFOs
    // too, but those are named once the lock is free.
    std::vector<std::string> left_alone;
    bool all_empty = true;
    for (const CProfileTextField& field : kTextFields) {
        std::string& text = (*record).*field.text;
        if (ReadProfileField(node->full_path(), field.file_index, &text) ==
            FileErrorCause::NotRegularFile) {
            left_alone.push_back(NativePathOfNode(*node, ProfileFileName(field.file_index)));
        }
        all_empty = all_empty && text.empty();
    }
    record->all_empty = all_empty;
    CProfileRecord* loaded = record.get();
    node->SetProfileRecord(std::move(record));
    ReleaseTreeLock(false);
    for (const std::string& path : left_alone) {
        UserInterface().MessageBox(FormatStringId(IDS_NOT_REGULAR_FILE, path.c_str()),
                                   MB_OK | MB_ICONEXCLAMATION);
    }
    // After the release, so that the test does not meet our own lock.
    loaded->read_only = IsProfileReadOnly(*node);
    return true;
}

bool IsProfileReadOnly(const CTreeNode& node) {
    CFile file;
    CFileException error;
    const std::string guid_path = NativePathOfNode(node, ProfileFileName(kProfileGuid));
    if (file.Open(guid_path, FileAccess::ReadWrite, FileShare::Exclusive, FileCreate::OpenExisting,
                  &error, FileKind::RegularOnly)) {
        file.Close();
    } else if (error.cause == FileErrorCause::AccessDenied) {
        return true;
    }
    const std::string lock_path = LockFilePath();
    for (int attempt = 0; attempt < kTreeLockAttempts; ++attempt) {
        if (attempt > 0) SleepMs(kTreeLockPollMs);
        if (file.Open(lock_path, FileAccess::ReadWrite, FileShare::Exclusive,
                      FileCreate::OpenExisting, &error, FileKind::RegularOnly)) {
            return false;
        }
        if (error.cause == FileErrorCause::AccessDenied) return true;
    }
    return true;
}

ESaveOutcome SaveProfile(CTreeNode*& node, CProfileRecord record, unsigned mask,
                         const std::string& new_name, bool new_profile) {
    if (!TakeTreeLock(node, false, false)) return ESaveOutcome::kNotSaved;
    if (CTreeNode* current = FindNodeByPath(CurrentTree(), node->full_path())) node = current;
    node->MarkProfileNotLoaded();

    bool prepared = false, written = false;
    {
        // Its files close (and what it made for nothing goes) before the lock.
        CProfileSave save(*node, record, mask);
        prepared = save.Prepare();
        if (prepared) written = save.Write();
    }
    ReleaseTreeLock(prepared);
    if (!written) return ESaveOutcome::kNotSaved;
    if (new_name.empty()) return ESaveOutcome::kSaved;
    return NameSavedProfile(node, new_name, new_profile);
}

}  // namespace kelmora
