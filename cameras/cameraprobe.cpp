#include "cameraprobe.h"

#include "camerabackend.h"
#include "cameraglobals.h"
#include "camerahost.h"
#include "cameraservices.h"
#include "clock.h"
#include "messages.h"
#include "paths.h"

#include <QFile>
#include <QSqlQuery>

#include <glog/logging.h>

#include <algorithm>
#include <cstring>

namespace gx = simsdk::gx;
namespace ueye = simsdk::ueye;
namespace mv = simsdk::mv;
namespace hik = simsdk::hik;
namespace dvp = simsdk::dvp;

namespace {
// One loss is one episode: counted and recorded once, however often the
// restart finds a camera still missing; the Hikvision reachability sweep
// runs once per episode.
bool gLossEpisode = false;
bool gReachDone = false;

void setSize(int w, int h)
{
    gImageW = w;
    gImageH = h;
}

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
    st = gx::GXGetInt(h, 0x100003EE, &v);
    if (st != 0) {
        LOG(INFO) << "Get MerCamera width Error : " << st;
        gx::GXCloseDevice(h);
        return false;
    }
    gOW = static_cast<int>(v);
    st = gx::GXGetInt(h, 0x100003EF, &v);
    if (st != 0) {
        LOG(INFO) << "Get MerCamera height Error : " << st;
        gx::GXCloseDevice(h);
        return false;
    }
    gOH = static_cast<int>(v);
    if (gOW == 1280 && gisCut)
        setSize(1120, 840);
    else if (gOW == 2048 && gisCut)
        setSize(1600, 1200);
    else if (gOW == 2592)
        setSize(1296, gOH / 2);
    else
        setSize(gOW, gOH);
    LOG(INFO) << "find MerCamera count : " << n;
    gCameraID = CameraKindGalaxy;
    gFindCamera = static_cast<int>(n);
    gx::GXCloseDevice(h);
    return true;
}

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
    setSize(1280, 1024);
    gCameraID = CameraKindUEye;
    appClock().sleepMs(3000);
    ueye::is_GetNumberOfCameras(&n);
    gFindCamera = n;
    ueye::is_ExitCamera(h);
    return true;
}

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
        setSize(1120, 840);
    else if (gisCut && gOW == 2048)
        setSize(1600, 1200);
    else if (gisCut && gOW == 2592 && cap.presetCount > 0) {
        gImageResolution = cap.presets[0];
        setSize(gImageResolution.width, gImageResolution.height);
    } else if (gisCut && gOW == 3088)
        setSize(2592, 1944);
    else if (gisCut && gOW == 1600)
        setSize(1300, 1000);
    else
        setSize(gOW, gOH);
    gCameraID = CameraKindMindVision;
    gFindCamera = n;
    mv::CameraUnInit(h);
    n = kMindVisionListSize;
    mv::CameraEnumerateDevice(gCList, &n);   // fresh for the slots
    return true;
}

bool probeDvp()
{
    uint32_t n = 0;
    if (dvp::dvpRefresh(&n) != dvp::DVP_STATUS_OK) {
        LOG(INFO) << "find camera fail";
        return false;
    }
    if (n == 0) {
        LOG(INFO) << "find camera count: 0";
        return false;
    }
    n = std::min<uint32_t>(n, 16);
    dvp::CameraInfo info;
    if (dvp::dvpEnum(0, &info) != dvp::DVP_STATUS_OK) {
        LOG(INFO) << "Enumerate fail!";
        return false;
    }
    dvp::dvpHandle h = 0;
    if (dvp::dvpOpenByName(info.friendlyName, 0x21, &h) != dvp::DVP_STATUS_OK)
        return false;   // no size without an open camera
    dvp::SensorInfo s;
    if (dvp::dvpGetSensorInfo(h, &s) == dvp::DVP_STATUS_OK)
        gSensorColor = s.colorSensor != 0 ? 1 : 0;
    dvp::Region roi;
    const bool roiOk = dvp::dvpGetRoi(h, &roi) == dvp::DVP_STATUS_OK && roi.w > 0 && roi.h > 0;
    dvp::dvpClose(h);
    if (!roiOk)
        return false;
    setSize(roi.w, roi.h);
    gCameraID = CameraKindDvp;
    gFindCamera = static_cast<int>(n);
    return true;
}

