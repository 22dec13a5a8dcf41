#pragma once
// The camera back-end of one camera slot: the SDK handles of the chosen
// camera kind, the open/start/stop/close sequences, the grab side that hands
// frames over to the detection cycle, and the camera settings.
//
// The camera slot object derives from it; its members carry the slot's
// names.  All operations run on the GUI thread except grabOnce() (the grab
// thread) and the static SDK callbacks (SDK threads).
#include "camerahost.h"
#include "cameraservices.h"
#include "dvpsdk.h"
#include "galaxysdk.h"
#include "hikvisionsdk.h"
#include "mindvisionsdk.h"
#include "ueyesdk.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CameraHost;
class CameraThread;

class CameraBackend {
public:
    CameraBackend(CameraHost* host, int camIndex);
    virtual ~CameraBackend();
    CameraBackend(const CameraBackend&) = delete;
    CameraBackend& operator=(const CameraBackend&) = delete;

    // Open, start, stop, close (in that order; close after stop).
    void CameraOpen();
    int CameraStart();
    void CameraStop();
    void CameraClose();
    bool isOpen() const;

    // Settings, mapped onto the SDK's ranges.
    void SetExposeTime();
    void SetAdjustPlus();
    void SetSharp();
    void SetContrast();
    void SetGamma();
    void SetHMirror();
    void SetVMirror();
    void SetWB();
    void CameraChangeTrig(bool restart);
    void RestoreDefaultSettings();
    // Frame rate of this slot (part of CameraSetSpeed).
    void applyCaptureSpeed(int speed);

    // One iteration of the grab thread for the polled kinds; true when a
    // frame was handed over.  Returns at once for the callback kinds.
    bool grabOnce();
    // Milliseconds the grab thread waits after an iteration.
    int grabPauseMs() const { return lastGrabError_ ? 100 : 10; }

    // SDK callbacks.
    static void MindConnectStateCallBack(simsdk::mv::CameraHandle h, unsigned message, unsigned param, void* context);
    static void ExceptionImageCallBack(unsigned msgType, void* user);
    static void ImageCallBack(unsigned char* data, simsdk::hik::FrameOutInfo* info, void* user);
    static int dvpStreamCallback(simsdk::dvp::dvpHandle h, int event, void* context,
                                 simsdk::dvp::Frame* frame, void* buffer);

    // Frames handed over since the slot was built (the cycle's frame counter).
    uint64_t framesDelivered() const { return framesDelivered_.load(); }
    // Frames dropped because their size did not match the processed size.
    uint64_t framesDropped() const { return framesDropped_.load(); }

    // The UVC filter description: the four fragments in order.
    std::string filterDescription() const;

    const int camIndex;

    // Galaxy
    simsdk::gx::DeviceHandle gxDevice = nullptr;
    simsdk::gx::FrameData gxFrame;
    // uEye
    simsdk::ueye::HIDS ueyeCam = 0;
    char* ueyeMem = nullptr;
    int ueyeMemId = 0;
    int ueyeColorMode = 0;
    int ueyeBitsPerPixel = 0;
    // MindVision
    simsdk::mv::CameraHandle mvCamera = 0;
    simsdk::mv::Capability mvCapability;
    uint8_t* mvRawBuffer = nullptr;
    simsdk::mv::FrameHead mvFrameHead;
    // Hikvision: a copy of the entry opened (the list is replaced by a new enumeration)
    simsdk::hik::Handle hikDevice = nullptr;
    simsdk::hik::DeviceInfo hikDevInfo;
    // UVC
    std::unique_ptr<UvcSource> uvc;
    QString uvcNode;
    std::string filterContrast, filterGamma, filterSharp, filterExtra;
    // DVP
    simsdk::dvp::CameraInfo dvpInfo;
    simsdk::dvp::dvpHandle dvpCamera = 0;
    std::atomic<int> dvpSkip{0};   // written by the GUI thread, read by the SDK thread
    int dvpCounter = 0;

    CameraThread* grabThread = nullptr;

    // Frame buffers, sized from the geometry at construction (gColorLen,
    // 4 x gImageLen, gColorLen with colour processing).
    std::vector<uint8_t> recvFrameStore, grabBufferStore, convertBufferStore, gxImageStore;
    uint8_t* recvFrame = nullptr;
    uint8_t* grabBuffer = nullptr;
    uint8_t* convertBuffer = nullptr;

protected:
    CameraHost* host_;

private:
    bool openGalaxy();
    bool openUEye();
    bool openMindVision();
    bool openHikvision();
    bool openUvc();
    bool openDvp();
    CameraValues values() const;
    CameraSwitches switches() const;
    void rebuildFilters();

    // Hand-over: copies one whole frame into recvFrame under the slot's lock.
    void deliver(const uint8_t* frame, size_t length);
    // Grey picture of gImageLen bytes: delivered as is, or expanded to RGBA
    // with colour processing.
    void deliverGrey(const uint8_t* grey);
    void deliverRgb(const uint8_t* rgb);
    void dropFrame() { ++framesDropped_; }

    std::atomic<uint64_t> framesDelivered_{0};
    std::atomic<uint64_t> framesDropped_{0};
    uint64_t ueyeFramesSeen_ = 0;
    bool lastGrabError_ = false;
};

// Consumer side of the hand-over (the main loop): when slot's flag is set,
// copies gColorLen bytes of its receive buffer into dst and clears the flag.
bool TakeNewFrame(CameraBackend* camera, uint8_t* dst);
