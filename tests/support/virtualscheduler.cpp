#include "virtualscheduler.h"

#include <algorithm>

struct VirtualScheduler::Entry {
    std::function<void()> onTimeout;
    bool singleShot = false;
    bool active = false;
    int interval = 0;
    qint64 deadline = 0;
    quint64 serial = 0;   // start order, for ties
};

class VirtualTimer : public CycleTimer {
public:
    VirtualTimer(VirtualScheduler* s, VirtualScheduler::Entry* e) : s_(s), e_(e) {}
    ~VirtualTimer() override
    {
        auto& v = s_->timers_;
        v.erase(std::remove(v.begin(), v.end(), e_), v.end());
        delete e_;
    }
    void start(int ms) override
    {
        e_->interval = ms;
        start();
    }
    void start() override
    {
        e_->active = true;
        e_->deadline = s_->now() + std::max(0, e_->interval);
        e_->serial = ++s_->startSerial_;
    }
    void stop() override { e_->active = false; }
    bool isActive() const override { return e_->active; }
    int interval() const override { return e_->interval; }
    void setInterval(int ms) override { e_->interval = ms; }
    bool isSingleShot() const override { return e_->singleShot; }

private:
    VirtualScheduler* s_;
    VirtualScheduler::Entry* e_;
};

VirtualScheduler::VirtualScheduler(std::shared_ptr<FakeClock> clock) : clock_(std::move(clock)) {}

VirtualScheduler::~VirtualScheduler()
{
    // Timers outliving the scheduler would point into it; tests destroy their
    // controller first.
    Q_ASSERT(timers_.empty());
}

std::unique_ptr<CycleTimer> VirtualScheduler::create(std::function<void()> onTimeout, bool singleShot, bool)
{
    auto* e = new Entry;
    e->onTimeout = std::move(onTimeout);
    e->singleShot = singleShot;
    timers_.push_back(e);
    return std::make_unique<VirtualTimer>(this, e);
}

qint64 VirtualScheduler::now() const { return clock_->monotonicMs(); }

VirtualScheduler::Entry* VirtualScheduler::dueBefore(qint64 limit) const
{
    Entry* best = nullptr;
    for (Entry* e : timers_) {
        if (!e->active || e->deadline > limit)
            continue;
        if (!best || e->deadline < best->deadline || (e->deadline == best->deadline && e->serial < best->serial))
            best = e;
    }
    return best;
}

void VirtualScheduler::fire(Entry* e)
{
    if (e->deadline > now())
        clock_->advanceMs(e->deadline - now());
    if (e->singleShot) {
        e->active = false;
    } else {
        // A repeating timer with interval 0 would fire for ever within one
        // advance; give it at least a millisecond, as an event loop would.
        e->deadline = now() + std::max(1, e->interval);
        e->serial = ++startSerial_;
    }
    auto callback = e->onTimeout;   // the callback may destroy the timer
    callback();
}

void VirtualScheduler::advanceTo(qint64 monotonicMs)
{
    while (Entry* e = dueBefore(monotonicMs))
        fire(e);
    if (monotonicMs > now())
        clock_->advanceMs(monotonicMs - now());
}

void VirtualScheduler::advanceBy(qint64 ms) { advanceTo(now() + ms); }

bool VirtualScheduler::fireNext()
{
    const qint64 d = nextDeadline();
    if (d < 0)
        return false;
    fire(dueBefore(d));
    return true;
}

qint64 VirtualScheduler::nextDeadline() const
{
    qint64 best = -1;
    for (Entry* e : timers_)
        if (e->active && (best < 0 || e->deadline < best))
            best = e->deadline;
    return best;
}

int VirtualScheduler::activeTimers() const
{
    return int(std::count_if(timers_.begin(), timers_.end(), [](const Entry* e) { return e->active; }));
}
