#include "store/profile_load_save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include "store/pending_bump.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/rules_history.h"
#include "store/settled_read.h"
#include "store/store_reporter.h"
#include "store/tree_dir.h"
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

// Opens a file of the folder that a save writes: exclusively, only a
// regular file, and retrying a sharing refusal the way readers retry theirs.
bool OpenForSave(const CFolder& folder, const std::string& name, const std::string& path,
                 FileCreate create, CFile* file, CFileException* error) {
    CWaitNotice notice(path);
    for (int attempt = 1;; ++attempt) {
        if (file->OpenIn(folder, name, FileAccess::ReadWrite, FileShare::Exclusive, create, error,
                         FileKind::RegularOnly))
            return true;
        if (error->cause != FileErrorCause::SharingViolation ||
            attempt >= WaitAttempts(kProfileFileOpenAttempts, kProfileFileRetryMs))
            return false;
        notice.Sleep(kProfileFileRetryMs);
    }
}

// Writes all of text at offset at of the file; false with error set.
bool WriteAt(const CFile& file, const std::string& text, long long at, CFileException* error) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = pwrite(file.fd(), text.data() + done, text.size() - done,
                                 static_cast<off_t>(at + static_cast<long long>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error->Set(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// One save of a profile's files. Prepare() opens every file that the save
// writes and reads what it needs before anything is written, so that a file
// held by a reader, or one that cannot be used, leaves the profile as it was.
class CProfileSave {
public:
    // folder: the node's folder when the lock take opened it.
    CProfileSave(const CTreeNode& node, const CProfileRecord& record, unsigned mask, CFolder folder)
        : node_(node), record_(record), mask_(mask), folder_(std::move(folder)) {}
    ~CProfileSave() {
        if (!writing_) TakeBackCreatedFiles();
    }

    // False after saying why (or, with quiet_read_only, silently when the
    // user may not write the GUID file: *read_only, or when the folder holds
    // no file, so is no profile: *no_profile); nothing has been written then.
    bool Prepare(bool quiet_read_only, bool* read_only, bool* no_profile) {
        *read_only = *no_profile = false;
        // Reached from the tree root, never through a link; every file below
        // is opened in this folder.
        if (!folder_.IsOpen() && !OpenTreeFolder(node_.full_path(), &folder_)) {
            error_.Set(errno);
            return Refuse(NativePathOfNode(node_));
        }
        // What a killed save left behind goes first; the tree lock keeps
        // other saves out.
        bool holds_files = false;
        leftovers_ = RemoveReplacementLeftovers(folder_, &holds_files);
        // A caller that named the folder by its path alone learns that it
        // is none (a host's new empty profile is one all the same).
        if (quiet_read_only && !holds_files) {
            *no_profile = true;
            return false;
        }
        if (!OpenGuidFile(quiet_read_only, read_only)) return false;
        for (int index : kSaveOrder) {
            if (!(mask_ & TextFieldOfFile(index).save_bit)) continue;
            CHeldFile& held = texts_.emplace_back();
            held.file_index = index;
            held.path = NativePathOfNode(node_, ProfileFileName(index));
            if (!OpenForSave(folder_, ProfileFileName(index), held.path, FileCreate::OpenAlways,
                             &held.file, &error_))
                return Refuse(held.path);
        }
        if ((mask_ & kSaveRules) && !(ReadOldRules() && PrepareRevisionBump())) return false;
        if ((mask_ & kSaveDiagram) && !PrepareDiagram()) return false;
        // Every new text is on disk before the first one replaces its file.
        for (CHeldFile& held : texts_) {
            if (!PrepareText(held)) return false;
        }
        // The history entry is on disk before any file of the profile is
        // written; a cut save's entry is put right by the pending bump.
        if (mask_ & kSaveRules) {
            PreparePreviousRules();
            if (!PrepareHistory()) return false;
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
        if ((mask_ & kSaveDiagram) && !diagram_is_target_ && !diagram_.Commit(false)) {
            ShowFileError(ErrorOfErrno(errno), DiagramPath());
            all_written = false;
        }
        for (CHeldFile& held : texts_) {
            if (held.file_index != kProfileRules) continue;
            if (!(previous_rules_ready_ && previous_rules_.Commit(false)) &&
                !WritePreviousInPlace())
                folder_.RemoveEntry(kPreviousRulesFileName);
            const bool rules_written = WriteHeld(held);
            const bool bumped = rules_written && BumpRevision();
            // Rules that stand at the old revision keep the pending bump for
            // the next writer; otherwise it is done or not needed.
            if (!rules_written || bumped) ClearPendingBump();
            all_written = bumped && all_written;
        }
        // One flush of the folder for all its renames, before the release
        // takes the pending bump away.
        if (mask_ != kSaveNothing) folder_.Sync();
        return all_written;
    }

    // The GUID file's text after the bump; empty without Rules to save.
    const std::string& bumped_guid_text() const { return bumped_guid_text_; }

private:
    struct CHeldFile {
        int file_index = 0;
        std::string path;
        CFile file;
        CReplacementFile replacement;
        // The folder takes no new file from this user: written over in place.
        bool in_place = false;
        long long old_length = 0;
    };

    bool Refuse(const std::string& path) {
        ShowFileError(error_, path);
        return false;
    }

    // Files that this save made empty for itself go again when it writes nothing.
    void TakeBackCreatedFiles() {
        for (CHeldFile& held : texts_) {
            if (held.in_place) held.file.SetLength(held.old_length, nullptr);
            if (!held.file.created()) continue;
            held.file.Close();
            folder_.RemoveEntry(ProfileFileName(held.file_index));
        }
    }

    bool PrepareText(CHeldFile& held) {
        const std::string& text = record_.*TextFieldOfFile(held.file_index).text;
        if (held.replacement.PrepareIn(folder_, ProfileFileName(held.file_index), text,
                                       held.file.fd()))
            return true;
        if (errno != EACCES && errno != EPERM) {
            error_.Set(errno);
            return Refuse(held.path);
        }
        // A file that has other names (a link someone made) is never
        // written into: that would change them too.
        struct stat st {};
        if (fstat(held.file.fd(), &st) != 0 || st.st_nlink > 1) {
            error_.Set(st.st_nlink > 1 ? EMLINK : errno);
            return Refuse(held.path);
        }
        // In place: the new text is first written whole after the old one, so
        // that a full disk refuses the save before the old text is touched.
        held.old_length = held.file.Length();
        held.in_place = true;
        if (WriteAt(held.file, text, held.old_length, &error_) && held.file.Flush(&error_))
            return true;
        return Refuse(held.path);
    }

    // The new text takes the old file's place while the old one is still
    // held open exclusively, so no reader ever meets a part of either. In
    // place, it is written over the old text (the room is there already),
    // then the file is cut to its length.
    bool WriteHeld(CHeldFile& held) {
        const std::string& text = record_.*TextFieldOfFile(held.file_index).text;
        if (held.in_place ? held.file.SeekToStart(&error_) &&
                                held.file.Write(text.data(), text.size(), &error_) &&
                                held.file.SetLength(static_cast<long long>(text.size()), &error_) &&
                                held.file.Flush(&error_)
                          : held.replacement.Commit(false))
            return true;
        if (!held.in_place) error_.Set(errno);
        ShowFileError(error_, held.path);
        return false;
    }

    CHeldFile& HeldRules() {
        return *std::find_if(texts_.begin(), texts_.end(), [](const CHeldFile& held) {
            return held.file_index == kProfileRules;
        });
    }

    // Rules that cannot be read refuse the save: their history would be wrong.
    bool ReadOldRules() {
        CHeldFile& held = HeldRules();
        previous_rules_read_ =
            held.file.SeekToStart(&error_) && held.file.ReadAll(&previous_text_, &error_);
        return previous_rules_read_ || Refuse(held.path);
    }

    // The held Rules ready to take the hidden file's place: their own file
    // under a second name (a hard link, nothing written) unless the new
    // Rules are written into it; else their text written beside it. No
    // history entry shares that file: a later save in place may write it.
    void PreparePreviousRules() {
        const CHeldFile& held = HeldRules();
        previous_rules_ready_ =
            (!held.in_place &&
             previous_rules_.PrepareLinkIn(folder_, kPreviousRulesFileName, held.file.fd())) ||
            previous_rules_.PrepareIn(folder_, kPreviousRulesFileName, previous_text_);
    }

    // In a folder that takes no new file the kept Rules are written over in
    // place like the other files there, so that a diff never shows older ones;
    // never a file that another name shares.
    bool WritePreviousInPlace() {
        CFile file;
        CFileException error;
        struct stat st {};
        return previous_rules_read_ &&
               file.OpenIn(folder_, kPreviousRulesFileName, FileAccess::ReadWrite,
                           FileShare::Exclusive, FileCreate::OpenExisting, &error,
                           FileKind::RegularOnly) &&
               fstat(file.fd(), &st) == 0 && st.st_nlink == 1 &&
               file.Write(previous_text_.data(), previous_text_.size(), &error) &&
               file.SetLength(static_cast<long long>(previous_text_.size()), &error);
    }

    // Opens the GUID file for writing, exclusively: a save of the Rules
    // bumps it, and any save learns from it whether the user may change the
    // profile. Only the Rules need it open.
    bool OpenGuidFile(bool quiet_read_only, bool* read_only) {
        guid_path_ = NativePathOfNode(node_, ProfileFileName(kProfileGuid));
        const bool needed = mask_ & kSaveRules;
        CFileException error;
        if (needed ? OpenForSave(folder_, ProfileFileName(kProfileGuid), guid_path_,
                                 FileCreate::OpenExisting, &guid_file_, &error)
                   : guid_file_.OpenIn(folder_, ProfileFileName(kProfileGuid),
                                       FileAccess::ReadWrite, FileShare::Exclusive,
                                       FileCreate::OpenExisting, &error, FileKind::RegularOnly))
            return true;
        if (quiet_read_only && error.cause == FileErrorCause::AccessDenied) {
            *read_only = true;
            return false;
        }
        if (!needed) return true;
        error_ = error;
        return Refuse(guid_path_);
    }

    // Reads the GUID file and makes its next text, refusing what cannot rise.
    bool PrepareRevisionBump() {
        char text[kGuidFileReadLimit];
        const long count = guid_file_.Read(text, sizeof text, &error_);
        if (count < 0) return Refuse(guid_path_);
        guid_text_.assign(text, static_cast<size_t>(count));
        const std::string& old_text = guid_text_;
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
        // One write over the old text, which the pending bump finishes when
        // the save is cut: the GUID file needs no replacement beside it. A
        // longer old text (another form of the number) is replaced, so that
        // the file holds exactly the new one.
        if (static_cast<size_t>(count) <= bumped_guid_text_.size()) {
            guid_writer_.PrepareInPlace(bumped_guid_text_, count);
            return true;
        }
        if (!guid_writer_.Prepare(folder_, guid_file_, bumped_guid_text_, &error_))
            return Refuse(guid_path_);
        return true;
    }

    // The new revision's history entry, from the texts the save read.
    bool PrepareHistory() {
        bool kept = false;
        CRulesHistoryError error;
        if (PrepareRulesHistoryEntry(folder_, guid_text_, previous_text_, record_.rules, leftovers_,
                                     &kept, &error))
            return true;
        error_.Set(error.os_error);
        return Refuse(NativePathOfNode(node_, error.path));
    }

    bool BumpRevision() {
        if (guid_writer_.Write(guid_file_, &error_, false)) return true;
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
        CFileIdentity source_id;
        CFile old_diagram;
        CFileException ignored;
        if (GetFileIdentity(source, &source_id) &&
            old_diagram.OpenIn(folder_, ProfileFileName(kProfileDiagram), FileAccess::Read,
                               FileShare::DenyNone, FileCreate::OpenExisting, &ignored,
                               FileKind::RegularOnly)) {
            struct stat st {};
            if (fstat(old_diagram.fd(), &st) == 0 && st.st_dev == source_id.device &&
                st.st_ino == source_id.inode) {
                diagram_is_target_ = true;
                return true;
            }
        }
        CFile file;
        std::string data;
        if (!file.Open(source, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting,
                       &error_, FileKind::RegularOnly) ||
            !file.ReadAll(&data, &error_))
            return Refuse(source);
        if (target.empty() ||
            !diagram_.PrepareIn(folder_, ProfileFileName(kProfileDiagram), data)) {
            error_.Set(target.empty() ? EINVAL : errno);
            return Refuse(target);
        }
        return true;
    }

    const CTreeNode& node_;
    const CProfileRecord& record_;
    const unsigned mask_;
    CFolder folder_;
    std::vector<CHeldFile> texts_;
    std::string guid_path_;
    CFile guid_file_;
    std::string guid_text_;
    bool leftovers_ = false;
    std::string bumped_guid_text_;
    CGuidFileWriter guid_writer_;
    std::string previous_text_;
    bool previous_rules_read_ = false;
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
    CFolder folder;
    if (!OpenTreeFolder(full_path, &folder)) {
        CFileException error;
        error.Set(errno);
        return error.cause;
    }
    return ReadFileInFolder(folder, file_name, text);
}

FileErrorCause ReadFileInFolder(const CFolder& folder, const char* file_name, std::string* text) {
    CFile file;
    CFileException error;
    if (!file.OpenIn(folder, file_name, FileAccess::Read, FileShare::DenyWrite,
                     FileCreate::OpenExisting, &error, FileKind::RegularOnly)) {
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
    // Read without keeping writers out, again while a change meets the read.
    CSettledTreeRead read(false, &node);
    auto record = std::make_unique<CProfileRecord>();
    // Missing or unreadable files leave their fields empty; links and FIFOs
    // too, but those are named once the read is done.
    std::vector<std::string> left_alone;
    do {
        if (!read.Begin()) return false;
        record = std::make_unique<CProfileRecord>();
        left_alone.clear();
        CFolder folder;
        const bool opened = OpenTreeFolder(node->full_path(), &folder);
        bool all_empty = true;
        for (const CProfileTextField& field : kTextFields) {
            std::string& text = (*record).*field.text;
            if (opened && ReadFileInFolder(folder, ProfileFileName(field.file_index), &text) ==
                              FileErrorCause::NotRegularFile) {
                left_alone.push_back(NativePathOfNode(*node, ProfileFileName(field.file_index)));
            }
            all_empty = all_empty && text.empty();
        }
        record->all_empty = all_empty;
    } while (!read.Settled());
    read.Release();
    CProfileRecord* loaded = record.get();
    node->SetProfileRecord(std::move(record));
    for (const std::string& path : left_alone) {
        UserInterface().MessageBox(FormatStringId(IDS_NOT_REGULAR_FILE, path.c_str()),
                                   MB_OK | MB_ICONEXCLAMATION);
    }
    // After the read, so that the test does not meet a lock of our own.
    loaded->read_only = IsProfileReadOnly(*node, &loaded->tree_busy);
    return true;
}

bool IsProfileReadOnly(const CTreeNode& node, bool* busy) {
    if (busy) *busy = false;
    CFolder folder;
    CFile file;
    CFileException error;
    if (OpenTreeFolder(node.full_path(), &folder) &&
        file.OpenIn(folder, ProfileFileName(kProfileGuid), FileAccess::ReadWrite,
                    FileShare::Exclusive, FileCreate::OpenExisting, &error,
                    FileKind::RegularOnly)) {
        file.Close();
    } else if (error.cause == FileErrorCause::AccessDenied) {
        return true;
    }
    const std::string lock_path = LockFilePath();
    CWaitNotice notice(lock_path);
    const int attempts = WaitAttempts(kTreeLockAttempts, kTreeLockPollMs);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) notice.Sleep(kTreeLockPollMs);
        if (file.Open(lock_path, FileAccess::ReadWrite, FileShare::Exclusive,
                      FileCreate::OpenExisting, &error, FileKind::RegularOnly)) {
            return false;
        }
        if (error.cause == FileErrorCause::AccessDenied) return true;
        // No lock file yet: the first change makes it in the tree root.
        if (error.cause == FileErrorCause::FileNotFound) {
            CFolder root;
            return !(OpenTreeRootFolder(&root) && root.IsWritable());
        }
    }
    // Only other users' locks were met: the tree is busy, not closed to this user.
    if (busy && error.cause == FileErrorCause::SharingViolation) *busy = true;
    return true;
}

ESaveOutcome SaveProfile(CTreeNode*& node, CProfileRecord record, unsigned mask,
                         const std::string& new_name, bool new_profile, bool quiet_refusals) {
    // The read-only test is the take itself and the save's own open of the
    // GUID file: the folder is opened once, every file relative to it.
    CFolder folder;
    ELockRefusal refusal = ELockRefusal::kNone;
    if (!TakeTreeLockForChange(node, &refusal, &folder)) {
        if (refusal == ELockRefusal::kNone) return ESaveOutcome::kNotSaved;
        if (quiet_refusals)
            return refusal == ELockRefusal::kInUse      ? ESaveOutcome::kTreeBusy
                   : refusal == ELockRefusal::kConflict ? ESaveOutcome::kConflict
                                                        : ESaveOutcome::kReadOnly;
        ReportStoreError(LoadString(refusal == ELockRefusal::kInUse      ? IDS_TREE_IN_USE
                                    : refusal == ELockRefusal::kConflict ? IDS_TREE_CONFLICT
                                                                         : IDS_TREE_NO_PERMISSION),
                         false);
        return ESaveOutcome::kNotSaved;
    }
    if (CTreeNode* current = FindNodeByPath(CurrentTree(), node->full_path())) node = current;
    node->MarkProfileNotLoaded();

    bool prepared = false, written = false, read_only = false, no_profile = false;
    {
        // Its files close (and what it made for nothing goes) before the lock.
        CProfileSave save(*node, record, mask, std::move(folder));
        prepared = save.Prepare(quiet_refusals, &read_only, &no_profile);
        // The Rules never stand at the old revision for good: the next
        // writer finishes a bump that this save does not live to make.
        if (prepared && (mask & kSaveRules))
            prepared = MarkPendingBump(StoredProfileName(*node), save.bumped_guid_text());
        if (prepared) written = save.Write();
    }
    ReleaseTreeLock(prepared);
    if (read_only) return ESaveOutcome::kReadOnly;
    if (no_profile) return ESaveOutcome::kConflict;
    if (!written) return ESaveOutcome::kNotSaved;
    if (new_name.empty()) return ESaveOutcome::kSaved;
    return NameSavedProfile(node, new_name, new_profile);
}

}  // namespace kelmora
