#include "cammerrecongnize.h"

#include "blobresult.h"
#include "edgepoint.h"
#include "paramroi.h"

#include <opencv2/imgproc.hpp>

#include <glog/logging.h>

#include <algorithm>

namespace {

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

// Gray range of the gray-range methods; false for the other methods.
bool grayRange(int method, int a, int b, int* lo, int* hi)
{
    switch (method) {
    case AreaFuncSpot:
        *lo = std::min(a & 0xFF, (a >> 8) & 0xFF);
        *hi = std::max(a & 0xFF, (a >> 8) & 0xFF);
        return true;
    case AreaFuncBlackArea:
        *lo = 0;
        *hi = b & 0xFF;
        return true;
    case AreaFuncWhiteArea:
    case AreaFuncWhiteCount:
        *lo = b & 0xFF;
        *hi = 255;
        return true;
    default:
        return false;
    }
}

// First stage of the gray-range methods: the pixels of the cut within
// [lo, hi] (inclusive) inside the mask; white count closes them with a
// k x k ellipse.  Returns the filter size of the blob stage.
int grayStage(int method, int a, int b, int minSpot, const cv::Mat& cut, const cv::Mat& mask, cv::Mat& work,
              const cv::Rect& rect)
{
    int lo = 0, hi = 255;
    grayRange(method, a, b, &lo, &hi);
    cv::inRange(cut, cv::Scalar(lo), cv::Scalar(hi), work);
    cv::bitwise_and(work, mask, work);
    if (method != AreaFuncWhiteCount)
        return clampFilter(minSpot, rect);
    const int k = clampFilter(a, rect);
    cv::morphologyEx(work, work, cv::MORPH_CLOSE, ellipse(k), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                     cv::morphologyDefaultBorderValue());
    return k;
}

// Opening with a k x k ellipse.
void openStage(const cv::Mat& work, cv::Mat& output, int k)
{
    cv::morphologyEx(work, output, cv::MORPH_OPEN, ellipse(k), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                     cv::morphologyDefaultBorderValue());
}

// Direction: contours of the Otsu picture whose area lies strictly between
// the two limits; a contour is marked when the part of its bounding box
// outside it lies on the side that A names.  `drawAll` (preview) fills every
// kept contour and frames the marked ones; otherwise only marked contours
// are filled and boxed (at most 99 boxes; the count goes on).
int directionStage(const cv::Mat& cut, int a, int b, int c, cv::Mat& output, bool drawAll, RoiAlarm* alarm,
                   const cv::Point& origin)
{
    const double lo = std::min(b, c);
    const double hi = std::max(b, c);
    cv::Mat work;
    cv::threshold(cut, work, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(work, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE, cv::Point(0, 0));
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
            isMarked = (a == 0 && cx > half) || (a == 1 && cx < half);
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

// Distance: edge points across the measurement rectangle of the area, in
// image pixels (truncated), first to last.
std::vector<cv::Point> measureEdges(cv::Mat& plane, const cv::Rect& rect, int a, int b)
{
    std::vector<cv::Point> points;
    std::unique_ptr<RotateRectROI> roi = Rect2RotateRect(rect, a);
    if (!roi)
        return points;
    _EdgePointDetParam block;
    block.minGradient = b;
    block.rect = roi.get();
    if (clcEdgePoint(plane, block)) {
        for (const auto& p : block.edgePoints)
            points.emplace_back(static_cast<int>(p.x), static_cast<int>(p.y));
    }
    return points;
}

// Records the edge points of a distance area as its reference (training) or
// as found (pass, preview): value gets 0, the single point's x, or the
// distance first to last (truncated).  Returns that distance, 0 with fewer
// than two points.
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

// Sum of the blob areas, truncated blob by blob as the value always was.
int blobAreaSum(const CBlobResult& blobs)
{
    int sum = 0;
    for (int n = 0; n < blobs.GetNumBlobs(); ++n)
        sum = static_cast<int>(blobs.GetBlob(n)->Area() + sum);
    return sum;
}

// Area rectangle r clipped to the image; maskCut gets the matching part of
// areaMask when that has r's size (else it is left alone).  False when no
// part of r lies in the image.
bool clipToImage(const cv::Rect& r, const cv::Mat& areaMask, int imageW, int imageH, cv::Rect* clipped,
                 cv::Mat* maskCut)
{
    *clipped = r & cv::Rect(0, 0, imageW, imageH);
    if (clipped->width < 1 || clipped->height < 1)
        return false;
    if (!areaMask.empty() && areaMask.size() == r.size())
        *maskCut = areaMask(*clipped - r.tl());
    return true;
}

} // namespace

// ---------------------------------------------------------------------------

CammerRecong::CammerRecong(CammerSingleton* set, CameraSlotState* slot, EngineHost* engineHost)
    : savedSet(set), owner(slot), host(engineHost)
{
    const EngineParams p = host->params();
    for (int d = 0; d < kDetections; ++d) {
        if (p.detectEnabled[d]) {
            CreateShape(d);
            VarTrain(d);
        }
    }
}

int CammerRecong::areaGeometry(const CammerSingleton& set, const cv::Mat& areaMask, int d, int i, cv::Rect* rect,
                               cv::Mat* maskCut) const
{
    const cv::Rect r = set.AreaImageRect(d, i);
    if (areaMask.empty())
        return RunErrorNoAreaMask;
    if (inspectMask[d].empty())
        return RunErrorNoInspectMask;
    if (r.width < 1 || r.height < 1)
        return RunErrorEmptyArea;
    if (areaMask.size() != r.size() || areaMask.type() != CV_8UC1)
        return RunErrorNoAreaMask;
    cv::Rect clipped;
    cv::Mat cut;
    if (!clipToImage(r, areaMask, owner->imageW, owner->imageH, &clipped, &cut))
        return RunErrorEmptyArea;
    *rect = clipped;
    *maskCut = cut;
    return 0;
}

cv::Mat CammerRecong::templatePlane(int d, int t)
{
    if (t < 0 || t >= static_cast<int>(owner->templates[d].size()))
        return {};
    std::vector<uchar>& buffer = owner->templates[d][static_cast<size_t>(t)];
    if (buffer.size() < static_cast<size_t>(owner->colorLen) || owner->imageLen <= 0)
        return {};
    if (!owner->color)
        return cv::Mat(owner->imageH, owner->imageW, CV_8UC1, buffer.data());
    cv::Mat plane = owner->PlaneView(owner->grayPlane);
    if (plane.empty())
        return {};
    RgbaToDetectionPlane(buffer.data(), owner->imageW, owner->imageH, plane.data);
    return plane;
}

cv::Mat CammerRecong::detectionPlane()
{
    if (!owner->color)
        return owner->PlaneView(owner->alignedFrame);
    cv::Mat plane = owner->PlaneView(owner->grayPlane);
    if (plane.empty() || owner->alignedFrame.size() < static_cast<size_t>(owner->colorLen))
        return {};
    RgbaToDetectionPlane(owner->alignedFrame.data(), owner->imageW, owner->imageH, plane.data);
    return plane;
}

// ---------------------------------------------------------------------------
// Positioning

void CammerRecong::CreateShape(int d)
{
    if (!validDetection(d))
        return;
    const EngineParams p = host->params();
    if (p.motionCorrection == -1 || owner->color)
        return;
    const int W = owner->imageW;
    const int H = owner->imageH;

    // The least match comes from the first positioning area; rectangle and
    // mask both from the last, so that they always belong together.
    int first = -1, last = -1;
    const int count = std::clamp(savedSet->roiCount[d], 0, kAreas);
    for (int i = 0; i < count; ++i) {
        if (savedSet->roiMethod[d][i] == AreaFuncPosition) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    cv::Rect rect;
    cv::Mat mask;
    int leastMatch = 5;
    bool useDefault = last < 0;
    if (!useDefault) {
        if (clipToImage(savedSet->AreaImageRect(d, last), owner->liveMask[d][last], W, H, &rect, &mask))
            leastMatch = savedSet->roiMinSize[d][first];
        else
            useDefault = true;
    }
    if (useDefault) {
        rect = cv::Rect(W / 4, H / 4, W / 2, H / 2);
        mask = cv::Mat(H / 2, W / 2, CV_8UC1, cv::Scalar(255));
        leastMatch = 5;
    }
    if (rect.width < 1 || rect.height < 1)
        return;
    refX[d] = rect.x + rect.width / 2;
    refY[d] = rect.y + rect.height / 2;

    const cv::Mat tmpl = templatePlane(d, 0);
    if (tmpl.empty())
        return;
    const int angleRange = p.rotationAngle >= 1 && p.rotationAngle <= 180 ? p.rotationAngle : 0;
    findShape[d].CreateShape(tmpl(rect), 0.0, 0, angleRange, refX[d], refY[d], false, 255, mask, leastMatch, 0);

    const int o = std::max(p.maxOffset, 0);
    const cv::Rect grown(rect.x - o, rect.y - o, rect.width + 2 * o, rect.height + 2 * o);
    searchRect[d] = grown & cv::Rect(0, 0, W, H);
    if (searchRect[d].width < 1 || searchRect[d].height < 1)
        searchRect[d] = cv::Rect(0, 0, 0, 0);
}

void CammerRecong::ShapeMatch()
{
    const size_t n = std::min({owner->procFrame.size(), owner->alignedFrame.size(),
                               static_cast<size_t>(std::max(owner->colorLen, 0))});
    auto plainCopy = [&]() {
        if (n > 0)
            std::copy_n(owner->procFrame.data(), n, owner->alignedFrame.data());
    };
    const int d = host->currentDetect();
    const EngineParams p = host->params();
    if (!validDetection(d) || p.motionCorrection == -1 || !findShape[d].IsValid() || owner->color) {
        plainCopy();
        return;
    }
    cv::Mat frame = owner->PlaneView(owner->procFrame);
    cv::Mat aligned = owner->PlaneView(owner->alignedFrame);
    const cv::Rect& sr = searchRect[d]; // clipped to the image when created
    if (frame.empty() || aligned.empty() || sr.width < 1 || sr.height < 1) {
        plainCopy();
        return;
    }
    int x = 0, y = 0;
    double score = 0, angle = 0;
    if (!findShape[d].Find(frame(sr), 0, x, y, score, angle)) {
        VLOG(1) << "camera " << owner->camIndex << " detection " << d << ": positioning target not found";
        plainCopy();
        return;
    }
    const int dx = x - sr.x;
    const int dy = y - sr.y;
    bool ok;
    if (p.rotationAngle >= 1 && p.rotationAngle <= 180)
        ok = TransformImage(frame, aligned, cv::Point(dx, dy), cv::Point(refX[d], refY[d]), angle);
    else
        ok = MoveImage(frame, aligned, dx, dy);
    if (!ok)
        plainCopy();
}

// ---------------------------------------------------------------------------
// Training

void CammerRecong::VarTrain(int d)
{
    if (!validDetection(d))
        return;
    const EngineParams p = host->params();
    for (int i = 0; i < kAreas; ++i) {
        if (grayMatch[d][i].IsValid())
            grayMatch[d][i].Clear();
        if (surf[d][i].IsValid())
            surf[d][i].Clear();
    }
    const int W = owner->imageW;
    const int H = owner->imageH;
    if (W < 1 || H < 1) {
        inspectMask[d].release();
        return;
    }

    const cv::Mat ignore = owner->PlaneView(owner->ignoreMask[d]);
    inspectMask[d] = ignore.empty() ? cv::Mat::zeros(H, W, CV_8UC1) : ignore.clone();
    const int count = std::clamp(savedSet->roiCount[d], 0, kAreas);

    // Ignore areas add their shape to the ignore points.
    for (int i = 0; i < count; ++i) {
        if (savedSet->roiMethod[d][i] != AreaFuncIgnore)
            continue;
        cv::Rect r;
        cv::Mat m;
        if (areaGeometry(*savedSet, owner->liveMask[d][i], d, i, &r, &m) != 0)
            continue;
        cv::Mat dst = inspectMask[d](r);
        cv::bitwise_or(dst, m, dst);
    }
    cv::bitwise_not(inspectMask[d], inspectMask[d]);

    // Template pictures, converted once per training (colour) and read only
    // for the valid usedSlots, at most templateCount of them.
    std::vector<int> usedSlots;
    for (int t = 0; t < static_cast<int>(owner->templateValid[d].size()); ++t) {
        if (!owner->templateValid[d][static_cast<size_t>(t)])
            continue;
        usedSlots.push_back(t);
        if (static_cast<int>(usedSlots.size()) >= owner->templateCount[d])
            break;
    }
    std::vector<cv::Mat> pictures;
    auto picture = [&](size_t k) -> cv::Mat {
        if (pictures.empty()) {
            for (int t : usedSlots) {
                cv::Mat plane = templatePlane(d, t);
                pictures.push_back(owner->color && !plane.empty() ? plane.clone() : plane);
            }
        }
        return k < pictures.size() ? pictures[k] : cv::Mat();
    };

    // Template 0 for the distance areas, converted at most once (kept apart
    // from grayPlane, which the other pictures overwrite).
    cv::Mat base;
    bool baseDone = false;
    auto basePicture = [&]() -> cv::Mat& {
        if (!baseDone) {
            baseDone = true;
            base = templatePlane(d, 0);
            if (owner->color && !base.empty())
                base = base.clone();
        }
        return base;
    };

    for (int i = 0; i < count; ++i) {
        const int method = savedSet->roiMethod[d][i];
        if (method != AreaFuncDefect && method != AreaFuncSimilarity && method != AreaFuncDistance)
            continue;
        cv::Rect r;
        cv::Mat m;
        if (areaGeometry(*savedSet, owner->liveMask[d][i], d, i, &r, &m) != 0)
            continue;
        const int a = savedSet->roiMinSize[d][i];
        const int b = savedSet->roiSensibility[d][i];

        if (method == AreaFuncDistance) {
            cv::Mat& picture0 = basePicture();
            std::vector<cv::Point> pts;
            if (!picture0.empty())
                pts = measureEdges(picture0, r, a, b);
            recordEdges(pts, true, owner->roiAlarm[d][i], owner->roiValue[d][i]);
            continue;
        }

        cv::Mat effective;
        cv::bitwise_and(inspectMask[d](r), m, effective);
        if (method == AreaFuncSimilarity)
            surf[d][i].Create(r.width, r.height, effective);
        else
            grayMatch[d][i].Create(r.width, r.height, effective, 0);
        for (size_t k = 0; k < usedSlots.size(); ++k) {
            const cv::Mat pic = picture(k);
            if (pic.empty())
                continue;
            if (method == AreaFuncSimilarity)
                surf[d][i].AddTemp(pic(r), 1, 50, b);
            else
                grayMatch[d][i].AddTemp(pic(r));
        }
        if (method == AreaFuncSimilarity)
            surf[d][i].Train(0, 0, 0, 0);
        else
            grayMatch[d][i].Train(b, p.differenceMultiplier, 100, 150);
    }
    if (owner->color && !pictures.empty() && !pictures.back().empty())
        pictures.back().copyTo(owner->PlaneView(owner->grayPlane));
}

// ---------------------------------------------------------------------------
// Detection pass

void CammerRecong::Run(int d)
{
    if (!validDetection(d))
        return;
    const EngineParams p = host->params();
    const int count = std::clamp(savedSet->roiCount[d], 0, kAreas);
    owner->isOK = 1;
    for (int i = 0; i < count; ++i)
        owner->roiOK[d][i] = 1;

    cv::Mat plane = detectionPlane();
    cv::Mat result = owner->PlaneView(owner->resultImage);
    if (plane.empty() || result.empty()) {
        LOG(ERROR) << "camera " << owner->camIndex << ": no frame buffers, detection " << d << " not judged";
        owner->isOK = 0;
        return;
    }
    result.setTo(0);
    const bool collect = host->statsTriggerSource() != 0 && p.netEnabled != 0;

    for (int i = 0; i < count; ++i) {
        const int method = savedSet->roiMethod[d][i];
        RoiAlarm& alarm = owner->roiAlarm[d][i];
        int& value = owner->roiValue[d][i];
        if (method == AreaFuncIgnore || method == AreaFuncPosition || method < 0 || method >= kAreaFuncCount) {
            value = 0;
            alarm.boxCount() = 0;
            continue;
        }
        cv::Rect r;
        cv::Mat areaMask;
        const int error = areaGeometry(*savedSet, owner->liveMask[d][i], d, i, &r, &areaMask);
        if (error != 0) {
            owner->isOK = 0;
            host->InsertRecord(QStringLiteral("REG RUN ERROR = %1, %2, %3").arg(owner->camIndex).arg(d).arg(error));
            continue;
        }
        const int a = savedSet->roiMinSize[d][i];
        const int b = savedSet->roiSensibility[d][i];
        const int c = savedSet->roiMaxArea[d][i];
        const cv::Mat cut = plane(r);
        cv::Mat resultCut = result(r);
        cv::Mat output = cv::Mat::zeros(r.size(), CV_8UC1);

        bool failed = false;
        int premin = 0, premax = 0;
        if (method == AreaFuncDirection) {
            alarm.boxCount() = 0;
            const int marked = directionStage(cut, a, b, c, output, false, &alarm, r.tl());
            value = marked;
            alarm.boxCount() = std::min(marked, RoiAlarm::kMaxBoxes);
            output.copyTo(resultCut);
            failed = marked > 0;
        } else if (method == AreaFuncDistance) {
            alarm.boxCount() = 0;
            const std::vector<cv::Point> pts = measureEdges(plane, r, a, b);
            premax = c;
            const float dist = recordEdges(pts, false, alarm, value);
            if (pts.empty())
                failed = true;
            else if (pts.size() == 1)
                failed = !(alarm.edgeRefCount() == 1
                           && DistP2P(pts[0], alarm.edgeRefPoint1()) <= static_cast<float>(c));
            else
                failed = dist > static_cast<float>(c) || alarm.edgeRefCount() != 2;
        } else {
            // Matchers and stages write every pixel of work; the check after
            // the switch blanks it when none ran.
            cv::Mat work;
            int k = 1;
            int score = 0;
            switch (method) {
            case AreaFuncDefect:
                k = clampFilter(p.showAlgorithmDetails ? a : p.minimumSize, r);
                if (grayMatch[d][i].IsValid())
                    grayMatch[d][i].Match(cut, work);
                break;
            case AreaFuncSimilarity:
                if (surf[d][i].IsValid())
                    score = static_cast<int>(surf[d][i].Match(cut, work));
                break;
            default: {
                cv::Mat effective;
                cv::bitwise_and(inspectMask[d](r), areaMask, effective);
                k = grayStage(method, a, b, p.minSpot, cut, effective, work, r);
                break;
            }
            }
            if (work.size() != r.size() || work.type() != CV_8UC1)
                work = cv::Mat::zeros(r.size(), CV_8UC1);
            openStage(work, output, k);
            output.copyTo(resultCut);
            const CBlobResult blobs(output, cv::Mat(), 0);
            value = blobAreaSum(blobs);
            const int boxes = std::min(blobs.GetNumBlobs(), RoiAlarm::kMaxBoxes);
            for (int n = 0; n < boxes; ++n) {
                const cv::Rect bb = blobs.GetBlob(n)->GetBoundingBox();
                alarm.setBox(n + 1, r.x + bb.x, r.y + bb.y, r.x + bb.x + bb.width, r.y + bb.y + bb.height);
            }
            alarm.boxCount() = boxes;

            switch (method) {
            case AreaFuncDefect: {
                const int limit = p.showAlgorithmDetails ? c : p.minimumArea;
                failed = p.templateIsNg ? value < limit : value > limit;
                premax = c;
                break;
            }
            case AreaFuncSpot:
                failed = value < b || value > c;
                premin = b;
                premax = c;
                break;
            case AreaFuncBlackArea:
            case AreaFuncWhiteArea:
                failed = value > c;
                premax = c;
                break;
            case AreaFuncSimilarity:
                value = score;
                failed = score < b;
                premin = b;
                premax = -1;
                break;
            case AreaFuncWhiteCount: {
                // Judged on every blob; only the boxes stop at 99.
                value = blobs.GetNumBlobs();
                const int l1 = c & 0xFFFF;
                const int l2 = (c >> 16) & 0xFFFF;
                premin = std::min(l1, l2);
                premax = std::max(l1, l2);
                failed = value < premin || value > premax;
                break;
            }
            default:
                break;
            }
        }

        if (failed) {
            owner->roiOK[d][i] = 0;
            owner->isOK = 0;
        }
        if (collect) {
            param_roi rec;
            rec.cameraId = owner->camIndex;
            rec.detectId = d;
            rec.roiId = i;
            rec.algorithmType = method;
            rec.algorithmResult = value;
            rec.algorithmPremin = premin;
            rec.algorithmPremax = premax;
            rec.stageOk = failed ? 0 : owner->isOK;
            g_listParamROI.append(rec);
        }
    }
}

// ---------------------------------------------------------------------------
// Preview

void CammerRecong::RunTest(int d, int area)
{
    if (!validDetection(d) || area < 0 || area >= kAreas || !owner->workSet)
        return;
    const CammerSingleton& set = *owner->workSet;
    const EngineParams p = host->params();

    cv::Mat picture;
    if (owner->color) {
        picture = owner->PlaneView(owner->grayPlane);
    } else if (owner->tempShown >= 0 && owner->tempShown < static_cast<int>(owner->templates[d].size())) {
        picture = owner->PlaneView(owner->templates[d][static_cast<size_t>(owner->tempShown)]);
    }
    cv::Mat result = owner->PlaneView(owner->resultImage);
    if (!result.empty())
        result.setTo(0);
    owner->roiValue[d][area] = 0;
    owner->roiAlarm[d][area].boxCount() = 0;

    if (area >= set.roiCount[d])
        return;
    const int method = set.roiMethod[d][area];
    if (method == AreaFuncDefect || method == AreaFuncIgnore || method == AreaFuncPosition
        || method == AreaFuncSimilarity) {
        host->repaint(owner->camIndex);
        return;
    }
    const cv::Rect whole = set.AreaImageRect(d, area);
    if (whole.width < 1 || whole.height < 1)
        return;
    cv::Rect r;
    cv::Mat areaMask;
    // An untrained detection, a missing or stale mask, or no picture: show
    // nothing rather than fail while the user drags a slider.
    if (picture.empty() || result.empty() || areaGeometry(set, owner->workMask[d][area], d, area, &r, &areaMask) != 0
        || method < 0 || method >= kAreaFuncCount) {
        owner->testShown = 0;
        return;
    }
    const int a = set.roiMinSize[d][area];
    const int b = set.roiSensibility[d][area];
    const int c = set.roiMaxArea[d][area];
    const cv::Mat cut = picture(r);
    cv::Mat resultCut = result(r);
    cv::Mat output = cv::Mat::zeros(r.size(), CV_8UC1);
    int& value = owner->roiValue[d][area];
    RoiAlarm& alarm = owner->roiAlarm[d][area];

    if (method == AreaFuncDirection) {
        value = directionStage(cut, a, b, c, output, true, nullptr, r.tl());
        output.copyTo(resultCut);
    } else if (method == AreaFuncDistance) {
        recordEdges(measureEdges(picture, r, a, b), false, alarm, value);
    } else {
        cv::Mat effective;
        cv::bitwise_and(inspectMask[d](r), areaMask, effective);
        cv::Mat work;
        const int k = grayStage(method, a, b, p.minSpot, cut, effective, work, r);
        openStage(work, output, k);
        output.copyTo(resultCut);
        const CBlobResult blobs(output, cv::Mat(), 0);
        value = method == AreaFuncWhiteCount ? blobs.GetNumBlobs() : blobAreaSum(blobs);
    }
    owner->testShown = 1;
    host->repaint(owner->camIndex);
}
