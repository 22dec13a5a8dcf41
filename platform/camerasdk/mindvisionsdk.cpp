#include "mindvisionsdk.h"

#include "simsession.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace simsdk::mv {

using namespace camsim;

namespace {
struct MvSession : Session {
    using Session::Session;
    Frame held;                     // the buffer handed out by CameraGetImageBuffer
    ConnectionCallback cb = nullptr;
    void* cbContext = nullptr;
    CameraHandle handle = 0;
    // Held by an automatic-exposure step and by switching it on or off, so
    // that no step lands after CameraSetAeState(0) has returned.
    std::mutex ae;
};

HandleTable gHandles;
void log(const QString& s) { bus().log().add(s); }
MvSession* get(CameraHandle h) { return static_cast<MvSession*>(gHandles.get(h)); }

int setFeature(CameraHandle h, const char* call, const char* name, double v)
{
    log(QStringLiteral("%1 %2").arg(QLatin1String(call)).arg(v));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    s->dev->setValue(QString::fromLatin1(name), v);
    return CAMERA_STATUS_SUCCESS;
}

int getFeature(CameraHandle h, const char* name, int* v)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    *v = static_cast<int>(s->dev->value(QString::fromLatin1(name)));
    return CAMERA_STATUS_SUCCESS;
}

Range range(const Device& d, const char* name)
{
    const Feature f = d.feature(QString::fromLatin1(name));
    return Range{static_cast<int>(f.min), static_cast<int>(f.max)};
}

// ---------------------------------------------------------------- automatic exposure

constexpr double kReferenceUs = 10000;   // the exposure the simulated pictures stand for
constexpr double kGainPerFactor = 16;    // analog gain units per 1x above the minimum
constexpr double kFlickerUs = 10000;     // half a 50 Hz mains period

const QString kAeState = QStringLiteral("AeState");
const QString kAeTarget = QStringLiteral("AeTarget");
const QString kAeMin = QStringLiteral("AeExposureMin");
const QString kAeMax = QStringLiteral("AeExposureMax");
const QString kAntiFlick = QStringLiteral("AntiFlick");
const QString kExposure = QStringLiteral("ExposureTime");
const QString kGain = QStringLiteral("AnalogGain");

// The automatic-exposure settings are the stand-in's own features; a
// device configuration may override them, and the factory defaults bring
// them back.
void defineAeFeatures(Device& d)
{
    auto def = [&d](const QString& name, double v, double lo, double hi) {
        if (!d.hasFeature(name))
            d.defineFeature(name, v, lo, hi);
    };
    def(kAeTarget, 120, 0, 255);
    def(kAeMin, 50, 0, 10000000);
    def(kAeMax, 1000000, 0, 10000000);
    def(kAntiFlick, 0, 0, 1);
}

// Mean grey of a frame (every fourth byte; the frame stamp of the first
// eight bytes left out).
double frameMean(const Frame& f)
{
    const size_t n = f.data.size();
    const size_t first = n > 8 ? 8 : 0;
    uint64_t sum = 0;
    size_t count = 0;
    for (size_t i = first; i < n; i += 4) {
        sum += f.data[i];
        ++count;
    }
    return count ? double(sum) / double(count) : 0;
}

// One step of the automatic exposure on a frame just taken; s.ae held.
void aeStep(Device& d, const Frame& f)
{
    if (d.value(kAeState) == 0)
        return;
    const Feature exposure = d.feature(kExposure);
    const Feature gain = d.feature(kGain);
    // Effective exposure at the minimum gain, now and for the target.
    const double now = exposure.value * (1 + (gain.value - gain.min) / kGainPerFactor);
    const double want = kReferenceUs * d.value(kAeTarget) / std::max(1.0, frameMean(f));
    double step = (want - now) / 2;
    if (std::abs(step) < 1)
        step = want - now;
    if (step == 0)
        return;
    const double next = now + step;
    const double lo = std::max(exposure.min, d.value(kAeMin));
    const double hi = std::max(lo, std::min(exposure.max, d.value(kAeMax)));
    double e = std::clamp(next, lo, hi);
    if (d.value(kAntiFlick) != 0 && e >= kFlickerUs) {
        const double whole = std::floor(e / kFlickerUs) * kFlickerUs;
        if (whole >= lo)
            e = whole;
    }
    e = std::max(lo, std::floor(e));
    const double g = std::clamp(gain.min + (next / e - 1) * kGainPerFactor, gain.min, gain.max);
    d.setValue(kExposure, e);
    d.setValue(kGain, std::round(g));
}
}

