// The detection step and the verdict on the cycle rig: countdown and pre-cut
// ticks, alarm entry and its one record, automatic re-checks, the release
// through "Re-detected", pulse options, pictures with their statistics,
// counters and count.txt, relay reports, the result display's advance and
// the multi-detection step outputs.  Verdicts are scripted per camera; the
// outputs are read as logical levels (the rig's record inverts the alarm).
#include "cyclecounters.h"
#include "fakecycle.h"
#include "messages.h"

#include <QtTest>

namespace {

enum Option {
    OptOkNgPulses = 1 << 0,
    OptOkClampNgEjector = 1 << 1,
    OptProductNgPulse = 1 << 2,
    OptProductOkNg = 1 << 3,
    OptMoldNgPulse = 1 << 4,
    OptCutClampAfterMoldOk = 1 << 5,
    OptCutEjectorAfterProductOk = 1 << 6,
    OptCutEjectorOnClamp = 1 << 7,
};

// Logical output word (bits 0..8), whatever the inversion.
int logicalOutputs(const CycleRig& rig)
{
    int word = rig.io->outWord;
    for (int k = 0; k < kOutputBits; ++k)
        if (rig.para.outputInvert[k])
            word ^= 1 << k;
    return word;
}

int out(const CycleRig& rig, int k) { return (logicalOutputs(rig) >> k) & 1; }

QStringList records(const CycleRig& rig)
{
    QStringList r;
    for (const QString& e : rig.slotHost.events)
        if (e.startsWith(QLatin1String("record ")))
            r << e.mid(7);
    return r;
}

// The cycle state, cameras and globals of a standard machine at rest.
struct Verdict {
    explicit Verdict(int cameras = 1) : rig(cameras)
    {
        WizardPara& w = rig.para;
        w.systemMode = SystemModeStandard;
        gDNum = 2;
        for (int k = 0; k < kDetections; ++k) {
            w.detectEnabled[k] = k < 2;
            w.detectTriggerInput[k] = k < 2 ? 0 : -1;
            w.detectDelay[k] = 0;
        }
        w.productDetectEnabled = 1;
        w.reserveOutputRole = 0;
        w.preCut = 0;
        w.moldRecheckCount = 0;
        w.okNgPulses = w.okClampNgEjector = 0;
        w.productNgPulseNoAlarm = w.productOkNgOutputs = w.moldNgPulseNoAlarm = 0;
        w.productNoEjectorControl = 0;
        w.cutClampAfterMoldOk = w.cutEjectorAfterProductOk = w.cutEjectorOnClamp = 0;
        w.moldAlarmCutsClamp = w.separateDetectSignal = w.semiAuto = 0;
        w.templateAutoUpdate = 0;
        w.saveProductOk = 1;
        w.netEnabled = 0;
        w.ngVideoEnabled = w.smsAlarmEnabled = w.videoShareMode = 0;
        w.ngSwitchToContinuous = 0;
        w.inputTimeout = 0;
        w.screenOffSeconds = 0;
        w.clampPulse = 5;
        w.ejectorPulse = 3;
        rig.state.manualTrigDetect = gDNum;
        rig.state.multiStepIndex = gDNum - 1;
        rig.slotHost.runState = RunStateDetecting;
        gPicNumNG = gPicNumOK = 10;
        gisUseStatistics = true;
        gFromTrain = 0;
        gisReTrain = gisReShape = false;
        gSource = 0;
        std::memset(gisSaveFail, 0, sizeof gisSaveFail);
        std::fill(std::begin(gAllNum), std::end(gAllNum), 0);
        std::fill(std::begin(gFailNum), std::end(gFailNum), 0);
        for (int c = 0; c < kCameraSlots; ++c) {
            sets[c] = std::make_unique<CammerSingleton>(c);
            for (int k = 0; k < kDetections; ++k)
                sets[c]->roiCount[k] = 4;
            for (int i = 0; i < kAreas; ++i)
                sets[c]->roiOutput[i] = i % 4;
            std::memset(sets[c]->roiNgCount, 0, sizeof sets[c]->roiNgCount);
            rig.cams[c]->state.savedSet = sets[c].get();
        }
    }

    void options(int opts)
    {
        WizardPara& w = rig.para;
        w.okNgPulses = !!(opts & OptOkNgPulses);
        w.okClampNgEjector = !!(opts & OptOkClampNgEjector);
        w.productNgPulseNoAlarm = !!(opts & OptProductNgPulse);
        w.productOkNgOutputs = !!(opts & OptProductOkNg);
        w.moldNgPulseNoAlarm = !!(opts & OptMoldNgPulse);
        w.cutClampAfterMoldOk = !!(opts & OptCutClampAfterMoldOk);
        w.cutEjectorAfterProductOk = !!(opts & OptCutEjectorAfterProductOk);
        w.cutEjectorOnClamp = !!(opts & OptCutEjectorOnClamp);
    }

    // What a cycle start leaves: detections and pictures armed, clamp and
    // ejector blocked, re-checks of the mould loaded.
    void armCycle()
    {
        CycleState& s = rig.state;
        for (int c = 0; c < numCamera; ++c) {
            for (int k = 0; k < gDNum; ++k)
                s.failImageState[c][k] = FailImgArmed;
            s.roiNgCountPending[c] = true;
            s.cameraOkShown[c] = true;
            s.cycleFirstRun[c] = true;
        }
        for (int k = 0; k < gDNum; ++k) {
            s.detectionArmed[k] = 1;
            s.pendingCameraMask[k] = (1 << numCamera) - 1;
        }
        s.reCheckLeft[1] = rig.para.moldRecheckCount;
        rig.io->IOSetOut(OutNotAllowClose, 1);
        rig.io->IOSetOut(OutNotAllowThimble, 1);
        rig.io->IOFlashOut();
    }

