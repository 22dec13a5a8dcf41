#include "dataexport.h"

#include "dbsnapshot.h"

#include "cameraglobals.h"
#include "choosebox.h"
#include "clock.h"
#include "messages.h"
#include "paths.h"
#include "progressbox.h"
#include "projectmessages.h"
#include "usbmount.h"
#include "warnbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <glog/logging.h>

#include <atomic>
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

// One entry of the program directory to copy.
struct Entry {
    QString rel;          // path below the program directory
    bool dir = false;
    bool database = false;
    qint64 size = 0;      // at listing; a plain file's copied size after the copy
};

bool isSqliteFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

bool inside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// Everything below root but the mount point (when it lies inside, as in the
// tests) and what a link leads to outside the tree: folders first, parents
// before children.  Journals of a database are left out: the snapshot is
// whole without them, and a journal beside it would be rolled into it.
QVector<Entry> listTree(const QString& root, const QStringList& skip)
{
    QVector<Entry> out;
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QString dir = pending.takeFirst();
        const QFileInfoList infos = QDir(dir).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name | QDir::DirsFirst);
        for (const QFileInfo& fi : infos) {
            const QString abs = fi.absoluteFilePath();
            bool skipped = false;
            for (const QString& s : skip)
                skipped = skipped || inside(abs, s);
            if (skipped)
                continue;
            Entry e;
            e.rel = QDir(root).relativeFilePath(abs);
            if (fi.isDir()) {
                if (fi.isSymLink()) {
                    LOG(INFO) << "export: linked folder " << e.rel.toStdString() << " not followed";
                    continue;
                }
                e.dir = true;
                out.push_back(e);
                pending.push_back(abs);
            } else if (fi.isFile()) {
                e.size = fi.size();
                e.database = isSqliteFile(abs);
                out.push_back(e);
            }
        }
    }
    QSet<QString> databases;
    for (const Entry& e : out)
        if (e.database)
            databases.insert(e.rel);
    QVector<Entry> kept;
    kept.reserve(out.size());
    for (const Entry& e : out) {
        bool journal = false;
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const QLatin1String s(suffix);
            journal = journal || (e.rel.endsWith(s) && databases.contains(e.rel.chopped(s.size())));
        }
        if (!journal)
            kept.push_back(e);
    }
    return kept;
}

// Copies src to dst (a new file), flushed to the device; the bytes written.
bool copyFile(const QString& src, const QString& dst, qint64* copied, bool* sourceFault, QString* why)
{
    QFile in(src);
    QFile out(dst);
    if (!in.open(QIODevice::ReadOnly)) {
        *sourceFault = true;
        *why = QStringLiteral("cannot read %1: %2").arg(src, in.errorString());
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *why = QStringLiteral("cannot create %1: %2").arg(dst, out.errorString());
        return false;
    }
    qint64 n = 0;
    bool ok = true;
    while (ok) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError) {
                *sourceFault = true;
                ok = false;
            }
            break;
        }
        ok = out.write(chunk) == chunk.size();
        n += chunk.size();
    }
    ok = ok && out.flush() && ::fsync(out.handle()) == 0;
    if (!ok)
        *why = QStringLiteral("copy of %1 failed: %2").arg(src, *sourceFault ? in.errorString() : out.errorString());
    *copied = n;
    return ok;
}

bool snapshotSound(const QString& file)
{
    OwnConnection c(file, true);
    if (!c.db().open())
        return false;
    QSqlQuery q(c.db());
    return q.exec(QStringLiteral("PRAGMA quick_check")) && q.next() && q.value(0).toString() == QLatin1String("ok");
}

bool diskMounted(const QString& mountPoint)
{
    QFile f(paths().procMounts);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return CountMountLines(f.readAll(), mountPoint) > 0;
}

} // namespace

// ------------------------------------------------------------------ worker

