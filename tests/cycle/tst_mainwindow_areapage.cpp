// The main window with its area page, end to end: the demo program folder
// (two cameras on the simulated bus whose pictures are files the test
// swaps), the simulated board, the real window and page.  A part left in
// the mould raises the alarm and the page opens on the live pictures; the
// part taken out and "Re-detected" end it and release the outputs; a second
// part left is cleared by "Add As Temp".
#include "boardsim.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "controlport.h"
#include "demolayout.h"
#include "drawroiwidget.h"
#include "globals.h"
#include "messages.h"
#include "mojuwizard.h"
#include "operationrecord.h"
#include "passwordbox.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "windowtest.h"
#include "wizardpara.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestMainWindowAreaPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void alarmClearedByReDetectAndByAddAsTemplate();
    void automaticAreaOnlyIntoAnEmptyDetectionShownAlone_data();
    void automaticAreaOnlyIntoAnEmptyDetectionShownAlone();
    void commandPasswordsAreKeptPerCommand_data();
    void commandPasswordsAreKeptPerCommand();
};

using namespace windowtest;

namespace {

constexpr int kTimeoutMs = 30000;

// What camera c sees from now on, swapped in as the machine model does: a
// copy beside the live file renamed over it, so the camera never reads half
// a picture.
bool showScene(const TestEnv& env, int c, demo::Scene scene)
{
    const QString live = env.path(demo::liveSceneFile(c));
    const QString next = live + QStringLiteral(".next");
    QFile::remove(next);
    return QFile::copy(env.path(demo::sceneFile(c, scene)), next) && std::rename(qPrintable(next), qPrintable(live)) == 0;
}

bool outputOn(int k) { return (gpControlIO->outWord >> k) & 1; }

int templateFiles(const TestEnv& env, int c, int d)
{
    return QDir(env.path(QStringLiteral("cammer%1%2").arg(c + 1).arg(d + 1)))
        .entryList({QStringLiteral("template*.bmp")}, QDir::Files)
        .size();
}

// Lets every camera take a few frames of its new picture (10 frames a second).
void letCamerasSee() { QTest::qWait(800); }

QList<int> askedIds(const TestEnv& env)
{
    QList<int> ids;
    for (const ModalRequest& r : env.modalRequests)
        ids << r.messageId;
    return ids;
}

} // namespace

void TestMainWindowAreaPage::initTestCase()
{
    CreateSharedLocks();
    FillMessageTable();
}

void TestMainWindowAreaPage::cleanup()
{
    closeWindow();
    gisLostCom = 0;
    gisLost = 0;
    gSource = PictureSourceNone;
    gLan = LanEnglish;
}

