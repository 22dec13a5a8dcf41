// The area parameter panel's rules: packed values, the sliders and defaults
// per function, the function search, visibility, captions, the step and move
// buttons on a work set, the removal of an area, and the panel's placement
// in both layouts, clear of the page column.
#include "areapanel.h"
#include "messages.h"
#include "screenstates.h"
#include "slotlayout.h"
#include "testenv.h"
#include "testgeometry.h"

#include <QtTest>

#include <memory>

namespace {

// The geometry the shapes read, restored after each test.
struct GeometryGuard {
    int imageW = gImageW, imageH = gImageH;
    double showAW = gShowAW, showAH = gShowAH;
    int showW = gShowW, showH = gShowH;
    ~GeometryGuard()
    {
        setTestGeometry(imageW, imageH, showAW, showAH);
        gShowW = showW;
        gShowH = showH;
    }
};

OfferedFunctions offered(std::initializer_list<int> methods)
{
    OfferedFunctions o{};
    for (int m : methods)
        o[static_cast<size_t>(m)] = true;
    return o;
}

QPolygon points(const RePolygon& p) { return QPolygon(QList<QPoint>(p.points().begin(), p.points().end())); }

void setRect(CammerSingleton& set, int d, int i, const QRect& r)
{
    set.roiShape[d][i] = RoiShapeRect;
    set.roiRect[d][i] = ClustomRect(r);
    set.roiRect[d][i].setImageRect();
}

void setCircle(CammerSingleton& set, int d, int i, int cx, int cy, int r1, int r2)
{
    set.roiShape[d][i] = RoiShapeCircle;
    Circle& c = set.roiCircle[d][i];
    c.cx = cx;
    c.cy = cy;
    c.r1 = r1;
    c.r2 = r2;
    c.UpdateRect();
    c.setImageRect();
}

void setPolygon(CammerSingleton& set, int d, int i, const QPolygon& p)
{
    set.roiShape[d][i] = RoiShapePolygon;
    set.roiPolygon[d][i].setPoints(p.size(), p.constData());
    set.roiPolygon[d][i].setImageRect();
}

} // namespace

class TestAreaPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();
    void packedValues();
    void sliders_data();
    void sliders();
    void functionSearch_data();
    void functionSearch();
    void defaults();
    void visibility_data();
    void visibility();
    void adjustPartCaptions();
    void stepButtons_data();
    void stepButtons();
    void polygonStepBeyondPoints();
    void moveGroup_data();
    void moveGroup();
    void removeArea_data();
    void removeArea();
    void placement_data();
    void placement();
    void placementClearOfPage_data();
    void placementClearOfPage();

private:
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<GeometryGuard> geometry_;
};

void TestAreaPanel::init()
{
    env_ = std::make_unique<TestEnv>();
    geometry_ = std::make_unique<GeometryGuard>();
    setTestGeometry(64, 40, 10.0);   // a 640 x 400 screen
}

void TestAreaPanel::cleanup()
{
    geometry_.reset();
    env_.reset();
}

void TestAreaPanel::packedValues()
{
    // Spot: minimum grey in byte 0, maximum in byte 1, higher bits kept.
    QCOMPARE(SpotGray(12800, false), 0);
    QCOMPARE(SpotGray(12800, true), 50);
    QCOMPARE(WithSpotGray(12800, 60, true), 15360);
    QCOMPARE(WithSpotGray(0x7A0000 | 12800, 60, true), 0x7A0000 | 15360);
    QCOMPARE(WithSpotGray(12800, 0x1FF, false), 12800 | 0xFF);
    // White count: minimum number in the low half, maximum in the high one.
    QCOMPARE(WhiteCountNumber(131073, false), 1);
    QCOMPARE(WhiteCountNumber(131073, true), 2);
    QCOMPARE(WithWhiteCountNumber(131073, 7, true), 458753);
    QCOMPARE(WithWhiteCountNumber(131073, 30000, false), (2 << 16) | 30000);
    QCOMPARE(WhiteCountNumber(WithWhiteCountNumber(0, 40000, true), true), 40000);
}

