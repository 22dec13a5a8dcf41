#pragma once
// The camera view's painting as one function of the slot, its host and the
// view's own fields, so that the view's paintEvent, the view benchmark and
// the tests run the same code.  It draws the picture of the picture source
// (gSource), writes the overlays into the view's picture buffer, and paints
// the area layer, verdict, legend, status line, countdown, counters, cavity
// names, template time and the editor's rubber band, in the large layout
// when gShowW > 1024, else the small one.  Every text ends inside the view.
// Allocation-free apart from what QPainter does itself.  GUI thread only.
#include "editorstate.h"
#include "viewoverlay.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QImage;
class QPainter;
class SlotHost;

// A text as drawn, for tests: its rectangle in view pixels and its colour.
struct DrawnText {
    QString text;
    QRect rect;
    QColor color;
};

struct ViewPaintInput {
    const CameraSlotState* slot = nullptr;   // frames, results, sets; slot->camIndex is the camera
    SlotHost* host = nullptr;                // view fields, cycle values, parameters, records
    int source = PictureSourceNone;          // gSource
    QSize viewSize;                          // the view's size in widget pixels
    int selRoi = -1;                         // selected area of the page detection
    int moveMode = MoveModeShowPanel;
    int adjustPart = 0;                      // vertex marked on the selected polygon
    const EditorState* editor = nullptr;     // rubber band; null: none
    ViewBuffer buffer;                       // viewRGBA
    const QImage* viewImage = nullptr;       // W x H RGB32 image over buffer
    std::vector<DrawnText>* texts = nullptr; // when set, every text drawn is added
};

// Paints the whole view into painter, whose device is viewSize large.
void PaintCameraView(QPainter& painter, const ViewPaintInput& in);
