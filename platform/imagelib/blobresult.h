#pragma once
// Connected blobs (8-connectivity) of the pixels that differ from the
// background.  Blobs are ordered by the top, then the left of their bounding
// box (then area, size, label), so the order never depends on threading.
#include <opencv2/core.hpp>

#include <vector>

class CBlob {
public:
    CBlob() = default;
    CBlob(double area, const cv::Rect& box) : area_(area), box_(box) {}

    // Pixel count of the blob.
    double Area() const { return area_; }
    cv::Rect GetBoundingBox() const { return box_; }

private:
    double area_ = 0;
    cv::Rect box_;
};

class CBlobResult {
public:
    CBlobResult() = default;
    // image: 8-bit one channel.  mask (optional, same size): only pixels with
    // a non-zero mask count.  Pixels equal to `background` are background.
    CBlobResult(const cv::Mat& image, const cv::Mat& mask = cv::Mat(), int background = 0);

    int GetNumBlobs() const { return static_cast<int>(blobs_.size()); }
    // nullptr when i is out of range.
    const CBlob* GetBlob(int i) const
    {
        return i >= 0 && i < GetNumBlobs() ? &blobs_[static_cast<size_t>(i)] : nullptr;
    }

private:
    std::vector<CBlob> blobs_;
};
