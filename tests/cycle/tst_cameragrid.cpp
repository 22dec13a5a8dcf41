// The main window's surface geometry as tables: the camera grid for every
// camera count on the two panel screens, the single view, the zoom column
// and one zoom step about the point under the finger.
#include "cameragrid.h"

#include <QtTest>

class TestCameraGrid : public QObject {
    Q_OBJECT
private slots:
    void grid_data();
    void grid();
    void singleViewOfSeveral();
    void noCamera();
    void zoomColumn_data();
    void zoomColumn();
    void zoomStep_data();
    void zoomStep();
    void zoomStepKeepsThePoint();
};

using Rects = QList<QRect>;
Q_DECLARE_METATYPE(Rects)

void TestCameraGrid::grid_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("n");
    QTest::addColumn<Rects>("cells");   // of cameras 0 .. n - 1
    QTest::addColumn<int>("showType");

    QTest::newRow("1280x800, 1") << 1280 << 800 << 1 << Rects{{0, 0, 1280, 800}} << 1;
    QTest::newRow("1280x800, 2") << 1280 << 800 << 2 << Rects{{0, 0, 640, 800}, {640, 0, 640, 800}} << 0;
    QTest::newRow("1280x800, 3") << 1280 << 800 << 3
                                 << Rects{{0, 0, 640, 400}, {640, 0, 640, 400}, {0, 400, 640, 400}} << 0;
    QTest::newRow("1280x800, 4") << 1280 << 800 << 4
                                 << Rects{{0, 0, 640, 400}, {640, 0, 640, 400}, {0, 400, 640, 400}, {640, 400, 640, 400}}
                                 << 0;
    QTest::newRow("1280x800, 5") << 1280 << 800 << 5
                                 << Rects{{0, 0, 427, 400}, {427, 0, 427, 400}, {854, 0, 427, 400},
                                          {0, 400, 427, 400}, {427, 400, 427, 400}}
                                 << 0;
    QTest::newRow("1280x800, 6") << 1280 << 800 << 6
                                 << Rects{{0, 0, 427, 400},   {427, 0, 427, 400},   {854, 0, 427, 400},
                                          {0, 400, 427, 400}, {427, 400, 427, 400}, {854, 400, 427, 400}}
                                 << 0;
    QTest::newRow("1280x800, 7") << 1280 << 800 << 7
                                 << Rects{{0, 0, 320, 400},   {320, 0, 320, 400},   {640, 0, 320, 400},
                                          {960, 0, 320, 400}, {0, 400, 320, 400},   {320, 400, 320, 400},
                                          {640, 400, 320, 400}}
                                 << 0;
    QTest::newRow("1280x800, 8") << 1280 << 800 << 8
                                 << Rects{{0, 0, 320, 400},   {320, 0, 320, 400},   {640, 0, 320, 400},
                                          {960, 0, 320, 400}, {0, 400, 320, 400},   {320, 400, 320, 400},
                                          {640, 400, 320, 400}, {960, 400, 320, 400}}
                                 << 0;
    QTest::newRow("1024x600, 1") << 1024 << 600 << 1 << Rects{{0, 0, 1024, 600}} << 1;
    QTest::newRow("1024x600, 2") << 1024 << 600 << 2 << Rects{{0, 0, 512, 600}, {512, 0, 512, 600}} << 0;
    QTest::newRow("1024x600, 3") << 1024 << 600 << 3
                                 << Rects{{0, 0, 512, 300}, {512, 0, 512, 300}, {0, 300, 512, 300}} << 0;
    QTest::newRow("1024x600, 4") << 1024 << 600 << 4
                                 << Rects{{0, 0, 512, 300}, {512, 0, 512, 300}, {0, 300, 512, 300}, {512, 300, 512, 300}}
                                 << 0;
    // Columns of w/3 + 1: the grid runs two pixels past the right edge.
    QTest::newRow("1024x600, 5") << 1024 << 600 << 5
                                 << Rects{{0, 0, 342, 300}, {342, 0, 342, 300}, {684, 0, 342, 300},
                                          {0, 300, 342, 300}, {342, 300, 342, 300}}
                                 << 0;
    QTest::newRow("1024x600, 6") << 1024 << 600 << 6
                                 << Rects{{0, 0, 342, 300},   {342, 0, 342, 300},   {684, 0, 342, 300},
                                          {0, 300, 342, 300}, {342, 300, 342, 300}, {684, 300, 342, 300}}
                                 << 0;
    QTest::newRow("1024x600, 7") << 1024 << 600 << 7
                                 << Rects{{0, 0, 256, 300},   {256, 0, 256, 300},   {512, 0, 256, 300},
                                          {768, 0, 256, 300}, {0, 300, 256, 300},   {256, 300, 256, 300},
                                          {512, 300, 256, 300}}
                                 << 0;
    QTest::newRow("1024x600, 8") << 1024 << 600 << 8
                                 << Rects{{0, 0, 256, 300},   {256, 0, 256, 300},   {512, 0, 256, 300},
                                          {768, 0, 256, 300}, {0, 300, 256, 300},   {256, 300, 256, 300},
                                          {512, 300, 256, 300}, {768, 300, 256, 300}}
                                 << 0;
}

