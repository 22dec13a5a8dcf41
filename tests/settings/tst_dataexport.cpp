// The data export with a folder standing in for the USB disk: what lands on
// the disk and what is emptied afterwards, the dialogue's answers, a disk
// that is read-only, too small or gone (nothing deleted), a program
// directory of any name, a database written during the copy, and the GUI
// thread running meanwhile.
#include "cameraglobals.h"
#include "dataexport.h"
#include "messages.h"
#include "projectmessages.h"
#include "readonlyfolder.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "usbmount.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const char* const kStamp = "2024-05-06_07.08.09";

// The folder-disk: blkid lists one stick, mount and umount edit the mounts
// table.
struct FolderDisk {
    TestEnv& env;
    QByteArray table = "/dev/sda1 / ext4 rw 0 0\n";
    bool present = true;
    std::mutex mutex;
    explicit FolderDisk(TestEnv& e) : env(e)
    {
        QDir().mkpath(paths().mountPoint);
        env.writeFile(QStringLiteral("proc/mounts"), table);
        env.runner->setScript([this](const CommandCall& c) {
            std::lock_guard<std::mutex> lock(mutex);
            CommandResult r;
            if (c.program == "blkid" && present)
                r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
            if (c.program == "mount")
                table += c.args[0].toLocal8Bit() + ' ' + c.args[1].toLocal8Bit() + " vfat rw 0 0\n";
            if (c.program == "umount")
                unmount();
            env.writeFile(QStringLiteral("proc/mounts"), table);
            return r;
        });
    }
    void unmount()
    {
        const int i = table.indexOf("/dev/sdb1");
        if (i >= 0)
            table.remove(i, table.indexOf('\n', i) - i + 1);
    }
    QStringList exports() const { return QDir(paths().mountPoint).entryList(QDir::Dirs | QDir::NoDotAndDotDot); }
};

void makeDatabase(const QString& file, int rows)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)")));
        QVERIFY(db.transaction());
        q.prepare(QStringLiteral("INSERT INTO RECORD VALUES(?, ?, ?)"));
        for (int i = 0; i < rows; ++i) {
            q.addBindValue(QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("level"));
            q.addBindValue(QStringLiteral("operation %1 ").arg(i).repeated(4));
            QVERIFY(q.exec());
        }
        QVERIFY(db.commit());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

// "<rows>" of a database's RECORD table, or "" when it does not open.
QString databaseSummary(const QString& file, QString* check = nullptr)
{
    QString out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT count(*) FROM RECORD")) && q.next())
                out = QStringLiteral("rows %1").arg(q.value(0).toInt());
            if (check && q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next())
                *check = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return out;
}

// Every entry below root but skip: files by content (a database by its
// rows), folders as "<dir>".
QMap<QString, QString> tree(const QString& root, const QStringList& skip = {})
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(root).relativeFilePath(it.filePath());
        bool skipped = false;
        for (const QString& s : skip)
            skipped = skipped || rel == s || rel.startsWith(s + '/');
        if (skipped)
            continue;
        if (it.fileInfo().isDir()) {
            out[rel] = "<dir>";
            continue;
        }
        QFile f(it.filePath());
        f.open(QIODevice::ReadOnly);
        const QByteArray head = f.read(16);
        out[rel] = head.startsWith("SQLite format 3") ? databaseSummary(it.filePath())
                                                      : QString::fromLatin1((head + f.readAll()).toHex());
    }
    return out;
}

