// UVC capture without a device: the same open/read/decode/filter/convert
// path runs on FFmpeg's lavfi sources, a raw YUYV file and an MJPEG stream
// written here.  Device nodes live in the test's own folder, never in /dev.
#include "cameraprobe.h"
#include "cameraservices.h"
#include "camerathread.h"
#include "fakecamerahost.h"
#include "simuvc.h"
#include "testenv.h"
#include "uvccapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

const char* kNeutral = "eq=contrast=1.000000:gamma=1.684000,unsharp=5:5:0.000000";

bool haveLavfi()
{
    UvcCapture probe;   // registers the devices
    return av_find_input_format("lavfi") != nullptr;
}

UvcInput inputOf(const QString& format, const QMap<QString, QString>& options = {},
                 bool rewind = false)
{
    UvcInput in;
    in.format = format;
    in.options = options;
    in.rewindAtEof = rewind;
    return in;
}

QMap<QString, QString> rawOptions(int w, int h, const char* pixelFormat = "yuyv422")
{
    return {{"video_size", QStringLiteral("%1x%2").arg(w).arg(h)},
            {"pixel_format", pixelFormat},
            {"framerate", "30"}};
}

// A raw YUYV422 stream: frames of one luma value (chroma neutral).
QByteArray yuyvFrames(int w, int h, int frames, quint8 luma = 200)
{
    QByteArray out;
    for (int f = 0; f < frames; ++f)
        for (int i = 0; i < w * h / 2; ++i)
            out.append(char(luma)).append(char(128)).append(char(luma)).append(char(128));
    return out;
}

// Concatenated JPEG frames of one grey level, made by libavcodec's encoder.
QByteArray mjpegFrames(int w, int h, int frames, quint8 luma = 255)
{
    QByteArray out;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec)
        return out;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->width = w;
    c->height = h;
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;
    c->time_base = AVRational{1, 30};
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return out;
    }
    AVFrame* frame = av_frame_alloc();
    frame->width = w;
    frame->height = h;
    frame->format = c->pix_fmt;
    av_frame_get_buffer(frame, 0);
    AVPacket* pkt = av_packet_alloc();
    for (int i = 0; i < frames; ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < h; ++y)
            memset(frame->data[0] + y * frame->linesize[0], luma, size_t(w));
        for (int p = 1; p < 3; ++p)
            for (int y = 0; y < h / 2; ++y)
                memset(frame->data[p] + y * frame->linesize[p], 128, size_t(w / 2));
        frame->pts = i;
        avcodec_send_frame(c, frame);
        while (avcodec_receive_packet(c, pkt) == 0) {
            out.append(reinterpret_cast<const char*>(pkt->data), pkt->size);
            av_packet_unref(pkt);
        }
    }
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    return out;
}

// Reads until a picture comes (bounded).
int readPicture(UvcCapture& cap, std::vector<uint8_t>& dst, int w, int h, int tries = 20)
{
    dst.assign(size_t(w) * size_t(h), 0x5A);
    int r = -1;
    for (int i = 0; i < tries; ++i)
        if ((r = cap.readGrey(dst.data(), w, h)) == 1)
            break;
    return r;
}

double meanOf(const std::vector<unsigned char>& v)
{
    double s = 0;
    for (unsigned char c : v)
        s += c;
    return v.empty() ? 0 : s / double(v.size());
}

} // namespace

class TestUvc : public QObject {
    Q_OBJECT
private slots:
    void realGraphConfigures();
    void filtersSetBeforeOpenApply();
    void pictureFitsProcessedSize_data();
    void pictureFitsProcessedSize();
    void frameConversion_data();
    void frameConversion();
    void contrastAndGammaMoveTheMean_data();
    void contrastAndGammaMoveTheMean();
    void pictureFormatChangeRebuildsGraph();
    void garbledStreamLosesOnlyBadFrames();
    void fileRewindsOnlyWhenAsked();
    void opensOnlyVideoInputs();
    void deviceFailsCleanlyOnMissingOrPlainNode();
    void installedAsTheCapturePath();
    void closeInterruptsABlockedReadThatHoldsNoLock();
    void stalledReadTimesOut();
    void stopDoesNotWaitForAStalledCamera();
    void simulatedBusDevicesProbeAsUvc();
    void simulatedUvcObject_data();
    void simulatedUvcObject();
};

