// The demo program directory: what mm_make_demo lays out loads back through
// the program's own stores, and the real engine judges its scenes as the
// machine model expects on every screen the monitor may run on.
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "cameraslotstate.h"
#include "cammerrecongnize.h"
#include "cammersingleton.h"
#include "demolayout.h"
#include "enginehost.h"
#include "messages.h"
#include "simcamerabus.h"
#include "slotpictures.h"
#include "testenv.h"
#include "testgeometry.h"
#include "wizardpara.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QSqlQuery>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Both databases of the layout, open for one test.
struct LayoutDbs {
    LayoutDbs()
    {
        QSqlDatabase p = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("layout_param"));
        p.setDatabaseName(QStringLiteral("PARAM.db"));
        QSqlDatabase s = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("layout_sn"));
        s.setDatabaseName(QStringLiteral("SN.db"));
        opened = p.open() && s.open();
    }
    ~LayoutDbs()
    {
        QSqlDatabase::database(QStringLiteral("layout_param"), false).close();
        QSqlDatabase::database(QStringLiteral("layout_sn"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("layout_param"));
        QSqlDatabase::removeDatabase(QStringLiteral("layout_sn"));
    }
    QSqlDatabase param() const { return QSqlDatabase::database(QStringLiteral("layout_param"), false); }
    QSqlDatabase sn() const { return QSqlDatabase::database(QStringLiteral("layout_sn"), false); }
    bool opened = false;
};

cv::Mat readGrey(const QString& file)
{
    QImage img(file);
    if (img.isNull())
        return {};
    img = img.convertToFormat(QImage::Format_Grayscale8);
    cv::Mat m(img.height(), img.width(), CV_8UC1);
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(m.ptr(y), img.constScanLine(y), size_t(img.width()));
    return m;
}

} // namespace

class TestDemoLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void loadsBack_data();
    void loadsBack();
    void verdicts_data();
    void verdicts();
    void refusesBadCameraCount();

private:
    WizardPara loaded_;
    QTemporaryDir shared_;   // one two-camera layout for the verdicts
};

void TestDemoLayout::initTestCase()
{
    QVERIFY(shared_.isValid());
    demo::Options o;
    o.dir = shared_.path();
    o.cameras = 2;
    QString error;
    QVERIFY2(demo::makeLayout(o, &error), qPrintable(error));
}

void TestDemoLayout::cleanup()
{
    gpWPara = nullptr;
    gLan = LanSimplifiedChinese;
}

void TestDemoLayout::loadsBack_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<int>("language");
    QTest::newRow("two cameras, default language") << 2 << -1;
    QTest::newRow("one camera, English") << 1 << int(LanEnglish);
    QTest::newRow("eight cameras, Traditional Chinese") << 8 << int(LanTraditionalChinese);
}

