// The relay link end to end over real loopback sockets, against the relay
// peer (its library on a thread of its own, or its program as a child), at
// scaled times: ack 200 ms, heartbeat 2000 ms with 1900 ms freshness.
#include "cammersingleton.h"
#include "childprobe.h"
#include "cnt_net.h"
#include "fakerelayhost.h"
#include "linkinbox.h"
#include "relaypeer.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QTimeZone>
#include <QTimer>
#include <QtTest>
#include <glog/logging.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <functional>
#include <future>
#include <memory>

using relaypeer::RelayPeer;

namespace {

const QString kHost = QStringLiteral("panel-07");
constexpr qint64 kNowMs = 1765432109876;

void writeParamDb(const QString& path, const QString& netSwitch)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("create table sysparam (name text, value text)")));
        QVERIFY(q.prepare(QStringLiteral("insert into sysparam values ('CntNet', ?)")));
        q.addBindValue(netSwitch);
        QVERIFY(q.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

class LogLines : public google::LogSink {
public:
    LogLines() { google::AddLogSink(this); }
    ~LogLines() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&,
              const char* message, size_t length) override
    {
        QMutexLocker lock(&mutex);
        lines << QString::fromUtf8(message, int(length));
    }
    int containing(const QString& part) const
    {
        QMutexLocker lock(&mutex);
        return int(lines.filter(part).size());
    }
    mutable QMutex mutex;
    QStringList lines;
};

// The area set of camera slot 0, detection 1: a rectangle, a ring 120/80,
// polygons of 0 and 5 points and a shape code that is none.
std::unique_ptr<CammerSingleton> shapeSet()
{
    auto set = std::make_unique<CammerSingleton>(2);
    const int d = 1;
    set->roiCount[d] = 5;
    set->roiShape[d][0] = RoiShapeRect;
    set->roiRect[d][0].rect = QRect(QPoint(40, 60), QPoint(140, 260));
    set->roiShape[d][1] = RoiShapeCircle;
    set->roiCircle[d][1].cx = 300;
    set->roiCircle[d][1].cy = 200;
    set->roiCircle[d][1].r1 = 120;
    set->roiCircle[d][1].r2 = 80;
    set->roiShape[d][2] = RoiShapePolygon;
    set->roiShape[d][3] = RoiShapePolygon;
    set->roiPolygon[d][3].setPoints({{1, 2}, {30, 4}, {50, 60}, {7, 80}, {0, 9}});
    set->roiShape[d][4] = 3;
    return set;
}

param_roi result(int camera, int detect, int roi, int ok)
{
    param_roi r;
    r.cameraId = camera;
    r.detectId = detect;
    r.roiId = roi;
    r.algorithmType = 1;
    r.algorithmResult = 7;
    r.algorithmPremin = 1;
    r.algorithmPremax = 9;
    r.stageOk = ok;
    return r;
}

// The parameter record and counters the bodies read.
struct Fixture {
    std::unique_ptr<WizardPara> para = std::make_unique<WizardPara>();
    int allNum[kCameraSlots] = {};
    int failNum[kCameraSlots] = {};
    char serials[kCameraSlots][kParamTextLen] = {};
    Fixture()
    {
        WizardPara::SetText(para->operatorName, QStringLiteral("李四"));
        WizardPara::SetText(para->productName, QStringLiteral("外壳A"));
        WizardPara::SetText(para->techName, QStringLiteral("王工"));
        WizardPara::SetText(para->techPhone, QStringLiteral("13800000000"));
        para->productSerial = 3;
        para->productNum = 5000;
        para->productMoldCavity = 4;
        for (int c = 0; c < kCameraSlots; ++c) {
            allNum[c] = 100 + c;
            failNum[c] = 10 + c;
        }
    }
    CatalogueInputs inputs() const
    {
        CatalogueInputs in;
        in.para = para.get();
        in.language = 1;
        in.allNum = allNum;
        in.failNum = failNum;
        in.serials = serials;
        return in;
    }
};

