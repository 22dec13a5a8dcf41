#include "relaypeer.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <sys/socket.h>

namespace relaypeer {

namespace {

const QByteArray kAck = QByteArrayLiteral("/back/\r\n\r\n");
const QByteArray kHeart = QByteArrayLiteral("/heart/\r\n\r\n");
const QByteArray kReline = QByteArrayLiteral("/reline/\r\n\r\n");
constexpr size_t kMessagesKept = 20000;   // the read-out keeps the newest ...
constexpr qint64 kMessageBytesKept = 64 * 1024 * 1024;   // ... within this many body bytes
constexpr int kViolationsKept = 10000;    // the rest are only counted
constexpr int kReadChunk = 65536;

QByteArray answerBatch(int session, const QByteArray& body)
{
    return QByteArrayLiteral("/answer/\r\nSessionId: ") + QByteArray::number(session) + QByteArrayLiteral("\r\n\r\n") + body;
}

bool toInt(const QString& s, qint64 lo, qint64 hi, qint64* out)
{
    bool ok = false;
    const qint64 v = s.toLongLong(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

bool parseTypes(const QString& text, QSet<int>* out)
{
    QSet<int> types;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        qint64 t;
        if (!toInt(part, 0, kMaxType, &t))
            return false;
        types.insert(int(t));
    }
    if (types.isEmpty())
        return false;
    *out = types;
    return true;
}

bool loopbackHost(const QString& host, QString* normalised)
{
    if (host == QLatin1String("localhost")) {
        *normalised = QStringLiteral("127.0.0.1");
        return true;
    }
    QHostAddress a;
    if (!a.setAddress(host) || !a.isLoopback())
        return false;
    *normalised = a.toString();
    return true;
}

} // namespace

QByteArray cannedProductList()
{
    return QByteArrayLiteral("{\"result\":[{\"product_name\":\"\xE5\xA4\x96\xE5\xA3\xB3" "A\"},{\"product_name\":\"Cap 2\"}]}");
}

QByteArray cannedRemindList()
{
    return QByteArrayLiteral("{\"result\":[{\"operator\":\"\xE5\xBC\xA0\xE4\xB8\x89\",\"create_utc\":1700000000000,"
                             "\"notify_utc\":1700003600000,\"duration\":30,\"reminder_name\":\"\xE6\x8D\xA2\xE6\xA8\xA1\"}]}");
}

QString usage()
{
    return QStringLiteral(
        "usage: mm_relaypeer [options]\n"
        "Stands in for the relay process: connects to the monitor's relay link,\n"
        "checks every message, acks it and answers; reads commands on stdin.\n"
        "Options are also read from MM_RELAYPEER_ARGS (before the command line's).\n"
        "  --host H              127.0.0.1 (only loopback addresses are accepted)\n"
        "  --port N              default 8890\n"
        "  --heartbeat MS        heartbeat period (default 20000, 0 none)\n"
        "  --backoff MS          first reconnect delay (default 500, doubling to 5000)\n"
        "  --no-reconnect        end the run at the first disconnect\n"
        "  --length-cap BYTES    largest declared length accepted (default 4194304)\n"
        "  --withhold all|TYPES  no ack at all, or for these types (e.g. 7,18)\n"
        "  --withhold-first N    no ack for the first N messages\n"
        "  --ack-delay MS        ack MS after the message\n"
        "  --double-acks         two acks per message\n"
        "  --no-answers          no answers to 14 and 17\n"
        "  --reline-after MS     ask for a reline MS after connecting\n"
        "  --close-after N       close the connection after N messages\n"
        "  --read-rate N         read at most N bytes/s\n"
        "  --stop-reads          read nothing\n"
        "  --log PATH            message log (default cnt_net/relaypeer.log)\n"
        "  --no-log              no message log\n"
        "  --log-cap BYTES       log size cap (default 10 MiB)\n"
        "  --exit-after S        end after S seconds, printing the counts\n");
}

QString commandHelp()
{
    return QStringLiteral(
        "commands:\n"
        "  status                counts per type and violations\n"
        "  heart                 one heartbeat now\n"
        "  heartbeat MS          heartbeat period (0 none)\n"
        "  reline                ask the monitor for a reline\n"
        "  ack on|off            ack every message / withhold every ack\n"
        "  ack withhold TYPES    withhold the acks of these types (e.g. 7,18)\n"
        "  ack first N           withhold the acks of the next N messages\n"
        "  ack delay MS          ack MS after the message\n"
        "  ack double on|off     two acks per message\n"
        "  answers on|off        answer 14 and 17\n"
        "  connect2              open a second connection\n"
        "  close-after N         close after N more messages (0 never)\n"
        "  read rate N|stop|normal   slow reads (bytes/s), stopped reads, normal\n"
        "  fault NAME [ARG [SEED]]   garbage | truncated | oversized | megabyte |\n"
        "                        long-session | monitor-frames | nul | bad-utf8 | two-batches\n"
        "  abort [mid-frame]     reset the connection now / halfway through the next frame\n"
        "  close                 close the connection (it reconnects)\n"
        "  help                  this text\n"
        "  quit                  end\n");
}

bool parseOptions(const QStringList& args, Options* o, QString* error)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        const bool has = i + 1 < args.size();
        const QString next = has ? args[i + 1] : QString();
        qint64 n = 0;
        auto bad = [&](const QString& why) {
            *error = QStringLiteral("%1: %2").arg(a, why);
            return false;
        };
        auto number = [&](qint64 lo, qint64 hi) {
            if (!has || !toInt(next, lo, hi, &n))
                return false;
            ++i;
            return true;
        };
        if (a == QLatin1String("--host")) {
            QString h;
            if (!has)
                return bad(QStringLiteral("needs a value"));
            if (!loopbackHost(next, &h))
                return bad(QStringLiteral("\"%1\" is not a loopback address; the relay only connects to this machine").arg(next));
            o->host = h;
            ++i;
        } else if (a == QLatin1String("--port")) {
            if (!number(1, 65535)) return bad(QStringLiteral("expects 1-65535"));
            o->port = quint16(n);
        } else if (a == QLatin1String("--heartbeat")) {
            if (!number(0, 3600000)) return bad(QStringLiteral("expects MS"));
            o->heartbeatMs = int(n);
        } else if (a == QLatin1String("--backoff")) {
            if (!number(10, 600000)) return bad(QStringLiteral("expects MS (10 or more)"));
            o->backoffMs = int(n);
            o->backoffMaxMs = std::max<int>(o->backoffMaxMs, int(n));
        } else if (a == QLatin1String("--no-reconnect")) {
            o->reconnect = false;
        } else if (a == QLatin1String("--length-cap")) {
            if (!number(0, 999999999)) return bad(QStringLiteral("expects BYTES"));
            o->lengthCap = n;
        } else if (a == QLatin1String("--withhold")) {
            if (!has) return bad(QStringLiteral("needs all or TYPES"));
            if (next == QLatin1String("all"))
                o->withholdAll = true;
            else if (!parseTypes(next, &o->withholdTypes))
                return bad(QStringLiteral("expects all or types 0-20, e.g. 7,18"));
            ++i;
        } else if (a == QLatin1String("--withhold-first")) {
            if (!number(0, 1000000000)) return bad(QStringLiteral("expects N"));
            o->withholdFirst = int(n);
        } else if (a == QLatin1String("--ack-delay")) {
            if (!number(0, 3600000)) return bad(QStringLiteral("expects MS"));
            o->ackDelayMs = int(n);
        } else if (a == QLatin1String("--double-acks")) {
            o->doubleAcks = true;
        } else if (a == QLatin1String("--no-answers")) {
            o->answers = false;
        } else if (a == QLatin1String("--reline-after")) {
            if (!number(0, 3600000)) return bad(QStringLiteral("expects MS"));
            o->relineAfterMs = int(n);
        } else if (a == QLatin1String("--close-after")) {
            if (!number(0, 1000000000)) return bad(QStringLiteral("expects N"));
            o->closeAfter = int(n);
        } else if (a == QLatin1String("--read-rate")) {
            if (!number(0, 1000000000)) return bad(QStringLiteral("expects bytes per second"));
            o->readBytesPerSecond = int(n);
        } else if (a == QLatin1String("--stop-reads")) {
            o->stopReads = true;
        } else if (a == QLatin1String("--log")) {
            if (!has) return bad(QStringLiteral("needs a path"));
            o->logPath = next;
            ++i;
        } else if (a == QLatin1String("--no-log")) {
            o->logPath.clear();
        } else if (a == QLatin1String("--log-cap")) {
            if (!number(256, qint64(1) << 40)) return bad(QStringLiteral("expects BYTES (256 or more)"));
            o->logCap = n;
        } else if (a == QLatin1String("--exit-after")) {
            bool ok = false;
            const double s = next.toDouble(&ok);
            if (!has || !ok || s <= 0) return bad(QStringLiteral("expects seconds"));
            o->exitAfterS = s;
            ++i;
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- connections

struct RelayPeer::Conn {
    int id = 0;
    QTcpSocket* socket = nullptr;
    FrameDecoder decoder;
    int received = 0;      // messages on this connection
    bool everConnected = false;
    bool closing = false;
    explicit Conn(qint64 cap) : decoder(cap) {}
};

RelayPeer::RelayPeer(Options options, QObject* parent) : QObject(parent), opt_(std::move(options))
{
    clock_.start();
    backoff_ = opt_.backoffMs;
    reconnectTimer_ = new QTimer(this);
    reconnectTimer_->setSingleShot(true);
    connect(reconnectTimer_, &QTimer::timeout, this, &RelayPeer::connectNow);
    heartTimer_ = new QTimer(this);
    connect(heartTimer_, &QTimer::timeout, this, &RelayPeer::heartbeat);
    pumpTimer_ = new QTimer(this);
    pumpTimer_->setSingleShot(true);
    pumpTimer_->setTimerType(Qt::PreciseTimer);
    connect(pumpTimer_, &QTimer::timeout, this, &RelayPeer::pump);
    readTimer_ = new QTimer(this);
    readTimer_->setInterval(100);
    connect(readTimer_, &QTimer::timeout, this, [this] {
        const qint64 perTick = std::max<qint64>(1, opt_.readBytesPerSecond / 10);
        for (auto& c : conns_)
            if (c->socket && c->socket->state() == QAbstractSocket::ConnectedState)
                readSome(c.get(), perTick);
    });
}

RelayPeer::~RelayPeer()
{
    running_ = false;
    for (auto& c : conns_)
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
        }
    conns_.clear();
}

void RelayPeer::start()
{
    if (running_)
        return;
    running_ = true;
    if (!opt_.logPath.isEmpty() && !log_) {
        QDir().mkpath(QFileInfo(opt_.logPath).absolutePath());
        log_ = std::make_unique<QFile>(opt_.logPath);
        if (!log_->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qWarning("relaypeer: cannot write the log %s", qPrintable(opt_.logPath));
            log_.reset();
        }
    }
    if (opt_.heartbeatMs > 0)
        heartTimer_->start(opt_.heartbeatMs);
    connectNow();
}

void RelayPeer::stop()
{
    running_ = false;
    reconnectTimer_->stop();
    heartTimer_->stop();
    readTimer_->stop();
    for (auto& c : conns_) {
        c->closing = true;
        if (c->socket)
            c->socket->abort();
    }
    if (log_)
        log_->flush();
}

void RelayPeer::connectNow()
{
    if (!running_)
        return;
    auto* socket = new QTcpSocket(this);
    setupConnection(socket);
    socket->connectToHost(QHostAddress(opt_.host), opt_.port);
}

bool RelayPeer::openSecondConnection()
{
    if (!running_)
        return false;
    connectNow();
    return true;
}

void RelayPeer::setupConnection(QTcpSocket* socket)
{
    auto conn = std::make_unique<Conn>(opt_.lengthCap);
    Conn* c = conn.get();
    c->socket = socket;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        c->id = ++connectionsMade_;
    }
    conns_.push_back(std::move(conn));
    connect(socket, &QTcpSocket::connected, this, [this, c] {
        c->everConnected = true;
        backoff_ = opt_.backoffMs;
        c->socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connectedNow_ = true;
        }
        logEvent(QStringLiteral("connected"), c->id,
                 QStringLiteral("%1:%2").arg(c->socket->peerAddress().toString()).arg(c->socket->peerPort()));
        applyReadMode(c);
        if (opt_.relineAfterMs >= 0) {
            QTimer::singleShot(opt_.relineAfterMs, c->socket, [this, id = c->id] {
                for (auto& k : conns_)
                    if (k->id == id && k->socket)
                        queueBatch(k.get(), kReline, now());
            });
        }
        emit connected(c->id);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, c] { onReadyRead(c); });
    connect(socket, &QTcpSocket::disconnected, this, [this, c] { onDisconnected(c); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, c](QAbstractSocket::SocketError) {
        if (!c->everConnected && c->socket->state() != QAbstractSocket::ConnectedState)
            onDisconnected(c);
    });
}

