// The main window's run-control commands as the side bar will call them:
// boxes through the modal hook, outputs through the real I/O layer, records
// into RECORD.db, the protected commands answered through the real password
// prompts, and the window's stand-ins for the pages that do not exist yet.
#include "choosebox.h"
#include "colorbutton.h"
#include "cameraglobals.h"
#include "controlport.h"
#include "drawroiwidget.h"
#include "edit.h"
#include "globals.h"
#include "glog.h"
#include "iothread.h"
#include "logmanager.h"
#include "messages.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "operationrecord.h"
#include "passwordbox.h"
#include "paths.h"
#include "recordsport.h"
#include "testenv.h"
#include "warnbox.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <glog/logging.h>

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

// The service code the prompts take at the fake clock's hour.
QString serviceCode(const TestEnv& env)
{
    return QStringLiteral("5962") + env.clock->now().toString(QStringLiteral("MMddhh"));
}

// The records subsystem as the window sees it, counting its calls.
class CountingRecordsPort : public RecordsPort {
public:
    int opened = 0;
    int loggedOut = 0;
    void openUserStore() override { ++opened; }
    void logOutUser() override { ++loggedOut; }
};

// Every Qt message of the run, for the secrets check; each goes on to the
// window's message log too.
QStringList gQtMessages;
QtMessageHandler gMessageLog = nullptr;
void captureQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    gQtMessages << text;
    if (gMessageLog)
        gMessageLog(type, context, text);
}

// The technical log: glog starts once per process, into a folder of its own.
QTemporaryDir& glogDir()
{
    static QTemporaryDir dir;
    return dir;
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
    void protectedCommandsThroughTheLoginPrompt();
    void stopPermissionDialogMadeOnceAndKept();
    void loginPromptSharedWithTheWindow();
    void levelResets_data();
    void levelResets();
    void secretsStayOut();
    void reSamplingReturnsThroughEndSet();
    void snapshotWarnsThroughTheWarnBox();
};

void TestMainWindowCommands::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
    QVERIFY(glogDir().isValid());
    static QByteArray prog = QCoreApplication::applicationFilePath().toLocal8Bit();
    static char* argv[] = {prog.data(), nullptr};
    if (!google::IsGoogleLoggingInitialized())
        gGlog = new GLog((glogDir().path() + "/").toStdString(), argv);
}

void TestMainWindowCommands::cleanup()
{
    closeWindow();
    gisLostCom = 0;
    gFromTrain = 0;
    gisReTrain = false;
    setRecordsPort(nullptr);
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

void TestMainWindowCommands::protectedCommandsThroughTheLoginPrompt()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) {
        p.passwordEnabled = 1;
        p.stopDetectPassword = 0;
        WizardPara::SetText(p.password, QStringLiteral("2468"));
    }, {1});

    // Refused, then cancelled: nothing happens.
    env.modalTexts = {QStringLiteral("1111"), std::nullopt};
    gpWin->SlotStartStop();
    QCOMPARE(boxes(env, "PasswordBox"), (QList<int>{356, 356}));
    QVERIFY(boxes(env, "ChooseBox").isEmpty());
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QCOMPARE(gpWin->accessLevel, int(AccessLevelNone));

    // The parameter password logs in at the primary level and stops.
    env.modalRequests.clear();
    env.modalTexts = {QStringLiteral("2468")};
    env.modalTextsUsed = 0;
    gpWin->SlotStartStop();
    QCOMPARE(boxes(env, "PasswordBox"), QList<int>{356});
    QCOMPARE(boxes(env, "ChooseBox"), QList<int>{140});
    QCOMPARE(gpWin->accessLevel, int(AccessLevelPrimary));
    QCOMPARE(gpWin->runState, int(RunStateStopped));

    // The service gate asks once; Cancel keeps the primary level.
    env.modalRequests.clear();
    QVERIFY(!gpWin->CheckRoot());
    QCOMPARE(boxes(env, "PasswordBox"), QList<int>{356});
    QCOMPARE(gpWin->accessLevel, int(AccessLevelPrimary));

    // The service code raises it; the gates then ask nothing.
    env.modalRequests.clear();
    env.modalTexts = {serviceCode(env)};
    env.modalTextsUsed = 0;
    QVERIFY(gpWin->CheckRoot());
    QCOMPARE(gpWin->CheckPassword(), int(AccessLevelAdvanced));
    QCOMPARE(boxes(env, "PasswordBox"), QList<int>{356});
}

