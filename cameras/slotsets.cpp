#include "slotsets.h"

#include "wizardpara.h"

#include <algorithm>

namespace {

int clampedDetections(int detections)
{
    return std::clamp(detections, 0, kDetections);
}

bool isTwoSideMode(int mode)
{
    return mode == SystemModeTwoColor || mode == SystemModeTurntable;
}

bool isSingleSideMode(int mode)
{
    return mode == SystemModeStandard || mode == SystemModeAutoParts;
}

void copyArea(CammerSingleton& set, AreaMaskArray& liveMask, int s, int t, int a)
{
    switch (set.roiShape[s][a]) {
    case RoiShapePolygon:
        set.roiPolygon[t][a] = set.roiPolygon[s][a];
        set.roiPolygon[t][a].SetSelected(false);
        break;
    case RoiShapeCircle:
        set.roiCircle[t][a] = set.roiCircle[s][a];
        set.roiCircle[t][a].SetSelected(false);
        break;
    case RoiShapeRect:
        set.roiRect[t][a] = set.roiRect[s][a];
        set.roiRect[t][a].SetSelected(false);
        break;
    default:
        break;   // an unknown shape code has no shape object to copy
    }
    liveMask[t][a] = liveMask[s][a];
    set.roiShape[t][a] = set.roiShape[s][a];
    set.roiMinSize[t][a] = set.roiMinSize[s][a];
    set.roiSensibility[t][a] = set.roiSensibility[s][a];
    set.roiMaxArea[t][a] = set.roiMaxArea[s][a];
    set.roiMethod[t][a] = set.roiMethod[s][a];
}

} // namespace

std::vector<DetectCopy> CopyPartners(int systemMode)
{
    if (isSingleSideMode(systemMode))
        return {{0, 1}};
    if (isTwoSideMode(systemMode))
        return {{1, 3}, {0, 2}};
    return {};
}

bool PartnerCopyOnSave(const WizardPara& para)
{
    if (!para.moldSameAsProduct)
        return false;
    return (isSingleSideMode(para.systemMode) && para.detectEnabled[0]) || isTwoSideMode(para.systemMode);
}

bool IsCopyTarget(const WizardPara& para, int d)
{
    if (!para.moldSameAsProduct)
        return false;
    if (isSingleSideMode(para.systemMode))
        return para.detectEnabled[0] && d % 2 == 1;
    if (isTwoSideMode(para.systemMode))
        return d > 1;
    return false;
}

void BackMask(AreaMaskArray& workMask, const AreaMaskArray& liveMask, int detections)
{
    for (int d = 0; d < clampedDetections(detections); ++d)
        workMask[d] = liveMask[d];
}

void RestorMask(AreaMaskArray& liveMask, const AreaMaskArray& workMask, const WizardPara& para,
                int detections)
{
    for (int d = 0; d < clampedDetections(detections); ++d) {
        if (!IsCopyTarget(para, d))
            liveMask[d] = workMask[d];
    }
}

void CopyPara(CammerSingleton& savedSet, AreaMaskArray& liveMask, int systemMode)
{
    for (const DetectCopy& c : CopyPartners(systemMode)) {
        savedSet.roiCount[c.target] = savedSet.roiCount[c.source];
        const int count = std::clamp(savedSet.roiCount[c.source], 0, kAreas);
        for (int a = 0; a < count; ++a)
            copyArea(savedSet, liveMask, c.source, c.target, a);
    }
}
