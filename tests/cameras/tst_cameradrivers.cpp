// Open, start, stop and close per camera kind on the simulated bus, the
// grab side and the frame hand-over.
#include "cameraprobe.h"
#include "camerathread.h"
#include "fakecamerahost.h"
#include "family_dvp.h"
#include "imageconvert.h"
#include "testenv.h"

#include <QImage>
#include <QtTest>

namespace {
QByteArray devices(const QString& body)
{
    return QStringLiteral("{\"devices\":[%1]}").arg(body).toUtf8();
}

QString dev(const QString& family, const QString& serial, int w, int h, const QString& extra = {}, int fps = 400)
{
    // uEye always processes 1280 x 1024: its devices need at least that sensor.
    if (family == QLatin1String("ueye")) {
        w = std::max(w, 1280);
        h = std::max(h, 1024);
        fps = std::min(fps, 60);
    }
    return QStringLiteral("{\"family\":\"%1\",\"serial\":\"%2\",\"width\":%3,\"height\":%4,\"fps\":%6%5}")
        .arg(family, serial).arg(w).arg(h).arg(extra.isEmpty() ? QString() : QStringLiteral(",") + extra).arg(fps);
}

// True when the lines appear in this order (other lines may come between).
bool inOrder(const QStringList& log, const QStringList& expected, QString* missing)
{
    int at = 0;
    for (const QString& e : expected) {
        while (at < log.size() && log[at] != e)
            ++at;
        if (at == log.size()) {
            *missing = e;
            return false;
        }
        ++at;
    }
    return true;
}
}

class TestCameraDrivers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openSequence_data();
    void openSequence();
    void openBySerialOrIndex_data();
    void openBySerialOrIndex();
    void slotsAboveFoundStayClosed();
    void startStopClose_data();
    void startStopClose();
    void dvpOpenFailureIsNoCamera();
    void invalidDvpStartsNothing();
    void handOverNewestWinsWithoutTearing_data();
    void handOverNewestWinsWithoutTearing();
    void dvpDecimation();
    void greyExpandedForColourProcessing_data();
    void greyExpandedForColourProcessing();
    void colourFramesInImageLibraryLayout_data();
    void colourFramesInImageLibraryLayout();
    void wrongSizeFramesDropped_data();
    void wrongSizeFramesDropped();
    void staticSceneStillCountsFrames();
    void triggerChangeDropsPendingFrame();
    void externalTriggerDeliversOnTrigger();

private:
    bool start(const QByteArray& json, int isColor = 0);
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<FakeCameraHost> host_;
};

void TestCameraDrivers::init()
{
    env_ = std::make_unique<TestEnv>();
    resetCameraGlobals();
    camsim::bus().clear();
}

void TestCameraDrivers::cleanup()
{
    host_.reset();
    camsim::bus().clear();
    env_.reset();
}

bool TestCameraDrivers::start(const QByteArray& json, int isColor)
{
    gisColor = isColor;
    if (!camsim::bus().loadJson(json))
        return false;
    CheckCameraID();
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    camsim::bus().log().clear();
    host_->buildSlots();
    return true;
}

