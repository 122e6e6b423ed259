#pragma once

#include <string>

#include "store/tree_node.h"

// Reads of the tree that keep no writer out. Every change holds the tree lock
// and rewrites the lock file ".rev" (a Rules save marks itself "pending"
// there first), so a reader notes the file's text before it reads and checks
// after it that the lock is free and the text unchanged: a change made or
// begun meanwhile makes it read again. After kSettledReadPasses unsettled
// passes it reads under the tree lock, as every read did before.
namespace kelmora {

inline constexpr int kSettledReadPasses = 3;

class CSettledTreeRead {
public:
    // node: the one node the read is about (its profile), which is checked
    // again when the tree moved since it was confirmed; null for a read of
    // the whole tree, which takes the file's revision as the process's own.
    explicit CSettledTreeRead(bool to_log, CTreeNode** node = nullptr);
    ~CSettledTreeRead();
    CSettledTreeRead(const CSettledTreeRead&) = delete;
    CSettledTreeRead& operator=(const CSettledTreeRead&) = delete;

    // Starts a pass, in the current tree root (CheckTreeRoot or a load has
    // read it); with_lock: under the tree lock whatever came before.
    // False after reporting why the tree cannot be read now. A read inside
    // another one (or under this process's lock) is part of that one.
    bool Begin(bool with_lock = false);
    // After a pass: true when no change touched the tree during it; false:
    // read again from Begin().
    bool Settled();
    // Frees the lock of a locked pass.
    void Release();
    bool locked() const { return locked_; }
    // The lock file's text at the start of the last pass without the lock.
    const std::string& lock_text() const { return before_; }
    bool nested() const { return nested_; }

private:
    bool BeginLocked();

    bool to_log_;
    CTreeNode** node_;
    bool nested_;
    bool locked_ = false;
    int passes_ = 0;
    std::string before_;
};

}  // namespace kelmora