DataExport::Outcome DataExport::run(const Job& job, const std::function<void(int, int)>& progress)
{
    Outcome o;
    const auto step = [this](const char* name) {
        if (stepHook)
            stepHook(QString::fromLatin1(name));
    };
    const auto fail = [&o](Result r, const QString& why) {
        o.result = r;
        o.detail = why;
        return o;
    };
    step("search");
    MountHold hold;
    const QString disk = FindAU(&hold);
    if (disk.isEmpty())
        return fail(Result::NoDisk, QString());

    const QString root = QDir(job.programDir).canonicalPath();
    if (root.isEmpty())
        return fail(Result::Failure, QStringLiteral("program directory %1 not found").arg(job.programDir));
    QStringList skip{QDir(disk).absolutePath()};
    const QString canonicalDisk = QDir(disk).canonicalPath();
    if (!canonicalDisk.isEmpty())
        skip << canonicalDisk;
    QVector<Entry> entries = listTree(root, skip);
    qint64 total = 0;
    int files = 0;
    for (const Entry& e : entries)
        if (!e.dir) {
            total += e.size;
            ++files;
        }

    step("space");
    const qint64 room = freeSpace ? freeSpace(disk) : -1;
    if (room < total)
        return fail(Result::DiskFailure,
                    QStringLiteral("%1 bytes to copy, %2 free on the disk").arg(total).arg(room));
    if (!diskMounted(disk))
        return fail(Result::DiskFailure, QStringLiteral("the disk is no longer mounted on %1").arg(disk));

    const QString target = freeFolderName(disk, job.stamp);
    if (!QDir().mkdir(target))
        return fail(Result::DiskFailure, QStringLiteral("cannot make %1").arg(target));
    const QDir copyRoot(QDir(target).filePath(QFileInfo(root).fileName()));
    // From here a failure takes the unfinished folder away again, so no
    // partial copy on the disk passes for an export.
    const auto abandon = [&](Result r, const QString& why) {
        if (!QDir(target).removeRecursively())
            LOG(WARNING) << "export: unfinished " << target.toStdString() << " not removed";
        // A write that failed on a disk that left, filled up or turned
        // read-only is the disk's fault.
        if (r == Result::Failure && (!diskMounted(disk) || (freeSpace ? freeSpace(disk) : 0) < (1 << 20) ||
                                     !QFileInfo(disk).isWritable()))
            r = Result::DiskFailure;
        return fail(r, why);
    };
    if (!QDir().mkdir(copyRoot.path()))
        return abandon(Result::DiskFailure, QStringLiteral("cannot make %1").arg(copyRoot.path()));

    step("copy");
    QElapsedTimer shown;
    shown.start();
    int done = 0;
    if (progress)
        progress(0, files);
    for (Entry& e : entries) {
        if (stop_)
            return abandon(Result::Failure, QStringLiteral("stopped"));
        const QString src = QDir(root).filePath(e.rel);
        const QString dst = copyRoot.filePath(e.rel);
        if (e.dir) {
            if (!QDir().mkdir(dst))
                return abandon(Result::Failure, QStringLiteral("cannot make %1").arg(dst));
            continue;
        }
        QString why;
        bool copied = false;
        if (e.database) {
            copied = SnapshotDatabase(src, dst, &why);
            if (!copied) {
                // A database SQLite cannot read whole goes as it lies.
                LOG(WARNING) << "export: " << e.rel.toStdString() << " copied without a snapshot: "
                             << why.toStdString();
                QFile::remove(dst);
                e.database = false;
            }
        }
        if (!copied) {
            bool sourceFault = false;
            qint64 n = 0;
            if (!copyFile(src, dst, &n, &sourceFault, &why)) {
                if (sourceFault && !QFileInfo::exists(src)) {
                    // Gone since the listing (a log rolled over): nothing to keep.
                    LOG(INFO) << "export: " << e.rel.toStdString() << " left before it was copied";
                    QFile::remove(dst);
                    e.size = -1;
                } else {
                    return abandon(Result::Failure, why);
                }
            } else {
                e.size = n;
                o.bytes += n;
            }
        } else {
            o.bytes += QFileInfo(dst).size();
        }
        ++done;
        if (progress && (shown.elapsed() >= 40 || done == files)) {
            progress(done, files);
            shown.restart();
        }
    }

    step("verify");
    for (const Entry& e : entries) {
        if (stop_)
            return abandon(Result::Failure, QStringLiteral("stopped"));
        if (e.size < 0)
            continue;
        const QFileInfo copy(copyRoot.filePath(e.rel));
        const bool ok = e.dir ? copy.isDir()
                              : copy.isFile() && (e.database ? snapshotSound(copy.absoluteFilePath())
                                                             : copy.size() == e.size);
        if (!ok)
            return abandon(Result::Failure, QStringLiteral("%1 differs on the disk").arg(e.rel));
    }
    o.files = done;
    o.target = target;

    // The raw pictures that are safely on the disk; a folder keeps what
    // arrived after the listing.
    step("clear");
    QStringList rawFolders;
    for (int c = 1; c <= job.cameras; ++c)
        for (int d = 1; d <= job.detections; ++d)
            rawFolders << QStringLiteral("originalimage/cammer%1%2").arg(c).arg(d);
    int notRemoved = 0;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        bool raw = false;
        for (const QString& f : rawFolders)
            raw = raw || it->rel.startsWith(f + QLatin1Char('/'));
        if (!raw || it->size < 0)
            continue;
        const QString src = QDir(root).filePath(it->rel);
        const bool removed = it->dir ? QDir(root).rmdir(it->rel) || !QDir(src).isEmpty() : QFile::remove(src);
        if (!removed) {
            LOG(WARNING) << "export: raw picture " << it->rel.toStdString() << " not removed";
            ++notRemoved;
        }
    }
    hold.release();

    step("unmount");
    const bool unmounted = UnmountAU();
    if (notRemoved > 0)
        return fail(Result::Failure, QStringLiteral("%1 written, %2 raw pictures not removed").arg(target).arg(notRemoved));
    if (!unmounted)
        return fail(Result::Failure, QStringLiteral("%1 written, but the disk was not unmounted").arg(target));
    o.result = Result::Done;
    o.detail = target;
    return o;
}

