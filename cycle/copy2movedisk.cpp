#include "copy2movedisk.h"

#include "clock.h"
#include "commandrunner.h"
#include "paths.h"
#include "usbmount.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <chrono>

Copy2MoveDisk* Copy2MoveDisk::_instance = nullptr;

namespace {

const QLatin1String kAlarmFolder("alarmimage");

// Day folders are the only ones the cap may remove: anything else on the
// disk belongs to the user.
bool isDayFolder(const QString& name)
{
    if (name.size() != 8)
        return false;
    for (const QChar c : name)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return QDate::fromString(name, QStringLiteral("yyyyMMdd")).isValid();
}

// Keeps at most `limit` day folders below root, removing the oldest first;
// the day being written is never removed, also when the clock was set back
// and it sorts first.
void capDays(const QString& root, const QString& currentDay, int limit)
{
    QDir dir(root);
    QStringList days;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (isDayFolder(name))
            days << name;
    int excess = int(days.size()) - limit;
    for (const QString& day : days) {
        if (excess <= 0)
            break;
        if (day == currentDay)
            continue;
        if (!QDir(dir.filePath(day)).removeRecursively())
            qWarning().noquote() << "USB copy: cannot remove old day folder" << dir.filePath(day);
        --excess;
    }
}

// Written beside the name and renamed over it, so a full or pulled disk
// never leaves a cut-off picture under the final name.
bool writePicture(const QString& path, const QImage& picture)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "USB copy: cannot write" << path << ":" << file.errorString();
        return false;
    }
    QImageWriter writer(&file, QFileInfo(path).suffix().toLatin1());
    if (!writer.write(picture)) {
        qWarning().noquote() << "USB copy: cannot encode" << path << ":" << writer.errorString();
        return false;   // the unfinished file goes with `file`
    }
    if (!file.commit()) {
        qWarning().noquote() << "USB copy: cannot write" << path << ":" << file.errorString();
        return false;
    }
    return true;
}

} // namespace

Copy2MoveDisk* Copy2MoveDisk::instance()
{
    if (!_instance)
        _instance = new Copy2MoveDisk(nullptr);
    return _instance;
}

Copy2MoveDisk::Copy2MoveDisk(QObject* parent) : QObject(parent)
{
    // The tag is read by the worker from its first blkid listing rather than
    // here: construction happens on the GUI thread during start-up, where a
    // blkid that hangs would hold up the window, and one that timed out
    // would fix an empty tag for good.
    if (!_instance)
        _instance = this;
}

Copy2MoveDisk::~Copy2MoveDisk()
{
    stop();
    if (_instance == this)
        _instance = nullptr;
}

void Copy2MoveDisk::start()
{
    if (worker_.joinable())
        return;
    stopFlag = false;
    started_ = true;
    worker_ = std::thread([this] { workerLoop(); });
}

void Copy2MoveDisk::stop()
{
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopFlag = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
    started_ = false;
}

void Copy2MoveDisk::workerLoop()
{
    while (true) {
        {
            std::unique_lock<std::mutex> lock(wakeMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(kPassIntervalMs), [this] { return stopFlag.load(); });
        }
        if (stopFlag)
            break;
        runPass();
    }
}

void Copy2MoveDisk::runPass()
{
    if (!find_movedisk()) {
        dropQueue();
        return;
    }
    writeNext();
}

// ------------------------------------------------------------- queueing

void Copy2MoveDisk::add_map_actqueue(const QString& folder, const QString& baseName, const QImage& picture)
{
    QString mount;
    QString tag;
    {
        std::lock_guard<std::mutex> lock(mountMutex_);
        mount = mountPath_;
        tag = diskTag_;
    }
    if (mount.isEmpty())
        return;
    // The writer's folders are ".../alarmimage/camera<c>/detect<d>/NG": the
    // part after "alarmimage" and its separator names the folder on the disk.
    const int at = folder.indexOf(kAlarmFolder);
    if (at < 0)
        return;
    const QString pictureFolder = folder.mid(at + kAlarmFolder.size() + 1);
    // The day is the day the picture was taken, not the day the worker gets to it.
    const QString day = appClock().now().toString(QStringLiteral("yyyyMMdd"));
    const QString key = mount + QStringLiteral("/monitor_") + tag + QLatin1Char('/') + day + QLatin1Char('/')
                        + pictureFolder + QLatin1Char('/') + baseName + QStringLiteral(".jpg");
    std::lock_guard<std::mutex> lock(queueMutex);
    if (queue.size() >= kQueueLimit)
        return;
    queue.insert(key, picture);
}

int Copy2MoveDisk::queuedPictures() const
{
    std::lock_guard<std::mutex> lock(queueMutex);
    return int(queue.size());
}

void Copy2MoveDisk::dropQueue()
{
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.clear();
}

// ------------------------------------------------------------- writing

void Copy2MoveDisk::writeNext()
{
    QString key;
    QImage picture;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        if (queue.isEmpty())
            return;
        auto first = queue.begin();
        key = first.key();
        picture = first.value();
        queue.erase(first);
    }
    if (picture.isNull())
        return;

    // The disk stays mounted while the picture is written.
    const MountHold hold = MountHold::take();
    const QString mount = paths().mountPoint;
    QByteArray mounts;
    if (!ReadMountsTable(&mounts) || !IsMountedOn(mounts, device_, mount)) {
        // Unmounted under us (an export released it for removal): writing on
        // would fill the bare mount folder on the system disk.
        logChange(QStringLiteral("USB copy: %1 no longer mounted on %2").arg(device_, mount));
        becomeUnmounted();
        dropQueue();
        return;
    }
    const QString root = mount + QStringLiteral("/monitor_") + diskTag();
    if (!key.startsWith(root + QLatin1Char('/')))
        return;   // queued for a disk layout that no longer holds
    const QString day = key.mid(root.size() + 1).section(QLatin1Char('/'), 0, 0);
    const QString folder = QFileInfo(key).path();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            qWarning().noquote() << "USB copy: cannot make" << folder;
            return;
        }
        capDays(root, day, kDayLimit);
    }
    writePicture(key, picture);
}

