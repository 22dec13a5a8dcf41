// The main-loop pass and the run control on the cycle rig: virtual time,
// the real ControlPort, scripted cameras.  Output traces are compared as
// logical words (the record's output inversion taken off), one entry per
// change, with the virtual time of the flush that published it.
//
// The loop is started at t = 0, so passes run at 5, 8, 11, ... (5 + 3k) ms;
// inputs are changed between passes.
#include "fakecycle.h"
#include "cyclecounters.h"
#include "messages.h"

#include <QtTest>

#include <cstring>

namespace {

using Levels = QList<QPair<int, int>>;   // (time, level)

// Logical output bits.
constexpr int kClamp = 1 << OutNotAllowClose;
constexpr int kEjector = 1 << OutNotAllowThimble;

class PassRig : public CycleRig {
public:
    explicit PassRig(int cameras = 1) : CycleRig(cameras)
    {
        standardMachine(para);
        useSmallGreyFrames();
        cycleLog.date = QDate(2026, 1, 1);
    }

    void at(qint64 t) { scheduler.advanceTo(t); }

    int logical() const { return outputs() ^ inversion(); }
};

}

class TestCyclePass : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void debounce_data();
    void debounce();
    void referenceCycle_data();
    void referenceCycle();
    void edgeDuringCountdownIsLost();
    void standardCycleStartArmsBothDetections();
    void skipThreeCycles();
    void noInputWatchdog();
    void externalTriggerWaitsForEveryCamera();
    void cameraLoss();
    void lostLink_data();
    void lostLink();
    void input8TriggersMultiStep();
    void cycleTimeIgnoresWallClock();
    void brightness_data();
    void brightness();
    void stopDetectOutputs_data();
    void stopDetectOutputs();
    void startDetectOutputs_data();
    void startDetectOutputs();
    void pairSelection_data();
    void pairSelection();
    void multiDetectCutModes_data();
    void multiDetectCutModes();
    void multiDetectInOrderHearsOnlyTheNextStep();
    void multiDetectFreeOrder();
    void manualSnapshot_data();
    void manualSnapshot();
    void reCheckWaitsForNewFrames_data();
    void reCheckWaitsForNewFrames();
    void alarmHeldConsumesTheDoorEdge();
    void alarmResetSignal_data();
    void alarmResetSignal();
    void continuousTimedDetect();
    void safetyDoorStartClearsForcedDetect();
    void shownFrameFollowsTheSource_data();
    void shownFrameFollowsTheSource();
};

// ---------------------------------------------------------------------------
// Filters.

void TestCyclePass::debounce_data()
{
    QTest::addColumn<int>("debounce");
    QTest::addColumn<Levels>("levels");   // (time, level) of input 0
    QTest::addColumn<Trace>("expected");

    // D = 0: accepted in the pass that sees the edge.
    QTest::newRow("D0") << 0 << Levels{{10, 1}} << Trace{{5, 0}, {11, kClamp | kEjector}};
    // D = 5: the filter runs out at 511; the pass at 512 accepts.
    QTest::newRow("D5 held") << 5 << Levels{{10, 1}} << Trace{{5, 0}, {512, kClamp | kEjector}};
    QTest::newRow("D5 released") << 5 << Levels{{10, 1}, {300, 0}} << Trace{{5, 0}};
    // A bounce restarts the filter with the new edge (at 203).
    QTest::newRow("D5 bounce") << 5 << Levels{{10, 1}, {100, 0}, {200, 1}}
                               << Trace{{5, 0}, {704, kClamp | kEjector}};
}

void TestCyclePass::debounce()
{
    QFETCH(int, debounce);
    QFETCH(Levels, levels);
    QFETCH(Trace, expected);
    PassRig rig;
    rig.para.debounceTime = debounce;
    rig.start();
    for (const auto& l : levels) {
        rig.at(l.first);
        rig.setInput(InMouldOpenEnd, l.second);
    }
    rig.at(900);
    QCOMPARE(rig.changes(), expected);
}

using Script = QList<QList<int>>;   // {time, input, level}

// The standard cycle with every verdict OK, against its output trace.
void TestCyclePass::referenceCycle_data()
{
    QTest::addColumn<int>("debounce");
    QTest::addColumn<int>("preCut");
    QTest::addColumn<int>("cutEjectorOnClamp");
    QTest::addColumn<int>("semiAuto");
    QTest::addColumn<int>("separateSignal");
    QTest::addColumn<int>("d0");
    QTest::addColumn<int>("d1");
    QTest::addColumn<Script>("inputs");
    QTest::addColumn<qint64>("until");
    QTest::addColumn<Trace>("expected");

    const int both = kClamp | kEjector;
    const Script rise0{{10, 0, 1}};
    // Filter 0.5 s: the cycle starts at 512, the product is released 1 s
    // later, the clamp 3 s later.
    QTest::newRow("debounce 5") << 5 << 0 << 0 << 0 << 0 << 10 << 20 << rise0 << qint64(4000)
                                << Trace{{5, 0}, {512, both}, {1512, kClamp}, {3512, 0}};
    QTest::newRow("debounce 0") << 0 << 0 << 0 << 0 << 0 << 10 << 20 << rise0 << qint64(4000)
                                << Trace{{5, 0}, {11, both}, {1011, kClamp}, {3011, 0}};
    // The mould OK publishes the released clamp, then blocks the ejector again.
    QTest::newRow("cut ejector on clamp") << 0 << 0 << 1 << 0 << 0 << 10 << 20 << rise0 << qint64(4000)
                                          << Trace{{5, 0}, {11, both}, {1011, kClamp}, {3011, 0}, {3011, kEjector}};
    // Pre-cut 0.5 s: the clamp is blocked on the tick that leaves 0.5 s.
    QTest::newRow("pre-cut 5") << 0 << 5 << 0 << 0 << 0 << 10 << 20 << rise0 << qint64(4000)
                               << Trace{{5, 0}, {11, kEjector}, {1011, 0}, {2611, kClamp}, {3011, 0}};
    // Input 0 blocks only the ejector when input 2 has a signal of its own.
    QTest::newRow("separate signal") << 0 << 0 << 0 << 0 << 1 << 10 << 20 << rise0 << qint64(4000)
                                     << Trace{{5, 0}, {11, kEjector}, {1011, 0}};
    // Semi-automatic: the mould detection waits for input 2, then counts
    // its own delay.
    QTest::newRow("semi-auto") << 0 << 0 << 0 << 1 << 0 << 10 << 20 << Script{{10, 0, 1}, {1999, 2, 1}}
                               << qint64(4100) << Trace{{5, 0}, {11, both}, {1011, kClamp}, {4000, 0}};
    QTest::newRow("zero delays") << 0 << 0 << 0 << 0 << 0 << 0 << 0 << rise0 << qint64(100)
                                 << Trace{{5, 0}, {11, both}, {11, kClamp}, {11, 0}};
    QTest::newRow("delays 1 and 10000") << 0 << 0 << 0 << 0 << 0 << 1 << 10000 << rise0 << qint64(1000200)
                                        << Trace{{5, 0}, {11, both}, {111, kClamp}, {1000111, 0}};
}

