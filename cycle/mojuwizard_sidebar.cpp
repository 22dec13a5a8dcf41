// The main window's side button bar and the services it gives the camera
// views (a press restarts the hide timer and brings the bar back) and the
// cycle (labels, hiding, the snapshot choice, the capture-mode label).
#include "mojuwizard.h"

#include "colorbutton.h"
#include "indexbutton.h"

#include <QTimer>

void MoJuWizard::MakeSideBar()
{
    sideBar = new IndexButton(this);
    sideBar->Connect(this);
}

// The bar exists from construction step 20 on; the calls before it (a
// nested event loop of an earlier start-up box) find nothing to change.

void MoJuWizard::restartSideBarHideTimer(int ms)
{
    if (sideBar)
        sideBar->hideTimer->start(ms);
}

// The bar's own state, so that the answer is the same before the window is
// first shown.
bool MoJuWizard::sideBarVisible() const
{
    return sideBar && !sideBar->isHidden();
}

// Showing unfolds it (IndexButton::showEvent); above the camera views.
void MoJuWizard::showSideBar()
{
    if (!sideBar)
        return;
    sideBar->show();
    sideBar->raise();
}

void MoJuWizard::unfoldSideBar()
{
    if (sideBar)
        sideBar->checkShowHide();
}

void MoJuWizard::hideSideBar()
{
    if (sideBar)
        sideBar->hide();
}

void MoJuWizard::setSkipButtonText(const QString& text)
{
    if (sideBar)
        sideBar->skipButton->setText(text);
}

void MoJuWizard::setStartStopButtonText(const QString& text)
{
    if (sideBar)
        sideBar->startStopButton->setText(text);
}

// Without the bar the choice is the first detection.
int MoJuWizard::CurChooseTrig() const
{
    return sideBar ? sideBar->CurChooseTrig() : 0;
}

void MoJuWizard::ReSetCaptureMode()
{
    if (sideBar)
        sideBar->ReSetCaptureMode();
}
