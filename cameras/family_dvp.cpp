// DVP cameras: the SDK calls back with each frame on its own thread; the
// frame rate is set by keeping one frame in (speed + 1).
#include "family_dvp.h"

#include "camerabackend.h"
#include "cameraglobals.h"
#include "family_rows.h"
#include "framehandover.h"
#include "rangemap.h"

#include <glog/logging.h>

#include <algorithm>

namespace dvp = simsdk::dvp;

namespace {

bool probeDvp()
{
    uint32_t n = 0;
    if (dvp::dvpRefresh(&n) != dvp::DVP_STATUS_OK) {
        LOG(INFO) << "find camera fail";
        return false;
    }
    if (n == 0) {
        LOG(INFO) << "find camera count: 0";
        return false;
    }
    n = std::min<uint32_t>(n, 16);
    dvp::CameraInfo info;
    if (dvp::dvpEnum(0, &info) != dvp::DVP_STATUS_OK) {
        LOG(INFO) << "Enumerate fail!";
        return false;
    }
    dvp::dvpHandle h = 0;
    if (dvp::dvpOpenByName(info.friendlyName, dvp::OPEN_NORMAL, &h) != dvp::DVP_STATUS_OK)
        return false;   // no size without an open camera
    dvp::SensorInfo s;
    if (dvp::dvpGetSensorInfo(h, &s) == dvp::DVP_STATUS_OK)
        gSensorColor = s.colorSensor != 0 ? 1 : 0;
    dvp::Region roi;
    const bool roiOk = dvp::dvpGetRoi(h, &roi) == dvp::DVP_STATUS_OK && roi.w > 0 && roi.h > 0;
    dvp::dvpClose(h);
    if (!roiOk)
        return false;
    setProbedSize(roi.w, roi.h);
    gCameraID = CameraKindDvp;
    gFindCamera = static_cast<int>(n);
    return true;
}

int countDvp()
{
    uint32_t n = 0;
    return dvp::dvpRefresh(&n) == dvp::DVP_STATUS_OK ? static_cast<int>(std::min<uint32_t>(n, 16)) : 0;
}

int targetFormat()
{
    return (!gisColor || !gSensorColor) ? dvp::FORMAT_MONO8 : dvp::FORMAT_RGB24;
}

std::unique_ptr<CameraDriver> makeDvp(const DriverSlot& slot)
{
    return std::make_unique<DvpDriver>(slot);
}
}

const CameraFamily kDvpFamily{CameraKindDvp, "dvp", &probeDvp, &countDvp, CameraFamily::Loss::ByCount, false, &makeDvp};

bool DvpDriver::open()
{
    // The enumeration and the open must both succeed: a failed open is no camera.
    if (dvp::dvpEnum(static_cast<uint32_t>(slot_.camIndex), &info_) != dvp::DVP_STATUS_OK)
        return false;
    if (dvp::dvpOpenByName(info_.friendlyName, dvp::OPEN_NORMAL, &camera_) != dvp::DVP_STATUS_OK) {
        camera_ = 0;
        return false;
    }
    dvp::dvpSetGammaState(camera_, true);
    dvp::dvpSetContrastState(camera_, true);
    dvp::dvpSetSharpnessState(camera_, true);
    dvp::dvpSetTargetFormat(camera_, targetFormat());
    dvp::dvpSetConfigString(camera_, "HdrEnable", "false");
    dvp::dvpSetAeOperation(camera_, dvp::AE_OP_OFF);
    dvp::dvpSetTriggerSource(camera_, dvp::TRIGGER_SOURCE_LINE1);
    dvp::dvpSetRoi(camera_, dvp::Region{0, 0, gImageW, gImageH});
    dvp::dvpRegisterStreamCallback(camera_, &DvpDriver::dvpStreamCallback, dvp::EVENT_FRAME_END, this);
    counter_ = 0;
    return true;
}

bool DvpDriver::start()
{
    bool valid = false;
    dvp::dvpIsValid(camera_, &valid);
    int state = 0;
    if (!valid || dvp::dvpGetStreamState(camera_, &state) != dvp::DVP_STATUS_OK)
        return false;
    if (state == dvp::STREAM_STOPPED)
        dvp::dvpStart(camera_);
    return true;
}

