// The main window as the detection cycle's host: the fail-safe outputs at
// start-up and at an orderly end, the board link it builds, the lost-link
// box driven by the main loop, and the hooks the views and the engine read.
#include "boardsim.h"
#include "cameraglobals.h"
#include "choosebox.h"
#include "controlport.h"
#include "cyclecontroller.h"
#include "globals.h"
#include "iothread.h"
#include "mapplication.h"
#include "colorbutton.h"
#include "logmanager.h"
#include "lostlinkboxes.h"
#include "messages.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "paths.h"
#include "slotpictures.h"
#include "slotrig.h"
#include "testenv.h"
#include "warnbox.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <functional>

class TestMainWindowCycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startupPublishesAllOffThenBlocksClosing_data();
    void startupPublishesAllOffThenBlocksClosing();
    void cameraHostOutputsReachTheBoardWord();
    void orderlyEndPublishesNothing();
    void cycleStartValues_data();
    void cycleStartValues();
    void viewsAndEngineReadTheCycleState();
    void ownBoxesDoNotBlock();
    void lostLinkBoxFollowsTheLink_data();
    void lostLinkBoxFollowsTheLink();
    void noBoardShowsLostLinkBox();
    void linkRecoveryRecordWhateverTheAlarm_data();
    void linkRecoveryRecordWhateverTheAlarm();
    void alarmBoxesSpeakTheLoadedLanguage_data();
    void alarmBoxesSpeakTheLoadedLanguage();
    void shutDownFromTheLostCameraBox();
    void cameraSlotServesTheCycle_data();
    void cameraSlotServesTheCycle();
};

using namespace windowtest;

namespace {

// The main loop of this build: its first pass re-arms the run timer.
bool loopRuns()
{
    return gpWin->runTimer != nullptr;
}

} // namespace

void TestMainWindowCycle::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestMainWindowCycle::init()
{
    // Two small grey cameras: the window starts without a question.
    loadBus(2, "CAMC");
    if (QTest::currentTestFailed())
        return;
    gisLostCom = 0;
    // What a previous run left on the board.
    QMutexLocker lock(pMutexIO);
    gDataOut = 0x1FF;
}

void TestMainWindowCycle::cleanup()
{
    closeWindow();
    gisLostCom = 0;
    gisLost = 0;
    gLan = LanEnglish;
}

void TestMainWindowCycle::startupPublishesAllOffThenBlocksClosing_data()
{
    QTest::addColumn<int>("invertMask");      // outputs 0..3 inverted
    QTest::addColumn<int>("reserveRole");
    QTest::newRow("plain") << 0 << 0;
    QTest::newRow("clamp and ejector inverted") << 0x3 << 0;
    QTest::newRow("alarm inverted, mirrored on output 3") << 0x4 << 3;
    QTest::newRow("clamp inverted, mirrored on output 3") << 0x1 << 1;
}

void TestMainWindowCycle::startupPublishesAllOffThenBlocksClosing()
{
    // Before any camera opens, the board gets every output released and
    // then mould closing blocked, each as applied after inversion.
    QFETCH(int, invertMask);
    QFETCH(int, reserveRole);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) {
        for (int o = 0; o < 4; ++o)
            p.outputInvert[o] = (invertMask >> o) & 1;
        p.reserveOutputRole = reserveRole;
    });
    new MoJuWizard;
    QVERIFY(gpControlIO);
    QVERIFY(qobject_cast<IOThread*>(gpControlIO->ioThread()));
    QVERIFY(gpControlIO->ioThread()->isRunning());

    const int off = releasedWord(*gpWPara, true);
    const QList<int> words = gpWin->startupOutputWords;
    QVERIFY2(words.size() >= 2, qPrintable(QString::number(words.size())));
    QCOMPARE(words[0], off);
    // Output 0 blocked: its applied bit is the opposite of its released bit;
    // a mirror of output 0 follows it.
    int blocked = off ^ 0x1;
    if (reserveRole == 1)
        blocked = (blocked & ~(1 << OutReserve)) | ((blocked & 1) << OutReserve);
    QCOMPARE(words[1], blocked);
}

