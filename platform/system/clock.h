#pragma once
// Time and waiting behind one seam, so that tests neither sleep nor depend
// on the host clock.
#include <QDateTime>
#include <QMutex>
#include <memory>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual void sleepMs(int ms) = 0;
    // Milliseconds of a clock that never jumps when the wall time is set;
    // cycle lengths and time-outs are measured on it.
    virtual qint64 monotonicMs() const = 0;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void sleepMs(int ms) override;
    qint64 monotonicMs() const override;
};

// A clock that only moves when told to; sleeping and advancing move the wall
// time and the monotonic time together, setting the wall time moves only it.
class FakeClock : public Clock {
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
    QDateTime now() const override;
    void sleepMs(int ms) override;
    void set(const QDateTime& t);
    void advanceMs(qint64 ms);
    qint64 sleptMs() const;
    qint64 monotonicMs() const override;
private:
    mutable QMutex mutex_;
    QDateTime now_;
    qint64 monotonic_ = 0;
    qint64 slept_ = 0;
};

Clock& appClock();
std::shared_ptr<Clock> setAppClock(std::shared_ptr<Clock> c);
