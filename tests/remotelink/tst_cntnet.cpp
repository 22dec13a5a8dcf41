// The relay link over real loopback sockets, its timers in virtual time:
// the remote-system switch, loopback only, connections, replies, the
// heartbeat and the relay restarts, the enable table.
#include "cnt_net.h"
#include "testenv.h"
#include "virtualscheduler.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <glog/logging.h>

#include <csignal>
#include <memory>
#include <vector>

namespace {
// A PARAM.db whose "sysparam" table holds the given "CntNet" row (none when
// value is null).
void writeParamDb(const QString& path, const QVariant& value)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("create table sysparam (name text, value text)")));
        QVERIFY(q.exec(QStringLiteral("insert into sysparam values ('system1', '1 1 1')")));
        if (!value.isNull()) {
            QVERIFY(q.prepare(QStringLiteral("insert into sysparam values ('CntNet', ?)")));
            q.addBindValue(value);
            QVERIFY(q.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

bool accepts(const QHostAddress& address, quint16 port)
{
    QTcpSocket s;
    s.connectToHost(address, port);
    return s.waitForConnected(2000);
}

class InfoLines : public google::LogSink {
public:
    InfoLines() { google::AddLogSink(this); }
    ~InfoLines() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&,
              const char* message, size_t length) override
    {
        lines << QString::fromUtf8(message, int(length));
    }
    int count(const QString& line) const { return int(lines.count(line)); }
    QStringList lines;
};

const QByteArray kAck("/back/\r\n\r\n");
const QByteArray kHeart("/heart/\r\n\r\n");
const QByteArray kReline("/reline/\r\n\r\n");

// A link on a free port with its timers on a virtual scheduler and a
// counting relay starter; relays are client sockets of the test.
struct Rig {
    TestEnv env;
    VirtualScheduler sched{env.clock};
    int starts = 0;
    std::unique_ptr<CNT_Net> net;
    std::vector<std::unique_ptr<QTcpSocket>> relays;

    explicit Rig(const QVariant& netSwitch = QStringLiteral("1 0 0"), quint16 port = 0, bool virtualTimers = true)
    {
        if (!netSwitch.isNull())
            writeParamDb(env.path("PARAM.db"), netSwitch);
        CntNetOptions o;
        o.port = port;
        o.timers = virtualTimers ? &sched : nullptr;
        o.startRelay = [this] { ++starts; };
        net = std::make_unique<CNT_Net>(o);
    }
    QTcpSocket& connectRelay()
    {
        relays.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket& s = *relays.back();
        s.connectToHost(QHostAddress::LocalHost, net->port());
        return s;
    }
    // Writes one batch and waits until the link has read it.
    bool reply(QTcpSocket& relay, const QByteArray& batch)
    {
        const int before = net->batchesRead();
        relay.write(batch);
        relay.flush();
        QElapsedTimer t;
        t.start();
        while (net->batchesRead() == before && t.elapsed() < 5000)
            QTest::qWait(1);
        return net->batchesRead() > before;
    }
    // Everything the relay has received until `bytes` have come.
    static QByteArray receive(QTcpSocket& relay, int bytes)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < bytes && t.elapsed() < 5000) {
            QTest::qWait(1);
            got += relay.readAll();
        }
        return got;
    }
};
}

class TestCntNet : public QObject {
    Q_OBJECT
private slots:
    void remoteSwitch_data();
    void remoteSwitch();
    void offDoesNothing();
    void listensOnLoopbackOnly();
    void sendsAcksAndAnswers();
    void newestConnectionWins();
    void heartbeat_data();
    void heartbeat();
    void takenPortStartsTheRelayOnceListening();
    void enableTable();
    void realAckTime();
    void keepsOneVideoSharePerCamera();
    void superviseItsRelayChild();
    void windowMessagesWaitForTheWindow();
};

