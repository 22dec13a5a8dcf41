// Programs started without waiting: output handed over as it comes, the end
// reported once, and which runner starts what for real.
#include "commandrunner.h"
#include "testenv.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class TestCommandRunnerStart : public QObject {
    Q_OBJECT
private slots:
    void recordingRunnerHandsOverScriptedOutput();
    void realProgramOutputAndEnd();
    void missingProgramEndsWithMinusOneAfterConnecting();
    void dryRunStartsOnlyOurOwnProgram();
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

QTEST_GUILESS_MAIN(TestCommandRunnerStart)
#include "tst_commandrunner_start.moc"
