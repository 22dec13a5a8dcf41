#include "drawroiwidget.h"

// Tools, deletes, re-check, "Don't Detect", save and return.

#include "arearecords.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "messages.h"
#include "relaylink.h"
#include "slotsets.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDebug>
#include <QSignalBlocker>
#include <QSqlError>

#include <memory>
#include <utility>
#include <vector>

namespace {

bool hasIgnoreWork(const CammerWidget& w)
{
    for (const auto& work : w.ignoreWorkMask)
        if (!work.empty())
            return true;
    return false;
}

// The slot's sets as they were before a save, to put back when it fails.
struct SlotBeforeSave {
    CammerWidget* slot = nullptr;
    CammerSingleton savedSet;
    CammerSingleton workSet;
    AreaMaskArray liveMask;
    AreaMaskArray workMask;
    AreaChangeRecords records;
};

} // namespace

DrawROIWidget::CommandScope::CommandScope(DrawROIWidget* page) : page_(page) { ++page_->commandDepth_; }

DrawROIWidget::CommandScope::~CommandScope()
{
    if (--page_->commandDepth_ == 0)
        page_->runHeldReCheck();
}

void DrawROIWidget::runHeldReCheck()
{
    if (!reCheckHeld_)
        return;
    reCheckHeld_ = false;
    // The click was meant for the alarm; once it has ended there is
    // nothing left to re-check.
    if (host_->cyclePageMode() == PageModeAlarm)
        reCheck();
}

CammerWidget* DrawROIWidget::toolCamera() const
{
    CammerWidget* w = gSource == PictureSourceTemplate ? shownCamera() : nullptr;
    return w && w->workSet ? w : nullptr;
}

void DrawROIWidget::setPolygonCaption(int messageId)
{
    if (drawPolygonButton)
        drawPolygonButton->setText(Msg(messageId));
}

void DrawROIWidget::SlotCopyArea()
{
    if (!toolCamera())
        return;
    ViewState& v = host_->viewState();
    v.copyAreaMode = true;
    v.drawMode = 0;
    setPolygonCaption(53);
}

void DrawROIWidget::startTool(int drawMode)
{
    CammerWidget* w = toolCamera();
    if (!w)
        return;
    ViewState& v = host_->viewState();
    v.copyAreaMode = false;
    if (drawMode == 2)
        v.freehandMode = true;
    w->DeselectROI();
    w->ShowHideROIPara();
    v.drawMode = drawMode;
    setPolygonCaption(53);
}

void DrawROIWidget::SlotDrawRect() { startTool(1); }
void DrawROIWidget::SlotDrawCircle() { startTool(4); }
void DrawROIWidget::SlotDrawHand() { startTool(2); }

void DrawROIWidget::SlotDrawPloygn()
{
    CammerWidget* w = toolCamera();
    if (!w)
        return;
    ViewState& v = host_->viewState();
    v.freehandMode = false;
    v.copyAreaMode = false;
    if (v.drawMode == 2) {
        // Pressed while a polygon or gesture is drawn: it ends it.
        w->SavePolygon();
        if (v.drawMode == 0)
            setPolygonCaption(53);
        w->update();
        return;
    }
    w->DeselectROI();
    w->ShowHideROIPara();
    v.drawMode = 2;
    setPolygonCaption(33);
}

void DrawROIWidget::SlotDeleteROI()
{
    CommandScope scope(this);
    CammerWidget* w = toolCamera();
    if (!w)
        return;
    host_->viewState().copyAreaMode = false;
    if (w->selRoi == -1) {
        WarnMessage(65);
        return;
    }
    if (!AskYes(66))
        return;
    // The box let the main loop run: delete only while the same camera is
    // still shown alone with a picture to edit on.
    if (shownCamera() == w && gSource != PictureSourceLive && gSource != PictureSourceNone && w->selRoi >= 0) {
        w->DeleteROI(w->selRoi);
        w->selRoi = -1;
        w->ShowHideROIPara();
    }
    host_->repaintAll();
}

void DrawROIWidget::SlotDeleteAllROI()
{
    CommandScope scope(this);
    CammerWidget* w = toolCamera();
    if (!w)
        return;
    host_->viewState().copyAreaMode = false;
    if (!AskYes(67))
        return;
    const int d = host_->viewState().editDetect;
    if (toolCamera() == w && d >= 0 && d < kDetections) {
        w->workSet->roiCount[d] = 0;
        w->selRoi = -1;
        w->ShowHideROIPara();
        // Into the page's work copy: the live points stay until the save.
        w->clearIgnorePoints(d, QRect(0, 0, w->imageW, w->imageH));
    }
    host_->repaintAll();
}

