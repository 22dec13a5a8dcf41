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
#include "messages.h"
#include "relaylink.h"
#include "runcontrol.h"
#include "templatelibrary.h"
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
    if (!gpWarnBox)
        return;
    gpWarnBox->setText(text, messageId);
    gpWarnBox->exec();
}

// Stands in for the area page's "delete all templates" until the page
// exists; the page will add its retrain flags to the reports.
void MoJuWizard::SlotTempDeleteAll()
{
    TemplateReports reports;
    reports.netEnabled = gpWPara && gpWPara->netEnabled;
    reports.insertRecord = [this](const QString& text) { InsertRecord(text); };
    std::vector<CameraSlotState*> inUse;
    for (int c = 0; c < kCameraSlots; ++c)
        if (CammerWidget* slot = slotInUse(cameraViews, c))
            inUse.push_back(slot);
    const TemplateOutcome outcome = DeleteAllTemplates(inUse, gDNum, reports);
    if (outcome.warning != TemplateOutcome::kNoWarning)
        warn(outcome.warning, Msg(outcome.warning));
}

void MoJuWizard::AutogenerationRegion(int d)
{
    CammerWidget* slot = slotInUse(cameraViews, viewCamera < numCamera ? viewCamera : 0);
    if (!slot || !gpWPara)
        return;
    if (!::AutogenerationRegion(*slot, d, gpWPara->minimumSize, gpWPara->minimumArea))
        return;
    drawMode = 0;
    slot->selRoi = -1;
    slot->update();
}

void MoJuWizard::showCavityBoxes(int camera)
{
    if (CammerWidget* slot = slotInUse(cameraViews, camera))
        for (CheckBox* box : slot->cavityBox)
            if (box)
                box->show();
}

// The status strip is not built yet: nothing to hide.


void MoJuWizard::SaveSN(int clear) { ::SaveSN(clear); }

// ---- CycleHost ------------------------------------------------------------------

void MoJuWizard::CheckArea(bool ask)
{
    runControl_->CheckArea(ask);
    // Until the area page exists nothing would ever close it after
    // re-sampling, and the verdict would wait for it for good: return from
    // it at once, as its return button would.
    if (gFromTrain && !areaPageVisible()) {
        gFromTrain = 0;
        areaPageRestart();
        runControl_->BackTrain();
    }
}

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
