// USB disk mount: the blkid rule, the command sequence and the shared lease.
#include "paths.h"
#include "testenv.h"
#include "usbmount.h"

#include <QtTest>
#include <thread>

class TestUsbMount : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void parseBlkid_data();
    void parseBlkid();
    void mountLinesAndCheck();
    void findAU_data();
    void findAU();
    void findAUWithoutMountsTable();
    void holdKeepsDiskUntilReleased();
    void changeWaitsForHolder();
    void unmount_data();
    void unmount();
    void unmountWaitsForHolder();

private:
    std::unique_ptr<TestEnv> env_;
    Paths savedPaths_;
};

void TestUsbMount::init()
{
    env_ = std::make_unique<TestEnv>();
    savedPaths_ = paths();
    paths().procMounts = env_->path("mounts");
    // Only named in the recorded commands and the fake mounts file, never touched.
    paths().mountPoint = "/mnt";
}

void TestUsbMount::cleanup()
{
    paths() = savedPaths_;
    env_.reset();
}

void TestUsbMount::parseBlkid_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QString>("systemDisk");
    QTest::addColumn<QStringList>("candidates");

    const QByteArray sda1 = "/dev/sda1: UUID=\"a\" TYPE=\"ext4\" PARTUUID=\"1\"\n";
    QTest::newRow("system then usb")
        << sda1 + "/dev/sdb1: LABEL=\"USB\" UUID=\"B1\" TYPE=\"vfat\"\n"
        << "/dev/sda" << QStringList{"/dev/sdb1"};
    QTest::newRow("usb before any ext4")
        << "/dev/sdb1: UUID=\"B1\" TYPE=\"vfat\"\n" + sda1 << "/dev/sda" << QStringList{};
    QTest::newRow("fat on the system disk")
        << sda1 + "/dev/sda2: SEC_TYPE=\"msdos\" UUID=\"x\" TYPE=\"vfat\"\n"
        << "/dev/sda" << QStringList{};
    QTest::newRow("two disks keep blkid order")
        << sda1 + "/dev/sdc1: TYPE=\"ntfs\"\n/dev/sdb1: TYPE=\"exfat\"\n"
        << "/dev/sda" << QStringList{"/dev/sdc1", "/dev/sdb1"};
    QTest::newRow("mmc system disk")
        << QByteArray("/dev/mmcblk0p2: TYPE=\"ext4\"\n/dev/mmcblk0p1: TYPE=\"vfat\"\n"
                      "/dev/sda1: TYPE=\"vfat\"\n")
        << "/dev/mmcblk0p" << QStringList{"/dev/sda1"};
    QTest::newRow("nvme system disk")
        << QByteArray("/dev/nvme0n1p2: TYPE=\"ext4\"\n/dev/nvme0n1p1: TYPE=\"vfat\"\n\n"
                      "/dev/sdb1: TYPE=\"exfat\"\n")
        << "/dev/nvme0n1p" << QStringList{"/dev/sdb1"};
    QTest::newRow("no ext4 line")
        << QByteArray("/dev/sdb1: TYPE=\"vfat\"\n/dev/sda1: TYPE=\"xfs\"\n")
        << QString() << QStringList{};
    QTest::newRow("later ext4 replaces earlier")
        << QByteArray("/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"ext4\"\n"
                      "/dev/sda5: TYPE=\"vfat\"\n/dev/sdb2: TYPE=\"vfat\"\n")
        << "/dev/sdb" << QStringList{"/dev/sda5"};
    QTest::newRow("other file systems ignored")
        << sda1 + "/dev/sdb1: TYPE=\"swap\"\n/dev/sdb2: TYPE=\"ext3\"\n"
        << "/dev/sda" << QStringList{};
    QTest::newRow("no device path")
        << sda1 + ": TYPE=\"vfat\"\n-o remount: TYPE=\"vfat\"\n" << "/dev/sda" << QStringList{};
}

void TestUsbMount::parseBlkid()
{
    QFETCH(QByteArray, listing);
    QFETCH(QString, systemDisk);
    QFETCH(QStringList, candidates);
    const BlkidListing r = ParseBlkid(listing);
    QCOMPARE(r.systemDisk, systemDisk);
    QCOMPARE(r.candidates, candidates);
}

