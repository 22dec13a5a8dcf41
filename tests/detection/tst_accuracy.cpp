// Accuracy of the engine on generated mould scenes: positioning residuals,
// no false NG on clean frames, every clear defect found, exact distances.
#include "enginerig.h"
#include "rotationscenes.h"
#include "synth.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr int kW = 320;
constexpr int kH = 240;
const cv::Point2f kCentre(160, 120); // reference point of the default model

// The defect areas of the scene: a grid covering most of the frame, default
// parameters, plus one similarity area with its default limit.
void addSceneAreas(EngineRig& rig, int d)
{
    for (int gy = 0; gy < 3; ++gy)
        for (int gx = 0; gx < 4; ++gx)
            rig.addRect(d, cv::Rect(10 + gx * 75, 10 + gy * 74, 75, 74), AreaFuncDefect, 3, 45, 100);
    rig.addRect(d, cv::Rect(110, 80, 100, 80), AreaFuncSimilarity, 0, 80, 0);
}

} // namespace

class TestAccuracy : public QObject {
    Q_OBJECT
private slots:
    void shiftRecovered_data();
    void shiftRecovered();
    void rotationRecovered_data();
    void rotationRecovered();
    void occludedRotationRecovered_data();
    void occludedRotationRecovered();
    void cleanFramesPass_data();
    void cleanFramesPass();
    void clearDefectsFound_data();
    void clearDefectsFound();
    void distanceExactOnSharpEdges_data();
    void distanceExactOnSharpEdges();
};

void TestAccuracy::shiftRecovered_data()
{
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::newRow("none") << 0.0 << 0.0;
    QTest::newRow("small") << 5.0 << -3.0;
    QTest::newRow("medium") << -20.0 << 12.0;
    QTest::newRow("near the margin") << 45.0 << -40.0;
    QTest::newRow("at the margin") << -50.0 << 50.0;
    QTest::newRow("fractional") << 7.4 << -12.6;
}

void TestAccuracy::shiftRecovered()
{
    QFETCH(double, dx);
    QFETCH(double, dy);
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(kW, kH, 11);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 50;
    rig.host.values.detectEnabled[0] = 1;
    rig.build();
    rig.setFrame(synth::noise(synth::transform(tmpl, dx, dy, 0, kCentre), 2.0));
    rig.engine->ShapeMatch();
    const cv::Mat aligned = rig.aligned();
    // The residual shift is the one that best explains the aligned frame.
    const cv::Rect inner(56, 56, kW - 112, kH - 112);
    double best = 1e9;
    cv::Point residual;
    for (int ry = -3; ry <= 3; ++ry) {
        for (int rx = -3; rx <= 3; ++rx) {
            const double e = synth::meanAbsDiff(synth::transform(tmpl, rx, ry, 0, kCentre), aligned, inner);
            if (e < best) {
                best = e;
                residual = {rx, ry};
            }
        }
    }
    QVERIFY2(std::abs(residual.x) <= 1 && std::abs(residual.y) <= 1,
             qPrintable(QStringLiteral("residual %1, %2").arg(residual.x).arg(residual.y)));
}

void TestAccuracy::rotationRecovered_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("dx");
    QTest::addColumn<double>("dy");
    QTest::newRow("-8") << -8.0 << 4.0 << -6.0;
    QTest::newRow("-3") << -3.0 << -10.0 << 2.0;
    QTest::newRow("2.5") << 2.5 << 0.0 << 0.0;
    QTest::newRow("7") << 7.0 << 12.0 << 9.0;
}

void TestAccuracy::rotationRecovered()
{
    QFETCH(double, angle);
    QFETCH(double, dx);
    QFETCH(double, dy);
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(kW, kH, 12);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 30;
    rig.host.values.rotationAngle = 10;
    rig.host.values.detectEnabled[0] = 1;
    rig.build();
    rig.setFrame(synth::transform(tmpl, dx, dy, angle, kCentre));
    rig.engine->ShapeMatch();
    const cv::Mat aligned = rig.aligned();
    const cv::Rect inner(80, 60, kW - 160, kH - 120);
    double best = 1e9, bestAngle = 99;
    cv::Point bestShift;
    for (int k = -8; k <= 8; ++k) {
        const double a = k * 0.25;
        for (int ry = -2; ry <= 2; ++ry) {
            for (int rx = -2; rx <= 2; ++rx) {
                const double e = synth::meanAbsDiff(synth::transform(tmpl, rx, ry, a, kCentre), aligned, inner);
                if (e < best) {
                    best = e;
                    bestAngle = a;
                    bestShift = {rx, ry};
                }
            }
        }
    }
    QVERIFY2(std::abs(bestAngle) <= 0.5, qPrintable(QStringLiteral("residual angle %1").arg(bestAngle)));
    QVERIFY2(std::abs(bestShift.x) <= 1 && std::abs(bestShift.y) <= 1,
             qPrintable(QStringLiteral("residual %1, %2").arg(bestShift.x).arg(bestShift.y)));
}