void TestMainWindowCycle::cameraHostOutputsReachTheBoardWord()
{
    // The camera code's outputs (a lost camera blocks closing) go through
    // the logical I/O layer, inversion included.
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara& p) { p.outputInvert[2] = 1; });
    new MoJuWizard;
    CameraHost* host = gpCameraHost;
    QCOMPARE(host, static_cast<CameraHost*>(gpWin));
    QList<int> flushed;
    gpControlIO->flushObserver = [&](int word) { flushed << word; };
    const int before = boardWord();
    host->setOutput(OutAlarm, 1);
    QCOMPARE(boardWord(), before);   // nothing before the flush
    host->flashOutputs();
    QCOMPARE(flushed.size(), 1);
    QCOMPARE(boardWord() & (1 << OutAlarm), 0);   // inverted: the alarm is the low level
    host->setOutput(OutAlarm, 0);
    host->flashOutputs();
    QCOMPARE(boardWord() & (1 << OutAlarm), 1 << OutAlarm);
}

void TestMainWindowCycle::orderlyEndPublishesNothing()
{
    // The board keeps the last word when the program ends in order; the
    // next start blocks closing.
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara&) {});
    new MoJuWizard;
    gpControlIO->IOSetOut(OutNotAllowThimble, 1);
    gpControlIO->IOFlashOut();
    const int last = boardWord();
    QList<int> flushed;
    gpControlIO->flushObserver = [&](int word) { flushed << word; };
    delete gpWin;
    QVERIFY(!gpWin);
    QVERIFY(!gpControlIO);
    QVERIFY(!gpCameraHost);
    QVERIFY(flushed.isEmpty());
    QCOMPARE(boardWord(), last);
}

void TestMainWindowCycle::cycleStartValues_data()
{
    QTest::addColumn<int>("systemMode");
    QTest::addColumn<int>("productDetect");
    QTest::addColumn<int>("multiCount");
    QTest::addColumn<int>("detect");
    QTest::newRow("standard, product detection on") << 0 << 1 << 0 << 0;
    QTest::newRow("standard, product detection off") << 0 << 0 << 0 << 1;
    QTest::newRow("multi-detection, 5 steps") << int(SystemModeMultiDetect) << 1 << 5 << 4;
}

void TestMainWindowCycle::cycleStartValues()
{
    QFETCH(int, systemMode);
    QFETCH(int, productDetect);
    QFETCH(int, multiCount);
    QFETCH(int, detect);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) {
        p.systemMode = systemMode;
        p.systemModePending = systemMode;
        p.productDetectEnabled = productDetect;
        if (multiCount)
            p.multiDetectCount = multiCount;
        p.ngImageKeep = 7;
        p.okImageKeep = 3;
        p.statisticsEnabled = 1;
        p.serialPort = 2;
        p.externalTrigger = 1;
        p.saveProductOk = 0;
    });
    new MoJuWizard;
    QCOMPARE(gpWin->currentDetect, detect);
    QCOMPARE(gpWin->multiStepIndex, gDNum - 1);
    QCOMPARE(gpWin->manualTrigDetect, gDNum);
    QCOMPARE(gpWin->simulatedTrigger, -1);
    QCOMPARE(gpWin->sharedTriggerInput, -1);
    QCOMPARE(gpWin->forcedDetect, -1);
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QCOMPARE(gpWin->pageMode, int(PageModeNone));
    QCOMPARE(gpWin->resultPhase, int(PhaseShown));
    QCOMPARE(gPicNumNG, 7);
    QCOMPARE(gPicNumOK, 3);
    QVERIFY(gisUseStatistics);
    QCOMPARE(gisCOM, 2);
    QCOMPARE(gpWin->captureModeCopy, 1);
    QCOMPARE(gpWPara->saveProductOk, 1);
    // Both cameras in use, shown in the grid.
    QCOMPARE(numCamera, 2);
    QCOMPARE(gpWin->viewCamera, 2);
    QVERIFY(env.modalRequests.empty());
    QCOMPARE(gpWin->cycleTime, 0);
    QVERIFY(gpWin->cycleStartTime.isValid());
    QVERIFY(gpWin->cycle());
}

