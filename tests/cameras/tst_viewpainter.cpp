// What a camera view paints, rendered offscreen: the picture sources, the
// red blink, the views beyond the cameras in use, the grid's scaling, the
// texts kept inside a 1280-wide screen, the cavity names, the distance
// markers on the found edges and the editor's rubber band.
#include "cameraglobals.h"
#include "cyclecounters.h"
#include "fakeslothost.h"
#include "messages.h"
#include "relaylink.h"
#include "testenv.h"
#include "slotrig.h"
#include "testgeometry.h"
#include "viewpainter.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

namespace {

constexpr uchar kGrey = 0x40;
constexpr QRgb kGreyPixel = 0xFF404040u;

// Counts the cavity names asked for.
class CountingHost : public FakeSlotHost {
public:
    mutable int cavityAsks = 0;
    QString cavityName(int camera, int k) const override
    {
        ++cavityAsks;
        return FakeSlotHost::cavityName(camera, k);
    }
};

// One camera slot with a grey frame, its saved and work sets, a host and
// the view's picture buffer; imageW x imageH shown on a screen showA times
// larger, in the single view.
struct Scene {
    Scene(int w, int h, double showAW, double showAH = -1)
    {
        setTestGeometry(w, h, showAW, showAH);
        gColorLen = gImageLen;
        numCamera = 1;
        gDNum = 2;
        slot.AllocateSlotBuffers(w, h, false, 4);
        slot.templateCount[0] = 1;
        slot.savedSet = &saved;
        slot.workSet = &work;
        std::fill(slot.shownFrame.begin(), slot.shownFrame.end(), kGrey);
        words.assign(static_cast<size_t>(w * h), 0);
        image = QImage(reinterpret_cast<uchar*>(words.data()), w, h, w * 4, QImage::Format_RGB32);
        ViewState& v = host.view;
        v.viewCamera = 0;
        v.viewScaleX = static_cast<float>(gShowAW);
        v.viewScaleY = static_cast<float>(gShowAH);
        viewSize = QSize(gShowW, gShowH);
    }

    // A rectangle area of detection d in image pixels (inclusive), in both sets.
    int addRect(int d, int l, int t, int r, int b, int method = AreaFuncDefect)
    {
        int i = 0;
        for (CammerSingleton* set : {&saved, &work}) {
            i = set->roiCount[d]++;
            set->roiShape[d][i] = RoiShapeRect;
            set->roiMethod[d][i] = method;
            set->roiRect[d][i].rect = QRect(QPoint(int(l * gShowAW), int(t * gShowAH)),
                                            QPoint(int(r * gShowAW), int(b * gShowAH)));
            set->roiRect[d][i].setImageRect();
        }
        slot.roiOK[d][i] = 1;
        return i;
    }

    QImage paint(int source)
    {
        QImage out(viewSize, QImage::Format_RGB32);
        out.fill(Qt::black);
        texts.clear();
        QPainter p(&out);
        ViewPaintInput in;
        in.slot = &slot;
        in.host = &host;
        in.source = source;
        in.viewSize = viewSize;
        in.selRoi = selRoi;
        in.editor = &editor;
        in.buffer = ViewBuffer{words.data(), words.size()};
        in.viewImage = &image;
        in.texts = &texts;
        PaintCameraView(p, in);
        return out;
    }

    const DrawnText* text(const QString& part) const
    {
        for (const DrawnText& t : texts)
            if (t.text.contains(part))
                return &t;
        return nullptr;
    }

    CameraSlotState slot;
    CammerSingleton saved{0};
    CammerSingleton work{0};
    CountingHost host;
    EditorState editor;
    int selRoi = -1;
    std::vector<uint32_t> words;
    QImage image;
    QSize viewSize;
    std::vector<DrawnText> texts;
};

} // namespace

class TestViewPainter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init()
    {
        env_ = std::make_unique<TestEnv>();
        guard_ = std::make_unique<SlotGlobalsGuard>();
        gLan = 1;   // English
    }
    void cleanup()
    {
        guard_.reset();
        env_.reset();
    }
    void redBlinkReachesThePicture();
    void shareStampOnTheLivePicture_data();
    void shareStampOnTheLivePicture();
    void viewsBeyondTheCamerasInUse_data();
    void viewsBeyondTheCamerasInUse();
    void recentNG();
    void gridScalesLinesNotVerdict();
    void textsInsideA1280Screen_data();
    void textsInsideA1280Screen();
    void recordTitleClearOfThePage();
    void cavityNamesWrapAndAskOncePerBox();
    void distanceMarkersOnFoundEdges();
    void rubberBand_data();
    void rubberBand();

private:
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<SlotGlobalsGuard> guard_;
};

