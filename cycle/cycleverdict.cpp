// The detection step (countdown, evaluation on every camera, automatic
// re-check) and the verdict: interlock, alarm and area outputs, the held NG
// alarm, result pictures, statistics, counters and the relay reports.
#include "cyclecontroller.h"

#include "cameraslotstate.h"
#include "cameraglobals.h"
#include "cammersingleton.h"
#include "clock.h"
#include "controlport.h"
#include "cammerrecongnize.h"
#include "detectionpool.h"
#include "cyclecounters.h"
#include "globals.h"
#include "graycolortable.h"
#include "messages.h"
#include "paramroi.h"
#include "relaylink.h"
#include "slothost.h"

#include <QDir>
#include <QImage>
#include <QMutexLocker>

#include <algorithm>
#include <cstring>

bool gisReTrain = false;
bool gisReShape = false;
int gFromTrain = 0;
int gPicNumNG = 0;
int gPicNumOK = 0;
bool gisUseStatistics = false;

namespace {

const WizardPara& para() { return *gpWPara; }

bool pairedMode()
{
    return para().systemMode == SystemModeTwoColor || para().systemMode == SystemModeTurntable;
}

bool multiMode() { return para().systemMode == SystemModeMultiDetect; }

// Written in front of the alarm record when a manual snapshot raised it.
const QString kManualSnapshotPrefix = QStringLiteral("手动抓拍导致");

} // namespace

// ---- helpers ---------------------------------------------------------------

int CycleController::pairIndex(int d) const { return pairedMode() ? (d & 1) : d; }

bool CycleController::isLastDetection(int p) const { return multiMode() ? p == gDNum - 1 : p == 1; }

int CycleController::stepOutput(int step) const
{
    // The last step always drives the last entry of the table.
    if (step == gDNum - 1)
        return OutputNo[7] - 1;
    return OutputNo[std::clamp(step, 0, 7)] - 1;
}

void CycleController::setOut(int out, int on) { p_.io->IOSetOut(out, on); }

void CycleController::flush() { p_.io->IOFlashOut(); }

bool CycleController::relayLinked(bool needAlive) const
{
    return para().netEnabled && RelayReady(p_.relay, needAlive);
}

bool CycleController::ngHandledByPulses(int p) const
{
    const WizardPara& w = para();
    return w.okNgPulses || (p == 0 && (w.productNgPulseNoAlarm || w.productOkNgOutputs))
        || (p == 1 && w.moldNgPulseNoAlarm);
}

void CycleController::startPulse(CycleTimer* timer, int tenths)
{
    if (timer && tenths > 0)
        timer->start(tenths * 100);
}

int CycleController::ngAreaCount(int camera, int d) const
{
    const CameraSlotState& s = cameras_[camera]->slotState();
    if (!s.savedSet)
        return 0;
    const int areas = std::clamp(s.savedSet->roiCount[d], 0, kAreas);
    int n = 0;
    for (int i = 0; i < areas; ++i)
        n += s.roiOK[d][i] == 0;
    return n;
}

// Multi-detection mode: the next step may start on the still-active level of
// this step's input when the next step with a trigger uses the same input.
void CycleController::updateSharedTriggerInput(int step)
{
    CycleState& st = *p_.state;
    st.sharedTriggerInput = -1;
    if (step < 0 || step >= kDetections)
        return;
    const int mine = para().detectTriggerInput[step];
    for (int k = step + 1; k < kDetections; ++k) {
        const int next = para().detectTriggerInput[k];
        if (next == -1)
            continue;
        if (next == mine)
            st.sharedTriggerInput = mine;
        break;
    }
}

// ---- detection step --------------------------------------------------------

