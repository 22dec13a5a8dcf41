#include "areamethods.h"

#include "blobresult.h"
#include "cammerrecongnize.h"
#include "edgepoint.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool within(int v, int lo, int hi) { return v >= lo && v <= hi; }

// Filter sizes come from stored parameters: keep them within what the area
// can hold and what the pass can afford.
int clampFilter(int k, const cv::Rect& r)
{
    const int hi = std::max(1, std::min({CammerRecong::kMaxFilterSize, r.width, r.height}));
    return std::clamp(k, 1, hi);
}

cv::Mat ellipse(int k)
{
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k), cv::Point(-1, -1));
}

// ---------------------------------------------------------------------------
// Decoding.  Bit fields (gray bounds, count limits) are in range by
// construction except where a narrower range is documented; filter sizes
// are clamped where they are used.

bool decodeDefect(int a, int b, int c, AreaParams& p)
{
    p.filterSize = a;
    p.sensitivity = b;
    p.alarmArea = c;
    // C may carry the global alarm area (area generation), 1..99999.
    return within(b, 0, 255) && within(c, 0, 99999);
}

bool decodeSpot(int a, int b, int c, AreaParams& p)
{
    p.grayLo = std::min(a & 0xFF, (a >> 8) & 0xFF);
    p.grayHi = std::max(a & 0xFF, (a >> 8) & 0xFF);
    p.minArea = b;
    p.maxArea = c;
    return within(b, 0, 99999) && within(c, 0, 99999);
}


bool decodeBlackArea(int, int b, int c, AreaParams& p)
{
    p.grayLo = 0;
    p.grayHi = b & 0xFF;
    p.alarmArea = c;
    return within(c, 0, 50000);
}

bool decodeWhiteArea(int, int b, int c, AreaParams& p)
{
    p.grayLo = b & 0xFF;
    p.grayHi = 255;
    p.alarmArea = c;
    return within(c, 0, 50000);
}

bool decodeSimilarity(int, int b, int, AreaParams& p)
{
    p.minScore = b;
    return within(b, 0, 100);
}

bool decodeWhiteCount(int a, int b, int c, AreaParams& p)
{
    p.filterSize = a;
    p.grayLo = b & 0xFF;
    p.grayHi = 255;
    p.countLimit1 = c & 0xFFFF;
    p.countLimit2 = (c >> 16) & 0xFFFF;
    return within(p.countLimit1, 0, 30000) && within(p.countLimit2, 0, 30000);
}

bool decodeDirection(int a, int b, int c, AreaParams& p)
{
    p.side = a;
    p.contourLo = std::min(b, c);
    p.contourHi = std::max(b, c);
    return within(a, 0, 1) && within(b, 0, 50000) && within(c, 0, 50000);
}

bool decodeDistance(int a, int b, int c, AreaParams& p)
{
    p.vertical = a;
    p.minGradient = b;
    p.qualifiedDistance = c;
    return within(a, 0, 1) && within(b, 0, 255) && within(c, 0, 5000);
}

// ---------------------------------------------------------------------------
// Stages

// First stage of the gray-range methods: the pixels of the cut within the
// range (inclusive) inside the effective mask (inspection mask, area mask
// and, in a shifted frame, the covered part); white count closes them with
// a k x k ellipse.  Returns the filter size of the blob stage.  One pass
// over the cut: the range test and the three masks are per-pixel ANDs.
int grayStage(const AreaJob& job, const AreaParams& p, bool whiteCount, cv::Mat& work)
{
    const cv::Size size = job.cut.size();
    work.create(size, CV_8UC1);
    const bool covered = !job.covered.empty();
    // lo <= v <= hi as one unsigned compare (lo <= hi by decoding).
    const uchar lo = static_cast<uchar>(p.grayLo);
    const uchar span = static_cast<uchar>(p.grayHi - p.grayLo);
    for (int y = 0; y < size.height; ++y) {
        const uchar* c = job.cut.ptr<uchar>(y);
        const uchar* in = job.inspectCut.ptr<uchar>(y);
        const uchar* am = job.areaMask.ptr<uchar>(y);
        const uchar* co = covered ? job.covered.ptr<uchar>(y) : nullptr;
        uchar* w = work.ptr<uchar>(y);
        int x = 0;
#if defined(__SSE2__)
        // 16 pixels a step: v - lo (wrapping) within span is the range.
        const __m128i vLo = _mm_set1_epi8(static_cast<char>(lo));
        const __m128i vSpan = _mm_set1_epi8(static_cast<char>(span));
        const __m128i all = _mm_set1_epi8(-1);
        for (; x + 16 <= size.width; x += 16) {
            const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x)), vLo);
            __m128i m = _mm_cmpeq_epi8(_mm_min_epu8(d, vSpan), d);
            m = _mm_and_si128(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)));
            m = _mm_and_si128(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(am + x)));
            m = _mm_and_si128(m, co ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(co + x)) : all);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w + x), m);
        }
