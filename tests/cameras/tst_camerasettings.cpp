// Camera settings: range mapping per kind, which parameter copy is read,
// the UVC filter text and the restore-defaults read-back.
#include "cameraprobe.h"
#include "fakecamerahost.h"
#include "paths.h"
#include "testenv.h"

#include <QtTest>

namespace {
QByteArray oneDevice(const QString& family, const QString& extra = {})
{
    return QStringLiteral("{\"devices\":[{\"family\":\"%1\",\"serial\":\"CAM0000001\",\"width\":%2,\"height\":%3,\"fps\":50%4}]}")
        .arg(family).arg(family == "ueye" ? 1280 : 64).arg(family == "ueye" ? 1024 : 48)
        .arg(extra.isEmpty() ? QString() : QStringLiteral(",") + extra).toUtf8();
}

class FilterRecorder : public UvcSource {
public:
    explicit FilterRecorder(QStringList* out) : out_(out) {}
    bool open(const QString&) override { return true; }
    int readGrey(uint8_t*, int, int) override { return 0; }
    int setFilters(const std::string& d) override { out_->append(QString::fromStdString(d)); return 0; }
    void close() override {}
private:
    QStringList* out_;
};
}

class TestCameraSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void mapping_data();
    void mapping();
    void editCopyWhileDialogShown();
    void ignoredSwitches_data();
    void ignoredSwitches();
    void galaxyContrast_data();
    void galaxyContrast();
    void uvcFilterText();
    void restoreDefaults_data();
    void restoreDefaults();
    void mindVisionRestoreRestartsAllCameras();

private:
    void open(const QString& family, const QString& extra = {});
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<FakeCameraHost> host_;
};

void TestCameraSettings::init()
{
    env_ = std::make_unique<TestEnv>();
    resetCameraGlobals();
    camsim::bus().clear();
}

void TestCameraSettings::cleanup()
{
    host_.reset();
    camsim::bus().clear();
    setUvcSourceFactory({});
    paths() = Paths{};
    env_.reset();
}

void TestCameraSettings::open(const QString& family, const QString& extra)
{
    QVERIFY(camsim::bus().loadJson(oneDevice(family, extra)));
    CheckCameraID();
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    host_->buildSlots();
    QVERIFY(host_->cameraOpened[0]);
}

void TestCameraSettings::mapping_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QString>("feature");
    QTest::addColumn<double>("expected");
    // Values: exposure 10 ms, gain 32, sharpness 50, contrast 150, gamma 40.
    QTest::newRow("galaxy exposure truncated") << "galaxy" << "" << "0x20000BC1" << 100018.0;
    QTest::newRow("galaxy gain truncated") << "galaxy" << "" << "0x20001393" << 12.0;
    QTest::newRow("galaxy sharpness truncated") << "galaxy" << "" << "0x2000178B" << 1.0;
    QTest::newRow("galaxy gamma not truncated") << "galaxy" << "" << "0x20001397" << 0.1 + 3.9 / 250 * 40;
    QTest::newRow("ueye exposure") << "ueye" << "" << "Exposure" << 10.0;
    QTest::newRow("ueye gain") << "ueye" << "" << "Gain" << 32.0;
    QTest::newRow("ueye gamma") << "ueye" << "" << "Gamma" << 40.0;
    QTest::newRow("mindvision exposure us") << "mindvision" << "" << "ExposureTime" << 10000.0;
    QTest::newRow("mindvision gain") << "mindvision" << "" << "AnalogGain" << 72.0;
    QTest::newRow("mindvision sharpness whole step") << "mindvision" << "" << "Sharpness" << 50.0;
    QTest::newRow("mindvision contrast whole step") << "mindvision" << "" << "Contrast" << 150.0;
    QTest::newRow("mindvision gamma whole step") << "mindvision" << "" << "Gamma" << 160.0;
    QTest::newRow("mindvision narrow range writes min")
        << "mindvision" << "\"features\":{\"Sharpness\":[7,7,57]}" << "Sharpness" << 7.0;
    QTest::newRow("hikvision exposure") << "hikvision" << "" << "ExposureTime" << 10000.0;
    QTest::newRow("hikvision gain") << "hikvision" << "" << "Gain" << 8.5;
    QTest::newRow("hikvision sharpness") << "hikvision" << "" << "Sharpness" << 50.0;
    QTest::newRow("hikvision gamma") << "hikvision" << "" << "Gamma" << 0.64;
    QTest::newRow("dvp exposure us") << "dvp" << "" << "Exposure" << 10000.0;
    QTest::newRow("dvp gain") << "dvp" << "" << "AnalogGain" << 8.5;
    QTest::newRow("dvp sharpness") << "dvp" << "" << "Sharpness" << 50.0;
    QTest::newRow("dvp contrast") << "dvp" << "" << "Contrast" << 50.0;
    QTest::newRow("dvp gamma truncated") << "dvp" << "" << "Gamma" << 160.0;
}

