// The maintenance buttons of the settings dialog: the checked update and
// factory archives, calibration, language, clock, shut down, exit, the
// parameter password and the simple display.  Each ending is checked by the
// commands run (in order), the records written, the boxes asked, and the
// databases closed before the panel would go down and opened again when it
// did not.
#include "cameraglobals.h"
#include "checkbox.h"
#include "choosecalinumwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "fakesettingshost.h"
#include "mapplication.h"
#include "messages.h"
#include "projectmessages.h"
#include "readonlyfolder.h"
#include "settingslayout.h"
#include "sharedboxes.h"
#include "terminator.h"
#include "testenv.h"
#include "updatepackage.h"
#include "usbmount.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

enum { No = 0, Yes = 1 };

const QByteArray kGzip("\x1f\x8b\x08\x00payload-of-the-update", 25);
const QByteArray kXz("\xfd\x37\x7a\x58\x5a\x00xz-payload", 16);
const QByteArray kRar("Rar!\x1a\x07\x00rar-payload", 18);

// The folder disk: blkid lists one stick, mount adds it to the mounts table.
void plugDisk(TestEnv& env)
{
    QDir().mkpath(paths().mountPoint);
    env.writeFile(QStringLiteral("proc/mounts"), "/dev/sda1 / ext4 rw 0 0\n");
    env.runner->setScript([&env](const CommandCall& c) {
        CommandResult r;
        if (c.program == "blkid")
            r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
        if (c.program == "mount")
            env.writeFile(QStringLiteral("proc/mounts"), "/dev/sda1 / ext4 rw 0 0\n" + c.args[0].toLocal8Bit() + ' '
                                                             + c.args[1].toLocal8Bit() + " vfat rw 0 0\n");
        return r;
    });
}

// The dialog over a recording host, with PARAM.db holding the live record.
struct Dialog {
    TestEnv env;
    SharedBoxes boxes;
    WizardPara live;
    WizardPara bak;
    FakeSettingsHost host;
    std::unique_ptr<WizardParaWidget> w;
    int oldW = gShowW, oldH = gShowH, oldLan = gLan;
    bool oldWtd = gisRunWTD;

    explicit Dialog(QSize screen = QSize(1280, 800))
    {
        gShowW = screen.width();
        gShowH = screen.height();
        resetSettingsMetrics();
        live = FirstStartParameters();
        bak = live;
        gpWPara = &live;
        gpWParaBak = &bak;
        host.cameras = 2;
        numCamera = 2;
        host.db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maintenanceParam"));
        host.db.setDatabaseName(env.path(QStringLiteral("PARAM.db")));
        if (host.db.open())
            live.SaveDatatoFile(host.db);
        w = std::make_unique<WizardParaWidget>(&host, false, nullptr);
        gisRunWTD = true;
        host.calls.clear();
        env.runner->clear();
    }
    ~Dialog()
    {
        w.reset();
        gpWPara = nullptr;
        gpWParaBak = nullptr;
        gShowW = oldW;
        gShowH = oldH;
        gLan = oldLan;
        gisRunWTD = oldWtd;
        resetSettingsMetrics();
        host.db.close();
        host.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("maintenanceParam"));
    }

    void open()
    {
        bak = live;
        w->show();
        host.calls.clear();
    }
    QList<int> modalIds() const
    {
        QList<int> ids;
        for (const ModalRequest& r : env.modalRequests)
            ids << r.messageId;
        return ids;
    }
    // The host's calls that tell the ending: records, closing and opening.
    QStringList endingCalls() const
    {
        QStringList out;
        for (const QString& c : host.calls)
            if (c.startsWith("record ") || c == "FLushAll" || c == "ReopenAll" || c.startsWith("clockFloor"))
                out << c;
        return out;
    }
    // Waits for a checked copy to end.
    bool copyDone()
    {
        return QTest::qWaitFor([this] { return !w->packageCopy || !w->packageCopy->running(); }, 10000);
    }
};

