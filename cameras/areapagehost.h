#pragma once
// What the area page needs of the main window beyond a camera slot's host:
// the camera slots themselves, the cycle's alarm handling ("Re-detected",
// "Don't Detect", "Add As Temp"), access, the status strip, the help page
// and the result-picture folders.  The main window implements it; tests use
// FakeAreaPageHost, which records every call.  GUI thread only.
#include "slothost.h"

#include <QString>

class CammerWidget;

// The page commands that run a password dialog of their own (one instance
// per command, made on first use and kept).
enum AreaPageCommand {
    AreaPageCommandSkipMould = 0,     // "Don't Detect"
    AreaPageCommandAddTemplate = 1,   // "Add As Temp"
};

class AreaPageHost : public SlotHost {
public:
    ~AreaPageHost() override = default;

    // Camera slot c when it is in use (c < numCamera and built), else null.
    virtual CammerWidget* cameraSlot(int c) = 0;

    // The window's page mode (PageMode*); the page's closing writes it.
    virtual void setPageMode(int mode) = 0;
    // The last verdict had an NG camera.
    virtual bool cycleLastVerdictNg() const = 0;
    // The safety door opened since the cycle started.
    virtual bool safetyDoorOpened() const = 0;

    // Access: the login prompt's check (0 refused), and the command's own
    // one-shot dialog (true when accepted with a level other than 0).
    virtual int CheckPassword() = 0;
    virtual bool commandPasswordAccepted(AreaPageCommand command) = 0;

    // The cycle's half of "Re-detected": reset, the held detection's
    // interlock, the picture states, the detection run on every camera not
    // skipping the mould, userReCheck and the verdict.
    virtual void reDetectHeld() = 0;
    // The pieces "Don't Detect" for all cameras uses.
    virtual void ResetRun() = 0;
    virtual void setUserReCheck(bool on) = 0;
    virtual void CheckNG() = 0;
    // The page was opened at the end of re-sampling (gFromTrain): true once,
    // clearing the flag.
    virtual bool takeFromTrain() = 0;
    // Back from re-sampling to detection.
    virtual void BackTrain() = 0;

    // The status strip and the side bar.
    virtual void showStatusStrip() = 0;
    virtual void hideStatusStrip() = 0;
    // The help page on chapter index (gHelpC).
    virtual void showHelpPage(int index) = 0;
    // Both on-screen keypads hidden (their HideUpdate).
    virtual void hideKeypads() = 0;
    // Result-picture folder of camera c, detection d, kind 0 NG / 1 OK.
    virtual QString failImageDir(int c, int d, int kind) const = 0;
    // The automatic area of detection d on the camera shown alone.
    virtual void AutogenerationRegion(int d) = 0;
    // Repaints the window (every view).
    virtual void repaintAll() = 0;
};
