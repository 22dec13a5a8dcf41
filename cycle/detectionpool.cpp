#include "detectionpool.h"

#include "globals.h"

#include <algorithm>

int DetectionPool::DefaultWorkers()
{
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores - 1, 0, kCameraSlots - 1);
}

DetectionPool::DetectionPool(int workers)
{
    workers = std::clamp(workers, 0, kCameraSlots - 1);
    threads_.reserve(static_cast<size_t>(workers));
    for (int k = 0; k < workers; ++k)
        threads_.emplace_back([this] { work(); });
}

DetectionPool::~DetectionPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

bool DetectionPool::takeOne(std::unique_lock<std::mutex>& lock)
{
    if (!job_ || next_ >= count_)
        return false;
    const int index = next_++;
    const std::function<void(int)>* job = job_;
    lock.unlock();
    (*job)(index);
    lock.lock();
    if (--running_ == 0)
        done_.notify_all();
    return true;
}

void DetectionPool::run(int n, const std::function<void(int)>& job)
{
    if (n <= 0)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    job_ = &job;
    count_ = n;
    next_ = 0;
    running_ = n;
    if (!threads_.empty() && n > 1)
        wake_.notify_all();
    while (takeOne(lock)) {
    }
    done_.wait(lock, [this] { return running_ == 0; });
    // No index is left, so no worker touches the job after this.
    job_ = nullptr;
    count_ = next_ = 0;
}

void DetectionPool::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || (job_ && next_ < count_); });
        if (stop_)
            return;
        takeOne(lock);
    }
}