void TestMainWindowCommands::stopPermissionDialogMadeOnceAndKept()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) {
        p.passwordEnabled = 0;
        p.stopDetectPassword = 1;
    }, {1});

    env.modalTexts = {QStringLiteral("5962"), std::nullopt};   // the stored form is not enough here
    gpWin->SlotStartStop();
    QCOMPARE(boxes(env, "PasswordDialog"), (QList<int>{356, 356}));
    QCOMPARE(gpWin->runState, int(RunStateDetecting));

    env.modalTexts = {serviceCode(env)};
    env.modalTextsUsed = 0;
    gpWin->SlotStartStop();
    QCOMPARE(gpWin->runState, int(RunStateStopped));
    QCOMPARE(gpWin->accessLevel, int(AccessLevelNone));   // the dialog logs nobody in
    QVERIFY(boxes(env, "PasswordBox").isEmpty());
    QCOMPARE(gpWin->findChildren<PasswordDialog*>().size(), 1);
}

void TestMainWindowCommands::loginPromptSharedWithTheWindow()
{
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.passwordEnabled = 1; }, {});
    QVERIFY(gpPasswordBox);
    QCOMPARE(gpPasswordBox->parent(), static_cast<QObject*>(gpWin));
    QVERIFY(!gpWin->passwordBoxVisible());
    QVERIFY(!keypadHost().passwordBoxVisible());
    gpWin->show();
    gpPasswordBox->show();
    QVERIFY(gpWin->passwordBoxVisible());
    QVERIFY(keypadHost().passwordBoxVisible());

    // The keypad's Confirm submits it into the window's level.
    gpPasswordBox->passwordEdit->setText(serviceCode(env));
    gpNumPad->confirmKey->click();
    QVERIFY(!gpPasswordBox->isVisible());
    QCOMPARE(gpWin->accessLevel, int(AccessLevelAdvanced));
    QVERIFY(gpPasswordBox->passwordEdit->text().isEmpty());
}

void TestMainWindowCommands::levelResets_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("loggedOut");   // calls of the user store's logout
    QTest::newRow("refused entry, advanced") << "refused entry" << 2 << 0;
    QTest::newRow("refused entry, primary") << "refused entry" << 1 << 0;
    QTest::newRow("automatic logout, advanced") << "TimerLogout" << 2 << 1;
    QTest::newRow("automatic logout, primary") << "TimerLogout" << 1 << 1;
    QTest::newRow("logout timer fires") << "logoutTimer" << 2 << 1;
}

void TestMainWindowCommands::levelResets()
{
    QFETCH(QString, event);
    QFETCH(int, before);
    QFETCH(int, loggedOut);
    TestEnv env;
    CountingRecordsPort records;
    setRecordsPort(&records);
    makeWindow(env, [](WizardPara& p) { p.passwordEnabled = 1; }, {});
    QCOMPARE(records.opened, 1);
    QCOMPARE(records.loggedOut, 0);
    gpWin->accessLevel = before;
    if (event == "refused entry") {
        env.modalTexts = {QStringLiteral("000"), std::nullopt};
        QCOMPARE(gpPasswordBox->exec(), int(QDialog::Rejected));
    } else if (event == "TimerLogout") {
        gpWin->TimerLogout();
    } else {
        gpWin->logoutTimer->start(60000);
        QVERIFY(QMetaObject::invokeMethod(gpWin->logoutTimer, "timeout"));
        QVERIFY(!gpWin->logoutTimer->isActive());
    }
    QCOMPARE(gpWin->accessLevel, int(AccessLevelNone));
    QCOMPARE(records.loggedOut, loggedOut);
}

