#pragma once
// Rows of a two-column table (name text, value text) addressed by name, as
// PARAM.db, SN.db and the camera tables keep them.  Every call returns false
// (or Lookup::Failed) on a statement failure, with the driver's text in
// *error.
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace namevaluerows {

enum class Lookup { Found, Missing, Failed };

// Any statement with positional values; rowsAffected may be null.
bool Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error,
          int* rowsAffected = nullptr);

// select value from <table> where name=<name>; *value is set when found.
Lookup Select(const QSqlDatabase& db, const QString& table, const QString& name, QVariant* value, QString* error);
bool Insert(const QSqlDatabase& db, const QString& table, const QString& name, const QString& value,
            QString* error);
bool Update(const QSqlDatabase& db, const QString& table, const QString& name, const QString& value,
            QString* error, int* rowsAffected = nullptr);
bool Delete(const QSqlDatabase& db, const QString& table, const QString& name, QString* error);

} // namespace namevaluerows