    void script(int camera, int d, bool ok, QList<int> ngAreas = {})
    {
        ScriptedVerdict v;
        v.ok = ok;
        v.ngAreas = ok ? QList<int>{} : (ngAreas.isEmpty() ? QList<int>{0} : ngAreas);
        rig.cams[camera]->script[d].push_back(v);
    }

    // Runs detection slot d now (no delay left).
    void detect(int d)
    {
        rig.state.delayCountdownTenths[d] = 0;
        rig.controller->TimerUp(d);
    }

    CycleRig rig;
    std::unique_ptr<CammerSingleton> sets[kCameraSlots];
};

} // namespace

class TestCycleVerdict : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void countdownTicks_data();
    void countdownTicks();
    void preCutTicks_data();
    void preCutTicks();
    void alarmEntry_data();
    void alarmEntry();
    void reChecks_data();
    void reChecks();
    void releaseThroughReDetect_data();
    void releaseThroughReDetect();
    void failedReDetectKeepsTheAlarm();
    void alarmSwitchesToContinuousCapture();
    void snapshotNgWithoutAlarmLeavesNoPrefix();
    void pulses_data();
    void pulses();
    void picturesAndStatistics_data();
    void picturesAndStatistics();
    void relayReports_data();
    void relayReports();
    void timerShowAdvances_data();
    void timerShowAdvances();
    void timerShowRebuilds();
    void templateFollowUp();
    void multiDetectStepOutputs_data();
    void multiDetectStepOutputs();
    void pairedModeMapsSlots();
    void reSamplingEndsWithTheAreaPage();
    void rawPicturesCountTo200();
    void verdictWaitsWhileTheAreaPageFollowsReSampling();
};

void TestCycleVerdict::countdownTicks_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<int>("detectTick");
    QTest::newRow("1.0 s: tenth tick") << 10 << 10;
    QTest::newRow("0: at once") << 0 << 1;
    QTest::newRow("0.1 s: first tick") << 1 << 1;
    QTest::newRow("10000 tenths exact") << 10000 << 10000;
}

void TestCycleVerdict::countdownTicks()
{
    QFETCH(int, tenths);
    QFETCH(int, detectTick);
    Verdict v(2);
    v.armCycle();
    v.rig.state.delayCountdownTenths[1] = tenths;
    int tick = 0;
    while (v.rig.cams[0]->count(QStringLiteral("Run")) == 0 && tick < 20000) {
        ++tick;
        v.rig.controller->TimerUp(1);
        if (v.rig.cams[0]->count(QStringLiteral("Run")) == 0)
            QCOMPARE(v.rig.state.delayCountdownTenths[1], tenths - tick);
    }
    QCOMPARE(tick, detectTick);
    // Every waiting tick repaints the countdown of every view.
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("repaintRect")), detectTick - 1);
    QCOMPARE(v.rig.cams[1]->count(QStringLiteral("repaintRect")), detectTick - 1);
    QCOMPARE(v.rig.cams[1]->count(QStringLiteral("Run")), 1);
    QCOMPARE(v.rig.state.resultPhase, int(PhaseDetected));
    QCOMPARE(out(v.rig, OutNotAllowClose), 0);   // the mould OK released the clamp
}

void TestCycleVerdict::preCutTicks_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("tenths");
    QTest::addColumn<int>("preCut");
    QTest::addColumn<bool>("pulses");
    QTest::addColumn<QList<int>>("ticks");
    QTest::newRow("r 30, pre-cut 5") << 1 << 30 << 5 << false << QList<int>{26, 27, 28, 29, 30};
    QTest::newRow("r 20, pre-cut 5") << 1 << 20 << 5 << false << QList<int>{16, 17, 18, 19, 20};
    QTest::newRow("pre-cut above the delay: every tick") << 1 << 3 << 5 << false << QList<int>{1, 2, 3};
    QTest::newRow("product slot: none") << 0 << 30 << 5 << false << QList<int>{};
    QTest::newRow("pulse mode: none") << 1 << 30 << 5 << true << QList<int>{};
    QTest::newRow("pre-cut 100 is off") << 1 << 30 << 100 << false << QList<int>{};
}

void TestCycleVerdict::preCutTicks()
{
    QFETCH(int, slot);
    QFETCH(int, tenths);
    QFETCH(int, preCut);
    QFETCH(bool, pulses);
    QFETCH(QList<int>, ticks);
    Verdict v;
    v.rig.para.preCut = preCut;
    v.rig.para.okNgPulses = pulses;
    v.rig.state.delayCountdownTenths[slot] = tenths;
    QList<int> cut;
    for (int tick = 1; tick <= tenths; ++tick) {
        v.rig.io->IOSetOut(OutNotAllowClose, 0);
        const size_t before = v.rig.flushes.size();
        v.rig.controller->TimerUp(slot);
        // The first word published on this tick carries the pre-cut.
        if (v.rig.flushes.size() > before) {
            int word = v.rig.flushes[before].word;
            if (v.rig.para.outputInvert[OutNotAllowClose])
                word ^= 1;
            if (word & 1)
                cut << tick;
        }
    }
    QCOMPARE(cut, ticks);
}

