#pragma once
// The camera back-end of one camera slot: the driver of the probed camera
// family (camerafamily.h), the open/start/stop/close sequence around it, the
// grab thread of the polled families, the frame hand-over to the detection
// cycle and the camera settings.
//
// The camera slot object derives from it; its operations carry the slot's
// names.  All operations run on the GUI thread except grabOnce() (the grab
// thread) and the static SDK callbacks (SDK threads).
#include "cameradriver.h"
#include "camerahost.h"
#include "framehandover.h"
#include "hikvisionsdk.h"
#include "mindvisionsdk.h"

#include <cstdint>
#include <memory>

class CameraThread;

class CameraBackend {
public:
    CameraBackend(CameraHost* host, int camIndex);
    virtual ~CameraBackend();
    CameraBackend(const CameraBackend&) = delete;
    CameraBackend& operator=(const CameraBackend&) = delete;

    // Open, start, stop, close (in that order; close after stop).  A stop
    // returns without waiting for a camera that stalls in a read.
    void CameraOpen();
    int CameraStart();
    void CameraStop();
    void CameraClose();
    bool isOpen() const;

    // Settings, mapped onto the SDK's ranges.
    void SetExposeTime();
    void SetAdjustPlus();
    void SetSharp();
    void SetContrast();
    void SetGamma();
    void SetHMirror();
    void SetVMirror();
    void SetWB();
    void CameraChangeTrig(bool restart);
    void RestoreDefaultSettings();
    // Frame rate of this slot (part of CameraSetSpeed).
    void applyCaptureSpeed(int speed);

    // One-key exposure (CameraCapabilities::oneKeyExposure).  begin: the
    // camera's automatic exposure on; false when the camera is closed or its
    // family has none.  end: automatic exposure off; with reading, what it
    // settled on, for the caller to store and apply.  Without reading, or
    // when nothing could be read (false), the camera runs its parameter
    // record's exposure and gain again, so that nothing unstored stays on it.
    bool canOneKeyExposure() const;
    bool beginOneKeyExposure();
    bool endOneKeyExposure(AutoExposureReading* reading);

    // One iteration of the grab thread for the polled families; true when a
    // frame was handed over.  Returns at once for the callback families.
    bool grabOnce();
    // Milliseconds the grab thread waits after an iteration.
    int grabPauseMs() const { return lastGrabError_ ? 100 : 10; }

    // The SDKs' lost-camera callbacks; context is the slot.  They only raise
    // the host's lost signal.
    static void MindConnectStateCallBack(simsdk::mv::CameraHandle h, unsigned message, unsigned param, void* context);
    static void ExceptionImageCallBack(unsigned msgType, void* user);

    // Frames handed over since the slot was built (the cycle's frame counter).
    uint64_t framesDelivered() const { return frames_.delivered(); }
    // Frames dropped because their size did not match the processed size.
    uint64_t framesDropped() const { return frames_.dropped(); }

    // The driver of the slot's family (null for an unknown kind).
    CameraDriver* driver() const { return driver_.get(); }
    // The grab thread while the camera is open, else null.
    CameraThread* grabThread() const { return grabThread_; }
    FrameHandOver& frames() { return frames_; }

protected:
    CameraHost* host_;

private:
    const int camIndex_;
    int driverKind_ = -1;
    FrameHandOver frames_;
    std::unique_ptr<CameraDriver> driver_;
    CameraThread* grabThread_ = nullptr;
    bool lastGrabError_ = false;

    void makeDriver();
    void endGrabLoop();
    CameraValues values() const;
    CameraSwitches switches() const;
};

// Consumer side of the hand-over (the main loop): when slot's flag is set,
// copies gColorLen bytes of its receive buffer into dst and clears the flag.
bool TakeNewFrame(CameraBackend* camera, uint8_t* dst);