// Which overlays a context asks for is the overlay's own test; here the
// paint hands the cycle's page mode and the blink phase through to it.
void TestViewPainter::redBlinkReachesThePicture()
{
    Scene s(64, 48, 10.0);
    const int ng = s.addRect(0, 4, 4, 20, 20);
    s.addRect(0, 30, 4, 46, 20);
    s.slot.roiOK[0][ng] = 0;
    s.slot.isOK = 0;
    std::fill(s.slot.resultImage.begin(), s.slot.resultImage.end(), uchar(1));
    s.host.pageMode = PageModeAlarm;

    for (int phase : {1, 0}) {
        s.slot.alarmShow = phase;
        const QImage out = s.paint(PictureSourceLive);
        // Inside the NG area, and inside the OK area (never red), away from outlines.
        QCOMPARE(out.pixel(120, 150), phase ? qRgb(255, 0, 0) : kGreyPixel);
        QCOMPARE(out.pixel(380, 150), kGreyPixel);
    }
}

void TestViewPainter::shareStampOnTheLivePicture_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<bool>("stamped");
    QTest::newRow("monitoring, share running") << int(PictureSourceNone) << "2026-12-11 09:41:27 " << true;
    QTest::newRow("area page live, share running") << int(PictureSourceLive) << "2026-12-11 09:41:27 " << true;
    QTest::newRow("live, no share") << int(PictureSourceLive) << "" << false;
    QTest::newRow("template, share running") << int(PictureSourceTemplate) << "2026-12-11 09:41:27 " << false;
}

// While the camera share runs, the live picture carries its time stamp:
// green, in the lowest 100 rows, right-aligned; in the buffer the share
// sends and on the screen alike.
void TestViewPainter::shareStampOnTheLivePicture()
{
    QFETCH(int, source);
    QFETCH(QString, stamp);
    QFETCH(bool, stamped);
    RecordingRelayLink relay;
    relay.stamp = stamp;
    RelayLink* const before = gpNet;
    gpNet = &relay;
    Scene s(1280, 1024, 1.0);
    const QImage out = s.paint(source);
    gpNet = before;

    auto isGreen = [](QRgb c) { return qGreen(c) > 200 && qRed(c) < 90 && qBlue(c) < 90; };
    auto count = [&](const QImage& img, const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += isGreen(img.pixel(x, y));
        return n;
    };
    const QRect band(640, 924, 640, 100), above(0, 0, 1280, 924), left(0, 924, 400, 100);
    QCOMPARE(count(s.image, band) > 50, stamped);
    QCOMPARE(count(s.image, above), 0);
    QCOMPARE(count(s.image, left), 0);
    QCOMPARE(count(out, band) > 50, stamped);
}

void TestViewPainter::viewsBeyondTheCamerasInUse_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("painted");
    QTest::newRow("idle") << int(PictureSourceNone) << false;
    QTest::newRow("live") << int(PictureSourceLive) << false;
    QTest::newRow("template") << int(PictureSourceTemplate) << false;
    QTest::newRow("OK records") << int(PictureSourceOKRecord) << true;
    QTest::newRow("NG records") << int(PictureSourceNGRecord) << true;
}

void TestViewPainter::viewsBeyondTheCamerasInUse()
{
    QFETCH(int, source);
    QFETCH(bool, painted);
    Scene s(64, 48, 10.0);
    s.slot.camIndex = 1;   // numCamera is 1
    RecordPictures& rec = s.host.records;
    rec.recordImage = QImage(64, 48, QImage::Format_RGB32);
    rec.recordImage.fill(qRgb(0, 0, 200));
    rec.recordName = QStringLiteral("2026-12-10 08.00.00-1-NG");
    rec.recordCount = 5;
    rec.recordIndex = 1;

    const QImage out = s.paint(source);
    if (!painted) {
        QVERIFY(s.texts.empty());
        QCOMPARE(out.pixel(320, 300), qRgb(0, 0, 0));
        return;
    }
    QCOMPARE(out.pixel(320, 300), qRgb(0, 0, 200));
    QCOMPARE(s.texts.size(), size_t(1));
    const QString kind = Msg(source == PictureSourceOKRecord ? 216 : 217);
    QVERIFY2(s.texts[0].text.contains(kind) && s.texts[0].text.contains(rec.recordName) &&
                 s.texts[0].text.contains(QStringLiteral("2 / 5")),
             qPrintable(s.texts[0].text + QStringLiteral(" / kind ") + kind));
}

void TestViewPainter::recentNG()
{
    Scene s(64, 48, 10.0);
    s.slot.camIndex = 3;   // every view paints this source
    s.slot.recentShown = 1;
    s.slot.recentNGCount[0] = 7;
    s.host.runState = RunStateStopped;

    const QImage out = s.paint(PictureSourceRecentNG);
    QCOMPARE(out.pixel(320, 300), kGreyPixel);
    const QString lately = Msg(314).arg(Msg(263), QStringLiteral("2"), QStringLiteral("3"));
    QVERIFY(s.text(lately));
    const DrawnText* status = s.text(Msg(311));
    QVERIFY(status);
    QCOMPARE(status->color, QColor(Qt::red));
    QVERIFY(status->text.startsWith(Msg(313).arg(QStringLiteral("4"), Msg(263), Msg(311))));
}

