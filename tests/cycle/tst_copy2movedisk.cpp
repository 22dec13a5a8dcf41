// USB image copy: the blkid rule of the copy, the mount states driven by
// blkid answers and the mounts table (the disk is a folder of the test), the
// queue, the day cap, the writer never waiting for the disk, a picture that
// cannot be written, and the worker's end.
#include "copy2movedisk.h"
#include "paths.h"
#include "readonlyfolder.h"
#include "testenv.h"
#include "usbmount.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QImageReader>
#include <QSaveFile>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const QByteArray kSystem = "/dev/sda1: UUID=\"3e6b-11d1-a43f08d823a6\" TYPE=\"ext4\" PARTUUID=\"5c6d7e8f-01\"\n";
const QByteArray kStick = "/dev/sdb1: LABEL=\"STICK\" UUID=\"B1C2-D3E4\" TYPE=\"vfat\"\n";
const QString kTag = QStringLiteral("01");   // the PARTUUID's last part wins
const QString kNgFolder = QStringLiteral("alarmimage/camera1/detect2/NG");

// The USB disk as the test plays it: what blkid lists, whether it finishes,
// and a mounts table that "mount" and "umount" change as the kernel would.
// The script runs on the worker's thread, so its settings are behind a lock.
class FakeDisk {
public:
    explicit FakeDisk(TestEnv& env) : env_(env)
    {
        QDir().mkpath(paths().mountPoint);   // the panel's mount folder exists
        setMounts("/dev/sda1 / ext4 rw 0 0\n");
        env_.runner->setScript([this](const CommandCall& c) { return answer(c); });
    }

    void setListing(const QByteArray& listing)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listing_ = listing;
    }
    void setBlkidFinishes(bool finishes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        blkidFinishes_ = finishes;
    }
    // "mount" waits until release() (the test holds the command).
    void holdMount()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        holdMount_ = true;
    }
    bool waitUntilMountHeld(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return inMount_; });
    }
    void releaseMount()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        holdMount_ = false;
        changed_.notify_all();
    }

    // Replaced whole, as the worker may read it from its thread.
    bool setMounts(const QByteArray& table)
    {
        QDir().mkpath(QFileInfo(paths().procMounts).path());
        QSaveFile f(paths().procMounts);
        return f.open(QIODevice::WriteOnly) && f.write(table) == table.size() && f.commit();
    }
    QByteArray mounts() const
    {
        QByteArray t;
        ReadMountsTable(&t);
        return t;
    }
    bool mountByHand(const QString& device)
    {
        return setMounts(mounts() + device.toLocal8Bit() + ' ' + paths().mountPoint.toLocal8Bit() + " vfat rw 0 0\n");
    }
    bool unmountByHand()
    {
        QByteArray kept;
        const QByteArray point = ' ' + paths().mountPoint.toLocal8Bit() + ' ';
        for (const QByteArray& line : mounts().split('\n'))
            if (!line.isEmpty() && !line.contains(point))
                kept += line + '\n';
        return setMounts(kept);
    }

private:
    CommandResult answer(const CommandCall& c)
    {
        CommandResult r;
        std::unique_lock<std::mutex> lock(mutex_);
        if (c.program == QLatin1String("blkid")) {
            if (!blkidFinishes_) {
                r.exitCode = -1;   // killed after its wait; what it printed is cut off
                r.output = listing_.left(listing_.indexOf('\n') + 1);
            } else {
                r.output = listing_;
            }
        } else if (c.program == QLatin1String("mount") && c.args.size() == 2) {
            inMount_ = true;
            changed_.notify_all();
            changed_.wait_for(lock, std::chrono::seconds(10), [this] { return !holdMount_; });
            inMount_ = false;
            lock.unlock();
            mountByHand(c.args[0]);
        } else if (c.program == QLatin1String("umount")) {
            lock.unlock();
            // The last line on the mount point goes, as the kernel unmounts
            // the top mount first.
            QList<QByteArray> lines = mounts().split('\n');
            const QByteArray point = ' ' + paths().mountPoint.toLocal8Bit() + ' ';
            for (qsizetype k = lines.size() - 1; k >= 0; --k)
                if (lines[k].contains(point)) {
                    lines.removeAt(k);
                    break;
                }
            setMounts(lines.join('\n'));
        }
        return r;
    }

    TestEnv& env_;
    std::mutex mutex_;
    std::condition_variable changed_;
    QByteArray listing_ = kSystem;
    bool blkidFinishes_ = true;
    bool holdMount_ = false;
    bool inMount_ = false;
};

