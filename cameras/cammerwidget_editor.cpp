// The camera view's touch handlers: navigation everywhere, and in the
// template source the area editor, which changes only the work set and work
// masks of the page detection.
#include "cammerwidget.h"

#include "areaeditor.h"
#include "cameraglobals.h"
#include "choosebox.h"
#include "messages.h"
#include "numberinput.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QMouseEvent>

#include <algorithm>

namespace {

constexpr int kSideBarHideMs = 120000;

bool validDetect(int d) { return d >= 0 && d < kDetections; }

} // namespace

// ------------------------------------------------------------------ events

void CammerWidget::mousePressEvent(QMouseEvent* event)
{
    ViewState& view = slotHost_->viewState();
    const QPoint pos = event->position().toPoint();
    if (camIndex == view.viewCamera) {
        view.dragLastX = pos.x();
        view.dragLastY = pos.y();
        MUpdateXYV(pos.x(), pos.y());
    }
    slotHost_->restartSideBarHideTimer(kSideBarHideMs);

    const int pageMode = slotHost_->cyclePageMode();
    if (pageMode == PageModeNone || pageMode == PageModeOKShown) {
        if (!slotHost_->sideBarVisible()) {
            // The first touch of an idle screen only brings the side bar back.
            slotHost_->showSideBar();
            if (gpNumPad)
                gpNumPad->HideUpdate();
            return;
        }
        slotHost_->unfoldSideBar();
    }
    if (camIndex >= numCamera) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (view.viewCamera == numCamera) {
        // A press never edits in the grid: it shows this camera alone.
        view.viewCamera = camIndex;
        slotHost_->ChangeCammer();
        if (pageMode == PageModeAlarm && gSource == PictureSourceLive)
            slotHost_->setAreaPageCamera(camIndex);
        QWidget::mousePressEvent(event);
        return;
    }
    if (gSource != PictureSourceTemplate) {
        setCursor(Qt::ArrowCursor);
        QWidget::mousePressEvent(event);
        return;
    }
    if (editorPress(editorViewPoint(pos)))
        QWidget::mousePressEvent(event);
}

void CammerWidget::mouseMoveEvent(QMouseEvent* event)
{
    ViewState& view = slotHost_->viewState();
    const QPoint pos = event->position().toPoint();
    if (camIndex == view.viewCamera)
        MUpdateXYV(pos.x(), pos.y());
    if (camIndex >= numCamera) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if (gSource == PictureSourceLive || gSource == PictureSourceNone)
        panStep(event);
    if (gSource == PictureSourceTemplate)
        editorMove(event, editorViewPoint(pos));
    QWidget::mouseMoveEvent(event);
}

void CammerWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (camIndex < numCamera && gSource == PictureSourceTemplate)
        editorRelease();
    QWidget::mouseReleaseEvent(event);
}

void CammerWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    // QWidget's handling turns it into a further press.
    QWidget::mouseDoubleClickEvent(event);
}

bool CammerWidget::panStep(QMouseEvent* event)
{
    ViewState& view = slotHost_->viewState();
    if (view.zoomButtonState != 2 || view.zoom <= 1.1 || event->buttons() != Qt::LeftButton)
        return false;
    const QPoint pos = event->position().toPoint();
    view.panX += pos.x() - view.dragLastX;
    view.panY += pos.y() - view.dragLastY;
    view.dragLastX = pos.x();
    view.dragLastY = pos.y();
    update();
    return true;
}

QPoint CammerWidget::editorViewPoint(QPoint widget) const
{
    const ViewState& view = slotHost_->viewState();
    return ViewPointOf(widget, view.zoom, view.panX, view.panY);
}

// ------------------------------------------------------------------- press

