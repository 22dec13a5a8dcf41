// The board simulator seen from the host side: a plain descriptor on its
// slave (raw mode set here), golden request and reply bytes written out by
// hand, its request decoder on damaged streams, each fault, reconnection
// behind the symlink, and the mm_boardsim program over stdin and stdout.
#include "boardsim.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 15000;

QByteArray bytes(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// Golden frames, computed by hand.
const QByteArray kPoll = bytes("5F 02 00 00 61 F5");
const QByteArray kValue1 = bytes("5F 03 00 00 62 F5");
const QByteArray kValue2 = bytes("5F 04 00 00 63 F5");
const QByteArray kSet001 = bytes("5F 01 01 00 61 F5");
const QByteArray kSet1FF = bytes("5F 01 FF 01 60 F5");

// Offsets of valid 8-byte reply frames in s (checked here, byte by byte).
QList<int> replyFramesIn(const QByteArray& s)
{
    QList<int> at;
    for (int p = 0; p + 8 <= s.size(); ++p) {
        const auto* b = reinterpret_cast<const unsigned char*>(s.constData()) + p;
        const unsigned sum = b[0] + b[1] + b[2] + b[3] + b[4] + b[5];
        if (b[0] == 0x5F && b[7] == 0xF5 && b[6] == (sum & 0xFF))
            at.append(p);
    }
    return at;
}

// The host's end of the line: the slave opened as the monitor would, in raw
// mode at 115200 8N1.
class HostPort {
public:
    explicit HostPort(const QString& path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        t.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~HostPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }

    bool write(const QByteArray& b)
    {
        return ::write(fd_, b.constData(), size_t(b.size())) == b.size();
    }

    // Reads until n bytes arrived or timeoutMs passed.
    QByteArray read(int n, int timeoutMs = kWaitMs)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < n && !t.hasExpired(timeoutMs)) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            if (p.revents & (POLLHUP | POLLERR) && !(p.revents & POLLIN)) {
                hungUp_ = true;
                break;
            }
            char buf[256];
            const ssize_t r = ::read(fd_, buf, size_t(std::min<int>(n - got.size(), int(sizeof buf))));
            if (r > 0)
                got.append(buf, int(r));
            else if (r == 0 || (r < 0 && errno == EIO)) {
                hungUp_ = true;
                break;
            }
        }
        return got;
    }

    // Whatever arrives within ms (used only to show that nothing comes).
    QByteArray drain(int ms) { return read(1 << 20, ms); }

    // True once the other side has gone (read gives EOF/EIO or POLLHUP).
    bool waitHangUp(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (!hungUp_ && !t.hasExpired(timeoutMs))
            read(1 << 20, 50);
        return hungUp_;
    }

    QByteArray request(const QByteArray& frame, int replyBytes)
    {
        return write(frame) ? read(replyBytes) : QByteArray();
    }

private:
    int fd_ = -1;
    bool hungUp_ = false;
};

} // namespace

class TestBoardSim : public QObject {
    Q_OBJECT

private slots:
    void pollReplyCarriesInputsAndEcho_data();
    void pollReplyCarriesInputsAndEcho();
    void valueReplies();
    void setOutputsIsAppliedLoggedAndUnanswered();
    void decoderSkipsDamagedBytes_data();
    void decoderSkipsDamagedBytes();
    void faults_data();
    void faults();
    void cutRepliesNeverAddUpToAFrame();
    void reconnectionFollowsTheLink();
    void pulseAndTickHook();
    void pacingSpreadsTheReply();
    void program();
};

void TestBoardSim::pollReplyCarriesInputsAndEcho_data()
{
    QTest::addColumn<QByteArray>("setOutputs");   // empty: none sent
    QTest::addColumn<int>("inputs");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("applied");

    QTest::newRow("nothing set") << QByteArray() << 0 << bytes("5F 02 00 00 00 00 61 F5") << 0;
    QTest::newRow("inputs 0x203 echo 0x001") << kSet001 << 0x203 << bytes("5F 02 03 02 01 00 67 F5") << 0x001;
    QTest::newRow("inputs 0x0FF echo 0x100") << bytes("5F 01 00 01 61 F5") << 0x0FF << bytes("5F 02 FF 00 00 01 61 F5") << 0x100;
    QTest::newRow("all set") << kSet1FF << 0x3FF << bytes("5F 02 FF 03 FF 01 63 F5") << 0x1FF;
    // Bits above the board's 9 outputs are not applied, so not echoed.
    QTest::newRow("output bits above 8 dropped") << bytes("5F 01 01 FE 5F F5") << 0x001 << bytes("5F 02 01 00 01 00 63 F5") << 0x001;
}

