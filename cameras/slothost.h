#pragma once
// What a camera slot and its view need of the main window beyond the camera
// code's CameraHost: the screen fields the view, the navigation and the area
// editor share (ViewState), the cycle's values the view only reads, and the
// services of the window's other parts.  The main window implements it and is
// gpCameraHost; tests use FakeSlotHost.
#include "camerahost.h"
#include "screenstates.h"

#include <QImage>
#include <QSqlDatabase>
#include <QString>

class EngineHost;
class WizardPara;

// Screen fields of the camera views under the main window's names.  Plain
// data: the main window inherits it, so gpWin->zoom is this zoom; the host
// hands it out by reference.  GUI thread only.
struct ViewState {
    int viewCamera = 0;         // camera shown alone, or numCamera = the grid
    int editDetect = 0;         // detection shown and edited on the area page
    double zoom = 1.0;          // 1..32, single view only
    double panX = 0.0;          // pan of the zoomed view, screen pixels
    double panY = 0.0;
    int zoomButtonState = 0;    // 0 hidden, 1 only enlarge, 2 all seven shown
    int dragLastX = 0;          // last finger position while panning
    int dragLastY = 0;
    int pointerImageX = 0;      // image point under the finger (zoom centre)
    int pointerImageY = 0;
    int pointerPixel = 0;       // grey value under the finger, 0 outside the picture
    // View cell / image size; the main window sets them to gShowAW, gShowAH
    // once the image size is known.
    float viewScaleX = 1.0f;
    float viewScaleY = 1.0f;
    float viewFracX = 1.0f;     // view cell / screen size, 1 for the single view
    float viewFracY = 1.0f;
    int drawMode = 0;           // 0 select, 1 rectangle, 2 polygon or freehand, 4 circle
    bool freehandMode = false;  // polygon drawn by finger path
    bool copyAreaMode = false;  // area page tool that copies the selected area
};

// The stored OK or NG picture the area page shows in every view (sources
// PictureSourceOKRecord and PictureSourceNGRecord); the page fills it.
struct RecordPictures {
    QImage recordImage;         // the stored picture shown
    QString recordName;         // its file name without ".jpg"; empty when none
    int recordCamera = 0;       // camera whose pictures are browsed
    int recordCount = 0;        // pictures found
    int recordIndex = 0;        // position in the newest-first list, 0 = newest
};

class SlotHost : public CameraHost {
public:
    ~SlotHost() override = default;

    virtual ViewState& viewState() = 0;

    // The cycle's values, read only.  They carry a "cycle" prefix because the
    // main window also holds them as fields under the plain names.
    virtual int cyclePageMode() const = 0;        // PageMode*
    virtual int cycleResultPhase() const = 0;     // ResultPhase*
    virtual int cycleCurrentDetect() const = 0;
    virtual bool cycleSkipActive() const = 0;
    virtual int cycleSkipCount() const = 0;
    // Remaining delay of detection slot k in seconds, and whether its delay
    // timer runs.
    virtual float cycleDelayCountdown(int k) const = 0;
    virtual bool cycleDelayTimerRunning(int k) const = 0;
    // The result-picture state of camera and detection d (FailImageState),
    // which stamping a held picture moves on; and whether the cycle being
    // judged was started by the safety door.
    virtual int& cycleFailImageState(int camera, int d) = 0;
    virtual bool cycleSafetyDoorFired() const = 0;

    // The engine's host; its repaint of slot k repaints view k.
    virtual EngineHost& engineHost() = 0;
    // PARAM.db ("dbIn") and the live parameter record.
    virtual QSqlDatabase paramDatabase() = 0;
    virtual WizardPara& liveParameters() = 0;

    // Lays out the views for viewCamera: one camera alone or the grid.
    virtual void ChangeCammer() = 0;

    // The side bar.
    virtual void restartSideBarHideTimer(int ms) = 0;
    virtual bool sideBarVisible() const = 0;
    virtual void showSideBar() = 0;
    virtual void unfoldSideBar() = 0;

    // Name of cavity k (0..15) of camera c.  Asked once per ticked box per
    // paint, so it answers from memory.
    virtual QString cavityName(int camera, int k) const = 0;

    // The area page's record pictures, and its camera choice.
    virtual RecordPictures& recordPictures() = 0;
    virtual void setAreaPageCamera(int camera) = 0;

    // Restarts the window's draw-hint timer (3 s) after an area slider moved.
    virtual void startDrawHintTimer() = 0;
    // The area page's column stands at the left screen edge; the panel keeps
    // clear of it.
    virtual bool areaPageAtLeft() const = 0;
    // The area page's polygon button (SlotDrawPloygn), pressed by a click
    // that closes the polygon in progress.
    virtual void areaPageDrawPolygon() = 0;
};
