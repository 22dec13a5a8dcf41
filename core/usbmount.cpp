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

QString withoutTrailingDigits(QString device)
{
    while (!device.isEmpty() && device.back().isDigit() && device.back().unicode() < 128)
        device.chop(1);
    return device;
}

// The last part of the last UUID piece of the line: a PARTUUID after the
// UUID wins.  Only ASCII letters and digits are kept, so that whatever blkid
// prints can never leave the folder the tag names.
QString ext4LineTag(const QByteArray& line)
{
    QByteArray tag;
    for (const QByteArray& piece : line.split(' ')) {
        if (!piece.contains("UUID"))
            continue;
        QByteArray value = piece;
        value.replace("UUID=", "");
        value.replace('"', "");
        tag = value.split('-').last();
    }
    QString clean;
    for (const char c : tag)
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            clean += QLatin1Char(c);
    return clean;
}

} // namespace

bool ReadMountsTable(QByteArray* out)
{
    QFile f(paths().procMounts);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *out = f.readAll();
    return true;
}

BlkidListing ParseBlkid(const QByteArray& output, BlkidRule rule)
{
    BlkidListing r;
    QList<QByteArray> lines;
    for (const QByteArray& line : output.split('\n'))
        if (!line.trimmed().isEmpty())
            lines << line;

    if (rule == BlkidRule::ImageCopy) {
        // The first ext4 line decides, and candidates may come before it.
        for (const QByteArray& line : lines)
            if (line.contains("TYPE=\"ext4\"")) {
                r.systemDisk = withoutTrailingDigits(devicePath(line));
                r.systemTag = ext4LineTag(line);
                break;
            }
    }
    for (const QByteArray& line : lines) {
        r.devices << devicePath(line);
        if (line.contains("TYPE=\"ext4\"")) {
            if (rule == BlkidRule::FindAU) {
                const QString disk = withoutTrailingDigits(devicePath(line));
                if (!disk.isEmpty()) {
                    r.systemDisk = disk;
                    r.systemTag = ext4LineTag(line);
                }
            }
        } else if (isFatNtfsOrExfat(line)) {
            const QString dev = devicePath(line);
            // Only absolute device paths: anything else would reach mount as
            // an option rather than a device.  By FindAU's rule the system
            // disk is known here only after an ext4 line.
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

QStringList MountedDevices(const QByteArray& mounts, const QString& mountPoint)
{
    const QByteArray point = mountPoint.toLocal8Bit();
    QStringList devices;
    for (const QByteArray& line : mounts.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[1] == point)
            devices << QString::fromLocal8Bit(fields[0]);
    }
    return devices;
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

MountHold MountHold::take()
{
    MountLease::shared().acquire();
    MountHold hold;
    hold.adopt();
    return hold;
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
    if (!ReadMountsTable(&mounts)) {
        lease.endChange();
        return QString();
    }
    const int mounted = CountMountLines(mounts, mountPoint);
    for (int k = 0; k < mounted; ++k)
        runner.run(QStringLiteral("umount"), {mountPoint}, kCommandWaitMs);
    runner.run(QStringLiteral("mount"), {device, mountPoint}, kCommandWaitMs);

    const bool ok = ReadMountsTable(&mounts) && IsMountedOn(mounts, device, mountPoint);
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

ReleasedDisks& ReleasedDisks::shared()
{
    static ReleasedDisks disks;
    return disks;
}

void ReleasedDisks::note(const QStringList& devices)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const QString& d : devices)
        if (!devices_.contains(d))
            devices_ << d;
}

bool ReleasedDisks::contains(const QString& device) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_.contains(device);
}

void ReleasedDisks::keepOnly(const QStringList& listed)
{
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.removeIf([&listed](const QString& d) { return !listed.contains(d); });
}

bool UnmountAU(int timeoutMs, UnmountPurpose purpose)
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
    bool ok = ReadMountsTable(&mounts);
    QStringList released;
    if (ok) {
        released = MountedDevices(mounts, mountPoint);
        const int mounted = CountMountLines(mounts, mountPoint);
        for (int k = 0; k < mounted; ++k)
            runner.run(QStringLiteral("umount"), {mountPoint}, kCommandWaitMs);
        ok = ReadMountsTable(&mounts) && CountMountLines(mounts, mountPoint) == 0;
    }
    // Noted before the change ends, so the image copy cannot mount the disk
    // again in between.
    if (ok && purpose == UnmountPurpose::Removal)
        ReleasedDisks::shared().note(released);
    lease.endChange();
    if (!ok)
        qWarning() << "USB disk still mounted on" << mountPoint;
    return ok && sync.ok();
}
