// The status strip as a widget: painted with the generated lamp pictures,
// logging out on a touch, repainting on a pass only when something it shows
// changed, and built into the main window along the bottom of the screen.
#include "controlport.h"
#include "copy2movedisk.h"
#include "imagemaker.h"
#include "iostatuswidget.h"
#include "messages.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "paintcounter.h"
#include "pixmaps.h"
#include "testenv.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QPainter>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class TestIOStatusWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void lampsShowTheAppliedLevel();
    void lampsPastTheBoardAreOff();
    void pressLogsOut_data();
    void pressLogsOut();
    void passRepaintsOnlyOnChange_data();
    void passRepaintsOnlyOnChange();
    void mountPathIsACopy();
    void windowBuildsTheStrip();
};

namespace {

// A strip over its own parameters, I/O layer and window state.
struct StripRig {
    explicit StripRig(const std::function<void(WizardPara&)>& edit = {})
    {
        para.systemMode = 0;
        para.statusLampCount = 4;
        for (int& t : para.detectTriggerInput)
            t = -1;
        if (edit)
            edit(para);
        gpWPara = &para;
        io = std::make_unique<ControlPort>(nullptr);
        gpControlIO = io.get();
        strip = std::make_unique<IOStatusWidget>(nullptr, accessLevel, cycleTime);
    }
    ~StripRig()
    {
        strip.reset();
        gpControlIO = nullptr;
        gpWPara = nullptr;
    }
    QImage render()
    {
        QImage img(strip->size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        strip->render(&img);
        return img;
    }
    WizardPara para;
    std::unique_ptr<ControlPort> io;
    int accessLevel = AccessLevelNone;
    int cycleTime = 0;
    std::unique_ptr<IOStatusWidget> strip;
};

// The upper middle of a lamp, clear of its label.
QRgb lampColour(const QImage& img, const StripLamp& lamp)
{
    return img.pixel(lamp.rect.center().x(), lamp.rect.top() + lamp.rect.height() / 3);
}

bool lit(QRgb c)
{
    return qGreen(c) > qRed(c) + 60;
}

bool dark(QRgb c)
{
    return qAbs(qGreen(c) - qRed(c)) < 20 && qRed(c) > 40;
}


QTemporaryDir* images = nullptr;

} // namespace

void TestIOStatusWidget::initTestCase()
{
    FillMessageTable();
    gLan = LanEnglish;
    gShowW = 1280;
    gShowH = 800;
    for (int i = 0; i < kStatusLabels; ++i)
        gaName[i] = QStringLiteral("IO%1").arg(i);
    images = new QTemporaryDir;
    QVERIFY(MakeInterfaceImages(images->path()).isEmpty());
    LoadPixmaps(images->path());
    QVERIFY(!gpPixmapOUT[0]->isNull() && !gpPixmapOUT[1]->isNull());
}

void TestIOStatusWidget::cleanup()
{
    Copy2MoveDisk::instance()->setMountPath(QString());
}

// Lamps show the level as applied to the board: an inverted output that is
// logically off is lit; a level-0 input is dark.
void TestIOStatusWidget::lampsShowTheAppliedLevel()
{
    TestEnv env;
    StripRig rig([](WizardPara& p) { p.outputInvert[OutAlarm] = 1; });
    rig.io->IOResetAllOut();
    rig.io->IOSetOut(OutNotAllowClose, 1);
    QCOMPARE(rig.io->IOState(1, OutAlarm), 1);
    QCOMPARE(rig.io->IOState(0, InSafetyDoor), 0);
    QCOMPARE(rig.strip->geometry(), QRect(0, 800 - 180, 1280, 180));

    const QImage img = rig.render();
    const StripPicture pic = LayOutStrip(rig.strip->currentInput());
    QCOMPARE(pic.lamps.size(), 8);
    // Inputs 0-3 all dark; outputs: clamp blocked and (inverted) alarm lit.
    const bool expectLit[8] = {false, false, false, false, true, false, true, false};
    for (int i = 0; i < 8; ++i) {
        const QRgb c = lampColour(img, pic.lamps[i]);
        QVERIFY2(expectLit[i] ? lit(c) : dark(c),
                 qPrintable(QStringLiteral("lamp %1: %2").arg(i).arg(QColor(c).name())));
    }
    // The labels stand under the lamps in cyan.
    bool cyan = false;
    const QRect label = pic.lamps[1].labelRect;
    for (int y = label.top(); y <= label.bottom() && !cyan; ++y)
        for (int x = label.left(); x <= label.right() && !cyan; ++x)
            cyan = img.pixel(x, y) == qRgb(0, 255, 255);
    QVERIFY(cyan);
}

// Mode 4 with nine output lamps: the four pulse lamps are outputs 9 to 12,
// which the board does not have; they stay dark whatever the word holds.
void TestIOStatusWidget::lampsPastTheBoardAreOff()
{
    TestEnv env;
    StripRig rig([](WizardPara& p) {
        p.systemMode = 4;
        p.statusLampCount = 8;
        p.productNgPulseNoAlarm = 1;
        for (int d = 0; d < kDetections; ++d)
            p.detectTriggerInput[d] = d + 1;
    });
    rig.io->outWord = -1;
    rig.io->inWord = -1;
    for (int k = 9; k <= 12; ++k)
        QCOMPARE(rig.io->IOState(1, k), 0);
    const StripInput in = rig.strip->currentInput();
    QCOMPARE(in.levels.outputs, 0x1FFu);
    const StripPicture pic = LayOutStrip(in);
    QCOMPARE(pic.lamps.size(), 8 + 9 + 4);
    const QImage img = rig.render();
    for (int i = 0; i < pic.lamps.size(); ++i) {
        const bool pulse = i >= pic.lamps.size() - 4;
        QVERIFY2(pulse ? dark(lampColour(img, pic.lamps[i])) : lit(lampColour(img, pic.lamps[i])),
                 qPrintable(pic.lamps[i].label));
    }
}

void TestIOStatusWidget::pressLogsOut_data()
{
    QTest::addColumn<int>("before");
    QTest::newRow("advanced") << int(AccessLevelAdvanced);
    QTest::newRow("primary") << int(AccessLevelPrimary);
    QTest::newRow("none") << int(AccessLevelNone);
}

// A touch anywhere logs out, and the strip then says so.
void TestIOStatusWidget::pressLogsOut()
{
    QFETCH(int, before);
    TestEnv env;
    StripRig rig([](WizardPara& p) { p.passwordEnabled = 1; });
    rig.accessLevel = before;
    QTest::mousePress(rig.strip.get(), Qt::LeftButton, Qt::NoModifier, QPoint(1200, 10));
    QCOMPARE(rig.accessLevel, int(AccessLevelNone));
    QCOMPARE(LayOutStrip(rig.strip->currentInput()).texts.first().text, Msg(156));
}

void TestIOStatusWidget::passRepaintsOnlyOnChange_data()
{
    QTest::addColumn<int>("passwords");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("repaint");
    QTest::newRow("nothing") << 1 << "nothing" << false;
    QTest::newRow("input with a lamp") << 1 << "input 2" << true;
    QTest::newRow("input without a lamp") << 1 << "input 7" << false;
    QTest::newRow("output") << 1 << "alarm output" << true;
    QTest::newRow("logged in") << 1 << "login" << true;
    QTest::newRow("logged in, passwords off") << 0 << "login" << false;
    QTest::newRow("primary to advanced") << 1 << "advanced" << false;
    QTest::newRow("next second") << 1 << "1000 ms" << true;
    QTest::newRow("same second") << 1 << "400 ms" << false;
    QTest::newRow("cycle time") << 1 << "cycle time" << true;
    QTest::newRow("disk mounted") << 1 << "mount" << true;
    QTest::newRow("group") << 1 << "group" << true;
    QTest::newRow("group list") << 1 << "group list" << true;
}

// The main loop asks on every pass: a repaint is scheduled only when
// something shown changed, and then exactly one.
void TestIOStatusWidget::passRepaintsOnlyOnChange()
{
    QFETCH(int, passwords);
    QFETCH(QString, change);
    QFETCH(bool, repaint);
    TestEnv env;
    env.clock->set(QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9, 100)));
    StripRig rig([&](WizardPara& p) { p.passwordEnabled = passwords; });
    if (change == "advanced")
        rig.accessLevel = AccessLevelPrimary;
    rig.strip->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.strip.get()));
    rig.strip->refresh();
    QCoreApplication::processEvents();

    PaintCounter counter;
    rig.strip->installEventFilter(&counter);
    QVERIFY(!rig.strip->refresh());
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);

    if (change == "input 2")
        rig.io->inWord |= 1 << 2;
    else if (change == "input 7")
        rig.io->inWord |= 1 << 7;   // mode 0 has lamps for inputs 0-3 only
    else if (change == "alarm output")
        rig.io->IOSetOut(OutAlarm, 1);
    else if (change == "login")
        rig.accessLevel = AccessLevelPrimary;
    else if (change == "advanced")
        rig.accessLevel = AccessLevelAdvanced;
    else if (change == "1000 ms")
        env.clock->advanceMs(1000);
    else if (change == "400 ms")
        env.clock->advanceMs(400);
    else if (change == "cycle time")
        rig.cycleTime = 57;
    else if (change == "mount")
        Copy2MoveDisk::instance()->setMountPath("/mnt");
    else if (change == "group")
        rig.para.paramGroupIndex = 1;
    else if (change == "group list")
        rig.strip->setParamGroups({"a", "b"});
    for (int pass = 0; pass < 3; ++pass)
        rig.strip->refresh();
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, repaint ? 1 : 0);
}

