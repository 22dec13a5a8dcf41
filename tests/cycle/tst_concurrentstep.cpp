// The detection step with the cameras judged at once on the detection pool
// against the same step judged one camera after the other: for a table of
// scenes on eight cameras with the real engine, every verdict, value, alarm
// box, marked pixel, aligned and shown frame, kept NG frame, area NG count,
// engine record, relay entry and everything the verdict does afterwards
// (outputs, records, pictures, statistics, relay calls) is the same, byte
// for byte.
#include "detectionpool.h"
#include "enginecyclecamera.h"
#include "enginerig.h"
#include "fakecycle.h"
#include "messages.h"
#include "slotrig.h"
#include "synth.h"

#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <memory>

namespace {

constexpr int kW = 640;
constexpr int kH = 480;
constexpr int kCams = kCameraSlots;
constexpr int kDetect = 1;   // the mould detection, the last of the cycle

// Where each method's area lies, in image pixels.
const cv::Rect kDirection(15, 15, 190, 70);
const cv::Rect kSpot(240, 20, 80, 80);
const cv::Rect kBlack(340, 20, 80, 80);
const cv::Rect kWhite(440, 20, 80, 80);
const cv::Rect kWhiteCount(540, 20, 80, 80);
const cv::Rect kSimilarity(340, 140, 120, 120);
const cv::Rect kPosition(270, 190, 100, 100);
const cv::Rect kIgnore(40, 120, 40, 40);
const cv::Rect kDistance(30, 405, 580, 30);
const cv::Point kDefectAt(170, 250);
const cv::Point kRingAt(560, 250);

enum class Fault { None, Defect, Spot, Black, White, Similarity, WhiteCount, Direction, Distance, Ring };

enum class Colour { None, GreyPlane, HuePlane };

struct Scene {
    Fault fault = Fault::None;
    bool shifted = false;
    bool rotated = false;
    Colour colour = Colour::None;
};

} // namespace
Q_DECLARE_METATYPE(Scene)

