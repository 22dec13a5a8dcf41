#include "simcamerabus.h"

#include <QFile>
#include <QImage>
#include <QMutexLocker>

#include <cjson/cJSON.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>

namespace camsim {

QString familyName(Family f)
{
    switch (f) {
    case Family::Galaxy: return QStringLiteral("galaxy");
    case Family::UEye: return QStringLiteral("ueye");
    case Family::MindVision: return QStringLiteral("mindvision");
    case Family::Hikvision: return QStringLiteral("hikvision");
    case Family::Dvp: return QStringLiteral("dvp");
    case Family::Uvc: return QStringLiteral("uvc");
    }
    return {};
}

bool familyFromName(const QString& name, Family* f)
{
    for (Family x : {Family::Galaxy, Family::UEye, Family::MindVision, Family::Hikvision,
                     Family::Dvp, Family::Uvc}) {
        if (familyName(x).compare(name, Qt::CaseInsensitive) == 0) {
            *f = x;
            return true;
        }
    }
    return false;
}

int bytesPerPixel(PixelFormat f)
{
    return f == PixelFormat::Rgb24 ? 3 : 1;
}

uint32_t ipFromText(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return 0;
    uint32_t ip = 0;
    for (const QString& p : parts) {
        bool ok = false;
        const uint v = p.toUInt(&ok);
        if (!ok || v > 255)
            return 0;
        ip = (ip << 8) | v;
    }
    return ip;
}

QString ipToText(uint32_t ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF).arg(ip & 0xFF);
}

// ---------------------------------------------------------------- pixels

void rgbToBayerRG(const uint8_t* rgb, uint8_t* bayer, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = rgb + 3 * (static_cast<size_t>(y) * w + x);
            const int c = (y & 1) == 0 ? ((x & 1) == 0 ? 0 : 1) : ((x & 1) == 0 ? 1 : 2);
            bayer[static_cast<size_t>(y) * w + x] = p[c];
        }
}

void bayerRGToRgb(const uint8_t* bayer, uint8_t* rgb, int w, int h)
{
    // Nearest-neighbour demosaic over 2x2 cells: enough for a simulator.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int x0 = x & ~1, y0 = y & ~1;
            const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
            uint8_t* o = rgb + 3 * (static_cast<size_t>(y) * w + x);
            o[0] = bayer[static_cast<size_t>(y0) * w + x0];
            o[1] = static_cast<uint8_t>((bayer[static_cast<size_t>(y0) * w + x1]
                                         + bayer[static_cast<size_t>(y1) * w + x0]) / 2);
            o[2] = bayer[static_cast<size_t>(y1) * w + x1];
        }
}

void rgbToMono(const uint8_t* rgb, uint8_t* mono, int w, int h)
{
    const size_t n = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < n; ++i)
        mono[i] = static_cast<uint8_t>((rgb[3 * i] * 77 + rgb[3 * i + 1] * 150 + rgb[3 * i + 2] * 29) >> 8);
}

void monoToRgb(const uint8_t* mono, uint8_t* rgb, int w, int h)
{
    const size_t n = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < n; ++i)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = mono[i];
}

// ---------------------------------------------------------------- device

Device::Device(const DeviceConfig& cfg)
    : cfg_(cfg),
      source_(cfg.source == QLatin1String("sequence") ? Source::Sequence
              : cfg.source == QLatin1String("files") ? Source::Files : Source::Synthetic),
      plugged_(cfg.plugged), stalled_(cfg.stalled), openFail_(cfg.openFailCode),
      wrongSize_(cfg.wrongFrameSize)
{
    // The loader refuses a window outside the sensor; a config built in code
    // is held to it as well.
    winW_ = cfg.windowWidth > 0 ? std::min(cfg.windowWidth, cfg.width) : cfg.width;
    winH_ = cfg.windowHeight > 0 ? std::min(cfg.windowHeight, cfg.height) : cfg.height;
    external_ = cfg.externalTrigger;
    ip_ = cfg.ip;
    format_ = cfg.mono ? PixelFormat::Mono8 : PixelFormat::Rgb24;
    defineDefaults();
}

Device::~Device()
{
    stopStream();
}

