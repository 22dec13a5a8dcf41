#pragma once
// Sets the image and screen geometry the shapes and the engine read (the
// core's globals and the image library's copy of them) in one step; the
// screen is the image under the view scale.
#include "globals.h"

inline void setTestGeometry(int imageW, int imageH, double showAW = 1.0, double showAH = -1.0)
{
    if (showAH < 0)
        showAH = showAW;
    gImageW = imageW;
    gImageH = imageH;
    gImageLen = imageW * imageH;
    gShowW = static_cast<int>(imageW * showAW);
    gShowH = static_cast<int>(imageH * showAH);
    gShowAW = showAW;
    gShowAH = showAH;
    SyncImageGeometry();
}
