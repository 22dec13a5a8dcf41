// The send machine in virtual time: one message in flight, the ack and the
// resend, drops, reconnects, the queue and output bounds.  Each row is a
// script of timed steps and the writes (and aborts) it must give.
#include "cntsender.h"
#include "testenv.h"
#include "virtualscheduler.h"

#include <QtTest>
#include <glog/logging.h>

#include <thread>

namespace {
class FakeConnection : public RelayConnection {
public:
    FakeConnection(VirtualScheduler& s, QStringList& events) : sched(s), events(events) {}
    bool present() const override { return up; }
    qint64 write(const QByteArray& bytes) override
    {
        events << QStringLiteral("%1 write %2").arg(sched.now()).arg(QString::fromUtf8(bytes));
        if (stuck)
            unsent += bytes.size();
        return bytes.size();
    }
    qint64 bytesToWrite() const override { return unsent; }
    void abort() override
    {
        events << QStringLiteral("%1 abort").arg(sched.now());
        up = false;
        unsent = 0;
    }
    VirtualScheduler& sched;
    QStringList& events;
    bool up = true;
    bool stuck = false;     // the relay reads nothing: written bytes stay unsent
    qint64 unsent = 0;
};

class WarningLines : public google::LogSink {
public:
    WarningLines() { google::AddLogSink(this); }
    ~WarningLines() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity severity, const char*, const char*, int, const google::LogMessageTime&,
              const char* message, size_t length) override
    {
        if (severity == google::GLOG_WARNING)
            lines << QString::fromUtf8(message, int(length));
    }
    int count(const QString& part) const { return int(lines.filter(part).size()); }
    QStringList lines;
};

CntSendLimits smallLimits()
{
    CntSendLimits l;
    l.maxMessages = 3;
    l.maxBytes = 12;
    l.maxUnsent = 8;
    l.stallMs = 3000;
    l.stallCheckMs = 1000;
    return l;
}

struct Rig {
    TestEnv env;
    VirtualScheduler sched{env.clock};
    QStringList events;
    FakeConnection conn{sched, events};
    bool alive = true;
    CNT_Thread sender;
    explicit Rig(CntSendLimits limits = smallLimits())
        : sender(sched, conn, [this] { return alive; }, limits) {}

    // Steps "<ms> post <name>", "ack", "alive 0|1", "connect", "disconnect",
    // "stuck", "drain <bytes>", "end"; the link does what these stand for.
    void run(const QStringList& steps)
    {
        for (const QString& step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            sched.advanceTo(w[0].toLongLong());
            const QString& op = w[1];
            if (op == QLatin1String("post")) {
                sender.post(1, w[2].toUtf8());
            } else if (op == QLatin1String("ack")) {
                if (!sender.ack())
                    events << QStringLiteral("%1 ack ignored").arg(sched.now());
            } else if (op == QLatin1String("alive")) {
                alive = w[2] == QLatin1String("1");
                alive ? sender.trySend() : sender.restartHead();
            } else if (op == QLatin1String("connect") || op == QLatin1String("disconnect")) {
                conn.up = op == QLatin1String("connect");
                conn.unsent = 0;
                sender.restartHead();
            } else if (op == QLatin1String("stuck")) {
                conn.stuck = true;
            } else if (op == QLatin1String("drain")) {
                conn.unsent -= w[2].toLongLong();
            }
        }
    }
    QString queue() const
    {
        QStringList q;
        for (const QByteArray& f : sender.queued())
            q << QString::fromUtf8(f);
        return q.join(QLatin1Char(' '));
    }
};
}

class TestCntSender : public QObject {
    Q_OBJECT
private slots:
    void script_data();
    void script();
    void dropLogIsBounded();
    void otherThreadsKeepTheirOrder();
};

