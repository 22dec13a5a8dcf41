#include "cyclecontroller.h"

#include "cameraglobals.h"
#include "cameraslotstate.h"
#include "clock.h"
#include "controlport.h"
#include "iothread.h"
#include "messages.h"
#include "slothost.h"

#include <algorithm>
#include <climits>

namespace {

// Detections of the cycle, bounded by the arrays that hold them.
int detections() { return std::clamp(gDNum, 0, kDetections); }

bool pairedMode(int mode) { return mode == SystemModeTwoColor || mode == SystemModeTurntable; }

// The re-check waits at most this long for fresh frames.
constexpr qint64 kReCheckFrameWaitMs = 1000;

// Mean grey of a frame, on every 4th row and column: enough for the value
// the view shows, and cheap on a 3 ms pass.  Colour frames are B, G, R, A
// per pixel; a frame shorter than the geometry is read as far as it goes.
int meanGrey(const std::vector<uchar>& frame, int width, int height, bool colour)
{
    const size_t bytesPerPixel = colour ? 4 : 1;
    if (width <= 0 || height <= 0)
        return 0;
    const size_t rowBytes = size_t(width) * bytesPerPixel;
    const int rows = int(std::min<size_t>(size_t(height), frame.size() / rowBytes));
    qint64 sum = 0;
    qint64 count = 0;
    for (int y = 0; y < rows; y += 4) {
        const uchar* row = frame.data() + size_t(y) * rowBytes;
        for (int x = 0; x < width; x += 4) {
            if (colour) {
                const uchar* px = row + size_t(x) * 4;
                sum += (114 * px[0] + 587 * px[1] + 299 * px[2] + 500) / 1000;
            } else {
                sum += row[x];
            }
            ++count;
        }
    }
    return count ? int(sum / count) : 0;
}

}

CycleController::CycleController(const Ports& ports) : p_(ports) {}

CycleController::~CycleController() = default;

void CycleController::setCamera(int k, CycleCamera* camera)
{
    if (k >= 0 && k < kCameraSlots)
        cameras_[k] = camera;
}

void CycleController::createTimers(CycleTimerFactory& factory)
{
    CycleState& s = *p_.state;
    s.runTimer = factory.create([this] { Run(); }, true, true);
    for (int p = 0; p < kEdgeInputs; ++p)
        s.inputDebounceTimers[p] = factory.create([this, p] { TimerCheckInput(p); });
    for (int d = 0; d < kDetections; ++d) {
        s.detectDelayTimers[d] = factory.create([this, d] { TimerUp(d); });
        s.detectDelayTimers[d]->setInterval(100);
    }
    s.noInputTimer = factory.create([this] { InCheck(); });
    s.safeDoorTimer = factory.create([this] { SlotTImerSafeDoor(); });
    s.safeDoorTimer->setInterval(2000);
    s.resultShowTimer = factory.create([this] { TimerShow(); });
    s.resultShowTimer->setInterval(2000);
    s.ngPulseTimer = factory.create([this] { OutTimerOutNG(); });
    s.clampPulseTimer = factory.create([this] { OutTimerNotAllowClose(); });
    s.ejectorPulseTimer = factory.create([this] { OutTimerNotAllowThimble(); });
    s.delayedOutputTimer = factory.create([this] { OutTimerSysFunc4Output(); });
}

void CycleController::startLoop()
{
    // The first cycle is measured from the start of the loop.
    CycleState& s = *p_.state;
    s.cycleTime = 0;
    s.cycleStartTenths = p_.clock->monotonicMs() / 100;
    s.cycleStartTime = p_.clock->now();
    s.runTimer->start(5);
}

// ---------------------------------------------------------------------------
// Small helpers.

void CycleController::record(const QString& text)
{
    p_.slotHost->insertRecord(text);
}

int CycleController::level(int p) const
{
    return p_.io->IOState(0, p);
}

int CycleController::camerasInUse() const
{
    return std::clamp(numCamera, 0, kCameraSlots);
}

// ---------------------------------------------------------------------------
// The pass.

