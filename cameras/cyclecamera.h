#pragma once
// A camera slot as the detection cycle uses it.  It lives with the cameras
// because the camera slot implements it; the cycle, above, only calls it.
#include <QRect>

class CameraSlotState;
struct PassReport;

// One camera slot as the cycle uses it.  CammerWidget implements it.
class CycleCamera {
public:
    virtual ~CycleCamera() = default;

    // The slot's frames, results and per-detection flags.
    virtual CameraSlotState& slotState() = 0;
    // Takes over a waiting frame into procFrame (the hand-over's consumer
    // side); false when no new frame waited.
    virtual bool takeNewFrame() = 0;

    // The slot's engine: positioning for the current detection, the pass
    // over detection d's areas, and the model rebuilds.
    virtual void ShapeMatch() = 0;
    virtual void Run(int d) = 0;
    virtual void CreateShape(int d) = 0;
    virtual void VarTrain(int d) = 0;

    // True when ShapeMatch and RunKept touch only this slot's own state, so
    // the detection step may call them on a worker thread while the GUI
    // thread waits.  RunKept is Run with the pass's records and relay
    // entries kept in report; HandOn (GUI thread) hands them on afterwards.
    virtual bool judgesOffThread() const { return false; }
    virtual void RunKept(int d, PassReport& report)
    {
        (void)report;
        Run(d);
    }
    virtual void HandOn(const PassReport& report) { (void)report; }

    // The 1000 ms NG blink of the view.
    virtual void startAlarmBlink() = 0;
    virtual void SetWB() = 0;
    virtual void CameraChangeTrig(bool restart) = 0;
    virtual void repaintView() = 0;
    // Repaints only rect of the view (the countdown).
    virtual void repaintRect(const QRect& rect) = 0;

    // Result pictures: render into picture slot (0 NG, 1 OK), stamp the held
    // picture, store the frame as a template of detection d.
    virtual void SaveFailImage(int d, int slot) = 0;
    virtual void UpdateFailImage(int d, int slot) = 0;
    virtual void SaveReTrainImage(int d) = 0;
    // Writes detection d's ignore-point mask to its file; false when that failed.
    virtual bool SaveIgnorePoint(int d) = 0;
};
