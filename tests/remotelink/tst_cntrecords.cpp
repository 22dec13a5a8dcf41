// The relay's manual-stop record and production statistics: what each send
// puts in its body and file, how the files are read back, and the limits
// that keep damaged files and large counters from corrupting the figures.
#include "cntrecords.h"
#include "cyclecounters.h"
#include "readonlyfolder.h"
#include "relayhost.h"
#include "screenstates.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <limits>

namespace {

const QDateTime kMorning(QDate(2026, 3, 2), QTime(14, 5));

struct FakeRelayHost : RelayHost {
    int state = RunStateDetecting;
    int cycle = 0;
    int cameras = 1;
    int runState() const override { return state; }
    int failImageState(int, int) const override { return 0; }
    int cycleTime() const override { return cycle; }
    int currentDetect() const override { return 0; }
    int numCamera() const override { return cameras; }
    const CammerSingleton* savedSet(int) const override { return nullptr; }
};

RecordInputs inputs(const QDateTime& now, int runState = RunStateDetecting)
{
    RecordInputs in;
    in.deviceId = QStringLiteral("panel-7");
    in.now = now;
    in.runState = runState;
    in.numCamera = 1;
    in.productName = QStringLiteral("cap");
    in.productSerial = 12;
    in.productNum = 5000;
    in.productMoldCavity = 4;
    in.operatorName = QStringLiteral("Li");
    return in;
}

// const, so that members chain: parse(b)["camera"]["ng"][0].
const QJsonObject parse(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString() << body.left(200);
    return doc.object();
}

QJsonObject areaJson(int num, int result)
{
    return {{"alarm_area_num", num}, {"alarm_algorithm_type", "----"}, {"alarm_result", result}};
}

QJsonObject detectJson(int time, const QJsonArray& areas)
{
    return {{"time", time}, {"ng_sum", 1}, {"produce", 2}, {"monitor_times", 3}, {"ok_num", 4},
            {"ok_rate", 5}, {"not_ok_num", 6}, {"not_ok_rate", 7}, {"alarm", areas}};
}

QJsonObject cameraJson(const QString& id, const QJsonArray& detects)
{
    return {{"camera_id", id}, {"disalarm_timeout_time", 1}, {"last_monitor_period", 2},
            {"now_monitor_period", 3}, {"average_monitor_period", 4}, {"ng_monitors", detects}};
}

// A complete statistics file with the given cameras.
QJsonObject statisticsJson(const QJsonArray& cameras)
{
    return {{"device_id", "panel-7"}, {"state", 0}, {"product_name", "lid"}, {"product_serial", "9"},
            {"products_num", 700}, {"start_utc", 1767225600000.0}, {"real_produce", 88},
            {"utc_watch_total", 1000}, {"total_stop_alarm_timelen", 5000}, {"watch_count_total", 30},
            {"ng_count_total", 3}, {"ng_notification_rate", 1000}, {"watch_circle", 1200},
            {"utc", 1767225600000.0}, {"ng_image", "null"}, {"camera", QJsonObject{{"ng", cameras}}}};
}

QByteArray text(const QJsonObject& o)
{
    return QJsonDocument(o).toJson();
}

QJsonObject manualStopJson()
{
    return {{"device_id", "panel-7"}, {"state", 1}, {"utc", 1767225600000.0},
            {"stop_check_timeslot", "08:00---:--"}, {"stop_check_timelen", 12}, {"timeout_time", 3},
            {"operator_id", "Wang"}, {"disalarm_operator_id", "Wang"}, {"stop_check_reason", "mould change"}};
}

const char* kManualStopFile = "cnt_net/data/ManualStop";
const char* kStatisticsFile = "cnt_net/data/Statistics";

}  // namespace

