#include "relayprocess.h"

#include "clock.h"
#include "commandrunner.h"
#include "cycletimer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <glog/logging.h>

#include <algorithm>

RelayCommand RelayProcess::relayCommand(bool panel, const QString& programDir, const QString& relayEnv)
{
    RelayCommand command;
    command.directory = programDir;
    if (panel) {
        const QString script = QDir(programDir).filePath(QStringLiteral("cnt_net/runNetClient.py"));
        if (QFileInfo(script).isFile()) {
            command.program = QStringLiteral("python3");
            command.args = QStringList{script};
        } else {
            command.whyNone = QStringLiteral("relay not started: %1 is missing").arg(script);
        }
        return command;
    }
    if (relayEnv.isEmpty())
        command.whyNone = QStringLiteral("relay not started off the panel");
    else
        command.program = relayEnv;
    return command;
}

RelayCommand RelayProcess::currentCommand()
{
    return relayCommand(panelModeEnabled(), QDir::currentPath(), qEnvironmentVariable("MOULDMON_RELAY"));
}

RelayProcess::RelayProcess(CycleTimerFactory& timers, CommandSource source, Options options, QObject* parent)
    : QObject(parent), timers_(timers), source_(std::move(source)), options_(options),
      gapTimer_(timers.create([this] { startNow(); }, true))
{
}

RelayProcess::RelayProcess(CycleTimerFactory& timers, const RelayCommand& command, Options options, QObject* parent)
    : RelayProcess(timers, [command] { return command; }, options, parent)
{
}

RelayProcess::~RelayProcess()
{
    gapTimer_->stop();
    std::vector<RunningCommand*> children;
    if (current_)
        children.push_back(current_);
    for (const auto& e : ending_) {
        e->killTimer->stop();
        if (e->child)
            children.push_back(e->child);
    }
    // Their ends are logged by the children themselves; nothing of ours
    // may run while we are half gone.
    for (RunningCommand* child : children)
        disconnect(child, nullptr, this, nullptr);
    if (current_) {
        LOG(INFO) << "relay (pid " << current_->pid() << ") stopped with the link";
        current_->terminate();
    }
    const QDeadlineTimer grace(options_.stopGraceMs);
    for (RunningCommand* child : children)
        child->waitForEnd(int(std::max<qint64>(0, grace.remainingTime())));
    for (RunningCommand* child : children) {
        if (child->running()) {
            LOG(WARNING) << "relay (pid " << child->pid() << ") ignored SIGTERM, SIGKILL";
            child->kill();
            child->waitForEnd(2000);
        }
    }
}

void RelayProcess::restart()
{
    // One start serves every request made while it waits.
    if (pending_)
        return;
    const qint64 now = appClock().monotonicMs();
    const qint64 sinceLast = now - lastStartMs_;
    if (starts_ > 0 && sinceLast < options_.minStartGapMs) {
        const int wait = int(options_.minStartGapMs - sinceLast);
        LOG(INFO) << "relay restart in " << wait << " ms (starts are " << options_.minStartGapMs << " ms apart)";
        pending_ = true;
        gapTimer_->start(wait);
        return;
    }
    startNow();
}

void RelayProcess::startNow()
{
    pending_ = false;
    const RelayCommand command = source_();
    if (command.isNone()) {
        LOG(INFO) << command.whyNone.toStdString();
        return;
    }
    retireCurrent();
    StartOptions start;
    start.directory = command.directory;
    start.output = StartOptions::Output::Forwarded;
    RunningCommand* child = commandRunner().start(command.program, command.args, start, this);
    current_ = child;
    lastStartMs_ = appClock().monotonicMs();
    ++starts_;
    connect(child, &RunningCommand::finished, this, [this, child] { childEnded(child); });
    LOG(INFO) << "relay started: " << CommandCall{command.program, command.args}.line().toStdString()
              << " in " << command.directory.toStdString() << " (pid " << child->pid() << ")";
}

void RelayProcess::retireCurrent()
{
    if (!current_)
        return;
    RunningCommand* child = current_;
    current_ = nullptr;
    LOG(INFO) << "relay (pid " << child->pid() << ") ends for a restart: SIGTERM";
    child->terminate();
    auto ending = std::make_unique<Ending>();
    ending->child = child;
    ending->killTimer = timers_.create([this, child = QPointer<RunningCommand>(child)] {
        if (child && child->running()) {
            LOG(WARNING) << "relay (pid " << child->pid() << ") still running " << options_.killAfterMs
                         << " ms after SIGTERM: SIGKILL";
            child->kill();
        }
    }, true);
    ending->killTimer->start(options_.killAfterMs);
    ending_.push_back(std::move(ending));
}

void RelayProcess::childEnded(RunningCommand* child)
{
    // The child logged its end (pid, exit code or signal) and is reaped.
    if (child == current_) {
        current_ = nullptr;
        LOG(WARNING) << "relay (pid " << child->pid() << ") ended by itself; it starts again when the link asks";
    }
    ending_.erase(std::remove_if(ending_.begin(), ending_.end(),
                                 [child](const std::unique_ptr<Ending>& e) { return e->child == child; }),
                  ending_.end());
    child->deleteLater();
}

bool RelayProcess::running() const
{
    return current_ && current_->running();
}

qint64 RelayProcess::pid() const
{
    return running() ? current_->pid() : 0;
}
