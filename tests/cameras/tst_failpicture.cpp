// The result pictures of a camera slot: label texts, what the picture shows
// of each area on grey and colour frames (outlines on their areas under a
// screen scale, failed areas red with their boxes), the stamp of a held
// picture and its state, and the re-sampling frame's template file.
#include "failimagestore.h"
#include "failpicture.h"
#include "graycolortable.h"
#include "messages.h"
#include "readonlyfolder.h"
#include "slotcases.h"
#include "slotrig.h"
#include "slotpictures.h"
#include "viewtexts.h"
#include "wizardpara.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int kW = 320;
constexpr int kH = 240;
// Different per axis, so that a mixed-up axis shows.
constexpr double kShowAW = 2.0;
constexpr double kShowAH = 2.5;
constexpr int kTop = 70;   // screen 640 wide
constexpr int kD = 1;

// The frame: a grey ramp, or colour words, neither ever pure red or green.
uchar greyAt(int x, int y) { return static_cast<uchar>(40 + (x + 2 * y) % 150); }
QRgb colourAt(int x, int y) { return qRgb(60, 40 + y % 150, 40 + x % 150); }
QRgb frameAt(bool color, int x, int y)
{
    const uchar v = greyAt(x, y);
    return color ? colourAt(x, y) : qRgb(v, v, v);
}

void fillFrame(std::vector<uchar>& frame, bool color, int w, int h)
{
    frame.assign(static_cast<size_t>(w * h * (color ? 4 : 1)), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (color) {
                const QRgb c = colourAt(x, y);
                std::memcpy(&frame[static_cast<size_t>(4 * (y * w + x))], &c, 4);
            } else {
                frame[static_cast<size_t>(y * w + x)] = greyAt(x, y);
            }
        }
}

QRgb pixel(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000u; }
bool isRed(QRgb c) { return qRed(c) >= 200 && qGreen(c) <= 60 && qBlue(c) <= 60; }
bool isGreen(QRgb c) { return qGreen(c) >= 200 && qRed(c) <= 60 && qBlue(c) <= 60; }

// Whether a pixel of the colour lies within one pixel of (x, y): the pen's
// rounding under a scale may move a line by one.
template <class Pred>
bool near(const QImage& image, int x, int y, Pred is)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height() && is(pixel(image, px, py)))
                return true;
        }
    return false;
}

template <class Pred>
int countIn(const QImage& image, const QRect& r, Pred is)
{
    int n = 0;
    const QRect clipped = r & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            n += is(pixel(image, x, y)) ? 1 : 0;
    return n;
}

template <class Pred>
int countOutside(const QImage& image, const QRect& r, Pred is)
{
    return countIn(image, image.rect(), is) - countIn(image, r, is);
}

// The label box of an anchor.
QRect labelBox(const QPoint& anchor) { return QRect(anchor.x(), anchor.y() - 26, 400, 24); }

// A slot state and area set without a widget: three areas of detection kD in
// view coordinates (a failed rectangle with two alarm boxes, a passed
// square polygon, a passed circle).
struct Scene {
    SlotGlobalsGuard globals;
    std::unique_ptr<CameraSlotState> slot = std::make_unique<CameraSlotState>();
    std::unique_ptr<CammerSingleton> set = std::make_unique<CammerSingleton>(0);
    std::unique_ptr<WizardPara> para = std::make_unique<WizardPara>();

    explicit Scene(bool color)
    {
        gisColor = color ? 1 : 0;
        setTestGeometry(kW, kH, kShowAW, kShowAH);
        slot->AllocateSlotBuffers(kW, kH, color, 2);
        fillFrame(slot->alignedFrame, color, kW, kH);
        para->minimumArea = 500;

        set->roiCount[kD] = 3;
        for (int i = 0; i < 3; ++i) {
            set->roiMethod[kD][i] = AreaFuncDefect;
            set->roiMaxArea[kD][i] = 800;
            slot->roiOK[kD][i] = 1;
            slot->roiValue[kD][i] = 100 + i;
        }
        // Image (50, 40) - (150, 100).
        set->roiShape[kD][0] = RoiShapeRect;
        set->roiRect[kD][0] = ClustomRect(QRect(QPoint(100, 100), QPoint(300, 250)));
        slot->roiOK[kD][0] = 0;
        RoiAlarm& alarm = slot->roiAlarm[kD][0];
        alarm.boxCount() = 2;
        alarm.setBox(1, 60, 50, 80, 70);
        alarm.setBox(2, 100, 60, 130, 90);
        // Image (200, 40) - (280, 100).
        const QPoint square[] = {{400, 100}, {560, 100}, {560, 250}, {400, 250}};
        set->roiShape[kD][1] = RoiShapePolygon;
        set->roiPolygon[kD][1] = RePolygon(4, square);
        // Image centre (100, 180), radii 30 and 24.
        set->roiShape[kD][2] = RoiShapeCircle;
        Circle& circle = set->roiCircle[kD][2];
        circle.cx = 200;
        circle.cy = 450;
        circle.r1 = 60;
        circle.UpdateRect();
    }

