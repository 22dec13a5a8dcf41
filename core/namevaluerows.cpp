#include "namevaluerows.h"

#include <QSqlError>
#include <QSqlQuery>

namespace namevaluerows {

namespace {

bool Run(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error)
{
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

} // namespace

bool IsBusy(const QSqlError& error)
{
    // SQLITE_BUSY and SQLITE_LOCKED, also as extended codes.
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok && ((code & 0xFF) == 5 || (code & 0xFF) == 6);
}

bool Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error, int* rowsAffected)
{
    QSqlQuery q(db);
    if (!Run(q, sql, values, error))
        return false;
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    return true;
}

Lookup Select(const QSqlDatabase& db, const QString& table, const QString& name, QByteArray* value,
              QString* error)
{
    QSqlQuery q(db);
    // As a blob: a text column would come back converted from UTF-8, and
    // bytes that are not UTF-8 would be lost.
    if (!Run(q, QStringLiteral("select cast(value as blob) from %1 where name=?").arg(table), {name}, error))
        return IsBusy(q.lastError()) ? Lookup::Busy : Lookup::Failed;
    if (!q.next()) {
        // A page that cannot be read ends the rows with an error, not with "no row".
        if (q.lastError().isValid()) {
            *error = q.lastError().text();
            return IsBusy(q.lastError()) ? Lookup::Busy : Lookup::Failed;
        }
        return Lookup::Missing;
    }
    *value = q.value(0).toByteArray();
    return Lookup::Found;
}

bool Insert(const QSqlDatabase& db, const QString& table, const QString& name, const QString& value, QString* error)
{
    return Exec(db, QStringLiteral("insert into %1 values(?, ?)").arg(table), {name, value}, error);
}

bool Update(const QSqlDatabase& db, const QString& table, const QString& name, const QString& value, QString* error,
            int* rowsAffected)
{
    return Exec(db, QStringLiteral("update %1 set value=? where name=?").arg(table), {value, name}, error,
                rowsAffected);
}

bool Delete(const QSqlDatabase& db, const QString& table, const QString& name, QString* error)
{
    return Exec(db, QStringLiteral("delete from %1 where name=?").arg(table), {name}, error);
}

} // namespace namevaluerows
