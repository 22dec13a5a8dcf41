#pragma once
// How the main window reaches the records subsystem (records/), which sits
// above this folder: the user accounts store, the hourly statistics with
// their page, the Excel export and the cycle-time log.  The program's
// start-up installs the implementation before the window is built; without
// one (tests of the window alone) the window simply has no records
// subsystem.  GUI thread only.
#include <QString>

class CycleLog;
class QWidget;
class StatsSink;

class RecordsPort {
public:
    virtual ~RecordsPort() = default;

    // The user accounts store, opened (and created when missing) while the
    // window is built; nobody is logged in afterwards.
    virtual void openUserStore() = 0;
    // Nobody logged in (the automatic logout); the store is created first
    // when it does not exist yet.
    virtual void logOutUser() = 0;

    // The cycle-time log, made when it does not exist yet (construction and
    // the 60 s tick).
    virtual void openCycleLog() {}
    // The statistics store (made when missing) and its page, a window
    // without parent; null when there is none.  statisticsDir: where the
    // closed days go.
    virtual QWidget* openStatistics(const QString& statisticsDir)
    {
        Q_UNUSED(statisticsDir);
        return nullptr;
    }
    // The Excel export (gpMyxls), made when missing.
    virtual void makeExport() {}
    // What the cycle counts and logs into; they live as long as the port and
    // do nothing while their store does not exist.  Null: none.
    virtual StatsSink* statsSink() { return nullptr; }
    virtual CycleLog* cycleLog() { return nullptr; }
    // Before a restart: every queued record written, the connections closed.
    virtual void flushAll() {}
};

// Installs the port (not owned); null removes it.
void setRecordsPort(RecordsPort* port);
RecordsPort* recordsPort();
