// The live-video share on real System V objects, inside an IPC namespace
// this test makes itself: each test function re-runs itself under
// `unshare --ipc`, so the objects it makes can never meet the machine's.
// Where namespaces are not permitted the test is skipped with the reason.
// Inside, each function starts from an empty namespace and ends by checking
// that every object it made is gone.
#include "cnt_net.h"
#include "commandrunner.h"
#include "globals.h"
#include "mapplication.h"
#include "paths.h"
#include "relaypeer.h"
#include "sharereader.h"
#include "testenv.h"
#include "virtualscheduler.h"
#include "wizardpara.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QWidget>
#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

namespace {

const char* kChildVar = "MOULDMON_VIDEOSHARE_IPCNS_CHILD";
const char* kChildMarker = "videoshare-ipcns-child-started";
// A program run inside the namespace that makes a share and ends: "exit"
// through Exit(), "return" by returning from main.
const char* kEndVar = "MOULDMON_VIDEOSHARE_END";
const char* kEndKeyVar = "MOULDMON_VIDEOSHARE_KEY";

struct ChildVerdict {
    enum Kind { Pass, Skip, Fail };
    Kind kind = Pass;
    QString reason;
};

// Objects of the current IPC namespace, of every owner.
int segmentsInNamespace()
{
    shm_info info{};
    return ::shmctl(0, SHM_INFO, reinterpret_cast<shmid_ds*>(&info)) < 0 ? -1 : int(info.used_ids);
}

int semaphoresInNamespace()
{
    seminfo info{};
    union {
        int val;
        semid_ds* buf;
        unsigned short* array;
        seminfo* __buf;
    } arg{};
    arg.__buf = &info;
    return ::semctl(0, 0, SEM_INFO, arg) < 0 ? -1 : info.semusz;
}

int semValue(int semid) { return ::semctl(semid, 0, GETVAL); }

bool takeSem(int semid)
{
    sembuf op{0, -1, SEM_UNDO | IPC_NOWAIT};
    return ::semop(semid, &op, 1) == 0;
}

void giveSem(int semid)
{
    sembuf op{0, 1, SEM_UNDO};
    ::semop(semid, &op, 1);
}

// The segment through an attach of its own, as the relay sees it.
QByteArray readSegment(int shmid, int size)
{
    void* at = ::shmat(shmid, nullptr, SHM_RDONLY);
    if (at == reinterpret_cast<void*>(-1))
        return {};
    QByteArray bytes(static_cast<const char*>(at), size);
    ::shmdt(at);
    return bytes;
}

QByteArray i420Of(const cv::Mat& bgra)
{
    cv::Mat out;
    cv::cvtColor(bgra, out, cv::COLOR_BGRA2YUV_I420);
    return QByteArray(reinterpret_cast<const char*>(out.data), int(out.total()));
}

void writeParamDb(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("create table sysparam (name text, value text)"));
        q.exec(QStringLiteral("insert into sysparam values ('CntNet', '1 0 0')"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

// A link on a free port with virtual timers and a parameter record of the
// test's own; relays are client sockets of the test.
struct ShareRig {
    TestEnv env;
    VirtualScheduler sched{env.clock};
    WizardPara para;
    std::unique_ptr<CNT_Net> net;
    std::unique_ptr<QTcpSocket> relay;

    explicit ShareRig(int mode, bool keyFile = true, const QByteArray& whichSend = {},
                      int takeLimitMs = CNT_Semaphore::kTakeLimitMs)
    {
        writeParamDb(env.path(QStringLiteral("PARAM.db")));
        if (keyFile)
            env.writeFile(QStringLiteral("ipckey"), "key");
        if (!whichSend.isEmpty())
            env.writeFile(QStringLiteral("cnt_net/whichsend.config"), whichSend);
        para.netEnabled = 1;
        para.videoShareMode = mode;
        para.videoShareFps = 2;
        qstrncpy(para.netCardName, "eth0", sizeof para.netCardName);
        CntNetOptions o;
        o.port = 0;
        o.timers = &sched;
        o.startRelay = [] {};
        o.shareTakeLimitMs = takeLimitMs;
        o.inputs = [this] {
            CatalogueInputs in = CatalogueInputs::live();
            in.para = &para;
            return in;
        };
        net = std::make_unique<CNT_Net>(o);
    }
    QString keyPath() const { return env.path(QStringLiteral("ipckey")); }
    bool connectRelay()
    {
        relay = std::make_unique<QTcpSocket>();
        relay->connectToHost(QHostAddress::LocalHost, net->port());
        QElapsedTimer t;
        t.start();
        while (!net->linkAlive() && t.elapsed() < 5000)
            QTest::qWait(1);
        return net->linkAlive();
    }
    bool disconnectRelay()
    {
        relay->disconnectFromHost();
        QElapsedTimer t;
        t.start();
        while (net->relaySocket() && t.elapsed() < 5000)
            QTest::qWait(1);
        relay.reset();
        return !net->relaySocket();
    }
    // Everything the relay has received until `bytes` have come.
    QByteArray receive(int bytes)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < bytes && t.elapsed() < 5000) {
            QTest::qWait(1);
            got += relay->readAll();
        }
        return got;
    }
    bool ack()
    {
        relay->write("/back/\r\n\r\n");
        relay->flush();
        QElapsedTimer t;
        t.start();
        while (!net->queued().isEmpty() && t.elapsed() < 5000)
            QTest::qWait(1);
        return net->queued().isEmpty();
    }
    // One "send_timer" period, then the worker's copies.
    bool refresh()
    {
        sched.advanceBy(50);
        return net->shareSet().waitIdle(5000);
    }
};

// BGRA, left half white, right half black.
std::vector<quint32> halfWhite(int w, int h)
{
    std::vector<quint32> px(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * size_t(w) + size_t(x)] = x < w / 2 ? 0xffffffffu : 0xff000000u;
    return px;
}

cv::Mat wrap(std::vector<quint32>& px, int w, int h) { return cv::Mat(h, w, CV_8UC4, px.data()); }

} // namespace

