#include "reachsweep.h"

#include "cameraservices.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

ReachSweep::~ReachSweep()
{
    if (thread_.joinable())
        thread_.join();
}

void ReachSweep::start()
{
    if (running())
        return;
    std::shared_ptr<AddressRepair> repair = addressRepair();
    if (!repair)
        return;
    if (thread_.joinable())
        thread_.join();   // the last sweep has ended
    done_ = false;
    thread_ = std::thread([this, repair] {
        repair->EnsureDeviceReach();
        done_ = true;
    });
}

bool ReachSweep::running() const
{
    return !done_.load();
}

void ReachSweep::runAndWait()
{
    start();
    if (running() && QCoreApplication::instance()) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!running())
                loop.quit();
        });
        poll.start(20);
        if (running())
            loop.exec();
    }
    if (thread_.joinable())
        thread_.join();   // without an application: waits plainly
}
