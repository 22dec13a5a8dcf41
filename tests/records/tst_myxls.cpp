// The statistics workbook: the table of sheets and cells a store's days
// give, the same table read back from the written .xlsx (Python's zipfile
// and xml), and the export dialogue with a folder standing in for the disk.
#include "cameraglobals.h"
#include "myxls.h"
#include "readonlyfolder.h"
#include "recordsfixture.h"
#include "recordswriter.h"
#include "statisticsexport.h"
#include "testenv.h"
#include "usbmount.h"
#include "wizardpara.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <QtTest>

#include <future>
#include <memory>

namespace {

// Reads an .xlsx with the standard library only: sheet names in order, every
// cell as text or number, and how many cells carry a format of their own.
const char* const kReader = R"PY(
import sys, zipfile, json, re
import xml.etree.ElementTree as ET
M = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
z = zipfile.ZipFile(sys.argv[1])
wb = ET.fromstring(z.read('xl/workbook.xml'))
names = [s.get('name') for s in wb.iter(M + 'sheet')]
sst = []
if 'xl/sharedStrings.xml' in z.namelist():
    for si in ET.fromstring(z.read('xl/sharedStrings.xml')).iter(M + 'si'):
        sst.append(''.join(t.text or '' for t in si.iter(M + 't')))
out = []
for i, name in enumerate(names):
    ws = ET.fromstring(z.read('xl/worksheets/sheet%d.xml' % (i + 1)))
    cells, styled = {}, 0
    for c in ws.iter(M + 'c'):
        m = re.match(r'([A-Z]+)(\d+)$', c.get('r'))
        col = 0
        for ch in m.group(1):
            col = col * 26 + ord(ch) - 64
        key = '%d,%d' % (int(m.group(2)) - 1, col - 1)
        v = c.find(M + 'v')
        cells[key] = sst[int(v.text)] if c.get('t') == 's' else float(v.text)
        if c.get('s') not in (None, '0'):
            styled += 1
    out.append({'name': name, 'cells': cells, 'styled': styled})
print(json.dumps(out))
)PY";

// The written file as the builder's table; styled counts formatted cells.
XlsWorkbook readBack(const QString& file, int* styled)
{
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kReader), file});
    p.waitForFinished(30000);
    const QJsonArray sheets = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    XlsWorkbook book;
    *styled = 0;
    for (const QJsonValue& v : sheets) {
        const QJsonObject o = v.toObject();
        XlsSheet sheet{o.value("name").toString(), {}};
        const QJsonObject cells = o.value("cells").toObject();
        for (auto it = cells.begin(); it != cells.end(); ++it) {
            const QStringList rc = it.key().split(',');
            const QVariant value = it.value().isString() ? QVariant(it.value().toString())
                                                         : QVariant(int(it.value().toDouble()));
            sheet.cells.insert({rc[0].toInt(), rc[1].toInt()}, value);
        }
        *styled += o.value("styled").toInt();
        book.append(sheet);
    }
    return book;
}

QString cellText(const XlsWorkbook& book, const QString& sheet, int row, int col)
{
    for (const XlsSheet& s : book)
        if (s.name == sheet)
            return s.cells.value({row, col}, QStringLiteral("<none>")).toString();
    return QStringLiteral("<no sheet>");
}

// A store driven like the statistics tests: "clock <instant>", "open",
// "ok|ng <camera> <detection>" at the clock, "okAt <instant> <c> <d>".
struct StoreRig {
    TestEnv& env;
    RecordsWriter writer{20};
    std::unique_ptr<ResStatisticsParam> store;
    explicit StoreRig(TestEnv& e) : env(e) {}
    void run(const QStringList& steps)
    {
        for (const QString& step : steps) {
            const QStringList w = step.split(' ');
            if (w[0] == "clock")
                env.clock->set(at(w[1] + ' ' + w[2]));
            else if (w[0] == "open")
                store = std::make_unique<ResStatisticsParam>(writer);
            else if (w[0] == "okAt")
                store->Add(at(w[1] + ' ' + w[2]), true, w[3].toInt(), w[4].toInt());
            else
                store->Add(env.clock->now(), w[0] == "ok", w[1].toInt(), w[2].toInt());
        }
    }
};

