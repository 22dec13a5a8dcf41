#pragma once
// The detection cycle's state under the main window's member names.  Plain
// data: the main window inherits it, tests make one on their own.  What the
// camera views and the camera code also read (runState, cameraLostSignal,
// viewCamera, ...) stays in CameraHost/ViewState and is not repeated here.
// GUI thread only.
#include "cycletimer.h"
#include "failimagestore.h"
#include "globals.h"
#include "screenstates.h"
#include "wizardpara.h"

#include <QDateTime>

#include <memory>

struct CycleState {
    int pageMode = PageModeNone;
    int resultPhase = PhaseShown;
    int currentDetect = 0;      // detection of the current or last evaluation
    int shownDetect = 0;        // detection whose verdict is on screen
    int leftPairActive = 0;     // modes 1, 2: non-zero = detections 0/1
    int forcedDetect = -1;      // slot fired at the next dispatch, -1 none
    int safetyDoorFired = 0;
    bool saveRawImages = false;
    bool noInputAlarmShown = false;

    bool areaOutputFlags[4] = {};
    int reCheckLeft[kDetections] = {};
    int reCheckActive = 0;

    // Remaining delay per detection slot, in whole tenths of a second
    // (shown as tenths / 10 seconds).
    int delayCountdownTenths[kDetections] = {};
    float delayCountdown(int k) const { return delayCountdownTenths[k] / 10.0f; }

    int frameCount[kCameraSlots] = {};
    int lastFrameCount[kCameraSlots] = {};
    int manualTrigDetect = 0;   // gDNum = none pending (set at start-up)
    int pendingCameraMask[kDetections] = {};
    bool cycleFirstRun[kCameraSlots] = {};
    bool roiNgCountPending[kCameraSlots] = {};
    int detectionArmed[kDetections] = {};
    int failImageState[kCameraSlots][kDetections] = {};

    // Cycle time: the length of the last cycle in tenths, measured on the
    // monotonic clock; the start in monotonic tenths.
    int cycleTime = 0;
    qint64 cycleStartTenths = 0;
    QDateTime cycleStartTime;
    qint64 ngAlarmStartMs = 0;  // UTC ms since the epoch

    int statsTriggerSource = 0;
    int simulatedTrigger = -1;
    int sharedTriggerInput = -1;
    int multiStepIndex = 0;
    bool manualTriggered = false;
    bool inputConfirmed[9] = {};    // inputs 0..8
    bool cameraOkShown[kCameraSlots] = {};
    bool userReCheck = false;
    bool lastVerdictNg = false;
    int skipCount = 0;
    bool skipActive = false;
    bool manualTriggerNg = false;
    int captureModeCopy = 0;
    int delayedOutputPending = 0;
    int delayedOutputIndex = -1;

    // What were static locals of the pass and the detection step.
    int cTrigImage = 0;         // bit c: camera c delivered a triggered frame
    int lastDelay = 0;          // last delay started, tenths
    int tR = 0;                 // passes since start or the last camera loss
    int rawPictureCounter = 0;  // 0..199
    // Re-check passes wait for a frame taken over after the judgement.
    int reCheckFrameMask = 0;   // bit c: camera c took a frame since the judgement
    qint64 reCheckJudgedMs = 0; // monotonic time of the judgement

    // The cycle's timers (made by CycleController::createTimers).
    std::unique_ptr<CycleTimer> runTimer;
    std::unique_ptr<CycleTimer> inputDebounceTimers[9];
    std::unique_ptr<CycleTimer> detectDelayTimers[kDetections];
    std::unique_ptr<CycleTimer> noInputTimer;
    std::unique_ptr<CycleTimer> safeDoorTimer;
    std::unique_ptr<CycleTimer> resultShowTimer;
    std::unique_ptr<CycleTimer> ngPulseTimer;
    std::unique_ptr<CycleTimer> clampPulseTimer;
    std::unique_ptr<CycleTimer> ejectorPulseTimer;
    std::unique_ptr<CycleTimer> delayedOutputTimer;
};

// Globals the cycle owns.
extern bool gisReTrain;    // rebuild every enabled detection at the end of the display
extern bool gisReShape;    // rebuild detection 1 only
extern int gFromTrain;     // the area page is open after re-sampling; the verdict waits
extern int gPicNumNG;      // NG pictures kept (0 = none rendered)
extern int gPicNumOK;
extern bool gisUseStatistics;
