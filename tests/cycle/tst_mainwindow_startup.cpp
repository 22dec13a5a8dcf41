// What the main window does at start-up: database recovery without a
// reboot, the start-up record, the clock check, the camera count and its
// questions, the picture folders, the update script and the outputs it
// leaves.  The bus holds two small grey cameras unless a test says otherwise.
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "controlport.h"
#include "cyclecounters.h"
#include "edit.h"
#include "failimagestore.h"
#include "colorbutton.h"
#include "databaseopener.h"
#include "globals.h"
#include "graycolortable.h"
#include "wizardpara.h"
#include "iothread.h"
#include "logmanager.h"
#include "mapplication.h"
#include "messages.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "paths.h"
#include "savefialimagethread.h"
#include "simcamerabus.h"
#include "slotrig.h"
#include "testenv.h"
#include "choosebox.h"
#include "warnbox.h"
#include "windowtest.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

class TestMainWindowStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartMakesDatabasesAndWritesStartRecord();
    void firstStartIsQuiet_data();
    void firstStartIsQuiet();
    void damagedRecordDatabaseIsRestoredWithoutReboot();
    void lockedParameterDatabaseIsNeitherMovedNorSaved();
    void confirmLabelInLoadedLanguage_data();
    void confirmLabelInLoadedLanguage();
    void parameterRecordsBelongToTheWindow();
    void clockCheck_data();
    void clockCheck();
    void pressOnWindowHidesKeypadsKeepsTarget();
    void constructionMakesTheFolderTree();
    void timeFileMadeWhenMissing();
    void outputsAfterConstruction_data();
    void outputsAfterConstruction();
    void firstDetectionAndShownCamera_data();
    void firstDetectionAndShownCamera();
    void updateScriptIsRunAndRemovedThroughTheRunner();
    void changedCameraCountClearsSerialsAndReopensWithoutReboot_data();
    void changedCameraCountClearsSerialsAndReopensWithoutReboot();
    void clockCheckStopsDetection();
    void emptyBusAsksAndCountsVirtualCameras();
    void writerRunsAndEndsWithTheWindow();
    void picturesNumberedOverTheFoldersInUse();
    void writerWritesIntoTheWindowsFolders();
    void memoryInfoOnlyToALiveRelay_data();
    void memoryInfoOnlyToALiveRelay();
};

using namespace windowtest;

namespace {
// A runner that claims to act on the machine: its reboot really happens.
class PanelRunner : public RecordingCommandRunner {
public:
    bool isReal() const override { return true; }
};

void makeTable(const QString& file, const QString& sql)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        if (!sql.isEmpty())
            QVERIFY(QSqlQuery(db).exec(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
}

QString storedRow(const QString& name)
{
    QSqlQuery q(QSqlDatabase::database("dbIn"));
    q.exec(QString("select value from sysparam where name='%1'").arg(name));
    return q.next() ? q.value(0).toString() : QString();
}
}

void TestMainWindowStartup::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestMainWindowStartup::init()
{
    loadBus(2, "CAMW");
}

void TestMainWindowStartup::cleanup()
{
    closeWindow();
}

void TestMainWindowStartup::firstStartMakesDatabasesAndWritesStartRecord()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    new MoJuWizard;
    QVERIFY(QFile::exists(env.path("PARAM.db")));
    QVERIFY(QFile::exists(env.path("SN.db")));
    QVERIFY(records().contains(Msg(150).arg(2)));
    QVERIFY(env.modalRequests.empty());
    QVERIFY(env.runner->calls().empty());
    // The one table the views use too, not a copy of it.
    QCOMPARE(gpWin->grayColorTable, &GrayColorTable());
    QCOMPARE(gpWin->grayColorTable->size(), 256);
    for (int i : {0, 1, 128, 255})
        QCOMPARE(gpWin->grayColorTable->at(i), qRgb(i, i, i));
}

