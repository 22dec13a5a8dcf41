#pragma once
// The picture a camera view shows and the per-area geometry drawn over it:
// the shown frame converted into the view's RGB32 buffer with the result
// overlays written in, the alarm boxes of an area and the markers of a
// distance area.  Plain functions of the slot state, so the view's paint and
// the tests run the same code.  They allocate nothing: the view repaints at
// every frame, within 8 ms for a 1280x1024 picture.
//
// Every overlay stays inside the image rectangle of its area clipped to the
// picture, whatever the rectangle holds (a stale or damaged area writes
// nothing outside the picture and never past a buffer).  GUI thread only.
#include "cameraslotstate.h"
#include "cammersingleton.h"
#include "screenstates.h"

#include <QLine>
#include <QRect>

#include <cstddef>
#include <cstdint>

// Overlay colours as RGB32 words.
constexpr uint32_t kOverlayRed = 0x00FF0000u;    // result pixels of NG areas, blinking
constexpr uint32_t kOverlayCyan = 0x0000FFFFu;   // ignore points, slider preview

// What the overlays depend on besides the slot.  The blink phase
// (alarmShow) and the preview flag (testShown) are the slot's own fields.
struct ViewOverlayContext {
    int source = PictureSourceNone;   // gSource
    int pageMode = PageModeNone;      // the main window's page mode
    int selRoi = -1;                  // selected area of the detection, -1 none
};

// The view's picture buffer: RGB32 words, the slot's imageW x imageH picture
// row after row.  words is what the buffer holds.
struct ViewBuffer {
    uint32_t* rgba = nullptr;
    size_t words = 0;
};

// Writes the shown frame into the buffer: grey through Gray2RGBA, colour
// copied.  A shown frame shorter than the slot's frame size gives a black
// picture.  False, and nothing written, when the buffer is smaller than the
// picture.
bool ConvertShownFrame(const CameraSlotState& slot, ViewBuffer buffer);

// Rewrites the whole picture: ConvertShownFrame, then the overlays of
// detection d of set, so nothing of an earlier call remains.
// - red for result pixels of every NG area, only with PageModeAlarm, the
//   live source and alarmShow 1;
// - cyan for ignore points of d inside every area of d, only with the
//   template source;
// - cyan for result pixels of the selected area while testShown is set.
// A plane shorter than the picture (resultImage, ignoreMask[d]) marks
// nothing.  False as ConvertShownFrame.
bool WriteViewPicture(const CameraSlotState& slot, const CammerSingleton& set, int d,
                      const ViewOverlayContext& context, ViewBuffer buffer);

// The image rectangle of area (d, i) taken from its shape by the shape code
// and clipped to a w x h picture; empty for another shape code, an index out
// of range or an area wholly outside the picture.
cv::Rect OverlayRect(const CammerSingleton& set, int d, int i, int w, int h);

// The alarm boxes to outline for area (d, i), in image pixels: those of an
// NG area of an NG camera with PageModeAlarm and the live source.  The
// stored count is taken as 0..99; a distance area has none, since its record
// holds edge points.
struct AlarmBoxes {
    const RoiAlarm* alarm = nullptr;
    int count = 0;

    // Box k, 0 .. count - 1: (left, top), width right - left, height
    // bottom - top.
    QRect box(int k) const;
};
AlarmBoxes AlarmBoxesToDraw(const CameraSlotState& slot, const CammerSingleton& set, int d, int i,
                            const ViewOverlayContext& context);

// The markers of a distance area: a 5 x 5 ring at each edge point found and,
// with both found, a line between them.  The engine stores the points in
// image pixels; scaleX/Y are the painter's units per image pixel, so that the
// markers lie on the found edges.  In the area layer's view coordinates that
// is viewScaleX / viewFracX (and Y alike).  Nothing for another method.
struct DistanceMarkers {
    int rings = 0;     // 0, 1 or 2
    QRect ring[2];     // bounding rectangles of the rings
    bool hasLine = false;
    QLine line;
};
DistanceMarkers DistanceMarkersToDraw(const CameraSlotState& slot, const CammerSingleton& set, int d, int i,
                                      double scaleX, double scaleY);
