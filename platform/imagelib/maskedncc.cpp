#include "maskedncc.h"

#include <cmath>
#include <cstdint>

// The window sums run for every refined position: let them vectorise.
#pragma GCC optimize("O3")

void MaskedNcc::set(const cv::Mat& pattern, const cv::Mat& mask)
{
    CV_Assert(pattern.type() == CV_8UC1);
    full_ = mask.empty() || cv::countNonZero(mask) == mask.rows * mask.cols;
    if (full_) {
        pattern_ = pattern.clone();
        mask_.release();
        n_ = double(pattern.total());
    } else {
        CV_Assert(mask.size() == pattern.size() && mask.type() == CV_8UC1);
        mask_ = cv::Mat(mask.size(), CV_8UC1);
        cv::compare(mask, 0, mask_, cv::CMP_NE);
        pattern_ = cv::Mat::zeros(pattern.size(), CV_8UC1);
        pattern.copyTo(pattern_, mask_);
        n_ = cv::countNonZero(mask_);
    }
    sT_ = cv::sum(pattern_)[0];
    sTT_ = pattern_.dot(pattern_);
}

double MaskedNcc::stddev() const
{
    if (n_ <= 0)
        return 0;
    const double var = sTT_ / n_ - (sT_ / n_) * (sT_ / n_);
    return var > 0 ? std::sqrt(var) : 0;
}

namespace {

// One pass over the window: sums of I, I*I and T*I (I masked when a mask is
// given).  Integer sums per row, so the loops vectorise.
void windowSums(const cv::Mat& roi, const cv::Mat& pattern, const cv::Mat& mask, int64_t& sI, int64_t& sII,
                int64_t& sTI)
{
    sI = sII = sTI = 0;
    const int w = roi.cols;
    for (int y = 0; y < roi.rows; ++y) {
        const uchar* img = roi.ptr<uchar>(y);
        const uchar* t = pattern.ptr<uchar>(y);
        int32_t rI = 0, rII = 0, rTI = 0;
        if (mask.empty()) {
            for (int x = 0; x < w; ++x) {
                const int32_t v = img[x];
                rI += v;
                rII += v * v;
                rTI += int32_t(t[x]) * v;
            }
        } else {
            const uchar* m = mask.ptr<uchar>(y);
            for (int x = 0; x < w; ++x) {
                const int32_t v = img[x] & m[x];
                rI += v;
                rII += v * v;
                rTI += int32_t(t[x]) * v;
            }
        }
        sI += rI;
        sII += rII;
        sTI += rTI;
    }
}

} // namespace

MaskedNcc::Window MaskedNcc::at(const cv::Mat& image, int x, int y) const
{
    Window w;
    if (n_ <= 0)
        return w;
    const cv::Mat roi = image(cv::Rect(x, y, pattern_.cols, pattern_.rows));
    int64_t isI, isII, isTI;
    windowSums(roi, pattern_, mask_, isI, isII, isTI);
    const double sI = double(isI), sII = double(isII), sTI = double(isTI);
    const double varT = sTT_ - sT_ * sT_ / n_;
    const double varI = sII - sI * sI / n_;
    w.mean = sI / n_;
    w.stddev = varI > 0 ? std::sqrt(varI / n_) : 0;
    if (varT <= 1e-9 || varI <= 1e-9)
        return w;
    w.ncc = (sTI - sT_ * sI / n_) / std::sqrt(varT * varI);
    return w;
}

cv::Mat NormalisedMask(int w, int h, const cv::Mat& mask)
{
    cv::Mat out;
    if (!mask.empty() && mask.cols == w && mask.rows == h && mask.type() == CV_8UC1)
        cv::compare(mask, 0, out, cv::CMP_NE);
    else
        out = cv::Mat(h, w, CV_8UC1, cv::Scalar(255));
    return out;
}
