// Camera probing on the simulated bus, the UVC count, serial bindings and
// the loss and restart of cameras.
#include "cameraprobe.h"
#include "fakecamerahost.h"
#include "fakeslothost.h"
#include "gige_ensuredevicereach.h"
#include "messages.h"
#include "paths.h"
#include "testenv.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSemaphore>
#include <QtTest>

#include <atomic>

namespace {
QByteArray devices(const QString& body)
{
    return QStringLiteral("{\"devices\":[%1]}").arg(body).toUtf8();
}

QString dev(const char* family, const QString& serial, int w, int h, const QString& extra = {})
{
    return QStringLiteral("{\"family\":\"%1\",\"serial\":\"%2\",\"width\":%3,\"height\":%4,\"fps\":200%5}")
        .arg(QLatin1String(family), serial).arg(w).arg(h).arg(extra.isEmpty() ? QString() : QStringLiteral(",") + extra);
}

class FakeUvc : public UvcSource {
public:
    FakeUvc(QStringList* opened, QStringList working, QStringList* tried = nullptr)
        : opened_(opened), working_(std::move(working)), tried_(tried) {}
    bool open(const QString& url) override
    {
        if (tried_)
            tried_->append(url);
        if (!working_.contains(url))
            return false;
        opened_->append(url);
        return true;
    }
    int readGrey(uint8_t*, int, int) override { return 0; }
    int setFilters(const std::string&) override { return 0; }
    void close() override {}
private:
    QStringList* opened_;
    QStringList working_;
    QStringList* tried_;
};

constexpr quint32 kHost = 0xC000020A;   // 192.0.2.10/24
constexpr quint32 kMask = 0xFFFFFF00;

class OneInterface : public NetInterfaces {
public:
    std::vector<NetInterface> addresses() const override { return {{"eth0", {}, kHost, kMask}}; }
    QStringList links() const override { return {"eth0"}; }
};

// One Hikvision camera outside the host's subnet: every sweep pings for a
// free address; no address is free, so nothing is changed.
class StrayCameraSdk : public HikGigeSdk {
public:
    int enumGige(std::vector<simsdk::hik::DeviceInfo>& devices) override
    {
        simsdk::hik::DeviceInfo d;
        d.transportType = simsdk::hik::MV_GIGE_DEVICE;
        d.currentIp = 0xCB00710B;   // 203.0.113.11
        d.currentSubnetMask = kMask;
        d.netExport = kHost;
        devices = {d};
        return simsdk::hik::MV_OK;
    }
    int createHandle(simsdk::hik::Handle*, const simsdk::hik::DeviceInfo&) override { return simsdk::hik::MV_OK; }
    int forceIpEx(simsdk::hik::Handle, quint32, quint32, quint32) override { return simsdk::hik::MV_OK; }
    int destroyHandle(simsdk::hik::Handle) override { return simsdk::hik::MV_OK; }
};

class SweepOnly : public AddressRepair {
public:
    SweepOnly()
    {
        env_.allowedInterfaces = {"eth0"};
        env_.interfaces = std::make_shared<OneInterface>();
        env_.sdk = std::make_shared<StrayCameraSdk>();
    }
    int RepairAllCameraIP() override { return 0; }
    int EnsureDeviceReach() override
    {
        ++sweeps;
        const int r = ::EnsureDeviceReach(env_);
        ++finished;
        return r;
    }
    std::atomic<int> sweeps{0};
    std::atomic<int> finished{0};
private:
    EnsureReachEnv env_;
};
}

class TestCameraProbe : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void probeTable_data();
    void probeTable();
    void emptyBusMeansNoCamera();
    void usbCount_data();
    void usbCount();
    void uvcProbeAndNodeSelection();
    void saveSerials();
    void lossEpisode();
    void lossReachesTheSlotHost_data();
    void lossReachesTheSlotHost();
    void lossCheckCountsForHikvisionAndDvp();
    void galaxyRecovers();
    void galaxyReportsEarlierCropWindow();
    void callbacksRaiseLostSignal();
    void reachSweepRunsOffTheGuiThreadOncePerEpisode();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestCameraProbe::init()
{
    env_ = std::make_unique<TestEnv>();
    resetCameraGlobals();
    camsim::bus().clear();
    gaLanStr[3 * 332 + gLan] = QStringLiteral("The %1th Camera Lost, %2");
    gaLanStr[3 * 39 + gLan] = QStringLiteral("Warning: The camera is unavailable, \r\n please check the connection!");
}

