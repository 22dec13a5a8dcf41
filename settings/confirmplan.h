#pragma once
// What Confirm of the settings dialog decides, as pure functions of the live
// record, the edit copy and a little of the running state.  Nothing here
// touches a widget, a database, a camera or a global: the dialog executes
// the plan (save, commit, record, relay, cameras, training, notes).
#include "netcard.h"
#include "wizardpara.h"

#include <QString>
#include <array>
#include <vector>

namespace confirmplan {

// --- reading the pages

// The method switches that force "Display all the parameters" on.
bool ForcesDetails(const WizardPara& edit);
// Confirm's rules on the read edit copy: the forcing of the details switch,
// and continuous timed detection clearing the external trigger.
void ApplyReadRules(WizardPara& edit);
// No detection method is enabled: Confirm refuses with message 232
// (ignore area and positioning are not methods of their own).
bool NoDetectionMethod(const WizardPara& edit);
constexpr int kMsgNoMethod = 232;

// --- changes

struct ChangeFlags {
    std::array<bool, kCameraSlots> exposure{}, gain{}, sharpness{}, contrast{}, gamma{};
    bool positioning = false;   // motion correction or rotation angle
    bool productDetectEnabled = false;
    bool moldSameAsProduct = false;
    bool templateCount = false;
    bool ngImageKeep = false;
    bool okImageKeep = false;
    bool differenceMultiplier = false;
    bool captureSpeed = false;
    bool serialPort = false;
    bool colorCamera = false;
    bool grayChannel = false;
    bool noLensOptimize = false;
    bool externalTrigger = false;
    bool showManualSnapshot = false;
    bool moldSelect = false;
    bool maxOffset = false;
    bool statisticsEnabled = false;
    bool systemFunction = false;   // the chosen (pending) function

    bool cameraValues(int camera) const
    {
        return exposure[camera] || gain[camera] || sharpness[camera] || contrast[camera] || gamma[camera];
    }
};
ChangeFlags ComputeChangeFlags(const WizardPara& live, const WizardPara& edit);

// Nothing to ask about: the records are equal byte for byte, and so are the
// edited network card's host name and addresses (the MAC map is not compared).
bool NothingChanged(const WizardPara& live, const WizardPara& edit, const NetCard& netCard,
                    const NetCard& netCardEdit);

// --- the record

// Message 235 followed by one clause per change: the fixed rows in their
// order, forms and texts, then every other changed field of the pages in
// page order.  Derived fields are never named, the password never shown.
QString RecordText(const WizardPara& live, const WizardPara& edit, int language);
constexpr int kMsgRecordHead = 235;

// --- the system function and the candidate record

// How the chosen function takes effect.
enum class FunctionStep {
    AppliesNow,     // within {standard, auto parts} or {two-colour, turntable}
    NextStart,      // a change between those classes, or to or from multi-detection
    MultiDetect,    // multi-detection chosen and running: the step bookkeeping
};
FunctionStep ChooseFunctionStep(int runningMode, int chosenMode);

struct ConfirmContext {
    int detections = 2;        // gDNum in force
    int leftPairActive = 1;    // the main window's flag
    int numCamera = 1;         // camera views in use
};

// The cycle's bookkeeping when the number of multi-detection steps changes.
struct StepCountChange {
    bool run = false;          // the step count differs from the one in force
    int steps = 0;             // ChangeDetectNum(steps) on the area page
    int currentDetect = 0;     // the main window's current detection afterwards
    // Per detection below steps: its pending-camera mask is cleared (enabled
    // in the candidate).  Every view below numCamera also gets its skip,
    // fail-image, armed, first-run and NG-count entries cleared.
    std::array<bool, kDetections> clearPendingMask{};
    int cameras = 0;
};

struct Candidate {
    WizardPara record;         // what is saved and becomes live
    FunctionStep function = FunctionStep::AppliesNow;
    bool functionDeferred = false;   // the chosen function changed and waits for the next start
    int detections = 2;        // gDNum after the commit
    int leftPairActive = 1;    // after the commit
    bool rewriteLabels = false;  // the multi-detection status labels (FillDefaultLabels)
    StepCountChange stepCount;
};
// The edit copy with the derivation of the running or chosen function.
Candidate MakeCandidate(const WizardPara& live, const WizardPara& edit, const ConfirmContext& context);

// --- after the commit

// Whether the cameras' area sets are copied onto the partner detections
// (CopyPara, and the set saved with the parameters).
bool CopiesAreas(const ChangeFlags& flags, const WizardPara& newLive);

struct TrainStep {
    int camera = 0;
    int detection = 0;
    bool createShape = false;   // runs before varTrain
    bool varTrain = false;
};
struct RetrainPlan {
    bool copyAreas = false;              // CopyPara on each camera below numCamera first
    std::vector<TrainStep> steps;        // camera by camera, detections rising
    int calls() const;                   // CreateShape and VarTrain calls in all
    bool empty() const { return steps.empty() && !copyAreas; }
};
RetrainPlan PlanRetraining(const ChangeFlags& flags, const Candidate& candidate, int numCamera);

// The camera steps after the commit.
struct CameraSteps {
    bool changeTrigger = false;   // captureModeCopy := externalTrigger, CameraChangeTrig(false) per view
    bool setSpeed = false;        // CameraSetSpeed
};
CameraSteps PlanCameraSteps(const ChangeFlags& flags);

// The notes after the training, in order (messages 276, 309, 277), and
// whether the side bar's buttons are shown again.
struct Notes {
    std::vector<int> messages;
    bool sideBarShowHide = false;
};
Notes PlanNotes(const ChangeFlags& flags, const Candidate& candidate);

// --- the network steps

// A changed host name the system would not take: Confirm refuses it as it
// refuses a setting without detection method (an unchanged name passes,
// whatever it is).
bool HostNameRefused(const NetCard& netCard, const NetCard& netCardEdit);

// What follows the network files' change bits (the network page's
// SaveNetParam) once the edits are committed.
struct NetworkSteps {
    bool restartNote = false;     // message 418
    bool macRegister = false;     // the MAC register brought up to date
    bool copyHostFiles = false;   // ls_hostname and ls_hosts copied into /etc
    bool restartRelay = false;
};
// hostFilesWritten: this Confirm wrote both host-name files.  Only those
// are copied into /etc: files of an earlier Confirm, or none, never are.
NetworkSteps PlanNetworkSteps(unsigned bits, bool hostFilesWritten);

}  // namespace confirmplan