void TestCntNet::remoteSwitch_data()
{
    QTest::addColumn<bool>("haveDb");
    QTest::addColumn<QVariant>("row");
    QTest::addColumn<bool>("on");
    QTest::newRow("no PARAM.db") << false << QVariant() << false;
    QTest::newRow("no CntNet row") << true << QVariant() << false;
    QTest::newRow("empty row") << true << QVariant(QString()) << false;
    QTest::newRow("off") << true << QVariant(QStringLiteral("0 1 8890")) << false;
    QTest::newRow("on") << true << QVariant(QStringLiteral("1 0 0")) << true;
    QTest::newRow("on, any non-zero") << true << QVariant(QStringLiteral("2")) << true;
    QTest::newRow("tab separated") << true << QVariant(QStringLiteral("1\t0")) << true;
    QTest::newRow("too large saturates") << true << QVariant(QStringLiteral("99999999999 0")) << true;
    QTest::newRow("stored as blob") << true << QVariant(QByteArray("1 0")) << true;
    QTest::newRow("not a number") << true << QVariant(QStringLiteral("on")) << false;
}

// The link reads the switch as the parameter record does, and listens only
// when it is on.
void TestCntNet::remoteSwitch()
{
    QFETCH(bool, haveDb);
    QFETCH(QVariant, row);
    QFETCH(bool, on);
    TestEnv env;
    if (haveDb)
        writeParamDb(env.path("PARAM.db"), row);
    InfoLines log;
    CNT_Net net(nullptr, 0);
    QCOMPARE(net.serverOpen(), on);
    QCOMPARE(net.listening(), on);
    QCOMPARE(QFileInfo(env.path("cnt_net/data")).isDir(), on);
    QCOMPARE(log.count("CNT: server is alread open..."), on ? 1 : 0);
    QCOMPARE(log.count("ErrorOpen"), haveDb ? 0 : 1);
    QCOMPARE(QFileInfo::exists(env.path("PARAM.db")), haveDb);
    if (on) {
        QVERIFY(net.port() != 0);
        QVERIFY(accepts(QHostAddress::LocalHost, net.port()));
    } else {
        QCOMPARE(net.port(), quint16(0));
    }
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("isopen")));
}

// Off: no port, no timer, no queue, no relay.
void TestCntNet::offDoesNothing()
{
    for (const QVariant& row : {QVariant(QStringLiteral("0")), QVariant()}) {
        Rig rig(row);
        QVERIFY(!rig.net->listening());
        QCOMPARE(rig.sched.activeTimers(), 0);
        rig.net->CNT_SendGetProduct();
        rig.net->enqueue(SendTypeStatistics, "{}");
        rig.net->CNT_ReStart();
        QVERIFY(rig.net->queued().isEmpty());
        QCOMPARE(rig.starts, 0);
    }
}

// The relay runs on this machine; nothing else may reach the link.
void TestCntNet::listensOnLoopbackOnly()
{
    Rig rig;
    QCOMPARE(rig.net->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    int tried = 0;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() != QAbstractSocket::IPv4Protocol || a.isLoopback())
            continue;
        ++tried;
        QVERIFY2(!accepts(a, rig.net->port()), qPrintable(a.toString()));
    }
    if (tried == 0)
        qInfo("no non-loopback IPv4 address on this machine");
}

