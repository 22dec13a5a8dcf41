#pragma once
// Frames for positioning under rotation, shared by the accuracy test and the
// positioning benchmark: a 200 x 200 model on a generated mould, searched
// +-40 pixels with rotation up to 10 degrees, the frame turned and moved
// about the model's centre, optionally with a leftover part lying over 12 %
// of the model and with blur, noise and a gain change.
#include "synth.h"

#include <opencv2/imgproc.hpp>

#include <vector>

namespace rotationscenes {

constexpr int kW = 640;
constexpr int kH = 512;
constexpr int kAngleRange = 10;
constexpr int kMargin = 40;
// The positioning model, centred on the mould's marker.
const cv::Rect kModel(kW / 2 - 100, kH / 2 - 100, 200, 200);

inline cv::Point refPoint() { return {kModel.x + kModel.width / 2, kModel.y + kModel.height / 2}; }

inline cv::Rect searchRect()
{
    return cv::Rect(kModel.x - kMargin, kModel.y - kMargin, kModel.width + 2 * kMargin, kModel.height + 2 * kMargin)
           & cv::Rect(0, 0, kW, kH);
}

inline cv::Mat reference(uint64_t seed = 5) { return synth::mould(kW, kH, seed); }

struct Pose {
    double angle; // degrees, cv::getRotationMatrix2D sense
    int dx, dy;   // the model's centre moves by this much
};

// Poses within the search: angles across the range, shifts up to 30 px.
inline std::vector<Pose> poses()
{
    return {{-9.0, 12, -7}, {-5.5, -25, 18}, {-2.2, 6, 30}, {0.0, -14, -9},
            {3.4, 28, 4},   {6.1, -8, -22},  {8.7, 19, 15}, {9.6, -30, 2}};
}

// Where a leftover part lies over the model, in model pixels: 80 x 60 pixels
// (12 % of the model) in one of eight places.
inline std::vector<cv::Rect> occluders()
{
    return {{0, 0, 80, 60},    {120, 0, 80, 60},   {0, 140, 80, 60},  {120, 140, 80, 60},
            {60, 70, 80, 60},  {0, 70, 60, 80},    {140, 60, 60, 80}, {70, 0, 60, 80}};
}

struct Degradation {
    double blurSigma = 0;
    double noiseSigma = 0;
    double gain = 1.0;
};

// The reference seen in the given pose; with `occluder` (model pixels, empty
// for none) a flat part is painted over the turned model, then the frame is
// degraded.
inline cv::Mat frame(const cv::Mat& ref, const Pose& p, const cv::Rect& occluder = cv::Rect(),
                     const Degradation& deg = Degradation(), uint64_t seed = 7)
{
    const cv::Point2f centre(float(refPoint().x), float(refPoint().y));
    cv::Mat out = synth::transform(ref, p.dx, p.dy, p.angle, centre);
    if (!occluder.empty())
        cv::rectangle(out, occluder + kModel.tl() + cv::Point(p.dx, p.dy), cv::Scalar(175), cv::FILLED);
    if (deg.blurSigma > 0)
        cv::GaussianBlur(out, out, cv::Size(0, 0), deg.blurSigma);
    if (deg.gain != 1.0)
        out = synth::lighting(out, deg.gain);
    if (deg.noiseSigma > 0)
        out = synth::noise(out, deg.noiseSigma, seed);
    return out;
}

// The shift a correct search reports (found point less the search window's
// corner) for a pose: the move undone.
inline cv::Point expectedShift(const Pose& p) { return {-p.dx, -p.dy}; }

} // namespace rotationscenes
