#pragma once
// The detection cycle without a screen: the main-loop pass, the detection
// step, the verdict with its outputs and alarm, and the four run-control
// operations the cycle itself calls.  It works on the main window's state
// (SlotHost for what the views share, CycleState for the rest) and reaches
// cameras, pages and stores only through the ports of cycleports.h.  The main
// window forwards its slots of the same names here.  GUI thread only; while
// it waits, the passes of one detection may run on its detection pool.
#include "cycleports.h"
#include "cyclestate.h"

#include <array>

class Clock;
class ControlPort;
class DetectionPool;
struct PassReport;
class RelayLink;
class SlotHost;

class CycleController {
public:
    struct Ports {
        SlotHost* slotHost = nullptr;
        CycleState* state = nullptr;
        CycleHost* host = nullptr;
        ControlPort* io = nullptr;
        Clock* clock = nullptr;          // monotonic time and the wall time
        RelayLink* relay = nullptr;      // may be null: nothing is sent
        StatsSink* stats = nullptr;      // may be null until the store exists
        CycleLog* cycleLog = nullptr;    // may be null until the store exists
    };
    explicit CycleController(const Ports& ports);
    ~CycleController();

    // Camera slot k as the cycle sees it; null for a slot not built.
    void setCamera(int k, CycleCamera* camera);
    CycleCamera* camera(int k) const { return cameras_[k]; }
    // The workers that judge the cameras of one detection at once; null (the
    // start) judges one camera after the other.  The pool outlives the
    // controller.
    void setDetectionPool(DetectionPool* pool) { pool_ = pool; }

    // Makes every timer of the state, connected to the methods below.
    void createTimers(CycleTimerFactory& factory);
    // Arms the first pass (5 ms); the first cycle is measured from here.
    void startLoop();

    // Main-loop pass and its companions.
    void Run();
    void TimerCheckInput(int p);
    void CheckInput(int p);
    void InCheck();
    void SlotTImerSafeDoor();

    // Detection step.
    void TimerUp(int d);
    void RunAlgorithm(int camera, int detect);
    void ReCheck();

    // Verdict and its timers.
    void CheckNG();
    void TimerShow();
    void OutTimerOutNG();
    void OutTimerNotAllowClose();
    void OutTimerNotAllowThimble();
    void OutTimerSysFunc4Output();

    // Run control as the cycle calls it.
    void StartDetect();
    void StopDetect();
    void SetStopDetect();
    void ResetRun();

    // The cycle's half of the area page's "Re-detected".
    void ReDetectHeld();

    // Shape models and matchers of every enabled detection on every camera
    // built anew from the templates.
    void RebuildEnabledModels();

    // The multi-detection step count became steps (the settings' Confirm):
    // the cycle forgets what it held of the old count, so no step waits for
    // a camera or a picture of a layout that is gone.  For d below steps,
    // clearPending[d] drops the pending-camera mask; on the cameras below
    // cameras the skip, fail-image and armed entries of those steps and the
    // first-run and NG-count flags are cleared.  currentDetect becomes the
    // given step (the last one, so the next input starts at the first).
    void ResetStepCount(int steps, int currentDetect, const std::array<bool, kDetections>& clearPending,
                        int cameras);

private:
    Ports p_;
    CycleCamera* cameras_[kCameraSlots] = {};
    DetectionPool* pool_ = nullptr;

    // Helpers of the pass and the run control (cyclecontroller.cpp).

    // One pass, split along its steps; each returns false when the pass
    // goes straight to its end.
    bool watchLinkAndCameras();
    void takeFrames(bool newFrame[kCameraSlots]);
    bool manualSnapshot(bool delayRunning);
    bool handleInputs(const int edge[], bool newFrame[kCameraSlots]);
    bool acceptInput(int p, const int edge[]);
    bool startsCycle(int p) const;
    void startCycle(int p);
    void measureCycleTime();
    bool mouldGate(int p);
    enum class MultiStep { Dispatch, NextInput, EndPass };
    MultiStep multiStep(int p);
    bool dispatch(int p, bool newFrame[kCameraSlots]);
    void endPass(const bool newFrame[kCameraSlots]);
    bool reCheckFramesReady() const;
    void record(const QString& text);
    int level(int p) const;
    int camerasInUse() const;
    // setOut, flush and stepOutput are shared with the verdict (below).
    // Each link loss blocks mould closing once.
    bool linkLossHandled_ = false;

    // Helpers of the detection step and the verdict (cycleverdict.cpp).
    int pairIndex(int d) const;              // d & 1 in modes 1 and 2, else d
    bool isLastDetection(int p) const;       // 1 in modes 0..3, gDNum - 1 in mode 4
    int stepOutput(int step) const;          // mode 4: 0-based output of a step
    void setOut(int out, int on);
    void flush();
    bool relayLinked(bool needAlive) const;
    bool ngHandledByPulses(int p) const;     // the options turn an NG of p into pulses
    void startPulse(CycleTimer* timer, int tenths);
    int ngAreaCount(int camera, int d) const;
    void updateSharedTriggerInput(int step);
    void enterAlarm();
    void endAlarm(int p);
    void verdictPictures(int d, int p);
    void queuePictures();
    void rebuildModels(int d);
    void saveRawPicture(int camera, int d);
    // RunAlgorithm for the cameras marked in which, in camera order as seen
    // from outside; with a pool the passes run at once.  True when every
    // judged camera's OK flag was set right after its own step.
    bool judgeCameras(int detect, const bool which[kCameraSlots]);
    // RunAlgorithm's three parts: the steps before the pass (returns the
    // detection to judge, or -1 when nothing is judged), the positioning and
    // the pass (report: kept, for a worker thread), the steps after it.
    int beginRun(int camera, int detect);
    void judge(int camera, int d, PassReport* report);
    void finishRun(int camera, int d);
};
