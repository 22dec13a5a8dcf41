#include "galaxysdk.h"

#include "simsession.h"

#include <algorithm>
#include <cstring>

namespace simsdk::gx {

using namespace camsim;

struct GxSession : Session {
    using Session::Session;
};

namespace {
QString idName(uint32_t id)
{
    return QStringLiteral("0x%1").arg(id, 8, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x"));
}
void log(const QString& s) { bus().log().add(s); }

int openDevice(const std::shared_ptr<Device>& d, DeviceHandle* h)
{
    if (!d)
        return GX_STATUS_NOT_FOUND_DEVICE;
    if (const int rc = camsim::openDevice(*d, GX_STATUS_NOT_FOUND_DEVICE, GX_STATUS_ERROR))
        return rc;
    *h = new GxSession(d);
    return GX_STATUS_SUCCESS;
}

void applyWindow(DeviceHandle h)
{
    Device& d = *h->dev;
    d.setWindow(static_cast<int>(d.value(QStringLiteral("0x100003EE"))),
                static_cast<int>(d.value(QStringLiteral("0x100003EF"))));
}
}

int GXInitLib()
{
    log(QStringLiteral("GXInitLib"));
    return GX_STATUS_SUCCESS;
}

int GXUpdateDeviceList(uint32_t* count, uint32_t timeoutMs)
{
    log(QStringLiteral("GXUpdateDeviceList %1").arg(timeoutMs));
    *count = static_cast<uint32_t>(bus().devices(Family::Galaxy).size());
    return GX_STATUS_SUCCESS;
}

int GXOpenDeviceByIndex(uint32_t index, DeviceHandle* h)
{
    log(QStringLiteral("GXOpenDeviceByIndex %1").arg(index));
    const auto list = bus().devices(Family::Galaxy);
    if (index < 1 || index > list.size())
        return GX_STATUS_NOT_FOUND_DEVICE;
    return openDevice(list[index - 1], h);
}

int GXOpenDevice(const OpenParam* param, DeviceHandle* h)
{
    log(QStringLiteral("GXOpenDevice %1 %2 %3").arg(param->content).arg(param->openMode).arg(param->accessMode));
    for (const auto& d : bus().devices(Family::Galaxy))
        if (d->serial() == param->content)
            return openDevice(d, h);
    return GX_STATUS_NOT_FOUND_DEVICE;
}

int GXCloseDevice(DeviceHandle h)
{
    log(QStringLiteral("GXCloseDevice"));
    if (!h)
        return GX_STATUS_INVALID_HANDLE;
    closeAndDelete(h);
    return GX_STATUS_SUCCESS;
}

int GXGetInt(DeviceHandle h, uint32_t id, int64_t* value)
{
    if (!h || !h->dev->hasFeature(idName(id)))
        return GX_STATUS_NOT_IMPLEMENTED;
    *value = static_cast<int64_t>(h->dev->value(idName(id)));
    return GX_STATUS_SUCCESS;
}

static int setNumber(DeviceHandle h, const char* kind, uint32_t id, double v)
{
    log(QStringLiteral("%1 %2 %3").arg(QLatin1String(kind), idName(id)).arg(v));
    if (!h)
        return GX_STATUS_INVALID_HANDLE;
    h->dev->setValue(idName(id), v);
    if (id == 0x100003EE || id == 0x100003EF)
        applyWindow(h);
    return GX_STATUS_SUCCESS;
}

int GXSetInt(DeviceHandle h, uint32_t id, int64_t value) { return setNumber(h, "GXSetInt", id, static_cast<double>(value)); }
int GXSetEnum(DeviceHandle h, uint32_t id, int64_t value) { return setNumber(h, "GXSetEnum", id, static_cast<double>(value)); }
int GXSetBool(DeviceHandle h, uint32_t id, bool value) { return setNumber(h, "GXSetBool", id, value ? 1 : 0); }
int GXSetFloat(DeviceHandle h, uint32_t id, double value) { return setNumber(h, "GXSetFloat", id, value); }

int GXGetFloat(DeviceHandle h, uint32_t id, double* value)
{
    if (!h || !h->dev->hasFeature(idName(id)))
        return GX_STATUS_NOT_IMPLEMENTED;
    *value = h->dev->value(idName(id));
    return GX_STATUS_SUCCESS;
}

int GXGetFloatRange(DeviceHandle h, uint32_t id, FloatRange* range)
{
    if (!h || !h->dev->hasFeature(idName(id)))
        return GX_STATUS_NOT_IMPLEMENTED;
    const Feature f = h->dev->feature(idName(id));
    range->min = f.min;
    range->max = f.max;
    range->inc = 0;
    return GX_STATUS_SUCCESS;
}

int GXSendCommand(DeviceHandle h, uint32_t id)
{
    log(QStringLiteral("GXSendCommand %1").arg(idName(id)));
    if (!h)
        return GX_STATUS_INVALID_HANDLE;
    if (id == 0x70000BB9) {
        applyWindow(h);
        h->dev->setFormat(PixelFormat::Mono8);
        h->startPolled();
    } else if (id == 0x70000BBA) {
        h->stop();
    }
    return GX_STATUS_SUCCESS;
}

int GXGetImage(DeviceHandle h, FrameData* frame, uint32_t timeoutMs)
{
    if (!h)
        return GX_STATUS_INVALID_HANDLE;
    thread_local Frame f;
    if (!h->waitFrame(&f, static_cast<int>(timeoutMs)))
        return h->dev->plugged() ? GX_STATUS_TIMEOUT : GX_STATUS_ERROR;
    frame->width = f.width;
    frame->height = f.height;
    frame->frameId = f.number;
    const int len = static_cast<int>(f.data.size());
    frame->imgSize = std::min(len, frame->imgBufSize);
    frame->status = len <= frame->imgBufSize ? 0 : -1;   // incomplete when it did not fit
    if (frame->imgBuf && frame->imgSize > 0)
        std::memcpy(frame->imgBuf, f.data.data(), static_cast<size_t>(frame->imgSize));
    return GX_STATUS_SUCCESS;
}

int DxContrast(const uint8_t* in, uint8_t* out, int length, int factor)
{
    if (!in || !out || length < 0 || factor < -50 || factor > 100)
        return -101;
    if (factor == 0) {
        if (in != out)
            std::memcpy(out, in, static_cast<size_t>(length));
        return 0;
    }
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v)
        lut[v] = static_cast<uint8_t>(std::clamp((v - 128) * (100 + factor) / 100 + 128, 0, 255));
    for (int i = 0; i < length; ++i)
        out[i] = lut[in[i]];
    return 0;
}

}  // namespace simsdk::gx
