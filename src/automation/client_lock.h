#pragma once

#include "client/critical_section.h"

namespace kelmora {

// Holds the client libraries' process-wide lock for one scope; it is
// re-entrant, so nested scopes on one thread are fine.
class CClientLock {
public:
    CClientLock() { nt_enter_critical_section(); }
    ~CClientLock() { nt_leave_critical_section(); }
    CClientLock(const CClientLock&) = delete;
    CClientLock& operator=(const CClientLock&) = delete;
};

}  // namespace kelmora