void TestCyclePass::referenceCycle()
{
    QFETCH(int, debounce);
    QFETCH(int, preCut);
    QFETCH(int, cutEjectorOnClamp);
    QFETCH(int, semiAuto);
    QFETCH(int, separateSignal);
    QFETCH(int, d0);
    QFETCH(int, d1);
    QFETCH(Script, inputs);
    QFETCH(qint64, until);
    QFETCH(Trace, expected);
    PassRig rig;
    WizardPara& w = rig.para;
    w.debounceTime = debounce;
    w.preCut = preCut;
    w.cutEjectorOnClamp = cutEjectorOnClamp;
    w.semiAuto = semiAuto;
    w.separateDetectSignal = separateSignal;
    w.detectDelay[0] = d0;
    w.detectDelay[1] = d1;
    if (semiAuto)
        w.detectTriggerInput[1] = InEjectorBack;
    const int allBefore = gAllNum[0];
    rig.start();
    for (const QList<int>& e : inputs) {
        rig.at(e[0]);
        rig.setInput(e[1], e[2]);
    }
    rig.at(until);
    if (rig.changes() != expected)
        qDebug() << rig.changes();
    QCOMPARE(rig.changes(), expected);
    // One machine cycle counted, and count.txt written once.
    QCOMPARE(gAllNum[0], allBefore + 1);
    QCOMPARE(rig.host.countWrites, 1);
    QCOMPARE(rig.state.pageMode == PageModeAlarm, false);
}

void TestCyclePass::edgeDuringCountdownIsLost()
{
    PassRig rig;
    rig.para.debounceTime = 5;
    rig.para.cycleTimeLog = 1;
    rig.start();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(513);
    QCOMPARE(rig.cycleLog.rows.size(), 1);
    QVERIFY(rig.state.detectDelayTimers[0]->isActive());
    // A new edge while the delays count down starts no filter and is not kept.
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(600);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(700);
    QVERIFY(!rig.state.inputDebounceTimers[InMouldOpenEnd]->isActive());
    QVERIFY(!rig.state.inputConfirmed[InMouldOpenEnd]);
    rig.at(8000);
    QCOMPARE(rig.cycleLog.rows.size(), 1);
}

void TestCyclePass::standardCycleStartArmsBothDetections()
{
    PassRig rig(2);
    rig.start();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(11);
    const CycleState& s = rig.state;
    QCOMPARE(s.pendingCameraMask[0], 3);
    QCOMPARE(s.pendingCameraMask[1], 3);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(s.failImageState[c][0], int(FailImgArmed));
        QCOMPARE(s.failImageState[c][1], int(FailImgArmed));
        QVERIFY(s.cycleFirstRun[c] && s.roiNgCountPending[c] && s.cameraOkShown[c]);
    }
    QCOMPARE(s.detectionArmed[0], 1);
    QCOMPARE(s.detectionArmed[1], 1);
    QCOMPARE(s.statsTriggerSource, 1);
    // The mould delay counts on from the product delay.
    QCOMPARE(s.delayCountdownTenths[0], 10);
    QCOMPARE(s.delayCountdownTenths[1], 30);
    QVERIFY(s.detectDelayTimers[0]->isActive() && s.detectDelayTimers[1]->isActive());
    QCOMPARE(s.resultPhase, int(PhaseCountdown));
    QCOMPARE(rig.logical(), kClamp | kEjector);
}

void TestCyclePass::skipThreeCycles()
{
    PassRig rig;
    rig.para.skipDetectCount = 3;
    rig.state.skipActive = true;
    rig.start();
    for (int n = 0; n < 4; ++n) {
        rig.at(100 + n * 100);
        rig.setInput(InMouldOpenEnd, 1);
        rig.at(150 + n * 100);
        rig.setInput(InMouldOpenEnd, 0);
        if (n < 2)
            QVERIFY(rig.state.skipActive);
    }
    QCOMPARE(rig.records(), (QStringList{QStringLiteral("第1次跳过检测"), QStringLiteral("第2次跳过检测"),
                                         QStringLiteral("第3次跳过检测")}));
    QVERIFY(!rig.state.skipActive);
    QCOMPARE(rig.state.skipCount, 3);
    QCOMPARE(rig.host.events.count(QStringLiteral("skip button ") + Msg(573)), 1);
    // Skipped starts touch no output; the fourth edge starts the cycle.
    const Trace trace = rig.changes();
    QCOMPARE(trace.size(), 2);
    QCOMPARE(trace[1].second, kClamp | kEjector);
    QVERIFY(trace[1].first > 400 && trace[1].first < 410);
}

void TestCyclePass::noInputWatchdog()
{
    PassRig rig;
    rig.para.inputTimeout = 2;
    // No detection and a pre-cut: the cycle start blocks nothing, so the
    // watchdog's block is the only change.
    rig.para.detectEnabled[0] = rig.para.detectEnabled[1] = 0;
    rig.para.preCut = 5;
    rig.start();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(11);
    QVERIFY(rig.state.noInputTimer->isActive());
    rig.at(2010);
    QVERIFY(rig.changes().size() == 1);
    rig.at(2011);
    QCOMPARE(rig.changes(), (Trace{{5, 0}, {2011, kClamp}}));
    QVERIFY(rig.state.noInputAlarmShown);
    QVERIFY(rig.host.noInputBox);
    QVERIFY(rig.host.events.contains(QStringLiteral("show no input ") + Msg(335)));
    QCOMPARE(rig.records(), QStringList{Msg(335)});
    QVERIFY(!rig.state.noInputTimer->isActive());
    QVERIFY(rig.slotHost.events.filter(QStringLiteral("warn")).isEmpty());   // never the shared box

    // The next start hides the box and does not re-arm; the one after re-arms.
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(3000);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(3002);
    QVERIFY(!rig.host.noInputBox);
    QVERIFY(!rig.state.noInputAlarmShown);
    QVERIFY(!rig.state.noInputTimer->isActive());
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(3100);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(3102);
    QVERIFY(rig.state.noInputTimer->isActive());

    // While stopped the watchdog does not run.
    rig.controller->StopDetect();
    rig.at(3110);
    QVERIFY(!rig.state.noInputTimer->isActive());
}

