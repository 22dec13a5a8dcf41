#pragma once
// Virtual time for the cycle's timers.  advanceBy/advanceTo move a FakeClock
// from one deadline to the next and fire the due timers in deadline order
// (ties in the order they were started); a timer started by a callback fires
// within the same advance when its deadline falls inside it.  start() on an
// active timer restarts it.  Single-threaded, like the GUI thread it stands for.
#include "clock.h"
#include "cycletimer.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class VirtualScheduler : public CycleTimerFactory {
public:
    // Uses clock for the time (its monotonic time is the scheduler's "now").
    explicit VirtualScheduler(std::shared_ptr<FakeClock> clock);
    ~VirtualScheduler() override;

    std::unique_ptr<CycleTimer> create(std::function<void()> onTimeout, bool singleShot = false,
                                       bool precise = false) override;

    qint64 now() const;                 // monotonic ms of the clock
    // Fires every timer due up to now + ms, then leaves the clock at now + ms.
    void advanceBy(qint64 ms);
    void advanceTo(qint64 monotonicMs);
    // Fires the next due timer only; false when none is active.
    bool fireNext();
    // The earliest deadline of an active timer, or -1.
    qint64 nextDeadline() const;
    int activeTimers() const;

    FakeClock& clock() { return *clock_; }

    struct Entry;
private:
    friend class VirtualTimer;
    std::shared_ptr<FakeClock> clock_;
    std::vector<Entry*> timers_;
    quint64 startSerial_ = 0;
    Entry* dueBefore(qint64 limit) const;
    void fire(Entry* e);
};
