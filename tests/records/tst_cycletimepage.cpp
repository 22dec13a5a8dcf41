// The cycle-time page and its export: the lines of sql.txt, the program's
// output however it is cut, the page's day list after a finished day, and
// the export end to end with the built program on a generated month, with
// the failures the page must report.
#include "colorbutton.h"
#include "detectcyclesql.h"
#include "detectcyclewidget.h"
#include "exportdialog.h"
#include "globals.h"
#include "editdatetime.h"
#include "messages.h"
#include "progressbox.h"
#include "recordswriter.h"
#include "statsdays.h"
#include "testenv.h"
#include "usbmount.h"

#include <QApplication>
#include <QDateEdit>
#include <QListView>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlTableModel>
#include <QStringListModel>
#include <QTimeEdit>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

QString line(const char* first, const char* last)
{
    return QStringLiteral("SELECT roundstart,roundtime FROM detect_cycle WHERE roundstart BETWEEN datetime(\"%1\") AND datetime(\"%2\")")
        .arg(QLatin1String(first), QLatin1String(last));
}

// The USB disk is the folder "mnt" of the program directory: blkid lists one
// stick, mount and umount edit the mounts table.
void useFolderDisk(TestEnv& env, bool present = true)
{
    env.writeFile("proc/mounts", "/dev/sda1 / ext4 rw 0 0\n");
    QDir().mkpath(env.path("mnt"));
    env.runner->setScript([&env, present](const CommandCall& c) {
        CommandResult r;
        QByteArray table = env.readFile("proc/mounts");
        if (c.program == "blkid" && present)
            r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
        if (c.program == "mount")
            table += c.args.value(0).toUtf8() + ' ' + c.args.value(1).toUtf8() + " vfat rw 0 0\n";
        if (c.program == "umount") {
            QList<QByteArray> lines = table.split('\n');
            for (int k = int(lines.size()) - 1; k >= 0; --k)
                if (lines[k].contains(' ' + c.args.value(0).toUtf8() + ' ')) {
                    lines.removeAt(k);
                    break;
                }
            table = lines.join('\n');
        }
        env.writeFile("proc/mounts", table);
        return r;
    });
}

// The log on a writer of its own, the screen, and the clock at 10:00 on
// 2024-03-01.
class CycleRig {
public:
    explicit CycleRig(QSize screen = QSize(1920, 1080))
    {
        env.clock->set(QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
        oldW_ = gShowW, oldH_ = gShowH;
        gShowW = screen.width();
        gShowH = screen.height();
        writer = std::make_unique<RecordsWriter>(20);
    }
    ~CycleRig()
    {
        delete page.data();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete DetectCycleSQL::instance;
        DetectCycleSQL::instance = nullptr;
        writer.reset();
        gShowW = oldW_, gShowH = oldH_;
    }
    DetectCycleSQL& log()
    {
        if (!DetectCycleSQL::instance)
            DetectCycleSQL::instance = new DetectCycleSQL(*writer);
        return *DetectCycleSQL::instance;
    }
    DetectCycleWidget& open()
    {
        log();
        page = new DetectCycleWidget;
        return *page;
    }
    // Answers the boxes: the export dialog with the range given, the rest
    // from answers in order (default 0); every request is kept.
    void answer(QDateTime start, QDateTime end, QList<int> answers)
    {
        // Shared: the hook may be copied before each call.
        auto left = std::make_shared<QList<int>>(answers);
        modal::setHook([this, start, end, left](const ModalRequest& r) {
            env.modalRequests.push_back(r);
            if (r.kind == QLatin1String("ExportDialog")) {
                ExportDialog* d = page->findChild<ExportDialog*>();
                d->startEdit->dateEdit->setDate(start.date());
                d->startEdit->timeEdit->setTime(start.time());
                d->endEdit->dateEdit->setDate(end.date());
                d->endEdit->timeEdit->setTime(end.time());
                return 1;
            }
            return left->isEmpty() ? 0 : left->takeFirst();
        });
    }
    QStringList texts() const
    {
        QStringList out;
        for (const ModalRequest& r : env.modalRequests)
            out << (r.messageId >= 0 ? QString::number(r.messageId) : r.text);
        return out;
    }

    TestEnv env;
    std::unique_ptr<RecordsWriter> writer;
    QPointer<DetectCycleWidget> page;

private:
    int oldW_, oldH_;
};

// Reads the one sheet of a workbook back with Python's standard modules:
// its texts and numbers in row order, one row per line, cells by tabs.
QStringList readSheet(const QString& file)
{
    const char* script =
        "import sys, zipfile, xml.etree.ElementTree as ET\n"
        "ns = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "shared = []\n"
        "if 'xl/sharedStrings.xml' in z.namelist():\n"
        "    for si in ET.fromstring(z.read('xl/sharedStrings.xml')).findall('m:si', ns):\n"
        "        shared.append(''.join(t.text or '' for t in si.iter('{%s}t' % ns['m'])))\n"
        "for row in ET.fromstring(z.read('xl/worksheets/sheet1.xml')).iter('{%s}row' % ns['m']):\n"
        "    cells = []\n"
        "    for c in row.findall('m:c', ns):\n"
        "        t = c.get('t')\n"
        "        if t == 's': cells.append(shared[int(c.find('m:v', ns).text)])\n"
        "        elif t == 'inlineStr': cells.append(''.join(x.text or '' for x in c.iter('{%s}t' % ns['m'])))\n"
        "        else: cells.append(c.find('m:v', ns).text)\n"
        "    sys.stdout.buffer.write(('\\t'.join(cells) + '\\n').encode('utf-8'))\n";
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script), file});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {QStringLiteral("python failed: ") + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestCycleTimePage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void sqlLines_data();
    void sqlLines();
    void outputScannedInCompleteLines();
    void openingClosesAFinishedDay();
    void pageFitsTheScreen_data();
    void pageFitsTheScreen();
    void programReadsEveryFileOfADay();
    void programRefusesForeignLines();
    void exportOfAMonthWithTheProgram();
    void splitReportStillFinishes();
    void programWithoutReportFails();
    void reportOfAForeignFileRefused();
    void secondExportIgnoredWhileOneRuns();
    void noDiskAsksAgainAndGivesUp();
    void vanishedDiskKeepsTheFile();
};