void TestUsbMount::mountLinesAndCheck()
{
    const QByteArray mounts = "/dev/sda1 / ext4 rw 0 0\n"
                              "/dev/sdb1 /mnt vfat rw 0 0\n"
                              "/dev/sdc1 /mnt vfat rw 0 0\n"
                              "/dev/sdd1 /mnt2 vfat rw 0 0\n";
    QCOMPARE(CountMountLines(mounts, "/mnt"), 3);
    QVERIFY(IsMountedOn(mounts, "/dev/sdb1", "/mnt"));
    QVERIFY(!IsMountedOn(mounts, "/dev/sdd1", "/mnt"));
    QVERIFY(!IsMountedOn(mounts, "/dev/sdb", "/mnt"));
    QVERIFY(!IsMountedOn(QByteArray(), "/dev/sdb1", "/mnt"));
}

void TestUsbMount::findAU_data()
{
    QTest::addColumn<QByteArray>("blkid");
    QTest::addColumn<QByteArray>("mountsBefore");
    QTest::addColumn<bool>("mountWorks");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("result");

    const QByteArray listing = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n"
                               "/dev/sdc1: TYPE=\"vfat\"\n";
    const QByteArray root = "/dev/sda1 / ext4 rw 0 0\n";
    QTest::newRow("mounts the first candidate")
        << listing << root << true << QStringList{"blkid", "mount /dev/sdb1 /mnt"} << "/mnt";
    QTest::newRow("unmounts twice over")
        << listing << root + "/dev/sdc1 /mnt vfat rw 0 0\n/dev/sdc1 /mnt vfat rw 0 0\n" << true
        << QStringList{"blkid", "umount /mnt", "umount /mnt", "mount /dev/sdb1 /mnt"} << "/mnt";
    QTest::newRow("mount fails")
        << listing << root + "/dev/sdc1 /mnt vfat rw 0 0\n" << false
        << QStringList{"blkid", "umount /mnt", "mount /dev/sdb1 /mnt"} << QString();
    QTest::newRow("no blkid output") << QByteArray() << root << true << QStringList{"blkid"}
                                     << QString();
    QTest::newRow("only the system disk")
        << QByteArray("/dev/sda1: TYPE=\"ext4\"\n/dev/sda2: TYPE=\"vfat\"\n") << root << true
        << QStringList{"blkid"} << QString();
}

void TestUsbMount::findAU()
{
    QFETCH(QByteArray, blkid);
    QFETCH(QByteArray, mountsBefore);
    QFETCH(bool, mountWorks);
    QFETCH(QStringList, commands);
    QFETCH(QString, result);

    env_->writeFile("mounts", mountsBefore);
    QByteArray table = mountsBefore;
    env_->runner->setScript([&](const CommandCall& c) {
        CommandResult r;
        if (c.program == "blkid")
            r.output = blkid;
        if (c.program == "umount") {   // drops the last line on the mount point
            QList<QByteArray> lines = table.split('\n');
            for (int k = lines.size() - 1; k >= 0; --k)
                if (lines[k].contains(" /mnt ")) {
                    lines.removeAt(k);
                    break;
                }
            table = lines.join('\n');
        }
        if (c.program == "mount" && mountWorks)
            table += c.args[0].toLocal8Bit() + " /mnt vfat rw 0 0\n";
        env_->writeFile("mounts", table);
        return r;
    });

    QCOMPARE(FindAU(), result);
    QCOMPARE(env_->runner->lines(), commands);
    QCOMPARE(MountLease::shared().holders(), 0);
}

void TestUsbMount::findAUWithoutMountsTable()
{
    CommandResult blk;
    blk.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
    env_->runner->answer("blkid", blk);
    QCOMPARE(FindAU(), QString());
    QCOMPARE(env_->runner->lines(), QStringList{"blkid"});
}

