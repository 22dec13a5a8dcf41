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

bool Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error, int* rowsAffected)
{
    QSqlQuery q(db);
    if (!Run(q, sql, values, error))
        return false;
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    return true;
}

Lookup Select(const QSqlDatabase& db, const QString& table, const QString& name, QVariant* value, QString* error)
{
    QSqlQuery q(db);
    if (!Run(q, QStringLiteral("select value from %1 where name=?").arg(table), {name}, error))
        return Lookup::Failed;
    if (!q.next())
        return Lookup::Missing;
    *value = q.value(0);
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
