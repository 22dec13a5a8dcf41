// Confirm's decisions as tables: the change record's text, nothing-changed,
// the function change and the multi-detection bookkeeping, the candidate
// record, the retraining plan and the notes.
#include "confirmplan.h"
#include "messages.h"
#include "testenv.h"
#include "wizardparastore.h"

#include <QtTest>
#include <functional>

using namespace confirmplan;

namespace {

using Edit = std::function<void(WizardPara&)>;

// A consistent running record: the standard function with both detections.
WizardPara Live(int mode = SystemModeStandard)
{
    WizardPara p = FirstStartParameters();
    p.systemMode = p.systemModePending = mode;
    p.productDetectEnabled = 1;
    p.multiDetectCount = 3;
    for (int d = 0; d < 3; ++d) {
        p.multiDetectRow[d] = d;
        p.multiRowTrigger[d] = d;
    }
    DeriveLayout(p, 1);
    return p;
}

QString M(int id, int lan) { return Msg(id, lan).isEmpty() ? Msg(id, 0) : Msg(id, lan); }
QString ValueC(const QString& caption, int from, int to, int lan)
{
    return M(245, lan).arg(caption, QString::number(from), QString::number(to));
}
QString SwitchC(const QString& caption, int word, int lan) { return M(240, lan).arg(caption) + M(word, lan); }

}  // namespace

Q_DECLARE_METATYPE(Edit)

class TestConfirmPlan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void recordRows_data();
    void recordRows();
    void recordLiterals();
    void recordOrderEachOnce();
    void recordForcedDetails();
    void recordExtraClauses_data();
    void recordExtraClauses();
    void derivedFieldsNeverNamed();
    void readRulesAndRefusal();
    void nothingChanged_data();
    void nothingChanged();
    void changeFlags();
    void functionStep_data();
    void functionStep();
    void candidateDerivationIsTheLoads_data();
    void candidateDerivationIsTheLoads();
    void functionChangeAcrossClasses_data();
    void functionChangeAcrossClasses();
    void multiDetectStepCount();
    void retraining_data();
    void retraining();
    void retrainingBounds();
    void notes_data();
    void notes();

private:
    std::unique_ptr<TestEnv> env_;
};

