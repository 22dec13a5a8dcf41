#pragma once
// Opens one of the program's SQLite databases by name.  A missing database
// is taken from its default copy, or made empty when there is none (a first
// start).  When a database does not open (or is not readable), the damaged
// file is moved aside
// under a time-stamped name, the default copy is put in its place and the
// open is tried once more.  Nothing is overwritten without a backup, and a
// missing default never leads to a reboot loop: the caller gets the failure
// and keeps running.
#include <QSqlDatabase>
#include <QString>

struct DatabaseOpenResult {
    bool ok = false;
    bool restored = false;       // the default copy was put in place
    bool created = false;        // the file was missing and had no default: made empty
    QString movedAsideTo;        // where the damaged file went, if anywhere
    QString error;               // why it failed, for the log
};

class DatabaseOpener {
public:
    // connection: the Qt connection name ("dbIn", "dbRecord", "dbT").
    // file: the database file ("PARAM.db").  defaultCopy: the file restored
    // on failure ("./paraGroup/default/PARAM.db", "RECORDNULL.db").
    static DatabaseOpenResult Open(const QString& connection, const QString& file,
                                   const QString& defaultCopy);

    // True when the connection is open and SQLite can read its schema.
    static bool IsUsable(QSqlDatabase& db);
};