void DrawROIWidget::SlotReCheck()
{
    if (commandDepth_ > 0) {
        // A page command waits in a box: the cycle must not re-run the
        // verdict under it.  Once, after it.
        reCheckHeld_ = true;
        return;
    }
    reCheck();
}

void DrawROIWidget::reCheck()
{
    CommandScope scope(this);
    const int b = host_->viewState().viewCamera;
    SlotSaveData();
    host_->reDetectHeld();
    showAfterReCheck(b);
}

void DrawROIWidget::showAfterReCheck(int b)
{
    const bool alarm = host_->cyclePageMode() == PageModeAlarm;
    if (!alarm) {
        gSource = PictureSourceNone;   // the alarm has ended
        return;
    }
    if (b < 0 || b >= numCamera || gSource != PictureSourceLive)
        return;
    // Stay on b while it is NG, else go on to the next NG camera.
    int shown = b;
    CammerWidget* wb = camera(b);
    if (wb && wb->isOK) {
        for (int k = 1; k < numCamera; ++k) {
            const int c = (b + k) % numCamera;
            CammerWidget* w = camera(c);
            if (w && !w->isOK) {
                shown = c;
                break;
            }
        }
    }
    host_->viewState().viewCamera = shown;
    host_->ChangeCammer();
    if (cameraCombo) {
        // Shows the choice only: the views are laid out and stay live.
        const QSignalBlocker block(cameraCombo);
        cameraCombo->setCurrentIndex(shown);
    }
}

void DrawROIWidget::SlotNoCheckCur()
{
    CommandScope scope(this);
    const WizardPara& para = host_->liveParameters();
    const int d = host_->cycleCurrentDetect();
    if (d < 0 || d >= kDetections)
        return;
    const bool allowed = para.skipMoldPassword && !para.passwordEnabled
                             ? host_->commandPasswordAccepted(AreaPageCommandSkipMould)
                             : host_->CheckPassword() != 0;
    if (!allowed)
        return;
    if (para.safetyDoorClearsAlarm && !host_->safetyDoorOpened()) {
        WarnMessage(195);
        return;
    }

    const int shown = host_->viewState().viewCamera;
    if (shown >= numCamera) {
        if (!AskYes(102))
            return;
        SlotSaveData();
        gSource = PictureSourceNone;
        host_->ResetRun();
        for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
            int& state = host_->cycleFailImageState(i, d);
            if (state == FailImgNgHeld)
                state = FailImgClearedSkip;
        }
        host_->setUserReCheck(true);
        host_->CheckNG();
        host_->insertRecord(Msg(103));
        return;
    }

    CammerWidget* w = camera(shown);
    if (!w)
        return;
    if (w->isOK && host_->cycleLastVerdictNg()) {
        WarnMessage(107);
        return;
    }
    if (!AskYes(105, Msg(105).arg(shown + 1)))
        return;
    w->skipMould[d] = 1;
    int& state = host_->cycleFailImageState(shown, d);
    if (state == FailImgNgHeld)
        state = FailImgClearedSkip;
    host_->insertRecord(Msg(106).arg(shown + 1));
    reCheck();   // the other cameras judge again
}

bool DrawROIWidget::SlotSaveData()
{
    CommandScope scope(this);
    bool ok = true;
    if (changedCameras() != 0 && AskYes(72)) {
        // Asked again: the main loop ran while the box waited.
        if (const unsigned changed = changedCameras())
            ok = saveCameras(changed);
    }
    serveRetrains();
    return ok;
}

unsigned DrawROIWidget::changedCameras() const
{
    unsigned changed = 0;
    for (int c = 0; c < kCameraSlots; ++c) {
        CammerWidget* w = camera(c);
        if (w && w->savedSet && w->workSet && (*w->workSet != *w->savedSet || hasIgnoreWork(*w)))
            changed |= 1u << c;
    }
    return changed;
}

