#include "areapanel.h"

#include "areaeditor.h"
#include "messages.h"
#include "screenstates.h"
#include "slotlayout.h"
#include "wizardpara.h"

#include <algorithm>

// ------------------------------------------------------------ packed values

int SpotGray(int a, bool maximum)
{
    return static_cast<int>((static_cast<unsigned>(a) >> (maximum ? 8 : 0)) & 0xFFu);
}

int WithSpotGray(int a, int value, bool maximum)
{
    const unsigned shift = maximum ? 8 : 0;
    const unsigned keep = ~(0xFFu << shift);
    return static_cast<int>((static_cast<unsigned>(a) & keep) | ((static_cast<unsigned>(value) & 0xFFu) << shift));
}

int WhiteCountNumber(int c, bool maximum)
{
    return static_cast<int>((static_cast<unsigned>(c) >> (maximum ? 16 : 0)) & 0xFFFFu);
}

int WithWhiteCountNumber(int c, int value, bool maximum)
{
    const unsigned shift = maximum ? 16 : 0;
    const unsigned keep = ~(0xFFFFu << shift);
    return static_cast<int>((static_cast<unsigned>(c) & keep) | ((static_cast<unsigned>(value) & 0xFFFFu) << shift));
}

// ------------------------------------------------------------ function tables

namespace {

struct SliderRow {
    bool used;
    int min, max, captionId;
};

struct FunctionRow {
    int funcCaptionId;
    SliderRow a, b, c;
};

constexpr SliderRow kUnused{false, 0, 0, 0};

// By method; the spot and white-count rows give the minimum's caption.
constexpr FunctionRow kFunctionRows[kAreaFuncCount] = {
    {25, {true, 1, 10, 22}, {true, 0, 255, 23}, {true, 0, 1000, 24}},          // defect
    {15, {true, 0, 255, 10}, {true, 0, 99999, 13}, {true, 0, 99999, 14}},      // spot
    {17, {true, 0, 255, 16}, {true, 0, 255, 16}, {true, 0, 255, 16}},          // ignore
    {21, {true, 1, 100, 20}, {true, 1, 32, 16}, {true, 1, 100, 16}},           // position
    {392, kUnused, {true, 0, 255, 11}, {true, 0, 50000, 24}},                  // black area
    {393, kUnused, {true, 0, 255, 10}, {true, 0, 50000, 24}},                  // white area
    {398, kUnused, {true, 0, 100, 362}, kUnused},                              // similarity
    {521, {true, 1, 100, 22}, {true, 0, 255, 10}, {true, 0, 30000, 522}},      // white count
    {561, {true, 0, 1, 22}, {true, 0, 50000, 13}, {true, 0, 50000, 14}},       // direction
    {581, {true, 0, 1, 584}, {true, 0, 255, 582}, {true, 0, 5000, 583}},       // distance
};

constexpr int kSpotMaxCaption = 11;
constexpr int kWhiteCountMaxCaption = 649;

PanelSlider slider(const SliderRow& row, int value)
{
    PanelSlider s;
    s.used = row.used;
    s.min = row.min;
    s.max = row.max;
    s.captionId = row.captionId;
    s.value = value;
    return s;
}

bool knownMethod(int method) { return method >= 0 && method < kAreaFuncCount; }

} // namespace

PanelSliders PanelSlidersFor(int method, int a, int b, int c, bool paraSwitch)
{
    const int m = knownMethod(method) ? method : AreaFuncDefect;
    const FunctionRow& row = kFunctionRows[m];
    PanelSliders s;
    s.funcCaptionId = row.funcCaptionId;
    s.a = slider(row.a, a);
    s.b = slider(row.b, b);
    s.c = slider(row.c, c);
    if (m == AreaFuncSpot) {
        s.a.value = SpotGray(a, paraSwitch);
        if (paraSwitch)
            s.a.captionId = kSpotMaxCaption;
    } else if (m == AreaFuncWhiteCount) {
        s.c.value = WhiteCountNumber(c, paraSwitch);
        if (paraSwitch)
            s.c.captionId = kWhiteCountMaxCaption;
    }
    return s;
}

FunctionDefaults FunctionDefaultsFor(int method)
{
    switch (method) {
    case AreaFuncDefect:
    case AreaFuncIgnore:
        return {3, 45, 100};
    case AreaFuncSpot:
        return {12800, 80, 500};   // grey 0..50
    case AreaFuncPosition:
        return {10, 10, 10};
    case AreaFuncBlackArea:
        return {std::nullopt, 50, 100};
    case AreaFuncWhiteArea:
        return {std::nullopt, 200, 100};
    case AreaFuncSimilarity:
        return {std::nullopt, 80, std::nullopt};
    case AreaFuncWhiteCount:
        return {1, 128, 131073};   // number 1..2
    case AreaFuncDirection:
        return {1, 5000, 10000};
    case AreaFuncDistance:
        return {1, 35, 50};
    default:
        return {};
    }
}