// A link on a free port with scaled times, a fake main window and a
// counting relay starter (unless the test supervises a real child).
struct LinkRig {
    TestEnv env;
    Fixture fixture;
    std::shared_ptr<FakeRelayHost> host = std::make_shared<FakeRelayHost>();
    std::unique_ptr<CammerSingleton> set = shapeSet();
    int starts = 0;
    std::unique_ptr<CNT_Net> net;

    explicit LinkRig(const QString& netSwitch = QStringLiteral("1 0 0"),
                     const std::function<void(CntNetOptions&)>& tweak = {})
    {
        env.clock->set(QDateTime::fromMSecsSinceEpoch(kNowMs, QTimeZone::utc()));
        if (!netSwitch.isNull())
            writeParamDb(env.path(QStringLiteral("PARAM.db")), netSwitch);
        host->sets[0] = set.get();
        CntNetOptions o;
        o.port = 0;
        o.heartbeatMs = 2000;
        o.freshnessMs = 1900;
        o.send.ackMs = 200;
        o.inputs = [this] { return fixture.inputs(); };
        o.readNetCard = [] {
            NetCard card;
            card.hostName = kHost;
            return card;
        };
        o.startRelay = [this] { ++starts; };
        if (tweak)
            tweak(o);
        net = std::make_unique<CNT_Net>(o);
        net->setRelayHost(host);
    }
    bool quiet(int ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            const CNT_Thread* w = net->sendWorker();
            if (w && w->queued().isEmpty() && !w->inFlight())
                return true;
            QTest::qWait(5);
        }
        return false;
    }
};

// Runs calls on the thread it lives on.  The calls cross through the inbox's
// mutex, which the race checker sees, not as functors through Qt's queue.
class ThreadCalls : public QObject {
    Q_OBJECT
public:
    LinkInbox inbox{this, "drain"};
    Q_INVOKABLE void drain() { inbox.drain(); }
};

// The peer library on a thread of its own, connecting to the link's port.
class PeerRig {
public:
    explicit PeerRig(quint16 port, const std::function<void(relaypeer::Options&)>& tweak = {})
    {
        relaypeer::Options o;
        o.port = port;
        o.heartbeatMs = 500;
        o.backoffMs = 50;
        o.backoffMaxMs = 200;
        if (tweak)
            tweak(o);
        peer = new RelayPeer(o);
        peer->moveToThread(&thread);
        calls.moveToThread(&thread);
        thread.start();
        on([this] { peer->start(); });
    }
    ~PeerRig()
    {
        on([this] { delete peer; });
        thread.quit();
        thread.wait();
        // Read under the inbox's lock: the peer thread's last drain comes
        // before whatever reuses this memory.
        if (!calls.inbox.empty())
            qWarning("peer thread ended with calls not run");
    }
    // Runs f on the peer's thread and waits for it.
    template <class F>
    void on(F f)
    {
        std::promise<void> done;
        std::future<void> finished = done.get_future();
        calls.inbox.post([&] {
            f();
            done.set_value();
        });
        finished.wait();
    }
    bool waitMessages(int n, int ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (peer->messageCount() < n && t.elapsed() < ms)
            QTest::qWait(5);
        return peer->messageCount() >= n;
    }
    QList<int> types() const
    {
        QList<int> out;
        for (const relaypeer::Message& m : peer->messages())
            out << m.type;
        return out;
    }
    // The types in order, a message repeated at once (a resend) counted once.
    QList<int> distinctTypes() const
    {
        QList<int> out;
        QByteArray last;
        for (const relaypeer::Message& m : peer->messages()) {
            const QByteArray key = QByteArray::number(m.type) + ':' + m.body;
            if (key != last)
                out << m.type;
            last = key;
        }
        return out;
    }
    bool connected(int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (!peer->isConnected() && t.elapsed() < ms)
            QTest::qWait(5);
        return peer->isConnected();
    }
    QThread thread;
    ThreadCalls calls;
    RelayPeer* peer = nullptr;
};

