// Speed of the settings dialog over eight simulated MindVision cameras
// (1280 x 1024 grey, one OpenCV thread), offscreen on a 1280 x 800 and a
// 1920 x 1080 screen:
//  - opening: the show path (edit copy refreshed, shown, the change signals
//    re-applying camera 0) to the dialog rendered into a QImage; the first
//    opening is reported as the counter first_ms;
//  - Confirm with nothing changed;
//  - Confirm that retrains 8 cameras x 2 detections (a changed difference
//    multiplier and mould choice) on generated scenes with 10 templates x 50
//    areas, answered yes: total, per (camera, detection), whether the
//    progress box appeared;
//  - the PARAM.db save of the record alone;
//  - the record page with a day of 10,000 records, today's (the window's
//    connection) and an archived one ("dbList"): UpdateRecord to the first
//    screen rendered; fetching every row reported as fetch_all_ms;
//  - the data export's worker into a local folder standing in for the disk:
//    MB/s of a program directory of 44 MB in 330 files (32 pictures of
//    1.25 MB, 296 small files, two databases of 10,000 records).
// Every case checks what it did and stops with an error otherwise.  Run by hand:
//   build/bench/settings_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "benchmain.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "cammersingleton.h"
#include "choosebox.h"
#include "combobox.h"
#include "dataexport.h"
#include "editbox.h"
#include "fakesettingshost.h"
#include "kitfonts.h"
#include "messages.h"
#include "paramfields.h"
#include "settingslayout.h"
#include "slotrig.h"
#include "synth.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTableView>

#include <opencv2/core.hpp>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;
constexpr int kCameras = 8;
constexpr int kDetects = 2;
constexpr int kTemplates = 10;
constexpr int kAreaCount = 50;

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

bool check(benchmark::State& state, bool ok, const std::string& what)
{
    if (!ok && !state.error_occurred())
        state.SkipWithError(what.c_str());
    return ok;
}

std::string modalIds(const TestEnv& env)
{
    std::string out = ", boxes";
    for (const ModalRequest& r : env.modalRequests)
        out += " " + std::to_string(r.messageId);
    return out;
}

QSize screenOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? QSize(1280, 800) : QSize(1920, 1080);
}

// The settings host with the camera and engine calls going to the slots, as
// the program's adapter sends them; the engine calls are timed.
class SlotSettingsHost : public FakeSettingsHost {
public:
    CammerWidget** views = nullptr;
    int camera0Applied = 0;
    double trainMs = 0;
    int trainCalls = 0;
    int shapeCalls = 0;

    void applyCameraSetting(int slot, CameraSetting s) override
    {
        CammerWidget* v = views ? views[slot] : nullptr;
        if (!v)
            return;
        if (slot == 0)
            ++camera0Applied;
        switch (s) {
        case CameraSetting::Exposure: v->SetExposeTime(); break;
        case CameraSetting::Gain: v->SetAdjustPlus(); break;
        case CameraSetting::Sharpness: v->SetSharp(); break;
        case CameraSetting::Contrast: v->SetContrast(); break;
        case CameraSetting::Gamma: v->SetGamma(); break;
        case CameraSetting::HMirror: v->SetHMirror(); break;
        case CameraSetting::VMirror: v->SetVMirror(); break;
        }
    }
    void createShape(int c, int d) override
    {
        ++shapeCalls;
        timed([&] { views[c]->CreateShape(d); });
    }
    void varTrain(int c, int d) override { timed([&] { views[c]->VarTrain(d); }); }
    void insertRecord(const QString&) override {}

private:
    template <class F>
    void timed(F f)
    {
        const auto t0 = Clock::now();
        f();
        trainMs += msSince(t0);
        ++trainCalls;
    }
};

// Eight cameras with generated templates and areas in detections 0 and 1,
// their sets saved in PARAM.db, and the dialog over them.
struct Scene {
    SlotRig rig;
    WizardPara bak;
    SlotSettingsHost host;
    std::unique_ptr<WizardParaWidget> dialog;
    ChooseBox chooseBox;
    WarnBox warnBox;
    ChooseBox* oldChoose = gpChooseBox;
    WarnBox* oldWarn = gpWarnBox;
    int oldW = gShowW, oldH = gShowH;