// A leftover part over 12 % of a 200 x 200 positioning model, the frame
// turned up to 10 degrees and moved up to 30 px, sharp or blurred with noise
// and a gain change: every pose is found within a pixel, and the angle
// within 0.1 degree on a sharp frame without a part, within 1 degree
// otherwise (blur takes the finest steps of the angle).
void TestAccuracy::occludedRotationRecovered_data()
{
    QTest::addColumn<int>("occluder"); // index into rotationscenes::occluders(), -1 none
    QTest::addColumn<double>("blur");
    QTest::addColumn<double>("noise");
    QTest::addColumn<double>("gain");
    const int n = static_cast<int>(rotationscenes::occluders().size());
    for (int k = -1; k < n; ++k) {
        QTest::addRow("part %d, sharp", k) << k << 0.0 << 0.0 << 1.0;
        QTest::addRow("part %d, blur, noise, gain 0.8", k) << k << 1.0 << 3.0 << 0.8;
        QTest::addRow("part %d, blur, noise, gain 1.2", k) << k << 1.0 << 3.0 << 1.2;
    }
}

void TestAccuracy::occludedRotationRecovered()
{
    namespace rs = rotationscenes;
    QFETCH(int, occluder);
    QFETCH(double, blur);
    QFETCH(double, noise);
    QFETCH(double, gain);
    EngineRig rig(rs::kW, rs::kH);
    const cv::Mat ref = rs::reference();
    rig.setTemplate(0, 0, ref);
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = rs::kMargin;
    rig.host.values.rotationAngle = rs::kAngleRange;
    rig.host.values.detectEnabled[0] = 1;
    rig.addRect(0, rs::kModel, AreaFuncPosition, 5);
    rig.build();
    QVERIFY(rig.engine->findShape[0].IsValid());
    const cv::Rect sr = rig.engine->searchRect[0];
    QVERIFY(sr == rs::searchRect());
    const cv::Rect part = occluder < 0 ? cv::Rect() : rs::occluders()[static_cast<size_t>(occluder)];
    const double maxAngleError = occluder < 0 && blur == 0 ? 0.1 : 1.0;
    QStringList misses;
    uint64_t seed = 1;
    for (const rs::Pose& pose : rs::poses()) {
        const cv::Mat frame = rs::frame(ref, pose, part, {blur, noise, gain}, seed++);
        int x = 0, y = 0;
        double score = 0, angle = 0;
        const bool found = rig.engine->findShape[0].Find(frame(sr).clone(), 0, x, y, score, angle);
        const cv::Point want = rs::expectedShift(pose);
        if (!found || std::abs(x - sr.x - want.x) > 1 || std::abs(y - sr.y - want.y) > 1
            || std::abs(angle - pose.angle) > maxAngleError)
            misses << QStringLiteral("pose %1 (%2, %3): found %4 at (%5, %6) %7 deg")
                          .arg(pose.angle)
                          .arg(pose.dx)
                          .arg(pose.dy)
                          .arg(found)
                          .arg(x - sr.x)
                          .arg(y - sr.y)
                          .arg(angle);
    }
    QVERIFY2(misses.isEmpty(), qPrintable(misses.join(QStringLiteral("; "))));
}

void TestAccuracy::cleanFramesPass_data()
{
    QTest::addColumn<double>("sigma");
    QTest::addColumn<double>("gain");
    QTest::addColumn<int>("shift");
    for (double sigma : {2.0, 3.0})
        for (double gain : {0.95, 1.0, 1.05})
            for (int shift : {0, 3})
                QTest::addRow("sigma %g gain %g shift %d", sigma, gain, shift) << sigma << gain << shift;
}

