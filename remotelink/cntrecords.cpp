#include "cntrecords.h"

#include "clock.h"
#include "cyclecounters.h"
#include "relayhost.h"
#include "screenstates.h"
#include "wizardpara.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <qnumeric.h>
#include <cjson/cJSON.h>
#include <glog/logging.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

// Skipped keys are logged one line each up to this many per file, then once
// as a count: a damaged file must not flood the log.
constexpr int kSkipLinesPerLoad = 5;

int clampToInt(qint64 v)
{
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (!qAddOverflow(a, b, &r))
        return r;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

qint64 saturatingSub(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (!qSubOverflow(a, b, &r))
        return r;
    return b < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

// A JSON number as a 64-bit field; out-of-range values saturate.
qint64 toInt64(double d)
{
    if (d != d)
        return 0;
    if (d >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(d);
}

// n * 10000 / d in 1/100 %, 0 when d is 0.
int rate(qint64 n, qint64 d)
{
    return d == 0 ? 0 : clampToInt(n * 10000 / d);
}

// 1 stopped, 0 detecting, 2 anything else.
int stateNumber(int runState)
{
    if (runState == RunStateStopped)
        return 1;
    if (runState == RunStateDetecting)
        return 0;
    return 2;
}

QString localHourMinute(qint64 msSinceEpoch)
{
    // Beyond a few thousand years the local-time conversion has no meaning;
    // such a value can only come from a damaged file.
    constexpr qint64 kSaneMs = qint64(100000) * 365 * 24 * 3600 * 1000;
    if (msSinceEpoch > kSaneMs || msSinceEpoch < -kSaneMs)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toString(QStringLiteral("hh:mm"));
}

// Member readers: false when the member is missing or of another kind.
bool readText(const cJSON* o, const char* key, QString& out)
{
    const cJSON* v = cJSON_GetObjectItem(o, key);
    if (!cJSON_IsString(v) || !v->valuestring)
        return false;
    out = QString::fromUtf8(v->valuestring);
    return true;
}

bool readInt(const cJSON* o, const char* key, int& out)
{
    const cJSON* v = cJSON_GetObjectItem(o, key);
    if (!cJSON_IsNumber(v))
        return false;
    out = v->valueint;   // cJSON saturates it to the int range
    return true;
}

bool readInt64(const cJSON* o, const char* key, qint64& out)
{
    const cJSON* v = cJSON_GetObjectItem(o, key);
    if (!cJSON_IsNumber(v))
        return false;
    out = toInt64(v->valuedouble);
    return true;
}

void addText(cJSON* o, const char* key, const QString& value)
{
    cJSON_AddStringToObject(o, key, value.toUtf8().constData());
}

void addNumber(cJSON* o, const char* key, qint64 value)
{
    cJSON_AddNumberToObject(o, key, double(value));
}

QByteArray printJson(const cJSON* root)
{
    char* text = cJSON_Print(root);
    if (!text)
        return QByteArray();
    QByteArray bytes(text);
    cJSON_free(text);
    return bytes;
}

// The whole record file, or nothing when it is absent, unreadable or larger
// than the limit (the last two logged; the file stays either way).
std::optional<QByteArray> readRecordFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        LOG(WARNING) << "CNT: cannot read " << path.toStdString() << ": " << file.errorString().toStdString();
        return std::nullopt;
    }
    QByteArray bytes = file.read(RelayRecords::kMaxFileBytes + 1);
    if (bytes.size() > RelayRecords::kMaxFileBytes) {
        LOG(WARNING) << "CNT: " << path.toStdString() << " is larger than "
                     << RelayRecords::kMaxFileBytes << " bytes; not read, left in place";
        return std::nullopt;
    }
    return bytes;
}

// Counts and logs the keys a load skips.
class SkipLog {
public:
    explicit SkipLog(const QString& path) : path_(path) {}
    ~SkipLog()
    {
        if (skipped_ > kSkipLinesPerLoad)
            LOG(WARNING) << "CNT: " << path_.toStdString() << ": " << skipped_
                         << " entries skipped in all (keys out of range)";
    }
    void skip(const char* what, const QString& value, const char* range)
    {
        if (++skipped_ <= kSkipLinesPerLoad)
            LOG(WARNING) << "CNT: " << path_.toStdString() << ": " << what << " \"" << value.toStdString()
                         << "\" skipped (outside " << range << ")";
    }

private:
    QString path_;
    int skipped_ = 0;
};

bool inRange(qint64 key, int count)
{
    return key >= 0 && key < count;
}

// camera_id is the camera number counted from 1, as decimal text.
qint64 cameraKey(const QString& cameraId)
{
    bool ok = false;
    const int n = cameraId.trimmed().toInt(&ok);
    return ok ? qint64(n) - 1 : -1;
}

bool readArea(const cJSON* e, CNT_Path_Statistics_Alarm& a)
{
    return readInt(e, "alarm_area_num", a.alarm_area_num)
        && readText(e, "alarm_algorithm_type", a.alarm_algorithm_type)
        && readInt(e, "alarm_result", a.alarm_result);
}

bool readDetect(const cJSON* e, CNT_Path_Statistics_Detect& d)
{
    return readInt(e, "time", d.time) && readInt(e, "ng_sum", d.ng_sum) && readInt(e, "produce", d.produce)
        && readInt(e, "monitor_times", d.monitor_times) && readInt(e, "ok_num", d.ok_num)
        && readInt(e, "ok_rate", d.ok_rate) && readInt(e, "not_ok_num", d.not_ok_num)
        && readInt(e, "not_ok_rate", d.not_ok_rate);
}

bool readCamera(const cJSON* e, CNT_Path_Statistics_Camera& c)
{
    return readText(e, "camera_id", c.camera_id) && readInt(e, "disalarm_timeout_time", c.disalarm_timeout_time)
        && readInt(e, "last_monitor_period", c.last_monitor_period)
        && readInt(e, "now_monitor_period", c.now_monitor_period)
        && readInt(e, "average_monitor_period", c.average_monitor_period);
}

const cJSON* arrayMember(const cJSON* o, const char* key)
{
    const cJSON* v = cJSON_GetObjectItem(o, key);
    return cJSON_IsArray(v) ? v : nullptr;
}

// The camera table of a statistics file.  A camera, detection or area with
// a member missing ends its loop and is dropped; keys out of range are
// skipped and logged.
void readCameraTable(const cJSON* root, CNT_Path_Statistics& r, SkipLog& skips)
{
    const cJSON* ng = arrayMember(cJSON_GetObjectItem(root, "camera"), "ng");
    for (const cJSON* ce = ng ? ng->child : nullptr; ce; ce = ce->next) {
        CNT_Path_Statistics_Camera camera;
        if (!readCamera(ce, camera))
            break;
        const cJSON* detects = arrayMember(ce, "ng_monitors");
        for (const cJSON* de = detects ? detects->child : nullptr; de; de = de->next) {
            CNT_Path_Statistics_Detect detect;
            if (!readDetect(de, detect))
                break;
            const cJSON* areas = arrayMember(de, "alarm");
            for (const cJSON* ae = areas ? areas->child : nullptr; ae; ae = ae->next) {
                CNT_Path_Statistics_Alarm area;
                if (!readArea(ae, area))
                    break;
                const qint64 key = qint64(area.alarm_area_num) - 1;
                if (!inRange(key, kAreas)) {
                    skips.skip("alarm_area_num", QString::number(area.alarm_area_num), "1..50");
                    continue;
                }
                detect.alarms.insert(int(key), area);
            }
            const qint64 key = qint64(detect.time) - 1;
            if (!inRange(key, kDetections)) {
                skips.skip("detection time", QString::number(detect.time), "1..8");
                continue;
            }
            camera.detects.insert(int(key), detect);
        }
        const qint64 key = cameraKey(camera.camera_id);
        if (!inRange(key, kCameraSlots)) {
            skips.skip("camera_id", camera.camera_id, "1..8");
            continue;
        }
        r.cameras.insert(int(key), camera);
    }
}

// The top-level members in file order; false at the first one missing, with
// the members before it kept.
bool readStatisticsFigures(const cJSON* root, CNT_Path_Statistics& r)
{
    return readText(root, "product_name", r.product_name) && readText(root, "product_serial", r.product_serial)
        && readInt(root, "products_num", r.products_num) && readInt64(root, "start_utc", r.start_utc)
        && readInt64(root, "real_produce", r.real_produce) && readInt64(root, "utc_watch_total", r.utc_watch_total)
        && readInt64(root, "total_stop_alarm_timelen", r.total_stop_alarm_timelen)
        && readInt(root, "watch_count_total", r.watch_count_total)
        && readInt(root, "ng_count_total", r.ng_count_total)
        && readInt(root, "ng_notification_rate", r.ng_notification_rate)
        && readInt64(root, "watch_circle", r.watch_circle);
}

bool readManualStop(const cJSON* root, CNT_Path_ManualStop& r)
{
    return readInt64(root, "utc", r.utc) && readText(root, "stop_check_timeslot", r.stop_check_timeslot)
        && readInt(root, "stop_check_timelen", r.stop_check_timelen)
        && readInt(root, "timeout_time", r.timeout_time) && readText(root, "operator_id", r.operator_id)
        && readText(root, "disalarm_operator_id", r.disalarm_operator_id)
        && readText(root, "stop_check_reason", r.stop_check_reason);
}

// Parses a record file; null when it is absent, unreadable, too large or not
// JSON (the file then stays as it is).  The text ends at a NUL byte.
JsonPtr parseRecordFile(const QString& path)
{
    const std::optional<QByteArray> bytes = readRecordFile(path);
    if (!bytes)
        return JsonPtr(nullptr, cJSON_Delete);
    JsonPtr root(cJSON_Parse(bytes->constData()), cJSON_Delete);
    if (!root)
        LOG(WARNING) << "CNT: " << path.toStdString() << " is not JSON; left in place";
    return root;
}

void removeIncomplete(const QString& path)
{
    LOG(WARNING) << "CNT: " << path.toStdString() << " lacks a member; removed";
    QFile::remove(path);
}

}  // namespace

