// The records seam: the user store made on first use and kept, and the main
// window reaching it through the seam while it is built and when the
// automatic logout fires.
#include "detectcyclesql.h"
#include "globals.h"
#include "operationrecord.h"
#include "messages.h"
#include "mojuwizard.h"
#include "myxls.h"
#include "recordsseam.h"
#include "resstatisticsparam.h"
#include "testenv.h"
#include "usermanager.h"
#include "windowtest.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace windowtest;

namespace {
// A store someone is logged in to, as no screen of the program does.
class SignedInStore : public UserManager {
public:
    SignedInStore()
    {
        userType_ = UserTypeAdministrator;
        currentName_ = QStringLiteral("admin");
    }
};

void dropStore()
{
    delete UserManager::instance;
    UserManager::instance = nullptr;
}

// The record stores a window made, gone with their last writes.
void dropRecordStores()
{
    delete gpResStatisticsParam;
    gpResStatisticsParam = nullptr;
    delete DetectCycleSQL::instance;
    DetectCycleSQL::instance = nullptr;
    delete gpMyxls;
    gpMyxls = nullptr;
}

QStringList accountNames(const TestEnv& env)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(env.path(UserManager::kFile));
        if (db.open()) {
            QSqlQuery q(db);
            q.exec("select name from user_table order by name");
            while (q.next())
                names << q.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("reader");
    return names;
}

bool loggedOut()
{
    return UserManager::instance && UserManager::instance->currentName() == QLatin1String(" ")
           && UserManager::instance->userType() == UserTypeNone;
}
} // namespace

class TestRecordsSeam : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openMakesTheStoreOnceAndKeepsIt();
    void logOutMakesTheStoreWhenMissing_data();
    void logOutMakesTheStoreWhenMissing();
    void windowOpensTheStoreLoggedOut();
    void logoutTimerLogsTheStoreOut_data();
    void logoutTimerLogsTheStoreOut();
    void windowMakesTheRecordStores_data();
    void windowMakesTheRecordStores();

private:
    // A window in env's program directory with the seam installed.
    void makeWindow(TestEnv& env)
    {
        keepLogsInside(env);
        writeFloor(env);
        loadBus(1, "RECS");
        setRecordsPort(seam_.get());
        new MoJuWizard;
    }

    std::unique_ptr<RecordsSeam> seam_;
};

void TestRecordsSeam::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestRecordsSeam::init()
{
    seam_ = std::make_unique<RecordsSeam>();
}

void TestRecordsSeam::cleanup()
{
    setRecordsPort(nullptr);
    // The page (a window of its own) goes before the stores it shows.
    if (gpWin) {
        delete gpWin->statisticsPage;
        gpWin->statisticsPage = nullptr;
    }
    dropRecordStores();
    if (gpWin)
        closeWindow();
    dropStore();
    seam_.reset();
}

void TestRecordsSeam::openMakesTheStoreOnceAndKeepsIt()
{
    TestEnv env;
    QVERIFY(!UserManager::instance);
    seam_->openUserStore();
    UserManager* made = UserManager::instance;
    QVERIFY(made);
    QVERIFY(made->isOpen());
    QCOMPARE(accountNames(env), (QStringList{"LogOut", "admin"}));
    seam_->openUserStore();
    QCOMPARE(UserManager::instance, made);
}

void TestRecordsSeam::logOutMakesTheStoreWhenMissing_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("no store yet") << false;
    QTest::newRow("a store logged in") << true;
}

void TestRecordsSeam::logOutMakesTheStoreWhenMissing()
{
    QFETCH(bool, existing);
    TestEnv env;
    if (existing)
        UserManager::instance = new SignedInStore;
    UserManager* before = UserManager::instance;
    seam_->logOutUser();
    QVERIFY(loggedOut());
    if (existing)
        QCOMPARE(UserManager::instance, before);
    QVERIFY(QFile::exists(env.path(UserManager::kFile)));
}

void TestRecordsSeam::windowOpensTheStoreLoggedOut()
{
    TestEnv env;
    makeWindow(env);
    QVERIFY(loggedOut());
    QVERIFY(UserManager::instance->isOpen());
    QCOMPARE(accountNames(env), (QStringList{"LogOut", "admin"}));
}

void TestRecordsSeam::logoutTimerLogsTheStoreOut_data()
{
    QTest::addColumn<bool>("storeBefore");   // else the timer finds none
    QTest::newRow("a store logged in") << true;
    QTest::newRow("no store") << false;
}

void TestRecordsSeam::logoutTimerLogsTheStoreOut()
{
    QFETCH(bool, storeBefore);
    TestEnv env;
    makeWindow(env);
    dropStore();
    if (storeBefore)
        UserManager::instance = new SignedInStore;
    gpWin->accessLevel = AccessLevelAdvanced;
    gpWin->logoutTimer->start();
    // The timer's own signal, as 60 s without a touch would give it.
    QVERIFY(QMetaObject::invokeMethod(gpWin->logoutTimer, "timeout", Qt::DirectConnection));
    QVERIFY(!gpWin->logoutTimer->isActive());
    QCOMPARE(gpWin->accessLevel, int(AccessLevelNone));
    QVERIFY(loggedOut());
}

void TestRecordsSeam::windowMakesTheRecordStores_data()
{
    QTest::addColumn<bool>("statistics");
    QTest::newRow("statistics on") << true;
    QTest::newRow("statistics off") << false;
}

void TestRecordsSeam::windowMakesTheRecordStores()
{
    QFETCH(bool, statistics);
    TestEnv env;
    env.clock->set(QDateTime(QDate(2024, 1, 2), QTime(9, 0)));
    writeParams(env, [&](WizardPara& p) {
        p.statisticsEnabled = statistics ? 1 : 0;
        p.cycleTimeLog = 1;
    });
    makeWindow(env);
    // Step 6 made the cycle-time log, step 49 the export, step 35 the
    // statistics store only when statistics are on.
    QVERIFY(DetectCycleSQL::instance);
    QCOMPARE(env.readFile("DetectCycle/time.txt"), QByteArray("2024-01-02"));
    QVERIFY(gpMyxls);
    QCOMPARE(gpResStatisticsParam != nullptr, statistics);
    QCOMPARE(QFile::exists(env.path("ResStatistics.db")), statistics);
    QCOMPARE(gpWin->statisticsPage != nullptr, statistics);

    // The cycle's sinks reach the stores; FLushAll writes what they hold.
    seam_->statsSink()->Add(env.clock->now(), true, 0, 0);
    seam_->cycleLog()->insertDate("2024-01-02 09:00:00.000", 6.5);
    gpWin->FLushAll();
    if (statistics)
        QCOMPARE(gpResStatisticsParam->liveCounts.cameras[0].detects[0].okHour[9], 1);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cycleReader");
    db.setDatabaseName(env.path("DetectCycle.db"));
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec("select roundstart, roundtime from detect_cycle") && q.next());
    QCOMPARE(q.value(1).toString(), QStringLiteral("6.5"));
    q = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("cycleReader");
    // The 60 s tick finds the log and makes no second one.
    DetectCycleSQL* log = DetectCycleSQL::instance;
    gpWin->SlotDetectCycle();
    QCOMPARE(DetectCycleSQL::instance, log);
}

QTEST_MAIN(TestRecordsSeam)
#include "tst_recordsseam.moc"