// One change per fixed row: the record is message 235 plus exactly that
// clause, in English and Simplified Chinese.
void TestConfirmPlan::recordRows_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<int>("form");     // 0 value, 1 switch, 2 special (expected given per language)
    QTest::addColumn<int>("caption");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    const WizardPara l = Live();
    auto value = [&](const char* tag, int WizardPara::*m, int caption, int to) {
        QTest::newRow(tag) << Edit([m, to](WizardPara& p) { p.*m = to; }) << 0 << caption << l.*m << to;
    };
    auto sw = [&](const char* tag, int WizardPara::*m, int caption) {
        const int to = l.*m ? 0 : 1;
        QTest::newRow(tag) << Edit([m, to](WizardPara& p) { p.*m = to; }) << 1 << caption << l.*m << to;
    };
    value("4 minimumSize", &WizardPara::minimumSize, 22, 7);
    value("5 minimumArea", &WizardPara::minimumArea, 24, 500);
    sw("6 semiAuto", &WizardPara::semiAuto, 174);
    sw("7 productDetectEnabled", &WizardPara::productDetectEnabled, 175);
    sw("9 moldSameAsProduct", &WizardPara::moldSameAsProduct, 177);
    sw("10 templateAutoUpdate", &WizardPara::templateAutoUpdate, 400);
    value("12 captureSpeed", &WizardPara::captureSpeed, 244, 20);
    sw("13 colorCamera", &WizardPara::colorCamera, 270);
    sw("14 grayChannel", &WizardPara::grayChannel, 271);
    sw("15 autoShading", &WizardPara::autoShading, 388);
    sw("16 noLensOptimize", &WizardPara::noLensOptimize, 337);
    sw("17 externalTrigger", &WizardPara::externalTrigger, 519);
    sw("18 defectEnabled", &WizardPara::defectEnabled, 196);
    sw("19 spotEnabled", &WizardPara::spotEnabled, 197);
    sw("20 ignoreAreaEnabled", &WizardPara::ignoreAreaEnabled, 198);
    sw("21 positionEnabled", &WizardPara::positionEnabled, 199);
    sw("22 showAlgorithmDetails", &WizardPara::showAlgorithmDetails, 200);
    sw("23 blackAreaEnabled", &WizardPara::blackAreaEnabled, 390);
    sw("24 whiteAreaEnabled", &WizardPara::whiteAreaEnabled, 391);
    sw("25 whiteCountEnabled", &WizardPara::whiteCountEnabled, 520);
    sw("26 similarityEnabled", &WizardPara::similarityEnabled, 397);
    value("27 serialPort", &WizardPara::serialPort, 269, 3);
    value("28 inputTimeout", &WizardPara::inputTimeout, 336, 90);
    value("29 preCut", &WizardPara::preCut, 166, 5);
    value("30 ejectorPulse", &WizardPara::ejectorPulse, 168, 15);
    value("31 clampPulse", &WizardPara::clampPulse, 169, 16);
    value("32 reserveInputRole", &WizardPara::reserveInputRole, 203, 2);
    value("33 reserveOutputRole", &WizardPara::reserveOutputRole, 334, 3);
    for (int o = 0; o < 4; ++o) {
        static const int kCaption[4] = {273, 274, 275, 281};
        const int to = l.outputInvert[o] ? 0 : 1;
        QTest::newRow(qPrintable(QStringLiteral("%1 outputInvert[%2]").arg(34 + o).arg(o)))
            << Edit([o, to](WizardPara& p) { p.outputInvert[o] = to; }) << 0 << kCaption[o] << l.outputInvert[o]
            << to;
    }
    value("39 skipDetectCount", &WizardPara::skipDetectCount, 571, 9);
    sw("40 cutEjectorOnClamp", &WizardPara::cutEjectorOnClamp, 178);
    sw("42 productNoEjectorControl", &WizardPara::productNoEjectorControl, 192);
    sw("43 productNgPulseNoAlarm", &WizardPara::productNgPulseNoAlarm, 190);
    sw("44 productOkNgOutputs", &WizardPara::productOkNgOutputs, 1013);
    sw("45 moldNgPulseNoAlarm", &WizardPara::moldNgPulseNoAlarm, 642);
    sw("46 cutClampAfterMoldOk", &WizardPara::cutClampAfterMoldOk, 193);
    sw("47 safetyDoorClearsAlarm", &WizardPara::safetyDoorClearsAlarm, 195);
    sw("48 safetyDoorTrigger", &WizardPara::safetyDoorTrigger, 265);
    sw("49 okNgPulses", &WizardPara::okNgPulses, 202);
    value("50 templateCount", &WizardPara::templateCount, 185, 20);
    value("51 ngImageKeep", &WizardPara::ngImageKeep, 186, 300);
    value("52 okImageKeep", &WizardPara::okImageKeep, 187, 301);
    value("53 differenceMultiplier", &WizardPara::differenceMultiplier, 188, 3);
    value("54 autoLogoutSeconds", &WizardPara::autoLogoutSeconds, 189, 120);
    value("55 maxOffset", &WizardPara::maxOffset, 213, 400);
    value("56 screenOffSeconds", &WizardPara::screenOffSeconds, 243, 600);
    value("57 minSpot", &WizardPara::minSpot, 181, 9);
    value("58 rotationAngle", &WizardPara::rotationAngle, 403, 45);
    sw("59 cameraCheck", &WizardPara::cameraCheck, 586);
    sw("60 ioLostAlarm", &WizardPara::ioLostAlarm, 591);
    sw("61 skipDetectEnabled", &WizardPara::skipDetectEnabled, 572);
    sw("62 skipMoldPassword", &WizardPara::skipMoldPassword, 194);
    sw("63 addTemplatePassword", &WizardPara::addTemplatePassword, 341);
    sw("64 ignorePointPassword", &WizardPara::ignorePointPassword, 342);
    sw("65 autoGenerateArea", &WizardPara::autoGenerateArea, 191);
    sw("66 passwordEnabled", &WizardPara::passwordEnabled, 170);
}

void TestConfirmPlan::recordRows()
{
    QFETCH(Edit, edit);
    QFETCH(int, form);
    QFETCH(int, caption);
    QFETCH(int, from);
    QFETCH(int, to);
    const WizardPara live = Live();
    WizardPara e = live;
    edit(e);
    QVERIFY(e != live);
    for (int lan : {LanEnglish, LanSimplifiedChinese}) {
        const QString clause = form == 0 ? ValueC(M(caption, lan), from, to, lan)
                                         : SwitchC(M(caption, lan), to ? 250 : 251, lan);
        QCOMPARE(RecordText(live, e, lan), M(235, lan) + clause);
    }
}

