#include "wizardparawidget.h"

// Placeholder until this part is built.
void WizardParaWidget::BuildNetworkPage() {}
void WizardParaWidget::WireNetworkPage() {}
