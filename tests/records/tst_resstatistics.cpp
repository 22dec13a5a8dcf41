// The hourly statistics store: days that turn at 08:00 as the clock moves,
// the files it keeps, damaged and refusing files, and the writer behind it.
#include "cameraglobals.h"
#include "readonlyfolder.h"
#include "recordsfixture.h"
#include "recordsseam.h"
#include "recordswriter.h"
#include "resstatisticsparam.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>
#include <glog/logging.h>

#include <memory>

namespace {

class GlogErrors : public google::LogSink {
public:
    GlogErrors() { google::AddLogSink(this); }
    ~GlogErrors() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity severity, const char*, const char*, int, const google::LogMessageTime&,
              const char* message, size_t length) override
    {
        if (severity == google::GLOG_ERROR)
            lines << QString::fromUtf8(message, int(length));
    }
    QStringList lines;
};

const QString kFile = QStringLiteral("ResStatistics.db");

// One store over the test's program directory, driven by script lines.
struct Rig {
    TestEnv& env;
    std::unique_ptr<RecordsWriter> writer = std::make_unique<RecordsWriter>(50);
    std::unique_ptr<ResStatisticsParam> store;

    explicit Rig(TestEnv& e) : env(e) {}
    ~Rig() { store.reset(); }

    void open() { store = std::make_unique<ResStatisticsParam>(*writer); }

    // "clock <instant>", "open", "restart", "ok|ng <camera> <detection>"
    // (at the clock), "okAt <date> <time> <camera> <detection>".
    void run(const QStringList& steps)
    {
        for (const QString& step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w[0] == QLatin1String("clock")) {
                env.clock->set(at(w[1] + QLatin1Char(' ') + w[2]));
            } else if (w[0] == QLatin1String("open")) {
                open();
            } else if (w[0] == QLatin1String("restart")) {
                store.reset();
                open();
            } else if (w[0] == QLatin1String("ok") || w[0] == QLatin1String("ng")) {
                store->Add(env.clock->now(), w[0] == QLatin1String("ok"), w[1].toInt(), w[2].toInt());
            } else if (w[0] == QLatin1String("okAt")) {
                store->Add(at(w[1] + QLatin1Char(' ') + w[2]), true, w[3].toInt(), w[4].toInt());
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
            }
        }
    }
};

// "<file> <row> ok|ng <hour> <value>" holds in file's row (file relative to
// the program directory).
void checkFileCounts(const QStringList& expected)
{
    for (const QString& e : expected) {
        const QStringList w = e.split(QLatin1Char(' '));
        const QStringList rows =
            selectRows(w[0], QStringLiteral("select value1, value2 from resstatistics where name='%1'").arg(w[1]));
        QVERIFY2(rows.size() == 1, qPrintable(e));
        const QString text = rows[0].split(QLatin1Char('|'))[w[2] == QLatin1String("ok") ? 0 : 1];
        QCOMPARE(parseStatisticsRow(text)[w[3].toInt()], w[4].toInt());
    }
}

QStringList archives()
{
    return QDir(QStringLiteral("ResStatistics")).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
}

} // namespace

class TestResStatistics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void clockScripts_data();
    void clockScripts();
    void shiftsAndSeries();
    void dayStartFile_data();
    void dayStartFile();
    void rowsInUseAndAggregates();
    void outOfRangeVerdictsChangeNothing();
    void dayTurnsAtEightOnDaylightSavingDay();

    void damagedFileKeptAsideCountingGoesOn();
    void missingTemplateMadeAndDamagedFileKept();
    void templateWithoutRowsGetsThem();
    void refusedArchiveKeepsTheOldDay();
    void flushedFileEqualsMemory();
    void flushAllLeavesNothingUnwritten();
    void pageToldOfVerdictsAndNewDays();
};

void TestResStatistics::initTestCase()
{
    pinTimeZone();
}

void TestResStatistics::init()
{
    numCamera = 2;
    gDNum = 2;
}

