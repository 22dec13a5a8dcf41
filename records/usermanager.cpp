#include "usermanager.h"

#include "databaseopener.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <glog/logging.h>

UserManager* UserManager::instance = nullptr;
const char* const UserManager::kConnection = "sql_user_database_connection";
const char* const UserManager::kFile = "UserDataBase.db";

namespace {

// The tables and default rows, in the order they are made.  A statement
// whose table or row is already there fails, and that failure is the
// expected one: a file with only user_table keeps its accounts and gains
// permission_table with both rows.
struct SetupStep {
    const char* table;
    bool creates;   // else inserts a default row
    const char* sql;
};

constexpr SetupStep kSetup[] = {
    {"user_table", true,
     "create table user_table(name varchar(32) primary key,password varchar(32),usertype int,"
     "createtime datetime,psdforsuper varchar(32))"},
    {"user_table", false, "insert into user_table values('admin','5962',1,datetime(),'5962')"},
    {"user_table", false, "insert into user_table values('LogOut','',0,datetime(),'')"},
    {"permission_table", true, "create table permission_table(name varchar(32)primary key,optype char)"},
    {"permission_table", false, "insert into permission_table values('operator','0 0 0 0 0 0 0')"},
    {"permission_table", false, "insert into permission_table values('LimitUser','0 0 0 0 0 0 0')"},
};

constexpr int kSqliteConstraint = 19;

bool isConstraintError(const QSqlError& e)
{
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return ok && (code & 0xFF) == kSqliteConstraint;
}

QSqlDatabase connection(bool open = false)
{
    return QSqlDatabase::database(QString::fromLatin1(UserManager::kConnection), open);
}

void logFailure(const char* what, const QSqlError& e)
{
    LOG(ERROR) << "user accounts store " << UserManager::kFile << ": " << what << " failed: "
               << e.text().toStdString();
}

// Runs the set-up in one transaction.  Any failure but the expected ones
// rolls everything back, so the file stays as it was and the next start
// tries again.
void createMissing(QSqlDatabase& db, const QStringList& tablesBefore)
{
    if (!db.transaction()) {
        logFailure("begin", db.lastError());
        return;
    }
    for (const SetupStep& step : kSetup) {
        QSqlQuery q(db);
        if (q.exec(QString::fromLatin1(step.sql)))
            continue;
        const bool expected = step.creates ? tablesBefore.contains(QLatin1String(step.table))
                                           : isConstraintError(q.lastError());
        if (expected)
            continue;
        logFailure(step.sql, q.lastError());
        if (!db.rollback())
            logFailure("rollback", db.lastError());
        return;
    }
    if (!db.commit()) {
        logFailure("commit", db.lastError());
        db.rollback();
    }
}

} // namespace

UserManager::UserManager()
{
    connectDatabase();
}

UserManager::~UserManager()
{
    const QString name = QString::fromLatin1(kConnection);
    if (!QSqlDatabase::contains(name))
        return;
    connection().close();
    QSqlDatabase::removeDatabase(name);
}

void UserManager::connectDatabase()
{
    // No user name or password on the connection: SQLite has no use for them.
    // The file is checked before anything writes to it, and without a
    // default copy a damaged file is neither moved nor replaced.
    const DatabaseOpenResult opened =
        DatabaseOpener::Open(QString::fromLatin1(kConnection), QString::fromLatin1(kFile), QString());
    QSqlDatabase db = connection();
    if (!opened.ok) {
        db.close();
        LOG(ERROR) << "user accounts store " << kFile << " not opened, left as it is: "
                   << opened.error.toStdString();
    } else {
        const QStringList tables = db.tables();
        if (!tables.contains(QLatin1String("user_table")) || !tables.contains(QLatin1String("permission_table")))
            createMissing(db, tables);
    }
    LogOut();
}

void UserManager::LogOut()
{
    userType_ = UserTypeNone;
    currentName_ = QStringLiteral(" ");
}

bool UserManager::isOpen() const
{
    return QSqlDatabase::contains(QString::fromLatin1(kConnection)) && connection().isOpen();
}
