#pragma once
// How the main window reaches the records subsystem (records/), which sits
// above this folder: the user accounts store today, the statistics store
// and the cycle-time log as they come.  The program's start-up installs the
// implementation before the window is built; without one (tests of the
// window alone) the window simply has no records subsystem.  GUI thread only.

class RecordsPort {
public:
    virtual ~RecordsPort() = default;

    // The user accounts store, opened (and created when missing) while the
    // window is built; nobody is logged in afterwards.
    virtual void openUserStore() = 0;
    // Nobody logged in (the automatic logout); the store is created first
    // when it does not exist yet.
    virtual void logOutUser() = 0;
};

// Installs the port (not owned); null removes it.
void setRecordsPort(RecordsPort* port);
RecordsPort* recordsPort();
