// The operator's run-control commands on the cycle rig: the access gates,
// start and stop with their refusals, re-sampling from the command through
// the cycle to the area page and back, skip mode, manual snapshots (also
// from stored pictures without cameras), the capture-mode switch and the
// area adjustment; and the template deletion that re-sampling starts with.
#include "cameraglobals.h"
#include "controlport.h"
#include "fakeruncontrol.h"
#include "graycolortable.h"
#include "messages.h"
#include "operationrecord.h"
#include "relaylink.h"
#include "templatelibrary.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QtTest>

namespace {

bool led4() { return (LEDByte() >> 4) & 1; }

// Writes picture as a BMP below the program directory.
void writeBmp(const QString& path, const QImage& picture)
{
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(picture.save(path, "BMP"));
}

// A w x h picture whose pixel (x, y) has grey value 10 * x + y, as an 8-bit
// indexed picture with the grey table or as 32-bit colour.
QImage greyRamp(int w, int h, int depth)
{
    QImage picture(w, h, depth == 8 ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (depth == 8)
        picture.setColorTable(GrayColorTable());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = 10 * x + y;
            if (depth == 8)
                picture.setPixel(x, y, uint(v));
            else
                picture.setPixel(x, y, qRgb(v, v, v));
        }
    return picture;
}

} // namespace

class TestRunControl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void gates_data();
    void gates();
    void refusedRootEntryLogsOut();
    void stopWithBothStopOptions();
    void stopRefused_data();
    void stopRefused();
    void stopPermissionOfItsOwn();
    void startFromStopped_data();
    void startFromStopped();
    void reTrainWhileStoppedStartsDetectionFirst();
    void reTrainRefused_data();
    void reTrainRefused();
    void reSamplingThroughTheCycle_data();
    void reSamplingThroughTheCycle();
    void manualSnapshot_data();
    void manualSnapshot();
    void noCameraSnapshot_data();
    void noCameraSnapshot();
    void noCameraSnapshotCounterWraps();
    void skipToggleRestarts();
    void cameraChangeTrigIsLiveOnly();
    void adjustArea_data();
    void adjustArea();
    void adjustAreaRefused_data();
    void adjustAreaRefused();
    void templateDeletion_data();
    void templateDeletion();
};

void TestRunControl::initTestCase() { FillMessageTable(); }

void TestRunControl::init()
{
    gLan = LanSimplifiedChinese;
    gCameraID = CameraKindNone + 1;   // a camera kind: no stored pictures
    gpNet = nullptr;
}

// ---- access gates ---------------------------------------------------------

void TestRunControl::gates_data()
{
    QTest::addColumn<int>("passwordEnabled");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("withGate");
    QTest::addColumn<int>("loginLevel");
    QTest::addColumn<int>("password");
    QTest::addColumn<int>("passwordBoxes");
    QTest::addColumn<bool>("root");
    QTest::newRow("password off") << 0 << 0 << true << 0 << 2 << 0 << false;
    QTest::newRow("password off, no accounts") << 0 << 0 << false << 0 << 2 << 0 << false;
    QTest::newRow("logged in") << 1 << 1 << true << 0 << 1 << 0 << false;
    QTest::newRow("login refused") << 1 << 0 << true << 0 << 0 << 1 << false;
    QTest::newRow("login as primary") << 1 << 0 << true << 1 << 1 << 1 << false;
    QTest::newRow("login as advanced") << 1 << 0 << true << 2 << 2 << 1 << true;
    QTest::newRow("no accounts") << 1 << 0 << false << 0 << 0 << 0 << false;
    QTest::newRow("advanced, no accounts") << 1 << 2 << false << 0 << 2 << 0 << true;
}

void TestRunControl::gates()
{
    QFETCH(int, passwordEnabled);
    QFETCH(int, level);
    QFETCH(bool, withGate);
    QFETCH(int, loginLevel);
    QFETCH(int, password);
    QFETCH(int, passwordBoxes);
    QFETCH(bool, root);
    {
        RunControlRig r(1, withGate);
        r.rig.para.passwordEnabled = passwordEnabled;
        r.accessLevel = level;
        r.enter({r.entryFor(loginLevel)});
        QCOMPARE(r.commands->CheckPassword(), password);
        QCOMPARE(r.prompts("PasswordBox"), passwordBoxes);
    }
    {
        // The root gate asks the login prompt once unless already advanced.
        RunControlRig r(1, withGate);
        r.rig.para.passwordEnabled = passwordEnabled;
        r.accessLevel = level;
        r.enter({r.entryFor(loginLevel)});
        QCOMPARE(r.commands->CheckRoot(), root);
        QCOMPARE(r.prompts("PasswordBox"), withGate && level != AccessLevelAdvanced ? 1 : 0);
    }
}