void TestCycleVerdict::alarmEntry_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("ng0");
    QTest::addColumn<bool>("ng1");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QString>("record");
    QTest::addColumn<int>("outputs");   // logical outputs 0..2 after the entry
    const QString cam1 = Msg(151).arg(1), cam2 = Msg(151).arg(2);
    QTest::newRow("mould, second camera") << 1 << false << true << false << cam2.chopped(1) + Msg(152) << 0b101;
    QTest::newRow("mould, both cameras")
        << 1 << true << true << false << cam1 + cam2.chopped(1) + Msg(152) << 0b101;
    QTest::newRow("product, first camera") << 0 << true << false << false << cam1.chopped(1) + Msg(152) << 0b111;
    QTest::newRow("manual snapshot")
        << 1 << true << false << true << QStringLiteral("手动抓拍导致") + cam1.chopped(1) + Msg(152) << 0b101;
}

void TestCycleVerdict::alarmEntry()
{
    QFETCH(int, slot);
    QFETCH(bool, ng0);
    QFETCH(bool, ng1);
    QFETCH(bool, manual);
    QFETCH(QString, record);
    QFETCH(int, outputs);
    Verdict v(2);
    v.armCycle();
    if (slot == 1) {
        // The product passed: only the clamp is still blocked.
        v.rig.io->IOSetOut(OutNotAllowThimble, 0);
        v.rig.io->IOFlashOut();
    }
    v.rig.state.manualTriggered = manual;
    v.rig.host.screenOff = true;
    v.rig.para.screenOffSeconds = 60;
    v.script(0, slot, !ng0);
    v.script(1, slot, !ng1);
    v.detect(slot);

    QCOMPARE(records(v.rig), QStringList{record});
    QCOMPARE(v.rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(v.rig.slotHost.runState, int(RunStateStopped));
    QCOMPARE(logicalOutputs(v.rig) & 0b111, outputs);
    QCOMPARE(v.rig.slotHost.view.viewCamera, 2);
    QVERIFY(v.rig.slotHost.events.contains(QStringLiteral("change cammer 2")));
    for (const char* e : {"lcd 1", "screen off timer", "hide help", "hide settings", "hide side bar",
                          "area page reset 0"})
        QVERIFY2(v.rig.host.events.contains(QLatin1String(e)), e);
    QCOMPARE((LEDByte() >> 6) & 3, 0b10);
    QCOMPARE(v.rig.state.manualTriggerNg, false);
    QCOMPARE(v.rig.state.detectionArmed[slot], 0);
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("blink")), ng0 ? 1 : 0);
    QCOMPARE(v.rig.state.cameraOkShown[1], !ng1);
    // No result display, no counting: the alarm cycle is counted at its release.
    QVERIFY(!v.rig.state.resultShowTimer->isActive());
    QCOMPARE(gAllNum[0], 0);
    QCOMPARE(v.rig.host.countWrites, 0);
    // The held NG picture is rendered but not queued.
    const int ngCam = ng0 ? 0 : 1;
    QCOMPARE(v.rig.state.failImageState[ngCam][slot], int(FailImgNgHeld));
    QVERIFY(!gisSaveFail[ngCam][slot][0]);
}

void TestCycleVerdict::reChecks_data()
{
    QTest::addColumn<int>("recheckCount");
    QTest::addColumn<int>("preCut");
    QTest::addColumn<QList<bool>>("verdicts");   // first judgement, then each re-check
    QTest::addColumn<bool>("alarm");
    QTest::newRow("R 0: alarm at once") << 0 << 0 << QList<bool>{false} << true;
    QTest::newRow("R 1: both NG") << 1 << 0 << QList<bool>{false, false} << true;
    QTest::newRow("R 2: all NG") << 2 << 0 << QList<bool>{false, false, false} << true;
    QTest::newRow("R 2: second re-check passes") << 2 << 0 << QList<bool>{false, false, true} << false;
    QTest::newRow("R 1 with pre-cut: passes") << 1 << 5 << QList<bool>{false, true} << false;
}

void TestCycleVerdict::reChecks()
{
    QFETCH(int, recheckCount);
    QFETCH(int, preCut);
    QFETCH(QList<bool>, verdicts);
    QFETCH(bool, alarm);
    Verdict v;
    v.rig.para.moldRecheckCount = recheckCount;
    v.rig.para.preCut = preCut;
    const int savedColorLen = gColorLen;
    gColorLen = 32;
    v.rig.cams[0]->state.AllocateSlotBuffers(8, 4, false, 2);
    v.rig.cams[0]->state.alignedFrame.assign(32, 7);
    v.armCycle();
    v.rig.io->IOSetOut(OutNotAllowThimble, 0);
    for (bool ok : verdicts)
        v.script(0, 1, ok, {1, 2});
    CycleState& s = v.rig.state;

    v.rig.advance(40);
    v.detect(1);
    int judged = 1;
    while (s.reCheckActive) {
        QVERIFY(judged < verdicts.size());
        // Between the judgements: no alarm output, the clamp stays blocked
        // (without pre-cut), and the pass waits for frames newer than this.
        QCOMPARE(out(v.rig, OutAlarm), 0);
        QCOMPARE(out(v.rig, OutNotAllowClose), preCut ? out(v.rig, OutNotAllowClose) : 1);
        QCOMPARE(s.reCheckFrameMask, 0);
        QCOMPARE(s.reCheckJudgedMs, v.rig.env.clock->monotonicMs());
        QCOMPARE(records(v.rig), QStringList{});
        s.reCheckFrameMask = 1;
        v.rig.advance(35);
        --s.reCheckLeft[1];
        v.rig.controller->ReCheck();
        ++judged;
    }
    gColorLen = savedColorLen;
    QCOMPARE(judged, verdicts.size());
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("Run")), verdicts.size());
    QCOMPARE(s.pageMode == PageModeAlarm, alarm);
    QCOMPARE(records(v.rig).size(), alarm ? 1 : 0);
    QCOMPARE(out(v.rig, OutAlarm), alarm ? 1 : 0);
    QCOMPARE(out(v.rig, OutNotAllowClose), alarm ? 1 : 0);
    // Area NG counters and recent NG frames only from the final judgement.
    CameraSlotState& cam = v.rig.cams[0]->state;
    QCOMPARE(v.sets[0]->roiNgCount[1][1], alarm ? 1 : 0);
    QCOMPARE(v.sets[0]->roiNgCount[1][0], 0);
    QCOMPARE(cam.recentNGCount[1], alarm ? 1 : 0);
    if (alarm)
        QCOMPARE(int(cam.recentNG[1][0][5]), 7);
    // A passing re-check counts the cycle as failed (its camera showed an NG)
    // and writes count.txt with it.
    QCOMPARE(gAllNum[0], alarm ? 0 : 1);
    QCOMPARE(gFailNum[0], alarm ? 0 : 1);
    QCOMPARE(v.rig.host.countWrites, alarm ? 0 : 1);
}