void TestCycleTimePage::sqlLines_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QStringList>("lines");
    const QDateTime jan1(QDate(2024, 1, 1), QTime(10, 0));
    const QDateTime jan3(QDate(2024, 1, 3), QTime(12, 0));
    const QStringList three = {line("2024-01-01 10:00:00.000", "2024-01-01 23:59:59.999"),
                               line("2024-01-02 00:00:00.000", "2024-01-02 23:59:59.999"),
                               line("2024-01-03 00:00:00.000", "2024-01-03 12:00:00.000")};
    QTest::newRow("three days") << jan1 << jan3 << three;
    QTest::newRow("end before start swapped") << jan3 << jan1 << three;
    QTest::newRow("one day") << jan1 << QDateTime(QDate(2024, 1, 1), QTime(18, 30, 5))
                             << QStringList{line("2024-01-01 10:00:00.000", "2024-01-01 18:30:05.000")};
    QTest::newRow("same instant") << jan1 << jan1 << QStringList{line("2024-01-01 10:00:00.000", "2024-01-01 10:00:00.000")};
    QTest::newRow("over the year's end")
        << QDateTime(QDate(2023, 12, 31), QTime(23, 0)) << QDateTime(QDate(2024, 1, 1), QTime(1, 0))
        << QStringList{line("2023-12-31 23:00:00.000", "2023-12-31 23:59:59.999"),
                       line("2024-01-01 00:00:00.000", "2024-01-01 01:00:00.000")};
}

void TestCycleTimePage::sqlLines()
{
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QStringList, lines);
    QCOMPARE(buildSqlLines(start, end), lines);
}

void TestCycleTimePage::outputScannedInCompleteLines()
{
    ExportOutputScanner s;
    QCOMPARE(s.feed("progr").size(), 0);
    QList<ExportOutputScanner::Line> got = s.feed("ess 1 3\nprogress 2 3\nDetectCycle_2024-03-01_10.00.00.xl");
    QCOMPARE(got.size(), 2);
    QCOMPARE(got[1].kind, ExportOutputScanner::Line::Progress);
    QCOMPARE(got[1].done, 2);
    QCOMPARE(got[1].total, 3);
    got = s.feed("sx export fin");
    QCOMPARE(got.size(), 0);
    got = s.feed("ished\r\nexport failed: disk full");
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].kind, ExportOutputScanner::Line::Finished);
    QCOMPARE(got[0].text, QString("DetectCycle_2024-03-01_10.00.00.xlsx"));
    got = s.finish();   // a last line without its line end
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].kind, ExportOutputScanner::Line::Failed);
    QCOMPARE(got[0].text, QString("disk full"));
    QCOMPARE(ExportOutputScanner::parse("progress x 3").kind, ExportOutputScanner::Line::Other);
}

