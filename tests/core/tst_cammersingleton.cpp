// Area parameters of one camera: row texts, load rules and repairs, save,
// transactions and the relay notice.
#include "testgeometry.h"
#include "cammersingleton.h"
#include "geometry.h"
#include "relaylink.h"
#include "testenv.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

// A 64 x 48 image shown on a 640 x 480 view.
void setSmallGeometry()
{
    setTestGeometry(64, 48, 10.0);
}

QString polygonRow(int points)
{
    QString s = QStringLiteral("3 45 100 0 2 0 %1 ").arg(points);
    for (int k = 0; k < points; ++k)
        s += QStringLiteral("%1 %2 ").arg(10 + k % 600).arg(10 + (k * 7) % 460);
    return s;
}

} // namespace

class TestCammerSingleton : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rowTextRoundTrip_data();
    void rowTextRoundTrip();
    void circleRadiiPacking();
    void detectAndNgCountRows();

    void loadCount_data();
    void loadCount();
    void loadAreaRow_data();
    void loadAreaRow();
    void missingRowsAreZeroedAndCreated();
    void sharedOutputTakesHigherDetection();
    void everyAreaHasItsMask();
    void failedLoadIsReported_data();
    void failedLoadIsReported();

    void saveDeletesSurplusRows();
    void unusableCountKeepsRowsUntilAreasReturn_data();
    void unusableCountKeepsRowsUntilAreasReturn();
    void damagedAreaRowIsKeptUntilEdited_data();
    void damagedAreaRowIsKeptUntilEdited();
    void unreadRowsAreNeverSavedOver();
    void loadSaveLoadGivesEqualSet();
    void equalityIgnoresSelection();
    void failedSaveRollsBackAndIsReported();
    void saveNestsInCallersTransaction();
    void saveWritesRowsItDidNotLoad();
    void relayNotice_data();
    void relayNotice();

private:
    void put(const QString& name, const QString& value);
    QString get(const QString& name);
    bool has(const QString& name);

    std::unique_ptr<TestEnv> env_;
    QSqlDatabase db_;
    RecordingRelayLink relay_;
};

void TestCammerSingleton::init()
{
    env_ = std::make_unique<TestEnv>();
    setSmallGeometry();
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("param"));
    db_.setDatabaseName(env_->path(QStringLiteral("PARAM.db")));
    QVERIFY(db_.open());
    QSqlQuery(db_).exec(QStringLiteral("create table cammer2 (name text, value text)"));
    relay_.clear();
    relay_.open = relay_.alive = true;
    gpNet = &relay_;
}

void TestCammerSingleton::cleanup()
{
    gpNet = nullptr;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("param"));
    env_.reset();
}

void TestCammerSingleton::put(const QString& name, const QString& value)
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("insert into cammer2 values(?, ?)"));
    q.addBindValue(name);
    q.addBindValue(value);
    QVERIFY(q.exec());
}

QString TestCammerSingleton::get(const QString& name)
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("select value from cammer2 where name=?"));
    q.addBindValue(name);
    q.exec();
    return q.next() ? q.value(0).toString() : QString();
}

bool TestCammerSingleton::has(const QString& name)
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("select count(*) from cammer2 where name=?"));
    q.addBindValue(name);
    q.exec();
    return q.next() && q.value(0).toInt() > 0;
}

// --------------------------------------------------------------------------

void TestCammerSingleton::rowTextRoundTrip_data()
{
    QTest::addColumn<QString>("row");
    QTest::newRow("rectangle") << "3 45 100 0 1 0 0 50 50 100 100";
    QTest::newRow("circle") << "3 45 100 0 4 0 0 320 240 1310820";
    QTest::newRow("polygon") << "3 45 100 0 2 0 3 10 10 60 10 35 50 ";
    QTest::newRow("spot, output 3") << "5 20 9999 1 1 3 0 0 0 639 479";
}

