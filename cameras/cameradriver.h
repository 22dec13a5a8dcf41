#pragma once
// One camera family's driver for one slot: open, start, stop, close, the
// polled grab and the settings, each mapped onto the family's SDK.  The
// slot's back-end holds one driver and forwards to it; camerafamily.h lists
// the families.
//
// Threads: everything runs on the GUI thread except grab() (the slot's grab
// thread), interrupt() (any thread) and the SDK callbacks a driver registers
// (SDK threads), which reach the slot only through its FrameHandOver and
// the host's lost signal.
#include "camerahost.h"

#include <QByteArray>
#include <QString>

class CameraBackend;
class FrameHandOver;

// What a driver reaches of its slot.
struct DriverSlot {
    int camIndex = 0;
    CameraHost* host = nullptr;
    FrameHandOver* frames = nullptr;
    CameraBackend* backend = nullptr;   // stop and start around a restore of defaults

    // The serial stored for the slot (gSerialNB); empty when none usable is
    // stored (a camera serial has at least 9 characters).
    QString storedSerial() const;
};

enum class GrabResult { Nothing, Frame, Error };

struct CameraCapabilities {
    // Frames come from grab() on the slot's grab thread; otherwise the SDK
    // calls back on its own thread and grab() has nothing to do.
    bool polled = false;
    // The camera's own automatic exposure can run for a while and be read
    // back (one-key exposure: beginAutoExposure, endAutoExposure).
    bool oneKeyExposure = false;
};

// What a camera's automatic exposure settled on, in the SDK's units.
struct AutoExposureReading {
    double exposureUs = 0;
    int gain = 0;
    int gainMin = 0;
    int gainMax = 0;
};

class CameraDriver {
public:
    explicit CameraDriver(const DriverSlot& slot) : slot_(slot) {}
    virtual ~CameraDriver() = default;
    CameraDriver(const CameraDriver&) = delete;
    CameraDriver& operator=(const CameraDriver&) = delete;

    virtual CameraCapabilities capabilities() const { return {}; }

    // Opens and configures the slot's camera; false: no camera in this slot
    // and nothing held.
    virtual bool open() = 0;
    // false: the stream did not start (the grab thread stays off).
    virtual bool start() { return true; }
    virtual void stop() {}
    // Called after the grab thread has ended.
    virtual void close() = 0;
    // A grab() that waits for the camera returns at once, and so does every
    // grab() until the next start(); nothing is freed.
    virtual void interrupt() {}
    virtual GrabResult grab() { return GrabResult::Nothing; }

    // Settings of an open camera; a family ignores those it does not have.
    virtual void setExposure(const CameraValues& values, const CameraSwitches& switches) {}
    virtual void setGain(int gain) {}
    virtual void setSharpness(int sharpness) {}
    virtual void setContrast(int contrast) {}
    virtual void setGamma(int gamma) {}
    virtual void setMirror(bool vertical, bool on) {}
    virtual void whiteBalanceOnce() {}
    virtual void setTrigger(bool external, bool restart) {}
    virtual void setCaptureSpeed(int speed) {}
    // Loads the camera's defaults and stores what it reads back in the edit
    // copy, starting from back; families without defaults keep their settings.
    virtual void restoreDefaults(CameraValues back) {}
    // One-key exposure (capabilities().oneKeyExposure): the camera's
    // automatic exposure on with the run's target and ranges; then off again,
    // reading back what it settled on when reading is given.  false: the
    // camera did not answer and reading holds nothing usable.
    virtual bool beginAutoExposure() { return false; }
    virtual bool endAutoExposure(AutoExposureReading* reading) { return false; }
    // The serial kept in SN.db; false when the family's serial is not read.
    virtual bool readSerial(QByteArray* serial) { return false; }

protected:
    const DriverSlot slot_;
};
