#include "camerathread.h"

#include "camerabackend.h"

#include <chrono>

CameraThread::CameraThread(CameraBackend* slot) : widget(slot) {}

CameraThread::~CameraThread()
{
    stopLoop();
    join();
}

void CameraThread::stopLoop()
{
    std::lock_guard<std::mutex> lock(pauseMutex_);
    running = false;
    pauseCv_.notify_all();
}

void CameraThread::join()
{
    wait();
    std::lock_guard<std::mutex> lock(pauseMutex_);   // pairs with the lock at the end of run()
}

void CameraThread::pause(int ms)
{
    std::unique_lock<std::mutex> lock(pauseMutex_);
    pauseCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running; });
}

void CameraThread::run()
{
    pause(300);   // let the camera settle after start
    while (running) {
        widget->grabOnce();
        pause(widget->grabPauseMs());
    }
    std::lock_guard<std::mutex> lock(pauseMutex_);   // publishes the loop's last writes to join()
}
