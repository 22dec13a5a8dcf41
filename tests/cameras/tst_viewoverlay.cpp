// The view's picture: the shown frame converted into the RGB32 buffer with
// the red blink, the ignore points and the slider preview written in, each
// only where it belongs and never outside the picture; the alarm boxes and
// the distance markers drawn over it.
#include "viewoverlay.h"

#include "testenv.h"
#include "testgeometry.h"

#include <QtTest>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>
#include <vector>

// Allocations made while counting is on; the view's paint must make none.
namespace {
std::atomic<bool> gCountAllocations{false};
std::atomic<int> gAllocations{0};

void* countedAlloc(std::size_t n)
{
    if (gCountAllocations.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n) { return countedAlloc(n); }
void* operator new[](std::size_t n) { return countedAlloc(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kW = 64;
constexpr int kH = 48;
constexpr double kShowA = 10.0;              // view pixels per image pixel
constexpr uchar kGrey = 0x40;
constexpr uint32_t kGreyWord = 0xFF404040u;  // kGrey as an RGB32 word
constexpr uint32_t kGuard = 0xDEADBEEFu;     // words after the picture
constexpr int kGuardWords = 2 * kW;

// A slot with a uniform grey frame, results and ignore points everywhere,
// its area set and a view buffer with guard words after the picture.
struct Scene {
    explicit Scene(bool color = false, int w = kW, int h = kH)
    {
        slot.AllocateSlotBuffers(w, h, color, 1);
        fillFrame(kGrey);
        std::fill(slot.resultImage.begin(), slot.resultImage.end(), uchar(1));
        view.assign(static_cast<size_t>(w * h + kGuardWords), kGuard);
    }

    void fillFrame(uchar v)
    {
        if (!slot.color) {
            std::fill(slot.shownFrame.begin(), slot.shownFrame.end(), v);
            return;
        }
        for (size_t k = 0; k < slot.shownFrame.size(); k += 4) {   // B, G, R, A
            slot.shownFrame[k] = v;
            slot.shownFrame[k + 1] = uchar(v + 1);
            slot.shownFrame[k + 2] = uchar(v + 2);
            slot.shownFrame[k + 3] = 0xFF;
        }
    }
    uint32_t frameWord() const
    {
        if (!slot.color)
            return 0xFF000000u | slot.shownFrame[0] * 0x010101u;
        return 0xFF000000u | uint32_t(slot.shownFrame[2]) << 16 | uint32_t(slot.shownFrame[1]) << 8
            | slot.shownFrame[0];
    }

    // Appends a rectangle area of detection d given in image pixels
    // (inclusive), through the shape's own conversion from view coordinates.
    int addRect(int d, int l, int t, int r, int b, bool ok = true)
    {
        const int i = set.roiCount[d]++;
        set.roiShape[d][i] = RoiShapeRect;
        set.roiMethod[d][i] = AreaFuncDefect;
        set.roiRect[d][i].rect = QRect(QPoint(int(l * kShowA), int(t * kShowA)), QPoint(int(r * kShowA), int(b * kShowA)));
        set.roiRect[d][i].setImageRect();
        slot.roiOK[d][i] = ok ? 1 : 0;
        return i;
    }

    bool write(int d, int source, int pageMode, int selRoi = -1)
    {
        ViewOverlayContext c;
        c.source = source;
        c.pageMode = pageMode;
        c.selRoi = selRoi;
        return WriteViewPicture(slot, set, d, c, {view.data(), static_cast<size_t>(slot.imageLen)});
    }

    // The frame with the given rectangles painted in colour.
    std::vector<uint32_t> expected(const std::vector<cv::Rect>& marked, uint32_t colour) const
    {
        std::vector<uint32_t> e(view.size(), kGuard);
        std::fill(e.begin(), e.begin() + slot.imageLen, frameWord());
        for (const cv::Rect& r : marked) {
            for (int y = r.y; y < r.y + r.height; ++y)
                for (int x = r.x; x < r.x + r.width; ++x)
                    e[static_cast<size_t>(y * slot.imageW + x)] = colour;
        }
        return e;
    }

    CameraSlotState slot;
    CammerSingleton set{0};
    std::vector<uint32_t> view;
};

// First differing word, for a readable failure.
QByteArray firstDifference(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want, int w)
{
    for (size_t k = 0; k < got.size(); ++k) {
        if (got[k] != want[k])
            return QStringLiteral("word %1 (x %2, y %3): %4, expected %5")
                .arg(k).arg(int(k) % w).arg(int(k) / w)
                .arg(got[k], 8, 16, QChar('0')).arg(want[k], 8, 16, QChar('0')).toUtf8();
    }
    return {};
}

#define COMPARE_PICTURE(scene, want) \
    QVERIFY2((scene).view == (want), firstDifference((scene).view, (want), (scene).slot.imageW).constData())

const cv::Rect kNgRect(4, 4, 10, 10);    // image pixels (4, 4)-(13, 13)
const cv::Rect kOkRect(30, 4, 10, 10);

} // namespace

class TestViewOverlay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void redBlinkOnlyInAlarmWithLiveSourceOnNgAreas_data();
    void redBlinkOnlyInAlarmWithLiveSourceOnNgAreas();
    void ignorePointsOnlyWithTemplateSourceInsideAreas_data();
    void ignorePointsOnlyWithTemplateSourceInsideAreas();
    void previewOfSelectedAreaWhileTestShown_data();
    void previewOfSelectedAreaWhileTestShown();
    void areaOutsidePictureWritesNothingOutside_data();
    void areaOutsidePictureWritesNothingOutside();
    void shortBuffersAreNeverOverrun();
    void repeatedCallsDoNotAccumulate_data();
    void repeatedCallsDoNotAccumulate();
    void paintAllocatesNothing_data();
    void paintAllocatesNothing();
    void alarmBoxes_data();
    void alarmBoxes();
    void distanceMarkersLieOnFoundEdges_data();
    void distanceMarkersLieOnFoundEdges();

private:
    TestEnv env_;
};

void TestViewOverlay::initTestCase()
{
    setTestGeometry(kW, kH, kShowA);
}

void TestViewOverlay::redBlinkOnlyInAlarmWithLiveSourceOnNgAreas_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("alarmShow");
    QTest::addColumn<bool>("red");
    QTest::newRow("alarm, live, shown") << int(PageModeAlarm) << int(PictureSourceLive) << 1 << true;
    QTest::newRow("alarm, live, dark phase") << int(PageModeAlarm) << int(PictureSourceLive) << 0 << false;
    QTest::newRow("alarm, idle source") << int(PageModeAlarm) << int(PictureSourceNone) << 1 << false;
    QTest::newRow("alarm, template source") << int(PageModeAlarm) << int(PictureSourceTemplate) << 1 << false;
    QTest::newRow("alarm, recent NG") << int(PageModeAlarm) << int(PictureSourceRecentNG) << 1 << false;
    QTest::newRow("monitoring, live") << int(PageModeNone) << int(PictureSourceLive) << 1 << false;
    QTest::newRow("OK shown, live") << int(PageModeOKShown) << int(PictureSourceLive) << 1 << false;
    QTest::newRow("area page, live") << int(PageModeArea) << int(PictureSourceLive) << 1 << false;
}

void TestViewOverlay::redBlinkOnlyInAlarmWithLiveSourceOnNgAreas()
{
    QFETCH(int, pageMode);
    QFETCH(int, source);
    QFETCH(int, alarmShow);
    QFETCH(bool, red);

    // Results everywhere; only the NG area's rectangle may turn red.
    Scene s;
    const int d = 2;
    s.addRect(d, 4, 4, 13, 13, false);
    s.addRect(d, 30, 4, 39, 13, true);
    s.slot.isOK = 0;
    s.slot.alarmShow = alarmShow;
    s.set.roiShape[d][2] = RoiShapeRect;   // a stale NG area past the count
    s.set.roiRect[d][2].imgRight = kW - 1;
    s.set.roiRect[d][2].imgBottom = kH - 1;

    QVERIFY(s.write(d, source, pageMode));
    COMPARE_PICTURE(s, s.expected(red ? std::vector<cv::Rect>{kNgRect} : std::vector<cv::Rect>{}, kOverlayRed));
}

void TestViewOverlay::ignorePointsOnlyWithTemplateSourceInsideAreas_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("cyan");
    QTest::newRow("template") << int(PictureSourceTemplate) << true;
    QTest::newRow("live") << int(PictureSourceLive) << false;
    QTest::newRow("idle") << int(PictureSourceNone) << false;
    QTest::newRow("recent NG") << int(PictureSourceRecentNG) << false;
}

