// Template library of one camera slot: browsing, deleting the shown
// template, adding (free slot, full library by file age, files left by a
// larger library, stray names), emptying, and the refused file operations,
// which must leave memory, files and reports as they were.
#include "cameraglobals.h"
#include "messages.h"
#include "readonlyfolder.h"
#include "relaylink.h"
#include "slotpictures.h"
#include "templatefolders.h"
#include "templatelibrary.h"
#include "testenv.h"

#include <QtTest>

#include <map>

namespace {

constexpr int kW = 8;
constexpr int kH = 4;
constexpr int kCam = 1;   // folders "cammer2<d + 1>"
constexpr int kD = 1;
const QString kFolder = QStringLiteral("cammer22");

const QDateTime kEpoch(QDate(2026, 3, 1), QTime(8, 0, 0));

// The valid slots of the test's detection.
std::vector<int> validList(const CameraSlotState& slot, int d = kD) { return validSlots(slot, d); }

std::vector<uchar> picture(int colorLen, int value)
{
    return std::vector<uchar>(static_cast<size_t>(colorLen), static_cast<uchar>(value));
}

// A slot of kW x kH with slotCount template slots, the relay, the record and the
// retrain requests kept.
struct LibraryRig {
    explicit LibraryRig(int slotCount, bool color = false)
    {
        gpNet = &relay;
        gLan = LanEnglish;
        slot.AllocateSlotBuffers(kW, kH, color, slotCount);
        slot.camIndex = kCam;
        reports.netEnabled = true;
        reports.insertRecord = [this](const QString& text) { records << text; };
        reports.retrainLater = [this](int camIndex) { retrains << camIndex; };
    }
    ~LibraryRig()
    {
        gpNet = oldNet;
        gLan = oldLan;
        gTempTime = oldTempTime;
    }
    LibraryRig(const LibraryRig&) = delete;
    LibraryRig& operator=(const LibraryRig&) = delete;

    // Template n of detection d in memory (bytes value) and, unless memoryOnly,
    // on disk with its file dated kEpoch + minutes.
    void store(int n, int value, int minutes = 0, int d = kD, bool memoryOnly = false)
    {
        const std::vector<uchar> pixels = picture(slot.colorLen, value);
        std::copy(pixels.begin(), pixels.end(), slot.TemplateBuffer(d, n));
        if (!slot.templateValid[d][n]) {
            slot.templateValid[d][n] = 1;
            ++slot.templateCount[d];
        }
        if (!memoryOnly) {
            QVERIFY(WriteTemplateFile(slot, kCam, d, n, pixels.data()));
            setTime(TemplateFile(kCam, d, n), minutes);
        }
    }
    // Any file, dated kEpoch + minutes.
    void strayFile(const QString& name, int minutes, const QString& folder = kFolder)
    {
        env.writeFile(folder + QLatin1Char('/') + name, "stray");
        setTime(folder + QLatin1Char('/') + name, minutes);
    }
    static void setTime(const QString& path, int minutes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(kEpoch.addSecs(60 * minutes), QFileDevice::FileModificationTime));
    }
    TemplateLibrary library() { return TemplateLibrary(slot, reports); }
    bool quiet() const { return relay.calls().isEmpty() && records.isEmpty() && retrains.isEmpty(); }

    // Declared so that the program directory outlives the rest.
    TestEnv env;
    RelayLink* oldNet = gpNet;
    int oldLan = gLan;
    QString oldTempTime = gTempTime;
    RecordingRelayLink relay;
    CameraSlotState slot;
    TemplateReports reports;
    QStringList records;
    QList<int> retrains;
};

// The library of one detection as memory holds it.
struct LibraryMemory {
    std::vector<int> valid;
    int count = 0;
    std::vector<std::vector<uchar>> buffers;
    int shown = 0;

