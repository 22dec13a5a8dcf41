// The network files handed to the system and the connection test's
// judgements, as pure functions: route and ping output, the hosts file,
// the MAC register on a fake sysfs tree, netplan_prejson.txt's bytes, host
// names, and the atomic writer in "./cnt_net".
#include "networkfiles.h"
#include "paths.h"
#include "readonlyfolder.h"
#include "testenv.h"

#include <QDir>
#include <QtTest>

using namespace netfiles;

namespace {

NetCard Card(const QMap<QString, QStringList>& info)
{
    NetCard c;
    c.cardInfo = info;
    return c;
}

}  // namespace

class TestNetworkFiles : public QObject {
    Q_OBJECT
private slots:
    void routeGateway_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("gateway");
        QTest::newRow("default route") << "default via 192.168.1.1 dev eth0 proto static metric 100\n"
                                          "192.168.1.0/24 dev eth0 proto kernel scope link src 192.168.1.10\n"
                                       << "192.168.1.1";
        QTest::newRow("no via") << "192.168.1.0/24 dev eth0 proto kernel scope link src 192.168.1.10\n" << "";
        QTest::newRow("via, one word after") << "default via 10.0.0.1" << "";
        // Two more words suffice here (the link's own reader wants three).
        QTest::newRow("via, two words after") << "default via 10.0.0.1 dev" << "10.0.0.1";
        QTest::newRow("first via route taken") << "10.1.0.0/16 via 10.0.0.7 dev eth1\ndefault via 10.0.0.1 dev eth0"
                                                   << "10.0.0.7";
        QTest::newRow("empty") << "" << "";
    }
    void routeGateway()
    {
        QFETCH(QString, route);
        QFETCH(QString, gateway);
        QCOMPARE(RouteGateway(route), gateway);
    }

    void pingReachable_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("up");
        QTest::newRow("answer") << "PING 192.168.1.1 (192.168.1.1) 56(84) bytes of data.\n"
                                   "64 bytes from 192.168.1.1: icmp_seq=1 ttl=64 time=0.045 ms\n"
                                << true;
        QTest::newRow("zero time") << "64 bytes from 192.168.1.1: icmp_seq=1 ttl=64 time=0.000 ms\n" << false;
        QTest::newRow("no time=") << "From 192.168.1.10 icmp_seq=1 Destination Host Unreachable\n"
                                     "3 packets transmitted, 0 received, 100% packet loss, time 2003ms\n"
                                  << false;
        QTest::newRow("whole milliseconds") << "64 bytes from 114.114.114.114: icmp_seq=2 ttl=57 time=31 ms" << true;
        QTest::newRow("empty") << "" << false;
    }
    void pingReachable()
    {
        QFETCH(QString, output);
        QFETCH(bool, up);
        QCOMPARE(PingReachable(output), up);
    }

    void hostsFile_data()
    {
        QTest::addColumn<QByteArray>("system");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray head = "127.0.1.1\tpress8\n127.0.0.1\tpress8\n\n\n";
        // Debian's own file: localhost stays, the old name's line goes.
        QTest::newRow("debian") << QByteArray("127.0.0.1\tlocalhost\n127.0.1.1\tpress7\n\n"
                                              "# The following lines are desirable for IPv6 capable hosts\n"
                                              "::1     localhost ip6-localhost ip6-loopback\n"
                                              "ff02::1 ip6-allnodes\nff02::2 ip6-allrouters\n")
                                << head + "127.0.0.1\tlocalhost\n"
                                          "# The following lines are desirable for IPv6 capable hosts\n"
                                          "::1     localhost ip6-localhost ip6-loopback\n"
                                          "ff02::1 ip6-allnodes\nff02::2 ip6-allrouters\n\n";
        // A file an earlier rename wrote comes out as that rename's rule gives
        // it: the old lines in front of the "#" go, every element gets "\n".
        QTest::newRow("panel written") << QByteArray("127.0.1.1\tpress7\n127.0.0.1\tpress7\n\n\n# panel\n10.0.0.5 server\n")
                                       << head + "# panel\n10.0.0.5 server\n\n";
        QTest::newRow("no # line, kept whole") << QByteArray("127.0.0.1 localhost\n127.0.1.1 press7\n")
                                               << head + "127.0.0.1 localhost\n127.0.1.1 press7\n\n";
        QTest::newRow("other name kept") << QByteArray("127.0.1.1 press7 extra\n10.0.0.9 press7\n#\n")
                                         << head + "127.0.1.1 press7 extra\n#\n\n";
        QTest::newRow("no file") << QByteArray() << head + "\n";
    }
    void hostsFile()
    {
        QFETCH(QByteArray, system);
        QFETCH(QByteArray, expected);
        QCOMPARE(HostsFile(system, QStringLiteral("press7"), QStringLiteral("press8")), expected);
    }

    void hostsFileKeepsALongFileWhole()
    {
        QByteArray system = "127.0.0.1\tlocalhost\n# hosts of the plant\n";
        for (int i = 0; system.size() < 20 * 1024; ++i)
            system += QByteArray("10.20.") + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250) +
                      " machine-" + QByteArray::number(i) + "\n";
        system += "10.99.99.99 last-line\n";
        const QByteArray out = HostsFile(system, QStringLiteral("press7"), QStringLiteral("press8"));
        QVERIFY(system.size() > 20 * 1024);
        QCOMPARE(out, QByteArray("127.0.1.1\tpress8\n127.0.0.1\tpress8\n\n\n") + system + "\n");
    }

    void hostnameFileHasNoLineEnd() { QCOMPARE(HostnameFile(QStringLiteral("press-8")), QByteArray("press-8")); }

    void macRegisterOnFakeSysfs()
    {
        TestEnv env;
        env.writeFile("sys/class/net/eth0/address", "00:11:22:33:44:55\n");
        env.writeFile("sys/class/net/eth2/address", "66:77:88:99:aa:bb\n");
        // eth1's address is no file that opens.
        QVERIFY(QDir().mkpath(env.path("sys/class/net/eth1/address")));
        const QByteArray old = "00:11:22:33:44:55=192.168.1.10;255.255.255.0;192.168.1.1\n"
                               "aa:bb:cc:dd:ee:ff=10.0.0.2;255.0.0.0;10.0.0.1\n"
                               "not an entry\n"
                               "a=b=c\n"
                               "ff:ff:ff:ff:ff:01=10.0.0.3;255.0.0.0;10.0.0.1";   // last line without its end
        const NetCard edited = Card({{"eth0", {"192.168.1.20", "255.255.255.0", "192.168.1.1"}},
                                     {"eth1", {"10.1.1.1", "255.255.0.0", "10.1.0.1"}},
                                     {"eth2", {"0.0.0.0", "0.0.0.0", "0.0.0.0"}}});
        const std::optional<QByteArray> out = UpdateMacRegister(old, edited, SysfsAddressReader());
        QVERIFY(out);
        // The changed address replaced, the vanished interface kept, the
        // unreadable one skipped, sorted by MAC.
        QCOMPARE(*out, QByteArray("00:11:22:33:44:55=192.168.1.20;255.255.255.0;192.168.1.1\n"
                                  "66:77:88:99:aa:bb=0.0.0.0;0.0.0.0;0.0.0.0\n"
                                  "aa:bb:cc:dd:ee:ff=10.0.0.2;255.0.0.0;10.0.0.1\n"
                                  "ff:ff:ff:ff:ff:01=10.0.0.3;255.0.0.0;10.0.0.1\n"));

        // No entry at all: the file is left as it was.
        QVERIFY(!UpdateMacRegister(QByteArray("junk\n"), Card({{"eth1", {"1.1.1.1", "2.2.2.2", "3.3.3.3"}}}),
                                   SysfsAddressReader()));
        QVERIFY(!UpdateMacRegister(std::nullopt, NetCard(), SysfsAddressReader()));
    }

    void netplanJsonBytes()
    {
        NetCard edited = Card({{"eth0", {"192.168.1.10", "255.255.255.0", "192.168.1.1"}},
                               {"eth1", {"0.0.0.0", "0.0.0.0", "0.0.0.0"}},
                               {"eth9", {"1.2.3.4", "255.0.0.0"}}});   // not three texts: left out
        const QMap<QString, QString> macs{{"eth0", "00:11:22:33:44:55"}, {"wlan0", "aa:aa:aa:aa:aa:aa"}};
        QCOMPARE(NetplanJson(edited, macs), QByteArray("{\n"
                                                       "\t\"netcard_info\":\t[{\n"
                                                       "\t\t\t\"name\":\t\"eth0\",\n"
                                                       "\t\t\t\"mac\":\t\"00:11:22:33:44:55\",\n"
                                                       "\t\t\t\"address\":\t\"192.168.1.10\",\n"
                                                       "\t\t\t\"netmask\":\t\"255.255.255.0\",\n"
                                                       "\t\t\t\"gateway\":\t\"192.168.1.1\"\n"
                                                       "\t\t}, {\n"
                                                       "\t\t\t\"name\":\t\"eth1\",\n"
                                                       "\t\t\t\"mac\":\t\"\",\n"
                                                       "\t\t\t\"address\":\t\"0.0.0.0\",\n"
                                                       "\t\t\t\"netmask\":\t\"0.0.0.0\",\n"
                                                       "\t\t\t\"gateway\":\t\"0.0.0.0\"\n"
                                                       "\t\t}]\n"
                                                       "}"));
        QCOMPARE(NetplanJson(NetCard(), {}), QByteArray("{\n\t\"netcard_info\":\t[]\n}"));
    }

    void validHostName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        const QString l63(63, QLatin1Char('a'));
        QTest::newRow("plain") << "press7" << true;
        QTest::newRow("dotted, mixed case") << "Press-7.plant.local" << true;
        QTest::newRow("label of 63") << l63 << true;
        QTest::newRow("label of 64") << QString(64, QLatin1Char('a')) << false;
        QTest::newRow("253 in all") << l63 + "." + l63 + "." + l63 + "." + QString(61, QLatin1Char('b')) << true;
        QTest::newRow("254 in all") << l63 + "." + l63 + "." + l63 + "." + QString(62, QLatin1Char('b')) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank") << "press 7" << false;
        QTest::newRow("line break") << "press7\n10.0.0.1 evil" << false;
        QTest::newRow("a..b") << "a..b" << false;
        QTest::newRow("trailing dot") << "press7." << false;
        QTest::newRow("leading hyphen") << "-press" << false;
        QTest::newRow("trailing hyphen") << "press-" << false;
        QTest::newRow("underscore") << "press_7" << false;
        QTest::newRow("Chinese") << QString::fromUtf8("注塑机7") << false;
    }
    void validHostName()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(ValidHostName(name), valid);
    }

    void writerMakesTheFolderAndReplacesWhole()
    {
        TestEnv env;
        QVERIFY(!QDir(env.path("cnt_net")).exists());
        QVERIFY(WriteFile(kHostnameFile, "press7"));
        QCOMPARE(env.readFile("cnt_net/ls_hostname"), QByteArray("press7"));
        QVERIFY(WriteFile(kHostnameFile, "p8"));
        QCOMPARE(env.readFile("cnt_net/ls_hostname"), QByteArray("p8"));
    }

    void writerReportsAFolderThatRefuses()
    {
        TestEnv env;
        QVERIFY(WriteFile(kHostnameFile, "press7"));
        ReadOnlyFolder ro(env.path("cnt_net"));
        if (!ro.ok())
            QSKIP("the folder cannot be made read-only here");
        QString why;
        QVERIFY(!WriteFile(kHostnameFile, "press8", &why));
        QVERIFY(!why.isEmpty());
        QCOMPARE(env.readFile("cnt_net/ls_hostname"), QByteArray("press7"));   // the old file stays
    }
};

QTEST_MAIN(TestNetworkFiles)
#include "tst_networkfiles.moc"