void TestCyclePass::externalTriggerWaitsForEveryCamera()
{
    PassRig rig(2);
    rig.para.externalTrigger = 1;
    rig.para.cycleTimeLog = 1;
    rig.para.detectEnabled[0] = rig.para.detectEnabled[1] = 0;   // no countdown in the way
    rig.start();
    rig.cams[0]->frameWaiting = true;
    rig.at(6);
    QCOMPARE(rig.state.cTrigImage, 1);
    rig.at(30);
    QCOMPARE(rig.cycleLog.rows.size(), 0);
    // The same camera again does not complete the set.
    rig.cams[0]->frameWaiting = true;
    rig.at(40);
    QCOMPARE(rig.cycleLog.rows.size(), 0);
    rig.cams[1]->frameWaiting = true;
    rig.at(42);
    QCOMPARE(rig.cycleLog.rows.size(), 1);
    QCOMPARE(rig.state.cTrigImage, 0);
    QCOMPARE(rig.state.statsTriggerSource, 1);
    rig.at(200);
    QCOMPARE(rig.cycleLog.rows.size(), 1);
    // Triggered frames are shown by the detection, not by the pass.
    QCOMPARE(rig.cams[0]->count(QStringLiteral("repaintView")), 0);
}

void TestCyclePass::cameraLoss()
{
    PassRig rig(2);
    rig.para.cameraCheck = 1;
    rig.para.inputTimeout = 5;
    // No detection runs, so every flush below is the pass's own.
    rig.para.detectEnabled[0] = rig.para.detectEnabled[1] = 0;
    rig.start();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(11);
    QVERIFY(rig.state.noInputTimer->isActive());
    // Camera callback: every camera is checked.
    rig.slotHost.cameraLostSignal = true;
    rig.at(14);
    QVERIFY(rig.host.events.contains(QStringLiteral("camera check 0")));
    QVERIFY(rig.host.events.contains(QStringLiteral("camera check 1")));
    rig.slotHost.cameraLostSignal = false;

    // Lost: block closing, restart every 3 s, nothing else.
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(17);
    rig.io->IOResetAllOut();
    rig.io->IOFlashOut();
    gisLost = 1;
    rig.at(20);
    QCOMPARE(rig.logical(), kClamp);
    QCOMPARE(rig.state.runTimer->interval(), 3000);
    QVERIFY(!rig.state.noInputTimer->isActive());
    QCOMPARE(rig.host.events.count(QStringLiteral("camera restart")), 1);
    const size_t flushesAtLoss = rig.flushes.size();
    rig.setInput(InMouldOpenEnd, 1);     // not read while lost
    rig.at(20 + 2999);
    QCOMPARE(rig.host.events.count(QStringLiteral("camera restart")), 1);
    QCOMPARE(rig.flushes.size(), flushesAtLoss);
    rig.at(20 + 6000);
    QCOMPARE(rig.host.events.count(QStringLiteral("camera restart")), 3);
    QCOMPARE(rig.io->prevInput[InMouldOpenEnd], uchar(0));
    QCOMPARE(rig.flushes.size(), flushesAtLoss + 2);

    // Recovered: the 50th pass from here balances the white again.
    gisLost = 0;
    const int wbBefore = rig.cams[0]->count(QStringLiteral("SetWB"));
    const qint64 first = 20 + 9000;
    rig.at(first + 48 * 3);
    QCOMPARE(rig.cams[0]->count(QStringLiteral("SetWB")), wbBefore);
    rig.at(first + 49 * 3);
    QCOMPARE(rig.cams[0]->count(QStringLiteral("SetWB")), wbBefore + 1);
    QCOMPARE(rig.cams[1]->count(QStringLiteral("SetWB")), wbBefore + 1);
    QCOMPARE(rig.state.runTimer->interval(), 3);
}

void TestCyclePass::lostLink_data()
{
    QTest::addColumn<bool>("alarm");
    QTest::addColumn<bool>("stopped");
    QTest::newRow("alarm on, running") << true << false;
    QTest::newRow("alarm off, running") << false << false;
    QTest::newRow("alarm on, stopped") << true << true;
}

void TestCyclePass::lostLink()
{
    QFETCH(bool, alarm);
    QFETCH(bool, stopped);
    PassRig rig;
    rig.para.ioLostAlarm = alarm;
    if (stopped)
        rig.controller->StopDetect();
    rig.start();
    rig.at(20);
    gisLostCom = 1;
    rig.at(23);
    QCOMPARE(rig.host.lostLinkBox, alarm);
    QCOMPARE(rig.records(), alarm ? QStringList{QStringLiteral("IO通讯异常")} : QStringList{});
    if (alarm)
        QCOMPARE(rig.host.lostLinkText, Msg(589));
    // Blocked once per loss: released by hand, it stays released.
    const Trace expected = stopped ? Trace{{0, 0}} : Trace{{5, 0}, {23, kClamp}};
    QCOMPARE(rig.changes(), expected);
    rig.io->IOSetOut(OutNotAllowClose, 0);
    rig.at(100);
    QCOMPARE(rig.logical(), 0);
    QCOMPARE(rig.records().size(), alarm ? 1 : 0);

    gisLostCom = 0;
    rig.at(103);
    QCOMPARE(rig.host.lostLinkText, alarm ? Msg(590) : QString());
    // A second loss blocks again; the box, still up with "reconnected",
    // says the link is lost again and the loss is recorded again.
    gisLostCom = 1;
    rig.at(106);
    QCOMPARE(rig.logical(), stopped ? 0 : kClamp);
    QCOMPARE(rig.records().size(), alarm ? 2 : 0);
    QCOMPARE(rig.host.lostLinkText, alarm ? Msg(589) : QString());
    gisLostCom = 0;
}