bool CammerWidget::editorPress(QPoint p)
{
    ViewState& view = slotHost_->viewState();
    const int d = view.editDetect;
    editor.editAction = EditActionNone;
    editor.fingerDown = true;
    if (!workSet || !validDetect(d))
        return true;

    if (view.copyAreaMode) {
        // The copy consumes the press.
        view.copyAreaMode = false;
        SlotCopyArea(p);
        return false;
    }

    if (view.drawMode != 0) {
        setCursor(Qt::CrossCursor);
        editor.curPoint = p;
        editor.lastPoint = p;
        if (view.drawMode == 1 || view.drawMode == 4) {
            QRect& band = view.drawMode == 1 ? editor.drawRect.rect : editor.drawCircle.rect;
            band.setTopLeft(p);
            editor.editAction = EditActionStart;
            editor.shapeGesture = true;
        } else if (view.drawMode == 2) {
            editor.editAction = EditActionDraw;
            editor.polyGesture = true;
            if (!view.freehandMode)
                polygonClick(p);
        }
        return true;
    }

    CammerSingleton& set = *workSet;
    auto startGesture = [this, &set, d, p](int action) {
        editor.editAction = action;
        editor.lastPoint = p;
        if (set.roiShape[d][selRoi] == RoiShapePolygon)
            editor.polyGesture = true;
        else
            editor.shapeGesture = true;
    };
    if (GetSelectedRect()) {
        const int i = selRoi;
        if (PtInRegion(p)) {
            int handle = -1;
            bool onHandle = false;
            switch (set.roiShape[d][i]) {
            case RoiShapeRect:
                onHandle = set.roiRect[d][i].PtInCtrl(p, &handle);
                break;
            case RoiShapeCircle:
                onHandle = set.roiCircle[d][i].PtInCtrl(p, &handle);
                break;
            default:
                onHandle = set.roiPolygon[d][i].PtInCtrl(p, &handle);
                break;
            }
            if (onHandle) {
                editor.ctrlIndex = handle;
                startGesture(EditActionResize);
            } else {
                setCursor(Qt::SizeAllCursor);
                startGesture(EditActionMove);
            }
        } else {
            // A press outside drops the selection and selects nothing else;
            // a copy started next still knows what was selected.
            if (i < set.roiCount[d])
                lastSelRoi = i;
            SetAreaSelected(set, d, i, false);
            selRoi = -1;
            setCursor(Qt::CrossCursor);
            editor.curPoint = p;
            editor.lastPoint = p;
        }
    } else if (PtInRect(p)) {
        setCursor(Qt::SizeAllCursor);
        SetAreaSelected(set, d, selRoi, true);
        adjustPart = 0;
        startGesture(EditActionMove);
    }
    update();
    return true;
}

void CammerWidget::polygonClick(QPoint p)
{
    switch (ClassifyPolygonClick(editor.polyCount, editor.polyPoints[0], p)) {
    case PolygonClick::BufferFull:
        editor.polyCount = kEditorMaxPoints;
        WarnMessage(35);
        break;
    case PolygonClick::Close:
        slotHost_->areaPageDrawPolygon();
        break;
    case PolygonClick::Append:
        editor.polyPoints[static_cast<size_t>(editor.polyCount++)] = p;
        break;
    }
}

// -------------------------------------------------------------------- move

