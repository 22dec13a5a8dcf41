// The bodies of the relay messages, built from fixtures: golden bytes written
// by hand, the area shapes, the parameter message's members, the detection
// results and the release method.
#include "cammersingleton.h"
#include "cntcatalogue.h"
#include "fakerelayhost.h"
#include "testenv.h"
#include "utf8text.h"
#include "wizardpara.h"

#include <QSet>
#include <QTimeZone>
#include <QtTest>

#include <cjson/cJSON.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(param_roi)

namespace {

const QString kHost = QStringLiteral("panel-07");
// 2025-12-11 05:48:29.876 UTC: a 13-digit time.
constexpr qint64 kNowMs = 1765432109876;

void setNow(TestEnv& env) { env.clock->set(QDateTime::fromMSecsSinceEpoch(kNowMs, QTimeZone::utc())); }

struct JsonDeleter {
    void operator()(cJSON* j) const { cJSON_Delete(j); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

Json parse(const QByteArray& body)
{
    Json j(cJSON_ParseWithLength(body.constData(), size_t(body.size())));
    if (!j)
        qWarning("not JSON: %s", body.constData());
    return j;
}

// A member's value as the tests write it: numbers bare, texts quoted,
// arrays and objects by their size.
QString scalar(const cJSON* v)
{
    if (cJSON_IsNumber(v))
        return QString::number(qint64(v->valuedouble));
    if (cJSON_IsString(v))
        return QLatin1Char('"') + QString::fromUtf8(v->valuestring) + QLatin1Char('"');
    if (cJSON_IsArray(v))
        return QStringLiteral("[%1]").arg(cJSON_GetArraySize(v));
    if (cJSON_IsObject(v))
        return QStringLiteral("{%1}").arg(cJSON_GetArraySize(v));
    return QStringLiteral("?");
}

// "key=value" for every member of object, in order.
QStringList members(const cJSON* object)
{
    QStringList out;
    const cJSON* m = nullptr;
    cJSON_ArrayForEach(m, object) out << QString::fromUtf8(m->string) + QLatin1Char('=') + scalar(m);
    return out;
}

QStringList keys(const cJSON* object)
{
    QStringList out;
    const cJSON* m = nullptr;
    cJSON_ArrayForEach(m, object) out << QString::fromUtf8(m->string);
    return out;
}

QString member(const cJSON* object, const char* key)
{
    return scalar(cJSON_GetObjectItemCaseSensitive(object, key));
}

// The record, counters and serials a body reads, each number distinct so
// that a member copying the wrong field shows.
struct Inputs {
    std::unique_ptr<WizardPara> para = std::make_unique<WizardPara>();
    int allNum[kCameraSlots] = {};
    int failNum[kCameraSlots] = {};
    char serials[kCameraSlots][kParamTextLen] = {};
    int language = 2;

    Inputs()
    {
        // Every 32-bit word of the record gets its own value; the text
        // fields are then set over their words.
        std::vector<int> words(sizeof(WizardPara) / sizeof(int));
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = int(1000 + i);
        std::memcpy(static_cast<void*>(para.get()), words.data(), words.size() * sizeof(int));
        for (char (*f)[kParamTextLen] : {&para->password, &para->netCardName, &para->techName, &para->techPhone,
                                         &para->productName, &para->operatorName})
            WizardPara::SetText(*f, QByteArray());
        WizardPara::SetText(para->password, QByteArray("pw&1"));
        const int ip[4] = {192, 168, 1, 20}, mask[4] = {255, 255, 255, 0}, gw[4] = {192, 168, 1, 1};
        std::memcpy(para->ipAddress, ip, sizeof ip);
        std::memcpy(para->netMask, mask, sizeof mask);
        std::memcpy(para->gateway, gw, sizeof gw);
        for (int c = 0; c < kCameraSlots; ++c) {
            allNum[c] = 500 + c;
            failNum[c] = 50 + c;
            std::snprintf(serials[c], kParamTextLen, "SN-%d", c);
        }
    }
    CatalogueInputs inputs() const
    {
        CatalogueInputs in;
        in.para = para.get();
        in.language = language;
        in.allNum = allNum;
        in.failNum = failNum;
        in.serials = serials;
        return in;
    }
};

param_roi result(int camera, int detect, int roi, int type = 0, int value = 0, int min = 0, int max = 0, int ok = 1)
{
    param_roi r;
    r.cameraId = camera;
    r.detectId = detect;
    r.roiId = roi;
    r.algorithmType = type;
    r.algorithmResult = value;
    r.algorithmPremin = min;
    r.algorithmPremax = max;
    r.stageOk = ok;
    return r;
}

// The detection results in compact form: per camera object
// "c<camera_id> ng<device_ng> all<device_all>" and per detect entry
// " d<detect_id>:<roi ids>".  A camera_id that is not a number shows as such.
QString summary(const cJSON* array)
{
    QStringList cameras;
    const cJSON* camera = nullptr;
    cJSON_ArrayForEach(camera, array)
    {
        QString s = QStringLiteral("c%1 ng%2 all%3")
                        .arg(member(camera, "camera_id"), member(camera, "device_ng"), member(camera, "device_all"));
        const cJSON* detect = nullptr;
        cJSON_ArrayForEach(detect, cJSON_GetObjectItemCaseSensitive(camera, "detect_array"))
        {
            QStringList rois;
            const cJSON* roi = nullptr;
            cJSON_ArrayForEach(roi, cJSON_GetObjectItemCaseSensitive(detect, "roi_array")) rois
                << member(roi, "roi_id");
            s += QStringLiteral(" d%1:%2").arg(member(detect, "detect_id"), rois.join(QLatin1Char(',')));
        }
        cameras << s;
    }
    return cameras.join(QStringLiteral(" | "));
}

}  // namespace

class TestCntCatalogue : public QObject {
    Q_OBJECT
private slots:
    void goldenBytes_data();
    void goldenBytes();
    void jsonNumbers_data();
    void jsonNumbers();
    void areaShapes_data();
    void areaShapes();
    void areaMessageFrame();
    void paramKeyOrder();
    void paramCopySlips_data();
    void paramCopySlips();
    void paramMembersReadDistinctSources();
    void paramCameras();
    void detectionResults_data();
    void detectionResults();
    void detectionHeader_data();
    void detectionHeader();
    void releaseMethod_data();
    void releaseMethod();
    void storedTexts_data();
    void storedTexts();
};

// Bodies compared byte for byte with texts written by hand.
void TestCntCatalogue::goldenBytes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");
    TestEnv env;
    setNow(env);