void TestRunControl::refusedRootEntryLogsOut()
{
    // The service gate asks the login prompt, whose refusal logs out the
    // primary level held before; the prompt stays open until Cancel.
    RunControlRig r;
    r.rig.para.passwordEnabled = 1;
    r.accessLevel = AccessLevelPrimary;
    r.enter({QStringLiteral("5962"), std::nullopt});
    QVERIFY(!r.commands->CheckRoot());
    QCOMPARE(r.accessLevel, int(AccessLevelNone));
    QCOMPARE(r.prompts("PasswordBox"), 2);
    QCOMPARE(r.commands->CheckPassword(), 0);   // asked again, cancelled
    QCOMPARE(r.prompts("PasswordBox"), 3);
}

// ---- start and stop ---------------------------------------------------------

void TestRunControl::stopWithBothStopOptions()
{
    RunControlRig r;
    WizardPara& w = r.rig.para;
    w.stopForbidsClamp = 1;
    w.stopForbidsEjector = 1;
    w.netEnabled = 1;
    for (int o : {OutAlarm, OutArea1, OutArea3})
        r.rig.io->IOSetOut(o, 1);
    r.rig.io->IOFlashOut();
    LEDOnOff(4, 1);
    r.host.answers = {1};

    r.commands->SlotStartStop();

    QCOMPARE(r.host.asked, QList<int>{140});
    QCOMPARE(r.outputs(), 0b11);
    QCOMPARE(r.rig.slotHost.runState, int(RunStateStopped));
    QCOMPARE(r.rig.records(), QStringList{Msg(141)});
    QVERIFY(!led4());
    QCOMPARE(r.rig.relay.calls(), (QStringList{"manualstop", "statistics null"}));
    QCOMPARE(r.cycleHost.events.filter("start stop button"), QStringList{"start stop button " + Msg(136)});
}

void TestRunControl::stopRefused_data()
{
    QTest::addColumn<int>("passwordEnabled");
    QTest::addColumn<int>("stopPassword");
    QTest::addColumn<bool>("withGate");
    QTest::addColumn<QString>("entry");   // then Cancel; empty: Cancel at once
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("pageDuringQuestion");
    QTest::addColumn<QList<int>>("asked");
    const QString none;
    QTest::newRow("login refused") << 1 << 0 << true << "0000" << 1 << false << QList<int>{};
    QTest::newRow("password on, no accounts") << 1 << 0 << false << none << 1 << false << QList<int>{};
    QTest::newRow("stop permission not given") << 0 << 1 << true << none << 1 << false << QList<int>{};
    QTest::newRow("stop permission, no accounts") << 0 << 1 << false << none << 1 << false << QList<int>{};
    // The one-shot dialog wants the run-time form even with passwords off.
    QTest::newRow("stop permission, stored service code") << 0 << 1 << true << "5962" << 1 << false
                                                          << QList<int>{};
    QTest::newRow("confirmation No") << 0 << 0 << true << none << 0 << false << QList<int>{140};
    QTest::newRow("page opened during the question") << 0 << 0 << true << none << 1 << true << QList<int>{140};
}

void TestRunControl::stopRefused()
{
    QFETCH(int, passwordEnabled);
    QFETCH(int, stopPassword);
    QFETCH(bool, withGate);
    QFETCH(QString, entry);
    QFETCH(int, answer);
    QFETCH(bool, pageDuringQuestion);
    QFETCH(QList<int>, asked);
    RunControlRig r(1, withGate);
    WizardPara& w = r.rig.para;
    w.passwordEnabled = passwordEnabled;
    w.stopDetectPassword = stopPassword;
    w.stopForbidsClamp = w.stopForbidsEjector = 1;
    w.netEnabled = 1;
    if (!entry.isEmpty())
        r.enter({entry});
    r.host.answers = {answer};
    if (pageDuringQuestion)
        r.host.whileBoxOpen = [&](int) { r.host.settingsOrAreaPage = true; };
    r.rig.io->IOSetOut(OutAlarm, 1);
    r.rig.io->IOFlashOut();
    LEDOnOff(4, 1);

    r.commands->SlotStartStop();

    QCOMPARE(r.host.asked, asked);
    QCOMPARE(r.rig.slotHost.runState, int(RunStateDetecting));
    QCOMPARE(r.outputs(), 1 << OutAlarm);
    QVERIFY(r.rig.records().isEmpty());
    QVERIFY(led4());
    QVERIFY(r.rig.relay.calls().isEmpty());
}

