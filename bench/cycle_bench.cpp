// Speed of the detection cycle: the controller with its real Qt timers, the
// real board thread and serial port on a pty, and the board simulator on
// the other end.  Latencies are taken on the steady clock: the simulator
// stamps the moment it read a set-outputs frame, the controller's flushes
// are stamped as they publish a new word.  Every latency case reports the
// median and the 99th percentile of its samples as counters (median_ms,
// p99_ms) and its mean as the manual time; at the end the program prints
// both over the samples of all repetitions.  Every case checks what it
// timed (the words the board applied, the verdicts) and stops with an error
// otherwise.  Run by hand:
//   build-rel/bench/cycle_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "benchstats.h"
#include "enginecyclecamera.h"
#include "enginerig.h"
#include "failimagestore.h"
#include "framehandover.h"
#include "linkedcycle.h"
#include "messages.h"
#include "opencvthreads.h"
#include "slotrig.h"
#include "synth.h"

#include <QApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>
#include <glog/logging.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Steady = LinkedCycle::Steady;
using Stamp = LinkedCycle::Stamp;

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kWaitMs = LinkedCycle::kWaitMs;

// Output words as the board sees them (the rig inverts no output).
constexpr int kClamp = 1 << OutNotAllowClose;
constexpr int kEjector = 1 << OutNotAllowThimble;
constexpr int kAlarm = 1 << OutAlarm;
constexpr int kStartWord = kClamp | kEjector;          // cycle start: both blocked
constexpr int kProductOkWord = kClamp;                 // product OK: ejector free
constexpr int kProductNgWord = kClamp | kEjector | kAlarm;
constexpr int kIdleWord = 0;                           // mould OK: all free

bool benchTest() { return qEnvironmentVariableIntValue("MM_BENCH_TEST") == 1; }

