#include "databaseopener.h"

#include "clock.h"
#include "namevaluerows.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <glog/logging.h>

namespace {

enum class Health { Good, Damaged, Busy };

// The named connection, closed and pointed at file (made on first use).
QSqlDatabase connectionOn(const QString& connection, const QString& file)
{
    QSqlDatabase db = QSqlDatabase::contains(connection)
                          ? QSqlDatabase::database(connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.close();
    db.setDatabaseName(file);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(DatabaseOpener::kBusyTimeoutMs));
    return db;
}

// A file shorter than the page count its header gives has lost pages that
// SQLite would read as zeros without a complaint.
bool truncated(const QString& file, QString* error)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray h = f.read(100);
    if (h.size() < 100 || !h.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return false;   // quick_check judges the rest
    auto be = [&h](int at, int n) {
        quint32 v = 0;
        for (int k = 0; k < n; ++k)
            v = (v << 8) | uchar(h[at + k]);
        return v;
    };
    const quint32 pageSize = be(16, 2) == 1 ? 65536u : be(16, 2);
    const quint32 pages = be(28, 4);
    // The page count is valid only when the change counter matches.
    if (be(24, 4) != be(92, 4) || pages == 0)
        return false;
    const qint64 expected = qint64(pageSize) * pages;
    if (f.size() >= expected)
        return false;
    *error = QStringLiteral("%1 has %2 of its %3 bytes").arg(file).arg(f.size()).arg(expected);
    return true;
}

// One quick_check.  Opening an SQLite file reads nothing, and the schema
// lives on page 1 only: a damaged later page shows up here and nowhere else.
Health checkOnce(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("pragma quick_check")) || !q.next()) {
        const QSqlError e = q.lastError();
        *error = e.isValid() ? e.text() : QStringLiteral("quick_check gave no answer");
        return namevaluerows::IsBusy(e) ? Health::Busy : Health::Damaged;
    }
    const QString first = q.value(0).toString();
    if (first == QLatin1String("ok"))
        return Health::Good;
    *error = first;
    return Health::Damaged;
}

// Opens file on the connection and checks it, waiting a bounded time for a
// lock held elsewhere.  A database left busy stays open.
Health openAndCheck(const QString& connection, const QString& file, QString* error)
{
    QSqlDatabase db = connectionOn(connection, file);
    if (!db.open()) {
        *error = db.lastError().text();
        return namevaluerows::IsBusy(db.lastError()) ? Health::Busy : Health::Damaged;
    }
    if (truncated(file, error)) {
        db.close();
        return Health::Damaged;
    }
    Health h = Health::Busy;
    for (int attempt = 0; attempt < DatabaseOpener::kBusyAttempts; ++attempt) {
        if (attempt > 0)
            appClock().sleepMs(DatabaseOpener::kBusyPauseMs);
        h = checkOnce(db, error);
        if (h != Health::Busy)
            break;
    }
    if (h == Health::Damaged)
        db.close();
    return h;
}

QString freeAsideName(const QString& file)
{
    const QString stamp = appClock().now().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString name = QStringLiteral("%1.broken_%2").arg(file, stamp);
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1.broken_%2_%3").arg(file, stamp).arg(n);
    return name;
}

bool copyDefault(const QString& defaultCopy, const QString& file)
{
    if (!QFile::copy(defaultCopy, file))
        return false;
    QFile::setPermissions(file, QFile::permissions(file) | QFile::WriteOwner | QFile::ReadOwner);
    return true;
}

} // namespace

DatabaseOpenResult DatabaseOpener::Open(const QString& connection, const QString& file,
                                        const QString& defaultCopy)
{
    DatabaseOpenResult r;
    const std::string name = file.toStdString();
    if (!QFileInfo::exists(file)) {
        if (QFileInfo::exists(defaultCopy)) {
            // First start: the file comes from its default copy.
            if (!copyDefault(defaultCopy, file)) {
                r.error = QStringLiteral("%1 is missing; cannot copy %2").arg(file, defaultCopy);
                return r;
            }
            r.fromDefault = true;
            LOG(INFO) << "database " << name << " made from " << defaultCopy.toStdString();
        } else {
            // Nothing to lose and nothing to restore: SQLite makes the file.
            r.created = true;
            LOG(WARNING) << "database " << name << " was missing; made empty";
        }
    }

    const Health h = openAndCheck(connection, file, &r.error);
    if (h == Health::Good) {
        r.ok = true;
        r.error.clear();
        return r;
    }
    if (h == Health::Busy) {
        r.busy = true;
        r.error = QStringLiteral("%1 is locked by another process: %2").arg(file, r.error);
        LOG(ERROR) << r.error.toStdString() << "; left as it is";
        return r;
    }

    LOG(ERROR) << "database " << name << " is damaged: " << r.error.toStdString();
    if (r.fromDefault || r.created) {
        r.error += QStringLiteral("; the default copy %1 is damaged").arg(defaultCopy);
        return r;
    }
    if (!QFileInfo::exists(defaultCopy)) {
        r.error += QStringLiteral("; no default copy %1").arg(defaultCopy);
        return r;
    }
    const QString aside = freeAsideName(file);
    if (!QFile::rename(file, aside)) {
        r.error += QStringLiteral("; cannot move %1 aside").arg(file);
        return r;
    }
    r.movedAsideTo = aside;
    LOG(ERROR) << "damaged database kept as " << aside.toStdString();
    if (!copyDefault(defaultCopy, file)) {
        r.error += QStringLiteral("; cannot copy %1").arg(defaultCopy);
        // Put the original back so nothing is lost.
        QFile::rename(aside, file);
        r.movedAsideTo.clear();
        return r;
    }
    r.restored = true;
    QString second;
    const Health again = openAndCheck(connection, file, &second);
    r.ok = again == Health::Good;
    if (!r.ok)
        r.error += QStringLiteral("; default copy does not open either: ") + second;
    return r;
}
