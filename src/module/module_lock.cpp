#include "module/module_lock.h"

#include <atomic>

namespace kelmora {

namespace {
std::atomic<long> g_lock_count{0};
}

void LockModule() {
    g_lock_count.fetch_add(1);
}
void UnlockModule() {
    g_lock_count.fetch_sub(1);
}
long ModuleLockCount() {
    return g_lock_count.load();
}

}  // namespace kelmora
