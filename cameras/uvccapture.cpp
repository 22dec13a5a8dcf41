#include "uvccapture.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QMutexLocker>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <mutex>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kOpenTimeoutMs = 5000;
constexpr int kEagainPauseUs = 2000;

void registerDevices()
{
    static std::once_flag once;
    std::call_once(once, [] {
        avdevice_register_all();
        av_log_set_level(AV_LOG_ERROR);   // keep the per-frame notices out of the log
    });
}

bool isDeviceFormat(const QString& format)
{
    return format == QLatin1String("video4linux2") || format == QLatin1String("v4l2");
}

} // namespace

void avframe_to_cvmat(const AVFrame* frame, cv::Mat& out, cv::Mat& scratch, SwsContext** scaler)
{
    out.setTo(cv::Scalar::all(0));
    const int imageW = out.cols;
    const int imageH = out.rows;
    if (!frame || frame->width <= 0 || frame->height <= 0 || frame->format < 0
        || imageW <= 0 || imageH <= 0)
        return;
    const bool colour = out.type() == CV_8UC3;
    const int w = frame->width;
    const int h = frame->height;
    int tw = w, th = h;
    if (w > imageW || h > imageH) {
        // Too large for the processed image: scale down to fit, keeping the aspect.
        const double s = std::min(double(imageW) / w, double(imageH) / h);
        tw = std::clamp(int(w * s), 1, imageW);
        th = std::clamp(int(h * s), 1, imageH);
    }
    const int flags = (tw == w && th == h) ? SWS_FAST_BILINEAR : SWS_AREA;
    SwsContext* ctx = sws_getCachedContext(scaler ? *scaler : nullptr, w, h,
                                           static_cast<AVPixelFormat>(frame->format), tw, th,
                                           colour ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_GRAY8, flags,
                                           nullptr, nullptr, nullptr);
    if (scaler)
        *scaler = ctx;
    if (!ctx)
        return;
    // The scaler may write a few pixels past the width of a row, so it writes
    // into rows padded to 64 pixels, never straight into the black frame.
    scratch.create(th, (tw + 63) / 64 * 64, out.type());
    uint8_t* dst[4] = {scratch.data, nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(scratch.step), 0, 0, 0};
    sws_scale(ctx, frame->data, frame->linesize, 0, h, dst, dstStride);
    if (!scaler)
        sws_freeContext(ctx);
    scratch(cv::Rect(0, 0, tw, th)).copyTo(out(cv::Rect((imageW - tw) / 2, (imageH - th) / 2, tw, th)));
}

cv::Mat avframe_to_cvmat(const AVFrame* frame, int imageW, int imageH, bool colour,
                         SwsContext** scaler)
{
    cv::Mat out(std::max(imageH, 0), std::max(imageW, 0), colour ? CV_8UC3 : CV_8UC1);
    cv::Mat scratch;
    avframe_to_cvmat(frame, out, scratch, scaler);
    return out;
}

UvcNodeKind uvcNodeKind(const QString& node)
{
    const QByteArray path = QFile::encodeName(node);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return UvcNodeKind::Unknown;
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return UvcNodeKind::Unknown;
    v4l2_capability cap {};
    UvcNodeKind kind = UvcNodeKind::Unknown;
    if (::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
        const quint32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps
                                                                        : cap.capabilities;
        kind = (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE))
            ? UvcNodeKind::Capture : UvcNodeKind::NoCapture;
    }
    ::close(fd);
    return kind;
}

void installUvcCapture(const UvcInput& input)
{
    setUvcSourceFactory([input] { return std::make_unique<UvcCapture>(input); });
}

UvcCapture::UvcCapture(UvcInput input) : input_(std::move(input))
{
    registerDevices();
}

UvcCapture::~UvcCapture()
{
    close();
}

