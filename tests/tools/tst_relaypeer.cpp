// The relay peer seen from the monitor's side: its frame decoder on split,
// joined and damaged streams; its body checks, type by type, on good and bad
// bodies; and its behaviour against a small server on 127.0.0.1 standing in
// for the monitor (acks, withheld and doubled acks, heartbeats, relines,
// answers, every fault, slow and stopped reads, resets, the log and its cap),
// with the peer on its own thread; and the mm_relaypeer program as a child.
#include "relaypeer.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace relaypeer;

namespace {

constexpr int kWaitMs = 10000;

QByteArray frame(int type, const QByteArray& body)
{
    return QByteArray::number(type) + ':' + QByteArray::number(body.size()) + ":..!" + body;
}

// cJSON's printed layout, as the monitor sends it.
const QByteArray kCancel = "{\n\t\"device_id\":\t\"panel\",\n\t\"bind_utc\":\t1700000000000,\n\t\"utc\":\t1700000005000,"
                           "\n\t\"method\":\t\"\xE9\x87\x8D\xE6\xA3\x80\xE6\xA3\x80\xE6\xB5\x8BOK\",\n\t\"product_operator\":\t\"op\"\n}";

// The monitor's end: one listening socket on a free loopback port; every
// read is kept with its time, since one read is one batch to the monitor.
class Monitor : public QObject {
public:
    Monitor()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                sockets << s;
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    const QByteArray b = s->readAll();
                    reads << qMakePair(clock.elapsed(), b);
                    bytes += b;
                });
            }
        });
        clock.start();
    }
    QTcpSocket* socket() const { return sockets.isEmpty() ? nullptr : sockets.last(); }
    bool send(const QByteArray& b)
    {
        if (!socket())
            return false;
        socket()->write(b);
        return true;
    }
    int count(const QByteArray& batch) const
    {
        int n = 0;
        for (const auto& r : reads)
            n += r.second == batch;
        return n;
    }
    QTcpServer server;
    QList<QTcpSocket*> sockets;
    QList<QPair<qint64, QByteArray>> reads;
    QByteArray bytes;
    QElapsedTimer clock;
};

// The peer on a thread of its own, as the link's tests and the bench use it.
class PeerRig {
public:
    explicit PeerRig(Options o)
    {
        o.backoffMs = 50;
        o.backoffMaxMs = 200;
        peer = new RelayPeer(o);
        peer->moveToThread(&thread);
        thread.start();
        on([this] { peer->start(); });
    }
    ~PeerRig()
    {
        on([this] { delete peer; });
        thread.quit();
        thread.wait();
    }
    template <class F>
    void on(F f)
    {
        QMetaObject::invokeMethod(peer, f, Qt::BlockingQueuedConnection);
    }
    QString command(const QString& line)
    {
        QString answer;
        on([&] { answer = peer->runCommand(line); });
        return answer;
    }
    QThread thread;
    RelayPeer* peer = nullptr;
};

Options optionsFor(const Monitor& m)
{
    Options o;
    o.port = m.server.serverPort();
    o.heartbeatMs = 0;
    return o;
}

} // namespace

class TestRelayPeer : public QObject {
    Q_OBJECT
private slots:
    void decoder_data();
    void decoder();
    void decoderNeverHoldsMoreThanArrived();
    void bodies_data();
    void bodies();
    void orderedReader();
    void options_data();
    void options();

    void acksAndAnswers();
    void ackModes_data();
    void ackModes();
    void heartbeatRelineAndSecondConnection();
    void streamFaultsCloseAndReconnect_data();
    void streamFaultsCloseAndReconnect();
    void closeAfterMessages();
    void faults_data();
    void faults();
    void slowAndStoppedReads();
    void resetMidFrame();
    void logLinesAndCap();
    void program();
};

// ---------------------------------------------------------------- decoder

