// Speed of the detection engine on generated 1280 x 1024 gray scenes.
// Every case runs with one OpenCV thread (argument 1) and with OpenCV's
// default thread count (argument 0).  Run by hand:
//   build/bench/detect_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "cameraslotstate.h"
#include "cammerrecongnize.h"
#include "cammersingleton.h"
#include "edgepoint.h"
#include "enginehost.h"
#include "globals.h"
#include "synth.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kTemplates = 10;

void useThreads(const benchmark::State& state)
{
    cv::setNumThreads(state.range(0) == 1 ? 1 : -1);
}

// One camera slot with its saved set, a fixed host and the engine.
struct Rig {
    CameraSlotState slot;
    CammerSingleton saved{0};
    CammerSingleton work{0};
    FixedEngineHost host;
    std::unique_ptr<CammerRecong> engine;
    cv::Mat tmpl;

    Rig()
    {
        gImageW = kW;
        gImageH = kH;
        gImageLen = gColorLen = kW * kH;
        gShowW = kW;
        gShowH = kH;
        gShowAW = gShowAH = 1.0;
        gisColor = 0;
        SyncImageGeometry();
        slot.AllocateSlotBuffers(kW, kH, false, kTemplates);
        slot.savedSet = &saved;
        slot.workSet = &work;
        tmpl = synth::mould(kW, kH, 3);
        setTemplate(0, tmpl);
        host.values.detectEnabled[0] = 1;
    }
    void setTemplate(int t, const cv::Mat& img)
    {
        std::memcpy(slot.templates[0][static_cast<size_t>(t)].data(), img.data, img.total());
        if (!slot.templateValid[0][static_cast<size_t>(t)]) {
            slot.templateValid[0][static_cast<size_t>(t)] = 1;
            ++slot.templateCount[0];
        }
    }
    void setFrame(const cv::Mat& img)
    {
        std::memcpy(slot.procFrame.data(), img.data, img.total());
        std::memcpy(slot.alignedFrame.data(), img.data, img.total());
    }
    int addRect(const cv::Rect& r, int method, int a, int b, int c)
    {
        const int i = saved.roiCount[0]++;
        saved.roiMethod[0][i] = method;
        saved.roiMinSize[0][i] = a;
        saved.roiSensibility[0][i] = b;
        saved.roiMaxArea[0][i] = c;
        saved.roiShape[0][i] = RoiShapeRect;
        saved.roiRect[0][i].rect = QRect(QPoint(r.x, r.y), QPoint(r.x + r.width - 1, r.y + r.height - 1));
        slot.liveMask[0][i] = saved.UpdateAreaMask(0, i);
        return i;
    }
    // 50 areas of mixed methods in a 10 x 5 grid covering most of the frame.
    void addMixedAreas()
    {
        const int methods[] = {AreaFuncDefect, AreaFuncDefect, AreaFuncDefect, AreaFuncSpot,       AreaFuncDefect,
                               AreaFuncBlackArea, AreaFuncWhiteArea, AreaFuncSimilarity, AreaFuncWhiteCount,
                               AreaFuncDirection, AreaFuncDistance};
        for (int k = 0; k < kAreas; ++k) {
            const cv::Rect r(20 + (k % 10) * 124, 20 + (k / 10) * 196, 120, 190);
            const int m = methods[k % 11];
            switch (m) {
            case AreaFuncSpot:
                addRect(r, m, 200 | 255 << 8, 0, 99999);
                break;
            case AreaFuncBlackArea:
                addRect(r, m, 0, 20, 50000);
                break;
            case AreaFuncWhiteArea:
                addRect(r, m, 0, 230, 50000);
                break;
            case AreaFuncSimilarity:
                addRect(r, m, 0, 80, 0);
                break;
            case AreaFuncWhiteCount:
                addRect(r, m, 3, 200, 0 | (100 << 16));
                break;
            case AreaFuncDirection:
                addRect(r, m, 0, 100, 20000);
                break;
            case AreaFuncDistance:
                addRect(r, m, 0, 10, 5000);
                break;
            default:
                addRect(r, m, 3, 45, 100);
                break;
            }
        }
    }
    void build() { engine = std::make_unique<CammerRecong>(&saved, &slot, &host); }
};

