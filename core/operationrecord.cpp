#include "operationrecord.h"

#include "clock.h"
#include "messages.h"
#include "relaylink.h"
#include "wizardpara.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

const QString OperationRecord::kSerialConnection = QStringLiteral("dbT");
const QString OperationRecord::kParamConnection = QStringLiteral("dbIn");
const QString OperationRecord::kRecordConnection = QStringLiteral("dbRecord");
const QString OperationRecord::kRecordFile = QStringLiteral("RECORD.db");
const QString OperationRecord::kTemplateFile = QStringLiteral("RECORDNULL.db");
const QString OperationRecord::kDateFile = QStringLiteral("time.txt");

namespace {

const char* const kDateFormat = "yyyy-MM-dd";
const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)";

bool execInsert(QSqlDatabase& db, const QString& time, const QString& level, const QString& text,
                QString* error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO RECORD(recordtime, recordpassword, remarks) VALUES(?, ?, ?)"));
    q.addBindValue(time);
    q.addBindValue(level);
    q.addBindValue(text);
    if (q.exec())
        return true;
    *error = q.lastError().text();
    return false;
}

bool openIfClosed(QSqlDatabase& db)
{
    if (!db.isValid())
        return false;
    if (db.isOpen())
        return true;
    if (db.open())
        return true;
    qWarning().noquote() << "cannot open" << db.connectionName() << db.lastError().text();
    return false;
}

} // namespace

OperationRecord::OperationRecord(std::function<int()> accessLevel, QObject* parent)
    : QObject(parent),
      recordDir(QStringLiteral("./RECORD")),
      dateCheckTimer(new QTimer(this)),
      accessLevel_(std::move(accessLevel))
{
    dateCheckTimer->setInterval(60000);
    connect(dateCheckTimer, &QTimer::timeout, this, &OperationRecord::SlotCheckDate);
}

QString OperationRecord::LevelText(int accessLevel)
{
    switch (accessLevel) {
    case AccessLevelAdvanced: return Msg(154);
    case AccessLevelPrimary: return Msg(155);
    default: return Msg(156);
    }
}

void OperationRecord::LoadRecordDate()
{
    if (!recordDir.exists())
        QDir().mkpath(recordDir.path());
    QFile f(kDateFile);
    if (f.open(QIODevice::ReadOnly)) {
        recordDate = QString::fromUtf8(f.readAll()).section(QRegularExpression(QStringLiteral("\\s+")), 0, 0,
                                                            QString::SectionSkipEmpty);
    } else {
        recordDate = appClock().now().date().toString(kDateFormat);
        writeDateFile();
    }
    SlotCheckDate();
}

void OperationRecord::StartDateCheck()
{
    dateCheckTimer->start(60000);
}

void OperationRecord::InsertRecord(const QString& text)
{
    const QDateTime at = appClock().now();
    if (QThread::currentThread() != thread()) {
        // The connection belongs to this object's thread.
        QMetaObject::invokeMethod(this, [this, at, text] { insertAt(at, text); },
                                  Qt::QueuedConnection);
        return;
    }
    insertAt(at, text);
}

bool OperationRecord::insertAt(const QDateTime& at, const QString& text)
{
    QSqlDatabase db = QSqlDatabase::database(kRecordConnection, false);
    if (!openIfClosed(db)) {
        qWarning().noquote() << "operation record lost:" << text;
        return false;
    }
    const QString level = LevelText(accessLevel_ ? accessLevel_() : AccessLevelNone);
    const QString time = at.toString(QStringLiteral("hh.mm.ss"));
    QString error;
    if (!execInsert(db, time, level, text, &error)) {
        // A RECORD.db made without the template has no table yet.
        QSqlQuery create(db);
        if (!create.exec(QString::fromLatin1(kCreateTable))
            || !execInsert(db, time, level, text, &error)) {
            qWarning().noquote() << "operation record lost:" << error << text;
            return false;
        }
    }
    if (gpWPara && gpWPara->netEnabled && RelayReady(false))
        gpNet->CNT_SendRecord(at, level, text);
    return true;
}

void OperationRecord::ClearRecord()
{
    QSqlDatabase db = QSqlDatabase::database(kRecordConnection, false);
    if (!openIfClosed(db))
        return;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("DELETE FROM RECORD")))
        qWarning().noquote() << "clearing the operation record failed:" << q.lastError().text();
}

void OperationRecord::SlotCheckDate()
{
    const QString today = appClock().now().date().toString(kDateFormat);
    if (today == recordDate)
        return;
    QSqlDatabase db = QSqlDatabase::database(kRecordConnection, false);
    if (db.isValid())
        db.close();
    if (!archiveRecordFile())
        return;   // RECORD.db and its date stay; the next check tries again
    if (!installEmptyRecordFile())
        qWarning() << "no empty RECORD.db could be made; the next record creates it";
    appClock().sleepMs(300);
    recordDate = today;
    writeDateFile();
}

bool OperationRecord::archiveRecordFile()
{
    if (!QFile::exists(kRecordFile))
        return true;
    if (!recordDir.exists() && !QDir().mkpath(recordDir.path())) {
        qWarning() << "cannot make" << recordDir.path() << "; RECORD.db kept";
        return false;
    }
    // Named after the day of its records; a time.txt that holds no date
    // gives way to the file's own last change.
    QString day = recordDate;
    if (!QDate::fromString(day, kDateFormat).isValid())
        day = QFileInfo(kRecordFile).lastModified().date().toString(kDateFormat);
    QString target = recordDir.filePath(day + QStringLiteral(".db"));
    for (int k = 2; QFileInfo::exists(target); ++k)   // a repeated day keeps both
        target = recordDir.filePath(QStringLiteral("%1_%2.db").arg(day).arg(k));
    if (!QFile::rename(kRecordFile, target)) {
        qWarning() << "cannot move RECORD.db to" << target << "; RECORD.db kept";
        return false;
    }
    return true;
}

bool OperationRecord::installEmptyRecordFile()
{
    if (QFile::exists(kTemplateFile) && QFile::copy(kTemplateFile, kRecordFile)) {
        // The template may be installed read-only; its copy must take records.
        QFile::setPermissions(kRecordFile, QFile::permissions(kRecordFile) | QFileDevice::WriteOwner);
        return true;
    }
    qWarning() << "template" << kTemplateFile << "missing or not copied; making an empty RECORD.db";
    const QString name = QStringLiteral("OperationRecord-create");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(kRecordFile);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QString::fromLatin1(kCreateTable));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void OperationRecord::writeDateFile()
{
    QSaveFile f(kDateFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(recordDate.toUtf8()) < 0 || !f.commit())
        qWarning() << "cannot write" << kDateFile;
}

void OperationRecord::FLushAll()
{
    for (const QString& name : {kSerialConnection, kParamConnection, kRecordConnection}) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    appClock().sleepMs(500);
}

void OperationRecord::ReopenAll()
{
    for (const QString& name : {kSerialConnection, kParamConnection, kRecordConnection}) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        openIfClosed(db);
    }
}
