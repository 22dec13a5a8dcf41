#pragma once
// The other-network dialog as the main window builds it.  The dialog lives
// in remotelink/, above this folder, so the program's start-up installs the
// factory that builds it before the window is made; without one (tests of
// the window alone) the window has none.  GUI thread only.
#include <functional>

class QWidget;

// Builds the dialog hidden, as a child of window; null: none.
using OtherNetDialogFactory = std::function<QWidget*(QWidget* window)>;

inline OtherNetDialogFactory& otherNetDialogFactory()
{
    static OtherNetDialogFactory factory;
    return factory;
}
inline void setOtherNetDialogFactory(OtherNetDialogFactory factory) { otherNetDialogFactory() = std::move(factory); }
