#include "databaseopener.h"

#include "clock.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <glog/logging.h>

bool DatabaseOpener::IsUsable(QSqlDatabase& db)
{
    if (!db.isOpen())
        return false;
    // Opening an SQLite file never reads it; a damaged file shows up only here.
    QSqlQuery q(db);
    return q.exec(QStringLiteral("select count(*) from sqlite_master")) && q.next();
}

namespace {
// The named connection, closed and pointed at file (made on first use).
QSqlDatabase connectionOn(const QString& connection, const QString& file)
{
    QSqlDatabase db = QSqlDatabase::contains(connection)
                          ? QSqlDatabase::database(connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.close();
    db.setDatabaseName(file);
    return db;
}

bool tryOpen(const QString& connection, const QString& file, QString* error)
{
    QSqlDatabase db = connectionOn(connection, file);
    // A missing file would silently become a new empty database.
    if (!QFileInfo::exists(file)) {
        *error = QStringLiteral("%1 is missing").arg(file);
        return false;
    }
    if (!db.open() || !DatabaseOpener::IsUsable(db)) {
        *error = db.lastError().text();
        if (error->isEmpty())
            *error = QStringLiteral("%1 is not a readable database").arg(file);
        db.close();
        return false;
    }
    return true;
}

QString freeAsideName(const QString& file)
{
    const QString stamp = appClock().now().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString name = QStringLiteral("%1.broken_%2").arg(file, stamp);
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1.broken_%2_%3").arg(file, stamp).arg(n);
    return name;
}
}

DatabaseOpenResult DatabaseOpener::Open(const QString& connection, const QString& file,
                                        const QString& defaultCopy)
{
    DatabaseOpenResult r;
    if (!QFileInfo::exists(file) && !QFileInfo::exists(defaultCopy)) {
        // Nothing to lose and nothing to restore: SQLite makes the file.
        QSqlDatabase db = connectionOn(connection, file);
        r.ok = db.open() && IsUsable(db);
        r.created = r.ok;
        if (!r.ok)
            r.error = db.lastError().text();
        LOG(WARNING) << "database " << file.toStdString() << " was missing; made empty";
        return r;
    }
    if (tryOpen(connection, file, &r.error)) {
        r.ok = true;
        return r;
    }
    LOG(ERROR) << "database " << file.toStdString() << " does not open: " << r.error.toStdString();
    if (!QFileInfo::exists(defaultCopy)) {
        r.error += QStringLiteral("; no default copy %1").arg(defaultCopy);
        return r;
    }
    if (QFileInfo::exists(file)) {
        const QString aside = freeAsideName(file);
        if (!QFile::rename(file, aside)) {
            r.error += QStringLiteral("; cannot move %1 aside").arg(file);
            return r;
        }
        r.movedAsideTo = aside;
        LOG(ERROR) << "damaged database kept as " << aside.toStdString();
    }
    if (!QFile::copy(defaultCopy, file)) {
        r.error += QStringLiteral("; cannot copy %1").arg(defaultCopy);
        // Put the original back so nothing is lost.
        if (!r.movedAsideTo.isEmpty())
            QFile::rename(r.movedAsideTo, file);
        r.movedAsideTo.clear();
        return r;
    }
    QFile::setPermissions(file, QFile::permissions(file) | QFile::WriteOwner | QFile::ReadOwner);
    r.restored = true;
    QString second;
    r.ok = tryOpen(connection, file, &second);
    if (!r.ok)
        r.error += QStringLiteral("; default copy does not open either: ") + second;
    return r;
}
