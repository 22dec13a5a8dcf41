#pragma once
// Recording fakes of the cycle's ports and a rig that puts the controller
// together with the real ControlPort (no board thread), a FakeSlotHost, a
// CycleState and virtual time.  Header-only: only the cycle tests use it.
#include "cameraslotstate.h"
#include "cammersingleton.h"
#include "controlport.h"
#include "relaylink.h"
#include "cyclecontroller.h"
#include "cycleports.h"
#include "fakeslothost.h"
#include "iothread.h"
#include "paramroi.h"
#include "testenv.h"
#include "virtualscheduler.h"
#include "wizardpara.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

// What a scripted detection answers: the camera's verdict, the NG areas and
// the measured values.
struct ScriptedVerdict {
    bool ok = true;
    QList<int> ngAreas;     // areas whose roiOK becomes 0
    int value = 0;          // every area's roiValue
};

inline void StampMovesState(int& state);

class FakeCycleCamera : public CycleCamera {
public:
    FakeCycleCamera(int index, CycleState* cycle, const WizardPara* para) : cycle_(cycle), para_(para)
    {
        state.camIndex = index;
    }

    CameraSlotState state;
    // Verdicts per detection, used in order; an empty script answers OK.
    std::deque<ScriptedVerdict> script[kDetections];
    // A frame waits for the loop; takeNewFrame copies nextFrame when given.
    bool frameWaiting = false;
    std::vector<uchar> nextFrame;
    // Calls by name, and every call in order ("Run 1", "SaveFailImage 1 0").
    QMap<QString, int> calls;
    QStringList events;

    CameraSlotState& slotState() override { return state; }
    bool takeNewFrame() override
    {
        if (!frameWaiting)
            return false;
        frameWaiting = false;
        if (!nextFrame.empty())
            state.procFrame = nextFrame;
        note(QStringLiteral("takeNewFrame"));
        return true;
    }
    void ShapeMatch() override { note(QStringLiteral("ShapeMatch")); }
    void Run(int d) override
    {
        note(QStringLiteral("Run %1").arg(d));
        ScriptedVerdict v;
        if (!script[d].empty()) {
            v = script[d].front();
            script[d].pop_front();
        }
        const int areas = state.savedSet ? areaCount(d) : kAreas;
        for (int i = 0; i < kAreas; ++i) {
            state.roiOK[d][i] = 1;
            state.roiValue[d][i] = v.value;
        }
        for (int i : v.ngAreas)
            state.roiOK[d][i] = 0;
        state.isOK = v.ok ? 1 : 0;
        // The engine reports its areas to the relay only while the cycle
        // collects them and the relay link is on.
        if (cycle_ && cycle_->statsTriggerSource != 0 && para_ && para_->netEnabled) {
            for (int i = 0; i < areas && i < kAreas; ++i) {
                param_roi r{};
                r.cameraId = state.camIndex;
                r.detectId = d;
                r.roiId = i;
                r.algorithmResult = v.value;
                r.stageOk = state.roiOK[d][i] ? state.isOK : 0;
                g_listParamROI.append(r);
            }
        }
    }
    void CreateShape(int d) override { note(QStringLiteral("CreateShape %1").arg(d)); }
    void VarTrain(int d) override { note(QStringLiteral("VarTrain %1").arg(d)); }
    void startAlarmBlink() override { note(QStringLiteral("blink")); }
    void SetWB() override { note(QStringLiteral("SetWB")); }
    void CameraChangeTrig(bool restart) override { note(QStringLiteral("CameraChangeTrig %1").arg(restart)); }
    void repaintView() override { ++calls[QStringLiteral("repaintView")]; }
    void repaintRect(const QRect&) override { ++calls[QStringLiteral("repaintRect")]; }
    void SaveFailImage(int d, int slot) override { note(QStringLiteral("SaveFailImage %1 %2").arg(d).arg(slot)); }
    void UpdateFailImage(int d, int slot) override
    {
        note(QStringLiteral("UpdateFailImage %1 %2").arg(d).arg(slot));
        if (cycle_)
            StampMovesState(cycle_->failImageState[state.camIndex][d]);
    }
    void SaveReTrainImage(int d) override { note(QStringLiteral("SaveReTrainImage %1").arg(d)); }
    bool SaveIgnorePoint(int d) override
    {
        note(QStringLiteral("SaveIgnorePoint %1").arg(d));
        return true;
    }

