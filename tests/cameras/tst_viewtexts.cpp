// The camera view's texts and its choices of what to draw, as tables over
// the state they depend on (English message texts).
#include "cammersingleton.h"
#include "fakeslothost.h"
#include "messages.h"
#include "screenstates.h"
#include "slotcases.h"
#include "testenv.h"
#include "viewtexts.h"
#include "wizardpara.h"

#include <QtTest>

#include <memory>

namespace {

// Expected flags per picture source, in this order, as "0"/"1" characters.
constexpr int kSources[] = {PictureSourceNone, PictureSourceTemplate, PictureSourceLive,
                            PictureSourceRecentNG, PictureSourceOKRecord, PictureSourceNGRecord};
constexpr int kSourceCount = int(sizeof(kSources) / sizeof(kSources[0]));

} // namespace

class TestViewTexts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void detectionName_data();
    void detectionName();
    void areaLabel_data();
    void areaLabel();
    void countdown_data();
    void countdown();
    void countdownOfFirstRunningTimer();
    void counterLines();
    void statusLine_data();
    void statusLine();

    void areaLayerPainted_data();
    void areaLayerPainted();
    void areasDrawn_data();
    void areasDrawn();
};

void TestViewTexts::initTestCase()
{
    FillMessageTable();
    gLan = LanEnglish;
}

void TestViewTexts::detectionName_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("d");
    QTest::addColumn<QString>("name");

    QTest::newRow("standard 0") << int(SystemModeStandard) << 0 << "Prod";
    QTest::newRow("standard 1") << int(SystemModeStandard) << 1 << "Mold";
    QTest::newRow("standard 2: none") << int(SystemModeStandard) << 2 << "";
    QTest::newRow("auto parts 1") << int(SystemModeAutoParts) << 1 << "Mold";
    QTest::newRow("two colour 0") << int(SystemModeTwoColor) << 0 << "Left prod";
    QTest::newRow("two colour 3") << int(SystemModeTwoColor) << 3 << "Right mold";
    QTest::newRow("turntable 2") << int(SystemModeTurntable) << 2 << "Right prod";
    // Message 376 would read "Left mold" again.
    QTest::newRow("two colour 4: none") << int(SystemModeTwoColor) << 4 << "";
    QTest::newRow("multi 0") << int(SystemModeMultiDetect) << 0 << "1st";
    QTest::newRow("multi 7") << int(SystemModeMultiDetect) << 7 << "8th";
    QTest::newRow("multi 8: none") << int(SystemModeMultiDetect) << 8 << "";
    QTest::newRow("negative: none") << int(SystemModeStandard) << -1 << "";
    QTest::newRow("unknown mode: none") << 5 << 0 << "";
}

void TestViewTexts::detectionName()
{
    QFETCH(int, mode);
    QFETCH(int, d);
    QFETCH(QString, name);
    QCOMPARE(DetectionName(mode, d), name);
}

void TestViewTexts::areaLabel_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("details");
    QTest::addColumn<int>("areas");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("edges");
    QTest::addColumn<QString>("label");

    const int defect = AreaFuncDefect;
    QTest::newRow("defect, minimum area, 10 areas") << defect << 45 << 800 << 0 << 10 << 2 << 120 << 0 << "3: 500 / 120 ";
    QTest::newRow("defect, 11 areas drop the limit") << defect << 45 << 800 << 0 << 11 << 2 << 120 << 0 << "3: 120";
    QTest::newRow("defect with details: C") << defect << 45 << 800 << 1 << 3 << 0 << 120 << 0 << "1: 800 / 120 ";
    QTest::newRow("similarity: B") << int(AreaFuncSimilarity) << 45 << 800 << 0 << 3 << 0 << 97 << 0 << "1: 45 / 97 ";
    QTest::newRow("spot: B--C") << int(AreaFuncSpot) << 10 << 20 << 0 << 3 << 0 << 7 << 0 << "1: 10--20 / 7 ";
    QTest::newRow("white count: low--high of C") << int(AreaFuncWhiteCount) << 45 << 131073 << 0 << 3 << 0 << 5 << 0
                                                  << "1: 1--2 / 5 ";
    QTest::newRow("white count, high limit above 32767") << int(AreaFuncWhiteCount) << 0 << int(0xFFFF0003u) << 0 << 3
                                                          << 0 << 5 << 0 << "1: 3--65535 / 5 ";
    QTest::newRow("distance: edges, value") << int(AreaFuncDistance) << 0 << 100 << 0 << 3 << 0 << 37 << 2
                                            << "1: 100 / 2, 37 ";
    QTest::newRow("distance, 11 areas") << int(AreaFuncDistance) << 0 << 100 << 0 << 11 << 10 << 37 << 1 << "11: 1, 37";
    QTest::newRow("black area: C") << int(AreaFuncBlackArea) << 45 << 300 << 0 << 3 << 1 << 9 << 0 << "2: 300 / 9 ";
}

