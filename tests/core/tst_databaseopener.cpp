// Opening the program's databases, and what happens when one is damaged.
#include "databaseopener.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

class TestDatabaseOpener : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void opensAGoodDatabase();
    void damagedDatabaseIsKeptAndDefaultRestored_data();
    void damagedDatabaseIsKeptAndDefaultRestored();
    void withoutDefaultNothingIsTouched();
    void missingWithoutDefaultIsMadeEmpty();
    void missingIsMadeFromDefaultWithoutNotice();
    void damagedPagesAreFound_data();
    void damagedPagesAreFound();
    void lockedDatabaseIsLeftAlone();
};

namespace {
// A healthy database of many pages: table t with 60 rows of 1000 bytes.
QByteArray makeBigDb(const QString& file)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        if (!db.open())
            return {};
        QSqlQuery q(db);
        q.exec("create table t(name text, value text)");
        for (int i = 0; i < 60; ++i)
            q.exec(QString("insert into t values('row%1', '%2')").arg(i).arg(QString(1000, QChar('a' + i % 26))));
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void makeDb(const QString& file, const QString& table)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QString("create table %1 (x)").arg(table)));
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
}
}

void TestDatabaseOpener::cleanup()
{
    if (QSqlDatabase::contains("dbT")) {
        QSqlDatabase::database("dbT", false).close();
        QSqlDatabase::removeDatabase("dbT");
    }
}

void TestDatabaseOpener::opensAGoodDatabase()
{
    TestEnv env;
    makeDb("SN.db", "sysparam");
    const auto r = DatabaseOpener::Open("dbT", "SN.db", "default.db");
    QVERIFY(r.ok);
    QVERIFY(!r.restored);
}

void TestDatabaseOpener::damagedDatabaseIsKeptAndDefaultRestored_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("present");
    QTest::newRow("garbage") << QByteArray("this is not a database at all, just text ......") << true;
}

void TestDatabaseOpener::damagedDatabaseIsKeptAndDefaultRestored()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, present);
    TestEnv env;
    makeDb("default.db", "fromdefault");
    if (present)
        env.writeFile("SN.db", content);
    const auto r = DatabaseOpener::Open("dbT", "SN.db", "default.db");
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(r.restored);
    QSqlQuery q(QSqlDatabase::database("dbT"));
    QVERIFY(q.exec("select count(*) from fromdefault"));
    if (present) {
        QVERIFY(!r.movedAsideTo.isEmpty());
        QCOMPARE(env.readFile(r.movedAsideTo), content);
    }
    QVERIFY(env.runner->calls().empty());   // no cp, no reboot
}

void TestDatabaseOpener::withoutDefaultNothingIsTouched()
{
    TestEnv env;
    const QByteArray garbage("garbage garbage garbage garbage garbage garbage");
    env.writeFile("SN.db", garbage);
    const auto r = DatabaseOpener::Open("dbT", "SN.db", "nodefault.db");
    QVERIFY(!r.ok);
    QVERIFY(!r.error.isEmpty());
    QCOMPARE(env.readFile("SN.db"), garbage);
}

void TestDatabaseOpener::missingWithoutDefaultIsMadeEmpty()
{
    TestEnv env;
    const auto r = DatabaseOpener::Open("dbT", "SN.db", "nodefault.db");
    QVERIFY(r.ok);
    QVERIFY(r.created);
    QVERIFY(QFile::exists(env.path("SN.db")));
}

void TestDatabaseOpener::missingIsMadeFromDefaultWithoutNotice()
{
    // A first start: RECORD.db from its template is no failure.
    TestEnv env;
    makeDb("RECORDNULL.db", "RECORD");
    const auto r = DatabaseOpener::Open("dbT", "RECORD.db", "RECORDNULL.db");
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(r.fromDefault);
    QVERIFY(!r.restored);
    QVERIFY(r.movedAsideTo.isEmpty());
    QVERIFY(!r.needsNotice());
    QCOMPARE(env.readFile("RECORD.db"), env.readFile("RECORDNULL.db"));
}

void TestDatabaseOpener::damagedPagesAreFound_data()
{
    QTest::addColumn<int>("damage");   // 0: last page overwritten, 1: 1000 bytes cut off
    QTest::newRow("last page overwritten") << 0;
    QTest::newRow("truncated by 1000 bytes") << 1;
}

void TestDatabaseOpener::damagedPagesAreFound()
{
    // Page 1 (the schema) reads fine; only a check of every page sees it.
    QFETCH(int, damage);
    TestEnv env;
    makeDb("default.db", "fromdefault");
    QByteArray bytes = makeBigDb(env.path("SN.db"));
    QVERIFY(bytes.size() > 8 * 4096);
    if (damage == 0)
        bytes.replace(bytes.size() - 4096, 4096, QByteArray(4096, '\x5a'));
    else
        bytes.chop(1000);
    env.writeFile("SN.db", bytes);

    const auto r = DatabaseOpener::Open("dbT", "SN.db", "default.db");
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(r.restored);
    QVERIFY(r.needsNotice());
    QCOMPARE(env.readFile(r.movedAsideTo), bytes);
    QSqlQuery q(QSqlDatabase::database("dbT"));
    QVERIFY(q.exec("select count(*) from fromdefault"));
}

void TestDatabaseOpener::lockedDatabaseIsLeftAlone()
{
    // Another connection, with its own file handle, holds the database.
    TestEnv env;
    makeDb("default.db", "fromdefault");
    const QByteArray before = makeBigDb(env.path("SN.db"));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(env.path("SN.db"));
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec("begin exclusive"));
        QVERIFY(hold.exec("update t set value='changed' where name='row1'"));

        const auto r = DatabaseOpener::Open("dbT", "SN.db", "default.db");
        QVERIFY(!r.ok);
        QVERIFY(r.busy);
        QVERIFY(!r.restored);
        QVERIFY(r.needsNotice());
        QVERIFY(r.movedAsideTo.isEmpty());
        QVERIFY(QDir(env.dir()).entryList({"SN.db.broken_*"}).isEmpty());
        // The check waited the bounded time, no longer.
        QCOMPARE(env.clock->sleptMs(),
                 qint64(DatabaseOpener::kBusyPauseMs) * (DatabaseOpener::kBusyAttempts - 1));

        QVERIFY(hold.exec("rollback"));
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    QCOMPARE(env.readFile("SN.db"), before);
    // Still open: once the lock is gone, the rows read.
    QSqlQuery q(QSqlDatabase::database("dbT", false));
    QVERIFY(q.exec("select count(*) from t"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 60);
}

QTEST_GUILESS_MAIN(TestDatabaseOpener)
#include "tst_databaseopener.moc"
