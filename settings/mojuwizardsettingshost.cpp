#include "mojuwizardsettingshost.h"

#include "cameraglobals.h"
#include "cameraprobe.h"
#include "cammerwidget.h"
#include "confirmplan.h"
#include "cyclecontroller.h"
#include "detectcyclewidget.h"
#include "drawroiwidget.h"
#include "indexbutton.h"
#include "mojuwizard.h"
#include "slotsets.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

MoJuWizardSettingsHost::MoJuWizardSettingsHost(MoJuWizard& window) : w_(window) {}

void MoJuWizardSettingsHost::startOneKeyExposure(int slot, std::function<void(const OneKeyExposureResult&)> done)
{
    if (!exposure_) {
        timers_ = std::make_unique<QtCycleTimerFactory>(&w_);
        exposure_ = std::make_unique<OneKeyExposure>(*timers_, [this](const OneKeyExposureResult& r) {
            if (exposureDone_)
                exposureDone_(r);
        });
    }
    exposureDone_ = std::move(done);
    exposure_->start(slot, w_.cameraSlot(slot));
}

void MoJuWizardSettingsHost::cancelOneKeyExposure()
{
    if (exposure_)
        exposure_->cancel();
}
MoJuWizardSettingsHost::~MoJuWizardSettingsHost() = default;

int MoJuWizardSettingsHost::accessLevel() const { return w_.accessLevel; }
void MoJuWizardSettingsHost::setAccessLevel(int level) { w_.accessLevel = level; }
bool MoJuWizardSettingsHost::CheckRoot() { return w_.CheckRoot(); }
bool MoJuWizardSettingsHost::saveRawImages() const { return w_.saveRawImages; }
void MoJuWizardSettingsHost::setSaveRawImages(bool on) { w_.saveRawImages = on; }
int MoJuWizardSettingsHost::captureModeCopy() const { return w_.captureModeCopy; }
void MoJuWizardSettingsHost::setCaptureModeCopy(int mode) { w_.captureModeCopy = mode; }
int MoJuWizardSettingsHost::leftPairActive() const { return w_.leftPairActive; }
void MoJuWizardSettingsHost::setLeftPairActive(int on) { w_.leftPairActive = on; }
int MoJuWizardSettingsHost::cameraCount() const { return numCamera; }

void MoJuWizardSettingsHost::applyCameraSetting(int slot, CameraSetting setting)
{
    CammerWidget* v = w_.cameraSlot(slot);
    if (!v)
        return;
    switch (setting) {
    case CameraSetting::Exposure: v->SetExposeTime(); break;
    case CameraSetting::Gain: v->SetAdjustPlus(); break;
    case CameraSetting::Sharpness: v->SetSharp(); break;
    case CameraSetting::Contrast: v->SetContrast(); break;
    case CameraSetting::Gamma: v->SetGamma(); break;
    case CameraSetting::HMirror: v->SetHMirror(); break;
    case CameraSetting::VMirror: v->SetVMirror(); break;
    }
}

void MoJuWizardSettingsHost::restoreCameraDefaults(int slot)
{
    if (CammerWidget* v = w_.cameraSlot(slot))
        v->RestoreDefaultSettings();
}

void MoJuWizardSettingsHost::changeCameraTrigger(int slot)
{
    if (CammerWidget* v = w_.cameraSlot(slot))
        v->CameraChangeTrig(false);
}

void MoJuWizardSettingsHost::applyCaptureSpeed() { CameraSetSpeed(); }

void MoJuWizardSettingsHost::showCameraAlone(int slot)
{
    w_.viewCamera = slot;
    w_.ChangeCammer();
}

void MoJuWizardSettingsHost::repaintViews()
{
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c)
        if (CammerWidget* v = w_.cameraSlot(c))
            v->update();
}

void MoJuWizardSettingsHost::createShape(int slot, int detection)
{
    if (CammerWidget* v = w_.cameraSlot(slot); v && v->recong)
        v->recong->CreateShape(detection);
}

void MoJuWizardSettingsHost::varTrain(int slot, int detection)
{
    if (CammerWidget* v = w_.cameraSlot(slot); v && v->recong)
        v->recong->VarTrain(detection);
}

