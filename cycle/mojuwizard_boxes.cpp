// The main window's boxes for a lost I/O link and lost cameras: shown
// without blocking, so the loop goes on trying to reconnect behind them.
#include "mojuwizard.h"

#include "messages.h"
#include "warnbox.h"

void MoJuWizard::MakeLostLinkBoxes()
{
    lostLinkBox = MakeOwnBox();
    lostCameraBox = MakeOwnBox();
    lostCameraBox->setText(Msg(587), 587);
    reconnectCameraBox = MakeOwnBox();
    reconnectCameraBox->setText(Msg(588), 588);
}

// The boxes are children of the window (as on the panel, where no window
// manager stacks dialogs): shown means shown within it, on top of the views.
bool MoJuWizard::lostLinkBoxVisible() const { return !lostLinkBox->isHidden(); }

void MoJuWizard::showLostLinkBox(const QString& text)
{
    lostLinkBox->setText(text);
    lostLinkBox->show();
    lostLinkBox->raise();
}

void MoJuWizard::setLostLinkBoxText(const QString& text)
{
    lostLinkBox->setText(text);
    lostLinkBox->update();
}

void MoJuWizard::showLostCameraBox()
{
    lostCameraBox->show();
    lostCameraBox->raise();
}

void MoJuWizard::hideLostCameraBox() { lostCameraBox->hide(); }

void MoJuWizard::showReconnectCameraBox()
{
    reconnectCameraBox->show();
    reconnectCameraBox->raise();
}
