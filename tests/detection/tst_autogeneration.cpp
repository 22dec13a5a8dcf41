// Automatic area generation from the difference of the base templates of
// detections 0 and 1.
#include "autogeneration.h"
#include "enginerig.h"
#include "synth.h"

#include <QtTest>

namespace {

cv::Mat withDiscs(const std::vector<cv::Point>& centres, int r = 25)
{
    cv::Mat m = synth::ground();
    for (const cv::Point& c : centres)
        cv::circle(m, c, r, cv::Scalar(200), cv::FILLED, cv::LINE_8);
    return m;
}

// Every differing pixel lies inside the generated area's mask.
bool maskCovers(const CammerSingleton& set, const cv::Mat& mask, int d, const cv::Mat& diff)
{
    const cv::Rect r = set.AreaImageRect(d, 0);
    for (int y = 0; y < diff.rows; ++y) {
        for (int x = 0; x < diff.cols; ++x) {
            if (!diff.at<uchar>(y, x))
                continue;
            if (!r.contains({x, y}) || !mask.at<uchar>(y - r.y, x - r.x))
                return false;
        }
    }
    return true;
}

} // namespace

class TestAutogeneration : public QObject {
    Q_OBJECT
private slots:
    void identicalTemplatesGiveNothing();
    void differencesGiveOneConvexPolygon_data();
    void differencesGiveOneConvexPolygon();
    void parametersAndSensitivity();
    void refusedWhenAreasExist();
    void colourTemplatesAreConverted();
    void sensitivityEdgeCases();
};

void TestAutogeneration::identicalTemplatesGiveNothing()
{
    EngineRig rig;
    rig.setTemplate(0, 0, withDiscs({{100, 100}}));
    rig.setTemplate(1, 0, withDiscs({{100, 100}}));
    QVERIFY(!AutogenerationRegion(rig.slot, 0, 3, 100));
    QCOMPARE(rig.work.roiCount[0], 0);
    // Too small to survive the 30 x 30 opening.
    rig.setTemplate(1, 0, withDiscs({{100, 100}}, 8));
    rig.setTemplate(0, 0, synth::ground());
    QVERIFY(!AutogenerationRegion(rig.slot, 0, 3, 100));
}

void TestAutogeneration::differencesGiveOneConvexPolygon_data()
{
    QTest::addColumn<QList<QPoint>>("centres");
    QTest::addColumn<double>("showAW");
    QTest::addColumn<double>("showAH");
    QTest::newRow("one difference") << QList<QPoint>{{150, 110}} << 1.0 << 1.0;
    QTest::newRow("two differences") << QList<QPoint>{{80, 80}, {240, 170}} << 1.0 << 1.0;
    QTest::newRow("scaled view") << QList<QPoint>{{150, 110}} << 1.5 << 1.25;
    QTest::newRow("scaled view, two") << QList<QPoint>{{80, 80}, {240, 170}} << 1.5 << 1.25;
}

