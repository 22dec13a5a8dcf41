#include "cnt_net.h"

#include "clock.h"
#include "globals.h"
#include "kitfonts.h"
#include "netcardinfo.h"
#include "relayhost.h"
#include "paths.h"
#include "storedints.h"
#include "wizardpara.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QMetaMethod>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QThread>
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
    // The device id of every message and the network page's copy, with the
    // link on or off.
    netCard = options_.readNetCard ? options_.readNetCard() : ReadNetCard();
    netCardEdit = netCard;
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
    VideoShareSet::Options shareOptions;
    shareOptions.takeLimitMs = options_.shareTakeLimitMs;
    shareSet_ = std::make_unique<VideoShareSet>(shareOptions);
    sendTimer_ = timers.create([this] { refreshShares(); });
    if (!options_.startRelay && options_.relayCommand) {
        RelayProcess::Options supervision;
        supervision.minStartGapMs = options_.graceMs;
        supervision.killAfterMs = options_.graceMs;
        relayProcess_ = std::make_unique<RelayProcess>(timers, options_.relayCommand, supervision);
    }
    linkAlive_ = false;
    memoryInfoSent_ = false;
    memoryInfoReady_ = false;
    serverConfigChanged = false;
    records_.InitManualStop();
    records_.InitStatistics();
    serverOpen_ = true;
    getWhichSend();
}

CNT_Net::~CNT_Net()
{
    // No relay outlives its link: the child is ended (and reaped) first,
    // whether the link or the installed starter owns it.
    relayProcess_.reset();
    options_.startRelay = nullptr;
    sendTimer_.reset();
    removeShares();
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
    if (!serverOpen_)
        return;
    if (inputs().para->videoShareMode == VideoShareScreen)
        CNT_AddUseMemory(0, gShowW, gShowH, nullptr);
    // Camera mode: the views registered theirs while the window was built.
    if (!videoShares_.isEmpty() && sendTimer_)
        sendTimer_->start(options_.shareRefreshMs);
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
    else if (relayProcess_)
        relayProcess_->restart();
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

void CNT_Net::CNT_SendGetProduct()
{
    onLinkThread([this] {
        if (wants(SendTypeGetProduct))
            enqueue(SendTypeGetProduct, cnt::EmptyBody());
    });
}

void CNT_Net::CNT_SendGetRemindList()
{
    onLinkThread([this] {
        if (wants(SendTypeGetRemindList))
            enqueue(SendTypeGetRemindList, cnt::EmptyBody());
    });
}

void CNT_Net::deliver(const QString& line)
{
    // Every sender builds its own body; nothing arrives here.
    LOG_EVERY_N(INFO, 1000) << "CNT: unexpected message line, not sent: " << line.left(40).toStdString();
}

void CNT_Net::onLinkThread(std::function<void()> work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    inbox_.post(std::move(work));
}

void CNT_Net::drainInbox() { inbox_.drain(); }

bool CNT_Net::wants(SendType type) const { return serverOpen_ && sendWorker_ && sendEnabled(type); }

CatalogueInputs CNT_Net::inputs() const
{
    return options_.inputs ? options_.inputs() : CatalogueInputs::live();
}

const RelayHost* CNT_Net::hostFor(const char* what)
{
    if (!host_)
        logFault(QStringLiteral("message not sent before the main window exists"), QString::fromLatin1(what));
    return host_.get();
}

void CNT_Net::CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text)
{
    onLinkThread([this, time, level, text] {
        if (wants(SendTypeRecord))
            enqueue(SendTypeRecord, cnt::RecordBody(deviceId(), time, level, text));
    });
}

void CNT_Net::CNT_SendParam()
{
    onLinkThread([this] {
        if (wants(SendTypeParam))
            enqueue(SendTypeParam, cnt::ParamBody(deviceId(), inputs()));
    });
}

void CNT_Net::CNT_SendROIParam(int camera, int detection)
{
    onLinkThread([this, camera, detection] {
        if (!wants(SendTypeROIParam))
            return;
        const RelayHost* host = hostFor("areas");
        if (!host)
            return;
        // Empty for a slot without a saved set or a detection out of range.
        const QByteArray body = cnt::RoiParamBody(deviceId(), *host, camera, detection);
        if (!body.isEmpty())
            enqueue(SendTypeROIParam, body);
    });
}

void CNT_Net::CNT_SendTempPic(const QString& path)
{
    onLinkThread([this, path] {
        if (wants(SendTypeTempPic))
            enqueue(SendTypeTempPic, cnt::PathBody(path));
    });
}

