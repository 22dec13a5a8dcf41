// The simulated camera bus: configuration, frame sources, delivery and faults.
#include "dvpsdk.h"
#include "galaxysdk.h"
#include "simcamerabus.h"
#include "testenv.h"

#include <QtTest>

#include <atomic>

class TestCameraBus : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { camsim::bus().clear(); }
    void configuration_data();
    void configuration();
    void sourcesDiffer();
    void nothingAfterStop();
    void faults();
    void galaxyPolling();
};

void TestCameraBus::configuration_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("devices");
    QTest::newRow("two") << QByteArray(R"({"devices":[{"family":"dvp","serial":"A"},{"family":"Galaxy","serial":"B","mono":false}]})") << true << 2;
    QTest::newRow("empty list") << QByteArray(R"({"devices":[]})") << true << 0;
    QTest::newRow("not json") << QByteArray("{devices") << false << 0;
    QTest::newRow("unknown family") << QByteArray(R"({"devices":[{"family":"acme"}]})") << false << 0;
    QTest::newRow("bad size") << QByteArray(R"({"devices":[{"family":"dvp","width":0}]})") << false << 0;
    QTest::newRow("no list") << QByteArray(R"({"cams":1})") << false << 0;
}

void TestCameraBus::configuration()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(int, devices);
    QString error;
    QCOMPARE(camsim::bus().loadJson(json, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(static_cast<int>(camsim::bus().all().size()), devices);
}

void TestCameraBus::sourcesDiffer()
{
    camsim::DeviceConfig c;
    c.family = camsim::Family::Dvp;
    c.width = 64;
    c.height = 48;
    camsim::Device synthetic(c);
    camsim::Frame a, b;
    synthetic.makeFrame(&a);
    synthetic.makeFrame(&b);
    QCOMPARE(a.data.size(), size_t(64 * 48));
    QVERIFY(a.data != b.data);   // consecutive frames differ
    QCOMPARE(b.number, a.number + 1);

    c.source = "sequence";
    camsim::Device seq(c);
    seq.setFormat(camsim::PixelFormat::Rgb24);   // a mono sensor stays mono
    seq.makeFrame(&a);
    QCOMPARE(a.format, camsim::PixelFormat::Mono8);
    QVERIFY(std::all_of(a.data.begin(), a.data.end(), [](uint8_t v) { return v == 1; }));
}

void TestCameraBus::nothingAfterStop()
{
    camsim::DeviceConfig c;
    c.family = camsim::Family::Hikvision;
    c.width = 32;
    c.height = 16;
    c.fps = 500;
    camsim::Device d(c);
    std::atomic<int> frames{0};
    d.startStream([&](const camsim::Frame&) { QThread::usleep(500); ++frames; });
    QTRY_VERIFY(frames > 3);
    d.stopStream();
    const int n = frames;
    QTest::qWait(30);
    QCOMPARE(frames.load(), n);
}

void TestCameraBus::faults()
{
    camsim::DeviceConfig c;
    c.family = camsim::Family::Dvp;
    c.width = 32;
    c.height = 16;
    c.fps = 500;
    camsim::Device d(c);
    std::atomic<int> frames{0}, lost{0};
    d.startStream([&](const camsim::Frame& f) { ++frames; QCOMPARE(f.width, d.windowWidth() - (f.width == 16 ? 16 : 0)); },
                  [&] { ++lost; });
    QTRY_VERIFY(frames > 0);
    d.setPlugged(false);
    QTRY_COMPARE(lost.load(), 1);
    const int n = frames;
    QTest::qWait(30);
    QCOMPARE(frames.load(), n);   // unplugged: no frames, one lost call
    QCOMPARE(lost.load(), 1);
    d.setPlugged(true);
    QTRY_VERIFY(frames > n);
    d.setStalled(true);
    QTest::qWait(20);
    const int m = frames;
    QTest::qWait(30);
    QCOMPARE(frames.load(), m);
    d.stopStream();
    d.setWrongFrameSize(true);
    camsim::Frame f;
    d.makeFrame(&f);
    QCOMPARE(f.width, 16);
}

void TestCameraBus::galaxyPolling()
{
    QVERIFY(camsim::bus().loadJson(R"({"devices":[{"family":"galaxy","serial":"G","width":64,"height":48,"fps":200},
                                                  {"family":"galaxy","serial":"F","faults":{"openFail":-9}}]})"));
    using namespace simsdk::gx;
    uint32_t n = 0;
    QCOMPARE(GXUpdateDeviceList(&n, 100), 0);
    QCOMPARE(n, 2u);
    DeviceHandle h = nullptr, h2 = nullptr;
    QCOMPARE(GXOpenDeviceByIndex(2, &h2), -9);
    QCOMPARE(GXOpenDeviceByIndex(1, &h), 0);
    QCOMPARE(GXOpenDeviceByIndex(1, &h2), GX_STATUS_ERROR);   // opened once at a time
    std::vector<uint8_t> buf(64 * 48);
    FrameData fd;
    fd.imgBuf = buf.data();
    fd.imgBufSize = static_cast<int>(buf.size());
    QCOMPARE(GXGetImage(h, &fd, 20), GX_STATUS_TIMEOUT);   // not acquiring
    GXSendCommand(h, 0x70000BB9);
    QCOMPARE(GXGetImage(h, &fd, 1000), 0);
    QCOMPARE(fd.width, 64);
    QCOMPARE(fd.status, 0);
    GXSendCommand(h, 0x70000BBA);
    QCOMPARE(GXCloseDevice(h), 0);
    uint8_t in[3] = {0, 128, 255}, out[3];
    DxContrast(in, out, 3, 100);
    QCOMPARE(out[0], uint8_t(0));
    QCOMPARE(out[1], uint8_t(128));
    QCOMPARE(out[2], uint8_t(255));
}

QTEST_GUILESS_MAIN(TestCameraBus)
#include "tst_camerabus.moc"
