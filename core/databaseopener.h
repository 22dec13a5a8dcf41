#pragma once
// Opens one of the program's SQLite databases by name and checks every page
// of it (PRAGMA quick_check) before anything reads it.
//
// - A missing database is made from its default copy, or made empty when
//   there is none (a first start); neither is a failure.
// - A damaged database (no SQLite header, pages cut off, or any page that
//   does not read) is moved aside under a time-stamped name, and
//   the default copy is put in its place.  Without a default copy the file
//   is left as it is and the caller gets the failure.
// - A database that another connection keeps locked is not damaged: the
//   check is retried for a bounded time, then the caller is told (busy) and
//   the file is neither renamed nor replaced.  The connection stays open,
//   so whatever can be read later is read.
// Nothing is ever overwritten without a backup, and nothing reboots.
#include <QSqlDatabase>
#include <QString>

struct DatabaseOpenResult {
    bool ok = false;             // open and every page readable
    bool busy = false;           // locked by another connection; left as it is
    bool restored = false;       // a damaged file was moved aside, the default copy put in place
    bool fromDefault = false;    // the file was missing: made from its default copy
    bool created = false;        // the file was missing and had no default: made empty
    QString movedAsideTo;        // where the damaged file went, if anywhere
    QString error;               // why it failed, for the log

    // Worth telling the user: data were moved aside, or the database is not
    // usable as it should be.  A first start is not.
    bool needsNotice() const { return !ok || restored || busy; }
};

class DatabaseOpener {
public:
    // connection: the Qt connection name ("dbIn", "dbRecord", "dbT").
    // file: the database file ("PARAM.db").  defaultCopy: the file restored
    // on damage ("./paraGroup/default/PARAM.db", "RECORDNULL.db").
    static DatabaseOpenResult Open(const QString& connection, const QString& file,
                                   const QString& defaultCopy);

    // How long the check waits for another connection's lock: every
    // statement waits kBusyTimeoutMs, the check is tried kBusyAttempts
    // times with kBusyPauseMs between the tries.
    static constexpr int kBusyTimeoutMs = 1000;
    static constexpr int kBusyAttempts = 3;
    static constexpr int kBusyPauseMs = 500;
};
