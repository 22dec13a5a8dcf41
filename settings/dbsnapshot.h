#pragma once
// SQLite access for the file workers (export, parameter groups): a
// connection of the worker's own, and a consistent copy of a database the
// program may be writing meanwhile.
#include <QSqlDatabase>
#include <QString>

// A named connection to one file, removed again when it goes; the name is
// unique per process, so workers never share a connection.
class OwnConnection {
public:
    OwnConnection(const QString& file, bool readOnly);
    ~OwnConnection();
    OwnConnection(const OwnConnection&) = delete;
    OwnConnection& operator=(const OwnConnection&) = delete;
    QSqlDatabase& db() { return db_; }

private:
    QString name_;
    QSqlDatabase db_;
};

// VACUUM INTO dst on a connection of its own, then dst flushed to the disk.
// False with the reason in why.
bool SnapshotDatabase(const QString& src, const QString& dst, QString* why);
