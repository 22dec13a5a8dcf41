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

struct Session {
    explicit Session(std::shared_ptr<Device> d) : dev(std::move(d)) {}
    ~Session() { dev->stopStream(); }

    std::shared_ptr<Device> dev;

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
            latest.width = f.width;
            latest.height = f.height;
            latest.format = f.format;
            latest.number = f.number;
            latest.data.assign(f.data.begin(), f.data.end());
            cv.notify_all();
        }, std::move(lost));
    }

    void stop()
    {
        dev->stopStream();
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
        out->data.assign(latest.data.begin(), latest.data.end());
        return true;
    }
};

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