void Device::defineDefaults()
{
    // Our own documented default ranges per family (see README-cameras.md).
    auto def = [this](const char* n, double v, double lo, double hi) {
        features_[QString::fromLatin1(n)] = Feature{v, lo, hi, {}};
    };
    switch (cfg_.family) {
    case Family::Galaxy:
        def("0x100003EE", winW_, 16, cfg_.width);
        def("0x100003EF", winH_, 16, cfg_.height);
        def("0x100003EC", 0, 0, cfg_.width);
        def("0x100003ED", 0, 0, cfg_.height);
        for (const char* b : {"0x100003F0", "0x100003F1", "0x100003F2", "0x100003F3"})
            def(b, 1, 1, 4);
        def("0x20000BC1", 10000, 20, 1000000);   // exposure time, us
        def("0x20001393", 0, 0, 24);             // gain, dB
        def("0x2000178B", 0, 0, 3);              // sharpness
        def("0x20001397", 1, 0.1, 4);            // gamma
        def("0x30000BC2", 0, 0, 2);
        def("0x300036B0", 0, 0, 1);
        def("0x30000BB8", 2, 0, 2);
        def("0x30000BBD", 0, 0, 1);
        def("0x10000BBB", 0, 0, 1);
        def("0x3000178A", 0, 0, 1);
        def("0x40001395", 0, 0, 1);
        break;
    case Family::UEye:
        def("PixelClock", 5, 5, 40);
        def("Exposure", 10, 0.01, 1000);      // ms
        def("Gain", 0, 0, 100);
        def("Gamma", 100, 1, 1000);
        break;
    case Family::MindVision:
        def("ExposureTime", 10000, 50, 1000000);   // us
        def("AnalogGain", 16, 16, 128);
        def("Sharpness", 0, 0, 100);
        def("Contrast", 100, 0, 200);
        def("Gamma", 100, 0, 1000);
        def("AeState", 0, 0, 1);
        def("FrameSpeed", 0, 0, 10);
        def("TriggerMode", 0, 0, 2);
        def("MirrorH", 0, 0, 1);
        def("MirrorV", 0, 0, 1);
        def("Monochrome", 0, 0, 1);
        def("MediaType", 0, 0, 1);
        def("WbMode", 0, 0, 1);
        def("IspOutFormat", cfg_.mono ? 0x01080001 : 0x02180014, 0, 0x7FFFFFFF);
        break;
    case Family::Hikvision:
        def("WidthMax", cfg_.width, cfg_.width, cfg_.width);
        def("HeightMax", cfg_.height, cfg_.height, cfg_.height);
        def("Width", winW_, 16, cfg_.width);
        def("Height", winH_, 16, cfg_.height);
        def("ExposureTime", 10000, 15, 10000000);
        def("Gain", 0, 0, 17);
        def("Sharpness", 0, 0, 100);
        def("Gamma", 0.7, 0, 4);
        def("PixelFormat", cfg_.mono ? 0x01080001 : 0x01080009, 0, 0x7FFFFFFF);
        def("TriggerMode", 0, 0, 1);
        def("TriggerSource", 0, 0, 7);
        def("AcquisitionFrameRate", cfg_.fps, 0.1, 1000);
        def("AcquisitionFrameRateEnable", 0, 0, 1);
        def("GevHeartbeatTimeout", 3000, 500, 600000);
        def("UserSetSelector", 0, 0, 3);
        def("ExposureMode", 0, 0, 1);
        def("ExposureAuto", 0, 0, 2);
        def("GainAuto", 0, 0, 2);
        def("SharpnessEnable", 0, 0, 1);
        def("GammaEnable", 0, 0, 1);
        def("BalanceWhiteAuto", 0, 0, 2);
        features_[QStringLiteral("DeviceModelName")].text = cfg_.model;
        break;
    case Family::Dvp:
        def("Exposure", 10000, 10, 1000000);   // us
        def("AnalogGain", 1, 1, 16);
        def("Sharpness", 0, 0, 100);
        def("Contrast", 0, -100, 100);
        def("Gamma", 100, 1, 1000);
        def("AeOperation", 0, 0, 2);
        def("TriggerState", 0, 0, 1);
        def("TriggerSource", 0, 0, 8);
        def("TargetFormat", cfg_.mono ? 30 : 10, 0, 100);
        def("GammaState", 0, 0, 1);
        def("ContrastState", 0, 0, 1);
        def("SharpnessState", 0, 0, 1);
        break;
    case Family::Uvc:
        break;
    }
    for (const auto& o : cfg_.featureOverrides) {
        Feature& f = features_[o.first];
        if (o.second.size() >= 1) f.value = o.second[0];
        if (o.second.size() >= 3) {
            f.min = o.second[1];
            f.max = o.second[2];
        }
    }
}

