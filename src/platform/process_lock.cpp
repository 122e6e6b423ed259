#include "platform/process_lock.h"

namespace kelmora {

std::recursive_mutex& ProcessWideLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace kelmora
