#pragma once
// The network ports of the other-network dialog's last page: which
// interfaces "ifconfig" reports as running and how many bytes each
// received in the last period, from two readings of /proc/net/dev.
//
// PortReadings is plain data with the parsing rules; PortStateMonitor runs
// the readings: "ifconfig" through the command runner without waiting (the
// GUI thread only receives its output through the event loop), then
// /proc/net/dev from paths().procNetDev, applied on the GUI thread.
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class CollectedCommand;
class QTimer;

// Received-byte counters by interface from the text of /proc/net/dev, "lo"
// left out.  A counter past 99999999 bytes follows its colon without a
// blank, so none is required there.
QMap<QString, qint64> ParseProcNetDev(const QString& text);
// Running states by interface from the text of "ifconfig": a line holding
// "mtu" split at ":" into exactly two non-empty parts names an interface
// (not "lo"), running when the second part holds "RUNNING".
QMap<QString, bool> ParseIfconfigRunning(const QString& text);

// One row of the painted list.
struct PortRow {
    QString name;
    bool running = false;
    bool hasRate = false;
    qint64 bytesPerSecond = 0;
};

struct PortReadings {
    // Length of one period: the rate is the increment divided by it.
    static constexpr int kPeriodSeconds = 3;

    QMap<QString, bool> running;
    QMap<QString, qint64> counters;
    QMap<QString, qint64> increments;
    // Periods the increments span: 2 after a tick was skipped.
    int periods = 1;

    // The press: the first reading, nothing running yet.
    void start(const QMap<QString, qint64>& firstCounters);
    // One period's readings.  counters null: /proc/net/dev could not be
    // read, the counters stay and no increment is shown.  A counter that
    // dropped (interface reset, wrap) gives an increment of 0, never a
    // negative rate.
    void apply(const QMap<QString, bool>& runningNow, const QMap<QString, qint64>* countersNow, int periodsSpanned);
    // Every counted interface in name order.
    QVector<PortRow> rows() const;
};

class PortStateMonitor : public QObject {
    Q_OBJECT
public:
    // Longest wait for "ifconfig"; then what it printed so far is judged.
    static constexpr int kIfconfigLimitMs = 1000;
    static constexpr int kTickMs = PortReadings::kPeriodSeconds * 1000;

    explicit PortStateMonitor(QObject* parent = nullptr);
    ~PortStateMonitor() override;

    // Empties the readings, takes the first /proc/net/dev reading and
    // starts the 3 s tick.
    void start();
    void stop();
    bool active() const;
    // One tick: starts "ifconfig"; a tick while the previous command still
    // runs is skipped, and the next result covers both periods.
    void tick();
    bool waiting() const;
    int skippedTicks() const { return skipped_; }

    const PortReadings& readings() const { return readings_; }
    // For screenshots: readings given as they are.
    void setReadings(const PortReadings& readings) { readings_ = readings; }

signals:
    // After every applied reading (the list changed).
    void updated();

private:
    void commandEnded(const QByteArray& output);
    static const QMap<QString, qint64>* readCounters(QMap<QString, qint64>& into);

    PortReadings readings_;
    QTimer* tick_ = nullptr;
    CollectedCommand* command_ = nullptr;
    int periods_ = 1;
    int skipped_ = 0;
};
