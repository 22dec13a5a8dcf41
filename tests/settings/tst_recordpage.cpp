// The record page of the settings dialog: the day list from "./RECORD",
// today through the window's connection, an archived day through "dbList"
// opened read-only (never a new or changed file), headers, order and
// column widths by screen width, and the cycle-time page's button.
#include "cameraglobals.h"
#include "colorbutton.h"
#include "fakesettingshost.h"
#include "messages.h"
#include "operationrecord.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QCryptographicHash>
#include <QHeaderView>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace {

const char* const kToday = "2024-03-05";

// A RECORD table in file with rows "time|level|text".
void writeRecords(const QString& file, const QStringList& rows)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE RECORD(recordtime TEXT, recordpassword TEXT, remarks TEXT)")));
        QVERIFY(db.transaction());
        q.prepare(QStringLiteral("INSERT INTO RECORD VALUES(?, ?, ?)"));
        for (const QString& r : rows) {
            const QStringList f = r.split('|');
            q.addBindValue(f[0]);
            q.addBindValue(f[1]);
            q.addBindValue(f[2]);
            QVERIFY(q.exec());
        }
        QVERIFY(db.commit());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

QByteArray digest(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The dialog over a host whose RECORD.db holds today's rows.
struct RecordDialog {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    std::unique_ptr<WizardParaWidget> w;
    int oldW = gShowW, oldH = gShowH;

    explicit RecordDialog(QSize screen = QSize(1280, 800), const QStringList& today = {})
    {
        gShowW = screen.width();
        gShowH = screen.height();
        resetSettingsMetrics();
        env.clock->set(QDateTime(QDate::fromString(QLatin1String(kToday), Qt::ISODate), QTime(10, 0)));
        live = FirstStartParameters();
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        writeRecords(env.path("RECORD.db"), today);
        host.recordDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbRecord"));
        host.recordDb.setDatabaseName(env.path("RECORD.db"));
        host.recordDb.open();
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
        w->show();
    }
    ~RecordDialog()
    {
        w.reset();
        host.recordDb.close();
        host.recordDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("dbRecord"));
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gShowW = oldW;
        gShowH = oldH;
        resetSettingsMetrics();
    }

    void archive(const QString& name, const QStringList& rows)
    {
        QDir().mkpath(env.path("RECORD"));
        writeRecords(env.path("RECORD/" + name), rows);
    }
    QStringList days() const
    {
        QStringList out;
        for (int i = 0; i < w->recordDayList->count(); ++i)
            out << w->recordDayList->item(i)->text();
        return out;
    }
    // The table as shown, "time|level|text" per row, all rows fetched.
    QStringList shownRows() const
    {
        QStringList out;
        QAbstractItemModel* m = w->recordTable->model();
        if (!m)
            return out;
        while (m->canFetchMore(QModelIndex()))
            m->fetchMore(QModelIndex());
        for (int r = 0; r < m->rowCount(); ++r)
            out << QStringLiteral("%1|%2|%3")
                       .arg(m->index(r, 0).data().toString(), m->index(r, 1).data().toString(),
                            m->index(r, 2).data().toString());
        return out;
    }
    void choose(int row)
    {
        w->recordDayList->setCurrentRow(row);
        w->UpdateRecord(w->recordDayList->item(row));
    }
};

} // namespace

class TestRecordPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dayList_data();
    void dayList();
    void archiveThenToday();
    void removedArchiveShowsNothing();
    void tableLooks_data();
    void tableLooks();
    void cycleTimePagePerPress();
};

void TestRecordPage::initTestCase()
{
    qputenv("TZ", "CST-8");
    tzset();
    FillMessageTable();
}

void TestRecordPage::dayList_data()
{
    QTest::addColumn<QStringList>("files");   // in ./RECORD; "-" for no folder at all
    QTest::addColumn<QStringList>("days");

    QTest::newRow("no folder") << QStringList{"-"} << QStringList{kToday};
    QTest::newRow("empty folder") << QStringList{} << QStringList{kToday};
    QTest::newRow("*.db only, newest first")
        << QStringList{"2024-03-01.db", "2024-03-04.db", "2024-03-02_2.db", "2024-03-02.db", "notes.txt",
                       "2024-03-03.db-journal", "2024-03-03.dbx"}
        << QStringList{kToday, "2024-03-04", "2024-03-02_2", "2024-03-02", "2024-03-01"};
}

void TestRecordPage::dayList()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, days);
    RecordDialog d(QSize(1280, 800), {"10.00.00|L|started"});
    const bool folder = files != QStringList{"-"};
    if (folder) {
        QVERIFY(QDir().mkpath(d.env.path("RECORD")));
        for (const QString& f : files)
            d.env.writeFile("RECORD/" + f, "x");
    }
    ColorButton* opener = d.w->buttonByText(206);
    QVERIFY(opener);
    opener->click();
    QCOMPARE(d.w->currentPage, int(SettingsPageRecord));
    QCOMPARE(d.days(), days);
    QCOMPARE(d.w->recordDayList->currentRow(), 0);
    QCOMPARE(d.shownRows(), QStringList{"10.00.00|L|started"});
    QCOMPARE(QFileInfo::exists(d.env.path("RECORD")), folder);

    // Pressed again on the page: the list is not refilled.
    d.env.writeFile("RECORD/2030-01-01.db", "x");
    QDir().mkpath(d.env.path("RECORD"));
    opener->click();
    QCOMPARE(d.days(), days);
}

