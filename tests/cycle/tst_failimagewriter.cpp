// The result-picture writer, pass by pass through processOnce() with a fake
// sleep and a fake clock on the folders of a temporary program directory.
#include "failimagestore.h"
#include "globals.h"
#include "readonlyfolder.h"
#include "relaylink.h"
#include "savefialimagethread.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMutex>
#include <QRegularExpression>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

QImage Picture(QRgb colour, int w = 64, int h = 48)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// What the verdict does: the picture into its slot, then its flag.
void Queue(int camera, int d, int slot, const QImage& picture)
{
    StoreFailImage(camera, d, slot, picture);
    QMutexLocker lock(pMutexSaveFail);
    gisSaveFail[camera][d][slot] = true;
}

bool Pending(int camera, int d, int slot)
{
    QMutexLocker lock(pMutexSaveFail);
    return gisSaveFail[camera][d][slot];
}

// Records the thread every announcement arrives on.
class ThreadRecordingRelay : public RecordingRelayLink {
public:
    void CNT_SendAlarmPic(const QString& path) override
    {
        note();
        RecordingRelayLink::CNT_SendAlarmPic(path);
    }
    void CNT_SendStatistics(const QString& image) override
    {
        note();
        RecordingRelayLink::CNT_SendStatistics(image);
    }
    QList<QThread*> threads() const
    {
        QMutexLocker lock(&m_);
        return threads_;
    }

private:
    void note()
    {
        QMutexLocker lock(&m_);
        threads_ << QThread::currentThread();
    }
    mutable QMutex m_;
    QList<QThread*> threads_;
};

// The program directory with the folders of camera 1 and 2, detections 1
// and 2, and the writer's ports pointing at recorders.
struct Rig {
    TestEnv env;
    QString dirs[kCameraSlots][kDetections][2];
    qint64 serial = 100000;
    int cameras = 2;
    int detections = 2;
    int keepNg = 5;
    int keepOk = 5;
    bool relayOn = false;
    QThread* relayOnAskedOn = nullptr;
    QMutex m;
    QList<int> sleeps;
    QStringList usb;   // "folder|base WxH"
    ThreadRecordingRelay relay;
    QObject gui;       // lives on the test's (GUI) thread

    Rig()
    {
        ClearFailImages();
        for (int c = 0; c < kCameraSlots; ++c)
            for (int d = 0; d < kDetections; ++d) {
                dirs[c][d][0] = QStringLiteral("./alarmimage//camera%1//detect%2//NG").arg(c + 1).arg(d + 1);
                dirs[c][d][1] = QStringLiteral("./alarmimage//camera%1//detect%2//OK").arg(c + 1).arg(d + 1);
                if (c < 2 && d < 2) {
                    QDir().mkpath(dirs[c][d][0]);
                    QDir().mkpath(dirs[c][d][1]);
                }
            }
    }
    ~Rig() { ClearFailImages(); }

    SaveFialImageThread::Ports ports()
    {
        SaveFialImageThread::Ports p;
        p.dirs = dirs;
        p.serial = &serial;
        p.cameras = [this] { return cameras; };
        p.detections = [this] { return detections; };
        p.keepNg = [this] { return keepNg; };
        p.keepOk = [this] { return keepOk; };
        p.relay = &relay;
        p.context = &gui;
        p.relayOn = [this] {
            relayOnAskedOn = QThread::currentThread();
            return relayOn;
        };
        p.usbCopy = [this](const QString& folder, const QString& base, const QImage& pic) {
            QMutexLocker lock(&m);
            usb << QStringLiteral("%1|%2 %3x%4").arg(folder, base).arg(pic.width()).arg(pic.height());
        };
        p.sleep = [this](int ms) {
            QMutexLocker lock(&m);
            sleeps << ms;
        };
        p.clock = env.clock.get();
        return p;
    }

