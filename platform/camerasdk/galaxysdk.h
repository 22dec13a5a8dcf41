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
int GXSendCommand(DeviceHandle h, uint32_t id);   // 0x70000BB9 start, 0x70000BBA stop
int GXGetImage(DeviceHandle h, FrameData* frame, uint32_t timeoutMs);

// Software contrast of the image-processing library: out = clamp((in - 128)
// * (100 + factor) / 100 + 128), factor -50..100.
int DxContrast(const uint8_t* in, uint8_t* out, int length, int factor);

}  // namespace simsdk::gx
