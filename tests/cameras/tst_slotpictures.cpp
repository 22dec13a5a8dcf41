// Template library and ignore-point masks of a camera slot: which files load,
// the synthesized base template, exact rows at widths with padded file rows,
// and the ignore-mask write (folder, atomic replace, failure, relay offer).
#include "globals.h"
#include "readonlyfolder.h"
#include "relaylink.h"
#include "slotcases.h"
#include "slotpictures.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QtTest>

namespace {

enum FileKind { NoFile, Grey8, Rgb24, Rgb32, Grey8WrongSize, NotAPicture };

uchar pattern(int x, int y, int channel = 0)
{
    return static_cast<uchar>(x * 7 + y * 13 + channel * 29 + 1);
}

// Writes a BMP of 32 bits per pixel (BI_RGB, rows bottom-up), which Qt's
// writer never makes: it stores 32-bit images with 24 bits.
void writeBmp32(const QString& path, const QImage& rgb32)
{
    const int w = rgb32.width();
    const int h = rgb32.height();
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 pixelBytes = quint32(4 * w * h);
    out.writeRawData("BM", 2);
    out << quint32(54 + pixelBytes) << quint32(0) << quint32(54);
    out << quint32(40) << qint32(w) << qint32(h) << quint16(1) << quint16(32) << quint32(0) << pixelBytes
        << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y)
        out.writeRawData(reinterpret_cast<const char*>(rgb32.constScanLine(y)), 4 * w);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Writes a picture of the kind at path and returns the bytes a slot of
// w x h must hold after loading it (rows packed).
QByteArray writePicture(const QString& path, FileKind kind, int w, int h)
{
    QDir().mkpath(QFileInfo(path).path());
    QByteArray expected;
    switch (kind) {
    case NoFile:
        break;
    case NotAPicture: {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("BM not a picture");
        break;
    }
    case Grey8:
    case Grey8WrongSize: {
        const int fileH = kind == Grey8 ? h : h + 1;
        QImage picture(w, fileH, QImage::Format_Indexed8);
        picture.setColorTable(QVector<QRgb>(256));   // indices are the data, whatever the palette
        for (int y = 0; y < fileH; ++y)
            for (int x = 0; x < w; ++x) {
                picture.scanLine(y)[x] = pattern(x, y);
                expected.append(char(pattern(x, y)));
            }
        picture.save(path, "bmp");
        break;
    }
    case Rgb24:
    case Rgb32: {
        QImage picture(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb value = qRgb(pattern(x, y, 2), pattern(x, y, 1), pattern(x, y, 0));
                reinterpret_cast<QRgb*>(picture.scanLine(y))[x] = value;
                expected.append(reinterpret_cast<const char*>(&value), 4);
            }
        if (kind == Rgb24)
            picture.save(path, "bmp");   // Qt stores 32-bit images with 24 bits
        else
            writeBmp32(path, picture);
        break;
    }
    }
    return expected;
}

QByteArray bytesOf(const std::vector<uchar>& buffer)
{
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), int(buffer.size()));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(FileKind)

class TestSlotPictures : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void synthesizedBaseTemplate_data();
    void synthesizedBaseTemplate();
    void templateFiles_data();
    void templateFiles();
    void ignoreRoundTripMakesFolder();
    void ignoreUnusableFile_data();
    void ignoreUnusableFile();
    void ignoreWriteFailureKeepsOldFile();
    void ignoreSending_data();
    void ignoreSending();
    void ignoreSaveRewritesOnlyItsDetection();

private:
    void allocate(int w, int h, bool color, int slotCount = 4);
    void fillMask(int d, int seed);

    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<CameraSlotState> slot_;
    RecordingRelayLink relay_;
    RelayLink* oldNet_ = nullptr;
    int oldDNum_ = 0;
};

void TestSlotPictures::init()
{
    env_ = std::make_unique<TestEnv>();
    slot_ = std::make_unique<CameraSlotState>();
    relay_.clear();
    relay_.open = true;
    relay_.alive = true;
    oldNet_ = gpNet;
    gpNet = &relay_;
    oldDNum_ = gDNum;
    gDNum = 1;   // files of the detections beyond the count load all the same
}

void TestSlotPictures::cleanup()
{
    gDNum = oldDNum_;
    gpNet = oldNet_;
    slot_.reset();
    env_.reset();
}

void TestSlotPictures::allocate(int w, int h, bool color, int slotCount)
{
    slot_->AllocateSlotBuffers(w, h, color, slotCount);
}

void TestSlotPictures::fillMask(int d, int seed)
{
    auto& mask = slot_->ignoreMask[d];
    for (int i = 0; i < int(mask.size()); ++i)
        mask[size_t(i)] = ((i + seed) % 3 == 0) ? 255 : 0;
}

void TestSlotPictures::synthesizedBaseTemplate_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("color");
    QTest::newRow("grey 1280x1024") << 1280 << 1024 << false;
    QTest::newRow("colour 30x10, first plane only") << 30 << 10 << true;
}

