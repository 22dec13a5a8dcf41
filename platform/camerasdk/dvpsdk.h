#pragma once
// Our stand-in for the DVP camera SDK on the simulated bus.  Its calls
// answer 1 on success.  Frames arrive by the stream callback on the bus's
// thread of the camera; after dvpStop returns no callback runs.
#include <cstdint>

namespace simsdk::dvp {

constexpr int DVP_STATUS_OK = 1;
constexpr int DVP_STATUS_FAILED = -1;
constexpr int DVP_STATUS_INVALID_HANDLE = -2;
constexpr int DVP_STATUS_NOT_FOUND = -3;

constexpr int FORMAT_RGB24 = 10;
constexpr int FORMAT_MONO8 = 30;

constexpr int STREAM_STOPPED = 0;
constexpr int STREAM_STARTED = 2;
constexpr int EVENT_FRAME_END = 2;

constexpr int OPEN_NORMAL = 0x21;        // dvpOpenByName mode
constexpr int AE_OP_OFF = 0;             // dvpSetAeOperation
constexpr int AE_OP_CONTINUOUS = 2;
constexpr int TRIGGER_SOURCE_LINE1 = 1;  // dvpSetTriggerSource

using dvpHandle = uint32_t;

struct CameraInfo {
    char friendlyName[64] = {};
    char serial[64] = {};
};

struct SensorInfo {
    int colorSensor = 0;   // non-zero: colour sensor
    int maxWidth = 0;
    int maxHeight = 0;
};

struct Region {
    int x = 0, y = 0, w = 0, h = 0;
};

struct Frame {
    int format = 0;        // FORMAT_*
    int width = 0;
    int height = 0;
    int size = 0;          // bytes in the buffer
    uint64_t frameId = 0;
};

struct FloatDescr {
    float min = 0, max = 0;
};
struct IntDescr {
    int min = 0, max = 0;
};

using StreamCallback = int (*)(dvpHandle h, int event, void* context, Frame* frame, void* buffer);

int dvpRefresh(uint32_t* count);
int dvpEnum(uint32_t index, CameraInfo* info);
int dvpOpenByName(const char* name, int mode, dvpHandle* h);   // mode 0x21
int dvpClose(dvpHandle h);
int dvpIsValid(dvpHandle h, bool* valid);
int dvpGetSensorInfo(dvpHandle h, SensorInfo* info);
int dvpGetRoi(dvpHandle h, Region* roi);
int dvpSetRoi(dvpHandle h, Region roi);
int dvpSetGammaState(dvpHandle h, bool on);
int dvpSetContrastState(dvpHandle h, bool on);
int dvpSetSharpnessState(dvpHandle h, bool on);
int dvpSetTargetFormat(dvpHandle h, int format);
int dvpSetConfigString(dvpHandle h, const char* name, const char* value);
int dvpSetAeOperation(dvpHandle h, int op);   // 0 off, 2 continuous
int dvpSetTriggerSource(dvpHandle h, int source);
int dvpSetTriggerState(dvpHandle h, bool on);
int dvpRegisterStreamCallback(dvpHandle h, StreamCallback cb, int event, void* context);
int dvpGetStreamState(dvpHandle h, int* state);
int dvpStart(dvpHandle h);
int dvpStop(dvpHandle h);
int dvpSetExposure(dvpHandle h, double us);
int dvpGetExposure(dvpHandle h, double* us);
int dvpGetAnalogGainDescr(dvpHandle h, FloatDescr* d);
int dvpSetAnalogGain(dvpHandle h, float v);
int dvpGetAnalogGain(dvpHandle h, float* v);
int dvpGetSharpnessDescr(dvpHandle h, IntDescr* d);
int dvpSetSharpness(dvpHandle h, int v);
int dvpGetSharpness(dvpHandle h, int* v);
int dvpGetContrastDescr(dvpHandle h, IntDescr* d);
int dvpSetContrast(dvpHandle h, int v);
int dvpGetContrast(dvpHandle h, int* v);
int dvpGetGammaDescr(dvpHandle h, IntDescr* d);
int dvpSetGamma(dvpHandle h, int v);
int dvpGetGamma(dvpHandle h, int* v);
int dvpLoadDefault(dvpHandle h);

}  // namespace simsdk::dvp