void TestMainWindowStartup::firstStartIsQuiet_data()
{
    QTest::addColumn<bool>("recordTemplate");
    QTest::addColumn<QByteArray>("param");   // "-": no PARAM.db
    QTest::addColumn<bool>("serialTable");
    QTest::newRow("record database from its template") << true << QByteArray("-") << true;
    QTest::newRow("zero-byte PARAM.db") << false << QByteArray() << true;
    QTest::newRow("SN.db without its table") << false << QByteArray("-") << false;
}

void TestMainWindowStartup::firstStartIsQuiet()
{
    // No notice at a normal first start, nor at the next one; the files hold
    // the first-start parameters.
    QFETCH(bool, recordTemplate);
    QFETCH(QByteArray, param);
    QFETCH(bool, serialTable);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    if (recordTemplate)
        makeTable(env.path("RECORDNULL.db"), "CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)");
    if (param != "-")
        env.writeFile("PARAM.db", param);
    makeTable(env.path("SN.db"), serialTable ? "create table sysparam(name text, value text)" : "");
    for (int start = 0; start < 2; ++start) {
        new MoJuWizard;
        QCOMPARE(int(env.modalRequests.size()), 0);
        QVERIFY(records().contains(Msg(150).arg(2)));
        QCOMPARE(gpWPara->exposure[0], 30);
        QCOMPARE(storedRow("exposeTime"), QString("30 30 30 30"));
        QCOMPARE(storedRow("contrast"), QString("100 100 100 100"));
        QCOMPARE(storedRow("system7").split(' ').value(6), QString("1"));
        QVERIFY(QDir(env.dir()).entryList({"*.broken_*"}).isEmpty());
        cleanup();
    }
}

void TestMainWindowStartup::lockedParameterDatabaseIsNeitherMovedNorSaved()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    QVERIFY(QDir().mkpath(env.path("paraGroup/default")));
    makeTable(env.path("paraGroup/default/PARAM.db"), "create table sysparam(name text, value text)");
    new MoJuWizard;   // a first start lays down PARAM.db
    cleanup();
    const QByteArray before = env.readFile("PARAM.db");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(env.path("PARAM.db"));
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec("begin exclusive"));
        QVERIFY(hold.exec("update sysparam set value='1 2 3 4' where name='exposeTime'"));

        new MoJuWizard;
        // Said once, nothing moved aside, nothing saved over the held file.
        QCOMPARE(int(env.modalRequests.size()), 1);
        QCOMPARE(env.modalRequests[0].messageId, 160);
        QVERIFY(QDir(env.dir()).entryList({"PARAM.db.broken_*"}).isEmpty());
        QVERIFY(gpWPara->unreadRows > 0);
        QCOMPARE(gpWPara->exposure[0], 30);   // runs on first-start values meanwhile
        QVERIFY(!gpWPara->SaveDatatoFile(gpWin->dbParam).ok);
        QVERIFY(hold.exec("rollback"));
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    QCOMPARE(env.readFile("PARAM.db"), before);
}

void TestMainWindowStartup::confirmLabelInLoadedLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Simplified Chinese") << int(LanSimplifiedChinese);
    QTest::newRow("English") << int(LanEnglish);
    QTest::newRow("Traditional Chinese") << int(LanTraditionalChinese);
}

void TestMainWindowStartup::confirmLabelInLoadedLanguage()
{
    // The shared box is made before the language is read from PARAM.db.
    QFETCH(int, language);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(env.path("PARAM.db"));
        QVERIFY(db.open());
        const int saved = gLan;
        gLan = language;
        QVERIFY(FirstStartParameters().SaveDatatoFile(db).ok);
        gLan = saved;
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
    const int before = gLan;
    gLan = language == LanSimplifiedChinese ? LanEnglish : LanSimplifiedChinese;
    new MoJuWizard;
    QCOMPARE(gLan, language);
    QCOMPARE(gpWarnBox->okButton->text(), Msg(121, language));
    QVERIFY(gpWarnBox->okButton->text() != Msg(121, language == LanSimplifiedChinese ? LanEnglish
                                                                                        : LanSimplifiedChinese));
    gLan = before;
}