bool MoJuWizardSettingsHost::saveCopiedAreas(int slot, int systemMode, QSqlDatabase db, QString* error)
{
    CammerWidget* v = w_.cameraSlot(slot);
    if (!v || !v->savedSetStore)
        return true;
    PendingAreas& p = pending_[size_t(slot)];
    p.set = std::make_unique<CammerSingleton>(*v->savedSetStore);
    p.masks = v->liveMask;   // headers: CopyPara only re-points them
    ::CopyPara(*p.set, p.masks, systemMode);
    // The relay hears of the set only after the commit.
    if (p.set->SaveDatatoFile(db, false))
        return true;
    if (error)
        *error = p.set->lastError();
    p.set.reset();
    return false;
}

void MoJuWizardSettingsHost::commitCopiedAreas()
{
    for (int c = 0; c < kCameraSlots; ++c) {
        PendingAreas& p = pending_[size_t(c)];
        if (!p.set)
            continue;
        if (CammerWidget* v = w_.cameraSlot(c); v && v->savedSetStore) {
            *v->savedSetStore = *p.set;
            v->liveMask = p.masks;
        }
        p.set.reset();
    }
}

void MoJuWizardSettingsHost::dropCopiedAreas()
{
    for (PendingAreas& p : pending_)
        p.set.reset();
}

QSqlDatabase MoJuWizardSettingsHost::paramDatabase() { return w_.dbParam; }

void MoJuWizardSettingsHost::changeDetectNum(int count)
{
    if (w_.areaPage)
        w_.areaPage->ChangeDetectNum(count);
}

void MoJuWizardSettingsHost::resetCycleForDetectCount(const confirmplan::StepCountChange& change)
{
    if (CycleController* cycle = w_.cycle())
        cycle->ResetStepCount(change.steps, change.currentDetect, change.clearPendingMask, change.cameras);
}

void MoJuWizardSettingsHost::sideBarShowHide(int mode)
{
    if (w_.sideBar)
        w_.sideBar->ShowHide(mode);
}

void MoJuWizardSettingsHost::sideBarResetManualTrig()
{
    if (w_.sideBar)
        w_.sideBar->ResetComboChooseManualTrig();
}

void MoJuWizardSettingsHost::sideBarResetCaptureMode()
{
    if (w_.sideBar)
        w_.sideBar->ReSetCaptureMode();
}

void MoJuWizardSettingsHost::insertRecord(const QString& text) { w_.InsertRecord(text); }
void MoJuWizardSettingsHost::countWrite() { w_.CountWrite(); }

void MoJuWizardSettingsHost::showDetectCycle()
{
    auto* page = new DetectCycleWidget;   // deletes itself when closed
    page->show();
    page->raise();
}

SettingsPage* MakeSettingsDialog(MoJuWizard& window)
{
    auto* dialog = new WizardParaWidget(new MoJuWizardSettingsHost(window), true, &window);
    // The window's own pages and dialogs of the settings subsystem (built
    // hidden, children of the window).
    MakeIoNameDialog(window, *dialog);
    MakeWindowDialogs(window, *dialog);
    return dialog;
}

// The record page reads today's records through the window's own connection.
QSqlDatabase MoJuWizardSettingsHost::recordDatabase() { return w_.dbRecord; }
QString MoJuWizardSettingsHost::recordDirectory() const { return w_.recordDir; }

// ------------------------------------------------------------ network page
// (kept together at the end of the file)
#include "netcard.h"
#include "othernetdialog.h"

std::function<NetCard()>& MoJuWizardSettingsHost::systemNetCardReader()
{
    static std::function<NetCard()> reader;
    return reader;
}

bool MoJuWizardSettingsHost::readSystemNetCard(NetCard& card)
{
    const std::function<NetCard()>& reader = systemNetCardReader();
    if (!reader)
        return false;
    const NetCard now = reader();
    card.cardInfo = now.cardInfo;
    card.hostName = now.hostName;
    return true;
}

OtherNetDialog* MoJuWizardSettingsHost::otherNetDialog()
{
    return dynamic_cast<OtherNetDialog*>(w_.otherNetDialog);
}

// <MULTIDETECT>
QWidget* MoJuWizardSettingsHost::ioNameDialog() { return w_.ioNameDialog; }
// </MULTIDETECT>

// <GROUPS>
// </GROUPS>

// <MAINTENANCE>
// </MAINTENANCE>

// <DIALOGS>
// </DIALOGS>