QImage picture(QColor colour, QSize size = QSize(64, 48))
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestCopy2MoveDisk : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void parseListing_data();
    void parseListing();
    void plugWritesUnderDayFolder();
    void unplugUnmountsAndDropsQueue();
    void unfinishedBlkidChangesNothing();
    void diskMountedByFindAUIsTakenOver();
    void exportUnmountStopsWritesUntilDiskLeaves();
    void unmountedBehindItsBackIsNotWritten();
    void mountChangeWaitsForHold();
    void queueBoundOrderAndReplace();
    void dayCap_data();
    void dayCap();
    void writerNeverWaitsForMount();
    void readOnlyDayFolderLeavesNothing();
    void stopEndsWorkerWithinPass();

private:
    QString ngFolder() const { return env_->path(kNgFolder); }
    QString dayFolder(const QString& day) const
    {
        return paths().mountPoint + "/monitor_" + kTag + "/" + day + "/camera1/detect2/NG";
    }
    // Plugs the stick in and lets one pass mount it.
    void plugAndMount()
    {
        disk_->setListing(kSystem + kStick);
        copy_->runPass();
        QCOMPARE(copy_->mountPath(), paths().mountPoint);
        env_->runner->clear();
    }

    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<FakeDisk> disk_;
    std::unique_ptr<Copy2MoveDisk> copy_;
};

void TestCopy2MoveDisk::initTestCase()
{
    qputenv("TZ", "CST-8");
}

void TestCopy2MoveDisk::init()
{
    env_ = std::make_unique<TestEnv>();
    disk_ = std::make_unique<FakeDisk>(*env_);
    copy_ = std::make_unique<Copy2MoveDisk>();
    ReleasedDisks::shared().keepOnly({});
}

void TestCopy2MoveDisk::cleanup()
{
    copy_.reset();   // stops a running worker before the seams go back
    disk_.reset();
    env_.reset();
    QCOMPARE(MountLease::shared().holders(), 0);
}

// ---------------------------------------------------------------- parser

void TestCopy2MoveDisk::parseListing_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QString>("systemDisk");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QStringList>("findAUCandidates");

    QTest::newRow("UUID then PARTUUID: the last wins")
        << kSystem + kStick << "/dev/sda" << "01" << QStringList{"/dev/sdb1"} << QStringList{"/dev/sdb1"};
    QTest::newRow("UUID alone")
        << QByteArray("/dev/sda1: UUID=\"3e6b-11d1-a43f08d823a6\" TYPE=\"ext4\"\n") + kStick << "/dev/sda"
        << "a43f08d823a6" << QStringList{"/dev/sdb1"} << QStringList{"/dev/sdb1"};
    QTest::newRow("nvme system disk")
        << QByteArray("/dev/nvme0n1p2: UUID=\"aa-bb\" TYPE=\"ext4\"\n/dev/nvme0n1p1: TYPE=\"vfat\"\n"
                      "/dev/sdb1: TYPE=\"exfat\"\n")
        << "/dev/nvme0n1p" << "bb" << QStringList{"/dev/sdb1"} << QStringList{"/dev/sdb1"};
    QTest::newRow("no ext4 line")
        << QByteArray("/dev/sdb1: UUID=\"x-y\" TYPE=\"vfat\"\n/dev/sda1: TYPE=\"xfs\"\n") << QString() << QString()
        << QStringList{} << QStringList{};
    QTest::newRow("FAT before the ext4 line: a candidate here only")
        << kStick + kSystem << "/dev/sda" << "01" << QStringList{"/dev/sdb1"} << QStringList{};
    QTest::newRow("two ext4 lines: the first decides")
        << QByteArray("/dev/sda1: UUID=\"s-first\" TYPE=\"ext4\"\n/dev/sdb1: UUID=\"s-second\" TYPE=\"ext4\"\n"
                      "/dev/sdb2: TYPE=\"vfat\"\n/dev/sda5: TYPE=\"ntfs\"\n")
        << "/dev/sda" << "first" << QStringList{"/dev/sdb2"} << QStringList{"/dev/sda5"};
    QTest::newRow("FAT on the system disk")
        << kSystem + "/dev/sda2: UUID=\"x\" TYPE=\"vfat\"\n" << "/dev/sda" << "01" << QStringList{}
        << QStringList{};
    QTest::newRow("tag keeps letters and digits only")
        << QByteArray("/dev/sda1: TYPE=\"ext4\" UUID=\"x-../../etc/a\\b;c$(d)\"\n") << "/dev/sda" << "etcabcd"
        << QStringList{} << QStringList{};
    QTest::newRow("no device path")
        << kSystem + ": TYPE=\"vfat\"\n-o remount: TYPE=\"vfat\"\n" << "/dev/sda" << "01" << QStringList{}
        << QStringList{};
}

