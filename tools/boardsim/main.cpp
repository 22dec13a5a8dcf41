// mm_boardsim: the I/O board simulator driven by line commands on stdin.
//
// The first line on stdout is the pty's slave path, for the monitor (or a
// script) to open.  Every command answers with at least one line; mistakes
// answer "error: ..." and change nothing.  End of stdin ends it like quit.
#include "boardsim.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
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
    "  help              this text\n"
    "  quit              end\n";

void say(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

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

int main(int argc, char** argv)
{
    BoardSimulator::Options options;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--link") && i + 1 < argc) {
            options.linkPath = QString::fromLocal8Bit(argv[++i]);
        } else if (a == QLatin1String("--pace")) {
            options.pacing = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::printf("usage: mm_boardsim [--link PATH] [--pace]\n"
                        "Simulates the machine's I/O board on a new pty; prints the slave path first,\n"
                        "then reads commands on stdin.\n\n%s",
                        kHelp);
            return 0;
        } else {
            std::fprintf(stderr, "mm_boardsim: unknown argument %s (try --help)\n", argv[i]);
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