namespace {

// The picture every camera learned: the mould with a patch per method.
cv::Mat learned()
{
    cv::Mat m = synth::mould(kW, kH, 3);
    const cv::Mat arrows = synth::arrowShapes({true, true, true}, 60);
    m(cv::Rect(20, 20, 180, 60)).setTo(0);
    arrows.copyTo(m(cv::Rect(20, 20, 180, 60)));
    m(kSpot).setTo(100);
    m(cv::Rect(kSpot.x + 30, kSpot.y + 30, 10, 10)).setTo(180);
    m(kBlack).setTo(100);
    m(kWhite).setTo(100);
    synth::discs(80, 80, 2, 6, 25).copyTo(m(kWhiteCount));
    synth::stepEdges(600, 40, {100, 400}, 100).copyTo(m(cv::Rect(20, 400, 600, 40)));
    return m;
}

// Camera c's frame of the scene: the learned picture with the scene's
// fault on every odd camera, moved or turned per camera, with noise.
cv::Mat frameOf(const Scene& scene, int c)
{
    cv::Mat m = learned();
    if (c % 2 == 1) {
        switch (scene.fault) {
        case Fault::None:
            break;
        case Fault::Defect:
            synth::injectDefect(m, kDefectAt, 400, 80);
            break;
        case Fault::Spot:
            m(cv::Rect(kSpot.x + 20, kSpot.y + 20, 40, 40)).setTo(180);
            break;
        case Fault::Black:
            m(cv::Rect(kBlack.x + 30, kBlack.y + 30, 20, 20)).setTo(10);
            break;
        case Fault::White:
            m(cv::Rect(kWhite.x + 30, kWhite.y + 30, 20, 20)).setTo(220);
            break;
        case Fault::Similarity: {
            cv::Mat mirrored;
            cv::flip(m(kSimilarity), mirrored, 1);
            mirrored.copyTo(m(kSimilarity));
            break;
        }
        case Fault::WhiteCount:
            synth::discs(80, 80, 5, 6, 25).copyTo(m(kWhiteCount));
            break;
        case Fault::Direction: {
            const cv::Mat arrows = synth::arrowShapes({true, false, true}, 60);
            arrows.copyTo(m(cv::Rect(20, 20, 180, 60)));
            break;
        }
        case Fault::Distance:
            synth::stepEdges(600, 40, {60, 400}, 100).copyTo(m(cv::Rect(20, 400, 600, 40)));
            break;
        case Fault::Ring:
            synth::injectDefect(m, kRingAt + cv::Point(0, 30), 300, 90);
            break;
        }
    }
    const cv::Point2f centre(kW / 2.0f, kH / 2.0f);
    if (scene.shifted)
        m = synth::transform(m, 6 + c % 3, -4 - c % 2, 0, centre);
    if (scene.rotated)
        m = synth::transform(m, 2 + c % 2, 1, 3.0 + 0.5 * (c % 3), centre);
    return synth::noise(m, 2.0, uint64_t(11 + c));
}

// A grey picture as the colour camera sees it: grey, or tinted so that the
// hue follows the grey.
cv::Mat inColour(const cv::Mat& grey, Colour colour)
{
    if (colour != Colour::HuePlane)
        return synth::toRGBA(grey);
    cv::Mat inverse = 255 - grey;
    cv::Mat half = grey / 2 + 40;
    cv::Mat out;
    cv::merge(std::vector<cv::Mat>{grey, half, inverse, cv::Mat(grey.size(), CV_8UC1, cv::Scalar(255))}, out);
    return out;
}

// Everything the step leaves behind, as bytes and lines.
struct Outcome {
    QByteArray slotData[kCams];     // per camera: results, pictures, counters
    QStringList engineRecords[kCams];
    QByteArray relayEntries;     // g_listParamROI after the step
    int relayEntryCount = 0;
    QStringList cycle;           // the verdict's outputs, records and calls
    bool ok[kCams] = {};
    int ngAreas[kCams][kAreas] = {};
};

template <typename T>
void appendRaw(QByteArray& out, const T& value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

void appendBuffer(QByteArray& out, const std::vector<uchar>& buffer)
{
    appendRaw(out, buffer.size());
    out.append(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size()));
}

QByteArray slotBytes(const CameraSlotState& s)
{
    QByteArray out;
    appendRaw(out, s.isOK);
    appendRaw(out, s.roiOK[kDetect]);
    appendRaw(out, s.roiValue[kDetect]);
    appendRaw(out, s.roiAlarm[kDetect]);
    appendBuffer(out, s.resultImage);
    appendBuffer(out, s.alignedFrame);
    appendBuffer(out, s.shownFrame);
    appendBuffer(out, s.grayPlane);
    for (const std::vector<uchar>& kept : s.recentNG[kDetect])
        appendBuffer(out, kept);
    appendRaw(out, s.recentNGCount[kDetect]);
    appendRaw(out, s.savedSet->roiNgCount[kDetect]);
    return out;
}

// One detection step of the mould detection on eight cameras, judged one
// after the other or on a pool with the given workers.
Outcome runStep(const Scene& scene, int workers)
{
    CycleRig rig(kCams);
    gSource = PictureSourceNone;
    gPicNumNG = gPicNumOK = 3;
    standardMachine(rig.para);
    rig.para.netEnabled = 0;   // the cycle leaves the relay list alone

    std::unique_ptr<EngineRig> engines[kCams];
    std::unique_ptr<EngineCycleCamera> cams[kCams];
    const bool colour = scene.colour != Colour::None;
    const cv::Mat picture = colour ? inColour(learned(), scene.colour) : learned();
    for (int c = 0; c < kCams; ++c) {
        engines[c] = std::make_unique<EngineRig>(kW, kH, colour, 1);
        gisGrayHue = scene.colour == Colour::GreyPlane ? 1 : 0;
        EngineRig& e = *engines[c];
        e.slot.camIndex = c;
        EngineParams& v = e.host.values;
        v.detectEnabled[0] = v.detectEnabled[1] = 1;
        v.minSpot = 1;
        v.netEnabled = 1;
        e.host.triggerSource = 1;   // the engine reports every area
        if (scene.shifted || scene.rotated) {
            v.motionCorrection = 0;
            v.maxOffset = 40;
            v.rotationAngle = scene.rotated ? 10 : 0;
        }
        e.setTemplate(kDetect, 0, picture);
        e.addRect(kDetect, kPosition, AreaFuncPosition, 50);
        e.addPolygon(kDetect, {{40, 120}, {300, 120}, {300, 360}, {40, 360}}, AreaFuncDefect, 3, 45, 100);
        e.addRect(kDetect, kIgnore, AreaFuncIgnore);
        e.addCircle(kDetect, kRingAt, 60, 20, AreaFuncDefect, 3, 45, 100);
        e.addRect(kDetect, kSpot, AreaFuncSpot, 170 | 190 << 8, 1, 1000);
        e.addRect(kDetect, kBlack, AreaFuncBlackArea, 0, 50, 300);
        e.addRect(kDetect, kWhite, AreaFuncWhiteArea, 0, 150, 300);
        e.addRect(kDetect, kSimilarity, AreaFuncSimilarity, 0, 80, 0);
        e.addRect(kDetect, kWhiteCount, AreaFuncWhiteCount, 1, 150, 3 | 1 << 16);
        e.addRect(kDetect, kDirection, AreaFuncDirection, 1, 5000, 100);
        e.addRect(kDetect, kDistance, AreaFuncDistance, 0, 10, 310);
        // Every fourth camera has an area left with nothing to judge (all
        // ignored): an error record of the pass.
        if (c % 4 == 3)
            e.addRect(kDetect, cv::Rect(kIgnore.x + 5, kIgnore.y + 5, 20, 20), AreaFuncDefect, 3, 45, 100);
        e.build();
        e.setFrame(colour ? inColour(frameOf(scene, c), scene.colour) : frameOf(scene, c));
        // Stale results of an earlier detection, overwritten by the step.
        e.slot.PlaneView(e.slot.resultImage).setTo(7);
        std::fill(e.slot.shownFrame.begin(), e.slot.shownFrame.end(), uchar(3));
        cams[c] = std::make_unique<EngineCycleCamera>(e.slot, *e.engine, e.host, rig.state);
        rig.controller->setCamera(c, cams[c].get());
        rig.state.failImageState[c][kDetect] = FailImgArmed;
        rig.state.roiNgCountPending[c] = true;
    }
    DetectionPool pool(workers);
    if (workers > 0)
        rig.controller->setDetectionPool(&pool);
    rig.start();
    rig.state.delayCountdownTenths[kDetect] = 1;
    rig.controller->TimerUp(kDetect);

    Outcome out;
    for (int c = 0; c < kCams; ++c) {
        const CameraSlotState& s = engines[c]->slot;
        out.slotData[c] = slotBytes(s);
        out.engineRecords[c] = engines[c]->host.records;
        out.ok[c] = s.isOK;
        for (int i = 0; i < s.savedSet->roiCount[kDetect]; ++i)
            out.ngAreas[c][i] = s.roiOK[kDetect][i] == 0;
        QStringList calls;
        for (auto it = cams[c]->calls.cbegin(); it != cams[c]->calls.cend(); ++it)
            if (it.key() != QLatin1String("HandOn"))
                calls << QStringLiteral("camera %1 %2 %3").arg(c).arg(it.key()).arg(it.value());
        out.cycle << calls;
    }
    out.relayEntryCount = int(g_listParamROI.size());
    for (const param_roi& r : g_listParamROI)
        appendRaw(out.relayEntries, r);
    for (const auto& change : rig.changes())
        out.cycle << QStringLiteral("word %1 at %2").arg(change.second).arg(change.first);
    out.cycle << rig.host.events << rig.slotHost.events << rig.relay.calls() << rig.stats.adds;
    out.cycle << QStringLiteral("page %1 run %2 phase %3")
                     .arg(rig.state.pageMode)
                     .arg(rig.slotHost.runState)
                     .arg(rig.state.resultPhase);
    for (int c = 0; c < kCams; ++c)
        out.cycle << QStringLiteral("camera %1 picture %2 shown %3 first %4 pending %5")
                         .arg(c)
                         .arg(rig.state.failImageState[c][kDetect])
                         .arg(rig.state.cameraOkShown[c])
                         .arg(rig.state.cycleFirstRun[c])
                         .arg(rig.state.roiNgCountPending[c]);
    for (int c = 0; c < kCams; ++c)
        rig.controller->setCamera(c, rig.cams[c].get());
    g_listParamROI.clear();
    return out;
}

// Area index of each method in the order runStep adds them.
int areaOf(Fault fault)
{
    switch (fault) {
    case Fault::Defect:
        return 1;
    case Fault::Ring:
        return 3;
    case Fault::Spot:
        return 4;
    case Fault::Black:
        return 5;
    case Fault::White:
        return 6;
    case Fault::Similarity:
        return 7;
    case Fault::WhiteCount:
        return 8;
    case Fault::Direction:
        return 9;
    case Fault::Distance:
        return 10;
    case Fault::None:
        break;
    }
    return -1;
}

// What camera slots as the program has them leave after one step of
// detection 1: the one record and relay list all slots share, and each
// slot's results.
struct SlotOutcome {
    QStringList records;
    QByteArray relayEntries;
    QByteArray slotData[4];
    QString failed;   // what kept the slots from being built
};

// Four camera slots on the simulated bus (64 x 48), each with a white area
// (NG on cameras 1 and 3) and, on cameras 0 and 2, an area all ignored (an
// error record naming the camera).
SlotOutcome runSlots(int workers)
{
    constexpr int w = 64, h = 48, n = 4;
    CycleRig cycle(n);
    standardMachine(cycle.para);
    cycle.para.netEnabled = 0;   // the cycle leaves the relay list alone
    SlotRig rig;
    gTempNum = 1;
    gDNum = 2;
    QString devices;
    for (int c = 0; c < n; ++c)
        devices += QStringLiteral("%1{\"family\":\"mindvision\",\"serial\":\"CAM0%2\",\"width\":%3,\"height\":%4,\"fps\":1}")
                       .arg(c ? "," : "")
                       .arg(c + 1)
                       .arg(w)
                       .arg(h);
    SlotOutcome out;
    if (!rig.load(devices)) {
        out.failed = QStringLiteral("the simulated bus did not load");
        return out;
    }
    setTestGeometry(w, h, 1.0);
    applyGeometry();
    rig.buildSlots(n);
    numCamera = n;
    gSource = PictureSourceNone;
    gPicNumNG = gPicNumOK = 0;
    EngineParams& v = rig.host.engine.values;
    v.detectEnabled[0] = v.detectEnabled[1] = 1;
    v.netEnabled = 1;
    rig.host.engine.triggerSource = 1;
    rig.host.engine.detect = kDetect;
    g_listParamROI.clear();
    for (int c = 0; c < n; ++c) {
        CammerWidget* s = rig.slot[c];
        if (!s || !s->complete() || !s->savedSet) {
            out.failed = QStringLiteral("slot %1 was not built whole").arg(c);
            return out;
        }
        std::memset(s->TemplateBuffer(kDetect, 0), 100, size_t(w * h));
        CammerSingleton& set = *s->savedSet;
        set.roiCount[kDetect] = 0;
        const auto add = [&](const QRect& r, int method, int a, int b, int cc) {
            const int i = set.roiCount[kDetect]++;
            set.roiMethod[kDetect][i] = method;
            set.roiMinSize[kDetect][i] = a;
            set.roiSensibility[kDetect][i] = b;
            set.roiMaxArea[kDetect][i] = cc;
            set.roiShape[kDetect][i] = RoiShapeRect;
            set.roiRect[kDetect][i].rect = r;
            s->liveMask[kDetect][i] = set.UpdateAreaMask(kDetect, i);
        };
        add(QRect(4, 4, 40, 30), AreaFuncWhiteArea, 0, 150, 20);
        if (c % 2 == 0) {
            add(QRect(40, 30, 20, 15), AreaFuncIgnore, 0, 0, 0);
            add(QRect(44, 33, 8, 6), AreaFuncSpot, 170 | 190 << 8, 0, 1000);
        }
        s->VarTrain(kDetect);
        cv::Mat frame(h, w, CV_8UC1, cv::Scalar(100));
        if (c % 2 == 1)
            frame(cv::Rect(10, 10, 6 + c, 6)).setTo(220);
        std::memcpy(s->procFrame.data(), frame.data, size_t(w * h));
        cycle.controller->setCamera(c, s);
    }
    DetectionPool pool(workers);
    if (workers > 0)
        cycle.controller->setDetectionPool(&pool);
    cycle.start();
    cycle.state.delayCountdownTenths[kDetect] = 1;
    cycle.controller->TimerUp(kDetect);

    out.records = rig.host.engine.records;
    for (const param_roi& r : g_listParamROI)
        appendRaw(out.relayEntries, r);
    for (int c = 0; c < n; ++c)
        out.slotData[c] = slotBytes(*rig.slot[c]);
    for (int c = 0; c < n; ++c)
        cycle.controller->setCamera(c, cycle.cams[c].get());
    g_listParamROI.clear();
    return out;
}

} // namespace

