#pragma once
// The operator's run-control commands: start and stop, template re-sampling
// and the return from it, skip mode, manual snapshots, the capture-mode
// switch, opening the area page for editing, and the two access gates.
// Like the cycle it works on the main window's state and reaches pages,
// boxes and side bar only through RunControlHost, so it runs headless in
// tests.  The main window forwards its slots of the same names here.  GUI
// thread only.
//
// Every question is a modal box: the cycle goes on while it is open, so
// each command looks at the pages and the alarm again after the answer.
#include <QString>

class ControlPort;
class CycleController;
class CycleHost;
class RelayLink;
class SlotHost;
struct CycleState;

// The login prompt and the stop-permission dialog of the user accounts.
// Absent until the accounts exist: then a protected command is allowed only
// while the password option is off.
class AccessGate {
public:
    virtual ~AccessGate() = default;
    // Runs the login prompt modally; it sets the access level itself.
    virtual void execPasswordBox() = 0;
    // Runs the stop-permission dialog modally: false when not accepted, else
    // true with the level it grants.
    virtual bool execStopPasswordDialog(int* level) = 0;
};

// What the commands need of the main window beyond the cycle's host.
class RunControlHost {
public:
    virtual ~RunControlHost() = default;

    // The settings page and the area page (some commands look only at these).
    virtual bool settingsOrAreaPageVisible() const = 0;
    // Any page: the settings page, the area page, the camera renumbering,
    // I/O name or cavity dialog.
    virtual bool anyPageVisible() const = 0;

    // The shared question box: the answer (1 = Yes) to message id.
    virtual int ask(int messageId, const QString& text) = 0;
    // The shared message box, waited for.
    virtual void warn(int messageId, const QString& text) = 0;

    // The area page: every template but template 0 deleted (files and
    // memory, each reported to the relay); an area proposed for detection
    // d of the shown camera; the cavity boxes of the shown camera shown.
    virtual void SlotTempDeleteAll() = 0;
    virtual void AutogenerationRegion(int d) = 0;
    virtual void showCavityBoxes(int camera) = 0;
    virtual void hideStatusStrip() = 0;

    // The side bar: the detection chosen for a manual snapshot, and the
    // capture-mode button's label.
    virtual int CurChooseTrig() const = 0;
    virtual void ReSetCaptureMode() = 0;

    // The serial numbers of SN.db (SaveSN).
    virtual void SaveSN(int clear) = 0;
};

class RunControl {
public:
    struct Ports {
        SlotHost* slotHost = nullptr;       // run state, view fields, records, parameters
        CycleState* state = nullptr;
        CycleHost* cycleHost = nullptr;
        RunControlHost* host = nullptr;
        CycleController* cycle = nullptr;   // StartDetect ... and the camera slots
        ControlPort* io = nullptr;
        RelayLink* relay = nullptr;         // may be null: nothing is sent
        int* accessLevel = nullptr;         // the window's accessLevel
        AccessGate* gate = nullptr;         // null until the user accounts exist
    };
    explicit RunControl(const Ports& ports);

    void SlotStartStop();
    void SlotReTrain();
    void CheckArea(bool flag);
    void BackTrain();
    void SlotStartSkipDetect();
    void SlotManualTrig(int d);
    void SlotManualTrig0() { SlotManualTrig(0); }
    void SlotManualTrig1() { SlotManualTrig(1); }
    void SlotMuliManualTrig();
    void CameraChangeTrig();
    void SlotAdjustArea();
    int CheckPassword();
    bool CheckRoot();

    // Position of the no-camera snapshot's picture counter (0 .. 49).
    int snapshotCounter() const { return snapshotCounter_; }

private:
    Ports p_;
    int snapshotCounter_ = 0;
};