class TestCntRecords : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void manualStopOpensAndClosesAStop();
    void manualStopBodyIsExact();
    void manualStopStateNumbers_data();
    void manualStopStateNumbers();
    void clockSetBackAddsNothing();
    void manualStopLoader_data();
    void manualStopLoader();

    void ngAreasAreCountedPerArea();
    void outOfRangeAreasAreNotCounted();
    void statisticsFigures_data();
    void statisticsFigures();
    void watchTotalNeverNegativeAfterReset();
    void durationsAreBoundedAndAveragedIn64Bits();
    void keyOutOfRangeStopsTheSend();

    void statisticsLoader_data();
    void statisticsLoader();
    void missingMemberDeletesTheFileKeepsWhatWasRead();
    void loadKeepsCameraTableAndCycleFigures();
    void sentStatisticsReadBackUnchanged();

    void switchedOffChangesNothing();
    void readOnlyFolderKeepsOldFileAndStillSends();
    void captureCopiesTheProgramState();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestCntRecords::init()
{
    env_ = std::make_unique<TestEnv>();
    env_->clock->set(kMorning);
}

// Each environment restores the seams it replaced, so one ends before the
// next begins.
void TestCntRecords::cleanup()
{
    env_.reset();
}

// Stop at 14:05, resume at 14:32: the open stop, then the closed one with
// its 27 minutes; the file holds the last body.
void TestCntRecords::manualStopOpensAndClosesAStop()
{
    RelayRecords r;
    r.manualStopRecord.stop_check_timelen = 10;
    const QByteArray stop = r.CNT_SendManualStop(inputs(kMorning, RunStateStopped), true);
    QCOMPARE(parse(stop)["stop_check_timeslot"].toString(), QStringLiteral("14:05---:--"));
    QCOMPARE(parse(stop)["utc"].toDouble(), double(kMorning.toMSecsSinceEpoch()));
    QCOMPARE(env_->readFile(kManualStopFile), stop);

    const QByteArray resume = r.CNT_SendManualStop(inputs(kMorning.addSecs(27 * 60 + 59)), true);
    const QJsonObject o = parse(resume);
    QCOMPARE(o["stop_check_timeslot"].toString(), QStringLiteral("14:05-14:32"));
    QCOMPARE(o["stop_check_timelen"].toInt(), 37);
    QCOMPARE(o["operator_id"].toString(), QStringLiteral("Li"));
    QCOMPARE(o["disalarm_operator_id"].toString(), QStringLiteral("Li"));
    QCOMPARE(env_->readFile(kManualStopFile), resume);

    // Resuming again without an open stop adds nothing; stopping twice
    // restarts the open stop at the second time.
    const QByteArray again = r.CNT_SendManualStop(inputs(kMorning.addSecs(3600)), true);
    QCOMPARE(parse(again)["stop_check_timeslot"].toString(), QStringLiteral("14:05-14:32"));
    QCOMPARE(parse(again)["stop_check_timelen"].toInt(), 37);
    r.CNT_SendManualStop(inputs(kMorning.addSecs(7200), RunStateStopped), true);
    const QByteArray second = r.CNT_SendManualStop(inputs(kMorning.addSecs(7260), RunStateStopped), true);
    QCOMPARE(parse(second)["stop_check_timeslot"].toString(), QStringLiteral("16:06---:--"));
}

// Keys in order, cJSON's tab layout, a 13-digit time printed whole, and
// UTF-8 for a Chinese operator.
void TestCntRecords::manualStopBodyIsExact()
{
    RelayRecords r;
    RecordInputs in = inputs(kMorning, RunStateStopped);
    in.operatorName = QString::fromUtf8("王工");
    const QByteArray body = r.CNT_SendManualStop(in, true);
    const QByteArray ms = QByteArray::number(kMorning.toMSecsSinceEpoch());
    const QByteArray expected = "{\n"
                                "\t\"device_id\":\t\"panel-7\",\n"
                                "\t\"state\":\t1,\n"
                                "\t\"utc\":\t" + ms + ",\n"
                                "\t\"stop_check_timeslot\":\t\"14:05---:--\",\n"
                                "\t\"stop_check_timelen\":\t0,\n"
                                "\t\"timeout_time\":\t0,\n"
                                "\t\"operator_id\":\t\"\xe7\x8e\x8b\xe5\xb7\xa5\",\n"
                                "\t\"disalarm_operator_id\":\t\"\xe7\x8e\x8b\xe5\xb7\xa5\",\n"
                                "\t\"stop_check_reason\":\t\"--\"\n"
                                "}";
    QCOMPARE(body, expected);
}