void TestAreaPanel::sliders_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("paraSwitch");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("funcCaption");
    // used, min, max, caption, value for A, B and C (B's value is always 7).
    QTest::addColumn<QList<int>>("sliderA");
    QTest::addColumn<QList<int>>("sliderB");
    QTest::addColumn<QList<int>>("sliderC");

    QTest::newRow("defect") << 0 << false << 3 << 100 << 25 << QList<int>{1, 1, 10, 22, 3}
                            << QList<int>{1, 0, 255, 23, 7} << QList<int>{1, 0, 1000, 24, 100};
    QTest::newRow("code 12 as defect") << 12 << false << 3 << 100 << 25 << QList<int>{1, 1, 10, 22, 3}
                                       << QList<int>{1, 0, 255, 23, 7} << QList<int>{1, 0, 1000, 24, 100};
    QTest::newRow("spot minimum") << 1 << false << 12800 << 500 << 15 << QList<int>{1, 0, 255, 10, 0}
                                  << QList<int>{1, 0, 99999, 13, 7} << QList<int>{1, 0, 99999, 14, 500};
    QTest::newRow("spot maximum") << 1 << true << 12800 << 500 << 15 << QList<int>{1, 0, 255, 11, 50}
                                  << QList<int>{1, 0, 99999, 13, 7} << QList<int>{1, 0, 99999, 14, 500};
    QTest::newRow("ignore") << 2 << false << 3 << 100 << 17 << QList<int>{1, 0, 255, 16, 3}
                            << QList<int>{1, 0, 255, 16, 7} << QList<int>{1, 0, 255, 16, 100};
    QTest::newRow("position") << 3 << false << 10 << 10 << 21 << QList<int>{1, 1, 100, 20, 10}
                              << QList<int>{1, 1, 32, 16, 7} << QList<int>{1, 1, 100, 16, 10};
    QTest::newRow("black area") << 4 << false << 3 << 100 << 392 << QList<int>{0} << QList<int>{1, 0, 255, 11, 7}
                                << QList<int>{1, 0, 50000, 24, 100};
    QTest::newRow("white area") << 5 << false << 3 << 100 << 393 << QList<int>{0} << QList<int>{1, 0, 255, 10, 7}
                                << QList<int>{1, 0, 50000, 24, 100};
    QTest::newRow("similarity") << 6 << false << 3 << 100 << 398 << QList<int>{0}
                                << QList<int>{1, 0, 100, 362, 7} << QList<int>{0};
    QTest::newRow("white count minimum") << 7 << false << 1 << 131073 << 521 << QList<int>{1, 1, 100, 22, 1}
                                         << QList<int>{1, 0, 255, 10, 7} << QList<int>{1, 0, 30000, 522, 1};
    QTest::newRow("white count maximum") << 7 << true << 1 << 131073 << 521 << QList<int>{1, 1, 100, 22, 1}
                                         << QList<int>{1, 0, 255, 10, 7} << QList<int>{1, 0, 30000, 649, 2};
    QTest::newRow("direction") << 8 << false << 1 << 10000 << 561 << QList<int>{1, 0, 1, 22, 1}
                               << QList<int>{1, 0, 50000, 13, 7} << QList<int>{1, 0, 50000, 14, 10000};
    QTest::newRow("distance") << 9 << false << 1 << 50 << 581 << QList<int>{1, 0, 1, 584, 1}
                              << QList<int>{1, 0, 255, 582, 7} << QList<int>{1, 0, 5000, 583, 50};
}

