#pragma once
// The start-up sequence of the program, step by step, so that the order can
// be checked without starting the whole machine.
#include <QString>
#include <functional>

#include "othernetfactory.h"
#include "settingspage.h"

class QWidget;
class RecordsPort;
class RelayLink;

struct StartupParts {
    // The remote link (steps 10 and 14).
    std::function<RelayLink*()> makeNet;
    // The relay link's first init and the relay process start (step 14).
    std::function<void(RelayLink*)> startRelay;
    // The records subsystem, installed just before the main window is built
    // (the window opens the user store while it is built); null: none.
    RecordsPort* records = nullptr;
    // The settings dialog's factory, installed with the records subsystem
    // (the window builds the dialog while it is built); null: none.
    SettingsPageFactory settingsPage;
    // The other-network dialog's factory, installed with the settings
    // dialog's; null: none.
    OtherNetDialogFactory otherNetDialog;
    // The main window (step 13).
    std::function<QWidget*()> makeMainWindow;
    // Whether the remote system is on in the live parameters.
    std::function<bool()> netEnabled;
    // Where the INFO lines of the sequence go (glog by default).
    std::function<void(const QString&)> logInfo;
};

class Startup {
public:
    explicit Startup(StartupParts parts);
    // The real program's parts.
    static StartupParts ProgramParts();

    // Step 1: the panel device ("/dev/led"); gfLED >= 0 when it opened.
    static void OpenPanelDevice();
    // Steps 4 to 12, after the application object exists.
    void BeforeMainWindow(char** argv);
    // The UVC capture path and the GigE address repair, on the panel only;
    // the UVC capture path also off the panel with MOULDMON_UVC=1.
    static void InstallCameraServices();
    // MOULDMON_UVC is "1": real UVC cameras off the panel.
    static bool RealUvcRequested();
    // The records subsystem, then steps 13 and 14; returns the main window.
    QWidget* MakeMainWindow();

    static const char* const kVersionLine;   // "2.5.0 release"
    static const char* const kRelayLine;     // "(start init) 'NetClinet' will restart..."

private:
    StartupParts parts_;
};