void TestCntRecords::manualStopStateNumbers_data()
{
    QTest::addColumn<int>("runState");
    QTest::addColumn<int>("state");
    QTest::newRow("stopped") << int(RunStateStopped) << 1;
    QTest::newRow("detecting") << int(RunStateDetecting) << 0;
    QTest::newRow("training") << int(RunStateTraining) << 2;
}

void TestCntRecords::manualStopStateNumbers()
{
    QFETCH(int, runState);
    QFETCH(int, state);
    RelayRecords r;
    QCOMPARE(parse(r.CNT_SendManualStop(inputs(kMorning, runState), true))["state"].toInt(), state);
    QCOMPARE(parse(r.CNT_SendStatistics("null", inputs(kMorning, runState), true))["state"].toInt(), state);
}

// The clock set back during a stop closes it without negative minutes; an
// alarm "released before it started" adds no duration.
void TestCntRecords::clockSetBackAddsNothing()
{
    RelayRecords r;
    r.manualStopRecord.stop_check_timelen = 5;
    r.CNT_SendManualStop(inputs(kMorning, RunStateStopped), true);
    const QJsonObject o = parse(r.CNT_SendManualStop(inputs(kMorning.addSecs(-3600)), true));
    QCOMPARE(o["stop_check_timelen"].toInt(), 5);
    QCOMPARE(o["stop_check_timeslot"].toString(), QStringLiteral("14:05-13:05"));

    r.CNT_AddNgTimes(-60000);
    QCOMPARE(r.statisticsRecord.total_stop_alarm_timelen, 0);
    QVERIFY(r.ngDurations.isEmpty());
}

void TestCntRecords::manualStopLoader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("timelen");
    QTest::addColumn<QString>("reason");

    QJsonObject noOperator = manualStopJson();
    noOperator.remove("operator_id");
    QJsonObject wrongKind = manualStopJson();
    wrongKind["timeout_time"] = "3";
    QTest::newRow("complete") << text(manualStopJson()) << true << true << 12 << "mould change";
    QTest::newRow("member missing: removed, earlier ones kept") << text(noOperator) << false << false << 12 << "--";
    QTest::newRow("member of another kind counts as missing") << text(wrongKind) << false << false << 12 << "--";
    QTest::newRow("not JSON: kept, defaults") << QByteArray("{\"utc\": 5,") << true << true << 0 << "--";
    QTest::newRow("text ends at a NUL") << text(manualStopJson()) + QByteArray("\0garbage", 8) << true << true
                                        << 12 << "mould change";
}

void TestCntRecords::manualStopLoader()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, kept);
    QFETCH(bool, valid);
    QFETCH(int, timelen);
    QFETCH(QString, reason);
    env_->writeFile(kManualStopFile, file);
    RelayRecords r;
    r.InitManualStop();
    QCOMPARE(QFile::exists(env_->path(kManualStopFile)), kept);
    QCOMPARE(r.manualStopRecord.valid, valid);
    QCOMPARE(r.manualStopRecord.stop_check_timelen, timelen);
    QCOMPARE(r.manualStopRecord.stop_check_reason, reason);
}