class TestVideoShare : public QObject {
    Q_OBJECT
private slots:
    void registration();
    void descriptionOncePerConnection();
    void refreshGating_data();
    void refreshGating();
    void contentAndStamp();
    void heldSemaphoreSkipsWithoutStalling();
    void disconnectsLeaveTheSemaphoreFree();
    void screenWindowScaled();
    void oddSizeRoundedDown();
    void staleSegmentReplaced();
    void noKeyNoShare();
    void nothingLeftAfterOrderlyEnd();
    void relayPeerReadsUnderTheSemaphore();

private:
    ChildVerdict runOutside();
    RealCommandRunner real_;
};

// Outside: re-runs the current function (and row) in a new IPC namespace
// and returns what it said.  Inside: announces itself and refuses a
// namespace that is not empty.
#define IN_OWN_IPC_NAMESPACE()                                                                                  \
    do {                                                                                                       \
        if (!qEnvironmentVariableIsSet(kChildVar)) {                                                           \
            const ChildVerdict v = runOutside();                                                               \
            if (v.kind == ChildVerdict::Skip)                                                                  \
                QSKIP(qPrintable(v.reason));                                                                   \
            if (v.kind == ChildVerdict::Fail)                                                                  \
                QFAIL(qPrintable(v.reason));                                                                   \
            return;                                                                                            \
        }                                                                                                      \
        std::printf("%s\n", kChildMarker);                                                                     \
        std::fflush(stdout);                                                                                   \
        if (segmentsInNamespace() != 0 || semaphoresInNamespace() != 0)                                        \
            QFAIL("refusing to run: the IPC namespace is not a fresh one");                                    \
    } while (false)

// Every object the function made is gone.
#define NOTHING_LEFT()                                                                                         \
    do {                                                                                                       \
        QCOMPARE(segmentsInNamespace(), 0);                                                                    \
        QCOMPARE(semaphoresInNamespace(), 0);                                                                  \
    } while (false)

