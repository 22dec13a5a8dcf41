// Area shapes: image rectangles, masks, hit tests, resize and range checks
// over several view scales.
#include "shapes.h"
#include "testenv.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

// A 64 x 48 image shown on a view scaled by (aw, ah).
kvor::Geometry geometryFor(double aw, double ah)
{
    kvor::Geometry g;
    g.imageW = 64;
    g.imageH = 48;
    g.showAW = aw;
    g.showAH = ah;
    g.showW = int(64 * aw);
    g.showH = int(48 * ah);
    return g;
}

ClustomRect makeRect(int l, int t, int r, int b)
{
    ClustomRect rc;
    rc.rect = QRect(QPoint(l, t), QPoint(r, b));
    return rc;
}

} // namespace

class TestShapes : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        env_ = std::make_unique<TestEnv>();
        kvor::setGeometry(geometryFor(1.0, 1.0));
    }
    void cleanup() { env_.reset(); }

    void freshShapesAreZero();
    void rectImageRect_data();
    void rectImageRect();
    void rectMaskIsFullAndSized_data();
    void rectMaskIsFullAndSized();
    void circleRadiiAndRect();
    void ringMask_data();
    void ringMask();
    void polygonMask_data();
    void polygonMask();
    void shapesAlwaysMarkAPixel_data();
    void shapesAlwaysMarkAPixel();
    void selfIntersectingOutlineUsesOddEven();
    void polygonCapacityAndEquality();
    void equalityIgnoresSelection();
    void handles_data();
    void handles();
    void polygonHandlesAreVertices();
    void resizeMovesTheHandlesEdges_data();
    void resizeMovesTheHandlesEdges();
    void polygonResizeStaysInPicture();
    void polygonResizeReachesTheLastViewPixel();
    void checkInRangeCoordinate_data();
    void checkInRangeCoordinate();
    void checkInRangeRect_data();
    void checkInRangeRect();
    void drawUsesThePen();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestShapes::freshShapesAreZero()
{
    const ClustomRect r;
    const Circle c;
    const RePolygon p;
    QVERIFY(!r.IsSelected() && !c.IsSelected() && !p.IsSelected());
    QCOMPARE(p.count(), 0);
    QCOMPARE(c.r1, 0);
    QCOMPARE(r.ImageRect(), cv::Rect(0, 0, 1, 1));
    QVERIFY(r == ClustomRect());
}

void TestShapes::rectImageRect_data()
{
    QTest::addColumn<double>("aw");
    QTest::addColumn<double>("ah");
    QTest::addColumn<QRect>("view"); // left, top, right, bottom as given
    QTest::addColumn<QRect>("image"); // expected, inclusive corners
    QTest::newRow("scale 1") << 1.0 << 1.0 << QRect(QPoint(10, 5), QPoint(20, 15)) << QRect(QPoint(10, 5), QPoint(20, 15));
    QTest::newRow("scale 1.5 truncates") << 1.5 << 1.5 << QRect(QPoint(10, 5), QPoint(31, 16))
                                         << QRect(QPoint(6, 3), QPoint(20, 10));
    QTest::newRow("scale 0.8") << 0.8 << 0.8 << QRect(QPoint(8, 4), QPoint(40, 36)) << QRect(QPoint(10, 5), QPoint(50, 45));
    QTest::newRow("reversed corners") << 1.0 << 1.0 << QRect(QPoint(20, 15), QPoint(10, 5))
                                      << QRect(QPoint(10, 5), QPoint(20, 15));
    QTest::newRow("clipped to the image") << 1.0 << 1.0 << QRect(QPoint(-5, -3), QPoint(80, 60))
                                          << QRect(QPoint(0, 0), QPoint(63, 47));
    QTest::newRow("scale 9/7, view points on pixel edges") << 9.0 / 7 << 9.0 / 7 << QRect(QPoint(9, 18), QPoint(36, 36))
                                                         << QRect(QPoint(7, 14), QPoint(28, 28));
    QTest::newRow("scale 0.8 clipped") << 0.8 << 0.8 << QRect(QPoint(40, 30), QPoint(60, 45))
                                       << QRect(QPoint(50, 37), QPoint(63, 47));
}