void TestViewOverlay::ignorePointsOnlyWithTemplateSourceInsideAreas()
{
    QFETCH(int, source);
    QFETCH(bool, cyan);

    // Ignore points everywhere in detection 1, whose two areas (OK or NG
    // alike) show them; detection 0's area and its mask do not count.
    Scene s;
    const int d = 1;
    std::fill(s.slot.resultImage.begin(), s.slot.resultImage.end(), uchar(0));
    std::fill(s.slot.ignoreMask[d].begin(), s.slot.ignoreMask[d].end(), uchar(255));
    std::fill(s.slot.ignoreMask[0].begin(), s.slot.ignoreMask[0].end(), uchar(255));
    s.addRect(d, 4, 4, 13, 13, false);
    s.addRect(d, 30, 4, 39, 13, true);
    s.addRect(0, 4, 30, 13, 40);

    QVERIFY(s.write(d, source, PageModeArea));
    COMPARE_PICTURE(s, s.expected(cyan ? std::vector<cv::Rect>{kNgRect, kOkRect} : std::vector<cv::Rect>{}, kOverlayCyan));

    // The area page's unsaved work copy is what is shown: its points are
    // left in the first area only.
    std::vector<uchar>& work = s.slot.ignoreWorkMask[d];
    work.assign(s.slot.ignoreMask[d].size(), uchar(0));
    for (int y = 0; y < kH; ++y)
        std::fill_n(work.begin() + y * kW, 20, uchar(255));
    QVERIFY(s.write(d, source, PageModeArea));
    COMPARE_PICTURE(s, s.expected(cyan ? std::vector<cv::Rect>{kNgRect} : std::vector<cv::Rect>{}, kOverlayCyan));
}

