// Speed of the area page's panel on a camera slot built on the simulated bus
// (1280 x 1024 grey, a 1280 x 800 screen, one OpenCV thread): one step of a
// move button in "All Move" with 50 areas (shape change, 50 mask rebuilds,
// panel refresh, repaint) and one slider step (store, the black-area preview of a
// 600 x 500 area, repaint).  Every case checks what it changed and stops
// with an error otherwise.  Run by hand:
//   build/bench/areapage_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "kitfonts.h"
#include "messages.h"
#include "slider.h"
#include "slotrig.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <opencv2/core.hpp>

#include <cmath>
#include <string>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
const QSize kScreen(1280, 800);

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

// One grey camera at 1280 x 1024 on a 1280 x 800 screen, its view shown
// full screen in the template source.
struct PanelBench {
    SlotRig rig;
    CammerWidget* slot = nullptr;

    bool build(benchmark::State& state)
    {
        QString error;
        gisCut = 0;
        if (!check(state,
                   rig.load(QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"AP0001\",\"width\":%1,"
                                           "\"height\":%2,\"fps\":30,\"source\":{\"kind\":\"synthetic\"}}")
                                .arg(kW)
                                .arg(kH),
                            {}, &error),
                   "bus: " + error.toStdString()))
            return false;
        gDNum = 1;
        gTempNum = 2;
        gImageW = kW;
        gImageH = kH;
        gImageLen = kW * kH;
        gColorLen = gImageLen;
        gisColor = 0;
        gShowW = kScreen.width();
        gShowH = kScreen.height();
        gShowAW = double(gShowW) / kW;
        gShowAH = double(gShowH) / kH;
        SyncImageGeometry();
        rig.buildSlots(1);
        slot = rig.slot[0];
        if (!check(state, slot && slot->complete(), "slot not built"))
            return false;
        gSource = PictureSourceTemplate;
        rig.host.pageMode = PageModeArea;
        rig.host.para.showAlgorithmDetails = 1;
        rig.host.para.defectEnabled = 1;
        rig.host.para.spotEnabled = 1;
        slot->setGeometry(0, 0, gShowW, gShowH);
        slot->show();
        rig.window->show();
        QCoreApplication::processEvents();
        return true;
    }

    // The saved set becomes the work set, trained, as the page finds it.
    void open()
    {
        CammerSingleton& s = *slot->savedSet;
        s.RebuildMasks(slot->liveMask);
        *slot->workSet = s;
        slot->BackMask();
        slot->VarTrain(0);
    }
};

// 50 areas over the screen: rectangles, circles and 20-point polygons.
void fiftyAreas(CammerSingleton& s)
{
    s.roiCount[0] = kAreas;
    for (int i = 0; i < kAreas; ++i) {
        s.SetDefaultArea(0, i);
        const int x = 40 + (i % 10) * 110;
        const int y = 40 + (i / 10) * 130;
        if (i % 3 == 1) {
            s.roiShape[0][i] = RoiShapeCircle;
            Circle& c = s.roiCircle[0][i];
            c.cx = x + 45;
            c.cy = y + 45;
            c.r1 = 45;
            c.r2 = 15;
            c.UpdateRect();
        } else if (i % 3 == 2) {
            std::vector<QPoint> pts;
            for (int k = 0; k < 20; ++k) {
                const double a = 2 * M_PI * k / 20;
                const int r = k % 2 ? 45 : 30;
                pts.emplace_back(x + 45 + int(r * std::cos(a)), y + 45 + int(r * std::sin(a)));
            }
            s.roiShape[0][i] = RoiShapePolygon;
            s.roiPolygon[0][i].setPoints(pts);
        } else {
            s.roiRect[0][i] = ClustomRect(QRect(x, y, 90, 90));
        }
    }
}

void BM_AllMoveStep(benchmark::State& state)
{
    PanelBench b;
    if (!b.build(state))
        return;
    fiftyAreas(*b.slot->savedSet);
    b.open();
    b.slot->selRoi = 0;
    b.slot->moveMode = MoveModeAll;
    b.slot->ShowHideROIPara();
    const QRect first = b.slot->workSet->roiRect[0][0].rect;
    int steps = 0;
    for (auto _ : state) {
        // Left and right in turn, so the areas stay where they can move.
        b.slot->SlotMove(steps % 2 ? 1 : -1, 0);
        b.slot->repaint();
        ++steps;
    }
    const int offset = steps % 2 ? -1 : 0;
    check(state, b.slot->workSet->roiRect[0][0].rect == first.translated(offset, 0), "the group did not move");
    bool masksFit = true;
    for (int i = 0; i < kAreas; ++i) {
        const cv::Rect r = b.slot->workSet->AreaImageRect(0, i);
        masksFit = masksFit && b.slot->workMask[0][i].cols == r.width && b.slot->workMask[0][i].rows == r.height;
    }
    check(state, masksFit, "a mask was not rebuilt");
    check(state, b.slot->moveLeftButton->isVisible(), "the move row is not shown");
}
BENCHMARK(BM_AllMoveStep)->Unit(benchmark::kMillisecond);

void BM_SliderStep(benchmark::State& state)
{
    PanelBench b;
    if (!b.build(state))
        return;
    CammerSingleton& s = *b.slot->savedSet;
    s.roiCount[0] = 1;
    s.SetDefaultArea(0, 0);
    // A 600 x 500 image area, in view coordinates.
    s.roiRect[0][0] = ClustomRect(QRect(int(100 * gShowAW), int(100 * gShowAH), int(600 * gShowAW), int(500 * gShowAH)));
    // A black-area search (B the darkest grey, C the area) over a template
    // with a few dark spots: the methods with a preview are the grey ones.
    s.roiMethod[0][0] = AreaFuncBlackArea;
    s.roiSensibility[0][0] = 80;
    s.roiMaxArea[0][0] = 10;
    uchar* base = b.slot->TemplateBuffer(0, 0);
    if (!check(state, base != nullptr, "no template buffer"))
        return;
    std::fill(base, base + gImageLen, uchar(128));
    for (int k = 0; k < 20; ++k)
        for (int y = 0; y < 6; ++y)
            std::fill_n(base + (150 + k * 20 + y) * kW + 150 + k * 25, 6, uchar(60));
    b.open();
    b.slot->selRoi = 0;
    b.slot->ShowHideROIPara();
    int steps = 0;
    for (auto _ : state) {
        b.slot->sensibilitySlider->setValue(steps % 2 ? 80 : 81);
        b.slot->repaint();
        ++steps;
    }
    check(state, b.slot->workSet->roiSensibility[0][0] == (steps % 2 ? 81 : 80) || steps == 0,
          "the slider did not store");
    check(state, b.slot->testShown == 1, "the preview did not run");
    check(state, b.slot->roiValue[0][0] > 0, "the preview found no dark pixels");
    state.counters["found_px"] = b.slot->roiValue[0][0];
}
BENCHMARK(BM_SliderStep)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    CreateSharedLocks();
    cv::setNumThreads(1);
    FillMessageTable();
    RegisterKitFonts();
    return RunRegisteredBenchmarks(argc, argv);
}
