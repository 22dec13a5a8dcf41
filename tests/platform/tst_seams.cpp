// The seams that keep a developer or CI machine safe.
#include "clock.h"
#include "commandrunner.h"
#include "modalhook.h"
#include "paneldevice.h"
#include "terminator.h"

#include <QtTest>

class TestSeams : public QObject {
    Q_OBJECT
private slots:
    void defaultRunnerIsDryRunOffThePanel();
    void destructiveCommands_data();
    void destructiveCommands();
    void recordingRunnerAnswersFromScript();
    void panelDeviceClosedWithoutNode();
    void fakeClockAdvancesOnSleep();
    void modalHookAnswers();
    void terminatorCanBeReplaced();
};

void TestSeams::defaultRunnerIsDryRunOffThePanel()
{
    qputenv("MOULDMON_PANEL", "1");
    // Even with the switch set, a build not configured for the panel never
    // runs commands for real.
#ifndef MM_PANEL_BUILD
    QVERIFY(!panelModeEnabled());
    QVERIFY(!commandRunner().isReal());
    const CommandResult r = commandRunner().run("reboot", {}, 1000);
    QVERIFY(r.ok());
#endif
    qunsetenv("MOULDMON_PANEL");
}

void TestSeams::destructiveCommands_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("destructive");
    QTest::newRow("reboot") << "reboot" << true;
    QTest::newRow("init") << "init" << true;
    QTest::newRow("mount") << "mount" << true;
    QTest::newRow("umount") << "umount" << true;
    QTest::newRow("date") << "date" << true;
    QTest::newRow("hwclock") << "hwclock" << true;
    QTest::newRow("cp") << "cp" << true;
    QTest::newRow("rm path") << "/bin/rm" << true;
    QTest::newRow("own tool") << "./tsc" << true;
    QTest::newRow("ip") << "ip" << true;
    QTest::newRow("blkid") << "blkid" << false;
    QTest::newRow("ping") << "ping" << false;
}

void TestSeams::destructiveCommands()
{
    QFETCH(QString, program);
    QFETCH(bool, destructive);
    QCOMPARE(CommandRunner::isDestructive(program, {}), destructive);
}

void TestSeams::recordingRunnerAnswersFromScript()
{
    RecordingCommandRunner r;
    CommandResult blk;
    blk.output = "/dev/sda1: TYPE=\"vfat\"\n";
    r.answer("blkid", blk);
    QCOMPARE(r.run("blkid", {}).output, blk.output);
    QVERIFY(r.run("mount", {"/dev/sda1", "/mnt"}).output.isEmpty());
    QCOMPARE(r.lines(), QStringList({"blkid", "mount /dev/sda1 /mnt"}));
    QVERIFY(r.startDetached("python3", {"./cnt_net/runNetClient.py"}));
    QVERIFY(r.calls().back().detached);
}

void TestSeams::panelDeviceClosedWithoutNode()
{
    LinuxPanelDevice dev("/nonexistent/led");
    QVERIFY(!dev.isOpen());
    QVERIFY(!dev.control(PanelDevice::RequestBacklightOn, 1));
}

void TestSeams::fakeClockAdvancesOnSleep()
{
    FakeClock c(QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
    c.sleepMs(1500);
    QCOMPARE(c.now(), QDateTime(QDate(2026, 3, 1), QTime(10, 0, 1, 500)));
    QCOMPARE(c.sleptMs(), 1500);
}

void TestSeams::modalHookAnswers()
{
    QVERIFY(!modal::hooked());
    modal::setHook([](const ModalRequest& r) { return r.messageId == 7 ? 1 : 0; });
    QVERIFY(modal::hooked());
    QCOMPARE(modal::answer({"ChooseBox", 7, "?"}), 1);
    QCOMPARE(modal::answer({"ChooseBox", 8, "?"}), 0);
    modal::setHook({});
    QVERIFY(!modal::hooked());
}

void TestSeams::terminatorCanBeReplaced()
{
    int got = -1;
    terminator::setHandler([&](int s) { got = s; });
    terminator::exitProcess(3);
    QCOMPARE(got, 3);
    terminator::setHandler({});
}

QTEST_GUILESS_MAIN(TestSeams)
#include "tst_seams.moc"
