#pragma once
// Keeps the masks of a camera slot's two area sets in step, and copies the
// areas of a detection onto its partner when "Two same parameters" is on.
// The whole-set copies (work set := saved set, and back) are value copies of
// CammerSingleton made by the area page; the masks are not part of a set and
// follow through these functions.  Masks are shared cv::Mat headers, never
// copied pixel by pixel, so nothing may change a mask in place: the editor
// and the engine always replace a mask as a whole.  GUI thread only.
#include "cammersingleton.h"

#include <vector>

class WizardPara;

// One copy of CopyPara: the areas of detection source go onto target.
struct DetectCopy {
    int source;
    int target;
};

// The copies of CopyPara in their order, by system mode: 0 -> 1 in the
// standard and auto-parts modes; 1 -> 3, then 0 -> 2 in the two-colour and
// turntable modes; none in the multi-detection mode or any other.
std::vector<DetectCopy> CopyPartners(int systemMode);

// True when the area page's save copies the partners (CopyPara) after
// restoring the masks: "Two same parameters" on, and the mode is standard
// or auto-parts with detection 0 enabled, or two-colour or turntable.
bool PartnerCopyOnSave(const WizardPara& para);

// True when RestorMask leaves detection d alone, because CopyPara fills it
// from its source: the odd detections in the standard and auto-parts modes
// with detection 0 enabled, detections above 1 in the two-colour and
// turntable modes; never with "Two same parameters" off.
bool IsCopyTarget(const WizardPara& para, int d);

// Every work mask of detections 0 .. detections - 1 := the live mask of the
// same detection and area.
void BackMask(AreaMaskArray& workMask, const AreaMaskArray& liveMask, int detections);

// Every live mask of detections 0 .. detections - 1 := the work mask of the
// same detection and area, except for the detections CopyPara fills
// (IsCopyTarget).
void RestorMask(AreaMaskArray& liveMask, const AreaMaskArray& workMask, const WizardPara& para,
                int detections);

// Copies, in the order of CopyPartners(systemMode), the areas of each source
// detection of savedSet onto its target: the count, and per area below the
// source's count the shape object by the source's shape code (selection
// cleared), the live mask (shared), the shape code, A, B, C and the method.
// Outputs, the 16 detection options and the NG counts stay; target areas
// beyond the source's count are left as they are.
void CopyPara(CammerSingleton& savedSet, AreaMaskArray& liveMask, int systemMode);
