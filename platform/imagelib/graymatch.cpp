#include "graymatch.h"

#include "maskedncc.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void GrayMatch::Create(int w, int h, const cv::Mat& mask, int)
{
    Clear();
    w_ = std::max(0, w);
    h_ = std::max(0, h);
    if (w_ == 0 || h_ == 0)
        return;
    mask_ = NormalisedMask(w_, h_, mask);
}

void GrayMatch::AddTemp(const cv::Mat& cut)
{
    if (w_ == 0 || cut.cols != w_ || cut.rows != h_ || cut.type() != CV_8UC1 || trained())
        return;
    if (count_ == 0) {
        min_ = cut.clone();
        max_ = cut.clone();
        const cv::Mat k = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
        cv::morphologyEx(cut, grad0_, cv::MORPH_GRADIENT, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    } else {
        // Both bounds in one pass over the cut (a view into a whole frame).
        for (int y = 0; y < h_; ++y) {
            const uchar* c = cut.ptr<uchar>(y);
            uchar* mn = min_.ptr<uchar>(y);
            uchar* mx = max_.ptr<uchar>(y);
            int x = 0;
#if defined(__SSE2__)
            for (; x + 16 <= w_; x += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
                __m128i* pn = reinterpret_cast<__m128i*>(mn + x);
                __m128i* px = reinterpret_cast<__m128i*>(mx + x);
                _mm_storeu_si128(pn, _mm_min_epu8(_mm_loadu_si128(pn), v));
                _mm_storeu_si128(px, _mm_max_epu8(_mm_loadu_si128(px), v));
            }
#endif
            for (; x < w_; ++x) {
                mn[x] = std::min(mn[x], c[x]);
                mx[x] = std::max(mx[x], c[x]);
            }
        }
    }
    ++count_;
}

void GrayMatch::Train(int sensitivity, int multiplier, int, int maxTolerance)
{
    if (trained())
        return;
    valid_ = false;
    if (count_ == 0)
        return;
    const int cap = std::clamp(maxTolerance, 0, 255);
    const int base = std::clamp(sensitivity, 0, 255);
    const int mult = std::clamp(multiplier, 0, 255);
    lo_.create(h_, w_, CV_8UC1);
    hi_.create(h_, w_, CV_8UC1);
    for (int y = 0; y < h_; ++y) {
        const uchar* mn = min_.ptr<uchar>(y);
        const uchar* mx = max_.ptr<uchar>(y);
        const uchar* g = grad0_.ptr<uchar>(y);
        const uchar* m = mask_.ptr<uchar>(y);
        uchar* lo = lo_.ptr<uchar>(y);
        uchar* hi = hi_.ptr<uchar>(y);
        int x = 0;
#if defined(__SSE2__)
        // The same bounds 16 pixels a step.  The tolerance is exact in 16
        // bits (at most 255 + 255 * 255) and below 256 after the cap; the
        // saturating byte steps are the clamps to 0 and 255.
        const __m128i zero = _mm_setzero_si128();
        const __m128i vBase = _mm_set1_epi16(static_cast<short>(base));
        const __m128i vMult = _mm_set1_epi16(static_cast<short>(mult));
        const __m128i vCap = _mm_set1_epi16(static_cast<short>(cap));
        auto tolerance = [&](__m128i g16) {
            const __m128i t = _mm_adds_epu16(_mm_mullo_epi16(g16, vMult), vBase);
            return _mm_sub_epi16(t, _mm_subs_epu16(t, vCap)); // min(t, cap), unsigned
        };
        for (; x + 16 <= w_; x += 16) {
            const __m128i gv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
            const __m128i tol = _mm_packus_epi16(tolerance(_mm_unpacklo_epi8(gv, zero)),
                                                 tolerance(_mm_unpackhi_epi8(gv, zero)));
            const __m128i outside = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m + x)), zero);
            const __m128i l = _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mn + x)), tol);
            const __m128i h = _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mx + x)), tol);
            // Outside the mask lo 0, hi 255.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lo + x), _mm_andnot_si128(outside, l));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(hi + x), _mm_or_si128(outside, h));
        }
#endif
        for (; x < w_; ++x) {
            if (!m[x]) {
                lo[x] = 0;
                hi[x] = 255;
                continue;
            }
            const int tol = std::min(cap, base + mult * g[x]);
            lo[x] = static_cast<uchar>(std::max(0, mn[x] - tol));
            hi[x] = static_cast<uchar>(std::min(255, mx[x] + tol));
        }
    }
    // The envelope is all a trained matcher needs.
    min_.release();
    max_.release();
    grad0_.release();
    mask_.release();
    valid_ = true;
}

void GrayMatch::Clear()
{
    w_ = h_ = count_ = 0;
    valid_ = false;
    mask_.release();
    min_.release();
    max_.release();
    grad0_.release();
    lo_.release();
    hi_.release();
}

int GrayMatch::Match(const cv::Mat& cut, cv::Mat& out) const
{
    if (!valid_ || cut.cols != w_ || cut.rows != h_ || cut.type() != CV_8UC1) {
        if (w_ > 0)
            out.create(h_, w_, CV_8UC1);
        if (!out.empty())
            out.setTo(0);
        return -1;
    }
    out.create(h_, w_, CV_8UC1);
    int marked = 0;
    for (int y = 0; y < h_; ++y) {
        const uchar* c = cut.ptr<uchar>(y);
        const uchar* lo = lo_.ptr<uchar>(y);
        const uchar* hi = hi_.ptr<uchar>(y);
        uchar* o = out.ptr<uchar>(y);
        int rowMarked = 0;
        int x = 0;
#if defined(__SSE2__)
        // 16 pixels a step: inside the envelope when max(v, lo) == v and
        // min(v, hi) == v; the marks counted by summing their low bits.
        const __m128i one = _mm_set1_epi8(1);
        __m128i count = _mm_setzero_si128();
        for (; x + 16 <= w_; x += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
            const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lo + x));
            const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi + x));
            const __m128i in = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, l), v), _mm_cmpeq_epi8(_mm_min_epu8(v, h), v));
            const __m128i mark = _mm_andnot_si128(in, _mm_set1_epi8(-1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x), mark);
            count = _mm_add_epi64(count, _mm_sad_epu8(_mm_and_si128(mark, one), _mm_setzero_si128()));
        }
        alignas(16) long long lanes[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), count);
        rowMarked += static_cast<int>(lanes[0] + lanes[1]);
#endif
        for (; x < w_; ++x) {
            const uchar v = (c[x] < lo[x]) | (c[x] > hi[x]) ? 255 : 0;
            o[x] = v;
            rowMarked += v & 1;
        }
        marked += rowMarked;
    }
    return marked;
}