OfferedFunctions OfferedFunctionsOf(const WizardPara& p)
{
    return {p.defectEnabled != 0,    p.spotEnabled != 0,      p.ignoreAreaEnabled != 0, p.positionEnabled != 0,
            p.blackAreaEnabled != 0, p.whiteAreaEnabled != 0, p.similarityEnabled != 0, p.whiteCountEnabled != 0,
            p.directionEnabled != 0, p.distanceEnabled != 0};
}

int OfferedCount(const OfferedFunctions& offered)
{
    return static_cast<int>(std::count(offered.begin(), offered.end(), true));
}

int NextFunction(int current, const OfferedFunctions& offered)
{
    int code = current + 1;
    for (int step = 0; step < kAreaFuncCount; ++step, ++code) {
        if (!knownMethod(code))
            code = 0;
        if (offered[static_cast<size_t>(code)])
            return code;
    }
    return -1;
}

PanelVisibility PanelVisibilityFor(const PanelVisibilityInput& in)
{
    PanelVisibility v;
    if (!in.selected)
        return v;
    v.moveButtons = true;
    if (in.moveMode != MoveModeShowPanel)
        return v;
    const int m = knownMethod(in.method) ? in.method : AreaFuncDefect;
    v.paraSwitch = m == AreaFuncSpot || m == AreaFuncWhiteCount;
    v.minSize = in.details && m != AreaFuncBlackArea && m != AreaFuncWhiteArea && m != AreaFuncSimilarity;
    v.maxArea = in.details && m != AreaFuncSimilarity;
    v.funcButton = in.offeredCount > 1;
    v.sensibility = true;
    v.adjustPart = true;
    v.roiSwitch = true;
    v.outputCombo = in.detect == 0 && in.outputsOffered;
    return v;
}

// ------------------------------------------------------------ captions

int AdjustPartCount(int shape, int polygonPoints)
{
    switch (shape) {
    case RoiShapeRect:
        return 2;
    case RoiShapeCircle:
        return 3;
    case RoiShapePolygon:
        return std::max(polygonPoints, 0);
    default:
        return 0;
    }
}

int NextAdjustPart(int part, int count)
{
    const int next = part + 1;
    return next >= count || next < 0 ? 0 : next;
}

QString AdjustPartCaption(int shape, int part)
{
    switch (shape) {
    case RoiShapeRect:
        return Msg(part == 1 ? 29 : 30);
    case RoiShapeCircle:
        return Msg(part == 0 ? 28 : part == 1 ? 26 : 27);
    case RoiShapePolygon:
        return Msg(31).arg(part + 1);
    default:
        return {};
    }
}

std::array<QString, 4> StepCaptions(int shape, int part)
{
    if (shape == RoiShapeCircle && (part == 0 || part == 1))
        return {QStringLiteral("+10"), QStringLiteral("+1"), QStringLiteral("-1"), QStringLiteral("-10")};
    return {QStringLiteral("Y -1"), QStringLiteral("X -1"), QStringLiteral("Y +1"), QStringLiteral("X +1")};
}

QString MoveModeCaption(int moveMode)
{
    return Msg(moveMode == MoveModeHidePanel ? 32 : moveMode == MoveModeAll ? 34 : 12);
}

// ------------------------------------------------------------ step and move

namespace {

// Step 0..3: the radius change of a circle's radius part.
constexpr int kRadiusStep[4] = {10, 1, -1, -10};
// Step 0..3: the point change of every other part (y - 1, x - 1, y + 1, x + 1).
constexpr int kStepDx[4] = {0, -1, 0, 1};
constexpr int kStepDy[4] = {-1, 0, 1, 0};

} // namespace

