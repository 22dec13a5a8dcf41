// Where the move buttons and cavity boxes go, and how a row and a text are
// kept on a screen narrower than the large layout assumes.
#include "slotlayout.h"

#include <QtTest>

namespace {

using Row = std::vector<QRect>;

void checkRowInside(const QRect* row, int n, int right)
{
    for (int i = 0; i < n; ++i) {
        QVERIFY2(row[i].left() >= 0 && row[i].x() + row[i].width() <= right,
                 qPrintable(QStringLiteral("item %1 at %2..%3").arg(i).arg(row[i].left()).arg(row[i].right())));
        if (i > 0)
            QVERIFY(row[i].left() >= row[i - 1].x() + row[i - 1].width());   // order kept, no overlap
    }
}

} // namespace

Q_DECLARE_METATYPE(Row)

class TestSlotLayout : public QObject {
    Q_OBJECT
private slots:
    void layoutsWhereTheyFit();
    void largeLayoutOn1280Screen();
    void fitRow_data();
    void fitRow();
    void fitTextX_data();
    void fitTextX();
};

void TestSlotLayout::layoutsWhereTheyFit()
{
    // Small layout on a 1024 x 600 screen: the positions as laid out.
    SlotControlsGeometry g = SlotControlsLayout(1024, 600);
    QCOMPARE(g.moveButton[0], QRect(380, 565, 50, 30));
    QCOMPARE(g.moveButton[3], QRect(545, 565, 50, 30));
    QCOMPARE(g.moveButton[4], QRect(600, 565, 70, 30));
    // The cavity boxes right above the move row, both rows on the screen,
    // clear of the move row and of the page column (x >= 904).
    QCOMPARE(g.cavityBox[0], QRect(380, 500, 58, 30));
    QCOMPARE(g.cavityBox[7], QRect(800, 500, 58, 30));
    QCOMPARE(g.cavityBox[8], QRect(380, 530, 58, 30));
    QVERIFY(g.cavityBox[15].right() < 904);
    for (int k = 0; k < 16; ++k) {
        QVERIFY(QRect(0, 0, 1024, 600).contains(g.cavityBox[k]));
        for (int i = 0; i < 5; ++i)
            QVERIFY(!g.cavityBox[k].intersects(g.moveButton[i]));
    }

    // Large layout on a screen wide enough for it.
    g = SlotControlsLayout(1920, 1080);
    QCOMPARE(g.moveButton[0], QRect(300, 1000, 200, 75));
    QCOMPARE(g.moveButton[4], QRect(1140, 1000, 220, 75));
    QCOMPARE(g.cavityBox[0], QRect(450, 35, 130, 75));
    QCOMPARE(g.cavityBox[7], QRect(1535, 35, 130, 75));
    QCOMPARE(g.cavityBox[15], QRect(1535, 110, 130, 75));
}

void TestSlotLayout::largeLayoutOn1280Screen()
{
    const SlotControlsGeometry g = SlotControlsLayout(1280, 800);
    checkRowInside(g.moveButton, 5, 1280);
    checkRowInside(g.cavityBox, 8, 1280);
    checkRowInside(g.cavityBox + 8, 8, 1280);
    // Shifting is enough for both rows: sizes and gaps are kept.
    QCOMPARE(g.moveButton[4], QRect(1060, 720, 220, 75));
    QCOMPARE(g.moveButton[0], QRect(220, 720, 200, 75));
    QCOMPARE(g.cavityBox[7].x() + g.cavityBox[7].width(), 1280);
    QCOMPARE(g.cavityBox[1].x() - g.cavityBox[0].x(), 155);
    QCOMPARE(g.cavityBox[8].top(), g.cavityBox[0].top() + 75);
}

void TestSlotLayout::fitRow_data()
{
    QTest::addColumn<Row>("row");
    QTest::addColumn<int>("right");
    QTest::addColumn<Row>("expected");
    const Row three{QRect(100, 5, 50, 10), QRect(160, 5, 50, 10), QRect(220, 5, 50, 10)};
    QTest::newRow("fits") << three << 270 << three;
    QTest::newRow("shifted") << three << 200
                             << Row{QRect(30, 5, 50, 10), QRect(90, 5, 50, 10), QRect(150, 5, 50, 10)};
    QTest::newRow("gaps narrowed") << three << 160
                                   << Row{QRect(0, 5, 50, 10), QRect(55, 5, 50, 10), QRect(110, 5, 50, 10)};
    QTest::newRow("no gaps") << three << 150
                             << Row{QRect(0, 5, 50, 10), QRect(50, 5, 50, 10), QRect(100, 5, 50, 10)};
    QTest::newRow("widths narrowed") << three << 120
                                     << Row{QRect(0, 5, 40, 10), QRect(40, 5, 40, 10), QRect(80, 5, 40, 10)};
    QTest::newRow("empty") << Row{} << 10 << Row{};
}

void TestSlotLayout::fitRow()
{
    QFETCH(Row, row);
    QFETCH(int, right);
    QFETCH(Row, expected);
    QCOMPARE(FitRow(row, right), expected);
}

void TestSlotLayout::fitTextX_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("expected");
    QTest::newRow("fits") << 750 << 500 << 1280 << 750;
    QTest::newRow("ends at the edge exactly") << 780 << 500 << 1280 << 780;
    QTest::newRow("moved left") << 1450 << 170 << 1280 << 1110;
    QTest::newRow("wider than the view") << 10 << 1500 << 1280 << 0;
}

void TestSlotLayout::fitTextX()
{
    QFETCH(int, x);
    QFETCH(int, width);
    QFETCH(int, right);
    QFETCH(int, expected);
    QCOMPARE(FitTextX(x, width, right), expected);
}

QTEST_MAIN(TestSlotLayout)
#include "tst_slotlayout.moc"
