// mm_relaypeer: the relay stand-in as a program, driven by options (also
// from MM_RELAYPEER_ARGS, for when the monitor starts it) and by line
// commands on stdin.  Every command answers with at least one line; the
// counts per type and the violations are printed at the end (quit,
// --exit-after, SIGTERM from the monitor, SIGINT).  End of stdin does not end
// it: the monitor starts it with no terminal.
#include "relaypeer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

extern "C" void onSignal(int sig)
{
    const char c = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

void say(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QProcess::splitCommand(qEnvironmentVariable("MM_RELAYPEER_ARGS"));
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::printf("%s\n%s", qPrintable(relaypeer::usage()), qPrintable(relaypeer::commandHelp()));
            return 0;
        }
        args << a;
    }
    relaypeer::Options options;
    options.logPath = QStringLiteral("cnt_net/relaypeer.log");
    QString error;
    if (!relaypeer::parseOptions(args, &options, &error)) {
        std::fprintf(stderr, "mm_relaypeer: %s (try --help)\n", qPrintable(error));
        return 2;
    }

    relaypeer::RelayPeer peer(options);
    QObject::connect(&peer, &relaypeer::RelayPeer::connected, [](int id) { say(QStringLiteral("connected %1").arg(id)); });
    QObject::connect(&peer, &relaypeer::RelayPeer::disconnected, [&peer, &options](int id) {
        say(QStringLiteral("disconnected %1").arg(id));
        if (!options.reconnect && !peer.isConnected())
            QCoreApplication::quit();
    });

    if (::pipe(gSignalPipe) == 0) {
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char c;
            [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &c, 1);
            QCoreApplication::quit();
        });
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::signal(SIGHUP, onSignal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    if (options.exitAfterS > 0)
        QTimer::singleShot(int(options.exitAfterS * 1000), &app, &QCoreApplication::quit);

    say(QStringLiteral("relaypeer: connecting to %1:%2").arg(options.host).arg(options.port));
    peer.start();

    std::thread reader([&peer] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString text = QString::fromLocal8Bit(line.c_str()).trimmed();
            if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
                continue;
            QMetaObject::invokeMethod(&peer, [&peer, text] {
                bool quit = false;
                say(peer.runCommand(text, &quit));
                if (quit)
                    QCoreApplication::quit();
            }, Qt::QueuedConnection);
        }
    });
    reader.detach();   // a read that never ends must not hold the exit

    app.exec();
    peer.stop();
    std::fputs(peer.summary().toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    ::_exit(0);
}