    FailPictureScene scene(int kind, bool doorFired = false) const
    {
        FailPictureScene s;
        s.slot = slot.get();
        s.set = set.get();
        s.para = para.get();
        s.d = kD;
        s.kind = kind;
        s.safetyDoorFired = doorFired;
        s.showW = gShowW;
        s.showAW = gShowAW;
        s.showAH = gShowAH;
        return s;
    }
};

QString dev(const QString& serial)
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
        .arg(serial)
        .arg(kW)
        .arg(kH);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}   // namespace

class TestFailPicture : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void labels_data();
    void labels();
    void topLine();

    void areas_data();
    void areas();
    void okPictureKeepsFailedAreaRed();
    void unknownShapeKeepsAnchor();
    void markAndDoorLine_data();
    void markAndDoorLine();
    void frameOfWrongSizeGivesBlack();

    void stampNullPicture();
    void slotStampTable_data();
    void slotStampTable();
    void slotRenderLeavesViewAndFlags();

    void retrainTemplate_data();
    void retrainTemplate();
    void retrainRelay_data();
    void retrainRelay();
    void retrainWriteFailure();

private:
    void buildRig(bool color);
    std::unique_ptr<SlotRig> rig_;
};

void TestFailPicture::initTestCase()
{
    FillMessageTable();
}

void TestFailPicture::init()
{
    ClearFailImages();
}

void TestFailPicture::cleanup()
{
    rig_.reset();
    ClearFailImages();
}

void TestFailPicture::buildRig(bool color)
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 4;
    gDNum = 2;
    gisColor = color ? 1 : 0;
    QVERIFY(rig_->build(dev("CAM01"), kW, kH, kShowAW, 1));
    QVERIFY(rig_->slot[0]->complete());
    QCOMPARE(rig_->slot[0]->colorLen, kW * kH * (color ? 4 : 1));
}

void TestFailPicture::labels_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("details");
    QTest::addColumn<int>("areas");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("view");   // the camera view's label of the same area

    const int defect = AreaFuncDefect;
    QTest::newRow("defect, details off: minimum area") << defect << 45 << 800 << 0 << 3 << 0 << "1: 500 / 37 "
                                                       << "1: 500 / 37 ";
    QTest::newRow("defect, details on: C") << defect << 45 << 800 << 1 << 3 << 0 << "1: 800 / 37 "
                                           << "1: 800 / 37 ";
    QTest::newRow("10 areas keep the limit") << defect << 45 << 800 << 0 << 10 << 9 << "10: 500 / 37 "
                                             << "10: 500 / 37 ";
    QTest::newRow("11 areas drop it") << defect << 45 << 800 << 0 << 11 << 10 << "11: 37"
                                      << "11: 37";
    QTest::newRow("similarity: B") << int(AreaFuncSimilarity) << 45 << 800 << 0 << 3 << 1 << "2: 45 / 37 "
                                   << "2: 45 / 37 ";
    QTest::newRow("spot: B--C") << int(AreaFuncSpot) << 10 << 500 << 0 << 3 << 0 << "1: 10--500 / 37 "
                                << "1: 10--500 / 37 ";
    QTest::newRow("spot, 11 areas") << int(AreaFuncSpot) << 10 << 500 << 0 << 11 << 0 << "1: 37"
                                    << "1: 37";
    QTest::newRow("black area: C") << int(AreaFuncBlackArea) << 45 << 300 << 0 << 3 << 2 << "3: 300 / 37 "
                                   << "3: 300 / 37 ";
    // The picture shows C as stored where the view unpacks it or adds the
    // edge count.
    QTest::newRow("white count: C as stored") << int(AreaFuncWhiteCount) << 45 << 131073 << 0 << 3 << 0
                                              << "1: 131073 / 37 "
                                              << "1: 1--2 / 37 ";
    QTest::newRow("distance: value alone") << int(AreaFuncDistance) << 0 << 100 << 0 << 3 << 0 << "1: 100 / 37 "
                                           << "1: 100 / 2, 37 ";
}