// A peer program started by the test (not by the link).
struct PeerProcess {
    QProcess process;
    PeerProcess(quint16 port, const QStringList& extra, const QString& dir)
    {
        process.setWorkingDirectory(dir);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(MM_RELAYPEER_PROGRAM),
                      QStringList{"--port", QString::number(port), "--heartbeat", "500", "--no-log"} + extra);
    }
    ~PeerProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

// Ages (stall, heartbeat, start spacing) measured on a clock that moves;
// made after the rig's TestEnv and gone before it.
struct RealClock {
    std::shared_ptr<Clock> old = setAppClock(std::make_shared<SystemClock>());
    ~RealClock() { setAppClock(old); }
};

QString fieldText(const QJsonValue& v)
{
    if (v.isDouble())
        return QString::number(qint64(v.toDouble()));
    if (v.isString())
        return v.toString();
    if (v.isArray())
        return QStringLiteral("[%1]").arg(v.toArray().size());
    return QStringLiteral("?");
}

}  // namespace

Q_DECLARE_METATYPE(RelayPeer::Fault)

class TestRelayIntegration : public QObject {
    Q_OBJECT
private slots:
    void catalogue();
    void acks_data();
    void acks();
    void enableTable();
    void off_data();
    void off();
    void loopbackOnly();
    void newestConnectionWins();
    void faults_data();
    void faults();
    void callsFromOtherThreadsKeepTheirOrder();
    void hungPeer_data();
    void hungPeer();
    void supervision_data();
    void supervision();
};

