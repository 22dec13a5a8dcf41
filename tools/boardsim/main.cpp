// mm_boardsim: the I/O board simulator driven by line commands on stdin.
//
// The first line on stdout is the pty's slave path, for the monitor (or a
// script) to open.  Every command answers with at least one line; mistakes
// answer "error: ..." and change nothing.  End of stdin ends it like quit.
//
// With --machine the machine model (machinemodel.h) drives the inputs and
// swaps the cameras' scenes; every input change, output change and scene
// change is one line.  stdin still takes commands, and its end does not end
// the machine: --cycles N, quit or a signal does.
#include "boardsim.h"
#include "machinemodel.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// The symlink, for the signal handler: an interrupted simulator leaves no
// link to a pty that is gone.
char gLinkToRemove[4096];

extern "C" void onTerminate(int sig)
{
    if (gLinkToRemove[0])
        ::unlink(gLinkToRemove);
    ::_exit(128 + sig);
}

const char kHelp[] =
    "commands:\n"
    "  in N 0|1          set input N (0-9)\n"
    "  word HEX          set the input word (bits 0-9), e.g. word 203\n"
    "  pulse N MS [0|1]  drive input N to the level (default 1) for MS ms, then back\n"
    "  inputs            print the input word\n"
    "  out               print the applied outputs with their names\n"
    "  fault NAME        none | silence | garbage | garbage-before | short | checksum\n"
    "  fault reconnect [MS]  close the pty and open a new one (gone for MS ms)\n"
    "  pace on|off       write replies at 86.8 us per byte\n"
    "  log [N]           print the log (the last N entries)\n"
    "  machine           the machine's state (with --machine)\n"
    "  help              this text\n"
    "  quit              end\n";

std::mutex gSayMutex;   // the machine's trace and the command answers share stdout