void CycleController::TimerUp(int d)
{
    if (d < 0 || d >= kDetections)
        return;
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    int& r = st.delayCountdownTenths[d];

    // Pre-cut: block closing preCut tenths before the mould detection runs,
    // tested on the value before this tick's decrement.
    if (isLastDetection(pairIndex(d)) && w.preCut >= 1 && w.preCut <= 99 && r <= w.preCut && !w.okNgPulses) {
        setOut(OutNotAllowClose, 1);
        flush();
    }

    if (r > 1) {
        --r;
        const ViewState& v = p_.slotHost->viewState();
        const QRect rect = gShowW < 1024
            ? QRect(int(v.viewFracX * 270), int(v.viewFracY * 5), 40, 18)
            : QRect(int(v.viewFracX * 520), int(v.viewFracY * 5), 130, 36);
        for (int c = 0; c < numCamera; ++c)
            if (cameras_[c])
                cameras_[c]->repaintRect(rect);
        return;
    }

    r = 0;
    if (st.detectDelayTimers[d])
        st.detectDelayTimers[d]->stop();
    bool which[kCameraSlots] = {};
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c)
        which[c] = cameras_[c] != nullptr;
    const bool allOk = judgeCameras(d, which);
    CheckNG();
    st.resultPhase = PhaseDetected;

    // The alarm record is written by the alarm entry itself (one per entry).
    if (st.pageMode != PageModeAlarm && allOk && isLastDetection(pairIndex(d)) && st.reCheckActive == 0
        && w.templateAutoUpdate) {
        gisReShape = true;
        for (int c = 0; c < numCamera; ++c)
            if (cameras_[c])
                cameras_[c]->SaveReTrainImage(1);
    }
}

void CycleController::saveRawPicture(int camera, int d)
{
    CycleState& st = *p_.state;
    CameraSlotState& s = cameras_[camera]->slotState();
    const int counter = st.rawPictureCounter;
    st.rawPictureCounter = (st.rawPictureCounter + 1) % 200;
    const size_t need = size_t(gImageW) * size_t(gImageH) * (gisColor ? 4 : 1);
    if (gImageW <= 0 || gImageH <= 0 || s.procFrame.size() < need)
        return;
    QImage image;
    if (gisColor) {
        image = QImage(s.procFrame.data(), gImageW, gImageH, gImageW * 4, QImage::Format_RGB32);
    } else {
        image = QImage(s.procFrame.data(), gImageW, gImageH, gImageW, QImage::Format_Indexed8);
        image.setColorTable(GrayColorTable());
    }
    const QString dir = QStringLiteral("./originalimage/cammer%1%2").arg(camera + 1).arg(d + 1);
    QDir().mkpath(dir);
    // A picture that cannot be written is skipped: the cycle goes on.
    image.save(QStringLiteral("%1/template%2.bmp").arg(dir).arg(counter), "BMP");
}

void CycleController::RunAlgorithm(int camera, int detect)
{
    const int d = beginRun(camera, detect);
    if (d < 0)
        return;
    judge(camera, d, nullptr);
    finishRun(camera, d);
}

bool CycleController::judgeCameras(int detect, const bool which[kCameraSlots])
{
    // Each camera's OK flag is taken right after its own step.
    bool allOk = true;
    const auto taken = [&](int c) {
        if (cameras_[c])
            allOk = allOk && cameras_[c]->slotState().isOK;
    };
    // Re-sampling judges nothing and may end the run state midway: it keeps
    // to one camera after the other.
    if (!pool_ || p_.slotHost->runState == RunStateTraining) {
        for (int c = 0; c < numCamera && c < kCameraSlots; ++c) {
            if (which[c]) {
                RunAlgorithm(c, detect);
                taken(c);
            }
        }
        return allOk;
    }
    // What comes before the pass, in camera order (the shared picture
    // counter, the pending bits) ...
    int d[kCameraSlots];
    int offThread[kCameraSlots];
    int n = 0;
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c) {
        d[c] = which[c] ? beginRun(c, detect) : -1;
        if (d[c] >= 0 && cameras_[c]->judgesOffThread())
            offThread[n++] = c;
    }
    // ... the passes at once, each on its own slot, the shared record and
    // relay list left alone ...
    PassReport reports[kCameraSlots];
    pool_->run(n, [&](int k) {
        const int c = offThread[k];
        judge(c, d[c], &reports[c]);
    });
    // ... and everything the passes lead to in camera order again, as one
    // camera after the other would have done it.
    int k = 0;
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c) {
        if (!which[c])
            continue;
        if (d[c] >= 0) {
            if (k < n && offThread[k] == c) {
                cameras_[c]->HandOn(reports[c]);
                ++k;
            } else {
                judge(c, d[c], nullptr);
            }
            finishRun(c, d[c]);
        }
        taken(c);
    }
    return allOk;
}