bool DrawROIWidget::saveCameras(unsigned changed)
{
    const WizardPara& para = host_->liveParameters();
    QSqlDatabase db = host_->paramDatabase();
    std::vector<std::unique_ptr<SlotBeforeSave>> before;

    const bool began = db.isOpen() && db.transaction();
    bool ok = began;
    if (!began)
        qWarning().noquote() << "area save: no transaction on PARAM.db:" << db.lastError().text();
    for (int c = 0; ok && c < kCameraSlots; ++c) {
        if (!(changed & (1u << c)))
            continue;
        CammerWidget* w = camera(c);
        auto kept = std::make_unique<SlotBeforeSave>();
        kept->slot = w;
        kept->savedSet = *w->savedSet;
        kept->workSet = *w->workSet;
        kept->liveMask = w->liveMask;
        kept->workMask = w->workMask;
        kept->records = AreaChanges(*w->savedSet, *w->workSet, c, para.systemMode, gDNum);
        before.push_back(std::move(kept));

        *w->savedSet = *w->workSet;
        w->RestorMask();
        if (PartnerCopyOnSave(para)) {
            w->CopyPara();
            *w->workSet = *w->savedSet;
            w->BackMask();
        }
        // The relay hears of the change only once it is committed.
        ok = w->savedSet->SaveDatatoFile(db, false);
    }
    if (ok) {
        ok = db.commit();
        if (!ok)
            qWarning().noquote() << "area save: commit failed:" << db.lastError().text();
    }
    if (!ok) {
        if (began)
            db.rollback();
        // Nothing was stored: the detection keeps judging with what it had,
        // and the edits stay in the work sets to be saved again.
        for (const auto& kept : before) {
            CammerWidget* w = kept->slot;
            *w->savedSet = kept->savedSet;
            *w->workSet = kept->workSet;
            w->liveMask = kept->liveMask;
            w->workMask = kept->workMask;
        }
        WarnMessage(1);
        return false;
    }

    const bool relay = para.netEnabled && RelayReady(true);
    for (const auto& kept : before) {
        CammerWidget* w = kept->slot;
        const int c = w->camIndex;
        for (const QString& text : kept->records.texts)
            host_->insertRecord(text);
        if (relay) {
            for (int g = 0; g < kDetections; ++g)
                gpNet->CNT_SendROIParam(c, g);
        }
        for (int d = 0; d < kDetections; ++d) {
            if (w->ignoreWorkMask[d].empty())
                continue;
            w->ignoreMask[d].swap(w->ignoreWorkMask[d]);
            std::vector<uchar>().swap(w->ignoreWorkMask[d]);
            w->SaveIgnorePoint(d);   // a failed write is logged; the points are live
        }
        if (kept->records.positioning) {
            for (int d = 0; d < gDNum && d < kDetections; ++d)
                if (para.detectEnabled[d])
                    w->CreateShape(d);
        }
        retrainPending[c] = true;
    }
    return true;
}

void DrawROIWidget::serveRetrains()
{
    const WizardPara& para = host_->liveParameters();
    for (int c = 0; c < kCameraSlots; ++c) {
        if (!retrainPending[c])
            continue;
        retrainPending[c] = false;
        CammerWidget* w = camera(c);
        if (!w)
            continue;
        for (int d = 0; d < gDNum && d < kDetections; ++d)
            if (para.detectEnabled[d])
                w->VarTrain(d);
    }
}

void DrawROIWidget::SlotReturn()
{
    CommandScope scope(this);
    const WizardPara& para = host_->liveParameters();
    host_->hideKeypads();
    for (int c = 0; c < kCameraSlots; ++c) {
        CammerWidget* w = camera(c);
        if (!w)
            continue;
        w->tempShown = 0;
        w->DeselectROI();
        w->ShowHideROIPara();
        if (para.showCavityNumbers)
            w->ShowHideCheckBox(false);
    }
    host_->showStatusStrip();

    if (host_->cyclePageMode() == PageModeAlarm) {
        SlotSaveData();
        setSource(PictureSourceLive);
        return;
    }
    const bool wasAtLeft = pageAtLeft;
    const bool wasCopying = host_->viewState().copyAreaMode;
    const int wasSource = gSource;
    pageAtLeft = false;
    host_->viewState().copyAreaMode = false;
    gSource = PictureSourceNone;
    if (!SlotSaveData()) {
        // Closing would let the next opening throw the edits away: the
        // page stays as it was, so they can be saved again.
        pageAtLeft = wasAtLeft;
        host_->viewState().copyAreaMode = wasCopying;
        gSource = wasSource;
        return;
    }
    Restart();
    if (host_->takeFromTrain())
        host_->BackTrain();
}