RelayPeer::Conn* RelayPeer::current() const
{
    for (auto it = conns_.rbegin(); it != conns_.rend(); ++it)
        if ((*it)->socket && (*it)->socket->state() == QAbstractSocket::ConnectedState && !(*it)->closing)
            return it->get();
    return nullptr;
}

void RelayPeer::onDisconnected(Conn* c)
{
    if (!c->socket)
        return;
    if (c->everConnected) {
        if (c->decoder.midFrame())
            logEvent(QStringLiteral("disconnected mid-frame"), c->id,
                     QStringLiteral("%1 bytes of an unfinished frame").arg(c->decoder.bufferedBytes()));
        else
            logEvent(QStringLiteral("disconnected"), c->id);
        emit disconnected(c->id);
    }
    QTcpSocket* s = c->socket;
    c->socket = nullptr;
    s->disconnect(this);
    s->deleteLater();
    // The disconnect may come from inside a read of this connection (a close
    // or an abort there): the entry goes later, the read sees socket == null.
    QMetaObject::invokeMethod(
        this, [this, c] {
            conns_.erase(std::remove_if(conns_.begin(), conns_.end(),
                                        [c](const std::unique_ptr<Conn>& p) { return p.get() == c; }),
                         conns_.end());
        },
        Qt::QueuedConnection);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connectedNow_ = current() != nullptr;
    }
    // The relay keeps trying while it runs; the last connection going is
    // what brings a reconnect (an older one closed by the monitor is not).
    const bool anyLeft = std::any_of(conns_.begin(), conns_.end(), [](const std::unique_ptr<Conn>& p) { return p->socket; });
    if (running_ && !anyLeft)
        scheduleReconnect();
}