    bool build(benchmark::State& state, QSize screen, bool scenes)
    {
        gpChooseBox = &chooseBox;
        gpWarnBox = &warnBox;
        QStringList devices;
        for (int c = 0; c < kCameras; ++c)
            devices << QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"SET0%1\",\"width\":%2,"
                                      "\"height\":%3,\"fps\":30}")
                           .arg(c)
                           .arg(kW)
                           .arg(kH);
        QString error;
        if (!check(state, rig.load(devices.join(','), {}, &error), "bus: " + error.toStdString()))
            return false;
        gImageW = kW;
        gImageH = kH;
        gShowW = screen.width();
        gShowH = screen.height();
        gShowAW = double(gShowW) / kW;
        gShowAH = double(gShowH) / kH;
        SyncImageGeometry();
        applyGeometry();
        gDNum = kDetects;
        gTempNum = kTemplates;
        rig.buildSlots(kCameras);
        if (!check(state, numCamera == kCameras, "not every camera opened"))
            return false;
        WizardPara& p = rig.host.para;
        p.systemMode = 0;
        p.detectEnabled[0] = p.detectEnabled[1] = 1;
        p.moldSelect = 0;
        p.defectEnabled = 1;   // one detection method, or Confirm refuses
        p.productDetectEnabled = 1;   // detection 1 (the product) runs too
        p.moldSameAsProduct = 0;
        p.differenceMultiplier = 2;   // the field takes 0..4
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("param"));
        if (!check(state, p.SaveDatatoFile(db).ok, "record not saved"))
            return false;
        if (scenes && !buildScenes(state, db))
            return false;
        gpWPara = &p;
        bak = p;
        gpWParaBak = &bak;
        host.views = rig.slot;
        host.cameras = kCameras;
        host.db = db;
        host.editCopyInForce = [this] { return dialog && dialog->pageShown(); };
        resetSettingsMetrics();
        dialog = std::make_unique<WizardParaWidget>(&host, false, nullptr);
        return true;
    }

    bool buildScenes(benchmark::State& state, QSqlDatabase db)
    {
        for (int c = 0; c < kCameras; ++c) {
            CammerWidget* w = rig.slot[c];
            CammerSingleton& s = *w->savedSet;
            for (int d = 0; d < kDetects; ++d) {
                s.roiCount[d] = kAreaCount;
                for (int i = 0; i < kAreaCount; ++i) {
                    s.SetDefaultArea(d, i);
                    const int x = 40 + (i % 10) * 120, y = 40 + (i / 10) * 190;
                    s.roiRect[d][i] = ClustomRect(QRect(x, y, 100, 150));
                }
                for (int t = 0; t < kTemplates; ++t) {
                    uchar* base = w->TemplateBuffer(d, t);
                    if (!check(state, base != nullptr, "no template buffer"))
                        return false;
                    cv::Mat m = synth::noise(synth::mould(kW, kH, 1 + c), 3.0, 100 + t);
                    if (!check(state, m.type() == CV_8UC1 && m.isContinuous(), "scene not 8-bit grey"))
                        return false;
                    std::memcpy(base, m.data, size_t(kW) * kH);
                    w->templateValid[d][size_t(t)] = 1;
                }
            }
            if (!check(state, s.SaveDatatoFile(db, false), "area set not saved"))
                return false;
            s.RebuildMasks(w->liveMask);
            *w->workSet = s;
            w->BackMask();
            for (int d = 0; d < kDetects; ++d) {
                w->CreateShape(d);
                w->VarTrain(d);
            }
        }
        return true;
    }

    // The window's show path: the edit copy refreshed, then shown.
    void open()
    {
        bak = *gpWPara;
        dialog->show();
    }
    QImage render()
    {
        QImage img(dialog->size(), QImage::Format_ARGB32_Premultiplied);
        dialog->render(&img);
        return img;
    }
    SettingsControl* control(const char* name)
    {
        for (SettingsControl& c : dialog->controls)
            if (c.field && c.field->index == 0 && std::strcmp(c.field->name, name) == 0)
                return &c;
        return nullptr;
    }

    ~Scene()
    {
        dialog.reset();
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gpChooseBox = oldChoose;
        gpWarnBox = oldWarn;
        gShowW = oldW;
        gShowH = oldH;
        resetSettingsMetrics();
    }
};

