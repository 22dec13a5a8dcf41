#include "boardsim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned char kStart = 0x5F;
constexpr unsigned char kEnd = 0xF5;
constexpr int kRequestSize = 6;
constexpr int kReplySize = 8;
// One byte at 115200 baud, 8N1: 10 bits.
constexpr std::chrono::nanoseconds kByteTime{86806};

unsigned char sum8(const unsigned char* p, int n)
{
    unsigned s = 0;
    for (int i = 0; i < n; ++i)
        s += p[i];
    return static_cast<unsigned char>(s & 0xFF);
}

QByteArray replyFrame(int type, quint8 d0, quint8 d1, quint8 d2, quint8 d3)
{
    unsigned char f[kReplySize] = {kStart, static_cast<unsigned char>(type), d0, d1, d2, d3, 0, kEnd};
    f[6] = sum8(f, 6);
    return QByteArray(reinterpret_cast<const char*>(f), kReplySize);
}

bool validReplyAt(const QByteArray& s, int p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(s.constData()) + p;
    return b[0] == kStart && b[7] == kEnd && b[6] == sum8(b, 6);
}

// True when a valid reply frame ends inside s after its first `old` bytes,
// other than the one starting at `allowed` (-1: none allowed).
bool formsStrayFrame(const QByteArray& s, int old, int allowed)
{
    for (int p = std::max(0, old - kReplySize + 1); p + kReplySize <= s.size(); ++p)
        if (p != allowed && validReplyAt(s, p))
            return true;
    return false;
}

const char* commandName(int command)
{
    switch (command) {
    case BoardSimulator::CmdSetOutputs: return "set-outputs";
    case BoardSimulator::CmdPollInputs: return "poll";
    case BoardSimulator::CmdReadValue1: return "value-1";
    case BoardSimulator::CmdReadValue2: return "value-2";
    default: return "command";
    }
}

} // namespace

BoardSimulator::BoardSimulator()
    : BoardSimulator(Options())
{
}

BoardSimulator::BoardSimulator(Options options)
    : options_(std::move(options)),
      origin_(Clock::now())
{
    pacing_ = options_.pacing;
    values_ = {0x00000123u, 0x00000456u};
}

BoardSimulator::~BoardSimulator()
{
    stop();
}

bool BoardSimulator::start()
{
    std::lock_guard<std::mutex> control(controlMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_)
            return true;
        error_.clear();
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    if (!openCurrent()) {
        closeCurrent();
        ::close(wakeRead_);
        ::close(wakeWrite_);
        wakeRead_ = wakeWrite_ = -1;
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = true;
        stopping_ = false;
        nextTick_ = Clock::now() + std::chrono::milliseconds(tickPeriodMs_);
    }
    thread_ = std::thread(&BoardSimulator::run, this);
    return true;
}

void BoardSimulator::stop()
{
    std::lock_guard<std::mutex> control(controlMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_)
            return;
        stopping_ = true;
    }
    wake();
    if (thread_.joinable())
        thread_.join();
    threadId_ = std::thread::id();
    closeCurrent();
    ::close(wakeRead_);
    ::close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    changed_.notify_all();
}

bool BoardSimulator::isRunning() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

QString BoardSimulator::error() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

QString BoardSimulator::slavePath() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return slavePath_;
}

QString BoardSimulator::linkPath() const
{
    return options_.linkPath;
}

int BoardSimulator::connectionCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

// ---- pty and symlink (simulator thread, or the caller while not running)

bool BoardSimulator::openPty(int* master, int* slave, QString* path)
{
    auto fail = [this](const char* what, int fd) {
        const QString msg = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = msg;
        return false;
    };
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0)
        return fail("posix_openpt", -1);
    if (::grantpt(m) != 0)
        return fail("grantpt", m);
    if (::unlockpt(m) != 0)
        return fail("unlockpt", m);
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0)
        return fail("ptsname", m);
    // Held open so the master never reads EIO while the monitor is away.
    // Its termios are left as the kernel made them.
    const int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0)
        return fail("open slave", m);
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    *master = m;
    *slave = s;
    *path = QString::fromLocal8Bit(name);
    return true;
}

