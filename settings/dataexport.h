#pragma once
// The data export of the settings dialog ("Export DT"): message 324 asks;
// then a worker finds the USB disk and keeps it held to the end, and copies
// the program directory into "<disk>/<yyyy-MM-dd_hh.mm.ss>/<its own name>"
// ("_2", "_3" ... on a clash):
//  - the free space is checked against the size first, the mounts table
//    right before the copy (a disk that left would otherwise fill the system
//    disk through the bare mount folder);
//  - SQLite files go as snapshots (VACUUM INTO on the worker's own
//    connection), so a database written meanwhile arrives whole; their
//    journals stay behind;
//  - every file is checked on the disk (present, its size; a snapshot
//    opens and passes quick_check);
//  - only then are the raw pictures removed that were copied, from
//    "./originalimage/cammer<c><d>" for c 1..cameras, d 1..detections (the
//    folders stay, a picture that arrived during the copy stays too);
//  - the disk is released and unmounted ("sync", "umount"), and 147 shows.
// A box without buttons shows message 326 with "k / n" (files copied).
// No disk: 320, Yes tries again.  A disk that is missing, full or read-only:
// 320, Yes repeats the export.  Anything else: the "export failed" text.
// A failed export deletes nothing of the program directory.  One export at
// a time; the GUI thread never waits for the worker.
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <thread>

class ProgressBox;

class DataExport : public QObject {
public:
    static constexpr int kAskMessage = 324;
    static constexpr int kNoDiskMessage = 320;
    static constexpr int kDoneMessage = 147;

    enum class Result { Done, Cancelled, NoDisk, DiskFailure, Failure };

    explicit DataExport(QObject* parent = nullptr);
    ~DataExport() override;

    // Starts the dialogue; false (nothing happens) while one runs.
    bool start();
    bool running() const { return running_; }
    // The progress box's "k / n"; empty when none is shown.
    QString progressText() const { return progressText_; }
    // The folder the last finished export wrote ("<disk>/<stamp>").
    QString lastTarget() const { return lastTarget_; }

    // Seen on the worker at its steps ("search", "space", "copy", "verify",
    // "clear", "unmount"), for tests.  Set before start().
    std::function<void(const QString& step)> stepHook;
    // Free bytes below a path; QStorageInfo unless a test replaces it.
    std::function<qint64(const QString& path)> freeSpace;
    // Called on the GUI thread at the end of a dialogue.
    std::function<void(Result result)> onFinished;

    // The free name for a new export folder in dir: stamp, or stamp_2 ...
    static QString freeFolderName(const QString& dir, const QString& stamp);

    // What one export does, without the dialogue (the worker's body).
    struct Job {
        QString programDir;   // absolute
        QString stamp;
        int cameras = 0;
        int detections = 0;
    };
    struct Outcome {
        Result result = Result::Failure;
        QString detail;
        QString target;
        int files = 0;
        qint64 bytes = 0;
    };
    // Runs one export on the calling thread; progress(k, n) after each file.
    Outcome run(const Job& job, const std::function<void(int, int)>& progress);

private:
    void launch();
    void finishWorker(const Outcome& outcome);
    void end(Result result);
    void setProgress(int k, int n);

    ProgressBox* progressBox_ = nullptr;
    QString progressText_;
    QString lastTarget_;
    bool running_ = false;
    std::atomic<bool> stop_{false};   // the exporter goes: the worker ends early
    std::thread worker_;
};
