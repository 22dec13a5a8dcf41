// The simulated camera bus: configuration, frame sources, delivery and faults.
#include "dvpsdk.h"
#include "galaxysdk.h"
#include "hikvisionsdk.h"
#include "mindvisionsdk.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "ueyesdk.h"

#include <QtTest>

#include <atomic>
#include <functional>
#include <malloc.h>
#include <mutex>

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
    void sessionsFreedOnClose_data();
    void sessionsFreedOnClose();
    void ueyeWrongSizeFramesDropped();
    void hikvisionEntriesPairBySerial();
};

void TestCameraBus::configuration_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("devices");
    QTest::addColumn<QString>("key");   // named in the error
    auto one = [](const char* fields) {
        return QByteArray(R"({"devices":[{"family":"dvp","serial":"A")")
               + (*fields ? QByteArray(",") + fields : QByteArray()) + "}]}";
    };
    QTest::newRow("two") << QByteArray(R"({"devices":[{"family":"dvp","serial":"A"},{"family":"Galaxy","serial":"B","mono":false}]})") << true << 2 << "";
    QTest::newRow("empty list") << QByteArray(R"({"devices":[]})") << true << 0 << "";
    QTest::newRow("not json") << QByteArray("{devices") << false << 0 << "";
    QTest::newRow("unknown family") << QByteArray(R"({"devices":[{"family":"acme"}]})") << false << 0 << "family";
    QTest::newRow("bad size") << QByteArray(R"({"devices":[{"family":"dvp","width":0}]})") << false << 0 << "width";
    QTest::newRow("no list") << QByteArray(R"({"cams":1})") << false << 0 << "devices";
    // Every number is checked before it is used.
    QTest::newRow("largest values") << one(R"("width":8192,"height":8192,"windowWidth":8192,"windowHeight":16,"fps":1000,
                                            "source":{"seed":4294967295},"faults":{"openFail":-2147483648})") << true << 1 << "";
    QTest::newRow("window wider than the sensor") << one(R"("width":640,"windowWidth":100000)") << false << 0 << "windowWidth";
    QTest::newRow("window taller than the sensor") << one(R"("height":480,"windowHeight":481)") << false << 0 << "windowHeight";
    QTest::newRow("negative window") << one(R"("windowHeight":-1)") << false << 0 << "windowHeight";
    QTest::newRow("sensor above 8192") << one(R"("width":8193)") << false << 0 << "width";
    QTest::newRow("sensor size past int") << one(R"("height":1e300)") << false << 0 << "height";
    QTest::newRow("fractional size") << one(R"("width":640.5)") << false << 0 << "width";
    QTest::newRow("size as text") << one(R"("width":"640")") << false << 0 << "width";
    QTest::newRow("fps zero") << one(R"("fps":0)") << false << 0 << "fps";
    QTest::newRow("fps too high") << one(R"("fps":1e9)") << false << 0 << "fps";
    QTest::newRow("negative seed") << one(R"("source":{"seed":-1})") << false << 0 << "seed";
    QTest::newRow("seed past 32 bits") << one(R"("source":{"seed":4294967296})") << false << 0 << "seed";
    QTest::newRow("open failure past int") << one(R"("faults":{"openFail":1e12})") << false << 0 << "openFail";
    QTest::newRow("feature not finite") << one(R"("features":{"Gain":1e999})") << false << 0 << "Gain";
    QTest::newRow("feature of two numbers") << one(R"("features":{"Gain":[1,2]})") << false << 0 << "Gain";
    QTest::newRow("feature min above max") << one(R"("features":{"Gain":[1,5,2]})") << false << 0 << "Gain";
    QByteArray many = R"({"devices":[)";
    for (int i = 0; i < 65; ++i)
        many += QByteArray(i ? "," : "") + R"({"family":"dvp","serial":"S)" + QByteArray::number(i) + "\"}";
    QTest::newRow("65 devices") << many + "]}" << false << 0 << "devices";
}