void TestRunControl::stopPermissionOfItsOwn()
{
    // With the stop password and the login off, the stop dialog alone
    // decides; the login prompt is not asked.
    RunControlRig r;
    r.rig.para.stopDetectPassword = 1;
    r.rig.para.passwordEnabled = 0;
    r.enter({QStringLiteral("0000"), RunControlRig::parameterPassword()});
    r.host.answers = {1};
    r.commands->SlotStartStop();
    QCOMPARE(r.prompts("PasswordDialog"), 2);
    QCOMPARE(r.prompts("PasswordBox"), 0);
    QCOMPARE(r.accessLevel, int(AccessLevelNone));
    QCOMPARE(r.rig.slotHost.runState, int(RunStateStopped));
}

void TestRunControl::startFromStopped_data()
{
    QTest::addColumn<int>("cutClampAfterMoldOk");
    QTest::addColumn<int>("clampPulse");
    QTest::addColumn<int>("outputs");
    QTest::newRow("plain") << 0 << 5 << 0;
    QTest::newRow("clamp cut with a pulse") << 1 << 5 << 0b1;
    QTest::newRow("clamp cut without a pulse") << 1 << 0 << 0;
}

void TestRunControl::startFromStopped()
{
    QFETCH(int, cutClampAfterMoldOk);
    QFETCH(int, clampPulse);
    QFETCH(int, outputs);
    RunControlRig r;
    r.rig.para.cutClampAfterMoldOk = cutClampAfterMoldOk;
    r.rig.para.clampPulse = clampPulse;
    r.rig.para.passwordEnabled = 1;   // starting needs no permission
    r.rig.slotHost.runState = RunStateStopped;
    r.rig.io->IOSetOut(OutAlarm, 1);
    r.rig.io->IOFlashOut();
    LEDOnOff(4, 0);

    r.commands->SlotStartStop();

    QVERIFY(r.host.asked.isEmpty());
    QVERIFY(r.rig.env.modalRequests.empty());
    QCOMPARE(r.rig.slotHost.runState, int(RunStateDetecting));
    QCOMPARE(r.outputs(), outputs);
    QCOMPARE(r.rig.records(), QStringList{Msg(142)});
    QVERIFY(led4());
    QVERIFY(r.rig.relay.calls().isEmpty());   // relay switched off
}

// ---- re-sampling --------------------------------------------------------------

void TestRunControl::reTrainWhileStoppedStartsDetectionFirst()
{
    RunControlRig r(2);
    r.rig.useSmallGreyFrames();
    gDNum = 3;   // detection 2 exists but is off
    r.rig.slotHost.runState = RunStateStopped;
    LEDOnOff(4, 0);
    for (int c = 0; c < 2; ++c) {
        CameraSlotState& s = r.rig.cams[c]->state;
        s.isOK = 0;
        s.roiOK[1][7] = 0;
        for (int k = 0; k < 3; ++k)
            s.ignoreMask[k].assign(256, 255);
    }
    int startsBeforeDeletion = -1;
    int stateAtDeletion = -1;
    r.host.onTempDeleteAll = [&] {
        startsBeforeDeletion = r.cycleHost.events.filter("start stop button").size();
        stateAtDeletion = r.rig.slotHost.runState;
    };
    r.host.answers = {1};

    r.commands->SlotReTrain();

    QCOMPARE(r.host.asked, QList<int>{137});
    QCOMPARE(startsBeforeDeletion, 1);
    QCOMPARE(stateAtDeletion, int(RunStateTraining));
    QCOMPARE(r.rig.slotHost.runState, int(RunStateTraining));
    QVERIFY(led4());
    for (int c = 0; c < 2; ++c) {
        const CameraSlotState& s = r.rig.cams[c]->state;
        QCOMPARE(int(s.isOK), 1);
        QCOMPARE(int(s.roiOK[1][7]), 1);
        QCOMPARE(int(s.reSamplePending[0]), 1);
        QCOMPARE(int(s.reSamplePending[1]), 1);
        QCOMPARE(int(s.reSamplePending[2]), 0);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(int(s.ignoreMask[k].size()), 256);
            QVERIFY(std::all_of(s.ignoreMask[k].begin(), s.ignoreMask[k].end(), [](uchar v) { return v == 0; }));
        }
        QCOMPARE(r.rig.cams[c]->events.filter("SaveIgnorePoint"),
                 (QStringList{"SaveIgnorePoint 0", "SaveIgnorePoint 1", "SaveIgnorePoint 2"}));
    }
    QCOMPARE(r.rig.records(), QStringList{Msg(139)});
    QCOMPARE(r.host.events, (QStringList{"delete templates", "save sn 0"}));
}

