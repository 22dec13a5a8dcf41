#include "cameraglobals.h"

int numCamera = 0;
int gOW = 0, gOH = 0;
int gSensorColor = 0;
simsdk::mv::ImageResolution gImageResolution;
simsdk::mv::DeviceInfo gCList[kMindVisionListSize];
simsdk::hik::DeviceInfoList gDevList;
int gCamNO[kCameraSlots] = {0, 1, 2, 3, 4, 5, 6, 7};
int gLost = 0;
int gisLost = 0;
int gContrast[kCameraSlots] = {};
int gSource = PictureSourceNone;
QString gTempTime;
