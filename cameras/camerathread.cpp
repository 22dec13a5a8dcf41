#include "camerathread.h"

#include "camerabackend.h"

CameraThread::CameraThread(CameraBackend* slot) : widget(slot) {}

CameraThread::~CameraThread()
{
    stopLoop();
    wait();
}

void CameraThread::stopLoop()
{
    QMutexLocker lock(&pauseMutex_);
    running = false;
    pauseCv_.wakeAll();
}

void CameraThread::pause(int ms)
{
    QMutexLocker lock(&pauseMutex_);
    if (running)
        pauseCv_.wait(&pauseMutex_, static_cast<unsigned long>(ms));
}

void CameraThread::run()
{
    pause(300);   // let the camera settle after start
    while (running) {
        widget->grabOnce();
        pause(widget->grabPauseMs());
    }
}
