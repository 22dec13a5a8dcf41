// Speed of the USB image copy, writing 1280 x 1024 result pictures (grey and
// colour) to a local folder standing in for the disk, with blkid answered at
// once and the disk already mounted.
//   BM_UsbCopyWorker: the worker thread as it runs on the panel (a 50 ms
//     pause, the mount check, one picture per pass); each iteration queues
//     ten pictures and waits until the last is on the disk.  pictures/s and
//     MB/s (JPEG bytes written) over wall time; the requirement is 10/s.
//   BM_UsbCopyPass: one pass without the pause (blkid, the mounts table, the
//     hold, encoding and the write beside and rename): the work per picture.
// Each checks that every picture arrived whole at its size.
// Run by hand:
//   build/bench/usbcopy_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "copy2movedisk.h"
#include "paths.h"
#include "testenv.h"
#include "usbmount.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>

#include <chrono>
#include <string>
#include <thread>

namespace {

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

// A frame with a little texture, so the JPEG is as large as a real one.
QImage frame(bool colour)
{
    QImage img(1280, 1024, colour ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    QRandomGenerator noise(7);
    for (int y = 0; y < img.height(); ++y) {
        uchar* line = img.scanLine(y);
        if (colour) {
            auto* px = reinterpret_cast<QRgb*>(line);
            for (int x = 0; x < img.width(); ++x)
                px[x] = qRgb((x + y) & 0xFF, (x * 3) & 0xFF, int(noise.bounded(40)) + ((y / 4) & 0xBF));
        } else {
            for (int x = 0; x < img.width(); ++x)
                line[x] = uchar(((x ^ y) & 0x7F) + noise.bounded(40));
        }
    }
    return img;
}

// A program folder with the stick mounted on its mount folder.
struct DiskScene {
    TestEnv env;
    Copy2MoveDisk copy;
    QString alarmFolder;
    QString dayFolder;

    DiskScene()
    {
        QDir().mkpath(paths().mountPoint);
        env.writeFile(QStringLiteral("proc/mounts"),
                      "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + paths().mountPoint.toLocal8Bit() + " vfat rw 0 0\n");
        CommandResult listing;
        listing.output = "/dev/sda1: UUID=\"aa-bb\" TYPE=\"ext4\"\n/dev/sdb1: UUID=\"B1\" TYPE=\"vfat\"\n";
        env.runner->answer(QStringLiteral("blkid"), listing);
        ReleasedDisks::shared().keepOnly({});
        alarmFolder = env.path(QStringLiteral("alarmimage/camera1/detect1/NG"));
        dayFolder = paths().mountPoint + QStringLiteral("/monitor_bb/20260101/camera1/detect1/NG");
        copy.runPass();   // takes the mounted stick over
    }
    ~DiskScene() { copy.stop(); }

    QString target(const QString& name) const { return dayFolder + QLatin1Char('/') + name + QStringLiteral(".jpg"); }
};

bool arrivedWhole(const QString& path)
{
    QImageReader reader(path);
    return reader.size() == QSize(1280, 1024) && !reader.read().isNull();
}

void BM_UsbCopyWorker(benchmark::State& state)
{
    const bool colour = state.range(0) != 0;
    const QImage img = frame(colour);
    DiskScene scene;
    scene.copy.start();
    constexpr int kBatch = 10;
    qint64 pictures = 0;
    qint64 bytes = 0;
    QString last;
    for (auto _ : state) {
        for (int k = 0; k < kBatch; ++k) {
            const QString name = QStringLiteral("%1").arg(pictures + k, 8, 10, QLatin1Char('0'));
            scene.copy.add_map_actqueue(scene.alarmFolder, name, img);
            last = scene.target(name);
        }
        // Written in key order: the last key is on the disk when all are.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!QFile::exists(last) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!check(state, QFile::exists(last), "pictures did not reach the disk"))
            break;
        pictures += kBatch;
    }
    scene.copy.stop();
    const QStringList written = QDir(scene.dayFolder).entryList(QDir::Files);
    for (const QString& f : written)
        bytes += QFileInfo(scene.dayFolder + QLatin1Char('/') + f).size();
    check(state, written.size() == pictures, "a picture is missing or left over");
    check(state, arrivedWhole(last), "the last picture is not whole");
    state.counters["pictures_per_s"] = benchmark::Counter(double(pictures), benchmark::Counter::kIsRate);
    state.counters["MB_per_s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["jpeg_kB"] = pictures ? double(bytes) / 1e3 / double(pictures) : 0;
    state.SetLabel(colour ? "1280 x 1024 colour, 50 ms passes" : "1280 x 1024 grey, 50 ms passes");
}
BENCHMARK(BM_UsbCopyWorker)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_UsbCopyPass(benchmark::State& state)
{
    const bool colour = state.range(0) != 0;
    const QImage img = frame(colour);
    DiskScene scene;
    qint64 pictures = 0;
    qint64 bytes = 0;
    QString path;
    for (auto _ : state) {
        const QString name = QStringLiteral("%1").arg(pictures, 8, 10, QLatin1Char('0'));
        scene.copy.add_map_actqueue(scene.alarmFolder, name, img);
        scene.copy.runPass();
        path = scene.target(name);
        bytes += QFileInfo(path).size();
        ++pictures;
    }
    check(state, arrivedWhole(path), "the picture is not whole");
    state.counters["pictures_per_s"] = benchmark::Counter(double(pictures), benchmark::Counter::kIsRate);
    state.counters["MB_per_s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
    state.SetLabel(colour ? "1280 x 1024 colour, one pass" : "1280 x 1024 grey, one pass");
}
BENCHMARK(BM_UsbCopyPass)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}   // namespace

int main(int argc, char** argv)
{
    UseOffscreenUnlessNamed();
    QGuiApplication app(argc, argv);
    return RunRegisteredBenchmarks(argc, argv);
}
