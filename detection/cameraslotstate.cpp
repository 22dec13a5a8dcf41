#include "cameraslotstate.h"

#include "imageconvert.h"

void CameraSlotState::AllocateSlotBuffers(int w, int h, bool isColor, int slotCount)
{
    imageW = std::max(w, 0);
    imageH = std::max(h, 0);
    color = isColor;
    imageLen = imageW * imageH;
    colorLen = color ? 4 * imageLen : imageLen;
    templateSlots = std::max(slotCount, 1);

    procFrame.assign(static_cast<size_t>(colorLen), 0);
    alignedFrame.assign(static_cast<size_t>(colorLen), 0);
    shownFrame.assign(static_cast<size_t>(colorLen), 0);
    grayPlane.assign(static_cast<size_t>(imageLen), 0);
    resultImage.assign(static_cast<size_t>(imageLen), 0);
    for (int d = 0; d < kDetections; ++d) {
        ignoreMask[d].assign(static_cast<size_t>(imageLen), 0);
        templates[d].assign(static_cast<size_t>(templateSlots), std::vector<uchar>(static_cast<size_t>(colorLen), 0));
        templateValid[d].assign(static_cast<size_t>(templateSlots), 0);
        templateCount[d] = 0;
    }
}

cv::Mat CameraSlotState::PlaneView(std::vector<uchar>& buffer) const
{
    if (imageLen <= 0 || buffer.size() < static_cast<size_t>(imageLen))
        return {};
    return cv::Mat(imageH, imageW, CV_8UC1, buffer.data());
}

void RgbaToDetectionPlane(const uchar* rgba, int w, int h, uchar* plane)
{
    if (gisGrayHue == 0)
        RGBA2Hue(plane, rgba, w, h);
    else
        RGBA2Gray(plane, rgba, w, h);
}
