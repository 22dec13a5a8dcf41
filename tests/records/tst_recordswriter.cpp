// The records writer: order kept, saves coalesced, at most one batch per
// interval, flush and call waiting for what was queued before them.
#include "recordswriter.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <mutex>

class TestRecordsWriter : public QObject {
    Q_OBJECT
private slots:
    void orderKeptAcrossSyncCalls();
    void coalescedJobQueuedOnce();
    void atMostOneBatchPerInterval();
    void flushRunsAtOnce();
    void connectionJobsShareOneTransaction();
    void failingJobDoesNotStopTheWriter();
};

void TestRecordsWriter::orderKeptAcrossSyncCalls()
{
    RecordsWriter writer(10000);
    std::mutex m;
    QStringList seen;
    const auto log = [&](const QString& s) {
        std::lock_guard<std::mutex> lock(m);
        seen << s;
    };
    writer.post([&] { log("insert 1"); });
    writer.post([&] { log("insert 2"); });
    // A roll-over waits for what was queued before it.
    const int r = writer.call([&] {
        log("roll-over");
        return 42;
    });
    QCOMPARE(r, 42);
    writer.post([&] { log("insert 3"); });
    writer.flush();
    QCOMPARE(seen, (QStringList{"insert 1", "insert 2", "roll-over", "insert 3"}));
    // Everything ran on the writer's thread.
    QVERIFY(writer.call([&] { return writer.onWriterThread(); }));
    QVERIFY(!writer.onWriterThread());
}

void TestRecordsWriter::coalescedJobQueuedOnce()
{
    RecordsWriter writer(10000);
    writer.flush();   // past the first batch, which runs at once
    writer.post([] {});
    writer.flush();
    std::atomic<int> saves{0};
    for (int i = 0; i < 100; ++i)
        writer.post([&] { ++saves; }, QString(), QStringLiteral("save"));
    writer.flush();
    QCOMPARE(saves.load(), 1);
    writer.post([&] { ++saves; }, QString(), QStringLiteral("save"));
    writer.flush();
    QCOMPARE(saves.load(), 2);
}

void TestRecordsWriter::atMostOneBatchPerInterval()
{
    RecordsWriter writer(200);
    std::atomic<int> ran{0};
    QElapsedTimer t;
    t.start();
    int posted = 0;
    while (t.elapsed() < 1000) {
        writer.post([&] { ++ran; });
        ++posted;
        QThread::msleep(2);
    }
    const int batches = writer.batches();
    QVERIFY2(batches <= 1000 / 200 + 2, qPrintable(QString::number(batches)));
    QVERIFY(batches >= 2);
    writer.flush();
    QCOMPARE(ran.load(), posted);
}

void TestRecordsWriter::flushRunsAtOnce()
{
    RecordsWriter writer(60000);
    std::atomic<bool> ran{false};
    writer.post([&] { ran = true; });   // the first batch comes at once
    writer.flush();
    writer.post([&] { ran = false; });
    QElapsedTimer t;
    t.start();
    writer.flush();
    QVERIFY(!ran);
    QVERIFY(t.elapsed() < 5000);
}

void TestRecordsWriter::connectionJobsShareOneTransaction()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("t.db");
    RecordsWriter writer(60000);
    writer.call([&] {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "w");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery(db).exec("create table t(x)");
        writer.adoptConnection("w");
        return 0;
    });
    std::mutex m;
    QList<bool> inTransaction;
    for (int i = 0; i < 5; ++i)
        writer.post(
            [&, i] {
                QSqlDatabase db = QSqlDatabase::database("w", false);
                QSqlQuery q(db);
                q.exec(QStringLiteral("insert into t values (%1)").arg(i));
                // Inside a transaction SQLite refuses to begin another.
                const bool nested = !QSqlQuery(db).exec("begin");
                std::lock_guard<std::mutex> lock(m);
                inTransaction << nested;
            },
            "w");
    writer.flush();
    QCOMPARE(inTransaction, (QList<bool>{true, true, true, true, true}));
    const int rows = writer.call([&] {
        QSqlQuery q(QSqlDatabase::database("w", false));
        q.exec("select count(*) from t");
        return q.next() ? q.value(0).toInt() : -1;
    });
    QCOMPARE(rows, 5);
}

void TestRecordsWriter::failingJobDoesNotStopTheWriter()
{
    RecordsWriter writer(10);
    writer.post([] { throw std::runtime_error("disk gone"); });
    std::atomic<bool> after{false};
    writer.post([&] { after = true; });
    writer.flush();
    QVERIFY(after);
}

QTEST_MAIN(TestRecordsWriter)
#include "tst_recordswriter.moc"
