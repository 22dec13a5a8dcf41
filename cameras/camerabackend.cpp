#include "camerabackend.h"

#include "cameraglobals.h"
#include "cameraprobe.h"
#include "camerathread.h"
#include "imageconvert.h"
#include "paths.h"
#include "rangemap.h"
#include "simcamerabus.h"

#include <QMutex>
#include <QSet>

#include <glog/logging.h>

#include <cstdio>
#include <cstring>

namespace gx = simsdk::gx;
namespace ueye = simsdk::ueye;
namespace mv = simsdk::mv;
namespace hik = simsdk::hik;
namespace dvp = simsdk::dvp;

namespace {
// Device nodes held by open UVC slots, so that two slots never share one.
QMutex gUvcNodesMutex;
QSet<QString> gUvcNodes;

size_t imageLen() { return static_cast<size_t>(gImageLen); }
size_t colorLen() { return static_cast<size_t>(gColorLen); }

// A stored serial binds when it has at least 9 characters (uEye: 9 to 19).
QString storedSerial(int slot)
{
    return QString::fromLatin1(gSerialNB[slot], static_cast<int>(strnlen(gSerialNB[slot], kSerialTextSize)));
}

// UVC filter fragments from the panel's values (contrast 0..200, gamma
// 0..250, sharpness 0..100).
std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
std::string contrastFilter(int contrast)
{
    return formatted("eq=contrast=%f:", static_cast<double>(contrast * 0.02f - 2.0f));
}
std::string gammaFilter(int gamma)
{
    return formatted("gamma=%f,", static_cast<double>(gamma * 0.0396f + 0.1f));
}
std::string sharpnessFilter(int sharpness)
{
    return formatted("unsharp=5:5:%f", static_cast<double>(sharpness * 0.05f));
}
}

CameraBackend::CameraBackend(CameraHost* host, int index) : camIndex(index), host_(host)
{
    recvFrameStore.assign(colorLen(), 0);
    grabBufferStore.assign(4 * imageLen(), 0);
    convertBufferStore.assign(colorLen(), 0);
    gxImageStore.assign(imageLen(), 0);
    recvFrame = recvFrameStore.data();
    grabBuffer = grabBufferStore.data();
    convertBuffer = convertBufferStore.data();
    gxFrame.imgBuf = gxImageStore.data();
    gxFrame.imgBufSize = gImageLen;

    // UVC filter fragments from the live parameters.
    const CameraValues v = host_ ? host_->cameraValues(camIndex, false) : CameraValues{};
    filterContrast = contrastFilter(v.contrast);
    filterGamma = gammaFilter(v.gamma);
    filterSharp = sharpnessFilter(v.sharpness);
    filterExtra.clear();
}

CameraBackend::~CameraBackend()
{
    if (isOpen()) {
        CameraStop();
        CameraClose();
    }
    delete grabThread;
}

bool CameraBackend::isOpen() const
{
    return host_ && host_->cameraOpened[camIndex];
}

CameraValues CameraBackend::values() const
{
    return host_->cameraValues(camIndex, host_->settingsPageVisible());
}

CameraSwitches CameraBackend::switches() const
{
    return host_->cameraSwitches(host_->settingsPageVisible());
}

std::string CameraBackend::filterDescription() const
{
    return filterContrast + filterGamma + filterSharp + filterExtra;
}

// ------------------------------------------------------------------ open

void CameraBackend::CameraOpen()
{
    host_->cameraOpened[camIndex] = false;
    if (camIndex >= gFindCamera)
        return;
    bool ok = false;
    switch (gCameraID) {
    case CameraKindGalaxy: ok = openGalaxy(); break;
    case CameraKindUEye: ok = openUEye(); break;
    case CameraKindMindVision: ok = openMindVision(); break;
    case CameraKindHikvision: ok = openHikvision(); break;
    case CameraKindUvc: ok = openUvc(); break;
    case CameraKindDvp: ok = openDvp(); break;
    case CameraKindNone: ok = true; break;
    default: ok = false; break;
    }
    if (!ok)
        return;
    host_->cameraOpened[camIndex] = true;

    delete grabThread;
    grabThread = new CameraThread(this);
    CameraChangeTrig(true);
    SetAdjustPlus();
    SetExposeTime();
    SetContrast();
    SetSharp();
    SetGamma();
    SetHMirror();
    SetVMirror();
}

bool CameraBackend::openGalaxy()
{
    const QString sn = storedSerial(camIndex);
    int st;
    if (sn.size() >= 9) {
        gx::OpenParam p;
        p.content = sn;
        p.openMode = 0;
        p.accessMode = 4;
        st = gx::GXOpenDevice(&p, &gxDevice);
    } else {
        st = gx::GXOpenDeviceByIndex(static_cast<uint32_t>(camIndex + 1), &gxDevice);
    }
    if (st != gx::GX_STATUS_SUCCESS) {
        gxDevice = nullptr;
        return false;
    }
    gx::GXSetInt(gxDevice, 0x10000BBB, 0);
    if (gImageW * 2 == gOW) {
        for (uint32_t id : {0x100003F0u, 0x100003F1u, 0x100003F2u, 0x100003F3u})
            gx::GXSetInt(gxDevice, id, 2);
        gx::GXSetInt(gxDevice, 0x100003EC, 0);
        gx::GXSetInt(gxDevice, 0x100003ED, 0);
    } else {
        gx::GXSetInt(gxDevice, 0x100003EC, (gOW - gImageW) / 2);
        gx::GXSetInt(gxDevice, 0x100003ED, (gOH - gImageH) / 2);
    }
    gx::GXSetInt(gxDevice, 0x100003EE, gImageW);
    gx::GXSetInt(gxDevice, 0x100003EF, gImageH);
    gx::GXSetEnum(gxDevice, 0x3000178A, 1);
    gx::GXSetBool(gxDevice, 0x40001395, true);
    return true;
}