void TestCycleVerdict::releaseThroughReDetect_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("semiAuto");
    QTest::newRow("product alarm: forced mould detection") << 0 << false;
    QTest::newRow("product alarm, semi-auto: waits for the mould input") << 0 << true;
    QTest::newRow("mould alarm: detection restarts") << 1 << false;
}

void TestCycleVerdict::releaseThroughReDetect()
{
    QFETCH(int, slot);
    QFETCH(bool, semiAuto);
    Verdict v(2);
    v.rig.para.semiAuto = semiAuto;
    v.rig.para.inputTimeout = 30;
    v.rig.para.netEnabled = 1;
    v.armCycle();
    v.script(0, slot, true);
    v.script(1, slot, false);
    v.detect(slot);
    QCOMPARE(v.rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(v.rig.state.failImageState[1][slot], int(FailImgNgHeld));
    // The passing camera's OK picture waits for an OK verdict to be queued.
    QCOMPARE(v.rig.state.failImageState[0][slot], int(FailImgOkReady));
    v.rig.relay.clear();

    // Camera 0 is told not to judge; camera 1 passes now.
    v.rig.cams[0]->state.skipMould[slot] = 1;
    v.script(1, slot, true);
    int allAtWrite = -1, failAtWrite = -1;
    v.rig.host.onCountWrite = [&] {
        allAtWrite = gAllNum[1];
        failAtWrite = gFailNum[1];
    };
    v.rig.advance(2500);
    v.rig.controller->ReDetectHeld();

    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("Run")), 1);   // skipped now
    QCOMPARE(v.rig.cams[1]->count(QStringLiteral("Run")), 2);
    QCOMPARE(v.rig.state.pageMode, int(PageModeOKShown));
    QCOMPARE(v.rig.slotHost.runState, int(RunStateDetecting));
    QVERIFY(v.rig.host.events.contains(QStringLiteral("area page restart")));
    QVERIFY(v.rig.state.noInputTimer->isActive());
    QCOMPARE(v.rig.state.noInputTimer->interval(), 30000);
    QCOMPARE(out(v.rig, OutAlarm), 0);
    QCOMPARE(records(v.rig).size(), 1);
    QCOMPARE(v.rig.relay.calls(), (QStringList{"ngtimes 2500", "cancel"}
                                   + (slot == 1 ? QStringList{"statistics null"} : QStringList{})));
    // The held picture is stamped "Re-detected", the passing frame rendered
    // and stamped, and both are queued.
    QCOMPARE(v.rig.cams[1]->events.mid(v.rig.cams[1]->events.indexOf(QStringLiteral("Run %1").arg(slot), 2)),
             (QStringList{QStringLiteral("Run %1").arg(slot), QStringLiteral("UpdateFailImage %1 0").arg(slot),
                          QStringLiteral("SaveFailImage %1 1").arg(slot),
                          QStringLiteral("UpdateFailImage %1 1").arg(slot)}));
    QVERIFY(gisSaveFail[0][slot][1]);
    QVERIFY(gisSaveFail[1][slot][0]);
    QVERIFY(gisSaveFail[1][slot][1]);
    QCOMPARE(v.rig.state.failImageState[1][slot], int(FailImgIdle));

    if (slot == 0) {
        QCOMPARE(out(v.rig, OutNotAllowThimble), 0);
        QCOMPARE(out(v.rig, OutNotAllowClose), 1);   // the mould is still to be judged
        QCOMPARE(v.rig.state.forcedDetect, semiAuto ? -1 : 1);
        QCOMPARE(v.rig.state.simulatedTrigger, semiAuto ? -1 : 1);
        QCOMPARE(gAllNum[1], 0);
        QCOMPARE(v.rig.host.countWrites, 0);
    } else {
        // Released by StartDetect: nothing blocked; the alarm cycle is
        // counted now, and count.txt already holds it.
        QCOMPARE(logicalOutputs(v.rig) & 0b111, 0);
        QCOMPARE(gAllNum[1], 1);
        QCOMPARE(gFailNum[1], 1);
        QCOMPARE(gAllNum[0], 1);
        QCOMPARE(gFailNum[0], 0);
        QCOMPARE(allAtWrite, 1);
        QCOMPARE(failAtWrite, 1);
    }
}

