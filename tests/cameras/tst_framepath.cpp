// The road of a frame from the camera bus to the painted view, driven as the
// main loop drives it: a 3 ms timer takes the newest frame over into the
// slot's processing frame, copies it into the shown frame and asks the view
// to repaint.  The bus's sequence source fills every byte of frame n with
// n & 0xFF, so the view's picture names the frame it shows.
#include "slotrig.h"

#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int kW = 64;
constexpr int kH = 48;
constexpr double kShowA = 10.0;   // a 640 x 480 screen
constexpr int kRunMs = 1000;

// Records, per view, the frame number the view was last asked to paint: the
// paint event passes here first, and nothing takes a frame over between this
// and the paint itself, both being on the GUI thread.
class PaintWatch : public QObject {
public:
    CammerWidget* view[kCameraSlots] = {};
    int lastTaken[kCameraSlots] = {};
    int painted[kCameraSlots] = {};   // frame number of the last paint, -1 none
    int paints[kCameraSlots] = {};

    PaintWatch() { std::fill(std::begin(painted), std::end(painted), -1); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            for (int k = 0; k < kCameraSlots; ++k)
                if (watched == view[k]) {
                    painted[k] = lastTaken[k];
                    ++paints[k];
                }
        return false;
    }
};

// Index of the first word of the view's picture that does not show grey
// value n, or -1 when all do.
int firstWrongWord(const CammerWidget& slot, int n)
{
    const auto* words = reinterpret_cast<const quint32*>(slot.viewRGBA);
    const quint32 expected = quint32(n) * 0x010101u;
    for (int i = 0; i < slot.imageW * slot.imageH; ++i)
        if ((words[i] & 0x00FFFFFFu) != expected)
            return i;
    return -1;
}

}   // namespace

class TestFramePath : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void newestFrameShown_data();
    void newestFrameShown();

private:
    std::unique_ptr<SlotRig> rig_;
};

void TestFramePath::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 2;
    gDNum = 1;
}

void TestFramePath::cleanup() { rig_.reset(); }

void TestFramePath::newestFrameShown_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<int>("isColor");
    QTest::addColumn<int>("fps");
    QTest::newRow("one camera alone, grey") << 1 << 0 << 60;
    QTest::newRow("two cameras in the grid, grey") << 2 << 0 << 60;
    QTest::newRow("one camera alone, colour") << 1 << 1 << 60;
    // Faster than the timer: most frames are replaced before they are taken.
    QTest::newRow("camera faster than the take-over") << 1 << 0 << 250;
}

void TestFramePath::newestFrameShown()
{
    QFETCH(int, cameras);
    QFETCH(int, isColor);
    QFETCH(int, fps);

    QString devices;
    for (int k = 0; k < cameras; ++k)
        devices += QStringLiteral("%1{\"family\":\"mindvision\",\"serial\":\"SEQ%2\",\"width\":%3,\"height\":%4,"
                                  "\"fps\":%5,\"source\":{\"kind\":\"sequence\"}}")
                       .arg(k ? QStringLiteral(",") : QString())
                       .arg(k)
                       .arg(kW)
                       .arg(kH)
                       .arg(fps);
    gisColor = isColor;
    QVERIFY(rig_->build(devices, kW, kH, kShowA));
    CammerWidget* const* slot = rig_->slot;
    QCOMPARE(numCamera, cameras);

    // One camera alone on the screen, or the cameras side by side.
    ViewState& view = rig_->host.view;
    view.viewCamera = cameras == 1 ? 0 : numCamera;
    view.viewFracX = cameras == 1 ? 1.0f : 0.5f;
    view.viewFracY = 1.0f;
    view.viewScaleX = static_cast<float>(gShowAW * view.viewFracX);
    view.viewScaleY = static_cast<float>(gShowAH);
    const int cellW = gShowW / (cameras == 1 ? 1 : 2);
    for (int k = 0; k < cameras; ++k) {
        slot[k]->setGeometry(k * cellW, 0, cellW, gShowH);
        slot[k]->show();
    }
    PaintWatch watch;
    for (int k = 0; k < cameras; ++k) {
        watch.view[k] = slot[k];
        slot[k]->installEventFilter(&watch);
    }
    rig_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));

    int taken[kCameraSlots] = {};
    int wentBack = 0, torn = 0, wrongPaint = 0;
    QString firstFault;
    auto fault = [&](int* counter, const QString& what) {
        ++*counter;
        if (firstFault.isEmpty())
            firstFault = what;
    };
    // What the last paint of each view showed must be the frame taken last
    // before it.
    auto checkPainted = [&] {
        for (int k = 0; k < cameras; ++k) {
            if (watch.painted[k] < 0)
                continue;
            const int wrong = firstWrongWord(*slot[k], watch.painted[k] & 0xFF);
            if (wrong >= 0) {
                const quint32 word = reinterpret_cast<const quint32*>(slot[k]->viewRGBA)[wrong];
                fault(&wrongPaint, QStringLiteral("camera %1 painted grey %2 at word %3, the frame taken was %4")
                                       .arg(k)
                                       .arg(word & 0xFF)
                                       .arg(wrong)
                                       .arg(watch.painted[k] & 0xFF));
            }
        }
    };

    QTimer takeOver;
    takeOver.setInterval(3);
    connect(&takeOver, &QTimer::timeout, this, [&] {
        checkPainted();
        for (int k = 0; k < cameras; ++k) {
            CammerWidget& s = *slot[k];
            if (!TakeNewFrame(&s, s.procFrame.data()))
                continue;
            const uchar n = s.procFrame[0];
            if (std::any_of(s.procFrame.begin(), s.procFrame.end(),
                            [&](uchar b) { return b != n && !(isColor && b == 255); }))
                fault(&torn, QStringLiteral("camera %1 took a mixed frame").arg(k));
            if (taken[k] > 0) {
                // Frame numbers count up by one per frame; a step of 128
                // or more (modulo 256) is a step back.
                const int step = (n - (watch.lastTaken[k] & 0xFF)) & 0xFF;
                if (step == 0 || step >= 128)
                    fault(&wentBack, QStringLiteral("camera %1 took frame %2 after %3")
                                         .arg(k)
                                         .arg(n)
                                         .arg(watch.lastTaken[k] & 0xFF));
            }
            std::copy(s.procFrame.begin(), s.procFrame.end(), s.shownFrame.begin());
            watch.lastTaken[k] = n;
            ++taken[k];
            s.update();
        }
    });
    takeOver.start();
    QTest::qWait(kRunMs);
    takeOver.stop();
    QCoreApplication::processEvents();
    checkPainted();

    QVERIFY2(firstFault.isEmpty(), qPrintable(firstFault));
    QCOMPARE(wentBack, 0);
    QCOMPARE(torn, 0);
    QCOMPARE(wrongPaint, 0);
    for (int k = 0; k < cameras; ++k) {
        // Some frames may be lost on a loaded machine; a handful must come.
        QVERIFY2(taken[k] >= 10, qPrintable(QStringLiteral("camera %1 took %2 frames").arg(k).arg(taken[k])));
        QVERIFY2(watch.paints[k] >= taken[k] / 2,
                 qPrintable(QStringLiteral("camera %1: %2 paints for %3 frames")
                                .arg(k)
                                .arg(watch.paints[k])
                                .arg(taken[k])));
        // The last frame taken is on the screen.
        QCOMPARE(watch.painted[k], watch.lastTaken[k]);
    }
}

QTEST_MAIN(TestFramePath)
#include "tst_framepath.moc"