void Device::setPlugged(bool plugged)
{
    plugged_ = plugged;
    std::lock_guard<std::mutex> lk(streamMutex_);
    streamCv_.notify_all();
}

void Device::setIp(const QString& ip)
{
    QMutexLocker lock(&mutex_);
    ip_ = ip;
}

QString Device::ip() const
{
    QMutexLocker lock(&mutex_);
    return ip_;
}

bool Device::hasFeature(const QString& name) const
{
    QMutexLocker lock(&mutex_);
    return features_.count(name) != 0;
}

Feature Device::feature(const QString& name) const
{
    QMutexLocker lock(&mutex_);
    auto it = features_.find(name);
    return it == features_.end() ? Feature{} : it->second;
}

double Device::value(const QString& name, double fallback) const
{
    QMutexLocker lock(&mutex_);
    auto it = features_.find(name);
    return it == features_.end() ? fallback : it->second.value;
}

void Device::setValue(const QString& name, double v)
{
    QMutexLocker lock(&mutex_);
    Feature& f = features_[name];
    if (f.max > f.min)
        v = std::clamp(v, f.min, f.max);
    f.value = v;
}

void Device::setText(const QString& name, const QString& text)
{
    QMutexLocker lock(&mutex_);
    features_[name].text = text;
}

void Device::defineFeature(const QString& name, double value, double min, double max)
{
    QMutexLocker lock(&mutex_);
    features_[name] = Feature{value, min, max, {}};
}

void Device::resetFeatures()
{
    QMutexLocker lock(&mutex_);
    features_.clear();
    defineDefaults();
}

void Device::setWindow(int w, int h)
{
    QMutexLocker lock(&mutex_);
    winW_ = std::clamp(w, 1, std::max(1, cfg_.width));
    winH_ = std::clamp(h, 1, std::max(1, cfg_.height));
}

int Device::windowWidth() const
{
    QMutexLocker lock(&mutex_);
    return winW_;
}

int Device::windowHeight() const
{
    QMutexLocker lock(&mutex_);
    return winH_;
}

void Device::setFormat(PixelFormat f)
{
    QMutexLocker lock(&mutex_);
    // A mono sensor cannot deliver colour.
    format_ = cfg_.mono ? PixelFormat::Mono8 : f;
}

PixelFormat Device::format() const
{
    QMutexLocker lock(&mutex_);
    return format_;
}

void Device::setExternalTrigger(bool on)
{
    {
        QMutexLocker lock(&mutex_);
        external_ = on;
    }
    std::lock_guard<std::mutex> lk(streamMutex_);
    triggers_ = 0;
    streamCv_.notify_all();
}

bool Device::externalTrigger() const
{
    QMutexLocker lock(&mutex_);
    return external_;
}

void Device::softTrigger()
{
    std::lock_guard<std::mutex> lk(streamMutex_);
    ++triggers_;
    streamCv_.notify_all();
}

bool Device::tryOpen()
{
    QMutexLocker lock(&mutex_);
    if (open_)
        return false;
    open_ = true;
    return true;
}

void Device::close()
{
    stopStream();
    QMutexLocker lock(&mutex_);
    open_ = false;
}

bool Device::isOpen() const
{
    QMutexLocker lock(&mutex_);
    return open_;
}

void Device::startStream(Sink sink, LostHandler lost)
{
    stopStream();
    std::lock_guard<std::mutex> lk(streamMutex_);
    sink_ = std::move(sink);
    lost_ = std::move(lost);
    running_ = true;
    triggers_ = 0;
    thread_ = std::thread([this] { run(); });
}

void Device::stopStream()
{
    std::thread t;
    {
        std::lock_guard<std::mutex> lk(streamMutex_);
        running_ = false;
        streamCv_.notify_all();
        t = std::move(thread_);
    }
    if (t.joinable())
        t.join();
    std::lock_guard<std::mutex> lk(streamMutex_);
    sink_ = nullptr;
    lost_ = nullptr;
}

