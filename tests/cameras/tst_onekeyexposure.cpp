// One-key exposure: two seconds of the camera's automatic exposure on the
// virtual scheduler, what is read back and handed over, the run latched to
// its camera, ended by a camera switch or a hide, and the timer alone for
// the other camera kinds.
#include "cameraprobe.h"
#include "fakecamerahost.h"
#include "onekeyexposure.h"
#include "testenv.h"
#include "virtualscheduler.h"

#include <QImage>
#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(OneKeyExposureResult)

namespace {
QByteArray cameras(const QString& family, int count)
{
    QStringList devs;
    for (int i = 0; i < count; ++i)
        devs << QStringLiteral("{\"family\":\"%1\",\"serial\":\"CAM000000%2\",\"width\":64,\"height\":48,\"fps\":50}")
                    .arg(family).arg(i);
    return QStringLiteral("{\"devices\":[%1]}").arg(devs.join(QLatin1Char(','))).toUtf8();
}

std::shared_ptr<camsim::Device> device(int i)
{
    return camsim::bus().find(QStringLiteral("CAM000000%1").arg(i));
}
}

class TestOneKeyExposure : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readBack_data();
    void readBack();
    void runsTwoSecondsOnItsCamera();
    void cameraSwitchEndsRun();
    void hideEndsRun();
    void newRunEndsTheRunning();
    void closedCameraStoresNothing();
    void followsTheStreamingCamera();
    void timerOnlyForOtherKinds_data();
    void timerOnlyForOtherKinds();

private:
    // Opens the cameras without starting them: no frame moves the
    // automatic exposure, so the read-back is exactly what a test puts there.
    void open(const QString& family, int count);
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<FakeCameraHost> host_;
    std::unique_ptr<VirtualScheduler> sched_;
    std::unique_ptr<OneKeyExposure> run_;
    QList<OneKeyExposureResult> results_;
};

void TestOneKeyExposure::init()
{
    env_ = std::make_unique<TestEnv>();
    resetCameraGlobals();
    camsim::bus().clear();
    sched_ = std::make_unique<VirtualScheduler>(env_->clock);
    results_.clear();
    run_ = std::make_unique<OneKeyExposure>(*sched_, [this](const OneKeyExposureResult& r) { results_ << r; });
}

void TestOneKeyExposure::cleanup()
{
    run_.reset();
    host_.reset();
    sched_.reset();
    camsim::bus().clear();
    env_.reset();
}

void TestOneKeyExposure::open(const QString& family, int count)
{
    QVERIFY(camsim::bus().loadJson(cameras(family, count)));
    CheckCameraID();
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    host_->settingsVisible = true;   // the camera page is on screen
    for (int k = 0; k < kCameraSlots; ++k) {
        host_->cams[k] = std::make_unique<CameraBackend>(host_.get(), k);
        host_->cams[k]->CameraOpen();
    }
    for (int k = 0; k < count; ++k)
        QVERIFY(host_->cameraOpened[k]);
    camsim::bus().log().clear();
}

void TestOneKeyExposure::readBack_data()
{
    QTest::addColumn<double>("us");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("gmin");
    QTest::addColumn<int>("gmax");
    QTest::addColumn<int>("exposure");
    QTest::addColumn<bool>("gainKnown");
    QTest::addColumn<int>("gain64");
    QTest::newRow("20 ms at the lowest gain") << 20000.0 << 16 << 16 << 128 << 20 << true << 0;
    QTest::newRow("both truncated") << 20999.9 << 71 << 16 << 128 << 20 << true << 31;   // 55 x 64 / 112 = 31.4
    QTest::newRow("highest gain") << 10000.0 << 128 << 16 << 128 << 10 << true << 64;
    QTest::newRow("gain range from 0") << 7000.0 << 100 << 0 << 255 << 7 << true << 25;
    // The fields snap these (to 1 and to 100); the run hands them over as read.
    QTest::newRow("below 1 ms") << 500.0 << 16 << 16 << 128 << 0 << true << 0;
    QTest::newRow("above 100 ms") << 250000.0 << 16 << 16 << 128 << 250 << true << 0;
    // Mend: an empty gain range would divide by zero; the gain stays as it is.
    QTest::newRow("empty gain range") << 30000.0 << 40 << 40 << 40 << 30 << false << 0;
}