void TestBoardSim::pollReplyCarriesInputsAndEcho()
{
    QFETCH(QByteArray, setOutputs);
    QFETCH(int, inputs);
    QFETCH(QByteArray, reply);
    QFETCH(int, applied);

    BoardSimulator sim;
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    HostPort port(sim.slavePath());
    QVERIFY(port.isOpen());
    sim.setInputWord(inputs);
    if (!setOutputs.isEmpty()) {
        QVERIFY(port.write(setOutputs));
        QVERIFY(sim.waitForRequests(BoardSimulator::CmdSetOutputs, 1, kWaitMs));
    }
    QCOMPARE(port.request(kPoll, 8).toHex(' '), reply.toHex(' '));
    QCOMPARE(sim.outputs(), applied);
    QCOMPARE(sim.requestCount(BoardSimulator::CmdPollInputs), 1);
}

void TestBoardSim::valueReplies()
{
    BoardSimulator sim;
    QVERIFY(sim.start());
    HostPort port(sim.slavePath());
    sim.setValueReply(BoardSimulator::CmdReadValue1, 0x123);
    sim.setValueReply(BoardSimulator::CmdReadValue2, 0x12345678);
    QCOMPARE(port.request(kValue1, 8).toHex(' '), bytes("5F 03 23 01 00 00 86 F5").toHex(' '));
    QCOMPARE(port.request(kValue2, 8).toHex(' '), bytes("5F 04 78 56 34 12 77 F5").toHex(' '));
    // An unknown command is counted but not answered; the next poll is.
    sim.setInputWord(0x203);
    QVERIFY(port.write(bytes("5F 07 00 00 66 F5")));
    QCOMPARE(port.request(kPoll, 8).toHex(' '), bytes("5F 02 03 02 00 00 66 F5").toHex(' '));
    QCOMPARE(sim.requestCount(3), 1);
    QCOMPARE(sim.requestCount(4), 1);
    QCOMPARE(sim.requestCount(7), 1);
    QCOMPARE(sim.skippedBytes(), 0);
}

void TestBoardSim::setOutputsIsAppliedLoggedAndUnanswered()
{
    std::mutex m;
    std::vector<BoardSimulator::OutputChange> changes;
    BoardSimulator sim;
    sim.setOutputHook([&](const BoardSimulator::OutputChange& c) {
        std::lock_guard<std::mutex> lock(m);
        changes.push_back(c);
    });
    QVERIFY(sim.start());
    HostPort port(sim.slavePath());

    const auto before = BoardSimulator::Clock::now();
    QVERIFY(port.write(kSet1FF));
    QVERIFY(sim.waitForOutputWord(0x1FF, kWaitMs));
    QVERIFY(sim.output(8));
    // The same word again changes nothing.
    QVERIFY(port.write(kSet1FF));
    // No reply to set-outputs: the first bytes back answer the poll.
    QCOMPARE(port.request(kPoll, 8).toHex(' '), bytes("5F 02 00 00 FF 01 61 F5").toHex(' '));
    QVERIFY(port.write(kSet001));
    QVERIFY(sim.waitForOutputWord(0x001, kWaitMs));
    QCOMPARE(sim.requestCount(BoardSimulator::CmdSetOutputs), 3);

    // The hook runs on the simulator's thread after the word is published,
    // so it may still be on its way.
    const auto changeCount = [&] {
        std::lock_guard<std::mutex> lock(m);
        return int(changes.size());
    };
    QTRY_COMPARE_WITH_TIMEOUT(changeCount(), 2, kWaitMs);
    {
        std::lock_guard<std::mutex> lock(m);
        QCOMPARE(int(changes.size()), 2);
        QCOMPARE(changes[0].previous, 0);
        QCOMPARE(changes[0].outputs, 0x1FF);
        QCOMPARE(changes[1].outputs, 0x001);
        QVERIFY(changes[0].readAt >= before);
        QVERIFY(changes[1].readAt >= changes[0].readAt);
    }

    // The log: requests and the two output changes, in time order.
    QList<int> kinds;
    auto last = sim.startedAt();
    for (const auto& e : sim.log()) {
        QVERIFY(e.at >= last);
        last = e.at;
        if (e.kind == BoardSimulator::LogEntry::Request)
            kinds << e.command;
        else if (e.kind == BoardSimulator::LogEntry::OutputChange)
            kinds << -e.value;
    }
    QCOMPARE(kinds, (QList<int>{1, -0x1FF, 1, 2, 1, -0x001}));
    QVERIFY(BoardSimulator::describe(sim.log().back(), sim.startedAt()).contains(QLatin1String("0x1ff -> 0x001")));
}