    // 09:30 in UTC+8 is 00:30 UTC.
    const QDateTime at(QDate(2026, 3, 1), QTime(8, 30), QTimeZone(8 * 3600));
    QTest::newRow("type 1, é and 中 in UTF-8")
        << cnt::RecordBody(kHost, at, QStringLiteral("Advanced"), QStringLiteral("mould é 中"))
        << QByteArray("device_id=panel-07&operater=Advanced&utc=1772325000000&description=mould \xc3\xa9 \xe4\xb8\xad");
    QTest::newRow("type 1, & = and %1 unescaped")
        << cnt::RecordBody(kHost, at, QStringLiteral("Primary"), QStringLiteral("a&b=c %1"))
        << QByteArray("device_id=panel-07&operater=Primary&utc=1772325000000&description=a&b=c %1");
    QTest::newRow("type 11")
        << cnt::DelTempPicBody(kHost, 2, 3, QStringLiteral("temp_0003.bmp"), QStringLiteral("张三"))
        << QByteArray("deviceId=panel-07&cameraId=2&detectId=3&template=temp_0003.bmp&utc=1765432109876"
                      "&operator=\xe5\xbc\xa0\xe4\xb8\x89");
    QTest::newRow("type 15, Chinese product")
        << cnt::SaveNgVideoBody(kHost, 1, QStringLiteral("外壳A"), 1)
        << QByteArray("device_id=panel-07&camera_id=1&product=外壳A&isng=1");
    {
        WizardPara para;
        WizardPara::SetText(para.techName, QStringLiteral("王工"));
        WizardPara::SetText(para.techPhone, QByteArray("138&0013=8000"));
        QTest::newRow("type 16, detection counted from 1")
            << cnt::TelInfoBody(kHost, 2, 7, para)
            << QByteArray("device_id=panel-07&check_id=3&product_count=7&worker_name=王工&mobile=138&0013=8000");
    }
    QTest::newRow("type 5, path as given")
        << cnt::PathBody(QStringLiteral("/opt/mm/RECORD/相机1/NG/100001.jpg"))
        << QByteArray("/opt/mm/RECORD/相机1/NG/100001.jpg");
    QTest::newRow("type 14/17, empty") << cnt::EmptyBody() << QByteArray();
    {
        FakeRelayHost host;
        host.cameras = 2;
        host.detect = 1;
        host.failImage[0][1] = FailImgNgHeld;
        host.failImage[1][1] = FailImgStampedRecheck;
        WizardPara para;
        WizardPara::SetText(para.operatorName, QStringLiteral("李四"));
        QTest::newRow("type 20, tab layout, 13-digit times")
            << cnt::CancleBody(kHost, 1765432100000, host, para)
            << QByteArray("{\n"
                          "\t\"device_id\":\t\"panel-07\",\n"
                          "\t\"bind_utc\":\t1765432100000,\n"
                          "\t\"utc\":\t1765432109876,\n"
                          "\t\"method\":\t\"\xe9\x87\x8d\xe6\xa3\x80\xe6\xa3\x80\xe6\xb5\x8b" "OK\",\n"
                          "\t\"product_operator\":\t\"\xe6\x9d\x8e\xe5\x9b\x9b\"\n"
                          "}");
    }
}

void TestCntCatalogue::goldenBytes()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(body, expected);
}

