// The simulated bus's "files" source taking in a replaced file while it
// streams, as the demo's machine model swaps the scenes the cameras see.
#include "simcamerabus.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtTest>

#include <atomic>
#include <mutex>

namespace {

// A w x h grey picture of one value, written beside `path` and renamed over
// it (or written in place).
bool writeGrey(const QString& path, int grey, bool atomically = true, int w = 64, int h = 48)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    img.fill(grey);
    if (!atomically)
        return img.save(path, "PNG");
    const QString beside = path + QStringLiteral(".new.png");
    return img.save(beside, "PNG") && ::rename(QFile::encodeName(beside).constData(),
                                               QFile::encodeName(path).constData()) == 0;
}

// The first byte of the newest frame delivered.
struct LastFrame {
    std::mutex m;
    int value = -1;
    int frames = 0;
    camsim::Device::Sink sink()
    {
        return [this](const camsim::Frame& f) {
            std::lock_guard<std::mutex> lk(m);
            value = f.data.empty() ? -1 : f.data[f.data.size() / 2];
            ++frames;
        };
    }
    int get()
    {
        std::lock_guard<std::mutex> lk(m);
        return value;
    }
    int count()
    {
        std::lock_guard<std::mutex> lk(m);
        return frames;
    }
};

camsim::DeviceConfig filesDevice(const QStringList& files, bool reread)
{
    camsim::DeviceConfig c;
    c.family = camsim::Family::MindVision;
    c.serial = QStringLiteral("MVREREAD01");
    c.width = 64;
    c.height = 48;
    c.fps = 50;
    c.source = QStringLiteral("files");
    c.files = files;
    c.reread = reread;
    return c;
}

} // namespace

class TestSimBusReread : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { camsim::bus().clear(); }
    void jsonKey_data();
    void jsonKey();
    void replacedFileReachesNextFrames_data();
    void replacedFileReachesNextFrames();
    void unreadableReplacementKeepsPicture();
    void withoutRereadPictureStays();
};

void TestSimBusReread::jsonKey_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("reread");
    QTest::newRow("absent") << QByteArray(R"({"kind":"files","files":["a.png"]})") << true << false;
    QTest::newRow("true") << QByteArray(R"({"kind":"files","files":["a.png"],"reread":true})") << true << true;
    QTest::newRow("false") << QByteArray(R"({"kind":"files","files":["a.png"],"reread":false})") << true << false;
    QTest::newRow("text") << QByteArray(R"({"kind":"files","files":["a.png"],"reread":"yes"})") << false << false;
    QTest::newRow("number 2") << QByteArray(R"({"kind":"files","files":["a.png"],"reread":2})") << false << false;
}

void TestSimBusReread::jsonKey()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, ok);
    QFETCH(bool, reread);
    QString error;
    const QByteArray json = R"({"devices":[{"family":"mindvision","serial":"MVREREAD01","source":)" + source + "}]}";
    QCOMPARE(camsim::bus().loadJson(json, &error), ok);
    if (!ok) {
        QVERIFY2(error.contains("\"reread\""), qPrintable(error));
        return;
    }
    QCOMPARE(camsim::bus().all().front()->config().reread, reread);
}

void TestSimBusReread::replacedFileReachesNextFrames_data()
{
    QTest::addColumn<bool>("atomically");
    QTest::newRow("written beside, renamed over") << true;
    QTest::newRow("rewritten in place") << false;
}

void TestSimBusReread::replacedFileReachesNextFrames()
{
    QFETCH(bool, atomically);
    TestEnv env;
    const QString scene = QDir::current().absoluteFilePath(QStringLiteral("scene.png"));
    QVERIFY(writeGrey(scene, 40));
    camsim::Device d(filesDevice({scene}, true));
    LastFrame last;
    d.startStream(last.sink());
    QTRY_COMPARE_WITH_TIMEOUT(last.get(), 40, 10000);

    // A picture of another size is scaled to the window like the first one.
    QVERIFY(atomically ? writeGrey(scene, 200, true, 128, 96) : writeGrey(scene, 200, false));
    QTRY_COMPARE_WITH_TIMEOUT(last.get(), 200, 10000);
    QCOMPARE(d.filesReread(), uint64_t(1));

    // Once taken in, the same file is not decoded again on every check.
    const int before = last.count();
    QTRY_VERIFY_WITH_TIMEOUT(last.count() >= before + 15, 10000);
    QCOMPARE(d.filesReread(), uint64_t(1));
    QCOMPARE(last.get(), 200);

    QVERIFY(writeGrey(scene, 90));
    QTRY_COMPARE_WITH_TIMEOUT(last.get(), 90, 10000);
    QCOMPARE(d.filesReread(), uint64_t(2));
    d.stopStream();
}

void TestSimBusReread::unreadableReplacementKeepsPicture()
{
    TestEnv env;
    const QString scene = QDir::current().absoluteFilePath(QStringLiteral("scene.png"));
    QVERIFY(writeGrey(scene, 70));
    camsim::Device d(filesDevice({scene}, true));
    LastFrame last;
    d.startStream(last.sink());
    QTRY_COMPARE_WITH_TIMEOUT(last.get(), 70, 10000);

    // A damaged file, then none at all: the last good picture goes on.
    {
        QFile f(scene + QStringLiteral(".new"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG garbage, not a picture");
    }
    QVERIFY(QFile::remove(scene));
    QVERIFY(QFile::rename(scene + QStringLiteral(".new"), scene));
    const int after = last.count();
    QTRY_VERIFY_WITH_TIMEOUT(last.count() >= after + 20, 10000);   // several checks have run
    QCOMPARE(last.get(), 70);
    QVERIFY(QFile::remove(scene));
    const int gone = last.count();
    QTRY_VERIFY_WITH_TIMEOUT(last.count() >= gone + 20, 10000);
    QCOMPARE(last.get(), 70);
    QCOMPARE(d.filesReread(), uint64_t(0));

    // A good picture in its place is taken in again.
    QVERIFY(writeGrey(scene, 150));
    QTRY_COMPARE_WITH_TIMEOUT(last.get(), 150, 10000);
    d.stopStream();
}

void TestSimBusReread::withoutRereadPictureStays()
{
    TestEnv env;
    const QString scene = QDir::current().absoluteFilePath(QStringLiteral("scene.png"));
    QVERIFY(writeGrey(scene, 30));
    camsim::Device d(filesDevice({scene}, false));
    LastFrame last;
    d.startStream(last.sink());
    QTRY_COMPARE_WITH_TIMEOUT(last.get(), 30, 10000);
    QVERIFY(writeGrey(scene, 220));
    const int after = last.count();
    QTRY_VERIFY_WITH_TIMEOUT(last.count() >= after + 20, 10000);
    QCOMPARE(last.get(), 30);
    QCOMPARE(d.filesReread(), uint64_t(0));
    d.stopStream();
}

QTEST_MAIN(TestSimBusReread)
#include "tst_simbus_reread.moc"
