#pragma once
// The program update and the factory reset place an archive in the program
// directory ("newupdate.tar.gz", "newupdate.tar.xz" or "newupdate.rar"),
// which is unpacked outside the program at the next start.  A truncated or
// foreign file there would be installed over the program, so the archive is
// checked before anything else happens:
//  - its type by name (".tar.gz" before ".tar.xz" before ".rar"), and its
//    first bytes against that type's magic;
//  - copied to "<target>.part", flushed, read back and compared with the
//    source by size and SHA-256, and only then renamed onto the target.
// A failure removes the ".part" and leaves an existing target as it was.
// Widget-free; the copy runs on a worker of its own (PackageCopy).
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

enum class PackageKind { None, TarGz, TarXz, Rar };

// The kind an update file's name asks for (the name may be a whole path).
PackageKind PackageKindByName(const QString& fileName);
// "newupdate.tar.gz" ...; empty for None.
QString PackageTargetName(PackageKind kind);
// Whether head (the file's first bytes) starts with kind's magic: gzip
// 1F 8B, xz FD 37 7A 58 5A 00, rar "Rar!" 1A 07.
bool PackageMagicMatches(PackageKind kind, const QByteArray& head);

struct PackageCopyResult {
    bool ok = false;
    QString detail;     // why it failed, for the log
    qint64 bytes = 0;
};

// The checked copy of source onto target (both files) on the calling
// thread.  progress(done, total) in bytes after each chunk; stop ends it
// early (as a failure).  afterWrite runs between writing the ".part" and
// checking it (tests cut the copy short there).
PackageCopyResult CopyPackageChecked(const QString& source, const QString& target, PackageKind kind,
                                     const std::function<void(qint64, qint64)>& progress = {},
                                     const std::atomic<bool>* stop = nullptr,
                                     const std::function<void(const QString& part)>& afterWrite = {});

// One checked copy on a worker thread; done runs on the owner's thread.
// One copy at a time; deleting the object stops a copy and waits for it.
class PackageCopy : public QObject {
public:
    explicit PackageCopy(QObject* parent = nullptr);
    ~PackageCopy() override;

    // False (nothing started) while a copy runs.
    bool start(const QString& source, const QString& target, PackageKind kind,
               std::function<void(const PackageCopyResult&)> done);
    bool running() const { return running_; }

    // Called on the owner's thread with the percentage copied.
    std::function<void(int percent)> onProgress;
    // See CopyPackageChecked; runs on the worker.  Set before start().
    std::function<void(const QString& part)> afterWrite;

private:
    void finish(const PackageCopyResult& result);

    bool running_ = false;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    std::function<void(const PackageCopyResult&)> done_;
};
