// mm_strip_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) with the parameters of one strip
// state, photographed once the cameras run.  The login, the mounted USB disk
// and the parameter-group list are set from here, as the login prompt, the
// USB copy and the settings dialog would set them.
//
//   mm_strip_shots --state mode0|mode4 --lang L --out FILE [--login] [--mount]
//                  [--bar unfolded|folded]
//
// Run by shots.sh beside it, under Xvfb with the board simulator.
#include "copy2movedisk.h"
#include "demolayout.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "mapplication.h"
#include "messages.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "startup.h"
#include "wizardpara.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSqlDatabase>
#include <QTimer>

#include <cstdio>

namespace {

// PARAM.db with the demo's parameters and every strip option of the state.
bool writeParameters(const QString& state, int language)
{
    return demo::writeParameters(language, [&](WizardPara& p) {
        p.ioLostAlarm = 0;
        p.passwordEnabled = 1;
        p.productNgPulseNoAlarm = 1;
        p.productOkNgOutputs = 1;
        if (state == QLatin1String("mode4")) {
            p.systemMode = p.systemModePending = SystemModeMultiDetect;
            p.multiDetectCount = 8;
            for (int d = 0; d < kDetections; ++d) {
                p.multiDetectRow[d] = d;
                p.multiRowTrigger[d] = d;
            }
        }
    });
}

}   // namespace

int main(int argc, char** argv)
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
    const bool login = args.contains(QStringLiteral("--login"));
    const bool mount = args.contains(QStringLiteral("--mount"));
    const QString bar = option("--bar");
    if ((state != QLatin1String("mode0") && state != QLatin1String("mode4")) || out.isEmpty()) {
        std::fputs("usage: mm_strip_shots --state mode0|mode4 --lang L --out FILE [--login] [--mount]\n", stderr);
        return 2;
    }
    if (!writeParameters(state, option("--lang").toInt())) {
        std::fputs("mm_strip_shots: cannot write PARAM.db\n", stderr);
        return 1;
    }

    Startup startup(Startup::ProgramParts());
    startup.BeforeMainWindow(argv);
    QWidget* window = startup.MakeMainWindow();
    window->showMaximized();

    QTimer::singleShot(6000, [&] {
        gpWin->accessLevel = login ? AccessLevelAdvanced : AccessLevelNone;
        Copy2MoveDisk::instance()->setMountPath(mount ? QStringLiteral("/mnt") : QString());
        // The group index lives in sysadd.txt, which the demo does not lay out.
        gpWPara->paramGroupIndex = 1;
        gpWin->statusStrip->setParamGroups({QStringLiteral("default"), QStringLiteral("Mould A")});
        // The bar as a press on a camera view brings it, then folded by the logo.
        if (!bar.isEmpty()) {
            gpWin->showSideBar();
            if (bar == QLatin1String("folded")) {
                gpWin->sideBar->barUnfolded = false;
                gpWin->sideBar->ShowHide(1);
            }
        }
    });
    QTimer::singleShot(7500, [&] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        const bool saved = shot.save(out);
        std::printf("mm_strip_shots: %s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
