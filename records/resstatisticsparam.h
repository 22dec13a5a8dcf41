#pragma once
// The hourly OK/NG statistics of one statistics day (08:00 to 08:00 the next
// morning), per camera and detection, and the files that keep them:
//
//  - ResStatistics.db: the current day; table resstatistics, rows C<c>_D<d>
//    for c, d in 0..8 (8 = all), value1/value2 = the 24 OK/NG counts of
//    hours 0..23, each a decimal followed by one space.
//  - ResStatisticsNULL.db: the template with the 81 zero rows; made here
//    when it is missing, so a default copy always exists.
//  - "./ResStatistics/<yyyy-MM-dd>.db": one archive per closed day; a second
//    archive of the same date (after the clock was set back) becomes
//    "<date>_2.db", "<date>_3.db" ..., never replacing one.
//  - restime.txt: dayStart (seconds since the epoch, a local 08:00) as one
//    unsigned decimal without a line end, written atomically.
//
// The counts live in memory on the GUI thread; the file is written by the
// records writer (recordswriter.h), at most one transaction per second, so a
// power cut loses at most the last second of counts.  A day's roll-over
// flushes the writer first and archives the file before the counts restart;
// when the archive cannot be made the old day stays as it is and the
// roll-over is tried again at the next check.  GUI thread only.
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <memory>

class QSqlQuery;
class RecordsWriter;

// Index of "all cameras" / "all detections" in arguments and row names.
constexpr int StatIndexAll = 8;
constexpr int kStatSlots = 8;    // cameras, and detections per camera
constexpr int kStatHours = 24;

using HourCounts = std::array<int, kStatHours>;

// Counts of one camera and detection, or of an aggregate.  Only the hour
// lists are stored; the six sums are derived (clcCount).
struct CountDetect {
    HourCounts okHour{};
    HourCounts ngHour{};
    int ngMorning = 0;   // hours 8..19
    int okMorning = 0;
    int ngNight = 0;     // hours 20..23, 0..7
    int okNight = 0;
    int ngTotal = 0;
    int okTotal = 0;
};

// One camera (or all): total = hour by hour the sum over its detections.
struct CountCamera {
    CountDetect total;
    std::array<CountDetect, kStatSlots> detects{};
};

// One statistics day: total.detects[d] = detection d over all cameras.
struct CountAllCamera {
    CountCamera total;
    std::array<CountCamera, kStatSlots> cameras{};
};

enum ShiftType {
    ShiftMorning = 0,    // hours 8..19
    ShiftNight = 1,      // hours 20..23, then 0..7
    ShiftWholeDay = 2,   // hours 0..23
};

void initStuCountDetect(CountDetect& c);
void initStuCountCamera(CountCamera& c);
void initStuCountAllCamera(CountAllCamera& c);
// Recompute the derived sums (and the aggregates of a camera or a day).
void clcCount(CountDetect& c);
void clcCount(CountCamera& c);
void clcCount(CountAllCamera& c);

// The record of camera (8: all) and detection (8: all); null when out of range.
CountDetect* selectCount(CountAllCamera& day, int camera, int detection);
const CountDetect* selectCount(const CountAllCamera& day, int camera, int detection);

// Row text of value1/value2: "n " for each of the 24 hours.
QString statisticsRowText(const HourCounts& hours);
// Integers separated by white space, at most 24; the rest stay 0.
HourCounts parseStatisticsRow(const QString& text);
// "C<c>_D<d>".
QString statisticsRowName(int camera, int detection);

// The statistics date of an instant: its local date, or the day before when
// the local hour is below 8, as "yyyy-MM-dd".
QString statisticsDateOf(const QDateTime& at);
// The local 08:00 that starts the statistics day of at.
QDateTime statisticsDayStartOf(const QDateTime& at);

// Loads the rows of cameras below numCameras and detections below
// detections, then the camera aggregates, then camera 8, through query (on
// any connection); false when the table cannot be read (the record is zero).
bool loadCount(CountAllCamera& day, QSqlQuery& query, int numCameras, int detections);

