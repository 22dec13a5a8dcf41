#pragma once
// The DVP family's driver, visible for its frame decimation.
#include "cameradriver.h"
#include "dvpsdk.h"

#include <atomic>

class DvpDriver : public CameraDriver {
public:
    using CameraDriver::CameraDriver;

    bool open() override;
    bool start() override;
    void stop() override;
    void close() override;
    void setExposure(const CameraValues& v, const CameraSwitches& s) override;
    void setGain(int gain) override;
    void setSharpness(int sharpness) override;
    void setContrast(int contrast) override;
    void setGamma(int gamma) override;
    void setTrigger(bool external, bool restart) override;
    // Keeps one frame of speed + 1 (the frame rate of this family).
    void setCaptureSpeed(int speed) override { skip_ = speed; }
    void restoreDefaults(CameraValues back) override;

    // Frames, on the SDK's thread; context is the driver.
    static int dvpStreamCallback(simsdk::dvp::dvpHandle h, int event, void* context,
                                 simsdk::dvp::Frame* frame, void* buffer);
    // The decimation starts again with the next frame.
    void restartDecimation() { counter_ = 0; }

private:
    simsdk::dvp::CameraInfo info_;
    simsdk::dvp::dvpHandle camera_ = 0;
    std::atomic<int> skip_{0};   // written by the GUI thread, read by the SDK thread
    int counter_ = 0;
};
