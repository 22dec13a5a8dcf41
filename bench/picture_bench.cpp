// Speed of the result pictures: the verdict's store of a rendered 1280x1024
// picture into its slot with its flag while the writer thread encodes and
// writes, and one JPEG encode and atomic write of such a picture on the
// writer thread.  Both run the real SaveFialImageThread on a temporary
// folder, its waits shortened so that it works without pause.  Every case
// checks what was written and stops with an error otherwise.  Run by hand:
//   build/bench/picture_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Under MM_BENCH_TEST=1 (the CTest run) the runs are short.
#include "benchmain.h"
#include "benchstats.h"
#include "clock.h"
#include "failimagestore.h"
#include "globals.h"
#include "savefialimagethread.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
bool gTestRun = false;   // MM_BENCH_TEST=1: short runs, results only

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A result picture as the verdict makes it: the grey camera picture with its
// verdict and 20 labelled area boxes.  n varies the content a little.
QImage Rendered(int n)
{
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(qRgb(110 + n % 40, 110, 110));
    QPainter p(&img);
    QFont f = p.font();
    f.setPixelSize(16);
    p.setFont(f);
    for (int a = 0; a < 20; ++a) {
        const QRect r(40 + (a % 5) * 240, 120 + (a / 5) * 220, 200, 180);
        p.setPen(a == n % 20 ? Qt::red : Qt::green);
        p.drawRect(r);
        p.drawText(r.topLeft() + QPoint(0, -6), QStringLiteral("%1: 30 / %2 ").arg(a + 1).arg((n + a) % 100));
    }
    f.setPixelSize(26);
    p.setFont(f);
    p.setPen(Qt::red);
    p.drawText(QPoint(5, 80), QStringLiteral("NG"));
    return img;
}

void Flag(int camera, int d, int slot)
{
    QMutexLocker lock(pMutexSaveFail);
    gisSaveFail[camera][d][slot] = true;
}

// One camera and detection, their folders in a temporary directory and the
// real writer with its waits cut to a fiftieth (at least 1 ms).
struct WriterRig {
    QTemporaryDir tmp;
    QString dirs[kCameraSlots][kDetections][2];
    qint64 serial = 100000;
    std::atomic<int> offered{0};
    std::atomic<int> onGuiThread{0};
    std::function<void(const QString&, const QString&, const QImage&)> usbCopy;
    Clock* clock = nullptr;

    WriterRig()
    {
        ClearFailImages();
        dirs[0][0][0] = tmp.path() + QStringLiteral("//camera1//detect1//NG");
        dirs[0][0][1] = tmp.path() + QStringLiteral("//camera1//detect1//OK");
        QDir().mkpath(dirs[0][0][0]);
        QDir().mkpath(dirs[0][0][1]);
    }
    ~WriterRig() { ClearFailImages(); }

    std::unique_ptr<SaveFialImageThread> start()
    {
        SaveFialImageThread::Ports p;
        p.dirs = dirs;
        p.serial = &serial;
        p.cameras = [] { return 1; };
        p.detections = [] { return 1; };
        p.keepNg = [] { return 20; };
        p.keepOk = [] { return 20; };
        QThread* gui = QCoreApplication::instance()->thread();
        p.usbCopy = [this, gui](const QString& folder, const QString& base, const QImage& pic) {
            if (QThread::currentThread() == gui)
                ++onGuiThread;
            ++offered;
            if (usbCopy)
                usbCopy(folder, base, pic);
        };
        p.sleep = [](int ms) { QThread::msleep(std::max(1, ms / 50)); };
        p.clock = clock;
        auto w = std::make_unique<SaveFialImageThread>(p);
        w->start();
        return w;
    }

    int jpgs() const { return QDir(dirs[0][0][0]).entryList({QStringLiteral("*.jpg")}, QDir::Files).size(); }
};