void TestFailPicture::labels()
{
    QFETCH(int, method);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, details);
    QFETCH(int, areas);
    QFETCH(int, index);
    QFETCH(QString, picture);
    QFETCH(QString, view);

    TestEnv env;
    AreaLabelCase area(kD, areas, index, method, b, c, details);

    QCOMPARE(PictureAreaLabel(*area.set, kD, index, 37, *area.para), picture);
    QCOMPARE(AreaLabel(*area.set, kD, index, 37, 2, *area.para), view);
}

void TestFailPicture::topLine()
{
    QCOMPARE(FailPictureTopLine(800), 70);
    QCOMPARE(FailPictureTopLine(1024), 70);
    QCOMPARE(FailPictureTopLine(1025), 80);
    QCOMPARE(FailPictureTopLine(1920), 80);
}

void TestFailPicture::areas_data()
{
    QTest::addColumn<bool>("color");
    QTest::newRow("grey") << false;
    QTest::newRow("colour") << true;
}

void TestFailPicture::areas()
{
    QFETCH(bool, color);
    TestEnv env;
    Scene s(color);

    const QImage picture = RenderFailPicture(s.scene(0));
    QCOMPARE(picture.size(), QSize(kW, kH));
    QCOMPARE(picture.format(), QImage::Format_RGB32);

    // The frame is the background, exactly.
    for (const QPoint& p : {QPoint(10, 200), QPoint(300, 200), QPoint(90, 85), QPoint(240, 70)})
        QCOMPARE(pixel(picture, p.x(), p.y()), frameAt(color, p.x(), p.y()));

    // The failed rectangle: red on its area in image pixels, not where its
    // view coordinates would put it.
    QVERIFY(near(picture, 50, 70, isRed));
    QVERIFY(near(picture, 150, 70, isRed));
    QVERIFY(near(picture, 100, 40, isRed));
    QVERIFY(near(picture, 100, 100, isRed));
    QVERIFY(!near(picture, 100, 175, isRed));
    QVERIFY(!near(picture, 300, 175, isRed));
    // Its alarm boxes, in image pixels.
    QVERIFY(near(picture, 60, 60, isRed));
    QVERIFY(near(picture, 80, 60, isRed));
    QVERIFY(near(picture, 115, 60, isRed));
    QVERIFY(near(picture, 130, 75, isRed));
    QCOMPARE(pixel(picture, 70, 60), frameAt(color, 70, 60));

    // The passed polygon and circle: green on their areas.
    QVERIFY(near(picture, 200, 70, isGreen));
    QVERIFY(near(picture, 280, 70, isGreen));
    QVERIFY(near(picture, 240, 40, isGreen));
    QVERIFY(near(picture, 130, 180, isGreen));
    QVERIFY(near(picture, 70, 180, isGreen));
    QVERIFY(near(picture, 100, 156, isGreen));
    QVERIFY(near(picture, 100, 204, isGreen));
    QVERIFY(!near(picture, 160, 180, isGreen));   // the radius unscaled
    QCOMPARE(countIn(picture, QRect(50, 40, 101, 61), isGreen), 0);

    // Each label in its box above its anchor, in its area's colour: the
    // rectangle's at (50, 40), the polygon's at (200, 40), the circle's at
    // (70, 156).
    QVERIFY(countIn(picture, QRect(50, 14, 150, 24), isRed) > 20);
    QVERIFY(countIn(picture, QRect(200, 14, 120, 24), isGreen) > 20);
    QVERIFY(countIn(picture, QRect(70, 130, 250, 24), isGreen) > 20);
    QCOMPARE(countIn(picture, QRect(0, 0, kW, 13), isRed) + countIn(picture, QRect(0, 0, kW, 13), isGreen), 0);
}

