#include "maskedncc.h"

#include <cmath>

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

MaskedNcc::Window MaskedNcc::at(const cv::Mat& image, int x, int y) const
{
    Window w;
    if (n_ <= 0)
        return w;
    const cv::Mat roi = image(cv::Rect(x, y, pattern_.cols, pattern_.rows));
    double sI, sII;
    if (full_) {
        sI = cv::sum(roi)[0];
        sII = roi.dot(roi);
    } else {
        scratch_.create(roi.size(), CV_8UC1);
        cv::bitwise_and(roi, mask_, scratch_);
        sI = cv::sum(scratch_)[0];
        sII = scratch_.dot(scratch_);
    }
    const double sTI = pattern_.dot(roi);
    const double varT = sTT_ - sT_ * sT_ / n_;
    const double varI = sII - sI * sI / n_;
    w.mean = sI / n_;
    w.stddev = varI > 0 ? std::sqrt(varI / n_) : 0;
    if (varT <= 1e-9 || varI <= 1e-9)
        return w;
    w.ncc = (sTI - sT_ * sI / n_) / std::sqrt(varT * varI);
    return w;
}
