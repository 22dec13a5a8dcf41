#include "peerframes.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace relaypeer {

bool isNeverSent(int type)
{
    return type == 0 || type == 3 || type == 4 || type == 12 || type == 13 || type == 19;
}

// ---------------------------------------------------------------- decoder

FrameDecoder::FrameDecoder(qint64 lengthCap) : cap_(lengthCap) {}

void FrameDecoder::reset()
{
    state_ = State::TypeFirst;
    error_ = Error::None;
    errorText_.clear();
    header_.clear();
    body_.clear();
    type_ = 0;
    length_ = 0;
}

bool FrameDecoder::fail(Error e, const QString& text)
{
    error_ = e;
    errorText_ = text;
    return false;
}

QString errorName(FrameDecoder::Error e)
{
    switch (e) {
    case FrameDecoder::Error::None: return QStringLiteral("none");
    case FrameDecoder::Error::BadHeader: return QStringLiteral("bad header");
    case FrameDecoder::Error::LengthDigits: return QStringLiteral("length of more than 9 digits");
    case FrameDecoder::Error::TypeDigits: return QStringLiteral("type of more than 2 digits");
    case FrameDecoder::Error::OverCap: return QStringLiteral("declared length over the cap");
    }
    return QString();
}

void FrameDecoder::finishHeader()
{
    state_ = State::Body;
    body_.clear();
}

size_t FrameDecoder::feed(const char* data, size_t size, std::vector<Frame>* out)
{
    size_t i = 0;
    auto bad = [this](char c, const char* where) {
        return fail(Error::BadHeader, QStringLiteral("bad header: byte 0x%1 %2 after \"%3\"")
                                          .arg(uint(uchar(c)), 2, 16, QLatin1Char('0'))
                                          .arg(QLatin1String(where), QString::fromLatin1(header_.toPercentEncoding())));
    };
    while (i < size && !failed()) {
        if (state_ == State::Body) {
            const qint64 want = length_ - body_.size();
            const qint64 take = std::min<qint64>(want, qint64(size - i));
            body_.append(data + i, int(take));
            i += size_t(take);
            if (body_.size() == length_) {
                out->push_back(Frame{type_, length_, body_});
                body_.clear();
                header_.clear();
                state_ = State::TypeFirst;
            }
            continue;
        }
        const char c = data[i];
        const bool digit = c >= '0' && c <= '9';
        switch (state_) {
        case State::TypeFirst:
            if (!digit) { bad(c, "at the type"); continue; }
            type_ = c - '0';
            state_ = State::Type;
            break;
        case State::Type:
            if (c == ':') {
                state_ = State::LengthFirst;
            } else if (!digit || type_ == 0) {
                bad(c, type_ == 0 && digit ? "(leading zero in the type)" : "in the type");
                continue;
            } else if (header_.size() >= 2) {
                fail(Error::TypeDigits, QStringLiteral("type of more than 2 digits"));
                continue;
            } else {
                type_ = type_ * 10 + (c - '0');
            }
            break;
        case State::LengthFirst:
            if (!digit) { bad(c, "at the length"); continue; }
            length_ = c - '0';
            state_ = State::Length;
            header_.append(c);
            ++i;
            continue;
        case State::Length: {
            if (c == ':') {
                state_ = State::Dot1;
                break;
            }
            if (!digit || length_ == 0) {
                bad(c, length_ == 0 && digit ? "(leading zero in the length)" : "in the length");
                continue;
            }
            const int digits = header_.size() - header_.indexOf(':') - 1;
            if (digits >= kMaxLengthDigits) {
                fail(Error::LengthDigits, QStringLiteral("length of more than %1 digits").arg(kMaxLengthDigits));
                continue;
            }
            length_ = length_ * 10 + (c - '0');
            break;
        }
        case State::Dot1:
            if (c != '.') { bad(c, "instead of \".\""); continue; }
            state_ = State::Dot2;
            break;
        case State::Dot2:
            if (c != '.') { bad(c, "instead of the second \".\""); continue; }
            state_ = State::Bang;
            break;
        case State::Bang:
            if (c != '!') { bad(c, "instead of \"!\""); continue; }
            if (length_ > cap_) {
                fail(Error::OverCap, QStringLiteral("declared length %1 over the cap %2").arg(length_).arg(cap_));
                continue;
            }
            header_.append(c);
            ++i;
            finishHeader();
            if (length_ == 0) {
                out->push_back(Frame{type_, 0, QByteArray()});
                header_.clear();
                state_ = State::TypeFirst;
            }
            continue;
        case State::Body:
            break;
        }
        header_.append(c);
        ++i;
    }
    return i;
}

