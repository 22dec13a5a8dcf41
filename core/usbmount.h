#pragma once
// The USB disk on the mount point ("/mnt" on the panel): finding the first
// FAT, NTFS or exFAT partition that is not on the system disk, mounting it,
// and the lease that keeps one user from unmounting the disk under another.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>

// What a blkid listing says: the system disk (the ext4 partition's device
// path without its trailing digits) and, in listing order, the partitions
// that may be mounted.
struct BlkidListing {
    QString systemDisk;
    QStringList candidates;
    // The system disk's tag (UUID rule); letters and digits only, so it can
    // never form a path.  Empty without an ext4 line.
    QString systemTag;
    // Every device path the listing names, in order.
    QStringList devices;
};

// The two callers read one listing by different rules:
//  - FindAU: the last ext4 line names the system disk, and only partitions
//    listed after the first ext4 line are candidates;
//  - ImageCopy: the first ext4 line decides (system disk and tag), and once
//    an ext4 line exists every FAT, NTFS or exFAT partition in the listing
//    that is not on the system disk is a candidate.
enum class BlkidRule { FindAU, ImageCopy };

// Pure.  A partition whose device path contains the system disk name is
// never a candidate, nor one that is not an absolute device path.
BlkidListing ParseBlkid(const QByteArray& output, BlkidRule rule = BlkidRule::FindAU);

// Number of lines of a mounts table that mention the mount point anywhere.
int CountMountLines(const QByteArray& mounts, const QString& mountPoint);
// True when the mounts table lists device on mountPoint.
bool IsMountedOn(const QByteArray& mounts, const QString& device, const QString& mountPoint);
// The devices the mounts table lists on mountPoint, in table order.
QStringList MountedDevices(const QByteArray& mounts, const QString& mountPoint);
// Reads the mounts table (paths().procMounts); false when it cannot be read.
bool ReadMountsTable(QByteArray* out);

// Everyone who mounts or unmounts the mount point, or writes below it,
// goes through the one shared lease:
//  - a writer holds the disk (acquire/release, or a MountHold) while it
//    writes, so the disk stays mounted;
//  - a mount change (umount, mount) runs between beginChange and endChange,
//    which waits until nobody holds the disk and keeps new holders out
//    until the change is over.
class MountLease {
public:
    static MountLease& shared();

    void acquire();
    void release();
    int holders() const;

    // False when the disk was still held after timeoutMs; then nothing is locked.
    bool beginChange(int timeoutMs);
    // Ends the change; with keepHold the caller holds the disk from here on,
    // with no moment in between in which another change could start.
    void endChange(bool keepHold = false);

private:
    // Standard types rather than Qt's: the wait's unlock happens in code the
    // race checker sees, so a change waiting for a holder is not misread.
    mutable std::mutex mutex_;
    std::condition_variable released_;
    int holders_ = 0;
};

// Holds the shared lease while it lives.
class MountHold {
public:
    MountHold() = default;
    ~MountHold() { release(); }
    MountHold(const MountHold&) = delete;
    MountHold& operator=(const MountHold&) = delete;
    MountHold(MountHold&& other) noexcept : held_(other.held_) { other.held_ = false; }
    MountHold& operator=(MountHold&& other) noexcept;

    // Holds the disk; waits while a mount change runs.
    static MountHold take();

    bool held() const { return held_; }
    void release();

private:
    friend QString FindAU(MountHold* hold);
    void adopt() { held_ = true; }   // the lease was already taken for us
    bool held_ = false;
};

// How long FindAU waits for another user of the disk to finish.
constexpr int kMountChangeWaitMs = 5000;

// Mounts the first candidate partition on the mount point.  Returns the mount
// point when the disk is mounted there at the end, else an empty text.  With
// hold given, a successful mount returns with the disk held for the caller.
QString FindAU(MountHold* hold);
QString FindAU();

// Disks unmounted so that the user can pull them.  The USB image copy must
// not mount such a disk again while it is still plugged in (the user is
// about to pull it); it forgets one once blkid no longer lists it.
class ReleasedDisks {
public:
    static ReleasedDisks& shared();
    void note(const QStringList& devices);
    bool contains(const QString& device) const;
    // Forgets every device not in listed.
    void keepOnly(const QStringList& listed);

private:
    mutable std::mutex mutex_;
    QStringList devices_;
};

enum class UnmountPurpose {
    Removal,   // the user pulls the disk next: noted in ReleasedDisks
    Internal,  // the image copy's own unmount of a gone or stale disk
};

// Unmounts the mount point under the lease: waits (at most timeoutMs) until
// nobody holds the disk, runs "sync" and "umount" through the command runner
// and checks the mounts table.  True when the sync succeeded and nothing is
// mounted there any more.
bool UnmountAU(int timeoutMs = kMountChangeWaitMs, UnmountPurpose purpose = UnmountPurpose::Removal);
