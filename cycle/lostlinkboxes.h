#pragma once
// The alarm boxes for a lost I/O link and lost cameras.  Each is shown with
// show(), never exec(): the main loop goes on trying to reconnect while a box
// is up.  They are made once, without parent, before the language is known;
// RelabelLostLinkBoxes() gives them their texts once it is.
#include "warnbox.h"

#include <functional>

// The I/O link box.  Its text is set by the main loop (589 while the link is
// lost, 590 once it is back); it cannot be dismissed while the link is lost.
class LostComWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit LostComWarnBox(QWidget* parent = nullptr);

protected:
    // Pressed while the link is still lost: shows itself again from the
    // event loop (not inside this handler, which is part of the hide).
    void hideEvent(QHideEvent* event) override;

private slots:
    void showAgain();
};

// What powering off needs of the main window's operation record.
struct ShutdownRecords {
    std::function<void(const QString&)> insertRecord;
    std::function<void()> flushAll;    // closes the databases
    std::function<void()> reopenAll;   // opens again what flushAll closed
};

// The lost-camera box (587): its button (209) offers to power the panel off.
class LostCameraWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit LostCameraWarnBox(QWidget* parent = nullptr);

    ShutdownRecords records;

public slots:
    // While the cameras are lost: records, stops the watchdog, closes the
    // databases and runs "init 0"; then closes the box in every case.
    void acceptShutdown();
};

// The box telling that the cameras are back (588).
class ReconnectCameraWarnBox : public WarnBox {
    Q_OBJECT
public:
    explicit ReconnectCameraWarnBox(QWidget* parent = nullptr);
};

extern LostComWarnBox* gpLostComWarnBox;
extern LostCameraWarnBox* gpLostCameraWarnBox;
extern ReconnectCameraWarnBox* gpReconnectCameraWarnBox;

// Texts and buttons of the three boxes in the language of the moment (the
// I/O box's text only when it has one: the main loop sets it).
void RelabelLostLinkBoxes();
