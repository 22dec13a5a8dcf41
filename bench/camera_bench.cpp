// Eight simulated cameras at 1280 x 1024 grey, 30 frames/s, through grab,
// hand-over and take: frames per camera per second and CPU time per frame.
#include "camerabackend.h"
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "fakecamerahost.h"
#include "family_dvp.h"
#include "simcamerabus.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QThread>

#include <ctime>
#include <vector>

namespace {
// The cameras' values for the whole run: exposure 10 ms, gain and sharpness 0.
void benchValues(FakeCameraHost& host)
{
    for (int k = 0; k < kCameraSlots; ++k)
        host.live[k] = host.edit[k] = CameraValues{10, 0, 0, 150, 40, 0, 0};
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

const char* kFamilies[] = {"mindvision", "hikvision", "dvp", "galaxy"};

// The whole road for 3 s of wall time: bus threads produce, the grab side
// (grab thread or SDK callback) hands over, a consumer on this thread takes
// every 3 ms, as the main loop does.
void BM_EightCameras(benchmark::State& state)
{
    const char* family = kFamilies[state.range(0)];
    QString json = "{\"devices\":[";
    for (int k = 0; k < 8; ++k)
        json += QStringLiteral("%1{\"family\":\"%2\",\"serial\":\"BENCH%3\",\"width\":1280,\"height\":1024,\"fps\":30}")
                    .arg(k ? "," : "").arg(family).arg(k, 5, 10, QLatin1Char('0'));
    json += "]}";
    CreateSharedLocks();
    gisColor = 0;
    gisCut = 0;
    camsim::bus().loadJson(json.toUtf8());
    CheckCameraID();
    gImageLen = gImageW * gImageH;
    gColorLen = gImageLen;
    FakeCameraHost host;   // the process's camera host while it lives
    benchValues(host);
    host.buildSlots();
    QThread::msleep(500);   // past the grab threads' start-up wait

    std::vector<uint8_t> proc(static_cast<size_t>(gColorLen));
    uint64_t taken = 0, delivered0 = 0, produced0 = 0;
    for (int k = 0; k < numCamera; ++k)
        delivered0 += host.cams[k]->framesDelivered();
    for (const auto& d : camsim::bus().all())
        produced0 += d->framesProduced();
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        const double cpu0 = processCpuSeconds();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 3000) {
            for (int k = 0; k < numCamera; ++k)
                taken += TakeNewFrame(host.cams[k].get(), proc.data()) ? 1 : 0;
            QThread::msleep(3);
        }
        seconds = t.elapsed() / 1000.0;
        cpu = processCpuSeconds() - cpu0;
    }
    uint64_t delivered = 0, produced = 0, dropped = 0;
    for (int k = 0; k < numCamera; ++k) {
        delivered += host.cams[k]->framesDelivered();
        dropped += host.cams[k]->framesDropped();
    }
    for (const auto& d : camsim::bus().all())
        produced += d->framesProduced();
    delivered -= delivered0;
    produced -= produced0;
    host.closeAll();
    camsim::bus().clear();

    state.counters["cameras"] = numCamera;
    state.counters["produced_per_cam_s"] = produced / seconds / numCamera;
    state.counters["delivered_per_cam_s"] = delivered / seconds / numCamera;
    state.counters["taken_per_cam_s"] = taken / seconds / numCamera;
    state.counters["not_delivered"] = static_cast<double>(produced) - static_cast<double>(delivered);
    state.counters["dropped"] = static_cast<double>(dropped);
    state.counters["cpu_ms_per_frame_all"] = delivered ? cpu * 1000.0 / delivered : 0;
    state.SetLabel(family);
}
BENCHMARK(BM_EightCameras)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

// Hand-over and conversion alone, for one 1280 x 1024 frame: the grab side's
// copy (and RGBA expansion with colour processing) plus the consumer's take.
void BM_HandOverOneFrame(benchmark::State& state)
{
    CreateSharedLocks();
    gisColor = static_cast<int>(state.range(0));
    gImageW = 1280;
    gImageH = 1024;
    gImageLen = gImageW * gImageH;
    gColorLen = gisColor ? 4 * gImageLen : gImageLen;
    gCameraID = CameraKindDvp;
    FakeCameraHost host;
    benchValues(host);
    CameraBackend cam(&host, 0);
    auto* dvp = dynamic_cast<DvpDriver*>(cam.driver());
    std::vector<uint8_t> frame(static_cast<size_t>(gImageLen), 7), proc(static_cast<size_t>(gColorLen));
    simsdk::dvp::Frame info{simsdk::dvp::FORMAT_MONO8, 1280, 1024, gImageLen, 0};
    for (auto _ : state) {
        DvpDriver::dvpStreamCallback(0, 2, dvp, &info, frame.data());
        benchmark::DoNotOptimize(TakeNewFrame(&cam, proc.data()));
    }
    state.SetLabel(gisColor ? "grey to RGBA" : "grey");
    gisColor = 0;
}
BENCHMARK(BM_HandOverOneFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
}

BENCHMARK_MAIN();
