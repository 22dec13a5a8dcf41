// The network ports of the other-network dialog: /proc/net/dev and
// "ifconfig" parsed as the kernel and net-tools print them, the rates of
// two readings, and the monitor running "ifconfig" through the recording
// runner without waiting for it (a tick still waiting skips the next).
#include "portstate.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// As the kernel prints it: "%6s:%8llu ..." so a counter of nine digits and
// more follows the colon directly.
QByteArray procNetDevText(qint64 eth0, qint64 eth1, qint64 wlan0)
{
    return QStringLiteral("Inter-|   Receive                                                |  Transmit\n"
                          " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets\n"
                          "    lo:  987654     120    0    0    0     0          0         0   987654     120\n"
                          "  eth0:%1    3200    0    0    0     0          0        12   220000    1900\n"
                          "  eth1:%2       0    0    0    0     0          0         0        0       0\n"
                          " wlan0:%3      10    0    0    0     0          0         0     1000      10\n")
        .arg(eth0, 8)
        .arg(eth1, 8)
        .arg(wlan0, 8)
        .toLatin1();
}

const char* const kIfconfig =
    "eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\n"
    "        inet 192.168.1.10  netmask 255.255.255.0  broadcast 192.168.1.255\n"
    "        ether 00:11:22:33:44:55  txqueuelen 1000  (Ethernet)\n"
    "\n"
    "eth1: flags=4099<UP,BROADCAST,MULTICAST>  mtu 1500\n"
    "        ether 00:11:22:33:44:56  txqueuelen 1000  (Ethernet)\n"
    "\n"
    "lo: flags=73<UP,LOOPBACK,RUNNING>  mtu 65536\n"
    "        inet 127.0.0.1  netmask 255.0.0.0\n"
    "\n"
    "wlan0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\n";

}  // namespace

class TestPortState : public QObject {
    Q_OBJECT
private slots:
    void procNetDev_data();
    void procNetDev();
    void ifconfig_data();
    void ifconfig();
    void ratesOfTwoReadings_data();
    void ratesOfTwoReadings();
    void monitorRunsIfconfigWithoutWaiting();
    void tickStillWaitingSkipsTheNext();
    void ifconfigWithoutEndIsJudgedAfterItsLimit();
};

void TestPortState::procNetDev_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<qint64>>("bytes");
    QTest::newRow("counters of every width, lo left out")
        << procNetDevText(1234, 123456789012LL, 0) << QStringList{"eth0", "eth1", "wlan0"}
        << QList<qint64>{1234, 123456789012LL, 0};
    QTest::newRow("headers only") << procNetDevText(0, 0, 0).left(150) << QStringList{} << QList<qint64>{};
    QTest::newRow("garbled") << QByteArray("eth0 1234\n:99\n  eth1: x 5\n") << QStringList{} << QList<qint64>{};
    QTest::newRow("empty") << QByteArray() << QStringList{} << QList<qint64>{};
}

void TestPortState::procNetDev()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(QList<qint64>, bytes);
    const QMap<QString, qint64> counters = ParseProcNetDev(QString::fromLatin1(text));
    QCOMPARE(counters.keys(), names);
    QCOMPARE(counters.values(), bytes);
}

void TestPortState::ifconfig_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<bool>>("running");
    QTest::newRow("net-tools 2") << QByteArray(kIfconfig) << QStringList{"eth0", "eth1", "wlan0"}
                                 << QList<bool>{true, false, true};
    // An alias name holds a colon: three parts, not an interface line.
    QTest::newRow("alias") << QByteArray("eth0:1: flags=4163<UP,RUNNING>  mtu 1500\n") << QStringList{}
                           << QList<bool>{};
    QTest::newRow("no mtu") << QByteArray("eth0: flags=4163<UP,RUNNING>\n") << QStringList{} << QList<bool>{};
    QTest::newRow("nothing") << QByteArray() << QStringList{} << QList<bool>{};
}

void TestPortState::ifconfig()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(QList<bool>, running);
    const QMap<QString, bool> states = ParseIfconfigRunning(QString::fromLatin1(text));
    QCOMPARE(states.keys(), names);
    QCOMPARE(states.values(), running);
}

// Readings of one interface "eth0": first counter, second (-1: /proc/net/dev
// unreadable), running, periods spanned -> the row shown.
void TestPortState::ratesOfTwoReadings_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("second");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("periods");
    QTest::addColumn<bool>("hasRate");
    QTest::addColumn<qint64>("rate");
    QTest::addColumn<qint64>("counter");
    QTest::newRow("3 s of traffic") << qint64(1000) << qint64(4003) << true << 1 << true << qint64(1001) << qint64(4003);
    QTest::newRow("not running") << qint64(1000) << qint64(4003) << false << 1 << true << qint64(1001) << qint64(4003);
    QTest::newRow("counter dropped") << qint64(900000) << qint64(500) << true << 1 << true << qint64(0) << qint64(500);
    QTest::newRow("unreadable") << qint64(1000) << qint64(-1) << true << 1 << false << qint64(0) << qint64(1000);
    QTest::newRow("two periods") << qint64(0) << qint64(6000) << true << 2 << true << qint64(1000) << qint64(6000);
}

