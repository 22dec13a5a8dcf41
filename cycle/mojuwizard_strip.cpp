// The main window's status strip.
#include "iostatuswidget.h"
#include "mojuwizard.h"

void MoJuWizard::MakeStatusStrip()
{
    statusStrip = new IOStatusWidget(this);
    // The parameter groups are the settings dialog's; until it exists there
    // is no list and no group is drawn.  That dialog hands its list over
    // through setParamGroups whenever it changes.
    statusStrip->setParamGroups(QStringList());
}

// Every 3 ms pass asks; the strip repaints only when something it shows has
// changed, as a repaint of the strip also repaints the views under it.
void MoJuWizard::repaintStatusStrip()
{
    if (statusStrip)
        statusStrip->refresh();
}

void MoJuWizard::hideStatusStrip()
{
    if (statusStrip)
        statusStrip->hide();
}