void TestViewPainter::gridScalesLinesNotVerdict()
{
    Scene s(64, 48, 10.0);   // a 640 x 480 screen: the small layout
    s.addRect(0, 4, 4, 20, 20);
    s.host.pageMode = PageModeOKShown;
    s.paint(PictureSourceNone);
    QVERIFY(s.text(QStringLiteral("Cam 1")) && s.text(QStringLiteral("OK")));
    const int statusFull = s.text(QStringLiteral("Cam 1"))->rect.height();
    const int verdictFull = s.text(QStringLiteral("OK"))->rect.height();

    ViewState& v = s.host.view;
    v.viewCamera = numCamera;   // the grid
    v.viewFracX = v.viewFracY = 0.5f;
    v.viewScaleX = v.viewScaleY = 5.0f;
    s.viewSize = QSize(320, 240);
    s.paint(PictureSourceNone);
    QVERIFY(s.text(QStringLiteral("Cam 1")) && s.text(QStringLiteral("OK")));
    QVERIFY(qAbs(s.text(QStringLiteral("Cam 1"))->rect.height() - statusFull / 2) <= 1);
    QCOMPARE(s.text(QStringLiteral("OK"))->rect.height(), verdictFull);
}

void TestViewPainter::textsInsideA1280Screen_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("language");
    for (int lan = 0; lan < 3; ++lan) {
        const QByteArray l = QByteArray::number(lan);
        QTest::newRow("OK shown, language " + l) << int(PictureSourceNone) << int(PageModeOKShown) << lan;
        QTest::newRow("alarm, live, language " + l) << int(PictureSourceLive) << int(PageModeAlarm) << lan;
        QTest::newRow("template, language " + l) << int(PictureSourceTemplate) << int(PageModeArea) << lan;
        QTest::newRow("recent NG, language " + l) << int(PictureSourceRecentNG) << int(PageModeArea) << lan;
        QTest::newRow("NG record, language " + l) << int(PictureSourceNGRecord) << int(PageModeArea) << lan;
    }
}

void TestViewPainter::textsInsideA1280Screen()
{
    QFETCH(int, source);
    QFETCH(int, pageMode);
    QFETCH(int, language);
    gLan = language;
    Scene s(1280, 1024, 1.0, 800.0 / 1024.0);
    for (int k = 0; k < 12; ++k) {
        const int l = 100 * (k % 6) + 40;
        const int t = 300 * (k / 6) + 40;
        s.addRect(0, l, t, l + 80, t + 200, k == 3 ? AreaFuncWhiteCount : AreaFuncDefect);
        s.slot.roiValue[0][k] = 123456;
    }
    // An area whose label starts near the right edge.
    s.addRect(0, 1200, 600, 1270, 700);
    s.host.pageMode = pageMode;
    s.host.para.showCavityNumbers = 1;
    s.host.para.liveRoiDisplay = 1;
    s.host.delayTimerRunning[0] = true;
    s.host.delayCountdown[0] = 12.3f;
    for (int k = 0; k < 16; ++k) {
        s.saved.detectOptions[1][k] = 2;
        s.host.cavityNames[0][k] = QStringLiteral("CAV-%1-LONG").arg(k + 100);
    }
    s.slot.brightness = 255;
    gAllNum[0] = 123456789;
    gFailNum[0] = 98765;
    gTempTime = QStringLiteral("2026-12-10 08.00.00");
    RecordPictures& rec = s.host.records;
    rec.recordImage = QImage(64, 48, QImage::Format_RGB32);
    rec.recordName = QStringLiteral("2026-12-10 08.00.00-1-NG");
    rec.recordCount = 1234;
    rec.recordIndex = 1000;

    s.paint(source);
    QVERIFY(!s.texts.empty());
    for (const DrawnText& t : s.texts) {
        QVERIFY2(t.rect.left() >= 0 && t.rect.right() < 1280,
                 qPrintable(QStringLiteral("%1 at %2..%3").arg(t.text).arg(t.rect.left()).arg(t.rect.right())));
    }
}

