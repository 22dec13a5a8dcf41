#include "resstatisticsparam.h"

#include "cameraglobals.h"
#include "clock.h"
#include "databaseopener.h"
#include "messages.h"
#include "recordswriter.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <glog/logging.h>

#include <mutex>

ResStatisticsParam* gpResStatisticsParam = nullptr;

const char* const ResStatisticsParam::kConnection = "dbResStatistics";
const char* const ResStatisticsParam::kFile = "ResStatistics.db";
const char* const ResStatisticsParam::kTemplate = "ResStatisticsNULL.db";
const char* const ResStatisticsParam::kTimeFile = "restime.txt";
const char* const ResStatisticsParam::kArchiveDir = "./ResStatistics";

// ---- records and their sums -------------------------------------------

void initStuCountDetect(CountDetect& c) { c = CountDetect{}; }
void initStuCountCamera(CountCamera& c) { c = CountCamera{}; }
void initStuCountAllCamera(CountAllCamera& c) { c = CountAllCamera{}; }

void clcCount(CountDetect& c)
{
    c.ngMorning = c.okMorning = c.ngNight = c.okNight = c.ngTotal = c.okTotal = 0;
    for (int i = 0; i < kStatHours; ++i) {
        const bool morning = i >= 8 && i <= 19;
        (morning ? c.okMorning : c.okNight) += c.okHour[i];
        (morning ? c.ngMorning : c.ngNight) += c.ngHour[i];
        c.okTotal += c.okHour[i];
        c.ngTotal += c.ngHour[i];
    }
}

void clcCount(CountCamera& c)
{
    c.total.okHour.fill(0);
    c.total.ngHour.fill(0);
    for (CountDetect& d : c.detects) {
        clcCount(d);
        for (int h = 0; h < kStatHours; ++h) {
            c.total.okHour[h] += d.okHour[h];
            c.total.ngHour[h] += d.ngHour[h];
        }
    }
    clcCount(c.total);
}

void clcCount(CountAllCamera& c)
{
    for (CountCamera& cam : c.cameras)
        clcCount(cam);
    for (int d = 0; d < kStatSlots; ++d) {
        CountDetect& sum = c.total.detects[d];
        sum.okHour.fill(0);
        sum.ngHour.fill(0);
        for (const CountCamera& cam : c.cameras)
            for (int h = 0; h < kStatHours; ++h) {
                sum.okHour[h] += cam.detects[d].okHour[h];
                sum.ngHour[h] += cam.detects[d].ngHour[h];
            }
    }
    clcCount(c.total);
}

CountDetect* selectCount(CountAllCamera& day, int camera, int detection)
{
    if (camera < 0 || camera > StatIndexAll || detection < 0 || detection > StatIndexAll)
        return nullptr;
    CountCamera& cam = camera == StatIndexAll ? day.total : day.cameras[camera];
    return detection == StatIndexAll ? &cam.total : &cam.detects[detection];
}

const CountDetect* selectCount(const CountAllCamera& day, int camera, int detection)
{
    return selectCount(const_cast<CountAllCamera&>(day), camera, detection);
}

QString statisticsRowText(const HourCounts& hours)
{
    QString text;
    text.reserve(kStatHours * 3);
    for (int v : hours) {
        text += QString::number(v);
        text += QLatin1Char(' ');
    }
    return text;
}

HourCounts parseStatisticsRow(const QString& text)
{
    HourCounts hours{};
    const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")),
                                         Qt::SkipEmptyParts);
    for (int i = 0; i < words.size() && i < kStatHours; ++i)
        hours[i] = words[i].toInt();
    return hours;
}

QString statisticsRowName(int camera, int detection)
{
    return QStringLiteral("C%1_D%2").arg(camera).arg(detection);
}

QDateTime statisticsDayStartOf(const QDateTime& at)
{
    const QDateTime local = at.toLocalTime();
    QDate date = local.date();
    if (local.time().hour() < 8)
        date = date.addDays(-1);
    return QDateTime(date, QTime(8, 0));
}

QString statisticsDateOf(const QDateTime& at)
{
    return statisticsDayStartOf(at).date().toString(QStringLiteral("yyyy-MM-dd"));
}

namespace {

// The rows a day is read and written with: cameras below numCameras and
// detections below detections, each camera's aggregate after its
// detections, then camera 8 in the same way.
QList<QPair<int, int>> rowsInUse(int numCameras, int detections)
{
    numCameras = qBound(0, numCameras, kStatSlots);
    detections = qBound(0, detections, kStatSlots);
    QList<QPair<int, int>> rows;
    for (int c = 0; c < numCameras; ++c) {
        for (int d = 0; d < detections; ++d)
            rows.append({c, d});
        rows.append({c, StatIndexAll});
    }
    for (int d = 0; d < detections; ++d)
        rows.append({StatIndexAll, d});
    rows.append({StatIndexAll, StatIndexAll});
    return rows;
}

} // namespace

