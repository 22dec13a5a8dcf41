// The main window's login prompt and access gate.
#include "mojuwizard.h"

void MoJuWizard::MakePasswordBox() {}

bool MoJuWizard::passwordBoxVisible() const { return false; }
