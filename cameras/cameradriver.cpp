#include "cameradriver.h"

#include "cameraglobals.h"

#include <cstring>

QString DriverSlot::storedSerial() const
{
    return QString::fromLatin1(gSerialNB[camIndex], static_cast<int>(strnlen(gSerialNB[camIndex], kSerialTextSize)));
}