void TestCameraSettings::mapping()
{
    QFETCH(QString, family);
    QFETCH(QString, extra);
    QFETCH(QString, feature);
    QFETCH(double, expected);
    open(family, extra);   // the open sequence applies every setting
    const double got = camsim::bus().find("CAM0000001")->value(feature);
    QVERIFY2(qAbs(got - expected) < 1e-4, qPrintable(QString("%1 != %2").arg(got).arg(expected)));
}

void TestCameraSettings::editCopyWhileDialogShown()
{
    open("dvp");
    auto d = camsim::bus().find("CAM0000001");
    host_->edit[0].exposure = 20;
    host_->live[0].exposure = 5;
    host_->settingsVisible = true;
    host_->cams[0]->SetExposeTime();
    QCOMPARE(d->value("Exposure"), 20000.0);
    host_->settingsVisible = false;
    host_->cams[0]->SetExposeTime();
    QCOMPARE(d->value("Exposure"), 5000.0);
    // Closed slot: nothing happens.
    host_->cams[0]->CameraStop();
    host_->cams[0]->CameraClose();
    host_->live[0].exposure = 7;
    host_->cams[0]->SetExposeTime();
    QCOMPARE(d->value("Exposure"), 5000.0);
}

void TestCameraSettings::ignoredSwitches_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("feature");
    QTest::addColumn<double>("expected");
    // Every switch on: automatic exposure, automatic shading, external trigger.
    QTest::newRow("hikvision exposure stays manual") << "hikvision" << "ExposureAuto" << 0.0;
    QTest::newRow("hikvision exposure time written") << "hikvision" << "ExposureTime" << 10000.0;
    QTest::newRow("galaxy trigger stays off") << "galaxy" << "0x30000BBD" << 0.0;
    QTest::newRow("galaxy acquisition continuous") << "galaxy" << "0x30000BB8" << 2.0;
}

void TestCameraSettings::ignoredSwitches()
{
    QFETCH(QString, family);
    QFETCH(QString, feature);
    QFETCH(double, expected);
    open(family);
    host_->liveSwitches.autoExposure = 1;
    host_->liveSwitches.autoShading = 1;
    host_->liveSwitches.externalTrigger = 1;
    host_->cams[0]->SetExposeTime();
    host_->cams[0]->CameraChangeTrig(true);
    QCOMPARE(camsim::bus().find("CAM0000001")->value(feature, -1), expected);
}

void TestCameraSettings::galaxyContrast_data()
{
    QTest::addColumn<int>("contrast");
    QTest::addColumn<int>("software");
    QTest::newRow("1") << 1 << -49;
    QTest::newRow("150") << 150 << 100;
    QTest::newRow("151") << 151 << 100;
    QTest::newRow("50") << 50 << 0;
}

void TestCameraSettings::galaxyContrast()
{
    QFETCH(int, contrast);
    QFETCH(int, software);
    open("galaxy");
    host_->live[0].contrast = contrast;
    host_->cams[0]->SetContrast();
    QCOMPARE(gContrast[0], software);
}