// Two alarms on area 3 of detection 1 of camera 0: one camera "1", one
// detection with time 2, one area numbered 4 counted twice.
void TestCntRecords::ngAreasAreCountedPerArea()
{
    RelayRecords r;
    r.ChkandAddStaticticsItem(0, 1, 3);
    r.ChkandAddStaticticsItem(0, 1, 3);
    const QJsonArray cameras = parse(r.CNT_SendStatistics("null", inputs(kMorning), true))["camera"]["ng"].toArray();
    QCOMPARE(cameras.size(), 1);
    QCOMPARE(cameras[0]["camera_id"].toString(), QStringLiteral("1"));
    const QJsonArray detects = cameras[0]["ng_monitors"].toArray();
    QCOMPARE(detects.size(), 1);
    QCOMPARE(detects[0]["time"].toInt(), 2);
    const QJsonArray areas = detects[0]["alarm"].toArray();
    QCOMPARE(areas.size(), 1);
    QCOMPARE(areas[0]["alarm_area_num"].toInt(), 4);
    QCOMPARE(areas[0]["alarm_algorithm_type"].toString(), QStringLiteral("----"));
    QCOMPARE(areas[0]["alarm_result"].toInt(), 2);
}

void TestCntRecords::outOfRangeAreasAreNotCounted()
{
    RelayRecords r;
    r.ChkandAddStaticticsItem(8, 0, 0);
    r.ChkandAddStaticticsItem(-1, 0, 0);
    r.ChkandAddStaticticsItem(0, 8, 0);
    r.ChkandAddStaticticsItem(0, 0, 50);
    QVERIFY(r.statisticsRecord.cameras.isEmpty());
    QVERIFY(!r.CNT_SendStatistics("null", inputs(kMorning), true).isEmpty());
}

void TestCntRecords::statisticsFigures_data()
{
    QTest::addColumn<int>("numCamera");
    QTest::addColumn<QList<int>>("all");
    QTest::addColumn<QList<int>>("fail");
    QTest::addColumn<int>("watch");
    QTest::addColumn<int>("ng");
    QTest::addColumn<int>("rate");
    QTest::addColumn<qint64>("realProduce");
    QTest::addColumn<int>("okRate");       // of camera 0's detections
    QTest::addColumn<int>("notOkRate");

    QTest::newRow("one camera 200/5") << 1 << QList<int>{200} << QList<int>{5} << 200 << 5 << 250
                                      << qint64(195 * 4) << 9750 << 250;
    QTest::newRow("maxima over two cameras") << 2 << QList<int>{200, 150} << QList<int>{5, 9} << 200 << 9 << 450
                                             << qint64(191 * 4) << 9750 << 250;
    QTest::newRow("counters beyond 32-bit products") << 1 << QList<int>{300000} << QList<int>{250000} << 300000
                                                     << 250000 << 8333 << qint64(50000 * 4) << 1666 << 8333;
    QTest::newRow("nothing counted yet") << 1 << QList<int>{0} << QList<int>{0} << 0 << 0 << 0 << qint64(0) << 0 << 0;
    QTest::newRow("camera beyond those in use ignored") << 1 << QList<int>{10, 900} << QList<int>{1, 900} << 10 << 1
                                                        << 1000 << qint64(9 * 4) << 9000 << 1000;
}

// The totals are maxima over the cameras in use; every detection carries
// its own camera's counters.
void TestCntRecords::statisticsFigures()
{
    QFETCH(int, numCamera);
    QFETCH(QList<int>, all);
    QFETCH(QList<int>, fail);
    RecordInputs in = inputs(kMorning);
    in.numCamera = numCamera;
    in.cycleTime = 35;
    for (int c = 0; c < all.size(); ++c) {
        in.allNum[c] = all[c];
        in.failNum[c] = fail[c];
    }
    RelayRecords r;
    r.ChkandAddStaticticsItem(0, 0, 0);
    r.ChkandAddStaticticsItem(0, 5, 7);
    const QJsonObject o = parse(r.CNT_SendStatistics("null", in, true));
    QTEST(o["watch_count_total"].toInt(), "watch");
    QTEST(o["ng_count_total"].toInt(), "ng");
    QTEST(o["ng_notification_rate"].toInt(), "rate");
    QTEST(qint64(o["real_produce"].toDouble()), "realProduce");
    QCOMPARE(o["watch_circle"].toInt(), 3500);
    QCOMPARE(o["product_name"].toString(), QStringLiteral("cap"));
    QCOMPARE(o["product_serial"].toString(), QStringLiteral("12"));
    QCOMPARE(o["products_num"].toInt(), 5000);
    const QJsonArray detects = o["camera"]["ng"][0]["ng_monitors"].toArray();
    QCOMPARE(detects.size(), 2);
    for (const QJsonValue d : detects) {
        QCOMPARE(d["monitor_times"].toInt(), all[0]);
        QCOMPARE(d["ng_sum"].toInt(), fail[0]);
        QCOMPARE(d["not_ok_num"].toInt(), fail[0]);
        QCOMPARE(d["ok_num"].toInt(), all[0] - fail[0]);
        QCOMPARE(d["produce"].toInt(), 5000);
        QTEST(d["ok_rate"].toInt(), "okRate");
        QTEST(d["not_ok_rate"].toInt(), "notOkRate");
    }
}

