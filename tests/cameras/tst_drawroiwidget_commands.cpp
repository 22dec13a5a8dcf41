// The area page's commands over three camera slots on the simulated bus with
// PARAM.db and a recording relay: the save question, the transaction with
// its change records, positioning and partner copies, failures that leave
// everything as it was, the re-check and its view, "Don't Detect", a re-check
// click that arrives while a command waits in a box, "End Set", the drawing
// tools, the deletes, and the ignore points kept apart until saved.
#include "cameraglobals.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "drawroiwidget.h"
#include "messages.h"
#include "slotpictures.h"
#include "sharedboxes.h"
#include "slotrig.h"
#include "warnbox.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int kW = 64;
constexpr int kH = 40;
constexpr double kShowA = 10.0;   // a 640 x 400 screen
constexpr int kSlots = 3;

QString dev(const QString& serial)
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
        .arg(serial)
        .arg(kW)
        .arg(kH);
}

// The engine calls the page makes, in order, as "shape C D" and "train C D".
QStringList& engineCalls()
{
    static QStringList calls;
    return calls;
}

class RecordingSlot : public CammerWidget {
public:
    using CammerWidget::CammerWidget;
    void CreateShape(int d) override
    {
        engineCalls() << QStringLiteral("shape %1 %2").arg(camIndex).arg(d);
        CammerWidget::CreateShape(d);
    }
    void VarTrain(int d) override
    {
        engineCalls() << QStringLiteral("train %1 %2").arg(camIndex).arg(d);
        CammerWidget::VarTrain(d);
    }
};

void setRect(CammerSingleton& s, int d, int i, int left, int method)
{
    s.roiShape[d][i] = RoiShapeRect;
    s.roiRect[d][i] = ClustomRect(QRect(QPoint(left, 40), QPoint(left + 80, 120)));
    s.roiRect[d][i].setImageRect();
    s.roiMethod[d][i] = method;
    s.roiMinSize[d][i] = 3;
    s.roiSensibility[d][i] = 45;
    s.roiMaxArea[d][i] = 100;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool allOf(const std::vector<uchar>& v, uchar value)
{
    return !v.empty() && std::all_of(v.begin(), v.end(), [value](uchar x) { return x == value; });
}

} // namespace

class TestDrawROIWidgetCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();

    void noChangeAsksNothingAndServesRetrains();
    void answerNoKeepsEdits();
    void saveRecordsAndRebuilds_data();
    void saveRecordsAndRebuilds();
    void partnerCopyOnSave();
    void failedSaveChangesNothing_data();
    void failedSaveChangesNothing();
    void reCheckSavesThenRunsTheCycleOnce();
    void reCheckView_data();
    void reCheckView();
    void dontDetect_data();
    void dontDetect();
    void reCheckClickWhileABoxWaits_data();
    void reCheckClickWhileABoxWaits();
    void endSet_data();
    void endSet();
    void tools_data();
    void tools();
    void polygonButtonEndsThePolygon();
    void deleteSelected_data();
    void deleteSelected();
    void deleteAll_data();
    void deleteAll();
    void ignoreWorkCopy_data();
    void ignoreWorkCopy();

private:
    CammerWidget* slot(int c) const { return rig_->slot[c]; }
    ViewState& vs() { return rig_->host.view; }
    QSqlDatabase db() const { return QSqlDatabase::database(QStringLiteral("param")); }
    // The set of camera c as PARAM.db holds it.
    CammerSingleton stored(int c) const;
    // Message ids of the boxes asked since init.
    QList<int> asked() const;
    // Host events matching a prefix.
    QStringList events(const QString& prefix) const;
    // Every slot: work set := saved set, work masks := live masks.
    void openPage();

    std::unique_ptr<SlotRig> rig_;
    std::unique_ptr<DrawROIWidget> page_;
    std::unique_ptr<SharedBoxes> boxes_;
};

