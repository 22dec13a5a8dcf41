// The main window's area page: building it, the page's calls into the
// window (AreaPageHost) and the window's and the cycle's calls into the page.
#include "mojuwizard.h"

#include "cameraglobals.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "controlport.h"
#include "cyclecontroller.h"
#include "drawroiwidget.h"
#include "iostatuswidget.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "passwordbox.h"

int gHelpC = 0;

void MoJuWizard::MakeAreaPage()
{
    areaPage = new DrawROIWidget(this, this);
    areaPage->hide();
}

RecordPictures& MoJuWizard::recordPictures()
{
    return areaPage ? areaPage->records : recordPictures_;
}

// ---- the page's host --------------------------------------------------------

CammerWidget* MoJuWizard::cameraSlot(int c)
{
    return c >= 0 && c < numCamera && c < kCameraSlots ? cameraViews[c] : nullptr;
}

bool MoJuWizard::safetyDoorOpened() const { return gisSafeDoorOpen; }

bool MoJuWizard::commandPasswordAccepted(AreaPageCommand command)
{
    const int k = command == AreaPageCommandAddTemplate ? 1 : 0;
    if (!commandPasswords_[k])
        commandPasswords_[k] = new PasswordDialog(this);
    PasswordDialog* dialog = commandPasswords_[k];
    return dialog->exec() == QDialog::Accepted && dialog->level != 0;
}

void MoJuWizard::reDetectHeld() { controller_->ReDetectHeld(); }

bool MoJuWizard::takeFromTrain()
{
    const bool was = gFromTrain != 0;
    gFromTrain = 0;
    return was;
}

void MoJuWizard::showStatusStrip()
{
    if (statusStrip)
        statusStrip->show();
}

// The chapter first (the viewer keeps it in range), then the viewer.
void MoJuWizard::showHelpPage(int index)
{
    gHelpC = index;
    if (helpPage) {
        helpPage->show();
        helpPage->raise();
    }
}

void MoJuWizard::hideKeypads()
{
    if (gpNumPad)
        gpNumPad->HideUpdate();
    if (gpNumCharPad)
        gpNumCharPad->HideUpdate();
}

QString MoJuWizard::failImageDir(int c, int d, int kind) const
{
    if (c < 0 || c >= kCameraSlots || d < 0 || d >= kDetections || kind < 0 || kind > 1)
        return {};
    return failImageDirs[c][d][kind];
}

void MoJuWizard::repaintAll()
{
    update();
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c)
        if (cameraViews[c])
            cameraViews[c]->update();
}

// ---- the views' and the cycle's calls into the page -----------------------

void MoJuWizard::setAreaPageCamera(int camera)
{
    if (areaPage && areaPage->cameraCombo)
        areaPage->cameraCombo->setCurrentIndex(camera);
}

bool MoJuWizard::areaPageAtLeft() const { return areaPage && areaPage->pageAtLeft; }

void MoJuWizard::areaPageDrawPolygon()
{
    if (areaPage)
        areaPage->SlotDrawPloygn();
}

// The page opens above the zoom column, which was built after it and would
// otherwise cover its commands when it is docked left.
void MoJuWizard::areaPageReset(bool live)
{
    if (!areaPage)
        return;
    areaPage->Reset(live);
    areaPage->raise();
}

void MoJuWizard::areaPageRestart()
{
    if (areaPage)
        areaPage->Restart();
}

// Open as the page asked, whether or not the window itself is on the screen
// yet.
bool MoJuWizard::areaPageVisible() const { return areaPage && areaPage->isVisibleTo(this); }

void MoJuWizard::clickReCheckButton()
{
    if (areaPage && areaPage->reCheckButton)
        areaPage->reCheckButton->click();
}
