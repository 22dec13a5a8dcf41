#include "similarity.h"

#include "maskedncc.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxMargin = 8;
constexpr int kMaxCoarseLevels = 2;
constexpr int kMinCoarseSide = 16;
// Templates whose coarse score trails the best by more than this are not
// refined: they cannot win at full resolution.
constexpr double kPruneMargin = 0.1;

cv::Mat maskAt(const cv::Mat& mask, int level)
{
    cv::Mat m = mask;
    for (int l = 0; l < level; ++l) {
        cv::Mat down;
        cv::pyrDown(m, down);
        m = down;
    }
    if (level > 0)
        cv::threshold(m, m, 127, 255, cv::THRESH_BINARY);
    return m;
}

} // namespace

void SURF::Create(int w, int h, const cv::Mat& mask)
{
    Clear();
    w_ = std::max(0, w);
    h_ = std::max(0, h);
    if (w_ == 0 || h_ == 0)
        return;
    mask_ = NormalisedMask(w_, h_, mask);
    margin_ = std::min({kMaxMargin, w_ / 8, h_ / 8});
    const int innerSide = std::min(w_, h_) - 2 * margin_;
    levels_ = 1;
    while (levels_ - 1 < kMaxCoarseLevels && (innerSide >> levels_) >= kMinCoarseSide && (margin_ >> levels_) >= 1)
        ++levels_;
}

void SURF::AddTemp(const cv::Mat& cut, int, int, int)
{
    if (w_ == 0 || cut.cols != w_ || cut.rows != h_ || cut.type() != CV_8UC1)
        return;
    Template t;
    t.image = cut.clone();
    templates_.push_back(std::move(t));
}

void SURF::Train(int, int, int, int)
{
    valid_ = false;
    if (templates_.empty())
        return;
    std::vector<cv::Mat> masks(static_cast<size_t>(levels_));
    for (int l = 0; l < levels_; ++l)
        masks[static_cast<size_t>(l)] = maskAt(mask_, l);
    for (Template& t : templates_) {
        t.levels.clear();
        cv::Mat img = t.image;
        for (int l = 0; l < levels_; ++l) {
            if (l > 0) {
                cv::Mat down;
                cv::pyrDown(img, down);
                img = down;
            }
            Level lv;
            lv.offset = margin_ >> l;
            const int iw = (w_ >> l) - 2 * lv.offset;
            const int ih = (h_ >> l) - 2 * lv.offset;
            if (iw < 1 || ih < 1)
                break;
            const cv::Rect inner(lv.offset, lv.offset, iw, ih);
            lv.inner.set(img(inner), masks[static_cast<size_t>(l)](inner));
            t.levels.push_back(std::move(lv));
        }
        const MaskedNcc& base = t.levels.front().inner;
        t.flat = base.empty() || base.stddev() < kFlatStdDev;
        t.mean = base.mean();
    }
    valid_ = true;
}

void SURF::Clear()
{
    w_ = h_ = margin_ = 0;
    levels_ = 1;
    valid_ = false;
    mask_.release();
    templates_.clear();
}

