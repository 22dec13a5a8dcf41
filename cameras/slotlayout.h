#pragma once
// Where a camera slot places its move buttons and cavity boxes, and how a
// text or a row is kept on a screen narrower than the layout assumes.  The
// large layout's positions were made for a wider screen than 1280: a
// position that fits stays where the layout puts it; a row that would run
// past the screen edge moves left, keeping its order, then narrows its gaps
// and then its widths only as far as needed.  Pure functions.
#include <QRect>

#include <vector>

struct SlotControlsGeometry {
    QRect moveButton[5];    // up, down, left, right, move mode (from the left)
    QRect cavityBox[16];    // boxes 8..15 under 0..7
};

// The geometry for a gShowW x gShowH screen: the small layout when
// showW <= 1024, else the large one, fitted to showW.
SlotControlsGeometry SlotControlsLayout(int showW, int showH);

// Fits a row of rectangles (left to right, as placed by the layout) into
// 0 .. right: unchanged when it fits; else shifted left, then its gaps
// narrowed, then its widths, only as far as needed.  Order, tops and heights
// are kept.
std::vector<QRect> FitRow(const std::vector<QRect>& row, int right);

// The x at which a text of width textWidth starting at x ends inside
// 0 .. right: x when it fits, else right - textWidth (never below 0).
int FitTextX(int x, int textWidth, int right);
