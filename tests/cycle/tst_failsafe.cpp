// Whenever the machine is not watched, the outputs must be in their blocking
// state at once, set and published.  One table: each case is a situation in
// which nobody watches, run with the outputs concerned plain, inverted, and
// with the reserve output mirroring one of them.  The APPLIED bits are
// checked, both in the port's word and in the word the board thread sends.
//
// The cycle runs on the rig (virtual time, real ControlPort, scripted
// cameras); the loop starts at t = 0, so passes run at 5, 8, 11, ... ms.
#include "fakecycle.h"
#include "cyclecounters.h"
#include "messages.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int kClamp = 1 << OutNotAllowClose;
constexpr int kEjector = 1 << OutNotAllowThimble;
constexpr int kAlarm = 1 << OutAlarm;

enum Situation {
    StartUp,
    CameraLost,
    NoInput,
    ProductNg,
    MouldNg,
    Stopped,
    LinkLost,
};

// Option bits of a row.
constexpr int kWhileStopped = 1;       // the situation arises with detection stopped
constexpr int kForbidsClamp = 2;       // stopForbidsClamp
constexpr int kForbidsEjector = 4;     // stopForbidsEjector

int bit(int word, int i) { return (word >> i) & 1; }

// The word the board must get for a set of logical levels.
int appliedWord(int logical, int invertMask, int mirrorRole)
{
    int word = (logical ^ invertMask) & ((1 << kOutputBits) - 1);
    if (mirrorRole >= 1 && mirrorRole <= 3)
        word = (word & ~(1 << OutReserve)) | (bit(word, mirrorRole - 1) << OutReserve);
    return word;
}


class SafeRig : public CycleRig {
public:
    SafeRig(int invertMask, int mirrorRole) : CycleRig(1), invert(invertMask), role(mirrorRole)
    {
        standardMachine(para);
        for (int o = 0; o < kOutputs; ++o)
            para.outputInvert[o] = bit(invertMask, o);
        para.reserveOutputRole = mirrorRole;
        useSmallGreyFrames();
        cycleLog.date = QDate(2026, 1, 1);
    }

    // What the main window does: every output off, mould closing blocked
    // before anything else runs, then the loop.
    void startLikeTheWindow()
    {
        io->IOResetAllOut();
        io->IOSetOut(OutNotAllowClose, 1);
        io->IOFlashOut();
        start();
    }
    void at(qint64 t) { scheduler.advanceTo(t); }
    // One OK cycle from input 0 at t: both detections pass, every output is
    // released by t + 3.1 s.
    void okCycle(qint64 t)
    {
        at(t);
        setInput(InMouldOpenEnd, 1);
        at(t + 100);
        setInput(InMouldOpenEnd, 0);
        at(t + 3100);
    }
    void releaseByHand()
    {
        io->IOResetAllOut();
        io->IOFlashOut();
    }
    int want(int logical) const { return appliedWord(logical, invert, role); }
    int published() const
    {
        QMutexLocker lock(pMutexIO);
        return gDataOut;
    }
    // Logical levels of outputs 0..2 as they stand.
    int interlocks() const { return (io->outWord ^ invert) & (kClamp | kEjector | kAlarm); }
    // Time of the last published word that blocks mould closing.
    qint64 lastClampFlush() const
    {
        for (auto f = flushes.rbegin(); f != flushes.rend(); ++f)
            if (((f->word ^ invert) & kClamp) != 0)
                return f->t;
        return -1;
    }

    const int invert;
    const int role;
};

// Both the port's word and the published word are the blocking state.
#define EXPECT_APPLIED(rig, logical)                                                   \
    do {                                                                               \
        const int wanted = (rig).want(logical);                                        \
        QCOMPARE(QString::number((rig).io->outWord, 16), QString::number(wanted, 16)); \
        QCOMPARE(QString::number((rig).published(), 16), QString::number(wanted, 16)); \
    } while (0)

}  // namespace

Q_DECLARE_METATYPE(Situation)

class TestFailSafe : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void unwatchedMachineIsBlocked_data();
    void unwatchedMachineIsBlocked();

private:
    void startUp(SafeRig& rig);
    void cameraLost(SafeRig& rig, int options);
    void noInput(SafeRig& rig);
    void ngAlarm(SafeRig& rig, int detection);
    void stopped(SafeRig& rig, int options);
    void linkLost(SafeRig& rig, int options);
};

