#include "cameraservices.h"

#include "camerahost.h"

#include <QMutex>

CameraHost* gpCameraHost = nullptr;

namespace {
QMutex gServicesMutex;
UvcSourceFactory& factorySlot()
{
    static UvcSourceFactory f;
    return f;
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

AddressRepair* addressRepair()
{
    QMutexLocker lock(&gServicesMutex);
    return repairSlot().get();
}