void TestDrawROIWidgetCommands::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 2;
    gDNum = 2;
    gLan = LanEnglish;
    QVERIFY(rig_->load(dev("CAM01") + "," + dev("CAM02") + "," + dev("CAM03")));
    setTestGeometry(kW, kH, kShowA);
    applyGeometry();
    rig_->buildSlots<RecordingSlot>(kSlots);
    QCOMPARE(numCamera, kSlots);
    boxes_ = std::make_unique<SharedBoxes>();

    WizardPara& p = rig_->host.para;
    p.systemMode = 0;
    p.detectEnabled[0] = 1;
    p.detectEnabled[1] = 1;
    p.netEnabled = 1;
    rig_->host.pageMode = PageModeArea;
    vs().viewCamera = 0;
    vs().editDetect = 0;
    gSource = PictureSourceTemplate;

    // Every camera: two defect rectangles in detection 0, one in detection 1.
    for (int c = 0; c < kSlots; ++c) {
        CammerSingleton& s = *slot(c)->savedSet;
        for (int d = 0; d < kDetections; ++d)
            s.roiCount[d] = 0;
        s.roiCount[0] = 2;
        setRect(s, 0, 0, 40, AreaFuncDefect);
        setRect(s, 0, 1, 300, AreaFuncDefect);
        s.roiCount[1] = 1;
        setRect(s, 1, 0, 100, AreaFuncDefect);
        QVERIFY(s.SaveDatatoFile(db(), false));
        slot(c)->isOK = 1;
    }
    page_ = std::make_unique<DrawROIWidget>(&rig_->host, rig_->window.get());
    rig_->host.page = page_.get();
    openPage();
}

void TestDrawROIWidgetCommands::cleanup()
{
    rig_->host.page = nullptr;
    page_.reset();
    boxes_.reset();
    rig_.reset();
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
}

CammerSingleton TestDrawROIWidgetCommands::stored(int c) const
{
    CammerSingleton s(c);
    s.LoadDatafromFile(db(), nullptr);
    return s;
}

QList<int> TestDrawROIWidgetCommands::asked() const
{
    QList<int> ids;
    for (const ModalRequest& r : rig_->env.modalRequests)
        ids << r.messageId;
    return ids;
}

QStringList TestDrawROIWidgetCommands::events(const QString& prefix) const
{
    QStringList out;
    for (const QString& e : rig_->host.events)
        if (e.startsWith(prefix))
            out << e;
    return out;
}

void TestDrawROIWidgetCommands::openPage()
{
    for (int c = 0; c < kSlots; ++c) {
        CammerWidget* w = slot(c);
        w->savedSet->RebuildMasks(w->liveMask);
        *w->workSet = *w->savedSet;
        w->BackMask();
        w->dropIgnoreWork();
    }
    rig_->host.events.clear();
    rig_->net.clear();
    engineCalls().clear();
}

void TestDrawROIWidgetCommands::noChangeAsksNothingAndServesRetrains()
{
    page_->retrainPending[1] = true;
    QVERIFY(page_->SlotSaveData());
    QVERIFY(asked().isEmpty());
    QCOMPARE(engineCalls(), QStringList({"train 1 0", "train 1 1"}));
    QVERIFY(!page_->retrainPending[1]);
    QVERIFY(events("record").isEmpty());
    QVERIFY(rig_->net.calls().isEmpty());
    // Served once only.
    engineCalls().clear();
    page_->SlotSaveData();
    QVERIFY(engineCalls().isEmpty());
}

void TestDrawROIWidgetCommands::answerNoKeepsEdits()
{
    slot(0)->workSet->roiSensibility[0][1] = 60;
    page_->retrainPending[2] = true;
    rig_->env.modalAnswers = {0};
    QVERIFY(page_->SlotSaveData());
    QCOMPARE(asked(), QList<int>({72}));
    QCOMPARE(slot(0)->workSet->roiSensibility[0][1], 60);
    QCOMPARE(slot(0)->savedSet->roiSensibility[0][1], 45);
    QCOMPARE(stored(0).roiSensibility[0][1], 45);
    QCOMPARE(engineCalls(), QStringList({"train 2 0", "train 2 1"}));
    QVERIFY(events("record").isEmpty());
    QVERIFY(rig_->net.calls().isEmpty());
}

void TestDrawROIWidgetCommands::saveRecordsAndRebuilds_data()
{
    QTest::addColumn<bool>("positioning");
    QTest::addColumn<bool>("mouldEnabled");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("a value") << false << true << QStringList{"train 1 0", "train 1 1"};
    QTest::newRow("positioning") << true << true << QStringList{"shape 1 0", "shape 1 1", "train 1 0", "train 1 1"};
    QTest::newRow("positioning, mould off") << true << false << QStringList{"shape 1 0", "train 1 0"};
}

