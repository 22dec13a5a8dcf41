// The status strip's layout as tables: which lamps stand where with which
// label and level, and which texts are drawn where, for the machine modes,
// both screen layouts, the lamp counts and the product-pulse options.
#include "iostatusmodel.h"
#include "messages.h"
#include "operationrecord.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QtTest>

class TestIOStatusModel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void lamps_data();
    void lamps();
    void lampLevels_data();
    void lampLevels();
    void texts_data();
    void texts();
    void cycleText_data();
    void cycleText();
    void textsClearOfSideBar_data();
    void textsClearOfSideBar();
};

namespace {

QString names[kStatusLabels];

// Lamp labels "n0" .. "n17", so each lamp names the entry it shows.
void fillNames()
{
    for (int i = 0; i < kStatusLabels; ++i)
        names[i] = QStringLiteral("n%1").arg(i);
}

StripInput input(int mode, int screenW, int lampCount, int pulse, const QList<int>& triggers)
{
    StripInput in;
    in.para.systemMode = mode;
    in.para.statusLampCount = lampCount;
    in.para.productNgPulseNoAlarm = pulse & 1;
    in.para.productOkNgOutputs = (pulse >> 1) & 1;
    for (int d = 0; d < kDetections; ++d)
        in.para.detectTriggerInput[d] = d < triggers.size() ? triggers[d] : -1;
    in.screenW = screenW;
    in.now = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    in.language = LanEnglish;
    in.names = names;
    // Texts of no width always fit: the layout table's places.
    in.textWidth = [](const QString&, int) { return 0; };
    return in;
}

// "label@x,y" per lamp, in paint order.
QStringList placed(const StripPicture& pic)
{
    QStringList out;
    for (const StripLamp& l : pic.lamps)
        out << QStringLiteral("%1@%2,%3").arg(l.label).arg(l.rect.x()).arg(l.rect.y());
    return out;
}

// "label@x" from a label and a first x, one step apart.
QStringList row(const QStringList& labels, int x, int step, int y)
{
    QStringList out;
    for (const QString& label : labels) {
        out << QStringLiteral("%1@%2,%3").arg(label).arg(x).arg(y);
        x += step;
    }
    return out;
}

QStringList labels(int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i)
        out << QStringLiteral("n%1").arg(i);
    return out;
}

QStringList pulseLabels()
{
    return {" N 1 ", " N 2 ", " N 3 ", " N 4 "};
}

} // namespace

void TestIOStatusModel::initTestCase()
{
    FillMessageTable();
    fillNames();
}

