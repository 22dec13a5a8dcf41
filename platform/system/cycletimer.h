#pragma once
// The cycle's timers behind one seam: production wraps QTimer, tests run
// them on a virtual scheduler that moves a FakeClock from deadline to
// deadline, so a whole machine cycle runs in microseconds and exactly.
#include <functional>
#include <memory>

class QObject;

class CycleTimer {
public:
    virtual ~CycleTimer() = default;
    // Starts (or restarts, when active) with the interval given.
    virtual void start(int ms) = 0;
    // Starts (or restarts) with the interval last set.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;
    virtual void setInterval(int ms) = 0;
    virtual bool isSingleShot() const = 0;
};

// Makes timers whose expiry calls onTimeout on the owner's thread.  A
// repeating timer fires until stopped; a single-shot one fires once per start.
class CycleTimerFactory {
public:
    virtual ~CycleTimerFactory() = default;
    virtual std::unique_ptr<CycleTimer> create(std::function<void()> onTimeout, bool singleShot = false,
                                               bool precise = false) = 0;
};

// QTimer children of parent; precise timers use Qt::PreciseTimer.
class QtCycleTimerFactory : public CycleTimerFactory {
public:
    explicit QtCycleTimerFactory(QObject* parent) : parent_(parent) {}
    std::unique_ptr<CycleTimer> create(std::function<void()> onTimeout, bool singleShot = false,
                                       bool precise = false) override;
private:
    QObject* parent_;
};
