// Speed of the status strip.  BM_StripPaint: one full paint of the strip on
// a 1920-wide screen (180 high) with every lamp and text: the
// multi-detection mode with eight detections and eight lamps, the four
// product-pulse lamps, a parameter group, the login state, a mounted disk
// and the clock with the cycle time; the widget renders into a QImage as it
// paints on screen, with the generated lamp pictures.  It checks that the
// lit and dark lamps are where the levels say and that the texts were
// drawn.  BM_StripPassUnchanged: the call every 3 ms main-loop pass makes
// when nothing shown has changed (wall clock, so it also pays for reading
// the time); it checks that no repaint was scheduled beyond one per second.
// Run by hand:
//   build/bench/strip_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "benchstats.h"
#include "clock.h"
#include "controlport.h"
#include "copy2movedisk.h"
#include "globals.h"
#include "imagemaker.h"
#include "iostatuswidget.h"
#include "kitfonts.h"
#include "messages.h"
#include "operationrecord.h"
#include "pixmaps.h"
#include "wizardpara.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

struct StripScene {
    WizardPara para;
    std::unique_ptr<ControlPort> io;
    int accessLevel = AccessLevelAdvanced;
    int cycleTime = 123;
    std::unique_ptr<IOStatusWidget> strip;

    StripScene()
    {
        gShowW = 1920;
        gShowH = 1080;
        para.systemMode = 4;
        para.statusLampCount = 8;
        para.productNgPulseNoAlarm = 1;
        para.passwordEnabled = 1;
        para.paramGroupIndex = 1;
        const int inputs[kDetections] = {0, 2, 3, 4, 5, 6, 7, 8};
        for (int d = 0; d < kDetections; ++d)
            para.detectTriggerInput[d] = inputs[d];
        gpWPara = &para;
        CreateSharedLocks();
        io = std::make_unique<ControlPort>(nullptr);
        gpControlIO = io.get();
        io->inWord = 0x155;    // inputs 0, 2, 4, 6, 8 on
        io->outWord = 0x0AA;   // outputs 1, 3, 5, 7 on
        for (int i = 0; i < kStatusLabels; ++i)
            gaName[i] = QStringLiteral("IO%1").arg(i);
        Copy2MoveDisk::instance()->setMountPath(QStringLiteral("/mnt"));
        strip = std::make_unique<IOStatusWidget>(nullptr, accessLevel, cycleTime);
        strip->setParamGroups({QStringLiteral("default"), QStringLiteral("Mould A")});
    }
    ~StripScene()
    {
        strip.reset();
        gpControlIO = nullptr;
        gpWPara = nullptr;
        Copy2MoveDisk::instance()->setMountPath(QString());
    }
};

bool lit(QRgb c) { return qGreen(c) > qRed(c) + 60; }
bool dark(QRgb c) { return qAbs(qGreen(c) - qRed(c)) < 20 && qRed(c) > 40; }

void BM_StripPaint(benchmark::State& state)
{
    StripScene scene;
    QImage img(scene.strip->size(), QImage::Format_RGB32);
    std::vector<double> ms;
    for (auto _ : state) {
        img.fill(Qt::black);
        const auto start = std::chrono::steady_clock::now();
        scene.strip->render(&img);
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["median_ms"] = upperMedian(ms);
    state.counters["max_ms"] = largest(ms);
    state.counters["first_ms"] = ms.empty() ? 0 : ms.front();
    state.SetLabel("1920 x 180, 22 lamps, group, login, clock");

    const StripPicture pic = LayOutStrip(scene.strip->currentInput());
    if (!check(state, img.size() == QSize(1920, 180) && pic.lamps.size() == 9 + 9 + 4 && pic.texts.size() == 3,
               "not every lamp and text laid out"))
        return;
    for (const StripLamp& lamp : pic.lamps) {
        const QRgb c = img.pixel(lamp.rect.center().x(), lamp.rect.top() + lamp.rect.height() / 3);
        if (!check(state, lamp.level ? lit(c) : dark(c), "lamp " + lamp.label.toStdString() + " shows the wrong level"))
            return;
    }
    // Each text left some of its colour on its baseline's line.
    for (const StripText& t : pic.texts) {
        int hits = 0;
        for (int x = t.pos.x(); x < qMin(img.width(), t.pos.x() + 200); ++x)
            for (int y = t.pos.y() - t.px / 2; y < t.pos.y(); ++y)
                hits += (img.pixel(x, y) & 0xFFFFFFu) == (t.colour.rgb() & 0xFFFFFFu);
        if (!check(state, hits > 0, "text not drawn: " + t.text.toStdString()))
            return;
    }
}
BENCHMARK(BM_StripPaint)->Unit(benchmark::kMillisecond);

void BM_StripPassUnchanged(benchmark::State& state)
{
    StripScene scene;
    scene.strip->refresh();
    int scheduled = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        scheduled += scene.strip->refresh() ? 1 : 0;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["repaints"] = scheduled;
    state.SetLabel("nothing shown changed");
    // Only the clock's second may have moved on.
    check(state, scheduled <= int(seconds) + 1, "repaints scheduled while nothing changed");
}
BENCHMARK(BM_StripPassUnchanged)->Unit(benchmark::kMicrosecond);

}   // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    FillMessageTable();
    RegisterKitFonts();
    setAppClock(std::make_shared<SystemClock>());
    QTemporaryDir images;
    if (!MakeInterfaceImages(images.path()).isEmpty())
        return 1;
    LoadPixmaps(images.path());
    return RunRegisteredBenchmarks(argc, argv);
}
