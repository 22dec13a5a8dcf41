#pragma once
// The detection step's own worker threads: the cameras of one detection are
// judged at once, one camera per thread, while the GUI thread takes a camera
// itself and then waits for the rest.  A fixed set of plain threads (no Qt
// pool): their hand-overs are standard mutexes and condition variables, which
// the race checker sees.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class DetectionPool {
public:
    // Workers besides the calling thread: one less than the cores, at most
    // one per further camera slot.
    static int DefaultWorkers();

    explicit DetectionPool(int workers = DefaultWorkers());
    ~DetectionPool();
    DetectionPool(const DetectionPool&) = delete;
    DetectionPool& operator=(const DetectionPool&) = delete;

    int workers() const { return static_cast<int>(threads_.size()); }

    // Runs job(0) ... job(n - 1), each exactly once, on the workers and the
    // calling thread; returns when every one has returned, so whatever the
    // jobs wrote is then visible to the caller.  One run at a time.
    void run(int n, const std::function<void(int)>& job);

private:
    void work();
    // Takes the next index of the current run and runs it; false when none
    // is left.  lock is held on entry and on return.
    bool takeOne(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable wake_;   // a run started, or the pool ends
    std::condition_variable done_;   // the last job of a run returned
    const std::function<void(int)>* job_ = nullptr;
    int count_ = 0;
    int next_ = 0;
    int running_ = 0;                // jobs of the run not yet returned
    bool stop_ = false;
    std::vector<std::thread> threads_;
};
