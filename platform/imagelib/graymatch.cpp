#include "graymatch.h"

#include "maskedncc.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

void GrayMatch::Create(int w, int h, const cv::Mat& mask, int)
{
    Clear();
    w_ = std::max(0, w);
    h_ = std::max(0, h);
    if (w_ == 0 || h_ == 0)
        return;
    mask_ = NormalisedMask(w_, h_, mask);
}

void GrayMatch::AddTemp(const cv::Mat& cut)
{
    if (w_ == 0 || cut.cols != w_ || cut.rows != h_ || cut.type() != CV_8UC1 || trained())
        return;
    if (count_ == 0) {
        min_ = cut.clone();
        max_ = cut.clone();
        const cv::Mat k = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
        cv::morphologyEx(cut, grad0_, cv::MORPH_GRADIENT, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    } else {
        cv::min(min_, cut, min_);
        cv::max(max_, cut, max_);
    }
    ++count_;
}

void GrayMatch::Train(int sensitivity, int multiplier, int, int maxTolerance)
{
    if (trained())
        return;
    valid_ = false;
    if (count_ == 0)
        return;
    const int cap = std::clamp(maxTolerance, 0, 255);
    const int base = std::clamp(sensitivity, 0, 255);
    const int mult = std::clamp(multiplier, 0, 255);
    lo_.create(h_, w_, CV_8UC1);
    hi_.create(h_, w_, CV_8UC1);
    for (int y = 0; y < h_; ++y) {
        const uchar* mn = min_.ptr<uchar>(y);
        const uchar* mx = max_.ptr<uchar>(y);
        const uchar* g = grad0_.ptr<uchar>(y);
        const uchar* m = mask_.ptr<uchar>(y);
        uchar* lo = lo_.ptr<uchar>(y);
        uchar* hi = hi_.ptr<uchar>(y);
        for (int x = 0; x < w_; ++x) {
            if (!m[x]) {
                lo[x] = 0;
                hi[x] = 255;
                continue;
            }
            const int tol = std::min(cap, base + mult * g[x]);
            lo[x] = static_cast<uchar>(std::max(0, mn[x] - tol));
            hi[x] = static_cast<uchar>(std::min(255, mx[x] + tol));
        }
    }
    // The envelope is all a trained matcher needs.
    min_.release();
    max_.release();
    grad0_.release();
    mask_.release();
    valid_ = true;
}

void GrayMatch::Clear()
{
    w_ = h_ = count_ = 0;
    valid_ = false;
    mask_.release();
    min_.release();
    max_.release();
    grad0_.release();
    lo_.release();
    hi_.release();
}

int GrayMatch::Match(const cv::Mat& cut, cv::Mat& out) const
{
    if (!valid_ || cut.cols != w_ || cut.rows != h_ || cut.type() != CV_8UC1) {
        if (w_ > 0)
            out.create(h_, w_, CV_8UC1);
        if (!out.empty())
            out.setTo(0);
        return -1;
    }
    out.create(h_, w_, CV_8UC1);
    int marked = 0;
    for (int y = 0; y < h_; ++y) {
        const uchar* c = cut.ptr<uchar>(y);
        const uchar* lo = lo_.ptr<uchar>(y);
        const uchar* hi = hi_.ptr<uchar>(y);
        uchar* o = out.ptr<uchar>(y);
        int rowMarked = 0;
        for (int x = 0; x < w_; ++x) {
            const uchar v = (c[x] < lo[x]) | (c[x] > hi[x]) ? 255 : 0;
            o[x] = v;
            rowMarked += v & 1;
        }
        marked += rowMarked;
    }
    return marked;
}