void TestMainWindowCycle::viewsAndEngineReadTheCycleState()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara&) {});
    new MoJuWizard;
    SlotHost& view = *gpWin;
    QCOMPARE(&view.viewState(), static_cast<ViewState*>(gpWin));
    gpWin->pageMode = PageModeAlarm;
    gpWin->resultPhase = PhaseCountdown;
    gpWin->currentDetect = 3;
    gpWin->skipActive = true;
    gpWin->skipCount = 2;
    gpWin->delayCountdownTenths[1] = 25;
    gpWin->statsTriggerSource = ~4;
    QCOMPARE(view.cyclePageMode(), int(PageModeAlarm));
    QCOMPARE(view.cycleResultPhase(), int(PhaseCountdown));
    QCOMPARE(view.cycleCurrentDetect(), 3);
    QVERIFY(view.cycleSkipActive());
    QCOMPARE(view.cycleSkipCount(), 2);
    QCOMPARE(view.cycleDelayCountdown(1), 2.5f);
    QCOMPARE(view.cycleDelayCountdown(kDetections), 0.0f);
    QVERIFY(!view.cycleDelayTimerRunning(kDetections));
    // The engine judges the detection the cycle is at and collects for the
    // relay while the cycle does.
    QCOMPARE(view.engineHost().currentDetect(), 3);
    QCOMPARE(view.engineHost().statsTriggerSource(), ~4);
    gpWin->currentDetect = 0;
    QCOMPARE(view.engineHost().currentDetect(), 0);
    // The view's parameters are the live record.
    QCOMPARE(&view.liveParameters(), gpWPara);
}

void TestMainWindowCycle::ownBoxesDoNotBlock()
{
    // The loop shows its boxes and carries on: none is modal, none is the
    // shared box a page may be holding in exec().
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara&) {});
    new MoJuWizard;
    CycleHost& host = *gpWin;
    QVERIFY(!host.lostLinkBoxVisible());
    host.showLostLinkBox(Msg(589));
    QVERIFY(host.lostLinkBoxVisible());
    QVERIFY(!gpLostComWarnBox->isModal());
    QVERIFY(gpLostComWarnBox != gpWarnBox);
    QCOMPARE(gpLostComWarnBox->message, Msg(589));
    host.setLostLinkBoxText(Msg(590));
    QCOMPARE(gpLostComWarnBox->message, Msg(590));
    QVERIFY(host.lostLinkBoxVisible());

    QCOMPARE(host.lostLinkBoxText(), Msg(590));

    // The alarm boxes are the globals, made without parent and left so.
    for (QWidget* box : {static_cast<QWidget*>(gpLostComWarnBox), static_cast<QWidget*>(gpLostCameraWarnBox),
                         static_cast<QWidget*>(gpReconnectCameraWarnBox)})
        QVERIFY(box && !box->parentWidget());
    CameraHost& cameras = *gpWin;
    cameras.showLostCameraBox();
    QVERIFY(!gpLostCameraWarnBox->isHidden());
    QVERIFY(!gpLostCameraWarnBox->isModal());
    cameras.hideLostCameraBox();
    QVERIFY(gpLostCameraWarnBox->isHidden());
    cameras.showReconnectCameraBox();
    QVERIFY(!gpReconnectCameraWarnBox->isHidden());

    host.showNoInputBox(Msg(335));
    QVERIFY(!gpWin->noInputBox->isHidden());
    QVERIFY(gpWin->noInputBox != gpLostComWarnBox);
    QVERIFY(gpWin->noInputBox != gpWarnBox);
    host.hideNoInputBox();
    QVERIFY(gpWin->noInputBox->isHidden());
    QVERIFY(host.lostLinkBoxVisible());   // each box on its own
    QVERIFY(env.modalRequests.empty());
}

void TestMainWindowCycle::lostLinkBoxFollowsTheLink_data()
{
    QTest::addColumn<int>("ioLostAlarm");
    QTest::newRow("lost-link alarm on") << 1;
    QTest::newRow("lost-link alarm off") << 0;
}

void TestMainWindowCycle::lostLinkBoxFollowsTheLink()
{
    QFETCH(int, ioLostAlarm);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) { p.ioLostAlarm = ioLostAlarm; });
    new MoJuWizard;
    if (!loopRuns())
        QSKIP("the main-loop pass is not part of this build");
    gisLostCom = 1;
    if (!ioLostAlarm) {
        // The loop runs on and stays quiet.
        QTest::qWait(500);
        QVERIFY(gpLostComWarnBox->isHidden());
        QVERIFY(!records().contains(QStringLiteral("IO通讯异常")));
        return;
    }
    // Set again while waiting: the board thread clears the flag once as it
    // starts.
    QTRY_VERIFY_WITH_TIMEOUT((gisLostCom = 1, !gpLostComWarnBox->isHidden()), 15000);
    QCOMPARE(gpLostComWarnBox->message, Msg(589));
    QTRY_VERIFY_WITH_TIMEOUT(records().contains(QStringLiteral("IO通讯异常")), 15000);
    QVERIFY(env.modalRequests.empty());
    // The link answers again: the open box says so and stays until pressed.
    gisLostCom = 0;
    QTRY_COMPARE_WITH_TIMEOUT(gpLostComWarnBox->message, Msg(590), 15000);
    QVERIFY(!gpLostComWarnBox->isHidden());
}

