// The camera slot as the main window builds it on the simulated bus: which
// slots are built whole, what they load, the hidden controls, the NG blink,
// the touch navigation, the pointer read-out and the live-video share.
#include "colorbutton.h"
#include "combobox.h"
#include "checkbox.h"
#include "messages.h"
#include "numberinput.h"
#include "slider.h"
#include "slotrig.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

constexpr int kW = 64;
constexpr int kH = 48;
constexpr double kShowA = 10.0;   // a 640 x 480 screen

QString dev(const QString& serial)
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
        .arg(serial)
        .arg(kW)
        .arg(kH);
}

// A camera of the saved set: two areas in detection 0, one in detection 1.
std::unique_ptr<CammerSingleton> fixtureSet(int camera)
{
    auto set = std::make_unique<CammerSingleton>(camera);
    set->roiCount[0] = 2;
    set->SetDefaultArea(0, 0);
    set->SetDefaultArea(0, 1);
    set->roiRect[0][1] = ClustomRect(QRect(100, 120, 200, 60));
    set->roiRect[0][1].setImageRect();
    set->roiMethod[0][1] = 3;
    set->roiCount[1] = 1;
    set->SetDefaultArea(1, 0);
    return set;
}

} // namespace

class TestCammerWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();
    void construction_data();
    void construction();
    void savedSetLoadedWithMasks();
    void blink();
    void deselectEndsGesturesAndSelection();
    void pressWithSideBarHidden();
    void gridPress_data();
    void gridPress();
    void pressOutsideUsedSlots();
    void doubleClickIsAPress();
    void panning_data();
    void panning();
    void pointerReadOut_data();
    void pointerReadOut();
    void liveShare_data();
    void liveShare();

private:
    // Loads the bus, probes and builds the eight slots as the main window does.
    // Cameras of failOpen are found by the probe but fail every later open.
    void build(const QString& devicesJson, int slotCount = kCameraSlots, const QStringList& failOpen = {});
    void showGrid();
    std::unique_ptr<SlotRig> rig_;
};

void TestCammerWidget::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 4;
    gDNum = 2;
}

void TestCammerWidget::cleanup() { rig_.reset(); }

void TestCammerWidget::build(const QString& devicesJson, int slotCount, const QStringList& failOpen)
{
    QVERIFY(rig_->build(devicesJson, kW, kH, kShowA, slotCount, failOpen));
}

void TestCammerWidget::showGrid()
{
    // Two columns of cells, as the grid lays them out.
    for (int k = 0; k < kCameraSlots; ++k)
        if (rig_->slot[k]) {
            rig_->slot[k]->setGeometry((k % 2) * gShowW / 2, (k / 2) * gShowH / 4, gShowW / 2, gShowH / 4);
            rig_->slot[k]->show();
        }
    rig_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));
}

void TestCammerWidget::construction_data()
{
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QStringList>("failOpen");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("expectedCameras");
    QTest::addColumn<int>("completeSlots");   // slots 0 .. n - 1 complete, the rest minimal

    const QString two = dev("CAM01") + "," + dev("CAM02");
    QTest::newRow("two found, both open") << two << QStringList() << int(CameraKindMindVision) << 2 << 2;
    QTest::newRow("slot 1 fails to open") << two << QStringList{"CAM02"} << int(CameraKindMindVision) << 1 << 2;
    QTest::newRow("nothing on the bus") << QString() << QStringList() << int(CameraKindNone) << 4 << 4;
    QTest::newRow("all fail to open") << two << QStringList{"CAM01", "CAM02"} << int(CameraKindMindVision) << 0
                                      << 2;
}