void TestCycleTimePage::openingClosesAFinishedDay()
{
    CycleRig rig;
    // The log was last written yesterday and nothing has run since midnight.
    rig.env.writeFile("DetectCycle/time.txt", "2024-02-29");
    statsdays::writeCycleDay(rig.env.path("DetectCycle.db"), QDate(2024, 2, 29), 3600 * 1000);
    statsdays::writeCycleDay(rig.env.path("DetectCycle/2024-02-27.db"), QDate(2024, 2, 27), 7200 * 1000);
    DetectCycleWidget& page = rig.open();
    QCOMPARE(page.dayModel->stringList(), (QStringList{"2024-03-01", "2024-02-29", "2024-02-27"}));
    // Today shows the new, empty file, not yesterday's records.
    QCOMPARE(page.recordModel->rowCount(), 0);
    page.listDataChanged(page.dayModel->index(1));
    QCOMPARE(page.recordModel->rowCount(), 24);
    QCOMPARE(page.recordModel->headerData(1, Qt::Horizontal).toString(), QString("检测时间"));
    page.listDataChanged(page.dayModel->index(2));
    QCOMPARE(page.recordModel->rowCount(), 12);
    // Edits never reach the file.
    QCOMPARE(page.recordModel->editStrategy(), QSqlTableModel::OnManualSubmit);
    page.closeAction();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(rig.page.isNull());
}

void TestCycleTimePage::pageFitsTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::newRow("1920x1080") << QSize(1920, 1080);
    QTest::newRow("1280x800") << QSize(1280, 800);
    QTest::newRow("1024x600") << QSize(1024, 600);
}

void TestCycleTimePage::pageFitsTheScreen()
{
    QFETCH(QSize, screen);
    CycleRig rig(screen);
    DetectCycleWidget& page = rig.open();
    const QRect onScreen(QPoint(0, 0), screen);
    QVERIFY(onScreen.contains(page.geometry()));
    QCOMPARE(page.exitButton->geometry().right(), page.width() - 1);
    QCOMPARE(page.exportButton->pos(), QPoint(0, 0));
    if (screen.height() >= 700)
        QCOMPARE(page.size(), QSize(1000, 700));
    ExportDialog dialog(&page);
    QVERIFY(dialog.isWindow());   // placed on the screen, not clipped to the page
    QVERIFY(onScreen.contains(dialog.geometry()));
    QVERIFY(page.progressBox->isWindow());
    QVERIFY(QRect(QPoint(0, 0), dialog.size()).contains(dialog.okButton->geometry()));
    QVERIFY(QRect(QPoint(0, 0), dialog.size()).contains(dialog.endEdit->geometry()));
}

namespace {
// Runs the built program in dir; its output and exit code.
std::pair<QString, int> runProgram(const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(MM_XLS_PROGRAM), {});
    if (!p.waitForFinished(60000))
        return {QStringLiteral("timeout"), -1};
    return {QString::fromUtf8(p.readAll()), p.exitCode()};
}
}  // namespace

