#include "commandrunner.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <glog/logging.h>

namespace {

// A real program: merged output handed over as it is read.
class ProcessCommand : public RunningCommand {
public:
    ProcessCommand(const QString& program, const QStringList& args, QObject* parent)
        : RunningCommand(parent), process_(new QProcess(this))
    {
        process_->setProcessChannelMode(QProcess::MergedChannels);
        connect(process_, &QProcess::readyReadStandardOutput, this,
                [this] { emit output(process_->readAllStandardOutput()); });
        connect(process_, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
                [this](int code, QProcess::ExitStatus status) {
                    const QByteArray rest = process_->readAllStandardOutput();
                    if (!rest.isEmpty())
                        emit output(rest);
                    emit finished(status == QProcess::NormalExit ? code : -1);
                });
        // Queued: a program that is not there fails inside start(), before
        // the caller could connect to us.
        connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                LOG(WARNING) << "could not start " << process_->program().toStdString() << ": "
                             << process_->errorString().toStdString();
                emit finished(-1);
            }
        }, Qt::QueuedConnection);
        process_->start(program, args);
    }
    ~ProcessCommand() override
    {
        if (process_->state() != QProcess::NotRunning) {
            process_->kill();
            process_->waitForFinished(1000);
        }
    }
    bool running() const override { return process_->state() != QProcess::NotRunning; }

private:
    QProcess* process_;
};

// A program that only "runs" until someone delivers its end.
class ScriptedCommand : public RunningCommand {
public:
    explicit ScriptedCommand(QObject* parent) : RunningCommand(parent)
    {
        connect(this, &RunningCommand::finished, this, [this] { running_ = false; });
    }
    bool running() const override { return running_; }

private:
    bool running_ = true;
};

}  // namespace

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

RunningCommand* RealCommandRunner::start(const QString& program, const QStringList& args, QObject* parent)
{
    return new ProcessCommand(program, args, parent);
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

QStringList DryRunCommandRunner::ownPrograms()
{
    // The cycle-time export program: ours, and it writes only into the
    // program directory, so the demo's exports really produce a file.
    return {QStringLiteral("./cnt_net/xls")};
}

RunningCommand* DryRunCommandRunner::start(const QString& program, const QStringList& args, QObject* parent)
{
    if (ownPrograms().contains(program))
        return new ProcessCommand(program, args, parent);
    logRefused(CommandCall{program, args, true}, "started");
    auto* command = new ScriptedCommand(parent);
    QMetaObject::invokeMethod(command, [command] { command->deliverFinished(0); }, Qt::QueuedConnection);
    return command;
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

RunningCommand* RecordingCommandRunner::start(const QString& program, const QStringList& args, QObject* parent)
{
    QMutexLocker lock(&mutex_);
    calls_.push_back({program, args, true});
    RunningCommand* command = nullptr;
    for (const auto& p : passThrough_)
        if (p.first == program)
            command = new ProcessCommand(p.second, args, parent);
    if (!command)
        command = new ScriptedCommand(parent);
    started_ << QPointer<RunningCommand>(command);
    return command;
}

void RecordingCommandRunner::passThroughStart(const QString& program, const QString& executable)
{
    QMutexLocker lock(&mutex_);
    passThrough_.emplace_back(program, executable);
}

QList<QPointer<RunningCommand>> RecordingCommandRunner::started() const
{
    QMutexLocker lock(&mutex_);
    return started_;
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
