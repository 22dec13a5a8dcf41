#pragma once
// Sets OpenCV's worker count for a benchmark case.  The race-checker build
// keeps OpenCV serial whatever a case asks for (see tests/tsan/serialopencv.cpp).
#include <opencv2/core/utility.hpp>

inline void setOpenCVThreads(int n)
{
#if defined(MM_RACE_CHECKER)
    (void)n;
    cv::setNumThreads(0);
#else
    cv::setNumThreads(n);
#endif
}
