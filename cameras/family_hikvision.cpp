// Hikvision cameras: the SDK calls back with each frame on its own thread;
// GigE cameras may first need an address of their interface's subnet (the
// reachability sweep runs before each enumeration of the probe and of a
// loss).
#include "camerabackend.h"
#include "cameraglobals.h"
#include "family_rows.h"
#include "framehandover.h"
#include "hikvisionsdk.h"
#include "rangemap.h"

#include <cstring>

namespace hik = simsdk::hik;

namespace {

bool probeHikvision()
{
    hik::MV_CC_EnumDevices(hik::MV_GIGE_DEVICE | hik::MV_USB_DEVICE, &gDevList);
    if (gDevList.count == 0 || !gDevList.entries[0])
        return false;
    hik::Handle h = nullptr;
    if (hik::MV_CC_CreateHandle(&h, gDevList.entries[0]) != hik::MV_OK)
        return false;
    if (hik::MV_CC_OpenDevice(h, 1, 0) != hik::MV_OK) {
        hik::MV_CC_DestroyHandle(h);
        return false;
    }
    char model[64] = {};
    hik::MV_CC_GetStringValue(h, "DeviceModelName", model, sizeof model);
    const size_t len = strnlen(model, sizeof model);
    gSensorColor = (len > 0 && model[len - 1] == 'M') ? 0 : 1;
    hik::IntValue v;
    if (hik::MV_CC_GetIntValue(h, "WidthMax", &v) == hik::MV_OK) gOW = static_cast<int>(v.cur);
    if (hik::MV_CC_GetIntValue(h, "HeightMax", &v) == hik::MV_OK) gOH = static_cast<int>(v.cur);
    if (hik::MV_CC_GetIntValue(h, "Width", &v) == hik::MV_OK) gImageW = static_cast<int>(v.cur);
    if (hik::MV_CC_GetIntValue(h, "Height", &v) == hik::MV_OK) gImageH = static_cast<int>(v.cur);
    hik::MV_CC_CloseDevice(h);
    hik::MV_CC_DestroyHandle(h);
    gCameraID = CameraKindHikvision;
    gFindCamera = static_cast<int>(gDevList.count);
    return true;
}

int countHikvision()
{
    hik::MV_CC_EnumDevices(hik::MV_GIGE_DEVICE | hik::MV_USB_DEVICE, &gDevList);
    return static_cast<int>(gDevList.count);
}

unsigned pixelFormat()
{
    return (!gSensorColor || !gisColor) ? hik::PixelType_Mono8 : hik::PixelType_BayerRG8;
}

class HikvisionDriver : public CameraDriver {
public:
    using CameraDriver::CameraDriver;

    bool open() override
    {
        const QString sn = slot_.storedSerial();
        const hik::DeviceInfo* entry = nullptr;
        if (!sn.isEmpty()) {
            for (int i = 0; i < gFindCamera && i < static_cast<int>(gDevList.count); ++i) {
                const hik::DeviceInfo* e = gDevList.entries[i];
                if (e && e->transportType == hik::MV_GIGE_DEVICE && QString::fromLatin1(e->serialNumber) == sn) {
                    entry = e;
                    break;
                }
            }
        } else if (slot_.camIndex < static_cast<int>(gDevList.count)) {
            entry = gDevList.entries[slot_.camIndex];
        }
        if (!entry)
            return false;
        info_ = *entry;   // a copy: the list is replaced by the next enumeration
        if (hik::MV_CC_CreateHandle(&device_, &info_) != hik::MV_OK) {
            device_ = nullptr;
            return false;
        }
        if (hik::MV_CC_OpenDevice(device_, 1, 0) != hik::MV_OK) {
            hik::MV_CC_DestroyHandle(device_);
            device_ = nullptr;
            return false;
        }
        hik::MV_CC_SetEnumValue(device_, "UserSetSelector", hik::MV_USER_SET_DEFAULT);
        hik::MV_CC_SetCommandValue(device_, "UserSetLoad");
        hik::MV_CC_SetBoolValue(device_, "SharpnessEnable", true);
        hik::MV_CC_SetBoolValue(device_, "GammaEnable", true);
        hik::MV_CC_SetIntValue(device_, "GevHeartbeatTimeout", 500);
        hik::MV_CC_RegisterImageCallBack(device_, &HikvisionDriver::ImageCallBack, this);
        hik::MV_CC_RegisterExceptionCallBack(device_, &CameraBackend::ExceptionImageCallBack, slot_.backend);
        hik::MV_CC_SetEnumValue(device_, "PixelFormat", pixelFormat());
        return true;
    }

    bool start() override
    {
        hik::MV_CC_StartGrabbing(device_);
        return true;
    }

    void stop() override { hik::MV_CC_StopGrabbing(device_); }

    void close() override
    {
        hik::MV_CC_CloseDevice(device_);
        hik::MV_CC_DestroyHandle(device_);
        device_ = nullptr;
    }

    void setExposure(const CameraValues& v, const CameraSwitches&) override
    {
        hik::MV_CC_SetEnumValue(device_, "ExposureMode", 0);
        hik::MV_CC_SetEnumValue(device_, "ExposureAuto", 0);
        hik::MV_CC_SetFloatValue(device_, "ExposureTime", static_cast<float>(v.exposure * 1000.0));
    }