void RelayPeer::scheduleReconnect()
{
    if (!opt_.reconnect) {
        running_ = false;
        logEvent(QStringLiteral("not reconnecting"), 0);
        return;
    }
    if (reconnectTimer_->isActive())
        return;
    reconnectTimer_->start(backoff_);
    backoff_ = std::min(backoff_ * 2, std::max(opt_.backoffMaxMs, opt_.backoffMs));
}

void RelayPeer::applyReadMode(Conn* c)
{
    if (!c->socket)
        return;
    if (opt_.stopReads) {
        c->socket->setReadBufferSize(1);
    } else if (opt_.readBytesPerSecond > 0) {
        c->socket->setReadBufferSize(std::max<qint64>(1, opt_.readBytesPerSecond / 10));
        readTimer_->start();
    } else {
        c->socket->setReadBufferSize(0);
        QMetaObject::invokeMethod(
            this, [this, id = c->id] {
                for (auto& k : conns_)
                    if (k->id == id)
                        onReadyRead(k.get());
            },
            Qt::QueuedConnection);
    }
}

void RelayPeer::onReadyRead(Conn* c)
{
    if (opt_.stopReads || opt_.readBytesPerSecond > 0)
        return;   // the read timer takes what the rate allows
    readSome(c, -1);
}

void RelayPeer::readSome(Conn* c, qint64 limit)
{
    QTcpSocket* s = c->socket;
    qint64 left = limit < 0 ? std::numeric_limits<qint64>::max() : limit;
    while (s && c->socket == s && left > 0 && s->bytesAvailable() > 0 && !c->closing) {
        // Armed for a reset mid-frame: byte by byte until a header is in and
        // its body is not.
        const qint64 want = abortArmed_ ? 1 : std::min<qint64>(left, kReadChunk);
        const QByteArray chunk = s->read(want);
        if (chunk.isEmpty())
            break;
        left -= chunk.size();
        std::vector<Frame> frames;
        c->decoder.feed(chunk, &frames);
        for (const Frame& f : frames) {
            handleFrame(c, f);
            if (c->socket != s || c->closing)
                return;
        }
        if (c->decoder.failed()) {
            fatal(c, c->decoder.errorText());
            return;
        }
        if (abortArmed_ && c->decoder.inBody()) {
            abortArmed_ = false;
            logEvent(QStringLiteral("reset mid-frame"), c->id,
                     QStringLiteral("%1 bytes of the frame read").arg(c->decoder.bufferedBytes()));
            resetAbort(c);
            return;
        }
    }
}