void CycleController::Run()
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;

    if (!watchLinkAndCameras())
        return;

    bool newFrame[kCameraSlots] = {};
    takeFrames(newFrame);

    int edge[kEdgeInputs] = {};
    for (int p = 0; p < kEdgeInputs; ++p)
        edge[p] = p_.io->IOInTrigger(p);

    const int mode = w.systemMode;
    if (s.pageMode == PageModeAlarm) {
        // The alarm waits for the door (or the ejector's return in
        // semi-automatic work) to re-detect the held detection.
        const bool reset = edge[InSafetyDoor] || s.simulatedTrigger == 1
                           || (s.currentDetect > 0 && w.semiAuto
                               && (edge[InEjectorBack] || s.simulatedTrigger == 2));
        if (reset) {
            s.simulatedTrigger = -1;
            for (int c = 0; c < camerasInUse(); ++c)
                if (cameras_[c])
                    for (int k = 0; k < detections(); ++k)
                        cameras_[c]->slotState().skipMould[k] = 0;
            if (mode == SystemModeTurntable) {
                if (level(InMouldOpenEnd) && !level(InReserve))
                    s.leftPairActive = 1;
                else if (level(InReserve) && !level(InMouldOpenEnd))
                    s.leftPairActive = 0;
            }
            p_.host->clickReCheckButton();
        }
        s.noInputTimer->stop();
        endPass(newFrame);
        return;
    }

    if (s.reCheckActive) {
        const int p = pairedMode(mode) ? (s.currentDetect & 1) : s.currentDetect;
        if (p >= 0 && p < kDetections && s.reCheckLeft[p] > 0 && reCheckFramesReady()) {
            --s.reCheckLeft[p];
            ReCheck();
        }
        s.noInputTimer->stop();
        endPass(newFrame);
        return;
    }

    if (w.safetyDoorTrigger && p_.slotHost->runState != RunStateStopped
        && (edge[InSafetyDoor] || s.simulatedTrigger == 1)) {
        s.simulatedTrigger = -1;
        if (!s.safeDoorTimer->isActive()) {
            s.safeDoorTimer->start(2000);
            for (int c = 0; c < camerasInUse(); ++c) {
                if (cameras_[c]) {
                    cameras_[c]->slotState().skipMould[1] = 0;
                    if (pairedMode(mode))
                        cameras_[c]->slotState().skipMould[3] = 0;
                }
                s.failImageState[c][1] = FailImgArmed;
                if (pairedMode(mode))
                    s.failImageState[c][3] = FailImgArmed;
            }
            if (mode == SystemModeTurntable)
                s.leftPairActive = level(InMouldOpenEnd) != 0;
            s.safetyDoorFired = 1;
            // A forced mould detection left over from a product alarm would
            // later shorten the next mould delay; the door has run it now.
            s.forcedDetect = -1;
            TimerUp(mode == SystemModeMultiDetect ? detections() - 1 : 1);
        }
    }

    if (p_.slotHost->runState == RunStateStopped) {
        if (mode == SystemModeTwoColor) {
            if (edge[InEjectorBack] && w.moldSelect != 1)
                s.leftPairActive = 1;
            if (edge[InReserve] && w.moldSelect != 0)
                s.leftPairActive = 0;
        }
        s.noInputTimer->stop();
        endPass(newFrame);
        return;
    }

    bool delayRunning = false;
    for (int k = 0; k < detections(); ++k)
        if (s.detectDelayTimers[k]->isActive())
            delayRunning = true;
    if (delayRunning)
        s.simulatedTrigger = -1;
    else if (w.continuousTimedDetect && s.pageMode != PageModeAlarm)
        s.simulatedTrigger = 0;

    if (!manualSnapshot(delayRunning)) {
        endPass(newFrame);
        return;
    }

    if (w.externalTrigger && camerasInUse() > 0) {
        const int all = (1 << camerasInUse()) - 1;
        if ((s.cTrigImage & all) == all) {
            // Every camera delivered its triggered frame: that is input 0.
            s.cTrigImage = 0;
            s.simulatedTrigger = 0;
        }
    }

    if (!delayRunning)
        handleInputs(edge, newFrame);
    endPass(newFrame);
}

