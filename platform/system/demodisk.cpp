#include "demodisk.h"

#include "paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>

DemoDiskCommandRunner::DemoDiskCommandRunner(const QString& mountPoint, const QString& mountsFile)
    : mountPoint_(mountPoint), mountsFile_(mountsFile)
{
}

CommandResult DemoDiskCommandRunner::execute(const QString& program, const QStringList& args, int timeoutMs)
{
    CommandResult done;
    if (program == QLatin1String("blkid")) {
        // The system disk first, as on the panel; then the stick.
        done.output = QByteArray("/dev/mmcblk0p2: UUID=\"demo-root\" TYPE=\"ext4\"\n") + kDevice
            + ": LABEL=\"DEMO\" TYPE=\"vfat\"\n";
        return done;
    }
    if (program == QLatin1String("mount") && args == QStringList{QLatin1String(kDevice), mountPoint_}) {
        if (!QDir().mkpath(mountPoint_) || !rewriteMounts(true))
            done.exitCode = 32;
        return done;
    }
    if (program == QLatin1String("umount") && args == QStringList{mountPoint_}) {
        if (!rewriteMounts(false))
            done.exitCode = 32;
        return done;
    }
    if (program == QLatin1String("sync"))
        return done;
    return DryRunCommandRunner::execute(program, args, timeoutMs);
}

bool DemoDiskCommandRunner::rewriteMounts(bool mounted)
{
    QMutexLocker lock(&mutex_);
    QByteArray table;
    QFile in(mountsFile_);
    if (in.open(QIODevice::ReadOnly))
        table = in.readAll();
    QByteArray out;
    const QByteArray point = mountPoint_.toLocal8Bit();
    for (const QByteArray& line : table.split('\n'))
        if (!line.isEmpty() && !line.contains(point))
            out += line + '\n';
    if (mounted)
        out += QByteArray(kDevice) + ' ' + point + " vfat rw 0 0\n";
    QSaveFile file(mountsFile_);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.commit();
}

bool InstallDemoDiskFromEnvironment()
{
    const QString dir = qEnvironmentVariable("MOULDMON_DEMO_DISK");
    if (dir.isEmpty() || panelModeEnabled())
        return false;
    const QString mountPoint = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    const QString mountsFile = mountPoint + QStringLiteral(".mounts");
    QDir().mkpath(mountPoint);
    QFile table(mountsFile);
    if (!table.exists() && table.open(QIODevice::WriteOnly))
        table.write("/dev/mmcblk0p2 / ext4 rw 0 0\n");
    table.close();
    paths().mountPoint = mountPoint;
    paths().procMounts = mountsFile;
    setCommandRunner(std::make_shared<DemoDiskCommandRunner>(mountPoint, mountsFile));
    return true;
}
