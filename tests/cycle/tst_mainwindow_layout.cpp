// The main window's surface: the camera views laid out by the window, the
// zoom column and its fold, zoom and pan, the side-bar slots, and the
// one-second tick (heartbeat lamp, stall watch, frame rates).
#include "cameragrid.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "controlport.h"
#include "logmanager.h"
#include "messages.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "operationrecord.h"
#include "paths.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "warnbox.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QSqlDatabase>
#include <QTimer>
#include <QtTest>

#include <functional>

class TestMainWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void viewsFollowTheShownCamera();
    void zoomButtonsUnfoldZoomAndFold();
    void pansOnlyAboveZoomOne();
    void zoomButtonsNeverWithImageAdjustOff();
    void zoomColumnOnScreen();
    void returnGoesBackToTheGrid();
    void stalledCameraIsCheckedOnTheSixthSecond_data();
    void stalledCameraIsCheckedOnTheSixthSecond();
    void heartbeatLamp();
    void systemParaLowersTheLevel_data();
    void systemParaLowersTheLevel();
};

using namespace windowtest;

namespace {

// The window with its camera checks counted instead of run; the one-second
// timer is stopped so the test gives the ticks.
class CheckCountingWindow : public MoJuWizard {
public:
    QList<int> checked;
    void CameraCheck(int camera) override { checked << camera; }
};

// A window over `cameras` small grey cameras with the parameters as edit
// leaves them.
template <class Window = MoJuWizard>
Window* makeWindow(TestEnv& env, int cameras, const std::function<void(WizardPara&)>& edit = {})
{
    keepLogsInside(env);
    writeFloor(env);
    loadBus(cameras, "CAML");
    writeParams(env, [&](WizardPara& p) {
        p.imageAdjustEnabled = 1;
        if (edit)
            edit(p);
    });
    auto* w = new Window;
    w->fpsTimer->stop();
    return w;
}

bool shown(const QWidget* w)
{
    return w && !w->isHidden();
}

int zoomButtonsShown()
{
    int n = 0;
    for (ColorButton* b : gpWin->zoomButtons)
        n += shown(b) ? 1 : 0;
    return n;
}

} // namespace

void TestMainWindowLayout::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestMainWindowLayout::cleanup()
{
    closeWindow();
}

void TestMainWindowLayout::viewsFollowTheShownCamera()
{
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 2);
    const int W = gShowW, H = gShowH;
    QCOMPARE(numCamera, 2);
    // The grid at start.
    QCOMPARE(w->viewCamera, 2);
    QCOMPARE(w->cameraViews[0]->geometry(), QRect(0, 0, W / 2, H));
    QCOMPARE(w->cameraViews[1]->geometry(), QRect(W / 2, 0, W / 2, H));
    QVERIFY(shown(w->cameraViews[0]) && shown(w->cameraViews[1]));
    for (int k = 2; k < kCameraSlots; ++k)
        QVERIFY(!shown(w->cameraViews[k]));
    QCOMPARE(w->viewScaleX, float(W / 2) / 320);
    QCOMPARE(w->viewScaleY, float(H) / 240);
    QCOMPARE(w->viewFracX, float(W / 2) / W);
    QCOMPARE(w->viewFracY, 1.0f);
    QCOMPARE(w->zoomButtonState, 0);
    QCOMPARE(zoomButtonsShown(), 0);

    // Camera 1 alone, zoomed view reset.
    w->zoom = 4;
    w->panX = 12;
    w->viewCamera = 1;
    w->ChangeCammer();
    QVERIFY(!shown(w->cameraViews[0]));
    QVERIFY(shown(w->cameraViews[1]));
    QCOMPARE(w->cameraViews[1]->geometry(), QRect(0, 0, W, H));
    QCOMPARE(w->zoom, 1.0);
    QCOMPARE(w->panX, 0.0);
    QCOMPARE(w->viewScaleX, float(W) / 320);
    QCOMPARE(w->viewFracX, 1.0f);
    QCOMPARE(w->zoomButtonState, 1);
    QVERIFY(shown(w->zoomButtons[ZoomEnlarge]));
    QCOMPARE(zoomButtonsShown(), 1);
}