void TestViewPainter::recordTitleClearOfThePage()
{
    gLan = LanEnglish;
    Scene s(1280, 1024, 1.0, 800.0 / 1024.0);
    QCOMPARE(gShowW, 1280);
    RecordPictures& rec = s.host.records;
    rec.recordImage = QImage(64, 48, QImage::Format_RGB32);
    rec.recordName = QStringLiteral("100001_2026-12-11 09.47.06");
    rec.recordCount = 1;
    s.host.pageMode = PageModeArea;
    // The column stands from x 1050 docked right, up to x 240 docked left.
    for (bool left : {false, true}) {
        s.host.pageAtLeft = left;
        s.texts.clear();
        s.paint(PictureSourceNGRecord);
        const DrawnText* title = nullptr;
        for (const DrawnText& t : s.texts)
            if (t.text.endsWith(rec.recordName))
                title = &t;
        QVERIFY(title);
        const QString where = QStringLiteral("%1..%2").arg(title->rect.left()).arg(title->rect.right());
        QVERIFY2(left ? title->rect.left() >= 240 && title->rect.right() < 1280 : title->rect.right() < 1050,
                 qPrintable(where));
    }
}

void TestViewPainter::cavityNamesWrapAndAskOncePerBox()
{
    Scene s(1280, 1024, 1.0, 800.0 / 1024.0);
    s.host.para.showCavityNumbers = 1;
    const int ticked[] = {0, 2, 3, 5, 7, 8, 9, 11, 12, 13, 15};
    for (int k : ticked) {
        s.saved.detectOptions[1][k] = 2;
        s.host.cavityNames[0][k] = QStringLiteral("N%1").arg(k);
    }
    s.saved.detectOptions[1][1] = 1;   // stored but not ticked
    s.paint(PictureSourceNone);
    QCOMPARE(s.host.cavityAsks, int(std::size(ticked)));

    // Rows start at x 242 and never pass the view's edge; a new row is 40 lower.
    QList<int> rows;
    for (int k : ticked) {
        const DrawnText* t = s.text(QStringLiteral("N%1#").arg(k));
        QVERIFY(t);
        if (!rows.contains(t->rect.top()))
            rows << t->rect.top();
    }
    QVERIFY(rows.size() >= 2);
    QCOMPARE(rows[1] - rows[0], 40);
    QVERIFY(!s.text(QStringLiteral("N1#")));

    // Not in the area page mode, nor with the template source.
    s.host.cavityAsks = 0;
    s.host.pageMode = PageModeArea;
    s.paint(PictureSourceNone);
    s.host.pageMode = PageModeNone;
    s.paint(PictureSourceTemplate);
    QCOMPARE(s.host.cavityAsks, 0);
}

void TestViewPainter::distanceMarkersOnFoundEdges()
{
    Scene s(64, 48, 10.0);
    s.host.para.liveRoiDisplay = 1;
    const int i = s.addRect(0, 10, 5, 50, 30, AreaFuncDistance);
    RoiAlarm& a = s.slot.roiAlarm[0][i];
    a.edgeFoundCount() = 2;
    a.setEdgeFoundPoint1({20, 10});
    a.setEdgeFoundPoint2({40, 10});

    const QImage out = s.paint(PictureSourceNone);
    // The line joins the found edges at image y 12: view y 120 under the
    // image scale of 10.
    QCOMPARE(out.pixel(300, 120), qRgb(0, 255, 255));
    QCOMPARE(out.pixel(30, 12), kGreyPixel);
}

void TestViewPainter::rubberBand_data()
{
    QTest::addColumn<int>("drawMode");
    QTest::addColumn<int>("editAction");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("rectangle, drawing") << 1 << int(EditActionDraw) << true;
    QTest::newRow("circle, drawing") << 4 << int(EditActionDraw) << true;
    QTest::newRow("polygon, drawing") << 2 << int(EditActionDraw) << true;
    QTest::newRow("rectangle, just pressed") << 1 << int(EditActionStart) << false;
    QTest::newRow("select tool") << 0 << int(EditActionDraw) << false;
}

void TestViewPainter::rubberBand()
{
    QFETCH(int, drawMode);
    QFETCH(int, editAction);
    QFETCH(bool, drawn);
    Scene s(64, 48, 10.0);
    s.host.view.drawMode = drawMode;
    s.editor.editAction = editAction;
    s.editor.drawRect.rect = QRect(QPoint(100, 100), QPoint(300, 300));
    s.editor.drawCircle.rect = QRect(QPoint(100, 100), QPoint(300, 300));
    s.editor.drawCircle.UpdateAll();
    s.editor.polyPoints[0] = QPoint(100, 200);
    s.editor.polyPoints[1] = QPoint(300, 200);
    s.editor.polyCount = 2;

    const QImage out = s.paint(PictureSourceTemplate);
    // Each band passes through (200, 100) or (200, 200).
    const bool green = out.pixel(200, 100) == qRgb(0, 255, 0) || out.pixel(200, 200) == qRgb(0, 255, 0);
    QCOMPARE(green, drawn);
}

QTEST_MAIN(TestViewPainter)
#include "tst_viewpainter.moc"