void TestCopy2MoveDisk::parseListing()
{
    QFETCH(QByteArray, listing);
    QFETCH(QString, systemDisk);
    QFETCH(QString, tag);
    QFETCH(QStringList, candidates);
    QFETCH(QStringList, findAUCandidates);
    const BlkidListing r = ParseBlkid(listing, BlkidRule::ImageCopy);
    QCOMPARE(r.systemDisk, systemDisk);
    QCOMPARE(r.systemTag, tag);
    QCOMPARE(r.candidates, candidates);
    // One parser, two rules: FindAU's own reading of the same listing.
    QCOMPARE(ParseBlkid(listing, BlkidRule::FindAU).candidates, findAUCandidates);
}

// ---------------------------------------------------------------- states

void TestCopy2MoveDisk::plugWritesUnderDayFolder()
{
    // Only the system disk: nothing is mounted, nothing queued.
    copy_->runPass();
    QCOMPARE(copy_->mountPath(), QString());
    copy_->add_map_actqueue(ngFolder(), "1_a", picture(Qt::red));
    QCOMPARE(copy_->queuedPictures(), 0);
    QCOMPARE(env_->runner->lines(), QStringList{"blkid"});
    env_->runner->clear();

    disk_->setListing(kSystem + kStick);
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList({"blkid", "mount /dev/sdb1 " + paths().mountPoint}));
    QCOMPARE(copy_->mountPath(), paths().mountPoint);
    QCOMPARE(copy_->diskTag(), kTag);

    env_->clock->set(QDateTime(QDate(2026, 3, 9), QTime(23, 59)));
    copy_->add_map_actqueue(ngFolder(), "7_2026-03-09_23.59.00.000", picture(Qt::red, QSize(1280, 1024)));
    env_->clock->set(QDateTime(QDate(2026, 3, 10), QTime(0, 1)));   // written after midnight
    env_->runner->clear();
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList{"blkid"});   // mounted once, not again
    QCOMPARE(filesBelow(paths().mountPoint),
             QStringList{"monitor_01/20260309/camera1/detect2/NG/7_2026-03-09_23.59.00.000.jpg"});
    const QString written = dayFolder("20260309") + "/7_2026-03-09_23.59.00.000.jpg";
    QFile jpeg(written);
    QVERIFY(jpeg.open(QIODevice::ReadOnly));
    QCOMPARE(jpeg.read(3), QByteArray("\xFF\xD8\xFF"));
    QCOMPARE(QImageReader(written).size(), QSize(1280, 1024));
    QCOMPARE(copy_->queuedPictures(), 0);
}

