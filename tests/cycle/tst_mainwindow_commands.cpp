// The main window's run-control commands as the side bar will call them:
// boxes through the modal hook, outputs through the real I/O layer, records
// into RECORD.db, and the window's stand-ins for the pages and the user
// accounts that do not exist yet.
#include "choosebox.h"
#include "controlport.h"
#include "globals.h"
#include "iothread.h"
#include "logmanager.h"
#include "messages.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "paths.h"
#include "testenv.h"
#include "warnbox.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <functional>

using namespace windowtest;

namespace {

// A window in env's program directory with the first-start parameters as
// edit changes them, and a clock check that passes quietly.  The boxes of
// the start-up are forgotten; answers are the script of what follows.
void makeWindow(TestEnv& env, const std::function<void(WizardPara&)>& edit, std::vector<int> answers)
{
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, edit);
    if (QTest::currentTestFailed())
        return;
    new MoJuWizard;
    env.modalRequests.clear();
    env.modalAnswers = std::move(answers);
    env.modalAnswersUsed = 0;
}

// The logical output word (the record's inversion undone).
int outputs()
{
    int word = gpControlIO->outWord;
    for (int k = 0; k < kOutputBits; ++k)
        if (gpWPara->outputInvert[k])
            word ^= 1 << k;
    return word;
}

QList<int> boxes(const TestEnv& env, const QString& kind)
{
    QList<int> ids;
    for (const ModalRequest& r : env.modalRequests)
        if (r.kind == kind)
            ids << r.messageId;
    return ids;
}

} // namespace

class TestMainWindowCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void startStopThroughTheBoxes();
    void passwordWithoutAccountsRefuses();
    void reSamplingReturnsWithoutTheAreaPage();
    void snapshotWarnsThroughTheWarnBox();
};

void TestMainWindowCommands::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestMainWindowCommands::cleanup()
{
    closeWindow();
    gisLostCom = 0;
    gFromTrain = 0;
    gisReTrain = false;
}

void TestMainWindowCommands::startStopThroughTheBoxes()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) {
        p.stopForbidsClamp = 1;
        p.stopForbidsEjector = 1;
        p.passwordEnabled = 0;
        p.stopDetectPassword = 0;
    }, {0, 1});
    QCOMPARE(gpWin->runState, int(RunStateDetecting));

    gpWin->SlotStartStop();   // No
    QCOMPARE(boxes(env, "ChooseBox"), QList<int>{140});
    QCOMPARE(gpWin->runState, int(RunStateDetecting));

    gpWin->SlotStartStop();   // Yes
    QCOMPARE(boxes(env, "ChooseBox"), (QList<int>{140, 140}));
    QCOMPARE(gpWin->runState, int(RunStateStopped));
    QCOMPARE(outputs(), 0b11);
    QVERIFY(!((LEDByte() >> 4) & 1));
    QVERIFY(records().contains(Msg(141)));

    gpWin->SlotStartStop();   // starting asks nothing
    QCOMPARE(env.modalRequests.size(), size_t(2));
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QVERIFY((LEDByte() >> 4) & 1);
    QVERIFY(records().contains(Msg(142)));
}

void TestMainWindowCommands::passwordWithoutAccountsRefuses()
{
    // Until the user accounts exist nobody can log in.
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.passwordEnabled = 1; }, {1});
    QCOMPARE(gpWin->CheckPassword(), 0);
    QVERIFY(!gpWin->CheckRoot());
    gpWin->SlotStartStop();
    gpWin->SlotReTrain();
    QVERIFY(env.modalRequests.empty());
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
}

void TestMainWindowCommands::reSamplingReturnsWithoutTheAreaPage()
{
    // Without the area page nothing would close it: the window returns from
    // it at once, so detection judges again and the models are rebuilt.
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.passwordEnabled = 0; }, {1});
    gpWin->SlotReTrain();
    QCOMPARE(boxes(env, "ChooseBox"), QList<int>{137});
    QCOMPARE(gpWin->runState, int(RunStateTraining));
    const QStringList r = records();
    QVERIFY(r.contains(Msg(71)));
    QVERIFY(r.contains(Msg(139)));

    static_cast<CycleHost*>(gpWin)->CheckArea(false);
    QCOMPARE(gFromTrain, 0);
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QVERIFY(gpWin->pageMode != PageModeArea);
    QVERIFY(gisReTrain);
    QCOMPARE(outputs() & 1, 0);
}

void TestMainWindowCommands::snapshotWarnsThroughTheWarnBox()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.productDetectEnabled = 0; }, {});
    const int pending = gpWin->manualTrigDetect;
    gpWin->SlotManualTrig0();
    QCOMPARE(boxes(env, "WarnBox"), QList<int>{145});
    QCOMPARE(gpWin->manualTrigDetect, pending);
    gpWin->SlotManualTrig1();
    QCOMPARE(gpWin->manualTrigDetect, 1);
}

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindow_commands.moc"