void TestShapes::rectImageRect()
{
    QFETCH(double, aw);
    QFETCH(double, ah);
    QFETCH(QRect, view);
    QFETCH(QRect, image);
    kvor::setGeometry(geometryFor(aw, ah));
    ClustomRect r = makeRect(view.left(), view.top(), view.right(), view.bottom());
    r.setImageRect();
    QCOMPARE(r.imgLeft, image.left());
    QCOMPARE(r.imgTop, image.top());
    QCOMPARE(r.imgRight, image.right());
    QCOMPARE(r.imgBottom, image.bottom());
}

void TestShapes::rectMaskIsFullAndSized_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("1") << 1.0;
    QTest::newRow("1.5") << 1.5;
    QTest::newRow("0.8") << 0.8;
}

void TestShapes::rectMaskIsFullAndSized()
{
    QFETCH(double, scale);
    kvor::setGeometry(geometryFor(scale, scale));
    ClustomRect r = makeRect(12, 9, 40, 30);
    r.setImageRect();
    const cv::Mat m = r.UpdateMask();
    QCOMPARE(m.type(), CV_8UC1);
    QCOMPARE(m.cols, r.imgRight - r.imgLeft + 1);
    QCOMPARE(m.rows, r.imgBottom - r.imgTop + 1);
    QCOMPARE(cv::countNonZero(m == 255), m.cols * m.rows);
}

void TestShapes::circleRadiiAndRect()
{
    Circle c;
    c.cx = 30;
    c.cy = 20;
    c.r1 = 10;
    c.r2 = 4;
    c.UpdateRect();
    QCOMPARE(c.rect, QRect(QPoint(20, 10), QPoint(40, 30)));

    // The reverse, from a dragged rectangle: the smaller side gives r1 and the
    // inner radius stays below it (a ring keeps a width).
    c.r2 = 30;
    c.rect = QRect(QPoint(0, 0), QPoint(20, 11));
    c.UpdateAll();
    QCOMPARE(c.cx, 10);
    QCOMPARE(c.cy, 5);
    QCOMPARE(c.r1, 5);
    QCOMPARE(c.r2, 4);

    // Radii stay within 0..32767 and r2 < r1 (0 for a circle of radius 0).
    c.r1 = 65535;
    c.r2 = -3;
    c.UpdateRect();
    QCOMPARE(c.r1, Circle::kMaxRadius);
    QCOMPARE(c.r2, 0);

    c.cx = 30;
    c.cy = 20;
    c.r1 = 10;
    c.UpdateRect();
    QVERIFY(c.Contains(QPoint(30, 20)));
    QVERIFY(c.Contains(QPoint(40, 20)));
    QVERIFY(!c.Contains(QPoint(38, 28))); // a corner of the rectangle
}

void TestShapes::ringMask_data()
{
    QTest::addColumn<double>("aw");
    QTest::addColumn<double>("ah");
    QTest::newRow("1") << 1.0 << 1.0;
    QTest::newRow("1.5") << 1.5 << 1.5;
    QTest::newRow("0.8 x 1.25") << 0.8 << 1.25;
}

void TestShapes::ringMask()
{
    QFETCH(double, aw);
    QFETCH(double, ah);
    kvor::setGeometry(geometryFor(aw, ah));
    Circle c;
    c.cx = int(32 * aw);
    c.cy = int(24 * ah);
    c.r1 = int(16 * std::min(aw, ah));
    c.r2 = c.r1 / 2;
    c.UpdateRect();
    c.setImageRect();
    const cv::Mat m = c.UpdateMask();
    QCOMPARE(m.cols, c.imgRight - c.imgLeft + 1);
    QCOMPARE(m.rows, c.imgBottom - c.imgTop + 1);
    const int mx = int(c.cx / aw) - c.imgLeft;
    const int my = int(c.cy / ah) - c.imgTop;
    QCOMPARE(int(m.at<uchar>(my, mx)), 0); // the hole
    // On the ring, half-way between the radii, along both axes.
    const int along = int(0.75 * c.r1 / aw);
    QCOMPARE(int(m.at<uchar>(my, mx + along)), 255);
    QCOMPARE(int(m.at<uchar>(my, mx - along)), 255);
    QCOMPARE(int(m.at<uchar>(my + int(0.75 * c.r1 / ah), mx)), 255);
    QCOMPARE(int(m.at<uchar>(0, 0)), 0); // outside, in the corner
    // A full circle has no hole.
    c.r2 = 0;
    QCOMPARE(int(c.UpdateMask().at<uchar>(my, mx)), 255);
}