void TestViewTexts::areaLabel()
{
    QFETCH(int, method);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, details);
    QFETCH(int, areas);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(int, edges);
    QFETCH(QString, label);

    TestEnv env;
    const int d = 3;
    AreaLabelCase area(d, areas, index, method, b, c, details);
    area.set->roiMinSize[d][index] = 3;

    QCOMPARE(AreaLabel(*area.set, d, index, value, edges, *area.para), label);
}

void TestViewTexts::countdown_data()
{
    QTest::addColumn<float>("seconds");   // as the cycle hands it over
    QTest::addColumn<QString>("text");

    QTest::newRow("1.5") << 1.5f << "1.5";
    QTest::newRow("12.3") << 12.3f << "12.3";
    QTest::newRow("0.1") << 0.1f << "0.1";
    QTest::newRow("three digits") << 123.4f << "123";
    QTest::newRow("just above 0.02") << 0.021f << "0.021";
    QTest::newRow("0.02 not shown") << 0.02f << "";
    QTest::newRow("none running") << 0.0f << "";
}

void TestViewTexts::countdown()
{
    QFETCH(float, seconds);
    QFETCH(QString, text);
    QCOMPARE(CountdownText(seconds), text);
}

// The first running delay timer below the detection count gives the time,
// even when a later one has more left.
void TestViewTexts::countdownOfFirstRunningTimer()
{
    TestEnv env;
    FakeSlotHost host;
    host.delayCountdown[1] = 9.0f;   // not running
    host.delayTimerRunning[2] = true;
    host.delayCountdown[2] = 1.5f;
    host.delayTimerRunning[4] = true;
    host.delayCountdown[4] = 3.0f;
    QCOMPARE(FirstDelayCountdown(host, 8), 1.5f);
    QCOMPARE(FirstDelayCountdown(host, 2), 0.0f);
    host.delayTimerRunning[2] = false;
    QCOMPARE(FirstDelayCountdown(host, 8), 3.0f);
    QCOMPARE(FirstDelayCountdown(host, 4), 0.0f);
}

void TestViewTexts::counterLines()
{
    QCOMPARE(TemplateCounterLine(2, 10, QStringLiteral("4: 120")), QStringLiteral("Templates 3 / 10     4: 120"));
    QCOMPARE(TemplateCounterLine(0, 1, QString()), QStringLiteral("Templates 1 / 1     "));
    QCOMPARE(CountLine(false, 5, 100, 30), QStringLiteral("NG 5 / Total 100      FPS 30"));
    QCOMPARE(CountLine(true, 5, 100, 30), QStringLiteral("Total 100      FPS 30"));
}

void TestViewTexts::statusLine_data()
{
    QTest::addColumn<int>("runState");
    QTest::addColumn<int>("phase");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");

    const QColor green(Qt::green), red(Qt::red), cyan(Qt::cyan);
    QTest::newRow("counting down") << int(RunStateDetecting) << int(PhaseCountdown) << false << "Cam 2 Mold detecting" << green;
    QTest::newRow("detected") << int(RunStateDetecting) << int(PhaseDetected) << false << "Cam 2 Mold detected" << green;
    QTest::newRow("waiting") << int(RunStateDetecting) << int(PhaseShown) << false << "Cam 2 Mold Waiting" << green;
    QTest::newRow("resampling") << int(RunStateTraining) << int(PhaseShown) << false << "Cam 2 Mold resampling" << cyan;
    QTest::newRow("stopped") << int(RunStateStopped) << int(PhaseDetected) << false << "Cam 2 Mold stopping" << red;
    QTest::newRow("skip line") << int(RunStateDetecting) << int(PhaseShown) << true << "Cam 2 skip 4 times" << red;
    QTest::newRow("skip line while stopped") << int(RunStateStopped) << int(PhaseShown) << true << "Cam 2 skip 4 times" << red;
}