void TestCopy2MoveDisk::unplugUnmountsAndDropsQueue()
{
    plugAndMount();
    for (int k = 0; k < 3; ++k)
        copy_->add_map_actqueue(ngFolder(), QString::number(k), picture(Qt::red));
    QCOMPARE(copy_->queuedPictures(), 3);

    disk_->setListing(kSystem);
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList({"blkid", "sync", "umount " + paths().mountPoint}));
    QCOMPARE(copy_->mountPath(), QString());
    QCOMPARE(copy_->queuedPictures(), 0);
    QCOMPARE(CountMountLines(disk_->mounts(), paths().mountPoint), 0);
    QCOMPARE(filesBelow(paths().mountPoint), QStringList());
    // An unplug is not a release for removal: the stick mounts again when it is back.
    disk_->setListing(kSystem + kStick);
    copy_->runPass();
    QCOMPARE(copy_->mountPath(), paths().mountPoint);

    // An empty listing counts as no disk as well.
    env_->runner->clear();
    disk_->setListing(QByteArray());
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList({"blkid", "sync", "umount " + paths().mountPoint}));
    QCOMPARE(copy_->mountPath(), QString());
}

void TestCopy2MoveDisk::unfinishedBlkidChangesNothing()
{
    // Not mounted: a listing cut off before the stick's line mounts nothing.
    disk_->setListing(kSystem + kStick);
    disk_->setBlkidFinishes(false);
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList{"blkid"});
    QCOMPARE(copy_->mountPath(), QString());

    // Mounted: a listing cut off before the stick's line unmounts nothing,
    // and the waiting picture is still written.
    disk_->setBlkidFinishes(true);
    plugAndMount();
    copy_->add_map_actqueue(ngFolder(), "1", picture(Qt::red));
    disk_->setBlkidFinishes(false);
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList{"blkid"});
    QCOMPARE(copy_->mountPath(), paths().mountPoint);
    QVERIFY(IsMountedOn(disk_->mounts(), "/dev/sdb1", paths().mountPoint));
    QCOMPARE(filesBelow(paths().mountPoint).size(), 1);
}

void TestCopy2MoveDisk::diskMountedByFindAUIsTakenOver()
{
    disk_->setListing(kSystem + kStick);
    QVERIFY(disk_->mountByHand("/dev/sdb1"));   // an export's FindAU mounted it
    MountHold exportHold = MountHold::take();
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList{"blkid"});   // no umount, no remount
    QCOMPARE(copy_->mountPath(), paths().mountPoint);
    exportHold.release();

    // Pictures go to the same disk beside the export.
    copy_->add_map_actqueue(ngFolder(), "1", picture(Qt::red));
    copy_->runPass();
    QCOMPARE(filesBelow(paths().mountPoint).size(), 1);
}

void TestCopy2MoveDisk::exportUnmountStopsWritesUntilDiskLeaves()
{
    plugAndMount();
    // The export unmounts the stick for the user to pull it.
    QVERIFY(UnmountAU());
    QCOMPARE(CountMountLines(disk_->mounts(), paths().mountPoint), 0);

    // The copy has not noticed yet and still queues; nothing may reach the
    // bare mount folder, which lies on the system disk.
    copy_->add_map_actqueue(ngFolder(), "1", picture(Qt::red));
    env_->runner->clear();
    for (int pass = 0; pass < 3; ++pass)
        copy_->runPass();
    QCOMPARE(copy_->mountPath(), QString());
    QCOMPARE(copy_->queuedPictures(), 0);
    QCOMPARE(filesBelow(paths().mountPoint), QStringList());
    // Still plugged in: not mounted again.
    QCOMPARE(env_->runner->lines(), QStringList({"blkid", "blkid", "blkid"}));

    // Pulled, then plugged in again: a new disk, mounted.
    disk_->setListing(kSystem);
    copy_->runPass();
    disk_->setListing(kSystem + kStick);
    env_->runner->clear();
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList({"blkid", "mount /dev/sdb1 " + paths().mountPoint}));
    QCOMPARE(copy_->mountPath(), paths().mountPoint);
}

void TestCopy2MoveDisk::unmountedBehindItsBackIsNotWritten()
{
    plugAndMount();
    QVERIFY(disk_->unmountByHand());
    copy_->add_map_actqueue(ngFolder(), "1", picture(Qt::red));
    copy_->add_map_actqueue(ngFolder(), "2", picture(Qt::red));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no longer mounted"));
    copy_->runPass();
    QCOMPARE(copy_->mountPath(), QString());
    QCOMPARE(copy_->queuedPictures(), 0);
    QCOMPARE(filesBelow(paths().mountPoint), QStringList());
    // Not released for removal: the next pass mounts it again.
    env_->runner->clear();
    copy_->runPass();
    QCOMPARE(env_->runner->lines(), QStringList({"blkid", "mount /dev/sdb1 " + paths().mountPoint}));
}