void DvpDriver::stop()
{
    bool valid = false;
    int state = 0;
    dvp::dvpIsValid(camera_, &valid);
    if (valid && dvp::dvpGetStreamState(camera_, &state) == dvp::DVP_STATUS_OK && state == dvp::STREAM_STARTED)
        dvp::dvpStop(camera_);
}

void DvpDriver::close()
{
    dvp::dvpClose(camera_);
    camera_ = 0;
}

void DvpDriver::setExposure(const CameraValues& v, const CameraSwitches& s)
{
    if (s.autoExposure) {
        dvp::dvpSetAeOperation(camera_, dvp::AE_OP_CONTINUOUS);
    } else {
        dvp::dvpSetAeOperation(camera_, dvp::AE_OP_OFF);
        dvp::dvpSetExposure(camera_, v.exposure * 1000.0);
    }
    dvp::dvpSetConfigString(camera_, "HdrEnable", s.autoShading ? "true" : "false");
}

void DvpDriver::setGain(int g)
{
    dvp::FloatDescr d;
    dvp::dvpGetAnalogGainDescr(camera_, &d);
    dvp::dvpSetAnalogGain(camera_, static_cast<float>(rangemap::map(d.min, d.max, 64, g)));
}

void DvpDriver::setSharpness(int s)
{
    dvp::IntDescr d;
    dvp::dvpGetSharpnessDescr(camera_, &d);
    dvp::dvpSetSharpness(camera_, rangemap::truncated(d.min, d.max, 100, s));
}

void DvpDriver::setContrast(int k)
{
    dvp::IntDescr d;
    dvp::dvpGetContrastDescr(camera_, &d);
    dvp::dvpSetContrast(camera_, rangemap::truncated(d.min, d.max, 200, k));
}

void DvpDriver::setGamma(int m)
{
    dvp::IntDescr d;
    dvp::dvpGetGammaDescr(camera_, &d);
    dvp::dvpSetGamma(camera_, rangemap::truncated(d.min, d.max, 250, m));
}

void DvpDriver::setTrigger(bool external, bool)
{
    dvp::dvpSetTriggerState(camera_, external);
}

void DvpDriver::restoreDefaults(CameraValues back)
{
    slot_.backend->CameraStop();
    dvp::dvpLoadDefault(camera_);
    dvp::dvpSetAeOperation(camera_, dvp::AE_OP_OFF);
    dvp::dvpSetTargetFormat(camera_, targetFormat());
    dvp::dvpSetGammaState(camera_, true);
    dvp::dvpSetContrastState(camera_, true);
    dvp::dvpSetSharpnessState(camera_, true);
    dvp::dvpSetRoi(camera_, dvp::Region{0, 0, gImageW, gImageH});
    dvp::dvpSetConfigString(camera_, "HdrEnable", slot_.host->cameraSwitches(true).autoShading ? "true" : "false");
    double us = 0;
    dvp::dvpGetExposure(camera_, &us);
    back.exposure = static_cast<int>(us / 1000);
    float gain = 0;
    dvp::dvpGetAnalogGain(camera_, &gain);
    back.gain = static_cast<int>(gain);
    dvp::dvpGetSharpness(camera_, &back.sharpness);
    dvp::dvpGetGamma(camera_, &back.gamma);
    dvp::dvpGetContrast(camera_, &back.contrast);
    slot_.host->storeEditCameraValues(slot_.camIndex, back);
    slot_.backend->CameraStart();
}

int DvpDriver::dvpStreamCallback(dvp::dvpHandle, int, void* context, dvp::Frame* frame, void* buffer)
{
    auto* self = static_cast<DvpDriver*>(context);
    if (!self)
        return 0;
    self->counter_ += 1;
    if (self->counter_ > self->skip_)
        self->counter_ = 0;
    else
        return 0;   // decimated
    if (!frame || !buffer)
        return 0;
    FrameHandOver& out = *self->slot_.frames;
    const bool rgb = frame->format == dvp::FORMAT_RGB24;
    const size_t need = static_cast<size_t>(gImageLen) * (rgb ? 3 : 1);
    if (frame->width != gImageW || frame->height != gImageH || frame->size < 0
        || static_cast<size_t>(frame->size) < need) {
        out.drop();
        return 0;
    }
    if (rgb)
        out.deliverRgb(static_cast<const uint8_t*>(buffer));
    else
        out.deliverGrey(static_cast<const uint8_t*>(buffer));
    return 0;
}
