#include "edgepoint.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// cos and sin of an angle in degrees, in single precision.
void cosSin(float angle, float& c, float& s)
{
    const float a = angle * static_cast<float>(CV_PI) / 180.0f;
    c = std::cos(a);
    s = std::sin(a);
}

enum class ScanState { Start, Below, Rising };

} // namespace

std::unique_ptr<RotateRectROI> Rect2RotateRect(cv::Rect r, int vertical)
{
    auto roi = std::make_unique<RotateRectROI>();
    roi->cx = r.x + r.width / 2;
    roi->cy = r.y + r.height / 2;
    if (vertical == 0) {
        roi->angle = 0;
        roi->width = static_cast<float>(r.width);
        roi->height = static_cast<float>(r.height);
    } else {
        roi->angle = 90;
        roi->width = static_cast<float>(r.height);
        roi->height = static_cast<float>(r.width);
    }
    return roi;
}

void getCornerPoints(const RotateRectROI* rect, std::vector<cv::Point2f>& corners)
{
    corners.resize(4);
    if (!rect) {
        std::fill(corners.begin(), corners.end(), cv::Point2f());
        return;
    }
    const float hw = rect->width * 0.5f;
    const float hh = rect->height * 0.5f;
    float c, s;
    cosSin(rect->angle, c, s);
    const float local[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    for (int k = 0; k < 4; ++k) {
        const float u = local[k][0], v = local[k][1];
        corners[static_cast<size_t>(k)] = cv::Point2f(static_cast<float>(u * c - v * s + rect->cx),
                                                      static_cast<float>(u * s + v * c + rect->cy));
    }
}

bool clcEdgePoint(cv::Mat& img, _EdgePointDetParam& p)
{
    p.found = false;
    p.maxGradient = 0;
    p.edgePoints.clear();
    p.gradient.clear();
    const RotateRectROI* rect = p.rect;
    if (!rect || img.empty() || !(rect->width >= 1) || !(rect->height >= 1))
        return false;

    // 1. Straighten the rectangle into an upright strip.
    std::vector<cv::Point2f> corners;
    getCornerPoints(rect, corners);
    const float w = rect->width, h = rect->height;
    const std::vector<cv::Point2f> target{{0, 0}, {w, 0}, {w, h}, {0, h}};
    const cv::Mat m = cv::getPerspectiveTransform(corners, target);
    cv::warpPerspective(img, p.stripImage, m, cv::Size(static_cast<int>(w), static_cast<int>(h)), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(0));
    if (p.stripImage.channels() == 3)
        cv::cvtColor(p.stripImage, p.stripImage, cv::COLOR_RGB2GRAY);
    else if (p.stripImage.channels() == 4)
        cv::cvtColor(p.stripImage, p.stripImage, cv::COLOR_RGBA2GRAY);
    if (p.stripImage.depth() != CV_8U)
        p.stripImage.convertTo(p.stripImage, CV_8U);

    const cv::Mat& strip = p.stripImage;
    const int n = strip.cols;
    const int rows = strip.rows;
    if (n < 1 || rows < 1)
        return false;

    // 2. Column means.
    std::vector<float> profile(static_cast<size_t>(n), 0.0f);
    for (int r = 0; r < rows; ++r) {
        const uchar* row = strip.ptr<uchar>(r);
        for (int j = 0; j < n; ++j)
            profile[static_cast<size_t>(j)] += row[j];
    }
    for (float& v : profile)
        v /= static_cast<float>(rows);

    // 3. Gradient, floor, moving average.
    std::vector<float> g(static_cast<size_t>(n), 0.0f);
    for (int k = 1; k < n; ++k)
        g[static_cast<size_t>(k)] = std::fabs(profile[static_cast<size_t>(k)] - profile[static_cast<size_t>(k - 1)]);
    for (float& v : g)
        if (v < static_cast<float>(p.minGradient))
            v = 0.0f;
    const int sw = p.smoothWidth;
    if (sw > 1) {
        const int half = sw - sw / 2 - 1;
        std::vector<float> sum(static_cast<size_t>(n) + 1, 0.0f);
        for (int k = 0; k < n; ++k)
            sum[static_cast<size_t>(k) + 1] = sum[static_cast<size_t>(k)] + g[static_cast<size_t>(k)];
        for (int mIdx = 0; mIdx < n; ++mIdx) {
            const int hi = std::min(mIdx + half, n - 1);
            const int lo = std::max(mIdx + half - sw + 1, 0);
            g[static_cast<size_t>(mIdx)] =
                (sum[static_cast<size_t>(hi) + 1] - sum[static_cast<size_t>(lo)]) / static_cast<float>(hi - lo + 1);
        }
    }
    p.gradient.assign(g.begin(), g.end());

    // 4. Threshold.
    float maxG = 0.0f;
    for (float v : g)
        maxG = std::max(maxG, v);
    p.maxGradient = maxG > 0 ? maxG : 0.0;
    const float t = static_cast<float>(p.peakPercent * p.maxGradient / 100.5);

    // 5. Peak scan: keeps the first peak, the most recent one and a peak at
    // the last column.
    ScanState state = ScanState::Start;
    std::vector<int> cand;
    std::vector<double> peaks;
    auto middle = [&]() { return (cand.front() + cand.back()) * 0.5; };
    for (int k = 0; k < n; ++k) {
        const float v = g[static_cast<size_t>(k)];
        if (v <= t) {
            state = ScanState::Below;
            continue;
        }
        if (k == n - 1) {
            cand.push_back(k);
            peaks.push_back(middle());
            break;
        }
        const float next = g[static_cast<size_t>(k) + 1];
        if (v < next) {
            cand.clear();
            state = ScanState::Rising;
        } else if (v == next) {
            if (state == ScanState::Below || state == ScanState::Rising) {
                cand.push_back(k);
                state = ScanState::Rising;
            }
        } else if (state == ScanState::Rising) {
            cand.push_back(k);
            if (peaks.size() >= 2)
                peaks.pop_back();
            peaks.push_back(middle());
            cand.clear();
            state = ScanState::Start;
        }
    }
    if (peaks.empty())
        return false;

    // 6. Onto the rectangle's centre line.
    float c, s;
    cosSin(rect->angle, c, s);
    for (double u : peaks) {
        const double along = u - n * 0.5;
        p.edgePoints.emplace_back(rect->cx + along * c, rect->cy + along * s);
    }
    p.found = true;
    return true;
}

float DistP2P(cv::Point2d a, cv::Point2d b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}
