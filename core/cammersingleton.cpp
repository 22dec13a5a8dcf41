#include "cammersingleton.h"

#include "messages.h"
#include "modalhook.h"
#include "namevaluerows.h"
#include "relaylink.h"
#include "storedints.h"

#include <QSqlError>
#include <QSqlQuery>

#include <glog/logging.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDefaultA = 3;
constexpr int kDefaultB = 45;
constexpr int kDefaultC = 100;
const QRect kDefaultRect(QPoint(50, 50), QPoint(100, 100));   // view coordinates

template <typename T, size_t N>
bool sameInts(const T (&a)[N], const T (&b)[N])
{
    return std::memcmp(a, b, sizeof(a)) == 0;
}

QString queryError(const QSqlQuery& q)
{
    return q.lastError().text();
}

} // namespace

// ---------------------------------------------------------------------------

CammerSingleton::CammerSingleton(int camera)
    : cameraIndex(camera)
{
    std::memset(roiCount, 0, sizeof(roiCount));
    std::memset(roiMinSize, 0, sizeof(roiMinSize));
    std::memset(roiSensibility, 0, sizeof(roiSensibility));
    std::memset(roiMaxArea, 0, sizeof(roiMaxArea));
    std::memset(roiMethod, 0, sizeof(roiMethod));
    std::memset(roiShape, 0, sizeof(roiShape));
    std::memset(roiOutput, 0, sizeof(roiOutput));
    std::memset(detectOptions, 0, sizeof(detectOptions));
    std::memset(roiNgCount, 0, sizeof(roiNgCount));
    std::memset(countUnusable, 0, sizeof(countUnusable));
    std::memset(rowKept, 0, sizeof(rowKept));
}

bool CammerSingleton::operator==(const CammerSingleton& o) const
{
    if (cameraIndex != o.cameraIndex || !sameInts(roiCount, o.roiCount) || !sameInts(roiMinSize, o.roiMinSize)
        || !sameInts(roiSensibility, o.roiSensibility) || !sameInts(roiMaxArea, o.roiMaxArea)
        || !sameInts(roiMethod, o.roiMethod) || !sameInts(roiShape, o.roiShape) || !sameInts(roiOutput, o.roiOutput)
        || !sameInts(detectOptions, o.detectOptions) || !sameInts(roiNgCount, o.roiNgCount))
        return false;
    for (int d = 0; d < kDetections; ++d) {
        for (int i = 0; i < kAreas; ++i) {
            if (roiRect[d][i] != o.roiRect[d][i] || roiCircle[d][i] != o.roiCircle[d][i]
                || roiPolygon[d][i] != o.roiPolygon[d][i])
                return false;
        }
    }
    return true;
}

cv::Rect CammerSingleton::AreaImageRect(int d, int i) const
{
    switch (roiShape[d][i]) {
    case RoiShapeRect:
        return roiRect[d][i].ImageRect();
    case RoiShapeCircle:
        return roiCircle[d][i].ImageRect();
    default:
        return roiPolygon[d][i].ImageRect();
    }
}

cv::Mat CammerSingleton::UpdateAreaMask(int d, int i)
{
    switch (roiShape[d][i]) {
    case RoiShapeRect:
        roiRect[d][i].setImageRect();
        return roiRect[d][i].UpdateMask();
    case RoiShapeCircle:
        roiCircle[d][i].setImageRect();
        return roiCircle[d][i].UpdateMask();
    default:
        roiPolygon[d][i].setImageRect();
        return roiPolygon[d][i].UpdateMask();
    }
}

void CammerSingleton::RebuildMasks(AreaMaskArray& masks)
{
    for (int d = 0; d < kDetections; ++d) {
        const int n = std::clamp(roiCount[d], 0, kAreas);
        for (int i = 0; i < kAreas; ++i)
            masks[d][i] = i < n ? UpdateAreaMask(d, i) : cv::Mat();
    }
}

cv::Mat CammerSingleton::SetDefaultArea(int d, int i)
{
    roiMinSize[d][i] = kDefaultA;
    roiSensibility[d][i] = kDefaultB;
    roiMaxArea[d][i] = kDefaultC;
    roiMethod[d][i] = AreaFuncDefect;
    roiShape[d][i] = RoiShapeRect;
    roiOutput[i] = 0;
    roiRect[d][i].rect = kDefaultRect;
    roiRect[d][i].setImageRect();
    return roiRect[d][i].UpdateMask();
}

bool CammerSingleton::IsDefaultArea(int d, int i) const
{
    return roiMinSize[d][i] == kDefaultA && roiSensibility[d][i] == kDefaultB && roiMaxArea[d][i] == kDefaultC
           && roiMethod[d][i] == AreaFuncDefect && roiShape[d][i] == RoiShapeRect && roiRect[d][i].rect == kDefaultRect;
}