void TestCycleVerdict::failedReDetectKeepsTheAlarm()
{
    Verdict v;
    v.armCycle();
    v.script(0, 1, false);
    v.detect(1);
    const int word = logicalOutputs(v.rig);
    QCOMPARE(word & 0b101, 0b101);
    v.script(0, 1, false);
    v.rig.controller->ReDetectHeld();
    QCOMPARE(v.rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(v.rig.slotHost.runState, int(RunStateStopped));
    QCOMPARE(logicalOutputs(v.rig), word);
    QCOMPARE(v.rig.state.failImageState[0][1], int(FailImgNgHeld));
    QCOMPARE(records(v.rig).size(), 1);
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("SaveFailImage")), 1);
    QVERIFY(!gisSaveFail[0][1][0]);
}

void TestCycleVerdict::alarmSwitchesToContinuousCapture()
{
    Verdict v(2);
    v.rig.para.ngSwitchToContinuous = 1;
    v.rig.para.externalTrigger = 1;
    v.rig.state.captureModeCopy = 1;
    v.rig.state.safetyDoorFired = 1;
    v.armCycle();
    v.rig.io->IOSetOut(OutNotAllowClose, 0);
    v.script(0, 0, false);
    v.detect(0);
    // The operator handles the alarm on live pictures; a door start that
    // ends in an alarm blocks closing.
    QCOMPARE(v.rig.para.externalTrigger, 0);
    for (int c = 0; c < 2; ++c)
        QCOMPARE(v.rig.cams[c]->events.filter(QStringLiteral("CameraChangeTrig")), QStringList{"CameraChangeTrig 0"});
    QCOMPARE(out(v.rig, OutNotAllowClose), 1);

    v.script(0, 0, true);
    v.rig.controller->ReDetectHeld();
    QCOMPARE(v.rig.state.pageMode, int(PageModeOKShown));
    QCOMPARE(v.rig.para.externalTrigger, 1);
    for (int c = 0; c < 2; ++c)
        QCOMPARE(v.rig.cams[c]->events.filter(QStringLiteral("CameraChangeTrig")).size(), 2);
}

void TestCycleVerdict::snapshotNgWithoutAlarmLeavesNoPrefix()
{
    Verdict v;
    v.rig.para.productNgPulseNoAlarm = 1;
    v.armCycle();
    v.rig.state.manualTriggered = true;
    v.script(0, 0, false);
    v.detect(0);
    QCOMPARE(v.rig.state.pageMode, int(PageModeOKShown));
    QVERIFY(!v.rig.state.manualTriggerNg);
    v.script(0, 1, false);
    v.detect(1);
    QCOMPARE(records(v.rig), QStringList{Msg(151).arg(1).chopped(1) + Msg(152)});
}

void TestCycleVerdict::pulses_data()
{
    QTest::addColumn<int>("opts");
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("ngAreas");
    QTest::addColumn<int>("afterVerdict");   // logical outputs 0..7
    QTest::addColumn<int>("afterPulse");     // 600 ms later
    QTest::addColumn<bool>("alarm");
    QTest::addColumn<int>("leds");           // LED bits 7, 6 after the verdict

    QTest::newRow("okNgPulses OK") << int(OptOkNgPulses) << 1 << true << QList<int>{} << 0b010 << 0 << false << 0b01;
    QTest::newRow("okNgPulses OK, clamp") << int(OptOkNgPulses | OptOkClampNgEjector) << 1 << true << QList<int>{}
                                          << 0b001 << 0 << false << 0b01;
    QTest::newRow("okNgPulses NG") << int(OptOkNgPulses) << 1 << false << QList<int>{0} << 0b101 << 0 << false
                                   << 0b10;
    QTest::newRow("okNgPulses NG, ejector") << int(OptOkNgPulses | OptOkClampNgEjector) << 0 << false
                                            << QList<int>{0} << 0b110 << 0 << false << 0b10;
    QTest::newRow("product NG pulse, groups 1 and 3") << int(OptProductNgPulse) << 0 << false << QList<int>{0, 2}
                                                      << (0b011 | 1 << 4 | 1 << 6) << 0b001 << false << 0b01;
    QTest::newRow("product OK/NG outputs, OK") << int(OptProductOkNg) << 0 << true << QList<int>{}
                                               << (0b011 | 1 << 5 | 1 << 7) << 0b001 << false << 0b01;
    QTest::newRow("product OK/NG outputs, NG in group 1") << int(OptProductOkNg) << 0 << false << QList<int>{0}
                                                          << (0b011 | 1 << 4 | 1 << 7) << 0b001 << false << 0b01;
    QTest::newRow("mould NG pulse") << int(OptMoldNgPulse) << 1 << false << QList<int>{0} << 0b001 << 0b000
                                    << false << 0b01;
    QTest::newRow("cut clamp after mould OK") << int(OptCutClampAfterMoldOk) << 1 << true << QList<int>{} << 0b000
                                              << 0b001 << false << 0b01;
    QTest::newRow("cut ejector after product OK") << int(OptCutEjectorAfterProductOk) << 0 << true << QList<int>{}
                                                  << 0b001 << 0b011 << false << 0b01;
    QTest::newRow("ejector re-blocked by mould OK") << int(OptCutEjectorOnClamp) << 1 << true << QList<int>{}
                                                    << 0b010 << 0b010 << false << 0b01;
    QTest::newRow("plain mould NG: alarm") << 0 << 1 << false << QList<int>{0} << 0b101 << 0b101 << true << 0b10;
}

