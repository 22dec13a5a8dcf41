#pragma once
// One-key exposure of the camera page: the camera's own automatic exposure
// runs for two seconds, and what it settled on becomes that camera's
// exposure and gain.
//
// The run belongs to the camera it started on.  A camera switch or the
// dialog's hide ends it (cancel): automatic exposure off, the camera back on
// its parameter record's values, nothing handed over.  Families without the
// capability (CameraCapabilities::oneKeyExposure) only run the timer, so the
// page behaves the same for every kind.  GUI thread.
#include "cycletimer.h"

#include <functional>
#include <memory>

class CameraBackend;
struct AutoExposureReading;

// What a run found, in the settings' units and not yet snapped: the page's
// fields snap it (exposure 1..100 ms, gain 0..64), and their setters apply
// and store the snapped values.
struct OneKeyExposureResult {
    int camera = 0;         // the camera the run started on
    int exposure = 0;       // ms, truncated
    bool gainKnown = false; // false: the camera reports an empty gain range, keep the gain
    int gain = 0;           // 0..64 over the camera's range, truncated
};

// exposure := us / 1000 and gain := (g - min) x 64 / (max - min), both
// truncated; an empty (or reversed) gain range leaves the gain unknown
// instead of dividing by zero.
OneKeyExposureResult convertAutoExposure(int camera, const AutoExposureReading& reading);

class OneKeyExposure {
public:
    static constexpr int kRunMs = 2000;
    using Done = std::function<void(const OneKeyExposureResult&)>;

    // done is called at the timeout of a run that read its camera back.
    OneKeyExposure(CycleTimerFactory& timers, Done done);
    // Stops the timer only: the back-ends may be gone already, and closing
    // a camera ends its automatic exposure anyway.
    ~OneKeyExposure();
    OneKeyExposure(const OneKeyExposure&) = delete;
    OneKeyExposure& operator=(const OneKeyExposure&) = delete;

    // Starts a run on camera (its back-end, null when none is built); a run
    // in progress is cancelled first.  The back-end must outlive the run.
    void start(int camera, CameraBackend* backend);
    // Ends a run before its timeout; nothing when none runs.
    void cancel();

    bool running() const;
    // The camera of the run, -1 when none runs.
    int camera() const { return camera_; }
    // The run drives the camera's automatic exposure (not only the timer).
    bool adjusting() const { return backend_ != nullptr; }

private:
    void timeout();

    Done done_;
    std::unique_ptr<CycleTimer> timer_;
    int camera_ = -1;
    CameraBackend* backend_ = nullptr;
};