void TestShapes::polygonMask_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("1") << 1.0;
    QTest::newRow("1.5") << 1.5;
    QTest::newRow("0.8") << 0.8;
}

void TestShapes::polygonMask()
{
    QFETCH(double, scale);
    kvor::setGeometry(geometryFor(scale, scale));
    // A right triangle with its right angle at the top-left, image (10,10) to (40,40).
    const QPoint pts[] = {QPoint(int(10 * scale), int(10 * scale)), QPoint(int(40 * scale), int(10 * scale)),
                          QPoint(int(10 * scale), int(40 * scale))};
    RePolygon p(3, pts);
    p.setImageRect();
    QCOMPARE(p.imgLeft, 10);
    QCOMPARE(p.imgTop, 10);
    QVERIFY(std::abs(p.imgRight - 40) <= 1);
    QVERIFY(std::abs(p.imgBottom - 40) <= 1);
    const cv::Mat m = p.UpdateMask();
    QCOMPARE(m.cols, p.imgRight - p.imgLeft + 1);
    QCOMPARE(m.rows, p.imgBottom - p.imgTop + 1);
    QCOMPARE(int(m.at<uchar>(2, 2)), 255);             // near the right angle
    QCOMPARE(int(m.at<uchar>(m.rows - 3, m.cols - 3)), 0); // beyond the hypotenuse
    // About half the box is inside.
    const double frac = double(cv::countNonZero(m)) / (m.cols * m.rows);
    QVERIFY2(frac > 0.45 && frac < 0.6, qPrintable(QString::number(frac)));
}

void TestShapes::shapesAlwaysMarkAPixel_data()
{
    // The shape, its radii (circle) or point count (polygon), the view scale.
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("r1");
    QTest::addColumn<int>("r2");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("hasMask");
    QTest::newRow("ring, inner = outer") << "circle" << 10 << 10 << 1.0 << true;
    QTest::newRow("ring, inner = outer, view x2") << "circle" << 10 << 10 << 2.0 << true;
    QTest::newRow("ring, inner = outer, view x0.8") << "circle" << 9 << 9 << 0.8 << true;
    QTest::newRow("ring, inner > outer") << "circle" << 6 << 40 << 1.0 << true;
    QTest::newRow("circle of radius 0") << "circle" << 0 << 0 << 1.0 << true;
    QTest::newRow("ring from a dragged rectangle") << "dragged" << 8 << 8 << 1.0 << true;
    QTest::newRow("polygon, one point") << "polygon" << 1 << 0 << 1.0 << true;
    QTest::newRow("polygon, two points") << "polygon" << 2 << 0 << 1.0 << true;
    // No points: no area at all, so no mask (the pass reports it).
    QTest::newRow("polygon, no point") << "polygon" << 0 << 0 << 1.0 << false;
}

void TestShapes::shapesAlwaysMarkAPixel()
{
    QFETCH(QString, shape);
    QFETCH(int, r1);
    QFETCH(int, r2);
    QFETCH(double, scale);
    QFETCH(bool, hasMask);
    kvor::setGeometry(geometryFor(scale, scale));
    cv::Mat m;
    if (shape == QLatin1String("polygon")) {
        const QPoint pts[] = {{int(20 * scale), int(20 * scale)}, {int(30 * scale), int(25 * scale)}};
        RePolygon p(r1, pts);
        p.setImageRect();
        m = p.UpdateMask();
    } else {
        Circle c;
        c.cx = int(32 * scale);
        c.cy = int(24 * scale);
        c.r1 = r1;
        c.r2 = r2;
        if (shape == QLatin1String("dragged")) {
            c.rect = QRect(c.cx - r1, c.cy - r1, 2 * r1 + 1, 2 * r1 + 1);
            c.UpdateAll();
        } else {
            c.UpdateRect();
        }
        QVERIFY(c.r2 < c.r1 || c.r1 == 0);
        c.setImageRect();
        m = c.UpdateMask();
    }
    QCOMPARE(!m.empty(), hasMask);
    if (hasMask)
        QVERIFY(cv::countNonZero(m) > 0);
}

