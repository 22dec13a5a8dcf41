#pragma once
// Sets the image and screen geometry the shapes and the engine read (the
// core's globals and the image library's copy of them) in one step.
#include "globals.h"

inline void setTestGeometry(int imageW, int imageH, int showW, int showH, double showAW, double showAH)
{
    gImageW = imageW;
    gImageH = imageH;
    gImageLen = imageW * imageH;
    gShowW = showW;
    gShowH = showH;
    gShowAW = showAW;
    gShowAH = showAH;
    SyncImageGeometry();
}
