#include "blobresult.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <numeric>
#include <tuple>

CBlobResult::CBlobResult(const cv::Mat& image, const cv::Mat& mask, int background)
{
    if (image.empty() || image.type() != CV_8UC1)
        return;
    cv::Mat fg = image != background;
    if (!mask.empty() && mask.size() == image.size() && mask.type() == CV_8UC1)
        fg &= mask != 0;
    // Most areas of a good part have nothing marked: counting is far cheaper
    // than labelling.
    if (cv::countNonZero(fg) == 0)
        return;
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(fg, labels, stats, centroids, 8, CV_32S);
    if (n <= 1)
        return;
    std::vector<int> order(static_cast<size_t>(n - 1));
    std::iota(order.begin(), order.end(), 1);
    auto key = [&](int l) {
        const int* s = stats.ptr<int>(l);
        return std::make_tuple(s[cv::CC_STAT_TOP], s[cv::CC_STAT_LEFT], s[cv::CC_STAT_AREA],
                               s[cv::CC_STAT_WIDTH], s[cv::CC_STAT_HEIGHT], l);
    };
    std::sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
    blobs_.reserve(order.size());
    for (int l : order) {
        const int* s = stats.ptr<int>(l);
        blobs_.emplace_back(double(s[cv::CC_STAT_AREA]),
                            cv::Rect(s[cv::CC_STAT_LEFT], s[cv::CC_STAT_TOP], s[cv::CC_STAT_WIDTH], s[cv::CC_STAT_HEIGHT]));
    }
}
