#pragma once
// Camera probing at start-up, serial bindings, frame rate, and the loss and
// restart of cameras.  All run on the GUI thread.
#include <QString>

// Probes the camera families in a fixed order and keeps the first that
// answers: sets gCameraID, gFindCamera, gImageW/H and the per-family globals.
void CheckCameraID();
// USB video-class cameras attached, counted from the kernel's input-device
// list (paths().procInputDevices; a copy is kept as "devices").
int CheckUSBCameraNum();
// Rewrites the eight serial rows of SN.db in one transaction: clear = 1
// stores "0" everywhere, 0 the serials of the opened cameras in the slots
// gCamNO chooses.  False when SN.db was not written; the file and the
// serials in memory then keep the binding they had.
bool SaveSN(int clear);
// Applies the capture speed to every camera in use (stop, set, start).
void CameraSetSpeed();
// Decides whether the cameras are lost and shuts them down if so.
void CameraCheck(int cam);
// One attempt to bring lost cameras back.
void CameraRestart();

// Cameras of the family of kind gCameraID now on the bus (-1: the family
// cannot count, as for no camera).
int CountCamerasOfKind();