void CammerWidget::editorMove(QMouseEvent* event, QPoint p)
{
    ViewState& view = slotHost_->viewState();
    const int d = view.editDetect;
    if (!workSet || !validDetect(d))
        return;
    CammerSingleton& set = *workSet;
    GetSelectedRect();
    const int i = selRoi;
    const bool selected = i >= 0 && i < std::min(set.roiCount[d], kAreas);
    const int shape = selected ? set.roiShape[d][i] : 0;

    if (editor.shapeGesture) {
        switch (editor.editAction) {
        case EditActionMove: {
            if (!selected || (shape != RoiShapeRect && shape != RoiShapeCircle))
                return;
            if (!MoveStepReached(editor.lastPoint, p, gShowAW, gShowAH))
                return;
            editor.curPoint = p;
            QRect& r = shape == RoiShapeRect ? set.roiRect[d][i].rect : set.roiCircle[d][i].rect;
            r.translate(p - editor.lastPoint);
            CheckInRange(&r, true);
            if (shape == RoiShapeCircle)
                set.roiCircle[d][i].UpdateAll();
            editor.lastPoint = p;
            update();
            return;
        }
        case EditActionDraw: {
            const QPoint q = PointInPicture(p);
            if (view.drawMode == 1) {
                editor.drawRect.rect.setBottomRight(q);
            } else if (view.drawMode == 4) {
                editor.drawCircle.rect.setBottomRight(q);
                editor.drawCircle.UpdateAll();
            }
            update();
            return;
        }
        case EditActionResize:
            if (!selected)
                return;
            editor.curPoint = p;
            if (shape == RoiShapeRect) {
                set.roiRect[d][i].Resize(editor.ctrlIndex, editor.lastPoint, editor.curPoint);
                CheckInRange(&set.roiRect[d][i].rect, false);
            } else if (shape == RoiShapeCircle) {
                Circle& c = set.roiCircle[d][i];
                c.Resize(editor.ctrlIndex, editor.lastPoint, editor.curPoint);
                CheckInRange(&c.rect, false);
                c.UpdateAll();
            }
            editor.lastPoint = p;
            update();
            return;
        case EditActionStart:
            // The first move only turns the press into a drawing; the
            // outline is brought into the picture when the area is made.
            editor.editAction = EditActionDraw;
            if (view.drawMode == 1) {
                editor.drawRect.rect.setBottomRight(p);
            } else if (view.drawMode == 4) {
                editor.drawCircle.rect.setBottomRight(p);
                editor.drawCircle.UpdateAll();
            }
            return;
        default:
            return;
        }
    }

    if (editor.polyGesture) {
        const bool polygon = selected && shape == RoiShapePolygon;
        switch (editor.editAction) {
        case EditActionMove: {
            if (!editor.fingerDown || !polygon)
                return;
            if (!MoveStepReached(editor.lastPoint, p, gShowAW, gShowAH))
                return;
            editor.curPoint = p;
            RePolygon& poly = set.roiPolygon[d][i];
            const QPoint delta = p - editor.lastPoint;
            // All points or none: a polygon is never bent by the border.
            if (PolygonShiftFits(poly.points(), delta, width(), height())) {
                poly.translate(delta.x(), delta.y());
                poly.setImageRect();
                editor.lastPoint = p;
            }
            update();
            return;
        }
        case EditActionResize:
            if (!editor.fingerDown || !polygon)
                return;
            editor.curPoint = p;
            set.roiPolygon[d][i].Resize(editor.ctrlIndex, editor.lastPoint, editor.curPoint, gShowAW, gShowAH);
            editor.lastPoint = p;
            update();
            return;
        case EditActionDraw:
            if (view.freehandMode && editor.polyCount < kEditorMaxPoints)
                editor.polyPoints[static_cast<size_t>(editor.polyCount++)] = p;
            update();
            return;
        default:
            return;
        }
    }

    // Hover: the cursor tells what a press here would do.
    int handle = -1;
    if (selected && (shape == RoiShapeRect || shape == RoiShapeCircle)) {
        const bool onHandle = shape == RoiShapeRect ? set.roiRect[d][i].PtInCtrl(p, &handle)
                                                    : set.roiCircle[d][i].PtInCtrl(p, &handle);
        if (onHandle) {
            if (handle >= 0 && handle <= 7)
                setCursor(HandleCursor(handle));
            return;
        }
    } else if (selected && shape == RoiShapePolygon && set.roiPolygon[d][i].PtInCtrl(p, &handle)) {
        setCursor(Qt::SizeFDiagCursor);
        return;
    }
    if (PtInRectMove(p)) {
        setCursor(Qt::SizeAllCursor);
        return;
    }
    panStep(event);
    setCursor(Qt::ArrowCursor);
    update();
}

// ----------------------------------------------------------------- release