void TestBoardSim::decoderSkipsDamagedBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");   // written one after the other
    QTest::addColumn<int>("polls");
    QTest::addColumn<int>("skipped");

    using L = QList<QByteArray>;
    QTest::newRow("clean") << L{kPoll} << 1 << 0;
    QTest::newRow("split 4 + 2") << L{kPoll.left(4), kPoll.mid(4)} << 1 << 0;
    QTest::newRow("split byte by byte") << L{kPoll.mid(0, 1), kPoll.mid(1, 1), kPoll.mid(2, 1), kPoll.mid(3, 1), kPoll.mid(4, 1), kPoll.mid(5, 1)} << 1 << 0;
    QTest::newRow("noise before") << L{bytes("00 FF 13 0A") + kPoll} << 1 << 4;
    QTest::newRow("start bytes in noise") << L{bytes("00 FF 5F 5F 12") + kPoll} << 1 << 5;
    QTest::newRow("damaged frame's start before a good one") << L{bytes("5F 02 00") + kPoll} << 1 << 3;
    QTest::newRow("wrong checksum") << L{bytes("5F 02 00 00 62 F5") + kPoll} << 1 << 6;
    QTest::newRow("wrong end byte") << L{bytes("5F 02 00 00 61 F4"), kPoll} << 1 << 6;
    QTest::newRow("three in one write") << L{kPoll + kPoll + kPoll} << 3 << 0;
    QTest::newRow("only noise") << L{bytes("5F 5F 5F 5F 5F 5F 5F"), kPoll} << 1 << 7;
}

void TestBoardSim::decoderSkipsDamagedBytes()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(int, polls);
    QFETCH(int, skipped);

    BoardSimulator sim;
    QVERIFY(sim.start());
    HostPort port(sim.slavePath());
    sim.setInputWord(0x203);
    for (const QByteArray& w : writes) {
        QVERIFY(port.write(w));
        QTest::qWait(20);   // separate reads on the simulator's side, most of the time
    }
    const QByteArray replies = port.read(8 * polls);
    QCOMPARE(replies, bytes("5F 02 03 02 00 00 66 F5").repeated(polls));
    QVERIFY(sim.waitForRequests(BoardSimulator::CmdPollInputs, polls, kWaitMs));
    QCOMPARE(sim.requestCount(BoardSimulator::CmdPollInputs), polls);
    QCOMPARE(sim.skippedBytes(), skipped);
}

void TestBoardSim::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("silence") << "silence";
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("garbage-before") << "garbage-before";
    QTest::newRow("short") << "short";
    QTest::newRow("checksum") << "checksum";
}

