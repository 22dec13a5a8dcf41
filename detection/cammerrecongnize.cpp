#include "cammerrecongnize.h"

#include "areamethods.h"
#include "edgepoint.h"
#include "paramroi.h"

#include <opencv2/imgproc.hpp>

#include <glog/logging.h>

#include <algorithm>

namespace {

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

// True when some pixel is set in all of the masks (same size, 8-bit; an
// empty `cover` counts as all set).  Stops at the first such pixel.
bool anyPixelLeft(const cv::Mat& inspect, const cv::Mat& area, const cv::Mat& cover)
{
    for (int y = 0; y < area.rows; ++y) {
        const uchar* a = inspect.ptr<uchar>(y);
        const uchar* b = area.ptr<uchar>(y);
        const uchar* c = cover.empty() ? nullptr : cover.ptr<uchar>(y);
        for (int x = 0; x < area.cols; ++x) {
            if (a[x] && b[x] && (!c || c[x]))
                return true;
        }
    }
    return false;
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
        alignedCover_.release();
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
    if (p.rotationAngle >= 1 && p.rotationAngle <= 180) {
        if (!TransformImage(frame, aligned, cv::Point(dx, dy), cv::Point(refX[d], refY[d]), angle)) {
            plainCopy();
            return;
        }
        alignedCover_ = TransformedImageCover(frame.size(), cv::Point(dx, dy), cv::Point(refX[d], refY[d]), angle);
        if (cv::countNonZero(alignedCover_) == static_cast<int>(alignedCover_.total()))
            alignedCover_.release();
    } else {
        if (!MoveImage(frame, aligned, dx, dy)) {
            plainCopy();
            return;
        }
        coverMoved(dx, dy);
    }
}

void CammerRecong::coverMoved(int dx, int dy)
{
    const cv::Size size(owner->imageW, owner->imageH);
    const cv::Rect covered = MovedImageCover(size, dx, dy);
    if (covered.size() == size) {
        alignedCover_.release();
        return;
    }
    alignedCover_.create(size, CV_8UC1);
    alignedCover_.setTo(0);
    alignedCover_(covered).setTo(255);
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

    // Into the mask's own buffer: a frame-sized allocation per training
    // costs more than the copy.
    const cv::Mat ignore = owner->PlaneView(owner->ignoreMask[d]);
    if (ignore.empty()) {
        inspectMask[d].create(H, W, CV_8UC1);
        inspectMask[d].setTo(0);
    } else {
        ignore.copyTo(inspectMask[d]);
    }
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
        const AreaMethod* method = areaMethod(savedSet->roiMethod[d][i]);
        if (!method || method->training == AreaTraining::None)
            continue;
        cv::Rect r;
        cv::Mat m;
        if (areaGeometry(*savedSet, owner->liveMask[d][i], d, i, &r, &m) != 0)
            continue;
        AreaParams params;
        method->decode(savedSet->roiMinSize[d][i], savedSet->roiSensibility[d][i], savedSet->roiMaxArea[d][i],
                       params);

        if (method->training == AreaTraining::EdgeReference) {
            cv::Mat& picture0 = basePicture();
            std::vector<cv::Point> pts;
            if (!picture0.empty())
                pts = measureAreaEdges(picture0, r, params);
            recordEdges(pts, true, owner->roiAlarm[d][i], owner->roiValue[d][i]);
            continue;
        }

        const bool similarity = method->training == AreaTraining::SimilarityMatcher;
        cv::Mat effective;
        cv::bitwise_and(inspectMask[d](r), m, effective);
        if (similarity)
            surf[d][i].Create(r.width, r.height, effective);
        else
            grayMatch[d][i].Create(r.width, r.height, effective, 0);
        for (size_t k = 0; k < usedSlots.size(); ++k) {
            const cv::Mat pic = picture(k);
            if (pic.empty())
                continue;
            if (similarity)
                surf[d][i].AddTemp(pic(r), 1, 50, params.minScore);
            else
                grayMatch[d][i].AddTemp(pic(r));
        }
        if (similarity)
            surf[d][i].Train(0, 0, 0, 0);
        else
            grayMatch[d][i].Train(params.sensitivity, p.differenceMultiplier, 100, 150);
    }
    if (owner->color && !pictures.empty() && !pictures.back().empty())
        pictures.back().copyTo(owner->PlaneView(owner->grayPlane));
}