void TestRelayIntegration::catalogue()
{
    LinkRig rig;
    const QString picture = rig.env.path(QStringLiteral("RECORD/NG/100001.jpg"));
    const QString templ = rig.env.path(QStringLiteral("temp/temp_0003.bmp"));
    rig.env.writeFile(QStringLiteral("RECORD/NG/100001.jpg"), "jpeg");
    rig.env.writeFile(QStringLiteral("temp/temp_0003.bmp"), "bmp");
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(kNowMs - 5000, QTimeZone::utc());
    const QList<param_roi> results{result(0, 1, 0, 0), result(0, 1, 1, 1)};

    // Queued before the relay connects: they go out first, in order.
    rig.net->CNT_SendRecord(at, QStringLiteral("管理员"), QStringLiteral("a&b=c 中"));
    rig.net->CNT_SendParam();
    rig.net->CNT_SendROIParam(0, 1);
    QCOMPARE(rig.net->queued().size(), 3);

    PeerRig peer(rig.net->port(), [](relaypeer::Options& o) { o.heartbeatMs = 0; });
    QTRY_VERIFY(rig.net->linkAlive());
    rig.net->CNT_SendTempPic(templ);
    rig.net->CNT_SendDelTempPic(1, 2, QStringLiteral("temp_0003.bmp"));
    rig.net->CNT_SendStatistics_Once(results, true, 1);
    rig.net->CNT_SendSaveNgVideo(1, 1);
    rig.net->CNT_SendTelInfo(2, 3);
    rig.net->ChkandAddStaticticsItem(0, 1, 0);
    rig.net->CNT_SendStatistics(QStringLiteral("null"));
    rig.net->CNT_AddNgTimes(1500);
    rig.net->CNT_SendCancle();
    rig.net->CNT_SendAlarmPic(picture);
    rig.net->CNT_SendManualStop();
    rig.net->CNT_SendMemoryInfo();
    rig.net->CNT_SendGetProduct();
    rig.net->CNT_SendGetRemindList();

    const QList<int> expected{1, 2, 8, 6, 11, 18, 15, 16, 7, 20, 5, 10, 14, 17};
    QVERIFY(peer.waitMessages(expected.size()));
    QVERIFY(rig.quiet());
    // An ack the peer paces late makes a resend: the same bytes again.
    QCOMPARE(peer.distinctTypes(), expected);
    QCOMPARE(peer.peer->violations(), QStringList());

    // The fields as the relay reads them.
    struct Row {
        int type;
        const char* key;
        QString value;
    };
    const std::vector<Row> table{
        {1, "device_id", kHost},
        {1, "operater", QStringLiteral("管理员")},
        {1, "utc", QString::number(kNowMs - 5000)},
        {1, "description", QStringLiteral("a&b=c 中")},
        {2, "device_id", kHost},
        {2, "camera", QStringLiteral("[8]")},
        {8, "device_id", kHost},
        {8, "detect", QStringLiteral("2")},
        {8, "count", QStringLiteral("5")},
        {8, "roi", QStringLiteral("[5]")},
        {6, "path", templ},
        {11, "deviceId", kHost},
        {11, "cameraId", QStringLiteral("1")},
        {11, "detectId", QStringLiteral("2")},
        {11, "template", QStringLiteral("temp_0003.bmp")},
        {11, "utc", QString::number(kNowMs)},
        {18, "device_id", kHost},
        {18, "utc", QString::number(kNowMs)},
        {18, "product_name", QStringLiteral("外壳A")},
        {18, "product_operator", QStringLiteral("李四")},
        {15, "device_id", kHost},
        {15, "camera_id", QStringLiteral("1")},
        {15, "product", QStringLiteral("no set")},
        {15, "isng", QStringLiteral("1")},
        {16, "device_id", kHost},
        {16, "check_id", QStringLiteral("3")},
        {16, "product_count", QStringLiteral("3")},
        {16, "worker_name", QStringLiteral("王工")},
        {16, "mobile", QStringLiteral("13800000000")},
        {7, "device_id", kHost},
        {7, "product_name", QStringLiteral("外壳A")},
        {20, "device_id", kHost},
        {20, "bind_utc", QString::number(kNowMs)},
        {20, "product_operator", QStringLiteral("李四")},
        {5, "path", picture},
        {10, "device_id", kHost},
    };
    const std::vector<relaypeer::Message> got = peer.peer->messages();
    for (const Row& row : table) {
        const auto m = std::find_if(got.begin(), got.end(), [&](const relaypeer::Message& g) { return g.type == row.type; });
        QVERIFY(m != got.end());
        const relaypeer::BodyCheck check = relaypeer::checkBody(m->type, m->body);
        QVERIFY2(check.fields.contains(QLatin1String(row.key)), row.key);
        QCOMPARE(fieldText(check.fields.value(QLatin1String(row.key))), row.value);
    }
    QCOMPARE(rig.net->bindUtc(), kNowMs);
    // The statistics file holds the body sent.
    const auto seven = std::find_if(got.begin(), got.end(), [](const relaypeer::Message& g) { return g.type == 7; });
    QCOMPARE(rig.env.readFile(QStringLiteral("cnt_net/data/Statistics")), seven->body);
}

void TestRelayIntegration::acks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("withheld: twice, then the next") << QStringLiteral("withhold");
    QTest::newRow("delayed past the drop: nothing lost") << QStringLiteral("delay");
}

void TestRelayIntegration::acks()
{
    QFETCH(QString, mode);
    LinkRig rig;
    PeerRig peer(rig.net->port(), [&](relaypeer::Options& o) {
        if (mode == QLatin1String("withhold"))
            o.withholdFirst = 2;
        else
            o.ackDelayMs = 500;
    });
    QTRY_VERIFY(rig.net->linkAlive());
    rig.net->CNT_SendRecord(QDateTime::fromMSecsSinceEpoch(kNowMs, QTimeZone::utc()), QStringLiteral("A"),
                            QStringLiteral("first"));
    rig.net->CNT_SendRecord(QDateTime::fromMSecsSinceEpoch(kNowMs, QTimeZone::utc()), QStringLiteral("A"),
                            QStringLiteral("second"));
    QVERIFY(rig.quiet());
    QVERIFY(peer.waitMessages(3));
    QTest::qWait(700);   // a late ack must not take anything with it
    const std::vector<relaypeer::Message> got = peer.peer->messages();
    QStringList texts;
    for (const relaypeer::Message& m : got)
        texts << relaypeer::checkBody(m.type, m.body).fields.value(QStringLiteral("description")).toString();
    // Withheld: the first goes out twice and is dropped, then the second.
    // Delayed: the ack of the first comes after its resend and drop, and
    // counts for nothing; the second still goes out and is acked late too.
    QCOMPARE(texts.mid(0, 3), (QStringList{"first", "first", "second"}));
    QVERIFY(texts.count(QStringLiteral("second")) >= 1);
    QCOMPARE(rig.net->queued().size(), 0);
    QCOMPARE(peer.peer->violations(), QStringList());
}

