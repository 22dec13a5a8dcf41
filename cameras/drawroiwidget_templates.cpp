#include "drawroiwidget.h"

// The template library commands: the file and buffer work is the library's
// (templatelibrary.h); the page asks, checks access and the alarm, and
// retrains.

#include "cameraglobals.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "templatelibrary.h"
#include "warnbox.h"
#include "wizardpara.h"

TemplateReports DrawROIWidget::templateReports()
{
    TemplateReports reports;
    reports.netEnabled = host_->liveParameters().netEnabled != 0;
    reports.insertRecord = [this](const QString& text) { host_->insertRecord(text); };
    reports.retrainLater = [this](int camIndex) {
        if (camIndex >= 0 && camIndex < kCameraSlots)
            retrainPending[camIndex] = true;
    };
    return reports;
}

void DrawROIWidget::GetTempTIme(int c, int d, int n)
{
    TemplateLibrary::GetTempTIme(c, d, n);
}

void DrawROIWidget::SlotTempDeleteCur()
{
    CommandScope scope(this);
    CammerWidget* cam = shownCamera();
    if (!cam)
        return;
    if (cam->tempShown == 0) {
        WarnMessage(68);
        return;
    }
    if (!AskYes(69))
        return;
    cam = shownCamera();
    if (!cam)
        return;
    const TemplateReports reports = templateReports();
    const TemplateOutcome outcome = TemplateLibrary(*cam, reports).deleteShown(host_->viewState().editDetect);
    if (outcome.warning != TemplateOutcome::kNoWarning)
        WarnMessage(outcome.warning);
    cam->update();
}

void DrawROIWidget::SlotAddTemp()
{
    CommandScope scope(this);
    const WizardPara& para = host_->liveParameters();
    const ViewState& view = host_->viewState();
    if (host_->cyclePageMode() == PageModeAlarm && gSource == PictureSourceLive) {
        const CammerWidget* cam = shownCamera();
        if (!cam || cam->isOK) {
            WarnMessage(107);
            return;
        }
        if (para.safetyDoorClearsAlarm && !host_->safetyDoorOpened()) {
            WarnMessage(195);
            return;
        }
    }
    if (gTempNum < 2) {
        WarnMessage(258);
        return;
    }
    if (para.addTemplatePassword && !para.passwordEnabled) {
        if (!host_->commandPasswordAccepted(AreaPageCommandAddTemplate))
            return;
    } else if (host_->CheckPassword() == 0) {
        return;
    }

    const int pageMode = host_->cyclePageMode();
    const int d = pageMode == PageModeAlarm && gSource == PictureSourceLive ? host_->cycleCurrentDetect()
                                                                            : view.editDetect;
    if (!AskYes(108))
        return;
    // The boxes may have waited while the alarm or the view moved on.
    CammerWidget* cam = shownCamera();
    if (!cam)
        return;
    const bool live = gSource == PictureSourceLive;
    const bool sourceFits = pageMode == PageModeAlarm ? live || gSource == PictureSourceRecentNG
                                                      : pageMode == PageModeArea && gSource == PictureSourceRecentNG;
    if (!sourceFits || d < 0 || d >= kDetections)
        return;

    const int shownNg = cam->recentShown;
    const int ngDetect = view.editDetect;
    static const std::vector<uchar> kNone;
    const std::vector<uchar>& picture =
        live ? cam->alignedFrame
             : (ngDetect >= 0 && ngDetect < kDetections && shownNg >= 0 && shownNg < CameraSlotState::kRecentNGFrames
                    ? cam->recentNG[ngDetect][shownNg]
                    : kNone);
    const TemplateReports reports = templateReports();
    const TemplateOutcome outcome = TemplateLibrary(*cam, reports).add(d, picture);
    if (outcome.warning != TemplateOutcome::kNoWarning) {
        WarnMessage(outcome.warning);
        return;
    }
    // An empty recent-NG slot adds nothing: no black template, no retrain.
    if (!outcome.changed)
        return;

    if (live) {
        const int current = host_->cycleCurrentDetect();
        cam->VarTrain(current);
        if (current >= 0 && current < kDetections) {
            cam->skipMould[current] = 1;
            int& state = host_->cycleFailImageState(cam->camIndex, current);
            if (state == FailImgNgHeld)
                state = FailImgClearedAddTemp;
        }
        SlotReCheck();
    } else {
        retrainPending[cam->camIndex] = true;
    }
    cam->update();
}

void DrawROIWidget::SlotTempDeleteAll()
{
    CommandScope scope(this);
    std::vector<CameraSlotState*> cameraSlots;
    for (int c = 0; c < numCamera; ++c)
        if (CammerWidget* cam = camera(c))
            cameraSlots.push_back(cam);
    const TemplateReports reports = templateReports();
    const TemplateOutcome outcome = DeleteAllTemplates(cameraSlots, gDNum, reports);
    if (outcome.warning != TemplateOutcome::kNoWarning)
        WarnMessage(outcome.warning);
}
