#pragma once
// The geometry of the main window's surface, as pure functions: where each
// camera view goes for the camera shown (one view on the whole screen, or
// the grid of all views), the scales the views paint with, the column of
// zoom buttons, and one zoom step about the point under the finger.  The
// window applies what these return; tests check them as tables.
#include "globals.h"

#include <QRect>

// The zoom buttons from the top of the column.
enum ZoomButton {
    ZoomEnlarge = 0,
    ZoomRestore = 1,
    ZoomReduce = 2,
    ZoomPanUp = 3,
    ZoomPanDown = 4,
    ZoomPanLeft = 5,
    ZoomPanRight = 6,
};
constexpr int kZoomButtons = 7;

// MShowHide types: none, only the enlarge button, all seven.
enum ZoomShowType {
    ZoomShowNone = 0,
    ZoomShowEnlarge = 1,
    ZoomShowAll = 2,
};

struct CameraGrid {
    // Per slot: the view's rectangle (QRect semantics, so right() and
    // bottom() are the last pixels covered) and whether it is shown.  Slots
    // not in use are hidden with an empty rectangle.
    QRect cell[kCameraSlots];
    bool shown[kCameraSlots] = {};
    int viewCamera = 0;      // the value to keep (one camera: 0)
    int showType = ZoomShowNone;
    // Cell / image and cell / screen; the start values with one camera.
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    float fracX = 1.0f;
    float fracY = 1.0f;
};

// Layout of n cameras (at most kCameraSlots) on a w x h screen.
// viewCamera == n asks for the grid; 0 .. n - 1 for that camera alone (any
// other value counts as the grid).  With one camera it is shown alone and
// the scales are startScaleX/Y (the screen's scale over the image); in the
// grid the cells are (integer division):
//   2: w/2 x h;  3-4: w/2 x h/2;  5-6: (w/3 + 1) x h/2;  7-8: w/4 x h/2,
// filled row by row from the left, the last cells of an odd count empty.
CameraGrid LayoutCameraGrid(int w, int h, int n, int viewCamera, int imageW, int imageH, float startScaleX,
                            float startScaleY);

// The zoom button i (ZoomButton) on a screen h pixels high: 70 x 70 at
// x = 5, from y = 300 in steps of 75.  The column ends at y = 820; on a
// lower screen it moves up until its last button ends on the screen (never
// above the top), keeping x, size and order.
QRect ZoomButtonRect(int i, int screenH);

struct ZoomState {
    double zoom = 1.0;
    double panX = 0.0;
    double panY = 0.0;
};

// One zoom step: delta 0 restores (zoom 1, no pan); delta > 0 enlarges by
// 1.2 up to 32; delta < 0 reduces by 1.2, to 1 below 1.1.  The point
// (pointX, pointY) stays where it is on the screen; zoom 1 has no pan.
ZoomState ZoomStep(const ZoomState& from, int delta, int pointX, int pointY);
