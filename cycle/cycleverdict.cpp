#include "cyclecontroller.h"

#include "controlport.h"

// Placeholders until the detection step and the verdict land.
void CycleController::TimerUp(int) {}
void CycleController::RunAlgorithm(int, int) {}
void CycleController::ReCheck() {}
void CycleController::CheckNG() {}
void CycleController::TimerShow() {}
void CycleController::OutTimerOutNG() {}
void CycleController::OutTimerNotAllowClose() {}
void CycleController::OutTimerNotAllowThimble() {}
void CycleController::OutTimerSysFunc4Output() {}
void CycleController::ReDetectHeld() {}
