// The application object's touch filter, the calibration hold, StopWTD and Exit.
// The program makes its own MApplication in place of QTEST_MAIN's QApplication.
#include "globals.h"
#include "mapplication.h"
#include "terminator.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <thread>

namespace {

class FakeHost : public TouchHost {
public:
    FakeHost()
    {
        for (QTimer* t : {&logout, &screen, &hold})
            t->setTimerType(Qt::PreciseTimer);
    }
    QTimer* logoutTimer() override
    {
        ++pressesSeen;   // asked once per press that restarts the idle timers
        return timersMade ? &logout : nullptr;
    }
    QTimer* screenOffTimer() override { return timersMade ? &screen : nullptr; }
    QTimer* calibrationTimer() override { return &hold; }
    int calibrationArmed() const override { return armed; }
    void setCalibrationArmed(int a) override { armed = a; }
    int screenOff() const override { return off; }
    void LCDOnOff(int on) override
    {
        PanelBacklight(on);
        off = on ? 0 : 1;
        *events << QStringLiteral("LCDOnOff %1").arg(on);
    }
    void FLushAll() override { *events << "FLushAll"; }
    void ReopenAll() override { *events << "ReopenAll"; }

    QTimer logout, screen, hold;
    bool timersMade = true;
    int armed = 0;
    int off = 0;
    int pressesSeen = 0;
    std::shared_ptr<QStringList> events = std::make_shared<QStringList>();
};

// The page under the finger: keeps what reached it.
class Page : public QWidget {
public:
    QStringList got;
protected:
    void mousePressEvent(QMouseEvent*) override { got << "press"; }
    void mouseReleaseEvent(QMouseEvent*) override { got << "release"; }
};

// Sees what reaches the window after the application's filter.
class WindowSpy : public QObject {
public:
    QStringList got;
protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            got << "press";
        if (e->type() == QEvent::MouseButtonRelease)
            got << "release";
        return false;
    }
};

// A runner that claims to act on the machine, to see what happens after a
// reboot that really was started.
class PanelRunner : public RecordingCommandRunner {
public:
    bool isReal() const override { return true; }
};

} // namespace

class TestMApplication : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void blankScreenSwallowsWakingPress();
    void idleTimersRestartOnPressOnly_data();
    void idleTimersRestartOnPressOnly();
    void noTimersBeforeParameters();
    void holdStartsOnceAndEarlyReleaseCancels();
    void armedReleaseCalibratesAndReboots_data();
    void armedReleaseCalibratesAndReboots();
    void withCameraNoCalibration();
    void backlightThroughPanelDevice();
    void stopWtdAndExit();

private:
    QWindow* window() const { return page_->windowHandle(); }
    void press(QPoint at = {20, 20}) { QTest::mousePress(window(), Qt::LeftButton, {}, at); }
    void release(QPoint at = {20, 20}) { QTest::mouseRelease(window(), Qt::LeftButton, {}, at); }

    std::unique_ptr<TestEnv> env_;
    std::unique_ptr<WizardPara> para_;
    std::unique_ptr<FakeHost> host_;
    std::unique_ptr<Page> page_;
};

static MApplication* app() { return static_cast<MApplication*>(QCoreApplication::instance()); }

void TestMApplication::init()
{
    env_ = std::make_unique<TestEnv>();
    para_ = std::make_unique<WizardPara>();
    para_->autoLogoutSeconds = 60;
    para_->screenOffSeconds = 120;
    gpWPara = para_.get();
    gCameraID = 4;
    host_ = std::make_unique<FakeHost>();
    auto events = host_->events;
    env_->runner->setScript([events](const CommandCall& c) {
        *events << c.line();
        return CommandResult{};
    });
    app()->setTouchHost(host_.get());
    page_ = std::make_unique<Page>();
    page_->resize(200, 200);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
}

void TestMApplication::cleanup()
{
    app()->setTouchHost(nullptr);
    page_.reset();
    host_.reset();
    gpWPara = nullptr;
    para_.reset();
    gCameraID = 0;
    env_.reset();
}

void TestMApplication::blankScreenSwallowsWakingPress()
{
    WindowSpy spy;
    window()->installEventFilter(&spy);
    host_->off = 1;
    press();
    QCOMPARE(host_->pressesSeen, 1);   // the window's event only, not the widget's
    QCOMPARE(*host_->events, QStringList{"LCDOnOff 1"});
    QCOMPARE(page_->got, QStringList{});
    QCOMPARE(spy.got, QStringList{});
    // The release passes (the widget itself ignores a release whose press
    // it never saw); the next touch reaches the page normally.
    release();
    QCOMPARE(spy.got, QStringList{"release"});
    press();
    release();
    QCOMPARE(spy.got, QStringList({"release", "press", "release"}));
    QCOMPARE(page_->got, QStringList({"press", "release"}));
    QCOMPARE(*host_->events, QStringList{"LCDOnOff 1"});
}

void TestMApplication::idleTimersRestartOnPressOnly_data()
{
    QTest::addColumn<int>("logoutSeconds");
    QTest::addColumn<int>("screenSeconds");
    QTest::newRow("both set") << 60 << 120;
    QTest::newRow("logout off") << 0 << 30;
    QTest::newRow("both off") << 0 << 0;
}

