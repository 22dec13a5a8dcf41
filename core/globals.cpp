#include "globals.h"

#include "geometry.h"

#include <QMutex>

QMutex* pMutexIO = nullptr;
QMutex* pMutexSaveFail = nullptr;
QMutex* pMutex[kCameraSlots] = {};
bool isImageFill[kCameraSlots] = {};

int gfLED = -1;
QString gAppDirPath;

void CreateSharedLocks()
{
    if (!pMutexIO)
        pMutexIO = new QMutex;
    if (!pMutexSaveFail)
        pMutexSaveFail = new QMutex;
    for (int k = 0; k < kCameraSlots; ++k) {
        if (!pMutex[k])
            pMutex[k] = new QMutex;
        isImageFill[k] = false;
    }
}

int gImageW = 1280, gImageH = 1024;
int gImageLen = 1280 * 1024;
int gColorLen = 1280 * 1024;
int gShowW = 1280, gShowH = 800;
double gShowAW = 1.0, gShowAH = 800.0 / 1024.0;
int gisColor = 0;
int gCameraID = 0;
int gFindCamera = 0;
int gTempNum = 10;
int gisGrayHue = 0;
int gisCut = 1;

void SyncImageGeometry()
{
    kvor::Geometry g;
    g.showW = gShowW;
    g.showH = gShowH;
    g.showAW = gShowAW;
    g.showAH = gShowAH;
    g.imageW = gImageW;
    g.imageH = gImageH;
    kvor::setGeometry(g);
}
