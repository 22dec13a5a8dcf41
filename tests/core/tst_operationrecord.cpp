// Operation record: inserts, clear, the daily roll-over and the connections.
#include "messages.h"
#include "operationrecord.h"
#include "relaylink.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

namespace {

const QDateTime kDay1(QDate(2026, 1, 1), QTime(23, 59, 30));
const QDateTime kDay2(QDate(2026, 1, 2), QTime(0, 0, 30));

void makeRecordDb(const QString& file, const QStringList& remarks = {})
{
    const QString name = QStringLiteral("fixture");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)"));
        for (const QString& r : remarks)
            QVERIFY(q.exec(QStringLiteral("INSERT INTO RECORD VALUES('08.00.00', 'x', '%1')").arg(r)));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Rows of a record file as "time|level|text"; a missing table reads as "no table".
QStringList rowsOf(const QString& file)
{
    QStringList rows;
    const QString name = QStringLiteral("reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(file);
        if (!QFileInfo::exists(file) || !db.open())
            return {"no file"};
        QSqlQuery q(db);
        if (!q.exec("SELECT recordtime, recordpassword, remarks FROM RECORD ORDER BY rowid"))
            rows << "no table";
        while (q.next())
            rows << q.value(0).toString() + "|" + q.value(1).toString() + "|" + q.value(2).toString();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

} // namespace

class TestOperationRecord : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void insertKeepsOrderAndText();
    void levelText_data();
    void levelText();
    void relayAfterSuccessfulInsert_data();
    void relayAfterSuccessfulInsert();
    void insertCreatesMissingTable();
    void clearThenFirstRow();
    void workerThreadInsertGoesThroughOwnerThread();

    void rollOver_data();
    void rollOver();
    void rollOverKeepsRecordWhenMoveFails();
    void startUpArchivesEarlierDay();
    void startUpWithoutDateFile();
    void flushClosesAllAndReopen();

private:
    int level_ = AccessLevelNone;
    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<OperationRecord> record_;
    std::unique_ptr<WizardPara> para_;
    std::unique_ptr<RecordingRelayLink> relay_;
};

void TestOperationRecord::init()
{
    env_ = std::make_unique<TestEnv>();
    env_->clock->set(kDay1);
    gLan = LanEnglish;
    gaLanStr[3 * 154 + LanEnglish] = "Advanced";
    gaLanStr[3 * 155 + LanEnglish] = "Primary";
    gaLanStr[3 * 156 + LanEnglish] = "Unlogged";
    gaLanStr[3 * 156 + LanSimplifiedChinese] = QString::fromUtf8("未登录");
    para_ = std::make_unique<WizardPara>();
    gpWPara = para_.get();
    relay_ = std::make_unique<RecordingRelayLink>();
    gpNet = relay_.get();

    makeRecordDb("RECORDNULL.db");
    makeRecordDb("RECORD.db");
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", OperationRecord::kRecordConnection);
    db.setDatabaseName("RECORD.db");
    QVERIFY(db.open());
    level_ = AccessLevelNone;
    record_ = std::make_unique<OperationRecord>([this] { return level_; });
}

void TestOperationRecord::cleanup()
{
    record_.reset();
    for (const QString& c : QSqlDatabase::connectionNames())
        QSqlDatabase::removeDatabase(c);
    gpNet = nullptr;
    gpWPara = nullptr;
    relay_.reset();
    para_.reset();
    env_.reset();
}

void TestOperationRecord::insertKeepsOrderAndText()
{
    const QStringList texts = {"first", "it's O'Neill's mould",
                               "x'); DROP TABLE RECORD; --", QString::fromUtf8("相机1 丢失"), ""};
    for (const QString& t : texts)
        record_->InsertRecord(t);
    QStringList expected;
    for (const QString& t : texts)
        expected << "23.59.30|Unlogged|" + t;
    QCOMPARE(rowsOf("RECORD.db"), expected);
}

void TestOperationRecord::levelText_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("text");
    QTest::newRow("advanced") << int(LanEnglish) << 2 << "Advanced";
    QTest::newRow("primary") << int(LanEnglish) << 1 << "Primary";
    QTest::newRow("none") << int(LanEnglish) << 0 << "Unlogged";
    QTest::newRow("unknown level") << int(LanEnglish) << 7 << "Unlogged";
    QTest::newRow("chinese run") << int(LanSimplifiedChinese) << 0 << QString::fromUtf8("未登录");
}

void TestOperationRecord::levelText()
{
    QFETCH(int, language);
    QFETCH(int, level);
    QFETCH(QString, text);
    gLan = language;
    level_ = level;
    record_->InsertRecord("t");
    QCOMPARE(rowsOf("RECORD.db"), QStringList{"23.59.30|" + text + "|t"});
}