void TestSlotPictures::synthesizedBaseTemplate()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, color);
    allocate(w, h, color, 10);
    LoadTemplateLibrary(*slot_, 2);

    QByteArray expected(slot_->colorLen, 0);
    for (int y = h / 4; y <= 3 * (h / 4); ++y)
        for (int x = w / 4; x <= 3 * (w / 4); ++x)
            expected[y * w + x] = char(255);
    if (w == 1280) {   // the worked example: x 320..960, y 256..768 inclusive
        QCOMPARE(uchar(expected[256 * w + 320]), uchar(255));
        QCOMPARE(uchar(expected[768 * w + 960]), uchar(255));
        QCOMPARE(uchar(expected[768 * w + 961]), uchar(0));
        QCOMPARE(uchar(expected[769 * w + 960]), uchar(0));
        QCOMPARE(uchar(expected[255 * w + 320]), uchar(0));
        QCOMPARE(uchar(expected[256 * w + 319]), uchar(0));
    }
    for (int d = 0; d < kDetections; ++d) {
        QCOMPARE(slot_->templateCount[d], 1);
        QCOMPARE(slot_->templateValid[d][0], 1);
        QVERIFY(bytesOf(slot_->templates[d][0]) == expected);
        for (int t = 1; t < 10; ++t) {
            QCOMPARE(slot_->templateValid[d][size_t(t)], 0);
            QVERIFY2(slot_->templates[d][size_t(t)].empty(), "an empty slot takes no memory");
        }
    }
}

void TestSlotPictures::templateFiles_data()
{
    QTest::addColumn<bool>("color");
    QTest::addColumn<int>("w");
    QTest::addColumn<FileKind>("kind");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("logged");
    QTest::newRow("8-bit on grey") << false << 32 << Grey8 << true << false;
    QTest::newRow("8-bit on grey, width 30") << false << 30 << Grey8 << true << false;
    QTest::newRow("24-bit on grey") << false << 32 << Rgb24 << false << true;
    QTest::newRow("wrong size on grey") << false << 32 << Grey8WrongSize << false << true;
    QTest::newRow("not a picture") << false << 32 << NotAPicture << false << true;
    QTest::newRow("32-bit on colour") << true << 32 << Rgb32 << true << false;
    QTest::newRow("32-bit on colour, width 30") << true << 30 << Rgb32 << true << false;
    QTest::newRow("8-bit on colour") << true << 32 << Grey8 << false << true;
}

void TestSlotPictures::templateFiles()
{
    QFETCH(bool, color);
    QFETCH(int, w);
    QFETCH(FileKind, kind);
    QFETCH(bool, valid);
    QFETCH(bool, logged);
    const int h = 9;
    allocate(w, h, color, 4);
    // Detection 7 (beyond gDNum 1): a stored base template and the file under
    // test in slot 2.  Detection 3: the file under test as its base.
    const QByteArray base = writePicture(TemplateFile(1, 6, 0), color ? Rgb32 : Grey8, w, h);
    const QByteArray expected = writePicture(TemplateFile(1, 6, 2), kind, w, h);
    writePicture(TemplateFile(1, 2, 0), kind, w, h);
    if (logged) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cammer27/template2.bmp"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cammer23/template0.bmp"));
    }

    LoadTemplateLibrary(*slot_, 1);

    QCOMPARE(slot_->templateValid[6][0], 1);
    QVERIFY(bytesOf(slot_->templates[6][0]) == base);
    QCOMPARE(slot_->templateValid[6][2], int(valid));
    if (valid)
        QVERIFY2(bytesOf(slot_->templates[6][2]) == expected, "rows copied exactly");
    else
        QVERIFY2(slot_->templates[6][2].empty(), "an invalid slot is no picture (reads as zero)");
    QCOMPARE(slot_->templateCount[6], valid ? 2 : 1);

    // Detection 3's base: the file when valid, else the synthesized half.
    QCOMPARE(slot_->templateValid[2][0], 1);
    QCOMPARE(slot_->templateCount[2], 1);
    if (valid)
        QVERIFY(bytesOf(slot_->templates[2][0]) == expected);
    else
        QCOMPARE(slot_->templates[2][0][size_t((h / 2) * w + w / 2)], uchar(255));

    for (int d = 0; d < kDetections; ++d) {
        int validSlots = 0;
        for (int flag : slot_->templateValid[d])
            validSlots += flag;
        QCOMPARE(slot_->templateCount[d], validSlots);
    }
}

