// The MindVision stand-in's automatic exposure: where it settles for a
// scene, that it gets there the same way every time, and that it stands
// still once switched off.
#include "mindvisionsdk.h"
#include "simcamerabus.h"
#include "testenv.h"

#include <QImage>
#include <QtTest>

#include <cmath>

namespace mv = simsdk::mv;

namespace {

struct State {
    double exposureUs = 0;
    int gain = 0;
    bool operator==(const State& o) const { return exposureUs == o.exposureUs && gain == o.gain; }
};

// A camera on a uniform grey scene, open and streaming.
class GreyCamera {
public:
    GreyCamera(const QString& serial, int grey, const QString& gainRange = {})
    {
        const QString file = QDir::current().absoluteFilePath(serial + QStringLiteral(".png"));
        QImage scene(64, 48, QImage::Format_Grayscale8);
        scene.fill(qRgb(grey, grey, grey));
        scene.save(file);
        camsim::DeviceConfig c;
        c.family = camsim::Family::MindVision;
        c.serial = serial;
        c.width = 64;
        c.height = 48;
        c.fps = 500;
        c.source = QStringLiteral("files");
        c.files = {file};
        if (!gainRange.isEmpty()) {
            const QStringList r = gainRange.split(QLatin1Char(','));
            c.featureOverrides.push_back({QStringLiteral("AnalogGain"), {r[0].toDouble(), r[0].toDouble(), r[1].toDouble()}});
        }
        camsim::bus().addDevice(c);
        mv::DeviceInfo list[8];
        int n = 8;
        mv::CameraEnumerateDevice(list, &n);
        for (int i = 0; i < n; ++i)
            if (QString::fromLatin1(list[i].serial) == serial)
                ok = mv::CameraInit(&list[i], -1, -1, &h) == 0;
        if (ok) {
            mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_MONO8);
            ok = mv::CameraPlay(h) == 0;
        }
    }
    ~GreyCamera()
    {
        if (ok)
            mv::CameraUnInit(h);
    }

    // Takes one frame (one step of the automatic exposure).
    bool take()
    {
        mv::FrameHead head;
        uint8_t* raw = nullptr;
        for (int tries = 0; tries < 20; ++tries)
            if (mv::CameraGetImageBuffer(h, &head, &raw, 200) == 0) {
                mv::CameraReleaseImageBuffer(h, raw);
                return true;
            }
        return false;
    }

    State state() const
    {
        State s;
        mv::CameraGetExposureTime(h, &s.exposureUs);
        mv::CameraGetAnalogGain(h, &s.gain);
        return s;
    }

    mv::CameraHandle h = 0;
    bool ok = false;
};

}  // namespace

class TestMindVisionAe : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void settles_data();
    void settles();
    void standsStillWhenOff();
    void settingsReadBackAndFactoryDefaults();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestMindVisionAe::init()
{
    env_ = std::make_unique<TestEnv>();
    camsim::bus().clear();
}

void TestMindVisionAe::cleanup()
{
    camsim::bus().clear();
    env_.reset();
}

void TestMindVisionAe::settles_data()
{
    QTest::addColumn<int>("grey");
    QTest::addColumn<bool>("antiFlick");
    QTest::addColumn<QString>("gainRange");   // "min,max" (gain starts at min); empty: 16..128
    QTest::addColumn<double>("exposureUs");
    QTest::addColumn<int>("gain");
    // Start 10 ms at the minimum gain; target 120, exposure range 0..100 ms.
    // Effective exposure wanted: 10 ms x 120 / grey.
    QTest::newRow("half as bright: exposure doubles") << 60 << false << "" << 20000.0 << 16;
    QTest::newRow("brighter: exposure shortens") << 240 << false << "" << 5000.0 << 16;
    // Anti-flicker keeps whole 10 ms steps; the gain makes up the rest.
    QTest::newRow("anti-flicker: gain instead") << 60 << true << "" << 10000.0 << 32;
    QTest::newRow("anti-flicker, quantised gain") << 90 << true << "" << 10000.0 << 21;
    // Past the range's end the gain takes over, in whole gain steps.
    QTest::newRow("dark: longest exposure plus gain") << 5 << false << "" << 100000.0 << 38;
    QTest::newRow("black: everything at its end") << 0 << false << "" << 100000.0 << 128;
    QTest::newRow("gain range from 0") << 5 << false << "0,64" << 100000.0 << 22;
}