void BM_Open(benchmark::State& state)
{
    Scene scene;
    if (!scene.build(state, screenOf(state), false))
        return;
    const auto t0 = Clock::now();
    scene.open();
    QImage first = scene.render();
    state.counters["first_ms"] = msSince(t0);
    if (!check(state, !first.isNull() && scene.host.camera0Applied >= 5, "first opening did not re-apply camera 0"))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        scene.dialog->hide();
        scene.host.camera0Applied = 0;
        state.ResumeTiming();
        scene.open();
        QImage img = scene.render();
        benchmark::DoNotOptimize(img.constBits());
        state.PauseTiming();
        if (!check(state, scene.dialog->pageShown() && scene.host.camera0Applied >= 5, "camera 0 not re-applied"))
            return;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->ArgName("screen1920")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConfirmUnchanged(benchmark::State& state)
{
    Scene scene;
    if (!scene.build(state, screenOf(state), false))
        return;
    // A first Confirm takes the record as the pages hold it (a stored value
    // a field snaps counts as a change once).
    scene.open();
    scene.rig.env.defaultAnswer = 1;
    const ConfirmOutcome settled = scene.dialog->confirm();
    if (!check(state, settled == ConfirmOutcome::Saved || settled == ConfirmOutcome::Unchanged, "first Confirm failed"))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        scene.open();
        scene.rig.env.modalRequests.clear();
        state.ResumeTiming();
        const ConfirmOutcome o = scene.dialog->confirm();
        state.PauseTiming();
        if (!check(state, o == ConfirmOutcome::Unchanged && scene.rig.env.modalRequests.empty(),
                   "an unchanged Confirm asked or saved: outcome " + std::to_string(int(o)) +
                       modalIds(scene.rig.env)))
            return;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ConfirmUnchanged)->Arg(0)->Arg(1)->ArgName("screen1920")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConfirmRetrain8x2(benchmark::State& state)
{
    Scene scene;
    if (!scene.build(state, QSize(1280, 800), true))
        return;
    bool boxShown = false;
    scene.dialog->progressShown = [&](int, int) { boxShown = true; };
    scene.rig.env.defaultAnswer = 1;   // the question: yes
    double trainMs = 0;
    int calls = 0;
    int shapes = 0;
    int flip = 1;
    for (auto _ : state) {
        state.PauseTiming();
        scene.open();
        SettingsControl* diff = scene.control("differenceMultiplier");
        SettingsControl* mould = scene.control("moldSelect");
        if (!check(state, diff && diff->edit && mould && mould->combo, "controls not found"))
            return;
        const int oldDiff = gpWPara->differenceMultiplier;
        const int oldMould = gpWPara->moldSelect;
        diff->edit->setValue(flip ? oldDiff + 1 : oldDiff - 1);
        mould->combo->setCurrentIndex((mould->combo->currentIndex() + 1) % mould->combo->count());
        boxShown = false;
        scene.host.trainMs = 0;
        scene.host.trainCalls = 0;
        scene.host.shapeCalls = 0;
        state.ResumeTiming();
        const ConfirmOutcome o = scene.dialog->confirm();
        state.PauseTiming();
        if (!check(state,
                   o == ConfirmOutcome::Saved && gpWPara->differenceMultiplier != oldDiff &&
                       gpWPara->moldSelect != oldMould && scene.host.shapeCalls == kCameras * kDetects &&
                       scene.host.trainCalls == 2 * kCameras * kDetects,
                   "Confirm did not save and retrain every (camera, detection): outcome " +
                       std::to_string(int(o)) + " calls " + std::to_string(scene.host.trainCalls) +
                       modalIds(scene.rig.env)))
            return;
        trainMs += scene.host.trainMs;
        calls += scene.host.trainCalls;
        shapes += scene.host.shapeCalls;
        flip = !flip;
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["per_cam_det_ms"] = trainMs / n / (kCameras * kDetects);
    state.counters["engine_calls"] = calls / n;
    state.counters["shape_calls"] = shapes / n;
    state.counters["progress_box"] = boxShown ? 1 : 0;
    state.counters["train_ms"] = trainMs / n;
}
BENCHMARK(BM_ConfirmRetrain8x2)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The record's save alone (the transaction over sysparam and the camera rows).
void BM_ParamDbSave(benchmark::State& state)
{
    Scene scene;
    if (!scene.build(state, QSize(1280, 800), false))
        return;
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("param"));
    WizardPara p = *gpWPara;
    for (auto _ : state) {
        ++p.differenceMultiplier;
        if (!check(state, p.SaveDatatoFile(db).ok, "save failed"))
            return;
    }
}
BENCHMARK(BM_ParamDbSave)->Unit(benchmark::kMillisecond)->UseRealTime();

// ------------------------------------------------------------ record page

constexpr int kRecordRows = 10000;

QString recordTime(int i, int rows)
{
    return QTime(0, 0).addMSecs(qint64(i) * 86399000 / rows).toString(QStringLiteral("hh.mm.ss"));
}
QString lastRecordTime() { return recordTime(kRecordRows - 1, kRecordRows); }

bool writeRecordDay(const QString& file, int rows)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("benchSeed"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)")) &&
                 db.transaction();
            q.prepare(QStringLiteral("INSERT INTO RECORD VALUES(?, ?, ?)"));
            for (int i = 0; ok && i < rows; ++i) {
                q.addBindValue(recordTime(i, rows));
                q.addBindValue(Msg(154));
                q.addBindValue(QStringLiteral("Parameter %1 changed from %2 to %3").arg(i % 37).arg(i).arg(i + 1));
                ok = q.exec();
            }
            ok = ok && db.commit();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("benchSeed"));
    return ok;
}