void say(const QString& line)
{
    std::lock_guard<std::mutex> lock(gSayMutex);
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// ---------------------------------------------------------------- machine

struct MachineArgs {
    bool on = false;
    MachineModel::Options options;
    QString scenes = QStringLiteral("scenes");
    int startDelayMs = 3000;   // the monitor's first output word -> the first cycle
};

// The cameras' scene files: "cam<c>.bmp" is what camera c sees; a scene is
// changed by copying "cam<c>_<scene>.bmp" beside it and renaming it over it,
// so the camera never reads half a picture.
class SceneFiles {
public:
    explicit SceneFiles(const QString& dir) : dir_(dir)
    {
        for (int c = 1; c <= 8; ++c)
            if (dir_.exists(QStringLiteral("cam%1_part.bmp").arg(c)))
                cameras_ = c;
    }
    int cameras() const { return cameras_; }
    void set(const char* scene, double t)
    {
        if (current_ == scene)
            return;
        current_ = QLatin1String(scene);
        for (int c = 1; c <= cameras_; ++c) {
            const QString from = dir_.filePath(QStringLiteral("cam%1_%2.bmp").arg(c).arg(current_));
            const QString to = dir_.filePath(QStringLiteral("cam%1.bmp").arg(c));
            const QString beside = to + QStringLiteral(".new");
            QFile::remove(beside);
            const bool ok = QFile::copy(from, beside)
                            && ::rename(QFile::encodeName(beside).constData(), QFile::encodeName(to).constData()) == 0;
            say(ok ? QStringLiteral("%1 scene camera %2 %3").arg(t, 8, 'f', 3).arg(c).arg(current_)
                   : QStringLiteral("%1 scene camera %2 %3: error: cannot replace %4")
                         .arg(t, 8, 'f', 3).arg(c).arg(current_, to));
        }
    }

private:
    QDir dir_;
    int cameras_ = 0;
    QString current_;
};

QString hex3(int v)
{
    return QStringLiteral("0x%1").arg(v, 3, 16, QLatin1Char('0'));
}

bool toInt(const QString& s, int base, int lo, int hi, int* out)
{
    QString t = s;
    if (base == 16 && t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const int v = t.toInt(&ok, base);
    if (!ok || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

// Runs one command; false when the program should end.
bool execute(BoardSimulator& sim, const QStringList& w)
{
    const QString cmd = w.value(0);
    auto error = [](const QString& text) {
        say(QStringLiteral("error: %1").arg(text));
        return true;
    };
    if (cmd == QLatin1String("quit") || cmd == QLatin1String("exit"))
        return false;
    if (cmd == QLatin1String("help")) {
        std::fputs(kHelp, stdout);
        std::fflush(stdout);
        return true;
    }
    if (cmd == QLatin1String("in")) {
        int n, level;
        if (w.size() != 3 || !toInt(w[1], 10, 0, BoardSimulator::kInputCount - 1, &n) || !toInt(w[2], 10, 0, 1, &level))
            return error(QStringLiteral("usage: in N 0|1 (N 0-9)"));
        sim.setInput(n, level == 1);
        say(QStringLiteral("inputs %1").arg(hex3(sim.inputWord())));
        return true;
    }
    if (cmd == QLatin1String("word")) {
        int word;
        if (w.size() != 2 || !toInt(w[1], 16, 0, BoardSimulator::kInputMask, &word))
            return error(QStringLiteral("usage: word HEX (0-3ff)"));
        sim.setInputWord(word);
        say(QStringLiteral("inputs %1").arg(hex3(sim.inputWord())));
        return true;
    }
    if (cmd == QLatin1String("pulse")) {
        int n, ms, level = 1;
        if (w.size() < 3 || w.size() > 4 || !toInt(w[1], 10, 0, BoardSimulator::kInputCount - 1, &n)
            || !toInt(w[2], 10, 0, 3600000, &ms) || (w.size() == 4 && !toInt(w[3], 10, 0, 1, &level)))
            return error(QStringLiteral("usage: pulse N MS [0|1] (N 0-9, MS 0-3600000)"));
        sim.pulseInput(n, ms, level == 1);
        say(QStringLiteral("inputs %1").arg(hex3(sim.inputWord())));
        return true;
    }
    if (cmd == QLatin1String("inputs")) {
        say(QStringLiteral("inputs %1").arg(hex3(sim.inputWord())));
        return true;
    }
    if (cmd == QLatin1String("out")) {
        const int word = sim.outputs();
        say(QStringLiteral("outputs %1").arg(hex3(word)));
        for (int i = 0; i < BoardSimulator::kOutputCount; ++i)
            say(QStringLiteral("  %1 %2 %3").arg(i).arg(BoardSimulator::outputName(i), -16).arg((word >> i) & 1));
        return true;
    }
    if (cmd == QLatin1String("fault")) {
        if (w.value(1) == QLatin1String("reconnect")) {
            int ms = 0;
            if (w.size() > 3 || (w.size() == 3 && !toInt(w[2], 10, 0, 600000, &ms)))
                return error(QStringLiteral("usage: fault reconnect [MS]"));
            if (!sim.reconnect(ms))
                return error(QStringLiteral("reconnect failed: %1").arg(sim.error()));
            say(QStringLiteral("pty %1").arg(sim.slavePath()));
            return true;
        }
        BoardSimulator::Fault f;
        if (w.size() != 2 || !BoardSimulator::faultFromName(w[1], &f))
            return error(QStringLiteral("usage: fault none|silence|garbage|garbage-before|short|checksum|reconnect"));
        sim.setFault(f);
        say(QStringLiteral("fault %1").arg(BoardSimulator::faultName(f)));
        return true;
    }
    if (cmd == QLatin1String("pace")) {
        if (w.size() != 2 || (w[1] != QLatin1String("on") && w[1] != QLatin1String("off")))
            return error(QStringLiteral("usage: pace on|off"));
        sim.setPacing(w[1] == QLatin1String("on"));
        say(QStringLiteral("pace %1").arg(w[1]));
        return true;
    }
    if (cmd == QLatin1String("log")) {
        int last = -1;
        if (w.size() > 2 || (w.size() == 2 && !toInt(w[1], 10, 0, int(BoardSimulator::kLogLimit), &last)))
            return error(QStringLiteral("usage: log [N]"));
        const auto entries = sim.log();
        const size_t from = last < 0 || size_t(last) >= entries.size() ? 0 : entries.size() - size_t(last);
        for (size_t i = from; i < entries.size(); ++i)
            say(BoardSimulator::describe(entries[i], sim.startedAt()));
        say(QStringLiteral("log end (%1 entries)").arg(entries.size() - from));
        return true;
    }
    return error(QStringLiteral("unknown command \"%1\" (try help)").arg(cmd));
}

} // namespace

namespace {

const char kUsage[] =
    "usage: mm_boardsim [--link PATH] [--pace] [--machine [--cycles N] [--fast]\n"
    "                   [--left-every N] [--left-in N,N...] [--scenes DIR]]\n"
    "Simulates the machine's I/O board on a new pty; prints the slave path first,\n"
    "then reads commands on stdin.\n"
    "  --machine         play an injection-moulding machine: open, eject, close,\n"
    "                    inject, obeying the outputs; the operator clears alarms.\n"
    "                    The first cycle starts 3 s (fast: 1.5 s) after the\n"
    "                    monitor's first output word\n"
    "  --cycles N        end after N machine cycles (default: run until quit)\n"
    "  --fast            the fast timing profile (tests)\n"
    "  --left-every N    a part stays in the mould every Nth cycle (default 4, 0 never)\n"
    "  --left-in LIST    ... and in these cycles, e.g. 2 or 2,5\n"
    "  --scenes DIR      the cameras' scene files (default ./scenes, see mm_make_demo)\n\n";

bool parseList(const QString& text, std::set<int>* out)
{
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int v = part.toInt(&ok);
        if (!ok || v < 1)
            return false;
        out->insert(v);
    }
    return !out->empty();
}

double secondsSince(BoardSimulator::Clock::time_point origin)
{
    return std::chrono::duration<double>(BoardSimulator::Clock::now() - origin).count();
}

} // namespace

int main(int argc, char** argv)
{
    BoardSimulator::Options options;
    MachineArgs machine;
    machine.options.leftEvery = 4;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        const bool hasValue = i + 1 < argc;
        int n = 0;
        if (a == QLatin1String("--link") && hasValue) {
            options.linkPath = QString::fromLocal8Bit(argv[++i]);
        } else if (a == QLatin1String("--pace")) {
            options.pacing = true;
        } else if (a == QLatin1String("--machine")) {
            machine.on = true;
        } else if (a == QLatin1String("--fast")) {
            machine.options.timing = MachineModel::fastTiming();
            machine.startDelayMs = 1500;
        } else if (a == QLatin1String("--cycles") && hasValue && toInt(QString::fromLocal8Bit(argv[i + 1]), 10, 1, 1000000, &n)) {
            machine.options.cycles = n;
            ++i;
        } else if (a == QLatin1String("--left-every") && hasValue && toInt(QString::fromLocal8Bit(argv[i + 1]), 10, 0, 1000000, &n)) {
            machine.options.leftEvery = n;
            ++i;
        } else if (a == QLatin1String("--left-in") && hasValue && parseList(QString::fromLocal8Bit(argv[i + 1]), &machine.options.leftIn)) {
            ++i;
        } else if (a == QLatin1String("--scenes") && hasValue) {
            machine.scenes = QString::fromLocal8Bit(argv[++i]);
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        } else {
            std::fprintf(stderr, "mm_boardsim: bad argument %s (try --help)\n", argv[i]);
            return 2;
        }
    }

    BoardSimulator sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "mm_boardsim: %s\n", sim.error().toLocal8Bit().constData());
        return 1;
    }
    if (!options.linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(options.linkPath);
        if (size_t(link.size()) < sizeof gLinkToRemove)
            std::memcpy(gLinkToRemove, link.constData(), size_t(link.size()) + 1);
    }
    std::signal(SIGINT, onTerminate);
    std::signal(SIGTERM, onTerminate);
    std::signal(SIGHUP, onTerminate);
    say(sim.slavePath());

    if (!machine.on) {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QStringList words = QString::fromLocal8Bit(line.c_str()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.isEmpty() || words[0].startsWith(QLatin1Char('#')))
                continue;
            if (!execute(sim, words))
                break;
        }
        sim.stop();
        return 0;
    }

    // The machine.  Its steps, the output hook and the scene changes run on
    // the simulator's thread; this thread waits for the end.
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    auto finish = [&] {
        std::lock_guard<std::mutex> lock(doneMutex);
        done = true;
        doneCv.notify_all();
    };
    const auto origin = sim.startedAt();
    auto stamp = [origin] { return QStringLiteral("%1 ").arg(secondsSince(origin), 8, 'f', 3); };
    SceneFiles scenes(machine.scenes);
    if (scenes.cameras() == 0)
        say(QStringLiteral("warning: no scenes in %1 (cam1_part.bmp ...): the cameras' pictures stay as they are")
                .arg(QDir(machine.scenes).absolutePath()));
    MachineModel::Io io;
    io.setInput = [&sim, stamp](int input, bool level) {
        sim.setInput(input, level);
        say(stamp() + QStringLiteral("input %1 %2 %3").arg(input).arg(MachineModel::inputName(input)).arg(level ? 1 : 0));
    };
    io.setScene = [&scenes, origin](const char* scene) { scenes.set(scene, secondsSince(origin)); };
    io.trace = [stamp](const QString& line) { say(stamp() + line); };
    MachineModel model(machine.options, io);
    sim.setOutputHook([stamp](const BoardSimulator::OutputChange& c) {
        for (int i = 0; i < BoardSimulator::kOutputCount; ++i)
            if (((c.previous ^ c.outputs) >> i) & 1)
                say(stamp() + QStringLiteral("output %1 %2 %3").arg(i).arg(BoardSimulator::outputName(i)).arg((c.outputs >> i) & 1));
    });
    std::mutex modelMutex;   // the model is stepped by the simulator and read by "machine"
    // At rest until the monitor is there: its first output word, then a
    // while for its cameras to deliver.
    model.start(BoardSimulator::Clock::now());
    say(stamp() + QStringLiteral("machine: waiting for the monitor"));
    bool started = false;
    BoardSimulator::Clock::time_point monitorSeen{};
    const auto settle = std::chrono::milliseconds(machine.startDelayMs);
    sim.setTickHook(10, [&](BoardSimulator& s) {
        std::lock_guard<std::mutex> lock(modelMutex);
        const auto now = BoardSimulator::Clock::now();
        if (!started) {
            if (s.requestCount(BoardSimulator::CmdSetOutputs) == 0)
                return;
            if (monitorSeen == BoardSimulator::Clock::time_point{}) {
                monitorSeen = now;
                say(stamp() + QStringLiteral("machine: the monitor is there"));
            }
            if (now - monitorSeen < settle)
                return;
            started = true;
            model.restartPhase(now);
        }
        if (model.finished())
            return;
        model.step(now, s.outputs());
        if (model.finished())
            finish();
    });

    // Commands go on beside the machine; their end does not end it.
    std::thread reader([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QStringList words = QString::fromLocal8Bit(line.c_str()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.isEmpty() || words[0].startsWith(QLatin1Char('#')))
                continue;
            if (words[0] == QLatin1String("machine")) {
                std::lock_guard<std::mutex> lock(modelMutex);
                say(started ? QStringLiteral("machine: cycle %1, phase %2, %3 OK, %4 alarm(s)")
                                  .arg(model.cycle()).arg(int(model.phase())).arg(model.okCycles()).arg(model.alarms())
                            : QStringLiteral("machine: waiting for the monitor"));
                continue;
            }
            if (!execute(sim, words)) {
                finish();
                return;
            }
        }
    });
    reader.detach();   // a read that never ends must not hold the exit

    {
        std::unique_lock<std::mutex> lock(doneMutex);
        doneCv.wait(lock, [&] { return done; });
    }
    sim.setTickHook(0, {});
    sim.setOutputHook({});
    sim.stop();
    std::fflush(stdout);
    ::_exit(0);   // the reader may still sit in a read of stdin
}