void TestBoardSim::faults()
{
    QFETCH(QString, fault);
    BoardSimulator::Fault f;
    QVERIFY(BoardSimulator::faultFromName(fault, &f));
    QCOMPARE(BoardSimulator::faultName(f), fault);

    BoardSimulator sim;
    QVERIFY(sim.start());
    HostPort port(sim.slavePath());
    sim.setInputWord(0x203);
    const QByteArray good = bytes("5F 02 03 02 00 00 66 F5");
    sim.setFault(f);
    QCOMPARE(sim.fault(), f);

    // Several requests under the fault: the host must never find a frame,
    // except the good reply after the noise of garbage-before.
    QByteArray got;
    for (int i = 0; i < 20; ++i) {
        QVERIFY(port.write(kPoll));
        QVERIFY(sim.waitForRequests(BoardSimulator::CmdPollInputs, i + 1, kWaitMs));
        switch (f) {
        case BoardSimulator::Fault::Silence:
            break;
        case BoardSimulator::Fault::Garbage:
        case BoardSimulator::Fault::BadChecksum: {
            const QByteArray r = port.read(8);
            QCOMPARE(r.size(), 8);
            if (f == BoardSimulator::Fault::BadChecksum)
                QCOMPARE(r.toHex(' '), bytes("5F 02 03 02 00 00 67 F5").toHex(' '));
            else
                QVERIFY2(!r.contains('\xF5'), r.toHex(' ').constData());
            got += r;
            break;
        }
        case BoardSimulator::Fault::ShortFrames: {
            const QByteArray r = port.read(5);
            QCOMPARE(r.toHex(' '), good.left(5).toHex(' '));
            got += r;
            break;
        }
        case BoardSimulator::Fault::GarbageBefore: {
            QByteArray r;
            while (!r.endsWith(good) && r.size() < 64) {
                const QByteArray more = port.read(1, kWaitMs);
                if (more.isEmpty())
                    break;
                r += more;
            }
            QVERIFY2(r.endsWith(good), r.toHex(' ').constData());
            QVERIFY(r.size() > good.size());
            QVERIFY(r.left(r.size() - good.size()).contains('\x5F'));   // a damaged frame start
            got += r;
            QCOMPARE(replyFramesIn(got).size(), i + 1);
            break;
        }
        case BoardSimulator::Fault::None:
            break;
        }
    }
    if (f == BoardSimulator::Fault::Silence)
        QVERIFY(port.drain(300).isEmpty());
    else if (f != BoardSimulator::Fault::GarbageBefore)
        QCOMPARE(replyFramesIn(got), QList<int>());
    // Requests are still read and applied under every fault.
    QVERIFY(port.write(kSet001));
    QVERIFY(sim.waitForOutputWord(0x001, kWaitMs));

    // Back to normal: the next poll is answered properly.
    sim.setFault(BoardSimulator::Fault::None);
    port.drain(100);
    QCOMPARE(port.request(kPoll, 8).toHex(' '), bytes("5F 02 03 02 01 00 67 F5").toHex(' '));
}

void TestBoardSim::cutRepliesNeverAddUpToAFrame()
{
    // Cut after 5 bytes, these replies follow each other as
    // 5F 02 F5 00 4D 5F 02 F5: a valid frame.  The host must not get it.
    BoardSimulator sim;
    QVERIFY(sim.start());
    HostPort port(sim.slavePath());
    sim.setInputWord(0x0F5);
    QVERIFY(port.write(bytes("5F 01 4D 00 AD F5")));   // outputs 0x04D
    QVERIFY(sim.waitForOutputWord(0x04D, kWaitMs));
    sim.setFault(BoardSimulator::Fault::ShortFrames);
    for (int i = 0; i < 10; ++i) {
        QVERIFY(port.write(kPoll));
        QVERIFY(sim.waitForRequests(BoardSimulator::CmdPollInputs, i + 1, kWaitMs));
    }
    const QByteArray got = port.read(50);
    QCOMPARE(got.size(), 50);
    QCOMPARE(replyFramesIn(got), QList<int>());
}

