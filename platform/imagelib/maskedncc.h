#pragma once
// Masked zero-mean normalised cross-correlation of one fixed pattern against
// windows of an image, evaluated window by window (for the few positions a
// coarse-to-fine search refines).  Internal to the image library.
#include <opencv2/core.hpp>

// A w x h mask of 255 inside, 0 outside, from mask's non-zero pixels; all 255
// when mask is missing or is not 8-bit w x h (a wrong mask never narrows
// what a matcher inspects).
cv::Mat NormalisedMask(int w, int h, const cv::Mat& mask);

class MaskedNcc {
public:
    MaskedNcc() = default;
    // pattern and mask: 8-bit, same size; mask empty or all non-zero = full.
    void set(const cv::Mat& pattern, const cv::Mat& mask);

    bool empty() const { return n_ <= 0; }
    cv::Size size() const { return pattern_.size(); }
    int count() const { return static_cast<int>(n_); }
    double mean() const { return n_ > 0 ? sT_ / n_ : 0; }
    double stddev() const;            // of the pattern inside the mask
    bool fullMask() const { return full_; }

    struct Window {
        double ncc = -1;   // -1..1; -1 when either side is flat
        double mean = 0;   // mean of the window inside the mask
        double stddev = 0; // standard deviation of the window inside the mask
    };
    // Window of `image` with top-left (x, y); must lie inside the image.
    Window at(const cv::Mat& image, int x, int y) const;

private:
    cv::Mat pattern_;   // pattern with masked-out pixels set to 0
    cv::Mat mask_;      // 255 inside, empty when the mask is full
    bool full_ = true;
    double n_ = 0, sT_ = 0, sTT_ = 0;
};
