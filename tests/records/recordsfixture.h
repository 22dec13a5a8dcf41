#pragma once
// What the record-store tests share: a pinned time zone, instants written
// as text, and reading rows back from a file on a connection of the test's
// own.
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUuid>

#include <cstdlib>
#include <ctime>

// A zone without daylight saving; it needs no time-zone data.
inline void pinTimeZone(const char* zone = "CST-8")
{
    qputenv("TZ", zone);
    ::tzset();
}

inline QDateTime at(const QString& text)
{
    return QDateTime::fromString(text, text.size() > 19 ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")
                                                        : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Each row of sql on file, its columns joined by '|'; read-only.
inline QStringList selectRows(const QString& file, const QString& sql)
{
    QStringList out;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (QFile::exists(file) && db.open()) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next()) {
                QStringList cols;
                for (int c = 0; c < q.record().count(); ++c)
                    cols << q.value(c).toString();
                out << cols.join(QLatin1Char('|'));
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

// Runs statements on file (made when missing).
inline bool execOn(const QString& file, const QStringList& statements)
{
    bool ok = true;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        ok = db.open();
        for (const QString& sql : statements)
            ok = ok && QSqlQuery(db).exec(sql);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}
