// What the main window does at start-up for the application core: database
// recovery without a reboot, the start-up record, and the clock check.
#include "globals.h"
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
    void damagedRecordDatabaseIsRestoredWithoutReboot();
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
    QCOMPARE(gpWin->grayColorTable.size(), 256);
    QCOMPARE(gpWin->grayColorTable[128], 0xFF808080u);
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
    QTest::newRow("floor in the past") << -1 << QList<int>{} << false << false << false;
    QTest::newRow("no floor, time set") << 0 << QList<int>{1, 1} << true << true << true;
    QTest::newRow("no floor, cancelled") << 0 << QList<int>{1, 0} << true << false << false;
    QTest::newRow("floor in the future, time set") << 2 << QList<int>{1, 1} << true << true << false;
}

void TestMainWindowStartup::clockCheck()
{
    QFETCH(int, floorDays);
    QFETCH(QList<int>, answers);
    QFETCH(bool, asked);
    QFETCH(bool, rebooted);
    QFETCH(bool, floorWritten);
    TestEnv env;
    keepLogsInside(env);
    if (floorDays != 0)
        writeFloor(env, env.clock->now().addDays(floorDays));
    env.modalAnswers = std::vector<int>(answers.begin(), answers.end());
    new MoJuWizard;
    QCOMPARE(!env.modalRequests.empty(), asked);
    const QStringList cmds = env.runner->lines();
    QCOMPARE(cmds.filter(QRegularExpression("^reboot")).size(), rebooted ? 1 : 0);
    if (rebooted) {
        // The clock is set before the reboot.
        QVERIFY(cmds.indexOf(QRegularExpression("^date .*")) >= 0);
        QVERIFY(cmds.indexOf(QRegularExpression("^date .*")) < cmds.indexOf("reboot"));
    }
    QCOMPARE(floorDays == 0 && QFile::exists(env.path("realytime.txt")), floorWritten);
    if (asked && !rebooted)
        QVERIFY(records().contains(QString::fromUtf8("系统时间错误，未修改时间")));
}

void TestMainWindowStartup::pressOnWindowHidesKeypadsKeepsTarget()
{
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env, env.clock->now().addDays(-1));
    auto* w = new MoJuWizard;
    w->resize(800, 600);
    w->show();
    gpNumPad->show();
    QVERIFY(gpNumPad->isVisible());
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!gpNumPad->isVisible());
    QVERIFY(!gpNumCharPad->isVisible());
}

QTEST_MAIN(TestMainWindowStartup)
#include "tst_mainwindow_startup.moc"
