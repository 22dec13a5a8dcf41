#include "wizardparawidget.h"

// Placeholder until this part is built.
void WizardParaWidget::BuildRecordPage() {}
void WizardParaWidget::WireRecordPage() {}
