#pragma once
// What the rest of the program asks of the link to the plant data relay.
// Every send only queues a message and returns at once; none reports a
// result.  The link itself (remotelink/) implements this; tests use
// RecordingRelayLink.
#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

class RelayLink {
public:
    virtual ~RelayLink() = default;
    // The local server listens for the relay (remote system switched on at start-up).
    virtual bool serverOpen() const = 0;
    // The relay is connected and its heartbeat is fresh.
    virtual bool linkAlive() const = 0;

    virtual void CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text) = 0;
    virtual void CNT_SendParam() = 0;
    virtual void CNT_SendROIParam(int camera, int detection) = 0;
    virtual void CNT_SendTempPic(const QString& path) = 0;
    // camera and detection counted from 1, as the callers pass them.
    virtual void CNT_SendDelTempPic(int camera, int detect, const QString& name) = 0;
    // Registers the live-video share of camera slot id: frame is the slot's
    // RGB32 view pixels (width x height x 4 bytes), read on the GUI thread
    // while sharing; the caller keeps it alive and never moves it.
    virtual void CNT_AddUseMemory(int id, int width, int height, void* frame) = 0;
};

// One live-video share as registered.
struct VideoShareRegistration {
    int id = 0;
    int width = 0;
    int height = 0;
    void* frame = nullptr;
};

// The remote link, made by main before the main window; null before that.
extern RelayLink* gpNet;

// gpNet can take a message: its server listens and, when needAlive, the
// relay is connected with a fresh heartbeat.
inline bool RelayReady(bool needAlive)
{
    return gpNet && gpNet->serverOpen() && (!needAlive || gpNet->linkAlive());
}

// Keeps every call as one line of text, for tests.
class RecordingRelayLink : public RelayLink {
public:
    bool open = true;
    bool alive = true;
    bool serverOpen() const override { return open; }
    bool linkAlive() const override { return alive; }
    void CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text) override;
    void CNT_SendParam() override;
    void CNT_SendROIParam(int camera, int detection) override;
    void CNT_SendTempPic(const QString& path) override;
    void CNT_SendDelTempPic(int camera, int detect, const QString& name) override;
    // Recorded as "usememory ID W H 0xADDRESS".
    void CNT_AddUseMemory(int id, int width, int height, void* frame) override;
    QStringList calls() const;
    void clear();
private:
    void add(const QString& line);
    mutable QMutex mutex_;
    QStringList calls_;
};
