#include "cameradriver.h"

#include "cameraglobals.h"

#include <cstring>

QString DriverSlot::storedSerial() const
{
    const QString sn = QString::fromLatin1(gSerialNB[camIndex], static_cast<int>(strnlen(gSerialNB[camIndex], kSerialTextSize)));
    return sn.size() >= 9 ? sn : QString();
}
