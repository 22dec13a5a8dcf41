// The multi-detection page's rules without widgets: scripts of operations
// from a stored table, with the boxes and the table Confirm stores; stored
// values the page never makes; and random operation sequences against the
// page's invariants and the lock rule.
#include "ionames.h"
#include "messages.h"
#include "multidetectmodel.h"
#include "wizardpara.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QList<int> IntList(const QString& text)
{
    QList<int> out;
    for (const QString& t : text.split(QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts))
        out << t.toInt();
    return out;
}

// "count=3 rows=0,1,... trig=... cut=... inorder=0 in=... out=..." over the
// first-start record (every step without a row).
WizardPara Stored(const QString& table)
{
    WizardPara p = FirstStartParameters();
    for (int i = 0; i < 8; ++i) {
        p.multiDetectRow[i] = -1;
        p.multiRowTrigger[i] = p.multiRowCutMode[i] = 0;
        p.customInputName[i] = p.customOutputName[i] = 0;
    }
    p.multiDetectInOrder = 1;
    for (const QString& item : table.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QList<int> v = IntList(item.section(QLatin1Char('='), 1));
        int* array = key == QLatin1String("rows") ? p.multiDetectRow
                     : key == QLatin1String("trig") ? p.multiRowTrigger
                     : key == QLatin1String("cut")  ? p.multiRowCutMode
                     : key == QLatin1String("in")   ? p.customInputName
                     : key == QLatin1String("out")  ? p.customOutputName
                                                    : nullptr;
        if (array) {
            for (int i = 0; i < v.size() && i < 8; ++i)
                array[i] = v[i];
        } else if (key == QLatin1String("count")) {
            p.multiDetectCount = v.value(0);
        } else if (key == QLatin1String("inorder")) {
            p.multiDetectInOrder = v.value(0);
        } else {
            qFatal("unknown key %s", qPrintable(key));
        }
    }
    return p;
}

// "tick r s; clear r s; count n; trigger r index; cut r m; notseq 0|1; reset"
void Run(MultiDetectModel& m, const QString& script)
{
    for (const QString& op : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = op.simplified().split(QLatin1Char(' '));
        const int a = w.value(1).toInt(), b = w.value(2).toInt();
        if (w[0] == QLatin1String("tick"))
            m.tick(a, b);
        else if (w[0] == QLatin1String("clear"))
            m.clear(a, b);
        else if (w[0] == QLatin1String("count"))
            m.applyCount(a);
        else if (w[0] == QLatin1String("trigger"))
            m.chooseTrigger(a, b);
        else if (w[0] == QLatin1String("cut"))
            m.setCutMode(a, b);
        else if (w[0] == QLatin1String("notseq"))
            m.setNotSequential(a != 0);
        else if (w[0] == QLatin1String("reset"))
            m.reset();
        else
            qFatal("unknown operation %s", qPrintable(op));
    }
}

// Each shown row as "<slot shown, ? for none>:<box per step>", with x for
// ticked, - for locked and . for free.
QString Boxes(const MultiDetectModel& m)
{
    QStringList rows;
    for (int r = 0; r < m.count(); ++r) {
        QString s = m.triggerIndex(r) < 0 ? QStringLiteral("?") : QString::number(m.triggerSlot(r));
        s += QLatin1Char(':');
        for (int k = 0; k < m.count(); ++k)
            s += m.ticked(r, k) ? QLatin1Char('x') : m.locked(r, k) ? QLatin1Char('-') : QLatin1Char('.');
        rows << s;
    }
    return rows.join(QLatin1Char(' '));
}

QString Ints(const int* v)
{
    QStringList s;
    for (int i = 0; i < 8; ++i)
        s << QString::number(v[i]);
    return s.join(QLatin1Char(' '));
}