int CycleController::beginRun(int camera, int detect)
{
    if (camera < 0 || camera >= kCameraSlots || !cameras_[camera] || detect < 0 || detect >= kDetections)
        return -1;
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    CycleCamera* cam = cameras_[camera];
    CameraSlotState& s = cam->slotState();

    int d = detect;
    if (pairedMode()) {
        if (d >= 2)
            d -= 2;
        if (st.leftPairActive == 0)
            d += 2;
    }

    st.currentDetect = d;
    st.pendingCameraMask[pairIndex(d)] &= ~(1 << camera);

    if (st.saveRawImages)
        saveRawPicture(camera, d);

    if (p_.slotHost->runState == RunStateTraining) {
        if (s.reSamplePending[d]) {
            if (w.detectEnabled[d])
                cam->SaveReTrainImage(d);
            s.reSamplePending[d] = 0;
            s.isOK = 1;
            bool pending = false;
            for (int c = 0; c < numCamera && !pending; ++c) {
                if (!cameras_[c])
                    continue;
                for (int k = 0; k < gDNum && k < kDetections; ++k)
                    if (w.detectEnabled[k] && cameras_[c]->slotState().reSamplePending[k])
                        pending = true;
            }
            if (!pending) {
                // Every template is taken: detection restarts with closing
                // blocked while the operator adjusts the areas.
                StartDetect();
                if (!w.okNgPulses) {
                    setOut(OutNotAllowClose, 1);
                    flush();
                }
                p_.slotHost->runState = RunStateTraining;
                p_.host->CheckArea(false);
                return -1;
            }
        }
        if (gSource == 1 || gSource == -1)
            cam->repaintView();
        return -1;
    }
    return d;
}

void CycleController::judge(int camera, int d, PassReport* report)
{
    CycleCamera* cam = cameras_[camera];
    CameraSlotState& s = cam->slotState();
    cam->ShapeMatch();
    const size_t n = std::min(s.procFrame.size(), size_t(std::max(gColorLen, 0)));
    if (s.shownFrame.size() < n)
        s.shownFrame.resize(n);
    if (n > 0)
        std::memcpy(s.shownFrame.data(), s.procFrame.data(), n);
    if (report)
        cam->RunKept(d, *report);
    else
        cam->Run(d);
}

void CycleController::finishRun(int camera, int d)
{
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    CycleCamera* cam = cameras_[camera];
    CameraSlotState& s = cam->slotState();
    const int p = pairIndex(d);

    if (!s.isOK) {
        if (!w.okNgPulses) {
            if (multiMode()) {
                if (!(d == 0 && (w.productNgPulseNoAlarm || w.productOkNgOutputs)))
                    setOut(OutAlarm, 1);
            } else if (p == 0) {
                if (!w.productNoEjectorControl && !w.productNgPulseNoAlarm && !w.productOkNgOutputs) {
                    setOut(OutNotAllowThimble, 1);
                    if (w.preCut == 0 && !w.moldAlarmCutsClamp && !w.separateDetectSignal)
                        setOut(OutNotAllowClose, 1);
                }
                if (!w.productNgPulseNoAlarm && !w.productOkNgOutputs && st.reCheckLeft[0] == 0)
                    setOut(OutAlarm, 1);
            } else if (p == 1) {
                if (!w.moldNgPulseNoAlarm) {
                    if (!(w.preCut != 0 && st.reCheckLeft[1] != 0))
                        setOut(OutNotAllowClose, 1);
                    // During re-checks the alarm output stays off.
                    if (st.reCheckLeft[1] == 0)
                        setOut(OutAlarm, 1);
                }
            }
        }

        const int areas = s.savedSet ? std::clamp(s.savedSet->roiCount[d], 0, kAreas) : 0;
        if (st.roiNgCountPending[camera] && st.reCheckLeft[p] == 0) {
            st.roiNgCountPending[camera] = false;
            for (int i = 0; i < areas; ++i)
                if (s.roiOK[d][i] == 0)
                    ++s.savedSet->roiNgCount[d][i];
        }
        if (p == 0 && (w.productNgPulseNoAlarm || w.productOkNgOutputs)) {
            for (int i = 0; i < areas; ++i) {
                const int group = s.savedSet->roiOutput[i];
                if (s.roiOK[d][i] == 0 && group >= 0 && group < 4)
                    st.areaOutputFlags[group] = true;
            }
        }
        if (st.failImageState[camera][d] == FailImgArmed && st.reCheckLeft[p] == 0) {
            const int slot = s.recentNGCount[d] % CameraSlotState::kRecentNGFrames;
            uchar* frame = s.RecentNGBuffer(d, slot);
            const size_t len = std::min({size_t(std::max(gColorLen, 0)), size_t(std::max(s.colorLen, 0)),
                                         s.alignedFrame.size()});
            if (frame && len > 0)
                std::memcpy(frame, s.alignedFrame.data(), len);
            ++s.recentNGCount[d];
        }
    }

    st.cycleFirstRun[camera] = false;
    flush();
    if (gSource == 1 || gSource == -1)
        cam->repaintView();
}

