// Edge-point measurement on generated strips: exact positions.
#include "edgepoint.h"
#include "testenv.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>

namespace {

// A width x height picture whose gray value steps at the given columns:
// levels[0] before the first step, levels[k] after step k.
cv::Mat steps(int width, int height, const std::vector<int>& at, const std::vector<int>& levels)
{
    cv::Mat img(height, width, CV_8UC1, cv::Scalar(levels[0]));
    for (size_t k = 0; k < at.size(); ++k)
        img(cv::Rect(at[k], 0, width - at[k], height)).setTo(levels[k + 1]);
    return img;
}

// A measurement with the system's fixed parameters.
struct Measure {
    std::unique_ptr<RotateRectROI> rect;
    _EdgePointDetParam p;
    bool ok = false;
    Measure(cv::Mat img, cv::Rect r, int vertical, int minGradient = 0, int smooth = 5)
        : rect(Rect2RotateRect(r, vertical))
    {
        p.scanFromEnd = 0;
        p.polarity = 0;
        p.peakPercent = 1;
        p.smoothWidth = smooth;
        p.minGradient = minGradient;
        p.rect = rect.get();
        ok = clcEdgePoint(img, p);
    }
};

} // namespace

class TestEdgePoint : public QObject {
    Q_OBJECT
private slots:
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void rect2RotateRect_data();
    void rect2RotateRect();
    void cornersFollowTheAngle();
    void distP2P();
    void singleStepAtItsColumn_data();
    void singleStepAtItsColumn();
    void threeEdgesKeepFirstAndLast();
    void uniformStripFindsNothing();
    void tooSmallRectangleFindsNothing_data();
    void tooSmallRectangleFindsNothing();
    void lastColumnIsAlwaysAPeak();
    void lonePeakAfterBelowIsNotReported();
    void peakScan_data();
    void peakScan();
    void minGradientSuppressesWeakSteps();
    void verticalScanReportsAlongY();
    void colourPictureIsMeasuredOnGray();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestEdgePoint::rect2RotateRect_data()
{
    QTest::addColumn<int>("vertical");
    QTest::addColumn<float>("angle");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::newRow("along x") << 0 << 0.f << 7.f << 4.f;
    QTest::newRow("along y") << 1 << 90.f << 4.f << 7.f;
    QTest::newRow("any non-zero is vertical") << 5 << 90.f << 4.f << 7.f;
}

void TestEdgePoint::rect2RotateRect()
{
    QFETCH(int, vertical);
    QFETCH(float, angle);
    QFETCH(float, width);
    QFETCH(float, height);
    const auto r = Rect2RotateRect(cv::Rect(10, 20, 7, 4), vertical);
    QCOMPARE(r->cx, 13.0); // 10 + 7/2 with integer division
    QCOMPARE(r->cy, 22.0);
    QCOMPARE(r->angle, angle);
    QCOMPARE(r->width, width);
    QCOMPARE(r->height, height);
}

void TestEdgePoint::cornersFollowTheAngle()
{
    RotateRectROI r{50, 20, 0, 10, 4};
    std::vector<cv::Point2f> c{{1, 1}}; // resized to exactly four
    getCornerPoints(&r, c);
    QCOMPARE(int(c.size()), 4);
    QCOMPARE(c[0], cv::Point2f(45, 18));
    QCOMPARE(c[1], cv::Point2f(55, 18));
    QCOMPARE(c[2], cv::Point2f(55, 22));
    QCOMPARE(c[3], cv::Point2f(45, 22));

    r.angle = 90; // the width now runs along y
    getCornerPoints(&r, c);
    QVERIFY(std::abs(c[0].x - 52) < 1e-4 && std::abs(c[0].y - 15) < 1e-4);
    QVERIFY(std::abs(c[2].x - 48) < 1e-4 && std::abs(c[2].y - 25) < 1e-4);
}

void TestEdgePoint::distP2P()
{
    QCOMPARE(DistP2P({0, 0}, {3, 4}), 5.0f);
    QCOMPARE(DistP2P({3, 4}, {0, 0}), 5.0f);
    QCOMPARE(DistP2P({1.5, 1.5}, {1.5, 1.5}), 0.0f);
}

void TestEdgePoint::singleStepAtItsColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("dark to bright at 50") << 50 << 40 << 200;
    QTest::newRow("bright to dark at 50") << 50 << 200 << 40;
    QTest::newRow("low contrast at 30") << 30 << 100 << 110;
    QTest::newRow("full contrast at 10") << 10 << 0 << 255;
}

