// Per-camera cycle counters kept in count.txt.
#include "cyclecounters.h"
#include "testenv.h"

#include <QtTest>

class TestCycleCounters : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void resetWritesSixteenZeros();
    void writeThenRead();
    void failedWriteReported();
};

using Counts = QVector<int>;   // all 0, NG 0, all 1, NG 1, ...

static void SetAll(int value)
{
    for (int c = 0; c < kCameraSlots; ++c)
        gAllNum[c] = gFailNum[c] = value;
}

static Counts Current()
{
    Counts v;
    for (int c = 0; c < kCameraSlots; ++c)
        v << gAllNum[c] << gFailNum[c];
    return v;
}

static Counts Padded(Counts v)
{
    v.resize(2 * kCameraSlots);
    return v;
}

void TestCycleCounters::read_data()
{
    QTest::addColumn<QByteArray>("content");   // "-" for no file
    QTest::addColumn<Counts>("expected");
    QTest::newRow("four numbers") << QByteArray("5 1 7 2") << Padded({5, 1, 7, 2});
    QTest::newRow("full file") << QByteArray("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 ")
                               << Counts{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    QTest::newRow("above bound") << QByteArray("100000001 100000000 4")
                                 << Padded({0, 100000000, 4});
    QTest::newRow("negative") << QByteArray("-3 9") << Padded({0, 9});
    QTest::newRow("not a number stops") << QByteArray("1 x 2") << Padded({1});
    QTest::newRow("too large for int") << QByteArray("99999999999 5") << Padded({0, 5});
    QTest::newRow("line breaks") << QByteArray("3\n4\r\n5") << Padded({3, 4, 5});
    QTest::newRow("empty file") << QByteArray("") << Padded({});
    QTest::newRow("missing file") << QByteArray("-") << Padded({});
}

void TestCycleCounters::read()
{
    QFETCH(QByteArray, content);
    QFETCH(Counts, expected);
    TestEnv env;
    if (content != "-")
        env.writeFile("count.txt", content);
    SetAll(77);
    CountRead();
    QCOMPARE(Current(), expected);
}

void TestCycleCounters::resetWritesSixteenZeros()
{
    TestEnv env;
    env.writeFile("count.txt", "9 9 9 9 ");
    SetAll(0);
    QVERIFY(CountWrite());
    QCOMPARE(env.readFile("count.txt"), QByteArray("0 ").repeated(16));
}

void TestCycleCounters::writeThenRead()
{
    TestEnv env;
    for (int c = 0; c < kCameraSlots; ++c) {
        gAllNum[c] = 1000 + c;
        gFailNum[c] = c;
    }
    const Counts written = Current();
    QVERIFY(CountWrite());
    QCOMPARE(env.readFile("count.txt"),
             QByteArray("1000 0 1001 1 1002 2 1003 3 1004 4 1005 5 1006 6 1007 7 "));
    SetAll(0);
    CountRead();
    QCOMPARE(Current(), written);
}

void TestCycleCounters::failedWriteReported()
{
    TestEnv env;
    QVERIFY(QDir().mkdir("count.txt"));   // cannot be replaced by a file
    SetAll(3);
    QVERIFY(!CountWrite());
    QVERIFY(QFileInfo("count.txt").isDir());
}

QTEST_GUILESS_MAIN(TestCycleCounters)
#include "tst_cyclecounters.moc"
