#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "store/tree_node.h"

// The tree lock: an exclusive open of the lock file ".rev" in the tree root,
// shared by every process on every machine that uses the tree. The file also
// holds the tree revision, which every change raises by one; a process that
// finds a revision other than the one it last saw has its host reload the
// tree before it goes on.
namespace kelmora {

inline constexpr int kTreeLockAttempts = 30;
inline constexpr unsigned kTreeLockPollMs = 300;

// What a take knows when the caller holds no node.
enum class TreeLockStart {
    kForgetRevision,  // accept whatever revision the lock file holds, without a reload
    kNoCheck,         // keep the cached revision; a different one still reloads
};

// Takes the lock: read-only or read-write, but exclusive either way. Reports
// through the store reporter (to_log: the operation log) and returns false
// when the lock file cannot be opened: no permission, still in use after all
// attempts, or no tree there.
bool TakeTreeLock(TreeLockStart start, bool for_reading, bool to_log);
// The same for a caller that holds node, which is all the change touches:
// when the tree moved since the node was confirmed, only that node is checked
// again (its path still names its folder), with no reload of the tree; when
// it is gone, the take reports the conflicting change and fails with the
// lock free.
bool TakeTreeLock(CTreeNode*& node, bool for_reading, bool to_log);
// Why a take for a change of one node was refused without a word.
enum class ELockRefusal {
    kNone,          // taken, or refused and reported
    kAccessDenied,  // this user may not write the lock file (or make it)
    kInUse,         // others held it throughout
    kConflict,      // the node's folder is gone or another one
};
// A take for writing by a caller that words those two refusals itself
// (*refusal); it opens the node's folder once, into *node_folder, for the
// change to work in.
bool TakeTreeLockForChange(CTreeNode*& node, ELockRefusal* refusal, CFolder* node_folder);

// Frees the lock. With bump, the lock file is rewritten with the next tree
// revision (after INT_MAX: 0) and every node of the current tree is stamped
// with it. A failed rewrite is reported the way the take reported, and gives
// false. Keeps errno.
bool ReleaseTreeLock(bool bump);

bool IsTreeLockHeld();

// A look at the lock file that takes no lock and so keeps no taker waiting:
// its text when no process holds the lock (kFree); kHeld while one does;
// kUnavailable when it cannot be read (none yet, no permission, no tree).
enum class ELockPeek { kFree, kHeld, kUnavailable };
ELockPeek PeekLockFile(std::string* text);
// Whether the node still stands at the lock file's revision: confirmed at
// it already, or its path still names its folder (the same one, where the
// node knows which); then it is confirmed. Looks at that one node only.
// With folder, the node's folder is opened into it, confirmed or not.
bool ConfirmTreeNode(CTreeNode& node, int file_revision, CFolder* folder = nullptr);
// The tree revision that a lock file's text holds.
int TreeRevisionOfLockText(std::string_view text);

// While the lock is held for writing: records in the lock file that the
// profile's GUID file is going to get guid_text (see pending_bump.h), or
// that it no longer needs to; the release writes the record away. A failed
// record is reported and gives false.
bool MarkPendingBump(const std::string& profile_name, const std::string& guid_text);
void ClearPendingBump();

// Native path of the lock file in the current tree root.
std::string LockFilePath();

// The host's answer to a changed tree, called when a take without a node
// finds a revision it has not seen (a take with a node checks only that
// node): it must have loaded the tree again when the handler returns.
// Returns the handler it replaces.
std::function<void()> SetTreeChangedHandler(std::function<void()> handler);

}  // namespace kelmora
