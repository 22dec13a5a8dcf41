// Opening the program's databases, and what happens when one is damaged.
#include "databaseopener.h"
#include "testenv.h"

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
};

namespace {
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
    QTest::newRow("missing") << QByteArray() << false;
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

QTEST_GUILESS_MAIN(TestDatabaseOpener)
#include "tst_databaseopener.moc"
