#include "job_pool.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>

namespace kelmora::tools {
namespace {

// The first job of "a" waits until the job of "b" has started: with two
// threads that happens only when the second job of "a" is passed over.
TEST(JobPoolTest, NeverRunsTwoJobsOfOneKeyAtOnce) {
    const std::vector<std::string> keys = {"a", "a", "b"};
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, int> running;
    int most = 0, calls = 0;
    bool b_started = false;
    RunJobsOnePerKey(keys, 2, [&](size_t i) {
        std::unique_lock<std::mutex> hold(mutex);
        ++calls;
        most = std::max(most, ++running[keys[i]]);
        b_started = b_started || keys[i] == "b";
        changed.notify_all();
        if (i == 0) changed.wait(hold, [&] { return b_started; });
        --running[keys[i]];
    });
    EXPECT_EQ(most, 1);
    EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace kelmora::tools