bool BoardSimulator::openCurrent()
{
    int m = -1, s = -1;
    QString path;
    if (!openPty(&m, &s, &path))
        return false;
    const int oldMaster = master_, oldSlave = slaveHold_;
    master_ = m;
    slaveHold_ = s;
    rx_.clear();
    sentTail_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slavePath_ = path;
        ++connections_;
        LogEntry e;
        e.kind = LogEntry::Connection;
        e.value = connections_;
        e.text = path;
        appendLog(std::move(e));
    }
    const bool linked = aimLink(path);
    // The old pty goes only now, so the new one cannot reuse its number.
    if (oldMaster >= 0)
        ::close(oldMaster);
    if (oldSlave >= 0)
        ::close(oldSlave);
    changed_.notify_all();
    return linked;
}

void BoardSimulator::closeCurrent()
{
    if (master_ < 0)
        return;
    removeLink();
    ::close(master_);
    ::close(slaveHold_);
    master_ = slaveHold_ = -1;
    rx_.clear();
    sentTail_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    slavePath_.clear();
    LogEntry e;
    e.kind = LogEntry::Connection;
    e.text = QStringLiteral("disconnected");
    appendLog(std::move(e));
    changed_.notify_all();
}

bool BoardSimulator::aimLink(const QString& target)
{
    if (options_.linkPath.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(options_.linkPath).absolutePath());
    // Replaced in one rename, so the link never dangles on its way.
    const QByteArray link = QFile::encodeName(options_.linkPath);
    const QByteArray tmp = link + ".new";
    ::unlink(tmp.constData());
    if (::symlink(QFile::encodeName(target).constData(), tmp.constData()) != 0
        || ::rename(tmp.constData(), link.constData()) != 0) {
        const QString msg = QStringLiteral("symlink %1: %2").arg(options_.linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(tmp.constData());
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = msg;
        return false;
    }
    return true;
}

void BoardSimulator::removeLink()
{
    if (options_.linkPath.isEmpty())
        return;
    const QByteArray link = QFile::encodeName(options_.linkPath);
    struct stat st;
    if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(link.constData());
}

// ---- work done on the simulator's thread

void BoardSimulator::runOnThread(const std::function<void()>& task)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_ || stopping_ || onThread()) {
        lock.unlock();
        task();
        return;
    }
    tasks_.push_back(task);
    const quint64 ticket = ++tasksQueued_;
    lock.unlock();
    wake();
    lock.lock();
    changed_.wait(lock, [&] { return tasksDone_ >= ticket; });
}

void BoardSimulator::disconnect()
{
    if (onThread()) {
        closeCurrent();
        return;
    }
    std::lock_guard<std::mutex> control(controlMutex_);
    runOnThread([this] { closeCurrent(); });
}

bool BoardSimulator::connect()
{
    if (onThread())
        return openCurrent();
    std::lock_guard<std::mutex> control(controlMutex_);
    bool ok = false;
    runOnThread([this, &ok] { ok = openCurrent(); });
    return ok;
}

bool BoardSimulator::reconnect(int downMs)
{
    if (downMs <= 0)
        return connect();
    disconnect();
    std::this_thread::sleep_for(std::chrono::milliseconds(downMs));
    return connect();
}

void BoardSimulator::wake()
{
    const char c = 1;
    if (wakeWrite_ >= 0) {
        [[maybe_unused]] ssize_t r = ::write(wakeWrite_, &c, 1);
    }
}

void BoardSimulator::run()
{
    threadId_ = std::this_thread::get_id();
    char buf[4096];
    for (;;) {
        std::vector<std::function<void()>> tasks;
        int timeoutMs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tasks.swap(tasks_);
        }
        for (const auto& t : tasks) {
            t();
            std::lock_guard<std::mutex> lock(mutex_);
            ++tasksDone_;
            changed_.notify_all();
        }
        Clock::time_point now = Clock::now();
        expirePulses(now);
        std::function<void(BoardSimulator&)> tick;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_ && tasks_.empty())
                break;
            if (tickPeriodMs_ > 0 && tickHook_ && now >= nextTick_) {
                tick = tickHook_;
                nextTick_ += std::chrono::milliseconds(tickPeriodMs_);
                if (nextTick_ <= now)
                    nextTick_ = now + std::chrono::milliseconds(tickPeriodMs_);
            }
            timeoutMs = nextTimeoutMs(now);
        }
        if (tick) {
            tick(*this);
            continue;   // the hook may have queued work or moved the inputs
        }

        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {master_, POLLIN, 0}};
        const int n = master_ >= 0 ? 2 : 1;
        if (::poll(fds, n, timeoutMs) < 0 && errno != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (n == 2 && fds[1].revents) {
            const Clock::time_point readAt = Clock::now();
            const ssize_t r = ::read(master_, buf, sizeof buf);
            if (r > 0)
                handleBytes(reinterpret_cast<const unsigned char*>(buf), static_cast<size_t>(r), readAt);
            else if (r < 0 && errno != EAGAIN && errno != EINTR)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));   // EIO: no slave; should not happen while we hold one
        }
    }
}