void TestCammerSingleton::rowTextRoundTrip()
{
    QFETCH(QString, row);
    CammerSingleton s(2);
    bool repaired = true;
    const cv::Mat mask = s.ParseRoiRow(1, 4, row.toUtf8(), &repaired);
    QVERIFY(!repaired);
    QVERIFY(!mask.empty());
    QCOMPARE(s.RoiRowText(1, 4), row);
}

void TestCammerSingleton::circleRadiiPacking()
{
    CammerSingleton s(2);
    s.ParseRoiRow(0, 0, QByteArray("3 45 100 0 4 0 0 320 240 1310820"));
    QCOMPARE(s.roiCircle[0][0].r1, 100);
    QCOMPARE(s.roiCircle[0][0].r2, 20);
    QCOMPARE(s.roiCircle[0][0].cx, 320);
    QCOMPARE(s.roiCircle[0][0].cy, 240);
    QVERIFY(s.RoiRowText(0, 0).endsWith(QStringLiteral(" 1310820")));
}

void TestCammerSingleton::detectAndNgCountRows()
{
    CammerSingleton s(2);
    s.roiCount[3] = 7;
    for (int k = 0; k < kDetectOptions; ++k)
        s.detectOptions[3][k] = k % 3;
    s.roiNgCount[3][0] = 12;
    s.roiNgCount[3][49] = 5;
    QCOMPARE(s.DetectRowText(3), QStringLiteral("7 0 1 2 0 1 2 0 1 2 0 1 2 0 1 2 0"));
    const QString ng = s.NgCountRowText(3);
    QVERIFY(ng.startsWith(QStringLiteral("12 0 ")));
    QVERIFY(ng.endsWith(QStringLiteral(" 5 ")));
    QCOMPARE(ng.split(QLatin1Char(' '), Qt::SkipEmptyParts).size(), kAreas);
}

// --------------------------------------------------------------------------

void TestCammerSingleton::loadCount_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("warned");
    QTest::newRow("50") << "50" << 50 << false;
    QTest::newRow("51") << "51" << 0 << true;
    QTest::newRow("negative") << "-1" << 0 << true;
    QTest::newRow("not a number") << "x1" << 0 << true;
    QTest::newRow("decimal point") << "3.0" << 0 << true;
    QTest::newRow("word") << "three" << 0 << true;
    QTest::newRow("over-long") << "99999999999" << 0 << true;
}

void TestCammerSingleton::loadCount()
{
    QFETCH(QString, stored);
    QFETCH(int, count);
    QFETCH(bool, warned);
    put(QStringLiteral("detect1"), stored + QStringLiteral(" 2 2"));
    CammerSingleton s(2);
    AreaMaskArray masks;
    QVERIFY(s.LoadDatafromFile(db_, &masks));
    QCOMPARE(s.roiCount[1], count);
    QCOMPARE(env_->modalRequests.size(), size_t(warned ? 1 : 0));
    if (warned) {
        QCOMPARE(env_->modalRequests[0].messageId, 0);
        QCOMPARE(env_->modalRequests[0].kind, QStringLiteral("WarnBox"));
    }
    // Areas without rows are the default area, each with its mask.
    for (int i = 0; i < count; ++i) {
        QCOMPARE(s.roiShape[1][i], int(RoiShapeRect));
        QCOMPARE(s.roiSensibility[1][i], 45);
        QVERIFY(!masks[1][i].empty());
    }
}