void TestCyclePass::input8TriggersMultiStep()
{
    PassRig rig;
    WizardPara& w = rig.para;
    w.systemMode = SystemModeMultiDetect;
    gDNum = 2;
    w.detectTriggerInput[0] = 0;
    w.detectTriggerInput[1] = 8;     // the ninth board input
    w.detectDelay[0] = w.detectDelay[1] = 5;
    w.multiDetectRowActive[0] = 0;
    w.multiDetectRowActive[1] = 1;
    w.multiRowCutMode[0] = w.multiRowCutMode[1] = CutModeNone;
    rig.start();
    rig.at(10);
    rig.setInput(8, 1);
    rig.at(11);
    QVERIFY(rig.state.detectDelayTimers[1]->isActive());
    QVERIFY(!rig.state.detectDelayTimers[0]->isActive());
    QCOMPARE(rig.state.multiStepIndex, 1);
    QCOMPARE(rig.state.statsTriggerSource, 9);
    QCOMPARE(rig.state.delayCountdownTenths[1], 5);

    // Outside mode 4 nothing is triggered by input 8.
    PassRig standard;
    standard.para.detectTriggerInput[0] = standard.para.detectTriggerInput[1] = 8;
    standard.start();
    standard.at(10);
    standard.setInput(8, 1);
    standard.at(11);
    QVERIFY(!standard.state.detectDelayTimers[0]->isActive());
    QCOMPARE(standard.state.pendingCameraMask[1], 0);
}

void TestCyclePass::cycleTimeIgnoresWallClock()
{
    PassRig rig;
    rig.para.cycleTimeLog = 1;
    rig.para.detectEnabled[0] = rig.para.detectEnabled[1] = 0;   // cycles on every edge
    rig.start();
    rig.at(100);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(101);
    rig.setInput(InMouldOpenEnd, 0);
    // Somebody sets the clock back an hour between the two cycles.
    rig.env.clock->set(QDateTime(QDate(2026, 1, 1), QTime(7, 0, 0, 200)));
    rig.at(4000);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(4001);
    QCOMPARE(rig.cycleLog.rows, (QStringList{QStringLiteral("2026-01-01 08:00:00.000 0.1"),
                                             QStringLiteral("2026-01-01 08:00:00.100 3.9")}));
    QCOMPARE(rig.state.cycleTime, 39);
    QCOMPARE(rig.state.cycleStartTenths, qint64(40));
    QCOMPARE(rig.state.cycleStartTime, QDateTime(QDate(2026, 1, 1), QTime(8, 0, 4)));
    QCOMPARE(rig.cycleLog.checks, 0);

    // Without the log only the start moves; a missing log store is no fault.
    PassRig off;
    off.controller.reset();
    CycleController::Ports ports;
    ports.slotHost = &off.slotHost;
    ports.state = &off.state;
    ports.host = &off.host;
    ports.io = off.io.get();
    ports.clock = off.env.clock.get();
    CycleController bare(ports);
    bare.createTimers(off.scheduler);
    off.para.cycleTimeLog = 1;
    off.state.manualTrigDetect = gDNum;
    bare.startLoop();
    off.at(200);
    off.setInput(InMouldOpenEnd, 1);
    off.at(203);
    QCOMPARE(off.state.cycleTime, 2);
    QCOMPARE(off.state.cycleStartTime, QDateTime(QDate(2026, 1, 1), QTime(8, 0, 0, 200)));
}

void TestCyclePass::brightness_data()
{
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QByteArray>("pixel");     // top quarter of the rows
    QTest::addColumn<QByteArray>("rest");      // the other rows
    QTest::addColumn<int>("size");             // bytes handed over
    QTest::addColumn<int>("expected");

    const int grey = 16 * 16;
    const int colour = 4 * grey;
    QTest::newRow("grey flat") << false << QByteArray(1, char(90)) << QByteArray(1, char(90)) << grey << 90;
    QTest::newRow("grey dark top") << false << QByteArray(1, char(0)) << QByteArray(1, char(200)) << grey << 150;
    // B, G, R, A: grey = 0.114 B + 0.587 G + 0.299 R.
    QTest::newRow("colour flat") << true << QByteArray("\x0a\xc8\x32\xff", 4) << QByteArray("\x0a\xc8\x32\xff", 4)
                                 << colour << 133;
    // The whole frame counts, not its first quarter of bytes.
    QTest::newRow("colour dark top") << true << QByteArray("\0\0\0\xff", 4) << QByteArray("\xff\xff\xff\xff", 4)
                                     << colour << 191;
    // A short frame is read as far as whole rows go.
    QTest::newRow("colour short") << true << QByteArray("\0\0\0\xff", 4) << QByteArray("\xff\xff\xff\xff", 4)
                                  << 4 * 16 * 2 + 3 << 0;
    QTest::newRow("empty") << false << QByteArray(1, char(9)) << QByteArray(1, char(9)) << 0 << 0;
}

void TestCyclePass::brightness()
{
    QFETCH(bool, colour);
    QFETCH(QByteArray, pixel);
    QFETCH(QByteArray, rest);
    QFETCH(int, size);
    QFETCH(int, expected);
    PassRig rig;
    gisColor = colour;
    gColorLen = colour ? 4 * gImageLen : gImageLen;
    std::vector<uchar> frame;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            for (char b : (y < 4 ? pixel : rest))
                frame.push_back(uchar(b));
    frame.resize(size_t(size));
    rig.cams[0]->nextFrame = frame;
    rig.cams[0]->frameWaiting = true;
    rig.cams[0]->state.brightness = -1;
    rig.start();
    rig.at(5);
    QCOMPARE(rig.cams[0]->state.brightness, expected);
    QCOMPARE(rig.state.frameCount[0], 1);
}

// ---------------------------------------------------------------------------
// Run control.

void TestCyclePass::stopDetectOutputs_data()
{
    QTest::addColumn<int>("forbidsClamp");
    QTest::addColumn<int>("forbidsEjector");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("clamp") << 1 << 0 << kClamp;
    QTest::newRow("clamp 2 is not 1") << 2 << 0 << 0;
    QTest::newRow("ejector") << 0 << 1 << kEjector;
    QTest::newRow("both") << 1 << 1 << (kClamp | kEjector);
}

