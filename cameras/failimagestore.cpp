#include "failimagestore.h"

#include <QMutexLocker>
#include <utility>

QImage gpFailImage[kCameraSlots][kDetections][2];
bool gisSaveFail[kCameraSlots][kDetections][2] = {};

namespace {
bool inRange(int camera, int d, int slot)
{
    return camera >= 0 && camera < kCameraSlots && d >= 0 && d < kDetections && (slot == 0 || slot == 1);
}
}

void StoreFailImage(int camera, int d, int slot, QImage picture)
{
    if (!inRange(camera, d, slot))
        return;
    {
        QMutexLocker lock(pMutexSaveFail);
        gpFailImage[camera][d][slot].swap(picture);
    }
    // The picture replaced is released here, outside the lock.
}

QImage FailImage(int camera, int d, int slot)
{
    if (!inRange(camera, d, slot))
        return {};
    QMutexLocker lock(pMutexSaveFail);
    return gpFailImage[camera][d][slot];
}

void FailImageFlags(int camera, int d, bool* ngPending, bool* okPending)
{
    bool ng = false, ok = false;
    if (inRange(camera, d, 0)) {
        QMutexLocker lock(pMutexSaveFail);
        ng = gisSaveFail[camera][d][0];
        ok = gisSaveFail[camera][d][1];
    }
    if (ngPending)
        *ngPending = ng;
    if (okPending)
        *okPending = ok;
}

bool TakeFailImage(int camera, int d, int slot, QImage* picture)
{
    if (!inRange(camera, d, slot) || !picture)
        return false;
    QImage taken;
    {
        QMutexLocker lock(pMutexSaveFail);
        if (!gisSaveFail[camera][d][slot])
            return false;
        gisSaveFail[camera][d][slot] = false;
        taken.swap(gpFailImage[camera][d][slot]);
    }
    // The writer's previous picture goes here, outside the lock.
    picture->swap(taken);
    return true;
}

void ClearFailImages()
{
    QImage old[kCameraSlots][kDetections][2];
    QMutexLocker lock(pMutexSaveFail);
    for (int c = 0; c < kCameraSlots; ++c)
        for (int d = 0; d < kDetections; ++d)
            for (int s = 0; s < 2; ++s) {
                old[c][d][s].swap(gpFailImage[c][d][s]);
                gisSaveFail[c][d][s] = false;
            }
}