    // The folder (relative, "alarmimage/cameraC/detectD/NG|OK") as the
    // writer hands it on.
    QString abs(const QString& relative) const { return QDir::cleanPath(env.path(relative)); }
    QStringList jpgs(const QString& relative) const
    {
        return QDir(env.path(relative)).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    }
    QStringList all(const QString& relative) const
    {
        return QDir(env.path(relative)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void put(const QString& relative, const QStringList& names)
    {
        for (const QString& n : names)
            env.writeFile(relative + QLatin1Char('/') + n, "old");
    }
};

const QString kNg11 = QStringLiteral("alarmimage/camera1/detect1/NG");
const QString kOk11 = QStringLiteral("alarmimage/camera1/detect1/OK");
// The fake clock's time, as the names carry it.
const QString kStamp = QStringLiteral("2026-01-01_08.00.00.000");

QRgb CentreOf(const QString& file)
{
    QImageReader r(file);
    const QImage img = r.read();
    return img.isNull() ? 0 : img.pixel(img.width() / 2, img.height() / 2);
}

bool Reddish(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool Greenish(QRgb c) { return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60; }

}

class TestFailImageWriter : public QObject {
    Q_OBJECT
private slots:
    void pruneVictims_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("keep");
        QTest::addColumn<QStringList>("victims");
        const QStringList five{"100_a_b.jpg", "101_a_b.jpg", "102_a_b.jpg", "103_a_b.jpg", "104_a_b.jpg"};
        QTest::newRow("keep 3 of five") << five << 3 << QStringList{"102_a_b.jpg", "101_a_b.jpg", "100_a_b.jpg"};
        QTest::newRow("keep 1 empties")
                << five << 1 << QStringList{"104_a_b.jpg", "103_a_b.jpg", "102_a_b.jpg", "101_a_b.jpg", "100_a_b.jpg"};
        QTest::newRow("keep 6 of five") << five << 6 << QStringList{};
        QTest::newRow("keep 5 of five: room for one") << five << 5 << QStringList{"100_a_b.jpg"};
        QTest::newRow("keep 0 deletes nothing") << five << 0 << QStringList{};
        QTest::newRow("names without a number go first")
                << QStringList{"9_a_b.jpg", "abc.jpg", "old_x.jpg", "1000_a_b.jpg", "12.jpg"} << 3
                << QStringList{"old_x.jpg", "abc.jpg", "12.jpg"};
        QTest::newRow("numbers beyond 32 bits order as numbers")
                << QStringList{"10000000000_a_b.jpg", "9999999999_a_b.jpg", "99999_a_b.jpg"} << 2
                << QStringList{"9999999999_a_b.jpg", "99999_a_b.jpg"};
    }
    void pruneVictims()
    {
        QFETCH(QStringList, names);
        QFETCH(int, keep);
        QFETCH(QStringList, victims);
        QCOMPARE(PruneVictims(names, keep), victims);
    }

    void relayRelativePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("relative");
        QTest::newRow("below") << "/opt/mm/alarmimage/camera1/detect1/NG/5_x.jpg" << "/opt/mm"
                               << "./alarmimage/camera1/detect1/NG/5_x.jpg";
        QTest::newRow("trailing slash") << "/opt/mm/alarmimage/a.jpg" << "/opt/mm/" << "./alarmimage/a.jpg";
        QTest::newRow("root") << "/alarmimage/a.jpg" << "/" << "./alarmimage/a.jpg";
        QTest::newRow("a sibling with the same start") << "/opt/mm2/alarmimage/a.jpg" << "/opt/mm"
                                                       << "/opt/mm2/alarmimage/a.jpg";
        QTest::newRow("elsewhere") << "/var/a.jpg" << "/opt/mm" << "/var/a.jpg";
    }
    void relayRelativePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, current);
        QFETCH(QString, relative);
        QCOMPARE(RelayRelativePath(path, current), relative);
    }

    // On disk: the folder after one more picture holds keep, the newest.
    void pruneOnDisk_data()
    {
        QTest::addColumn<int>("keep");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");   // besides the new picture
        const QStringList five{"500_2025-01-01_00.00.00.000.jpg", "501_2025-01-01_00.00.01.000.jpg",
                               "502_2025-01-01_00.00.02.000.jpg", "503_2025-01-01_00.00.03.000.jpg",
                               "504_2025-01-01_00.00.04.000.jpg"};
        QTest::newRow("keep 3 of n..n+4") << 3 << five << five.mid(3);
        QTest::newRow("keep 1") << 1 << five << QStringList{};
        QTest::newRow("numberless first") << 3 << QStringList{"2024-01-01_00.00.00.000.jpg", five[0], five[1]}
                                          << QStringList{five[0], five[1]};
        QTest::newRow("under the limit") << 5 << five.mid(0, 3) << five.mid(0, 3);
    }
    void pruneOnDisk()
    {
        QFETCH(int, keep);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        Rig rig;
        rig.keepNg = keep;
        rig.put(kNg11, before);
        rig.env.writeFile(kNg11 + "/readme.txt", "kept");
        SaveFialImageThread w(rig.ports());
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        QCOMPARE(w.processOnce(), 1);
        QStringList expected = after;
        expected << QStringLiteral("100000_%1.jpg").arg(kStamp);
        expected.sort();
        QCOMPARE(rig.jpgs(kNg11), expected);
        QVERIFY(QFile::exists(rig.env.path(kNg11 + "/readme.txt")));
    }

    void ngAndOkPendingTogetherGoToNg()
    {
        Rig rig;
        rig.put(kOk11, {"7_2025-01-01_00.00.00.000.jpg"});
        SaveFialImageThread w(rig.ports());
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        Queue(0, 0, 1, Picture(qRgb(0, 255, 0)));
        QCOMPARE(w.processOnce(), 2);
        const QString ngFile = QStringLiteral("100000_%1.jpg").arg(kStamp);
        const QString okFile = QStringLiteral("100001_%1.jpg").arg(kStamp);
        QCOMPARE(rig.jpgs(kNg11), QStringList({ngFile, okFile}));
        QVERIFY(Reddish(CentreOf(rig.env.path(kNg11 + "/" + ngFile))));
        QVERIFY(Greenish(CentreOf(rig.env.path(kNg11 + "/" + okFile))));
        QCOMPARE(rig.jpgs(kOk11), QStringList({"7_2025-01-01_00.00.00.000.jpg"}));
        QCOMPARE(rig.sleeps, QList<int>({1000, 200}));
        QCOMPARE(rig.serial, qint64(100002));
        QVERIFY(!Pending(0, 0, 0) && !Pending(0, 0, 1));
        // Each flag is taken once: a second pass finds nothing.
        QCOMPARE(w.processOnce(), 0);
        QCOMPARE(w.written(), 2);
    }

    void okAloneGoesToOkAndKeepsOkCount()
    {
        Rig rig;
        rig.keepOk = 2;
        rig.keepNg = 0;   // the NG count does not apply
        rig.put(kOk11, {"5_2025-01-01_00.00.00.000.jpg", "6_2025-01-01_00.00.01.000.jpg",
                        "7_2025-01-01_00.00.02.000.jpg"});
        SaveFialImageThread w(rig.ports());
        Queue(1, 1, 1, Picture(qRgb(0, 255, 0)));   // camera 2, detection 2
        Queue(0, 0, 1, Picture(qRgb(0, 255, 0)));
        QCOMPARE(w.processOnce(), 2);
        QCOMPARE(rig.jpgs(kOk11),
                 QStringList({"100000_" + kStamp + ".jpg", "7_2025-01-01_00.00.02.000.jpg"}));
        QCOMPARE(rig.jpgs("alarmimage/camera2/detect2/OK"), QStringList({"100001_" + kStamp + ".jpg"}));
        QVERIFY(rig.jpgs(kNg11).isEmpty());
        QCOMPARE(rig.sleeps, QList<int>({200, 200}));
    }

    void camerasAndDetectionsBeyondTheCountWait()
    {
        Rig rig;
        rig.cameras = 1;
        rig.detections = 1;
        SaveFialImageThread w(rig.ports());
        Queue(1, 0, 0, Picture(qRgb(255, 0, 0)));
        Queue(0, 1, 0, Picture(qRgb(255, 0, 0)));
        QCOMPARE(w.processOnce(), 0);
        QVERIFY(Pending(1, 0, 0) && Pending(0, 1, 0));
        rig.cameras = 2;
        rig.detections = 2;
        QCOMPARE(w.processOnce(), 2);
    }

    void relayOffStillOffersTheUsbCopy()
    {
        Rig rig;
        SaveFialImageThread w(rig.ports());
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0), 80, 60));
        QCOMPARE(w.processOnce(), 1);
        QCOMPARE(rig.usb, QStringList({rig.abs(kNg11) + "|100000_" + kStamp + " 80x60"}));
        QVERIFY(!rig.usb.first().contains("//"));
        QCoreApplication::processEvents();
        QCOMPARE(rig.relay.calls(), QStringList());
        QCOMPARE(rig.relayOnAskedOn, QThread::currentThread());
    }

    // The writer runs on a thread of its own; the link belongs to the GUI thread.
    void relayOnAnnouncesOnTheGuiThreadInOrder()
    {
        Rig rig;
        rig.relayOn = true;
        SaveFialImageThread w(rig.ports());
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        Queue(0, 0, 1, Picture(qRgb(0, 255, 0)));
        std::unique_ptr<QThread> t(QThread::create([&w] { w.processOnce(); }));
        t->start();
        QVERIFY(t->wait(20000));
        const QString abs0 = rig.abs(kNg11) + "/100000_" + kStamp + ".jpg";
        const QString abs1 = rig.abs(kNg11) + "/100001_" + kStamp + ".jpg";
        const QString rel0 = "./" + kNg11 + "/100000_" + kStamp + ".jpg";
        const QString rel1 = "./" + kNg11 + "/100001_" + kStamp + ".jpg";
        QTRY_COMPARE_WITH_TIMEOUT(rig.relay.calls().size(), 4, 20000);
        QCOMPARE(rig.relay.calls(), QStringList({"alarmpic " + abs0, "statistics " + rel0, "alarmpic " + abs1,
                                                 "statistics " + rel1}));
        for (QThread* th : rig.relay.threads())
            QCOMPARE(th, QCoreApplication::instance()->thread());
        QCOMPARE(rig.relayOnAskedOn, QCoreApplication::instance()->thread());
    }

    void writeFailure_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("read-only folder") << "readonly";
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("a file in the folder's place") << "file";
        // Encoded and written beside, then the rename into place fails.
        QTest::newRow("the picture's name taken by a folder") << "taken";
    }
    // Logged; neither copied nor announced; no file, whole or partial; the
    // number is used up.
    void writeFailure()
    {
        QFETCH(QString, how);
        Rig rig;
        rig.relayOn = true;
        const QString ng = rig.env.path(kNg11);
        std::unique_ptr<ReadOnlyFolder> readOnly;
        if (how == "readonly") {
            // processOnce() writes on this thread, whose rights the guard drops.
            readOnly = std::make_unique<ReadOnlyFolder>(ng);
            QVERIFY(readOnly->ok());
        } else if (how == "missing") {
            QVERIFY(QDir(ng).removeRecursively());
        } else if (how == "file") {
            QVERIFY(QDir(ng).removeRecursively());
            rig.env.writeFile(kNg11, "not a folder");
        } else {
            QVERIFY(QDir(ng).mkpath("100000_" + kStamp + ".jpg"));
        }
        SaveFialImageThread w(rig.ports());
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*100000_"));
        QCOMPARE(w.processOnce(), 0);
        QCOMPARE(w.failed(), 1);
        QCOMPARE(w.written(), 0);
        QCOMPARE(rig.serial, qint64(100001));
        QVERIFY(rig.usb.isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(rig.relay.calls().isEmpty());
        readOnly.reset();
        if (how == "readonly" || how == "taken")
            QVERIFY(rig.all(kNg11).isEmpty());
        else
            QVERIFY(!QFileInfo(ng).isDir());
        QVERIFY(rig.all("alarmimage/camera1/detect1").filter("100000").isEmpty());

        // The folder back: the next picture takes the next number.
        if (how == "missing" || how == "file") {
            QFile::remove(ng);
            QVERIFY(QDir().mkpath(ng));
        }
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        QCOMPARE(w.processOnce(), 1);
        QCOMPARE(rig.jpgs(kNg11), QStringList({"100001_" + kStamp + ".jpg"}));
        QCOMPARE(rig.all(kNg11), rig.jpgs(kNg11));   // no temporary file left
    }

    // A count lowered to 0 while a picture waited: taken and dropped, the
    // folder left as it is.
    void keepZeroWritesAndDeletesNothing()
    {
        Rig rig;
        rig.keepNg = 0;
        rig.put(kNg11, {"5_2025-01-01_00.00.00.000.jpg", "6_2025-01-01_00.00.01.000.jpg"});
        SaveFialImageThread w(rig.ports());
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        QCOMPARE(w.processOnce(), 0);
        QCOMPARE(rig.jpgs(kNg11), QStringList({"5_2025-01-01_00.00.00.000.jpg", "6_2025-01-01_00.00.01.000.jpg"}));
        QVERIFY(!Pending(0, 0, 0));
        QCOMPARE(rig.serial, qint64(100000));
        QVERIFY(rig.usb.isEmpty());
        QCOMPARE(w.failed(), 0);
    }

    // The verdict's store never waits for the writer: while the writer holds
    // a taken picture (named, then encoded and written), the slot takes the
    // next one.  The writer is held by latches, not by timing.
    void storeReturnsWhileTheWriterWorks()
    {
        Rig rig;
        QSemaphore atName, goOn, atCopy, goOn2;

        struct HeldClock : Clock {
            QSemaphore* reached;
            QSemaphore* release;
            QDateTime now() const override
            {
                reached->release();
                release->acquire();
                return QDateTime(QDate(2026, 1, 1), QTime(8, 0));
            }
            void sleepMs(int) override {}
            qint64 monotonicMs() const override { return 0; }
        } clock;
        clock.reached = &atName;
        clock.release = &goOn;

        SaveFialImageThread::Ports p = rig.ports();
        p.clock = &clock;
        p.usbCopy = [&](const QString&, const QString&, const QImage&) {
            atCopy.release();
            goOn2.acquire();
        };
        SaveFialImageThread w(p);
        const QImage big = Picture(qRgb(200, 10, 10), 2592, 1944);
        Queue(0, 0, 0, big);
        std::unique_ptr<QThread> t(QThread::create([&w] { w.processOnce(); }));
        t->start();

        // Stores the next picture on a thread of its own; true when the store
        // returned while the writer is still held.
        auto storeWhileHeld = [](QRgb colour) {
            QSemaphore done;
            const QImage next = Picture(colour, 1280, 1024);
            std::thread store([&] {
                Queue(0, 0, 0, next);
                done.release();
            });
            const bool returned = done.tryAcquire(1, 20000);
            store.join();
            return returned;
        };

        QVERIFY(atName.tryAcquire(1, 20000));
        const bool beforeEncode = storeWhileHeld(qRgb(0, 0, 200));
        goOn.release();
        QVERIFY(atCopy.tryAcquire(1, 20000));
        const bool afterEncode = storeWhileHeld(qRgb(0, 255, 0));
        goOn2.release();
        QVERIFY(t->wait(20000));
        QVERIFY(beforeEncode);
        QVERIFY(afterEncode);

        // The writer wrote the picture it took; the later one waits in its slot.
        QCOMPARE(w.written(), 1);
        QImageReader r(rig.env.path(kNg11 + "/100000_" + kStamp + ".jpg"));
        QCOMPARE(r.size(), QSize(2592, 1944));
        QVERIFY(Pending(0, 0, 0));
        QCOMPARE(FailImage(0, 0, 0).size(), QSize(1280, 1024));
        QVERIFY(Greenish(FailImage(0, 0, 0).pixel(10, 10)));
    }

    // run() repeats the passes with the pause between them until stopped.
    void runLoopsUntilInterrupted()
    {
        Rig rig;
        SaveFialImageThread::Ports p = rig.ports();
        p.sleep = [&rig](int ms) {
            {
                QMutexLocker lock(&rig.m);
                rig.sleeps << ms;
            }
            QThread::msleep(1);
        };
        SaveFialImageThread w(p);
        w.start();
        Queue(0, 0, 0, Picture(qRgb(255, 0, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(w.written(), 1, 20000);
        Queue(1, 1, 1, Picture(qRgb(0, 255, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(w.written(), 2, 20000);
        w.requestInterruption();
        QVERIFY(w.wait(20000));
        QMutexLocker lock(&rig.m);
        QVERIFY(rig.sleeps.contains(100));
        QCOMPARE(rig.sleeps.count(200), 2);
        QCOMPARE(rig.jpgs("alarmimage/camera2/detect2/OK"), QStringList({"100001_" + kStamp + ".jpg"}));
    }
};

QTEST_MAIN(TestFailImageWriter)
#include "tst_failimagewriter.moc"