void TestUsbMount::holdKeepsDiskUntilReleased()
{
    CommandResult blk;
    blk.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
    env_->runner->answer("blkid", blk);
    env_->writeFile("mounts", "/dev/sdb1 /mnt vfat rw 0 0\n");

    MountLease& lease = MountLease::shared();
    {
        MountHold hold;
        QCOMPARE(FindAU(&hold), QString("/mnt"));
        QVERIFY(hold.held());
        QCOMPARE(lease.holders(), 1);
        // While the disk is held nobody may unmount it.
        QVERIFY(!lease.beginChange(0));
        // A second FindAU with the same hold gives up the old hold first.
        QCOMPARE(FindAU(&hold), QString("/mnt"));
        QCOMPARE(lease.holders(), 1);
    }
    QCOMPARE(lease.holders(), 0);
    QVERIFY(lease.beginChange(0));
    lease.endChange();
}

void TestUsbMount::changeWaitsForHolder()
{
    CommandResult blk;
    blk.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
    env_->runner->answer("blkid", blk);
    env_->writeFile("mounts", "/dev/sdb1 /mnt vfat rw 0 0\n");

    // The copy task holds the disk for a moment; FindAU waits for it and
    // unmounts only afterwards.
    MountLease& lease = MountLease::shared();
    lease.acquire();
    std::atomic<bool> released{false};
    std::thread copier([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        released = true;
        lease.release();
    });
    QCOMPARE(FindAU(), QString("/mnt"));
    QVERIFY(released);
    copier.join();
    QCOMPARE(env_->runner->lines(),
             QStringList({"blkid", "umount /mnt", "mount /dev/sdb1 /mnt"}));
}

void TestUsbMount::unmount_data()
{
    QTest::addColumn<QByteArray>("mountsBefore");
    QTest::addColumn<bool>("umountWorks");
    QTest::addColumn<int>("syncExit");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("result");
    const QByteArray root = "/dev/sda1 / ext4 rw 0 0\n";
    const QByteArray disk = "/dev/sdb1 /mnt vfat rw 0 0\n";
    QTest::newRow("mounted once") << root + disk << true << 0 << QStringList{"sync", "umount /mnt"} << true;
    QTest::newRow("mounted twice")
        << root + disk + disk << true << 0 << QStringList{"sync", "umount /mnt", "umount /mnt"} << true;
    QTest::newRow("not mounted") << root << true << 0 << QStringList{"sync"} << true;
    QTest::newRow("umount refused") << root + disk << false << 0 << QStringList{"sync", "umount /mnt"} << false;
    QTest::newRow("sync failed") << root + disk << true << 1 << QStringList{"sync", "umount /mnt"} << false;
}

void TestUsbMount::unmount()
{
    QFETCH(QByteArray, mountsBefore);
    QFETCH(bool, umountWorks);
    QFETCH(int, syncExit);
    QFETCH(QStringList, commands);
    QFETCH(bool, result);
    env_->writeFile("mounts", mountsBefore);
    QByteArray table = mountsBefore;
    env_->runner->setScript([&](const CommandCall& c) {
        CommandResult r;
        if (c.program == "sync")
            r.exitCode = syncExit;
        if (c.program == "umount" && umountWorks) {
            const int at = table.lastIndexOf("/dev/sdb1 /mnt");
            if (at >= 0)
                table.remove(at, table.indexOf('\n', at) - at + 1);
            env_->writeFile("mounts", table);
        }
        return r;
    });
    QCOMPARE(UnmountAU(), result);
    QCOMPARE(env_->runner->lines(), commands);
    QCOMPARE(MountLease::shared().holders(), 0);
}

void TestUsbMount::unmountWaitsForHolder()
{
    env_->writeFile("mounts", "/dev/sdb1 /mnt vfat rw 0 0\n");
    MountLease::shared().acquire();
    QVERIFY(!UnmountAU(50));
    QVERIFY(env_->runner->lines().isEmpty());
    MountLease::shared().release();
    env_->writeFile("mounts", "/dev/sda1 / ext4 rw 0 0\n");   // the holder's unmount went through
    std::atomic<bool> done{false};
    MountLease::shared().acquire();
    std::thread t([&] { done = UnmountAU(5000); });
    QThread::msleep(50);
    QVERIFY(env_->runner->lines().isEmpty());
    MountLease::shared().release();
    t.join();
    QVERIFY(done);
    QCOMPARE(env_->runner->lines().value(0), QStringLiteral("sync"));
}

QTEST_GUILESS_MAIN(TestUsbMount)
#include "tst_usbmount.moc"
