// Speed of the result picture: one 1280 x 1024 picture of a detection with
// 20 areas (rectangles, circles and polygons, every other one failed with
// 10 alarm boxes), from a grey or a colour frame, as the camera slot renders
// it after a verdict.  Each case reports the median and the maximum of its
// renders and checks what it drew: the frame as background, a failed area's
// outline red and a passed one's green where their areas lie.  The first
// render of a repetition (first_ms) meets cold memory, and in the first
// repetition loads the font; warm_max_ms is the maximum of the others.
// Run by hand:
//   build/bench/render_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "benchstats.h"
#include "cameraslotstate.h"
#include "cammersingleton.h"
#include "failpicture.h"
#include "globals.h"
#include "kitfonts.h"
#include "messages.h"
#include "wizardpara.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kShowW = 1280;
constexpr int kShowH = 800;
constexpr int kAreaCount = 20;
constexpr int kD = 0;

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

uchar greyAt(int x, int y) { return static_cast<uchar>(60 + (x / 4 + y / 4) % 120); }

struct RenderScene {
    std::unique_ptr<CameraSlotState> slot = std::make_unique<CameraSlotState>();
    std::unique_ptr<CammerSingleton> set = std::make_unique<CammerSingleton>(0);
    std::unique_ptr<WizardPara> para = std::make_unique<WizardPara>();
    FailPictureScene scene;
    QPoint failedEdge;   // image pixel on the outline of failed area 0
    QPoint passedEdge;   // image pixel on the outline of passed area 1

    explicit RenderScene(bool colour)
    {
        gImageW = kW;
        gImageH = kH;
        gImageLen = kW * kH;
        gisColor = colour ? 1 : 0;
        gColorLen = colour ? 4 * gImageLen : gImageLen;
        gShowW = kShowW;
        gShowH = kShowH;
        gShowAW = double(kShowW) / kW;
        gShowAH = double(kShowH) / kH;
        SyncImageGeometry();

        slot->AllocateSlotBuffers(kW, kH, colour, 1);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uchar v = greyAt(x, y);
                if (colour) {
                    uchar* p = &slot->alignedFrame[static_cast<size_t>(4 * (y * kW + x))];
                    p[0] = v;
                    p[1] = static_cast<uchar>(v / 2 + 40);
                    p[2] = 70;
                    p[3] = 0xFF;
                } else {
                    slot->alignedFrame[static_cast<size_t>(y * kW + x)] = v;
                }
            }
        para->minimumArea = 300;

        // Five columns of four areas over the screen (view coordinates).
        set->roiCount[kD] = kAreaCount;
        for (int i = 0; i < kAreaCount; ++i) {
            const int col = i % 5, row = i / 5;
            const QRect cell(20 + col * 250, 40 + row * 190, 200, 150);
            set->roiMethod[kD][i] = i % 3 == 0 ? AreaFuncSpot : AreaFuncDefect;
            set->roiSensibility[kD][i] = 10;
            set->roiMaxArea[kD][i] = 500;
            switch (i % 3) {
            case 0:
                set->roiShape[kD][i] = RoiShapeRect;
                set->roiRect[kD][i] = ClustomRect(cell);
                break;
            case 1: {
                // A 60-point outline round the cell's centre.
                std::vector<QPoint> points;
                for (int k = 0; k < 60; ++k) {
                    const double a = 2 * M_PI * k / 60;
                    points.emplace_back(cell.center().x() + int(95 * std::cos(a)),
                                        cell.center().y() + int(70 * std::sin(a)));
                }
                set->roiShape[kD][i] = RoiShapePolygon;
                set->roiPolygon[kD][i].setPoints(points);
                break;
            }
            default: {
                Circle& c = set->roiCircle[kD][i];
                c.cx = cell.center().x();
                c.cy = cell.center().y();
                c.r1 = 70;
                c.r2 = 30;
                c.UpdateRect();
                set->roiShape[kD][i] = RoiShapeCircle;
                break;
            }
            }
            const bool failed = i % 2 == 0;
            slot->roiOK[kD][i] = failed ? 0 : 1;
            slot->roiValue[kD][i] = 1000 + i;
            if (failed) {
                RoiAlarm& alarm = slot->roiAlarm[kD][i];
                alarm.boxCount() = 10;
                const int left = int(cell.left() / gShowAW), top = int(cell.top() / gShowAH);
                for (int k = 1; k <= 10; ++k)
                    alarm.setBox(k, left + 10 * k, top + 8 * k, left + 10 * k + 12, top + 8 * k + 9);
            }
        }
        // Area 0 is a failed rectangle, area 1 a passed polygon.
        failedEdge = QPoint(int(20 / gShowAW), int((40 + 75) / gShowAH));
        const QPoint p1 = set->roiPolygon[kD][1].point(0);
        passedEdge = QPoint(int(p1.x() / gShowAW), int(p1.y() / gShowAH));

        scene.slot = slot.get();
        scene.set = set.get();
        scene.para = para.get();
        scene.d = kD;
        scene.kind = 0;
        scene.showW = gShowW;
        scene.showAW = gShowAW;
        scene.showAH = gShowAH;
    }
};

bool nearColour(const QImage& image, const QPoint& at, QRgb colour)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && (image.pixel(p) | 0xFF000000u) == colour)
                return true;
        }
    return false;
}

void BM_RenderFailPicture(benchmark::State& state)
{
    const bool colour = state.range(0) != 0;
    RenderScene scene(colour);
    std::vector<double> ms;
    QImage picture;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        picture = RenderFailPicture(scene.scene);
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        benchmark::DoNotOptimize(picture.constBits());
    }
    // The first render of the program also loads the font.
    state.counters["first_ms"] = ms.empty() ? 0 : ms.front();
    state.counters["warm_max_ms"] = ms.size() < 2 ? 0 : *std::max_element(ms.begin() + 1, ms.end());
    state.counters["median_ms"] = upperMedian(ms);
    state.counters["max_ms"] = largest(ms);
    state.SetLabel(colour ? "colour, 20 areas" : "grey, 20 areas");

    if (!check(state, picture.size() == QSize(kW, kH) && picture.format() == QImage::Format_RGB32,
               "picture of the wrong size or format"))
        return;
    const QPoint background(kW - 3, kH - 3);
    const uchar v = greyAt(background.x(), background.y());
    const QRgb expected = colour ? qRgb(70, v / 2 + 40, v) : qRgb(v, v, v);
    check(state, (picture.pixel(background) | 0xFF000000u) == expected, "the frame is not the background");
    check(state, nearColour(picture, scene.failedEdge, qRgb(255, 0, 0)), "a failed area's outline is not red");
    check(state, nearColour(picture, scene.passedEdge, qRgb(0, 255, 0)), "a passed area's outline is not green");
}
BENCHMARK(BM_RenderFailPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    // The texts and the font are part of what a picture costs.
    FillMessageTable();
    RegisterKitFonts();
    return RunRegisteredBenchmarks(argc, argv);
}
