// The machine model behind mm_boardsim --machine, stepped on made-up time
// against a scripted monitor: the order of its inputs and scenes, its
// obedience to the interlocks, a part left behind and the operator.
#include "machinemodel.h"

#include <QtTest>

#include <vector>

namespace {

using Clock = MachineModel::Clock;

struct Event {
    int ms;
    QString what;   // "in0=1", "scene=empty", or a trace line
};

// Steps the model in 10 ms steps and records what it does, with the time.
struct Bench {
    explicit Bench(MachineModel::Options o)
        : model(o, MachineModel::Io{[this](int i, bool l) { add(QStringLiteral("in%1=%2").arg(i).arg(l ? 1 : 0)); inputs[i] = l; },
                                    [this](const char* s) { add(QStringLiteral("scene=%1").arg(QLatin1String(s))); },
                                    [this](const QString& line) { traces << line; }})
    {
        model.start(t0);
    }
    void add(const QString& what) { events.push_back({now, what}); }
    // Runs until pred holds (true) or limitMs passed (false).
    template <class Pred>
    bool runUntil(Pred pred, int limitMs = 60000)
    {
        for (int end = now + limitMs; now < end; now += 10) {
            model.step(t0 + std::chrono::milliseconds(now), outputs);
            if (pred())
                return true;
        }
        return false;
    }
    void run(int ms) { runUntil([] { return false; }, ms); }
    int at(const QString& what, int after = 0) const
    {
        for (const Event& e : events)
            if (e.ms >= after && e.what == what)
                return e.ms;
        return -1;
    }
    bool traced(const QString& text) const
    {
        for (const QString& t : traces)
            if (t.contains(text))
                return true;
        return false;
    }

    Clock::time_point t0 = Clock::now();
    int now = 0;
    int outputs = 0;
    bool inputs[3] = {false, false, false};
    std::vector<Event> events;
    QStringList traces;
    MachineModel model;
};

MachineModel::Options options(int cycles, std::set<int> leftIn = {})
{
    MachineModel::Options o;
    o.cycles = cycles;
    o.leftEvery = 0;
    o.leftIn = std::move(leftIn);
    return o;
}

// A monitor that judges each opening: blocks both interlocks at once,
// releases the ejector after productMs and closing after mouldMs.
void monitorCycle(Bench& b, int productMs = 600, int mouldMs = 2100)
{
    QVERIFY(b.runUntil([&] { return b.inputs[0]; }));
    const int open = b.now;
    b.outputs = 0b011;
    QVERIFY(b.runUntil([&] { return b.now >= open + productMs; }));
    b.outputs = 0b001;
    QVERIFY(b.runUntil([&] { return b.now >= open + mouldMs; }));
    b.outputs = 0;
}

} // namespace

class TestMachineModel : public QObject {
    Q_OBJECT
private slots:
    void atRest();
    void okCycleFollowsTheInterlocks_data();
    void okCycleFollowsTheInterlocks();
    void partLeftAndTheOperator();
    void interlockThatNeverComes();
    void leftEvery();
};

void TestMachineModel::atRest()
{
    Bench b(options(1));
    // Mould closed, door closed, ejector back, the part moulded.
    QCOMPARE(b.events.size(), size_t(4));
    QCOMPARE(b.at("in0=0"), 0);
    QCOMPARE(b.at("in1=1"), 0);
    QCOMPARE(b.at("in2=1"), 0);
    QCOMPARE(b.at("scene=part"), 0);
    QCOMPARE(b.model.cycle(), 0);
}

void TestMachineModel::okCycleFollowsTheInterlocks_data()
{
    QTest::addColumn<bool>("fast");
    QTest::newRow("normal") << false;
    QTest::newRow("fast") << true;
}

