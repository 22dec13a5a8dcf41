// Speed of the statistics page and the cycle-time export, on a generated
// program directory: 31 archived statistics days plus the current one, 8
// cameras x 8 detections filled, and a month of cycle-time files at one
// cycle every 10 s (about 270,000 rows).
//   BM_StatisticsShow/W/H: from show() to the first paint of the charts of
//     the detection page in view (the day list rebuilt, the current day
//     loaded); checks that the labels show the day's total.
//   BM_StatisticsSwitchDay/W/H: a touch on an archived day (alternately two)
//     to the repaint of the charts; checks the figures changed to that day's.
//   BM_CycleExport: the cycle-time export of the month through our program
//     (the built "xls", started for real), from the button to the file on
//     the folder-disk, boxes answered by the hook; checks the row count.
// Run by hand:
//   build/bench/stats_pages_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "cameraglobals.h"
#include "detectcyclesql.h"
#include "detectcyclewidget.h"
#include "editdatetime.h"
#include "exportdialog.h"
#include "globals.h"
#include "histogram.h"
#include "messages.h"
#include "paintcounter.h"
#include "recordswriter.h"
#include "resstatisticsparam.h"
#include "statisticswidget.h"
#include "statsdays.h"
#include "testenv.h"
#include "wizardpara.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QTimeEdit>

#include <ctime>
#include <memory>
#include <string>

namespace {

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

const QDate kToday(2024, 3, 31);

// The generated program directory, made once.
struct Directory {
    TestEnv env;
    WizardPara para;
    std::unique_ptr<RecordsWriter> writer;
    std::unique_ptr<ResStatisticsParam> store;
    int monthRows = 0;

