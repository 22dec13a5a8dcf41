// The start-up sequence: order of the log lines, when the relay is started,
// the single USB copy worker, a program directory without pictures, and the
// records subsystem in place before the window is built.
#include "cameraservices.h"
#include "copy2movedisk.h"
#include "globals.h"
#include "othernetdialog.h"
#include "othernetfactory.h"
#include "paths.h"
#include "pixmaps.h"
#include "recordsseam.h"
#include "relaylink.h"
#include "startup.h"
#include "testenv.h"

#include <QPixmap>
#include <QWidget>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void relayStartsOnlyWhenOnAndListening_data();
    void relayStartsOnlyWhenOnAndListening();
    void copyWorkerIsMadeOnlyWhenMissing();
    void copyWorkerRunsOnlyWhereADiskCanBeFound();
    void missingPicturesAreTolerated();
    void panelDeviceAbsentLeavesDescriptorClosed();
    void noCameraServicesOffThePanel();
    void recordsInstalledBeforeTheWindow();
    void otherNetDialogFactoryInstalledBeforeTheWindow();
};

namespace {
struct Trace {
    QStringList lines;
    int relayStarts = 0;
    int windows = 0;
};

StartupParts fakeParts(Trace& t, bool netOn, bool listening)
{
    StartupParts p;
    p.makeNet = [listening] {
        auto* link = new RecordingRelayLink;
        link->open = listening;
        return link;
    };
    p.startRelay = [&t](RelayLink*) { ++t.relayStarts; };
    p.makeMainWindow = [&t] { ++t.windows; return new QWidget; };
    p.netEnabled = [netOn] { return netOn; };
    p.logInfo = [&t](const QString& l) { t.lines << l; };
    return p;
}
}

void TestStartup::relayStartsOnlyWhenOnAndListening_data()
{
    QTest::addColumn<bool>("netOn");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<bool>("started");
    QTest::newRow("off") << false << false << false;
    QTest::newRow("on, not listening") << true << false << false;
    QTest::newRow("off, listening") << false << true << false;
    QTest::newRow("on and listening") << true << true << true;
}

void TestStartup::relayStartsOnlyWhenOnAndListening()
{
    QFETCH(bool, netOn);
    QFETCH(bool, listening);
    QFETCH(bool, started);
    TestEnv env;
    Trace t;
    Startup s(fakeParts(t, netOn, listening));
    s.BeforeMainWindow(nullptr);
    std::unique_ptr<QWidget> w(s.MakeMainWindow());
    QCOMPARE(t.windows, 1);
    QCOMPARE(t.relayStarts, started ? 1 : 0);
    // One version line, before the relay line; the texts are the product's own.
    QStringList expected{QStringLiteral("2.5.0 release")};
    if (started)
        expected << QStringLiteral("(start init) 'NetClinet' will restart...");
    QCOMPARE(t.lines, expected);
    // No shell command for the log folder: it is made directly.
    QVERIFY(QDir(env.path("cnt_net/cnt_log_app")).exists());
    QVERIFY(env.runner->calls().empty());
    delete gpNet;
    gpNet = nullptr;
}

void TestStartup::copyWorkerIsMadeOnlyWhenMissing()
{
    TestEnv env;
    Trace t;
    delete Copy2MoveDisk::_instance;
    Copy2MoveDisk::_instance = nullptr;
    Startup(fakeParts(t, false, false)).BeforeMainWindow(nullptr);
    Copy2MoveDisk* made = Copy2MoveDisk::_instance;
    QVERIFY(made != nullptr);
    delete gpNet;
    gpNet = nullptr;
    // A second pass keeps the worker that exists.
    Startup(fakeParts(t, false, false)).BeforeMainWindow(nullptr);
    QCOMPARE(Copy2MoveDisk::_instance, made);
    delete gpNet;
    gpNet = nullptr;
}

