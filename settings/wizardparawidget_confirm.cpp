// Confirm: the pages read into the edit copy, the refusal, the question,
// and then either the edits dropped or the candidate saved in one PARAM.db
// transaction and only then made live, recorded, told to the relay and
// applied to the cameras and engines.  A failed save changes nothing.  What
// to do is decided by the plan (confirmplan.h); this file carries it out.
#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "checkbox.h"
#include "choosebox.h"
#include "clock.h"
#include "commandrunner.h"
#include "messages.h"
#include "networkfiles.h"
#include "operationrecord.h"
#include "paths.h"
#include "progressbox.h"
#include "projectmessages.h"
#include "relaylink.h"
#include "settingshost.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparastore.h"

#include <QSqlError>
#include <memory>
#include <glog/logging.h>

using namespace confirmplan;

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

    // 2. The pages into the edit copy, with the forcing rules; the details
    // box shows what is stored.
    ReadPages();
    ApplyReadRules(edit);
    if (showDetailsBox)
        showDetailsBox->setValue(edit.showAlgorithmDetails);
    if (saveRawBox)
        host_->setSaveRawImages(saveRawBox->value() != 0);

    // 3. Refusal: no detection method.
    if (NoDetectionMethod(edit)) {
        WarnMessage(kMsgNoMethod);
        return ConfirmOutcome::Refused;
    }
    // A host name the system would not take never reaches its files: the
    // dialog stays open with the name as typed.
    if (gpNet && HostNameRefused(gpNet->netCard, gpNet->netCardEdit)) {
        LOG(WARNING) << "settings: host name refused: " << gpNet->netCardEdit.hostName.toStdString();
        WarnMessage(kMsgHostNameRefused);
        return ConfirmOutcome::Refused;
    }

    // 5. New server addresses restart the relay whatever else changed.
    if (gpNet && gpNet->serverConfigChanged) {
        gpNet->CNT_ReStart();
        gpNet->serverConfigChanged = false;
    }

    auto end = [this] {
        hide();
        host_->sideBarResetManualTrig();
        host_->sideBarResetCaptureMode();
        host_->repaintViews();
    };

    // 6. Nothing changed: no question, no record.
    const NetCard noCard;
    if (NothingChanged(live, edit, gpNet ? gpNet->netCard : noCard, gpNet ? gpNet->netCardEdit : noCard)) {
        end();
        return ConfirmOutcome::Unchanged;
    }

    // 7, 8. The question; anything but Yes drops the edits and puts every
    // previewed camera value back, mirrors and shading included.
    if (!AskYes(234)) {
        const WizardPara previewed = edit;
        edit = live;
        if (gpNet)
            gpNet->netCardEdit = gpNet->netCard;
        if (shown_)
            ReapplyCameras(edit, previewed, false);
        end();
        return ConfirmOutcome::Discarded;
    }

    const ConfirmOutcome outcome = commitEdits();
    if (outcome == ConfirmOutcome::Saved)
        end();
    return outcome;
}