    void setGain(int g) override
    {
        hik::FloatValue f;
        hik::MV_CC_GetGain(device_, &f);
        hik::MV_CC_SetEnumValue(device_, "GainAuto", 0);
        hik::MV_CC_SetFloatValue(device_, "Gain", static_cast<float>(rangemap::map(f.min, f.max, 64, g)));
    }

    void setSharpness(int s) override
    {
        hik::IntValue iv;
        hik::MV_CC_GetSharpness(device_, &iv);
        const float value = static_cast<float>(iv.min) + static_cast<float>(iv.max - iv.min) / 100.0f * static_cast<float>(s);
        hik::MV_CC_SetIntValue(device_, "Sharpness", static_cast<int64_t>(value));
    }

    void setGamma(int m) override
    {
        hik::FloatValue f;
        hik::MV_CC_GetGamma(device_, &f);
        hik::MV_CC_SetFloatValue(device_, "Gamma", static_cast<float>(rangemap::map(f.min, f.max, 250, m)));
    }

    void whiteBalanceOnce() override { hik::MV_CC_SetBalanceWhiteAuto(device_, hik::MV_BALANCEWHITE_AUTO_ONCE); }

    void setTrigger(bool external, bool) override
    {
        if (external) {
            hik::MV_CC_SetEnumValue(device_, "TriggerMode", hik::MV_TRIGGER_MODE_ON);
            hik::MV_CC_SetEnumValue(device_, "TriggerSource", hik::MV_TRIGGER_SOURCE_LINE0);
        } else {
            hik::MV_CC_SetEnumValue(device_, "TriggerMode", hik::MV_TRIGGER_MODE_OFF);
        }
    }

    void setCaptureSpeed(int speed) override
    {
        hik::MV_CC_SetBoolValue(device_, "AcquisitionFrameRateEnable", true);
        hik::MV_CC_SetFloatValue(device_, "AcquisitionFrameRate", speed <= 4 ? 20.0f : static_cast<float>(speed));
    }

    void restoreDefaults(CameraValues back) override
    {
        slot_.backend->CameraStop();
        hik::MV_CC_SetEnumValue(device_, "UserSetSelector", hik::MV_USER_SET_DEFAULT);
        hik::MV_CC_SetCommandValue(device_, "UserSetLoad");
        hik::MV_CC_SetEnumValue(device_, "PixelFormat", pixelFormat());
        slot_.backend->CameraStart();
        hik::FloatValue f;
        hik::MV_CC_GetFloatValue(device_, "ExposureTime", &f);
        back.exposure = static_cast<int>(f.cur / 1000);
        hik::MV_CC_GetGain(device_, &f);
        back.gain = rangemap::readBack(f.cur, f.min, f.max, 64);
        hik::IntValue iv;
        hik::MV_CC_GetSharpness(device_, &iv);
        back.sharpness = rangemap::readBack(static_cast<double>(iv.cur), static_cast<double>(iv.min), static_cast<double>(iv.max), 100);
        hik::MV_CC_GetGamma(device_, &f);
        back.gamma = rangemap::readBack(f.cur, f.min, f.max, 250);
        slot_.host->storeEditCameraValues(slot_.camIndex, back);
    }

    bool readSerial(QByteArray* serial) override
    {
        // Other transports store an empty text.
        *serial = info_.transportType == hik::MV_GIGE_DEVICE
            ? QByteArray(info_.serialNumber, static_cast<int>(strnlen(info_.serialNumber, 32)))
            : QByteArray();
        return true;
    }

    // Frames, on the SDK's thread.
    static void ImageCallBack(unsigned char* data, hik::FrameOutInfo* info, void* user)
    {
        auto* self = static_cast<HikvisionDriver*>(user);
        if (!info || !data || !self)
            return;
        FrameHandOver& out = *self->slot_.frames;
        const size_t px = static_cast<size_t>(gImageLen);
        const bool sizeOk = static_cast<int>(info->width) == gImageW && static_cast<int>(info->height) == gImageH;
        const size_t need = px * (info->pixelType == hik::PixelType_RGB8_Packed ? 3 : 1);
        if (!sizeOk || info->frameLen < need) {
            out.drop();
            return;
        }
        if (gisColor && gSensorColor && info->pixelType != hik::PixelType_Mono8) {
            hik::ConvertParam p;
            p.width = static_cast<unsigned>(gImageW);
            p.height = static_cast<unsigned>(gImageH);
            p.srcPixelType = info->pixelType;
            p.srcData = data;
            p.srcDataLen = info->frameLen;
            p.dstPixelType = hik::PixelType_RGB8_Packed;
            p.dstBuffer = out.grabBuffer();
            p.dstBufferSize = static_cast<unsigned>(out.grabBufferSize());
            if (hik::MV_CC_ConvertPixelType(self->device_, &p) != hik::MV_OK) {
                out.drop();
                return;
            }
            out.deliverRgb(out.grabBuffer());
        } else if (info->pixelType == hik::PixelType_RGB8_Packed) {
            out.deliverRgb(data);
        } else {
            out.deliverGrey(data);   // a mono sensor is expanded in colour processing
        }
    }

private:
    hik::Handle device_ = nullptr;
    hik::DeviceInfo info_;
};

std::unique_ptr<CameraDriver> makeHikvision(const DriverSlot& slot)
{
    return std::make_unique<HikvisionDriver>(slot);
}
}

const CameraFamily kHikvisionFamily{CameraKindHikvision, "hikvision", &probeHikvision, &countHikvision,
                                    CameraFamily::Loss::ByCount, true, &makeHikvision};
