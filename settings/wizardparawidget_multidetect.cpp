#include "wizardparawidget.h"
#include "mojuwizardsettingshost.h"

#include "colorbutton.h"
#include "customionamewidget.h"
#include "iowidget.h"
#include "mojuwizard.h"
#include "settingshost.h"

#include <algorithm>

void WizardParaWidget::WireMultiDetect()
{
    ioPage = new IOWidget(this);
    for (ColorButton* b : {customIoButton, ioNameButton})
        pendingButtons.erase(std::remove(pendingButtons.begin(), pendingButtons.end(), b), pendingButtons.end());
    if (customIoButton)
        connect(customIoButton, &QPushButton::clicked, this, &WizardParaWidget::SlotShowIOWidget);
    if (ioNameButton)
        connect(ioNameButton, &QPushButton::clicked, this, &WizardParaWidget::SlotShowCustomIONameWidget);
}

void WizardParaWidget::SlotShowIOWidget()
{
    if (!ioPage)
        return;
    ioPage->show();
    ioPage->raise();
}

void WizardParaWidget::SlotShowCustomIONameWidget()
{
    QWidget* names = host_->ioNameDialog();
    if (!names)
        return;
    hidePage();
    names->show();
    names->raise();
}

void MakeIoNameDialog(MoJuWizard& window, WizardParaWidget& dialog)
{
    auto* names = new CustomIONameWidget(&window, &dialog);
    names->init();
    names->hide();
    window.ioNameDialog = names;
}