ConfirmOutcome WizardParaWidget::commitEdits()
{
    WizardPara& live = *gpWPara;
    WizardPara& edit = *gpWParaBak;
    const WizardPara old = live;
    const int cameras = qMin(host_->cameraCount(), kCameraSlots);

    // Prepare.
    const ChangeFlags flags = ComputeChangeFlags(old, edit);
    ConfirmContext context;
    context.detections = gDNum;
    context.leftPairActive = host_->leftPairActive();
    context.numCamera = cameras;
    const Candidate candidate = MakeCandidate(old, edit, context);
    const RetrainPlan retrain = PlanRetraining(flags, candidate, cameras);
    const CameraSteps cameraSteps = PlanCameraSteps(flags);
    const Notes notes = PlanNotes(flags, candidate);
    const QString recordText = RecordText(old, edit, gLan);

    // Save: the candidate's rows and the area sets the copy rewrites, in
    // one transaction.
    QSqlDatabase db = host_->paramDatabase();
    QString why;
    bool saved = db.transaction();
    if (!saved)
        why = QStringLiteral("no transaction: %1").arg(db.lastError().text());
    if (saved && retrain.copyAreas) {
        for (int c = 0; c < cameras && saved; ++c) {
            if (!host_->saveCopiedAreas(c, candidate.record.systemMode, db, &why)) {
                saved = false;
                why = QStringLiteral("areas of camera %1: %2").arg(c + 1).arg(why);
            }
        }
    }
    if (saved) {
        const ParamStoreResult r = candidate.record.SaveDatatoFile(db, WizardPara::RelayNotice::Caller);
        if (!r.ok) {
            saved = false;
            why = r.detail;
        }
    }
    if (saved && !db.commit()) {
        saved = false;
        why = QStringLiteral("commit: %1").arg(db.lastError().text());
    }
    if (!saved) {
        db.rollback();
        host_->dropCopiedAreas();
        LOG(ERROR) << "settings not saved: " << why.toStdString();
        WarnMessage(kMsgSystemParamFileError);
        return ConfirmOutcome::SaveFailed;
    }

    // The network files (still against the old live record).
    const NetSaveResult net = SaveNetParam();
    const NetworkSteps netSteps = PlanNetworkSteps(net.bits, net.hostFilesWritten);
    QStringList netFailed = net.failed;
    if (netSteps.restartNote) {
        WarnMessage(418);
        if (gpNet)
            gpNet->serverConfigChanged = false;
    }

    // The in-memory commit, as whole copies.
    live = candidate.record;
    edit = candidate.record;
    if (gpNet)
        gpNet->netCard = gpNet->netCardEdit;
    host_->setLeftPairActive(candidate.leftPairActive);
    if (candidate.stepCount.run) {
        host_->changeDetectNum(candidate.stepCount.steps);
        host_->resetCycleForDetectCount(candidate.stepCount);
    }
    gDNum = candidate.detections;
    if (candidate.rewriteLabels)
        FillDefaultLabels(live);
    host_->insertRecord(recordText);

    // The relay hears of what the running system now holds.
    live.NotifyRelay();
    host_->commitCopiedAreas();
    if (retrain.copyAreas && live.netEnabled && RelayReady(true))
        for (int c = 0; c < cameras; ++c)
            for (int d = 0; d < gDNum && d < kDetections; ++d)
                gpNet->CNT_SendROIParam(c, d);

    if (netSteps.macRegister && !UpdateMacRegisterFile())
        netFailed << QString::fromLatin1(netfiles::kMacRegisterFile);
    if (netSteps.copyHostFiles) {
        const QString etc = paths().etcDir;
        const std::pair<QString, QString> copies[] = {
            {netfiles::FilePath(netfiles::kHostnameFile), etc + QStringLiteral("/hostname")},
            {netfiles::FilePath(netfiles::kHostsFile), etc + QStringLiteral("/hosts")},
        };
        for (const auto& [from, to] : copies) {
            const CommandResult r = commandRunner().run(QStringLiteral("cp"), {from, to});
            if (!r.ok())
                LOG(WARNING) << "cp " << from.toStdString() << " " << to.toStdString() << " failed ("
                             << r.exitCode << ")";
        }
    } else if (net.bits & 4) {
        LOG(WARNING) << "settings: the host-name files were not written; nothing copied into "
                     << paths().etcDir.toStdString();
    }
    if (!netFailed.isEmpty()) {
        LOG(ERROR) << "settings: network files not written: " << netFailed.join(QStringLiteral(", ")).toStdString();
        WarnMessage(kMsgNetworkFilesNotWritten);
    }
    if (netSteps.restartRelay) {
        LOG(INFO) << "(change serverinfo) 'NetClinet' will restart...";
        if (gpNet)
            gpNet->CNT_ReStart();
    }

    // Cameras: a dialog hidden meanwhile (an alarm during the question)
    // left them on the old live values.
    if (!shown_)
        ReapplyCameras(live, old, false);
    if (cameraSteps.changeTrigger) {
        host_->setCaptureModeCopy(live.externalTrigger);
        for (int c = 0; c < cameras; ++c)
            host_->changeCameraTrigger(c);
    }
    if (cameraSteps.setSpeed)
        host_->applyCaptureSpeed();

    RunTraining(retrain);

    for (int id : notes.messages)
        WarnMessage(id);
    if (notes.sideBarShowHide)
        host_->sideBarShowHide(0);
    return ConfirmOutcome::Saved;
}

void WizardParaWidget::RunTraining(const RetrainPlan& plan)
{
    const int total = plan.calls();
    if (total == 0)
        return;
    // The cycle stands still meanwhile: the box is repainted directly, never
    // through the event loop, so no pass runs on a half-trained engine.
    const qint64 start = appClock().monotonicMs();
    int done = 0;
    std::unique_ptr<ProgressBox> box;
    auto step = [&] {
        ++done;
        if (!box && appClock().monotonicMs() - start < 1000)
            return;
        if (!box) {
            box = std::make_unique<ProgressBox>();
            box->setText(Msg(529), 529);
            box->show();
            box->raise();
        }
        box->setProgress(done, total);
        box->repaint();
        if (progressShown)
            progressShown(done, total);
    };
    for (const TrainStep& s : plan.steps) {
        if (s.createShape) {
            host_->createShape(s.camera, s.detection);
            step();
        }
        if (s.varTrain) {
            host_->varTrain(s.camera, s.detection);
            step();
        }
    }
    if (box)
        box->hide();
    LOG(INFO) << "settings: retraining, " << total << " engine calls, took " << appClock().monotonicMs() - start
              << " ms";
}