void TestIOStatusModel::lamps_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("lampCount");
    QTest::addColumn<int>("pulse");            // bit 0 NG pulse without alarm, bit 1 OK/NG outputs
    QTest::addColumn<QList<int>>("triggers");  // detectTriggerInput per detection
    QTest::addColumn<QStringList>("expected"); // label@x,y per lamp
    QTest::addColumn<int>("labelY");           // of the last lamp

    // Small layout: lamps 30 x 40, step 35, one row at y 5, labels at 33;
    // outputs start 20 + 30 right of the last input place.
    QTest::newRow("mode 0 small") << 0 << 1024 << 4 << 0 << QList<int>{}
                                  << row(labels(0, 3), 7, 35, 5) + row(labels(4, 7), 162, 35, 5) << 33;
    QTest::newRow("mode 0 small, NG pulse") << 0 << 1024 << 4 << 1 << QList<int>{}
        << row(labels(0, 3), 7, 35, 5) + row(labels(4, 7) + pulseLabels(), 162, 35, 5) << 33;
    QTest::newRow("mode 1 small, OK/NG outputs") << 1 << 800 << 4 << 2 << QList<int>{}
        << row(labels(0, 3), 7, 35, 5) + row(labels(4, 7) + pulseLabels(), 162, 35, 5) << 33;
    // Mode 4 stays one row in the small layout.  Inputs 3 and 5 only: input
    // 0's place stays empty, 5 needs more than four lamps.
    QTest::newRow("mode 4 small, inputs 3 5, four lamps") << 4 << 1024 << 4 << 0 << QList<int>{3, 5, -1, 255}
        << row({"n1", "n3"}, 42, 35, 5) + row(labels(9, 13), 127, 35, 5) << 33;
    QTest::newRow("mode 4 small, inputs 3 5, five lamps") << 4 << 1024 << 5 << 0 << QList<int>{3, 5}
        << row({"n1", "n3", "n5"}, 42, 35, 5) + row(labels(9, 14), 162, 35, 5) << 33;
    QTest::newRow("mode 4 small, two lamps") << 4 << 1024 << 2 << 0 << QList<int>{0, 4}
        << row({"n0", "n1"}, 7, 35, 5) + row(labels(9, 12), 92, 35, 5) << 33;
    // Input 9 and repeated inputs: one lamp each, 9 none.
    QTest::newRow("mode 4 small, input 9 and repeats") << 4 << 1024 << 8 << 0 << QList<int>{2, 2, 9, 1}
        << row({"n1", "n2"}, 42, 35, 5) + row(labels(9, 17), 127, 35, 5) << 33;

    // Large layout: lamps 70 x 80, step 75; one row at y 95, labels at 157.
    QTest::newRow("mode 0 large") << 0 << 1280 << 4 << 0 << QList<int>{}
                                  << row(labels(0, 3), 7, 75, 95) + row(labels(4, 7), 322, 75, 95) << 157;
    QTest::newRow("mode 0 large, both pulses") << 0 << 1920 << 4 << 3 << QList<int>{}
        << row(labels(0, 3), 7, 75, 95) + row(labels(4, 7) + pulseLabels(), 322, 75, 95) << 157;
    // Mode 4 large: two rows, inputs at y 10 (labels 70), outputs at x 7,
    // y 95 (labels 154).
    QTest::newRow("mode 4 large, inputs 3 5, four lamps") << 4 << 1280 << 4 << 0 << QList<int>{3, 5}
        << row({"n1", "n3"}, 82, 75, 10) + row(labels(9, 13), 7, 75, 95) << 154;
    QTest::newRow("mode 4 large, inputs 3 5, five lamps") << 4 << 1280 << 5 << 0 << QList<int>{3, 5}
        << row({"n1", "n3", "n5"}, 82, 75, 10) + row(labels(9, 14), 7, 75, 95) << 154;
    // Eight detections and the pulse lamps: outputs 9 to 12 beyond the board.
    QTest::newRow("mode 4 large, eight detections, NG pulse")
        << 4 << 1920 << 8 << 1 << QList<int>{0, 2, 3, 4, 5, 6, 7, 8}
        << row(labels(0, 8), 7, 75, 10) + row(labels(9, 17) + pulseLabels(), 7, 75, 95) << 154;
}

void TestIOStatusModel::lamps()
{
    QFETCH(int, mode);
    QFETCH(int, screenW);
    QFETCH(int, lampCount);
    QFETCH(int, pulse);
    QFETCH(QList<int>, triggers);
    QFETCH(QStringList, expected);
    QFETCH(int, labelY);
    TestEnv env;
    const StripPicture pic = LayOutStrip(input(mode, screenW, lampCount, pulse, triggers));
    QCOMPARE(placed(pic), expected);

    const StripMetrics& m = StripMetricsFor(screenW);
    QCOMPARE(pic.labelPx, screenW > 1024 ? 16 : 10);
    for (const StripLamp& l : pic.lamps) {
        QCOMPARE(l.rect.size(), QSize(m.lampW, m.lampH));
        QCOMPARE(l.labelRect.x(), l.rect.x());
        QCOMPARE(l.labelRect.size(), QSize(m.lampW, screenW > 1024 ? 18 : 12));
        QVERIFY(l.rect.bottom() < m.height);
    }
    QCOMPARE(pic.lamps.last().labelRect.y(), labelY);
    if (mode == 4 && screenW > 1024)
        QCOMPARE(pic.lamps.first().labelRect.y(), 70);
    // The texts start from the last lamp's left edge.
    QCOMPARE(pic.texts.last().pos, QPoint(pic.lamps.last().rect.x() + (screenW > 1024 ? 150 : 40),
                                          screenW > 1024 ? 155 : 40));
}