void TestCameraDrivers::openSequence_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("galaxy") << "galaxy" << QStringList{
        "GXOpenDeviceByIndex 1", "GXSetInt 0x10000BBB 0", "GXSetInt 0x100003EC 0", "GXSetInt 0x100003ED 0",
        "GXSetInt 0x100003EE 640", "GXSetInt 0x100003EF 480", "GXSetEnum 0x3000178A 1", "GXSetBool 0x40001395 1",
        "GXSendCommand 0x70000BBA", "GXSetEnum 0x30000BB8 2", "GXSetEnum 0x30000BBD 0", "GXSendCommand 0x70000BB9",
        "GXSendCommand 0x70000BB9"};
    QTest::newRow("ueye") << "ueye" << QStringList{
        "is_InitCamera 0x8001", "is_SetColorMode 6", "is_AllocImageMem 1280 1024 8", "is_SetImageMem 1",
        "is_AOI 5 1280 1024", "is_SetAutoParameter 0x8800 0", "is_SetAutoParameter 0x8802 0", "is_SetHardwareGamma 1",
        "is_PixelClock 6 5", "is_CaptureVideo 1"};
    QTest::newRow("mindvision") << "mindvision" << QStringList{
        "CameraInit CAM0000001 -1 -1", "CameraSetImageResolution 255 0 0 640 480", "CameraSetIspOutFormat 0x01080001",
        "CameraSetMonochrome 0", "CameraSetFrameSpeed 0", "CameraSetConnectionStatusCallback",
        "CameraCommonCall set_online_detect_interval(500)", "CameraSetTriggerMode 0", "CameraPlay"};
    QTest::newRow("hikvision") << "hikvision" << QStringList{
        "MV_CC_CreateHandle CAM0000001", "MV_CC_OpenDevice 1 0", "MV_CC_SetEnumValue UserSetSelector 0",
        "MV_CC_SetCommandValue UserSetLoad", "MV_CC_SetBoolValue SharpnessEnable 1", "MV_CC_SetBoolValue GammaEnable 1",
        "MV_CC_SetIntValue GevHeartbeatTimeout 500", "MV_CC_RegisterImageCallBack", "MV_CC_RegisterExceptionCallBack",
        "MV_CC_SetEnumValue PixelFormat 17301505", "MV_CC_SetEnumValue TriggerMode 0", "MV_CC_StartGrabbing"};
    QTest::newRow("dvp") << "dvp" << QStringList{
        "dvpEnum 0", "dvpOpenByName CAM0000001 0x21", "dvpSetGammaState 1", "dvpSetContrastState 1",
        "dvpSetSharpnessState 1", "dvpSetTargetFormat 30", "dvpSetConfigString HdrEnable false", "dvpSetAeOperation 0",
        "dvpSetTriggerSource 1", "dvpSetRoi 0 0 640 480", "dvpRegisterStreamCallback 2", "dvpSetTriggerState 0", "dvpStart"};
}

void TestCameraDrivers::openSequence()
{
    QFETCH(QString, family);
    QFETCH(QStringList, expected);
    QVERIFY(start(devices(dev(family, "CAM0000001", 640, 480))));
    QVERIFY(host_->cameraOpened[0]);
    QCOMPARE(numCamera, 1);
    QString missing;
    QVERIFY2(inOrder(camsim::bus().log().lines(), expected, &missing), qPrintable(missing));
}

void TestCameraDrivers::openBySerialOrIndex_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("opened");
    const QString s8 = "UEYE0002", s9 = "UEYE00002", s19 = "UEYE000000000000002", s20 = "UEYE0000000000000002";
    QTest::newRow("ueye 8 by index") << "ueye" << s8 << "A";
    QTest::newRow("ueye 9 by serial") << "ueye" << s9 << s9;
    QTest::newRow("ueye 19 by serial") << "ueye" << s19 << s19;
    QTest::newRow("ueye 20 by index") << "ueye" << s20 << "A";
    QTest::newRow("mindvision by serial") << "mindvision" << s9 << s9;
    QTest::newRow("hikvision gige by serial") << "hikvision" << s9 << s9;
    QTest::newRow("galaxy by serial") << "galaxy" << s9 << s9;
}

void TestCameraDrivers::openBySerialOrIndex()
{
    QFETCH(QString, family);
    QFETCH(QString, stored);
    QFETCH(QString, opened);
    qstrncpy(gSerialNB[0], stored.toLatin1().constData(), kSerialTextSize);
    // Device "A" comes first; the second device carries the stored serial.
    QVERIFY(start(devices(dev(family, "A", 64, 48) + "," + dev(family, stored, 64, 48))));
    QVERIFY(host_->cameraOpened[0]);
    QVERIFY(camsim::bus().find(opened)->isOpen());
}