void TestResStatistics::clockScripts_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("archives");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("dayStart");
    QTest::addColumn<QStringList>("fileCounts");   // after a flush

    QTest::newRow("07:59:59 is hour 7 of the day before; 08:00 archives it")
        << QStringList{"clock 2024-01-02 07:00:00", "open", "clock 2024-01-02 07:59:59", "ok 0 0",
                       "clock 2024-01-02 08:00:00", "ok 0 0"}
        << QStringList{"2024-01-01.db"} << "2024-01-02" << "2024-01-02 08:00"
        << QStringList{"ResStatistics/2024-01-01.db C0_D0 ok 7 1", "ResStatistics/2024-01-01.db C0_D0 ok 8 0",
                       "ResStatistics.db C0_D0 ok 8 1", "ResStatistics.db C0_D0 ok 7 0"};
    QTest::newRow("07:59:59.999 with the clock past 08:00 stays in its day")
        << QStringList{"clock 2024-01-02 07:00:00", "open", "clock 2024-01-02 08:00:00.001",
                       "okAt 2024-01-02 07:59:59.999 0 0"}
        << QStringList{} << "2024-01-01" << "2024-01-01 08:00"
        << QStringList{"ResStatistics.db C0_D0 ok 7 1", "ResStatistics.db C0_D0 ok 8 0"};
    QTest::newRow("start at 06:00 after three days off")
        << QStringList{"clock 2024-01-01 09:00:00", "open", "ok 0 0", "clock 2024-01-05 06:00:00", "restart",
                       "clock 2024-01-05 07:00:00", "ng 1 1"}
        << QStringList{"2024-01-01.db"} << "2024-01-04" << "2024-01-04 08:00"
        << QStringList{"ResStatistics/2024-01-01.db C0_D0 ok 9 1", "ResStatistics.db C1_D1 ng 7 1",
                       "ResStatistics.db C0_D0 ok 9 0"};
    QTest::newRow("then the first verdict after 08:00 rolls")
        << QStringList{"clock 2024-01-01 09:00:00", "open", "ok 0 0", "clock 2024-01-05 06:00:00", "restart",
                       "clock 2024-01-05 07:00:00", "ng 1 1", "clock 2024-01-05 08:00:05", "ok 0 1"}
        << QStringList{"2024-01-01.db", "2024-01-04.db"} << "2024-01-05" << "2024-01-05 08:00"
        << QStringList{"ResStatistics/2024-01-04.db C1_D1 ng 7 1", "ResStatistics.db C0_D1 ok 8 1"};
    QTest::newRow("forward five days: one archive, no files for the days between")
        << QStringList{"clock 2024-01-01 09:00:00", "open", "ok 0 0", "clock 2024-01-06 10:00:00", "ok 0 0"}
        << QStringList{"2024-01-01.db"} << "2024-01-06" << "2024-01-06 08:00"
        << QStringList{"ResStatistics/2024-01-01.db C0_D0 ok 9 1", "ResStatistics.db C0_D0 ok 10 1"};
    QTest::newRow("set back before dayStart, twice: the second archive is _2")
        << QStringList{"clock 2024-01-02 09:00:00", "open", "ok 0 0", "clock 2024-01-01 09:00:00", "ok 0 0",
                       "clock 2024-01-02 10:00:00", "ok 0 0", "clock 2024-01-01 11:00:00", "ok 0 0"}
        << QStringList{"2024-01-01.db", "2024-01-02.db", "2024-01-02_2.db"} << "2024-01-01" << "2024-01-01 08:00"
        << QStringList{"ResStatistics/2024-01-02.db C0_D0 ok 9 1", "ResStatistics/2024-01-02.db C0_D0 ok 10 0",
                       "ResStatistics/2024-01-02_2.db C0_D0 ok 10 1", "ResStatistics/2024-01-01.db C0_D0 ok 9 1",
                       "ResStatistics.db C0_D0 ok 11 1"};
    QTest::newRow("set back within the same statistics day: nothing happens")
        << QStringList{"clock 2024-01-02 15:00:00", "open", "ok 0 0", "clock 2024-01-02 09:00:00", "ok 0 0"}
        << QStringList{} << "2024-01-02" << "2024-01-02 08:00"
        << QStringList{"ResStatistics.db C0_D0 ok 15 1", "ResStatistics.db C0_D0 ok 9 1"};
}