void CycleController::ReCheck()
{
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    const int d = st.currentDetect;
    const int p = pairIndex(d);
    st.pendingCameraMask[p] = 0;

    if (isLastDetection(p)) {
        if ((w.preCut == 0 || st.reCheckLeft[p] == 0) && !w.productNgPulseNoAlarm && !w.productOkNgOutputs)
            setOut(OutNotAllowClose, 1);
    } else if (p == 0) {
        if (!w.productNoEjectorControl && !w.productNgPulseNoAlarm && !w.productOkNgOutputs)
            setOut(OutNotAllowThimble, 1);
    }
    flush();

    if (d >= 0 && d < kDetections && w.detectEnabled[d]) {
        bool which[kCameraSlots] = {};
        for (int c = 0; c < numCamera && c < kCameraSlots; ++c) {
            if (cameras_[c])
                st.pendingCameraMask[p] |= 1 << c;
            which[c] = true;
        }
        judgeCameras(d, which);
    }
    // An alarm this raises writes its one record at the entry.
    CheckNG();
}

// ---- verdict ---------------------------------------------------------------

void CycleController::enterAlarm()
{
    CycleState& st = *p_.state;
    WizardPara& w = *gpWPara;

    if (w.ngSwitchToContinuous == 1 && st.captureModeCopy == 1 && w.externalTrigger == 1) {
        // The operator handles the alarm on live pictures.
        w.externalTrigger = 0;
        for (int c = 0; c < numCamera; ++c)
            if (cameras_[c])
                cameras_[c]->CameraChangeTrig(false);
    }
    if (st.safetyDoorFired && !multiMode()) {
        setOut(OutNotAllowClose, 1);
        flush();
    }
    if (p_.host->screenIsOff()) {
        p_.host->LCDOnOff(1);
        if (w.screenOffSeconds > 0)
            p_.host->restartScreenOffTimer();
    }
    SetStopDetect();
    st.pageMode = PageModeAlarm;
    p_.slotHost->viewState().viewCamera = numCamera;
    p_.slotHost->ChangeCammer();
    p_.host->hideHelpPage();
    p_.host->hideSettingsPage();
    p_.host->hideSideBar();
    p_.host->areaPageReset(false);
    st.reCheckActive = 0;
    LEDOnOff(6, 0);
    LEDOnOff(7, 1);

    QString text;
    for (int c = 0; c < numCamera; ++c)
        if (cameras_[c] && !cameras_[c]->slotState().isOK)
            text += Msg(151).arg(c + 1);
    text.chop(1);
    text += Msg(152);
    if (st.manualTriggerNg) {
        text.prepend(kManualSnapshotPrefix);
        st.manualTriggerNg = false;
    }
    p_.slotHost->insertRecord(text);
    st.ngAlarmStartMs = p_.clock->now().toMSecsSinceEpoch();
}

void CycleController::endAlarm(int p)
{
    CycleState& st = *p_.state;
    WizardPara& w = *gpWPara;

    if (w.ngSwitchToContinuous == 1 && st.captureModeCopy == 1 && w.externalTrigger == 0) {
        w.externalTrigger = 1;
        for (int c = 0; c < numCamera; ++c)
            if (cameras_[c])
                cameras_[c]->CameraChangeTrig(false);
    }
    p_.host->areaPageRestart();
    if (st.noInputTimer && w.inputTimeout > 0)
        st.noInputTimer->start(w.inputTimeout * 1000);

    const auto resume = [&] {
        st.pageMode = PageModeNone;
        ResetRun();
        p_.slotHost->runState = RunStateDetecting;
    };
    if (multiMode()) {
        setOut(OutAlarm, 0);
        resume();
    } else if (p == 0) {
        setOut(OutAlarm, 0);
        setOut(OutNotAllowThimble, 0);
        resume();
        if (!pairedMode() && !w.semiAuto) {
            // The mould detection follows with its own delay, without an edge.
            st.simulatedTrigger = 1;
            st.forcedDetect = 1;
        }
    } else {
        StartDetect();
    }
    flush();

    if (relayLinked(false)) {
        p_.relay->CNT_AddNgTimes(int(p_.clock->now().toMSecsSinceEpoch() - st.ngAlarmStartMs));
        if (relayLinked(true) && w.ngVideoEnabled && w.videoShareMode)
            p_.relay->CNT_SendSaveNgVideo(1, 0);
        p_.relay->CNT_SendCancle();
    }
}