ChildVerdict TestVideoShare::runOutside()
{
    const QStringList ns = ::geteuid() == 0 ? QStringList{"--ipc", "--fork", "--kill-child"}
                                             : QStringList{"--map-root-user", "--ipc", "--fork", "--kill-child"};
    const CommandResult probe = real_.run("unshare", ns + QStringList{"--", "true"}, 30000);
    if (!probe.started)
        return {ChildVerdict::Skip, QStringLiteral("the unshare program is not available")};
    if (probe.exitCode != 0)
        return {ChildVerdict::Skip, "IPC namespaces are not permitted here: "
                                        + QString::fromLocal8Bit(probe.errorOutput).trimmed()};
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        function += ':' + QString::fromLatin1(QTest::currentDataTag());
    qputenv(kChildVar, "1");
    const CommandResult run =
        real_.run("unshare", ns + QStringList{"--", QCoreApplication::applicationFilePath(), function}, 120000);
    qunsetenv(kChildVar);
    const QString out = QString::fromLocal8Bit(run.output);
    const QString err = QString::fromLocal8Bit(run.errorOutput).trimmed();
    if (!out.contains(QLatin1String(kChildMarker)))
        return {ChildVerdict::Fail, QStringLiteral("the child ended before it started (exit code %1):\n%2\n%3")
                                        .arg(run.exitCode)
                                        .arg(out, err)};
    for (const QString& line : out.split('\n'))
        if (line.startsWith("SKIP   :"))
            return {ChildVerdict::Skip, line.mid(8).trimmed()};
    if (run.exitCode != 0)
        return {ChildVerdict::Fail, "the run in the namespace failed:\n" + out + "\n" + err};
    return {};
}

// A 1920 x 1080 screen share and two camera shares: sizes, keys, owner-only
// objects, and the description in registration order.
void TestVideoShare::registration()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareScreen);
        gShowW = 1920;
        gShowH = 1080;
        rig.net->CNT_FirstInit();
        QVERIFY(rig.net->shareTimerRunning());
        const VideoShareInfo s = rig.net->shareInfo().value(0);
        QCOMPARE(s.size, 3110400);
        QCOMPARE(s.width, 1920);
        QCOMPARE(s.height, 1080);
        QCOMPARE(s.fps, 15);
        QVERIFY(s.shmid >= 0 && s.semid >= 0);
        const QByteArray key = QFile::encodeName(rig.keyPath());
        shmid_ds shm{};
        QCOMPARE(::shmctl(s.shmid, IPC_STAT, &shm), 0);
        QCOMPARE(shm.shm_perm.__key, ::ftok(key.constData(), 1000));
        QCOMPARE(int(shm.shm_segsz), 3110400);
        QCOMPARE(int(shm.shm_perm.mode & 0777), 0600);
        semid_ds sem{};
        QCOMPARE(::semctl(s.semid, 0, IPC_STAT, &sem), 0);
        QCOMPARE(sem.sem_perm.__key, ::ftok(key.constData(), 2000));
        QCOMPARE(int(sem.sem_perm.mode & 0777), 0600);
        QCOMPARE(semValue(s.semid), 1);
    }
    NOTHING_LEFT();
    {
        ShareRig rig(VideoShareCamera);
        gImageW = 64;
        gImageH = 48;
        std::vector<quint32> view0(64 * 48), view2(64 * 48);
        rig.net->CNT_AddUseMemory(0, 64, 48, view0.data());
        rig.net->CNT_AddUseMemory(2, 64, 48, view2.data());
        rig.net->CNT_FirstInit();
        QVERIFY(rig.net->shareTimerRunning());
        const QMap<int, VideoShareInfo> shares = rig.net->shareInfo();
        QCOMPARE(shares.keys(), QList<int>({0, 2}));
        const VideoShareInfo a = shares[0], b = shares[2];
        const QByteArray expected = QStringLiteral("{\n\t\"memoryinfo\":\t[{\n"
                                                   "\t\t\t\"shmid\":\t%1,\n\t\t\t\"semid\":\t%2,\n"
                                                   "\t\t\t\"cameraid\":\t0,\n\t\t\t\"size\":\t4608,\n"
                                                   "\t\t\t\"width\":\t64,\n\t\t\t\"height\":\t48,\n"
                                                   "\t\t\t\"fps\":\t15\n\t\t}, {\n"
                                                   "\t\t\t\"shmid\":\t%3,\n\t\t\t\"semid\":\t%4,\n"
                                                   "\t\t\t\"cameraid\":\t2,\n\t\t\t\"size\":\t4608,\n"
                                                   "\t\t\t\"width\":\t64,\n\t\t\t\"height\":\t48,\n"
                                                   "\t\t\t\"fps\":\t15\n\t\t}]\n}")
                                        .arg(a.shmid)
                                        .arg(a.semid)
                                        .arg(b.shmid)
                                        .arg(b.semid)
                                        .toUtf8();
        QCOMPARE(rig.net->memoryInfoBody(), expected);
        // The relay receives it as it stands, on its connection.
        QVERIFY(rig.connectRelay());
        const QByteArray frame = encodeFrame(SendTypeMemoryInfo, expected);
        QCOMPARE(rig.receive(frame.size()), frame);
    }
    NOTHING_LEFT();
    {
        // Nothing registered: no timer, no description.
        ShareRig rig(VideoShareCamera);
        rig.net->CNT_FirstInit();
        QVERIFY(!rig.net->shareTimerRunning());
        QVERIFY(rig.connectRelay());
        QVERIFY(rig.net->queued().isEmpty());
    }
    NOTHING_LEFT();
}