void TestIOStatusModel::lampLevels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("lampCount");
    QTest::addColumn<QList<int>>("triggers");
    QTest::addColumn<uint>("inputs");
    QTest::addColumn<uint>("outputs");
    QTest::addColumn<QList<int>>("expected");   // level per lamp, in paint order

    // The pulse lamps show outputs n .. n + 3 after the n output lamps.
    QTest::newRow("mode 0") << 0 << 4 << QList<int>{} << 0x5u << 0x0F0u
                            << QList<int>{1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1};
    QTest::newRow("mode 0, alarm output") << 0 << 4 << QList<int>{} << 0x2u << 0x4u
                                          << QList<int>{0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    QTest::newRow("mode 4, inputs 3 5") << 4 << 5 << QList<int>{3, 5} << 0x28u << 0x3C1u
                                        << QList<int>{0, 1, 1, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1};
}

void TestIOStatusModel::lampLevels()
{
    QFETCH(int, mode);
    QFETCH(int, lampCount);
    QFETCH(QList<int>, triggers);
    QFETCH(uint, inputs);
    QFETCH(uint, outputs);
    QFETCH(QList<int>, expected);
    TestEnv env;
    StripInput in = input(mode, 1280, lampCount, 1, triggers);
    in.levels.inputs = inputs;
    in.levels.outputs = outputs;
    QList<int> levels;
    for (const StripLamp& l : LayOutStrip(in).lamps)
        levels << l.level;
    QCOMPARE(levels, expected);
}

void TestIOStatusModel::texts_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("groupIndex");
    QTest::addColumn<int>("passwords");
    QTest::addColumn<int>("access");
    QTest::addColumn<bool>("mounted");
    QTest::addColumn<int>("cycleTime");
    QTest::addColumn<QStringList>("expected");   // text|px|colour|x,y per text

    const QString clock = "2026-03-04 05.06.07";
    const QString red = "#ff0000", green = "#00ff00";
    auto t = [](const QString& text, int px, const QString& colour, int x, int y) {
        return QStringLiteral("%1|%2|%3|%4,%5").arg(text).arg(px).arg(colour).arg(x).arg(y);
    };
    // Mode 0, small: the last lamp at 267, texts from 307 on baseline 40.
    QTest::newRow("clock only") << 1024 << 1 << 0 << 0 << 0 << false << 123
                                << QStringList{t(clock + "  Cycle 12.3S", 16, green, 307, 40)};
    QTest::newRow("mounted") << 1024 << 1 << 0 << 0 << 0 << true << 5
                             << QStringList{t("* " + clock + "  Cycle  0.5S", 16, green, 307, 40)};
    // Login state: advance 60 + 20 per language index.
    QTest::newRow("logged out") << 1024 << 1 << 0 << 1 << int(AccessLevelNone) << false << 0
                                << QStringList{t("Unlogged", 16, red, 307, 40),
                                               t(clock + "  Cycle  0.0S", 16, green, 387, 40)};
    QTest::newRow("logged in, primary") << 1024 << 1 << 0 << 1 << int(AccessLevelPrimary) << false << 0
                                        << QStringList{t("Logged", 16, green, 307, 40),
                                                       t(clock + "  Cycle  0.0S", 16, green, 387, 40)};
    QTest::newRow("logged in, Traditional Chinese") << 1024 << 2 << 0 << 1 << int(AccessLevelAdvanced) << false << 36000
        << QStringList{t(Msg(308, 2), 16, green, 307, 40), t(clock + "  週期3600.0秒", 16, green, 407, 40)};
    // Group "A" (list entry 1): "Parameter group:A", 17 characters, moves
    // the x on by 18 x 20 x 0.55 + 20 = 218.
    QTest::newRow("group, login") << 1024 << 1 << 1 << 1 << int(AccessLevelNone) << false << 10
        << QStringList{t("Parameter group:A", 20, red, 307, 40), t("Unlogged", 16, red, 525, 40),
                       t(clock + "  Cycle  1.0S", 16, green, 605, 40)};
    QTest::newRow("group named default") << 1024 << 1 << 0 << 0 << 0 << false << 10
                                         << QStringList{t(clock + "  Cycle  1.0S", 16, green, 307, 40)};
    QTest::newRow("group index past the list") << 1024 << 1 << 2 << 0 << 0 << false << 10
                                               << QStringList{t(clock + "  Cycle  1.0S", 16, green, 307, 40)};
    QTest::newRow("group index negative") << 1024 << 1 << -1 << 0 << 0 << false << 10
                                          << QStringList{t(clock + "  Cycle  1.0S", 16, green, 307, 40)};
    // Large: last lamp at 547, texts from 697 on baseline 155; "参数组:A",
    // 5 characters: 6 x 45 x 0.55 + 45 = 193.5, cut to 890.
    QTest::newRow("large, group, login, mounted") << 1280 << 0 << 1 << 1 << int(AccessLevelAdvanced) << true << 123
        << QStringList{t(Msg(557, 0) + ":A", 45, red, 697, 155), t(Msg(308, 0), 35, green, 890, 155),
                       t("* " + clock + "  " + QString::fromUtf8("周期12.3秒"), 35, green, 1040, 155)};
}