void CNT_Net::CNT_SendAlarmPic(const QString& path)
{
    onLinkThread([this, path] {
        if (wants(SendTypeAlarmPic))
            enqueue(SendTypeAlarmPic, cnt::PathBody(path));
    });
}

void CNT_Net::CNT_SendDelTempPic(int camera, int detect, const QString& name)
{
    onLinkThread([this, camera, detect, name] {
        if (wants(SendTypeDelTempPic))
            enqueue(SendTypeDelTempPic, cnt::DelTempPicBody(deviceId(), camera, detect, name,
                                                            records_.manualStopRecord.operator_id));
    });
}

void CNT_Net::CNT_SendStatistics_Once(const QList<param_roi>& list, bool ng, int trigger)
{
    onLinkThread([this, list, ng, trigger] {
        // Switched off, bindUtc keeps the time of the last one sent.
        if (!wants(SendTypeStatisticsOnce))
            return;
        const RelayHost* host = hostFor("detection results");
        if (!host)
            return;
        const cnt::StatisticsOnce once = cnt::StatisticsOnceBody(deviceId(), *host, inputs(), list, ng, trigger);
        bindUtc_ = once.utc;
        enqueue(SendTypeStatisticsOnce, once.body);
    });
}

void CNT_Net::CNT_SendSaveNgVideo(int camera, int isng)
{
    onLinkThread([this, camera, isng] {
        if (wants(SendTypeSaveNgVideo))
            enqueue(SendTypeSaveNgVideo, cnt::SaveNgVideoBody(deviceId(), camera,
                                                              records_.statisticsRecord.product_name, isng));
    });
}

void CNT_Net::CNT_SendTelInfo(int detection, int count)
{
    onLinkThread([this, detection, count] {
        if (wants(SendTypeTelInfo))
            enqueue(SendTypeTelInfo, cnt::TelInfoBody(deviceId(), detection, count, *inputs().para));
    });
}

void CNT_Net::CNT_SendCancle()
{
    onLinkThread([this] {
        if (!wants(SendTypeCancle))
            return;
        const RelayHost* host = hostFor("alarm release");
        if (!host)
            return;
        enqueue(SendTypeCancle, cnt::CancleBody(deviceId(), bindUtc_, *host, *inputs().para));
    });
}

void CNT_Net::ChkandAddStaticticsItem(int camera, int detection, int area)
{
    onLinkThread([this, camera, detection, area] {
        if (serverOpen_)
            records_.ChkandAddStaticticsItem(camera, detection, area);
    });
}

void CNT_Net::CNT_AddNgTimes(int ms)
{
    onLinkThread([this, ms] {
        if (serverOpen_)
            records_.CNT_AddNgTimes(ms);
    });
}

void CNT_Net::CNT_SendStatistics(const QString& image)
{
    onLinkThread([this, image] {
        // Switched off: no figure changes and no file is written.
        if (!wants(SendTypeStatistics))
            return;
        const RelayHost* host = hostFor("statistics");
        if (!host)
            return;
        const RecordInputs in = RecordInputs::Capture(*host, *inputs().para, deviceId());
        const QByteArray body = records_.CNT_SendStatistics(image, in, true);
        if (!body.isEmpty())
            enqueue(SendTypeStatistics, body);
    });
}

void CNT_Net::CNT_SendManualStop()
{
    onLinkThread([this] {
        if (!wants(SendTypeManualStop))
            return;
        const RelayHost* host = hostFor("manual stop");
        if (!host)
            return;
        const RecordInputs in = RecordInputs::Capture(*host, *inputs().para, deviceId());
        const QByteArray body = records_.CNT_SendManualStop(in, true);
        if (!body.isEmpty())
            enqueue(SendTypeManualStop, body);
    });
}

void CNT_Net::CNT_SendMemoryInfo()
{
    if (!wants(SendTypeMemoryInfo) || memoryInfoSent_ || !memoryInfoReady_)
        return;
    LOG(INFO) << "send shared memory info";
    enqueue(SendTypeMemoryInfo, memoryInfoBody());
    // At queueing: a disconnect clears it, so each connection gets it once.
    memoryInfoSent_ = true;
}

QByteArray CNT_Net::memoryInfoBody() const { return PrintMemoryInfo(memoryInfoJson_.get()); }

