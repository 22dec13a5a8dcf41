#pragma once
// The named values of the screen and cycle state that the camera views, the
// area editor and the main window share.  The main window holds the fields;
// the views read them through SlotHost.

// MoJuWizard::runState.
enum RunState {
    RunStateDetecting = 1,   // constructor default
    RunStateTraining = 2,    // template re-sampling and the area adjustment after it
    RunStateStopped = 3,     // detection stopped
};

// MoJuWizard::pageMode.
enum PageMode {
    PageModeNone = 0,        // normal monitoring
    PageModeOKShown = 1,     // a verdict is on screen for 2 s
    PageModeAlarm = 2,       // an NG alarm is held
    PageModeArea = 3,        // the area page is open by the user
};

// MoJuWizard::resultPhase.
enum ResultPhase {
    PhaseCountdown = 1,      // a detection delay counts down
    PhaseDetected = 2,       // the detection has run
    PhaseShown = 3,          // result shown, idle (constructor default)
};

// gSource: what the camera views show.
enum PictureSource {
    PictureSourceNone = -1,      // area page closed: live frames
    PictureSourceTemplate = 0,   // the only source in which areas are drawn
    PictureSourceLive = 1,
    PictureSourceRecentNG = 2,
    PictureSourceOKRecord = 3,
    PictureSourceNGRecord = 4,
};

// Gesture state of the area editor of a camera view.  There is no value 4.
enum EditAction {
    EditActionNone = 0,
    EditActionDraw = 1,      // a new area is being drawn
    EditActionMove = 2,
    EditActionResize = 3,
    EditActionStart = 5,     // rectangle or circle tool pressed, not yet dragged
};

// What the move buttons of a camera view act on; cycles in this order.
enum MoveMode {
    MoveModeShowPanel = 0,
    MoveModeHidePanel = 1,
    MoveModeAll = 2,         // every area of the page detection moves
};

// MoJuWizard::failImageState values, per camera and detection; the cycle
// and the area page's alarm commands move them on.
enum FailImageState {
    FailImgIdle = 0,
    FailImgArmed = 1,            // armed in this cycle
    FailImgOkReady = 2,          // OK picture rendered into slot 1
    FailImgNgHeld = 3,           // NG picture rendered into slot 0, held during the alarm
    FailImgClearedSkip = 4,      // alarm cleared by "Don't Detect"
    FailImgClearedAddTemp = 5,   // alarm cleared by "Add As Temp"
    FailImgClearedSwitch = 6,
    FailImgClearedRecheck = 7,   // alarm being cleared by a re-check
    FailImgStampedRecheck = 8,   // NG picture stamped "Re-detected", OK picture pending
    FailImgQueueNg = 9,          // slot 0 to be queued
    FailImgQueueBoth = 10,       // slots 0 and 1 to be queued
};
