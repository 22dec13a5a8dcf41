#include "mainwindowrelayhost.h"

#include "cameraglobals.h"
#include "cammerwidget.h"
#include "mojuwizard.h"

int MainWindowRelayHost::runState() const { return window_.runState; }

int MainWindowRelayHost::failImageState(int camera, int detection) const
{
    if (camera < 0 || camera >= kCameraSlots || detection < 0 || detection >= kDetections)
        return FailImgIdle;
    return window_.failImageState[camera][detection];
}

int MainWindowRelayHost::cycleTime() const { return window_.cycleTime; }

int MainWindowRelayHost::currentDetect() const { return window_.currentDetect; }

int MainWindowRelayHost::numCamera() const { return ::numCamera; }

const CammerSingleton* MainWindowRelayHost::savedSet(int slot) const
{
    if (slot < 0 || slot >= kCameraSlots || !window_.cameraViews[slot])
        return nullptr;
    return window_.cameraViews[slot]->savedSet;
}
