#pragma once
// A stand-in for the machine's serial I/O board, on a pseudo-terminal.
//
// The simulator owns a pty master and answers the board protocol on it:
//   request, host to board:  5F cmd lo hi ck F5        ck = sum of bytes 0..3
//   reply,   board to host:  5F type d0 d1 d2 d3 ck F5 ck = sum of bytes 0..5
// Command 2 (poll) gets a type-2 reply with the inputs (d0 = bits 0..7,
// d1 = bits 8..9) and the echo of the applied outputs (d2 = bits 0..7,
// d3 = bit 8); command 1 applies its value as the output word and gets no
// reply; commands 3 and 4 get replies of type 3 and 4 carrying a 32-bit
// little-endian value.  Requests are decoded here with code of its own, so
// a fault in the product's codec cannot hide behind a shared one.  Bytes
// that do not form a request are skipped: a 0x5F that does not start a
// valid frame costs one byte and the scan goes on with the next.
//
// The monitor opens the slave side (slavePath(), or the symlink kept at
// Options::linkPath).  The simulator holds a slave descriptor of its own so
// the master never reads EIO while the monitor is away, and it never touches
// the slave's termios: the monitor must put its port into raw mode itself.
//
// Threads: start() runs one thread that reads requests and writes replies.
// Every public method may be called from any thread.  Hooks are called on
// the simulator's thread with no lock held; they may call the setters and
// connect()/disconnect()/reconnect(), but not stop().
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class BoardSimulator {
public:
    using Clock = std::chrono::steady_clock;   // CLOCK_MONOTONIC on Linux

    static constexpr int kInputCount = 10;    // inputs 0..9
    static constexpr int kOutputCount = 9;    // outputs 0..8
    static constexpr int kInputMask = 0x3FF;
    static constexpr int kOutputMask = 0x1FF;

    enum Command {
        CmdSetOutputs = 1,
        CmdPollInputs = 2,
        CmdReadValue1 = 3,
        CmdReadValue2 = 4,
    };

    // What the board does with its replies.  Requests are read, decoded,
    // counted and applied under every fault; only what is sent back changes.
    enum class Fault {
        None,            // answers as the board does
        Silence,         // reads, never answers
        Garbage,         // bytes that never form a valid frame instead of each reply
        GarbageBefore,   // noise and a damaged frame start before each good reply
        ShortFrames,     // each reply cut after 5 of its 8 bytes
        BadChecksum,     // each reply whole, its checksum off by one
    };

    struct Options {
        QString linkPath;        // symlink kept aimed at the current slave; empty: none
        bool pacing = false;     // write replies at 86.8 us per byte (115200 8N1)
    };

    struct LogEntry {
        enum Kind {
            Request,        // command, value: the decoded request
            OutputChange,   // previous -> value: the applied output word
            InputChange,    // previous -> value: the input word
            FaultChange,    // value: int(Fault)
            Connection,     // text: the new slave path, or "disconnected"
        };
        Clock::time_point at;
        Kind kind = Request;
        int command = 0;
        int value = 0;
        int previous = 0;
        QString text;
    };

    // Passed to the output hook: the word applied and when the set-outputs
    // frame carrying it was read from the pty.
    struct OutputChange {
        int previous = 0;
        int outputs = 0;
        Clock::time_point readAt;
    };

    BoardSimulator();
    explicit BoardSimulator(Options options);
    ~BoardSimulator();
    BoardSimulator(const BoardSimulator&) = delete;
    BoardSimulator& operator=(const BoardSimulator&) = delete;

    // Opens the pty (and the symlink) and starts answering; false with
    // error() when the pty could not be made.
    bool start();
    // Stops the thread, closes the pty and removes the symlink.  Idempotent.
    void stop();
    bool isRunning() const;
    QString error() const;

    // The slave device of the current pty ("/dev/pts/N"); empty while
    // disconnected.  linkPath() is the symlink from the options.
    QString slavePath() const;
    QString linkPath() const;
    // Number of ptys opened so far (1 after start(), +1 per reconnection).
    int connectionCount() const;

    // Inputs (bits 0..9).  Out-of-range indexes are ignored.
    void setInput(int index, bool level);
    void setInputWord(int word);
    int inputWord() const;
    // Drives input index to level for ms milliseconds, then back to the
    // opposite level.
    void pulseInput(int index, int ms, bool level = true);

    // The output word the board applies (bits 0..8), 0 at start.
    int outputs() const;
    bool output(int index) const;
    // Waits until pred(outputs()) holds; false on time-out.  pred runs
    // under the simulator's lock and must not call back into it.
    bool waitForOutputs(const std::function<bool(int)>& pred, int timeoutMs) const;
    bool waitForOutputWord(int word, int timeoutMs) const;

    // Requests decoded so far, per command code (0..255); reset by clearCounts().
    int requestCount(int command) const;
    bool waitForRequests(int command, int count, int timeoutMs) const;
    // Bytes skipped while looking for requests (garbage, damaged frames).
    int skippedBytes() const;
    void clearCounts();

    // Faults, switchable while running.
    void setFault(Fault fault);
    Fault fault() const;
    // Closes the pty (the monitor's slave sees a hang-up) and removes the
    // symlink.  connect() opens a new pty and aims the symlink at it.
    void disconnect();
    bool connect();
    // A new pty in place of the current one.  With downMs 0 the new pty is
    // opened before the old one is closed, so its number always differs;
    // otherwise the device is gone for downMs.  The symlink follows.
    bool reconnect(int downMs = 0);

    void setPacing(bool on);
    // The value carried by the replies to commands 3 and 4.
    void setValueReply(int command, quint32 value);

    // Log of every request, output change, input change, fault change and
    // connection, oldest first (the oldest are dropped past kLogLimit).
    static constexpr size_t kLogLimit = 100000;
    std::vector<LogEntry> log() const;
    void clearLog();
    static QString describe(const LogEntry& e, Clock::time_point origin);
    Clock::time_point startedAt() const;

    // Called on the simulator's thread after each change of the applied
    // outputs, with the time the frame was read.  For benchmarks and for a
    // machine model that reacts to the outputs.
    void setOutputHook(std::function<void(const OutputChange&)> hook);
    // Called on the simulator's thread every periodMs (0: never), for a
    // machine model that moves the inputs over time.
    void setTickHook(int periodMs, std::function<void(BoardSimulator&)> hook);

    // Names of the outputs ("NotAllowClose", ..., "Output9"), bit 0..8.
    static QString outputName(int index);
    static QString faultName(Fault fault);
    // "none", "silence", "garbage", "garbage-before", "short", "checksum";
    // false when the name is unknown.
    static bool faultFromName(const QString& name, Fault* fault);

private:
    struct Pulse {
        int index;
        bool level;
        Clock::time_point until;
    };

    void run();
    bool onThread() const { return std::this_thread::get_id() == threadId_.load(); }
    void wake();
    void runOnThread(const std::function<void()>& task);
    bool openPty(int* master, int* slave, QString* path);
    bool openCurrent();
    void closeCurrent();
    bool aimLink(const QString& target);
    void removeLink();
    void handleBytes(const unsigned char* data, size_t n, Clock::time_point readAt);
    void handleRequest(int command, int value, Clock::time_point readAt);
    quint8 noiseByte(bool allowStart);
    QByteArray applyFault(const QByteArray& reply, Fault fault);
    void send(const QByteArray& bytes, bool pacing);
    void appendLog(LogEntry e);            // mutex_ held
    void setInputWordLocked(int word);     // mutex_ held
    void expirePulses(Clock::time_point now);
    int nextTimeoutMs(Clock::time_point now) const;   // mutex_ held

    Options options_;
    const Clock::time_point origin_;

    // Descriptors: used by the simulator's thread only (or by the caller
    // while the thread is not running).
    int master_ = -1;
    int slaveHold_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::vector<unsigned char> rx_;
    QByteArray sentTail_;          // last bytes sent, to keep faults from forming frames
    quint32 noise_ = 0x2545F491;   // deterministic garbage

    std::mutex controlMutex_;      // start, stop, connect, disconnect one at a time
    std::atomic<std::thread::id> threadId_{};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread thread_;
    bool running_ = false;
    bool stopping_ = false;
    QString error_;
    QString slavePath_;
    int connections_ = 0;
    int inputs_ = 0;
    int outputs_ = 0;
    Fault fault_ = Fault::None;
    bool pacing_ = false;
    std::array<quint32, 2> values_{};
    std::array<int, 256> counts_{};
    int skipped_ = 0;
    std::deque<LogEntry> log_;
    std::vector<Pulse> pulses_;
    std::vector<std::function<void()>> tasks_;
    quint64 tasksQueued_ = 0;
    quint64 tasksDone_ = 0;
    std::function<void(const OutputChange&)> outputHook_;
    std::function<void(BoardSimulator&)> tickHook_;
    int tickPeriodMs_ = 0;
    Clock::time_point nextTick_;
};