// The rows with forms of their own, as the operator reads them.
void TestConfirmPlan::recordLiterals()
{
    const WizardPara live = Live();
    auto text = [&](const Edit& edit, int lan = LanEnglish) {
        WizardPara e = live;
        edit(e);
        return RecordText(live, e, lan).mid(M(235, lan).size());
    };
    QCOMPARE(M(235, LanEnglish), QStringLiteral("Modify the system parameters"));
    auto delay = [&](WizardPara& p) { p.detectDelay[0] = 20; };
    WizardPara from15 = live;
    from15.detectDelay[0] = 15;
    {
        WizardPara e = from15;
        delay(e);
        QCOMPARE(RecordText(from15, e, LanEnglish),
                 QStringLiteral("Modify the system parameters, The time delay for detection Prodis changed from 15 to 20"));
        QCOMPARE(RecordText(from15, e, LanSimplifiedChinese), QStringLiteral("修改系统参数，检测成品的延时由15改为20"));
    }
    QCOMPARE(text([](WizardPara& p) { p.detectDelay[1] = 33; }),
             QStringLiteral(", The time delay for detection Moldis changed from 0 to 33"));
    QCOMPARE(text([](WizardPara& p) { p.moldRecheckCount = 4; }),
             M(239, 1).arg(M(264, 1), QString::number(live.moldRecheckCount), "4"));
    // Motion correction: 0 is on.
    WizardPara off = live;
    off.motionCorrection = -1;
    WizardPara on = off;
    on.motionCorrection = 0;
    QCOMPARE(RecordText(off, on, LanEnglish), M(235, 1) + QStringLiteral(", Motion correcte is changed to active"));
    QCOMPARE(RecordText(on, off, LanEnglish), M(235, 1) + QStringLiteral(", Motion correcte is changed to deactive"));
    // Row 41 names the clamping.
    WizardPara clamp = live;
    clamp.stopForbidsClamp = 1;
    QCOMPARE(RecordText(live, clamp, LanEnglish).mid(M(235, 1).size()),
             QStringLiteral(", Stop clamping when stopping detection is changed to Prohibit to clamp"));
    QCOMPARE(RecordText(clamp, live, LanEnglish).mid(M(235, 1).size()),
             QStringLiteral(", Stop clamping when stopping detection is changed to Allow to clamp"));
    // Row 43's text is kept as stored.
    QVERIFY(text([](WizardPara& p) { p.productNgPulseNoAlarm = 1; }).contains("don't' alarm is changed to active"));
    // Cameras: slot counted from 1, over all eight slots.
    QCOMPARE(text([](WizardPara& p) { p.exposure[7] = 55; }),
             M(237, 1).arg("8", QString::number(live.exposure[7]), "55"));
    QCOMPARE(text([](WizardPara& p) { p.gamma[1] = 120; }), M(365, 1).arg("2", QString::number(live.gamma[1]), "120"));
    // The mould selection, named by its items.
    QCOMPARE(text([](WizardPara& p) { p.moldSelect = 2; }),
             QStringLiteral(", Left mold/Right mold/All molds is changed from 0 to 2"));
    // The password: the clause, never the text.
    const QString pw = text([](WizardPara& p) { WizardPara::SetText(p.password, QByteArray("731904")); });
    QCOMPARE(pw, QStringLiteral(", the password has been modified"));
    QVERIFY(!RecordText(live, [&] { WizardPara e = live; WizardPara::SetText(e.password, QByteArray("731904")); return e; }(),
                        LanSimplifiedChinese)
                 .contains("731904"));
}

void TestConfirmPlan::recordOrderEachOnce()
{
    const WizardPara live = Live();
    WizardPara e = live;
    e.passwordEnabled = !live.passwordEnabled;   // row 66
    e.stopForbidsClamp = 1;                       // row 41
    e.gain[2] = 10;                               // row 11
    e.moldRecheckCount = 3;                       // row 3
    e.debounceTime = 7;                           // after the fixed rows
    const QString t = RecordText(live, e, LanEnglish);
    const QStringList parts = {M(239, 1).left(20), M(238, 1).left(20), M(179, 1), M(170, 1), M(524, 1)};
    int at = 0;
    for (const QString& p : parts) {
        const int found = t.indexOf(p, at);
        QVERIFY2(found >= at, qPrintable(p));
        QCOMPARE(t.count(p), 1);
        at = found;
    }
}