void TestCyclePass::stopDetectOutputs()
{
    QFETCH(int, forbidsClamp);
    QFETCH(int, forbidsEjector);
    QFETCH(int, expected);
    PassRig rig;
    rig.para.stopForbidsClamp = forbidsClamp;
    rig.para.stopForbidsEjector = forbidsEjector;
    rig.start();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(11);
    rig.io->IOSetOut(OutAlarm, 1);
    rig.io->IOSetOut(OutArea2, 1);
    rig.state.currentDetect = 1;
    rig.controller->StopDetect();
    QCOMPARE(rig.logical(), expected);
    QCOMPARE(rig.flushes.back().word ^ rig.inversion(), expected);
    QCOMPARE(rig.slotHost.runState, int(RunStateStopped));
    QCOMPARE(rig.state.pendingCameraMask[1], 0);
    QCOMPARE(rig.state.pendingCameraMask[0], 1);   // only the current pair's entry
    QVERIFY(!rig.state.detectDelayTimers[0]->isActive() && !rig.state.detectDelayTimers[1]->isActive());
    QCOMPARE(rig.state.delayCountdownTenths[1], 0);
    QCOMPARE(rig.host.events.last(), QStringLiteral("start stop button ") + Msg(136));
    // While stopped no cycle starts, and the outputs stay as the stop left them.
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(100);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(200);
    QCOMPARE(rig.logical(), expected);
    QCOMPARE(rig.state.pendingCameraMask[1], 0);

    // The multi-detection mode also forgets its sequence.
    PassRig multi;
    multi.para.systemMode = SystemModeMultiDetect;
    gDNum = 3;
    multi.state.pendingCameraMask[2] = 1;
    multi.state.multiStepIndex = 0;
    multi.controller->StopDetect();
    QCOMPARE(multi.state.pendingCameraMask[2], 0);
    QCOMPARE(multi.state.currentDetect, 2);
    QCOMPARE(multi.state.multiStepIndex, 2);
}

void TestCyclePass::startDetectOutputs_data()
{
    QTest::addColumn<int>("onClamp");
    QTest::addColumn<int>("afterProductOk");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << 0 << 0 << 0;
    // The mould OK publishes the released clamp, then blocks the ejector again.
    QTest::newRow("cut ejector on clamp") << 1 << 0 << kEjector;
    QTest::newRow("cut ejector after product OK") << 0 << 1 << kEjector;
    QTest::newRow("both") << 1 << 1 << kEjector;
}

void TestCyclePass::startDetectOutputs()
{
    QFETCH(int, onClamp);
    QFETCH(int, afterProductOk);
    QFETCH(int, expected);
    PassRig rig(2);
    rig.para.cutEjectorOnClamp = onClamp;
    rig.para.cutEjectorAfterProductOk = afterProductOk;
    rig.controller->StopDetect();
    rig.io->IOSetOut(OutNotAllowClose, 1);
    rig.io->IOSetOut(OutAlarm, 1);
    rig.state.pageMode = PageModeAlarm;
    rig.state.reCheckActive = 1;
    rig.state.reCheckLeft[1] = 2;
    rig.state.delayCountdownTenths[0] = 7;
    rig.state.areaOutputFlags[2] = true;
    for (int c = 0; c < 2; ++c) {
        rig.cams[c]->state.isOK = 0;
        rig.cams[c]->state.roiOK[1][49] = 0;
        rig.cams[c]->state.roiValue[0][3] = 77;
    }
    rig.controller->StartDetect();
    QCOMPARE(rig.logical(), expected);
    QCOMPARE(rig.flushes.back().word ^ rig.inversion(), expected);
    QCOMPARE(rig.slotHost.runState, int(RunStateDetecting));
    QCOMPARE(rig.state.pageMode, int(PageModeNone));
    QCOMPARE(rig.state.reCheckActive, 0);
    QCOMPARE(rig.state.reCheckLeft[1], 0);
    QCOMPARE(rig.state.delayCountdownTenths[0], 0);
    QVERIFY(!rig.state.areaOutputFlags[2]);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(rig.cams[c]->state.isOK, uchar(1));
        QCOMPARE(rig.cams[c]->state.roiOK[1][49], uchar(1));
        QCOMPARE(rig.cams[c]->state.roiValue[0][3], 0);
    }
    QCOMPARE(rig.host.events.last(), QStringLiteral("start stop button ") + Msg(127));
}

// ---------------------------------------------------------------------------
// Machine modes.

void TestCyclePass::pairSelection_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("moldSelect");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<int>("leftBefore");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("leftAfter");
    QTest::addColumn<bool>("cycle");       // a cycle started
    QTest::addColumn<int>("counting");     // bit i: slot i's delay runs

    // Turntable: input 0 is the left mould, input 3 the right one.
    QTest::newRow("turntable 0 left") << 2 << 2 << false << 0 << 0 << 1 << true << 3;
    QTest::newRow("turntable 3 right") << 2 << 2 << false << 1 << 3 << 0 << true << 3;
    QTest::newRow("turntable right only ignores 0") << 2 << 1 << false << 0 << 0 << 0 << false << 0;
    QTest::newRow("turntable right only takes 3") << 2 << 1 << false << 1 << 3 << 0 << true << 3;
    QTest::newRow("turntable left only ignores 3") << 2 << 0 << false << 1 << 3 << 1 << false << 0;
    // Two-colour: input 0 starts the cycle, 2 and 3 choose the pair.
    QTest::newRow("two-colour 0 starts") << 1 << 2 << false << 1 << 0 << 1 << true << 1;
    QTest::newRow("two-colour stopped 2 left") << 1 << 2 << true << 0 << 2 << 1 << false << 0;
    QTest::newRow("two-colour stopped 3 right") << 1 << 2 << true << 1 << 3 << 0 << false << 0;
    QTest::newRow("two-colour stopped 3, left only") << 1 << 0 << true << 1 << 3 << 1 << false << 0;
    QTest::newRow("two-colour stopped 2, right only") << 1 << 1 << true << 0 << 2 << 0 << false << 0;
}

