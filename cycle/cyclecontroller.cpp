#include "cyclecontroller.h"

#include "controlport.h"

CycleController::CycleController(const Ports& ports) : p_(ports) {}

CycleController::~CycleController() = default;

void CycleController::setCamera(int k, CycleCamera* camera)
{
    if (k >= 0 && k < kCameraSlots)
        cameras_[k] = camera;
}

// Placeholders until the pass lands; each is replaced by its behaviour.
void CycleController::createTimers(CycleTimerFactory&) {}
void CycleController::Run() {}
void CycleController::TimerCheckInput(int) {}
void CycleController::CheckInput(int) {}
void CycleController::InCheck() {}
void CycleController::SlotTImerSafeDoor() {}
void CycleController::StartDetect() {}
void CycleController::StopDetect() {}
void CycleController::SetStopDetect() {}
void CycleController::ResetRun() {}
