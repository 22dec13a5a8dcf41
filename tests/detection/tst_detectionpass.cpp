// The detection pass: per-method values and verdicts, area errors, boxes,
// the result image and the result records.
#include "enginerig.h"
#include "synth.h"

#include <QtTest>

namespace {

const cv::Rect kArea(40, 40, 200, 150);

cv::Mat withSquare(int side, int grey, int bg = 100)
{
    cv::Mat m = synth::ground(bg);
    if (side > 0)
        m(cv::Rect(100, 100, side, side)).setTo(grey);
    return m;
}

} // namespace

class TestDetectionPass : public QObject {
    Q_OBJECT
private slots:
    void noAreasIsOk();
    void grayMethods_data();
    void grayMethods();
    void filterSizesAreClamped_data();
    void filterSizesAreClamped();
    void whiteCount_data();
    void whiteCount();
    void manyBlobsSumAllBoxNinetyNine();
    void similarity_data();
    void similarity();
    void direction_data();
    void direction();
    void directionBoxesStopAtNinetyNine();
    void distance_data();
    void distance();
    void areaErrors_data();
    void areaErrors();
    void areasThatJudgeNothingAreErrors_data();
    void areasThatJudgeNothingAreErrors();
    void invalidMatcherStillPasses();
    void areaReachingOutIsClipped();
    void laterAreaWinsInResultImage();
    void resultRecords_data();
    void resultRecords();
    void recordLimits_data();
    void recordLimits();
};

void TestDetectionPass::noAreasIsOk()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.build();
    rig.slot.PlaneView(rig.slot.resultImage).setTo(9);
    rig.setFrame(synth::mould(320, 240));
    rig.engine->Run(0);
    QCOMPARE(int(rig.slot.isOK), 1);
    QCOMPARE(cv::countNonZero(rig.result()), 0);
}

void TestDetectionPass::grayMethods_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("side");   // square in the frame
    QTest::addColumn<int>("grey");
    QTest::addColumn<int>("details"); // showAlgorithmDetails
    QTest::addColumn<int>("ngTemplate");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("ok");

    // Defect: 3 x 3 opening trims the corners of a square.
    QTest::newRow("defect clean") << 0 << 3 << 45 << 0 << 0 << 0 << 0 << 0 << 0 << true;
    QTest::newRow("defect over limit") << 0 << 3 << 45 << 0 << 20 << 200 << 0 << 0 << 396 << false;
    QTest::newRow("defect at limit passes") << 0 << 1 << 45 << 100 << 10 << 200 << 1 << 0 << 100 << true;
    QTest::newRow("defect own limit") << 0 << 3 << 45 << 500 << 20 << 200 << 1 << 0 << 396 << true;
    QTest::newRow("NG template: below limit") << 0 << 3 << 45 << 0 << 0 << 0 << 0 << 1 << 0 << false;
    QTest::newRow("NG template: at limit") << 0 << 1 << 45 << 100 << 10 << 200 << 1 << 1 << 100 << true;
    // Spot: gray bounds in the two low bytes of A, either order; inclusive.
    QTest::newRow("spot in range") << 1 << (170 | 190 << 8) << 1 << 1000 << 20 << 180 << 0 << 0 << 400 << true;
    QTest::newRow("spot bytes reversed") << 1 << (190 | 170 << 8) << 1 << 1000 << 20 << 180 << 0 << 0 << 400 << true;
    QTest::newRow("spot bound inclusive") << 1 << (180 | 180 << 8) << 1 << 1000 << 20 << 180 << 0 << 0 << 400 << true;
    QTest::newRow("spot below minimum") << 1 << (170 | 190 << 8) << 500 << 1000 << 20 << 180 << 0 << 0 << 400 << false;
    QTest::newRow("spot above maximum") << 1 << (170 | 190 << 8) << 1 << 300 << 20 << 180 << 0 << 0 << 400 << false;
    QTest::newRow("spot B=1 and no pixel") << 1 << (170 | 190 << 8) << 1 << 1000 << 0 << 0 << 0 << 0 << 0 << false;
    QTest::newRow("black area over") << 4 << 0 << 50 << 300 << 20 << 20 << 0 << 0 << 400 << false;
    QTest::newRow("black area bound inclusive") << 4 << 0 << 20 << 400 << 20 << 20 << 0 << 0 << 400 << true;
    QTest::newRow("white area over") << 5 << 0 << 150 << 399 << 20 << 180 << 0 << 0 << 400 << false;
    QTest::newRow("white area bound inclusive") << 5 << 0 << 200 << 400 << 20 << 200 << 0 << 0 << 400 << true;
    QTest::newRow("white area uses low byte") << 5 << 0 << (256 + 150) << 399 << 20 << 180 << 0 << 0 << 400 << false;
}