void TestCycleVerdict::pulses()
{
    QFETCH(int, opts);
    QFETCH(int, slot);
    QFETCH(bool, ok);
    QFETCH(QList<int>, ngAreas);
    QFETCH(int, afterVerdict);
    QFETCH(int, afterPulse);
    QFETCH(bool, alarm);
    QFETCH(int, leds);
    Verdict v;
    v.options(opts);
    v.armCycle();
    if (slot == 1) {
        v.rig.io->IOSetOut(OutNotAllowThimble, 0);
        v.rig.io->IOFlashOut();
    }
    v.script(0, slot, ok, ngAreas);
    v.detect(slot);
    QCOMPARE(logicalOutputs(v.rig) & 0xFF, afterVerdict);
    QCOMPARE(v.rig.state.pageMode, alarm ? int(PageModeAlarm) : int(PageModeOKShown));
    QCOMPARE((LEDByte() >> 6) & 3, leds);
    v.rig.advance(600);
    QCOMPARE(logicalOutputs(v.rig) & 0xFF, afterPulse);
    // An NG handled by pulses queues its picture at once.
    if (!ok && !alarm)
        QVERIFY(gisSaveFail[0][slot][0]);
}

void TestCycleVerdict::picturesAndStatistics_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("picNG");
    QTest::addColumn<int>("picOK");
    QTest::addColumn<bool>("saveProductOk");
    QTest::addColumn<bool>("statistics");
    QTest::addColumn<QStringList>("adds");
    QTest::addColumn<int>("state");      // picture state after the verdict
    QTest::addColumn<int>("queued");     // bit 0 NG slot, bit 1 OK slot

    QTest::newRow("mould OK rendered") << 1 << true << 10 << 10 << true << true << QStringList{"8 1 0 1"}
                                       << int(FailImgIdle) << 0b10;
    QTest::newRow("mould OK, no OK pictures") << 1 << true << 10 << 0 << true << true << QStringList{}
                                              << int(FailImgIdle) << 0;
    QTest::newRow("product OK, not kept") << 0 << true << 10 << 10 << false << true << QStringList{}
                                          << int(FailImgIdle) << 0;
    QTest::newRow("product OK, kept") << 0 << true << 10 << 10 << true << true << QStringList{"8 1 0 0"}
                                      << int(FailImgIdle) << 0b10;
    QTest::newRow("mould NG held") << 1 << false << 10 << 10 << true << true << QStringList{"8 0 0 1"}
                                   << int(FailImgNgHeld) << 0;
    QTest::newRow("mould NG, no NG pictures") << 1 << false << 0 << 10 << true << true << QStringList{}
                                              << int(FailImgIdle) << 0;
    QTest::newRow("statistics off") << 1 << true << 10 << 10 << true << false << QStringList{}
                                    << int(FailImgIdle) << 0b10;
}

void TestCycleVerdict::picturesAndStatistics()
{
    QFETCH(int, slot);
    QFETCH(bool, ok);
    QFETCH(int, picNG);
    QFETCH(int, picOK);
    QFETCH(bool, saveProductOk);
    QFETCH(bool, statistics);
    QFETCH(QStringList, adds);
    QFETCH(int, state);
    QFETCH(int, queued);
    Verdict v;
    gPicNumNG = picNG;
    gPicNumOK = picOK;
    gisUseStatistics = statistics;
    v.rig.para.saveProductOk = saveProductOk;
    v.armCycle();
    v.script(0, slot, ok);
    v.detect(slot);
    QCOMPARE(v.rig.stats.adds, adds);
    QCOMPARE(v.rig.state.failImageState[0][slot], state);
    QCOMPARE(int(gisSaveFail[0][slot][0]) | int(gisSaveFail[0][slot][1]) << 1, queued);
    const bool rendered = ok ? (queued != 0) : state == FailImgNgHeld;
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("SaveFailImage")), rendered ? 1 : 0);
}

void TestCycleVerdict::relayReports_data()
{
    QTest::addColumn<bool>("net");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<QStringList>("entry");
    QTest::addColumn<QStringList>("release");
    QTest::newRow("linked and alive")
        << true << true << true
        << QStringList{"statsonce 4 1 1", "ngvideo 1 1", "telinfo 1 2", "statsitem 0 1 1", "statsitem 0 1 3",
                       "statistics null"}
        << QStringList{"ngtimes 1234", "ngvideo 1 0", "cancel", "statistics null"};
    QTest::newRow("linked, not alive") << true << true << false << QStringList{}
                                       << QStringList{"ngtimes 1234", "cancel"};
    QTest::newRow("server closed") << true << false << true << QStringList{} << QStringList{};
    QTest::newRow("relay off") << false << true << true << QStringList{} << QStringList{};
}

void TestCycleVerdict::relayReports()
{
    QFETCH(bool, net);
    QFETCH(bool, open);
    QFETCH(bool, alive);
    QFETCH(QStringList, entry);
    QFETCH(QStringList, release);
    Verdict v;
    v.rig.para.netEnabled = net;
    v.rig.para.ngVideoEnabled = 1;
    v.rig.para.videoShareMode = 1;
    v.rig.para.smsAlarmEnabled = 1;
    v.rig.relay.open = open;
    v.rig.relay.alive = alive;
    v.armCycle();
    v.rig.state.statsTriggerSource = 1;
    v.script(0, 1, false, {1, 3});
    v.detect(1);
    QCOMPARE(v.rig.relay.calls(), entry);
    QCOMPARE(v.rig.state.statsTriggerSource, 0);
    QVERIFY(g_listParamROI.isEmpty());

    v.rig.relay.clear();
    v.rig.advance(1234);
    v.script(0, 1, true);
    v.rig.controller->ReDetectHeld();
    QCOMPARE(v.rig.relay.calls(), release);
}