void RelayPeer::fatal(Conn* c, const QString& text)
{
    const QString v = QStringLiteral("stream: %1; connection closed").arg(text);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++violationTotal_;
        if (violations_.size() < kViolationsKept)
            violations_ << v;
    }
    QJsonObject o{{QStringLiteral("t"), now()}, {QStringLiteral("conn"), c->id},
                  {QStringLiteral("violations"), QJsonArray{v}}};
    logLine(QJsonDocument(o).toJson(QJsonDocument::Compact));
    c->closing = true;
    c->socket->abort();
}

void RelayPeer::resetAbort(Conn* c)
{
    // Zero linger: the close sends a reset instead of a FIN.
    const qintptr fd = c->socket->socketDescriptor();
    if (fd >= 0) {
        struct linger l {1, 0};
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    c->closing = true;
    c->socket->abort();
}

void RelayPeer::handleFrame(Conn* c, const Frame& f)
{
    const BodyCheck check = checkBody(f.type, f.body);
    Message m;
    m.atMs = now();
    m.connection = c->id;
    m.type = f.type;
    m.declared = f.declared;
    m.body = f.body;
    m.violations = check.violations;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        counts_[f.type] += 1;
        for (const QString& v : check.violations) {
            ++violationTotal_;
            if (violations_.size() < kViolationsKept)
                violations_ << QStringLiteral("type %1: %2").arg(f.type).arg(v);
        }
        messages_.push_back(m);
        messageBytes_ += m.body.size();
        size_t drop = 0;
        while (drop + 1 < messages_.size() && (messages_.size() - drop > kMessagesKept || messageBytes_ > kMessageBytesKept))
            messageBytes_ -= messages_[drop++].body.size();
        messages_.erase(messages_.begin(), messages_.begin() + qsizetype(drop));
    }
    QJsonObject o{{QStringLiteral("t"), m.atMs},
                  {QStringLiteral("conn"), c->id},
                  {QStringLiteral("type"), f.type},
                  {QStringLiteral("declared"), double(f.declared)},
                  {QStringLiteral("actual"), double(f.body.size())}};
    if (check.violations.isEmpty())
        o.insert(QStringLiteral("fields"), check.fields);
    else
        o.insert(QStringLiteral("violations"), QJsonArray::fromStringList(check.violations));
    o.insert(QStringLiteral("body"), QString::fromLatin1(f.body.toBase64()));
    logLine(QJsonDocument(o).toJson(QJsonDocument::Compact));

    ++c->received;
    ++received_;
    if (opt_.closeAfter > 0 && c->received >= opt_.closeAfter) {
        // Closed before the ack: the monitor sends this message again on the
        // next connection.
        logEvent(QStringLiteral("closing after %1 messages").arg(c->received), c->id);
        c->closing = true;
        c->socket->disconnectFromHost();
        emit messageReceived(f.type);
        return;
    }
    const bool withhold = opt_.withholdAll || opt_.withholdTypes.contains(f.type) || received_ <= opt_.withholdFirst;
    const qint64 due = now() + opt_.ackDelayMs;
    if (!withhold) {
        queueBatch(c, kAck, due, true);
        if (opt_.doubleAcks)
            queueBatch(c, kAck, due, true);
    }
    if (opt_.answers && (f.type == 14 || f.type == 17)) {
        // Its own batch after the ack: the pacing puts kBatchGapMs between.
        const QByteArray body = f.type == 14 ? (opt_.productAnswer.isEmpty() ? cannedProductList() : opt_.productAnswer)
                                             : (opt_.remindAnswer.isEmpty() ? cannedRemindList() : opt_.remindAnswer);
        queueBatch(c, answerBatch(f.type, body), due + kBatchGapMs);
    }
    // Type 9 announces the video shares; reading them (P, read, V) belongs
    // here once the share exists.
    emit messageReceived(f.type);
}

