// The advanced page's parameter groups over a recording host: the list and
// the name field, and the dialogues of backup, restore and delete with the
// boxes they ask, the records, the group index and the reboot through the
// recording runner.  The copies run on the worker while the GUI thread
// goes on.
#include "cameraglobals.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "editbox.h"
#include "fakesettingshost.h"
#include "messages.h"
#include "projectmessages.h"
#include "relaylink.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "testenv.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <memory>
#include <thread>

namespace {

enum { No = 0, Yes = 1 };

// A group's PARAM.db: the table "sysparam" and a mark naming the set.
void makeParamDb(const QString& file, const QString& mark)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS sysparam(name TEXT, value TEXT)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE mark(value TEXT)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO mark VALUES('%1')").arg(mark)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

// "db <mark>" of a PARAM.db, "" when there is none.
QString markOf(const QString& file)
{
    QString mark;
    if (!QFileInfo(file).isFile())
        return mark;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT value FROM mark")) && q.next())
                mark = QStringLiteral("db ") + q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return mark;
}

// The dialog over its host in a program directory with PARAM.db, three
// template folders and the groups "A", "B" and "default".
struct Page {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    RecordingRelayLink relay;
    std::unique_ptr<WizardParaWidget> w;
    RelayLink* oldNet = gpNet;
    int oldDNum = gDNum;

    explicit Page(int groupIndex = 1)
    {
        gShowW = 1280;
        gShowH = 800;
        resetSettingsMetrics();
        for (const char* f : {"cammer11", "cammer12", "cammer21"})
            env.writeFile(QStringLiteral("%1/template1.bmp").arg(f), f);
        for (const char* g : {"B", "A", "default"}) {
            QVERIFY(QDir().mkpath(env.path(QStringLiteral("paraGroup/%1").arg(g))));
            makeParamDb(env.path(QStringLiteral("paraGroup/%1/PARAM.db").arg(g)), g);
        }
        QVERIFY(QDir().mkpath(env.path("paraGroup/.previous")));
        live = FirstStartParameters();
        live.paramGroupIndex = groupIndex;
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        gpNet = &relay;
        gDNum = 2;
        host.cameras = 1;
        numCamera = 1;
        // PARAM.db as the program keeps it, with the mark of the current set.
        host.db = QSqlDatabase::addDatabase("QSQLITE", "groupsTestParam");
        host.db.setDatabaseName(env.path("PARAM.db"));
        QVERIFY(host.db.open());
        QVERIFY(live.SaveDatatoFile(host.db).ok);
        QSqlQuery q(host.db);
        QVERIFY(q.exec("CREATE TABLE mark(value TEXT)"));
        QVERIFY(q.exec("INSERT INTO mark VALUES('current')"));
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
    }
    ~Page()
    {
        w.reset();
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gpNet = oldNet;
        gDNum = oldDNum;
        const QString name = host.db.connectionName();
        host.db.close();
        host.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    void open()
    {
        bak = live;
        w->show();
        w->SlotToAdvance();
    }
    void press(int id)
    {
        ColorButton* b = w->buttonByText(id);
        QVERIFY(b);
        b->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->groupWorkRunning(), 10000);
    }
    QList<int> modalIds() const
    {
        QList<int> ids;
        for (const ModalRequest& r : env.modalRequests)
            ids << r.messageId;
        return ids;
    }
    QStringList items() const
    {
        QStringList out;
        for (int i = 0; i < w->groupCombo->count(); ++i) {
            out << w->groupCombo->itemText(i);
            if (w->groupCombo->itemData(i).toInt() != i)
                out << QStringLiteral("data %1").arg(w->groupCombo->itemData(i).toInt());
        }
        return out;
    }
    QStringList commands() const { return env.runner->lines(); }
    // The answers for the next press, with nothing asked yet.
    void answer(const std::vector<int>& answers)
    {
        env.modalAnswers = answers;
        env.modalAnswersUsed = 0;
        env.modalRequests.clear();
    }
};

} // namespace

class TestParamGroupsPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void listAndNameField()
    {
        Page p(1);
        QCOMPARE(p.items(), QStringList({"A", "B", "default"}));
        QCOMPARE(p.host.paramGroupList, QStringList({"A", "B", "default"}));
        QVERIFY(p.w->buttonByText(182) && p.w->buttonByText(183) && p.w->buttonByText(184));
        p.open();
        // The opening shows the current group's name.
        QCOMPARE(p.w->groupCombo->currentIndex(), 1);
        QCOMPARE(p.w->groupNameEdit->text(), QStringLiteral("B"));
        p.w->groupCombo->setCurrentIndex(2);
        QCOMPARE(p.w->groupNameEdit->text(), QStringLiteral("default"));
        // Refilling never changes the field.
        p.w->groupNameEdit->setText("typed");
        p.w->ParaGroupUpdateList();
        QCOMPARE(p.w->groupNameEdit->text(), QStringLiteral("typed"));
    }

    void backupDialogue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QList<int>>("asked");
        QTest::addColumn<QString>("groupMark");   // "" no such group afterwards
        QTest::addColumn<int>("index");
        QTest::newRow("empty") << "" << QList<int>{} << QList<int>{282} << "" << 1;
        QTest::newRow("slash") << "a/b" << QList<int>{} << QList<int>{kMsgGroupNameRefused} << "" << 1;
        QTest::newRow("default") << "default" << QList<int>{} << QList<int>{kMsgDefaultGroupProtected} << "db default"
                                 << 1;
        QTest::newRow("No") << "C" << QList<int>{No} << QList<int>{283} << "" << 1;
        QTest::newRow("new name") << "C" << QList<int>{Yes} << QList<int>{283} << "db current" << 2;
        QTest::newRow("existing, No") << "A" << QList<int>{Yes, No} << QList<int>{283, 284} << "db A" << 1;
        QTest::newRow("existing, Yes") << "A" << QList<int>{Yes, Yes} << QList<int>{283, 284} << "db current" << 0;
        QTest::newRow("existing, other case") << "a" << QList<int>{Yes} << QList<int>{283} << "db current" << 2;
    }
    void backupDialogue()
    {
        QFETCH(QString, name);
        QFETCH(QList<int>, answers);
        QFETCH(QList<int>, asked);
        QFETCH(QString, groupMark);
        QFETCH(int, index);
        Page p(1);
        p.open();
        p.w->groupNameEdit->setText(name);
        p.answer(std::vector<int>(answers.begin(), answers.end()));
        p.press(182);
        QCOMPARE(p.modalIds(), asked);
        const QString mark = name.isEmpty() ? QString() : markOf(p.env.path("paraGroup/" + name + "/PARAM.db"));
        QCOMPARE(mark, groupMark);
        QCOMPARE(p.live.paramGroupIndex, index);
        QCOMPARE(p.bak.paramGroupIndex, index);
        QCOMPARE(p.host.paramGroupList, groupMark == "db current" && name == "C"
                                            ? QStringList({"A", "B", "C", "default"})
                                            : groupMark == "db current" && name == "a"
                                                ? QStringList({"A", "B", "a", "default"})
                                                : QStringList({"A", "B", "default"}));
        if (groupMark == "db current") {
            QCOMPARE(p.env.readFile("sysadd.txt").trimmed(), QByteArray::number(index));
            QCOMPARE(p.w->groupCombo->currentText(), name);
            QCOMPARE(p.w->groupNameEdit->text(), name);
            QCOMPARE(p.env.readFile(QStringLiteral("paraGroup/%1/cammer21/template1.bmp").arg(name)),
                     QByteArray("cammer21"));
        }
        QVERIFY(p.commands().isEmpty());
    }

    void backupStopsWhenConfirmDoesNotSave_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("Refused") << true;
        QTest::newRow("SaveFailed") << false;
    }
    void backupStopsWhenConfirmDoesNotSave()
    {
        QFETCH(bool, refused);
        Page p;
        p.open();
        if (refused) {
            // No detection method left.
            for (SettingsControl& c : p.w->controls)
                for (const char* m : {"defectEnabled", "spotEnabled", "blackAreaEnabled", "whiteAreaEnabled",
                                      "whiteCountEnabled", "directionEnabled", "similarityEnabled", "distanceEnabled"})
                    if (c.field && c.check && std::strcmp(c.field->name, m) == 0)
                        c.check->setValue(0);
        } else {
            QSqlQuery q(p.host.db);
            QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE UPDATE ON sysparam BEGIN SELECT RAISE(ABORT, 'no'); END"));
            QVERIFY(q.exec("CREATE TRIGGER refuseInsert BEFORE INSERT ON sysparam BEGIN SELECT RAISE(ABORT, 'no'); END"));
            p.w->recheckBox->setValue(p.live.moldRecheckCount + 1);
        }
        p.w->groupNameEdit->setText("C");
        p.answer({Yes, Yes, Yes});
        p.press(182);
        QCOMPARE(p.modalIds().first(), 283);
        QVERIFY(!p.modalIds().contains(284));
        // Refused: its message; SaveFailed: its question and the failure.
        QCOMPARE(p.modalIds().size(), refused ? 2 : 3);
        QVERIFY(!QFileInfo::exists(p.env.path("paraGroup/C")));
        QCOMPARE(p.live.paramGroupIndex, 1);
    }

    void backupRunsBesideTheGuiThread()
    {
        Page p;
        p.open();
        p.w->groupNameEdit->setText("slow");
        p.answer({Yes});
        // Every copy step takes a while on the worker.
        p.w->groupFault = [](const QString&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return false;
        };
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        p.w->buttonByText(182)->click();
        QVERIFY(p.w->groupWorkRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!p.w->groupWorkRunning(), 10000);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY(QFileInfo(p.env.path("paraGroup/slow/PARAM.db")).isFile());
        // A failing copy: the message, the index kept.
        p.w->groupFault = [](const QString& step) { return step.startsWith("copy cammer12"); };
        p.w->groupNameEdit->setText("broken");
        p.answer({Yes});
        p.press(182);
        QCOMPARE(p.modalIds(), QList<int>({283, kMsgGroupNotSaved}));
        QVERIFY(!QFileInfo::exists(p.env.path("paraGroup/broken")));
    }

    void restoreRecordsAndReboots()
    {
        Page p(1);
        p.open();
        p.w->groupCombo->setCurrentIndex(0);   // "A"
        p.answer({Yes});
        int commandsAtFlush = -1;
        p.host.onFlush = [&] { commandsAtFlush = p.commands().size(); };
        p.press(183);
        QCOMPARE(p.modalIds(), QList<int>({285}));
        QCOMPARE(p.host.callsOf("record"), QStringList{"record " + Msg(286).arg("A")});
        QVERIFY(Msg(286).arg("A").endsWith("A"));
        // The databases closed before the reboot; the dry run reopens them.
        QCOMPARE(commandsAtFlush, 0);
        QCOMPARE(p.commands(), QStringList{"reboot"});
        QCOMPARE(p.host.callsOf("ReopenAll").size(), 1);
        QCOMPARE(p.live.paramGroupIndex, 0);
        QCOMPARE(p.env.readFile("sysadd.txt").trimmed(), QByteArray("0"));
        QCOMPARE(markOf(p.env.path("PARAM.db")), QStringLiteral("db A"));
        QCOMPARE(markOf(p.env.path("paraGroup/.previous/PARAM.db")), QStringLiteral("db current"));
    }

    void restoreFailuresLeaveEverything_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("No") << "No";
        QTest::newRow("damaged") << "damaged";
        QTest::newRow("after the first move") << "fault";
    }
    void restoreFailuresLeaveEverything()
    {
        QFETCH(QString, how);
        Page p(1);
        p.open();
        p.w->groupCombo->setCurrentIndex(0);
        p.answer({how == "No" ? No : Yes});
        if (how == "damaged")
            p.env.writeFile("paraGroup/A/PARAM.db", "not a database at all, not even close");
        int moves = 0;
        if (how == "fault")
            p.w->groupFault = [&moves](const QString& step) { return step.startsWith("move") && ++moves == 2; };
        const QByteArray db = p.env.readFile("PARAM.db");
        p.press(183);
        QCOMPARE(p.modalIds(), how == "No" ? QList<int>{285} : QList<int>({285, kMsgGroupNotRestored}));
        QVERIFY(p.host.callsOf("record").isEmpty());
        QVERIFY(p.host.callsOf("FLushAll").isEmpty());
        QVERIFY(p.commands().isEmpty());
        QCOMPARE(p.live.paramGroupIndex, 1);
        QVERIFY(!QFileInfo::exists(p.env.path("sysadd.txt")));
        QCOMPARE(p.env.readFile("PARAM.db"), db);
        QVERIFY(QFileInfo(p.env.path("cammer21/template1.bmp")).isFile());
        QVERIFY(!QFileInfo::exists(p.env.path("paraGroup/.restore")));
    }

    void deleteDialogue()
    {
        Page p(1);
        p.open();
        // "default" is refused before any question.
        p.w->groupCombo->setCurrentIndex(2);
        p.press(184);
        QCOMPARE(p.modalIds(), QList<int>{kMsgDefaultGroupProtected});
        // No keeps it.
        p.w->groupCombo->setCurrentIndex(0);
        p.answer({No});
        p.press(184);
        QCOMPARE(p.modalIds(), QList<int>{287});
        QCOMPARE(p.items(), QStringList({"A", "B", "default"}));
        // Yes removes it; the index stays and so points at the next group.
        p.answer({Yes});
        p.press(184);
        QCOMPARE(p.modalIds(), QList<int>{287});
        QCOMPARE(p.items(), QStringList({"B", "default"}));
        QCOMPARE(p.host.paramGroupList, QStringList({"B", "default"}));
        QVERIFY(!QFileInfo::exists(p.env.path("paraGroup/A")));
        QCOMPARE(p.w->groupCombo->currentIndex(), 0);
        QCOMPARE(p.w->groupNameEdit->text(), QStringLiteral("B"));
        QCOMPARE(p.live.paramGroupIndex, 1);
        QVERIFY(p.w->isVisible());
        QVERIFY(p.commands().isEmpty());
    }
};

QTEST_MAIN(TestParamGroupsPage)
#include "tst_paramgroupspage.moc"
