#include "commandrunner.h"

#include <QFileInfo>
#include <QProcess>
#include <glog/logging.h>

QString CommandCall::line() const
{
    QStringList parts{program};
    parts += args;
    return parts.join(QLatin1Char(' '));
}

bool CommandRunner::isDestructive(const QString& program, const QStringList& args)
{
    const QString name = QFileInfo(program).fileName();
    static const QStringList always = {
        "reboot", "init", "poweroff", "shutdown", "halt", "date", "hwclock",
        "mount", "umount", "rm", "mv", "cp", "dd", "mkfs", "ifconfig", "ip",
        "route", "iptables", "netplan", "wpa_supplicant", "dhclient", "hostname",
        "hostnamectl", "timedatectl", "sync", "tar", "unrar", "chmod", "chown",
        "ln", "sh", "bash", "python3", "python", "kill", "killall", "pkill",
        "systemctl", "service", "modprobe", "insmod", "rmmod"};
    if (always.contains(name))
        return true;
    // Our own helper programs in the program directory (./tsc, ./update.sh...)
    if (program.startsWith(QLatin1String("./")) || program.startsWith(QLatin1Char('/')))
        return true;
    Q_UNUSED(args);
    return false;
}

// ---------------------------------------------------------------- real
CommandResult RealCommandRunner::execute(const QString& program, const QStringList& args, int timeoutMs)
{
    CommandResult r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(timeoutMs)) {
        r.started = false;
        r.exitCode = -1;
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        r.exitCode = -1;
    } else {
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    r.output = p.readAllStandardOutput();
    r.errorOutput = p.readAllStandardError();
    return r;
}

bool RealCommandRunner::startDetached(const QString& program, const QStringList& args)
{
    return QProcess::startDetached(program, args);
}

// ---------------------------------------------------------------- dry run
// Refused commands go to glog, which is always on: the message log may be
// switched off, and a command that silently did not run is hard to find.
// Nothing is kept in memory, so a long run does not grow.
namespace {
void logRefused(const CommandCall& call, const char* verb)
{
    LOG(WARNING) << "dry run, not " << verb << ": " << call.line().toStdString()
                 << (CommandRunner::isDestructive(call.program, call.args) ? " (would change the machine)" : "");
}
}  // namespace

CommandResult DryRunCommandRunner::execute(const QString& program, const QStringList& args, int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    logRefused(CommandCall{program, args, false}, "executed");
    return CommandResult{};
}

bool DryRunCommandRunner::startDetached(const QString& program, const QStringList& args)
{
    logRefused(CommandCall{program, args, true}, "started");
    return true;
}

// ---------------------------------------------------------------- recording
CommandResult RecordingCommandRunner::execute(const QString& program, const QStringList& args, int)
{
    CommandCall call{program, args, false};
    QMutexLocker lock(&mutex_);
    calls_.push_back(call);
    if (script_)
        return script_(call);
    for (const auto& a : answers_)
        if (a.first == program)
            return a.second;
    return CommandResult{};
}

bool RecordingCommandRunner::startDetached(const QString& program, const QStringList& args)
{
    QMutexLocker lock(&mutex_);
    calls_.push_back({program, args, true});
    return true;
}

void RecordingCommandRunner::answer(const QString& program, const CommandResult& result)
{
    QMutexLocker lock(&mutex_);
    answers_.emplace_back(program, result);
}

void RecordingCommandRunner::setScript(Script script)
{
    QMutexLocker lock(&mutex_);
    script_ = std::move(script);
}

std::vector<CommandCall> RecordingCommandRunner::calls() const
{
    QMutexLocker lock(&mutex_);
    return calls_;
}

QStringList RecordingCommandRunner::lines() const
{
    QStringList out;
    for (const auto& c : calls())
        out << c.line();
    return out;
}

void RecordingCommandRunner::clear()
{
    QMutexLocker lock(&mutex_);
    calls_.clear();
}

// ---------------------------------------------------------------- global
bool panelModeEnabled()
{
#ifdef MM_PANEL_BUILD
    return qEnvironmentVariable("MOULDMON_PANEL") == QLatin1String("1");
#else
    return false;
#endif
}

namespace {
QMutex gRunnerMutex;
std::shared_ptr<CommandRunner>& runnerSlot()
{
    static std::shared_ptr<CommandRunner> runner;
    return runner;
}
}

CommandRunner& commandRunner()
{
    QMutexLocker lock(&gRunnerMutex);
    auto& slot = runnerSlot();
    if (!slot) {
        if (panelModeEnabled())
            slot = std::make_shared<RealCommandRunner>();
        else
            slot = std::make_shared<DryRunCommandRunner>();
    }
    return *slot;
}

std::shared_ptr<CommandRunner> setCommandRunner(std::shared_ptr<CommandRunner> runner)
{
    QMutexLocker lock(&gRunnerMutex);
    auto previous = runnerSlot();
    runnerSlot() = std::move(runner);
    return previous;
}
