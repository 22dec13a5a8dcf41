#pragma once
// Our stand-in for the Hikvision camera SDK on the simulated bus.  Frames
// and exceptions arrive by callback on the bus's thread of the camera;
// after MV_CC_StopGrabbing returns no callback runs.
#include <cstdint>

namespace simsdk::hik {

constexpr int MV_OK = 0;
constexpr int MV_E_HANDLE = static_cast<int>(0x80000000);
constexpr int MV_E_SUPPORT = static_cast<int>(0x80000001);
constexpr int MV_E_PARAMETER = static_cast<int>(0x80000004);
constexpr int MV_E_NODATA = static_cast<int>(0x80000007);
constexpr int MV_E_ACCESS_DENIED = static_cast<int>(0x80000203);

constexpr unsigned MV_GIGE_DEVICE = 1;
constexpr unsigned MV_USB_DEVICE = 4;
constexpr unsigned MV_EXCEPTION_DEV_DISCONNECT = 0x8001;

constexpr unsigned MV_BALANCEWHITE_AUTO_ONCE = 2;   // MV_CC_SetBalanceWhiteAuto
constexpr unsigned MV_TRIGGER_MODE_OFF = 0;         // "TriggerMode"
constexpr unsigned MV_TRIGGER_MODE_ON = 1;
constexpr unsigned MV_TRIGGER_SOURCE_LINE0 = 0;     // "TriggerSource"
constexpr unsigned MV_USER_SET_DEFAULT = 0;         // "UserSetSelector"

constexpr unsigned PixelType_Mono8 = 0x01080001;
constexpr unsigned PixelType_BayerRG8 = 0x01080009;
constexpr unsigned PixelType_RGB8_Packed = 0x02180014;

struct DeviceInfo {
    unsigned transportType = 0;   // MV_GIGE_DEVICE or MV_USB_DEVICE
    char serialNumber[64] = {};   // GigE devices only
    char usbSerial[64] = {};      // USB devices only
    char modelName[64] = {};
    uint32_t currentIp = 0;
    uint32_t currentSubnetMask = 0;
    uint32_t netExport = 0;       // address of the host interface it hangs on
    uint8_t mac[6] = {};
};

// Entries point into the SDK's own storage, replaced by the next enumeration.
struct DeviceInfoList {
    unsigned count = 0;
    DeviceInfo* entries[256] = {};
};

struct FrameOutInfo {
    unsigned width = 0;
    unsigned height = 0;
    unsigned pixelType = 0;
    unsigned frameLen = 0;
    uint64_t frameNum = 0;
};

struct IntValue {
    int64_t cur = 0, min = 0, max = 0;
};
struct FloatValue {
    float cur = 0, min = 0, max = 0;
};

struct ConvertParam {
    unsigned width = 0;
    unsigned height = 0;
    unsigned srcPixelType = 0;
    const uint8_t* srcData = nullptr;
    unsigned srcDataLen = 0;
    unsigned dstPixelType = 0;
    uint8_t* dstBuffer = nullptr;
    unsigned dstBufferSize = 0;
    unsigned dstLen = 0;          // out
};

using ImageCallback = void (*)(unsigned char* data, FrameOutInfo* info, void* user);
using ExceptionCallback = void (*)(unsigned msgType, void* user);
using Handle = void*;

int MV_CC_EnumDevices(unsigned layers, DeviceInfoList* list);   // 5: GigE or USB
int MV_CC_CreateHandle(Handle* h, const DeviceInfo* info);
int MV_CC_DestroyHandle(Handle h);
int MV_CC_OpenDevice(Handle h, unsigned accessMode, unsigned short switchoverKey);
int MV_CC_CloseDevice(Handle h);
int MV_CC_GetIntValue(Handle h, const char* name, IntValue* v);
int MV_CC_SetIntValue(Handle h, const char* name, int64_t v);
int MV_CC_GetFloatValue(Handle h, const char* name, FloatValue* v);
int MV_CC_SetFloatValue(Handle h, const char* name, float v);
int MV_CC_SetEnumValue(Handle h, const char* name, unsigned v);
int MV_CC_GetEnumValue(Handle h, const char* name, unsigned* v);
int MV_CC_SetBoolValue(Handle h, const char* name, bool v);
int MV_CC_SetCommandValue(Handle h, const char* name);
int MV_CC_GetStringValue(Handle h, const char* name, char* buffer, unsigned size);
int MV_CC_GetGain(Handle h, FloatValue* v);
int MV_CC_GetSharpness(Handle h, IntValue* v);
int MV_CC_GetGamma(Handle h, FloatValue* v);
int MV_CC_SetBalanceWhiteAuto(Handle h, unsigned mode);
int MV_CC_RegisterImageCallBack(Handle h, ImageCallback cb, void* user);
int MV_CC_RegisterExceptionCallBack(Handle h, ExceptionCallback cb, void* user);
int MV_CC_StartGrabbing(Handle h);
int MV_CC_StopGrabbing(Handle h);
int MV_CC_ConvertPixelType(Handle h, ConvertParam* p);
// Gives the GigE device behind h a new address (host byte order).
int MV_GIGE_ForceIpEx(Handle h, uint32_t ip, uint32_t mask, uint32_t gateway);

}  // namespace simsdk::hik
