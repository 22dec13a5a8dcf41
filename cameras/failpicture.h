#pragma once
// The result picture of one verdict and the stamp a held NG picture gets
// when its alarm is cleared, as plain functions of what they draw, so that
// they are tested without a camera or a window.  The camera slot renders
// into a picture of its own and hands it to the picture store
// (failimagestore.h) without a copy.
//
// The picture has the camera image's size; every position on it is in image
// pixels.  The area outlines are stored in view coordinates (shapes.h), so
// they are drawn under the scale 1 / showAW, 1 / showAH, which puts them on
// their areas whatever the screen; anchors, labels and alarm boxes are image
// pixels.  GUI thread only (fonts and the message table).
#include <QImage>
#include <QString>

class CammerSingleton;
class WizardPara;
struct CameraSlotState;

// What one picture shows.
struct FailPictureScene {
    const CameraSlotState* slot = nullptr;   // alignedFrame, geometry, results
    const CammerSingleton* set = nullptr;    // the areas judged (the saved set)
    const WizardPara* para = nullptr;        // showAlgorithmDetails, minimumArea
    int d = 0;                               // detection
    int kind = 0;                            // 0 NG picture, 1 OK picture
    bool safetyDoorFired = false;            // the cycle was started by the safety door
    int showW = 0;                           // screen width, chooses the top line
    double showAW = 1.0;                     // view x per image x
    double showAH = 1.0;                     // view y per image y
};

// Baseline of the top text line: 70 on a screen up to 1024 wide, else 80.
int FailPictureTopLine(int showW);

// A new RGB32 picture of imageW x imageH: the aligned frame (grey expanded,
// colour copied; black when the frame is missing or of another size), the
// mark "NG" in red or "OK" in green at 26 px with its baseline at (5, top),
// the safety-door line (message 265) at (5, top + 30) when it applies, and
// every area of detection d: its outline, and its label at 16 px in a
// 400 x 24 box whose top-left lies 26 above the area's anchor.  A failed
// area (roiOK 0, also on an OK picture) is red with its alarm boxes; a
// passed one green.  A shape code other than rectangle, polygon and circle,
// or a polygon without points, draws no outline and leaves the anchor where
// the previous area put it ((5, top) for the first).  Null when the slot has
// no geometry.
QImage RenderFailPicture(const FailPictureScene& scene);

// A picture stamped with the way its alarm was cleared, and the picture state
// that follows.  The states are the cycle's FailImageState values:
//   4 "Don't Detect", 5 "Add As Temp", 6 switch to mould detection: message
//     120 followed by 47, 48 or 338; then 9 (NG picture queued);
//   7 re-check: message 120 followed by 61; then 8;
//   8 (OK picture of a passed re-check): message 143; then 10 (both queued);
//   any other: the picture and the state as they are.
// The text is drawn in red at 26 px with its baseline at (55, top).  A null
// picture stays null; the state moves on all the same.
struct StampedFailImage {
    QImage picture;
    int state = 0;
};
StampedFailImage StampFailImage(QImage picture, int state, int showW);

// The stamp text of a state; empty for a state without a stamp.
QString FailImageStampText(int state);