void TestOperationRecord::relayAfterSuccessfulInsert_data()
{
    QTest::addColumn<bool>("netEnabled");
    QTest::addColumn<bool>("serverOpen");
    QTest::addColumn<bool>("dbWorks");
    QTest::addColumn<bool>("relayed");
    QTest::newRow("both on") << true << true << true << true;
    QTest::newRow("net off") << false << true << true << false;
    QTest::newRow("not listening") << true << false << true << false;
    QTest::newRow("insert failed") << true << true << false << false;
}

void TestOperationRecord::relayAfterSuccessfulInsert()
{
    QFETCH(bool, netEnabled);
    QFETCH(bool, serverOpen);
    QFETCH(bool, dbWorks);
    QFETCH(bool, relayed);
    para_->netEnabled = netEnabled ? 1 : 0;
    relay_->open = serverOpen;
    relay_->alive = false;   // the relay need not be connected
    if (!dbWorks) {
        QSqlDatabase db = QSqlDatabase::database(OperationRecord::kRecordConnection, false);
        db.close();
        QVERIFY(QDir().mkpath("blocked.db"));   // a folder never opens as a database
        db.setDatabaseName("blocked.db");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot open dbRecord"));
        QTest::ignoreMessage(QtWarningMsg, "operation record lost: start detect");
    }
    level_ = AccessLevelPrimary;
    record_->InsertRecord("start detect");
    QCOMPARE(relay_->calls(),
             relayed ? QStringList{"record " + kDay1.toString(Qt::ISODate) + "|Primary|start detect"}
                     : QStringList{});
    QCOMPARE(rowsOf("RECORD.db").size(), dbWorks ? 1 : 0);
}

void TestOperationRecord::insertCreatesMissingTable()
{
    QSqlDatabase::database(OperationRecord::kRecordConnection, false).close();
    QVERIFY(QFile::remove("RECORD.db"));
    record_->InsertRecord("after a lost template");
    QCOMPARE(rowsOf("RECORD.db"), QStringList{"23.59.30|Unlogged|after a lost template"});
}

void TestOperationRecord::clearThenFirstRow()
{
    record_->InsertRecord("a");
    record_->InsertRecord("b");
    record_->ClearRecord();
    record_->InsertRecord("Clear system operation record Manually");
    QCOMPARE(rowsOf("RECORD.db"), QStringList{"23.59.30|Unlogged|Clear system operation record Manually"});
}

void TestOperationRecord::workerThreadInsertGoesThroughOwnerThread()
{
    env_->clock->set(QDateTime(QDate(2026, 1, 1), QTime(10, 0, 0)));
    QThread* io = QThread::create([this] { record_->InsertRecord("IO reconnected"); });
    io->start();
    QVERIFY(io->wait(5000));
    delete io;
    // Nothing is written on the worker; the row waits for this thread,
    // stamped with the time of the call.
    QCOMPARE(rowsOf("RECORD.db"), QStringList{});
    env_->clock->advanceMs(5000);
    QTRY_COMPARE(rowsOf("RECORD.db"), QStringList{"10.00.00|Unlogged|IO reconnected"});
}

void TestOperationRecord::rollOver_data()
{
    QTest::addColumn<QString>("storedDate");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QStringList>("archivesBefore");
    QTest::addColumn<bool>("templatePresent");
    QTest::addColumn<QString>("archive");   // where today's rows go; empty: no roll-over

    QTest::newRow("same date") << "2026-01-01" << kDay1 << QStringList{} << true << QString();
    QTest::newRow("new date") << "2026-01-01" << kDay2 << QStringList{} << true
                              << "RECORD/2026-01-01.db";
    QTest::newRow("day repeated")
        << "2026-01-01" << kDay2 << QStringList{"2026-01-01.db"} << true << "RECORD/2026-01-01_2.db";
    QTest::newRow("day repeated twice")
        << "2026-01-01" << kDay2 << QStringList{"2026-01-01.db", "2026-01-01_2.db"} << true
        << "RECORD/2026-01-01_3.db";
    QTest::newRow("clock set back") << "2026-01-02" << kDay1 << QStringList{} << true
                                    << "RECORD/2026-01-02.db";
    QTest::newRow("template missing") << "2026-01-01" << kDay2 << QStringList{} << false
                                      << "RECORD/2026-01-01.db";
    QTest::newRow("no date stored")
        << "../../etc/x" << kDay2 << QStringList{} << true
        << "RECORD/" + QDate::currentDate().toString("yyyy-MM-dd") + ".db";
}