// Once per connection, again after a reconnect, never with type 9 off.
void TestVideoShare::descriptionOncePerConnection()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera);
        std::vector<quint32> view(64 * 48);
        rig.net->CNT_AddUseMemory(1, 64, 48, view.data());
        QVERIFY(rig.net->queued().isEmpty());   // registering sends nothing
        const QByteArray frame = encodeFrame(SendTypeMemoryInfo, rig.net->memoryInfoBody());
        for (int connection = 0; connection < 2; ++connection) {
            QVERIFY(rig.connectRelay());
            QVERIFY(rig.net->memoryInfoSent());
            QCOMPARE(rig.receive(frame.size()), frame);
            QVERIFY(rig.ack());
            rig.net->CNT_SendMemoryInfo();   // the main window's call: already sent
            QVERIFY(rig.net->queued().isEmpty());
            QVERIFY(rig.disconnectRelay());
            QVERIFY(!rig.net->memoryInfoSent());
        }
    }
    NOTHING_LEFT();
    {
        ShareRig rig(VideoShareCamera, true, R"({"9":false})");
        std::vector<quint32> view(64 * 48);
        rig.net->CNT_AddUseMemory(1, 64, 48, view.data());
        QVERIFY(rig.connectRelay());
        rig.net->CNT_SendMemoryInfo();
        QVERIFY(rig.net->queued().isEmpty());
        QVERIFY(!rig.net->memoryInfoSent());
    }
    NOTHING_LEFT();
}

void TestVideoShare::refreshGating_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("netEnabled");
    QTest::addColumn<bool>("relay");
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<QByteArray>("whichSend");
    QTest::addColumn<bool>("copies");
    QTest::newRow("share off") << int(VideoShareOff) << 1 << true << QByteArray("eth0") << QByteArray() << false;
    QTest::newRow("link off") << int(VideoShareCamera) << 0 << true << QByteArray("eth0") << QByteArray() << false;
    QTest::newRow("relay not alive") << int(VideoShareCamera) << 1 << false << QByteArray("eth0") << QByteArray()
                                     << false;
    QTest::newRow("no card for the link") << int(VideoShareCamera) << 1 << true << QByteArray("null")
                                          << QByteArray() << false;
    QTest::newRow("not described") << int(VideoShareCamera) << 1 << true << QByteArray("eth0")
                                   << QByteArray(R"({"9":false})") << false;
    QTest::newRow("everything on") << int(VideoShareCamera) << 1 << true << QByteArray("eth0") << QByteArray()
                                   << true;
}

void TestVideoShare::refreshGating()
{
    IN_OWN_IPC_NAMESPACE();
    QFETCH(int, mode);
    QFETCH(int, netEnabled);
    QFETCH(bool, relay);
    QFETCH(QByteArray, card);
    QFETCH(QByteArray, whichSend);
    QFETCH(bool, copies);
    {
        ShareRig rig(mode, true, whichSend);
        rig.para.netEnabled = netEnabled;
        qstrncpy(rig.para.netCardName, card.constData(), sizeof rig.para.netCardName);
        std::vector<quint32> view = halfWhite(320, 240);
        rig.net->CNT_AddUseMemory(0, 320, 240, view.data());
        rig.net->CNT_FirstInit();
        if (relay)
            QVERIFY(rig.connectRelay());
        for (int i = 0; i < 3; ++i)
            QVERIFY(rig.refresh());
        const VideoShareInfo s = rig.net->shareInfo().value(0);
        QCOMPARE(rig.net->shareSet().stats(0).copied > 0, copies);
        QCOMPARE(readSegment(s.shmid, s.size) == QByteArray(s.size, 0), !copies);
    }
    NOTHING_LEFT();
}