void TestBoardSim::reconnectionFollowsTheLink()
{
    TestEnv env;
    BoardSimulator::Options options;
    options.linkPath = env.path(QStringLiteral("dev/ttyS0"));
    BoardSimulator sim(options);
    QVERIFY2(sim.start(), qPrintable(sim.error()));
    const QString first = sim.slavePath();
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), first);

    sim.setInputWord(0x203);
    auto port = std::make_unique<HostPort>(options.linkPath);
    QVERIFY(port->isOpen());
    QVERIFY(port->write(kSet001));
    QCOMPARE(port->request(kPoll, 8).toHex(' '), bytes("5F 02 03 02 01 00 67 F5").toHex(' '));

    // A new pty: the old line hangs up, the link leads to the new one, the
    // board keeps its inputs and outputs.
    QVERIFY(sim.reconnect());
    QVERIFY(sim.slavePath() != first);
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), sim.slavePath());
    QCOMPARE(sim.connectionCount(), 2);
    QVERIFY(port->waitHangUp(kWaitMs));
    port = std::make_unique<HostPort>(options.linkPath);
    QVERIFY(port->isOpen());
    QCOMPARE(port->request(kPoll, 8).toHex(' '), bytes("5F 02 03 02 01 00 67 F5").toHex(' '));

    // Disconnected: no device behind the link until it comes back.
    sim.disconnect();
    QVERIFY(!QFileInfo::exists(options.linkPath));
    QVERIFY(sim.slavePath().isEmpty());
    QVERIFY(port->waitHangUp(kWaitMs));
    QVERIFY(sim.connect());
    port = std::make_unique<HostPort>(options.linkPath);
    QVERIFY(port->isOpen());
    QCOMPARE(port->request(kPoll, 8).size(), 8);

    // Reconnection with a gap, asked for from another thread.
    std::thread t([&] { sim.reconnect(100); });
    t.join();
    QCOMPARE(sim.connectionCount(), 4);
    port = std::make_unique<HostPort>(options.linkPath);
    QCOMPARE(port->request(kPoll, 8).size(), 8);

    int connections = 0;
    for (const auto& e : sim.log())
        connections += e.kind == BoardSimulator::LogEntry::Connection;
    QCOMPARE(connections, 6);   // four opened, two disconnections

    sim.stop();
    QVERIFY(!QFileInfo::exists(options.linkPath));

    // A link that cannot be made fails the start, with the reason.
    env.writeFile(QStringLiteral("file"), "x");
    BoardSimulator::Options bad;
    bad.linkPath = env.path(QStringLiteral("file/ttyS0"));
    BoardSimulator noLink(bad);
    QVERIFY(!noLink.start());
    QVERIFY2(noLink.error().contains(bad.linkPath), qPrintable(noLink.error()));
    QVERIFY(!noLink.isRunning());
}

void TestBoardSim::pulseAndTickHook()
{
    std::atomic<int> ticks{0};
    BoardSimulator sim;
    QVERIFY(sim.start());
    sim.setInput(0, true);
    sim.pulseInput(3, 100);
    QCOMPARE(sim.inputWord(), 0x009);
    QTRY_COMPARE_WITH_TIMEOUT(sim.inputWord(), 0x001, kWaitMs);
    // A low pulse on a set input comes back high.
    sim.pulseInput(0, 50, false);
    QCOMPARE(sim.inputWord(), 0x000);
    QTRY_COMPARE_WITH_TIMEOUT(sim.inputWord(), 0x001, kWaitMs);
    sim.setInput(10, true);    // no such input
    sim.setInput(-1, true);
    QCOMPARE(sim.inputWord(), 0x001);

    // The pulse never ends early.
    std::vector<BoardSimulator::LogEntry> changes;
    for (const auto& e : sim.log())
        if (e.kind == BoardSimulator::LogEntry::InputChange)
            changes.push_back(e);
    QCOMPARE(int(changes.size()), 5);
    QCOMPARE(changes[1].value, 0x009);
    QCOMPARE(changes[2].value, 0x001);
    QVERIFY(changes[2].at - changes[1].at >= std::chrono::milliseconds(100));

    // A machine model moves the inputs from the tick hook.
    sim.setTickHook(5, [&](BoardSimulator& s) {
        if (++ticks == 3)
            s.setInput(5, true);
    });
    HostPort port(sim.slavePath());
    QTRY_COMPARE_WITH_TIMEOUT(sim.inputWord(), 0x021, kWaitMs);
    QVERIFY(ticks.load() >= 3);
    QCOMPARE(port.request(kPoll, 8).toHex(' '), bytes("5F 02 21 00 00 00 82 F5").toHex(' '));
    sim.setTickHook(0, {});
}

