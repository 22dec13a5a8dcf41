// The user accounts store: the tables and default rows it adds to each kind
// of file it finds, what it leaves alone, and a file it cannot use.
#include "readonlyfolder.h"
#include "testenv.h"
#include "usermanager.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <glog/logging.h>

namespace {

const QString kUserTable = QStringLiteral(
    "CREATE TABLE user_table(name varchar(32) primary key,password varchar(32),usertype int,"
    "createtime datetime,psdforsuper varchar(32))");
const QString kPermissionTable =
    QStringLiteral("CREATE TABLE permission_table(name varchar(32)primary key,optype char)");

// Keeps the glog lines of one severity while it is registered.
class GlogLines : public google::LogSink {
public:
    explicit GlogLines(google::LogSeverity severity) : severity_(severity) { google::AddLogSink(this); }
    ~GlogLines() override { google::RemoveLogSink(this); }
    void send(google::LogSeverity severity, const char*, const char*, int, const google::LogMessageTime&,
              const char* message, size_t length) override
    {
        if (severity == severity_)
            lines << QString::fromUtf8(message, int(length));
    }
    QStringList lines;

private:
    google::LogSeverity severity_;
};

// A store someone is logged in to, as no screen of the program does.
class SignedInStore : public UserManager {
public:
    SignedInStore()
    {
        userType_ = UserTypeTechnician;
        currentName_ = QStringLiteral("tech1");
    }
};

// Runs statements against file on a connection of its own.
void exec(const QString& file, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        for (const QString& sql : statements)
            QVERIFY2(QSqlQuery(db).exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase("maker");
}

// Each row of the query as its columns joined by '|'.
QStringList select(const QString& file, const QString& sql)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(file);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next()) {
                QStringList cols;
                for (int c = 0; c < q.record().count(); ++c)
                    cols << q.value(c).toString();
                out << cols.join('|');
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("reader");
    return out;
}

QStringList schema(const QString& file)
{
    return select(file, "select name, sql from sqlite_master where type='table' order by name");
}

QStringList users(const QString& file)
{
    return select(file, "select name, password, usertype, typeof(usertype), psdforsuper from user_table order by name");
}

QStringList permissions(const QString& file)
{
    return select(file, "select name, optype from permission_table order by name");
}

const QStringList kDefaultUsers{"LogOut||0|integer|", "admin|5962|1|integer|5962"};
const QStringList kDefaultPermissions{"LimitUser|0 0 0 0 0 0 0", "operator|0 0 0 0 0 0 0"};
const QStringList kBothTables{"permission_table|" + kPermissionTable, "user_table|" + kUserTable};

} // namespace

class TestUserManager : public QObject {
    Q_OBJECT
private slots:
    void tablesAndDefaultRows_data();
    void tablesAndDefaultRows();
    void fileWithBothTablesIsLeftUnchanged();
    void otherFailureIsLoggedAndUndone();
    void unusableFileIsLeftAsItIs_data();
    void unusableFileIsLeftAsItIs();
    void logOutClearsNameAndType();
};

void TestUserManager::tablesAndDefaultRows_data()
{
    QTest::addColumn<QByteArray>("bytes");          // "-": no file
    QTest::addColumn<QStringList>("before");        // statements run on the file first
    QTest::addColumn<QStringList>("expectedUsers");
    QTest::addColumn<QStringList>("expectedPermissions");

    const QStringList none;
    QTest::newRow("first start without the file") << QByteArray("-") << none << kDefaultUsers << kDefaultPermissions;
    QTest::newRow("zero-byte file") << QByteArray() << none << kDefaultUsers << kDefaultPermissions;
    // The accounts survive, the admin's own password too; the missing
    // placeholder row comes back.
    QTest::newRow("only user_table, with accounts")
        << QByteArray("-")
        << QStringList{kUserTable, "insert into user_table values('admin','7777',1,datetime(),'5962')",
                       "insert into user_table values('tech1','1234',2,datetime(),'')",
                       "insert into user_table values('op1','',3,datetime(),'')"}
        << QStringList{"LogOut||0|integer|", "admin|7777|1|integer|5962", "op1||3|integer|",
                       "tech1|1234|2|integer|"}
        << kDefaultPermissions;
    QTest::newRow("only permission_table, with flags set")
        << QByteArray("-")
        << QStringList{kPermissionTable, "insert into permission_table values('operator','1 1 0 0 0 0 1')"}
        << kDefaultUsers << QStringList{"LimitUser|0 0 0 0 0 0 0", "operator|1 1 0 0 0 0 1"};
}

void TestUserManager::tablesAndDefaultRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, before);
    QFETCH(QStringList, expectedUsers);
    QFETCH(QStringList, expectedPermissions);
    TestEnv env;
    const QString file = env.path(UserManager::kFile);
    if (bytes != "-")
        env.writeFile(UserManager::kFile, bytes);
    if (!before.isEmpty())
        exec(file, before);
    const QStringList createTimesBefore = select(file, "select name, createtime from user_table");

    GlogLines errors(google::GLOG_ERROR);
    UserManager store;
    QVERIFY(store.isOpen());
    QCOMPARE(store.currentName(), QString(" "));
    QCOMPARE(store.userType(), UserTypeNone);
    // The expected failures (a table or row already there) are passed over quietly.
    QCOMPARE(errors.lines, QStringList());

    QCOMPARE(schema(file), kBothTables);
    QCOMPARE(users(file), expectedUsers);
    QCOMPARE(permissions(file), expectedPermissions);
    // Rows that were there keep their time; new ones get the time of insertion.
    const QStringList times = select(file, "select name, createtime from user_table");
    for (const QString& row : createTimesBefore)
        QVERIFY2(times.contains(row), qPrintable(row));
    for (const QString& row : times)
        QVERIFY2(QDateTime::fromString(row.section('|', 1), "yyyy-MM-dd hh:mm:ss").isValid(), qPrintable(row));

    // The next start finds both tables and changes nothing.
    const QByteArray made = env.readFile(UserManager::kFile);
    { UserManager again; }
    QCOMPARE(env.readFile(UserManager::kFile), made);
}