void TestMainWindowStartup::parameterRecordsBelongToTheWindow()
{
    // No camera: two windows at once never happen on the panel, and the
    // first one's cameras would go on reading the image globals the second
    // one sets.
    loadBus(0, "CAMW");
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    auto* first = new MoJuWizard;
    WizardPara* live = gpWPara;
    QVERIFY(live && gpWParaBak && live != gpWParaBak);
    auto* second = new MoJuWizard;   // a second window in the same run
    QVERIFY(gpWPara != nullptr);
    delete first;                    // leaves the second window's records alone
    QVERIFY(gpWPara != nullptr);
    QCOMPARE(gpWin, second);
    delete second;
    QCOMPARE(gpWPara, nullptr);
    QCOMPARE(gpWParaBak, nullptr);
}

void TestMainWindowStartup::damagedRecordDatabaseIsRestoredWithoutReboot()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(env.path("RECORDNULL.db"));
        QVERIFY(db.open());
        QSqlQuery(db).exec("CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)");
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
    const QByteArray garbage(4096, 'x');
    env.writeFile("RECORD.db", garbage);
    new MoJuWizard;
    // The box said so, nothing was copied over or rebooted, the bad file is kept.
    QCOMPARE(int(env.modalRequests.size()), 1);
    QCOMPARE(env.modalRequests[0].messageId, 135);
    QVERIFY(env.runner->calls().empty());
    const QStringList kept = QDir(env.dir()).entryList({"RECORD.db.broken_*"});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(env.readFile(kept[0]), garbage);
    QVERIFY(records().contains(Msg(150).arg(2)));
}

void TestMainWindowStartup::clockCheck_data()
{
    QTest::addColumn<int>("floorDays");      // floor relative to now; 0 = no floor
    QTest::addColumn<QList<int>>("answers"); // warn box, time dialog
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("rebooted");
    QTest::addColumn<bool>("floorWritten");
    QTest::addColumn<bool>("panel");          // the reboot really happens
    QTest::newRow("floor in the past") << -1 << QList<int>{} << false << false << false << false;
    QTest::newRow("no floor, time set") << 0 << QList<int>{1, 1} << true << true << true << false;
    QTest::newRow("no floor, cancelled") << 0 << QList<int>{1, 0} << true << false << false << false;
    QTest::newRow("floor in the future, time set") << 2 << QList<int>{1, 1} << true << true << false << false;
    QTest::newRow("time set, panel reboots") << 0 << QList<int>{1, 1} << true << true << true << true;
}

void TestMainWindowStartup::clockCheck()
{
    QFETCH(int, floorDays);
    QFETCH(QList<int>, answers);
    QFETCH(bool, asked);
    QFETCH(bool, rebooted);
    QFETCH(bool, floorWritten);
    QFETCH(bool, panel);
    TestEnv env;
    keepLogsInside(env);
    std::shared_ptr<RecordingCommandRunner> runner = env.runner;
    std::shared_ptr<CommandRunner> saved;
    if (panel) {
        runner = std::make_shared<PanelRunner>();
        saved = setCommandRunner(runner);
    }
    if (floorDays != 0)
        writeFloor(env, env.clock->now().addDays(floorDays));
    env.modalAnswers = std::vector<int>(answers.begin(), answers.end());
    new MoJuWizard;
    QCOMPARE(!env.modalRequests.empty(), asked);
    const QStringList cmds = runner->lines();
    QCOMPARE(cmds.filter(QRegularExpression("^reboot")).size(), rebooted ? 1 : 0);
    if (rebooted) {
        // The clock is set before the reboot.
        QVERIFY(cmds.indexOf(QRegularExpression("^date .*")) >= 0);
        QVERIFY(cmds.indexOf(QRegularExpression("^date .*")) < cmds.indexOf("reboot"));
    }
    QCOMPARE(floorDays == 0 && QFile::exists(env.path("realytime.txt")), floorWritten);
    if (asked && !rebooted)
        QVERIFY(records().contains(QString::fromUtf8("系统时间错误，未修改时间")));
    // The databases are open again exactly when the reboot did not happen.
    QCOMPARE(QSqlDatabase::database("dbRecord", false).isOpen(), !(rebooted && panel));
    QCOMPARE(QSqlDatabase::database("dbIn", false).isOpen(), !(rebooted && panel));
    if (saved)
        setCommandRunner(saved);
}

