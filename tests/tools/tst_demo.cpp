// The demo end to end: mm_make_demo lays out a program directory, the board
// simulator plays the machine for four fast cycles with a part left behind
// in the second, and the monitor runs offscreen on it as a child process,
// with the relay peer as its relay.  The machine's trace, the NG picture,
// the operation record, the command log and the peer's message log show
// what the monitor did.
#include "messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char kBoardSim[] = MM_BOARDSIM_PROGRAM;
const char kMakeDemo[] = MM_MAKE_DEMO_PROGRAM;
const char kMonitor[] = MM_MONITOR_PROGRAM;
const char kRelayPeer[] = MM_RELAYPEER_PROGRAM;

// The environment of a program started on a developer machine: no panel
// mode, no test mode, no real cameras, offscreen.
QProcessEnvironment childEnvironment(const QString& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"MOULDMON_PANEL", "MOULDMON_TEST", "MOULDMON_UVC", "MOULDMON_GIGE_INTERFACES"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MOULDMON_SERIAL"), dir + QStringLiteral("/dev/ttyS0"));
    env.insert(QStringLiteral("MOULDMON_CAMSIM"), dir + QStringLiteral("/camsim.json"));
    // The relay the monitor starts off the panel: the peer, logging every
    // message to cnt_net/relaypeer.log of the program directory.
    env.insert(QStringLiteral("MOULDMON_RELAY"), QString::fromLocal8Bit(kRelayPeer));
    env.insert(QStringLiteral("MM_RELAYPEER_ARGS"), QStringLiteral("--backoff 200"));
    return env;
}

QString sysparamRow(const QString& file, const QString& name)
{
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demo_param"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("select value from sysparam where name = ?"));
            q.addBindValue(name);
            if (q.exec() && q.next())
                value = q.value(0).toString();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo_param"));
    return value;
}

// What the peer's message log holds: messages per type, the violations
// ("type N: text"), and whether it exists.
struct PeerLog {
    bool exists = false;
    QMap<int, int> counts;
    QStringList violations;
};

PeerLog readPeerLog(const QString& file)
{
    PeerLog log;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return log;
    log.exists = true;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const bool message = o.contains(QLatin1String("type"));
        if (message)
            log.counts[o.value(QLatin1String("type")).toInt()] += 1;
        for (const QJsonValue& v : o.value(QLatin1String("violations")).toArray())
            log.violations << (message ? QStringLiteral("type %1: ").arg(o.value(QLatin1String("type")).toInt())
                                       : QString())
                                  + v.toString();
    }
    return log;
}

QStringList jpegsIn(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, {QStringLiteral("*.jpg")}, QDir::Files);
    while (it.hasNext())
        out << it.next();
    return out;
}

QStringList records(const QString& file)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demo_record"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("select remarks from RECORD order by rowid")))
                while (q.next())
                    out << q.value(0).toString();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo_record"));
    return out;
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void fourCyclesWithOnePartLeft();

private:
    void stop(QProcess& p);
    QProcess sim_;
    QProcess monitor_;
};

void TestDemo::stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

void TestDemo::cleanup()
{
    stop(monitor_);
    stop(sim_);
}

