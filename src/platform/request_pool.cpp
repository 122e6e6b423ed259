#include "platform/request_pool.h"

#include <atomic>
#include <memory>
#include <system_error>

namespace kelmora {

CRequestPool::CRequestPool(unsigned width) : width_(width < 1 ? 1 : width) {}

CRequestPool::~CRequestPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void CRequestPool::Submit(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        // Threads are started only once there is work to share; where none
        // can be had, the waiting thread does the work.
        if (threads_.size() + 1 < width_ && tasks_.size() > 1) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
            }
        }
    }
    queued_.notify_one();
    idle_.notify_one();  // the waiting thread takes work too
}

bool CRequestPool::RunOne(std::unique_lock<std::mutex>& lock) {
    if (tasks_.empty()) return false;
    std::function<void()> task = std::move(tasks_.back());
    tasks_.pop_back();
    ++running_;
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
    --running_;
    if (tasks_.empty() && running_ == 0) idle_.notify_all();
    return true;
}

void CRequestPool::Work() {
    std::unique_lock lock(mutex_);
    while (true) {
        queued_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_) return;
        RunOne(lock);
    }
}

bool CRequestPool::RunQueuedTask() {
    std::unique_lock lock(mutex_);
    return RunOne(lock);
}

void CRequestPool::WaitIdle() {
    std::unique_lock lock(mutex_);
    while (true) {
        if (RunOne(lock)) continue;
        if (running_ == 0) return;
        idle_.wait(lock, [this] { return !tasks_.empty() || running_ == 0; });
    }
}

void ReadInOrder(size_t count, unsigned width, const std::function<void(size_t)>& read,
                 const std::function<bool(size_t)>& consume) {
    if (width <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            read(i);
            if (!consume(i)) return;
        }
        return;
    }
    std::mutex mutex;
    std::condition_variable done_one;
    std::unique_ptr<bool[]> done(new bool[count]());
    std::atomic<bool> stopped = false;
    CRequestPool pool(width);
    // The last submitted runs first: index 0 goes in last.
    for (size_t i = count; i-- > 0;) {
        pool.Submit([&, i] {
            if (!stopped) read(i);
            std::lock_guard lock(mutex);
            done[i] = true;
            done_one.notify_all();
        });
    }
    for (size_t i = 0; i < count; ++i) {
        // The calling thread reads too while it waits, the lowest index first.
        while (true) {
            {
                std::lock_guard lock(mutex);
                if (done[i]) break;
            }
            if (pool.RunQueuedTask()) continue;
            std::unique_lock lock(mutex);
            done_one.wait(lock, [&] { return done[i]; });
            break;
        }
        if (!consume(i)) {
            stopped = true;
            break;
        }
    }
    // Every task still refers to this frame; those not started read nothing.
    pool.WaitIdle();
}

}  // namespace kelmora