void TestAreaPanel::sliders()
{
    QFETCH(int, method);
    QFETCH(bool, paraSwitch);
    QFETCH(int, a);
    QFETCH(int, c);
    QFETCH(int, funcCaption);
    QFETCH(QList<int>, sliderA);
    QFETCH(QList<int>, sliderB);
    QFETCH(QList<int>, sliderC);

    const PanelSliders s = PanelSlidersFor(method, a, 7, c, paraSwitch);
    QCOMPARE(s.funcCaptionId, funcCaption);
    auto check = [](const PanelSlider& got, const QList<int>& want) {
        if (!want[0])
            return !got.used;
        return got.used && got.min == want[1] && got.max == want[2] && got.captionId == want[3] &&
               got.value == want[4];
    };
    QVERIFY(check(s.a, sliderA));
    QVERIFY(check(s.b, sliderB));
    QVERIFY(check(s.c, sliderC));
}

void TestAreaPanel::functionSearch_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("offeredMethods");
    QTest::addColumn<int>("next");

    QTest::newRow("defect to spot") << 0 << QList<int>{0, 1} << 1;
    QTest::newRow("spot back to defect") << 1 << QList<int>{0, 1} << 0;
    QTest::newRow("wraps past 9") << 8 << QList<int>{2, 9} << 9;
    QTest::newRow("9 to the lowest") << 9 << QList<int>{2, 9} << 2;
    QTest::newRow("code above 9 continues at 0") << 14 << QList<int>{0, 5} << 0;
    QTest::newRow("negative code starts at 0") << -3 << QList<int>{4} << 4;
    QTest::newRow("only the current one") << 3 << QList<int>{3} << 3;
    QTest::newRow("nothing offered ends") << 3 << QList<int>{} << -1;
    QTest::newRow("nothing offered, code 40") << 40 << QList<int>{} << -1;
}

void TestAreaPanel::functionSearch()
{
    QFETCH(int, current);
    QFETCH(QList<int>, offeredMethods);
    QFETCH(int, next);
    OfferedFunctions o{};
    for (int m : offeredMethods)
        o[static_cast<size_t>(m)] = true;
    QCOMPARE(NextFunction(current, o), next);
}

void TestAreaPanel::defaults()
{
    // Defect <-> spot writes 3/45/100 and 12800/80/500.
    const FunctionDefaults spot = FunctionDefaultsFor(AreaFuncSpot);
    QVERIFY(spot.a && spot.b && spot.c);
    QCOMPARE(*spot.a, 12800);
    QCOMPARE(*spot.b, 80);
    QCOMPARE(*spot.c, 500);
    const FunctionDefaults defect = FunctionDefaultsFor(AreaFuncDefect);
    QVERIFY(defect.a && defect.b && defect.c);
    QCOMPARE(*defect.a, 3);
    QCOMPARE(*defect.b, 45);
    QCOMPARE(*defect.c, 100);
    // The area functions without an A (and similarity without C) keep it.
    QVERIFY(!FunctionDefaultsFor(AreaFuncBlackArea).a);
    QVERIFY(!FunctionDefaultsFor(AreaFuncSimilarity).a && !FunctionDefaultsFor(AreaFuncSimilarity).c);
    QCOMPARE(FunctionDefaultsFor(AreaFuncWhiteCount).c.value_or(0), 131073);
    QCOMPARE(OfferedCount(offered({0, 1, 7})), 3);
}

void TestAreaPanel::visibility_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("details");
    QTest::addColumn<int>("moveMode");
    QTest::addColumn<int>("offeredCount");
    QTest::addColumn<int>("detect");
    QTest::addColumn<bool>("outputs");
    // minSize sensibility maxArea funcButton paraSwitch outputCombo roiSwitch adjustPart moveButtons
    QTest::addColumn<QString>("shown");

    QTest::newRow("defect without details") << 0 << false << 0 << 2 << 0 << false << "010100111";
    QTest::newRow("defect with details") << 0 << true << 0 << 2 << 0 << false << "111100111";
    QTest::newRow("spot with details") << 1 << true << 0 << 2 << 0 << false << "111110111";
    QTest::newRow("black area with details") << 4 << true << 0 << 2 << 0 << false << "011100111";
    QTest::newRow("white area with details") << 5 << true << 0 << 2 << 0 << false << "011100111";
    QTest::newRow("similarity with details") << 6 << true << 0 << 2 << 0 << false << "010100111";
    QTest::newRow("white count without details") << 7 << false << 0 << 2 << 0 << false << "010110111";
    QTest::newRow("one function offered") << 0 << true << 0 << 1 << 0 << false << "111000111";
    QTest::newRow("output in detection 0") << 0 << false << 0 << 2 << 0 << true << "010101111";
    QTest::newRow("no output in detection 1") << 0 << false << 0 << 2 << 1 << true << "010100111";
    QTest::newRow("hidden panel") << 1 << true << 1 << 2 << 0 << true << "000000001";
    QTest::newRow("all move") << 1 << true << 2 << 2 << 0 << true << "000000001";
}