qint64 CNT_Path_ManualStop::DefaultUtc()
{
    return QDateTime(QDate(1970, 11, 12), QTime(13, 14, 15), Qt::LocalTime).toMSecsSinceEpoch();
}

RecordInputs RecordInputs::Capture(const RelayHost& host, const WizardPara& para, const QString& deviceId)
{
    RecordInputs in;
    in.deviceId = deviceId;
    in.now = appClock().now();
    in.runState = host.runState();
    in.cycleTime = host.cycleTime();
    in.numCamera = std::clamp(host.numCamera(), 0, int(kCameraSlots));
    std::copy(std::begin(gAllNum), std::end(gAllNum), in.allNum.begin());
    std::copy(std::begin(gFailNum), std::end(gFailNum), in.failNum.begin());
    // Stored texts are UTF-8; bytes that are not become U+FFFD.
    in.productName = QString::fromUtf8(para.productName, int(qstrnlen(para.productName, kParamTextLen)));
    in.productSerial = para.productSerial;
    in.productNum = para.productNum;
    in.productMoldCavity = para.productMoldCavity;
    in.operatorName = QString::fromUtf8(para.operatorName, int(qstrnlen(para.operatorName, kParamTextLen)));
    return in;
}

RelayRecords::RelayRecords(const QString& programDir) : programDir_(programDir)
{
    statisticsRecord.start_utc = appClock().now().toMSecsSinceEpoch();
}

