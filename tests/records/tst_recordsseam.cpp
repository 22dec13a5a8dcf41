// The records seam: the user store made on first use and kept, and the main
// window reaching it through the seam while it is built and when the
// automatic logout fires.
#include "globals.h"
#include "operationrecord.h"
#include "messages.h"
#include "mojuwizard.h"
#include "recordsseam.h"
#include "testenv.h"
#include "usermanager.h"
#include "windowtest.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

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
    void cleanup();
    void openMakesTheStoreOnceAndKeepsIt();
    void logOutMakesTheStoreWhenMissing_data();
    void logOutMakesTheStoreWhenMissing();
    void windowOpensTheStoreLoggedOut();
    void logoutTimerLogsTheStoreOut_data();
    void logoutTimerLogsTheStoreOut();

private:
    // A window in env's program directory with the seam installed.
    void makeWindow(TestEnv& env)
    {
        keepLogsInside(env);
        writeFloor(env);
        loadBus(1, "RECS");
        setRecordsPort(&seam_);
        new MoJuWizard;
    }

    RecordsSeam seam_;
};

void TestRecordsSeam::initTestCase()
{
    gLan = LanEnglish;
    CreateSharedLocks();
    FillMessageTable();
}

void TestRecordsSeam::cleanup()
{
    setRecordsPort(nullptr);
    if (gpWin)
        closeWindow();
    dropStore();
}

void TestRecordsSeam::openMakesTheStoreOnceAndKeepsIt()
{
    TestEnv env;
    QVERIFY(!UserManager::instance);
    seam_.openUserStore();
    UserManager* made = UserManager::instance;
    QVERIFY(made);
    QVERIFY(made->isOpen());
    QCOMPARE(accountNames(env), (QStringList{"LogOut", "admin"}));
    seam_.openUserStore();
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
    seam_.logOutUser();
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

QTEST_MAIN(TestRecordsSeam)
#include "tst_recordsseam.moc"