// What the store tells the statistics page; the page installs itself with
// ResStatisticsParam::setObserver.  GUI thread.
class StatisticsObserver {
public:
    virtual ~StatisticsObserver() = default;
    // True while the page's day list has its first row (the current day)
    // selected.
    virtual bool showsCurrentDay() const = 0;
    // A verdict was counted while showsCurrentDay(): shownCounts has just
    // been refreshed from liveCounts; redraw ("row 0 redraw").
    virtual void checkUpdate() = 0;
    // A day closed and its archive exists: rebuild the day list, select the
    // first row and show the new current day ("day list rebuilt").
    virtual void updateList() = 0;
};

class ResStatisticsParam {
public:
    static const char* const kConnection;    // "dbResStatistics", on the writer's thread
    static const char* const kFile;          // "ResStatistics.db"
    static const char* const kTemplate;      // "ResStatisticsNULL.db"
    static const char* const kTimeFile;      // "restime.txt"
    static const char* const kArchiveDir;    // "./ResStatistics"
    // Message shown once when ResStatistics.db was damaged and set aside.
    static constexpr int kDamagedMessage = 544;

    // Opens (or makes) the current-day file through the writer, loads it,
    // reads the day start and closes a finished day.  archiveDir: where the
    // closed days go (the main window's statisticsDir).
    explicit ResStatisticsParam(RecordsWriter& writer,
                                const QString& archiveDir = QString::fromLatin1(kArchiveDir));
    ~ResStatisticsParam();
    ResStatisticsParam(const ResStatisticsParam&) = delete;
    ResStatisticsParam& operator=(const ResStatisticsParam&) = delete;

    // Counts one verdict taken at the instant at: the roll-over check and
    // the hour both come from at.  Always returns 1; a camera or detection
    // not in use (numCamera, gDNum) changes nothing and is logged.
    int Add(const QDateTime& at, bool isOK, int camera, int detection);
    // The same with the hour given and the roll-over checked at the clock's
    // present instant; an hour outside 0..23 changes nothing.
    int Add(int hour, bool isOK, int camera, int detection);

    // From shownCounts; any other shift gives 0 / an empty list.
    int getCount(ShiftType shift, bool isOK, int camera, int detection) const;
    QList<int> getRes(ShiftType shift, bool isOK, int camera, int detection) const;

    // shownCounts := liveCounts (the page shows the current day).
    void setFindCount();
    // shownCounts := the day read through query (an archive opened by the
    // page); false and zeros when it cannot be read.
    bool setFindCount(QSqlQuery& query);

    // Closes the day when the statistics date of now (default: the clock)
    // differs from statisticsDate.
    void checkDate();
    void checkDate(const QDateTime& now);
    // Archives the current file and starts an empty day dated newDate;
    // false (nothing changed) when the archive could not be made.
    bool NextDay(const QString& newDate);
    // Queues a write of liveCounts (the writer coalesces them); false when
    // the file is not open.
    bool save();
    // Reads restime.txt, or makes it; an empty, garbled or missing file
    // dates the current file by its modification time.
    void readTime();

    // Makes the template (table and 81 zero rows) at path, under a
    // temporary name first so a half-made template is never used; any
    // thread.
    static bool makeTemplate(const QString& path);

    // Waits until every queued write has reached the file.
    void flush();

    void setObserver(StatisticsObserver* observer) { observer_ = observer; }
    // The file names of the archives, oldest first ("2024-01-02.db", ...).
    QStringList archiveNames() const;
    QString archiveDir() const { return archiveDir_; }

    CountAllCamera liveCounts;
    CountAllCamera shownCounts;
    quint32 dayStart = 0;
    QString statisticsDate;

private:
    struct Shared;
    bool openFile();
    void writeTime();
    QString archivePathFor(const QString& date) const;

    RecordsWriter& writer_;
    QString archiveDir_;
    std::shared_ptr<Shared> shared_;
    StatisticsObserver* observer_ = nullptr;
    bool fileOpen_ = false;
    bool freshFile_ = false;
};

// The store, when statistics are on (made at start-up, never destroyed).
extern ResStatisticsParam* gpResStatisticsParam;
// Copy of WizardPara::statisticsEnabled taken at start-up (defined with the
// cycle state).
extern bool gisUseStatistics;
