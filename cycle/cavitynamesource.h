#pragma once
// Where the camera views get the names of their cavities.  The cavity-name
// dialog lives in settings/, above this folder, so the main window holds it
// through this interface; null until the dialog is built.  GUI thread only.
#include <QString>

class CavityNameSource {
public:
    virtual ~CavityNameSource() = default;
    // Saved name of cavity k (0..15) of camera slot camera; empty when there
    // is none.  Asked once per ticked box per paint, so it answers from memory.
    virtual QString cavityName(int camera, int k) const = 0;
};