void TestMainWindowStartup::pressOnWindowHidesKeypadsKeepsTarget()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    auto* w = new MoJuWizard;
    w->resize(800, 600);
    w->show();
    auto* field = new Edit(0, w);
    field->setGeometry(100, 100, 200, 40);
    field->show();
    w->keypadTarget = field;
    gpNumPad->show();
    gpNumCharPad->show();
    QVERIFY(gpNumPad->isVisible());
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!gpNumPad->isVisible());
    QVERIFY(!gpNumCharPad->isVisible());
    // Hiding the keypads leaves the field they typed into as the target.
    QCOMPARE(w->keypadTarget.data(), field);
}

void TestMainWindowStartup::constructionMakesTheFolderTree()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    new MoJuWizard;
    QCOMPARE(numCamera, 2);
    for (int c = 1; c <= 2; ++c) {
        for (int d = 1; d <= 8; ++d) {
            for (const QString& folder : {QString("alarmimage/camera%1/detect%2/NG").arg(c).arg(d),
                                          QString("alarmimage/camera%1/detect%2/OK").arg(c).arg(d),
                                          QString("cammer%1%2").arg(c).arg(d),
                                          QString("originalimage/cammer%1%2").arg(c).arg(d)})
                QVERIFY2(QDir(env.path(folder)).exists(), qPrintable(folder));
            QCOMPARE(QDir(gpWin->failImageDirs[c - 1][d - 1][0]).absolutePath(),
                     QDir(env.path(QString("alarmimage/camera%1/detect%2/NG").arg(c).arg(d))).absolutePath());
            QCOMPARE(gpWin->failImageState[c - 1][d - 1], int(FailImgIdle));
        }
    }
    // Nothing for a camera not in use.
    QVERIFY(!QDir(env.path("alarmimage/camera3")).exists());
    QVERIFY(!QDir(env.path("cammer31")).exists());
    QVERIFY(gpWin->failImageDirs[2][0][0].isEmpty());
    QVERIFY(QDir(env.path("RECORD")).exists());
    QVERIFY(QDir(env.path("ResStatistics")).exists());
    // No picture memory before the first render.
    for (int c = 0; c < kCameraSlots; ++c)
        for (int d = 0; d < kDetections; ++d)
            for (int slot = 0; slot < 2; ++slot)
                QVERIFY(FailImage(c, d, slot).isNull());
    QVERIFY(gpSaveFialImageThread);
    // The views are the window's, served by it and handed to the cycle.
    for (int k = 0; k < kCameraSlots; ++k) {
        QVERIFY(gpWin->cameraViews[k]);
        QCOMPARE(gpWin->cameraViews[k]->parentWidget(), static_cast<QWidget*>(gpWin));
        QCOMPARE(gpWin->cameraViews[k]->slotHost(), static_cast<SlotHost*>(gpWin));
    }
    QVERIFY(gpWin->cameraOpened[0] && gpWin->cameraOpened[1]);
    QVERIFY(env.modalRequests.empty());
    QCOMPARE(gpWin->fpsTimer->interval(), 1000);
    QVERIFY(gpWin->fpsTimer->isActive());
    QCOMPARE(gpWin->detectCycleTimer->interval(), 60000);
    QVERIFY(gisRunWTD);
    // The version of the camera SDK is on record.
    QVERIFY(!records().filter("MindVision").isEmpty());
}

void TestMainWindowStartup::timeFileMadeWhenMissing()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    QVERIFY(!QFile::exists(env.path("time.txt")));
    new MoJuWizard;
    QCOMPARE(QString::fromUtf8(env.readFile("time.txt")).trimmed(), env.clock->now().date().toString("yyyy-MM-dd"));
}