int UvcCapture::interruptCallback(void* opaque)
{
    auto* self = static_cast<UvcCapture*>(opaque);
    if (self->abort_.load())
        return 1;
    const std::int64_t d = self->deadlineUs_.load();
    return (d != 0 && av_gettime_relative() > d) ? 1 : 0;
}

void UvcCapture::armDeadline(int ms)
{
    deadlineUs_ = ms > 0 ? av_gettime_relative() + std::int64_t(ms) * 1000 : 0;
}

int UvcCapture::width() const { return avCodec ? avCodec->width : 0; }
int UvcCapture::height() const { return avCodec ? avCodec->height : 0; }

bool UvcCapture::hasGraph() const
{
    QMutexLocker lock(&graphLock_);
    return avGraph != nullptr;
}

void UvcCapture::close()
{
    abort_ = true;               // a waiting read returns now...
    QMutexLocker read(&readLock_);   // ...and is over before anything is freed
    release();
}

void UvcCapture::interrupt()
{
    abort_ = true;
}

void UvcCapture::resume()
{
    abort_ = false;
}

void UvcCapture::release()
{
    {
        QMutexLocker lock(&graphLock_);
        freeGraph();
        graphW_ = graphH_ = 0;
        graphFormat_ = -1;
        graphFailed_ = false;
    }
    av_packet_free(&avPacket);
    av_frame_free(&avFrame);
    av_frame_free(&filtered_);
    av_frame_free(&scratch_);
    avcodec_free_context(&avCodec);
    avDecoder = nullptr;
    if (avFormat)
        avformat_close_input(&avFormat);
    av_dict_free(&avOptions);
    avStream = -1;
    sws_freeContext(scaler_);
    scaler_ = nullptr;
    deadlineUs_ = 0;
}

bool UvcCapture::open(const QString& url)
{
    abort_ = true;
    QMutexLocker read(&readLock_);
    release();
    abort_ = false;
    const QByteArray fmtName = input_.format.toUtf8();
    const AVInputFormat* fmt = fmtName.isEmpty() ? nullptr : av_find_input_format(fmtName.constData());
    if (!fmtName.isEmpty() && !fmt) {
        qWarning().noquote() << "UVC: input format not available:" << input_.format;
        return false;
    }
    avFormat = avformat_alloc_context();
    if (!avFormat)
        return false;
    avFormat->interrupt_callback.callback = &UvcCapture::interruptCallback;
    avFormat->interrupt_callback.opaque = this;
    device_ = isDeviceFormat(input_.format);
    if (device_ && uvcNodeKind(url) == UvcNodeKind::NoCapture) {
        // The metadata node of a camera: leave it, its capture node is the slot's.
        release();
        return false;
    }
    if (device_)
        avFormat->flags |= AVFMT_FLAG_NONBLOCK;   // reads return, so a stop is seen at once
    for (auto it = input_.options.cbegin(); it != input_.options.cend(); ++it)
        av_dict_set(&avOptions, it.key().toUtf8().constData(), it.value().toUtf8().constData(), 0);

    AVDictionary* opts = nullptr;
    av_dict_copy(&opts, avOptions, 0);
    armDeadline(kOpenTimeoutMs);
    const int r = avformat_open_input(&avFormat, url.toUtf8().constData(), fmt, &opts);
    av_dict_free(&opts);
    if (r < 0) {
        avFormat = nullptr;   // freed by avformat_open_input
        release();
        return false;
    }
    if (avformat_find_stream_info(avFormat, nullptr) < 0) {
        release();
        return false;
    }
    for (unsigned i = 0; i < avFormat->nb_streams; ++i)
        if (avFormat->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            avStream = int(i);
    if (avStream < 0) {
        release();
        return false;
    }
    const AVStream* st = avFormat->streams[avStream];
    avDecoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!avDecoder || !(avCodec = avcodec_alloc_context3(avDecoder))
        || avcodec_parameters_to_context(avCodec, st->codecpar) < 0) {
        release();
        return false;
    }
    avCodec->pkt_timebase = st->time_base;
    if (avcodec_open2(avCodec, avDecoder, nullptr) < 0) {
        release();
        return false;
    }
    avFrame = av_frame_alloc();
    avPacket = av_packet_alloc();
    filtered_ = av_frame_alloc();
    scratch_ = av_frame_alloc();
    if (!avFrame || !avPacket || !filtered_ || !scratch_) {
        release();
        return false;
    }
    armDeadline(0);
    QMutexLocker lock(&graphLock_);
    graphW_ = avCodec->width;
    graphH_ = avCodec->height;
    graphFormat_ = avCodec->pix_fmt;
    graphFailed_ = false;
    return true;
}

