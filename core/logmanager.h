#pragma once
// The message log: every Qt message of the process (debug, warning,
// critical, fatal; from any thread) goes into one file per run,
// "yyyyMMdd_HHmmss_log.txt" below the log folder, while "Use Log"
// (WizardPara::logEnabled) is on.
#include <QObject>
#include <QString>
#include <QtGlobal>

class QDateTime;

class LogManager : public QObject {
    Q_OBJECT
public:
    // Fixes the folder (paths().qtLogDir, by default the application
    // directory + "/RECORD/LOG") and this run's file name, makes the folder,
    // installs outputMessage as the Qt message handler and deletes the
    // oldest "*_log.txt" once the folder holds kMaxFiles of them.
    explicit LogManager(QObject* parent = nullptr);
    // Gives the handling back to the handler that was installed before.
    ~LogManager() override;

    static LogManager* __instance;   // made by the main window, never deleted there
    static QString __CurTaskPath;    // the log folder
    static QString __CurName;        // this run's file name

    static constexpr int kMaxFiles = 50;

    // The Qt message handler; any thread.
    static void outputMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg);

    // "[W 2026/01/01-08:00:00.000] text": the line written for one message.
    static QString FormatLine(QtMsgType type, const QDateTime& time, const QString& msg);
    static QChar LevelLetter(QtMsgType type);
};
