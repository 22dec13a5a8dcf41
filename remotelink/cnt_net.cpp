#include "cnt_net.h"

#include "clock.h"
#include "storedints.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QMetaMethod>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <glog/logging.h>

namespace {
constexpr qint64 kFaultLogSpacingMs = 10000;
const char* const kWhichSendPath = "./cnt_net/whichsend.config";
}

// The current relay socket as the send machine sees it.
class CNT_Net::SocketConnection : public RelayConnection {
public:
    explicit SocketConnection(CNT_Net& net) : net_(net) {}
    bool present() const override
    {
        return net_.relaySocket_ && net_.relaySocket_->state() == QAbstractSocket::ConnectedState;
    }
    qint64 write(const QByteArray& bytes) override { return present() ? net_.relaySocket_->write(bytes) : -1; }
    qint64 bytesToWrite() const override { return net_.relaySocket_ ? net_.relaySocket_->bytesToWrite() : 0; }
    void abort() override
    {
        if (net_.relaySocket_)
            net_.relaySocket_->abort();
    }

private:
    CNT_Net& net_;
};

std::optional<int> CNT_Net::readSwitch(const QString& paramDbPath)
{
    // SQLite would make a missing file; a missing PARAM.db is one that does not open.
    if (!QFile::exists(paramDbPath))
        return std::nullopt;
    std::optional<int> value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("isopen"));
        db.setDatabaseName(paramDbPath);
        if (db.open()) {
            value = 0;
            QSqlQuery q(db);
            q.setForwardOnly(true);
            // Read as the parameter record reads its rows, so that the
            // switch here and the record's netEnabled agree.
            if (q.exec(QStringLiteral("select value from sysparam where name='CntNet'")) && q.next())
                value = ParseStoredInts(q.value(0).toByteArray(), 1).front();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("isopen"));
    return value;
}

int CNT_Net::ReadNetSwitch(const QString& paramDbPath) { return readSwitch(paramDbPath).value_or(0); }

static CntNetOptions withPort(quint16 port)
{
    CntNetOptions o;
    o.port = port;
    return o;
}

CNT_Net::CNT_Net(QObject* parent, quint16 port) : CNT_Net(withPort(port), parent) {}

CNT_Net::CNT_Net(const CntNetOptions& options, QObject* parent) : QTcpServer(parent), options_(options)
{
    sendEnabled_.fill(true);
    // netCard and netCardEdit are filled here by the network-card reader,
    // with the link on or off.
    const std::optional<int> netSwitch = readSwitch(options_.paramDbPath);
    if (!netSwitch) {
        LOG(INFO) << "ErrorOpen";
        return;
    }
    if (*netSwitch == 0)
        return;

    QDir().mkpath(QStringLiteral("./cnt_net/data/"));
    QFile::remove(QStringLiteral("./cnt_net/chknettimes"));
    tryListen();
    if (!options_.timers)
        ownTimers_ = std::make_unique<QtCycleTimerFactory>(this);
    CycleTimerFactory& timers = options_.timers ? *options_.timers : *ownTimers_;
    connection_ = std::make_unique<SocketConnection>(*this);
    sendWorker_ = std::make_unique<CNT_Thread>(timers, *connection_, [this] { return linkAlive_; }, options_.send);
    lastHeartMs_ = appClock().monotonicMs();
    heartTimer_ = timers.create([this] { heartTick(); });
    heartTimer_->start(options_.heartbeatMs);
    linkAlive_ = false;
    memoryInfoSent_ = false;
    memoryInfoReady_ = false;
    serverConfigChanged = false;
    // The manual-stop and statistics records are loaded here (their loaders
    // run on this thread).
    serverOpen_ = true;
    getWhichSend();
}

CNT_Net::~CNT_Net()
{
    if (relaySocket_) {
        relaySocket_->disconnect(this);
        relaySocket_->abort();
    }
}

bool CNT_Net::tryListen()
{
    if (isListening())
        return true;
    // Loopback only: the relay runs on this machine, and nothing else may talk to it.
    if (!listen(QHostAddress::LocalHost, options_.port)) {
        logFault(QStringLiteral("cannot listen"),
                 QStringLiteral("port %1: %2").arg(options_.port).arg(errorString()));
        return false;
    }
    LOG(INFO) << "CNT: server is alread open...";
    return true;
}

void CNT_Net::CNT_FirstInit()
{
    // The live-video share registers itself and starts "send_timer" here.
}

void CNT_Net::CNT_ReStart()
{
    if (!serverOpen_)
        return;
    if (!isListening()) {
        // A relay started now could not connect; the heartbeat tick that
        // gets the port starts it.
        restartPending_ = true;
        return;
    }
    restartPending_ = false;
    if (options_.startRelay)
        options_.startRelay();
    else
        LOG(INFO) << "relay not started off the panel";
}

void CNT_Net::heartTick()
{
    const qint64 now = appClock().monotonicMs();
    if (!isListening() && tryListen() && restartPending_) {
        // The relay just started gets a whole period to connect.
        lastHeartMs_ = now;
        CNT_ReStart();
        return;
    }
    if (now - lastHeartMs_ <= options_.freshnessMs) {
        lastHeartMs_ = now;
        setLinkAlive(true);
        return;
    }
    setLinkAlive(false);
    LOG(INFO) << "(hearttimes timeout) 'NetClinet' will restart...";
    CNT_ReStart();
    lastHeartMs_ = now;
}

void CNT_Net::setLinkAlive(bool alive)
{
    const bool was = linkAlive_;
    // "Server OK" over no connection would be a lie.
    linkAlive_ = alive && relaySocket_;
    if (!sendWorker_)
        return;
    if (was && !linkAlive_)
        sendWorker_->restartHead();
    else if (!was && linkAlive_)
        StartSend();
}