void TestRelayIntegration::enableTable()
{
    const QByteArray table = R"({"7":false,"9":null,"2":"false"})";
    // Written into the rig's program directory before the link reads it.
    LinkRig rig(QStringLiteral("1 0 0"), [&](CntNetOptions&) {
        QDir().mkpath(QStringLiteral("cnt_net/data"));
        QFile config(QStringLiteral("cnt_net/whichsend.config"));
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write(table) == table.size());
        QFile stats(QStringLiteral("cnt_net/data/Statistics"));
        QVERIFY(stats.open(QIODevice::WriteOnly) && stats.write("kept as it was") == 14);
    });
    for (int t = 0; t < kSendTypeCount; ++t)
        QCOMPARE(rig.net->sendEnabled(SendType(t)), t != SendTypeStatistics);

    PeerRig peer(rig.net->port());
    QTRY_VERIFY(rig.net->linkAlive());
    rig.net->ChkandAddStaticticsItem(0, 1, 0);
    const CNT_Path_Statistics before = rig.net->records().statisticsRecord;
    rig.net->CNT_SendStatistics(QStringLiteral("null"));
    rig.net->CNT_SendParam();
    QVERIFY(peer.waitMessages(1));
    QVERIFY(rig.quiet());
    QCOMPARE(peer.types(), QList<int>{2});
    QCOMPARE(rig.env.readFile(QStringLiteral("cnt_net/data/Statistics")), QByteArray("kept as it was"));
    QCOMPARE(rig.net->records().statisticsRecord.watch_count_total, before.watch_count_total);
    QCOMPARE(rig.net->records().statisticsRecord.product_name, before.product_name);
}

void TestRelayIntegration::off_data()
{
    QTest::addColumn<QString>("netSwitch");
    QTest::newRow("CntNet 0") << QStringLiteral("0 0 0");
    QTest::newRow("no PARAM.db") << QString();
}

void TestRelayIntegration::off()
{
    QFETCH(QString, netSwitch);
    LinkRig rig(netSwitch);
    QVERIFY(!rig.net->serverOpen());
    QVERIFY(!rig.net->listening());
    // The device id is read with the link off too.
    QCOMPARE(rig.net->netCard.hostName, kHost);
    rig.net->CNT_ReStart();
    rig.net->CNT_SendRecord(QDateTime::currentDateTimeUtc(), QStringLiteral("A"), QStringLiteral("x"));
    rig.net->ChkandAddStaticticsItem(0, 1, 0);
    rig.net->CNT_SendStatistics(QStringLiteral("null"));
    rig.net->CNT_SendManualStop();
    rig.net->CNT_SendGetProduct();
    QCOMPARE(rig.starts, 0);
    QVERIFY(rig.net->queued().isEmpty());
    QVERIFY(!QFile::exists(rig.env.path(QStringLiteral("cnt_net/data/Statistics"))));
    QVERIFY(!QFile::exists(rig.env.path(QStringLiteral("cnt_net/data/ManualStop"))));
}