void TestCycleVerdict::timerShowAdvances_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("detections");
    QTest::addColumn<bool>("productOn");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("reCheck");
    QTest::addColumn<int>("next");
    QTest::newRow("product to mould") << 0 << 2 << true << 0 << 0 << false << 1;
    QTest::newRow("mould to product") << 0 << 2 << true << 1 << 1 << false << 0;
    QTest::newRow("product off: mould again") << 0 << 2 << false << 1 << 1 << false << 1;
    QTest::newRow("mode 2, right pair to left") << 2 << 4 << true << 3 << 3 << false << 0;
    QTest::newRow("mode 4 wraps, no product skip") << 4 << 3 << false << 2 << 2 << false << 0;
    QTest::newRow("re-check running: stays") << 0 << 2 << true << 1 << 1 << true << 1;
    QTest::newRow("another detection ran meanwhile") << 0 << 2 << true << 0 << 1 << false << 1;
}

void TestCycleVerdict::timerShowAdvances()
{
    QFETCH(int, mode);
    QFETCH(int, detections);
    QFETCH(bool, productOn);
    QFETCH(int, shown);
    QFETCH(int, current);
    QFETCH(bool, reCheck);
    QFETCH(int, next);
    Verdict v;
    v.rig.para.systemMode = mode;
    gDNum = detections;
    v.rig.para.productDetectEnabled = productOn;
    CycleState& s = v.rig.state;
    s.shownDetect = shown;
    s.currentDetect = current;
    s.reCheckActive = reCheck;
    s.pageMode = PageModeOKShown;
    s.resultPhase = PhaseDetected;
    LEDOnOff(6, 0);
    LEDOnOff(7, 0);
    s.resultShowTimer->start(2000);
    v.rig.controller->TimerShow();
    QVERIFY(!s.resultShowTimer->isActive());
    QCOMPARE(s.currentDetect, next);
    QCOMPARE(s.resultPhase, int(PhaseShown));
    QCOMPARE(s.pageMode, int(PageModeNone));
    QCOMPARE((LEDByte() >> 6) & 3, 0b11);
}

void TestCycleVerdict::timerShowRebuilds()
{
    Verdict v(2);
    v.rig.para.detectEnabled[0] = 0;
    gisReTrain = true;
    gisReShape = true;
    v.rig.controller->TimerShow();
    // Every enabled detection on every camera; the reshape waits its turn.
    for (int c = 0; c < 2; ++c)
        QCOMPARE(v.rig.cams[c]->events, (QStringList{"CreateShape 1", "VarTrain 1"}));
    QVERIFY(!gisReTrain);
    QVERIFY(gisReShape);

    // In the alarm the display ends without advancing or touching the LEDs.
    v.rig.state.pageMode = PageModeAlarm;
    v.rig.state.shownDetect = v.rig.state.currentDetect = 1;
    LEDOnOff(6, 0);
    LEDOnOff(7, 1);
    v.rig.cams[0]->events.clear();
    v.rig.controller->TimerShow();
    QCOMPARE(v.rig.state.currentDetect, 1);
    QCOMPARE((LEDByte() >> 6) & 3, 0b10);
    QCOMPARE(v.rig.cams[0]->events, (QStringList{"CreateShape 1", "VarTrain 1"}));
    QVERIFY(!gisReShape);
}

void TestCycleVerdict::templateFollowUp()
{
    Verdict v(2);
    v.rig.para.templateAutoUpdate = 1;
    v.armCycle();
    v.detect(0);
    QVERIFY(!gisReShape);   // only after the mould detection
    v.detect(1);
    QVERIFY(gisReShape);
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("SaveReTrainImage")), 1);
    QCOMPARE(v.rig.cams[1]->count(QStringLiteral("SaveReTrainImage")), 1);

    gisReShape = false;
    v.armCycle();
    v.script(1, 1, false);
    v.detect(1);
    QVERIFY(!gisReShape);
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("SaveReTrainImage")), 1);
}

void TestCycleVerdict::multiDetectStepOutputs_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("cutMode");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("afterVerdict");   // logical outputs 0..3
    QTest::addColumn<int>("afterDelay");     // 600 ms later
    QTest::addColumn<int>("shared");
    // Steps 0, 1 drive outputs 1 and 3; the last step (2) drives output 0.
    QTest::newRow("step 0 OK, cut all") << 0 << int(CutModeAll) << true << 0b1001 << 0b1001 << 0;
    QTest::newRow("step 0 OK, self delay") << 0 << int(CutModeSelfDelay) << true << 0b1001 << 0b1011 << 0;
    QTest::newRow("step 1 OK, all delay") << 1 << int(CutModeAllDelay) << true << 0b0011 << 0b1011 << -1;
    QTest::newRow("last step OK") << 2 << int(CutModeAll) << true << 0b1010 << 0b1010 << -1;
    QTest::newRow("step 1 NG, NG self: alarm") << 1 << int(CutModeNGSelf) << false << 0b1111 << 0b1111 << -1;
    QTest::newRow("step 1 NG, cut all: alarm") << 1 << int(CutModeAll) << false << 0b1111 << 0b1111 << -1;
}