void TestCammerSingleton::loadAreaRow_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("points");
    QTest::newRow("polygon 8096") << polygonRow(8096) << false << 0 << 8096;
    QTest::newRow("polygon 8097") << polygonRow(8097) << true << 0 << 0;
    QTest::newRow("polygon 0") << QStringLiteral("3 45 100 0 2 0 0 ") << true << 0 << 0;
    QTest::newRow("output 4") << QStringLiteral("1 2 3 1 1 4 0 10 10 100 100") << false << 0 << 0;
    QTest::newRow("output -1") << QStringLiteral("1 2 3 1 1 -1 0 10 10 100 100") << false << 0 << 0;
    QTest::newRow("output 2") << QStringLiteral("1 2 3 1 1 2 0 10 10 100 100") << false << 2 << 0;
    QTest::newRow("unknown shape") << QStringLiteral("1 2 3 1 3 0 ") << true << 0 << 0;
    QTest::newRow("unknown method") << QStringLiteral("1 2 3 12 1 0 0 10 10 100 100") << true << 0 << 0;
    QTest::newRow("negative method") << QStringLiteral("1 2 3 -1 1 0 0 10 10 100 100") << true << 0 << 0;
    QTest::newRow("empty row") << QString() << true << 0 << 0;
    QTest::newRow("stray character") << QStringLiteral("1 2 3 1 1 2 0 10 10x 100 100") << true << 0 << 0;
    QTest::newRow("over-long number") << QStringLiteral("1 2 3 1 1 2 0 10 10 99999999999 100") << true << 0 << 0;
}

void TestCammerSingleton::loadAreaRow()
{
    QFETCH(QString, row);
    QFETCH(bool, isDefault);
    QFETCH(int, output);
    QFETCH(int, points);
    put(QStringLiteral("detect0"), QStringLiteral("1"));
    put(QStringLiteral("ROI0-0"), row);
    CammerSingleton s(2);
    AreaMaskArray masks;
    QVERIFY(s.LoadDatafromFile(db_, &masks));
    QCOMPARE(s.roiCount[0], 1);
    QVERIFY(!masks[0][0].empty());
    QCOMPARE(s.roiOutput[0], output);
    if (isDefault) {
        QCOMPARE(s.roiMinSize[0][0], 3);
        QCOMPARE(s.roiSensibility[0][0], 45);
        QCOMPARE(s.roiMaxArea[0][0], 100);
        QCOMPARE(s.roiMethod[0][0], int(AreaFuncDefect));
        QCOMPARE(s.roiShape[0][0], int(RoiShapeRect));
        QCOMPARE(s.roiRect[0][0].rect, QRect(QPoint(50, 50), QPoint(100, 100)));
    }
    if (points > 0) {
        QCOMPARE(s.roiShape[0][0], int(RoiShapePolygon));
        QCOMPARE(s.roiPolygon[0][0].count(), points);
    }
    const cv::Rect r = s.AreaImageRect(0, 0);
    QCOMPARE(masks[0][0].cols, r.width);
    QCOMPARE(masks[0][0].rows, r.height);
}