void TestDetectionPass::grayMethods()
{
    QFETCH(int, method);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, side);
    QFETCH(int, grey);
    QFETCH(int, details);
    QFETCH(int, ngTemplate);
    QFETCH(int, value);
    QFETCH(bool, ok);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.host.values.showAlgorithmDetails = details;
    rig.host.values.templateIsNg = ngTemplate;
    const int i = rig.addRect(0, kArea, method, a, b, c);
    rig.build();
    rig.setFrame(withSquare(side, grey));
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], value);
    QCOMPARE(int(rig.slot.roiOK[0][i]), ok ? 1 : 0);
    QCOMPARE(int(rig.slot.isOK), ok ? 1 : 0);
    QCOMPARE(cv::countNonZero(rig.result()), value);
    if (value > 0) {
        QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), 1);
        const cv::Rect box = rig.slot.roiAlarm[0][i].box(1);
        QCOMPARE(box.x, 100);
        QCOMPARE(box.y, 100);
        QCOMPARE(box.width, side);
    }
}

void TestDetectionPass::filterSizesAreClamped_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("size");
    QTest::newRow("defect 0") << 0 << 0;
    QTest::newRow("defect negative") << 0 << -5;
    QTest::newRow("defect huge") << 0 << 100000;
    QTest::newRow("spot 0") << 1 << 0;
    QTest::newRow("spot huge") << 1 << 100000;
    QTest::newRow("white count negative") << 7 << -3;
    QTest::newRow("white count huge") << 7 << 100000;
}

void TestDetectionPass::filterSizesAreClamped()
{
    QFETCH(int, method);
    QFETCH(int, size);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.host.values.showAlgorithmDetails = 1;
    rig.host.values.minSpot = size;
    rig.host.values.minimumSize = size;
    const int a = method == AreaFuncSpot ? (170 | 190 << 8) : size;
    rig.addRect(0, cv::Rect(90, 90, 40, 30), method, a, method == AreaFuncWhiteCount ? 150 : 45, 100000);
    rig.build();
    rig.setFrame(withSquare(20, 180));
    rig.engine->Run(0); // must neither assert nor stall
    QVERIFY(rig.slot.roiValue[0][0] >= 0);
}

void TestDetectionPass::whiteCount_data()
{
    QTest::addColumn<int>("discs");
    QTest::addColumn<int>("limitLow");
    QTest::addColumn<int>("limitHigh");
    QTest::addColumn<bool>("ok");
    QTest::newRow("120 within 100..200") << 120 << 100 << 200 << true;
    QTest::newRow("120 within 200..100") << 120 << 200 << 100 << true;
    QTest::newRow("120 below 121") << 120 << 121 << 200 << false;
    QTest::newRow("5 exactly") << 5 << 5 << 5 << true;
    QTest::newRow("5 above 4") << 5 << 0 << 4 << false;
    QTest::newRow("none") << 0 << 0 << 3 << true;
}

void TestDetectionPass::whiteCount()
{
    QFETCH(int, discs);
    QFETCH(int, limitLow);
    QFETCH(int, limitHigh);
    QFETCH(bool, ok);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground(0));
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(0, 0, 320, 240), AreaFuncWhiteCount, 1, 128,
                              limitLow | (limitHigh << 16));
    rig.build();
    rig.setFrame(synth::discs(320, 240, discs, 3, 14));
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], discs);
    QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), std::min(discs, 99));
    QCOMPARE(int(rig.slot.roiOK[0][i]), ok ? 1 : 0);
}

