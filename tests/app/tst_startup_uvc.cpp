// MOULDMON_UVC=1: the real UVC capture path off the panel, on the machine's
// own video devices; without it the simulated bus keeps the UVC cameras.
#include "cameraservices.h"
#include "paths.h"
#include "simcamerabus.h"
#include "startup.h"
#include "testenv.h"
#include "uvccapture.h"

#include <QtTest>

class TestStartupUvc : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        qunsetenv("MOULDMON_UVC");
        setUvcSourceFactory({});
        setUvcDeviceList({});
        camsim::bus().clear();
    }
    void captureChoice_data();
    void captureChoice();
};

void TestStartupUvc::captureChoice_data()
{
    QTest::addColumn<QByteArray>("env");
    QTest::addColumn<bool>("real");
    QTest::newRow("unset") << QByteArray() << false;
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("yes") << QByteArray("yes") << false;
}

void TestStartupUvc::captureChoice()
{
    QFETCH(QByteArray, env);
    QFETCH(bool, real);
    TestEnv testEnv;
    // A simulated bus with one UVC camera, as the demo might have.
    QVERIFY(camsim::bus().loadJson(R"({"devices":[{"family":"uvc","serial":"UVCSIM01","width":64,"height":48,
                                       "uvc":{"format":"lavfi","url":"testsrc=size=64x48:rate=5"}}]})"));
    if (!env.isEmpty())
        qputenv("MOULDMON_UVC", env);
    QCOMPARE(Startup::RealUvcRequested(), real);
    Startup::InstallCameraServices();
    std::unique_ptr<UvcSource> source = makeUvcSource();
    QVERIFY(source != nullptr);
    // Nothing is opened here: the choice shows in the source's kind and in
    // where the n-th camera is looked for.
    QCOMPARE(dynamic_cast<UvcCapture*>(source.get()) != nullptr, real);
    if (real)
        QCOMPARE(uvcNode(0), paths().videoDevice.arg(0));   // /dev/video0 outside the tests
    else
        QVERIFY(!uvcNode(0).startsWith(QStringLiteral("/dev/")));
}

QTEST_MAIN(TestStartupUvc)
#include "tst_startup_uvc.moc"
