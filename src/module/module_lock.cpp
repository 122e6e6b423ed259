#include "module/module_lock.h"

#include <atomic>

namespace kelmora {

namespace {

std::atomic<long> g_lock_count{0};
std::atomic<long> g_server_locks{0};  // those of LockServer, within the count

bool DecrementIfPositive(std::atomic<long>* count) {
    long current = count->load();
    while (current > 0) {
        if (count->compare_exchange_weak(current, current - 1)) return true;
    }
    return false;
}

}  // namespace

void LockModule() {
    g_lock_count.fetch_add(1);
}
void UnlockModule() {
    DecrementIfPositive(&g_lock_count);
}
long ModuleLockCount() {
    return g_lock_count.load();
}

void LockServerModule() {
    g_server_locks.fetch_add(1);
    LockModule();
}
bool UnlockServerModule() {
    if (!DecrementIfPositive(&g_server_locks)) return false;
    UnlockModule();
    return true;
}

}  // namespace kelmora