void TestAreaPanel::visibility()
{
    QFETCH(int, method);
    QFETCH(bool, details);
    QFETCH(int, moveMode);
    QFETCH(int, offeredCount);
    QFETCH(int, detect);
    QFETCH(bool, outputs);
    QFETCH(QString, shown);

    PanelVisibilityInput in;
    in.selected = true;
    in.method = method;
    in.moveMode = moveMode;
    in.details = details;
    in.offeredCount = offeredCount;
    in.detect = detect;
    in.outputsOffered = outputs;
    const PanelVisibility v = PanelVisibilityFor(in);
    const bool got[9] = {v.minSize, v.sensibility, v.maxArea,   v.funcButton, v.paraSwitch,
                         v.outputCombo, v.roiSwitch, v.adjustPart, v.moveButtons};
    QString text;
    for (bool b : got)
        text += b ? '1' : '0';
    QCOMPARE(text, shown);

    in.selected = false;
    const PanelVisibility none = PanelVisibilityFor(in);
    QVERIFY(!none.moveButtons && !none.sensibility && !none.funcButton);
}

void TestAreaPanel::adjustPartCaptions()
{
    // A circle cycles inner radius, outer radius, centre, back to the inner.
    QCOMPARE(AdjustPartCount(RoiShapeCircle, 0), 3);
    int part = 0;
    const int circleCaptions[] = {28, 26, 27, 28};
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(AdjustPartCaption(RoiShapeCircle, part), Msg(circleCaptions[k]));
        const std::array<QString, 4> steps = StepCaptions(RoiShapeCircle, part);
        const QStringList got(steps.begin(), steps.end());
        if (part < 2)
            QCOMPARE(got, (QStringList{"+10", "+1", "-1", "-10"}));
        else
            QCOMPARE(got, (QStringList{"Y -1", "X -1", "Y +1", "X +1"}));
        part = NextAdjustPart(part, 3);
    }
    // A five-point polygon runs "Point 1" .. "Point 5" and back to 1.
    QCOMPARE(AdjustPartCount(RoiShapePolygon, 5), 5);
    part = 0;
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(AdjustPartCaption(RoiShapePolygon, part), Msg(31).arg(k % 5 + 1));
        part = NextAdjustPart(part, 5);
    }
    QCOMPARE(AdjustPartCaption(RoiShapeRect, 0), Msg(30));
    QCOMPARE(AdjustPartCaption(RoiShapeRect, 1), Msg(29));
    QCOMPARE(NextAdjustPart(1, 2), 0);
    QCOMPARE(StepCaptions(RoiShapeRect, 0)[0], QStringLiteral("Y -1"));
    QCOMPARE(MoveModeCaption(MoveModeShowPanel), Msg(12));
    QCOMPARE(MoveModeCaption(MoveModeHidePanel), Msg(32));
    QCOMPARE(MoveModeCaption(MoveModeAll), Msg(34));
}