int UvcCapture::readPacket()
{
    armDeadline(input_.readTimeoutMs);
    bool rewound = false;
    for (;;) {
        if (abort_.load()) {
            armDeadline(0);
            return AVERROR_EXIT;
        }
        const int r = av_read_frame(avFormat, avPacket);
        if (r == AVERROR(EAGAIN)) {
            // A device in non-blocking mode with no frame yet: wait a little,
            // until the read time-out.
            if (interruptCallback(this)) {
                armDeadline(0);
                return abort_.load() ? AVERROR_EXIT : AVERROR(ETIMEDOUT);
            }
            av_usleep(kEagainPauseUs);
            continue;
        }
        if (r == AVERROR_EOF && input_.rewindAtEof && !rewound && avFormat->pb
            && avio_seek(avFormat->pb, 0, SEEK_SET) >= 0) {
            rewound = true;
            avformat_flush(avFormat);
            avcodec_flush_buffers(avCodec);
            continue;
        }
        armDeadline(0);
        if (r == AVERROR_EXIT) {
            // Our read time-out or an interrupt ended a waiting protocol
            // read.  Clear the input's error so that reading resumes once
            // data comes again (after a time-out, or the next start).
            if (avFormat->pb) {
                avFormat->pb->error = 0;
                avFormat->pb->eof_reached = 0;
            }
            return abort_.load() ? AVERROR_EXIT : AVERROR(ETIMEDOUT);
        }
        return r;
    }
}

int UvcCapture::readPicture()
{
    int r = readPacket();
    if (r < 0)
        return r;
    if (avPacket->stream_index != avStream) {
        av_packet_unref(avPacket);
        return 0;
    }
    r = avcodec_send_packet(avCodec, avPacket);
    av_packet_unref(avPacket);
    if (r < 0 && r != AVERROR(EAGAIN))
        return r;   // a garbled packet: this frame is lost, the next one decodes
    int got = 0;
    // Drain the decoder; the newest picture wins.
    while (avcodec_receive_frame(avCodec, scratch_) >= 0) {
        av_frame_unref(avFrame);
        av_frame_move_ref(avFrame, scratch_);
        got = 1;
    }
    return got;
}

void UvcCapture::freeGraph()
{
    avfilter_graph_free(&avGraph);
    avSource = nullptr;
    avSink = nullptr;
}