QByteArray sha(const QByteArray& data) { return QCryptographicHash::hash(data, QCryptographicHash::Sha256); }

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void packageRules_data();
    void packageRules();
    void checkedCopy_data();
    void checkedCopy();
    void update_data();
    void update();
    void updateAsksForTheDisk();
    void factoryReset_data();
    void factoryReset();
    void calibration_data();
    void calibration();
    void language_data();
    void language();
    void clock();
    void shutDown_data();
    void shutDown();
    void exitClosesTheDatabasesFirst();
    void password_data();
    void password();
    void passwordStopsAt32Characters();
    void simpleDisplay_data();
    void simpleDisplay();
};

// ------------------------------------------------------------ archive rules

void TestMaintenance::packageRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("magic");
    QTest::newRow("tar.gz") << "/mnt/app.tar.gz" << kGzip << "newupdate.tar.gz" << true;
    QTest::newRow("tar.xz") << "app.tar.xz" << kXz << "newupdate.tar.xz" << true;
    QTest::newRow("rar") << "app.rar" << kRar << "newupdate.rar" << true;
    QTest::newRow("gz before xz") << "a.tar.xz.tar.gz" << kGzip << "newupdate.tar.gz" << true;
    QTest::newRow("xz before rar") << "a.rar.tar.xz" << kXz << "newupdate.tar.xz" << true;
    QTest::newRow("gzip named xz") << "app.tar.xz" << kGzip << "newupdate.tar.xz" << false;
    QTest::newRow("short head") << "app.tar.xz" << QByteArray("\xfd\x37\x7a", 3) << "newupdate.tar.xz" << false;
    QTest::newRow("zip") << "app.zip" << QByteArray("PK\x03\x04") << "" << false;
}

void TestMaintenance::packageRules()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    QFETCH(QString, target);
    QFETCH(bool, magic);
    const PackageKind kind = PackageKindByName(name);
    QCOMPARE(PackageTargetName(kind), target);
    QCOMPARE(PackageMagicMatches(kind, head), magic);
}

void TestMaintenance::checkedCopy_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("copied") << "";
    QTest::newRow("missing source") << "missing";
    QTest::newRow("read-only program directory") << "read-only";
    QTest::newRow("cut short") << "cut";
    QTest::newRow("wrong kind") << "kind";
}

void TestMaintenance::checkedCopy()
{
    QFETCH(QString, fault);
    TestEnv env;
    const QByteArray data = kGzip + QByteArray(2500000, 'c');
    if (fault != "missing")
        env.writeFile("usb/pg.tar.gz", data);
    env.writeFile("app/newupdate.tar.gz", "earlier");
    std::unique_ptr<ReadOnlyFolder> locked;
    if (fault == "read-only")
        locked = std::make_unique<ReadOnlyFolder>(env.path("app"));
    std::function<void(const QString&)> afterWrite;
    if (fault == "cut")
        afterWrite = [](const QString& part) { QFile(part).resize(4096); };
    QList<qint64> progress;
    const PackageCopyResult r =
        CopyPackageChecked(env.path("usb/pg.tar.gz"), env.path("app/newupdate.tar.gz"),
                           fault == "kind" ? PackageKind::Rar : PackageKind::TarGz,
                           [&](qint64 k, qint64 n) { progress << k * 100 / n; }, nullptr, afterWrite);
    locked.reset();
    QCOMPARE(r.ok, fault.isEmpty());
    QCOMPARE(env.readFile("app/newupdate.tar.gz"), fault.isEmpty() ? data : QByteArray("earlier"));
    QVERIFY(!QFile::exists(env.path("app/newupdate.tar.gz.part")));
    if (fault.isEmpty()) {
        QCOMPARE(r.bytes, qint64(data.size()));
        QCOMPARE(progress.last(), qint64(100));
        QVERIFY(progress.size() >= 3);   // chunk by chunk
    } else {
        QVERIFY(!r.detail.isEmpty());
    }
}

// ------------------------------------------------------------------ update