void TestUvc::realGraphConfigures()
{
    TestEnv env;
    if (!haveLavfi())
        QSKIP("this FFmpeg has no lavfi input");
    UvcCapture cap(inputOf("lavfi"));
    QVERIFY(cap.open("testsrc2=size=320x240:rate=30"));
    QVERIFY(cap.setFilters(kNeutral) >= 0);
    QVERIFY(cap.hasGraph());
    std::vector<uint8_t> grey;
    QCOMPARE(readPicture(cap, grey, 320, 240), 1);

    // A description FFmpeg cannot parse leaves the slot without pictures...
    QVERIFY(cap.setFilters("no_such_filter=1") < 0);
    QVERIFY(!cap.hasGraph());
    QVERIFY(readPicture(cap, grey, 320, 240, 3) < 0);
    // ...until the next setting builds a working graph.
    QVERIFY(cap.setFilters("eq=contrast=1.200000:gamma=1.684000,unsharp=5:5:1.000000") >= 0);
    QCOMPARE(readPicture(cap, grey, 320, 240), 1);
}

void TestUvc::filtersSetBeforeOpenApply()
{
    TestEnv env;
    env.writeFile("cam.yuv", yuyvFrames(32, 16, 1, 30));
    UvcCapture cap(inputOf("rawvideo", rawOptions(32, 16)));
    // Kept, and built with the first picture: zero contrast gives flat mid grey.
    QCOMPARE(cap.setFilters("eq=contrast=0.000000:gamma=1.000000,unsharp=5:5:0.000000"), 0);
    QVERIFY(cap.open(env.path("cam.yuv")));
    std::vector<uint8_t> grey;
    QCOMPARE(readPicture(cap, grey, 32, 16), 1);
    QVERIFY(qAbs(meanOf(grey) - 128) < 3);
}

void TestUvc::pictureFitsProcessedSize_data()
{
    QTest::addColumn<QString>("kind");   // lavfi, yuyv, mjpeg
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QRect>("placed");   // where the picture lands in 960 x 540
    QTest::newRow("small lavfi centred") << "lavfi" << 320 << 240 << QRect(320, 150, 320, 240);
    QTest::newRow("yuyv 640x360 centred") << "yuyv" << 640 << 360 << QRect(160, 90, 640, 360);
    QTest::newRow("mjpeg exact fit") << "mjpeg" << 960 << 540 << QRect(0, 0, 960, 540);
    QTest::newRow("larger 16:9 scaled") << "lavfi" << 1280 << 720 << QRect(0, 0, 960, 540);
    QTest::newRow("larger 5:4 scaled, centred") << "lavfi" << 1280 << 1024 << QRect(142, 0, 675, 540);
    QTest::newRow("larger mjpeg scaled") << "mjpeg" << 1920 << 1080 << QRect(0, 0, 960, 540);
}

void TestUvc::pictureFitsProcessedSize()
{
    QFETCH(QString, kind);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QRect, placed);
    TestEnv env;
    std::unique_ptr<UvcCapture> cap;
    bool opened = false;
    if (kind == "lavfi") {
        if (!haveLavfi())
            QSKIP("this FFmpeg has no lavfi input");
        cap = std::make_unique<UvcCapture>(inputOf("lavfi"));
        opened = cap->open(QStringLiteral("color=c=white:size=%1x%2:rate=30").arg(w).arg(h));
    } else if (kind == "yuyv") {
        env.writeFile("cam.yuv", yuyvFrames(w, h, 3, 235));
        cap = std::make_unique<UvcCapture>(inputOf("rawvideo", rawOptions(w, h)));
        opened = cap->open(env.path("cam.yuv"));
    } else {
        const QByteArray jpeg = mjpegFrames(w, h, 3);
        QVERIFY(!jpeg.isEmpty());
        env.writeFile("cam.mjpeg", jpeg);
        cap = std::make_unique<UvcCapture>(inputOf("mjpeg"));
        opened = cap->open(env.path("cam.mjpeg"));
    }
    QVERIFY(opened);
    QCOMPARE(cap->width(), w);
    QVERIFY(cap->setFilters("null") >= 0);
    std::vector<uint8_t> grey;
    QCOMPARE(readPicture(*cap, grey, 960, 540), 1);
    int wrongInside = 0, wrongOutside = 0;
    for (int y = 0; y < 540; ++y)
        for (int x = 0; x < 960; ++x) {
            const int v = grey[size_t(y) * 960 + size_t(x)];
            if (placed.contains(x, y))
                wrongInside += v < 200;
            else
                wrongOutside += v != 0;
        }
    QCOMPARE(wrongOutside, 0);
    // Scaled edges may blend with black by a pixel.
    QVERIFY2(wrongInside <= 2 * (placed.width() + placed.height()),
             qPrintable(QString::number(wrongInside)));
}