// Steps 1 to 4: the board link, the camera callbacks, the white balance and
// the lost cameras.  False when the cameras are lost (the pass ends early).
bool CycleController::watchLinkAndCameras()
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    CycleHost* host = p_.host;
    const bool lost = gisLostCom.load() != 0;

    if (w.ioLostAlarm) {
        const bool shown = host->lostLinkBoxVisible();
        if (lost && (!shown || host->lostLinkBoxText() != Msg(589))) {
            // A new loss, also one while the box still says the link is back.
            host->showLostLinkBox(Msg(589));
            record(QStringLiteral("IO通讯异常"));
        } else if (!lost && shown && host->lostLinkBoxText() != Msg(590)) {
            host->setLostLinkBoxText(Msg(590));
        }
    }
    // Without the board the machine is unwatched: the first word the board
    // gets when it answers again must block mould closing.
    if (lost && !linkLossHandled_) {
        linkLossHandled_ = true;
        if (p_.slotHost->runState != RunStateStopped) {
            setOut(OutNotAllowClose, 1);
            flush();
        }
    } else if (!lost) {
        linkLossHandled_ = false;
    }

    if (p_.slotHost->cameraLostSignal.load() && w.cameraCheck)
        for (int c = 0; c < camerasInUse(); ++c)
            host->CameraCheck(c);

    if (++s.tR == 50)
        for (int c = 0; c < camerasInUse(); ++c)
            if (cameras_[c])
                cameras_[c]->SetWB();

    if (gisLost) {
        s.tR = 0;
        setOut(OutNotAllowClose, 1);
        flush();
        host->CameraRestart();
        s.noInputTimer->stop();
        s.runTimer->start(3000);
        return false;
    }
    return true;
}

// Step 5: takes over the newest frame of every camera.
void CycleController::takeFrames(bool newFrame[kCameraSlots])
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    for (int c = 0; c < camerasInUse(); ++c) {
        newFrame[c] = cameras_[c] && cameras_[c]->takeNewFrame();
        if (!newFrame[c])
            continue;
        CameraSlotState& slot = cameras_[c]->slotState();
        slot.brightness = meanGrey(slot.procFrame, gImageW, gImageH, gisColor != 0);
        if (w.externalTrigger && s.pageMode != PageModeAlarm)
            s.cTrigImage |= 1 << c;
        ++s.frameCount[c];
        s.reCheckFrameMask |= 1 << c;
    }
}

// A re-check judges a frame taken after the judgement it checks; on the
// panel one detection outlasted a camera frame, here the pass is faster than
// the camera.  Triggered capture gets no new frame without a trigger, so it
// does not wait.
bool CycleController::reCheckFramesReady() const
{
    const CycleState& s = *p_.state;
    if (gpWPara->externalTrigger)
        return true;
    const int all = (1 << camerasInUse()) - 1;
    if ((s.reCheckFrameMask & all) == all)
        return true;
    return p_.clock->monotonicMs() - s.reCheckJudgedMs >= kReCheckFrameWaitMs;
}

// Step 12.  False when the snapshot raised the alarm (the pass ends).
bool CycleController::manualSnapshot(bool delayRunning)
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    const int mode = w.systemMode;
    const int j = s.manualTrigDetect;
    if (j == detections())
        return true;
    s.manualTrigDetect = detections();
    if (j < 0 || j >= kDetections)
        return true;
    s.multiStepIndex = j;
    s.statsTriggerSource = ~j;

    bool take;
    if (pairedMode(mode))
        take = w.detectEnabled[j] || (j + 2 < kDetections && w.detectEnabled[j + 2]);
    else if (mode == SystemModeMultiDetect)
        take = !delayRunning;
    else
        take = w.detectEnabled[j];
    if (!take)
        return true;

    measureCycleTime();
    s.manualTriggered = true;
    if (j == 0)
        std::fill(std::begin(s.areaOutputFlags), std::end(s.areaOutputFlags), false);
    s.reCheckLeft[0] = s.reCheckLeft[1] = 0;
    if (mode == SystemModeTurntable)
        s.leftPairActive = level(InMouldOpenEnd) != 0;
    for (int c = 0; c < camerasInUse(); ++c)
        s.failImageState[c][j] = FailImgArmed;
    TimerUp(j);

    if (s.pageMode != PageModeAlarm)
        return true;
    // The snapshot's NG holds the alarm: keep the machine blocked.
    if (mode == SystemModeMultiDetect)
        setOut(stepOutput(s.currentDetect), 1);
    else if (!w.okNgPulses && !w.moldNgPulseNoAlarm)
        setOut(OutNotAllowClose, 1);
    else if (!w.okNgPulses && !w.productNoEjectorControl && !w.productNgPulseNoAlarm && !w.productOkNgOutputs)
        setOut(OutNotAllowThimble, 1);
    flush();
    return false;
}

