#pragma once
// Every device node and system path the program touches, in one place, with
// the panel's values as defaults.  Tests and the demo point them elsewhere.
// Paths of the program's own files stay relative: the working directory is
// the program directory.
#include <QString>

struct Paths {
    QString serialDevice = QStringLiteral("/dev/ttyS%1");   // %1: port number
    QString ledDevice = QStringLiteral("/dev/led");
    QString mountPoint = QStringLiteral("/mnt");
    QString procMounts = QStringLiteral("/proc/mounts");
    QString procInputDevices = QStringLiteral("/proc/bus/input/devices");
    QString videoDevice = QStringLiteral("/dev/video%1");
    QString devDir = QStringLiteral("/dev");
    QString etcDir = QStringLiteral("/etc");
    QString sysClassNet = QStringLiteral("/sys/class/net");
    QString procNetDev = QStringLiteral("/proc/net/dev");
    QString ipcKeyPath = QStringLiteral("/tmp");   // ftok path of the live-video shares
    QString glogDir = QStringLiteral("./cnt_net/cnt_log_app/");
    QString qtLogDir;  // empty: application directory + "/RECORD/LOG"
};

Paths& paths();