void TestUvc::frameConversion_data()
{
    // The graph always delivers grey; the conversion fits it to a 64 x 48
    // processed image, as grey or as RGB24 for colour processing.
    QTest::addColumn<bool>("colour");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("grey, small centred") << false << 32 << 16 << QRect(16, 16, 32, 16);
    QTest::newRow("colour, small centred") << true << 32 << 16 << QRect(16, 16, 32, 16);
    QTest::newRow("colour, exact") << true << 64 << 48 << QRect(0, 0, 64, 48);
    QTest::newRow("colour, larger scaled") << true << 128 << 48 << QRect(0, 12, 64, 24);
}

void TestUvc::frameConversion()
{
    QFETCH(bool, colour);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QRect, placed);
    AVFrame* frame = av_frame_alloc();
    frame->width = w;
    frame->height = h;
    frame->format = AV_PIX_FMT_GRAY8;
    QCOMPARE(av_frame_get_buffer(frame, 0), 0);
    for (int y = 0; y < h; ++y)
        memset(frame->data[0] + y * frame->linesize[0], 200, size_t(w));
    const cv::Mat img = avframe_to_cvmat(frame, 64, 48, colour);
    av_frame_free(&frame);
    QCOMPARE(img.cols, 64);
    QCOMPARE(img.rows, 48);
    QCOMPARE(img.channels(), colour ? 3 : 1);
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const uchar* p = img.ptr<uchar>(y) + x * img.channels();
            const int want = placed.contains(x, y) ? 200 : 0;
            for (int c = 0; c < img.channels(); ++c)
                wrong += qAbs(p[c] - want) > 2;
            if (colour)
                wrong += p[0] != p[1] || p[1] != p[2];   // grey also in colour
        }
    QCOMPARE(wrong, 0);
}

void TestUvc::contrastAndGammaMoveTheMean_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("direction");
    // A grey-100 picture: more contrast pushes it away from the middle
    // (darker); more gamma brightens it.
    QTest::newRow("contrast 1 -> 2") << "eq=contrast=1.000000:gamma=1.000000,unsharp=5:5:0.000000"
                                     << "eq=contrast=2.000000:gamma=1.000000,unsharp=5:5:0.000000" << -1;
    QTest::newRow("gamma 0.1 -> 1.684") << "eq=contrast=1.000000:gamma=0.100000,unsharp=5:5:0.000000"
                                        << kNeutral << 1;
}

void TestUvc::contrastAndGammaMoveTheMean()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, direction);
    TestEnv env;
    env.writeFile("grey.yuv", yuyvFrames(64, 48, 4, 100));
    UvcCapture cap(inputOf("rawvideo", rawOptions(64, 48), true));
    QVERIFY(cap.open(env.path("grey.yuv")));
    auto meanWith = [&](const QString& description) {
        std::vector<uint8_t> grey;
        if (cap.setFilters(description.toStdString()) < 0 || readPicture(cap, grey, 64, 48) != 1)
            return -1.0;
        return meanOf(grey);
    };
    const double a = meanWith(before);
    const double b = meanWith(after);
    QVERIFY(a >= 0 && b >= 0);
    QVERIFY2((b - a) * direction > 10, qPrintable(QString("%1 -> %2").arg(a).arg(b)));
}

void TestUvc::pictureFormatChangeRebuildsGraph()
{
    // The stream announces one size and then delivers another (a camera
    // switching modes): the graph follows what arrives.
    TestEnv env;
    const QByteArray stream = mjpegFrames(64, 48, 1) + mjpegFrames(128, 96, 1);
    env.writeFile("switch.mjpeg", stream);
    UvcCapture cap(inputOf("mjpeg"));
    QVERIFY(cap.open(env.path("switch.mjpeg")));
    QVERIFY(cap.setFilters("null") >= 0);
    std::vector<uint8_t> grey;
    QCOMPARE(readPicture(cap, grey, 128, 96), 1);
    QCOMPARE(int(grey[0]), 0);                  // 64 x 48 centred
    QCOMPARE(readPicture(cap, grey, 128, 96), 1);
    QVERIFY(grey[0] > 200);                     // 128 x 96 fills it
}

