#pragma once
// The simulated camera bus behind our stand-ins for the vendor camera SDKs.
//
// The bus holds the devices the SDK facades enumerate.  It is loaded from a
// JSON file (MOULDMON_CAMSIM, else ./camsim.json); without one it is empty,
// so every probe finds nothing and the program runs without cameras.
//
// Each device produces frames on a thread of its own while it streams, at
// its frame rate or on a software trigger.  The facades decide how a frame
// reaches the program (polled, written into given memory, or a callback on
// that thread); stopping a stream joins the thread, so nothing is delivered
// after stop returns.
//
// Faults can be injected for tests and the demo: unplug and replug, stall,
// open failure, wrong frame size, a GigE device outside its subnet.
//
// A device's "source" object picks its pictures:
//   {"kind": "synthetic", "seed": N}      seeded, consecutive frames differ
//   {"kind": "sequence"}                  every byte of frame n is n & 0xFF
//   {"kind": "files", "files": [...], "reread": true}
// A "files" source cycles through the listed pictures (any format QImage
// reads, scaled to the window; relative names against the working
// directory).  With "reread" true (default false) the device looks at the
// files again, at most every 100 ms and on its own thread while it streams,
// and takes a file in once it was replaced (another inode, size or change
// time), so a scene swapped by writing beside the file and renaming over it
// reaches the next frames.  A replacement that cannot be read is ignored
// and the previous picture stays.
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace camsim {

enum class Family { Galaxy, UEye, MindVision, Hikvision, Dvp, Uvc };
enum class PixelFormat { Mono8, Rgb24, BayerRG8 };

QString familyName(Family f);
bool familyFromName(const QString& name, Family* f);
int bytesPerPixel(PixelFormat f);

struct DeviceConfig {
    Family family = Family::MindVision;
    QString serial;
    QString model;               // a trailing "M" marks a mono camera (Hikvision)
    int transport = 1;           // 1 GigE, 4 USB (Hikvision)
    int width = 1280;            // sensor size
    int height = 1024;
    int windowWidth = 0;         // window reported before anyone sets one (0: sensor)
    int windowHeight = 0;
    bool mono = true;
    double fps = 30.0;
    bool externalTrigger = false;
    // GigE addresses (dotted quads) and the host interface the camera hangs on.
    QString mac, ip, mask, localIp;
    // Frame source: "synthetic" (seeded, consecutive frames differ),
    // "sequence" (every byte of frame n is n & 0xFF) or "files" (cycled).
    QString source = QStringLiteral("synthetic");
    QStringList files;
    bool reread = false;         // "files": take replaced files in again
    quint32 seed = 1;
    // Faults present from the start.
    int openFailCode = 0;        // non-zero: every open of this device fails with it
    bool wrongFrameSize = false; // frames come 16 pixels narrower than the window
    bool stalled = false;        // streams but delivers nothing
    bool plugged = true;
    // Feature ranges replacing the family's defaults: name -> value, min, max.
    std::vector<std::pair<QString, std::vector<double>>> featureOverrides;
    // UVC entries: the raw "uvc" object (format, urls, options) for the
    // capture path, which reads it itself.
    QByteArray uvcJson;
};

struct Frame {
    std::vector<uint8_t> data;
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::Mono8;
    uint64_t number = 0;         // counts from 1 per device
};

// Numeric features with ranges.  Names are the facade's own (a Galaxy id is
// stored by its hex text).
struct Feature {
    double value = 0;
    double min = 0;
    double max = 0;
    QString text;                // string features
};

class Device {
public:
    explicit Device(const DeviceConfig& cfg);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const DeviceConfig& config() const { return cfg_; }
    QString serial() const { return cfg_.serial; }

    // Faults and hot-plug; callable from any thread.
    void setPlugged(bool plugged);
    bool plugged() const { return plugged_.load(); }
    void setStalled(bool stalled) { stalled_ = stalled; }
    void setOpenFailCode(int code) { openFail_ = code; }
    int openFailCode() const { return openFail_.load(); }
    void setWrongFrameSize(bool on) { wrongSize_ = on; }
    void setIp(const QString& ip);
    QString ip() const;

    // Features (thread-safe).
    bool hasFeature(const QString& name) const;
    Feature feature(const QString& name) const;
    double value(const QString& name, double fallback = 0) const;
    void setValue(const QString& name, double v);   // clamped to the range when it has one
    void setText(const QString& name, const QString& text);
    void defineFeature(const QString& name, double value, double min, double max);
    void resetFeatures();    // back to the family's defaults

    // Window (the frame size) and output format used for the next frames.
    void setWindow(int w, int h);
    int windowWidth() const;
    int windowHeight() const;
    void setFormat(PixelFormat f);
    PixelFormat format() const;

    // Trigger: with external trigger on, frames come only from softTrigger().
    void setExternalTrigger(bool on);
    bool externalTrigger() const;
    void softTrigger();

    // Streaming.  sink gets every frame on the device's thread; lost is
    // called once (on that thread) when the device is unplugged while it
    // streams.  stopStream joins the thread: no call happens after it.
    using Sink = std::function<void(const Frame&)>;
    using LostHandler = std::function<void()>;
    void startStream(Sink sink, LostHandler lost = {});
    void stopStream();
    bool streaming() const;

    // The open count is kept by the facades (a device opens once at a time).
    bool tryOpen();
    void close();
    bool isOpen() const;

    uint64_t framesProduced() const { return produced_.load(); }
    // Times a replaced file of a "files" source was taken in.
    uint64_t filesReread() const { return reread_.load(); }
    // Makes the frame that the stream would deliver next (also used by the
    // facades that produce on demand).
    void makeFrame(Frame* out);

private:
    void run();
    void defineDefaults();

    const DeviceConfig cfg_;
    enum class Source { Synthetic, Sequence, Files };
    const Source source_;   // cfg_.source, read once
    std::atomic<bool> plugged_;
    std::atomic<bool> stalled_;
    std::atomic<int> openFail_;
    std::atomic<bool> wrongSize_;
    std::atomic<uint64_t> produced_{0};

    mutable QMutex mutex_;
    std::map<QString, Feature> features_;
    int winW_ = 0, winH_ = 0;
    PixelFormat format_ = PixelFormat::Mono8;
    bool external_ = false;
    bool open_ = false;
    QString ip_;
    // base pictures of the synthetic and file sources at the current window
    std::vector<std::vector<uint8_t>> base_;
    int baseW_ = 0, baseH_ = 0;
    PixelFormat baseFormat_ = PixelFormat::Mono8;
    void buildBase();

    // The "files" source's pictures in the given window and format, with the
    // stamp of each file (called without mutex_; the stamps say whether a
    // file was replaced since).
    struct FileStamp {
        bool present = false;
        quint64 inode = 0, device = 0, size = 0;
        qint64 changedNs = 0;
        bool operator==(const FileStamp& o) const
        {
            return present == o.present && inode == o.inode && device == o.device && size == o.size
                   && changedNs == o.changedNs;
        }
    };
    static FileStamp stampOf(const QString& file);
    std::vector<std::vector<uint8_t>> loadFiles(int w, int h, PixelFormat f) const;
    void rereadFiles();           // device's thread, at most every 100 ms
    std::vector<FileStamp> stamps_;   // under mutex_
    std::chrono::steady_clock::time_point nextRereadCheck_{};   // device's thread
    std::atomic<uint64_t> reread_{0};

    std::mutex streamMutex_;
    std::condition_variable streamCv_;
    std::thread thread_;
    bool running_ = false;
    int triggers_ = 0;
    Sink sink_;
    LostHandler lost_;
};

// Every facade call, as text, for tests ("GXOpenDeviceByIndex 1").
class CallLog {
public:
    void add(const QString& line);
    QStringList lines() const;
    QStringList linesStartingWith(const QString& prefix) const;
    void clear();
private:
    mutable QMutex mutex_;
    QStringList lines_;
};

class Bus {
public:
    // Replaces the devices with those of the JSON text; false (and an empty
    // bus) when the text is not valid.  Every value is checked before use
    // (at most 64 devices, sensor sides 1..8192, the window within the
    // sensor, fps 0.1..1000, whole numbers where the field is one); a device
    // with a value out of range is refused.  error receives the reason,
    // naming the device and the key.
    bool loadJson(const QByteArray& json, QString* error = nullptr);
    // Loads MOULDMON_CAMSIM or ./camsim.json when present; else empty.
    bool loadDefault(QString* error = nullptr);
    void clear();
    void addDevice(const DeviceConfig& cfg);

    // Devices of one family in enumeration order (plugged ones only).
    std::vector<std::shared_ptr<Device>> devices(Family f) const;
    std::shared_ptr<Device> find(const QString& serial) const;
    std::vector<std::shared_ptr<Device>> all() const;

    CallLog& log() { return log_; }

private:
    mutable QMutex mutex_;
    std::vector<std::shared_ptr<Device>> devices_;
    CallLog log_;
};

// The process-wide bus; loaded once, on first use, by loadDefault().
Bus& bus();

// Dotted quad <-> host-order address (0 when not valid).
uint32_t ipFromText(const QString& text);
QString ipToText(uint32_t ip);

// Pixel helpers the facades share.
void rgbToBayerRG(const uint8_t* rgb, uint8_t* bayer, int w, int h);
void bayerRGToRgb(const uint8_t* bayer, uint8_t* rgb, int w, int h);
void rgbToMono(const uint8_t* rgb, uint8_t* mono, int w, int h);
void monoToRgb(const uint8_t* mono, uint8_t* rgb, int w, int h);

} // namespace camsim
