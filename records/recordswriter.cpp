#include "recordswriter.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <chrono>
#include <exception>
#include <glog/logging.h>

RecordsWriter::RecordsWriter(int batchIntervalMs) : intervalMs_(batchIntervalMs)
{
    setObjectName(QStringLiteral("RecordsWriter"));
    start();
}

RecordsWriter::~RecordsWriter()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        flushTarget_ = posted_;
    }
    wake_.notify_all();
    wait();
}

void RecordsWriter::post(std::function<void()> job, const QString& connection,
                         const QString& coalesceKey)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!coalesceKey.isEmpty()) {
            for (const Job& queued : queue_)
                if (queued.coalesceKey == coalesceKey)
                    return;
        }
        queue_.push_back(Job{std::move(job), connection, coalesceKey});
        ++posted_;
    }
    wake_.notify_all();
}

void RecordsWriter::flush()
{
    if (onWriterThread()) {
        // A job asking for a flush: what is queued runs right here, in order.
        std::deque<Job> jobs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs.swap(queue_);
        }
        runBatch(jobs);
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ += jobs.size();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const quint64 target = posted_;
    if (flushTarget_ < target)
        flushTarget_ = target;
    wake_.notify_all();
    done_.wait(lock, [&] { return finished_ >= target; });
}

void RecordsWriter::closeConnections()
{
    call([this] {
        for (const QString& name : std::as_const(connections_)) {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (db.isValid())
                db.close();
        }
    });
}

void RecordsWriter::adoptConnection(const QString& name)
{
    Q_ASSERT(onWriterThread());
    if (!connections_.contains(name))
        connections_ << name;
}

int RecordsWriter::batches() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return batches_;
}

void RecordsWriter::run()
{
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(intervalMs_);
    Clock::time_point lastBatch = Clock::now() - interval;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty() && stopping_)
            break;
        // Gather what comes within the interval into one batch, unless
        // someone waits for it.
        wake_.wait_until(lock, lastBatch + interval,
                         [&] { return stopping_ || flushTarget_ > finished_; });
        std::deque<Job> jobs;
        jobs.swap(queue_);
        lock.unlock();
        runBatch(jobs);
        lastBatch = Clock::now();
        lock.lock();
        finished_ += jobs.size();
        ++batches_;
        done_.notify_all();
    }
    lock.unlock();
    for (const QString& name : std::as_const(connections_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (db.isValid())
                db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    connections_.clear();
}

namespace {
void runGuarded(const std::function<void()>& job)
{
    try {
        job();
    } catch (const std::exception& e) {
        LOG(ERROR) << "records writer: a job failed: " << e.what();
    } catch (...) {
        LOG(ERROR) << "records writer: a job failed";
    }
}
}

void RecordsWriter::runBatch(std::deque<Job>& jobs)
{
    size_t i = 0;
    while (i < jobs.size()) {
        const QString connection = jobs[i].connection;
        size_t end = i + 1;
        if (!connection.isEmpty())
            while (end < jobs.size() && jobs[end].connection == connection)
                ++end;
        bool inTransaction = false;
        QSqlDatabase db;
        if (!connection.isEmpty()) {
            db = QSqlDatabase::database(connection, false);
            if (db.isValid() && (db.isOpen() || db.open()))
                inTransaction = db.transaction();
        }
        for (size_t k = i; k < end; ++k)
            runGuarded(jobs[k].run);
        if (inTransaction && !db.commit()) {
            LOG(ERROR) << "records writer: commit on " << connection.toStdString()
                       << " failed: " << db.lastError().text().toStdString();
            db.rollback();
        }
        i = end;
    }
}