void TestCameraBus::configuration()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(int, devices);
    QFETCH(QString, key);
    QString error;
    QCOMPARE(camsim::bus().loadJson(json, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!key.isEmpty())
        QVERIFY2(error.contains("\"" + key + "\""), qPrintable(error));
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
    // Collected on the device's thread, compared here.
    std::mutex m;
    std::vector<int> widths;
    d.startStream([&](const camsim::Frame& f) {
        {
            std::lock_guard<std::mutex> lk(m);
            widths.push_back(f.width);
        }
        ++frames;
    }, [&] { ++lost; });
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
    const int m0 = frames;
    QTest::qWait(30);
    QCOMPARE(frames.load(), m0);
    d.setWrongFrameSize(true);
    d.setStalled(false);
    QTRY_VERIFY(frames > m0);
    d.stopStream();
    QCOMPARE(int(widths.size()), frames.load());
    QCOMPARE(std::count(widths.begin(), widths.end(), 32), std::ptrdiff_t(m0));
    QCOMPARE(std::count(widths.begin(), widths.end(), 16), std::ptrdiff_t(frames - m0));   // 16 narrower
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

namespace {

// One open, start, first frame, stop and close of the bus's first camera of
// a family through its stand-in SDK; false when a step failed.
bool openGrabClose(const QString& family)
{
    if (family == "mindvision") {
        using namespace simsdk::mv;
        DeviceInfo list[4];
        int n = 4;
        CameraHandle h = 0;
        if (CameraEnumerateDevice(list, &n) != 0 || CameraInit(&list[0], -1, 0, &h) != 0)
            return false;
        FrameHead head;
        uint8_t* raw = nullptr;
        const bool got = CameraPlay(h) == 0 && CameraGetImageBuffer(h, &head, &raw, 2000) == 0;
        CameraReleaseImageBuffer(h, raw);
        CameraStop(h);
        return CameraUnInit(h) == 0 && got;
    }
    if (family == "ueye") {
        using namespace simsdk::ueye;
        HIDS h = IS_USE_DEVICE_ID | 1;
        char* mem = nullptr;
        int id = 0;
        if (is_InitCamera(&h, nullptr) != IS_SUCCESS)
            return false;
        bool got = is_AllocImageMem(h, 1280, 1024, 8, &mem, &id) == IS_SUCCESS
                   && is_SetImageMem(h, mem, id) == IS_SUCCESS && is_CaptureVideo(h, 0) == IS_SUCCESS;
        uint64_t frames = 0;
        for (int i = 0; got && i < 200 && frames == 0; ++i) {
            QThread::msleep(10);
            is_GetFramesCaptured(h, &frames);
        }
        got = got && frames > 0;
        is_StopLiveVideo(h, 0);
        is_FreeImageMem(h, mem, id);
        return is_ExitCamera(h) == IS_SUCCESS && got;
    }
    if (family == "dvp") {
        using namespace simsdk::dvp;
        dvpHandle h = 0;
        if (dvpOpenByName("A", 0, &h) != DVP_STATUS_OK)
            return false;
        static std::atomic<int> frames;
        frames = 0;
        dvpRegisterStreamCallback(h, [](dvpHandle, int, void*, Frame*, void*) { ++frames; return 0; },
                                  EVENT_FRAME_END, nullptr);
        dvpStart(h);
        for (int i = 0; i < 200 && frames == 0; ++i)
            QThread::msleep(10);
        dvpStop(h);
        return dvpClose(h) == DVP_STATUS_OK && frames > 0;
    }
    if (family == "galaxy") {
        using namespace simsdk::gx;
        DeviceHandle h = nullptr;
        uint32_t n = 0;
        if (GXUpdateDeviceList(&n, 100) != 0 || GXOpenDeviceByIndex(1, &h) != 0)
            return false;
        FrameData fd;   // size only
        GXSendCommand(h, 0x70000BB9);
        const bool got = GXGetImage(h, &fd, 2000) == 0;
        GXSendCommand(h, 0x70000BBA);
        return GXCloseDevice(h) == 0 && got;
    }
    using namespace simsdk::hik;
    DeviceInfoList list;
    Handle h = nullptr;
    if (MV_CC_EnumDevices(5, &list) != MV_OK || list.count < 1 || MV_CC_CreateHandle(&h, list.entries[0]) != MV_OK)
        return false;
    static std::atomic<int> frames;
    frames = 0;
    MV_CC_RegisterImageCallBack(h, [](unsigned char*, FrameOutInfo*, void*) { ++frames; }, nullptr);
    bool got = MV_CC_OpenDevice(h, 1, 0) == MV_OK && MV_CC_StartGrabbing(h) == MV_OK;
    for (int i = 0; got && i < 200 && frames == 0; ++i)
        QThread::msleep(10);
    MV_CC_StopGrabbing(h);
    MV_CC_CloseDevice(h);
    return MV_CC_DestroyHandle(h) == MV_OK && got && frames > 0;
}

size_t heapInUse()
{
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

} // namespace

void TestCameraBus::sessionsFreedOnClose_data()
{
    QTest::addColumn<QString>("family");
    for (const char* f : {"galaxy", "ueye", "mindvision", "hikvision", "dvp"})
        QTest::newRow(f) << QString(f);
}

void TestCameraBus::sessionsFreedOnClose()
{
    // A camera that is lost and restarted is closed and opened again, for as
    // long as the program runs: a session must leave nothing behind.  (Under
    // AddressSanitizer the close itself is checked as well.)
    QFETCH(QString, family);
    QVERIFY(camsim::bus().loadJson(QStringLiteral(R"({"devices":[{"family":"%1","serial":"A","width":1280,"height":1024,"fps":200}]})")
                                       .arg(family).toUtf8()));
    QVERIFY(openGrabClose(family));   // the device builds its pictures once
    const size_t before = heapInUse();
    for (int i = 0; i < 10; ++i)
        QVERIFY(openGrabClose(family));
    const double grownMB = (double(heapInUse()) - double(before)) / (1 << 20);
    QVERIFY2(grownMB < 3, qPrintable(QString("heap grew by %1 MB over 10 sessions").arg(grownMB)));
}

void TestCameraBus::ueyeWrongSizeFramesDropped()
{
    QVERIFY(camsim::bus().loadJson(R"({"devices":[{"family":"ueye","serial":"U","width":64,"height":48,"fps":500,
                                                   "faults":{"wrongFrameSize":true}}]})"));
    using namespace simsdk::ueye;
    auto dev = camsim::bus().find("U");
    HIDS h = IS_USE_DEVICE_ID | 1;
    QCOMPARE(is_InitCamera(&h, nullptr), IS_SUCCESS);
    char* mem = nullptr;
    int id = 0;
    QCOMPARE(is_AllocImageMem(h, 64, 48, 8, &mem, &id), IS_SUCCESS);
    QCOMPARE(is_SetImageMem(h, mem, id), IS_SUCCESS);
    QCOMPARE(is_CaptureVideo(h, 0), IS_SUCCESS);
    QTRY_VERIFY(dev->framesProduced() > 3);
    // Frames 48 pixels wide never reach the 64-pixel memory: nothing counted
    // as captured, the memory untouched.
    uint64_t frames = 99;
    QCOMPARE(is_GetFramesCaptured(h, &frames), IS_SUCCESS);
    QCOMPARE(frames, uint64_t(0));
    std::vector<char> copy(64 * 48, 1);
    QCOMPARE(is_CopyImageMem(h, mem, id, copy.data()), IS_SUCCESS);
    QVERIFY(std::all_of(copy.begin(), copy.end(), [](char c) { return c == 0; }));
    QTRY_VERIFY(dev->framesProduced() > 6);
    is_StopLiveVideo(h, 0);   // counts stay still from here
    CaptureStatus status;
    QCOMPARE(is_CaptureStatus(h, IS_CAPTURE_STATUS_INFO_CMD_GET, &status, sizeof status), IS_SUCCESS);
    QCOMPARE(uint64_t(status.wrongSize), dev->framesProduced());
    QCOMPARE(uint64_t(status.total), dev->framesProduced());

    // The right size again: captured, counted, written.
    dev->setWrongFrameSize(false);
    QCOMPARE(is_CaptureVideo(h, 0), IS_SUCCESS);
    QTRY_VERIFY(is_GetFramesCaptured(h, &frames) == IS_SUCCESS && frames > 0);
    is_StopLiveVideo(h, 0);
    QCOMPARE(is_CopyImageMem(h, mem, id, copy.data()), IS_SUCCESS);
    QVERIFY(std::any_of(copy.begin(), copy.end(), [](char c) { return c != 0; }));
    is_FreeImageMem(h, mem, id);
    QCOMPARE(is_ExitCamera(h), IS_SUCCESS);
}

