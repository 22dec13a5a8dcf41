#include "imageconvert.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

bool validSize(const void* a, const void* b, int w, int h)
{
    return a && b && w > 0 && h > 0;
}

} // namespace

void RGB2RGBA(void* rgba, const void* rgb, int w, int h)
{
    if (!validSize(rgba, rgb, w, h))
        return;
    const cv::Mat src(h, w, CV_8UC3, const_cast<void*>(rgb));
    cv::Mat dst(h, w, CV_8UC4, rgba);
    cv::cvtColor(src, dst, cv::COLOR_RGB2BGRA);
}

void RGBA2Gray(unsigned char* gray, const void* rgba, int w, int h)
{
    if (!validSize(gray, rgba, w, h))
        return;
    const cv::Mat src(h, w, CV_8UC4, const_cast<void*>(rgba));
    cv::Mat dst(h, w, CV_8UC1, gray);
    cv::cvtColor(src, dst, cv::COLOR_BGRA2GRAY);
}

void RGBA2Hue(unsigned char* hue, const void* rgba, int w, int h)
{
    if (!validSize(hue, rgba, w, h))
        return;
    // Converted in bands of rows so the scratch stays small and cache-warm.
    constexpr int kBand = 32;
    thread_local cv::Mat bgr, hsv;
    for (int y0 = 0; y0 < h; y0 += kBand) {
        const int rows = std::min(kBand, h - y0);
        const cv::Mat src(rows, w, CV_8UC4, static_cast<unsigned char*>(const_cast<void*>(rgba)) + size_t(y0) * w * 4);
        cv::Mat dst(rows, w, CV_8UC1, hue + size_t(y0) * w);
        cv::cvtColor(src, bgr, cv::COLOR_BGRA2BGR);
        cv::cvtColor(bgr, hsv, cv::COLOR_BGR2HSV_FULL);
        cv::extractChannel(hsv, dst, 0);
    }
}

void Gray2RGBA(const unsigned char* gray, void* rgba, int w, int h)
{
    if (!validSize(gray, rgba, w, h))
        return;
    const cv::Mat src(h, w, CV_8UC1, const_cast<unsigned char*>(gray));
    cv::Mat dst(h, w, CV_8UC4, rgba);
    cv::cvtColor(src, dst, cv::COLOR_GRAY2BGRA);
}