void TestFailPicture::okPictureKeepsFailedAreaRed()
{
    TestEnv env;
    Scene s(false);

    const QImage picture = RenderFailPicture(s.scene(1));

    QVERIFY(near(picture, 50, 70, isRed));
    QVERIFY(near(picture, 60, 60, isRed));
    QVERIFY(near(picture, 130, 75, isRed));
    QVERIFY(near(picture, 200, 70, isGreen));
    // The mark is green "OK".
    const QRect mark(5, kTop - 26, 40, 32);
    QVERIFY(countIn(picture, mark, isGreen) > 20);
    QCOMPARE(countIn(picture, mark, isRed), 0);
}

void TestFailPicture::unknownShapeKeepsAnchor()
{
    TestEnv env;
    Scene s(false);
    // First area of an unknown shape: only its label, at (5, top).
    s.set->roiCount[kD] = 1;
    s.set->roiShape[kD][0] = 3;
    s.slot->roiOK[kD][0] = 1;
    QImage picture = RenderFailPicture(s.scene(0));
    const QRect first = labelBox(QPoint(5, kTop));
    QVERIFY(countIn(picture, first, isGreen) > 20);
    QCOMPARE(countOutside(picture, first, isGreen), 0);

    // A later one: its label where the previous area put the anchor, and no
    // outline of its own (its rectangle would show if the code were read as
    // one).
    s.set->roiCount[kD] = 2;
    const QPoint square[] = {{400, 100}, {560, 100}, {560, 250}, {400, 250}};
    s.set->roiShape[kD][0] = RoiShapePolygon;
    s.set->roiPolygon[kD][0] = RePolygon(4, square);
    s.set->roiShape[kD][1] = 0;
    s.set->roiRect[kD][1] = ClustomRect(QRect(QPoint(100, 100), QPoint(300, 250)));
    s.slot->roiOK[kD][1] = 0;
    picture = RenderFailPicture(s.scene(1));
    const QRect second = labelBox(QPoint(200, 40));
    QVERIFY(countIn(picture, second, isRed) > 20);
    QCOMPARE(countOutside(picture, second, isRed), 0);
}

void TestFailPicture::markAndDoorLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("doorFired");
    QTest::newRow("NG") << 0 << false;
    QTest::newRow("NG, safety door") << 0 << true;
    QTest::newRow("OK") << 1 << false;
    QTest::newRow("OK, safety door") << 1 << true;
}

void TestFailPicture::markAndDoorLine()
{
    QFETCH(int, kind);
    QFETCH(bool, doorFired);
    TestEnv env;
    Scene s(true);
    s.set->roiCount[kD] = 0;   // no areas: mark and reason line only

    const QImage picture = RenderFailPicture(s.scene(kind, doorFired));

    const auto pen = [kind](QRgb c) { return kind == 0 ? isRed(c) : isGreen(c); };
    const QRect mark(5, kTop - 26, 40, 32);
    const QRect door(5, kTop + 4, kW - 5, 32);
    QVERIFY(countIn(picture, mark, pen) > 20);
    if (doorFired)
        QVERIFY(countIn(picture, door, pen) > 100);
    else
        QCOMPARE(countIn(picture, door, pen), 0);
    QCOMPARE(countOutside(picture, mark.united(door), pen), 0);
    QCOMPARE(pixel(picture, 200, 200), frameAt(true, 200, 200));
}

void TestFailPicture::frameOfWrongSizeGivesBlack()
{
    TestEnv env;
    Scene s(false);
    s.slot->alignedFrame.resize(10);
    const QImage picture = RenderFailPicture(s.scene(0));
    QCOMPARE(picture.size(), QSize(kW, kH));
    QCOMPARE(pixel(picture, 10, 200), qRgb(0, 0, 0));
    QVERIFY(near(picture, 50, 70, isRed));   // the areas are drawn all the same
}

void TestFailPicture::stampNullPicture()
{
    TestEnv env;
    const StampedFailImage stamped = StampFailImage(QImage(), 7, 640);
    QVERIFY(stamped.picture.isNull());
    QCOMPARE(stamped.state, 8);
}