void TestCameraGrid::grid()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, n);
    QFETCH(Rects, cells);
    QFETCH(int, showType);
    constexpr int imageW = 1280, imageH = 1024;
    const float startX = float(w) / imageW, startY = float(h) / imageH;
    // One camera is shown alone whatever was asked; more ask for the grid.
    const CameraGrid g = LayoutCameraGrid(w, h, n, n, imageW, imageH, startX, startY);
    QCOMPARE(g.viewCamera, n == 1 ? 0 : n);
    QCOMPARE(g.showType, showType);
    for (int c = 0; c < kCameraSlots; ++c) {
        QCOMPARE(g.shown[c], c < n);
        if (c < n)
            QCOMPARE(g.cell[c], cells[c]);
        else
            QVERIFY(g.cell[c].isEmpty());   // the sixth cell of five stays empty
    }
    if (n == 1) {
        QCOMPARE(g.scaleX, startX);
        QCOMPARE(g.scaleY, startY);
        QCOMPARE(g.fracX, 1.0f);
        QCOMPARE(g.fracY, 1.0f);
    } else {
        QCOMPARE(g.scaleX, float(cells[0].width()) / imageW);
        QCOMPARE(g.scaleY, float(cells[0].height()) / imageH);
        QCOMPARE(g.fracX, float(cells[0].width()) / w);
        QCOMPARE(g.fracY, float(cells[0].height()) / h);
    }
}

void TestCameraGrid::singleViewOfSeveral()
{
    const CameraGrid g = LayoutCameraGrid(1280, 800, 3, 1, 640, 480, 2.0f, 1.6667f);
    QCOMPARE(g.viewCamera, 1);
    QCOMPARE(g.showType, int(ZoomShowEnlarge));
    QVERIFY(!g.shown[0]);
    QVERIFY(g.shown[1]);
    QVERIFY(!g.shown[2]);
    QCOMPARE(g.cell[1], QRect(0, 0, 1280, 800));
    // The whole screen is the cell of a single view.
    QCOMPARE(g.scaleX, 2.0f);
    QCOMPARE(g.scaleY, 800.0f / 480);
    QCOMPARE(g.fracX, 1.0f);
    QCOMPARE(g.fracY, 1.0f);

    // A value outside the cameras counts as the grid.
    const CameraGrid bad = LayoutCameraGrid(1280, 800, 3, 7, 640, 480, 2.0f, 1.6667f);
    QVERIFY(bad.shown[0] && bad.shown[1] && bad.shown[2]);
    QCOMPARE(bad.showType, int(ZoomShowNone));
}

void TestCameraGrid::noCamera()
{
    const CameraGrid g = LayoutCameraGrid(1280, 800, 0, 0, 640, 480, 2.0f, 1.5f);
    for (bool shown : g.shown)
        QVERIFY(!shown);
    QCOMPARE(g.showType, int(ZoomShowNone));
    QCOMPARE(g.scaleX, 2.0f);
    QCOMPARE(g.scaleY, 1.5f);
}