bool Device::streaming() const
{
    auto* self = const_cast<Device*>(this);
    std::lock_guard<std::mutex> lk(self->streamMutex_);
    return running_;
}

void Device::run()
{
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<clock::duration>(
        std::chrono::duration<double>(1.0 / std::max(0.1, cfg_.fps)));
    auto next = clock::now() + period;
    bool lostFired = false;
    Frame frame;
    Sink sink;
    LostHandler lost;
    {
        std::lock_guard<std::mutex> lk(streamMutex_);
        sink = sink_;
        lost = lost_;
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lk(streamMutex_);
            if (externalTrigger()) {
                streamCv_.wait(lk, [this] { return !running_ || triggers_ > 0 || !plugged_; });
                if (!running_)
                    break;
                if (triggers_ > 0)
                    --triggers_;
            } else {
                streamCv_.wait_until(lk, next, [this] { return !running_; });
                if (!running_)
                    break;
                next += period;
                const auto now = clock::now();
                if (next < now)
                    next = now + period;   // behind: no burst of stale frames
            }
        }
        if (!plugged_) {
            if (!lostFired && lost) {
                lostFired = true;
                lost();
            }
            if (externalTrigger()) {
                std::unique_lock<std::mutex> lk(streamMutex_);
                streamCv_.wait_for(lk, std::chrono::milliseconds(20), [this] { return !running_; });
            }
            continue;
        }
        lostFired = false;
        if (stalled_)
            continue;
        rereadFiles();
        makeFrame(&frame);
        if (sink)
            sink(frame);
    }
}

void Device::buildBase()
{
    // called with mutex_ held
    base_.clear();
    baseW_ = winW_;
    baseH_ = winH_;
    baseFormat_ = format_;
    const int w = winW_, h = winH_;
    const size_t px = static_cast<size_t>(w) * h;
    auto finish = [&](std::vector<uint8_t> rgb) {
        std::vector<uint8_t> out;
        switch (format_) {
        case PixelFormat::Rgb24: out = std::move(rgb); break;
        case PixelFormat::Mono8: out.resize(px); rgbToMono(rgb.data(), out.data(), w, h); break;
        case PixelFormat::BayerRG8: out.resize(px); rgbToBayerRG(rgb.data(), out.data(), w, h); break;
        }
        base_.push_back(std::move(out));
    };
    if (source_ == Source::Files) {
        stamps_.clear();
        for (const QString& file : cfg_.files)
            stamps_.push_back(stampOf(file));
        base_ = loadFiles(w, h, format_);
        if (!base_.empty())
            return;
    }
    // Synthetic: a gradient, a "part" rectangle that alternates between two
    // places, and seeded noise; four variants, stamped with the frame number.
    quint32 rng = cfg_.seed ? cfg_.seed : 1;
    for (int k = 0; k < 4; ++k) {
        std::vector<uint8_t> rgb(px * 3);
        const int rx = (k & 1) ? w / 2 : w / 6, ry = h / 3, rw = w / 4, rh = h / 3;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                rng = rng * 1664525u + 1013904223u;
                int v = (x * 160) / std::max(1, w) + (y * 60) / std::max(1, h) + static_cast<int>((rng >> 28) & 7);
                if (x >= rx && x < rx + rw && y >= ry && y < ry + rh)
                    v = 230 - static_cast<int>((rng >> 29) & 3);
                uint8_t* p = rgb.data() + 3 * (static_cast<size_t>(y) * w + x);
                p[0] = static_cast<uint8_t>(v);
                p[1] = static_cast<uint8_t>(std::min(255, v + 10));
                p[2] = static_cast<uint8_t>(std::max(0, v - 10));
            }
        finish(std::move(rgb));
    }
}

Device::FileStamp Device::stampOf(const QString& file)
{
    FileStamp st;
    struct stat sb;
    if (::stat(QFile::encodeName(file).constData(), &sb) != 0)
        return st;
    st.present = true;
    st.inode = static_cast<quint64>(sb.st_ino);
    st.device = static_cast<quint64>(sb.st_dev);
    st.size = static_cast<quint64>(sb.st_size);
    st.changedNs = static_cast<qint64>(sb.st_ctim.tv_sec) * 1000000000LL + sb.st_ctim.tv_nsec;
    return st;
}

