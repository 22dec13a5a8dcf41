#pragma once
// The live-video share: one System V shared-memory segment per share holding
// the latest frame as I420, and one System V semaphore that the writer (this
// program) and the reader (the relay) take around each copy.
//
// Keys: ftok(paths().ipcKeyPath, 1000 + id) for the segment and
// ftok(…, 2000 + id) for the semaphore.  ftok keeps only the low 8 bits of
// the project id, so the relay learns the objects by the ids sent in the
// description, never by recomputing keys.
//
// Objects are made owner-only (0600): the relay is started by this program
// and runs as its user.  They are removed (after detaching) at every orderly
// end: when the set that made them is destroyed, and at process exit
// (std::exit, which Exit() and the terminator reach, or the return from
// main).  A segment of the key left by an earlier run that is too small for
// the new size is removed and made again.
//
// Threads: the set is used from the GUI thread; one worker thread converts
// the handed-over BGRA frames to I420, takes the semaphore with a time limit
// and copies into the segment.  A frame the worker has not yet taken is
// replaced by a newer one; a frame that could not take the semaphore in time
// is skipped.  Both are counted.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct cJSON;

// One System V semaphore set of one semaphore, used as a binary lock.
// Every operation does nothing (and fails) while semid is -1.
class CNT_Semaphore {
public:
    static constexpr int kTakeLimitMs = 20;

    explicit CNT_Semaphore(int key) : key(key) {}
    int key;
    int semid = -1;

    // Makes (or finds) the set with mode 0600 and sets semaphore 0 to 1;
    // semid is kept only when both succeeded.  Returns semget's result.
    int create_sem(int n);
    // Takes the semaphore, waiting at most limitMs; undone by the kernel
    // should this process end while holding it.  False: not taken.
    bool P_sem(int limitMs = kTakeLimitMs);
    // Gives it back (undo adjusted too, so the two cancel).
    bool V_sem();
    // Back to free (1) whatever it was: whoever held it no longer does.
    // The kernel clears every process's undo records of it as well.
    bool retInitPV();
    // Current value; -1 when unknown.
    int value() const;
    // Removes the set from the system.
    bool remove();
};

// One registered share, keyed by its id.
struct VideoShareInfo {
    int cameraid = 0;      // camera slot 0..7, 0 for the screen
    int width = 0;         // even: an odd registered size is rounded down
    int height = 0;
    int size = 0;          // width * height * 3 / 2
    int shmid = -1;        // -1: not made
    int semid = -1;        // -1: not made
    void* address = nullptr;
    CNT_Semaphore* semaphore = nullptr;   // owned by the VideoShareSet
    int fps = 5;
};

// The frame rate announced for a stored index (clamped into 0..4).
int VideoShareFps(int index);

// {"memoryinfo": []} and the entry of one share, in the key order the relay
// reads: shmid, semid, cameraid, size, width, height, fps.
using JsonObject = std::unique_ptr<cJSON, void (*)(cJSON*)>;
JsonObject NewMemoryInfo();
void AppendMemoryInfo(cJSON* memoryInfo, const VideoShareInfo& share);
QByteArray PrintMemoryInfo(const cJSON* memoryInfo);

// Counters of one share's worker copies.
struct VideoShareStats {
    quint64 copied = 0;
    quint64 replaced = 0;      // handed over before the worker took the previous one
    quint64 skippedBusy = 0;   // the semaphore was not free within the limit
};

// The shares' system objects and their worker.
class VideoShareSet {
public:
    struct Options {
        int takeLimitMs = CNT_Semaphore::kTakeLimitMs;
    };
    VideoShareSet();
    explicit VideoShareSet(const Options& options);
    ~VideoShareSet();
    VideoShareSet(const VideoShareSet&) = delete;
    VideoShareSet& operator=(const VideoShareSet&) = delete;

    // Makes (or remakes) the objects of share id with keys from keyPath.
    // width and height are rounded down to even.  A key that cannot be made
    // (missing key file) or an object that cannot be made leaves -1, logged.
    // A share of the same id made earlier is released first.
    VideoShareInfo make(const QString& keyPath, int id, int width, int height, int fps);

    // GUI thread: copies a BGRA frame (rows of bytesPerLine bytes, at least
    // the share's width and height) into the share's hand-over buffer and
    // wakes the worker.  False when the share has no segment or semaphore.
    bool handOver(int id, const uchar* bgra, int bytesPerLine);
    // Every share's semaphore back to 1, never in the middle of a copy, and
    // frames not yet taken dropped.
    void releaseAll();
    // Detaches and removes every object and stops the worker.
    void removeAll();

    VideoShareStats stats(int id) const;
    // Waits until no frame waits and no copy runs; false after limitMs.
    bool waitIdle(int limitMs) const;
    int takeLimitMs() const { return options_.takeLimitMs; }

private:
    struct Slot;
    void run();
    void startWorker();
    void stopWorker();
    static void releaseObjects(Slot& slot);

    Options options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    mutable std::condition_variable idle_;
    std::map<int, std::unique_ptr<Slot>> slots_;
    std::vector<std::unique_ptr<CNT_Semaphore>> semaphores_;   // never freed while the set lives
    std::thread worker_;
    bool stopping_ = false;
    int busy_ = 0;   // copies in progress
};

// Objects of the current IPC namespace made by this process and not yet
// removed (for tests and the exit path).
int VideoShareObjectsAlive();