void TestOneKeyExposure::readBack()
{
    QFETCH(double, us);
    QFETCH(int, gain);
    QFETCH(int, gmin);
    QFETCH(int, gmax);
    QFETCH(int, exposure);
    QFETCH(bool, gainKnown);
    QFETCH(int, gain64);
    open(QStringLiteral("mindvision"), 1);
    run_->start(0, host_->cams[0].get());
    // What the camera's automatic exposure settled on.
    device(0)->defineFeature(QStringLiteral("AnalogGain"), gain, gmin, gmax);
    device(0)->setValue(QStringLiteral("ExposureTime"), us);
    sched_->advanceBy(OneKeyExposure::kRunMs);
    QCOMPARE(results_.size(), 1);
    QCOMPARE(results_[0].camera, 0);
    QCOMPARE(results_[0].exposure, exposure);
    QCOMPARE(results_[0].gainKnown, gainKnown);
    if (results_[0].gainKnown)
        QCOMPARE(results_[0].gain, gain64);
    QCOMPARE(device(0)->value(QStringLiteral("AeState")), 0.0);
    // The read-back is the caller's to store and apply: the camera keeps
    // what it found until then.
    QCOMPARE(device(0)->value(QStringLiteral("ExposureTime")), us);
}

void TestOneKeyExposure::runsTwoSecondsOnItsCamera()
{
    open(QStringLiteral("mindvision"), 2);
    run_->start(0, host_->cams[0].get());
    QVERIFY(run_->running());
    QVERIFY(run_->adjusting());
    QCOMPARE(run_->camera(), 0);
    QCOMPARE(camsim::bus().log().lines(),
             QStringList({"CameraSetAeState 1", "CameraSetAeTarget 120", "CameraSetAeExposureRange 0 100000",
                          "CameraSetAntiFlick 1"}));
    QCOMPARE(device(0)->value(QStringLiteral("AeState")), 1.0);
    QCOMPARE(device(0)->value(QStringLiteral("AeTarget")), 120.0);
    QCOMPARE(device(0)->value(QStringLiteral("AeExposureMax")), 100000.0);
    QCOMPARE(device(0)->value(QStringLiteral("AntiFlick")), 1.0);
    QCOMPARE(device(1)->value(QStringLiteral("AeState")), 0.0);
    device(0)->setValue(QStringLiteral("ExposureTime"), 42000);
    device(1)->setValue(QStringLiteral("ExposureTime"), 77000);
    sched_->advanceBy(OneKeyExposure::kRunMs - 1);
    QVERIFY(results_.isEmpty());
    QCOMPARE(device(0)->value(QStringLiteral("AeState")), 1.0);
    sched_->advanceBy(1);
    QVERIFY(!run_->running());
    QCOMPARE(run_->camera(), -1);
    QCOMPARE(results_.size(), 1);
    QCOMPARE(results_[0].camera, 0);
    QCOMPARE(results_[0].exposure, 42);
    QCOMPARE(camsim::bus().log().lines().last(), QStringLiteral("CameraSetAeState 0"));
    sched_->advanceBy(10000);
    QCOMPARE(results_.size(), 1);
}

// Mend: the result of camera 1 was stored into the camera switched to.  A
// switch within the two seconds ends the run: automatic exposure off, the
// camera back on the edit copy's values, nothing handed over.
void TestOneKeyExposure::cameraSwitchEndsRun()
{
    open(QStringLiteral("mindvision"), 3);
    host_->edit[0].exposure = 25;
    run_->start(0, host_->cams[0].get());
    sched_->advanceBy(1000);
    device(0)->setValue(QStringLiteral("ExposureTime"), 77000);   // where the automatic exposure got to
    run_->cancel();   // "Switch C"
    QVERIFY(!run_->running());
    QCOMPARE(device(0)->value(QStringLiteral("AeState")), 0.0);
    QCOMPARE(device(0)->value(QStringLiteral("ExposureTime")), 25000.0);
    sched_->advanceBy(5000);
    QVERIFY(results_.isEmpty());
    QCOMPARE(host_->edit[0].exposure, 25);
    QCOMPARE(device(1)->value(QStringLiteral("AeState")), 0.0);
    run_->cancel();   // nothing runs: nothing happens
    QVERIFY(results_.isEmpty());
}

// Mend: a hide ends the run too; the hidden dialog means the live record,
// so the camera runs the live values again.
void TestOneKeyExposure::hideEndsRun()
{
    open(QStringLiteral("mindvision"), 1);
    host_->live[0].exposure = 10;
    host_->edit[0].exposure = 25;
    run_->start(0, host_->cams[0].get());
    sched_->advanceBy(1500);
    device(0)->setValue(QStringLiteral("ExposureTime"), 77000);
    host_->settingsVisible = false;   // hideEvent: the shown flag first, then the run
    run_->cancel();
    QCOMPARE(device(0)->value(QStringLiteral("AeState")), 0.0);
    QCOMPARE(device(0)->value(QStringLiteral("ExposureTime")), 10000.0);
    sched_->advanceBy(5000);
    QVERIFY(results_.isEmpty());
}