void TestMApplication::idleTimersRestartOnPressOnly()
{
    QFETCH(int, logoutSeconds);
    QFETCH(int, screenSeconds);
    para_->autoLogoutSeconds = logoutSeconds;
    para_->screenOffSeconds = screenSeconds;

    release();
    QVERIFY(!host_->logout.isActive());
    QVERIFY(!host_->screen.isActive());

    press();
    QCOMPARE(host_->logout.isActive(), logoutSeconds > 0);
    QCOMPARE(host_->screen.isActive(), screenSeconds > 0);
    if (logoutSeconds > 0)
        QCOMPARE(host_->logout.interval(), logoutSeconds * 1000);
    if (screenSeconds > 0)
        QCOMPARE(host_->screen.interval(), screenSeconds * 1000);
    // A move with the finger down is a press as well.
    host_->logout.stop();
    host_->screen.stop();
    QTest::mouseMove(window(), {30, 30});
    QCOMPARE(host_->logout.isActive(), logoutSeconds > 0);
    QCOMPARE(host_->screen.isActive(), screenSeconds > 0);
    release();
}

void TestMApplication::noTimersBeforeParameters()
{
    gpWPara = nullptr;
    press();
    QVERIFY(!host_->logout.isActive());
    QVERIFY(!host_->screen.isActive());
    gpWPara = para_.get();
    host_->timersMade = false;   // parameters loaded, timers not made yet
    press();
    QVERIFY(!host_->logout.isActive());
    release();
}

void TestMApplication::holdStartsOnceAndEarlyReleaseCancels()
{
    gCameraID = 0;
    press();
    QVERIFY(host_->hold.isActive());
    QCOMPARE(host_->hold.interval(), MApplication::kCalibrationHoldMs);
    const int leftAtPress = host_->hold.remainingTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    QTest::mouseMove(window(), {40, 40});
    QTest::mouseMove(window(), {60, 60});
    // Moving the finger does not start the 3 s again.
    QVERIFY(host_->hold.remainingTime() <= leftAtPress - 30);
    release();
    QVERIFY(!host_->hold.isActive());
    QCOMPARE(host_->armed, 0);
    QCOMPARE(*host_->events, QStringList{});
    QCOMPARE(page_->got, QStringList({"press", "release"}));
}

void TestMApplication::armedReleaseCalibratesAndReboots_data()
{
    QTest::addColumn<bool>("realRunner");
    QTest::addColumn<int>("rebootExit");
    QTest::addColumn<bool>("reopened");
    QTest::newRow("dry run") << false << 0 << true;
    QTest::newRow("reboot failed") << true << 1 << true;
    QTest::newRow("reboot started") << true << 0 << false;
}

void TestMApplication::armedReleaseCalibratesAndReboots()
{
    QFETCH(bool, realRunner);
    QFETCH(int, rebootExit);
    QFETCH(bool, reopened);
    std::shared_ptr<RecordingCommandRunner> runner = env_->runner;
    std::shared_ptr<CommandRunner> saved;
    if (realRunner) {
        runner = std::make_shared<PanelRunner>();
        saved = setCommandRunner(runner);
    }
    auto events = host_->events;
    runner->setScript([events, rebootExit](const CommandCall& c) {
        *events << c.line();
        CommandResult r;
        if (c.program == "reboot")
            r.exitCode = rebootExit;
        return r;
    });

    gCameraID = 0;
    press();
    QVERIFY(host_->hold.isActive());
    host_->hold.stop();       // what TSClibrate does when the 3 s are over
    host_->armed = 1;
    QTest::mouseMove(window(), {30, 30});
    QVERIFY(!host_->hold.isActive());   // armed: the hold does not start again
    const qint64 slept = env_->clock->sleptMs();
    release();

    QStringList expected{"./tsc", "FLushAll", "reboot"};
    if (reopened)
        expected << "ReopenAll";
    QCOMPARE(*host_->events, expected);
    QCOMPARE(env_->clock->sleptMs() - slept, 500);
    QCOMPARE(host_->armed, 0);
    QCOMPARE(page_->got, QStringList({"press", "release"}));
    if (saved)
        setCommandRunner(saved);
}

void TestMApplication::withCameraNoCalibration()
{
    gCameraID = 4;
    press();
    QVERIFY(!host_->hold.isActive());
    QVERIFY(host_->logout.isActive());
    host_->armed = 1;
    release();
    QCOMPARE(*host_->events, QStringList{});
    QCOMPARE(page_->got, QStringList({"press", "release"}));
}

void TestMApplication::backlightThroughPanelDevice()
{
    PanelBacklight(0);
    PanelBacklight(1);
    const auto requests = env_->panel->requests();
    QCOMPARE(int(requests.size()), 2);
    QCOMPARE(requests[0].request, 0x5A018A00UL);
    QCOMPARE(requests[1].request, 0x5A018B00UL);
    env_->panel->setOpen(false);
    PanelBacklight(1);
    QCOMPARE(int(env_->panel->requests().size()), 2);
}

void TestMApplication::stopWtdAndExit()
{
    gisRunWTD = true;
    StopWTD();
    QVERIFY(!gisRunWTD);
    QCOMPARE(env_->clock->sleptMs(), 1000);

    int status = -1;
    qint64 sleptAtExit = -1;
    terminator::setHandler([&](int s) {
        status = s;
        sleptAtExit = env_->clock->sleptMs();
    });
    gisRunWTD = true;
    Exit(3);
    terminator::setHandler({});
    QCOMPARE(status, 3);
    QCOMPARE(sleptAtExit, 2000);   // the second wait came before the end
    QVERIFY(!gisRunWTD);
}

int main(int argc, char** argv)
{
    MApplication app(argc, argv);
    TestMApplication test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mapplication.moc"
