// Opening the settings dialog the way the operator does: the side bar's
// slot in the real main window (level gate, edit copies refreshed, side bar
// folded, dialog shown and its fields reloaded, the change signals applying
// camera 0), until the dialog is rendered into a QImage.  Eight simulated
// MindVision cameras at 1280 x 1024; offscreen on a screen of
// MM_BENCH_SCREEN (default 1280x800; 1920x1080 for the large layout), one
// screen per run because the window takes the screen's size at start.
// The first opening is reported as the counter first_ms.
// Run by hand:
//   build/bench/settingswindow_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
//   MM_BENCH_SCREEN=1920x1080 build/bench/settingswindow_bench ...
#include "benchmain.h"
#include "cameraglobals.h"
#include "globals.h"
#include "simcamerabus.h"
#include "kitfonts.h"
#include "messages.h"
#include "mojuwizard.h"
#include "mojuwizardsettingshost.h"
#include "relaylink.h"
#include "settingspage.h"
#include "testenv.h"
#include "windowtest.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <chrono>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

void loadEightCameras()
{
    QStringList devices;
    for (int i = 0; i < 8; ++i)
        devices << QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"MV%1\",\"width\":1280,\"height\":1024,"
                                  "\"fps\":30}")
                       .arg(i, 6, 10, QLatin1Char('0'));
    QString error;
    camsim::bus().loadJson(QStringLiteral("{\"devices\":[%1]}").arg(devices.join(',')).toUtf8(), &error);
}

QImage render(QWidget* w)
{
    QImage img(w->size(), QImage::Format_ARGB32_Premultiplied);
    w->render(&img);
    return img;
}

// One window for the whole run: the window's globals allow one at a time,
// and every repetition times the same openings.
struct WindowScene {
    TestEnv env;
    RecordingRelayLink relay;
    RelayLink* oldNet = nullptr;
    MoJuWizard* w = nullptr;
    QWidget* dialog = nullptr;
    double firstMs = -1;

    WindowScene()
    {
        oldNet = gpNet;
        gpNet = &relay;
        windowtest::keepLogsInside(env);
        windowtest::writeFloor(env);
        windowtest::writeParams(env, [](WizardPara& p) { p.passwordEnabled = 0; });
        loadEightCameras();
        w = new MoJuWizard;
        w->show();
        QCoreApplication::processEvents();
        dialog = w->settingsPage ? w->settingsPage->pageWidget() : nullptr;
    }
    ~WindowScene()
    {
        if (w && w->settingsPage)
            w->settingsPage->hidePage();
        delete w;
        QCoreApplication::processEvents();
        gpNet = oldNet;
    }
};
std::unique_ptr<WindowScene> gScene;

void BM_OpenFromSideBar(benchmark::State& state)
{
    if (!gScene)
        gScene = std::make_unique<WindowScene>();
    WindowScene& s = *gScene;
    if (!check(state, s.dialog && numCamera == 8, "no settings dialog or not eight cameras"))
        return;
    if (s.firstMs < 0) {
        const auto t0 = Clock::now();
        s.w->SlotSystemPara();
        const QImage first = render(s.dialog);
        s.firstMs = msSince(t0);
        benchmark::DoNotOptimize(first.constBits());
    }
    state.counters["first_ms"] = s.firstMs;
    state.counters["dialog_w"] = s.dialog->width();
    for (auto _ : state) {
        state.PauseTiming();
        s.w->settingsPage->hidePage();
        state.ResumeTiming();
        s.w->SlotSystemPara();
        const QImage img = render(s.dialog);
        benchmark::DoNotOptimize(img.constBits());
        state.PauseTiming();
        if (!check(state, s.w->settingsPageVisible(), "the side bar's slot did not open the dialog"))
            break;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenFromSideBar)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    // The window takes the screen's size: an offscreen screen of the asked size.
    QByteArray size = qgetenv("MM_BENCH_SCREEN");
    if (size.isEmpty())
        size = "1280x800";
    const QList<QByteArray> wh = size.split('x');
    const int sw = wh.value(0).toInt() > 0 ? wh.value(0).toInt() : 1280;
    const int sh = wh.value(1).toInt() > 0 ? wh.value(1).toInt() : 800;
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screens.json"));
    {
        QFile f(config);
        if (f.open(QIODevice::WriteOnly))
            f.write(QStringLiteral("{\"screens\":[{\"name\":\"bench\",\"x\":0,\"y\":0,\"width\":%1,\"height\":%2,"
                                   "\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}")
                        .arg(sw)
                        .arg(sh)
                        .toUtf8());
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    CreateSharedLocks();
    cv::setNumThreads(1);
    FillMessageTable();
    RegisterKitFonts();
    setSettingsPageFactory(MakeSettingsDialog);
    const int rc = RunRegisteredBenchmarks(argc, argv);
    gScene.reset();
    return rc;
}
