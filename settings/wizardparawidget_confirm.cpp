// Confirm: the pages read into the edit copy, the refusal, the question,
// and then either the edits dropped or the candidate saved in one PARAM.db
// transaction and only then made live, recorded, told to the relay and
// applied to the cameras and engines.  A failed save changes nothing.
#include "wizardparawidget.h"

#include "operationrecord.h"
#include "cameraglobals.h"
#include "checkbox.h"
#include "choosebox.h"
#include "clock.h"
#include "commandrunner.h"
#include "messages.h"
#include "paths.h"
#include "relaylink.h"
#include "settingshost.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QSqlError>
#include <glog/logging.h>

namespace {

bool AnyMethod(const WizardPara& w)
{
    return w.defectEnabled || w.spotEnabled || w.blackAreaEnabled || w.whiteAreaEnabled || w.whiteCountEnabled
           || w.directionEnabled || w.similarityEnabled || w.distanceEnabled;
}

bool ForcesDetails(const WizardPara& w)
{
    return w.spotEnabled || w.whiteAreaEnabled || w.blackAreaEnabled || w.whiteCountEnabled || w.directionEnabled
           || w.distanceEnabled;
}

bool SameCard(const NetCard& a, const NetCard& b)
{
    return a.hostName == b.hostName && a.cardInfo == b.cardInfo;
}

} // namespace

void WizardParaWidget::accept() { confirm(); }

ConfirmOutcome WizardParaWidget::confirm()
{
    if (!gpWPara || !gpWParaBak)
        return ConfirmOutcome::Refused;
    WizardPara& live = *gpWPara;
    WizardPara& edit = *gpWParaBak;

    // 1. The service level ends with every Confirm.
    if (host_->accessLevel() == AccessLevelAdvanced)
        host_->setAccessLevel(live.passwordEnabled ? AccessLevelPrimary : AccessLevelNone);

    // 2. The pages into the edit copy, with the forcing rules.
    ReadPages();
    if (ForcesDetails(edit)) {
        if (showDetailsBox)
            showDetailsBox->setValue(1);
        edit.showAlgorithmDetails = 1;
    }
    if (edit.continuousTimedDetect)
        edit.externalTrigger = 0;
    if (saveRawBox)
        host_->setSaveRawImages(saveRawBox->value() != 0);

    // 3. Refusal: no detection method.
    if (!AnyMethod(edit)) {
        WarnMessage(232);
        return ConfirmOutcome::Refused;
    }

    // 5. New server addresses restart the relay whatever else changed.
    if (gpNet && gpNet->serverConfigChanged) {
        gpNet->CNT_ReStart();
        gpNet->serverConfigChanged = false;
    }

    // 6. Nothing changed: no question, no record.
    const bool cardSame = !gpNet || SameCard(gpNet->netCardEdit, gpNet->netCard);
    if (edit == live && cardSame) {
        hide();
        host_->sideBarResetManualTrig();
        host_->sideBarResetCaptureMode();
        host_->repaintViews();
        return ConfirmOutcome::Unchanged;
    }

    // 7, 8. The question; anything but Yes drops the edits and puts the
    // previewed camera values back.
    if (!AskYes(234)) {
        const WizardPara previewed = edit;
        edit = live;
        if (gpNet)
            gpNet->netCardEdit = gpNet->netCard;
        if (shown_)
            ReapplyCameras(edit, previewed, false);
        hide();
        host_->sideBarResetManualTrig();
        host_->sideBarResetCaptureMode();
        host_->repaintViews();
        return ConfirmOutcome::Discarded;
    }
    return commitEdits();
}

