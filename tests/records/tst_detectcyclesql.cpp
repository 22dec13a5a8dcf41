// The cycle-time log: day files as the date changes, archive names, the
// stored texts, and reading an archive while inserts go on.
#include "detectcyclesql.h"
#include "recordsfixture.h"
#include "recordsseam.h"
#include "recordswriter.h"
#include "testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

QStringList rowsOf(const QString& file)
{
    return selectRows(file, QStringLiteral("select roundstart, roundtime from detect_cycle order by idx"));
}

QStringList archives()
{
    return QDir(QStringLiteral("DetectCycle")).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
}

// Leaves a DetectCycle.db of an earlier run holding rows.
void earlierDay(TestEnv& env, const QString& date, const QStringList& starts)
{
    RecordsWriter writer(10);
    env.clock->set(at(date + QStringLiteral(" 10:00:00")));
    DetectCycleSQL log(writer);
    for (const QString& s : starts)
        log.insertDate({s, 1.5});
}

} // namespace

class TestDetectCycleSQL : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { pinTimeZone(); }
    void firstStart();
    void startOnTheNextDay();
    void cycleAcrossMidnightStaysInItsDay();
    void getDBNameOrder();
    void storedTexts_data();
    void storedTexts();
    void archiveClashGetsSuffix();
    void invalidTimeFileDatedByFile();
    void insertsReachTheDayFileWhileAnArchiveIsRead();
    void seamMakesTheLogWhenMissing();
};

void TestDetectCycleSQL::firstStart()
{
    TestEnv env;
    env.clock->set(at("2024-01-05 09:00:00"));
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    QVERIFY(QFileInfo(QStringLiteral("DetectCycle")).isDir());
    QCOMPARE(env.readFile(QStringLiteral("DetectCycle/time.txt")), QByteArray("2024-01-05"));
    QCOMPARE(log.logDate, QDate(2024, 1, 5));
    QCOMPARE(selectRows(QStringLiteral("DetectCycle.db"),
                        QStringLiteral("select sql from sqlite_master where name='detect_cycle'")),
             QStringList{QStringLiteral("CREATE TABLE detect_cycle(idx                INTEGER PRIMARY KEY,"
                                        "roundstart         VARCHAR(32) NOT NULL,"
                                        "roundtime          VARCHAR(32) NOT NULL)")});
    QCOMPARE(QString::fromLatin1(DetectCycleSQL::kCreate),
             QStringLiteral("CREATE TABLE IF NOT EXISTS detect_cycle(idx                INTEGER PRIMARY KEY,"
                            "roundstart         VARCHAR(32) NOT NULL,roundtime          VARCHAR(32) NOT NULL)"));
    QVERIFY(archives().isEmpty());
}

void TestDetectCycleSQL::startOnTheNextDay()
{
    TestEnv env;
    earlierDay(env, QStringLiteral("2024-01-04"), {"2024-01-04 10:00:00.000", "2024-01-04 10:00:01.500"});
    env.clock->set(at("2024-01-05 06:00:00"));
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    QCOMPARE(archives(), QStringList{"2024-01-04.db"});
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle/2024-01-04.db")).size(), 2);
    QVERIFY(QFile::exists(QStringLiteral("DetectCycle.db")));
    QVERIFY(rowsOf(QStringLiteral("DetectCycle.db")).isEmpty());
    QCOMPARE(env.readFile(QStringLiteral("DetectCycle/time.txt")), QByteArray("2024-01-05"));
    QCOMPARE(log.logDate, QDate(2024, 1, 5));
}

void TestDetectCycleSQL::cycleAcrossMidnightStaysInItsDay()
{
    TestEnv env;
    env.clock->set(at("2024-01-01 23:00:00"));
    RecordsWriter writer(60000);   // nothing written before the roll-over asks
    DetectCycleSQL log(writer);
    // What the main loop does: insert, advance the start, check the date.
    QDateTime start = at("2024-01-01 23:59:58");
    env.clock->set(at("2024-01-02 00:00:03"));
    log.insertDate({start.toString("yyyy-MM-dd hh:mm:ss.zzz"), 5.0});
    start = start.addSecs(5);
    if (start.date() != log.logDate)
        log.checkDate();
    log.insertDate({start.toString("yyyy-MM-dd hh:mm:ss.zzz"), 7.2});
    log.flush();
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle/2024-01-01.db")), QStringList{"2024-01-01 23:59:58.000|5"});
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle.db")), QStringList{"2024-01-02 00:00:03.000|7.2"});
    QCOMPARE(log.logDate, QDate(2024, 1, 2));
}

void TestDetectCycleSQL::getDBNameOrder()
{
    TestEnv env;
    env.clock->set(at("2024-01-05 09:00:00"));
    for (const char* f : {"DetectCycle/2024-01-01.db", "DetectCycle/2024-01-03.db", "DetectCycle/2024-01-03_2.db",
                          "DetectCycle/notes.txt"})
        env.writeFile(QString::fromLatin1(f), "x");
    env.writeFile(QStringLiteral("DetectCycle/time.txt"), "2024-01-05");
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    QCOMPARE(log.getDBName(), (QStringList{"2024-01-05", "2024-01-03_2", "2024-01-03", "2024-01-01"}));
    QCOMPARE(log.fileOf(QStringLiteral("2024-01-05")), QStringLiteral("DetectCycle.db"));
    QCOMPARE(log.fileOf(QStringLiteral("2024-01-03_2")), QStringLiteral("./DetectCycle/2024-01-03_2.db"));
}