// ---------------------------------------------------------------- writing

void RelayPeer::queueBatch(Conn* c, const QByteArray& bytes, qint64 notBeforeMs, bool ack)
{
    Q_UNUSED(ack);
    pending_.push_back(Pending{notBeforeMs, bytes, ack, c ? c->id : 0});
    std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) { return a.dueMs < b.dueMs; });
    pump();
}

void RelayPeer::pump()
{
    while (!pending_.empty()) {
        const qint64 t = now();
        const Pending& p = pending_.front();
        const qint64 ready = std::max(p.dueMs, lastWriteMs_ < 0 ? 0 : lastWriteMs_ + opt_.batchGapMs);
        if (t < ready) {
            pumpTimer_->start(int(ready - t));
            return;
        }
        Conn* target = nullptr;
        for (auto& c : conns_)
            if (c->id == p.connection && c->socket && c->socket->state() == QAbstractSocket::ConnectedState && !c->closing)
                target = c.get();
        const Pending item = p;
        pending_.pop_front();
        if (!target)
            continue;   // its connection is gone
        target->socket->write(item.bytes);
        target->socket->flush();
        lastWriteMs_ = now();
        std::lock_guard<std::mutex> lock(mutex_);
        ++batches_;
        if (item.ack)
            ++acks_;
    }
}

bool RelayPeer::sendRaw(const QByteArray& bytes)
{
    Conn* c = current();
    if (!c)
        return false;
    queueBatch(c, bytes, now());
    return true;
}

void RelayPeer::heartbeat()
{
    if (Conn* c = current())
        queueBatch(c, kHeart, now());
}

void RelayPeer::reline()
{
    if (Conn* c = current())
        queueBatch(c, kReline, now());
}

