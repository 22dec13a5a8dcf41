#include "myxls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <glog/logging.h>
#include <xlsxwriter.h>

Myxls* gpMyxls = nullptr;

const char* const Myxls::kConnection = "dbXls";

QString statisticsHeaderText(int column)
{
    return QStringLiteral("%1:00").arg((column + 7) % 24);
}

StatisticsExportDay exportDayFromCounts(const QString& label, const CountAllCamera& counts)
{
    StatisticsExportDay day;
    day.label = label;
    for (int c = 0; c < kStatSlots; ++c) {
        // The aggregate as it is saved: the sum of the camera's detections.
        CountCamera cam = counts.cameras[c];
        clcCount(cam);
        day.okHours[c] = cam.total.okHour;
        day.ngHours[c] = cam.total.ngHour;
    }
    return day;
}

bool readExportDay(const QString& file, const QString& label, int numCameras,
                   StatisticsExportDay* day)
{
    *day = StatisticsExportDay{};
    day->label = label;
    if (!QFileInfo::exists(file)) {
        LOG(WARNING) << "statistics export: " << file.toStdString() << " missing; zeros";
        return false;
    }
    // A name of this thread's own: exports may overlap with other readers.
    const QString name = QStringLiteral("%1_%2").arg(QString::fromLatin1(Myxls::kConnection),
                                                     QUuid::createUuid().toString(QUuid::Id128));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("select name ,value1 ,value2 from resstatistics"));
            while (ok && q.next()) {
                const QString row = q.value(0).toString();
                for (int c = 0; c < numCameras && c < kStatSlots; ++c) {
                    if (row != statisticsRowName(c, StatIndexAll))
                        continue;
                    day->okHours[c] = parseStatisticsRow(q.value(1).toString());
                    day->ngHours[c] = parseStatisticsRow(q.value(2).toString());
                }
            }
            if (!ok)
                LOG(WARNING) << "statistics export: " << file.toStdString()
                             << " unreadable: " << q.lastError().text().toStdString() << "; zeros";
        } else {
            LOG(WARNING) << "statistics export: " << file.toStdString()
                         << " does not open: " << db.lastError().text().toStdString() << "; zeros";
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QList<QPair<QString, QString>> statisticsArchives(const QString& dir)
{
    QList<QPair<QString, QString>> out;
    const QDir d(dir);
    for (const QString& f : d.entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name))
        out.append({f.left(f.size() - 3), d.absoluteFilePath(f)});
    return out;
}

void Myxls::setSheet(int numCameras)
{
    book_.clear();
    for (int c = 0; c < numCameras && c < kStatSlots; ++c)
        book_.append(XlsSheet{QStringLiteral("Camera%1").arg(c), {}});
}

void Myxls::insertHead()
{
    for (XlsSheet& sheet : book_) {
        sheet.cells.insert({0, 0}, QStringLiteral("日期"));
        for (int col = 1; col <= kStatHours; ++col)
            sheet.cells.insert({0, col}, statisticsHeaderText(col));
    }
}

void Myxls::insertRes(int row, const StatisticsExportDay& day)
{
    for (int c = 0; c < book_.size(); ++c) {
        XlsSheet& sheet = book_[c];
        sheet.cells.insert({row, 0}, day.label + QStringLiteral("-ok"));
        sheet.cells.insert({row + 1, 0}, day.label + QStringLiteral("-ng"));
        for (int col = 1; col <= kStatHours; ++col) {
            const int hour = (col + 7) % 24;
            sheet.cells.insert({row, col}, day.okHours[c][hour]);
            sheet.cells.insert({row + 1, col}, day.ngHours[c][hour]);
        }
    }
}

void Myxls::build(int numCameras, const QList<StatisticsExportDay>& days)
{
    setSheet(numCameras);
    insertHead();
    for (int k = 0; k < days.size(); ++k)
        insertRes(1 + 2 * k, days[k]);
}

QList<QList<int>> Myxls::laodRecord(const QString& file, int camera, int detection) const
{
    QList<int> ng(kStatHours, 0), ok(kStatHours, 0);
    const QString name = QStringLiteral("%1_%2").arg(QString::fromLatin1(kConnection),
                                                     QUuid::createUuid().toString(QUuid::Id128));
    if (QFileInfo::exists(file)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("select value1 ,value2 from resstatistics where name=?"));
            q.addBindValue(statisticsRowName(camera, detection));
            if (q.exec() && q.next()) {
                const HourCounts o = parseStatisticsRow(q.value(0).toString());
                const HourCounts n = parseStatisticsRow(q.value(1).toString());
                ok = QList<int>(o.begin(), o.end());
                ng = QList<int>(n.begin(), n.end());
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return {ng, ok};
}

bool Myxls::ImportRes(const QString& fileName, const StatisticsExportDay& current,
                      const QString& archiveDir, int numCameras,
                      const std::function<void(int, int)>& progress, QString* error)
{
    const QList<QPair<QString, QString>> archives = statisticsArchives(archiveDir);
    QList<StatisticsExportDay> days{current};
    const int n = int(archives.size());
    for (int k = 0; k < n; ++k) {
        StatisticsExportDay day;
        readExportDay(archives[k].second, archives[k].first, numCameras, &day);
        days.append(day);
        if (progress)
            progress(k + 1, n);
    }
    build(numCameras, days);
    return save(fileName, error);
}

bool Myxls::save(const QString& fileName, QString* error, const QString& tmpDir) const
{
    const QByteArray path = QFile::encodeName(fileName);
    QByteArray tmp = QFile::encodeName(tmpDir);
    lxw_workbook_options options = {};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = tmp.data();
    options.use_zip64 = LXW_FALSE;
    lxw_workbook* wb = workbook_new_opt(path.constData(), &options);
    if (!wb) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(fileName);
        return false;
    }
    for (const XlsSheet& sheet : book_) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.name.toUtf8().constData());
        if (!ws)
            continue;
        for (auto it = sheet.cells.constBegin(); it != sheet.cells.constEnd(); ++it) {
            const auto [row, col] = it.key();
            if (it.value().typeId() == QMetaType::QString)
                worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(col),
                                       it.value().toString().toUtf8().constData(), nullptr);
            else
                worksheet_write_number(ws, lxw_row_t(row), lxw_col_t(col), it.value().toInt(), nullptr);
        }
    }
    const lxw_error result = workbook_close(wb);
    if (result != LXW_NO_ERROR) {
        if (error)
            *error = QStringLiteral("writing %1 failed: %2")
                         .arg(fileName, QString::fromUtf8(lxw_strerror(result)));
        QFile::remove(fileName);
        return false;
    }
    return true;
}
