#include "autogeneration.h"

#include "geometry.h"
#include "shapes.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>

namespace {

constexpr int kDefaultSensitivity = 45;

// Base template of detection d as an 8-bit plane (colour pictures are
// converted like the detection plane); empty when the slot has none.
cv::Mat basePlane(CameraSlotState& slot, int d)
{
    if (slot.templates[d].empty() || slot.imageLen <= 0)
        return {};
    std::vector<uchar>& buffer = slot.templates[d][0];
    if (buffer.size() < static_cast<size_t>(slot.colorLen))
        return {};
    if (!slot.color)
        return cv::Mat(slot.imageH, slot.imageW, CV_8UC1, buffer.data());
    cv::Mat plane(slot.imageH, slot.imageW, CV_8UC1);
    RgbaToDetectionPlane(buffer.data(), slot.imageW, slot.imageH, plane.data);
    return plane;
}

} // namespace

int AutogenerationSensitivity(const cv::Mat& diffCut)
{
    const int n = cv::countNonZero(diffCut);
    if (n == 0)
        return kDefaultSensitivity;
    const int64_t m = static_cast<int>(cv::mean(diffCut)[0]);
    const int64_t sum = m * diffCut.cols * diffCut.rows;
    return static_cast<int>(0.2 * static_cast<double>(sum / n));
}

bool AutogenerationRegion(CameraSlotState& slot, int d, int minimumSize, int minimumArea)
{
    if (d < 0 || d >= kDetections || !slot.workSet || slot.workSet->roiCount[d] > 0)
        return false;
    const cv::Mat t0 = basePlane(slot, 0);
    const cv::Mat t1 = basePlane(slot, 1);
    if (t0.empty() || t1.empty())
        return false;

    cv::Mat diff, mask;
    cv::absdiff(t0, t1, diff);
    cv::threshold(diff, mask, 50, 255, cv::THRESH_BINARY);
    const cv::Mat e30 = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(30, 30));
    const cv::Mat e50 = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(50, 50));
    const cv::Mat r3 = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    const cv::Point anchor(-1, -1);
    const cv::Scalar border = cv::morphologyDefaultBorderValue();
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, r3, anchor, 1, cv::BORDER_CONSTANT, border);
    cv::morphologyEx(mask, mask, cv::MORPH_CLOSE, e30, anchor, 1, cv::BORDER_CONSTANT, border);
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, e30, anchor, 1, cv::BORDER_CONSTANT, border);
    cv::morphologyEx(mask, mask, cv::MORPH_DILATE, e50, anchor, 1, cv::BORDER_CONSTANT, border);

    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(mask, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE, cv::Point(0, 0));
    if (contours.empty())
        return false;
    std::vector<cv::Point> points;
    for (const auto& c : contours)
        points.insert(points.end(), c.begin(), c.end());
    std::vector<cv::Point> hull, poly;
    cv::convexHull(points, hull, false, true);
    cv::approxPolyDP(hull, poly, 10.0, true);
    if (poly.empty())
        return false;
    if (poly.size() > static_cast<size_t>(RePolygon::kMaxPoints))
        poly.resize(static_cast<size_t>(RePolygon::kMaxPoints));

    const cv::Rect br = cv::boundingRect(poly) & cv::Rect(0, 0, diff.cols, diff.rows);
    const int sensitivity = AutogenerationSensitivity(diff(br));

    // Outlines are held in view coordinates.
    const kvor::Geometry& g = kvor::geometry();
    std::vector<QPoint> viewPoints;
    viewPoints.reserve(poly.size());
    for (const cv::Point& p : poly) {
        int x = static_cast<int>(std::lround(p.x * g.showAW));
        int y = static_cast<int>(std::lround(p.y * g.showAH));
        CheckInRange(x, 1);
        CheckInRange(y, 0);
        viewPoints.emplace_back(x, y);
    }

    CammerSingleton& set = *slot.workSet;
    const int i = set.roiCount[d];
    RePolygon& shape = set.roiPolygon[d][i];
    shape.setPoints(viewPoints);
    shape.setImageRect();
    slot.workMask[d][i] = shape.UpdateMask();
    set.roiShape[d][i] = RoiShapePolygon;
    shape.SetSelected(true);
    set.roiMethod[d][i] = AreaFuncDefect;
    set.roiMinSize[d][i] = minimumSize;
    set.roiSensibility[d][i] = sensitivity;
    set.roiMaxArea[d][i] = minimumArea;
    set.roiCount[d] = 1;
    return true;
}
