#include "reachsweep.h"

#include "cameraservices.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

ReachSweep::~ReachSweep()
{
    future_.waitForFinished();
}

void ReachSweep::start()
{
    if (running())
        return;
    std::shared_ptr<AddressRepair> repair = addressRepair();
    if (!repair)
        return;
    future_ = QtConcurrent::run([repair] { return repair->EnsureDeviceReach(); });
}

bool ReachSweep::running() const
{
    return future_.isValid() && !future_.isFinished();
}

void ReachSweep::runAndWait()
{
    start();
    if (!running())
        return;
    if (!QCoreApplication::instance()) {
        future_.waitForFinished();   // no event loop to keep going
        return;
    }
    QEventLoop loop;
    QFutureWatcher<int> watcher;
    QObject::connect(&watcher, &QFutureWatcher<int>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future_);
    if (running())
        loop.exec();
}
