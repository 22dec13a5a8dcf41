#include "logmanager.h"

#include "clock.h"
#include "paths.h"
#include "wizardpara.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>

LogManager* LogManager::__instance = nullptr;
QString LogManager::__CurTaskPath;
QString LogManager::__CurName;

namespace {

const char* const kTimeFormat = "yyyy/MM/dd-HH:mm:ss.zzz";
const char* const kVersion = "15.12.2.51";

// The handler that was in place before ours; messages that arrive while
// this thread is already inside outputMessage go there.
QtMessageHandler gPreviousHandler = nullptr;

// Set while this thread writes a message: a message emitted meanwhile (by
// Qt, about the log file itself) must not take the log lock a second time.
thread_local bool tInsideHandler = false;

} // namespace

LogManager::LogManager(QObject* parent) : QObject(parent)
{
    __CurTaskPath = paths().qtLogDir.isEmpty()
                        ? QCoreApplication::applicationDirPath() + QStringLiteral("/RECORD/LOG")
                        : paths().qtLogDir;
    __CurName = appClock().now().toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral("_log.txt");
    QDir dir(__CurTaskPath);
    if (!dir.exists())
        dir.mkpath(QStringLiteral("."));
    const QtMessageHandler previous = qInstallMessageHandler(&LogManager::outputMessage);
    if (previous != &LogManager::outputMessage)
        gPreviousHandler = previous;

    // One file less per start once the folder is full.
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*_log.txt")}, QDir::Files,
                                                  QDir::Time | QDir::Reversed);
    if (files.size() >= kMaxFiles)
        QFile::remove(files.first().absoluteFilePath());
}

LogManager::~LogManager()
{
    qInstallMessageHandler(gPreviousHandler);
    if (__instance == this)
        __instance = nullptr;
}

QChar LogManager::LevelLetter(QtMsgType type)
{
    switch (type) {
    case QtWarningMsg: return QLatin1Char('W');
    case QtCriticalMsg: return QLatin1Char('E');
    case QtFatalMsg: return QLatin1Char('F');
    default: return QLatin1Char('I');
    }
}

QString LogManager::FormatLine(QtMsgType type, const QDateTime& time, const QString& msg)
{
    return QStringLiteral("[%1 %2] %3\n")
        .arg(LevelLetter(type), time.toString(QString::fromLatin1(kTimeFormat)), msg);
}

void LogManager::outputMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (tInsideHandler) {
        if (gPreviousHandler)
            gPreviousHandler(type, context, msg);
        return;
    }
    if (!gpWPara || !gpWPara->logEnabled)
        return;
    tInsideHandler = true;

    const QDateTime now = appClock().now();
    const QByteArray line = FormatLine(type, now, msg).toUtf8();

    static QFile file;
    static QMutex mutex;
    {
        QMutexLocker lock(&mutex);
        const QString name = __CurTaskPath + QLatin1Char('/') + __CurName;
        if (file.fileName() != name) {
            file.close();
            file.setFileName(name);
        }
        bool ok = true;
        if (!QFile::exists(name)) {
            // First message of the run, or the file was deleted meanwhile.
            file.close();
            ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
            if (ok)
                file.write(QStringLiteral("create newlog version %1 %2\n")
                               .arg(QLatin1String(kVersion),
                                    now.toString(QString::fromLatin1(kTimeFormat)))
                               .toUtf8());
        } else if (!file.isOpen()) {
            ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
        }
        if (ok) {
            file.write(line);
            file.flush();
        }
    }
    tInsideHandler = false;
}