    Directory()
    {
        env.clock->set(QDateTime(kToday, QTime(10, 0)));
        numCamera = 8;
        gDNum = 8;
        gpWPara = &para;
        FillMessageTable();
        for (int k = 1; k <= 31; ++k)
            statsdays::writeStatisticsFile(env.path(QStringLiteral("ResStatistics/%1.db").arg(kToday.addDays(-k).toString(Qt::ISODate))),
                                           statsdays::busyDay(8, 8, quint32(k)));
        statsdays::writeStatisticsFile(env.path("ResStatistics.db"), statsdays::busyDay(8, 8, 100));
        env.writeFile("restime.txt", QByteArray::number(QDateTime(kToday, QTime(8, 0)).toSecsSinceEpoch()));
        const int step = BenchRunsAsTest() ? 600000 : 10000;
        const int days = BenchRunsAsTest() ? 3 : 30;
        for (int k = days; k >= 1; --k) {
            const QDate d = kToday.addDays(-k);
            monthRows += statsdays::writeCycleDay(env.path("DetectCycle/" + d.toString(Qt::ISODate) + ".db"), d, step);
        }
        env.writeFile("DetectCycle/time.txt", kToday.toString(Qt::ISODate).toLatin1());
        writer = std::make_unique<RecordsWriter>();
        store = std::make_unique<ResStatisticsParam>(*writer, env.path("ResStatistics"));
        gpResStatisticsParam = store.get();
        DetectCycleSQL::instance = new DetectCycleSQL(*writer);

        // The disk is the folder "mnt".
        env.writeFile("proc/mounts", "/dev/sda1 / ext4 rw 0 0\n");
        QDir().mkpath(env.path("mnt"));
        env.runner->setScript([this](const CommandCall& c) {
            CommandResult r;
            if (c.program == "blkid")
                r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
            if (c.program == "mount")
                env.writeFile("proc/mounts", "/dev/sda1 / ext4 rw 0 0\n" + c.args.value(0).toUtf8() + ' ' +
                                                 c.args.value(1).toUtf8() + " vfat rw 0 0\n");
            if (c.program == "umount")
                env.writeFile("proc/mounts", "/dev/sda1 / ext4 rw 0 0\n");
            return r;
        });
        env.runner->passThroughStart(DetectCycleWidget::kProgram, QStringLiteral(MM_XLS_PROGRAM));
    }
};

Directory& directory()
{
    static Directory* d = new Directory;   // lives to the end: the writer and the log are process-wide
    return *d;
}

Histogram* chartInView(StatisticsWidget& page)
{
    auto* detection = qobject_cast<CameraStatisticsWidget*>(page.currentCameraPage()->currentWidget());
    return detection ? detection->morningChart : nullptr;
}

void waitForPaint(PaintCounter& counter, int before)
{
    QElapsedTimer t;
    t.start();
    while (counter.paints == before && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_StatisticsShow(benchmark::State& state)
{
    Directory& dir = directory();
    gShowW = int(state.range(0));
    gShowH = int(state.range(1));
    StatisticsWidget page;
    PaintCounter counter;
    chartInView(page)->installEventFilter(&counter);
    for (auto _ : state) {
        page.hide();
        QApplication::processEvents();
        const int before = counter.paints;
        page.show();
        waitForPaint(counter, before);
        if (!check(state, counter.paints > before, "no paint after show()"))
            break;
    }
    auto* shown = qobject_cast<CameraStatisticsWidget*>(page.currentCameraPage()->currentWidget());
    const int total = dir.store->getCount(ShiftWholeDay, true, 8, 8) + dir.store->getCount(ShiftWholeDay, false, 8, 8);
    check(state, shown && shown->dayCountLabel->text() == QString::number(total) && total > 0, "wrong total shown");
}
BENCHMARK(BM_StatisticsShow)->Args({1920, 1080})->Args({1280, 800})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StatisticsSwitchDay(benchmark::State& state)
{
    directory();
    gShowW = int(state.range(0));
    gShowH = int(state.range(1));
    StatisticsWidget page;
    page.show();
    QApplication::processEvents();
    PaintCounter counter;
    chartInView(page)->installEventFilter(&counter);
    int row = 1;
    QStringList seen;
    for (auto _ : state) {
        row = row == 1 ? 2 : 1;
        const int before = counter.paints;
        page.dayList->setCurrentRow(row);
        emit page.dayList->itemClicked(page.dayList->item(row));
        waitForPaint(counter, before);
        if (!check(state, counter.paints > before, "no paint after choosing a day"))
            break;
        auto* shown = qobject_cast<CameraStatisticsWidget*>(page.currentCameraPage()->currentWidget());
        seen << shown->dayCountLabel->text();
    }
    check(state, seen.size() < 2 || seen[0] != seen[1], "the figures did not change with the day");
}
BENCHMARK(BM_StatisticsSwitchDay)->Args({1920, 1080})->Args({1280, 800})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CycleExport(benchmark::State& state)
{
    Directory& dir = directory();
    gShowW = 1920;
    gShowH = 1080;
    auto* page = new DetectCycleWidget;
    modal::setHook([page](const ModalRequest& r) {
        if (r.kind == QLatin1String("ExportDialog")) {
            ExportDialog* d = page->findChild<ExportDialog*>();
            d->startEdit->dateEdit->setDate(kToday.addDays(-31));
            d->startEdit->timeEdit->setTime(QTime(0, 0));
            d->endEdit->dateEdit->setDate(kToday.addDays(-1));
            d->endEdit->timeEdit->setTime(QTime(23, 59, 59));
            return 1;
        }
        return 0;
    });
    for (auto _ : state) {
        bool ended = false, ok = false;
        QObject::connect(page, &DetectCycleWidget::exportEnded, page, [&](bool good) { ended = true; ok = good; });
        page->exportData();
        QElapsedTimer t;
        t.start();
        while (!ended && t.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        QObject::disconnect(page, &DetectCycleWidget::exportEnded, page, nullptr);
        if (!check(state, ended && ok, "export did not reach the disk"))
            break;
    }
    state.counters["rows"] = dir.monthRows;
    const QStringList files = QDir(dir.env.path("mnt")).entryList({"DetectCycle_*.xlsx"}, QDir::Files);
    check(state, !files.isEmpty(), "no file on the disk");
    for (const QString& f : files)
        QFile::remove(dir.env.path("mnt/" + f));
    delete page;
}
BENCHMARK(BM_CycleExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}   // namespace

int main(int argc, char** argv)
{
    qputenv("TZ", "CST-8");
    tzset();
    UseOffscreenUnlessNamed();
    QApplication app(argc, argv);
    return RunRegisteredBenchmarks(argc, argv);
}