void TestMainWindowCycle::noBoardShowsLostLinkBox()
{
    // No device behind the port: the board link counts as lost after its
    // 1000 silent passes (about 5 s) and the loop shows the box.
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara& p) { p.ioLostAlarm = 1; });
    new MoJuWizard;
    if (!loopRuns())
        QSKIP("the main-loop pass is not part of this build");
    QVERIFY(gpLostComWarnBox->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(gisLostCom.load() == 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!gpLostComWarnBox->isHidden(), 10000);
    QCOMPARE(gpLostComWarnBox->message, Msg(589));
}

void TestMainWindowCycle::linkRecoveryRecordWhateverTheAlarm_data()
{
    QTest::addColumn<int>("ioLostAlarm");
    QTest::newRow("lost-link alarm on") << 1;
    QTest::newRow("lost-link alarm off") << 0;
}

void TestMainWindowCycle::linkRecoveryRecordWhateverTheAlarm()
{
    // The board goes silent and answers again: the loop's box and record
    // follow the switch, the link's own record of its recovery does not.
    QFETCH(int, ioLostAlarm);
    constexpr int kTimeoutMs = 20000;
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) { p.ioLostAlarm = ioLostAlarm; });
    BoardSimulator::Options o;
    o.linkPath = env.path(QStringLiteral("dev/ttyS0"));
    BoardSimulator sim(o);
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    new MoJuWizard;
    if (!loopRuns())
        QSKIP("the main-loop pass is not part of this build");
    QVERIFY(sim.waitForRequests(BoardSimulator::CmdPollInputs, 20, kTimeoutMs));

    sim.setFault(BoardSimulator::Fault::Silence);
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 1, kTimeoutMs);
    if (ioLostAlarm) {
        QTRY_VERIFY_WITH_TIMEOUT(!gpLostComWarnBox->isHidden(), kTimeoutMs);
        QCOMPARE(gpLostComWarnBox->message, Msg(589));
    } else {
        QTest::qWait(300);
        QVERIFY(gpLostComWarnBox->isHidden());
    }

    sim.setFault(BoardSimulator::Fault::None);
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 0, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(records().contains(QStringLiteral("IO通讯重新连接")), kTimeoutMs);
    QCOMPARE(records().count(QStringLiteral("IO通讯异常")), ioLostAlarm);
    if (ioLostAlarm)
        QTRY_COMPARE_WITH_TIMEOUT(gpLostComWarnBox->message, Msg(590), kTimeoutMs);
    QCOMPARE(gpLostComWarnBox->isHidden(), !ioLostAlarm);
    closeWindow();   // the link goes before the board
}

void TestMainWindowCycle::alarmBoxesSpeakTheLoadedLanguage_data()
{
    QTest::addColumn<int>("lan");
    QTest::newRow("Simplified Chinese") << int(LanSimplifiedChinese);
    QTest::newRow("English") << int(LanEnglish);
    QTest::newRow("Traditional Chinese") << int(LanTraditionalChinese);
}

void TestMainWindowCycle::alarmBoxesSpeakTheLoadedLanguage()
{
    // The boxes are made before the parameters give the language; they
    // speak the stored one all the same, and none is blank.
    QFETCH(int, lan);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    gLan = lan;
    writeParams(env, [](WizardPara&) {});
    gLan = (lan + 1) % 3;
    new MoJuWizard;
    QCOMPARE(gLan, lan);
    QCOMPARE(gpLostCameraWarnBox->message, Msg(587));
    QCOMPARE(gpLostCameraWarnBox->okButton->text(), Msg(209));
    QCOMPARE(gpReconnectCameraWarnBox->message, Msg(588));
    QCOMPARE(gpReconnectCameraWarnBox->okButton->text(), Msg(121));
    QCOMPARE(gpLostComWarnBox->okButton->text(), Msg(121));
    for (const QString& text : {gpLostCameraWarnBox->message, gpLostCameraWarnBox->okButton->text(),
                                gpReconnectCameraWarnBox->message, gpLostComWarnBox->okButton->text()})
        QVERIFY(!text.trimmed().isEmpty());
}

