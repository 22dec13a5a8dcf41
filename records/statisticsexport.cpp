#include "statisticsexport.h"

#include "cameraglobals.h"
#include "choosebox.h"
#include "clock.h"
#include "colorbutton.h"
#include "messages.h"
#include "usbmount.h"
#include "warnbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <glog/logging.h>

#include <unistd.h>

namespace {

ChooseBox& chooseBox()
{
    if (!gpChooseBox)
        gpChooseBox = new ChooseBox(nullptr);
    return *gpChooseBox;
}

WarnBox& warnBox()
{
    if (!gpWarnBox)
        gpWarnBox = new WarnBox(nullptr);
    return *gpWarnBox;
}

bool ask(int id)
{
    chooseBox().setText(Msg(id), id);
    return chooseBox().exec() == 1;
}

void tell(int id)
{
    warnBox().setText(Msg(id), id);
    warnBox().exec();
}

// Copies src to dst (never replacing a file), flushed to the device and
// checked for size; a partial copy is removed.
bool copyChecked(const QString& src, const QString& dst, QString* why)
{
    QFile in(src);
    QFile out(dst);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1").arg(src);
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *why = QStringLiteral("cannot create %1: %2").arg(dst, out.errorString());
        return false;
    }
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    ok = ok && out.flush() && ::fsync(out.handle()) == 0;
    const QString error = out.errorString();
    out.close();
    ok = ok && QFileInfo(dst).size() == in.size();
    if (!ok) {
        *why = QStringLiteral("copy to %1 failed: %2").arg(dst, error);
        QFile::remove(dst);
    }
    return ok;
}

} // namespace

StatisticsExport::StatisticsExport(ResStatisticsParam* store, QObject* parent)
    : QObject(parent), store_(store)
{
}

StatisticsExport::~StatisticsExport()
{
    if (worker_.joinable())
        worker_.join();
    delete progressBox_;
}

QString StatisticsExport::freeExportName(const QString& dir, const QString& stamp)
{
    const QDir d(dir);
    QString path = d.filePath(stamp + QStringLiteral(".xlsx"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = d.filePath(QStringLiteral("%1_%2.xlsx").arg(stamp).arg(n));
    return path;
}

bool StatisticsExport::start(QWidget* page)
{
    if (running_)
        return false;
    running_ = true;
    page_ = page;
    if (page_)
        page_->hide();
    if (!ask(kAskMessage)) {
        end(Result::Cancelled, true);
        return true;
    }
    launch();
    return true;
}

void StatisticsExport::launch()
{
    // The current day as the store holds it now, after its own roll-over
    // check, so it is labelled with its own date.
    StatisticsExportDay current;
    if (store_) {
        store_->checkDate();
        store_->flush();
        current = exportDayFromCounts(store_->statisticsDate, store_->liveCounts);
    } else {
        readExportDay(QString::fromLatin1(ResStatisticsParam::kFile),
                      statisticsDateOf(appClock().now()), numCamera, &current);
    }
    const QString stamp = appClock().now().toString(QStringLiteral("yyyy-MM-dd_hh.mm.ss"));
    setProgress(0, 0);
    if (worker_.joinable())
        worker_.join();
    // What the worker needs of the GUI thread's state, taken here.
    const int cameras = numCamera;
    const QString archiveDir = store_ ? store_->archiveDir() : QString::fromLatin1(ResStatisticsParam::kArchiveDir);
    worker_ = std::thread([this, current, stamp, cameras, archiveDir] {
        const Outcome o = work(current, stamp, cameras, archiveDir);
        QMetaObject::invokeMethod(this, [this, o] { finishWorker(o); }, Qt::QueuedConnection);
    });
}

StatisticsExport::Outcome StatisticsExport::work(const StatisticsExportDay& current, const QString& stamp,
                                                 int cameras, const QString& archiveDir)
{
    Outcome o;
    const auto step = [this](const char* name) {
        if (stepHook)
            stepHook(QString::fromLatin1(name));
    };
    step("search");
    MountHold hold;
    const QString disk = FindAU(&hold);
    if (disk.isEmpty()) {
        o.result = Result::NoDisk;
        return o;
    }

    step("workbook");
    const QString local = freeExportName(QStringLiteral("."), stamp);
    Myxls xls;
    QString error;
    const auto progress = [this](int k, int n) {
        QMetaObject::invokeMethod(this, [this, k, n] { setProgress(k, n); }, Qt::QueuedConnection);
    };
    if (!xls.ImportRes(local, current, archiveDir, cameras, progress, &error)) {
        o.result = Result::Failure;
        o.detail = error;
        return o;
    }

    step("copy");
    const QString target = freeExportName(disk, stamp);
    if (!copyChecked(local, target, &error)) {
        o.result = Result::DiskFailure;
        o.detail = error + QStringLiteral("; kept as %1").arg(QFileInfo(local).absoluteFilePath());
        return o;
    }
    QFile::remove(local);
    hold.release();

    step("unmount");
    if (!UnmountAU()) {
        o.result = Result::Failure;
        o.detail = QStringLiteral("%1 written, but the disk was not unmounted").arg(target);
        return o;
    }
    o.result = Result::Done;
    o.detail = target;
    return o;
}

void StatisticsExport::finishWorker(const Outcome& o)
{
    if (worker_.joinable())
        worker_.join();
    delete progressBox_;
    progressBox_ = nullptr;
    progressText_.clear();
    switch (o.result) {
    case Result::Done:
        LOG(INFO) << "statistics exported to " << o.detail.toStdString();
        tell(kDoneMessage);
        end(Result::Done, true);
        return;
    case Result::NoDisk:
        if (ask(kNoDiskMessage))
            launch();
        else
            end(Result::NoDisk, false);
        return;
    case Result::DiskFailure:
        LOG(ERROR) << "statistics export: " << o.detail.toStdString();
        if (ask(kNoDiskMessage))
            launch();
        else
            end(Result::DiskFailure, true);
        return;
    case Result::Cancelled:
    case Result::Failure:
        LOG(ERROR) << "statistics export failed: " << o.detail.toStdString();
        tell(kExportFailedMessage);
        end(Result::Failure, true);
        return;
    }
}

void StatisticsExport::end(Result result, bool showPage)
{
    running_ = false;
    if (showPage && page_)
        page_->show();
    if (onFinished)
        onFinished(result);
}

void StatisticsExport::setProgress(int k, int n)
{
    if (!running_)
        return;
    progressText_ = QStringLiteral("%1 %2 / %3").arg(Msg(kProgressMessage)).arg(k).arg(n);
    if (!progressBox_) {
        progressBox_ = new WarnBox(nullptr);
        progressBox_->Relabel();
        progressBox_->okButton->hide();
        progressBox_->setModal(false);
    }
    progressBox_->setText(progressText_, kProgressMessage);
    progressBox_->show();
    progressBox_->update();
}