// "Enable white area" ticks "Display all the parameters": both are named, in order.
void TestConfirmPlan::recordForcedDetails()
{
    WizardPara live = Live();
    live.showAlgorithmDetails = 0;
    live.whiteAreaEnabled = 0;
    WizardPara e = live;
    e.whiteAreaEnabled = 1;
    ApplyReadRules(e);
    QCOMPARE(e.showAlgorithmDetails, 1);
    QCOMPARE(RecordText(live, e, LanEnglish),
             M(235, 1) + SwitchC(M(200, 1), 250, 1) + SwitchC(M(391, 1), 250, 1));
}

void TestConfirmPlan::recordExtraClauses_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("clause");   // English
    QTest::newRow("debounce") << 0 << Edit([](WizardPara& p) { p.debounceTime = 4; })
                              << ", Shake erase time is changed from 0 to 4";
    QTest::newRow("statistics") << 0 << Edit([](WizardPara& p) { p.statisticsEnabled = 1; })
                                << ", Enable result statistics is changed to active";
    QTest::newRow("stop thimble") << 0 << Edit([](WizardPara& p) { p.stopForbidsEjector = 1; })
                                  << ", Stop thimble when stopping detection is changed to active";
    QTest::newRow("direction") << 0 << Edit([](WizardPara& p) { p.directionEnabled = 1; })
                               << ", Direction recognition is changed to active";
    QTest::newRow("mirror camera 3") << 0 << Edit([](WizardPara& p) { p.vMirror[2] = 1; })
                                     << ", vertically mirror C3 is changed to active";
    QTest::newRow("function") << 0 << Edit([](WizardPara& p) { p.systemModePending = 3; })
                              << ", Standard/Two-color/Turntable/Auto parts/multi-Det is changed from 0 to 3";
    QTest::newRow("mode-4 delay 3") << 4 << Edit([](WizardPara& p) { p.detectDelay[2] = 30; })
                                    << ", The time delay for detection 3rdis changed from 0 to 30";
    QTest::newRow("mode-4 output 6") << 4 << Edit([](WizardPara& p) { p.outputInvert[5] = 1; })
                                     << ", Output 6 initial state is changed from 0 to 1";
    QTest::newRow("cycle time log") << 0 << Edit([](WizardPara& p) { p.cycleTimeLog = 1; })
                                    << ", 启用检测周期 is changed to active";
}

void TestConfirmPlan::recordExtraClauses()
{
    QFETCH(int, mode);
    QFETCH(Edit, edit);
    QFETCH(QString, clause);
    const WizardPara live = Live(mode);
    WizardPara e = live;
    edit(e);
    QCOMPARE(RecordText(live, e, LanEnglish), M(235, 1) + clause);
}

void TestConfirmPlan::derivedFieldsNeverNamed()
{
    const WizardPara live = Live();
    WizardPara e = live;
    e.systemMode = 3;
    e.detectEnabled[3] = 1;
    e.detectTriggerInput[1] = 2;
    e.statusLampCount = 7;
    e.multiDetectRowActive[2] = 5;
    for (int o = 4; o <= 8; ++o)
        e.outputInvert[o] = !live.outputInvert[o];   // derived in the standard functions
    e.detectDelay[5] = 99;                           // not on the page outside mode 4
    QCOMPARE(RecordText(live, e, LanEnglish), M(235, 1));
    // A change of the edited host name alone still makes a record, with no clause.
    NetCard card, edited;
    edited.hostName = QStringLiteral("press7");
    QVERIFY(!NothingChanged(live, live, card, edited));
    QCOMPARE(RecordText(live, live, LanEnglish), M(235, 1));
}

