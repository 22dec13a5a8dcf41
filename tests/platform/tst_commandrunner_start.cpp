// Programs started without waiting: output handed over as it comes, the end
// reported once, and which runner starts what for real.
#include "childprobe.h"
#include "commandrunner.h"
#include "testenv.h"

#include <QFile>
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
    QStringList lines() const
    {
        QMutexLocker lock(&mutex_);
        return lines_;
    }
private:
    mutable QMutex mutex_;
    QStringList lines_;
};

// Sets an environment variable for one test.
class EnvValue {
public:
    EnvValue(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvValue()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
private:
    const char* name_;
    QByteArray old_;
    bool had_;
};
}  // namespace

class TestCommandRunnerStart : public QObject {
    Q_OBJECT
private slots:
    void recordingRunnerHandsOverScriptedOutput();
    void realProgramOutputAndEnd();
    void missingProgramEndsWithMinusOneAfterConnecting();
    void dryRunStartsOnlyOurOwnProgram();
    void dryRunStartsTheNamedRelayWithoutArguments();
    void recordedProgramKeepsItsSignals();
    void realProgramEnds_data();
    void realProgramEnds();
    void ownedChildRunsInItsDirectoryAndDiesWithUs();
};

void TestCommandRunnerStart::recordingRunnerHandsOverScriptedOutput()
{
    TestEnv env;
    QObject owner;
    RunningCommand* c = env.runner->start("./cnt_net/xls", {}, &owner);
    QVERIFY(c);
    QCOMPARE(env.runner->lines(), QStringList{"./cnt_net/xls"});
    QVERIFY(env.runner->calls().front().detached);
    QCOMPARE(env.runner->started().size(), 1);
    QSignalSpy out(c, &RunningCommand::output);
    QSignalSpy end(c, &RunningCommand::finished);
    QVERIFY(c->running());
    env.runner->started().front()->deliverOutput("progress 1 ");
    env.runner->started().front()->deliverFinished(3);
    QCOMPARE(out.size(), 1);
    QCOMPARE(out.front().front().toByteArray(), QByteArray("progress 1 "));
    QCOMPARE(end.front().front().toInt(), 3);
    QVERIFY(!c->running());
}

void TestCommandRunnerStart::realProgramOutputAndEnd()
{
    TestEnv env;
    env.runner->passThroughStart("say", "/bin/echo");
    QObject owner;
    RunningCommand* c = env.runner->start("say", {"one", "two"}, &owner);
    QByteArray all;
    connect(c, &RunningCommand::output, this, [&](const QByteArray& chunk) { all += chunk; });
    QSignalSpy end(c, &RunningCommand::finished);
    QVERIFY(end.wait(5000));
    QCOMPARE(all, QByteArray("one two\n"));
    QCOMPARE(end.front().front().toInt(), 0);
    QVERIFY(!c->running());
}

void TestCommandRunnerStart::missingProgramEndsWithMinusOneAfterConnecting()
{
    TestEnv env;
    RealCommandRunner real;
    QObject owner;
    RunningCommand* c = real.start(env.path("no-such-program"), {}, &owner);
    // Connected only now, after start() returned: the end still arrives.
    QSignalSpy end(c, &RunningCommand::finished);
    QVERIFY(end.wait(5000));
    QCOMPARE(end.front().front().toInt(), -1);
}