void TestCameraDrivers::slotsAboveFoundStayClosed()
{
    // A USB Hikvision camera has no serial in its entry: it opens by index.
    QVERIFY(start(devices(dev("hikvision", "USB0000001", 64, 48, "\"transport\":\"usb\"") + "," +
                          dev("hikvision", "USB0000002", 64, 48, "\"transport\":\"usb\""))));
    QCOMPARE(numCamera, 2);
    QByteArray serial("x");
    QVERIFY(host_->cams[0]->driver()->readSerial(&serial));
    QCOMPARE(serial, QByteArray());
    for (int k = 2; k < kCameraSlots; ++k) {
        QVERIFY(!host_->cameraOpened[k]);
        QCOMPARE(host_->cams[k]->CameraStart(), 0);
    }
}

void TestCameraDrivers::startStopClose_data()
{
    QTest::addColumn<QString>("family");
    for (const char* f : {"galaxy", "ueye", "mindvision", "hikvision", "dvp"})
        QTest::newRow(f) << QString(f);
}

void TestCameraDrivers::startStopClose()
{
    QFETCH(QString, family);
    QVERIFY(start(devices(dev(family, "CAM0000001", 64, 48))));
    CameraBackend& b = *host_->cams[0];
    QTRY_VERIFY_WITH_TIMEOUT(b.framesDelivered() > 0, 3000);
    b.CameraStop();
    QVERIFY(!b.grabThread()->isRunning());
    const uint64_t n = b.framesDelivered();
    QTest::qWait(50);
    QCOMPARE(b.framesDelivered(), n);   // nothing after stop
    QCOMPARE(b.CameraStart(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(b.framesDelivered() > n, 3000);
    b.CameraStop();
    b.CameraClose();
    QVERIFY(!host_->cameraOpened[0]);
    QVERIFY(b.grabThread() == nullptr);
    QVERIFY(!camsim::bus().find("CAM0000001")->isOpen());
    b.CameraClose();   // closed: nothing
    QCOMPARE(b.CameraStart(), 0);
}

void TestCameraDrivers::dvpOpenFailureIsNoCamera()
{
    QVERIFY(start(devices(dev("dvp", "CAM0000001", 64, 48) + "," +
                          dev("dvp", "CAM0000002", 64, 48, "\"faults\":{\"openFail\":-7}"))));
    QVERIFY(host_->cameraOpened[0]);
    QVERIFY(!host_->cameraOpened[1]);
    QCOMPARE(numCamera, 1);
}

void TestCameraDrivers::invalidDvpStartsNothing()
{
    QVERIFY(start(devices(dev("dvp", "CAM0000001", 64, 48))));
    CameraBackend& b = *host_->cams[0];
    b.CameraStop();
    camsim::bus().find("CAM0000001")->setPlugged(false);
    QCOMPARE(b.CameraStart(), 0);
    QVERIFY(!b.grabThread()->isRunning());
    b.CameraStop();
    b.CameraClose();
    QVERIFY(!host_->cameraOpened[0]);
}

void TestCameraDrivers::handOverNewestWinsWithoutTearing_data()
{
    QTest::addColumn<QString>("family");
    for (const char* f : {"galaxy", "ueye", "mindvision", "hikvision", "dvp"})
        QTest::newRow(f) << QString(f);
}

void TestCameraDrivers::handOverNewestWinsWithoutTearing()
{
    QFETCH(QString, family);
    QVERIFY(start(devices(dev(family, "CAM0000001", 320, 240, "\"source\":{\"kind\":\"sequence\"}"))));
    CameraBackend& b = *host_->cams[0];
    // Time the run from the first frame: the grab thread settles 300 ms first.
    QTRY_VERIFY_WITH_TIMEOUT(b.framesDelivered() > 0, 3000);
    std::vector<uint8_t> proc(static_cast<size_t>(gColorLen));
    if (family == "galaxy") {
        // Software contrast 0 passes the frame numbers unchanged; frames made
        // with the old contrast are flushed before the run.
        host_->live[0].contrast = 50;
        b.SetContrast();
        const uint64_t n = b.framesDelivered();
        QTRY_VERIFY_WITH_TIMEOUT(b.framesDelivered() > n + 1, 3000);
        TakeNewFrame(&b, proc.data());
    }
    int taken = 0;
    int last = -1;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 400) {
        if (!TakeNewFrame(&b, proc.data())) {
            QThread::usleep(200);
            continue;
        }
        ++taken;
        const uint8_t v = proc[0];
        for (size_t i = 1; i < proc.size(); ++i)
            if (proc[i] != v)
                QFAIL(qPrintable(QString("torn frame at byte %1").arg(i)));
        if (last >= 0)
            QVERIFY2(((v - last) & 0xFF) < 128 && v != last, "frame numbers went back");
        last = v;
    }
    QVERIFY(taken > 5);
}

void TestCameraDrivers::dvpDecimation()
{
    gImageW = 8;
    gImageH = 4;
    gisColor = 0;
    applyGeometry();
    FakeCameraHost host;
    gCameraID = CameraKindDvp;
    CameraBackend b(&host, 0);
    auto* dvp = dynamic_cast<DvpDriver*>(b.driver());
    QVERIFY(dvp);
    for (int skip : {0, 3}) {
        dvp->setCaptureSpeed(skip);
        dvp->restartDecimation();
        QList<int> kept;
        for (int n = 1; n <= 12; ++n) {
            std::vector<uint8_t> frame(32, static_cast<uint8_t>(n));
            simsdk::dvp::Frame info{simsdk::dvp::FORMAT_MONO8, 8, 4, 32, static_cast<uint64_t>(n)};
            DvpDriver::dvpStreamCallback(0, 2, dvp, &info, frame.data());
            std::vector<uint8_t> out(32);
            if (TakeNewFrame(&b, out.data()))
                kept << out[0];
        }
        if (skip == 0)
            QCOMPARE(kept.size(), 12);
        else
            QCOMPARE(kept, (QList<int>{4, 8, 12}));
    }
}

void TestCameraDrivers::greyExpandedForColourProcessing_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("model");
    QTest::newRow("hikvision mono") << "hikvision" << "MV-CA013-20GM";
    QTest::newRow("galaxy") << "galaxy" << "";
    QTest::newRow("ueye") << "ueye" << "";
    QTest::newRow("dvp mono") << "dvp" << "";
}