double SURF::Match(const cv::Mat& cut, cv::Mat& out) const
{
    if (w_ > 0)
        out.create(h_, w_, CV_8UC1);
    if (!out.empty())
        out.setTo(0);
    if (!valid_ || cut.cols != w_ || cut.rows != h_ || cut.type() != CV_8UC1)
        return 0;

    std::vector<cv::Mat> pyr(static_cast<size_t>(levels_));
    pyr[0] = cut;
    for (int l = 1; l < levels_; ++l)
        cv::pyrDown(pyr[static_cast<size_t>(l - 1)], pyr[static_cast<size_t>(l)]);

    struct Candidate {
        double ncc = -1;
        int x = 0, y = 0; // top-left of the inner window at the current level
    };
    const size_t nT = templates_.size();
    std::vector<Candidate> cand(nT);

    // The cut's own flatness, on the inner part every template compares with
    // (all templates share the mask).
    const MaskedNcc::Window win = templates_.front().levels.front().inner.at(cut, margin_, margin_);
    const bool cutFlat = win.stddev < kFlatStdDev;

    // Flat templates and the exhaustive search at the coarsest level.  A flat
    // cut against a textured template scores 0 even when a faint trace of
    // the pattern would still correlate.
    double bestCoarse = -2;
    for (size_t k = 0; k < nT; ++k) {
        const Template& t = templates_[k];
        if (t.flat || cutFlat) {
            const bool same = t.flat && cutFlat && std::abs(win.mean - t.mean) <= kFlatMeanTolerance;
            cand[k] = {same ? 1.0 : -1.0, margin_, margin_};
            continue;
        }
        const int top = static_cast<int>(t.levels.size()) - 1;
        const MaskedNcc& ncc = t.levels[static_cast<size_t>(top)].inner;
        const cv::Mat& img = pyr[static_cast<size_t>(top)];
        const int maxX = img.cols - ncc.size().width;
        const int maxY = img.rows - ncc.size().height;
        Candidate best;
        for (int y = 0; y <= maxY; ++y)
            for (int x = 0; x <= maxX; ++x) {
                const double v = ncc.at(img, x, y).ncc;
                if (v > best.ncc) {
                    best = {v, x, y};
                }
            }
        cand[k] = best;
        bestCoarse = std::max(bestCoarse, best.ncc);
    }

    // Refinement, +-1 pixel per finer level.
    for (size_t k = 0; k < nT; ++k) {
        const Template& t = templates_[k];
        if (t.flat || cutFlat)
            continue;
        const int top = static_cast<int>(t.levels.size()) - 1;
        if (top > 0 && cand[k].ncc < bestCoarse - kPruneMargin) {
            cand[k].ncc = -1;
            continue;
        }
        for (int l = top - 1; l >= 0; --l) {
            const MaskedNcc& ncc = t.levels[static_cast<size_t>(l)].inner;
            const cv::Mat& img = pyr[static_cast<size_t>(l)];
            const int maxX = img.cols - ncc.size().width;
            const int maxY = img.rows - ncc.size().height;
            // Same shift, twice as many pixels, relative to this level's margin.
            const int o1 = t.levels[static_cast<size_t>(l + 1)].offset;
            const int o0 = t.levels[static_cast<size_t>(l)].offset;
            const int cx = o0 + 2 * (cand[k].x - o1), cy = o0 + 2 * (cand[k].y - o1);
            Candidate best;
            for (int y = std::max(0, cy - 1); y <= std::min(maxY, cy + 1); ++y)
                for (int x = std::max(0, cx - 1); x <= std::min(maxX, cx + 1); ++x) {
                    const double v = ncc.at(img, x, y).ncc;
                    if (v > best.ncc)
                        best = {v, x, y};
                }
            cand[k] = best;
        }
    }

    size_t bestK = 0;
    for (size_t k = 1; k < nT; ++k)
        if (cand[k].ncc > cand[bestK].ncc)
            bestK = k;
    const Candidate& b = cand[bestK];
    // Rounding can carry a correlation just past 1.
    const double score = std::clamp(100.0 * b.ncc, 0.0, 100.0);

    // Marked pixels: cut(p) against the best template at p - shift.
    const int dx = b.x - margin_;
    const int dy = b.y - margin_;
    const cv::Rect cutArea = cv::Rect(0, 0, w_, h_) & cv::Rect(dx, dy, w_, h_);
    if (!cutArea.empty()) {
        const cv::Rect tplArea = cutArea - cv::Point(dx, dy);
        cv::Mat diff;
        cv::absdiff(cut(cutArea), templates_[bestK].image(tplArea), diff);
        cv::Mat marked = diff > kMarkDifference;
        cv::Mat o = out(cutArea);
        cv::bitwise_and(marked, mask_(cutArea), o);
    }
    return score;
}