QString RelayRecords::manualStopPath() const
{
    return QDir(programDir_).filePath(QStringLiteral("cnt_net/data/ManualStop"));
}

QString RelayRecords::statisticsPath() const
{
    return QDir(programDir_).filePath(QStringLiteral("cnt_net/data/Statistics"));
}

void RelayRecords::InitManualStop()
{
    const QString path = manualStopPath();
    const JsonPtr root = parseRecordFile(path);
    if (!root)
        return;
    manualStopRecord.valid = false;
    if (!readManualStop(root.get(), manualStopRecord)) {
        removeIncomplete(path);
        return;
    }
    manualStopRecord.valid = true;
}

void RelayRecords::InitStatistics()
{
    CNT_Path_Statistics& r = statisticsRecord;
    const qint64 now = appClock().now().toMSecsSinceEpoch();
    r.product_name = QStringLiteral("no set");
    r.product_serial = QStringLiteral("1");
    r.products_num = 10000;
    r.start_utc = now;
    r.total_stop_alarm_timelen = 0;
    r.utc_watch_total = 0;
    r.watch_count_total = 0;
    r.ng_count_total = 0;
    r.ng_notification_rate = 0;

    const QString path = statisticsPath();
    const JsonPtr root = parseRecordFile(path);
    if (!root)
        return;
    r.valid = false;
    if (!readStatisticsFigures(root.get(), r)) {
        removeIncomplete(path);
        return;
    }
    SkipLog skips(path);
    readCameraTable(root.get(), r, skips);
    r.valid = true;
}

