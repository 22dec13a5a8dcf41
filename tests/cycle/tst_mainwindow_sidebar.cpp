// The side bar in the main window: its buttons wired to the window's slots,
// a click followed to its effect, the camera views' press services that
// bring a hidden bar back, and the settings' fold.
#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "globals.h"
#include "indexbutton.h"
#include "messages.h"
#include "mojuwizard.h"
#include "testenv.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QTimer>
#include <QtTest>

#include <functional>

using namespace windowtest;

namespace {

// A shown window over the first-start parameters as edit changes them; the
// start-up's boxes are forgotten and answers are the script of what follows.
void makeWindow(TestEnv& env, const std::function<void(WizardPara&)>& edit, std::vector<int> answers = {})
{
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) {
        p.passwordEnabled = 0;
        p.stopDetectPassword = 0;
        if (edit)
            edit(p);
    });
    if (QTest::currentTestFailed())
        return;
    auto* w = new MoJuWizard;
    w->show();
    env.modalRequests.clear();
    env.modalAnswers = std::move(answers);
    env.modalAnswersUsed = 0;
}

IndexButton* bar()
{
    return gpWin->sideBar;
}

// A press on camera view 0, as a finger gives it.
void pressView()
{
    QTest::mousePress(gpWin->cameraViews[0], Qt::LeftButton, {}, QPoint(30, 30));
}

} // namespace

class TestMainWindowSidebar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void everyButtonRunsItsSlot();
    void startStopClickStopsDetection();
    void captureModeClickRelabels();
    void snapshotChoiceReachesTheWindow();
    void viewPressBringsTheBarBack_data();
    void viewPressBringsTheBarBack();
    void systemParaFoldsTheBar();
};

void TestMainWindowSidebar::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestMainWindowSidebar::cleanup()
{
    closeWindow();
    gisUseStatistics = false;
}

void TestMainWindowSidebar::everyButtonRunsItsSlot()
{
    struct Row {
        ColorButton* IndexButton::*button;
        void (MoJuWizard::*slot)();
    };
    const QList<Row> expected = {
        {&IndexButton::multiScreenButton, &MoJuWizard::SlotReturn},
        {&IndexButton::startStopButton, &MoJuWizard::SlotStartStop},
        {&IndexButton::systemButton, &MoJuWizard::SlotSystemPara},
        {&IndexButton::resampleButton, &MoJuWizard::SlotReTrain},
        {&IndexButton::areaButton, &MoJuWizard::SlotAdjustArea},
        {&IndexButton::statisticsButton, &MoJuWizard::SlotShowStatisticsWidget},
        {&IndexButton::skipButton, &MoJuWizard::SlotStartSkipDetect},
        {&IndexButton::helpButton, &MoJuWizard::SlotHelp},
        {&IndexButton::snapshotButton, &MoJuWizard::SlotMuliManualTrig},
        {&IndexButton::mouldSnapButton, &MoJuWizard::SlotManualTrig1},
        {&IndexButton::productSnapButton, &MoJuWizard::SlotManualTrig0},
        {&IndexButton::captureModeButton, &MoJuWizard::CameraChangeTrig},
    };
    const std::vector<SideBarWire>& wiring = SideBarWiring();
    QCOMPARE(int(wiring.size()), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY2(wiring[i].button == expected[i].button, qPrintable(QString::number(i)));
        QVERIFY2(wiring[i].slot == expected[i].slot, qPrintable(QString::number(i)));
    }

    // Every row is connected in the window, once (statistics on, so that
    // its button exists).
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.statisticsEnabled = 1; });
    QVERIFY(bar()->statisticsButton);
    for (const Row& row : expected) {
        ColorButton* button = bar()->*row.button;
        QVERIFY(QObject::disconnect(button, &QPushButton::clicked, gpWin, row.slot));
        QVERIFY(!QObject::disconnect(button, &QPushButton::clicked, gpWin, row.slot));
    }
}