void TestMainWindowStartup::outputsAfterConstruction_data()
{
    QTest::addColumn<int>("cutEjectorOnClamp");
    QTest::addColumn<int>("cutClampAfterMoldOk");
    QTest::addColumn<int>("clampPulse");
    QTest::addColumn<int>("word");
    QTest::newRow("all released") << 0 << 0 << 0 << 0;
    QTest::newRow("ejector blocked by its option") << 1 << 0 << 0 << 0x2;
    QTest::newRow("clamp blocked after mould OK, with a pulse") << 0 << 1 << 5 << 0x1;
    QTest::newRow("clamp option without a pulse") << 0 << 1 << 0 << 0;
    QTest::newRow("both") << 1 << 1 << 5 << 0x3;
}

void TestMainWindowStartup::outputsAfterConstruction()
{
    QFETCH(int, cutEjectorOnClamp);
    QFETCH(int, cutClampAfterMoldOk);
    QFETCH(int, clampPulse);
    QFETCH(int, word);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) {
        for (int& invert : p.outputInvert)
            invert = 0;
        p.reserveOutputRole = 0;
        p.cutEjectorOnClamp = cutEjectorOnClamp;
        p.cutClampAfterMoldOk = cutClampAfterMoldOk;
        p.clampPulse = clampPulse;
    });
    new MoJuWizard;
    QCOMPARE(gpWin->runState, int(RunStateDetecting));
    QCOMPARE(boardWord() ^ releasedWord(*gpWPara, false), word);
}

void TestMainWindowStartup::firstDetectionAndShownCamera_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<int>("systemMode");
    QTest::addColumn<int>("productDetect");
    QTest::addColumn<int>("detect");
    QTest::addColumn<int>("viewCamera");
    QTest::newRow("two cameras, product detection on") << 2 << 0 << 1 << 0 << 2;
    QTest::newRow("two cameras, product detection off") << 2 << 0 << 0 << 1 << 2;
    QTest::newRow("one camera") << 1 << 0 << 1 << 0 << 0;
    QTest::newRow("multi-detection, 5 steps") << 2 << int(SystemModeMultiDetect) << 1 << 4 << 2;
}

void TestMainWindowStartup::firstDetectionAndShownCamera()
{
    QFETCH(int, cameras);
    QFETCH(int, systemMode);
    QFETCH(int, productDetect);
    QFETCH(int, detect);
    QFETCH(int, viewCamera);
    loadBus(cameras, "CAMW");
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) {
        p.systemMode = systemMode;
        p.systemModePending = systemMode;
        p.productDetectEnabled = productDetect;
        if (systemMode == SystemModeMultiDetect)
            p.multiDetectCount = 5;
    });
    new MoJuWizard;
    QCOMPARE(numCamera, cameras);
    QCOMPARE(gpWin->currentDetect, detect);
    QCOMPARE(gpWin->viewCamera, viewCamera);
    QVERIFY(records().contains(Msg(150).arg(cameras)));
    QVERIFY(env.modalRequests.empty());
}

void TestMainWindowStartup::updateScriptIsRunAndRemovedThroughTheRunner()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    env.writeFile("update.sh", "#!/bin/sh\ntouch ran\n");
    QFile::setPermissions(env.path("update.sh"), QFile::permissions(env.path("update.sh")) | QFile::ExeOwner);
    new MoJuWizard;
    const QStringList cmds = env.runner->lines();
    const int run = cmds.indexOf("./update.sh");
    const int removed = cmds.indexOf("rm -f update.sh");
    QVERIFY2(run >= 0 && removed > run, qPrintable(cmds.join(" | ")));
    // Recorded, never executed.
    QVERIFY(QFile::exists(env.path("update.sh")));
    QVERIFY(!QFile::exists(env.path("ran")));
    cleanup();

    // Without a script nothing is run.
    QVERIFY(QFile::remove(env.path("update.sh")));
    env.runner->clear();
    new MoJuWizard;
    QVERIFY(env.runner->lines().filter("update.sh").isEmpty());
}

void TestMainWindowStartup::changedCameraCountClearsSerialsAndReopensWithoutReboot_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("panel");   // the reboot really happens
    QTest::newRow("yes, no reboot") << 1 << false;
    QTest::newRow("yes, panel reboots") << 1 << true;
    QTest::newRow("no") << 0 << false;
}