// The store as the verdict does it, timed: the picture into its slot, then
// its flag under the store's lock, while the writer encodes and writes the
// pictures before it.
void BM_StoreWhileWriting(benchmark::State& state)
{
    WriterRig rig;
    auto writer = rig.start();
    const int stores = gTestRun ? 40 : 400;
    std::vector<double> samples;
    int writtenWhileStoring = 0;
    for (auto _ : state) {
        samples.clear();
        const int before = writer->written();
        for (int i = 0; i < stores; ++i) {
            QImage picture = Rendered(i);   // made before, as the verdict renders first
            const double t0 = nowMs();
            StoreFailImage(0, 0, 0, std::move(picture));
            Flag(0, 0, 0);
            samples.push_back(nowMs() - t0);
            // A short gap, about a verdict's share of a fast cycle.
            QThread::usleep(500);
        }
        writtenWhileStoring += writer->written() - before;
    }
    writer->requestInterruption();
    writer->wait();
    const double median = percentile(samples, 0.5);
    state.counters["median_ms"] = median;
    state.counters["p99_ms"] = percentile(samples, 0.99);
    state.counters["max_ms"] = percentile(samples, 1.0);
    state.counters["written"] = writtenWhileStoring;
    state.SetLabel("1280x1024 RGB32 store + flag, writer busy");
    check(state, writtenWhileStoring > 0, "the writer wrote nothing while the pictures were stored");
    check(state, writer->failed() == 0, "the writer failed to write a picture");
    check(state, rig.jpgs() > 0 && rig.jpgs() <= 20, "the NG folder does not hold between 1 and 20 pictures");
    check(state, rig.onGuiThread == 0, "a picture was written on the GUI thread");
    if (!gTestRun)
        check(state, median <= 0.5, "median store above 0.5 ms");
}
BENCHMARK(BM_StoreWhileWriting)->Iterations(1)->Unit(benchmark::kMillisecond);

// Marks the start of a write: the writer asks the time for the picture's
// name just before it encodes.
class MarkingClock : public Clock {
public:
    mutable std::atomic<double> startedMs{0};
    mutable std::atomic<int> onGuiThread{0};
    QThread* gui = nullptr;
    QDateTime now() const override
    {
        if (QThread::currentThread() == gui)
            ++onGuiThread;
        startedMs = nowMs();
        return QDateTime::currentDateTime();
    }
    void sleepMs(int ms) override { QThread::msleep(ms); }
    qint64 monotonicMs() const override { return qint64(nowMs()); }
};

// One JPEG encode and atomic write of a 1280x1024 picture on the writer
// thread: from the name (just before the encode) to the hand-over to the USB
// copy (just after the file was renamed into place).
void BM_EncodeAndWrite(benchmark::State& state)
{
    WriterRig rig;
    MarkingClock clock;
    clock.gui = QCoreApplication::instance()->thread();
    rig.clock = &clock;
    QMutex m;
    std::vector<double> samples;
    QSize lastSize;
    rig.usbCopy = [&](const QString& folder, const QString& base, const QImage&) {
        const double end = nowMs();
        QMutexLocker lock(&m);
        samples.push_back(end - clock.startedMs);
        lastSize = QImageReader(folder + QLatin1Char('/') + base + QStringLiteral(".jpg")).size();
    };
    auto writer = rig.start();
    const int pictures = gTestRun ? 5 : 60;
    for (auto _ : state) {
        for (int i = 0; i < pictures; ++i) {
            const int before = writer->written() + writer->failed();
            StoreFailImage(0, 0, 0, Rendered(i));
            Flag(0, 0, 0);
            while (writer->written() + writer->failed() == before)
                QThread::msleep(1);
        }
    }
    writer->requestInterruption();
    writer->wait();
    QMutexLocker lock(&m);
    state.counters["median_ms"] = percentile(samples, 0.5);
    state.counters["max_ms"] = percentile(samples, 1.0);
    state.counters["pictures"] = double(samples.size());
    state.SetLabel("1280x1024 JPEG encode + atomic write, writer thread");
    check(state, int(samples.size()) == pictures, "not every picture was written");
    check(state, writer->failed() == 0, "the writer failed to write a picture");
    check(state, lastSize == QSize(kW, kH), "the last picture written does not read back at 1280x1024");
    check(state, clock.onGuiThread == 0 && rig.onGuiThread == 0, "a picture was written on the GUI thread");
}
BENCHMARK(BM_EncodeAndWrite)->Iterations(1)->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    gTestRun = BenchRunsAsTest();
    QApplication app(argc, argv);
    CreateSharedLocks();
    return RunRegisteredBenchmarks(argc, argv);
}