// The mount path is handed out as a copy under the lock: a reader keeps
// what it read when the worker changes it, and the GUI thread reads while
// the worker writes (the race checker build watches this).
void TestIOStatusWidget::mountPathIsACopy()
{
    TestEnv env;
    Copy2MoveDisk* disk = Copy2MoveDisk::instance();
    QVERIFY(disk->mountPath().isEmpty());
    disk->setMountPath("/mnt");
    const QString read = disk->mountPath();
    disk->setMountPath(QString());
    QCOMPARE(read, QStringLiteral("/mnt"));
    QVERIFY(disk->mountPath().isEmpty());

    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i)
            disk->setMountPath(i % 2 ? QString() : QStringLiteral("/mnt"));
        done = true;
    });
    int odd = 0;
    while (!done) {
        const QString path = disk->mountPath();
        odd += !path.isEmpty() && path != QLatin1String("/mnt");
    }
    worker.join();
    QCOMPARE(odd, 0);
    QVERIFY(disk->mountPath().isEmpty());
}

// The window builds the strip along the bottom, forwards the pass's call
// and hides it for the pages.
void TestIOStatusWidget::windowBuildsTheStrip()
{
    TestEnv env;
    windowtest::keepLogsInside(env);
    windowtest::writeFloor(env);
    windowtest::loadBus(1, "CAMS");
    windowtest::writeParams(env, [](WizardPara& p) { p.passwordEnabled = 1; });
    auto* w = new MoJuWizard;
    IOStatusWidget* strip = w->statusStrip;
    QVERIFY(strip);
    QCOMPARE(strip->parentWidget(), w);
    const int h = gShowW <= 1024 ? 50 : 180;
    QCOMPARE(strip->geometry(), QRect(0, gShowH - h, gShowW, h));
    QVERIFY(strip->paramGroups().isEmpty());

    w->accessLevel = AccessLevelAdvanced;
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(w->accessLevel, int(AccessLevelNone));

    w->repaintStatusStrip();
    QVERIFY(!strip->refresh());   // the window's call took the change in
    w->cycleTime = 77;
    w->repaintStatusStrip();
    QVERIFY(!strip->refresh());

    w->hideStatusStrip();
    QVERIFY(strip->isHidden());
    windowtest::closeWindow();
}

QTEST_MAIN(TestIOStatusWidget)
#include "tst_iostatuswidget.moc"