void TestDemoLayout::loadsBack()
{
    QFETCH(int, cameras);
    QFETCH(int, language);
    TestEnv env;
    gLan = LanSimplifiedChinese;
    QString error;
    demo::Options o;
    o.dir = QDir::currentPath();
    o.cameras = cameras;
    o.language = language;
    QVERIFY2(demo::makeLayout(o, &error), qPrintable(error));
    gLan = -1;

    LayoutDbs dbs;
    QVERIFY(dbs.opened);
    WizardPara p;
    std::memset(gSerialNB, 0, sizeof gSerialNB);
    int leftPair = 0;
    const ParamStoreResult r = p.LoadDatafromFile(dbs.param(), dbs.sn(), leftPair);
    QVERIFY2(r.ok, qPrintable(r.detail));
    QCOMPARE(p.unreadRows, 0);
    QCOMPARE(gLan, language < 0 ? int(LanSimplifiedChinese) : language);
    QCOMPARE(p.systemMode, int(SystemModeStandard));
    QCOMPARE(p.productDetectEnabled, 1);
    QCOMPARE(p.detectEnabled[0], 1);
    QCOMPARE(p.detectEnabled[1], 1);
    QCOMPARE(p.detectTriggerInput[0], 0);
    QCOMPARE(p.detectTriggerInput[1], 0);
    // Both delays end well inside a 6 s machine cycle.
    QCOMPARE(p.detectDelay[0], 5);
    QCOMPARE(p.detectDelay[1], 15);
    QCOMPARE(p.moldRecheckCount, 1);
    QVERIFY(p.ngImageKeep > 0 && p.okImageKeep > 0);
    QCOMPARE(p.ioLostAlarm, 1);
    QCOMPARE(p.cameraCheck, 1);
    QCOMPARE(p.imageAdjustEnabled, 1);
    QCOMPARE(p.passwordEnabled, 0);
    QCOMPARE(p.motionCorrection, -1);
    QCOMPARE(p.noLensOptimize, 1);
    for (int o2 = 0; o2 < 3; ++o2)
        QCOMPARE(p.outputInvert[o2], 0);
    // Every camera has its serial: no count question at start.
    QCOMPARE(p.storedSerialCount, cameras);
    // Both record pages are on, and the statistics store's default copy
    // holds its 81 zero rows.
    QCOMPARE(p.statisticsEnabled, 1);
    QCOMPARE(p.cycleTimeLog, 1);
    {
        QSqlDatabase t = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("statsTemplate"));
        t.setDatabaseName(QStringLiteral("ResStatisticsNULL.db"));
        QVERIFY(t.open());
        QSqlQuery q(t);
        QVERIFY(q.exec(QStringLiteral("select count(*) from resstatistics where value1 = value2 and value1 = '%1'")
                           .arg(QStringLiteral("0 ").repeated(24))));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 81);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("statsTemplate"));
    for (int c = 0; c < kCameraSlots; ++c) {
        if (c < cameras)
            QCOMPARE(QString::fromLatin1(gSerialNB[c]), demo::cameraSerial(c));
        else
            QVERIFY(std::strlen(gSerialNB[c]) < 9);   // no camera bound to the slot
    }

    setTestGeometry(demo::kImageW, demo::kImageH, 1.0, 800.0 / 1024.0);
    for (int c = 0; c < cameras; ++c) {
        CammerSingleton set(c);
        AreaMaskArray masks;
        QVERIFY2(set.LoadDatafromFile(dbs.param(), &masks), qPrintable(set.lastError()));
        CammerSingleton expected(c);
        demo::fillAreas(expected);
        QVERIFY(set == expected);
        QCOMPARE(set.roiCount[0], 1);
        QCOMPARE(set.roiCount[1], 4);
        for (int d = 0; d < 2; ++d)
            for (int i = 0; i < set.roiCount[d]; ++i) {
                QCOMPARE(set.roiMethod[d][i], int(AreaFuncDefect));
                QVERIFY(cv::countNonZero(masks[d][i]) > 1000);
            }

        CameraSlotState slot;
        slot.AllocateSlotBuffers(demo::kImageW, demo::kImageH, false, p.templateCount);
        LoadTemplateLibrary(slot, c);
        for (int d = 0; d < 2; ++d) {
            QCOMPARE(slot.templateCount[d], demo::kTemplateVariants);
            for (int t = 0; t < demo::kTemplateVariants; ++t)
                QVERIFY(slot.templateValid[d][size_t(t)]);
        }
    }

    QFile floor(QStringLiteral("realytime.txt"));
    QVERIFY(floor.open(QIODevice::ReadOnly));
    const qint64 floorMs = floor.readAll().trimmed().toLongLong();
    QVERIFY(floorMs > 0 && floorMs < QDateTime::currentMSecsSinceEpoch());
    QFile date(QStringLiteral("time.txt"));
    QVERIFY(date.open(QIODevice::ReadOnly));
    QVERIFY(QDate::fromString(QString::fromUtf8(date.readAll()).trimmed(), QStringLiteral("yyyy-MM-dd")).isValid());

    QString busError;
    QFile bus(QStringLiteral("camsim.json"));
    QVERIFY(bus.open(QIODevice::ReadOnly));
    camsim::Bus b;
    QVERIFY2(b.loadJson(bus.readAll(), &busError), qPrintable(busError));
    QCOMPARE(int(b.all().size()), cameras);
    for (int c = 0; c < cameras; ++c) {
        const auto& cfg = b.all()[size_t(c)]->config();
        QCOMPARE(cfg.serial, demo::cameraSerial(c));
        QCOMPARE(cfg.width, demo::kImageW);
        QCOMPARE(cfg.height, demo::kImageH);
        QCOMPARE(cfg.source, QStringLiteral("files"));
        QVERIFY(cfg.reread);
        QCOMPARE(cfg.files, QStringList{demo::liveSceneFile(c)});
        for (demo::Scene s : {demo::Scene::Part, demo::Scene::Empty, demo::Scene::Left})
            QVERIFY(QFile::exists(demo::sceneFile(c, s)));
    }

    // The probe on this bus with these parameters finds every camera at the
    // templates' size, as the window's start-up does.
    QVERIFY(bus.seek(0));
    QVERIFY(camsim::bus().loadJson(bus.readAll()));
    gisCut = 1 - p.noLensOptimize;
    CheckCameraID();
    camsim::bus().clear();
    gisCut = 1;
    QCOMPARE(gFindCamera, cameras);
    QCOMPARE(gImageW, demo::kImageW);
    QCOMPARE(gImageH, demo::kImageH);
}