void TestDetectionPass::manyBlobsSumAllBoxNinetyNine()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.host.values.minimumSize = 1;
    const int i = rig.addRect(0, cv::Rect(0, 0, 320, 240), AreaFuncDefect, 1, 45, 100);
    rig.build();
    cv::Mat frame = synth::ground();
    for (int k = 0; k < 150; ++k)
        frame(cv::Rect(5 + (k % 25) * 12, 5 + (k / 25) * 12, 3, 3)).setTo(250);
    rig.setFrame(frame);
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], 150 * 9);
    QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), 99);
    // Boxes: right = left + width.
    QCOMPARE(rig.slot.roiAlarm[0][i].entry[1][0], 5);
    QCOMPARE(rig.slot.roiAlarm[0][i].entry[1][2], 8);
}

void TestDetectionPass::similarity_data()
{
    QTest::addColumn<bool>("trained");
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("sameScene");
    QTest::addColumn<bool>("ok");
    QTest::newRow("same scene") << true << 80 << true << true;
    QTest::newRow("other scene") << true << 80 << false << false;
    QTest::newRow("no matcher, B 0") << false << 0 << true << true;
    QTest::newRow("no matcher, B 1") << false << 1 << true << false;
}

void TestDetectionPass::similarity()
{
    QFETCH(bool, trained);
    QFETCH(int, b);
    QFETCH(bool, sameScene);
    QFETCH(bool, ok);
    EngineRig rig;
    const cv::Mat scene = synth::mould(320, 240, 4);
    rig.setTemplate(0, 0, scene);
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, kArea, trained ? AreaFuncSimilarity : AreaFuncSpot, 0, b, 0);
    rig.build();
    rig.saved.roiMethod[0][i] = AreaFuncSimilarity; // changed without retraining
    cv::Mat mirrored;
    cv::flip(scene, mirrored, 1);
    rig.setFrame(sameScene ? scene : mirrored);
    rig.engine->Run(0);
    if (!trained)
        QCOMPARE(rig.slot.roiValue[0][i], 0);
    if (trained && sameScene)
        QVERIFY(rig.slot.roiValue[0][i] >= 99);
    QCOMPARE(int(rig.slot.roiOK[0][i]), ok ? 1 : 0);
}

void TestDetectionPass::direction_data()
{
    QTest::addColumn<QList<bool>>("arrows"); // true points right
    QTest::addColumn<int>("side");           // A
    QTest::addColumn<int>("marked");
    QTest::newRow("all right, side 1") << QList<bool>{true, true, true} << 1 << 0;
    QTest::newRow("one left, side 1") << QList<bool>{true, false, true} << 1 << 1;
    QTest::newRow("all right, side 0") << QList<bool>{true, true, true} << 0 << 3;
}

void TestDetectionPass::direction()
{
    QFETCH(QList<bool>, arrows);
    QFETCH(int, side);
    QFETCH(int, marked);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground(0));
    rig.host.values.detectEnabled[0] = 1;
    const std::vector<bool> dirs(arrows.begin(), arrows.end());
    const cv::Mat shapes = synth::arrowShapes(dirs, 60);
    cv::Mat frame = synth::ground(0);
    shapes.copyTo(frame(cv::Rect(20, 50, shapes.cols, shapes.rows)));
    const int i = rig.addRect(0, cv::Rect(10, 40, 300, 80), AreaFuncDirection, side, 5000, 100);
    rig.build();
    rig.setFrame(frame);
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], marked);
    QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), marked);
    QCOMPARE(int(rig.slot.roiOK[0][i]), marked == 0 ? 1 : 0);
    QCOMPARE(cv::countNonZero(rig.result()) > 0, marked > 0);
}