void TestCammerWidget::construction()
{
    QFETCH(QString, devices);
    QFETCH(QStringList, failOpen);
    QFETCH(int, kind);
    QFETCH(int, expectedCameras);
    QFETCH(int, completeSlots);

    build(devices, kCameraSlots, failOpen);
    QCOMPARE(gCameraID, kind);
    QCOMPARE(numCamera, expectedCameras);
    QVERIFY(numCamera <= gFindCamera);

    for (int k = 0; k < kCameraSlots; ++k) {
        const CammerWidget* s = rig_->slot[k];
        QCOMPARE(s->camIndex, k);
        QVERIFY(s->isHidden());
        QCOMPARE(s->viewImage.size(), QSize(kW, kH));
        QCOMPARE(s->viewImage.constBits(), s->viewRGBA);
        QCOMPARE(s->selRoi, -1);
        QCOMPARE(s->lastSelRoi, -1);
        const bool complete = k < completeSlots;
        QCOMPARE(s->complete(), complete);
        if (!complete) {
            QVERIFY(!s->recong && !s->savedSet && !s->workSet && !s->alarmTimer && !s->moveUpButton);
            for (int d = 0; d < kDetections; ++d)
                QVERIFY(s->templates[d].empty());
            QVERIFY(s->procFrame.empty());
            continue;
        }
        QVERIFY(s->recong && s->savedSet && s->workSet);
        QCOMPARE(s->recong->savedSet, s->savedSet);
        QCOMPARE(s->isOK, uchar(1));
        QCOMPARE(s->alarmShow, 0);
        QCOMPARE(s->moveMode, int(MoveModeShowPanel));
        QVERIFY(!s->paraSwitch);
        QCOMPARE(s->alarmTimer->parent(), s);
        // Every detection, including those beyond gDNum, has its base template
        // and its buffers.
        for (int d = 0; d < kDetections; ++d) {
            QCOMPARE(s->templateCount[d], 1);
            QCOMPARE(s->templateValid[d][0], 1);
            QCOMPARE(s->ignoreMask[d].size(), size_t(kW * kH));
        }
        // Controls exist, hidden, with the small layout's geometry.
        const QWidget* controls[] = {s->minSizeSlider, s->sensibilitySlider, s->maxAreaSlider, s->funcLabel,
                                     s->funcButton, s->paraSwitchButton, s->outputCombo, s->adjustPartButton,
                                     s->add10Button, s->add1Button, s->sub1Button, s->sub10Button,
                                     s->roiSwitchButton, s->moveUpButton, s->moveDownButton, s->moveLeftButton,
                                     s->moveRightButton, s->moveModeButton};
        for (const QWidget* c : controls) {
            QVERIFY(c);
            QVERIFY(c->isHidden());
        }
        for (const CheckBox* b : s->cavityBox)
            QVERIFY(b && b->isHidden());
        // The small layout's row, moved left to end at the 640-pixel edge.
        QCOMPARE(s->moveUpButton->geometry(), QRect(350, gShowH - 35, 50, 30));
        QCOMPARE(s->moveModeButton->geometry(), QRect(570, gShowH - 35, 70, 30));
        // The cavity boxes right above the move row.
        QCOMPARE(s->cavityBox[0]->geometry().bottom(), gShowH - 35 - 30 - 5 - 1);
        QCOMPARE(s->cavityBox[7]->geometry().right(), 639);
        QCOMPARE(s->cavityBox[8]->geometry().top(), s->cavityBox[0]->geometry().bottom() + 1);
        QVERIFY(s->add10Button->autoRepeat());
        QVERIFY(s->moveUpButton->autoRepeat());
        QVERIFY(!s->moveModeButton->autoRepeat());
        QCOMPARE(s->outputCombo->count(), 4);
        QCOMPARE(s->outputCombo->itemData(3).toInt(), 3);
    }
}

void TestCammerWidget::savedSetLoadedWithMasks()
{
    const auto fixture = fixtureSet(0);
    QVERIFY(fixture->SaveDatatoFile(QSqlDatabase::database(QStringLiteral("param")), false));
    build(dev("CAM01"), 1);
    const CammerWidget* s = rig_->slot[0];
    CammerSingleton stored(0);
    QVERIFY(stored.LoadDatafromFile(QSqlDatabase::database(QStringLiteral("param")), nullptr));
    QCOMPARE(s->savedSet->roiCount[0], 2);
    QVERIFY(*s->savedSet == stored);
    QCOMPARE(s->liveMask[0][1].cols, stored.AreaImageRect(0, 1).width);
    QVERIFY(!s->liveMask[1][0].empty());
    QVERIFY(s->liveMask[1][1].empty());
    // The work set stays empty until the area page copies the saved set in.
    QCOMPARE(s->workSet->roiCount[0], 0);
}

void TestCammerWidget::blink()
{
    build(dev("CAM01"), 1);
    CammerWidget* s = rig_->slot[0];
    s->isOK = 0;
    s->alarmTimer->start(1000);
    const int phases[] = {1, 0, 1};
    for (int phase : phases) {
        s->TimerShowAlarm();
        QCOMPARE(s->alarmShow, phase);
        QVERIFY(s->alarmTimer->isActive());
    }
    s->isOK = 1;   // the camera passed: the first tick ends the blink
    s->TimerShowAlarm();
    QCOMPARE(s->alarmShow, 0);
    QVERIFY(!s->alarmTimer->isActive());
}

