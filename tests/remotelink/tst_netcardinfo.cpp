// The network-card information the relay link reports: the card map from
// the interface list and the route table, the hardware-address map, and the
// route command run through the command runner with its short time-out.
#include "netcardinfo.h"
#include "testenv.h"

#include <QHostInfo>
#include <QtTest>

namespace {
using Cards = QMap<QString, QStringList>;
using Macs = QMap<QString, QString>;
using Interfaces = QList<InterfaceRecord>;

const QStringList kNone{"0.0.0.0", "0.0.0.0", "0.0.0.0"};

// The panel as usually wired: loopback, a card with an address and one
// without.
Interfaces panelInterfaces()
{
    return {{"lo", "00:00:00:00:00:00", "127.0.0.1", "255.0.0.0"},
            {"eth0", "00:1A:2B:3C:4D:5E", "192.168.1.10", "255.255.255.0"},
            {"eth1", "00:1A:2B:3C:4D:5F", "", ""}};
}

// Answers "ip" with canned text and keeps the time-out it was given.
class RouteRunner : public RecordingCommandRunner {
public:
    QByteArray routeText;
    int lastTimeoutMs = -1;

protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override
    {
        RecordingCommandRunner::execute(program, args, timeoutMs);
        lastTimeoutMs = timeoutMs;
        CommandResult r;
        r.output = routeText;
        return r;
    }
};
}  // namespace

Q_DECLARE_METATYPE(Interfaces)

class TestNetCardInfo : public QObject {
    Q_OBJECT
private slots:
    void cardMap_data();
    void cardMap();
    void macMap_data();
    void macMap();
    void routeRunsThroughTheRunnerWithShortTimeout();
};

void TestNetCardInfo::cardMap_data()
{
    QTest::addColumn<Interfaces>("interfaces");
    QTest::addColumn<QString>("route");
    QTest::addColumn<Cards>("cards");

    const Cards noGateway{{"eth0", {"192.168.1.10", "255.255.255.0", "0.0.0.0"}}, {"eth1", kNone}};
    const Cards eth0Gateway{{"eth0", {"192.168.1.10", "255.255.255.0", "192.168.1.1"}}, {"eth1", kNone}};
    const Cards eth1Gateway{{"eth0", {"192.168.1.10", "255.255.255.0", "0.0.0.0"}},
                            {"eth1", {"0.0.0.0", "0.0.0.0", "10.0.0.1"}}};

    QTest::newRow("the panel: default route on eth0, trailing blank")
        << panelInterfaces()
        << "default via 192.168.1.1 dev eth0 \n192.168.1.0/24 dev eth0 proto kernel scope link src 192.168.1.10 \n"
        << eth0Gateway;
    QTest::newRow("line end without a blank does not glue the next line")
        << panelInterfaces() << "default via 192.168.1.1 dev eth0\n10.0.0.0/8 via 10.0.0.1 dev eth1\n" << eth0Gateway;
    QTest::newRow("route to an unknown interface changes nothing")
        << panelInterfaces() << "default via 10.9.9.1 dev wlan9 proto dhcp\ndefault via 192.168.1.1 dev eth0\n"
        << noGateway;
    QTest::newRow("no via") << panelInterfaces() << "192.168.1.0/24 dev eth0 proto kernel scope link\n" << noGateway;
    QTest::newRow("first qualifying line of several")
        << panelInterfaces()
        << "192.168.1.0/24 dev eth0 scope link\n"
           "blackhole via 1.2.3.4 dev\n"
           "10.0.0.0/8 via 10.0.0.1 dev eth1 metric 5\n"
           "default via 192.168.1.1 dev eth0\n"
        << eth1Gateway;
    QTest::newRow("via inside a word is not the word") << panelInterfaces() << "default xvia 192.168.1.1 dev eth0\n"
                                                       << noGateway;
    QTest::newRow("silent route command") << panelInterfaces() << "" << noGateway;
    QTest::newRow("no interfaces") << Interfaces{} << "default via 192.168.1.1 dev eth0\n" << Cards{};
    QTest::newRow("only lo is left out: wlo1 and lo2 listed")
        << Interfaces{{"lo", "", "127.0.0.1", "255.0.0.0"},
                      {"wlo1", "a0:b1:c2:d3:e4:f5", "172.16.0.5", "255.255.0.0"},
                      {"lo2", "", "", ""}}
        << "default via 172.16.0.1 dev wlo1 proto dhcp src 172.16.0.5 metric 600\n"
        << Cards{{"wlo1", {"172.16.0.5", "255.255.0.0", "172.16.0.1"}}, {"lo2", kNone}};
}

void TestNetCardInfo::cardMap()
{
    QFETCH(Interfaces, interfaces);
    QFETCH(QString, route);
    QFETCH(Cards, cards);
    QCOMPARE(BuildCardInfo(interfaces, route), cards);
}

void TestNetCardInfo::macMap_data()
{
    QTest::addColumn<Interfaces>("interfaces");
    QTest::addColumn<Macs>("macs");
    QTest::newRow("the panel, lower case, no lo")
        << panelInterfaces() << Macs{{"eth0", "00:1a:2b:3c:4d:5e"}, {"eth1", "00:1a:2b:3c:4d:5f"}};
    QTest::newRow("wlo1 keeps its address")
        << Interfaces{{"wlo1", "A0:B1:C2:D3:E4:F5", "172.16.0.5", "255.255.0.0"}} << Macs{{"wlo1", "a0:b1:c2:d3:e4:f5"}};
    QTest::newRow("no hardware address, no entry")
        << Interfaces{{"tun0", "", "10.8.0.2", "255.255.255.0"}, {"eth0", "00:1A:2B:3C:4D:5E", "", ""}}
        << Macs{{"eth0", "00:1a:2b:3c:4d:5e"}};
}

void TestNetCardInfo::macMap()
{
    QFETCH(Interfaces, interfaces);
    QFETCH(Macs, macs);
    QCOMPARE(BuildMacMap(interfaces), macs);
}

// The readers over this machine's interfaces: the route command goes through
// the runner with 2 s, and its answer reaches the listed interface.
void TestNetCardInfo::routeRunsThroughTheRunnerWithShortTimeout()
{
    TestEnv env;
    auto runner = std::make_shared<RouteRunner>();
    setCommandRunner(runner);
    const Interfaces system = SystemInterfaces();
    QString target;
    for (const InterfaceRecord& r : system)
        if (r.name != "lo")
            target = r.name;
    runner->routeText = QStringLiteral("default via 192.0.2.1 dev %1 proto static\n").arg(target).toUtf8();

    const NetCard card = ReadNetCard();
    QCOMPARE(runner->lines(), QStringList{"ip route show"});
    QCOMPARE(runner->lastTimeoutMs, kRouteTimeoutMs);
    QCOMPARE(card.hostName, QHostInfo::localHostName());
    QVERIFY(!card.cardInfo.contains("lo"));
    QVERIFY(!card.macAddr.contains("lo"));
    for (const QStringList& entry : card.cardInfo)
        QCOMPARE(entry.size(), 3);
    for (const QString& mac : card.macAddr)
        QCOMPARE(mac, mac.toLower());
    if (target.isEmpty())
        QSKIP("this machine lists no interface but lo");
    QCOMPARE(card.cardInfo.value(target).value(2), QStringLiteral("192.0.2.1"));
}

QTEST_GUILESS_MAIN(TestNetCardInfo)
#include "tst_netcardinfo.moc"
