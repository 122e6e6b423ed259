#include "store/tree_lock.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/file.h"
#include "platform/format.h"
#include "platform/sleep.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
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

// "%d" over the first 31 bytes; no number counts as revision 0.
int ParseTreeRevision(const char* text) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text) return 0;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
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
            !path.empty() && file.Open(path, for_reading ? FileAccess::Read : FileAccess::ReadWrite,
                                       FileShare::Exclusive, FileCreate::OpenAlways, &error);
        if (opened) break;
        if (error.cause == FileErrorCause::AccessDenied) {
            ReportStoreError(LoadString(IDS_TREE_NO_PERMISSION), to_log);
            return false;
        }
        if (path.empty() || error.cause != FileErrorCause::SharingViolation) {
            ReportStoreError(
                FormatPrintf(LoadString(IDS_TREE_NOT_FOUND).c_str(), CurrentTreeRoot().c_str()),
                to_log);
            return false;
        }
        SleepMs(kTreeLockPollMs);
    }
    if (!opened) {
        ReportStoreError(LoadString(IDS_TREE_IN_USE), to_log);
        return false;
    }
    char text[32] = {0};
    long count = file.Read(text, 31, nullptr);
    text[count > 0 ? count : 0] = '\0';
    *file_revision = ParseTreeRevision(text);
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

void ReleaseTreeLock(bool bump) {
    CFile& file = HeldLockFile();
    if (!file.IsOpen()) return;
    const int saved_errno = errno;
    if (bump) {
        const int next = CachedTreeRevision() + 1;
        SetCachedTreeRevision(next);
        const std::string text = FormatPrintf("%d", next);
        if (file.Truncate(nullptr)) file.Write(text.data(), text.size(), nullptr);
        FindNodeByPath(CurrentTree(), "");
    }
    file.Close();
    errno = saved_errno;
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
