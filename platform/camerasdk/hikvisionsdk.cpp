#include "hikvisionsdk.h"

#include "simsession.h"

#include <cstring>

namespace simsdk::hik {

using namespace camsim;

namespace {
struct HikSession : Session {
    using Session::Session;
    bool opened = false;
    ImageCallback imageCb = nullptr;
    void* imageUser = nullptr;
    ExceptionCallback excCb = nullptr;
    void* excUser = nullptr;
};

std::mutex gListMutex;
std::vector<DeviceInfo> gEntries;   // the SDK's storage behind DeviceInfoList

void log(const QString& s) { bus().log().add(s); }
HikSession* S(Handle h) { return static_cast<HikSession*>(h); }

uint32_t ipv4(const QString& text) { return ipFromText(text); }

DeviceInfo infoOf(const Device& d)
{
    DeviceInfo i;
    const auto& c = d.config();
    i.transportType = c.transport == 4 ? MV_USB_DEVICE : MV_GIGE_DEVICE;
    const QByteArray sn = c.serial.toLatin1().left(63);
    if (i.transportType == MV_GIGE_DEVICE)
        std::memcpy(i.serialNumber, sn.constData(), static_cast<size_t>(sn.size()));
    else
        std::memcpy(i.usbSerial, sn.constData(), static_cast<size_t>(sn.size()));
    const QByteArray m = c.model.toLatin1().left(63);
    std::memcpy(i.modelName, m.constData(), static_cast<size_t>(m.size()));
    i.currentIp = ipv4(d.ip());
    i.currentSubnetMask = ipv4(c.mask);
    i.netExport = ipv4(c.localIp);
    const QStringList mac = c.mac.split(QLatin1Char(':'));
    for (int k = 0; k < 6 && k < mac.size(); ++k)
        i.mac[k] = static_cast<uint8_t>(mac[k].toUInt(nullptr, 16));
    return i;
}

// The device behind an entry, by its serial: the bus may have changed since
// the enumeration, and a layer filter leaves gaps, so positions do not pair.
std::shared_ptr<Device> deviceOf(const DeviceInfo* info)
{
    const char* sn = info->transportType == MV_USB_DEVICE ? info->usbSerial : info->serialNumber;
    const QString serial = QString::fromLatin1(sn, static_cast<int>(qstrnlen(sn, sizeof(info->serialNumber))));
    if (serial.isEmpty())
        return nullptr;
    auto d = bus().find(serial);
    return d && d->config().family == Family::Hikvision ? d : nullptr;
}

int setNumber(Handle h, const char* call, const char* name, double v)
{
    log(QStringLiteral("%1 %2 %3").arg(QLatin1String(call), QLatin1String(name), QString::number(v, 'g', 12)));
    if (!h || !S(h)->opened)
        return MV_E_HANDLE;
    if (!S(h)->dev->hasFeature(QString::fromLatin1(name)))
        return MV_E_SUPPORT;
    S(h)->dev->setValue(QString::fromLatin1(name), v);
    const QString n = QString::fromLatin1(name);
    if (n == QLatin1String("Width") || n == QLatin1String("Height"))
        S(h)->dev->setWindow(static_cast<int>(S(h)->dev->value(QStringLiteral("Width"))),
                             static_cast<int>(S(h)->dev->value(QStringLiteral("Height"))));
    else if (n == QLatin1String("PixelFormat"))
        S(h)->dev->setFormat(static_cast<unsigned>(v) == PixelType_Mono8 ? PixelFormat::Mono8 : PixelFormat::BayerRG8);
    else if (n == QLatin1String("TriggerMode"))
        S(h)->dev->setExternalTrigger(v != 0);
    return MV_OK;
}
}

int MV_CC_EnumDevices(unsigned layers, DeviceInfoList* list)
{
    const auto devs = bus().devices(Family::Hikvision);
    std::lock_guard<std::mutex> lk(gListMutex);
    gEntries.clear();
    for (const auto& d : devs) {
        const DeviceInfo i = infoOf(*d);
        if ((i.transportType & layers) && gEntries.size() < 256)
            gEntries.push_back(i);
    }
    *list = DeviceInfoList{};
    list->count = static_cast<unsigned>(gEntries.size());
    for (size_t k = 0; k < gEntries.size(); ++k)
        list->entries[k] = &gEntries[k];
    log(QStringLiteral("MV_CC_EnumDevices %1 %2").arg(layers).arg(list->count));
    return MV_OK;
}

int MV_CC_CreateHandle(Handle* h, const DeviceInfo* info)
{
    log(QStringLiteral("MV_CC_CreateHandle %1").arg(QString::fromLatin1(info ? info->serialNumber : "")));
    if (!info)
        return MV_E_PARAMETER;
    auto d = deviceOf(info);
    if (!d)
        return MV_E_PARAMETER;
    *h = new HikSession(d);
    return MV_OK;
}

int MV_CC_DestroyHandle(Handle h)
{
    log(QStringLiteral("MV_CC_DestroyHandle"));
    if (!h)
        return MV_E_HANDLE;
    if (S(h)->opened)
        MV_CC_CloseDevice(h);
    delete S(h);
    return MV_OK;
}

int MV_CC_OpenDevice(Handle h, unsigned accessMode, unsigned short key)
{
    log(QStringLiteral("MV_CC_OpenDevice %1 %2").arg(accessMode).arg(key));
    if (!h)
        return MV_E_HANDLE;
    if (const int rc = openDevice(*S(h)->dev, MV_E_NODATA, MV_E_ACCESS_DENIED))
        return rc;
    S(h)->opened = true;
    S(h)->closed = false;   // a handle may open its device again
    return MV_OK;
}

int MV_CC_CloseDevice(Handle h)
{
    log(QStringLiteral("MV_CC_CloseDevice"));
    if (!h || !S(h)->opened)
        return MV_E_HANDLE;
    S(h)->close();
    S(h)->opened = false;
    return MV_OK;
}

int MV_CC_GetIntValue(Handle h, const char* name, IntValue* v)
{
    if (!h || !S(h)->opened)
        return MV_E_HANDLE;
    if (!S(h)->dev->hasFeature(QString::fromLatin1(name)))
        return MV_E_SUPPORT;
    const Feature f = S(h)->dev->feature(QString::fromLatin1(name));
    *v = IntValue{static_cast<int64_t>(f.value), static_cast<int64_t>(f.min), static_cast<int64_t>(f.max)};
    return MV_OK;
}

int MV_CC_SetIntValue(Handle h, const char* name, int64_t v) { return setNumber(h, "MV_CC_SetIntValue", name, static_cast<double>(v)); }

int MV_CC_GetFloatValue(Handle h, const char* name, FloatValue* v)
{
    if (!h || !S(h)->opened)
        return MV_E_HANDLE;
    if (!S(h)->dev->hasFeature(QString::fromLatin1(name)))
        return MV_E_SUPPORT;
    const Feature f = S(h)->dev->feature(QString::fromLatin1(name));
    *v = FloatValue{static_cast<float>(f.value), static_cast<float>(f.min), static_cast<float>(f.max)};
    return MV_OK;
}

int MV_CC_SetFloatValue(Handle h, const char* name, float v) { return setNumber(h, "MV_CC_SetFloatValue", name, v); }
int MV_CC_SetEnumValue(Handle h, const char* name, unsigned v) { return setNumber(h, "MV_CC_SetEnumValue", name, v); }

int MV_CC_GetEnumValue(Handle h, const char* name, unsigned* v)
{
    IntValue i;
    const int rc = MV_CC_GetIntValue(h, name, &i);
    if (rc == MV_OK)
        *v = static_cast<unsigned>(i.cur);
    return rc;
}

int MV_CC_SetBoolValue(Handle h, const char* name, bool v) { return setNumber(h, "MV_CC_SetBoolValue", name, v ? 1 : 0); }

int MV_CC_SetCommandValue(Handle h, const char* name)
{
    log(QStringLiteral("MV_CC_SetCommandValue %1").arg(QLatin1String(name)));
    if (!h || !S(h)->opened)
        return MV_E_HANDLE;
    if (QLatin1String(name) == QLatin1String("UserSetLoad")) {
        // Loading the default user set restores the factory values, but the
        // camera keeps its window.
        Device& d = *S(h)->dev;
        const int w = d.windowWidth(), hh = d.windowHeight();
        d.resetFeatures();
        d.defineFeature(QStringLiteral("Width"), w, 16, d.config().width);
        d.defineFeature(QStringLiteral("Height"), hh, 16, d.config().height);
    }
    return MV_OK;
}

int MV_CC_GetStringValue(Handle h, const char* name, char* buffer, unsigned size)
{
    if (!h || !S(h)->opened || !buffer || size == 0)
        return MV_E_HANDLE;
    const QByteArray t = S(h)->dev->feature(QString::fromLatin1(name)).text.toLatin1().left(static_cast<int>(size) - 1);
    std::memset(buffer, 0, size);
    std::memcpy(buffer, t.constData(), static_cast<size_t>(t.size()));
    return MV_OK;
}

int MV_CC_GetGain(Handle h, FloatValue* v) { return MV_CC_GetFloatValue(h, "Gain", v); }
int MV_CC_GetSharpness(Handle h, IntValue* v) { return MV_CC_GetIntValue(h, "Sharpness", v); }
int MV_CC_GetGamma(Handle h, FloatValue* v) { return MV_CC_GetFloatValue(h, "Gamma", v); }
int MV_CC_SetBalanceWhiteAuto(Handle h, unsigned mode) { return setNumber(h, "MV_CC_SetBalanceWhiteAuto", "BalanceWhiteAuto", mode); }

int MV_CC_RegisterImageCallBack(Handle h, ImageCallback cb, void* user)
{
    log(QStringLiteral("MV_CC_RegisterImageCallBack"));
    if (!h)
        return MV_E_HANDLE;
    S(h)->imageCb = cb;
    S(h)->imageUser = user;
    return MV_OK;
}

int MV_CC_RegisterExceptionCallBack(Handle h, ExceptionCallback cb, void* user)
{
    log(QStringLiteral("MV_CC_RegisterExceptionCallBack"));
    if (!h)
        return MV_E_HANDLE;
    S(h)->excCb = cb;
    S(h)->excUser = user;
    return MV_OK;
}

int MV_CC_StartGrabbing(Handle h)
{
    log(QStringLiteral("MV_CC_StartGrabbing"));
    if (!h || !S(h)->opened)
        return MV_E_HANDLE;
    HikSession* s = S(h);
    s->dev->startStream(
        [s](const Frame& f) {
            if (!s->imageCb)
                return;
            FrameOutInfo info;
            info.width = static_cast<unsigned>(f.width);
            info.height = static_cast<unsigned>(f.height);
            info.pixelType = f.format == PixelFormat::Mono8 ? PixelType_Mono8
                           : f.format == PixelFormat::BayerRG8 ? PixelType_BayerRG8 : PixelType_RGB8_Packed;
            info.frameLen = static_cast<unsigned>(f.data.size());
            info.frameNum = f.number;
            s->imageCb(const_cast<unsigned char*>(f.data.data()), &info, s->imageUser);
        },
        [s] {
            if (s->excCb)
                s->excCb(MV_EXCEPTION_DEV_DISCONNECT, s->excUser);
        });
    return MV_OK;
}

int MV_CC_StopGrabbing(Handle h)
{
    log(QStringLiteral("MV_CC_StopGrabbing"));
    if (!h)
        return MV_E_HANDLE;
    S(h)->stop();
    return MV_OK;
}

int MV_CC_ConvertPixelType(Handle h, ConvertParam* p)
{
    if (!h || !p || !p->srcData || !p->dstBuffer)
        return MV_E_PARAMETER;
    const size_t px = static_cast<size_t>(p->width) * p->height;
    if (p->dstPixelType != PixelType_RGB8_Packed || p->dstBufferSize < px * 3)
        return MV_E_PARAMETER;
    if (p->srcPixelType == PixelType_BayerRG8 && p->srcDataLen >= px)
        bayerRGToRgb(p->srcData, p->dstBuffer, static_cast<int>(p->width), static_cast<int>(p->height));
    else if (p->srcPixelType == PixelType_Mono8 && p->srcDataLen >= px)
        monoToRgb(p->srcData, p->dstBuffer, static_cast<int>(p->width), static_cast<int>(p->height));
    else if (p->srcPixelType == PixelType_RGB8_Packed && p->srcDataLen >= px * 3)
        std::memcpy(p->dstBuffer, p->srcData, px * 3);
    else
        return MV_E_PARAMETER;
    p->dstLen = static_cast<unsigned>(px * 3);
    return MV_OK;
}

int MV_GIGE_ForceIpEx(Handle h, uint32_t ip, uint32_t mask, uint32_t gateway)
{
    log(QStringLiteral("MV_GIGE_ForceIpEx %1 %2 %3").arg(ipToText(ip), ipToText(mask), ipToText(gateway)));
    if (!h)
        return MV_E_HANDLE;
    if (S(h)->dev->config().transport != 1)
        return MV_E_SUPPORT;
    S(h)->dev->setIp(ipToText(ip));
    return MV_OK;
}

}  // namespace simsdk::hik