void TestRunControl::reTrainRefused_data()
{
    QTest::addColumn<bool>("dialogOpen");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("alarmDuringQuestion");
    QTest::addColumn<QList<int>>("asked");
    QTest::newRow("a dialog is open") << true << 1 << false << QList<int>{};
    QTest::newRow("No") << false << 0 << false << QList<int>{137};
    QTest::newRow("alarm during the question") << false << 1 << true << QList<int>{137};
}

void TestRunControl::reTrainRefused()
{
    QFETCH(bool, dialogOpen);
    QFETCH(int, answer);
    QFETCH(bool, alarmDuringQuestion);
    QFETCH(QList<int>, asked);
    RunControlRig r;
    r.host.otherPage = dialogOpen;
    r.host.answers = {answer};
    if (alarmDuringQuestion)
        r.host.whileBoxOpen = [&](int) { r.rig.state.pageMode = PageModeAlarm; };
    r.commands->SlotReTrain();
    QCOMPARE(r.host.asked, asked);
    QCOMPARE(r.rig.slotHost.runState, int(RunStateDetecting));
    QVERIFY(r.host.events.isEmpty());
    QCOMPARE(int(r.rig.cams[0]->state.reSamplePending[1]), 0);
    QVERIFY(r.rig.records().isEmpty());
}

void TestRunControl::reSamplingThroughTheCycle_data()
{
    QTest::addColumn<bool>("pageAllowed");
    QTest::newRow("area page opened") << true;
    QTest::newRow("area page refused") << false;
}

