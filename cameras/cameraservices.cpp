#include "cameraservices.h"

#include "camerahost.h"
#include "cameraprobe.h"
#include "paths.h"

#include <QMutex>

CameraHost* gpCameraHost = nullptr;

namespace {
QMutex gServicesMutex;
UvcSourceFactory& factorySlot()
{
    static UvcSourceFactory f;
    return f;
}
UvcDeviceList& deviceListSlot()
{
    static UvcDeviceList l;
    return l;
}
std::shared_ptr<AddressRepair>& repairSlot()
{
    static std::shared_ptr<AddressRepair> r;
    return r;
}
}

void setUvcSourceFactory(UvcSourceFactory factory)
{
    QMutexLocker lock(&gServicesMutex);
    factorySlot() = std::move(factory);
}

std::unique_ptr<UvcSource> makeUvcSource()
{
    UvcSourceFactory f;
    {
        QMutexLocker lock(&gServicesMutex);
        f = factorySlot();
    }
    return f ? f() : nullptr;
}

void setAddressRepair(std::shared_ptr<AddressRepair> repair)
{
    QMutexLocker lock(&gServicesMutex);
    repairSlot() = std::move(repair);
}

std::shared_ptr<AddressRepair> addressRepair()
{
    QMutexLocker lock(&gServicesMutex);
    return repairSlot();
}

void setUvcDeviceList(UvcDeviceList list)
{
    QMutexLocker lock(&gServicesMutex);
    deviceListSlot() = std::move(list);
}

int uvcCameraCount()
{
    std::function<int()> count;
    {
        QMutexLocker lock(&gServicesMutex);
        count = deviceListSlot().count;
    }
    return count ? count() : CheckUSBCameraNum();
}

QString uvcNode(int n)
{
    std::function<QString(int)> node;
    {
        QMutexLocker lock(&gServicesMutex);
        node = deviceListSlot().node;
    }
    return node ? node(n) : paths().videoDevice.arg(n);
}
