#pragma once
// The pictures one camera slot keeps in its folders "./cammer<camera + 1>
// <detection + 1>" of the program directory: the template library
// ("template<t>.bmp") and the ignore-point mask ("ignorepoint.bmp") of each
// detection.  The camera slot widget forwards to these at construction and
// whenever a mask changes; tests call them on a plain CameraSlotState.
//
// Geometry comes from the slot state (imageW, imageH, color, colorLen,
// templateSlots), never from the globals.  Pictures are exchanged one row at
// a time through scanLine(), so a width whose file rows carry fill bytes
// (any width not a multiple of 4) is exact.  GUI thread only.
#include "cameraslotstate.h"

#include <QString>

// "./cammer%1%2/template%3.bmp": camIndex + 1, d + 1, t, plain decimal.
QString TemplateFile(int camIndex, int d, int t);
// "./cammer%1%2/ignorepoint.bmp": camIndex + 1, d + 1.
QString IgnorePointFile(int camIndex, int d);

// Loads the template library of all 8 detections, so that a detection added
// at run time never lacks its templates.  Slot t of d is valid when its file
// loads as a W x H picture whose depth x W x H is colorLen x 8 (8-bit with
// grey processing, 32-bit with colour); its rows are copied into the slot's
// buffer.  Any other slot is invalid and holds no buffer ("no picture"); a
// file that exists but is unusable is logged.  When slot 0 is invalid it is
// replaced by the central half (255 over W/4 <= x <= 3 * (W/4) and
// H/4 <= y <= 3 * (H/4) in the first imageLen bytes, the rest 0), so every
// detection has a base template.  templateCount[d] counts the valid slots.
void LoadTemplateLibrary(CameraSlotState& slot, int camIndex);

// Loads the ignore-point masks of all 8 detections.  A missing file gives an
// all-zero mask.  A file that does not load, is not W x H or is not an 8-bit
// picture also gives an all-zero mask and is logged.
void LoadIgnorePoint(CameraSlotState& slot, int camIndex);

// Writes the mask of detection d as an 8-bit picture with the grey colour
// table, making the folder when it is missing.  The file is written beside
// its place and renamed over it, so a failed write leaves the old file.
// Only a written file is offered to the relay (gpNet->CNT_SendTempPic with
// the absolute path), and only when netEnabled is set and the relay is
// listening and connected.  A failure is logged; false then.
bool SaveIgnorePoint(const CameraSlotState& slot, int camIndex, int d, bool netEnabled);

// Writes pixels (colorLen bytes of the slot's geometry) as the file of
// template slot t of detection d (colour: 32-bit RGB; grey: 8-bit with the
// grey colour table), making the folder when it is missing.  The file is
// written beside its place and renamed over it, so a failed write leaves the
// old file.  Nothing is sent.  A failure is logged; false then.
bool WriteTemplateFile(const CameraSlotState& slot, int camIndex, int d, int t, const uchar* pixels);

// Writes template slot t of detection d as "template<t>.bmp" (colour: 32-bit
// RGB; grey: 8-bit with the grey colour table), replacing the file the same
// way and offering it to the relay under the same conditions as
// SaveIgnorePoint.  False (logged) when the slot holds no picture or the
// write failed.
bool SaveTemplate(const CameraSlotState& slot, int camIndex, int d, int t, bool netEnabled);
