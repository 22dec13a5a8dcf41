#pragma once
// The settings dialog as the main window sees it.  The dialog lives in
// settings/, above this folder, so the window holds it through this
// interface; the program's start-up installs the factory that builds it
// before the window is made.  Without a factory (tests of the window alone)
// the window has no settings dialog.  GUI thread only.
#include <functional>

class MoJuWizard;
class QWidget;

class SettingsPage {
public:
    virtual ~SettingsPage() = default;
    // Shows the dialog on top (it reloads its pages from the edit copy).
    virtual void showPage() = 0;
    virtual void hidePage() = 0;
    // Between the dialog's show and hide events: the camera setters then run
    // the edit copy's values.
    virtual bool pageShown() const = 0;
    // Confirm, as the dialog's button does it.
    virtual void acceptPage() = 0;
    virtual QWidget* pageWidget() = 0;
};

// Builds the dialog over the window, as its child; null: none.
using SettingsPageFactory = std::function<SettingsPage*(MoJuWizard& window)>;

inline SettingsPageFactory& settingsPageFactory()
{
    static SettingsPageFactory factory;
    return factory;
}
inline void setSettingsPageFactory(SettingsPageFactory factory) { settingsPageFactory() = std::move(factory); }
