// Speed of the area page's editing steps on a camera view with generated
// 1280 x 1024 grey frames, one thread.  Every case checks what it changed
// and stops with an error otherwise.  Run by hand:
//   build/bench/areapage_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "areaeditor.h"
#include "benchmain.h"
#include "cameraglobals.h"
#include "kitfonts.h"
#include "messages.h"
#include "slotrig.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>

#include <opencv2/core.hpp>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kPolygonPoints = 500;

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

QString device()
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"AREA01\",\"width\":%1,\"height\":%2,\"fps\":30}")
        .arg(kW)
        .arg(kH);
}

// One camera shown alone on a 1280 x 800 screen in the template source,
// with 50 areas in detection 0: a selected 500-point polygon and 49
// rectangles.
struct EditScene {
    SlotRig rig;
    CammerWidget* view = nullptr;

    bool build()
    {
        if (!rig.load(device()))
            return false;
        gImageW = kW;
        gImageH = kH;
        gShowW = 1280;
        gShowH = 800;
        gShowAW = double(gShowW) / kW;
        gShowAH = double(gShowH) / kH;
        SyncImageGeometry();
        applyGeometry();
        gDNum = 1;
        gTempNum = 1;
        rig.buildSlots(1);
        view = rig.slot[0];
        if (!view || !view->workSet)
            return false;
        std::fill(view->shownFrame.begin(), view->shownFrame.end(), uchar(128));
        rig.host.pageMode = PageModeArea;
        ViewState& v = rig.host.view;
        v.viewCamera = 0;
        v.editDetect = 0;
        v.viewScaleX = float(gShowAW);
        v.viewScaleY = float(gShowAH);
        gSource = PictureSourceTemplate;

        CammerSingleton& set = *view->workSet;
        set.roiCount[0] = kAreas;
        for (int i = 1; i < kAreas; ++i) {
            set.SetDefaultArea(0, i);
            const int x = 20 + (i % 10) * 120, y = 20 + (i / 10) * 150;
            set.roiRect[0][i] = ClustomRect(QRect(QPoint(x, y), QPoint(x + 60, y + 60)));
        }
        std::vector<QPoint> ring;
        for (int k = 0; k < kPolygonPoints; ++k) {
            const double a = 2 * M_PI * k / kPolygonPoints;
            const double r = 200 + 15 * std::sin(11 * a);
            ring.emplace_back(640 + int(r * std::cos(a)), 400 + int(r * std::sin(a)));
        }
        set.SetDefaultArea(0, 0);
        set.roiShape[0][0] = RoiShapePolygon;
        set.roiPolygon[0][0].setPoints(ring);
        set.RebuildMasks(view->workMask);
        SetAreaSelected(set, 0, 0, true);
        view->selRoi = 0;

        rig.window->show();
        view->setGeometry(0, 0, gShowW, gShowH);
        view->show();
        QApplication::processEvents();
        return true;
    }

    void send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, QPointF(p), view->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    }
};

// One drag step of the selected polygon: the move handler shifts all 500
// points (after the border check) and updates the image rectangle, then
// the view repaints.  Steps alternate right and left by 4 view pixels.
void BM_EditorDragPolygon(benchmark::State& state)
{
    EditScene scene;
    if (!check(state, scene.build(), "scene not built"))
        return;
    CammerSingleton& set = *scene.view->workSet;
    const QPoint start(640, 400);
    scene.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    if (!check(state, scene.view->editor.editAction == EditActionMove && scene.view->editor.polyGesture,
               "the press did not start a polygon move"))
        return;
    const QPoint first = set.roiPolygon[0][0].point(0);
    int step = 0;
    for (auto _ : state) {
        const QPoint to = start + QPoint(step % 2 == 0 ? 4 : 0, 0);
        scene.send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        scene.view->repaint();
        const QPoint expected = first + QPoint(step % 2 == 0 ? 4 : 0, 0);
        if (!check(state, set.roiPolygon[0][0].point(0) == expected, "the polygon did not follow the finger"))
            return;
        ++step;
    }
    scene.send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    const QPoint last = first + QPoint(step % 2 == 1 ? 4 : 0, 0);
    const cv::Rect judged = set.AreaImageRect(0, 0);
    check(state,
          set.roiPolygon[0][0].point(0) == last && scene.view->workMask[0][0].cols == judged.width &&
              scene.view->editor.editAction == EditActionNone,
          "the release did not rebuild the mask where the polygon ended");
}
BENCHMARK(BM_EditorDragPolygon)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    CreateSharedLocks();
    FillMessageTable();
    RegisterKitFonts();
    return RunRegisteredBenchmarks(argc, argv);
}