bool probeUvc()
{
    const int n = CheckUSBCameraNum();
    if (n <= 0)
        return false;
    std::unique_ptr<UvcSource> src = makeUvcSource();
    if (!src)
        return false;
    const bool ok = src->open(paths().videoDevice.arg(0));
    src->close();
    if (!ok)
        return false;
    gFindCamera = n;
    gCameraID = CameraKindUvc;
    setSize(960, 540);
    return true;
}

bool probeHikvision()
{
    if (AddressRepair* r = addressRepair())
        r->EnsureDeviceReach();
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

CameraBackend* backend(int i)
{
    return gpCameraHost ? gpCameraHost->cameraBackend(i) : nullptr;
}
}

void CheckCameraID()
{
    if (AddressRepair* r = addressRepair()) {
        if (r->RepairAllCameraIP() > 0)
            appClock().sleepMs(6000);   // the cameras come back under their new addresses
    }
    gLossEpisode = false;
    gReachDone = false;
    if (probeGalaxy() || probeUEye() || probeMindVision() || probeDvp() || probeUvc() || probeHikvision())
        return;
    gCameraID = CameraKindNone;
    gFindCamera = 4;
    setSize(1920, 1080);
}

int CheckUSBCameraNum()
{
    // Read the kernel's list directly (no shell); keep a copy as "devices"
    // in the program directory, as before.
    QFile in(paths().procInputDevices);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = in.readAll();
    QFile copy(QStringLiteral("devices"));
    if (copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        copy.write(text);
    int n = 0;
    for (const QByteArray& line : text.split('\n'))
        if (line.toLower().contains("camera"))
            ++n;
    return n;
}

void SaveSN(int clear)
{
    for (auto& s : gSerialNB) {
        std::memset(s, 0, kSerialTextSize);
        s[0] = '0';
    }
    if (!clear && gpCameraHost) {
        for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
            CameraBackend* b = backend(i);
            if (!b || !b->isOpen())
                continue;
            QByteArray sn;
            bool read = false;
            switch (gCameraID) {
            case CameraKindUEye: {
                ueye::CameraInfo info;
                if (ueye::is_GetCameraInfo(b->ueyeCam, &info) == ueye::IS_SUCCESS) {
                    sn = QByteArray(info.serial, static_cast<int>(strnlen(info.serial, sizeof info.serial)));
                    read = true;
                }
                break;
            }
            case CameraKindMindVision: {
                char buffer[32] = {};
                if (mv::CameraReadSN(b->mvCamera, buffer, 0) == 0) {
                    sn = QByteArray(buffer, static_cast<int>(strnlen(buffer, sizeof buffer)));
                    read = true;
                }
                break;
            }
            case CameraKindHikvision:
                if (b->hikDevInfo.transportType == hik::MV_GIGE_DEVICE)
                    sn = QByteArray(b->hikDevInfo.serialNumber,
                                    static_cast<int>(strnlen(b->hikDevInfo.serialNumber, 32)));
                read = true;   // other transports store an empty text
                break;
            default: break;   // Galaxy, DVP and UVC serials are not read
            }
            const int slot = gCamNO[i];
            if (!read || slot < 0 || slot >= kCameraSlots)
                continue;
            std::memset(gSerialNB[slot], 0, kSerialTextSize);
            std::memcpy(gSerialNB[slot], sn.constData(), static_cast<size_t>(std::min<int>(sn.size(), kSerialTextSize - 1)));
        }
    }
    if (!gpCameraHost)
        return;
    QSqlDatabase db = gpCameraHost->serialDatabase();
    QSqlQuery q(db);
    for (int k = 0; k < kCameraSlots; ++k) {
        const QString sn = QString::fromLatin1(gSerialNB[k]);
        q.prepare(QStringLiteral("update sysparam set value=? where name=?"));
        q.addBindValue(sn);
        q.addBindValue(QStringLiteral("serialNB%1").arg(k));
        q.exec();
        if (k < numCamera)
            gpCameraHost->insertRecord(QStringLiteral("Save SN %1: %2").arg(k + 1).arg(sn));
    }
}

