#pragma once
// The USB image copy: finds and mounts a USB disk by itself, keeps a short
// queue of result pictures and writes them into a dated folder layout on the
// disk ("<mount point>/monitor_<tag>/<yyyyMMdd>/camera<c>/detect<d>/NG"),
// dropping the queue while no disk is mounted.
//
// One instance, made by main and started once; its passes run on a thread
// of its own (a task that never ends would hold one of the global pool's
// threads for good, and a two-core panel's pool has two).  The writer thread
// only queues: making folders, pruning days and writing run on the worker,
// so the writer never waits for the disk.
#include <QImage>
#include <QMap>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class Copy2MoveDisk : public QObject {
    Q_OBJECT
public:
    static Copy2MoveDisk* _instance;
    static Copy2MoveDisk* instance();   // makes it on first use, without starting it

    // A picture offered while this many wait is dropped: caps the memory a
    // slow disk can hold.
    static constexpr int kQueueLimit = 11;
    // Day folders kept in "monitor_<tag>".
    static constexpr int kDayLimit = 365;
    static constexpr int kPassIntervalMs = 50;
    static constexpr int kBlkidWaitMs = 500;
    static constexpr int kMountWaitMs = 1000;

    explicit Copy2MoveDisk(QObject* parent = nullptr);
    ~Copy2MoveDisk() override;   // stops the worker

    // Starts the worker thread and returns at once; a second call while it
    // runs does nothing.
    void start();
    // Sets stopFlag, wakes the worker and waits for it: it ends within the
    // pass it is in.  For tests and the program's orderly end.
    void stop();
    bool started() const { return started_; }

    // Offers a written result picture (folder: absolute path of its folder
    // below "alarmimage", baseName: its file name without ".jpg").  Only
    // computes the target and queues it: safe from any thread, never waits
    // for the disk.  Nothing is queued while no disk is mounted.
    void add_map_actqueue(const QString& folder, const QString& baseName, const QImage& picture);

    // One worker pass without the pause before it: the mount check, then
    // either the queue dropped (no disk) or the first waiting picture
    // written.  The worker's body; tests and the benchmark drive it directly.
    void runPass();
    // The mount check of every pass; true when a disk is mounted for the copy.
    bool find_movedisk();
    // Unmounts the mount point (waiting for its users) after the copy's disk
    // went away.
    void clear_mount();

    // Where the USB disk is mounted, empty while none is.  Written by the
    // worker, read by the writer thread and the status strip: both go
    // through the lock and the reader gets a copy.
    QString mountPath() const;
    void setMountPath(const QString& path);
    // The system disk's tag in the folder name; fixed by the first blkid
    // listing that finished.
    QString diskTag() const;
    int queuedPictures() const;

private:
    void workerLoop();
    void writeNext();
    void dropQueue();
    void becomeUnmounted();
    void takeOver(const QString& device);
    bool mountCandidate(const QStringList& candidates);
    void logChange(const QString& line);

    std::atomic<bool> stopFlag{false};
    std::thread worker_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<bool> started_{false};

    // Standard locks rather than Qt's, so that the race checker sees every
    // hand-over between the writer, the worker and the GUI thread.
    // Target path -> picture; the first key is written first.
    QMap<QString, QImage> queue;
    mutable std::mutex queueMutex;

    mutable std::mutex mountMutex_;   // guards the three below
    QString mountPath_;
    QString diskTag_;
    bool tagFixed_ = false;

    // Worker only: the device this object mounted or took over, and the last
    // problem logged (a failing mount is retried every pass, logged once).
    QString device_;
    QString lastLogged_;
};
