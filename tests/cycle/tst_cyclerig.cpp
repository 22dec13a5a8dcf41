// The cycle rig's own parts: the virtual scheduler's ordering and the
// ControlPort's published words as the rig records them.
#include "fakecycle.h"

#include <QtTest>

class TestCycleRig : public QObject {
    Q_OBJECT
private slots:
    void schedulerFiresInDeadlineOrder();
    void monotonicTimeIgnoresWallClock();
    void rigPublishesTheStartWord();
};

void TestCycleRig::schedulerFiresInDeadlineOrder()
{
    auto clock = std::make_shared<FakeClock>();
    VirtualScheduler s(clock);
    QStringList fired;
    std::unique_ptr<CycleTimer> a, b, c, chained;
    a = s.create([&] { fired << QStringLiteral("a@%1").arg(s.now()); a->stop(); });
    b = s.create([&] {
        fired << QStringLiteral("b@%1").arg(s.now());
        chained->start(5);   // started by a callback: fires within the same advance
    }, true);
    c = s.create([&] { fired << QStringLiteral("c@%1").arg(s.now()); }, true);
    chained = s.create([&] { fired << QStringLiteral("chained@%1").arg(s.now()); }, true);
    a->start(10);
    b->start(10);   // same deadline as a: start order decides
    c->start(30);
    c->start(12);   // restart moves the deadline
    s.advanceBy(20);
    QCOMPARE(fired, (QStringList{"a@10", "b@10", "c@12", "chained@15"}));
    QCOMPARE(s.now(), qint64(20));
    QCOMPARE(s.activeTimers(), 0);
}

void TestCycleRig::monotonicTimeIgnoresWallClock()
{
    FakeClock clock;
    clock.advanceMs(250);
    clock.set(QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
    clock.sleepMs(50);
    QCOMPARE(clock.monotonicMs(), qint64(300));
    SystemClock sys;
    const qint64 t0 = sys.monotonicMs();
    QVERIFY(sys.monotonicMs() >= t0);
}

void TestCycleRig::rigPublishesTheStartWord()
{
    CycleRig rig(2);
    // First-start parameters invert the alarm output: "off" is applied as 1.
    QVERIFY(rig.para.outputInvert[OutAlarm]);
    QCOMPARE(gDataOut, 1 << OutAlarm);
    rig.io->IOSetOut(OutNotAllowClose, 1);
    rig.io->IOFlashOut();
    rig.advance(7);
    rig.io->IOFlashOut();
    QCOMPARE(int(rig.flushes.size()), 2);
    QCOMPARE(rig.flushes[0].t, qint64(0));
    QCOMPARE(rig.flushes[1].t, qint64(7));
    QCOMPARE(gDataOut, 1 << OutAlarm | 1 << OutNotAllowClose);
}

QTEST_GUILESS_MAIN(TestCycleRig)
#include "tst_cyclerig.moc"