void TestRelayPeer::decoder_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<qint64>("cap");
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<int>("error");
    const qint64 cap = kDefaultLengthCap;
    const int none = int(FrameDecoder::Error::None);
    const int header = int(FrameDecoder::Error::BadHeader);

    QTest::newRow("14 exact") << QByteArray("14:0:..!") << cap << QList<int>{14} << QList<QByteArray>{""} << none;
    QTest::newRow("several in one read")
        << QByteArray("14:0:..!" + frame(1, "a=1") + "17:0:..!") << cap << QList<int>{14, 1, 17}
        << QList<QByteArray>{"", "a=1", ""} << none;
    QTest::newRow("frame marker inside a body") << frame(5, "/a:..!b/4:0:..!") << cap << QList<int>{5}
                                                << QList<QByteArray>{"/a:..!b/4:0:..!"} << none;
    // "é" and "中" take 2 and 3 bytes: the length is 5, not 2.
    QTest::newRow("length in bytes") << QByteArray("1:5:..!\xC3\xA9\xE4\xB8\xAD" "1:0:..!") << cap << QList<int>{1, 1}
                                     << QList<QByteArray>{"\xC3\xA9\xE4\xB8\xAD", ""} << none;
    QTest::newRow("never-sent types decode") << QByteArray("0:0:..!19:2:..!{}") << cap << QList<int>{0, 19}
                                             << QList<QByteArray>{"", "{}"} << none;
    QTest::newRow("unfinished frame waits") << QByteArray("7:10:..!abc") << cap << QList<int>{} << QList<QByteArray>{}
                                            << none;
    QTest::newRow("letter for type") << QByteArray("x:0:..!") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("negative type") << QByteArray("-1:0:..!") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("leading zero type") << QByteArray("01:0:..!") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("leading zero length") << QByteArray("1:05:..!abcde") << cap << QList<int>{} << QList<QByteArray>{}
                                         << header;
    QTest::newRow("blank in header") << QByteArray("1 :0:..!") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("one dot") << QByteArray("1:0:.!") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("no bang") << QByteArray("1:0:..?") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("empty length") << QByteArray("1::..!") << cap << QList<int>{} << QList<QByteArray>{} << header;
    QTest::newRow("good then bad") << QByteArray("14:0:..!junk") << cap << QList<int>{14} << QList<QByteArray>{""}
                                   << header;
    QTest::newRow("three-digit type") << QByteArray("100:0:..!") << cap << QList<int>{} << QList<QByteArray>{}
                                      << int(FrameDecoder::Error::TypeDigits);
    QTest::newRow("10-digit length") << QByteArray("7:1000000000:..!") << cap << QList<int>{} << QList<QByteArray>{}
                                     << int(FrameDecoder::Error::LengthDigits);
    QTest::newRow("20-digit length") << QByteArray("7:12345678901234567890:..!") << cap << QList<int>{}
                                     << QList<QByteArray>{} << int(FrameDecoder::Error::LengthDigits);
    QTest::newRow("9 digits over the cap") << QByteArray("7:999999999:..!") << cap << QList<int>{} << QList<QByteArray>{}
                                           << int(FrameDecoder::Error::OverCap);
    QTest::newRow("cap + 1 after a good frame") << QByteArray(frame(1, "abcdefghij") + "1:11:..!") << qint64(10)
                                                << QList<int>{1} << QList<QByteArray>{"abcdefghij"}
                                                << int(FrameDecoder::Error::OverCap);
}

// Each stream is fed whole, byte by byte and in uneven pieces: the same
// frames and the same verdict every time.
void TestRelayPeer::decoder()
{
    QFETCH(QByteArray, stream);
    QFETCH(qint64, cap);
    QFETCH(QList<int>, types);
    QFETCH(QList<QByteArray>, bodies);
    QFETCH(int, error);
    for (int step : {0, 1, 3}) {
        FrameDecoder d(cap);
        std::vector<Frame> frames;
        if (step == 0)
            d.feed(stream, &frames);
        for (int p = 0; step > 0 && p < stream.size() && !d.failed(); p += step)
            d.feed(stream.mid(p, step), &frames);
        QList<int> gotTypes;
        QList<QByteArray> gotBodies;
        for (const Frame& f : frames) {
            gotTypes << f.type;
            gotBodies << f.body;
            QCOMPARE(f.declared, qint64(f.body.size()));
        }
        QCOMPARE(gotTypes, types);
        QCOMPARE(gotBodies, bodies);
        QCOMPARE(int(d.error()), error);
        if (d.failed())
            QVERIFY(!d.errorText().isEmpty());
    }
}

// A declared length is a promise, not an allocation: the buffer holds what
// arrived, and an over-cap header is refused before any body byte.
void TestRelayPeer::decoderNeverHoldsMoreThanArrived()
{
    FrameDecoder d;
    std::vector<Frame> frames;
    d.feed(QByteArray("7:4000000:..!") + QByteArray(100, 'x'), &frames);
    QVERIFY(d.inBody());
    QVERIFY(d.bufferedBytes() < 200);
    FrameDecoder small(1000);
    small.feed(QByteArray("7:1001:..!") + QByteArray(500, 'x'), &frames);
    QCOMPARE(small.error(), FrameDecoder::Error::OverCap);
    QVERIFY(small.bufferedBytes() < 32);
    QVERIFY(frames.empty());
}

// ---------------------------------------------------------------- bodies