void TestMainWindowCycle::shutDownFromTheLostCameraBox()
{
    // "Shut Down" while the cameras are lost: the record lands before the
    // databases close, and since the panel did not go down the program
    // writes on into them.
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara&) {});
    new MoJuWizard;
    QVERIFY(gisRunWTD);
    gisLost = 1;
    static_cast<CameraHost&>(*gpWin).showLostCameraBox();
    env.runner->clear();
    gpLostCameraWarnBox->okButton->click();
    QVERIFY(gpLostCameraWarnBox->isHidden());
    QVERIFY(!gisRunWTD);
    QCOMPARE(env.runner->lines(), QStringList{QStringLiteral("init 0")});
    QVERIFY(records().contains(QStringLiteral("因丢失相机手动关闭电源")));
    gpWin->InsertRecord(QStringLiteral("after the power-off"));
    QTRY_VERIFY_WITH_TIMEOUT(records().contains(QStringLiteral("after the power-off")), 5000);
    QVERIFY(env.modalRequests.empty());
}

void TestMainWindowCycle::cameraSlotServesTheCycle_data()
{
    QTest::addColumn<bool>("netEnabled");
    QTest::newRow("relay off") << false;
    QTest::newRow("relay on") << true;
}

void TestMainWindowCycle::cameraSlotServesTheCycle()
{
    // A camera slot as the cycle uses it: a frame is taken over once, and a
    // re-sample makes it the base template, in memory and on disk.
    QFETCH(bool, netEnabled);
    constexpr int w = 40, h = 30;
    SlotRig rig;
    gTempNum = 4;
    gDNum = 2;
    rig.host.para.netEnabled = netEnabled ? 1 : 0;
    QVERIFY(rig.build(QString(), w, h, 10.0, kCameraSlots));   // no camera: virtual slots
    CammerWidget* slot = rig.slot[0];
    CycleCamera& camera = *slot;
    QCOMPARE(&camera.slotState(), static_cast<CameraSlotState*>(slot));

    QVERIFY(!camera.takeNewFrame());
    std::vector<uchar> frame(size_t(w) * h);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uchar(i * 7);
    slot->frames().deliverGrey(frame.data());
    QVERIFY(camera.takeNewFrame());
    QCOMPARE(slot->procFrame, frame);
    QVERIFY(!camera.takeNewFrame());   // taken once

    rig.net.clear();
    camera.SaveReTrainImage(1);
    QCOMPARE(slot->alignedFrame, frame);
    QCOMPARE(slot->shownFrame, frame);
    QCOMPARE(slot->templates[1][0], frame);
    QVERIFY(slot->templateValid[1][0]);
    const QImage stored(TemplateFile(0, 1, 0));
    QCOMPARE(stored.size(), QSize(w, h));
    QCOMPARE(stored.format(), QImage::Format_Indexed8);
    for (int y : {0, h / 2, h - 1})
        QVERIFY(std::equal(frame.begin() + y * w, frame.begin() + (y + 1) * w, stored.constScanLine(y)));
    bool offered = false;
    for (const QString& call : rig.net.calls())
        offered = offered || (call.startsWith(QStringLiteral("temppic ")) && call.endsWith(QStringLiteral("template0.bmp")));
    QCOMPARE(offered, netEnabled);

    // The NG blink of the view.
    camera.startAlarmBlink();
    QVERIFY(slot->alarmTimer->isActive());
    QCOMPARE(slot->alarmTimer->interval(), 1000);

    // A slot above the cameras found has no frame buffers: nothing to take,
    // nothing to store.
    CammerWidget* idle = rig.slot[kCameraSlots - 1];
    QVERIFY(!idle->complete());
    QVERIFY(!static_cast<CycleCamera&>(*idle).takeNewFrame());
    static_cast<CycleCamera&>(*idle).SaveReTrainImage(1);
    static_cast<CycleCamera&>(*idle).startAlarmBlink();
    static_cast<CycleCamera&>(*idle).Run(1);
}

QTEST_MAIN(TestMainWindowCycle)
#include "tst_mainwindow_cycle.moc"