void TestBoardSim::pacingSpreadsTheReply()
{
    BoardSimulator::Options options;
    options.pacing = true;
    BoardSimulator sim(options);
    QVERIFY(sim.start());
    HostPort port(sim.slavePath());
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        QCOMPARE(port.request(kPoll, 8).toHex(' '), bytes("5F 02 00 00 00 00 61 F5").toHex(' '));
        // The eighth byte leaves 7 x 86.8 us after the first.
        QVERIFY(t.nsecsElapsed() >= 600000);
    }
}

void TestBoardSim::program()
{
    TestEnv env;
    const QString link = env.path(QStringLiteral("dev/ttyS0"));
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(MM_BOARDSIM_PROGRAM), {QStringLiteral("--link"), link});
    QVERIFY2(p.waitForStarted(kWaitMs), qPrintable(p.errorString()));

    auto readLine = [&p]() -> QString {
        QElapsedTimer t;
        t.start();
        while (!p.canReadLine() && !t.hasExpired(kWaitMs))
            p.waitForReadyRead(100);
        return QString::fromLocal8Bit(p.readLine()).trimmed();
    };
    const QString slave = readLine();
    QVERIFY2(slave.startsWith(QLatin1String("/dev/pts/")), qPrintable(slave));
    QCOMPARE(QFileInfo(link).symLinkTarget(), slave);

    p.write("in 9 1\n");
    QCOMPARE(readLine(), QStringLiteral("inputs 0x200"));
    p.write("word 0x3\n");
    QCOMPARE(readLine(), QStringLiteral("inputs 0x003"));
    p.write("in 10 1\n");
    QVERIFY(readLine().startsWith(QLatin1String("error: ")));
    p.write("fault sideways\n");
    QVERIFY(readLine().startsWith(QLatin1String("error: ")));
    p.write("frobnicate\n");
    QVERIFY(readLine().startsWith(QLatin1String("error: unknown command")));

    HostPort port(link);
    QVERIFY(port.isOpen());
    QVERIFY(port.write(bytes("5F 01 05 01 66 F5")));   // outputs 0x105
    QCOMPARE(port.request(kPoll, 8).toHex(' '), bytes("5F 02 03 00 05 01 6A F5").toHex(' '));

    p.write("out\n");
    QCOMPARE(readLine(), QStringLiteral("outputs 0x105"));
    QStringList names;
    for (int i = 0; i < 9; ++i)
        names << readLine().simplified();
    QCOMPARE(names, (QStringList{"0 NotAllowClose 1", "1 NotAllowThimble 0", "2 Alarm 1", "3 Reserve 0",
                                 "4 Area1 0", "5 Area2 0", "6 Area3 0", "7 Area4 0", "8 Output9 1"}));

    p.write("fault silence\n");
    QCOMPARE(readLine(), QStringLiteral("fault silence"));
    p.write("fault reconnect\n");
    const QString again = readLine();
    QVERIFY2(again.startsWith(QLatin1String("pty /dev/pts/")) && again != QLatin1String("pty ") + slave, qPrintable(again));

    p.write("log 2\n");
    QVERIFY(readLine().contains(QLatin1String("fault silence")));
    QVERIFY(readLine().contains(QLatin1String("pty /dev/pts/")));
    QCOMPARE(readLine(), QStringLiteral("log end (2 entries)"));

    p.write("quit\n");
    QVERIFY(p.waitForFinished(kWaitMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link));

    // End of input ends it as well.
    QProcess q;
    q.start(QStringLiteral(MM_BOARDSIM_PROGRAM), {});
    QVERIFY(q.waitForStarted(kWaitMs));
    q.closeWriteChannel();
    QVERIFY(q.waitForFinished(kWaitMs));
    QCOMPARE(q.exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(q.readAllStandardOutput()).startsWith(QLatin1String("/dev/pts/")));
}

QTEST_GUILESS_MAIN(TestBoardSim)
#include "tst_boardsim.moc"
