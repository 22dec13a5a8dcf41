#pragma once
// The single way this program runs a shell command or an outside program.
//
// Commands are given as a program and an argument list; nothing is ever
// passed through a shell, so no data can be read as shell syntax.
//
// Three runners exist:
//  - RealCommandRunner: runs the command.  Only chosen when the build was
//    configured for the panel (MM_PANEL_BUILD) AND the environment says
//    MOULDMON_PANEL=1.
//  - DryRunCommandRunner: the default everywhere else.  Logs every command
//    to glog as a warning and executes none (not even reads such as ping,
//    which would send traffic); every command "succeeds" with no output.
//    Only start() lets a few programs of our own through (startsForReal).
//  - RecordingCommandRunner: for tests; records every call and answers from
//    a script.
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct CommandResult {
    int exitCode = 0;       // -1 when the program could not be started or timed out
    QByteArray output;      // standard output
    QByteArray errorOutput; // standard error
    bool started = true;
    bool ok() const { return started && exitCode == 0; }
};

struct CommandCall {
    CommandCall() = default;
    CommandCall(QString program_, QStringList args_, bool detached_ = false, QString directory_ = {},
                bool forwarded_ = false)
        : program(std::move(program_)), args(std::move(args_)), detached(detached_),
          directory(std::move(directory_)), forwarded(forwarded_)
    {
    }
    QString program;
    QStringList args;
    bool detached = false;
    QString directory;      // working directory of a start(); empty: the current one
    bool forwarded = false; // a start() whose output goes to our own output
    QString line() const;   // "program arg1 arg2", for logs and test comparisons
};

// How CommandRunner::start runs a program.
struct StartOptions {
    // Working directory; empty: the current one.
    QString directory;
    // Captured: standard output and standard error, merged, come through
    // RunningCommand::output.  Forwarded: they go straight to this program's
    // own standard output and standard error, nothing is kept in between, and
    // output() never fires (a long-running child whose output nobody reads).
    enum class Output { Captured, Forwarded };
    Output output = Output::Captured;
};

// A program started without waiting (CommandRunner::start), owned by its
// parent object.  Captured output is handed over as it comes, in pieces that
// may split a line anywhere; `finished` comes once, after the last piece,
// and the end is logged with the process id and the exit code or signal.
// Lives on the thread that started it; deleting it kills a program still
// running and reaps it.
//
// A real child gets SIGTERM when the thread that started it ends (and so
// when this program dies), so no child outlives us: start children from a
// thread that lives as long as they should.
class RunningCommand : public QObject {
    Q_OBJECT
public:
    RunningCommand(const QString& program, qint64 pid, QObject* parent);
    const QString& program() const { return program_; }
    // Whether the program is still running (or, scripted, not yet finished).
    virtual bool running() const = 0;
    bool isRunning() const { return running(); }
    // Process id; 0 when it never started.  Kept after the end (for logs),
    // but only terminate()/kill() may signal it: they know whether it has
    // been reaped, a bare pid does not.  Made up for scripted programs.
    qint64 pid() const { return pid_; }
    // SIGTERM / SIGKILL while running; nothing once it ended.  Every signal
    // sent is reported through signalSent (the recording runner keeps them).
    void terminate();
    void kill();
    // For teardown only, as they block.  waitForEnd: up to ms for the end
    // (which is then reported before it returns); true when it ended.
    // terminateAndWait: SIGTERM, up to graceMs for the end, then SIGKILL,
    // and the child is reaped.  A scripted program cannot end while we
    // block, so it gets both signals.
    virtual bool waitForEnd(int ms) = 0;
    void terminateAndWait(int graceMs);

    bool hasEnded() const { return ended_; }
    // After the end: the exit code of a normal exit, else -1.
    int exitCode() const { return exitCode_; }
    // After the end: the signal that ended it, 0 for a normal exit.
    int exitSignal() const { return exitSignal_; }
    // "exit code 3", "signal 15 (SIGTERM)", "running".
    QString endText() const;

