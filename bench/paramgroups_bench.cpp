// Speed of the parameter-group copies on the worker, in a local program
// directory: 8 cameras x 2 detections, each template folder with 10
// templates and the mask as 1280 x 1024 grey BMP files (1.25 MB each, 231 MB
// in all) and a PARAM.db of the first-start record:
//  - backup under a new name (the snapshot of PARAM.db, every file copied,
//    flushed and checked, the swap);
//  - restore of that group (checked, staged, the current set moved aside
//    and the staged set moved in).
// MB/s and files are reported.  As a CTest the pictures are 64 x 64, so
// the case stays short; the results are checked all the same.  Run by hand:
//   build/bench/paramgroups_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "globals.h"
#include "messages.h"
#include "paramgroups.h"
#include "testenv.h"
#include "wizardpara.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>

#include <string>

namespace {

constexpr int kCameras = 8;
constexpr int kDetectionsUsed = 2;
constexpr int kTemplates = 10;

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok)
        state.SkipWithError(what.c_str());
    return ok;
}

// The program directory: PARAM.db and the template folders; the bytes of
// all files.
qint64 makeProgram(TestEnv& env, int width, int height)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("benchParam"));
        db.setDatabaseName(env.path(QStringLiteral("PARAM.db")));
        if (!db.open() || !FirstStartParameters().SaveDatatoFile(db).ok)
            return -1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("benchParam"));
    // A grey BMP's size: headers, palette, the pixels.
    QByteArray picture(54 + 1024 + width * height, 0);
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 31 + i / width);
    qint64 bytes = 0;
    for (int c = 1; c <= kCameras; ++c)
        for (int d = 1; d <= kDetectionsUsed; ++d) {
            const QString folder = env.path(QStringLiteral("cammer%1%2").arg(c).arg(d));
            QDir().mkpath(folder);
            for (int t = 0; t <= kTemplates; ++t) {
                QFile f(folder + (t < kTemplates ? QStringLiteral("/template%1.bmp").arg(t) : QStringLiteral("/ignorepoint.bmp")));
                if (!f.open(QIODevice::WriteOnly) || f.write(picture) != picture.size())
                    return -1;
                bytes += picture.size();
            }
        }
    return bytes;
}

void BM_ParamGroup(benchmark::State& state)
{
    const bool restore = state.range(0) != 0;
    TestEnv env;
    const bool small = BenchRunsAsTest();
    const qint64 pictures = makeProgram(env, small ? 64 : 1280, small ? 64 : 1024);
    if (!check(state, pictures > 0, "program directory not written"))
        return;
    ParamGroups groups(QDir::currentPath());
    const int files = kCameras * kDetectionsUsed * (kTemplates + 1) + 1;
    if (restore && !check(state, groups.backup(QStringLiteral("mould"), kDetectionsUsed).ok, "group not made"))
        return;
    double bytes = 0;
    int round = 0;
    for (auto _ : state) {
        const QString name = QStringLiteral("g%1").arg(round++);
        const ParamGroups::Result r =
            restore ? groups.restore(QStringLiteral("mould"), kDetectionsUsed) : groups.backup(name, kDetectionsUsed);
        state.PauseTiming();
        if (!check(state, r.ok && r.files == files && r.bytes > pictures, "not done: " + r.detail.toStdString()))
            return;
        bytes += double(r.bytes);
        if (!restore)
            QDir(groups.groupDir(name)).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["MB_per_s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
    state.counters["files"] = files;
    state.counters["MB"] = double(pictures) / 1e6;
}
BENCHMARK(BM_ParamGroup)->Arg(0)->Arg(1)->ArgName("restore")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FillMessageTable();
    return RunRegisteredBenchmarks(argc, argv);
}