void RelayPeer::setHeartbeatPeriod(int ms)
{
    opt_.heartbeatMs = ms;
    if (ms > 0 && running_)
        heartTimer_->start(ms);
    else
        heartTimer_->stop();
}

void RelayPeer::setWithholdAll(bool on) { opt_.withholdAll = on; }
void RelayPeer::setWithholdTypes(const QSet<int>& types) { opt_.withholdTypes = types; }
void RelayPeer::setWithholdFirst(int n)
{
    opt_.withholdFirst = received_ + n;   // counts from now
}
void RelayPeer::setAckDelay(int ms) { opt_.ackDelayMs = ms; }
void RelayPeer::setDoubleAcks(bool on) { opt_.doubleAcks = on; }
void RelayPeer::setAnswers(bool on) { opt_.answers = on; }
void RelayPeer::setCloseAfter(int n)
{
    opt_.closeAfter = n;
    for (auto& c : conns_)
        c->received = 0;
}

void RelayPeer::setReadRate(int bytesPerSecond)
{
    opt_.readBytesPerSecond = bytesPerSecond;
    opt_.stopReads = false;
    if (bytesPerSecond <= 0)
        readTimer_->stop();
    for (auto& c : conns_)
        applyReadMode(c.get());
}

void RelayPeer::setReadsStopped(bool stopped)
{
    opt_.stopReads = stopped;
    if (stopped)
        readTimer_->stop();
    for (auto& c : conns_)
        applyReadMode(c.get());
}

void RelayPeer::abortMidFrame()
{
    abortArmed_ = true;
    if (Conn* c = current())
        readSome(c, -1);
}

void RelayPeer::abortNow()
{
    if (Conn* c = current()) {
        logEvent(QStringLiteral("reset"), c->id);
        resetAbort(c);
    }
}

void RelayPeer::closeNow()
{
    if (Conn* c = current()) {
        logEvent(QStringLiteral("closing"), c->id);
        c->closing = true;
        c->socket->disconnectFromHost();
    }
}

// ---------------------------------------------------------------- faults

bool RelayPeer::faultFromName(const QString& name, Fault* fault)
{
    static const QHash<QString, Fault> names{
        {QStringLiteral("garbage"), Fault::Garbage},       {QStringLiteral("truncated"), Fault::Truncated},
        {QStringLiteral("oversized"), Fault::Oversized},   {QStringLiteral("megabyte"), Fault::MegabyteBody},
        {QStringLiteral("long-session"), Fault::LongSession}, {QStringLiteral("monitor-frames"), Fault::MonitorFrames},
        {QStringLiteral("nul"), Fault::NulBytes},          {QStringLiteral("bad-utf8"), Fault::BadUtf8},
        {QStringLiteral("two-batches"), Fault::TwoBatches},
    };
    const auto it = names.find(name);
    if (it == names.end())
        return false;
    *fault = *it;
    return true;
}

QByteArray RelayPeer::faultBytes(Fault fault, qint64 arg, quint32 seed)
{
    switch (fault) {
    case Fault::Garbage: {
        // No CR at all, so the bytes can never hold a batch's blank line.
        const qint64 n = arg > 0 ? std::min<qint64>(arg, 16 * 1024 * 1024) : 256;
        QRandomGenerator gen(seed);
        QByteArray b(int(n), Qt::Uninitialized);
        for (char& ch : b) {
            ch = char(gen.bounded(256));
            if (ch == '\r')
                ch = 'x';
        }
        return b;
    }
    case Fault::Truncated:
        return arg == 1 ? QByteArrayLiteral("/answer/\r\nSessionId: 14\r\n\r") : QByteArrayLiteral("/back/\r\n");
    case Fault::Oversized: {
        const qint64 total = std::max<qint64>(arg > 0 ? arg : 70000, 65536);
        QByteArray b = answerBatch(14, QByteArrayLiteral("{\"result\":[{\"product_name\":\""));
        const QByteArray tail = QByteArrayLiteral("\"}]}");
        b.append(QByteArray(int(std::max<qint64>(0, total - b.size() - tail.size())), 'p'));
        return b + tail;
    }
    case Fault::MegabyteBody: {
        QByteArray body = QByteArrayLiteral("{\"result\":[{\"product_name\":\"");
        const QByteArray tail = QByteArrayLiteral("\"}]}");
        body.append(QByteArray(1024 * 1024 - body.size() - tail.size(), 'm'));
        return answerBatch(14, body + tail);
    }
    case Fault::LongSession:
        return QByteArrayLiteral("/answer/\r\nSessionId: 123456789012345678901234567890\r\n\r\n{\"result\":[]}");
    case Fault::MonitorFrames:
        return QByteArrayLiteral("7:12345678901234567890:..!{}1:99999999999999999999:..!device_id=x");
    case Fault::NulBytes:
        return QByteArray("/back/\0\r\n\r\n\0/heart/\0\r\n\r\n", 24);
    case Fault::BadUtf8:
        return answerBatch(14, QByteArrayLiteral("{\"result\":[{\"product_name\":\"\xFF\xFE\xC3\x28\xED\xA0\x80\"}]}"));
    case Fault::TwoBatches:
        return kAck + kHeart;
    }
    return QByteArray();
}

