// The relay as an owned child: which command, one relay at a time, spaced
// starts, the previous one ended (and killed when it does not obey), every
// child reaped, nothing left behind.
#include "childprobe.h"
#include "relayprocess.h"
#include "testenv.h"
#include "virtualscheduler.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <glog/logging.h>
#include <unistd.h>

namespace {

class GlogLines : public google::LogSink {
public:
    GlogLines() { google::AddLogSink(this); }
    ~GlogLines() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&,
              const char* message, size_t length) override
    {
        QMutexLocker lock(&mutex_);
        lines_ << QString::fromUtf8(message, int(length));
    }
    bool has(const QString& text) const
    {
        QMutexLocker lock(&mutex_);
        return lines_.contains(text);
    }
private:
    mutable QMutex mutex_;
    QStringList lines_;
};

// A relay on the recording runner in virtual time.
struct Rig {
    explicit Rig(RelayCommand command = {QStringLiteral("relay"), {}, {}, {}})
        : scheduler(env.clock)
    {
        if (command.directory.isEmpty() && !command.isNone())
            command.directory = env.dir();
        relay = std::make_unique<RelayProcess>(scheduler, command);
    }
    RunningCommand* child(int i) const { return env.runner->started().at(i); }
    QList<int> signalsTo(int i) const { return env.runner->signalsSent(i); }
    // Started children that run and were not told to end.
    int live() const
    {
        int n = 0;
        const auto started = env.runner->started();
        for (int i = 0; i < started.size(); ++i)
            if (started[i] && started[i]->running() && signalsTo(i).isEmpty())
                ++n;
        return n;
    }
    static void reapDeleted() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    TestEnv env;
    VirtualScheduler scheduler;
    std::unique_ptr<RelayProcess> relay;
};

}  // namespace

class TestRelayProcess : public QObject {
    Q_OBJECT
private slots:
    void commandTable_data();
    void commandTable();
    void noCommandStartsNothingAndSaysWhy();
    void restartEndsThePreviousAndKillsItLater();
    void previousThatObeysIsNotKilled();
    void startsAreSpaced();
    void relayThatEndsByItselfWaitsForTheNextRestart();
    void destroyingEndsEveryChild();
    void realRestartReplacesTheProcess();
    void realStubbornRelayIsKilled();
};

void TestRelayProcess::commandTable_data()
{
    QTest::addColumn<bool>("panel");
    QTest::addColumn<bool>("script");
    QTest::addColumn<QString>("relayEnv");
    QTest::addColumn<QString>("program");      // "" = none; %1 = program directory
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("whyNone");

    const QString script = QStringLiteral("%1/cnt_net/runNetClient.py");
    QTest::newRow("panel, script") << true << true << "" << "python3" << QStringList{script} << "";
    QTest::newRow("panel, script, relay named") << true << true << "/opt/peer" << "python3" << QStringList{script} << "";
    QTest::newRow("panel, no script") << true << false << "/opt/peer" << "" << QStringList{}
                                      << "relay not started: " + script + " is missing";
    QTest::newRow("off panel, relay named") << false << true << "/opt/peer" << "/opt/peer" << QStringList{} << "";
    QTest::newRow("off panel, none named") << false << true << "" << "" << QStringList{}
                                           << "relay not started off the panel";
}

void TestRelayProcess::commandTable()
{
    QFETCH(bool, panel);
    QFETCH(bool, script);
    QFETCH(QString, relayEnv);
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QString, whyNone);
    TestEnv env;
    if (script)
        env.writeFile("cnt_net/runNetClient.py", "print('relay')\n");
    for (QString& a : args)
        a = a.arg(env.dir());

    const RelayCommand c = RelayProcess::relayCommand(panel, env.dir(), relayEnv);
    QCOMPARE(c.program, program);
    QCOMPARE(c.args, args);
    QCOMPARE(c.isNone(), program.isEmpty());
    QCOMPARE(c.whyNone, whyNone.arg(env.dir()));
    if (!c.isNone()) {
        QCOMPARE(c.directory, env.dir());
        // Never a shell, never shell syntax.
        QVERIFY(!QStringList({"sh", "bash", "dash"}).contains(QFileInfo(c.program).fileName()));
        for (const QString& a : c.args)
            QVERIFY(a != "-c" && a != "&");
    }
}