void CycleController::verdictPictures(int d, int p)
{
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    const bool pulses = ngHandledByPulses(p);
    const QDateTime verdictAt = p_.clock->now();
    const auto addStatistics = [&](int c, bool ok) {
        if (gisUseStatistics && p_.stats)
            p_.stats->Add(verdictAt, ok, c, d);
    };

    for (int c = 0; c < numCamera; ++c) {
        if (!cameras_[c])
            continue;
        CycleCamera* cam = cameras_[c];
        const bool ok = cam->slotState().isOK;
        int& state = st.failImageState[c][d];
        switch (state) {
        case FailImgArmed:
            if (!ok) {
                if (gPicNumNG > 0 && st.reCheckLeft[p] == 0) {
                    state = pulses ? FailImgQueueNg : FailImgNgHeld;
                    cam->SaveFailImage(d, 0);
                    addStatistics(c, ok);
                } else if (gPicNumNG <= 0) {
                    state = FailImgIdle;
                }
            } else if (gPicNumOK > 0 && (p > 0 || w.saveProductOk)) {
                state = FailImgOkReady;
                cam->SaveFailImage(d, 1);
                addStatistics(c, ok);
            } else {
                state = FailImgIdle;
            }
            break;
        case FailImgClearedSkip:
        case FailImgClearedAddTemp:
        case FailImgClearedSwitch:
            cam->UpdateFailImage(d, 0);
            break;
        case FailImgClearedRecheck:
            if (!ok) {
                state = FailImgNgHeld;
            } else {
                cam->UpdateFailImage(d, 0);
                cam->SaveFailImage(d, 1);
                cam->UpdateFailImage(d, 1);
            }
            break;
        default:
            break;
        }
    }
}

void CycleController::queuePictures()
{
    CycleState& st = *p_.state;
    for (int c = 0; c < numCamera; ++c) {
        for (int k = 0; k < gDNum && k < kDetections; ++k) {
            int& state = st.failImageState[c][k];
            const bool ok = state == FailImgOkReady || state == FailImgQueueBoth;
            const bool ng = state == FailImgQueueNg || state == FailImgQueueBoth;
            if (!ok && !ng)
                continue;
            // Each flag in its own hold: the writer may take the first at once.
            if (ng) {
                QMutexLocker lock(pMutexSaveFail);
                gisSaveFail[c][k][0] = true;
            }
            if (ok) {
                QMutexLocker lock(pMutexSaveFail);
                gisSaveFail[c][k][1] = true;
            }
            state = FailImgIdle;
        }
    }
}