void CNT_Net::CNT_UpdateMemory(int id, void* frame, int bytesPerLine)
{
    if (!linkAlive_ || !memoryInfoSent_ || !shareSet_)
        return;
    const auto share = videoShares_.constFind(id);
    if (share == videoShares_.constEnd() || share->shmid == -1 || share->semid == -1)
        return;
    if (!frame) {
        const FrameBuffer buffer = frameBuffers_.value(id);
        frame = buffer.pixels;
        bytesPerLine = buffer.bytesPerLine;
    }
    if (!frame)
        return;
    shareSet_->handOver(id, static_cast<const uchar*>(frame), bytesPerLine > 0 ? bytesPerLine : share->width * 4);
}

bool CNT_Net::sharesRefreshed(const WizardPara& para) const
{
    return para.videoShareMode != VideoShareOff && para.netEnabled && linkAlive_
           && qstrcmp(para.netCardName, "null") != 0;
}

QString CNT_Net::viewStamp() const
{
    const WizardPara* para = inputs().para;
    if (!para || para->videoShareMode != VideoShareCamera || !sharesRefreshed(*para) || frameBuffers_.isEmpty())
        return QString();
    return appClock().now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss "));
}

void CNT_Net::refreshShares()
{
    const WizardPara& para = *inputs().para;
    if (!sharesRefreshed(para))
        return;
    if (para.videoShareMode == VideoShareCamera) {
        const QString stamp = appClock().now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss "));
        for (auto it = frameBuffers_.constBegin(); it != frameBuffers_.constEnd(); ++it) {
            const auto share = videoShares_.constFind(it.key());
            if (share == videoShares_.constEnd() || !it->pixels)
                continue;
            // The view's own pixels; the view draws the same stamp when it
            // repaints (viewStamp), so the operator sees it too.
            const int w = it->bytesPerLine / 4;
            const int h = it->height;
            QImage view(static_cast<uchar*>(it->pixels), w, h, it->bytesPerLine, QImage::Format_RGB32);
            PaintViewStamp(view, stamp);
            CNT_UpdateMemory(it.key(), it->pixels, it->bytesPerLine);
        }
    } else if (para.videoShareMode == VideoShareScreen) {
        const auto share = videoShares_.constFind(0);
        if (share == videoShares_.constEnd() || share->shmid == -1 || !memoryInfoSent_)
            return;
        if (!shareWindow_) {
            logFault(QStringLiteral("screen share: no window to grab"), QString());
            return;
        }
        // Whatever the window's size and depth: 32-bit pixels of the shared size.
        QImage grabbed = shareWindow_->grab().toImage();
        if (grabbed.size() != QSize(share->width, share->height))
            grabbed = grabbed.scaled(share->width, share->height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        screenFrame_ = grabbed.convertToFormat(QImage::Format_RGB32);
        CNT_UpdateMemory(0, screenFrame_.bits(), int(screenFrame_.bytesPerLine()));
    }
}

void CNT_Net::removeShares()
{
    if (shareSet_)
        shareSet_->removeAll();
    for (VideoShareInfo& share : videoShares_) {
        share.shmid = -1;
        share.semid = -1;
        share.address = nullptr;
    }
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
    // The head goes out again from its first attempt on the new connection.
    if (sendWorker_)
        sendWorker_->restartHead();
    if (inputs().para->videoShareMode != VideoShareOff)
        CNT_SendMemoryInfo();
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
    // A semaphore the relay held when it went is free again; frames not yet
    // copied are dropped.
    if (shareSet_)
        shareSet_->releaseAll();
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
    const VideoShareRegistration registration{id, width, height, frame};
    bool kept = false;
    for (VideoShareRegistration& r : registrations_) {
        if (r.id == id) {
            r = registration;
            kept = true;
        }
    }
    if (!kept)
        registrations_.append(registration);
    if (!serverOpen_ || !shareSet_)
        return;

    const VideoShareInfo share =
        shareSet_->make(paths().ipcKeyPath, id, width, height, VideoShareFps(inputs().para->videoShareFps));
    videoShares_.insert(id, share);
    // A second registration of an id is described again, after the first.
    AppendMemoryInfo(memoryInfoJson_.get(), share);
    memoryInfoReady_ = true;
    if (share.shmid != -1 && frame)
        frameBuffers_.insert(id, FrameBuffer{frame, width * 4, height});
    else
        frameBuffers_.remove(id);
}

// <OTHERNET>
void CNT_Net::ResetRecords()
{
    onLinkThread([this] { records_.ResetCounts(appClock().now()); });
}
// </OTHERNET>