void TestRelayIntegration::loopbackOnly()
{
    LinkRig rig;
    QCOMPARE(rig.net->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    relaypeer::Options o;
    QString error;
    QVERIFY(!relaypeer::parseOptions({"--host", "192.0.2.10"}, &o, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(relaypeer::parseOptions({"--host", "127.0.0.1"}, &o, &error));
}

void TestRelayIntegration::newestConnectionWins()
{
    LinkRig rig;
    PeerRig peer(rig.net->port(), [](relaypeer::Options& o) { o.reconnect = false; });
    QTRY_VERIFY(rig.net->linkAlive());
    QVERIFY(peer.connected());
    QTcpSocket* first = rig.net->relaySocket();
    bool opened = false;
    peer.on([&] { opened = peer.peer->openSecondConnection(); });
    QVERIFY(opened);
    QTRY_VERIFY(rig.net->relaySocket() && rig.net->relaySocket() != first);
    rig.net->CNT_SendGetProduct();
    QVERIFY(peer.waitMessages(1));
    QVERIFY(rig.quiet());
    const std::vector<relaypeer::Message> got = peer.peer->messages();
    QCOMPARE(got.back().connection, 2);
}

void TestRelayIntegration::faults_data()
{
    QTest::addColumn<RelayPeer::Fault>("fault");
    QTest::addColumn<qint64>("arg");
    QTest::newRow("garbage") << RelayPeer::Fault::Garbage << qint64(4000);
    QTest::newRow("truncated") << RelayPeer::Fault::Truncated << qint64(0);
    QTest::newRow("oversized") << RelayPeer::Fault::Oversized << qint64(0);
    QTest::newRow("1 MiB body") << RelayPeer::Fault::MegabyteBody << qint64(0);
    QTest::newRow("30-digit session") << RelayPeer::Fault::LongSession << qint64(0);
    QTest::newRow("monitor frames") << RelayPeer::Fault::MonitorFrames << qint64(0);
    QTest::newRow("NUL bytes") << RelayPeer::Fault::NulBytes << qint64(0);
    QTest::newRow("invalid UTF-8") << RelayPeer::Fault::BadUtf8 << qint64(0);
    QTest::newRow("two batches") << RelayPeer::Fault::TwoBatches << qint64(0);
}

void TestRelayIntegration::faults()
{
    QFETCH(RelayPeer::Fault, fault);
    QFETCH(qint64, arg);
    LogLines log;
    LinkRig rig;
    PeerRig peer(rig.net->port(), [](relaypeer::Options& o) { o.heartbeatMs = 0; });
    QTRY_VERIFY(rig.net->linkAlive());
    QVERIFY(peer.connected());
    const int before = rig.net->batchesRead();
    bool sent = false;
    peer.on([&] { sent = peer.peer->inject(fault, arg, 7); });
    QVERIFY(sent);
    QTRY_VERIFY(rig.net->batchesRead() > before);
    QTRY_VERIFY(log.containing(QStringLiteral("dropped")) > 0);
    QVERIFY(rig.net->relaySocket());
    QVERIFY(rig.net->relaySocket()->readBufferSize() <= kReadBufferBytes);
    QVERIFY(rig.net->relaySocket()->bytesAvailable() <= kReadBufferBytes);
    // Not taken as an ack: a message sent now is acked by the next good batch.
    QTest::qWait(relaypeer::kBatchGapMs + 50);
    rig.net->CNT_SendGetRemindList();
    QVERIFY(peer.waitMessages(1));
    QTRY_VERIFY(!rig.net->sendWorker()->inFlight());
    QCOMPARE(rig.net->sendWorker()->dropped(), 0);
    QCOMPARE(rig.net->sendWorker()->attempts() <= 1, true);
    QCOMPARE(peer.peer->messageCount(), 1);
}

void TestRelayIntegration::callsFromOtherThreadsKeepTheirOrder()
{
    constexpr int kCalls = 500;
    LinkRig rig;
    // The fail-image writer's pair, and the I/O thread's counting, from a
    // plain thread of their own: posted in order, records touched on the
    // link's thread only.
    // (A std::thread: the race checker's suppressions leave out QThread's.)
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kCalls; ++i) {
            rig.net->ChkandAddStaticticsItem(0, 1, i % 50);
            rig.net->CNT_SendRecord(QDateTime::fromMSecsSinceEpoch(kNowMs, QTimeZone::utc()), QStringLiteral("A"),
                                    QString::number(i));
        }
        rig.net->CNT_SendStatistics(QStringLiteral("null"));
        done = true;
    });
    // Meanwhile the link's thread counts too: a record touched on the other
    // thread would race with this (the race checker's build reports it).
    while (!done) {
        rig.net->ChkandAddStaticticsItem(1, 0, 0);
        QCoreApplication::processEvents();
    }
    writer.join();
    QTRY_COMPARE(rig.net->queued().size(), kCalls + 1);
    const QList<QByteArray> frames = rig.net->queued();
    for (int i = 0; i < kCalls; ++i)
        QVERIFY2(frames[i].startsWith("1:") && frames[i].endsWith("description=" + QByteArray::number(i)),
                 frames[i].constData());
    QVERIFY(frames[kCalls].startsWith("7:"));
    QCOMPARE(rig.net->records().statisticsRecord.cameras.value(0).detects.value(1).alarms.size(), 50);
}