void TestShapes::selfIntersectingOutlineUsesOddEven()
{
    // A bow tie: two triangles meeting in the middle.
    const QPoint pts[] = {{0, 0}, {40, 40}, {40, 0}, {0, 40}};
    RePolygon p(4, pts);
    p.setImageRect();
    const cv::Mat m = p.UpdateMask();
    QCOMPARE(int(m.at<uchar>(20, 3)), 255);  // left wing
    QCOMPARE(int(m.at<uchar>(20, 37)), 255); // right wing
    QCOMPARE(int(m.at<uchar>(3, 20)), 0);    // above the crossing
    QVERIFY(!p.Contains(QPoint(20, 3)));
    QVERIFY(p.Contains(QPoint(5, 20)));
}

void TestShapes::polygonCapacityAndEquality()
{
    std::vector<QPoint> many(RePolygon::kMaxPoints + 5, QPoint(1, 2));
    RePolygon p(int(many.size()), many.data());
    QCOMPARE(p.count(), RePolygon::kMaxPoints);
    QVERIFY(!p.append(QPoint(3, 3)));
    p.setPoints(3, many.data());
    QVERIFY(p.append(QPoint(5, 5)));
    QCOMPARE(p.count(), 4);

    // Equal when the points in use are equal, whatever was held before.
    const QPoint a[] = {{1, 1}, {9, 1}, {5, 7}};
    RePolygon x(3, a);
    RePolygon y(p);
    y.setPoints(3, a);
    QVERIFY(x == y);
    y.point(2) = QPoint(5, 8);
    QVERIFY(x != y);
    RePolygon copy = y;
    QVERIFY(copy == y);
    copy.translate(1, 0);
    QCOMPARE(copy.point(0), QPoint(2, 1));
}

void TestShapes::equalityIgnoresSelection()
{
    ClustomRect a = makeRect(1, 2, 30, 40), b = a;
    b.SetSelected(true);
    QVERIFY(a == b);
    Circle c, d;
    d.SetSelected(true);
    QVERIFY(c == d);
    d.r2 = 1;
    QVERIFY(c != d);
    RePolygon p, q;
    q.SetSelected(true);
    QVERIFY(p == q);
    a.setImageRect();
    QVERIFY(a != b); // the image rectangle is part of the shape
}

void TestShapes::handles_data()
{
    QTest::addColumn<QPoint>("p");
    QTest::addColumn<bool>("hit");
    QTest::addColumn<int>("handle");
    // Rectangle (100, 100) - (200, 160).
    QTest::newRow("top-left") << QPoint(100, 100) << true << 0;
    QTest::newRow("top-mid") << QPoint(150, 95) << true << 1;
    QTest::newRow("top-right") << QPoint(205, 104) << true << 2;
    QTest::newRow("left-mid") << QPoint(92, 130) << true << 3;
    QTest::newRow("right-mid") << QPoint(210, 130) << true << 4;
    QTest::newRow("bottom-left") << QPoint(100, 160) << true << 5;
    QTest::newRow("bottom-mid") << QPoint(150, 161) << true << 6;
    QTest::newRow("bottom-right") << QPoint(199, 159) << true << 7;
    QTest::newRow("inside, no handle") << QPoint(150, 130) << false << -1;
    QTest::newRow("just beyond the margin") << QPoint(89, 100) << false << -1;
}

