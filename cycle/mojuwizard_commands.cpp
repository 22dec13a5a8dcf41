// The main window's run-control commands: its RunControlHost and the slots
// of the commands' names, forwarded to RunControl.
#include "mojuwizard.h"

#include "runcontrol.h"

bool MoJuWizard::settingsOrAreaPageVisible() const { return false; }
bool MoJuWizard::anyPageVisible() const { return false; }
int MoJuWizard::ask(int, const QString&) { return 0; }
void MoJuWizard::warn(int, const QString&) {}
void MoJuWizard::SlotTempDeleteAll() {}
void MoJuWizard::AutogenerationRegion(int) {}
void MoJuWizard::showCavityBoxes(int) {}
void MoJuWizard::hideStatusStrip() {}
int MoJuWizard::CurChooseTrig() const { return 0; }
void MoJuWizard::ReSetCaptureMode() {}
void MoJuWizard::SaveSN(int) {}
void MoJuWizard::CheckArea(bool) {}
void MoJuWizard::MakeRunControl() {}
void MoJuWizard::SlotStartStop() {}
void MoJuWizard::SlotReTrain() {}
void MoJuWizard::BackTrain() {}
void MoJuWizard::SlotStartSkipDetect() {}
void MoJuWizard::SlotManualTrig(int) {}
void MoJuWizard::SlotManualTrig0() {}
void MoJuWizard::SlotManualTrig1() {}
void MoJuWizard::SlotMuliManualTrig() {}
void MoJuWizard::CameraChangeTrig() {}
void MoJuWizard::SlotAdjustArea() {}
int MoJuWizard::CheckPassword() { return 0; }
bool MoJuWizard::CheckRoot() { return false; }