void TestResStatistics::clockScripts()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, archives);
    QFETCH(QString, date);
    QFETCH(QString, dayStart);
    QFETCH(QStringList, fileCounts);

    TestEnv env;
    QDir().mkpath(QStringLiteral("ResStatistics"));
    Rig rig(env);
    rig.run(steps);
    rig.store->flush();
    QCOMPARE(::archives(), archives);
    QCOMPARE(rig.store->statisticsDate, date);
    const QDateTime start = QDateTime::fromSecsSinceEpoch(rig.store->dayStart);
    QCOMPARE(start.toString(QStringLiteral("yyyy-MM-dd hh:mm")), dayStart);
    QCOMPARE(env.readFile(QStringLiteral("restime.txt")), QByteArray::number(rig.store->dayStart));
    checkFileCounts(fileCounts);
}

void TestResStatistics::shiftsAndSeries()
{
    TestEnv env;
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open", "okAt 2024-01-02 08:30:00 0 0", "okAt 2024-01-02 19:59:00 0 0",
             "okAt 2024-01-02 20:00:00 0 0", "okAt 2024-01-03 07:59:59 0 0", "okAt 2024-01-03 07:10:00 0 0"});
    rig.store->Add(at("2024-01-02 19:00:00"), false, 1, 1);
    rig.store->setFindCount();
    ResStatisticsParam& s = *rig.store;
    QCOMPARE(s.getCount(ShiftMorning, true, 0, 0), 2);   // hours 8 and 19
    QCOMPARE(s.getCount(ShiftNight, true, 0, 0), 3);     // hours 20 and 7 (twice)
    QCOMPARE(s.getCount(ShiftWholeDay, true, 0, 0), 5);
    QCOMPARE(s.getCount(ShiftMorning, false, 8, 8), 1);
    QCOMPARE(s.getCount(ShiftWholeDay, true, 8, 0), 5);
    QCOMPARE(s.getCount(ShiftType(3), true, 0, 0), 0);
    QCOMPARE(s.getCount(ShiftType(-1), true, 0, 0), 0);
    QVERIFY(s.getRes(ShiftType(3), true, 0, 0).isEmpty());

    const QList<int> morning = s.getRes(ShiftMorning, true, 0, 0);
    QCOMPARE(morning, (QList<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));   // 8 .. 19
    const QList<int> night = s.getRes(ShiftNight, true, 0, 0);
    QCOMPARE(night, (QList<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}));     // 20 .. 23, 0 .. 7
    QCOMPARE(s.getRes(ShiftWholeDay, true, 0, 0).size(), 24);
    QCOMPARE(s.getRes(ShiftWholeDay, true, 0, 0)[7], 2);
}

void TestResStatistics::dayStartFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("present");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("garbled") << QByteArray("17x04abc") << true;
    QTest::newRow("zero") << QByteArray("0") << true;
    QTest::newRow("missing") << QByteArray() << false;
}

void TestResStatistics::dayStartFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, present);
    TestEnv env;
    {
        Rig first(env);
        first.run({"clock 2024-01-02 12:00:00", "open", "ok 0 0"});
    }
    // The file was last written on 2 January; the day start is lost.
    QFile::remove(QStringLiteral("restime.txt"));
    if (present)
        env.writeFile(QStringLiteral("restime.txt"), content);
    QFile db(kFile);
    QVERIFY(db.open(QIODevice::ReadWrite));
    QVERIFY(db.setFileTime(at("2024-01-02 12:00:01"), QFileDevice::FileModificationTime));
    db.close();

    Rig rig(env);
    rig.run({"clock 2024-01-03 20:00:00", "open"});
    rig.store->flush();
    QCOMPARE(::archives(), QStringList{"2024-01-02.db"});
    checkFileCounts({"ResStatistics/2024-01-02.db C0_D0 ok 12 1"});
    QCOMPARE(rig.store->statisticsDate, QStringLiteral("2024-01-03"));
    QCOMPARE(env.readFile(QStringLiteral("restime.txt")),
             QByteArray::number(at("2024-01-03 08:00:00").toSecsSinceEpoch()));
}

