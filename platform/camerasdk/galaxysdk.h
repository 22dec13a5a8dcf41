#pragma once
// Our stand-in for the Galaxy camera SDK: the calls the camera code makes,
// on the simulated bus.  Features are addressed by their numeric ids.
#include <cstdint>
#include <QString>

namespace simsdk::gx {

constexpr int GX_STATUS_SUCCESS = 0;
constexpr int GX_STATUS_ERROR = -1;
constexpr int GX_STATUS_NOT_FOUND_DEVICE = -3;
constexpr int GX_STATUS_INVALID_HANDLE = -6;
constexpr int GX_STATUS_TIMEOUT = -14;
constexpr int GX_STATUS_NOT_IMPLEMENTED = -13;

// Feature ids: the top nibble is the type (1 int, 2 float, 3 enum, 4 bool,
// 7 command).
constexpr uint32_t GX_INT_OFFSET_X = 0x100003EC;
constexpr uint32_t GX_INT_OFFSET_Y = 0x100003ED;
constexpr uint32_t GX_INT_WIDTH = 0x100003EE;
constexpr uint32_t GX_INT_HEIGHT = 0x100003EF;
constexpr uint32_t GX_INT_BINNING_HORIZONTAL = 0x100003F0;
constexpr uint32_t GX_INT_BINNING_VERTICAL = 0x100003F1;
constexpr uint32_t GX_INT_DECIMATION_HORIZONTAL = 0x100003F2;
constexpr uint32_t GX_INT_DECIMATION_VERTICAL = 0x100003F3;
constexpr uint32_t GX_INT_ACQUISITION_SPEED_LEVEL = 0x10000BBB;
constexpr uint32_t GX_ENUM_ACQUISITION_MODE = 0x30000BB8;
constexpr uint32_t GX_COMMAND_ACQUISITION_START = 0x70000BB9;
constexpr uint32_t GX_COMMAND_ACQUISITION_STOP = 0x70000BBA;
constexpr uint32_t GX_ENUM_TRIGGER_MODE = 0x30000BBD;
constexpr uint32_t GX_FLOAT_EXPOSURE_TIME = 0x20000BC1;
constexpr uint32_t GX_ENUM_EXPOSURE_AUTO = 0x30000BC2;
constexpr uint32_t GX_FLOAT_GAIN = 0x20001393;
constexpr uint32_t GX_BOOL_GAMMA_ENABLE = 0x40001395;
constexpr uint32_t GX_FLOAT_GAMMA = 0x20001397;
constexpr uint32_t GX_ENUM_SHARPNESS_MODE = 0x3000178A;
constexpr uint32_t GX_FLOAT_SHARPNESS = 0x2000178B;
constexpr uint32_t GX_ENUM_AUTO_SHADING = 0x300036B0;

// Enumeration values.
constexpr int64_t GX_ACQ_MODE_CONTINUOUS = 2;
constexpr int64_t GX_TRIGGER_MODE_OFF = 0;
constexpr int64_t GX_EXPOSURE_AUTO_OFF = 0;
constexpr int64_t GX_EXPOSURE_AUTO_CONTINUOUS = 1;
constexpr int64_t GX_SHARPNESS_MODE_ON = 1;
constexpr int64_t GX_AUTO_SHADING_OFF = 0;
constexpr int64_t GX_AUTO_SHADING_ON = 1;
constexpr int64_t GX_HALF_RESOLUTION = 2;   // binning and decimation factor

struct GxSession;
using DeviceHandle = GxSession*;

struct OpenParam {
    QString content;      // the serial
    int openMode = 0;     // 0: by serial
    int accessMode = 4;   // 4: exclusive
};

struct FloatRange {
    double min = 0;
    double max = 0;
    double inc = 0;
};

// Frame descriptor: the caller provides imgBuf of at least imgBufSize bytes.
struct FrameData {
    int status = 0;           // 0: a complete frame
    void* imgBuf = nullptr;
    int imgBufSize = 0;
    int width = 0;
    int height = 0;
    int imgSize = 0;          // bytes written
    uint64_t frameId = 0;
};

int GXInitLib();
int GXUpdateDeviceList(uint32_t* count, uint32_t timeoutMs);
int GXOpenDeviceByIndex(uint32_t index, DeviceHandle* h);   // index from 1
int GXOpenDevice(const OpenParam* param, DeviceHandle* h);
int GXCloseDevice(DeviceHandle h);
int GXGetInt(DeviceHandle h, uint32_t id, int64_t* value);
int GXSetInt(DeviceHandle h, uint32_t id, int64_t value);
int GXSetEnum(DeviceHandle h, uint32_t id, int64_t value);
int GXSetBool(DeviceHandle h, uint32_t id, bool value);
int GXSetFloat(DeviceHandle h, uint32_t id, double value);
int GXGetFloat(DeviceHandle h, uint32_t id, double* value);
int GXGetFloatRange(DeviceHandle h, uint32_t id, FloatRange* range);
int GXSendCommand(DeviceHandle h, uint32_t id);   // GX_COMMAND_ACQUISITION_START / _STOP
int GXGetImage(DeviceHandle h, FrameData* frame, uint32_t timeoutMs);

// Software contrast of the image-processing library: out = clamp((in - 128)
// * (100 + factor) / 100 + 128), factor -50..100.
int DxContrast(const uint8_t* in, uint8_t* out, int length, int factor);

}  // namespace simsdk::gx