void TestRunControl::reSamplingThroughTheCycle()
{
    // The command starts re-sampling; each triggered detection stores its
    // frame instead of judging; the last one restarts detection with
    // closing blocked and asks for the area page.
    QFETCH(bool, pageAllowed);
    RunControlRig r(2);
    r.rig.para.passwordEnabled = 1;
    r.accessLevel = AccessLevelPrimary;
    r.enter({r.entryFor(pageAllowed ? AccessLevelPrimary : AccessLevelNone)});
    r.host.answers = {1};
    r.commands->SlotReTrain();
    QCOMPARE(r.rig.slotHost.runState, int(RunStateTraining));

    // Logged out meanwhile: opening the page asks the login prompt.
    r.accessLevel = AccessLevelNone;
    for (int d = 0; d < 2; ++d)
        for (int c = 0; c < 2; ++c)
            r.rig.controller->RunAlgorithm(c, d);

    for (int c = 0; c < 2; ++c) {
        QCOMPARE(r.rig.cams[c]->events.filter("SaveReTrainImage"),
                 (QStringList{"SaveReTrainImage 0", "SaveReTrainImage 1"}));
        QCOMPARE(r.rig.cams[c]->count("Run"), 0);
    }
    QCOMPARE(r.cycleHost.events.filter("check area"), QStringList{"check area 0"});
    QCOMPARE(r.prompts("PasswordBox"), 1);

    if (!pageAllowed) {
        // The new templates are trained at once and detection goes on.
        QCOMPARE(gFromTrain, 0);
        QCOMPARE(r.rig.slotHost.runState, int(RunStateDetecting));
        QVERIFY(!gisReTrain);
        for (int c = 0; c < 2; ++c)
            QCOMPARE(r.rig.cams[c]->events.filter(QRegularExpression("CreateShape|VarTrain")),
                     (QStringList{"CreateShape 0", "VarTrain 0", "CreateShape 1", "VarTrain 1"}));
        QCOMPARE(r.outputs() & 1, 1);   // closing blocked until the next mould OK
        r.rig.state.delayCountdownTenths[1] = 0;
        r.rig.state.pendingCameraMask[1] = 0b11;
        r.rig.controller->TimerUp(1);
        QCOMPARE(r.outputs() & 1, 0);
        return;
    }

    QCOMPARE(gFromTrain, 1);
    QCOMPARE(r.rig.state.pageMode, int(PageModeArea));
    QVERIFY(r.cycleHost.events.contains("hide side bar"));
    QVERIFY(r.cycleHost.events.contains("area page reset 0"));
    QCOMPARE(r.rig.slotHost.runState, int(RunStateTraining));
    QCOMPARE(r.outputs() & 1, 1);
    QCOMPARE(r.rig.cams[0]->count("CreateShape"), 0);

    // The page's return: detection judges again, closing is released, and
    // the models are rebuilt at the end of the result display.
    gFromTrain = 0;
    r.rig.state.pageMode = PageModeNone;
    r.commands->BackTrain();
    QCOMPARE(r.rig.slotHost.runState, int(RunStateDetecting));
    QCOMPARE(r.outputs() & 1, 0);
    QVERIFY(gisReTrain);
    QCOMPARE(r.rig.cams[0]->count("CreateShape"), 0);
    r.rig.advance(2100);
    QVERIFY(!gisReTrain);
    for (int c = 0; c < 2; ++c)
        QCOMPARE(r.rig.cams[c]->events.filter(QRegularExpression("CreateShape|VarTrain")),
                 (QStringList{"CreateShape 0", "VarTrain 0", "CreateShape 1", "VarTrain 1"}));
}

// ---- snapshots ------------------------------------------------------------------

void TestRunControl::manualSnapshot_data()
{
    QTest::addColumn<int>("runState");
    QTest::addColumn<int>("productDetect");
    QTest::addColumn<bool>("fromSideBar");
    QTest::addColumn<int>("d");
    QTest::addColumn<int>("taken");
    QTest::addColumn<QList<int>>("warned");
    QTest::newRow("detection 1") << int(RunStateDetecting) << 1 << false << 1 << 1 << QList<int>{};
    QTest::newRow("detection 0") << int(RunStateDetecting) << 1 << false << 0 << 0 << QList<int>{};
    QTest::newRow("detection 0, product off") << int(RunStateDetecting) << 0 << false << 0 << -1 << QList<int>{145};
    QTest::newRow("stopped") << int(RunStateStopped) << 1 << false << 1 << -1 << QList<int>{};
    QTest::newRow("side bar's choice") << int(RunStateDetecting) << 1 << true << 1 << 1 << QList<int>{};
}

void TestRunControl::manualSnapshot()
{
    QFETCH(int, runState);
    QFETCH(int, productDetect);
    QFETCH(bool, fromSideBar);
    QFETCH(int, d);
    QFETCH(int, taken);
    QFETCH(QList<int>, warned);
    RunControlRig r(2);
    r.rig.para.productDetectEnabled = productDetect;
    r.rig.slotHost.runState = runState;
    for (int c = 0; c < 2; ++c)
        std::fill(std::begin(r.rig.cams[c]->state.skipMould), std::end(r.rig.cams[c]->state.skipMould), uchar(1));
    if (fromSideBar) {
        r.host.chosenTrig = d;
        r.commands->SlotMuliManualTrig();
    } else if (d == 0) {
        r.commands->SlotManualTrig0();
    } else {
        r.commands->SlotManualTrig1();
    }
    QCOMPARE(r.host.warned, warned);
    QCOMPARE(r.rig.state.manualTrigDetect, taken < 0 ? gDNum : taken);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(int(r.rig.cams[c]->state.skipMould[0]), taken < 0 ? 1 : 0);
        QCOMPARE(int(r.rig.cams[c]->state.skipMould[1]), taken < 0 ? 1 : 0);
        QCOMPARE(int(r.rig.cams[c]->state.skipMould[2]), 1);   // beyond gDNum
    }
}

