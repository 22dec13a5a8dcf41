// Whole machine cycles through the main loop: inputs change over virtual
// time, the loop runs its passes every 3 ms, the delays count down on their
// timers, scripted cameras judge, and the published output words are
// compared as logical words (one entry per change) with their times.
//
// The loop starts at t = 0, so passes run at 5, 8, 11, ... ms; an input set
// before the start is seen as an edge by the first pass.
#include "cyclecounters.h"
#include "fakecycle.h"
#include "messages.h"

#include <QtTest>

namespace {

struct Level {
    qint64 t;
    int input;
    int level;
};
using Script = QList<Level>;

constexpr int kClamp = 1 << OutNotAllowClose;
constexpr int kEjector = 1 << OutNotAllowThimble;
constexpr int kAlarm = 1 << OutAlarm;

class MachineRig : public CycleRig {
public:
    explicit MachineRig(int cameras = 1) : CycleRig(cameras)
    {
        WizardPara& w = para;
        standardMachine(w);
        w.debounceTime = 5;
        w.screenOffSeconds = 0;
        useSmallGreyFrames();
        gPicNumNG = gPicNumOK = 10;
        gisUseStatistics = true;
        gFromTrain = 0;
        gisReTrain = gisReShape = false;
        std::memset(gisSaveFail, 0, sizeof gisSaveFail);
        std::fill(std::begin(gAllNum), std::end(gAllNum), 0);
        std::fill(std::begin(gFailNum), std::end(gFailNum), 0);
    }

    void play(const Script& script, qint64 end)
    {
        for (const Level& l : script) {
            if (l.t > 0)
                scheduler.advanceTo(l.t);
            setInput(l.input, l.level);
            if (l.t == 0 && scheduler.now() == 0 && !started_) {
                start();
                started_ = true;
            }
        }
        if (!started_) {
            start();
            started_ = true;
        }
        scheduler.advanceTo(end);
    }

private:
    bool started_ = false;
};

} // namespace

Q_DECLARE_METATYPE(Script)

class TestCycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void standardCycle_data();
    void standardCycle();
    void mouldNgReCheckedThenReleasedByTheDoor();
    void productNgReleasedByTheDoorRunsTheMould();
};

void TestCycle::standardCycle_data()
{
    QTest::addColumn<int>("debounce");
    QTest::addColumn<int>("preCut");
    QTest::addColumn<bool>("cutEjectorOnClamp");
    QTest::addColumn<bool>("semiAuto");
    QTest::addColumn<bool>("separate");
    QTest::addColumn<int>("d0");
    QTest::addColumn<int>("d1");
    QTest::addColumn<Script>("inputs");
    QTest::addColumn<Trace>("expected");

    // Reference: D = 5, d0 = 10, d1 = 20, input 0 rises at t = 0.  The first
    // pass (5) starts the filter, which runs out at 505; the pass at 506
    // starts the cycle.  The product is judged 1.0 s later, the mould 3.0 s
    // later (its delay counts on from the product's).
    const Script edge0{{0, InMouldOpenEnd, 1}};
    QTest::newRow("reference") << 5 << 0 << false << false << false << 10 << 20 << edge0
                               << Trace{{5, 0}, {506, kClamp | kEjector}, {1506, kClamp}, {3506, 0}};
    QTest::newRow("debounce 0") << 0 << 0 << false << false << false << 10 << 20 << edge0
                                << Trace{{5, kClamp | kEjector}, {1005, kClamp}, {3005, 0}};
    // With a pre-cut the start leaves the clamp free; it is blocked 0.5 s
    // before the mould is judged (tick 26 of 30).
    QTest::newRow("pre-cut 5") << 5 << 5 << false << false << false << 10 << 20 << edge0
                               << Trace{{5, 0}, {506, kEjector}, {1506, 0}, {3106, kClamp}, {3506, 0}};
    QTest::newRow("cut ejector on clamp") << 5 << 0 << true << false << false << 10 << 20 << edge0
                                          << Trace{{5, 0}, {506, kClamp | kEjector}, {1506, kClamp},
                                                   {3506, 0}, {3506, kEjector}};
    // Semi-automatic: the mould waits for input 2 and counts its own delay
    // from there (edge seen at 2003, accepted at 2504).
    QTest::newRow("semi-auto")
        << 5 << 0 << false << true << false << 10 << 20 << Script{{0, InMouldOpenEnd, 1}, {2000, InEjectorBack, 1}}
        << Trace{{5, 0}, {506, kClamp | kEjector}, {1506, kClamp}, {4504, 0}};
    // Separate signals: input 0 blocks only the ejector, input 2 starts the
    // mould's part and blocks only the clamp.
    QTest::newRow("separate detect signal")
        << 0 << 0 << false << false << true << 10 << 20
        << Script{{0, InMouldOpenEnd, 1}, {2000, InEjectorBack, 1}}
        << Trace{{5, kEjector}, {1005, 0}, {2003, kClamp}, {5003, 0}};
    QTest::newRow("zero delays") << 5 << 0 << false << false << false << 0 << 0 << edge0
                                 << Trace{{5, 0}, {506, kClamp | kEjector}, {506, kClamp}, {506, 0}};
}