void TestCameraProbe::cleanup()
{
    camsim::bus().clear();
    setUvcSourceFactory({});
    paths() = Paths{};
    env_.reset();
}

void TestCameraProbe::probeTable_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("galaxy 2592 cut") << devices(dev("galaxy", "G1", 2592, 1944)) << 1 << 4 << 1 << 1296 << 972;
    QTest::newRow("galaxy 2592 no cut") << devices(dev("galaxy", "G1", 2592, 1944)) << 0 << 4 << 1 << 1296 << 972;
    QTest::newRow("galaxy 1280 cut") << devices(dev("galaxy", "G1", 1280, 1024) + "," + dev("galaxy", "G2", 1280, 1024))
                                     << 1 << 4 << 2 << 1120 << 840;
    QTest::newRow("galaxy 1280 no cut") << devices(dev("galaxy", "G1", 1280, 1024)) << 0 << 4 << 1 << 1280 << 1024;
    QTest::newRow("ueye") << devices(dev("ueye", "U1", 2048, 1536)) << 1 << 5 << 1 << 1280 << 1024;
    QTest::newRow("mindvision 2592 cut preset") << devices(dev("mindvision", "M1", 2592, 1944)) << 1 << 6 << 1 << 2048 << 1536;
    QTest::newRow("mindvision 2592 no cut") << devices(dev("mindvision", "M1", 2592, 1944)) << 0 << 6 << 1 << 2592 << 1944;
    QTest::newRow("mindvision 3088") << devices(dev("mindvision", "M1", 3088, 2064)) << 1 << 6 << 1 << 2592 << 1944;
    QTest::newRow("mindvision 1600") << devices(dev("mindvision", "M1", 1600, 1200)) << 1 << 6 << 1 << 1300 << 1000;
    QTest::newRow("hikvision window") << devices(dev("hikvision", "H1", 2448, 2048, "\"windowWidth\":1280,\"windowHeight\":1024"))
                                      << 1 << 7 << 1 << 1280 << 1024;
    QTest::newRow("dvp roi") << devices(dev("dvp", "D1", 2048, 1536, "\"windowWidth\":1600,\"windowHeight\":1200"))
                             << 1 << 12 << 1 << 1600 << 1200;
    QString many;
    for (int k = 0; k < 17; ++k)
        many += (k ? "," : "") + dev("dvp", QStringLiteral("D%1").arg(k), 640, 480);
    QTest::newRow("dvp capped at 16") << devices(many) << 1 << 12 << 16 << 640 << 480;
    QTest::newRow("galaxy before dvp") << devices(dev("dvp", "D1", 640, 480) + "," + dev("galaxy", "G1", 1280, 1024))
                                       << 0 << 4 << 1 << 1280 << 1024;
    QTest::newRow("mindvision before hikvision") << devices(dev("hikvision", "H1", 640, 480) + "," + dev("mindvision", "M1", 1280, 1024))
                                                 << 0 << 6 << 1 << 1280 << 1024;
    QTest::newRow("unplugged is not found") << devices(dev("galaxy", "G1", 1280, 1024, "\"faults\":{\"unplugged\":true}"))
                                            << 1 << 0 << 4 << 1920 << 1080;
    QTest::newRow("open failure falls through") << devices(dev("mindvision", "M1", 1280, 1024, "\"faults\":{\"openFail\":-45}"))
                                                << 1 << 0 << 4 << 1920 << 1080;
}

void TestCameraProbe::probeTable()
{
    QFETCH(QByteArray, json);
    QFETCH(int, cut);
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(int, height);
    gisCut = cut;
    QString error;
    QVERIFY2(camsim::bus().loadJson(json, &error), qPrintable(error));
    CheckCameraID();
    QCOMPARE(gCameraID, kind);
    QCOMPARE(gFindCamera, count);
    QCOMPARE(gImageW, width);
    QCOMPARE(gImageH, height);
    // No device stays open after the probe.
    for (const auto& d : camsim::bus().all())
        QVERIFY(!d->isOpen());
}

