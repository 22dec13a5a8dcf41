// Wall time of one detection step on eight cameras with the real engine:
// 50 mixed areas per camera on 1280 x 1024 gray frames, positioning by
// shift on, the verdict included (the step as the delay timer runs it).
// The cameras judged one after the other on the calling thread (pool:0) or
// at once on the detection pool (pool:1, the cores less one as workers);
// OpenCV with one thread (opencv:1) or its default (opencv:0).  Every case
// checks that each camera's verdict, values and marked pixels are those of
// the one-after-the-other step.  Run by hand:
//   build/bench/eightcamera_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "detectionpool.h"
#include "enginecyclecamera.h"
#include "enginerig.h"
#include "fakecycle.h"
#include "messages.h"
#include "opencvthreads.h"
#include "synth.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kCams = kCameraSlots;
constexpr int kDetect = 1;

// 50 areas of mixed methods in a 10 x 5 grid covering most of the frame
// (the mix of detect_bench).
void addMixedAreas(EngineRig& rig)
{
    const int methods[] = {AreaFuncDefect,     AreaFuncDefect,     AreaFuncDefect,    AreaFuncSpot,
                           AreaFuncDefect,     AreaFuncBlackArea,  AreaFuncWhiteArea, AreaFuncSimilarity,
                           AreaFuncWhiteCount, AreaFuncDirection,  AreaFuncDistance};
    for (int k = 0; k < kAreas; ++k) {
        const cv::Rect r(20 + (k % 10) * 124, 20 + (k / 10) * 196, 120, 190);
        const int m = methods[k % 11];
        switch (m) {
        case AreaFuncSpot:
            rig.addRect(kDetect, r, m, 200 | 255 << 8, 0, 99999);
            break;
        case AreaFuncBlackArea:
            rig.addRect(kDetect, r, m, 0, 20, 50000);
            break;
        case AreaFuncWhiteArea:
            rig.addRect(kDetect, r, m, 0, 230, 50000);
            break;
        case AreaFuncSimilarity:
            rig.addRect(kDetect, r, m, 0, 80, 0);
            break;
        case AreaFuncWhiteCount:
            rig.addRect(kDetect, r, m, 3, 200, 0 | (100 << 16));
            break;
        case AreaFuncDirection:
            rig.addRect(kDetect, r, m, 0, 100, 20000);
            break;
        case AreaFuncDistance:
            rig.addRect(kDetect, r, m, 0, 10, 5000);
            break;
        default:
            rig.addRect(kDetect, r, m, 3, 45, 100);
            break;
        }
    }
}

// What a camera's step must leave: verdict, values, marked pixels.
struct Result {
    int isOK = 0;
    std::vector<uchar> roiOK;
    std::vector<int> values;
    std::vector<uchar> marked;
    bool operator==(const Result& o) const
    {
        return isOK == o.isOK && roiOK == o.roiOK && values == o.values && marked == o.marked;
    }
};

// The cycle on fakes with eight engine cameras; each camera's frame is the
// mould moved as in detect_bench, with noise of its own; camera 3 has a
// defect.
struct EightCameras {
    CycleRig rig{kCams};
    std::unique_ptr<EngineRig> engines[kCams];
    std::unique_ptr<EngineCycleCamera> cams[kCams];

    EightCameras()
    {
        gSource = PictureSourceNone;
        gPicNumNG = gPicNumOK = 0;
        standardMachine(rig.para);
        const cv::Mat tmpl = synth::mould(kW, kH, 3);
        for (int c = 0; c < kCams; ++c) {
            engines[c] = std::make_unique<EngineRig>(kW, kH, false, 1);
            EngineRig& e = *engines[c];
            e.slot.camIndex = c;
            EngineParams& v = e.host.values;
            v.minSpot = 3;
            v.detectEnabled[0] = v.detectEnabled[1] = 1;
            v.motionCorrection = 0;
            v.maxOffset = 50;
            e.setTemplate(kDetect, 0, tmpl);
            addMixedAreas(e);
            e.build();
            cv::Mat frame = tmpl.clone();
            if (c == 3)
                synth::injectDefect(frame, {400, 300}, 400, 80);
            e.setFrame(synth::noise(synth::transform(frame, 23, -17, 0, {640, 512}), 2.0,
                                    uint64_t(11 + c)));
            cams[c] = std::make_unique<EngineCycleCamera>(e.slot, *e.engine, e.host, rig.state);
            rig.controller->setCamera(c, cams[c].get());
        }
        rig.start();
    }
    ~EightCameras()
    {
        for (int c = 0; c < kCams; ++c)
            rig.controller->setCamera(c, rig.cams[c].get());
    }

    void step()
    {
        rig.state.delayCountdownTenths[kDetect] = 1;
        rig.controller->TimerUp(kDetect);
    }

    Result result(int c) const
    {
        const CameraSlotState& s = engines[c]->slot;
        Result r;
        r.isOK = s.isOK;
        const int n = s.savedSet->roiCount[kDetect];
        r.roiOK.assign(s.roiOK[kDetect], s.roiOK[kDetect] + n);
        r.values.assign(s.roiValue[kDetect], s.roiValue[kDetect] + n);
        r.marked = s.resultImage;
        return r;
    }
};

// The one-after-the-other results, made once.
const std::vector<Result>& reference()
{
    static const std::vector<Result> results = [] {
        setOpenCVThreads(1);
        EightCameras rig;
        rig.step();
        std::vector<Result> r;
        for (int c = 0; c < kCams; ++c)
            r.push_back(rig.result(c));
        return r;
    }();
    return results;
}

void BM_EightCameraStep(benchmark::State& state)
{
    const bool concurrent = state.range(0) == 1;
    const std::vector<Result>& expected = reference();
    setOpenCVThreads(state.range(1) == 1 ? 1 : -1);
    EightCameras rig;
    DetectionPool pool;
    if (concurrent)
        rig.rig.controller->setDetectionPool(&pool);
    rig.step();   // the first step allocates what later steps reuse

    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        rig.step();
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["workers"] = concurrent ? pool.workers() : 0;
    state.counters["cores"] = double(std::thread::hardware_concurrency());

    for (int c = 0; c < kCams; ++c) {
        if (!(rig.result(c) == expected[size_t(c)])) {
            static std::string what;
            what = "camera " + std::to_string(c) + " judged otherwise than one after the other";
            state.SkipWithError(what.c_str());
            return;
        }
    }
    // Camera 3 fails one area more than the clean cameras: its defect.
    const auto failed = [&](int c) { return std::count(expected[size_t(c)].roiOK.begin(), expected[size_t(c)].roiOK.end(), 0); };
    if (failed(3) != failed(0) + 1)
        state.SkipWithError("the defect was not found");
}

} // namespace

BENCHMARK(BM_EightCameraStep)
    ->ArgNames({"pool", "opencv"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FillMessageTable();   // the alarm record of the NG verdict
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
