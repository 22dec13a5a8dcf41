#pragma once
// The grab thread of one opened camera slot: polls the camera for the
// polled kinds and idles for the kinds whose SDK calls back on its own
// thread.
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

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

protected:
    void run() override;

private:
    // Waits ms or until stopLoop(); pacing of the grab loop, real time.
    void pause(int ms);
    QMutex pauseMutex_;
    QWaitCondition pauseCv_;
};