void TestMainWindowStartup::changedCameraCountClearsSerialsAndReopensWithoutReboot()
{
    QFETCH(int, answer);
    QFETCH(bool, panel);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    std::shared_ptr<RecordingCommandRunner> runner = env.runner;
    std::shared_ptr<CommandRunner> saved;
    if (panel) {
        runner = std::make_shared<PanelRunner>();
        saved = setCommandRunner(runner);
    }
    // Three cameras on record, the two on the bus among them.
    makeTable(env.path("SN.db"), "create table sysparam(name text, value text)");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(env.path("SN.db"));
        QVERIFY(db.open());
        for (int i = 0; i < kCameraSlots; ++i)
            QVERIFY(QSqlQuery(db).exec(QString("insert into sysparam values('serialNB%1', '%2')")
                                           .arg(i)
                                           .arg(i < 3 ? QString("CAMW%1").arg(i, 6, 10, QLatin1Char('0')) : QString("0"))));
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
    env.modalAnswers = {answer};
    new MoJuWizard;
    QCOMPARE(int(env.modalRequests.size()), 1);
    QCOMPARE(env.modalRequests[0].messageId, 360);
    QCOMPARE(numCamera, 2);
    const QStringList cmds = runner->lines();
    QCOMPARE(cmds.filter(QRegularExpression("^reboot")).size(), answer);
    // Saved and closed before the reboot; open again when it did not happen
    // (the record database is opened again by the day's roll-over anyway).
    QCOMPARE(QSqlDatabase::database("dbIn", false).isOpen(), !(answer && panel));
    QCOMPARE(QSqlDatabase::database("dbT", false).isOpen(), !(answer && panel));
    if (answer && panel) {
        if (saved)
            setCommandRunner(saved);
        return;
    }
    QVERIFY(records().contains(Msg(150).arg(2)));
    QSqlQuery q(QSqlDatabase::database("dbT"));
    QVERIFY(q.exec("select value from sysparam where name='serialNB0'"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), answer ? QString("0") : QString("CAMW000000"));
}

void TestMainWindowStartup::clockCheckStopsDetection()
{
    // Detection stops and mould closing is blocked before the box is shown.
    TestEnv env;
    keepLogsInside(env);
    writeParams(env, [](WizardPara& p) {
        for (int& invert : p.outputInvert)
            invert = 0;
        p.reserveOutputRole = 0;
        p.stopForbidsClamp = 0;
    });
    env.modalAnswers = {1, 0};   // the box, then the time dialog cancelled
    new MoJuWizard;
    QCOMPARE(gpWin->runState, int(RunStateStopped));
    QCOMPARE((boardWord() ^ releasedWord(*gpWPara, false)) & 0x1, 0x1);
    QCOMPARE((LEDByte() >> 4) & 1, 0);
    const QStringList recs = records();
    const int error = recs.indexOf(QString::fromUtf8("系统时间出错，导致停止检测"));
    const int stopped = recs.indexOf(Msg(141));
    QVERIFY(error >= 0 && stopped > error);
    QVERIFY(recs.indexOf(Msg(150).arg(2)) < error);
    QCOMPARE(int(env.modalRequests.size()), 2);
}