void TestCammerWidget::deselectEndsGesturesAndSelection()
{
    build(dev("CAM01"), 1);
    CammerWidget* s = rig_->slot[0];
    *s->workSet = *fixtureSet(0);
    rig_->host.view.editDetect = 0;
    rig_->host.view.drawMode = 2;
    s->workSet->roiRect[0][1].SetSelected(true);
    s->selRoi = 1;
    s->editor.editAction = EditActionDraw;
    s->editor.polyGesture = true;
    s->editor.polyCount = 5;

    s->DeselectROI();
    QCOMPARE(s->selRoi, -1);
    QVERIFY(!s->workSet->roiRect[0][1].IsSelected());
    QCOMPARE(s->editor.editAction, int(EditActionNone));
    QVERIFY(!s->editor.polyGesture);
    QCOMPARE(s->editor.polyCount, 0);
    QCOMPARE(rig_->host.view.drawMode, 0);
}

void TestCammerWidget::pressWithSideBarHidden()
{
    build(dev("CAM01") + "," + dev("CAM02"), 2);
    showGrid();
    NumberInput pad;
    gpNumPad = &pad;
    pad.show();
    rig_->host.sideBarShown = false;
    rig_->host.view.viewCamera = numCamera;   // the grid
    rig_->host.events.clear();

    QTest::mousePress(rig_->slot[1], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(rig_->host.events, QStringList({"side bar timer 120000", "show side bar"}));
    QVERIFY(pad.isHidden());
    QCOMPARE(rig_->host.view.viewCamera, numCamera);
}

void TestCammerWidget::gridPress_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("setsPageCamera");
    QTest::newRow("monitoring") << int(PageModeNone) << int(PictureSourceNone) << false;
    QTest::newRow("alarm, live") << int(PageModeAlarm) << int(PictureSourceLive) << true;
    QTest::newRow("alarm, template") << int(PageModeAlarm) << int(PictureSourceTemplate) << false;
    QTest::newRow("area page, live") << int(PageModeArea) << int(PictureSourceLive) << false;
}