bool RelayPeer::inject(Fault fault, qint64 arg, quint32 seed)
{
    Conn* c = current();
    if (!c)
        return false;
    logEvent(QStringLiteral("fault"), c->id, QStringLiteral("%1 %2 %3").arg(int(fault)).arg(arg).arg(seed));
    queueBatch(c, faultBytes(fault, arg, seed), now());
    return true;
}

// ---------------------------------------------------------------- commands

QString RelayPeer::runCommand(const QString& line, bool* quit)
{
    const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString cmd = w.value(0);
    auto error = [](const QString& t) { return QStringLiteral("error: %1").arg(t); };
    qint64 n = 0;
    if (cmd == QLatin1String("quit") || cmd == QLatin1String("exit")) {
        if (quit)
            *quit = true;
        return QStringLiteral("bye");
    }
    if (cmd == QLatin1String("help"))
        return commandHelp().trimmed();
    if (cmd == QLatin1String("status"))
        return summary().trimmed();
    if (cmd == QLatin1String("heart")) {
        heartbeat();
        return current() ? QStringLiteral("heart") : error(QStringLiteral("not connected"));
    }
    if (cmd == QLatin1String("heartbeat")) {
        if (w.size() != 2 || !toInt(w[1], 0, 3600000, &n))
            return error(QStringLiteral("usage: heartbeat MS (0 none)"));
        setHeartbeatPeriod(int(n));
        return QStringLiteral("heartbeat %1").arg(n);
    }
    if (cmd == QLatin1String("reline")) {
        reline();
        return current() ? QStringLiteral("reline") : error(QStringLiteral("not connected"));
    }
    if (cmd == QLatin1String("ack")) {
        const QString sub = w.value(1);
        if (w.size() == 2 && (sub == QLatin1String("on") || sub == QLatin1String("off"))) {
            setWithholdAll(sub == QLatin1String("off"));
            if (sub == QLatin1String("on")) {
                setWithholdTypes({});
                opt_.withholdFirst = 0;
            }
            return QStringLiteral("ack %1").arg(sub);
        }
        QSet<int> types;
        if (w.size() == 3 && sub == QLatin1String("withhold") && parseTypes(w[2], &types)) {
            setWithholdTypes(types);
            return QStringLiteral("ack withhold %1").arg(w[2]);
        }
        if (w.size() == 3 && sub == QLatin1String("first") && toInt(w[2], 0, 1000000000, &n)) {
            setWithholdFirst(int(n));
            return QStringLiteral("ack first %1").arg(n);
        }
        if (w.size() == 3 && sub == QLatin1String("delay") && toInt(w[2], 0, 3600000, &n)) {
            setAckDelay(int(n));
            return QStringLiteral("ack delay %1").arg(n);
        }
        if (w.size() == 3 && sub == QLatin1String("double") && (w[2] == QLatin1String("on") || w[2] == QLatin1String("off"))) {
            setDoubleAcks(w[2] == QLatin1String("on"));
            return QStringLiteral("ack double %1").arg(w[2]);
        }
        return error(QStringLiteral("usage: ack on|off | withhold TYPES | first N | delay MS | double on|off"));
    }
    if (cmd == QLatin1String("answers")) {
        if (w.size() != 2 || (w[1] != QLatin1String("on") && w[1] != QLatin1String("off")))
            return error(QStringLiteral("usage: answers on|off"));
        setAnswers(w[1] == QLatin1String("on"));
        return QStringLiteral("answers %1").arg(w[1]);
    }
    if (cmd == QLatin1String("connect2")) {
        return openSecondConnection() ? QStringLiteral("connecting a second connection")
                                      : error(QStringLiteral("not running"));
    }
    if (cmd == QLatin1String("close-after")) {
        if (w.size() != 2 || !toInt(w[1], 0, 1000000000, &n))
            return error(QStringLiteral("usage: close-after N"));
        setCloseAfter(int(n));
        return QStringLiteral("close-after %1").arg(n);
    }
    if (cmd == QLatin1String("read")) {
        if (w.size() == 2 && w[1] == QLatin1String("stop")) {
            setReadsStopped(true);
            return QStringLiteral("read stop");
        }
        if (w.size() == 2 && w[1] == QLatin1String("normal")) {
            setReadsStopped(false);
            setReadRate(0);
            return QStringLiteral("read normal");
        }
        if (w.size() == 3 && w[1] == QLatin1String("rate") && toInt(w[2], 1, 1000000000, &n)) {
            setReadRate(int(n));
            return QStringLiteral("read rate %1").arg(n);
        }
        return error(QStringLiteral("usage: read rate N | stop | normal"));
    }
    if (cmd == QLatin1String("fault")) {
        Fault f;
        qint64 arg = 0, seed = 1;
        if (w.size() < 2 || w.size() > 4 || !faultFromName(w[1], &f) || (w.size() >= 3 && !toInt(w[2], 0, qint64(1) << 30, &arg))
            || (w.size() == 4 && !toInt(w[3], 0, 0xFFFFFFFFll, &seed)))
            return error(QStringLiteral("usage: fault garbage|truncated|oversized|megabyte|long-session|"
                                        "monitor-frames|nul|bad-utf8|two-batches [ARG [SEED]]"));
        return inject(f, arg, quint32(seed)) ? QStringLiteral("fault %1").arg(w[1]) : error(QStringLiteral("not connected"));
    }
    if (cmd == QLatin1String("abort")) {
        if (w.size() == 2 && w[1] == QLatin1String("mid-frame")) {
            abortMidFrame();
            return QStringLiteral("abort armed for the next frame");
        }
        if (w.size() != 1)
            return error(QStringLiteral("usage: abort [mid-frame]"));
        const bool had = current();
        abortNow();
        return had ? QStringLiteral("abort") : error(QStringLiteral("not connected"));
    }
    if (cmd == QLatin1String("close")) {
        const bool had = current();
        closeNow();
        return had ? QStringLiteral("close") : error(QStringLiteral("not connected"));
    }
    return error(QStringLiteral("unknown command \"%1\" (try help)").arg(cmd));
}

