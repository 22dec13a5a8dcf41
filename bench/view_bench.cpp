// Speed of the camera view: the paint of one view (the code of the view's
// paintEvent, into a QImage of the view's size), the latency from the camera
// bus producing a frame to the end of the paint that shows it, and the
// resident size of eight slots.  Every case checks what it painted or
// measured and stops with an error otherwise.  Run by hand:
//   build/bench/view_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
// Under MM_BENCH_TEST=1 (the CTest run) the latency runs are short.
#include "benchmain.h"
#include "benchstats.h"
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "cammerwidget.h"
#include "cyclecounters.h"
#include "fakeslothost.h"
#include "kitfonts.h"
#include "messages.h"
#include "relaylink.h"
#include "simcamerabus.h"
#include "slotrig.h"
#include "viewpainter.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSqlDatabase>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr uchar kGrey = 128;
bool gTestRun = false;   // MM_BENCH_TEST=1: short runs, results only

const QSize kScreens[] = {{1280, 800}, {1920, 1080}};

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

void setGeometry(const QSize& screen, bool colour)
{
    gImageW = kW;
    gImageH = kH;
    gisColor = colour ? 1 : 0;
    gImageLen = kW * kH;
    gColorLen = colour ? 4 * gImageLen : gImageLen;
    gShowW = screen.width();
    gShowH = screen.height();
    gShowAW = double(gShowW) / kW;
    gShowAH = double(gShowH) / kH;
    SyncImageGeometry();
}

double vmRssMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// ---------------------------------------------------------------- paint

// The heaviest view the alarm shows: 50 areas of detection 0 (rectangles,
// circles and polygons of 20 to 500 points) covering the screen, every one
// NG with 20 alarm boxes, result blobs over a tenth of its rectangle, and
// labels.  The slots are plain slot state: the paint needs no camera.
struct PaintScene {
    FakeSlotHost host;
    CammerSingleton set{0};
    std::unique_ptr<CameraSlotState> slot[kCameraSlots];
    std::vector<uint32_t> words[kCameraSlots];
    QImage image[kCameraSlots];
    int viewCount = 1;

    PaintScene(const QSize& screen, bool colour, int source, int cameras) : viewCount(cameras)
    {
        setGeometry(screen, colour);
        numCamera = cameras;
        gDNum = 1;
        gSource = source;
        host.pageMode = source == PictureSourceTemplate ? PageModeArea : PageModeAlarm;
        host.resultPhase = PhaseDetected;
        host.para.minimumSize = 20;
        host.para.minimumArea = 300;
        buildAreas();
        for (int k = 0; k < cameras; ++k) {
            auto s = std::make_unique<CameraSlotState>();
            s->camIndex = k;
            s->AllocateSlotBuffers(kW, kH, colour, 1);
            s->savedSet = &set;
            s->workSet = &set;
            if (colour) {
                // B, G, R, A: a brownish grey picture.
                for (size_t i = 0; i < s->shownFrame.size(); i += 4) {
                    s->shownFrame[i] = 90;
                    s->shownFrame[i + 1] = 120;
                    s->shownFrame[i + 2] = 150;
                    s->shownFrame[i + 3] = 255;
                }
            } else {
                std::fill(s->shownFrame.begin(), s->shownFrame.end(), kGrey);
            }
            s->isOK = 0;
            s->alarmShow = 1;
            s->brightness = kGrey;
            for (int i = 0; i < kAreas; ++i) {
                s->roiOK[0][i] = 0;
                s->roiValue[0][i] = 100 + i;
                const cv::Rect r = set.AreaImageRect(0, i) & cv::Rect(0, 0, kW, kH);
                RoiAlarm& a = s->roiAlarm[0][i];
                a.boxCount() = 20;
                for (int b = 1; b <= 20; ++b) {
                    const int x = r.x + (b * r.width) / 22, y = r.y + (b % 5) * r.height / 6;
                    a.setBox(b, x, y, x + 6, y + 6);
                }
                // A band over a tenth of the rectangle.
                const int band = std::max(1, r.height / 10);
                for (int y = r.y + r.height / 2; y < r.y + r.height / 2 + band && y < kH; ++y)
                    std::fill_n(&s->resultImage[size_t(y) * kW + r.x], r.width, uchar(255));
                if (source == PictureSourceTemplate)
                    for (int y = r.y; y < r.y + r.height; y += 9)
                        for (int x = r.x; x < r.x + r.width; x += 9)
                            s->ignoreMask[0][size_t(y) * kW + x] = 255;
            }
            words[k].assign(size_t(kW) * kH, 0);
            image[k] = QImage(reinterpret_cast<uchar*>(words[k].data()), kW, kH, kW * 4, QImage::Format_RGB32);
            slot[k] = std::move(s);
        }
        ViewState& v = host.view;
        if (cameras == 1) {
            v.viewCamera = 0;
            v.viewFracX = v.viewFracY = 1.0f;
            v.viewScaleX = float(gShowAW);
            v.viewScaleY = float(gShowAH);
        } else {
            v.viewCamera = numCamera;   // the grid: 4 x 2 cells
            v.viewFracX = 0.25f;
            v.viewFracY = 0.5f;
            v.viewScaleX = float(cellSize().width()) / kW;
            v.viewScaleY = float(cellSize().height()) / kH;
        }
    }