std::vector<std::vector<uint8_t>> Device::loadFiles(int w, int h, PixelFormat f) const
{
    std::vector<std::vector<uint8_t>> out;
    const size_t px = static_cast<size_t>(w) * h;
    for (const QString& file : cfg_.files) {
        QImage img(file);
        if (img.isNull())
            continue;
        img = img.scaled(w, h, Qt::IgnoreAspectRatio).convertToFormat(QImage::Format_RGB888);
        std::vector<uint8_t> rgb(px * 3);
        for (int y = 0; y < h; ++y)
            std::memcpy(rgb.data() + static_cast<size_t>(y) * w * 3, img.constScanLine(y),
                        static_cast<size_t>(w) * 3);
        std::vector<uint8_t> pic;
        switch (f) {
        case PixelFormat::Rgb24: pic = std::move(rgb); break;
        case PixelFormat::Mono8: pic.resize(px); rgbToMono(rgb.data(), pic.data(), w, h); break;
        case PixelFormat::BayerRG8: pic.resize(px); rgbToBayerRG(rgb.data(), pic.data(), w, h); break;
        }
        out.push_back(std::move(pic));
    }
    return out;
}

void Device::rereadFiles()
{
    if (source_ != Source::Files || !cfg_.reread)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextRereadCheck_)
        return;
    nextRereadCheck_ = now + std::chrono::milliseconds(100);
    std::vector<FileStamp> stamps;
    for (const QString& file : cfg_.files)
        stamps.push_back(stampOf(file));
    int w, h;
    PixelFormat f;
    {
        QMutexLocker lock(&mutex_);
        if (base_.empty() || stamps == stamps_)
            return;   // nothing made yet (the first frame reads the files), or nothing replaced
        w = baseW_;
        h = baseH_;
        f = baseFormat_;
    }
    // Decoding a full picture takes a while: not under the lock the
    // facades' setters share.
    auto pictures = loadFiles(w, h, f);
    QMutexLocker lock(&mutex_);
    stamps_ = stamps;   // an unreadable replacement is not retried until it changes again
    if (pictures.empty() || baseW_ != w || baseH_ != h || baseFormat_ != f)
        return;
    base_ = std::move(pictures);
    ++reread_;
}

void Device::makeFrame(Frame* out)
{
    const uint64_t n = ++produced_;
    QMutexLocker lock(&mutex_);
    int w = winW_;
    const int h = winH_;
    if (wrongSize_)
        w = std::max(1, w - 16);
    out->width = w;
    out->height = h;
    out->format = format_;
    out->number = n;
    const size_t len = static_cast<size_t>(w) * h * bytesPerPixel(format_);
    out->data.resize(len);
    if (source_ == Source::Sequence) {
        std::memset(out->data.data(), static_cast<int>(n & 0xFF), len);
        return;
    }
    if (base_.empty() || baseW_ != winW_ || baseH_ != winH_ || baseFormat_ != format_)
        buildBase();
    const auto& b = base_[n % base_.size()];
    if (w == baseW_) {
        std::memcpy(out->data.data(), b.data(), std::min(len, b.size()));
    } else {
        const int bpp = bytesPerPixel(format_);
        for (int y = 0; y < h; ++y)
            std::memcpy(out->data.data() + static_cast<size_t>(y) * w * bpp,
                        b.data() + static_cast<size_t>(y) * baseW_ * bpp, static_cast<size_t>(w) * bpp);
    }
    if (source_ != Source::Files && len >= 8)
        std::memcpy(out->data.data(), &n, 8);   // frame stamp: consecutive frames differ
}

// ---------------------------------------------------------------- log

void CallLog::add(const QString& line)
{
    QMutexLocker lock(&mutex_);
    if (lines_.size() > 20000)
        lines_.erase(lines_.begin(), lines_.begin() + 10000);   // bounded for long runs
    lines_.append(line);
}

QStringList CallLog::lines() const
{
    QMutexLocker lock(&mutex_);
    return lines_;
}

QStringList CallLog::linesStartingWith(const QString& prefix) const
{
    QMutexLocker lock(&mutex_);
    QStringList out;
    for (const QString& l : lines_)
        if (l.startsWith(prefix))
            out.append(l);
    return out;
}