void RelayRecords::ResetCounts(const QDateTime& now)
{
    const bool stopOpen = manualStopRecord.stop_check_timeslot.contains(QLatin1String("--:--"));
    manualStopRecord = CNT_Path_ManualStop();
    if (stopOpen) {
        manualStopRecord.utc = now.toMSecsSinceEpoch();
        manualStopRecord.stop_check_timeslot = QStringLiteral("%1---:--").arg(now.toString(QStringLiteral("hh:mm")));
    }
    statisticsRecord = CNT_Path_Statistics();
    statisticsRecord.start_utc = now.toMSecsSinceEpoch();
    ngDurations.clear();
}

QByteArray RelayRecords::CNT_SendManualStop(const RecordInputs& in, bool enabled)
{
    if (!enabled)
        return QByteArray();
    CNT_Path_ManualStop& r = manualStopRecord;
    const qint64 now = in.now.toMSecsSinceEpoch();
    const QString nowText = in.now.toString(QStringLiteral("hh:mm"));
    if (in.runState == RunStateStopped) {
        // A second stop in a row starts the open stop again.
        r.utc = now;
        r.stop_check_timeslot = QStringLiteral("%1---:--").arg(nowText);
    } else if (r.stop_check_timeslot.contains(QLatin1String("--:--"))) {
        // A clock set back during the stop gives negative minutes: the stop
        // is closed but adds nothing.
        const qint64 minutes = saturatingSub(now, r.utc) / 60000;
        if (minutes > 0)
            r.stop_check_timelen = clampToInt(saturatingAdd(r.stop_check_timelen, minutes));
        r.stop_check_timeslot = QStringLiteral("%1-%2").arg(localHourMinute(r.utc), nowText);
    }
    r.operator_id = in.operatorName;
    r.disalarm_operator_id = in.operatorName;

    JsonPtr root(cJSON_CreateObject(), cJSON_Delete);
    addText(root.get(), "device_id", in.deviceId);
    addNumber(root.get(), "state", stateNumber(in.runState));
    addNumber(root.get(), "utc", r.utc);
    addText(root.get(), "stop_check_timeslot", r.stop_check_timeslot);
    addNumber(root.get(), "stop_check_timelen", r.stop_check_timelen);
    addNumber(root.get(), "timeout_time", r.timeout_time);
    addText(root.get(), "operator_id", r.operator_id);
    addText(root.get(), "disalarm_operator_id", r.disalarm_operator_id);
    addText(root.get(), "stop_check_reason", r.stop_check_reason);
    const QByteArray body = printJson(root.get());
    // A failed write is logged there; the relay still gets the message.
    SaveToFile(manualStopPath(), body);
    return body;
}