void TestRelayProcess::noCommandStartsNothingAndSaysWhy()
{
    GlogLines log;
    Rig rig(RelayProcess::relayCommand(false, QString(), QString()));
    rig.relay->restart();
    rig.scheduler.advanceBy(60000);
    rig.relay->restart();
    QVERIFY(rig.env.runner->calls().empty());
    QCOMPARE(rig.relay->starts(), 0);
    QVERIFY(!rig.relay->running());
    QVERIFY(log.has("relay not started off the panel"));
}

void TestRelayProcess::restartEndsThePreviousAndKillsItLater()
{
    Rig rig;
    rig.relay->restart();
    QCOMPARE(rig.env.runner->lines(), QStringList{"relay"});
    const CommandCall call = rig.env.runner->calls().front();
    QCOMPARE(call.directory, rig.env.dir());
    QVERIFY(call.forwarded);
    QVERIFY(rig.relay->running());
    QCOMPARE(rig.relay->pid(), rig.child(0)->pid());

    rig.scheduler.advanceBy(5000);
    rig.relay->restart();
    QCOMPARE(rig.relay->starts(), 2);
    QCOMPARE(rig.signalsTo(0), QList<int>{SIGTERM});
    QCOMPARE(rig.signalsTo(1), QList<int>{});
    QCOMPARE(rig.live(), 1);
    QCOMPARE(rig.relay->pid(), rig.child(1)->pid());

    // Still running 5 s after SIGTERM: SIGKILL, and then it is reaped.
    rig.scheduler.advanceBy(4999);
    QCOMPARE(rig.signalsTo(0), QList<int>{SIGTERM});
    rig.scheduler.advanceBy(1);
    QCOMPARE(rig.signalsTo(0), (QList<int>{SIGTERM, SIGKILL}));
    QCOMPARE(rig.relay->endingChildren(), 1);
    rig.child(0)->deliverSignalled(SIGKILL);
    QCOMPARE(rig.relay->endingChildren(), 0);
    Rig::reapDeleted();
    QVERIFY(rig.env.runner->started().at(0).isNull());
    QCOMPARE(rig.signalsTo(1), QList<int>{});
    QVERIFY(rig.relay->running());
}

void TestRelayProcess::previousThatObeysIsNotKilled()
{
    Rig rig;
    rig.relay->restart();
    rig.scheduler.advanceBy(5000);
    rig.relay->restart();
    rig.child(0)->deliverSignalled(SIGTERM);
    QCOMPARE(rig.relay->endingChildren(), 0);
    rig.scheduler.advanceBy(60000);
    QCOMPARE(rig.signalsTo(0), QList<int>{SIGTERM});
}

void TestRelayProcess::startsAreSpaced()
{
    Rig rig;
    rig.relay->restart();
    // Three requests inside the spacing give one start, when it runs out.
    for (qint64 at : {1000, 3000, 4999}) {
        rig.scheduler.advanceTo(at);
        rig.relay->restart();
        QCOMPARE(rig.relay->starts(), 1);
        QVERIFY(rig.relay->startPending());
    }
    QCOMPARE(rig.signalsTo(0), QList<int>{});   // the running one is left alone meanwhile
    rig.scheduler.advanceTo(5000);
    QCOMPARE(rig.relay->starts(), 2);
    QVERIFY(!rig.relay->startPending());
    QCOMPARE(rig.signalsTo(0), QList<int>{SIGTERM});
    rig.scheduler.advanceBy(60000);
    QCOMPARE(rig.relay->starts(), 2);
    QCOMPARE(rig.live(), 1);

    // Spaced far enough, a request is served at once.
    rig.relay->restart();
    QCOMPARE(rig.relay->starts(), 3);
    QCOMPARE(rig.live(), 1);
}

