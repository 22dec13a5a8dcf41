// The main window's run-control commands: its RunControlHost and the slots
// of the commands' names, forwarded to RunControl.
#include "mojuwizard.h"

#include "autogeneration.h"
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "cammerwidget.h"
#include "checkbox.h"
#include "choosebox.h"
#include "controlport.h"
#include "cyclecontroller.h"
#include "drawroiwidget.h"
#include "messages.h"
#include "relaylink.h"
#include "runcontrol.h"
#include "warnbox.h"
#include "wizardpara.h"

namespace {

// The slot of camera c when it is built and in use, else null.
CammerWidget* slotInUse(CammerWidget* const views[], int c)
{
    return c >= 0 && c < numCamera && c < kCameraSlots ? views[c] : nullptr;
}

} // namespace

// ---- RunControlHost -----------------------------------------------------------

// The renumbering, I/O name and cavity dialogs join with their subsystems;
// until then only the two pages count (and they answer not visible until
// they exist).
bool MoJuWizard::settingsOrAreaPageVisible() const { return settingsPageVisible() || areaPageVisible(); }
bool MoJuWizard::anyPageVisible() const { return settingsOrAreaPageVisible(); }

int MoJuWizard::ask(int messageId, const QString& text)
{
    if (!gpChooseBox)
        return 0;
    gpChooseBox->setText(text, messageId);
    return gpChooseBox->exec();
}

void MoJuWizard::warn(int messageId, const QString& text)
{
    WarnMessage(messageId, text);
}

void MoJuWizard::SlotTempDeleteAll()
{
    if (areaPage)
        areaPage->SlotTempDeleteAll();
}

// The automatic area goes only into an empty detection of the camera shown
// alone: it would otherwise sit on top of areas somebody drew.
void MoJuWizard::AutogenerationRegion(int d)
{
    CammerWidget* slot = viewCamera < numCamera ? slotInUse(cameraViews, viewCamera) : nullptr;
    if (!slot || !gpWPara || d < 0 || d >= kDetections || !slot->workSet || slot->workSet->roiCount[d] != 0)
        return;
    if (!::AutogenerationRegion(*slot, d, gpWPara->minimumSize, gpWPara->minimumArea))
        return;
    drawMode = 0;
    slot->DeselectROI();
    slot->ShowHideROIPara();
    slot->repaint();
}

void MoJuWizard::showCavityBoxes(int camera)
{
    if (CammerWidget* slot = slotInUse(cameraViews, camera))
        for (CheckBox* box : slot->cavityBox)
            if (box)
                box->show();
}

void MoJuWizard::SaveSN(int clear) { ::SaveSN(clear); }

// ---- CycleHost ------------------------------------------------------------------

// The page stays open after re-sampling until "End Set" returns to
// detection (BackTrain).
void MoJuWizard::CheckArea(bool ask) { runControl_->CheckArea(ask); }

// ---- the commands -------------------------------------------------------------

void MoJuWizard::MakeRunControl()
{
    RunControl::Ports ports;
    ports.slotHost = this;
    ports.state = this;
    ports.cycleHost = this;
    ports.host = this;
    ports.cycle = controller_.get();
    ports.io = io_.get();
    ports.relay = gpNet;
    ports.accessLevel = &accessLevel;
    ports.gate = accessGate();
    runControl_ = std::make_unique<RunControl>(ports);
}

void MoJuWizard::SlotStartStop() { runControl_->SlotStartStop(); }
void MoJuWizard::SlotReTrain() { runControl_->SlotReTrain(); }
void MoJuWizard::BackTrain() { runControl_->BackTrain(); }
void MoJuWizard::SlotStartSkipDetect() { runControl_->SlotStartSkipDetect(); }
void MoJuWizard::SlotManualTrig(int d) { runControl_->SlotManualTrig(d); }
void MoJuWizard::SlotManualTrig0() { runControl_->SlotManualTrig0(); }
void MoJuWizard::SlotManualTrig1() { runControl_->SlotManualTrig1(); }
void MoJuWizard::SlotMuliManualTrig() { runControl_->SlotMuliManualTrig(); }
void MoJuWizard::CameraChangeTrig() { runControl_->CameraChangeTrig(); }
void MoJuWizard::SlotAdjustArea() { runControl_->SlotAdjustArea(); }
int MoJuWizard::CheckPassword() { return runControl_->CheckPassword(); }
bool MoJuWizard::CheckRoot() { return runControl_->CheckRoot(); }