// cJSON prints with %1.15g: every 13-digit time must come out whole, and
// the text overload must write UTF-8.
void TestCntCatalogue::jsonNumbers_data()
{
    QTest::addColumn<long>("value");
    QTest::addColumn<QByteArray>("printed");
    QTest::newRow("smallest 13 digits") << 1000000000000L << QByteArray("1000000000000");
    QTest::newRow("a real time") << long(kNowMs) << QByteArray("1765432109876");
    QTest::newRow("largest 13 digits") << 9999999999999L << QByteArray("9999999999999");
    QTest::newRow("negative") << -1L << QByteArray("-1");
    QTest::newRow("beyond int") << 2147483648L << QByteArray("2147483648");
}

void TestCntCatalogue::jsonNumbers()
{
    QFETCH(long, value);
    QFETCH(QByteArray, printed);
    Json o(cJSON_CreateObject());
    ccJSON_AddItemToObject(o.get(), "n", value);
    ccJSON_AddItemToObject(o.get(), "t", QStringLiteral("é中"));
    char* text = cJSON_PrintUnformatted(o.get());
    const QByteArray out(text);
    cJSON_free(text);
    QCOMPARE(out, "{\"n\":" + printed + ",\"t\":\"\xc3\xa9\xe4\xb8\xad\"}");
}

namespace {
// Camera slot 2, detection 1: one area of each kind.
std::unique_ptr<CammerSingleton> shapeSet()
{
    auto set = std::make_unique<CammerSingleton>(2);
    const int d = 1;
    set->roiCount[d] = 5;
    for (int i = 0; i < 5; ++i) {
        set->roiMinSize[d][i] = 10 + i;
        set->roiSensibility[d][i] = 20 + i;
        set->roiMaxArea[d][i] = 30 + i;
        set->roiMethod[d][i] = AreaFuncSpot;
        set->roiOutput[i] = i % 3;
    }
    set->roiShape[d][0] = RoiShapeRect;
    set->roiRect[d][0].rect = QRect(QPoint(40, 60), QPoint(140, 260));
    set->roiShape[d][1] = RoiShapeCircle;
    set->roiCircle[d][1].cx = 300;
    set->roiCircle[d][1].cy = 200;
    set->roiCircle[d][1].r1 = 120;
    set->roiCircle[d][1].r2 = 80;
    set->roiShape[d][2] = RoiShapePolygon;
    set->roiShape[d][3] = RoiShapePolygon;
    set->roiPolygon[d][3].setPoints({{1, 2}, {30, 4}, {50, 60}, {7, 80}, {0, 9}});
    set->roiShape[d][4] = 3;   // not a shape code
    set->roiRect[d][4].rect = QRect(1, 1, 5, 5);
    return set;
}
}  // namespace

