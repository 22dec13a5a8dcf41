#include "confirmplan.h"

#include "messages.h"
#include "networkfiles.h"
#include "paramfields.h"
#include "wizardparastore.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>

namespace confirmplan {
namespace {

using paramfields::CaptionText;

// ---------------------------------------------------------------- record rows

enum class Form {
    Delay,      // message 236 with the detection's name
    Recheck,    // message 239 with the detection's name
    Value,      // message 245
    Switch,     // message 240 + 250/251
    Motion,     // message 240 + 250 when the new value is 0, else 251
    StopClamp,  // message 240 + 252/253
    Cameras,    // messages 237, 238, 246, 247, 365 per slot
    Mould,      // message 245 named by the mould items
    Password,   // message 249, the text never shown
};

struct Row {
    Form form;
    std::size_t offset;
    int caption;
};

#define AT(member) offsetof(WizardPara, member)
#define AT_I(member, i) (offsetof(WizardPara, member) + std::size_t(i) * sizeof(int))

// The fixed rows of the change record, in their order.
const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = {
        {Form::Delay, AT_I(detectDelay, 0), 263},
        {Form::Delay, AT_I(detectDelay, 1), 264},
        {Form::Recheck, AT(moldRecheckCount), 264},
        {Form::Value, AT(minimumSize), 22},
        {Form::Value, AT(minimumArea), 24},
        {Form::Switch, AT(semiAuto), 174},
        {Form::Switch, AT(productDetectEnabled), 175},
        {Form::Motion, AT(motionCorrection), 176},
        {Form::Switch, AT(moldSameAsProduct), 177},
        {Form::Switch, AT(templateAutoUpdate), 400},
        {Form::Cameras, 0, -1},
        {Form::Value, AT(captureSpeed), 244},
        {Form::Switch, AT(colorCamera), 270},
        {Form::Switch, AT(grayChannel), 271},
        {Form::Switch, AT(autoShading), 388},
        {Form::Switch, AT(noLensOptimize), 337},
        {Form::Switch, AT(externalTrigger), 519},
        {Form::Switch, AT(defectEnabled), 196},
        {Form::Switch, AT(spotEnabled), 197},
        {Form::Switch, AT(ignoreAreaEnabled), 198},
        {Form::Switch, AT(positionEnabled), 199},
        {Form::Switch, AT(showAlgorithmDetails), 200},
        {Form::Switch, AT(blackAreaEnabled), 390},
        {Form::Switch, AT(whiteAreaEnabled), 391},
        {Form::Switch, AT(whiteCountEnabled), 520},
        {Form::Switch, AT(similarityEnabled), 397},
        {Form::Value, AT(serialPort), 269},
        {Form::Value, AT(inputTimeout), 336},
        {Form::Value, AT(preCut), 166},
        {Form::Value, AT(ejectorPulse), 168},
        {Form::Value, AT(clampPulse), 169},
        {Form::Value, AT(reserveInputRole), 203},
        {Form::Value, AT(reserveOutputRole), 334},
        {Form::Value, AT_I(outputInvert, 0), 273},
        {Form::Value, AT_I(outputInvert, 1), 274},
        {Form::Value, AT_I(outputInvert, 2), 275},
        {Form::Value, AT_I(outputInvert, 3), 281},
        {Form::Mould, AT(moldSelect), -1},
        {Form::Value, AT(skipDetectCount), 571},
        {Form::Switch, AT(cutEjectorOnClamp), 178},
        {Form::StopClamp, AT(stopForbidsClamp), 179},
        {Form::Switch, AT(productNoEjectorControl), 192},
        {Form::Switch, AT(productNgPulseNoAlarm), 190},
        {Form::Switch, AT(productOkNgOutputs), 1013},
        {Form::Switch, AT(moldNgPulseNoAlarm), 642},
        {Form::Switch, AT(cutClampAfterMoldOk), 193},
        {Form::Switch, AT(safetyDoorClearsAlarm), 195},
        {Form::Switch, AT(safetyDoorTrigger), 265},
        {Form::Switch, AT(okNgPulses), 202},
        {Form::Value, AT(templateCount), 185},
        {Form::Value, AT(ngImageKeep), 186},
        {Form::Value, AT(okImageKeep), 187},
        {Form::Value, AT(differenceMultiplier), 188},
        {Form::Value, AT(autoLogoutSeconds), 189},
        {Form::Value, AT(maxOffset), 213},
        {Form::Value, AT(screenOffSeconds), 243},
        {Form::Value, AT(minSpot), 181},
        {Form::Value, AT(rotationAngle), 403},
        {Form::Switch, AT(cameraCheck), 586},
        {Form::Switch, AT(ioLostAlarm), 591},
        {Form::Switch, AT(skipDetectEnabled), 572},
        {Form::Switch, AT(skipMoldPassword), 194},
        {Form::Switch, AT(addTemplatePassword), 341},
        {Form::Switch, AT(ignorePointPassword), 342},
        {Form::Switch, AT(autoGenerateArea), 191},
        {Form::Switch, AT(passwordEnabled), 170},
        {Form::Password, AT(password), -1},
    };
    return rows;
}

// The int offsets the fixed rows name (the camera rows cover whole arrays).
const std::set<std::size_t>& RowOffsets()
{
    static const std::set<std::size_t> offsets = [] {
        std::set<std::size_t> s;
        for (const Row& r : Rows()) {
            if (r.form == Form::Cameras) {
                for (std::size_t base : {AT(exposure), AT(gain), AT(sharpness), AT(contrast), AT(gamma)})
                    for (int c = 0; c < kCameraSlots; ++c)
                        s.insert(base + std::size_t(c) * sizeof(int));
            } else if (r.form != Form::Password) {
                s.insert(r.offset);
            }
        }
        return s;
    }();
    return offsets;
}

int IntAt(const WizardPara& p, std::size_t offset) { return ParamInt(p, offset); }

QString ValueClause(const QString& caption, int from, int to, int lan)
{
    return CaptionText(245, lan).arg(caption, QString::number(from), QString::number(to));
}

QString SwitchClause(const QString& caption, int word, int lan)
{
    return CaptionText(240, lan).arg(caption) + CaptionText(word, lan);
}

bool IsPair(int mode) { return mode == SystemModeTwoColor || mode == SystemModeTurntable; }
bool IsSingle(int mode) { return mode == SystemModeStandard || mode == SystemModeAutoParts; }

}  // namespace