void TestPortState::ratesOfTwoReadings()
{
    QFETCH(qint64, first);
    QFETCH(qint64, second);
    QFETCH(bool, running);
    QFETCH(int, periods);
    QFETCH(bool, hasRate);
    QFETCH(qint64, rate);
    QFETCH(qint64, counter);
    PortReadings r;
    r.start({{"eth0", first}});
    QCOMPARE(r.rows().size(), 1);
    QVERIFY(!r.rows()[0].running);   // grey until the first tick
    QVERIFY(!r.rows()[0].hasRate);
    QMap<QString, qint64> now{{"eth0", second}, {"eth9", 77}};
    r.apply({{"eth0", running}}, second < 0 ? nullptr : &now, periods);
    const QVector<PortRow> rows = r.rows();
    QCOMPARE(rows[0].name, QStringLiteral("eth0"));
    QCOMPARE(rows[0].running, running);
    QCOMPARE(rows[0].hasRate, hasRate);
    QCOMPARE(rows[0].bytesPerSecond, rate);
    QCOMPARE(r.counters.value("eth0"), counter);
    if (second >= 0) {
        // A port seen for the first time has its count and no rate yet.
        QCOMPARE(rows.size(), 2);
        QVERIFY(!rows[1].hasRate);
        QVERIFY(!rows[1].running);
    }
}

void TestPortState::monitorRunsIfconfigWithoutWaiting()
{
    TestEnv env;
    env.writeFile("proc/net/dev", procNetDevText(1000, 50, 0));
    PortStateMonitor m;
    QSignalSpy updated(&m, &PortStateMonitor::updated);
    m.start();
    QVERIFY(m.active());
    QCOMPARE(m.readings().counters.keys(), (QStringList{"eth0", "eth1", "wlan0"}));
    QVERIFY(env.runner->calls().empty());   // nothing runs at the press

    m.tick();
    QCOMPARE(env.runner->lines(), (QStringList{"ifconfig"}));
    QVERIFY(m.waiting());
    env.writeFile("proc/net/dev", procNetDevText(4000, 50, 30));
    RunningCommand* c = env.runner->started().last();
    QVERIFY(c);
    c->deliverOutput(QByteArray(kIfconfig).left(60));
    c->deliverOutput(QByteArray(kIfconfig).mid(60));
    c->deliverFinished(0);
    QVERIFY(!m.waiting());
    const QVector<PortRow> rows = m.readings().rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].bytesPerSecond, qint64(1000));
    QVERIFY(rows[0].running);
    QVERIFY(!rows[1].running);
    QCOMPARE(rows[2].bytesPerSecond, qint64(10));
    QCOMPARE(updated.count(), 2);

    m.stop();
    QVERIFY(!m.active());
}

void TestPortState::tickStillWaitingSkipsTheNext()
{
    TestEnv env;
    env.writeFile("proc/net/dev", procNetDevText(0, 0, 0));
    PortStateMonitor m;
    m.start();
    m.tick();
    m.tick();   // the first ifconfig has not ended
    QCOMPARE(env.runner->lines(), (QStringList{"ifconfig"}));
    QCOMPARE(m.skippedTicks(), 1);
    env.writeFile("proc/net/dev", procNetDevText(6000, 0, 0));
    env.runner->started().last()->deliverFinished(0);
    // The reading spans both periods.
    QCOMPARE(m.readings().rows()[0].bytesPerSecond, qint64(1000));
    m.tick();
    QCOMPARE(env.runner->lines().size(), 2);
}

void TestPortState::ifconfigWithoutEndIsJudgedAfterItsLimit()
{
    TestEnv env;
    env.writeFile("proc/net/dev", procNetDevText(0, 0, 0));
    PortStateMonitor m;
    m.start();
    m.tick();
    QPointer<RunningCommand> c = env.runner->started().last();
    c->deliverOutput("eth0: flags=4163<UP,RUNNING>  mtu 1500\n");
    QTRY_VERIFY_WITH_TIMEOUT(!m.waiting(), PortStateMonitor::kIfconfigLimitMs + 2000);
    QVERIFY(m.readings().running.value("eth0"));
    QCOMPARE(env.runner->signalsSent(0).size(), 1);   // the hung command is killed
}

QTEST_MAIN(TestPortState)
#include "tst_portstate.moc"