// ------------------------------------------------------------ GUI thread

DataExport::DataExport(QObject* parent) : QObject(parent)
{
    freeSpace = [](const QString& path) -> qint64 {
        QStorageInfo s(path);
        return s.isValid() && s.isReady() ? s.bytesAvailable() : -1;
    };
}

DataExport::~DataExport()
{
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
    delete progressBox_;
}

QString DataExport::freeFolderName(const QString& dir, const QString& stamp)
{
    const QDir d(dir);
    QString path = d.filePath(stamp);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = d.filePath(QStringLiteral("%1_%2").arg(stamp).arg(n));
    return path;
}

bool DataExport::start()
{
    if (running_)
        return false;
    running_ = true;
    stop_ = false;
    if (!ask(kAskMessage)) {
        end(Result::Cancelled);
        return true;
    }
    launch();
    return true;
}

void DataExport::launch()
{
    if (worker_.joinable())
        worker_.join();
    // What the worker needs of the GUI thread's state, taken here.
    Job job;
    job.programDir = QDir::currentPath();
    job.stamp = appClock().now().toString(QStringLiteral("yyyy-MM-dd_hh.mm.ss"));
    job.cameras = numCamera;
    job.detections = gDNum;
    setProgress(0, 0);
    worker_ = std::thread([this, job] {
        const Outcome o = run(job, [this](int k, int n) {
            QMetaObject::invokeMethod(this, [this, k, n] { setProgress(k, n); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(this, [this, o] { finishWorker(o); }, Qt::QueuedConnection);
    });
}

void DataExport::finishWorker(const Outcome& o)
{
    if (worker_.joinable())
        worker_.join();
    if (progressBox_)
        progressBox_->hide();
    progressText_.clear();
    switch (o.result) {
    case Result::Done:
        lastTarget_ = o.target;
        LOG(INFO) << "data exported to " << o.detail.toStdString() << ": " << o.files << " files, " << o.bytes
                  << " bytes";
        tell(kDoneMessage);
        end(Result::Done);
        return;
    case Result::NoDisk:
        if (ask(kNoDiskMessage))
            launch();
        else
            end(Result::NoDisk);
        return;
    case Result::DiskFailure:
        LOG(ERROR) << "data export: " << o.detail.toStdString();
        if (ask(kNoDiskMessage))
            launch();
        else
            end(Result::DiskFailure);
        return;
    case Result::Cancelled:
    case Result::Failure:
        LOG(ERROR) << "data export failed: " << o.detail.toStdString();
        tell(kMsgExportFailed);
        end(Result::Failure);
        return;
    }
}

void DataExport::end(Result result)
{
    running_ = false;
    if (onFinished)
        onFinished(result);
}

void DataExport::setProgress(int k, int n)
{
    if (!running_)
        return;
    if (!progressBox_)
        progressBox_ = new ProgressBox(nullptr);
    progressBox_->setProgress(k, n);
    progressText_ = ProgressBox::progressText(k, n);
    if (!progressBox_->isVisible())
        progressBox_->show();
}