namespace {

// Functions 0 and 3 run two detections, 1 and 2 four: a change between the
// classes waits for the next start like a change to or from 4.
int FunctionClass(int mode)
{
    if (mode == SystemModeMultiDetect)
        return 2;
    return mode == SystemModeTwoColor || mode == SystemModeTurntable ? 1 : 0;
}

// The detection layout of functions 0 to 3 (enabled detections, triggers,
// the area outputs' inversion, the active pair).
void DeriveFunctionLayout(WizardPara& p, int& leftPairActive)
{
    const int prod = p.productDetectEnabled ? 1 : 0;
    switch (p.systemMode) {
    case SystemModeStandard:
    case SystemModeAutoParts: {
        p.detectEnabled[0] = prod;
        p.detectEnabled[1] = 1;
        p.detectTriggerInput[0] = 0;
        p.detectTriggerInput[1] = p.semiAuto ? 2 : 0;
        const int inv = p.productNgPulseNoAlarm || p.productOkNgOutputs ? 0 : 1;
        for (int k = 4; k < 8; ++k)
            p.outputInvert[k] = inv;
        break;
    }
    case SystemModeTwoColor:
    case SystemModeTurntable: {
        const bool two = p.systemMode == SystemModeTwoColor;
        if (p.moldSelect == 0) {
            p.detectEnabled[0] = prod;
            p.detectEnabled[1] = 1;
            p.detectEnabled[2] = 0;
            p.detectEnabled[3] = 0;
            p.detectTriggerInput[0] = 0;
            p.detectTriggerInput[1] = two ? 2 : (p.semiAuto ? 2 : 0);
            leftPairActive = 1;
        } else if (p.moldSelect == 1) {
            p.detectEnabled[0] = 0;
            p.detectEnabled[1] = 0;
            p.detectEnabled[2] = prod;
            p.detectEnabled[3] = 1;
            p.detectTriggerInput[0] = two ? 0 : 3;
            p.detectTriggerInput[1] = two ? 3 : (p.semiAuto ? 2 : 3);
            leftPairActive = 0;
        } else {
            p.detectEnabled[0] = prod;
            p.detectEnabled[1] = 1;
            p.detectEnabled[2] = prod;
            p.detectEnabled[3] = 1;
            p.detectTriggerInput[0] = two ? 0 : 255;
            p.detectTriggerInput[1] = two ? 255 : (p.semiAuto ? 2 : 255);
        }
        break;
    }
    default:
        break;
    }
}

void DeriveMultiDetect(WizardPara& p, int n)
{
    for (int d = 0; d < kDetections; ++d) {
        if (d < n) {
            const int row = p.multiDetectRow[d];
            p.multiDetectRowActive[d] = row;
            const int choice = row >= 0 && row < 8 ? p.multiRowTrigger[row] : -1;
            if (row < 0 || row >= 8 || (d == 0 && !p.productDetectEnabled) || choice < 0 || choice >= 8) {
                p.detectEnabled[d] = 0;
                p.detectTriggerInput[d] = -1;
            } else {
                p.detectEnabled[d] = 1;
                p.detectTriggerInput[d] = TriginNo[choice] - 1;
            }
        } else {
            p.detectEnabled[d] = 0;
            p.detectTriggerInput[d] = -1;
        }
    }
}

} // namespace