void TestCntCatalogue::areaShapes_data()
{
    QTest::addColumn<int>("area");
    QTest::addColumn<QStringList>("expected");
    const QStringList common = {QStringLiteral("min_size=%1"), QStringLiteral("sensibility=%2"),
                                QStringLiteral("max_area=%3"), QStringLiteral("algorithm=1"),
                                QStringLiteral("output_point=%4")};
    auto head = [&](int i) {
        QStringList h{QStringLiteral("roi_idx=%1").arg(i + 1)};
        h << common[0].arg(10 + i) << common[1].arg(20 + i) << common[2].arg(30 + i) << common[3]
          << common[4].arg(i % 3);
        return h;
    };
    QTest::newRow("rectangle: corners as stored")
        << 0
        << head(0) + QStringList{"roi_type=0", "top_point_count=2", "top_0_x=40", "top_0_y=60", "top_1_x=140",
                                 "top_1_y=260", "in_r=0", "out_r=0"};
    QTest::newRow("ring 120/80")
        << 1
        << head(1) + QStringList{"roi_type=1", "top_point_count=1", "top_0_x=300", "top_0_y=200", "in_r=80",
                                 "out_r=120"};
    QTest::newRow("polygon of 0 points")
        << 2 << head(2) + QStringList{"roi_type=2", "top_point_count=0", "in_r=0", "out_r=0"};
    QTest::newRow("polygon of 5 points")
        << 3
        << head(3) + QStringList{"roi_type=2", "top_point_count=5", "top_0_x=1",  "top_0_y=2", "top_1_x=30",
                                 "top_1_y=4",  "top_2_x=50",        "top_2_y=60", "top_3_x=7", "top_3_y=80",
                                 "top_4_x=0",  "top_4_y=9",         "in_r=0",     "out_r=0"};
    QTest::newRow("unknown shape") << 4 << head(4) + QStringList{"roi_type=-1", "top_point_count=0", "in_r=0", "out_r=0"};
}

void TestCntCatalogue::areaShapes()
{
    QFETCH(int, area);
    QFETCH(QStringList, expected);
    const auto set = shapeSet();
    const Json body = parse(cnt::RoiParamBody(kHost, *set, 1));
    QVERIFY(body);
    const cJSON* roi = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(body.get(), "roi"), area);
    QVERIFY(roi);
    QCOMPARE(members(roi), expected);
}

// The message around the areas; a detection without areas; a slot without
// a saved set sends nothing.
void TestCntCatalogue::areaMessageFrame()
{
    const auto set = shapeSet();
    const Json full = parse(cnt::RoiParamBody(kHost, *set, 1));
    QVERIFY(full);
    QCOMPARE(members(full.get()), (QStringList{"device_id=\"panel-07\"", "camera_id=\"3\"", "detect=2", "count=5",
                                               "roi=[5]"}));
    const Json empty = parse(cnt::RoiParamBody(kHost, *set, 0));
    QVERIFY(empty);
    QCOMPARE(members(empty.get()), (QStringList{"device_id=\"panel-07\"", "camera_id=\"3\"", "detect=1", "count=0",
                                                "roi=[0]"}));

    FakeRelayHost host;
    host.sets[2] = set.get();
    QCOMPARE(cnt::RoiParamBody(kHost, host, 2, 1), cnt::RoiParamBody(kHost, *set, 1));
    QVERIFY(cnt::RoiParamBody(kHost, host, 3, 1).isEmpty());
    QVERIFY(cnt::RoiParamBody(kHost, *set, kDetections).isEmpty());
}

