#pragma once
// Rows of a two-column table (name text, value text) addressed by name, as
// PARAM.db, SN.db and the camera tables keep them.  Every call returns false
// (or Lookup::Failed) on a statement failure, with the driver's text in
// *error.
#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace namevaluerows {

enum class Lookup {
    Found,
    Missing,
    Failed,   // the statement failed (a damaged page, no such table, ...)
    Busy,     // another connection holds a lock on the database
};

// True for SQLite's "database is locked" and "table is locked" errors.
bool IsBusy(const QSqlError& error);

// Any statement with positional values; rowsAffected may be null.
bool Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error,
          int* rowsAffected = nullptr);

// select value from <table> where name=<name>; *value is set when found.
// The value comes as stored, byte for byte, whether SQLite holds it as text
// or as a blob.
Lookup Select(const QSqlDatabase& db, const QString& table, const QString& name, QByteArray* value,
              QString* error);
bool Insert(const QSqlDatabase& db, const QString& table, const QString& name, const QString& value,
            QString* error);
bool Update(const QSqlDatabase& db, const QString& table, const QString& name, const QString& value,
            QString* error, int* rowsAffected = nullptr);
bool Delete(const QSqlDatabase& db, const QString& table, const QString& name, QString* error);

} // namespace namevaluerows