int BoardSimulator::nextTimeoutMs(Clock::time_point now) const
{
    Clock::time_point next = now + std::chrono::milliseconds(100);
    for (const Pulse& p : pulses_)
        next = std::min(next, p.until);
    if (tickPeriodMs_ > 0 && tickHook_)
        next = std::min(next, nextTick_);
    if (next <= now)
        return 0;
    // Rounded up so a pulse does not end a millisecond early.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

void BoardSimulator::expirePulses(Clock::time_point now)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (pulses_.empty())
        return;
    int word = inputs_;
    for (auto it = pulses_.begin(); it != pulses_.end();) {
        if (it->until <= now) {
            word = it->level ? (word | (1 << it->index)) : (word & ~(1 << it->index));
            it = pulses_.erase(it);
        } else {
            ++it;
        }
    }
    setInputWordLocked(word);
}

void BoardSimulator::handleBytes(const unsigned char* data, size_t n, Clock::time_point readAt)
{
    rx_.insert(rx_.end(), data, data + n);
    size_t i = 0;
    int skipped = 0;
    while (rx_.size() - i >= static_cast<size_t>(kRequestSize)) {
        const unsigned char* f = rx_.data() + i;
        if (f[0] == kStart && f[5] == kEnd && f[4] == sum8(f, 4)) {
            handleRequest(f[1], f[2] | (f[3] << 8), readAt);
            i += kRequestSize;
        } else {
            // A start byte that does not begin a valid frame costs one
            // byte only: a good frame may start inside the damaged one.
            ++i;
            ++skipped;
        }
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(i));
    if (skipped) {
        std::lock_guard<std::mutex> lock(mutex_);
        skipped_ += skipped;
    }
}

void BoardSimulator::handleRequest(int command, int value, Clock::time_point readAt)
{
    QByteArray reply;
    Fault fault;
    bool pacing;
    bool outputsChanged = false;
    OutputChange change;
    std::function<void(const OutputChange&)> hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[static_cast<size_t>(command & 0xFF)];
        LogEntry e;
        e.at = readAt;
        e.kind = LogEntry::Request;
        e.command = command;
        e.value = value;
        appendLog(std::move(e));
        switch (command) {
        case CmdSetOutputs: {
            const int word = value & kOutputMask;
            if (word != outputs_) {
                LogEntry c;
                c.at = readAt;
                c.kind = LogEntry::OutputChange;
                c.previous = outputs_;
                c.value = word;
                appendLog(std::move(c));
                change.previous = outputs_;
                change.outputs = word;
                change.readAt = readAt;
                outputs_ = word;
                outputsChanged = true;
                hook = outputHook_;
            }
            break;
        }
        case CmdPollInputs:
            reply = replyFrame(2, inputs_ & 0xFF, (inputs_ >> 8) & 0x03, outputs_ & 0xFF, (outputs_ >> 8) & 0x01);
            break;
        case CmdReadValue1:
        case CmdReadValue2: {
            const quint32 v = values_[static_cast<size_t>(command - CmdReadValue1)];
            reply = replyFrame(command, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF);
            break;
        }
        default:
            break;   // unknown commands are counted and logged, not answered
        }
        fault = fault_;
        pacing = pacing_;
        changed_.notify_all();
    }
    if (!reply.isEmpty())
        send(applyFault(reply, fault), pacing);
    if (outputsChanged && hook)
        hook(change);
}

quint8 BoardSimulator::noiseByte(bool allowStart)
{
    for (;;) {
        // xorshift32: the same garbage on every run.
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 17;
        noise_ ^= noise_ << 5;
        const auto b = static_cast<quint8>(noise_ & 0xFF);
        if (b == kEnd || (!allowStart && b == kStart))
            continue;
        return b;
    }
}