void TestCommandRunnerStart::dryRunStartsOnlyOurOwnProgram()
{
    TestEnv env;
    env.writeFile("cnt_net/xls", "#!/bin/sh\necho \"progress 1 1\"\necho \"x.xlsx export finished\"\n");
    QFile::setPermissions(env.path("cnt_net/xls"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    DryRunCommandRunner dry;
    QObject owner;

    RunningCommand* own = dry.start("./cnt_net/xls", {}, &owner);
    QByteArray all;
    connect(own, &RunningCommand::output, this, [&](const QByteArray& chunk) { all += chunk; });
    QSignalSpy ownEnd(own, &RunningCommand::finished);
    QVERIFY(ownEnd.wait(5000));
    QCOMPARE(all, QByteArray("progress 1 1\nx.xlsx export finished\n"));

    // Anything else is only logged: it "ends" at once without output.
    env.writeFile("marker", "kept");
    RunningCommand* other = dry.start("rm", {env.path("marker")}, &owner);
    QSignalSpy otherOut(other, &RunningCommand::output);
    QSignalSpy otherEnd(other, &RunningCommand::finished);
    QVERIFY(otherEnd.wait(5000));
    QCOMPARE(otherEnd.front().front().toInt(), 0);
    QCOMPARE(otherOut.size(), 0);
    QVERIFY(QFile::exists(env.path("marker")));
}

void TestCommandRunnerStart::dryRunStartsTheNamedRelayWithoutArguments()
{
    TestEnv env;
    EnvValue relay("MOULDMON_RELAY", "/bin/false");
    DryRunCommandRunner dry;
    QObject owner;
    // Really run, it ends with 1; the dry run's stand-in "ends" with 0.
    struct Row { QStringList args; bool real; };
    for (const Row& row : {Row{{}, true}, Row{{"--help"}, false}}) {
        RunningCommand* c = dry.start("/bin/false", row.args, &owner);
        QSignalSpy end(c, &RunningCommand::finished);
        QVERIFY(end.wait(5000));
        QCOMPARE(end.front().front().toInt(), row.real ? 1 : 0);
        QCOMPARE(c->pid() != 0, row.real);
    }
    QVERIFY(!DryRunCommandRunner::startsForReal("/bin/true", {}));
}

void TestCommandRunnerStart::recordedProgramKeepsItsSignals()
{
    TestEnv env;
    auto* owner = new QObject;
    StartOptions options;
    options.directory = env.path("relay");
    options.output = StartOptions::Output::Forwarded;
    RunningCommand* a = env.runner->start("relay", {}, options, owner);
    RunningCommand* b = env.runner->start("relay", {"x"}, owner);
    const auto calls = env.runner->calls();
    QCOMPARE(calls.at(0).directory, env.path("relay"));
    QVERIFY(calls.at(0).forwarded);
    QVERIFY(calls.at(1).directory.isEmpty());
    QVERIFY(!calls.at(1).forwarded);
    QVERIFY(a->pid() != 0 && b->pid() != 0 && a->pid() != b->pid());

    GlogLines log;
    a->terminate();
    a->kill();
    QVERIFY(a->running());   // a scripted program ends only when the test says so
    a->deliverSignalled(SIGKILL);
    a->kill();               // ended: nothing more is sent
    QVERIFY(!a->running());
    QCOMPARE(a->exitCode(), -1);
    QCOMPARE(a->exitSignal(), SIGKILL);
    b->deliverFinished(3);
    b->terminate();
    QCOMPARE(b->exitCode(), 3);
    QCOMPARE(b->exitSignal(), 0);
    QVERIFY(log.lines().contains(QStringLiteral("relay (pid %1) ended: signal 9 (SIGKILL)").arg(a->pid())));
    QVERIFY(log.lines().contains(QStringLiteral("relay (pid %1) ended: exit code 3").arg(b->pid())));

    delete owner;
    QCOMPARE(env.runner->signalsSent(0), (QList<int>{SIGTERM, SIGKILL}));
    QCOMPARE(env.runner->signalsSent(1), QList<int>{});
}

void TestCommandRunnerStart::realProgramEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("signal");
    QTest::newRow("terminate") << "terminate" << -1 << SIGTERM;
    QTest::newRow("kill") << "kill" << -1 << SIGKILL;
    QTest::newRow("teardown") << "terminateAndWait" << -1 << SIGTERM;
}

void TestCommandRunnerStart::realProgramEnds()
{
    QFETCH(QString, how);
    QFETCH(int, exitCode);
    QFETCH(int, signal);
    TestEnv env;
    env.runner->passThroughStart("sleeper", "/bin/sleep");
    GlogLines log;
    QObject owner;
    RunningCommand* c = env.runner->start("sleeper", {"30"}, &owner);
    QSignalSpy end(c, &RunningCommand::finished);
    const qint64 pid = c->pid();
    QVERIFY(pid > 0);
    QVERIFY(c->running());
    QVERIFY(childprobe::exists(pid));
    if (how == "terminate")
        c->terminate();
    else if (how == "kill")
        c->kill();
    else
        c->terminateAndWait(5000);
    QVERIFY(end.size() == 1 || end.wait(5000));
    QCOMPARE(end.front().front().toInt(), exitCode);
    QCOMPARE(c->exitSignal(), signal);
    QCOMPARE(env.runner->signalsSent(0), QList<int>{signal});
    QVERIFY(!childprobe::exists(pid));   // reaped, not a zombie
    QVERIFY(log.lines().contains(QStringLiteral("sleeper (pid %1) ended: %2").arg(pid).arg(c->endText())));
    QVERIFY(c->endText().startsWith(QStringLiteral("signal %1 (SIG").arg(signal)));
}

void TestCommandRunnerStart::ownedChildRunsInItsDirectoryAndDiesWithUs()
{
    TestEnv env;
    QDir().mkpath(env.path("relay"));
    env.runner->passThroughStart("probe", childprobe::executable());
    QObject owner;
    StartOptions options;
    options.directory = env.path("relay");
    options.output = StartOptions::Output::Forwarded;
    RunningCommand* c = env.runner->start("probe", childprobe::args("obedient"), options, &owner);
    QSignalSpy out(c, &RunningCommand::output);
    const QString report = env.path("relay/probe.txt");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(report), 10000);
    // The parent-death signal is set in the child, and we are its parent.
    QCOMPARE(env.readFile("relay/probe.txt"), QStringLiteral("pdeathsig=%1 ppid=%2").arg(SIGTERM).arg(::getpid()).toLatin1());
    // Forwarded output reaches our own output, not the object.
    QCOMPARE(out.size(), 0);
    const qint64 pid = c->pid();
    c->terminateAndWait(5000);
    QCOMPARE(c->exitSignal(), SIGTERM);
    QVERIFY(!childprobe::exists(pid));
    QCOMPARE(childprobe::children(), QList<qint64>{});
}

MM_TEST_MAIN_WITH_CHILD(TestCommandRunnerStart)
#include "tst_commandrunner_start.moc"