void TestDetectionPass::directionBoxesStopAtNinetyNine()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground(0));
    rig.host.values.detectEnabled[0] = 1;
    cv::Mat frame = synth::ground(0);
    const cv::Mat row = synth::arrowShapes(std::vector<bool>(20, true), 16);
    for (int r = 0; r < 6; ++r)
        row.copyTo(frame(cv::Rect(0, 20 + r * 16, 320, 16)));
    // Plus a symmetric diamond: its centroid lies exactly on the half width.
    std::vector<cv::Point> diamond{{180, 150}, {200, 130}, {220, 150}, {200, 170}};
    cv::fillConvexPoly(frame, diamond, cv::Scalar(255), cv::LINE_8);
    const int i = rig.addRect(0, cv::Rect(0, 0, 320, 240), AreaFuncDirection, 0, 10, 5000);
    rig.build();
    rig.setFrame(frame);
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], 120);
    QCOMPARE(rig.slot.roiAlarm[0][i].boxCount(), 99);
    QCOMPARE(int(rig.result().at<uchar>(150, 200)), 0); // diamond not marked
}

void TestDetectionPass::distance_data()
{
    QTest::addColumn<QList<int>>("trainedEdges");
    QTest::addColumn<QList<int>>("frameEdges");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("ok");
    QTest::newRow("two edges within C") << QList<int>{60, 240} << QList<int>{70, 240} << 180 << 170 << true;
    QTest::newRow("two edges beyond C") << QList<int>{60, 240} << QList<int>{50, 240} << 180 << 190 << false;
    QTest::newRow("trained two, one found") << QList<int>{60, 240} << QList<int>{150} << 5000 << 150 << false;
    QTest::newRow("none found") << QList<int>{60, 240} << QList<int>{} << 5000 << 0 << false;
    QTest::newRow("one edge near reference") << QList<int>{150} << QList<int>{153} << 3 << 153 << true;
    QTest::newRow("one edge too far") << QList<int>{150} << QList<int>{154} << 3 << 154 << false;
    QTest::newRow("trained one, two found") << QList<int>{150} << QList<int>{60, 240} << 5000 << 180 << false;
}

void TestDetectionPass::distance()
{
    QFETCH(QList<int>, trainedEdges);
    QFETCH(QList<int>, frameEdges);
    QFETCH(int, c);
    QFETCH(int, value);
    QFETCH(bool, ok);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::stepEdges(320, 240, {trainedEdges.begin(), trainedEdges.end()}, 100));
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(20, 100, 280, 40), AreaFuncDistance, 0, 10, c);
    rig.build();
    rig.setFrame(synth::stepEdges(320, 240, {frameEdges.begin(), frameEdges.end()}, 100));
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], value);
    QCOMPARE(int(rig.slot.roiOK[0][i]), ok ? 1 : 0);
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeFoundCount(), std::min<int>(frameEdges.size(), 2));
    QCOMPARE(rig.slot.roiAlarm[0][i].edgeRefCount(), std::min<int>(trainedEdges.size(), 2));
    if (!frameEdges.isEmpty())
        QCOMPARE(rig.slot.roiAlarm[0][i].edgeFoundPoint1().x, frameEdges.first());
}

void TestDetectionPass::areaErrors_data()
{
    QTest::addColumn<int>("fault"); // 0 no mask, 1 untrained, 2 empty rectangle, 3 outside, 4 mask size
    QTest::addColumn<int>("code");
    QTest::newRow("no mask") << 0 << -1;
    QTest::newRow("never trained") << 1 << -2;
    QTest::newRow("empty rectangle") << 2 << -3;
    QTest::newRow("outside the image") << 3 << -3;
    QTest::newRow("mask of another size") << 4 << -1;
}