void TestConfirmPlan::readRulesAndRefusal()
{
    struct Case {
        Edit edit;
        bool details, refused;
    };
    auto none = [](WizardPara& p) {
        p.defectEnabled = p.spotEnabled = p.blackAreaEnabled = p.whiteAreaEnabled = p.whiteCountEnabled = 0;
        p.directionEnabled = p.similarityEnabled = p.distanceEnabled = 0;
        p.showAlgorithmDetails = 0;
    };
    const std::vector<Case> cases = {
        {[&](WizardPara& p) { none(p); p.ignoreAreaEnabled = p.positionEnabled = 1; }, false, true},
        {[&](WizardPara& p) { none(p); p.defectEnabled = 1; }, false, false},
        {[&](WizardPara& p) { none(p); p.similarityEnabled = 1; }, false, false},
        {[&](WizardPara& p) { none(p); p.distanceEnabled = 1; }, true, false},
        {[&](WizardPara& p) { none(p); p.directionEnabled = 1; }, true, false},
        {[&](WizardPara& p) { none(p); p.spotEnabled = 1; }, true, false},
        {[&](WizardPara& p) { none(p); p.blackAreaEnabled = 1; }, true, false},
        {[&](WizardPara& p) { none(p); p.whiteCountEnabled = 1; }, true, false},
    };
    for (const Case& c : cases) {
        WizardPara p = Live();
        c.edit(p);
        ApplyReadRules(p);
        QCOMPARE(bool(p.showAlgorithmDetails), c.details);
        QCOMPARE(NoDetectionMethod(p), c.refused);
    }
    WizardPara p = Live();
    p.externalTrigger = 1;
    p.continuousTimedDetect = 1;
    ApplyReadRules(p);
    QCOMPARE(p.externalTrigger, 0);
}

void TestConfirmPlan::nothingChanged_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<int>("net");   // 0 same, 1 host name, 2 addresses, 3 MAC only
    QTest::addColumn<bool>("nothing");
    const Edit same = [](WizardPara&) {};
    QTest::newRow("same") << same << 0 << true;
    QTest::newRow("mac only") << same << 3 << true;
    QTest::newRow("host name") << same << 1 << false;
    QTest::newRow("addresses") << same << 2 << false;
    QTest::newRow("a spare field") << Edit([](WizardPara& p) { p.spareArrayB[15] = 1; }) << 0 << false;
    QTest::newRow("a text tail") << Edit([](WizardPara& p) { p.techName[98] = 'x'; }) << 0 << false;
}

void TestConfirmPlan::nothingChanged()
{
    QFETCH(Edit, edit);
    QFETCH(int, net);
    QFETCH(bool, nothing);
    const WizardPara live = Live();
    WizardPara e = live;
    edit(e);
    NetCard card;
    card.hostName = QStringLiteral("press");
    card.cardInfo[QStringLiteral("eth0")] = QStringList{"192.168.1.5", "255.255.255.0", "192.168.1.1"};
    card.macAddr[QStringLiteral("eth0")] = QStringLiteral("00:11:22:33:44:55");
    NetCard edited = card;
    if (net == 1)
        edited.hostName = QStringLiteral("press2");
    if (net == 2)
        edited.cardInfo[QStringLiteral("eth0")][0] = QStringLiteral("192.168.1.6");
    if (net == 3)
        edited.macAddr[QStringLiteral("eth0")] = QStringLiteral("00:11:22:33:44:66");
    QCOMPARE(NothingChanged(live, e, card, edited), nothing);
}

void TestConfirmPlan::changeFlags()
{
    const WizardPara live = Live();
    WizardPara e = live;
    QVERIFY(!ComputeChangeFlags(live, e).cameraValues(0));
    e.gamma[5] = live.gamma[5] + 1;
    e.rotationAngle = 10;
    e.statisticsEnabled = 1;
    const ChangeFlags f = ComputeChangeFlags(live, e);
    QVERIFY(f.gamma[5] && f.cameraValues(5) && !f.cameraValues(4));
    QVERIFY(f.positioning && f.statisticsEnabled);
    QVERIFY(!f.moldSelect && !f.maxOffset && !f.differenceMultiplier);
    e = live;
    e.motionCorrection = live.motionCorrection == 0 ? -1 : 0;
    QVERIFY(ComputeChangeFlags(live, e).positioning);
}

