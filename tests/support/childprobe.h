#pragma once
// A child program for tests of started programs, built into the test
// executable itself: MM_TEST_MAIN_WITH_CHILD(Test) runs the tests, or, when
// called with childProbeArgs(mode), the probe instead.  The probe writes
// "pdeathsig=<n> ppid=<n>" to the file "probe.txt" in its working directory
// (so a test sees where it ran and that the parent-death signal is set),
// prints one line to its standard output and then waits to be ended.
// Modes: "obedient" ends on SIGTERM, "stubborn" ignores it.
//
// Helpers to check that no child is left: a reaped process has no /proc
// entry, a zombie still has one.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace childprobe {

inline const char* const kSwitch = "--child-probe";

inline QStringList args(const char* mode)
{
    return {QString::fromLatin1(kSwitch), QString::fromLatin1(mode)};
}

inline QString executable()
{
    return QCoreApplication::applicationFilePath();
}

inline int run(const char* mode)
{
    if (std::strcmp(mode, "stubborn") == 0)
        std::signal(SIGTERM, SIG_IGN);
    int deathSignal = 0;
    ::prctl(PR_GET_PDEATHSIG, &deathSignal);
    char text[64];
    const int n = std::snprintf(text, sizeof text, "pdeathsig=%d ppid=%d", deathSignal, int(::getppid()));
    // Written whole, then renamed: a test never reads half of it.
    const int fd = ::open("probe.tmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, text, std::size_t(n)) != n || ::close(fd) != 0 || ::rename("probe.tmp", "probe.txt") != 0)
        return 2;
    std::printf("child probe running\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

// Whether the process still has a /proc entry (running or a zombie).
inline bool exists(qint64 pid)
{
    return pid > 0 && QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// Process ids whose parent is this process.
inline QList<qint64> children()
{
    QList<qint64> out;
    const QString me = QString::number(::getpid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile status(QStringLiteral("/proc/%1/status").arg(entry));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("PPid:") && line.mid(5).trimmed() == me.toLatin1())
                out << pid;
    }
    return out;
}

}  // namespace childprobe

#define MM_TEST_MAIN_WITH_CHILD(TestObject)                                          \
    int main(int argc, char* argv[])                                                 \
    {                                                                                \
        if (argc == 3 && std::strcmp(argv[1], childprobe::kSwitch) == 0)             \
            return childprobe::run(argv[2]);                                         \
        QCoreApplication app(argc, argv);                                            \
        TestObject tc;                                                               \
        QTEST_SET_MAIN_SOURCE_PATH                                                   \
        return QTest::qExec(&tc, argc, argv);                                        \
    }