bool CameraBackend::openUEye()
{
    const QString sn = storedSerial(camIndex);
    ueye::HIDS h = 0;
    if (sn.size() >= 9 && sn.size() <= 19) {
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
        h = static_cast<ueye::HIDS>(camIndex + 1) | ueye::IS_USE_DEVICE_ID;
        if (ueye::is_InitCamera(&h, nullptr) != ueye::IS_SUCCESS)
            return false;
    }
    ueyeCam = h;
    ueye::is_GetColorDepth(h, &ueyeBitsPerPixel, &ueyeColorMode);
    ueyeBitsPerPixel = 8;   // always 8-bit mono
    ueyeColorMode = 6;
    ueye::is_SetColorMode(h, ueyeColorMode);
    if (ueye::is_AllocImageMem(h, gImageW, gImageH, ueyeBitsPerPixel, &ueyeMem, &ueyeMemId) != ueye::IS_SUCCESS
        || ueye::is_SetImageMem(h, ueyeMem, ueyeMemId) != ueye::IS_SUCCESS) {
        if (ueyeMem)
            ueye::is_FreeImageMem(h, ueyeMem, ueyeMemId);
        ueyeMem = nullptr;
        ueye::is_ExitCamera(h);
        return false;
    }
    int size[2] = {gImageW, gImageH};
    ueye::is_AOI(h, 5, size, 8);
    double zero = 0.0;
    ueye::is_SetAutoParameter(h, 0x8800, &zero, nullptr);
    ueye::is_SetAutoParameter(h, 0x8802, &zero, nullptr);
    ueye::is_SetHardwareGamma(h, 1);
    int clock = 5;
    ueye::is_PixelClock(h, 6, &clock, 4);
    ueyeFramesSeen_ = 0;
    return true;
}

static void setMindVisionFormat(mv::CameraHandle h)
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
            mv::CameraSetMediaType(h, 1);
            mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_MONO8);
        }
    } else if (gOW == 2048) {
        mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_RGB8);
        mv::CameraSetMonochrome(h, 0);
    } else {
        mv::CameraSetMediaType(h, 0);
        mv::CameraSetIspOutFormat(h, mv::CAMERA_MEDIA_TYPE_RGB8);
    }
}

static void setMindVisionResolution(mv::CameraHandle h, bool usePreset)
{
    if (usePreset) {
        mv::CameraSetImageResolution(h, &gImageResolution);
        return;
    }
    mv::ImageResolution r;
    r.index = 0xFF;
    r.hOffsetFov = (gOW - gImageW) / 2;
    r.vOffsetFov = (gOH - gImageH) / 2;
    r.widthFov = gImageW;
    r.heightFov = gImageH;
    r.width = gImageW;
    r.height = gImageH;
    mv::CameraSetImageResolution(h, &r);
}

bool CameraBackend::openMindVision()
{
    const QString sn = storedSerial(camIndex);
    int status;
    if (sn.size() >= 9) {
        int found = -1;
        for (int i = 0; i < gFindCamera && i < kMindVisionListSize && found < 0; ++i)
            if (QString::fromLatin1(gCList[i].serial) == sn)
                found = i;
        if (found >= 0) {
            host_->insertRecord(QStringLiteral("Mind Open %1 = %2").arg(camIndex + 1).arg(sn));
            status = mv::CameraInit(&gCList[found], -1, -1, &mvCamera);
            LOG(INFO) << "CameraInit 1 " << status;
        } else {
            status = -1;
        }
    } else {
        if (camIndex >= kMindVisionListSize)
            return false;
        status = mv::CameraInit(&gCList[camIndex], -1, -1, &mvCamera);
        LOG(INFO) << "CameraInit 2 " << status;
    }
    if (status != 0) {
        host_->insertRecord(QStringLiteral("Mind Fail = %1").arg(status));
        mvCamera = 0;
        return false;
    }
    mv::CameraGetCapability(mvCamera, &mvCapability);
    setMindVisionResolution(mvCamera, gOW == 2592 && gisCut);
    setMindVisionFormat(mvCamera);
    mv::CameraSetFrameSpeed(mvCamera, 0);
    mv::CameraSetConnectionStatusCallback(mvCamera, &CameraBackend::MindConnectStateCallBack, this);
    mv::CameraCommonCall(mvCamera, "set_online_detect_interval(500)", nullptr, 0);
    return true;
}

static unsigned hikPixelFormat()
{
    return (!gSensorColor || !gisColor) ? hik::PixelType_Mono8 : hik::PixelType_BayerRG8;
}