void CallLog::clear()
{
    QMutexLocker lock(&mutex_);
    lines_.clear();
}

// ---------------------------------------------------------------- bus

namespace {
QString jsonText(const cJSON* o, const char* key, const QString& def = {})
{
    const cJSON* v = cJSON_GetObjectItemCaseSensitive(o, key);
    return cJSON_IsString(v) ? QString::fromUtf8(v->valuestring) : def;
}

// Limits of a configuration: what a test or the demo can ask for without
// exhausting the machine (a frame is made per device at its frame rate).
constexpr int kMaxDevices = 64;
constexpr int kMaxSide = 8192;
constexpr int kMaxFiles = 16;
constexpr int kMaxFeatures = 64;

// Reads the keys of one JSON object, each checked before it is used.  The
// first problem is kept, naming its key; the caller refuses the device.
class JsonFields {
public:
    JsonFields(const cJSON* object, const QString& where, QString* error)
        : o_(object), where_(where), error_(error) {}

    bool ok() const { return error_->isEmpty(); }
    const cJSON* item(const char* key) const { return cJSON_GetObjectItemCaseSensitive(o_, key); }

    void fail(const QString& key, const QString& what)
    {
        if (ok())
            *error_ = QStringLiteral("camera simulation: %1: \"%2\" %3").arg(where_, key, what);
    }

    QString text(const char* key, const QString& def = {})
    {
        const cJSON* v = item(key);
        if (!v)
            return def;
        if (!cJSON_IsString(v)) {
            fail(QLatin1String(key), QStringLiteral("must be a text"));
            return def;
        }
        return QString::fromUtf8(v->valuestring);
    }

    // One of the allowed texts; the first when the key is absent.
    QString choice(const char* key, const QStringList& allowed)
    {
        const QString v = text(key, allowed.first());
        if (!allowed.contains(v, Qt::CaseInsensitive)) {
            fail(QLatin1String(key), QStringLiteral("must be one of \"%1\"").arg(allowed.join(QLatin1String("\", \""))));
            return allowed.first();
        }
        return v.toLower();
    }

    // A dotted quad, or empty.
    QString address(const char* key, const QString& def = {})
    {
        const QString v = text(key, def);
        const QStringList parts = v.split(QLatin1Char('.'));
        bool good = parts.size() == 4;
        for (const QString& p : parts) {
            bool isNumber = false;
            const uint byte = p.toUInt(&isNumber);
            good = good && p.size() <= 3 && isNumber && byte <= 255;
        }
        if (!v.isEmpty() && !good)
            fail(QLatin1String(key), QStringLiteral("must be an address like 192.0.2.1"));
        return v;
    }

    // Six hexadecimal bytes separated by ':', or empty.
    QString mac(const char* key)
    {
        const QString v = text(key);
        const QStringList parts = v.split(QLatin1Char(':'));
        bool good = parts.size() == 6;
        for (const QString& p : parts) {
            bool isNumber = false;
            p.toUInt(&isNumber, 16);
            good = good && p.size() == 2 && isNumber;
        }
        if (!v.isEmpty() && !good)
            fail(QLatin1String(key), QStringLiteral("must be a MAC address like 00:11:22:33:44:55"));
        return v;
    }

    bool flag(const char* key, bool def)
    {
        const cJSON* v = item(key);
        if (!v)
            return def;
        if (cJSON_IsBool(v))
            return cJSON_IsTrue(v);
        if (cJSON_IsNumber(v) && (v->valuedouble == 0 || v->valuedouble == 1))
            return v->valuedouble != 0;
        fail(QLatin1String(key), QStringLiteral("must be true or false"));
        return def;
    }

    double number(const char* key, double def, double min, double max)
    {
        const cJSON* v = item(key);
        if (!v)
            return def;
        if (!cJSON_IsNumber(v) || !(v->valuedouble >= min && v->valuedouble <= max)) {
            fail(QLatin1String(key), QStringLiteral("must be a number from %1 to %2").arg(min).arg(max));
            return def;
        }
        return v->valuedouble;
    }