// Stopped minutes from before a reset exceed the time watched since it.
void TestCntRecords::watchTotalNeverNegativeAfterReset()
{
    RelayRecords r;
    r.manualStopRecord.stop_check_timelen = 100;
    r.InitStatistics();
    env_->clock->advanceMs(60000);
    const QJsonObject o = parse(r.CNT_SendStatistics("null", inputs(env_->clock->now()), true));
    QCOMPARE(o["utc_watch_total"].toInt(), 0);

    r.manualStopRecord.stop_check_timelen = 1;
    const QJsonObject later = parse(r.CNT_SendStatistics("null", inputs(env_->clock->now().addSecs(300)), true));
    QCOMPARE(later["utc_watch_total"].toInt(), 5 * 60000);
}

// The list trims one per send above 100, and never holds more than 1000;
// sums and totals do not wrap at 32 bits, and the int fields saturate.
void TestCntRecords::durationsAreBoundedAndAveragedIn64Bits()
{
    RelayRecords r;
    for (int i = 1; i <= 101; ++i)
        r.CNT_AddNgTimes(i);
    QCOMPARE(r.ngDurations.size(), 101);
    r.CNT_SendStatistics("null", inputs(kMorning), true);
    QCOMPARE(r.ngDurations.size(), 100);
    QCOMPARE(r.ngDurations.first(), 2);

    for (int i = 0; i < 2000; ++i)
        r.CNT_AddNgTimes(2000000000);
    QCOMPARE(r.ngDurations.size(), RelayRecords::kMaxNgDurations);
    QCOMPARE(r.ngDurations.first(), 2000000000);
    QCOMPARE(r.statisticsRecord.total_stop_alarm_timelen, qint64(5151) + qint64(2000) * 2000000000);

    r.ChkandAddStaticticsItem(0, 0, 0);
    const QJsonObject camera = parse(r.CNT_SendStatistics("null", inputs(kMorning), true))["camera"]["ng"][0].toObject();
    QCOMPARE(camera["average_monitor_period"].toInt(), 2000000000);
    QCOMPARE(camera["now_monitor_period"].toInt(), 2000000000);
    QCOMPARE(camera["last_monitor_period"].toInt(), std::numeric_limits<int>::max());
    QCOMPARE(camera["disalarm_timeout_time"].toInt(), 1);
}

// A key outside 0..7 in the table stops the send: file deleted, figures
// reset; the bad entry goes, so the next send works again.
void TestCntRecords::keyOutOfRangeStopsTheSend()
{
    RelayRecords r;
    r.CNT_SendStatistics("null", inputs(kMorning), true);
    QVERIFY(QFile::exists(env_->path(kStatisticsFile)));
    r.ChkandAddStaticticsItem(1, 0, 0);
    r.statisticsRecord.cameras[1].detects[9].time = 10;
    r.statisticsRecord.total_stop_alarm_timelen = 77;
    QVERIFY(r.CNT_SendStatistics("null", inputs(kMorning), true).isEmpty());
    QVERIFY(!QFile::exists(env_->path(kStatisticsFile)));
    QCOMPARE(r.statisticsRecord.total_stop_alarm_timelen, 0);
    QCOMPARE(r.statisticsRecord.product_name, QStringLiteral("no set"));

    const QJsonArray cameras = parse(r.CNT_SendStatistics("null", inputs(kMorning), true))["camera"]["ng"].toArray();
    QCOMPARE(cameras.size(), 1);
    QCOMPARE(cameras[0]["ng_monitors"].toArray().size(), 1);
}

