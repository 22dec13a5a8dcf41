#pragma once
// The link to the relay process: a TCP server on 127.0.0.1 that the relay
// connects to.  Messages are framed and queued here and sent one at a time
// by CNT_Thread; the relay's acks, heartbeats, restart requests and query
// answers come back as batches.  Everything runs on the link's thread;
// senders on other threads are posted to it.
#include "cntframe.h"
#include "cntsender.h"
#include "relaylink.h"
#include "sendtype.h"

#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <optional>


struct CntNetOptions {
    quint16 port = 8890;          // 0: any free port
    int heartbeatMs = 60000;      // "heart_timer"
    int freshnessMs = 59000;      // a beat older than this at a tick is a dead relay
    int graceMs = 5000;           // for the relay's supervision: spacing of starts, kill after terminate
    // The ack time (5000 ms), the stall time (30000 ms) and the queue and
    // output bounds.
    CntSendLimits send;
    // Null: QTimers owned by the link.
    CycleTimerFactory* timers = nullptr;
    // Starts (or restarts) the relay process.  Null: logs that none is
    // started (the program installs the supervision here).
    std::function<void()> startRelay;
    QString paramDbPath = QStringLiteral("PARAM.db");
};

class CNT_Net : public QTcpServer, public RelayLink {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8890;

    explicit CNT_Net(QObject* parent = nullptr, quint16 port = kDefaultPort);
    explicit CNT_Net(const CntNetOptions& options, QObject* parent = nullptr);
    ~CNT_Net() override;

    // The remote system was on at start-up: never changes afterwards.
    bool serverOpen() const override { return serverOpen_; }
    // A relay is connected and its heartbeat fresh.
    bool linkAlive() const override { return linkAlive_; }
    // Listening is separate: a taken port is tried again at every heartbeat tick.
    bool listening() const { return isListening(); }
    quint16 port() const { return serverPort(); }
    const CntNetOptions& options() const { return options_; }

    // After the main window exists, with the remote system on.
    void CNT_FirstInit();
    // Starts the relay through the options' starter: nothing while the link
    // is off; while not listening, once listening succeeds.
    void CNT_ReStart() override;

    // Type enabled by "cnt_net/whichsend.config" (read once, at construction).
    bool sendEnabled(SendType type) const;
    // Every sender ends here: frames and queues the body; a type switched
    // off does nothing at all.  Any thread.
    void enqueue(SendType type, const QByteArray& utf8Body);
    // The two queries, answered through relayAnswer.
    void CNT_SendGetProduct();
    void CNT_SendGetRemindList();

    // One batch from the relay (as read from the socket).
    void ParsingBackBuf(const QByteArray& batch);

    void CNT_AddUseMemory(int id, int width, int height, void* frame) override;
    QList<VideoShareRegistration> videoShares() const { return videoShares_; }

    // Framed messages waiting, oldest first; the sender, for inspection.
    QList<QByteArray> queued() const;
    const CNT_Thread* sendWorker() const { return sendWorker_.get(); }
    // Batches read from the relay so far (every kind, ignored ones too).
    int batchesRead() const { return batchesRead_; }
    // The current relay connection, null when none.
    QTcpSocket* relaySocket() const { return relaySocket_; }

    // First number of the "CntNet" row of PARAM.db; 0 when absent or unreadable.
    static int ReadNetSwitch(const QString& paramDbPath = QStringLiteral("PARAM.db"));

signals:
    // Answers to the queries: session 14 the product list, 17 the memo list.
    void relayAnswer(int session, QByteArray body);

protected:
    void incomingConnection(qintptr socketDescriptor) override;
    // The senders' text lines until their bodies are built: not sent.
    void deliver(const QString& line) override;

private slots:
    void SlotDisConnetced();
    void SlotReadyRead();

private:
    class SocketConnection;
    void StartSend();
    void heartTick();
    bool tryListen();
    void setLinkAlive(bool alive);
    void getWhichSend();
    // At most one line per kind every 10 s, with the count of those left out.
    void logFault(const QString& kind, const QString& detail);
    static std::optional<int> readSwitch(const QString& paramDbPath);

    CntNetOptions options_;
    bool serverOpen_ = false;
    bool linkAlive_ = false;
    bool memoryInfoSent_ = false;
    bool memoryInfoReady_ = false;
    bool restartPending_ = false;
    int batchesRead_ = 0;
    qint64 lastHeartMs_ = 0;     // monotonic
    QPointer<QTcpSocket> relaySocket_;
    SendTable sendEnabled_{};
    std::unique_ptr<CycleTimerFactory> ownTimers_;
    std::unique_ptr<SocketConnection> connection_;
    std::unique_ptr<CNT_Thread> sendWorker_;
    std::unique_ptr<CycleTimer> heartTimer_;
    struct FaultCount {
        qint64 lastLogMs = 0;
        int leftOut = 0;
    };
    QHash<QString, FaultCount> faults_;
    QList<VideoShareRegistration> videoShares_;
};