void RelayRecords::ChkandAddStaticticsItem(int camera, int detection, int area)
{
    if (!inRange(camera, kCameraSlots) || !inRange(detection, kDetections) || !inRange(area, kAreas)) {
        // Such a key would stop every later statistics send.
        LOG(WARNING) << "CNT: NG area not counted: camera " << camera << ", detection " << detection
                     << ", area " << area << " out of range";
        return;
    }
    auto cam = statisticsRecord.cameras.find(camera);
    if (cam == statisticsRecord.cameras.end()) {
        CNT_Path_Statistics_Camera fresh;
        fresh.camera_id = QString::number(camera + 1);
        cam = statisticsRecord.cameras.insert(camera, fresh);
    }
    auto det = cam->detects.find(detection);
    if (det == cam->detects.end()) {
        CNT_Path_Statistics_Detect fresh;
        fresh.time = detection + 1;
        det = cam->detects.insert(detection, fresh);
    }
    auto a = det->alarms.find(area);
    if (a != det->alarms.end()) {
        a->alarm_result = clampToInt(qint64(a->alarm_result) + 1);
        return;
    }
    CNT_Path_Statistics_Alarm fresh;
    fresh.alarm_area_num = area + 1;
    fresh.alarm_result = 1;
    det->alarms.insert(area, fresh);
}

void RelayRecords::CNT_AddNgTimes(int ms)
{
    if (ms < 0)
        return;
    statisticsRecord.total_stop_alarm_timelen = saturatingAdd(statisticsRecord.total_stop_alarm_timelen, ms);
    ngDurations.append(ms);
    // Without statistics sends nothing trims the list; keep it bounded.
    while (ngDurations.size() > kMaxNgDurations)
        ngDurations.removeFirst();
}

int RelayRecords::CNT_AddCycle(int)
{
    if (ngDurations.size() > kNgDurationsTrimmed)
        ngDurations.removeFirst();
    if (ngDurations.isEmpty())
        return 0;
    qint64 sum = 0;
    for (int ms : ngDurations)
        sum += ms;
    return clampToInt(sum / ngDurations.size());
}

