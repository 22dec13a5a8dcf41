#pragma once
// Defect matcher of one area: learns, per pixel, the gray envelope of its
// templates and marks the pixels of a cut that leave it.
//
// Envelope: lo = min over templates - tol, hi = max over templates + tol,
// tol(p) = min(maxTolerance, sensitivity + multiplier * G(p)), G the 3x3
// morphological gradient of the first template, so edges tolerate about one
// pixel of misalignment.  Pixels outside the mask never mark.
#include <opencv2/core.hpp>

class GrayMatch {
public:
    GrayMatch() = default;

    // Starts a new model of w x h pixels; copies the mask (a mask of another
    // size, or none, means the whole cut).
    void Create(int w, int h, const cv::Mat& mask, int reserved = 0);
    // Takes one template cut (8-bit, w x h; other sizes are ignored).  The
    // cut is read at once; the caller may overwrite it afterwards.
    void AddTemp(const cv::Mat& cut);
    // Builds the envelope; valid when at least one template was added.  The
    // templates are folded into the envelope, so once trained the model is
    // fixed until the next Create: later AddTemp and Train calls do nothing.
    void Train(int sensitivity, int multiplier, int reserved = 100, int maxTolerance = 150);
    bool IsValid() const { return valid_; }
    void Clear();

    // out := w x h 8-bit, 255 where the cut leaves the envelope inside the
    // mask, 0 elsewhere.  Returns the number of marked pixels, or -1 (out all
    // 0) when the matcher is not valid or the cut has the wrong size.
    int Match(const cv::Mat& cut, cv::Mat& out) const;

    int width() const { return w_; }
    int height() const { return h_; }
    int templateCount() const { return count_; }

private:
    bool trained() const { return count_ > 0 && min_.empty(); }

    int w_ = 0, h_ = 0;
    int count_ = 0;
    bool valid_ = false;
    cv::Mat mask_;      // 255 inside (during training)
    cv::Mat min_, max_; // running envelope of the templates
    cv::Mat grad0_;     // gradient of the first template
    cv::Mat lo_, hi_;   // trained bounds; masked-out pixels hold 0 and 255
};