void TestIOStatusModel::texts()
{
    QFETCH(int, screenW);
    QFETCH(int, language);
    QFETCH(int, groupIndex);
    QFETCH(int, passwords);
    QFETCH(int, access);
    QFETCH(bool, mounted);
    QFETCH(int, cycleTime);
    QFETCH(QStringList, expected);
    TestEnv env;
    StripInput in = input(0, screenW, 4, 0, {});
    in.language = language;
    in.para.paramGroupIndex = groupIndex;
    in.para.passwordEnabled = passwords;
    in.accessLevel = access;
    in.mounted = mounted;
    in.cycleTime = cycleTime;
    in.paramGroups = {"default", "A"};
    QStringList got;
    for (const StripText& s : LayOutStrip(in).texts)
        got << QStringLiteral("%1|%2|%3|%4,%5").arg(s.text).arg(s.px).arg(s.colour.name()).arg(s.pos.x()).arg(s.pos.y());
    QCOMPARE(got, expected);
}

void TestIOStatusModel::cycleText_data()
{
    QTest::addColumn<int>("cycleTime");
    QTest::addColumn<QString>("expected");
    QTest::newRow("12.3 s") << 123 << "12.3";
    QTest::newRow("half a second") << 5 << " 0.5";
    QTest::newRow("none yet") << 0 << " 0.0";
    QTest::newRow("an hour") << 36000 << "3600.0";
}

void TestIOStatusModel::cycleText()
{
    QFETCH(int, cycleTime);
    QFETCH(QString, expected);
    TestEnv env;
    QCOMPARE(StripCycleText(cycleTime), expected);
}

