#include "client/critical_section.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/process_lock.h"

namespace kelmora::test {
namespace {

bool FreeForAnotherThread() {
    bool taken = false;
    std::thread other([&] {
        taken = ProcessWideLock().try_lock();
        if (taken) ProcessWideLock().unlock();
    });
    other.join();
    return taken;
}

TEST(CriticalSectionTest, ReentrantForItsOwnerExclusiveForOthers) {
    nt_enter_critical_section();
    nt_enter_critical_section();  // a fetch inside a load takes it again
    nt_leave_critical_section();
    EXPECT_FALSE(FreeForAnotherThread());
    nt_leave_critical_section();
    EXPECT_TRUE(FreeForAnotherThread());
}

}  // namespace
}  // namespace kelmora::test
