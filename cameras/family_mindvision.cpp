// MindVision cameras: polled; the SDK's image processing turns the raw frame
// into grey or RGB.  The slot's serial is matched against the probe's list.
#include "camerabackend.h"
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "family_rows.h"
#include "framehandover.h"
#include "mindvisionsdk.h"
#include "rangemap.h"

#include <glog/logging.h>

#include <cstring>

namespace mv = simsdk::mv;

namespace {

bool probeMindVision()
{
    mv::CameraSdkInit(0);
    int n = kMindVisionListSize;
    mv::CameraEnumerateDevice(gCList, &n);
    mv::CameraHandle h = 0;
    if (n <= 0 || mv::CameraInit(&gCList[0], -1, -1, &h) != 0)
        return false;
    mv::Capability cap;
    mv::CameraGetCapability(h, &cap);
    gOW = cap.maxWidth;
    gOH = cap.maxHeight;
    gSensorColor = cap.isMono ? 0 : 1;
    if (gisCut && gOW == 1280)
        setProbedSize(1120, 840);
    else if (gisCut && gOW == 2048)
        setProbedSize(1600, 1200);
    else if (gisCut && gOW == 2592 && cap.presetCount > 0) {
        gImageResolution = cap.presets[0];
        setProbedSize(gImageResolution.width, gImageResolution.height);
    } else if (gisCut && gOW == 3088)
        setProbedSize(2592, 1944);
    else if (gisCut && gOW == 1600)
        setProbedSize(1300, 1000);
    else
        setProbedSize(gOW, gOH);
    gCameraID = CameraKindMindVision;
    gFindCamera = n;
    mv::CameraUnInit(h);
    n = kMindVisionListSize;
    mv::CameraEnumerateDevice(gCList, &n);   // fresh for the slots
    return true;
}

int countMindVision()
{
    int n = kMindVisionListSize;
    mv::CameraEnumerateDevice(gCList, &n);
    return n;
}

void setFormat(mv::CameraHandle h)
{
    if (!gSensorColor) {
        mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_MONO8);
        mv::CameraSetMonochrome(h, 0);
        return;
    }
    mv::CameraSetWbMode(h, 0);
    if (!gisColor) {
        if (gOW == 2048) {
            mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_MONO8);
            mv::CameraSetMonochrome(h, 1);
        } else {
            mv::CameraSetMediaType(h, mv::MEDIA_TYPE_INDEX_MONO);
            mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_MONO8);
        }
    } else if (gOW == 2048) {
        mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_RGB8);
        mv::CameraSetMonochrome(h, 0);
    } else {
        mv::CameraSetMediaType(h, mv::MEDIA_TYPE_INDEX_COLOUR);
        mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_RGB8);
    }
}

void setResolution(mv::CameraHandle h, bool usePreset)
{
    if (usePreset) {
        mv::CameraSetImageResolution(h, &gImageResolution);
        return;
    }
    mv::ImageResolution r;
    r.index = mv::IMAGE_RESOLUTION_CUSTOM;
    r.hOffsetFov = (gOW - gImageW) / 2;
    r.vOffsetFov = (gOH - gImageH) / 2;
    r.widthFov = gImageW;
    r.heightFov = gImageH;
    r.width = gImageW;
    r.height = gImageH;
    mv::CameraSetImageResolution(h, &r);
}

class MindVisionDriver : public CameraDriver {
public:
    using CameraDriver::CameraDriver;

    CameraCapabilities capabilities() const override { return {true, true}; }

