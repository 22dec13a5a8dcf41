#include "runcontrol.h"

#include "cameraglobals.h"
#include "cameraslotstate.h"
#include "controlport.h"
#include "cyclecontroller.h"
#include "graycolortable.h"
#include "messages.h"
#include "operationrecord.h"
#include "relaylink.h"
#include "slothost.h"
#include "wizardpara.h"

#include <QImage>

#include <algorithm>
#include <cstring>

namespace {

// Pictures the no-camera snapshot cycles through: template0 .. template49.
constexpr int kSnapshotPictures = 50;

int detections() { return std::clamp(gDNum, 0, kDetections); }
int camerasInUse() { return std::clamp(numCamera, 0, kCameraSlots); }

using Ports = RunControl::Ports;

bool relayAlive(const Ports& p)
{
    return gpWPara->netEnabled && RelayReady(p.relay, true);
}

// Detection started by hand: closing blocked when the next mould OK is to
// release it with a pulse, and the run lamp on.
void startByHand(const Ports& p)
{
    const WizardPara& w = *gpWPara;
    p.cycle->StartDetect();
    if (w.cutClampAfterMoldOk && w.clampPulse > 0) {
        p.io->IOSetOut(OutNotAllowClose, 1);
        p.io->IOFlashOut();
    }
    LEDOnOff(4, 1);
}

// The camera shown alone, or camera 0 while the grid is shown.
int shownCamera(const Ports& p)
{
    const int v = p.slotHost->viewState().viewCamera;
    return v >= 0 && v < camerasInUse() ? v : 0;
}

// Loads picture path into the procFrame of the shown camera.  A picture that
// does not load or has another size is not used.
void loadSnapshotPicture(const Ports& p, const QString& path)
{
    CycleCamera* cam = p.cycle->camera(shownCamera(p));
    if (!cam || gImageW <= 0 || gImageH <= 0)
        return;
    QImage picture(path);
    if (picture.isNull() || picture.width() != gImageW || picture.height() != gImageH)
        return;
    // Whatever the file holds, the frame gets the processed format: one grey
    // byte per pixel (the grey table is the identity), or RGB32.  Rows are
    // copied one by one, so padded file rows never skew the frame.
    picture = picture.convertToFormat(gisColor ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    const size_t rowBytes = size_t(gImageW) * (gisColor ? 4 : 1);
    const size_t need = rowBytes * size_t(gImageH);
    std::vector<uchar>& frame = cam->slotState().procFrame;
    if (frame.size() < need)
        frame.resize(need);
    for (int y = 0; y < gImageH; ++y)
        std::memcpy(frame.data() + size_t(y) * rowBytes, picture.constScanLine(y), rowBytes);
}

} // namespace

RunControl::RunControl(const Ports& ports) : p_(ports) {}

// ---- access gates -----------------------------------------------------------

int RunControl::CheckPassword()
{
    if (!gpWPara->passwordEnabled)
        return 2;
    if (p_.accessLevel && *p_.accessLevel != 0)
        return *p_.accessLevel;
    // Without the login prompt nobody can log in: refused.
    if (!p_.gate)
        return 0;
    p_.gate->execPasswordBox();
    return p_.accessLevel ? *p_.accessLevel : 0;
}

bool RunControl::CheckRoot()
{
    if (p_.accessLevel && *p_.accessLevel == AccessLevelAdvanced)
        return true;
    if (!p_.gate)
        return false;
    p_.gate->execPasswordBox();
    return p_.accessLevel && *p_.accessLevel == AccessLevelAdvanced;
}

// ---- start and stop ---------------------------------------------------------

void RunControl::SlotStartStop()
{
    if (p_.host->settingsOrAreaPageVisible())
        return;
    const WizardPara& w = *gpWPara;
    if (p_.slotHost->runState == RunStateStopped) {
        startByHand(p_);
        p_.slotHost->insertRecord(Msg(142));
    } else {
        int level = 0;
        if (w.stopDetectPassword && !w.passwordEnabled) {
            // The stop permission of its own; refused while it does not exist.
            if (!p_.gate || !p_.gate->execStopPasswordDialog(&level))
                return;
        } else {
            level = CheckPassword();
        }
        if (level == 0)
            return;
        // Each box runs while the cycle goes on: look at the pages again.
        if (p_.host->settingsOrAreaPageVisible())
            return;
        if (p_.host->ask(140, Msg(140)) != 1)
            return;
        if (p_.host->settingsOrAreaPageVisible())
            return;
        p_.cycle->StopDetect();
        p_.slotHost->insertRecord(Msg(141));
        LEDOnOff(4, 0);
    }
    p_.cycleHost->repaintWindow();
    if (relayAlive(p_)) {
        p_.relay->CNT_SendManualStop();
        p_.relay->CNT_SendStatistics(QStringLiteral("null"));
    }
}

// ---- template re-sampling ---------------------------------------------------

void RunControl::SlotReTrain()
{
    if (p_.host->anyPageVisible())
        return;
    if (CheckPassword() == 0)
        return;
    if (p_.host->anyPageVisible())
        return;
    if (p_.host->ask(137, Msg(137)) != 1)
        return;
    if (p_.host->settingsOrAreaPageVisible() || p_.state->pageMode == PageModeAlarm)
        return;

    const WizardPara& w = *gpWPara;
    p_.state->pageMode = PageModeNone;
    for (int c = 0; c < camerasInUse(); ++c) {
        CycleCamera* cam = p_.cycle->camera(c);
        if (!cam)
            continue;
        CameraSlotState& s = cam->slotState();
        s.isOK = 1;
        for (int k = 0; k < detections(); ++k)
            std::fill(std::begin(s.roiOK[k]), std::end(s.roiOK[k]), uchar(1));
    }

    if (p_.slotHost->runState == RunStateStopped)
        startByHand(p_);
    p_.slotHost->runState = RunStateTraining;

    // The old library must not be trained on with the new base templates.
    p_.host->SlotTempDeleteAll();

    for (int c = 0; c < camerasInUse(); ++c) {
        CycleCamera* cam = p_.cycle->camera(c);
        if (!cam)
            continue;
        CameraSlotState& s = cam->slotState();
        for (int k = 0; k < detections(); ++k) {
            if (w.detectEnabled[k])
                s.reSamplePending[k] = 1;
            std::vector<uchar>& mask = s.ignoreMask[k];
            if (mask.empty())
                mask.assign(size_t(std::max(gImageLen, 0)), 0);
            else
                std::fill(mask.begin(), mask.end(), uchar(0));
            cam->SaveIgnorePoint(k);
        }
    }

    p_.slotHost->insertRecord(Msg(139));
    p_.host->SaveSN(0);
    p_.cycleHost->repaintWindow();
}

void RunControl::CheckArea(bool)
{
    if (p_.slotHost->settingsPageVisible())
        p_.cycleHost->hideSettingsPage();
    if (CheckPassword() != 0) {
        p_.state->pageMode = PageModeArea;
        p_.cycleHost->hideSideBar();
        p_.cycleHost->areaPageReset(false);
        gFromTrain = 1;
        return;
    }
    // Nobody adjusts the areas: the new base templates are in, so the
    // models built from the old ones go now, before the next judgement.
    // (Leaving it to the end of a display would also keep closing blocked
    // after the next mould OK.)
    p_.cycle->RebuildEnabledModels();
    p_.slotHost->runState = RunStateDetecting;
}

void RunControl::BackTrain()
{
    const WizardPara& w = *gpWPara;
    if (!w.okNgPulses) {
        p_.io->IOSetOut(OutNotAllowClose, 0);
        const bool standardLike = w.systemMode == SystemModeStandard || w.systemMode == SystemModeAutoParts;
        if (w.cutEjectorOnClamp && w.detectEnabled[0] && !w.productNoEjectorControl && !w.productNgPulseNoAlarm
            && !w.productOkNgOutputs && standardLike)
            p_.io->IOSetOut(OutNotAllowThimble, 1);
    }
    p_.io->IOFlashOut();
    p_.slotHost->runState = RunStateDetecting;
    p_.cycle->CheckNG();
    gisReTrain = true;
}

// ---- skip mode --------------------------------------------------------------

void RunControl::SlotStartSkipDetect()
{
    const WizardPara& w = *gpWPara;
    if (!w.skipDetectEnabled)
        return;
    if (!p_.state->skipActive) {
        if (p_.host->ask(574, Msg(574).arg(w.skipDetectCount)) != 1)
            return;
        p_.cycleHost->setSkipButtonText(Msg(576));
        p_.state->skipActive = true;
    } else {
        if (p_.host->ask(578, Msg(578)) != 1)
            return;
        p_.cycleHost->setSkipButtonText(Msg(573));
        p_.state->skipActive = false;
    }
    p_.cycle->StopDetect();
    p_.cycle->StartDetect();
    p_.state->skipCount = 0;
    p_.cycleHost->repaintWindow();
}

// ---- manual snapshots -------------------------------------------------------

void RunControl::SlotManualTrig(int d)
{
    if (p_.slotHost->runState == RunStateStopped || p_.host->settingsOrAreaPageVisible())
        return;
    if (d < 0 || d >= kDetections)
        return;
    const WizardPara& w = *gpWPara;
    if (d == 0 && !w.productDetectEnabled) {
        p_.host->warn(145, Msg(145));
        return;
    }
    p_.state->manualTrigDetect = d;
    for (int c = 0; c < camerasInUse(); ++c)
        if (CycleCamera* cam = p_.cycle->camera(c))
            std::fill(cam->slotState().skipMould, cam->slotState().skipMould + detections(), uchar(0));

    // Without cameras the cycle runs on stored pictures, one per snapshot;
    // the counter moves on whether or not the picture was usable.
    if (gCameraID == CameraKindNone) {
        const QString path = QStringLiteral("cammer15/template%1.bmp").arg(snapshotCounter_);
        snapshotCounter_ = (snapshotCounter_ + 1) % kSnapshotPictures;
        loadSnapshotPicture(p_, path);
    }
}

void RunControl::SlotMuliManualTrig() { SlotManualTrig(p_.host->CurChooseTrig()); }

// ---- capture mode and area adjustment ---------------------------------------

void RunControl::CameraChangeTrig()
{
    // Only the live record: PARAM.db keeps the saved capture mode.
    gpWPara->externalTrigger = 1 - gpWPara->externalTrigger;
    p_.host->ReSetCaptureMode();
    for (int c = 0; c < camerasInUse(); ++c)
        if (CycleCamera* cam = p_.cycle->camera(c))
            cam->CameraChangeTrig(false);
}

void RunControl::SlotAdjustArea()
{
    if (p_.host->anyPageVisible() || p_.state->pageMode == PageModeAlarm)
        return;
    if (CheckPassword() == 0)
        return;
    if (p_.host->anyPageVisible() || p_.state->pageMode == PageModeAlarm)
        return;

    const WizardPara& w = *gpWPara;
    p_.state->pageMode = PageModeArea;
    p_.cycleHost->hideSideBar();
    p_.host->hideStatusStrip();
    p_.cycleHost->areaPageReset(false);

    const int shown = shownCamera(p_);
    const int editDetect = p_.slotHost->viewState().editDetect;
    CycleCamera* cam = p_.cycle->camera(shown);
    const CammerSingleton* workSet = cam ? cam->slotState().workSet : nullptr;
    if (workSet && editDetect >= 0 && editDetect < kDetections && workSet->roiCount[editDetect] == 0
        && w.autoGenerateArea) {
        // The area page itself is open now; only the settings page or an
        // alarm that came meanwhile stops the proposal.
        if (p_.host->ask(354, Msg(354)) == 1 && !p_.slotHost->settingsPageVisible()
            && p_.state->pageMode != PageModeAlarm)
            p_.host->AutogenerationRegion(editDetect);
    }
    if (w.showCavityNumbers)
        p_.host->showCavityBoxes(shown);
}
