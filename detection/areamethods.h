#pragma once
// The area methods as one table, used only by the engine (cammerrecongnize):
// per method code its name, how the three stored parameters A, B and C
// decode into named fields and which values are valid, what training the
// method needs, and its stage in the detection pass and in the preview.
#include "cameraslotstate.h"
#include "enginehost.h"
#include "graymatch.h"
#include "similarity.h"

#include <opencv2/core.hpp>

// The parameters of one area, decoded.  Each method fills the fields it uses.
struct AreaParams {
    int grayLo = 0, grayHi = 255;     // gray-range methods: the range, inclusive
    int filterSize = 1;               // defect (A, with per-area details), white count (A)
    int sensitivity = 0;              // defect: training sensitivity (B)
    int alarmArea = 0;                // defect, black and white area: limit (C)
    int minArea = 0, maxArea = 0;     // spot: limits of the blob area sum (B, C)
    int minScore = 0;                 // similarity: least score (B)
    int countLimit1 = 0;              // white count: the two limits of C, in
    int countLimit2 = 0;              //   either order (bits 0-15, 16-31)
    int side = 0;                     // direction: 0 or 1, which side marks (A)
    int contourLo = 0, contourHi = 0; // direction: contour area limits (B, C, either order)
    int vertical = 0;                 // distance: 1 measures along the height (A)
    int minGradient = 0;              // distance: least edge step (B)
    int qualifiedDistance = 0;        // distance: allowed distance (C)
};

// One area in one pass or preview, prepared by the engine.
struct AreaJob {
    cv::Mat plane;           // the whole detection plane (edge measurement)
    cv::Rect rect;           // the area's rectangle, inside the image
    cv::Mat cut;             // plane(rect)
    cv::Mat inspectCut;      // the detection's inspection mask at rect
    cv::Mat areaMask;        // the area's mask at rect
    cv::Mat covered;         // pass: 255 where the aligned frame has frame pixels; empty = all
    cv::Mat resultCut;       // resultImage(rect)
    cv::Mat output;          // rect-sized zeros: the stage's found pixels
    const GrayMatch* grayMatch = nullptr;
    const SURF* surf = nullptr;
    RoiAlarm* alarm = nullptr; // pass only: boxes and found edges
    EngineParams params;
};

struct AreaVerdict {
    int value = 0;
    bool failed = false;
    int premin = 0, premax = 0; // limits of the result record
};

enum class AreaTraining { None, DefectMatcher, SimilarityMatcher, EdgeReference };

struct AreaMethod {
    int code;
    const char* name;
    AreaTraining training;
    // Fills p from the stored values; false when one that the method uses
    // lies outside its range (the pass then reports the area as an error).
    // Null, like judge, for ignore and position areas: they shape the
    // inspection mask or the positioning model and are never evaluated.
    bool (*decode)(int a, int b, int c, AreaParams& p);
    // Detection pass: value, verdict and limits; writes found pixels into
    // the result cut and boxes or found edges into the alarm record.
    AreaVerdict (*judge)(AreaJob& job, const AreaParams& p);
    // Preview: the value shown; writes found pixels into the result cut.
    // Null: the preview only repaints.
    int (*preview)(AreaJob& job, const AreaParams& p);
};

// The row of a method code; null for a code no method has.
const AreaMethod* areaMethod(int code);

// Distance areas: edge points across the area's measurement rectangle on
// `plane`, in image pixels (truncated), first to last.
std::vector<cv::Point> measureAreaEdges(cv::Mat& plane, const cv::Rect& rect, const AreaParams& p);
// Records edge points as the trained reference (reference) or as found:
// value gets 0, the single point's x, or the distance first to last
// (truncated).  Returns that distance, 0 with fewer than two points.
float recordEdges(const std::vector<cv::Point>& pts, bool reference, RoiAlarm& alarm, int& value);
