#pragma once
// The demo's USB disk: a folder standing in for the stick.  Off the panel
// the program runs nothing, so "blkid", "mount" and "umount" would never
// find or mount a disk and the exports would stop at "insert a disk".  With
// MOULDMON_DEMO_DISK=DIR the demo's runner answers them for a pretend FAT
// partition mounted on DIR, kept in a mounts table of its own beside DIR;
// every other command stays a dry run.
#include "commandrunner.h"

#include <QMutex>
#include <QString>

class DemoDiskCommandRunner : public DryRunCommandRunner {
public:
    static constexpr const char* kDevice = "/dev/sdz1";

    // mountsFile: the table paths().procMounts points at.
    DemoDiskCommandRunner(const QString& mountPoint, const QString& mountsFile);

protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;

private:
    bool rewriteMounts(bool mounted);

    QMutex mutex_;
    QString mountPoint_;
    QString mountsFile_;
};

// With MOULDMON_DEMO_DISK set, off the panel: points paths() at the folder
// and its table and installs the runner.  False when not asked for (or on
// the panel, where the real disk is used).
bool InstallDemoDiskFromEnvironment();
