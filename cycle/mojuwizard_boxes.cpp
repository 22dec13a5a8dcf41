// The main window's alarm boxes for a lost I/O link and lost cameras: shown
// without blocking, so the loop goes on trying to reconnect behind them.
#include "mojuwizard.h"

#include "lostlinkboxes.h"
#include "operationrecord.h"

// Step 5: made once for the program's life, without parent (they stay
// top-level; the language comes later, RelabelLostLinkBoxes).  A window made
// again (tests) takes over the boxes that exist and their shutdown records.
void MoJuWizard::MakeLostLinkBoxes()
{
    if (!gpLostComWarnBox)
        gpLostComWarnBox = new LostComWarnBox(nullptr);
    if (!gpLostCameraWarnBox)
        gpLostCameraWarnBox = new LostCameraWarnBox(nullptr);
    if (!gpReconnectCameraWarnBox)
        gpReconnectCameraWarnBox = new ReconnectCameraWarnBox(nullptr);
    gpLostCameraWarnBox->records = {
        [this](const QString& text) { InsertRecord(text); },
        [this] { FLushAll(); },
        [this] { record_->ReopenAll(); },
    };
}

bool MoJuWizard::lostLinkBoxVisible() const { return !gpLostComWarnBox->isHidden(); }

QString MoJuWizard::lostLinkBoxText() const { return gpLostComWarnBox->message; }

void MoJuWizard::showLostLinkBox(const QString& text)
{
    gpLostComWarnBox->setText(text);
    gpLostComWarnBox->show();
    gpLostComWarnBox->raise();
    gpLostComWarnBox->update();
}

void MoJuWizard::setLostLinkBoxText(const QString& text)
{
    gpLostComWarnBox->setText(text);
    gpLostComWarnBox->update();
}

void MoJuWizard::showLostCameraBox()
{
    gpLostCameraWarnBox->show();
    gpLostCameraWarnBox->raise();
}

void MoJuWizard::hideLostCameraBox() { gpLostCameraWarnBox->hide(); }

void MoJuWizard::showReconnectCameraBox()
{
    gpReconnectCameraWarnBox->show();
    gpReconnectCameraWarnBox->raise();
}