void TestMachineModel::okCycleFollowsTheInterlocks()
{
    QFETCH(bool, fast);
    MachineModel::Options o = options(2);
    if (fast)
        o.timing = MachineModel::fastTiming();
    const MachineModel::Timing& t = o.timing;
    Bench b(o);
    monitorCycle(b, 600, 2100);
    const int open = b.at("in0=1");
    QCOMPARE(open, t.injectMs + t.openMs);
    // The ejector moves only after its release, the part falls and the
    // ejector is back well before the mould detection (1.5 s after it).
    const int release = open + 600;
    const int forward = b.at("in2=0", open);
    QVERIFY(forward >= release && forward <= release + 20);
    QVERIFY(b.at("scene=empty", open) >= release + t.ejectMs);
    const int back = b.at("in2=1", open);
    QVERIFY(back >= release + t.ejectorBackMs && back <= release + t.ejectorBackMs + 20);
    QVERIFY(back < open + 500 + 1500);
    // It closes only once closing is released.
    QVERIFY(b.runUntil([&] { return !b.inputs[0]; }));
    QVERIFY(b.now >= open + 2100 && b.now <= open + 2120);
    b.run(t.closeMs + 20);
    QCOMPARE(b.model.okCycles(), 1);
    QVERIFY(b.traced("cycle 1: OK"));
    QVERIFY(b.at("scene=part", open) > 0);   // the next part
    monitorCycle(b);
    QVERIFY(b.runUntil([&] { return b.model.finished(); }));
    QCOMPARE(b.model.okCycles(), 2);
    QCOMPARE(b.model.alarms(), 0);
    QVERIFY(b.traced("2 cycles done: 2 OK, 0 alarm(s)"));
}

void TestMachineModel::partLeftAndTheOperator()
{
    MachineModel::Options o = options(2, {2});
    o.timing = MachineModel::fastTiming();
    const MachineModel::Timing& t = o.timing;
    Bench b(o);
    monitorCycle(b);
    QVERIFY(b.runUntil([&] { return b.inputs[0]; }));
    const int open = b.now;
    b.outputs = 0b011;
    b.run(600);
    b.outputs = 0b001;
    QVERIFY(b.runUntil([&] { return b.at("scene=left", open) > 0; }));
    QVERIFY(b.at("scene=empty", open) < 0);
    // Mould NG: clamp blocked and the alarm.  The machine waits.
    b.run(1500);
    b.outputs = 0b101;
    const int alarm = b.now;
    QVERIFY(b.runUntil([&] { return !b.inputs[1]; }));
    QVERIFY(b.now >= alarm + t.operatorWaitMs);
    QVERIFY(b.inputs[0]);   // still open
    b.outputs = 0b001;      // the door fall silences the alarm
    const int door = b.now;
    QVERIFY(b.runUntil([&] { return b.inputs[1]; }));
    QVERIFY(b.now >= door + t.doorCloseMs);
    const int out = b.at("scene=empty", door);
    QVERIFY(out >= door + t.partOutMs && out < b.now);
    QVERIFY(b.inputs[0]);   // the clamp is still blocked
    b.run(300);
    b.outputs = 0;          // re-detected OK: closing released
    QVERIFY(b.runUntil([&] { return b.model.finished(); }));
    QCOMPARE(b.model.alarms(), 1);
    QCOMPARE(b.model.okCycles(), 1);
    QVERIFY(b.traced("cycle 2: alarm on"));
    QVERIFY(b.traced("cycle 2: operator opens the safety door"));
    QVERIFY(b.traced("cycle 2: alarm released"));
    QVERIFY(b.traced("cycle 2: ended after an alarm"));
}

void TestMachineModel::interlockThatNeverComes()
{
    // A monitor that does not block the ejector: the machine goes on after
    // the grace time, never before.
    Bench b(options(1));
    QVERIFY(b.runUntil([&] { return b.inputs[0]; }));
    const int open = b.now;
    QVERIFY(b.runUntil([&] { return !b.inputs[2]; }));
    QVERIFY(b.now >= open + 1000);
    // A block that comes and stays holds the machine as long as it lasts.
    b.outputs = 0b001;
    b.run(20000);
    QVERIFY(b.inputs[0]);
    QVERIFY(!b.model.finished());
    b.outputs = 0;
    QVERIFY(b.runUntil([&] { return b.model.finished(); }));
}

void TestMachineModel::leftEvery()
{
    MachineModel::Options o = options(0);
    o.leftEvery = 3;
    o.timing = MachineModel::fastTiming();
    Bench b(o);
    QList<int> left;
    for (int c = 1; c <= 6; ++c) {
        QVERIFY(b.runUntil([&] { return b.inputs[0]; }));
        if (b.model.partLeftThisCycle())
            left << b.model.cycle();
        b.outputs = 0;
        QVERIFY(b.runUntil([&] { return !b.inputs[0]; }));
    }
    QCOMPARE(left, (QList<int>{3, 6}));
}

QTEST_MAIN(TestMachineModel)
#include "tst_machinemodel.moc"