int UvcCapture::init_filters(const char* description)
{
    freeGraph();
    const AVFilter* buffersrc = avfilter_get_by_name("buffer");
    const AVFilter* buffersink = avfilter_get_by_name("buffersink");
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    avGraph = avfilter_graph_alloc();
    // The graph runs on the grab thread that reads the camera: a pool of
    // slice threads per slot gains nothing with a camera per thread.
    if (avGraph)
        avGraph->nb_threads = 1;
    int ret = 0;
    if (!outputs || !inputs || !avGraph || !buffersrc || !buffersink) {
        ret = AVERROR(ENOMEM);
    } else {
        AVRational tb{1, 30};
        if (avFormat && avStream >= 0 && avFormat->streams[avStream]->time_base.den > 0)
            tb = avFormat->streams[avStream]->time_base;
        AVRational sar{0, 1};
        if (avCodec && avCodec->sample_aspect_ratio.den > 0)
            sar = avCodec->sample_aspect_ratio;
        char args[512];
        std::snprintf(args, sizeof args,
                      "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                      graphW_, graphH_, graphFormat_, tb.num, tb.den, sar.num, sar.den);
        ret = avfilter_graph_create_filter(&avSource, buffersrc, "in", args, nullptr, avGraph);
        if (ret < 0) {
            av_log(nullptr, AV_LOG_ERROR, "Cannot create buffer source\n");
        } else if ((ret = avfilter_graph_create_filter(&avSink, buffersink, "out", nullptr,
                                                       nullptr, avGraph)) < 0) {
            av_log(nullptr, AV_LOG_ERROR, "Cannot create buffer sink\n");
        } else {
            const AVPixelFormat formats[] = {AV_PIX_FMT_GRAY8, AV_PIX_FMT_NONE};
            ret = av_opt_set_int_list(avSink, "pix_fmts", formats, AV_PIX_FMT_NONE,
                                      AV_OPT_SEARCH_CHILDREN);
            if (ret < 0)
                av_log(nullptr, AV_LOG_ERROR, "Cannot set output pixel format\n");
        }
        if (ret >= 0) {
            outputs->name = av_strdup("in");
            outputs->filter_ctx = avSource;
            outputs->pad_idx = 0;
            outputs->next = nullptr;
            inputs->name = av_strdup("out");
            inputs->filter_ctx = avSink;
            inputs->pad_idx = 0;
            inputs->next = nullptr;
            ret = avfilter_graph_parse_ptr(avGraph, description, &inputs, &outputs, nullptr);
            if (ret >= 0)
                ret = avfilter_graph_config(avGraph, nullptr);
        }
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (ret < 0)
        freeGraph();
    // A failed build leaves the slot without pictures until the next setting.
    graphFailed_ = ret < 0;
    return ret;
}

int UvcCapture::setFilters(const std::string& description)
{
    QMutexLocker lock(&graphLock_);
    description_ = description;
    graphFailed_ = false;
    if (!isOpen() || graphFormat_ < 0 || graphW_ <= 0 || graphH_ <= 0) {
        // Built with the first picture, when its format is known.
        freeGraph();
        return 0;
    }
    return init_filters(description_.c_str());
}

int UvcCapture::filterPicture()
{
    QMutexLocker lock(&graphLock_);
    const bool changed = avFrame->width != graphW_ || avFrame->height != graphH_
        || avFrame->format != graphFormat_;
    if (changed || (!avGraph && !graphFailed_)) {
        // The first picture, or a camera that delivers another format than
        // it announced: build the graph for what really arrives.
        graphW_ = avFrame->width;
        graphH_ = avFrame->height;
        graphFormat_ = avFrame->format;
        init_filters(description_.empty() ? "null" : description_.c_str());
    }
    if (!avGraph)
        return AVERROR(EINVAL);
    const int r = av_buffersrc_add_frame_flags(avSource, avFrame, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (r < 0)
        return r;
    return av_buffersink_get_frame(avSink, filtered_);
}

int UvcCapture::readGrey(uint8_t* dst, int width, int height)
{
    QMutexLocker read(&readLock_);
    if (!isOpen() || !dst || width <= 0 || height <= 0)
        return AVERROR(EINVAL);
    if (abort_.load())
        return AVERROR_EXIT;
    // Read and decode: this may wait for the camera; no lock of the GUI's is held.
    int r = readPicture();
    if (r <= 0)
        return r;
    r = filterPicture();
    if (r == AVERROR(EAGAIN))
        return 0;
    if (r < 0)
        return r;
    cv::Mat img(height, width, CV_8UC1, dst);   // converted in place, no copy
    avframe_to_cvmat(filtered_, img, scaleRows_, &scaler_);
    av_frame_unref(filtered_);
    return 1;
}