    // A whole number within [min, max]; only then is it converted.
    qint64 whole(const char* key, qint64 def, qint64 min, qint64 max)
    {
        const cJSON* v = item(key);
        if (!v)
            return def;
        const double x = cJSON_IsNumber(v) ? v->valuedouble : std::nan("");
        if (!(x >= double(min) && x <= double(max)) || std::floor(x) != x) {
            fail(QLatin1String(key), QStringLiteral("must be a whole number from %1 to %2").arg(min).arg(max));
            return def;
        }
        return static_cast<qint64>(x);
    }

    // A nested object, or null when absent (or not an object: then refused).
    const cJSON* object(const char* key)
    {
        const cJSON* v = item(key);
        if (v && !cJSON_IsObject(v)) {
            fail(QLatin1String(key), QStringLiteral("must be an object"));
            return nullptr;
        }
        return v;
    }

    JsonFields nested(const cJSON* object) const { return JsonFields(object, where_, error_); }

private:
    const cJSON* o_;
    QString where_;
    QString* error_;
};

// Feature overrides: "name": value, or "name": [value, min, max].
void readFeatures(JsonFields& d, DeviceConfig* c)
{
    const cJSON* fs = d.object("features");
    if (!fs)
        return;
    if (cJSON_GetArraySize(fs) > kMaxFeatures) {
        d.fail(QStringLiteral("features"), QStringLiteral("may name at most %1 features").arg(kMaxFeatures));
        return;
    }
    const cJSON* f = nullptr;
    cJSON_ArrayForEach(f, fs) {
        const QString name = QString::fromUtf8(f->string);
        std::vector<double> v;
        bool good = true;
        if (cJSON_IsNumber(f)) {
            v.push_back(f->valuedouble);
        } else if (cJSON_IsArray(f)) {
            const cJSON* n = nullptr;
            cJSON_ArrayForEach(n, f) {
                good = good && cJSON_IsNumber(n);
                if (good)
                    v.push_back(n->valuedouble);
            }
        }
        good = good && (v.size() == 1 || v.size() == 3) && !name.isEmpty()
               && std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); })
               && (v.size() == 1 || v[1] <= v[2]);
        if (!good) {
            d.fail(name, QStringLiteral("must be a number or [value, min, max] with min <= max"));
            return;
        }
        c->featureOverrides.emplace_back(name, v);
    }
}

