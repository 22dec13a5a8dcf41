#pragma once
// What the camera code needs of the main window.  The main window implements
// it; tests use a recording host.  The fields carry the main window's names
// so that the code reads the same whichever object holds them.
#include "globals.h"
#include "screenstates.h"

#include <QSqlDatabase>
#include <QString>

#include <atomic>

class CameraBackend;

// One camera's values of a parameter record.
struct CameraValues {
    int exposure = 0;    // ms
    int gain = 0;        // 0..64
    int sharpness = 0;   // 0..100
    int contrast = 0;
    int gamma = 0;       // 0..250
    int hMirror = 0;
    int vMirror = 0;
};

// The camera switches of a parameter record.
struct CameraSwitches {
    int autoExposure = 0;
    int autoShading = 0;
    int externalTrigger = 0;
    int captureSpeed = 0;
    int cameraCheck = 0;
};

class CameraHost {
public:
    virtual ~CameraHost() = default;

    // Set and cleared only by the camera open and close.
    bool cameraOpened[kCameraSlots] = {};
    // Raised by SDK callbacks on their own threads, cleared by the restart.
    std::atomic<bool> cameraLostSignal{false};
    int stallSeconds[kCameraSlots] = {};
    int cameraFps[kCameraSlots] = {};
    int runState = RunStateDetecting;   // RunState*

    // The camera of slot k (the slot object); null for a slot not built.
    virtual CameraBackend* cameraBackend(int slot) = 0;

    // Parameter records: the edit copy while the settings dialog is visible.
    virtual bool settingsPageVisible() const = 0;
    virtual CameraValues cameraValues(int slot, bool editCopy) const = 0;
    virtual CameraSwitches cameraSwitches(bool editCopy) const = 0;
    // Restore-defaults read-back into the edit copy.
    virtual void storeEditCameraValues(int slot, const CameraValues& values) = 0;

    // Operation record.
    virtual void insertRecord(const QString& text) = 0;
    // Output word: set one logical output, then publish the word.
    virtual void setOutput(int out, int on) = 0;
    virtual void flashOutputs() = 0;

    // The boxes of a camera loss, all without blocking.  They are shown and
    // hidden from the main loop's timer, so each is a box instance of its
    // own: the warn box here is the host's camera notice box, never the
    // shared gpWarnBox, which a page may be holding open in exec() (showing
    // our text in it would replace that page's message, hiding it would end
    // the page's wait).
    virtual void showLostCameraBox() = 0;
    virtual void hideLostCameraBox() = 0;
    virtual void showReconnectCameraBox() = 0;
    virtual void showWarnBox(const QString& text) = 0;   // message 39 of a loss
    virtual void hideWarnBox() = 0;                      // on restart; only our own notice
    virtual void repaintNow() = 0;        // repaint and process pending events

    // The slot's view: NG flag cleared by a loss, repaint after a trigger change.
    virtual void clearCameraOk(int slot) = 0;
    virtual void repaintView(int slot) = 0;

    // SN.db, the connection of the serial bindings.
    virtual QSqlDatabase serialDatabase() = 0;
};

// The main window as the camera code sees it; set by the main window's
// constructor before any camera code runs.
extern CameraHost* gpCameraHost;
