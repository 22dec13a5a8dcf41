#include "testenv.h"

#include "globals.h"

#include <QFile>
#include <QFileInfo>

TestEnv::TestEnv()
    : runner(std::make_shared<RecordingCommandRunner>()),
      panel(std::make_shared<RecordingPanelDevice>()),
      clock(std::make_shared<FakeClock>())
{
    oldDir_ = QDir::currentPath();
    QDir::setCurrent(tmp_.path());
    oldPaths_ = paths();
    paths().qtLogDir = path(QStringLiteral("RECORD/LOG"));
    paths().ledDevice = path(QStringLiteral("dev/led"));
    paths().serialDevice = path(QStringLiteral("dev/ttyS%1"));
    paths().mountPoint = path(QStringLiteral("mnt"));
    paths().procMounts = path(QStringLiteral("proc/mounts"));
    paths().procInputDevices = path(QStringLiteral("proc/bus/input/devices"));
    paths().videoDevice = path(QStringLiteral("dev/video%1"));
    paths().devDir = path(QStringLiteral("dev"));
    paths().etcDir = path(QStringLiteral("etc"));
    paths().sysClassNet = path(QStringLiteral("sys/class/net"));
    paths().procNetDev = path(QStringLiteral("proc/net/dev"));
    paths().ipcKeyPath = path(QStringLiteral("ipckey"));
    oldRunner_ = setCommandRunner(runner);
    oldPanel_ = setPanelDevice(panel);
    oldClock_ = setAppClock(clock);
    modal::setHook([this](const ModalRequest& r) {
        modalRequests.push_back(r);
        if (modalAnswersUsed < modalAnswers.size())
            return modalAnswers[modalAnswersUsed++];
        return defaultAnswer;
    });
    modal::setTextHook([this](const ModalRequest& r) -> std::optional<QString> {
        modalRequests.push_back(r);
        if (modalTextsUsed < modalTexts.size())
            return modalTexts[modalTextsUsed++];
        return std::nullopt;
    });
    CreateSharedLocks();
}

TestEnv::~TestEnv()
{
    modal::setHook({});
    modal::setTextHook({});
    setAppClock(oldClock_);
    setPanelDevice(oldPanel_);
    setCommandRunner(oldRunner_);
    paths() = oldPaths_;
    QDir::setCurrent(oldDir_);
}

void TestEnv::writeFile(const QString& relative, const QByteArray& content) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

QByteArray TestEnv::readFile(const QString& relative) const
{
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