// Step 13: every input in order.  False when the pass ends before the last.
bool CycleController::handleInputs(const int edge[], bool newFrame[kCameraSlots])
{
    const WizardPara& w = *gpWPara;
    const int mode = w.systemMode;
    for (int p = 0; p < kEdgeInputs; ++p) {
        if (!acceptInput(p, edge))
            continue;
        if (startsCycle(p))
            startCycle(p);
        if (mode == SystemModeMultiDetect) {
            const MultiStep next = multiStep(p);
            if (next == MultiStep::EndPass)
                return false;
            if (next == MultiStep::NextInput)
                continue;
        } else if (!mouldGate(p)) {
            continue;
        }
        if (!dispatch(p, newFrame))
            return false;
    }
    return true;
}

// Step 13.1 and the first half of 13.2: the input filter.
bool CycleController::acceptInput(int p, const int edge[])
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    bool accepted = false;
    if (edge[p]) {
        s.inputDebounceTimers[p]->stop();
        if (w.debounceTime == 0)
            accepted = true;
        else
            s.inputDebounceTimers[p]->start(w.debounceTime * 100);
    }
    if (!accepted)
        accepted = s.inputConfirmed[p] || s.sharedTriggerInput == p || s.simulatedTrigger == p;
    if (!accepted)
        return false;
    s.inputConfirmed[p] = false;
    s.simulatedTrigger = -1;
    s.statsTriggerSource = p + 1;
    return true;
}

bool CycleController::startsCycle(int p) const
{
    const CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    switch (w.systemMode) {
    case SystemModeStandard:
        return p == InMouldOpenEnd || (p == InEjectorBack && w.separateDetectSignal == 1);
    case SystemModeTwoColor:
    case SystemModeAutoParts:
        return p == InMouldOpenEnd;
    case SystemModeTurntable:
        return (p == InMouldOpenEnd && w.moldSelect != 1) || (p == InReserve && w.moldSelect != 0);
    case SystemModeMultiDetect:
        if (!w.multiDetectInOrder)
            return true;
        return p == InMouldOpenEnd && s.sharedTriggerInput == -1 && detections() > 0
               && s.pendingCameraMask[detections() - 1] == 0;
    default:
        return false;
    }
}

// The cycle-time measurement of a cycle start (and of a manual snapshot):
// the length comes from the monotonic clock, so setting the clock neither
// stretches nor shortens a cycle; the start's date and time move on by it.
void CycleController::measureCycleTime()
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    const qint64 now = p_.clock->monotonicMs() / 100;
    const qint64 length = std::clamp<qint64>(now - s.cycleStartTenths, 0, INT_MAX);
    s.cycleTime = int(length);
    s.cycleStartTenths = now;
    if (!s.cycleStartTime.isValid())
        s.cycleStartTime = p_.clock->now().addMSecs(-length * 100);
    if (w.cycleTimeLog && p_.cycleLog) {
        p_.cycleLog->insertDate(s.cycleStartTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
                                s.cycleTime / 10.0);
        s.cycleStartTime = s.cycleStartTime.addMSecs(length * 100);
        if (s.cycleStartTime.date() != p_.cycleLog->logDate())
            p_.cycleLog->checkDate();
    } else {
        s.cycleStartTime = s.cycleStartTime.addMSecs(length * 100);
    }
}