void TestMainWindowStartup::emptyBusAsksAndCountsVirtualCameras()
{
    loadBus(0, "CAMW");
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    env.modalAnswers = {1};
    new MoJuWizard;
    QCOMPARE(int(env.modalRequests.size()), 1);
    QCOMPARE(env.modalRequests[0].messageId, 134);
    QCOMPARE(gCameraID, int(CameraKindNone));
    QVERIFY(gFindCamera > 0);
    QCOMPARE(numCamera, gFindCamera);
    QCOMPARE(gpWin->viewCamera, numCamera);
    QVERIFY(records().contains(Msg(150).arg(numCamera)));
    for (int k = 0; k < numCamera; ++k) {
        QVERIFY(gpWin->cameraViews[k]->complete());
        QVERIFY(!gpWin->cameraViews[k]->isHidden());
        QVERIFY(QDir(env.path(QString("alarmimage/camera%1/detect1/NG").arg(k + 1))).exists());
    }
    // Yes cleared the stored serials.
    QSqlQuery q(QSqlDatabase::database("dbT"));
    QVERIFY(q.exec("select value from sysparam where name='serialNB0'"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("0"));
    QVERIFY(env.runner->lines().filter("reboot").isEmpty());
}

void TestMainWindowStartup::writerRunsAndEndsWithTheWindow()
{
    // Many windows are built in one run: each one's writer ends with it.
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    new MoJuWizard;
    QPointer<SaveFialImageThread> writer = gpSaveFialImageThread;
    QVERIFY(writer);
    cleanup();
    QVERIFY(!gpSaveFialImageThread);
    QVERIFY(!writer);
}

void TestMainWindowStartup::picturesNumberedOverTheFoldersInUse()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    env.writeFile("alarmimage/camera1/detect1/NG/2026-01-01_10.00.00.000.jpg", "a");
    env.writeFile("alarmimage/camera1/detect1/NG/2026-01-02_10.00.00.000.jpg", "b");
    env.writeFile("alarmimage/camera2/detect3/OK/100500_2026-01-02_11.00.00.000.jpg", "c");
    // A camera not in use: left as it is.
    env.writeFile("alarmimage/camera3/detect1/NG/2026-01-03_10.00.00.000.jpg", "d");
    new MoJuWizard;
    QCOMPARE(numCamera, 2);
    const QStringList ng = QDir(env.path("alarmimage/camera1/detect1/NG")).entryList({"*.jpg"}, QDir::Files, QDir::Name);
    QCOMPARE(ng, QStringList({"99998_2026-01-01_10.00.00.000.jpg", "99999_2026-01-02_10.00.00.000.jpg"}));
    QCOMPARE(env.readFile("alarmimage/camera1/detect1/NG/99999_2026-01-02_10.00.00.000.jpg"), QByteArray("b"));
    QVERIFY(QFile::exists(env.path("alarmimage/camera3/detect1/NG/2026-01-03_10.00.00.000.jpg")));
    QCOMPARE(gpWin->failImageSerial, qint64(100600));
}

void TestMainWindowStartup::writerWritesIntoTheWindowsFolders()
{
    // A flagged picture reaches the NG folder of its camera and detection
    // under the window's running number, off the GUI thread.
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara& p) {
        p.ngImageKeep = 3;
        p.okImageKeep = 3;
    });
    new MoJuWizard;
    const qint64 serial = gpWin->failImageSerial;
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::red);
    StoreFailImage(1, 0, 0, picture);
    {
        QMutexLocker lock(pMutexSaveFail);
        gisSaveFail[1][0][0] = true;
    }
    const QDir ng(env.path("alarmimage/camera2/detect1/NG"));
    QTRY_COMPARE_WITH_TIMEOUT(ng.entryList({"*.jpg"}).size(), 1, 15000);
    QVERIFY(ng.entryList({"*.jpg"})[0].startsWith(QString::number(serial) + "_"));
    QVERIFY(!QImage(ng.filePath(ng.entryList({"*.jpg"})[0])).isNull());
    cleanup();   // the writer ends before the test's clock goes
}

void TestMainWindowStartup::memoryInfoOnlyToALiveRelay_data()
{
    QTest::addColumn<int>("netEnabled");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<bool>("sent");
    QTest::newRow("linked and alive") << 1 << true << true;
    QTest::newRow("linked, not answering") << 1 << false << false;
    QTest::newRow("remote system off") << 0 << true << false;
}

void TestMainWindowStartup::memoryInfoOnlyToALiveRelay()
{
    QFETCH(int, netEnabled);
    QFETCH(bool, alive);
    QFETCH(bool, sent);
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [&](WizardPara& p) { p.netEnabled = netEnabled; });
    static RecordingRelayLink relay;   // outlives a window left by a failed check
    relay.clear();
    relay.alive = alive;
    RelayLink* saved = gpNet;
    gpNet = &relay;
    new MoJuWizard;
    QCOMPARE(relay.calls().contains("memoryinfo"), sent);
    cleanup();
    gpNet = saved;
}

QTEST_MAIN(TestMainWindowStartup)
#include "tst_mainwindow_startup.moc"