double msBetween(Steady::time_point from, Steady::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// SkipWithError keeps only the pointer: the text must outlive the run.
void failWith(benchmark::State& state, const std::string& what)
{
    static std::vector<std::string> texts;
    texts.push_back(what);
    state.SkipWithError(texts.back().c_str());
}

// Samples of every repetition, per counter, for the summary at the end.
std::map<std::string, std::vector<double>>& pooled()
{
    static std::map<std::string, std::vector<double>> p;
    return p;
}

// Sets <prefix>median_ms and <prefix>p99_ms of this repetition's samples.
void reportSamples(benchmark::State& state, const std::string& name, const std::string& prefix,
                   const std::vector<double>& ms)
{
    state.counters[prefix + "median_ms"] = percentile(ms, 0.5);
    state.counters[prefix + "p99_ms"] = percentile(ms, 0.99);
    std::vector<double>& all = pooled()[name + (prefix.empty() ? "" : " " + prefix.substr(0, prefix.size() - 1))];
    all.insert(all.end(), ms.begin(), ms.end());
}

double mean(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0.0 : s / double(v.size());
}

// One machine cycle of the fake-camera rig, all OK: the input rises, the
// cycle starts (both outputs blocked), the product verdict frees the
// ejector after 0.1 s, the mould verdict frees the clamp after 0.2 s.
struct CycleTimes {
    double edgeToStart = 0;   // input change at the simulator -> start word published
    double edgeToBoard = 0;   // input change at the simulator -> start word read by the board
    double verdict[2] = {};   // verdict flush -> its word read by the board (product, mould)
};

bool runOkCycle(LinkedCycle& rig, int phaseMs, CycleTimes* t, std::string* why)
{
    if (!rig.waitUntil([&] { return rig.idle(); }, kWaitMs)) {
        *why = "the rig did not come back to idle";
        return false;
    }
    // The edge falls anywhere in the board thread's 5 ms rhythm.
    rig.idleFor(phaseMs);
    const int counted = gAllNum[0];
    const size_t from = rig.published.size();
    const Steady::time_point edge = Steady::now();
    rig.sim.setInput(InMouldOpenEnd, true);
    if (!rig.waitUntil([&] { return rig.published.size() > from; }, kWaitMs)) {
        *why = "no cycle start";
        return false;
    }
    rig.sim.setInput(InMouldOpenEnd, false);
    if (!rig.waitUntil([&] { return gAllNum[0] == counted + 1 && rig.sim.outputs() == kIdleWord; }, kWaitMs)) {
        *why = "the cycle did not end with both verdicts OK and the board idle";
        return false;
    }
    const std::vector<Stamp> seen(rig.published.begin() + long(from), rig.published.end());
    if (seen.size() != 3 || seen[0].word != kStartWord || seen[1].word != kProductOkWord
        || seen[2].word != kIdleWord) {
        *why = "the controller published other words than start, product OK, mould OK";
        return false;
    }
    Steady::time_point at[3];
    for (int k = 0; k < 3; ++k)
        if (!rig.boardRead(seen[size_t(k)].word, seen[size_t(k)].at, &at[k])) {
            *why = "the board never applied word " + std::to_string(seen[size_t(k)].word);
            return false;
        }
    t->edgeToStart = msBetween(edge, seen[0].at);
    t->edgeToBoard = msBetween(edge, at[0]);
    t->verdict[0] = msBetween(seen[1].at, at[1]);
    t->verdict[1] = msBetween(seen[2].at, at[2]);
    return true;
}

// The edge falls at a different point of the board's rhythm every cycle.
int phaseOf(int64_t i) { return 1 + int((i * 7) % 6); }

void BM_InputEdgeToCycleStart(benchmark::State& state)
{
    LinkedCycle rig(1);
    if (!rig.error.empty()) {
        failWith(state, rig.error);
        return;
    }
    std::vector<double> start, board;
    int64_t i = 0;
    for (auto _ : state) {
        CycleTimes t;
        std::string why;
        if (!runOkCycle(rig, phaseOf(i++), &t, &why)) {
            failWith(state, why);
            break;
        }
        state.SetIterationTime(t.edgeToStart / 1000.0);
        start.push_back(t.edgeToStart);
        board.push_back(t.edgeToBoard);
    }
    reportSamples(state, "BM_InputEdgeToCycleStart", "", start);
    reportSamples(state, "BM_InputEdgeToCycleStart", "board_", board);
}

void BM_VerdictToBoard(benchmark::State& state)
{
    LinkedCycle rig(1);
    if (!rig.error.empty()) {
        failWith(state, rig.error);
        return;
    }
    std::vector<double> verdicts;
    int64_t i = 0;
    for (auto _ : state) {
        CycleTimes t;
        std::string why;
        if (!runOkCycle(rig, phaseOf(i++), &t, &why)) {
            failWith(state, why);
            break;
        }
        state.SetIterationTime((t.verdict[0] + t.verdict[1]) / 2000.0);
        verdicts.push_back(t.verdict[0]);
        verdicts.push_back(t.verdict[1]);
    }
    reportSamples(state, "BM_VerdictToBoard", "", verdicts);
}

// A fake camera whose frames come through the real hand-over.
class HandOverCamera : public FakeCycleCamera {
public:
    using FakeCycleCamera::FakeCycleCamera;
    FrameHandOver* handOver = nullptr;
    bool takeNewFrame() override { return handOver && handOver->take(state.procFrame.data()); }
};

// One pass of the main loop, called directly, idle between cycles: 8 fake
// cameras; argument 1: camera 0 has a new 1280 x 1024 grey frame that the
// pass takes over, measures and copies for the view.
void BM_MainLoopPass(benchmark::State& state)
{
    const bool withFrame = state.range(0) == 1;
    gisColor = 0;
    gImageW = kW;
    gImageH = kH;
    gImageLen = kW * kH;
    gColorLen = gImageLen;
    LinkedCycle rig(kCameraSlots);
    if (!rig.error.empty()) {
        failWith(state, rig.error);
        return;
    }
    FrameHandOver handOver(0);
    HandOverCamera camera(0, &rig.state, &rig.para);
    camera.handOver = &handOver;
    camera.state.procFrame.assign(size_t(gColorLen), 0);
    camera.state.shownFrame.assign(size_t(gColorLen), 0);
    rig.controller->setCamera(0, &camera);
    {
        QMutexLocker lock(pMutex[0]);
        isImageFill[0] = false;
    }
    const cv::Mat frame = synth::mould(kW, kH, 5);
    // The pass measures every 4th pixel of every 4th row.
    qint64 sum = 0;
    for (int y = 0; y < kH; y += 4)
        for (int x = 0; x < kW; x += 4)
            sum += frame.at<uchar>(y, x);
    const int expectedMean = int(sum / ((kW / 4) * (kH / 4)));
    const size_t words = rig.published.size();
    const int counted = gAllNum[0];

    std::vector<double> ms;
    for (auto _ : state) {
        if (withFrame)
            handOver.deliverGrey(frame.data);
        const Steady::time_point t0 = Steady::now();
        rig.controller->Run();
        const Steady::time_point t1 = Steady::now();
        const double d = msBetween(t0, t1);
        state.SetIterationTime(d / 1000.0);
        ms.push_back(d);
    }
    reportSamples(state, withFrame ? "BM_MainLoopPass/frame:1" : "BM_MainLoopPass/frame:0", "", ms);

    // Idle passes: no cycle, no new word, the next pass armed; the frame
    // was taken over every time, measured and shown.
    if (rig.published.size() != words || gAllNum[0] != counted || rig.state.pageMode == PageModeAlarm)
        state.SkipWithError("an idle pass changed the cycle or the outputs");
    else if (!rig.state.runTimer->isActive())
        state.SkipWithError("the pass did not arm the next one");
    else if (withFrame
             && (rig.state.frameCount[0] != int(state.iterations())
                 || camera.state.brightness != expectedMean
                 || std::memcmp(camera.state.shownFrame.data(), frame.data, size_t(gColorLen)) != 0))
        state.SkipWithError("the frame was not taken over, measured and shown");
    else if (!withFrame && rig.state.frameCount[0] != 0)
        state.SkipWithError("a frame was taken over without one waiting");
}

// A real camera slot for the cycle benchmark: the widget, its sets, engine
// and result pictures as the program has them, with the frame put in by the
// case (no hand-over: the simulated camera's own frames never replace it)
// and the engine's detection following the cycle, as the main window's
// engine host does.
class BenchSlot : public CammerWidget {
public:
    BenchSlot(SlotHost* host, int index, QWidget* parent) : CammerWidget(host, index, parent) {}

    std::function<void()> beforeShapeMatch;
    const CycleState* cycle = nullptr;

    bool takeNewFrame() override { return false; }
    void ShapeMatch() override
    {
        if (beforeShapeMatch)
            beforeShapeMatch();
        engine().detect = cycle ? cycle->currentDetect : 0;
        CammerWidget::ShapeMatch();
    }
    void Run(int d) override
    {
        engine().detect = d;
        CammerWidget::Run(d);
    }
    FixedEngineHost& engine() { return static_cast<FixedEngineHost&>(slotHost()->engineHost()); }
};

// 2 cameras with the real engine, 20 defect areas on each of both
// detections, positioning on, shifted noisy scenes from the generator.  The
// cameras are either the engine over a plain slot state (EngineCycleCamera)
// or real camera slots (BenchSlot on the simulated bus), whose verdicts also
// render the result pictures.
struct EngineCycle {
    static constexpr int kAreasPerDetection = 20;
    const cv::Point defectAt{400, 300};

    LinkedCycle cycle{2};
    bool realSlots = false;
    std::unique_ptr<EngineRig> rigs[2];
    std::unique_ptr<EngineCycleCamera> cams[2];
    std::unique_ptr<SlotRig> slotRig;
    BenchSlot* views[2] = {};
    int picNum[2] = {gPicNumNG, gPicNumOK};
    cv::Mat clean[2];
    cv::Mat defective;   // for camera 1
    Steady::time_point delayEnd[2];
    bool delayEnded[2] = {};

    explicit EngineCycle(bool withSlots = false) : realSlots(withSlots)
    {
        if (!cycle.error.empty())
            return;
        const cv::Mat tmpl = synth::mould(kW, kH, 3);
        if (realSlots && !buildSlots(tmpl))
            return;
        for (int c = 0; c < 2 && !realSlots; ++c) {
            rigs[c] = std::make_unique<EngineRig>(kW, kH, false, 1);
            EngineRig& r = *rigs[c];
            r.slot.camIndex = c;
            setValues(r.host.values);
            for (int d = 0; d < 2; ++d) {
                r.setTemplate(d, 0, tmpl);
                for (int k = 0; k < kAreasPerDetection; ++k)
                    r.addRect(d, areaRect(k), AreaFuncDefect, 3, 45, 100);
            }
            r.build();
            cams[c] = std::make_unique<EngineCycleCamera>(r.slot, *r.engine, r.host, cycle.state);
            cycle.controller->setCamera(c, cams[c].get());
        }
        for (int c = 0; c < 2; ++c)
            clean[c] = synth::noise(synth::transform(tmpl, 23 - 9 * c, -17 + 6 * c, 0, {640, 512}), 2.0,
                                    uint64_t(11 + c));
        cv::Mat withDefect = tmpl.clone();
        synth::injectDefect(withDefect, defectAt, 400, 80);
        defective = synth::noise(synth::transform(withDefect, 14, -11, 0, {640, 512}), 2.0, 17);
        // Camera 0 is judged first: its positioning starts the detection.
        const auto startOfDetection = [this] {
            const int d = cycle.state.currentDetect;
            if (d >= 0 && d < 2 && !delayEnded[d]) {
                delayEnd[d] = cycle.lastTimerFired();
                delayEnded[d] = true;
            }
        };
        if (realSlots)
            views[0]->beforeShapeMatch = startOfDetection;
        else
            cams[0]->beforeShapeMatch = startOfDetection;
    }
    ~EngineCycle()
    {
        for (int c = 0; c < 2; ++c)
            cycle.controller->setCamera(c, cycle.fakes[c].get());
        slotRig.reset();
        ClearFailImages();
        gPicNumNG = picNum[0];
        gPicNumOK = picNum[1];
    }

    static cv::Rect areaRect(int k) { return cv::Rect(20 + (k % 5) * 248, 20 + (k / 5) * 248, 240, 240); }
    static void setValues(EngineParams& v)
    {
        v.minimumSize = 3;
        v.minimumArea = 100;
        v.minSpot = 3;
        v.detectEnabled[0] = v.detectEnabled[1] = 1;
        v.motionCorrection = 0;
        v.maxOffset = 50;
    }

    // Two slots on a simulated bus of two 1280 x 1024 cameras (one frame a
    // second: their frames are not used), with the areas and templates of
    // the plain case, and pictures kept for NG and OK verdicts.
    bool buildSlots(const cv::Mat& tmpl)
    {
        slotRig = std::make_unique<SlotRig>();
        gDNum = 2;
        gTempNum = 1;
        const QString dev = QStringLiteral(
            "{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":%2,\"height\":%3,\"fps\":1}");
        if (!slotRig->load(dev.arg("CAM01").arg(kW).arg(kH) + "," + dev.arg("CAM02").arg(kW).arg(kH))) {
            cycle.error = "the simulated bus did not load";
            return false;
        }
        setTestGeometry(kW, kH, 1.0);
        applyGeometry();
        slotRig->buildSlots<BenchSlot>(2);
        // The rig starts from the globals before a probe; the cycle runs live.
        numCamera = 2;
        gSource = PictureSourceLive;
        gPicNumNG = gPicNumOK = 3;
        setValues(slotRig->host.engine.values);
        for (int c = 0; c < 2; ++c) {
            BenchSlot* s = static_cast<BenchSlot*>(slotRig->slot[c]);
            if (!s || !s->complete() || !s->savedSet || s->colorLen != kW * kH) {
                cycle.error = "a camera slot was not built whole";
                return false;
            }
            s->cycle = &cycle.state;
            for (int d = 0; d < 2; ++d) {
                std::memcpy(s->TemplateBuffer(d, 0), tmpl.data, size_t(kW * kH));
                CammerSingleton& set = *s->savedSet;
                set.roiCount[d] = 0;
                for (int k = 0; k < kAreasPerDetection; ++k) {
                    const cv::Rect r = areaRect(k);
                    const int i = set.roiCount[d]++;
                    set.roiMethod[d][i] = AreaFuncDefect;
                    set.roiMinSize[d][i] = 3;
                    set.roiSensibility[d][i] = 45;
                    set.roiMaxArea[d][i] = 100;
                    set.roiShape[d][i] = RoiShapeRect;
                    set.roiRect[d][i].rect = QRect(QPoint(r.x, r.y), QPoint(r.x + r.width - 1, r.y + r.height - 1));
                    s->liveMask[d][i] = set.UpdateAreaMask(d, i);
                }
                s->CreateShape(d);
                s->VarTrain(d);
            }
            views[c] = s;
            cycle.controller->setCamera(c, s);
        }
        return true;
    }

    CameraSlotState& slotOf(int c) { return realSlots ? static_cast<CameraSlotState&>(*views[c]) : rigs[c]->slot; }
    const CammerSingleton& setOf(int c) const { return realSlots ? *views[c]->savedSet : rigs[c]->saved; }
    const QStringList& recordsOf(int c) const
    {
        return realSlots ? slotRig->host.engine.records : rigs[c]->host.records;
    }
    void setFrame(int c, const cv::Mat& gray)
    {
        CameraSlotState& s = slotOf(c);
        std::memcpy(s.procFrame.data(), gray.data, size_t(kW * kH));
        std::memcpy(s.alignedFrame.data(), gray.data, size_t(kW * kH));
    }

    int defectArea() const
    {
        const CammerSingleton& set = setOf(1);
        for (int i = 0; i < set.roiCount[0]; ++i)
            if (set.AreaImageRect(0, i).contains(defectAt))
                return i;
        return -1;
    }
    // Every area of detection d on camera c judged and passed, but area ng.
    bool judged(int c, int d, int ng)
    {
        if (!recordsOf(c).isEmpty())
            return false;
        const CameraSlotState& slot = slotOf(c);
        for (int i = 0; i < kAreasPerDetection; ++i)
            if ((slot.roiOK[d][i] == 0) != (i == ng))
                return false;
        return true;
    }

    // One cycle; ng puts the defect before camera 1.  Samples: delay end ->
    // verdict word read by the board, for the product and (when OK) the mould;
    // detect: delay end -> the product verdict's word published.
    bool run(bool ng, int phaseMs, std::vector<double>* samples, std::vector<double>* detect, std::string* why)
    {
        LinkedCycle& rig = cycle;
        if (!rig.waitUntil([&] { return rig.idle(); }, kWaitMs)) {
            *why = "the rig did not come back to idle";
            return false;
        }
        setFrame(0, clean[0]);
        setFrame(1, ng ? defective : clean[1]);
        delayEnded[0] = delayEnded[1] = false;
        if (realSlots)
            ClearFailImages();
        rig.idleFor(phaseMs);
        const int counted = gAllNum[0];
        const size_t from = rig.published.size();
        rig.sim.setInput(InMouldOpenEnd, true);
        if (!rig.waitUntil([&] { return rig.published.size() > from; }, kWaitMs)) {
            *why = "no cycle start";
            return false;
        }
        rig.sim.setInput(InMouldOpenEnd, false);
        const int productWord = ng ? kProductNgWord : kProductOkWord;
        Steady::time_point read[2];
        const bool done = rig.waitUntil(
            [&] {
                if (!delayEnded[0] || !rig.boardRead(productWord, delayEnd[0], &read[0]))
                    return false;
                if (ng)
                    return rig.state.pageMode == PageModeAlarm;
                return gAllNum[0] == counted + 1 && delayEnded[1] && rig.boardRead(kIdleWord, delayEnd[1], &read[1]);
            },
            kWaitMs);
        if (!done) {
            *why = std::string("the board did not get the ") + (ng ? "NG" : "OK") + " verdicts (outputs "
                   + std::to_string(rig.sim.outputs()) + ")";
            return false;
        }
        const int area = defectArea();
        if (!judged(0, 0, -1) || !judged(1, 0, ng ? area : -1) || (!ng && (!judged(0, 1, -1) || !judged(1, 1, -1)))) {
            *why = ng ? "the injected defect was not found in its area alone" : "a clean scene was not judged OK";
            return false;
        }
        if (realSlots) {
            // NG: camera 1's product picture; OK: both cameras' mould pictures.
            const bool rendered = ng ? !FailImage(1, 0, 0).isNull()
                                     : !FailImage(0, 1, 1).isNull() && !FailImage(1, 1, 1).isNull();
            if (!rendered) {
                *why = "the verdict rendered no result picture";
                return false;
            }
        }
        samples->push_back(msBetween(delayEnd[0], read[0]));
        if (!ng)
            samples->push_back(msBetween(delayEnd[1], read[1]));
        // The part spent judging: delay end to the verdict's word published.
        for (const Stamp& p : rig.published)
            if (p.at >= delayEnd[0] && p.word == productWord) {
                detect->push_back(msBetween(delayEnd[0], p.at));
                break;
            }
        if (ng) {
            // The operator's restart ends the alarm.
            rig.controller->StartDetect();
        }
        return true;
    }
};

// Argument: OpenCV threads, 1 or the default (0), as in detect_bench.
void delayEndToBoard(benchmark::State& state, bool realSlots, const std::string& name)
{
    setOpenCVThreads(state.range(0) == 1 ? 1 : -1);
    EngineCycle rig(realSlots);
    if (!rig.cycle.error.empty()) {
        failWith(state, rig.cycle.error);
        return;
    }
    if (rig.defectArea() < 0) {
        state.SkipWithError("no area holds the defect");
        return;
    }
    std::vector<double> ms, detect;
    int64_t i = 0;
    int ngCycles = 0;
    for (auto _ : state) {
        // Every fourth cycle, starting with the second, has the defect.
        const bool ng = i % 4 == 1;
        std::vector<double> samples;
        std::string why;
        if (!rig.run(ng, phaseOf(i++), &samples, &detect, &why)) {
            failWith(state, why);
            break;
        }
        ngCycles += ng ? 1 : 0;
        state.SetIterationTime(mean(samples) / 1000.0);
        ms.insert(ms.end(), samples.begin(), samples.end());
    }
    reportSamples(state, name, "", ms);
    reportSamples(state, name, "detect_", detect);
    setOpenCVThreads(-1);
    state.counters["ng_cycles"] = ngCycles;
}

void BM_DelayEndToBoard2x20(benchmark::State& state)
{
    delayEndToBoard(state, false,
                    state.range(0) == 1 ? "BM_DelayEndToBoard2x20/threads:1" : "BM_DelayEndToBoard2x20/threads:0");
}

// The same through real camera slots, whose verdicts render the pictures.
void BM_DelayEndToBoard2x20Slots(benchmark::State& state)
{
    delayEndToBoard(state, true,
                    state.range(0) == 1 ? "BM_DelayEndToBoard2x20Slots/threads:1"
                                        : "BM_DelayEndToBoard2x20Slots/threads:0");
}

void registerAll()
{
    const bool test = benchTest();
    // Whole machine cycles take 0.2 s and more: fixed counts keep a
    // repetition to a few seconds.
    const int cycles = test ? 3 : 30;
    benchmark::RegisterBenchmark("BM_InputEdgeToCycleStart", BM_InputEdgeToCycleStart)
        ->UseManualTime()
        ->Iterations(cycles)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_VerdictToBoard", BM_VerdictToBoard)
        ->UseManualTime()
        ->Iterations(cycles)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MainLoopPass", BM_MainLoopPass)
        ->ArgName("frame")
        ->Arg(0)
        ->Arg(1)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_DelayEndToBoard2x20", BM_DelayEndToBoard2x20)
        ->ArgName("threads")
        ->Arg(1)
        ->Arg(0)
        ->UseManualTime()
        ->Iterations(test ? 4 : 20)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_DelayEndToBoard2x20Slots", BM_DelayEndToBoard2x20Slots)
        ->ArgName("threads")
        ->Arg(1)
        ->Arg(0)
        ->UseManualTime()
        ->Iterations(test ? 4 : 20)
        ->Unit(benchmark::kMillisecond);
}

void printPooled()
{
    if (pooled().empty())
        return;
    std::printf("\nOver all repetitions:\n%-48s %8s %10s %10s %10s\n", "case", "samples", "median_ms", "p99_ms",
                "max_ms");
    for (const auto& [name, v] : pooled())
        std::printf("%-48s %8zu %10.4g %10.4g %10.4g\n", name.c_str(), v.size(), percentile(v, 0.5),
                    percentile(v, 0.99), largest(v));
}

} // namespace

int main(int argc, char** argv)
{
    // The cycle's timers need this thread's event loop; the camera slots are
    // widgets, never shown.
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    // The camera slots' captions and the pictures' texts.
    FillMessageTable();
    // Every case opens the board link; its "opened" lines would bury the table.
    FLAGS_minloglevel = google::GLOG_WARNING;
    // With TZ unset the C library re-reads the zone on every tzset(), which
    // the wall clock here and the log's time stamps on the board thread both
    // call; its lock is invisible to the race checker.  The same zone, named.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printPooled();
    return 0;
}