// Step 13.3.
void CycleController::startCycle(int p)
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    const int mode = w.systemMode;
    const int dn = detections();

    if (s.skipActive) {
        ++s.skipCount;
        if (s.skipCount >= w.skipDetectCount) {
            p_.host->setSkipButtonText(Msg(573));
            s.skipActive = false;
        }
        record(Msg(577).arg(s.skipCount));
        p_.host->repaintWindow();
        return;
    }

    measureCycleTime();

    if (s.noInputAlarmShown) {
        s.noInputAlarmShown = false;
        p_.host->hideNoInputBox();
    } else if (w.inputTimeout > 0) {
        s.noInputTimer->start(w.inputTimeout * 1000);
    }

    for (int k = 0; k < dn; ++k)
        s.pendingCameraMask[k] = 0;
    gisSafeDoorOpen = false;
    std::fill(std::begin(s.areaOutputFlags), std::end(s.areaOutputFlags), false);
    s.reCheckLeft[0] = 0;
    s.reCheckLeft[1] = (!w.okNgPulses && !w.moldNgPulseNoAlarm) ? w.moldRecheckCount : 0;
    if (mode == SystemModeMultiDetect)
        std::fill(std::begin(s.reCheckLeft), std::end(s.reCheckLeft), 0);

    for (int c = 0; c < camerasInUse(); ++c) {
        for (int k = 0; k < dn; ++k) {
            if (!w.detectEnabled[k])
                continue;
            s.pendingCameraMask[mode == SystemModeMultiDetect ? k : (k & 1)] |= 1 << c;
            if (cameras_[c])
                cameras_[c]->slotState().skipMould[k] = 0;
            s.failImageState[c][k] = FailImgArmed;
            s.detectionArmed[k] = 1;
        }
    }
    for (int c = 0; c < camerasInUse(); ++c) {
        s.cycleFirstRun[c] = true;
        s.roiNgCountPending[c] = true;
        s.cameraOkShown[c] = true;
    }

    if (!w.okNgPulses && mode != SystemModeMultiDetect) {
        bool blockClamp = true;
        bool blockEjector = true;
        if (mode == SystemModeStandard && w.separateDetectSignal == 1) {
            blockEjector = p == InMouldOpenEnd;
            blockClamp = p == InEjectorBack;
        }
        if (w.preCut == 0 && !w.moldAlarmCutsClamp && blockClamp && !w.moldNgPulseNoAlarm)
            setOut(OutNotAllowClose, 1);
        if (s.pendingCameraMask[0] != 0) {
            if (w.productNgPulseNoAlarm || w.productAlarmCutsEjector || w.productOkNgOutputs) {
                for (int out : {OutNotAllowThimble, OutArea1, OutArea2, OutArea3, OutArea4})
                    setOut(out, 0);
            } else if (!w.productNoEjectorControl && blockEjector) {
                setOut(OutNotAllowThimble, 1);
            }
        }
        flush();
    }

    if (mode == SystemModeTurntable)
        s.leftPairActive = p == InMouldOpenEnd ? 1 : 0;
}

// Step 13.4 (modes 0 to 3): detections are dispatched only while the mould
// detection of the cycle is still to run; some inputs re-arm it.
bool CycleController::mouldGate(int p)
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    const int mode = w.systemMode;
    if (s.pendingCameraMask[1] == 0)
        return false;

    bool rearm = false;
    if (mode == SystemModeTwoColor) {
        if (p == InEjectorBack && w.moldSelect != 1) {
            s.leftPairActive = 1;
            rearm = true;
        } else if (p == InReserve && w.moldSelect != 0) {
            s.leftPairActive = 0;
            rearm = true;
        }
    } else if (mode == SystemModeStandard || mode == SystemModeAutoParts) {
        rearm = p == InEjectorBack && w.semiAuto;
    } else if (mode == SystemModeTurntable) {
        rearm = p == InEjectorBack;
    }
    if (!rearm)
        return true;

    const bool enabled = w.detectEnabled[1] || (pairedMode(mode) && w.detectEnabled[3]);
    s.pendingCameraMask[1] = enabled ? (1 << camerasInUse()) - 1 : 0;
    for (int c = 0; c < camerasInUse(); ++c)
        if (cameras_[c])
            for (int k = 0; k < detections(); ++k)
                cameras_[c]->slotState().skipMould[k] = 0;
    if (!w.okNgPulses) {
        if (w.preCut == 0 && !w.moldAlarmCutsClamp && !w.moldNgPulseNoAlarm)
            setOut(OutNotAllowClose, 1);
        flush();
    }
    return s.pendingCameraMask[1] != 0;
}

