#pragma once
// The statistics page's export (its Export button): the page is hidden and
// message 324 asks; then a worker finds the USB disk and keeps it held,
// builds the workbook into the program directory, copies it to the disk
// (flushed and checked for size), removes the local file, releases the disk
// and unmounts it ("sync", "umount").  Meanwhile a box without buttons shows
// message 326 with "k / n" (statistics files read).  No disk: 320, Yes
// tries again, No leaves the page hidden.  A disk that is missing, full or
// read-only during the copy: 320, Yes repeats the export, No gives up.  Any
// other failure shows kExportFailedMessage.  Success shows 147.  Every end
// but "No disk, No" shows the page again; a failed export keeps its local
// file.  One export at a time; the GUI thread never waits for the worker.
#include "myxls.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

class QWidget;
class WarnBox;

class StatisticsExport : public QObject {
public:
    static constexpr int kAskMessage = 324;
    static constexpr int kNoDiskMessage = 320;
    static constexpr int kProgressMessage = 326;
    static constexpr int kDoneMessage = 147;
    static constexpr int kExportFailedMessage = 3000;

    enum class Result { Done, Cancelled, NoDisk, DiskFailure, Failure };

    // store: the statistics store (its current day is exported from
    // memory); null: the current day is read from ResStatistics.db.
    explicit StatisticsExport(ResStatisticsParam* store, QObject* parent = nullptr);
    ~StatisticsExport() override;

    // Starts the dialogue; false (nothing happens) while one runs.
    bool start(QWidget* page);
    bool running() const { return running_; }
    // The progress box's text ("<326> k / n"); empty when none is shown.
    QString progressText() const { return progressText_; }

    // Seen on the worker at its steps ("search", "workbook", "copy",
    // "unmount"), for tests.
    std::function<void(const QString& step)> stepHook;
    // Called on the GUI thread at the end of a dialogue.
    std::function<void(Result result)> onFinished;

    // The free name of the export file in dir: "<stamp>.xlsx", or
    // "<stamp>_2.xlsx" ... when taken.
    static QString freeExportName(const QString& dir, const QString& stamp);

private:
    struct Outcome {
        Result result = Result::Failure;
        QString detail;
    };
    void launch();
    void finishWorker(const Outcome& outcome);
    void end(Result result, bool showPage);
    void setProgress(int k, int n);
    Outcome work(const StatisticsExportDay& current, const QString& stamp, int cameras,
                 const QString& archiveDir);

    ResStatisticsParam* store_;
    QPointer<QWidget> page_;
    WarnBox* progressBox_ = nullptr;
    QString progressText_;
    bool running_ = false;
    std::thread worker_;
};