void CammerWidget::editorRelease()
{
    ViewState& view = slotHost_->viewState();
    if (editor.shapeGesture) {
        switch (editor.editAction) {
        case EditActionDraw: {
            // Differences, not sizes: only a drag towards the lower right
            // makes an area.
            const QRect band = view.drawMode == 1 ? editor.drawRect.rect : editor.drawCircle.rect;
            const bool tool = view.drawMode == 1 || view.drawMode == 4;
            if (tool && band.right() - band.left() > kMinDrawSpan && band.bottom() - band.top() > kMinDrawSpan) {
                newShapeArea();
            } else {
                view.drawMode = 0;
                editor.editAction = EditActionNone;
            }
            break;
        }
        case EditActionStart:
            view.drawMode = 0;
            editor.editAction = EditActionNone;
            break;
        case EditActionMove:
        case EditActionResize:
            rebuildSelectedMask();
            break;
        default:
            break;
        }
        editor.shapeGesture = false;
    } else if (editor.editAction == EditActionMove || editor.editAction == EditActionResize) {
        rebuildSelectedMask();
    } else if (editor.polyGesture && editor.editAction == EditActionDraw && view.freehandMode) {
        if (editor.polyCount <= 5) {
            editor.EndGestures();
            view.drawMode = 0;
            ShowHideROIPara();
            update();
        } else {
            SavePolygon();
        }
    }
    ShowHideROIPara();
    editor.fingerDown = false;
    update();
}

void CammerWidget::rebuildSelectedMask()
{
    const int d = slotHost_->viewState().editDetect;
    if (workSet && validDetect(d) && selRoi >= 0 && selRoi < std::min(workSet->roiCount[d], kAreas) &&
        EditableShape(workSet->roiShape[d][selRoi]))
        workMask[d][selRoi] = workSet->UpdateAreaMask(d, selRoi);
    editor.polyGesture = false;
    editor.editAction = EditActionNone;
}

// --------------------------------------------------------------- new areas

void CammerWidget::newShapeArea()
{
    ViewState& view = slotHost_->viewState();
    const int d = view.editDetect;
    CammerSingleton& set = *workSet;
    const int n = set.roiCount[d];
    if (n >= kAreas) {
        // The tool stays chosen; the drawing state lasts until the next press.
        WarnMessage(36);
        return;
    }
    for (int k = 0; k < n; ++k)
        SetAreaSelected(set, d, k, false);
    // The band's far corner may lie beyond the picture; the stored outline
    // is the one judged, so it is brought inside.
    int shape = RoiShapeRect;
    if (view.drawMode == 1) {
        set.roiRect[d][n] = editor.drawRect;
        CheckInRange(&set.roiRect[d][n].rect, false);
    } else {
        shape = RoiShapeCircle;
        set.roiCircle[d][n] = editor.drawCircle;
        CheckInRange(&set.roiCircle[d][n].rect, false);
        set.roiCircle[d][n].UpdateAll();
    }
    set.roiShape[d][n] = shape;
    workMask[d][n] = set.UpdateAreaMask(d, n);
    SetAreaSelected(set, d, n, true);
    fillNewArea(d, n, shape);
    set.roiCount[d] = n + 1;
    selRoi = n;
    view.drawMode = 0;
    editor.editAction = EditActionNone;
}

void CammerWidget::fillNewArea(int d, int n, int shape)
{
    CammerSingleton& set = *workSet;
    const AreaValues values = n == 0 ? FirstAreaValues(slotHost_->liveParameters(), shape, AreaValuesOf(set, d, 0))
                                     : AreaValuesOf(set, d, n - 1);
    SetAreaValues(set, d, n, values);
    set.roiNgCount[d][n] = 0;   // polygons too: a new area starts without NGs
    roiValue[d][n] = 0;
    // Output numbers are per area index and set from detection 0 only.
    if (d == 0)
        set.roiOutput[n] = 0;
}

void CammerWidget::SavePolygon()
{
    ViewState& view = slotHost_->viewState();
    const int d = view.editDetect;
    if (editor.editAction != EditActionDraw || view.drawMode != 2 || !workSet || !validDetect(d))
        return;
    CammerSingleton& set = *workSet;
    const int n = set.roiCount[d];
    if (n >= kAreas) {
        WarnMessage(36);
        return;
    }
    if (editor.polyCount < 3)
        return;
    const int count = std::min(editor.polyCount, kEditorMaxPoints);
    std::vector<QPoint> points(editor.polyPoints.begin(), editor.polyPoints.begin() + count);
    // Clicks and finger paths may lie beyond the picture; the stored outline
    // is the one judged, so every point is brought inside.
    for (QPoint& q : points)
        q = PointInPicture(q);
    for (int k = 0; k < n; ++k)
        SetAreaSelected(set, d, k, false);
    set.roiPolygon[d][n].setPoints(points);
    set.roiShape[d][n] = RoiShapePolygon;
    workMask[d][n] = set.UpdateAreaMask(d, n);
    set.roiPolygon[d][n].SetSelected(true);
    fillNewArea(d, n, RoiShapePolygon);
    set.roiCount[d] = n + 1;
    selRoi = n;
    editor.EndGestures();
    view.drawMode = 0;
    ShowHideROIPara();
    update();
}

