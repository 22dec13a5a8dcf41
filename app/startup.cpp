#include "startup.h"

#include "cnt_net.h"
#include "cameraservices.h"
#include "commandrunner.h"
#include "copy2movedisk.h"
#include "demodisk.h"
#include "gige_addressrepair.h"
#include "glog.h"
#include "kitfonts.h"
#include "mainwindowrelayhost.h"
#include "globals.h"
#include "messages.h"
#include "mojuwizardsettingshost.h"
#include "mojuwizard.h"
#include "netcardinfo.h"
#include "othernetwidget.h"
#include "paneldevice.h"
#include "paths.h"
#include "pixmaps.h"
#include "recordsseam.h"
#include "relaylink.h"
#include "simuvc.h"
#include "uvccapture.h"
#include "wizardpara.h"

#include <QCoreApplication>
#include <QDir>
#include <glog/logging.h>

const char* const Startup::kVersionLine = "2.5.0 release";
const char* const Startup::kRelayLine = "(start init) 'NetClinet' will restart...";

Startup::Startup(StartupParts parts) : parts_(std::move(parts)) {}

StartupParts Startup::ProgramParts()
{
    StartupParts p;
    p.makeNet = [] {
        CntNetOptions options;
        // The relay is the link's own child: one at a time, ended with the link.
        options.relayCommand = [] { return RelayProcess::currentCommand(); };
        return new CNT_Net(options);
    };
    p.startRelay = [](RelayLink* link) {
        if (auto* net = dynamic_cast<CNT_Net*>(link))
            net->CNT_FirstInit();
        link->CNT_ReStart();
    };
    static RecordsSeam records;
    p.records = &records;
    p.settingsPage = MakeSettingsDialog;
    p.otherNetDialog = [](QWidget* window) -> QWidget* {
        return new OtherNetWidget(window, dynamic_cast<CNT_Net*>(gpNet));
    };
    // The network page reads the system's interfaces as the link does.
    MoJuWizardSettingsHost::systemNetCardReader() = ReadNetCard;
    p.makeMainWindow = [] {
        auto* window = new MoJuWizard(nullptr);
        // The messages read the window from now on, and never after it is gone.
        if (auto* net = dynamic_cast<CNT_Net*>(gpNet)) {
            net->setRelayHost(std::make_shared<MainWindowRelayHost>(*window));
            // The screen share grabs the main window.
            net->setShareWindow(window);
            QObject::connect(window, &QObject::destroyed, net, [net] { net->setRelayHost(nullptr); });
        }
        return window;
    };
    p.netEnabled = [] { return gpWPara && gpWPara->netEnabled != 0; };
    p.logInfo = [](const QString& line) { LOG(INFO) << line.toStdString(); };
    return p;
}

void Startup::OpenPanelDevice()
{
    if (auto* dev = dynamic_cast<LinuxPanelDevice*>(&panelDevice()))
        gfLED = dev->fd();
    else
        gfLED = panelDevice().isOpen() ? 0 : -1;
}

void Startup::BeforeMainWindow(char** argv)
{
    // UTF-8 is Qt 6's codec for everything: nothing to set.
    const QString glogDir = paths().glogDir;
    QDir().mkpath(glogDir);
    if (!gGlog && argv)
        gGlog = new GLog(glogDir.toStdString(), argv, QCoreApplication::instance());
    parts_.logInfo(QString::fromLatin1(kVersionLine));

    // The demo's folder standing in for the USB disk, before anything mounts.
    const bool demoDisk = InstallDemoDiskFromEnvironment();
    if (demoDisk)
        parts_.logInfo(QStringLiteral("demo USB disk: %1").arg(paths().mountPoint));

    CreateSharedLocks();
    FillMessageTable();
    LoadPixmaps();
    RegisterKitFonts();

    gpNet = parts_.makeNet();
    // Off the panel the dry run answers no blkid, so the copy could never
    // find a disk and would only log its refused commands every pass; the
    // demo's folder disk does answer them.
    Copy2MoveDisk* usbCopy = Copy2MoveDisk::instance();
    if (commandRunner().isReal() || demoDisk) {
        usbCopy->start();
        // The worker ends before the program's statics go.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, usbCopy, [usbCopy] { usbCopy->stop(); });
    }
    gAppDirPath = QCoreApplication::applicationDirPath();
    InstallCameraServices();
}

bool Startup::RealUvcRequested()
{
    return qEnvironmentVariable("MOULDMON_UVC") == QLatin1String("1");
}

void Startup::InstallCameraServices()
{
    // GigE packets are sent only on the panel.  Video devices are read on
    // the panel, or off it when asked for with MOULDMON_UVC=1 (capture only:
    // the path reads /dev/video* and changes nothing on the machine);
    // otherwise the simulated camera bus is the only source of frames, its
    // UVC devices read through the same capture path.
    if (panelModeEnabled() || RealUvcRequested()) {
        setUvcDeviceList(UvcDeviceList());   // the kernel's list and /dev/video%1
        installUvcCapture();
    } else {
        installSimulatedUvc();
    }
    if (auto repair = makeGigeAddressRepairFromEnvironment())
        setAddressRepair(repair);
}

QWidget* Startup::MakeMainWindow()
{
    setRecordsPort(parts_.records);
    setSettingsPageFactory(parts_.settingsPage);
    setOtherNetDialogFactory(parts_.otherNetDialog);
    QWidget* window = parts_.makeMainWindow();
    if (parts_.netEnabled() && RelayReady(false)) {
        parts_.startRelay(gpNet);
        parts_.logInfo(QString::fromLatin1(kRelayLine));
    }
    return window;
}