// The members in the relay's order, then the camera array.
void TestCntCatalogue::paramKeyOrder()
{
    const QStringList expected = {
        "device_id", "finished_product_detect", "cavity_detect", "neutron_detect", "fourth_detect", "is_psw_used",
        "password", "semi_auto", "enabe_one_test", "enabe_two_test", "enable_correct", "enable_stop_mold",
        "front_mold_timelen", "front_auto_check_time", "ok_record_max_num", "enable_watch_dog", "mold_cutoff",
        "max_mold_num", "enable_stop_check", "ng_max_num", "thimble_pulse", "mold_pulse", "enable_stop_not_alarm",
        "is_cut_ontime", "is_cut_ontime_thimble", "enable_cutoff_ontime", "enable_pass_protect", "language",
        "enable_mold_backup", "location_adge", "location_level", "capture_speed", "input_timeout_len",
        "enable_output_thimble_pulse", "enable_disarm_before_open", "difference_multiplier", "enable_defect_detect",
        "enable_spot_detect", "enable_ignore_area", "enable_manual_edit", "enable_display_detail",
        "auto_cancel_timelen", "enable_one_not_mold", "enable_trigger_safety", "enable_network", "local_addr_1",
        "local_addr_2", "local_addr_3", "local_addr_4", "mask_1", "mask_2", "mask_3", "mask_4", "gateway_1",
        "gateway_2", "gateway_3", "gateway_4", "minimum_size", "minimum_area", "serial_port",
        "enable_color_camera", "enable_gray_channel", "snap_shot", "min_spot", "factory_param", "report_alarm",
        "prohibit_optimize", "camera"};
    Inputs fixture;
    const Json body = parse(cnt::ParamBody(kHost, fixture.inputs()));
    QVERIFY(body);
    QCOMPARE(keys(body.get()), expected);

    // Texts where the relay reads texts, numbers everywhere else.
    const QSet<QString> texts = {"device_id", "password", "local_addr_1", "local_addr_2", "local_addr_3",
                                 "local_addr_4", "mask_1", "mask_2", "mask_3", "mask_4", "gateway_1",
                                 "gateway_2", "gateway_3", "gateway_4"};
    const cJSON* m = nullptr;
    cJSON_ArrayForEach(m, body.get())
    {
        const QString key = QString::fromUtf8(m->string);
        if (key == QLatin1String("camera"))
            QVERIFY(cJSON_IsArray(m));
        else if (texts.contains(key))
            QVERIFY2(cJSON_IsString(m), qPrintable(key));
        else
            QVERIFY2(cJSON_IsNumber(m), qPrintable(key));
    }
}

// Members that repeat a field or carry a fixed value, as the relay has
// always had them.
void TestCntCatalogue::paramCopySlips_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("value");
    Inputs f;
    const auto n = [](int v) { return QString::number(v); };
    QTest::newRow("enable_stop_check") << "enable_stop_check" << "minSpot" << n(f.para->minSpot);
    QTest::newRow("min_spot") << "min_spot" << "minSpot" << n(f.para->minSpot);
    QTest::newRow("location_level") << "location_level" << "screenOffSeconds" << n(f.para->screenOffSeconds);
    QTest::newRow("enable_watch_dog") << "enable_watch_dog" << "1" << "1";
    QTest::newRow("report_alarm") << "report_alarm" << "outputInvert[2]" << n(f.para->outputInvert[2]);
    QTest::newRow("language") << "language" << "gLan" << "2";
    QTest::newRow("password as stored") << "password" << "password" << "\"pw&1\"";
    QTest::newRow("local_addr_1") << "local_addr_1" << "ipAddress as a.b.c.d" << "\"192.168.1.20\"";
    QTest::newRow("mask_1") << "mask_1" << "netMask as a.b.c.d" << "\"255.255.255.0\"";
    QTest::newRow("gateway_1") << "gateway_1" << "gateway as a.b.c.d" << "\"192.168.1.1\"";
    for (const char* k : {"local_addr_2", "local_addr_3", "local_addr_4", "mask_2", "mask_3", "mask_4", "gateway_2",
                          "gateway_3", "gateway_4"})
        QTest::newRow(k) << k << "0.0.0.0" << "\"0.0.0.0\"";
    QTest::newRow("enable_network") << "enable_network" << "networkEnabled" << n(f.para->networkEnabled);
    QTest::newRow("fourth_detect") << "fourth_detect" << "detectDelay[3]" << n(f.para->detectDelay[3]);
    QTest::newRow("enabe_one_test") << "enabe_one_test" << "detectEnabled[0]" << n(f.para->detectEnabled[0]);
}

