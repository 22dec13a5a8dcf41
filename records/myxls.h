#pragma once
// The statistics workbook: one sheet per camera ("Camera0", ...), row 0 the
// hours from 8:00 to 7:00, then two rows (OK, NG) per statistics day: the
// current day first, then every archive oldest first.  A camera's counts
// are its aggregate row C<c>_D8 (all its detections); a missing or
// unreadable file or row contributes zeros.  Every cell has the default
// format.
//
// Building is pure (days in, a table of sheets and cells out); reading the
// files and writing the .xlsx (libxlsxwriter) are separate steps, so an
// export can run them on a worker thread.  The project writes ".xlsx":
// xlslib, which wrote ".xls", is not packaged.
#include "resstatisticsparam.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>

// One sheet: cells by (row, column); a QString is a text cell, an int a
// number cell.
struct XlsSheet {
    QString name;
    QMap<QPair<int, int>, QVariant> cells;
};
using XlsWorkbook = QList<XlsSheet>;

// One statistics day as the workbook shows it: its label and, per camera,
// the aggregate OK and NG hours.
struct StatisticsExportDay {
    QString label;
    std::array<HourCounts, kStatSlots> okHours{};
    std::array<HourCounts, kStatSlots> ngHours{};
};

// The current day from the store's memory.
StatisticsExportDay exportDayFromCounts(const QString& label, const CountAllCamera& counts);
// One statistics file, read once through the read-only connection
// "dbXls", made and removed on the calling thread; zeros (and false) when
// it does not open or has no table.
bool readExportDay(const QString& file, const QString& label, int numCameras,
                   StatisticsExportDay* day);
// The archives of dir, oldest first: (label = name without ".db", path).
QList<QPair<QString, QString>> statisticsArchives(const QString& dir);

class Myxls {
public:
    static const char* const kConnection;   // "dbXls"

    Myxls() = default;

    // Builds the workbook of days (the current day first) for numCameras.
    void build(int numCameras, const QList<StatisticsExportDay>& days);

    // The steps of build, as the export has always named them.
    void setSheet(int numCameras);
    void insertHead();
    void insertRes(int row, const StatisticsExportDay& day);
    // NG list first, OK list second, of one row of one file.
    QList<QList<int>> laodRecord(const QString& file, int camera, int detection) const;

    // Reads the archives of archiveDir and builds with the current day;
    // progress(k, n) after each file read.  Then writes fileName.
    bool ImportRes(const QString& fileName, const StatisticsExportDay& current,
                   const QString& archiveDir, int numCameras,
                   const std::function<void(int, int)>& progress, QString* error);

    // Writes the workbook as .xlsx; libxlsxwriter's temporary files go to
    // tmpDir (the program directory by default).  False, with the reason,
    // when the file could not be written completely.
    bool save(const QString& fileName, QString* error, const QString& tmpDir = QStringLiteral(".")) const;

    const XlsWorkbook& workbook() const { return book_; }

private:
    XlsWorkbook book_;
};

// Made at start-up, also when statistics are off.
extern Myxls* gpMyxls;

// Pure: the header text of column c (1..24): hour (c + 7) mod 24, "8:00".
QString statisticsHeaderText(int column);