bool StepArea(CammerSingleton& set, int d, int i, int part, int step)
{
    if (step < 0 || step > 3)
        return false;
    const int dx = kStepDx[step];
    const int dy = kStepDy[step];
    switch (set.roiShape[d][i]) {
    case RoiShapeRect: {
        ClustomRect& r = set.roiRect[d][i];
        if (part == 1) {
            r.rect.setBottom(r.rect.bottom() + dy);
            r.rect.setRight(r.rect.right() + dx);
        } else {
            r.rect.setTop(r.rect.top() + dy);
            r.rect.setLeft(r.rect.left() + dx);
        }
        CheckInRange(&r.rect, false);
        r.setImageRect();
        return true;
    }
    case RoiShapeCircle: {
        Circle& c = set.roiCircle[d][i];
        if (part == 0) {
            c.r2 = std::max(c.r2 + kRadiusStep[step], 0);
        } else if (part == 1) {
            c.r1 += kRadiusStep[step];
            c.UpdateRect();
        } else {
            c.cx += dx;
            c.cy += dy;
            c.UpdateRect();
        }
        CheckInRange(&c.rect, false);
        c.UpdateAll();
        c.setImageRect();
        return true;
    }
    case RoiShapePolygon: {
        RePolygon& poly = set.roiPolygon[d][i];
        if (part < 0 || part >= poly.count())
            return false;
        QPoint& p = poly.point(part);
        int x = p.x() + dx;
        int y = p.y() + dy;
        CheckInRange(x, 1);
        CheckInRange(y, 0);
        p = QPoint(x, y);
        poly.setImageRect();
        return true;
    }
    default:
        return false;
    }
}

std::vector<int> MoveAreas(CammerSingleton& set, int d, int first, int last, int dx, int dy, QSize view)
{
    first = std::max(first, 0);
    last = std::min(last, kAreas - 1);
    // A group moves whole or not at all: a polygon that would leave the
    // margin stops the step before anything moved.
    for (int i = first; i <= last; ++i)
        if (set.roiShape[d][i] == RoiShapePolygon && !PolygonShiftFits(set.roiPolygon[d][i].points(), QPoint(dx, dy), view.width(), view.height()))
            return {};
    std::vector<int> moved;
    for (int i = first; i <= last; ++i) {
        switch (set.roiShape[d][i]) {
        case RoiShapeRect: {
            ClustomRect& r = set.roiRect[d][i];
            r.rect.translate(dx, dy);
            CheckInRange(&r.rect, true);
            r.setImageRect();
            break;
        }
        case RoiShapeCircle: {
            Circle& c = set.roiCircle[d][i];
            c.rect.translate(dx, dy);
            CheckInRange(&c.rect, true);
            c.UpdateAll();
            c.setImageRect();
            break;
        }
        case RoiShapePolygon: {
            RePolygon& poly = set.roiPolygon[d][i];
            poly.translate(dx, dy);
            poly.setImageRect();
            break;
        }
        default:
            continue;
        }
        moved.push_back(i);
    }
    return moved;
}

bool RemoveArea(CammerSingleton& set, AreaMaskArray& masks, int d, int a)
{
    const int count = set.roiCount[d];
    if (a < 0 || a >= count || count > kAreas)
        return false;
    for (int i = a; i + 1 < count; ++i) {
        const int from = i + 1;
        switch (set.roiShape[d][from]) {
        case RoiShapeRect:
            set.roiRect[d][i] = set.roiRect[d][from];
            break;
        case RoiShapeCircle:
            set.roiCircle[d][i] = set.roiCircle[d][from];
            break;
        case RoiShapePolygon:
            set.roiPolygon[d][i] = set.roiPolygon[d][from];
            break;
        default:
            break;
        }
        masks[d][i] = masks[d][from];
        set.roiShape[d][i] = set.roiShape[d][from];
        set.roiMethod[d][i] = set.roiMethod[d][from];
        set.roiMinSize[d][i] = set.roiMinSize[d][from];
        set.roiSensibility[d][i] = set.roiSensibility[d][from];
        set.roiMaxArea[d][i] = set.roiMaxArea[d][from];
        // The output numbers belong to the areas of detection 0.
        if (d == 0)
            set.roiOutput[i] = set.roiOutput[from];
    }
    masks[d][count - 1].release();
    set.roiCount[d] = count - 1;
    return true;
}

// ------------------------------------------------------------ placement

PanelAnchor PanelAnchorFor(const CammerSingleton& set, int d, int i, double showAW, double showAH)
{
    const cv::Rect r = set.AreaImageRect(d, i);
    PanelAnchor a;
    a.left = static_cast<int>(r.x * showAW);
    a.top = static_cast<int>(r.y * showAH);
    a.bottom = static_cast<int>((r.y + r.height) * showAH);
    return a;
}