void TestShapes::handles()
{
    QFETCH(QPoint, p);
    QFETCH(bool, hit);
    QFETCH(int, handle);
    kvor::setGeometry(geometryFor(5, 5));
    const ClustomRect r = makeRect(100, 100, 200, 160);
    int h = -1;
    QCOMPARE(r.PtInCtrl(p, &h), hit);
    QCOMPARE(h, handle);
    // The circle's handles sit on its rectangle the same way.
    Circle c;
    c.rect = r.rect;
    h = -1;
    QCOMPARE(c.PtInCtrl(p, &h), hit);
    QCOMPARE(h, handle);
    QVERIFY(r.Contains(QPoint(150, 130)));
    QVERIFY(!r.Contains(QPoint(201, 130)));
}

void TestShapes::polygonHandlesAreVertices()
{
    const QPoint pts[] = {{10, 10}, {60, 12}, {30, 50}};
    RePolygon p(3, pts);
    int h = -1;
    QVERIFY(p.PtInCtrl(QPoint(58, 14), &h));
    QCOMPARE(h, 1);
    QVERIFY(p.PtInCtrl(QPoint(30, 45), &h));
    QCOMPARE(h, 2);
    QVERIFY(!p.PtInCtrl(QPoint(35, 25), &h));
    QVERIFY(p.Contains(QPoint(35, 25)));
}

void TestShapes::resizeMovesTheHandlesEdges_data()
{
    QTest::addColumn<int>("handle");
    QTest::addColumn<QRect>("expected");
    const QPoint d(5, 7); // applied to (100, 100) - (200, 160)
    Q_UNUSED(d);
    QTest::newRow("0") << 0 << QRect(QPoint(105, 107), QPoint(200, 160));
    QTest::newRow("1") << 1 << QRect(QPoint(100, 107), QPoint(200, 160));
    QTest::newRow("2") << 2 << QRect(QPoint(100, 107), QPoint(205, 160));
    QTest::newRow("3") << 3 << QRect(QPoint(105, 100), QPoint(200, 160));
    QTest::newRow("4") << 4 << QRect(QPoint(100, 100), QPoint(205, 160));
    QTest::newRow("5") << 5 << QRect(QPoint(105, 100), QPoint(200, 167));
    QTest::newRow("6") << 6 << QRect(QPoint(100, 100), QPoint(200, 167));
    QTest::newRow("7") << 7 << QRect(QPoint(100, 100), QPoint(205, 167));
    QTest::newRow("no such handle") << 8 << QRect(QPoint(100, 100), QPoint(200, 160));
}

void TestShapes::resizeMovesTheHandlesEdges()
{
    QFETCH(int, handle);
    QFETCH(QRect, expected);
    ClustomRect r = makeRect(100, 100, 200, 160);
    r.Resize(handle, QPoint(50, 50), QPoint(55, 57));
    QCOMPARE(r.rect, expected);

    // Dragging an edge across the opposite one normalises.
    ClustomRect flip = makeRect(100, 100, 200, 160);
    flip.Resize(3, QPoint(0, 0), QPoint(150, 0));
    QCOMPARE(flip.rect, QRect(QPoint(200, 100), QPoint(250, 160)));
}

void TestShapes::polygonResizeStaysInPicture()
{
    kvor::setGeometry(geometryFor(1.5, 1.5)); // picture 96 x 72 view pixels
    const QPoint pts[] = {{10, 10}, {60, 12}, {30, 50}};
    RePolygon p(3, pts);
    p.Resize(1, QPoint(0, 0), QPoint(100, -30), 1.5, 1.5);
    QCOMPARE(p.point(1), QPoint(95, 0));
    p.Resize(0, QPoint(0, 0), QPoint(3, 4), 1.5, 1.5);
    QCOMPARE(p.point(0), QPoint(13, 14));
    p.Resize(7, QPoint(0, 0), QPoint(3, 4), 1.5, 1.5); // no such vertex
    QCOMPARE(p.point(2), QPoint(30, 50));
}

