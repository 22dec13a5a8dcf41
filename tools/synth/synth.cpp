#include "synth.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace synth {

cv::Mat mould(int w, int h, uint64_t seed)
{
    cv::RNG rng(seed);
    // Illumination: 90 .. 150 from the left top to the right bottom.
    cv::Mat img(h, w, CV_32F);
    for (int y = 0; y < h; ++y) {
        float* row = img.ptr<float>(y);
        for (int x = 0; x < w; ++x)
            row[x] = 90.f + 40.f * x / std::max(w - 1, 1) + 20.f * y / std::max(h - 1, 1);
    }
    // Fine texture: smoothed noise of a few gray levels.
    cv::Mat tex(h, w, CV_32F);
    rng.fill(tex, cv::RNG::NORMAL, 0, 6);
    cv::GaussianBlur(tex, tex, cv::Size(0, 0), 1.2);
    img += tex;

    const int unit = std::max(std::min(w, h) / 16, 4);
    // Dark cavities in the four quadrants.
    for (int k = 0; k < 4; ++k) {
        const int cx = (k % 2 == 0 ? w / 4 : 3 * w / 4) + rng.uniform(-unit, unit);
        const int cy = (k / 2 == 0 ? h / 4 : 3 * h / 4) + rng.uniform(-unit, unit);
        const cv::Size axes(rng.uniform(unit, 2 * unit), rng.uniform(unit, 2 * unit));
        cv::ellipse(img, cv::Point(cx, cy), axes, rng.uniform(0, 180), 0, 360, cv::Scalar(40), cv::FILLED,
                    cv::LINE_AA);
    }
    // Bright pins.
    for (int k = 0; k < 6; ++k) {
        const cv::Point c(rng.uniform(unit, w - unit), rng.uniform(unit, h - unit));
        cv::circle(img, c, std::max(unit / 3, 2), cv::Scalar(220), cv::FILLED, cv::LINE_AA);
    }
    // Textured marker: a block pattern around the centre.
    const int cell = std::max(unit / 2, 2);
    const cv::Point m0(w / 2 - 4 * cell, h / 2 - 3 * cell);
    for (int j = 0; j < 6; ++j) {
        for (int i = 0; i < 8; ++i) {
            const float v = rng.uniform(0, 2) ? 200.f : 30.f;
            cv::rectangle(img, cv::Rect(m0.x + i * cell, m0.y + j * cell, cell, cell), cv::Scalar(v), cv::FILLED);
        }
    }
    cv::Mat out;
    img.convertTo(out, CV_8U);
    return out;
}

cv::Mat withPart(const cv::Mat& img, const cv::Rect& rect, int grey)
{
    cv::Mat out = img.clone();
    cv::rectangle(out, rect & cv::Rect(0, 0, img.cols, img.rows), cv::Scalar(grey), cv::FILLED);
    return out;
}

Defect injectDefect(cv::Mat& img, cv::Point centre, int areaPx, int contrast)
{
    Defect d;
    d.mask = cv::Mat::zeros(img.size(), CV_8UC1);
    // Grow a disc until it holds at least areaPx pixels.
    for (int r = 1; r < std::max(img.cols, img.rows); ++r) {
        d.mask.setTo(0);
        cv::circle(d.mask, centre, r, cv::Scalar(255), cv::FILLED, cv::LINE_8);
        if (cv::countNonZero(d.mask) >= areaPx)
            break;
    }
    d.area = cv::countNonZero(d.mask);
    const int c = std::clamp(contrast, 0, 127);
    for (int y = 0; y < img.rows; ++y) {
        const uchar* m = d.mask.ptr<uchar>(y);
        uchar* p = img.ptr<uchar>(y);
        for (int x = 0; x < img.cols; ++x) {
            if (m[x])
                p[x] = static_cast<uchar>(p[x] >= 128 ? p[x] - c : p[x] + c);
        }
    }
    return d;
}

cv::Mat transform(const cv::Mat& img, double dx, double dy, double angleDeg, cv::Point2f centre)
{
    cv::Mat m = cv::getRotationMatrix2D(centre, angleDeg, 1.0);
    m.at<double>(0, 2) += dx;
    m.at<double>(1, 2) += dy;
    cv::Mat out;
    cv::warpAffine(img, out, m, img.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out;
}

cv::Mat lighting(const cv::Mat& img, double gain, double offset)
{
    cv::Mat out;
    img.convertTo(out, img.type(), gain, offset);
    return out;
}

cv::Mat noise(const cv::Mat& img, double sigma, uint64_t seed)
{
    cv::RNG rng(seed);
    cv::Mat n(img.size(), CV_32F);
    rng.fill(n, cv::RNG::NORMAL, 0, sigma);
    cv::Mat f;
    img.convertTo(f, CV_32F);
    f += n;
    cv::Mat out;
    f.convertTo(out, img.type());
    return out;
}

cv::Mat stepEdges(int w, int h, const std::vector<int>& positions, int contrast, double blurSigma, bool vertical)
{
    cv::Mat out(h, w, CV_8UC1, cv::Scalar(64));
    std::vector<int> pos = positions;
    std::sort(pos.begin(), pos.end());
    const int len = vertical ? h : w;
    int level = 0;
    size_t next = 0;
    for (int k = 0; k < len; ++k) {
        while (next < pos.size() && pos[next] <= k) {
            level ^= 1;
            ++next;
        }
        const cv::Scalar v(64 + level * contrast);
        if (vertical)
            out.row(k).setTo(v);
        else
            out.col(k).setTo(v);
    }
    if (blurSigma > 0)
        cv::GaussianBlur(out, out, cv::Size(0, 0), blurSigma);
    return out;
}

cv::Mat discs(int w, int h, int n, int r, int spacing)
{
    cv::Mat out = cv::Mat::zeros(h, w, CV_8UC1);
    const int perRow = std::max(1, w / std::max(spacing, 1));
    for (int k = 0; k < n; ++k) {
        const cv::Point c(spacing / 2 + (k % perRow) * spacing, spacing / 2 + (k / perRow) * spacing);
        cv::circle(out, c, r, cv::Scalar(255), cv::FILLED, cv::LINE_8);
    }
    return out;
}

cv::Mat arrowShapes(const std::vector<bool>& pointRight, int side)
{
    const int n = static_cast<int>(pointRight.size());
    cv::Mat out = cv::Mat::zeros(side, side * std::max(n, 1), CV_8UC1);
    const int m = side / 5;
    for (int k = 0; k < n; ++k) {
        const int x0 = k * side + m;
        const int x1 = (k + 1) * side - m;
        const int y0 = m;
        const int y1 = side - m;
        std::vector<cv::Point> tri;
        if (pointRight[static_cast<size_t>(k)])
            tri = {{x0, y0}, {x0, y1}, {x1, (y0 + y1) / 2}};
        else
            tri = {{x1, y0}, {x1, y1}, {x0, (y0 + y1) / 2}};
        cv::fillConvexPoly(out, tri, cv::Scalar(255), cv::LINE_8);
    }
    return out;
}

cv::Mat toRGBA(const cv::Mat& gray)
{
    cv::Mat out;
    cv::cvtColor(gray, out, cv::COLOR_GRAY2BGRA);
    return out;
}

cv::Mat ground(int grey)
{
    return cv::Mat(240, 320, CV_8UC1, cv::Scalar(grey));
}

double meanAbsDiff(const cv::Mat& a, const cv::Mat& b, const cv::Rect& r)
{
    cv::Mat d;
    cv::absdiff(a(r), b(r), d);
    return cv::mean(d)[0];
}

} // namespace synth
