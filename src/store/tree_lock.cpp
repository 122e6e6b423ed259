#include "store/tree_lock.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "platform/file.h"
#include "platform/format.h"
#include "platform/sleep.h"
#include "resources/message_text.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_files.h"
#include "store/profile_layout.h"
#include "store/store_reporter.h"

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

// Whether the held lock reports to the log; set by every take.
bool& HeldLockReportsToLog() {
    static bool to_log = false;
    return to_log;
}

// Opens the lock file exclusively, polling while another process holds it,
// and reads the tree revision from it.
bool OpenLockFile(bool for_reading, bool to_log, int* file_revision) {
    CFile& file = HeldLockFile();
    const std::string path = LockFilePath();
    bool opened = false;
    for (int attempt = 0; attempt < kTreeLockAttempts && !opened; ++attempt) {
        CFileException error;
        opened =
            !path.empty() &&
            file.Open(path, for_reading ? FileAccess::Read : FileAccess::ReadWrite,
                      FileShare::Exclusive, FileCreate::OpenAlways, &error, FileKind::RegularOnly);
        if (opened) break;
        if (error.cause == FileErrorCause::NotRegularFile) {
            ReportStoreError(FormatStringId(IDS_NOT_REGULAR_FILE, path.c_str()), to_log);
            return false;
        }
        if (error.cause == FileErrorCause::AccessDenied) {
            ReportStoreError(LoadString(IDS_TREE_NO_PERMISSION), to_log);
            return false;
        }
        if (path.empty() || error.cause != FileErrorCause::SharingViolation) {
            ReportStoreError(FormatStringId(IDS_TREE_NOT_FOUND, CurrentTreeRoot().c_str()), to_log);
            return false;
        }
        SleepMs(kTreeLockPollMs);
    }
    if (!opened) {
        ReportStoreError(LoadString(IDS_TREE_IN_USE), to_log);
        return false;
    }
    char text[kLockFileReadLimit];
    long count = file.Read(text, sizeof text, nullptr);
    *file_revision = ParseTreeRevision(std::string_view(text, count > 0 ? count : 0));
    HeldLockReportsToLog() = to_log;
    return true;
}

bool TakeTreeLockFor(CTreeNode** node, bool forget_revision, bool for_reading, bool to_log) {
    if (forget_revision) SetCachedTreeRevision(-1);
    int file_revision = 0;
    if (!OpenLockFile(for_reading, to_log, &file_revision)) return false;

    // Remember what identifies the caller's node before a reload frees it.
    const bool holds_node = node && *node;
    std::string held_path;
    int held_stamp = 0;
    unsigned long held_generation = CurrentTreeGeneration();
    if (holds_node) {
        held_path = (*node)->full_path();
        held_stamp = (*node)->revision_stamp();
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

    if (holds_node &&
        (held_stamp != CachedTreeRevision() || held_generation != CurrentTreeGeneration())) {
        CTreeNode* found = FindNodeByPath(CurrentTree(), held_path);
        if (!found) {
            ReportStoreError(LoadString(IDS_TREE_CONFLICT), to_log);
            ReleaseTreeLock(false);
            return false;
        }
        *node = found;
    }
    SetCachedTreeRevision(file_revision);
    return true;
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

bool ReleaseTreeLock(bool bump) {
    CFile& file = HeldLockFile();
    if (!file.IsOpen()) return true;
    const int saved_errno = errno;
    bool written = true;
    if (bump) {
        const int next = NextTreeRevision(CachedTreeRevision());
        SetCachedTreeRevision(next);
        // Written over the old number, then cut to the new one's length: a
        // write that fails midway leaves the old number's leading digits, not
        // a shorter number that other processes might take for one they know.
        const std::string text = FormatPrintf("%d", next);
        CFileException error;
        written = file.SeekToStart(&error) && file.Write(text.data(), text.size(), &error) &&
                  file.SetLength(static_cast<long long>(text.size()), &error);
        // The cached revision stays the new one: this process reloads at its
        // next take unless the file holds it after all.
        if (!written) {
            ReportStoreError(OpenErrorText(error, file.path()), HeldLockReportsToLog());
        }
        FindNodeByPath(CurrentTree(), "");
    }
    file.Close();
    errno = saved_errno;
    return written;
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
