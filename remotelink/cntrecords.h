#pragma once
// The two records the relay link keeps for the plant system: the manual-stop
// record (message type 10) and the production statistics (type 7), with the
// durations of released NG alarms.
//
// Each send builds the JSON body, writes exactly that body to its file under
// "cnt_net/data/" so the figures survive a restart, and returns it; the
// caller (the link) queues it, so the link stays the only owner of the send
// queue.  A send whose type is switched off returns an empty body and
// changes nothing: no record field, no file.
//
// Threads: a RelayRecords is used on one thread only (the link's).  Whatever
// a send reads of the rest of the program (counters, parameter record, main
// window) is copied into RecordInputs by the caller, on the caller's thread,
// so the records' thread reads no shared state.
#include "globals.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <array>

class RelayHost;
struct WizardPara;

struct CNT_Path_ManualStop {
    bool valid = true;                     // false while a file is being read
    qint64 utc = DefaultUtc();             // ms since the epoch: start of the last stop
    QString stop_check_timeslot;           // "hh:mm---:--" while a stop is open, else "hh:mm-hh:mm" or ""
    int stop_check_timelen = 0;            // minutes stopped in total, only grows
    int timeout_time = 0;                  // loaded and sent, never changed here
    QString operator_id = QStringLiteral("--");
    QString disalarm_operator_id = QStringLiteral("--");
    QString stop_check_reason = QStringLiteral("--");   // loaded and sent, never changed here

    // Local 1970-11-12 13:14:15: the relay knows this value as "never stopped".
    static qint64 DefaultUtc();
};

struct CNT_Path_Statistics_Alarm {
    int alarm_area_num = 0;                // area number counted from 1
    QString alarm_algorithm_type = QStringLiteral("----");
    int alarm_result = 0;                  // NG count of the area
};

struct CNT_Path_Statistics_Detect {
    int time = 0;                          // detection number counted from 1
    int ng_sum = 0;
    int produce = 0;
    int monitor_times = 0;
    int ok_num = 0;
    int ok_rate = 0;                       // 1/100 %
    int not_ok_num = 0;
    int not_ok_rate = 0;                   // 1/100 %
    QMap<int, CNT_Path_Statistics_Alarm> alarms;   // area index (0..49)
};

struct CNT_Path_Statistics_Camera {
    QString camera_id = QStringLiteral("1");
    int disalarm_timeout_time = 0;
    int last_monitor_period = 0;
    int now_monitor_period = 0;
    int average_monitor_period = 0;
    QMap<int, CNT_Path_Statistics_Detect> detects;   // detection index (0..7)
};

struct CNT_Path_Statistics {
    bool valid = true;                     // false while a file is being read
    QString product_name = QStringLiteral("no set");
    QString product_serial = QStringLiteral("1");
    int products_num = 10000;
    qint64 start_utc = 0;                  // ms since the epoch
    qint64 real_produce = 0;
    qint64 utc_watch_total = 0;            // ms watched, never negative
    qint64 total_stop_alarm_timelen = 0;   // ms of NG alarms
    int watch_count_total = 0;
    int ng_count_total = 0;
    int ng_notification_rate = 0;          // 1/100 %
    qint64 watch_circle = 0;               // ms of the last cycle
    QMap<int, CNT_Path_Statistics_Camera> cameras;   // camera index (0..7)
};

// What a send reads of the rest of the program, copied on the caller's thread.
struct RecordInputs {
    QString deviceId;                      // the host name
    QDateTime now;                         // time of the call (local)
    int runState = 0;                      // RunState of the main window
    int cycleTime = 0;                     // last cycle, tenths of a second
    int numCamera = 0;                     // camera slots in use, 0..8
    std::array<int, kCameraSlots> allNum{};    // gAllNum
    std::array<int, kCameraSlots> failNum{};   // gFailNum
    QString productName;
    int productSerial = 0;
    int productNum = 0;
    int productMoldCavity = 0;
    QString operatorName;

    // Reads the main window, the parameter record, the cycle counters and
    // appClock() now.  Call it on the thread that owns them (the GUI's).
    static RecordInputs Capture(const RelayHost& host, const WizardPara& para, const QString& deviceId);
};

class RelayRecords {
public:
    // Largest record file read back; a larger one is logged and left alone.
    static constexpr qint64 kMaxFileBytes = 1024 * 1024;
    // Alarm durations kept at most, whether or not statistics are sent.
    static constexpr int kMaxNgDurations = 1000;
    // Above this many, each statistics send drops the oldest duration.
    static constexpr int kNgDurationsTrimmed = 100;

    // programDir: the folder holding "cnt_net/data/".  Nothing is read
    // until InitManualStop / InitStatistics.
    explicit RelayRecords(const QString& programDir = QStringLiteral("."));

    QString manualStopPath() const;    // <programDir>/cnt_net/data/ManualStop
    QString statisticsPath() const;    // <programDir>/cnt_net/data/Statistics

    // Reads the manual-stop file into the record.  A missing, unreadable,
    // oversized or non-JSON file leaves the record as it is; a file lacking a
    // member is deleted, keeping the members read before the gap.
    void InitManualStop();
    // Resets the figures (not the camera table, real_produce, watch_circle),
    // then reads the statistics file as InitManualStop does.  Camera and
    // detection keys outside 0..7 and area keys outside 0..49 are skipped.
    void InitStatistics();

    // The statistics reset of the other-network dialog, after it removed
    // both files: the figures, the camera table, the alarm durations and the
    // stopped minutes start again from nothing at now, so the next messages
    // carry no count from before the reset.  A stop still open stays open,
    // counted from now.
    void ResetCounts(const QDateTime& now);

    // Type 10, after detection was stopped or started by hand: opens or
    // closes the stop, writes the file and returns the body.  enabled false
    // (type switched off): returns an empty body and changes nothing.
    QByteArray CNT_SendManualStop(const RecordInputs& in, bool enabled);

    // Counts one NG area.  Arguments outside camera/detection 0..7 or area
    // 0..49 are logged and ignored.
    void ChkandAddStaticticsItem(int camera, int detection, int area);
    // A released alarm lasted ms.  A negative duration (the clock was set
    // back during the alarm) adds nothing.
    void CNT_AddNgTimes(int ms);
    // Once per statistics send: drops the oldest duration when more than
    // kNgDurationsTrimmed are kept and returns the mean (0 when none).
    int CNT_AddCycle(int unused = 0);

    // Type 7: updates the figures from the inputs, writes the file and
    // returns the body.  image is "null" or a picture path.  Returns empty
    // when switched off (nothing changed) or when the table holds a camera
    // or detection key outside 0..7: those entries are dropped, the file
    // deleted and the figures reset, and nothing is sent.
    QByteArray CNT_SendStatistics(const QString& image, const RecordInputs& in, bool enabled);

    // Replaces the file with data as a whole (temporary file, then rename).
    // False, with a log line, when it could not; the old file then stays.
    static bool SaveToFile(const QString& path, const QByteArray& data);

    CNT_Path_ManualStop manualStopRecord;
    CNT_Path_Statistics statisticsRecord;
    QList<int> ngDurations;            // ms, oldest first

private:
    QString programDir_;
};
