#include "wizardparawidget.h"
#include "mojuwizardsettingshost.h"

// Placeholder until this part is built.
void WizardParaWidget::WireWindowDialogs() {}
void MakeWindowDialogs(MoJuWizard&, WizardParaWidget&) {}