void TestCameraSettings::uvcFilterText()
{
    env_->writeFile("proc/devices", "N: Name=\"USB Camera\"\n");
    paths().procInputDevices = env_->path("proc/devices");
    paths().videoDevice = env_->path("dev/video%1");
    QStringList filters;
    setUvcSourceFactory([&] { return std::make_unique<FilterRecorder>(&filters); });
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindUvc));
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    host_->live[0].sharpness = 0;
    host_->buildSlots();
    QVERIFY(!filters.isEmpty());
    QCOMPARE(filters.last(), QString("eq=contrast=1.000000:gamma=1.684000,unsharp=5:5:0.000000"));
    host_->live[0].contrast = 100;
    host_->cams[0]->SetContrast();
    QCOMPARE(filters.last(), QString("eq=contrast=0.000000:gamma=1.684000,unsharp=5:5:0.000000"));

    // Restoring defaults shows the values at once; the picture follows with
    // the next contrast, gamma or sharpness setting.
    host_->live[0].gamma = 100;
    host_->live[0].sharpness = 80;
    host_->cams[0]->SetGamma();
    const int built = filters.size();
    host_->cams[0]->RestoreDefaultSettings();
    QCOMPARE(host_->edit[0].contrast, 140);
    QCOMPARE(host_->edit[0].gamma, 40);
    QCOMPARE(host_->edit[0].sharpness, 0);
    QCOMPARE(filters.size(), built);
    host_->settingsVisible = true;   // the dialog shows the restored values
    host_->cams[0]->SetSharp();
    QCOMPARE(filters.last(), QString("eq=contrast=0.800000:gamma=1.684000,unsharp=5:5:0.000000"));
}

void TestCameraSettings::restoreDefaults_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QList<int>>("expected");   // exposure, gain, sharpness, contrast, gamma
    QTest::newRow("mindvision") << "mindvision" << "" << QList<int>{10, 0, 0, 100, 25};
    // A range narrower than its divisor reads back as 0 instead of dividing by zero.
    QTest::newRow("mindvision narrow") << "mindvision" << "\"features\":{\"Gamma\":[5,0,100],\"AnalogGain\":[16,16,16]}"
                                       << QList<int>{10, 0, 0, 100, 0};
    QTest::newRow("hikvision") << "hikvision" << "" << QList<int>{10, 0, 0, 150, 43};
    QTest::newRow("hikvision empty ranges") << "hikvision" << "\"features\":{\"Gain\":[3,3,3],\"Sharpness\":[0,0,0]}"
                                            << QList<int>{10, 0, 0, 150, 43};
    QTest::newRow("dvp") << "dvp" << "" << QList<int>{10, 1, 0, 0, 100};
    QTest::newRow("galaxy keeps") << "galaxy" << "" << QList<int>{10, 32, 50, 150, 40};
}

void TestCameraSettings::restoreDefaults()
{
    QFETCH(QString, family);
    QFETCH(QString, extra);
    QFETCH(QList<int>, expected);
    open(family, extra);
    host_->cams[0]->RestoreDefaultSettings();
    const CameraValues& v = host_->edit[0];
    QCOMPARE((QList<int>{v.exposure, v.gain, v.sharpness, v.contrast, v.gamma}), expected);
    QVERIFY(host_->cameraOpened[0]);
    QVERIFY(camsim::bus().find("CAM0000001")->streaming());
}

void TestCameraSettings::mindVisionRestoreRestartsAllCameras()
{
    QVERIFY(camsim::bus().loadJson(
        "{\"devices\":[{\"family\":\"mindvision\",\"serial\":\"CAM0000001\",\"width\":64,\"height\":48,\"fps\":50},"
        "{\"family\":\"mindvision\",\"serial\":\"CAM0000002\",\"width\":64,\"height\":48,\"fps\":50}]}"));
    CheckCameraID();
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    host_->buildSlots();
    QCOMPARE(numCamera, 2);
    camsim::bus().log().clear();
    host_->cams[0]->RestoreDefaultSettings();
    // Its own camera around the load, then every camera for the frame rate.
    QCOMPARE(camsim::bus().log().linesStartingWith("CameraStop").size(), 3);
    QCOMPARE(camsim::bus().log().linesStartingWith("CameraPlay").size(), 3);
    QVERIFY(camsim::bus().find("CAM0000001")->streaming());
    QVERIFY(camsim::bus().find("CAM0000002")->streaming());
}

QTEST_GUILESS_MAIN(TestCameraSettings)
#include "tst_camerasettings.moc"