// The folder-disk: blkid lists one stick, mount and umount edit the mounts
// table.
struct FolderDisk {
    TestEnv& env;
    QByteArray table = "/dev/sda1 / ext4 rw 0 0\n";
    bool present = true;
    std::mutex mutex;
    explicit FolderDisk(TestEnv& e) : env(e)
    {
        QDir().mkpath(paths().mountPoint);
        env.writeFile(QStringLiteral("proc/mounts"), table);
        env.runner->setScript([this](const CommandCall& c) {
            std::lock_guard<std::mutex> lock(mutex);
            CommandResult r;
            if (c.program == "blkid" && present)
                r.output = "/dev/sda1: TYPE=\"ext4\"\n/dev/sdb1: TYPE=\"vfat\"\n";
            if (c.program == "mount")
                table += c.args[0].toLocal8Bit() + ' ' + c.args[1].toLocal8Bit() + " vfat rw 0 0\n";
            if (c.program == "umount") {
                const int i = table.indexOf("/dev/sdb1");
                if (i >= 0)
                    table.remove(i, table.indexOf('\n', i) - i + 1);
            }
            env.writeFile(QStringLiteral("proc/mounts"), table);
            return r;
        });
    }
    QStringList files() const
    {
        return QDir(paths().mountPoint).entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    }
};

QStringList localExports()
{
    return QDir().entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
}

int shown(const TestEnv& env, int id)
{
    int n = 0;
    for (const ModalRequest& r : env.modalRequests)
        n += r.messageId == id;
    return n;
}

} // namespace

class TestMyxls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void workbook_data();
    void workbook();
    void headerText();

    void noAtAskShowsThePage();
    void noDiskAsksAgain();
    void exportReachesTheDisk();
    void diskFailureKeepsTheLocalFile_data();
    void diskFailureKeepsTheLocalFile();
    void workLeavesTheGuiThread();
    void twoExportsTwoFiles();
};

void TestMyxls::initTestCase() { pinTimeZone(); }

void TestMyxls::init()
{
    numCamera = 1;
    gDNum = 2;
}

void TestMyxls::workbook_data()
{
    QTest::addColumn<int>("cameras");
    QTest::addColumn<int>("detections");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("exportAt");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<QStringList>("cells");   // "<sheet>|<row>|<col>|<text>"

    QTest::newRow("header, and a verdict at 02:00 by detection 1 of camera 0")
        << 1 << 2 << QStringList{"clock 2024-01-02 09:00:00", "open", "okAt 2024-01-03 02:00:00 0 1"}
        << "2024-01-03 03:00:00" << QStringList{"Camera0"}
        << QStringList{"Camera0|0|0|日期", "Camera0|0|1|8:00", "Camera0|0|16|23:00", "Camera0|0|17|0:00",
                       "Camera0|0|24|7:00", "Camera0|1|0|2024-01-02-ok", "Camera0|2|0|2024-01-02-ng",
                       "Camera0|1|19|1", "Camera0|1|18|0", "Camera0|2|19|0", "Camera0|3|0|<none>"};
    QTest::newRow("at 07:30 the current day is the statistics date")
        << 1 << 2 << QStringList{"clock 2024-01-01 10:00:00", "open", "ok 0 0"} << "2024-01-02 07:30:00"
        << QStringList{"Camera0"} << QStringList{"Camera0|1|0|2024-01-01-ok", "Camera0|1|3|1"};
    QTest::newRow("no verdict since 08:00: the old day is archived first")
        << 1 << 2 << QStringList{"clock 2024-01-01 10:00:00", "open", "ok 0 0"} << "2024-01-02 09:00:00"
        << QStringList{"Camera0"}
        << QStringList{"Camera0|1|0|2024-01-02-ok", "Camera0|1|3|0", "Camera0|3|0|2024-01-01-ok",
                       "Camera0|4|0|2024-01-01-ng", "Camera0|3|3|1"};
    QTest::newRow("two archives, oldest first")
        << 1 << 2
        << QStringList{"clock 2024-01-01 10:00:00", "open", "ok 0 0", "clock 2024-01-02 10:00:00", "ng 0 0",
                       "clock 2024-01-03 10:00:00", "ok 0 1"}
        << "2024-01-03 11:00:00" << QStringList{"Camera0"}
        << QStringList{"Camera0|1|0|2024-01-03-ok", "Camera0|1|3|1", "Camera0|3|0|2024-01-01-ok",
                       "Camera0|4|0|2024-01-01-ng", "Camera0|3|3|1", "Camera0|5|0|2024-01-02-ok",
                       "Camera0|6|0|2024-01-02-ng", "Camera0|6|3|1", "Camera0|7|0|<none>"};
    QTest::newRow("three cameras, three sheets")
        << 3 << 2 << QStringList{"clock 2024-01-01 10:00:00", "open", "ng 2 0", "ok 1 1"}
        << "2024-01-01 11:00:00" << QStringList{"Camera0", "Camera1", "Camera2"}
        << QStringList{"Camera2|2|3|1", "Camera1|1|3|1", "Camera0|1|3|0", "Camera2|0|0|日期"};
    QTest::newRow("four detections: the aggregate counts all four")
        << 1 << 4
        << QStringList{"clock 2024-01-01 10:00:00", "open", "ok 0 0", "ok 0 1", "ok 0 2", "ok 0 3",
                       "clock 2024-01-02 10:00:00", "ok 0 3"}
        << "2024-01-02 11:00:00" << QStringList{"Camera0"}
        << QStringList{"Camera0|1|3|1", "Camera0|3|3|4"};
}

