#include "demolayout.h"

#include "cammersingleton.h"
#include "graycolortable.h"
#include "messages.h"
#include "resstatisticsparam.h"
#include "slotpictures.h"
#include "synth.h"
#include "wizardpara.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <opencv2/imgproc.hpp>

namespace demo {

namespace {

// Cavity centres in image pixels: one under each quarter of the part.
const cv::Point kCavities[4] = {{480, 384}, {800, 384}, {480, 640}, {800, 640}};
const cv::Size kCavityAxes(110, 80);

// The areas, in view coordinates.  A stored area is converted to image
// pixels by the screen the monitor runs on (view = image x screen / image
// size), so these lie inside the part on every screen from 800 x 600 to
// 1280 x 1024: at 1280 x 800 they cover the part's upper left, at 800 x 600
// its lower right.
const QRect kProductArea(QPoint(330, 210), QPoint(590, 440));
const QRect kCavityAreas[4] = {
    QRect(QPoint(330, 210), QPoint(455, 320)),
    QRect(QPoint(465, 210), QPoint(590, 320)),
    QRect(QPoint(330, 330), QPoint(455, 440)),
    QRect(QPoint(465, 330), QPoint(590, 440)),
};

uint64_t seedOf(int camera, int salt) { return uint64_t(1000 + 37 * camera + salt); }

cv::Mat emptyMould(int camera)
{
    cv::Mat img = synth::mould(kImageW, kImageH, seedOf(camera, 0));
    for (const cv::Point& c : kCavities)
        cv::ellipse(img, c, kCavityAxes, 0, 0, 360, cv::Scalar(40), cv::FILLED, cv::LINE_AA);
    return img;
}

// The moulded part: a plate over the four cavities with a boss over each,
// runners to the sprue in the middle.
void drawPart(cv::Mat& img, const cv::Point& shift, double angleDeg)
{
    cv::Mat part(img.size(), CV_8UC1, cv::Scalar(0));
    cv::Mat mask(img.size(), CV_8UC1, cv::Scalar(0));
    const cv::Rect r = partRect();
    cv::rectangle(part, r, cv::Scalar(185), cv::FILLED);
    cv::rectangle(mask, r, cv::Scalar(255), cv::FILLED);
    const cv::Point sprue(r.x + r.width / 2, r.y + r.height / 2);
    for (const cv::Point& c : kCavities) {
        cv::line(part, c, sprue, cv::Scalar(165), 18, cv::LINE_AA);
        cv::ellipse(part, c, cv::Size(kCavityAxes.width - 12, kCavityAxes.height - 12), 0, 0, 360,
                    cv::Scalar(212), cv::FILLED, cv::LINE_AA);
        cv::circle(part, c, 18, cv::Scalar(150), cv::FILLED, cv::LINE_AA);   // the gate mark
    }
    cv::circle(part, sprue, 30, cv::Scalar(225), cv::FILLED, cv::LINE_AA);
    if (shift != cv::Point() || angleDeg != 0) {
        const cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(float(sprue.x), float(sprue.y)), angleDeg, 1.0);
        cv::Mat mm = m.clone();
        mm.at<double>(0, 2) += shift.x;
        mm.at<double>(1, 2) += shift.y;
        cv::warpAffine(part, part, mm, img.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
        cv::warpAffine(mask, mask, mm, img.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
    }
    part.copyTo(img, mask);
}

cv::Mat baseScene(int camera, Scene scene)
{
    cv::Mat img = emptyMould(camera);
    switch (scene) {
    case Scene::Part: drawPart(img, {}, 0); break;
    case Scene::Empty: break;
    case Scene::Left: drawPart(img, {18, 30}, 4.0); break;   // stuck a little off its place
    }
    return img;
}

bool saveGrey(const cv::Mat& grey, const QString& path, QString* error)
{
    QImage img(grey.data, grey.cols, grey.rows, int(grey.step), QImage::Format_Indexed8);
    img.setColorTable(GrayColorTable());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !img.save(&f, "BMP") || !f.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool writeText(const QString& path, const QByteArray& text, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

// One SQLite connection for the life of a scope.
class Db {
public:
    Db(const QString& name, const QString& file) : name_(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        open_ = db.open();
    }
    ~Db() { QSqlDatabase::removeDatabase(name_); }
    bool isOpen() const { return open_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
    bool open_ = false;
};

bool writeParameters(const QDir& dir, int cameras, QString* error)
{
    const QString file = dir.filePath(QStringLiteral("PARAM.db"));
    QFile::remove(file);
    Db param(QStringLiteral("mm_make_demo_param"), file);
    if (!param.isOpen()) {
        *error = QStringLiteral("cannot open %1").arg(file);
        return false;
    }
    WizardPara p = FirstStartParameters();
    fillParameters(p);
    // The relay link on, without the live-video share: the row "CntNet"
    // starts "1 0 0", and the monitor starts the relay MOULDMON_RELAY names.
    p.netEnabled = 1;
    p.videoShareMode = 0;
    p.videoShareFps = 0;
    const ParamStoreResult r = p.SaveDatatoFile(param.db());
    if (!r.ok) {
        *error = r.detail;
        return false;
    }
    for (int c = 0; c < cameras; ++c) {
        CammerSingleton set(c);
        fillAreas(set);
        if (!set.SaveDatatoFile(param.db(), false)) {
            *error = set.lastError();
            return false;
        }
    }
    return true;
}

bool writeSerials(const QDir& dir, int cameras, QString* error)
{
    const QString file = dir.filePath(QStringLiteral("SN.db"));
    QFile::remove(file);
    Db sn(QStringLiteral("mm_make_demo_sn"), file);
    if (!sn.isOpen()) {
        *error = QStringLiteral("cannot open %1").arg(file);
        return false;
    }
    QSqlDatabase db = sn.db();
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("create table if not exists sysparam(name text, value text)"));
    for (int k = 0; ok && k < kMaxCameras; ++k) {
        q.prepare(QStringLiteral("insert into sysparam(name, value) values(?, ?)"));
        q.addBindValue(QStringLiteral("serialNB%1").arg(k));
        q.addBindValue(k < cameras ? cameraSerial(k) : QStringLiteral("0"));
        ok = q.exec();
    }
    if (!ok)
        *error = QStringLiteral("SN.db: %1").arg(q.lastError().text());
    return ok;
}

bool writeTemplates(const QDir& dir, int cameras, QString* error)
{
    for (int c = 0; c < cameras; ++c) {
        for (int d = 0; d < 2; ++d) {
            const QString folder = dir.filePath(QFileInfo(TemplateFile(c, d, 0)).path());
            if (!QDir().mkpath(folder)) {
                *error = QStringLiteral("cannot make %1").arg(folder);
                return false;
            }
            for (int v = 0; v < kTemplateVariants; ++v)
                if (!saveGrey(drawTemplate(c, d, v), dir.filePath(TemplateFile(c, d, v)), error))
                    return false;
            // Templates of an earlier layout would be learned too.
            for (int t = kTemplateVariants; t < 50; ++t)
                QFile::remove(dir.filePath(TemplateFile(c, d, t)));
        }
    }
    return true;
}

QByteArray cameraBus(int cameras)
{
    QByteArray json = "{\n  \"devices\": [\n";
    for (int c = 0; c < cameras; ++c) {
        json += QStringLiteral("    {\"family\": \"mindvision\", \"serial\": \"%1\", \"model\": \"MV-DEMO\",\n"
                               "     \"width\": %2, \"height\": %3, \"mono\": true, \"fps\": %4,\n"
                               "     \"source\": {\"kind\": \"files\", \"files\": [\"%5\"], \"reread\": true}}%6\n")
                    .arg(cameraSerial(c))
                    .arg(kImageW)
                    .arg(kImageH)
                    .arg(kFps)
                    .arg(liveSceneFile(c))
                    .arg(c + 1 < cameras ? "," : "")
                    .toUtf8();
    }
    json += "  ]\n}\n";
    return json;
}

bool writeScenes(const QDir& dir, int cameras, QString* error)
{
    if (!dir.mkpath(QStringLiteral("scenes"))) {
        *error = QStringLiteral("cannot make %1").arg(dir.filePath(QStringLiteral("scenes")));
        return false;
    }
    for (int c = 0; c < cameras; ++c) {
        for (Scene s : {Scene::Part, Scene::Empty, Scene::Left})
            if (!saveGrey(drawScene(c, s), dir.filePath(sceneFile(c, s)), error))
                return false;
        // The machine starts with the part in the mould.
        if (!saveGrey(drawScene(c, Scene::Part), dir.filePath(liveSceneFile(c)), error))
            return false;
    }
    return true;
}

// The statistics store's default copy, delivered beside the program.
bool writeStatisticsTemplate(const QDir& dir, QString* error)
{
    const QString file = dir.filePath(QString::fromLatin1(ResStatisticsParam::kTemplate));
    QFile::remove(file);
    if (!ResStatisticsParam::makeTemplate(file)) {
        *error = QStringLiteral("cannot make %1").arg(file);
        return false;
    }
    return true;
}

}   // namespace

QString cameraSerial(int camera) { return QStringLiteral("MVDEMO%1").arg(camera + 1, 4, 10, QLatin1Char('0')); }

QString liveSceneFile(int camera) { return QStringLiteral("scenes/cam%1.bmp").arg(camera + 1); }

const char* sceneName(Scene scene)
{
    switch (scene) {
    case Scene::Part: return "part";
    case Scene::Empty: return "empty";
    case Scene::Left: return "left";
    }
    return "";
}

QString sceneFile(int camera, Scene scene)
{
    return QStringLiteral("scenes/cam%1_%2.bmp").arg(camera + 1).arg(QLatin1String(sceneName(scene)));
}

cv::Rect partRect() { return cv::Rect(320, 256, 640, 512); }

cv::Mat drawScene(int camera, Scene scene)
{
    // What the camera sees: the scene under a little sensor noise.
    return synth::noise(baseScene(camera, scene), 1.5, seedOf(camera, 10 + int(scene)));
}

cv::Mat drawTemplate(int camera, int d, int variant)
{
    const cv::Mat base = baseScene(camera, d == 0 ? Scene::Part : Scene::Empty);
    switch (variant) {
    case 1: return synth::noise(base, 2.0, seedOf(camera, 20 + d));
    case 2: return synth::lighting(base, 1.03);
    case 3: return synth::lighting(base, 0.97);
    default: return base;
    }
}

void fillParameters(WizardPara& p)
{
    p.systemMode = SystemModeStandard;
    p.systemModePending = SystemModeStandard;
    p.productDetectEnabled = 1;   // product detection, then mould detection
    p.semiAuto = 0;
    // A 6 s machine cycle: the product is judged 0.5 s after the mould
    // opened, the mould 1.5 s later, after the part fell.
    p.detectDelay[0] = 5;
    p.detectDelay[1] = 15;
    p.moldRecheckCount = 1;
    p.ngImageKeep = 50;
    p.okImageKeep = 20;
    p.saveProductOk = 1;
    p.ioLostAlarm = 1;
    p.cameraCheck = 1;
    p.imageAdjustEnabled = 1;
    p.passwordEnabled = 0;
    p.stopDetectPassword = 0;
    p.motionCorrection = -1;   // positioning off
    // The whole sensor: the lens optimisation would take a 1120 x 840 window
    // of a 1280 x 1024 camera, and the templates and scenes are full frames.
    p.noLensOptimize = 1;
    p.defectEnabled = 1;
    p.templateCount = 10;
    p.debounceTime = 0;
    p.inputTimeout = 0;   // the demo may stand still
    p.screenOffSeconds = 0;
    p.autoLogoutSeconds = 0;
    p.safetyDoorTrigger = 0;
    p.netEnabled = 0;
    // Both record pages have something to show.
    p.statisticsEnabled = 1;
    p.cycleTimeLog = 1;
    p.serialPort = 0;
    // The simulated board reads its outputs as they are meant: no inversion.
    for (int o = 0; o < 4; ++o)
        p.outputInvert[o] = 0;
}

void fillAreas(CammerSingleton& set)
{
    auto add = [&set](int d, const QRect& r) {
        const int i = set.roiCount[d]++;
        set.roiMethod[d][i] = AreaFuncDefect;
        set.roiMinSize[d][i] = 3;
        set.roiSensibility[d][i] = 45;
        set.roiMaxArea[d][i] = 100;
        set.roiShape[d][i] = RoiShapeRect;
        set.roiRect[d][i].rect = r;
        set.UpdateAreaMask(d, i);
    };
    add(0, kProductArea);
    for (const QRect& r : kCavityAreas)
        add(1, r);
}

bool makeLayout(const Options& options, QString* error)
{
    QString dummy;
    if (!error)
        error = &dummy;
    if (options.cameras < 1 || options.cameras > kMaxCameras) {
        *error = QStringLiteral("cameras must be 1 to %1").arg(kMaxCameras);
        return false;
    }
    if (options.language >= 0)
        gLan = options.language;
    QDir dir(options.dir);
    if (!dir.mkpath(QStringLiteral(".")) || !dir.mkpath(QStringLiteral("dev"))) {
        *error = QStringLiteral("cannot make %1").arg(options.dir);
        return false;
    }
    dir.setPath(dir.absolutePath());
    return writeParameters(dir, options.cameras, error) && writeSerials(dir, options.cameras, error)
        && writeTemplates(dir, options.cameras, error) && writeScenes(dir, options.cameras, error)
        && writeText(dir.filePath(QStringLiteral("camsim.json")), cameraBus(options.cameras), error)
        && writeStatisticsTemplate(dir, error)
        // A clock floor far in the past: the start-up clock check passes.
        && writeText(dir.filePath(QStringLiteral("realytime.txt")), "946684800000", error)
        && writeText(dir.filePath(QStringLiteral("time.txt")),
                     QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8(), error);
}

bool writeParameters(int language, const std::function<void(WizardPara&)>& adjust)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demoParameters"));
        db.setDatabaseName(QStringLiteral("PARAM.db"));
        if (db.open()) {
            gLan = language;
            WizardPara p = FirstStartParameters();
            fillParameters(p);
            adjust(p);
            ok = p.SaveDatatoFile(db).ok;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demoParameters"));
    return ok;
}

}   // namespace demo
