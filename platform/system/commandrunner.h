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
    bool isReal() const override { return true; }
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
};

class DryRunCommandRunner : public CommandRunner {
public:
    bool startDetached(const QString& program, const QStringList& args) override;
protected:
    CommandResult execute(const QString& program, const QStringList& args, int timeoutMs) override;
};

class RecordingCommandRunner : public CommandRunner {
public:
    using Script = std::function<CommandResult(const CommandCall&)>;
    bool startDetached(const QString& program, const QStringList& args) override;
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
};

// True when this build may touch the real machine and the run-time switch
// MOULDMON_PANEL=1 is set.
bool panelModeEnabled();

// The process-wide runner.  Defaults to the dry run unless panelModeEnabled().
CommandRunner& commandRunner();
// Replaces the process-wide runner (tests, demo).  Returns the previous one.
std::shared_ptr<CommandRunner> setCommandRunner(std::shared_ptr<CommandRunner> runner);
