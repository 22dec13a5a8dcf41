// Speed of the area page's panel on a camera slot built on the simulated bus
// (1280 x 1024 grey, a 1280 x 800 screen, one OpenCV thread): one step of a
// move button in "All Move" with 50 areas (shape change, 50 mask rebuilds,
// panel refresh, repaint), one slider step (store, the black-area preview of a
// 600 x 500 area, repaint) and one editor drag step of a selected 500-point
// polygon (with repaint), and the area page's save of 8 cameras with 50
// changed areas in each of 2 detections (records, copies, the PARAM.db
// transaction, retraining).  Every case checks what it changed and stops
// with an error otherwise.  Run by hand:
//   build/bench/areapage_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "areaeditor.h"
#include "benchmain.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "drawroiwidget.h"
#include "kitfonts.h"
#include "messages.h"
#include "slider.h"
#include "slotrig.h"
#include "warnbox.h"

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
const QSize kScreen(1280, 800);
constexpr int kPolygonPoints = 500;

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

// Eight cameras at 1280 x 1024, each with 50 rectangles in detections 0 and
// 1 over a base template with dark spots, saved in PARAM.db and trained, the
// page open on them.
struct SaveScene {
    static constexpr int kCameras = 8;
    static constexpr int kDetects = 2;
    SlotRig rig;
    std::unique_ptr<DrawROIWidget> page;
    // The shared boxes the page asks through; the rig's script answers.
    ChooseBox chooseBox;
    WarnBox warnBox;
    ChooseBox* oldChoose = gpChooseBox;
    WarnBox* oldWarn = gpWarnBox;

    bool build(benchmark::State& state)
    {
        gpChooseBox = &chooseBox;
        gpWarnBox = &warnBox;
        QStringList devices;
        for (int c = 0; c < kCameras; ++c)
            devices << QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"SAVE0%1\",\"width\":%2,"
                                      "\"height\":%3,\"fps\":30}")
                           .arg(c)
                           .arg(kW)
                           .arg(kH);
        QString error;
        if (!check(state, rig.load(devices.join(','), {}, &error), "bus: " + error.toStdString()))
            return false;
        gImageW = kW;
        gImageH = kH;
        gShowW = kScreen.width();
        gShowH = kScreen.height();
        gShowAW = double(gShowW) / kW;
        gShowAH = double(gShowH) / kH;
        SyncImageGeometry();
        applyGeometry();
        gDNum = kDetects;
        gTempNum = 2;
        rig.buildSlots(kCameras);
        if (!check(state, numCamera == kCameras, "not every camera opened"))
            return false;
        WizardPara& p = rig.host.para;
        p.systemMode = 0;
        p.detectEnabled[0] = p.detectEnabled[1] = 1;
        p.netEnabled = 1;
        rig.host.pageMode = PageModeArea;
        rig.env.defaultAnswer = 1;   // "Whether to save parameter?": yes
        gSource = PictureSourceTemplate;

        for (int c = 0; c < kCameras; ++c) {
            CammerWidget* w = rig.slot[c];
            CammerSingleton& s = *w->savedSet;
            for (int d = 0; d < kDetects; ++d) {
                s.roiCount[d] = kAreas;
                for (int i = 0; i < kAreas; ++i) {
                    s.SetDefaultArea(d, i);
                    const int x = 40 + (i % 10) * 110, y = 40 + (i / 10) * 130;
                    s.roiRect[d][i] = ClustomRect(QRect(x, y, 90, 90));
                }
                uchar* base = w->TemplateBuffer(d, 0);
                if (!check(state, base != nullptr, "no template buffer"))
                    return false;
                std::fill(base, base + gImageLen, uchar(128));
                for (int k = 0; k < 40; ++k)
                    std::fill_n(base + (100 + k * 20) * kW + 100 + k * 25, 8, uchar(60));
                w->templateValid[d][0] = 1;
            }
            if (!check(state, s.SaveDatatoFile(rig.host.paramDatabase(), false), "initial save failed"))
                return false;
            s.RebuildMasks(w->liveMask);
            *w->workSet = s;
            w->BackMask();
            for (int d = 0; d < kDetects; ++d)
                w->VarTrain(d);
        }
        page = std::make_unique<DrawROIWidget>(&rig.host, rig.window.get());
        rig.host.page = page.get();
        return true;
    }

    // Every area of every camera gets another sensitivity.
    void edit(int value)
    {
        for (int c = 0; c < kCameras; ++c)
            for (int d = 0; d < kDetects; ++d)
                for (int i = 0; i < kAreas; ++i)
                    rig.slot[c]->workSet->roiSensibility[d][i] = value;
    }

    ~SaveScene()
    {
        rig.host.page = nullptr;
        page.reset();
        gpChooseBox = oldChoose;
        gpWarnBox = oldWarn;
    }
};

// SlotSaveData with the question answered yes: 8 x 2 x 50 change records,
// the copies kept for a failure, one transaction over 8 tables, and the
// retraining of 16 detections.
void BM_SaveData8x2x50(benchmark::State& state)
{
    SaveScene scene;
    if (!scene.build(state))
        return;
    int value = 46;
    for (auto _ : state) {
        state.PauseTiming();
        scene.edit(value);
        scene.rig.host.events.clear();
        scene.rig.net.clear();
        state.ResumeTiming();
        const bool saved = scene.page->SlotSaveData();
        state.PauseTiming();
        bool ok = saved && scene.rig.host.events.filter(QStringLiteral("record ")).size() ==
                               SaveScene::kCameras * SaveScene::kDetects * kAreas;
        for (int c = 0; c < SaveScene::kCameras && ok; ++c)
            ok = scene.rig.slot[c]->savedSet->roiSensibility[1][kAreas - 1] == value &&
                 !scene.page->retrainPending[c];
        ok = ok && scene.rig.net.calls().size() == SaveScene::kCameras * kDetections &&
             scene.rig.env.modalRequests.size() == 1 && scene.rig.env.modalRequests[0].messageId == 72;
        scene.rig.env.modalRequests.clear();
        if (!check(state, ok, "the save did not store, record, send and retrain every change"))
            return;
        value = value == 46 ? 47 : 46;
        state.ResumeTiming();
    }
    CammerSingleton stored(7);
    stored.LoadDatafromFile(scene.rig.host.paramDatabase(), nullptr);
    check(state, stored == *scene.rig.slot[7]->savedSet, "PARAM.db does not hold the saved set");
}
BENCHMARK(BM_SaveData8x2x50)->Unit(benchmark::kMillisecond);

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
