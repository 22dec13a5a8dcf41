#include "areaeditor.h"

#include "wizardpara.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

QPoint ViewPointOf(QPoint widget, double zoom, double panX, double panY)
{
    const double z = zoom > 0.0 ? zoom : 1.0;
    return {static_cast<int>((widget.x() - panX) / z), static_cast<int>((widget.y() - panY) / z)};
}

bool EditableShape(int shape)
{
    return shape == RoiShapeRect || shape == RoiShapeCircle || shape == RoiShapePolygon;
}

bool AreaUnder(const CammerSingleton& set, int d, int i, QPoint p)
{
    int handle = 0;
    switch (set.roiShape[d][i]) {
    case RoiShapeRect:
        return set.roiRect[d][i].Contains(p) || set.roiRect[d][i].PtInCtrl(p, &handle);
    case RoiShapeCircle:
        return set.roiCircle[d][i].Contains(p) || set.roiCircle[d][i].PtInCtrl(p, &handle);
    default:
        return set.roiPolygon[d][i].Contains(p) || set.roiPolygon[d][i].PtInCtrl(p, &handle);
    }
}

bool AreaSelected(const CammerSingleton& set, int d, int i)
{
    switch (set.roiShape[d][i]) {
    case RoiShapeRect:
        return set.roiRect[d][i].IsSelected();
    case RoiShapeCircle:
        return set.roiCircle[d][i].IsSelected();
    case RoiShapePolygon:
        return set.roiPolygon[d][i].IsSelected();
    default:
        return false;
    }
}

void SetAreaSelected(CammerSingleton& set, int d, int i, bool selected)
{
    switch (set.roiShape[d][i]) {
    case RoiShapeRect:
        set.roiRect[d][i].SetSelected(selected);
        break;
    case RoiShapeCircle:
        set.roiCircle[d][i].SetSelected(selected);
        break;
    case RoiShapePolygon:
        set.roiPolygon[d][i].SetSelected(selected);
        break;
    default:
        break;
    }
}

namespace {

int areaCount(const CammerSingleton& set, int d) { return std::clamp(set.roiCount[d], 0, kAreas); }

} // namespace

int SelectedArea(const CammerSingleton& set, int d)
{
    const int n = areaCount(set, d);
    for (int i = 0; i < n; ++i)
        if (AreaSelected(set, d, i))
            return i;
    return -1;
}

int AreaAt(const CammerSingleton& set, int d, int from, QPoint p)
{
    const int n = areaCount(set, d);
    const int start = from >= 0 && from < n ? from : 0;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (EditableShape(set.roiShape[d][i]) && AreaUnder(set, d, i, p))
            return i;
    }
    return -1;
}

bool AnyAreaAt(const CammerSingleton& set, int d, QPoint p) { return AreaAt(set, d, 0, p) >= 0; }

int NextAreaAt(const CammerSingleton& set, int d, int selected, QPoint p)
{
    const int n = areaCount(set, d);
    int i = selected;
    for (int k = 0; k < n; ++k) {
        i = (i + 1 >= n || i + 1 < 0) ? 0 : i + 1;
        if (AreaUnder(set, d, i, p))
            return i;
    }
    return -1;
}

Qt::CursorShape HandleCursor(int handle)
{
    switch (handle) {
    case 0:
    case 7:
        return Qt::SizeFDiagCursor;
    case 1:
    case 6:
        return Qt::SizeVerCursor;
    case 2:
    case 5:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::SizeHorCursor;
    }
}

bool MoveStepReached(QPoint last, QPoint p, double showAW, double showAH)
{
    return std::abs(last.x() - p.x()) / showAW >= kMoveStepImagePixels ||
           std::abs(last.y() - p.y()) / showAH >= kMoveStepImagePixels;
}

bool PolygonShiftFits(const std::vector<QPoint>& points, QPoint d, int width, int height)
{
    for (const QPoint& q : points) {
        const int x = q.x() + d.x();
        const int y = q.y() + d.y();
        if (x <= 2 || x >= width - 3 || y <= 2 || y >= height - 3)
            return false;
    }
    return true;
}

PolygonClick ClassifyPolygonClick(int count, QPoint first, QPoint p)
{
    if (count >= RePolygon::kMaxPoints)
        return PolygonClick::BufferFull;
    if (count >= 1 && std::abs(p.x() - first.x()) <= kPolygonCloseReach &&
        std::abs(p.y() - first.y()) <= kPolygonCloseReach)
        return PolygonClick::Close;
    return PolygonClick::Append;
}

AreaValues FirstAreaValues(const WizardPara& para, int shape, AreaValues kept)
{
    const bool polygon = shape == RoiShapePolygon;
    AreaValues v = kept;
    auto set = [&v](int method, int a, int b, int c) {
        v.method = method;
        v.a = a;
        v.b = b;
        v.c = c;
    };
    if (para.spotEnabled)
        set(AreaFuncSpot, 12800, 80, 500);
    else if (para.blackAreaEnabled)
        set(AreaFuncBlackArea, kept.a, 50, 100);
    else if (para.whiteAreaEnabled)
        set(AreaFuncWhiteArea, kept.a, 200, 100);
    else if (para.similarityEnabled)
        set(AreaFuncSimilarity, kept.a, 80, kept.c);
    else if (para.whiteCountEnabled)
        set(AreaFuncWhiteCount, polygon ? 1 : 5, 128, polygon ? 131073 : 1);
    else if (para.directionEnabled && !polygon)
        set(AreaFuncDirection, 1, 5000, 10000);
    else if (para.distanceEnabled)
        set(AreaFuncDistance, 1, 35, 50);
    else
        set(AreaFuncDefect, 3, 45, 100);
    return v;
}

AreaValues AreaValuesOf(const CammerSingleton& set, int d, int i)
{
    return {set.roiMethod[d][i], set.roiMinSize[d][i], set.roiSensibility[d][i], set.roiMaxArea[d][i]};
}

void SetAreaValues(CammerSingleton& set, int d, int i, const AreaValues& v)
{
    set.roiMethod[d][i] = v.method;
    set.roiMinSize[d][i] = v.a;
    set.roiSensibility[d][i] = v.b;
    set.roiMaxArea[d][i] = v.c;
}

QRect CentredCopy(const QRect& source, QPoint p)
{
    // Integer halves truncate toward zero, as the placement always has.
    const int dx = p.x() - (source.left() + source.right()) / 2;
    const int dy = p.y() - (source.top() + source.bottom()) / 2;
    return source.translated(dx, dy);
}

QPoint PointInPicture(QPoint p)
{
    int x = p.x();
    int y = p.y();
    CheckInRange(x, 1);
    CheckInRange(y, 0);
    return {x, y};
}