void TestCycleVerdict::multiDetectStepOutputs()
{
    QFETCH(int, step);
    QFETCH(int, cutMode);
    QFETCH(bool, ok);
    QFETCH(int, afterVerdict);
    QFETCH(int, afterDelay);
    QFETCH(int, shared);
    Verdict v;
    WizardPara& w = v.rig.para;
    w.systemMode = SystemModeMultiDetect;
    gDNum = 3;
    w.detectEnabled[2] = 1;
    const int triggers[3] = {0, 0, 4};
    for (int k = 0; k < 3; ++k) {
        w.detectTriggerInput[k] = triggers[k];
        w.multiDetectRowActive[k] = k;
        w.multiRowCutMode[k] = k == step ? cutMode : CutModeAll;
    }
    v.armCycle();
    for (int k = 0; k < 3; ++k)
        v.rig.io->IOSetOut(OutputNo[k == 2 ? 7 : k] - 1, 1);
    v.rig.io->IOFlashOut();
    v.rig.state.multiStepIndex = step;
    v.script(0, step, ok);
    v.detect(step);
    QCOMPARE(logicalOutputs(v.rig) & 0xF, afterVerdict);
    QCOMPARE(v.rig.state.pageMode == PageModeAlarm, !ok);
    QCOMPARE(v.rig.state.reCheckActive, 0);
    if (ok)
        QCOMPARE(v.rig.state.sharedTriggerInput, shared);
    v.rig.advance(600);
    QCOMPARE(logicalOutputs(v.rig) & 0xF, afterDelay);
    QCOMPARE(v.rig.state.delayedOutputIndex, -1);
}

void TestCycleVerdict::pairedModeMapsSlots()
{
    Verdict v;
    v.rig.para.systemMode = SystemModeTurntable;
    gDNum = 4;
    for (int k = 0; k < 4; ++k)
        v.rig.para.detectEnabled[k] = 1;
    for (int left = 0; left <= 1; ++left) {
        v.rig.state.leftPairActive = left;
        v.rig.cams[0]->events.clear();
        v.detect(0);
        v.detect(1);
        const QStringList runs = v.rig.cams[0]->events.filter(QStringLiteral("Run "));
        QCOMPARE(runs, left ? (QStringList{"Run 0", "Run 1"}) : (QStringList{"Run 2", "Run 3"}));
        QCOMPARE(v.rig.state.currentDetect, left ? 1 : 3);
    }
}

void TestCycleVerdict::reSamplingEndsWithTheAreaPage()
{
    Verdict v(2);
    v.rig.slotHost.runState = RunStateTraining;
    v.rig.cams[0]->state.reSamplePending[1] = 1;
    v.rig.cams[1]->state.reSamplePending[1] = 1;
    v.rig.cams[1]->state.reSamplePending[5] = 1;   // not enabled: not waited for
    v.rig.controller->RunAlgorithm(0, 1);
    QCOMPARE(v.rig.cams[0]->events, QStringList{"SaveReTrainImage 1"});
    QVERIFY(!v.rig.host.events.contains(QStringLiteral("check area 0")));
    // A camera already taken changes nothing.
    v.rig.controller->RunAlgorithm(0, 1);
    QCOMPARE(v.rig.cams[0]->events, QStringList{"SaveReTrainImage 1"});
    v.rig.controller->RunAlgorithm(1, 1);
    QCOMPARE(v.rig.cams[1]->events, QStringList{"SaveReTrainImage 1"});
    QCOMPARE(v.rig.host.events.filter(QStringLiteral("check area")), QStringList{"check area 0"});
    QCOMPARE(v.rig.slotHost.runState, int(RunStateTraining));
    QCOMPARE(logicalOutputs(v.rig) & 0b111, 0b001);
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("Run")), 0);
}

void TestCycleVerdict::rawPicturesCountTo200()
{
    Verdict v;
    const int savedW = gImageW, savedH = gImageH, savedColor = gisColor;
    gImageW = 8;
    gImageH = 4;
    gisColor = 0;
    v.rig.cams[0]->state.procFrame.assign(32, 99);
    v.rig.state.saveRawImages = true;
    v.rig.state.rawPictureCounter = 199;
    v.detect(0);
    v.detect(1);
    gImageW = savedW;
    gImageH = savedH;
    gisColor = savedColor;
    const QImage first(QStringLiteral("./originalimage/cammer11/template199.bmp"));
    QCOMPARE(first.size(), QSize(8, 4));
    QCOMPARE(qGray(first.pixel(3, 2)), 99);
    QVERIFY(QFile::exists(QStringLiteral("./originalimage/cammer12/template0.bmp")));
    QCOMPARE(v.rig.state.rawPictureCounter, 1);
}

void TestCycleVerdict::verdictWaitsWhileTheAreaPageFollowsReSampling()
{
    Verdict v;
    v.armCycle();
    gFromTrain = 1;
    v.script(0, 1, false);
    v.detect(1);
    gFromTrain = 0;
    QCOMPARE(v.rig.state.pageMode, int(PageModeNone));
    QCOMPARE(records(v.rig), QStringList{});
    QCOMPARE(v.rig.cams[0]->count(QStringLiteral("SaveFailImage")), 0);
}

QTEST_GUILESS_MAIN(TestCycleVerdict)
#include "tst_cycleverdict.moc"
