#pragma once
// A stand-in for the plant relay process: the TCP client of the monitor's
// relay link.  It connects to 127.0.0.1 (never another host), decodes and
// checks every frame it receives (peerframes.h), answers the way the relay
// does, and injects faults on request.
//
// Batches toward the monitor (one batch per write):
//   /back/\r\n\r\n          ack, one per message
//   /heart/\r\n\r\n         heartbeat
//   /reline/\r\n\r\n        asks the monitor to restart the relay
//   /answer/\r\nSessionId: 14\r\n\r\n{json}    product list (17: memo list)
// The monitor takes one read as one batch and ignores a read holding two, so
// every batch goes out on its own write at least kBatchGapMs after the
// previous one; only the "two batches" fault breaks that rule on purpose.
//
// Threads: a QObject with no thread of its own.  Create it, moveToThread()
// if wanted, then call start() on its thread (invokeMethod).  Every control
// method must run on the peer's thread; the read-outs (counts(),
// violations(), messages(), ...) may be called from any thread.
#include "peerframes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class QTcpSocket;
class QTimer;

namespace relaypeer {

constexpr int kBatchGapMs = 150;        // > the monitor's 100 ms between batches
constexpr qint64 kLogCap = 10 * 1024 * 1024;

struct Options {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 8890;
    int heartbeatMs = 20000;         // 0: no heartbeat
    int backoffMs = 500;             // first reconnect delay, doubling up to backoffMaxMs
    int backoffMaxMs = 5000;
    bool reconnect = true;
    qint64 lengthCap = kDefaultLengthCap;
    // Acks.
    bool withholdAll = false;
    QSet<int> withholdTypes;
    int withholdFirst = 0;           // the first N messages get no ack
    int ackDelayMs = 0;
    bool doubleAcks = false;
    // Answers to 14 and 17 (empty: the canned lists).
    bool answers = true;
    QByteArray productAnswer;
    QByteArray remindAnswer;
    // Least time between two batches.  Below the monitor's 100 ms only where
    // nothing but acks is written (no heartbeat, no answers): with one
    // message in flight two acks never meet in one read.
    int batchGapMs = kBatchGapMs;
    int relineAfterMs = -1;          // after connecting; -1 never
    int closeAfter = 0;              // close after N messages (0 never)
    int readBytesPerSecond = 0;      // slow reads (0: read as it comes)
    bool stopReads = false;
    QString logPath;                 // empty: no log
    qint64 logCap = kLogCap;
    double exitAfterS = 0;           // for the program; 0: run until quit
};

// Parses the program's options (argv without the program name); false with
// *error on a bad option or a host that is not loopback.
bool parseOptions(const QStringList& args, Options* options, QString* error);
QString usage();
QString commandHelp();

// The canned answer bodies.
QByteArray cannedProductList();
QByteArray cannedRemindList();

// One decoded message.
struct Message {
    qint64 atMs = 0;           // monotonic, since the peer was made
    int connection = 0;        // 1 for the first connection, counting up
    int type = -1;
    qint64 declared = 0;
    QByteArray body;
    QStringList violations;
};

class RelayPeer : public QObject {
    Q_OBJECT
public:
    enum class Fault {
        Garbage,          // seeded random bytes (arg: count, seed)
        Truncated,        // batches cut before their blank line
        Oversized,        // one batch of more than 65535 bytes
        MegabyteBody,     // an answer with a 1 MiB body
        LongSession,      // a 30-digit SessionId
        MonitorFrames,    // monitor-format frames with 20-digit lengths
        NulBytes,         // a batch with NUL bytes
        BadUtf8,          // a batch with invalid UTF-8
        TwoBatches,       // an ack and a heartbeat in one write
    };

    explicit RelayPeer(Options options = Options(), QObject* parent = nullptr);
    ~RelayPeer() override;

