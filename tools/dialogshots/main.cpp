// mm_dialog_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) with one of the settings dialog's
// side dialogs opened the way the operator opens it, then the screen
// photographed.
//
//   mm_dialog_shots --state S --lang L --out FILE
//
// States: cavity (the cavity names, one name typed), viewer1 and viewer2
// (the configuration viewer on each page), help (a help picture with its
// buttons), renumber3 and renumber8 (the renumbering of the demo's cameras;
// shots.sh lays out as many).  The configuration files and the help
// pictures are written first when the directory has none.  Run by shots.sh
// beside it, under Xvfb with the board simulator.
#include "combobox.h"
#include "demolayout.h"
#include "edit.h"
#include "editcavitywidget.h"
#include "hardwareconfigurationwidget.h"
#include "mapplication.h"
#include "messages.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "settingspage.h"
#include "wizardpara.h"
#include "wizardparawidget.h"
#include "windowshot.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

const QStringList kStates = {"cavity", "viewer1", "viewer2", "help", "renumber3", "renumber8"};

void writeIfMissing(const QString& file, const QByteArray& text)
{
    QFile f(file);
    if (!f.exists() && f.open(QIODevice::WriteOnly))
        f.write(text);
}

// A panel's configuration as the viewer expects it: headings without a
// value, names and values with '_' for spaces.
void writeConfiguration()
{
    writeIfMissing(QStringLiteral("conf.txt"),
                   "Panel\n"
                   "CPU_Type\tQuad_Core_1.8_GHz\n"
                   "Memory\t2_GB\n"
                   "Storage\t16_GB_eMMC\n"
                   "Display\t15.6_inch_touch\n"
                   "Camera\n"
                   "Count\t0\n"
                   "Model\tMV-GE500C\n"
                   "Lens\t8_mm\n"
                   "IO_board\n"
                   "Inputs\t10\n"
                   "Outputs\t9\n"
                   "Serial_port\t115200_8N1\n");
    writeIfMissing(QStringLiteral("confnext.txt"),
                   "Network\n"
                   "Ethernet\t2_x_1000_Mbit/s\n"
                   "Wireless\t802.11n\n"
                   "Power\n"
                   "Supply\t24_V_DC\n"
                   "Consumption\t36_W\n"
                   "Software\n"
                   "Version\t2.5.0\n");
}

// Eight help pictures per folder, each a page of the screen's size.
void writeHelpPictures(QSize screen)
{
    for (const char* folder : {"help", "help-en"}) {
        QDir().mkpath(QString::fromLatin1(folder));
        for (int i = 0; i < 8; ++i) {
            const QString file = QStringLiteral("%1/page%2.png").arg(QLatin1String(folder)).arg(i + 1, 2, 10, QLatin1Char('0'));
            if (QFile::exists(file))
                continue;
            QImage page(screen, QImage::Format_RGB32);
            page.fill(QColor(236, 240, 244));
            QPainter p(&page);
            p.setPen(QPen(QColor(40, 80, 140), 4));
            p.drawRect(40, 100, screen.width() - 80, screen.height() - 140);
            QFont f = p.font();
            f.setPixelSize(screen.width() > 1024 ? 48 : 32);
            p.setFont(f);
            p.drawText(QRect(40, 100, screen.width() - 80, screen.height() - 140), Qt::AlignCenter,
                       QStringLiteral("Help %1 / 8").arg(i + 1));
            page.save(file);
        }
    }
}

WizardParaWidget* dialog()
{
    return gpWin && gpWin->settingsPage ? dynamic_cast<WizardParaWidget*>(gpWin->settingsPage->pageWidget()) : nullptr;
}

void drive(const QString& state)
{
    if (state == QLatin1String("help")) {
        gHelpC = 1;
        gpWin->SlotHelp();
        return;
    }
    gpWin->SlotSystemPara();
    WizardParaWidget* d = dialog();
    if (!d)
        return;
    gpWin->accessLevel = AccessLevelAdvanced;   // the service gate is open
    if (state == QLatin1String("cavity")) {
        d->SlotToAdvance();
        d->SlotShowEditcavityWidget();
        if (d->cavityDialog) {
            d->cavityDialog->cameraBox->setCurrentIndex(d->cavityDialog->cameraBox->count() - 1);
            d->cavityDialog->nameEdit[5]->setText(QStringLiteral("B-204"));
        }
    } else if (state.startsWith(QLatin1String("viewer"))) {
        d->SlotToAdvance();
        d->SlotShowHardwareConfigurationWidget();
        if (state == QLatin1String("viewer2") && d->configurationViewer)
            d->configurationViewer->slotNextpage();
    } else if (state.startsWith(QLatin1String("renumber"))) {
        d->SlotToCamera();
        d->SlotTuneCamera();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    return demo::RunWindowShot(argc, argv, {"mm_dialog_shots", kStates, [](const QString&, int language) {
        if (!demo::writeParameters(language, [](WizardPara& p) { p.ioLostAlarm = 0; }))
            return false;
        writeConfiguration();
        writeHelpPictures(QGuiApplication::primaryScreen()->size());
        return true;
    }, drive});
}