bool CameraBackend::openHikvision()
{
    const QString sn = storedSerial(camIndex);
    const hik::DeviceInfo* entry = nullptr;
    if (sn.size() >= 9) {
        for (int i = 0; i < gFindCamera && i < static_cast<int>(gDevList.count); ++i) {
            const hik::DeviceInfo* e = gDevList.entries[i];
            if (e && e->transportType == hik::MV_GIGE_DEVICE && QString::fromLatin1(e->serialNumber) == sn) {
                entry = e;
                break;
            }
        }
    } else if (camIndex < static_cast<int>(gDevList.count)) {
        entry = gDevList.entries[camIndex];
    }
    if (!entry)
        return false;
    hikDevInfo = *entry;   // a copy: the list is replaced by the next enumeration
    if (hik::MV_CC_CreateHandle(&hikDevice, &hikDevInfo) != hik::MV_OK) {
        hikDevice = nullptr;
        return false;
    }
    if (hik::MV_CC_OpenDevice(hikDevice, 1, 0) != hik::MV_OK) {
        hik::MV_CC_DestroyHandle(hikDevice);
        hikDevice = nullptr;
        return false;
    }
    hik::MV_CC_SetEnumValue(hikDevice, "UserSetSelector", 0);
    hik::MV_CC_SetCommandValue(hikDevice, "UserSetLoad");
    hik::MV_CC_SetBoolValue(hikDevice, "SharpnessEnable", true);
    hik::MV_CC_SetBoolValue(hikDevice, "GammaEnable", true);
    hik::MV_CC_SetIntValue(hikDevice, "GevHeartbeatTimeout", 500);
    hik::MV_CC_RegisterImageCallBack(hikDevice, &CameraBackend::ImageCallBack, this);
    hik::MV_CC_RegisterExceptionCallBack(hikDevice, &CameraBackend::ExceptionImageCallBack, this);
    hik::MV_CC_SetEnumValue(hikDevice, "PixelFormat", hikPixelFormat());
    return true;
}

bool CameraBackend::openUvc()
{
    uvc = makeUvcSource();
    if (!uvc)
        return false;
    const QString pattern = paths().videoDevice;
    auto tryNode = [this](const QString& node) {
        QMutexLocker lock(&gUvcNodesMutex);
        if (gUvcNodes.contains(node))
            return false;   // another slot holds it
        if (!uvc->open(node))
            return false;
        gUvcNodes.insert(node);
        uvcNode = node;
        return true;
    };
    bool ok = tryNode(pattern.arg(camIndex));
    for (int n = gFindCamera; !ok && n <= 63; ++n)
        ok = tryNode(pattern.arg(n));
    if (!ok) {
        uvc.reset();
        return false;
    }
    return true;
}

static int dvpTargetFormat()
{
    return (!gisColor || !gSensorColor) ? dvp::FORMAT_MONO8 : dvp::FORMAT_RGB24;
}

bool CameraBackend::openDvp()
{
    // The enumeration and the open must both succeed: a failed open is no camera.
    if (dvp::dvpEnum(static_cast<uint32_t>(camIndex), &dvpInfo) != dvp::DVP_STATUS_OK)
        return false;
    if (dvp::dvpOpenByName(dvpInfo.friendlyName, 0x21, &dvpCamera) != dvp::DVP_STATUS_OK) {
        dvpCamera = 0;
        return false;
    }
    dvp::dvpSetGammaState(dvpCamera, true);
    dvp::dvpSetContrastState(dvpCamera, true);
    dvp::dvpSetSharpnessState(dvpCamera, true);
    dvp::dvpSetTargetFormat(dvpCamera, dvpTargetFormat());
    dvp::dvpSetConfigString(dvpCamera, "HdrEnable", "false");
    dvp::dvpSetAeOperation(dvpCamera, 0);
    dvp::dvpSetTriggerSource(dvpCamera, 1);
    dvp::dvpSetRoi(dvpCamera, dvp::Region{0, 0, gImageW, gImageH});
    dvp::dvpRegisterStreamCallback(dvpCamera, &CameraBackend::dvpStreamCallback, dvp::EVENT_FRAME_END, this);
    dvpCounter = 0;
    return true;
}

// ------------------------------------------------------------------ start, stop, close

int CameraBackend::CameraStart()
{
    if (!isOpen())
        return 0;
    switch (gCameraID) {
    case CameraKindGalaxy: gx::GXSendCommand(gxDevice, 0x70000BB9); break;
    case CameraKindUEye: ueye::is_CaptureVideo(ueyeCam, 1); break;
    case CameraKindMindVision: mv::CameraPlay(mvCamera); break;
    case CameraKindHikvision: hik::MV_CC_StartGrabbing(hikDevice); break;
    case CameraKindDvp: {
        bool valid = false;
        dvp::dvpIsValid(dvpCamera, &valid);
        int state = 0;
        if (!valid || dvp::dvpGetStreamState(dvpCamera, &state) != dvp::DVP_STATUS_OK)
            return 0;
        if (state == dvp::STREAM_STOPPED)
            dvp::dvpStart(dvpCamera);
        break;
    }
    default: break;
    }
    if (grabThread) {
        grabThread->running = true;
        grabThread->start(QThread::InheritPriority);
    }
    return 1;
}