void TestDrawROIWidgetCommands::saveRecordsAndRebuilds()
{
    QFETCH(bool, positioning);
    QFETCH(bool, mouldEnabled);
    QFETCH(QStringList, calls);
    rig_->host.para.detectEnabled[1] = mouldEnabled;

    CammerSingleton& work = *slot(1)->workSet;
    work.roiSensibility[0][1] = 60;
    if (positioning) {
        work.roiCount[1] = 2;
        setRect(work, 1, 1, 400, AreaFuncPosition);
    }
    rig_->env.modalAnswers = {1};
    QVERIFY(page_->SlotSaveData());

    QCOMPARE(asked(), QList<int>({72}));
    QVERIFY(*slot(1)->savedSet == work);
    QVERIFY(stored(1) == work);
    QVERIFY(slot(1)->liveMask[0][1].data == slot(1)->workMask[0][1].data);
    QStringList records{
        "record Detection Prod of camera 2 Changed the rectangular  area 2, The function is Defect detection, "
        "Changing the sensitivity  from 45 to 60"};
    if (positioning)
        records << "record Detection Mold of camera 2 Added rectangular  area 2, function is Target Position,"
                   "the search speed is 45, the positioning accuracy is 100, the least match is 3";
    QCOMPARE(events("record"), records);
    QStringList relay;
    for (int g = 0; g < kDetections; ++g)
        relay << QStringLiteral("roi 1 %1").arg(g);
    QCOMPARE(rig_->net.calls(), relay);
    // The other cameras are neither rebuilt nor retrained.
    QCOMPARE(engineCalls(), calls);
    QVERIFY(!page_->retrainPending[1]);
}

void TestDrawROIWidgetCommands::partnerCopyOnSave()
{
    rig_->host.para.moldSameAsProduct = 1;
    CammerSingleton& work = *slot(0)->workSet;
    work.roiCount[0] = 3;
    setRect(work, 0, 2, 500, AreaFuncSpot);
    slot(0)->workMask[0][2] = work.UpdateAreaMask(0, 2);
    rig_->env.modalAnswers = {1};
    QVERIFY(page_->SlotSaveData());

    // The mould detection takes the product's areas, in the saved set, the
    // work set and PARAM.db, sharing the product's masks.
    const CammerSingleton& saved = *slot(0)->savedSet;
    QCOMPARE(saved.roiCount[1], 3);
    QVERIFY(saved.roiRect[1][2] == saved.roiRect[0][2]);
    QCOMPARE(saved.roiMethod[1][2], int(AreaFuncSpot));
    QVERIFY(*slot(0)->workSet == saved);
    QVERIFY(stored(0) == saved);
    QVERIFY(slot(0)->liveMask[1][2].data == slot(0)->liveMask[0][2].data);
    QVERIFY(slot(0)->workMask[1][2].data == slot(0)->liveMask[0][2].data);
}

void TestDrawROIWidgetCommands::failedSaveChangesNothing_data()
{
    QTest::addColumn<bool>("locked");
    QTest::newRow("statement refused by a trigger") << false;
    QTest::newRow("database locked by another connection") << true;
}

void TestDrawROIWidgetCommands::failedSaveChangesNothing()
{
    QFETCH(bool, locked);
    // Cameras 1 and 2 changed, camera 2 with ignore points deleted; camera
    // 1 is written first, so its rows must be rolled back.
    for (int c = 1; c < kSlots; ++c) {
        CammerSingleton& work = *slot(c)->workSet;
        work.roiMethod[0][0] = AreaFuncPosition;
        work.roiCount[1] = 0;
    }
    std::fill(slot(2)->ignoreMask[0].begin(), slot(2)->ignoreMask[0].end(), uchar(255));
    slot(2)->clearIgnorePoints(0, QRect(0, 0, kW, kH));
    QVERIFY(!slot(2)->ignoreWorkMask[0].empty());
    const CammerSingleton saved1 = *slot(1)->savedSet;
    const CammerSingleton work1 = *slot(1)->workSet;
    const AreaMaskArray live1 = slot(1)->liveMask;
    const uchar* liveData = slot(1)->liveMask[1][0].data;
    page_->retrainPending[0] = true;

    QSqlDatabase locker;
    if (locked) {
        QSqlDatabase param = db();
        param.close();
        param.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=20"));
        QVERIFY(param.open());
        locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        locker.setDatabaseName(rig_->env.path(QStringLiteral("PARAM.db")));
        QVERIFY(locker.open());
        QSqlQuery q(locker);
        QVERIFY2(q.exec(QStringLiteral("begin exclusive")), qPrintable(q.lastError().text()));
    } else {
        QSqlQuery q(db());
        QVERIFY2(q.exec(QStringLiteral("create trigger refuse before update on cammer2 "
                                       "begin select raise(abort, 'refused'); end")),
                 qPrintable(q.lastError().text()));
    }

    rig_->env.modalAnswers = {1};
    QVERIFY(!page_->SlotSaveData());
    if (locked) {
        QSqlQuery q(locker);
        QVERIFY(q.exec(QStringLiteral("rollback")));
        locker.close();
    }

    QCOMPARE(asked(), QList<int>({72, 1}));
    QVERIFY(stored(1) == saved1);
    QVERIFY(*slot(1)->savedSet == saved1);
    QVERIFY(*slot(1)->workSet == work1);
    QVERIFY(slot(1)->liveMask[1][0].data == liveData);
    for (int d = 0; d < 2; ++d)
        for (int i = 0; i < 2; ++i)
            QVERIFY(slot(1)->liveMask[d][i].data == live1[d][i].data);
    QVERIFY(*slot(2)->workSet != *slot(2)->savedSet);
    QVERIFY(allOf(slot(2)->ignoreMask[0], 255));
    QVERIFY(allOf(slot(2)->ignoreWorkMask[0], 0));
    QVERIFY(!QFile::exists(IgnorePointFile(2, 0)));
    QVERIFY(events("record").isEmpty());
    QVERIFY(rig_->net.calls().isEmpty());
    // No positioning rebuilt; the retrain that was pending still runs.
    QCOMPARE(engineCalls(), QStringList({"train 0 0", "train 0 1"}));
    QVERIFY(!page_->retrainPending[1] && !page_->retrainPending[2]);

    // Once the database answers again the same edits are saved.
    if (!locked) {
        QSqlQuery q(db());
        QVERIFY(q.exec(QStringLiteral("drop trigger refuse")));
    }
    rig_->env.modalAnswers.push_back(1);
    QVERIFY(page_->SlotSaveData());
    QCOMPARE(stored(1).roiMethod[0][0], int(AreaFuncPosition));
    QCOMPARE(stored(1).roiCount[1], 0);
    QVERIFY(allOf(slot(2)->ignoreMask[0], 0));
    QVERIFY(QFile::exists(IgnorePointFile(2, 0)));
}

