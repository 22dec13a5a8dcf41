#include "commandrunner.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <glog/logging.h>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

QString signalName(int signal)
{
    switch (signal) {
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGKILL: return QStringLiteral("SIGKILL");
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGHUP: return QStringLiteral("SIGHUP");
    case SIGSEGV: return QStringLiteral("SIGSEGV");
    case SIGABRT: return QStringLiteral("SIGABRT");
    case SIGBUS: return QStringLiteral("SIGBUS");
    case SIGPIPE: return QStringLiteral("SIGPIPE");
    default: return QString();
    }
}

// A real program, never through a shell.
class ProcessCommand : public RunningCommand {
public:
    ProcessCommand(const QString& program, const QString& executable, const QStringList& args,
                   const StartOptions& options, QObject* parent)
        : RunningCommand(program, 0, parent), process_(new QProcess(this)),
          captured_(options.output == StartOptions::Output::Captured)
    {
        if (captured_) {
            process_->setProcessChannelMode(QProcess::MergedChannels);
            connect(process_, &QProcess::readyReadStandardOutput, this,
                    [this] { emit output(process_->readAllStandardOutput()); });
        } else {
            // The child writes to our own descriptors: nothing piles up here.
            process_->setProcessChannelMode(QProcess::ForwardedChannels);
        }
        if (!options.directory.isEmpty())
            process_->setWorkingDirectory(options.directory);
        // Runs in the child between fork and exec: only async-signal-safe
        // calls.  The parent-death signal follows the forking thread; if we
        // died before it was set, the child is already orphaned and ends.
        const pid_t parentPid = ::getpid();
        process_->setChildProcessModifier([parentPid] {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parentPid)
                ::raise(SIGTERM);
        });
        connect(process_, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
                [this](int code, QProcess::ExitStatus status) {
                    if (captured_) {
                        const QByteArray rest = process_->readAllStandardOutput();
                        if (!rest.isEmpty())
                            emit output(rest);
                    }
                    // On a crash exit QProcess gives the signal as the code.
                    if (status == QProcess::NormalExit)
                        reportEnd(code, 0);
                    else
                        reportEnd(-1, code > 0 ? code : SIGKILL);
                });
        // Queued: a program that is not there fails inside start(), before
        // the caller could connect to us.
        connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                LOG(WARNING) << "could not start " << process_->program().toStdString() << ": "
                             << process_->errorString().toStdString();
                // What was forked never became the program (and is reaped).
                setPid(0);
                reportEnd(-1, 0);
            }
        }, Qt::QueuedConnection);
        process_->start(executable, args);
        setPid(process_->processId());
    }
    ~ProcessCommand() override
    {
        // The owner is going away: nobody to tell, but the end is still
        // logged and the child reaped.
        blockSignals(true);
        if (running()) {
            process_->kill();
            process_->waitForFinished(1000);
        }
    }
    bool running() const override { return process_->state() != QProcess::NotRunning; }

protected:
    // QProcess signals only a child it has not reaped yet, so a pid that was
    // reused by now is never hit.
    void sendSignal(int signal) override
    {
        if (signal == SIGKILL)
            process_->kill();
        else if (signal == SIGTERM)
            process_->terminate();
    }

public:
    bool waitForEnd(int ms) override
    {
        if (running())
            process_->waitForFinished(ms);
        return !running();
    }

private:
    QProcess* process_;
    bool captured_;
};

// A program that only "runs" until someone delivers its end.
class ScriptedCommand : public RunningCommand {
public:
    ScriptedCommand(const QString& program, qint64 pid, QObject* parent) : RunningCommand(program, pid, parent) {}
    bool running() const override { return !hasEnded(); }
    bool waitForEnd(int) override { return hasEnded(); }

protected:
    void sendSignal(int) override {}
};

}  // namespace

// ---------------------------------------------------------------- handle
RunningCommand::RunningCommand(const QString& program, qint64 pid, QObject* parent)
    : QObject(parent), program_(program), pid_(pid)
{
}

