#pragma once
// The GigE reachability sweep (AddressRepair::EnsureDeviceReach) on a worker
// thread: it pings up to 16 addresses of about a second each, which must
// never hold the GUI thread.  Started and asked from the GUI thread; the
// caller acts on its end there (the next enumeration).
#include <atomic>
#include <thread>

class ReachSweep {
public:
    ReachSweep() = default;
    ~ReachSweep();
    ReachSweep(const ReachSweep&) = delete;
    ReachSweep& operator=(const ReachSweep&) = delete;

    // Starts a sweep of the installed repair unless one runs; nothing
    // without a repair.
    void start();
    bool running() const;
    // Starts a sweep and waits for its end while the GUI thread goes on
    // handling events.
    void runAndWait();

private:
    std::thread thread_;
    std::atomic<bool> done_{true};
};