// ---------------------------------------------------------------------------
// Row texts

QString CammerSingleton::DetectRowText(int d) const
{
    QVector<int> v;
    v.reserve(1 + kDetectOptions);
    v << roiCount[d];
    for (int k = 0; k < kDetectOptions; ++k)
        v << detectOptions[d][k];
    return JoinStoredInts(v);
}

QString CammerSingleton::NgCountRowText(int d) const
{
    QString s;
    for (int i = 0; i < kAreas; ++i)
        s += QString::number(roiNgCount[d][i]) + QLatin1Char(' ');
    return s;
}

QString CammerSingleton::RoiRowText(int d, int i) const
{
    QString s = QStringLiteral("%1 %2 %3 %4 %5 %6 ")
                    .arg(roiMinSize[d][i])
                    .arg(roiSensibility[d][i])
                    .arg(roiMaxArea[d][i])
                    .arg(roiMethod[d][i])
                    .arg(roiShape[d][i])
                    .arg(roiOutput[i]);
    switch (roiShape[d][i]) {
    case RoiShapeRect: {
        const QRect& r = roiRect[d][i].rect;
        s += QStringLiteral("%1 %2 %3 %4 %5").arg(0).arg(r.left()).arg(r.top()).arg(r.right()).arg(r.bottom());
        break;
    }
    case RoiShapeCircle: {
        const Circle& c = roiCircle[d][i];
        const qint64 r = static_cast<qint64>(c.r2) * 65536 + c.r1;
        s += QStringLiteral("%1 %2 %3 %4").arg(0).arg(c.cx).arg(c.cy).arg(static_cast<int>(r));
        break;
    }
    case RoiShapePolygon: {
        const RePolygon& p = roiPolygon[d][i];
        s += QString::number(p.count()) + QLatin1Char(' ');
        for (const QPoint& pt : p.points())
            s += QString::number(pt.x()) + QLatin1Char(' ') + QString::number(pt.y()) + QLatin1Char(' ');
        break;
    }
    default:
        break;
    }
    return s;
}

cv::Mat CammerSingleton::ParseRoiRow(int d, int i, const QByteArray& value, bool* repaired)
{
    if (repaired)
        *repaired = false;
    // The output number is shared by the area index of every detection:
    // an unusable row must not change the other detections' areas.
    auto takeDefault = [&]() {
        if (repaired)
            *repaired = true;
        const int output = roiOutput[i];
        cv::Mat mask = SetDefaultArea(d, i);
        roiOutput[i] = output;
        return mask;
    };

    // Every item must be a whole number; past the items every value reads 0.
    QVector<int> items;
    if (!ParseWholeInts(value, &items, 6 + 1 + 2 * RePolygon::kMaxPoints) || items.size() < 5)
        return takeDefault();
    int at = 0;
    auto next = [&]() { return at < items.size() ? items[at++] : 0; };
    const int a = next();
    const int b = next();
    const int c = next();
    const int method = next();
    const int shape = next();
    int output = next();
    const int v = next();
    if (static_cast<unsigned>(output) > 3u)
        output = 0;

    // A method the engine does not know, or a shape code without an outline,
    // would leave the area without a usable mask: take the default area.
    if (method < 0 || method >= kAreaFuncCount)
        return takeDefault();

    switch (shape) {
    case RoiShapePolygon: {
        if (v < 1 || v > RePolygon::kMaxPoints)
            return takeDefault();
        std::vector<QPoint> pts;
        pts.reserve(static_cast<size_t>(v));
        for (int k = 0; k < v; ++k) {
            int x = next();
            int y = next();
            CheckInRange(x, 1);
            CheckInRange(y, 0);
            pts.emplace_back(x, y);
        }
        roiPolygon[d][i].setPoints(pts);
        break;
    }
    case RoiShapeCircle: {
        int cx = next();
        int cy = next();
        CheckInRange(cx, 1);
        CheckInRange(cy, 0);
        const quint32 packed = static_cast<quint32>(next());
        Circle& circle = roiCircle[d][i];
        circle.cx = cx;
        circle.cy = cy;
        circle.r1 = static_cast<int>(packed & 0xFFFFu);
        circle.r2 = static_cast<int>(packed >> 16);
        circle.UpdateRect();
        break;
    }
    case RoiShapeRect: {
        int left = next();
        int top = next();
        CheckInRange(left, 1);
        CheckInRange(top, 0);
        int right = next();
        int bottom = next();
        CheckInRange(right, 1);
        CheckInRange(bottom, 0);
        // Corners stored the wrong way round still describe the same area.
        roiRect[d][i].rect = QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                                   QPoint(std::max(left, right), std::max(top, bottom)));
        break;
    }
    default:
        return takeDefault();
    }

    roiMinSize[d][i] = a;
    roiSensibility[d][i] = b;
    roiMaxArea[d][i] = c;
    roiMethod[d][i] = method;
    roiShape[d][i] = shape;
    roiOutput[i] = output;
    return UpdateAreaMask(d, i);
}

