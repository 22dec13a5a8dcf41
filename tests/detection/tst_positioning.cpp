// Positioning: the model, its reference point and search window, and the
// alignment of a frame before a detection.
#include "enginerig.h"
#include "synth.h"

#include <QtTest>

class TestPositioning : public QObject {
    Q_OBJECT
private slots:
    void modelRectangleAndWindow_data();
    void modelRectangleAndWindow();
    void mixedPositioningAreasDoNotCrash();
    void leastMatchFromFirstArea_data();
    void leastMatchFromFirstArea();
    void rotationAllowedOnlyInRange_data();
    void rotationAllowedOnlyInRange();
    void plainCopy_data();
    void plainCopy();
    void positioningOffKeepsModel();
    void shiftIsRecovered();
    void uncoveredBandIsNotJudged_data();
    void uncoveredBandIsNotJudged();
};

void TestPositioning::modelRectangleAndWindow_data()
{
    QTest::addColumn<int>("area");      // 0 none, 1 inside, 2 empty rectangle, 3 at the corner
    QTest::addColumn<int>("maxOffset");
    QTest::addColumn<QPoint>("ref");
    QTest::addColumn<QRect>("window");
    QTest::newRow("no area: central half") << 0 << 50 << QPoint(160, 120) << QRect(30, 10, 260, 220);
    QTest::newRow("no area, huge offset") << 0 << 8000 << QPoint(160, 120) << QRect(0, 0, 320, 240);
    QTest::newRow("area") << 1 << 20 << QPoint(150, 110) << QRect(100, 70, 100, 80);
    QTest::newRow("empty area: default") << 2 << 50 << QPoint(160, 120) << QRect(30, 10, 260, 220);
    QTest::newRow("window clipped at the edge") << 3 << 10 << QPoint(20, 15) << QRect(0, 0, 50, 40);
}

void TestPositioning::modelRectangleAndWindow()
{
    QFETCH(int, area);
    QFETCH(int, maxOffset);
    QFETCH(QPoint, ref);
    QFETCH(QRect, window);
    EngineRig rig;
    rig.setTemplate(0, 0, synth::mould(320, 240));
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = maxOffset;
    rig.host.values.detectEnabled[0] = 1;
    if (area == 1)
        rig.addRect(0, cv::Rect(120, 90, 60, 40), AreaFuncPosition, 50);
    if (area == 2) {
        const int i = rig.addRect(0, cv::Rect(120, 90, 60, 40), AreaFuncPosition, 50);
        rig.saved.roiRect[0][i].imgRight = rig.saved.roiRect[0][i].imgLeft - 1;
    }
    if (area == 3)
        rig.addRect(0, cv::Rect(0, 0, 40, 30), AreaFuncPosition, 50);
    rig.build();
    QCOMPARE(QPoint(rig.engine->refX[0], rig.engine->refY[0]), ref);
    const cv::Rect w = rig.engine->searchRect[0];
    QCOMPARE(QRect(w.x, w.y, w.width, w.height), window);
    QVERIFY(rig.engine->findShape[0].IsValid());
}

void TestPositioning::mixedPositioningAreasDoNotCrash()
{
    // The first area gives the least match, the last one rectangle and mask
    // together, although their sizes differ.
    EngineRig rig;
    rig.setTemplate(0, 0, synth::mould(320, 240));
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 30;
    rig.host.values.detectEnabled[0] = 1;
    rig.addRect(0, cv::Rect(20, 20, 60, 40), AreaFuncPosition, 30);
    rig.addRect(0, cv::Rect(10, 10, 20, 20), AreaFuncDefect, 3, 45, 100);
    rig.addCircle(0, cv::Point(160, 120), 30, 0, AreaFuncPosition, 90);
    rig.build();
    QCOMPARE(rig.engine->refX[0], 160);
    QCOMPARE(rig.engine->refY[0], 120);
    QVERIFY(rig.engine->findShape[0].IsValid());
    const cv::Mat frame = synth::transform(synth::mould(320, 240), 4, -3, 0, {160, 120});
    rig.setFrame(frame);
    rig.engine->ShapeMatch();
    const cv::Rect inner(60, 60, 200, 120);
    QVERIFY(synth::meanAbsDiff(rig.aligned(), synth::mould(320, 240), inner) < 1.0);
}