void TestFailSafe::unwatchedMachineIsBlocked_data()
{
    QTest::addColumn<Situation>("situation");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("invertMask");
    QTest::addColumn<int>("mirrorRole");

    struct Case {
        const char* name;
        Situation situation;
        int options;
    };
    const Case cases[] = {
        {"start-up", StartUp, 0},
        {"camera lost", CameraLost, 0},
        {"camera lost while stopped", CameraLost, kWhileStopped},
        {"no input", NoInput, 0},
        {"product NG alarm", ProductNg, 0},
        {"mould NG alarm", MouldNg, 0},
        {"stopped", Stopped, 0},
        {"stopped, clamp forbidden", Stopped, kForbidsClamp},
        {"stopped, ejector forbidden", Stopped, kForbidsEjector},
        {"stopped, both forbidden", Stopped, kForbidsClamp | kForbidsEjector},
        {"link lost", LinkLost, 0},
        {"link lost while stopped", LinkLost, kWhileStopped},
    };
    struct Variant {
        const char* name;
        int invertMask;
        int mirrorRole;
    };
    const Variant variants[] = {
        {"plain", 0, 0},
        {"interlocks and alarm inverted", kClamp | kEjector | kAlarm, 0},
        {"all inverted, reserve mirrors clamp", 0x1FF, 1},
        {"ejector inverted, reserve mirrors ejector", kEjector, 2},
        {"alarm inverted, reserve mirrors alarm", kAlarm, 3},
    };
    for (const Case& c : cases)
        for (const Variant& v : variants)
            QTest::addRow("%s; %s", c.name, v.name) << c.situation << c.options << v.invertMask << v.mirrorRole;
}

void TestFailSafe::unwatchedMachineIsBlocked()
{
    QFETCH(Situation, situation);
    QFETCH(int, options);
    QFETCH(int, invertMask);
    QFETCH(int, mirrorRole);
    SafeRig rig(invertMask, mirrorRole);
    switch (situation) {
    case StartUp: startUp(rig); break;
    case CameraLost: cameraLost(rig, options); break;
    case NoInput: noInput(rig); break;
    case ProductNg: ngAlarm(rig, 0); break;
    case MouldNg: ngAlarm(rig, 1); break;
    case Stopped: stopped(rig, options); break;
    case LinkLost: linkLost(rig, options); break;
    }
    gisLost = 0;
    gisLostCom = 0;
}

// The port publishes every output off as it is built, the main window then
// blocks mould closing at once; the end of the process publishes nothing, so
// the board keeps blocking until the next start.
void TestFailSafe::startUp(SafeRig& rig)
{
    {
        QMutexLocker lock(pMutexIO);
        gDataOut = 0x1FF & ~rig.want(0);   // whatever the board kept from before
    }
    QList<int> seen;
    {
        ControlPort port(nullptr);
        QCOMPARE(QString::number(rig.published(), 16), QString::number(rig.want(0), 16));
        QCOMPARE(port.outWord, rig.want(0));
        port.flushObserver = [&seen](int word) { seen << word; };
        port.IOSetOut(OutNotAllowClose, 1);
        port.IOFlashOut();
        QCOMPARE(port.outWord, rig.want(kClamp));
        QCOMPARE(QString::number(rig.published(), 16), QString::number(rig.want(kClamp), 16));
    }
    QCOMPARE(seen, QList<int>{rig.want(kClamp)});
    QCOMPARE(QString::number(rig.published(), 16), QString::number(rig.want(kClamp), 16));

    // The rig's start does the same through the cycle's own port.
    rig.startLikeTheWindow();
    EXPECT_APPLIED(rig, kClamp);
}

// A lost camera blocks mould closing on the pass that sees it and again on
// every lost pass, 3 s apart, until the cameras are back.
void TestFailSafe::cameraLost(SafeRig& rig, int options)
{
    rig.startLikeTheWindow();
    rig.okCycle(10);
    EXPECT_APPLIED(rig, 0);
    if (options & kWhileStopped) {
        rig.controller->StopDetect();
        EXPECT_APPLIED(rig, 0);
    }

    gisLost = 1;
    rig.at(3200);
    EXPECT_APPLIED(rig, kClamp);
    const qint64 lostPass = rig.lastClampFlush();
    QVERIFY(lostPass > 3110 && lostPass <= 3200);
    QCOMPARE(rig.host.events.count(QStringLiteral("camera restart")), 1);

    // Released by hand, it is blocked again by the next lost pass.
    for (int n = 1; n <= 2; ++n) {
        rig.releaseByHand();
        rig.at(lostPass + n * 3000 - 1);
        EXPECT_APPLIED(rig, 0);
        rig.at(lostPass + n * 3000);
        EXPECT_APPLIED(rig, kClamp);
        QCOMPARE(rig.host.events.count(QStringLiteral("camera restart")), 1 + n);
    }

    // Restarted: the pass no longer blocks.
    gisLost = 0;
    rig.releaseByHand();
    rig.at(lostPass + 6000 + 3000 + 500);
    EXPECT_APPLIED(rig, 0);
}