void TestCameraGrid::zoomColumn_data()
{
    QTest::addColumn<int>("screenH");
    QTest::addColumn<int>("firstY");
    QTest::newRow("tall screen: as laid out") << 1024 << 300;
    QTest::newRow("exactly 820") << 820 << 300;
    QTest::newRow("800") << 800 << 280;
    QTest::newRow("768") << 768 << 248;
    QTest::newRow("600") << 600 << 80;
    QTest::newRow("too low for the column: from the top") << 400 << 0;
}

void TestCameraGrid::zoomColumn()
{
    QFETCH(int, screenH);
    QFETCH(int, firstY);
    for (int i = 0; i < kZoomButtons; ++i) {
        const QRect r = ZoomButtonRect(i, screenH);
        QCOMPARE(r, QRect(5, firstY + 75 * i, 70, 70));
    }
    if (screenH >= 525)
        QVERIFY(ZoomButtonRect(kZoomButtons - 1, screenH).bottom() <= screenH - 1);
}

void TestCameraGrid::zoomStep_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<double>("panX");
    QTest::addColumn<double>("panY");
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("newZoom");
    QTest::addColumn<double>("newPanX");
    QTest::addColumn<double>("newPanY");
    // The point under the finger is (100, 50).
    QTest::newRow("enlarge from 1") << 1.0 << 0.0 << 0.0 << 1 << 1.2 << -20.0 << -10.0;
    QTest::newRow("30 gives 32, not 36") << 30.0 << 0.0 << 0.0 << 1 << 32.0 << -(100.0 / 30 * 32 - 100)
                                         << -(50.0 / 30 * 32 - 50);
    QTest::newRow("at 32 it stays") << 32.0 << -3100.0 << -1550.0 << 1 << 32.0 << -3100.0 << -1550.0;
    QTest::newRow("1.2 gives 1 and no pan") << 1.2 << -20.0 << -10.0 << -1 << 1.0 << 0.0 << 0.0;
    QTest::newRow("1.3 reduces below 1.1: 1") << 1.3 << -30.0 << -15.0 << -1 << 1.0 << 0.0 << 0.0;
    QTest::newRow("reduce from 2") << 2.0 << -100.0 << -50.0 << -1 << 2.0 / 1.2 << 100.0 - 100.0 * (2.0 / 1.2)
                                   << 50.0 - 50.0 * (2.0 / 1.2);
    QTest::newRow("restore") << 5.0 << 3.0 << 4.0 << 0 << 1.0 << 0.0 << 0.0;
}

void TestCameraGrid::zoomStep()
{
    QFETCH(double, zoom);
    QFETCH(double, panX);
    QFETCH(double, panY);
    QFETCH(int, delta);
    QFETCH(double, newZoom);
    QFETCH(double, newPanX);
    QFETCH(double, newPanY);
    const ZoomState z = ZoomStep(ZoomState{zoom, panX, panY}, delta, 100, 50);
    QVERIFY2(qAbs(z.zoom - newZoom) < 1e-9, qPrintable(QString::number(z.zoom)));
    QVERIFY2(qAbs(z.panX - newPanX) < 1e-3, qPrintable(QString::number(z.panX)));
    QVERIFY2(qAbs(z.panY - newPanY) < 1e-3, qPrintable(QString::number(z.panY)));
}

void TestCameraGrid::zoomStepKeepsThePoint()
{
    // Up to the limit and back: the picture point under (437, 211) stays
    // under it at every step.
    ZoomState z;
    const int px = 437, py = 211;
    const double imageX = (px - z.panX) / z.zoom, imageY = (py - z.panY) / z.zoom;
    for (int delta : {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1}) {
        z = ZoomStep(z, delta, px, py);
        QVERIFY(z.zoom >= 1.0 && z.zoom <= 32.0);
        QVERIFY(qAbs((px - z.panX) / z.zoom - imageX) < 1e-3);
        QVERIFY(qAbs((py - z.panY) / z.zoom - imageY) < 1e-3);
    }
}

QTEST_MAIN(TestCameraGrid)
#include "tst_cameragrid.moc"