void TestCntRecords::statisticsLoader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("loaded");     // the file's figures were taken
    QTest::addColumn<QString>("table");   // "camera:detection:area=result ..." after the load

    const QJsonArray oneArea{detectJson(1, {areaJson(1, 2)})};
    QTest::newRow("complete") << text(statisticsJson({cameraJson("2", oneArea)})) << true << "1:0:0=2";
    QTest::newRow("camera_id 0, 9 and x skipped")
        << text(statisticsJson({cameraJson("0", oneArea), cameraJson("9", oneArea), cameraJson("x", oneArea),
                                cameraJson("8", oneArea)}))
        << true << "7:0:0=2";
    QTest::newRow("detection and area numbers out of range skipped")
        << text(statisticsJson({cameraJson("1", {detectJson(0, {areaJson(1, 1)}), detectJson(9, {areaJson(1, 1)}),
                                                 detectJson(3, {areaJson(0, 1), areaJson(51, 1), areaJson(50, 4)})})}))
        << true << "0:2:49=4";
    QJsonObject noPeriod = cameraJson("3", oneArea);
    noPeriod.remove("now_monitor_period");
    QTest::newRow("camera lacking a member ends the camera loop")
        << text(statisticsJson({cameraJson("1", oneArea), noPeriod, cameraJson("2", oneArea)})) << true << "0:0:0=2";
    QJsonObject noResult = areaJson(2, 1);
    noResult.remove("alarm_result");
    QTest::newRow("area lacking a member ends the area loop")
        << text(statisticsJson({cameraJson("1", {detectJson(1, {areaJson(1, 5), noResult, areaJson(3, 1)})})}))
        << true << "0:0:0=5";
    QJsonObject noCamera = statisticsJson({});
    noCamera.remove("camera");
    QTest::newRow("no camera member") << text(noCamera) << true << "";
    QTest::newRow("not JSON") << QByteArray("{\"product_name\": \"lid\"") << false << "";

    // 2 cameras x 8 detections x 12 areas: well beyond the old 8 KiB limit.
    QJsonArray big;
    for (int c = 1; c <= 2; ++c) {
        QJsonArray detects;
        for (int d = 1; d <= 8; ++d) {
            QJsonArray areas;
            for (int a = 1; a <= 12; ++a)
                areas.append(areaJson(a, a));
            detects.append(detectJson(d, areas));
        }
        big.append(cameraJson(QString::number(c), detects));
    }
    const QByteArray bigFile = text(statisticsJson(big));
    if (bigFile.size() < 20 * 1024)
        qFatal("fixture too small");
    QTest::newRow("20 KiB loads") << bigFile << true << "count 192";
    QByteArray huge = text(statisticsJson({cameraJson("2", oneArea)}));
    huge.append(QByteArray(2 * 1024 * 1024 - huge.size(), ' '));
    QTest::newRow("2 MiB refused") << huge << false << "";
}