    QSize cellSize() const { return viewCount == 1 ? QSize(gShowW, gShowH) : QSize(gShowW / 4, gShowH / 2); }

    void buildAreas()
    {
        set.roiCount[0] = kAreas;
        const int cw = gShowW / 10, ch = gShowH / 5;
        for (int i = 0; i < kAreas; ++i) {
            const QRect cell((i % 10) * cw + 6, (i / 10) * ch + 30, cw - 12, ch - 36);
            set.roiMethod[0][i] = i % 7 == 6 ? AreaFuncDistance : AreaFuncDefect;
            set.roiMaxArea[0][i] = 100;
            switch (i % 3) {
            case 0:
                set.roiShape[0][i] = RoiShapeRect;
                set.roiRect[0][i] = ClustomRect(cell);
                set.roiRect[0][i].setImageRect();
                break;
            case 1: {
                set.roiShape[0][i] = RoiShapeCircle;
                Circle& c = set.roiCircle[0][i];
                c.cx = cell.center().x();
                c.cy = cell.center().y();
                c.r1 = std::min(cell.width(), cell.height()) / 2;
                c.r2 = i % 2 ? c.r1 / 2 : 0;
                c.UpdateRect();
                c.setImageRect();
                break;
            }
            default: {
                set.roiShape[0][i] = RoiShapePolygon;
                const int n = 20 + (i * 97) % 481;   // 20 .. 500 points
                std::vector<QPoint> pts(static_cast<size_t>(n));
                for (int k = 0; k < n; ++k) {
                    const double a = 2 * M_PI * k / n, r = k % 2 ? 0.45 : 0.35;
                    pts[size_t(k)] = QPoint(cell.center().x() + int(r * cell.width() * std::cos(a)),
                                            cell.center().y() + int(r * cell.height() * std::sin(a)));
                }
                set.roiPolygon[0][i] = RePolygon(n, pts.data());
                set.roiPolygon[0][i].setImageRect();
                break;
            }
            }
        }
    }

    ViewPaintInput input(int k, const QSize& viewSize) const
    {
        ViewPaintInput in;
        in.slot = slot[k].get();
        in.host = const_cast<FakeSlotHost*>(&host);
        in.source = gSource;
        in.viewSize = viewSize;
        in.buffer = ViewBuffer{const_cast<uint32_t*>(words[k].data()), words[k].size()};
        in.viewImage = &image[k];
        return in;
    }
};

// Paints every view of the scene into its own target, as paintEvent does.
void paintViews(const PaintScene& scene, std::vector<QImage>& targets)
{
    for (int k = 0; k < scene.viewCount; ++k) {
        QPainter painter(&targets[size_t(k)]);
        PaintCameraView(painter, scene.input(k, targets[size_t(k)].size()));
    }
}

// The overlays of the last paint: red on the result band of an NG area in
// the alarm, cyan on the ignore points with the template source, the
// picture elsewhere; and the painted view shows the overlay colour.
bool paintedRight(const PaintScene& scene, const std::vector<QImage>& targets, std::string* why)
{
    const bool tmpl = gSource == PictureSourceTemplate;
    const uint32_t overlay = tmpl ? kOverlayCyan : kOverlayRed;
    for (int k = 0; k < scene.viewCount; ++k) {
        const CameraSlotState& s = *scene.slot[k];
        const cv::Rect r = scene.set.AreaImageRect(0, 0) & cv::Rect(0, 0, kW, kH);
        const int y = tmpl ? r.y : r.y + r.height / 2, x = r.x;
        const uint32_t at = scene.words[k][size_t(y) * kW + x] & 0xFFFFFFu;
        if (at != overlay) {
            *why = "overlay pixel not marked";
            return false;
        }
        const uchar g = s.shownFrame[0];
        const uint32_t picture = s.color ? (150u << 16 | 120u << 8 | 90u) : g * 0x010101u;
        if ((scene.words[k][0] & 0xFFFFFFu) != picture) {
            *why = "picture pixel wrong";
            return false;
        }
        const QImage& t = targets[size_t(k)];
        int marked = 0;
        for (int ty = 0; ty < t.height(); ty += 2)
            for (int tx = 0; tx < t.width(); tx += 2)
                marked += (t.pixel(tx, ty) & 0xFFFFFFu) == overlay;
        if (marked == 0) {
            *why = "no overlay colour in the painted view";
            return false;
        }
    }
    return true;
}