int CameraSdkInit(int language)
{
    log(QStringLiteral("CameraSdkInit %1").arg(language));
    return CAMERA_STATUS_SUCCESS;
}

int CameraSdkGetVersionString(char* buffer, int size)
{
    if (!buffer || size <= 0)
        return CAMERA_STATUS_FAILED;
    std::strncpy(buffer, "MindVision SDK (simulated) 2.1.0", size_t(size) - 1);
    buffer[size - 1] = '\0';
    return CAMERA_STATUS_SUCCESS;
}

int CameraEnumerateDevice(DeviceInfo* list, int* count)
{
    const auto devs = bus().devices(Family::MindVision);
    const int n = std::min(*count, static_cast<int>(devs.size()));
    for (int i = 0; i < n; ++i) {
        list[i] = DeviceInfo{};
        const QByteArray sn = devs[i]->serial().toLatin1().left(31);
        const QByteArray model = devs[i]->config().model.toLatin1().left(31);
        std::memcpy(list[i].serial, sn.constData(), static_cast<size_t>(sn.size()));
        std::memcpy(list[i].productName, model.constData(), static_cast<size_t>(model.size()));
        list[i].index = i;
    }
    *count = n;
    log(QStringLiteral("CameraEnumerateDevice %1").arg(n));
    return n > 0 ? CAMERA_STATUS_SUCCESS : CAMERA_STATUS_NO_DEVICE_FOUND;
}

int CameraInit(const DeviceInfo* info, int paramLoad, int team, CameraHandle* h)
{
    log(QStringLiteral("CameraInit %1 %2 %3").arg(QString::fromLatin1(info->serial)).arg(paramLoad).arg(team));
    auto d = bus().find(QString::fromLatin1(info->serial));
    if (!d || d->config().family != Family::MindVision)
        return CAMERA_STATUS_NO_DEVICE_FOUND;
    if (const int rc = openDevice(*d, CAMERA_STATUS_NO_DEVICE_FOUND, CAMERA_STATUS_ACCESS_DENY))
        return rc;
    defineAeFeatures(*d);
    auto* s = new MvSession(d);
    s->handle = gHandles.add(s);
    *h = s->handle;
    return CAMERA_STATUS_SUCCESS;
}

int CameraUnInit(CameraHandle h)
{
    log(QStringLiteral("CameraUnInit"));
    auto* s = static_cast<MvSession*>(gHandles.take(h));
    if (!s)
        return CAMERA_STATUS_FAILED;
    closeAndDelete(s);
    return CAMERA_STATUS_SUCCESS;
}

int CameraGetCapability(CameraHandle h, Capability* cap)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    const Device& d = *s->dev;
    *cap = Capability{};
    cap->maxWidth = d.config().width;
    cap->maxHeight = d.config().height;
    cap->isMono = d.config().mono ? 1 : 0;
    cap->sharpnessRange = range(d, "Sharpness");
    cap->contrastRange = range(d, "Contrast");
    cap->gammaRange = range(d, "Gamma");
    // Presets: the full sensor, then a centred 2/3 window when the sensor is large.
    cap->presetCount = 1;
    if (d.config().width >= 2592) {
        const int w = 2048, hgt = 1536;
        cap->presets[0] = ImageResolution{1, (d.config().width - w) / 2, (d.config().height - hgt) / 2, w, hgt, w, hgt};
    } else {
        cap->presets[0] = ImageResolution{0, 0, 0, d.config().width, d.config().height, d.config().width, d.config().height};
    }
    return CAMERA_STATUS_SUCCESS;
}

int CameraReadSN(CameraHandle h, char* buffer, int level)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    std::memset(buffer, 0, 32);
    const QByteArray sn = s->dev->serial().toLatin1().left(31);
    std::memcpy(buffer, sn.constData(), static_cast<size_t>(sn.size()));
    log(QStringLiteral("CameraReadSN %1").arg(level));
    return CAMERA_STATUS_SUCCESS;
}

