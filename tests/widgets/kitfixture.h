#pragma once
// Shared set-up of the widget-kit tests: a recording main-window host, the
// screen size that chooses the layout, and the two keypads.
#include "colorbutton.h"
#include "edit.h"
#include "keypadhost.h"
#include "globals.h"
#include "messages.h"
#include "numberinput.h"
#include "numcharinput.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QtTest>

class TestKeypadHost : public KeypadHost {
public:
    TestKeypadHost() { setKeypadHost(this); }
    ~TestKeypadHost() override { setKeypadHost(nullptr); }

    Edit* keypadTarget() const override { return target; }
    void setKeypadTarget(Edit* field) override { target = field; }
    bool passwordBoxVisible() const override { return passwordVisible; }
    void repaintMainWindow() override { ++repaints; }
    bool screenOff() const override { return dark; }
    void switchScreenOn() override { ++wakes; dark = false; }
    int screenOffSeconds() const override { return seconds; }
    void restartScreenOffTimer(int ms) override { timerRestarts << ms; }

    QPointer<Edit> target;
    bool passwordVisible = false;
    int repaints = 0;
    bool dark = false;
    int wakes = 0;
    int seconds = 0;
    QList<int> timerRestarts;
};

// Sets the screen size and makes both keypads; undoes it on leaving.
class KitScreen {
public:
    KitScreen(int w, int h)
        : oldW_(gShowW), oldH_(gShowH)
    {
        gShowW = w;
        gShowH = h;
        num_ = gpNumPad = new NumberInput;
        chars_ = gpNumCharPad = new NumCharInput;
    }
    ~KitScreen()
    {
        // The keypads may have been re-parented into a container that is gone.
        delete num_.data();
        delete chars_.data();
        gpNumPad = nullptr;
        gpNumCharPad = nullptr;
        gShowW = oldW_;
        gShowH = oldH_;
    }
private:
    int oldW_, oldH_;
    QPointer<NumberInput> num_;
    QPointer<NumCharInput> chars_;
};

// A touch on a field: it gains the focus (as the panel's touch gives it),
// then the finger lifts.
inline void touchField(Edit* field)
{
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(field, &in);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), field->mapToGlobal(QPointF(1, 1)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(field, &release);
}

inline void focusOut(Edit* field)
{
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(field, &out);
}

// The digit key that types d.
inline void pressDigit(int d)
{
    gpNumPad->digitKeys[d == 0 ? 9 : d - 1]->click();
}

// QFETCH as an expression, for comparing a data column in place.
#define FETCHED(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))
