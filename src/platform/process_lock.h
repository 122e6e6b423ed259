#pragma once

#include <mutex>

namespace kelmora {

// The one process-wide lock around sequences of view and VOB library calls.
// Re-entrant for the thread that holds it.
std::recursive_mutex& ProcessWideLock();

class CProcessLockGuard {
public:
    CProcessLockGuard() { ProcessWideLock().lock(); }
    ~CProcessLockGuard() { ProcessWideLock().unlock(); }
    CProcessLockGuard(const CProcessLockGuard&) = delete;
    CProcessLockGuard& operator=(const CProcessLockGuard&) = delete;
};

}  // namespace kelmora
