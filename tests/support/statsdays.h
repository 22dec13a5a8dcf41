#pragma once
// Generated statistics days and cycle-time logs, written straight in the
// files' formats with code of their own (not the stores'), so a fault shared
// by writer and reader cannot hide.  Used by the records tests, the
// benchmarks and the statistics pages tool.  Header-only.
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <array>

namespace statsdays {

constexpr int kAll = 8;

// ok[c][d][hour], ng[c][d][hour]; index 8 = all cameras / all detections.
struct Day {
    int ok[9][9][24] = {};
    int ng[9][9][24] = {};

    // Fills the aggregates (d = 8 per camera, c = 8 per detection, C8_D8)
    // from cameras below cameras and detections below detections.
    void sum(int cameras, int detections)
    {
        for (int h = 0; h < 24; ++h) {
            for (int c = 0; c <= kAll; ++c)
                ok[c][kAll][h] = ng[c][kAll][h] = 0;
            for (int d = 0; d < kAll; ++d)
                ok[kAll][d][h] = ng[kAll][d][h] = 0;
            for (int c = 0; c < cameras; ++c)
                for (int d = 0; d < detections; ++d) {
                    ok[c][kAll][h] += ok[c][d][h];
                    ng[c][kAll][h] += ng[c][d][h];
                    ok[kAll][d][h] += ok[c][d][h];
                    ng[kAll][d][h] += ng[c][d][h];
                }
            for (int c = 0; c < cameras; ++c) {
                ok[kAll][kAll][h] += ok[c][kAll][h];
                ng[kAll][kAll][h] += ng[c][kAll][h];
            }
        }
    }
};

// A busy day: 200-400 OK and 0-15 NG per hour, hour 13 idle and hour 10
// above 1000, for every camera and detection in use.
inline Day busyDay(int cameras, int detections, quint32 seed = 1)
{
    Day day;
    QRandomGenerator rng(seed);
    for (int c = 0; c < cameras; ++c)
        for (int d = 0; d < detections; ++d)
            for (int h = 0; h < 24; ++h) {
                if (h == 13)
                    continue;
                day.ok[c][d][h] = h == 10 ? 1000 + rng.bounded(200) : 200 + rng.bounded(201);
                day.ng[c][d][h] = rng.bounded(16);
            }
    day.sum(cameras, detections);
    return day;
}

inline QString rowText(const int (&hours)[24])
{
    QString s;
    for (int v : hours)
        s += QString::number(v) + QLatin1Char(' ');
    return s;
}

// Writes a statistics file (table resstatistics, the 81 rows) at path.
inline bool writeStatisticsFile(const QString& path, const Day& day)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    const QString name = QStringLiteral("statsdays_writer");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE TABLE resstatistics(name varchar(16), value1 varchar(256), value2 varchar(256))"));
            db.transaction();
            q.prepare(QStringLiteral("INSERT INTO resstatistics VALUES(?, ?, ?)"));
            for (int c = 0; c <= kAll && ok; ++c)
                for (int d = 0; d <= kAll && ok; ++d) {
                    q.addBindValue(QStringLiteral("C%1_D%2").arg(c).arg(d));
                    q.addBindValue(rowText(day.ok[c][d]));
                    q.addBindValue(rowText(day.ng[c][d]));
                    ok = q.exec();
                }
            ok = db.commit() && ok;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

inline const char* cycleCreate()
{
    return "CREATE TABLE IF NOT EXISTS detect_cycle(idx                INTEGER PRIMARY KEY,"
           "roundstart         VARCHAR(32) NOT NULL,roundtime          VARCHAR(32) NOT NULL)";
}

// A cycle-time file for date with one cycle every everyMs milliseconds from
// from to until (exclusive), lengths alternating 9.5 / 10 / 10.5 s; extra
// starts (texts) are added as given.  Returns the rows written.
inline int writeCycleDay(const QString& path, const QDate& date, int everyMs, QTime from = QTime(0, 0),
                         QTime until = QTime(), const QStringList& extraStarts = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString name = QStringLiteral("statsdays_cycle");
    int rows = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QString::fromLatin1(cycleCreate()));
            db.transaction();
            q.prepare(QStringLiteral("INSERT INTO detect_cycle (roundstart, roundtime) VALUES (?, ?)"));
            const QDateTime end = until.isValid() ? QDateTime(date, until) : QDateTime(date.addDays(1), QTime(0, 0));
            static const char* const lengths[] = {"9.5", "10", "10.5"};
            for (QDateTime t(date, from); t < end; t = t.addMSecs(everyMs)) {
                q.addBindValue(t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
                q.addBindValue(QString::fromLatin1(lengths[rows % 3]));
                rows += q.exec() ? 1 : 0;
            }
            for (const QString& start : extraStarts) {
                q.addBindValue(start);
                q.addBindValue(QStringLiteral("12"));
                rows += q.exec() ? 1 : 0;
            }
            db.commit();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

}  // namespace statsdays