void TestDemo::fourCyclesWithOnePartLeft()
{
#ifdef MM_RACE_CHECKER
    // The machine model runs in real time; the race checker slows the
    // monitor about tenfold, so its verdicts come after the machine moved on.
    QSKIP("the real-time machine needs a monitor at full speed");
#endif
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString dir = tmp.path();
    QElapsedTimer clock;
    clock.start();

    // English, so that the record can be found by its text.
    QProcess make;
    make.start(QString::fromLatin1(kMakeDemo), {dir, QStringLiteral("--cameras"), QStringLiteral("2"),
                                                 QStringLiteral("--lang"), QStringLiteral("1")});
    QVERIFY(make.waitForFinished(60000));
    QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
    // The cycle-time export program, where the monitor starts it.
    QVERIFY(QFileInfo(dir + QStringLiteral("/cnt_net/xls")).isExecutable());
    // The relay link on, without the live-video share.
    const QString netRow = sysparamRow(dir + QStringLiteral("/PARAM.db"), QStringLiteral("CntNet"));
    QVERIFY2(netRow == QLatin1String("1 0 0") || netRow.startsWith(QLatin1String("1 0 0 ")), qPrintable(netRow));

    sim_.setWorkingDirectory(dir);
    sim_.setProcessChannelMode(QProcess::MergedChannels);
    sim_.start(QString::fromLatin1(kBoardSim),
               {QStringLiteral("--machine"), QStringLiteral("--fast"), QStringLiteral("--cycles"), QStringLiteral("4"),
                QStringLiteral("--left-every"), QStringLiteral("0"), QStringLiteral("--left-in"), QStringLiteral("2"),
                QStringLiteral("--link"), dir + QStringLiteral("/dev/ttyS0"), QStringLiteral("--scenes"),
                dir + QStringLiteral("/scenes")});
    QVERIFY(sim_.waitForStarted(10000));
    sim_.closeWriteChannel();   // the machine does not end with its input
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir + QStringLiteral("/dev/ttyS0")).isSymLink(), 10000);

    monitor_.setWorkingDirectory(dir);
    monitor_.setProcessEnvironment(childEnvironment(dir));
    monitor_.setProcessChannelMode(QProcess::MergedChannels);
    monitor_.start(QString::fromLatin1(kMonitor), {});
    QVERIFY(monitor_.waitForStarted(10000));

    // Four fast cycles take about 20 s; the machine ends by itself.
    QString trace;
    QDeadlineTimer deadline(45000);
    while (!deadline.hasExpired() && sim_.state() != QProcess::NotRunning && monitor_.state() != QProcess::NotRunning) {
        QTest::qWait(100);
        trace += QString::fromLocal8Bit(sim_.readAll());
    }
    trace += QString::fromLocal8Bit(sim_.readAll());
    const bool monitorUp = monitor_.state() == QProcess::Running;
    const bool machineDone = trace.contains(QStringLiteral("4 cycles done"));

    // The writer may still be at the last pictures.
    const QString ngFolder = dir + QStringLiteral("/alarmimage/camera1/detect2/NG");
    if (monitorUp && machineDone)
        QTRY_VERIFY_WITH_TIMEOUT(!jpegsIn(ngFolder).isEmpty(), 10000);
    stop(monitor_);
    const QString monitorOutput = QString::fromLocal8Bit(monitor_.readAll());
    qInfo("demo run took %lld ms", static_cast<long long>(clock.elapsed()));

    if (!machineDone) {
        // The machine stands where the monitor kept it: say where.
        const QStringList lines = trace.split(QLatin1Char('\n'));
        qInfo().noquote() << "machine trace (last lines):\n" << lines.mid(std::max(0, int(lines.size()) - 25)).join(QLatin1Char('\n'));
        qInfo().noquote() << "monitor output (last 2000 chars):\n" << monitorOutput.right(2000);
    }
    QVERIFY2(monitorUp, "the monitor ended before the machine");
    QVERIFY2(machineDone, "the machine did not finish its four cycles");

    // The trace: cycles 1, 3 and 4 OK, one alarm in cycle 2 and its release
    // by the door.
    for (int c : {1, 3, 4})
        QVERIFY2(trace.contains(QStringLiteral("machine: cycle %1: OK").arg(c)), qPrintable(trace));
    QCOMPARE(trace.count(QStringLiteral(": alarm on")), 1);
    QVERIFY(trace.contains(QStringLiteral("machine: cycle 2: the part stuck in the mould")));
    QVERIFY(trace.contains(QStringLiteral("machine: cycle 2: alarm on")));
    QVERIFY(trace.contains(QStringLiteral("input 1 SafetyDoor 0")));
    QVERIFY(trace.contains(QStringLiteral("output 2 Alarm 0")));
    QVERIFY(trace.contains(QStringLiteral("machine: cycle 2: alarm released")));
    QVERIFY(trace.contains(QStringLiteral("4 cycles done: 3 OK, 1 alarm(s)")));

    // A decodable NG picture of the mould detection.
    const QStringList ng = jpegsIn(ngFolder);
    QVERIFY2(!ng.isEmpty(), qPrintable(ngFolder));
    QImage picture(ng.first());
    QVERIFY2(!picture.isNull(), qPrintable(ng.first()));
    QCOMPARE(picture.size(), QSize(1280, 1024));

    // The alarm in the operation record, in the layout's language.
    gLan = LanEnglish;
    FillMessageTable();
    const QString alarm = Msg(152).trimmed();
    const QStringList recs = records(dir + QStringLiteral("/RECORD.db"));
    bool found = false;
    for (const QString& r : recs)
        found = found || (r.contains(alarm) && r.contains(QLatin1String("1")));
    QVERIFY2(found, qPrintable(recs.join(QLatin1String(" | "))));

    // No command ran: every command the monitor asked for was refused by
    // the dry run, and the log says so.
    QStringList refused;
    QDirIterator logs(dir + QStringLiteral("/cnt_net/cnt_log_app"), QDir::Files);
    bool haveLog = false;
    while (logs.hasNext()) {
        QFile f(logs.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        haveLog = true;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.contains("dry run, not"))
                refused << QString::fromUtf8(line);
    }
    QVERIFY(haveLog);
    for (const QString& line : refused)
        QVERIFY2(line.contains(QStringLiteral("dry run, not executed")) || line.contains(QStringLiteral("dry run, not started")),
                 qPrintable(line));
    qInfo("%d command(s) refused by the dry run", int(refused.size()));

    // The relay peer: started by the monitor in the program directory, it
    // decoded every message the run sent without a violation.
    const PeerLog peer = readPeerLog(dir + QStringLiteral("/cnt_net/relaypeer.log"));
    QStringList counts;
    for (auto it = peer.counts.cbegin(); it != peer.counts.cend(); ++it)
        counts << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    qInfo("relay peer: log %s, messages per type %s, %d violation(s)", peer.exists ? "written" : "missing",
          qPrintable(counts.join(QLatin1Char(' '))), int(peer.violations.size()));
    QVERIFY2(peer.exists, "the monitor did not start the relay peer");
    QVERIFY2(peer.violations.isEmpty(), qPrintable(peer.violations.mid(0, 20).join(QLatin1Char('\n'))));
    // The operation record, the alarm picture, the statistics, every
    // detection's results and the alarm's release.
    for (int type : {1, 5, 7, 18, 20})
        QVERIFY2(peer.counts.value(type) > 0, qPrintable(QStringLiteral("no type %1 message; got %2")
                                                              .arg(type)
                                                              .arg(counts.join(QLatin1Char(' ')))));
}

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