// ---------------------------------------------------------------- read-outs

bool RelayPeer::isConnected() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connectedNow_;
}

int RelayPeer::connectionCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connectionsMade_;
}

int RelayPeer::messageCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (int v : counts_)
        n += v;
    return n;
}

QMap<int, int> RelayPeer::counts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

int RelayPeer::violationCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return violationTotal_;
}

QStringList RelayPeer::violations() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return violations_;
}

std::vector<Message> RelayPeer::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

int RelayPeer::acksSent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return acks_;
}

int RelayPeer::batchesSent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return batches_;
}

qint64 RelayPeer::logBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return logBytes_;
}

QString RelayPeer::summary() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    int total = 0;
    for (int v : counts_)
        total += v;
    QString s = QStringLiteral("relaypeer: %1 messages on %2 connections, %3 acks\n").arg(total).arg(connectionsMade_).arg(acks_);
    for (auto it = counts_.cbegin(); it != counts_.cend(); ++it)
        s += QStringLiteral("  type %1: %2\n").arg(it.key(), 2).arg(it.value());
    s += QStringLiteral("relaypeer: %1 violations\n").arg(violationTotal_);
    const int shown = std::min<int>(violations_.size(), 50);
    for (int i = 0; i < shown; ++i)
        s += QStringLiteral("  %1\n").arg(violations_[i]);
    if (shown < violationTotal_)
        s += QStringLiteral("  ... %1 more\n").arg(violationTotal_ - shown);
    return s;
}

// ---------------------------------------------------------------- log

void RelayPeer::logLine(const QByteArray& json)
{
    if (!log_ || logCapped_)
        return;
    static const QByteArray marker = QByteArrayLiteral("{\"event\":\"log capped\"}\n");
    qint64 size;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        size = logBytes_;
    }
    QByteArray line = json + '\n';
    if (size + line.size() + marker.size() > opt_.logCap) {
        line = marker;
        logCapped_ = true;
    }
    log_->write(line);
    log_->flush();
    std::lock_guard<std::mutex> lock(mutex_);
    logBytes_ += line.size();
}

void RelayPeer::logEvent(const QString& event, int connection, const QString& detail)
{
    QJsonObject o{{QStringLiteral("t"), now()}, {QStringLiteral("event"), event}};
    if (connection > 0)
        o.insert(QStringLiteral("conn"), connection);
    if (!detail.isEmpty())
        o.insert(QStringLiteral("detail"), detail);
    logLine(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace relaypeer
