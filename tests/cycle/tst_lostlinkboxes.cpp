// The alarm boxes for a lost I/O link and lost cameras: the I/O box driven by
// the main-loop pass on the cycle rig (the real box behind the host calls),
// the power-off of the lost-camera box with the recording runner and the
// fake clock, and the texts in every language.
#include "cameraglobals.h"
#include "colorbutton.h"
#include "fakecycle.h"
#include "keypadhost.h"
#include "lostlinkboxes.h"
#include "mapplication.h"
#include "messages.h"

#include <QtTest>

namespace {

// The main window's lost-link calls, on a real box.
class BoxHost : public FakeCycleHost {
public:
    LostComWarnBox box;

    bool lostLinkBoxVisible() const override { return !box.isHidden(); }
    QString lostLinkBoxText() const override { return box.message; }
    void showLostLinkBox(const QString& text) override
    {
        box.setText(text);
        box.show();
    }
    void setLostLinkBoxText(const QString& text) override
    {
        box.setText(text);
        box.update();
    }
};

// The cycle rig with the real box; passes at 5 + 3k ms.
struct LinkRig {
    BoxHost host;
    CycleRig rig{1, &host};
    qint64 t = 20;

    explicit LinkRig(int ioLostAlarm)
    {
        standardMachine(rig.para);
        rig.useSmallGreyFrames();
        rig.para.ioLostAlarm = ioLostAlarm;
        rig.start();
        rig.scheduler.advanceTo(t);
    }
    ~LinkRig() { gisLostCom = 0; }

    // One pass with the link lost or answering.
    void pass(bool lost)
    {
        gisLostCom = lost ? 1 : 0;
        t += 3;
        rig.scheduler.advanceTo(t);
    }
    int lossRecords() const { return rig.records().count(QStringLiteral("IO通讯异常")); }
};

// A panel whose backlight is off until a notice wakes it.
class DarkPanel : public StandaloneKeypadHost {
public:
    bool off = true;
    int wakes = 0;
    QList<int> restarts;
    bool screenOff() const override { return off; }
    void switchScreenOn() override
    {
        off = false;
        ++wakes;
    }
    int screenOffSeconds() const override { return 30; }
    void restartScreenOffTimer(int ms) override { restarts << ms; }
};

} // namespace

class TestLostLinkBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init() { gLan = LanEnglish; }
    void cleanup()
    {
        gisLostCom = 0;
        gisLost = 0;
        setKeypadHost(nullptr);
    }

    void lostLinkPasses_data();
    void lostLinkPasses();
    void pressWhileLostShowsAgainFromTheEventLoop();
    void acceptShutdown_data();
    void acceptShutdown();
    void textsInEveryLanguage_data();
    void textsInEveryLanguage();
    void relabelTakesTheLoadedLanguage();
};

void TestLostLinkBoxes::lostLinkPasses_data()
{
    // Steps: L a pass with the link lost, B a pass with it back, P the
    // operator's press, E one turn of the event loop.
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("message");   // shown text; 0 none
    QTest::addColumn<int>("records");
    QTest::newRow("alarm off, lost") << 0 << "LLLBL" << false << 0 << 0;
    QTest::newRow("lost") << 1 << "L" << true << 589 << 1;
    QTest::newRow("lost for many passes") << 1 << "LLLLL" << true << 589 << 1;
    QTest::newRow("back") << 1 << "LB" << true << 590 << 1;
    QTest::newRow("back, one press closes for good") << 1 << "LBPEBBB" << false << 590 << 1;
    QTest::newRow("press while lost") << 1 << "LPE" << true << 589 << 1;
    QTest::newRow("press while lost, passes on") << 1 << "LPELLL" << true << 589 << 1;
    QTest::newRow("press while lost, then back") << 1 << "LPEB" << true << 590 << 1;
    QTest::newRow("press while lost, back, press") << 1 << "LPEBPEB" << false << 590 << 1;
    QTest::newRow("lost, back, lost again") << 1 << "LBL" << true << 589 << 2;
    QTest::newRow("lost, back, lost again, back") << 1 << "LBLB" << true << 590 << 2;
    QTest::newRow("three losses under one box") << 1 << "LBLBL" << true << 589 << 3;
    QTest::newRow("closed, then lost again") << 1 << "LBPEBL" << true << 589 << 2;
}

void TestLostLinkBoxes::lostLinkPasses()
{
    QFETCH(int, alarm);
    QFETCH(QString, steps);
    QFETCH(bool, visible);
    QFETCH(int, message);
    QFETCH(int, records);
    LinkRig r(alarm);
    for (QChar step : steps) {
        switch (step.toLatin1()) {
        case 'L': r.pass(true); break;
        case 'B': r.pass(false); break;
        case 'P':
            QVERIFY(!r.host.box.isHidden());
            r.host.box.okButton->click();
            break;
        case 'E': QCoreApplication::processEvents(); break;
        }
    }
    QCOMPARE(!r.host.box.isHidden(), visible);
    QCOMPARE(r.host.box.message, message ? Msg(message) : QString());
    QCOMPARE(r.lossRecords(), records);
    QVERIFY(!r.host.box.isModal());
}

