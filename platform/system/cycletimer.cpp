#include "cycletimer.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace {

class QtCycleTimer : public CycleTimer {
public:
    QtCycleTimer(QObject* parent, std::function<void()> onTimeout, bool singleShot, bool precise)
        : timer_(new QTimer(parent))
    {
        timer_->setSingleShot(singleShot);
        if (precise)
            timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, timer_, std::move(onTimeout));
    }
    // Whoever goes first takes the QTimer along: its callback may reach
    // the owner of this object, which is going away with it.
    ~QtCycleTimer() override { delete timer_.data(); }
    void start(int ms) override { if (timer_) timer_->start(ms); }
    void start() override { if (timer_) timer_->start(); }
    void stop() override { if (timer_) timer_->stop(); }
    bool isActive() const override { return timer_ && timer_->isActive(); }
    int interval() const override { return timer_ ? timer_->interval() : 0; }
    void setInterval(int ms) override { if (timer_) timer_->setInterval(ms); }
    bool isSingleShot() const override { return timer_ && timer_->isSingleShot(); }

private:
    QPointer<QTimer> timer_;
};

}

std::unique_ptr<CycleTimer> QtCycleTimerFactory::create(std::function<void()> onTimeout, bool singleShot,
                                                        bool precise)
{
    return std::make_unique<QtCycleTimer>(parent_, std::move(onTimeout), singleShot, precise);
}
