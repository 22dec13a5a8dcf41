#pragma once
// What the settings dialog needs of the main window.  The program's adapter
// (MoJuWizardSettingsHost) forwards to MoJuWizard; tests use
// FakeSettingsHost, which records every call.  GUI thread only.
#include <QSqlDatabase>
#include <QString>

#include "onekeyexposure.h"

#include <functional>

namespace confirmplan {
struct StepCountChange;
}

// The live camera settings one setter applies to a camera view.
enum class CameraSetting { Exposure, Gain, Sharpness, Contrast, Gamma, HMirror, VMirror };

class SettingsHost {
public:
    virtual ~SettingsHost() = default;

    // Access: the operator's level (lowered by every Confirm) and the
    // service gate of the network, I/O and advanced pages.
    virtual int accessLevel() const = 0;
    virtual void setAccessLevel(int level) = 0;
    virtual bool CheckRoot() = 0;

    // The window's switches the pages read and write.
    virtual bool saveRawImages() const = 0;
    virtual void setSaveRawImages(bool on) = 0;
    virtual int captureModeCopy() const = 0;
    virtual void setCaptureModeCopy(int mode) = 0;
    virtual int leftPairActive() const = 0;
    virtual void setLeftPairActive(int on) = 0;

    // Cameras in use (slots 0 .. cameraCount() - 1).
    virtual int cameraCount() const = 0;
    // Applies one setting of the parameter record the camera code reads now
    // (the edit copy while the dialog is shown) to camera view slot.
    virtual void applyCameraSetting(int slot, CameraSetting setting) = 0;
    // The camera's own defaults, read back into the edit copy.
    virtual void restoreCameraDefaults(int slot) = 0;
    // Capture mode of every camera in use from the live record.
    virtual void changeCameraTrigger(int slot) = 0;
    virtual void applyCaptureSpeed() = 0;
    // The main window shows camera slot alone (viewCamera, ChangeCammer).
    virtual void showCameraAlone(int slot) = 0;
    virtual void repaintViews() = 0;
    // The one-key exposure: a 2 s run of camera slot's automatic exposure
    // (a timer only for a camera without one); done gets what the camera
    // settled on at the end of a run that read it back.  Cancel ends a run
    // with nothing handed over.
    virtual void startOneKeyExposure(int slot, std::function<void(const OneKeyExposureResult&)> done) = 0;
    virtual void cancelOneKeyExposure() = 0;

    // The engines: positioning shape and training of one detection.
    virtual void createShape(int slot, int detection) = 0;
    virtual void varTrain(int slot, int detection) = 0;
    // The areas of camera slot copied onto the partner detections (by
    // systemMode) in a copy of its saved set, and that copy saved on db
    // (nesting in the caller's transaction).  The copies replace the saved
    // sets and their masks only at commitCopiedAreas; dropCopiedAreas
    // forgets them (the save failed).
    virtual bool saveCopiedAreas(int slot, int systemMode, QSqlDatabase db, QString* error) = 0;
    virtual void commitCopiedAreas() = 0;
    virtual void dropCopiedAreas() = 0;
    // PARAM.db.
    virtual QSqlDatabase paramDatabase() = 0;

    // The area page's detection list and the cycle's bookkeeping for a new
    // detection count in the multi-detection mode.
    virtual void changeDetectNum(int count) = 0;
    // change is the plan's bookkeeping (run set); the cycle applies it as is.
    virtual void resetCycleForDetectCount(const confirmplan::StepCountChange& change) = 0;

    // The side bar: shown children, manual-trigger choice, capture mode.
    virtual void sideBarShowHide(int mode) = 0;
    virtual void sideBarResetManualTrig() = 0;
    virtual void sideBarResetCaptureMode() = 0;

    // The operation record and the counters file.
    virtual void insertRecord(const QString& text) = 0;
    virtual void countWrite() = 0;

    // The cycle-time page, opened over the dialog.
    virtual void showDetectCycle() = 0;

    // <NETWORK> network page
    // The system's interfaces and host name as they are now, into card's
    // cardInfo and hostName (the MAC map is left alone); false and nothing
    // read when the program has no reader.
    virtual bool readSystemNetCard(struct NetCard& card) = 0;
    // The other-network dialog; null while the window has none.
    virtual class OtherNetDialog* otherNetDialog() = 0;
    // </NETWORK>

    // <MULTIDETECT> multi-detection and I/O names
    // The window's I/O-name dialog; null while the window has none.
    virtual class QWidget* ioNameDialog() = 0;
    // </MULTIDETECT>

    // <RECORD> record page and export
    // The open connection to today's operation record ("dbRecord") and the
    // folder of archived days ("./RECORD").
    virtual QSqlDatabase recordDatabase() = 0;
    virtual QString recordDirectory() const = 0;
    // </RECORD>

    // <GROUPS> parameter groups
    // </GROUPS>

    // <MAINTENANCE> maintenance
    // </MAINTENANCE>

    // <DIALOGS> window dialogs
    // </DIALOGS>
};