namespace {

QByteArray paramBody(int cameras)
{
    QByteArray b = "{\n";
    for (const QString& k : jsonKeys(2)) {
        if (k == QLatin1String("camera"))
            continue;
        const bool text = k == QLatin1String("device_id") || k == QLatin1String("password") || k.startsWith(QLatin1String("local_addr"))
                          || k.startsWith(QLatin1String("mask_")) || k.startsWith(QLatin1String("gateway_"));
        b += "\t\"" + k.toUtf8() + "\":\t" + (text ? QByteArray("\"0.0.0.0\"") : QByteArray("1")) + ",\n";
    }
    b += "\t\"camera\":\t[";
    for (int i = 0; i < cameras; ++i)
        b += QByteArray(i ? "," : "") + "{\"camera_id\":\"" + QByteArray::number(i + 1)
             + "\",\"expose_time\":1000,\"adjust_plus\":1,\"num_fail_detect\":0,\"num_all_detect\":0,\"sharp\":1,"
               "\"contrast\":1,\"camera_serial\":\"SN\"}";
    return b + "]\n}";
}

const QByteArray kStats =
    "{\"device_id\":\"panel\",\"state\":0,\"product_name\":\"no set\",\"product_serial\":\"1\",\"products_num\":10000,"
    "\"start_utc\":1700000000000,\"real_produce\":195,\"utc_watch_total\":5000,\"total_stop_alarm_timelen\":0,"
    "\"watch_count_total\":200,\"ng_count_total\":5,\"ng_notification_rate\":250,\"watch_circle\":12300,"
    "\"utc\":1700000005000,\"ng_image\":\"null\",\"camera\":{\"ng\":[{\"camera_id\":\"1\",\"disalarm_timeout_time\":1,"
    "\"last_monitor_period\":0,\"now_monitor_period\":0,\"average_monitor_period\":0,\"ng_monitors\":[{\"time\":2,"
    "\"ng_sum\":5,\"produce\":10000,\"monitor_times\":200,\"ok_num\":195,\"ok_rate\":9750,\"not_ok_num\":5,"
    "\"not_ok_rate\":250,\"alarm\":[{\"alarm_area_num\":4,\"alarm_algorithm_type\":\"----\",\"alarm_result\":2}]}]}]}}";

const QByteArray kManualStop =
    "{\"device_id\":\"panel\",\"state\":1,\"utc\":1700000000000,\"stop_check_timeslot\":\"14:05---:--\","
    "\"stop_check_timelen\":27,\"timeout_time\":0,\"operator_id\":\"\xE5\xBC\xA0\",\"disalarm_operator_id\":\"--\","
    "\"stop_check_reason\":\"--\"}";

QByteArray rois(const QByteArray& areas, int count)
{
    return "{\"device_id\":\"panel\",\"camera_id\":\"1\",\"detect\":1,\"count\":" + QByteArray::number(count) + ",\"roi\":["
           + areas + "]}";
}
const QByteArray kRect = "{\"roi_idx\":1,\"min_size\":5,\"sensibility\":50,\"max_area\":100,\"algorithm\":1,"
                         "\"output_point\":1,\"roi_type\":0,\"top_point_count\":2,\"top_0_x\":10,\"top_0_y\":20,"
                         "\"top_1_x\":110,\"top_1_y\":220,\"in_r\":0,\"out_r\":0}";
const QByteArray kRing = "{\"roi_idx\":2,\"min_size\":5,\"sensibility\":50,\"max_area\":100,\"algorithm\":1,"
                         "\"output_point\":1,\"roi_type\":1,\"top_point_count\":1,\"top_0_x\":300,\"top_0_y\":200,"
                         "\"in_r\":80,\"out_r\":120}";
const QByteArray kEmptyPolygon = "{\"roi_idx\":3,\"min_size\":5,\"sensibility\":50,\"max_area\":100,\"algorithm\":1,"
                                 "\"output_point\":1,\"roi_type\":2,\"top_point_count\":0,\"in_r\":0,\"out_r\":0}";

const QByteArray kOnce =
    "{\"device_id\":\"panel\",\"utc\":1700000000000,\"state\":\"\xE6\xAD\xA3\xE5\x9C\xA8\xE6\xA3\x80\xE6\xB5\x8B\","
    "\"detect_method\":\"\",\"product_name\":\"p\",\"product_serial\":\"1\",\"product_num\":10000,"
    "\"product_moldcavity\":2,\"product_operator\":\"op\",\"result\":1,\"array\":[{\"camera_id\":1,\"device_ng\":5,"
    "\"device_all\":200,\"detect_array\":[{\"detect_id\":1,\"roi_array\":[{\"roi_id\":1,\"algorithm_type\":3,"
    "\"algorithm_result\":12,\"algorithm_premin\":0,\"algorithm_premax\":10,\"is_alarm\":1}]}]}]}";

} // namespace