void CycleController::CheckNG()
{
    if (gFromTrain)
        return;
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    const int d = std::clamp(st.currentDetect, 0, kDetections - 1);
    const int p = pairIndex(d);
    const int step = std::clamp(st.multiStepIndex, 0, kDetections - 1);
    const int row = w.multiDetectRowActive[step];
    const int cutMode = row >= 0 && row < 8 ? w.multiRowCutMode[row] : CutModeAll;

    // 2. Camera verdicts.
    bool ng = false;
    for (int c = 0; c < numCamera; ++c) {
        if (!cameras_[c] || cameras_[c]->slotState().isOK)
            continue;
        cameras_[c]->startAlarmBlink();
        st.cameraOkShown[c] = false;
        ng = true;
    }
    st.lastVerdictNg = ng;
    if (ng && st.manualTriggered)
        st.manualTriggerNg = true;
    st.userReCheck = false;

    // 3. Per-area results for the relay.
    if (st.reCheckLeft[p] == 0 && st.statsTriggerSource != 0) {
        if (relayLinked(true))
            p_.relay->CNT_SendStatistics_Once(g_listParamROI, ng, st.statsTriggerSource);
        st.statsTriggerSource = 0;
        g_listParamROI.clear();
    }

    // 4. Outputs of the verdict.
    if (!ng) {
        if (w.okNgPulses) {
            setOut(OutNotAllowClose, w.okClampNgEjector ? 1 : 0);
            setOut(OutNotAllowThimble, w.okClampNgEjector ? 0 : 1);
            setOut(OutAlarm, 0);
            flush();
            startPulse(st.clampPulseTimer.get(), w.clampPulse);
        } else {
            if (multiMode()) {
                const int out = stepOutput(step);
                setOut(out, 0);
                if ((cutMode == CutModeSelfDelay || cutMode == CutModeAllDelay) && w.clampPulse) {
                    st.delayedOutputPending = 1;
                    st.delayedOutputIndex = out;
                    startPulse(st.delayedOutputTimer.get(), w.clampPulse);
                }
                if (!st.manualTriggered)
                    updateSharedTriggerInput(step);
            } else if (p == 0) {
                if (!w.productNoEjectorControl && !w.productNgPulseNoAlarm && !w.productOkNgOutputs)
                    setOut(OutNotAllowThimble, 0);
            } else if (p == 1) {
                if (!gisReTrain && !w.moldNgPulseNoAlarm)
                    setOut(OutNotAllowClose, 0);
            }
            st.reCheckActive = 0;
            flush();
        }
    } else {
        if (st.reCheckLeft[p] == 0) {
            st.detectionArmed[d] = 0;
            if (relayLinked(false)) {
                if (relayLinked(true) && w.ngVideoEnabled && w.videoShareMode)
                    p_.relay->CNT_SendSaveNgVideo(1, 1);
                if (relayLinked(true) && w.smsAlarmEnabled) {
                    int n = 0;
                    for (int c = 0; c < numCamera; ++c)
                        if (cameras_[c] && !cameras_[c]->slotState().isOK)
                            n += ngAreaCount(c, d);
                    p_.relay->CNT_SendTelInfo(p, n);
                }
                if (relayLinked(true)) {
                    for (int c = 0; c < numCamera; ++c) {
                        if (!cameras_[c] || cameras_[c]->slotState().isOK)
                            continue;
                        const CameraSlotState& s = cameras_[c]->slotState();
                        const int areas = s.savedSet ? std::clamp(s.savedSet->roiCount[d], 0, kAreas) : 0;
                        for (int i = 0; i < areas; ++i)
                            if (s.roiOK[d][i] == 0)
                                p_.relay->ChkandAddStaticticsItem(c, d, i);
                    }
                    p_.relay->CNT_SendStatistics(QStringLiteral("null"));
                }
            }
        }
        if (w.okNgPulses) {
            setOut(OutNotAllowClose, w.okClampNgEjector ? 0 : 1);
            setOut(OutNotAllowThimble, w.okClampNgEjector ? 1 : 0);
            setOut(OutAlarm, 1);
            flush();
            startPulse(st.clampPulseTimer.get(), w.clampPulse);
        } else if (multiMode() && cutMode == CutModeNGSelf) {
            setOut(stepOutput(step), 1);
        }
    }

    // 5. Alarm decision (pulse mode never holds an alarm).
    const bool rulesApply = !w.okNgPulses
        && (multiMode() || (p == 0 && !w.productNgPulseNoAlarm && !w.productOkNgOutputs)
            || (p == 1 && !w.moldNgPulseNoAlarm));
    if (rulesApply) {
        if (ng && st.pageMode != PageModeAlarm) {
            if (st.reCheckLeft[p] > 0) {
                if (!multiMode())
                    st.reCheckActive = 1;
                st.ngAlarmStartMs = p_.clock->now().toMSecsSinceEpoch();
                // The next re-check waits for frames taken after this judgement.
                st.reCheckFrameMask = 0;
                st.reCheckJudgedMs = p_.clock->monotonicMs();
            } else {
                enterAlarm();
            }
        } else if (!ng && st.pageMode == PageModeAlarm) {
            endAlarm(p);
        }
    }

    // A snapshot's NG that neither raised the alarm nor left re-checks is
    // done with: a later alarm must not be recorded as the snapshot's.
    if (st.pageMode != PageModeAlarm && st.reCheckActive == 0)
        st.manualTriggerNg = false;

    // 6. Result display.
    if ((!ng || ngHandledByPulses(p)) && st.pageMode != PageModeAlarm && st.pageMode != PageModeArea
        && !p_.slotHost->settingsPageVisible()) {
        st.pageMode = PageModeOKShown;
        if (st.resultShowTimer)
            st.resultShowTimer->start(2000);
        st.shownDetect = d;
        p_.host->repaintWindow();
        const bool ngLamp = w.okNgPulses && ng;
        LEDOnOff(6, ngLamp ? 0 : 1);
        LEDOnOff(7, ngLamp ? 1 : 0);
    }

    // 7. After a mould OK the next product must be judged before ejecting.
    if (!ng && p == 1 && w.detectEnabled[0] && w.cutEjectorOnClamp && !w.productNoEjectorControl
        && !w.productNgPulseNoAlarm && !w.productOkNgOutputs) {
        setOut(OutNotAllowThimble, 1);
        flush();
    }

    // 8. Pulses.
    if (p != 0 || (!w.productNgPulseNoAlarm && !w.productOkNgOutputs)) {
        if (!ng) {
            if (p == 1 && w.cutClampAfterMoldOk)
                startPulse(st.clampPulseTimer.get(), w.clampPulse);
            if (p == 0 && w.cutEjectorAfterProductOk)
                startPulse(st.ejectorPulseTimer.get(), w.ejectorPulse);
        } else if (p == 1 && w.moldNgPulseNoAlarm) {
            setOut(OutNotAllowClose, 1);
            flush();
            startPulse(st.clampPulseTimer.get(), w.clampPulse);
        }
    } else {
        if (w.productOkNgOutputs) {
            setOut(OutArea1, st.areaOutputFlags[0] ? 1 : 0);
            setOut(OutArea2, st.areaOutputFlags[0] ? 0 : 1);
            setOut(OutArea3, st.areaOutputFlags[1] ? 1 : 0);
            setOut(OutArea4, st.areaOutputFlags[1] ? 0 : 1);
            flush();
            startPulse(st.ngPulseTimer.get(), w.ejectorPulse);
        }
        if (!ng) {
            if (w.cutEjectorAfterProductOk)
                startPulse(st.ejectorPulseTimer.get(), w.ejectorPulse);
        } else {
            if (w.productNgPulseNoAlarm)
                for (int g = 0; g < 4; ++g)
                    if (st.areaOutputFlags[g])
                        setOut(OutArea1 + g, 1);
            if (!w.productNoEjectorControl)
                setOut(OutNotAllowThimble, 1);
            flush();
            startPulse(st.ngPulseTimer.get(), w.ejectorPulse);
            if (multiMode()) {
                if (st.manualTriggered)
                    st.manualTriggered = false;
                else
                    updateSharedTriggerInput(step);
            }
        }
    }

    // 9. Pictures and the hourly statistics.
    verdictPictures(d, p);

    // 10. Queueing; a held NG picture waits for the release.
    if (!ng || w.okNgPulses || w.productNgPulseNoAlarm || w.moldNgPulseNoAlarm || w.productOkNgOutputs)
        queuePictures();

    // 12. Cycle counters; an alarm cycle (detection stopped) is counted at
    // its release, a cycle under re-check by its final judgement only.
    const bool last = isLastDetection(p);
    if (p_.slotHost->runState != RunStateStopped && st.reCheckActive == 0) {
        if (last && !st.safetyDoorFired && !st.manualTriggered) {
            for (int c = 0; c < numCamera; ++c) {
                if (!st.cameraOkShown[c])
                    ++gFailNum[c];
                ++gAllNum[c];
            }
        }
        st.safetyDoorFired = 0;
        st.manualTriggered = false;
    }

    // 11. count.txt, written after the counters took this cycle so that a
    // restart does not lose it.
    if ((!ng || w.okNgPulses) && last) {
        p_.host->CountWrite();
        if (relayLinked(true))
            p_.relay->CNT_SendStatistics(QStringLiteral("null"));
    }

    // 13.
    if (w.netEnabled)
        g_listParamROI.clear();
}