void TestCntCatalogue::paramCopySlips()
{
    QFETCH(QString, key);
    QFETCH(QString, source);
    QFETCH(QString, value);
    const auto& table = cnt::ParamKeys();
    const auto row = std::find_if(table.begin(), table.end(), [&](const cnt::ParamKey& k) { return key == k.key; });
    QVERIFY(row != table.end());
    QCOMPARE(QString::fromUtf8(row->source), source);
    Inputs fixture;
    const Json body = parse(cnt::ParamBody(kHost, fixture.inputs()));
    QVERIFY(body);
    QCOMPARE(member(body.get(), key.toUtf8().constData()), value);
}

// With every field of the record distinct, two members share a value only
// where the relay expects the same field twice.
void TestCntCatalogue::paramMembersReadDistinctSources()
{
    Inputs fixture;
    const Json body = parse(cnt::ParamBody(kHost, fixture.inputs()));
    QVERIFY(body);
    std::map<QString, QStringList> byValue;
    const cJSON* m = nullptr;
    cJSON_ArrayForEach(m, body.get())
    {
        // The fixed values and the language are not record fields.
        const QString key = QString::fromUtf8(m->string);
        if (cJSON_IsNumber(m) && key != QLatin1String("enable_watch_dog") && key != QLatin1String("language"))
            byValue[scalar(m)] << key;
    }
    QStringList shared;
    for (const auto& [value, ks] : byValue) {
        if (ks.size() > 1)
            shared << ks.join(QLatin1Char('+'));
    }
    QCOMPARE(shared, QStringList{QStringLiteral("enable_stop_check+min_spot")});
}

// Eight camera objects even with one camera in use, each from its slot.
void TestCntCatalogue::paramCameras()
{
    Inputs fixture;
    FakeRelayHost host;
    host.cameras = 1;
    const Json body = parse(cnt::ParamBody(kHost, fixture.inputs()));
    QVERIFY(body);
    const cJSON* cameras = cJSON_GetObjectItemCaseSensitive(body.get(), "camera");
    QCOMPARE(cJSON_GetArraySize(cameras), kCameraSlots);
    const WizardPara& p = *fixture.para;
    for (int c = 0; c < kCameraSlots; ++c) {
        const QStringList expected = {
            QStringLiteral("camera_id=\"%1\"").arg(c + 1),
            QStringLiteral("expose_time=%1").arg(p.exposure[c]),
            QStringLiteral("adjust_plus=%1").arg(p.gain[c]),
            QStringLiteral("num_fail_detect=%1").arg(50 + c),
            QStringLiteral("num_all_detect=%1").arg(500 + c),
            QStringLiteral("sharp=%1").arg(p.sharpness[c]),
            QStringLiteral("contrast=%1").arg(p.contrast[c]),
            QStringLiteral("camera_serial=\"SN-%1\"").arg(c),
        };
        QCOMPARE(members(cJSON_GetArrayItem(cameras, c)), expected);
    }
}

void TestCntCatalogue::detectionResults_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<QList<param_roi>>("list");
    QTest::addColumn<QString>("expected");
    QTest::newRow("grouped by camera and detection, in list order")
        << 2
        << QList<param_roi>{result(1, 1, 2), result(0, 0, 0), result(1, 1, 4), result(0, 3, 1), result(0, 0, 9)}
        << "c2 ng51 all501 d2:3,5 | c1 ng50 all500 d1:1,10 d4:2";
    QTest::newRow("cameras out of range skipped")
        << 2 << QList<param_roi>{result(-1, 0, 0), result(2, 0, 0), result(7, 0, 0), result(0, 4, 0)}
        << "c1 ng50 all500 d5:1";
    QTest::newRow("detections 5 and up give only the camera")
        << 1 << QList<param_roi>{result(0, 5, 0), result(0, 7, 3), result(0, -1, 0)} << "c1 ng50 all500";
    QTest::newRow("no entries") << 2 << QList<param_roi>{} << "";
}

void TestCntCatalogue::detectionResults()
{
    QFETCH(int, cameras);
    QFETCH(QList<param_roi>, list);
    QFETCH(QString, expected);
    TestEnv env;
    setNow(env);
    Inputs fixture;
    FakeRelayHost host;
    host.cameras = cameras;
    const cnt::StatisticsOnce out = cnt::StatisticsOnceBody(kHost, host, fixture.inputs(), list, true, 1);
    const Json body = parse(out.body);
    QVERIFY(body);
    const cJSON* array = cJSON_GetObjectItemCaseSensitive(body.get(), "array");
    QCOMPARE(summary(array), expected);
    const cJSON* camera = nullptr;
    cJSON_ArrayForEach(camera, array) QVERIFY(cJSON_IsNumber(cJSON_GetObjectItemCaseSensitive(camera, "camera_id")));
}