void TestMainWindowCommands::secretsStayOut()
{
    // A refused entry and a login with the operation record open: neither
    // the entries nor the parameter password reach a log, a record, glog
    // or a request to the modal hook.
    TestEnv env;
    makeWindow(env, [](WizardPara& p) {
        p.passwordEnabled = 1;
        p.logEnabled = 1;
        WizardPara::SetText(p.password, QStringLiteral("73915"));
    }, {1});
    QVERIFY(gpWin->operationRecord());
    gQtMessages.clear();
    gMessageLog = qInstallMessageHandler(captureQtMessage);
    env.modalTexts = {QStringLiteral("864208"), QStringLiteral("73915")};
    gpWin->SlotStartStop();
    QCOMPARE(gpWin->runState, int(RunStateStopped));
    QCOMPARE(gpWin->accessLevel, int(AccessLevelPrimary));
    env.modalTexts = {serviceCode(env)};
    env.modalTextsUsed = 0;
    QVERIFY(gpWin->CheckRoot());
    gpWin->FLushAll();
    google::FlushLogFiles(google::GLOG_INFO);
    qInstallMessageHandler(gMessageLog);
    gMessageLog = nullptr;

    const QStringList secrets{QStringLiteral("864208"), QStringLiteral("73915"), serviceCode(env)};
    for (const QString& secret : secrets) {
        QVERIFY2(!gQtMessages.join('\n').contains(secret), qPrintable(secret));
        for (const ModalRequest& r : env.modalRequests)
            QVERIFY(!r.text.contains(secret));
        QVERIFY(!records().join('\n').contains(secret));
    }
    // Every file the run wrote but the parameters, which hold the password
    // as specified; and the technical log.
    int filesRead = 0;
    for (const QString& root : {env.dir(), glogDir().path()}) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains("PARAM.db") || path.contains("/paraGroup/"))
                continue;
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            ++filesRead;
            for (const QString& secret : secrets)
                QVERIFY2(!bytes.contains(secret.toLatin1()), qPrintable(path + ": " + secret));
        }
    }
    QVERIFY(filesRead > 2);
    QVERIFY(gpPasswordBox->passwordEdit->text().isEmpty());
}

void TestMainWindowCommands::reSamplingReturnsThroughEndSet()
{
    // After re-sampling the area page stays open on the new templates until
    // "End Set": only then does detection judge again, with the models
    // rebuilt.
    TestEnv env;
    makeWindow(env, [](WizardPara& p) { p.passwordEnabled = 0; }, {1});
    gpWin->SlotReTrain();
    QCOMPARE(boxes(env, "ChooseBox"), QList<int>{137});
    QCOMPARE(gpWin->runState, int(RunStateTraining));
    const QStringList r = records();
    QVERIFY(r.contains(Msg(71)));
    QVERIFY(r.contains(Msg(139)));

    static_cast<CycleHost*>(gpWin)->CheckArea(false);
    QCOMPARE(gFromTrain, 1);
    QCOMPARE(gpWin->pageMode, int(PageModeArea));
    QVERIFY(gpWin->areaPageVisible());
    QCOMPARE(gSource, int(PictureSourceTemplate));
    QCOMPARE(gpWin->runState, int(RunStateTraining));

    gpWin->areaPage->returnButton->click();
    QCOMPARE(gFromTrain, 0);
    QVERIFY(!gpWin->areaPageVisible());
    QCOMPARE(gSource, int(PictureSourceNone));
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QVERIFY(gpWin->pageMode != PageModeArea);   // the verdict may show OK now
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
