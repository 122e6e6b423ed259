#include "client/critical_section.h"

#include "platform/process_lock.h"

void nt_enter_critical_section() {
    kelmora::ProcessWideLock().lock();
}

void nt_leave_critical_section() {
    kelmora::ProcessWideLock().unlock();
}