void TestMyxls::workbook()
{
    QFETCH(int, cameras);
    QFETCH(int, detections);
    QFETCH(QStringList, steps);
    QFETCH(QString, exportAt);
    QFETCH(QStringList, sheets);
    QFETCH(QStringList, cells);
    numCamera = cameras;
    gDNum = detections;
    TestEnv env;
    QDir().mkpath("ResStatistics");
    StoreRig rig(env);
    rig.run(steps);
    env.clock->set(at(exportAt));
    rig.store->checkDate();

    Myxls xls;
    QString error;
    int progressCalls = 0;
    QVERIFY2(xls.ImportRes("out.xlsx", exportDayFromCounts(rig.store->statisticsDate, rig.store->liveCounts),
                           rig.store->archiveDir(), numCamera, [&](int, int) { ++progressCalls; }, &error),
             qPrintable(error));
    QCOMPARE(progressCalls, int(rig.store->archiveNames().size()));
    QStringList names;
    for (const XlsSheet& s : xls.workbook())
        names << s.name;
    QCOMPARE(names, sheets);
    for (const QString& c : cells) {
        const QStringList f = c.split('|');
        QCOMPARE(cellText(xls.workbook(), f[0], f[1].toInt(), f[2].toInt()), f[3]);
    }
    // Every sheet: the header row and two rows per day, 25 cells each.
    for (const XlsSheet& s : xls.workbook())
        QCOMPARE(s.cells.size(), 25 * (1 + 2 * (1 + int(rig.store->archiveNames().size()))));

    int styled = -1;
    const XlsWorkbook back = readBack("out.xlsx", &styled);
    QCOMPARE(back.size(), xls.workbook().size());
    for (int k = 0; k < back.size(); ++k) {
        QCOMPARE(back[k].name, xls.workbook()[k].name);
        QCOMPARE(back[k].cells, xls.workbook()[k].cells);
    }
    QCOMPARE(styled, 0);
}

void TestMyxls::headerText()
{
    QCOMPARE(statisticsHeaderText(1), QStringLiteral("8:00"));
    QCOMPARE(statisticsHeaderText(16), QStringLiteral("23:00"));
    QCOMPARE(statisticsHeaderText(17), QStringLiteral("0:00"));
    QCOMPARE(statisticsHeaderText(24), QStringLiteral("7:00"));
    // A file that does not open or lacks its rows gives zeros.
    TestEnv env;
    env.writeFile("ResStatistics/2023-12-31.db", QByteArray(2048, 'x'));
    QVERIFY(execOn("ResStatistics/2023-12-30.db", {"CREATE TABLE resstatistics(name, value1, value2)"}));
    env.writeFile("ResStatistics/readme.txt", "x");
    const auto list = statisticsArchives("ResStatistics");
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].first, QStringLiteral("2023-12-30"));
    StatisticsExportDay day;
    QVERIFY(readExportDay(list[0].second, list[0].first, 1, &day));
    QCOMPARE(day.okHours[0], HourCounts{});
    QVERIFY(!readExportDay(list[1].second, list[1].first, 1, &day));
    QCOMPARE(day.ngHours[0], HourCounts{});
    QCOMPARE(day.label, QStringLiteral("2023-12-31"));
    QCOMPARE(env.readFile("ResStatistics/2023-12-31.db"), QByteArray(2048, 'x'));
}

