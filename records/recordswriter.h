#pragma once
// The records writer: one thread that owns the record stores' write
// connections ("dbResStatistics", "dbDetectCycle") and runs every write to
// them, so a verdict or a cycle on the GUI thread never waits for the disk.
//
// Jobs run in the order they were posted.  The writer wakes at most once
// per interval (1 s): what was posted meanwhile runs as one batch, and the
// jobs of one connection that follow each other in it share one
// transaction.  A coalesced job (a "save everything" of the statistics)
// is queued once until it has run: it reads the latest state when it runs.
// flush() and call() run what is queued at once and wait for it; roll-overs
// and exports use them, so nothing queued before them lands after them.
// The connections are made, used and removed on the writer's thread only.
#include <QString>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

class RecordsWriter : public QThread {
public:
    static constexpr int kBatchIntervalMs = 1000;

    explicit RecordsWriter(int batchIntervalMs = kBatchIntervalMs);
    // Runs what is queued, removes the writer's connections, ends the thread.
    ~RecordsWriter() override;

    // Queues job; connection: the Qt connection name whose transaction the
    // job joins (empty: none).  With coalesceKey set, the job is dropped
    // when one with the same key is still queued.
    void post(std::function<void()> job, const QString& connection = QString(),
              const QString& coalesceKey = QString());
    // Runs everything queued now and waits until it is done.
    void flush();
    // Runs everything queued, then fn on the writer's thread, and returns
    // its result.
    template <typename F>
    auto call(F fn) -> decltype(fn())
    {
        using R = decltype(fn());
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
        std::future<R> result = task->get_future();
        post([task] { (*task)(); });
        flush();
        return result.get();
    }

    // Closes the writer's connections (they open again when next used).
    void closeConnections();
    // Connection names opened on the writer's thread, removed at the end.
    void adoptConnection(const QString& name);

    bool onWriterThread() const { return QThread::currentThread() == this; }
    // Batches run so far (tests, benchmarks).
    int batches() const;

protected:
    void run() override;

private:
    struct Job {
        std::function<void()> run;
        QString connection;
        QString coalesceKey;
    };
    void runBatch(std::deque<Job>& jobs);

    const int intervalMs_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Job> queue_;
    quint64 posted_ = 0;      // jobs ever queued (dropped duplicates excluded)
    quint64 finished_ = 0;    // jobs ever run
    quint64 flushTarget_ = 0; // run at once up to here
    bool stopping_ = false;
    int batches_ = 0;
    QStringList connections_;
};
