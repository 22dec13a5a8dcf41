#pragma once
// What the rest of the program asks of the link to the plant data relay.
// Every send only queues a message and returns at once; none reports a
// result.  The link itself (remotelink/) implements this; tests use
// RecordingRelayLink.
#include "netcard.h"
#include "paramroirecord.h"

#include <QDateTime>
#include <QList>
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
    // The time stamp the camera views draw over the live picture while
    // the camera share sends them to the relay (empty: none).
    virtual QString viewStamp() const { return QString(); }

    // GUI thread only.  netCard: the interfaces as last read from the
    // system (its host name is the device id of every message); netCardEdit:
    // the copy the network page edits; serverConfigChanged: the relay's
    // server settings were rewritten and the relay must be restarted.
    NetCard netCard;
    NetCard netCardEdit;
    bool serverConfigChanged = false;

    // Starts (or restarts) the relay process; nothing while the link is off.
    virtual void CNT_ReStart();

    // The senders.  Each hands its message to deliver() as one line of text
    // until the full link frames the messages itself.
    virtual void CNT_SendRecord(const QDateTime& time, const QString& level, const QString& text);
    virtual void CNT_SendParam();
    virtual void CNT_SendROIParam(int camera, int detection);
    virtual void CNT_SendTempPic(const QString& path);
    // camera and detection counted from 1, as the callers pass them.
    virtual void CNT_SendDelTempPic(int camera, int detect, const QString& name);
    // The results of one detection's areas, its verdict (true = NG) and what
    // triggered it.
    virtual void CNT_SendStatistics_Once(const QList<param_roi>& list, bool ng, int trigger);
    // NG video marker: isng 1 when an alarm starts, 0 when it is released.
    virtual void CNT_SendSaveNgVideo(int camera, int isng);
    // Technician notice: detection index and its number of NG areas.
    virtual void CNT_SendTelInfo(int detection, int count);
    // Counts one NG area in the statistics record.
    virtual void ChkandAddStaticticsItem(int camera, int detection, int area);
    // Sends the statistics record; image is "null" or a picture path.
    virtual void CNT_SendStatistics(const QString& image);
    // Adds the duration of a released alarm, in milliseconds.
    virtual void CNT_AddNgTimes(int ms);
    // The alarm was released.
    virtual void CNT_SendCancle();
    // A result picture was written (absolute path of the JPEG).
    virtual void CNT_SendAlarmPic(const QString& path);
    // Detection was started or stopped by hand.
    virtual void CNT_SendManualStop();
    // The live-video shares registered so far.
    virtual void CNT_SendMemoryInfo();
    // Registers the live-video share of camera slot id: frame is the slot's
    // RGB32 view pixels (width x height x 4 bytes), read on the GUI thread
    // while sharing; the caller keeps it alive and never moves it.
    virtual void CNT_AddUseMemory(int id, int width, int height, void* frame) = 0;

protected:
    // Takes one message; may be called from any thread.
    virtual void deliver(const QString& line) = 0;
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

// link can take a message: its server listens and, when needAlive, the
// relay is connected with a fresh heartbeat.
inline bool RelayReady(const RelayLink* link, bool needAlive)
{
    return link && link->serverOpen() && (!needAlive || link->linkAlive());
}

// The same for the program's link, gpNet.
inline bool RelayReady(bool needAlive) { return RelayReady(gpNet, needAlive); }

// Keeps every call as one line of text, for tests.
class RecordingRelayLink : public RelayLink {
public:
    bool open = true;
    bool alive = true;
    // What viewStamp answers (empty: the camera share is not running).
    QString stamp;
    bool serverOpen() const override { return open; }
    bool linkAlive() const override { return alive; }
    QString viewStamp() const override { return stamp; }
    // Recorded as "usememory ID W H 0xADDRESS".
    void CNT_AddUseMemory(int id, int width, int height, void* frame) override;
    QStringList calls() const;
    void clear();

protected:
    void deliver(const QString& line) override;

private:
    mutable QMutex mutex_;
    QStringList calls_;
};

class QImage;
// Draws stamp as the live-video share shows it: green, 50 px, right-aligned
// and vertically centred in the picture's lowest 100 rows.
void PaintViewStamp(QImage& view, const QString& stamp);