void TestCopy2MoveDisk::mountChangeWaitsForHold()
{
    // Someone writes below the mount point over a stale mount; the copy may
    // neither unmount it nor mount over it until the hold ends.
    QVERIFY(disk_->mountByHand("/dev/sdc1"));
    disk_->setListing(kSystem + kStick);
    MountHold hold = MountHold::take();
    copy_->start();
    QTRY_VERIFY(env_->runner->lines().contains("blkid"));
    QTest::qWait(300);
    QVERIFY(copy_->mountPath().isEmpty());
    QVERIFY(!env_->runner->lines().contains("umount " + paths().mountPoint));
    hold.release();
    QTRY_COMPARE_WITH_TIMEOUT(copy_->mountPath(), paths().mountPoint, 10000);
    copy_->stop();
    QStringList changes = env_->runner->lines();
    changes.removeAll("blkid");
    QCOMPARE(changes, QStringList({"sync", "umount " + paths().mountPoint, "mount /dev/sdb1 " + paths().mountPoint}));
    QVERIFY(IsMountedOn(disk_->mounts(), "/dev/sdb1", paths().mountPoint));
}

// ---------------------------------------------------------------- queue

void TestCopy2MoveDisk::queueBoundOrderAndReplace()
{
    plugAndMount();
    // An equal key replaces the waiting picture.
    copy_->add_map_actqueue(ngFolder(), "b", picture(Qt::red));
    copy_->add_map_actqueue(ngFolder(), "b", picture(Qt::blue));
    copy_->add_map_actqueue(ngFolder(), "a", picture(Qt::green));
    QCOMPARE(copy_->queuedPictures(), 2);
    // The first key is written first.
    copy_->runPass();
    QCOMPARE(QDir(dayFolder("20260101")).entryList(QDir::Files), QStringList{"a.jpg"});
    copy_->runPass();
    const QImage b(dayFolder("20260101") + "/b.jpg");
    QVERIFY(qBlue(b.pixel(5, 5)) > 200 && qRed(b.pixel(5, 5)) < 50);

    // Eleven wait; the twelfth is dropped.
    for (int k = 10; k < 22; ++k)
        copy_->add_map_actqueue(ngFolder(), QString::number(k), picture(Qt::red));
    QCOMPARE(copy_->queuedPictures(), Copy2MoveDisk::kQueueLimit);
    for (int pass = 0; pass < 12; ++pass)
        copy_->runPass();
    const QStringList written = QDir(dayFolder("20260101")).entryList(QDir::Files);
    QCOMPARE(written.size(), 2 + 11);
    QVERIFY(written.contains("20.jpg"));
    QVERIFY(!written.contains("21.jpg"));
}

void TestCopy2MoveDisk::dayCap_data()
{
    QTest::addColumn<int>("existing");        // day folders from 2025-01-01 on
    QTest::addColumn<int>("today");           // days after 2025-01-01
    QTest::addColumn<int>("firstKept");       // days after 2025-01-01 of the oldest kept other than today

    QTest::newRow("366th day removes the oldest") << 365 << 365 << 1;
    QTest::newRow("400 days shrink to 365") << 400 << 400 << 36;
    QTest::newRow("clock set back: today stays") << 365 << -30 << 1;
    QTest::newRow("a new folder on an existing day") << 400 << 399 << 35;
    QTest::newRow("below the cap nothing goes") << 10 << 10 << 0;
}