    bool open() override
    {
        const QString sn = slot_.storedSerial();
        const int index = slot_.camIndex;
        int status;
        if (!sn.isEmpty()) {
            int found = -1;
            for (int i = 0; i < gFindCamera && i < kMindVisionListSize && found < 0; ++i)
                if (QString::fromLatin1(gCList[i].serial) == sn)
                    found = i;
            if (found >= 0) {
                slot_.host->insertRecord(QStringLiteral("Mind Open %1 = %2").arg(index + 1).arg(sn));
                status = mv::CameraInit(&gCList[found], -1, -1, &cam_);
                LOG(INFO) << "CameraInit 1 " << status;
            } else {
                status = -1;
            }
        } else {
            if (index >= kMindVisionListSize)
                return false;
            status = mv::CameraInit(&gCList[index], -1, -1, &cam_);
            LOG(INFO) << "CameraInit 2 " << status;
        }
        if (status != 0) {
            slot_.host->insertRecord(QStringLiteral("Mind Fail = %1").arg(status));
            cam_ = 0;
            return false;
        }
        mv::CameraGetCapability(cam_, &capability_);
        setResolution(cam_, gOW == 2592 && gisCut);
        setFormat(cam_);
        mv::CameraSetFrameSpeed(cam_, 0);
        mv::CameraSetConnectionStatusCallback(cam_, &CameraBackend::MindConnectStateCallBack, slot_.backend);
        mv::CameraCommonCall(cam_, "set_online_detect_interval(500)", nullptr, 0);
        return true;
    }

    bool start() override
    {
        mv::CameraPlay(cam_);
        return true;
    }

    void stop() override
    {
        if (cam_ > 0)
            mv::CameraStop(cam_);
    }

    void close() override
    {
        if (cam_ >= 1)
            mv::CameraUnInit(cam_);
        cam_ = 0;
    }

    GrabResult grab() override
    {
        const int rc = mv::CameraGetImageBuffer(cam_, &head_, &raw_, 100);
        if (rc != mv::CAMERA_STATUS_SUCCESS)
            return rc != mv::CAMERA_STATUS_TIME_OUT ? GrabResult::Error : GrabResult::Nothing;
        FrameHandOver& out = *slot_.frames;
        const bool rgb = head_.mediaType == mv::CAMERA_MEDIA_TYPE_RGB8;
        const size_t expected = static_cast<size_t>(gImageLen) * (rgb ? 3 : 1);
        if (head_.width != gImageW || head_.height != gImageH || static_cast<size_t>(head_.length) != expected) {
            mv::CameraReleaseImageBuffer(cam_, raw_);
            out.drop();
            return GrabResult::Nothing;
        }
        mv::CameraImageProcess(cam_, raw_, out.grabBuffer(), &head_);
        mv::CameraReleaseImageBuffer(cam_, raw_);
        if (rgb)
            out.deliverRgb(out.grabBuffer());
        else
            out.deliverGrey(out.grabBuffer());
        return GrabResult::Frame;
    }

    void setExposure(const CameraValues& v, const CameraSwitches& s) override
    {
        if (s.autoExposure) {
            mv::CameraSetAeState(cam_, 1);
        } else {
            mv::CameraSetAeState(cam_, 0);
            mv::CameraSetExposureTime(cam_, v.exposure * 1000.0);
        }
        mv::CameraCommonCall(cam_, s.autoShading ? "set_awdr_enable(true)" : "set_awdr_enable(false)", nullptr, 0);
    }

    void setGain(int g) override
    {
        int min = 0, max = 0;
        mv::CameraGetAeAnalogGainRange(cam_, &min, &max);
        mv::CameraSetAnalogGain(cam_, rangemap::truncated(min, max, 64, g));
    }

    void setSharpness(int s) override
    {
        mv::CameraSetSharpness(cam_, rangemap::wholeStep(capability_.sharpnessRange.min,
                                                         capability_.sharpnessRange.max, 100, s));
    }

    void setContrast(int k) override
    {
        mv::CameraSetContrast(cam_, rangemap::wholeStep(capability_.contrastRange.min,
                                                        capability_.contrastRange.max, 200, k));
    }

    void setGamma(int m) override
    {
        mv::CameraSetGamma(cam_, rangemap::wholeStep(capability_.gammaRange.min, capability_.gammaRange.max, 250, m));
    }