void TestRelayProcess::relayThatEndsByItselfWaitsForTheNextRestart()
{
    GlogLines log;
    Rig rig;
    rig.relay->restart();
    const qint64 pid = rig.child(0)->pid();
    rig.child(0)->deliverFinished(2);
    QVERIFY(!rig.relay->running());
    QCOMPARE(rig.relay->pid(), 0);
    QVERIFY(log.has(QStringLiteral("relay (pid %1) ended: exit code 2").arg(pid)));
    rig.scheduler.advanceBy(120000);
    QCOMPARE(rig.relay->starts(), 1);

    rig.relay->restart();
    QCOMPARE(rig.relay->starts(), 2);
    QCOMPARE(rig.signalsTo(0), QList<int>{});   // it had ended: never signalled
}

void TestRelayProcess::destroyingEndsEveryChild()
{
    Rig rig;
    rig.relay->restart();
    rig.scheduler.advanceBy(5000);
    rig.relay->restart();
    rig.relay.reset();
    // Scripted children cannot obey, so both get SIGKILL after the grace; the
    // one already told to end gets no second SIGTERM.
    QCOMPARE(rig.signalsTo(0), (QList<int>{SIGTERM, SIGKILL}));
    QCOMPARE(rig.signalsTo(1), (QList<int>{SIGTERM, SIGKILL}));
    QCOMPARE(rig.scheduler.activeTimers(), 0);
}

void TestRelayProcess::realRestartReplacesTheProcess()
{
    Rig rig({QStringLiteral("relay"), {QStringLiteral("30")}, {}, {}});
    rig.env.runner->passThroughStart("relay", "/bin/sleep");
    GlogLines log;
    rig.relay->restart();
    const qint64 first = rig.relay->pid();
    QVERIFY(first > 0);
    QVERIFY(childprobe::exists(first));

    rig.scheduler.advanceBy(5000);
    rig.relay->restart();
    const qint64 second = rig.relay->pid();
    QVERIFY(second > 0 && second != first);
    QTRY_COMPARE_WITH_TIMEOUT(rig.relay->endingChildren(), 0, 5000);
    QVERIFY(!childprobe::exists(first));   // reaped, no zombie
    QVERIFY(log.has(QStringLiteral("relay (pid %1) ended: signal 15 (SIGTERM)").arg(first)));
    QCOMPARE(childprobe::children(), QList<qint64>{second});

    rig.relay.reset();
    QVERIFY(!childprobe::exists(second));
    QVERIFY(log.has(QStringLiteral("relay (pid %1) ended: signal 15 (SIGTERM)").arg(second)));
    QCOMPARE(childprobe::children(), QList<qint64>{});
}

void TestRelayProcess::realStubbornRelayIsKilled()
{
    Rig rig({QStringLiteral("relay"), childprobe::args("stubborn"), {}, {}});
    rig.env.runner->passThroughStart("relay", childprobe::executable());
    GlogLines log;
    rig.relay->restart();
    const qint64 first = rig.relay->pid();
    // The probe ignores SIGTERM once its report is there.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(rig.env.path("probe.txt")), 10000);
    QFile::remove(rig.env.path("probe.txt"));

    rig.scheduler.advanceBy(5000);
    rig.relay->restart();
    const qint64 second = rig.relay->pid();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(rig.env.path("probe.txt")), 10000);
    QTest::qWait(200);
    QVERIFY(childprobe::exists(first));        // it ignored SIGTERM
    QCOMPARE(rig.relay->endingChildren(), 1);
    rig.scheduler.advanceBy(5000);             // the kill is due
    QTRY_COMPARE_WITH_TIMEOUT(rig.relay->endingChildren(), 0, 5000);
    QVERIFY(!childprobe::exists(first));
    QVERIFY(log.has(QStringLiteral("relay (pid %1) ended: signal 9 (SIGKILL)").arg(first)));
    QCOMPARE(rig.signalsTo(0), (QList<int>{SIGTERM, SIGKILL}));

    // Teardown: SIGTERM ignored too, so SIGKILL after the grace.
    rig.relay.reset();
    QVERIFY(!childprobe::exists(second));
    QCOMPARE(rig.signalsTo(1), (QList<int>{SIGTERM, SIGKILL}));
    QCOMPARE(childprobe::children(), QList<qint64>{});
}

MM_TEST_MAIN_WITH_CHILD(TestRelayProcess)
#include "tst_relayprocess.moc"