void TestCycle::standardCycle()
{
    QFETCH(int, debounce);
    QFETCH(int, preCut);
    QFETCH(bool, cutEjectorOnClamp);
    QFETCH(bool, semiAuto);
    QFETCH(bool, separate);
    QFETCH(int, d0);
    QFETCH(int, d1);
    QFETCH(Script, inputs);
    QFETCH(Trace, expected);
    MachineRig rig;
    rig.para.debounceTime = debounce;
    rig.para.preCut = preCut;
    rig.para.cutEjectorOnClamp = cutEjectorOnClamp;
    rig.para.semiAuto = semiAuto;
    rig.para.separateDetectSignal = separate;
    if (semiAuto || separate)
        rig.para.detectTriggerInput[1] = InEjectorBack;
    rig.para.detectDelay[0] = d0;
    rig.para.detectDelay[1] = d1;
    rig.play(inputs, 8000);

    QCOMPARE(rig.changes(), expected);
    QCOMPARE(gAllNum[0], 1);
    QCOMPARE(gFailNum[0], 0);
    QCOMPARE(rig.host.countWrites, 1);
    QCOMPARE(rig.cams[0]->events.filter(QStringLiteral("Run ")), (QStringList{"Run 0", "Run 1"}));
    QCOMPARE(rig.records(), QStringList{});
    // Both verdicts were shown and the display has moved on to the product.
    QCOMPARE(rig.state.pageMode, int(PageModeNone));
    QCOMPARE(rig.state.currentDetect, 0);
    QCOMPARE(rig.state.resultPhase, int(PhaseShown));
}

void TestCycle::mouldNgReCheckedThenReleasedByTheDoor()
{
    MachineRig rig(2);
    rig.para.moldRecheckCount = 2;
    // The second camera fails the mould three times (the judgement and both
    // re-checks), then passes once the door has been opened and closed.
    for (int n = 0; n < 3; ++n)
        rig.cams[1]->script[1].push_back(ScriptedVerdict{false, {0}, 0});
    rig.cams[1]->script[1].push_back(ScriptedVerdict{true, {}, 0});
    rig.play({{0, InMouldOpenEnd, 1}}, 3500);
    QCOMPARE(rig.changes().last().second, kClamp);

    // The mould judgement at 3506 leaves re-checks: clamp blocked, no alarm.
    rig.scheduler.advanceTo(3510);
    QCOMPARE(rig.state.reCheckActive, 1);
    QCOMPARE(rig.changes().last().second, kClamp);
    QVERIFY(rig.records().isEmpty());

    // No camera delivers a frame, so each re-check waits its second.
    rig.scheduler.advanceTo(4400);
    QCOMPARE(rig.cams[1]->events.filter(QStringLiteral("Run 1")).size(), 1);
    rig.scheduler.advanceTo(7000);
    QCOMPARE(rig.cams[1]->events.filter(QStringLiteral("Run 1")).size(), 3);
    QCOMPARE(rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(rig.slotHost.runState, int(RunStateStopped));
    const Trace alarm = rig.changes();
    QCOMPARE(alarm.last().second, kClamp | kAlarm);
    QVERIFY2(alarm.last().first >= 5506 && alarm.last().first < 5520, qPrintable(QString::number(alarm.last().first)));
    QCOMPARE(rig.records(), QStringList{Msg(151).arg(2).chopped(1) + Msg(152)});
    QCOMPARE(gAllNum[1], 0);   // counted at the release

    // The door input's rise presses "Re-detected"; the mould passes now.
    rig.setInput(InSafetyDoor, 1);
    rig.scheduler.advanceTo(7004);

    QCOMPARE(rig.host.reCheckClicks, 1);
    QCOMPARE(rig.cams[1]->events.filter(QStringLiteral("Run 1")).size(), 4);
    QCOMPARE(rig.state.pageMode, int(PageModeOKShown));
    QCOMPARE(rig.slotHost.runState, int(RunStateDetecting));
    QCOMPARE(rig.changes().last().second, 0);
    QCOMPARE(rig.records().size(), 1);
    QCOMPARE(gAllNum[0], 1);
    QCOMPARE(gFailNum[0], 0);
    QCOMPARE(gAllNum[1], 1);
    QCOMPARE(gFailNum[1], 1);
    QCOMPARE(rig.host.countWrites, 1);
    // The held NG picture was stamped and queued with the passing one.
    QVERIFY(gisSaveFail[1][1][0]);
    QVERIFY(gisSaveFail[1][1][1]);
    QVERIFY(rig.host.events.contains(QStringLiteral("area page restart")));
}

void TestCycle::productNgReleasedByTheDoorRunsTheMould()
{
    MachineRig rig;
    rig.cams[0]->script[0].push_back(ScriptedVerdict{false, {0}, 0});
    rig.cams[0]->script[0].push_back(ScriptedVerdict{true, {}, 0});
    rig.play({{0, InMouldOpenEnd, 1}}, 2000);
    QCOMPARE(rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(rig.changes().last(), (QPair<qint64, int>{1506, kClamp | kEjector | kAlarm}));
    // The mould countdown was cancelled by the alarm.
    rig.scheduler.advanceTo(4000);
    QCOMPARE(rig.cams[0]->events.filter(QStringLiteral("Run 1")).size(), 0);

    rig.setInput(InSafetyDoor, 1);
    rig.scheduler.advanceTo(4004);
    // Product passes: ejector and alarm released, the mould detection is
    // forced with its own delay (2.0 s), without an input edge.
    QCOMPARE(rig.state.pageMode, int(PageModeOKShown));
    QCOMPARE(rig.changes().last().second, kClamp);
    rig.scheduler.advanceTo(5900);
    QCOMPARE(rig.cams[0]->events.filter(QStringLiteral("Run 1")).size(), 0);
    rig.scheduler.advanceTo(6200);
    QCOMPARE(rig.cams[0]->events.filter(QStringLiteral("Run 1")).size(), 1);
    QCOMPARE(rig.changes().last().second, 0);
    QCOMPARE(gAllNum[0], 1);
    QCOMPARE(gFailNum[0], 1);
    QCOMPARE(rig.records().size(), 1);
}

QTEST_GUILESS_MAIN(TestCycle)
#include "tst_cycle.moc"