void TestViewOverlay::previewOfSelectedAreaWhileTestShown_data()
{
    QTest::addColumn<int>("testShown");
    QTest::addColumn<int>("selRoi");
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("cyan");
    QTest::newRow("shown, area 1 selected") << 1 << 1 << int(PictureSourceTemplate) << true;
    QTest::newRow("shown, live source") << 1 << 1 << int(PictureSourceLive) << true;
    QTest::newRow("not shown") << 0 << 1 << int(PictureSourceTemplate) << false;
    QTest::newRow("nothing selected") << 1 << -1 << int(PictureSourceTemplate) << false;
    QTest::newRow("selection beyond the count") << 1 << 2 << int(PictureSourceTemplate) << false;
}

void TestViewOverlay::previewOfSelectedAreaWhileTestShown()
{
    QFETCH(int, testShown);
    QFETCH(int, selRoi);
    QFETCH(int, source);
    QFETCH(bool, cyan);

    Scene s;
    const int d = 0;
    s.addRect(d, 30, 4, 39, 13);
    s.addRect(d, 4, 4, 13, 13);
    s.set.roiShape[d][2] = RoiShapeRect;   // a stale area past the count
    s.set.roiRect[d][2].imgRight = kW - 1;
    s.set.roiRect[d][2].imgBottom = kH - 1;
    s.slot.testShown = uchar(testShown);

    QVERIFY(s.write(d, source, PageModeArea, selRoi));
    COMPARE_PICTURE(s, s.expected(cyan ? std::vector<cv::Rect>{kNgRect} : std::vector<cv::Rect>{}, kOverlayCyan));
}

