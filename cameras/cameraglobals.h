#pragma once
// Camera kind, counts and the per-family probe results, shared by the camera
// code.  The image geometry itself (gImageW, gImageH, gImageLen, gColorLen,
// gisColor, gCameraID, gFindCamera, ...) lives in globals.h.
#include "globals.h"
#include "screenstates.h"
#include "wizardpara.h"   // gSerialNB: the serial bound to each slot, loaded with the parameters

#include "hikvisionsdk.h"
#include "mindvisionsdk.h"

#include <QString>

enum CameraKind {
    CameraKindNone = 0,
    CameraKindGalaxy = 4,
    CameraKindUEye = 5,
    CameraKindMindVision = 6,
    CameraKindHikvision = 7,
    CameraKindUvc = 9,
    CameraKindDvp = 12,
};

constexpr int kMindVisionListSize = 12;
constexpr int kSerialTextSize = kParamTextLen;   // bytes of one gSerialNB entry

extern int numCamera;                    // camera views in use (slots 0 .. numCamera - 1)
extern int gOW, gOH;                     // sensor (window) size reported by the probe
extern int gSensorColor;                 // the sensor delivers colour
extern simsdk::mv::ImageResolution gImageResolution;      // MindVision preset, 2592-wide sensors with cut
extern simsdk::mv::DeviceInfo gCList[kMindVisionListSize]; // MindVision device list
extern simsdk::hik::DeviceInfoList gDevList;              // Hikvision device list
extern int gCamNO[kCameraSlots];         // slot chosen for the i-th opened camera (renumbering)
extern int gLost;                        // camera-loss episodes since the counters were reset
extern int gisLost;                      // 1 while the cameras are lost
extern int gContrast[kCameraSlots];      // Galaxy software contrast per slot, under pMutex[slot]
extern int gSource;                      // PictureSource* value the views show; PictureSourceNone at start
extern QString gTempTime;                // file time of the shown template, "yyyy-MM-dd hh.mm.ss"