// What the relay reads is OpenCV's I420 of the view; the stamp lands in
// the view's lower right band, in green.
void TestVideoShare::contentAndStamp()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera);
        const int w = 1280, h = 480;
        std::vector<quint32> view = halfWhite(w, h);
        const std::vector<quint32> pattern = view;
        rig.net->CNT_AddUseMemory(0, w, h, view.data());
        rig.net->CNT_FirstInit();
        QVERIFY(rig.connectRelay());
        const VideoShareInfo s = rig.net->shareInfo().value(0);

        // A copy alone: the pattern itself.
        rig.net->CNT_UpdateMemory(0, nullptr);
        QVERIFY(rig.net->shareSet().waitIdle(5000));
        QCOMPARE(rig.net->shareSet().stats(0).copied, quint64(1));
        QCOMPARE(readSegment(s.shmid, s.size), i420Of(wrap(view, w, h)));

        // A refresh stamps the view, then shares it as it now stands.
        QVERIFY(rig.refresh());
        int green = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const quint32 p = view[size_t(y) * w + x];
                if (p == pattern[size_t(y) * w + x])
                    continue;
                QVERIFY2(y >= h - 100 && x >= w / 2, qPrintable(QStringLiteral("changed at %1,%2").arg(x).arg(y)));
                if (qGreen(p) > 200 && qRed(p) < 80 && qBlue(p) < 80)
                    ++green;
            }
        }
        QVERIFY2(green > 200, qPrintable(QString::number(green)));
        QCOMPARE(readSegment(s.shmid, s.size), i420Of(wrap(view, w, h)));
    }
    NOTHING_LEFT();
}

// A relay holding the semaphore: the GUI thread's hand-over returns at
// once, the worker gives up after its limit and counts the frame skipped.
void TestVideoShare::heldSemaphoreSkipsWithoutStalling()
{
    IN_OWN_IPC_NAMESPACE();
    {
        // A long limit, so that waiting for it and not waiting differ
        // plainly even on a loaded machine.
        const int limitMs = 600;
        ShareRig rig(VideoShareCamera, true, {}, limitMs);
        std::vector<quint32> view = halfWhite(320, 240);
        rig.net->CNT_AddUseMemory(0, 320, 240, view.data());
        QVERIFY(rig.connectRelay());
        const VideoShareInfo s = rig.net->shareInfo().value(0);
        QVERIFY(takeSem(s.semid));
        QElapsedTimer t;
        t.start();
        rig.net->CNT_UpdateMemory(0, nullptr);
        QVERIFY2(t.elapsed() < limitMs / 3, qPrintable(QString::number(t.elapsed())));   // the GUI thread never waits
        QVERIFY(rig.net->shareSet().waitIdle(5000));
        QVERIFY2(t.elapsed() >= limitMs - 20, qPrintable(QString::number(t.elapsed())));   // the worker waited its limit
        QCOMPARE(rig.net->shareSet().stats(0).skippedBusy, quint64(1));
        QCOMPARE(rig.net->shareSet().stats(0).copied, quint64(0));
        QCOMPARE(readSegment(s.shmid, s.size), QByteArray(s.size, 0));
        giveSem(s.semid);
        rig.net->CNT_UpdateMemory(0, nullptr);
        QVERIFY(rig.net->shareSet().waitIdle(5000));
        QCOMPARE(rig.net->shareSet().stats(0).copied, quint64(1));
        QCOMPARE(semValue(s.semid), 1);

        // Frames handed over while the worker waits: each newer one
        // replaces the one not yet taken; none queues up behind it.
        QVERIFY(takeSem(s.semid));
        for (int i = 0; i < 4; ++i)
            rig.net->CNT_UpdateMemory(0, nullptr);
        QVERIFY(rig.net->shareSet().waitIdle(5000));
        const VideoShareStats after = rig.net->shareSet().stats(0);
        QCOMPARE(after.copied, quint64(1));
        QCOMPARE(after.replaced + after.skippedBusy - 1, quint64(4));
        QVERIFY(after.replaced >= 2);
        giveSem(s.semid);
    }
    NOTHING_LEFT();
}