void TestViewOverlay::areaOutsidePictureWritesNothingOutside_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<QRect>("image");   // left, top, right, bottom as stored
    QTest::addColumn<QRect>("marked");  // x, y, width, height; null: nothing
    QTest::newRow("right half outside") << int(RoiShapeRect) << QRect(QPoint(56, 10), QPoint(71, 20)) << QRect(56, 10, 8, 11);
    QTest::newRow("top left outside") << int(RoiShapeRect) << QRect(QPoint(-5, -5), QPoint(4, 4)) << QRect(0, 0, 5, 5);
    QTest::newRow("circle below") << int(RoiShapeCircle) << QRect(QPoint(10, 40), QPoint(20, 60)) << QRect(10, 40, 11, 8);
    QTest::newRow("polygon right") << int(RoiShapePolygon) << QRect(QPoint(60, 0), QPoint(200, 3)) << QRect(60, 0, 4, 4);
    QTest::newRow("wholly outside") << int(RoiShapeRect) << QRect(QPoint(70, 50), QPoint(80, 60)) << QRect();
    QTest::newRow("extreme values") << int(RoiShapeRect) << QRect(QPoint(INT_MIN, INT_MIN), QPoint(INT_MAX, INT_MAX))
                                    << QRect(0, 0, kW, kH);
    QTest::newRow("inverted") << int(RoiShapeRect) << QRect(QPoint(20, 20), QPoint(10, 10)) << QRect();
    QTest::newRow("unknown shape code") << 3 << QRect(QPoint(0, 0), QPoint(10, 10)) << QRect();
}

void TestViewOverlay::areaOutsidePictureWritesNothingOutside()
{
    QFETCH(int, shape);
    QFETCH(QRect, image);
    QFETCH(QRect, marked);

    // The stored image rectangle as a stale or damaged record may hold it;
    // every shape's rectangle gets it, the shape code picks one.
    Scene s;
    const int d = 0;
    s.slot.alarmShow = 1;
    s.set.roiCount[d] = 1;
    s.set.roiShape[d][0] = shape;
    for (ShapeImageRect* r : {static_cast<ShapeImageRect*>(&s.set.roiRect[d][0]),
                              static_cast<ShapeImageRect*>(&s.set.roiCircle[d][0]),
                              static_cast<ShapeImageRect*>(&s.set.roiPolygon[d][0])}) {
        r->imgLeft = image.left();
        r->imgTop = image.top();
        r->imgRight = image.right();
        r->imgBottom = image.bottom();
    }
    s.slot.roiOK[d][0] = 0;

    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    std::vector<cv::Rect> want;
    if (!marked.isNull())
        want.push_back(cv::Rect(marked.x(), marked.y(), marked.width(), marked.height()));
    COMPARE_PICTURE(s, s.expected(want, kOverlayRed));

    // Same with the ignore points and the preview over the same rectangle.
    std::fill(s.slot.ignoreMask[d].begin(), s.slot.ignoreMask[d].end(), uchar(255));
    s.slot.testShown = 1;
    QVERIFY(s.write(d, PictureSourceTemplate, PageModeArea, 0));
    COMPARE_PICTURE(s, s.expected(want, kOverlayCyan));
}