void TestAreaPanel::stepButtons_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("part");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("before");   // rect l t r b | circle cx cy r1 r2 | polygon point x y
    QTest::addColumn<QList<int>>("after");

    // Rectangle: l, t, r, b in view pixels of a 640 x 400 screen.
    QTest::newRow("rect TL step 0: top - 1") << 1 << 0 << 0 << QList<int>{100, 100, 200, 150}
                                             << QList<int>{100, 99, 200, 150};
    QTest::newRow("rect TL step 1: left - 1") << 1 << 0 << 1 << QList<int>{100, 100, 200, 150}
                                              << QList<int>{99, 100, 200, 150};
    QTest::newRow("rect TL step 2: top + 1") << 1 << 0 << 2 << QList<int>{100, 100, 200, 150}
                                             << QList<int>{100, 101, 200, 150};
    QTest::newRow("rect TL step 3: left + 1") << 1 << 0 << 3 << QList<int>{100, 100, 200, 150}
                                              << QList<int>{101, 100, 200, 150};
    QTest::newRow("rect BR step 0: bottom - 1") << 1 << 1 << 0 << QList<int>{100, 100, 200, 150}
                                                << QList<int>{100, 100, 200, 149};
    QTest::newRow("rect BR step 3: right + 1") << 1 << 1 << 3 << QList<int>{100, 100, 200, 150}
                                               << QList<int>{100, 100, 201, 150};
    QTest::newRow("rect TL at the top border") << 1 << 0 << 0 << QList<int>{0, 0, 200, 150}
                                               << QList<int>{0, 0, 200, 150};
    QTest::newRow("rect BR at the right border") << 1 << 1 << 3 << QList<int>{100, 100, 639, 399}
                                                 << QList<int>{100, 100, 639, 399};
    // Circle: cx, cy, r1, r2.
    QTest::newRow("circle inner + 10") << 4 << 0 << 0 << QList<int>{300, 200, 50, 20} << QList<int>{300, 200, 50, 30};
    QTest::newRow("circle inner - 10") << 4 << 0 << 3 << QList<int>{300, 200, 50, 5} << QList<int>{300, 200, 50, 0};
    QTest::newRow("circle inner up to the outer") << 4 << 0 << 0 << QList<int>{300, 200, 50, 45}
                                                  << QList<int>{300, 200, 50, 49};
    QTest::newRow("circle outer + 1") << 4 << 1 << 1 << QList<int>{300, 200, 50, 20} << QList<int>{300, 200, 51, 20};
    QTest::newRow("circle outer - 10") << 4 << 1 << 3 << QList<int>{300, 200, 50, 20} << QList<int>{300, 200, 40, 20};
    QTest::newRow("circle outer at the border") << 4 << 1 << 0 << QList<int>{300, 195, 195, 20}
                                                << QList<int>{300, 199, 199, 20};
    QTest::newRow("circle centre y - 1") << 4 << 2 << 0 << QList<int>{300, 200, 50, 20} << QList<int>{300, 199, 50, 20};
    QTest::newRow("circle centre x + 1") << 4 << 2 << 3 << QList<int>{300, 200, 50, 20} << QList<int>{301, 200, 50, 20};
    // Polygon: vertex part, its x and y.
    QTest::newRow("polygon vertex 1 y - 1") << 2 << 1 << 0 << QList<int>{200, 100} << QList<int>{200, 99};
    QTest::newRow("polygon vertex 1 x - 1") << 2 << 1 << 1 << QList<int>{200, 100} << QList<int>{199, 100};
    QTest::newRow("polygon vertex 1 x + 1") << 2 << 1 << 3 << QList<int>{200, 100} << QList<int>{201, 100};
    QTest::newRow("polygon vertex at the left edge") << 2 << 1 << 1 << QList<int>{0, 100} << QList<int>{0, 100};
    QTest::newRow("polygon vertex at the bottom edge") << 2 << 1 << 2 << QList<int>{200, 399}
                                                       << QList<int>{200, 399};
}

