#include "usbmount.h"

#include "commandrunner.h"
#include "paths.h"


#include <algorithm>
#include <chrono>
#include <QDebug>
#include <QFile>

namespace {

constexpr int kCommandWaitMs = 1000;

bool isFatNtfsOrExfat(const QByteArray& line)
{
    return line.contains("TYPE=\"vfat\"") || line.contains("TYPE=\"ntfs\"")
           || line.contains("TYPE=\"exfat\"");
}

QString devicePath(const QByteArray& line)
{
    const int colon = line.indexOf(':');
    return QString::fromLocal8Bit(colon < 0 ? line : line.left(colon)).trimmed();
}

bool readMounts(QByteArray* out)
{
    QFile f(paths().procMounts);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *out = f.readAll();
    return true;
}

} // namespace

BlkidListing ParseBlkid(const QByteArray& output)
{
    BlkidListing r;
    for (const QByteArray& line : output.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        if (line.contains("TYPE=\"ext4\"")) {
            QString disk = devicePath(line);
            while (!disk.isEmpty() && disk.back().isDigit() && disk.back().unicode() < 128)
                disk.chop(1);
            if (!disk.isEmpty())
                r.systemDisk = disk;
        } else if (isFatNtfsOrExfat(line)) {
            const QString dev = devicePath(line);
            // Only absolute device paths: anything else would reach mount as
            // an option rather than a device.
            if (!r.systemDisk.isEmpty() && dev.startsWith(QLatin1Char('/'))
                && !dev.contains(r.systemDisk))
                r.candidates << dev;
        }
    }
    return r;
}

int CountMountLines(const QByteArray& mounts, const QString& mountPoint)
{
    const QByteArray point = mountPoint.toLocal8Bit();
    int n = 0;
    for (const QByteArray& line : mounts.split('\n'))
        if (line.contains(point))
            ++n;
    return n;
}

bool IsMountedOn(const QByteArray& mounts, const QString& device, const QString& mountPoint)
{
    const QByteArray dev = device.toLocal8Bit();
    const QByteArray point = mountPoint.toLocal8Bit();
    for (const QByteArray& line : mounts.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == dev && fields[1] == point)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- lease
MountLease& MountLease::shared()
{
    static MountLease lease;
    return lease;
}

void MountLease::acquire()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++holders_;
}

void MountLease::release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (holders_ > 0)
        --holders_;
    if (holders_ == 0)
        released_.notify_all();
}

int MountLease::holders() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return holders_;
}

bool MountLease::beginChange(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!released_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)), [this] { return holders_ == 0; }))
        return false;
    lock.release();   // mutex_ stays locked until endChange
    return true;
}

void MountLease::endChange(bool keepHold)
{
    if (keepHold)
        ++holders_;
    mutex_.unlock();
}

MountHold& MountHold::operator=(MountHold&& other) noexcept
{
    if (this != &other) {
        release();
        held_ = other.held_;
        other.held_ = false;
    }
    return *this;
}

void MountHold::release()
{
    if (held_) {
        held_ = false;
        MountLease::shared().release();
    }
}

// ---------------------------------------------------------------- FindAU
QString FindAU(MountHold* hold)
{
    if (hold)
        hold->release();   // an earlier hold would make us wait for ourselves
    CommandRunner& runner = commandRunner();
    const QString mountPoint = paths().mountPoint;

    const CommandResult blkid = runner.run(QStringLiteral("blkid"), {}, kCommandWaitMs);
    if (blkid.output.trimmed().isEmpty())
        return QString();
    const BlkidListing listing = ParseBlkid(blkid.output);
    if (listing.candidates.isEmpty())
        return QString();
    const QString device = listing.candidates.first();

    MountLease& lease = MountLease::shared();
    if (!lease.beginChange(kMountChangeWaitMs)) {
        qWarning() << "USB disk busy, not remounted";
        return QString();
    }
    QByteArray mounts;
    if (!readMounts(&mounts)) {
        lease.endChange();
        return QString();
    }
    const int mounted = CountMountLines(mounts, mountPoint);
    for (int k = 0; k < mounted; ++k)
        runner.run(QStringLiteral("umount"), {mountPoint}, kCommandWaitMs);
    runner.run(QStringLiteral("mount"), {device, mountPoint}, kCommandWaitMs);

    const bool ok = readMounts(&mounts) && IsMountedOn(mounts, device, mountPoint);
    const bool keep = ok && hold;
    lease.endChange(keep);
    if (keep)
        hold->adopt();
    return ok ? mountPoint : QString();
}

QString FindAU()
{
    return FindAU(nullptr);
}

// ---------------------------------------------------------------- unmount

bool UnmountAU(int timeoutMs)
{
    MountLease& lease = MountLease::shared();
    if (!lease.beginChange(timeoutMs)) {
        qWarning() << "USB disk still in use, not unmounted";
        return false;
    }
    CommandRunner& runner = commandRunner();
    const QString mountPoint = paths().mountPoint;
    // Writing back a large file to a slow stick takes its time.
    const CommandResult sync = runner.run(QStringLiteral("sync"), {}, 60000);
    if (!sync.ok())
        qWarning() << "sync failed with" << sync.exitCode;
    QByteArray mounts;
    bool ok = readMounts(&mounts);
    if (ok) {
        const int mounted = CountMountLines(mounts, mountPoint);
        for (int k = 0; k < mounted; ++k)
            runner.run(QStringLiteral("umount"), {mountPoint}, kCommandWaitMs);
        ok = readMounts(&mounts) && CountMountLines(mounts, mountPoint) == 0;
    }
    lease.endChange();
    if (!ok)
        qWarning() << "USB disk still mounted on" << mountPoint;
    return ok && sync.ok();
}