bool loadCount(CountAllCamera& day, QSqlQuery& query, int numCameras, int detections)
{
    initStuCountAllCamera(day);
    if (!query.exec(QStringLiteral("select name ,value1 ,value2 from resstatistics"))) {
        LOG(ERROR) << "statistics: cannot read the table: "
                   << query.lastError().text().toStdString();
        return false;
    }
    QHash<QString, QPair<QString, QString>> byName;
    while (query.next())
        byName.insert(query.value(0).toString(), {query.value(1).toString(), query.value(2).toString()});
    for (const auto& [c, d] : rowsInUse(numCameras, detections)) {
        const auto it = byName.constFind(statisticsRowName(c, d));
        if (it == byName.constEnd())
            continue;
        CountDetect* rec = selectCount(day, c, d);
        rec->okHour = parseStatisticsRow(it->first);
        rec->ngHour = parseStatisticsRow(it->second);
    }
    return true;
}

// ---- the writer's side ---------------------------------------------------

// What the GUI thread hands the writer: the latest counts and the shape in
// use when they were taken.
struct ResStatisticsParam::Shared {
    std::mutex mutex;
    CountAllCamera counts;
    int numCameras = 0;
    int detections = 0;
};

namespace {

const QString kCreateStatistics =
    QStringLiteral("CREATE TABLE IF NOT EXISTS resstatistics(name VARCHAR(16), value1 TEXT, value2 TEXT)");

QString zeroRow() { return statisticsRowText(HourCounts{}); }

// Adds the table and every one of the 81 rows the file lacks.
bool ensureRows(QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(kCreateStatistics)) {
        LOG(ERROR) << "statistics: cannot make the table: " << q.lastError().text().toStdString();
        return false;
    }
    QSet<QString> present;
    if (q.exec(QStringLiteral("select name from resstatistics")))
        while (q.next())
            present.insert(q.value(0).toString());
    QStringList missing;
    for (int c = 0; c <= StatIndexAll; ++c)
        for (int d = 0; d <= StatIndexAll; ++d)
            if (!present.contains(statisticsRowName(c, d)))
                missing << statisticsRowName(c, d);
    if (missing.isEmpty())
        return true;
    db.transaction();
    q.prepare(QStringLiteral("insert into resstatistics (name, value1, value2) values (?, ?, ?)"));
    for (const QString& name : std::as_const(missing)) {
        q.addBindValue(name);
        q.addBindValue(zeroRow());
        q.addBindValue(zeroRow());
        q.exec();
    }
    const bool ok = db.commit();
    LOG(WARNING) << "statistics: " << missing.size() << " missing rows added to "
                 << db.databaseName().toStdString();
    return ok;
}

} // namespace

bool ResStatisticsParam::makeTemplate(const QString& path)
{
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    const QString name = QStringLiteral("dbResStatisticsTemplate");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(part);
        ok = db.open() && ensureRows(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    ok = ok && QFile::rename(part, path);
    if (!ok) {
        QFile::remove(part);
        LOG(ERROR) << "statistics: cannot make the template " << path.toStdString();
    } else {
        LOG(INFO) << "statistics: template " << path.toStdString() << " made";
    }
    return ok;
}

namespace {

void writeCounts(const CountAllCamera& counts, int numCameras, int detections)
{
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(ResStatisticsParam::kConnection), false);
    if (!db.isValid() || (!db.isOpen() && !db.open())) {
        LOG(ERROR) << "statistics: " << ResStatisticsParam::kFile << " not open; counts not written";
        return;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("update resstatistics set value1 = ?, value2 = ? where name = ?"));
    for (const auto& [c, d] : rowsInUse(numCameras, detections)) {
        const CountDetect* rec = selectCount(counts, c, d);
        q.addBindValue(statisticsRowText(rec->okHour));
        q.addBindValue(statisticsRowText(rec->ngHour));
        q.addBindValue(statisticsRowName(c, d));
        if (!q.exec()) {
            LOG(ERROR) << "statistics: row " << statisticsRowName(c, d).toStdString()
                       << " not written: " << q.lastError().text().toStdString();
            return;
        }
    }
}

struct OpenResult {
    bool open = false;
    bool fresh = false;       // made this run (from the template or empty)
    bool notice = false;      // damaged and set aside, or not usable
    QString detail;
    CountAllCamera counts;
};

// Opens ResStatistics.db on the writer's connection (the template made
// first when missing), adds what it lacks and reads it.
OpenResult openOnWriter(RecordsWriter& writer, int numCameras, int detections)
{
    OpenResult r;
    const QString file = QString::fromLatin1(ResStatisticsParam::kFile);
    const QString tmpl = QString::fromLatin1(ResStatisticsParam::kTemplate);
    if (!QFileInfo::exists(tmpl))
        ResStatisticsParam::makeTemplate(tmpl);
    const QString connection = QString::fromLatin1(ResStatisticsParam::kConnection);
    const DatabaseOpenResult o = DatabaseOpener::Open(connection, file, tmpl);
    writer.adoptConnection(connection);
    r.fresh = o.fromDefault || o.created || o.restored;
    r.notice = o.restored || !o.ok;
    r.detail = o.ok ? o.movedAsideTo : o.error;
    if (!o.ok && !o.busy)
        return r;
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    r.open = db.isOpen() && ensureRows(db);
    if (r.open) {
        QSqlQuery q(db);
        loadCount(r.counts, q, numCameras, detections);
    }
    return r;
}

} // namespace