void TestDemoLayout::verdicts_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("screenH");
    QTest::addColumn<int>("camera");
    // The stored areas are in view coordinates, so the screen decides where
    // they fall on the picture: the verdicts must hold on each.
    for (const QSize s : {QSize(1280, 800), QSize(1024, 600), QSize(800, 600), QSize(1280, 1024)})
        for (int c : {0, 1})
            QTest::addRow("%dx%d camera %d", s.width(), s.height(), c + 1) << s.width() << s.height() << c;
}

void TestDemoLayout::verdicts()
{
    QFETCH(int, screenW);
    QFETCH(int, screenH);
    QFETCH(int, camera);
    TestEnv env;
    QVERIFY(QDir::setCurrent(shared_.path()));
    setTestGeometry(demo::kImageW, demo::kImageH, double(screenW) / demo::kImageW, double(screenH) / demo::kImageH);

    LayoutDbs dbs;
    QVERIFY(dbs.opened);
    int leftPair = 0;
    loaded_ = WizardPara();
    QVERIFY(loaded_.LoadDatafromFile(dbs.param(), dbs.sn(), leftPair).ok);
    gpWPara = &loaded_;

    CammerSingleton set(camera);
    CameraSlotState slot;
    slot.AllocateSlotBuffers(demo::kImageW, demo::kImageH, false, loaded_.templateCount);
    slot.camIndex = camera;
    QVERIFY(set.LoadDatafromFile(dbs.param(), &slot.liveMask));
    slot.savedSet = &set;
    LoadTemplateLibrary(slot, camera);

    // The window's engine host: the live parameters, the cycle's detection.
    int currentDetect = 0;
    int statsSource = 0;
    WizardParaEngineHost host;
    host.followCycle(currentDetect, statsSource);
    CammerRecong engine(&set, &slot, &host);

    struct Case {
        demo::Scene scene;
        int detection;
        bool ok;
    };
    const Case cases[] = {
        {demo::Scene::Part, 0, true},    // the part is there: product OK
        {demo::Scene::Empty, 1, true},   // the part fell: mould OK
        {demo::Scene::Left, 1, false},   // a part stayed: mould NG
        {demo::Scene::Empty, 0, false},  // no part at all: product NG
    };
    for (const Case& k : cases) {
        const cv::Mat frame = readGrey(demo::sceneFile(camera, k.scene));
        QCOMPARE(frame.cols, demo::kImageW);
        QCOMPARE(frame.rows, demo::kImageH);
        std::memcpy(slot.procFrame.data(), frame.data, size_t(slot.colorLen));
        currentDetect = k.detection;
        engine.ShapeMatch();
        engine.Run(k.detection);
        QString values;
        for (int i = 0; i < set.roiCount[k.detection]; ++i)
            values += QString::number(slot.roiValue[k.detection][i]) + QLatin1Char(' ');
        QVERIFY2(bool(slot.isOK) == k.ok, qPrintable(QStringLiteral("%1 in detection %2: values %3")
                                                         .arg(QLatin1String(demo::sceneName(k.scene)))
                                                         .arg(k.detection)
                                                         .arg(values)));
    }
}

void TestDemoLayout::refusesBadCameraCount()
{
    TestEnv env;
    for (int n : {0, 9}) {
        demo::Options o;
        o.dir = QDir::currentPath() + QStringLiteral("/bad");
        o.cameras = n;
        QString error;
        QVERIFY(!demo::makeLayout(o, &error));
        QVERIFY(error.contains(QStringLiteral("cameras")));
        QVERIFY(!QFile::exists(o.dir + QStringLiteral("/PARAM.db")));
    }
}

QTEST_MAIN(TestDemoLayout)
#include "tst_demolayout.moc"
