#include "runcontrol.h"

RunControl::RunControl(const Ports& ports) : p_(ports) {}
void RunControl::SlotStartStop() {}
void RunControl::SlotReTrain() {}
void RunControl::CheckArea(bool) {}
void RunControl::BackTrain() {}
void RunControl::SlotStartSkipDetect() {}
void RunControl::SlotManualTrig(int) {}
void RunControl::SlotMuliManualTrig() {}
void RunControl::CameraChangeTrig() {}
void RunControl::SlotAdjustArea() {}
int RunControl::CheckPassword() { return 0; }
bool RunControl::CheckRoot() { return false; }