void TestCameraProbe::emptyBusMeansNoCamera()
{
    qputenv("MOULDMON_CAMSIM", env_->path("missing.json").toUtf8());
    QVERIFY(camsim::bus().loadDefault());
    qunsetenv("MOULDMON_CAMSIM");
    QVERIFY(camsim::bus().all().empty());
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindNone));
    QCOMPARE(gFindCamera, 4);
    QCOMPARE(gImageW, 1920);
    QCOMPARE(gImageH, 1080);
    // No camera: slots 0 to 3 open without a device.
    applyGeometry();
    FakeCameraHost host;
    host.buildSlots();
    QCOMPARE(numCamera, 4);
    QVERIFY(host.cameraOpened[3]);
    QVERIFY(!host.cameraOpened[4]);
}

void TestCameraProbe::usbCount_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("count");
    QTest::newRow("none") << QByteArray("N: Name=\"Power Button\"\n") << 0;
    QTest::newRow("any case") << QByteArray("N: Name=\"USB Camera\"\nN: Name=\"HD CAMERA\"\nN: Name=\"camera 2\"\n") << 3;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestCameraProbe::usbCount()
{
    QFETCH(QByteArray, content);
    QFETCH(int, count);
    env_->writeFile("proc/devices", content);
    paths().procInputDevices = env_->path("proc/devices");
    QCOMPARE(CheckUSBCameraNum(), count);
    QCOMPARE(env_->readFile("devices"), content);   // the copy in the program directory
    paths().procInputDevices = env_->path("proc/missing");
    QCOMPARE(CheckUSBCameraNum(), 0);
}

void TestCameraProbe::uvcProbeAndNodeSelection()
{
    env_->writeFile("proc/devices", "N: Name=\"USB Camera\"\nN: Name=\"USB Camera\"\n");
    paths().procInputDevices = env_->path("proc/devices");
    paths().videoDevice = env_->path("dev/video%1");
    // Without a capture path installed, UVC is not taken.
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindNone));

    QStringList opened, tried;
    // video1 is a metadata node that does not open; 2 and 3 work.
    const QStringList working{paths().videoDevice.arg(0), paths().videoDevice.arg(2), paths().videoDevice.arg(3)};
    setUvcSourceFactory([&] { return std::make_unique<FakeUvc>(&opened, working, &tried); });
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindUvc));
    QCOMPARE(gFindCamera, 2);
    QCOMPARE(gImageW, 960);
    QCOMPARE(gImageH, 540);
    applyGeometry();
    opened.clear();
    FakeCameraHost host;
    host.buildSlots();
    QCOMPARE(numCamera, 2);
    // slot 0 takes video0; slot 1's own node fails, so it takes the first
    // working node from gFindCamera up.
    QCOMPARE(opened, (QStringList{paths().videoDevice.arg(0), paths().videoDevice.arg(2)}));
    // Every node tried, also the failing ones, lies below the test folder:
    // no device of the machine is ever opened.
    QVERIFY(tried.contains(paths().videoDevice.arg(1)));
    for (const QString& url : tried)
        QVERIFY2(url.startsWith(env_->dir() + QLatin1Char('/')), qPrintable(url));
}