// On the worker: waits (at most 10 s) without an event loop.
template <class F>
void waitUntil(F done)
{
    for (int k = 0; k < 1000 && !done(); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

int shown(const TestEnv& env, int id)
{
    int n = 0;
    for (const ModalRequest& r : env.modalRequests)
        n += r.messageId == id;
    return n;
}

// A program directory: databases, records, raw pictures of cameras 1..3 with
// detections 1..4, a nested folder and a larger file.
void fillProgramDir(const QString& dir)
{
    QDir().mkpath(dir);
    makeDatabase(dir + "/RECORD.db", 200);
    makeDatabase(dir + "/PARAM.db", 10);
    QDir().mkpath(dir + "/RECORD");
    makeDatabase(dir + "/RECORD/2024-05-05.db", 50);
    for (int c = 1; c <= 3; ++c)
        for (int d = 1; d <= 4; ++d) {
            const QString raw = QStringLiteral("%1/originalimage/cammer%2%3").arg(dir).arg(c).arg(d);
            QDir().mkpath(raw);
            for (int k = 0; k < 2; ++k) {
                QFile f(QStringLiteral("%1/raw%2.bmp").arg(raw).arg(k));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(QByteArray(1000 + c * 100 + d * 10 + k, char('a' + c + d)));
            }
        }
    QDir().mkpath(dir + "/paraGroup/default/cammer11");
    QFile big(dir + "/program.bin");
    QVERIFY(big.open(QIODevice::WriteOnly));
    QByteArray block(1 << 20, 0);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(i * 7);
    for (int k = 0; k < 3; ++k)
        big.write(block);
}

struct Run {
    DataExport exporter;
    bool finished = false;
    DataExport::Result result = DataExport::Result::Done;
    Run()
    {
        exporter.onFinished = [this](DataExport::Result r) {
            result = r;
            finished = true;
        };
    }
    bool wait() { return QTest::qWaitFor([this] { return finished; }, 30000); }
};

} // namespace

class TestDataExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void copyThenEmptyTheRawFolders();
    void programDirectoryOfAnyName();
    void answeredNo_data();
    void answeredNo();
    void diskFailureDeletesNothing_data();
    void diskFailureDeletesNothing();
    void recordWrittenDuringTheCopy();
    void guiThreadKeepsRunning();
    void freeFolderName();
};

void TestDataExport::initTestCase()
{
    qputenv("TZ", "CST-8");
    tzset();
    FillMessageTable();
}

void TestDataExport::init()
{
    numCamera = 2;
    gDNum = 4;
}

void TestDataExport::copyThenEmptyTheRawFolders()
{
    TestEnv env;
    SharedBoxes boxes;
    FolderDisk disk(env);
    env.clock->set(QDateTime::fromString(kStamp, "yyyy-MM-dd_hh.mm.ss"));
    fillProgramDir(env.dir());
    const QMap<QString, QString> before = tree(env.dir(), {"mnt", "proc"});
    Run run;
    int holdersAtUnmount = -1;
    run.exporter.stepHook = [&](const QString& step) {
        if (step == "unmount")
            holdersAtUnmount = MountLease::shared().holders();
        // A raw picture that arrives after the listing is not on the disk.
        if (step == "verify")
            env.writeFile("originalimage/cammer11/late.bmp", "late");
    };
    env.modalAnswers = {1};
    QVERIFY(run.exporter.start());
    QVERIFY(run.wait());
    QCOMPARE(run.result, DataExport::Result::Done);
    QCOMPARE(shown(env, 147), 1);
    QCOMPARE(env.runner->lines(),
             (QStringList{"blkid", "mount /dev/sdb1 " + paths().mountPoint, "sync", "umount " + paths().mountPoint}));
    QCOMPARE(holdersAtUnmount, 0);
    QCOMPARE(MountLease::shared().holders(), 0);

    // The program directory under its own name, the mount point left out.
    QCOMPARE(disk.exports(), QStringList{kStamp});
    const QString copy = paths().mountPoint + "/" + kStamp + "/" + QFileInfo(env.dir()).fileName();
    QCOMPARE(run.exporter.lastTarget(), paths().mountPoint + "/" + kStamp);
    QVERIFY(!QFileInfo::exists(copy + "/mnt"));
    QCOMPARE(tree(copy, {"proc"}), before);

    // Cameras 1 and 2, detections 1..4: emptied, the folders kept; camera 3
    // untouched.
    for (int c = 1; c <= 3; ++c)
        for (int d = 1; d <= 4; ++d) {
            const QDir raw(env.path(QStringLiteral("originalimage/cammer%1%2").arg(c).arg(d)));
            QVERIFY(raw.exists());
            const QStringList left = raw.entryList(QDir::Files);
            if (c == 1 && d == 1)
                QCOMPARE(left, QStringList{"late.bmp"});
            else
                QCOMPARE(left.size(), c <= 2 ? 0 : 2);
        }
    const QMap<QString, QString> after = tree(env.dir(), {"mnt", "proc"});
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!it.key().contains(QRegularExpression("^originalimage/cammer[12][1-4]/")))
            QCOMPARE(after.value(it.key()), it.value());
}