void TestMaintenance::update_data()
{
    QTest::addColumn<QString>("chosen");     // below the mount point
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("cutShort");
    QTest::addColumn<QString>("target");     // empty: nothing placed
    QTest::addColumn<bool>("refused");       // the refusal shown
    QTest::addColumn<bool>("asked");         // 323 asked
    QTest::newRow("tar.gz") << "pg-2.6.tar.gz" << kGzip << false << "newupdate.tar.gz" << false << true;
    QTest::newRow("tar.xz") << "pg.tar.xz" << kXz << false << "newupdate.tar.xz" << false << true;
    QTest::newRow("rar") << "pg.rar" << kRar << false << "newupdate.rar" << false << true;
    QTest::newRow("other name") << "pg.zip" << kGzip << false << "" << true << true;
    QTest::newRow("path of 2 characters") << "" << kGzip << false << "" << false << false;
    QTest::newRow("wrong magic") << "pg.tar.gz" << QByteArray("PK\x03\x04 zip inside") << false << "" << true << true;
    QTest::newRow("copy cut short") << "pg.tar.gz" << kGzip << true << "" << true << true;
}

void TestMaintenance::update()
{
    QFETCH(QString, chosen);
    QFETCH(QByteArray, content);
    QFETCH(bool, cutShort);
    QFETCH(QString, target);
    QFETCH(bool, refused);
    QFETCH(bool, asked);
    Dialog d;
    plugDisk(d.env);
    const QString mnt = paths().mountPoint;
    // A package of a megabyte and more goes in several chunks.
    QByteArray data = content + QByteArray(3 * 1024 * 1024 / 2, 'u');
    const QString source = chosen.isEmpty() ? QStringLiteral("/m") : mnt + "/" + chosen;
    if (!chosen.isEmpty())
        d.env.writeFile("mnt/" + chosen, data);
    // An archive of an earlier attempt stays as it is unless replaced whole.
    for (const char* old : {"newupdate.tar.gz", "newupdate.tar.xz", "newupdate.rar"})
        d.env.writeFile(old, "earlier");
    d.w->packageCopy = new PackageCopy(d.w.get());
    if (cutShort)
        d.w->packageCopy->afterWrite = [](const QString& part) { QFile(part).resize(1000); };
    d.env.modalTexts = {source};
    d.env.modalAnswers = {Yes};
    const qint64 slept = d.env.clock->sleptMs();

    d.w->SlotUpdateApp();
    QVERIFY(d.copyDone());

    QList<int> ids;
    if (asked)
        ids << 323;
    if (refused)
        ids << kMsgUpdateRefused;
    QList<int> shown;
    for (const ModalRequest& r : d.env.modalRequests)
        if (r.kind != "QFileDialog")
            shown << r.messageId;
    QCOMPARE(shown, ids);
    const QStringList found{"blkid", "mount /dev/sdb1 " + mnt};
    for (const char* t : {"newupdate.tar.gz", "newupdate.tar.xz", "newupdate.rar"}) {
        const QByteArray now = d.env.readFile(t);
        QCOMPARE(now, QString(t) == target ? data : QByteArray("earlier"));
        QVERIFY(!QFile::exists(d.env.path(QString(t) + ".part")));
    }
    if (target.isEmpty()) {
        QCOMPARE(d.env.runner->lines(), found);
        QVERIFY(gisRunWTD);
        QCOMPARE(d.endingCalls(), QStringList());
        QCOMPARE(d.env.clock->sleptMs(), slept);
    } else {
        QCOMPARE(sha(d.env.readFile(target)), sha(data));
        QCOMPARE(d.env.runner->lines(), (found + QStringList{"sync", "reboot"}));
        QVERIFY(!gisRunWTD);
        QCOMPARE(d.endingCalls(), (QStringList{"record " + Msg(325) + ": " + chosen, "FLushAll", "ReopenAll"}));
    }
    // The disk is free again for the picture copy and the exports.
    QCOMPARE(MountLease::shared().holders(), 0);
}

void TestMaintenance::updateAsksForTheDisk()
{
    Dialog d;
    QDir().mkpath(paths().mountPoint);
    d.env.writeFile("proc/mounts", "");
    // No stick: 320, No ends; then Yes tries again and finds nothing more.
    d.env.modalAnswers = {No};
    d.w->SlotUpdateApp();
    QCOMPARE(d.modalIds(), QList<int>{320});
    QCOMPARE(d.env.runner->lines(), QStringList{"blkid"});
    d.env.modalRequests.clear();
    d.env.runner->clear();
    d.env.modalAnswers = {Yes, No};
    d.env.modalAnswersUsed = 0;
    d.w->SlotUpdateApp();
    QCOMPARE(d.modalIds(), (QList<int>{320, 320}));
    QCOMPARE(d.env.runner->lines(), (QStringList{"blkid", "blkid"}));
    QVERIFY(gisRunWTD);
}