void TestSlotPictures::ignoreRoundTripMakesFolder()
{
    allocate(30, 7, false);
    fillMask(4, 1);
    const std::vector<uchar> saved = slot_->ignoreMask[4];
    QVERIFY(!QFileInfo::exists("cammer35"));

    QVERIFY(SaveIgnorePoint(*slot_, 2, 4, false));
    QVERIFY(QFileInfo::exists("cammer35/ignorepoint.bmp"));
    const QImage file("cammer35/ignorepoint.bmp");
    QCOMPARE(file.format(), QImage::Format_Indexed8);
    QCOMPARE(file.size(), QSize(30, 7));
    QCOMPARE(file.color(255), qRgb(255, 255, 255));

    std::fill(slot_->ignoreMask[4].begin(), slot_->ignoreMask[4].end(), uchar(7));
    LoadIgnorePoint(*slot_, 2);
    QVERIFY2(slot_->ignoreMask[4] == saved, "width 30 round-trips exactly");
    for (int d = 0; d < kDetections; ++d) {
        QCOMPARE(slot_->ignoreMask[d].size(), size_t(30 * 7));
        if (d != 4)
            QCOMPARE(std::count(slot_->ignoreMask[d].begin(), slot_->ignoreMask[d].end(), 0), 30L * 7);
    }
}

void TestSlotPictures::ignoreUnusableFile_data()
{
    QTest::addColumn<FileKind>("kind");
    QTest::newRow("wrong size") << Grey8WrongSize;
    QTest::newRow("24-bit") << Rgb24;
    QTest::newRow("32-bit") << Rgb32;
    QTest::newRow("not a picture") << NotAPicture;
}

void TestSlotPictures::ignoreUnusableFile()
{
    QFETCH(FileKind, kind);
    allocate(30, 7, false);
    writePicture(IgnorePointFile(0, 5), kind, 30, 7);
    fillMask(5, 0);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cammer16/ignorepoint.bmp"));

    LoadIgnorePoint(*slot_, 0);

    QCOMPARE(slot_->ignoreMask[5].size(), size_t(30 * 7));
    QCOMPARE(std::count(slot_->ignoreMask[5].begin(), slot_->ignoreMask[5].end(), 0), 30L * 7);
}

void TestSlotPictures::ignoreWriteFailureKeepsOldFile()
{
    allocate(30, 7, false);
    fillMask(1, 0);
    QVERIFY(SaveIgnorePoint(*slot_, 0, 1, true));
    const QByteArray old = fileBytes("cammer12/ignorepoint.bmp");
    QVERIFY(!old.isEmpty());
    relay_.clear();

    bool saved = true;
    {
        ReadOnlyFolder readOnly(QStringLiteral("cammer12"));
        if (!readOnly.ok())
            QSKIP("cannot drop CAP_DAC_OVERRIDE, so a read-only folder stays writable");
        fillMask(1, 1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write ./cammer12/ignorepoint.bmp.*old file kept"));
        saved = SaveIgnorePoint(*slot_, 0, 1, true);
    }

    QVERIFY(!saved);
    QVERIFY(fileBytes("cammer12/ignorepoint.bmp") == old);
    QCOMPARE(QDir("cammer12").entryList(QDir::Files | QDir::Hidden), QStringList{"ignorepoint.bmp"});
    QVERIFY2(relay_.calls().isEmpty(), "an unwritten file is not offered to the relay");
}

void TestSlotPictures::ignoreSending_data()
{
    addRelayOfferRows();
}

void TestSlotPictures::ignoreSending()
{
    QFETCH(bool, netEnabled);
    QFETCH(bool, serverOpen);
    QFETCH(bool, linkAlive);
    relay_.open = serverOpen;
    relay_.alive = linkAlive;
    allocate(30, 7, false);

    QVERIFY(SaveIgnorePoint(*slot_, 7, 0, netEnabled));

    const QStringList expected = netEnabled && serverOpen && linkAlive
        ? QStringList{"temppic " + QDir::current().absoluteFilePath("cammer81/ignorepoint.bmp")}
        : QStringList{};
    QCOMPARE(relay_.calls(), expected);
}

void TestSlotPictures::ignoreSaveRewritesOnlyItsDetection()
{
    allocate(30, 7, false);
    for (int d = 0; d < kDetections; ++d) {
        fillMask(d, d);
        QVERIFY(SaveIgnorePoint(*slot_, 3, d, false));
    }
    QByteArray before[kDetections];
    for (int d = 0; d < kDetections; ++d)
        before[d] = fileBytes(IgnorePointFile(3, d));

    for (int d = 0; d < kDetections; ++d)
        std::fill(slot_->ignoreMask[d].begin(), slot_->ignoreMask[d].end(), uchar(255));
    QVERIFY(SaveIgnorePoint(*slot_, 3, 2, false));

    for (int d = 0; d < kDetections; ++d) {
        if (d == 2)
            QVERIFY(fileBytes(IgnorePointFile(3, d)) != before[d]);
        else
            QVERIFY2(fileBytes(IgnorePointFile(3, d)) == before[d], qPrintable(QString("detection %1").arg(d + 1)));
    }
    LoadIgnorePoint(*slot_, 3);
    QCOMPARE(std::count(slot_->ignoreMask[2].begin(), slot_->ignoreMask[2].end(), 255), 30L * 7);
    QVERIFY(std::count(slot_->ignoreMask[1].begin(), slot_->ignoreMask[1].end(), 255) < 30L * 7);
}

QTEST_GUILESS_MAIN(TestSlotPictures)
#include "tst_slotpictures.moc"
