#include "camerafamily.h"

#include "cameraglobals.h"
#include "family_rows.h"

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

void setProbedSize(int width, int height)
{
    gImageW = width;
    gImageH = height;
}