void TestAutogeneration::differencesGiveOneConvexPolygon()
{
    QFETCH(QList<QPoint>, centres);
    QFETCH(double, showAW);
    QFETCH(double, showAH);
    EngineRig rig;
    setTestGeometry(320, 240, showAW, showAH);
    std::vector<cv::Point> pts;
    for (const QPoint& p : centres)
        pts.emplace_back(p.x(), p.y());
    const cv::Mat t1 = withDiscs(pts);
    rig.setTemplate(0, 0, synth::ground());
    rig.setTemplate(1, 0, t1);
    QVERIFY(AutogenerationRegion(rig.slot, 0, 3, 100));
    const CammerSingleton& set = rig.work;
    QCOMPARE(set.roiCount[0], 1);
    QCOMPARE(set.roiShape[0][0], int(RoiShapePolygon));
    QCOMPARE(set.roiMethod[0][0], int(AreaFuncDefect));
    QVERIFY(set.roiPolygon[0][0].IsSelected());
    QVERIFY(set.roiPolygon[0][0].count() > 4); // not a rectangle
    // The outline is in view coordinates: every point within the view.
    for (const QPoint& p : set.roiPolygon[0][0].points()) {
        QVERIFY(p.x() >= 0 && p.x() < gShowW);
        QVERIFY(p.y() >= 0 && p.y() < gShowH);
    }
    const cv::Mat& mask = rig.slot.workMask[0][0];
    QCOMPARE(mask.size(), set.AreaImageRect(0, 0).size());
    cv::Mat diff;
    cv::absdiff(t1, synth::ground(), diff);
    QVERIFY(maskCovers(set, mask, 0, diff));
    // Convex: the mask is its own convex hull (up to the raster).
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    QCOMPARE(int(contours.size()), 1);
    std::vector<cv::Point> hull;
    cv::convexHull(contours[0], hull);
    QVERIFY(cv::contourArea(hull) - cv::contourArea(contours[0]) < 0.03 * cv::contourArea(hull));
}

void TestAutogeneration::parametersAndSensitivity()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.setTemplate(1, 0, withDiscs({{150, 110}}));
    QVERIFY(AutogenerationRegion(rig.slot, 5, 7, 321));
    const CammerSingleton& set = rig.work;
    QCOMPARE(set.roiCount[5], 1);
    QCOMPARE(set.roiCount[0], 0);
    QCOMPARE(set.roiMinSize[5][0], 7);
    QCOMPARE(set.roiMaxArea[5][0], 321);
    // B: one fifth of the mean difference over the differing pixels.
    const cv::Rect r = set.AreaImageRect(5, 0);
    cv::Mat diff;
    cv::absdiff(withDiscs({{150, 110}}), synth::ground(), diff);
    const cv::Mat sub = diff(r);
    const int n = cv::countNonZero(sub);
    const int expected = int(0.2 * double((long long)(int)cv::mean(sub)[0] * r.width * r.height / n));
    QCOMPARE(set.roiSensibility[5][0], expected);
    QVERIFY(expected >= 15 && expected <= 20);
}

void TestAutogeneration::refusedWhenAreasExist()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.setTemplate(1, 0, withDiscs({{150, 110}}));
    rig.work.roiCount[2] = 1;
    QVERIFY(!AutogenerationRegion(rig.slot, 2, 3, 100));
    QCOMPARE(rig.work.roiCount[2], 1);
    CameraSlotState bare;
    QVERIFY(!AutogenerationRegion(bare, 0, 3, 100)); // no work set, no buffers
    QVERIFY(!AutogenerationRegion(rig.slot, 8, 3, 100));
}

void TestAutogeneration::colourTemplatesAreConverted()
{
    EngineRig rig(320, 240, true, 2);
    gisGrayHue = 1;
    rig.setTemplate(0, 0, synth::ground());
    rig.setTemplate(1, 0, withDiscs({{150, 110}}));
    QVERIFY(AutogenerationRegion(rig.slot, 0, 3, 100));
    cv::Mat diff;
    cv::absdiff(withDiscs({{150, 110}}), synth::ground(), diff);
    QVERIFY(maskCovers(rig.work, rig.slot.workMask[0][0], 0, diff));
    const cv::Rect r = rig.work.AreaImageRect(0, 0);
    QVERIFY(r.width < 160 && r.height < 160); // around the disc, not the whole picture
}

void TestAutogeneration::sensitivityEdgeCases()
{
    QCOMPARE(AutogenerationSensitivity(cv::Mat::zeros(40, 40, CV_8UC1)), 45);
    // 12 megapixels of difference 255: the sum does not fit 32 bits.
    QCOMPARE(AutogenerationSensitivity(cv::Mat(3000, 4000, CV_8UC1, cv::Scalar(255))), 51);
}

QTEST_GUILESS_MAIN(TestAutogeneration)
#include "tst_autogeneration.moc"