void TestEdgePoint::singleStepAtItsColumn()
{
    QFETCH(int, column);
    QFETCH(int, from);
    QFETCH(int, to);
    // A 100-wide strip: the smoothed 5-sample plateau is centred on the step.
    const cv::Mat img = steps(100, 20, {column}, {from, to});
    Measure m(img, cv::Rect(0, 0, 100, 20), 0);
    QVERIFY(m.ok);
    QVERIFY(m.p.found);
    QCOMPARE(int(m.p.edgePoints.size()), 1);
    QCOMPARE(m.p.edgePoints[0].x, double(column));
    QCOMPARE(m.p.edgePoints[0].y, 10.0);
    QCOMPARE(m.p.maxGradient, double(std::abs(to - from)) / 5.0);
    QCOMPARE(m.p.stripImage.cols, 100);
    QCOMPARE(m.p.stripImage.rows, 20);
    QCOMPARE(int(m.p.gradient.size()), 100);
}

void TestEdgePoint::threeEdgesKeepFirstAndLast()
{
    const cv::Mat img = steps(200, 10, {40, 100, 160}, {20, 120, 30, 220});
    Measure m(img, cv::Rect(0, 0, 200, 10), 0);
    QVERIFY(m.ok);
    QCOMPARE(int(m.p.edgePoints.size()), 2);
    QCOMPARE(m.p.edgePoints[0].x, 40.0);
    QCOMPARE(m.p.edgePoints[1].x, 160.0);
    // The area's distance is the span between them.
    QCOMPARE(DistP2P(m.p.edgePoints[0], m.p.edgePoints[1]), 120.0f);
}

void TestEdgePoint::uniformStripFindsNothing()
{
    const cv::Mat img(30, 80, CV_8UC1, cv::Scalar(128));
    Measure m(img, cv::Rect(0, 0, 80, 30), 0);
    QVERIFY(!m.ok);
    QVERIFY(!m.p.found);
    QCOMPARE(m.p.maxGradient, 0.0);
    QVERIFY(m.p.edgePoints.empty());
}

void TestEdgePoint::tooSmallRectangleFindsNothing_data()
{
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::newRow("width below 1") << 0.5f << 10.f;
    QTest::newRow("height below 1") << 50.f << 0.f;
}

void TestEdgePoint::tooSmallRectangleFindsNothing()
{
    QFETCH(float, width);
    QFETCH(float, height);
    cv::Mat img = steps(100, 20, {50}, {0, 255});
    RotateRectROI r{50, 10, 0, width, height};
    _EdgePointDetParam p;
    p.rect = &r;
    p.found = true;
    QVERIFY(!clcEdgePoint(img, p));
    QVERIFY(!p.found);
}

void TestEdgePoint::lastColumnIsAlwaysAPeak()
{
    // Steps at 20 and 60, and a rise into the very last column: the last
    // column is appended after the first and the latest earlier peak.
    cv::Mat img = steps(100, 10, {20, 60}, {10, 110, 20});
    img.col(99).setTo(250);
    Measure m(img, cv::Rect(0, 0, 100, 10), 0);
    QVERIFY(m.ok);
    QCOMPARE(int(m.p.edgePoints.size()), 3);
    QCOMPARE(m.p.edgePoints[0].x, 20.0);
    QCOMPARE(m.p.edgePoints[1].x, 60.0);
    QCOMPARE(m.p.edgePoints[2].x, 99.0);
}

void TestEdgePoint::lonePeakAfterBelowIsNotReported()
{
    // Without smoothing a single step is one sample above the threshold,
    // reached from below and falling at once: no rise, no peak.
    const cv::Mat img = steps(100, 10, {50}, {10, 200});
    Measure m(img, cv::Rect(0, 0, 100, 10), 0, 0, 1);
    QVERIFY(!m.ok);
    QVERIFY(m.p.edgePoints.empty());
    QVERIFY(m.p.maxGradient > 0);

    // A two-sample ramp rises first and is reported at its top.
    cv::Mat ramp = steps(100, 10, {50, 51}, {10, 60, 200});
    Measure r(ramp, cv::Rect(0, 0, 100, 10), 0, 0, 1);
    QVERIFY(r.ok);
    QCOMPARE(int(r.p.edgePoints.size()), 1);
    QCOMPARE(r.p.edgePoints[0].x, 51.0);
}

