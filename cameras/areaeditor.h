#pragma once
// The area editor's rules as plain functions over one detection of an area
// set: touch-to-view mapping, the hit tests, the handle cursors, the values
// of a new area and the placement of a copy.  The camera view's gesture
// handlers (cammerwidget_editor.cpp) call them; GUI thread only.
#include "cammersingleton.h"

#include <QPoint>
#include <QRect>
#include <QCursor>

#include <vector>

class WizardPara;

// Points a polygon drawn in the editor may hold; a stored polygon may hold
// one more (RePolygon::kMaxPoints).
constexpr int kEditorMaxPoints = RePolygon::kMaxPoints - 1;
// Per axis, how far beyond the press a rubber band must end to make an area.
constexpr int kMinDrawSpan = 9;
// A move advances only once the finger has gone this far in image pixels.
constexpr double kMoveStepImagePixels = 3.0;
// A polygon click this close to the first point (both axes) closes it.
constexpr int kPolygonCloseReach = 9;

// Widget pixel to view coordinates: (x - pan) / zoom in double precision,
// truncated toward zero.
QPoint ViewPointOf(QPoint widget, double zoom, double panX, double panY);

// Shape tests of area i of detection d by its shape code: rectangle,
// circle, anything else as a polygon.
bool AreaUnder(const CammerSingleton& set, int d, int i, QPoint p);   // inside or on a handle
bool AreaSelected(const CammerSingleton& set, int d, int i);
void SetAreaSelected(CammerSingleton& set, int d, int i, bool selected);
// Shape codes the editor selects and moves.
bool EditableShape(int shape);

// The first area in index order whose shape is selected, or -1.
int SelectedArea(const CammerSingleton& set, int d);
// The first area under p, trying each once from `from` (when a valid
// index, else 0) and wrapping; codes other than 1, 2, 4 are skipped.  -1
// when none.
int AreaAt(const CammerSingleton& set, int d, int from, QPoint p);
// True when any area (codes 1, 2, 4) lies under p.
bool AnyAreaAt(const CammerSingleton& set, int d, QPoint p);
// The next area under p after `selected`, cyclic, the selected one last;
// -1 when none.
int NextAreaAt(const CammerSingleton& set, int d, int selected, QPoint p);

// Cursor over handle 0..7 of a rectangle or circle.
Qt::CursorShape HandleCursor(int handle);

// True once a move from `last` to p has gone 3 image pixels in one axis.
bool MoveStepReached(QPoint last, QPoint p, double showAW, double showAH);
// True when every point shifted by d stays strictly inside the band
// 2 < x < width - 3, 2 < y < height - 3.
bool PolygonShiftFits(const std::vector<QPoint>& points, QPoint d, int width, int height);

// What a polygon click does with `count` points placed, the first at first.
enum class PolygonClick { BufferFull, Close, Append };
PolygonClick ClassifyPolygonClick(int count, QPoint first, QPoint p);

// Method and values of a new area.
struct AreaValues {
    int method = AreaFuncDefect;
    int a = 0;
    int b = 0;
    int c = 0;
};
// The first area of a detection: the first method the system offers, in the
// order spot, black area, white area, similarity, white count, direction
// (not for polygons), distance; defect when none.  Values not named keep
// `kept`.
AreaValues FirstAreaValues(const WizardPara& para, int shape, AreaValues kept);
AreaValues AreaValuesOf(const CammerSingleton& set, int d, int i);
void SetAreaValues(CammerSingleton& set, int d, int i, const AreaValues& v);

// A rectangle's copy centred on p, halves truncated toward zero (not yet
// brought into the picture).
QRect CentredCopy(const QRect& source, QPoint p);
// p brought into the picture, per axis.
QPoint PointInPicture(QPoint p);
