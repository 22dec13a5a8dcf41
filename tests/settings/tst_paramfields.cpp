// The settings pages' field table: ranges and snapping (numbers, the
// screen-off field, combos), load and write-back through the record,
// captions and the visibility rule.
#include "messages.h"
#include "paramfields.h"
#include "testenv.h"

#include <QtTest>
#include <map>
#include <set>

using namespace paramfields;

namespace {

// The pages' ranges as the operator sees them: raw minimum, maximum, scale.
struct Expected {
    int minimum, maximum, scale;
};
const std::map<QString, Expected>& ExpectedRanges()
{
    static const std::map<QString, Expected> table = {
        {"detectDelay", {0, 10000, 10}},
        {"moldRecheckCount", {0, 10, 1}},
        {"minimumSize", {1, 10, 1}},
        {"minimumArea", {0, 1000, 1}},
        {"exposure", {1, 100, 1}},
        {"gain", {0, 64, 1}},
        {"sharpness", {0, 100, 1}},
        {"contrast", {1, 200, 1}},
        {"gamma", {0, 250, 1}},
        {"captureSpeed", {0, 32, 1}},
        {"inputTimeout", {0, 10000, 1}},
        {"preCut", {0, 100, 10}},
        {"debounceTime", {0, 100, 10}},
        {"ejectorPulse", {0, 1000, 10}},
        {"clampPulse", {0, 1000, 10}},
        {"skipDetectCount", {0, 100, 1}},
        {"reserveInputRole", {0, 3, 1}},
        {"reserveOutputRole", {0, 3, 1}},
        {"outputInvert", {0, 1, 1}},
        {"systemModePending", {0, 4, 1}},
        {"moldSelect", {0, 2, 1}},
        {"maxOffset", {1, 8000, 1}},
        {"differenceMultiplier", {0, 4, 1}},
        {"minSpot", {1, 20, 1}},
        {"rotationAngle", {0, 180, 1}},
        {"screenOffSeconds", {30, 9999, 1}},
        {"autoLogoutSeconds", {0, 1000, 1}},
        {"templateCount", {1, 100, 1}},
        {"ngImageKeep", {0, 2000, 1}},
        {"okImageKeep", {0, 2000, 1}},
    };
    return table;
}

QString Label(const ParamField& f)
{
    return QStringLiteral("%1[%2]").arg(QLatin1String(f.name)).arg(f.index);
}

}  // namespace

Q_DECLARE_METATYPE(const ParamField*)

class TestParamFields : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init() { env_ = std::make_unique<TestEnv>(); }
    void cleanup() { env_.reset(); }

    void tableIsWellFormed();
    void rangesMatchThePages();
    void rangeSnapping_data();
    void rangeSnapping();
    void screenOff_data();
    void screenOff();
    void boxes();
    void shownText();
    void captions();
    void visibility_data();
    void visibility();

private:
    std::unique_ptr<TestEnv> env_;
};

void TestParamFields::tableIsWellFormed()
{
    std::set<std::pair<QString, int>> seen;
    std::set<std::size_t> offsets;
    for (const ParamField& f : ParamFields()) {
        QVERIFY2(seen.insert({QLatin1String(f.name), f.index}).second, qPrintable(Label(f)));
        QVERIFY2(f.minimum <= f.maximum, qPrintable(Label(f)));
        if (f.offset != kNotInRecord) {
            QVERIFY2(offsets.insert(f.offset).second, qPrintable(Label(f) + " shares an offset"));
            QVERIFY(f.offset + sizeof(int) <= sizeof(WizardPara));
        }
        if (f.widget == Widget::Combo)
            QCOMPARE(f.maximum, int(f.items.size()) - 1);
        // Every caption has a text in every language (with the Chinese fallback).
        for (int lan = 0; lan < 3; ++lan)
            QVERIFY2(!FieldCaption(f, {SystemModeMultiDetect, 3, lan}).isEmpty(), qPrintable(Label(f)));
    }
    QVERIFY(FindField("detectDelay", 7));
    QVERIFY(!FindField("detectDelay", 8));
    const ParamField* raw = FindField("saveRawImages");
    QVERIFY(raw->offset == kNotInRecord);
    WizardPara untouched;
    StoreWidgetValue(*raw, untouched, 1);
    QVERIFY(untouched == WizardPara());
    QCOMPARE(LoadWidgetValue(*raw, untouched), 0);
    // What Confirm reads: the camera values are already in the edit copy,
    // the mode-4 rows only while mode 4 runs.
    QVERIFY(!ReadAtConfirm(*FindField("exposure"), SystemModeStandard));
    QVERIFY(!ReadAtConfirm(*FindField("hMirror"), SystemModeStandard));
    QVERIFY(ReadAtConfirm(*FindField("detectDelay", 1), SystemModeStandard));
    QVERIFY(!ReadAtConfirm(*FindField("detectDelay", 2), SystemModeStandard));
    QVERIFY(ReadAtConfirm(*FindField("detectDelay", 2), SystemModeMultiDetect));
    QVERIFY(ReadAtConfirm(*FindField("outputInvert", 3), SystemModeTwoColor));
    QVERIFY(!ReadAtConfirm(*FindField("outputInvert", 4), SystemModeTwoColor));
    QVERIFY(ReadAtConfirm(*FindField("outputInvert", 8), SystemModeMultiDetect));
    // Each page has fields, in page order.
    int lastPage = 0;
    for (const ParamField& f : ParamFields()) {
        QVERIFY(int(f.page) >= lastPage);
        lastPage = int(f.page);
    }
    QCOMPARE(PageFields(Page::IO).front()->name, "inputTimeout");
}

