#include "wizardparawidget.h"
#include "mojuwizardsettingshost.h"

// Placeholder until this part is built.
void WizardParaWidget::WireMultiDetect() {}
void MakeIoNameDialog(MoJuWizard&, WizardParaWidget&) {}
