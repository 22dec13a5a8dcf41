#pragma once
// The operation record: the journal of user actions and notable events.
// Each entry is one row of table RECORD in RECORD.db (time of day, the
// operator's access level, the text); RECORD.db holds one calendar day and
// is moved into "./RECORD" under its date at the first check of a new day.
//
// The main window owns one OperationRecord and forwards its slots of the
// same names to it.  The object lives on the GUI thread, which owns the
// database connections; InsertRecord may be called from any thread.
#include <QDateTime>
#include <QDir>
#include <QObject>
#include <QString>
#include <functional>

class QSqlDatabase;
class QTimer;

// Access level of the operator (the main window's accessLevel).
enum AccessLevel { AccessLevelNone = 0, AccessLevelPrimary = 1, AccessLevelAdvanced = 2 };

class OperationRecord : public QObject {
    Q_OBJECT
public:
    // Connection names of the three databases of the program.
    static const QString kSerialConnection;   // "dbT", SN.db
    static const QString kParamConnection;    // "dbIn", PARAM.db
    static const QString kRecordConnection;   // "dbRecord", RECORD.db

    static const QString kRecordFile;         // "RECORD.db"
    static const QString kTemplateFile;       // "RECORDNULL.db"
    static const QString kDateFile;           // "time.txt"

    // accessLevel gives the operator's level at the moment a record is written.
    explicit OperationRecord(std::function<int()> accessLevel, QObject* parent = nullptr);

    // Start-up: makes "./RECORD", reads the date of RECORD.db from time.txt
    // (today, written to the file, when it cannot be read) and runs the
    // roll-over once.
    void LoadRecordDate();
    // Starts the 60 s date check.
    void StartDateCheck();

    // Level text of an access level, in the language of the run.
    static QString LevelText(int accessLevel);

    QDir recordDir;            // "./RECORD", the archive of past days
    QString recordDate;        // date of the records in RECORD.db, "yyyy-MM-dd"
    QTimer* dateCheckTimer;    // 60000 ms, runs SlotCheckDate

public slots:
    // Appends one row stamped with the current time and access level; after
    // a successful insert the relay gets the record when the remote system
    // is on and the link listens.  From another thread the row is written
    // by this object's thread, stamped with the time of the call.
    void InsertRecord(const QString& text);
    // Deletes every row of today's table.
    void ClearRecord();
    // The daily roll-over: on a new date, RECORD.db becomes
    // "./RECORD/<its date>.db" (or "<date>_2.db"... when that day exists
    // already) and an empty copy of the template takes its place.  A failed
    // move keeps RECORD.db and the stored date, so the next check retries.
    void SlotCheckDate();
    // Closes the three connections, then waits 500 ms.
    void FLushAll();
    // Opens again what FLushAll closed, for a run that goes on after a
    // reboot or power-off did not happen.
    void ReopenAll();

private:
    bool insertAt(const QDateTime& at, const QString& text);
    bool archiveRecordFile();
    bool installEmptyRecordFile();
    void writeDateFile();

    std::function<int()> accessLevel_;
};