void CameraBackend::CameraStop()
{
    if (!isOpen())
        return;
    switch (gCameraID) {
    case CameraKindGalaxy: gx::GXSendCommand(gxDevice, 0x70000BBA); break;
    case CameraKindUEye: ueye::is_StopLiveVideo(ueyeCam, 0x4000); break;
    case CameraKindMindVision:
        if (mvCamera > 0)
            mv::CameraStop(mvCamera);
        break;
    case CameraKindHikvision: hik::MV_CC_StopGrabbing(hikDevice); break;
    case CameraKindDvp: {
        bool valid = false;
        int state = 0;
        dvp::dvpIsValid(dvpCamera, &valid);
        if (valid && dvp::dvpGetStreamState(dvpCamera, &state) == dvp::DVP_STATUS_OK && state == dvp::STREAM_STARTED)
            dvp::dvpStop(dvpCamera);
        break;
    }
    default: break;
    }
    // End the grab loop before returning, so that a following start finds
    // the thread finished and no polled frame arrives after the stop.
    if (grabThread) {
        grabThread->stopLoop();
        grabThread->join();
    }
}

void CameraBackend::CameraClose()
{
    if (!isOpen())
        return;
    host_->cameraOpened[camIndex] = false;
    if (grabThread) {
        grabThread->stopLoop();
        if (uvc && grabThread->isRunning())
            uvc->close();   // interrupts a blocked read
        grabThread->join();
        delete grabThread;
        grabThread = nullptr;
    }
    switch (gCameraID) {
    case CameraKindGalaxy:
        gx::GXCloseDevice(gxDevice);
        gxDevice = nullptr;
        break;
    case CameraKindUEye:
        ueye::is_FreeImageMem(ueyeCam, ueyeMem, ueyeMemId);
        ueyeMem = nullptr;
        ueye::is_ExitCamera(ueyeCam);
        break;
    case CameraKindMindVision:
        if (mvCamera >= 1)
            mv::CameraUnInit(mvCamera);
        mvCamera = 0;
        break;
    case CameraKindHikvision:
        hik::MV_CC_CloseDevice(hikDevice);
        hik::MV_CC_DestroyHandle(hikDevice);
        hikDevice = nullptr;
        break;
    case CameraKindUvc:
        if (uvc)
            uvc->close();
        uvc.reset();
        {
            QMutexLocker lock(&gUvcNodesMutex);
            gUvcNodes.remove(uvcNode);
        }
        uvcNode.clear();
        break;
    case CameraKindDvp:
        dvp::dvpClose(dvpCamera);
        dvpCamera = 0;
        break;
    default: break;
    }
}

// ------------------------------------------------------------------ grab side

void CameraBackend::deliver(const uint8_t* frame, size_t length)
{
    QMutexLocker lock(pMutex[camIndex]);
    std::memcpy(recvFrame, frame, std::min(length, recvFrameStore.size()));
    isImageFill[camIndex] = true;
    ++framesDelivered_;
}

void CameraBackend::deliverGrey(const uint8_t* grey)
{
    if (gisColor) {
        Gray2RGBA(grey, convertBuffer, gImageW, gImageH);
        deliver(convertBuffer, colorLen());
    } else {
        deliver(grey, imageLen());
    }
}

void CameraBackend::deliverRgb(const uint8_t* rgb)
{
    if (gisColor)
        RGB2RGBA(convertBuffer, rgb, gImageW, gImageH);   // the image library's layout, as the engine reads it
    else
        camsim::rgbToMono(rgb, convertBuffer, gImageW, gImageH);   // the grey formula the SDK stand-ins use
    deliver(convertBuffer, colorLen());
}