void TestConfirmPlan::functionStep_data()
{
    QTest::addColumn<int>("running");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("step");   // 0 now, 1 next start, 2 multi-detection
    const int table[5][5] = {
        // chosen: 0  1  2  3  4
        {0, 1, 1, 0, 1},   // running 0
        {1, 0, 0, 1, 1},   // running 1
        {1, 0, 0, 1, 1},   // running 2
        {0, 1, 1, 0, 1},   // running 3
        {1, 1, 1, 1, 2},   // running 4
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            QTest::newRow(qPrintable(QStringLiteral("%1 -> %2").arg(r).arg(c))) << r << c << table[r][c];
}

void TestConfirmPlan::functionStep()
{
    QFETCH(int, running);
    QFETCH(int, chosen);
    QFETCH(int, step);
    QCOMPARE(int(ChooseFunctionStep(running, chosen)), step);
}

// Within a class the candidate is the edit copy derived exactly as the load derives.
void TestConfirmPlan::candidateDerivationIsTheLoads_data()
{
    QTest::addColumn<int>("running");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("mould");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("semi");
    for (auto [r, c] : {std::pair{0, 0}, {0, 3}, {3, 0}, {1, 1}, {1, 2}, {2, 1}, {2, 2}})
        for (int mould : {0, 1, 2})
            for (int product : {0, 1})
                for (int semi : {0, 1})
                    QTest::newRow(qPrintable(QStringLiteral("%1->%2 m%3 p%4 s%5").arg(r).arg(c).arg(mould).arg(product).arg(semi)))
                        << r << c << mould << product << semi;
}

void TestConfirmPlan::candidateDerivationIsTheLoads()
{
    QFETCH(int, running);
    QFETCH(int, chosen);
    QFETCH(int, mould);
    QFETCH(int, product);
    QFETCH(int, semi);
    const WizardPara live = Live(running);
    WizardPara e = live;
    e.systemModePending = chosen;
    e.moldSelect = mould;
    e.productDetectEnabled = product;
    e.semiAuto = semi;
    ConfirmContext ctx;
    ctx.detections = running == 0 || running == 3 ? 2 : 4;
    ctx.leftPairActive = -7;
    const Candidate c = MakeCandidate(live, e, ctx);
    WizardPara expected = e;
    expected.systemMode = chosen;
    const DetectionLayout layout = DeriveLayout(expected, -7);
    QVERIFY(c.record == expected);
    QCOMPARE(c.leftPairActive, layout.leftPairActive);
    QCOMPARE(c.detections, ctx.detections);   // the count itself changes at the next start only
    QCOMPARE(c.function, FunctionStep::AppliesNow);
    QVERIFY(!c.functionDeferred && !c.rewriteLabels && !c.stepCount.run);
    QCOMPARE(c.record.statusLampCount, 4);
}

// Across the classes, and to or from multi-detection, the chosen function
// waits for the next start with note 277 and nothing else changes.
void TestConfirmPlan::functionChangeAcrossClasses_data()
{
    QTest::addColumn<int>("running");
    QTest::addColumn<int>("chosen");
    QTest::newRow("0 -> 1") << 0 << 1;
    QTest::newRow("0 -> 4") << 0 << 4;
    QTest::newRow("3 -> 2") << 3 << 2;
    QTest::newRow("1 -> 0") << 1 << 0;
    QTest::newRow("2 -> 4") << 2 << 4;
    QTest::newRow("4 -> 0") << 4 << 0;
}

void TestConfirmPlan::functionChangeAcrossClasses()
{
    QFETCH(int, running);
    QFETCH(int, chosen);
    const WizardPara live = Live(running);
    WizardPara e = live;
    e.systemModePending = chosen;
    ConfirmContext ctx;
    ctx.detections = running == 4 ? 3 : (running == 0 || running == 3 ? 2 : 4);
    ctx.leftPairActive = 1;
    ctx.numCamera = 2;
    const Candidate c = MakeCandidate(live, e, ctx);
    QCOMPARE(c.function, FunctionStep::NextStart);
    QVERIFY(c.functionDeferred);
    QVERIFY(c.record == e);   // only the pending function differs from the live record
    QCOMPARE(c.record.systemMode, running);
    QCOMPARE(c.detections, ctx.detections);
    QVERIFY(!c.stepCount.run);
    const ChangeFlags flags = ComputeChangeFlags(live, e);
    QCOMPARE(PlanNotes(flags, c).messages, std::vector<int>{277});
    if (running != 4)
        QVERIFY(PlanRetraining(flags, c, 2).empty());
    QCOMPARE(RecordText(live, e, LanEnglish).count(M(384, 1)), 1);   // the function clause

    // Within the class the choice applies at once, and no note is shown.
    WizardPara same = live;
    same.systemModePending = running == 0 ? 3 : (running == 1 ? 2 : running);
    const Candidate now = MakeCandidate(live, same, ctx);
    QVERIFY(!now.functionDeferred);
    QVERIFY(PlanNotes(ComputeChangeFlags(live, same), now).messages.empty());
}

// Multi-detection running, 3 -> 5 steps.
void TestConfirmPlan::multiDetectStepCount()
{
    WizardPara live = Live(SystemModeMultiDetect);
    QCOMPARE(live.statusLampCount, 3);
    WizardPara e = live;
    e.multiDetectCount = 5;
    for (int d = 3; d < 5; ++d) {
        e.multiDetectRow[d] = d;
        e.multiRowTrigger[d] = d;
    }
    e.multiDetectRow[3] = -1;   // step 4 unused
    ConfirmContext ctx;
    ctx.detections = 3;
    ctx.numCamera = 2;
    const Candidate c = MakeCandidate(live, e, ctx);
    QCOMPARE(c.function, FunctionStep::MultiDetect);
    QCOMPARE(c.detections, 5);
    QVERIFY(c.rewriteLabels);
    QVERIFY(c.stepCount.run);
    QCOMPARE(c.stepCount.steps, 5);
    QCOMPARE(c.stepCount.currentDetect, 4);
    QCOMPARE(c.stepCount.cameras, 2);
    QCOMPARE(c.record.statusLampCount, 5);
    const std::array<bool, 8> clear{true, true, true, false, true, false, false, false};
    QCOMPARE(c.stepCount.clearPendingMask, clear);
    QCOMPARE(c.record.detectEnabled[4], 1);
    QCOMPARE(c.record.detectTriggerInput[4], TriginNo[4] - 1);
    QCOMPARE(c.record.detectEnabled[3], 0);
    QCOMPARE(c.record.detectTriggerInput[3], -1);
    // Every enabled step of every camera is trained once, shape first.
    const RetrainPlan plan = PlanRetraining(ComputeChangeFlags(live, e), c, 2);
    QCOMPARE(int(plan.steps.size()), 8);
    for (const TrainStep& s : plan.steps)
        QVERIFY(s.createShape && s.varTrain && s.detection != 3 && s.detection < 5);
    QCOMPARE(plan.calls(), 16);
    // The same count: no bookkeeping, but the steps are still derived and trained.
    const Candidate same = MakeCandidate(live, live, ctx);
    QVERIFY(!same.stepCount.run);
    QCOMPARE(same.detections, 3);
    QVERIFY(same.record == live);
}

void TestConfirmPlan::retraining_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("shape");
    QTest::addColumn<bool>("train");
    QTest::addColumn<bool>("copy");
    const Edit none = [](WizardPara&) {};
    QTest::newRow("nothing") << none << false << false << false;
    QTest::newRow("a delay") << Edit([](WizardPara& p) { p.detectDelay[0] = 9; }) << false << false << false;
    QTest::newRow("rotation") << Edit([](WizardPara& p) { p.rotationAngle = 30; }) << true << false << false;
    QTest::newRow("motion") << Edit([](WizardPara& p) { p.motionCorrection = p.motionCorrection ? 0 : -1; }) << true
                            << false << false;
    QTest::newRow("offset") << Edit([](WizardPara& p) { p.maxOffset = 100; }) << true << false << false;
    QTest::newRow("amplify") << Edit([](WizardPara& p) { p.differenceMultiplier = 3; }) << false << true << false;
    QTest::newRow("product off") << Edit([](WizardPara& p) { p.productDetectEnabled = 0; }) << true << true << false;
    QTest::newRow("same parameters on") << Edit([](WizardPara& p) { p.moldSameAsProduct = 1; }) << true << true << true;
    QTest::newRow("same on, product off")
        << Edit([](WizardPara& p) { p.moldSameAsProduct = 1, p.productDetectEnabled = 0; }) << true << true << false;
    QTest::newRow("offset and amplify") << Edit([](WizardPara& p) { p.maxOffset = 100, p.differenceMultiplier = 3; })
                                        << true << true << false;
}