// ------------------------------------------------------------- mounting

bool Copy2MoveDisk::find_movedisk()
{
    const CommandResult blkid = commandRunner().run(QStringLiteral("blkid"), {}, kBlkidWaitMs);
    if (!blkid.started || blkid.exitCode < 0) {
        // A listing that did not finish says nothing about the disks: taking
        // it for "no disk" would unmount a disk in use.
        logChange(QStringLiteral("USB copy: blkid did not finish"));
        return !mountPath().isEmpty();
    }
    QByteArray output = blkid.output;
    const int nul = output.indexOf('\0');
    if (nul >= 0)
        output.truncate(nul);
    const BlkidListing listing = ParseBlkid(output, BlkidRule::ImageCopy);
    {
        std::lock_guard<std::mutex> lock(mountMutex_);
        if (!tagFixed_) {
            diskTag_ = listing.systemTag;
            tagFixed_ = true;
        }
    }

    // A disk released for removal is not mounted again while it is still
    // plugged in; once it has left the listing it counts as new.
    ReleasedDisks& released = ReleasedDisks::shared();
    released.keepOnly(listing.devices);
    QStringList candidates;
    for (const QString& device : listing.candidates)
        if (!released.contains(device))
            candidates << device;

    const QString mounted = mountPath();
    if (candidates.isEmpty() || (!mounted.isEmpty() && !candidates.contains(device_))) {
        if (!mounted.isEmpty()) {
            qInfo().noquote() << (output.trimmed().isEmpty() ? "backblkid is empty:" : "backblkid find disk is empty:")
                              << mounted;
            // Only our own disk is unmounted; one an export already released
            // is gone from the table, and anything else there is not ours.
            QByteArray mounts;
            if (ReadMountsTable(&mounts) && IsMountedOn(mounts, device_, paths().mountPoint))
                clear_mount();
        }
        becomeUnmounted();
        return false;
    }
    if (!mounted.isEmpty())
        return true;
    return mountCandidate(candidates);
}

bool Copy2MoveDisk::mountCandidate(const QStringList& candidates)
{
    const QString mount = paths().mountPoint;
    // A disk already on the mount point (an export's FindAU) is taken over:
    // remounting it would pull it from under the export.
    auto mountedCandidate = [&](const QByteArray& mounts) {
        for (const QString& device : candidates)
            if (IsMountedOn(mounts, device, mount))
                return device;
        return QString();
    };
    QByteArray mounts;
    if (!ReadMountsTable(&mounts)) {
        logChange(QStringLiteral("USB copy: cannot read %1").arg(paths().procMounts));
        return false;
    }
    QString device = mountedCandidate(mounts);
    if (!device.isEmpty()) {
        takeOver(device);
        return true;
    }
    if (CountMountLines(mounts, mount) > 0)
        clear_mount();   // something stale is mounted there

    MountLease& lease = MountLease::shared();
    if (!lease.beginChange(kMountWaitMs))
        return false;   // the disk is in use: next pass
    bool ok = ReadMountsTable(&mounts);
    if (ok) {
        device = mountedCandidate(mounts);
        if (device.isEmpty() && CountMountLines(mounts, mount) == 0) {
            device = candidates.first();
            commandRunner().run(QStringLiteral("mount"), {device, mount}, kMountWaitMs);
            ok = ReadMountsTable(&mounts) && IsMountedOn(mounts, device, mount);
        } else {
            ok = !device.isEmpty();   // someone mounted meanwhile: theirs unless it is a candidate
        }
    }
    lease.endChange();
    if (!ok) {
        logChange(QStringLiteral("USB copy: cannot mount %1 on %2").arg(candidates.first(), mount));
        return false;
    }
    takeOver(device);
    return true;
}

void Copy2MoveDisk::takeOver(const QString& device)
{
    device_ = device;
    setMountPath(paths().mountPoint);
    lastLogged_.clear();
    qInfo().noquote() << "auto mount success!" << device << paths().mountPoint;
}

void Copy2MoveDisk::becomeUnmounted()
{
    device_.clear();
    setMountPath(QString());
}

void Copy2MoveDisk::clear_mount()
{
    // The shared helper waits for whoever holds the disk and gives "umount"
    // its own wait: a short limit would kill a umount still flushing.
    if (!UnmountAU(kMountChangeWaitMs, UnmountPurpose::Internal))
        qWarning().noquote() << "clear_mount: " << paths().mountPoint << "still mounted";
}

void Copy2MoveDisk::logChange(const QString& line)
{
    if (line == lastLogged_)
        return;
    lastLogged_ = line;
    qWarning().noquote() << line;
}

// ------------------------------------------------------------- state

QString Copy2MoveDisk::mountPath() const
{
    std::lock_guard<std::mutex> lock(mountMutex_);
    return mountPath_;
}

void Copy2MoveDisk::setMountPath(const QString& path)
{
    std::lock_guard<std::mutex> lock(mountMutex_);
    mountPath_ = path;
}

QString Copy2MoveDisk::diskTag() const
{
    std::lock_guard<std::mutex> lock(mountMutex_);
    return diskTag_;
}