void TestCntCatalogue::detectionHeader_data()
{
    QTest::addColumn<int>("runState");
    QTest::addColumn<int>("trigger");
    QTest::addColumn<bool>("ng");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("method");
    QTest::newRow("detecting, mould open") << int(RunStateDetecting) << 1 << true << "正在检测" << "开模到位";
    QTest::newRow("training, safety door") << int(RunStateTraining) << 2 << false << "模板训练中" << "安全门";
    QTest::newRow("stopped, ejector") << int(RunStateStopped) << 3 << false << "停止检测" << "顶针";
    QTest::newRow("product snapshot") << int(RunStateDetecting) << -1 << false << "正在检测" << "成品手动抓拍";
    QTest::newRow("cavity snapshot") << int(RunStateDetecting) << -2 << false << "正在检测" << "模腔手动抓拍";
    QTest::newRow("unknown values") << 0 << 4 << true << "" << "";
}

void TestCntCatalogue::detectionHeader()
{
    QFETCH(int, runState);
    QFETCH(int, trigger);
    QFETCH(bool, ng);
    QFETCH(QString, state);
    QFETCH(QString, method);
    TestEnv env;
    setNow(env);
    Inputs fixture;
    WizardPara::SetText(fixture.para->productName, QStringLiteral("注塑件"));
    WizardPara::SetText(fixture.para->operatorName, QStringLiteral("王五"));
    fixture.para->productSerial = 20251211;
    fixture.para->productNum = 3000;
    fixture.para->productMoldCavity = 4;
    FakeRelayHost host;
    host.run = runState;
    const QList<param_roi> list = {result(0, 2, 6, AreaFuncSpot, 77, 10, 90, 0)};
    const cnt::StatisticsOnce out = cnt::StatisticsOnceBody(kHost, host, fixture.inputs(), list, ng, trigger);
    QCOMPARE(out.utc, kNowMs);
    const Json body = parse(out.body);
    QVERIFY(body);
    QCOMPARE(members(body.get()),
             (QStringList{"device_id=\"panel-07\"", "utc=1765432109876", "state=\"" + state + "\"",
                          "detect_method=\"" + method + "\"", "product_name=\"注塑件\"",
                          "product_serial=\"20251211\"", "product_num=3000", "product_moldcavity=4",
                          "product_operator=\"王五\"", QStringLiteral("result=%1").arg(ng ? 1 : 0), "array=[1]"}));
    const cJSON* roi = cJSON_GetArrayItem(
        cJSON_GetObjectItemCaseSensitive(
            cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(
                                   cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(body.get(), "array"), 0),
                                   "detect_array"),
                               0),
            "roi_array"),
        0);
    QCOMPARE(members(roi), (QStringList{"roi_id=7", "algorithm_type=1", "algorithm_result=77", "algorithm_premin=10",
                                        "algorithm_premax=90", "is_alarm=0"}));
}

// The method comes from the detection the cycle is on and the first camera
// in use that holds a release state there, not from camera 0, detection 0.
void TestCntCatalogue::releaseMethod_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("cameras");
    QTest::addColumn<QList<int>>("states");   // per camera, at the current detection
    QTest::addColumn<QString>("method");
    QTest::newRow("skip") << 0 << 1 << QList<int>{FailImgClearedSkip} << "不检测此模解除";
    QTest::newRow("add as template, detection 2") << 2 << 1 << QList<int>{FailImgClearedAddTemp} << "添加为模板解除";
    QTest::newRow("switch, second camera")
        << 1 << 2 << QList<int>{FailImgNgHeld, FailImgClearedSwitch} << "重新检测切换到模腔检测";
    QTest::newRow("first holder wins")
        << 3 << 3 << QList<int>{FailImgOkReady, FailImgClearedRecheck, FailImgClearedSkip} << "进行重检检测";
    QTest::newRow("stamped re-check") << 7 << 1 << QList<int>{FailImgStampedRecheck} << "重检检测OK";
    QTest::newRow("none holds one") << 1 << 2 << QList<int>{FailImgNgHeld, FailImgQueueBoth} << "";
    QTest::newRow("camera not in use ignored") << 1 << 1 << QList<int>{FailImgIdle, FailImgClearedSkip} << "";
    QTest::newRow("queued states are not releases") << 1 << 1 << QList<int>{FailImgQueueNg} << "";
}