void TestAreaPanel::stepButtons()
{
    QFETCH(int, shape);
    QFETCH(int, part);
    QFETCH(int, step);
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);

    CammerSingleton set;
    set.roiCount[0] = 1;
    if (shape == RoiShapeRect) {
        setRect(set, 0, 0, QRect(QPoint(before[0], before[1]), QPoint(before[2], before[3])));
    } else if (shape == RoiShapeCircle) {
        setCircle(set, 0, 0, before[0], before[1], before[2], before[3]);
    } else {
        setPolygon(set, 0, 0, QPolygon({QPoint(300, 300), QPoint(before[0], before[1]), QPoint(350, 200)}));
    }
    QVERIFY(StepArea(set, 0, 0, part, step));

    QList<int> got;
    if (shape == RoiShapeRect) {
        const QRect r = set.roiRect[0][0].rect;
        got = {r.left(), r.top(), r.right(), r.bottom()};
    } else if (shape == RoiShapeCircle) {
        const Circle& c = set.roiCircle[0][0];
        got = {c.cx, c.cy, c.r1, c.r2};
    } else {
        got = {set.roiPolygon[0][0].point(1).x(), set.roiPolygon[0][0].point(1).y()};
    }
    QCOMPARE(got, after);
    // The image rectangle follows the outline (a scale of 10).
    const cv::Rect r = set.AreaImageRect(0, 0);
    QVERIFY(r.x >= 0 && r.y >= 0 && r.x + r.width <= 64 && r.y + r.height <= 40);
    if (shape == RoiShapeRect)
        QCOMPARE(r.x, after[0] / 10);
}

void TestAreaPanel::polygonStepBeyondPoints()
{
    CammerSingleton set;
    set.roiCount[0] = 1;
    const QPolygon p({QPoint(100, 100), QPoint(200, 100), QPoint(150, 200)});
    setPolygon(set, 0, 0, p);
    QVERIFY(!StepArea(set, 0, 0, 3, 0));
    QCOMPARE(points(set.roiPolygon[0][0]), p);
    set.roiShape[0][0] = 3;   // an unknown shape code
    QVERIFY(!StepArea(set, 0, 0, 0, 0));
}

void TestAreaPanel::moveGroup_data()
{
    QTest::addColumn<int>("polygonX");   // left-most x of the polygon (area 1 of 3)
    QTest::addColumn<int>("dx");
    QTest::addColumn<bool>("moves");

    QTest::newRow("polygon at x = 3, left: nothing moves") << 3 << -1 << false;
    QTest::newRow("polygon at x = 4, left: all move") << 4 << -1 << true;
    QTest::newRow("polygon at x = 3, right: all move") << 3 << 1 << true;
}

void TestAreaPanel::moveGroup()
{
    QFETCH(int, polygonX);
    QFETCH(int, dx);
    QFETCH(bool, moves);

    CammerSingleton set;
    set.roiCount[0] = 3;
    setRect(set, 0, 0, QRect(QPoint(100, 100), QPoint(200, 150)));
    setPolygon(set, 0, 1, QPolygon({QPoint(polygonX, 50), QPoint(60, 50), QPoint(40, 90)}));
    setCircle(set, 0, 2, 300, 200, 40, 0);
    const CammerSingleton before = set;

    const std::vector<int> moved = MoveAreas(set, 0, 0, 2, dx, 0, QSize(640, 400));
    if (!moves) {
        QVERIFY(moved.empty());
        QVERIFY(set == before);
        return;
    }
    QVERIFY(moved == (std::vector<int>{0, 1, 2}));
    QCOMPARE(set.roiRect[0][0].rect, before.roiRect[0][0].rect.translated(dx, 0));
    QCOMPARE(points(set.roiPolygon[0][1]), points(before.roiPolygon[0][1]).translated(dx, 0));
    QCOMPARE(set.roiCircle[0][2].cx, 300 + dx);
    QCOMPARE(set.roiPolygon[0][1].imgLeft, (polygonX + dx) / 10);
}

void TestAreaPanel::removeArea_data()
{
    QTest::addColumn<int>("d");
    QTest::newRow("detection 0") << 0;
    QTest::newRow("detection 1") << 1;
}

