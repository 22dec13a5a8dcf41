// The demo's folder disk: found, mounted, held and unmounted through the
// same calls the exports use, and nothing else runs.
#include "demodisk.h"
#include "paths.h"
#include "testenv.h"
#include "usbmount.h"

#include <QtTest>

class TestDemoDisk : public QObject {
    Q_OBJECT
private slots:
    void foundMountedAndUnmounted();
    void otherCommandsStayDry();
};

void TestDemoDisk::foundMountedAndUnmounted()
{
    TestEnv env;
    qputenv("MOULDMON_DEMO_DISK", env.path(QStringLiteral("usbdisk")).toLocal8Bit());
    QVERIFY(InstallDemoDiskFromEnvironment());
    qunsetenv("MOULDMON_DEMO_DISK");
    const QString disk = QDir::cleanPath(env.path(QStringLiteral("usbdisk")));
    QCOMPARE(paths().mountPoint, disk);

    {
        MountHold hold;
        QCOMPARE(FindAU(&hold), disk);
        QFile table(paths().procMounts);
        QVERIFY(table.open(QIODevice::ReadOnly));
        QVERIFY(IsMountedOn(table.readAll(), QString::fromLatin1(DemoDiskCommandRunner::kDevice), disk));
        QVERIFY(QFileInfo(disk).isDir());
    }
    // Found again: the stale line is unmounted first, so one line stays.
    QCOMPARE(FindAU(), disk);
    QFile table(paths().procMounts);
    QVERIFY(table.open(QIODevice::ReadOnly));
    QCOMPARE(CountMountLines(table.readAll(), disk), 1);
    table.close();

    QVERIFY(UnmountAU(2000));
    QVERIFY(table.open(QIODevice::ReadOnly));
    const QByteArray after = table.readAll();
    QCOMPARE(CountMountLines(after, disk), 0);
    QVERIFY(after.contains(" / ext4 "));
}

void TestDemoDisk::otherCommandsStayDry()
{
    TestEnv env;
    DemoDiskCommandRunner runner(env.path(QStringLiteral("usbdisk")), env.path(QStringLiteral("usbdisk.mounts")));
    const QString marker = env.path(QStringLiteral("marker"));
    QFile(marker).open(QIODevice::WriteOnly);
    QVERIFY(runner.run(QStringLiteral("rm"), {marker}).ok());   // "finishes" without running
    QVERIFY(QFile::exists(marker));
    // A mount of anything but the pretend stick on the folder is not played.
    QVERIFY(runner.run(QStringLiteral("mount"), {QStringLiteral("/dev/sda1"), QStringLiteral("/mnt")}).ok());
    QVERIFY(!QFile::exists(env.path(QStringLiteral("usbdisk.mounts"))));
}

QTEST_GUILESS_MAIN(TestDemoDisk)
#include "tst_demodisk.moc"