// Frames go out one at a time, an ack lets the next go, two batches in one
// read are ignored whole, and the query answers come out as a signal.
void TestCntNet::sendsAcksAndAnswers()
{
    Rig rig;
    InfoLines log;
    QSignalSpy answers(rig.net.get(), &CNT_Net::relayAnswer);
    rig.net->CNT_SendGetProduct();
    rig.net->CNT_SendGetRemindList();
    QCOMPARE(rig.net->queued().size(), 2);
    QTcpSocket& relay = rig.connectRelay();
    QCOMPARE(Rig::receive(relay, 8), QByteArray("14:0:..!"));
    QVERIFY(rig.net->linkAlive());
    QCOMPARE(log.count("CNT: new connected"), 1);

    QVERIFY(rig.reply(relay, kAck + kAck));   // ignored whole: nothing acknowledged
    QCOMPARE(rig.net->queued().size(), 2);
    QVERIFY(rig.reply(relay, kAck));
    QCOMPARE(Rig::receive(relay, 8), QByteArray("17:0:..!"));
    QCOMPARE(rig.net->queued().size(), 1);

    QVERIFY(rig.reply(relay, "/answer/\r\nSessionId: 17\r\n\r\n{\"rows\":[]}"));
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers[0][0].toInt(), 17);
    QCOMPARE(answers[0][1].toByteArray(), QByteArray("{\"rows\":[]}"));

    relay.disconnectFromHost();
    QTRY_VERIFY(!rig.net->linkAlive());
    QCOMPARE(log.count("CNT: has disconnect"), 1);
    QCOMPARE(rig.net->queued().size(), 1);   // kept for the next relay
    QVERIFY(rig.net->relaySocket() == nullptr);
}