void TestAreaPanel::removeArea()
{
    QFETCH(int, d);
    CammerSingleton set;
    AreaMaskArray masks;
    set.roiCount[d] = 5;
    for (int i = 0; i < 5; ++i) {
        if (i == 3)
            setCircle(set, d, i, 300, 200, 30, 10);
        else if (i == 4)
            setPolygon(set, d, i, QPolygon({QPoint(10, 10), QPoint(90, 10), QPoint(50, 80)}));
        else
            setRect(set, d, i, QRect(10 * i, 10 * i, 50, 50));
        set.roiMethod[d][i] = i;
        set.roiMinSize[d][i] = 100 + i;
        set.roiSensibility[d][i] = 200 + i;
        set.roiMaxArea[d][i] = 300 + i;
        set.roiOutput[i] = i % 4;
        set.roiNgCount[d][i] = 1000 + i;
        masks[d][i] = set.UpdateAreaMask(d, i);
    }
    const CammerSingleton before = set;
    const cv::Mat mask4 = masks[d][4];

    QVERIFY(RemoveArea(set, masks, d, 2));
    QCOMPARE(set.roiCount[d], 4);
    for (int i = 2; i < 4; ++i) {
        QCOMPARE(set.roiShape[d][i], before.roiShape[d][i + 1]);
        QCOMPARE(set.roiMethod[d][i], i + 1);
        QCOMPARE(set.roiMinSize[d][i], 101 + i);
        QCOMPARE(set.roiSensibility[d][i], 201 + i);
        QCOMPARE(set.roiMaxArea[d][i], 301 + i);
        // The output numbers move only with detection 0's areas.
        QCOMPARE(set.roiOutput[i], d == 0 ? (i + 1) % 4 : i % 4);
        // The NG counters stay with their index.
        QCOMPARE(set.roiNgCount[d][i], 1000 + i);
    }
    QVERIFY(set.roiCircle[d][2] == before.roiCircle[d][3]);
    QVERIFY(set.roiPolygon[d][3] == before.roiPolygon[d][4]);
    QVERIFY(masks[d][3].data == mask4.data);
    QVERIFY(masks[d][4].empty());
    // Not an area of the detection: nothing changes.
    const CammerSingleton after = set;
    QVERIFY(!RemoveArea(set, masks, d, 4));
    QVERIFY(!RemoveArea(set, masks, d, -1));
    QVERIFY(set == after);
}

void TestAreaPanel::placement_data()
{
    QTest::addColumn<int>("showW");
    QTest::addColumn<int>("showH");
    QTest::addColumn<bool>("details");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<QRect>("sensibility");
    QTest::addColumn<QRect>("funcButton");

    // Small: h 40, stack 4h + 24 = 184 (details) or 2h + 12 = 92, margin 50.
    QTest::newRow("small, below") << 1024 << 600 << true << 100 << 50 << 200 << QRect(100, 205, 600, 40)
                                  << QRect(143, 340, 70, 40);
    QTest::newRow("small, below without details") << 1024 << 600 << false << 100 << 50 << 400
                                                  << QRect(100, 405, 600, 40) << QRect(143, 450, 70, 40);
    QTest::newRow("small, above") << 1024 << 600 << true << 100 << 300 << 450 << QRect(100, 116, 600, 40)
                                  << QRect(143, 251, 70, 40);
    QTest::newRow("small, at the bottom margin") << 1024 << 600 << true << 100 << 150 << 450
                                                 << QRect(100, 366, 600, 40) << QRect(143, 501, 70, 40);
    QTest::newRow("small, pulled left to gShowW - 760") << 1024 << 600 << false << 300 << 50 << 200
                                                        << QRect(264, 205, 600, 40) << QRect(307, 250, 70, 40);
    // Large: h 45, stack 4h + 24 = 204, margin 70; x 400, width gShowW / 2 + 25.
    QTest::newRow("large 1920, below") << 1920 << 1080 << true << 100 << 50 << 200 << QRect(400, 205, 985, 45)
                                       << QRect(483, 355, 120, 45);
    QTest::newRow("large 1920, above") << 1920 << 1080 << true << 100 << 700 << 900 << QRect(400, 496, 985, 45)
                                       << QRect(483, 646, 120, 45);
    QTest::newRow("large 1920, at the bottom margin") << 1920 << 1080 << true << 100 << 150 << 900
                                                      << QRect(400, 806, 985, 45) << QRect(483, 956, 120, 45);
    // 1280 x 800: the row (400 .. 1387) would reach under the page (1050):
    // sliders and row move left together by 337.
    QTest::newRow("large 1280, moved clear of the page") << 1280 << 800 << true << 100 << 50 << 200
                                                         << QRect(63, 205, 665, 45) << QRect(146, 355, 120, 45);
}