void TestDrawROIWidgetCommands::reCheckSavesThenRunsTheCycleOnce()
{
    rig_->host.pageMode = PageModeAlarm;
    gSource = PictureSourceLive;
    slot(0)->workSet->roiSensibility[0][0] = 50;
    rig_->env.modalAnswers = {1};
    page_->SlotReCheck();
    QCOMPARE(asked(), QList<int>({72}));
    const QStringList& e = rig_->host.events;
    QCOMPARE(events("re-detect held").size(), 1);
    const int record = e.indexOf(QRegularExpression("record .*"));
    QVERIFY2(record >= 0, qPrintable(e.join('|')));
    QVERIFY(record < e.indexOf("re-detect held"));
    QCOMPARE(stored(0).roiSensibility[0][0], 50);
    QCOMPARE(engineCalls(), QStringList({"train 0 0", "train 0 1"}));
}

void TestDrawROIWidgetCommands::reCheckView_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("ok");   // isOK of cameras 0..2 after the verdict
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("sourceAfter");
    const int alarm = PageModeAlarm;
    const int live = PictureSourceLive;
    QTest::newRow("b still NG stays") << alarm << live << 1 << "000" << 1 << live;
    QTest::newRow("b OK, next NG wraps round") << alarm << live << 1 << "011" << 0 << live;
    QTest::newRow("b OK, next NG after it") << alarm << live << 0 << "110" << 2 << live;
    QTest::newRow("none NG: b") << alarm << live << 2 << "111" << 2 << live;
    QTest::newRow("grid stays") << alarm << live << kSlots << "011" << kSlots << live;
    QTest::newRow("recent NG source stays") << alarm << int(PictureSourceRecentNG) << 1 << "011" << 1
                                            << int(PictureSourceRecentNG);
    QTest::newRow("alarm ended") << int(PageModeNone) << live << 1 << "111" << 1 << int(PictureSourceNone);
    QTest::newRow("area page") << int(PageModeArea) << int(PictureSourceTemplate) << 0 << "111" << 0
                               << int(PictureSourceNone);
}

void TestDrawROIWidgetCommands::reCheckView()
{
    QFETCH(int, pageMode);
    QFETCH(int, source);
    QFETCH(int, b);
    QFETCH(QString, ok);
    QFETCH(int, view);
    QFETCH(int, sourceAfter);
    rig_->host.pageMode = PageModeAlarm;
    gSource = source;
    vs().viewCamera = b;
    // The cycle's verdict decides the cameras' state and maybe ends the alarm.
    rig_->host.onReDetect = [&] {
        for (int c = 0; c < kSlots; ++c)
            slot(c)->isOK = ok[c] == QLatin1Char('1');
        rig_->host.pageMode = pageMode;
    };
    page_->SlotReCheck();
    QCOMPARE(vs().viewCamera, view);
    QCOMPARE(gSource, sourceAfter);
    const bool moved = pageMode == PageModeAlarm && source == PictureSourceLive && b < kSlots;
    QCOMPARE(events("change cammer"), moved ? QStringList{QStringLiteral("change cammer %1").arg(view)} : QStringList());
    if (moved)
        QCOMPARE(page_->cameraCombo->currentIndex(), view);
}