void TestDetectionPass::areaErrors()
{
    QFETCH(int, fault);
    QFETCH(int, code);
    EngineRig rig;
    rig.setTemplate(1, 0, synth::ground());
    rig.host.values.detectEnabled[1] = fault == 1 ? 0 : 1;
    rig.host.values.netEnabled = 1;
    rig.host.triggerSource = 1;
    const int i = rig.addRect(1, kArea, AreaFuncSpot, (170 | 190 << 8), 1, 1000);
    rig.addRect(1, cv::Rect(10, 10, 20, 20), AreaFuncIgnore);
    ClustomRect& r = rig.saved.roiRect[1][i];
    if (fault == 0)
        rig.slot.liveMask[1][i] = cv::Mat();
    if (fault == 2)
        r.imgRight = r.imgLeft - 1;
    if (fault == 3) {
        r.imgLeft = 500; // same size as its mask, but beyond the image
        r.imgRight = 699;
    }
    if (fault == 4)
        rig.slot.liveMask[1][i] = cv::Mat(3, 3, CV_8UC1, cv::Scalar(255));
    rig.build();
    rig.slot.roiValue[1][i] = 77;
    rig.slot.roiAlarm[1][i].boxCount() = 5;
    rig.setFrame(withSquare(20, 180));
    rig.engine->Run(1); // must not assert
    QCOMPARE(int(rig.slot.isOK), 0);
    QCOMPARE(int(rig.slot.roiOK[1][i]), 1);
    QCOMPARE(rig.slot.roiValue[1][i], 77);
    QCOMPARE(rig.slot.roiAlarm[1][i].boxCount(), 5);
    QCOMPARE(rig.host.records, QStringList{QStringLiteral("REG RUN ERROR = 2, 1, %1").arg(code)});
    QVERIFY(g_listParamROI.isEmpty());
}

void TestDetectionPass::areasThatJudgeNothingAreErrors_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("code");
    const int spotA = 170 | 190 << 8;
    QTest::newRow("mask without a set pixel") << "zero mask" << 1 << spotA << 1 << 1000 << -1;
    QTest::newRow("ring stored as -1") << "ring -1" << 5 << 0 << 150 << 100 << -1;
    QTest::newRow("empty polygon") << "empty polygon" << 4 << 0 << 50 << 100 << -1;
    QTest::newRow("every pixel an ignore point") << "ignored" << 1 << spotA << 1 << 1000 << -1;
    QTest::newRow("inside an ignore area") << "ignore area" << 0 << 3 << 45 << 100 << -1;
    QTest::newRow("direction, side 2") << "" << 8 << 2 << 100 << 5000 << -3;
    QTest::newRow("direction, side -1") << "" << 8 << -1 << 100 << 5000 << -3;
    QTest::newRow("distance, direction 2") << "" << 9 << 2 << 10 << 100 << -3;
    QTest::newRow("similarity, least score -1") << "" << 6 << 0 << -1 << 0 << -3;
    QTest::newRow("similarity, least score 101") << "" << 6 << 0 << 101 << 0 << -3;
    QTest::newRow("spot, negative minimum") << "" << 1 << spotA << -5 << 1000 << -3;
    QTest::newRow("black area, negative limit") << "" << 4 << 0 << 50 << -1 << -3;
    QTest::newRow("white count limit beyond 30000") << "" << 7 << 1 << 150 << 40000 << -3;
    QTest::newRow("defect, negative limit") << "" << 0 << 3 << 45 << -1 << -3;
    QTest::newRow("unknown method") << "" << 12 << 0 << 0 << 0 << -3;
    QTest::newRow("negative method") << "" << -1 << 0 << 0 << 0 << -3;
}

