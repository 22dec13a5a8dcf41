#pragma once
// The two outside services the camera code calls through interfaces: the UVC
// capture path (FFmpeg) and the GigE address repair.  Both are built
// elsewhere and installed by the main window; until then UVC finds no device
// and no address is repaired, which is the safe default off the panel.
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// One UVC camera: open a device (or any input the implementation accepts),
// read frames as 8-bit grey at the processed size, tune the software
// filters, close.  readGrey runs on the slot's grab thread without the
// slot's lock; setFilters runs on the GUI thread under the slot's lock.  The
// implementation makes the two safe against each other and lets close()
// interrupt a blocked read.
class UvcSource {
public:
    virtual ~UvcSource() = default;
    // Opens url (e.g. "/dev/video0") with frame rate 30; true when a video
    // stream with a working decoder is there.
    virtual bool open(const QString& url) = 0;
    // Reads the next picture into dst (width x height grey, a smaller picture
    // centred on black, a larger one scaled down to fit).  1: a picture,
    // 0: nothing yet, < 0: read error.
    virtual int readGrey(uint8_t* dst, int width, int height) = 0;
    // The filter description, e.g. "eq=contrast=1.000000:gamma=1.684000,unsharp=5:5:0.000000";
    // < 0 when the graph could not be built.
    virtual int setFilters(const std::string& description) = 0;
    virtual void close() = 0;
    // Makes a waiting readGrey return at once, and every later one until
    // resume(); frees nothing, so that a stop never waits for a stalled
    // camera.  interrupt() is safe from any thread.
    virtual void interrupt() {}
    virtual void resume() {}
};

using UvcSourceFactory = std::function<std::unique_ptr<UvcSource>()>;
// Installs the UVC capture path; an empty factory removes it.
void setUvcSourceFactory(UvcSourceFactory factory);
// A new, unopened source, or null when no capture path is installed.
std::unique_ptr<UvcSource> makeUvcSource();

// Where the UVC cameras are: how many are attached and the node of the n-th
// (from 0).  Unset (the default, and on the panel): the kernel's
// input-device list (CheckUSBCameraNum) and paths().videoDevice.
struct UvcDeviceList {
    std::function<int()> count;
    std::function<QString(int)> node;
};
void setUvcDeviceList(UvcDeviceList list);
int uvcCameraCount();
QString uvcNode(int n);

// GigE camera address repair.  Implementations bound their own work (time,
// addresses tried) and send nothing unless configured on a panel.
class AddressRepair {
public:
    virtual ~AddressRepair() = default;
    // Repairs the addresses of GigE cameras outside their interface's subnet;
    // returns the number of cameras re-addressed.
    virtual int RepairAllCameraIP() = 0;
    // Makes Hikvision GigE cameras reachable; result not used by the probe.
    virtual int EnsureDeviceReach() = 0;
};

// Installs the repair; null (the default) repairs nothing.
void setAddressRepair(std::shared_ptr<AddressRepair> repair);
// Shared, so that a sweep running on a worker keeps it alive.
std::shared_ptr<AddressRepair> addressRepair();