    explicit LibraryMemory(const CameraSlotState& slot, int d = kD)
        : valid(slot.templateValid[d]), count(slot.templateCount[d]), buffers(slot.templates[d]), shown(slot.tempShown)
    {
    }
    bool operator==(const LibraryMemory& o) const
    {
        return valid == o.valid && count == o.count && buffers == o.buffers && shown == o.shown;
    }
};

} // namespace

class TestTemplateLibrary : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void singleSlotRefusesAdding();
    void browsing_data();
    void browsing();
    void templateTimeOfMissingFile();
    void deleteShown_data();
    void deleteShown();
    void baseTemplateIsNotDeleted();
    void addIntoFreeSlot();
    void addToFullLibrary_data();
    void addToFullLibrary();
    void emptyRecentNgAddsNothing();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void deleteAll_data();
    void deleteAll();
};

void TestTemplateLibrary::singleSlotRefusesAdding()
{
    LibraryRig rig(1);
    rig.store(0, 10);
    const LibraryMemory before(rig.slot);

    const TemplateOutcome outcome = rig.library().add(kD, picture(rig.slot.colorLen, 99));

    QCOMPARE(outcome.warning, 258);
    QVERIFY(!outcome.changed);
    QVERIFY(LibraryMemory(rig.slot) == before);
    QCOMPARE(folderNames(kFolder), QStringList{"template0.bmp"});
    QVERIFY(rig.quiet());
}

void TestTemplateLibrary::browsing_data()
{
    QTest::addColumn<bool>("color");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("expected");

    // Slots 0, 2 and 5 of 7 hold pictures.
    QTest::newRow("next skips 1") << false << 0 << 1 << 2;
    QTest::newRow("next skips 3 and 4") << false << 2 << 1 << 5;
    QTest::newRow("next skips 6 and wraps") << false << 5 << 1 << 0;
    QTest::newRow("previous wraps past 6") << false << 0 << -1 << 5;
    QTest::newRow("previous skips 3 and 4") << false << 5 << -1 << 2;
    QTest::newRow("previous skips 1") << false << 2 << -1 << 0;
    QTest::newRow("colour next") << true << 2 << 1 << 5;
}

void TestTemplateLibrary::browsing()
{
    QFETCH(bool, color);
    QFETCH(int, from);
    QFETCH(int, direction);
    QFETCH(int, expected);
    LibraryRig rig(7, color);
    rig.store(0, 10, 0);
    rig.store(2, 12, 2);
    rig.store(5, 15, 5);
    rig.slot.tempShown = from;

    QVERIFY(rig.library().stepShown(kD, direction));

    QCOMPARE(rig.slot.tempShown, expected);
    QVERIFY(rig.slot.shownFrame == rig.slot.templates[kD][expected]);
    QCOMPARE(gTempTime, kEpoch.addSecs(60 * expected).toString("yyyy-MM-dd hh.mm.ss"));
    if (color) {
        std::vector<uchar> plane(static_cast<size_t>(rig.slot.imageLen));
        RgbaToDetectionPlane(rig.slot.templates[kD][expected].data(), kW, kH, plane.data());
        QVERIFY(rig.slot.grayPlane == plane);
    }
    QVERIFY(rig.quiet());
}

void TestTemplateLibrary::templateTimeOfMissingFile()
{
    LibraryRig rig(3);
    rig.store(0, 10, 0);
    rig.store(1, 11, 0, kD, true);   // in memory, its file gone
    gTempTime = QStringLiteral("old");

    QVERIFY(rig.library().stepShown(kD, 1));

    QCOMPARE(rig.slot.tempShown, 1);
    QVERIFY(gTempTime.isEmpty());
}

void TestTemplateLibrary::deleteShown_data()
{
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("next");

    // Slots 0, 1, 2 and 4 of 6 hold pictures.
    QTest::newRow("middle, next valid") << 2 << 4;
    QTest::newRow("first after base") << 1 << 2;
    QTest::newRow("last valid, wraps to base") << 4 << 0;
}

