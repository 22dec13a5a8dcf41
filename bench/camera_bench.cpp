// Eight simulated cameras (two in the quick run) per family through grab, hand-over and take:
// frames per camera per second and CPU time per frame.  Every run also
// checks what it measured (frames delivered, none lost or dropped, whole
// frames of the right size and content; the full run also the rate) and the
// program exits non-zero when a check fails, so that it runs as a test too:
//     camera_bench --quick      (two cameras at 10 frames/s for 1 s per family,
//                                results only)
#include "camerabackend.h"
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "fakecamerahost.h"
#include "family_dvp.h"
#include "simcamerabus.h"
#include "simuvc.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {
int gRunMs = 3000;
int gCameras = 8;
int gFps = 30;
bool gQuick = false;   // results only: a sanitizer build cannot keep the rate
bool gFailed = false;

// Marks the run failed and says why; false when the check failed.
bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred()) {
        state.SkipWithError(what.c_str());
        gFailed = true;
    }
    return ok;
}

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

struct BenchFamily {
    const char* name;
    int width, height;   // the processed size the probe must choose
    bool busCountsFrames;   // the bus produces the frames (not FFmpeg)
};
const BenchFamily kFamilies[] = {
    {"mindvision", 1280, 1024, true}, {"hikvision", 1280, 1024, true}, {"dvp", 1280, 1024, true},
    {"galaxy", 1280, 1024, true},     {"ueye", 1280, 1024, true},      {"uvc", 960, 540, false},
};

QString deviceJson(const BenchFamily& f, int k)
{
    const QString serial = QStringLiteral("BENCH%1").arg(k, 5, 10, QLatin1Char('0'));
    if (QLatin1String(f.name) == QLatin1String("uvc"))   // a uniform grey picture, paced in real time
        return QStringLiteral("{\"family\":\"uvc\",\"serial\":\"%1\",\"uvc\":{\"format\":\"lavfi\","
                              "\"url\":\"color=c=gray:size=960x540:rate=30,realtime\"}}").arg(serial);
    // Sequence frames: every byte of frame n is n & 0xFF, so a torn frame shows.
    return QStringLiteral("{\"family\":\"%1\",\"serial\":\"%2\",\"width\":1280,\"height\":1024,\"fps\":%3,"
                          "\"source\":{\"kind\":\"sequence\"}}").arg(QLatin1String(f.name), serial).arg(gFps);
}

// Every 61st byte equals the first: a frame put together from two frames
// shows, at a fraction of a full comparison.
bool uniform(const std::vector<uint8_t>& frame)
{
    for (size_t i = 0; i < frame.size(); i += 61)
        if (frame[i] != frame[0])
            return false;
    return !frame.empty() && frame.back() == frame[0];
}