// ---- the store -------------------------------------------------------------

ResStatisticsParam::ResStatisticsParam(RecordsWriter& writer, const QString& archiveDir)
    : writer_(writer), archiveDir_(archiveDir), shared_(std::make_shared<Shared>())
{
    const int cams = numCamera;
    const int dets = gDNum;
    const OpenResult r = writer_.call([&] { return openOnWriter(writer_, cams, dets); });
    fileOpen_ = r.open;
    liveCounts = r.counts;
    clcCount(liveCounts);
    initStuCountAllCamera(shownCounts);
    if (r.notice) {
        LOG(ERROR) << "statistics: " << kFile << " was damaged or does not open ("
                   << r.detail.toStdString() << "); counting goes on";
        if (!gpWarnBox)
            gpWarnBox = new WarnBox(nullptr);
        gpWarnBox->setText(Msg(kDamagedMessage), kDamagedMessage);
        gpWarnBox->exec();
    }
    freshFile_ = r.fresh;
    readTime();
    checkDate();
}

ResStatisticsParam::~ResStatisticsParam()
{
    flush();
}

int ResStatisticsParam::Add(const QDateTime& at, bool isOK, int camera, int detection)
{
    // Only cameras and detections in use have rows that are saved and
    // loaded; a count elsewhere would change the aggregates until the next
    // start and then vanish.
    if (camera < 0 || camera >= qMin(numCamera, kStatSlots) || detection < 0
        || detection >= qMin(gDNum, kStatSlots)) {
        LOG(ERROR) << "statistics: verdict of camera " << camera << " detection " << detection
                   << " out of range; not counted";
        return 1;
    }
    checkDate(at);
    CountDetect& rec = liveCounts.cameras[camera].detects[detection];
    const int hour = at.toLocalTime().time().hour();
    (isOK ? rec.okHour : rec.ngHour)[hour] += 1;
    clcCount(liveCounts);
    save();
    if (observer_ && observer_->showsCurrentDay()) {
        setFindCount();
        observer_->checkUpdate();
    }
    return 1;
}

int ResStatisticsParam::Add(int hour, bool isOK, int camera, int detection)
{
    if (hour < 0 || hour >= kStatHours) {
        LOG(ERROR) << "statistics: verdict in hour " << hour << " out of range; not counted";
        return 1;
    }
    const QDateTime now = appClock().now();
    return Add(QDateTime(now.date(), QTime(hour, now.time().minute(), now.time().second())),
               isOK, camera, detection);
}

int ResStatisticsParam::getCount(ShiftType shift, bool isOK, int camera, int detection) const
{
    const CountDetect* rec = selectCount(shownCounts, camera, detection);
    if (!rec)
        return 0;
    switch (shift) {
    case ShiftMorning: return isOK ? rec->okMorning : rec->ngMorning;
    case ShiftNight: return isOK ? rec->okNight : rec->ngNight;
    case ShiftWholeDay: return isOK ? rec->okTotal : rec->ngTotal;
    }
    return 0;
}

QList<int> ResStatisticsParam::getRes(ShiftType shift, bool isOK, int camera, int detection) const
{
    const CountDetect* rec = selectCount(shownCounts, camera, detection);
    if (!rec)
        return {};
    const HourCounts& hours = isOK ? rec->okHour : rec->ngHour;
    QList<int> out;
    switch (shift) {
    case ShiftMorning:
        for (int h = 8; h <= 19; ++h)
            out << hours[h];
        break;
    case ShiftNight:
        for (int k = 0; k < 12; ++k)
            out << hours[(20 + k) % 24];
        break;
    case ShiftWholeDay:
        for (int h = 0; h < kStatHours; ++h)
            out << hours[h];
        break;
    }
    return out;
}

void ResStatisticsParam::setFindCount()
{
    shownCounts = liveCounts;
    clcCount(shownCounts);
}