void TestUvc::garbledStreamLosesOnlyBadFrames()
{
    TestEnv env;
    const QByteArray good = mjpegFrames(160, 120, 1);
    // A frame cut short, then good ones.
    env.writeFile("garbled.mjpeg", good.left(good.size() / 2) + good + good);
    UvcCapture cap(inputOf("mjpeg"));
    QVERIFY(cap.open(env.path("garbled.mjpeg")));
    QVERIFY(cap.setFilters(kNeutral) >= 0);
    std::vector<uint8_t> grey(160 * 120);
    int pictures = 0;
    for (int i = 0; i < 10; ++i)
        pictures += cap.readGrey(grey.data(), 160, 120) == 1;
    QVERIFY(pictures >= 1);
}

void TestUvc::fileRewindsOnlyWhenAsked()
{
    TestEnv env;
    env.writeFile("two.yuv", yuyvFrames(32, 16, 2));
    std::vector<uint8_t> grey(32 * 16);
    for (bool rewind : {false, true}) {
        UvcCapture cap(inputOf("rawvideo", rawOptions(32, 16), rewind));
        QVERIFY(cap.open(env.path("two.yuv")));
        int pictures = 0;
        for (int i = 0; i < 6; ++i)
            pictures += cap.readGrey(grey.data(), 32, 16) == 1;
        QCOMPARE(pictures, rewind ? 6 : 2);
    }
}

void TestUvc::opensOnlyVideoInputs()
{
    TestEnv env;
    env.writeFile("notes.txt", "no picture here");
    UvcCapture unknown(inputOf("no_such_format"));
    QVERIFY(!unknown.open(env.path("notes.txt")));
    QVERIFY(!unknown.isOpen());
    std::vector<uint8_t> grey(16);
    QVERIFY(unknown.readGrey(grey.data(), 4, 4) < 0);
    if (!haveLavfi())
        QSKIP("this FFmpeg has no lavfi input");
    UvcCapture sound(inputOf("lavfi"));
    QVERIFY(!sound.open("sine=frequency=440"));   // a stream, but no video
    QVERIFY(!sound.isOpen());
}

void TestUvc::deviceFailsCleanlyOnMissingOrPlainNode()
{
    TestEnv env;
    UvcCapture cap;   // video4linux2 at 30 frames/s
    QVERIFY(!cap.open(env.path("dev/video0")));
    env.writeFile("dev/video0", "not a device");
    QCOMPARE(uvcNodeKind(env.path("dev/video0")), UvcNodeKind::Unknown);
    QCOMPARE(uvcNodeKind(env.path("dev/video9")), UvcNodeKind::Unknown);
    QVERIFY(!cap.open(env.path("dev/video0")));
    QVERIFY(!cap.isOpen());
}

void TestUvc::installedAsTheCapturePath()
{
    TestEnv env;
    installUvcCapture(inputOf("rawvideo", rawOptions(32, 16)));
    env.writeFile("cam.yuv", yuyvFrames(32, 16, 1));
    std::unique_ptr<UvcSource> source = makeUvcSource();
    QVERIFY(source);
    QVERIFY(source->open(env.path("cam.yuv")));
    std::vector<uint8_t> grey(32 * 16);
    QCOMPARE(source->readGrey(grey.data(), 32, 16), 1);
    source->close();
    setUvcSourceFactory({});
    QVERIFY(!makeUvcSource());
}