// What Confirm stores: the refusal's message id, or
// "count; steps' rows; triggers; cut modes; in order".
QString Confirmed(const MultiDetectModel& m, const WizardPara& before)
{
    WizardPara edit = before;
    if (const int refusal = m.validate())
        return QString::number(refusal);
    m.store(edit);
    return QStringLiteral("%1; %2; %3; %4; %5")
        .arg(edit.multiDetectCount)
        .arg(Ints(edit.multiDetectRow), Ints(edit.multiRowTrigger), Ints(edit.multiRowCutMode))
        .arg(edit.multiDetectInOrder);
}

// An independent statement of the rows' order: steps of a row come before
// every step of any later row.
bool Ordered(const int* group, int count)
{
    for (int j = 0; j < count; ++j)
        for (int k = j + 1; k < count; ++k)
            if (group[j] >= 0 && group[k] >= 0 && group[j] > group[k])
                return false;
    return true;
}

}  // namespace

class TestMultiDetectModel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        FillMessageTable();
        gLan = LanEnglish;
    }

    void scripts_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("confirmed");
        const QString eight = QStringLiteral("count=8 trig=0,1,2,3,4,5,6,7");
        const QString zeros = QStringLiteral("0 0 0 0 0 0 0 0");

        QTest::newRow("count 2, every step in row 0: row 1 locked, steps 2-7 dropped")
            << "count=2 rows=0,0,0,0,0,0,0,0" << ""
            << "0:xx 0:--"
            << "2; 0 0 -1 -1 -1 -1 -1 -1; " + zeros + "; " + zeros + "; 1";
        QTest::newRow("step 3 ticked in row 1 locks what lies across it")
            << eight << "tick 1 3"
            << "0:...----- 1:...x.... 2:----.... 3:----.... 4:----.... 5:----.... 6:----.... 7:----...."
            << "512";
        QTest::newRow("a locked box refuses its tick")
            << eight << "tick 1 3; tick 0 5; tick 2 2"
            << "0:...----- 1:...x.... 2:----.... 3:----.... 4:----.... 5:----.... 6:----.... 7:----...."
            << "512";
        QTest::newRow("step 3 cleared again: all free")
            << eight << "tick 1 3; clear 1 3"
            << "0:........ 1:........ 2:........ 3:........ 4:........ 5:........ 6:........ 7:........"
            << "512";
        QTest::newRow("cleared, another tick still forbids")
            << eight << "tick 0 5; tick 1 6; clear 1 6; tick 7 7"
            << "0:.....x.- 1:------.- 2:------.- 3:------.- 4:------.- 5:------.- 6:------.- 7:------.x"
            << "8; -1 -1 -1 -1 -1 0 -1 7; 0 1 2 3 4 5 6 7; " + zeros + "; 1";
        QTest::newRow("row 0 holds steps 0 and 2, step 1 in none")
            << "count=3 trig=0,1,2" << "tick 0 0; tick 0 2"
            << "0:x.x 1:--- 2:---"
            << "3; 0 -1 0 -1 -1 -1 -1 -1; 0 1 2 0 0 0 0 0; " + zeros + "; 1";
        QTest::newRow("the last step without a row is refused")
            << "count=3 trig=0,1,2" << "tick 0 0"
            << "0:x.. 1:-.. 2:-.." << "512";
        QTest::newRow("Reset: no step keeps a row")
            << "count=2 rows=0,1 trig=0,1 cut=3,5" << "reset"
            << "0:.. 1:.." << "512";
        QTest::newRow("Reset keeps slots and cut modes")
            << "count=2 rows=0,1 trig=0,1 cut=3,5" << "reset; tick 1 0; tick 1 1"
            << "0:-- 1:xx"
            << "2; 1 1 -1 -1 -1 -1 -1 -1; 0 1 0 0 0 0 0 0; 3 5 0 0 0 0 0 0; 1";
        QTest::newRow("8 -> 5 drops steps and rows 5-7")
            << eight + " rows=0,1,2,3,4,5,6,7" << "count 5"
            << "0:x---- 1:-x--- 2:--x-- 3:---x- 4:----x"
            << "5; 0 1 2 3 4 -1 -1 -1; 0 1 2 3 4 5 6 7; " + zeros + "; 1";
        QTest::newRow("8 -> 5 -> 8: steps 5-7 without a row")
            << eight + " rows=0,1,2,3,4,5,6,7" << "count 5; count 8"
            << "0:x------- 1:-x------ 2:--x----- 3:---x---- 4:----x... 5:-----... 6:-----... 7:-----..."
            << "512";
        QTest::newRow("slot 4 in row 1 lifts the rows below 4, a 5 stays")
            << "count=8 trig=0,0,1,3,5,5,6,7" << "trigger 1 4; tick 7 7"
            << "0:.......- 4:.......- 4:.......- 4:.......- 5:.......- 5:.......- 6:.......- 7:.......x"
            << "8; -1 -1 -1 -1 -1 -1 -1 7; 0 4 4 4 5 5 6 7; " + zeros + "; 1";
        QTest::newRow("a slot beyond a lowered count becomes the last one")
            << "count=8 trig=0,1,6,6,6,7,7,7" << "count 3; tick 2 2"
            << "0:..- 1:..- 2:..x"
            << "3; -1 -1 2 -1 -1 -1 -1 -1; 0 1 2 6 6 7 7 7; " + zeros + "; 1";
        QTest::newRow("not sequential stores 0, cut modes as chosen")
            << "count=2 rows=0,0" << "notseq 1; cut 0 4; cut 1 5"
            << "0:xx 0:--"
            << "2; 0 0 -1 -1 -1 -1 -1 -1; " + zeros + "; 4 5 0 0 0 0 0 0; 0";
        // Stored values the page never makes (mend): a row outside -1..7 is
        // none, a slot is clamped into 0..7, a cut mode outside 0..5 is
        // "Cut All"; Confirm stores what the page shows.  A slot below the
        // row above's is kept and shown without a selection.
        QTest::newRow("values out of range")
            << "count=3 rows=9,0,1,-5 trig=-2,12,1 cut=6,-1,3" << ""
            << "0:.x- 2:--x ?:---"
            << "3; -1 0 1 -1 -1 -1 -1 -1; 0 2 1 0 0 0 0 0; 0 0 3 0 0 0 0 0; 1";
        QTest::newRow("stored steps out of row order: the later step keeps its row")
            << "count=2 rows=1,0" << ""
            << "0:.x 0:--"
            << "2; -1 0 -1 -1 -1 -1 -1 -1; " + zeros + "; " + zeros + "; 1";
        QTest::newRow("count outside 2..8 clamped")
            << "count=12 rows=0 trig=0,1,2,3,4,5,6,7" << "tick 7 7"
            << "0:x......- 1:-......- 2:-......- 3:-......- 4:-......- 5:-......- 6:-......- 7:-......x"
            << "8; 0 -1 -1 -1 -1 -1 -1 7; 0 1 2 3 4 5 6 7; " + zeros + "; 1";
    }

    void scripts()
    {
        QFETCH(QString, stored);
        QFETCH(QString, script);
        QFETCH(QString, boxes);
        QFETCH(QString, confirmed);
        const WizardPara from = Stored(stored);
        MultiDetectModel m;
        m.load(from);
        Run(m, script);
        QCOMPARE(Boxes(m), boxes);
        QCOMPARE(Confirmed(m, from), confirmed);
    }

    // The trigger items and the step labels follow the name indices; the
    // last step names output slot 0.  Name indices outside their tables
    // read as the first name.
    void texts()
    {
        MultiDetectModel m;
        m.load(Stored(QStringLiteral("count=3 trig=0,1,2 in=0,5,2,99 out=9,13,-1,0")));
        QCOMPARE(m.inputNameIndex(3), 0);
        QCOMPARE(m.outputNameIndex(2), 0);
        QCOMPARE(m.triggerItems(0), (QStringList{"Mol op", "Mol val", "op door"}));
        QCOMPARE(m.triggerItems(2), (QStringList{"Mol val", "op door"}));
        QCOMPARE(m.stepText(0), QStringLiteral("Mac mov"));   // output slot 1
        QCOMPARE(m.stepText(1), QStringLiteral("Al clam"));   // output slot 2, out of range: 0
        QCOMPARE(m.stepText(2), QStringLiteral("Rot"));       // the last step: output slot 0
        QCOMPARE(m.recheckCaption(), QStringLiteral("re-detect 3rd"));
        m.applyCount(5);
        QCOMPARE(m.recheckCaption(), QStringLiteral("re-detect 5th"));
        QCOMPARE(m.stepText(4), QStringLiteral("Rot"));
    }

    // Random ticks, clears, counts, trigger choices and resets from valid
    // tables: the page's invariants hold after every step, a box is locked
    // exactly when its tick would break them, and a free box takes a tick.
    void randomSequences()
    {
        QRandomGenerator rng(20261211);
        for (int run = 0; run < 300; ++run) {
            MultiDetectModel m;
            WizardPara p = Stored(QStringLiteral("count=8 trig=0,1,2,3,4,5,6,7"));
            p.multiDetectCount = 2 + rng.bounded(7);
            m.load(p);
            for (int step = 0; step < 60; ++step) {
                const int count = m.count();
                const int r = rng.bounded(count), k = rng.bounded(count);
                QString op;
                switch (rng.bounded(20)) {
                case 0:
                    m.applyCount(2 + rng.bounded(7));
                    op = QStringLiteral("count");
                    break;
                case 1:
                    m.reset();
                    op = QStringLiteral("reset");
                    break;
                case 2:
                case 3:
                    m.chooseTrigger(r, rng.bounded(m.triggerItems(r).size()));
                    op = QStringLiteral("trigger");
                    break;
                case 4:
                case 5:
                case 6:
                case 7:
                case 8: {
                    const bool wasTicked = m.ticked(r, k);
                    QCOMPARE(m.clear(r, k), wasTicked);
                    op = QStringLiteral("clear");
                    break;
                }
                default: {
                    const bool wasFree = !m.ticked(r, k) && !m.locked(r, k);
                    QCOMPARE(m.tick(r, k), wasFree);
                    op = QStringLiteral("tick");
                    break;
                }
                }
                const QString where = QStringLiteral("run %1 step %2 after %3").arg(run).arg(step).arg(op);
                const int n = m.count();
                int group[8];
                for (int j = 0; j < 8; ++j) {
                    group[j] = m.stepGroup(j);
                    QVERIFY2(group[j] >= -1 && group[j] < n, qPrintable(where));
                    QVERIFY2(j < n || group[j] == -1, qPrintable(where));
                }
                QVERIFY2(Ordered(group, n), qPrintable(where));
                for (int row = 0; row < n; ++row) {
                    // The inputs never run backwards and stay within the count.
                    QCOMPARE(m.firstSlot(row), row == 0 ? 0 : m.triggerSlot(row - 1));
                    QVERIFY2(m.triggerSlot(row) >= m.firstSlot(row) && m.triggerSlot(row) < n, qPrintable(where));
                    QCOMPARE(m.triggerIndex(row), m.triggerSlot(row) - m.firstSlot(row));
                    for (int s = 0; s < n; ++s) {
                        QCOMPARE(m.ticked(row, s), group[s] == row);
                        // Locked exactly when the tick would give the step a
                        // second row or break the order.
                        int candidate[8];
                        std::copy(group, group + 8, candidate);
                        candidate[s] = row;
                        const bool forbidden = group[s] != row && (group[s] != -1 || !Ordered(candidate, n));
                        QVERIFY2(m.locked(row, s) == forbidden,
                                 qPrintable(where + QStringLiteral(" box %1 %2").arg(row).arg(s)));
                    }
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestMultiDetectModel)
#include "tst_multidetectmodel.moc"