// Step 13.6 (multi-detection mode): which step input p may start, and the
// cut group of that step.
CycleController::MultiStep CycleController::multiStep(int p)
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    const int dn = detections();
    if (dn == 0)
        return MultiStep::NextInput;
    auto trig = [&](int t) { return w.detectTriggerInput[t]; };
    auto row = [&](int t) { return w.multiDetectRowActive[t]; };
    int m = std::clamp(s.multiStepIndex, 0, kDetections - 1);

    if (s.sharedTriggerInput == -1) {
        if (!w.multiDetectInOrder) {
            int found = -1;
            for (int t = 0; t < kDetections && found < 0; ++t)
                if (trig(t) == p)
                    found = t;
            if (found < 0)
                return MultiStep::EndPass;
            m = found;
        } else {
            // Within a sequence only the trigger of its next step is heard.
            int next = m + 1;
            while (next < kDetections && trig(next) == -1)
                ++next;
            if (next < dn && trig(next) != p)
                return MultiStep::EndPass;
        }
    }

    if (s.pendingCameraMask[dn - 1] == 0)
        return MultiStep::NextInput;

    int n = m;
    if (w.multiDetectInOrder) {
        n = 0;
        for (int t = m + 1; t < dn; ++t)
            if (row(t) != -1) {
                n = t;
                break;
            }
    }

    const bool applyCut = !w.multiDetectInOrder || row(n) != row(m) || (p == InMouldOpenEnd && m == dn - 1);
    if (applyCut && row(n) >= 0 && row(n) < 8) {
        const int cm = w.multiRowCutMode[row(n)];
        const bool all = cm == CutModeAll || cm == CutModeAllDelay;
        const bool self = cm == CutModeSelf || cm == CutModeSelfDelay;
        for (int t = n; t < dn && (all || self); ++t) {
            if (t == 0 && !w.productDetectEnabled)
                continue;
            if ((all && row(t) != -1) || (self && row(t) == row(n)))
                setOut(stepOutput(t), 1);
        }
    }
    s.multiStepIndex = n;
    return MultiStep::Dispatch;
}

// Step 13.5: starts the delay of every slot whose trigger input is p.  False
// when the pass ends here.
bool CycleController::dispatch(int p, bool newFrame[kCameraSlots])
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    const int mode = w.systemMode;
    const int slotCount = pairedMode(mode) ? 2 : detections();

    for (int i = 0; i < slotCount; ++i) {
        const int det = pairedMode(mode) && !s.leftPairActive ? i + 2 : i;
        if (!w.detectEnabled[det] || s.detectDelayTimers[i]->isActive())
            continue;
        const int trig = w.detectTriggerInput[i];
        bool fires = false;
        switch (mode) {
        case SystemModeStandard:
        case SystemModeAutoParts:
            if (s.forcedDetect == i) {
                fires = true;
                s.lastDelay = 0;
                s.forcedDetect = -1;
            } else {
                fires = trig == p && s.pendingCameraMask[i] != 0;
            }
            break;
        case SystemModeTwoColor:
            fires = trig == p || (trig == 255 && (p == InEjectorBack || p == InReserve));
            break;
        case SystemModeTurntable:
            fires = trig == p || (trig == 255 && (p == InMouldOpenEnd || p == InReserve));
            break;
        case SystemModeMultiDetect:
            fires = trig == p && s.pendingCameraMask[i] != 0;
            break;
        default:
            break;
        }
        if (!fires)
            continue;
        if (mode == SystemModeMultiDetect)
            s.multiStepIndex = i;

        // The mould delay of modes 0 and 3 counts on from the product delay.
        const bool ownDelay = i == 0 || pairedMode(mode) || mode == SystemModeMultiDetect || w.semiAuto;
        if (ownDelay || !w.productDetectEnabled)
            s.lastDelay = w.detectDelay[i];
        else
            s.lastDelay = w.detectDelay[i] + s.lastDelay;

        if (s.lastDelay != 0) {
            s.delayCountdownTenths[i] = s.lastDelay;
            s.detectDelayTimers[i]->start(100);
            s.resultPhase = PhaseCountdown;
        } else {
            // The detection judges this pass's frame and shows it itself.
            std::fill(newFrame, newFrame + kCameraSlots, false);
            s.delayCountdownTenths[i] = 0;
            TimerUp(i);
            if (p_.slotHost->runState == RunStateStopped || mode == SystemModeMultiDetect)
                return false;
        }
        if (mode == SystemModeMultiDetect)
            break;
    }
    s.sharedTriggerInput = -1;
    p_.host->repaintWindow();
    return true;
}

// Step 14: shows the new frames, publishes the outputs and arms the next pass.
void CycleController::endPass(const bool newFrame[kCameraSlots])
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    if (!w.externalTrigger && !w.refreshAfterDetect && (gSource == PictureSourceLive || gSource == PictureSourceNone)) {
        for (int c = 0; c < camerasInUse(); ++c) {
            if (!newFrame[c] || !cameras_[c])
                continue;
            CameraSlotState& slot = cameras_[c]->slotState();
            slot.shownFrame = slot.procFrame;
            cameras_[c]->repaintView();
        }
    }
    flush();
    p_.host->repaintStatusStrip();
    s.runTimer->start(3);
}

// ---------------------------------------------------------------------------
// Companions of the pass.

