#pragma once
// glog set-up for the technical log ("./cnt_net/cnt_log_app/" on the panel).
#include <QString>
#include <cstddef>
#include <string>

class QObject;

class GLog {
public:
    // Configures glog for logDir (flushing every line, 100 MB files, no
    // output to stderr, stopping on a full disk), starts it with the program
    // name argv[0], routes fatal-signal reports into the INFO log, and keeps
    // only the newest kKeepFiles files of the folder.  The parent is unused.
    GLog(const std::string& logDir, char** argv, QObject* parent = nullptr);

    static constexpr int kKeepFiles = 49;
    // Deletes the oldest files of dir (by modification time) until at most
    // keep remain; returns how many were deleted.
    static int PruneFolder(const QString& dir, int keep);
};

// glog's failure writer: writes exactly size bytes of data as one INFO line.
void SignalHandle(const char* data, std::size_t size);

// The one instance, made by main.
extern GLog* gGlog;