void TestCameraBus::hikvisionEntriesPairBySerial()
{
    QVERIFY(camsim::bus().loadJson(R"({"devices":[
        {"family":"hikvision","serial":"U1","transport":"usb","model":"USB-CAM"},
        {"family":"hikvision","serial":"G1","transport":"gige","model":"GIGE-CAM","ip":"192.0.2.60"}]})"));
    using namespace simsdk::hik;
    auto modelOf = [](const DeviceInfo* entry) {
        Handle h = nullptr;
        if (MV_CC_CreateHandle(&h, entry) != MV_OK)
            return QString("no handle");
        char model[64] = {};
        const int rc = MV_CC_OpenDevice(h, 1, 0);
        if (rc == MV_OK)
            MV_CC_GetStringValue(h, "DeviceModelName", model, sizeof model);
        MV_CC_DestroyHandle(h);
        return rc == MV_OK ? QString(model) : QString("open failed %1").arg(rc, 0, 16);
    };
    // GigE only: the one entry is the second device of the bus.
    DeviceInfoList list;
    QCOMPARE(MV_CC_EnumDevices(MV_GIGE_DEVICE, &list), MV_OK);
    QCOMPARE(list.count, 1u);
    QCOMPARE(modelOf(list.entries[0]), QString("GIGE-CAM"));
    // An entry of a camera unplugged since the enumeration opens nothing else.
    QCOMPARE(MV_CC_EnumDevices(MV_GIGE_DEVICE | MV_USB_DEVICE, &list), MV_OK);
    QCOMPARE(list.count, 2u);
    camsim::bus().find("U1")->setPlugged(false);
    QCOMPARE(modelOf(list.entries[0]), QString("open failed %1").arg(MV_E_NODATA, 0, 16));
    QCOMPARE(modelOf(list.entries[1]), QString("GIGE-CAM"));
}

QTEST_GUILESS_MAIN(TestCameraBus)
#include "tst_camerabus.moc"