// ---------------------------------------------------------------- UTF-8

bool isValidUtf8(const QByteArray& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned c = s[i];
        if (c < 0x80) { ++i; continue; }
        int more;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) { more = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { more = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { more = 3; cp = c & 0x07; }
        else return false;
        if (i + more >= n) return false;
        for (int k = 1; k <= more; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

// ---------------------------------------------------------------- ordered JSON

const OrderedJson* OrderedJson::member(const QString& key) const
{
    for (const auto& m : members)
        if (m.first == key)
            return &m.second;
    return nullptr;
}

QStringList OrderedJson::keys() const
{
    QStringList k;
    for (const auto& m : members)
        k << m.first;
    return k;
}

QString kindName(OrderedJson::Kind k)
{
    switch (k) {
    case OrderedJson::Null: return QStringLiteral("null");
    case OrderedJson::Bool: return QStringLiteral("bool");
    case OrderedJson::Number: return QStringLiteral("number");
    case OrderedJson::String: return QStringLiteral("text");
    case OrderedJson::Array: return QStringLiteral("array");
    case OrderedJson::Object: return QStringLiteral("object");
    }
    return QString();
}

namespace {

class Reader {
public:
    explicit Reader(const QByteArray& t) : s_(t.constData()), n_(t.size()) {}
    bool document(OrderedJson* out, QString* error)
    {
        skip();
        if (!value(out, 0)) { *error = err_; return false; }
        skip();
        if (p_ != n_) { *error = QStringLiteral("text after the value at %1").arg(p_); return false; }
        return true;
    }

private:
    bool failAt(const char* what)
    {
        err_ = QStringLiteral("%1 at byte %2").arg(QLatin1String(what)).arg(p_);
        return false;
    }
    void skip()
    {
        while (p_ < n_ && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\n' || s_[p_] == '\r'))
            ++p_;
    }
    bool literal(const char* word)
    {
        const qsizetype len = qsizetype(strlen(word));
        if (n_ - p_ < len || memcmp(s_ + p_, word, size_t(len)) != 0)
            return failAt("bad literal");
        p_ += len;
        return true;
    }
    bool string(QString* out)
    {
        ++p_;   // opening quote
        QByteArray raw;
        while (p_ < n_ && s_[p_] != '"') {
            const char c = s_[p_];
            if (uchar(c) < 0x20)
                return failAt("control byte in a string");
            if (c == '\\') {
                if (++p_ >= n_) return failAt("cut escape");
                const char e = s_[p_];
                if (e == 'u') {
                    if (n_ - p_ < 5) return failAt("cut \\u escape");
                    for (int k = 1; k <= 4; ++k)
                        if (!isxdigit(uchar(s_[p_ + k]))) return failAt("bad \\u escape");
                    raw.append(s_ + p_ - 1, 6);
                    p_ += 5;
                    continue;
                }
                if (!strchr("\"\\/bfnrt", e) || e == 0) return failAt("bad escape");
                raw.append('\\').append(e);
                ++p_;
                continue;
            }
            raw.append(c);
            ++p_;
        }
        if (p_ >= n_) return failAt("unterminated string");
        ++p_;
        // The escapes are decoded by Qt's reader (values come from it anyway).
        if (!raw.contains('\\')) {
            *out = QString::fromUtf8(raw);
            return true;
        }
        const QJsonDocument d = QJsonDocument::fromJson("[\"" + raw + "\"]");
        *out = d.isArray() ? d.array().at(0).toString() : QString::fromUtf8(raw);
        return true;
    }
    bool number(OrderedJson* out)
    {
        const qsizetype start = p_;
        if (s_[p_] == '-') ++p_;
        if (p_ >= n_ || !isdigit(uchar(s_[p_]))) return failAt("bad number");
        if (s_[p_] == '0') ++p_;
        else while (p_ < n_ && isdigit(uchar(s_[p_]))) ++p_;
        if (p_ < n_ && s_[p_] == '.') {
            ++p_;
            if (p_ >= n_ || !isdigit(uchar(s_[p_]))) return failAt("bad fraction");
            while (p_ < n_ && isdigit(uchar(s_[p_]))) ++p_;
        }
        if (p_ < n_ && (s_[p_] == 'e' || s_[p_] == 'E')) {
            ++p_;
            if (p_ < n_ && (s_[p_] == '+' || s_[p_] == '-')) ++p_;
            if (p_ >= n_ || !isdigit(uchar(s_[p_]))) return failAt("bad exponent");
            while (p_ < n_ && isdigit(uchar(s_[p_]))) ++p_;
        }
        out->kind = OrderedJson::Number;
        out->numberText = QByteArray(s_ + start, int(p_ - start));
        return true;
    }
    bool value(OrderedJson* out, int depth)
    {
        if (depth > 64) return failAt("nesting deeper than 64");
        if (p_ >= n_) return failAt("missing value");
        const char c = s_[p_];
        if (c == '{') {
            out->kind = OrderedJson::Object;
            ++p_;
            skip();
            if (p_ < n_ && s_[p_] == '}') { ++p_; return true; }
            for (;;) {
                skip();
                if (p_ >= n_ || s_[p_] != '"') return failAt("expected a key");
                QString key;
                if (!string(&key)) return false;
                skip();
                if (p_ >= n_ || s_[p_] != ':') return failAt("expected ':'");
                ++p_;
                skip();
                out->members.emplace_back(key, OrderedJson());
                if (!value(&out->members.back().second, depth + 1)) return false;
                skip();
                if (p_ < n_ && s_[p_] == ',') { ++p_; continue; }
                if (p_ < n_ && s_[p_] == '}') { ++p_; return true; }
                return failAt("expected ',' or '}'");
            }
        }
        if (c == '[') {
            out->kind = OrderedJson::Array;
            ++p_;
            skip();
            if (p_ < n_ && s_[p_] == ']') { ++p_; return true; }
            for (;;) {
                skip();
                out->items.emplace_back();
                if (!value(&out->items.back(), depth + 1)) return false;
                skip();
                if (p_ < n_ && s_[p_] == ',') { ++p_; continue; }
                if (p_ < n_ && s_[p_] == ']') { ++p_; return true; }
                return failAt("expected ',' or ']'");
            }
        }
        if (c == '"') {
            out->kind = OrderedJson::String;
            QString ignored;
            return string(&ignored);
        }
        if (c == 't') { out->kind = OrderedJson::Bool; return literal("true"); }
        if (c == 'f') { out->kind = OrderedJson::Bool; return literal("false"); }
        if (c == 'n') { out->kind = OrderedJson::Null; return literal("null"); }
        return number(out);
    }

    const char* s_;
    qsizetype n_;
    qsizetype p_ = 0;
    QString err_;
};

// ---------------------------------------------------------------- schemas

// One expected member: its key and kind ('s' text, 'n' number, 'a' array of
// `items`, 'o' object of `items`, 'b' number or bool).
struct Field {
    const char* key;
    char kind;
    const struct Schema* items = nullptr;
};
struct Schema {
    std::vector<Field> fields;
    bool open = false;   // further keys allowed (checked by a custom rule)
};

const Schema kCameraParam{{{"camera_id", 's'}, {"expose_time", 'n'}, {"adjust_plus", 'n'}, {"num_fail_detect", 'n'},
                           {"num_all_detect", 'n'}, {"sharp", 'n'}, {"contrast", 'n'}, {"camera_serial", 's'}}};

Schema paramSchema()
{
    Schema s;
    const char* numbersA[] = {"finished_product_detect", "cavity_detect", "neutron_detect", "fourth_detect", "is_psw_used"};
    const char* numbersB[] = {"semi_auto", "enabe_one_test", "enabe_two_test", "enable_correct", "enable_stop_mold",
                              "front_mold_timelen", "front_auto_check_time", "ok_record_max_num", "enable_watch_dog",
                              "mold_cutoff", "max_mold_num", "enable_stop_check", "ng_max_num", "thimble_pulse",
                              "mold_pulse", "enable_stop_not_alarm", "is_cut_ontime", "is_cut_ontime_thimble",
                              "enable_cutoff_ontime", "enable_pass_protect", "language", "enable_mold_backup",
                              "location_adge", "location_level", "capture_speed", "input_timeout_len",
                              "enable_output_thimble_pulse", "enable_disarm_before_open", "difference_multiplier",
                              "enable_defect_detect", "enable_spot_detect", "enable_ignore_area", "enable_manual_edit",
                              "enable_display_detail", "auto_cancel_timelen", "enable_one_not_mold",
                              "enable_trigger_safety", "enable_network"};
    const char* texts[] = {"local_addr_1", "local_addr_2", "local_addr_3", "local_addr_4", "mask_1", "mask_2", "mask_3",
                           "mask_4", "gateway_1", "gateway_2", "gateway_3", "gateway_4"};
    const char* numbersC[] = {"minimum_size", "minimum_area", "serial_port", "enable_color_camera", "enable_gray_channel",
                              "snap_shot", "min_spot", "factory_param", "report_alarm", "prohibit_optimize"};
    s.fields.push_back({"device_id", 's'});
    for (auto k : numbersA) s.fields.push_back({k, 'n'});
    s.fields.push_back({"password", 's'});
    for (auto k : numbersB) s.fields.push_back({k, 'n'});
    for (auto k : texts) s.fields.push_back({k, 's'});
    for (auto k : numbersC) s.fields.push_back({k, 'n'});
    s.fields.push_back({"camera", 'a', &kCameraParam});
    return s;
}

const Schema kParam = paramSchema();

const Schema kStatsArea{{{"alarm_area_num", 'n'}, {"alarm_algorithm_type", 's'}, {"alarm_result", 'n'}}};
const Schema kStatsDetect{{{"time", 'n'}, {"ng_sum", 'n'}, {"produce", 'n'}, {"monitor_times", 'n'}, {"ok_num", 'n'},
                           {"ok_rate", 'n'}, {"not_ok_num", 'n'}, {"not_ok_rate", 'n'}, {"alarm", 'a', &kStatsArea}}};
const Schema kStatsCamera{{{"camera_id", 's'}, {"disalarm_timeout_time", 'n'}, {"last_monitor_period", 'n'},
                           {"now_monitor_period", 'n'}, {"average_monitor_period", 'n'},
                           {"ng_monitors", 'a', &kStatsDetect}}};
const Schema kStatsCameraHolder{{{"ng", 'a', &kStatsCamera}}};
const Schema kStatistics{{{"device_id", 's'}, {"state", 'n'}, {"product_name", 's'}, {"product_serial", 's'},
                          {"products_num", 'n'}, {"start_utc", 'n'}, {"real_produce", 'n'}, {"utc_watch_total", 'n'},
                          {"total_stop_alarm_timelen", 'n'}, {"watch_count_total", 'n'}, {"ng_count_total", 'n'},
                          {"ng_notification_rate", 'n'}, {"watch_circle", 'n'}, {"utc", 'n'}, {"ng_image", 's'},
                          {"camera", 'o', &kStatsCameraHolder}}};

// Area objects of type 8 carry a variable run of point keys: checked by rule.
const Schema kRoi{{}, true};
const Schema kRois{{{"device_id", 's'}, {"camera_id", 's'}, {"detect", 'n'}, {"count", 'n'}, {"roi", 'a', &kRoi}}};

const Schema kShare{{{"shmid", 'n'}, {"semid", 'n'}, {"cameraid", 'n'}, {"size", 'n'}, {"width", 'n'}, {"height", 'n'},
                     {"fps", 'n'}}};
const Schema kMemoryInfo{{{"memoryinfo", 'a', &kShare}}};

const Schema kManualStop{{{"device_id", 's'}, {"state", 'n'}, {"utc", 'n'}, {"stop_check_timeslot", 's'},
                          {"stop_check_timelen", 'n'}, {"timeout_time", 'n'}, {"operator_id", 's'},
                          {"disalarm_operator_id", 's'}, {"stop_check_reason", 's'}}};

const Schema kOnceRoi{{{"roi_id", 'n'}, {"algorithm_type", 'n'}, {"algorithm_result", 'n'}, {"algorithm_premin", 'n'},
                       {"algorithm_premax", 'n'}, {"is_alarm", 'b'}}};
const Schema kOnceDetect{{{"detect_id", 'n'}, {"roi_array", 'a', &kOnceRoi}}};
const Schema kOnceCamera{{{"camera_id", 'n'}, {"device_ng", 'n'}, {"device_all", 'n'}, {"detect_array", 'a', &kOnceDetect}}};
const Schema kOnce{{{"device_id", 's'}, {"utc", 'n'}, {"state", 's'}, {"detect_method", 's'}, {"product_name", 's'},
                    {"product_serial", 's'}, {"product_num", 'n'}, {"product_moldcavity", 'n'},
                    {"product_operator", 's'}, {"result", 'n'}, {"array", 'a', &kOnceCamera}}};

const Schema kCancel{{{"device_id", 's'}, {"bind_utc", 'n'}, {"utc", 'n'}, {"method", 's'}, {"product_operator", 's'}}};

const Schema* schemaFor(int type)
{
    switch (type) {
    case 2: return &kParam;
    case 7: return &kStatistics;
    case 8: return &kRois;
    case 9: return &kMemoryInfo;
    case 10: return &kManualStop;
    case 18: return &kOnce;
    case 20: return &kCancel;
    default: return nullptr;
    }
}

bool kindMatches(char want, OrderedJson::Kind got)
{
    switch (want) {
    case 's': return got == OrderedJson::String;
    case 'n': return got == OrderedJson::Number;
    case 'a': return got == OrderedJson::Array;
    case 'o': return got == OrderedJson::Object;
    case 'b': return got == OrderedJson::Number || got == OrderedJson::Bool;
    }
    return false;
}

QString kindWord(char k)
{
    switch (k) {
    case 's': return QStringLiteral("text");
    case 'n': return QStringLiteral("number");
    case 'a': return QStringLiteral("array");
    case 'o': return QStringLiteral("object");
    case 'b': return QStringLiteral("number or bool");
    }
    return QString();
}

// Numbers with no fraction print as integers, and times print whole.
void checkNumberText(const OrderedJson& v, const QString& where, QStringList* out)
{
    const QByteArray& t = v.numberText;
    const bool plainInteger = !t.contains('.') && !t.contains('e') && !t.contains('E');
    if (plainInteger)
        return;
    const double d = t.toDouble();
    if (std::isfinite(d) && d == std::floor(d))
        *out << QStringLiteral("%1: integral number printed as %2").arg(where, QString::fromLatin1(t));
}

void checkRoi(const OrderedJson& o, const QString& where, QStringList* out)
{
    const OrderedJson* countNode = o.member(QStringLiteral("top_point_count"));
    const int points = countNode && countNode->kind == OrderedJson::Number ? countNode->numberText.toInt() : 0;
    QStringList want = {"roi_idx", "min_size", "sensibility", "max_area", "algorithm", "output_point", "roi_type",
                        "top_point_count"};
    for (int k = 0; k < points && k < 10000; ++k)
        want << QStringLiteral("top_%1_x").arg(k) << QStringLiteral("top_%1_y").arg(k);
    want << QStringLiteral("in_r") << QStringLiteral("out_r");
    if (o.keys() != want)
        *out << QStringLiteral("%1: keys %2, expected %3").arg(where, o.keys().join(QLatin1Char(',')), want.join(QLatin1Char(',')));
    for (const auto& m : o.members) {
        if (m.second.kind != OrderedJson::Number)
            *out << QStringLiteral("%1.%2: %3, expected number").arg(where, m.first, kindName(m.second.kind));
        else
            checkNumberText(m.second, where + QLatin1Char('.') + m.first, out);
    }
    const OrderedJson* type = o.member(QStringLiteral("roi_type"));
    if (type && type->kind == OrderedJson::Number) {
        const int t = type->numberText.toInt();
        const int expect = t == 0 ? 2 : t == 1 ? 1 : t == 2 ? -1 : t == -1 ? 0 : -2;
        if (expect == -2)
            *out << QStringLiteral("%1.roi_type: %2 unknown").arg(where).arg(t);
        else if (expect >= 0 && points != expect)
            *out << QStringLiteral("%1.top_point_count: %2 for roi_type %3").arg(where).arg(points).arg(t);
    }
}

void checkObject(const OrderedJson& o, const Schema& s, const QString& where, QStringList* out)
{
    if (s.open) {
        checkRoi(o, where, out);
        return;
    }
    QStringList want;
    for (const Field& f : s.fields)
        want << QLatin1String(f.key);
    if (o.keys() != want)
        *out << QStringLiteral("%1: keys %2, expected %3").arg(where.isEmpty() ? QStringLiteral("top") : where,
                                                                o.keys().join(QLatin1Char(',')), want.join(QLatin1Char(',')));
    for (const Field& f : s.fields) {
        const QString key = QLatin1String(f.key);
        const QString path = where.isEmpty() ? key : where + QLatin1Char('.') + key;
        const OrderedJson* v = o.member(key);
        if (!v)
            continue;   // reported with the key list
        if (!kindMatches(f.kind, v->kind)) {
            *out << QStringLiteral("%1: %2, expected %3").arg(path, kindName(v->kind), kindWord(f.kind));
            continue;
        }
        if (v->kind == OrderedJson::Number)
            checkNumberText(*v, path, out);
        if (f.kind == 'o' && f.items)
            checkObject(*v, *f.items, path, out);
        if (f.kind == 'a' && f.items) {
            for (size_t i = 0; i < v->items.size(); ++i) {
                const QString ip = QStringLiteral("%1[%2]").arg(path).arg(i);
                if (v->items[i].kind != OrderedJson::Object)
                    *out << QStringLiteral("%1: %2, expected object").arg(ip, kindName(v->items[i].kind));
                else
                    checkObject(v->items[i], *f.items, ip, out);
            }
        }
    }
}

// Rules that go beyond keys and kinds.
void checkJsonRules(int type, const OrderedJson& top, QStringList* out)
{
    if (type == 2) {
        const OrderedJson* cams = top.member(QStringLiteral("camera"));
        if (cams && cams->kind == OrderedJson::Array && cams->items.size() != 8)
            *out << QStringLiteral("camera: %1 objects, expected 8").arg(cams->items.size());
    }
    if (type == 8) {
        const OrderedJson* count = top.member(QStringLiteral("count"));
        const OrderedJson* roi = top.member(QStringLiteral("roi"));
        if (count && roi && count->kind == OrderedJson::Number && roi->kind == OrderedJson::Array
            && count->numberText.toLongLong() != qint64(roi->items.size()))
            *out << QStringLiteral("count %1 but %2 areas").arg(QString::fromLatin1(count->numberText)).arg(roi->items.size());
    }
    // Times are milliseconds since the epoch: whole and plausible (13 digits
    // from 2001 on).
    for (const char* key : {"utc", "bind_utc", "start_utc"}) {
        const OrderedJson* t = top.member(QLatin1String(key));
        if (t && t->kind == OrderedJson::Number) {
            const QByteArray& s = t->numberText;
            bool digits = !s.isEmpty();
            for (char c : s) digits = digits && c >= '0' && c <= '9';
            if (!digits || s.size() > 13 + 1)
                *out << QStringLiteral("%1: %2 is not ms since the epoch").arg(QLatin1String(key), QString::fromLatin1(s));
        }
    }
}

bool isDecimal(const QString& s, bool allowMinus = false)
{
    if (s.isEmpty()) return false;
    int i = allowMinus && s.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i)
        if (!s[i].isDigit() || s[i].unicode() > 127) return false;
    return true;
}

} // namespace

bool readOrderedJson(const QByteArray& text, OrderedJson* out, QString* error)
{
    *out = OrderedJson();
    Reader r(text);
    return r.document(out, error);
}

QStringList formKeys(int type)
{
    switch (type) {
    case 1: return {"device_id", "operater", "utc", "description"};
    case 11: return {"deviceId", "cameraId", "detectId", "template", "utc", "operator"};
    case 15: return {"device_id", "camera_id", "product", "isng"};
    case 16: return {"device_id", "check_id", "product_count", "worker_name", "mobile"};
    default: return {};
    }
}

QStringList jsonKeys(int type)
{
    QStringList k;
    if (const Schema* s = schemaFor(type))
        for (const Field& f : s->fields)
            k << QLatin1String(f.key);
    return k;
}

BodyCheck checkBody(int type, const QByteArray& body)
{
    BodyCheck r;
    QStringList& v = r.violations;
    if (type < 0 || type > kMaxType) {
        v << QStringLiteral("unknown type %1").arg(type);
        return r;
    }
    if (isNeverSent(type)) {
        v << QStringLiteral("type %1 is never sent").arg(type);
        return r;
    }
    if (type == 14 || type == 17) {
        if (!body.isEmpty())
            v << QStringLiteral("body of %1 bytes, expected empty").arg(body.size());
        return r;
    }
    if (!isValidUtf8(body))
        v << QStringLiteral("body is not valid UTF-8");
    if (body.contains('\0'))
        v << QStringLiteral("body holds a NUL byte");
    const QString text = QString::fromUtf8(body);

    if (type == 5 || type == 6) {
        r.fields.insert(QStringLiteral("path"), text);
        const QFileInfo fi(text);
        if (text.isEmpty() || !text.startsWith(QLatin1Char('/')))
            v << QStringLiteral("path \"%1\" is not absolute").arg(text);
        else if (!fi.exists())
            v << QStringLiteral("path \"%1\" does not exist").arg(text);
        else if (!fi.isFile() || !fi.isReadable())
            v << QStringLiteral("path \"%1\" is not a readable file").arg(text);
        return r;
    }

    const QStringList keys = formKeys(type);
    if (!keys.isEmpty()) {
        // Keys in order, values unescaped: every value but the last ends at
        // the next "&"; the last key takes the rest.
        qsizetype pos = 0;
        for (int k = 0; k < keys.size(); ++k) {
            const QString head = keys[k] + QLatin1Char('=');
            if (text.mid(pos, head.size()) != head) {
                v << QStringLiteral("form: expected \"%1\" at %2").arg(head).arg(pos);
                break;
            }
            pos += head.size();
            QString value;
            if (k + 1 == keys.size()) {
                value = text.mid(pos);
            } else {
                const qsizetype amp = text.indexOf(QLatin1Char('&'), pos);
                if (amp < 0) {
                    v << QStringLiteral("form: \"%1\" is not followed by \"&\"").arg(keys[k]);
                    r.fields.insert(keys[k], text.mid(pos));
                    break;
                }
                value = text.mid(pos, amp - pos);
                pos = amp + 1;
            }
            r.fields.insert(keys[k], value);
        }
        auto number = [&](const char* key, bool allowMinus = false) {
            const QString k = QLatin1String(key);
            if (r.fields.contains(k) && !isDecimal(r.fields.value(k).toString(), allowMinus))
                v << QStringLiteral("form: %1 \"%2\" is not a number").arg(k, r.fields.value(k).toString());
        };
        number("utc");
        if (type == 11) { number("cameraId"); number("detectId"); }
        if (type == 15) {
            number("camera_id");
            const QString ng = r.fields.value(QStringLiteral("isng")).toString();
            if (r.fields.contains(QStringLiteral("isng")) && ng != QLatin1String("0") && ng != QLatin1String("1"))
                v << QStringLiteral("form: isng \"%1\" is not 0 or 1").arg(ng);
        }
        if (type == 16) { number("check_id"); number("product_count"); }
        return r;
    }

    const Schema* schema = schemaFor(type);
    if (!schema)
        return r;   // nothing else is sent
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError) {
        v << QStringLiteral("not JSON: %1 at %2").arg(pe.errorString()).arg(pe.offset);
        return r;
    }
    if (!doc.isObject()) {
        v << QStringLiteral("JSON is not an object");
        return r;
    }
    r.fields = doc.object();
    OrderedJson top;
    QString err;
    if (!readOrderedJson(body, &top, &err)) {
        v << QStringLiteral("JSON: %1").arg(err);
        return r;
    }
    checkObject(top, *schema, QString(), &v);
    checkJsonRules(type, top, &v);
    return r;
}

} // namespace relaypeer
