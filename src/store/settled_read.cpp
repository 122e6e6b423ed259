#include "store/settled_read.h"

#include "platform/sleep.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/store_reporter.h"
#include "store/tree_lock.h"

namespace kelmora {

namespace {

int& OpenReads() {
    static int count = 0;
    return count;
}

}  // namespace

CSettledTreeRead::CSettledTreeRead(bool to_log, CTreeNode** node)
    : to_log_(to_log), node_(node), nested_(OpenReads() > 0 || IsTreeLockHeld()) {
    if (!nested_) ++OpenReads();
}

CSettledTreeRead::~CSettledTreeRead() {
    Release();
    if (!nested_) --OpenReads();
}

bool CSettledTreeRead::BeginLocked() {
    locked_ = node_ && *node_ ? TakeTreeLock(*node_, true, to_log_)
                              : TakeTreeLock(TreeLockStart::kForgetRevision, true, to_log_);
    return locked_;
}

bool CSettledTreeRead::Begin(bool with_lock) {
    if (nested_) return true;
    Release();
    if (with_lock || ++passes_ > kSettledReadPasses) return BeginLocked();
    // A change in progress is waited for the way a take waits for the lock,
    // before anything is read.
    CWaitNotice notice(LockFilePath());
    const int attempts = WaitAttempts(kTreeLockAttempts, kTreeLockPollMs);
    for (int attempt = 1;; ++attempt) {
        const ELockPeek peek = PeekLockFile(&before_);
        if (peek == ELockPeek::kFree) break;
        // No lock file yet, or one this user cannot read: the take makes
        // it, or says why not.
        if (peek == ELockPeek::kUnavailable) return BeginLocked();
        if (attempt >= attempts) {
            ReportStoreError(LoadString(IDS_TREE_IN_USE), to_log_);
            return false;
        }
        notice.Sleep(kTreeLockPollMs);
    }
    const int revision = TreeRevisionOfLockText(before_);
    if (!node_ || !*node_) {
        SetCachedTreeRevision(revision);
        return true;
    }
    // The node is checked the way a take checks it.
    if (ConfirmTreeNode(**node_, revision)) return true;
    ReportStoreError(LoadString(IDS_TREE_CONFLICT), to_log_);
    return false;
}

bool CSettledTreeRead::Settled() {
    if (nested_ || locked_) return true;
    std::string after;
    return PeekLockFile(&after) == ELockPeek::kFree && after == before_;
}

void CSettledTreeRead::Release() {
    if (!locked_) return;
    ReleaseTreeLock(false);
    locked_ = false;
}

}  // namespace kelmora
