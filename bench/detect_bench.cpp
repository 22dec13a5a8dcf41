// Speed of the detection engine on generated 1280 x 1024 gray scenes.
// Every case runs with one OpenCV thread (argument 1) and with OpenCV's
// default thread count (argument 0), and checks its result: a case whose
// result is wrong stops with an error (the CTest run of this program fails
// on it).  Run by hand:
//   build/bench/detect_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "edgepoint.h"
#include "enginerig.h"
#include "opencvthreads.h"
#include "synth.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kTemplates = 10;
const cv::Point kDefectAt(400, 300);

void useThreads(const benchmark::State& state)
{
    setOpenCVThreads(state.range(0) == 1 ? 1 : -1);
}

// The engine rig of the tests at the panel's geometry: detection 0 enabled,
// template 0 a generated mould.
struct Rig : EngineRig {
    cv::Mat tmpl;

    Rig() : EngineRig(kW, kH, false, kTemplates)
    {
        host.values.minSpot = 3;
        host.values.detectEnabled[0] = 1;
        tmpl = synth::mould(kW, kH, 3);
        setTemplate(0, 0, tmpl);
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
                addRect(0, r, m, 200 | 255 << 8, 0, 99999);
                break;
            case AreaFuncBlackArea:
                addRect(0, r, m, 0, 20, 50000);
                break;
            case AreaFuncWhiteArea:
                addRect(0, r, m, 0, 230, 50000);
                break;
            case AreaFuncSimilarity:
                addRect(0, r, m, 0, 80, 0);
                break;
            case AreaFuncWhiteCount:
                addRect(0, r, m, 3, 200, 0 | (100 << 16));
                break;
            case AreaFuncDirection:
                addRect(0, r, m, 0, 100, 20000);
                break;
            case AreaFuncDistance:
                addRect(0, r, m, 0, 10, 5000);
                break;
            default:
                addRect(0, r, m, 3, 45, 100);
                break;
            }
        }
    }
    // Index of the area holding p, -1 when none does.
    int areaAt(cv::Point p) const
    {
        for (int i = 0; i < saved.roiCount[0]; ++i)
            if (saved.AreaImageRect(0, i).contains(p))
                return i;
        return -1;
    }
};

// SkipWithError keeps only the pointer: the text must outlive the run.
void failWith(benchmark::State& state, const std::string& what)
{
    static std::vector<std::string> texts;
    texts.push_back(what);
    state.SkipWithError(texts.back().c_str());
}

// Areas of the mixed set that fail on the clean scene: the similarity areas
// over the nearly flat corners (a flat template against a noisy cut scores
// 0), the distance areas (no edge crosses them) and one direction area (one
// cavity's outline is marked).
const std::set<int> kFailOnCleanScene = {7, 10, 21, 32, 40, 42, 43};

// The pass over the mixed areas must judge every area (no area error) and
// fail exactly the areas that fail on the clean scene, plus the one that
// holds the injected defect.
void checkPass(benchmark::State& state, Rig& rig, bool withDefect)
{
    if (!rig.host.records.isEmpty()) {
        state.SkipWithError("an area was not judged");
        return;
    }
    const int defective = withDefect ? rig.areaAt(kDefectAt) : -1;
    for (int i = 0; i < rig.saved.roiCount[0]; ++i) {
        const bool shouldFail = i == defective || kFailOnCleanScene.count(i) > 0;
        if ((rig.slot.roiOK[0][i] == 0) != shouldFail) {
            const std::string what = i == defective ? "the defect was not found in area "
                                                    : "wrong verdict of area ";
            failWith(state, what + std::to_string(i) + " method " + std::to_string(rig.saved.roiMethod[0][i])
                                + " value " + std::to_string(rig.slot.roiValue[0][i]));
            return;
        }
    }
    if (rig.slot.isOK != 0)
        state.SkipWithError("wrong verdict of the camera");
}

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