#endif
        if (co) {
            for (; x < size.width; ++x) {
                const uchar inRange = static_cast<uchar>(c[x] - lo) <= span ? 255 : 0;
                w[x] = inRange & in[x] & am[x] & co[x];
            }
        } else {
            for (; x < size.width; ++x) {
                const uchar inRange = static_cast<uchar>(c[x] - lo) <= span ? 255 : 0;
                w[x] = inRange & in[x] & am[x];
            }
        }
    }
    if (!whiteCount)
        return clampFilter(job.params.minSpot, job.rect);
    const int k = clampFilter(p.filterSize, job.rect);
    if (k > 1 && cv::countNonZero(work) > 0)
        cv::morphologyEx(work, work, cv::MORPH_CLOSE, ellipse(k), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                         cv::morphologyDefaultBorderValue());
    return k;
}

// Opening of the first stage's pixels with a k x k ellipse into the output,
// copied into the result cut, then labelled.  With `boxes` the first 99
// blobs are boxed in it.  Pixels the aligned frame does not cover never
// count.  The output comes in as zeros (the engine prepares it so).
CBlobResult blobStage(AreaJob& job, cv::Mat& work, int k, RoiAlarm* boxes)
{
    if (work.size() != job.rect.size() || work.type() != CV_8UC1)
        work = cv::Mat::zeros(job.rect.size(), CV_8UC1);
    if (!job.covered.empty())
        cv::bitwise_and(work, job.covered, work);
    // Most areas of a good part mark nothing, and the opening of nothing is
    // nothing: counting is far cheaper than filtering and labelling.
    CBlobResult blobs;
    if (cv::countNonZero(work) > 0) {
        cv::morphologyEx(work, job.output, cv::MORPH_OPEN, ellipse(k), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                         cv::morphologyDefaultBorderValue());
        blobs = CBlobResult(job.output, cv::Mat(), 0);
    } else {
        job.output.setTo(0);
    }
    job.output.copyTo(job.resultCut);
    if (boxes) {
        const cv::Rect& r = job.rect;
        const int n = std::min(blobs.GetNumBlobs(), RoiAlarm::kMaxBoxes);
        for (int i = 0; i < n; ++i) {
            const cv::Rect bb = blobs.GetBlob(i)->GetBoundingBox();
            boxes->setBox(i + 1, r.x + bb.x, r.y + bb.y, r.x + bb.x + bb.width, r.y + bb.y + bb.height);
        }
        boxes->boxCount() = n;
    }
    return blobs;
}

// Sum of the blob areas, truncated blob by blob as the value always was.
int blobAreaSum(const CBlobResult& blobs)
{
    int sum = 0;
    for (int n = 0; n < blobs.GetNumBlobs(); ++n)
        sum = static_cast<int>(blobs.GetBlob(n)->Area() + sum);
    return sum;
}