// ---------------------------------------------------------------- reading

bool ForcesDetails(const WizardPara& e)
{
    return e.spotEnabled || e.whiteAreaEnabled || e.blackAreaEnabled || e.whiteCountEnabled
           || e.directionEnabled || e.distanceEnabled;
}

void ApplyReadRules(WizardPara& edit)
{
    if (ForcesDetails(edit))
        edit.showAlgorithmDetails = 1;
    if (edit.continuousTimedDetect)
        edit.externalTrigger = 0;
}

bool NoDetectionMethod(const WizardPara& e)
{
    return !(e.defectEnabled || e.spotEnabled || e.blackAreaEnabled || e.whiteAreaEnabled
             || e.whiteCountEnabled || e.directionEnabled || e.similarityEnabled || e.distanceEnabled);
}

// ---------------------------------------------------------------- changes

ChangeFlags ComputeChangeFlags(const WizardPara& live, const WizardPara& edit)
{
    ChangeFlags f;
    for (int c = 0; c < kCameraSlots; ++c) {
        f.exposure[c] = live.exposure[c] != edit.exposure[c];
        f.gain[c] = live.gain[c] != edit.gain[c];
        f.sharpness[c] = live.sharpness[c] != edit.sharpness[c];
        f.contrast[c] = live.contrast[c] != edit.contrast[c];
        f.gamma[c] = live.gamma[c] != edit.gamma[c];
    }
#define CHANGED(member) (live.member != edit.member)
    f.positioning = CHANGED(motionCorrection) || CHANGED(rotationAngle);
    f.productDetectEnabled = CHANGED(productDetectEnabled);
    f.moldSameAsProduct = CHANGED(moldSameAsProduct);
    f.templateCount = CHANGED(templateCount);
    f.ngImageKeep = CHANGED(ngImageKeep);
    f.okImageKeep = CHANGED(okImageKeep);
    f.differenceMultiplier = CHANGED(differenceMultiplier);
    f.captureSpeed = CHANGED(captureSpeed);
    f.serialPort = CHANGED(serialPort);
    f.colorCamera = CHANGED(colorCamera);
    f.grayChannel = CHANGED(grayChannel);
    f.noLensOptimize = CHANGED(noLensOptimize);
    f.externalTrigger = CHANGED(externalTrigger);
    f.showManualSnapshot = CHANGED(showManualSnapshot);
    f.moldSelect = CHANGED(moldSelect);
    f.maxOffset = CHANGED(maxOffset);
    f.statisticsEnabled = CHANGED(statisticsEnabled);
    f.systemFunction = CHANGED(systemModePending);
#undef CHANGED
    return f;
}

bool NothingChanged(const WizardPara& live, const WizardPara& edit, const NetCard& netCard,
                    const NetCard& netCardEdit)
{
    return live == edit && netCard.hostName == netCardEdit.hostName && netCard.cardInfo == netCardEdit.cardInfo;
}