void TestRelayPeer::bodies_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("violation");   // a piece of the first violation; empty: none

    // Any absolute, readable file will do: the test program itself.
    const QString picture = QCoreApplication::applicationFilePath();

    QTest::newRow("1 record") << 1 << QByteArray("device_id=panel&operater=Admin&utc=1700000000000&description=a&b=c")
                              << QString();
    QTest::newRow("1 Chinese description") << 1 << QByteArray("device_id=p&operater=\xE6\x93\x8D&utc=1&description=\xE4\xB8\xAD")
                                           << QString();
    QTest::newRow("1 keys out of order") << 1 << QByteArray("operater=A&device_id=p&utc=1&description=x")
                                         << QStringLiteral("expected \"device_id=\"");
    QTest::newRow("1 missing description") << 1 << QByteArray("device_id=p&operater=A&utc=1")
                                           << QStringLiteral("not followed by \"&\"");
    QTest::newRow("1 utc not a number") << 1 << QByteArray("device_id=p&operater=A&utc=1.5&description=x")
                                        << QStringLiteral("utc \"1.5\" is not a number");
    QTest::newRow("1 invalid UTF-8") << 1 << QByteArray("device_id=p&operater=A&utc=1&description=\xE4\xB8")
                                     << QStringLiteral("not valid UTF-8");
    QTest::newRow("11 form") << 11 << QByteArray("deviceId=p&cameraId=1&detectId=2&template=t 1.bmp&utc=1&operator=--")
                             << QString();
    QTest::newRow("11 camera not a number") << 11 << QByteArray("deviceId=p&cameraId=x&detectId=2&template=t&utc=1&operator=a")
                                            << QStringLiteral("cameraId");
    QTest::newRow("15 marker") << 15 << QByteArray("device_id=p&camera_id=1&product=no set&isng=1") << QString();
    QTest::newRow("15 isng 2") << 15 << QByteArray("device_id=p&camera_id=1&product=x&isng=2") << QStringLiteral("isng");
    QTest::newRow("16 notice") << 16 << QByteArray("device_id=p&check_id=1&product_count=3&worker_name=w&mobile=1")
                               << QString();
    QTest::newRow("5 existing picture") << 5 << picture.toUtf8() << QString();
    QTest::newRow("6 relative path") << 6 << QByteArray("./cnt_net/x.bmp") << QStringLiteral("not absolute");
    QTest::newRow("5 missing file") << 5 << QByteArray("/nonexistent/tst_relaypeer.jpg") << QStringLiteral("does not exist");
    QTest::newRow("5 a folder") << 5 << QByteArray("/tmp") << QStringLiteral("not a readable file");
    QTest::newRow("14 empty") << 14 << QByteArray() << QString();
    QTest::newRow("17 with a body") << 17 << QByteArray("{}") << QStringLiteral("expected empty");
    QTest::newRow("13 never sent") << 13 << QByteArray() << QStringLiteral("never sent");
    QTest::newRow("20 in cJSON layout") << 20 << kCancel << QString();
    QTest::newRow("20 keys swapped") << 20 << QByteArray(kCancel).replace("\"bind_utc\"", "\"tmp\"").replace("\"utc\"", "\"bind_utc\"").replace("\"tmp\"", "\"utc\"")
                                     << QStringLiteral("keys device_id,utc,bind_utc");
    QTest::newRow("20 utc with exponent") << 20 << QByteArray(kCancel).replace("1700000005000", "1.700000005e12")
                                          << QStringLiteral("integral number printed as");
    QTest::newRow("20 method a number") << 20 << QByteArray(kCancel).replace("\"\xE9\x87\x8D\xE6\xA3\x80\xE6\xA3\x80\xE6\xB5\x8BOK\"", "4")
                                        << QStringLiteral("method: number, expected text");
    QTest::newRow("20 not JSON") << 20 << QByteArray("{\"device_id\":") << QStringLiteral("not JSON");
    QTest::newRow("20 invalid UTF-8") << 20 << QByteArray(kCancel).replace("op", "\xC0\xAF") << QStringLiteral("UTF-8");
    QTest::newRow("10 manual stop") << 10 << kManualStop << QString();
    QTest::newRow("10 missing reason") << 10 << QByteArray(kManualStop).replace(",\"stop_check_reason\":\"--\"", "")
                                       << QStringLiteral("keys");
    QTest::newRow("7 statistics") << 7 << kStats << QString();
    QTest::newRow("7 area count as text") << 7 << QByteArray(kStats).replace("\"alarm_result\":2", "\"alarm_result\":\"2\"")
                                          << QStringLiteral("camera.ng[0].ng_monitors[0].alarm[0].alarm_result: text");
    QTest::newRow("8 rectangle, ring, empty polygon") << 8 << rois(kRect + ',' + kRing + ',' + kEmptyPolygon, 3) << QString();
    QTest::newRow("8 no areas") << 8 << rois("", 0) << QString();
    QTest::newRow("8 camera_id a number") << 8 << rois("", 0).replace("\"camera_id\":\"1\"", "\"camera_id\":1")
                                          << QStringLiteral("camera_id: number, expected text");
    QTest::newRow("8 count differs") << 8 << rois(kRect, 2) << QStringLiteral("count 2 but 1 areas");
    QTest::newRow("8 rectangle with one point") << 8 << rois(QByteArray(kRect).replace("\"top_point_count\":2", "\"top_point_count\":1").replace(",\"top_1_x\":110,\"top_1_y\":220", ""), 1)
                                                << QStringLiteral("top_point_count: 1 for roi_type 0");
    QTest::newRow("8 radii swapped in order") << 8 << rois(QByteArray(kRing).replace("\"in_r\":80,\"out_r\":120", "\"out_r\":120,\"in_r\":80"), 1)
                                              << QStringLiteral("keys");
    QTest::newRow("18 once") << 18 << kOnce << QString();
    QTest::newRow("18 camera_id as text") << 18 << QByteArray(kOnce).replace("\"camera_id\":1", "\"camera_id\":\"1\"")
                                          << QStringLiteral("array[0].camera_id: text");
    QTest::newRow("2 eight cameras") << 2 << paramBody(8) << QString();
    QTest::newRow("2 one camera") << 2 << paramBody(1) << QStringLiteral("camera: 1 objects, expected 8");
    QTest::newRow("2 password a number") << 2 << paramBody(8).replace("\"password\":\t\"0.0.0.0\"", "\"password\":\t1")
                                         << QStringLiteral("password: number");
    QTest::newRow("9 shares") << 9 << QByteArray("{\"memoryinfo\":[{\"shmid\":1,\"semid\":2,\"cameraid\":1,\"size\":460800,"
                                                 "\"width\":640,\"height\":480,\"fps\":10}]}")
                              << QString();
}