// Stops the case when positioning did not bring the frame back onto the
// template (the figures would then measure a failed search).
void checkAligned(benchmark::State& state, Rig& rig)
{
    const cv::Rect inner(200, 200, kW - 400, kH - 400);
    cv::Mat diff;
    cv::absdiff(rig.slot.PlaneView(rig.slot.alignedFrame)(inner), rig.tmpl(inner), diff);
    if (cv::mean(diff)[0] > 6.0)
        state.SkipWithError("positioning failed");
}

void BM_ShapeMatchShift(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 50;
    rig.build();
    rig.setFrame(synth::noise(synth::transform(rig.tmpl, 23, -17, 0, {640, 512}), 2.0));
    for (auto _ : state)
        rig.engine->ShapeMatch();
    checkAligned(state, rig);
}

void BM_ShapeMatchRotation(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 50;
    rig.host.values.rotationAngle = 10;
    rig.build();
    rig.setFrame(synth::noise(synth::transform(rig.tmpl, 12, -9, 6.5, {640, 512}), 2.0));
    for (auto _ : state)
        rig.engine->ShapeMatch();
    checkAligned(state, rig);
}

void BM_ShapeMatchAndRun50(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    rig.host.values.motionCorrection = 0;
    rig.host.values.maxOffset = 50;
    rig.addMixedAreas();
    rig.build();
    cv::Mat frame = rig.tmpl.clone();
    synth::injectDefect(frame, {400, 300}, 400, 80);
    rig.setFrame(synth::noise(synth::transform(frame, 23, -17, 0, {640, 512}), 2.0));
    for (auto _ : state) {
        rig.engine->ShapeMatch();
        rig.engine->Run(0);
    }
    checkAligned(state, rig);
    if (rig.slot.isOK)
        state.SkipWithError("the defect was not found");
}

void BM_Run50(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    rig.addMixedAreas();
    rig.build();
    cv::Mat frame = rig.tmpl.clone();
    synth::injectDefect(frame, {400, 300}, 400, 80);
    rig.setFrame(synth::noise(frame, 2.0));
    for (auto _ : state)
        rig.engine->Run(0);
    if (rig.slot.isOK)
        state.SkipWithError("the defect was not found");
}

void BM_VarTrain10x50(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    for (int t = 1; t < kTemplates; ++t)
        rig.setTemplate(t, synth::noise(synth::lighting(rig.tmpl, 0.97 + 0.006 * t), 2.0, static_cast<uint64_t>(t)));
    for (int k = 0; k < kAreas; ++k)
        rig.addRect(cv::Rect(20 + (k % 10) * 124, 20 + (k / 10) * 196, 120, 190),
                    k % 5 == 4 ? AreaFuncSimilarity : AreaFuncDefect, 3, 45, 100);
    rig.build();
    for (auto _ : state)
        rig.engine->VarTrain(0);
}

void BM_RunTest(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    const int i = rig.addRect(cv::Rect(200, 150, 600, 500), AreaFuncWhiteCount, 3, 200, 0 | (100 << 16));
    rig.work = rig.saved;
    rig.slot.workMask = rig.slot.liveMask;
    rig.build();
    for (auto _ : state)
        rig.engine->RunTest(0, i);
}

void BM_clcEdgePoint(benchmark::State& state)
{
    useThreads(state);
    cv::Mat img = synth::stepEdges(kW, kH, {500, 620, 780}, 80, 1.0);
    const std::unique_ptr<RotateRectROI> roi = Rect2RotateRect(cv::Rect(440, 500, 400, 40), 0);
    for (auto _ : state) {
        _EdgePointDetParam p;
        p.minGradient = 10;
        p.rect = roi.get();
        benchmark::DoNotOptimize(clcEdgePoint(img, p));
    }
}

} // namespace

// One OpenCV thread and the default; median and 95th percentile of the
// repetitions.
void configure(benchmark::internal::Benchmark* b)
{
    b->Arg(1)->Arg(0)->ComputeStatistics("p95", [](const std::vector<double>& v) {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s.empty() ? 0.0 : s[std::min(s.size() - 1, static_cast<size_t>(0.95 * static_cast<double>(s.size())))];
    });
}

BENCHMARK(BM_ShapeMatchShift)->Apply(configure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShapeMatchRotation)->Apply(configure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShapeMatchAndRun50)->Apply(configure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Run50)->Apply(configure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VarTrain10x50)->Apply(configure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunTest)->Apply(configure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_clcEdgePoint)->Apply(configure)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