void TestDrawROIWidgetCommands::dontDetect_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<int>("cameraOk");         // isOK of the shown camera
    QTest::addColumn<bool>("lastNg");
    QTest::addColumn<bool>("doorRule");        // safetyDoorClearsAlarm, door not opened
    QTest::addColumn<bool>("ownPassword");     // skipMoldPassword without passwordEnabled
    QTest::addColumn<bool>("accessOk");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("asked");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("all, yes") << true << 0 << true << false << false << true << 1 << QList<int>{102} << true;
    QTest::newRow("all, no") << true << 0 << true << false << false << true << 0 << QList<int>{102} << false;
    QTest::newRow("all, own password") << true << 0 << true << false << true << true << 1 << QList<int>{102} << true;
    QTest::newRow("all, own password refused") << true << 0 << true << false << true << false << 1 << QList<int>{}
                                               << false;
    QTest::newRow("all, login refused") << true << 0 << true << false << false << false << 1 << QList<int>{} << false;
    QTest::newRow("door not opened") << true << 0 << true << true << false << true << 1 << QList<int>{195} << false;
    QTest::newRow("one, yes") << false << 0 << true << false << false << true << 1 << QList<int>{105} << true;
    QTest::newRow("one, no") << false << 0 << true << false << false << true << 0 << QList<int>{105} << false;
    QTest::newRow("one passed while another is NG") << false << 1 << true << false << false << true << 1
                                                     << QList<int>{107} << false;
    QTest::newRow("one passed, no NG verdict") << false << 1 << false << false << false << true << 1
                                               << QList<int>{105} << true;
}

void TestDrawROIWidgetCommands::dontDetect()
{
    QFETCH(bool, all);
    QFETCH(int, cameraOk);
    QFETCH(bool, lastNg);
    QFETCH(bool, doorRule);
    QFETCH(bool, ownPassword);
    QFETCH(bool, accessOk);
    QFETCH(int, answer);
    QFETCH(QList<int>, asked);
    QFETCH(bool, cleared);

    FakeAreaPageHost& h = rig_->host;
    h.pageMode = PageModeAlarm;
    h.currentDetect = 1;
    gSource = PictureSourceLive;
    h.lastVerdictNg = lastNg;
    h.para.safetyDoorClearsAlarm = doorRule;
    h.safeDoorOpened = false;
    h.para.skipMoldPassword = ownPassword;
    h.commandPasswordOk[AreaPageCommandSkipMould] = accessOk;
    h.passwordLevel = accessOk ? 1 : 0;
    for (int c = 0; c < kSlots; ++c) {
        h.failImageState[c][1] = FailImgNgHeld;
        slot(c)->isOK = 0;
    }
    h.failImageState[2][1] = FailImgArmed;
    vs().viewCamera = all ? kSlots : 1;
    slot(1)->isOK = cameraOk;
    rig_->env.modalAnswers = {answer};

    page_->SlotNoCheckCur();

    QCOMPARE(this->asked(), asked);
    if (asked.contains(105))
        QCOMPARE(rig_->env.modalRequests[0].text, Msg(105).arg(2));
    QCOMPARE(events("check password").size(), ownPassword ? 0 : 1);
    QCOMPARE(events("command password").size(), ownPassword ? 1 : 0);
    if (all) {
        QCOMPARE(h.failImageState[0][1], int(cleared ? FailImgClearedSkip : FailImgNgHeld));
        QCOMPARE(h.failImageState[1][1], int(cleared ? FailImgClearedSkip : FailImgNgHeld));
        QCOMPARE(h.failImageState[2][1], int(FailImgArmed));
        QStringList expected;
        if (cleared)
            expected = QStringList{"reset run", "user re-check 1", "check ng",
                                   "record All cameras do not detect this mold"};
        QStringList seen = h.events.filter(QRegularExpression("^(reset run|user re-check|check ng|record|re-detect)"));
        QCOMPARE(seen, expected);
        QCOMPARE(gSource, cleared ? int(PictureSourceNone) : int(PictureSourceLive));
    } else {
        QCOMPARE(h.failImageState[1][1], int(cleared ? FailImgClearedSkip : FailImgNgHeld));
        QCOMPARE(h.failImageState[0][1], int(FailImgNgHeld));
        QCOMPARE(int(slot(1)->skipMould[1]), cleared ? 1 : 0);
        QCOMPARE(int(slot(0)->skipMould[1]), 0);
        QStringList expected;
        if (cleared)
            expected = QStringList{"record Camera 2 do not detect the mold", "re-detect held"};
        QCOMPARE(h.events.filter(QRegularExpression("^(reset run|check ng|record|re-detect)")), expected);
    }
}

