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
//  - RecordingCommandRunner: for tests; records every call and answers from
//    a script.
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

struct CommandResult {
    int exitCode = 0;       // -1 when the program could not be started or timed out
    QByteArray output;      // standard output
    QByteArray errorOutput; // standard error
    bool started = true;
    bool ok() const { return started && exitCode == 0; }
};

struct CommandCall {
    QString program;
    QStringList args;
    bool detached = false;
    QString line() const;   // "program arg1 arg2", for logs and test comparisons
};

// A program started without waiting (CommandRunner::start).  Its standard
// output and standard error, merged, are handed over as they come, in
// pieces that may split a line anywhere; `finished` comes once, after the
// last piece.  Lives on the thread that started it; deleting it kills a
// program still running.
class RunningCommand : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Whether the program is still running (or, scripted, not yet finished).
    virtual bool running() const = 0;

    // For fakes and scripts: hands a piece of output or the end over as a
    // real program would.
    void deliverOutput(const QByteArray& chunk) { emit output(chunk); }
    void deliverFinished(int exitCode) { emit finished(exitCode); }

signals:
    void output(const QByteArray& chunk);
    // Exit code of a normal exit; -1 when it could not start or crashed.
    void finished(int exitCode);
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
    // Starts in the working directory and returns at once; the output comes
    // through the returned object (owned by parent).  Never null: a program
    // that cannot start reports finished(-1) from the event loop.
    virtual RunningCommand* start(const QString& program, const QStringList& args, QObject* parent) = 0;
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
    bool startDetached(const QString& program, const QStringList& args) override;
    RunningCommand* start(const QString& program, const QStringList& args, QObject* parent) override;
    bool isReal() const override { return true; }
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
};

class DryRunCommandRunner : public CommandRunner {
public:
    bool startDetached(const QString& program, const QStringList& args) override;
    // Our own programs that only write into the program directory
    // (ownPrograms()) are started for real; anything else is logged and
    // "finishes" at once with exit code 0 and no output.
    RunningCommand* start(const QString& program, const QStringList& args, QObject* parent) override;
    static QStringList ownPrograms();
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
};

class RecordingCommandRunner : public CommandRunner {
public:
    using Script = std::function<CommandResult(const CommandCall&)>;
    bool startDetached(const QString& program, const QStringList& args) override;
    // Records the call (detached = true) and returns a program that does
    // nothing until the test delivers output and the end through it
    // (started()), unless the program was passed through.
    RunningCommand* start(const QString& program, const QStringList& args, QObject* parent) override;
    // start() runs this program for real, as `executable` (tests run a built tool).
    void passThroughStart(const QString& program, const QString& executable);
    // The programs start() gave out, oldest first (null once deleted).
    QList<QPointer<RunningCommand>> started() const;
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
};

// True when this build may touch the real machine and the run-time switch
// MOULDMON_PANEL=1 is set.
bool panelModeEnabled();

// The process-wide runner.  Defaults to the dry run unless panelModeEnabled().
CommandRunner& commandRunner();
// Replaces the process-wide runner (tests, demo).  Returns the previous one.
std::shared_ptr<CommandRunner> setCommandRunner(std::shared_ptr<CommandRunner> runner);