void TestCameraDrivers::greyExpandedForColourProcessing()
{
    QFETCH(QString, family);
    QFETCH(QString, model);
    QVERIFY(start(devices(dev(family, "CAM0000001", 64, 48,
                              QString("\"model\":\"%1\",\"mono\":true,\"source\":{\"kind\":\"sequence\"}").arg(model))), 1));
    QCOMPARE(gColorLen, 4 * gImageW * gImageH);
    std::vector<uint8_t> proc(static_cast<size_t>(gColorLen), 0);
    bool got = false;   // TakeNewFrame consumes: evaluate it once per try
    QTRY_VERIFY_WITH_TIMEOUT(got = got || TakeNewFrame(host_->cams[0].get(), proc.data()), 3000);
    const uint8_t v = proc[0];
    for (size_t i = 0; i < proc.size(); i += 4) {
        QCOMPARE(proc[i], v);
        QCOMPARE(proc[i + 1], v);
        QCOMPARE(proc[i + 2], v);
        QCOMPARE(proc[i + 3], uint8_t(255));
    }
}

void TestCameraDrivers::colourFramesInImageLibraryLayout_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("model");
    QTest::newRow("mindvision rgb") << "mindvision" << "";
    QTest::newRow("hikvision bayer") << "hikvision" << "MV-CA013-20GC";
    QTest::newRow("dvp rgb") << "dvp" << "";
}

