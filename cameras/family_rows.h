#pragma once
// The rows of the camera families, each defined in its family_*.cpp; only
// the family table lists them.
#include "camerafamily.h"

extern const CameraFamily kGalaxyFamily;
extern const CameraFamily kUEyeFamily;
extern const CameraFamily kMindVisionFamily;
extern const CameraFamily kDvpFamily;
extern const CameraFamily kUvcFamily;
extern const CameraFamily kHikvisionFamily;
extern const CameraFamily kNoCameraFamily;

// The processed image size a probe step chose (gImageW, gImageH).
void setProbedSize(int width, int height);
