// The board link over a real pseudo-terminal: the I/O thread with its serial
// port in this process, the board simulator on the other side (one pty per
// test, its symlink where the test directory's device template points).
#include "boardsim.h"
#include "globals.h"
#include "iothread.h"
#include "paths.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QtTest>
#include <glog/logging.h>

#include <memory>
#include <mutex>

namespace {

constexpr int kTimeoutMs = 20000;

// Keeps the glog lines of the test.
class LogCapture : public google::LogSink {
public:
    LogCapture() { google::AddLogSink(this); }
    ~LogCapture() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity severity, const char*, const char*, int, const std::tm*,
              const char* message, size_t length) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_ << QStringLiteral("%1 %2").arg(severity).arg(QString::fromUtf8(message, int(length)));
    }
    int count(const QString& part) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return int(lines_.filter(part).size());
    }
    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

int inputWord()
{
    QMutexLocker lock(pMutexIO);
    return gDataIn;
}

void setOutputWord(int word)
{
    QMutexLocker lock(pMutexIO);
    gDataOut = word;
}

} // namespace

class TestIoLinkPty : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void deviceTemplate_data();
    void deviceTemplate();
    void wordsCrossTheLinkUnchanged_data();
    void wordsCrossTheLinkUnchanged();
    void lostAndRecovered_data();
    void lostAndRecovered();
    void damagedRepliesAreSkipped_data();
    void damagedRepliesAreSkipped();
    void disconnectReopensOnTheNewPty();
    void missingDeviceIsLoggedRetriedAndFound();
    void noDeviceOffThePanelCountsAsLost();

private:
    void startSimulator();
    void startLink();
    QStringList records() const;

    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<BoardSimulator> sim_;
    std::unique_ptr<IOThread> link_;
    std::unique_ptr<LogCapture> log_;
    mutable std::mutex recordMutex_;
    QStringList records_;
};

void TestIoLinkPty::init()
{
    env_ = std::make_unique<TestEnv>();
    log_ = std::make_unique<LogCapture>();
    qunsetenv("MOULDMON_SERIAL");
    gisCOM = 0;
    gisLostCom.store(0);
    setOutputWord(0);
    {
        QMutexLocker lock(pMutexIO);
        gDataIn = 0;
    }
    records_.clear();
}

void TestIoLinkPty::cleanup()
{
    link_.reset();   // stops the thread
    if (sim_)
        sim_->stop();
    sim_.reset();
    log_.reset();
    env_.reset();
    qunsetenv("MOULDMON_SERIAL");
}

void TestIoLinkPty::startSimulator()
{
    BoardSimulator::Options o;
    o.linkPath = env_->path(QStringLiteral("dev/ttyS0"));
    sim_ = std::make_unique<BoardSimulator>(o);
    QVERIFY2(sim_->start(), qPrintable(sim_->error()));
}

void TestIoLinkPty::startLink()
{
    link_ = std::make_unique<IOThread>();
    link_->recordSink = [this](const QString& text) {
        std::lock_guard<std::mutex> lock(recordMutex_);
        records_ << text;
    };
    link_->start();
}

QStringList TestIoLinkPty::records() const
{
    std::lock_guard<std::mutex> lock(recordMutex_);
    return records_;
}

void TestIoLinkPty::deviceTemplate_data()
{
    QTest::addColumn<QString>("configured");   // paths().serialDevice
    QTest::addColumn<QString>("env");          // MOULDMON_SERIAL
    QTest::addColumn<QString>("device");       // for port 3
    const QString builtIn = Paths().serialDevice;
    QTest::newRow("built-in off the panel: nothing") << builtIn << QString() << QString();
    QTest::newRow("set by a test") << "/tmp/x/ttyS%1" << QString() << "/tmp/x/ttyS3";
    QTest::newRow("environment with %1") << builtIn << "/tmp/y/tty%1" << "/tmp/y/tty3";
    QTest::newRow("environment without %1") << "/tmp/x/ttyS%1" << "/tmp/y/board" << "/tmp/y/board";
}

void TestIoLinkPty::deviceTemplate()
{
    QFETCH(QString, configured);
    QFETCH(QString, env);
    QFETCH(QString, device);
    paths().serialDevice = configured;
    if (!env.isEmpty())
        qputenv("MOULDMON_SERIAL", env.toLocal8Bit());
    QCOMPARE(SerialDevicePath(3), device);
}

// Bytes that a terminal in its default mode would eat or translate: line
// feed, carriage return, XON and XOFF, in the low byte of either word.
void TestIoLinkPty::wordsCrossTheLinkUnchanged_data()
{
    QTest::addColumn<int>("outputs");
    QTest::addColumn<int>("inputs");
    QTest::newRow("plain") << 0x1FF << 0x203;
    QTest::newRow("line feed, carriage return") << 0x10A << 0x20D;
    QTest::newRow("XON, XOFF") << 0x011 << 0x113;
    QTest::newRow("carriage return, XON") << 0x00D << 0x011;
    QTest::newRow("XOFF, line feed") << 0x113 << 0x30A;
}

void TestIoLinkPty::wordsCrossTheLinkUnchanged()
{
    QFETCH(int, outputs);
    QFETCH(int, inputs);
    startSimulator();
    sim_->setInputWord(inputs);
    setOutputWord(outputs);
    startLink();

    QVERIFY(sim_->waitForOutputWord(outputs, kTimeoutMs));
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), inputs, kTimeoutMs);

    // And back to a word of its own, both ways.
    setOutputWord(0x000);
    sim_->setInputWord(0x000);
    QVERIFY(sim_->waitForOutputWord(0x000, kTimeoutMs));
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0, kTimeoutMs);
    QCOMPARE(gisLostCom.load(), 0);
    QVERIFY(records().isEmpty());
}