void TestCycleTimePage::programReadsEveryFileOfADay()
{
    TestEnv env;
    // The 27th in its archive and in a second one after a clock set back;
    // the 28th still in DetectCycle.db, as time.txt says.
    statsdays::writeCycleDay(env.path("DetectCycle/2024-02-27.db"), QDate(2024, 2, 27), 3600 * 1000, QTime(0, 0), QTime(3, 0));
    statsdays::writeCycleDay(env.path("DetectCycle/2024-02-27_2.db"), QDate(2024, 2, 27), 3600 * 1000, QTime(1, 30), QTime(2, 0));
    statsdays::writeCycleDay(env.path("DetectCycle.db"), QDate(2024, 2, 28), 3600 * 1000, QTime(0, 0), QTime(2, 0));
    env.writeFile("DetectCycle/time.txt", "2024-02-28");
    env.writeFile("sql.txt", (buildSqlLines(QDateTime(QDate(2024, 2, 27), QTime(0, 0)), QDateTime(QDate(2024, 2, 28), QTime(23, 0)))
                                  .join('\n') + '\n').toUtf8());
    const auto [output, code] = runProgram(env.dir());
    QCOMPARE(code, 0);
    const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.mid(0, 2), (QStringList{"progress 1 2", "progress 2 2"}));
    QVERIFY2(QRegularExpression("^DetectCycle_\\d{4}-\\d\\d-\\d\\d_\\d\\d\\.\\d\\d\\.\\d\\d\\.xlsx export finished$").match(lines.value(2)).hasMatch(),
             qPrintable(output));
    const QString file = lines.value(2).section(' ', 0, 0);
    const QStringList rows = readSheet(env.path(file));
    QCOMPARE(rows, (QStringList{"检测时间\t周期(s)", "2024-02-27 00:00:00.000\t9.5", "2024-02-27 01:00:00.000\t10",
                                "2024-02-27 01:30:00.000\t9.5", "2024-02-27 02:00:00.000\t10.5",
                                "2024-02-28 00:00:00.000\t9.5", "2024-02-28 01:00:00.000\t10"}));
    // A second run the same second does not overwrite the first file.
    const auto again = runProgram(env.dir());
    QCOMPARE(again.second, 0);
    QCOMPARE(QDir(env.dir()).entryList({"DetectCycle_*.xlsx"}, QDir::Files).size(), 2);
}

void TestCycleTimePage::programRefusesForeignLines()
{
    TestEnv env;
    statsdays::writeCycleDay(env.path("DetectCycle/2024-02-27.db"), QDate(2024, 2, 27), 3600 * 1000);
    const QString good = buildSqlLines(QDateTime(QDate(2024, 2, 27), QTime(0, 0)), QDateTime(QDate(2024, 2, 27), QTime(9, 0))).front();
    for (const QString& bad : {QString("DROP TABLE detect_cycle"), QString(good).replace("roundstart BETWEEN", "1=1 OR roundstart BETWEEN"),
                               QString(good).replace("2024-02-27 09", "2024-02-27 09\"); DELETE FROM x; --")}) {
        env.writeFile("sql.txt", (good + '\n' + bad + '\n').toUtf8());
        const auto [output, code] = runProgram(env.dir());
        QVERIFY2(code != 0, qPrintable(output));
        QVERIFY2(output.contains("export failed: sql.txt line 2"), qPrintable(output));
        QVERIFY(QDir(env.dir()).entryList({"DetectCycle_*.xlsx"}, QDir::Files).isEmpty());
    }
    QFile::remove(env.path("sql.txt"));
    const auto [output, code] = runProgram(env.dir());
    QVERIFY(code != 0);
    QVERIFY(output.startsWith("export failed: sql.txt"));
}