// ---------------------------------------------------------------------------
// Storage

bool CammerSingleton::ensureTable(QSqlDatabase& db)
{
    if (!db.isOpen()) {
        lastError_ = QStringLiteral("%1: database is not open").arg(tableName());
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("create table if not exists %1 (name text, value text)").arg(tableName()))) {
        lastError_ = QStringLiteral("%1: cannot create table: %2").arg(tableName(), queryError(q));
        return false;
    }
    return true;
}

namespace {

// The row helpers, with the table and row named in the error text.

// select value from <table> where name=<name>.  False on a statement failure.
bool selectValue(QSqlDatabase& db, const QString& table, const QString& name, QByteArray* value, bool* found,
                 QString* error)
{
    value->clear();
    const namevaluerows::Lookup lookup = namevaluerows::Select(db, table, name, value, error);
    if (lookup == namevaluerows::Lookup::Failed || lookup == namevaluerows::Lookup::Busy) {
        *error = QStringLiteral("%1: select %2: %3").arg(table, name, *error);
        *found = false;
        return false;
    }
    *found = lookup == namevaluerows::Lookup::Found;
    return true;
}

bool insertRow(QSqlDatabase& db, const QString& table, const QString& name, const QString& value, QString* error)
{
    if (namevaluerows::Insert(db, table, name, value, error))
        return true;
    *error = QStringLiteral("%1: insert %2: %3").arg(table, name, *error);
    return false;
}

// Reads the row, inserting "0" when it does not exist.  *found tells
// whether value holds a stored text.  False on a statement failure.
bool selectOrInsertZero(QSqlDatabase& db, const QString& table, const QString& name, QByteArray* value,
                        bool* found, QString* error)
{
    if (!selectValue(db, table, name, value, found, error))
        return false;
    return *found || insertRow(db, table, name, QStringLiteral("0"), error);
}

// Updates the row, inserting it when it does not exist.
bool writeRow(QSqlDatabase& db, const QString& table, const QString& name, const QString& value, QString* error)
{
    int affected = 0;
    if (!namevaluerows::Update(db, table, name, value, error, &affected)) {
        *error = QStringLiteral("%1: update %2: %3").arg(table, name, *error);
        return false;
    }
    if (affected > 0)
        return true;
    return insertRow(db, table, name, value, error);
}

bool deleteRow(QSqlDatabase& db, const QString& table, const QString& name, QString* error)
{
    if (namevaluerows::Delete(db, table, name, error))
        return true;
    *error = QStringLiteral("%1: delete %2: %3").arg(table, name, *error);
    return false;
}

} // namespace