// ---------------------------------------------------------------- the record

QString RecordText(const WizardPara& live, const WizardPara& edit, int lan)
{
    QString text = CaptionText(kMsgRecordHead, lan);
    for (const Row& row : Rows()) {
        if (row.form == Form::Cameras) {
            static const int kIds[5] = {237, 238, 246, 247, 365};
            const int* const arrays[2][5] = {
                {live.exposure, live.gain, live.sharpness, live.contrast, live.gamma},
                {edit.exposure, edit.gain, edit.sharpness, edit.contrast, edit.gamma}};
            for (int c = 0; c < kCameraSlots; ++c)
                for (int k = 0; k < 5; ++k) {
                    const int from = arrays[0][k][c], to = arrays[1][k][c];
                    if (from != to)
                        text += CaptionText(kIds[k], lan).arg(QString::number(c + 1), QString::number(from),
                                                              QString::number(to));
                }
            continue;
        }
        if (row.form == Form::Password) {
            if (std::memcmp(live.password, edit.password, kParamTextLen) != 0)
                text += CaptionText(249, lan);
            continue;
        }
        const int from = IntAt(live, row.offset), to = IntAt(edit, row.offset);
        if (from == to)
            continue;
        switch (row.form) {
        case Form::Delay:
            text += CaptionText(236, lan).arg(CaptionText(row.caption, lan), QString::number(from),
                                              QString::number(to));
            break;
        case Form::Recheck:
            text += CaptionText(239, lan).arg(CaptionText(row.caption, lan), QString::number(from),
                                              QString::number(to));
            break;
        case Form::Value:
            text += ValueClause(CaptionText(row.caption, lan), from, to, lan);
            break;
        case Form::Switch:
            text += SwitchClause(CaptionText(row.caption, lan), to ? 250 : 251, lan);
            break;
        case Form::Motion:
            text += SwitchClause(CaptionText(row.caption, lan), to == 0 ? 250 : 251, lan);
            break;
        case Form::StopClamp:
            text += SwitchClause(CaptionText(row.caption, lan), to ? 252 : 253, lan);
            break;
        case Form::Mould:
            text += ValueClause(
                paramfields::FieldCaption(*paramfields::FindField("moldSelect"), {live.systemMode, 2, lan}), from,
                to, lan);
            break;
        case Form::Cameras:
        case Form::Password:
            break;
        }
    }

    // Every other changed field of the pages, in page order.  The fields the
    // pages read only in multi-detection mode are derived in the others.
    const bool multi = live.systemMode == SystemModeMultiDetect;
    const paramfields::CaptionContext captions{live.systemMode, edit.multiDetectCount, lan};
    for (const paramfields::ParamField& f : paramfields::ParamFields()) {
        if (f.offset == paramfields::kNotInRecord || f.clause == paramfields::Clause::None)
            continue;
        if (f.read == paramfields::Read::MultiDetect && !multi)
            continue;
        const int cameras = f.perCamera ? kCameraSlots : 1;
        for (int c = 0; c < cameras; ++c) {
            const std::size_t at = f.offset + std::size_t(c) * sizeof(int);
            if (RowOffsets().count(at))
                continue;
            const int from = IntAt(live, at), to = IntAt(edit, at);
            if (from == to)
                continue;
            switch (f.clause) {
            case paramfields::Clause::Switch:
                text += SwitchClause(paramfields::FieldCaption(f, captions), to ? 250 : 251, lan);
                break;
            case paramfields::Clause::Value:
            case paramfields::Clause::OutputState:
                text += ValueClause(paramfields::FieldCaption(f, captions), from, to, lan);
                break;
            case paramfields::Clause::DelayStep:
                text += CaptionText(236, lan).arg(CaptionText(477 + f.index, lan), QString::number(from),
                                                  QString::number(to));
                break;
            case paramfields::Clause::Mirror:
                text += SwitchClause(QStringLiteral("%1 C%2").arg(paramfields::FieldCaption(f, captions)).arg(c + 1),
                                     to ? 250 : 251, lan);
                break;
            case paramfields::Clause::None:
                break;
            }
        }
    }
    return text;
}

// ---------------------------------------------------------------- function and candidate

FunctionStep ChooseFunctionStep(int running, int chosen)
{
    if (running == SystemModeMultiDetect && chosen == SystemModeMultiDetect)
        return FunctionStep::MultiDetect;
    if ((IsSingle(running) && IsSingle(chosen)) || (IsPair(running) && IsPair(chosen)))
        return FunctionStep::AppliesNow;
    return FunctionStep::NextStart;
}