void TestRelayPeer::bodies()
{
    QFETCH(int, type);
    QFETCH(QByteArray, body);
    QFETCH(QString, violation);
    const BodyCheck c = checkBody(type, body);
    if (violation.isEmpty()) {
        QVERIFY2(c.violations.isEmpty(), qPrintable(c.violations.join(QLatin1String("; "))));
        QVERIFY(!c.fields.isEmpty() || body.isEmpty());
    } else {
        QVERIFY2(!c.violations.isEmpty(), "no violation");
        QVERIFY2(c.violations.first().contains(violation), qPrintable(c.violations.join(QLatin1String("; "))));
    }
}

// Keys come back in document order (QJsonObject would sort them); numbers
// keep their printed text.
void TestRelayPeer::orderedReader()
{
    OrderedJson j;
    QString err;
    QVERIFY(readOrderedJson("{\"z\":1,\"a\":[1.50,{\"y\\u0041\":true}],\"m\":null}", &j, &err));
    QCOMPARE(j.keys(), (QStringList{"z", "a", "m"}));
    QCOMPARE(j.member("a")->items[0].numberText, QByteArray("1.50"));
    QCOMPARE(j.member("a")->items[1].keys(), QStringList{"yA"});
    QVERIFY(!readOrderedJson("{\"a\":1,}", &j, &err));
    QVERIFY(!readOrderedJson(QByteArray(100, '[') + QByteArray(100, ']'), &j, &err));
    QVERIFY(err.contains("deeper"));
}

void TestRelayPeer::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::newRow("defaults") << QStringList{} << true;
    QTest::newRow("localhost") << QStringList{"--host", "localhost"} << true;
    QTest::newRow("other loopback") << QStringList{"--host", "127.0.0.2"} << true;
    QTest::newRow("LAN address refused") << QStringList{"--host", "192.168.1.10"} << false;
    QTest::newRow("any address refused") << QStringList{"--host", "0.0.0.0"} << false;
    QTest::newRow("name refused") << QStringList{"--host", "example.com"} << false;
    QTest::newRow("withhold types") << QStringList{"--withhold", "7,18"} << true;
    QTest::newRow("withhold type 21") << QStringList{"--withhold", "21"} << false;
    QTest::newRow("port 0") << QStringList{"--port", "0"} << false;
    QTest::newRow("unknown") << QStringList{"--bogus"} << false;
}

