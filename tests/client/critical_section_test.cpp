#include "client/critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/process_lock.h"

namespace kelmora::test {
namespace {

// Whether another thread could take the lock right now.
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
    EXPECT_FALSE(FreeForAnotherThread());
    nt_leave_critical_section();
    EXPECT_FALSE(FreeForAnotherThread());
    nt_leave_critical_section();
    EXPECT_TRUE(FreeForAnotherThread());
}

TEST(CriticalSectionTest, AnotherThreadWaitsUntilTheOwnerLeaves) {
    std::atomic<bool> entered{false};
    nt_enter_critical_section();
    std::thread other([&] {
        nt_enter_critical_section();
        entered = true;
        nt_leave_critical_section();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);
    nt_leave_critical_section();
    other.join();
    EXPECT_TRUE(entered);
}

}  // namespace
}  // namespace kelmora::test
