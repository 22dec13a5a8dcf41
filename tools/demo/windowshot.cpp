#include "windowshot.h"

#include "mapplication.h"
#include "startup.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace demo {

int RunWindowShot(int argc, char** argv, const WindowShot& shot)
{
    Startup::OpenPanelDevice();
    MApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char* name) {
        const int i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
    };
    const QString state = option("--state");
    const QString out = option("--out");
    if (!shot.states.contains(state) || out.isEmpty()) {
        std::fprintf(stderr, "usage: %s --state %s --lang L --out FILE\n", shot.program,
                     qPrintable(shot.states.join('|')));
        return 2;
    }
    if (!shot.prepare(state, option("--lang").toInt())) {
        std::fprintf(stderr, "%s: cannot lay out the program directory\n", shot.program);
        return 1;
    }
    Startup startup(Startup::ProgramParts());
    startup.BeforeMainWindow(argv);
    QWidget* window = startup.MakeMainWindow();
    window->showMaximized();
    QTimer::singleShot(5000, [&] {
        shot.drive(state);
        QTimer::singleShot(800, [&] {
            const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0);
            const bool saved = picture.save(out);
            std::printf("%s: %s %s\n", shot.program, saved ? "saved" : "could not save", qPrintable(out));
            app.exit(saved ? 0 : 1);
        });
    });
    return app.exec();
}

}  // namespace demo