void TestAccuracy::cleanFramesPass()
{
    QFETCH(double, sigma);
    QFETCH(double, gain);
    QFETCH(int, shift);
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(kW, kH, 21);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0; // with the default limits
    rig.host.values.minSpot = 3;
    rig.host.values.detectEnabled[0] = 1;
    addSceneAreas(rig, 0);
    rig.build();
    for (int seed = 1; seed <= 3; ++seed) {
        const cv::Mat moved = synth::transform(tmpl, shift, -shift, 0, kCentre);
        rig.setFrame(synth::noise(synth::lighting(moved, gain), sigma, static_cast<uint64_t>(seed)));
        rig.engine->ShapeMatch();
        rig.engine->Run(0);
        QString values;
        for (int i = 0; i < rig.saved.roiCount[0]; ++i)
            values += QString::number(rig.slot.roiValue[0][i]) + QLatin1Char(' ');
        QVERIFY2(rig.slot.isOK == 1, qPrintable(values));
    }
}

void TestAccuracy::clearDefectsFound_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("contrast");
    QTest::addColumn<double>("gain");
    QTest::addColumn<int>("shift");
    // Each defect lies inside one area of the grid.
    const QList<QPoint> places{{47, 47}, {122, 120}, {197, 195}, {272, 47}, {271, 195}};
    for (const QPoint& p : places)
        for (int area : {200, 400})
            for (int contrast : {60, 90})
                for (double gain : {0.95, 1.05})
                    QTest::addRow("(%d,%d) %d px contrast %d gain %g", p.x(), p.y(), area, contrast, gain)
                        << p << area << contrast << gain << (p.x() % 2 ? 0 : 3);
}

void TestAccuracy::clearDefectsFound()
{
    QFETCH(QPoint, at);
    QFETCH(int, area);
    QFETCH(int, contrast);
    QFETCH(double, gain);
    QFETCH(int, shift);
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(kW, kH, 21);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.detectEnabled[0] = 1;
    addSceneAreas(rig, 0);
    rig.build();
    cv::Mat frame = tmpl.clone();
    const synth::Defect defect = synth::injectDefect(frame, {at.x(), at.y()}, area, contrast);
    QVERIFY(defect.area >= area);
    frame = synth::transform(frame, shift, shift, 0, kCentre);
    rig.setFrame(synth::noise(synth::lighting(frame, gain), 2.0, 5));
    rig.engine->ShapeMatch();
    rig.engine->Run(0);
    QCOMPARE(int(rig.slot.isOK), 0);
    // The NG lies where the defect is.
    const cv::Mat res = rig.result();
    QVERIFY(cv::countNonZero(res & defect.mask) > area / 2);
}

void TestAccuracy::distanceExactOnSharpEdges_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("across x") << 37 << 211 << false;
    QTest::newRow("across x, close") << 100 << 109 << false;
    QTest::newRow("across y") << 40 << 170 << true;
    QTest::newRow("across y, near the ends") << 23 << 215 << true;
}

void TestAccuracy::distanceExactOnSharpEdges()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(bool, vertical);
    EngineRig rig;
    const cv::Mat picture = synth::stepEdges(kW, kH, {first, second}, 80, 0, vertical);
    rig.setTemplate(0, 0, picture);
    rig.host.values.detectEnabled[0] = 1;
    const cv::Rect r = vertical ? cv::Rect(100, 20, 40, 200) : cv::Rect(20, 100, 280, 40);
    const int i = rig.addRect(0, r, AreaFuncDistance, vertical ? 1 : 0, 10, 5000);
    rig.build();
    QCOMPARE(rig.slot.roiValue[0][i], second - first);
    rig.setFrame(picture);
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], second - first);
    const RoiAlarm& a = rig.slot.roiAlarm[0][i];
    QCOMPARE(vertical ? a.edgeFoundPoint1().y : a.edgeFoundPoint1().x, first);
    QCOMPARE(vertical ? a.edgeFoundPoint2().y : a.edgeFoundPoint2().x, second);
    QCOMPARE(int(rig.slot.isOK), 1);
}

QTEST_GUILESS_MAIN(TestAccuracy)
#include "tst_accuracy.moc"