    void setMirror(bool vertical, bool on) override
    {
        mv::CameraSetMirror(cam_, vertical ? mv::MIRROR_VERTICAL : mv::MIRROR_HORIZONTAL, on);
    }

    void whiteBalanceOnce() override { mv::CameraSetOnceWB(cam_); }

    void setTrigger(bool external, bool) override
    {
        mv::CameraSetTriggerMode(cam_, external ? mv::TRIGGER_HARDWARE : mv::TRIGGER_CONTINUOUS);
    }

    void setCaptureSpeed(int speed) override { mv::CameraSetFrameSpeed(cam_, gisColor ? speed + 1 : speed); }

    void restoreDefaults(CameraValues back) override
    {
        CameraHost& host = *slot_.host;
        slot_.backend->CameraStop();
        mv::CameraLoadParameter(cam_, mv::PARAMETER_TEAM_DEFAULT);
        setResolution(cam_, false);
        setFormat(cam_);
        mv::CameraSetAeState(cam_, host.cameraSwitches(false).autoExposure ? 1 : 0);
        mv::CameraSetFrameSpeed(cam_, 0);
        double us = 0;
        mv::CameraGetExposureTime(cam_, &us);
        back.exposure = static_cast<int>(us / 1000);
        int gain = 0, gmin = 0, gmax = 0;
        mv::CameraGetAnalogGain(cam_, &gain);
        mv::CameraGetAeAnalogGainRange(cam_, &gmin, &gmax);
        back.gain = rangemap::readBack(gain, gmin, gmax, 64);
        int cur = 0;
        mv::CameraGetSharpness(cam_, &cur);
        back.sharpness = rangemap::readBackWholeStep(cur, capability_.sharpnessRange.min, capability_.sharpnessRange.max, 100);
        mv::CameraGetContrast(cam_, &cur);
        back.contrast = rangemap::readBackWholeStep(cur, capability_.contrastRange.min, capability_.contrastRange.max, 200);
        mv::CameraGetGamma(cam_, &cur);
        back.gamma = rangemap::readBackWholeStep(cur, capability_.gammaRange.min, capability_.gammaRange.max, 250);
        host.storeEditCameraValues(slot_.camIndex, back);
        slot_.backend->CameraStart();
        CameraSetSpeed();
    }

    // Target brightness 120 within 0..100 ms, anti-flicker on: the settings
    // the one-key exposure has always run with.
    bool beginAutoExposure() override
    {
        return mv::CameraSetAeState(cam_, 1) == 0 && mv::CameraSetAeTarget(cam_, 120) == 0
               && mv::CameraSetAeExposureRange(cam_, 0, 100000) == 0 && mv::CameraSetAntiFlick(cam_, 1) == 0;
    }

    bool endAutoExposure(AutoExposureReading* r) override
    {
        const bool off = mv::CameraSetAeState(cam_, 0) == 0;
        if (!r)
            return off;
        return mv::CameraGetExposureTime(cam_, &r->exposureUs) == 0 && mv::CameraGetAnalogGain(cam_, &r->gain) == 0
               && mv::CameraGetAeAnalogGainRange(cam_, &r->gainMin, &r->gainMax) == 0;
    }

    bool readSerial(QByteArray* serial) override
    {
        char buffer[32] = {};
        if (mv::CameraReadSN(cam_, buffer, 0) != 0)
            return false;
        *serial = QByteArray(buffer, static_cast<int>(strnlen(buffer, sizeof buffer)));
        return true;
    }

private:
    mv::CameraHandle cam_ = 0;
    mv::Capability capability_;
    uint8_t* raw_ = nullptr;
    mv::FrameHead head_;
};

std::unique_ptr<CameraDriver> makeMindVision(const DriverSlot& slot)
{
    return std::make_unique<MindVisionDriver>(slot);
}
}

const CameraFamily kMindVisionFamily{CameraKindMindVision, "mindvision", &probeMindVision, &countMindVision,
                                     CameraFamily::Loss::Always, false, &makeMindVision};