void TestCycleTimePage::exportOfAMonthWithTheProgram()
{
    CycleRig rig;
    useFolderDisk(rig.env);
    rig.env.runner->passThroughStart(DetectCycleWidget::kProgram, QStringLiteral(MM_XLS_PROGRAM));
    // February at one cycle a minute; a cycle in the last second of the
    // 10th; no file for the 15th.
    int expected = 0;
    for (QDate d(2024, 2, 1); d.month() == 2; d = d.addDays(1)) {
        if (d.day() == 15)
            continue;
        const QStringList extra = d.day() == 10 ? QStringList{"2024-02-10 23:59:59.500"} : QStringList{};
        const int rows = statsdays::writeCycleDay(rig.env.path("DetectCycle/" + d.toString(Qt::ISODate) + ".db"), d, 60000,
                                                  QTime(0, 0), QTime(), extra);
        if (d.day() >= 3 && d.day() <= 28)
            expected += rows;
    }
    // From 2024-02-03 00:00 to 2024-02-28 23:59:59: the last day's final
    // minute record (23:59:00) is in, all of the 3rd is in.
    DetectCycleWidget& page = rig.open();
    rig.answer(QDateTime(QDate(2024, 2, 3), QTime(0, 0)), QDateTime(QDate(2024, 2, 28), QTime(23, 59, 59)), {});
    QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
    page.exportData();
    QVERIFY(ended.wait(60000));
    QCOMPARE(ended.front().front().toBool(), true);
    QVERIFY2(rig.texts().contains("导出成功"), qPrintable(rig.texts().join(',')));
    QCOMPARE(page.progressBox->done, 26);
    QCOMPARE(page.progressBox->total, 26);
    QVERIFY(!page.progressBox->isVisible());

    const QStringList onDisk = QDir(rig.env.path("mnt")).entryList({"DetectCycle_*.xlsx"}, QDir::Files);
    QCOMPARE(onDisk.size(), 1);
    QVERIFY(QDir(rig.env.dir()).entryList({"DetectCycle_*.xlsx"}, QDir::Files).isEmpty());   // moved, not copied
    QVERIFY(!QFile::exists(rig.env.path("DetectCycle/2024-02-15.db")));
    QCOMPARE(rig.env.readFile("sql.txt").count('\n'), 26);

    const QStringList rows = readSheet(rig.env.path("mnt/" + onDisk.front()));
    QCOMPARE(rows.value(0), QString("检测时间\t周期(s)"));
    QCOMPARE(rows.size() - 1, expected);
    QVERIFY(rows.contains("2024-02-10 23:59:59.500\t12"));
    QCOMPARE(rows.value(1), QString("2024-02-03 00:00:00.000\t9.5"));
    // The disk was let go: no holder left, unmounted after the copy.
    QCOMPARE(MountLease::shared().holders(), 0);
    const QStringList commands = rig.env.runner->lines();
    QVERIFY2(commands.contains("sync"), qPrintable(commands.join(',')));
    QVERIFY(commands.indexOf(QRegularExpression("^umount .*")) > commands.indexOf(QRegularExpression("^mount .*")));
}

void TestCycleTimePage::splitReportStillFinishes()
{
    CycleRig rig;
    useFolderDisk(rig.env);
    DetectCycleWidget& page = rig.open();
    const QDateTime now = rig.env.clock->now();
    rig.answer(now.addDays(-1), now, {});
    QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
    page.exportData();
    QTRY_COMPARE(rig.env.runner->started().size(), 1);
    QCOMPARE(rig.env.readFile("sql.txt").count('\n'), 2);
    rig.env.writeFile("DetectCycle_x.xlsx", "workbook");
    RunningCommand* program = rig.env.runner->started().front();
    QVERIFY(page.progressBox->isVisible());
    program->deliverOutput("progress 1 2\nprogr");
    QCOMPARE(page.progressBox->done, 1);
    program->deliverOutput("ess 2 2\nDetectCycle_x.xlsx exp");
    QCOMPARE(page.progressBox->done, 2);
    program->deliverOutput("ort finished\n");
    program->deliverFinished(0);
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.front().front().toBool(), true);
    QCOMPARE(rig.env.readFile("mnt/DetectCycle_x.xlsx"), QByteArray("workbook"));
    QVERIFY(!QFile::exists(rig.env.path("DetectCycle_x.xlsx")));
}

void TestCycleTimePage::programWithoutReportFails()
{
    CycleRig rig;
    useFolderDisk(rig.env);
    DetectCycleWidget& page = rig.open();
    rig.answer(rig.env.clock->now(), rig.env.clock->now(), {});
    QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
    page.exportData();
    QTRY_COMPARE(rig.env.runner->started().size(), 1);
    rig.env.runner->started().front()->deliverOutput("progress 1 1\nSegmentation fault\n");
    rig.env.runner->started().front()->deliverFinished(-1);
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.front().front().toBool(), false);
    QVERIFY(rig.texts().contains("导出失败"));
    QVERIFY(!rig.texts().contains("导出成功"));
    QVERIFY(!page.progressBox->isVisible());
    QVERIFY(!DetectCycleWidget::exportRunning());
    QCOMPARE(MountLease::shared().holders(), 0);
}