void TestDrawROIWidgetCommands::reCheckClickWhileABoxWaits_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("alarmEnds");   // the cycle ends the alarm while the box waits
    QTest::newRow("one click") << 1 << false;
    QTest::newRow("two clicks run once") << 2 << false;
    QTest::newRow("alarm ended meanwhile") << 1 << true;
}

void TestDrawROIWidgetCommands::reCheckClickWhileABoxWaits()
{
    QFETCH(int, clicks);
    QFETCH(bool, alarmEnds);
    FakeAreaPageHost& h = rig_->host;
    h.pageMode = PageModeAlarm;
    gSource = PictureSourceLive;
    slot(0)->workSet->roiSensibility[0][0] = 50;

    // The main loop runs while message 72 waits and clicks "Re-detected".
    QStringList seenInBox;
    modal::setHook([&](const ModalRequest& r) {
        rig_->env.modalRequests.push_back(r);
        if (r.messageId == 72) {
            for (int k = 0; k < clicks; ++k)
                page_->reCheckButton->click();
            if (alarmEnds)
                h.pageMode = PageModeNone;
            seenInBox = h.events;
        }
        return 1;
    });
    page_->SlotSaveData();

    QVERIFY(!seenInBox.contains("re-detect held"));
    QCOMPARE(asked(), QList<int>({72}));
    QCOMPARE(events("re-detect held").size(), alarmEnds ? 0 : 1);
    QCOMPARE(events("record").size(), 1);
    if (!alarmEnds)
        QVERIFY(h.events.indexOf(QRegularExpression("record .*")) < h.events.indexOf("re-detect held"));
    QCOMPARE(stored(0).roiSensibility[0][0], 50);
    // Nothing stays held for a later command.
    page_->SlotSaveData();
    QCOMPARE(events("re-detect held").size(), alarmEnds ? 0 : 1);
}

void TestDrawROIWidgetCommands::endSet_data()
{
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<bool>("fromTrain");
    QTest::addColumn<bool>("saveFails");
    QTest::newRow("alarm") << int(PageModeAlarm) << true << false;
    QTest::newRow("area page") << int(PageModeArea) << false << false;
    QTest::newRow("area page after re-sampling") << int(PageModeArea) << true << false;
    QTest::newRow("area page, save failed") << int(PageModeArea) << true << true;
}

void TestDrawROIWidgetCommands::endSet()
{
    QFETCH(int, pageMode);
    QFETCH(bool, fromTrain);
    QFETCH(bool, saveFails);
    if (saveFails) {
        QSqlQuery q(db());
        QVERIFY(q.exec(QStringLiteral("create trigger refuse before update on cammer0 "
                                      "begin select raise(abort, 'refused'); end")));
    }
    FakeAreaPageHost& h = rig_->host;
    h.pageMode = pageMode;
    h.fromTrain = fromTrain;
    h.para.showCavityNumbers = 1;
    gSource = pageMode == PageModeAlarm ? PictureSourceRecentNG : PictureSourceTemplate;
    page_->pageAtLeft = true;
    vs().copyAreaMode = true;
    slot(0)->tempShown = 1;
    slot(0)->selRoi = 1;
    slot(1)->tempShown = 2;
    slot(0)->workSet->roiSensibility[0][0] = 50;
    h.statusStripShown = false;
    rig_->env.modalAnswers = {1};

    page_->SlotReturn();

    QCOMPARE(h.events.value(0), QStringLiteral("hide keypads"));
    QVERIFY(h.statusStripShown);
    QCOMPARE(slot(0)->tempShown, 0);
    QCOMPARE(slot(1)->tempShown, 0);
    QCOMPARE(slot(0)->selRoi, -1);
    if (saveFails) {
        // The page stays open as it was, the edits in the work set.
        QCOMPARE(asked(), QList<int>({72, 1}));
        QCOMPARE(stored(0).roiSensibility[0][0], 45);
        QCOMPARE(slot(0)->workSet->roiSensibility[0][0], 50);
        QCOMPARE(gSource, int(PictureSourceTemplate));
        QVERIFY(page_->pageAtLeft);
        QVERIFY(vs().copyAreaMode);
        QVERIFY(events("back train").isEmpty());
        QVERIFY(events("page mode").isEmpty());
        QVERIFY(h.fromTrain);
        return;
    }
    QCOMPARE(asked(), QList<int>({72}));
    QCOMPARE(stored(0).roiSensibility[0][0], 50);
    if (pageMode == PageModeAlarm) {
        // Open on the live picture.
        QCOMPARE(gSource, int(PictureSourceLive));
        QVERIFY(events("page mode").isEmpty());
        QVERIFY(events("back train").isEmpty());
        QVERIFY(h.fromTrain);
    } else {
        QCOMPARE(gSource, int(PictureSourceNone));
        QVERIFY(!page_->pageAtLeft);
        QVERIFY(!vs().copyAreaMode);
        QCOMPARE(events("back train").size(), fromTrain ? 1 : 0);
        QCOMPARE(events("page mode"), QStringList{"page mode 0"});
        QVERIFY(!h.fromTrain);
    }
}