void TestCameraProbe::saveSerials()
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "sn-test");
    db.setDatabaseName(env_->path("SN.db"));
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec("create table sysparam(name text, value text)"));
    for (int k = 0; k < 8; ++k)
        QVERIFY(q.exec(QStringLiteral("insert into sysparam values('serialNB%1','old')").arg(k)));
    auto rows = [&] {
        QStringList out;
        QSqlQuery r(db);
        r.exec("select value from sysparam order by name");
        while (r.next())
            out << r.value(0).toString();
        return out;
    };

    // A serial with a quote must be stored as it is (values are bound).
    QVERIFY(camsim::bus().loadJson(devices(dev("mindvision", "MVSERIAL01", 640, 480) + "," +
                                           dev("mindvision", "MV'SERIAL2", 640, 480))));
    CheckCameraID();
    applyGeometry();
    {
        FakeCameraHost host;
        host.dbConnection = "sn-test";
        host.buildSlots();
        QCOMPARE(numCamera, 2);
        gCamNO[0] = 1;
        gCamNO[1] = 0;
        SaveSN(0);
        QCOMPARE(rows(), (QStringList{"MV'SERIAL2", "MVSERIAL01", "0", "0", "0", "0", "0", "0"}));
        QVERIFY(host.events.contains("record Save SN 1: MV'SERIAL2"));
        QVERIFY(host.events.contains("record Save SN 2: MVSERIAL01"));
        SaveSN(1);
        QCOMPARE(rows(), QStringList(8, "0"));

        // The bound serial opens its camera in the chosen slot next time.
        host.closeAll();
        qstrcpy(gSerialNB[0], "MVSERIAL01");
        host.buildSlots();
        QCOMPARE(QString::fromLatin1(gCList[0].serial), QString("MVSERIAL01"));
        QVERIFY(host.events.contains("record Mind Open 1 = MVSERIAL01"));
    }
    // Galaxy serials are not read: every row is "0".
    camsim::bus().clear();
    resetCameraGlobals();
    QVERIFY(camsim::bus().loadJson(devices(dev("galaxy", "GALAXY0001", 640, 480))));
    CheckCameraID();
    applyGeometry();
    {
        FakeCameraHost host;
        host.dbConnection = "sn-test";
        host.buildSlots();
        SaveSN(0);
        QCOMPARE(rows(), QStringList(8, "0"));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("sn-test");
}

void TestCameraProbe::lossEpisode()
{
    QVERIFY(camsim::bus().loadJson(devices(dev("mindvision", "M1", 320, 240) + "," + dev("mindvision", "M2", 320, 240))));
    CheckCameraID();
    applyGeometry();
    FakeCameraHost host;
    host.liveSwitches.cameraCheck = 1;
    host.buildSlots();
    QCOMPARE(numCamera, 2);
    auto m2 = camsim::bus().find("M2");

    m2->setPlugged(false);
    CameraCheck(1);
    QCOMPARE(gisLost, 1);
    QCOMPARE(gLost, 1);
    QVERIFY(host.events.contains("record The 1th Camera Lost, 2"));
    QVERIFY(host.events.contains("out 0 1"));
    QVERIFY(host.events.contains("show lost box"));
    QVERIFY(!host.cameraOpened[0] && !host.cameraOpened[1]);
    for (const auto& d : camsim::bus().all())
        QVERIFY(!d->isOpen());

    // A second check while lost does nothing.
    host.events.clear();
    CameraCheck(0);
    QVERIFY(host.events.isEmpty());

    // Still missing: the restart returns, nothing is recorded again.
    CameraRestart();
    QCOMPARE(gisLost, 1);
    QVERIFY(host.events.filter("Lost").isEmpty());

    // Back on the bus but the open fails: lost again, but the same episode.
    m2->setOpenFailCode(-45);
    m2->setPlugged(true);
    CameraRestart();
    QCOMPARE(gisLost, 1);
    QCOMPARE(gLost, 1);
    QCOMPARE(host.events.filter("Camera Lost").size(), 0);
    CameraRestart();
    QCOMPARE(gLost, 1);

    // Opens again: restart clears the loss.
    m2->setOpenFailCode(0);
    host.cameraLostSignal = true;
    host.events.clear();
    CameraRestart();
    QCOMPARE(gisLost, 0);
    QVERIFY(host.cameraOpened[0] && host.cameraOpened[1]);
    QVERIFY(host.events.contains("record Camera Restart"));
    QVERIFY(host.events.contains("show reconnect box"));
    QVERIFY(!host.cameraLostSignal);

    // A new loss is a new episode; with detection stopped the clamp stays.
    host.runState = RunStateStopped;
    host.liveSwitches.cameraCheck = 0;
    host.events.clear();
    CameraCheck(0);
    QCOMPARE(gLost, 2);
    QVERIFY(!host.events.contains("out 0 1"));
    QVERIFY(host.events.contains(QStringLiteral("warn ") + Msg(39)));
}