void TestMainWindowLayout::zoomButtonsUnfoldZoomAndFold()
{
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 1);
    QCOMPARE(w->viewCamera, 0);
    QCOMPARE(w->zoomButtonState, 1);
    w->pointerImageX = 100;
    w->pointerImageY = 50;
    // The first press unfolds the column, the next ones zoom.
    w->zoomButtons[ZoomEnlarge]->click();
    QCOMPARE(w->zoomButtonState, 2);
    QCOMPARE(zoomButtonsShown(), kZoomButtons);
    QCOMPARE(w->zoom, 1.0);
    QVERIFY(w->zoomHideTimer->isActive());
    QCOMPARE(w->zoomHideTimer->interval(), 30000);
    w->zoomButtons[ZoomEnlarge]->click();
    QCOMPARE(w->zoom, 1.2);
    QCOMPARE(w->panX, -20.0);
    QCOMPARE(w->panY, -10.0);
    w->zoom = 30;
    w->MEnlargeScale();
    QCOMPARE(w->zoom, 32.0);
    w->zoomButtons[ZoomRestore]->click();
    QCOMPARE(w->zoom, 1.0);
    QCOMPARE(w->panX, 0.0);
    w->MScale(1);
    w->zoomButtons[ZoomReduce]->click();
    QCOMPARE(w->zoom, 1.0);
    QCOMPARE(w->panX, 0.0);
    QCOMPARE(w->panY, 0.0);

    // Only the unfold and the zoom buttons with auto-repeat... all but restore.
    for (int i = 0; i < kZoomButtons; ++i)
        QCOMPARE(w->zoomButtons[i]->autoRepeat(), i != ZoomRestore);

    // 30 s without a press: the column folds to the enlarge button.
    w->MTimerScale();
    QVERIFY(!w->zoomHideTimer->isActive());
    QCOMPARE(w->zoomButtonState, 1);
    QCOMPARE(zoomButtonsShown(), 1);
    w->MTimerScale();   // folded already: stays
    QCOMPARE(w->zoomButtonState, 1);
}

void TestMainWindowLayout::pansOnlyAboveZoomOne()
{
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 1);
    w->MShowHide(ZoomShowAll);
    w->zoomButtons[ZoomPanRight]->click();
    w->zoomButtons[ZoomPanDown]->click();
    QCOMPARE(w->panX, 0.0);
    QCOMPARE(w->panY, 0.0);
    w->zoom = 2.5;
    w->zoomButtons[ZoomPanRight]->click();
    w->zoomButtons[ZoomPanDown]->click();
    QCOMPARE(w->panX, 2.5);
    QCOMPARE(w->panY, 2.5);
    w->zoomButtons[ZoomPanLeft]->click();
    w->zoomButtons[ZoomPanUp]->click();
    w->zoomButtons[ZoomPanUp]->click();
    QCOMPARE(w->panX, 0.0);
    QCOMPARE(w->panY, -2.5);
}

void TestMainWindowLayout::zoomButtonsNeverWithImageAdjustOff()
{
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 2, [](WizardPara& p) { p.imageAdjustEnabled = 0; });
    for (int camera : {0, 1, 2}) {
        w->viewCamera = camera;
        w->ChangeCammer();
        QCOMPARE(w->zoomButtonState, 0);
        QCOMPARE(zoomButtonsShown(), 0);
    }
    for (int type : {1, 2}) {
        w->MShowHide(type);
        QCOMPARE(w->zoomButtonState, 0);
        QCOMPARE(zoomButtonsShown(), 0);
    }
    w->MEnlargeScale();
    QCOMPARE(zoomButtonsShown(), 0);
    QCOMPARE(w->zoom, 1.0);
}

void TestMainWindowLayout::zoomColumnOnScreen()
{
    // Whatever the screen (800x600 offscreen, 768 and 600 on the panels):
    // the whole column is on it, at x = 5, 70 x 70, 75 apart.
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 1);
    for (int i = 0; i < kZoomButtons; ++i) {
        const QRect r = w->zoomButtons[i]->geometry();
        QCOMPARE(r.x(), 5);
        QCOMPARE(r.size(), QSize(70, 70));
        QVERIFY2(r.top() >= 0 && r.bottom() < gShowH, qPrintable(QString::number(r.bottom())));
        if (i > 0)
            QCOMPARE(r.top() - w->zoomButtons[i - 1]->geometry().top(), 75);
    }
    QCOMPARE(w->zoomButtons[kZoomButtons - 1]->geometry().bottom(), qMin(gShowH, 820) - 1);
}

void TestMainWindowLayout::returnGoesBackToTheGrid()
{
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 2);
    w->viewCamera = 0;
    w->ChangeCammer();
    w->zoom = 3;
    w->SlotReturn();
    QCOMPARE(w->viewCamera, 2);
    QCOMPARE(w->zoom, 1.0);
    QVERIFY(shown(w->cameraViews[0]) && shown(w->cameraViews[1]));
    QCOMPARE(w->cameraViews[1]->geometry().x(), gShowW / 2);
    cleanup();

    TestEnv env1;
    w = makeWindow(env1, 1);
    w->zoom = 3;
    w->panX = 7;
    w->SlotReturn();
    QCOMPARE(w->viewCamera, 0);
    QCOMPARE(w->zoom, 1.0);
    QCOMPARE(w->panX, 0.0);
    // No page exists yet to open: the slots check.
    w->SlotHelp();
    w->SlotShowStatisticsWidget();
    w->SlotDrawHint();
    QVERIFY(!w->drawHintTimer->isActive());
    w->SlotDetectCycle();
}