void TestMainWindowAreaPage::alarmClearedByReDetectAndByAddAsTemplate()
{
    TestEnv env;
    keepLogsInside(env);
    QString error;
    demo::Options options;
    options.dir = env.dir();
    options.cameras = 2;
    options.language = LanEnglish;
    QVERIFY2(demo::makeLayout(options, &error), qPrintable(error));
    writeFloor(env);
    QVERIFY2(camsim::bus().loadJson(env.readFile(QStringLiteral("camsim.json")), &error), qPrintable(error));
    for (int c = 0; c < 2; ++c)
        QVERIFY(showScene(env, c, demo::Scene::Empty));

    BoardSimulator::Options o;
    o.linkPath = env.path(QStringLiteral("dev/ttyS0"));
    BoardSimulator board(o);
    QVERIFY2(board.start(), qPrintable(board.error()));

    new MoJuWizard;
    gpWin->show();
    DrawROIWidget* page = gpWin->areaPage;
    QVERIFY(page);
    QVERIFY(page->isHidden());
    QCOMPARE(&gpWin->recordPictures(), &page->records);
    QTRY_COMPARE_WITH_TIMEOUT(gisLostCom.load(), 0, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(gpWin->frameCount[0] > 3 && gpWin->frameCount[1] > 3, kTimeoutMs);

    // A part left in both moulds: the mould detection's snapshot raises the
    // alarm and the page opens on the live pictures.
    QVERIFY(showScene(env, 0, demo::Scene::Left));
    QVERIFY(showScene(env, 1, demo::Scene::Left));
    letCamerasSee();
    gpWin->SlotManualTrig(1);
    QTRY_COMPARE_WITH_TIMEOUT(gpWin->pageMode, int(PageModeAlarm), kTimeoutMs);
    QVERIFY(gpWin->areaPageVisible());
    QVERIFY(page->isVisible());
    QCOMPARE(gSource, int(PictureSourceLive));
    QCOMPARE(page->sourceCombo->currentIndex(), int(PictureSourceLive));
    QVERIFY(page->reCheckButton->isVisible());
    QVERIFY(page->addTempButton->isVisible());
    QVERIFY(outputOn(OutAlarm));
    QVERIFY(outputOn(OutNotAllowClose));
    QCOMPARE(gpWin->cameraViews[0]->isOK, 0);
    QCOMPARE(gpWin->cameraViews[1]->isOK, 0);

    // The operator takes the parts out and presses "Re-detected".
    QVERIFY(showScene(env, 0, demo::Scene::Empty));
    QVERIFY(showScene(env, 1, demo::Scene::Empty));
    letCamerasSee();
    page->reCheckButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(gpWin->pageMode, int(PageModeNone), kTimeoutMs);
    QVERIFY(!gpWin->areaPageVisible());
    QCOMPARE(gpWin->cameraViews[0]->isOK, 1);
    QCOMPARE(gpWin->cameraViews[1]->isOK, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!outputOn(OutAlarm), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!outputOn(OutNotAllowClose), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!board.output(OutAlarm) && !board.output(OutNotAllowClose), kTimeoutMs);

    // A part left in the first mould only; the operator shows that camera
    // and takes its picture as a template ("Add As Temp", confirmed).
    QVERIFY(showScene(env, 0, demo::Scene::Left));
    letCamerasSee();
    gpWin->SlotManualTrig(1);
    QTRY_COMPARE_WITH_TIMEOUT(gpWin->pageMode, int(PageModeAlarm), kTimeoutMs);
    QCOMPARE(gpWin->cameraViews[0]->isOK, 0);
    QCOMPARE(gpWin->cameraViews[1]->isOK, 1);
    QVERIFY(outputOn(OutAlarm));
    const int templatesBefore = templateFiles(env, 0, 1);
    page->cameraCombo->setCurrentIndex(0);
    QCOMPARE(gpWin->viewCamera, 0);
    env.modalRequests.clear();
    env.defaultAnswer = 1;
    page->addTempButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(gpWin->pageMode, int(PageModeNone), kTimeoutMs);
    QVERIFY2(askedIds(env).contains(108), qPrintable(QString::number(askedIds(env).size())));
    QCOMPARE(templateFiles(env, 0, 1), templatesBefore + 1);
    QVERIFY(!gpWin->areaPageVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!outputOn(OutAlarm) && !outputOn(OutNotAllowClose), kTimeoutMs);

    closeWindow();   // the link goes before the board
}

void TestMainWindowAreaPage::automaticAreaOnlyIntoAnEmptyDetectionShownAlone_data()
{
    QTest::addColumn<bool>("alone");   // camera 1 shown alone, else the grid
    QTest::addColumn<bool>("empty");   // its mould detection emptied first
    QTest::addColumn<int>("areas");    // areas afterwards
    QTest::newRow("alone, empty: one area") << true << true << 1;
    QTest::newRow("alone, areas drawn: unchanged") << true << false << 4;
    QTest::newRow("grid: nothing") << false << true << 0;
}

void TestMainWindowAreaPage::automaticAreaOnlyIntoAnEmptyDetectionShownAlone()
{
    QFETCH(bool, alone);
    QFETCH(bool, empty);
    QFETCH(int, areas);
    TestEnv env;
    keepLogsInside(env);
    QString error;
    demo::Options options;
    options.dir = env.dir();
    options.cameras = 2;
    options.language = LanEnglish;
    QVERIFY2(demo::makeLayout(options, &error), qPrintable(error));
    writeFloor(env);
    QVERIFY2(camsim::bus().loadJson(env.readFile(QStringLiteral("camsim.json")), &error), qPrintable(error));
    new MoJuWizard;
    CammerWidget* cam = gpWin->cameraViews[0];
    *cam->workSet = *cam->savedSet;   // as the page's opening does
    QCOMPARE(cam->workSet->roiCount[1], 4);
    if (empty)
        cam->workSet->roiCount[1] = 0;
    cam->selRoi = 0;
    gpWin->drawMode = 1;
    gpWin->viewCamera = alone ? 0 : numCamera;
    gpWin->AutogenerationRegion(1);
    QCOMPARE(cam->workSet->roiCount[1], areas);
    QCOMPARE(cam->savedSet->roiCount[1], 4);   // only the work set
    if (areas == 1) {
        QCOMPARE(gpWin->drawMode, 0);
        QCOMPARE(cam->selRoi, -1);
    }
}

void TestMainWindowAreaPage::commandPasswordsAreKeptPerCommand_data()
{
    QTest::addColumn<QStringList>("entries");   // "-" cancels
    QTest::addColumn<bool>("accepted");
    QTest::newRow("parameter password") << QStringList{"1234"} << true;
    QTest::newRow("wrong entry") << QStringList{"9999", "-"} << false;
    QTest::newRow("cancelled") << QStringList{"-"} << false;
}

void TestMainWindowAreaPage::commandPasswordsAreKeptPerCommand()
{
    // "Don't Detect" and "Add As Temp" each ask in a prompt of their own,
    // made at the first use and kept; only a level above none lets the
    // command go on, and the window's access level is not touched.
    QFETCH(QStringList, entries);
    QFETCH(bool, accepted);
    loadBus(2, "CAMA");
    TestEnv env;
    keepLogsInside(env);
    writeFloor(env);
    writeParams(env, [](WizardPara& p) {
        p.passwordEnabled = 1;
        WizardPara::SetText(p.password, QStringLiteral("1234"));
    });
    new MoJuWizard;
    QVERIFY(gpWin->findChildren<PasswordDialog*>().isEmpty());
    for (const AreaPageCommand command : {AreaPageCommandSkipMould, AreaPageCommandAddTemplate}) {
        for (int round = 0; round < 2; ++round) {
            env.modalTexts.clear();
            env.modalTextsUsed = 0;
            for (const QString& e : entries)
                env.modalTexts.push_back(e == QLatin1String("-") ? std::nullopt : std::optional<QString>(e));
            QCOMPARE(gpWin->commandPasswordAccepted(command), accepted);
        }
        QCOMPARE(gpWin->findChildren<PasswordDialog*>().size(), int(command) + 1);
    }
    QCOMPARE(gpWin->accessLevel, int(AccessLevelNone));
}

QTEST_MAIN(TestMainWindowAreaPage)
#include "tst_mainwindow_areapage.moc"