    int count(const QString& name) const { return calls.value(name); }

private:
    CycleState* cycle_;
    const WizardPara* para_;
    void note(const QString& e)
    {
        events << e;
        ++calls[e.section(QLatin1Char(' '), 0, 0)];
    }
    int areaCount(int d) const;
};

class FakeCycleHost : public CycleHost {
public:
    QStringList events;
    bool lostLinkBox = false;
    QString lostLinkText;
    bool noInputBox = false;
    bool areaPage = false;
    bool screenOff = false;
    int countWrites = 0;

    bool lostLinkBoxVisible() const override { return lostLinkBox; }
    QString lostLinkBoxText() const override { return lostLinkText; }
    void showLostLinkBox(const QString& text) override
    {
        lostLinkBox = true;
        lostLinkText = text;
        events << QStringLiteral("show lost link ") + text;
    }
    void setLostLinkBoxText(const QString& text) override
    {
        lostLinkText = text;
        events << QStringLiteral("lost link text ") + text;
    }
    void showNoInputBox(const QString& text) override
    {
        noInputBox = true;
        events << QStringLiteral("show no input ") + text;
    }
    void hideNoInputBox() override
    {
        noInputBox = false;
        events << QStringLiteral("hide no input");
    }
    void areaPageReset(bool live) override
    {
        areaPage = true;
        events << QStringLiteral("area page reset %1").arg(live);
    }
    void areaPageRestart() override
    {
        areaPage = false;
        events << QStringLiteral("area page restart");
    }
    bool areaPageVisible() const override { return areaPage; }
    // The page's "Re-detected" comes down to the cycle's half of it; the rig
    // that builds the controller wires it (onReCheckClick).
    int reCheckClicks = 0;
    std::function<void()> onReCheckClick;
    void clickReCheckButton() override
    {
        ++reCheckClicks;
        if (onReCheckClick)
            onReCheckClick();
    }
    void CheckArea(bool ask) override { events << QStringLiteral("check area %1").arg(ask); }
    void hideHelpPage() override { events << QStringLiteral("hide help"); }
    void hideSettingsPage() override { events << QStringLiteral("hide settings"); }
    void hideSideBar() override { events << QStringLiteral("hide side bar"); }
    void setSkipButtonText(const QString& text) override { events << QStringLiteral("skip button ") + text; }
    void setStartStopButtonText(const QString& text) override { events << QStringLiteral("start stop button ") + text; }
    void repaintWindow() override {}
    void repaintStatusStrip() override {}
    void CameraCheck(int camera) override { events << QStringLiteral("camera check %1").arg(camera); }
    void CameraRestart() override { events << QStringLiteral("camera restart"); }
    bool screenIsOff() const override { return screenOff; }
    void LCDOnOff(int on) override
    {
        screenOff = !on;
        events << QStringLiteral("lcd %1").arg(on);
    }
    void restartScreenOffTimer() override { events << QStringLiteral("screen off timer"); }
    void CountWrite() override
    {
        ++countWrites;
        events << QStringLiteral("count write");
        if (onCountWrite)
            onCountWrite();
    }
    // Sees each write of count.txt (tests check the counters it would hold).
    std::function<void()> onCountWrite;
};

class FakeStatsSink : public StatsSink {
public:
    QStringList adds;   // "hour ok camera detection"
    void Add(const QDateTime& at, bool isOK, int camera, int detection) override
    {
        adds << QStringLiteral("%1 %2 %3 %4").arg(at.time().hour()).arg(isOK).arg(camera).arg(detection);
    }
};