// ---------------------------------------------------------------------------
// Detection pass

void CammerRecong::Run(int d, PassReport* report)
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
        const int code = savedSet->roiMethod[d][i];
        const AreaMethod* method = areaMethod(code);
        RoiAlarm& alarm = owner->roiAlarm[d][i];
        int& value = owner->roiValue[d][i];
        if (method && !method->judge) {
            value = 0;
            alarm.boxCount() = 0;
            continue;
        }
        AreaParams params;
        AreaJob job;
        const int error = prepareArea(d, i, method, plane, result, &params, &job);
        if (error != 0) {
            owner->isOK = 0;
            const QString text = QStringLiteral("REG RUN ERROR = %1, %2, %3").arg(owner->camIndex).arg(d).arg(error);
            if (report)
                report->records << text;
            else
                host->InsertRecord(text);
            continue;
        }
        job.params = p;
        const AreaVerdict verdict = method->judge(job, params);
        value = verdict.value;

        if (verdict.failed) {
            owner->roiOK[d][i] = 0;
            owner->isOK = 0;
        }
        if (collect) {
            param_roi rec;
            rec.cameraId = owner->camIndex;
            rec.detectId = d;
            rec.roiId = i;
            rec.algorithmType = code;
            rec.algorithmResult = value;
            rec.algorithmPremin = verdict.premin;
            rec.algorithmPremax = verdict.premax;
            rec.stageOk = verdict.failed ? 0 : owner->isOK;
            if (report)
                report->relayEntries.append(rec);
            else
                g_listParamROI.append(rec);
        }
    }
}

void CammerRecong::HandOn(const PassReport& report)
{
    for (const QString& text : report.records)
        host->InsertRecord(text);
    g_listParamROI.append(report.relayEntries);
}

int CammerRecong::prepareArea(int d, int i, const AreaMethod* method, const cv::Mat& plane, cv::Mat& result,
                              AreaParams* params, AreaJob* job)
{
    cv::Rect r;
    cv::Mat areaMask;
    const int error = areaGeometry(*savedSet, owner->liveMask[d][i], d, i, &r, &areaMask);
    if (error != 0)
        return error;
    if (!method
        || !method->decode(savedSet->roiMinSize[d][i], savedSet->roiSensibility[d][i], savedSet->roiMaxArea[d][i],
                           *params))
        return RunErrorEmptyArea;
    job->inspectCut = inspectMask[d](r);
    job->areaMask = areaMask;
    if (!alignedCover_.empty() && alignedCover_.size() == plane.size())
        job->covered = alignedCover_(r);
    if (!anyPixelLeft(job->inspectCut, job->areaMask, job->covered))
        return RunErrorNoAreaMask;
    job->plane = plane;
    job->rect = r;
    job->cut = plane(r);
    job->resultCut = result(r);
    job->output = cv::Mat::zeros(r.size(), CV_8UC1);
    job->grayMatch = &grayMatch[d][i];
    job->surf = &surf[d][i];
    job->alarm = &owner->roiAlarm[d][i];
    return 0;
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
    const AreaMethod* method = areaMethod(set.roiMethod[d][area]);
    if (method && !method->preview) {
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
        || !method) {
        owner->testShown = 0;
        return;
    }
    AreaParams params;
    method->decode(set.roiMinSize[d][area], set.roiSensibility[d][area], set.roiMaxArea[d][area], params);
    AreaJob job;
    job.plane = picture;
    job.rect = r;
    job.cut = picture(r);
    job.resultCut = result(r);
    job.output = cv::Mat::zeros(r.size(), CV_8UC1);
    job.inspectCut = inspectMask[d](r);
    job.areaMask = areaMask;
    job.alarm = &owner->roiAlarm[d][area];
    job.params = p;
    owner->roiValue[d][area] = method->preview(job, params);
    owner->testShown = 1;
    host->repaint(owner->camIndex);
}
