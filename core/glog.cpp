#include "glog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <glog/logging.h>

GLog* gGlog = nullptr;

void SignalHandle(const char* data, std::size_t size)
{
    LOG(INFO) << std::string(data, size);
}

GLog::GLog(const std::string& logDir, char** argv, QObject* parent)
{
    Q_UNUSED(parent);
    FLAGS_log_dir = logDir;
    FLAGS_logbufsecs = 0;
    FLAGS_max_log_size = 100;
    FLAGS_stop_logging_if_full_disk = true;
    FLAGS_logtostderr = false;
    google::SetLogFilenameExtension("log");

    // glog aborts on a second initialisation; a second GLog only re-applies the flags.
    if (!google::IsGoogleLoggingInitialized()) {
        google::InitGoogleLogging(argv && argv[0] ? argv[0] : "mouldmonitor");
        google::InstallFailureSignalHandler();
        google::InstallFailureWriter(&SignalHandle);
    }
    PruneFolder(QString::fromStdString(logDir), kKeepFiles);
}

int GLog::PruneFolder(const QString& dir, int keep)
{
    QFileInfoList files = QDir(dir).entryInfoList({QStringLiteral("*")}, QDir::Files, QDir::Time);
    int removed = 0;
    while (files.size() > keep) {
        QFile::remove(files.takeLast().absoluteFilePath());
        ++removed;
    }
    return removed;
}
