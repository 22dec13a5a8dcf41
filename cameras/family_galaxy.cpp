// Galaxy cameras: polled; the software contrast of the SDK's image library
// replaces the camera's own.
#include "cameraglobals.h"
#include "family_rows.h"
#include "framehandover.h"
#include "galaxysdk.h"
#include "rangemap.h"

#include <QMutexLocker>

#include <glog/logging.h>

#include <vector>

namespace gx = simsdk::gx;

namespace {

bool probeGalaxy()
{
    int st = gx::GXInitLib();
    if (st != 0)
        LOG(INFO) << st;
    uint32_t n = 0;
    st = gx::GXUpdateDeviceList(&n, 20);
    if (st != 0) {
        LOG(INFO) << st;
        return false;
    }
    if (n == 0) {
        LOG(INFO) << "find 0 MerCamera ";
        return false;
    }
    gx::DeviceHandle h = nullptr;
    st = gx::GXOpenDeviceByIndex(1, &h);
    if (st != 0) {
        LOG(INFO) << "Open MerCamera Error : " << st;
        return false;
    }
    int64_t v = 0;
    st = gx::GXGetInt(h, gx::GX_INT_WIDTH, &v);
    if (st != 0) {
        LOG(INFO) << "Get MerCamera width Error : " << st;
        gx::GXCloseDevice(h);
        return false;
    }
    gOW = static_cast<int>(v);
    st = gx::GXGetInt(h, gx::GX_INT_HEIGHT, &v);
    if (st != 0) {
        LOG(INFO) << "Get MerCamera height Error : " << st;
        gx::GXCloseDevice(h);
        return false;
    }
    gOH = static_cast<int>(v);
    if (gOW == 1280 && gisCut)
        setProbedSize(1120, 840);
    else if (gOW == 2048 && gisCut)
        setProbedSize(1600, 1200);
    else if (gOW == 2592)
        setProbedSize(1296, gOH / 2);
    else
        setProbedSize(gOW, gOH);
    LOG(INFO) << "find MerCamera count : " << n;
    gCameraID = CameraKindGalaxy;
    gFindCamera = static_cast<int>(n);
    gx::GXCloseDevice(h);
    return true;
}

int countGalaxy()
{
    uint32_t n = 0;
    return gx::GXUpdateDeviceList(&n, 1000) == 0 ? static_cast<int>(n) : 0;
}

class GalaxyDriver : public CameraDriver {
public:
    explicit GalaxyDriver(const DriverSlot& slot) : CameraDriver(slot)
    {
        image_.assign(static_cast<size_t>(gImageLen), 0);
        frame_.imgBuf = image_.data();
        frame_.imgBufSize = gImageLen;
    }

    CameraCapabilities capabilities() const override { return {true}; }

    bool open() override
    {
        const QString sn = slot_.storedSerial();
        int st;
        if (!sn.isEmpty()) {
            gx::OpenParam p;
            p.content = sn;
            p.openMode = 0;
            p.accessMode = 4;
            st = gx::GXOpenDevice(&p, &device_);
        } else {
            st = gx::GXOpenDeviceByIndex(static_cast<uint32_t>(slot_.camIndex + 1), &device_);
        }
        if (st != gx::GX_STATUS_SUCCESS) {
            device_ = nullptr;
            return false;
        }
        gx::GXSetInt(device_, gx::GX_INT_ACQUISITION_SPEED_LEVEL, 0);
        if (gImageW * 2 == gOW) {
            for (uint32_t id : {gx::GX_INT_BINNING_HORIZONTAL, gx::GX_INT_BINNING_VERTICAL,
                                gx::GX_INT_DECIMATION_HORIZONTAL, gx::GX_INT_DECIMATION_VERTICAL})
                gx::GXSetInt(device_, id, gx::GX_HALF_RESOLUTION);
            gx::GXSetInt(device_, gx::GX_INT_OFFSET_X, 0);
            gx::GXSetInt(device_, gx::GX_INT_OFFSET_Y, 0);
        } else {
            gx::GXSetInt(device_, gx::GX_INT_OFFSET_X, (gOW - gImageW) / 2);
            gx::GXSetInt(device_, gx::GX_INT_OFFSET_Y, (gOH - gImageH) / 2);
        }
        gx::GXSetInt(device_, gx::GX_INT_WIDTH, gImageW);
        gx::GXSetInt(device_, gx::GX_INT_HEIGHT, gImageH);
        gx::GXSetEnum(device_, gx::GX_ENUM_SHARPNESS_MODE, gx::GX_SHARPNESS_MODE_ON);
        gx::GXSetBool(device_, gx::GX_BOOL_GAMMA_ENABLE, true);
        return true;
    }