// An area that cannot judge anything makes the camera NG with an error
// record instead of passing on every frame.
void TestDetectionPass::areasThatJudgeNothingAreErrors()
{
    QFETCH(QString, fault);
    QFETCH(int, method);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, code);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.host.values.showAlgorithmDetails = 1;
    rig.host.values.templateIsNg = 1;
    rig.host.values.netEnabled = 1;
    rig.host.triggerSource = 1;
    int i = 0;
    if (fault == QLatin1String("ring -1")) {
        // r = 0xFFFFFFFF: both radii 65535.
        i = rig.addCircle(0, cv::Point(160, 120), 65535, 65535, method, a, b, c);
    } else if (fault == QLatin1String("empty polygon")) {
        i = rig.addPolygon(0, {}, method, a, b, c);
    } else {
        i = rig.addRect(0, kArea, method, a, b, c);
    }
    if (fault == QLatin1String("zero mask"))
        rig.slot.liveMask[0][i] = cv::Mat::zeros(kArea.size(), CV_8UC1);
    if (fault == QLatin1String("ignored"))
        rig.slot.PlaneView(rig.slot.ignoreMask[0])(kArea).setTo(255);
    if (fault == QLatin1String("ignore area"))
        rig.addRect(0, cv::Rect(kArea.x - 5, kArea.y - 5, kArea.width + 10, kArea.height + 10), AreaFuncIgnore);
    rig.build();
    rig.slot.roiValue[0][i] = 77;
    rig.setFrame(withSquare(20, 180));
    rig.engine->Run(0);
    QCOMPARE(int(rig.slot.isOK), 0);
    QCOMPARE(int(rig.slot.roiOK[0][i]), 1);
    QCOMPARE(rig.slot.roiValue[0][i], 77);
    QCOMPARE(rig.host.records, QStringList{QStringLiteral("REG RUN ERROR = 2, 0, %1").arg(code)});
    QVERIFY(g_listParamROI.isEmpty());
}

// A defect area whose matcher is not valid (its library had no template)
// measures nothing and passes, as before.
void TestDetectionPass::invalidMatcherStillPasses()
{
    EngineRig rig;
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, kArea, AreaFuncDefect, 3, 45, 100);
    rig.build();
    QVERIFY(!rig.engine->grayMatch[0][i].IsValid());
    rig.setFrame(withSquare(20, 200));
    rig.engine->Run(0);
    QCOMPARE(rig.slot.roiValue[0][i], 0);
    QCOMPARE(int(rig.slot.isOK), 1);
    QVERIFY(rig.host.records.isEmpty());
}

void TestDetectionPass::areaReachingOutIsClipped()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(280, 100, 40, 40), AreaFuncWhiteArea, 0, 150, 5000);
    // Stored for a wider picture: 20 columns lie beyond the image.
    rig.saved.roiRect[0][i].imgRight = 339;
    rig.slot.liveMask[0][i] = cv::Mat(40, 60, CV_8UC1, cv::Scalar(255));
    rig.build();
    cv::Mat frame = synth::ground();
    frame(cv::Rect(300, 110, 15, 15)).setTo(200);
    rig.setFrame(frame);
    rig.engine->Run(0);
    QVERIFY(rig.host.records.isEmpty());
    QCOMPARE(rig.slot.roiValue[0][i], 225);
    QCOMPARE(int(rig.slot.isOK), 1);
    QCOMPARE(cv::countNonZero(rig.result()), 225);
}

void TestDetectionPass::laterAreaWinsInResultImage()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.addRect(0, cv::Rect(80, 80, 60, 60), AreaFuncWhiteArea, 0, 150, 5000);
    rig.addRect(0, cv::Rect(110, 110, 60, 60), AreaFuncBlackArea, 0, 10, 5000);
    rig.build();
    rig.setFrame(withSquare(30, 200)); // (100..129)
    rig.engine->Run(0);
    const cv::Mat res = rig.result();
    QCOMPARE(int(res.at<uchar>(105, 105)), 255);
    QCOMPARE(int(res.at<uchar>(120, 120)), 0); // overlap: the black area's empty output
}

void TestDetectionPass::resultRecords_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("net");
    QTest::addColumn<int>("records");
    QTest::newRow("collecting") << 1 << 1 << 3;
    QTest::newRow("manual snapshot") << ~2 << 1 << 3;
    QTest::newRow("no trigger") << 0 << 1 << 0;
    QTest::newRow("net off") << 1 << 0 << 0;
}