void TestMindVisionAe::settles()
{
    QFETCH(int, grey);
    QFETCH(bool, antiFlick);
    QFETCH(QString, gainRange);
    QFETCH(double, exposureUs);
    QFETCH(int, gain);
    // Two cameras on the same scene go through the same values frame by frame.
    GreyCamera a(QStringLiteral("MVA000001"), grey, gainRange);
    GreyCamera b(QStringLiteral("MVB000001"), grey, gainRange);
    QVERIFY(a.ok && b.ok);
    for (GreyCamera* c : {&a, &b}) {
        QCOMPARE(mv::CameraSetAeTarget(c->h, 120), 0);
        QCOMPARE(mv::CameraSetAeExposureRange(c->h, 0, 100000), 0);
        QCOMPARE(mv::CameraSetAntiFlick(c->h, antiFlick ? 1 : 0), 0);
        QCOMPARE(mv::CameraSetAeState(c->h, 1), 0);
    }
    int gmin = 0, gmax = 0;
    mv::CameraGetAeAnalogGainRange(a.h, &gmin, &gmax);
    const double want = 10000.0 * 120 / std::max(1, grey);
    auto effective = [gmin](const State& s) { return s.exposureUs * (1 + (s.gain - gmin) / 16.0); };
    double lastDistance = std::abs(want - effective(a.state()));
    for (int frame = 0; frame < 40; ++frame) {
        QVERIFY(a.take());
        QVERIFY(b.take());
        const State sa = a.state();
        QVERIFY2(sa == b.state(), qPrintable(QString("frame %1: %2/%3 against %4/%5").arg(frame)
                                                 .arg(sa.exposureUs).arg(sa.gain).arg(b.state().exposureUs).arg(b.state().gain)));
        // Never away from the target.
        const double distance = std::abs(want - effective(sa));
        QVERIFY2(distance <= lastDistance, qPrintable(QString("frame %1: %2 after %3").arg(frame).arg(distance).arg(lastDistance)));
        lastDistance = distance;
        QVERIFY(sa.exposureUs >= 50 && sa.exposureUs <= 100000);
        if (antiFlick && sa.exposureUs >= 10000)
            QCOMPARE(std::fmod(sa.exposureUs, 10000.0), 0.0);
    }
    QCOMPARE(a.state().exposureUs, exposureUs);
    QCOMPARE(a.state().gain, gain);
}

void TestMindVisionAe::standsStillWhenOff()
{
    GreyCamera c(QStringLiteral("MVA000001"), 60);
    QVERIFY(c.ok);
    // Off (the default): frames change nothing.
    for (int i = 0; i < 5; ++i)
        QVERIFY(c.take());
    QCOMPARE(c.state().exposureUs, 10000.0);
    mv::CameraSetAeState(c.h, 1);
    QVERIFY(c.take());
    QVERIFY(c.take());
    const State mid = c.state();
    QCOMPARE(mid.exposureUs, 17500.0);
    QCOMPARE(mv::CameraSetAeState(c.h, 0), 0);
    for (int i = 0; i < 5; ++i)
        QVERIFY(c.take());
    QVERIFY(c.state() == mid);
    // A manual exposure holds while it is off.
    mv::CameraSetExposureTime(c.h, 30000);
    QVERIFY(c.take());
    QCOMPARE(c.state().exposureUs, 30000.0);
}

void TestMindVisionAe::settingsReadBackAndFactoryDefaults()
{
    GreyCamera c(QStringLiteral("MVA000001"), 60);
    QVERIFY(c.ok);
    QCOMPARE(mv::CameraSetAeTarget(c.h, 100), 0);
    QCOMPARE(mv::CameraSetAeExposureRange(c.h, 100, 50000), 0);
    QCOMPARE(mv::CameraSetAntiFlick(c.h, 1), 0);
    QCOMPARE(mv::CameraSetAeState(c.h, 1), 0);
    QCOMPARE(mv::CameraSetAeExposureRange(c.h, 2000, 1000), mv::CAMERA_STATUS_FAILED);   // reversed: refused
    int v = 0;
    double lo = 0, hi = 0;
    mv::CameraGetAeTarget(c.h, &v);
    QCOMPARE(v, 100);
    mv::CameraGetAeExposureRange(c.h, &lo, &hi);
    QCOMPARE(lo, 100.0);
    QCOMPARE(hi, 50000.0);
    mv::CameraGetAntiFlick(c.h, &v);
    QCOMPARE(v, 1);
    mv::CameraGetAeState(c.h, &v);
    QCOMPARE(v, 1);
    QVERIFY(camsim::bus().log().lines().contains(QStringLiteral("CameraSetAeExposureRange 100 50000")));
    // The factory defaults switch it off and bring the stand-in's defaults back.
    QCOMPARE(mv::CameraLoadParameter(c.h, mv::PARAMETER_TEAM_DEFAULT), 0);
    mv::CameraGetAeState(c.h, &v);
    QCOMPARE(v, 0);
    mv::CameraGetAeTarget(c.h, &v);
    QCOMPARE(v, 120);
    mv::CameraGetAntiFlick(c.h, &v);
    QCOMPARE(v, 0);
    mv::CameraGetAeExposureRange(c.h, &lo, &hi);
    QCOMPARE(lo, 50.0);
    QCOMPARE(hi, 1000000.0);
    // Unknown handles fail.
    QCOMPARE(mv::CameraSetAeTarget(9999, 1), mv::CAMERA_STATUS_FAILED);
    QCOMPARE(mv::CameraSetAeState(9999, 1), mv::CAMERA_STATUS_FAILED);
    QCOMPARE(mv::CameraSetAntiFlick(9999, 1), mv::CAMERA_STATUS_FAILED);
}

QTEST_GUILESS_MAIN(TestMindVisionAe)
#include "tst_mindvisionae.moc"
