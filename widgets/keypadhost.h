#pragma once
// What the widget kit needs from the main window: the keypad target, the
// password box's visibility, a repaint, and the screen-off state that a
// notice wakes.  The main window implements this interface and installs
// itself with setKeypadHost(); until then a stand-alone host keeps the target.
#include <QPointer>

class Edit;

class KeypadHost {
public:
    virtual ~KeypadHost() = default;

    // The field the on-screen keypads type into; null when none.
    virtual Edit* keypadTarget() const = 0;
    virtual void setKeypadTarget(Edit* field) = 0;

    // The login prompt is showing: Confirm on the numeric keypad then
    // answers the prompt instead of moving the focus.
    virtual bool passwordBoxVisible() const = 0;
    // Repaints the main window (after a keypad hid).
    virtual void repaintMainWindow() = 0;

    // Backlight: true while the panel is dark.
    virtual bool screenOff() const = 0;
    virtual void switchScreenOn() = 0;
    // Seconds of the screen-off delay in the live parameters (0 = never).
    virtual int screenOffSeconds() const = 0;
    virtual void restartScreenOffTimer(int ms) = 0;
};

// Host used while no main window installed itself: keeps the target in a
// guarded pointer and does nothing else.
class StandaloneKeypadHost : public KeypadHost {
public:
    Edit* keypadTarget() const override;
    void setKeypadTarget(Edit* field) override;
    bool passwordBoxVisible() const override { return false; }
    void repaintMainWindow() override {}
    bool screenOff() const override { return false; }
    void switchScreenOn() override {}
    int screenOffSeconds() const override { return 0; }
    void restartScreenOffTimer(int) override {}
private:
    QPointer<Edit> target_;
};

KeypadHost& keypadHost();
// Installs the host (not owned); null returns to the stand-alone host.
void setKeypadHost(KeypadHost* host);