void TestRelayPeer::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    Options o;
    QString error;
    QCOMPARE(parseOptions(args, &o, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (ok)
        QVERIFY(QHostAddress(o.host).isLoopback());
}

// ---------------------------------------------------------------- behaviour

// Every message gets one ack as a read of its own; the product list comes
// as a batch of its own at least 100 ms after the ack of its query.
void TestRelayPeer::acksAndAnswers()
{
    TestEnv env;
    Monitor m;
    PeerRig rig(optionsFor(m));
    QTRY_VERIFY_WITH_TIMEOUT(m.socket(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected(), kWaitMs);
    m.send(frame(14, ""));
    QTRY_COMPARE_WITH_TIMEOUT(m.reads.size(), 2, kWaitMs);
    m.send(frame(20, kCancel) + frame(17, ""));
    QTRY_COMPARE_WITH_TIMEOUT(m.reads.size(), 5, kWaitMs);
    QTest::qWait(400);
    QCOMPARE(m.reads.size(), 5);
    QCOMPARE(m.reads[0].second, QByteArray("/back/\r\n\r\n"));
    QVERIFY(m.reads[1].second.startsWith("/answer/\r\nSessionId: 14\r\n\r\n"));
    QVERIFY(m.reads[1].first - m.reads[0].first >= 100);
    const QByteArray list = m.reads[1].second.mid(m.reads[1].second.indexOf("\r\n\r\n") + 4);
    QVERIFY(QJsonDocument::fromJson(list).object().value("result").isArray());
    QCOMPARE(m.count("/back/\r\n\r\n"), 3);
    QVERIFY(m.reads[4].second.startsWith("/answer/\r\nSessionId: 17\r\n\r\n"));
    for (int i = 1; i < m.reads.size(); ++i)
        QVERIFY2(m.reads[i].first - m.reads[i - 1].first >= 100, "batches closer than 100 ms");
    QCOMPARE(rig.peer->counts(), (QMap<int, int>{{14, 1}, {17, 1}, {20, 1}}));
    QCOMPARE(rig.peer->violationCount(), 0);
    QCOMPARE(rig.peer->acksSent(), 3);
}

void TestRelayPeer::ackModes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("acks");          // for messages 1, 7, 1
    QTest::addColumn<int>("minDelayMs");    // from the last message to the first ack
    QTest::newRow("withheld") << "ack off" << 0 << 0;
    QTest::newRow("withheld for type 7") << "ack withhold 7" << 2 << 0;
    QTest::newRow("withheld for the first 2") << "ack first 2" << 1 << 0;
    QTest::newRow("doubled") << "ack double on" << 6 << 0;
    QTest::newRow("delayed") << "ack delay 400" << 3 << 300;
}

void TestRelayPeer::ackModes()
{
    QFETCH(QString, command);
    QFETCH(int, acks);
    QFETCH(int, minDelayMs);
    TestEnv env;
    Monitor m;
    PeerRig rig(optionsFor(m));
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    QVERIFY(!rig.command(command).startsWith("error"));
    const QByteArray stats = kStats;
    const qint64 sentAt = m.clock.elapsed();
    m.send(frame(1, "device_id=p&operater=A&utc=1&description=x") + frame(7, stats) + frame(1, "device_id=p&operater=A&utc=2&description=y"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.peer->messageCount(), 3, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m.count("/back/\r\n\r\n"), acks, kWaitMs);
    QTest::qWait(500);
    QCOMPARE(m.count("/back/\r\n\r\n"), acks);
    QCOMPARE(m.reads.size(), acks);   // each ack a read of its own
    if (acks > 0)
        QVERIFY(m.reads[0].first - sentAt >= minDelayMs);
}

void TestRelayPeer::heartbeatRelineAndSecondConnection()
{
    TestEnv env;
    Monitor m;
    Options o = optionsFor(m);
    o.heartbeatMs = 250;
    o.relineAfterMs = 100;
    PeerRig rig(o);
    QTRY_VERIFY_WITH_TIMEOUT(m.count("/reline/\r\n\r\n") == 1, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(m.count("/heart/\r\n\r\n") >= 3, kWaitMs);
    QCOMPARE(rig.command("heartbeat 0"), QStringLiteral("heartbeat 0"));
    QTest::qWait(300);
    const int beats = m.count("/heart/\r\n\r\n");
    QTest::qWait(600);
    QCOMPARE(m.count("/heart/\r\n\r\n"), beats);
    QCOMPARE(rig.command("reline"), QStringLiteral("reline"));
    QTRY_COMPARE_WITH_TIMEOUT(m.count("/reline/\r\n\r\n"), 2, kWaitMs);

    // A second connection: it becomes the current one and gets the acks.
    QVERIFY(!rig.command("connect2").startsWith("error"));
    QTRY_COMPARE_WITH_TIMEOUT(m.sockets.size(), 2, kWaitMs);
    QCOMPARE(rig.peer->connectionCount(), 2);
    m.sockets[1]->write(frame(14, ""));
    QTRY_VERIFY_WITH_TIMEOUT(m.count("/back/\r\n\r\n") == 1, kWaitMs);
    QCOMPARE(rig.peer->counts().value(14), 1);
}

void TestRelayPeer::streamFaultsCloseAndReconnect_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("violation");
    QTest::newRow("over the cap") << QByteArray("7:1001:..!{") << "over the cap";
    QTest::newRow("bad header") << QByteArray("hello") << "bad header";
    QTest::newRow("10-digit length") << QByteArray("7:1234567890:..!") << "more than 9 digits";
}

// A stream the peer cannot follow is logged as a violation and closed; the
// peer comes back after its back-off.
void TestRelayPeer::streamFaultsCloseAndReconnect()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, violation);
    TestEnv env;
    Monitor m;
    Options o = optionsFor(m);
    o.lengthCap = 1000;
    PeerRig rig(o);
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    QTcpSocket* first = m.socket();
    m.send(frame(14, "") + stream);
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), QAbstractSocket::UnconnectedState, kWaitMs);
    QCOMPARE(rig.peer->counts().value(14), 1);
    QCOMPARE(rig.peer->violationCount(), 1);
    QVERIFY2(rig.peer->violations().first().contains(violation), qPrintable(rig.peer->violations().first()));
    QTRY_COMPARE_WITH_TIMEOUT(m.sockets.size(), 2, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected(), kWaitMs);
}

// Closed after the Nth message, before its ack: the monitor sends it again
// on the next connection.
void TestRelayPeer::closeAfterMessages()
{
    TestEnv env;
    Monitor m;
    Options o = optionsFor(m);
    o.closeAfter = 2;
    PeerRig rig(o);
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    QTcpSocket* first = m.socket();
    m.send(frame(14, "") + frame(14, "") + frame(14, ""));
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), QAbstractSocket::UnconnectedState, kWaitMs);
    QCOMPARE(rig.peer->counts().value(14), 2);
    QTRY_COMPARE_WITH_TIMEOUT(m.sockets.size(), 2, kWaitMs);
    QTest::qWait(300);
    QCOMPARE(m.count("/back/\r\n\r\n"), 1);
}

