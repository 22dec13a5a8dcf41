// The main window's status strip.
#include "mojuwizard.h"

void MoJuWizard::MakeStatusStrip() {}

// Every pass asks for it; until the strip exists there is nothing to repaint,
// and repainting the whole window 300 times a second would cost the views.
void MoJuWizard::repaintStatusStrip() {}

void MoJuWizard::hideStatusStrip() {}