void TestDrawROIWidgetCommands::tools_data()
{
    QTest::addColumn<int>("tool");   // 0 copy, 1 rectangle, 2 circle, 3 gesture, 4 polygon
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("drawMode");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<bool>("freehand");
    const int t = PictureSourceTemplate;
    QTest::newRow("copy") << 0 << 0 << t << 0 << true << true;
    QTest::newRow("rectangle") << 1 << 0 << t << 1 << false << true;
    QTest::newRow("circle") << 2 << 0 << t << 4 << false << true;
    QTest::newRow("gesture") << 3 << 0 << t << 2 << false << true;
    QTest::newRow("polygon") << 4 << 0 << t << 2 << false << false;
    QTest::newRow("rectangle over the grid") << 1 << kSlots << t << -1 << true << true;
    QTest::newRow("polygon on live") << 4 << 0 << int(PictureSourceLive) << -1 << true << true;
    QTest::newRow("copy on recent NG") << 0 << 0 << int(PictureSourceRecentNG) << -1 << true << true;
}

void TestDrawROIWidgetCommands::tools()
{
    QFETCH(int, tool);
    QFETCH(int, view);
    QFETCH(int, source);
    QFETCH(int, drawMode);
    QFETCH(bool, copy);
    QFETCH(bool, freehand);
    vs().viewCamera = view;
    gSource = source;
    vs().drawMode = -1;   // untouched marker
    vs().copyAreaMode = true;
    vs().freehandMode = true;
    slot(0)->selRoi = 1;
    switch (tool) {
    case 0: page_->SlotCopyArea(); break;
    case 1: page_->SlotDrawRect(); break;
    case 2: page_->SlotDrawCircle(); break;
    case 3: page_->SlotDrawHand(); break;
    default: page_->SlotDrawPloygn(); break;
    }
    QCOMPARE(vs().drawMode, drawMode);
    QCOMPARE(vs().copyAreaMode, copy);
    QCOMPARE(vs().freehandMode, freehand);
    // A drawing tool starts with nothing selected; copy keeps the selection.
    QCOMPARE(slot(0)->selRoi, drawMode > 0 ? -1 : 1);
}

void TestDrawROIWidgetCommands::polygonButtonEndsThePolygon()
{
    page_->SlotDrawPloygn();
    QCOMPARE(vs().drawMode, 2);
    EditorState& e = slot(0)->editor;
    e.editAction = EditActionDraw;
    e.polyPoints[0] = QPoint(100, 100);
    e.polyPoints[1] = QPoint(200, 100);
    e.polyPoints[2] = QPoint(150, 200);
    e.polyCount = 3;
    page_->SlotDrawPloygn();
    QCOMPARE(slot(0)->workSet->roiCount[0], 3);
    QCOMPARE(slot(0)->workSet->roiShape[0][2], int(RoiShapePolygon));
    QCOMPARE(vs().drawMode, 0);
    QCOMPARE(slot(0)->savedSet->roiCount[0], 2);
}

void TestDrawROIWidgetCommands::deleteSelected_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("asked");
    QTest::addColumn<int>("count");
    QTest::newRow("yes") << 0 << 0 << 1 << QList<int>{66} << 1;
    QTest::newRow("no") << 0 << 0 << 0 << QList<int>{66} << 2;
    QTest::newRow("nothing selected") << -1 << 0 << 1 << QList<int>{65} << 2;
    QTest::newRow("grid") << 0 << kSlots << 1 << QList<int>{} << 2;
}

void TestDrawROIWidgetCommands::deleteSelected()
{
    QFETCH(int, selected);
    QFETCH(int, view);
    QFETCH(int, answer);
    QFETCH(QList<int>, asked);
    QFETCH(int, count);
    vs().viewCamera = view;
    vs().copyAreaMode = true;
    slot(0)->selRoi = selected;
    rig_->env.modalAnswers = {answer};
    page_->SlotDeleteROI();
    QCOMPARE(this->asked(), asked);
    QCOMPARE(slot(0)->workSet->roiCount[0], count);
    QCOMPARE(slot(0)->savedSet->roiCount[0], 2);
    QCOMPARE(vs().copyAreaMode, view == kSlots);
    if (count == 1) {
        QCOMPARE(slot(0)->selRoi, -1);
        QVERIFY(slot(0)->workSet->roiRect[0][0] == slot(0)->savedSet->roiRect[0][1]);
        QCOMPARE(events("repaint all").size(), 1);
    }
}