void TestRelayPeer::faults_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("fault");
    QTest::addColumn<qint64>("arg");
    QTest::addColumn<quint32>("seed");
    using F = RelayPeer::Fault;
    QTest::newRow("garbage") << "fault garbage 4000 7" << int(F::Garbage) << qint64(4000) << 7u;
    QTest::newRow("truncated ack") << "fault truncated" << int(F::Truncated) << qint64(0) << 1u;
    QTest::newRow("truncated answer") << "fault truncated 1" << int(F::Truncated) << qint64(1) << 1u;
    QTest::newRow("oversized") << "fault oversized" << int(F::Oversized) << qint64(0) << 1u;
    QTest::newRow("1 MiB body") << "fault megabyte" << int(F::MegabyteBody) << qint64(0) << 1u;
    QTest::newRow("30-digit session") << "fault long-session" << int(F::LongSession) << qint64(0) << 1u;
    QTest::newRow("monitor frames") << "fault monitor-frames" << int(F::MonitorFrames) << qint64(0) << 1u;
    QTest::newRow("NUL bytes") << "fault nul" << int(F::NulBytes) << qint64(0) << 1u;
    QTest::newRow("invalid UTF-8") << "fault bad-utf8" << int(F::BadUtf8) << qint64(0) << 1u;
    QTest::newRow("two batches") << "fault two-batches" << int(F::TwoBatches) << qint64(0) << 1u;
}

// Each fault arrives byte for byte, and its bytes are what its name says.
void TestRelayPeer::faults()
{
    QFETCH(QString, command);
    QFETCH(int, fault);
    QFETCH(qint64, arg);
    QFETCH(quint32, seed);
    const auto f = RelayPeer::Fault(fault);
    const QByteArray want = RelayPeer::faultBytes(f, arg, seed);
    const auto body = [&want] { return want.mid(want.indexOf("\r\n\r\n") + 4); };
    switch (f) {
    case RelayPeer::Fault::Garbage:
        QCOMPARE(want.size(), 4000);
        QCOMPARE(RelayPeer::faultBytes(f, arg, seed), want);
        QVERIFY(RelayPeer::faultBytes(f, arg, seed + 1) != want);
        QVERIFY(!want.contains('\r'));
        break;
    case RelayPeer::Fault::Truncated:
        QVERIFY(!want.contains("\r\n\r\n"));
        break;
    case RelayPeer::Fault::Oversized:
        QVERIFY(want.size() > 65535);
        QVERIFY(QJsonDocument::fromJson(body()).isObject());
        break;
    case RelayPeer::Fault::MegabyteBody:
        QCOMPARE(body().size(), 1024 * 1024);
        break;
    case RelayPeer::Fault::LongSession:
        QVERIFY(want.contains("SessionId: 123456789012345678901234567890\r\n"));
        break;
    case RelayPeer::Fault::MonitorFrames:
        QVERIFY(want.startsWith("7:12345678901234567890:..!"));
        break;
    case RelayPeer::Fault::NulBytes:
        QVERIFY(want.contains('\0'));
        break;
    case RelayPeer::Fault::BadUtf8:
        QVERIFY(!isValidUtf8(want));
        break;
    case RelayPeer::Fault::TwoBatches:
        QCOMPARE(want.count("\r\n\r\n"), 2);
        break;
    }

    TestEnv env;
    Monitor m;
    PeerRig rig(optionsFor(m));
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    QCOMPARE(rig.command(command), QStringLiteral("fault %1").arg(command.split(' ')[1]));
    QTRY_COMPARE_WITH_TIMEOUT(m.bytes.size(), want.size(), kWaitMs);
    QCOMPARE(m.bytes, want);
    if (want.size() < 60000)
        QCOMPARE(m.reads.size(), 1);   // one write
}

// Slow reads hold a big message back; stopped reads leave the monitor's
// bytes unsent; normal reads take everything.
void TestRelayPeer::slowAndStoppedReads()
{
    TestEnv env;
    Monitor m;
    PeerRig rig(optionsFor(m));
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    QCOMPARE(rig.command("read rate 2000"), QStringLiteral("read rate 2000"));
    const QByteArray big = frame(5, "/" + QByteArray(20000, 'a'));
    m.send(big);
    QTest::qWait(1000);
    QCOMPARE(rig.peer->messageCount(), 0);
    QCOMPARE(rig.command("read stop"), QStringLiteral("read stop"));
    const QByteArray mib = frame(5, "/" + QByteArray(1024 * 1024, 'b'));
    for (int i = 0; i < 24; ++i)
        m.send(mib);
    QTest::qWait(1000);
    QVERIFY2(m.socket()->bytesToWrite() > 0, "the monitor could write everything");
    QCOMPARE(rig.peer->messageCount(), 0);
    QCOMPARE(rig.command("read normal"), QStringLiteral("read normal"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.peer->messageCount(), 25, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(m.count("/back/\r\n\r\n"), 25, 30000);
}

// Armed, the peer resets the connection once a header is in and its body
// is not; the half frame is never counted.
void TestRelayPeer::resetMidFrame()
{
    TestEnv env;
    Monitor m;
    Options o = optionsFor(m);
    o.logPath = env.path("cnt_net/relaypeer.log");
    PeerRig rig(o);
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    QTcpSocket* first = m.socket();
    rig.command("abort mid-frame");
    m.send(frame(5, "/" + QByteArray(200000, 'c')));
    first->flush();
    // Watched below Qt, before its event loop runs: a reset reads as
    // ECONNRESET, a plain close as end of file.
    const int fd = ::dup(int(first->socketDescriptor()));
    pollfd pfd{fd, POLLIN, 0};
    QVERIFY(::poll(&pfd, 1, kWaitMs) == 1);
    char byte;
    errno = 0;
    const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    const int err = errno;
    ::close(fd);
    QCOMPARE(got, ssize_t(-1));
    QCOMPARE(err, ECONNRESET);
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), QAbstractSocket::UnconnectedState, kWaitMs);
    QCOMPARE(rig.peer->messageCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m.sockets.size(), 2, kWaitMs);
    QVERIFY(env.readFile("cnt_net/relaypeer.log").contains("\"reset mid-frame\""));
}

