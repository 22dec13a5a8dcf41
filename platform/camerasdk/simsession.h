#pragma once
// One open camera of a facade: the device, the newest frame for the polled
// families, and a table from integer handles to sessions.  Internal to the
// facades.
#include "simcamerabus.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace camsim {

// The open check every family makes: the device must still be on the bus
// (else notFound), may carry an injected failure code, and must not be open
// already (else busy).  0 once the device is open for the caller.
inline int openDevice(Device& d, int notFound, int busy)
{
    if (!d.plugged())
        return notFound;
    if (d.openFailCode() != 0)
        return d.openFailCode();
    if (!d.tryOpen())
        return busy;
    return 0;
}

// Each family derives its own session and frees it through Session*.
struct Session {
    explicit Session(std::shared_ptr<Device> d) : dev(std::move(d)) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    virtual ~Session()
    {
        if (!closed)
            dev->stopStream();   // the sink refers to this session
    }

    std::shared_ptr<Device> dev;
    bool closed = false;   // close() has stopped the stream already

    // Polled delivery: the stream keeps the newest frame here.
    std::mutex m;
    std::condition_variable cv;
    Frame latest;
    uint64_t lastTaken = 0;
    bool acquiring = false;

    void startPolled(Device::LostHandler lost = {})
    {
        {
            std::lock_guard<std::mutex> lk(m);
            acquiring = true;
        }
        dev->startStream([this](const Frame& f) {
            std::lock_guard<std::mutex> lk(m);
            latest = f;   // reuses the buffer waitFrame swapped in
            cv.notify_all();
        }, std::move(lost));
    }

    void stop()
    {
        dev->stopStream();
        endAcquiring();
    }

    // Closes the device, which stops the stream, and wakes a waiting poll.
    void close()
    {
        dev->close();
        closed = true;
        endAcquiring();
    }

    void endAcquiring()
    {
        std::lock_guard<std::mutex> lk(m);
        acquiring = false;
        cv.notify_all();
    }

    // Waits for a frame newer than the last one taken; false on time-out,
    // when not acquiring or when the device is gone.
    bool waitFrame(Frame* out, int timeoutMs)
    {
        std::unique_lock<std::mutex> lk(m);
        cv.wait_for(lk, std::chrono::milliseconds(timeoutMs),
                    [this] { return !acquiring || latest.number > lastTaken; });
        if (!acquiring || latest.number <= lastTaken || !dev->plugged())
            return false;
        lastTaken = latest.number;
        out->width = latest.width;
        out->height = latest.height;
        out->format = latest.format;
        out->number = latest.number;
        // Swapped, not copied: latest.number stays, so a repeat call fails
        // until the next frame overwrites the caller's old buffer.
        out->data.swap(latest.data);
        return true;
    }
};

// Closes the session's device and frees the session.
inline void closeAndDelete(Session* s)
{
    s->close();
    delete s;
}

// Integer handles for the families whose SDKs use them.
class HandleTable {
public:
    int add(Session* s)
    {
        std::lock_guard<std::mutex> lk(m_);
        const int h = next_++;
        map_[h] = s;
        return h;
    }
    Session* get(int h)
    {
        std::lock_guard<std::mutex> lk(m_);
        auto it = map_.find(h);
        return it == map_.end() ? nullptr : it->second;
    }
    Session* take(int h)
    {
        std::lock_guard<std::mutex> lk(m_);
        auto it = map_.find(h);
        if (it == map_.end())
            return nullptr;
        Session* s = it->second;
        map_.erase(it);
        return s;
    }
private:
    std::mutex m_;
    std::map<int, Session*> map_;
    int next_ = 1;
};

} // namespace camsim
