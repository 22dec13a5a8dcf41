// Parameter groups on disk, in a program directory holding PARAM.db and the
// template folders "cammer11", "cammer12" and "cammer21": the name rules,
// the backup (what it copies, the swap that keeps an old group whole), the
// restore (the checks, the staged set, ".previous", the roll-back after a
// failure at any step) and the delete.  No command ever runs.
#include "paramgroups.h"
#include "readonlyfolder.h"
#include "testenv.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

// A PARAM.db whose table "sysparam" holds one row naming what set it is.
void makeParamDb(const QString& file, const QString& mark)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE sysparam(name TEXT, value TEXT)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE cammer1(name TEXT, value TEXT)")));
        q.prepare(QStringLiteral("INSERT INTO sysparam VALUES('set', ?)"));
        q.addBindValue(mark);
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

// The mark of a PARAM.db, "" when it does not open as one.
QString paramMark(const QString& file)
{
    QString mark;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT value FROM sysparam WHERE name = 'set'")) && q.next())
                mark = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return mark;
}

// A template folder with two pictures and its mask, their bytes naming it.
void makeTemplates(TestEnv& env, const QString& folder, const QByteArray& mark)
{
    for (const char* f : {"template1.bmp", "template2.bmp", "ignorepoint.bmp"})
        env.writeFile(folder + QLatin1Char('/') + QLatin1String(f), mark + ' ' + f);
}

// Every entry below root: files by content (a database by its mark),
// folders as "<dir>".
QMap<QString, QString> tree(const QString& root)
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(root).relativeFilePath(it.filePath());
        if (it.fileInfo().isDir()) {
            out[rel] = QStringLiteral("<dir>");
            continue;
        }
        QFile f(it.filePath());
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        out[rel] = bytes.startsWith("SQLite format 3") ? QStringLiteral("db ") + paramMark(it.filePath())
                                                        : QString::fromUtf8(bytes);
    }
    return out;
}

// The program directory every case starts from.
struct Program {
    TestEnv env;
    ParamGroups groups{QDir::currentPath()};
    Program()
    {
        makeParamDb(env.path("PARAM.db"), "current");
        makeTemplates(env, "cammer11", "cur11");
        makeTemplates(env, "cammer12", "cur12");
        makeTemplates(env, "cammer21", "cur21");
        env.writeFile("count.txt", "12");
    }
    QString group(const QString& name, const QString& rel = QString()) const
    {
        return env.path("paraGroup/" + name + (rel.isEmpty() ? QString() : "/" + rel));
    }
    // A group as a backup makes it, with its own marks.
    void makeGroup(const QString& name, const QStringList& folders = {"cammer11"})
    {
        QVERIFY(QDir().mkpath(group(name)));
        makeParamDb(group(name, "PARAM.db"), name);
        for (const QString& f : folders)
            makeTemplates(env, "paraGroup/" + name + "/" + f, name.toUtf8() + f.right(2).toUtf8());
    }
    QStringList hidden() const
    {
        return QDir(env.path("paraGroup")).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot).filter(QRegularExpression("^\\."));
    }
};

using NameCheck = ParamGroups::NameCheck;

} // namespace

Q_DECLARE_METATYPE(ParamGroups::NameCheck)

class TestParamGroups : public QObject {
    Q_OBJECT
private slots:
    // ---- names

