#include "clock.h"

#include <QThread>

#include <chrono>

void SystemClock::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

qint64 SystemClock::monotonicMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

FakeClock::FakeClock(const QDateTime& start) : now_(start) {}

QDateTime FakeClock::now() const
{
    QMutexLocker lock(&mutex_);
    return now_;
}

void FakeClock::sleepMs(int ms)
{
    QMutexLocker lock(&mutex_);
    now_ = now_.addMSecs(ms);
    monotonic_ += ms;
    slept_ += ms;
}

void FakeClock::set(const QDateTime& t)
{
    QMutexLocker lock(&mutex_);
    now_ = t;
}

void FakeClock::advanceMs(qint64 ms)
{
    QMutexLocker lock(&mutex_);
    now_ = now_.addMSecs(ms);
    monotonic_ += ms;
}

qint64 FakeClock::monotonicMs() const
{
    QMutexLocker lock(&mutex_);
    return monotonic_;
}

qint64 FakeClock::sleptMs() const
{
    QMutexLocker lock(&mutex_);
    return slept_;
}

namespace {
QMutex gClockMutex;
std::shared_ptr<Clock>& clockSlot()
{
    static std::shared_ptr<Clock> c;
    return c;
}
}

Clock& appClock()
{
    QMutexLocker lock(&gClockMutex);
    auto& slot = clockSlot();
    if (!slot)
        slot = std::make_shared<SystemClock>();
    return *slot;
}

std::shared_ptr<Clock> setAppClock(std::shared_ptr<Clock> c)
{
    QMutexLocker lock(&gClockMutex);
    auto previous = clockSlot();
    clockSlot() = std::move(c);
    return previous;
}