void TestFailPicture::slotStampTable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("next");
    QTest::addColumn<QString>("text");

    QTest::newRow("0 idle") << 0 << 0 << 0 << "";
    QTest::newRow("3 NG held") << 3 << 0 << 3 << "";
    QTest::newRow("4 don't detect") << 4 << 0 << 9 << "Alarm clear method:Don't Detect";
    QTest::newRow("5 added as template") << 5 << 0 << 9 << "Alarm clear method:Add As Temp";
    QTest::newRow("6 switched to mould") << 6 << 0 << 9 << "Alarm clear method:Re-detect switch to mold detection";
    QTest::newRow("7 re-check") << 7 << 0 << 8 << "Alarm clear method:Re-detected";
    QTest::newRow("8 OK after re-check") << 8 << 1 << 10 << "OK Image Re-detect";
    QTest::newRow("9 queued") << 9 << 0 << 9 << "";
    QTest::newRow("10 both queued") << 10 << 1 << 10 << "";
}

void TestFailPicture::slotStampTable()
{
    QFETCH(int, state);
    QFETCH(int, slot);
    QFETCH(int, next);
    QFETCH(QString, text);

    buildRig(false);
    gLan = 1;   // English texts; the rig gives the language back
    CammerWidget& cam = *rig_->slot[0];
    fillFrame(cam.alignedFrame, false, kW, kH);
    cam.savedSet->roiCount[kD] = 1;
    cam.savedSet->roiShape[kD][0] = RoiShapeRect;
    cam.savedSet->roiRect[kD][0] = ClustomRect(QRect(QPoint(100, 300), QPoint(300, 500)));
    cam.roiOK[kD][0] = 1;

    cam.SaveFailImage(kD, slot);
    const QImage before = FailImage(0, kD, slot);
    QVERIFY(!before.isNull());
    const QImage beforeCopy = before.copy();
    rig_->host.failImageState[0][kD] = state;

    cam.UpdateFailImage(kD, slot);

    QCOMPARE(rig_->host.failImageState[0][kD], next);
    QCOMPARE(FailImageStampText(state), text);
    const QImage after = FailImage(0, kD, slot);
    QVERIFY(FailImage(0, kD, 1 - slot).isNull());
    QCOMPARE(before, beforeCopy);   // a stamp never paints into a picture it shares
    if (text.isEmpty()) {
        QCOMPARE(after, beforeCopy);
        return;
    }
    QVERIFY(after != beforeCopy);
    // Red text from x = 55 on the top line; everything below it as it was.
    const QRect strip(55, kTop - 26, kW - 55, 34);
    QVERIFY(countIn(after, strip, isRed) > 20);
    QCOMPARE(countOutside(after, strip, isRed), countOutside(beforeCopy, strip, isRed));
    for (int y = kTop + 8; y < kH; ++y)
        QVERIFY2(std::memcmp(after.constScanLine(y), beforeCopy.constScanLine(y), 4 * kW) == 0,
                 qPrintable(QStringLiteral("row %1 changed").arg(y)));
}

void TestFailPicture::slotRenderLeavesViewAndFlags()
{
    buildRig(true);
    CammerWidget& cam = *rig_->slot[0];
    fillFrame(cam.alignedFrame, true, kW, kH);
    cam.savedSet->roiCount[kD] = 1;
    cam.savedSet->roiShape[kD][0] = RoiShapeRect;
    cam.savedSet->roiRect[kD][0] = ClustomRect(QRect(QPoint(400, 300), QPoint(600, 460)));
    cam.roiOK[kD][0] = 0;
    rig_->host.safetyDoorFired = true;
    gisSaveFail[0][kD][0] = true;
    const std::vector<uint32_t> view = cam.viewWords;

    cam.SaveFailImage(kD, 0);

    QVERIFY(cam.viewWords == view);
    QVERIFY(gisSaveFail[0][kD][0]);
    QVERIFY(!gisSaveFail[0][kD][1]);
    const QImage picture = FailImage(0, kD, 0);
    QCOMPARE(picture.size(), QSize(kW, kH));
    QCOMPARE(picture.format(), QImage::Format_RGB32);
    QVERIFY(near(picture, 200, 180, isRed));                                  // the area, scaled
    QVERIFY(countIn(picture, QRect(5, kTop + 4, kW - 5, 32), isRed) > 100);   // the door line
    QCOMPARE(pixel(picture, 100, 200), frameAt(true, 100, 200));
    QVERIFY(FailImage(0, kD, 1).isNull());
}