// Args: screen (0 1280 x 800, 1 1920 x 1080), colour, source (1 live, 0
// template), cameras (1 alone, 8 in the grid).
void BM_Paint(benchmark::State& state)
{
    const QSize screen = kScreens[state.range(0)];
    const bool colour = state.range(1) != 0;
    const int source = static_cast<int>(state.range(2));
    const int cameras = static_cast<int>(state.range(3));
    PaintScene scene(screen, colour, source, cameras);
    std::vector<QImage> targets;
    for (int k = 0; k < cameras; ++k)
        targets.emplace_back(scene.cellSize(), QImage::Format_RGB32);
    for (auto _ : state)
        paintViews(scene, targets);
    std::string why;
    check(state, paintedRight(scene, targets, &why), why);
    state.counters["views"] = cameras;
    state.SetLabel(QStringLiteral("%1x%2 %3 %4%5")
                       .arg(screen.width())
                       .arg(screen.height())
                       .arg(colour ? "colour" : "grey")
                       .arg(source == PictureSourceTemplate ? "template+ignore" : "live alarm")
                       .arg(cameras == 1 ? " single" : " grid of 8")
                       .toStdString());
    gisColor = 0;
}
BENCHMARK(BM_Paint)
    ->Args({0, 0, PictureSourceLive, 1})
    ->Args({1, 0, PictureSourceLive, 1})
    ->Args({0, 1, PictureSourceLive, 1})
    ->Args({1, 1, PictureSourceLive, 1})
    ->Args({0, 0, PictureSourceTemplate, 1})
    ->Args({1, 0, PictureSourceTemplate, 1})
    ->Args({0, 0, PictureSourceLive, 8})
    ->Args({1, 0, PictureSourceLive, 8})
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- slots

QString devicesJson(int cameras, const QString& source)
{
    QString devices;
    for (int k = 0; k < cameras; ++k)
        devices += QStringLiteral("%1{\"family\":\"mindvision\",\"serial\":\"VB%2\",\"width\":%3,\"height\":%4,"
                                  "\"fps\":30,\"source\":{\"kind\":\"%5\"}}")
                       .arg(k ? QStringLiteral(",") : QString())
                       .arg(k, 4, 10, QLatin1Char('0'))
                       .arg(kW)
                       .arg(kH)
                       .arg(source);
    return devices;
}

// Resident size after building 8 slots with 4 cameras at 1280 x 1024 grey,
// 2 detections and 10 template files each.
void BM_MemoryEightSlots(benchmark::State& state)
{
    QString error;
    const double before = vmRssMb();
    double after = 0;
    bool templatesLoaded = true, minimalEmpty = true;
    int cameras = 0;
    for (auto _ : state) {
        SlotRig rig;
        gisCut = 0;   // the whole 1280 x 1024 sensor
        if (!check(state, rig.load(devicesJson(4, QStringLiteral("synthetic")), {}, &error),
                   "bus: " + error.toStdString()))
            return;
        gDNum = 2;
        gTempNum = 10;
        // The template files, 8-bit with the grey table, as the page stores them.
        QImage tmpl(kW, kH, QImage::Format_Indexed8);
        QVector<QRgb> table(256);
        for (int i = 0; i < 256; ++i)
            table[i] = qRgb(i, i, i);
        tmpl.setColorTable(table);
        tmpl.fill(90);
        for (int c = 1; c <= 4; ++c)
            for (int d = 1; d <= 2; ++d) {
                const QString folder = rig.env.path(QStringLiteral("cammer%1%2").arg(c).arg(d));
                QDir().mkpath(folder);
                for (int t = 0; t < 10; ++t)
                    tmpl.save(QDir(folder).filePath(QStringLiteral("template%1.bmp").arg(t)));
            }
        setGeometry(QSize(1280, 800), false);
        rig.buildSlots();
        after = vmRssMb();
        cameras = numCamera;
        for (int k = 0; k < kCameraSlots; ++k) {
            const CammerWidget& s = *rig.slot[k];
            for (int d = 0; d < 2; ++d)
                if (k < 4 && s.templateCount[d] != 10)
                    templatesLoaded = false;
            if (k >= 4)
                for (int d = 0; d < kDetections; ++d)
                    minimalEmpty = minimalEmpty && s.templates[d].empty();
        }
    }
    state.counters["rss_mb"] = after;
    state.counters["rss_before_mb"] = before;
    state.counters["slots_mb"] = after - before;
    state.counters["cameras"] = cameras;
    check(state, cameras == 4, "not four cameras in use");
    check(state, templatesLoaded, "the 10 template files were not all loaded");
    check(state, minimalEmpty, "a slot above the cameras found holds templates");
    gDNum = 1;
    gTempNum = 10;
}
BENCHMARK(BM_MemoryEightSlots)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- latency