void TestResStatistics::rowsInUseAndAggregates()
{
    TestEnv env;
    {
        Rig first(env);
        first.run({"clock 2024-01-02 09:00:00", "open"});
    }
    // Rows beyond the cameras and detections in use hold counts of an
    // earlier configuration; they are neither loaded nor overwritten.
    const QString five = QStringLiteral("5 ") + QStringLiteral("0 ").repeated(23);
    QVERIFY(execOn(kFile, {QStringLiteral("update resstatistics set value1='%1' where name in ('C2_D0','C0_D2')").arg(five)}));

    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open", "ok 0 0", "ok 0 1", "ng 1 0", "ok 1 1", "ok 3 0", "ok 0 5"});
    QCOMPARE(rig.store->liveCounts.cameras[2].detects[0].okHour[0], 0);
    rig.store->flush();

    const QString zeros23 = QStringLiteral("0 ").repeated(23);
    const auto row = [](const QString& name) {
        return selectRows(QStringLiteral("ResStatistics.db"),
                          QStringLiteral("select value1 || '#' || value2 from resstatistics where name='%1'").arg(name))
            .value(0);
    };
    const QString oneAtNine = QStringLiteral("0 ").repeated(9) + QStringLiteral("1 ") + QStringLiteral("0 ").repeated(14);
    const QString twoAtNine = QStringLiteral("0 ").repeated(9) + QStringLiteral("2 ") + QStringLiteral("0 ").repeated(14);
    const QString three = QStringLiteral("0 ").repeated(9) + QStringLiteral("3 ") + QStringLiteral("0 ").repeated(14);
    const QString zero = QStringLiteral("0 ").repeated(24);
    QCOMPARE(row("C0_D0"), oneAtNine + "#" + zero);
    QCOMPARE(row("C0_D8"), twoAtNine + "#" + zero);
    QCOMPARE(row("C1_D8"), oneAtNine + "#" + oneAtNine);
    QCOMPARE(row("C8_D0"), oneAtNine + "#" + oneAtNine);
    QCOMPARE(row("C8_D1"), twoAtNine + "#" + zero);
    // C3_D0 and C0_D5 are not in use: not counted, not written.
    QCOMPARE(row("C3_D0"), zero + "#" + zero);
    QCOMPARE(row("C0_D5"), zero + "#" + zero);
    QCOMPARE(row("C2_D0"), QStringLiteral("5 ") + zeros23 + "#" + zero);
    QCOMPARE(row("C0_D2"), QStringLiteral("5 ") + zeros23 + "#" + zero);
    // The all-camera total is the sum over everything counted.
    QCOMPARE(rig.store->liveCounts.total.total.okTotal, 3);
    QVERIFY(row("C8_D8").startsWith(three));
    QCOMPARE(statisticsRowText(HourCounts{1}), QStringLiteral("1 ") + zeros23);
}

void TestResStatistics::outOfRangeVerdictsChangeNothing()
{
    TestEnv env;
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open", "ok 0 0"});
    const CountAllCamera before = rig.store->liveCounts;
    GlogErrors errors;
    QCOMPARE(rig.store->Add(at("2024-01-02 09:00:00"), true, -1, 0), 1);
    rig.store->Add(at("2024-01-02 09:00:00"), true, 8, 0);
    rig.store->Add(at("2024-01-02 09:00:00"), true, 0, 8);
    rig.store->Add(at("2024-01-02 09:00:00"), false, 0, -1);
    rig.store->Add(24, true, 0, 0);
    rig.store->Add(-1, true, 0, 0);
    QCOMPARE(errors.lines.size(), 6);
    QCOMPARE(rig.store->liveCounts.total.total.okTotal, before.total.total.okTotal);
    QCOMPARE(rig.store->liveCounts.total.total.ngTotal, 0);
    // The Part's form with a given hour still counts.
    rig.store->Add(10, true, 1, 0);
    QCOMPARE(rig.store->liveCounts.cameras[1].detects[0].okHour[10], 1);
}

void TestResStatistics::dayTurnsAtEightOnDaylightSavingDay()
{
    pinTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
    {
        TestEnv env;
        Rig rig(env);
        // 31 March 2024: the clocks go from 02:00 to 03:00.
        rig.run({"clock 2024-03-30 09:00:00", "open", "ok 0 0", "clock 2024-03-31 07:59:59", "ok 0 0"});
        QCOMPARE(rig.store->statisticsDate, QStringLiteral("2024-03-30"));
        rig.run({"clock 2024-03-31 08:00:00", "ok 0 0"});
        QCOMPARE(rig.store->statisticsDate, QStringLiteral("2024-03-31"));
        QCOMPARE(::archives(), QStringList{"2024-03-30.db"});
        QCOMPARE(QDateTime::fromSecsSinceEpoch(rig.store->dayStart).toString("yyyy-MM-dd hh:mm"),
                 QStringLiteral("2024-03-31 08:00"));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(rig.store->dayStart, Qt::UTC).time().hour(), 6);
        rig.store->flush();
        checkFileCounts({"ResStatistics/2024-03-30.db C0_D0 ok 7 1", "ResStatistics.db C0_D0 ok 8 1"});
    }
    pinTimeZone();
}