void TestDetectionPass::resultRecords()
{
    QFETCH(int, trigger);
    QFETCH(int, net);
    QFETCH(int, records);
    EngineRig rig;
    rig.setTemplate(3, 0, synth::ground());
    rig.host.values.detectEnabled[3] = 1;
    rig.host.values.netEnabled = net;
    rig.host.triggerSource = trigger;
    rig.addRect(3, cv::Rect(10, 10, 50, 50), AreaFuncSpot, (170 | 190 << 8), 0, 1000);   // passes
    rig.addRect(3, cv::Rect(90, 90, 50, 50), AreaFuncWhiteArea, 0, 150, 10);              // fails
    rig.addRect(3, cv::Rect(200, 10, 20, 20), AreaFuncPosition, 50);                      // not judged
    rig.addRect(3, cv::Rect(200, 100, 50, 50), AreaFuncWhiteCount, 1, 150, 0 | (5 << 16)); // passes
    rig.build();
    rig.setFrame(withSquare(20, 180));
    rig.engine->Run(3);
    QCOMPARE(g_listParamROI.size(), records);
    if (records == 0)
        return;
    const param_roi& a = g_listParamROI[0];
    QCOMPARE(a.cameraId, 2);
    QCOMPARE(a.detectId, 3);
    QCOMPARE(a.roiId, 0);
    QCOMPARE(a.algorithmType, int(AreaFuncSpot));
    QCOMPARE(a.algorithmPremin, 0);
    QCOMPARE(a.algorithmPremax, 1000);
    QCOMPARE(a.stageOk, 1);
    const param_roi& b = g_listParamROI[1];
    QCOMPARE(b.roiId, 1);
    QCOMPARE(b.algorithmResult, 400);
    QCOMPARE(b.algorithmPremax, 10);
    QCOMPARE(b.stageOk, 0);
    const param_roi& c = g_listParamROI[2];
    QCOMPARE(c.roiId, 3);
    QCOMPARE(c.algorithmPremin, 0);
    QCOMPARE(c.algorithmPremax, 5);
    QCOMPARE(c.stageOk, 0); // passed, but the camera already failed
}

void TestDetectionPass::recordLimits_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("premin");
    QTest::addColumn<int>("premax");
    QTest::newRow("defect, global limit") << int(AreaFuncDefect) << 45 << 500 << 0 << 500;
    QTest::newRow("spot") << int(AreaFuncSpot) << 7 << 300 << 7 << 300;
    QTest::newRow("black area") << int(AreaFuncBlackArea) << 50 << 300 << 0 << 300;
    QTest::newRow("white area") << int(AreaFuncWhiteArea) << 150 << 300 << 0 << 300;
    QTest::newRow("similarity") << int(AreaFuncSimilarity) << 80 << 0 << 80 << -1;
    QTest::newRow("white count") << int(AreaFuncWhiteCount) << 150 << (7 | 3 << 16) << 3 << 7;
    QTest::newRow("direction") << int(AreaFuncDirection) << 10 << 5000 << 0 << 0;
    QTest::newRow("distance") << int(AreaFuncDistance) << 10 << 123 << 0 << 123;
}

void TestDetectionPass::recordLimits()
{
    QFETCH(int, method);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, premin);
    QFETCH(int, premax);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::ground());
    rig.host.values.detectEnabled[0] = 1;
    rig.host.values.netEnabled = 1;
    rig.host.triggerSource = 1;
    const int i = rig.addRect(0, kArea, method, method == AreaFuncSpot ? (170 | 190 << 8) : 0, b, c);
    rig.build();
    rig.setFrame(withSquare(20, 180));
    rig.engine->Run(0);
    QCOMPARE(g_listParamROI.size(), 1);
    const param_roi& r = g_listParamROI[0];
    QCOMPARE(r.algorithmType, method);
    QCOMPARE(r.algorithmResult, rig.slot.roiValue[0][i]);
    QCOMPARE(r.algorithmPremin, premin);
    QCOMPARE(r.algorithmPremax, premax);
    QCOMPARE(r.stageOk, int(rig.slot.roiOK[0][i]));
}

QTEST_GUILESS_MAIN(TestDetectionPass)
#include "tst_detectionpass.moc"