// ----------------------------------------------------------- factory reset

void TestMaintenance::factoryReset_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("archive");   // null: none in the default group
    QTest::addColumn<bool>("placed");
    QTest::newRow("archive") << int(Yes) << kGzip + QByteArray(200000, 'f') << true;
    QTest::newRow("no archive") << int(Yes) << QByteArray() << false;
    QTest::newRow("damaged archive") << int(Yes) << QByteArray("not gzip at all") << false;
    QTest::newRow("No") << int(No) << kGzip << false;
}

void TestMaintenance::factoryReset()
{
    QFETCH(int, answer);
    QFETCH(QByteArray, archive);
    QFETCH(bool, placed);
    Dialog d;
    if (!archive.isNull())
        d.env.writeFile("paraGroup/default/20clearsh.tar.gz", archive);
    d.env.modalAnswers = {answer};

    d.w->SlotRestoreFactorySet();
    QVERIFY(d.copyDone());

    QCOMPARE(d.env.modalRequests.front().text, Msg(551) + "?");
    const bool refused = answer == Yes && !placed;
    QCOMPARE(d.modalIds(), refused ? (QList<int>{551, kMsgUpdateRefused}) : QList<int>{551});
    QCOMPARE(QFile::exists(d.env.path("newupdate.tar.gz")), placed);
    QVERIFY(!QFile::exists(d.env.path("newupdate.tar.gz.part")));
    if (placed) {
        QCOMPARE(d.env.readFile("newupdate.tar.gz"), archive);
        QCOMPARE(d.env.runner->lines(), (QStringList{"sync", "reboot"}));
        QCOMPARE(d.endingCalls(), (QStringList{"record " + Msg(551), "FLushAll", "ReopenAll"}));
        QVERIFY(!gisRunWTD);
    } else {
        QCOMPARE(d.env.runner->lines(), QStringList());
        QCOMPARE(d.endingCalls(), QStringList());
        QVERIFY(gisRunWTD);
    }
}

// ------------------------------------------------------------- calibration

void TestMaintenance::calibration_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("4") << int(Yes) << 0 << QStringList{"./tsc 4", "reboot"};
    QTest::newRow("9") << int(Yes) << 1 << QStringList{"./tsc 9", "reboot"};
    QTest::newRow("25") << int(Yes) << 2 << QStringList{"./tsc 25", "reboot"};
    QTest::newRow("cancel") << int(No) << 2 << QStringList{};
}

void TestMaintenance::calibration()
{
    QFETCH(int, answer);
    QFETCH(int, entry);
    QFETCH(QStringList, commands);
    Dialog d;
    // The dialog opens on entry 0; the operator picks entry before OK.
    modal::setHook([&](const ModalRequest& r) {
        d.env.modalRequests.push_back(r);
        d.w->calibrationDialog->pointsCombo->setCurrentIndex(entry);
        return answer;
    });
    const qint64 slept = d.env.clock->sleptMs();
    d.w->SlotCalibration();
    QCOMPARE(d.modalIds(), QList<int>{459});
    QCOMPARE(d.env.modalRequests.front().kind, QString("ChooseCaliNumWidget"));
    QCOMPARE(d.env.runner->lines(), commands);
    QCOMPARE(d.endingCalls(), commands.isEmpty() ? QStringList() : (QStringList{"FLushAll", "ReopenAll"}));
    QCOMPARE(d.env.clock->sleptMs() - slept, commands.isEmpty() ? 0 : 500);
}

// ---------------------------------------------------------------- language

void TestMaintenance::language_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("switched");
    QTest::newRow("same") << 0 << int(Yes) << false << false;
    QTest::newRow("-1") << -1 << int(Yes) << false << false;
    QTest::newRow("3") << 3 << int(Yes) << false << false;
    QTest::newRow("No") << 1 << int(No) << true << false;
    QTest::newRow("Yes English") << 1 << int(Yes) << true << true;
    QTest::newRow("Yes Traditional") << 2 << int(Yes) << true << true;
}

