#include "camerabackend.h"

#include "camerafamily.h"
#include "cameraglobals.h"
#include "camerathread.h"

#include <QMutexLocker>

CameraBackend::CameraBackend(CameraHost* host, int index) : host_(host), camIndex_(index), frames_(index)
{
    makeDriver();
}

CameraBackend::~CameraBackend()
{
    if (isOpen()) {
        CameraStop();
        CameraClose();
    }
    delete grabThread_;
}

void CameraBackend::makeDriver()
{
    driverKind_ = gCameraID;
    const CameraFamily* family = cameraFamily(gCameraID);
    driver_ = family ? family->makeDriver(DriverSlot{camIndex_, host_, &frames_, this}) : nullptr;
}

bool CameraBackend::isOpen() const
{
    return host_ && host_->cameraOpened[camIndex_];
}

CameraValues CameraBackend::values() const
{
    return host_->cameraValues(camIndex_, host_->settingsPageVisible());
}

CameraSwitches CameraBackend::switches() const
{
    return host_->cameraSwitches(host_->settingsPageVisible());
}

// ------------------------------------------------------------------ open, start, stop, close

void CameraBackend::CameraOpen()
{
    host_->cameraOpened[camIndex_] = false;
    if (camIndex_ >= gFindCamera)
        return;
    if (driverKind_ != gCameraID)
        makeDriver();
    if (!driver_ || !driver_->open())
        return;
    host_->cameraOpened[camIndex_] = true;

    delete grabThread_;
    grabThread_ = new CameraThread(this);
    CameraChangeTrig(true);
    SetAdjustPlus();
    SetExposeTime();
    SetContrast();
    SetSharp();
    SetGamma();
    SetHMirror();
    SetVMirror();
}

int CameraBackend::CameraStart()
{
    if (!isOpen() || !driver_->start())
        return 0;
    if (grabThread_) {
        grabThread_->running = true;
        grabThread_->start(QThread::InheritPriority);
    }
    return 1;
}

void CameraBackend::endGrabLoop()
{
    // The loop ends before the caller goes on, so that a following start
    // finds the thread finished and no polled frame arrives after the stop.
    // A read that waits for the camera is cut short, not waited for.
    if (!grabThread_)
        return;
    grabThread_->stopLoop();
    driver_->interrupt();
    grabThread_->join();
}

void CameraBackend::CameraStop()
{
    if (!isOpen())
        return;
    driver_->stop();
    endGrabLoop();
}

void CameraBackend::CameraClose()
{
    if (!isOpen())
        return;
    host_->cameraOpened[camIndex_] = false;
    endGrabLoop();
    delete grabThread_;
    grabThread_ = nullptr;
    driver_->close();
}

// ------------------------------------------------------------------ grab side

bool CameraBackend::grabOnce()
{
    const GrabResult r = driver_ ? driver_->grab() : GrabResult::Nothing;
    lastGrabError_ = r == GrabResult::Error;
    return r == GrabResult::Frame;
}

void CameraBackend::MindConnectStateCallBack(simsdk::mv::CameraHandle, unsigned message, unsigned, void* context)
{
    auto* self = static_cast<CameraBackend*>(context);
    if (message == 0 && self && self->host_)
        self->host_->cameraLostSignal = true;
}

void CameraBackend::ExceptionImageCallBack(unsigned msgType, void* user)
{
    auto* self = static_cast<CameraBackend*>(user);
    if (msgType == simsdk::hik::MV_EXCEPTION_DEV_DISCONNECT && self && self->host_)
        self->host_->cameraLostSignal = true;
}

bool TakeNewFrame(CameraBackend* camera, uint8_t* dst)
{
    return camera->frames().take(dst);
}

// ------------------------------------------------------------------ settings

void CameraBackend::SetExposeTime()
{
    if (!isOpen())
        return;
    driver_->setExposure(values(), switches());
    SetWB();
}

void CameraBackend::SetAdjustPlus()
{
    if (!isOpen())
        return;
    driver_->setGain(values().gain);
    SetWB();
}

void CameraBackend::SetSharp()
{
    if (isOpen())
        driver_->setSharpness(values().sharpness);
}

void CameraBackend::SetContrast()
{
    if (isOpen())
        driver_->setContrast(values().contrast);
}

void CameraBackend::SetGamma()
{
    if (isOpen())
        driver_->setGamma(values().gamma);
}

void CameraBackend::SetHMirror()
{
    if (isOpen())
        driver_->setMirror(false, values().hMirror != 0);
}

void CameraBackend::SetVMirror()
{
    if (isOpen())
        driver_->setMirror(true, values().vMirror != 0);
}

void CameraBackend::SetWB()
{
    if (isOpen() && gisColor)
        driver_->whiteBalanceOnce();
}

void CameraBackend::CameraChangeTrig(bool restart)
{
    if (!isOpen())
        return;
    driver_->setTrigger(host_->cameraSwitches(false).externalTrigger != 0, restart);
    {
        QMutexLocker lock(pMutex[camIndex_]);
        isImageFill[camIndex_] = false;   // a frame from before the change is not taken
    }
    host_->repaintView(camIndex_);
}

void CameraBackend::RestoreDefaultSettings()
{
    if (isOpen())
        driver_->restoreDefaults(host_->cameraValues(camIndex_, true));
}

void CameraBackend::applyCaptureSpeed(int speed)
{
    if (isOpen())
        driver_->setCaptureSpeed(speed);
}

bool CameraBackend::canOneKeyExposure() const
{
    return isOpen() && driver_ && driver_->capabilities().oneKeyExposure;
}

bool CameraBackend::beginOneKeyExposure()
{
    return canOneKeyExposure() && driver_->beginAutoExposure();
}

bool CameraBackend::endOneKeyExposure(AutoExposureReading* reading)
{
    if (!canOneKeyExposure())
        return false;
    const bool read = driver_->endAutoExposure(reading) && reading;
    if (!read) {
        SetExposeTime();
        SetAdjustPlus();
    }
    return read;
}