void TestFailPicture::retrainTemplate_data()
{
    QTest::addColumn<bool>("color");
    QTest::newRow("grey: 8-bit with the grey table") << false;
    QTest::newRow("colour: 32-bit") << true;
}

void TestFailPicture::retrainTemplate()
{
    QFETCH(bool, color);
    buildRig(color);
    CammerWidget& cam = *rig_->slot[0];
    rig_->host.para.netEnabled = 0;
    rig_->net.clear();
    fillFrame(cam.procFrame, color, kW, kH);

    cam.SaveReTrainImage(kD);

    QVERIFY(cam.alignedFrame == cam.procFrame);
    QVERIFY(cam.shownFrame == cam.procFrame);
    QVERIFY(cam.templates[kD][0] == cam.procFrame);
    QCOMPARE(cam.templateValid[kD][0], 1);
    const QString path = TemplateFile(0, kD, 0);
    QCOMPARE(path, QStringLiteral("./cammer12/template0.bmp"));
    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.size() > 54);
    const int bitCount = quint8(bytes[28]) | (quint8(bytes[29]) << 8);
    QImage file(path);
    QCOMPARE(file.size(), QSize(kW, kH));
    if (color) {
        QCOMPARE(file.depth(), 32);
        QVERIFY(bitCount >= 24);
    } else {
        QCOMPARE(bitCount, 8);
        QCOMPARE(file.format(), QImage::Format_Indexed8);
        QCOMPARE(file.colorTable(), GrayColorTable());
    }
    for (int y = 0; y < kH; y += 7)
        for (int x = 0; x < kW; x += 5)
            QCOMPARE(pixel(file, x, y), frameAt(color, x, y));
    QVERIFY2(rig_->net.calls().isEmpty(), "the relay is off");
}

void TestFailPicture::retrainRelay_data()
{
    addRelayOfferRows();
}

void TestFailPicture::retrainRelay()
{
    QFETCH(bool, netEnabled);
    QFETCH(bool, serverOpen);
    QFETCH(bool, linkAlive);
    buildRig(false);
    CammerWidget& cam = *rig_->slot[0];
    rig_->host.para.netEnabled = netEnabled;
    rig_->net.open = serverOpen;
    rig_->net.alive = linkAlive;
    rig_->net.clear();
    fillFrame(cam.procFrame, false, kW, kH);

    cam.SaveReTrainImage(kD);

    QVERIFY(QFile::exists(TemplateFile(0, kD, 0)));
    const QStringList expected = netEnabled && serverOpen && linkAlive
        ? QStringList{"temppic " + QDir::current().absoluteFilePath("cammer12/template0.bmp")}
        : QStringList{};
    QCOMPARE(rig_->net.calls(), expected);
}

void TestFailPicture::retrainWriteFailure()
{
    buildRig(false);
    CammerWidget& cam = *rig_->slot[0];
    rig_->host.para.netEnabled = 1;
    fillFrame(cam.procFrame, false, kW, kH);
    cam.SaveReTrainImage(kD);
    const QByteArray old = fileBytes(TemplateFile(0, kD, 0));
    QVERIFY(!old.isEmpty());
    rig_->net.clear();

    std::fill(cam.procFrame.begin(), cam.procFrame.end(), uchar(7));
    {
        ReadOnlyFolder readOnly(QStringLiteral("cammer12"));
        if (!readOnly.ok())
            QSKIP("cannot drop CAP_DAC_OVERRIDE, so a read-only folder stays writable");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write ./cammer12/template0.bmp"));
        cam.SaveReTrainImage(kD);
    }

    QVERIFY2(rig_->net.calls().isEmpty(), "an unwritten template is not announced");
    QVERIFY(fileBytes(TemplateFile(0, kD, 0)) == old);
    QCOMPARE(QDir("cammer12").entryList(QDir::Files | QDir::Hidden), QStringList{"template0.bmp"});
    // The template in memory is the new frame all the same.
    QVERIFY(cam.templates[kD][0] == cam.procFrame);
    QVERIFY(cam.shownFrame == cam.procFrame);
}

QTEST_MAIN(TestFailPicture)
#include "tst_failpicture.moc"