void CycleController::rebuildModels(int d)
{
    for (int c = 0; c < numCamera; ++c) {
        if (!cameras_[c])
            continue;
        cameras_[c]->CreateShape(d);
        cameras_[c]->VarTrain(d);
    }
}

void CycleController::RebuildEnabledModels()
{
    for (int k = 0; k < gDNum && k < kDetections; ++k)
        if (para().detectEnabled[k])
            rebuildModels(k);
}

void CycleController::TimerShow()
{
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    if (st.resultShowTimer)
        st.resultShowTimer->stop();

    if (st.pageMode == PageModeAlarm) {
        st.resultPhase = PhaseShown;
    } else {
        LEDOnOff(6, 1);
        LEDOnOff(7, 1);
        if (st.reCheckActive == 0 && st.shownDetect == st.currentDetect && gDNum > 0) {
            int next = (st.shownDetect + 1) % gDNum;
            // Disabled product detections are passed over.
            if (!multiMode() && next % 2 == 0 && !w.productDetectEnabled)
                next = (next + 1) % gDNum;
            st.currentDetect = next;
        }
        st.resultPhase = PhaseShown;
        if (st.pageMode == PageModeOKShown) {
            st.pageMode = PageModeNone;
            p_.host->repaintWindow();
        }
    }

    if (gisReTrain) {
        gisReTrain = false;
        RebuildEnabledModels();
    } else if (gisReShape) {
        gisReShape = false;
        rebuildModels(1);
    }
}