class TestConcurrentStep : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void sameAsOneAfterTheOther_data();
    void sameAsOneAfterTheOther();
    void cameraSlotsHandOnInCameraOrder();
    void poolRunsEveryJobOnce();
};

void TestConcurrentStep::sameAsOneAfterTheOther_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<int>("workers");
    QTest::newRow("clean") << Scene{} << 7;
    QTest::newRow("defect") << Scene{Fault::Defect} << 7;
    QTest::newRow("defect in a ring") << Scene{Fault::Ring} << 7;
    QTest::newRow("spot") << Scene{Fault::Spot} << 7;
    QTest::newRow("black area") << Scene{Fault::Black} << 7;
    QTest::newRow("white area") << Scene{Fault::White} << 7;
    QTest::newRow("similarity") << Scene{Fault::Similarity} << 7;
    QTest::newRow("white count") << Scene{Fault::WhiteCount} << 7;
    QTest::newRow("direction") << Scene{Fault::Direction} << 7;
    QTest::newRow("distance") << Scene{Fault::Distance} << 7;
    QTest::newRow("shifted") << Scene{Fault::Defect, true} << 7;
    QTest::newRow("rotated") << Scene{Fault::Defect, false, true} << 7;
    QTest::newRow("colour, grey plane") << Scene{Fault::White, false, false, Colour::GreyPlane} << 7;
    QTest::newRow("colour, hue plane") << Scene{Fault::None, false, false, Colour::HuePlane} << 7;
    // Fewer workers than cameras: a worker takes several in turn.
    QTest::newRow("two workers") << Scene{Fault::Defect, true} << 2;
}

