#include "cntcatalogue.h"

#include "cammersingleton.h"
#include "clock.h"
#include "cyclecounters.h"
#include "messages.h"
#include "relayhost.h"
#include "screenstates.h"
#include "wizardpara.h"

#include <cjson/cJSON.h>
#include <glog/logging.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

void ccJSON_AddItemToObject(cJSON* object, const char* name, const QString& value)
{
    cJSON_AddItemToObject(object, name, cJSON_CreateString(value.toUtf8().constData()));
}

void ccJSON_AddItemToObject(cJSON* object, const char* name, const long& value)
{
    // A double holds every integer the messages carry exactly (ms times
    // included); cJSON prints it back without a fraction.
    cJSON_AddItemToObject(object, name, cJSON_CreateNumber(static_cast<double>(value)));
}

QString StoredText(const char (&field)[kParamTextLen])
{
    // fromUtf8 replaces every invalid sequence with U+FFFD.
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, kParamTextLen)));
}

CatalogueInputs CatalogueInputs::live()
{
    static const WizardPara none;
    CatalogueInputs in;
    in.para = gpWPara ? gpWPara : &none;
    in.language = gLan;
    in.allNum = gAllNum;
    in.failNum = gFailNum;
    in.serials = gSerialNB;
    return in;
}

namespace cnt {
namespace {

struct JsonDeleter {
    void operator()(cJSON* j) const { cJSON_Delete(j); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

QByteArray Print(const Json& root)
{
    char* text = cJSON_Print(root.get());
    if (!text) {
        // Only when memory runs out; an empty body is still a message.
        LOG(ERROR) << "CNT: cannot print a message body";
        return {};
    }
    QByteArray bytes(text);
    cJSON_free(text);
    return bytes;
}

void Add(cJSON* object, const char* name, long value) { ccJSON_AddItemToObject(object, name, value); }
void Add(cJSON* object, const char* name, const QString& value) { ccJSON_AddItemToObject(object, name, value); }
void Add(cJSON* object, const char* name, const ParamValue& v)
{
    if (v.isText)
        Add(object, name, v.text);
    else
        Add(object, name, v.number);
}

cJSON* AddArray(cJSON* object, const char* name)
{
    cJSON* array = cJSON_CreateArray();
    cJSON_AddItemToObject(object, name, array);
    return array;
}

qint64 NowMs() { return appClock().now().toMSecsSinceEpoch(); }

ParamValue Num(long n)
{
    ParamValue v;
    v.number = n;
    return v;
}

ParamValue Txt(const QString& t)
{
    ParamValue v;
    v.isText = true;
    v.text = t;
    return v;
}

QString Dotted(const int (&quad)[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(quad[0]).arg(quad[1]).arg(quad[2]).arg(quad[3]);
}

using In = CatalogueInputs;

// The source text and the accessor come from the same tokens, so the table
// cannot name one field and copy another.
#define MM_FIELD(f) #f, [](const QString&, const In& in) { return Num(in.para->f); }
#define MM_ENTRY(f, i) #f "[" #i "]", [](const QString&, const In& in) { return Num(in.para->f[i]); }
#define MM_DOTTED(f) #f " as a.b.c.d", [](const QString&, const In& in) { return Txt(Dotted(in.para->f)); }
#define MM_NO_ADDRESS "0.0.0.0", [](const QString&, const In&) { return Txt(QStringLiteral("0.0.0.0")); }

}  // namespace

const std::vector<ParamKey>& ParamKeys()
{
    // The relay's names, misspellings and all.  Some members repeat a field
    // or carry a fixed value: the relay has always read them that way.
    static const std::vector<ParamKey> keys = {
        {"device_id", "device id", [](const QString& id, const In&) { return Txt(id); }},
        {"finished_product_detect", MM_ENTRY(detectDelay, 0)},
        {"cavity_detect", MM_ENTRY(detectDelay, 1)},
        {"neutron_detect", MM_ENTRY(detectDelay, 2)},
        {"fourth_detect", MM_ENTRY(detectDelay, 3)},
        {"is_psw_used", MM_FIELD(passwordEnabled)},
        // As stored: the link is loopback only.
        {"password", "password", [](const QString&, const In& in) { return Txt(StoredText(in.para->password)); }},
        {"semi_auto", MM_FIELD(semiAuto)},
        {"enabe_one_test", MM_ENTRY(detectEnabled, 0)},
        {"enabe_two_test", MM_FIELD(moldSameAsProduct)},
        {"enable_correct", MM_FIELD(motionCorrection)},
        {"enable_stop_mold", MM_FIELD(stopForbidsClamp)},
        {"front_mold_timelen", MM_FIELD(frontMoldTimeLen)},
        {"front_auto_check_time", MM_FIELD(moldRecheckCount)},
        {"ok_record_max_num", MM_FIELD(okImageKeep)},
        {"enable_watch_dog", "1", [](const QString&, const In&) { return Num(1); }},
        {"mold_cutoff", MM_FIELD(cutEjectorOnClamp)},
        {"max_mold_num", MM_FIELD(templateCount)},
        {"enable_stop_check", MM_FIELD(minSpot)},
        {"ng_max_num", MM_FIELD(ngImageKeep)},
        {"thimble_pulse", MM_FIELD(ejectorPulse)},
        {"mold_pulse", MM_FIELD(clampPulse)},
        {"enable_stop_not_alarm", MM_FIELD(productNgPulseNoAlarm)},
        {"is_cut_ontime", MM_FIELD(cutClampAfterMoldOk)},
        {"is_cut_ontime_thimble", MM_FIELD(cutEjectorAfterProductOk)},
        {"enable_cutoff_ontime", MM_FIELD(productNoEjectorControl)},
        {"enable_pass_protect", MM_FIELD(skipMoldPassword)},
        {"language", "gLan", [](const QString&, const In& in) { return Num(in.language); }},
        {"enable_mold_backup", MM_FIELD(reserveOutputRole)},
        {"location_adge", MM_FIELD(maxOffset)},
        {"location_level", MM_FIELD(screenOffSeconds)},
        {"capture_speed", MM_FIELD(captureSpeed)},
        {"input_timeout_len", MM_FIELD(inputTimeout)},
        {"enable_output_thimble_pulse", MM_FIELD(reserveInputRole)},
        {"enable_disarm_before_open", MM_FIELD(safetyDoorClearsAlarm)},
        {"difference_multiplier", MM_FIELD(differenceMultiplier)},
        {"enable_defect_detect", MM_FIELD(defectEnabled)},
        {"enable_spot_detect", MM_FIELD(spotEnabled)},
        {"enable_ignore_area", MM_FIELD(ignoreAreaEnabled)},
        {"enable_manual_edit", MM_FIELD(positionEnabled)},
        {"enable_display_detail", MM_FIELD(showAlgorithmDetails)},
        {"auto_cancel_timelen", MM_FIELD(autoLogoutSeconds)},
        {"enable_one_not_mold", MM_FIELD(oneNotMold)},
        {"enable_trigger_safety", MM_FIELD(safetyDoorTrigger)},
        {"enable_network", MM_FIELD(networkEnabled)},
        {"local_addr_1", MM_DOTTED(ipAddress)},
        {"local_addr_2", MM_NO_ADDRESS},
        {"local_addr_3", MM_NO_ADDRESS},
        {"local_addr_4", MM_NO_ADDRESS},
        {"mask_1", MM_DOTTED(netMask)},
        {"mask_2", MM_NO_ADDRESS},
        {"mask_3", MM_NO_ADDRESS},
        {"mask_4", MM_NO_ADDRESS},
        {"gateway_1", MM_DOTTED(gateway)},
        {"gateway_2", MM_NO_ADDRESS},
        {"gateway_3", MM_NO_ADDRESS},
        {"gateway_4", MM_NO_ADDRESS},
        {"minimum_size", MM_FIELD(minimumSize)},
        {"minimum_area", MM_FIELD(minimumArea)},
        {"serial_port", MM_FIELD(serialPort)},
        {"enable_color_camera", MM_FIELD(colorCamera)},
        {"enable_gray_channel", MM_FIELD(grayChannel)},
        {"snap_shot", MM_FIELD(showManualSnapshot)},
        {"min_spot", MM_FIELD(minSpot)},
        {"factory_param", MM_FIELD(showFactoryParams)},
        {"report_alarm", MM_ENTRY(outputInvert, 2)},
        {"prohibit_optimize", MM_FIELD(noLensOptimize)},
    };
    return keys;
}

#undef MM_FIELD
#undef MM_ENTRY
#undef MM_DOTTED
#undef MM_NO_ADDRESS

const std::vector<ParamCameraKey>& ParamCameraKeys()
{
    static const std::vector<ParamCameraKey> keys = {
        {"camera_id", "slot + 1 as text", [](const In&, int c) { return Txt(QString::number(c + 1)); }},
        {"expose_time", "exposure[slot]", [](const In& in, int c) { return Num(in.para->exposure[c]); }},
        {"adjust_plus", "gain[slot]", [](const In& in, int c) { return Num(in.para->gain[c]); }},
        {"num_fail_detect", "gFailNum[slot]", [](const In& in, int c) { return Num(in.failNum[c]); }},
        {"num_all_detect", "gAllNum[slot]", [](const In& in, int c) { return Num(in.allNum[c]); }},
        {"sharp", "sharpness[slot]", [](const In& in, int c) { return Num(in.para->sharpness[c]); }},
        {"contrast", "contrast[slot]", [](const In& in, int c) { return Num(in.para->contrast[c]); }},
        {"camera_serial", "gSerialNB[slot]", [](const In& in, int c) { return Txt(StoredText(in.serials[c])); }},
    };
    return keys;
}

QByteArray RecordBody(const QString& deviceId, const QDateTime& time, const QString& level,
                      const QString& text)
{
    // Joined, not arg()-substituted: a text holding "%1" must go out as it is.
    return (QStringLiteral("device_id=") + deviceId + QStringLiteral("&operater=") + level
            + QStringLiteral("&utc=") + QString::number(time.toMSecsSinceEpoch())
            + QStringLiteral("&description=") + text)
        .toUtf8();
}

QByteArray ParamBody(const QString& deviceId, const CatalogueInputs& in)
{
    Json root(cJSON_CreateObject());
    for (const ParamKey& k : ParamKeys())
        Add(root.get(), k.key, k.value(deviceId, in));
    cJSON* cameras = AddArray(root.get(), "camera");
    for (int c = 0; c < kCameraSlots; ++c) {
        cJSON* camera = cJSON_CreateObject();
        for (const ParamCameraKey& k : ParamCameraKeys())
            Add(camera, k.key, k.value(in, c));
        cJSON_AddItemToArray(cameras, camera);
    }
    return Print(root);
}

QByteArray PathBody(const QString& path) { return path.toUtf8(); }

QByteArray RoiParamBody(const QString& deviceId, const CammerSingleton& set, int detection)
{
    const int d = detection;
    if (d < 0 || d >= kDetections) {
        LOG(WARNING) << "CNT: no area message for detection " << d;
        return {};
    }
    // A loaded set never holds more than kAreas; the bound only keeps a
    // damaged count from reading past the tables.
    const int count = std::clamp(set.roiCount[d], 0, kAreas);
    Json root(cJSON_CreateObject());
    Add(root.get(), "device_id", deviceId);
    Add(root.get(), "camera_id", QString::number(set.cameraIndex + 1));
    Add(root.get(), "detect", long(d + 1));
    Add(root.get(), "count", long(count));
    cJSON* rois = AddArray(root.get(), "roi");
    for (int i = 0; i < count; ++i) {
        cJSON* roi = cJSON_CreateObject();
        Add(roi, "roi_idx", long(i + 1));
        Add(roi, "min_size", long(set.roiMinSize[d][i]));
        Add(roi, "sensibility", long(set.roiSensibility[d][i]));
        Add(roi, "max_area", long(set.roiMaxArea[d][i]));
        Add(roi, "algorithm", long(set.roiMethod[d][i]));
        Add(roi, "output_point", long(set.roiOutput[i]));

        long type = -1;
        std::vector<QPoint> points;
        long inR = 0;
        long outR = 0;
        switch (set.roiShape[d][i]) {
        case RoiShapeRect: {
            // The corners as the stored row holds them.
            const QRect& r = set.roiRect[d][i].rect;
            type = 0;
            points = {QPoint(r.left(), r.top()), QPoint(r.right(), r.bottom())};
            break;
        }
        case RoiShapeCircle: {
            const Circle& c = set.roiCircle[d][i];
            type = 1;
            points = {QPoint(c.cx, c.cy)};
            outR = c.r1;
            inR = c.r2;
            break;
        }
        case RoiShapePolygon:
            type = 2;
            points = set.roiPolygon[d][i].points();
            break;
        default:
            break;
        }
        Add(roi, "roi_type", type);
        Add(roi, "top_point_count", long(points.size()));
        char name[32];
        for (size_t k = 0; k < points.size(); ++k) {
            std::snprintf(name, sizeof name, "top_%zu_x", k);
            Add(roi, name, long(points[k].x()));
            std::snprintf(name, sizeof name, "top_%zu_y", k);
            Add(roi, name, long(points[k].y()));
        }
        Add(roi, "in_r", inR);
        Add(roi, "out_r", outR);
        cJSON_AddItemToArray(rois, roi);
    }
    return Print(root);
}

QByteArray RoiParamBody(const QString& deviceId, const RelayHost& host, int camera, int detection)
{
    const CammerSingleton* set = host.savedSet(camera);
    return set ? RoiParamBody(deviceId, *set, detection) : QByteArray();
}

QByteArray DelTempPicBody(const QString& deviceId, int camera, int detection, const QString& name,
                          const QString& operatorId)
{
    return (QStringLiteral("deviceId=") + deviceId + QStringLiteral("&cameraId=") + QString::number(camera)
            + QStringLiteral("&detectId=") + QString::number(detection) + QStringLiteral("&template=") + name
            + QStringLiteral("&utc=") + QString::number(NowMs()) + QStringLiteral("&operator=") + operatorId)
        .toUtf8();
}

QByteArray SaveNgVideoBody(const QString& deviceId, int camera, const QString& product, int isng)
{
    return (QStringLiteral("device_id=") + deviceId + QStringLiteral("&camera_id=") + QString::number(camera)
            + QStringLiteral("&product=") + product + QStringLiteral("&isng=") + QString::number(isng))
        .toUtf8();
}

QByteArray TelInfoBody(const QString& deviceId, int detection, int count, const WizardPara& para)
{
    return (QStringLiteral("device_id=") + deviceId + QStringLiteral("&check_id=") + QString::number(detection + 1)
            + QStringLiteral("&product_count=") + QString::number(count) + QStringLiteral("&worker_name=")
            + StoredText(para.techName) + QStringLiteral("&mobile=") + StoredText(para.techPhone))
        .toUtf8();
}

QString RunStateText(int runState)
{
    switch (runState) {
    case RunStateDetecting: return QStringLiteral("正在检测");
    case RunStateTraining: return QStringLiteral("模板训练中");
    case RunStateStopped: return QStringLiteral("停止检测");
    default: return {};
    }
}

QString TriggerText(int trigger)
{
    switch (trigger) {
    case 1: return QStringLiteral("开模到位");
    case 2: return QStringLiteral("安全门");
    case 3: return QStringLiteral("顶针");
    case -1: return QStringLiteral("成品手动抓拍");
    case -2: return QStringLiteral("模腔手动抓拍");
    default: return {};
    }
}

QString ReleaseMethodText(int failImageState)
{
    switch (failImageState) {
    case FailImgClearedSkip: return QStringLiteral("不检测此模解除");
    case FailImgClearedAddTemp: return QStringLiteral("添加为模板解除");
    case FailImgClearedSwitch: return QStringLiteral("重新检测切换到模腔检测");
    case FailImgClearedRecheck: return QStringLiteral("进行重检检测");
    case FailImgStampedRecheck: return QStringLiteral("重检检测OK");
    default: return {};
    }
}

QString ReleaseMethod(const RelayHost& host)
{
    // The detection whose OK ended the alarm is the one the cycle is on;
    // camera 0, detection 0 would report another detection's state.
    const int d = host.currentDetect();
    if (d < 0 || d >= kDetections)
        return {};
    const int cameras = std::min(host.numCamera(), kCameraSlots);
    for (int c = 0; c < cameras; ++c) {
        const QString text = ReleaseMethodText(host.failImageState(c, d));
        if (!text.isEmpty())
            return text;
    }
    return {};
}

namespace {
// The member of array whose number member key equals id, or null.
cJSON* FindById(cJSON* array, const char* key, int id)
{
    cJSON* item = nullptr;
    cJSON_ArrayForEach(item, array)
    {
        const cJSON* v = cJSON_GetObjectItemCaseSensitive(item, key);
        if (cJSON_IsNumber(v) && v->valuedouble == id)
            return item;
    }
    return nullptr;
}
}  // namespace

StatisticsOnce StatisticsOnceBody(const QString& deviceId, const RelayHost& host, const CatalogueInputs& in,
                                  const QList<param_roi>& list, bool ng, int trigger)
{
    // The relay's tables hold five detections.
    constexpr int kReportedDetections = 5;
    const WizardPara& para = *in.para;
    StatisticsOnce out;
    out.utc = NowMs();

    Json root(cJSON_CreateObject());
    Add(root.get(), "device_id", deviceId);
    Add(root.get(), "utc", long(out.utc));
    Add(root.get(), "state", RunStateText(host.runState()));
    Add(root.get(), "detect_method", TriggerText(trigger));
    Add(root.get(), "product_name", StoredText(para.productName));
    Add(root.get(), "product_serial", QString::number(para.productSerial));
    Add(root.get(), "product_num", long(para.productNum));
    Add(root.get(), "product_moldcavity", long(para.productMoldCavity));
    Add(root.get(), "product_operator", StoredText(para.operatorName));
    Add(root.get(), "result", long(ng ? 1 : 0));
    cJSON* cameras = AddArray(root.get(), "array");

    const int inUse = std::min(host.numCamera(), kCameraSlots);
    for (const param_roi& r : list) {
        if (r.cameraId < 0 || r.cameraId >= inUse)
            continue;
        cJSON* camera = FindById(cameras, "camera_id", r.cameraId + 1);
        if (!camera) {
            camera = cJSON_CreateObject();
            Add(camera, "camera_id", long(r.cameraId + 1));
            Add(camera, "device_ng", long(in.failNum[r.cameraId]));
            Add(camera, "device_all", long(in.allNum[r.cameraId]));
            AddArray(camera, "detect_array");
            cJSON_AddItemToArray(cameras, camera);
        }
        if (r.detectId < 0 || r.detectId >= kReportedDetections)
            continue;
        cJSON* detects = cJSON_GetObjectItemCaseSensitive(camera, "detect_array");
        cJSON* detect = FindById(detects, "detect_id", r.detectId + 1);
        if (!detect) {
            detect = cJSON_CreateObject();
            Add(detect, "detect_id", long(r.detectId + 1));
            AddArray(detect, "roi_array");
            cJSON_AddItemToArray(detects, detect);
        }
        cJSON* roi = cJSON_CreateObject();
        Add(roi, "roi_id", long(r.roiId) + 1);
        Add(roi, "algorithm_type", long(r.algorithmType));
        Add(roi, "algorithm_result", long(r.algorithmResult));
        Add(roi, "algorithm_premin", long(r.algorithmPremin));
        Add(roi, "algorithm_premax", long(r.algorithmPremax));
        Add(roi, "is_alarm", long(r.stageOk));
        cJSON_AddItemToArray(cJSON_GetObjectItemCaseSensitive(detect, "roi_array"), roi);
    }
    out.body = Print(root);
    return out;
}

QByteArray CancleBody(const QString& deviceId, qint64 bindUtc, const RelayHost& host, const WizardPara& para)
{
    Json root(cJSON_CreateObject());
    Add(root.get(), "device_id", deviceId);
    Add(root.get(), "bind_utc", long(bindUtc));
    Add(root.get(), "utc", long(NowMs()));
    Add(root.get(), "method", ReleaseMethod(host));
    Add(root.get(), "product_operator", StoredText(para.operatorName));
    return Print(root);
}

}  // namespace cnt
