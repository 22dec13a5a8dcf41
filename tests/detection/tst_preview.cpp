// The one-area preview of the area page: what it measures, what it draws,
// and when it only repaints or shows nothing.
#include "enginerig.h"
#include "synth.h"

#include <QtTest>

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void judgedByMatcherOnlyRepaints_data();
    void judgedByMatcherOnlyRepaints();
    void whiteCountIsNotCapped();
    void grayRangeValue_data();
    void grayRangeValue();
    void directionOverlay();
    void distanceShowsFirstAndLast();
    void nothingShown_data();
    void nothingShown();
    void colourUsesPlaneAsIs();
};

void TestPreview::judgedByMatcherOnlyRepaints_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("defect") << int(AreaFuncDefect);
    QTest::newRow("similarity") << int(AreaFuncSimilarity);
    QTest::newRow("ignore") << int(AreaFuncIgnore);
    QTest::newRow("position") << int(AreaFuncPosition);
}

void TestPreview::judgedByMatcherOnlyRepaints()
{
    QFETCH(int, method);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::mould(320, 240));
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(40, 40, 100, 100), method, 3, 45, 100);
    rig.build();
    rig.slot.roiValue[0][i] = 55;
    rig.engine->RunTest(0, i);
    QCOMPARE(rig.host.repaints, 1);
    QCOMPARE(rig.slot.roiValue[0][i], 0);
    QCOMPARE(int(rig.slot.testShown), 0);
}

void TestPreview::whiteCountIsNotCapped()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::discs(320, 240, 120, 3, 14));
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(0, 0, 320, 240), AreaFuncWhiteCount, 1, 128, 10 | (20 << 16));
    rig.build();
    rig.engine->RunTest(0, i);
    QCOMPARE(rig.slot.roiValue[0][i], 120);
    QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), 0);
    QCOMPARE(int(rig.slot.testShown), 1);
    QCOMPARE(rig.host.repaints, 1);
}

void TestPreview::grayRangeValue_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("value");
    QTest::newRow("spot") << int(AreaFuncSpot) << (170 | 190 << 8) << 0 << 400;
    QTest::newRow("white area") << int(AreaFuncWhiteArea) << 0 << 150 << 400;
    QTest::newRow("black area") << int(AreaFuncBlackArea) << 0 << 150 << 150 * 100 - 400;
}

void TestPreview::grayRangeValue()
{
    QFETCH(int, method);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, value);
    EngineRig rig;
    cv::Mat picture = synth::ground(100);
    picture(cv::Rect(100, 100, 20, 20)).setTo(180);
    rig.setTemplate(0, 0, synth::ground(100));
    rig.setTemplate(0, 3, picture);
    rig.slot.tempShown = 3;
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(60, 60, 150, 100), method, a, b, 1000);
    rig.build();
    rig.engine->RunTest(0, i);
    QCOMPARE(rig.slot.roiValue[0][i], value);
    QCOMPARE(cv::countNonZero(rig.result()), value);
}

void TestPreview::directionOverlay()
{
    EngineRig rig;
    cv::Mat picture = synth::ground(0);
    const cv::Mat shapes = synth::arrowShapes({true, false, true}, 60);
    shapes.copyTo(picture(cv::Rect(20, 50, shapes.cols, shapes.rows)));
    rig.setTemplate(0, 0, picture);
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(10, 40, 300, 80), AreaFuncDirection, 1, 100, 5000);
    rig.build();
    rig.engine->RunTest(0, i);
    QCOMPARE(rig.slot.roiValue[0][i], 1);
    const cv::Mat res = rig.result();
    // Every kept contour is filled, the marked one (the left arrow, cell 1)
    // is framed: its bounding box corner is drawn although it is outside the
    // triangle.
    QCOMPARE(int(res.at<uchar>(80, 20 + 15)), 255);       // inside the first arrow
    QCOMPARE(int(res.at<uchar>(80, 20 + 60 + 45)), 255);  // inside the marked arrow
    QCOMPARE(int(res.at<uchar>(50 + 12, 20 + 60 + 12)), 255); // frame corner of the marked arrow
    QCOMPARE(int(res.at<uchar>(50 + 12, 20 + 48)), 0);    // no frame around the first arrow
    QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), 0);
}

void TestPreview::distanceShowsFirstAndLast()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::stepEdges(320, 240, {60}, 100));
    rig.setTemplate(0, 1, synth::stepEdges(320, 240, {60, 150, 240}, 100));
    rig.slot.tempShown = 1;
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(20, 100, 280, 40), AreaFuncDistance, 0, 10, 5);
    rig.build();
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeRefCount(), 1);
    rig.engine->RunTest(0, i);
    QCOMPARE(rig.slot.roiValue[0][i], 180);
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeFoundCount(), 2);
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeFoundPoint1().x, 60);
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeFoundPoint2().x, 240);
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeRefCount(), 1); // the reference is untouched
    QCOMPARE(int(rig.slot.testShown), 1);
}

void TestPreview::nothingShown_data()
{
    QTest::addColumn<int>("fault"); // 0 index beyond count, 1 empty rectangle, 2 untrained,
                                    // 3 no work mask, 4 mask size, 5 template slot out of range
    QTest::newRow("index beyond count") << 0;
    QTest::newRow("empty rectangle") << 1;
    QTest::newRow("never trained") << 2;
    QTest::newRow("no work mask") << 3;
    QTest::newRow("mask of another size") << 4;
    QTest::newRow("template slot out of range") << 5;
}

void TestPreview::nothingShown()
{
    QFETCH(int, fault);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::discs(320, 240, 10, 3, 14));
    rig.host.values.detectEnabled[0] = fault == 2 ? 0 : 1;
    int i = rig.addRect(0, cv::Rect(0, 0, 200, 100), AreaFuncWhiteCount, 1, 128, 0 | (20 << 16));
    if (fault == 0)
        i = 1;
    if (fault == 1)
        rig.work.roiRect[0][i].imgRight = rig.work.roiRect[0][i].imgLeft - 1;
    if (fault == 3)
        rig.slot.workMask[0][i] = cv::Mat();
    if (fault == 4)
        rig.slot.workMask[0][i] = cv::Mat(5, 5, CV_8UC1, cv::Scalar(255));
    if (fault == 5)
        rig.slot.tempShown = 10;
    rig.build();
    rig.engine->RunTest(0, i); // must not assert
    QCOMPARE(rig.host.repaints, 0);
    QCOMPARE(rig.slot.roiValue[0][i], 0);
    QCOMPARE(int(rig.slot.testShown), 0);
    rig.engine->RunTest(0, 50);
    rig.engine->RunTest(0, -1);
    rig.engine->RunTest(8, 0);
}

void TestPreview::colourUsesPlaneAsIs()
{
    EngineRig rig(320, 240, true, 2);
    gisGrayHue = 1;
    rig.setTemplate(0, 0, synth::ground(0));
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(0, 0, 320, 240), AreaFuncWhiteCount, 1, 128, 0 | (20 << 16));
    rig.build();
    // The page put another picture's plane into grayPlane.
    const cv::Mat plane = synth::discs(320, 240, 7, 3, 14);
    std::memcpy(rig.slot.grayPlane.data(), plane.data, plane.total());
    rig.engine->RunTest(0, i);
    QCOMPARE(rig.slot.roiValue[0][i], 7);
}

QTEST_GUILESS_MAIN(TestPreview)
#include "tst_preview.moc"