bool CameraBackend::grabOnce()
{
    lastGrabError_ = false;
    switch (gCameraID) {
    case CameraKindGalaxy: {
        const int rc = gx::GXGetImage(gxDevice, &gxFrame, 100);
        if (rc != gx::GX_STATUS_SUCCESS) {
            lastGrabError_ = rc != gx::GX_STATUS_TIMEOUT;
            return false;
        }
        if (gxFrame.status != 0)
            return false;
        if (gxFrame.width != gImageW || gxFrame.height != gImageH || gxFrame.imgSize != gImageLen) {
            dropFrame();
            return false;
        }
        int contrast;
        {
            QMutexLocker lock(pMutex[camIndex]);
            contrast = gContrast[camIndex];
        }
        gx::DxContrast(gxImageStore.data(), grabBuffer, gImageLen, contrast);
        deliverGrey(grabBuffer);
        return true;
    }
    case CameraKindUEye: {
        uint64_t frames = 0;
        if (!ueyeMem || ueye::is_GetFramesCaptured(ueyeCam, &frames) != ueye::IS_SUCCESS) {
            lastGrabError_ = true;
            return false;
        }
        if (frames == ueyeFramesSeen_)
            return false;   // no new frame since the last look
        ueyeFramesSeen_ = frames;
        if (ueye::is_CopyImageMem(ueyeCam, ueyeMem, ueyeMemId, reinterpret_cast<char*>(grabBuffer)) != ueye::IS_SUCCESS)
            return false;
        deliverGrey(grabBuffer);
        return true;
    }
    case CameraKindMindVision: {
        const int rc = mv::CameraGetImageBuffer(mvCamera, &mvFrameHead, &mvRawBuffer, 100);
        if (rc != mv::CAMERA_STATUS_SUCCESS) {
            lastGrabError_ = rc != mv::CAMERA_STATUS_TIME_OUT;
            return false;
        }
        const bool rgb = mvFrameHead.mediaType == mv::CAMERA_MEDIA_TYPE_RGB8;
        const size_t expected = imageLen() * (rgb ? 3 : 1);
        if (mvFrameHead.width != gImageW || mvFrameHead.height != gImageH
            || static_cast<size_t>(mvFrameHead.length) != expected) {
            mv::CameraReleaseImageBuffer(mvCamera, mvRawBuffer);
            dropFrame();
            return false;
        }
        mv::CameraImageProcess(mvCamera, mvRawBuffer, grabBuffer, &mvFrameHead);
        mv::CameraReleaseImageBuffer(mvCamera, mvRawBuffer);
        if (rgb)
            deliverRgb(grabBuffer);
        else
            deliverGrey(grabBuffer);
        return true;
    }
    case CameraKindUvc: {
        if (!uvc)
            return false;
        // Read and decode without the slot's lock: a stalled device must not
        // block the cycle or the settings.
        const int r = uvc->readGrey(grabBuffer, gImageW, gImageH);
        if (r < 0) {
            lastGrabError_ = true;
            return false;
        }
        if (r == 0)
            return false;
        deliverGrey(grabBuffer);
        return true;
    }
    default:
        return false;   // frames come from the SDK's callbacks, or none at all
    }
}

void CameraBackend::ImageCallBack(unsigned char* data, hik::FrameOutInfo* info, void* user)
{
    auto* self = static_cast<CameraBackend*>(user);
    if (!info || !data || !self)
        return;
    const size_t px = imageLen();
    const bool sizeOk = static_cast<int>(info->width) == gImageW && static_cast<int>(info->height) == gImageH;
    const size_t need = px * (info->pixelType == hik::PixelType_RGB8_Packed ? 3 : 1);
    if (!sizeOk || info->frameLen < need) {
        self->dropFrame();
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
        p.dstBuffer = self->grabBuffer;
        p.dstBufferSize = static_cast<unsigned>(self->grabBufferStore.size());
        if (hik::MV_CC_ConvertPixelType(self->hikDevice, &p) != hik::MV_OK) {
            self->dropFrame();
            return;
        }
        self->deliverRgb(self->grabBuffer);
    } else if (info->pixelType == hik::PixelType_RGB8_Packed) {
        self->deliverRgb(data);
    } else {
        self->deliverGrey(data);   // a mono sensor is expanded in colour processing
    }
}

int CameraBackend::dvpStreamCallback(dvp::dvpHandle, int, void* context, dvp::Frame* frame, void* buffer)
{
    auto* self = static_cast<CameraBackend*>(context);
    if (!self)
        return 0;
    self->dvpCounter += 1;
    if (self->dvpCounter > self->dvpSkip)
        self->dvpCounter = 0;
    else
        return 0;   // decimated
    if (!frame || !buffer)
        return 0;
    const bool rgb = frame->format == dvp::FORMAT_RGB24;
    const size_t need = imageLen() * (rgb ? 3 : 1);
    if (frame->width != gImageW || frame->height != gImageH || frame->size < 0
        || static_cast<size_t>(frame->size) < need) {
        self->dropFrame();
        return 0;
    }
    if (rgb)
        self->deliverRgb(static_cast<const uint8_t*>(buffer));
    else
        self->deliverGrey(static_cast<const uint8_t*>(buffer));
    return 0;
}

void CameraBackend::MindConnectStateCallBack(mv::CameraHandle, unsigned message, unsigned, void* context)
{
    auto* self = static_cast<CameraBackend*>(context);
    if (message == 0 && self && self->host_)
        self->host_->cameraLostSignal = true;
}

void CameraBackend::ExceptionImageCallBack(unsigned msgType, void* user)
{
    auto* self = static_cast<CameraBackend*>(user);
    if (msgType == hik::MV_EXCEPTION_DEV_DISCONNECT && self && self->host_)
        self->host_->cameraLostSignal = true;
}

bool TakeNewFrame(CameraBackend* camera, uint8_t* dst)
{
    const int slot = camera->camIndex;
    QMutexLocker lock(pMutex[slot]);
    if (!isImageFill[slot])
        return false;
    std::memcpy(dst, camera->recvFrame, static_cast<size_t>(gColorLen));
    isImageFill[slot] = false;
    return true;
}

// ------------------------------------------------------------------ settings

