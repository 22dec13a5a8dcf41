#pragma once
// What the detection cycle asks of the rest of the program.  The controller
// sees cameras, the main window and the record stores only through these
// interfaces, so it runs headless in tests with recording fakes
// (tests/support/fakecycle*.h).
#include "cyclecamera.h"

#include <QDateTime>
#include <QString>

// What the cycle asks of the main window beyond the camera host.
class CycleHost {
public:
    virtual ~CycleHost() = default;

    // The lost-link box: shown (not blocking) with text, its text changed and
    // repainted while it is visible.
    virtual bool lostLinkBoxVisible() const = 0;
    virtual QString lostLinkBoxText() const = 0;
    virtual void showLostLinkBox(const QString& text) = 0;
    virtual void setLostLinkBoxText(const QString& text) = 0;

    // The no-input warning: a box of its own, never the shared gpWarnBox.
    virtual void showNoInputBox(const QString& text) = 0;
    virtual void hideNoInputBox() = 0;

    // The area page: open for an alarm (Reset), close (Restart), visible.
    virtual void areaPageReset(bool live) = 0;
    virtual void areaPageRestart() = 0;
    virtual bool areaPageVisible() const = 0;
    // The alarm's reset (door, ejector back): presses the area page's
    // "Re-detected", which saves the page's edits before the held detection
    // is judged again (the cycle's ReDetectHeld), and waits while a page
    // command is in a box.
    virtual void clickReCheckButton() = 0;
    // Opens the area page after re-sampling, with the access check.
    virtual void CheckArea(bool ask) = 0;

    virtual void hideHelpPage() = 0;
    virtual void hideSettingsPage() = 0;
    virtual void hideSideBar() = 0;
    virtual void setSkipButtonText(const QString& text) = 0;
    virtual void setStartStopButtonText(const QString& text) = 0;

    virtual void repaintWindow() = 0;
    virtual void repaintStatusStrip() = 0;

    // The lost-camera check and restart of the camera code.
    virtual void CameraCheck(int camera) = 0;
    virtual void CameraRestart() = 0;

    // The backlight: dark, switch on, restart the blanking timer.
    virtual bool screenIsOff() const = 0;
    virtual void LCDOnOff(int on) = 0;
    virtual void restartScreenOffTimer() = 0;

    // count.txt.
    virtual void CountWrite() = 0;
};

// The hourly statistics (records/); absent until that store exists.
class StatsSink {
public:
    virtual ~StatsSink() = default;
    // One verdict; at is the one instant of the verdict, so its hour and the
    // day's roll-over cannot disagree.
    virtual void Add(const QDateTime& at, bool isOK, int camera, int detection) = 0;
};

// The cycle-time log (records/); absent until that store exists.
class CycleLog {
public:
    virtual ~CycleLog() = default;
    // One row: the start of the cycle that just ended and its length.
    virtual void insertDate(const QString& roundstart, double roundtime) = 0;
    virtual QDate logDate() const = 0;
    virtual void checkDate() = 0;
};
