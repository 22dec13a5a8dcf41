#pragma once
// The cycle-time log: one row per machine cycle (its start and its length)
// in DetectCycle.db, one file per calendar day.  When the date changes the
// old day's file moves to "./DetectCycle/<yyyy-MM-dd>.db" ("_2", "_3" ...
// before ".db" when that name exists) and a new, empty file starts;
// "./DetectCycle/time.txt" names the day of DetectCycle.db (written
// atomically, after the archive exists).
//
// Inserts and roll-overs are queued on the records writer (recordswriter.h)
// in the order they are made, so the row of a cycle that ends after
// midnight still reaches the old day's file.  The writer owns the named
// connection kConnection; the page reads through a read-only connection of
// its own (readDB), so reading an archive never redirects an insert.
// Nothing here uses the application's default connection.  GUI thread.
#include <QDate>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class RecordsWriter;

// One cycle handed over by the main loop.
struct detectCycleInfo {
    QString roundstart;      // local start, "yyyy-MM-dd hh:mm:ss.zzz"
    double roundtime = 0;    // seconds
};

class DetectCycleSQL : public QObject {
public:
    // The one log; made by whoever needs it first (start-up, the 60 s timer,
    // the main loop before an insert, the page) and never destroyed.
    static DetectCycleSQL* instance;

    static const char* const kConnection;      // the writer's, "dbDetectCycle"
    static const char* const kViewConnection;  // the page's read-only one, "dbDetectCycleView"
    static const char* const kFile;            // "DetectCycle.db"
    static const char* const kDir;             // "./DetectCycle"
    static const char* const kTimeFile;        // "./DetectCycle/time.txt"
    static const char* const kCreate;          // the CREATE TABLE statement

    // readTime, then checkDate.
    explicit DetectCycleSQL(RecordsWriter& writer);
    ~DetectCycleSQL() override;

    // Queues one row for DetectCycle.db (roundtime as text with up to 6
    // significant digits: 12.0 -> "12", 25.3 -> "25.3").
    void insertDate(const detectCycleInfo& info);
    // Roll-over when today (the clock) differs from logDate; otherwise makes
    // sure the file has its table.
    void checkDate();
    // Reads "./DetectCycle/time.txt" (made with today when missing); a file
    // without a valid date dates DetectCycle.db by its modification time.
    void readTime();
    // Queues the archive of DetectCycle.db under logDate and a new file.
    void createSQL();
    // Queues the creation of the table in DetectCycle.db when missing.
    void createTable();
    // Today first, then the archive names (without ".db") newest first,
    // sorted without regard to case.
    QStringList getDBName() const;
    // The page's read-only connection pointed at file (a name of getDBName
    // or a path); an invalid database when it does not open.  Never
    // creates or changes a file.
    QSqlDatabase readDB(const QString& file);
    // Closes the page's connection.
    void closeDB();
    // Points the page's connection at DetectCycle.db again.
    void setDefaultDB();

    // The file of a getDBName entry: today -> DetectCycle.db, else the archive.
    QString fileOf(const QString& name) const;
    // Waits until every queued insert and roll-over is done.
    void flush();

    // The text stored for a length: up to 6 significant digits, shortest form.
    static QString roundtimeText(double seconds);

    QDate logDate;

private:
    void writeTime(const QDate& date);
    QString viewFile_;
    RecordsWriter& writer_;
};