void TestMaintenance::language()
{
    QFETCH(int, index);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, switched);
    Dialog d;
    gLan = 0;
    d.open();
    d.env.modalAnswers = {answer};
    const QString oldText = Msg(319);
    if (index >= 0 && index < d.w->languageCombo->count())
        d.w->languageCombo->setCurrentIndex(index);   // the operator's choice
    else
        d.w->SlotChangeLan(index);

    QCOMPARE(d.modalIds(), asked ? QList<int>{318} : QList<int>{});
    QCOMPARE(gLan, switched ? index : 0);
    if (!switched) {
        QCOMPARE(d.env.runner->lines(), QStringList());
        QCOMPARE(d.endingCalls(), QStringList());
        if (asked)
            QCOMPARE(d.w->languageCombo->currentIndex(), index);   // the choice stays shown
        return;
    }
    QCOMPARE(d.endingCalls(), (QStringList{"record " + oldText, "FLushAll", "ReopenAll"}));
    QCOMPARE(d.env.runner->lines(), QStringList{"reboot"});
    QVERIFY(!gisRunWTD);
    // Stored: the next start comes up in the new language.
    gLan = 0;
    {
        QSqlDatabase serial = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maintenanceSN"));
        serial.setDatabaseName(d.env.path(QStringLiteral("SN.db")));
        QVERIFY(serial.open());
        WizardPara loaded;
        int leftPair = 0;
        loaded.LoadDatafromFile(d.host.db, serial, leftPair);
        QCOMPARE(loaded.unreadRows, 0);
        serial.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maintenanceSN"));
    QCOMPARE(gLan, index);
}

// ------------------------------------------------------------------- clock