// A board that stops answering is lost after 1000 passes of 5 ms; the first
// good reply brings it back with one record.
void TestIoLinkPty::lostAndRecovered_data()
{
    QTest::addColumn<BoardSimulator::Fault>("fault");
    QTest::newRow("silence") << BoardSimulator::Fault::Silence;
    QTest::newRow("garbage only") << BoardSimulator::Fault::Garbage;
}

void TestIoLinkPty::lostAndRecovered()
{
    QFETCH(BoardSimulator::Fault, fault);
    startSimulator();
    sim_->setInputWord(0x001);
    startLink();
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x001, kTimeoutMs);

    sim_->setFault(fault);
    sim_->setInputWord(0x002);
    QElapsedTimer t;
    t.start();
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 1, kTimeoutMs);
    QVERIFY2(t.elapsed() >= 900 * IOThread::kPassMs, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(inputWord(), 0x001);   // nothing usable arrived
    QVERIFY(records().isEmpty());

    sim_->setFault(BoardSimulator::Fault::None);
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 0, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x002, kTimeoutMs);
    // Many good replies later, still the one record.
    QVERIFY(sim_->waitForRequests(BoardSimulator::CmdPollInputs, 50, kTimeoutMs));
    QCOMPARE(records(), QStringList{QStringLiteral("IO通讯重新连接")});
}

void TestIoLinkPty::damagedRepliesAreSkipped_data()
{
    QTest::addColumn<BoardSimulator::Fault>("fault");
    QTest::newRow("short frames") << BoardSimulator::Fault::ShortFrames;
    QTest::newRow("wrong checksums") << BoardSimulator::Fault::BadChecksum;
    QTest::newRow("garbage before each reply") << BoardSimulator::Fault::GarbageBefore;
}

void TestIoLinkPty::damagedRepliesAreSkipped()
{
    QFETCH(BoardSimulator::Fault, fault);
    const bool repliesUsable = fault == BoardSimulator::Fault::GarbageBefore;
    startSimulator();
    sim_->setInputWord(0x011);
    startLink();
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x011, kTimeoutMs);

    sim_->setFault(fault);
    sim_->setInputWord(0x2F5);
    sim_->clearCounts();
    QVERIFY(sim_->waitForRequests(BoardSimulator::CmdPollInputs, 100, kTimeoutMs));
    if (repliesUsable) {
        QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x2F5, kTimeoutMs);
    } else {
        QCOMPARE(inputWord(), 0x011);
        sim_->setFault(BoardSimulator::Fault::None);
        QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x2F5, kTimeoutMs);
    }
    // Outputs still follow once good replies come.
    setOutputWord(0x0A5);
    QVERIFY(sim_->waitForOutputWord(0x0A5, kTimeoutMs));
    QCOMPARE(gisLostCom.load(), 0);
}

// The adapter is pulled (the pty closes, the device node disappears) and
// comes back later as another pty behind the same name.
void TestIoLinkPty::disconnectReopensOnTheNewPty()
{
    startSimulator();
    sim_->setInputWord(0x003);
    startLink();
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x003, kTimeoutMs);
    const QString firstSlave = sim_->slavePath();

    sim_->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(log_->count(QStringLiteral("I/O board: error on")) == 1, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 1, kTimeoutMs);
    QCOMPARE(log_->count(QStringLiteral("I/O board: cannot open")), 1);

    sim_->setInputWord(0x300);
    QVERIFY(sim_->connect());
    QVERIFY(sim_->slavePath() != firstSlave || sim_->connectionCount() == 2);
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x300, kTimeoutMs);
    QCOMPARE(gisLostCom.load(), 0);
    QCOMPARE(records(), QStringList{QStringLiteral("IO通讯重新连接")});
    setOutputWord(0x101);
    QVERIFY(sim_->waitForOutputWord(0x101, kTimeoutMs));
}

void TestIoLinkPty::missingDeviceIsLoggedRetriedAndFound()
{
    startLink();
    const QString device = env_->path(QStringLiteral("dev/ttyS0"));
    QTRY_VERIFY_WITH_TIMEOUT(log_->count(QStringLiteral("I/O board: cannot open ") + device) == 1, kTimeoutMs);
    QTest::qWait(2 * IOThread::kReopenMs + 500);   // a few more tries
    QCOMPARE(log_->count(QStringLiteral("I/O board: cannot open")), 1);   // once per episode

    startSimulator();
    sim_->setInputWord(0x155);
    setOutputWord(0x0AA);
    QTRY_COMPARE_WITH_TIMEOUT(inputWord(), 0x155, kTimeoutMs);
    QVERIFY(sim_->waitForOutputWord(0x0AA, kTimeoutMs));
    // The value requests of every 210 passes reach the board too.
    QVERIFY(sim_->waitForRequests(BoardSimulator::CmdReadValue1, 1, kTimeoutMs));
    QVERIFY(sim_->waitForRequests(BoardSimulator::CmdReadValue2, 1, kTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(log_->count(QStringLiteral("I/O board: opened ") + device) == 1, kTimeoutMs);
}

void TestIoLinkPty::noDeviceOffThePanelCountsAsLost()
{
    paths().serialDevice = Paths().serialDevice;   // the built-in /dev/ttyS%1
    startLink();
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 1, kTimeoutMs);
    QCOMPARE(log_->count(QStringLiteral("no serial device is configured")), 1);
    QCOMPARE(log_->count(QStringLiteral("/dev/ttyS")), 0);
}

QTEST_GUILESS_MAIN(TestIoLinkPty)
#include "tst_iolink_pty.moc"
