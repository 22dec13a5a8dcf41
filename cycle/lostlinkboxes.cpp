#include "lostlinkboxes.h"

#include "cameraglobals.h"
#include "clock.h"
#include "colorbutton.h"
#include "commandrunner.h"
#include "iothread.h"
#include "mapplication.h"
#include "messages.h"

#include <glog/logging.h>

LostComWarnBox* gpLostComWarnBox = nullptr;
LostCameraWarnBox* gpLostCameraWarnBox = nullptr;
ReconnectCameraWarnBox* gpReconnectCameraWarnBox = nullptr;

LostComWarnBox::LostComWarnBox(QWidget* parent) : WarnBox(parent) { setModal(false); }

void LostComWarnBox::hideEvent(QHideEvent* event)
{
    WarnBox::hideEvent(event);
    if (gisLostCom.load() != 0)
        QMetaObject::invokeMethod(this, &LostComWarnBox::showAgain, Qt::QueuedConnection);
}

void LostComWarnBox::showAgain()
{
    if (gisLostCom.load() == 0 || !isHidden())
        return;
    // The link is still lost, whatever the box said when it was pressed.
    setText(Msg(589), 589);
    show();
    raise();
}

LostCameraWarnBox::LostCameraWarnBox(QWidget* parent) : WarnBox(parent)
{
    setModal(false);
    setText(Msg(587), 587);
    okButton->setText(Msg(209));
    disconnect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(okButton, &QPushButton::clicked, this, &LostCameraWarnBox::acceptShutdown);
}

void LostCameraWarnBox::acceptShutdown()
{
    if (gisLost) {
        if (records.insertRecord)
            records.insertRecord(QStringLiteral("因丢失相机手动关闭电源"));
        StopWTD();
        if (records.flushAll)
            records.flushAll();
        appClock().sleepMs(1000);
        CommandRunner& runner = commandRunner();
        const CommandResult r = runner.run(QStringLiteral("init"), {QStringLiteral("0")}, 10000);
        // Only a command that really ran takes the panel down; otherwise the
        // program goes on and needs the databases it closed.
        if (!(r.ok() && runner.isReal())) {
            LOG(WARNING) << "power-off (init 0) did not take the panel down, exit code " << r.exitCode
                         << "; running on with the databases reopened";
            if (records.reopenAll)
                records.reopenAll();
        }
    }
    accept();
}

ReconnectCameraWarnBox::ReconnectCameraWarnBox(QWidget* parent) : WarnBox(parent)
{
    setModal(false);
    setText(Msg(588), 588);
}

void RelabelLostLinkBoxes()
{
    for (WarnBox* box : {static_cast<WarnBox*>(gpLostComWarnBox), static_cast<WarnBox*>(gpLostCameraWarnBox),
                         static_cast<WarnBox*>(gpReconnectCameraWarnBox)}) {
        if (!box)
            continue;
        box->Relabel();
        if (box->messageId >= 0)
            box->setText(Msg(box->messageId), box->messageId);
    }
    if (gpLostCameraWarnBox)
        gpLostCameraWarnBox->okButton->setText(Msg(209));
}