void CycleController::TimerCheckInput(int p)
{
    if (p < 0 || p >= kEdgeInputs)
        return;
    p_.state->inputDebounceTimers[p]->stop();
    CheckInput(p);
}

void CycleController::CheckInput(int p)
{
    if (p < 0 || p >= kEdgeInputs)
        return;
    p_.state->inputConfirmed[p] = level(p) != 0;
}

void CycleController::InCheck()
{
    CycleState& s = *p_.state;
    setOut(OutNotAllowClose, 1);
    flush();
    s.noInputTimer->stop();
    record(Msg(335));
    p_.host->showNoInputBox(Msg(335));
    s.noInputAlarmShown = true;
}

void CycleController::SlotTImerSafeDoor()
{
    p_.state->safeDoorTimer->stop();
}

// ---------------------------------------------------------------------------
// Run control.

void CycleController::StartDetect()
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    p_.io->IOResetAllOut();
    if (w.cutEjectorOnClamp)
        setOut(OutNotAllowThimble, 1);
    if (w.cutEjectorAfterProductOk)
        setOut(OutNotAllowThimble, 1);
    flush();
    s.pageMode = PageModeNone;
    s.reCheckActive = 0;
    std::fill(std::begin(s.reCheckLeft), std::end(s.reCheckLeft), 0);
    ResetRun();
    p_.slotHost->runState = RunStateDetecting;
    p_.host->setStartStopButtonText(Msg(127));
}

void CycleController::StopDetect()
{
    CycleState& s = *p_.state;
    const WizardPara& w = *gpWPara;
    p_.io->IOResetAllOut();
    if (w.stopForbidsClamp == 1)
        setOut(OutNotAllowClose, 1);
    if (w.stopForbidsEjector)
        setOut(OutNotAllowThimble, 1);
    flush();
    if (w.systemMode == SystemModeMultiDetect) {
        std::fill(std::begin(s.pendingCameraMask), std::end(s.pendingCameraMask), 0);
        s.currentDetect = s.multiStepIndex = detections() - 1;
    }
    SetStopDetect();
    p_.host->setStartStopButtonText(Msg(136));
}

void CycleController::SetStopDetect()
{
    CycleState& s = *p_.state;
    const int mode = gpWPara->systemMode;
    if (mode == SystemModeStandard || mode == SystemModeAutoParts)
        s.pendingCameraMask[s.currentDetect == 0 ? 0 : 1] = 0;
    else if (pairedMode(mode))
        s.pendingCameraMask[s.currentDetect & 1] = 0;
    for (int k = 0; k < detections(); ++k) {
        if (s.detectDelayTimers[k]->isActive()) {
            s.detectDelayTimers[k]->stop();
            s.delayCountdownTenths[k] = 0;
        }
    }
    p_.slotHost->runState = RunStateStopped;
}

void CycleController::ResetRun()
{
    CycleState& s = *p_.state;
    for (int c = 0; c < camerasInUse(); ++c) {
        if (!cameras_[c])
            continue;
        CameraSlotState& slot = cameras_[c]->slotState();
        slot.isOK = 1;
        for (int k = 0; k < detections(); ++k) {
            std::fill(std::begin(slot.roiOK[k]), std::end(slot.roiOK[k]), uchar(1));
            std::fill(std::begin(slot.roiValue[k]), std::end(slot.roiValue[k]), 0);
        }
    }
    for (int k = 0; k < detections(); ++k)
        s.delayCountdownTenths[k] = 0;
    std::fill(std::begin(s.areaOutputFlags), std::end(s.areaOutputFlags), false);
}

void CycleController::ResetStepCount(int steps, int currentDetect, const std::array<bool, kDetections>& clearPending,
                                     int cameras)
{
    CycleState& s = *p_.state;
    steps = std::clamp(steps, 0, kDetections);
    cameras = std::clamp(cameras, 0, kCameraSlots);
    for (int d = 0; d < steps; ++d) {
        if (clearPending[size_t(d)])
            s.pendingCameraMask[d] = 0;
        s.detectionArmed[d] = 0;
    }
    for (int c = 0; c < cameras; ++c) {
        for (int d = 0; d < steps; ++d) {
            if (cameras_[c])
                cameras_[c]->slotState().skipMould[d] = 0;
            s.failImageState[c][d] = 0;
        }
        s.cycleFirstRun[c] = false;
        s.roiNgCountPending[c] = false;
    }
    s.currentDetect = std::clamp(currentDetect, 0, kDetections - 1);
}