    // For fakes and scripts: hands a piece of output or the end over as a
    // real program would.
    void deliverOutput(const QByteArray& chunk) { emit output(chunk); }
    void deliverFinished(int exitCode) { reportEnd(exitCode, 0); }
    void deliverSignalled(int signal) { reportEnd(-1, signal); }

signals:
    void output(const QByteArray& chunk);
    // Exit code of a normal exit; -1 when it could not start or was ended by
    // a signal (exitSignal() says which).
    void finished(int exitCode);
    // A signal terminate()/kill() sent.
    void signalSent(int signal);

protected:
    // Sends the signal to a child that is still ours (not yet reaped).
    virtual void sendSignal(int signal) = 0;
    // Records the end, logs it (real and scripted children with a pid) and
    // emits finished; only the first call counts.
    void reportEnd(int exitCode, int signal);
    void setPid(qint64 pid) { pid_ = pid; }

private:
    QString program_;
    qint64 pid_ = 0;
    bool ended_ = false;
    int exitCode_ = -1;
    int exitSignal_ = 0;
};

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Runs and waits at most timeoutMs; a command still running then is killed.
    CommandResult run(const QString& program, const QStringList& args, int timeoutMs = 30000)
    {
        return execute(program, args, timeoutMs);
    }
    // Starts and returns at once (the program outlives the call).
    virtual bool startDetached(const QString& program, const QStringList& args) = 0;
    // Starts and returns at once; the program is owned through the returned
    // object (owned by parent), which reports its output and its end.  Never
    // null: a program that cannot start reports finished(-1) from the event
    // loop.  Never through a shell.
    virtual RunningCommand* start(const QString& program, const QStringList& args,
                                  const StartOptions& options, QObject* parent) = 0;
    // The same in the current directory with the output captured.
    RunningCommand* start(const QString& program, const QStringList& args, QObject* parent)
    {
        return start(program, args, StartOptions{}, parent);
    }
    // True when commands really change the machine.
    virtual bool isReal() const { return false; }

    // Whether a command could change the machine (power, clock, disks, /etc,
    // network, deleting or overwriting files).  Used by the dry run.
    static bool isDestructive(const QString& program, const QStringList& args);

protected:
    virtual CommandResult execute(const QString& program, const QStringList& args,
                                  int timeoutMs) = 0;
};

class RealCommandRunner : public CommandRunner {
public:
    using CommandRunner::start;
    bool startDetached(const QString& program, const QStringList& args) override;
    RunningCommand* start(const QString& program, const QStringList& args, const StartOptions& options,
                          QObject* parent) override;
    bool isReal() const override { return true; }
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
};

class DryRunCommandRunner : public CommandRunner {
public:
    using CommandRunner::start;
    bool startDetached(const QString& program, const QStringList& args) override;
    // Only startsForReal() programs are started for real; anything else is
    // logged and "finishes" at once with exit code 0 and no output.
    RunningCommand* start(const QString& program, const QStringList& args, const StartOptions& options,
                          QObject* parent) override;
    // Our own programs that only write into the program directory.
    static QStringList ownPrograms();
    // An own program, or the relay the user named in MOULDMON_RELAY (which
    // the relay is started as, without arguments).
    static bool startsForReal(const QString& program, const QStringList& args);
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
};

class RecordingCommandRunner : public CommandRunner {
public:
    RecordingCommandRunner();
    ~RecordingCommandRunner() override;
    using Script = std::function<CommandResult(const CommandCall&)>;
    using CommandRunner::start;
    bool startDetached(const QString& program, const QStringList& args) override;
    // Records the call (detached = true) and returns a program that does
    // nothing until the test delivers output and the end through it
    // (started()), unless the program was passed through.  Scripted programs
    // get made-up process ids; terminate() and kill() only record.
    RunningCommand* start(const QString& program, const QStringList& args, const StartOptions& options,
                          QObject* parent) override;
    // start() runs this program for real, as `executable` (tests run a built tool).
    void passThroughStart(const QString& program, const QString& executable);
    // The programs start() gave out, oldest first (null once deleted).
    QList<QPointer<RunningCommand>> started() const;
    // The signals sent to the index-th started program, in order; kept after
    // the program object is gone.
    QList<int> signalsSent(int index) const;
    // Answer for a program name (the first matching rule wins); the default
    // answer is exit code 0 with no output.
    void answer(const QString& program, const CommandResult& result);
    void setScript(Script script);
    std::vector<CommandCall> calls() const;
    QStringList lines() const;
    void clear();
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
private:
    mutable QMutex mutex_;
    std::vector<CommandCall> calls_;
    std::vector<std::pair<QString, CommandResult>> answers_;
    Script script_;
    std::vector<std::pair<QString, QString>> passThrough_;
    QList<QPointer<RunningCommand>> started_;
    struct SignalLog;
    std::shared_ptr<SignalLog> signals_;
    qint64 nextFakePid_ = 90001;
};

// True when this build may touch the real machine and the run-time switch
// MOULDMON_PANEL=1 is set.
bool panelModeEnabled();

// The process-wide runner.  Defaults to the dry run unless panelModeEnabled().
CommandRunner& commandRunner();
// Replaces the process-wide runner (tests, demo).  Returns the previous one.
std::shared_ptr<CommandRunner> setCommandRunner(std::shared_ptr<CommandRunner> runner);