void TestResStatistics::damagedFileKeptAsideCountingGoesOn()
{
    TestEnv env;
    const QByteArray garbage = QByteArray("this is not a database ").repeated(300);
    env.writeFile(kFile, garbage);
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open", "ok 0 0", "ok 0 0"});
    rig.store->flush();
    const QStringList aside = QDir().entryList({QStringLiteral("ResStatistics.db.broken_*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(env.readFile(aside[0]), garbage);
    int shown544 = 0;
    for (const ModalRequest& r : env.modalRequests)
        shown544 += r.messageId == 544;
    QCOMPARE(shown544, 1);
    QVERIFY(!env.runner->lines().join('\n').contains(QLatin1String("reboot")));
    checkFileCounts({"ResStatistics.db C0_D0 ok 9 2"});
}

void TestResStatistics::missingTemplateMadeAndDamagedFileKept()
{
    TestEnv env;
    env.writeFile(kFile, QByteArray(4096, '\x5a'));
    QVERIFY(!QFile::exists(QStringLiteral("ResStatisticsNULL.db")));
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open", "ng 1 0"});
    rig.store->flush();
    QCOMPARE(selectRows(QStringLiteral("ResStatisticsNULL.db"), "select count(*) from resstatistics"), QStringList{"81"});
    QCOMPARE(selectRows(QStringLiteral("ResStatisticsNULL.db"),
                        "select count(*) from resstatistics where value1 = value2 and value1 = '"
                            + QStringLiteral("0 ").repeated(24) + "'"),
             QStringList{"81"});
    QCOMPARE(QDir().entryList({QStringLiteral("ResStatistics.db.broken_*")}).size(), 1);
    checkFileCounts({"ResStatistics.db C1_D0 ng 9 1"});
}

void TestResStatistics::templateWithoutRowsGetsThem()
{
    TestEnv env;
    QVERIFY(execOn(QStringLiteral("ResStatisticsNULL.db"),
                   {"CREATE TABLE resstatistics(name, value1, value2)",
                    "insert into resstatistics values ('C0_D0', '" + QStringLiteral("0 ").repeated(24) + "', '"
                        + QStringLiteral("0 ").repeated(24) + "')"}));
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open", "ok 1 1", "ok 0 0"});
    rig.store->flush();
    QCOMPARE(selectRows(kFile, "select count(*) from resstatistics"), QStringList{"81"});
    checkFileCounts({"ResStatistics.db C1_D1 ok 9 1", "ResStatistics.db C0_D0 ok 9 1", "ResStatistics.db C8_D8 ok 9 2"});

    // A file without the table at all gets it too.
    rig.store.reset();
    QFile::remove(kFile);
    QVERIFY(execOn(kFile, {"CREATE TABLE other(x)"}));
    rig.run({"open", "ng 0 1"});
    rig.store->flush();
    checkFileCounts({"ResStatistics.db C0_D1 ng 9 1"});
}

void TestResStatistics::refusedArchiveKeepsTheOldDay()
{
    TestEnv env;
    QDir().mkpath(QStringLiteral("ResStatistics"));
    auto readOnly = std::make_unique<ReadOnlyFolder>(env.path(QStringLiteral("ResStatistics")));
    if (!readOnly->ok())
        QSKIP("cannot make a folder read-only here");
    // The writer thread starts under the reduced rights of this thread.
    Rig rig(env);
    rig.run({"clock 2024-01-01 09:00:00", "open", "ok 0 0", "clock 2024-01-02 09:00:00", "ok 0 0"});
    rig.store->flush();
    QVERIFY(::archives().isEmpty());
    QCOMPARE(rig.store->statisticsDate, QStringLiteral("2024-01-01"));
    QCOMPARE(QDateTime::fromSecsSinceEpoch(rig.store->dayStart).date(), QDate(2024, 1, 1));
    checkFileCounts({"ResStatistics.db C0_D0 ok 9 2"});

    readOnly.reset();
    rig.run({"ok 0 0"});
    rig.store->flush();
    QCOMPARE(::archives(), QStringList{"2024-01-01.db"});
    QCOMPARE(rig.store->statisticsDate, QStringLiteral("2024-01-02"));
    checkFileCounts({"ResStatistics/2024-01-01.db C0_D0 ok 9 2", "ResStatistics.db C0_D0 ok 9 1"});
}

void TestResStatistics::flushedFileEqualsMemory()
{
    TestEnv env;
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open"});
    QRandomGenerator rng(7);
    for (int i = 0; i < 500; ++i) {
        const QDateTime t = at("2024-01-02 08:00:00").addSecs(rng.bounded(86400));
        rig.store->Add(t, rng.bounded(2) == 0, rng.bounded(2), rng.bounded(2));
    }
    rig.store->flush();
    CountAllCamera fromFile;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(kFile);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(loadCount(fromFile, q, 2, 2));
    }
    QSqlDatabase::removeDatabase("check");
    clcCount(fromFile);
    for (int c : {0, 1, 8})
        for (int d : {0, 1, 8}) {
            QCOMPARE(selectCount(fromFile, c, d)->okHour, selectCount(rig.store->liveCounts, c, d)->okHour);
            QCOMPARE(selectCount(fromFile, c, d)->ngHour, selectCount(rig.store->liveCounts, c, d)->ngHour);
        }
    QCOMPARE(fromFile.total.total.okTotal + fromFile.total.total.ngTotal, 500);
}

void TestResStatistics::flushAllLeavesNothingUnwritten()
{
    TestEnv env;
    env.clock->set(at("2024-01-02 09:00:00"));
    // A long batch interval: only the flush can have written the counts.
    RecordsSeam seam(60000);
    std::unique_ptr<QWidget> page(seam.openStatistics(QStringLiteral("./ResStatistics")));
    QVERIFY(page);
    QVERIFY(gpResStatisticsParam);
    for (int i = 0; i < 10; ++i)
        seam.statsSink()->Add(env.clock->now(), i % 3 != 0, 1, 0);
    seam.flushAll();
    checkFileCounts({"ResStatistics.db C1_D0 ok 9 6", "ResStatistics.db C1_D0 ng 9 4"});
    // The closed connection opens again for the next write.
    seam.statsSink()->Add(env.clock->now(), true, 1, 0);
    seam.flushAll();
    checkFileCounts({"ResStatistics.db C1_D0 ok 9 7"});
    page.reset();
    delete gpResStatisticsParam;
    gpResStatisticsParam = nullptr;
}

void TestResStatistics::pageToldOfVerdictsAndNewDays()
{
    // The page's side: what it is asked, and what the store holds then.
    struct Page : StatisticsObserver {
        bool currentDay = false;
        QStringList events;
        ResStatisticsParam* store = nullptr;
        bool showsCurrentDay() const override { return currentDay; }
        void checkUpdate() override
        {
            events << QStringLiteral("redraw %1").arg(store->getCount(ShiftWholeDay, true, 8, 8));
        }
        void updateList() override
        {
            events << QStringLiteral("list %1 %2").arg(store->statisticsDate, store->archiveNames().join(','));
        }
    } page;
    TestEnv env;
    Rig rig(env);
    rig.run({"clock 2024-01-02 09:00:00", "open"});
    page.store = rig.store.get();
    rig.store->setObserver(&page);
    rig.run({"ok 0 0"});                 // an archived day is shown: no redraw
    QVERIFY(page.events.isEmpty());
    QCOMPARE(rig.store->getCount(ShiftWholeDay, true, 8, 8), 0);
    page.currentDay = true;
    rig.run({"ok 0 1", "clock 2024-01-03 08:00:00", "ok 1 1"});
    QCOMPARE(page.events, (QStringList{"redraw 2", "list 2024-01-03 2024-01-02.db", "redraw 1"}));
    rig.store->setObserver(nullptr);
}

QTEST_MAIN(TestResStatistics)
#include "tst_resstatistics.moc"