void TestDataExport::programDirectoryOfAnyName()
{
    TestEnv env;
    SharedBoxes boxes;
    FolderDisk disk(env);
    env.clock->set(QDateTime::fromString(kStamp, "yyyy-MM-dd_hh.mm.ss"));
    // The program runs from "monitor-renamed"; the disk lies outside it.
    const QString program = env.path("monitor-renamed");
    fillProgramDir(program);
    QVERIFY(QDir::setCurrent(program));
    const QMap<QString, QString> before = tree(program);
    Run run;
    env.modalAnswers = {1};
    run.exporter.start();
    QVERIFY(run.wait());
    QCOMPARE(run.result, DataExport::Result::Done);
    QCOMPARE(tree(paths().mountPoint + "/" + kStamp + "/monitor-renamed"), before);
    QCOMPARE(QDir(program + "/originalimage/cammer24").entryList(QDir::Files).size(), 0);
    QCOMPARE(QDir(program + "/originalimage/cammer31").entryList(QDir::Files).size(), 2);
}

void TestDataExport::answeredNo_data()
{
    QTest::addColumn<bool>("diskPresent");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<DataExport::Result>("result");
    QTest::newRow("No at 324") << true << QList<int>{0} << QStringList{} << DataExport::Result::Cancelled;
    QTest::newRow("no disk, again, then No at 320")
        << false << QList<int>{1, 1, 0} << QStringList{"blkid", "blkid"} << DataExport::Result::NoDisk;
}

void TestDataExport::answeredNo()
{
    QFETCH(bool, diskPresent);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, commands);
    QFETCH(DataExport::Result, result);
    TestEnv env;
    SharedBoxes boxes;
    FolderDisk disk(env);
    disk.present = diskPresent;
    fillProgramDir(env.dir());
    const QMap<QString, QString> before = tree(env.dir());
    Run run;
    env.modalAnswers = std::vector<int>(answers.begin(), answers.end());
    run.exporter.start();
    QVERIFY(run.wait());
    QCOMPARE(run.result, result);
    QCOMPARE(env.runner->lines(), commands);
    QCOMPARE(shown(env, 147), 0);
    QCOMPARE(tree(env.dir()), before);
}

void TestDataExport::diskFailureDeletesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("message");
    QTest::newRow("read-only disk") << "readonly" << 320;
    QTest::newRow("too small disk") << "small" << 320;
    QTest::newRow("disk gone before the copy") << "gone" << 320;
    QTest::newRow("disk gone during the copy") << "vanish" << 320;
    QTest::newRow("a file that cannot be read") << "unreadable" << int(kMsgExportFailed);
}