void TestRelayIntegration::hungPeer_data()
{
    QTest::addColumn<QStringList>("peerArgs");
    QTest::addColumn<qint64>("maxUnsent");
    // Stopped: nothing goes out for the stall time.  Slow: bytes trickle
    // out, and the unsent bytes pass their bound.
    QTest::newRow("stopped reads: the stall time") << QStringList{"--stop-reads"} << qint64(64) * 1024 * 1024;
    QTest::newRow("slow reads: the unsent bound") << QStringList{"--read-rate", "20000"} << qint64(1024) * 1024;
}

void TestRelayIntegration::hungPeer()
{
    QFETCH(QStringList, peerArgs);
    QFETCH(qint64, maxUnsent);
    LogLines log;
    LinkRig rig(QStringLiteral("1 0 0"), [&](CntNetOptions& o) {
        o.timers = nullptr;
        o.send.maxBytes = 4LL * 1024 * 1024;
        o.send.maxUnsent = maxUnsent;
        o.send.stallMs = 1500;
        o.send.stallCheckMs = 100;
    });
    RealClock clock;
    // Large statistics: eight cameras, eight detections, 50 areas each.
    rig.host->cameras = 8;
    for (int c = 0; c < kCameraSlots; ++c)
        for (int d = 0; d < kDetections; ++d)
            for (int a = 0; a < 50; ++a)
                rig.net->ChkandAddStaticticsItem(c, d, a);

    // One large statistics body, built once: the test times the link, not
    // the building.
    rig.net->CNT_SendStatistics(QStringLiteral("null"));
    const QByteArray large = rig.env.readFile(QStringLiteral("cnt_net/data/Statistics"));
    QCOMPARE(rig.net->queued().size(), 1);

    PeerProcess hung(rig.net->port(), peerArgs + QStringList{"--no-reconnect"}, rig.env.dir());
    QVERIFY(hung.process.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.net->linkAlive(), 10000);

    // The GUI thread keeps its pace while the link sends into a relay that
    // does not read.  The machine's own jitter, measured first with the link
    // idle, is allowed on top of the bound.
    QElapsedTimer beat;
    qint64 longest = 0;
    QTimer gui;
    gui.setTimerType(Qt::PreciseTimer);
    gui.setInterval(10);
    connect(&gui, &QTimer::timeout, [&] { longest = std::max(longest, beat.restart()); });
    beat.start();
    gui.start();
    for (int i = 0; i < 30; ++i)
        QTest::qWait(20);
    const qint64 idleJitter = std::max<qint64>(0, longest - 10);
    longest = 0;
    beat.restart();
    qint64 frameBytes = 0;
    for (int i = 0; i < 30; ++i) {
        rig.net->enqueue(SendTypeStatistics, large);
        if (!rig.net->queued().isEmpty())
            frameBytes = std::max(frameBytes, qint64(rig.net->queued().last().size()));
        QTest::qWait(20);
        const CNT_Thread* w = rig.net->sendWorker();
        QVERIFY(w->queued().size() <= w->limits().maxMessages);
        QVERIFY(w->queuedBytes() <= w->limits().maxBytes);
        if (rig.net->relaySocket())
            QVERIFY(rig.net->relaySocket()->bytesToWrite() <= w->limits().maxUnsent + frameBytes);
    }
    QVERIFY(frameBytes > 100 * 1024);
    QTRY_VERIFY_WITH_TIMEOUT(rig.net->relaySocket() == nullptr, 10000);
    QVERIFY(rig.net->sendWorker()->aborts() >= 1);
    QVERIFY(log.containing(QStringLiteral("relay not reading")) >= 1);
    gui.stop();
    QVERIFY2(longest <= 100 + idleJitter,
             qPrintable(QStringLiteral("%1 ms (idle jitter %2 ms)").arg(longest).arg(idleJitter)));
    hung.process.kill();
    hung.process.waitForFinished(5000);

    const int waiting = rig.net->queued().size();
    QVERIFY(waiting > 0);
    PeerRig fresh(rig.net->port());
    QVERIFY(fresh.waitMessages(waiting, 30000));
    QVERIFY(rig.quiet(30000));
    QCOMPARE(fresh.peer->counts().value(7), fresh.peer->messageCount());
    QCOMPARE(fresh.peer->violations(), QStringList());
}

