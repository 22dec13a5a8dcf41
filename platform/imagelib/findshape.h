#pragma once
// Positioning: finds a learned model (a cut of the reference picture) in a
// search image by shift and, optionally, rotation, and aligns frames so that
// the model lands where it lies in the reference picture.
//
// Search: masked zero-mean normalised cross-correlation on an image pyramid;
// exhaustive at the coarsest level (every angle step of about atan(2/size)),
// then refined level by level within +-2 pixels and half the angle step.
// Under rotation every angle is scored on the same pixels (the part of the
// model that stays inside it at every angle of the range), and the last
// angle step is split by the parabola through the scores around the best.
//
// Agreement of the three operations: Find reports x = refX - (u + w/2),
// y = refY - (v + h/2), with (u, v) the model's top-left in the search image.
// With (sx, sy) the search image's top-left in the frame, (x - sx, y - sy) is
// the shift that MoveImage applies, and TransformImage takes it together with
// the reference point and the angle.
#include "maskedncc.h"

#include <opencv2/core.hpp>

#include <deque>
#include <vector>

// How the mask of a rotated model follows it: kept (the turning core of a
// whole rectangle), turned pixel for pixel (a drawn shape within the core),
// or turned keeping only what lies wholly inside (a model without a core).
enum class MaskTurn { Keep, Nearest, WhollyInside };

class FindShape {
public:
    FindShape() = default;

    // model: 8-bit cut of the reference picture; angleRange in degrees
    // (0 = shift only, at most 180); (refX, refY): the model's centre in the
    // reference picture; mask: 255 where the model counts (another size, or
    // none, means all of it); leastMatch: the lowest score 0..100 accepted.
    // The remaining arguments are accepted for compatibility.  Returns
    // IsValid(): the model needs texture (standard deviation above 2 inside
    // the mask).
    bool CreateShape(const cv::Mat& model, double reserved1, int reserved2, int angleRange, int refX, int refY,
                     bool reserved3, int reserved4, const cv::Mat& mask, int leastMatch, int reserved5);
    // Searches `search`.  False when the model is not valid, the image is
    // empty, not 8-bit or smaller than the model, or the best score is below
    // the least match.  score 0..100; angle in degrees, the rotation of the
    // model in the frame in the sense of cv::getRotationMatrix2D.
    bool Find(const cv::Mat& search, int reserved, int& x, int& y, double& score, double& angle) const;

    bool IsValid() const { return valid_; }
    void Clear();

    int angleRange() const { return angleRange_; }
    int levels() const { return static_cast<int>(models_.size()); }

    static constexpr double kMinStdDev = 2.0;

private:
    struct Candidate {
        double ncc = -1;
        int u = 0, v = 0; // top-left at the current level
        double angle = 0;
    };
    // Rotated models of one search, by level and angle: candidates and
    // refinement rounds meet the same angles again.  A std::deque keeps
    // references stable while it grows.
    struct Turned {
        int level;
        double angle;
        MaskedNcc ncc;
    };
    using TurnCache = std::deque<Turned>;
    const MaskedNcc& turnedModel(TurnCache& cache, int level, double angle) const;
    void refine(const std::vector<cv::Mat>& pyr, TurnCache& cache, Candidate& c, int level, double angleStep,
                bool fromCoarser) const;

    bool valid_ = false;
    int angleRange_ = 0;
    int refX_ = 0, refY_ = 0;
    int leastMatch_ = 0;
    MaskTurn maskTurn_ = MaskTurn::Keep; // how a rotated model's mask follows
    std::vector<cv::Mat> models_; // pyramid, 0 = full resolution
    std::vector<cv::Mat> masks_;  // 255 inside, same sizes
    std::vector<MaskedNcc> ncc_;  // unrotated model per level
};

// dst(p) := src(p - (dx, dy)); pixels with no source repeat the nearest edge
// pixel of src (a zero band would look like a defect).  src and dst: same
// size and type; dst is written in place (it may share src's memory).
// Shifts larger than the image act as shifts by the image size.
bool MoveImage(const cv::Mat& src, cv::Mat dst, int dx, int dy);
// Aligns a shifted and rotated frame: with f = ref - shift (where the model
// was found), dst(ref + q) := src(f + R(angle) q), bilinear, edges repeated.
// src and dst: same size and type; dst is written in place.  The shift is
// clamped to the image size and ref into the image.
bool TransformImage(const cv::Mat& src, cv::Mat dst, cv::Point shift, cv::Point ref, double angle);

// What the two alignments take from the frame: the edge fill outside it is
// for display only and must not be judged.  MovedImageCover: the rectangle
// of dst that MoveImage fills from src.  TransformedImageCover: 255 where
// TransformImage reads only frame pixels, 0 elsewhere.
cv::Rect MovedImageCover(cv::Size size, int dx, int dy);
cv::Mat TransformedImageCover(cv::Size size, cv::Point shift, cv::Point ref, double angle);