    bool start() override
    {
        gx::GXSendCommand(device_, gx::GX_COMMAND_ACQUISITION_START);
        return true;
    }

    void stop() override { gx::GXSendCommand(device_, gx::GX_COMMAND_ACQUISITION_STOP); }

    void close() override
    {
        gx::GXCloseDevice(device_);
        device_ = nullptr;
    }

    GrabResult grab() override
    {
        const int rc = gx::GXGetImage(device_, &frame_, 100);
        if (rc != gx::GX_STATUS_SUCCESS)
            return rc != gx::GX_STATUS_TIMEOUT ? GrabResult::Error : GrabResult::Nothing;
        if (frame_.status != 0)
            return GrabResult::Nothing;
        FrameHandOver& frames = *slot_.frames;
        if (frame_.width != gImageW || frame_.height != gImageH || frame_.imgSize != gImageLen) {
            frames.drop();
            return GrabResult::Nothing;
        }
        int contrast;
        {
            QMutexLocker lock(pMutex[slot_.camIndex]);
            contrast = gContrast[slot_.camIndex];
        }
        gx::DxContrast(image_.data(), frames.grabBuffer(), gImageLen, contrast);
        frames.deliverGrey(frames.grabBuffer());
        return GrabResult::Frame;
    }

    void setExposure(const CameraValues& v, const CameraSwitches& s) override
    {
        if (s.autoExposure) {
            gx::GXSetEnum(device_, gx::GX_ENUM_EXPOSURE_AUTO, gx::GX_EXPOSURE_AUTO_CONTINUOUS);
        } else {
            gx::GXSetEnum(device_, gx::GX_ENUM_EXPOSURE_AUTO, gx::GX_EXPOSURE_AUTO_OFF);
            gx::FloatRange r;
            double value = v.exposure;
            if (gx::GXGetFloatRange(device_, gx::GX_FLOAT_EXPOSURE_TIME, &r) == gx::GX_STATUS_SUCCESS)
                value = rangemap::truncated(r.min, r.max, 100, v.exposure);
            gx::GXSetFloat(device_, gx::GX_FLOAT_EXPOSURE_TIME, value);
        }
        gx::GXSetEnum(device_, gx::GX_ENUM_AUTO_SHADING, s.autoShading ? gx::GX_AUTO_SHADING_ON : gx::GX_AUTO_SHADING_OFF);
    }

    void setGain(int g) override
    {
        gx::FloatRange r;
        if (gx::GXGetFloatRange(device_, gx::GX_FLOAT_GAIN, &r) == gx::GX_STATUS_SUCCESS)
            gx::GXSetFloat(device_, gx::GX_FLOAT_GAIN, rangemap::truncated(r.min, r.max, 64, g));
    }

    void setSharpness(int s) override
    {
        gx::FloatRange r;
        if (gx::GXGetFloatRange(device_, gx::GX_FLOAT_SHARPNESS, &r) == gx::GX_STATUS_SUCCESS)
            gx::GXSetFloat(device_, gx::GX_FLOAT_SHARPNESS, rangemap::truncated(r.min, r.max, 100, s));
    }

    void setContrast(int k) override
    {
        QMutexLocker lock(pMutex[slot_.camIndex]);
        gContrast[slot_.camIndex] = k > 150 ? 100 : k - 50;
    }

    void setGamma(int m) override
    {
        gx::FloatRange r;
        if (gx::GXGetFloatRange(device_, gx::GX_FLOAT_GAMMA, &r) == gx::GX_STATUS_SUCCESS)
            gx::GXSetFloat(device_, gx::GX_FLOAT_GAMMA, rangemap::map(r.min, r.max, 250, m));
    }

    void setTrigger(bool /*external*/, bool restart) override
    {
        // The external-trigger switch is not applied to this family.
        if (restart)
            gx::GXSendCommand(device_, gx::GX_COMMAND_ACQUISITION_STOP);
        gx::GXSetEnum(device_, gx::GX_ENUM_ACQUISITION_MODE, gx::GX_ACQ_MODE_CONTINUOUS);
        gx::GXSetEnum(device_, gx::GX_ENUM_TRIGGER_MODE, gx::GX_TRIGGER_MODE_OFF);
        if (restart)
            gx::GXSendCommand(device_, gx::GX_COMMAND_ACQUISITION_START);
    }

private:
    gx::DeviceHandle device_ = nullptr;
    gx::FrameData frame_;
    std::vector<uint8_t> image_;
};

std::unique_ptr<CameraDriver> makeGalaxy(const DriverSlot& slot)
{
    return std::make_unique<GalaxyDriver>(slot);
}
}

const CameraFamily kGalaxyFamily{CameraKindGalaxy, "galaxy", &probeGalaxy, &countGalaxy, CameraFamily::Loss::Always, false, &makeGalaxy};
