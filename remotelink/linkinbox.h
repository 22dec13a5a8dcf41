#pragma once
// Work handed to the link's thread from any thread, run there in the order
// posted.  The inbox's own mutex is the hand-over, so the race checker sees
// it (it cannot see inside Qt's event queue, which a posted functor would
// cross); one queued call by name then drains the inbox.
#include <QMetaObject>
#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class LinkInbox {
public:
    // drainSlot: a slot or Q_INVOKABLE of receiver that calls drain().
    LinkInbox(QObject* receiver, const char* drainSlot) : receiver_(receiver), drainSlot_(drainSlot) {}

    void post(std::function<void()> work)
    {
        bool wasEmpty;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            wasEmpty = queue_.empty();
            queue_.push_back(std::move(work));
        }
        // A non-empty inbox already has its drain on the way.
        if (wasEmpty)
            QMetaObject::invokeMethod(receiver_, drainSlot_, Qt::QueuedConnection);
    }

    // On the receiver's thread: runs everything posted so far.
    void drain()
    {
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty())
                    return;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }

    // Nothing waits to be run.
    bool empty() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.empty();
    }

private:
    QObject* receiver_;
    const char* drainSlot_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};
