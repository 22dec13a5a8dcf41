// Speed of the record stores on a generated program directory: 8 cameras of
// 8 detections filled, 31 archived statistics days.
//  - Add on the GUI thread while the records writer runs (median and p99
//    of single calls, in ms);
//  - a cycle-time insert on the GUI thread;
//  - the once-a-day roll-over pause of the statistics store;
//  - the statistics export of the month, from the answer Yes to the file on
//    the folder-disk (the boxes answered by the hook).
// Every case checks what it produced.  Run by hand:
//   build/bench/records_bench --benchmark_repetitions=3
#include "benchmain.h"
#include "benchstats.h"
#include "cameraglobals.h"
#include "detectcyclesql.h"
#include "myxls.h"
#include "recordswriter.h"
#include "resstatisticsparam.h"
#include "statisticsexport.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
}

void pinZone()
{
    qputenv("TZ", "CST-8");
    ::tzset();
}

// One archived day with every row in use filled with counts of a busy day.
bool writeDay(const QString& file, quint32 seed)
{
    if (!QFile::copy(QString::fromLatin1(ResStatisticsParam::kTemplate), file))
        return false;
    QRandomGenerator rng(seed);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("benchDay"));
        db.setDatabaseName(file);
        ok = db.open() && db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("update resstatistics set value1 = ?, value2 = ? where name = ?"));
        for (int c = 0; ok && c <= 8; ++c)
            for (int d = 0; ok && d <= 8; ++d) {
                HourCounts okHours{}, ngHours{};
                for (int h = 0; h < 24; ++h) {
                    okHours[h] = 200 + int(rng.bounded(200));
                    ngHours[h] = int(rng.bounded(16));
                }
                q.addBindValue(statisticsRowText(okHours));
                q.addBindValue(statisticsRowText(ngHours));
                q.addBindValue(statisticsRowName(c, d));
                ok = q.exec();
            }
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("benchDay"));
    return ok;
}

// The program directory of a month of statistics.
bool makeMonth(TestEnv& env)
{
    numCamera = 8;
    gDNum = 8;
    env.clock->set(QDateTime(QDate(2024, 2, 1), QTime(10, 0)));
    if (!ResStatisticsParam::makeTemplate(QString::fromLatin1(ResStatisticsParam::kTemplate)))
        return false;
    QDir().mkpath(QStringLiteral("ResStatistics"));
    for (int k = 0; k < 31; ++k) {
        const QString date = QDate(2024, 1, 1).addDays(k).toString(QStringLiteral("yyyy-MM-dd"));
        if (!writeDay(QStringLiteral("ResStatistics/%1.db").arg(date), quint32(k + 1)))
            return false;
    }
    return true;
}

void report(benchmark::State& state, std::vector<double>& samples)
{
    state.counters["median_ms"] = percentile(samples, 0.5);
    state.counters["p99_ms"] = percentile(samples, 0.99);
    state.counters["max_ms"] = largest(samples);
}

void BM_AddWithWriter(benchmark::State& state)
{
    pinZone();
    TestEnv env;
    if (!makeMonth(env)) {
        state.SkipWithError("cannot lay out the month");
        return;
    }
    RecordsWriter writer;
    ResStatisticsParam store(writer);
    std::vector<double> samples;
    QDateTime t = env.clock->now();
    int added = 0;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        store.Add(t, (added & 15) != 0, added % 8, (added / 8) % 8);
        samples.push_back(msSince(t0));
        ++added;
        t = t.addMSecs(5);   // stays within the day
    }
    store.flush();
    if (store.liveCounts.total.total.okTotal + store.liveCounts.total.total.ngTotal != added)
        state.SkipWithError("counts lost");
    report(state, samples);
}
BENCHMARK(BM_AddWithWriter)->Iterations(BenchRunsAsTest() ? 500 : 20000)->Unit(benchmark::kMicrosecond);