void TestCyclePass::pairSelection()
{
    QFETCH(int, mode);
    QFETCH(int, moldSelect);
    QFETCH(bool, stopped);
    QFETCH(int, leftBefore);
    QFETCH(int, input);
    QFETCH(int, leftAfter);
    QFETCH(bool, cycle);
    QFETCH(int, counting);
    PassRig rig;
    WizardPara& w = rig.para;
    w.systemMode = mode;
    w.moldSelect = moldSelect;
    w.cycleTimeLog = 1;
    gDNum = 4;
    for (int k = 0; k < 4; ++k) {
        w.detectEnabled[k] = 1;
        w.detectDelay[k] = 5;
    }
    // The "any mould" triggers of the derived layout.
    w.detectTriggerInput[0] = mode == SystemModeTwoColor ? 0 : 255;
    w.detectTriggerInput[1] = 255;
    rig.state.leftPairActive = leftBefore;
    if (stopped)
        rig.controller->StopDetect();
    rig.start();
    rig.at(10);
    rig.setInput(input, 1);
    rig.at(11);
    QCOMPARE(rig.state.leftPairActive, leftAfter);
    QCOMPARE(rig.cycleLog.rows.size(), cycle ? 1 : 0);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(rig.state.detectDelayTimers[i]->isActive(), ((counting >> i) & 1) != 0);
}

void TestCyclePass::multiDetectCutModes_data()
{
    QTest::addColumn<int>("cutMode");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("expected");
    // Steps 0, 1, 2 use outputs OutputNo[0]-1 = 1, OutputNo[1]-1 = 3 and, as
    // the last step, OutputNo[7]-1 = 0.
    const int all = 1 << 1 | 1 << 3 | 1 << 0;
    QTest::newRow("all") << int(CutModeAll) << 1 << all;
    QTest::newRow("self") << int(CutModeSelf) << 1 << (1 << 1);
    QTest::newRow("none") << int(CutModeNone) << 1 << 0;
    QTest::newRow("self delay") << int(CutModeSelfDelay) << 1 << (1 << 1);
    QTest::newRow("all delay") << int(CutModeAllDelay) << 1 << all;
    QTest::newRow("ng self") << int(CutModeNGSelf) << 1 << 0;
    QTest::newRow("all, product off") << int(CutModeAll) << 0 << (1 << 3 | 1 << 0);
}

namespace {
// Three steps on inputs 0, 2 and 3, rows 0, 1, 2 (step 0 and 1 share row 0
// when sharedRow).
void threeSteps(WizardPara& w, bool inOrder, bool sharedRow = false)
{
    w.systemMode = SystemModeMultiDetect;
    w.multiDetectInOrder = inOrder;
    gDNum = 3;
    const int trig[3] = {0, 2, 3};
    for (int t = 0; t < 3; ++t) {
        w.detectEnabled[t] = 1;
        w.detectTriggerInput[t] = trig[t];
        w.detectDelay[t] = 5;
        w.multiDetectRowActive[t] = t;
        w.multiRowCutMode[t] = CutModeNone;
    }
    if (sharedRow)
        w.multiDetectRowActive[1] = 0;
}
}

void TestCyclePass::multiDetectCutModes()
{
    QFETCH(int, cutMode);
    QFETCH(int, product);
    QFETCH(int, expected);
    for (bool inOrder : {false, true}) {
        PassRig rig;
        threeSteps(rig.para, inOrder);
        rig.para.multiRowCutMode[0] = cutMode;
        rig.para.productDetectEnabled = product;
        rig.start();
        rig.at(10);
        rig.setInput(InMouldOpenEnd, 1);
        rig.at(11);
        // Input 0 begins a sequence: its first step is cut by its row's mode
        // and starts counting.
        QCOMPARE(rig.logical(), expected);
        QCOMPARE(rig.flushes.back().word ^ rig.inversion(), expected);
        QVERIFY(rig.state.detectDelayTimers[0]->isActive());
        QCOMPARE(rig.state.multiStepIndex, 0);
        QCOMPARE(rig.state.pendingCameraMask[2], 1);
    }
}

void TestCyclePass::multiDetectInOrderHearsOnlyTheNextStep()
{
    PassRig rig;
    threeSteps(rig.para, true, true);
    rig.para.multiRowCutMode[0] = CutModeSelf;
    rig.para.multiRowCutMode[2] = CutModeAll;
    rig.start();
    // Step 0 has run; steps 1 and 2 are pending.
    rig.state.multiStepIndex = 0;
    rig.state.pendingCameraMask[1] = rig.state.pendingCameraMask[2] = 1;
    rig.at(10);
    rig.setInput(InReserve, 1);          // the trigger of step 2
    rig.at(11);
    QVERIFY(!rig.state.detectDelayTimers[2]->isActive());
    QCOMPARE(rig.state.multiStepIndex, 0);
    QCOMPARE(rig.logical(), 0);
    rig.setInput(InEjectorBack, 1);      // step 1: same row as step 0, no cut
    rig.at(14);
    QVERIFY(rig.state.detectDelayTimers[1]->isActive());
    QCOMPARE(rig.state.multiStepIndex, 1);
    QCOMPARE(rig.logical(), 0);

    // Next step in a row of its own: its cut group applies.
    PassRig next;
    threeSteps(next.para, true);
    next.para.multiRowCutMode[1] = CutModeAll;
    next.start();
    next.state.multiStepIndex = 0;
    next.state.pendingCameraMask[1] = next.state.pendingCameraMask[2] = 1;
    next.at(10);
    next.setInput(InEjectorBack, 1);
    next.at(11);
    QVERIFY(next.state.detectDelayTimers[1]->isActive());
    QCOMPARE(next.logical(), 1 << 3 | 1 << 0);
}

void TestCyclePass::multiDetectFreeOrder()
{
    PassRig rig;
    threeSteps(rig.para, false);
    rig.para.multiRowCutMode[2] = CutModeSelf;
    rig.start();
    rig.at(10);
    rig.setInput(InReserve, 1);
    rig.at(11);
    // Any input starts a sequence; the step it names runs.
    QVERIFY(rig.state.detectDelayTimers[2]->isActive());
    QCOMPARE(rig.state.multiStepIndex, 2);
    QCOMPARE(rig.state.pendingCameraMask[0], 1);
    QCOMPARE(rig.logical(), 1 << 0);

    // An input no step listens to arms the sequence but starts nothing.
    PassRig idle;
    threeSteps(idle.para, false);
    idle.start();
    idle.at(10);
    idle.setInput(5, 1);
    idle.at(11);
    for (int t = 0; t < 3; ++t)
        QVERIFY(!idle.state.detectDelayTimers[t]->isActive());
    QCOMPARE(idle.state.pendingCameraMask[2], 1);
}

