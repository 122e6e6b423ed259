#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kelmora {

// Keeps up to width file requests in flight: tasks run on width - 1 threads
// of the pool and on the thread that waits for them. On a share each request
// is a round trip, so the waits overlap; with width 1 every task runs on the
// waiting thread, one after the other. Tasks may submit further tasks; the
// last submitted runs first, so a walk goes deep before wide and few of its
// folders are held open at once.
class CRequestPool {
public:
    explicit CRequestPool(unsigned width);
    ~CRequestPool();
    CRequestPool(const CRequestPool&) = delete;
    CRequestPool& operator=(const CRequestPool&) = delete;

    unsigned width() const { return width_; }
    void Submit(std::function<void()> task);
    // Runs tasks until none is queued or running.
    void WaitIdle();
    // Runs the next queued task on the calling thread; false when none is queued.
    bool RunQueuedTask();

private:
    void Work();
    // Runs one task taken under lock; false when there was none.
    bool RunOne(std::unique_lock<std::mutex>& lock);

    const unsigned width_;
    std::mutex mutex_;
    std::condition_variable queued_, idle_;
    std::vector<std::function<void()>> tasks_;
    unsigned running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Runs read(i) for i = 0 .. count - 1 with up to width of them in flight,
// the lower indexes first, and consume(i) on the calling thread in index
// order as soon as read(i) is done. consume returning false stops: the reads
// not started by then are not made. Each read(i) may only touch what belongs
// to index i.
void ReadInOrder(size_t count, unsigned width, const std::function<void(size_t)>& read,
                 const std::function<bool(size_t)>& consume);

}  // namespace kelmora
