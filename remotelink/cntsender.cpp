#include "cntsender.h"

#include "clock.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>
#include <glog/logging.h>

CNT_Thread::CNT_Thread(CycleTimerFactory& timers, RelayConnection& connection, std::function<bool()> alive,
                       CntSendLimits limits, QObject* parent)
    : QObject(parent), connection_(connection), alive_(std::move(alive)), limits_(limits)
{
    ackTimer_ = timers.create([this] { onAckTimeout(); }, true);
    stallTimer_ = timers.create([this] { onStallCheck(); }, false);
    dropSummaryTimer_ = timers.create([this] { onDropSummary(); }, false);
}

CNT_Thread::~CNT_Thread() = default;

void CNT_Thread::post(int type, const QByteArray& frame)
{
    if (QThread::currentThread() == thread()) {
        append(type, frame);
        return;
    }
    // Copies go along, in the order posted.
    inbox_.post([this, type, frame] { append(type, frame); });
}

void CNT_Thread::drainInbox() { inbox_.drain(); }

void CNT_Thread::append(int type, const QByteArray& frame)
{
    Item item{type, frame};
    {
        QMutexLocker lock(&queueLock);
        // The message in flight stays; the oldest waiting ones give way.
        const int firstWaiting = inFlight_ ? 1 : 0;
        while ((sendQueue_.size() + 1 > limits_.maxMessages || queueBytes_ + frame.size() > limits_.maxBytes)
               && sendQueue_.size() > firstWaiting) {
            const Item old = sendQueue_.takeAt(firstWaiting);
            queueBytes_ -= old.frame.size();
            lock.unlock();
            dropForBound(old, "send queue full");
            lock.relock();
        }
        if (sendQueue_.size() + 1 > limits_.maxMessages || queueBytes_ + frame.size() > limits_.maxBytes) {
            lock.unlock();
            dropForBound(item, "message larger than the send queue");
            return;
        }
        sendQueue_.append(item);
        queueBytes_ += frame.size();
    }
    trySend();
}

void CNT_Thread::dropForBound(const Item& item, const char* why)
{
    ++dropped_;
    ++dropsThisMinute_;
    if (episodeDrops_++ < limits_.dropLinesPerEpisode)
        LOG(WARNING) << "CNT: " << why << ", dropped type " << item.type << " length " << item.frame.size();
    else
        ++unloggedDrops_;
    if (!dropSummaryTimer_->isActive())
        dropSummaryTimer_->start(limits_.dropSummaryMs);
}

void CNT_Thread::onDropSummary()
{
    if (unloggedDrops_ > 0)
        LOG(WARNING) << "CNT: " << unloggedDrops_ << " more messages dropped from the full send queue";
    unloggedDrops_ = 0;
    if (dropsThisMinute_ == 0) {
        // A quiet minute ends the episode.
        dropSummaryTimer_->stop();
        episodeDrops_ = 0;
    }
    dropsThisMinute_ = 0;
}

void CNT_Thread::trySend()
{
    if (inFlight_ || !connection_.present() || !alive_())
        return;
    QByteArray head;
    {
        QMutexLocker lock(&queueLock);
        if (sendQueue_.isEmpty())
            return;
        head = sendQueue_.front().frame;
    }
    inFlight_ = true;
    ++attempts_;
    ackTimer_->start(limits_.ackMs);
    const qint64 n = connection_.write(head);
    if (n > 0)
        handedOut_ += n;
    if (!stallTimer_->isActive()) {
        lastGone_ = handedOut_ - connection_.bytesToWrite();
        lastProgressMs_ = appClock().monotonicMs();
        stallTimer_->start(limits_.stallCheckMs);
    }
    if (connection_.bytesToWrite() > limits_.maxUnsent)
        onStallCheck();
}

bool CNT_Thread::ack()
{
    if (!inFlight_)
        return false;
    ackTimer_->stop();
    {
        QMutexLocker lock(&queueLock);
        if (!sendQueue_.isEmpty())
            queueBytes_ -= sendQueue_.takeFirst().frame.size();
    }
    inFlight_ = false;
    attempts_ = 0;
    trySend();
    return true;
}

void CNT_Thread::onAckTimeout()
{
    if (!inFlight_)
        return;
    inFlight_ = false;
    if (attempts_ >= 2) {
        Item head;
        {
            QMutexLocker lock(&queueLock);
            if (!sendQueue_.isEmpty()) {
                head = sendQueue_.takeFirst();
                queueBytes_ -= head.frame.size();
            }
        }
        ++dropped_;
        LOG(WARNING) << "CNT: no ack, dropped type " << head.type << " length " << head.frame.size()
                     << " after " << attempts_ << " attempts";
        attempts_ = 0;
    }
    trySend();
}

void CNT_Thread::restartHead()
{
    ackTimer_->stop();
    stallTimer_->stop();
    inFlight_ = false;
    attempts_ = 0;
    handedOut_ = 0;
    trySend();
}

void CNT_Thread::onStallCheck()
{
    if (!connection_.present()) {
        stallTimer_->stop();
        return;
    }
    const qint64 unsent = connection_.bytesToWrite();
    const qint64 now = appClock().monotonicMs();
    const qint64 gone = handedOut_ - unsent;
    if (unsent == 0 || gone > lastGone_) {
        lastGone_ = gone;
        lastProgressMs_ = now;
        if (unsent == 0 && !inFlight_)
            stallTimer_->stop();
        return;
    }
    const bool overCap = unsent > limits_.maxUnsent;
    if (!overCap && now - lastProgressMs_ < limits_.stallMs)
        return;
    ++aborts_;
    LOG(WARNING) << "CNT: relay not reading (" << unsent << " bytes unsent"
                 << (overCap ? ", over the limit" : ", none taken for a while") << "), connection aborted";
    connection_.abort();
    // The queue stays; its head goes out again on the next connection.
    ackTimer_->stop();
    stallTimer_->stop();
    inFlight_ = false;
    attempts_ = 0;
    handedOut_ = 0;
}

QList<QByteArray> CNT_Thread::queued() const
{
    QMutexLocker lock(&queueLock);
    QList<QByteArray> out;
    out.reserve(sendQueue_.size());
    for (const Item& i : sendQueue_)
        out << i.frame;
    return out;
}

qint64 CNT_Thread::queuedBytes() const
{
    QMutexLocker lock(&queueLock);
    return queueBytes_;
}