// ---------------------------------------------------------------------------
// Manual snapshot, re-check, alarm, door.

void TestCyclePass::manualSnapshot_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("detection");
    QTest::addColumn<QList<int>>("enabled");
    QTest::addColumn<bool>("delayRunning");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("ran");          // detection the cameras ran

    QTest::newRow("standard product") << 0 << 0 << QList<int>{1, 1} << false << true << 0;
    QTest::newRow("standard product off") << 0 << 0 << QList<int>{0, 1} << false << false << -1;
    QTest::newRow("standard mould") << 0 << 1 << QList<int>{0, 1} << false << true << 1;
    // Mould-open input low: the right pair.
    QTest::newRow("turntable right pair") << 2 << 0 << QList<int>{0, 0, 1, 1} << false << true << 2;
    QTest::newRow("turntable none") << 2 << 1 << QList<int>{1, 0, 1, 0} << false << false << -1;
    QTest::newRow("multi idle") << 4 << 1 << QList<int>{1, 1, 1} << false << true << 1;
    QTest::newRow("multi counting") << 4 << 1 << QList<int>{1, 1, 1} << true << false << -1;
}

void TestCyclePass::manualSnapshot()
{
    QFETCH(int, mode);
    QFETCH(int, detection);
    QFETCH(QList<int>, enabled);
    QFETCH(bool, delayRunning);
    QFETCH(bool, taken);
    QFETCH(int, ran);
    PassRig rig(2);
    WizardPara& w = rig.para;
    w.systemMode = mode;
    w.cycleTimeLog = 1;
    gDNum = enabled.size();
    for (int k = 0; k < kDetections; ++k)
        w.detectEnabled[k] = k < enabled.size() ? enabled[k] : 0;
    rig.start();
    rig.state.reCheckLeft[1] = 2;
    rig.state.areaOutputFlags[0] = true;
    if (delayRunning)
        rig.state.detectDelayTimers[0]->start(100);
    rig.at(6);
    rig.state.manualTrigDetect = detection;
    rig.at(8);
    QCOMPARE(rig.state.manualTrigDetect, gDNum);
    // The snapshot's detection ran at once on every camera (the verdict then
    // ends the collection the trigger source marked).
    for (int c = 0; c < 2; ++c)
        QCOMPARE(rig.cams[c]->events.filter(QStringLiteral("Run ")), taken ? QStringList{QStringLiteral("Run %1").arg(ran)} : QStringList{});
    if (!taken) {
        QCOMPARE(rig.state.multiStepIndex, detection);
        QCOMPARE(rig.state.statsTriggerSource, ~detection);
        QVERIFY(!rig.state.manualTriggered);
    }
    QCOMPARE(rig.cycleLog.rows.size(), taken ? 1 : 0);
    QCOMPARE(rig.state.reCheckLeft[1], taken ? 0 : 2);
    QCOMPARE(rig.state.areaOutputFlags[0], !(taken && detection == 0));
    // A snapshot is no cycle start: nothing is armed, and its OK blocks nothing.
    QCOMPARE(rig.state.pendingCameraMask[1], 0);
    QCOMPARE(rig.logical() & (kClamp | kEjector), 0);
    rig.state.detectDelayTimers[0]->stop();
}

void TestCyclePass::reCheckWaitsForNewFrames_data()
{
    QTest::addColumn<bool>("triggered");
    QTest::addColumn<QList<int>>("frames");   // time at which camera 0, camera 1 deliver; -1 never
    QTest::addColumn<qint64>("expected");     // pass that takes the re-check

    QTest::newRow("both cameras") << false << QList<int>{30, 60} << qint64(62);
    QTest::newRow("one camera, then the time-out") << false << QList<int>{30, -1} << qint64(1004);
    QTest::newRow("no frame, the time-out") << false << QList<int>{-1, -1} << qint64(1004);
    QTest::newRow("triggered capture waits for nothing") << true << QList<int>{-1, -1} << qint64(8);
}

void TestCyclePass::reCheckWaitsForNewFrames()
{
    QFETCH(bool, triggered);
    QFETCH(QList<int>, frames);
    QFETCH(qint64, expected);
    PassRig rig(2);
    rig.para.externalTrigger = triggered;
    rig.start();
    rig.at(6);
    // A mould NG has just been judged with re-checks left.
    rig.state.currentDetect = 1;
    rig.state.reCheckActive = 1;
    rig.state.reCheckLeft[1] = 2;
    rig.state.reCheckFrameMask = 0;
    rig.state.reCheckJudgedMs = 2;
    rig.state.noInputTimer->start(5000);
    for (int c = 0; c < 2; ++c)
        if (frames[c] >= 0) {
            rig.at(frames[c]);
            rig.cams[c]->frameWaiting = true;
        }
    rig.at(expected - 1);
    QCOMPARE(rig.state.reCheckLeft[1], 2);
    rig.at(expected);
    QVERIFY(rig.state.reCheckLeft[1] < 2);
    QVERIFY(!rig.state.noInputTimer->isActive());
}

void TestCyclePass::alarmHeldConsumesTheDoorEdge()
{
    PassRig rig(2);
    rig.para.systemMode = SystemModeTurntable;
    gDNum = 4;
    rig.start();
    rig.at(6);
    rig.state.pageMode = PageModeAlarm;
    rig.slotHost.runState = RunStateStopped;
    rig.state.leftPairActive = 0;
    rig.state.noInputTimer->start(5000);
    for (int c = 0; c < 2; ++c)
        std::memset(rig.cams[c]->state.skipMould, 1, kDetections);
    // Mould-open input alone says "left".
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(9);
    QCOMPARE(rig.state.leftPairActive, 0);   // no reset signal yet
    QCOMPARE(rig.cams[0]->state.skipMould[0], uchar(1));
    rig.state.simulatedTrigger = 1;
    rig.at(12);
    QCOMPARE(rig.state.simulatedTrigger, -1);
    QCOMPARE(rig.state.leftPairActive, 1);
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 4; ++k)
            QCOMPARE(rig.cams[c]->state.skipMould[k], uchar(0));
        QCOMPARE(rig.cams[c]->state.skipMould[4], uchar(1));
    }
    QVERIFY(!rig.state.noInputTimer->isActive());
    // Edges are read but no cycle starts while the alarm is held.
    QCOMPARE(rig.state.pendingCameraMask[0], 0);
    QCOMPARE(rig.io->prevInput[InMouldOpenEnd], uchar(1));
}