int CameraSetImageResolution(CameraHandle h, const ImageResolution* res)
{
    log(QStringLiteral("CameraSetImageResolution %1 %2 %3 %4 %5")
            .arg(res->index).arg(res->hOffsetFov).arg(res->vOffsetFov).arg(res->width).arg(res->height));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    s->dev->setWindow(res->width, res->height);
    return CAMERA_STATUS_SUCCESS;
}

int CameraSetIspOutFormat(CameraHandle h, unsigned format)
{
    log(QStringLiteral("CameraSetIspOutFormat 0x%1").arg(format, 8, 16, QLatin1Char('0')));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    s->dev->setValue(QStringLiteral("IspOutFormat"), format);
    s->dev->setFormat(format == CAMERA_MEDIA_TYPE_RGB8 ? PixelFormat::Rgb24 : PixelFormat::Mono8);
    return CAMERA_STATUS_SUCCESS;
}

int CameraSetMonochrome(CameraHandle h, int on) { return setFeature(h, "CameraSetMonochrome", "Monochrome", on); }
int CameraSetWbMode(CameraHandle h, int automatic) { return setFeature(h, "CameraSetWbMode", "WbMode", automatic); }
int CameraSetMediaType(CameraHandle h, int index) { return setFeature(h, "CameraSetMediaType", "MediaType", index); }
int CameraSetFrameSpeed(CameraHandle h, int speed) { return setFeature(h, "CameraSetFrameSpeed", "FrameSpeed", speed); }

int CameraSetConnectionStatusCallback(CameraHandle h, ConnectionCallback cb, void* context)
{
    log(QStringLiteral("CameraSetConnectionStatusCallback"));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    s->cb = cb;
    s->cbContext = context;
    return CAMERA_STATUS_SUCCESS;
}

int CameraCommonCall(CameraHandle h, const char* command, char* result, int size)
{
    log(QStringLiteral("CameraCommonCall %1").arg(QString::fromLatin1(command)));
    if (result && size > 0)
        result[0] = 0;
    return get(h) ? CAMERA_STATUS_SUCCESS : CAMERA_STATUS_FAILED;
}

int CameraPlay(CameraHandle h)
{
    log(QStringLiteral("CameraPlay"));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    s->startPolled([s] {
        if (s->cb)
            s->cb(s->handle, 0, 0, s->cbContext);   // 0: connection lost
    });
    return CAMERA_STATUS_SUCCESS;
}

int CameraStop(CameraHandle h)
{
    log(QStringLiteral("CameraStop"));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    s->stop();
    return CAMERA_STATUS_SUCCESS;
}

int CameraGetImageBuffer(CameraHandle h, FrameHead* head, uint8_t** raw, unsigned timeoutMs)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    if (!s->waitFrame(&s->held, static_cast<int>(timeoutMs)))
        return s->dev->plugged() ? CAMERA_STATUS_TIME_OUT : CAMERA_STATUS_DEVICE_LOST;
    head->width = s->held.width;
    head->height = s->held.height;
    head->length = static_cast<int>(s->held.data.size());
    head->mediaType = s->held.format == PixelFormat::Rgb24 ? CAMERA_MEDIA_TYPE_RGB8 : CAMERA_MEDIA_TYPE_MONO8;
    head->number = s->held.number;
    *raw = s->held.data.data();
    {
        std::lock_guard<std::mutex> lk(s->ae);
        aeStep(*s->dev, s->held);
    }
    return CAMERA_STATUS_SUCCESS;
}

int CameraImageProcess(CameraHandle h, const uint8_t* raw, uint8_t* out, FrameHead* head)
{
    MvSession* s = get(h);
    if (!s || !raw || !out)
        return CAMERA_STATUS_FAILED;
    std::memcpy(out, raw, static_cast<size_t>(head->length));
    return CAMERA_STATUS_SUCCESS;
}

int CameraReleaseImageBuffer(CameraHandle h, uint8_t*)
{
    if (!get(h))
        return CAMERA_STATUS_FAILED;
    return CAMERA_STATUS_SUCCESS;
}

int CameraSetAeState(CameraHandle h, int on)
{
    MvSession* s = get(h);
    if (!s) {
        log(QStringLiteral("CameraSetAeState %1").arg(on));
        return CAMERA_STATUS_FAILED;
    }
    std::lock_guard<std::mutex> lk(s->ae);
    return setFeature(h, "CameraSetAeState", "AeState", on ? 1 : 0);
}