void TestEdgePoint::peakScan_data()
{
    // Unsmoothed gradients g[k] (list index k = strip column; g[0] is always
    // 0) on a 30-column strip whose x equals the strip column.
    QTest::addColumn<QList<int>>("gradient");
    QTest::addColumn<QList<double>>("expected");
    auto at = [](int from, QList<int> values) {
        QList<int> g(from, 0);
        g += values;
        return g;
    };
    QTest::newRow("plateau reached by a rise: its middle") << at(10, {3, 5, 5, 5, 5, 2}) << QList<double>{12.5};
    QTest::newRow("plateau from below: its middle") << at(10, {5, 5, 5, 2}) << QList<double>{11.0};
    QTest::newRow("falling after a peak is no second peak") << at(10, {4, 9, 7, 3}) << QList<double>{11.0};
    QTest::newRow("last column rising") << at(28, {10, 20}) << QList<double>{29.0};
    QTest::newRow("last column flat") << at(28, {20, 20}) << QList<double>{28.5};
    QTest::newRow("last column falling") << at(28, {20, 10}) << QList<double>{29.0};
    QTest::newRow("peaks, then the last column") << at(5, {2, 6, 1, 0, 3, 8, 2, 0, 4, 7, 1}) + QList<int>(13, 0) + QList<int>{5}
                                                 << QList<double>{6.0, 14.0, 29.0};
}

void TestEdgePoint::peakScan()
{
    QFETCH(QList<int>, gradient);
    QFETCH(QList<double>, expected);
    const int n = 30;
    cv::Mat img(4, n, CV_8UC1);
    int level = 20;
    for (int k = 0; k < n; ++k) {
        if (k > 0 && k < int(gradient.size()))
            level += gradient[k];
        img.col(k).setTo(level);
    }
    Measure m(img, cv::Rect(0, 0, n, 4), 0, 0, 1);
    QList<double> got;
    for (const cv::Point2d& e : m.p.edgePoints)
        got << e.x;
    QCOMPARE(got, expected);
    QCOMPARE(m.ok, !expected.isEmpty());
}

void TestEdgePoint::minGradientSuppressesWeakSteps()
{
    const cv::Mat img = steps(100, 10, {30, 70}, {100, 110, 200});
    Measure weak(img, cv::Rect(0, 0, 100, 10), 0, 0);
    QCOMPARE(int(weak.p.edgePoints.size()), 2);
    Measure strong(img, cv::Rect(0, 0, 100, 10), 0, 50);
    QCOMPARE(int(strong.p.edgePoints.size()), 1);
    QCOMPARE(strong.p.edgePoints[0].x, 70.0);
}

void TestEdgePoint::verticalScanReportsAlongY()
{
    // A horizontal step at row 40 of a 20 x 80 area, scanned along y.
    cv::Mat img(100, 60, CV_8UC1, cv::Scalar(30));
    img(cv::Rect(0, 40, 60, 60)).setTo(220);
    Measure m(img, cv::Rect(10, 0, 20, 80), 1);
    QVERIFY(m.ok);
    QCOMPARE(m.p.stripImage.cols, 80);
    QCOMPARE(m.p.stripImage.rows, 20);
    QCOMPARE(int(m.p.edgePoints.size()), 1);
    QVERIFY(std::abs(m.p.edgePoints[0].x - 20.0) < 1e-4);
    QCOMPARE(m.p.edgePoints[0].y, 40.0);
}

void TestEdgePoint::colourPictureIsMeasuredOnGray()
{
    const cv::Mat gray = steps(100, 20, {50}, {40, 200});
    cv::Mat rgb;
    cv::cvtColor(gray, rgb, cv::COLOR_GRAY2RGB);
    Measure m(rgb, cv::Rect(0, 0, 100, 20), 0);
    QVERIFY(m.ok);
    QCOMPARE(m.p.stripImage.channels(), 1);
    QCOMPARE(m.p.edgePoints[0].x, 50.0);
}

QTEST_GUILESS_MAIN(TestEdgePoint)
#include "tst_edgepoint.moc"
