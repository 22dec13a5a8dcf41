#pragma once
// Process-wide state that the whole program shares by name.  Each global is
// set once by its owner (noted beside it) and read everywhere else.
#include <QString>

class QMutex;

// Fixed limits shared by every subsystem.
constexpr int kCameraSlots = 8;
constexpr int kDetections = 8;
constexpr int kAreas = 50;
constexpr int kLogicalInputs = 8;
constexpr int kLogicalOutputs = 8;

// Made by main before any thread that takes them starts; never destroyed.
extern QMutex* pMutexIO;                 // I/O words
extern QMutex* pMutexSaveFail;           // fail-image slots
extern QMutex* pMutex[kCameraSlots];     // frame hand-over, one per camera slot
extern bool isImageFill[kCameraSlots];   // a new frame waits in the slot

extern int gfLED;                        // descriptor of the panel device, < 0 when closed
extern QString gAppDirPath;              // directory of the executable

// Makes the shared locks and clears the new-frame flags (main, step 7).
// Idempotent, so tests may call it freely.
void CreateSharedLocks();

// Image geometry and camera kind: set by the camera probe at start-up.
extern int gImageW, gImageH;   // pixels of one frame
extern int gImageLen;          // bytes of one 8-bit plane
extern int gColorLen;          // bytes of one frame buffer (4 per pixel in colour)
extern int gShowW, gShowH;     // the screen
extern double gShowAW, gShowAH; // screen / image, per axis
extern int gisColor;           // frames are RGBA
extern int gCameraID;          // camera kind, see the camera probe
extern int gFindCamera;        // cameras found by the probe
extern int gTempNum;           // template slots per detection
extern int gisGrayHue;         // colour cameras: 0 hue plane, else gray plane
extern int gisCut;             // lens optimisation (cut) on

// Hands the image geometry above to the image library, which cannot see
// these globals; called whenever they change.
void SyncImageGeometry();