void TestShapes::polygonResizeReachesTheLastViewPixel()
{
    // 21 image columns on 51 view columns: 21 * (51 / 21.0) is just below 51.
    kvor::Geometry g = geometryFor(51.0 / 21, 1.0);
    g.imageW = 21;
    g.showW = 51;
    kvor::setGeometry(g);
    const QPoint pts[] = {{10, 10}, {40, 12}, {30, 30}};
    RePolygon p(3, pts);
    p.Resize(1, QPoint(0, 0), QPoint(100, 0), g.showAW, g.showAH);
    QCOMPARE(p.point(1).x(), 50);
    int x = 100;
    CheckInRange(x, 1); // the same bound as the range check
    QCOMPARE(p.point(1).x(), x);
}

void TestShapes::checkInRangeCoordinate_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("expected");
    // View 96 x 72 (scale 1.5).
    QTest::newRow("x inside") << 50 << 1 << 50;
    QTest::newRow("x negative") << -4 << 1 << 0;
    QTest::newRow("x beyond") << 96 << 1 << 95;
    QTest::newRow("y beyond") << 80 << 0 << 71;
    QTest::newRow("y inside at the edge") << 71 << 0 << 71;
}

void TestShapes::checkInRangeCoordinate()
{
    QFETCH(int, value);
    QFETCH(int, axis);
    QFETCH(int, expected);
    kvor::setGeometry(geometryFor(1.5, 1.5));
    int v = value;
    CheckInRange(v, axis);
    QCOMPARE(v, expected);
    int w = value;
    CheckInRange(&w, axis);
    QCOMPARE(w, expected);
}

void TestShapes::checkInRangeRect_data()
{
    QTest::addColumn<QRect>("in");
    QTest::addColumn<bool>("keepSize");
    QTest::addColumn<QRect>("out");
    // View 64 x 48.
    QTest::newRow("inside stays") << QRect(QPoint(5, 5), QPoint(20, 20)) << true << QRect(QPoint(5, 5), QPoint(20, 20));
    QTest::newRow("keep size, off the right") << QRect(QPoint(50, 5), QPoint(70, 20)) << true
                                              << QRect(QPoint(43, 5), QPoint(63, 20));
    QTest::newRow("keep size, off the top-left") << QRect(QPoint(-5, -2), QPoint(10, 8)) << true
                                                 << QRect(QPoint(0, 0), QPoint(15, 10));
    QTest::newRow("keep size, larger than the picture") << QRect(QPoint(-10, 5), QPoint(80, 20)) << true
                                                        << QRect(QPoint(0, 5), QPoint(63, 20));
    QTest::newRow("clip, off the right") << QRect(QPoint(50, 5), QPoint(70, 20)) << false
                                         << QRect(QPoint(50, 5), QPoint(63, 20));
    QTest::newRow("clip, reversed corners") << QRect(QPoint(70, 50), QPoint(50, 5)) << false
                                            << QRect(QPoint(50, 5), QPoint(63, 47));
}

void TestShapes::checkInRangeRect()
{
    QFETCH(QRect, in);
    QFETCH(bool, keepSize);
    QFETCH(QRect, out);
    QRect r = in;
    CheckInRange(&r, keepSize);
    QCOMPARE(r, out);
}

void TestShapes::drawUsesThePen()
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter painter(&img);
        painter.setPen(QPen(Qt::red, 1));
        ClustomRect r = makeRect(5, 5, 30, 20);
        r.Draw(painter);
        Circle c;
        c.cx = 45;
        c.cy = 24;
        c.r1 = 10;
        c.r2 = 4;
        c.UpdateRect();
        c.Draw(painter);
    }
    QCOMPARE(img.pixel(5, 12), qRgb(255, 0, 0));   // the rectangle's left edge
    QCOMPARE(img.pixel(15, 12), qRgb(0, 0, 0));    // not filled
    QCOMPARE(img.pixel(55, 24), qRgb(255, 0, 0));  // outer circle
    QCOMPARE(img.pixel(49, 24), qRgb(255, 0, 0));  // inner circle of the ring
    QCOMPARE(img.pixel(45, 24), qRgb(0, 0, 0));
}

QTEST_GUILESS_MAIN(TestShapes)
#include "tst_shapes.moc"