void TestRunControl::noCameraSnapshot_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("fileDepth");
    QTest::addColumn<int>("viewCamera");
    QTest::addColumn<int>("camera");
    QTest::newRow("8-bit file, colour processing") << 1 << 8 << 1 << 1;
    QTest::newRow("colour file, grey processing") << 0 << 32 << 1 << 1;
    QTest::newRow("8-bit file, grey, grid shown") << 0 << 8 << 2 << 0;
    QTest::newRow("colour file, colour processing") << 1 << 32 << 0 << 0;
}

void TestRunControl::noCameraSnapshot()
{
    // The stored picture becomes the shown camera's frame in the processed
    // format whatever its own; an odd width has padded rows in the file.
    QFETCH(int, color);
    QFETCH(int, fileDepth);
    QFETCH(int, viewCamera);
    QFETCH(int, camera);
    RunControlRig r(2);
    gCameraID = CameraKindNone;
    gisColor = color;
    gImageW = 7;
    gImageH = 3;
    gImageLen = 21;
    gColorLen = color ? 84 : 21;
    r.rig.slotHost.view.viewCamera = viewCamera;
    writeBmp("cammer15/template0.bmp", greyRamp(7, 3, fileDepth));
    writeBmp("cammer15/template1.bmp", greyRamp(8, 3, fileDepth));   // other size

    r.commands->SlotManualTrig(1);

    QCOMPARE(r.commands->snapshotCounter(), 1);
    QVERIFY(r.rig.cams[1 - camera]->state.procFrame.empty());
    const std::vector<uchar> frame = r.rig.cams[camera]->state.procFrame;
    QCOMPARE(int(frame.size()), gColorLen);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            const int v = 10 * x + y;
            if (color) {
                const uchar* px = frame.data() + (y * 7 + x) * 4;
                QCOMPARE(int(px[0]), v);
                QCOMPARE(int(px[1]), v);
                QCOMPARE(int(px[2]), v);
            } else {
                QCOMPARE(int(frame[size_t(y * 7 + x)]), v);
            }
        }

    // A picture of another size is not used; the counter moves on.
    r.commands->SlotManualTrig(1);
    QCOMPARE(r.commands->snapshotCounter(), 2);
    QVERIFY(r.rig.cams[camera]->state.procFrame == frame);
}

void TestRunControl::noCameraSnapshotCounterWraps()
{
    RunControlRig r;
    gCameraID = CameraKindNone;
    gisColor = 0;
    gImageW = gImageH = 4;
    gImageLen = gColorLen = 16;
    for (int i = 0; i < 49; ++i)
        r.commands->SlotManualTrig(1);   // no picture stored: nothing taken
    QCOMPARE(r.commands->snapshotCounter(), 49);
    QVERIFY(r.rig.cams[0]->state.procFrame.empty());
    writeBmp("cammer15/template49.bmp", greyRamp(4, 4, 8));
    r.commands->SlotManualTrig(1);
    QCOMPARE(r.commands->snapshotCounter(), 0);
    QCOMPARE(int(r.rig.cams[0]->state.procFrame[5]), 11);
}

// ---- skip mode and capture mode -----------------------------------------------

void TestRunControl::skipToggleRestarts()
{
    RunControlRig r;
    WizardPara& w = r.rig.para;
    w.skipDetectCount = 5;
    r.rig.state.skipCount = 3;

    // Off in the parameters: nothing.
    r.commands->SlotStartSkipDetect();
    QVERIFY(r.host.asked.isEmpty());

    w.skipDetectEnabled = 1;
    r.host.answers = {0, 1, 1};
    r.commands->SlotStartSkipDetect();   // No
    QCOMPARE(r.rig.state.skipCount, 3);
    QVERIFY(!r.rig.state.skipActive);
    QVERIFY(r.cycleHost.events.isEmpty());

    r.commands->SlotStartSkipDetect();   // Yes: skipping on
    QCOMPARE(r.host.asked, (QList<int>{574, 574}));
    QCOMPARE(r.host.askedTexts.last(), Msg(574).arg(5));
    QVERIFY(r.host.askedTexts.last().contains(QLatin1Char('5')));
    QVERIFY(r.rig.state.skipActive);
    QCOMPARE(r.rig.state.skipCount, 0);
    QCOMPARE(r.rig.slotHost.runState, int(RunStateDetecting));
    QCOMPARE(r.cycleHost.events, (QStringList{"skip button " + Msg(576), "start stop button " + Msg(136),
                                              "start stop button " + Msg(127)}));

    r.rig.state.skipCount = 2;
    r.cycleHost.events.clear();
    r.commands->SlotStartSkipDetect();   // Yes: skipping off
    QCOMPARE(r.host.asked.last(), 578);
    QVERIFY(!r.rig.state.skipActive);
    QCOMPARE(r.rig.state.skipCount, 0);
    QCOMPARE(r.cycleHost.events, (QStringList{"skip button " + Msg(573), "start stop button " + Msg(136),
                                              "start stop button " + Msg(127)}));
}