void TestOneKeyExposure::newRunEndsTheRunning()
{
    open(QStringLiteral("mindvision"), 2);
    run_->start(0, host_->cams[0].get());
    sched_->advanceBy(500);
    run_->start(1, host_->cams[1].get());
    QCOMPARE(device(0)->value(QStringLiteral("AeState")), 0.0);
    QCOMPARE(device(1)->value(QStringLiteral("AeState")), 1.0);
    device(0)->setValue(QStringLiteral("ExposureTime"), 11000);
    device(1)->setValue(QStringLiteral("ExposureTime"), 33000);
    sched_->advanceBy(OneKeyExposure::kRunMs - 500);
    QVERIFY(results_.isEmpty());   // the second run's two seconds count from its start
    sched_->advanceBy(500);
    QCOMPARE(results_.size(), 1);
    QCOMPARE(results_[0].camera, 1);
    QCOMPARE(results_[0].exposure, 33);
}

void TestOneKeyExposure::closedCameraStoresNothing()
{
    open(QStringLiteral("mindvision"), 1);
    run_->start(0, host_->cams[0].get());
    host_->cams[0]->CameraClose();   // lost and being restarted
    sched_->advanceBy(OneKeyExposure::kRunMs);
    QVERIFY(results_.isEmpty());
    QVERIFY(!run_->running());
}

// With the grab thread taking frames, the stand-in's automatic exposure
// moves the camera during the run; what it holds at the timeout is what is
// handed over, and nothing moves it once the run has ended.
void TestOneKeyExposure::followsTheStreamingCamera()
{
    QImage scene(64, 48, QImage::Format_Grayscale8);
    scene.fill(qRgb(60, 60, 60));
    QVERIFY(scene.save(QStringLiteral("grey.png")));
    QVERIFY(camsim::bus().loadJson(R"({"devices":[{"family":"mindvision","serial":"CAM0000000","width":64,
        "height":48,"fps":200,"source":{"kind":"files","files":["grey.png"]}}]})"));
    CheckCameraID();
    applyGeometry();
    host_ = std::make_unique<FakeCameraHost>();
    host_->settingsVisible = true;
    host_->buildSlots();   // opened and streaming
    QVERIFY(host_->cameraOpened[0]);
    auto dev = device(0);
    const double startGain = dev->value(QStringLiteral("AnalogGain"));
    run_->start(0, host_->cams[0].get());
    // Too much gain for the scene: the automatic exposure takes it back.
    QTRY_VERIFY_WITH_TIMEOUT(dev->value(QStringLiteral("AnalogGain")) < startGain, 5000);
    sched_->advanceBy(OneKeyExposure::kRunMs);
    QCOMPARE(results_.size(), 1);
    const double us = dev->value(QStringLiteral("ExposureTime"));
    const int gain = int(dev->value(QStringLiteral("AnalogGain")));
    QCOMPARE(results_[0].exposure, int(us / 1000));
    QVERIFY(results_[0].gainKnown);
    QCOMPARE(results_[0].gain, (gain - 16) * 64 / (128 - 16));
    const uint64_t frames = host_->cams[0]->framesDelivered();
    QTRY_VERIFY_WITH_TIMEOUT(host_->cams[0]->framesDelivered() > frames + 5, 5000);
    QCOMPARE(dev->value(QStringLiteral("ExposureTime")), us);
    QCOMPARE(int(dev->value(QStringLiteral("AnalogGain"))), gain);
}

void TestOneKeyExposure::timerOnlyForOtherKinds_data()
{
    QTest::addColumn<QString>("family");   // empty: no camera built
    QTest::newRow("galaxy") << "galaxy";
    QTest::newRow("hikvision") << "hikvision";
    QTest::newRow("dvp") << "dvp";
    QTest::newRow("no camera") << "";
}

void TestOneKeyExposure::timerOnlyForOtherKinds()
{
    QFETCH(QString, family);
    CameraBackend* backend = nullptr;
    if (!family.isEmpty()) {
        open(family, 1);
        backend = host_->cams[0].get();
    }
    run_->start(0, backend);
    QVERIFY(run_->running());
    QVERIFY(!run_->adjusting());
    QCOMPARE(sched_->activeTimers(), 1);
    QVERIFY(camsim::bus().log().lines().isEmpty());   // no SDK call at all
    sched_->advanceBy(OneKeyExposure::kRunMs);
    QVERIFY(!run_->running());
    QCOMPARE(sched_->activeTimers(), 0);
    QVERIFY(results_.isEmpty());
    QVERIFY(camsim::bus().log().lines().isEmpty());
}

QTEST_GUILESS_MAIN(TestOneKeyExposure)
#include "tst_onekeyexposure.moc"