// A second relay connection replaces the first, which is closed; the old
// one's signals do not touch the new one.
void TestCntNet::newestConnectionWins()
{
    Rig rig;
    InfoLines log;
    QTcpSocket& first = rig.connectRelay();
    QTRY_VERIFY(rig.net->relaySocket() != nullptr);
    QTcpSocket* firstOnServer = rig.net->relaySocket();
    QTcpSocket& second = rig.connectRelay();
    QTRY_VERIFY(rig.net->relaySocket() != firstOnServer && rig.net->relaySocket() != nullptr);
    QTRY_COMPARE(first.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(rig.net->linkAlive());
    QCOMPARE(log.count("CNT: has disconnect"), 0);
    rig.net->CNT_SendGetProduct();
    QCOMPARE(Rig::receive(second, 8), QByteArray("14:0:..!"));
}

void TestCntNet::heartbeat_data()
{
    QTest::addColumn<QStringList>("steps");
    // Steps "<ms> connect|disconnect|beat|reline", "<ms> clock <±ms>" (wall
    // clock only), "<ms> expect <alive> <starts>".
    QTest::newRow("no beat: dead at the first tick, one restart")
        << QStringList{"0 connect", "59999 expect 1 0", "60000 expect 0 1", "119999 expect 0 1"};
    QTest::newRow("beats every 30 s keep it alive")
        << QStringList{"0 connect", "30000 beat", "90000 beat", "150000 beat", "210000 beat", "270000 beat",
                       "300000 expect 1 0"};
    QTest::newRow("reline restarts at once, each time")
        << QStringList{"0 connect", "1000 reline", "1000 expect 0 1", "2000 reline", "2000 expect 0 2",
                       "3000 beat", "3000 expect 1 2", "60000 expect 1 2"};
    QTest::newRow("the wall clock set +-2 h changes nothing")
        << QStringList{"0 connect", "30000 beat", "40000 clock 7200000", "60000 expect 1 0",
                       "70000 clock -14400000", "90000 beat", "120000 expect 1 0"};
    QTest::newRow("a fresh tick after a disconnect keeps it dead")
        << QStringList{"0 connect", "30000 beat", "40000 disconnect", "40000 expect 0 0", "60000 expect 0 0",
                       "120000 expect 0 1"};
}

void TestCntNet::heartbeat()
{
    QFETCH(QStringList, steps);
    Rig rig;
    InfoLines log;
    QTcpSocket* relay = nullptr;
    for (const QString& step : steps) {
        const QStringList w = step.split(QLatin1Char(' '));
        rig.sched.advanceTo(w[0].toLongLong());
        const QString& op = w[1];
        if (op == QLatin1String("connect")) {
            relay = &rig.connectRelay();
            QTRY_VERIFY(rig.net->linkAlive());
        } else if (op == QLatin1String("disconnect")) {
            relay->disconnectFromHost();
            QTRY_VERIFY(rig.net->relaySocket() == nullptr);
        } else if (op == QLatin1String("beat")) {
            QVERIFY(rig.reply(*relay, kHeart));
        } else if (op == QLatin1String("reline")) {
            QVERIFY(rig.reply(*relay, kReline));
        } else if (op == QLatin1String("clock")) {
            rig.env.clock->set(rig.env.clock->now().addMSecs(w[2].toLongLong()));
        } else if (op == QLatin1String("expect")) {
            QVERIFY2(rig.net->linkAlive() == (w[2] == QLatin1String("1")), qPrintable(step));
            QVERIFY2(rig.starts == w[3].toInt(), qPrintable(QStringLiteral("%1: %2 starts").arg(step).arg(rig.starts)));
        }
    }
    const int timeouts = log.count("(hearttimes timeout) 'NetClinet' will restart...");
    const int relines = log.count("(recv info) 'NetClinet' will restart...");
    QCOMPARE(timeouts + relines, rig.starts);
}

// Another program holds the port: the link is on but not listening, so no
// relay starts; once the port is free a tick listens and starts it once.
void TestCntNet::takenPortStartsTheRelayOnceListening()
{
    auto holder = std::make_unique<QTcpServer>();
    QVERIFY(holder->listen(QHostAddress::LocalHost, 0));
    const quint16 port = holder->serverPort();
    InfoLines log;
    Rig rig(QStringLiteral("1"), port);
    QVERIFY(rig.net->serverOpen());
    QVERIFY(!rig.net->listening());
    QCOMPARE(log.count("CNT: server is alread open..."), 0);
    QVERIFY(RelayReady(rig.net.get(), false));
    rig.net->CNT_ReStart();          // as at start-up
    rig.sched.advanceTo(60000);
    QCOMPARE(rig.starts, 0);
    QVERIFY(!rig.net->listening());
    holder.reset();
    rig.sched.advanceTo(120000);
    QVERIFY(rig.net->listening());
    QCOMPARE(rig.net->port(), port);
    QCOMPARE(log.count("CNT: server is alread open..."), 1);
    QCOMPARE(rig.starts, 1);
}

// {"7":false,"9":null,"2":"false"} switches off type 7 only; an off type
// queues nothing.
void TestCntNet::enableTable()
{
    TestEnv env;
    writeParamDb(env.path("PARAM.db"), QStringLiteral("1"));
    env.writeFile("cnt_net/whichsend.config", R"({"7":false,"9":null,"2":"false","14":false})");
    CNT_Net net(nullptr, 0);
    for (int t = 0; t < kSendTypeCount; ++t)
        QCOMPARE(net.sendEnabled(SendType(t)), t != 7 && t != 14);
    net.enqueue(SendTypeStatistics, "{}");
    net.CNT_SendGetProduct();
    QVERIFY(net.queued().isEmpty());
    net.enqueue(SendTypeParam, "{}");
    QCOMPARE(net.queued(), (QList<QByteArray>{"2:2:..!{}"}));
    QCOMPARE(env.readFile("cnt_net/whichsend.config"), QByteArray(R"({"7":false,"9":null,"2":"false","14":false})"));
}

// The real 5 s ack time: a message without ack is written again 5 s later.
void TestCntNet::realAckTime()
{
    Rig rig(QStringLiteral("1"), 0, false);
    rig.net->CNT_SendGetProduct();
    QElapsedTimer t;
    t.start();
    QTcpSocket& relay = rig.connectRelay();
    QCOMPARE(Rig::receive(relay, 8), QByteArray("14:0:..!"));
    QByteArray again;
    while (again.size() < 8 && t.elapsed() < 8000) {
        QTest::qWait(10);
        again += relay.readAll();
    }
    QCOMPARE(again, QByteArray("14:0:..!"));
    // Qt's coarse timers may fire up to 5 % early.
    QVERIFY2(t.elapsed() >= 4750 && t.elapsed() < 7000, qPrintable(QString::number(t.elapsed())));
}

// The camera views register their view pixels while the main window is
// built; the share reads them later, so each registration must be kept with
// its own buffer, and a camera registered again must not be shared twice.
void TestCntNet::keepsOneVideoSharePerCamera()
{
    TestEnv env;
    writeParamDb(env.path("PARAM.db"), QStringLiteral("1"));
    CNT_Net net(nullptr, 0);
    QVERIFY(net.videoShares().isEmpty());
    std::vector<quint32> view0(64 * 48), view3(64 * 48), view3Again(32 * 24);
    RelayLink& link = net;
    link.CNT_AddUseMemory(3, 64, 48, view3.data());
    link.CNT_AddUseMemory(0, 64, 48, view0.data());
    link.CNT_AddUseMemory(3, 32, 24, view3Again.data());

    const QList<VideoShareRegistration> shares = net.videoShares();
    QCOMPARE(shares.size(), 2);
    QCOMPARE(shares[0].id, 3);
    QCOMPARE(shares[0].width, 32);
    QCOMPARE(shares[0].height, 24);
    QCOMPARE(shares[0].frame, static_cast<void*>(view3Again.data()));
    QCOMPARE(shares[1].id, 0);
    QCOMPARE(shares[1].width, 64);
    QCOMPARE(shares[1].height, 48);
    QCOMPARE(shares[1].frame, static_cast<void*>(view0.data()));
    // Registering is no message for the relay.
    QVERIFY(net.queued().isEmpty());
}

void TestCntNet::superviseItsRelayChild()
{
    TestEnv env;
    VirtualScheduler sched{env.clock};
    writeParamDb(env.path(QStringLiteral("PARAM.db")), QStringLiteral("1 0 0"));
    CntNetOptions o;
    o.port = 0;
    o.timers = &sched;
    o.relayCommand = [] {
        RelayCommand c;
        c.program = QStringLiteral("relay");
        return c;
    };
    auto net = std::make_unique<CNT_Net>(o);
    QVERIFY(net->relayProcess());
    net->CNT_ReStart();
    QCOMPARE(env.runner->started().size(), 1);
    QCOMPARE(env.runner->started().front()->program(), QStringLiteral("relay"));
    // The link's end is its child's end.
    net.reset();
    QVERIFY(env.runner->signalsSent(0).contains(SIGTERM));

    // Off: no supervisor, nothing started.
    writeParamDb(env.path(QStringLiteral("off.db")), QStringLiteral("0"));
    o.paramDbPath = env.path(QStringLiteral("off.db"));
    net = std::make_unique<CNT_Net>(o);
    QVERIFY(!net->relayProcess());
    net->CNT_ReStart();
    QCOMPARE(env.runner->started().size(), 1);
}

void TestCntNet::windowMessagesWaitForTheWindow()
{
    Rig rig;
    // Before the main window exists: what reads it is not sent, and the
    // records keep their files as they were.
    rig.net->CNT_SendROIParam(0, 0);
    rig.net->CNT_SendStatistics_Once({}, true, 1);
    rig.net->CNT_SendCancle();
    rig.net->CNT_SendStatistics(QStringLiteral("null"));
    rig.net->CNT_SendManualStop();
    QVERIFY(rig.net->queued().isEmpty());
    QVERIFY(!QFile::exists(QStringLiteral("cnt_net/data/Statistics")));
    QVERIFY(!QFile::exists(QStringLiteral("cnt_net/data/ManualStop")));
    QCOMPARE(rig.net->bindUtc(), qint64(0));
    // What does not read it goes out.
    rig.net->CNT_SendTempPic(QStringLiteral("/tmp/x.bmp"));
    QCOMPARE(rig.net->queued().size(), 1);
}

QTEST_GUILESS_MAIN(TestCntNet)
#include "tst_cntnet.moc"