// The whole road: bus threads (or FFmpeg) produce, the grab side (grab
// thread or SDK callback) hands over, a consumer on this thread takes every
// 3 ms, as the main loop does.
void BM_EightCameras(benchmark::State& state)
{
    const BenchFamily& family = kFamilies[state.range(0)];
    QString json = "{\"devices\":[";
    for (int k = 0; k < gCameras; ++k)
        json += (k ? "," : "") + deviceJson(family, k);
    json += "]}";
    CreateSharedLocks();
    gisColor = 0;
    gisCut = 0;
    QString error;
    if (!check(state, camsim::bus().loadJson(json.toUtf8(), &error), "bus: " + error.toStdString()))
        return;
    installSimulatedUvc();
    CheckCameraID();
    gImageLen = gImageW * gImageH;
    gColorLen = gImageLen;
    const bool sized = gImageW == family.width && gImageH == family.height;
    FakeCameraHost host;   // the process's camera host while it lives
    benchValues(host);
    host.buildSlots();
    QThread::msleep(500);   // past the grab threads' start-up wait

    std::vector<uint8_t> proc(static_cast<size_t>(gColorLen));
    uint64_t taken = 0, torn = 0, delivered0 = 0, produced0 = 0;
    std::vector<uint64_t> perCamera0(kCameraSlots, 0);
    for (int k = 0; k < numCamera; ++k) {
        perCamera0[k] = host.cams[k]->framesDelivered();
        delivered0 += perCamera0[k];
    }
    for (const auto& d : camsim::bus().all())
        produced0 += d->framesProduced();
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        const double cpu0 = processCpuSeconds();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < gRunMs) {
            for (int k = 0; k < numCamera; ++k) {
                if (!TakeNewFrame(host.cams[k].get(), proc.data()))
                    continue;
                ++taken;
                torn += uniform(proc) ? 0 : 1;
            }
            QThread::msleep(3);
        }
        seconds = t.elapsed() / 1000.0;
        cpu = processCpuSeconds() - cpu0;
    }
    uint64_t delivered = 0, produced = 0, dropped = 0;
    bool everyCameraDelivered = numCamera > 0;
    for (int k = 0; k < numCamera; ++k) {
        delivered += host.cams[k]->framesDelivered();
        dropped += host.cams[k]->framesDropped();
        everyCameraDelivered = everyCameraDelivered && host.cams[k]->framesDelivered() > perCamera0[k];
    }
    for (const auto& d : camsim::bus().all())
        produced += d->framesProduced();
    delivered -= delivered0;
    produced -= produced0;
    const int cameras = numCamera;
    host.closeAll();
    camsim::bus().clear();
    setUvcSourceFactory({});
    setUvcDeviceList({});

    const double perCam = cameras ? delivered / seconds / cameras : 0;
    state.counters["cameras"] = cameras;
    if (family.busCountsFrames) {
        state.counters["produced_per_cam_s"] = cameras ? produced / seconds / cameras : 0;
        state.counters["not_delivered"] = static_cast<double>(produced) - static_cast<double>(delivered);
    }
    state.counters["delivered_per_cam_s"] = perCam;
    state.counters["taken_per_cam_s"] = cameras ? taken / seconds / cameras : 0;
    state.counters["dropped"] = static_cast<double>(dropped);
    state.counters["cpu_ms_per_frame_all"] = delivered ? cpu * 1000.0 / delivered : 0;
    state.SetLabel(family.name);

    check(state, cameras == gCameras, "not every camera opened");
    check(state, sized, "wrong processed size");
    check(state, everyCameraDelivered, "a camera delivered no frame");
    if (!gQuick)
        check(state, perCam >= 0.9 * gFps,
              "frames not delivered at the cameras' rate: " + std::to_string(perCam) + " per camera and s");
    // Up to two frames per camera are in flight at the two counter readings.
    if (family.busCountsFrames)
        check(state, produced <= delivered + 2u * static_cast<uint64_t>(cameras), "frames produced but not delivered");
    check(state, dropped == 0, "frames dropped");
    if (!gQuick)   // a consumer pass every 3 ms takes every frame
        check(state, taken + 2u * static_cast<uint64_t>(cameras) >= delivered, "frames delivered but not taken");
    check(state, torn == 0, "torn or garbled frames taken");
}
BENCHMARK(BM_EightCameras)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond);

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
    bool allTaken = true;
    for (auto _ : state) {
        DvpDriver::dvpStreamCallback(0, 2, dvp, &info, frame.data());
        allTaken = TakeNewFrame(&cam, proc.data()) && allTaken;
    }
    // Grey as it came, or every pixel (7, 7, 7, 255).
    bool content = true;
    for (size_t i = 0; i < proc.size() && content; ++i)
        content = proc[i] == ((gisColor && i % 4 == 3) ? 255 : 7);
    check(state, allTaken, "a delivered frame was not taken");
    check(state, content, "wrong frame content");
    state.SetLabel(gisColor ? "grey to RGBA" : "grey");
    gisColor = 0;
}
BENCHMARK(BM_HandOverOneFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
}

int main(int argc, char** argv)
{
    // Our own switch first: the benchmark library refuses flags it does not
    // know.  The bench test (MM_BENCH_TEST=1) always takes the quick run.
    const char* asTest = std::getenv("MM_BENCH_TEST");
    bool quick = asTest && std::strcmp(asTest, "1") == 0;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else
            args.push_back(argv[i]);
    }
    if (quick) {
        gQuick = true;
        gRunMs = 1000;
        gCameras = 2;
        gFps = 10;   // a polled grab in a sanitizer build keeps up
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return gFailed ? 1 : 0;
}