void TestCntRecords::statisticsLoader()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QFETCH(QString, table);
    env_->writeFile(kStatisticsFile, file);
    RelayRecords r;
    r.InitStatistics();
    // Every row leaves the file in place: nothing at the top level is missing.
    QCOMPARE(env_->readFile(kStatisticsFile), file);
    QCOMPARE(r.statisticsRecord.valid, true);
    QCOMPARE(r.statisticsRecord.product_name, loaded ? QStringLiteral("lid") : QStringLiteral("no set"));
    QCOMPARE(r.statisticsRecord.total_stop_alarm_timelen, loaded ? 5000 : 0);

    QStringList got;
    int areas = 0;
    for (auto c = r.statisticsRecord.cameras.cbegin(); c != r.statisticsRecord.cameras.cend(); ++c)
        for (auto d = c->detects.cbegin(); d != c->detects.cend(); ++d)
            for (auto a = d->alarms.cbegin(); a != d->alarms.cend(); ++a) {
                ++areas;
                got << QStringLiteral("%1:%2:%3=%4").arg(c.key()).arg(d.key()).arg(a.key()).arg(a->alarm_result);
                QCOMPARE(c->camera_id.toInt(), c.key() + 1);
                QCOMPARE(d->time, d.key() + 1);
                QCOMPARE(a->alarm_area_num, a.key() + 1);
            }
    if (table.startsWith("count "))
        QCOMPARE(areas, table.mid(6).toInt());
    else
        QCOMPARE(got.join(' '), table);
}

// A file without watch_circle is deleted, but the members before it count.
void TestCntRecords::missingMemberDeletesTheFileKeepsWhatWasRead()
{
    QJsonObject o = statisticsJson({cameraJson("1", {detectJson(1, {areaJson(1, 1)})})});
    o.remove("watch_circle");
    env_->writeFile(kStatisticsFile, text(o));
    RelayRecords r;
    r.InitStatistics();
    QVERIFY(!QFile::exists(env_->path(kStatisticsFile)));
    QVERIFY(!r.statisticsRecord.valid);
    QCOMPARE(r.statisticsRecord.product_name, QStringLiteral("lid"));
    QCOMPARE(r.statisticsRecord.ng_notification_rate, 1000);
    QCOMPARE(r.statisticsRecord.start_utc, 1767225600000);
    QVERIFY(r.statisticsRecord.cameras.isEmpty());
}

// A reset reloads the figures but keeps what the file may not have.
void TestCntRecords::loadKeepsCameraTableAndCycleFigures()
{
    RelayRecords r;
    r.ChkandAddStaticticsItem(4, 0, 0);
    r.statisticsRecord.real_produce = 11;
    r.statisticsRecord.watch_circle = 22;
    r.statisticsRecord.watch_count_total = 33;
    r.InitStatistics();
    QCOMPARE(r.statisticsRecord.cameras.keys(), QList<int>{4});
    QCOMPARE(r.statisticsRecord.real_produce, 11);
    QCOMPARE(r.statisticsRecord.watch_circle, 22);
    QCOMPARE(r.statisticsRecord.watch_count_total, 0);
    QCOMPARE(r.statisticsRecord.start_utc, kMorning.toMSecsSinceEpoch());
}

// What one run sends, the next run reads back and sends unchanged.
void TestCntRecords::sentStatisticsReadBackUnchanged()
{
    RecordInputs in = inputs(kMorning);
    in.productName = QString::fromUtf8("瓶盖");
    in.numCamera = 2;
    in.allNum = {300000, 20};
    in.failNum = {250000, 3};
    QByteArray first;
    {
        RelayRecords r;
        r.statisticsRecord.start_utc = kMorning.addDays(-3).toMSecsSinceEpoch();
        for (int a : {0, 0, 49, 17})
            r.ChkandAddStaticticsItem(1, 7, a);
        r.ChkandAddStaticticsItem(0, 2, 3);
        r.CNT_AddNgTimes(3000);
        first = r.CNT_SendStatistics("./RECORD/fail/1.jpg", in, true);
    }
    RelayRecords again;
    again.InitStatistics();
    again.CNT_AddNgTimes(3000);
    again.statisticsRecord.total_stop_alarm_timelen -= 3000;
    QCOMPARE(again.CNT_SendStatistics("./RECORD/fail/1.jpg", in, true), first);
    QVERIFY(first.contains("\xe7\x93\xb6\xe7\x9b\x96"));
}

