#include "mapplication.h"

#include "clock.h"
#include "commandrunner.h"
#include "globals.h"
#include "paneldevice.h"
#include "terminator.h"
#include "wizardpara.h"

#include <QMouseEvent>
#include <QTimer>

bool gisRunWTD = false;

namespace {

constexpr int kNoCamera = 0;   // gCameraID of a panel without cameras

enum class Touch { None, Press, Release };

// A finger on the screen is the left button, also while it moves; any other
// button state is a release.  Moves without a button (a mouse hovering) are
// no touch at all.
Touch classify(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        return Touch::Release;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove: {
        const Qt::MouseButtons buttons = static_cast<const QMouseEvent*>(event)->buttons();
        if (buttons == Qt::LeftButton)
            return Touch::Press;
        return buttons == Qt::NoButton ? Touch::None : Touch::Release;
    }
    default:
        return Touch::None;
    }
}

void restartIdleTimer(QTimer* timer, int seconds)
{
    if (timer && seconds > 0)
        timer->start(seconds * 1000);
}

} // namespace

MApplication::MApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    installEventFilter(this);
}

MApplication::~MApplication() = default;

bool MApplication::eventFilter(QObject* watched, QEvent* event)
{
    if (!host_ || !watched->isWindowType())
        return QApplication::eventFilter(watched, event);
    const Touch touch = classify(event);
    if (touch == Touch::None)
        return QApplication::eventFilter(watched, event);

    if (gCameraID != kNoCamera) {
        if (touch == Touch::Release)
            return false;
    } else {
        QTimer* hold = host_->calibrationTimer();
        if (touch == Touch::Press) {
            if (hold && !hold->isActive() && !host_->calibrationArmed())
                hold->start(kCalibrationHoldMs);
        } else if (host_->calibrationArmed()) {
            calibrateAndReboot();
            return false;
        } else {
            if (hold && hold->isActive())
                hold->stop();
            return false;
        }
    }

    if (gpWPara) {
        restartIdleTimer(host_->logoutTimer(), gpWPara->autoLogoutSeconds);
        restartIdleTimer(host_->screenOffTimer(), gpWPara->screenOffSeconds);
    }
    if (host_->screenOff()) {
        host_->LCDOnOff(1);
        return true;   // the waking touch does nothing else
    }
    return false;
}

void MApplication::calibrateAndReboot()
{
    TouchHost* host = host_;
    // The long press runs the tool without a point count: it asks itself.
    CalibrateAndReboot(0, [host] { host->FLushAll(); }, [host] { host->ReopenAll(); });
    host->setCalibrationArmed(0);
}

void CalibrateAndReboot(int points, const std::function<void()>& flushAll, const std::function<void()>& reopenAll)
{
    CommandRunner& runner = commandRunner();
    QStringList args;
    if (points > 0)
        args << QString::number(points);
    runner.run(QStringLiteral("./tsc"), args, -1);   // returns when the tool ends
    appClock().sleepMs(500);
    if (flushAll)
        flushAll();
    // Still running: the program must not go on with its databases closed.
    if (!RequestReboot() && reopenAll)
        reopenAll();
}

void PanelBacklight(int on)
{
    PanelDevice& panel = panelDevice();
    if (panel.isOpen())
        panel.control(on ? PanelDevice::RequestBacklightOn : PanelDevice::RequestBacklightOff, 0);
}

bool RequestReboot()
{
    CommandRunner& runner = commandRunner();
    const CommandResult r = runner.run(QStringLiteral("reboot"), {}, 10000);
    return r.ok() && runner.isReal();
}

bool RequestPowerOff()
{
    CommandRunner& runner = commandRunner();
    const CommandResult r = runner.run(QStringLiteral("init"), {QStringLiteral("0")}, 10000);
    return r.ok() && runner.isReal();
}

void StopWTD()
{
    gisRunWTD = false;
    appClock().sleepMs(1000);
}

void Exit(int status)
{
    gisRunWTD = false;
    appClock().sleepMs(1000);
    terminator::exitProcess(status);
}
