#include "updatepackage.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <glog/logging.h>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr qint64 kChunk = 1 << 20;

QByteArray magicOf(PackageKind kind)
{
    switch (kind) {
    case PackageKind::TarGz:
        return QByteArray("\x1f\x8b", 2);
    case PackageKind::TarXz:
        return QByteArray("\xfd\x37\x7a\x58\x5a\x00", 6);
    case PackageKind::Rar:
        return QByteArray("Rar!\x1a\x07", 6);
    case PackageKind::None:
        break;
    }
    return QByteArray();
}

// SHA-256 of a whole file as it lies on its disk now.
bool hashFile(const QString& path, QByteArray* digest, qint64* size)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash h(QCryptographicHash::Sha256);
    qint64 n = 0;
    for (;;) {
        const QByteArray chunk = f.read(kChunk);
        if (chunk.isEmpty())
            break;
        h.addData(chunk);
        n += chunk.size();
    }
    if (f.error() != QFileDevice::NoError)
        return false;
    *digest = h.result();
    *size = n;
    return true;
}

} // namespace

PackageKind PackageKindByName(const QString& fileName)
{
    // The order decides for a name holding more than one of them.
    if (fileName.contains(QLatin1String(".tar.gz")))
        return PackageKind::TarGz;
    if (fileName.contains(QLatin1String(".tar.xz")))
        return PackageKind::TarXz;
    if (fileName.contains(QLatin1String(".rar")))
        return PackageKind::Rar;
    return PackageKind::None;
}

QString PackageTargetName(PackageKind kind)
{
    switch (kind) {
    case PackageKind::TarGz:
        return QStringLiteral("newupdate.tar.gz");
    case PackageKind::TarXz:
        return QStringLiteral("newupdate.tar.xz");
    case PackageKind::Rar:
        return QStringLiteral("newupdate.rar");
    case PackageKind::None:
        break;
    }
    return QString();
}

bool PackageMagicMatches(PackageKind kind, const QByteArray& head)
{
    const QByteArray magic = magicOf(kind);
    return !magic.isEmpty() && head.startsWith(magic);
}

PackageCopyResult CopyPackageChecked(const QString& source, const QString& target, PackageKind kind,
                                     const std::function<void(qint64, qint64)>& progress,
                                     const std::atomic<bool>* stop,
                                     const std::function<void(const QString& part)>& afterWrite)
{
    PackageCopyResult r;
    const QString part = target + QStringLiteral(".part");
    const auto fail = [&](const QString& why) {
        QFile::remove(part);
        r.ok = false;
        r.detail = why;
        return r;
    };

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(source, in.errorString()));
    const qint64 total = in.size();
    const QByteArray head = in.peek(16);
    if (!PackageMagicMatches(kind, head))
        return fail(QStringLiteral("%1 does not start like a %2 archive").arg(source, PackageTargetName(kind)));

    QFile::remove(part);   // left by a copy that was cut off
    QFile out(part);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(QStringLiteral("cannot create %1: %2").arg(part, out.errorString()));
    QCryptographicHash sourceHash(QCryptographicHash::Sha256);
    qint64 done = 0;
    for (;;) {
        if (stop && *stop)
            return fail(QStringLiteral("stopped"));
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty())
            break;
        if (out.write(chunk) != chunk.size())
            return fail(QStringLiteral("cannot write %1: %2").arg(part, out.errorString()));
        sourceHash.addData(chunk);
        done += chunk.size();
        if (progress)
            progress(done, total);
    }
    if (in.error() != QFileDevice::NoError)
        return fail(QStringLiteral("reading %1 failed: %2").arg(source, in.errorString()));
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return fail(QStringLiteral("cannot flush %1").arg(part));
    out.close();
    // A source that shrank or grew while it was read is not the file that
    // was chosen.
    if (done != total || QFileInfo(source).size() != total)
        return fail(QStringLiteral("%1 changed while it was copied").arg(source));
    if (afterWrite)
        afterWrite(part);

    QByteArray copyDigest;
    qint64 copySize = -1;
    if (!hashFile(part, &copyDigest, &copySize))
        return fail(QStringLiteral("cannot read back %1").arg(part));
    if (copySize != total || copyDigest != sourceHash.result())
        return fail(QStringLiteral("%1 differs from %2 (%3 of %4 bytes)").arg(part, source).arg(copySize).arg(total));
    // rename(2) replaces an existing target in one step.
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("cannot rename %1 onto %2").arg(part, target));
    r.ok = true;
    r.bytes = total;
    return r;
}

// ------------------------------------------------------------ PackageCopy

PackageCopy::PackageCopy(QObject* parent) : QObject(parent) {}

PackageCopy::~PackageCopy()
{
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

bool PackageCopy::start(const QString& source, const QString& target, PackageKind kind,
                        std::function<void(const PackageCopyResult&)> done)
{
    if (running_)
        return false;
    if (worker_.joinable())
        worker_.join();
    running_ = true;
    stop_ = false;
    done_ = std::move(done);
    const std::function<void(const QString&)> hook = afterWrite;
    worker_ = std::thread([this, source, target, kind, hook] {
        int shown = -1;
        const auto progress = [this, &shown](qint64 k, qint64 n) {
            const int percent = n > 0 ? int(k * 100 / n) : 100;
            if (percent == shown)
                return;
            shown = percent;
            QMetaObject::invokeMethod(
                this, [this, percent] {
                    if (running_ && onProgress)
                        onProgress(percent);
                },
                Qt::QueuedConnection);
        };
        const PackageCopyResult r = CopyPackageChecked(source, target, kind, progress, &stop_, hook);
        QMetaObject::invokeMethod(this, [this, r] { finish(r); }, Qt::QueuedConnection);
    });
    return true;
}

void PackageCopy::finish(const PackageCopyResult& result)
{
    if (worker_.joinable())
        worker_.join();
    running_ = false;
    if (!result.ok)
        LOG(ERROR) << "update package not copied: " << result.detail.toStdString();
    // The callback may start the next copy.
    std::function<void(const PackageCopyResult&)> done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(result);
}
