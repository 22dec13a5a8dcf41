#pragma once
// The main window's state as the relay messages read it, in plain fields
// the test sets.
#include "globals.h"
#include "relayhost.h"
#include "screenstates.h"

class FakeRelayHost : public RelayHost {
public:
    int run = RunStateDetecting;
    int failImage[kCameraSlots][kDetections] = {};
    int cycleTenths = 0;
    int detect = 0;
    int cameras = 1;
    const CammerSingleton* sets[kCameraSlots] = {};

    int runState() const override { return run; }
    int failImageState(int camera, int detection) const override
    {
        const bool inside = camera >= 0 && camera < kCameraSlots && detection >= 0 && detection < kDetections;
        return inside ? failImage[camera][detection] : FailImgIdle;
    }
    int cycleTime() const override { return cycleTenths; }
    int currentDetect() const override { return detect; }
    int numCamera() const override { return cameras; }
    const CammerSingleton* savedSet(int slot) const override
    {
        return slot >= 0 && slot < kCameraSlots ? sets[slot] : nullptr;
    }
};
