#pragma once
// The records subsystem as the main window reaches it (RecordsPort): the
// program's start-up installs one before the window is built.  It owns the
// records writer (one thread for every record file's writes) and hands the
// cycle its statistics and cycle-time sinks.  GUI thread only.
#include "cycleports.h"
#include "recordsport.h"

#include <memory>

class RecordsWriter;

class RecordsSeam : public RecordsPort {
public:
    // batchIntervalMs: the writer's batch interval (tests shorten it).
    explicit RecordsSeam(int batchIntervalMs = 1000);
    ~RecordsSeam() override;

    // UserManager::instance, made (and its file opened) when it does not
    // exist yet.
    void openUserStore() override;
    // Nobody logged in; the store is made first when it does not exist yet.
    void logOutUser() override;

    // DetectCycleSQL::instance, made when missing.
    void openCycleLog() override;
    // gpResStatisticsParam, made when missing, then the statistics page.
    QWidget* openStatistics(const QString& statisticsDir) override;
    // gpMyxls, made when missing.
    void makeExport() override;
    StatsSink* statsSink() override { return &stats_; }
    CycleLog* cycleLog() override { return &cycleLog_; }
    // Writes what the writer holds and closes its connections.
    void flushAll() override;

    RecordsWriter& writer();

protected:
    // The statistics page over gpResStatisticsParam (no parent); it
    // installs itself as the store's StatisticsObserver and runs its Export
    // button through StatisticsExport.  Null while there is no page.
    virtual QWidget* makeStatisticsPage();

private:
    // The cycle's sinks: they reach the stores as they exist at the call.
    class Stats : public StatsSink {
    public:
        void Add(const QDateTime& at, bool isOK, int camera, int detection) override;
    };
    class Log : public CycleLog {
    public:
        explicit Log(RecordsSeam& seam) : seam_(seam) {}
        void insertDate(const QString& roundstart, double roundtime) override;
        QDate logDate() const override;
        void checkDate() override;
    private:
        RecordsSeam& seam_;
    };

    const int batchIntervalMs_;
    std::unique_ptr<RecordsWriter> writer_;
    Stats stats_;
    Log cycleLog_{*this};
};