class FakeCycleLog : public CycleLog {
public:
    QStringList rows;   // "roundstart roundtime"
    QDate date;
    int checks = 0;
    void insertDate(const QString& roundstart, double roundtime) override
    {
        rows << QStringLiteral("%1 %2").arg(roundstart).arg(roundtime);
    }
    QDate logDate() const override { return date; }
    void checkDate() override { ++checks; }
};

// What the picture store's stamp does to the picture state: each way of
// releasing the alarm moves the held picture on towards its queueing.
inline void StampMovesState(int& state)
{
    switch (state) {
    case FailImgClearedSkip:
    case FailImgClearedAddTemp:
    case FailImgClearedSwitch:
        state = FailImgQueueNg;
        break;
    case FailImgClearedRecheck:
        state = FailImgStampedRecheck;
        break;
    case FailImgStampedRecheck:
        state = FailImgQueueBoth;
        break;
    default:
        break;
    }
}

inline int FakeCycleCamera::areaCount(int d) const { return state.savedSet ? state.savedSet->roiCount[d] : kAreas; }

// A standard machine: mode 0, product and mould detection on input 0 after
// productDelay and a further mouldDelay tenths, no pulse or no-alarm options,
// no re-checks, no watchdog, no debounce.  Output inversion is left as it is.
inline void standardMachine(WizardPara& w, int productDelay = 10, int mouldDelay = 20)
{
    w.systemMode = SystemModeStandard;
    gDNum = 2;
    for (int k = 0; k < kDetections; ++k) {
        w.detectEnabled[k] = 0;
        w.detectTriggerInput[k] = -1;
        w.detectDelay[k] = 0;
        w.multiDetectRowActive[k] = -1;
    }
    w.detectEnabled[0] = w.detectEnabled[1] = 1;
    w.detectTriggerInput[0] = w.detectTriggerInput[1] = InMouldOpenEnd;
    w.detectDelay[0] = productDelay;
    w.detectDelay[1] = mouldDelay;
    w.productDetectEnabled = 1;
    w.semiAuto = w.separateDetectSignal = w.preCut = 0;
    w.okNgPulses = w.okClampNgEjector = 0;
    w.moldNgPulseNoAlarm = w.productNgPulseNoAlarm = w.productOkNgOutputs = 0;
    w.productAlarmCutsEjector = w.moldAlarmCutsClamp = w.productNoEjectorControl = 0;
    w.cutEjectorOnClamp = w.cutEjectorAfterProductOk = w.cutClampAfterMoldOk = 0;
    w.stopForbidsClamp = w.stopForbidsEjector = 0;
    w.debounceTime = w.inputTimeout = 0;
    w.safetyDoorTrigger = w.externalTrigger = w.refreshAfterDetect = w.continuousTimedDetect = 0;
    w.cycleTimeLog = w.cameraCheck = w.ioLostAlarm = 0;
    w.reserveInputRole = w.reserveOutputRole = 0;
    w.moldRecheckCount = w.skipDetectCount = 0;
    w.ngSwitchToContinuous = 0;
    w.moldSelect = 0;
    w.multiDetectInOrder = 0;
    w.ejectorPulse = w.clampPulse = 0;
    w.templateAutoUpdate = 0;
    w.netEnabled = 0;
}

// The operation records among a host's recorded events, in order.
inline QStringList recordsOf(const QStringList& events)
{
    QStringList r;
    for (const QString& e : events)
        if (e.startsWith(QLatin1String("record ")))
            r << e.mid(7);
    return r;
}

// Published output words as (virtual time, word).
using Trace = QList<QPair<qint64, int>>;

