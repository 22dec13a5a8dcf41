#pragma once
// The grab thread of one opened camera slot: polls the camera for the
// polled kinds and idles for the kinds whose SDK calls back on its own
// thread.
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class CameraBackend;

class CameraThread : public QThread {
    Q_OBJECT
public:
    explicit CameraThread(CameraBackend* slot);
    ~CameraThread() override;

    // Set by CameraStart before the thread starts; CameraStop clears it
    // through stopLoop(), which also cuts a pause short.
    std::atomic<bool> running{false};
    CameraBackend* const widget;

    void stopLoop();
    // Waits until the loop has ended; everything the loop wrote is then
    // visible to the caller (also to race checkers, which cannot see inside
    // QThread::wait).
    void join();

protected:
    void run() override;

private:
    // Waits ms or until stopLoop(); pacing of the grab loop, real time.
    void pause(int ms);
    std::mutex pauseMutex_;
    std::condition_variable pauseCv_;
};