void TestViewOverlay::shortBuffersAreNeverOverrun()
{
    Scene s;
    const int d = 0;
    s.addRect(d, 0, 0, kW - 1, kH - 1, false);
    s.slot.alarmShow = 1;
    s.slot.isOK = 0;
    std::fill(s.slot.ignoreMask[d].begin(), s.slot.ignoreMask[d].end(), uchar(255));
    ViewOverlayContext alarm;
    alarm.source = PictureSourceLive;
    alarm.pageMode = PageModeAlarm;

    // A view buffer smaller than the picture: refused, untouched.
    const std::vector<uint32_t> untouched = s.view;
    QVERIFY(!WriteViewPicture(s.slot, s.set, d, alarm, {s.view.data(), size_t(kW * kH - 1)}));
    QVERIFY(!WriteViewPicture(s.slot, s.set, d, alarm, {nullptr, size_t(kW * kH)}));
    QVERIFY(s.view == untouched);

    // Result and ignore planes shorter than the picture mark nothing.
    s.slot.resultImage.resize(10);
    s.slot.ignoreMask[d].resize(10);
    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    COMPARE_PICTURE(s, s.expected({}, 0));
    QVERIFY(s.write(d, PictureSourceTemplate, PageModeArea));
    COMPARE_PICTURE(s, s.expected({}, 0));

    // A shown frame shorter than the picture gives black, not stale pixels.
    s.slot.shownFrame.resize(10);
    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    std::vector<uint32_t> black(s.view.size(), kGuard);
    std::fill(black.begin(), black.begin() + kW * kH, 0xFF000000u);
    COMPARE_PICTURE(s, black);

    // A detection out of range: the frame only.
    s.slot.shownFrame.assign(size_t(kW * kH), kGrey);
    QVERIFY(s.write(kDetections, PictureSourceTemplate, PageModeArea));
    QVERIFY(s.write(-1, PictureSourceTemplate, PageModeArea));
    COMPARE_PICTURE(s, s.expected({}, 0));
}

void TestViewOverlay::repeatedCallsDoNotAccumulate_data()
{
    QTest::addColumn<bool>("color");
    QTest::newRow("grey") << false;
    QTest::newRow("colour") << true;
}

void TestViewOverlay::repeatedCallsDoNotAccumulate()
{
    QFETCH(bool, color);

    Scene s(color);
    const int d = 0;
    s.addRect(d, 4, 4, 13, 13, false);
    s.slot.isOK = 0;
    std::fill(s.slot.ignoreMask[d].begin(), s.slot.ignoreMask[d].end(), uchar(255));

    // Blink on, blink off: the red is gone.
    s.slot.alarmShow = 1;
    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    COMPARE_PICTURE(s, s.expected({kNgRect}, kOverlayRed));
    s.slot.alarmShow = 0;
    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    COMPARE_PICTURE(s, s.expected({}, 0));

    // Ignore points with the template source, gone with the next live paint.
    QVERIFY(s.write(d, PictureSourceTemplate, PageModeArea));
    COMPARE_PICTURE(s, s.expected({kNgRect}, kOverlayCyan));
    QVERIFY(s.write(d, PictureSourceLive, PageModeArea));
    COMPARE_PICTURE(s, s.expected({}, 0));

    // A new frame replaces every pixel, the overlay written over it again.
    s.fillFrame(0x90);
    s.slot.alarmShow = 1;
    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    QVERIFY(s.write(d, PictureSourceLive, PageModeAlarm));
    COMPARE_PICTURE(s, s.expected({kNgRect}, kOverlayRed));
}

void TestViewOverlay::paintAllocatesNothing_data()
{
    QTest::addColumn<bool>("color");
    QTest::newRow("grey 1280x1024") << false;
    QTest::newRow("colour 1280x1024") << true;
}