bool CammerSingleton::LoadDatafromFile(QSqlDatabase db, AreaMaskArray* masks, const WarnHandler& warn)
{
    lastError_.clear();
    if (!ensureTable(db)) {
        unreadRows = 1;
        LOG(ERROR) << lastError_.toStdString();
        return false;
    }
    const QString table = tableName();
    bool ok = true;
    auto fail = [&](const QString& error) {
        ok = false;
        if (lastError_.isEmpty())
            lastError_ = error;
        LOG(ERROR) << error.toStdString();
    };

    unreadRows = 0;
    bool damaged = false;   // message 0 is shown once per load
    auto unread = [&](const QString& error) {
        ++unreadRows;
        fail(error);
    };

    for (int g = 0; g < kDetections; ++g) {
        countUnusable[g] = 0;
        std::memset(rowKept[g], 0, sizeof(rowKept[g]));
        QByteArray value;
        QString error;
        bool found = false;

        // 1. count and options.  A count that cannot be read or is not a
        // whole number within 0..50 loads no areas and keeps the rows.
        const QString detectName = QStringLiteral("detect%1").arg(g);
        const bool detectRead = selectOrInsertZero(db, table, detectName, &value, &found, &error);
        if (!detectRead)
            unread(error);
        {
            QVector<int> v;
            const bool parsed = !found || (ParseWholeInts(value, &v, 1 + kDetectOptions) && !v.isEmpty());
            v.resize(1 + kDetectOptions);
            roiCount[g] = v[0];
            for (int k = 0; k < kDetectOptions; ++k)
                detectOptions[g][k] = v[1 + k];
            if (!detectRead || !parsed || static_cast<unsigned>(roiCount[g]) > static_cast<unsigned>(kAreas)) {
                LOG(WARNING) << table.toStdString() << ": " << detectName.toStdString() << " \""
                             << value.left(200).toStdString() << "\" has no usable area count; its rows are kept";
                countUnusable[g] = 1;
                roiCount[g] = 0;
                damaged = damaged || detectRead;
            }
        }

        // 2. NG counters
        if (!selectOrInsertZero(db, table, QStringLiteral("detect%1NGCount").arg(g), &value, &found, &error))
            unread(error);
        {
            QVector<int> v;
            if (found && !ParseWholeInts(value, &v, kAreas)) {
                LOG(WARNING) << table.toStdString() << ": detect" << g << "NGCount is damaged; counters from 0";
                v.clear();
            }
            v.resize(kAreas);
            for (int i = 0; i < kAreas; ++i)
                roiNgCount[g][i] = v[i];
        }

        // 3. areas
        for (int i = 0; i < kAreas; ++i) {
            cv::Mat mask;
            if (i < roiCount[g]) {
                const QString name = QStringLiteral("ROI%1-%2").arg(g).arg(i);
                if (!selectValue(db, table, name, &value, &found, &error)) {
                    unread(error);
                    rowKept[g][i] = 1;   // never write over a row that was not read
                }
                bool repaired = false;
                mask = found ? ParseRoiRow(g, i, value, &repaired) : SetDefaultArea(g, i);
                if (repaired) {
                    LOG(WARNING) << table.toStdString() << ": row " << name.toStdString() << " \""
                                 << value.left(200).toStdString() << "\" is unusable; kept, the default area loaded";
                    rowKept[g][i] = 1;
                    damaged = true;
                }
            }
            if (masks)
                (*masks)[g][i] = mask;
        }
    }
    if (damaged) {
        if (warn)
            warn(0);
        else if (modal::hooked())
            modal::answer(ModalRequest{QStringLiteral("WarnBox"), 0, Msg(0)});
    }
    return ok;
}

bool CammerSingleton::SaveDatatoFile(QSqlDatabase db, bool netEnabled)
{
    lastError_.clear();
    if (!ensureTable(db)) {
        LOG(ERROR) << lastError_.toStdString();
        return false;
    }
    const QString table = tableName();
    if (unreadRows > 0) {
        lastError_ = QStringLiteral("%1: not saved: %2 rows could not be read at the last load")
                         .arg(table)
                         .arg(unreadRows);
        LOG(ERROR) << lastError_.toStdString();
        return false;
    }
    QSqlQuery sp(db);
    if (!sp.exec(QStringLiteral("savepoint cammer_save"))) {
        lastError_ = QStringLiteral("%1: cannot start the save: %2").arg(table, queryError(sp));
        LOG(ERROR) << lastError_.toStdString();
        return false;
    }

    QString error;
    bool ok = true;
    for (int g = 0; g < kDetections && ok; ++g) {
        const int count = std::clamp(roiCount[g], 0, kAreas);
        // A detection whose stored count was unusable keeps its rows until
        // it gets areas again.
        const bool keepRows = count == 0 && countUnusable[g];
        ok = (keepRows || writeRow(db, table, QStringLiteral("detect%1").arg(g), DetectRowText(g), &error))
             && writeRow(db, table, QStringLiteral("detect%1NGCount").arg(g), NgCountRowText(g), &error);
        for (int i = 0; ok && i < count; ++i) {
            if (rowKept[g][i] && IsDefaultArea(g, i))
                continue;   // still the stand-in for an unusable row
            ok = writeRow(db, table, QStringLiteral("ROI%1-%2").arg(g).arg(i), RoiRowText(g, i), &error);
        }
        for (int i = count; ok && !keepRows && i < kAreas; ++i)
            ok = deleteRow(db, table, QStringLiteral("ROI%1-%2").arg(g).arg(i), &error);
    }

    if (ok) {
        QSqlQuery rel(db);
        if (!rel.exec(QStringLiteral("release cammer_save"))) {
            ok = false;
            error = QStringLiteral("%1: cannot finish the save: %2").arg(table, queryError(rel));
        }
    }
    if (!ok) {
        QSqlQuery rb(db);
        rb.exec(QStringLiteral("rollback to cammer_save"));
        rb.exec(QStringLiteral("release cammer_save"));
        lastError_ = error;
        LOG(ERROR) << lastError_.toStdString();
        return false;
    }

    if (netEnabled && RelayReady(true)) {
        for (int g = 0; g < kDetections; ++g)
            gpNet->CNT_SendROIParam(cameraIndex, g);
    }
    return true;
}
