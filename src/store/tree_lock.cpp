#include "store/tree_lock.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "client/preview.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/fs.h"
#include "platform/sleep.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/pending_bump.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/store_reporter.h"
#include "store/tree_dir.h"

namespace kelmora {

namespace {

// The held lock: one open lock file per process.
CFile& HeldLockFile() {
    static CFile file;
    return file;
}

std::function<void()>& TreeChangedHandler() {
    static std::function<void()> handler;
    return handler;
}

// "%d" over the first 31 bytes; no number counts as revision 0. The file's
// range is 0 to INT_MAX, which keeps the "not known" value out of it.
int ParseTreeRevision(std::string_view text) {
    size_t pos = 0;
    int value = 0;
    if (!ScanDecimalInt(text, &pos, &value) || value < 0) return 0;
    return value;
}

// The revision after a change: past the largest one it starts again at 0,
// which every other process sees as a change as well.
int NextTreeRevision(int revision) {
    return revision >= INT_MAX || revision < 0 ? 0 : revision + 1;
}

constexpr size_t kLockFileReadLimit = 31;
// Room for the revision and a pending bump's record after it.
constexpr size_t kLockFileTextLimit = 4096;

// The record of an unfinished bump that the held lock file keeps, and
// whether this process changed it since the take.
struct CPendingState {
    std::string line;
    bool changed = false;
};
CPendingState& Pending() {
    static CPendingState state;
    return state;
}

// The held lock file's length as this process read or wrote it; -1 unknown.
long long& HeldLockLength() {
    static long long length = -1;
    return length;
}

// Rewrites the held lock file with the revision and the pending record in one
// write that covers at least the old text (blanks fill the rest, which "%d"
// reads past), then cuts it: a kill leaves a whole number, never a mix of two.
bool RewriteLockFile(int revision, CFileException* error) {
    CFile& file = HeldLockFile();
    std::string text = FormatPrintf("%d", revision);
    if (!Pending().line.empty()) text += "\n" + Pending().line;
    const size_t length = text.size();
    const long long old_length = HeldLockLength() >= 0 ? HeldLockLength() : file.Length();
    if (old_length > static_cast<long long>(text.size()))
        text.append(static_cast<size_t>(old_length) - text.size(), ' ');
    // A text that reaches the old end needs no cut (one request less).
    HeldLockLength() = -1;
    if (!(file.SeekToStart(error) && file.Write(text.data(), text.size(), error) &&
          (static_cast<long long>(length) >= old_length ||
           file.SetLength(static_cast<long long>(length), error))))
        return false;
    HeldLockLength() = static_cast<long long>(length);
    return true;
}

// Whether the held lock reports to the log; set by every take.
bool& HeldLockReportsToLog() {
    static bool to_log = false;
    return to_log;
}

// Opens the lock file exclusively, polling while another process holds it,
// and reads the tree revision from it. A writer first finishes a bump that a
// cut save left recorded. A preview or a read-only look makes no lock file:
// a tree without one is looked at as revision 0, without a lock.
bool OpenLockFile(bool for_reading, bool to_log, int* file_revision, ELockRefusal* refusal) {
    CFile& file = HeldLockFile();
    const std::string path = LockFilePath();
    const bool look_only = ActivePreview() != nullptr;
    bool opened = false;
    CWaitNotice notice(path);
    const int attempts = WaitAttempts(kTreeLockAttempts, kTreeLockPollMs);
    Pending() = CPendingState{};
    for (int attempt = 0; attempt < attempts && !opened; ++attempt) {
        CFileException error;
        opened = !path.empty() &&
                 file.Open(path, for_reading ? FileAccess::Read : FileAccess::ReadWrite,
                           FileShare::Exclusive,
                           look_only ? FileCreate::OpenExisting : FileCreate::OpenAlways, &error,
                           FileKind::RegularOnly);
        if (opened) break;
        if (look_only && error.cause == FileErrorCause::FileNotFound && !path.empty() &&
            IsDirectory(NativePathOfFullPath(CurrentTreeRoot()))) {
            *file_revision = 0;
            return true;
        }
        if (error.cause == FileErrorCause::NotRegularFile) {
            ReportStoreError(FormatStringId(IDS_NOT_REGULAR_FILE, path.c_str()), to_log);
            return false;
        }
        if (error.cause == FileErrorCause::AccessDenied) {
            if (refusal)
                *refusal = ELockRefusal::kAccessDenied;
            else
                ReportStoreError(LoadString(IDS_TREE_NO_PERMISSION), to_log);
            return false;
        }
        if (path.empty() || error.cause != FileErrorCause::SharingViolation) {
            ReportStoreError(FormatStringId(IDS_TREE_NOT_FOUND, CurrentTreeRoot().c_str()), to_log);
            return false;
        }
        notice.Sleep(kTreeLockPollMs);
    }
    if (!opened) {
        if (refusal)
            *refusal = ELockRefusal::kInUse;
        else
            ReportStoreError(LoadString(IDS_TREE_IN_USE), to_log);
        return false;
    }
    std::string text(kLockFileTextLimit, '\0');
    long count = file.Read(text.data(), text.size(), nullptr);
    text.resize(count > 0 ? static_cast<size_t>(count) : 0);
    HeldLockLength() = count >= 0 && static_cast<size_t>(count) < kLockFileTextLimit ? count : -1;
    *file_revision = ParseTreeRevision(std::string_view(text).substr(0, kLockFileReadLimit));
    HeldLockReportsToLog() = to_log;
    CPendingBump pending;
    if (!for_reading && !look_only && FindPendingBump(text, &pending)) {
        Pending().line = PendingBumpLine(pending);
        if (CompletePendingBump(pending)) {
            // The bump of the tree revision that the cut save did not make.
            Pending().line.clear();
            CFileException error;
            if (RewriteLockFile(NextTreeRevision(*file_revision), &error))
                *file_revision = NextTreeRevision(*file_revision);
        }
    }
    return true;
}

// The tree revision the held lock file had when it was taken.
int& HeldRevision() {
    static int revision = 0;
    return revision;
}

bool TakeTreeLockFor(CTreeNode** node, bool forget_revision, bool for_reading, bool to_log,
                     ELockRefusal* refusal = nullptr, CFolder* node_folder = nullptr) {
    if (forget_revision) SetCachedTreeRevision(-1);
    int file_revision = 0;
    if (!OpenLockFile(for_reading, to_log, &file_revision, refusal)) return false;
    HeldRevision() = file_revision;

    // A caller that holds a node changes only it: when the tree moved, that
    // node is checked again under the lock instead of the tree being loaded
    // again, so a change costs what it changes.
    if (node && *node) {
        if (!ConfirmTreeNode(**node, file_revision, node_folder)) {
            if (refusal)
                *refusal = ELockRefusal::kConflict;
            else
                ReportStoreError(LoadString(IDS_TREE_CONFLICT), to_log);
            ReleaseTreeLock(false);
            return false;
        }
        return true;
    }

    if (CachedTreeRevision() != -1 && CachedTreeRevision() != file_revision) {
        // Another process changed the tree: the host reloads it while the
        // lock is free, so that its load can take the lock itself.
        SetCachedTreeRevision(file_revision);
        ReleaseTreeLock(false);
        if (auto& handler = TreeChangedHandler()) handler();
        if (!TakeTreeLockFor(nullptr, false, for_reading, to_log)) return false;
        // The second take read the file afresh; its number is the one to keep.
        file_revision = CachedTreeRevision();
    }
    SetCachedTreeRevision(file_revision);
    return true;
}

// After this process's own change raised the revision: what was confirmed
// at the old one still stands at the new one. Where the whole tree was
// current, every node is stamped, and the process keeps the new revision.
void StampAfterOwnChange(int held, int next) {
    if (CachedTreeRevision() == held) {
        SetCachedTreeRevision(next);
        FindNodeByPath(CurrentTree(), "");
        return;
    }
    SearchTree(CurrentTree(), [&](CTreeNode& node) {
        if (node.revision_stamp() == held) node.set_revision_stamp(next);
        return false;
    });
}

}  // namespace

std::string LockFilePath() {
    return NativePathOfFullPath(CurrentTreeRoot(), kLockFileName);
}

bool TakeTreeLock(TreeLockStart start, bool for_reading, bool to_log) {
    return TakeTreeLockFor(nullptr, start == TreeLockStart::kForgetRevision, for_reading, to_log);
}

bool TakeTreeLock(CTreeNode*& node, bool for_reading, bool to_log) {
    return TakeTreeLockFor(&node, false, for_reading, to_log);
}

bool TakeTreeLockForChange(CTreeNode*& node, ELockRefusal* refusal, CFolder* node_folder) {
    *refusal = ELockRefusal::kNone;
    return TakeTreeLockFor(&node, false, false, false, refusal, node_folder);
}

bool ReleaseTreeLock(bool bump) {
    CFile& file = HeldLockFile();
    if (!file.IsOpen()) return true;
    const int saved_errno = errno;
    bool written = true;
    if (bump || Pending().changed) {
        const int held = HeldRevision();
        const int next = bump ? NextTreeRevision(held) : held;
        CFileException error;
        written = RewriteLockFile(next, &error);
        // The cached revision stays the new one: this process reloads at its
        // next take unless the file holds it after all.
        if (!written) {
            ReportStoreError(WriteErrorText(error, file.path()), HeldLockReportsToLog());
        }
        if (bump) StampAfterOwnChange(held, next);
    }
    Pending() = CPendingState{};
    file.Close();
    errno = saved_errno;
    return written;
}

bool MarkPendingBump(const std::string& profile_name, const std::string& guid_text) {
    CFile& file = HeldLockFile();
    if (!file.IsOpen()) return true;
    Pending().line = PendingBumpLine({profile_name, guid_text});
    Pending().changed = true;
    CFileException error;
    if (RewriteLockFile(HeldRevision(), &error) && file.Flush(&error)) return true;
    ReportStoreError(WriteErrorText(error, file.path()), HeldLockReportsToLog());
    Pending().line.clear();
    return false;
}

void ClearPendingBump() {
    if (Pending().line.empty()) return;
    Pending().line.clear();
    Pending().changed = true;
}

bool ConfirmTreeNode(CTreeNode& node, int file_revision, CFolder* opened) {
    CFolder own;
    CFolder& folder = opened ? *opened : own;
    if (node.revision_stamp() == file_revision) {
        // The caller says what keeps its folder from it.
        if (opened) OpenTreeFolder(node.full_path(), opened);
        return true;
    }
    if (!OpenTreeFolder(node.full_path(), &folder)) return false;
    CEntryTimes times;
    CFileIdentity identity;
    if (const CFileIdentity* known = node.folder_identity();
        known && !(folder.GetTimes(&times, &identity) && identity == *known))
        return false;
    node.set_revision_stamp(file_revision);
    return true;
}

ELockPeek PeekLockFile(std::string* text) {
    bool held = false;
    const std::string path = LockFilePath();
    if (!path.empty() && ReadUnlessHeldExclusively(path, kLockFileTextLimit, text, &held))
        return ELockPeek::kFree;
    return held ? ELockPeek::kHeld : ELockPeek::kUnavailable;
}

int TreeRevisionOfLockText(std::string_view text) {
    return ParseTreeRevision(text.substr(0, kLockFileReadLimit));
}

bool IsTreeLockHeld() {
    return HeldLockFile().IsOpen();
}

std::function<void()> SetTreeChangedHandler(std::function<void()> handler) {
    std::function<void()> previous = std::move(TreeChangedHandler());
    TreeChangedHandler() = std::move(handler);
    return previous;
}

}  // namespace kelmora
