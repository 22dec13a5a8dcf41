// What the main window does at start-up for the application core: database
// recovery without a reboot, the start-up record, and the clock check.
#include "edit.h"
#include "colorbutton.h"
#include "databaseopener.h"
#include "globals.h"
#include "graycolortable.h"
#include "wizardpara.h"
#include "logmanager.h"
#include "messages.h"
#include "mojuwizard.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "paths.h"
#include "testenv.h"
#include "choosebox.h"
#include "warnbox.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

class TestMainWindowStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
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
};

namespace {
// The message log goes below the program directory, not beside the test binary.
void keepLogsInside(const TestEnv& env)
{
    paths().qtLogDir = env.path("RECORD/LOG");
}

void writeFloor(TestEnv& env, const QDateTime& t)
{
    env.writeFile("realytime.txt", QByteArray::number(t.toMSecsSinceEpoch()));
}

QStringList records()
{
    QStringList out;
    QSqlQuery q(QSqlDatabase::database("dbRecord"));
    q.exec("select remarks from RECORD");
    while (q.next())
        out << q.value(0).toString();
    return out;
}

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

void closeAll()
{
    for (const QString& c : QSqlDatabase::connectionNames()) {
        QSqlDatabase::database(c, false).close();
        QSqlDatabase::removeDatabase(c);
    }
}
}

void TestMainWindowStartup::initTestCase()
{
    gLan = LanEnglish;
    FillMessageTable();
}

void TestMainWindowStartup::cleanup()
{
    delete gpWin;   // takes the shared boxes and keypads with it
    gpWarnBox = nullptr;
    gpChooseBox = nullptr;
    gpNumPad = nullptr;
    gpNumCharPad = nullptr;
    delete LogManager::__instance;   // the next window makes one in its own directory
    paths().qtLogDir.clear();
    closeAll();
}

void TestMainWindowStartup::firstStartMakesDatabasesAndWritesStartRecord()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env, env.clock->now().addDays(-1));
    new MoJuWizard;
    QVERIFY(QFile::exists(env.path("PARAM.db")));
    QVERIFY(QFile::exists(env.path("SN.db")));
    QVERIFY(records().contains(Msg(150).arg(0)));
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
    writeFloor(env, env.clock->now().addDays(-1));
    if (recordTemplate)
        makeTable(env.path("RECORDNULL.db"), "CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)");
    if (param != "-")
        env.writeFile("PARAM.db", param);
    makeTable(env.path("SN.db"), serialTable ? "create table sysparam(name text, value text)" : "");
    for (int start = 0; start < 2; ++start) {
        new MoJuWizard;
        QCOMPARE(int(env.modalRequests.size()), 0);
        QVERIFY(records().contains(Msg(150).arg(0)));
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
    writeFloor(env, env.clock->now().addDays(-1));
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
    writeFloor(env, env.clock->now().addDays(-1));
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
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env, env.clock->now().addDays(-1));
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
    writeFloor(env, env.clock->now().addDays(-1));
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
    QVERIFY(records().contains(Msg(150).arg(0)));
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
    writeFloor(env, env.clock->now().addDays(-1));
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

QTEST_MAIN(TestMainWindowStartup)
#include "tst_mainwindow_startup.moc"