// Each disconnect frees the semaphore, never beyond 1, also when the relay
// left it taken.
void TestVideoShare::disconnectsLeaveTheSemaphoreFree()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera);
        std::vector<quint32> view(64 * 48);
        rig.net->CNT_AddUseMemory(0, 64, 48, view.data());
        const int semid = rig.net->shareInfo().value(0).semid;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(rig.connectRelay());
            if (i == 1)
                QVERIFY(takeSem(semid));   // the relay went while holding it
            QVERIFY(rig.disconnectRelay());
            QCOMPARE(semValue(semid), 1);
        }
    }
    NOTHING_LEFT();
}

// The window grabbed at another size is scaled to the registered one.
void TestVideoShare::screenWindowScaled()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareScreen);
        gShowW = 320;
        gShowH = 200;
        QWidget window;
        window.resize(160, 90);
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(200, 30, 60));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        rig.net->setShareWindow(&window);
        rig.net->CNT_FirstInit();
        QVERIFY(rig.connectRelay());
        QVERIFY(rig.refresh());
        const VideoShareInfo s = rig.net->shareInfo().value(0);
        QCOMPARE(s.size, 320 * 200 * 3 / 2);
        QCOMPARE(rig.net->shareSet().stats(0).copied, quint64(1));
        const cv::Mat solid(200, 320, CV_8UC4, cv::Scalar(60, 30, 200, 255));
        QCOMPARE(readSegment(s.shmid, s.size), i420Of(solid));
    }
    NOTHING_LEFT();
}

// I420 needs even sides: an odd size is registered rounded down and each
// frame cropped to it.
void TestVideoShare::oddSizeRoundedDown()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera);
        const int w = 321, h = 241;
        std::vector<quint32> view(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                view[size_t(y) * w + x] = 0xff000000u | quint32((x * 7) & 0xff) << 16 | quint32((y * 5) & 0xff) << 8
                                          | quint32((x + y) & 0xff);
        rig.net->CNT_AddUseMemory(3, w, h, view.data());
        const VideoShareInfo s = rig.net->shareInfo().value(3);
        QCOMPARE(s.width, 320);
        QCOMPARE(s.height, 240);
        QCOMPARE(s.size, 115200);
        QVERIFY(rig.net->memoryInfoBody().contains("\"width\":\t320"));
        QVERIFY(rig.connectRelay());
        rig.net->CNT_UpdateMemory(3, nullptr);
        QVERIFY(rig.net->shareSet().waitIdle(5000));
        QCOMPARE(rig.net->shareSet().stats(3).copied, quint64(1));
        const cv::Mat cropped = wrap(view, w, h)(cv::Rect(0, 0, 320, 240)).clone();
        QCOMPARE(readSegment(s.shmid, s.size), i420Of(cropped));
    }
    NOTHING_LEFT();
}

// A segment of the key left by an earlier run: too small, it is made again;
// large enough but open to everyone, it is kept and closed to others.
void TestVideoShare::staleSegmentReplaced()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera);
        const QByteArray key = QFile::encodeName(rig.keyPath());
        const int stale = ::shmget(::ftok(key.constData(), 1000), 100, IPC_CREAT | 0666);
        QVERIFY(stale >= 0);
        std::vector<quint32> view(64 * 48);
        rig.net->CNT_AddUseMemory(0, 64, 48, view.data());
        const VideoShareInfo s = rig.net->shareInfo().value(0);
        QVERIFY(s.shmid >= 0);
        QVERIFY(s.shmid != stale);
        shmid_ds ds{};
        QVERIFY(::shmctl(stale, IPC_STAT, &ds) != 0);   // gone
        QCOMPARE(::shmctl(s.shmid, IPC_STAT, &ds), 0);
        QCOMPARE(int(ds.shm_segsz), 4608);

        const int roomy = ::shmget(::ftok(key.constData(), 1001), 100000, IPC_CREAT | 0666);
        rig.net->CNT_AddUseMemory(1, 64, 48, view.data());
        QCOMPARE(rig.net->shareInfo().value(1).shmid, roomy);
        QCOMPARE(::shmctl(roomy, IPC_STAT, &ds), 0);
        QCOMPARE(int(ds.shm_perm.mode & 0777), 0600);
    }
    NOTHING_LEFT();
}