// The dialog on its record page over a day of today and an archived day.
struct RecordScene {
    TestEnv env;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    std::unique_ptr<WizardParaWidget> dialog;
    int oldW = gShowW, oldH = gShowH;

    bool build(benchmark::State& state)
    {
        gShowW = 1280;
        gShowH = 800;
        resetSettingsMetrics();
        live = FirstStartParameters();
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        QDir().mkpath(env.path(QStringLiteral("RECORD")));
        if (!check(state, writeRecordDay(env.path(QStringLiteral("RECORD.db")), kRecordRows) &&
                              writeRecordDay(env.path(QStringLiteral("RECORD/2024-01-01.db")), kRecordRows),
                   "record days not written"))
            return false;
        host.recordDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbRecord"));
        host.recordDb.setDatabaseName(env.path(QStringLiteral("RECORD.db")));
        if (!check(state, host.recordDb.open(), "RECORD.db does not open"))
            return false;
        dialog = std::make_unique<WizardParaWidget>(&host, false, nullptr);
        dialog->show();
        dialog->SlotToRecord();
        return check(state, dialog->recordDayList->count() == 2, "day list is not today and one archive");
    }
    ~RecordScene()
    {
        dialog.reset();
        host.recordDb.close();
        host.recordDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("dbRecord"));
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gShowW = oldW;
        gShowH = oldH;
        resetSettingsMetrics();
    }
};

