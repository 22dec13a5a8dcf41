// The detection cycle through the whole stack: the board simulator raises
// the inputs on a pty, the board thread carries them to the controller,
// whose real Qt timers count the delays, scripted cameras judge, and the
// words the board applied are read back from the simulator.  Only the order
// of the applied words and the final states are checked, never how long a
// step took: the machine running the test may be loaded.
#include "linkedcycle.h"
#include "messages.h"

#include <QtTest>

namespace {

constexpr int kTimeoutMs = 20000;

// Output words as the board applies them (the rig inverts no output).
constexpr int kClamp = 1 << OutNotAllowClose;
constexpr int kEjector = 1 << OutNotAllowThimble;
constexpr int kAlarm = 1 << OutAlarm;

class Machine : public LinkedCycle {
public:
    Machine() : LinkedCycle(1)
    {
        // Delays of 0.3 s each, so that every word stays on the board long
        // enough for the board thread to send it even on a busy machine.
        para.detectDelay[0] = para.detectDelay[1] = 3;
        gPicNumNG = gPicNumOK = 10;
        std::fill(std::begin(gAllNum), std::end(gAllNum), 0);
        std::fill(std::begin(gFailNum), std::end(gFailNum), 0);
    }

    void script(int d, bool ok)
    {
        fakes[0]->script[d].push_back(ok ? ScriptedVerdict{} : ScriptedVerdict{false, {0}, 0});
    }
    bool boardShows(int word)
    {
        return waitUntil([&] { return sim.outputs() == word; }, kTimeoutMs);
    }
    // The words the board applied since the log was last cleared, in order.
    QList<int> appliedWords() const
    {
        QList<int> words;
        for (const BoardSimulator::LogEntry& e : sim.log())
            if (e.kind == BoardSimulator::LogEntry::OutputChange)
                words << e.value;
        return words;
    }
    QStringList records() const { return recordsOf(slotHost.events); }
    int runs(int d) const { return int(fakes[0]->events.filter(QStringLiteral("Run %1").arg(d)).size()); }
    // Raises the mould-open input until the board has applied the cycle's
    // start (from the log: the word may already have moved on).
    bool startCycle()
    {
        sim.setInput(InMouldOpenEnd, true);
        const bool started = waitUntil([&] { return appliedWords().contains(kClamp | kEjector); }, kTimeoutMs);
        sim.setInput(InMouldOpenEnd, false);
        return started;
    }
};

}   // namespace

class TestCycleIntegration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        FillMessageTable();
        // With TZ unset the C library re-reads the zone on every tzset(),
        // which the log's time stamps on the board thread call; its lock is
        // invisible to the race checker.  The same zone, named.
        if (qEnvironmentVariableIsEmpty("TZ"))
            qputenv("TZ", ":/etc/localtime");
    }
    void okCyclesThenMouldAlarmEndedByTheDoor();
};

void TestCycleIntegration::okCyclesThenMouldAlarmEndedByTheDoor()
{
    Machine m;
    QVERIFY2(m.error.empty(), m.error.c_str());
    // The machine's door is closed; the pass has seen it before the cycle.
    m.sim.setInput(InSafetyDoor, true);
    QVERIFY(m.waitUntil([&] { return m.idle() && (m.io->inWord & (1 << InSafetyDoor)); }, kTimeoutMs));

    // A good shot: both blocked at the start, the product OK frees the
    // ejector, the mould OK the clamp.
    m.sim.clearLog();
    m.script(0, true);
    m.script(1, true);
    QVERIFY(m.startCycle());
    QVERIFY(m.waitUntil([&] { return gAllNum[0] == 1 && m.sim.outputs() == 0; }, kTimeoutMs));
    QCOMPARE(m.appliedWords(), (QList<int>{kClamp | kEjector, kClamp, 0}));
    QCOMPARE(m.runs(0), 1);
    QCOMPARE(m.runs(1), 1);
    QCOMPARE(gFailNum[0], 0);
    QCOMPARE(m.records(), QStringList{});
    QVERIFY(m.state.pageMode != PageModeAlarm);

    // The mould fails: the board sounds the alarm and keeps the clamp
    // blocked; the held detection is recorded once.
    QVERIFY(m.waitUntil([&] { return m.idle(); }, kTimeoutMs));
    m.sim.clearLog();
    m.script(0, true);
    m.script(1, false);
    m.script(1, true);   // the re-check after the door
    QVERIFY(m.startCycle());
    QVERIFY(m.boardShows(kClamp | kAlarm));
    QCOMPARE(m.state.pageMode, int(PageModeAlarm));
    // The alarm holds over many passes without a second record.
    m.idleFor(500);
    QCOMPARE(m.sim.outputs(), kClamp | kAlarm);
    QCOMPARE(m.records(), QStringList{Msg(151).arg(1).chopped(1) + Msg(152)});
    QCOMPARE(m.runs(1), 2);
    QCOMPARE(gAllNum[0], 1);   // the alarm cycle counts at its release

    // Opening the door silences the alarm; the clamp stays blocked.
    m.sim.setInput(InSafetyDoor, false);
    QVERIFY(m.boardShows(kClamp));
    QCOMPARE(m.state.pageMode, int(PageModeAlarm));

    // Closing it judges the mould again: it passes and everything is free.
    m.sim.setInput(InSafetyDoor, true);
    QVERIFY(m.waitUntil([&] { return m.state.pageMode != PageModeAlarm && m.sim.outputs() == 0; }, kTimeoutMs));
    QCOMPARE(m.appliedWords(), (QList<int>{kClamp | kEjector, kClamp, kClamp | kAlarm, kClamp, 0}));
    QCOMPARE(m.runs(0), 2);
    QCOMPARE(m.runs(1), 3);
    QCOMPARE(m.records().size(), 1);
    QCOMPARE(gAllNum[0], 2);
    QCOMPARE(gFailNum[0], 1);

    // The machine goes on: the next shot runs a normal cycle.
    QVERIFY(m.waitUntil([&] { return m.idle(); }, kTimeoutMs));
    m.sim.clearLog();
    QVERIFY(m.startCycle());
    QVERIFY(m.waitUntil([&] { return gAllNum[0] == 3 && m.sim.outputs() == 0; }, kTimeoutMs));
    QCOMPARE(m.appliedWords(), (QList<int>{kClamp | kEjector, kClamp, 0}));
    QCOMPARE(gFailNum[0], 1);
    QCOMPARE(m.records().size(), 1);
}

QTEST_GUILESS_MAIN(TestCycleIntegration)
#include "tst_cycle_integration.moc"