void TestViewOverlay::paintAllocatesNothing()
{
    QFETCH(bool, color);

    // The full-size picture with 50 NG areas, ignore points and a preview:
    // every overlay loop and the conversion run.
    setTestGeometry(1280, 1024, 1.0, 800.0 / 1024.0);
    Scene s(color, 1280, 1024);
    std::fill(s.slot.ignoreMask[1].begin(), s.slot.ignoreMask[1].end(), uchar(255));
    for (int i = 0; i < kAreas; ++i) {
        for (int d : {0, 1}) {
            s.set.roiCount[d] = kAreas;
            s.set.roiShape[d][i] = RoiShapeRect;
            s.set.roiRect[d][i].rect = QRect(20 * i, 10 * i, 200, 150);
            s.set.roiRect[d][i].setImageRect();
            s.slot.roiOK[d][i] = 0;
        }
    }
    s.slot.alarmShow = 1;
    s.slot.testShown = 1;
    ViewOverlayContext alarm;
    alarm.source = PictureSourceLive;
    alarm.pageMode = PageModeAlarm;
    alarm.selRoi = 3;
    ViewOverlayContext templ;
    templ.source = PictureSourceTemplate;
    templ.pageMode = PageModeArea;
    templ.selRoi = 3;
    const ViewBuffer buffer{s.view.data(), s.view.size()};

    // Once before counting: the library's first call sets up its own state.
    QVERIFY(WriteViewPicture(s.slot, s.set, 0, alarm, buffer) && WriteViewPicture(s.slot, s.set, 1, templ, buffer));
    gAllocations = 0;
    gCountAllocations = true;
    const bool ok = WriteViewPicture(s.slot, s.set, 0, alarm, buffer) && WriteViewPicture(s.slot, s.set, 1, templ, buffer)
        && AlarmBoxesToDraw(s.slot, s.set, 0, 1, alarm).count == 0
        && DistanceMarkersToDraw(s.slot, s.set, 0, 1, 1.0, 1.0).rings == 0;
    gCountAllocations = false;
    setTestGeometry(kW, kH, kShowA);

    QVERIFY(ok);
    QCOMPARE(gAllocations.load(), 0);
    QCOMPARE(s.view[0], kOverlayCyan);   // area 0's ignore points, written last
}

void TestViewOverlay::alarmBoxes_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("isOK");
    QTest::addColumn<int>("roiOK");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("count");
    const int alarm = PageModeAlarm;
    const int live = PictureSourceLive;
    const int defect = AreaFuncDefect;
    QTest::newRow("3 boxes") << alarm << live << 0 << 0 << defect << 3 << 3;
    QTest::newRow("none stored") << alarm << live << 0 << 0 << defect << 0 << 0;
    QTest::newRow("99 boxes") << alarm << live << 0 << 0 << defect << 99 << 99;
    QTest::newRow("count 100 taken as 99") << alarm << live << 0 << 0 << defect << 100 << 99;
    QTest::newRow("huge count taken as 99") << alarm << live << 0 << 0 << defect << INT_MAX << 99;
    QTest::newRow("negative count taken as 0") << alarm << live << 0 << 0 << defect << -7 << 0;
    QTest::newRow("distance area") << alarm << live << 0 << 0 << int(AreaFuncDistance) << 2 << 0;
    QTest::newRow("spot area") << alarm << live << 0 << 0 << int(AreaFuncSpot) << 2 << 2;
    QTest::newRow("OK area") << alarm << live << 0 << 1 << defect << 3 << 0;
    QTest::newRow("OK camera") << alarm << live << 1 << 0 << defect << 3 << 0;
    QTest::newRow("template source") << alarm << int(PictureSourceTemplate) << 0 << 0 << defect << 3 << 0;
    QTest::newRow("idle source") << alarm << int(PictureSourceNone) << 0 << 0 << defect << 3 << 0;
    QTest::newRow("monitoring") << int(PageModeNone) << live << 0 << 0 << defect << 3 << 0;
    QTest::newRow("OK shown") << int(PageModeOKShown) << live << 0 << 0 << defect << 3 << 0;
}