void TestCopy2MoveDisk::dayCap()
{
    QFETCH(int, existing);
    QFETCH(int, today);
    QFETCH(int, firstKept);
    plugAndMount();
    const QDate first(2025, 1, 1);
    const QString root = paths().mountPoint + "/monitor_" + kTag;
    QVERIFY(QDir().mkpath(root));
    QDir rootDir(root);
    for (int d = 0; d < existing; ++d)
        QVERIFY(rootDir.mkdir(first.addDays(d).toString("yyyyMMdd")));
    // The oldest day holds pictures: it goes whole.
    env_->writeFile(QDir(env_->dir()).relativeFilePath(root + "/20250101/camera2/detect1/OK/1.jpg"), "jpg");
    // The user's own folder, a file and a folder that is no real date stay.
    QVERIFY(QDir().mkpath(root + "/AAA"));
    QVERIFY(QDir().mkpath(root + "/20251340"));
    env_->writeFile(QDir(env_->dir()).relativeFilePath(root + "/notes.txt"), "keep");

    const QString day = first.addDays(today).toString("yyyyMMdd");
    env_->clock->set(QDateTime(first.addDays(today), QTime(12, 0)));
    copy_->add_map_actqueue(ngFolder(), "1", picture(Qt::red));
    copy_->runPass();

    QStringList days = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(days.removeOne("AAA"));
    QVERIFY(days.removeOne("20251340"));
    QVERIFY(QFile::exists(root + "/notes.txt"));
    QCOMPARE(days.size(), qMin(existing + (today >= existing || today < 0 ? 1 : 0), Copy2MoveDisk::kDayLimit));
    QVERIFY(QFile::exists(root + "/" + day + "/camera1/detect2/NG/1.jpg"));
    days.removeOne(day);
    QCOMPARE(days.first(), first.addDays(firstKept).toString("yyyyMMdd"));
}

// ---------------------------------------------------------------- threads

void TestCopy2MoveDisk::writerNeverWaitsForMount()
{
    disk_->setListing(kSystem + kStick);
    disk_->holdMount();
    copy_->start();
    QVERIFY(disk_->waitUntilMountHeld(5000));

    // The worker is inside the mount change; the writer thread's calls and
    // the strip's accessor still return at once.
    QElapsedTimer t;
    t.start();
    std::thread writer([this] {
        for (int k = 0; k < 20; ++k)
            copy_->add_map_actqueue(ngFolder(), QString::number(k), picture(Qt::red));
    });
    writer.join();
    QCOMPARE(copy_->mountPath(), QString());
    QCOMPARE(copy_->queuedPictures(), 0);   // no disk yet: nothing is kept
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));

    disk_->releaseMount();
    QTRY_COMPARE(copy_->mountPath(), paths().mountPoint);
    copy_->add_map_actqueue(ngFolder(), "late", picture(Qt::red));
    QTRY_COMPARE(filesBelow(paths().mountPoint).size(), 1);
    copy_->stop();
}

void TestCopy2MoveDisk::readOnlyDayFolderLeavesNothing()
{
    plugAndMount();
    const QString folder = dayFolder("20260101");
    QVERIFY(QDir().mkpath(folder));
    copy_->add_map_actqueue(ngFolder(), "1", picture(Qt::red));
    {
        ReadOnlyFolder readOnly(folder);
        if (!readOnly.ok())
            QSKIP("cannot make a folder read-only here");
        // Runs on this thread: a dropped capability holds for this thread only.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("USB copy: cannot write .*1\\.jpg"));
        copy_->runPass();
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    QCOMPARE(copy_->queuedPictures(), 0);
    QCOMPARE(copy_->mountPath(), paths().mountPoint);   // the disk stays in use
}

void TestCopy2MoveDisk::stopEndsWorkerWithinPass()
{
    disk_->setListing(kSystem + kStick);
    copy_->start();
    QVERIFY(copy_->started());
    QTRY_COMPARE(copy_->mountPath(), paths().mountPoint);
    QElapsedTimer t;
    t.start();
    copy_->stop();
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!copy_->started());
    const int calls = int(env_->runner->calls().size());
    QTest::qWait(3 * Copy2MoveDisk::kPassIntervalMs);
    QCOMPARE(int(env_->runner->calls().size()), calls);
    // It can be started again (the program starts it once; tests reuse it).
    copy_->start();
    QTRY_VERIFY(int(env_->runner->calls().size()) > calls);
    copy_->stop();
}

QTEST_MAIN(TestCopy2MoveDisk)
#include "tst_copy2movedisk.moc"