void CNT_Net::StartSend()
{
    if (sendWorker_)
        sendWorker_->trySend();
}

void CNT_Net::getWhichSend() { sendEnabled_ = readWhichSend(QString::fromLatin1(kWhichSendPath)); }

bool CNT_Net::sendEnabled(SendType type) const
{
    return type >= 0 && type < kSendTypeCount && sendEnabled_[size_t(type)];
}

void CNT_Net::enqueue(SendType type, const QByteArray& utf8Body)
{
    if (!serverOpen_ || !sendWorker_ || !sendEnabled(type))
        return;
    sendWorker_->post(int(type), encodeFrame(int(type), utf8Body));
}

void CNT_Net::CNT_SendGetProduct() { enqueue(SendTypeGetProduct, QByteArray()); }

void CNT_Net::CNT_SendGetRemindList() { enqueue(SendTypeGetRemindList, QByteArray()); }

void CNT_Net::deliver(const QString& line)
{
    // The catalogue's bodies replace these lines; until then nothing of
    // them goes to the relay.
    LOG_EVERY_N(INFO, 1000) << "CNT: message without a body yet, not sent: " << line.left(40).toStdString();
}

QList<QByteArray> CNT_Net::queued() const { return sendWorker_ ? sendWorker_->queued() : QList<QByteArray>(); }

void CNT_Net::incomingConnection(qintptr socketDescriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    if (!socket->peerAddress().isLoopback()) {
        LOG(WARNING) << "CNT: connection from " << socket->peerAddress().toString().toStdString() << " closed";
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (relaySocket_) {
        // The newer connection wins; the older one's signals must never
        // act on it.
        QTcpSocket* old = relaySocket_;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
        LOG(INFO) << "CNT: a newer connection replaces the older one";
    }
    linkAlive_ = true;
    lastHeartMs_ = appClock().monotonicMs();
    LOG(INFO) << "CNT: new connected";
    relaySocket_ = socket;
    socket->setReadBufferSize(kReadBufferBytes);
    connect(socket, &QTcpSocket::disconnected, this, &CNT_Net::SlotDisConnetced);
    connect(socket, &QTcpSocket::readyRead, this, &CNT_Net::SlotReadyRead);
    memoryInfoSent_ = false;
    // The share description (type 9) goes out here once the share exists.
    // The head goes out again from its first attempt on the new connection.
    if (sendWorker_)
        sendWorker_->restartHead();
}

void CNT_Net::SlotDisConnetced()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != relaySocket_)
        return;
    LOG(INFO) << "CNT: has disconnect";
    socket->disconnect(this);
    socket->deleteLater();
    relaySocket_ = nullptr;
    memoryInfoSent_ = false;
    // The share semaphores are released here once the share exists.
    setLinkAlive(false);
    if (sendWorker_)
        sendWorker_->restartHead();
}

void CNT_Net::SlotReadyRead()
{
    QPointer<QTcpSocket> socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket)
        return;
    BatchReader::drain(*socket, [&](const QByteArray& batch) {
        // A batch may end the connection; what is left of it is not ours.
        if (socket && socket == relaySocket_)
            ParsingBackBuf(batch);
    });
}

void CNT_Net::ParsingBackBuf(const QByteArray& batch)
{
    if (!serverOpen_)
        return;
    ++batchesRead_;
    const ReplyBatch reply = classifyReplyBatch(batch);
    switch (reply.kind) {
    case ReplyKind::Ack:
        if (!sendWorker_->ack())
            logFault(QStringLiteral("relay input dropped: ack with no message awaiting one"), QString());
        break;
    case ReplyKind::Heart:
        lastHeartMs_ = appClock().monotonicMs();
        setLinkAlive(true);
        break;
    case ReplyKind::Reline:
        setLinkAlive(false);
        LOG(INFO) << "(recv info) 'NetClinet' will restart...";
        CNT_ReStart();
        lastHeartMs_ = appClock().monotonicMs();
        break;
    case ReplyKind::Session:
        if (reply.session == SendTypeGetProduct || reply.session == SendTypeGetRemindList) {
            if (isSignalConnected(QMetaMethod::fromSignal(&CNT_Net::relayAnswer)))
                emit relayAnswer(reply.session, reply.body);
            else
                LOG(INFO) << "CNT: answer " << reply.session << " (" << reply.body.size()
                          << " bytes) dropped, nothing takes it";
        } else {
            logFault(QStringLiteral("relay input dropped: unknown session"), QString::number(reply.session));
        }
        break;
    case ReplyKind::Ignored:
        logFault(QStringLiteral("relay input dropped: ") + QLatin1String(reply.reason),
                 QStringLiteral("%1 bytes").arg(batch.size()));
        break;
    }
}

void CNT_Net::logFault(const QString& kind, const QString& detail)
{
    const qint64 now = appClock().monotonicMs();
    auto it = faults_.find(kind);
    if (it != faults_.end() && now - it->lastLogMs < kFaultLogSpacingMs) {
        ++it->leftOut;
        return;
    }
    const int leftOut = it == faults_.end() ? 0 : it->leftOut;
    LOG(WARNING) << "CNT: " << kind.toStdString()
                 << (detail.isEmpty() ? std::string() : " (" + detail.toStdString() + ")")
                 << (leftOut ? ", " + std::to_string(leftOut) + " more of this kind left out" : std::string());
    faults_[kind] = FaultCount{now, 0};
}

void CNT_Net::CNT_AddUseMemory(int id, int width, int height, void* frame)
{
    const VideoShareRegistration share{id, width, height, frame};
    for (VideoShareRegistration& kept : videoShares_) {
        if (kept.id == id) {
            kept = share;
            return;
        }
    }
    videoShares_.append(share);
}