void TestPositioning::leastMatchFromFirstArea_data()
{
    QTest::addColumn<int>("firstLeast");
    QTest::addColumn<int>("lastLeast");
    QTest::addColumn<bool>("found");
    QTest::newRow("first strict") << 99 << 5 << false;
    QTest::newRow("first lenient") << 5 << 99 << true;
}

void TestPositioning::leastMatchFromFirstArea()
{
    QFETCH(int, firstLeast);
    QFETCH(int, lastLeast);
    QFETCH(bool, found);
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(320, 240);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 30;
    rig.host.values.detectEnabled[0] = 1;
    rig.addRect(0, cv::Rect(20, 20, 60, 40), AreaFuncPosition, firstLeast);
    rig.addCircle(0, cv::Point(160, 120), 30, 0, AreaFuncPosition, lastLeast);
    rig.build();
    // A noisy frame scores clearly above 5 and below 99.
    rig.setFrame(synth::noise(synth::transform(tmpl, 6, -4, 0, {0, 0}), 25.0));
    std::fill(rig.slot.alignedFrame.begin(), rig.slot.alignedFrame.end(), 0);
    rig.engine->ShapeMatch();
    QCOMPARE(rig.slot.alignedFrame != rig.slot.procFrame, found);
}

void TestPositioning::rotationAllowedOnlyInRange_data()
{
    QTest::addColumn<int>("rotationAngle");
    QTest::addColumn<bool>("corrected");
    QTest::newRow("0: shift only") << 0 << false;
    QTest::newRow("181: shift only") << 181 << false;
    QTest::newRow("10") << 10 << true;
    QTest::newRow("180") << 180 << true;
}

void TestPositioning::rotationAllowedOnlyInRange()
{
    QFETCH(int, rotationAngle);
    QFETCH(bool, corrected);
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(320, 240);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.rotationAngle = rotationAngle;
    rig.host.values.maxOffset = 40;
    rig.host.values.detectEnabled[0] = 1;
    rig.build();
    QCOMPARE(rig.engine->findShape[0].angleRange(), corrected ? rotationAngle : 0);
    rig.setFrame(synth::transform(tmpl, 3, 2, 6, {160, 120}));
    rig.engine->ShapeMatch();
    const cv::Rect inner(100, 70, 120, 100);
    const double err = synth::meanAbsDiff(rig.aligned(), tmpl, inner);
    if (corrected)
        QVERIFY2(err < 3.0, qPrintable(QString::number(err)));
    else
        QVERIFY2(err > 5.0, qPrintable(QString::number(err)));
}

void TestPositioning::plainCopy_data()
{
    QTest::addColumn<int>("why"); // 0 colour, 1 positioning off, 2 detection not enabled, 3 not found
    QTest::newRow("colour camera") << 0;
    QTest::newRow("positioning off") << 1;
    QTest::newRow("detection not enabled") << 2;
    QTest::newRow("target not found") << 3;
}

void TestPositioning::plainCopy()
{
    QFETCH(int, why);
    EngineRig rig(320, 240, why == 0);
    const cv::Mat tmpl = synth::mould(320, 240);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = why == 1 ? -1 : 0;
    rig.host.values.maxOffset = 30;
    rig.host.values.detectEnabled[0] = why == 2 ? 0 : 1;
    rig.build();
    if (why == 1)
        rig.host.values.motionCorrection = -1;
    cv::Mat frame = why == 3 ? cv::Mat(240, 320, CV_8UC1, cv::Scalar(90)) : synth::transform(tmpl, 5, 5, 0, {0, 0});
    std::vector<uchar> bytes(static_cast<size_t>(rig.slot.colorLen));
    cv::RNG(3).fill(bytes, cv::RNG::UNIFORM, 0, 256);
    if (why != 0) {
        std::memcpy(bytes.data(), frame.data, bytes.size());
    }
    rig.slot.procFrame = bytes;
    std::fill(rig.slot.alignedFrame.begin(), rig.slot.alignedFrame.end(), 0);
    rig.engine->ShapeMatch();
    QVERIFY(rig.slot.alignedFrame == rig.slot.procFrame);
}