void TestCameraProbe::lossReachesTheSlotHost_data()
{
    QTest::addColumn<int>("runState");
    QTest::addColumn<bool>("clamp");
    QTest::newRow("detecting") << int(RunStateDetecting) << true;
    QTest::newRow("training") << int(RunStateTraining) << true;
    QTest::newRow("stopped") << int(RunStateStopped) << false;
}

// The main window is one object for the camera code and the slots: a loss
// seen through gpCameraHost lands in the slot host, and its run state decides
// the clamp as the camera host's does.
void TestCameraProbe::lossReachesTheSlotHost()
{
    QFETCH(int, runState);
    QFETCH(bool, clamp);
    QVERIFY(camsim::bus().loadJson(devices(dev("mindvision", "M1", 320, 240) + "," + dev("mindvision", "M2", 320, 240))));
    CheckCameraID();
    applyGeometry();
    FakeSlotHost host;
    QCOMPARE(gpCameraHost, static_cast<CameraHost*>(&host));
    host.runState = runState;
    host.buildSlots();
    QCOMPARE(numCamera, 2);
    QVERIFY(host.cameraBackend(1));

    camsim::bus().find("M2")->setPlugged(false);
    CameraCheck(1);
    QCOMPARE(gisLost, 1);
    QVERIFY(host.events.contains("record The 1th Camera Lost, 2"));
    QCOMPARE(host.events.contains("out 0 1"), clamp);
    QVERIFY(host.events.contains(QStringLiteral("warn ") + Msg(39)));
    QVERIFY(!host.cameraOpened[0] && !host.cameraOpened[1]);
}

void TestCameraProbe::lossCheckCountsForHikvisionAndDvp()
{
    for (const char* family : {"hikvision", "dvp"}) {
        resetCameraGlobals();
        QVERIFY(camsim::bus().loadJson(devices(dev(family, "CAM0000001", 320, 240) + "," + dev(family, "CAM0000002", 320, 240))));
        CheckCameraID();
        applyGeometry();
        FakeCameraHost host;
        host.buildSlots();
        QCOMPARE(numCamera, 2);
        CameraCheck(0);   // full count present: nothing happens
        QCOMPARE(gisLost, 0);
        camsim::bus().find("CAM0000002")->setPlugged(false);
        CameraCheck(1);
        QCOMPARE(gisLost, 1);
        // Counted again but the camera does not open: still lost, same episode.
        camsim::bus().find("CAM0000002")->setOpenFailCode(-7);
        camsim::bus().find("CAM0000002")->setPlugged(true);
        CameraRestart();
        QCOMPARE(gisLost, 1);
        QCOMPARE(gLost, 1);
        QVERIFY(!host.cameraOpened[1]);
        camsim::bus().find("CAM0000002")->setOpenFailCode(0);
        CameraRestart();
        QCOMPARE(gisLost, 0);
        QVERIFY(host.cameraOpened[0] && host.cameraOpened[1]);
        host.closeAll();
        camsim::bus().clear();
    }
}

void TestCameraProbe::galaxyRecovers()
{
    QVERIFY(camsim::bus().loadJson(devices(dev("galaxy", "G1", 320, 240))));
    CheckCameraID();
    applyGeometry();
    FakeCameraHost host;
    host.buildSlots();
    camsim::bus().find("G1")->setPlugged(false);
    CameraCheck(0);
    QCOMPARE(gisLost, 1);
    CameraRestart();
    QCOMPARE(gisLost, 1);
    camsim::bus().find("G1")->setPlugged(true);
    CameraRestart();
    QCOMPARE(gisLost, 0);
    QVERIFY(host.cameraOpened[0]);
}

void TestCameraProbe::galaxyReportsEarlierCropWindow()
{
    // The probe reads the window features that the open sets to the crop
    // size, so a camera still holding that window reports it as its size.
    QVERIFY(camsim::bus().loadJson(devices(dev("galaxy", "G1", 1280, 1024))));
    CheckCameraID();
    QCOMPARE(gImageW, 1120);
    applyGeometry();
    {
        FakeCameraHost host;
        host.buildSlots();
        QVERIFY(host.cameraOpened[0]);
    }
    resetCameraGlobals();
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindGalaxy));
    QCOMPARE(gOW, 1120);
    QCOMPARE(gImageW, 1120);
    QCOMPARE(gImageH, 840);
}

