#pragma once
// What the detection engine reads and writes of one camera slot: frames,
// template library, ignore masks, area masks and the results of the last
// detection.  Plain data, so the engine is tested without a widget or a
// camera; the camera slot widget inherits it.
#include "cammersingleton.h"
#include "globals.h"

#include <opencv2/core.hpp>

#include <array>
#include <vector>

// Alarm record of one area: 100 entries of four ints.  Entry 0 holds the
// box count, entries 1..99 the boxes (left, top, right, bottom, image
// pixels).  A distance area keeps its edge points in entries 1 to 3 instead.
struct RoiAlarm {
    static constexpr int kEntries = 100;
    static constexpr int kMaxBoxes = 99;

    int entry[kEntries][4] = {};

    int& boxCount() { return entry[0][0]; }
    int boxCount() const { return entry[0][0]; }
    // Box n, 1..99.
    void setBox(int n, int left, int top, int right, int bottom)
    {
        entry[n][0] = left;
        entry[n][1] = top;
        entry[n][2] = right;
        entry[n][3] = bottom;
    }
    cv::Rect box(int n) const { return {entry[n][0], entry[n][1], entry[n][2] - entry[n][0], entry[n][3] - entry[n][1]}; }

    int& edgeRefCount() { return entry[1][0]; }
    int edgeRefCount() const { return entry[1][0]; }
    int& edgeFoundCount() { return entry[1][1]; }
    int edgeFoundCount() const { return entry[1][1]; }
    cv::Point edgeRefPoint1() const { return {entry[2][0], entry[2][1]}; }
    cv::Point edgeRefPoint2() const { return {entry[3][0], entry[3][1]}; }
    cv::Point edgeFoundPoint1() const { return {entry[2][2], entry[2][3]}; }
    cv::Point edgeFoundPoint2() const { return {entry[3][2], entry[3][3]}; }
    void setEdgeRefPoint1(cv::Point p) { entry[2][0] = p.x; entry[2][1] = p.y; }
    void setEdgeRefPoint2(cv::Point p) { entry[3][0] = p.x; entry[3][1] = p.y; }
    void setEdgeFoundPoint1(cv::Point p) { entry[2][2] = p.x; entry[2][3] = p.y; }
    void setEdgeFoundPoint2(cv::Point p) { entry[3][2] = p.x; entry[3][3] = p.y; }
};

struct CameraSlotState {
    CameraSlotState() = default;
    CameraSlotState(const CameraSlotState&) = delete;
    CameraSlotState& operator=(const CameraSlotState&) = delete;
    virtual ~CameraSlotState() = default;

    // Sets the geometry and allocates the frames and ignore masks for all 8
    // detections, so that no detection is ever used without them.  Frames
    // and templates hold 4 bytes per pixel (RGBA) when color is set, else
    // one.  Template slots and recent-NG frames take no memory here: each is
    // allocated by its first store (TemplateBuffer, RecentNGBuffer), since
    // most of the 8 x templateSlots never hold a picture.  Templates start
    // invalid, ignore masks zero, the recent-NG counts 0.
    void AllocateSlotBuffers(int imageW, int imageH, bool color, int templateSlots);

    // Buffer of template slot t of detection d for a store: colorLen bytes,
    // zero-filled when it is allocated by this call.  Null for an index out
    // of range.  A slot without a buffer is read as "no picture".
    uchar* TemplateBuffer(int d, int t);
    // Buffer of recent-NG frame i (0..2) of detection d for a store, like
    // TemplateBuffer.
    uchar* RecentNGBuffer(int d, int i);

    // Geometry fixed by the allocation.
    int imageW = 0;
    int imageH = 0;
    bool color = false;
    int colorLen = 0;    // bytes of one frame or template buffer
    int imageLen = 0;    // bytes of one 8-bit plane
    int templateSlots = 0;

    int camIndex = 0;
    CammerSingleton* savedSet = nullptr;  // evaluated by the detection
    CammerSingleton* workSet = nullptr;   // edited by the area page
    AreaMaskArray liveMask;               // masks of the saved set
    AreaMaskArray workMask;               // masks of the work set

    // Frames, colorLen bytes each.
    std::vector<uchar> procFrame;     // taken over for detection
    std::vector<uchar> alignedFrame;  // procFrame after positioning
    std::vector<uchar> shownFrame;    // what the view shows
    std::vector<uchar> grayPlane;     // colour: the plane the engine works on (imageLen)
    std::vector<uchar> resultImage;   // imageLen, non-zero = found pixel

    // Per detection: ignore points (imageLen, 255 = ignored) and the template
    // library (templateSlots buffers of colorLen bytes; slot 0 the base).
    std::vector<uchar> ignoreMask[kDetections];
    // The area page's unsaved changes of ignoreMask[d]: empty while the page
    // has not changed d.  Its save makes a copy live and writes it; opening
    // the page or discarding drops them, as it does the work set.
    std::vector<uchar> ignoreWorkMask[kDetections];
    // The ignore points the template source shows for d: the work copy when
    // there is one.
    const std::vector<uchar>& shownIgnoreMask(int d) const
    {
        return ignoreWorkMask[d].empty() ? ignoreMask[d] : ignoreWorkMask[d];
    }
    void dropIgnoreWork()
    {
        for (auto& work : ignoreWorkMask)
            std::vector<uchar>().swap(work);
    }
    std::vector<std::vector<uchar>> templates[kDetections];
    std::vector<int> templateValid[kDetections];
    int templateCount[kDetections] = {};
    int tempShown = 0;   // template slot the area page shows
    // Per detection: the next triggered run stores its frame as template 0
    // instead of judging.
    uchar reSamplePending[kDetections] = {};

    // Per detection the last three NG frames, written round robin by the
    // cycle (colorLen bytes each once stored, empty before).
    static constexpr int kRecentNGFrames = 3;
    std::vector<uchar> recentNG[kDetections][kRecentNGFrames];
    int recentNGCount[kDetections] = {};   // NG frames stored since start
    int recentShown = 0;                   // recent-NG frame the area page shows
    // Per detection: this camera does not judge the current mould (set by the
    // area page, cleared at each cycle start).
    uchar skipMould[kDetections] = {};
    int brightness = 0;   // mean grey of the last frame taken over

    // Results of the last detection or preview.
    uchar roiOK[kDetections][kAreas] = {};
    uchar isOK = 1;
    int roiValue[kDetections][kAreas] = {};
    std::vector<std::array<RoiAlarm, kAreas>> roiAlarm = std::vector<std::array<RoiAlarm, kAreas>>(kDetections);
    uchar testShown = 0;
    int alarmShow = 0;    // blink phase of the NG drawing, 0 or 1

    // 8-bit view over a plane buffer (empty Mat when not allocated).
    cv::Mat PlaneView(std::vector<uchar>& buffer) const;
};

// Converts a w x h RGBA picture into the 8-bit plane the detection works on:
// gray or hue, as gisGrayHue selects.
void RgbaToDetectionPlane(const uchar* rgba, int w, int h, uchar* plane);