void BM_RecordPageDay(benchmark::State& state)
{
    RecordScene scene;
    if (!scene.build(state))
        return;
    const int row = int(state.range(0));
    QListWidgetItem* item = scene.dialog->recordDayList->item(row);
    double fetchMs = 0;
    for (auto _ : state) {
        scene.dialog->recordDayList->setCurrentRow(row);
        scene.dialog->UpdateRecord(item);
        QImage img(scene.dialog->size(), QImage::Format_ARGB32_Premultiplied);
        scene.dialog->render(&img);
        benchmark::DoNotOptimize(img.constBits());
        state.PauseTiming();
        QSqlTableModel* m = scene.dialog->recordModel;
        if (!check(state, m && m->rowCount() > 0 && m->index(0, 0).data().toString() == lastRecordTime(),
                   "the latest record is not on top"))
            return;
        const auto t0 = Clock::now();
        while (m->canFetchMore())
            m->fetchMore();
        fetchMs += msSince(t0);
        if (!check(state, m->rowCount() == kRecordRows, "not every record fetched"))
            return;
        state.ResumeTiming();
    }
    state.counters["fetch_all_ms"] = fetchMs / double(state.iterations());
}
BENCHMARK(BM_RecordPageDay)->Arg(0)->Arg(1)->ArgName("archived")->Unit(benchmark::kMillisecond)->UseRealTime();

// ------------------------------------------------------------- data export

void BM_ExportLocalFolder(benchmark::State& state)
{
    TestEnv env;
    // The disk: a folder outside the program directory, blkid and mount
    // answered at once.
    const QString program = env.path(QStringLiteral("program"));
    paths().mountPoint = env.path(QStringLiteral("disk"));
    QDir().mkpath(paths().mountPoint);
    QByteArray mounts = "/dev/sda1 / ext4 rw 0 0\n";
    env.writeFile(QStringLiteral("proc/mounts"), mounts);
    env.runner->setScript([&](const CommandCall& c) {
        CommandResult r;
        if (c.program == QLatin1String("blkid"))
            r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
        if (c.program == QLatin1String("mount"))
            env.writeFile(QStringLiteral("proc/mounts"), mounts + "/dev/sdb1 " + paths().mountPoint.toLocal8Bit() + " vfat rw 0 0\n");
        if (c.program == QLatin1String("umount"))
            env.writeFile(QStringLiteral("proc/mounts"), mounts);
        return r;
    });
    // 32 pictures of 1.25 MB, 296 small files, two databases.
    qint64 expected = 0;
    QByteArray picture(1280 * 1024, 0);
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 31 + i / 1280);
    for (int k = 0; k < 32; ++k) {
        const QString dir = program + QStringLiteral("/alarmimage/camera%1").arg(k % 8 + 1);
        QDir().mkpath(dir);
        QFile f(dir + QStringLiteral("/p%1.bmp").arg(k));
        if (!check(state, f.open(QIODevice::WriteOnly) && f.write(picture) == picture.size(), "picture not written"))
            return;
        expected += picture.size();
    }
    for (int k = 0; k < 296; ++k) {
        const QString dir = program + QStringLiteral("/paraGroup/g%1").arg(k % 8);
        QDir().mkpath(dir);
        QFile f(dir + QStringLiteral("/t%1.txt").arg(k));
        const QByteArray text(4096 + k, char('a' + k % 26));
        if (!check(state, f.open(QIODevice::WriteOnly) && f.write(text) == text.size(), "file not written"))
            return;
        expected += text.size();
    }
    QDir().mkpath(program + QStringLiteral("/RECORD"));
    if (!check(state, writeRecordDay(program + QStringLiteral("/RECORD.db"), kRecordRows) &&
                          writeRecordDay(program + QStringLiteral("/RECORD/2024-01-01.db"), kRecordRows),
               "databases not written"))
        return;
    DataExport exporter;
    DataExport::Job job;
    job.programDir = program;
    job.cameras = 0;   // nothing is emptied: every round copies the same
    double bytes = 0;
    int round = 0;
    for (auto _ : state) {
        job.stamp = QStringLiteral("round%1").arg(round++);
        const DataExport::Outcome o = exporter.run(job, nullptr);
        state.PauseTiming();
        if (!check(state, o.result == DataExport::Result::Done && o.files == 32 + 296 + 2 && o.bytes > expected,
                   "export did not finish: " + o.detail.toStdString()))
            return;
        bytes += double(o.bytes);
        QDir(o.target).removeRecursively();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["MB_per_s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
    state.counters["MB"] = bytes / 1e6 / double(state.iterations());
}
BENCHMARK(BM_ExportLocalFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

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