void CameraBackend::SetExposeTime()
{
    if (!isOpen())
        return;
    const CameraValues v = values();
    const CameraSwitches s = switches();
    switch (gCameraID) {
    case CameraKindGalaxy:
        if (s.autoExposure) {
            gx::GXSetEnum(gxDevice, 0x30000BC2, 1);
        } else {
            gx::GXSetEnum(gxDevice, 0x30000BC2, 0);
            gx::FloatRange r;
            double value = v.exposure;
            if (gx::GXGetFloatRange(gxDevice, 0x20000BC1, &r) == gx::GX_STATUS_SUCCESS)
                value = rangemap::truncated(r.min, r.max, 100, v.exposure);
            gx::GXSetFloat(gxDevice, 0x20000BC1, value);
        }
        gx::GXSetEnum(gxDevice, 0x300036B0, s.autoShading ? 1 : 0);
        break;
    case CameraKindUEye: {
        double ms = v.exposure;
        ueye::is_Exposure(ueyeCam, 12, &ms, 8);
        break;
    }
    case CameraKindMindVision:
        if (s.autoExposure) {
            mv::CameraSetAeState(mvCamera, 1);
        } else {
            mv::CameraSetAeState(mvCamera, 0);
            mv::CameraSetExposureTime(mvCamera, v.exposure * 1000.0);
        }
        mv::CameraCommonCall(mvCamera, s.autoShading ? "set_awdr_enable(true)" : "set_awdr_enable(false)", nullptr, 0);
        break;
    case CameraKindHikvision:
        hik::MV_CC_SetEnumValue(hikDevice, "ExposureMode", 0);
        hik::MV_CC_SetEnumValue(hikDevice, "ExposureAuto", 0);
        hik::MV_CC_SetFloatValue(hikDevice, "ExposureTime", static_cast<float>(v.exposure * 1000.0));
        break;
    case CameraKindDvp:
        if (s.autoExposure) {
            dvp::dvpSetAeOperation(dvpCamera, 2);
        } else {
            dvp::dvpSetAeOperation(dvpCamera, 0);
            dvp::dvpSetExposure(dvpCamera, v.exposure * 1000.0);
        }
        dvp::dvpSetConfigString(dvpCamera, "HdrEnable", s.autoShading ? "true" : "false");
        break;
    default: break;
    }
    SetWB();
}

void CameraBackend::SetAdjustPlus()
{
    if (!isOpen())
        return;
    const int g = values().gain;
    switch (gCameraID) {
    case CameraKindGalaxy: {
        gx::FloatRange r;
        if (gx::GXGetFloatRange(gxDevice, 0x20001393, &r) == gx::GX_STATUS_SUCCESS)
            gx::GXSetFloat(gxDevice, 0x20001393, rangemap::truncated(r.min, r.max, 64, g));
        break;
    }
    case CameraKindUEye: ueye::is_SetHardwareGain(ueyeCam, g, g, g, g); break;
    case CameraKindMindVision: {
        int min = 0, max = 0;
        mv::CameraGetAeAnalogGainRange(mvCamera, &min, &max);
        mv::CameraSetAnalogGain(mvCamera, rangemap::truncated(min, max, 64, g));
        break;
    }
    case CameraKindHikvision: {
        hik::FloatValue f;
        hik::MV_CC_GetGain(hikDevice, &f);
        hik::MV_CC_SetEnumValue(hikDevice, "GainAuto", 0);
        hik::MV_CC_SetFloatValue(hikDevice, "Gain", static_cast<float>(rangemap::map(f.min, f.max, 64, g)));
        break;
    }
    case CameraKindDvp: {
        dvp::FloatDescr d;
        dvp::dvpGetAnalogGainDescr(dvpCamera, &d);
        dvp::dvpSetAnalogGain(dvpCamera, static_cast<float>(rangemap::map(d.min, d.max, 64, g)));
        break;
    }
    default: break;
    }
    SetWB();
}

void CameraBackend::rebuildFilters()
{
    // caller holds pMutex[camIndex]
    if (uvc)
        uvc->setFilters(filterDescription());
}

void CameraBackend::SetSharp()
{
    if (!isOpen())
        return;
    const int s = values().sharpness;
    switch (gCameraID) {
    case CameraKindGalaxy: {
        gx::FloatRange r;
        if (gx::GXGetFloatRange(gxDevice, 0x2000178B, &r) == gx::GX_STATUS_SUCCESS)
            gx::GXSetFloat(gxDevice, 0x2000178B, rangemap::truncated(r.min, r.max, 100, s));
        break;
    }
    case CameraKindMindVision:
        mv::CameraSetSharpness(mvCamera, rangemap::wholeStep(mvCapability.sharpnessRange.min,
                                                             mvCapability.sharpnessRange.max, 100, s));
        break;
    case CameraKindHikvision: {
        hik::IntValue iv;
        hik::MV_CC_GetSharpness(hikDevice, &iv);
        const float value = static_cast<float>(iv.min) + static_cast<float>(iv.max - iv.min) / 100.0f * static_cast<float>(s);
        hik::MV_CC_SetIntValue(hikDevice, "Sharpness", static_cast<int64_t>(value));
        break;
    }
    case CameraKindDvp: {
        dvp::IntDescr d;
        dvp::dvpGetSharpnessDescr(dvpCamera, &d);
        dvp::dvpSetSharpness(dvpCamera, rangemap::truncated(d.min, d.max, 100, s));
        break;
    }
    case CameraKindUvc: {
        QMutexLocker lock(pMutex[camIndex]);
        filterSharp = sharpnessFilter(s);
        rebuildFilters();
        break;
    }
    default: break;
    }
}