void TestUvc::closeInterruptsABlockedReadThatHoldsNoLock()
{
    TestEnv env;
    // A file followed past its end: the read waits like a stalled camera.
    env.writeFile("stall.yuv", yuyvFrames(32, 16, 2));
    QMap<QString, QString> options = rawOptions(32, 16);
    options.insert("follow", "1");
    UvcInput in = inputOf("rawvideo", options);
    in.readTimeoutMs = 60000;
    UvcCapture cap(in);
    QVERIFY(cap.open(env.path("stall.yuv")));
    QVERIFY(cap.setFilters(kNeutral) >= 0);

    std::atomic<int> pictures{0}, last{0};
    std::atomic<bool> waiting{false};
    std::thread grab([&] {
        std::vector<uint8_t> grey(32 * 16);
        for (int i = 0; i < 5; ++i) {
            waiting = i == 2;
            const int r = cap.readGrey(grey.data(), 32, 16);
            last = r;
            pictures += r == 1;
            if (r < 0)
                break;
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(waiting.load(), 5000);
    QTest::qWait(100);
    // The reader waits, yet a setting goes through at once.
    QElapsedTimer t;
    t.start();
    QVERIFY(cap.setFilters("eq=contrast=1.500000:gamma=1.684000,unsharp=5:5:0.000000") >= 0);
    QVERIFY(t.elapsed() < 500);
    t.restart();
    cap.close();
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    grab.join();
    QVERIFY(last.load() < 0);
    QCOMPARE(pictures.load(), 2);
    QVERIFY(!cap.isOpen());
}

void TestUvc::stalledReadTimesOut()
{
    TestEnv env;
    env.writeFile("stall.yuv", yuyvFrames(32, 16, 1));
    QMap<QString, QString> options = rawOptions(32, 16);
    options.insert("follow", "1");
    UvcInput in = inputOf("rawvideo", options);
    in.readTimeoutMs = 150;
    UvcCapture cap(in);
    QVERIFY(cap.open(env.path("stall.yuv")));
    std::vector<uint8_t> grey(32 * 16);
    QCOMPARE(cap.readGrey(grey.data(), 32, 16), 1);
    QElapsedTimer t;
    t.start();
    QVERIFY(cap.readGrey(grey.data(), 32, 16) < 0);
    QVERIFY(t.elapsed() >= 100 && t.elapsed() < 2000);
    // The camera delivers again: reading goes on.
    QFile f(env.path("stall.yuv"));
    QVERIFY(f.open(QIODevice::Append));
    f.write(yuyvFrames(32, 16, 1));
    f.close();
    QCOMPARE(cap.readGrey(grey.data(), 32, 16), 1);
}

void TestUvc::stopDoesNotWaitForAStalledCamera()
{
    // A slot reading a camera that stops delivering (the file followed past
    // its end) is stopped from the GUI thread: the stop must not wait for the
    // read time-out, and the camera reads again after the next start.
    TestEnv env;
    resetCameraGlobals();
    camsim::bus().clear();
    env.writeFile("proc/devices", "N: Name=\"USB Camera\"\n");
    paths().procInputDevices = env.path("proc/devices");
    paths().videoDevice = env.path("video%1.yuv");
    env.writeFile("video0.yuv", yuyvFrames(32, 16, 2));
    QMap<QString, QString> options = rawOptions(32, 16);
    options.insert("follow", "1");
    UvcInput in = inputOf("rawvideo", options);
    in.readTimeoutMs = 2000;   // the time-out of a device read
    installUvcCapture(in);
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindUvc));
    applyGeometry();
    {
        FakeCameraHost host;
        host.buildSlots();
        QVERIFY(host.cameraOpened[0]);
        CameraBackend& b = *host.cams[0];
        QTRY_COMPARE_WITH_TIMEOUT(b.framesDelivered(), uint64_t(2), 3000);
        QTest::qWait(200);   // the grab thread now waits in a read
        QElapsedTimer t;
        t.start();
        b.CameraStop();
        const qint64 stopMs = t.elapsed();
        qInfo("stop of a stalled UVC camera: %lld ms", stopMs);
        QVERIFY2(stopMs < 100, qPrintable(QString::number(stopMs)));
        QVERIFY(!b.grabThread()->isRunning());

        // The stop freed nothing: frames written meanwhile arrive after the start.
        QFile f(env.path("video0.yuv"));
        QVERIFY(f.open(QIODevice::Append));
        f.write(yuyvFrames(32, 16, 1));
        f.close();
        QCOMPARE(b.CameraStart(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(b.framesDelivered(), uint64_t(3), 3000);
        t.restart();
        b.CameraStop();
        b.CameraClose();
        QVERIFY2(t.elapsed() < 100, qPrintable(QString::number(t.elapsed())));
    }
    setUvcSourceFactory({});
}

void TestUvc::simulatedBusDevicesProbeAsUvc()
{
    // Two UVC devices on the simulated bus, one a lavfi source and one a raw
    // file, go through the real capture path; the machine's /dev is never
    // looked at (no kernel device list, no video node).
    if (!haveLavfi())
        QSKIP("FFmpeg without lavfi");
    TestEnv env;
    resetCameraGlobals();
    paths().procInputDevices = env.path("proc/missing");
    paths().videoDevice = env.path("dev/video%1");
    env.writeFile("cam.yuv", yuyvFrames(32, 16, 3, 200));
    const QString json = QStringLiteral(
        "{\"devices\":["
        "{\"family\":\"uvc\",\"serial\":\"UVC1\",\"uvc\":{\"url\":\"testsrc=size=320x240:rate=30\"}},"
        "{\"family\":\"uvc\",\"serial\":\"UVC2\",\"uvc\":{\"format\":\"rawvideo\",\"url\":\"%1\",\"rewind\":true,"
        "\"options\":{\"video_size\":\"32x16\",\"pixel_format\":\"yuyv422\",\"framerate\":\"30\"}}},"
        "{\"family\":\"uvc\",\"serial\":\"UVC3\",\"uvc\":{\"url\":\"testsrc\"},\"faults\":{\"unplugged\":true}}]}")
        .arg(env.path("cam.yuv"));
    QString error;
    QVERIFY2(camsim::bus().loadJson(json.toUtf8(), &error), qPrintable(error));
    QVERIFY(installSimulatedUvc());
    CheckCameraID();
    QCOMPARE(gCameraID, int(CameraKindUvc));
    QCOMPARE(gFindCamera, 2);   // the unplugged one is not counted
    applyGeometry();
    {
        FakeCameraHost host;
        host.live[0] = host.live[1] = CameraValues{10, 32, 0, 150, 40, 0, 0};   // filters neutral
        host.buildSlots();
        QCOMPARE(numCamera, 2);
        std::vector<uint8_t> proc(static_cast<size_t>(gColorLen));
        for (int k = 0; k < 2; ++k) {
            bool got = false;
            QTRY_VERIFY_WITH_TIMEOUT(got = got || TakeNewFrame(host.cams[k].get(), proc.data()), 5000);
            const size_t centre = static_cast<size_t>(gImageW) * (gImageH / 2) + gImageW / 2;
            QCOMPARE(proc[0], uint8_t(0));   // a small picture is centred on black
            QVERIFY2(proc[centre] > 0, qPrintable(QString::number(proc[centre])));
            if (k == 1) {
                // The file's 32 x 16 picture of one level, through the slot's filters.
                QCOMPARE(proc[centre - 16], proc[centre]);
                QCOMPARE(proc[centre + 15], proc[centre]);
                QCOMPARE(proc[centre + 17], uint8_t(0));
            }
        }
        // Unplugged and plugged again: counted again by the family.
        camsim::bus().find("UVC1")->setPlugged(false);
        QCOMPARE(CountCamerasOfKind(), 1);
        camsim::bus().find("UVC1")->setPlugged(true);
        QCOMPARE(CountCamerasOfKind(), 2);
    }
    setUvcSourceFactory({});
    setUvcDeviceList({});
    camsim::bus().clear();
}

void TestUvc::simulatedUvcObject_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("error");   // empty: usable
    QTest::newRow("lavfi by default") << QByteArray("{\"url\":\"testsrc\"}") << "lavfi" << "testsrc" << "";
    QTest::newRow("file with options")
        << QByteArray("{\"format\":\"rawvideo\",\"url\":\"a.yuv\",\"options\":{\"video_size\":\"8x8\"},\"readTimeoutMs\":500}")
        << "rawvideo" << "a.yuv" << "";
    QTest::newRow("no url") << QByteArray("{\"format\":\"lavfi\"}") << "" << "" << "\"url\"";
    QTest::newRow("empty url") << QByteArray("{\"url\":\"\"}") << "" << "" << "\"url\"";
    QTest::newRow("format not a text") << QByteArray("{\"url\":\"x\",\"format\":3}") << "" << "" << "\"format\"";
    QTest::newRow("option not a text") << QByteArray("{\"url\":\"x\",\"options\":{\"framerate\":30}}") << "" << "" << "\"framerate\"";
    QTest::newRow("time-out out of range") << QByteArray("{\"url\":\"x\",\"readTimeoutMs\":1e9}") << "" << "" << "\"readTimeoutMs\"";
    QTest::newRow("missing object") << QByteArray() << "" << "" << "\"uvc\"";
}

void TestUvc::simulatedUvcObject()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, format);
    QFETCH(QString, url);
    QFETCH(QString, error);
    UvcInput in;
    QString gotUrl, gotError;
    const bool ok = parseSimulatedUvc(json, &in, &gotUrl, &gotError);
    QCOMPARE(ok, error.isEmpty());
    if (ok) {
        QCOMPARE(in.format, format);
        QCOMPARE(gotUrl, url);
    } else {
        QVERIFY2(gotError.contains(error), qPrintable(gotError));
    }
}

QTEST_GUILESS_MAIN(TestUvc)
#include "tst_uvc.moc"