void TestCntCatalogue::releaseMethod()
{
    QFETCH(int, current);
    QFETCH(int, cameras);
    QFETCH(QList<int>, states);
    QFETCH(QString, method);
    TestEnv env;
    setNow(env);
    FakeRelayHost host;
    host.detect = current;
    host.cameras = cameras;
    for (int c = 0; c < states.size(); ++c)
        host.failImage[c][current] = states[c];
    // A stale state at camera 0, detection 0 must not be taken for it.
    if (current != 0)
        host.failImage[0][0] = FailImgClearedSkip;
    QCOMPARE(cnt::ReleaseMethod(host), method);
    WizardPara para;
    const Json body = parse(cnt::CancleBody(kHost, 1, host, para));
    QVERIFY(body);
    QCOMPARE(member(body.get(), "method"), "\"" + method + "\"");
}

// Stored texts go out as UTF-8 whatever bytes they hold: Chinese as it is,
// invalid bytes as U+FFFD, in every body that carries them.
void TestCntCatalogue::storedTexts_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("ASCII") << QByteArray("Zhang") << QByteArray("Zhang");
    QTest::newRow("Chinese") << QByteArray("\xe5\xbc\xa0\xe4\xb8\x89") << QByteArray("\xe5\xbc\xa0\xe4\xb8\x89");
    QTest::newRow("Latin-1 byte") << QByteArray("Jos\xe9") << QByteArray("Jos\xef\xbf\xbd");
    QTest::newRow("lone 0xff") << QByteArray("a\xff" "b") << QByteArray("a\xef\xbf\xbd" "b");
    // One replacement per byte, as for any other invalid byte.
    QTest::newRow("cut character") << QByteArray("x\xe4\xb8") << QByteArray("x\xef\xbf\xbd\xef\xbf\xbd");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QByteArray("\xef\xbf\xbd\xef\xbf\xbd");
}

void TestCntCatalogue::storedTexts()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, sent);
    TestEnv env;
    setNow(env);
    Inputs fixture;
    WizardPara& p = *fixture.para;
    // Written raw, as a damaged PARAM.db row would leave them.
    for (char (*f)[kParamTextLen] : {&p.operatorName, &p.productName, &p.techName, &p.password}) {
        std::memset(*f, 0, kParamTextLen);
        std::memcpy(*f, stored.constData(), size_t(stored.size()));
    }
    std::memset(fixture.serials[0], 0, kParamTextLen);
    std::memcpy(fixture.serials[0], stored.constData(), size_t(stored.size()));
    FakeRelayHost host;

    const QByteArray cancel = cnt::CancleBody(kHost, 1, host, p);
    const QByteArray once = cnt::StatisticsOnceBody(kHost, host, fixture.inputs(), {}, false, 1).body;
    const QByteArray param = cnt::ParamBody(kHost, fixture.inputs());
    const QByteArray tel = cnt::TelInfoBody(kHost, 0, 1, p);
    for (const QByteArray& body : {cancel, once, param, tel})
        QVERIFY(IsUtf8(body));
    const QByteArray quoted = "\"" + sent + "\"";
    QVERIFY(cancel.contains("\"product_operator\":\t" + quoted));
    QVERIFY(once.contains("\"product_name\":\t" + quoted));
    QVERIFY(once.contains("\"product_operator\":\t" + quoted));
    QVERIFY(param.contains("\"password\":\t" + quoted));
    QVERIFY(param.contains("\"camera_serial\":\t" + quoted));
    QVERIFY(tel.endsWith("&worker_name=" + sent + "&mobile="));
}

QTEST_GUILESS_MAIN(TestCntCatalogue)
#include "tst_cntcatalogue.moc"
