#pragma once
// The result-picture writer: a thread of its own that watches the pending
// flags of the picture store (failimagestore.h), writes each flagged picture
// as a JPEG into the NG or OK folder of its camera and detection under a
// running number and a time stamp, keeps every folder at its size, hands
// the picture to the USB copy and announces it to the relay.
//
// One pass over the store is processOnce(), so tests drive the writer pass
// by pass with a fake sleep; run() repeats it until interrupted.
#include "globals.h"

#include <QImage>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

class Clock;
class QObject;
class RelayLink;

class SaveFialImageThread : public QThread {
    Q_OBJECT
public:
    struct Ports {
        // failImageDirs of the main window: [camera][detection][0 NG, 1 OK],
        // built before the thread starts and never changed afterwards.
        const QString (*dirs)[kDetections][2] = nullptr;
        // failImageSerial: the next picture's number; this thread is its
        // only writer once it runs.
        qint64* serial = nullptr;
        // Read on every pass: cameras and detections to visit, pictures kept.
        std::function<int()> cameras;
        std::function<int()> detections;
        std::function<int()> keepNg;
        std::function<int()> keepOk;
        // The relay announcements are posted in order to context's thread
        // (the GUI thread, which owns the link and its statistics record);
        // relayOn is asked there, just before they are sent.
        RelayLink* relay = nullptr;
        QObject* context = nullptr;
        std::function<bool()> relayOn;
        // The USB copy: folder (absolute), base name, picture.
        std::function<void(const QString&, const QString&, const QImage&)> usbCopy;
        // Waits and the local time of the names; the real ones when empty.
        std::function<void(int ms)> sleep;
        Clock* clock = nullptr;
    };

    explicit SaveFialImageThread(Ports ports, QObject* parent = nullptr);
    ~SaveFialImageThread() override;

    // One pass over every camera and detection; returns the pictures written.
    int processOnce();

    // Files written, and writes that failed (counted for tests and the log).
    int written() const { return written_; }
    int failed() const { return failed_; }

protected:
    void run() override;

private:
    Ports p_;
    std::atomic<int> written_{0};
    std::atomic<int> failed_{0};
};

// The writer of the running program, started by the main window.
extern SaveFialImageThread* gpSaveFialImageThread;

// The pictures to delete before one more is written into a folder that
// keeps `keep`: "*.jpg" names ordered by the number before the first "_",
// highest first (no number counts as 0), from position keep - 1 on.  A
// keep of 0 deletes nothing (the kind is not written).
QStringList PruneVictims(const QStringList& jpgNames, int keep);

// The relay's form of a picture path: the current directory cut out and
// "." in front ("./alarmimage/...").
QString RelayRelativePath(const QString& absolutePath, const QString& currentDir);