void TestParamFields::rangesMatchThePages()
{
    std::set<QString> covered;
    for (const ParamField& f : ParamFields()) {
        if (f.widget == Widget::Check)
            continue;
        const auto it = ExpectedRanges().find(QLatin1String(f.name));
        QVERIFY2(it != ExpectedRanges().end(), qPrintable(Label(f) + " not in the expected table"));
        QCOMPARE(f.minimum, it->second.minimum);
        QCOMPARE(f.maximum, it->second.maximum);
        QCOMPARE(f.scale, it->second.scale);
        covered.insert(it->first);
    }
    QCOMPARE(covered.size(), ExpectedRanges().size());
}

void TestParamFields::rangeSnapping_data()
{
    QTest::addColumn<const ParamField*>("field");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("loaded");
    for (const ParamField& f : ParamFields()) {
        if (f.widget == Widget::Check)
            continue;
        const QByteArray name = Label(f).toLatin1();
        QTest::newRow(name + " min-1") << &f << f.minimum - 1 << f.minimum;
        QTest::newRow(name + " min") << &f << f.minimum << f.minimum;
        QTest::newRow(name + " max") << &f << f.maximum << f.maximum;
        QTest::newRow(name + " max+1") << &f << f.maximum + 1 << f.maximum;
        QTest::newRow(name + " min-5") << &f << f.minimum - 5 << f.minimum;
        QTest::newRow(name + " max+5") << &f << f.maximum + 5 << f.maximum;
    }
    // The combos' stored indices outside their items.
    QTest::newRow("moldSelect 3") << FindField("moldSelect") << 3 << 2;
    QTest::newRow("reserveInputRole 7") << FindField("reserveInputRole") << 7 << 3;
    QTest::newRow("reserveOutputRole -1") << FindField("reserveOutputRole") << -1 << 0;
    QTest::newRow("outputInvert[5] 2") << FindField("outputInvert", 5) << 2 << 1;
    QTest::newRow("systemModePending 5") << FindField("systemModePending") << 5 << 4;
}

// A stored value outside the range loads snapped, and the write-back stores
// the snapped value (so it differs from the record it came from).
void TestParamFields::rangeSnapping()
{
    QFETCH(const ParamField*, field);
    QFETCH(int, stored);
    QFETCH(int, loaded);
    for (int camera : field->perCamera ? std::vector<int>{0, 5} : std::vector<int>{0}) {
        WizardPara live;
        FieldRef(*field, live, camera) = stored;
        const int widget = LoadWidgetValue(*field, live, camera);
        QCOMPARE(widget, loaded);
        WizardPara edit = live;
        StoreWidgetValue(*field, edit, widget, camera);
        QCOMPARE(FieldValue(*field, edit, camera), loaded);
        QCOMPARE(edit != live, stored != loaded);
        // Only the field's own element moved.
        FieldRef(*field, edit, camera) = stored;
        QVERIFY(edit == live);
    }
}

void TestParamFields::screenOff_data()
{
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("stands");
    QTest::newRow("10") << 10 << 30;
    QTest::newRow("29") << 29 << 30;
    QTest::newRow("30") << 30 << 30;
    QTest::newRow("0 never") << 0 << 0;
    QTest::newRow("-1") << -1 << 30;
    QTest::newRow("9999") << 9999 << 9999;
    QTest::newRow("10000") << 10000 << 9999;
}

