#include "detectcyclesql.h"

#include "clock.h"
#include "recordswriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <glog/logging.h>

DetectCycleSQL* DetectCycleSQL::instance = nullptr;

const char* const DetectCycleSQL::kConnection = "dbDetectCycle";
const char* const DetectCycleSQL::kViewConnection = "dbDetectCycleView";
const char* const DetectCycleSQL::kFile = "DetectCycle.db";
const char* const DetectCycleSQL::kDir = "./DetectCycle";
const char* const DetectCycleSQL::kTimeFile = "./DetectCycle/time.txt";
const char* const DetectCycleSQL::kCreate =
    "CREATE TABLE IF NOT EXISTS detect_cycle("
    "idx                INTEGER PRIMARY KEY,"
    "roundstart         VARCHAR(32) NOT NULL,"
    "roundtime          VARCHAR(32) NOT NULL)";

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QString dateText(const QDate& d) { return d.toString(kDateFormat); }

// On the writer: the named connection bound to DetectCycle.db, open, with
// its table.
bool bindCurrentFile(RecordsWriter& writer)
{
    const QString name = QString::fromLatin1(DetectCycleSQL::kConnection);
    QSqlDatabase db = QSqlDatabase::contains(name)
                          ? QSqlDatabase::database(name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    writer.adoptConnection(name);
    db.close();
    db.setDatabaseName(QString::fromLatin1(DetectCycleSQL::kFile));
    if (!db.open()) {
        LOG(ERROR) << "cycle-time log: " << DetectCycleSQL::kFile
                   << " does not open: " << db.lastError().text().toStdString();
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(QString::fromLatin1(DetectCycleSQL::kCreate))) {
        LOG(ERROR) << "cycle-time log: cannot make the table: " << q.lastError().text().toStdString();
        return false;
    }
    return true;
}

// The archive name of date: "<date>.db", or "<date>_2.db" ... when taken.
QString freeArchiveName(const QDate& date)
{
    const QDir dir(QString::fromLatin1(DetectCycleSQL::kDir));
    QString path = dir.filePath(dateText(date) + QStringLiteral(".db"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1_%2.db").arg(dateText(date)).arg(n));
    return path;
}

void writeTimeFile(const QDate& date)
{
    QSaveFile f(QString::fromLatin1(DetectCycleSQL::kTimeFile));
    if (!f.open(QIODevice::WriteOnly) || f.write(dateText(date).toLatin1()) < 0 || !f.commit())
        LOG(ERROR) << "cycle-time log: cannot write " << DetectCycleSQL::kTimeFile;
}

} // namespace

DetectCycleSQL::DetectCycleSQL(RecordsWriter& writer) : writer_(writer)
{
    readTime();
    checkDate();
}

DetectCycleSQL::~DetectCycleSQL()
{
    flush();
    const QString view = QString::fromLatin1(kViewConnection);
    if (QSqlDatabase::contains(view)) {
        QSqlDatabase::database(view, false).close();
        QSqlDatabase::removeDatabase(view);
    }
}

QString DetectCycleSQL::roundtimeText(double seconds)
{
    return QString::number(seconds, 'g', 6);
}

void DetectCycleSQL::insertDate(const detectCycleInfo& info)
{
    const QString start = info.roundstart;
    const QString length = roundtimeText(info.roundtime);
    writer_.post(
        [start, length] {
            QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(kConnection), false);
            if (!db.isValid() || (!db.isOpen() && !db.open())) {
                LOG(ERROR) << "DetectCycle.db open fail";
                return;
            }
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO detect_cycle (roundstart, roundtime) VALUES (?, ?)"));
            q.addBindValue(start);
            q.addBindValue(length);
            if (!q.exec())
                LOG(ERROR) << "cycle-time log: row " << start.toStdString()
                           << " not written: " << q.lastError().text().toStdString();
        },
        QString::fromLatin1(kConnection));
}

void DetectCycleSQL::checkDate()
{
    const QDate today = appClock().now().date();
    if (today != logDate) {
        createSQL();
        logDate = today;
    } else {
        createTable();
    }
}

void DetectCycleSQL::readTime()
{
    QDir().mkpath(QString::fromLatin1(kDir));
    QFile f(QString::fromLatin1(kTimeFile));
    QDate date;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray word = f.readAll().simplified().split(' ').value(0);
        date = QDate::fromString(QString::fromLatin1(word), kDateFormat);
    }
    if (date.isValid()) {
        logDate = date;
        return;
    }
    // No valid date: DetectCycle.db belongs to the day it was last written
    // in; without a file, today.
    const QFileInfo file(QString::fromLatin1(kFile));
    logDate = file.exists() && file.lastModified().isValid() ? file.lastModified().date()
                                                             : appClock().now().date();
    if (f.exists())
        LOG(WARNING) << "cycle-time log: " << kTimeFile << " holds no date; "
                     << kFile << " dated " << dateText(logDate).toStdString();
    writeTime(logDate);
}