void TestRelayIntegration::supervision_data()
{
    QTest::addColumn<QString>("peerArgs");
    QTest::addColumn<bool>("relines");
    QTest::newRow("a reline restarts the relay") << QStringLiteral("--heartbeat 500 --reline-after 600") << true;
    QTest::newRow("stopped heartbeats restart it") << QStringLiteral("--heartbeat 0") << false;
}

void TestRelayIntegration::supervision()
{
    QFETCH(QString, peerArgs);
    QFETCH(bool, relines);
    {
        LinkRig rig(QStringLiteral("1 0 0"), [](CntNetOptions& o) {
            o.timers = nullptr;
            o.graceMs = 300;
            o.startRelay = nullptr;
            o.relayCommand = [] {
                RelayCommand c;
                c.program = QStringLiteral("relaypeer");
                return c;
            };
        });
        RealClock clock;
        rig.env.runner->passThroughStart(QStringLiteral("relaypeer"), QStringLiteral(MM_RELAYPEER_PROGRAM));
        qputenv("MM_RELAYPEER_ARGS",
                QStringLiteral("--port %1 --no-log --backoff 100 %2").arg(rig.net->port()).arg(peerArgs).toUtf8());
        const RelayProcess* relay = rig.net->relayProcess();
        QVERIFY(relay);

        rig.net->CNT_ReStart();
        QTRY_VERIFY_WITH_TIMEOUT(relay->pid() > 0, 5000);
        const qint64 first = relay->pid();
        QTRY_VERIFY_WITH_TIMEOUT(rig.net->linkAlive(), 10000);
        const quint16 firstPort = rig.net->relaySocket()->peerPort();

        // The relay asks for a reline, or stops beating: the link ends it
        // and a second one connects.
        QTRY_VERIFY_WITH_TIMEOUT(relay->starts() >= 2, relines ? 5000 : 8000);
        QTRY_VERIFY_WITH_TIMEOUT(!childprobe::exists(first), 5000);
        QVERIFY(relay->pid() != first);
        QTRY_VERIFY_WITH_TIMEOUT(rig.net->relaySocket() && rig.net->relaySocket()->peerPort() != firstPort, 10000);
        const qint64 second = relay->pid();
        QVERIFY(second > 0);

        // Destroying the link ends its child and reaps it.
        rig.net.reset();
        qunsetenv("MM_RELAYPEER_ARGS");
        QVERIFY(!childprobe::exists(second));
        QVERIFY(childprobe::children().isEmpty());
    }
    QVERIFY(childprobe::children().isEmpty());
}

MM_TEST_MAIN_WITH_CHILD(TestRelayIntegration)
#include "tst_relayintegration.moc"