    void nameRules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<NameCheck>("check");
        QTest::newRow("empty") << QString() << NameCheck::Empty;
        QTest::newRow("blanks") << QStringLiteral("   ") << NameCheck::Empty;
        QTest::newRow("slash") << QStringLiteral("a/b") << NameCheck::Refused;
        QTest::newRow("parent") << QStringLiteral("..") << NameCheck::Refused;
        QTest::newRow("up and out") << QStringLiteral("../x") << NameCheck::Refused;
        QTest::newRow("leading dot") << QStringLiteral(".x") << NameCheck::Refused;
        QTest::newRow("backslash") << QStringLiteral("a\\b") << NameCheck::Refused;
        QTest::newRow("tab") << QStringLiteral("a\tb") << NameCheck::Refused;
        QTest::newRow("line feed") << QStringLiteral("a\nb") << NameCheck::Refused;
        QTest::newRow("escape") << QStringLiteral("a\x1b") << NameCheck::Refused;
        QTest::newRow("delete char") << QStringLiteral("a\x7f") << NameCheck::Refused;
        QTest::newRow("64 characters") << QString(64, QLatin1Char('n')) << NameCheck::Ok;
        QTest::newRow("65 characters") << QString(65, QLatin1Char('n')) << NameCheck::Refused;
        QTest::newRow("64 Chinese") << QString(64, QChar(0x6a21)) << NameCheck::Ok;
        QTest::newRow("default") << QStringLiteral("default") << NameCheck::Protected;
        QTest::newRow("Default") << QStringLiteral("Default") << NameCheck::Ok;
        QTest::newRow("star") << QStringLiteral("x *") << NameCheck::Ok;
        QTest::newRow("semicolon") << QStringLiteral("a;b") << NameCheck::Ok;
        QTest::newRow("quote and dollar") << QStringLiteral("a'$(b)\"") << NameCheck::Ok;
        QTest::newRow("inner dot") << QStringLiteral("mould 1.2") << NameCheck::Ok;
        QTest::newRow("Chinese") << QStringLiteral("模具A") << NameCheck::Ok;
    }
    void nameRules()
    {
        QFETCH(QString, name);
        QFETCH(NameCheck, check);
        QCOMPARE(ParamGroups::CheckName(name), check);
        Program p;
        const auto before = tree(p.env.dir());
        const ParamGroups::Result r = p.groups.backup(name, 2);
        QCOMPARE(r.ok, check == NameCheck::Ok);
        QCOMPARE(r.name, check);
        auto after = tree(p.env.dir());
        if (check == NameCheck::Ok) {
            // Stored under exactly that name, as a plain folder name.
            QCOMPARE(p.groups.list(), QStringList{name});
            QCOMPARE(after.value("paraGroup/" + name + "/PARAM.db"), QStringLiteral("db current"));
            for (auto it = after.begin(); it != after.end();)
                it = it.key().startsWith("paraGroup") ? after.erase(it) : std::next(it);
        }
        QCOMPARE(after, before);
        QVERIFY(p.env.runner->calls().empty());
    }

    // ---- listing

    void listSortedWithoutWorkingFolders()
    {
        Program p;
        QVERIFY(!QFileInfo::exists(p.env.path("paraGroup")));
        QCOMPARE(p.groups.list(), QStringList());
        QVERIFY(QFileInfo(p.env.path("paraGroup")).isDir());   // made when missing
        for (const char* d : {"b", "A", "default", "a", ".restore", ".previous", ".new-x", ".delete-y"})
            QVERIFY(QDir().mkpath(p.group(d)));
        p.env.writeFile("paraGroup/z.txt", "not a group");
        QCOMPARE(p.groups.list(), QStringList({"A", "a", "b", "default"}));
    }

    // ---- backup

    void backupCopiesTheTemplatesOfTheDetectionsInUseAndPARAMdb()
    {
        Program p;
        makeTemplates(p.env, "cammer13", "cur13");
        p.env.writeFile("cammer11/sub/deep.bmp", "deep");
        const ParamGroups::Result r = p.groups.backup("G", 2);
        QVERIFY2(r.ok, qPrintable(r.detail));
        QCOMPARE(r.files, 11);
        const auto group = tree(p.group("G"));
        QCOMPARE(group.keys(), QStringList({"PARAM.db", "cammer11", "cammer11/ignorepoint.bmp", "cammer11/sub",
                                            "cammer11/sub/deep.bmp", "cammer11/template1.bmp",
                                            "cammer11/template2.bmp", "cammer12", "cammer12/ignorepoint.bmp",
                                            "cammer12/template1.bmp", "cammer12/template2.bmp", "cammer21",
                                            "cammer21/ignorepoint.bmp", "cammer21/template1.bmp",
                                            "cammer21/template2.bmp"}));
        const auto program = tree(p.env.dir());
        for (auto it = group.begin(); it != group.end(); ++it)
            QCOMPARE(it.value(), program.value(it.key()));
        QVERIFY(p.hidden().isEmpty());
        // With four detections the third one's folder goes too.
        QVERIFY(p.groups.backup("G4", 4).ok);
        QVERIFY(QFileInfo(p.group("G4", "cammer13/template1.bmp")).isFile());
    }

    void backupHoldsASnapshotOfADatabaseInUse()
    {
        Program p;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inUse"));
        db.setDatabaseName(p.env.path("PARAM.db"));
        QVERIFY(db.open());
        {
            QSqlQuery q(db);
            QVERIFY(db.transaction());
            QVERIFY(q.exec("UPDATE sysparam SET value = 'uncommitted'"));
            QVERIFY(p.groups.backup("G", 2).ok);
            QVERIFY(db.rollback());
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("inUse"));
        QCOMPARE(paramMark(p.group("G", "PARAM.db")), QStringLiteral("current"));
    }

    void overwriteReplacesTheGroupOnlyWhenTheCopyIsWhole()
    {
        Program p;
        p.makeGroup("A", {"cammer11", "cammer31"});
        const auto old = tree(p.group("A"));
        // A copy that breaks half way: the old group stays as it was.
        p.groups.fault = [](const QString& step) { return step == "copy cammer12/template1.bmp"; };
        ParamGroups::Result r = p.groups.backup("A", 2);
        QVERIFY(!r.ok);
        QCOMPARE(tree(p.group("A")), old);
        QVERIFY(p.hidden().isEmpty());
        // The new group cannot take the name: the old one comes back.
        p.groups.fault = [](const QString& step) { return step.startsWith("move paraGroup/.new-A"); };
        QVERIFY(!p.groups.backup("A", 2).ok);
        QCOMPARE(tree(p.group("A")), old);
        QVERIFY(p.hidden().isEmpty());
        // Whole: the new set replaces the old one, nothing of it stays.
        p.groups.fault = nullptr;
        r = p.groups.backup("A", 2);
        QVERIFY(r.ok);
        QCOMPARE(paramMark(p.group("A", "PARAM.db")), QStringLiteral("current"));
        QVERIFY(!QFileInfo::exists(p.group("A", "cammer31")));
        QCOMPARE(p.env.readFile("paraGroup/A/cammer11/template1.bmp"), QByteArray("cur11 template1.bmp"));
        QVERIFY(p.hidden().isEmpty());
    }

    void backupIntoAReadOnlyFolderKeepsTheOldGroup()
    {
        Program p;
        p.makeGroup("A");
        const auto old = tree(p.group("A"));
        {
            ReadOnlyFolder ro(p.env.path("paraGroup"));
            if (!ro.ok())
                QSKIP("the folder cannot be made read-only here");
            QVERIFY(!p.groups.backup("A", 2).ok);
            QVERIFY(!p.groups.backup("B", 2).ok);
        }
        QCOMPARE(tree(p.group("A")), old);
        QCOMPARE(p.groups.list(), QStringList{"A"});
        QVERIFY(p.hidden().isEmpty());
    }

    void backupWithoutParamDbMakesNoGroup()
    {
        Program p;
        QVERIFY(QFile::remove(p.env.path("PARAM.db")));
        QVERIFY(!p.groups.backup("G", 2).ok);
        QCOMPARE(p.groups.list(), QStringList());
        QVERIFY(p.hidden().isEmpty());
    }

    // ---- restore

    void restorePutsTheGroupInPlaceAndKeepsTheReplacedSet()
    {
        Program p;
        p.makeGroup("G", {"cammer11", "cammer22"});
        p.env.writeFile("paraGroup/G/notes.txt", "stray");
        QVERIFY(QDir().mkpath(p.group("G", "other")));
        p.env.writeFile("PARAM.db-journal", "journal of the current PARAM.db");
        const QByteArray currentDb = p.env.readFile("PARAM.db");
        const ParamGroups::Result r = p.groups.restore("G", 2);
        QVERIFY2(r.ok, qPrintable(r.detail));
        const auto now = tree(p.env.dir());
        QCOMPARE(now.value("PARAM.db"), QStringLiteral("db G"));
        QCOMPARE(now.value("cammer11/template1.bmp"), QStringLiteral("G11 template1.bmp"));
        QCOMPARE(now.value("cammer22/template2.bmp"), QStringLiteral("G22 template2.bmp"));
        // The detections in use lose what the group does not have.
        QVERIFY(!now.contains("cammer12"));
        QVERIFY(!now.contains("cammer21"));
        QVERIFY(!now.contains("PARAM.db-journal"));
        // Strays stay in the group.
        QVERIFY(!now.contains("notes.txt"));
        QVERIFY(!now.contains("other"));
        QCOMPARE(now.value("count.txt"), QStringLiteral("12"));
        // The replaced set, whole.
        // The database went with its journal (which is no real one here,
        // so the pair is compared by bytes).
        QCOMPARE(p.env.readFile("paraGroup/.previous/PARAM.db"), currentDb);
        QCOMPARE(now.value("paraGroup/.previous/PARAM.db-journal"), QStringLiteral("journal of the current PARAM.db"));
        for (const char* f : {"cammer11", "cammer12", "cammer21"})
            QCOMPARE(now.value(QStringLiteral("paraGroup/.previous/%1/template1.bmp").arg(f)),
                     QStringLiteral("cur%1 template1.bmp").arg(QLatin1String(f).right(2)));
        QCOMPARE(p.hidden(), QStringList{".previous"});
        QCOMPARE(p.groups.list(), QStringList{"G"});
        // The group itself is untouched; the next restore replaces the kept set.
        QCOMPARE(now.value("paraGroup/G/PARAM.db"), QStringLiteral("db G"));
        QVERIFY(QFile::remove(p.env.path("paraGroup/.previous/PARAM.db-journal")));
        p.makeGroup("H", {});
        QVERIFY(p.groups.restore("H", 2).ok);
        const auto next = tree(p.env.dir());
        QCOMPARE(next.value("paraGroup/.previous/PARAM.db"), QStringLiteral("db G"));
        QVERIFY(!next.contains("paraGroup/.previous/cammer12"));
        QCOMPARE(next.value("paraGroup/.previous/cammer22/template1.bmp"), QStringLiteral("G22 template1.bmp"));
    }

    void restoreReplacesTheLaterDetectionsOnlyWhenInUse_data()
    {
        QTest::addColumn<int>("detections");
        QTest::addColumn<bool>("kept");
        QTest::newRow("two in use") << 2 << true;
        QTest::newRow("four in use") << 4 << false;
    }
    void restoreReplacesTheLaterDetectionsOnlyWhenInUse()
    {
        QFETCH(int, detections);
        QFETCH(bool, kept);
        Program p;
        makeTemplates(p.env, "cammer13", "cur13");
        makeTemplates(p.env, "cammer24", "cur24");
        p.makeGroup("G");   // made with two detections
        QVERIFY(p.groups.restore("G", detections).ok);
        QCOMPARE(QFileInfo::exists(p.env.path("cammer13")), kept);
        QCOMPARE(QFileInfo::exists(p.env.path("cammer24")), kept);
        QCOMPARE(QFileInfo::exists(p.env.path("paraGroup/.previous/cammer13")), !kept);
    }

    void restoringDefaultAlsoBringsTheSerialsAndTheFactoryArchive()
    {
        Program p;
        p.env.writeFile("SN.db", "current serials");
        p.makeGroup("default", {});
        p.env.writeFile("paraGroup/default/SN.db", "factory serials");
        p.env.writeFile("paraGroup/default/20clearsh.tar.gz", "archive");
        QVERIFY(p.groups.restore("default", 2).ok);
        QCOMPARE(p.env.readFile("SN.db"), QByteArray("factory serials"));
        QCOMPARE(p.env.readFile("20clearsh.tar.gz"), QByteArray("archive"));
        QCOMPARE(p.env.readFile("paraGroup/.previous/SN.db"), QByteArray("current serials"));
        QCOMPARE(paramMark(p.env.path("PARAM.db")), QStringLiteral("default"));
        QVERIFY(QFileInfo(p.group("default", "SN.db")).isFile());
    }

    void aRefusedOrFailedRestoreChangesNothing_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("faultAt");   // "move:N" the N-th move, else a step
        QTest::newRow("missing group") << "nothere" << "" << "";
        QTest::newRow("no PARAM.db") << "G" << "remove" << "";
        QTest::newRow("damaged PARAM.db") << "G" << "garble" << "";
        QTest::newRow("truncated PARAM.db") << "G" << "truncate" << "";
        QTest::newRow("no sysparam") << "G" << "other table" << "";
        QTest::newRow("copy breaks") << "G" << "" << "copy paraGroup/G/cammer11/template2.bmp";
        QTest::newRow("after the first move") << "G" << "" << "move:2";
        QTest::newRow("first move into place") << "G" << "" << "move paraGroup/.restore/PARAM.db";
        QTest::newRow("last move into place") << "G" << "" << "move paraGroup/.restore/cammer11";
        QTest::newRow("kept set not set aside") << "G" << "" << "move paraGroup/.previous";
    }
    void aRefusedOrFailedRestoreChangesNothing()
    {
        QFETCH(QString, group);
        QFETCH(QString, damage);
        QFETCH(QString, faultAt);
        Program p;
        p.makeGroup("G", {"cammer11"});
        // An earlier restore's kept set, which a failure must keep too.
        p.makeGroup("E", {"cammer12"});
        QVERIFY(p.groups.restore("E", 2).ok);
        QVERIFY(p.groups.restore("E", 2).ok);
        const QString db = p.group("G", "PARAM.db");
        if (damage == "remove") {
            QVERIFY(QFile::remove(db));
        } else if (damage == "garble") {
            QFile f(db);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(0);
            f.write(QByteArray(100, 'x'));
        } else if (damage == "truncate") {
            QFile f(db);
            QVERIFY(f.resize(f.size() / 2 + 1));
        } else if (damage == "other table") {
            QVERIFY(QFile::remove(db));
            makeParamDb(db, "G");
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("rename"));
            c.setDatabaseName(db);
            QVERIFY(c.open());
            QVERIFY(QSqlQuery(c).exec("ALTER TABLE sysparam RENAME TO other"));
            c.close();
            c = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("rename"));
        }
        int moves = 0;
        p.groups.fault = [&](const QString& step) {
            if (step.startsWith("move "))
                ++moves;
            if (faultAt.startsWith("move:"))
                return step.startsWith("move ") && moves == faultAt.mid(5).toInt();
            return !faultAt.isEmpty() && step == faultAt;
        };
        const auto before = tree(p.env.dir());
        const ParamGroups::Result r = p.groups.restore(group, 2);
        QVERIFY(!r.ok);
        QVERIFY(!r.detail.isEmpty());
        QCOMPARE(tree(p.env.dir()), before);
        if (faultAt.startsWith("move"))
            QVERIFY(moves >= 1);
    }

    // ---- delete

    void deleteRemovesTheGroupButNeverDefault()
    {
        Program p;
        p.makeGroup("A");
        p.makeGroup("B");
        p.makeGroup("default", {});
        ParamGroups::Result r = p.groups.remove("default");
        QVERIFY(!r.ok);
        QCOMPARE(r.name, NameCheck::Protected);
        QVERIFY(!p.groups.remove("nothere").ok);
        QVERIFY(!p.groups.remove("../A").ok);
        QVERIFY(!p.groups.remove("").ok);
        QCOMPARE(p.groups.list(), QStringList({"A", "B", "default"}));
        QVERIFY(p.groups.remove("A").ok);
        QCOMPARE(p.groups.list(), QStringList({"B", "default"}));
        QVERIFY(p.hidden().isEmpty());
        // A rename that fails leaves the group listed.
        p.groups.fault = [](const QString& step) { return step == "move paraGroup/B"; };
        QVERIFY(!p.groups.remove("B").ok);
        QCOMPARE(p.groups.list(), QStringList({"B", "default"}));
        QVERIFY(p.env.runner->calls().empty());
    }
};

QTEST_GUILESS_MAIN(TestParamGroups)
#include "tst_paramgroups.moc"
