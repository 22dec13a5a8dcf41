#include "findshape.h"

#include "maskedncc.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxLevels = 5;
constexpr int kMinCoarseSide = 24;
constexpr int kRefineRadius = 2;
constexpr size_t kCandidates = 3;
constexpr double kFinalAngleStep = 0.1; // degrees

// Rotates about the integer centre (w/2, h/2), the point Find reports.
cv::Point2f modelCentre(const cv::Mat& m)
{
    return cv::Point2f(float(m.cols / 2), float(m.rows / 2));
}

// 255 where the w x h footprint of a model turned by angle lies wholly
// inside the model (every pixel a bilinear read takes is a model pixel).
cv::Mat turnedFootprint(cv::Size size, double angle)
{
    const cv::Mat full(size, CV_8UC1, cv::Scalar(255));
    const cv::Mat r = cv::getRotationMatrix2D(cv::Point2f(float(size.width / 2), float(size.height / 2)), angle, 1.0);
    cv::Mat out;
    cv::warpAffine(full, out, r, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::threshold(out, out, 250, 255, cv::THRESH_BINARY);
    return out;
}

// The model turned by angle.  Its mask lies within the part of the model
// that stays inside at every angle searched (turningCore), so every pixel
// it keeps was read from the model; turned as a set (nearest pixel), it
// keeps its size at every angle, and so scores compare across angles.
void rotated(const cv::Mat& model, const cv::Mat& mask, double angle, MaskTurn turn, cv::Mat& outModel,
             cv::Mat& outMask)
{
    const cv::Mat r = cv::getRotationMatrix2D(modelCentre(model), angle, 1.0);
    cv::warpAffine(model, outModel, r, model.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    if (turn == MaskTurn::Keep) {
        outMask = mask;
        return;
    }
    outMask.release(); // it may share the model's mask
    if (turn == MaskTurn::Nearest) {
        cv::warpAffine(mask, outMask, r, model.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
        return;
    }
    // No core: only pixels wholly inside the turned mask count.
    cv::warpAffine(mask, outMask, r, model.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::threshold(outMask, outMask, 250, 255, cv::THRESH_BINARY);
}

// Masked matchTemplate of OpenCV 4.6 throws when the model or the result is
// exactly one column by four rows (it takes such an array for a scalar).
// Those few cases are scored window by window with the same measure.
void matchMasked(const cv::Mat& img, const cv::Mat& model, const cv::Mat& mask, cv::Mat& result)
{
    const int resultCols = img.cols - model.cols + 1;
    const int resultRows = img.rows - model.rows + 1;
    if ((model.cols == 1 && model.rows == 4) || (resultCols == 1 && resultRows == 4)) {
        MaskedNcc ncc;
        ncc.set(model, mask);
        result.create(resultRows, resultCols, CV_32FC1);
        for (int v = 0; v < resultRows; ++v)
            for (int u = 0; u < resultCols; ++u)
                result.at<float>(v, u) = static_cast<float>(ncc.at(img, u, v).ncc);
        return;
    }
    // OpenCV's masked matcher rewrites an 8-bit mask in place (to 0 and 1):
    // hand it a copy, never the model's own mask.
    cv::matchTemplate(img, model, result, cv::TM_CCOEFF_NORMED, mask.clone());
}

// The part of a w x h model that stays inside it at every angle within
// +-range (sampled every 2 degrees, both ends included).  Searching under
// rotation, every angle is scored on this same part: scores over different
// pixels do not compare (a part lying over the model's corners would favour
// whichever angle drops them).
cv::Mat turningCore(cv::Size size, int range)
{
    cv::Mat core(size, CV_8UC1, cv::Scalar(255));
    const int n = std::max(1, range / 2);
    for (int k = -n; k <= n; ++k)
        core &= turnedFootprint(size, double(range) * k / n);
    return core;
}

double angleStepAt(const cv::Mat& model)
{
    const int side = std::max(model.cols, model.rows);
    return std::atan(2.0 / std::max(side, 2)) * 180.0 / CV_PI;
}

} // namespace

void FindShape::Clear()
{
    valid_ = false;
    angleRange_ = 0;
    refX_ = refY_ = 0;
    leastMatch_ = 0;
    maskTurn_ = MaskTurn::Keep;
    models_.clear();
    masks_.clear();
    ncc_.clear();
}

bool FindShape::CreateShape(const cv::Mat& model, double, int, int angleRange, int refX, int refY, bool, int,
                            const cv::Mat& mask, int leastMatch, int)
{
    Clear();
    if (model.empty() || model.type() != CV_8UC1)
        return false;
    cv::Mat m = NormalisedMask(model.cols, model.rows, mask);
    // Under rotation a whole rectangle keeps the turning core as its mask at
    // every angle: the core is the part every angle reads from the model.  A
    // drawn shape, cut to the core, turns with the model.  A model too thin
    // to have a core with texture turns its mask and keeps what lies wholly
    // inside.
    maskTurn_ = cv::countNonZero(m) == m.rows * m.cols ? MaskTurn::Keep : MaskTurn::Nearest;
    if (angleRange > 0) {
        const cv::Mat core = m & turningCore(m.size(), std::clamp(angleRange, 0, 180));
        cv::Scalar mean, sd;
        if (cv::countNonZero(core) > 0)
            cv::meanStdDev(model, mean, sd, core);
        if (sd[0] > kMinStdDev)
            m = core;
        else
            maskTurn_ = MaskTurn::WhollyInside;
    }
    if (cv::countNonZero(m) == 0)
        return false;
    cv::Scalar mean, sd;
    cv::meanStdDev(model, mean, sd, m);
    if (sd[0] <= kMinStdDev)
        return false;

    angleRange_ = std::clamp(angleRange, 0, 180);
    refX_ = refX;
    refY_ = refY;
    leastMatch_ = std::clamp(leastMatch, 0, 100);
    models_.push_back(model.clone());
    masks_.push_back(m);
    while (static_cast<int>(models_.size()) < kMaxLevels
           && std::min(models_.back().cols, models_.back().rows) / 2 >= kMinCoarseSide) {
        cv::Mat dm, dk;
        cv::pyrDown(models_.back(), dm);
        cv::pyrDown(masks_.back(), dk);
        // A coarse pixel counts only when its whole neighbourhood did.
        cv::threshold(dk, dk, 250, 255, cv::THRESH_BINARY);
        if (cv::countNonZero(dk) < 16)
            break;
        models_.push_back(dm);
        masks_.push_back(dk);
    }
    // The unrotated model's sums serve every search.
    ncc_.resize(models_.size());
    for (size_t l = 0; l < models_.size(); ++l)
        ncc_[l].set(models_[l], masks_[l]);
    valid_ = true;
    return true;
}

const MaskedNcc& FindShape::turnedModel(TurnCache& cache, int level, double angle) const
{
    if (angle == 0.0)
        return ncc_[static_cast<size_t>(level)];
    for (const Turned& t : cache)
        if (t.level == level && t.angle == angle)
            return t.ncc;
    cv::Mat rm, rk;
    rotated(models_[static_cast<size_t>(level)], masks_[static_cast<size_t>(level)], angle, maskTurn_, rm, rk);
    cache.push_back({level, angle, MaskedNcc()});
    cache.back().ncc.set(rm, rk);
    return cache.back().ncc;
}

void FindShape::refine(const std::vector<cv::Mat>& pyr, TurnCache& cache, Candidate& c, int level, double angleStep,
                       bool fromCoarser) const
{
    const cv::Mat& img = pyr[static_cast<size_t>(level)];
    const cv::Mat& model = models_[static_cast<size_t>(level)];
    const int maxU = img.cols - model.cols;
    const int maxV = img.rows - model.rows;
    const int cu = fromCoarser ? c.u * 2 : c.u;
    const int cv0 = fromCoarser ? c.v * 2 : c.v;
    const int radius = fromCoarser ? kRefineRadius : 1;

    std::vector<double> angles{c.angle};
    if (angleRange_ > 0) {
        angles.push_back(std::max(-double(angleRange_), c.angle - angleStep));
        angles.push_back(std::min(double(angleRange_), c.angle + angleStep));
    }
    Candidate best;
    best.angle = c.angle;
    for (double a : angles) {
        const MaskedNcc* ncc = &turnedModel(cache, level, a);
        for (int v = std::max(0, cv0 - radius); v <= std::min(maxV, cv0 + radius); ++v)
            for (int u = std::max(0, cu - radius); u <= std::min(maxU, cu + radius); ++u) {
                const double s = ncc->at(img, u, v).ncc;
                if (s > best.ncc) {
                    best.ncc = s;
                    best.u = u;
                    best.v = v;
                    best.angle = a;
                }
            }
    }
    c = best;
}

bool FindShape::Find(const cv::Mat& search, int, int& x, int& y, double& score, double& angle) const
{
    score = 0;
    angle = 0;
    if (!valid_ || search.empty() || search.type() != CV_8UC1 || search.cols < models_[0].cols
        || search.rows < models_[0].rows)
        return false;

    // Search pyramid, as deep as the model's while the model still fits.
    std::vector<cv::Mat> pyr{search};
    while (pyr.size() < models_.size()) {
        cv::Mat d;
        cv::pyrDown(pyr.back(), d);
        const cv::Mat& m = models_[pyr.size()];
        if (d.cols < m.cols || d.rows < m.rows)
            break;
        pyr.push_back(d);
    }
    const int top = static_cast<int>(pyr.size()) - 1;
    const cv::Mat& topModel = models_[static_cast<size_t>(top)];
    const cv::Mat& topMask = masks_[static_cast<size_t>(top)];

    // Angles of the exhaustive coarse search.
    std::vector<double> angles{0.0};
    double step = 0;
    if (angleRange_ > 0) {
        step = angleStepAt(topModel);
        const int n = std::max(1, static_cast<int>(std::ceil(angleRange_ / step)));
        step = double(angleRange_) / n;
        angles.clear();
        for (int k = -n; k <= n; ++k)
            angles.push_back(k * step);
    }

    std::vector<Candidate> cands;
    cv::Mat result, rm, rk;
    const int suppress = std::max(2, std::min(topModel.cols, topModel.rows) / 4);
    for (double a : angles) {
        if (a == 0.0 && ncc_[static_cast<size_t>(top)].fullMask()) {
            cv::matchTemplate(pyr[static_cast<size_t>(top)], topModel, result, cv::TM_CCOEFF_NORMED);
        } else if (a == 0.0) {
            matchMasked(pyr[static_cast<size_t>(top)], topModel, topMask, result);
        } else {
            // Into buffers of their own: the model must never be written.
            rotated(topModel, topMask, a, maskTurn_, rm, rk);
            matchMasked(pyr[static_cast<size_t>(top)], rm, rk, result);
        }
        // Flat windows give 0/0: never a match.
        for (int r = 0; r < result.rows; ++r) {
            float* p = result.ptr<float>(r);
            for (int k = 0; k < result.cols; ++k)
                if (!std::isfinite(p[k]) || p[k] > 1.0001f)
                    p[k] = -1.f;
        }
        for (int pass = 0; pass < 2; ++pass) {
            double maxVal;
            cv::Point loc;
            cv::minMaxLoc(result, nullptr, &maxVal, nullptr, &loc);
            if (maxVal <= -1)
                break;
            cands.push_back({maxVal, loc.x, loc.y, a});
            const cv::Rect around(loc.x - suppress, loc.y - suppress, 2 * suppress + 1, 2 * suppress + 1);
            result(around & cv::Rect(0, 0, result.cols, result.rows)).setTo(-1);
        }
    }
    if (cands.empty())
        return false;
    std::sort(cands.begin(), cands.end(), [](const Candidate& a, const Candidate& b) { return a.ncc > b.ncc; });
    if (cands.size() > kCandidates)
        cands.resize(kCandidates);

    // Refine every candidate down to level 1, then the best one to level 0.
    TurnCache cache;
    double delta = step / 2;
    for (int l = top - 1; l >= 1; --l) {
        for (Candidate& c : cands)
            refine(pyr, cache, c, l, delta, true);
        delta /= 2;
    }
    Candidate best = *std::max_element(cands.begin(), cands.end(),
                                       [](const Candidate& a, const Candidate& b) { return a.ncc < b.ncc; });
    if (top >= 1) {
        refine(pyr, cache, best, 0, delta, true);
        delta /= 2;
    }
    if (angleRange_ > 0 && top >= 1) {
        // The angle between the steps: the peak of the parabola through the
        // scores one step either side of the best angle, at its position.
        const double step0 = delta * 2;
        const double lo = std::max(-double(angleRange_), best.angle - step0);
        const double hi = std::min(double(angleRange_), best.angle + step0);
        if (lo < best.angle && hi > best.angle) {
            const double sl = turnedModel(cache, 0, lo).at(pyr[0], best.u, best.v).ncc;
            const double sh = turnedModel(cache, 0, hi).at(pyr[0], best.u, best.v).ncc;
            const double curve = sl - 2 * best.ncc + sh;
            if (curve < 0)
                best.angle += std::clamp(0.5 * (sl - sh) / curve * step0, -step0 / 2, step0 / 2);
        }
        delta = 0;
    }
    // Small models have few levels: finish the angle at full resolution.
    while (angleRange_ > 0 && delta > kFinalAngleStep) {
        refine(pyr, cache, best, 0, delta, false);
        delta /= 2;
    }

    // Rounding can carry a correlation just past 1.
    score = std::clamp(100.0 * best.ncc, 0.0, 100.0);
    angle = best.angle;
    const cv::Mat& model = models_[0];
    x = refX_ - (best.u + model.cols / 2);
    y = refY_ - (best.v + model.rows / 2);
    return best.ncc > -1 && score >= leastMatch_;
}

// ---------------------------------------------------------------------------

namespace {

// Shifts beyond the image move nothing in: clamping them first keeps every
// index sum below in int range.
int clampShift(int v, int size)
{
    return std::clamp(v, -size, size);
}

// The affine map of TransformImage, src to dst.
cv::Mat transformMatrix(cv::Size size, cv::Point shift, cv::Point ref, double angle)
{
    ref = cv::Point(std::clamp(ref.x, 0, std::max(0, size.width - 1)),
                    std::clamp(ref.y, 0, std::max(0, size.height - 1)));
    shift = cv::Point(clampShift(shift.x, size.width), clampShift(shift.y, size.height));
    const cv::Point2f f(float(ref.x - shift.x), float(ref.y - shift.y));
    cv::Mat m = cv::getRotationMatrix2D(f, -angle, 1.0);
    m.at<double>(0, 2) += ref.x - f.x;
    m.at<double>(1, 2) += ref.y - f.y;
    return m;
}

} // namespace

cv::Rect MovedImageCover(cv::Size size, int dx, int dy)
{
    dx = clampShift(dx, size.width);
    dy = clampShift(dy, size.height);
    const int x0 = std::clamp(dx, 0, size.width), x1 = std::clamp(size.width + dx, 0, size.width);
    const int y0 = std::clamp(dy, 0, size.height), y1 = std::clamp(size.height + dy, 0, size.height);
    return cv::Rect(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
}

cv::Mat TransformedImageCover(cv::Size size, cv::Point shift, cv::Point ref, double angle)
{
    if (size.width < 1 || size.height < 1)
        return {};
    // Ones warped with a zero border: a pixel is covered when bilinear
    // reading took all four neighbours from the frame.
    const cv::Mat ones(size, CV_8UC1, cv::Scalar(255));
    cv::Mat cover;
    cv::warpAffine(ones, cover, transformMatrix(size, shift, ref, angle), size, cv::INTER_LINEAR,
                   cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::threshold(cover, cover, 254, 255, cv::THRESH_BINARY);
    return cover;
}

bool MoveImage(const cv::Mat& src, cv::Mat dst, int dx, int dy)
{
    if (src.empty() || dst.size() != src.size() || dst.type() != src.type())
        return false;
    cv::Mat from = src;
    if (src.data == dst.data)
        from = src.clone();
    const int w = src.cols, h = src.rows;
    dx = clampShift(dx, w);
    dy = clampShift(dy, h);
    const size_t px = src.elemSize();
    // Columns of dst fed from src: x in [x0, x1) reads x - dx.
    const int x0 = std::clamp(dx, 0, w);
    const int x1 = std::clamp(w + dx, 0, w);
    for (int yd = 0; yd < h; ++yd) {
        const uchar* s = from.ptr<uchar>(std::clamp(yd - dy, 0, h - 1));
        uchar* d = dst.ptr<uchar>(yd);
        if (x1 > x0)
            std::memcpy(d + x0 * px, s + (x0 - dx) * px, size_t(x1 - x0) * px);
        // Uncovered columns repeat the nearest source column.
        for (int xd = 0; xd < x0; ++xd)
            std::memcpy(d + xd * px, s + size_t(std::clamp(xd - dx, 0, w - 1)) * px, px);
        for (int xd = std::max(x1, x0); xd < w; ++xd)
            std::memcpy(d + xd * px, s + size_t(std::clamp(xd - dx, 0, w - 1)) * px, px);
    }
    return true;
}

bool TransformImage(const cv::Mat& src, cv::Mat dst, cv::Point shift, cv::Point ref, double angle)
{
    if (src.empty() || dst.size() != src.size() || dst.type() != src.type())
        return false;
    const cv::Mat m = transformMatrix(src.size(), shift, ref, angle);
    if (src.data == dst.data) {
        cv::Mat tmp;
        cv::warpAffine(src, tmp, m, src.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        tmp.copyTo(dst);
    } else {
        uchar* before = dst.data;
        cv::warpAffine(src, dst, m, src.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        CV_Assert(dst.data == before);
    }
    return true;
}