QByteArray RelayRecords::CNT_SendStatistics(const QString& image, const RecordInputs& in, bool enabled)
{
    if (!enabled)
        return QByteArray();
    CNT_Path_Statistics& r = statisticsRecord;

    // A key out of range (only a record changed behind our back can hold
    // one) would read outside the counters: drop the file and the figures,
    // and the bad entries so that the next send goes out again.
    bool bad = false;
    for (auto c = r.cameras.begin(); c != r.cameras.end();) {
        if (!inRange(c.key(), kCameraSlots)) {
            bad = true;
            c = r.cameras.erase(c);
            continue;
        }
        for (auto d = c->detects.begin(); d != c->detects.end();) {
            if (!inRange(d.key(), kDetections)) {
                bad = true;
                d = c->detects.erase(d);
            } else {
                ++d;
            }
        }
        ++c;
    }
    if (bad) {
        LOG(WARNING) << "CNT: statistics table held a key out of range; statistics reset, nothing sent";
        QFile::remove(statisticsPath());
        InitStatistics();
        return QByteArray();
    }

    const qint64 now = in.now.toMSecsSinceEpoch();
    r.watch_count_total = 0;
    r.ng_count_total = 0;
    // Stopped minutes counted since before a reset can exceed the time
    // watched since it.
    r.utc_watch_total = std::max<qint64>(
        0, saturatingSub(saturatingSub(now, r.start_utc), qint64(manualStopRecord.stop_check_timelen) * 60000));
    const int cameras = std::clamp(in.numCamera, 0, int(kCameraSlots));
    for (int c = 0; c < cameras; ++c) {
        r.watch_count_total = std::max(r.watch_count_total, in.allNum[size_t(c)]);
        r.ng_count_total = std::max(r.ng_count_total, in.failNum[size_t(c)]);
        r.ng_notification_rate = rate(r.ng_count_total, r.watch_count_total);
    }
    r.real_produce = (qint64(r.watch_count_total) - r.ng_count_total) * in.productMoldCavity;
    r.watch_circle = qint64(in.cycleTime) * 100;
    const int last = ngDurations.isEmpty() ? 0 : ngDurations.last();
    const int average = CNT_AddCycle(0);
    r.product_name = in.productName;
    r.product_serial = QString::number(in.productSerial);
    r.products_num = in.productNum;

    JsonPtr root(cJSON_CreateObject(), cJSON_Delete);
    cJSON* o = root.get();
    addText(o, "device_id", in.deviceId);
    addNumber(o, "state", stateNumber(in.runState));
    addText(o, "product_name", r.product_name);
    addText(o, "product_serial", r.product_serial);
    addNumber(o, "products_num", r.products_num);
    addNumber(o, "start_utc", r.start_utc);
    addNumber(o, "real_produce", r.real_produce);
    addNumber(o, "utc_watch_total", r.utc_watch_total);
    addNumber(o, "total_stop_alarm_timelen", r.total_stop_alarm_timelen);
    addNumber(o, "watch_count_total", r.watch_count_total);
    addNumber(o, "ng_count_total", r.ng_count_total);
    addNumber(o, "ng_notification_rate", r.ng_notification_rate);
    addNumber(o, "watch_circle", r.watch_circle);
    addNumber(o, "utc", now);
    addText(o, "ng_image", image);
    cJSON* cameraObject = cJSON_AddObjectToObject(o, "camera");
    cJSON* cameraArray = cJSON_AddArrayToObject(cameraObject, "ng");

    for (auto c = r.cameras.begin(); c != r.cameras.end(); ++c) {
        const size_t ci = size_t(c.key());
        const qint64 all = in.allNum[ci];
        const qint64 fail = in.failNum[ci];
        CNT_Path_Statistics_Camera& cam = c.value();
        cam.disalarm_timeout_time = 1;
        cam.last_monitor_period = clampToInt(r.total_stop_alarm_timelen);
        cam.now_monitor_period = last;
        cam.average_monitor_period = average;
        cJSON* co = cJSON_CreateObject();
        cJSON_AddItemToArray(cameraArray, co);
        addText(co, "camera_id", QString::number(c.key() + 1));
        addNumber(co, "disalarm_timeout_time", cam.disalarm_timeout_time);
        addNumber(co, "last_monitor_period", cam.last_monitor_period);
        addNumber(co, "now_monitor_period", cam.now_monitor_period);
        addNumber(co, "average_monitor_period", cam.average_monitor_period);
        cJSON* detectArray = cJSON_AddArrayToObject(co, "ng_monitors");
        for (CNT_Path_Statistics_Detect& d : cam.detects) {
            // Every detection carries its camera's counters; only the areas
            // are counted per detection.
            d.ng_sum = clampToInt(fail);
            d.produce = in.productNum;
            d.monitor_times = clampToInt(all);
            d.ok_num = clampToInt(all - fail);
            d.ok_rate = rate(all - fail, all);
            d.not_ok_num = clampToInt(fail);
            d.not_ok_rate = rate(fail, all);
            cJSON* dobj = cJSON_CreateObject();
            cJSON_AddItemToArray(detectArray, dobj);
            addNumber(dobj, "time", d.time);
            addNumber(dobj, "ng_sum", d.ng_sum);
            addNumber(dobj, "produce", d.produce);
            addNumber(dobj, "monitor_times", d.monitor_times);
            addNumber(dobj, "ok_num", d.ok_num);
            addNumber(dobj, "ok_rate", d.ok_rate);
            addNumber(dobj, "not_ok_num", d.not_ok_num);
            addNumber(dobj, "not_ok_rate", d.not_ok_rate);
            cJSON* areaArray = cJSON_AddArrayToObject(dobj, "alarm");
            for (const CNT_Path_Statistics_Alarm& a : d.alarms) {
                cJSON* aobj = cJSON_CreateObject();
                cJSON_AddItemToArray(areaArray, aobj);
                addNumber(aobj, "alarm_area_num", a.alarm_area_num);
                addText(aobj, "alarm_algorithm_type", a.alarm_algorithm_type);
                addNumber(aobj, "alarm_result", a.alarm_result);
            }
        }
    }
    const QByteArray body = printJson(o);
    SaveToFile(statisticsPath(), body);
    return body;
}

bool RelayRecords::SaveToFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        LOG(WARNING) << "CNT: open " << path.toStdString() << ": " << file.errorString().toStdString();
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        LOG(WARNING) << "CNT: write " << path.toStdString() << ": " << file.errorString().toStdString();
        return false;
    }
    return true;
}