void TestDetectCycleSQL::storedTexts_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("stored");
    QTest::newRow("12.0") << "2024-01-05 09:00:00.000" << 12.0 << "12";
    QTest::newRow("25.3") << "2024-01-05 09:00:12.000" << 25.3 << "25.3";
    QTest::newRow("six digits") << "2024-01-05 09:00:12.000" << 1234.56789 << "1234.57";
    QTest::newRow("tenth") << "2024-01-05 09:00:12.000" << 0.1 << "0.1";
    QTest::newRow("quotes stored as given") << "2024-01-05 \"09\":00'; drop table detect_cycle; --" << 3.0 << "3";
}

void TestDetectCycleSQL::storedTexts()
{
    QFETCH(QString, start);
    QFETCH(double, seconds);
    QFETCH(QString, stored);
    TestEnv env;
    env.clock->set(at("2024-01-05 09:00:00"));
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    log.insertDate({start, seconds});
    log.flush();
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle.db")), QStringList{start + "|" + stored});
    QCOMPARE(selectRows(QStringLiteral("DetectCycle.db"), "select typeof(roundtime) from detect_cycle"),
             QStringList{"text"});
}

void TestDetectCycleSQL::archiveClashGetsSuffix()
{
    TestEnv env;
    earlierDay(env, QStringLiteral("2024-01-04"), {"2024-01-04 10:00:00.000"});
    QVERIFY(execOn(QStringLiteral("DetectCycle/2024-01-04.db"),
                   {QString::fromLatin1(DetectCycleSQL::kCreate),
                    "insert into detect_cycle (roundstart, roundtime) values ('kept', '1')"}));
    env.clock->set(at("2024-01-05 09:00:00"));
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    QCOMPARE(archives(), (QStringList{"2024-01-04.db", "2024-01-04_2.db"}));
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle/2024-01-04.db")), QStringList{"kept|1"});
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle/2024-01-04_2.db")), QStringList{"2024-01-04 10:00:00.000|1.5"});
    QVERIFY(rowsOf(QStringLiteral("DetectCycle.db")).isEmpty());
}

void TestDetectCycleSQL::invalidTimeFileDatedByFile()
{
    TestEnv env;
    earlierDay(env, QStringLiteral("2024-01-03"), {"2024-01-03 10:00:00.000"});
    env.writeFile(QStringLiteral("DetectCycle/time.txt"), "20x4-13-45");
    QFile db(QStringLiteral("DetectCycle.db"));
    QVERIFY(db.open(QIODevice::ReadWrite));
    QVERIFY(db.setFileTime(at("2024-01-03 18:00:00"), QFileDevice::FileModificationTime));
    db.close();
    env.clock->set(at("2024-01-05 09:00:00"));
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    QCOMPARE(archives(), QStringList{"2024-01-03.db"});
    QVERIFY(!QFile::exists(QStringLiteral("DetectCycle/.db")));
    QCOMPARE(env.readFile(QStringLiteral("DetectCycle/time.txt")), QByteArray("2024-01-05"));
}

void TestDetectCycleSQL::insertsReachTheDayFileWhileAnArchiveIsRead()
{
    TestEnv env;
    earlierDay(env, QStringLiteral("2024-01-04"), {"2024-01-04 10:00:00.000"});
    env.clock->set(at("2024-01-05 09:00:00"));
    RecordsWriter writer(10);
    DetectCycleSQL log(writer);
    QSqlDatabase view = log.readDB(QStringLiteral("2024-01-04"));
    QVERIFY(view.isOpen());
    log.insertDate({"2024-01-05 09:00:00.000", 4.0});
    log.flush();
    QCOMPARE(rowsOf(QStringLiteral("DetectCycle.db")), QStringList{"2024-01-05 09:00:00.000|4"});
    QSqlQuery q(view);
    QVERIFY(q.exec("select count(*) from detect_cycle") && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    // The page's connection is read-only and makes no file.
    QVERIFY(!QSqlQuery(view).exec("insert into detect_cycle (roundstart, roundtime) values ('x', '1')"));
    QVERIFY(!log.readDB(QStringLiteral("2023-12-31")).isValid());
    QVERIFY(!QFile::exists(QStringLiteral("DetectCycle/2023-12-31.db")));
    log.closeDB();
}

void TestDetectCycleSQL::seamMakesTheLogWhenMissing()
{
    TestEnv env;
    env.clock->set(at("2024-01-05 09:00:00"));
    {
        RecordsSeam seam(10);
        QVERIFY(!DetectCycleSQL::instance);
        seam.cycleLog()->insertDate(QStringLiteral("2024-01-05 09:00:00.000"), 2.5);
        QVERIFY(DetectCycleSQL::instance);
        QCOMPARE(seam.cycleLog()->logDate(), QDate(2024, 1, 5));
        seam.flushAll();
        QCOMPARE(rowsOf(QStringLiteral("DetectCycle.db")), QStringList{"2024-01-05 09:00:00.000|2.5"});
        delete DetectCycleSQL::instance;
        DetectCycleSQL::instance = nullptr;
    }
}

QTEST_MAIN(TestDetectCycleSQL)
#include "tst_detectcyclesql.moc"