void RunningCommand::terminate()
{
    if (!running())
        return;
    emit signalSent(SIGTERM);
    sendSignal(SIGTERM);
}

void RunningCommand::kill()
{
    if (!running())
        return;
    emit signalSent(SIGKILL);
    sendSignal(SIGKILL);
}

void RunningCommand::terminateAndWait(int graceMs)
{
    terminate();
    if (waitForEnd(graceMs))
        return;
    kill();
    waitForEnd(2000);
}

QString RunningCommand::endText() const
{
    if (!ended_)
        return QStringLiteral("running");
    if (exitSignal_ == 0)
        return QStringLiteral("exit code %1").arg(exitCode_);
    const QString name = signalName(exitSignal_);
    return name.isEmpty() ? QStringLiteral("signal %1").arg(exitSignal_)
                          : QStringLiteral("signal %1 (%2)").arg(exitSignal_).arg(name);
}

void RunningCommand::reportEnd(int exitCode, int signal)
{
    if (ended_)
        return;
    ended_ = true;
    exitCode_ = signal == 0 ? exitCode : -1;
    exitSignal_ = signal;
    if (pid_ != 0)
        LOG(INFO) << program_.toStdString() << " (pid " << pid_ << ") ended: " << endText().toStdString();
    emit finished(exitCode_);
}

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

RunningCommand* RealCommandRunner::start(const QString& program, const QStringList& args,
                                         const StartOptions& options, QObject* parent)
{
    return new ProcessCommand(program, program, args, options, parent);
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

bool DryRunCommandRunner::startsForReal(const QString& program, const QStringList& args)
{
    if (ownPrograms().contains(program))
        return true;
    // The user named this program to stand in for the relay.
    const QString relay = qEnvironmentVariable("MOULDMON_RELAY");
    return !relay.isEmpty() && program == relay && args.isEmpty();
}

RunningCommand* DryRunCommandRunner::start(const QString& program, const QStringList& args,
                                           const StartOptions& options, QObject* parent)
{
    if (startsForReal(program, args))
        return new ProcessCommand(program, program, args, options, parent);
    logRefused(CommandCall{program, args, true, options.directory}, "started");
    auto* command = new ScriptedCommand(program, 0, parent);
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

struct RecordingCommandRunner::SignalLog {
    QMutex mutex;
    std::vector<QList<int>> perStart;
};

RecordingCommandRunner::RecordingCommandRunner() : signals_(std::make_shared<SignalLog>()) {}
RecordingCommandRunner::~RecordingCommandRunner() = default;

RunningCommand* RecordingCommandRunner::start(const QString& program, const QStringList& args,
                                              const StartOptions& options, QObject* parent)
{
    QMutexLocker lock(&mutex_);
    calls_.push_back({program, args, true, options.directory,
                      options.output == StartOptions::Output::Forwarded});
    RunningCommand* command = nullptr;
    for (const auto& p : passThrough_)
        if (!command && p.first == program)
            command = new ProcessCommand(program, p.second, args, options, parent);
    if (!command)
        command = new ScriptedCommand(program, nextFakePid_++, parent);
    started_ << QPointer<RunningCommand>(command);
    // Kept beside the program object, which the code under test may delete.
    std::size_t index;
    {
        QMutexLocker logLock(&signals_->mutex);
        index = signals_->perStart.size();
        signals_->perStart.emplace_back();
    }
    QObject::connect(command, &RunningCommand::signalSent, command, [log = signals_, index](int signal) {
        QMutexLocker logLock(&log->mutex);
        log->perStart[index] << signal;
    });
    return command;
}

QList<int> RecordingCommandRunner::signalsSent(int index) const
{
    QMutexLocker logLock(&signals_->mutex);
    if (index < 0 || std::size_t(index) >= signals_->perStart.size())
        return {};
    return signals_->perStart[std::size_t(index)];
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