void CammerWidget::SlotCopyArea(QPoint p)
{
    const int d = slotHost_->viewState().editDetect;
    if (!workSet || !validDetect(d))
        return;
    CammerSingleton& set = *workSet;
    const int n = std::min(set.roiCount[d], kAreas);
    if (n <= 0 || !AskYes(38))
        return;
    if (n >= kAreas) {
        WarnMessage(36);
        return;
    }
    const int s = selRoi >= 0 && selRoi < n ? selRoi : (lastSelRoi >= 0 && lastSelRoi < n ? lastSelRoi : n - 1);
    selRoi = s;
    const int shape = set.roiShape[d][s];
    set.roiShape[d][n] = shape;
    if (shape == RoiShapeRect) {
        set.roiRect[d][n] = set.roiRect[d][s];
        QRect& r = set.roiRect[d][n].rect;
        r = CentredCopy(r, p);
        CheckInRange(&r, true);
    } else if (shape == RoiShapeCircle) {
        Circle& c = set.roiCircle[d][n];
        c = set.roiCircle[d][s];
        c.rect = CentredCopy(c.rect, p);
        CheckInRange(&c.rect, true);
        c.UpdateAll();
    } else {
        const RePolygon& source = set.roiPolygon[d][s];
        std::vector<QPoint> points = source.points();
        const QPoint shift = points.empty() ? QPoint() : p - points.front();
        for (QPoint& q : points)
            q = PointInPicture(q + shift);
        set.roiPolygon[d][n].setPoints(points);
    }
    SetAreaSelected(set, d, s, false);
    SetAreaSelected(set, d, n, true);
    workMask[d][n] = set.UpdateAreaMask(d, n);
    set.roiNgCount[d][n] = 0;
    SetAreaValues(set, d, n, AreaValuesOf(set, d, s));
    roiValue[d][n] = 0;
    if (d == 0)
        set.roiOutput[n] = set.roiOutput[s];
    set.roiCount[d] = n + 1;
    selRoi = n;
    ShowHideROIPara();
    update();
}

// --------------------------------------------------------------- selection

bool CammerWidget::GetSelectedRect()
{
    const int d = slotHost_->viewState().editDetect;
    if (!workSet || !validDetect(d))
        return false;
    const int i = SelectedArea(*workSet, d);
    if (i < 0)
        return false;
    selRoi = i;
    return true;
}

bool CammerWidget::PtInRegion(QPoint p)
{
    const int d = slotHost_->viewState().editDetect;
    if (!workSet || !validDetect(d) || selRoi < 0 || selRoi >= std::min(workSet->roiCount[d], kAreas))
        return false;
    return EditableShape(workSet->roiShape[d][selRoi]) && AreaUnder(*workSet, d, selRoi, p);
}

bool CammerWidget::PtInRect(QPoint p)
{
    const int d = slotHost_->viewState().editDetect;
    if (!workSet || !validDetect(d))
        return false;
    const int i = AreaAt(*workSet, d, selRoi, p);
    if (i < 0)
        return false;
    selRoi = i;
    editor.hitPoint = p;
    return true;
}

bool CammerWidget::PtInRectMove(QPoint p)
{
    const int d = slotHost_->viewState().editDetect;
    return workSet && validDetect(d) && AnyAreaAt(*workSet, d, p);
}

void CammerWidget::SlotNextROI()
{
    const int d = slotHost_->viewState().editDetect;
    if (!workSet || !validDetect(d))
        return;
    const int i = NextAreaAt(*workSet, d, selRoi, editor.hitPoint);
    if (i < 0)
        return;
    DeselectROI();
    selRoi = i;
    SetAreaSelected(*workSet, d, i, true);
    ShowHideROIPara();
    update();
}
