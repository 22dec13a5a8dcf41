#include "dbsnapshot.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

#include <unistd.h>

OwnConnection::OwnConnection(const QString& file, bool readOnly)
{
    static std::atomic<int> counter{0};
    name_ = QStringLiteral("fileWorker%1").arg(counter.fetch_add(1));
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db_.setDatabaseName(file);
    db_.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000")
                                   : QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
}

OwnConnection::~OwnConnection()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

bool SnapshotDatabase(const QString& src, const QString& dst, QString* why)
{
    {
        OwnConnection c(src, true);
        if (!c.db().open()) {
            *why = QStringLiteral("%1 does not open: %2").arg(src, c.db().lastError().text());
            return false;
        }
        QSqlQuery q(c.db());
        q.prepare(QStringLiteral("VACUUM INTO ?"));
        q.addBindValue(dst);
        if (!q.exec()) {
            *why = QStringLiteral("snapshot of %1: %2").arg(src, q.lastError().text());
            return false;
        }
    }
    QFile out(dst);
    if (!out.open(QIODevice::ReadOnly) || ::fsync(out.handle()) != 0) {
        *why = QStringLiteral("snapshot %1 not flushed").arg(dst);
        return false;
    }
    return true;
}