void TestCntSender::script_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("left");
    QTest::newRow("no ack: twice, then dropped and the next")
        << QStringList{"0 post A", "0 post B", "20000 end"}
        << QStringList{"0 write A", "5000 write A", "10000 write B", "15000 write B"} << QString();
    QTest::newRow("ack at 3000: the next at once")
        << QStringList{"0 post A", "0 post B", "3000 ack", "9000 end"}
        << QStringList{"0 write A", "3000 write B", "8000 write B"} << QStringLiteral("B");
    QTest::newRow("a late ack after the drop leaves the next waiting")
        << QStringList{"0 post A", "10500 ack", "12000 post B", "13000 end"}
        << QStringList{"0 write A", "5000 write A", "10500 ack ignored", "12000 write B"} << QStringLiteral("B");
    QTest::newRow("an ack with nothing in flight")
        << QStringList{"0 ack", "100 post A", "5100 end"}
        << QStringList{"0 ack ignored", "100 write A", "5100 write A"} << QStringLiteral("A");
    QTest::newRow("link dead mid-wait: the head again from attempt 0")
        << QStringList{"0 post A", "2000 alive 0", "4000 alive 1", "14000 end"}
        << QStringList{"0 write A", "4000 write A", "9000 write A"} << QString();
    QTest::newRow("an ack after the link died counts for nothing")
        << QStringList{"0 post A", "2000 alive 0", "3000 ack", "4000 alive 1", "4100 end"}
        << QStringList{"0 write A", "3000 ack ignored", "4000 write A"} << QStringLiteral("A");
    QTest::newRow("reconnect: the head again from attempt 0")
        << QStringList{"0 post A", "0 post B", "6000 disconnect", "7000 connect", "17000 end"}
        << QStringList{"0 write A", "5000 write A", "7000 write A", "12000 write A", "17000 write B"}
        << QStringLiteral("B");
    QTest::newRow("queued while unconnected, sent on connection")
        << QStringList{"0 disconnect", "0 post A", "0 post B", "3000 connect", "3500 ack", "3600 end"}
        << QStringList{"3000 write A", "3500 write B"} << QStringLiteral("B");
    QTest::newRow("message cap drops the oldest waiting, not the one in flight")
        << QStringList{"0 post A", "0 post B", "0 post C", "0 post D", "1000 ack", "1100 end"}
        << QStringList{"0 write A", "1000 write C"} << QStringLiteral("C D");
    QTest::newRow("byte cap drops the oldest waiting")
        << QStringList{"0 post AAAA", "0 post BBBB", "0 post CCCCC", "1000 ack", "1100 end"}
        << QStringList{"0 write AAAA", "1000 write CCCCC"} << QStringLiteral("CCCCC");
    QTest::newRow("a message larger than the queue is dropped itself")
        << QStringList{"0 post AAAA", "0 post XXXXXXXXXXXXX", "100 end"}
        << QStringList{"0 write AAAA"} << QStringLiteral("AAAA");
    QTest::newRow("output cap aborts at once, the queue stays")
        << QStringList{"0 stuck", "0 post AAAAAAAAA", "100 end"}
        << QStringList{"0 write AAAAAAAAA", "0 abort"} << QStringLiteral("AAAAAAAAA");
    QTest::newRow("stall: nothing taken for the stall time; next connection sends again")
        << QStringList{"0 stuck", "0 post AB", "4000 connect", "4100 end"}
        << QStringList{"0 write AB", "3000 abort", "4000 write AB"} << QStringLiteral("AB");
    QTest::newRow("a slow reader is no stall while bytes go")
        << QStringList{"0 stuck", "0 post ABCD", "1500 drain 1", "2500 drain 1", "3500 drain 1", "8000 end"}
        << QStringList{"0 write ABCD", "5000 write ABCD", "7000 abort"} << QStringLiteral("ABCD");
}

void TestCntSender::script()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    QFETCH(QString, left);
    Rig rig;
    rig.run(steps);
    QCOMPARE(rig.events, events);
    QCOMPARE(rig.queue(), left);
}

// A relay that takes nothing for long must not flood the log: one line per
// drop for the first ten of an episode, then a summary a minute.
void TestCntSender::dropLogIsBounded()
{
    WarningLines log;
    Rig rig;
    rig.conn.up = false;
    for (int i = 0; i < 30; ++i)
        rig.sender.post(7, "m");
    QCOMPARE(rig.sender.queued().size(), 3);
    QCOMPARE(rig.sender.dropped(), 27);
    QCOMPARE(log.count("send queue full, dropped type 7 length 1"), 10);
    rig.sched.advanceBy(60000);
    QCOMPARE(log.count("17 more messages dropped"), 1);
    QCOMPARE(log.lines.size(), 11);
    // A quiet minute ends the episode; the next drop is logged again.
    rig.sched.advanceBy(60000);
    rig.sender.post(7, "n");
    QCOMPARE(log.count("send queue full"), 11);
}

// Senders on other threads are posted to the link's thread; each thread's
// messages keep their order.
void TestCntSender::otherThreadsKeepTheirOrder()
{
    Rig rig{CntSendLimits{}};
    const int n = 200;
    std::thread worker([&] {
        for (int i = 0; i < n; ++i)
            rig.sender.post(1, QByteArray::number(i));
    });
    rig.sender.post(2, "gui");
    worker.join();
    QTRY_COMPARE(rig.sender.queued().size(), n + 1);
    for (int i = 0; i <= n && rig.sender.ack(); ++i) {
    }
    QStringList fromWorker;
    for (const QString& e : rig.events)
        if (!e.endsWith(QLatin1String("gui")))
            fromWorker << e.section(QLatin1Char(' '), 2);
    QCOMPARE(fromWorker.size(), n);
    for (int i = 0; i < n; ++i)
        QCOMPARE(fromWorker[i], QString::number(i));
    QVERIFY(rig.sender.queued().isEmpty());
}

QTEST_GUILESS_MAIN(TestCntSender)
#include "tst_cntsender.moc"