void TestAreaPanel::placement()
{
    QFETCH(int, showW);
    QFETCH(int, showH);
    QFETCH(bool, details);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, bottom);
    QFETCH(QRect, sensibility);
    QFETCH(QRect, funcButton);

    const PanelPlacement p = PlacePanel({left, top, bottom}, details, showW, showH, false);
    QCOMPARE(p.sensibility, sensibility);
    QCOMPARE(p.funcButton, funcButton);
    const int step = sensibility.height() + 5;
    if (details) {
        QCOMPARE(p.maxArea, sensibility.translated(0, step));
        QCOMPARE(p.minSize, sensibility.translated(0, 2 * step));
    }
    // The row's order and offsets: label, function, switch, output, area
    // switch, part, four steps.
    QCOMPARE(p.funcLabel.left(), sensibility.left());
    QVERIFY(p.funcButton.left() < p.paraSwitch.left() && p.paraSwitch.left() < p.outputCombo.left() &&
            p.outputCombo.left() < p.roiSwitch.left() && p.roiSwitch.left() < p.adjustPart.left() &&
            p.adjustPart.left() < p.step[0].left());
    QCOMPARE(p.step[3].top(), funcButton.top());
}

void TestAreaPanel::placementClearOfPage_data()
{
    QTest::addColumn<int>("showW");
    QTest::addColumn<int>("showH");
    QTest::addColumn<bool>("pageAtLeft");
    QTest::addColumn<int>("areaLeft");

    for (const QSize s : {QSize(1280, 800), QSize(1024, 600)})
        for (bool atLeft : {false, true})
            for (int left : {0, 300, 900}) {
                const QByteArray name = QByteArray::number(s.width()) + (atLeft ? " page left" : " page right") +
                                        ", area at " + QByteArray::number(left);
                QTest::newRow(name.constData()) << s.width() << s.height() << atLeft << left;
            }
}

void TestAreaPanel::placementClearOfPage()
{
    QFETCH(int, showW);
    QFETCH(int, showH);
    QFETCH(bool, pageAtLeft);
    QFETCH(int, areaLeft);

    const PageRoom room = PageRoomFor(showW, pageAtLeft);
    const PanelPlacement p = PlacePanel({areaLeft, 50, 150}, true, showW, showH, pageAtLeft);
    const QRect all[] = {p.sensibility, p.maxArea,    p.minSize,  p.funcLabel, p.funcButton, p.paraSwitch,
                         p.outputCombo, p.roiSwitch,  p.adjustPart, p.step[0], p.step[1],    p.step[2], p.step[3]};
    for (const QRect& r : all) {
        QVERIFY2(r.left() >= room.left && r.right() < room.right,
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
        QVERIFY(r.bottom() < showH);
    }
    // At these sizes shifting is enough: no button is narrowed.
    QCOMPARE(p.funcButton.width(), showW > 1024 ? 120 : 70);
    QCOMPARE(p.step[3].width(), showW > 1024 ? 93 : 56);

    // The move row and the cavity boxes keep clear of the page as well.
    const SlotControlsGeometry g = FitControlsToRoom(SlotControlsLayout(showW, showH), room);
    for (const QRect& r : g.moveButton)
        QVERIFY(r.left() >= room.left && r.right() < room.right);
    for (const QRect& r : g.cavityBox)
        QVERIFY(r.left() >= room.left && r.right() < room.right);
}

QTEST_MAIN(TestAreaPanel)
#include "tst_areapanel.moc"