int CameraGetAeState(CameraHandle h, int* on) { return getFeature(h, "AeState", on); }
int CameraSetAeTarget(CameraHandle h, int target) { return setFeature(h, "CameraSetAeTarget", "AeTarget", target); }
int CameraGetAeTarget(CameraHandle h, int* target) { return getFeature(h, "AeTarget", target); }

int CameraSetAeExposureRange(CameraHandle h, double minUs, double maxUs)
{
    log(QStringLiteral("CameraSetAeExposureRange %1 %2").arg(minUs).arg(maxUs));
    MvSession* s = get(h);
    if (!s || minUs > maxUs)
        return CAMERA_STATUS_FAILED;
    s->dev->setValue(kAeMin, minUs);
    s->dev->setValue(kAeMax, maxUs);
    return CAMERA_STATUS_SUCCESS;
}

int CameraGetAeExposureRange(CameraHandle h, double* minUs, double* maxUs)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    *minUs = s->dev->value(kAeMin);
    *maxUs = s->dev->value(kAeMax);
    return CAMERA_STATUS_SUCCESS;
}

int CameraSetAntiFlick(CameraHandle h, int on) { return setFeature(h, "CameraSetAntiFlick", "AntiFlick", on ? 1 : 0); }
int CameraGetAntiFlick(CameraHandle h, int* on) { return getFeature(h, "AntiFlick", on); }
int CameraSetExposureTime(CameraHandle h, double us) { return setFeature(h, "CameraSetExposureTime", "ExposureTime", us); }

int CameraGetExposureTime(CameraHandle h, double* us)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    *us = s->dev->value(QStringLiteral("ExposureTime"));
    return CAMERA_STATUS_SUCCESS;
}

int CameraGetAeAnalogGainRange(CameraHandle h, int* min, int* max)
{
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    const Range r = range(*s->dev, "AnalogGain");
    *min = r.min;
    *max = r.max;
    return CAMERA_STATUS_SUCCESS;
}

int CameraSetAnalogGain(CameraHandle h, int gain) { return setFeature(h, "CameraSetAnalogGain", "AnalogGain", gain); }
int CameraGetAnalogGain(CameraHandle h, int* gain) { return getFeature(h, "AnalogGain", gain); }
int CameraSetSharpness(CameraHandle h, int v) { return setFeature(h, "CameraSetSharpness", "Sharpness", v); }
int CameraGetSharpness(CameraHandle h, int* v) { return getFeature(h, "Sharpness", v); }
int CameraSetContrast(CameraHandle h, int v) { return setFeature(h, "CameraSetContrast", "Contrast", v); }
int CameraGetContrast(CameraHandle h, int* v) { return getFeature(h, "Contrast", v); }
int CameraSetGamma(CameraHandle h, int v) { return setFeature(h, "CameraSetGamma", "Gamma", v); }
int CameraGetGamma(CameraHandle h, int* v) { return getFeature(h, "Gamma", v); }

int CameraSetMirror(CameraHandle h, int direction, int on)
{
    return setFeature(h, direction == 0 ? "CameraSetMirror 0" : "CameraSetMirror 1",
                      direction == 0 ? "MirrorH" : "MirrorV", on);
}

int CameraSetOnceWB(CameraHandle h)
{
    log(QStringLiteral("CameraSetOnceWB"));
    return get(h) ? CAMERA_STATUS_SUCCESS : CAMERA_STATUS_FAILED;
}

int CameraSetTriggerMode(CameraHandle h, int mode)
{
    MvSession* s = get(h);
    const int rc = setFeature(h, "CameraSetTriggerMode", "TriggerMode", mode);
    if (s)
        s->dev->setExternalTrigger(mode != 0);
    return rc;
}

int CameraLoadParameter(CameraHandle h, int team)
{
    log(QStringLiteral("CameraLoadParameter %1").arg(team));
    MvSession* s = get(h);
    if (!s)
        return CAMERA_STATUS_FAILED;
    if (team == 0xFF) {
        std::lock_guard<std::mutex> lk(s->ae);
        s->dev->resetFeatures();
        defineAeFeatures(*s->dev);
    }
    return CAMERA_STATUS_SUCCESS;
}

}  // namespace simsdk::mv