QByteArray BoardSimulator::applyFault(const QByteArray& reply, Fault fault)
{
    QByteArray out;
    int allowed = -1;
    switch (fault) {
    case Fault::None:
        return reply;
    case Fault::Silence:
        return {};
    case Fault::Garbage:
        // Start bytes included, end bytes never: no frame can form.
        for (int i = 0; i < kReplySize; ++i)
            out.append(static_cast<char>(noiseByte(true)));
        return out;
    case Fault::GarbageBefore:
        for (int i = 0; i < 3; ++i)
            out.append(static_cast<char>(noiseByte(false)));
        out.append(reply.left(4));   // a frame start that breaks off
        allowed = sentTail_.size() + out.size();
        out.append(reply);
        break;
    case Fault::ShortFrames:
        out = reply.left(5);
        break;
    case Fault::BadChecksum:
        out = reply;
        out[6] = static_cast<char>(static_cast<quint8>(out[6]) + 1);
        break;
    }
    // A damaged reply must not happen to complete a valid frame together
    // with what went before; if it would, plain noise goes instead.
    if (formsStrayFrame(sentTail_ + out, sentTail_.size(), allowed)) {
        QByteArray noise;
        for (int i = 0; i < kReplySize; ++i)
            noise.append(static_cast<char>(noiseByte(false)));
        if (fault == Fault::GarbageBefore)
            noise.append(reply);
        out = noise;
    }
    return out;
}

void BoardSimulator::send(const QByteArray& bytes, bool pacing)
{
    if (master_ < 0 || bytes.isEmpty())
        return;
    const char* p = bytes.constData();
    const auto n = static_cast<size_t>(bytes.size());
    if (pacing) {
        // A UART's pace: the monitor may see the reply in pieces.
        const Clock::time_point t0 = Clock::now();
        for (size_t i = 0; i < n; ++i) {
            if (::write(master_, p + i, 1) != 1)
                break;   // the slave's buffer is full: the rest is lost, as on a line
            std::this_thread::sleep_until(t0 + kByteTime * static_cast<int>(i + 1));
        }
    } else {
        size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(master_, p + done, n - done);
            if (w <= 0) {
                if (w < 0 && errno == EINTR)
                    continue;
                break;
            }
            done += static_cast<size_t>(w);
        }
    }
    sentTail_.append(bytes);
    if (sentTail_.size() > kReplySize - 1)
        sentTail_ = sentTail_.right(kReplySize - 1);
}

// ---- inputs, outputs, counters

void BoardSimulator::setInputWordLocked(int word)
{
    word &= kInputMask;
    if (word == inputs_)
        return;
    LogEntry e;
    e.kind = LogEntry::InputChange;
    e.previous = inputs_;
    e.value = word;
    appendLog(std::move(e));
    inputs_ = word;
    changed_.notify_all();
}

void BoardSimulator::setInput(int index, bool level)
{
    if (index < 0 || index >= kInputCount)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    setInputWordLocked(level ? (inputs_ | (1 << index)) : (inputs_ & ~(1 << index)));
}

void BoardSimulator::setInputWord(int word)
{
    std::lock_guard<std::mutex> lock(mutex_);
    setInputWordLocked(word);
}

int BoardSimulator::inputWord() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_;
}

void BoardSimulator::pulseInput(int index, int ms, bool level)
{
    if (index < 0 || index >= kInputCount)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        setInputWordLocked(level ? (inputs_ | (1 << index)) : (inputs_ & ~(1 << index)));
        pulses_.push_back({index, !level, Clock::now() + std::chrono::milliseconds(std::max(0, ms))});
    }
    wake();
}

int BoardSimulator::outputs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return outputs_;
}

bool BoardSimulator::output(int index) const
{
    return index >= 0 && index < kOutputCount && (outputs() >> index) & 1;
}

bool BoardSimulator::waitForOutputs(const std::function<bool(int)>& pred, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(outputs_); });
}

bool BoardSimulator::waitForOutputWord(int word, int timeoutMs) const
{
    return waitForOutputs([word](int w) { return w == word; }, timeoutMs);
}

int BoardSimulator::requestCount(int command) const
{
    if (command < 0 || command > 255)
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_[static_cast<size_t>(command)];
}

bool BoardSimulator::waitForRequests(int command, int count, int timeoutMs) const
{
    if (command < 0 || command > 255)
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return counts_[static_cast<size_t>(command)] >= count; });
}

int BoardSimulator::skippedBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return skipped_;
}

