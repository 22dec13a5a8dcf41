#include "viewoverlay.h"

#include "imageconvert.h"

#include <algorithm>
#include <cstring>

namespace {

size_t pictureWords(const CameraSlotState& slot)
{
    return static_cast<size_t>(std::max(slot.imageW, 0)) * static_cast<size_t>(std::max(slot.imageH, 0));
}

int areaCount(const CammerSingleton& set, int d)
{
    return std::clamp(set.roiCount[d], 0, kAreas);
}

const ShapeImageRect* shapeImageRect(const CammerSingleton& set, int d, int i)
{
    switch (set.roiShape[d][i]) {
    case RoiShapeRect:
        return &set.roiRect[d][i];
    case RoiShapeCircle:
        return &set.roiCircle[d][i];
    case RoiShapePolygon:
        return &set.roiPolygon[d][i];
    default:
        return nullptr;
    }
}

// Sets the pixels of r (inside the picture) whose plane byte is not 0.
void markRect(uint32_t* rgba, const uchar* plane, int w, const cv::Rect& r, uint32_t colour)
{
    for (int y = r.y; y < r.y + r.height; ++y) {
        const size_t row = static_cast<size_t>(y) * static_cast<size_t>(w);
        const uchar* p = plane + row;
        uint32_t* out = rgba + row;
        for (int x = r.x; x < r.x + r.width; ++x) {
            if (p[x])
                out[x] = colour;
        }
    }
}

// Truncates toward zero, kept far inside int so a garbled record cannot
// overflow the conversion.
int truncated(double v)
{
    return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9));
}

bool planeCovers(const std::vector<uchar>& plane, size_t words)
{
    return plane.size() >= words;
}

} // namespace

bool ConvertShownFrame(const CameraSlotState& slot, ViewBuffer buffer)
{
    const size_t words = pictureWords(slot);
    if (words == 0)
        return true;
    if (!buffer.rgba || buffer.words < words)
        return false;
    const size_t frameBytes = slot.color ? 4 * words : words;
    if (slot.shownFrame.size() < frameBytes) {
        std::fill(buffer.rgba, buffer.rgba + words, 0xFF000000u);
        return true;
    }
    if (slot.color) {
        std::memcpy(buffer.rgba, slot.shownFrame.data(), frameBytes);
    } else {
        // As one row: OpenCV splits a conversion over its worker pool by
        // rows, and handing work to the pool costs an allocation per call.
        Gray2RGBA(slot.shownFrame.data(), buffer.rgba, static_cast<int>(words), 1);
    }
    return true;
}

cv::Rect OverlayRect(const CammerSingleton& set, int d, int i, int w, int h)
{
    if (d < 0 || d >= kDetections || i < 0 || i >= kAreas)
        return {};
    const ShapeImageRect* r = shapeImageRect(set, d, i);
    if (!r)
        return {};
    const int left = std::max(r->imgLeft, 0);
    const int top = std::max(r->imgTop, 0);
    const int right = std::min(r->imgRight, w - 1);
    const int bottom = std::min(r->imgBottom, h - 1);
    if (right < left || bottom < top)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

bool WriteViewPicture(const CameraSlotState& slot, const CammerSingleton& set, int d,
                      const ViewOverlayContext& context, ViewBuffer buffer)
{
    if (!ConvertShownFrame(slot, buffer))
        return false;
    const size_t words = pictureWords(slot);
    if (words == 0 || d < 0 || d >= kDetections)
        return true;
    const int w = slot.imageW;
    const int h = slot.imageH;
    const int count = areaCount(set, d);
    const bool results = planeCovers(slot.resultImage, words);

    if (results && context.pageMode == PageModeAlarm && context.source == PictureSourceLive
        && slot.alarmShow == 1) {
        for (int i = 0; i < count; ++i) {
            if (slot.roiOK[d][i] == 0)
                markRect(buffer.rgba, slot.resultImage.data(), w, OverlayRect(set, d, i, w, h), kOverlayRed);
        }
    }
    // The template source shows the area page's unsaved ignore points.
    const std::vector<uchar>& ignore = slot.shownIgnoreMask(d);
    if (context.source == PictureSourceTemplate && planeCovers(ignore, words)) {
        for (int i = 0; i < count; ++i)
            markRect(buffer.rgba, ignore.data(), w, OverlayRect(set, d, i, w, h), kOverlayCyan);
    }
    if (results && slot.testShown && context.selRoi >= 0 && context.selRoi < count)
        markRect(buffer.rgba, slot.resultImage.data(), w, OverlayRect(set, d, context.selRoi, w, h), kOverlayCyan);
    return true;
}

QRect AlarmBoxes::box(int k) const
{
    const auto& e = alarm->entry[k + 1];
    return {e[0], e[1], e[2] - e[0], e[3] - e[1]};
}

AlarmBoxes AlarmBoxesToDraw(const CameraSlotState& slot, const CammerSingleton& set, int d, int i,
                            const ViewOverlayContext& context)
{
    if (d < 0 || d >= kDetections || i < 0 || i >= areaCount(set, d)
        || static_cast<size_t>(d) >= slot.roiAlarm.size())
        return {};
    if (context.pageMode != PageModeAlarm || context.source != PictureSourceLive || slot.isOK != 0
        || slot.roiOK[d][i] != 0 || set.roiMethod[d][i] == AreaFuncDistance)
        return {};
    const RoiAlarm& alarm = slot.roiAlarm[static_cast<size_t>(d)][static_cast<size_t>(i)];
    return {&alarm, std::clamp(alarm.boxCount(), 0, RoiAlarm::kMaxBoxes)};
}

DistanceMarkers DistanceMarkersToDraw(const CameraSlotState& slot, const CammerSingleton& set, int d, int i,
                                      double scaleX, double scaleY)
{
    DistanceMarkers m;
    if (d < 0 || d >= kDetections || i < 0 || i >= areaCount(set, d)
        || static_cast<size_t>(d) >= slot.roiAlarm.size() || set.roiMethod[d][i] != AreaFuncDistance)
        return m;
    const RoiAlarm& alarm = slot.roiAlarm[static_cast<size_t>(d)][static_cast<size_t>(i)];
    const int found = alarm.edgeFoundCount();
    if (found < 1)
        return m;
    const cv::Point edge[2] = {alarm.edgeFoundPoint1(), alarm.edgeFoundPoint2()};
    QPoint at[2];
    m.rings = found == 2 ? 2 : 1;
    for (int k = 0; k < m.rings; ++k) {
        const double x = edge[k].x * scaleX;
        const double y = edge[k].y * scaleY;
        // The ring hangs below the point; the line joins the rings' middles.
        const int left = truncated(x - 2.5);
        const int top = truncated(y);
        m.ring[k] = QRect(QPoint(left, top), QPoint(left + 4, top + 4));
        at[k] = QPoint(truncated(x), truncated(y + 2.5));
    }
    if (m.rings == 2) {
        m.hasLine = true;
        m.line = QLine(at[0], at[1]);
    }
    return m;
}