bool ResStatisticsParam::setFindCount(QSqlQuery& query)
{
    const bool ok = loadCount(shownCounts, query, numCamera, gDNum);
    clcCount(shownCounts);
    return ok;
}

void ResStatisticsParam::checkDate() { checkDate(appClock().now()); }

void ResStatisticsParam::checkDate(const QDateTime& now)
{
    const QString newDate = statisticsDateOf(now);
    if (newDate == statisticsDate)
        return;
    if (!NextDay(newDate))
        return;   // the old day stays; tried again at the next check
    dayStart = quint32(statisticsDayStartOf(now).toSecsSinceEpoch());
    writeTime();
    if (observer_)
        observer_->updateList();
}

QString ResStatisticsParam::archivePathFor(const QString& date) const
{
    const QDir dir(archiveDir_);
    QString path = dir.absoluteFilePath(date + QStringLiteral(".db"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.absoluteFilePath(QStringLiteral("%1_%2.db").arg(date).arg(n));
    return path;
}

bool ResStatisticsParam::NextDay(const QString& newDate)
{
    save();
    const QString closing = statisticsDate;
    const int cams = numCamera;
    const int dets = gDNum;
    struct Outcome {
        bool archived = false;
        bool open = false;
        QString detail;
    };
    const Outcome o = writer_.call([&] {
        Outcome out;
        const QString connection = QString::fromLatin1(kConnection);
        const QString file = QString::fromLatin1(kFile);
        {
            QSqlDatabase db = QSqlDatabase::database(connection, false);
            if (db.isValid())
                db.close();
        }
        if (QFileInfo::exists(file)) {
            QDir().mkpath(archiveDir_);
            const QString target = archivePathFor(closing.isEmpty() ? QStringLiteral("unknown") : closing);
            // rename never replaces an existing file.
            if (!QFile::rename(file, target) || !QFileInfo::exists(target) || QFileInfo::exists(file)) {
                out.detail = QStringLiteral("cannot move %1 to %2").arg(file, target);
                QSqlDatabase db = QSqlDatabase::database(connection, false);
                if (db.isValid())
                    db.open();
                return out;
            }
            out.detail = target;
        }
        out.archived = true;
        out.open = openOnWriter(writer_, cams, dets).open;
        return out;
    });
    if (!o.archived) {
        LOG(ERROR) << "statistics: day " << closing.toStdString() << " not closed: "
                   << o.detail.toStdString() << "; kept, tried again at the next check";
        return false;
    }
    LOG(INFO) << "statistics: day " << closing.toStdString() << " archived as "
              << o.detail.toStdString() << "; new day " << newDate.toStdString();
    fileOpen_ = o.open;
    statisticsDate = newDate;
    initStuCountAllCamera(liveCounts);
    save();
    return true;
}

bool ResStatisticsParam::save()
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->counts = liveCounts;
        shared_->numCameras = numCamera;
        shared_->detections = gDNum;
    }
    std::shared_ptr<Shared> shared = shared_;
    writer_.post(
        [shared] {
            CountAllCamera counts;
            int cams, dets;
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                counts = shared->counts;
                cams = shared->numCameras;
                dets = shared->detections;
            }
            writeCounts(counts, cams, dets);
        },
        QString::fromLatin1(kConnection), QStringLiteral("statistics-save"));
    return fileOpen_;
}

void ResStatisticsParam::flush() { writer_.flush(); }

void ResStatisticsParam::readTime()
{
    QFile f(QString::fromLatin1(kTimeFile));
    bool valid = false;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray text = f.readAll().trimmed();
        bool ok = false;
        const qulonglong v = text.toULongLong(&ok);
        valid = ok && v > 0 && v <= 0xFFFFFFFFull;
        if (valid)
            dayStart = quint32(v);
    }
    if (!valid) {
        // No usable day start: the current file belongs to the statistics
        // day it was last written in (a file made just now: the present day).
        QDateTime when = appClock().now();
        const QFileInfo file(QString::fromLatin1(kFile));
        if (!freshFile_ && file.exists() && file.lastModified().isValid())
            when = file.lastModified();
        LOG(WARNING) << "statistics: " << kTimeFile << " missing or unreadable; day dated "
                     << statisticsDateOf(when).toStdString();
        dayStart = quint32(statisticsDayStartOf(when).toSecsSinceEpoch());
        writeTime();
    }
    statisticsDate = statisticsDateOf(QDateTime::fromSecsSinceEpoch(dayStart));
}

void ResStatisticsParam::writeTime()
{
    QSaveFile f(QString::fromLatin1(kTimeFile));
    if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray::number(dayStart)) < 0 || !f.commit())
        LOG(ERROR) << "statistics: cannot write " << kTimeFile;
}

QStringList ResStatisticsParam::archiveNames() const
{
    return QDir(archiveDir_).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
}
