#include "onekeyexposure.h"

#include "camerabackend.h"
#include "cameradriver.h"

#include <glog/logging.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

OneKeyExposureResult convertAutoExposure(int camera, const AutoExposureReading& r)
{
    OneKeyExposureResult out;
    out.camera = camera;
    // A reading outside any sensible range still gives a number the field can snap.
    const double ms = std::isfinite(r.exposureUs) ? std::clamp(r.exposureUs / 1000, -1e9, 1e9) : 0.0;
    out.exposure = static_cast<int>(std::trunc(ms));
    if (r.gainMax > r.gainMin) {
        out.gainKnown = true;
        out.gain = static_cast<int>((int64_t(r.gain) - r.gainMin) * 64 / (int64_t(r.gainMax) - r.gainMin));
    }
    return out;
}

OneKeyExposure::OneKeyExposure(CycleTimerFactory& timers, Done done)
    : done_(std::move(done)), timer_(timers.create([this] { timeout(); }, true))
{
}

OneKeyExposure::~OneKeyExposure()
{
    timer_->stop();
}

bool OneKeyExposure::running() const
{
    return timer_->isActive();
}

void OneKeyExposure::start(int camera, CameraBackend* backend)
{
    cancel();
    camera_ = camera;
    backend_ = nullptr;
    if (backend && backend->canOneKeyExposure()) {
        if (backend->beginOneKeyExposure())
            backend_ = backend;
        else
            backend->endOneKeyExposure(nullptr);   // half switched on: back to the record
    }
    timer_->start(kRunMs);
}

void OneKeyExposure::cancel()
{
    if (!running() && camera_ < 0)
        return;
    timer_->stop();
    CameraBackend* b = backend_;
    const int c = camera_;
    backend_ = nullptr;
    camera_ = -1;
    if (b) {
        b->endOneKeyExposure(nullptr);
        LOG(INFO) << "one-key exposure of camera " << c + 1 << " ended before its time";
    }
}

void OneKeyExposure::timeout()
{
    CameraBackend* b = backend_;
    const int c = camera_;
    backend_ = nullptr;
    camera_ = -1;
    if (!b)
        return;
    AutoExposureReading reading;
    if (!b->endOneKeyExposure(&reading)) {
        LOG(WARNING) << "one-key exposure: camera " << c + 1 << " could not be read back";
        return;
    }
    const OneKeyExposureResult r = convertAutoExposure(c, reading);
    LOG(INFO) << "one-key exposure of camera " << c + 1 << ": " << reading.exposureUs << " us, gain "
              << reading.gain << " in " << reading.gainMin << ".." << reading.gainMax;
    if (done_)
        done_(r);
}
