// The main window's login prompt and access gate.
#include "mojuwizard.h"

#include "passwordbox.h"

void MoJuWizard::MakePasswordBox()
{
    if (!gpPasswordBox)
        gpPasswordBox = new PasswordBox(nullptr);
    gpPasswordBox->bindAccessLevel(&accessLevel);
}

bool MoJuWizard::passwordBoxVisible() const
{
    return gpPasswordBox && gpPasswordBox->isVisible();
}

AccessGate* MoJuWizard::accessGate()
{
    if (!accessGate_)
        accessGate_ = std::make_unique<PasswordPromptGate>(this);
    return accessGate_.get();
}