void BoardSimulator::clearCounts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    counts_.fill(0);
    skipped_ = 0;
}

// ---- faults and settings

void BoardSimulator::setFault(Fault fault)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault == fault_)
        return;
    fault_ = fault;
    LogEntry e;
    e.kind = LogEntry::FaultChange;
    e.value = static_cast<int>(fault);
    e.text = faultName(fault);
    appendLog(std::move(e));
}

BoardSimulator::Fault BoardSimulator::fault() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

void BoardSimulator::setPacing(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    pacing_ = on;
}

void BoardSimulator::setValueReply(int command, quint32 value)
{
    if (command != CmdReadValue1 && command != CmdReadValue2)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    values_[static_cast<size_t>(command - CmdReadValue1)] = value;
}

void BoardSimulator::setOutputHook(std::function<void(const OutputChange&)> hook)
{
    std::lock_guard<std::mutex> lock(mutex_);
    outputHook_ = std::move(hook);
}

void BoardSimulator::setTickHook(int periodMs, std::function<void(BoardSimulator&)> hook)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tickPeriodMs_ = std::max(0, periodMs);
        tickHook_ = std::move(hook);
        nextTick_ = Clock::now() + std::chrono::milliseconds(tickPeriodMs_);
    }
    wake();
}

// ---- log and names

void BoardSimulator::appendLog(LogEntry e)
{
    if (e.at == Clock::time_point())
        e.at = Clock::now();
    log_.push_back(std::move(e));
    if (log_.size() > kLogLimit)
        log_.pop_front();
}

std::vector<BoardSimulator::LogEntry> BoardSimulator::log() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<LogEntry>(log_.begin(), log_.end());
}

void BoardSimulator::clearLog()
{
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

BoardSimulator::Clock::time_point BoardSimulator::startedAt() const
{
    return origin_;
}

QString BoardSimulator::describe(const LogEntry& e, Clock::time_point origin)
{
    const double ms = std::chrono::duration<double, std::milli>(e.at - origin).count();
    const QString t = QStringLiteral("%1 ms").arg(ms, 12, 'f', 3);
    auto hex3 = [](int v) { return QStringLiteral("0x%1").arg(v, 3, 16, QLatin1Char('0')); };
    switch (e.kind) {
    case LogEntry::Request:
        return QStringLiteral("%1  request %2 %3 value 0x%4")
            .arg(t, QString::number(e.command), QLatin1String(commandName(e.command)))
            .arg(e.value, 4, 16, QLatin1Char('0'));
    case LogEntry::OutputChange:
        return QStringLiteral("%1  outputs %2 -> %3").arg(t, hex3(e.previous), hex3(e.value));
    case LogEntry::InputChange:
        return QStringLiteral("%1  inputs %2 -> %3").arg(t, hex3(e.previous), hex3(e.value));
    case LogEntry::FaultChange:
        return QStringLiteral("%1  fault %2").arg(t, e.text);
    case LogEntry::Connection:
        return QStringLiteral("%1  pty %2").arg(t, e.text);
    }
    return t;
}

QString BoardSimulator::outputName(int index)
{
    static const char* const names[kOutputCount] = {
        "NotAllowClose", "NotAllowThimble", "Alarm", "Reserve",
        "Area1", "Area2", "Area3", "Area4", "Output9"};
    return index >= 0 && index < kOutputCount ? QLatin1String(names[index]) : QString();
}

namespace {
struct FaultNameRow {
    BoardSimulator::Fault fault;
    const char* name;
};
const FaultNameRow kFaultNames[] = {
    {BoardSimulator::Fault::None, "none"},
    {BoardSimulator::Fault::Silence, "silence"},
    {BoardSimulator::Fault::Garbage, "garbage"},
    {BoardSimulator::Fault::GarbageBefore, "garbage-before"},
    {BoardSimulator::Fault::ShortFrames, "short"},
    {BoardSimulator::Fault::BadChecksum, "checksum"},
};
} // namespace

QString BoardSimulator::faultName(Fault fault)
{
    for (const auto& row : kFaultNames)
        if (row.fault == fault)
            return QLatin1String(row.name);
    return QString();
}

bool BoardSimulator::faultFromName(const QString& name, Fault* fault)
{
    for (const auto& row : kFaultNames)
        if (name == QLatin1String(row.name)) {
            *fault = row.fault;
            return true;
        }
    return false;
}
