#include "enginehost.h"

#include "wizardpara.h"

EngineParams WizardParaEngineHost::params() const
{
    EngineParams p;
    const WizardPara* w = gpWPara;
    if (!w)
        return p;
    for (int d = 0; d < kDetections; ++d)
        p.detectEnabled[d] = w->detectEnabled[d];
    p.motionCorrection = w->motionCorrection;
    p.rotationAngle = w->rotationAngle;
    p.maxOffset = w->maxOffset;
    p.differenceMultiplier = w->differenceMultiplier;
    p.showAlgorithmDetails = w->showAlgorithmDetails;
    p.minimumSize = w->minimumSize;
    p.minimumArea = w->minimumArea;
    p.templateIsNg = w->templateIsNg;
    p.minSpot = w->minSpot;
    p.netEnabled = w->netEnabled;
    return p;
}
