#include "camerafamily.h"

#include "cameraglobals.h"
#include "family_rows.h"

#include <cstring>

const std::vector<const CameraFamily*>& cameraFamilies()
{
    static const std::vector<const CameraFamily*> families{
        &kGalaxyFamily, &kUEyeFamily, &kMindVisionFamily, &kDvpFamily, &kUvcFamily, &kHikvisionFamily,
    };
    return families;
}

const CameraFamily* cameraFamily(int kind)
{
    if (kind == kNoCameraFamily.kind)
        return &kNoCameraFamily;
    for (const CameraFamily* f : cameraFamilies())
        if (f->kind == kind)
            return f;
    return nullptr;
}

CameraValues DriverSlot::values() const
{
    return host->cameraValues(camIndex, host->settingsPageVisible());
}

CameraSwitches DriverSlot::switches() const
{
    return host->cameraSwitches(host->settingsPageVisible());
}

QString DriverSlot::storedSerial() const
{
    return QString::fromLatin1(gSerialNB[camIndex], static_cast<int>(strnlen(gSerialNB[camIndex], kSerialTextSize)));
}

void setProbedSize(int width, int height)
{
    gImageW = width;
    gImageH = height;
}