void TestRunControl::cameraChangeTrigIsLiveOnly()
{
    RunControlRig r(2);
    r.rig.para.externalTrigger = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "param");
        db.setDatabaseName("PARAM.db");
        QVERIFY(db.open());
        QVERIFY(r.rig.para.SaveDatatoFile(db).ok);
        db.close();
    }
    QSqlDatabase::removeDatabase("param");
    QFile file("PARAM.db");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    r.commands->CameraChangeTrig();
    QCOMPARE(gpWPara->externalTrigger, 1);
    QCOMPARE(r.host.events, QStringList{"capture mode label"});
    QCOMPARE(r.rig.cams[0]->events, QStringList{"CameraChangeTrig 0"});
    QCOMPARE(r.rig.cams[1]->events, QStringList{"CameraChangeTrig 0"});
    QVERIFY(r.rig.cams[2]->events.isEmpty());
    r.commands->CameraChangeTrig();
    QCOMPARE(gpWPara->externalTrigger, 0);

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

// ---- area adjustment ------------------------------------------------------------

void TestRunControl::adjustArea_data()
{
    QTest::addColumn<int>("autoGenerate");
    QTest::addColumn<int>("areas");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("alarmDuringQuestion");
    QTest::addColumn<int>("showCavity");
    QTest::addColumn<QStringList>("events");
    const QStringList opened{"hide status strip"};
    QTest::newRow("no area, proposal wanted") << 1 << 0 << 1 << false << 0 << opened + QStringList{"autogenerate 1"};
    QTest::newRow("no area, proposal declined") << 1 << 0 << 0 << false << 0 << opened;
    QTest::newRow("no area, alarm meanwhile") << 1 << 0 << 1 << true << 0 << opened;
    QTest::newRow("areas present") << 1 << 2 << 1 << false << 0 << opened;
    QTest::newRow("no proposals") << 0 << 0 << 1 << false << 0 << opened;
    QTest::newRow("cavity numbers") << 0 << 2 << 1 << false << 1 << opened + QStringList{"cavity boxes 1"};
}

void TestRunControl::adjustArea()
{
    QFETCH(int, autoGenerate);
    QFETCH(int, areas);
    QFETCH(int, answer);
    QFETCH(bool, alarmDuringQuestion);
    QFETCH(int, showCavity);
    QFETCH(QStringList, events);
    RunControlRig r(2);
    r.rig.para.autoGenerateArea = autoGenerate;
    r.rig.para.showCavityNumbers = showCavity;
    r.rig.slotHost.view.viewCamera = 1;
    r.rig.slotHost.view.editDetect = 1;
    CammerSingleton work(1);
    std::fill(std::begin(work.roiCount), std::end(work.roiCount), 3);
    work.roiCount[1] = areas;
    r.rig.cams[1]->state.workSet = &work;
    r.host.answers = {answer};
    if (alarmDuringQuestion)
        r.host.whileBoxOpen = [&](int) { r.rig.state.pageMode = PageModeAlarm; };

    r.commands->SlotAdjustArea();

    QCOMPARE(r.host.asked, autoGenerate && areas == 0 ? QList<int>{354} : QList<int>{});
    QCOMPARE(r.host.events, events);
    QCOMPARE(r.cycleHost.events, (QStringList{"hide side bar", "area page reset 0"}));
    if (!alarmDuringQuestion)
        QCOMPARE(r.rig.state.pageMode, int(PageModeArea));
}

void TestRunControl::adjustAreaRefused_data()
{
    QTest::addColumn<bool>("dialogOpen");
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("loginLevel");
    QTest::newRow("a dialog is open") << true << int(PageModeNone) << 1;
    QTest::newRow("alarm shown") << false << int(PageModeAlarm) << 1;
    QTest::newRow("login refused") << false << int(PageModeNone) << 0;
}

