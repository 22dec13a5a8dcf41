// The seams that keep a developer or CI machine safe.
#include "clock.h"
#include "commandrunner.h"
#include "modalhook.h"
#include "paneldevice.h"
#include "terminator.h"

#include <QtTest>
#include <glog/logging.h>

namespace {
// Keeps the glog lines of one severity while it is registered.
class GlogLines : public google::LogSink {
public:
    explicit GlogLines(google::LogSeverity severity) : severity_(severity) { google::AddLogSink(this); }
    ~GlogLines() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity severity, const char*, const char*, int,
              const google::LogMessageTime&, const char* message, size_t length) override
    {
        if (severity == severity_)
            lines << QString::fromUtf8(message, int(length));
    }
    QStringList lines;
private:
    google::LogSeverity severity_;
};

// The message-log handler with "Use Log" off drops every Qt message.
void dropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}
}

class TestSeams : public QObject {
    Q_OBJECT
private slots:
    void defaultRunnerIsDryRunOffThePanel();
    void destructiveCommands_data();
    void destructiveCommands();
    void dryRunRefusalsReachGlog();
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

// With the message log switched off every Qt message is dropped, but a
// refused command must still leave a trace.
void TestSeams::dryRunRefusalsReachGlog()
{
    GlogLines warnings(google::GLOG_WARNING);
    const QtMessageHandler previous = qInstallMessageHandler(dropQtMessages);
    DryRunCommandRunner dry;
    QVERIFY(dry.run("reboot", {}, 1000).ok());
    QVERIFY(dry.run("ping", {"-c", "1", "192.168.1.10"}, 1000).ok());
    QVERIFY(dry.startDetached("python3", {"./cnt_net/runNetClient.py"}));
    qInstallMessageHandler(previous);

    QCOMPARE(warnings.lines.size(), 3);
    QVERIFY2(warnings.lines[0].contains("not executed: reboot")
                 && warnings.lines[0].contains("would change the machine"),
             qPrintable(warnings.lines[0]));
    QVERIFY2(warnings.lines[1].contains("not executed: ping -c 1 192.168.1.10")
                 && !warnings.lines[1].contains("would change"),
             qPrintable(warnings.lines[1]));
    QVERIFY2(warnings.lines[2].contains("not started: python3 ./cnt_net/runNetClient.py"),
             qPrintable(warnings.lines[2]));
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