void TestConcurrentStep::sameAsOneAfterTheOther()
{
    QFETCH(Scene, scene);
    QFETCH(int, workers);
    const Outcome serial = runStep(scene, 0);
    const Outcome concurrent = runStep(scene, workers);

    // The table bites: the fault fails its own area on the odd cameras, the
    // error area makes every fourth camera NG, an even camera passes on a
    // grey plane (the hue plane of the tinted scene is another picture).
    const int area = areaOf(scene.fault);
    for (int c = 0; c < kCams; ++c) {
        if (area >= 0 && c % 2 == 1)
            QVERIFY2(serial.ngAreas[c][area], qPrintable(QStringLiteral("camera %1 area %2").arg(c).arg(area)));
        if (c % 4 == 3) {
            QCOMPARE(serial.ok[c], false);
            QVERIFY(!serial.engineRecords[c].isEmpty());
        }
        if (c % 2 == 0 && !scene.shifted && !scene.rotated && scene.colour != Colour::HuePlane) {
            QString ng;
            for (int i = 0; i < kAreas; ++i)
                if (serial.ngAreas[c][i])
                    ng += QStringLiteral(" %1").arg(i);
            QVERIFY2(serial.ok[c], qPrintable(QStringLiteral("camera %1 NG areas%2").arg(c).arg(ng)));
        }
    }
    QVERIFY(serial.relayEntryCount >= kCams * 9);

    for (int c = 0; c < kCams; ++c) {
        QCOMPARE(concurrent.ok[c], serial.ok[c]);
        QCOMPARE(concurrent.engineRecords[c], serial.engineRecords[c]);
        QVERIFY2(concurrent.slotData[c] == serial.slotData[c], qPrintable(QStringLiteral("camera %1").arg(c)));
    }
    QCOMPARE(concurrent.relayEntryCount, serial.relayEntryCount);
    QVERIFY(concurrent.relayEntries == serial.relayEntries);
    QCOMPARE(concurrent.cycle, serial.cycle);
}

