#pragma once
// The send machine of the relay link.  It keeps the old worker's name but
// is no thread: it runs on the link's thread, driven by an ack timer and a
// stall check, and never waits.  One message is in flight at a time; the
// relay's acks carry no identity, so an ack counts only while a written
// message awaits one.
#include "cycletimer.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include "linkinbox.h"

#include <QObject>

#include <functional>
#include <memory>

// What the machine needs of the relay connection; the link wraps its
// current socket, tests use a fake.
class RelayConnection {
public:
    virtual ~RelayConnection() = default;
    virtual bool present() const = 0;
    virtual qint64 write(const QByteArray& bytes) = 0;
    virtual qint64 bytesToWrite() const = 0;
    virtual void abort() = 0;
};

struct CntSendLimits {
    int ackMs = 5000;
    int maxMessages = 10000;
    qint64 maxBytes = 16LL * 1024 * 1024;      // framed bytes waiting
    qint64 maxUnsent = 4LL * 1024 * 1024;      // the connection's unsent bytes
    int stallMs = 30000;                       // unsent bytes and none going out
    int stallCheckMs = 1000;
    int dropSummaryMs = 60000;
    int dropLinesPerEpisode = 10;
};

class CNT_Thread : public QObject {
    Q_OBJECT
public:
    // alive tells whether the link may send (the link's linkAlive).
    CNT_Thread(CycleTimerFactory& timers, RelayConnection& connection, std::function<bool()> alive,
               CntSendLimits limits = {}, QObject* parent = nullptr);
    ~CNT_Thread() override;

    // Any thread: queues a framed message of the given type; from another
    // thread the call is posted to this object's thread (order kept).
    void post(int type, const QByteArray& frame);

    // The rest on this object's thread only.
    void append(int type, const QByteArray& frame);
    // Writes the head when a connection is present, the link alive and
    // nothing is in flight.
    void trySend();
    // The relay acknowledged; false when nothing awaited it (then ignored).
    bool ack();
    // The connection went or came, or linkAlive changed: the head goes out
    // again from its first attempt.
    void restartHead();

    bool inFlight() const { return inFlight_; }
    int attempts() const { return attempts_; }
    // Frames waiting, oldest (the head) first.
    QList<QByteArray> queued() const;
    qint64 queuedBytes() const;
    int dropped() const { return dropped_; }      // by the bound and for want of an ack
    int aborts() const { return aborts_; }
    const CntSendLimits& limits() const { return limits_; }

private slots:
    void drainInbox();

private:
    LinkInbox inbox_{this, "drainInbox"};
    struct Item {
        int type;
        QByteArray frame;
    };
    void onAckTimeout();
    void onStallCheck();
    void dropForBound(const Item& item, const char* why);
    void onDropSummary();

    RelayConnection& connection_;
    std::function<bool()> alive_;
    CntSendLimits limits_;
    std::unique_ptr<CycleTimer> ackTimer_;
    std::unique_ptr<CycleTimer> stallTimer_;
    std::unique_ptr<CycleTimer> dropSummaryTimer_;

    // Held only to append or take, never across a write.
    mutable QMutex queueLock;
    QList<Item> sendQueue_;
    qint64 queueBytes_ = 0;

    bool inFlight_ = false;
    int attempts_ = 0;
    int dropped_ = 0;
    int aborts_ = 0;
    int episodeDrops_ = 0;
    int unloggedDrops_ = 0;
    int dropsThisMinute_ = 0;

    // Output progress: bytes handed to the connection minus those still in it.
    qint64 handedOut_ = 0;
    qint64 lastGone_ = 0;
    qint64 lastProgressMs_ = 0;
};