// ---- pulse timers ----------------------------------------------------------

void CycleController::OutTimerOutNG()
{
    CycleState& st = *p_.state;
    if (st.ngPulseTimer)
        st.ngPulseTimer->stop();
    if (!para().productNoEjectorControl)
        setOut(OutNotAllowThimble, 0);
    for (int k = OutArea1; k <= OutArea4; ++k)
        setOut(k, 0);
    flush();
}

void CycleController::OutTimerNotAllowClose()
{
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    if (st.clampPulseTimer)
        st.clampPulseTimer->stop();
    // A stopped machine keeps the outputs its stop set.
    if (p_.slotHost->runState == RunStateStopped)
        return;
    if (w.okNgPulses) {
        setOut(OutNotAllowClose, 0);
        setOut(OutNotAllowThimble, 0);
        setOut(OutAlarm, 0);
    } else if (w.moldNgPulseNoAlarm) {
        setOut(OutNotAllowClose, 0);
    } else {
        setOut(OutNotAllowClose, 1);
    }
    flush();
}

void CycleController::OutTimerNotAllowThimble()
{
    CycleState& st = *p_.state;
    if (st.ejectorPulseTimer)
        st.ejectorPulseTimer->stop();
    if (p_.slotHost->runState == RunStateStopped)
        return;
    if (para().okNgPulses) {
        setOut(OutNotAllowClose, 0);
        setOut(OutNotAllowThimble, 0);
    } else {
        setOut(OutNotAllowThimble, 1);
    }
    flush();
}

void CycleController::OutTimerSysFunc4Output()
{
    CycleState& st = *p_.state;
    if (st.delayedOutputTimer)
        st.delayedOutputTimer->stop();
    if (multiMode() && st.delayedOutputIndex != -1 && st.delayedOutputPending) {
        setOut(st.delayedOutputIndex, 1);
        flush();
        st.delayedOutputPending = 0;
        st.delayedOutputIndex = -1;
    }
}

// ---- the cycle's half of "Re-detected" -------------------------------------

void CycleController::ReDetectHeld()
{
    CycleState& st = *p_.state;
    const WizardPara& w = para();
    const int d = std::clamp(st.currentDetect, 0, kDetections - 1);
    const int p = pairIndex(d);

    ResetRun();
    // The held detection's interlock stays blocked while it is judged again.
    if (multiMode()) {
        setOut(stepOutput(std::clamp(st.multiStepIndex, 0, kDetections - 1)), 1);
    } else if (isLastDetection(p)) {
        setOut(OutNotAllowClose, 1);
    } else if (p == 0 && !w.productNoEjectorControl) {
        setOut(OutNotAllowThimble, 1);
    }
    flush();

    for (int c = 0; c < numCamera; ++c)
        if (st.failImageState[c][d] == FailImgNgHeld)
            st.failImageState[c][d] = FailImgClearedRecheck;
    bool which[kCameraSlots] = {};
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c)
        which[c] = cameras_[c] && !cameras_[c]->slotState().skipMould[d];
    judgeCameras(d, which);
    st.userReCheck = true;
    CheckNG();
}
