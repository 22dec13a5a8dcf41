// Speed of the live-video share, on real System V objects keyed on a file
// of the benchmark's own (removed when it ends), with a relay connected on
// a free loopback port so that every refresh copies.
//  - CameraRefresh/N: the GUI thread's part of one refresh of N camera
//    shares at 1280 x 1024 (time stamp painted into each view, hand-over to
//    the worker), reported per share.  The worker's copies are awaited
//    outside the timed part.
//  - WorkerFrame/threads: the worker's time for one 1280 x 1024 frame
//    (BGRA to I420, semaphore, copy into the segment), from the hand-over
//    to the worker going idle, with OpenCV on one thread (1) and on its
//    default threads (0).
//  - ScreenShare/W/H: the GUI thread's part of one screen refresh (grab of
//    a window of that size, conversion, hand-over).
// Each case checks that its frames reached the segment.  Run by hand:
//   build/bench/videoshare_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "benchstats.h"
#include "cnt_net.h"
#include "globals.h"
#include "testenv.h"
#include "virtualscheduler.h"
#include "wizardpara.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <opencv2/core/utility.hpp>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double usSince(Steady::time_point t0)
{
    return std::chrono::duration<double, std::micro>(Steady::now() - t0).count();
}

void reportSamples(benchmark::State& state, const std::vector<double>& us, double per = 1)
{
    std::vector<double> scaled;
    for (double v : us)
        scaled.push_back(v / per);
    state.counters["median_us"] = percentile(scaled, 0.5);
    state.counters["p90_us"] = percentile(scaled, 0.9);
    state.counters["max_us"] = largest(scaled);
}

struct ShareBench {
    TestEnv env;
    VirtualScheduler sched{env.clock};
    WizardPara para;
    std::unique_ptr<CNT_Net> net;
    QTcpSocket relay;

    explicit ShareBench(int mode)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
            db.setDatabaseName(env.path(QStringLiteral("PARAM.db")));
            db.open();
            QSqlQuery q(db);
            q.exec(QStringLiteral("create table sysparam (name text, value text)"));
            q.exec(QStringLiteral("insert into sysparam values ('CntNet', '1 0 0')"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench"));
        env.writeFile(QStringLiteral("ipckey"), "key");
        para.netEnabled = 1;
        para.videoShareMode = mode;
        qstrncpy(para.netCardName, "eth0", sizeof para.netCardName);
        CntNetOptions o;
        o.port = 0;
        o.timers = &sched;
        o.startRelay = [] {};
        o.inputs = [this] {
            CatalogueInputs in = CatalogueInputs::live();
            in.para = &para;
            return in;
        };
        net = std::make_unique<CNT_Net>(o);
    }
    bool connect()
    {
        net->CNT_FirstInit();
        relay.connectToHost(QHostAddress::LocalHost, net->port());
        QElapsedTimer t;
        t.start();
        while (!(net->linkAlive() && net->memoryInfoSent()) && t.elapsed() < 5000)
            QTest::qWait(1);
        return net->linkAlive() && net->memoryInfoSent();
    }
};

void BM_CameraRefresh(benchmark::State& state)
{
    const int shares = int(state.range(0));
    const int w = 1280, h = 1024;
    ShareBench b(VideoShareCamera);
    std::vector<std::vector<quint32>> views(size_t(shares), std::vector<quint32>(size_t(w) * h, 0xff404040u));
    for (int i = 0; i < shares; ++i)
        b.net->CNT_AddUseMemory(i, w, h, views[size_t(i)].data());
    if (!b.connect()) {
        state.SkipWithError("no relay connection");
        return;
    }
    std::vector<double> us;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        b.net->refreshShares();
        us.push_back(usSince(t0));
        state.PauseTiming();
        b.net->shareSet().waitIdle(5000);
        state.ResumeTiming();
    }
    for (int i = 0; i < shares; ++i)
        if (b.net->shareSet().stats(i).copied == 0)
            state.SkipWithError("a share was never copied");
    reportSamples(state, us, shares);
}
BENCHMARK(BM_CameraRefresh)->Arg(1)->Arg(4)->Arg(8)->Iterations(BenchRunsAsTest() ? 5 : 200)->Unit(benchmark::kMicrosecond);

void BM_WorkerFrame(benchmark::State& state)
{
    const int threads = int(state.range(0));
    const int before = cv::getNumThreads();
    if (threads > 0)
        cv::setNumThreads(threads);
    const int w = 1280, h = 1024;
    ShareBench b(VideoShareCamera);
    std::vector<quint32> view(size_t(w) * h);
    for (size_t i = 0; i < view.size(); ++i)
        view[i] = 0xff000000u | quint32(i * 2654435761u >> 8);
    b.net->CNT_AddUseMemory(0, w, h, view.data());
    if (!b.connect()) {
        state.SkipWithError("no relay connection");
        return;
    }
    std::vector<double> us;
    for (auto _ : state) {
        state.PauseTiming();
        // The hand-over is the GUI thread's; the worker's part starts after it.
        b.net->CNT_UpdateMemory(0, nullptr);
        const auto t0 = Steady::now();
        state.ResumeTiming();
        b.net->shareSet().waitIdle(5000);
        us.push_back(usSince(t0));
    }
    cv::setNumThreads(before);
    const VideoShareStats s = b.net->shareSet().stats(0);
    if (s.copied != quint64(us.size()))
        state.SkipWithError("a frame was not copied");
    state.counters["opencv_threads"] = threads > 0 ? threads : before;
    reportSamples(state, us);
}
BENCHMARK(BM_WorkerFrame)->Arg(1)->Arg(0)->Iterations(BenchRunsAsTest() ? 5 : 200)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ScreenShare(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    gShowW = w;
    gShowH = h;
    ShareBench b(VideoShareScreen);
    QWidget window;
    window.resize(w, h);
    auto* layout = new QVBoxLayout(&window);
    for (int i = 0; i < 12; ++i)
        layout->addWidget(new QLabel(QStringLiteral("row %1: detection 3, NG areas 2").arg(i)));
    b.net->setShareWindow(&window);
    if (!b.connect()) {
        state.SkipWithError("no relay connection");
        return;
    }
    std::vector<double> us;
    for (auto _ : state) {
        const auto t0 = Steady::now();
        b.net->refreshShares();
        us.push_back(usSince(t0));
        state.PauseTiming();
        b.net->shareSet().waitIdle(5000);
        state.ResumeTiming();
    }
    if (b.net->shareSet().stats(0).copied == 0)
        state.SkipWithError("the screen was never copied");
    reportSamples(state, us);
}
BENCHMARK(BM_ScreenShare)->Args({1280, 800})->Args({1920, 1080})->Iterations(BenchRunsAsTest() ? 5 : 100)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    return RunRegisteredBenchmarks(argc, argv);
}