void DetectCycleSQL::createSQL()
{
    const QDate closing = logDate;
    const QDate opening = appClock().now().date();
    // Queued behind the inserts made so far and waited for, so the day
    // list is right as soon as this returns.
    writer_.call([this, closing, opening] {
        {
            QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(kConnection), false);
            if (db.isValid())
                db.close();
        }
        const QString file = QString::fromLatin1(kFile);
        bool archived = true;
        if (QFileInfo::exists(file)) {
            QDir().mkpath(QString::fromLatin1(kDir));
            const QString target = freeArchiveName(closing.isValid() ? closing : opening.addDays(-1));
            archived = QFile::rename(file, target) && QFileInfo::exists(target);
            if (archived)
                LOG(INFO) << "cycle-time log: day archived as " << target.toStdString();
            else
                LOG(ERROR) << "cycle-time log: cannot move " << kFile << " to " << target.toStdString()
                           << "; its rows stay in it";
        }
        bindCurrentFile(writer_);
        if (archived)
            writeTimeFile(opening);
    });
}

void DetectCycleSQL::createTable()
{
    writer_.call([this] { bindCurrentFile(writer_); });
}

QStringList DetectCycleSQL::getDBName() const
{
    QStringList names;
    const QStringList files = QDir(QString::fromLatin1(kDir))
                                  .entryList({QStringLiteral("*.db")}, QDir::Files,
                                             QDir::Name | QDir::IgnoreCase);
    for (const QString& f : files)
        names.prepend(f.left(f.size() - 3));
    names.prepend(dateText(appClock().now().date()));
    return names;
}

QString DetectCycleSQL::fileOf(const QString& name) const
{
    if (name == dateText(appClock().now().date()))
        return QString::fromLatin1(kFile);
    return QDir(QString::fromLatin1(kDir)).filePath(name + QStringLiteral(".db"));
}

QSqlDatabase DetectCycleSQL::readDB(const QString& file)
{
    const QString path = file.endsWith(QStringLiteral(".db")) ? file : fileOf(file);
    const QString name = QString::fromLatin1(kViewConnection);
    QSqlDatabase db = QSqlDatabase::contains(name)
                          ? QSqlDatabase::database(name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.close();
    viewFile_ = path;
    // Read-only, and never made: looking at a day changes no file.
    if (!QFileInfo::exists(path)) {
        LOG(WARNING) << "database open fail! " << path.toStdString() << " does not exist";
        return QSqlDatabase();
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        LOG(WARNING) << "database open fail! " << path.toStdString() << ": "
                     << db.lastError().text().toStdString();
        return QSqlDatabase();
    }
    return db;
}

void DetectCycleSQL::closeDB()
{
    const QString name = QString::fromLatin1(kViewConnection);
    if (QSqlDatabase::contains(name))
        QSqlDatabase::database(name, false).close();
}

void DetectCycleSQL::setDefaultDB() { readDB(QString::fromLatin1(kFile)); }

void DetectCycleSQL::flush() { writer_.flush(); }

void DetectCycleSQL::writeTime(const QDate& date) { writeTimeFile(date); }