using Clock = std::chrono::steady_clock;

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// The production time of every frame: a thread watches the bus devices'
// frame counters (the counter steps as the frame is made, before it is
// handed to the camera's grab side).
class ProductionClock {
public:
    explicit ProductionClock(std::vector<std::shared_ptr<camsim::Device>> devices, size_t maxFrames)
        : devices_(std::move(devices)), times_(devices_.size())
    {
        for (auto& t : times_)
            t = std::vector<std::atomic<int64_t>>(maxFrames);
        seen_.assign(devices_.size(), 0);
        for (size_t k = 0; k < devices_.size(); ++k)
            seen_[k] = devices_[k]->framesProduced();
        thread_ = std::thread([this] { run(); });
    }
    ~ProductionClock()
    {
        stop_ = true;
        thread_.join();
    }
    // Time frame n of camera k was made; 0 when not seen.
    int64_t time(int k, uint64_t n) const { return n < times_[size_t(k)].size() ? times_[size_t(k)][n].load() : 0; }
    uint64_t produced(int k) const { return devices_[size_t(k)]->framesProduced(); }

private:
    void run()
    {
        while (!stop_) {
            const int64_t t = nowNs();
            for (size_t k = 0; k < devices_.size(); ++k) {
                const uint64_t p = devices_[k]->framesProduced();
                for (uint64_t n = seen_[k] + 1; n <= p && n < times_[k].size(); ++n)
                    times_[k][n].store(t);
                seen_[k] = p;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    std::vector<std::shared_ptr<camsim::Device>> devices_;
    std::vector<std::vector<std::atomic<int64_t>>> times_;
    std::vector<uint64_t> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A slot whose paint reports when it ended and which frame it showed.
class TimedView : public CammerWidget {
public:
    using CammerWidget::CammerWidget;
    std::function<void(int camera, int value)> painted;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        CammerWidget::paintEvent(event);
        if (painted)
            painted(camIndex, static_cast<int>(reinterpret_cast<const uint32_t*>(viewRGBA)[0] & 0xFF));
    }
};

// Arg: cameras (1 alone on the screen, 8 in the 4 x 2 grid).  The bus makes
// 30 frames/s per camera; a 3 ms timer takes each camera's newest frame
// over, copies it into the shown frame and asks for a repaint, as the main
// loop will.  The latency of a frame runs from its production to the end of
// the first paint that shows it.
void BM_FrameToScreen(benchmark::State& state)
{
    const int cameras = static_cast<int>(state.range(0));
    const int runMs = gTestRun ? 1500 : 10000;
    QString error;
    SlotRig rig;
    gisCut = 0;   // the whole 1280 x 1024 sensor
    if (!check(state, rig.load(devicesJson(cameras, QStringLiteral("sequence")), {}, &error),
               "bus: " + error.toStdString()))
        return;
    gDNum = 1;
    gTempNum = 2;
    const QSize screen(1280, 800);
    setGeometry(screen, false);
    rig.buildSlots<TimedView>();
    if (!check(state, numCamera == cameras, "not every camera opened"))
        return;
    ViewState& v = rig.host.view;
    if (cameras == 1) {
        v.viewCamera = 0;
        v.viewFracX = v.viewFracY = 1.0f;
        v.viewScaleX = float(gShowAW);
        v.viewScaleY = float(gShowAH);
        rig.slot[0]->setGeometry(0, 0, screen.width(), screen.height());
        rig.slot[0]->show();
    } else {
        const int cw = screen.width() / 4, ch = screen.height() / 2;
        v.viewCamera = numCamera;
        v.viewFracX = 0.25f;
        v.viewFracY = 0.5f;
        v.viewScaleX = float(cw) / kW;
        v.viewScaleY = float(ch) / kH;
        for (int k = 0; k < cameras; ++k) {
            rig.slot[k]->setGeometry((k % 4) * cw, (k / 4) * ch, cw, ch);
            rig.slot[k]->show();
        }
    }
    rig.window->show();
    // Past the grab side's start-up, so that the run sees the steady state.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 600)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    // Slot k opened the k-th device of the bus.
    std::vector<std::shared_ptr<camsim::Device>> devices;
    for (int k = 0; k < cameras; ++k)
        devices.push_back(camsim::bus().find(QStringLiteral("VB%1").arg(k, 4, 10, QLatin1Char('0'))));
    if (!check(state, std::all_of(devices.begin(), devices.end(), [](auto& d) { return d != nullptr; }),
               "device missing"))
        return;

    std::vector<double> latencies;
    std::vector<uint64_t> lastShown(size_t(cameras), 0);
    std::vector<int> painted(size_t(cameras), 0), taken(size_t(cameras), 0);
    int wentBack = 0, untimed = 0, early = 0;
    uint64_t produced0[kCameraSlots] = {};
    double seconds = 0;
    for (auto _ : state) {
        ProductionClock clock(devices, size_t(runMs / 1000 + 5) * 40 + 1000);
        for (int k = 0; k < cameras; ++k) {
            produced0[k] = clock.produced(k);
            static_cast<TimedView*>(rig.slot[k])->painted = [&](int camera, int value) {
                const int64_t end = nowNs();
                if (camera >= cameras)
                    return;
                // The frame shown: the newest made whose number ends in value.
                const uint64_t p = clock.produced(camera);
                const uint64_t n = p - ((p - uint64_t(value)) & 0xFF);
                if (n <= produced0[camera] || n == lastShown[size_t(camera)])
                    return;   // nothing of this run yet, or a repaint of the same frame
                if (n < lastShown[size_t(camera)]) {
                    ++wentBack;
                    return;
                }
                lastShown[size_t(camera)] = n;
                ++painted[size_t(camera)];
                const int64_t made = clock.time(camera, n);
                if (made == 0) {
                    ++untimed;
                    return;
                }
                if (end < made)
                    ++early;
                latencies.push_back((end - made) / 1e6);
            };
        }
        QTimer takeOver;
        takeOver.setInterval(3);
        QObject::connect(&takeOver, &QTimer::timeout, [&] {
            for (int k = 0; k < cameras; ++k) {
                CammerWidget& s = *rig.slot[k];
                if (!TakeNewFrame(&s, s.procFrame.data()))
                    continue;
                ++taken[size_t(k)];
                std::memcpy(s.shownFrame.data(), s.procFrame.data(), s.shownFrame.size());
                s.update();
            }
        });
        QElapsedTimer run;
        run.start();
        takeOver.start();
        while (run.elapsed() < runMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        takeOver.stop();
        QCoreApplication::processEvents();
        seconds = run.elapsed() / 1000.0;
        for (int k = 0; k < cameras; ++k) {
            static_cast<TimedView*>(rig.slot[k])->painted = nullptr;
            produced0[k] = clock.produced(k) - produced0[k];
        }
    }
    for (int k = 0; k < cameras; ++k)
        rig.slot[k]->CameraStop();

    double producedAll = 0, paintedAll = 0, takenAll = 0;
    int minPainted = painted.empty() ? 0 : *std::min_element(painted.begin(), painted.end());
    for (int k = 0; k < cameras; ++k) {
        producedAll += double(produced0[k]);
        paintedAll += painted[size_t(k)];
        takenAll += taken[size_t(k)];
    }
    state.counters["cameras"] = cameras;
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["max_ms"] = percentile(latencies, 1.0);
    state.counters["produced_per_cam"] = producedAll / cameras;
    state.counters["taken_per_cam"] = takenAll / cameras;
    state.counters["painted_per_cam"] = paintedAll / cameras;
    state.counters["painted_per_cam_s"] = paintedAll / cameras / std::max(seconds, 0.001);
    state.counters["untimed"] = untimed;
    state.SetLabel(cameras == 1 ? "1 camera full screen" : "8 cameras in the 4x2 grid");
    check(state, minPainted > 0, "a camera never had a frame painted");
    check(state, wentBack == 0, "a view showed an older frame after a newer one");
    check(state, early == 0, "a frame painted before it was made: devices and viewCount mismatched");
    check(state, !latencies.empty(), "no latency measured");
}
BENCHMARK(BM_FrameToScreen)->Arg(1)->Arg(8)->Iterations(1)->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    gTestRun = BenchRunsAsTest();
    QApplication app(argc, argv);
    CreateSharedLocks();
    // The texts are part of what a paint costs.
    FillMessageTable();
    RegisterKitFonts();
    return RunRegisteredBenchmarks(argc, argv);
}
