#pragma once
// The link to the relay process: a TCP server on 127.0.0.1 that the relay
// connects to.  Messages are framed and queued here and sent one at a time
// by CNT_Thread; the relay's acks, heartbeats, restart requests and query
// answers come back as batches.  Everything runs on the link's thread;
// senders on other threads are posted to it.
#include "cntcatalogue.h"
#include "cntframe.h"
#include "cntrecords.h"
#include "cntsender.h"
#include "linkinbox.h"
#include "relaylink.h"
#include "relayprocess.h"
#include "sendtype.h"
#include "videoshare.h"

#include <QHash>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QImage>
#include <QTcpSocket>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>


class WizardPara;

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
    // Starts (or restarts) the relay process.  Null: the link supervises
    // its own child when relayCommand is set (RelayProcess, spaced and
    // ended by graceMs, ended with the link), else logs that none is started.
    std::function<void()> startRelay;
    // What the supervised child is; asked at every start.
    RelayProcess::CommandSource relayCommand;
    QString paramDbPath = QStringLiteral("PARAM.db");
    // The parameter record and counters the bodies read; null: the
    // program's own (CatalogueInputs::live()).  Called on the link's thread.
    std::function<CatalogueInputs()> inputs;
    // The interfaces and host name; null: ReadNetCard().
    std::function<NetCard()> readNetCard;
    // The live-video share's refresh period ("send_timer") and the longest
    // wait of its worker for a share's semaphore.
    int shareRefreshMs = 50;
    int shareTakeLimitMs = CNT_Semaphore::kTakeLimitMs;
};

// The senders run on the link's thread, which is the GUI thread (the link
// is made there, before the main window): what a body reads of the main
// window, the parameter record and the counters is read there.  A sender
// called on another thread (the I/O thread, the fail-image writer) is
// posted there with copies of its arguments, in the order of the calls.
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

    // The message catalogue (see RelayLink).  A type switched off in the
    // enable table does nothing at all.
    void CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text) override;
    void CNT_SendParam() override;
    void CNT_SendROIParam(int camera, int detection) override;
    void CNT_SendTempPic(const QString& path) override;
    void CNT_SendDelTempPic(int camera, int detect, const QString& name) override;
    void CNT_SendStatistics_Once(const QList<param_roi>& list, bool ng, int trigger) override;
    void CNT_SendSaveNgVideo(int camera, int isng) override;
    void CNT_SendTelInfo(int detection, int count) override;
    void ChkandAddStaticticsItem(int camera, int detection, int area) override;
    void CNT_SendStatistics(const QString& image) override;
    void CNT_AddNgTimes(int ms) override;
    void CNT_SendCancle() override;
    void CNT_SendAlarmPic(const QString& path) override;
    void CNT_SendManualStop() override;
    // The share description (type 9), once per connection, when a share exists.
    void CNT_SendMemoryInfo() override;

    // Registers a share and makes its system objects (remote system on
    // only).  frame: width x height RGB32 pixels that stay put, or null.
    void CNT_AddUseMemory(int id, int width, int height, void* frame) override;
    // The registrations as the callers made them, one per id, in order.
    QList<VideoShareRegistration> videoShares() const { return registrations_; }
    // The shares as described to the relay, by id.
    QMap<int, VideoShareInfo> shareInfo() const { return videoShares_; }
    QByteArray memoryInfoBody() const;
    bool memoryInfoSent() const { return memoryInfoSent_; }
    // Hands one frame (frame null: the registered buffer) to the share
    // worker; nothing unless the relay is alive and has the description.
    // bytesPerLine 0: the share's registered width x 4.
    void CNT_UpdateMemory(int id, void* frame, int bytesPerLine = 0);
    // One "send_timer" refresh: camera mode stamps and hands over each
    // camera view, screen mode the grabbed window.
    void refreshShares();
    // The time stamp the camera views draw while the camera share runs.
    QString viewStamp() const override;
    // The window the screen share grabs (the main window); null: none.
    void setShareWindow(QWidget* window) { shareWindow_ = window; }
    bool shareTimerRunning() const { return sendTimer_ && sendTimer_->isActive(); }
    const VideoShareSet& shareSet() const { return *shareSet_; }
    // Detaches and removes every share object (also done at the link's end
    // and the process's end).
    void removeShares();

    // What the bodies read of the main window; installed once the window
    // exists (null before: the senders that need it log and send nothing).
    void setRelayHost(std::shared_ptr<const RelayHost> host) { host_ = std::move(host); }
    const RelayHost* relayHost() const { return host_.get(); }
    // Link's thread only.
    const RelayRecords& records() const { return records_; }
    qint64 bindUtc() const { return bindUtc_; }
    // The supervised relay child, null unless relayCommand is set and the link on.
    const RelayProcess* relayProcess() const { return relayProcess_.get(); }

    // Framed messages waiting, oldest first; the sender, for inspection.
    QList<QByteArray> queued() const;
    const CNT_Thread* sendWorker() const { return sendWorker_.get(); }
    // Batches read from the relay so far (every kind, ignored ones too).
    int batchesRead() const { return batchesRead_; }
    // The current relay connection, null when none.
    QTcpSocket* relaySocket() const { return relaySocket_; }

    // First number of the "CntNet" row of PARAM.db; 0 when absent or unreadable.
    static int ReadNetSwitch(const QString& paramDbPath = QStringLiteral("PARAM.db"));

    // <OTHERNET> the other-network dialog's needs of the link
    // The dialog's statistics reset, after it removed the records' files:
    // both records start again from nothing in memory too, so the next
    // statistics and manual-stop messages do not bring the old counts back.
    void ResetRecords();
    // </OTHERNET>

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
    void drainInbox();

private:
    // The refresh conditions: share mode on, link on and alive, a card named.
    bool sharesRefreshed(const WizardPara& para) const;
    class SocketConnection;
    void StartSend();
    void heartTick();
    bool tryListen();
    void setLinkAlive(bool alive);
    void getWhichSend();
    // Runs work on the link's thread: at once there, else posted (order kept).
    void onLinkThread(std::function<void()> work);
    LinkInbox inbox_{this, "drainInbox"};
    // The link is on and the type switched on.
    bool wants(SendType type) const;
    QString deviceId() const { return netCard.hostName; }
    CatalogueInputs inputs() const;
    // The main window's host, or null with a log line naming what was not sent.
    const RelayHost* hostFor(const char* what);
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
    QList<VideoShareRegistration> registrations_;
    // The live-video share: the described shares, the view buffers by id
    // (with their registered row length), the description and its state.
    QMap<int, VideoShareInfo> videoShares_;
    struct FrameBuffer {
        void* pixels = nullptr;
        int bytesPerLine = 0;
        int height = 0;
    };
    QMap<int, FrameBuffer> frameBuffers_;
    JsonObject memoryInfoJson_ = NewMemoryInfo();
    std::unique_ptr<VideoShareSet> shareSet_;
    std::unique_ptr<CycleTimer> sendTimer_;
    QPointer<QWidget> shareWindow_;
    QImage screenFrame_;
    std::shared_ptr<const RelayHost> host_;
    RelayRecords records_;
    qint64 bindUtc_ = 0;
    std::unique_ptr<RelayProcess> relayProcess_;
};