namespace {

struct PanelTable {
    int rowHeight, bottomMargin;
    int labelWidth;
    // Button row after the label: offset from the previous control's left
    // and width, in the order funcButton .. sub10.
    int offset[9], width[9];
};

constexpr PanelTable kSmallPanel{40, 50, 40, {43, 73, 73, 47, 73, 59, 59, 59, 59}, {70, 70, 44, 70, 56, 56, 56, 56, 56}};
constexpr PanelTable kLargePanel{45, 70, 80, {83, 123, 123, 58, 123, 96, 96, 96, 96},
                                 {120, 120, 55, 120, 93, 93, 93, 93, 93}};

constexpr int kSmallPageWidth = 120;
constexpr int kLargePageWidth = 240;
constexpr int kLargePageRightOffset = 230;   // the large page overhangs the right edge by 10

} // namespace

PageRoom PageRoomFor(int showW, bool pageAtLeft)
{
    const bool small = showW <= 1024;
    if (pageAtLeft)
        return {small ? kSmallPageWidth : kLargePageWidth, showW};
    return {0, showW - (small ? kSmallPageWidth : kLargePageRightOffset)};
}

namespace {

// FitRow within left .. right instead of 0 .. right; a row reaching left of
// the room is first brought to its left edge.
std::vector<QRect> FitRowInRoom(std::vector<QRect> row, const PageRoom& room)
{
    if (row.empty())
        return row;
    const int under = room.left - row.front().left();
    for (QRect& r : row)
        r.translate(std::max(under, 0) - room.left, 0);
    row = FitRow(row, room.right - room.left);
    for (QRect& r : row)
        r.translate(room.left, 0);
    return row;
}

} // namespace

SlotControlsGeometry FitControlsToRoom(const SlotControlsGeometry& g, const PageRoom& room)
{
    SlotControlsGeometry out = g;
    const std::vector<QRect> move = FitRowInRoom({g.moveButton, g.moveButton + 5}, room);
    std::copy(move.begin(), move.end(), out.moveButton);
    for (int half = 0; half < 2; ++half) {
        const std::vector<QRect> boxes = FitRowInRoom({g.cavityBox + 8 * half, g.cavityBox + 8 * half + 8}, room);
        std::copy(boxes.begin(), boxes.end(), out.cavityBox + 8 * half);
    }
    return out;
}

PanelPlacement PlacePanel(const PanelAnchor& anchor, bool details, int showW, int showH, bool pageAtLeft)
{
    const bool small = showW <= 1024;
    const PanelTable& t = small ? kSmallPanel : kLargePanel;
    const int h = t.rowHeight;
    const int stack = details ? 4 * h + 24 : 2 * h + 12;

    int y;
    if (anchor.bottom + stack < showH - t.bottomMargin)
        y = anchor.bottom + 5;
    else if (anchor.top > stack)
        y = anchor.top - stack;
    else
        y = showH - t.bottomMargin - stack;

    int x;
    int sliderWidth;
    if (small) {
        x = anchor.left;
        sliderWidth = 600;
        if (x + sliderWidth >= showW - 160)
            x = showW - 760;
    } else {
        x = 400;
        sliderWidth = showW / 2 + 25;
    }

    std::vector<QRect> row;
    row.emplace_back(x, 0, t.labelWidth, h);
    int left = x;
    for (int k = 0; k < 9; ++k) {
        left += t.offset[k];
        row.emplace_back(left, 0, t.width[k], h);
    }

    // The panel keeps clear of the page column and the screen edges: the
    // sliders and the button row move sideways together, so they stay
    // aligned, and only then does the button row narrow.
    const PageRoom room = PageRoomFor(showW, pageAtLeft);
    const int blockRight = std::max(x + sliderWidth, row.back().right() + 1);
    int shift = 0;
    if (blockRight > room.right)
        shift = room.right - blockRight;
    if (x + shift < room.left)
        shift = room.left - x;
    x += shift;
    sliderWidth = std::min(sliderWidth, room.right - x);
    for (QRect& r : row)
        r.translate(shift, 0);
    row = FitRowInRoom(row, room);

    PanelPlacement p;
    const int step = h + 5;
    int rowY = y;
    p.sensibility = QRect(x, rowY, sliderWidth, h);
    if (details) {
        rowY += step;
        p.maxArea = QRect(x, rowY, sliderWidth, h);
        rowY += step;
        p.minSize = QRect(x, rowY, sliderWidth, h);
    }
    rowY += step;
    for (QRect& r : row)
        r.moveTop(rowY);
    p.funcLabel = row[0];
    p.funcButton = row[1];
    p.paraSwitch = row[2];
    p.outputCombo = row[3];
    p.roiSwitch = row[4];
    p.adjustPart = row[5];
    for (int k = 0; k < 4; ++k)
        p.step[k] = row[static_cast<size_t>(6 + k)];
    return p;
}