void TestCameraDrivers::colourFramesInImageLibraryLayout()
{
    // A colour camera's frame must reach the engine in the words its
    // conversions read (RGB2RGBA's layout), or hue and grey come out wrong.
    QFETCH(QString, family);
    QFETCH(QString, model);
    QImage img(64, 48, QImage::Format_RGB888);
    img.fill(QColor(200, 100, 30));
    QVERIFY(img.save(env_->path("colour.png")));
    QVERIFY(start(devices(dev(family, "CAM0000001", 64, 48,
                              QString("\"model\":\"%1\",\"mono\":false,\"source\":{\"kind\":\"files\",\"files\":[\"%2\"]}")
                                  .arg(model, env_->path("colour.png")))), 1));
    QCOMPARE(gSensorColor, 1);
    std::vector<uint8_t> proc(static_cast<size_t>(gColorLen), 0);
    bool got = false;
    QTRY_VERIFY_WITH_TIMEOUT(got = got || TakeNewFrame(host_->cams[0].get(), proc.data()), 3000);
    const uint8_t rgb[3] = {200, 100, 30};
    std::vector<uint8_t> expected(4);
    RGB2RGBA(expected.data(), rgb, 1, 1);
    const size_t centre = 4 * (static_cast<size_t>(gImageW) * (gImageH / 2) + gImageW / 2);
    QCOMPARE(std::vector<uint8_t>(proc.begin() + centre, proc.begin() + centre + 4), expected);
    unsigned char grey = 0;
    RGBA2Gray(&grey, proc.data() + centre, 1, 1);
    QVERIFY2(qAbs(grey - (200 * 299 + 100 * 587 + 30 * 114) / 1000) <= 1, qPrintable(QString::number(grey)));
}

void TestCameraDrivers::wrongSizeFramesDropped_data()
{
    QTest::addColumn<QString>("family");
    for (const char* f : {"galaxy", "ueye", "mindvision", "hikvision", "dvp"})
        QTest::newRow(f) << QString(f);
}

void TestCameraDrivers::wrongSizeFramesDropped()
{
    QFETCH(QString, family);
    QVERIFY(start(devices(dev(family, "CAM0000001", 64, 48, "\"faults\":{\"wrongFrameSize\":true}"))));
    QTRY_VERIFY_WITH_TIMEOUT(host_->cams[0]->framesDropped() > 2, 3000);
    QCOMPARE(host_->cams[0]->framesDelivered(), uint64_t(0));
    QVERIFY(!isImageFill[0]);
}

void TestCameraDrivers::staticSceneStillCountsFrames()
{
    QImage img(64, 48, QImage::Format_Grayscale8);
    img.fill(0);   // a black, unchanging scene
    QVERIFY(img.save(env_->path("black.png")));
    QVERIFY(start(devices(dev("ueye", "CAM0000001", 64, 48,
                              QString("\"source\":{\"kind\":\"files\",\"files\":[\"%1\"]}").arg(env_->path("black.png"))))));
    QTRY_VERIFY_WITH_TIMEOUT(host_->cams[0]->framesDelivered() > 5, 3000);
}

void TestCameraDrivers::triggerChangeDropsPendingFrame()
{
    QVERIFY(start(devices(dev("mindvision", "CAM0000001", 64, 48))));
    CameraBackend& b = *host_->cams[0];
    QTRY_VERIFY_WITH_TIMEOUT(b.framesDelivered() > 0, 3000);
    b.CameraStop();
    QVERIFY(isImageFill[0]);
    b.CameraChangeTrig(false);
    QVERIFY(!isImageFill[0]);
}

void TestCameraDrivers::externalTriggerDeliversOnTrigger()
{
    QVERIFY(camsim::bus().loadJson(devices(dev("hikvision", "CAM0000001", 64, 48))));
    CheckCameraID();
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    host_->liveSwitches.externalTrigger = 1;
    host_->buildSlots();
    CameraBackend& b = *host_->cams[0];
    QTest::qWait(100);
    QCOMPARE(b.framesDelivered(), uint64_t(0));
    camsim::bus().find("CAM0000001")->softTrigger();
    QTRY_COMPARE_WITH_TIMEOUT(b.framesDelivered(), uint64_t(1), 3000);
}

QTEST_GUILESS_MAIN(TestCameraDrivers)
#include "tst_cameradrivers.moc"
