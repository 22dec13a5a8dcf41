// mm_view_gallery: the camera views in each picture source and page mode,
// on four simulated cameras that show a generated mould part, so that what
// the views paint can be looked at.
//
//   mm_view_gallery [--size WxH] [--lang L] [--state NAME]   show one state until closed
//   mm_view_gallery --shots DIR [--size WxH]                 save every state in every language
//
// Without --size the screenshots are taken at 1280x800 and at 1024x600 (both
// layouts); the single view is shown at the screen's size.  Files are named
// <W>x<H>-lang<L>-<state>.png.
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "cammerwidget.h"
#include "cyclecounters.h"
#include "fakeslothost.h"
#include "kitfonts.h"
#include "messages.h"
#include "relaylink.h"
#include "simcamerabus.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kCameras = 4;
constexpr int kImageW = 1280;
constexpr int kImageH = 1024;

const char* const kStates[] = {"live-areas", "ok", "ng-blink-on", "ng-blink-off", "countdown",
                               "template", "many-areas", "recent-ng", "ng-record", "grid-alarm",
                               "cavity-names", "skip", "video-share"};

// A grey moulded part: a plate with four cavities, ribs, holes and a gate,
// on a dark fixture.  shift moves it a little so that the cameras differ.
QImage partPicture(int shift)
{
    QImage img(kImageW, kImageH, QImage::Format_RGB888);
    img.fill(QColor(38, 38, 38));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(shift * 12, shift * 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    p.drawRoundedRect(QRect(90, 150, 1100, 760), 40, 40);
    p.setBrush(QColor(185, 185, 185));
    for (int k = 0; k < 4; ++k) {
        const QRect cavity(140 + (k % 2) * 540, 200 + (k / 2) * 360, 460, 300);
        p.drawRoundedRect(cavity, 24, 24);
    }
    p.setBrush(QColor(120, 120, 120));
    for (int k = 0; k < 4; ++k)
        p.drawEllipse(QPoint(370 + (k % 2) * 540, 350 + (k / 2) * 360), 70, 70);
    p.setBrush(QColor(60, 60, 60));
    for (int k = 0; k < 4; ++k)
        p.drawEllipse(QPoint(370 + (k % 2) * 540, 350 + (k / 2) * 360), 28, 28);
    p.setBrush(QColor(205, 205, 205));
    p.drawRect(QRect(620, 160, 40, 740));   // runner
    p.drawRect(QRect(100, 520, 1080, 26));
    p.setBrush(QColor(225, 225, 225));
    p.drawEllipse(QPoint(640, 533), 34, 34);   // gate
    p.setBrush(QColor(30, 30, 30));
    for (const QPoint& hole : {QPoint(130, 190), QPoint(1150, 190), QPoint(130, 870), QPoint(1150, 870)})
        p.drawEllipse(hole, 18, 18);
    return img;
}

// The demo's areas, as fractions of the full-screen single view.
struct DemoArea {
    int shape;
    int method;
    double x0, y0, x1, y1;   // bounding box
};
const DemoArea kDemo[] = {
    {RoiShapeRect, AreaFuncDefect, 0.10, 0.20, 0.36, 0.46},
    {RoiShapeCircle, AreaFuncSpot, 0.55, 0.22, 0.0, 0.40},   // x1 unused: radius from the height
    {RoiShapePolygon, AreaFuncDefect, 0.70, 0.20, 0.93, 0.46},
    {RoiShapeRect, AreaFuncWhiteCount, 0.10, 0.60, 0.36, 0.86},
    {RoiShapeRect, AreaFuncSimilarity, 0.44, 0.62, 0.62, 0.86},
    {RoiShapeRect, AreaFuncDistance, 0.70, 0.66, 0.93, 0.76},
};
constexpr int kDemoAreas = sizeof(kDemo) / sizeof(kDemo[0]);

// Area (d, i) of set as demo area a, in the view coordinates of the screen.
void placeArea(CammerSingleton& set, int d, int i, const DemoArea& a)
{
    const int w = gShowW, h = gShowH;
    set.roiShape[d][i] = a.shape;
    set.roiMethod[d][i] = a.method;
    set.roiMinSize[d][i] = 3;
    set.roiSensibility[d][i] = 45;
    set.roiMaxArea[d][i] = 100;
    switch (a.shape) {
    case RoiShapeRect:
        set.roiRect[d][i] = ClustomRect(QRect(QPoint(int(a.x0 * w), int(a.y0 * h)),
                                              QPoint(int(a.x1 * w), int(a.y1 * h))));
        set.roiRect[d][i].setImageRect();
        break;
    case RoiShapeCircle: {
        Circle& c = set.roiCircle[d][i];
        c.r1 = int((a.y1 - a.y0) * h / 2);
        c.r2 = c.r1 / 3;
        c.cx = int(a.x0 * w);
        c.cy = int((a.y0 + a.y1) / 2 * h);
        c.UpdateRect();
        c.setImageRect();
        break;
    }
    case RoiShapePolygon: {
        // A pentagon with a notch: the shape a user draws round a rib.
        const double px[] = {0.0, 0.6, 1.0, 0.8, 0.45, 0.3};
        const double py[] = {0.2, 0.0, 0.35, 1.0, 0.7, 0.95};
        QPoint pts[6];
        for (int k = 0; k < 6; ++k)
            pts[k] = QPoint(int((a.x0 + px[k] * (a.x1 - a.x0)) * w), int((a.y0 + py[k] * (a.y1 - a.y0)) * h));
        set.roiPolygon[d][i] = RePolygon(6, pts);
        set.roiPolygon[d][i].setImageRect();
        break;
    }
    default:
        break;
    }
}

cv::Rect imageRect(const CammerSingleton& set, int d, int i)
{
    cv::Rect r = set.AreaImageRect(d, i);
    return r & cv::Rect(0, 0, gImageW, gImageH);
}

// The demo host, the slots on the bus and the window they sit in.
class Gallery {
public:
    FakeSlotHost host;
    RecordingRelayLink relay;
    std::unique_ptr<QWidget> window;
    CammerWidget* slot[kCameraSlots] = {};
    QImage recordPicture;

    // Builds the eight slots for the current screen geometry and takes one
    // frame into each camera's shown frame.
    bool build()
    {
        window = std::make_unique<QWidget>();
        window->setGeometry(0, 0, gShowW, gShowH);
        window->setAutoFillBackground(true);
        QPalette black = window->palette();
        black.setColor(QPalette::Window, Qt::black);
        window->setPalette(black);
        numCamera = 0;
        for (int k = 0; k < kCameraSlots; ++k) {
            slot[k] = new CammerWidget(&host, k, window.get());
            host.slotBackends[k] = slot[k];
        }
        // First frames: the bus delivers at 10 frames/s.
        QElapsedTimer t;
        t.start();
        int taken = 0;
        bool have[kCameraSlots] = {};
        while (taken < numCamera && t.elapsed() < 5000) {
            for (int k = 0; k < numCamera; ++k)
                if (!have[k] && TakeNewFrame(slot[k], slot[k]->procFrame.data())) {
                    slot[k]->shownFrame = slot[k]->procFrame;
                    have[k] = true;
                    ++taken;
                }
            QThread::msleep(5);
        }
        for (int k = 0; k < numCamera; ++k)
            slot[k]->CameraStop();   // the shots need one frame; keep the machine quiet
        return numCamera == kCameras && taken == kCameras;
    }

    void destroy()
    {
        if (gpNet == &relay)
            gpNet = nullptr;
        for (auto*& b : host.slotBackends)
            b = nullptr;
        window.reset();
        for (auto*& s : slot)
            s = nullptr;
    }

    // Every field a state sets, back to normal monitoring of camera 1 alone.
    void reset()
    {
        host.pageMode = PageModeNone;
        host.resultPhase = PhaseShown;
        host.currentDetect = 0;
        host.skipActive = false;
        host.skipCount = 0;
        for (int k = 0; k < kDetections; ++k) {
            host.delayCountdown[k] = 0;
            host.delayTimerRunning[k] = false;
        }
        host.runState = RunStateDetecting;
        if (gpNet == &relay)
            gpNet = nullptr;
        host.para.liveRoiDisplay = 0;
        host.para.showCavityNumbers = 0;
        host.para.hideNgCount = 0;
        host.para.systemMode = 0;
        host.para.showAlgorithmDetails = 0;
        host.para.minimumSize = 24;
        host.para.minimumArea = 400;
        host.records = RecordPictures{};
        gSource = PictureSourceNone;
        gTempTime.clear();
        ViewState& v = host.view;
        v.editDetect = 0;
        v.zoom = 1.0;
        v.panX = v.panY = 0;
        for (int k = 0; k < numCamera; ++k) {
            CammerWidget& s = *slot[k];
            host.cameraFps[k] = 10;
            gAllNum[k] = 1532 + 17 * k;
            gFailNum[k] = 3 + k;
            s.selRoi = -1;
            s.moveMode = MoveModeShowPanel;
            s.isOK = 1;
            s.alarmShow = 0;
            s.testShown = 0;
            s.brightness = 128 + 3 * k;
            s.recentShown = 0;
            std::fill(std::begin(s.recentNGCount), std::end(s.recentNGCount), 0);
            std::fill(s.resultImage.begin(), s.resultImage.end(), uchar(0));
            for (auto& mask : s.ignoreMask)
                std::fill(mask.begin(), mask.end(), uchar(0));
            CammerSingleton& set = *s.savedSet;
            for (int d = 0; d < kDetections; ++d) {
                set.roiCount[d] = 0;
                for (int o = 0; o < kDetectOptions; ++o)
                    set.detectOptions[d][o] = 0;
                for (int i = 0; i < kAreas; ++i) {
                    s.roiOK[d][i] = 1;
                    s.roiValue[d][i] = 0;
                    s.roiAlarm[d][i].boxCount() = 0;
                }
            }
            set.roiCount[0] = kDemoAreas;
            for (int i = 0; i < kDemoAreas; ++i)
                placeArea(set, 0, i, kDemo[i]);
            set.roiMaxArea[0][3] = 3 | (40 << 16);   // white count 3--40
            set.roiSensibility[0][4] = 80;           // similarity limit
            set.roiSensibility[0][1] = 30;           // spot 30--90
            set.roiMaxArea[0][1] = 90;
            const int values[kDemoAreas] = {0, 12, 0, 21, 93, 212};
            for (int i = 0; i < kDemoAreas; ++i)
                s.roiValue[0][i] = values[i];
            // The distance area found both edges, at its left and right ends.
            const cv::Rect r = imageRect(set, 0, 5);
            RoiAlarm& edges = s.roiAlarm[0][5];
            edges.edgeFoundCount() = 2;
            edges.setEdgeFoundPoint1({r.x + r.width / 8, r.y + r.height / 2});
            edges.setEdgeFoundPoint2({r.x + r.width * 7 / 8, r.y + r.height / 2});
        }
        single(0);
    }

    // Camera k alone on the whole screen.
    void single(int k)
    {
        ViewState& v = host.view;
        v.viewCamera = k;
        v.viewScaleX = static_cast<float>(gShowAW);
        v.viewScaleY = static_cast<float>(gShowAH);
        v.viewFracX = v.viewFracY = 1.0f;
        for (int j = 0; j < kCameraSlots; ++j)
            slot[j]->setVisible(j == k);
        slot[k]->setGeometry(0, 0, gShowW, gShowH);
    }

    // The four cameras in a 2 x 2 grid.
    void grid()
    {
        ViewState& v = host.view;
        v.viewCamera = numCamera;
        const int cw = gShowW / 2, ch = gShowH / 2;
        v.viewFracX = v.viewFracY = 0.5f;
        v.viewScaleX = static_cast<float>(cw) / gImageW;
        v.viewScaleY = static_cast<float>(ch) / gImageH;
        for (int j = 0; j < kCameraSlots; ++j) {
            slot[j]->setVisible(j < kCameras);
            if (j < kCameras)
                slot[j]->setGeometry((j % 2) * cw, (j / 2) * ch, cw, ch);
        }
    }

    // Makes areas 0..2 of detection 0 NG: blobs in the result plane, boxes
    // round them, and the camera's verdict.
    void alarm(CammerWidget& s)
    {
        s.isOK = 0;
        const CammerSingleton& set = *s.savedSet;
        for (int i = 0; i < 3; ++i) {
            const cv::Rect r = imageRect(set, 0, i);
            if (r.empty())
                continue;
            s.roiOK[0][i] = 0;
            RoiAlarm& a = s.roiAlarm[0][i];
            const int blobs = 2 + i;
            a.boxCount() = blobs;
            for (int b = 0; b < blobs; ++b) {
                const int cx = r.x + r.width * (2 + 3 * b) / (3 * blobs + 2);
                const int cy = r.y + r.height * (1 + b % 2) / 3;
                const int rx = std::max(4, r.width / 14), ry = std::max(4, r.height / 12);
                for (int y = cy - ry; y <= cy + ry; ++y)
                    for (int x = cx - rx; x <= cx + rx; ++x) {
                        const double u = double(x - cx) / rx, w = double(y - cy) / ry;
                        if (u * u + w * w <= 1.0 && x >= 0 && y >= 0 && x < gImageW && y < gImageH)
                            s.resultImage[size_t(y) * gImageW + x] = 255;
                    }
                a.setBox(b + 1, cx - rx - 6, cy - ry - 6, cx + rx + 6, cy + ry + 6);
            }
            s.roiValue[0][i] = 140 + 37 * i;
        }
    }

    void setState(const QString& state)
    {
        reset();
        CammerWidget& s = *slot[0];
        if (state == QLatin1String("live-areas")) {
            host.para.liveRoiDisplay = 1;
        } else if (state == QLatin1String("ok")) {
            host.pageMode = PageModeOKShown;
            host.resultPhase = PhaseDetected;
        } else if (state.startsWith(QLatin1String("ng-blink"))) {
            host.pageMode = PageModeAlarm;
            host.resultPhase = PhaseDetected;
            gSource = PictureSourceLive;
            alarm(s);
            s.alarmShow = state.endsWith(QLatin1String("on")) ? 1 : 0;
        } else if (state == QLatin1String("countdown")) {
            host.resultPhase = PhaseCountdown;
            host.para.liveRoiDisplay = 1;
            host.delayTimerRunning[0] = true;
            host.delayCountdown[0] = 12.34f;
        } else if (state == QLatin1String("template")) {
            host.pageMode = PageModeArea;
            gSource = PictureSourceTemplate;
            gTempTime = QStringLiteral("2026-12-10 14.22.05");
            *s.workSetStore = *s.savedSetStore;
            s.tempShown = 0;
            // Ignore points: small clusters over the upper areas.
            const CammerSingleton& set = *s.workSet;
            for (int i = 0; i < 3; ++i) {
                const cv::Rect r = imageRect(set, 0, i);
                for (int y = r.y + r.height / 5; y < r.y + r.height * 4 / 5; y += 23)
                    for (int x = r.x + r.width / 5; x < r.x + r.width * 4 / 5; x += 29)
                        for (int dy = 0; dy < 5; ++dy)
                            for (int dx = 0; dx < 5; ++dx)
                                s.ignoreMask[0][size_t(y + dy) * gImageW + x + dx] = 255;
            }
        } else if (state == QLatin1String("many-areas")) {
            host.pageMode = PageModeOKShown;
            host.resultPhase = PhaseDetected;
            host.currentDetect = 1;
            CammerSingleton& set = *s.savedSet;
            set.roiCount[1] = 14;
            for (int i = 0; i < 14; ++i) {
                const double x0 = 0.04 + (i % 7) * 0.135, y0 = 0.22 + (i / 7) * 0.38;
                placeArea(set, 1, i, DemoArea{RoiShapeRect, AreaFuncDefect, x0, y0, x0 + 0.10, y0 + 0.26});
                s.roiValue[1][i] = 7 * i;
            }
        } else if (state == QLatin1String("recent-ng")) {
            host.pageMode = PageModeArea;
            gSource = PictureSourceRecentNG;
            s.recentNGCount[0] = 5;
            s.recentShown = 1;
        } else if (state == QLatin1String("ng-record")) {
            host.pageMode = PageModeArea;
            gSource = PictureSourceNGRecord;
            host.view.editDetect = 1;
            RecordPictures& r = host.records;
            r.recordImage = recordPicture;
            r.recordName = QStringLiteral("2026-12-10 14.20.31-1-NG");
            r.recordCamera = 0;
            r.recordCount = 12;
            r.recordIndex = 2;
        } else if (state == QLatin1String("grid-alarm")) {
            host.pageMode = PageModeAlarm;
            host.resultPhase = PhaseDetected;
            gSource = PictureSourceLive;
            grid();
            for (int k = 0; k < kCameras; ++k) {
                slot[k]->alarmShow = 1;
                if (k % 2 == 0)
                    alarm(*slot[k]);
            }
        } else if (state == QLatin1String("cavity-names")) {
            host.para.showCavityNumbers = 1;
            host.para.liveRoiDisplay = 1;
            for (int k = 0; k < 16; ++k) {
                s.savedSet->detectOptions[1][k] = (k < 12) ? 2 : 0;
                host.cavityNames[0][k] = QStringLiteral("A%1").arg(k + 1);
            }
            host.cavityNames[0][3] = QStringLiteral("B-204");
            host.cavityNames[0][7] = QStringLiteral("C-17L");
        } else if (state == QLatin1String("skip")) {
            host.skipActive = true;
            host.skipCount = 3;
            host.para.liveRoiDisplay = 1;
        } else if (state == QLatin1String("video-share")) {
            // The camera share sends the views to the relay: they carry its
            // time stamp.
            relay.stamp = QStringLiteral("2026-12-11 09:41:27 ");
            gpNet = &relay;
        }
    }
};

bool setupBus(const QString& dir)
{
    QString devices;
    for (int k = 0; k < kCameras; ++k) {
        const QString file = QDir(dir).filePath(QStringLiteral("part%1.png").arg(k));
        if (!partPicture(k).save(file))
            return false;
        devices += QStringLiteral("%1{\"family\":\"mindvision\",\"serial\":\"VIEW%2\",\"width\":%3,\"height\":%4,"
                                  "\"fps\":10,\"source\":{\"kind\":\"files\",\"files\":[\"%5\"]}}")
                       .arg(k ? QStringLiteral(",") : QString())
                       .arg(k + 1, 4, 10, QLatin1Char('0'))
                       .arg(kImageW)
                       .arg(kImageH)
                       .arg(file);
    }
    QString error;
    if (!camsim::bus().loadJson(QStringLiteral("{\"devices\":[%1]}").arg(devices).toUtf8(), &error)) {
        std::fprintf(stderr, "camera bus: %s\n", qPrintable(error));
        return false;
    }
    resetCameraGlobals(0, 0);
    CheckCameraID();
    applyGeometry();
    return gImageW == kImageW && gImageH == kImageH && gFindCamera == kCameras;
}

void setScreen(const QSize& size)
{
    gShowW = size.width();
    gShowH = size.height();
    gShowAW = double(gShowW) / gImageW;
    gShowAH = double(gShowH) / gImageH;
    SyncImageGeometry();
}

// The NG picture the record browser shows: camera 1's frame with its blobs.
QImage makeRecordPicture(Gallery& g)
{
    g.reset();
    g.alarm(*g.slot[0]);
    QImage pic = partPicture(0).convertToFormat(QImage::Format_RGB32);
    const CammerWidget& s = *g.slot[0];
    for (int y = 0; y < gImageH; ++y)
        for (int x = 0; x < gImageW; ++x)
            if (s.resultImage[size_t(y) * gImageW + x])
                pic.setPixel(x, y, qRgb(255, 0, 0));
    return pic;
}

QSize parseSize(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

}   // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RegisterKitFonts();
    FillMessageTable();
    CreateSharedLocks();
    const QStringList args = app.arguments();
    auto option = [&](const QString& name, const QString& fallback) {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };

    // Before the program directory becomes the working directory.
    const QString shotsOption = option(QStringLiteral("--shots"), QString());
    const QString shots = shotsOption.isEmpty() ? QString() : QFileInfo(shotsOption).absoluteFilePath();

    QTemporaryDir programDir;
    QDir::setCurrent(programDir.path());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("param"));
        db.setDatabaseName(QDir(programDir.path()).filePath(QStringLiteral("PARAM.db")));
        if (!db.open()) {
            std::fprintf(stderr, "cannot open PARAM.db\n");
            return 1;
        }
    }
    if (!setupBus(programDir.path())) {
        std::fprintf(stderr, "the simulated cameras did not come up as four 1280x1024 cameras\n");
        return 1;
    }
    gDNum = 2;
    gTempNum = 2;

    auto gallery = std::make_unique<Gallery>();
    gallery->host.paramConnection = QStringLiteral("param");

    QList<QSize> sizes;
    const QSize asked = parseSize(option(QStringLiteral("--size"), QString()));
    if (asked.isValid())
        sizes << asked;
    else if (!shots.isEmpty())
        sizes << QSize(1280, 800) << QSize(1024, 600);
    else
        sizes << QGuiApplication::primaryScreen()->geometry().size();

    if (shots.isEmpty()) {
        setScreen(sizes.first());
        if (!gallery->build())
            return 1;
        gallery->recordPicture = makeRecordPicture(*gallery);
        gLan = option(QStringLiteral("--lang"), QStringLiteral("1")).toInt();
        gallery->setState(option(QStringLiteral("--state"), QStringLiteral("ng-blink-on")));
        gallery->window->show();
        const int rc = app.exec();
        gallery->destroy();
        return rc;
    }

    QDir().mkpath(shots);
    int saved = 0;
    for (const QSize& size : sizes) {
        setScreen(size);
        if (!gallery->build()) {
            std::fprintf(stderr, "no frames from the simulated cameras\n");
            return 1;
        }
        gallery->recordPicture = makeRecordPicture(*gallery);
        gallery->window->show();
        for (int lang = 0; lang < 3; ++lang) {
            gLan = lang;
            for (const char* state : kStates) {
                gallery->setState(QLatin1String(state));
                const QPixmap shot = gallery->window->grab();
                const QString name = QStringLiteral("%1x%2-lang%3-%4.png")
                                         .arg(size.width())
                                         .arg(size.height())
                                         .arg(lang)
                                         .arg(QLatin1String(state));
                if (shot.save(QDir(shots).filePath(name)))
                    ++saved;
                else
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            }
        }
        gallery->destroy();
    }
    std::printf("%d pictures in %s\n", saved, qPrintable(shots));
    return 0;
}
