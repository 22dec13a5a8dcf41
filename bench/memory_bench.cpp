// Resident memory of the detection side of eight camera cams at 1280 x 1024,
// gray and colour: every detection enabled with 50 mixed areas (a positioning
// area among them), all 10 template cams and the three recent-NG frames
// filled, every detection trained and judged once, so that every buffer
// that is allocated at its first use has been.  Reported as counters (MiB):
// `rss` the process after the set-up, `added` what the set-up added, and
// `perCamera` and `eightCameras`; `enginePerCamera` is the engine's share
// (masks, matchers, models), the rest the slot's frames and pictures.  The memory is taken from
// /proc/self/statm.  As a test (MM_BENCH_TEST=1) two cameras are set up
// instead of eight.
#include "benchmain.h"
#include "cameraslotstate.h"
#include "cammerrecongnize.h"
#include "cammersingleton.h"
#include "enginehost.h"
#include "geometry.h"
#include "globals.h"
#include "synth.h"
#include "testenv.h"
#include "testgeometry.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kTemplates = 10;
constexpr double kMiB = 1024.0 * 1024.0;

double residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// One camera slot with its areas, pictures and engine.
struct Camera {
    CameraSlotState slot;
    CammerSingleton saved{0};
    FixedEngineHost host;
    std::unique_ptr<CammerRecong> engine;
    double engineBytes = 0; // what training and the first passes added

    Camera(int index, bool color)
    {
        slot.AllocateSlotBuffers(kW, kH, color, kTemplates);
        slot.camIndex = index;
        slot.savedSet = &saved;
        slot.workSet = &saved;
        host.values.motionCorrection = 0;
        host.values.maxOffset = 50;
        host.values.minSpot = 3;
        const cv::Mat picture = synth::mould(kW, kH, static_cast<uint64_t>(3 + index));
        cv::Mat stored = picture;
        if (color)
            cv::cvtColor(picture, stored, cv::COLOR_GRAY2BGRA);
        for (int d = 0; d < kDetections; ++d) {
            host.values.detectEnabled[d] = 1;
            for (int t = 0; t < kTemplates; ++t) {
                std::memcpy(slot.TemplateBuffer(d, t), stored.data, static_cast<size_t>(slot.colorLen));
                slot.templateValid[d][static_cast<size_t>(t)] = 1;
            }
            slot.templateCount[d] = kTemplates;
            for (int k = 0; k < CameraSlotState::kRecentNGFrames; ++k)
                std::memcpy(slot.RecentNGBuffer(d, k), stored.data, static_cast<size_t>(slot.colorLen));
            addAreas(d);
        }
        const double before = residentBytes();
        engine = std::make_unique<CammerRecong>(&saved, &slot, &host);
        std::memcpy(slot.procFrame.data(), stored.data, static_cast<size_t>(slot.colorLen));
        for (int d = 0; d < kDetections; ++d) {
            host.detect = d;
            engine->ShapeMatch();
            engine->Run(d);
        }
        engineBytes = residentBytes() - before;
    }

    // 50 areas in a 10 x 5 grid: the mix of the detection benchmark, the
    // first one positioning.
    void addAreas(int d)
    {
        const int methods[] = {AreaFuncDefect, AreaFuncDefect, AreaFuncDefect, AreaFuncSpot, AreaFuncDefect,
                               AreaFuncBlackArea, AreaFuncWhiteArea, AreaFuncSimilarity, AreaFuncWhiteCount,
                               AreaFuncDirection, AreaFuncDistance};
        for (int k = 0; k < kAreas; ++k) {
            const cv::Rect r(20 + (k % 10) * 124, 20 + (k / 10) * 196, 120, 190);
            const int i = saved.roiCount[d]++;
            saved.roiMethod[d][i] = k == 0 ? AreaFuncPosition : methods[k % 11];
            saved.roiMinSize[d][i] = 3;
            saved.roiSensibility[d][i] = 45;
            saved.roiMaxArea[d][i] = 100;
            saved.roiShape[d][i] = RoiShapeRect;
            saved.roiRect[d][i].rect = QRect(QPoint(r.x, r.y), QPoint(r.x + r.width - 1, r.y + r.height - 1));
            slot.liveMask[d][i] = saved.UpdateAreaMask(d, i);
        }
    }
};

void memory(benchmark::State& state, bool color)
{
    TestEnv env;
    setTestGeometry(kW, kH, 1.0);
    gisColor = color ? 1 : 0;
    gColorLen = color ? 4 * kW * kH : kW * kH;
    gTempNum = kTemplates;
    const int cameras = BenchRunsAsTest() ? 2 : kCameraSlots;
    double before = 0, after = 0, engine = 0;
    for (auto _ : state) {
        before = residentBytes();
        std::vector<std::unique_ptr<Camera>> cams;
        for (int c = 0; c < cameras; ++c)
            cams.push_back(std::make_unique<Camera>(c, color));
        after = residentBytes();
        for (const auto& c : cams)
            engine += c->engineBytes;
        for (const auto& c : cams) {
            if (!c->engine->findShape[0].IsValid() && !color) {
                state.SkipWithError("a positioning model was not built");
                return;
            }
        }
    }
    gisColor = 0;
    const double added = after - before;
    state.counters["cameras"] = cameras;
    state.counters["rss"] = after / kMiB;
    state.counters["added"] = added / kMiB;
    state.counters["perCamera"] = added / cameras / kMiB;
    state.counters["enginePerCamera"] = engine / cameras / kMiB;
    state.counters["eightCameras"] = added / cameras * kCameraSlots / kMiB;
}

void BM_MemoryGray(benchmark::State& s) { memory(s, false); }
void BM_MemoryColour(benchmark::State& s) { memory(s, true); }

} // namespace

BENCHMARK(BM_MemoryGray)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryColour)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return RunRegisteredBenchmarks(argc, argv);
}
