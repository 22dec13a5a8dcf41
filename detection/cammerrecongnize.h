#pragma once
// The detection engine of one camera slot: positioning by a learned shape,
// training of the area matchers from the template library, the detection
// pass with its per-area verdicts, and the one-area preview of the area page.
// Takes no lock.  ShapeMatch and a Run that keeps its report touch only this
// engine and its slot (and read the host), so the engines of different
// cameras may judge at once; everything else runs on the GUI thread.
#include "cameraslotstate.h"
#include "cammersingleton.h"
#include "enginehost.h"
#include "findshape.h"
#include "graymatch.h"
#include "paramroirecord.h"
#include "similarity.h"

#include <opencv2/core.hpp>

#include <QList>
#include <QStringList>

#include <vector>

struct AreaJob;
struct AreaMethod;
struct AreaParams;

// Area errors of the detection pass, reported in the operation record.  An
// area that cannot judge anything is an error, never a silent pass.
enum RunError {
    // The area's mask is missing or not the size of its rectangle, or no
    // pixel of it is left to judge (after ignore points, ignore areas and,
    // in a shifted frame, the part the frame does not reach).
    RunErrorNoAreaMask = -1,
    RunErrorNoInspectMask = -2,  // the detection was never trained
    // The area's rectangle is empty or outside the image, or its method or
    // a parameter the method uses is out of range.
    RunErrorEmptyArea = -3,
};

// What a detection pass hands on beyond its slot: the operation records and
// the relay entries, in the order the pass made them.
struct PassReport {
    QStringList records;
    QList<param_roi> relayEntries;
};

class CammerRecong {
public:
    // Trains every enabled detection.  savedSet, owner and host belong to the
    // camera slot and outlive the engine.
    CammerRecong(CammerSingleton* savedSet, CameraSlotState* owner, EngineHost* host);

    // Builds the positioning model of detection d from its positioning areas
    // and template 0.
    void CreateShape(int d);
    // Aligns procFrame into alignedFrame for the host's current detection.
    void ShapeMatch();
    // Rebuilds the inspection mask and every matcher of detection d.
    void VarTrain(int d);
    // Judges detection d on alignedFrame.  With report, the pass's records
    // and relay entries are kept there instead of handed on.
    void Run(int d, PassReport* report = nullptr);
    // Hands a kept report on: records to the host, entries to g_listParamROI.
    void HandOn(const PassReport& report);
    // Evaluates one area of the work set on the picture the area page shows.
    void RunTest(int d, int area);

    CammerSingleton* savedSet;
    CameraSlotState* owner;
    EngineHost* host;
    cv::Mat inspectMask[kDetections];           // 255 inspected; empty until trained
    GrayMatch grayMatch[kDetections][kAreas];
    SURF surf[kDetections][kAreas];
    FindShape findShape[kDetections];
    int refX[kDetections] = {};
    int refY[kDetections] = {};
    cv::Rect searchRect[kDetections];

    // Largest filter size used by the blob stages.
    static constexpr int kMaxFilterSize = 100;

private:
    // Rectangle of area (d, i) clipped to the image, and the matching part
    // of its mask.  Returns 0 or a RunError.
    int areaGeometry(const CammerSingleton& set, const cv::Mat& areaMask, int d, int i, cv::Rect* rect,
                     cv::Mat* maskCut) const;
    // 8-bit picture of template t of detection d (colour: converted into
    // grayPlane).  Empty when the slot has no such buffer.
    cv::Mat templatePlane(int d, int t);
    // The plane the pass works on: alignedFrame, or its conversion.
    cv::Mat detectionPlane();
    // Checks area i of detection d for the pass (geometry, method and
    // parameters, a pixel left to judge) and prepares its job.  Returns 0 or
    // a RunError.
    int prepareArea(int d, int i, const AreaMethod* method, const cv::Mat& plane, cv::Mat& result,
                    AreaParams* params, AreaJob* job);
    bool validDetection(int d) const { return d >= 0 && d < kDetections; }
    // Records which pixels of alignedFrame came from the frame.
    void coverMoved(int dx, int dy);

    // 255 where alignedFrame holds frame pixels, 0 where positioning filled
    // it from the edge; empty when the frame covers all of it.  Set by
    // ShapeMatch, read by Run.
    cv::Mat alignedCover_;
};
