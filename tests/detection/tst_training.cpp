// Training: the inspection mask from ignore points and ignore areas, the
// matchers fed from the template library, and the distance reference.
#include "enginerig.h"
#include "synth.h"

#include <QtTest>

class TestTraining : public QObject {
    Q_OBJECT
private slots:
    void templatesInSlotOrderUpToCount();
    void noAreasInvertsIgnoreImage();
    void ignoreAreaAddsItsShape();
    void changedFunctionLeavesNoMatcher();
    void unusableMaskIsSkipped_data();
    void unusableMaskIsSkipped();
    void distanceReference_data();
    void distanceReference();
    void colourTemplatesAreKeptApart();
};

void TestTraining::templatesInSlotOrderUpToCount()
{
    EngineRig rig(320, 240, false, 10);
    const cv::Mat ground = synth::ground();
    cv::Mat t2 = ground.clone();
    t2(cv::Rect(100, 100, 30, 30)).setTo(200);
    cv::Mat t5 = ground.clone();
    t5(cv::Rect(100, 100, 30, 30)).setTo(20);
    rig.setTemplate(0, 0, ground);
    rig.setTemplate(0, 2, t2);
    rig.setTemplate(0, 5, t5);
    // Poisoned slots beyond the count: would open the envelope completely.
    cv::Mat poison(240, 320, CV_8UC1);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            poison.at<uchar>(y, x) = (x + y) % 2 ? 255 : 0;
    for (int t = 6; t < 10; ++t) {
        std::memcpy(rig.slot.TemplateBuffer(0, t), poison.data, poison.total());
        rig.slot.templateValid[0][static_cast<size_t>(t)] = 1;
    }
    rig.slot.templateCount[0] = 3;
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(40, 40, 200, 150), AreaFuncDefect, 3, 10, 100);
    rig.build();
    QVERIFY(rig.engine->grayMatch[0][i].IsValid());
    QCOMPARE(rig.engine->grayMatch[0][i].templateCount(), 3);

    // Both learned variants pass; a defect elsewhere does not.
    for (const cv::Mat& frame : {t2, t5}) {
        rig.setFrame(frame);
        rig.engine->Run(0);
        QCOMPARE(int(rig.slot.isOK), 1);
    }
    cv::Mat bad = ground.clone();
    bad(cv::Rect(180, 120, 20, 20)).setTo(255);
    rig.setFrame(bad);
    rig.engine->Run(0);
    QCOMPARE(int(rig.slot.isOK), 0);
    QCOMPARE(rig.slot.roiValue[0][i], 396); // the 3 x 3 opening trims the four corners
}

void TestTraining::noAreasInvertsIgnoreImage()
{
    EngineRig rig;
    cv::Mat ignore = rig.slot.PlaneView(rig.slot.ignoreMask[3]);
    ignore(cv::Rect(10, 10, 5, 5)).setTo(255);
    rig.setTemplate(3, 0, synth::mould(320, 240));
    rig.build();
    rig.engine->VarTrain(3);
    cv::Mat expected;
    cv::bitwise_not(ignore, expected);
    QCOMPARE(cv::countNonZero(rig.engine->inspectMask[3] != expected), 0);
    for (int i = 0; i < kAreas; ++i) {
        QVERIFY(!rig.engine->grayMatch[3][i].IsValid());
        QVERIFY(!rig.engine->surf[3][i].IsValid());
    }
}

void TestTraining::ignoreAreaAddsItsShape()
{
    EngineRig rig;
    cv::Mat ignore = rig.slot.PlaneView(rig.slot.ignoreMask[0]);
    ignore.at<uchar>(81, 81) = 255; // inside the circle's box, outside the circle
    rig.setTemplate(0, 0, synth::mould(320, 240));
    rig.addCircle(0, cv::Point(110, 110), 30, 0, AreaFuncIgnore);
    // A later overlapping ignore area must not bring points back.
    rig.addRect(0, cv::Rect(120, 120, 40, 40), AreaFuncIgnore);
    rig.build();
    rig.engine->VarTrain(0);
    const cv::Mat& m = rig.engine->inspectMask[0];
    QCOMPARE(int(m.at<uchar>(81, 81)), 0);   // ignore point kept
    QCOMPARE(int(m.at<uchar>(110, 110)), 0); // circle centre
    QCOMPARE(int(m.at<uchar>(125, 125)), 0); // overlap of both areas
    QCOMPARE(int(m.at<uchar>(82, 138)), 255); // other corner of the box: inspected
    QCOMPARE(int(m.at<uchar>(155, 155)), 0);  // rectangle
    QCOMPARE(int(m.at<uchar>(200, 200)), 255);
}

void TestTraining::changedFunctionLeavesNoMatcher()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::mould(320, 240));
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(40, 40, 100, 100), AreaFuncDefect, 3, 45, 100);
    const int j = rig.addRect(0, cv::Rect(160, 40, 100, 100), AreaFuncSimilarity, 0, 80, 0);
    rig.build();
    QVERIFY(rig.engine->grayMatch[0][i].IsValid());
    QVERIFY(rig.engine->surf[0][j].IsValid());
    rig.saved.roiMethod[0][i] = AreaFuncSpot;
    rig.saved.roiMethod[0][j] = AreaFuncWhiteArea;
    rig.engine->VarTrain(0);
    QVERIFY(!rig.engine->grayMatch[0][i].IsValid());
    QVERIFY(!rig.engine->surf[0][j].IsValid());
}

