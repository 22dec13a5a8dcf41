#pragma once
// Our stand-in for the MindVision camera SDK on the simulated bus.  Frames
// are polled with CameraGetImageBuffer; the connection callback runs on the
// bus's thread of the camera.
//
// Automatic exposure is emulated.  The simulated pictures do not change with
// the exposure, so the camera models the brightness it would see: the mean
// grey of a frame as taken at 10 ms and the minimum analog gain, times the
// exposure over 10 ms, times 1 + (gain - gain minimum) / 16.  While it is on
// (CameraSetAeState 1), every frame taken with CameraGetImageBuffer moves the
// exposure and gain half-way towards the target brightness (the last step
// lands on it), exposure first within the automatic-exposure range, gain for
// the rest.  With anti-flicker on, an exposure of 10 ms or more is a whole
// multiple of 10 ms (50 Hz mains).  The result depends only on the pictures
// and the number of frames taken, never on timing.
#include <cstdint>

namespace simsdk::mv {

constexpr int CAMERA_STATUS_SUCCESS = 0;
constexpr int CAMERA_STATUS_FAILED = -1;
constexpr int CAMERA_STATUS_NO_DEVICE_FOUND = -16;
constexpr int CAMERA_STATUS_TIME_OUT = -12;
constexpr int CAMERA_STATUS_DEVICE_LOST = -37;
constexpr int CAMERA_STATUS_ACCESS_DENY = -45;

constexpr unsigned CAMERA_MEDIA_TYPE_MONO8 = 0x01080001;
constexpr unsigned CAMERA_MEDIA_TYPE_RGB8 = 0x02180014;

constexpr int IMAGE_RESOLUTION_CUSTOM = 0xFF;   // ImageResolution::index
constexpr int PARAMETER_TEAM_DEFAULT = 0xFF;    // CameraLoadParameter: factory defaults
constexpr int MIRROR_HORIZONTAL = 0;            // CameraSetMirror direction
constexpr int MIRROR_VERTICAL = 1;
constexpr int TRIGGER_CONTINUOUS = 0;           // CameraSetTriggerMode
constexpr int TRIGGER_HARDWARE = 2;
constexpr int MEDIA_TYPE_INDEX_COLOUR = 0;      // CameraSetMediaType: the sensor's colour and mono outputs
constexpr int MEDIA_TYPE_INDEX_MONO = 1;

struct DeviceInfo {
    char productName[32] = {};
    char serial[32] = {};
    int index = -1;
};

struct ImageResolution {
    int index = 0;          // 0xFF: custom
    int hOffsetFov = 0;
    int vOffsetFov = 0;
    int widthFov = 0;
    int heightFov = 0;
    int width = 0;          // output size
    int height = 0;
};

struct Range {
    int min = 0;
    int max = 0;
};

struct Capability {
    int maxWidth = 0;
    int maxHeight = 0;
    int isMono = 0;
    Range sharpnessRange;
    Range contrastRange;
    Range gammaRange;
    int presetCount = 0;
    ImageResolution presets[4];
};

struct FrameHead {
    int width = 0;
    int height = 0;
    int length = 0;         // bytes in the raw buffer
    unsigned mediaType = 0;
    uint64_t number = 0;
};

using CameraHandle = int;
using ConnectionCallback = void (*)(CameraHandle h, unsigned message, unsigned param, void* context);

int CameraSdkInit(int language);
// The SDK's version text, NUL-terminated, into buffer of size bytes.
int CameraSdkGetVersionString(char* buffer, int size);
int CameraEnumerateDevice(DeviceInfo* list, int* count);   // *count: capacity in, found out
int CameraInit(const DeviceInfo* info, int paramLoad, int team, CameraHandle* h);
int CameraUnInit(CameraHandle h);
int CameraGetCapability(CameraHandle h, Capability* cap);
int CameraReadSN(CameraHandle h, char* buffer, int level);   // buffer of 32 bytes
int CameraSetImageResolution(CameraHandle h, const ImageResolution* res);
int CameraSetIspOutFormat(CameraHandle h, unsigned format);
int CameraSetMonochrome(CameraHandle h, int on);
int CameraSetWbMode(CameraHandle h, int automatic);
int CameraSetMediaType(CameraHandle h, int index);
int CameraSetFrameSpeed(CameraHandle h, int speed);
int CameraSetConnectionStatusCallback(CameraHandle h, ConnectionCallback cb, void* context);
int CameraCommonCall(CameraHandle h, const char* command, char* result, int size);
int CameraPlay(CameraHandle h);
int CameraStop(CameraHandle h);
int CameraGetImageBuffer(CameraHandle h, FrameHead* head, uint8_t** raw, unsigned timeoutMs);
int CameraImageProcess(CameraHandle h, const uint8_t* raw, uint8_t* out, FrameHead* head);
int CameraReleaseImageBuffer(CameraHandle h, uint8_t* raw);
int CameraSetAeState(CameraHandle h, int on);
int CameraGetAeState(CameraHandle h, int* on);
int CameraSetAeTarget(CameraHandle h, int target);               // mean grey 0..255
int CameraGetAeTarget(CameraHandle h, int* target);
int CameraSetAeExposureRange(CameraHandle h, double minUs, double maxUs);
int CameraGetAeExposureRange(CameraHandle h, double* minUs, double* maxUs);
int CameraSetAntiFlick(CameraHandle h, int on);
int CameraGetAntiFlick(CameraHandle h, int* on);
int CameraSetExposureTime(CameraHandle h, double us);
int CameraGetExposureTime(CameraHandle h, double* us);
int CameraGetAeAnalogGainRange(CameraHandle h, int* min, int* max);
int CameraSetAnalogGain(CameraHandle h, int gain);
int CameraGetAnalogGain(CameraHandle h, int* gain);
int CameraSetSharpness(CameraHandle h, int v);
int CameraGetSharpness(CameraHandle h, int* v);
int CameraSetContrast(CameraHandle h, int v);
int CameraGetContrast(CameraHandle h, int* v);
int CameraSetGamma(CameraHandle h, int v);
int CameraGetGamma(CameraHandle h, int* v);
int CameraSetMirror(CameraHandle h, int direction, int on);
int CameraSetOnceWB(CameraHandle h);
int CameraSetTriggerMode(CameraHandle h, int mode);   // 0 continuous, 2 hardware
int CameraLoadParameter(CameraHandle h, int team);    // 0xFF: factory defaults

}  // namespace simsdk::mv