void TestMainWindowLayout::stalledCameraIsCheckedOnTheSixthSecond_data()
{
    QTest::addColumn<int>("externalTrigger");
    QTest::newRow("continuous capture") << 0;
    QTest::newRow("external trigger: not watched") << 1;
}

void TestMainWindowLayout::stalledCameraIsCheckedOnTheSixthSecond()
{
    QFETCH(int, externalTrigger);
    TestEnv env;
    auto* w = makeWindow<CheckCountingWindow>(env, 2, [&](WizardPara& p) { p.externalTrigger = externalTrigger; });
    w->checked.clear();
    // Camera 0 stalls; camera 1 delivers three frames a second.
    for (int tick = 1; tick <= 13; ++tick) {
        w->frameCount[1] += 3;
        w->SlotFPS();
        QCOMPARE(w->cameraFps[0], 0);
        QCOMPARE(w->cameraFps[1], 3);
        QCOMPARE(w->lastFrameCount[1], w->frameCount[1]);
        QCOMPARE(w->stallSeconds[1], 0);
        if (externalTrigger) {
            QVERIFY(w->checked.isEmpty());
            QCOMPARE(w->stallSeconds[0], 0);
        } else {
            // Checked on the 6th and the 12th second, counted up in between.
            QCOMPARE(w->checked.size(), tick / 6);
            QCOMPARE(w->stallSeconds[0], tick % 6);
        }
    }
    QVERIFY(!w->checked.contains(1));
    // A frame resets the count.
    if (!externalTrigger) {
        w->frameCount[0] += 1;
        w->SlotFPS();
        QCOMPARE(w->stallSeconds[0], 0);
        QCOMPARE(w->cameraFps[0], 1);
    }
}

void TestMainWindowLayout::heartbeatLamp()
{
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 1);
    QCOMPARE(w->runState, int(RunStateDetecting));
    int last = (LEDByte() >> 5) & 1;
    for (int tick = 0; tick < 4; ++tick) {
        w->SlotFPS();
        const int now = (LEDByte() >> 5) & 1;
        QCOMPARE(now, 1 - last);
        last = now;
    }
    w->StopDetect();
    for (int tick = 0; tick < 3; ++tick) {
        w->SlotFPS();
        QCOMPARE((LEDByte() >> 5) & 1, 1);
    }
    w->StartDetect();
    w->SlotFPS();
    QCOMPARE((LEDByte() >> 5) & 1, 0);
}

void TestMainWindowLayout::systemParaLowersTheLevel_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("password");
    QTest::addColumn<bool>("alarm");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("entry");   // typed at the login prompt, if it opens; "" cancels
    QTest::newRow("service, password on: primary") << int(AccessLevelAdvanced) << 1 << false << int(AccessLevelPrimary) << "";
    QTest::newRow("service, password off: none") << int(AccessLevelAdvanced) << 0 << false << int(AccessLevelNone) << "";
    QTest::newRow("primary stays") << int(AccessLevelPrimary) << 1 << false << int(AccessLevelPrimary) << "";
    QTest::newRow("none stays") << int(AccessLevelNone) << 0 << false << int(AccessLevelNone) << "";
    QTest::newRow("lowered in the alarm too") << int(AccessLevelAdvanced) << 0 << true << int(AccessLevelNone) << "";
    QTest::newRow("none, password on: prompt cancelled") << int(AccessLevelNone) << 1 << false << int(AccessLevelNone) << "";
    QTest::newRow("none, password on: the parameter password") << int(AccessLevelNone) << 1 << false << int(AccessLevelPrimary) << "4711";
    QTest::newRow("none, password on: a wrong entry, then cancelled") << int(AccessLevelNone) << 1 << false << int(AccessLevelNone) << "999";
}

void TestMainWindowLayout::systemParaLowersTheLevel()
{
    QFETCH(int, level);
    QFETCH(int, password);
    QFETCH(bool, alarm);
    QFETCH(int, after);
    QFETCH(QString, entry);
    TestEnv env;
    MoJuWizard* w = makeWindow(env, 1, [&](WizardPara& p) {
        p.passwordEnabled = password;
        qstrncpy(p.password, "4711", sizeof p.password);
    });
    if (!entry.isEmpty())
        env.modalTexts = {entry};
    w->accessLevel = level;
    if (alarm)
        w->pageMode = PageModeAlarm;
    gpWPara->exposure[0] = 77;   // a live change the edit copy does not have
    QVERIFY(gpWParaBak->exposure[0] != 77);
    w->SlotSystemPara();
    QCOMPARE(w->accessLevel, after);
    // The edit copy is taken only when the gate lets the operator in, and
    // never in the alarm.
    const bool allowed = after != AccessLevelNone ? !alarm : (password == 0 && !alarm);
    QCOMPARE(gpWParaBak->exposure[0] == 77, allowed);
}

QTEST_MAIN(TestMainWindowLayout)
#include "tst_mainwindow_layout.moc"