void BM_CycleTimeInsert(benchmark::State& state)
{
    pinZone();
    TestEnv env;
    env.clock->set(QDateTime(QDate(2024, 2, 1), QTime(10, 0)));
    RecordsWriter writer;
    DetectCycleSQL log(writer);
    std::vector<double> samples;
    QDateTime start = env.clock->now();
    int inserted = 0;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        log.insertDate({start.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")), 10.0});
        samples.push_back(msSince(t0));
        start = start.addMSecs(10);
        ++inserted;
    }
    log.flush();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("benchCount"));
    db.setDatabaseName(QStringLiteral("DetectCycle.db"));
    db.open();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select count(*) from detect_cycle")) || !q.next() || q.value(0).toInt() != inserted)
        state.SkipWithError("rows lost");
    q = QSqlQuery();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("benchCount"));
    report(state, samples);
}
BENCHMARK(BM_CycleTimeInsert)->Iterations(BenchRunsAsTest() ? 500 : 20000)->Unit(benchmark::kMicrosecond);

void BM_RollOverPause(benchmark::State& state)
{
    pinZone();
    TestEnv env;
    if (!makeMonth(env)) {
        state.SkipWithError("cannot lay out the month");
        return;
    }
    RecordsWriter writer;
    ResStatisticsParam store(writer);
    std::vector<double> samples;
    QDateTime day = env.clock->now();
    for (auto _ : state) {
        store.Add(day, true, 0, 0);
        day = day.addDays(1);
        const auto t0 = Steady::now();
        store.checkDate(day);
        samples.push_back(msSince(t0));
    }
    if (store.archiveNames().size() != 31 + qsizetype(state.iterations()))
        state.SkipWithError("a day was not archived");
    report(state, samples);
}
BENCHMARK(BM_RollOverPause)->Iterations(BenchRunsAsTest() ? 3 : 30)->Unit(benchmark::kMillisecond);

void BM_ExportMonth(benchmark::State& state)
{
    pinZone();
    TestEnv env;
    if (!makeMonth(env)) {
        state.SkipWithError("cannot lay out the month");
        return;
    }
    RecordsWriter writer;
    ResStatisticsParam store(writer);
    QDir().mkpath(paths().mountPoint);
    std::mutex m;
    QByteArray table = "/dev/sda1 / ext4 rw 0 0\n";
    env.writeFile(QStringLiteral("proc/mounts"), table);
    env.runner->setScript([&](const CommandCall& c) {
        std::lock_guard<std::mutex> lock(m);
        CommandResult r;
        if (c.program == QLatin1String("blkid"))
            r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
        if (c.program == QLatin1String("mount"))
            table += "/dev/sdb1 " + c.args[1].toLocal8Bit() + " vfat rw 0 0\n";
        if (c.program == QLatin1String("umount"))
            table = "/dev/sda1 / ext4 rw 0 0\n";
        env.writeFile(QStringLiteral("proc/mounts"), table);
        return r;
    });
    env.defaultAnswer = 1;
    QWidget page;
    StatisticsExport exporter(&store);
    std::vector<double> samples;
    int exports = 0;
    for (auto _ : state) {
        bool finished = false;
        StatisticsExport::Result result = StatisticsExport::Result::Failure;
        exporter.onFinished = [&](StatisticsExport::Result r) {
            result = r;
            finished = true;
        };
        const auto t0 = Steady::now();
        exporter.start(&page);
        while (!finished)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        samples.push_back(msSince(t0));
        if (result != StatisticsExport::Result::Done) {
            state.SkipWithError("export failed");
            return;
        }
        ++exports;
        env.clock->set(env.clock->now().addSecs(1));
    }
    const QStringList files = QDir(paths().mountPoint).entryList({QStringLiteral("*.xlsx")});
    if (files.size() != exports)
        state.SkipWithError("a file is missing on the disk");
    report(state, samples);
}
BENCHMARK(BM_ExportMonth)->Iterations(BenchRunsAsTest() ? 1 : 3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    pinZone();
    QApplication app(argc, argv);
    return RunRegisteredBenchmarks(argc, argv);
}