void TestDataExport::diskFailureDeletesNothing()
{
    QFETCH(QString, fault);
    QFETCH(int, message);
    TestEnv env;
    SharedBoxes boxes;
    FolderDisk disk(env);
    env.clock->set(QDateTime::fromString(kStamp, "yyyy-MM-dd_hh.mm.ss"));
    fillProgramDir(env.dir());
    const QMap<QString, QString> before = tree(env.dir(), {"mnt", "proc"});
    Run run;
    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (fault == "readonly") {
        readOnly = std::make_unique<ReadOnlyFolder>(paths().mountPoint);
        if (!readOnly->ok())
            QSKIP("cannot make a folder read-only here");
    } else if (fault == "unreadable") {
        QVERIFY(QFile::setPermissions(env.path("RECORD/2024-05-05.db"), QFileDevice::Permissions()));
        readOnly = std::make_unique<ReadOnlyFolder>(env.path("paraGroup"));
        if (!readOnly->ok())
            QSKIP("cannot take file permissions back here");
    } else if (fault == "small") {
        run.exporter.freeSpace = [](const QString&) -> qint64 { return 3 << 20; };
    }
    run.exporter.stepHook = [&](const QString& step) {
        std::lock_guard<std::mutex> lock(disk.mutex);
        if (fault == "gone" && step == "space") {
            disk.unmount();
            env.writeFile("proc/mounts", disk.table);
        }
        if (fault == "vanish" && step == "copy") {
            disk.unmount();
            env.writeFile("proc/mounts", disk.table);
            QDir(paths().mountPoint).removeRecursively();
        }
    };
    env.modalAnswers = {1, 0};   // export: yes; insert a disk and try again: no
    run.exporter.start();
    QVERIFY(run.wait());
    QFile::setPermissions(env.path("RECORD/2024-05-05.db"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    readOnly.reset();
    QCOMPARE(run.result, message == 320 ? DataExport::Result::DiskFailure : DataExport::Result::Failure);
    QCOMPARE(shown(env, message), 1);
    QCOMPARE(shown(env, 147), 0);
    QCOMPARE(tree(env.dir(), {"mnt", "proc"}), before);
    QVERIFY(disk.exports().isEmpty());
    QCOMPARE(MountLease::shared().holders(), 0);
}

void TestDataExport::recordWrittenDuringTheCopy()
{
    TestEnv env;
    SharedBoxes boxes;
    FolderDisk disk(env);
    env.clock->set(QDateTime::fromString(kStamp, "yyyy-MM-dd_hh.mm.ss"));
    fillProgramDir(env.dir());
    makeDatabase(env.path("BUSY.db"), 40000);
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread writer([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
            db.setDatabaseName(env.path("BUSY.db"));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            if (!db.open())
                return;
            QSqlQuery q(db);
            for (int n = 0; !stop; ++n) {
                db.transaction();
                q.exec(QStringLiteral("INSERT INTO RECORD VALUES('w', 'level', 'written %1')").arg(n));
                q.exec(QStringLiteral("UPDATE RECORD SET remarks = remarks || 'x' WHERE rowid % 97 = %1").arg(n % 97));
                q.exec(QStringLiteral("DELETE FROM RECORD WHERE rowid = %1").arg(n * 13 + 1));
                if (db.commit())
                    ++written;
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    });
    // The copy starts once the writer is busy, and the check waits until
    // it wrote again, so the two overlap.
    std::atomic<int> atCopy{0};
    Run run;
    run.exporter.stepHook = [&](const QString& step) {
        if (step == "copy") {
            waitUntil([&] { return written > 3; });
            atCopy = written.load();
        }
        if (step == "verify")
            waitUntil([&] { return written > atCopy; });
    };
    env.modalAnswers = {1};
    run.exporter.start();
    const bool ended = run.wait();
    stop = true;
    writer.join();
    QVERIFY(ended);
    QCOMPARE(run.result, DataExport::Result::Done);
    QVERIFY(written > atCopy && atCopy > 3);
    QString check;
    const QString copy = paths().mountPoint + "/" + kStamp + "/" + QFileInfo(env.dir()).fileName() + "/BUSY.db";
    QVERIFY(!databaseSummary(copy, &check).isEmpty());
    QCOMPARE(check, QStringLiteral("ok"));
    QVERIFY(!QFileInfo::exists(copy + "-journal"));
}

void TestDataExport::guiThreadKeepsRunning()
{
    TestEnv env;
    SharedBoxes boxes;
    FolderDisk disk(env);
    fillProgramDir(env.dir());
    Run run;
    std::mutex m;
    QSet<QThread*> threads;
    std::promise<void> latch;
    std::shared_future<void> go = latch.get_future().share();
    std::atomic<bool> held{false};
    run.exporter.stepHook = [&](const QString& step) {
        {
            std::lock_guard<std::mutex> lock(m);
            threads.insert(QThread::currentThread());
        }
        if (step == "verify") {
            held = true;
            go.wait();
        }
    };
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    env.modalAnswers = {1};
    QVERIFY(run.exporter.start());
    QTRY_VERIFY_WITH_TIMEOUT(held.load(), 10000);
    const int ticksHeld = ticks;
    QTRY_VERIFY_WITH_TIMEOUT(ticks > ticksHeld + 5, 5000);
    // The box shows every file copied; a second press does nothing.
    QTRY_VERIFY_WITH_TIMEOUT(run.exporter.progressText().contains(QRegularExpression("^(\\d+) / \\1$")), 5000);
    QVERIFY(run.exporter.progressText() != QStringLiteral("0 / 0"));
    const size_t asked = env.modalRequests.size();
    QVERIFY(!run.exporter.start());
    QCOMPARE(env.modalRequests.size(), asked);
    latch.set_value();
    QVERIFY(run.wait());
    QCOMPARE(run.result, DataExport::Result::Done);
    QVERIFY(run.exporter.progressText().isEmpty());
    QVERIFY(!threads.contains(QThread::currentThread()));
}

void TestDataExport::freeFolderName()
{
    TestEnv env;
    QCOMPARE(DataExport::freeFolderName(env.dir(), kStamp), env.path(kStamp));
    QDir().mkpath(env.path(kStamp));
    QDir().mkpath(env.path(QString(kStamp) + "_2"));
    QCOMPARE(DataExport::freeFolderName(env.dir(), kStamp), env.path(QString(kStamp) + "_3"));
}

QTEST_MAIN(TestDataExport)
#include "tst_dataexport.moc"
