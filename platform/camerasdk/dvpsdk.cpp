#include "dvpsdk.h"

#include "simsession.h"

#include <cstring>

namespace simsdk::dvp {

using namespace camsim;

namespace {
struct DvpSession : Session {
    using Session::Session;
    StreamCallback cb = nullptr;
    void* context = nullptr;
    dvpHandle handle = 0;
    bool started = false;
};

HandleTable gHandles;
void log(const QString& s) { bus().log().add(s); }
DvpSession* get(dvpHandle h) { return static_cast<DvpSession*>(gHandles.get(static_cast<int>(h))); }

int setNumber(dvpHandle h, const char* call, const char* name, double v)
{
    log(QStringLiteral("%1 %2").arg(QLatin1String(call)).arg(v));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->dev->setValue(QString::fromLatin1(name), v);
    return DVP_STATUS_OK;
}

template <typename T>
int getNumber(dvpHandle h, const char* name, T* v)
{
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    *v = static_cast<T>(s->dev->value(QString::fromLatin1(name)));
    return DVP_STATUS_OK;
}

template <typename D>
int descr(dvpHandle h, const char* name, D* d)
{
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    const Feature f = s->dev->feature(QString::fromLatin1(name));
    d->min = static_cast<decltype(d->min)>(f.min);
    d->max = static_cast<decltype(d->max)>(f.max);
    return DVP_STATUS_OK;
}
}

int dvpRefresh(uint32_t* count)
{
    *count = static_cast<uint32_t>(bus().devices(Family::Dvp).size());
    log(QStringLiteral("dvpRefresh %1").arg(*count));
    return DVP_STATUS_OK;
}

int dvpEnum(uint32_t index, CameraInfo* info)
{
    log(QStringLiteral("dvpEnum %1").arg(index));
    const auto list = bus().devices(Family::Dvp);
    if (index >= list.size())
        return DVP_STATUS_NOT_FOUND;
    *info = CameraInfo{};
    const QByteArray sn = list[index]->serial().toLatin1().left(63);
    std::memcpy(info->serial, sn.constData(), static_cast<size_t>(sn.size()));
    std::memcpy(info->friendlyName, sn.constData(), static_cast<size_t>(sn.size()));   // the name is the serial
    return DVP_STATUS_OK;
}

int dvpOpenByName(const char* name, int mode, dvpHandle* h)
{
    log(QStringLiteral("dvpOpenByName %1 0x%2").arg(QLatin1String(name)).arg(mode, 0, 16));
    auto d = bus().find(QString::fromLatin1(name));
    if (!d || d->config().family != Family::Dvp)
        return DVP_STATUS_NOT_FOUND;
    if (const int rc = openDevice(*d, DVP_STATUS_NOT_FOUND, DVP_STATUS_FAILED))   // 0: open (DVP_STATUS_OK is 1)
        return rc;
    auto* s = new DvpSession(d);
    s->handle = static_cast<dvpHandle>(gHandles.add(s));
    *h = s->handle;
    return DVP_STATUS_OK;
}

int dvpClose(dvpHandle h)
{
    log(QStringLiteral("dvpClose"));
    auto* s = static_cast<DvpSession*>(gHandles.take(static_cast<int>(h)));
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    closeAndDelete(s);
    return DVP_STATUS_OK;
}

int dvpIsValid(dvpHandle h, bool* valid)
{
    DvpSession* s = get(h);
    *valid = s && s->dev->plugged();
    return DVP_STATUS_OK;
}

int dvpGetSensorInfo(dvpHandle h, SensorInfo* info)
{
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    info->colorSensor = s->dev->config().mono ? 0 : 1;
    info->maxWidth = s->dev->config().width;
    info->maxHeight = s->dev->config().height;
    return DVP_STATUS_OK;
}

int dvpGetRoi(dvpHandle h, Region* roi)
{
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    *roi = Region{0, 0, s->dev->windowWidth(), s->dev->windowHeight()};
    return DVP_STATUS_OK;
}

int dvpSetRoi(dvpHandle h, Region roi)
{
    log(QStringLiteral("dvpSetRoi %1 %2 %3 %4").arg(roi.x).arg(roi.y).arg(roi.w).arg(roi.h));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->dev->setWindow(roi.w, roi.h);
    return DVP_STATUS_OK;
}

int dvpSetGammaState(dvpHandle h, bool on) { return setNumber(h, "dvpSetGammaState", "GammaState", on); }
int dvpSetContrastState(dvpHandle h, bool on) { return setNumber(h, "dvpSetContrastState", "ContrastState", on); }
int dvpSetSharpnessState(dvpHandle h, bool on) { return setNumber(h, "dvpSetSharpnessState", "SharpnessState", on); }

int dvpSetTargetFormat(dvpHandle h, int format)
{
    DvpSession* s = get(h);
    const int rc = setNumber(h, "dvpSetTargetFormat", "TargetFormat", format);
    if (s)
        s->dev->setFormat(format == FORMAT_RGB24 ? PixelFormat::Rgb24 : PixelFormat::Mono8);
    return rc;
}

int dvpSetConfigString(dvpHandle h, const char* name, const char* value)
{
    log(QStringLiteral("dvpSetConfigString %1 %2").arg(QLatin1String(name), QLatin1String(value)));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->dev->setText(QString::fromLatin1(name), QString::fromLatin1(value));
    return DVP_STATUS_OK;
}

int dvpSetAeOperation(dvpHandle h, int op) { return setNumber(h, "dvpSetAeOperation", "AeOperation", op); }
int dvpSetTriggerSource(dvpHandle h, int source) { return setNumber(h, "dvpSetTriggerSource", "TriggerSource", source); }

int dvpSetTriggerState(dvpHandle h, bool on)
{
    DvpSession* s = get(h);
    const int rc = setNumber(h, "dvpSetTriggerState", "TriggerState", on);
    if (s)
        s->dev->setExternalTrigger(on);
    return rc;
}

int dvpRegisterStreamCallback(dvpHandle h, StreamCallback cb, int event, void* context)
{
    log(QStringLiteral("dvpRegisterStreamCallback %1").arg(event));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->cb = cb;
    s->context = context;
    return DVP_STATUS_OK;
}

int dvpGetStreamState(dvpHandle h, int* state)
{
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    *state = s->started ? STREAM_STARTED : STREAM_STOPPED;
    return DVP_STATUS_OK;
}

int dvpStart(dvpHandle h)
{
    log(QStringLiteral("dvpStart"));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->started = true;
    s->dev->startStream([s](const camsim::Frame& f) {
        if (!s->cb)
            return;
        dvp::Frame info;
        info.format = f.format == PixelFormat::Rgb24 ? FORMAT_RGB24 : FORMAT_MONO8;
        info.width = f.width;
        info.height = f.height;
        info.size = static_cast<int>(f.data.size());
        info.frameId = f.number;
        s->cb(s->handle, EVENT_FRAME_END, s->context, &info, const_cast<uint8_t*>(f.data.data()));
    });
    return DVP_STATUS_OK;
}

int dvpStop(dvpHandle h)
{
    log(QStringLiteral("dvpStop"));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->dev->stopStream();
    s->started = false;
    return DVP_STATUS_OK;
}

int dvpSetExposure(dvpHandle h, double us) { return setNumber(h, "dvpSetExposure", "Exposure", us); }
int dvpGetExposure(dvpHandle h, double* us) { return getNumber(h, "Exposure", us); }
int dvpGetAnalogGainDescr(dvpHandle h, FloatDescr* d) { return descr(h, "AnalogGain", d); }
int dvpSetAnalogGain(dvpHandle h, float v) { return setNumber(h, "dvpSetAnalogGain", "AnalogGain", v); }
int dvpGetAnalogGain(dvpHandle h, float* v) { return getNumber(h, "AnalogGain", v); }
int dvpGetSharpnessDescr(dvpHandle h, IntDescr* d) { return descr(h, "Sharpness", d); }
int dvpSetSharpness(dvpHandle h, int v) { return setNumber(h, "dvpSetSharpness", "Sharpness", v); }
int dvpGetSharpness(dvpHandle h, int* v) { return getNumber(h, "Sharpness", v); }
int dvpGetContrastDescr(dvpHandle h, IntDescr* d) { return descr(h, "Contrast", d); }
int dvpSetContrast(dvpHandle h, int v) { return setNumber(h, "dvpSetContrast", "Contrast", v); }
int dvpGetContrast(dvpHandle h, int* v) { return getNumber(h, "Contrast", v); }
int dvpGetGammaDescr(dvpHandle h, IntDescr* d) { return descr(h, "Gamma", d); }
int dvpSetGamma(dvpHandle h, int v) { return setNumber(h, "dvpSetGamma", "Gamma", v); }
int dvpGetGamma(dvpHandle h, int* v) { return getNumber(h, "Gamma", v); }

int dvpLoadDefault(dvpHandle h)
{
    log(QStringLiteral("dvpLoadDefault"));
    DvpSession* s = get(h);
    if (!s)
        return DVP_STATUS_INVALID_HANDLE;
    s->dev->resetFeatures();
    return DVP_STATUS_OK;
}

}  // namespace simsdk::dvp
