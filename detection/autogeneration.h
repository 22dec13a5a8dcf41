#pragma once
// Proposes one defect area for a detection without areas: the region where
// the base templates of detections 0 and 1 of the camera differ, as one
// convex polygon, written into the work set and its mask table.
#include "cameraslotstate.h"

// minimumSize and minimumArea become the area's filter size and alarm area.
// Returns true when an area was made.  Nothing changes (false) when the
// detection already has areas, the slot has no work set or no base
// templates, or the templates do not differ.  The caller deselects, resets
// the drawing tool and repaints.
bool AutogenerationRegion(CameraSlotState& slot, int d, int minimumSize, int minimumArea);

// Sensitivity given to a generated area: one fifth of the mean difference
// over the differing pixels of its rectangle; 45 when none differs.
int AutogenerationSensitivity(const cv::Mat& diffCut);
