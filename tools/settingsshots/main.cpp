// mm_settings_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) with the settings dialog opened from
// the side bar's slot and one page shown, then the screen photographed.
//
//   mm_settings_shots --state S --lang L --out FILE
//
// States: common, common_multi (mode 4, eight steps), camera, camera_factory,
// io, io_multi (mode 4, eight steps, factory fields), advanced, refusal
// (message 232 over the dialog), question (234), failed (160), restart (418),
// note276, note309, note277 (the notes after a save), progress (the
// retraining box), record (the record page on today with an archived day
// in the list), export (the data export's box over the advanced page),
// network (the link on, a test result), groups (the advanced page with
// three groups, the list open), groupbox (a backup's box over it).  Run by shots.sh beside it, under
// Xvfb with the board simulator.
#include "checkbox.h"
#include "combobox.h"
#include "demolayout.h"
#include "mapplication.h"
#include "messages.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "progressbox.h"
#include "settingspage.h"
#include "warnbox.h"
#include "choosebox.h"
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "windowshot.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

const QStringList kStates = {"common", "common_multi", "camera", "camera_factory", "io", "io_multi",
                             "advanced", "refusal", "question", "failed", "restart", "note276", "note309",
                             "note277", "progress", "record", "export", "network", "groups", "groupbox"};

bool writeParameters(const QString& state, int language)
{
    const bool multi = state.endsWith(QLatin1String("_multi"));
    return demo::writeParameters(language, [&](WizardPara& p) {
        p.ioLostAlarm = 0;
        p.showFactoryParams = state == QLatin1String("camera_factory") || state == QLatin1String("io_multi") ? 1 : 0;
        if (multi) {
            p.systemMode = SystemModeMultiDetect;
            p.systemModePending = SystemModeMultiDetect;
            p.multiDetectCount = 8;
            for (int d = 0; d < 8; ++d) {
                p.multiDetectRow[d] = d;
                p.multiRowTrigger[d] = 0;
            }
        }
    });
}

WizardParaWidget* dialog()
{
    return gpWin && gpWin->settingsPage ? dynamic_cast<WizardParaWidget*>(gpWin->settingsPage->pageWidget()) : nullptr;
}

// A box shown without waiting, as exec() would show it.
void showBox(KitBox* box, int id, const QString& text = QString())
{
    box->setText(text.isEmpty() ? Msg(id) : text, id);
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
    if (state.startsWith(QLatin1String("camera")))
        d->SlotToCamera();
    else if (state.startsWith(QLatin1String("io")))
        d->SlotToIO();
    else if (state == QLatin1String("advanced"))
        d->SlotToAdvance();
    else if (state == QLatin1String("network")) {
        // The link switched on in the edit copy only (nothing listens), and
        // the longest result line of the connection test.
        gpWParaBak->netEnabled = 1;
        d->WizardParaInit();
        d->SlotToNetwork();
        d->pingStatus = Msg(420) + QLatin1Char(',') + Msg(423) + QLatin1Char(',') + Msg(440);
        d->update();
    }
    else if (state == QLatin1String("refusal"))
        showBox(gpWarnBox, 232);
    else if (state == QLatin1String("question"))
        showBox(gpChooseBox, 234);
    else if (state == QLatin1String("failed"))
        showBox(gpWarnBox, 160);
    else if (state == QLatin1String("restart"))
        showBox(gpWarnBox, 418);
    else if (state.startsWith(QLatin1String("note")))
        showBox(gpWarnBox, state.mid(4).toInt());
    else if (state == QLatin1String("record")) {
        // Yesterday's archive beside today's records.
        QDir().mkpath(QStringLiteral("RECORD"));
        QFile::copy(QStringLiteral("RECORD.db"),
                    QStringLiteral("RECORD/%1.db").arg(QDate::currentDate().addDays(-1).toString(Qt::ISODate)));
        for (int i = 0; i < 12; ++i)
            gpWin->InsertRecord(Msg(i % 2 ? 249 : 325));
        d->SlotToAdvance();
        d->SlotToRecord();
    } else if (state == QLatin1String("export")) {
        d->SlotToAdvance();
        auto* box = new ProgressBox;   // as the data export shows it
        box->setProgress(1234, 4321);
        box->show();
    } else if (state == QLatin1String("groups") || state == QLatin1String("groupbox")) {
        for (const char* g : {"default", "Mould A", "\u6a21\u5177B 2024"})
            QDir().mkpath(QStringLiteral("paraGroup/") + QString::fromUtf8(g));
        d->ParaGroupUpdateList();
        d->SlotToAdvance();
        d->groupCombo->setCurrentIndex(1);
        if (state == QLatin1String("groups")) {
            d->groupCombo->showPopup();
        } else {
            auto* box = new ProgressBox;   // as a backup shows it
            box->setText(Msg(182), 182);
            box->setProgress(57, 177);
            box->show();
        }
    } else if (state == QLatin1String("progress")) {
        auto* box = new ProgressBox;   // as the retraining shows it
        box->setText(Msg(529), 529);
        box->setProgress(3, 16);
        box->show();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    return demo::RunWindowShot(argc, argv, {"mm_settings_shots", kStates, [](const QString& state, int language) { return writeParameters(state, language); }, drive});
}
