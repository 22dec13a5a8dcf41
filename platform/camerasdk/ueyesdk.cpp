#include "ueyesdk.h"

#include "simsession.h"

#include <cstring>

namespace simsdk::ueye {

using namespace camsim;

namespace {
// Image memory as is_AllocImageMem made it.
struct ImageMem {
    std::vector<char> bytes;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
};

struct UeyeSession : Session {
    using Session::Session;
    HIDS handle = 0;
    char* mem = nullptr;       // registered image memory
    int memId = 0;
    ImageMem* memInfo = nullptr;
    uint64_t frames = 0;       // frames written into mem
    CaptureStatus status;      // frames not written
};

std::mutex gMutex;
std::map<HIDS, UeyeSession*> gOpen;
std::map<int, std::unique_ptr<ImageMem>> gMems;   // id -> memory
int gNextMemId = 1;

bool fits(const Frame& f, const ImageMem& m)
{
    return f.width == m.width && f.height == m.height && bytesPerPixel(f.format) == m.bytesPerPixel
        && f.data.size() == m.bytes.size();
}

void log(const QString& s) { bus().log().add(s); }

UeyeSession* session(HIDS h)
{
    std::lock_guard<std::mutex> lk(gMutex);
    auto it = gOpen.find(h);
    return it == gOpen.end() ? nullptr : it->second;
}
}

int CameraUSBDeviceInit()
{
    log(QStringLiteral("CameraUSBDeviceInit"));
    return 0;
}

int is_GetNumberOfCameras(int* count)
{
    *count = static_cast<int>(bus().devices(Family::UEye).size());
    log(QStringLiteral("is_GetNumberOfCameras %1").arg(*count));
    return IS_SUCCESS;
}

int is_InitCamera(HIDS* h, void*)
{
    log(QStringLiteral("is_InitCamera 0x%1").arg(*h, 0, 16));
    const auto list = bus().devices(Family::UEye);
    int index = static_cast<int>(*h & 0x7FFF);
    if (index == 0) {   // first camera not yet open
        for (size_t i = 0; i < list.size() && index == 0; ++i)
            if (!list[i]->isOpen())
                index = static_cast<int>(i) + 1;
    }
    if (index < 1 || index > static_cast<int>(list.size()))
        return IS_NO_SUCCESS;
    const auto& d = list[index - 1];
    if (const int rc = openDevice(*d, IS_NO_SUCCESS, IS_NO_SUCCESS))
        return rc;
    auto* s = new UeyeSession(d);
    s->handle = static_cast<HIDS>(index);
    {
        std::lock_guard<std::mutex> lk(gMutex);
        gOpen[s->handle] = s;
    }
    *h = s->handle;
    return IS_SUCCESS;
}

int is_ExitCamera(HIDS h)
{
    log(QStringLiteral("is_ExitCamera %1").arg(h));
    UeyeSession* s = nullptr;
    {
        std::lock_guard<std::mutex> lk(gMutex);
        auto it = gOpen.find(h);
        if (it == gOpen.end())
            return IS_INVALID_CAMERA_HANDLE;
        s = it->second;
        gOpen.erase(it);
    }
    closeAndDelete(s);
    return IS_SUCCESS;
}

int is_GetSensorInfo(HIDS h, SensorInfo* info)
{
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    info->maxWidth = s->dev->config().width;
    info->maxHeight = s->dev->config().height;
    info->colorMode = s->dev->config().mono ? 1 : 2;
    return IS_SUCCESS;
}

int is_GetCameraInfo(HIDS h, CameraInfo* info)
{
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    const QByteArray sn = s->dev->serial().toLatin1().left(sizeof(info->serial) - 1);
    std::memset(info->serial, 0, sizeof(info->serial));
    std::memcpy(info->serial, sn.constData(), static_cast<size_t>(sn.size()));
    return IS_SUCCESS;
}

int is_GetColorDepth(HIDS h, int* bitsPerPixel, int* colorMode)
{
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    *bitsPerPixel = s->dev->config().mono ? 8 : 24;
    *colorMode = s->dev->config().mono ? 6 : 1;
    return IS_SUCCESS;
}

int is_SetColorMode(HIDS h, int mode)
{
    log(QStringLiteral("is_SetColorMode %1").arg(mode));
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    s->dev->setFormat(mode == 6 ? PixelFormat::Mono8 : PixelFormat::Rgb24);
    return IS_SUCCESS;
}

int is_AllocImageMem(HIDS h, int width, int height, int bitsPerPixel, char** mem, int* id)
{
    log(QStringLiteral("is_AllocImageMem %1 %2 %3").arg(width).arg(height).arg(bitsPerPixel));
    if (!session(h) || width <= 0 || height <= 0 || width > 8192 || height > 8192 || bitsPerPixel <= 0
        || bitsPerPixel > 32)
        return IS_NO_SUCCESS;
    auto block = std::make_unique<ImageMem>();
    block->width = width;
    block->height = height;
    block->bytesPerPixel = (bitsPerPixel + 7) / 8;
    block->bytes.assign(static_cast<size_t>(width) * height * block->bytesPerPixel, 0);
    std::lock_guard<std::mutex> lk(gMutex);
    *id = gNextMemId++;
    *mem = block->bytes.data();
    gMems[*id] = std::move(block);
    return IS_SUCCESS;
}

int is_SetImageMem(HIDS h, char* mem, int id)
{
    log(QStringLiteral("is_SetImageMem %1").arg(id));
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    std::lock_guard<std::mutex> lk(gMutex);
    auto it = gMems.find(id);
    if (it == gMems.end() || it->second->bytes.data() != mem)
        return IS_NO_SUCCESS;
    std::lock_guard<std::mutex> sl(s->m);
    s->mem = mem;
    s->memId = id;
    s->memInfo = it->second.get();
    return IS_SUCCESS;
}

int is_FreeImageMem(HIDS h, char* mem, int id)
{
    log(QStringLiteral("is_FreeImageMem %1").arg(id));
    if (UeyeSession* s = session(h)) {
        std::lock_guard<std::mutex> sl(s->m);
        if (s->mem == mem) {
            s->mem = nullptr;
            s->memInfo = nullptr;
        }
    }
    std::lock_guard<std::mutex> lk(gMutex);
    auto it = gMems.find(id);
    if (it == gMems.end() || it->second->bytes.data() != mem)
        return IS_NO_SUCCESS;
    gMems.erase(it);
    return IS_SUCCESS;
}

int is_AOI(HIDS h, int command, void* param, int size)
{
    UeyeSession* s = session(h);
    if (!s || !param)
        return IS_INVALID_CAMERA_HANDLE;
    if (command == 5 && size >= 8) {
        const int* wh = static_cast<const int*>(param);
        log(QStringLiteral("is_AOI 5 %1 %2").arg(wh[0]).arg(wh[1]));
        s->dev->setWindow(wh[0], wh[1]);
    }
    return IS_SUCCESS;
}

int is_SetAutoParameter(HIDS h, int param, double* value, double*)
{
    log(QStringLiteral("is_SetAutoParameter 0x%1 %2").arg(param, 0, 16).arg(value ? *value : 0));
    return session(h) ? IS_SUCCESS : IS_INVALID_CAMERA_HANDLE;
}

int is_SetHardwareGamma(HIDS h, int mode)
{
    log(QStringLiteral("is_SetHardwareGamma %1").arg(mode));
    return session(h) ? IS_SUCCESS : IS_INVALID_CAMERA_HANDLE;
}

int is_PixelClock(HIDS h, int command, void* param, int size)
{
    UeyeSession* s = session(h);
    if (!s || !param)
        return IS_INVALID_CAMERA_HANDLE;
    if (command == 6 && size >= 4) {
        const int v = *static_cast<const int*>(param);
        log(QStringLiteral("is_PixelClock 6 %1").arg(v));
        s->dev->setValue(QStringLiteral("PixelClock"), v);
    }
    return IS_SUCCESS;
}

int is_Exposure(HIDS h, int command, void* param, int size)
{
    UeyeSession* s = session(h);
    if (!s || !param)
        return IS_INVALID_CAMERA_HANDLE;
    if (command == 12 && size >= 8) {
        const double v = *static_cast<const double*>(param);
        log(QStringLiteral("is_Exposure 12 %1").arg(v));
        s->dev->setValue(QStringLiteral("Exposure"), v);
    }
    return IS_SUCCESS;
}

int is_SetHardwareGain(HIDS h, int master, int red, int green, int blue)
{
    log(QStringLiteral("is_SetHardwareGain %1 %2 %3 %4").arg(master).arg(red).arg(green).arg(blue));
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    s->dev->setValue(QStringLiteral("Gain"), master);
    return IS_SUCCESS;
}

int is_Gamma(HIDS h, int command, void* param, int size)
{
    UeyeSession* s = session(h);
    if (!s || !param)
        return IS_INVALID_CAMERA_HANDLE;
    if (command == 1 && size >= 4) {
        const int v = *static_cast<const int*>(param);
        log(QStringLiteral("is_Gamma 1 %1").arg(v));
        s->dev->setValue(QStringLiteral("Gamma"), v);
    }
    return IS_SUCCESS;
}

int is_CaptureVideo(HIDS h, int wait)
{
    log(QStringLiteral("is_CaptureVideo %1").arg(wait));
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    s->dev->startStream([s](const Frame& f) {
        std::lock_guard<std::mutex> lk(s->m);
        if (!s->mem)
            return;
        if (!fits(f, *s->memInfo)) {
            ++s->status.total;
            ++s->status.wrongSize;
            return;
        }
        std::memcpy(s->mem, f.data.data(), f.data.size());
        ++s->frames;
    });
    return IS_SUCCESS;
}

int is_StopLiveVideo(HIDS h, int wait)
{
    log(QStringLiteral("is_StopLiveVideo 0x%1").arg(wait, 0, 16));
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    s->dev->stopStream();
    return IS_SUCCESS;
}

int is_GetFramesCaptured(HIDS h, uint64_t* count)
{
    UeyeSession* s = session(h);
    if (!s)
        return IS_INVALID_CAMERA_HANDLE;
    if (!s->dev->plugged())
        return IS_NO_SUCCESS;
    std::lock_guard<std::mutex> lk(s->m);
    *count = s->frames;
    return IS_SUCCESS;
}

int is_CopyImageMem(HIDS h, char* mem, int, char* dest)
{
    UeyeSession* s = session(h);
    if (!s || !dest)
        return IS_INVALID_CAMERA_HANDLE;
    std::lock_guard<std::mutex> lk(s->m);
    if (!s->mem || s->mem != mem)
        return IS_NO_SUCCESS;
    std::memcpy(dest, s->mem, s->memInfo->bytes.size());
    return IS_SUCCESS;
}

int is_CaptureStatus(HIDS h, int command, void* param, int size)
{
    UeyeSession* s = session(h);
    if (!s || !param)
        return IS_INVALID_CAMERA_HANDLE;
    if (command != IS_CAPTURE_STATUS_INFO_CMD_GET || size < static_cast<int>(sizeof(CaptureStatus)))
        return IS_NO_SUCCESS;
    std::lock_guard<std::mutex> lk(s->m);
    *static_cast<CaptureStatus*>(param) = s->status;
    return IS_SUCCESS;
}

}  // namespace simsdk::ueye