void TestMaintenance::clock()
{
    Dialog d;
    const QDateTime first(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QDateTime second(QDate(2026, 5, 6), QTime(7, 8, 9));

    // Cancel, then No at 402: nothing.
    d.env.modalAnswers = {No, Yes, No};
    d.w->SlotModifyTime();
    d.w->SlotModifyTime();
    QCOMPARE(d.modalIds(), (QList<int>{-1, -1, 402}));
    QCOMPARE(d.env.runner->lines(), QStringList());

    // The first setting on the panel writes the floor (the edited time).
    d.env.modalRequests.clear();
    d.env.modalAnswers = {Yes, Yes};
    d.env.modalAnswersUsed = 0;
    d.env.clock->set(first);   // the editor opens on the current time
    d.w->SlotModifyTime();
    QCOMPARE(d.env.modalRequests.front().kind, QString("ModifyTimeWidget"));
    QCOMPARE(d.env.runner->lines(),
             (QStringList{"date -s 2026-03-04 05:06:07", "hwclock --systohc", "reboot"}));
    const qint64 floor = first.toMSecsSinceEpoch();
    QCOMPARE(d.env.readFile("realytime.txt"), QByteArray::number(floor));
    QCOMPARE(d.endingCalls(), (QStringList{QStringLiteral("clockFloor %1").arg(floor), "record " + Msg(401),
                                           "FLushAll", "ReopenAll"}));
    QVERIFY(!gisRunWTD);

    // The second changes the clock, not the floor.
    d.host.calls.clear();
    d.env.runner->clear();
    d.env.modalAnswersUsed = 0;
    d.env.clock->set(second);
    d.w->SlotModifyTime();
    QCOMPARE(d.env.runner->lines(),
             (QStringList{"date -s 2026-05-06 07:08:09", "hwclock --systohc", "reboot"}));
    QCOMPARE(d.env.readFile("realytime.txt"), QByteArray::number(floor));
    QCOMPARE(d.endingCalls(), (QStringList{"record " + Msg(401), "FLushAll", "ReopenAll"}));

    // A clock that could not be set: the message and nothing else.
    QFile::remove(d.env.path("realytime.txt"));
    d.host.clockFloor = 0;
    d.host.calls.clear();
    d.env.runner->clear();
    d.env.runner->answer("hwclock", CommandResult{1, {}, "hwclock: cannot access the RTC", true});
    d.env.modalRequests.clear();
    d.env.modalAnswersUsed = 0;
    d.env.clock->set(second);
    d.w->SlotModifyTime();
    QCOMPARE(d.modalIds(), (QList<int>{-1, 402, kMsgClockNotSet}));
    QCOMPARE(d.env.runner->lines(), (QStringList{"date -s 2026-05-06 07:08:09", "hwclock --systohc"}));
    QVERIFY(!QFile::exists(d.env.path("realytime.txt")));
    QCOMPARE(d.host.clockFloor, qint64(0));
    QCOMPARE(d.endingCalls(), QStringList());
}

// ------------------------------------------------------ shut down and exit

void TestMaintenance::shutDown_data()
{
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QList<int>>("asked");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("restart") << QList<int>{Yes, Yes} << QList<int>{291, 293} << QStringList{"reboot"};
    QTest::newRow("power off") << QList<int>{Yes, No} << QList<int>{291, 293} << QStringList{"init 0"};
    QTest::newRow("No") << QList<int>{No} << QList<int>{291} << QStringList{};
}

void TestMaintenance::shutDown()
{
    QFETCH(QList<int>, answers);
    QFETCH(QList<int>, asked);
    QFETCH(QStringList, commands);
    Dialog d;
    d.open();
    d.env.modalAnswers = std::vector<int>(answers.begin(), answers.end());
    // The databases are closed before the second question.
    int askedWhenClosed = -1;
    d.host.onFlushAll = [&] { askedWhenClosed = int(d.env.modalRequests.size()); };
    d.w->SlotShutDown();
    QCOMPARE(d.modalIds(), asked);
    QCOMPARE(d.env.runner->lines(), commands);
    if (commands.isEmpty()) {
        QCOMPARE(d.endingCalls(), QStringList());
        QVERIFY(gisRunWTD);
        return;
    }
    QCOMPARE(askedWhenClosed, 1);
    QCOMPARE(d.endingCalls(), (QStringList{"record " + Msg(292), "FLushAll", "ReopenAll"}));
    QVERIFY(!gisRunWTD);
}

void TestMaintenance::exitClosesTheDatabasesFirst()
{
    Dialog d;
    d.open();
    terminator::setHandler([&](int status) { d.host.calls << QStringLiteral("exit %1").arg(status); });
    d.env.modalAnswers = {No};
    d.w->SlotExit();
    QCOMPARE(d.host.calls, QStringList());

    d.env.modalRequests.clear();
    d.env.modalAnswers = {Yes, Yes};
    d.env.modalAnswersUsed = 0;
    d.w->SlotExit();
    terminator::setHandler({});
    QCOMPARE(d.modalIds(), (QList<int>{294, 296}));
    QCOMPARE(d.host.callsOf("record") + d.host.callsOf("FLushAll") + d.host.callsOf("exit"),
             (QStringList{"record " + Msg(295), "FLushAll", "exit 0"}));
    QVERIFY(d.host.calls.indexOf("FLushAll") < d.host.calls.indexOf("exit 0"));
    QVERIFY(!gisRunWTD);
    QCOMPARE(d.env.runner->lines(), QStringList());
}

// ---------------------------------------------------------------- password

void TestMaintenance::password_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("message");
    QTest::newRow("both empty") << "" << "" << 278;
    QTest::newRow("repeat empty") << "1234" << "" << 278;
    QTest::newRow("new empty") << "" << "1234" << 278;
    QTest::newRow("different") << "1234" << "1235" << 280;
    QTest::newRow("equal") << "1234" << "1234" << 279;
}

void TestMaintenance::password()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, message);
    Dialog d;
    d.open();
    WizardPara::SetText(d.bak.password, QStringLiteral("0000"));
    const QString liveBefore = WizardPara::Text(d.live.password);
    d.w->passwordEdits[0]->setText(first);
    d.w->passwordEdits[1]->setText(second);
    d.w->ChangePwd();
    QCOMPARE(d.modalIds(), QList<int>{message});
    const bool changed = message == 279;
    QCOMPARE(WizardPara::Text(d.bak.password), changed ? first : QStringLiteral("0000"));
    // The live record takes it only through Confirm.
    QCOMPARE(WizardPara::Text(d.live.password), liveBefore);
    QCOMPARE(d.w->passwordEdits[0]->text(), changed ? QString() : first);
    QCOMPARE(d.w->passwordEdits[1]->text(), changed ? QString() : second);
}