void TestViewTexts::statusLine()
{
    QFETCH(int, runState);
    QFETCH(int, phase);
    QFETCH(bool, skip);
    QFETCH(QString, text);
    QFETCH(QColor, color);

    const StatusLine line = ViewStatusLine(1, DetectionName(SystemModeStandard, 1), runState, phase, skip, 4);
    QCOMPARE(line.text, text);
    QCOMPARE(line.color, color);
}

// painted: one character per source of kSources (idle, template, live,
// recent NG, OK record, NG record).
void TestViewTexts::areaLayerPainted_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<bool>("liveRoiDisplay");
    QTest::addColumn<QString>("painted");

    QTest::newRow("monitoring") << int(PageModeNone) << false << "010000";
    QTest::newRow("monitoring, live areas shown") << int(PageModeNone) << true << "111000";
    QTest::newRow("OK shown") << int(PageModeOKShown) << false << "111000";
    QTest::newRow("OK shown, live areas shown") << int(PageModeOKShown) << true << "111000";
    QTest::newRow("alarm") << int(PageModeAlarm) << false << "011000";
    QTest::newRow("alarm, live areas shown") << int(PageModeAlarm) << true << "011000";
    QTest::newRow("area page") << int(PageModeArea) << false << "010000";
    QTest::newRow("area page, live areas shown") << int(PageModeArea) << true << "010000";
}

void TestViewTexts::areaLayerPainted()
{
    QFETCH(int, pageMode);
    QFETCH(bool, liveRoiDisplay);
    QFETCH(QString, painted);

    QString got;
    for (int k = 0; k < kSourceCount; ++k)
        got += AreaLayerPainted(pageMode, kSources[k], liveRoiDisplay) ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(got, painted);
}

// drawn: one character per area 0..3 of a detection whose area 1 is a
// positioning area.
void TestViewTexts::areasDrawn_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("selRoi");
    QTest::addColumn<int>("moveMode");
    QTest::addColumn<QString>("drawn");
    QTest::addColumn<bool>("labelInCounterLine");

    QTest::newRow("template, none selected") << int(PictureSourceTemplate) << -1 << int(MoveModeShowPanel) << "1111" << false;
    QTest::newRow("template, 2 selected") << int(PictureSourceTemplate) << 2 << int(MoveModeShowPanel) << "0010" << true;
    QTest::newRow("template, positioning selected") << int(PictureSourceTemplate) << 1 << int(MoveModeHidePanel) << "0100" << true;
    QTest::newRow("template, 2 selected, all move") << int(PictureSourceTemplate) << 2 << int(MoveModeAll) << "1111" << true;
    QTest::newRow("live") << int(PictureSourceLive) << -1 << int(MoveModeShowPanel) << "1011" << false;
    QTest::newRow("live, selection ignored") << int(PictureSourceLive) << 2 << int(MoveModeShowPanel) << "1011" << false;
    QTest::newRow("idle") << int(PictureSourceNone) << -1 << int(MoveModeAll) << "1011" << false;
    QTest::newRow("recent NG") << int(PictureSourceRecentNG) << -1 << int(MoveModeShowPanel) << "0000" << false;
    QTest::newRow("NG record") << int(PictureSourceNGRecord) << 2 << int(MoveModeShowPanel) << "0000" << false;
}

void TestViewTexts::areasDrawn()
{
    QFETCH(int, source);
    QFETCH(int, selRoi);
    QFETCH(int, moveMode);
    QFETCH(QString, drawn);
    QFETCH(bool, labelInCounterLine);

    const int methods[] = {AreaFuncDefect, AreaFuncPosition, AreaFuncSpot, AreaFuncDistance};
    QString got;
    for (int i = 0; i < 4; ++i)
        got += AreaDrawn(source, selRoi, moveMode, i, methods[i]) ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(got, drawn);
    QCOMPARE(LabelInCounterLine(source, selRoi), labelInCounterLine);
}

QTEST_MAIN(TestViewTexts)
#include "tst_viewtexts.moc"