CommitPlan PlanCommit(const WizardPara& live, const WizardPara& edit, int leftPairActive, int detections,
                      int cameras)
{
    CommitPlan plan;
    plan.candidate = edit;
    plan.leftPairActive = leftPairActive;
    plan.detections = detections;
    WizardPara& cand = plan.candidate;
    ChangeFlags& f = plan.flags;
    for (int c = 0; c < kCameraSlots; ++c)
        f.camera[c] = live.exposure[c] != edit.exposure[c] || live.gain[c] != edit.gain[c]
                      || live.sharpness[c] != edit.sharpness[c] || live.contrast[c] != edit.contrast[c]
                      || live.gamma[c] != edit.gamma[c];
    f.positioning = live.motionCorrection != edit.motionCorrection || live.rotationAngle != edit.rotationAngle;
#define MM_FLAG(name) f.name = live.name != edit.name
    MM_FLAG(productDetectEnabled);
    MM_FLAG(moldSameAsProduct);
    MM_FLAG(templateCount);
    MM_FLAG(ngImageKeep);
    MM_FLAG(okImageKeep);
    MM_FLAG(differenceMultiplier);
    MM_FLAG(captureSpeed);
    MM_FLAG(serialPort);
    MM_FLAG(colorCamera);
    MM_FLAG(grayChannel);
    MM_FLAG(noLensOptimize);
    MM_FLAG(externalTrigger);
    MM_FLAG(showManualSnapshot);
    MM_FLAG(moldSelect);
    MM_FLAG(maxOffset);
    MM_FLAG(statisticsEnabled);
#undef MM_FLAG

    const bool pendingMulti = edit.systemModePending == SystemModeMultiDetect;
    const bool liveMulti = live.systemMode == SystemModeMultiDetect;
    if (pendingMulti && liveMulti) {
        const int n = qBound(1, edit.multiDetectCount, kDetections);
        plan.multiBookkeeping = true;
        plan.relabel = true;
        plan.detections = n;
        cand.statusLampCount = n;
        DeriveMultiDetect(cand, n);
    } else if (!pendingMulti && !liveMulti) {
        if (FunctionClass(edit.systemModePending) == FunctionClass(live.systemMode)) {
            cand.systemMode = edit.systemModePending;
        } else {
            plan.functionPending = edit.systemModePending != live.systemModePending;
        }
        cand.statusLampCount = 4;
        DeriveFunctionLayout(cand, plan.leftPairActive);
    } else {
        plan.functionPending = edit.systemModePending != live.systemModePending;
    }

    plan.recordText = Msg(235);

    // Training: each (camera, detection) shaped and trained at most once,
    // after the commit, for the enabled detections in use.
    const bool shape = f.positioning || f.moldSelect || f.maxOffset;
    const bool pairs = f.productDetectEnabled || f.moldSameAsProduct || f.moldSelect;
    const int mode = cand.systemMode;
    const bool copy = pairs && cand.moldSameAsProduct
                      && ((cand.productDetectEnabled && (mode == SystemModeStandard || mode == SystemModeAutoParts))
                          || mode == SystemModeTwoColor || mode == SystemModeTurntable);
    for (int c = 0; c < cameras; ++c) {
        if (copy)
            plan.copyAreas.push_back(c);
        for (int d = 0; d < plan.detections && d < kDetections; ++d) {
            if (!cand.detectEnabled[d])
                continue;
            const bool retrained = plan.multiBookkeeping && plan.detections != detections;
            if (shape || pairs || retrained)
                plan.createShape.push_back({c, d});
            if (pairs || f.differenceMultiplier || retrained)
                plan.varTrain.push_back({c, d});
        }
    }
    return plan;
}

ParamStoreResult WizardParaWidget::SaveCandidate(const WizardPara& candidate, QSqlDatabase db)
{
    return candidate.SaveDatatoFile(db);
}

void WizardParaWidget::RunTraining(const std::vector<std::pair<int, int>>& createShape,
                                   const std::vector<std::pair<int, int>>& varTrain)
{
    const int total = int(createShape.size() + varTrain.size());
    if (total == 0)
        return;
    // The cycle stands still meanwhile: the box is repainted directly, never
    // through the event loop, so no pass runs on a half-trained engine.
    const qint64 start = appClock().monotonicMs();
    int done = 0;
    bool boxShown = false;
    auto step = [&] {
        ++done;
        if (!boxShown && appClock().monotonicMs() - start < 1000)
            return;
        if (!boxShown && gpWarnBox) {
            boxShown = true;
            gpWarnBox->setText(QString(), 529);
            gpWarnBox->show();
            gpWarnBox->raise();
        }
        if (gpWarnBox) {
            gpWarnBox->setText(QStringLiteral("%1\n%2 / %3").arg(Msg(529)).arg(done).arg(total), 529);
            gpWarnBox->repaint();
        }
        if (progressShown)
            progressShown(done, total);
    };
    for (const auto& [c, d] : createShape) {
        host_->createShape(c, d);
        step();
    }
    for (const auto& [c, d] : varTrain) {
        host_->varTrain(c, d);
        step();
    }
    if (boxShown && gpWarnBox)
        gpWarnBox->hide();
    LOG(INFO) << "settings: retraining of " << total << " steps took " << appClock().monotonicMs() - start << " ms";
}