void TestCammerWidget::gridPress()
{
    QFETCH(int, pageMode);
    QFETCH(int, source);
    QFETCH(bool, setsPageCamera);
    build(dev("CAM01") + "," + dev("CAM02"), 2);
    showGrid();
    rig_->host.pageMode = pageMode;
    gSource = source;
    rig_->host.view.viewCamera = numCamera;
    rig_->host.events.clear();

    QTest::mousePress(rig_->slot[1], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(rig_->host.view.viewCamera, 1);
    QVERIFY(rig_->host.events.contains("change cammer 1"));
    QCOMPARE(rig_->host.events.contains("area page camera 1"), setsPageCamera);
    QCOMPARE(rig_->host.events.contains("unfold side bar"), pageMode == PageModeNone);
}

void TestCammerWidget::pressOutsideUsedSlots()
{
    build(dev("CAM01"), 3);   // slot 2 stops early: one camera found
    showGrid();
    rig_->host.view.viewCamera = numCamera;
    rig_->host.events.clear();
    QTest::mousePress(rig_->slot[2], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(rig_->host.view.viewCamera, numCamera);
    QVERIFY(!rig_->host.events.join(' ').contains("change cammer"));
}

void TestCammerWidget::doubleClickIsAPress()
{
    build(dev("CAM01") + "," + dev("CAM02"), 2);
    showGrid();
    rig_->host.view.viewCamera = numCamera;
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(rig_->slot[1], &dbl);
    QCOMPARE(rig_->host.view.viewCamera, 1);
    QVERIFY(rig_->host.events.contains("change cammer 1"));
}

void TestCammerWidget::panning_data()
{
    QTest::addColumn<int>("zoomButtonState");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("pans");
    QTest::newRow("all shown, zoomed, left") << 2 << 2.0 << int(Qt::LeftButton) << true;
    QTest::newRow("only enlarge shown") << 1 << 2.0 << int(Qt::LeftButton) << false;
    QTest::newRow("zoom 1.1") << 2 << 1.1 << int(Qt::LeftButton) << false;
    QTest::newRow("left and right") << 2 << 2.0 << int(Qt::LeftButton | Qt::RightButton) << false;
    QTest::newRow("right") << 2 << 2.0 << int(Qt::RightButton) << false;
    QTest::newRow("no button") << 2 << 2.0 << int(Qt::NoButton) << false;
}

void TestCammerWidget::panning()
{
    QFETCH(int, zoomButtonState);
    QFETCH(double, zoom);
    QFETCH(int, buttons);
    QFETCH(bool, pans);
    build(dev("CAM01"), 1);
    ViewState& v = rig_->host.view;
    v.viewCamera = 0;
    v.zoomButtonState = zoomButtonState;
    v.zoom = zoom;
    v.panX = -50;
    v.panY = -40;
    v.dragLastX = 100;
    v.dragLastY = 100;
    gSource = PictureSourceLive;

    QMouseEvent move(QEvent::MouseMove, QPointF(130, 90), QPointF(130, 90), Qt::NoButton,
                     Qt::MouseButtons(buttons), Qt::NoModifier);
    QApplication::sendEvent(rig_->slot[0], &move);
    QCOMPARE(v.panX, pans ? -20.0 : -50.0);
    QCOMPARE(v.panY, pans ? -50.0 : -40.0);
    QCOMPARE(v.dragLastX, pans ? 130 : 100);
}

void TestCammerWidget::pointerReadOut_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<double>("pan");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<int>("imageX");
    QTest::addColumn<int>("imageY");
    // 64 x 48 picture on a 640 x 480 screen.
    QTest::newRow("unzoomed") << 100 << 50 << 0.0 << 1.0 << 10 << 5;
    QTest::newRow("truncated") << 109 << 59 << 0.0 << 1.0 << 10 << 5;
    QTest::newRow("zoomed and panned") << 100 << 100 << -100.0 << 2.0 << 10 << 10;
    QTest::newRow("left of the picture truncates toward zero") << 5 << 5 << 10.0 << 1.0 << 0 << 0;
    QTest::newRow("outside, right") << 639 << 20 << -200.0 << 1.0 << 83 << 22;
    // The numerator's product in single precision rounds up to 50.
    QTest::newRow("single-precision numerator") << 488 << 0 << -61.99997675277297 << 1.1 << 50 << 5;
}

void TestCammerWidget::pointerReadOut()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(double, pan);
    QFETCH(double, zoom);
    QFETCH(int, imageX);
    QFETCH(int, imageY);
    build(dev("CAM01"), 1);
    CammerWidget* s = rig_->slot[0];
    for (int i = 0; i < kW * kH; ++i)
        s->shownFrame[static_cast<size_t>(i)] = static_cast<uchar>((i % kW) + 100);
    ViewState& v = rig_->host.view;
    v.panX = pan;
    v.panY = pan;
    v.zoom = zoom;
    v.pointerPixel = -1;

    s->MUpdateXYV(x, y);
    QCOMPARE(v.pointerImageX, imageX);
    QCOMPARE(v.pointerImageY, imageY);
    const bool inside = imageX >= 0 && imageY >= 0 && imageX < kW && imageY < kH;
    QCOMPARE(v.pointerPixel, inside ? imageX + 100 : 0);
}

void TestCammerWidget::liveShare_data()
{
    QTest::addColumn<int>("shareMode");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("netEnabled");
    QTest::addColumn<bool>("serverOpen");
    QTest::addColumn<bool>("registered");
    QTest::newRow("camera share") << int(VideoShareCamera) << true << 1 << true << true;
    QTest::newRow("screen share") << int(VideoShareScreen) << true << 1 << true << false;
    QTest::newRow("share off") << int(VideoShareOff) << true << 1 << true << false;
    QTest::newRow("camera not open") << int(VideoShareCamera) << false << 1 << true << false;
    QTest::newRow("relay off") << int(VideoShareCamera) << true << 0 << true << false;
    QTest::newRow("server closed") << int(VideoShareCamera) << true << 1 << false << false;
}

void TestCammerWidget::liveShare()
{
    QFETCH(int, shareMode);
    QFETCH(bool, opens);
    QFETCH(int, netEnabled);
    QFETCH(bool, serverOpen);
    QFETCH(bool, registered);
    rig_->host.para.videoShareMode = shareMode;
    rig_->host.para.netEnabled = netEnabled;
    rig_->net.open = serverOpen;
    rig_->net.alive = false;   // not needed for the share
    build(dev("CAM01"), 1, opens ? QStringList() : QStringList{"CAM01"});

    const QString expected = QStringLiteral("usememory 0 %1 %2 0x%3")
                                 .arg(kW)
                                 .arg(kH)
                                 .arg(reinterpret_cast<quintptr>(rig_->slot[0]->viewRGBA), 0, 16);
    QCOMPARE(rig_->net.calls().filter("usememory"), registered ? QStringList{expected} : QStringList{});
}

QTEST_MAIN(TestCammerWidget)
#include "tst_cammerwidget.moc"