void TestMyxls::noAtAskShowsThePage()
{
    TestEnv env;
    FolderDisk disk(env);
    StoreRig rig(env);
    rig.run({"clock 2024-01-01 10:00:00", "open"});
    QWidget page;
    page.show();
    StatisticsExport exporter(rig.store.get());
    StatisticsExport::Result result = StatisticsExport::Result::Done;
    exporter.onFinished = [&](StatisticsExport::Result r) { result = r; };
    env.modalAnswers = {0};
    exporter.start(&page);
    QCOMPARE(result, StatisticsExport::Result::Cancelled);
    QVERIFY(page.isVisible());
    QVERIFY(env.runner->lines().isEmpty());
    QCOMPARE(env.modalRequests.at(0).messageId, 324);
}

void TestMyxls::noDiskAsksAgain()
{
    TestEnv env;
    FolderDisk disk(env);
    disk.present = false;
    StoreRig rig(env);
    rig.run({"clock 2024-01-01 10:00:00", "open"});
    QWidget page;
    page.show();
    StatisticsExport exporter(rig.store.get());
    bool finished = false;
    StatisticsExport::Result result = StatisticsExport::Result::Done;
    exporter.onFinished = [&](StatisticsExport::Result r) {
        result = r;
        finished = true;
    };
    env.modalAnswers = {1, 1, 0};   // export? yes; no disk: again, then give up
    exporter.start(&page);
    QVERIFY(!page.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QCOMPARE(result, StatisticsExport::Result::NoDisk);
    QCOMPARE(shown(env, 320), 2);
    QCOMPARE(env.runner->lines(), (QStringList{"blkid", "blkid"}));
    QVERIFY(!page.isVisible());
    QVERIFY(localExports().isEmpty());
}

void TestMyxls::exportReachesTheDisk()
{
    TestEnv env;
    FolderDisk disk(env);
    StoreRig rig(env);
    rig.run({"clock 2024-01-01 10:00:00", "open", "ok 0 0", "clock 2024-01-02 09:30:00", "ng 0 1"});
    QWidget page;
    page.show();
    StatisticsExport exporter(rig.store.get());
    // The disk is released before the unmount begins (which waits for it).
    int holdersAtUnmount = -1;
    exporter.stepHook = [&](const QString& step) {
        if (step == "unmount")
            holdersAtUnmount = MountLease::shared().holders();
    };
    bool finished = false;
    StatisticsExport::Result result = StatisticsExport::Result::Failure;
    exporter.onFinished = [&](StatisticsExport::Result r) {
        result = r;
        finished = true;
    };
    env.modalAnswers = {1};
    QVERIFY(exporter.start(&page));
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QCOMPARE(result, StatisticsExport::Result::Done);
    QCOMPARE(disk.files(), QStringList{"2024-01-02_09.30.00.xlsx"});
    QVERIFY(localExports().isEmpty());
    QCOMPARE(holdersAtUnmount, 0);
    QCOMPARE(env.runner->lines(),
             (QStringList{"blkid", "mount /dev/sdb1 " + paths().mountPoint, "sync", "umount " + paths().mountPoint}));
    QCOMPARE(shown(env, 147), 1);
    QVERIFY(page.isVisible());
    QCOMPARE(MountLease::shared().holders(), 0);
    int styled = 0;
    const XlsWorkbook back = readBack(paths().mountPoint + "/2024-01-02_09.30.00.xlsx", &styled);
    QCOMPARE(cellText(back, "Camera0", 1, 0), QStringLiteral("2024-01-02-ok"));
    QCOMPARE(cellText(back, "Camera0", 2, 2), QStringLiteral("1"));
    QCOMPARE(cellText(back, "Camera0", 3, 3), QStringLiteral("1"));
}

void TestMyxls::diskFailureKeepsTheLocalFile_data()
{
    QTest::addColumn<bool>("vanish");
    QTest::newRow("read-only disk") << false;
    QTest::newRow("disk gone during the export") << true;
}

void TestMyxls::diskFailureKeepsTheLocalFile()
{
    QFETCH(bool, vanish);
    TestEnv env;
    FolderDisk disk(env);
    StoreRig rig(env);
    rig.run({"clock 2024-01-01 10:00:00", "open", "ok 0 0"});
    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (!vanish) {
        readOnly = std::make_unique<ReadOnlyFolder>(paths().mountPoint);
        if (!readOnly->ok())
            QSKIP("cannot make a folder read-only here");
    }
    QWidget page;
    page.show();
    StatisticsExport exporter(rig.store.get());
    if (vanish)
        exporter.stepHook = [](const QString& step) {
            if (step == "copy")
                QDir(paths().mountPoint).removeRecursively();
        };
    bool finished = false;
    StatisticsExport::Result result = StatisticsExport::Result::Done;
    exporter.onFinished = [&](StatisticsExport::Result r) {
        result = r;
        finished = true;
    };
    env.modalAnswers = {1, 0};   // export: yes; insert a disk and try again: no
    exporter.start(&page);
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QCOMPARE(result, StatisticsExport::Result::DiskFailure);
    QCOMPARE(shown(env, 147), 0);
    QCOMPARE(shown(env, 320), 1);
    QCOMPARE(localExports(), QStringList{"2024-01-01_10.00.00.xlsx"});
    QVERIFY(disk.files().isEmpty());
    QVERIFY(page.isVisible());
    QCOMPARE(MountLease::shared().holders(), 0);
}

void TestMyxls::workLeavesTheGuiThread()
{
    TestEnv env;
    FolderDisk disk(env);
    StoreRig rig(env);
    rig.run({"clock 2024-01-01 10:00:00", "open", "ok 0 0"});
    QWidget page;
    StatisticsExport exporter(rig.store.get());
    std::mutex m;
    QMap<QString, QThread*> threads;
    std::promise<void> latch;
    std::shared_future<void> opened = latch.get_future().share();
    std::atomic<bool> inCopy{false};
    exporter.stepHook = [&](const QString& step) {
        {
            std::lock_guard<std::mutex> lock(m);
            threads.insert(step, QThread::currentThread());
        }
        if (step == "copy") {
            inCopy = true;
            opened.wait();
        }
    };
    bool finished = false;
    exporter.onFinished = [&](StatisticsExport::Result) { finished = true; };
    env.modalAnswers = {1};
    exporter.start(&page);
    QTRY_VERIFY_WITH_TIMEOUT(inCopy.load(), 10000);
    // While the copy waits, the GUI thread runs a queued call, and a second
    // export does nothing.
    bool queuedRan = false;
    QMetaObject::invokeMethod(&page, [&] { queuedRan = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(queuedRan, 5000);
    QVERIFY(exporter.running());
    const size_t asked = env.modalRequests.size();
    QVERIFY(!exporter.start(&page));
    QCOMPARE(env.modalRequests.size(), asked);
    QVERIFY(exporter.progressText().endsWith(QLatin1String("0 / 0")));
    latch.set_value();
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QVERIFY(threads.value("workbook") && threads.value("workbook") != QThread::currentThread());
    QVERIFY(threads.value("copy") && threads.value("copy") != QThread::currentThread());
    QVERIFY(exporter.progressText().isEmpty());
}

void TestMyxls::twoExportsTwoFiles()
{
    TestEnv env;
    FolderDisk disk(env);
    StoreRig rig(env);
    rig.run({"clock 2024-01-01 10:00:00", "open", "ok 0 0"});
    QWidget page;
    StatisticsExport exporter(rig.store.get());
    int finished = 0;
    exporter.onFinished = [&](StatisticsExport::Result) { ++finished; };
    env.modalAnswers = {1, 1, 1, 1};
    exporter.start(&page);
    QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 10000);
    exporter.start(&page);   // the same second
    QTRY_COMPARE_WITH_TIMEOUT(finished, 2, 10000);
    QCOMPARE(disk.files(), (QStringList{"2024-01-01_10.00.00.xlsx", "2024-01-01_10.00.00_2.xlsx"}));
    int styled = 0;
    for (const QString& f : disk.files())
        QCOMPARE(readBack(paths().mountPoint + "/" + f, &styled).size(), 1);
}

QTEST_MAIN(TestMyxls)
#include "tst_myxls.moc"
