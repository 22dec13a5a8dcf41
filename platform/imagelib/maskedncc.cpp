#include "maskedncc.h"

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The window sums run for every refined position: let them vectorise.
#pragma GCC optimize("O3")

#if defined(__SSE2__)
namespace {

int64_t lanes64(__m128i v)
{
    alignas(16) int64_t t[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(t), v);
    return t[0] + t[1];
}

int64_t lanes32(__m128i v)
{
    const __m128i zero = _mm_setzero_si128();
    // Every lane is non-negative: widen by zero extension.
    return lanes64(_mm_add_epi64(_mm_unpacklo_epi32(v, zero), _mm_unpackhi_epi32(v, zero)));
}

} // namespace
#endif

void MaskedNcc::set(const cv::Mat& pattern, const cv::Mat& mask)
{
    CV_Assert(pattern.type() == CV_8UC1);
    full_ = mask.empty() || cv::countNonZero(mask) == mask.rows * mask.cols;
    if (!full_)
        CV_Assert(mask.size() == pattern.size() && mask.type() == CV_8UC1);
    // One pass for the masked pattern, the mask and the sums (a search sets
    // a rotated model for every angle it tries).  Fresh buffers: a copy of
    // this object may share the old ones.
    pattern_ = cv::Mat(pattern.size(), CV_8UC1);
    if (full_)
        mask_.release();
    else
        mask_ = cv::Mat(pattern.size(), CV_8UC1);
    int64_t n = 0, sT = 0, sTT = 0;
    for (int y = 0; y < pattern.rows; ++y) {
        const uchar* p = pattern.ptr<uchar>(y);
        const uchar* m = full_ ? nullptr : mask.ptr<uchar>(y);
        uchar* t = pattern_.ptr<uchar>(y);
        uchar* k = full_ ? nullptr : mask_.ptr<uchar>(y);
        int32_t rn = 0, rT = 0, rTT = 0;
        int x = 0;
#if defined(__SSE2__)
        // 16 pixels a step; the counts by psadbw, the squares by pmaddwd.
        const __m128i zero = _mm_setzero_si128();
        const __m128i one = _mm_set1_epi8(1);
        const __m128i all = _mm_set1_epi8(-1);
        __m128i vn = zero, vT = zero, vTT = zero;
        for (; x + 16 <= pattern.cols; x += 16) {
            const __m128i inside =
                m ? _mm_andnot_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m + x)), zero), all)
                  : all;
            const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x)), inside);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(t + x), v);
            if (k)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(k + x), inside);
            vn = _mm_add_epi64(vn, _mm_sad_epu8(_mm_and_si128(inside, one), zero));
            vT = _mm_add_epi64(vT, _mm_sad_epu8(v, zero));
            const __m128i lo = _mm_unpacklo_epi8(v, zero);
            const __m128i hi = _mm_unpackhi_epi8(v, zero);
            vTT = _mm_add_epi32(vTT, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
        }
        n += lanes64(vn);
        sT += lanes64(vT);
        sTT += lanes32(vTT);
#endif
        for (; x < pattern.cols; ++x) {
            const uchar inside = !m || m[x] ? 255 : 0;
            const uchar v = p[x] & inside;
            t[x] = v;
            if (k)
                k[x] = inside;
            rn += inside & 1;
            rT += v;
            rTT += int32_t(v) * v;
        }
        n += rn;
        sT += rT;
        sTT += rTT;
    }
    n_ = double(n);
    sT_ = double(sT);
    sTT_ = double(sTT);
}

double MaskedNcc::stddev() const
{
    if (n_ <= 0)
        return 0;
    const double var = sTT_ / n_ - (sT_ / n_) * (sT_ / n_);
    return var > 0 ? std::sqrt(var) : 0;
}