// No key (the key file is missing): the share is described with -1 and no
// object is made under a key of -1.
void TestVideoShare::noKeyNoShare()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera, false);
        std::vector<quint32> view(64 * 48);
        rig.net->CNT_AddUseMemory(0, 64, 48, view.data());
        rig.net->CNT_AddUseMemory(1, 64, 48, view.data());
        const VideoShareInfo s = rig.net->shareInfo().value(1);
        QCOMPARE(s.shmid, -1);
        QCOMPARE(s.semid, -1);
        QCOMPARE(segmentsInNamespace(), 0);
        QCOMPARE(semaphoresInNamespace(), 0);
        QVERIFY(rig.net->memoryInfoBody().contains("\"shmid\":\t-1"));
        QVERIFY(rig.connectRelay());
        QVERIFY(rig.refresh());
        QCOMPARE(rig.net->shareSet().stats(1).copied, quint64(0));
    }
    NOTHING_LEFT();
}

// A program that made a share and ended in order, through Exit() or by
// returning from main with the link never deleted, leaves nothing.
void TestVideoShare::nothingLeftAfterOrderlyEnd()
{
    IN_OWN_IPC_NAMESPACE();
    TestEnv env;
    env.writeFile(QStringLiteral("ipckey"), "key");
    writeParamDb(env.path(QStringLiteral("PARAM.db")));
    for (const char* how : {"exit", "return"}) {
        qputenv(kEndVar, how);
        qputenv(kEndKeyVar, QFile::encodeName(env.path(QStringLiteral("ipckey"))));
        const CommandResult r = real_.run(QCoreApplication::applicationFilePath(), {}, 30000);
        qunsetenv(kEndVar);
        QVERIFY2(r.ok(), r.errorOutput.constData());
        QVERIFY2(r.output.contains("made 2"), r.output.constData());
        NOTHING_LEFT();
    }
}

// The relay test peer learns the share from message 9 and reads it under
// its semaphore.
void TestVideoShare::relayPeerReadsUnderTheSemaphore()
{
    IN_OWN_IPC_NAMESPACE();
    {
        ShareRig rig(VideoShareCamera);
        const int w = 320, h = 240;
        std::vector<quint32> view = halfWhite(w, h);
        rig.net->CNT_AddUseMemory(2, w, h, view.data());
        rig.net->CNT_FirstInit();
        relaypeer::Options o;
        o.port = rig.net->port();
        o.heartbeatMs = 0;
        relaypeer::RelayPeer peer(o);
        peer.start();
        QTRY_VERIFY_WITH_TIMEOUT(peer.counts().value(SendTypeMemoryInfo) == 1, 5000);
        QByteArray body;
        for (const relaypeer::Message& m : peer.messages())
            if (m.type == SendTypeMemoryInfo)
                body = m.body;
        QList<relaypeer::ShareEntry> entries;
        QString error;
        QVERIFY2(relaypeer::parseMemoryInfo(body, &entries, &error), qPrintable(error));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].cameraid, 2);
        QCOMPARE(peer.violations(), QStringList());

        QTRY_VERIFY_WITH_TIMEOUT(rig.net->linkAlive(), 5000);
        rig.net->CNT_UpdateMemory(2, nullptr);
        QVERIFY(rig.net->shareSet().waitIdle(5000));
        const relaypeer::ShareRead read = relaypeer::readShare(entries[0]);
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.frame, i420Of(wrap(view, w, h)));
        QCOMPARE(semValue(entries[0].semid), 1);   // given back
        peer.stop();
    }
    NOTHING_LEFT();
}

// The program of nothingLeftAfterOrderlyEnd.
static int endProgram(int argc, char** argv, const QByteArray& how)
{
    QApplication app(argc, argv);
    paths().ipcKeyPath = QFile::decodeName(qgetenv(kEndKeyVar));
    CntNetOptions o;
    o.port = 0;
    o.startRelay = [] {};
    // Never deleted (kept reachable, so not a leak): the process's end
    // alone must remove the objects.
    static CNT_Net* net = nullptr;
    net = new CNT_Net(o);
    std::vector<quint32> view(64 * 48);
    net->CNT_AddUseMemory(0, 64, 48, view.data());
    std::printf("made %d\n", segmentsInNamespace() + semaphoresInNamespace());
    std::fflush(stdout);
    if (how == "exit")
        Exit(0);
    return 0;
}

int main(int argc, char** argv)
{
    const QByteArray end = qgetenv(kEndVar);
    if (!end.isEmpty())
        return endProgram(argc, argv, end);
    QApplication app(argc, argv);
    TestVideoShare test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_videoshare.moc"