void TestRunControl::adjustAreaRefused()
{
    QFETCH(bool, dialogOpen);
    QFETCH(int, pageMode);
    QFETCH(int, loginLevel);
    RunControlRig r;
    r.rig.para.passwordEnabled = 1;
    r.rig.para.autoGenerateArea = 1;
    r.enter({r.entryFor(loginLevel)});
    r.host.otherPage = dialogOpen;
    r.rig.state.pageMode = pageMode;
    r.commands->SlotAdjustArea();
    QCOMPARE(r.rig.state.pageMode, pageMode);
    QVERIFY(r.cycleHost.events.isEmpty());
    QVERIFY(r.host.events.isEmpty());
}

// ---- template deletion ------------------------------------------------------------

void TestRunControl::templateDeletion_data()
{
    QTest::addColumn<int>("netEnabled");
    QTest::addColumn<bool>("relayOpen");
    QTest::addColumn<bool>("relayAlive");
    QTest::addColumn<bool>("reported");
    QTest::newRow("relay linked") << 1 << true << true << true;
    QTest::newRow("relay switched off") << 0 << true << true << false;
    QTest::newRow("relay not listening") << 1 << false << true << false;
    QTest::newRow("relay not alive") << 1 << true << false << false;
}

void TestRunControl::templateDeletion()
{
    QFETCH(int, netEnabled);
    QFETCH(bool, relayOpen);
    QFETCH(bool, relayAlive);
    QFETCH(bool, reported);
    TestEnv env;
    RecordingRelayLink relay;
    relay.open = relayOpen;
    relay.alive = relayAlive;
    gpNet = &relay;

    CameraSlotState slot;
    slot.AllocateSlotBuffers(4, 4, false, 5);
    const int cam = 1;
    for (int d = 0; d < 3; ++d) {
        for (int t = 0; t < 5; ++t) {
            std::fill_n(slot.TemplateBuffer(d, t), 16, uchar(t + 1));
            slot.templateValid[d][t] = 1;
            env.writeFile(QStringLiteral("cammer2%1/template%2.bmp").arg(d + 1).arg(t), "x");
        }
        slot.templateCount[d] = 5;
        // Left by a larger library, and a file of another kind.
        env.writeFile(QStringLiteral("cammer2%1/template7.bmp").arg(d + 1), "x");
        env.writeFile(QStringLiteral("cammer2%1/ignorepoint.bmp").arg(d + 1), "x");
    }
    slot.tempShown = 3;

    slot.camIndex = cam;
    TemplateReports reports;
    reports.netEnabled = netEnabled != 0;
    const TemplateOutcome outcome = TemplateLibrary(slot, reports).deleteAll(2);
    QVERIFY(outcome.changed);
    QCOMPARE(outcome.warning, TemplateOutcome::kNoWarning);
    gpNet = nullptr;

    const QStringList kept{"ignorepoint.bmp", "template0.bmp"};
    QCOMPARE(QDir("cammer21").entryList(QDir::Files, QDir::Name), kept);
    QCOMPARE(QDir("cammer22").entryList(QDir::Files, QDir::Name), kept);
    QCOMPARE(QDir("cammer23").entryList(QDir::Files).size(), 7);   // beyond the detections
    for (int d = 0; d < 2; ++d) {
        QCOMPARE(slot.templateCount[d], 1);
        QCOMPARE(slot.templateValid[d][0], 1);
        QCOMPARE(int(slot.templates[d][0][0]), 1);
        for (int t = 1; t < 5; ++t) {
            QCOMPARE(slot.templateValid[d][t], 0);
            QVERIFY(slot.templates[d][t].empty());
        }
    }
    QCOMPARE(slot.templateCount[2], 5);
    QVERIFY(!slot.templates[2][4].empty());
    QCOMPARE(slot.tempShown, 0);

    QStringList expected;
    if (reported)
        for (int d = 1; d <= 2; ++d)
            for (int t : {1, 2, 3, 4, 7})
                expected << QStringLiteral("deltemppic 2 %1 template%2.bmp").arg(d).arg(t);
    QCOMPARE(relay.calls(), expected);
}

QTEST_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