// A clean frame: every area passes.
void checkCleanPass(benchmark::State& state, Rig& rig, bool align)
{
    rig.setFrame(synth::noise(align ? synth::transform(rig.tmpl, 23, -17, 0, {640, 512}) : rig.tmpl, 2.0, 11));
    if (align)
        rig.engine->ShapeMatch();
    rig.engine->Run(0);
    checkPass(state, rig, false);
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
    synth::injectDefect(frame, kDefectAt, 400, 80);
    rig.setFrame(synth::noise(synth::transform(frame, 23, -17, 0, {640, 512}), 2.0));
    for (auto _ : state) {
        rig.engine->ShapeMatch();
        rig.engine->Run(0);
    }
    checkAligned(state, rig);
    checkPass(state, rig, true);
    checkCleanPass(state, rig, true);
}

void BM_Run50(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    rig.addMixedAreas();
    rig.build();
    cv::Mat frame = rig.tmpl.clone();
    synth::injectDefect(frame, kDefectAt, 400, 80);
    rig.setFrame(synth::noise(frame, 2.0));
    for (auto _ : state)
        rig.engine->Run(0);
    checkPass(state, rig, true);
    checkCleanPass(state, rig, false);
}

void BM_VarTrain10x50(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    for (int t = 1; t < kTemplates; ++t)
        rig.setTemplate(0, t,
                        synth::noise(synth::lighting(rig.tmpl, 0.97 + 0.006 * t), 2.0, static_cast<uint64_t>(t)));
    for (int k = 0; k < kAreas; ++k)
        rig.addRect(0, cv::Rect(20 + (k % 10) * 124, 20 + (k / 10) * 196, 120, 190),
                    k % 5 == 4 ? AreaFuncSimilarity : AreaFuncDefect, 3, 45, 100);
    rig.build();
    for (auto _ : state)
        rig.engine->VarTrain(0);
    for (int k = 0; k < kAreas; ++k) {
        const bool similarity = k % 5 == 4;
        const bool trained = similarity ? rig.engine->surf[0][k].IsValid() : rig.engine->grayMatch[0][k].IsValid();
        if (!trained || (!similarity && rig.engine->grayMatch[0][k].templateCount() != kTemplates)) {
            state.SkipWithError("an area was not trained on every template");
            return;
        }
    }
}

void BM_RunTest(benchmark::State& state)
{
    useThreads(state);
    Rig rig;
    const int i = rig.addRect(0, cv::Rect(200, 150, 600, 500), AreaFuncWhiteCount, 3, 200, 0 | (100 << 16));
    rig.build();
    for (auto _ : state)
        rig.engine->RunTest(0, i);
    // The pins and the bright marker cells in the area, counted as the pass
    // counts them.
    const int previewed = rig.slot.roiValue[0][i];
    rig.setFrame(rig.tmpl);
    rig.engine->Run(0);
    if (!rig.slot.testShown || previewed < 1 || previewed != rig.slot.roiValue[0][i])
        state.SkipWithError("the preview does not count what the pass counts");
}

void BM_clcEdgePoint(benchmark::State& state)
{
    useThreads(state);
    cv::Mat img = synth::stepEdges(kW, kH, {500, 620, 780}, 80, 1.0);
    const std::unique_ptr<RotateRectROI> roi = Rect2RotateRect(cv::Rect(440, 500, 400, 40), 0);
    std::vector<cv::Point2d> found;
    for (auto _ : state) {
        _EdgePointDetParam p;
        p.minGradient = 10;
        p.rect = roi.get();
        benchmark::DoNotOptimize(clcEdgePoint(img, p));
        found = p.edgePoints;
    }
    // Three edges in the strip: the first and the last are reported.
    if (found.size() != 2 || std::abs(found.front().x - 500) > 1.5 || std::abs(found.back().x - 780) > 1.5)
        state.SkipWithError("wrong edges");
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