void TestConcurrentStep::cameraSlotsHandOnInCameraOrder()
{
    const SlotOutcome serial = runSlots(0);
    const SlotOutcome concurrent = runSlots(3);
    QVERIFY2(serial.failed.isEmpty(), qPrintable(serial.failed));
    // The slots share one record and one relay list: camera order in both.
    QCOMPARE(serial.records, QStringList({QStringLiteral("REG RUN ERROR = 0, 1, -1"),
                                          QStringLiteral("REG RUN ERROR = 2, 1, -1")}));
    QCOMPARE(serial.relayEntries.size(), qsizetype(4 * sizeof(param_roi)));
    QCOMPARE(concurrent.records, serial.records);
    QVERIFY(concurrent.relayEntries == serial.relayEntries);
    for (int c = 0; c < 4; ++c)
        QVERIFY2(concurrent.slotData[c] == serial.slotData[c], qPrintable(QStringLiteral("camera %1").arg(c)));
}

void TestConcurrentStep::poolRunsEveryJobOnce()
{
    // Runs of every size on pools of every size, several runs per pool.
    for (int workers : {0, 1, 3, 7}) {
        DetectionPool pool(workers);
        QCOMPARE(pool.workers(), workers);
        for (int n : {0, 1, 2, 8, 8, 5}) {
            std::vector<std::atomic<int>> runs(size_t(std::max(n, 1)));
            for (auto& r : runs)
                r = 0;
            pool.run(n, [&](int k) { ++runs[size_t(k)]; });
            for (int k = 0; k < n; ++k)
                QCOMPARE(runs[size_t(k)].load(), 1);
        }
    }
    // At most one worker per further camera slot.
    QCOMPARE(DetectionPool(64).workers(), kCameraSlots - 1);
}

QTEST_MAIN(TestConcurrentStep)
#include "tst_concurrentstep.moc"