void TestParamFields::screenOff()
{
    QFETCH(int, typed);
    QFETCH(int, stands);
    const ParamField* f = FindField("screenOffSeconds");
    QVERIFY(f->use0);
    QCOMPARE(SnapWidgetValue(*f, typed), stands);
    WizardPara p;
    StoreWidgetValue(*f, p, typed);
    QCOMPARE(p.screenOffSeconds, stands);
}

void TestParamFields::boxes()
{
    // Motion correction: ticked stores 0, not ticked -1; a stored junk value shows unticked.
    const ParamField* motion = FindField("motionCorrection");
    WizardPara p;
    for (auto [stored, box] : {std::pair{0, 1}, {-1, 0}, {5, 0}}) {
        p.motionCorrection = stored;
        QCOMPARE(LoadWidgetValue(*motion, p), box);
    }
    StoreWidgetValue(*motion, p, 1);
    QCOMPARE(p.motionCorrection, 0);
    StoreWidgetValue(*motion, p, 0);
    QCOMPARE(p.motionCorrection, -1);
    // Shading stored as the box state 2 while previewed shows ticked and is written back as 1.
    const ParamField* shading = FindField("autoShading");
    p.autoShading = 2;
    QCOMPARE(LoadWidgetValue(*shading, p), 1);
    StoreWidgetValue(*shading, p, LoadWidgetValue(*shading, p));
    QCOMPARE(p.autoShading, 1);
    // Mirrors per camera.
    const ParamField* mirror = FindField("hMirror");
    StoreWidgetValue(*mirror, p, 1, 3);
    QCOMPARE(p.hMirror[3], 1);
    QCOMPARE(p.hMirror[0], 0);
}

void TestParamFields::shownText()
{
    QCOMPARE(ShownText(*FindField("detectDelay", 0), 25), QStringLiteral("2.5"));
    QCOMPARE(ShownText(*FindField("detectDelay", 0), 10000), QStringLiteral("1000"));
    QCOMPARE(ShownText(*FindField("ejectorPulse"), 15), QStringLiteral("1.5"));
    QCOMPARE(ShownText(*FindField("inputTimeout"), 60), QStringLiteral("60"));
    QVERIFY(FindField("inputTimeout")->scaled);
    QVERIFY(!FindField("templateCount")->scaled);
}

void TestParamFields::captions()
{
    const CaptionContext en{SystemModeStandard, 2, LanEnglish};
    // Texts whose English entry is empty show the Chinese one.
    QCOMPARE(FieldCaption(*FindField("ngSwitchToContinuous"), en), Msg(1011, LanSimplifiedChinese));
    QCOMPARE(FieldCaption(*FindField("continuousTimedDetect"), en), Msg(1012, LanSimplifiedChinese));
    QCOMPARE(FieldCaption(*FindField("productOkNgOutputs"), en), Msg(1013, LanSimplifiedChinese));
    QCOMPARE(FieldCaption(*FindField("cycleTimeLog"), en), QStringLiteral("启用检测周期"));
    // Mode-4 captions are chosen by the function the dialog was built in.
    const ParamField* recheck = FindField("moldRecheckCount");
    QCOMPARE(FieldCaption(*recheck, en), Msg(167, LanEnglish));
    QCOMPARE(FieldCaption(*recheck, {SystemModeMultiDetect, 3, LanEnglish}), QStringLiteral("re-detect 3rd"));
    QCOMPARE(FieldCaption(*FindField("detectDelay", 0), {SystemModeMultiDetect, 3, LanEnglish}), Msg(508, LanEnglish));
    QCOMPARE(FieldCaption(*FindField("productDetectEnabled"), {SystemModeMultiDetect, 3, LanEnglish}),
             Msg(510, LanEnglish));
    QCOMPARE(FieldCaption(*FindField("outputInvert", 5), en), QStringLiteral("Output 6 initial state"));
    QCOMPARE(FieldCaption(*FindField("outputInvert", 2), en), Msg(275, LanEnglish));
    // The function and mould combos are named by their items.
    QCOMPARE(FieldCaption(*FindField("moldSelect"), en),
             QStringLiteral("%1/%2/%3").arg(Msg(376, 1), Msg(377, 1), Msg(383, 1)));
    QCOMPARE(FieldCaption(*FindField("systemModePending"), en).count(QLatin1Char('/')), 4);
    // Combo texts keep their leading spaces.
    QCOMPARE(ItemTexts(*FindField("reserveInputRole"), LanEnglish).front(), Msg(455, LanEnglish));
}