void TestTemplateLibrary::deleteShown()
{
    QFETCH(int, shown);
    QFETCH(int, next);
    LibraryRig rig(6);
    for (int n : {0, 1, 2, 4})
        rig.store(n, 10 + n, n);
    rig.slot.tempShown = shown;

    const TemplateOutcome outcome = rig.library().deleteShown(kD);

    QVERIFY(outcome.changed);
    QCOMPARE(outcome.warning, TemplateOutcome::kNoWarning);
    QVERIFY(!QFile::exists(TemplateFile(kCam, kD, shown)));
    QCOMPARE(folderNames(kFolder).size(), 3);
    QCOMPARE(rig.slot.templateCount[kD], 3);
    QCOMPARE(rig.slot.templateValid[kD][shown], 0);
    QCOMPARE(rig.slot.tempShown, next);
    QVERIFY(rig.slot.shownFrame == rig.slot.templates[kD][next]);
    QCOMPARE(rig.relay.calls(), QStringList{QStringLiteral("deltemppic 2 2 template%1.bmp").arg(shown)});
    QCOMPARE(rig.records, QStringList{QStringLiteral("Camera 2 has deleted the %1 template ").arg(shown + 1)});
    QCOMPARE(rig.retrains, QList<int>{kCam});
}

void TestTemplateLibrary::baseTemplateIsNotDeleted()
{
    LibraryRig rig(3);
    rig.store(0, 10);
    rig.store(1, 11);
    const LibraryMemory before(rig.slot);

    const TemplateOutcome outcome = rig.library().deleteShown(kD);

    QCOMPARE(outcome.warning, 68);
    QVERIFY(!outcome.changed);
    QVERIFY(LibraryMemory(rig.slot) == before);
    QCOMPARE(folderNames(kFolder), (QStringList{"template0.bmp", "template1.bmp"}));
    QVERIFY(rig.quiet());
}

void TestTemplateLibrary::addIntoFreeSlot()
{
    LibraryRig rig(5);
    for (int n : {0, 1, 3})
        rig.store(n, 10 + n, n);
    const std::vector<uchar> ng = picture(rig.slot.colorLen, 77);

    const TemplateOutcome outcome = rig.library().add(kD, ng);

    QVERIFY(outcome.changed);
    QCOMPARE(outcome.slot, 2);
    QCOMPARE(validList(rig.slot), (std::vector<int>{0, 1, 2, 3}));
    QCOMPARE(rig.slot.templateCount[kD], 4);
    QVERIFY(rig.slot.templates[kD][2] == ng);
    // The file holds the picture.
    CameraSlotState reread;
    reread.AllocateSlotBuffers(kW, kH, false, 5);
    LoadTemplateLibrary(reread, kCam);
    QVERIFY(reread.templates[kD][2] == ng);
    QCOMPARE(rig.relay.calls(), QStringList{"temppic " + absolute(TemplateFile(kCam, kD, 2))});
    QCOMPARE(rig.records, QStringList{"Camerar 2 added a template"});
    QVERIFY2(rig.retrains.isEmpty(), "the page retrains after an addition");
}

void TestTemplateLibrary::addToFullLibrary_data()
{
    QTest::addColumn<QStringList>("strays");        // "name@minutes"
    QTest::addColumn<QList<int>>("minutes");        // file time of slots 0..3; -1 no file
    QTest::addColumn<int>("replaced");
    QTest::addColumn<QStringList>("removed");       // relay names of removed files

    QTest::newRow("base oldest: second oldest") << QStringList{} << QList<int>{0, 30, 10, 20} << 2 << QStringList{};
    QTest::newRow("oldest other than base") << QStringList{} << QList<int>{5, 30, 40, 1} << 3 << QStringList{};
    QTest::newRow("same time: lower name") << QStringList{} << QList<int>{0, 9, 9, 9} << 1 << QStringList{};
    QTest::newRow("left by a larger library")
        << QStringList{"template7.bmp@1"} << QList<int>{0, 30, 10, 20} << 3 << QStringList{"template7"};
    QTest::newRow("stray names never pick the base")
        << QStringList{"template_old.bmp@0", "template00.bmp@0", "template-1.bmp@0", "templatex.bmp@0"}
        << QList<int>{1, 30, 10, 20} << 2 << QStringList{};
    QTest::newRow("only template0 on disk") << QStringList{} << QList<int>{0, -1, -1, -1} << 3 << QStringList{};
    QTest::newRow("no file at all") << QStringList{} << QList<int>{-1, -1, -1, -1} << 3 << QStringList{};
}

