#pragma once
// Deterministic scene generators for the detection tests and benchmarks.
// Every picture is 8-bit gray unless stated; the same seed gives the same
// picture on every machine.
#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace synth {

// A mould seen by the camera: a smooth illumination gradient, fine texture,
// dark cavities, bright ejector pins and a textured marker near the centre
// that positioning can lock onto.
cv::Mat mould(int w, int h, uint64_t seed = 1);

// A part of the given gray value lying in the mould.
cv::Mat withPart(const cv::Mat& img, const cv::Rect& rect, int grey);

struct Defect {
    cv::Mat mask;  // 255 on the changed pixels, size of the picture
    int area = 0;  // changed pixels
};
// Paints a compact blob of at least areaPx pixels centred at `centre`: every
// pixel of it moves by exactly `contrast` (at most 127) gray levels, darker
// where it is 128 or brighter, brighter where it is darker.
Defect injectDefect(cv::Mat& img, cv::Point centre, int areaPx, int contrast);

// The picture moved by (dx, dy) and turned by angleDeg (counter-clockwise on
// screen, as cv::getRotationMatrix2D) about `centre`; edges repeated.
cv::Mat transform(const cv::Mat& img, double dx, double dy, double angleDeg, cv::Point2f centre);
// gain * v + offset, saturated.
cv::Mat lighting(const cv::Mat& img, double gain, double offset = 0);
// Gaussian noise of the given standard deviation.
cv::Mat noise(const cv::Mat& img, double sigma, uint64_t seed = 7);

// Bands of alternating gray (64 and 64 + contrast) changing at the given
// positions along x (or along y when vertical), blurred by blurSigma (0:
// sharp steps).
cv::Mat stepEdges(int w, int h, const std::vector<int>& positions, int contrast, double blurSigma = 0,
                  bool vertical = false);

// n white discs of radius r on black, centres `spacing` apart, row by row
// from (spacing / 2, spacing / 2), in a w x h picture.
cv::Mat discs(int w, int h, int n, int r, int spacing);

// White isosceles triangles on black, one per entry of pointRight, each in a
// side x side cell of a row; true points to the right (its bounding box is
// empty on the right), false to the left.
cv::Mat arrowShapes(const std::vector<bool>& pointRight, int side);

// A plain 320 x 240 picture of one gray (the engine tests' frame size).
cv::Mat ground(int grey = 100);

// Mean absolute difference of a and b inside r.
double meanAbsDiff(const cv::Mat& a, const cv::Mat& b, const cv::Rect& r);

// Gray -> the RGBA words of the camera buffers (bytes B, G, R, 0xFF).
cv::Mat toRGBA(const cv::Mat& gray);

} // namespace synth
