#pragma once
// The application object.  It looks at every touch (a left-button mouse
// event on a window) before Qt dispatches it: a press restarts the idle
// timers (automatic logout, screen blanking) and wakes a blanked screen, the
// waking press being swallowed; on a panel without cameras a 3 s hold
// followed by a release runs the touch-screen calibration and reboots.
#include <QApplication>

#include <functional>

class QTimer;

// What the application object uses of the main window, which owns the
// timers, the flags and the databases.
class TouchHost {
public:
    virtual ~TouchHost() = default;
    // Each may be null while the main window has not made it yet.
    virtual QTimer* logoutTimer() = 0;        // timeout: TimerLogout
    virtual QTimer* screenOffTimer() = 0;     // timeout: TimerLCD
    virtual QTimer* calibrationTimer() = 0;   // 3000 ms; timeout: TSClibrate
    // Set by TSClibrate after the long press; the next release calibrates.
    virtual int calibrationArmed() const = 0;
    virtual void setCalibrationArmed(int armed) = 0;
    virtual int screenOff() const = 0;        // the backlight is off
    virtual void LCDOnOff(int on) = 0;
    virtual void FLushAll() = 0;              // closes the databases
    virtual void ReopenAll() = 0;             // opens them again
};

class MApplication : public QApplication {
    Q_OBJECT
public:
    MApplication(int& argc, char** argv);
    ~MApplication() override;

    // The main window, once it exists; null detaches.
    void setTouchHost(TouchHost* host) { host_ = host; }
    TouchHost* touchHost() const { return host_; }

    static constexpr int kCalibrationHoldMs = 3000;

protected:
    // Acts only on events for windows, so each touch is seen once (the
    // window passes it on to the widget under the finger afterwards).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void calibrateAndReboot();
    TouchHost* host_ = nullptr;
};

// Switches the panel backlight on (non-zero) or off through the panel
// device; a device that is not open is skipped silently.
void PanelBacklight(int on);

// The watchdog-run flag: set by the main window, cleared before a reboot,
// power-off or exit.
extern bool gisRunWTD;

// Before a reboot or power-off: clears gisRunWTD and waits one second.
void StopWTD();
// Runs "reboot".  True when the panel is going down; false when the command
// failed or did not really run (the dry run, tests): the program goes on,
// and the caller opens again what it closed for the reboot.
bool RequestReboot();
// Runs "init 0" (power off); true and false as for RequestReboot.
bool RequestPowerOff();
// The touch-screen calibration, for the long press and the settings
// dialog alike: runs "./tsc" (with the point count when points > 0) and
// waits for it, waits 500 ms, closes the databases (flushAll) and reboots;
// a reboot that does not happen opens them again (reopenAll).
void CalibrateAndReboot(int points, const std::function<void()>& flushAll, const std::function<void()>& reopenAll);
// Clears gisRunWTD, waits one second and ends the process with status.
void Exit(int status);