void TestViewOverlay::alarmBoxes()
{
    QFETCH(int, pageMode);
    QFETCH(int, source);
    QFETCH(int, isOK);
    QFETCH(int, roiOK);
    QFETCH(int, method);
    QFETCH(int, stored);
    QFETCH(int, count);

    Scene s;
    const int d = 3;
    const int i = s.addRect(d, 4, 4, 13, 13, roiOK != 0);
    s.set.roiMethod[d][i] = method;
    s.slot.isOK = uchar(isOK);
    RoiAlarm& rec = s.slot.roiAlarm[d][i];
    for (int n = 1; n <= RoiAlarm::kMaxBoxes; ++n)
        rec.setBox(n, n, 2 * n, n + 5, 2 * n + 7);
    rec.boxCount() = stored;
    ViewOverlayContext c;
    c.pageMode = pageMode;
    c.source = source;

    const AlarmBoxes boxes = AlarmBoxesToDraw(s.slot, s.set, d, i, c);
    QCOMPARE(boxes.count, count);
    for (int k = 0; k < boxes.count; ++k)
        QCOMPARE(boxes.box(k), QRect(k + 1, 2 * (k + 1), 5, 7));
    QCOMPARE(AlarmBoxesToDraw(s.slot, s.set, d, i + 1, c).count, 0);   // past the area count
}

void TestViewOverlay::distanceMarkersLieOnFoundEdges_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("found");
    QTest::addColumn<double>("scaleX");
    QTest::addColumn<double>("scaleY");
    QTest::addColumn<int>("rings");
    QTest::addColumn<QRect>("ring1");
    QTest::addColumn<QRect>("ring2");
    QTest::addColumn<QLine>("line");   // null: none
    const int distance = AreaFuncDistance;
    // Found edges at image (40, 20) and (100, 60).
    QTest::newRow("scale 1, both edges") << distance << 2 << 1.0 << 1.0 << 2
        << QRect(QPoint(37, 20), QPoint(41, 24)) << QRect(QPoint(97, 60), QPoint(101, 64))
        << QLine(40, 22, 100, 62);
    QTest::newRow("scale 0.5 x 0.75, both edges") << distance << 2 << 0.5 << 0.75 << 2
        << QRect(QPoint(17, 15), QPoint(21, 19)) << QRect(QPoint(47, 45), QPoint(51, 49))
        << QLine(20, 17, 50, 47);
    QTest::newRow("scale 2 x 2.5, one edge") << distance << 1 << 2.0 << 2.5 << 1
        << QRect(QPoint(77, 50), QPoint(81, 54)) << QRect() << QLine();
    QTest::newRow("no edge found") << distance << 0 << 2.0 << 2.0 << 0 << QRect() << QRect() << QLine();
    QTest::newRow("not a distance area") << int(AreaFuncSpot) << 2 << 1.0 << 1.0 << 0 << QRect() << QRect() << QLine();
}

void TestViewOverlay::distanceMarkersLieOnFoundEdges()
{
    QFETCH(int, method);
    QFETCH(int, found);
    QFETCH(double, scaleX);
    QFETCH(double, scaleY);
    QFETCH(int, rings);
    QFETCH(QRect, ring1);
    QFETCH(QRect, ring2);
    QFETCH(QLine, line);

    Scene s;
    const int d = 0;
    const int i = s.addRect(d, 4, 4, 13, 13, false);
    s.set.roiMethod[d][i] = method;
    RoiAlarm& rec = s.slot.roiAlarm[d][i];
    rec.edgeFoundCount() = found;
    rec.setEdgeFoundPoint1({40, 20});
    rec.setEdgeFoundPoint2({100, 60});

    const DistanceMarkers m = DistanceMarkersToDraw(s.slot, s.set, d, i, scaleX, scaleY);
    QCOMPARE(m.rings, rings);
    if (rings >= 1) {
        QCOMPARE(m.ring[0], ring1);
        // The ring spans the found edge's column under the scale.
        QVERIFY(m.ring[0].left() <= 40 * scaleX && 40 * scaleX <= m.ring[0].right());
    }
    if (rings == 2)
        QCOMPARE(m.ring[1], ring2);
    QCOMPARE(m.hasLine, !line.isNull());
    if (m.hasLine)
        QCOMPARE(m.line, line);
}

QTEST_GUILESS_MAIN(TestViewOverlay)
#include "tst_viewoverlay.moc"