void TestOperationRecord::rollOver()
{
    QFETCH(QString, storedDate);
    QFETCH(QDateTime, now);
    QFETCH(QStringList, archivesBefore);
    QFETCH(bool, templatePresent);
    QFETCH(QString, archive);

    QVERIFY(QDir().mkpath("RECORD"));
    for (const QString& a : archivesBefore)
        makeRecordDb("RECORD/" + a, {"older " + a});
    if (!templatePresent) {
        QVERIFY(QFile::remove("RECORDNULL.db"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("RECORDNULL.db.* missing"));
    }
    record_->InsertRecord("today");
    record_->recordDate = storedDate;
    env_->clock->set(now);

    record_->SlotCheckDate();

    const QString today = now.date().toString("yyyy-MM-dd");
    if (archive.isEmpty()) {
        QCOMPARE(rowsOf("RECORD.db"), QStringList{"23.59.30|Unlogged|today"});
        QCOMPARE(record_->recordDate, storedDate);
        return;
    }
    QCOMPARE(rowsOf(archive), QStringList{"23.59.30|Unlogged|today"});
    for (const QString& a : archivesBefore)
        QCOMPARE(rowsOf("RECORD/" + a), QStringList{"08.00.00|x|older " + a});
    QCOMPARE(rowsOf("RECORD.db"), QStringList{});
    QCOMPARE(record_->recordDate, today);
    QCOMPARE(env_->readFile("time.txt"), today.toUtf8());
    QCOMPARE(QDir("RECORD").entryList(QDir::Files).size(), archivesBefore.size() + 1);
    // The next record opens the new file.
    record_->InsertRecord("tomorrow");
    QCOMPARE(rowsOf("RECORD.db").size(), 1);
}

void TestOperationRecord::rollOverKeepsRecordWhenMoveFails()
{
    env_->writeFile("RECORD", "a file where the archive folder belongs");
    env_->writeFile("time.txt", "2026-01-01");
    record_->recordDir = QDir("RECORD");
    record_->InsertRecord("today");
    record_->recordDate = "2026-01-01";
    env_->clock->set(kDay2);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("RECORD.db kept"));
    record_->SlotCheckDate();

    QCOMPARE(rowsOf("RECORD.db"), QStringList{"23.59.30|Unlogged|today"});
    QCOMPARE(record_->recordDate, QString("2026-01-01"));
    QCOMPARE(env_->readFile("time.txt"), QByteArray("2026-01-01"));
}

void TestOperationRecord::startUpArchivesEarlierDay()
{
    record_->InsertRecord("yesterday");
    env_->writeFile("time.txt", "2026-01-01 trailing words\n");
    env_->clock->set(kDay2);

    record_->LoadRecordDate();
    record_->InsertRecord("The system is ready, there is 1 cameras");

    QCOMPARE(rowsOf("RECORD/2026-01-01.db"), QStringList{"23.59.30|Unlogged|yesterday"});
    QCOMPARE(rowsOf("RECORD.db"), QStringList{"00.00.30|Unlogged|The system is ready, there is 1 cameras"});
    QCOMPARE(env_->readFile("time.txt"), QByteArray("2026-01-02"));
}

void TestOperationRecord::startUpWithoutDateFile()
{
    record_->InsertRecord("kept");
    record_->LoadRecordDate();
    QVERIFY(QFileInfo("RECORD").isDir());
    QCOMPARE(record_->recordDate, QString("2026-01-01"));
    QCOMPARE(env_->readFile("time.txt"), QByteArray("2026-01-01"));
    QCOMPARE(rowsOf("RECORD.db").size(), 1);
    QVERIFY(!record_->dateCheckTimer->isActive());
    record_->StartDateCheck();
    QCOMPARE(record_->dateCheckTimer->interval(), 60000);
    QVERIFY(record_->dateCheckTimer->isActive());
}

void TestOperationRecord::flushClosesAllAndReopen()
{
    makeRecordDb("PARAM.db");
    makeRecordDb("SN.db");
    for (const auto& [conn, file] : {std::pair<QString, QString>{"dbIn", "PARAM.db"}, {"dbT", "SN.db"}}) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", conn);
        db.setDatabaseName(file);
        QVERIFY(db.open());
    }
    const qint64 sleptBefore = env_->clock->sleptMs();
    record_->FLushAll();
    for (const char* c : {"dbIn", "dbT", "dbRecord"})
        QVERIFY(!QSqlDatabase::database(c, false).isOpen());
    QCOMPARE(env_->clock->sleptMs() - sleptBefore, 500);

    record_->ReopenAll();
    for (const char* c : {"dbIn", "dbT", "dbRecord"})
        QVERIFY(QSqlDatabase::database(c, false).isOpen());
}

QTEST_GUILESS_MAIN(TestOperationRecord)
#include "tst_operationrecord.moc"