void TestCammerSingleton::missingRowsAreZeroedAndCreated()
{
    // No table at all for camera 5.
    CammerSingleton s(5);
    for (int d = 0; d < kDetections; ++d) {
        s.roiCount[d] = 9;
        s.detectOptions[d][4] = 9;
        s.roiNgCount[d][7] = 9;
    }
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    for (int d = 0; d < kDetections; ++d) {
        QCOMPARE(s.roiCount[d], 0);
        QCOMPARE(s.detectOptions[d][4], 0);
        QCOMPARE(s.roiNgCount[d][7], 0);
    }
    QSqlQuery q(db_);
    QVERIFY(q.exec(QStringLiteral("select value from cammer5 where name='detect3'")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("0"));
    QVERIFY(q.exec(QStringLiteral("select value from cammer5 where name='detect7NGCount'")));
    QVERIFY(q.next());
}

void TestCammerSingleton::sharedOutputTakesHigherDetection()
{
    put(QStringLiteral("detect0"), QStringLiteral("4"));
    put(QStringLiteral("detect2"), QStringLiteral("4"));
    put(QStringLiteral("ROI0-3"), QStringLiteral("3 45 100 0 1 1 0 10 10 100 100"));
    put(QStringLiteral("ROI2-3"), QStringLiteral("3 45 100 0 1 3 0 10 10 100 100"));
    CammerSingleton s(2);
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    QCOMPARE(s.roiOutput[3], 3);
    QVERIFY(s.SaveDatatoFile(db_, false));
    QCOMPARE(get(QStringLiteral("ROI0-3")).split(QLatin1Char(' ')).at(5), QStringLiteral("3"));
    QCOMPARE(get(QStringLiteral("ROI2-3")).split(QLatin1Char(' ')).at(5), QStringLiteral("3"));
}

void TestCammerSingleton::everyAreaHasItsMask()
{
    put(QStringLiteral("detect4"), QStringLiteral("4 0 0"));
    put(QStringLiteral("ROI4-0"), QStringLiteral("3 45 100 0 1 0 0 100 100 50 50")); // corners reversed
    put(QStringLiteral("ROI4-1"), QStringLiteral("3 45 100 0 4 0 0 320 240 1310820"));
    put(QStringLiteral("ROI4-2"), QStringLiteral("3 45 100 0 2 0 3 10 10 600 10 300 400 "));
    // ROI4-3 missing: default area
    CammerSingleton s(2);
    AreaMaskArray masks;
    QVERIFY(s.LoadDatafromFile(db_, &masks));
    QCOMPARE(s.roiRect[4][0].rect, QRect(QPoint(50, 50), QPoint(100, 100)));
    for (int i = 0; i < 4; ++i) {
        const cv::Rect r = s.AreaImageRect(4, i);
        QVERIFY2(r.width >= 1 && r.height >= 1, qPrintable(QString::number(i)));
        QCOMPARE(masks[4][i].size(), r.size());
        QVERIFY(cv::countNonZero(masks[4][i]) > 0);
    }
    // Ring: its centre is outside the mask, the ring inside.
    const cv::Mat& ring = masks[4][1];
    QCOMPARE(int(ring.at<uchar>(ring.rows / 2, ring.cols / 2)), 0);
    QVERIFY(masks[4][5].empty());

    // The work masks are rebuilt the same way from a copied set.
    CammerSingleton work = s;
    AreaMaskArray workMasks;
    workMasks[4][6] = cv::Mat(3, 3, CV_8UC1);
    work.RebuildMasks(workMasks);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(cv::countNonZero(workMasks[4][i] != masks[4][i]), 0);
    QVERIFY(workMasks[4][6].empty());
}

void TestCammerSingleton::failedLoadIsReported_data()
{
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("error");
    QTest::newRow("closed database") << true << "not open";
    QTest::newRow("table without value column") << false << "cammer3";
}

void TestCammerSingleton::failedLoadIsReported()
{
    QFETCH(bool, closed);
    QFETCH(QString, error);
    QVERIFY(QSqlQuery(db_).exec(QStringLiteral("create table cammer3 (name text)")));
    if (closed)
        db_.close();
    CammerSingleton s(3);
    AreaMaskArray masks;
    masks[0][0] = cv::Mat(3, 3, CV_8UC1);
    QVERIFY(!s.LoadDatafromFile(db_, &masks));
    QVERIFY2(s.lastError().contains(error), qPrintable(s.lastError()));
    for (int d = 0; d < kDetections; ++d)
        QCOMPARE(s.roiCount[d], 0);
    if (!closed)
        QVERIFY(masks[0][0].empty());
    // What was not read is not written over.
    QVERIFY(!s.SaveDatatoFile(db_, false));
}

// --------------------------------------------------------------------------

void TestCammerSingleton::saveDeletesSurplusRows()
{
    put(QStringLiteral("detect6"), QStringLiteral("5"));
    for (int i = 0; i < 5; ++i)
        put(QStringLiteral("ROI6-%1").arg(i), QStringLiteral("3 45 100 0 1 0 0 10 10 100 100"));
    CammerSingleton s(2);
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    s.roiCount[6] = 2;
    QVERIFY(s.SaveDatatoFile(db_, false));
    QVERIFY(has(QStringLiteral("ROI6-0")));
    QVERIFY(has(QStringLiteral("ROI6-1")));
    for (int i = 2; i < 5; ++i)
        QVERIFY(!has(QStringLiteral("ROI6-%1").arg(i)));
    QVERIFY(get(QStringLiteral("detect6")).startsWith(QStringLiteral("2 ")));
    QVERIFY(get(QStringLiteral("detect6NGCount")).endsWith(QLatin1Char(' ')));
}

void TestCammerSingleton::unusableCountKeepsRowsUntilAreasReturn_data()
{
    QTest::addColumn<QString>("detect");
    QTest::newRow("above 50") << "51 0 2";
    QTest::newRow("negative") << "-3 0 2";
    QTest::newRow("decimal point") << "3.0 0 2";
    QTest::newRow("word") << "three 0 2";
    QTest::newRow("empty") << "";
    QTest::newRow("too many values") << "3 0 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 9";
}

void TestCammerSingleton::unusableCountKeepsRowsUntilAreasReturn()
{
    QFETCH(QString, detect);
    put(QStringLiteral("detect1"), detect);
    put(QStringLiteral("ROI1-0"), QStringLiteral("3 45 100 0 1 0 0 10 10 100 100"));
    put(QStringLiteral("ROI1-7"), QStringLiteral("3 45 100 0 1 0 0 10 10 100 100"));
    CammerSingleton s(2);
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    QCOMPARE(s.roiCount[1], 0);
    s.detectOptions[1][1] = 2; // a cavity box changed meanwhile
    QVERIFY(s.SaveDatatoFile(db_, false));
    QVERIFY(has(QStringLiteral("ROI1-0")));
    QVERIFY(has(QStringLiteral("ROI1-7")));
    QCOMPARE(get(QStringLiteral("detect1")), detect);

    // Once the user gives the detection areas again, the save is normal.
    s.roiCount[1] = 1;
    s.SetDefaultArea(1, 0);
    QVERIFY(s.SaveDatatoFile(db_, false));
    QVERIFY(has(QStringLiteral("ROI1-0")));
    QVERIFY(!has(QStringLiteral("ROI1-7")));
    QVERIFY(get(QStringLiteral("detect1")).startsWith(QStringLiteral("1 ")));
}

void TestCammerSingleton::damagedAreaRowIsKeptUntilEdited_data()
{
    QTest::addColumn<QString>("row");
    QTest::newRow("stray character") << "3 45 100 0 1 0 0 10 10 100 10O";
    QTest::newRow("over-long number") << "3 45 100 0 1 0 0 10 10 100 1000000000000";
    QTest::newRow("unknown method") << "3 45 100 12 1 0 0 10 10 100 100";
    QTest::newRow("unknown shape") << "3 45 100 0 3 0 0 10 10 100 100";
    QTest::newRow("polygon without points") << "3 45 100 0 2 0 0 ";
}

void TestCammerSingleton::damagedAreaRowIsKeptUntilEdited()
{
    QFETCH(QString, row);
    const QString good = QStringLiteral("7 46 101 1 1 2 0 20 20 200 200");
    put(QStringLiteral("detect0"), QStringLiteral("3"));
    put(QStringLiteral("ROI0-0"), good);
    put(QStringLiteral("ROI0-1"), row);
    put(QStringLiteral("ROI0-2"), good);
    put(QStringLiteral("detect4"), QStringLiteral("1"));
    put(QStringLiteral("ROI4-0"), row);
    put(QStringLiteral("detect5"), QStringLiteral("x"));
    CammerSingleton s(2);
    AreaMaskArray masks;
    QVERIFY(s.LoadDatafromFile(db_, &masks));
    // The engine judges a usable area in its place; the user is told once.
    QVERIFY(s.IsDefaultArea(0, 1));
    QVERIFY(!masks[0][1].empty());
    QCOMPARE(env_->modalRequests.size(), size_t(1));
    QCOMPARE(env_->modalRequests[0].messageId, 0);

    // Saved untouched: the stored rows stay as they are.
    QVERIFY(s.SaveDatatoFile(db_, false));
    QCOMPARE(get(QStringLiteral("ROI0-1")), row);
    QCOMPARE(get(QStringLiteral("ROI4-0")), row);
    QCOMPARE(get(QStringLiteral("ROI0-0")), good);
    QCOMPARE(get(QStringLiteral("ROI0-2")), good);

    // A copy edited by the area page writes its area.
    CammerSingleton work(2);
    work = s;
    work.roiMinSize[0][1] = 9;
    QVERIFY(work.SaveDatatoFile(db_, false));
    QCOMPARE(get(QStringLiteral("ROI0-1")), work.RoiRowText(0, 1));
    QCOMPARE(get(QStringLiteral("ROI4-0")), row);
}

void TestCammerSingleton::unreadRowsAreNeverSavedOver()
{
    // A table whose later pages do not read: the load reports it, and the
    // save refuses instead of deleting the area rows it never saw.
    const QString file = env_->path(QStringLiteral("damaged.db"));
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damaged"));
        d.setDatabaseName(file);
        QVERIFY(d.open());
        QSqlQuery q(d);
        QVERIFY(q.exec(QStringLiteral("create table cammer2 (name text, value text)")));
        QVERIFY(q.exec(QStringLiteral("insert into cammer2 values('detect0', '2')")));
        QVERIFY(q.exec(QStringLiteral("insert into cammer2 values('ROI0-0', '3 45 100 0 1 0 0 10 10 100 100')")));
        for (int i = 0; i < 40; ++i)
            QVERIFY(q.exec(QStringLiteral("insert into cammer2 values('note%1', '%2')")
                               .arg(i)
                               .arg(QString(1000, QChar('a' + i % 26)))));
        QVERIFY(q.exec(QStringLiteral("insert into cammer2 values('ROI0-1', '3 45 100 0 1 0 0 10 10 100 100')")));
        d.close();
    }
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    QVERIFY(bytes.size() > 8 * 4096);
    bytes.replace(bytes.size() - 4096, 4096, QByteArray(4096, '\x5a'));
    f.seek(0);
    f.write(bytes);
    f.close();
    {
        QSqlDatabase d = QSqlDatabase::database(QStringLiteral("damaged"));
        CammerSingleton s(2);
        QVERIFY(!s.LoadDatafromFile(d, nullptr));
        QVERIFY(s.unreadRows > 0);
        QVERIFY(!s.SaveDatatoFile(d, false));
        QVERIFY2(s.lastError().contains(QStringLiteral("not saved")), qPrintable(s.lastError()));
        // The area page's copy carries the refusal with it.
        CammerSingleton work(2);
        work = s;
        QVERIFY(!work.SaveDatatoFile(d, false));
        d.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damaged"));
    QCOMPARE(env_->readFile(QStringLiteral("damaged.db")), bytes);
}

void TestCammerSingleton::loadSaveLoadGivesEqualSet()
{
    put(QStringLiteral("detect0"), QStringLiteral("3 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16"));
    put(QStringLiteral("detect0NGCount"), QStringLiteral("1 2 3 "));
    put(QStringLiteral("ROI0-0"), QStringLiteral("3 45 100 0 1 0 0 10 10 100 100"));
    put(QStringLiteral("ROI0-1"), QStringLiteral("3 45 100 6 4 1 0 320 240 1310820"));
    put(QStringLiteral("ROI0-2"), QStringLiteral("7 46 65537 7 2 2 3 10 10 60 10 35 50 "));
    put(QStringLiteral("detect7"), QStringLiteral("1"));
    CammerSingleton a(2), b(2);
    QVERIFY(a.LoadDatafromFile(db_, nullptr));
    QVERIFY(a.SaveDatatoFile(db_, false));
    QVERIFY(b.LoadDatafromFile(db_, nullptr));
    QVERIFY(a == b);
    CammerSingleton copy(2);
    copy = a;
    QVERIFY(copy == a);
    copy.roiPolygon[0][2].point(1) = QPoint(61, 10);
    QVERIFY(copy != a);
}

void TestCammerSingleton::equalityIgnoresSelection()
{
    CammerSingleton a(2);
    a.roiCount[0] = 1;
    a.ParseRoiRow(0, 0, QByteArray("3 45 100 0 2 0 3 10 10 60 10 35 50 "));
    CammerSingleton b = a;
    b.roiPolygon[0][0].SetSelected(true);
    b.roiRect[3][9].SetSelected(true);
    QVERIFY(a == b);
    b.roiNgCount[0][0] = 1;
    QVERIFY(a != b);
}

void TestCammerSingleton::failedSaveRollsBackAndIsReported()
{
    put(QStringLiteral("detect0"), QStringLiteral("2"));
    put(QStringLiteral("ROI0-0"), QStringLiteral("3 45 100 0 1 0 0 10 10 100 100"));
    put(QStringLiteral("ROI0-1"), QStringLiteral("3 45 100 0 1 0 0 10 10 100 100"));
    CammerSingleton s(2);
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    QVERIFY(QSqlQuery(db_).exec(QStringLiteral(
        "create trigger boom before update on cammer2 when new.name='ROI0-1' "
        "begin select raise(abort, 'disk full'); end")));
    s.roiMinSize[0][0] = 9;
    s.roiMinSize[0][1] = 9;
    QVERIFY(!s.SaveDatatoFile(db_, true));
    QVERIFY(s.lastError().contains(QStringLiteral("ROI0-1")));
    QVERIFY(get(QStringLiteral("ROI0-0")).startsWith(QStringLiteral("3 ")));
    QVERIFY(relay_.calls().isEmpty());
    // The connection is usable afterwards.
    QVERIFY(QSqlQuery(db_).exec(QStringLiteral("drop trigger boom")));
    QVERIFY(s.SaveDatatoFile(db_, false));
    QVERIFY(get(QStringLiteral("ROI0-1")).startsWith(QStringLiteral("9 ")));
}

void TestCammerSingleton::saveNestsInCallersTransaction()
{
    CammerSingleton s(2);
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    s.roiCount[0] = 1;
    s.SetDefaultArea(0, 0);
    QVERIFY(db_.transaction());
    QVERIFY(s.SaveDatatoFile(db_, false));
    QVERIFY(db_.rollback());
    QVERIFY(!has(QStringLiteral("ROI0-0")));
    QVERIFY(db_.transaction());
    QVERIFY(s.SaveDatatoFile(db_, false));
    QVERIFY(db_.commit());
    QVERIFY(has(QStringLiteral("ROI0-0")));
}

void TestCammerSingleton::saveWritesRowsItDidNotLoad()
{
    // A set saved into a table that lacks its detect rows still lands.
    CammerSingleton s(2);
    s.roiCount[4] = 1;
    s.detectOptions[4][0] = 2;
    s.SetDefaultArea(4, 0);
    QVERIFY(s.SaveDatatoFile(db_, false));
    QCOMPARE(get(QStringLiteral("detect4")), QStringLiteral("1 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
    QCOMPARE(get(QStringLiteral("ROI4-0")), QStringLiteral("3 45 100 0 1 0 0 50 50 100 100"));
    CammerSingleton back(2);
    QVERIFY(back.LoadDatafromFile(db_, nullptr));
    QVERIFY(back == s);
}

void TestCammerSingleton::relayNotice_data()
{
    QTest::addColumn<bool>("netEnabled");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<int>("messages");
    QTest::newRow("all on") << true << true << true << 8;
    QTest::newRow("net off") << false << true << true << 0;
    QTest::newRow("not listening") << true << false << true << 0;
    QTest::newRow("relay gone") << true << true << false << 0;
}

void TestCammerSingleton::relayNotice()
{
    QFETCH(bool, netEnabled);
    QFETCH(bool, open);
    QFETCH(bool, alive);
    QFETCH(int, messages);
    relay_.open = open;
    relay_.alive = alive;
    CammerSingleton s(2);
    QVERIFY(s.LoadDatafromFile(db_, nullptr));
    QVERIFY(s.SaveDatatoFile(db_, netEnabled));
    QCOMPARE(relay_.calls().size(), messages);
    if (messages)
        QCOMPARE(relay_.calls().at(7), QStringLiteral("roi 2 7"));
}

QTEST_GUILESS_MAIN(TestCammerSingleton)
#include "tst_cammersingleton.moc"
