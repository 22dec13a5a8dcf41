// uEye cameras: polled; the SDK writes each frame into image memory we give
// it and counts it.  Always 8-bit mono at 1280 x 1024.
#include "cameraglobals.h"
#include "clock.h"
#include "family_rows.h"
#include "framehandover.h"
#include "ueyesdk.h"

#include <cstring>

namespace ueye = simsdk::ueye;

namespace {

bool probeUEye()
{
    ueye::CameraUSBDeviceInit();
    int n = 0;
    if (ueye::is_GetNumberOfCameras(&n) != ueye::IS_SUCCESS || n <= 0)
        return false;
    ueye::HIDS h = ueye::IS_USE_DEVICE_ID;
    if (ueye::is_InitCamera(&h, nullptr) != ueye::IS_SUCCESS)
        return false;
    ueye::SensorInfo info;
    if (ueye::is_GetSensorInfo(h, &info) != ueye::IS_SUCCESS) {
        ueye::is_ExitCamera(h);
        return false;
    }
    setProbedSize(1280, 1024);
    gCameraID = CameraKindUEye;
    appClock().sleepMs(3000);
    ueye::is_GetNumberOfCameras(&n);
    gFindCamera = n;
    ueye::is_ExitCamera(h);
    return true;
}

int countUEye()
{
    int n = 0;
    return ueye::is_GetNumberOfCameras(&n) == ueye::IS_SUCCESS ? n : 0;
}

class UEyeDriver : public CameraDriver {
public:
    using CameraDriver::CameraDriver;

    CameraCapabilities capabilities() const override { return {true}; }

    bool open() override
    {
        const QString sn = slot_.storedSerial();
        ueye::HIDS h = 0;
        if (!sn.isEmpty() && sn.size() <= 19) {
            int n = 0;
            ueye::is_GetNumberOfCameras(&n);
            bool found = false;
            for (int i = 0; i < n && !found; ++i) {
                h = static_cast<ueye::HIDS>(i + 1) | ueye::IS_USE_DEVICE_ID;
                if (ueye::is_InitCamera(&h, nullptr) != ueye::IS_SUCCESS)
                    continue;
                ueye::CameraInfo info;
                ueye::is_GetCameraInfo(h, &info);
                if (QString::fromLatin1(info.serial) == sn)
                    found = true;
                else
                    ueye::is_ExitCamera(h);
            }
            if (!found)
                return false;
        } else {
            h = static_cast<ueye::HIDS>(slot_.camIndex + 1) | ueye::IS_USE_DEVICE_ID;
            if (ueye::is_InitCamera(&h, nullptr) != ueye::IS_SUCCESS)
                return false;
        }
        cam_ = h;
        ueye::is_GetColorDepth(h, &bitsPerPixel_, &colorMode_);
        bitsPerPixel_ = 8;   // always 8-bit mono
        colorMode_ = ueye::IS_CM_MONO8;
        ueye::is_SetColorMode(h, colorMode_);
        if (ueye::is_AllocImageMem(h, gImageW, gImageH, bitsPerPixel_, &mem_, &memId_) != ueye::IS_SUCCESS
            || ueye::is_SetImageMem(h, mem_, memId_) != ueye::IS_SUCCESS) {
            if (mem_)
                ueye::is_FreeImageMem(h, mem_, memId_);
            mem_ = nullptr;
            ueye::is_ExitCamera(h);
            return false;
        }
        int size[2] = {gImageW, gImageH};
        ueye::is_AOI(h, ueye::IS_AOI_IMAGE_SET_SIZE, size, 8);
        double zero = 0.0;
        ueye::is_SetAutoParameter(h, ueye::IS_SET_ENABLE_AUTO_GAIN, &zero, nullptr);
        ueye::is_SetAutoParameter(h, ueye::IS_SET_ENABLE_AUTO_SHUTTER, &zero, nullptr);
        ueye::is_SetHardwareGamma(h, ueye::IS_SET_HW_GAMMA_ON);
        int clock = 5;
        ueye::is_PixelClock(h, ueye::IS_PIXELCLOCK_CMD_SET, &clock, 4);
        framesSeen_ = 0;
        wrongSizeSeen_ = 0;
        return true;
    }

    bool start() override
    {
        ueye::is_CaptureVideo(cam_, ueye::IS_WAIT);
        return true;
    }

    void stop() override { ueye::is_StopLiveVideo(cam_, ueye::IS_FORCE_VIDEO_STOP); }

    void close() override
    {
        ueye::is_FreeImageMem(cam_, mem_, memId_);
        mem_ = nullptr;
        ueye::is_ExitCamera(cam_);
    }

    GrabResult grab() override
    {
        uint64_t frames = 0;
        if (!mem_ || ueye::is_GetFramesCaptured(cam_, &frames) != ueye::IS_SUCCESS)
            return GrabResult::Error;
        countWrongSizeFrames();
        if (frames == framesSeen_)
            return GrabResult::Nothing;   // no new frame since the last look
        framesSeen_ = frames;
        FrameHandOver& out = *slot_.frames;
        if (ueye::is_CopyImageMem(cam_, mem_, memId_, reinterpret_cast<char*>(out.grabBuffer())) != ueye::IS_SUCCESS)
            return GrabResult::Nothing;
        out.deliverGrey(out.grabBuffer());
        return GrabResult::Frame;
    }

    void setExposure(const CameraValues& v, const CameraSwitches&) override
    {
        double ms = v.exposure;
        ueye::is_Exposure(cam_, ueye::IS_EXPOSURE_CMD_SET_EXPOSURE, &ms, 8);
    }

    void setGain(int g) override { ueye::is_SetHardwareGain(cam_, g, g, g, g); }

    void setGamma(int m) override { ueye::is_Gamma(cam_, ueye::IS_GAMMA_CMD_SET, &m, 4); }

    void setCaptureSpeed(int speed) override { ueye::is_PixelClock(cam_, ueye::IS_PIXELCLOCK_CMD_SET, &speed, 4); }

    bool readSerial(QByteArray* serial) override
    {
        ueye::CameraInfo info;
        if (ueye::is_GetCameraInfo(cam_, &info) != ueye::IS_SUCCESS)
            return false;
        *serial = QByteArray(info.serial, static_cast<int>(strnlen(info.serial, sizeof info.serial)));
        return true;
    }

private:
    ueye::HIDS cam_ = 0;
    char* mem_ = nullptr;
    int memId_ = 0;
    int colorMode_ = 0;
    int bitsPerPixel_ = 0;
    uint64_t framesSeen_ = 0;
    uint32_t wrongSizeSeen_ = 0;

    // The camera leaves a frame that does not fit the image memory unwritten
    // and only counts it; those count as dropped here, like a mis-sized
    // frame of the other families.
    void countWrongSizeFrames()
    {
        ueye::CaptureStatus status;
        if (ueye::is_CaptureStatus(cam_, ueye::IS_CAPTURE_STATUS_INFO_CMD_GET, &status, sizeof status) != ueye::IS_SUCCESS)
            return;
        for (; wrongSizeSeen_ < status.wrongSize; ++wrongSizeSeen_)
            slot_.frames->drop();
    }
};

std::unique_ptr<CameraDriver> makeUEye(const DriverSlot& slot)
{
    return std::make_unique<UEyeDriver>(slot);
}
}

const CameraFamily kUEyeFamily{CameraKindUEye, "ueye", &probeUEye, &countUEye, CameraFamily::Loss::Always, false, &makeUEye};
