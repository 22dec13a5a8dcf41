// mm_maintenance_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) with the settings dialog opened and
// one maintenance state shown, then the screen photographed.
//
//   mm_maintenance_shots --state S --lang L --out FILE
//
// States: simple (the camera page in simple display), calibrate (the
// calibration dialog), clock (the set-clock dialog), copying (the update
// archive's copy box), refused (the update refusal), clockfailed (the
// clock refusal).  Run by shots.sh beside it, under Xvfb with the board
// simulator.
#include "choosecalinumwidget.h"
#include "demolayout.h"
#include "editdatetime.h"
#include "mapplication.h"
#include "messages.h"
#include "modifytimewidget.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "progressbox.h"
#include "projectmessages.h"
#include "settingspage.h"
#include "warnbox.h"
#include "wizardparawidget.h"
#include "windowshot.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

const QStringList kStates = {"simple", "calibrate", "clock", "copying", "refused", "clockfailed"};

WizardParaWidget* dialog()
{
    return gpWin && gpWin->settingsPage ? dynamic_cast<WizardParaWidget*>(gpWin->settingsPage->pageWidget()) : nullptr;
}

// A box shown without waiting, as exec() would show it.
void showBox(KitBox* box, int id)
{
    box->setText(Msg(id), id);
    box->show();
    box->raise();
}

void drive(const QString& state)
{
    gpWin->SlotSystemPara();
    WizardParaWidget* d = dialog();
    if (!d)
        return;
    gpWin->accessLevel = AccessLevelAdvanced;   // the service gate is open
    if (state == QLatin1String("simple")) {
        d->SlotToCamera();
        d->SlotChangeShowMode();
    } else if (state == QLatin1String("calibrate")) {
        d->SlotToAdvance();
        showBox(d->calibrationDialog, 459);
    } else if (state == QLatin1String("clock")) {
        d->SlotToAdvance();
        d->timeDialog->dateTimeEdit->ShowDateTime();
        d->timeDialog->show();
        d->timeDialog->raise();
    } else if (state == QLatin1String("copying")) {
        d->SlotToAdvance();
        auto* box = new ProgressBox;   // as the update's checked copy shows it
        box->setText(Msg(325), 325);
        box->setProgress(37, 100);
        box->show();
    } else if (state == QLatin1String("refused")) {
        d->SlotToAdvance();
        showBox(gpWarnBox, kMsgUpdateRefused);
    } else if (state == QLatin1String("clockfailed")) {
        d->SlotToAdvance();
        showBox(gpWarnBox, kMsgClockNotSet);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    return demo::RunWindowShot(argc, argv, {"mm_maintenance_shots", kStates, [](const QString&, int language) { return demo::writeParameters(language, [](WizardPara& p) { p.ioLostAlarm = 0; }); }, drive});
}