// A switched-off type: no body, no record change, no file.
void TestCntRecords::switchedOffChangesNothing()
{
    RelayRecords r;
    r.ChkandAddStaticticsItem(0, 0, 0);
    r.CNT_AddNgTimes(5);
    r.CNT_AddNgTimes(7);
    r.manualStopRecord.stop_check_timeslot = QStringLiteral("13:00---:--");
    const CNT_Path_Statistics stats = r.statisticsRecord;
    const QList<int> durations = r.ngDurations;
    RecordInputs in = inputs(kMorning.addSecs(600));
    in.allNum[0] = 50;
    QVERIFY(r.CNT_SendStatistics("null", in, false).isEmpty());
    QVERIFY(r.CNT_SendManualStop(in, false).isEmpty());
    QCOMPARE(r.ngDurations, durations);
    QCOMPARE(r.statisticsRecord.watch_count_total, stats.watch_count_total);
    QCOMPARE(r.statisticsRecord.utc_watch_total, stats.utc_watch_total);
    QCOMPARE(r.statisticsRecord.product_name, stats.product_name);
    QCOMPARE(r.statisticsRecord.cameras[0].disalarm_timeout_time, 0);
    QCOMPARE(r.manualStopRecord.stop_check_timeslot, QStringLiteral("13:00---:--"));
    QCOMPARE(r.manualStopRecord.operator_id, QStringLiteral("--"));
    QVERIFY(!QFile::exists(env_->path(kStatisticsFile)));
    QVERIFY(!QFile::exists(env_->path(kManualStopFile)));
}

void TestCntRecords::readOnlyFolderKeepsOldFileAndStillSends()
{
    env_->writeFile(kStatisticsFile, "old statistics");
    env_->writeFile(kManualStopFile, "old stop");
    RelayRecords r;
    QByteArray stats, stop;
    {
        ReadOnlyFolder folder(env_->path("cnt_net/data"));
        if (!folder.ok())
            QSKIP("cannot make the folder read-only here");
        stats = r.CNT_SendStatistics("null", inputs(kMorning), true);
        stop = r.CNT_SendManualStop(inputs(kMorning, RunStateStopped), true);
    }
    QVERIFY(parse(stats).contains("camera"));
    QVERIFY(parse(stop).contains("stop_check_reason"));
    QCOMPARE(env_->readFile(kStatisticsFile), QByteArray("old statistics"));
    QCOMPARE(env_->readFile(kManualStopFile), QByteArray("old stop"));
    QCOMPARE(QDir(env_->path("cnt_net/data")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestCntRecords::captureCopiesTheProgramState()
{
    FakeRelayHost host;
    host.state = RunStateStopped;
    host.cycle = 42;
    host.cameras = 12;
    WizardPara para;
    WizardPara::SetText(para.productName, QString::fromUtf8("瓶盖"));
    WizardPara::SetText(para.operatorName, QByteArray("Zh\xff"));
    para.productSerial = 3;
    para.productNum = 400;
    para.productMoldCavity = 8;
    gAllNum[7] = 70;
    gFailNum[7] = 7;
    const RecordInputs in = RecordInputs::Capture(host, para, "host-1");
    gAllNum[7] = 0;
    gFailNum[7] = 0;
    QCOMPARE(in.deviceId, QStringLiteral("host-1"));
    QCOMPARE(in.now, kMorning);
    QCOMPARE(in.runState, int(RunStateStopped));
    QCOMPARE(in.cycleTime, 42);
    QCOMPARE(in.numCamera, 8);
    QCOMPARE(in.allNum[7], 70);
    QCOMPARE(in.failNum[7], 7);
    QCOMPARE(in.productName, QString::fromUtf8("瓶盖"));
    QCOMPARE(in.operatorName, QString::fromUtf8("Zh\xef\xbf\xbd"));
    QCOMPARE(in.productSerial, 3);
    QCOMPARE(in.productNum, 400);
    QCOMPARE(in.productMoldCavity, 8);
}

QTEST_GUILESS_MAIN(TestCntRecords)
#include "tst_cntrecords.moc"
