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
        // clear() first: assigning an empty vector would keep the old capacity.
        templates[d].clear();
        templates[d].resize(static_cast<size_t>(templateSlots));
        templateValid[d].assign(static_cast<size_t>(templateSlots), 0);
        templateCount[d] = 0;
        for (auto& frame : recentNG[d])
            std::vector<uchar>().swap(frame);
        recentNGCount[d] = 0;
    }
    recentShown = 0;
}

namespace {

// The buffer filled to bytes on first use; later calls keep its contents.
uchar* ensureBuffer(std::vector<uchar>& buffer, int bytes)
{
    if (buffer.size() != static_cast<size_t>(bytes))
        buffer.assign(static_cast<size_t>(bytes), 0);
    return buffer.data();
}

} // namespace

uchar* CameraSlotState::TemplateBuffer(int d, int t)
{
    if (d < 0 || d >= kDetections || t < 0 || t >= static_cast<int>(templates[d].size()) || colorLen <= 0)
        return nullptr;
    return ensureBuffer(templates[d][static_cast<size_t>(t)], colorLen);
}

uchar* CameraSlotState::RecentNGBuffer(int d, int i)
{
    if (d < 0 || d >= kDetections || i < 0 || i >= kRecentNGFrames || colorLen <= 0)
        return nullptr;
    return ensureBuffer(recentNG[d][i], colorLen);
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
