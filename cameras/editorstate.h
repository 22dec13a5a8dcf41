#pragma once
// The gesture state of a camera view's area editor, with its start values.
// Plain data: the view holds one, the painter reads the rubber band from it,
// and the area page's editor (press, move and release in the template
// source) writes it.  GUI thread only.
#include "screenstates.h"
#include "shapes.h"

#include <QPoint>

#include <vector>

struct EditorState {
    int ctrlIndex = -1;                 // handle 0..7 of the selected shape under the finger
    int editAction = EditActionNone;    // EditAction*
    bool shapeGesture = false;          // the gesture works on a rectangle or circle
    ClustomRect drawRect;               // rubber band of the rectangle tool
    Circle drawCircle;                  // rubber band of the circle tool
    QPoint lastPoint;                   // view point of the last applied gesture step
    QPoint curPoint;                    // view point of the current gesture step
    QPoint hitPoint;                    // view point at which the last press found an area
    // Points of the polygon being drawn, view coordinates; room for the
    // longest polygon a shape holds.
    std::vector<QPoint> polyPoints = std::vector<QPoint>(RePolygon::kMaxPoints);
    int polyCount = 0;
    bool polyGesture = false;           // drawing, moving or resizing a polygon
    bool fingerDown = false;            // a template-source press not yet released

    // Ends every gesture: no action, no polygon in progress.
    void EndGestures()
    {
        polyGesture = false;
        editAction = EditActionNone;
        polyCount = 0;
    }
};
