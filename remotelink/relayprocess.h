#pragma once
// The relay as a child process the monitor owns: at most one runs, starts
// are spaced, the previous one is ended before the next starts, and every
// child is reaped and its end logged.
//
// Children are started through commandRunner() with their output forwarded
// to ours.  They get SIGTERM when the thread that started them ends, so keep
// this object on a thread that lives as long as the link.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class CycleTimer;
class CycleTimerFactory;
class RunningCommand;

// What to start: an empty program means nothing is started, and whyNone
// says why (logged at each restart).
struct RelayCommand {
    QString program;
    QStringList args;
    QString directory;
    QString whyNone;
    bool isNone() const { return program.isEmpty(); }
};

struct RelayProcessOptions {
    int minStartGapMs = 5000;   // starts at least this far apart
    int killAfterMs = 5000;     // SIGKILL for a previous child still running
    int stopGraceMs = 1000;     // teardown: time a child has to obey SIGTERM
};

class RelayProcess : public QObject {
    Q_OBJECT
public:
    using Options = RelayProcessOptions;
    // Asked at every start, so a relay script that appears or goes away
    // later is noticed as it was when started through the shell.
    using CommandSource = std::function<RelayCommand()>;

    // The command for this run: on the panel the python relay script in the
    // program directory when it exists; off the panel only the program named
    // by relayEnv (MOULDMON_RELAY), without arguments, else nothing.  The
    // program directory is the working directory either way.
    static RelayCommand relayCommand(bool panel, const QString& programDir, const QString& relayEnv);
    // relayCommand() for this process: panelModeEnabled(), the current
    // directory and MOULDMON_RELAY.
    static RelayCommand currentCommand();

    // timers drive the spacing and the kill; source gives what restart() starts.
    RelayProcess(CycleTimerFactory& timers, CommandSource source, Options options, QObject* parent = nullptr);
    RelayProcess(CycleTimerFactory& timers, const RelayCommand& command, Options options = {},
                 QObject* parent = nullptr);
    // Ends every child: SIGTERM, stopGraceMs to obey, then SIGKILL; all are
    // reaped before it returns (it blocks that long).
    ~RelayProcess() override;

    // Ends the previous child (SIGTERM, SIGKILL killAfterMs later if it still
    // runs) and starts a new one at once, or, inside minStartGapMs of the
    // last start, when that runs out; requests made meanwhile give that one
    // start.  A relay that ends by itself is not started again until asked.
    void restart();

    bool running() const;
    // Process id of the current child, 0 when none runs.
    qint64 pid() const;
    // Starts made so far.
    int starts() const { return starts_; }
    // A restart waits for the spacing to run out.
    bool startPending() const { return pending_; }
    // Previous children told to end and not reaped yet.
    int endingChildren() const { return int(ending_.size()); }

private:
    struct Ending {
        QPointer<RunningCommand> child;
        std::unique_ptr<CycleTimer> killTimer;
    };

    void startNow();
    void retireCurrent();
    void childEnded(RunningCommand* child);

    CycleTimerFactory& timers_;
    CommandSource source_;
    Options options_;
    std::unique_ptr<CycleTimer> gapTimer_;
    QPointer<RunningCommand> current_;
    std::vector<std::unique_ptr<Ending>> ending_;
    qint64 lastStartMs_ = 0;
    int starts_ = 0;
    bool pending_ = false;
};