void TestCyclePass::alarmResetSignal_data()
{
    QTest::addColumn<int>("semiAuto");
    QTest::addColumn<int>("currentDetect");
    QTest::addColumn<int>("input");        // rising input, -1 none
    QTest::addColumn<int>("simulated");    // simulatedTrigger, -1 none
    QTest::addColumn<bool>("reDetected");

    QTest::newRow("door") << 0 << 0 << int(InSafetyDoor) << -1 << true;
    QTest::newRow("software door") << 0 << 1 << -1 << 1 << true;
    QTest::newRow("mould open does nothing") << 0 << 1 << int(InMouldOpenEnd) << -1 << false;
    QTest::newRow("ejector back, semi-auto, mould held") << 1 << 1 << int(InEjectorBack) << -1 << true;
    QTest::newRow("software ejector back, semi-auto") << 1 << 1 << -1 << 2 << true;
    QTest::newRow("ejector back, semi-auto, product held") << 1 << 0 << int(InEjectorBack) << -1 << false;
    QTest::newRow("ejector back without semi-auto") << 0 << 1 << int(InEjectorBack) << -1 << false;
}

void TestCyclePass::alarmResetSignal()
{
    QFETCH(int, semiAuto);
    QFETCH(int, currentDetect);
    QFETCH(int, input);
    QFETCH(int, simulated);
    QFETCH(bool, reDetected);
    PassRig rig;
    rig.para.semiAuto = semiAuto;
    rig.start();
    rig.at(6);
    rig.state.pageMode = PageModeAlarm;
    rig.slotHost.runState = RunStateStopped;
    rig.state.currentDetect = currentDetect;
    if (input >= 0)
        rig.setInput(input, 1);
    rig.state.simulatedTrigger = simulated;
    rig.at(8);
    const QStringList runs = rig.cams[0]->events.filter(QStringLiteral("Run "));
    QCOMPARE(runs, reDetected ? QStringList{QStringLiteral("Run %1").arg(currentDetect)} : QStringList{});
    // Nothing else of the pass runs while the alarm is held.
    QCOMPARE(rig.state.pendingCameraMask[0], 0);
    QVERIFY(!rig.state.detectDelayTimers[0]->isActive());
}

void TestCyclePass::continuousTimedDetect()
{
    PassRig rig;
    rig.para.continuousTimedDetect = 1;
    rig.para.cycleTimeLog = 1;
    rig.start();
    // Input 0 counts as triggered on every pass without a running delay.
    rig.at(5);
    QCOMPARE(rig.cycleLog.rows.size(), 1);
    QVERIFY(rig.state.detectDelayTimers[1]->isActive());
    // The mould detection ends at 3005; the pass of the same millisecond,
    // after it, starts the next cycle.
    rig.at(3004);
    QCOMPARE(rig.cycleLog.rows.size(), 1);
    rig.at(3005);
    QCOMPARE(rig.cycleLog.rows.size(), 2);
    QCOMPARE(rig.state.simulatedTrigger, -1);
}

void TestCyclePass::safetyDoorStartClearsForcedDetect()
{
    PassRig rig(2);
    rig.para.safetyDoorTrigger = 1;
    const int allBefore[2] = {gAllNum[0], gAllNum[1]};
    rig.start();
    rig.at(6);
    rig.state.forcedDetect = 1;
    for (int c = 0; c < 2; ++c)
        rig.cams[c]->state.skipMould[1] = 1;
    rig.setInput(InSafetyDoor, 1);
    rig.at(9);
    QVERIFY(rig.state.safeDoorTimer->isActive());
    QCOMPARE(rig.state.forcedDetect, -1);
    // The mould detection ran at once, without its delay, and as a door
    // start it is not counted as a machine cycle.
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(rig.cams[c]->events.filter(QStringLiteral("Run ")), QStringList{QStringLiteral("Run 1")});
        QCOMPARE(rig.cams[c]->state.skipMould[1], uchar(0));
        QCOMPARE(gAllNum[c], allBefore[c]);
    }
    QVERIFY(!rig.state.detectDelayTimers[1]->isActive());
    // A second door edge inside the 2 s window starts nothing.
    rig.setInput(InSafetyDoor, 0);
    rig.at(100);
    rig.setInput(InSafetyDoor, 1);
    rig.at(103);
    QCOMPARE(rig.cams[0]->events.filter(QStringLiteral("Run ")).size(), 1);
    rig.at(2009);
    QVERIFY(!rig.state.safeDoorTimer->isActive());
    // The door's fall silenced the (off) alarm and marked the door open.
    QVERIFY(gisSafeDoorOpen);
}

void TestCyclePass::shownFrameFollowsTheSource_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("refresh");
    QTest::addColumn<bool>("shown");
    QTest::newRow("page closed") << int(PictureSourceNone) << 0 << true;
    QTest::newRow("live") << int(PictureSourceLive) << 0 << true;
    QTest::newRow("template") << int(PictureSourceTemplate) << 0 << false;
    QTest::newRow("refresh after detect") << int(PictureSourceNone) << 1 << false;
}

void TestCyclePass::shownFrameFollowsTheSource()
{
    QFETCH(int, source);
    QFETCH(int, refresh);
    QFETCH(bool, shown);
    PassRig rig;
    gSource = source;
    rig.para.refreshAfterDetect = refresh;
    rig.cams[0]->nextFrame.assign(size_t(gColorLen), uchar(42));
    rig.cams[0]->frameWaiting = true;
    rig.start();
    rig.at(5);
    QCOMPARE(rig.cams[0]->state.shownFrame == rig.cams[0]->nextFrame, shown);
    QCOMPARE(rig.cams[0]->count(QStringLiteral("repaintView")), shown ? 1 : 0);
    gSource = PictureSourceNone;
}

QTEST_GUILESS_MAIN(TestCyclePass)
#include "tst_cyclepass.moc"
