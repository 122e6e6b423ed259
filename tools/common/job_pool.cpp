#include "job_pool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelmora::tools {

void RunJobsOnePerKey(const std::vector<std::string>& keys, int jobs,
                      const std::function<void(size_t)>& run) {
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<bool> started(keys.size(), false);
    std::vector<std::string> busy;
    // The first index not started whose key is free; keys.size() when all have started.
    auto take = [&](std::unique_lock<std::mutex>& hold) {
        for (;;) {
            bool left = false;
            for (size_t i = 0; i < keys.size(); ++i) {
                if (started[i]) continue;
                left = true;
                if (!keys[i].empty() && std::find(busy.begin(), busy.end(), keys[i]) != busy.end())
                    continue;
                started[i] = true;
                busy.push_back(keys[i]);
                return i;
            }
            if (!left) return keys.size();
            finished.wait(hold);
        }
    };
    auto work = [&] {
        std::unique_lock<std::mutex> hold(mutex);
        for (size_t i; (i = take(hold)) < keys.size();) {
            hold.unlock();
            run(i);
            hold.lock();
            busy.erase(std::find(busy.begin(), busy.end(), keys[i]));
            finished.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < std::min<int>(jobs, static_cast<int>(keys.size())); ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
}

}  // namespace kelmora::tools