namespace {

// One pass over the window: sums of I, I*I and T*I (I masked when a mask is
// given).  Integer sums per row, so the loops vectorise.
[[maybe_unused]] void windowSumsScalar(const cv::Mat& roi, const cv::Mat& pattern, const cv::Mat& mask, int64_t& sI, int64_t& sII,
                      int64_t& sTI)
{
    sI = sII = sTI = 0;
    const int w = roi.cols;
    for (int y = 0; y < roi.rows; ++y) {
        const uchar* img = roi.ptr<uchar>(y);
        const uchar* t = pattern.ptr<uchar>(y);
        int32_t rI = 0, rII = 0, rTI = 0;
        if (mask.empty()) {
            for (int x = 0; x < w; ++x) {
                const int32_t v = img[x];
                rI += v;
                rII += v * v;
                rTI += int32_t(t[x]) * v;
            }
        } else {
            const uchar* m = mask.ptr<uchar>(y);
            for (int x = 0; x < w; ++x) {
                const int32_t v = img[x] & m[x];
                rI += v;
                rII += v * v;
                rTI += int32_t(t[x]) * v;
            }
        }
        sI += rI;
        sII += rII;
        sTI += rTI;
    }
}

#if defined(__SSE2__)
// The same sums, 16 pixels a step: the byte sums by psadbw, the products by
// pmaddwd on 16-bit lanes.  The 32-bit lanes are emptied into 64-bit sums
// after every row, so no window size overflows them.  The sums are exact, so
// the result is the scalar one.
void windowSumsSse2(const cv::Mat& roi, const cv::Mat& pattern, const cv::Mat& mask, int64_t& sI, int64_t& sII,
                    int64_t& sTI)
{
    sI = sII = sTI = 0;
    const int w = roi.cols;
    const bool masked = !mask.empty();
    const __m128i zero = _mm_setzero_si128();
    __m128i accI = zero;
    for (int y = 0; y < roi.rows; ++y) {
        const uchar* img = roi.ptr<uchar>(y);
        const uchar* t = pattern.ptr<uchar>(y);
        const uchar* m = masked ? mask.ptr<uchar>(y) : nullptr;
        __m128i rII = zero, rTI = zero;
        int x = 0;
        for (; x + 16 <= w; x += 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(img + x));
            if (masked)
                v = _mm_and_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + x)));
            accI = _mm_add_epi64(accI, _mm_sad_epu8(v, zero));
            const __m128i lo = _mm_unpacklo_epi8(v, zero);
            const __m128i hi = _mm_unpackhi_epi8(v, zero);
            const __m128i tv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + x));
            const __m128i tlo = _mm_unpacklo_epi8(tv, zero);
            const __m128i thi = _mm_unpackhi_epi8(tv, zero);
            rII = _mm_add_epi32(rII, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
            rTI = _mm_add_epi32(rTI, _mm_add_epi32(_mm_madd_epi16(lo, tlo), _mm_madd_epi16(hi, thi)));
        }
        int64_t tailI = 0, tailII = 0, tailTI = 0;
        for (; x < w; ++x) {
            const int32_t v = masked ? (img[x] & m[x]) : img[x];
            tailI += v;
            tailII += v * v;
            tailTI += int32_t(t[x]) * v;
        }
        sI += tailI;
        sII += lanes32(rII) + tailII;
        sTI += lanes32(rTI) + tailTI;
    }
    sI += lanes64(accI);
}
#endif

} // namespace

MaskedNcc::Window MaskedNcc::at(const cv::Mat& image, int x, int y) const
{
    Window w;
    if (n_ <= 0)
        return w;
    const cv::Mat roi = image(cv::Rect(x, y, pattern_.cols, pattern_.rows));
    int64_t isI, isII, isTI;
#if defined(__SSE2__)
    windowSumsSse2(roi, pattern_, mask_, isI, isII, isTI);
#else
    windowSumsScalar(roi, pattern_, mask_, isI, isII, isTI);
#endif
    const double sI = double(isI), sII = double(isII), sTI = double(isTI);
    const double varT = sTT_ - sT_ * sT_ / n_;
    const double varI = sII - sI * sI / n_;
    w.mean = sI / n_;
    w.stddev = varI > 0 ? std::sqrt(varI / n_) : 0;
    if (varT <= 1e-9 || varI <= 1e-9)
        return w;
    w.ncc = (sTI - sT_ * sI / n_) / std::sqrt(varT * varI);
    return w;
}

cv::Mat NormalisedMask(int w, int h, const cv::Mat& mask)
{
    cv::Mat out;
    if (!mask.empty() && mask.cols == w && mask.rows == h && mask.type() == CV_8UC1)
        cv::compare(mask, 0, out, cv::CMP_NE);
    else
        out = cv::Mat(h, w, CV_8UC1, cv::Scalar(255));
    return out;
}