void CameraSetSpeed()
{
    if (!gpCameraHost)
        return;
    const int speed = gpCameraHost->cameraSwitches(false).captureSpeed;
    for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
        CameraBackend* b = backend(i);
        if (!b || !b->isOpen())
            continue;
        b->CameraStop();
        b->applyCaptureSpeed(speed);
        b->CameraStart();
    }
}

int CountCamerasOfKind()
{
    switch (gCameraID) {
    case CameraKindGalaxy: {
        uint32_t n = 0;
        return gx::GXUpdateDeviceList(&n, 1000) == 0 ? static_cast<int>(n) : 0;
    }
    case CameraKindUEye: {
        int n = 0;
        return ueye::is_GetNumberOfCameras(&n) == ueye::IS_SUCCESS ? n : 0;
    }
    case CameraKindMindVision: {
        int n = kMindVisionListSize;
        mv::CameraEnumerateDevice(gCList, &n);
        return n;
    }
    case CameraKindHikvision:
        hik::MV_CC_EnumDevices(hik::MV_GIGE_DEVICE | hik::MV_USB_DEVICE, &gDevList);
        return static_cast<int>(gDevList.count);
    case CameraKindUvc:
        return CheckUSBCameraNum();
    case CameraKindDvp: {
        uint32_t n = 0;
        return dvp::dvpRefresh(&n) == dvp::DVP_STATUS_OK ? static_cast<int>(std::min<uint32_t>(n, 16)) : 0;
    }
    default:
        return -1;
    }
}

namespace {
// reopenFailed: the restart found the full count but a camera did not open
// again.  The counting kinds would see their count and call that no loss,
// leaving the camera closed with the clamp free; it is a loss like any other.
void checkLoss(int cam, bool reopenFailed)
{
    if (gisLost || !gpCameraHost)
        return;
    bool lost = false;
    switch (gCameraID) {
    case CameraKindGalaxy:
    case CameraKindUEye:
    case CameraKindMindVision:
    case CameraKindUvc:
        lost = true;   // called only after a camera failed
        break;
    case CameraKindHikvision:
    case CameraKindDvp:
        lost = reopenFailed || CountCamerasOfKind() != numCamera;
        break;
    default:
        lost = false;
        break;
    }
    if (!lost)
        return;
    CameraHost& host = *gpCameraHost;
    gisLost = 1;
    if (!gLossEpisode) {
        gLossEpisode = true;
        gReachDone = false;
        gLost += 1;
        host.insertRecord(Msg(332).arg(gLost).arg(cam + 1));
    }
    const CameraSwitches sw = host.cameraSwitches(false);
    if (host.runState != CameraHost::kRunStateStopped) {
        host.setOutput(0, 1);   // the clamp interlock blocks the machine
        host.flashOutputs();
    }
    if (sw.cameraCheck) {
        host.showLostCameraBox();
        host.repaintNow();
    }
    for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
        host.clearCameraOk(i);
        if (CameraBackend* b = backend(i)) {
            b->CameraStop();
            b->CameraClose();
        }
    }
    if (!sw.cameraCheck)
        host.showWarnBox(Msg(39));
}
}

void CameraCheck(int cam)
{
    checkLoss(cam, false);
}

void CameraRestart()
{
    if (!gpCameraHost)
        return;
    CameraHost& host = *gpCameraHost;
    if (gisLost) {
        if (gCameraID == CameraKindHikvision && !gReachDone) {
            gReachDone = true;   // the sweep is slow: once per loss
            if (AddressRepair* r = addressRepair())
                r->EnsureDeviceReach();
        }
        const int n = CountCamerasOfKind();
        if (n >= 0 && n != numCamera)
            return;   // still lost
        gisLost = 0;
        for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
            if (CameraBackend* b = backend(i)) {
                b->CameraOpen();
                b->CameraStart();
            }
        }
        host.hideWarnBox();
        host.hideLostCameraBox();
        host.showReconnectCameraBox();
        host.insertRecord(QStringLiteral("Camera Restart"));
    }
    for (int& s : host.stallSeconds)
        s = 0;
    for (int i = numCamera - 1; i >= 0; --i) {
        if (i < kCameraSlots && !host.cameraOpened[i]) {
            checkLoss(i, true);
            return;
        }
    }
    gLossEpisode = false;
    host.cameraLostSignal = false;
    CameraSetSpeed();
}