void TestCameraProbe::callbacksRaiseLostSignal()
{
    for (const char* family : {"hikvision", "mindvision"}) {
        resetCameraGlobals();
        QVERIFY(camsim::bus().loadJson(devices(dev(family, "CAM0000001", 64, 48))));
        CheckCameraID();
        applyGeometry();
        FakeCameraHost host;
        host.buildSlots();
        QVERIFY(!host.cameraLostSignal);
        camsim::bus().find("CAM0000001")->setPlugged(false);
        QTRY_VERIFY_WITH_TIMEOUT(host.cameraLostSignal.load(), 3000);
        host.closeAll();
        camsim::bus().clear();
    }
    // Other codes leave the flag alone.
    FakeCameraHost host;
    CameraBackend b(&host, 0);
    CameraBackend::ExceptionImageCallBack(0x8002, &b);
    CameraBackend::MindConnectStateCallBack(1, 1, 0, &b);
    QVERIFY(!host.cameraLostSignal);
    CameraBackend::ExceptionImageCallBack(0x8001, &b);
    QVERIFY(host.cameraLostSignal);
    host.cameraLostSignal = false;
    CameraBackend::MindConnectStateCallBack(1, 0, 0, &b);
    QVERIFY(host.cameraLostSignal);
}

void TestCameraProbe::reachSweepRunsOffTheGuiThreadOncePerEpisode()
{
    // Each ping takes a second of the (fake) clock; while gated, pings wait
    // for the test, as pings of unreachable addresses wait for their answer.
    QSemaphore gate;
    std::atomic<bool> gated{false};
    std::atomic<int> pingsOnGuiThread{0};
    QThread* gui = QThread::currentThread();
    env_->runner->setScript([&](const CommandCall&) {
        if (QThread::currentThread() == gui)
            ++pingsOnGuiThread;
        if (gated)
            gate.tryAcquire(1, 5000);
        appClock().sleepMs(1000);
        return CommandResult{0, "64 bytes from host: ttl=64", {}, true};   // in use
    });
    auto repair = std::make_shared<SweepOnly>();
    setAddressRepair(repair);
    QVERIFY(camsim::bus().loadJson(devices(dev("hikvision", "CAM0000001", 64, 48))));

    // The probe waits for its sweep (the family enumerates after it), with
    // the pings on a worker thread.
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindHikvision));
    QCOMPARE(repair->finished.load(), 1);
    QCOMPARE(env_->runner->calls().size(), size_t(16));
    QCOMPARE(env_->clock->sleptMs(), qint64(16000));
    applyGeometry();
    FakeCameraHost host;
    host.buildSlots();
    QVERIFY(host.cameraOpened[0]);

    // A loss: the restart starts the sweep and returns at once.
    gated = true;
    camsim::bus().find("CAM0000001")->setPlugged(false);
    qint64 guiMs = 0;
    QElapsedTimer t;
    t.start();
    CameraCheck(0);
    QCOMPARE(gisLost, 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        CameraRestart();   // the main loop's tries while the sweep runs
        QCOMPARE(gisLost, 1);
    }
    guiMs += t.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(repair->sweeps.load(), 2, 2000);   // the probe's and this episode's
    QVERIFY2(guiMs < 100, qPrintable(QString::number(guiMs)));

    // The sweep ends; the camera is back: the next restart finds it.
    camsim::bus().find("CAM0000001")->setPlugged(true);
    gate.release(16);
    QTRY_COMPARE_WITH_TIMEOUT(repair->finished.load(), 2, 5000);
    t.restart();
    CameraRestart();
    guiMs += t.elapsed();
    QCOMPARE(gisLost, 0);
    QVERIFY(host.cameraOpened[0]);
    QCOMPARE(repair->sweeps.load(), 2);   // once per episode
    QCOMPARE(pingsOnGuiThread.load(), 0);
    qInfo("GUI-thread time of the loss episode: %lld ms (%d pings)", guiMs,
          static_cast<int>(env_->runner->calls().size()) - 16);
    setAddressRepair(nullptr);
}

QTEST_GUILESS_MAIN(TestCameraProbe)
#include "tst_cameraprobe.moc"