Candidate MakeCandidate(const WizardPara& live, const WizardPara& edit, const ConfirmContext& context)
{
    Candidate c;
    c.record = edit;
    c.detections = context.detections;
    c.leftPairActive = context.leftPairActive;
    const int running = live.systemMode;
    const int chosen = edit.systemModePending;
    c.function = ChooseFunctionStep(running, chosen);
    c.functionDeferred = c.function == FunctionStep::NextStart && chosen != live.systemModePending;

    WizardPara& r = c.record;
    // A function that waits for the next start: the running one's layout
    // still follows the product, semi-auto and mould switches.
    r.systemMode = c.function == FunctionStep::AppliesNow ? chosen : running;
    const DetectionLayout layout = DeriveLayout(r, context.leftPairActive);
    c.leftPairActive = layout.leftPairActive;
    if (r.systemMode != SystemModeMultiDetect)
        return c;   // the detection count of the class is the one in force

    // Multi-detection: the step count and the cycle's bookkeeping.
    c.detections = layout.detections;
    c.rewriteLabels = true;
    StepCountChange& s = c.stepCount;
    s.run = layout.detections != context.detections;
    if (s.run) {
        s.steps = layout.detections;
        s.currentDetect = layout.detections - 1;
        s.cameras = context.numCamera;
        for (int d = 0; d < kDetections; ++d)
            s.clearPendingMask[d] = d < layout.detections && r.detectEnabled[d];
    }
    return c;
}

// ---------------------------------------------------------------- after the commit

bool CopiesAreas(const ChangeFlags& flags, const WizardPara& p)
{
    if (!(flags.productDetectEnabled || flags.moldSameAsProduct || flags.moldSelect))
        return false;
    return p.moldSameAsProduct && ((p.productDetectEnabled && IsSingle(p.systemMode)) || IsPair(p.systemMode));
}

int RetrainPlan::calls() const
{
    int n = 0;
    for (const TrainStep& s : steps)
        n += int(s.createShape) + int(s.varTrain);
    return n;
}

RetrainPlan PlanRetraining(const ChangeFlags& flags, const Candidate& candidate, int numCamera)
{
    RetrainPlan plan;
    const WizardPara& r = candidate.record;
    // Every step of the multi-detection function is trained again whenever
    // its bookkeeping runs.
    const bool allSteps = candidate.function == FunctionStep::MultiDetect
                          || (r.systemMode == SystemModeMultiDetect && candidate.stepCount.run);
    const bool shape = flags.positioning || flags.moldSelect || flags.maxOffset;
    const bool pairing = flags.productDetectEnabled || flags.moldSameAsProduct || flags.moldSelect;
    const bool createShape = allSteps || shape || pairing;
    const bool varTrain = allSteps || pairing || flags.differenceMultiplier;
    plan.copyAreas = numCamera > 0 && CopiesAreas(flags, r);
    if (!createShape && !varTrain)
        return plan;
    const int detections = std::clamp(candidate.detections, 0, kDetections);
    for (int cam = 0; cam < std::min(numCamera, kCameraSlots); ++cam)
        for (int d = 0; d < detections; ++d) {
            if (r.detectEnabled[d])
                plan.steps.push_back({cam, d, createShape, varTrain});
        }
    return plan;
}

CameraSteps PlanCameraSteps(const ChangeFlags& flags)
{
    return {flags.externalTrigger, flags.captureSpeed};
}

Notes PlanNotes(const ChangeFlags& flags, const Candidate& candidate)
{
    Notes n;
    if (flags.templateCount || flags.ngImageKeep || flags.okImageKeep)
        n.messages.push_back(276);
    if (flags.serialPort || flags.colorCamera || flags.grayChannel || flags.noLensOptimize)
        n.messages.push_back(309);
    if (flags.statisticsEnabled || candidate.functionDeferred)
        n.messages.push_back(277);
    n.sideBarShowHide = flags.showManualSnapshot || flags.productDetectEnabled;
    return n;
}

// ------------------------------------------------------------ network steps

bool HostNameRefused(const NetCard& netCard, const NetCard& netCardEdit)
{
    return netCardEdit.hostName != netCard.hostName && !netfiles::ValidHostName(netCardEdit.hostName);
}

NetworkSteps PlanNetworkSteps(unsigned bits, bool hostFilesWritten)
{
    NetworkSteps s;
    if (bits == 0)
        return s;
    s.restartNote = true;
    s.macRegister = true;
    s.copyHostFiles = (bits & 4) != 0 && hostFilesWritten;
    s.restartRelay = true;
    return s;
}

}  // namespace confirmplan
