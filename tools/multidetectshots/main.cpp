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
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "windowshot.h"

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
    return demo::RunWindowShot(argc, argv, {"mm_multidetect_shots", kStates, [](const QString&, int language) { return writeParameters(language); }, drive});
}