void CameraBackend::SetContrast()
{
    if (!isOpen())
        return;
    const int k = values().contrast;
    switch (gCameraID) {
    case CameraKindGalaxy: {
        QMutexLocker lock(pMutex[camIndex]);
        gContrast[camIndex] = k > 150 ? 100 : k - 50;
        break;
    }
    case CameraKindMindVision:
        mv::CameraSetContrast(mvCamera, rangemap::wholeStep(mvCapability.contrastRange.min,
                                                            mvCapability.contrastRange.max, 200, k));
        break;
    case CameraKindDvp: {
        dvp::IntDescr d;
        dvp::dvpGetContrastDescr(dvpCamera, &d);
        dvp::dvpSetContrast(dvpCamera, rangemap::truncated(d.min, d.max, 200, k));
        break;
    }
    case CameraKindUvc: {
        QMutexLocker lock(pMutex[camIndex]);
        filterContrast = contrastFilter(k);
        rebuildFilters();
        break;
    }
    default: break;
    }
}

void CameraBackend::SetGamma()
{
    if (!isOpen())
        return;
    int m = values().gamma;
    switch (gCameraID) {
    case CameraKindGalaxy: {
        gx::FloatRange r;
        if (gx::GXGetFloatRange(gxDevice, 0x20001397, &r) == gx::GX_STATUS_SUCCESS)
            gx::GXSetFloat(gxDevice, 0x20001397, rangemap::map(r.min, r.max, 250, m));
        break;
    }
    case CameraKindUEye: ueye::is_Gamma(ueyeCam, 1, &m, 4); break;
    case CameraKindMindVision:
        mv::CameraSetGamma(mvCamera, rangemap::wholeStep(mvCapability.gammaRange.min, mvCapability.gammaRange.max, 250, m));
        break;
    case CameraKindHikvision: {
        hik::FloatValue f;
        hik::MV_CC_GetGamma(hikDevice, &f);
        hik::MV_CC_SetFloatValue(hikDevice, "Gamma", static_cast<float>(rangemap::map(f.min, f.max, 250, m)));
        break;
    }
    case CameraKindDvp: {
        dvp::IntDescr d;
        dvp::dvpGetGammaDescr(dvpCamera, &d);
        dvp::dvpSetGamma(dvpCamera, rangemap::truncated(d.min, d.max, 250, m));
        break;
    }
    case CameraKindUvc: {
        QMutexLocker lock(pMutex[camIndex]);
        filterGamma = gammaFilter(m);
        rebuildFilters();
        break;
    }
    default: break;
    }
}

void CameraBackend::SetHMirror()
{
    if (isOpen() && gCameraID == CameraKindMindVision)
        mv::CameraSetMirror(mvCamera, 0, values().hMirror != 0);
}

void CameraBackend::SetVMirror()
{
    if (isOpen() && gCameraID == CameraKindMindVision)
        mv::CameraSetMirror(mvCamera, 1, values().vMirror != 0);
}

void CameraBackend::SetWB()
{
    if (!isOpen() || !gisColor)
        return;
    if (gCameraID == CameraKindMindVision)
        mv::CameraSetOnceWB(mvCamera);
    else if (gCameraID == CameraKindHikvision)
        hik::MV_CC_SetBalanceWhiteAuto(hikDevice, 2);
}

void CameraBackend::CameraChangeTrig(bool restart)
{
    if (!isOpen())
        return;
    const bool ext = host_->cameraSwitches(false).externalTrigger != 0;
    switch (gCameraID) {
    case CameraKindGalaxy:
        // The external-trigger switch is not applied to this kind.
        if (restart)
            gx::GXSendCommand(gxDevice, 0x70000BBA);
        gx::GXSetEnum(gxDevice, 0x30000BB8, 2);
        gx::GXSetEnum(gxDevice, 0x30000BBD, 0);
        if (restart)
            gx::GXSendCommand(gxDevice, 0x70000BB9);
        break;
    case CameraKindMindVision: mv::CameraSetTriggerMode(mvCamera, ext ? 2 : 0); break;
    case CameraKindHikvision:
        if (ext) {
            hik::MV_CC_SetEnumValue(hikDevice, "TriggerMode", 1);
            hik::MV_CC_SetEnumValue(hikDevice, "TriggerSource", 0);
        } else {
            hik::MV_CC_SetEnumValue(hikDevice, "TriggerMode", 0);
        }
        break;
    case CameraKindDvp: dvp::dvpSetTriggerState(dvpCamera, ext); break;
    default: break;
    }
    {
        QMutexLocker lock(pMutex[camIndex]);
        isImageFill[camIndex] = false;   // a frame from before the change is not taken
    }
    host_->repaintView(camIndex);
}

