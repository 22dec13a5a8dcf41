#pragma once
// A camera slot with its two area sets, a fixed host and the engine, on a
// picture whose view is the picture itself (scale 1, unless given), for the
// engine tests and benchmarks.
#include "testgeometry.h"
#include "cameraslotstate.h"
#include "cammerrecongnize.h"
#include "cammersingleton.h"
#include "enginehost.h"
#include "geometry.h"
#include "globals.h"
#include "imageconvert.h"
#include "paramroi.h"
#include "testenv.h"

#include <opencv2/imgproc.hpp>

#include <cstring>
#include <memory>

struct EngineRig {
    explicit EngineRig(int w = 320, int h = 240, bool color = false, int templateSlots = 10, double showA = 1.0)
        : saved(2), work(2)
    {
        setTestGeometry(w, h, showA);
        gisColor = color ? 1 : 0;
        gColorLen = color ? 4 * w * h : w * h;
        gTempNum = templateSlots;
        slot.AllocateSlotBuffers(w, h, color, templateSlots);
        slot.camIndex = 2;
        slot.savedSet = &saved;
        slot.workSet = &work;
        host.values.minimumSize = 3;
        host.values.minimumArea = 100;
        host.values.minSpot = 1;
        g_listParamROI.clear();
    }
    ~EngineRig()
    {
        gisColor = 0;
        gisGrayHue = 0;
    }

    // Fills template slot t of detection d (gray picture; RGBA in colour).
    void setTemplate(int d, int t, const cv::Mat& gray)
    {
        slot.TemplateBuffer(d, t);
        copyInto(slot.templates[d][static_cast<size_t>(t)], gray);
        if (!slot.templateValid[d][static_cast<size_t>(t)]) {
            slot.templateValid[d][static_cast<size_t>(t)] = 1;
            ++slot.templateCount[d];
        }
    }
    // The frame taken for detection, before and after positioning.
    void setFrame(const cv::Mat& gray)
    {
        copyInto(slot.procFrame, gray);
        copyInto(slot.alignedFrame, gray);
    }
    cv::Mat aligned() { return slot.PlaneView(slot.alignedFrame).clone(); }
    cv::Mat result() { return slot.PlaneView(slot.resultImage).clone(); }

    // Appends a rectangle area given in image pixels to detection d of the
    // saved set (and the work set), with its masks.
    int addRect(int d, const cv::Rect& r, int method, int a = 0, int b = 0, int c = 0)
    {
        const int i = next(d, method, a, b, c, RoiShapeRect);
        const double s = kvor::geometry().showAW;
        saved.roiRect[d][i].rect = QRect(QPoint(int(r.x * s), int(r.y * s)),
                                         QPoint(int((r.x + r.width - 1) * s), int((r.y + r.height - 1) * s)));
        return finish(d, i);
    }
    int addCircle(int d, cv::Point c, int r1, int r2, int method, int a = 0, int b = 0, int cc = 0)
    {
        const int i = next(d, method, a, b, cc, RoiShapeCircle);
        saved.roiCircle[d][i].cx = c.x;
        saved.roiCircle[d][i].cy = c.y;
        saved.roiCircle[d][i].r1 = r1;
        saved.roiCircle[d][i].r2 = r2;
        saved.roiCircle[d][i].UpdateRect();
        return finish(d, i);
    }
    int addPolygon(int d, const std::vector<QPoint>& pts, int method, int a = 0, int b = 0, int c = 0)
    {
        const int i = next(d, method, a, b, c, RoiShapePolygon);
        saved.roiPolygon[d][i].setPoints(pts);
        return finish(d, i);
    }

    void build() { engine = std::make_unique<CammerRecong>(&saved, &slot, &host); }

    TestEnv env;
    CameraSlotState slot;
    CammerSingleton saved;
    CammerSingleton work;
    FixedEngineHost host;
    std::unique_ptr<CammerRecong> engine;

private:
    void copyInto(std::vector<uchar>& buffer, const cv::Mat& gray)
    {
        cv::Mat src = gray;
        if (slot.color && gray.channels() == 1)
            cv::cvtColor(gray, src, cv::COLOR_GRAY2BGRA);
        src = src.isContinuous() ? src : src.clone();
        std::memcpy(buffer.data(), src.data, std::min(buffer.size(), src.total() * src.elemSize()));
    }
    int next(int d, int method, int a, int b, int c, int shape)
    {
        const int i = saved.roiCount[d]++;
        saved.roiMethod[d][i] = method;
        saved.roiMinSize[d][i] = a;
        saved.roiSensibility[d][i] = b;
        saved.roiMaxArea[d][i] = c;
        saved.roiShape[d][i] = shape;
        return i;
    }
    int finish(int d, int i)
    {
        slot.liveMask[d][i] = saved.UpdateAreaMask(d, i);
        work = saved;
        slot.workMask = slot.liveMask;
        return i;
    }
};
