#pragma once
// Edge-point measurement for the distance method: a measurement rectangle is
// straightened into an upright strip, its columns are averaged into a
// profile, and the strong steps of the profile are the edges.
#include <opencv2/core.hpp>

#include <cstdint>
#include <memory>
#include <vector>

// Measurement rectangle, image pixels.
struct RotateRectROI {
    double cx = 0;    // centre
    double cy = 0;
    float angle = 0;  // degrees; 0 scans along x, 90 along y
    float width = 0;  // length along the scan direction (strip columns)
    float height = 0; // extent across it (averaged per column)
};

// Parameters and results of one measurement; use a fresh block each time.
struct _EdgePointDetParam {
    // in
    int32_t scanFromEnd = 0; // only 0 (scan from the first column) is supported
    int32_t polarity = 0;    // only 0 (absolute difference) is supported
    int32_t peakPercent = 1; // threshold, hundredths of the largest gradient
    int32_t smoothWidth = 5; // moving average over the gradient when above 1
    int32_t minGradient = 0; // gradient values below it count as 0
    // out
    double maxGradient = 0;
    std::vector<cv::Point2d> edgePoints; // image coordinates, scan order
    cv::Mat stripImage;                  // (int) height rows x (int) width columns
    std::vector<double> gradient;        // smoothed gradient per strip column
    // in, borrowed
    RotateRectROI* rect = nullptr;
    // out
    bool found = false;
};

// The measurement rectangle covering r; vertical non-zero scans along y.
std::unique_ptr<RotateRectROI> Rect2RotateRect(cv::Rect r, int vertical);
// The four corners: (-w/2, -h/2), (w/2, -h/2), (w/2, h/2), (-w/2, h/2)
// rotated by the angle and moved to the centre.
void getCornerPoints(const RotateRectROI* rect, std::vector<cv::Point2f>& corners);
// Measures on img (8-bit; colour is converted to gray inside the strip).
// True, and p.found set, when at least one edge was found: the first peak,
// the most recent peak and a peak at the last column, in this order.
bool clcEdgePoint(cv::Mat& img, _EdgePointDetParam& p);
// Euclidean distance, computed in double precision.
float DistP2P(cv::Point2d a, cv::Point2d b);