// Everything of one device but its family and its "uvc" object; empty when
// the device is accepted, else the reason naming the key.
QString readDevice(const cJSON* object, int index, DeviceConfig* c)
{
    QString error;
    const QString serial = jsonText(object, "serial");
    JsonFields d(object, QStringLiteral("device %1 (\"%2\")").arg(index).arg(serial), &error);
    c->serial = d.text("serial");
    c->model = d.text("model");
    c->transport = d.choice("transport", {QStringLiteral("gige"), QStringLiteral("usb")}) == QLatin1String("usb") ? 4 : 1;
    c->width = static_cast<int>(d.whole("width", c->width, 1, kMaxSide));
    c->height = static_cast<int>(d.whole("height", c->height, 1, kMaxSide));
    c->windowWidth = static_cast<int>(d.whole("windowWidth", 0, 0, c->width));
    c->windowHeight = static_cast<int>(d.whole("windowHeight", 0, 0, c->height));
    c->mono = d.flag("mono", true);
    c->fps = d.number("fps", 30, 0.1, 1000);
    c->externalTrigger = d.choice("trigger", {QStringLiteral("continuous"), QStringLiteral("external")})
                         == QLatin1String("external");
    c->mac = d.mac("mac");
    c->ip = d.address("ip");
    c->mask = d.address("mask", QStringLiteral("255.255.255.0"));
    c->localIp = d.address("localIp");
    if (const cJSON* so = d.object("source")) {
        JsonFields s = d.nested(so);
        c->source = s.choice("kind", {QStringLiteral("synthetic"), QStringLiteral("sequence"), QStringLiteral("files")});
        c->seed = static_cast<quint32>(s.whole("seed", 1, 0, 0xFFFFFFFFLL));
        c->reread = s.flag("reread", false);
        if (const cJSON* files = s.item("files")) {
            const cJSON* f = nullptr;
            if (cJSON_IsArray(files) && cJSON_GetArraySize(files) <= kMaxFiles)
                cJSON_ArrayForEach(f, files) if (cJSON_IsString(f)) c->files << QString::fromUtf8(f->valuestring);
            if (!cJSON_IsArray(files) || c->files.size() != cJSON_GetArraySize(files))
                s.fail(QStringLiteral("files"), QStringLiteral("must be a list of at most %1 file names").arg(kMaxFiles));
        }
    }
    if (const cJSON* fo = d.object("faults")) {
        JsonFields f = d.nested(fo);
        c->openFailCode = static_cast<int>(f.whole("openFail", 0, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
        c->wrongFrameSize = f.flag("wrongFrameSize", false);
        c->stalled = f.flag("stall", false);
        c->plugged = !f.flag("unplugged", false);
    }
    readFeatures(d, c);
    return error;
}
}

bool Bus::loadJson(const QByteArray& json, QString* error)
{
    clear();
    cJSON* root = cJSON_ParseWithLength(json.constData(), static_cast<size_t>(json.size()));
    if (!root) {
        if (error)
            *error = QStringLiteral("camera simulation: not valid JSON");
        return false;
    }
    std::vector<DeviceConfig> cfgs;
    QString err;
    const cJSON* list = cJSON_GetObjectItemCaseSensitive(root, "devices");
    if (!cJSON_IsArray(list))
        err = QStringLiteral("camera simulation: \"devices\" must be an array");
    const cJSON* d = nullptr;
    if (err.isEmpty()) {
        cJSON_ArrayForEach(d, list) {
            DeviceConfig c;
            if (cfgs.size() >= size_t(kMaxDevices)) {
                err = QStringLiteral("camera simulation: \"devices\" may hold at most %1 devices").arg(kMaxDevices);
                break;
            }
            if (!cJSON_IsObject(d) || !familyFromName(jsonText(d, "family"), &c.family)) {
                err = QStringLiteral("camera simulation: device %1 has no known \"family\"").arg(cfgs.size());
                break;
            }
            err = readDevice(d, static_cast<int>(cfgs.size()), &c);
            if (!err.isEmpty())
                break;
            if (const cJSON* u = cJSON_GetObjectItemCaseSensitive(d, "uvc"); cJSON_IsObject(u)) {
                char* text = cJSON_PrintUnformatted(u);
                c.uvcJson = QByteArray(text);
                cJSON_free(text);
            }
            cfgs.push_back(c);
        }
    }
    cJSON_Delete(root);
    if (!err.isEmpty()) {
        if (error)
            *error = err;
        return false;
    }
    for (const auto& c : cfgs)
        addDevice(c);
    return true;
}

bool Bus::loadDefault(QString* error)
{
    QString path = qEnvironmentVariable("MOULDMON_CAMSIM");
    if (path.isEmpty())
        path = QStringLiteral("./camsim.json");
    QFile f(path);
    if (!f.exists()) {
        clear();
        return true;   // no configuration: an empty bus
    }
    if (!f.open(QIODevice::ReadOnly)) {
        clear();
        if (error)
            *error = QStringLiteral("camera simulation: cannot read %1").arg(path);
        return false;
    }
    return loadJson(f.readAll(), error);
}

void Bus::clear()
{
    std::vector<std::shared_ptr<Device>> old;
    {
        QMutexLocker lock(&mutex_);
        old.swap(devices_);
    }
    for (auto& d : old)
        d->stopStream();
    log_.clear();
}

void Bus::addDevice(const DeviceConfig& cfg)
{
    auto d = std::make_shared<Device>(cfg);
    QMutexLocker lock(&mutex_);
    devices_.push_back(std::move(d));
}

std::vector<std::shared_ptr<Device>> Bus::devices(Family f) const
{
    QMutexLocker lock(&mutex_);
    std::vector<std::shared_ptr<Device>> out;
    for (const auto& d : devices_)
        if (d->config().family == f && d->plugged())
            out.push_back(d);
    return out;
}

std::shared_ptr<Device> Bus::find(const QString& serial) const
{
    QMutexLocker lock(&mutex_);
    for (const auto& d : devices_)
        if (d->serial() == serial)
            return d;
    return nullptr;
}

std::vector<std::shared_ptr<Device>> Bus::all() const
{
    QMutexLocker lock(&mutex_);
    return devices_;
}

Bus& bus()
{
    static Bus* b = [] {
        auto* x = new Bus;   // lives to the end of the process: SDK threads may still hold devices
        x->loadDefault();
        return x;
    }();
    return *b;
}

} // namespace camsim