// No cycle start for inputTimeout seconds after the last one blocks mould
// closing, even though the last cycle had released everything.
void TestFailSafe::noInput(SafeRig& rig)
{
    rig.para.inputTimeout = 5;
    rig.startLikeTheWindow();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(11);
    QVERIFY(rig.state.noInputTimer->isActive());
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(5010);
    EXPECT_APPLIED(rig, 0);
    rig.at(5011);
    EXPECT_APPLIED(rig, kClamp);
    QVERIFY(rig.host.noInputBox);
    rig.at(9000);
    EXPECT_APPLIED(rig, kClamp);
}

// An NG alarm holds the NG detection's interlock and the alarm output; the
// stop it makes touches no output; the door opening silences the alarm and
// nothing else; the door closing re-detects, and an NG again keeps the
// interlocks.
void TestFailSafe::ngAlarm(SafeRig& rig, int detection)
{
    ScriptedVerdict ng;
    ng.ok = false;
    ng.ngAreas = {0};
    rig.cams[0]->script[detection].push_back(ng);
    rig.cams[0]->script[detection].push_back(ng);   // the re-detection after the door
    rig.setInput(InSafetyDoor, 1);
    rig.startLikeTheWindow();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(100);
    rig.setInput(InMouldOpenEnd, 0);

    // Product NG: both interlocks stay (closing was blocked at the cycle
    // start); mould NG: the product OK had released the ejector.
    const int held = detection == 0 ? kClamp | kEjector : kClamp;
    rig.at(detection == 0 ? 1100 : 3100);
    QCOMPARE(rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(rig.slotHost.runState, int(RunStateStopped));
    EXPECT_APPLIED(rig, held | kAlarm);

    // The stop touches no output and publishes nothing.
    const size_t before = rig.flushes.size();
    rig.controller->SetStopDetect();
    QCOMPARE(rig.flushes.size(), before);
    EXPECT_APPLIED(rig, held | kAlarm);

    // Nothing the passes do while the alarm waits releases anything.
    rig.at(6000);
    EXPECT_APPLIED(rig, held | kAlarm);

    // The door opens: only the alarm goes quiet.
    rig.setInput(InSafetyDoor, 0);
    rig.at(6010);
    EXPECT_APPLIED(rig, held);
    QCOMPARE(rig.state.pageMode, int(PageModeAlarm));

    // The door closes: the held detection runs again and fails again.
    rig.setInput(InSafetyDoor, 1);
    rig.at(6100);
    QCOMPARE(rig.state.pageMode, int(PageModeAlarm));
    QCOMPARE(rig.interlocks() & held, held);
    QCOMPARE(bit(rig.published(), OutNotAllowClose), bit(rig.want(kClamp), OutNotAllowClose));
}

// Stopping detection releases everything but what the options keep blocked;
// while stopped nothing changes, whatever the inputs do.
void TestFailSafe::stopped(SafeRig& rig, int options)
{
    rig.para.stopForbidsClamp = (options & kForbidsClamp) ? 1 : 0;
    rig.para.stopForbidsEjector = (options & kForbidsEjector) ? 1 : 0;
    rig.startLikeTheWindow();
    rig.at(10);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(11);
    for (int o = 0; o < kOutputBits; ++o)
        rig.io->IOSetOut(o, 1);
    rig.io->IOFlashOut();
    rig.controller->StopDetect();
    const int kept = ((options & kForbidsClamp) ? kClamp : 0) | ((options & kForbidsEjector) ? kEjector : 0);
    EXPECT_APPLIED(rig, kept);
    QCOMPARE(rig.slotHost.runState, int(RunStateStopped));
    rig.setInput(InMouldOpenEnd, 0);
    rig.at(500);
    rig.setInput(InMouldOpenEnd, 1);
    rig.at(5000);
    EXPECT_APPLIED(rig, kept);
}

// A lost board link blocks mould closing once, so the first word the board
// gets when it answers again blocks closing; with detection stopped the
// outputs stay as the stop left them.
void TestFailSafe::linkLost(SafeRig& rig, int options)
{
    rig.startLikeTheWindow();
    rig.okCycle(10);
    EXPECT_APPLIED(rig, 0);
    if (options & kWhileStopped)
        rig.controller->StopDetect();
    gisLostCom = 1;
    rig.at(3200);
    EXPECT_APPLIED(rig, (options & kWhileStopped) ? 0 : kClamp);
    rig.at(8000);
    EXPECT_APPLIED(rig, (options & kWhileStopped) ? 0 : kClamp);
}

QTEST_GUILESS_MAIN(TestFailSafe)
#include "tst_failsafe.moc"