void TestTemplateLibrary::addToFullLibrary()
{
    QFETCH(QStringList, strays);
    QFETCH(QList<int>, minutes);
    QFETCH(int, replaced);
    QFETCH(QStringList, removed);
    LibraryRig rig(4);
    for (int n = 0; n < 4; ++n)
        rig.store(n, 10 + n, minutes[n], kD, minutes[n] < 0);
    for (const QString& stray : strays)
        rig.strayFile(stray.section('@', 0, 0), stray.section('@', 1).toInt());
    auto filesBefore = folderFiles(kFolder);
    const std::vector<uchar> ng = picture(rig.slot.colorLen, 77);

    const TemplateOutcome outcome = rig.library().add(kD, ng);

    QVERIFY(outcome.changed);
    QCOMPARE(outcome.slot, replaced);
    QCOMPARE(rig.slot.templateCount[kD], 4);
    QCOMPARE(validList(rig.slot), (std::vector<int>{0, 1, 2, 3}));
    for (int n = 0; n < 4; ++n)
        QVERIFY(rig.slot.templates[kD][n] == (n == replaced ? ng : picture(rig.slot.colorLen, 10 + n)));

    // Only the replaced file and the removed ones differ on disk.
    auto expectedFiles = filesBefore;
    for (const QString& name : removed)
        expectedFiles.erase(name + ".bmp");
    auto filesAfter = folderFiles(kFolder);
    const QString replacedName = QStringLiteral("template%1.bmp").arg(replaced);
    QVERIFY(filesAfter.count(replacedName));
    QVERIFY(filesAfter[replacedName] != filesBefore[replacedName]);
    filesAfter.erase(replacedName);
    expectedFiles.erase(replacedName);
    QVERIFY(filesAfter == expectedFiles);

    QStringList calls;
    for (const QString& name : removed)
        calls << "deltemppic 2 2 " + name;
    calls << "temppic " + absolute(TemplateFile(kCam, kD, replaced));
    QCOMPARE(rig.relay.calls(), calls);
}

void TestTemplateLibrary::emptyRecentNgAddsNothing()
{
    LibraryRig rig(4);
    rig.store(0, 10);
    const LibraryMemory before(rig.slot);

    const TemplateOutcome outcome = rig.library().add(kD, rig.slot.recentNG[kD][0]);

    QVERIFY(!outcome.changed);
    QCOMPARE(outcome.warning, TemplateOutcome::kNoWarning);
    QVERIFY(LibraryMemory(rig.slot) == before);
    QCOMPARE(folderNames(kFolder), QStringList{"template0.bmp"});
    QVERIFY(rig.quiet());
}

void TestTemplateLibrary::readOnlyFolder_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("logCount");

    QTest::newRow("delete shown") << "delete" << "cannot remove template" << 1;
    QTest::newRow("add into free slot") << "add free" << "cannot write" << 1;
    QTest::newRow("add replacing the oldest") << "add full" << "cannot write" << 1;
    QTest::newRow("add over a larger library's file") << "add stray" << "cannot remove template" << 1;
    QTest::newRow("delete all") << "delete all" << "cannot remove template" << 2;
}