void TestIOStatusModel::textsClearOfSideBar_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("lampCount");
    QTest::addColumn<int>("pulse");
    QTest::addColumn<bool>("group");
    QTest::addColumn<QString>("place");   // table, above or inputs (the input row's end)
    QTest::addColumn<bool>("shrunk");
    QTest::addColumn<int>("limit");       // where the line must end
    QTest::addColumn<bool>("groupShown");
    // Every character 0.5 of the pixel size wide; passwords on.
    QTest::newRow("1920, no group: the table's place") << 0 << 1920 << 4 << 0 << false << "table" << false << 1680 << false;
    QTest::newRow("1920, every option: above the lamps") << 0 << 1920 << 4 << 3 << true << "above" << false << 1680 << true;
    QTest::newRow("1280, no group: above the lamps") << 0 << 1280 << 4 << 0 << false << "above" << false << 1040 << false;
    QTest::newRow("1280, every option: above, smaller") << 0 << 1280 << 4 << 3 << true << "above" << true << 1040 << true;
    QTest::newRow("1920, mode 4 eight lamps: the table's place, smaller") << 4 << 1920 << 8 << 1 << false << "table" << true << 1680 << false;
    // Two rows: the output row reaches past the bar; the input row's end
    // keeps the line on the screen at least.
    QTest::newRow("1280, mode 4 eight lamps: the input row") << 4 << 1280 << 8 << 1 << false << "inputs" << true << 1280 << false;
    // With the English group name not even half size stays on the screen:
    // the group's name is left out.
    QTest::newRow("1280, mode 4 eight lamps, group: no group, the input row") << 4 << 1280 << 8 << 1 << true << "inputs" << true << 1280 << false;
    QTest::newRow("1024, no group: the table's place") << 0 << 1024 << 4 << 0 << false << "table" << false << 784 << false;
    QTest::newRow("1024, pulse lamps: the table's place") << 0 << 1024 << 4 << 3 << false << "table" << false << 784 << false;
    // With a group name as well not even 3/5 fits before the bar: on the
    // screen at least.
    QTest::newRow("1024, every option: smaller, on the screen") << 0 << 1024 << 4 << 3 << true << "table" << true << 1024 << true;
}

void TestIOStatusModel::textsClearOfSideBar()
{
    QFETCH(int, mode);
    QFETCH(int, screenW);
    QFETCH(int, lampCount);
    QFETCH(int, pulse);
    QFETCH(bool, group);
    QFETCH(QString, place);
    QFETCH(bool, shrunk);
    QFETCH(int, limit);
    QFETCH(bool, groupShown);
    TestEnv env;
    StripInput in = input(mode, screenW, lampCount, pulse, {0, 2, 3, 4, 5, 6, 7, 8});
    in.para.paramGroupIndex = group ? 1 : 0;
    in.para.passwordEnabled = 1;
    in.paramGroups = {"default", "Mould A"};
    auto width = [](const QString& text, int px) { return int(text.size() * px * 0.5); };
    in.textWidth = width;
    const StripPicture pic = LayOutStrip(in);
    const StripMetrics& m = StripMetricsFor(screenW);

    const StripText& first = pic.texts.first();
    const StripLamp& lastLamp = pic.lamps.last();
    if (place == "table") {
        QCOMPARE(first.pos, QPoint(lastLamp.rect.x() + m.textDx, m.baseline));
    } else if (place == "above") {
        QCOMPARE(first.pos.x(), 7);
        QVERIFY(first.pos.y() < lastLamp.rect.y());
        QVERIFY(first.pos.y() - first.px >= 0);
    } else {
        const StripLamp& firstLamp = pic.lamps.first();
        QVERIFY(first.pos.y() > firstLamp.rect.y() && first.pos.y() < firstLamp.rect.bottom());
        QVERIFY(first.pos.x() > firstLamp.rect.right());
    }
    QCOMPARE(pic.texts.first().text.contains(QLatin1String("Mould A")), groupShown);
    const int px = pic.texts.last().px;
    if (shrunk)
        QVERIFY(px < m.textPx && px >= m.textPx / 2);
    else
        QCOMPARE(px, m.textPx);
    int end = 0;
    for (const StripText& t : pic.texts) {
        QVERIFY(t.pos.x() >= first.pos.x());
        end = std::max(end, t.pos.x() + width(t.text, t.px));
    }
    QVERIFY2(end <= limit, qPrintable(QStringLiteral("text line ends at %1").arg(end)));
}

QTEST_GUILESS_MAIN(TestIOStatusModel)
#include "tst_iostatusmodel.moc"