void TestDrawROIWidgetCommands::deleteAll_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("asked");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("yes") << int(PictureSourceTemplate) << 1 << QList<int>{67} << true;
    QTest::newRow("no") << int(PictureSourceTemplate) << 0 << QList<int>{67} << false;
    QTest::newRow("live source") << int(PictureSourceLive) << 1 << QList<int>{} << false;
}

void TestDrawROIWidgetCommands::deleteAll()
{
    QFETCH(int, source);
    QFETCH(int, answer);
    QFETCH(QList<int>, asked);
    QFETCH(bool, deleted);
    gSource = source;
    vs().editDetect = 1;
    slot(0)->selRoi = 0;
    std::fill(slot(0)->ignoreMask[1].begin(), slot(0)->ignoreMask[1].end(), uchar(255));
    rig_->env.modalAnswers = {answer};
    page_->SlotDeleteAllROI();
    QCOMPARE(this->asked(), asked);
    QCOMPARE(slot(0)->workSet->roiCount[1], deleted ? 0 : 1);
    QCOMPARE(slot(0)->workSet->roiCount[0], 2);
    QCOMPARE(slot(0)->selRoi, deleted ? -1 : 0);
    // The live points stay; the page's copy is cleared; nothing is written.
    QVERIFY(allOf(slot(0)->ignoreMask[1], 255));
    QCOMPARE(allOf(slot(0)->ignoreWorkMask[1], 0), deleted);
    QVERIFY(slot(0)->ignoreWorkMask[0].empty());
    QVERIFY(!QFile::exists(IgnorePointFile(0, 1)));
    QVERIFY(rig_->net.calls().isEmpty());
    QCOMPARE(stored(0).roiCount[1], 1);
}

void TestDrawROIWidgetCommands::ignoreWorkCopy_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("discarded") << false;
    QTest::newRow("saved") << true;
}

void TestDrawROIWidgetCommands::ignoreWorkCopy()
{
    QFETCH(bool, save);
    CammerWidget* w = slot(0);
    std::fill(w->ignoreMask[0].begin(), w->ignoreMask[0].end(), uchar(255));
    QVERIFY(w->SaveIgnorePoint(0));
    const QByteArray fileBefore = fileBytes(IgnorePointFile(0, 0));
    QVERIFY(!fileBefore.isEmpty());
    rig_->net.clear();

    // Area 1 (view 300..380 x 40..120, image 30..38 x 4..12) is deleted.
    w->selRoi = 1;
    rig_->env.modalAnswers = {1, save ? 1 : 0};
    page_->SlotDeleteROI();
    QCOMPARE(w->workSet->roiCount[0], 1);
    QVERIFY(allOf(w->ignoreMask[0], 255));
    QCOMPARE(int(w->shownIgnoreMask(0)[size_t(8 * kW + 34)]), 0);
    QCOMPARE(int(w->shownIgnoreMask(0)[size_t(8 * kW + 20)]), 255);

    page_->retrainPending[0] = false;
    page_->SlotSaveData();
    QCOMPARE(asked(), QList<int>({66, 72}));
    if (!save) {
        // Discarding, as the next opening does: the live mask and the file
        // never saw the deletion.
        openPage();
        QVERIFY(w->ignoreWorkMask[0].empty());
        QVERIFY(allOf(w->ignoreMask[0], 255));
        QCOMPARE(fileBytes(IgnorePointFile(0, 0)), fileBefore);
        QVERIFY(rig_->net.calls().filter("temppic").isEmpty());
        return;
    }
    QVERIFY(w->ignoreWorkMask[0].empty());
    QCOMPARE(int(w->ignoreMask[0][size_t(8 * kW + 34)]), 0);
    QCOMPARE(int(w->ignoreMask[0][size_t(8 * kW + 20)]), 255);
    QVERIFY(fileBytes(IgnorePointFile(0, 0)) != fileBefore);
    QCOMPARE(rig_->net.calls().filter("temppic").size(), 1);
    QCOMPARE(engineCalls(), QStringList({"train 0 0", "train 0 1"}));

    // Only a work copy, with the areas as saved, still counts as a change.
    w->clearIgnorePoints(0, QRect(0, 0, 10, 10));
    QVERIFY(*w->workSet == *w->savedSet);
    rig_->env.modalAnswers.push_back(0);
    page_->SlotSaveData();
    QCOMPARE(asked(), QList<int>({66, 72, 72}));
}

QTEST_MAIN(TestDrawROIWidgetCommands)
#include "tst_drawroiwidget_commands.moc"