    // Peer's thread.
    void start();               // connects (and keeps reconnecting)
    void stop();                // closes every connection, no reconnect
    bool openSecondConnection();   // one more connection beside the current one
    void reline();
    void heartbeat();
    void setHeartbeatPeriod(int ms);
    void setWithholdAll(bool on);
    void setWithholdTypes(const QSet<int>& types);
    void setWithholdFirst(int n);
    void setAckDelay(int ms);
    void setDoubleAcks(bool on);
    void setAnswers(bool on);
    void setCloseAfter(int n);
    void setReadRate(int bytesPerSecond);   // 0: normal
    void setReadsStopped(bool stopped);
    void abortMidFrame();       // RST while the next frame is half read
    void abortNow();            // RST at once
    void closeNow();
    // Writes a fault batch on the current connection; false without one.
    bool inject(Fault fault, qint64 arg = 0, quint32 seed = 1);
    // Writes raw bytes as one batch (own write, paced like the others).
    bool sendRaw(const QByteArray& bytes);
    // A stdin command line; returns the answer line(s).  `quit` sets *quit.
    QString runCommand(const QString& line, bool* quit = nullptr);

    static bool faultFromName(const QString& name, Fault* fault);
    static QByteArray faultBytes(Fault fault, qint64 arg, quint32 seed);

    // Any thread.
    bool isConnected() const;
    int connectionCount() const;    // connections made so far
    int messageCount() const;
    QMap<int, int> counts() const;  // per type
    int violationCount() const;     // all of them
    QStringList violations() const; // "type N: text", the first 10000
    std::vector<Message> messages() const;   // the newest 20000 (64 MiB of bodies)
    int acksSent() const;
    int batchesSent() const;
    QString summary() const;        // counts per type and the violations
    qint64 logBytes() const;
    const Options& options() const { return opt_; }

signals:
    void connected(int connection);
    void disconnected(int connection);
    void messageReceived(int type);

private:
    struct Conn;
    struct Pending {
        qint64 dueMs;
        QByteArray bytes;
        bool ack;
        int connection;
    };

    void connectNow();
    void scheduleReconnect();
    void setupConnection(QTcpSocket* socket);
    void onReadyRead(Conn* c);
    void readSome(Conn* c, qint64 limit);
    void onDisconnected(Conn* c);
    void handleFrame(Conn* c, const Frame& f);
    void fatal(Conn* c, const QString& text);
    void queueBatch(Conn* c, const QByteArray& bytes, qint64 notBeforeMs, bool ack = false);
    void pump();
    void writeNow(Conn* c, const QByteArray& bytes);
    Conn* current() const;
    void logLine(const QByteArray& json);
    void logEvent(const QString& event, int connection, const QString& detail = QString());
    void applyReadMode(Conn* c);
    void resetAbort(Conn* c);
    qint64 now() const { return clock_.elapsed(); }

    Options opt_;
    QElapsedTimer clock_;
    bool running_ = false;
    int backoff_ = 0;
    std::vector<std::unique_ptr<Conn>> conns_;
    QTimer* reconnectTimer_ = nullptr;
    QTimer* heartTimer_ = nullptr;
    QTimer* pumpTimer_ = nullptr;
    QTimer* readTimer_ = nullptr;
    std::deque<Pending> pending_;   // batches waiting for their time and the gap
    qint64 lastWriteMs_ = -1;
    bool abortArmed_ = false;
    int received_ = 0;   // messages of the current run, for withhold-first
    std::unique_ptr<QFile> log_;
    qint64 logBytes_ = 0;
    bool logCapped_ = false;

    mutable std::mutex mutex_;   // guards the read-outs below
    int connectionsMade_ = 0;
    bool connectedNow_ = false;
    std::vector<Message> messages_;
    QMap<int, int> counts_;
    QStringList violations_;     // the first ones, "type N: text"
    int violationTotal_ = 0;
    qint64 messageBytes_ = 0;
    int acks_ = 0;
    int batches_ = 0;
};

} // namespace relaypeer