// The controller on fakes: gpWPara is the rig's record, the outputs go
// through the real ControlPort, inputs are written into gDataIn by the test,
// and every published word is kept with its virtual time.
class CycleRig {
public:
    struct Flush {
        qint64 t;
        int word;
    };

    // cycleHost stands in for the rig's own host when given (a test's real
    // boxes behind the host calls).
    explicit CycleRig(int cameras = 1, CycleHost* cycleHost = nullptr)
        : scheduler(env.clock)
    {
        CreateSharedLocks();
        para = FirstStartParameters();
        gpWPara = &para;
        gDataIn = 0;
        gDataOut = 0;
        gisLostCom = 0;
        gisSafeDoorOpen = false;
        numCamera = cameras;
        gisLost = 0;
        g_listParamROI.clear();
        for (int c = 0; c < kCameraSlots; ++c)
            cams[c] = std::make_unique<FakeCycleCamera>(c, &state, &para);
        io = std::make_unique<ControlPort>(nullptr);
        io->flushObserver = [this](int word) { flushes.push_back({scheduler.now(), word}); };
        CycleController::Ports ports;
        ports.slotHost = &slotHost;
        ports.state = &state;
        ports.host = cycleHost ? cycleHost : &host;
        ports.io = io.get();
        ports.clock = env.clock.get();
        ports.relay = &relay;
        ports.stats = &stats;
        ports.cycleLog = &cycleLog;
        controller = std::make_unique<CycleController>(ports);
        for (int c = 0; c < kCameraSlots; ++c)
            controller->setCamera(c, cams[c].get());
        controller->createTimers(scheduler);
        if (auto* fake = dynamic_cast<FakeCycleHost*>(ports.host))
            fake->onReCheckClick = [this] { controller->ReDetectHeld(); };
    }
    // Members go in reverse order: the controller first, the state (which
    // holds the timers) before the scheduler.
    ~CycleRig() { gpWPara = nullptr; }

    // Sets board input bit i to level (what the I/O thread would store).
    void setInput(int i, bool level)
    {
        QMutexLocker lock(pMutexIO);
        if (level)
            gDataIn |= 1 << i;
        else
            gDataIn &= ~(1 << i);
    }
    int outputs() const { return io->outWord; }
    bool output(int k) const { return (io->outWord >> k) & 1; }
    void advance(qint64 ms) { scheduler.advanceBy(ms); }

    // 16 x 16 grey frames, and the views not showing live frames.
    void useSmallGreyFrames()
    {
        gisColor = 0;
        gImageW = gImageH = 16;
        gImageLen = gImageW * gImageH;
        gColorLen = gImageLen;
        gSource = PictureSourceNone;
    }
    // The start-up values of a run, then the first pass in 5 ms.
    void start()
    {
        state.manualTrigDetect = gDNum;
        state.multiStepIndex = gDNum - 1;
        state.currentDetect = 0;
        controller->startLoop();
    }
    // The record's output inversion as a mask.
    int inversion() const
    {
        int inv = 0;
        for (int k = 0; k < kOutputBits; ++k)
            if (para.outputInvert[k])
                inv |= 1 << k;
        return inv;
    }
    // The published words as logical words, one entry per change.
    Trace changes() const
    {
        Trace out;
        for (const Flush& f : flushes) {
            const int word = f.word ^ inversion();
            if (out.isEmpty() || out.last().second != word)
                out.append({f.t, word});
        }
        return out;
    }
    QStringList records() const { return recordsOf(slotHost.events); }

    TestEnv env;
    WizardPara para;
    VirtualScheduler scheduler;
    FakeSlotHost slotHost;
    CycleState state;
    FakeCycleHost host;
    RecordingRelayLink relay;
    FakeStatsSink stats;
    FakeCycleLog cycleLog;
    std::unique_ptr<FakeCycleCamera> cams[kCameraSlots];
    std::unique_ptr<ControlPort> io;
    std::unique_ptr<CycleController> controller;
    std::vector<Flush> flushes;
};