void TestLostLinkBoxes::pressWhileLostShowsAgainFromTheEventLoop()
{
    // The press hides the box; it comes back from the event loop, not from
    // inside its own hide, and a dark panel is lit for it again.
    LinkRig r(1);
    r.pass(true);
    DarkPanel panel;
    setKeypadHost(&panel);
    r.host.box.okButton->click();
    QVERIFY(r.host.box.isHidden());
    QCOMPARE(panel.wakes, 0);
    QCoreApplication::processEvents();
    QVERIFY(!r.host.box.isHidden());
    QCOMPARE(r.host.box.message, Msg(589));
    QCOMPARE(panel.wakes, 1);
    QCOMPARE(panel.restarts, QList<int>{30000});
    // Back before the loop turned: the box stays closed.
    r.host.box.okButton->click();
    gisLostCom = 0;
    QCoreApplication::processEvents();
    QVERIFY(r.host.box.isHidden());
    QCOMPARE(r.lossRecords(), 1);
}

void TestLostLinkBoxes::acceptShutdown_data()
{
    QTest::addColumn<bool>("camerasLost");
    QTest::addColumn<QStringList>("expected");   // "what @ ms slept"
    QTest::newRow("cameras lost") << true
                                  << QStringList{"record 因丢失相机手动关闭电源 @0", "flush @1000", "run init 0 @2000",
                                                 "reopen @2000"};
    QTest::newRow("cameras back") << false << QStringList{};
}

void TestLostLinkBoxes::acceptShutdown()
{
    QFETCH(bool, camerasLost);
    QFETCH(QStringList, expected);
    TestEnv env;
    QStringList events;
    const auto note = [&](const QString& what) { events << QStringLiteral("%1 @%2").arg(what).arg(env.clock->sleptMs()); };
    env.runner->setScript([&](const CommandCall& call) {
        note(QStringLiteral("run ") + call.line());
        return CommandResult{};
    });
    LostCameraWarnBox box;
    box.records = {
        [&](const QString& text) { note(QStringLiteral("record ") + text); },
        [&] {
            note(QStringLiteral("flush"));
            QVERIFY(!gisRunWTD);   // the watchdog is stopped before the databases close
        },
        [&] { note(QStringLiteral("reopen")); },
    };
    gisRunWTD = true;
    gisLost = camerasLost ? 1 : 0;
    box.show();
    QCOMPARE(box.okButton->text(), Msg(209));
    box.okButton->click();
    QCOMPARE(events, expected);
    QCOMPARE(gisRunWTD, !camerasLost);
    QCOMPARE(int(env.runner->calls().size()), camerasLost ? 1 : 0);
    // Closed as accepted in either case.
    QVERIFY(box.isHidden());
    QCOMPARE(box.result(), int(QDialog::Accepted));
    QVERIFY(env.modalRequests.empty());
    gisRunWTD = false;
}

void TestLostLinkBoxes::textsInEveryLanguage_data()
{
    QTest::addColumn<int>("lan");
    QTest::newRow("Simplified Chinese") << int(LanSimplifiedChinese);
    QTest::newRow("English") << int(LanEnglish);
    QTest::newRow("Traditional Chinese") << int(LanTraditionalChinese);
}

void TestLostLinkBoxes::textsInEveryLanguage()
{
    // No box is blank in any language, Traditional Chinese included.
    QFETCH(int, lan);
    gLan = lan;
    LostCameraWarnBox lostCamera;
    ReconnectCameraWarnBox reconnect;
    QCOMPARE(lostCamera.message, Msg(587));
    QCOMPARE(reconnect.message, Msg(588));
    QCOMPARE(lostCamera.okButton->text(), Msg(209));
    QCOMPARE(reconnect.okButton->text(), Msg(121));

    LinkRig r(1);
    QCOMPARE(r.host.box.okButton->text(), Msg(121));
    r.pass(true);
    QCOMPARE(r.host.box.message, Msg(589));
    r.pass(false);
    QCOMPARE(r.host.box.message, Msg(590));

    for (const QString& text : {lostCamera.message, reconnect.message, lostCamera.okButton->text(),
                                reconnect.okButton->text(), r.host.box.okButton->text(), Msg(589), Msg(590)})
        QVERIFY(!text.trimmed().isEmpty());
}

void TestLostLinkBoxes::relabelTakesTheLoadedLanguage()
{
    // Made before the language is loaded; relabelled once it is.
    gLan = LanSimplifiedChinese;
    gpLostComWarnBox = new LostComWarnBox;
    gpLostCameraWarnBox = new LostCameraWarnBox;
    gpReconnectCameraWarnBox = new ReconnectCameraWarnBox;
    gLan = LanTraditionalChinese;
    RelabelLostLinkBoxes();
    QCOMPARE(gpLostComWarnBox->okButton->text(), Msg(121));
    QCOMPARE(gpLostComWarnBox->message, QString());   // the loop's to set
    QCOMPARE(gpLostCameraWarnBox->message, Msg(587));
    QCOMPARE(gpLostCameraWarnBox->okButton->text(), Msg(209));
    QCOMPARE(gpReconnectCameraWarnBox->message, Msg(588));
    QCOMPARE(gpReconnectCameraWarnBox->okButton->text(), Msg(121));
    QVERIFY(Msg(587) != Msg(587, LanSimplifiedChinese));
    delete gpLostComWarnBox;
    delete gpLostCameraWarnBox;
    delete gpReconnectCameraWarnBox;
    gpLostComWarnBox = nullptr;
    gpLostCameraWarnBox = nullptr;
    gpReconnectCameraWarnBox = nullptr;
}

QTEST_MAIN(TestLostLinkBoxes)
#include "tst_lostlinkboxes.moc"
