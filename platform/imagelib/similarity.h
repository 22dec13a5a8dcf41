#pragma once
// Similarity matcher of one area (the class keeps the name the areas know it
// by, SURF, although it uses no keypoints; see README.md).
//
// Score 0..100: 100 x the best masked zero-mean normalised cross-correlation
// between the inner part of a template (the cut less a margin s =
// min(8, w/8, h/8) on every side) and the cut, over all templates and over
// shifts up to s pixels, clamped at 0.  Flat content (standard deviation
// below 2) has no pattern to correlate: two flat sides score 100 when their
// means differ by at most 10, else 0; one flat side scores 0.
// The marked pixels are those inside the mask that differ by more than 40
// gray levels from the best template at the best shift.
#include "maskedncc.h"

#include <opencv2/core.hpp>

#include <vector>

class SURF {
public:
    SURF() = default;

    // Starts a new model of w x h pixels with a copy of the mask (a mask of
    // another size, or none, means the whole cut).
    void Create(int w, int h, const cv::Mat& mask);
    // Adds a copy of one template cut (8-bit, w x h; other sizes are
    // ignored).  The other arguments are accepted for compatibility.
    void AddTemp(const cv::Mat& cut, int reserved1 = 1, int reserved2 = 50, int minScore = 0);
    // Prepares the search; valid when at least one template was added.
    void Train(int = 0, int = 0, int = 0, int = 0);
    bool IsValid() const { return valid_; }
    void Clear();

    // Score 0..100 of the cut; out := w x h 8-bit marked pixels (255).
    // Not valid or a cut of the wrong size: 0 and out all 0.
    double Match(const cv::Mat& cut, cv::Mat& out) const;

    static constexpr int kMarkDifference = 40;
    static constexpr double kFlatStdDev = 2.0;
    static constexpr double kFlatMeanTolerance = 10.0;

private:
    struct Level {
        MaskedNcc inner; // inner part of the template at this level
        int offset = 0;  // margin at this level
    };
    struct Template {
        cv::Mat image;             // full cut, level 0
        std::vector<Level> levels; // 0 = full resolution
        bool flat = false;
        double mean = 0;
    };

    int w_ = 0, h_ = 0, margin_ = 0, levels_ = 1;
    bool valid_ = false;
    cv::Mat mask_; // 255 inside
    std::vector<Template> templates_;
};
