#pragma once
// UVC capture through FFmpeg: open the input, read and decode packets, run
// the decoded picture through the slot's filter graph (contrast, gamma,
// sharpness; always 8-bit grey out) and fit it to the processed size.
//
// Threads: the slot's grab thread calls readGrey(); the GUI thread opens,
// sets the filters and closes.  The graph has its own lock, held only while
// a picture passes through it or the graph is rebuilt; reading and decoding
// hold no lock a setter needs, so a stalled camera never blocks the GUI.
// interrupt() (a stop) and close() cut short a read that waits for the
// camera; only close() frees.
#include "cameraservices.h"

#include <opencv2/core.hpp>

#include <QMap>
#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>
#include <string>

struct AVCodec;
struct AVCodecContext;
struct AVDictionary;
struct AVFilterContext;
struct AVFilterGraph;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// What kind of input a UVC slot reads.  On the panel: "video4linux2" device
// nodes at 30 frames/s.  The simulation and the tests read FFmpeg's lavfi
// sources or raw and MJPEG files through the same path.
struct UvcInput {
    QString format = QStringLiteral("video4linux2");
    QMap<QString, QString> options{{QStringLiteral("framerate"), QStringLiteral("30")}};
    // Files start again at their end (simulation only; a device never ends).
    bool rewindAtEof = false;
    // A read that gets no packet for this long fails (an unplugged camera).
    int readTimeoutMs = 2000;
};

// Installs UvcCapture with this input as the program's UVC capture path.
void installUvcCapture(const UvcInput& input = UvcInput());

// Converts a picture to imageW x imageH, one byte per pixel (grey) or three
// (RGB24, colour).  A smaller picture is centred on black; a larger one is
// scaled down to fit, keeping its aspect, and centred.  *scaler caches the
// conversion context between calls (may be null: one is made and freed).
cv::Mat avframe_to_cvmat(const AVFrame* frame, int imageW, int imageH, bool colour,
                         SwsContext** scaler = nullptr);
// The same into out (CV_8UC1 grey or CV_8UC3 RGB24, its size the processed
// size), without allocating once scratch (rows padded for the scaler) has
// grown to the picture.
void avframe_to_cvmat(const AVFrame* frame, cv::Mat& out, cv::Mat& scratch,
                      SwsContext** scaler = nullptr);

// What a V4L2 device node offers.  Only character devices are queried;
// anything else is Unknown.  A UVC camera usually has a second, metadata
// node (NoCapture), which a slot should not take.
enum class UvcNodeKind { Unknown, Capture, NoCapture };
UvcNodeKind uvcNodeKind(const QString& node);

class UvcCapture : public UvcSource {
public:
    explicit UvcCapture(UvcInput input = UvcInput());
    ~UvcCapture() override;
    UvcCapture(const UvcCapture&) = delete;
    UvcCapture& operator=(const UvcCapture&) = delete;

    // UvcSource
    bool open(const QString& url) override;
    int readGrey(uint8_t* dst, int width, int height) override;
    int setFilters(const std::string& description) override;
    void close() override;
    void interrupt() override;
    void resume() override;

    bool isOpen() const { return avFormat != nullptr; }
    int width() const;
    int height() const;
    bool hasGraph() const;

    // Builds the graph for description between the decoder and a grey-only
    // sink.  0 or positive on success, a negative FFmpeg error otherwise.
    // Call with the graph lock held (setFilters does).
    int init_filters(const char* description);

    // The FFmpeg state of the slot.
    AVFormatContext* avFormat = nullptr;
    int avStream = -1;
    AVCodecContext* avCodec = nullptr;
    const AVCodec* avDecoder = nullptr;
    AVFrame* avFrame = nullptr;
    AVPacket* avPacket = nullptr;
    AVDictionary* avOptions = nullptr;
    AVFilterContext* avSource = nullptr;
    AVFilterContext* avSink = nullptr;
    AVFilterGraph* avGraph = nullptr;

private:
    static int interruptCallback(void* opaque);
    void armDeadline(int ms);
    void release();
    void freeGraph();
    int readPacket();
    int readPicture();
    int filterPicture();

    UvcInput input_;
    bool device_ = false;
    std::atomic<bool> abort_{false};
    std::atomic<std::int64_t> deadlineUs_{0};   // 0: no deadline

    // Held by readGrey for its whole call: close() waits on it after the
    // interrupt, so nothing is freed under a running read.
    QMutex readLock_;
    // Guards the graph and what it was built from.
    mutable QMutex graphLock_;
    std::string description_;
    bool graphFailed_ = false;
    int graphW_ = 0, graphH_ = 0, graphFormat_ = -1;

    AVFrame* filtered_ = nullptr;
    AVFrame* scratch_ = nullptr;
    SwsContext* scaler_ = nullptr;
    cv::Mat scaleRows_;   // the scaler's padded rows, kept between frames
};