void TestRecordPage::archiveThenToday()
{
    RecordDialog d(QSize(1280, 800), {"09.00.00|A|today one", "11.30.00|A|today two"});
    d.archive("2024-03-04.db", {"08.00.00|B|old one", "23.59.59|B|old last", "12.00.00|B|old noon"});
    const QString file = d.env.path("RECORD/2024-03-04.db");
    const QByteArray before = digest(file);
    const QDateTime modified = QFileInfo(file).lastModified();

    d.w->SlotToRecord();
    QCOMPARE(d.shownRows(), (QStringList{"11.30.00|A|today two", "09.00.00|A|today one"}));
    QCOMPARE(d.w->recordModel->database().connectionName(), QStringLiteral("dbRecord"));

    d.choose(1);
    QCOMPARE(d.shownRows(), (QStringList{"23.59.59|B|old last", "12.00.00|B|old noon", "08.00.00|B|old one"}));
    QCOMPARE(d.w->recordModel->database().connectionName(), QStringLiteral("dbList"));
    QCOMPARE(QFileInfo(d.w->recordDb.databaseName()).canonicalFilePath(), QFileInfo(file).canonicalFilePath());

    // Today again through the window's connection; "dbList" stays open on
    // the archive, which nobody changed.
    d.choose(0);
    QCOMPARE(d.shownRows(), (QStringList{"11.30.00|A|today two", "09.00.00|A|today one"}));
    QCOMPARE(d.w->recordModel->database().connectionName(), QStringLiteral("dbRecord"));
    QVERIFY(d.w->recordDb.isOpen());
    QCOMPARE(digest(file), before);
    QCOMPARE(QFileInfo(file).lastModified(), modified);
    QCOMPARE(QDir(d.env.path("RECORD")).entryList(QDir::Files), QStringList{"2024-03-04.db"});
}

void TestRecordPage::removedArchiveShowsNothing()
{
    RecordDialog d(QSize(1280, 800), {"09.00.00|A|today"});
    d.archive("2024-03-04.db", {"08.00.00|B|old"});
    d.archive("2024-03-03.db", {"08.00.00|B|older"});
    d.w->SlotToRecord();
    d.choose(2);
    QCOMPARE(d.shownRows(), QStringList{"08.00.00|B|older"});

    QVERIFY(QFile::remove(d.env.path("RECORD/2024-03-04.db")));
    d.choose(1);
    QVERIFY(d.shownRows().isEmpty());
    QVERIFY(!QFileInfo::exists(d.env.path("RECORD/2024-03-04.db")));
    QCOMPARE(QDir(d.env.path("RECORD")).entryList(QDir::Files), QStringList{"2024-03-03.db"});
}

void TestRecordPage::tableLooks_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("language");
    QTest::addColumn<QList<int>>("widths");
    for (int lan : {0, 1, 2}) {
        const QByteArray l = " lang" + QByteArray::number(lan);
        QTest::newRow("1920x1080" + l) << QSize(1920, 1080) << lan << QList<int>{120, 125, 1330};
        QTest::newRow("1280x800" + l) << QSize(1280, 800) << lan << QList<int>{120, 125, 1330};
        QTest::newRow("1024x600" + l) << QSize(1024, 600) << lan << QList<int>{70, 65, 405};
        QTest::newRow("800x480" + l) << QSize(800, 480) << lan << QList<int>{70, 65, 405};
    }
}

void TestRecordPage::tableLooks()
{
    QFETCH(QSize, screen);
    QFETCH(int, language);
    QFETCH(QList<int>, widths);
    struct LanguageFor {
        int old = gLan;
        explicit LanguageFor(int l) { gLan = l; }
        ~LanguageFor() { gLan = old; }
    } runLanguage(language);
    RecordDialog d(screen, {"09.00.00|A|a", "17.45.10|A|c", "10.15.00|A|b"});
    d.w->SlotToRecord();
    QTableView* t = d.w->recordTable;
    QVERIFY(t->isVisible());
    QVERIFY(!t->verticalHeader()->isVisible());
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(t->model()->headerData(c, Qt::Horizontal).toString(), Msg(288 + c));
    QCOMPARE(d.shownRows(), (QStringList{"17.45.10|A|c", "10.15.00|A|b", "09.00.00|A|a"}));
    QCOMPARE(t->columnWidth(0), widths[0]);
    // The level column is its width, or wider where a level text of the
    // run's language needs it.
    int levelWidth = widths[1];
    for (int level : {AccessLevelNone, AccessLevelPrimary, AccessLevelAdvanced})
        levelWidth = qMax(levelWidth, t->fontMetrics().horizontalAdvance(OperationRecord::LevelText(level)) + 12);
    QCOMPARE(t->columnWidth(1), levelWidth);
    // The operation column keeps its width where the table has room for it
    // beside the 30 px scroll bar a full day shows, else it ends inside the
    // table.
    const int room = t->viewport()->width() - 32 - widths[0] - levelWidth;
    if (room >= widths[2])
        QCOMPARE(t->columnWidth(2), widths[2]);
    else
        QVERIFY2(t->columnWidth(2) <= room && t->columnWidth(2) >= 200,
                 qPrintable(QStringLiteral("%1 in %2").arg(t->columnWidth(2)).arg(room)));
    // The page lies inside the dialog, the dialog on the screen.
    const QRect inDialog(t->mapTo(d.w.get(), QPoint(0, 0)), t->size());
    QVERIFY(d.w->rect().contains(inDialog));
    QVERIFY(d.w->width() <= screen.width() && d.w->height() <= screen.height());
}

void TestRecordPage::cycleTimePagePerPress()
{
    RecordDialog d;
    QVERIFY(d.w->detectCycleButton);
    d.w->detectCycleButton->click();
    d.w->detectCycleButton->click();
    QCOMPARE(d.host.callsOf("detectCycle").size(), 2);
}

QTEST_MAIN(TestRecordPage)
#include "tst_recordpage.moc"