void TestMainWindowSidebar::startStopClickStopsDetection()
{
    TestEnv env;
    makeWindow(env, {}, {1});
    QCOMPARE(bar()->startStopButton->text(), Msg(127));
    QVERIFY(bar()->isHidden());   // built hidden: the first touch brings it
    pressView();
    QVERIFY(bar()->isVisible());

    QTest::mouseClick(bar()->startStopButton, Qt::LeftButton);   // asks 140, Yes
    QCOMPARE(env.modalRequests.size(), size_t(1));
    QCOMPARE(env.modalRequests[0].messageId, 140);
    QCOMPARE(gpWin->runState, int(RunStateStopped));
    QCOMPARE(bar()->startStopButton->text(), Msg(136));
    QVERIFY(records().contains(Msg(141)));

    QTest::mouseClick(bar()->startStopButton, Qt::LeftButton);   // starting asks nothing
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QCOMPARE(bar()->startStopButton->text(), Msg(127));
}

void TestMainWindowSidebar::captureModeClickRelabels()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) {
        p.showCaptureModeButton = 1;
        p.externalTrigger = 0;
    });
    pressView();
    QVERIFY(bar()->captureModeButton->isVisible());
    QCOMPARE(bar()->captureModeButton->text(), Msg(651));
    QTest::mouseClick(bar()->captureModeButton, Qt::LeftButton);
    QCOMPARE(gpWPara->externalTrigger, 1);
    QCOMPARE(bar()->captureModeButton->text(), Msg(650));
}

void TestMainWindowSidebar::snapshotChoiceReachesTheWindow()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) {
        p.systemMode = SystemModeMultiDetect;
        p.multiDetectCount = 3;
        p.showManualSnapshot = 1;
    });
    QCOMPARE(bar()->manualTrigCombo->count(), 3);
    bar()->manualTrigCombo->setCurrentIndex(2);
    QCOMPARE(gpWin->CurChooseTrig(), 2);
    pressView();
    QTest::mouseClick(bar()->snapshotButton, Qt::LeftButton);
    QCOMPARE(gpWin->manualTrigDetect, 2);
}

void TestMainWindowSidebar::viewPressBringsTheBarBack_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<bool>("back");
    QTest::newRow("no page") << int(PageModeNone) << true;
    QTest::newRow("OK shown") << int(PageModeOKShown) << true;
    QTest::newRow("alarm") << int(PageModeAlarm) << false;
    QTest::newRow("area page") << int(PageModeArea) << false;
}

void TestMainWindowSidebar::viewPressBringsTheBarBack()
{
    QFETCH(int, pageMode);
    QFETCH(bool, back);
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.skipDetectEnabled = 1; });

    // Shown, folded, then left alone until the hide timer fires.
    pressView();
    QVERIFY(gpWin->sideBarVisible());
    QCOMPARE(bar()->hideTimer->interval(), 120000);
    QVERIFY(bar()->hideTimer->isActive());
    QTest::mousePress(bar(), Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(!bar()->barUnfolded);
    QMetaObject::invokeMethod(bar()->hideTimer, "timeout");
    QVERIFY(!gpWin->sideBarVisible());
    QVERIFY(!bar()->hideTimer->isActive());

    gpWin->pageMode = pageMode;
    pressView();
    QVERIFY(bar()->hideTimer->isActive());   // every press restarts it
    QCOMPARE(bar()->hideTimer->interval(), 120000);
    QCOMPARE(gpWin->sideBarVisible(), back);
    if (back) {
        QVERIFY(bar()->barUnfolded);
        QVERIFY(bar()->skipButton->isVisible());
    }

    // A folded bar in view is unfolded by a press only in the same modes.
    gpWin->showSideBar();
    QTest::mousePress(bar(), Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(!bar()->barUnfolded);
    pressView();
    QCOMPARE(bar()->barUnfolded, back);
}

void TestMainWindowSidebar::systemParaFoldsTheBar()
{
    TestEnv env;
    makeWindow(env, {});
    pressView();
    QVERIFY(gpWin->sideBarVisible());
    QTest::mouseClick(bar()->systemButton, Qt::LeftButton);
    QVERIFY(!gpWin->sideBarVisible());
    QVERIFY(!bar()->hideTimer->isActive());
    pressView();   // and a touch brings it back
    QVERIFY(gpWin->sideBarVisible());
}

QTEST_MAIN(TestMainWindowSidebar)
#include "tst_mainwindow_sidebar.moc"