void TestPositioning::positioningOffKeepsModel()
{
    EngineRig rig;
    rig.setTemplate(0, 0, synth::mould(320, 240));
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 30;
    rig.host.values.detectEnabled[0] = 1;
    rig.addRect(0, cv::Rect(120, 90, 60, 40), AreaFuncPosition, 50);
    rig.build();
    const cv::Rect window = rig.engine->searchRect[0];
    rig.host.values.motionCorrection = -1;
    rig.saved.roiCount[0] = 0;
    rig.engine->CreateShape(0);
    QVERIFY(rig.engine->findShape[0].IsValid());
    QCOMPARE(rig.engine->refX[0], 150);
    QVERIFY(rig.engine->searchRect[0] == window);
}

void TestPositioning::shiftIsRecovered()
{
    EngineRig rig;
    const cv::Mat tmpl = synth::mould(320, 240);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 50;
    rig.host.values.detectEnabled[0] = 1;
    rig.build();
    rig.setFrame(synth::transform(tmpl, -17, 9, 0, {0, 0}));
    rig.engine->ShapeMatch();
    const cv::Rect inner(40, 30, 240, 180);
    QCOMPARE(synth::meanAbsDiff(rig.aligned(), tmpl, inner), 0.0);
}

void TestPositioning::uncoveredBandIsNotJudged_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<int>("rotation"); // rotationAngle; 0 shifts only
    QTest::newRow("10 px") << 10 << 0 << 0;
    QTest::newRow("20 px") << 20 << 0 << 0;
    QTest::newRow("30 px") << 30 << 0 << 0;
    QTest::newRow("-20 px, 20 px down") << -20 << 20 << 0;
    QTest::newRow("20 px, rotation allowed") << 20 << 0 << 10;
}

// A clean frame, shifted: the band at the border that the shifted frame does
// not reach is filled from the edge for display, but never judged.
void TestPositioning::uncoveredBandIsNotJudged()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(int, rotation);
    EngineRig rig;
    cv::Mat tmpl = synth::mould(320, 240);
    // Features near every border, which an edge fill cannot repeat.
    tmpl(cv::Rect(300, 60, 10, 120)).setTo(230);
    tmpl(cv::Rect(8, 60, 10, 120)).setTo(230);
    tmpl(cv::Rect(60, 225, 200, 8)).setTo(230);
    rig.setTemplate(0, 0, tmpl);
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 50;
    rig.host.values.rotationAngle = rotation;
    rig.host.values.detectEnabled[0] = 1;
    rig.host.values.minimumArea = 0;
    const int right = rig.addRect(0, cv::Rect(260, 20, 60, 200), AreaFuncDefect, 3, 45, 0);
    const int left = rig.addRect(0, cv::Rect(0, 20, 60, 200), AreaFuncDefect, 3, 45, 0);
    const int bottom = rig.addRect(0, cv::Rect(40, 180, 240, 60), AreaFuncDefect, 3, 45, 0);
    rig.build();
    rig.setFrame(synth::transform(tmpl, dx, dy, 0, {0, 0}));
    rig.engine->ShapeMatch();
    // The fill is still there for display.
    const cv::Mat aligned = rig.aligned();
    const cv::Rect band = dx > 0 ? cv::Rect(320 - dx, 0, dx, 240) : cv::Rect(0, 0, -dx, 240);
    QVERIFY(synth::meanAbsDiff(aligned, tmpl, band) > 0);
    rig.engine->Run(0);
    for (int i : {right, left, bottom}) {
        QCOMPARE(rig.slot.roiValue[0][i], 0);
        QCOMPARE(int(rig.slot.roiOK[0][i]), 1);
    }
    QCOMPARE(int(rig.slot.isOK), 1);
    QVERIFY(rig.host.records.isEmpty());

    // A defect inside the frame's part of the same area is still found.
    cv::Mat faulty = tmpl.clone();
    faulty(cv::Rect(270, 100, 12, 12)).setTo(20);
    rig.setFrame(synth::transform(faulty, dx, dy, 0, {0, 0}));
    rig.engine->ShapeMatch();
    rig.engine->Run(0);
    QVERIFY(rig.slot.roiValue[0][right] > 0);
    QCOMPARE(int(rig.slot.isOK), 0);
}

QTEST_GUILESS_MAIN(TestPositioning)
#include "tst_positioning.moc"