void TestCycleTimePage::reportOfAForeignFileRefused()
{
    CycleRig rig;
    useFolderDisk(rig.env);
    rig.env.writeFile("PARAM.db", "parameters");
    rig.env.writeFile("DetectCycle/x.xlsx", "elsewhere");
    DetectCycleWidget& page = rig.open();
    for (const char* report : {"PARAM.db export finished\n", "DetectCycle/x.xlsx export finished\n",
                               "/etc/passwd.xlsx export finished\n", "missing.xlsx export finished\n"}) {
        rig.env.modalRequests.clear();
        rig.answer(rig.env.clock->now(), rig.env.clock->now(), {});
        QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
        page.exportData();
        QTRY_VERIFY(!rig.env.runner->started().isEmpty() && rig.env.runner->started().last() &&
                    rig.env.runner->started().last()->running());
        rig.env.runner->started().last()->deliverOutput(report);
        rig.env.runner->started().last()->deliverFinished(0);
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(ended.front().front().toBool(), false);
        QVERIFY2(rig.texts().contains("导出失败"), report);
    }
    QCOMPARE(rig.env.readFile("PARAM.db"), QByteArray("parameters"));
    QCOMPARE(rig.env.readFile("DetectCycle/x.xlsx"), QByteArray("elsewhere"));
    QVERIFY(QDir(rig.env.path("mnt")).entryList(QDir::Files).isEmpty());
}

void TestCycleTimePage::secondExportIgnoredWhileOneRuns()
{
    CycleRig rig;
    useFolderDisk(rig.env);
    DetectCycleWidget& page = rig.open();
    rig.answer(rig.env.clock->now(), rig.env.clock->now(), {});
    QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
    page.exportData();
    QTRY_COMPARE(rig.env.runner->started().size(), 1);
    const QByteArray sql = rig.env.readFile("sql.txt");
    const size_t requests = rig.env.modalRequests.size();
    const size_t calls = rig.env.runner->calls().size();

    page.exportData();
    QTest::qWait(50);
    QCOMPARE(rig.env.runner->started().size(), 1);
    QCOMPARE(rig.env.modalRequests.size(), requests);
    QCOMPARE(rig.env.runner->calls().size(), calls);
    QCOMPARE(rig.env.readFile("sql.txt"), sql);
    QVERIFY(DetectCycleWidget::exportRunning());

    rig.env.runner->started().front()->deliverOutput("export failed: no records\n");
    rig.env.runner->started().front()->deliverFinished(1);
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(rig.texts().last(), QString("导出失败"));
    QVERIFY(!DetectCycleWidget::exportRunning());
}

void TestCycleTimePage::noDiskAsksAgainAndGivesUp()
{
    CycleRig rig;
    useFolderDisk(rig.env, false);
    DetectCycleWidget& page = rig.open();
    rig.answer(rig.env.clock->now(), rig.env.clock->now(), {1, 0});   // Yes: again; then No
    QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
    page.exportData();
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended.front().front().toBool(), false);
    QCOMPARE(rig.texts(), (QStringList{"320", "320"}));
    QCOMPARE(rig.env.runner->lines().count("blkid"), 2);
    QVERIFY(rig.env.runner->started().isEmpty());
}

void TestCycleTimePage::vanishedDiskKeepsTheFile()
{
    CycleRig rig;
    useFolderDisk(rig.env);
    DetectCycleWidget& page = rig.open();
    rig.answer(rig.env.clock->now(), rig.env.clock->now(), {1, 0});   // 320 after the failed copy: Yes, then No
    QSignalSpy ended(&page, &DetectCycleWidget::exportEnded);
    page.exportData();
    QTRY_COMPARE(rig.env.runner->started().size(), 1);
    rig.env.writeFile("DetectCycle_y.xlsx", "workbook");
    // The disk went away: its folder is gone, a file stands in its place.
    QDir(rig.env.path("mnt")).removeRecursively();
    rig.env.writeFile("mnt", "not a folder");
    rig.env.runner->started().front()->deliverOutput("DetectCycle_y.xlsx export finished\n");
    rig.env.runner->started().front()->deliverFinished(0);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QCOMPARE(ended.front().front().toBool(), false);
    // Asked twice (Yes searched the disk again and copied again), no success.
    QCOMPARE(rig.texts().mid(1), (QStringList{"320", "320"}));
    QCOMPARE(rig.env.runner->started().size(), 1);   // the program did not run again
    QCOMPARE(rig.env.readFile("DetectCycle_y.xlsx"), QByteArray("workbook"));
    QCOMPARE(MountLease::shared().holders(), 0);
    QVERIFY(!DetectCycleWidget::exportRunning());
}

int main(int argc, char** argv)
{
    // A zone without daylight saving, before the first date is computed.
    qputenv("TZ", "CST-8");
    tzset();
    QApplication app(argc, argv);
    TestCycleTimePage test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_cycletimepage.moc"