void TestMaintenance::passwordStopsAt32Characters()
{
    Dialog d;
    d.open();
    const QString typed = QStringLiteral("1234567890").repeated(4);
    for (Edit* e : d.w->passwordEdits) {
        e->setFocus();
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), typed.left(32));
    }
    d.w->ChangePwd();
    QCOMPARE(d.modalIds(), QList<int>{279});
    // What is stored is exactly what the operator can type at the login.
    QCOMPARE(WizardPara::Text(d.bak.password), typed.left(32));
}

// ---------------------------------------------------------- simple display

void TestMaintenance::simpleDisplay_data()
{
    QTest::addColumn<bool>("factory");
    QTest::newRow("factory fields off") << false;
    QTest::newRow("factory fields on") << true;
}

void TestMaintenance::simpleDisplay()
{
    QFETCH(bool, factory);
    Dialog d;
    d.open();
    d.w->factoryBox->setValue(factory ? 1 : 0);
    d.w->SlotToCamera();
    d.w->tunedCamera = 1;
    ColorButton* button = d.w->simpleDisplayButton;
    const auto fieldShown = [&](const char* name) {
        for (const SettingsControl& c : d.w->controls)
            if (c.field && std::strcmp(c.field->name, name) == 0)
                return !c.row->isHidden();
        return false;
    };
    const auto pageButtonsShown = [&] {
        int n = 0;
        for (ColorButton* b : d.w->pageButtons)
            n += b->isHidden() ? 0 : 1;
        return n;
    };
    const char* const fiveValues[] = {"exposure", "gain", "sharpness", "contrast", "gamma"};
    const char* const factoryFields[] = {"captureSpeed", "autoShading", "colorCamera", "grayChannel",
                                         "noLensOptimize", "externalTrigger", "refreshAfterDetect",
                                         "continuousTimedDetect", "showAlgorithmDetails", "defectEnabled",
                                         "hMirror", "vMirror", "similarityEnabled"};

    // On: the tuned camera alone, only the five values and four buttons.
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(d.w->simpleDisplay);
    QCOMPARE(button->text(), Msg(299));
    QCOMPARE(d.host.callsOf("alone"), QStringList{"alone 1"});
    QCOMPARE(pageButtonsShown(), 0);
    for (const char* name : fiveValues)
        QVERIFY2(fieldShown(name), name);
    for (const char* name : factoryFields)
        QVERIFY2(!fieldShown(name), name);
    QVERIFY(!fieldShown("directionEnabled"));
    QVERIFY(d.w->reorderButton->isHidden());
    for (ColorButton* b : {d.w->switchCameraButton, d.w->autoExposeButton, d.w->restoreButton, button})
        QVERIFY(!b->isHidden());

    // Off: the page buttons and "reordering" back, the factory fields as
    // the box says, direction never; the camera stays alone.
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!d.w->simpleDisplay);
    QCOMPARE(button->text(), Msg(300));
    QCOMPARE(d.host.callsOf("alone"), QStringList{"alone 1"});
    QCOMPARE(pageButtonsShown(), 6);
    QVERIFY(!d.w->reorderButton->isHidden());
    QVERIFY(fieldShown("exposure") && fieldShown("gain"));
    for (const char* name : {"sharpness", "contrast", "gamma", "captureSpeed", "autoShading", "hMirror"})
        QCOMPARE(fieldShown(name), factory);
    QVERIFY(!fieldShown("directionEnabled"));

    // On again, then the dialog hidden (an alarm) and reopened: off, and
    // the caption says so.
    QTest::mouseClick(button, Qt::LeftButton);
    d.w->hide();
    d.w->show();
    QVERIFY(!d.w->simpleDisplay);
    QCOMPARE(button->text(), Msg(300));
    QCOMPARE(pageButtonsShown(), 6);
}

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