void TestTraining::unusableMaskIsSkipped_data()
{
    QTest::addColumn<int>("fault"); // 0 empty mask, 1 mask of another size, 2 rectangle outside the image
    QTest::addColumn<int>("error");
    QTest::newRow("empty mask") << 0 << -1;
    QTest::newRow("mask of another size") << 1 << -1;
    QTest::newRow("outside the image") << 2 << -3;
}

void TestTraining::unusableMaskIsSkipped()
{
    QFETCH(int, fault);
    QFETCH(int, error);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::mould(320, 240));
    const int i = rig.addRect(0, cv::Rect(40, 40, 100, 100), AreaFuncDefect, 3, 45, 100);
    const int k = rig.addRect(0, cv::Rect(10, 10, 30, 30), AreaFuncIgnore);
    for (int a : {i, k}) {
        if (fault == 0)
            rig.slot.liveMask[0][a] = cv::Mat();
        if (fault == 1)
            rig.slot.liveMask[0][a] = cv::Mat(7, 9, CV_8UC1, cv::Scalar(255));
        if (fault == 2) {
            ClustomRect& r = rig.saved.roiRect[0][a];
            r.imgLeft += 1000;
            r.imgRight += 1000;
        }
    }
    rig.build();
    rig.engine->VarTrain(0); // must not throw
    QVERIFY(!rig.engine->grayMatch[0][i].IsValid());
    QCOMPARE(cv::countNonZero(rig.engine->inspectMask[0]), 320 * 240);
    rig.setFrame(synth::mould(320, 240));
    rig.engine->Run(0);
    QCOMPARE(int(rig.slot.isOK), 0);
    QCOMPARE(rig.host.records.value(0), QStringLiteral("REG RUN ERROR = 2, 0, %1").arg(error));
}

void TestTraining::distanceReference_data()
{
    QTest::addColumn<QList<int>>("edges");
    QTest::addColumn<int>("refCount");
    QTest::addColumn<int>("value");
    QTest::addColumn<QPoint>("p1");
    QTest::addColumn<QPoint>("p2");
    QTest::newRow("no edge") << QList<int>{} << 0 << 0 << QPoint() << QPoint();
    QTest::newRow("one edge") << QList<int>{150} << 1 << 150 << QPoint(150, 120) << QPoint();
    QTest::newRow("three edges") << QList<int>{60, 150, 240} << 2 << 180 << QPoint(60, 120) << QPoint(240, 120);
}

void TestTraining::distanceReference()
{
    QFETCH(QList<int>, edges);
    QFETCH(int, refCount);
    QFETCH(int, value);
    QFETCH(QPoint, p1);
    QFETCH(QPoint, p2);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::stepEdges(320, 240, std::vector<int>(edges.begin(), edges.end()), 100));
    const int i = rig.addRect(0, cv::Rect(20, 100, 280, 40), AreaFuncDistance, 0, 10, 500);
    rig.build();
    rig.engine->VarTrain(0);
    const RoiAlarm& a = rig.slot.roiAlarm[0][i];
    QCOMPARE(a.edgeRefCount(), refCount);
    QCOMPARE(rig.slot.roiValue[0][i], value);
    if (refCount >= 1)
        QCOMPARE(QPoint(a.edgeRefPoint1().x, a.edgeRefPoint1().y), p1);
    if (refCount == 2)
        QCOMPARE(QPoint(a.edgeRefPoint2().x, a.edgeRefPoint2().y), p2);
}

void TestTraining::colourTemplatesAreKeptApart()
{
    EngineRig rig(320, 240, true, 4);
    gisGrayHue = 1; // gray plane
    const cv::Mat ground = synth::ground();
    cv::Mat other = ground.clone();
    other(cv::Rect(60, 60, 40, 40)).setTo(220);
    rig.setTemplate(0, 0, ground);
    rig.setTemplate(0, 1, other);
    rig.host.values.detectEnabled[0] = 1;
    const int i = rig.addRect(0, cv::Rect(20, 20, 200, 160), AreaFuncDefect, 3, 20, 100);
    rig.build();
    QCOMPARE(rig.engine->grayMatch[0][i].templateCount(), 2);
    // The plane holds the last template converted.
    QCOMPARE(int(rig.slot.grayPlane[80 * 320 + 80]), 220);
    // Either template passes: the matcher kept both pictures.
    for (const cv::Mat& frame : {ground, other}) {
        rig.setFrame(synth::toRGBA(frame));
        rig.engine->Run(0);
        QCOMPARE(int(rig.slot.isOK), 1);
    }
    cv::Mat bad = ground.clone();
    bad(cv::Rect(150, 100, 20, 20)).setTo(0);
    rig.setFrame(synth::toRGBA(bad));
    rig.engine->Run(0);
    QCOMPARE(int(rig.slot.isOK), 0);
}

QTEST_GUILESS_MAIN(TestTraining)
#include "tst_training.moc"