void TestConfirmPlan::retraining()
{
    QFETCH(Edit, edit);
    QFETCH(bool, shape);
    QFETCH(bool, train);
    QFETCH(bool, copy);
    WizardPara live = Live();
    live.moldSameAsProduct = 0;
    live.differenceMultiplier = 1;
    live.maxOffset = 8000;
    WizardPara e = live;
    edit(e);
    ConfirmContext ctx;
    ctx.numCamera = 3;
    const Candidate c = MakeCandidate(live, e, ctx);
    const RetrainPlan plan = PlanRetraining(ComputeChangeFlags(live, e), c, 3);
    QCOMPARE(plan.copyAreas, copy);
    if (!shape && !train) {
        QVERIFY(plan.steps.empty());
        return;
    }
    const int perCamera = c.record.detectEnabled[0] ? 2 : 1;
    QCOMPARE(int(plan.steps.size()), 3 * perCamera);
    for (const TrainStep& s : plan.steps) {
        QCOMPARE(s.createShape, shape);
        QCOMPARE(s.varTrain, train);
    }
}

// The mould selection: one CreateShape, not two; only enabled detections
// below the count in force, only cameras in use; CopyPara under its condition.
void TestConfirmPlan::retrainingBounds()
{
    WizardPara live = Live(SystemModeTwoColor);
    live.moldSameAsProduct = 1;
    WizardPara e = live;
    e.moldSelect = 1;   // right pair: detections 2 and 3
    ConfirmContext ctx;
    ctx.detections = 4;
    ctx.numCamera = 2;
    const Candidate c = MakeCandidate(live, e, ctx);
    QCOMPARE(c.leftPairActive, 0);
    const RetrainPlan plan = PlanRetraining(ComputeChangeFlags(live, e), c, 2);
    QVERIFY(plan.copyAreas);   // two-colour with the same parameters
    QCOMPARE(int(plan.steps.size()), 4);
    for (const TrainStep& s : plan.steps) {
        QVERIFY(s.detection == 2 || s.detection == 3);
        QVERIFY(s.camera < 2);
        QVERIFY(s.createShape && s.varTrain);
    }
    QCOMPARE(plan.calls(), 8);
    // A count in force below the enabled detections bounds the training.
    Candidate low = c;
    low.detections = 3;
    const RetrainPlan bounded = PlanRetraining(ComputeChangeFlags(live, e), low, 2);
    for (const TrainStep& s : bounded.steps)
        QCOMPARE(s.detection, 2);
    QVERIFY(PlanRetraining(ComputeChangeFlags(live, e), c, 0).empty());
    // The same parameters set but no pairing switch changed: no copy.
    WizardPara amplify = live;
    amplify.differenceMultiplier = live.differenceMultiplier + 1;
    const RetrainPlan varOnly =
        PlanRetraining(ComputeChangeFlags(live, amplify), MakeCandidate(live, amplify, ctx), 2);
    QVERIFY(!varOnly.copyAreas);
    QCOMPARE(int(varOnly.steps.size()), 4);   // left pair: detections 0 and 1
    for (const TrainStep& s : varOnly.steps)
        QVERIFY(!s.createShape && s.varTrain && s.detection < 2);
}