// One JSON line per message with its lengths, fields or violations and the
// body; the file stops at its cap with a last line saying so.
void TestRelayPeer::logLinesAndCap()
{
    TestEnv env;
    Monitor m;
    Options o = optionsFor(m);
    o.logPath = env.path("cnt_net/relaypeer.log");
    o.logCap = 4000;
    PeerRig rig(o);
    QTRY_VERIFY_WITH_TIMEOUT(rig.peer->isConnected() && m.socket(), kWaitMs);
    const QByteArray record = "device_id=p&operater=A&utc=1&description=\xE4\xB8\xAD";
    m.send(frame(1, record) + frame(17, "x"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.peer->messageCount(), 2, kWaitMs);
    QList<QJsonObject> lines;
    for (const QByteArray& l : env.readFile("cnt_net/relaypeer.log").split('\n'))
        if (!l.isEmpty())
            lines << QJsonDocument::fromJson(l).object();
    QCOMPARE(lines.size(), 3);   // connected, two messages
    const QJsonObject one = lines[1];
    QCOMPARE(one.value("type").toInt(), 1);
    QCOMPARE(one.value("declared").toInt(), record.size());
    QCOMPARE(one.value("actual").toInt(), record.size());
    QCOMPARE(one.value("fields").toObject().value("description").toString(), QString::fromUtf8("\xE4\xB8\xAD"));
    QCOMPARE(QByteArray::fromBase64(one.value("body").toString().toLatin1()), record);
    QVERIFY(one.contains("t"));
    QVERIFY(lines[2].value("violations").toArray().first().toString().contains("expected empty"));

    for (int i = 0; i < 40; ++i)
        m.send(frame(1, record));
    QTRY_COMPARE_WITH_TIMEOUT(rig.peer->messageCount(), 42, kWaitMs);
    const QByteArray log = env.readFile("cnt_net/relaypeer.log");
    QVERIFY(log.size() <= 4000);
    QVERIFY(log.endsWith("{\"event\":\"log capped\"}\n"));
    QCOMPARE(rig.peer->logBytes(), qint64(log.size()));
}

// The program as the monitor starts it: options from the environment, the
// log under cnt_net/, commands on stdin, the counts at the end.
void TestRelayPeer::program()
{
    TestEnv env;
    Monitor m;
    QProcess p;
    p.setWorkingDirectory(env.dir());
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("MM_RELAYPEER_ARGS", QStringLiteral("--port %1 --heartbeat 0 --backoff 50").arg(m.server.serverPort()));
    p.setProcessEnvironment(e);
    p.start(QStringLiteral(MM_RELAYPEER_PROGRAM), QStringList{"--exit-after", "20"});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m.socket(), kWaitMs);
    m.send(frame(14, "") + frame(19, ""));
    QTRY_COMPARE_WITH_TIMEOUT(m.count("/back/\r\n\r\n"), 2, kWaitMs);
    p.write("ack off\nstatus\n");
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("type 19: 1"), kWaitMs);
    out.clear();
    p.terminate();
    QVERIFY(p.waitForFinished(kWaitMs));
    QCOMPARE(p.exitCode(), 0);
    out = p.readAllStandardOutput();
    QVERIFY2(out.contains("type 14: 1") && out.contains("1 violations") && out.contains("never sent"), out.constData());
    QVERIFY(env.readFile("cnt_net/relaypeer.log").contains("\"type\":14"));

    // --exit-after ends a peer that never got a connection, with its counts.
    QProcess timed;
    timed.setWorkingDirectory(env.dir());
    timed.start(QStringLiteral(MM_RELAYPEER_PROGRAM), QStringList{"--exit-after", "0.5", "--no-log", "--port", "1"});
    QVERIFY(timed.waitForFinished(kWaitMs));
    QCOMPARE(timed.exitCode(), 0);
    QVERIFY(timed.readAllStandardOutput().contains("relaypeer: 0 messages"));

    QProcess refused;
    refused.start(QStringLiteral(MM_RELAYPEER_PROGRAM), QStringList{"--host", "10.0.0.1"});
    QVERIFY(refused.waitForFinished(kWaitMs));
    QCOMPARE(refused.exitCode(), 2);
    QVERIFY(refused.readAllStandardError().contains("loopback"));
}

QTEST_GUILESS_MAIN(TestRelayPeer)
#include "tst_relaypeer.moc"