// Direction: contours of the Otsu picture whose area lies strictly between
// the two limits; a contour is marked when the part of its bounding box
// outside it lies on the side that `side` names.  `drawAll` (preview) fills
// every kept contour and frames the marked ones; otherwise only marked
// contours are filled and boxed (at most 99 boxes; the count goes on).
int directionStage(const AreaJob& job, const AreaParams& p, cv::Mat& output, bool drawAll, RoiAlarm* alarm)
{
    const double lo = p.contourLo;
    const double hi = p.contourHi;
    cv::Mat work;
    cv::threshold(job.cut, work, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(work, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE, cv::Point(0, 0));
    const cv::Point origin = job.rect.tl();
    int marked = 0;
    for (size_t idx = 0; idx < contours.size(); ++idx) {
        const double area = cv::contourArea(contours[idx]);
        if (!(area > lo && area < hi))
            continue;
        const cv::Rect br = cv::boundingRect(contours[idx]);
        cv::Mat shape = cv::Mat::zeros(br.height, br.width, CV_8UC1);
        cv::drawContours(shape, contours, static_cast<int>(idx), cv::Scalar(255), cv::FILLED, cv::LINE_8,
                         cv::noArray(), INT_MAX, -br.tl());
        cv::bitwise_not(shape, shape);
        const cv::Moments m = cv::moments(shape, false);
        bool isMarked = false;
        if (m.m00 != 0) {
            const int cx = cvRound(m.m10 / m.m00);
            const int half = br.width / 2;
            isMarked = (p.side == 0 && cx > half) || (p.side == 1 && cx < half);
        }
        if (drawAll)
            cv::drawContours(output, contours, static_cast<int>(idx), cv::Scalar(255), cv::FILLED, cv::LINE_8);
        if (!isMarked)
            continue;
        ++marked;
        if (drawAll) {
            cv::rectangle(output, br, cv::Scalar(255), 1, cv::LINE_8);
        } else {
            cv::drawContours(output, contours, static_cast<int>(idx), cv::Scalar(255), cv::FILLED, cv::LINE_8);
            if (alarm && marked <= RoiAlarm::kMaxBoxes)
                alarm->setBox(marked, origin.x + br.x, origin.y + br.y, origin.x + br.x + br.width,
                              origin.y + br.y + br.height);
        }
    }
    return marked;
}

// --- detection pass ----------------------------------------------------------

AreaVerdict judgeDefect(AreaJob& job, const AreaParams& p)
{
    const EngineParams& e = job.params;
    const int k = clampFilter(e.showAlgorithmDetails ? p.filterSize : e.minimumSize, job.rect);
    cv::Mat work;
    if (job.grayMatch && job.grayMatch->IsValid())
        job.grayMatch->Match(job.cut, work);
    AreaVerdict v;
    v.value = blobAreaSum(blobStage(job, work, k, job.alarm));
    const int limit = e.showAlgorithmDetails ? p.alarmArea : e.minimumArea;
    v.failed = e.templateIsNg ? v.value < limit : v.value > limit;
    v.premax = p.alarmArea;
    return v;
}

AreaVerdict judgeSpot(AreaJob& job, const AreaParams& p)
{
    cv::Mat work;
    const int k = grayStage(job, p, false, work);
    AreaVerdict v;
    v.value = blobAreaSum(blobStage(job, work, k, job.alarm));
    v.failed = v.value < p.minArea || v.value > p.maxArea;
    v.premin = p.minArea;
    v.premax = p.maxArea;
    return v;
}

AreaVerdict judgeArea(AreaJob& job, const AreaParams& p)
{
    cv::Mat work;
    const int k = grayStage(job, p, false, work);
    AreaVerdict v;
    v.value = blobAreaSum(blobStage(job, work, k, job.alarm));
    v.failed = v.value > p.alarmArea;
    v.premax = p.alarmArea;
    return v;
}

AreaVerdict judgeSimilarity(AreaJob& job, const AreaParams& p)
{
    cv::Mat work;
    int score = 0;
    if (job.surf && job.surf->IsValid())
        score = static_cast<int>(job.surf->Match(job.cut, work));
    blobStage(job, work, 1, job.alarm);
    AreaVerdict v;
    v.value = score;
    v.failed = score < p.minScore;
    v.premin = p.minScore;
    v.premax = -1;
    return v;
}

AreaVerdict judgeWhiteCount(AreaJob& job, const AreaParams& p)
{
    cv::Mat work;
    const int k = grayStage(job, p, true, work);
    AreaVerdict v;
    // Judged on every blob; only the boxes stop at 99.
    v.value = blobStage(job, work, k, job.alarm).GetNumBlobs();
    v.premin = std::min(p.countLimit1, p.countLimit2);
    v.premax = std::max(p.countLimit1, p.countLimit2);
    v.failed = v.value < v.premin || v.value > v.premax;
    return v;
}

AreaVerdict judgeDirection(AreaJob& job, const AreaParams& p)
{
    job.alarm->boxCount() = 0;
    AreaVerdict v;
    const int marked = directionStage(job, p, job.output, false, job.alarm);
    v.value = marked;
    job.alarm->boxCount() = std::min(marked, RoiAlarm::kMaxBoxes);
    job.output.copyTo(job.resultCut);
    v.failed = marked > 0;
    return v;
}

AreaVerdict judgeDistance(AreaJob& job, const AreaParams& p)
{
    RoiAlarm& alarm = *job.alarm;
    alarm.boxCount() = 0;
    const std::vector<cv::Point> pts = measureAreaEdges(job.plane, job.rect, p);
    AreaVerdict v;
    v.premax = p.qualifiedDistance;
    const float dist = recordEdges(pts, false, alarm, v.value);
    const float allowed = static_cast<float>(p.qualifiedDistance);
    if (pts.empty())
        v.failed = true;
    else if (pts.size() == 1)
        v.failed = !(alarm.edgeRefCount() == 1 && DistP2P(pts[0], alarm.edgeRefPoint1()) <= allowed);
    else
        v.failed = dist > allowed || alarm.edgeRefCount() != 2;
    return v;
}


// --- preview -----------------------------------------------------------------

int previewGray(AreaJob& job, const AreaParams& p, bool whiteCount)
{
    cv::Mat work;
    const int k = grayStage(job, p, whiteCount, work);
    const CBlobResult blobs = blobStage(job, work, k, nullptr);
    return whiteCount ? blobs.GetNumBlobs() : blobAreaSum(blobs);
}

int previewArea(AreaJob& job, const AreaParams& p) { return previewGray(job, p, false); }
int previewWhiteCount(AreaJob& job, const AreaParams& p) { return previewGray(job, p, true); }

int previewDirection(AreaJob& job, const AreaParams& p)
{
    const int marked = directionStage(job, p, job.output, true, nullptr);
    job.output.copyTo(job.resultCut);
    return marked;
}

int previewDistance(AreaJob& job, const AreaParams& p)
{
    int value = 0;
    recordEdges(measureAreaEdges(job.plane, job.rect, p), false, *job.alarm, value);
    return value;
}

// One row per method code, in code order.
const AreaMethod kAreaMethods[] = {
    {AreaFuncDefect, "defect", AreaTraining::DefectMatcher, decodeDefect, judgeDefect, nullptr},
    {AreaFuncSpot, "spot", AreaTraining::None, decodeSpot, judgeSpot, previewArea},
    {AreaFuncIgnore, "ignore", AreaTraining::None, nullptr, nullptr, nullptr},
    {AreaFuncPosition, "position", AreaTraining::None, nullptr, nullptr, nullptr},
    {AreaFuncBlackArea, "black area", AreaTraining::None, decodeBlackArea, judgeArea, previewArea},
    {AreaFuncWhiteArea, "white area", AreaTraining::None, decodeWhiteArea, judgeArea, previewArea},
    {AreaFuncSimilarity, "similarity", AreaTraining::SimilarityMatcher, decodeSimilarity, judgeSimilarity,
     nullptr},
    {AreaFuncWhiteCount, "white count", AreaTraining::None, decodeWhiteCount, judgeWhiteCount,
     previewWhiteCount},
    {AreaFuncDirection, "direction", AreaTraining::None, decodeDirection, judgeDirection, previewDirection},
    {AreaFuncDistance, "distance", AreaTraining::EdgeReference, decodeDistance, judgeDistance,
     previewDistance},
};
static_assert(sizeof(kAreaMethods) / sizeof(kAreaMethods[0]) == kAreaFuncCount, "one row per method code");

} // namespace