void TestConfirmPlan::notes_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<std::vector<int>>("messages");
    QTest::addColumn<bool>("sideBar");
    QTest::newRow("none") << Edit([](WizardPara&) {}) << std::vector<int>{} << false;
    QTest::newRow("templates") << Edit([](WizardPara& p) { p.templateCount = 50; }) << std::vector<int>{276} << false;
    QTest::newRow("colour") << Edit([](WizardPara& p) { p.colorCamera = 1; }) << std::vector<int>{309} << false;
    QTest::newRow("all three")
        << Edit([](WizardPara& p) { p.statisticsEnabled = 1, p.ngImageKeep = 9, p.serialPort = 2; })
        << std::vector<int>{276, 309, 277} << false;
    QTest::newRow("snapshot") << Edit([](WizardPara& p) { p.showManualSnapshot = 1; }) << std::vector<int>{} << true;
    QTest::newRow("product") << Edit([](WizardPara& p) { p.productDetectEnabled = 0; }) << std::vector<int>{} << true;
}

void TestConfirmPlan::notes()
{
    QFETCH(Edit, edit);
    QFETCH(std::vector<int>, messages);
    QFETCH(bool, sideBar);
    const WizardPara live = Live();
    WizardPara e = live;
    edit(e);
    const Candidate c = MakeCandidate(live, e, ConfirmContext{});
    const Notes n = PlanNotes(ComputeChangeFlags(live, e), c);
    QCOMPARE(n.messages, messages);
    QCOMPARE(n.sideBarShowHide, sideBar);
    const CameraSteps cams = PlanCameraSteps(ComputeChangeFlags(live, e));
    QVERIFY(!cams.changeTrigger && !cams.setSpeed);
}

QTEST_GUILESS_MAIN(TestConfirmPlan)
#include "tst_confirmplan.moc"
