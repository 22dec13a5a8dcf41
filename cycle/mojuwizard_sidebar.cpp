// The main window's side button bar and the services it gives the camera
// views and the cycle.
#include "mojuwizard.h"

void MoJuWizard::MakeSideBar() {}

void MoJuWizard::restartSideBarHideTimer(int) {}
bool MoJuWizard::sideBarVisible() const { return true; }
void MoJuWizard::showSideBar() {}
void MoJuWizard::unfoldSideBar() {}
void MoJuWizard::hideSideBar() {}
void MoJuWizard::setSkipButtonText(const QString&) {}
void MoJuWizard::setStartStopButtonText(const QString&) {}

// Without the bar the detection choice is the first one and the
// capture-mode button has no label to change.
int MoJuWizard::CurChooseTrig() const { return 0; }
void MoJuWizard::ReSetCaptureMode() {}
