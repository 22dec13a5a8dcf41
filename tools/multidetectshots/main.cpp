// mm_multidetect_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) in the multi-detection mode with five
// steps, the settings dialog opened on its I/O page and one of its two
// sub-dialogs shown, then the screen photographed.
//
//   mm_multidetect_shots --state page|names --lang L --out FILE
//
// page: the multi-detection page (row 0 holds steps 0 and 2, step 1 in no
// row, the boxes across them locked); names: the I/O-name dialog.  Run by
// shots.sh beside it, under Xvfb with the board simulator.
#include "demolayout.h"
#include "iowidget.h"
#include "mapplication.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "settingspage.h"
#include "startup.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

const QStringList kStates = {"page", "names"};

bool writeParameters(int language)
{
    return demo::writeParameters(language, [](WizardPara& p) {
        p.ioLostAlarm = 0;
        p.systemMode = p.systemModePending = SystemModeMultiDetect;
        p.multiDetectCount = 5;
        const int rows[8] = {0, -1, 0, 1, 2, -1, -1, -1};
        const int triggers[8] = {0, 2, 3, 3, 4, 4, 4, 4};
        const int cuts[8] = {CutModeAll, CutModeSelfDelay, CutModeNGSelf, 0, 0, 0, 0, 0};
        for (int i = 0; i < 8; ++i) {
            p.multiDetectRow[i] = rows[i];
            p.multiRowTrigger[i] = triggers[i];
            p.multiRowCutMode[i] = cuts[i];
            p.customInputName[i] = i;
            p.customOutputName[i] = (i + 8) % 14;
        }
        p.multiDetectInOrder = 1;
    });
}

WizardParaWidget* dialog()
{
    return gpWin && gpWin->settingsPage ? dynamic_cast<WizardParaWidget*>(gpWin->settingsPage->pageWidget()) : nullptr;
}

void drive(const QString& state)
{
    gpWin->SlotSystemPara();
    WizardParaWidget* d = dialog();
    if (!d)
        return;
    gpWin->accessLevel = AccessLevelAdvanced;   // the service gate is open
    d->SlotToIO();
    if (state == QLatin1String("page"))
        d->SlotShowIOWidget();
    else
        d->SlotShowCustomIONameWidget();
}

}  // namespace

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
    if (!kStates.contains(state) || out.isEmpty()) {
        std::fprintf(stderr, "usage: mm_multidetect_shots --state %s --lang L --out FILE\n",
                     qPrintable(kStates.join('|')));
        return 2;
    }
    if (!writeParameters(option("--lang").toInt())) {
        std::fputs("mm_multidetect_shots: cannot write PARAM.db\n", stderr);
        return 1;
    }
    Startup startup(Startup::ProgramParts());
    startup.BeforeMainWindow(argv);
    QWidget* window = startup.MakeMainWindow();
    window->showMaximized();
    QTimer::singleShot(5000, [&] {
        drive(state);
        QTimer::singleShot(800, [&] {
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
            const bool saved = shot.save(out);
            std::printf("mm_multidetect_shots: %s %s\n", saved ? "saved" : "could not save", qPrintable(out));
            app.exit(saved ? 0 : 1);
        });
    });
    return app.exec();
}