void CameraBackend::RestoreDefaultSettings()
{
    if (!isOpen())
        return;
    CameraValues back = host_->cameraValues(camIndex, true);
    switch (gCameraID) {
    case CameraKindMindVision: {
        CameraStop();
        mv::CameraLoadParameter(mvCamera, 0xFF);
        setMindVisionResolution(mvCamera, false);
        setMindVisionFormat(mvCamera);
        mv::CameraSetAeState(mvCamera, host_->cameraSwitches(false).autoExposure ? 1 : 0);
        mv::CameraSetFrameSpeed(mvCamera, 0);
        double us = 0;
        mv::CameraGetExposureTime(mvCamera, &us);
        back.exposure = static_cast<int>(us / 1000);
        int gain = 0, gmin = 0, gmax = 0;
        mv::CameraGetAnalogGain(mvCamera, &gain);
        mv::CameraGetAeAnalogGainRange(mvCamera, &gmin, &gmax);
        back.gain = rangemap::readBack(gain, gmin, gmax, 64);
        int cur = 0;
        mv::CameraGetSharpness(mvCamera, &cur);
        back.sharpness = rangemap::readBackWholeStep(cur, mvCapability.sharpnessRange.min, mvCapability.sharpnessRange.max, 100);
        mv::CameraGetContrast(mvCamera, &cur);
        back.contrast = rangemap::readBackWholeStep(cur, mvCapability.contrastRange.min, mvCapability.contrastRange.max, 200);
        mv::CameraGetGamma(mvCamera, &cur);
        back.gamma = rangemap::readBackWholeStep(cur, mvCapability.gammaRange.min, mvCapability.gammaRange.max, 250);
        host_->storeEditCameraValues(camIndex, back);
        CameraStart();
        CameraSetSpeed();
        return;
    }
    case CameraKindHikvision: {
        CameraStop();
        hik::MV_CC_SetEnumValue(hikDevice, "UserSetSelector", 0);
        hik::MV_CC_SetCommandValue(hikDevice, "UserSetLoad");
        hik::MV_CC_SetEnumValue(hikDevice, "PixelFormat", hikPixelFormat());
        CameraStart();
        hik::FloatValue f;
        hik::MV_CC_GetFloatValue(hikDevice, "ExposureTime", &f);
        back.exposure = static_cast<int>(f.cur / 1000);
        hik::MV_CC_GetGain(hikDevice, &f);
        back.gain = rangemap::readBack(f.cur, f.min, f.max, 64);
        hik::IntValue iv;
        hik::MV_CC_GetSharpness(hikDevice, &iv);
        back.sharpness = rangemap::readBack(static_cast<double>(iv.cur), static_cast<double>(iv.min), static_cast<double>(iv.max), 100);
        hik::MV_CC_GetGamma(hikDevice, &f);
        back.gamma = rangemap::readBack(f.cur, f.min, f.max, 250);
        host_->storeEditCameraValues(camIndex, back);
        return;
    }
    case CameraKindUvc: {
        back.contrast = 140;
        back.gamma = 40;
        back.sharpness = 0;
        host_->storeEditCameraValues(camIndex, back);
        QMutexLocker lock(pMutex[camIndex]);
        filterContrast = contrastFilter(back.contrast);
        filterGamma = gammaFilter(back.gamma);
        filterSharp = sharpnessFilter(back.sharpness);
        filterExtra.clear();
        return;   // the graph takes them with the next contrast, gamma or sharpness setting
    }
    case CameraKindDvp: {
        CameraStop();
        dvp::dvpLoadDefault(dvpCamera);
        dvp::dvpSetAeOperation(dvpCamera, 0);
        dvp::dvpSetTargetFormat(dvpCamera, dvpTargetFormat());
        dvp::dvpSetGammaState(dvpCamera, true);
        dvp::dvpSetContrastState(dvpCamera, true);
        dvp::dvpSetSharpnessState(dvpCamera, true);
        dvp::dvpSetRoi(dvpCamera, dvp::Region{0, 0, gImageW, gImageH});
        dvp::dvpSetConfigString(dvpCamera, "HdrEnable", host_->cameraSwitches(true).autoShading ? "true" : "false");
        double us = 0;
        dvp::dvpGetExposure(dvpCamera, &us);
        back.exposure = static_cast<int>(us / 1000);
        float gain = 0;
        dvp::dvpGetAnalogGain(dvpCamera, &gain);
        back.gain = static_cast<int>(gain);
        dvp::dvpGetSharpness(dvpCamera, &back.sharpness);
        dvp::dvpGetGamma(dvpCamera, &back.gamma);
        dvp::dvpGetContrast(dvpCamera, &back.contrast);
        host_->storeEditCameraValues(camIndex, back);
        CameraStart();
        return;
    }
    default:
        return;   // Galaxy, uEye and none keep their settings
    }
}

void CameraBackend::applyCaptureSpeed(int speed)
{
    if (!isOpen())
        return;
    switch (gCameraID) {
    case CameraKindUEye: ueye::is_PixelClock(ueyeCam, 6, &speed, 4); break;
    case CameraKindMindVision: mv::CameraSetFrameSpeed(mvCamera, gisColor ? speed + 1 : speed); break;
    case CameraKindHikvision:
        hik::MV_CC_SetBoolValue(hikDevice, "AcquisitionFrameRateEnable", true);
        hik::MV_CC_SetFloatValue(hikDevice, "AcquisitionFrameRate", speed <= 4 ? 20.0f : static_cast<float>(speed));
        break;
    case CameraKindDvp: dvpSkip = speed; break;
    default: break;
    }
}
