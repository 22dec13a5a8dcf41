#pragma once
// Our stand-in for the uEye camera SDK on the simulated bus.  While the
// camera captures, the bus writes each frame into the image memory given to
// is_SetImageMem and counts it; is_GetFramesCaptured reads that count and
// is_CopyImageMem copies the memory consistently (under the SDK's lock).  A
// frame that does not fit the memory is not written; is_CaptureStatus
// counts it.
#include <cstdint>

namespace simsdk::ueye {

using HIDS = uint32_t;
constexpr int IS_SUCCESS = 0;
constexpr int IS_NO_SUCCESS = -1;
constexpr int IS_INVALID_CAMERA_HANDLE = 1;
constexpr HIDS IS_USE_DEVICE_ID = 0x8000;

// Commands and modes.
constexpr int IS_CM_MONO8 = 6;                      // is_SetColorMode
constexpr int IS_AOI_IMAGE_SET_SIZE = 5;            // is_AOI
constexpr int IS_SET_ENABLE_AUTO_GAIN = 0x8800;     // is_SetAutoParameter
constexpr int IS_SET_ENABLE_AUTO_SHUTTER = 0x8802;
constexpr int IS_SET_HW_GAMMA_ON = 1;               // is_SetHardwareGamma
constexpr int IS_PIXELCLOCK_CMD_SET = 6;            // is_PixelClock
constexpr int IS_EXPOSURE_CMD_SET_EXPOSURE = 12;    // is_Exposure
constexpr int IS_GAMMA_CMD_SET = 1;                 // is_Gamma
constexpr int IS_WAIT = 1;                          // is_CaptureVideo
constexpr int IS_FORCE_VIDEO_STOP = 0x4000;         // is_StopLiveVideo

struct SensorInfo {
    int maxWidth = 0;
    int maxHeight = 0;
    int colorMode = 0;   // 1 mono
};

struct CameraInfo {
    char serial[32] = {};
};

int CameraUSBDeviceInit();
int is_GetNumberOfCameras(int* count);
// *h: 0x8000 | device id (from 1); 0x8000 alone takes the first free camera.
int is_InitCamera(HIDS* h, void* window);
int is_ExitCamera(HIDS h);
int is_GetSensorInfo(HIDS h, SensorInfo* info);
int is_GetCameraInfo(HIDS h, CameraInfo* info);
int is_GetColorDepth(HIDS h, int* bitsPerPixel, int* colorMode);
int is_SetColorMode(HIDS h, int mode);   // 6: 8-bit mono
int is_AllocImageMem(HIDS h, int width, int height, int bitsPerPixel, char** mem, int* id);
int is_SetImageMem(HIDS h, char* mem, int id);
int is_FreeImageMem(HIDS h, char* mem, int id);
int is_AOI(HIDS h, int command, void* param, int size);   // 5: set size (two ints)
int is_SetAutoParameter(HIDS h, int param, double* value, double* value2);
int is_SetHardwareGamma(HIDS h, int mode);
int is_PixelClock(HIDS h, int command, void* param, int size);   // 6: set (int MHz)
int is_Exposure(HIDS h, int command, void* param, int size);     // 12: set (double ms)
int is_SetHardwareGain(HIDS h, int master, int red, int green, int blue);
int is_Gamma(HIDS h, int command, void* param, int size);        // 1: set (int)
int is_CaptureVideo(HIDS h, int wait);
int is_StopLiveVideo(HIDS h, int wait);
int is_GetFramesCaptured(HIDS h, uint64_t* count);
int is_CopyImageMem(HIDS h, char* mem, int id, char* dest);

// Frames the camera could not capture since it was opened.
constexpr int IS_CAPTURE_STATUS_INFO_CMD_GET = 2;
struct CaptureStatus {
    uint32_t total = 0;
    uint32_t wrongSize = 0;   // of which: not the size of the image memory
};
int is_CaptureStatus(HIDS h, int command, void* param, int size);

}  // namespace simsdk::ueye