void TestUserManager::fileWithBothTablesIsLeftUnchanged()
{
    // Neither table is touched once both exist, even without the default rows.
    TestEnv env;
    const QString file = env.path(UserManager::kFile);
    exec(file, {kUserTable, kPermissionTable, "insert into user_table values('tech1','1234',2,datetime(),'')",
                "insert into permission_table values('LimitUser','1 0 1 0 1 0 1')"});
    const QByteArray bytes = env.readFile(UserManager::kFile);
    GlogLines errors(google::GLOG_ERROR);
    UserManager store;
    QVERIFY(store.isOpen());
    QCOMPARE(env.readFile(UserManager::kFile), bytes);
    QCOMPARE(users(file), QStringList{"tech1|1234|2|integer|"});
    QCOMPARE(errors.lines, QStringList());
}

void TestUserManager::otherFailureIsLoggedAndUndone()
{
    // A user_table of another shape takes no default row: that failure is
    // logged with its reason and nothing of the set-up stays, so the file is
    // as it was.
    TestEnv env;
    const QString file = env.path(UserManager::kFile);
    exec(file, {"create table user_table(name varchar(32) primary key,password varchar(32))",
                "insert into user_table values('tech1','1234')"});
    const QByteArray bytes = env.readFile(UserManager::kFile);
    GlogLines errors(google::GLOG_ERROR);
    UserManager store;
    QCOMPARE(errors.lines.size(), 1);
    QVERIFY2(errors.lines[0].contains("UserDataBase.db") && errors.lines[0].contains("insert into user_table")
                 && errors.lines[0].contains("2 columns"),
             qPrintable(errors.lines[0]));
    QCOMPARE(env.readFile(UserManager::kFile), bytes);
    QCOMPARE(select(file, "select name from sqlite_master order by name"),
             (QStringList{"sqlite_autoindex_user_table_1", "user_table"}));
    QCOMPARE(store.currentName(), QString(" "));
}

void TestUserManager::unusableFileIsLeftAsItIs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("unreadable");
    QByteArray garbage(8192, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131 + 7) % 251);
    // A sound header whose pages are gone.
    QByteArray header = QByteArray("SQLite format 3", 16) + QByteArray(84, '\0');
    header[16] = 0x10;          // 4096-byte pages
    header[17] = 0x00;
    header[18] = header[19] = 1;
    header[21] = 64, header[22] = 32, header[23] = 32;
    header[27] = header[95] = 1;   // change counter, matched by "valid for"
    header[31] = 3;                // three pages, none of them there
    QTest::newRow("garbage bytes") << garbage << false;
    QTest::newRow("header without its pages") << header << false;
    // A sound store that lacks permission_table: only unreadable.
    QTest::newRow("unreadable file") << QByteArray("store with user_table") << true;
}

void TestUserManager::unusableFileIsLeftAsItIs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, unreadable);
    TestEnv env;
    const QString file = env.path(UserManager::kFile);
    if (unreadable) {
        exec(file, {kUserTable});
        bytes = env.readFile(UserManager::kFile);
    } else {
        env.writeFile(UserManager::kFile, bytes);
    }
    GlogLines errors(google::GLOG_ERROR);
    {
        std::unique_ptr<ReadOnlyFolder> locked;
        if (unreadable) {
            QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions()));
            locked = std::make_unique<ReadOnlyFolder>(env.dir());
            if (!locked->ok()) {
                locked.reset();
                QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
                QSKIP("this process reads any file: cannot drop CAP_DAC_OVERRIDE");
            }
        }
        SignedInStore store;
        QVERIFY(!store.isOpen());
        store.LogOut();
        QCOMPARE(store.currentName(), QString(" "));
        QCOMPARE(store.userType(), UserTypeNone);
    }
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(env.readFile(UserManager::kFile), bytes);
    // Nothing moved aside, no journal left behind.
    QCOMPARE(QDir(env.dir()).entryList({"UserDataBase*"}, QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{UserManager::kFile});
    const QString all = errors.lines.join('\n');
    QVERIFY2(all.contains("user accounts store UserDataBase.db not opened"), qPrintable(all));
}

void TestUserManager::logOutClearsNameAndType()
{
    TestEnv env;
    SignedInStore store;
    QCOMPARE(store.currentName(), QString("tech1"));
    const QByteArray bytes = env.readFile(UserManager::kFile);
    store.LogOut();
    QCOMPARE(store.currentName(), QString(" "));
    QCOMPARE(store.userType(), UserTypeNone);
    QCOMPARE(int(store.userType()), 0);
    QCOMPARE(env.readFile(UserManager::kFile), bytes);
}

QTEST_MAIN(TestUserManager)
#include "tst_usermanager.moc"