void TestParamFields::visibility_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("factory");
    QTest::addColumn<bool>("details");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("function");
    QTest::addColumn<bool>("large");
    QTest::addColumn<bool>("visible");
    auto row = [](const char* tag, const char* f, int i, bool fac, bool det, int mode, int n, int fun, bool large,
                  bool vis) {
        QTest::newRow(tag) << QString::fromLatin1(f) << i << fac << det << mode << n << fun << large << vis;
    };
    row("exposure always", "exposure", 0, false, false, 0, 2, 0, true, true);
    row("gamma factory off", "gamma", 0, false, false, 0, 2, 0, true, false);
    row("gamma factory on", "gamma", 0, true, false, 0, 2, 0, true, true);
    row("speed factory off", "captureSpeed", 0, false, false, 0, 2, 0, true, false);
    row("direction never", "directionEnabled", 0, true, true, 0, 2, 0, true, false);
    row("filter size without details", "minimumSize", 0, false, false, 0, 2, 0, true, true);
    row("filter size with details", "minimumSize", 0, false, true, 0, 2, 0, true, false);
    row("area with details", "minimumArea", 0, true, true, 0, 2, 0, true, false);
    row("offset large", "maxOffset", 0, false, false, 0, 2, 0, true, true);
    row("offset small", "maxOffset", 0, false, false, 0, 2, 0, false, false);
    row("delay 2 mode 0", "detectDelay", 1, false, false, 0, 2, 0, true, true);
    row("delay 3 mode 0", "detectDelay", 2, false, false, 0, 8, 0, true, false);
    row("delay 3 mode 4 n3", "detectDelay", 2, false, false, 4, 3, 4, true, true);
    row("delay 4 mode 4 n3", "detectDelay", 3, false, false, 4, 3, 4, true, false);
    row("delay 8 mode 4 n8", "detectDelay", 7, false, false, 4, 8, 4, true, true);
    row("output 1 factory off", "outputInvert", 0, false, false, 0, 2, 0, true, false);
    row("output 4 factory mode 0", "outputInvert", 3, true, false, 0, 2, 0, true, true);
    row("output 5 factory mode 0", "outputInvert", 4, true, false, 0, 8, 0, true, false);
    row("output 4 mode 4 n2", "outputInvert", 3, true, false, 4, 2, 4, true, true);
    row("output 5 mode 4 n3", "outputInvert", 4, true, false, 4, 3, 4, true, false);
    row("output 4 mode 4 n3", "outputInvert", 3, true, false, 4, 3, 4, true, true);
    row("output 6 mode 4 n5", "outputInvert", 5, true, false, 4, 5, 4, true, true);
    row("output 7 mode 4 n5", "outputInvert", 6, true, false, 4, 5, 4, true, false);
    row("output 9 mode 4 n8", "outputInvert", 8, true, false, 4, 8, 4, true, true);
    row("output 9 mode 4 n8 factory off", "outputInvert", 8, false, false, 4, 8, 4, true, false);
    row("mould standard", "moldSelect", 0, false, false, 0, 2, 0, true, false);
    row("mould two-colour", "moldSelect", 0, false, false, 0, 2, 1, true, true);
    row("mould turntable", "moldSelect", 0, false, false, 0, 2, 2, true, true);
    row("mould multi", "moldSelect", 0, false, false, 0, 2, 4, true, false);
    row("function always", "systemModePending", 0, false, false, 4, 2, 3, false, true);
}

void TestParamFields::visibility()
{
    QFETCH(QString, field);
    QFETCH(int, index);
    QFETCH(bool, factory);
    QFETCH(bool, details);
    QFETCH(int, mode);
    QFETCH(int, steps);
    QFETCH(int, function);
    QFETCH(bool, large);
    QFETCH(bool, visible);
    const ParamField* f = FindField(field.toLatin1().constData(), index);
    QVERIFY(f);
    VisibilityContext c;
    c.factory = factory;
    c.details = details;
    c.builtMode = mode;
    c.multiDetectCount = steps;
    c.functionShown = function;
    c.largeLayout = large;
    QCOMPARE(FieldVisible(*f, c), visible);
}

QTEST_GUILESS_MAIN(TestParamFields)
#include "tst_paramfields.moc"