ConfirmOutcome WizardParaWidget::commitEdits()
{
    WizardPara& live = *gpWPara;
    WizardPara& edit = *gpWParaBak;
    const WizardPara old = live;

    // Prepare: the candidate record and what follows from it.
    WizardPara cand = edit;
    CommitPlan plan = PlanCommit(old, cand, host_->leftPairActive(), gDNum, qMin(host_->cameraCount(), 8));
    cand = plan.candidate;

    // Save: the candidate's rows and the area sets the copy rewrites, in one
    // transaction.
    QSqlDatabase db = host_->paramDatabase();
    QString why;
    bool saved = true;
    const bool outer = !plan.copyAreas.empty() && db.transaction();
    for (int c : plan.copyAreas) {
        if (!host_->saveCopiedAreas(c, cand.systemMode, db, &why)) {
            saved = false;
            why = QStringLiteral("areas of camera %1: %2").arg(c + 1).arg(why);
            break;
        }
    }
    if (saved) {
        const ParamStoreResult r = SaveCandidate(cand, db);
        if (!r.ok) {
            saved = false;
            why = r.detail;
        }
    }
    if (saved && outer && !db.commit()) {
        saved = false;
        why = db.lastError().text();
    }
    if (!saved) {
        if (outer)
            db.rollback();
        host_->dropCopiedAreas();
        LOG(ERROR) << "settings not saved: " << why.toStdString();
        WarnMessage(160);
        return ConfirmOutcome::SaveFailed;
    }

    // Network files (still against the old live record), then the commit.
    const int netBits = SaveNetParam ? SaveNetParam() : 0;
    if (netBits != 0) {
        WarnMessage(418);
        if (gpNet)
            gpNet->serverConfigChanged = false;
    }
    live = cand;
    edit = cand;
    if (gpNet)
        gpNet->netCard = gpNet->netCardEdit;
    host_->setLeftPairActive(plan.leftPairActive);
    if (plan.multiBookkeeping && plan.detections != gDNum) {
        host_->changeDetectNum(plan.detections);
        host_->resetCycleForDetectCount(plan.detections);
    }
    gDNum = plan.detections;
    host_->insertRecord(plan.recordText);
    if (live.netEnabled && RelayReady(true)) {
        gpNet->CNT_SendParam();
    }
    host_->commitCopiedAreas();
    if (live.netEnabled && RelayReady(true))
        for (int c : plan.copyAreas)
            for (int d = 0; d < kDetections; ++d)
                gpNet->CNT_SendROIParam(c, d);

    if (netBits != 0) {
        const QString etc = paths().etcDir;
        for (const auto& [from, to] : {std::pair{QStringLiteral("./cnt_net/ls_hostname"), QStringLiteral("/hostname")},
                                       std::pair{QStringLiteral("./cnt_net/ls_hosts"), QStringLiteral("/hosts")}}) {
            const CommandResult r = commandRunner().run(QStringLiteral("cp"), {from, etc + to});
            if (!r.ok())
                LOG(WARNING) << "cp " << from.toStdString() << " failed: " << r.errorOutput.toStdString();
        }
        qDebug() << "(change serverinfo) 'NetClinet' will restart...";
        if (gpNet)
            gpNet->CNT_ReStart();
    }

    // Cameras: a hidden dialog (an alarm during the question) left them on
    // the old values.
    if (!shown_)
        ReapplyCameras(live, old, false);
    if (plan.flags.externalTrigger) {
        host_->setCaptureModeCopy(live.externalTrigger);
        for (int c = 0; c < qMin(host_->cameraCount(), 8); ++c)
            host_->changeCameraTrigger(c);
    }
    if (plan.flags.captureSpeed)
        host_->applyCaptureSpeed();

    RunTraining(plan.createShape, plan.varTrain);

    if (plan.flags.templateCount || plan.flags.ngImageKeep || plan.flags.okImageKeep)
        WarnMessage(276);
    if (plan.flags.serialPort || plan.flags.colorCamera || plan.flags.grayChannel || plan.flags.noLensOptimize)
        WarnMessage(309);
    if (plan.flags.statisticsEnabled || plan.functionPending)
        WarnMessage(277);
    if (plan.flags.showManualSnapshot || plan.flags.productDetectEnabled)
        host_->sideBarShowHide(0);

    hide();
    host_->sideBarResetManualTrig();
    host_->sideBarResetCaptureMode();
    host_->repaintViews();
    return ConfirmOutcome::Saved;
}