void TestStartup::copyWorkerRunsOnlyWhereADiskCanBeFound()
{
    // Off the panel only the demo's folder disk answers blkid; without it the
    // worker would only log refused commands.
    TestEnv env;
    Trace t;
    Startup(fakeParts(t, false, false)).BeforeMainWindow(nullptr);
    QVERIFY(!Copy2MoveDisk::instance()->started());
    delete gpNet;
    gpNet = nullptr;

    qputenv("MOULDMON_DEMO_DISK", env.path("usbdisk").toLocal8Bit());
    Startup(fakeParts(t, false, false)).BeforeMainWindow(nullptr);
    qunsetenv("MOULDMON_DEMO_DISK");
    QVERIFY(Copy2MoveDisk::instance()->started());
    // It finds and mounts the folder disk by itself.
    QTRY_COMPARE(Copy2MoveDisk::instance()->mountPath(), paths().mountPoint);
    Copy2MoveDisk::instance()->stop();
    delete gpNet;
    gpNet = nullptr;
}

void TestStartup::missingPicturesAreTolerated()
{
    TestEnv env;
    Trace t;
    Startup s(fakeParts(t, false, false));
    s.BeforeMainWindow(nullptr);
    QVERIFY(gpPixmapBG != nullptr);
    QVERIFY(gpPixmapBG->isNull());
    QVERIFY(gpPixmapMove[6] && gpPixmapMove[6]->isNull());
    delete gpNet;
    gpNet = nullptr;
}

void TestStartup::panelDeviceAbsentLeavesDescriptorClosed()
{
    TestEnv env;
    setPanelDevice(std::make_shared<LinuxPanelDevice>(env.path("no-led")));
    Startup::OpenPanelDevice();
    QVERIFY(gfLED < 0);
}

void TestStartup::noCameraServicesOffThePanel()
{
    TestEnv env;
    qputenv("MOULDMON_GIGE_INTERFACES", "eth0");
    Startup::InstallCameraServices();
    QVERIFY(makeUvcSource() == nullptr);
    QVERIFY(addressRepair() == nullptr);
    qunsetenv("MOULDMON_GIGE_INTERFACES");
}

void TestStartup::recordsInstalledBeforeTheWindow()
{
    // The program's records are the records subsystem's seam, and the window
    // finds them installed while it is built (it opens the user store then).
    QVERIFY(dynamic_cast<RecordsSeam*>(Startup::ProgramParts().records) != nullptr);
    TestEnv env;
    Trace t;
    RecordsSeam records;
    StartupParts parts = fakeParts(t, false, false);
    parts.records = &records;
    RecordsPort* seenByWindow = nullptr;
    parts.makeMainWindow = [&seenByWindow] {
        seenByWindow = recordsPort();
        return new QWidget;
    };
    Startup s(std::move(parts));
    s.BeforeMainWindow(nullptr);
    QVERIFY(!recordsPort());
    std::unique_ptr<QWidget> w(s.MakeMainWindow());
    QCOMPARE(seenByWindow, static_cast<RecordsPort*>(&records));
    setRecordsPort(nullptr);
    delete gpNet;
    gpNet = nullptr;
}

void TestStartup::otherNetDialogFactoryInstalledBeforeTheWindow()
{
    // The program's factory builds the dialog hidden, as a child of the
    // window, and the network page finds it through its interface.
    TestEnv env;
    const StartupParts program = Startup::ProgramParts();
    QVERIFY(program.otherNetDialog);
    {
        QWidget window;
        QWidget* dialog = program.otherNetDialog(&window);
        QVERIFY(dialog && dialog->parent() == &window && dialog->isHidden());
        QVERIFY(dynamic_cast<OtherNetDialog*>(dialog) != nullptr);
    }
    Trace t;
    StartupParts parts = fakeParts(t, false, false);
    parts.otherNetDialog = [](QWidget*) -> QWidget* { return nullptr; };
    bool seenByWindow = false;
    parts.makeMainWindow = [&seenByWindow] {
        seenByWindow = bool(otherNetDialogFactory());
        return new QWidget;
    };
    Startup s(std::move(parts));
    s.BeforeMainWindow(nullptr);
    std::unique_ptr<QWidget> w(s.MakeMainWindow());
    QVERIFY(seenByWindow);
    setOtherNetDialogFactory(nullptr);
    setRecordsPort(nullptr);
    delete gpNet;
    gpNet = nullptr;
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