const AreaMethod* areaMethod(int code)
{
    if (code < 0 || code >= kAreaFuncCount)
        return nullptr;
    return &kAreaMethods[code];
}

std::vector<cv::Point> measureAreaEdges(cv::Mat& plane, const cv::Rect& rect, const AreaParams& p)
{
    std::vector<cv::Point> points;
    std::unique_ptr<RotateRectROI> roi = Rect2RotateRect(rect, p.vertical);
    if (!roi)
        return points;
    _EdgePointDetParam block;
    block.minGradient = p.minGradient;
    block.rect = roi.get();
    if (clcEdgePoint(plane, block)) {
        for (const auto& pt : block.edgePoints)
            points.emplace_back(static_cast<int>(pt.x), static_cast<int>(pt.y));
    }
    return points;
}

float recordEdges(const std::vector<cv::Point>& pts, bool reference, RoiAlarm& alarm, int& value)
{
    const int n = static_cast<int>(std::min<size_t>(pts.size(), 2));
    float dist = 0;
    if (n == 0) {
        value = 0;
    } else if (n == 1) {
        value = pts.front().x;
    } else {
        dist = DistP2P(pts.front(), pts.back());
        value = static_cast<int>(dist);
    }
    (reference ? alarm.edgeRefCount() : alarm.edgeFoundCount()) = n;
    if (n >= 1)
        reference ? alarm.setEdgeRefPoint1(pts.front()) : alarm.setEdgeFoundPoint1(pts.front());
    if (n == 2)
        reference ? alarm.setEdgeRefPoint2(pts.back()) : alarm.setEdgeFoundPoint2(pts.back());
    return dist;
}