void TestTemplateLibrary::readOnlyFolder()
{
    QFETCH(QString, operation);
    QFETCH(QString, log);
    QFETCH(int, logCount);
    LibraryRig rig(operation == "add free" ? 4 : 3);
    for (int n = 0; n < 3; ++n)
        rig.store(n, 10 + n, n);
    if (operation == "add stray")
        rig.strayFile("template9.bmp", -5);
    rig.slot.tempShown = 2;
    const LibraryMemory before(rig.slot);
    const auto filesBefore = folderFiles(kFolder);
    TemplateOutcome outcome;
    {
        ReadOnlyFolder readOnly(kFolder);
        if (!readOnly.ok())
            QSKIP("cannot drop CAP_DAC_OVERRIDE, so a read-only folder stays writable");
        for (int k = 0; k < logCount; ++k)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(log));
        TemplateLibrary library = rig.library();
        if (operation == "delete")
            outcome = library.deleteShown(kD);
        else if (operation == "delete all")
            outcome = DeleteAllTemplates({&rig.slot}, 2, rig.reports);
        else
            outcome = library.add(kD, picture(rig.slot.colorLen, 77));
    }

    QCOMPARE(outcome.warning, 0);
    QVERIFY(!outcome.changed);
    QVERIFY(LibraryMemory(rig.slot) == before);
    QVERIFY(folderFiles(kFolder) == filesBefore);
    QVERIFY2(rig.quiet(), "nothing sent, recorded or retrained");
}

void TestTemplateLibrary::deleteAll_data()
{
    QTest::addColumn<bool>("withBase");

    QTest::newRow("template0.bmp kept") << true;
    QTest::newRow("template0.bmp missing") << false;
}

void TestTemplateLibrary::deleteAll()
{
    QFETCH(bool, withBase);
    LibraryRig rig(4);
    CameraSlotState other;
    other.AllocateSlotBuffers(kW, kH, false, 4);
    other.camIndex = 0;
    for (int d : {0, 1}) {
        for (int n = 0; n < 4; ++n)
            rig.store(n, 10 + n, 10 - n, d, n == 0 && !withBase);
        rig.strayFile("template7.bmp", 0, QStringLiteral("cammer2%1").arg(d + 1));
        rig.strayFile("template_old.bmp", 0, QStringLiteral("cammer2%1").arg(d + 1));
        rig.strayFile("ignorepoint.bmp", 0, QStringLiteral("cammer2%1").arg(d + 1));
    }
    // Camera 1 holds only its base template in detection 0.
    std::copy_n(picture(other.colorLen, 5).begin(), other.colorLen, other.TemplateBuffer(0, 0));
    other.templateValid[0][0] = 1;
    other.templateCount[0] = 1;
    QVERIFY(WriteTemplateFile(other, 0, 0, 0, other.templates[0][0].data()));
    rig.slot.tempShown = 3;

    const TemplateOutcome outcome = DeleteAllTemplates({&rig.slot, &other}, 2, rig.reports);

    QVERIFY(outcome.changed);
    QCOMPARE(outcome.warning, TemplateOutcome::kNoWarning);
    QStringList kept{"ignorepoint.bmp"};
    if (withBase)
        kept << "template0.bmp";
    QStringList calls;
    for (int d : {0, 1}) {
        QCOMPARE(folderNames(QStringLiteral("cammer2%1").arg(d + 1)), kept);
        QCOMPARE(rig.slot.templateCount[d], 1);
        QCOMPARE(validList(rig.slot, d), std::vector<int>{0});
        QVERIFY(rig.slot.templates[d][0] == picture(rig.slot.colorLen, 10));
        for (const char* name : {"template1.bmp", "template2.bmp", "template3.bmp", "template7.bmp",
                                 "template_old.bmp"})
            calls << QStringLiteral("deltemppic 2 %1 %2").arg(d + 1).arg(name);
    }
    QCOMPARE(folderNames(QStringLiteral("cammer11")), QStringList{"template0.bmp"});
    QCOMPARE(other.templateCount[0], 1);
    QCOMPARE(rig.slot.tempShown, 0);
    QCOMPARE(rig.relay.calls(), calls);
    QCOMPARE(rig.records, QStringList{"Delete all templates"});
    QCOMPARE(rig.retrains, QList<int>{kCam});
}

QTEST_MAIN(TestTemplateLibrary)
#include "tst_templatelibrary.moc"
