// The change records of one camera's area save: the texts of added, removed
// and changed areas in English, the spot grey labels by byte, the function
// names of the methods past positioning, the detection prefix of every
// mode, and the positioning flag.
#include "arearecords.h"
#include "messages.h"
#include "testgeometry.h"

#include <QtTest>

namespace {

// Detection 0 of camera 1: a defect rectangle, a spot rectangle (grey 20 to
// 50), a positioning circle and a black-area polygon.
CammerSingleton baseSet()
{
    CammerSingleton s(0);
    for (int d = 0; d < kDetections; ++d)
        s.roiCount[d] = 0;
    s.roiCount[0] = 4;
    for (int i = 0; i < 4; ++i) {
        s.roiMinSize[0][i] = 3;
        s.roiSensibility[0][i] = 45;
        s.roiMaxArea[0][i] = 100;
        s.roiMethod[0][i] = AreaFuncDefect;
        s.roiShape[0][i] = RoiShapeRect;
        s.roiRect[0][i] = ClustomRect(QRect(QPoint(50 + 100 * i, 50), QPoint(100 + 100 * i, 100)));
    }
    s.roiMethod[0][1] = AreaFuncSpot;
    s.roiMinSize[0][1] = (50 << 8) | 20;
    s.roiSensibility[0][1] = 80;
    s.roiMaxArea[0][1] = 500;
    s.roiMethod[0][2] = AreaFuncPosition;
    s.roiShape[0][2] = RoiShapeCircle;
    s.roiCircle[0][2].cx = 300;
    s.roiCircle[0][2].cy = 200;
    s.roiCircle[0][2].r1 = 40;
    s.roiCircle[0][2].UpdateRect();
    s.roiMinSize[0][2] = 10;
    s.roiSensibility[0][2] = 10;
    s.roiMaxArea[0][2] = 10;
    s.roiMethod[0][3] = AreaFuncBlackArea;
    s.roiShape[0][3] = RoiShapePolygon;
    const QPoint poly[] = {QPoint(20, 200), QPoint(80, 200), QPoint(60, 300)};
    s.roiPolygon[0][3].setPoints(3, poly);
    return s;
}

enum Change {
    Unchanged,
    SelectionOnly,
    Added,
    AddedPosition,
    Deleted,
    DeletedPosition,
    FunctionOnly,
    BlackToWhite,
    OneValue,
    Outline,
    ShapeCode,
    SpotMinimum,
    SpotMaximum,
    SpotHigherBits,
    IgnoreValues,
    PositionValue,
    PositionToDefect,
    BeyondDetections,
};

void apply(CammerSingleton& w, Change change)
{
    switch (change) {
    case Unchanged:
        break;
    case SelectionOnly:
        w.roiRect[0][0].selected = true;
        break;
    case Added:
        w.roiCount[0] = 5;
        w.roiShape[0][4] = RoiShapeRect;
        w.roiMethod[0][4] = AreaFuncSpot;
        w.roiMinSize[0][4] = (50 << 8) | 20;
        w.roiSensibility[0][4] = 80;
        w.roiMaxArea[0][4] = 500;
        break;
    case AddedPosition:
        w.roiCount[0] = 5;
        w.roiShape[0][4] = RoiShapeCircle;
        w.roiMethod[0][4] = AreaFuncPosition;
        w.roiMinSize[0][4] = 7;
        w.roiSensibility[0][4] = 8;
        w.roiMaxArea[0][4] = 9;
        break;
    case Deleted:
        w.roiCount[0] = 3;
        break;
    case DeletedPosition:
        w.roiCount[0] = 2;
        break;
    case FunctionOnly:
        w.roiMethod[0][0] = AreaFuncIgnore;
        break;
    case BlackToWhite:
        w.roiMethod[0][3] = AreaFuncWhiteArea;
        break;
    case OneValue:
        w.roiSensibility[0][0] = 60;
        break;
    case Outline:
        w.roiRect[0][0] = ClustomRect(QRect(QPoint(60, 50), QPoint(110, 100)));
        break;
    case ShapeCode:
        w.roiShape[0][0] = RoiShapeCircle;
        w.roiCircle[0][0] = w.roiCircle[0][2];
        break;
    case SpotMinimum:
        w.roiMinSize[0][1] = (50 << 8) | 25;
        break;
    case SpotMaximum:
        w.roiMinSize[0][1] = (64 << 8) | 20;
        break;
    case SpotHigherBits:
        w.roiMinSize[0][1] |= 1 << 16;
        break;
    case IgnoreValues:
        w.roiMethod[0][0] = AreaFuncIgnore;
        break;
    case PositionValue:
        w.roiMaxArea[0][2] = 20;
        break;
    case PositionToDefect:
        w.roiMethod[0][2] = AreaFuncDefect;
        break;
    case BeyondDetections:
        w.roiCount[2] = 1;
        break;
    }
}

} // namespace

class TestAreaRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { gLan = oldLan_; }
    void records_data();
    void records();
    void prefixes_data();
    void prefixes();
    void functionNames();

private:
    int oldLan_ = 0;
};

void TestAreaRecords::initTestCase()
{
    FillMessageTable();
    oldLan_ = gLan;
    gLan = LanEnglish;
    setTestGeometry(64, 40, 10.0);
}

void TestAreaRecords::records_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("positioning");

    const QString p = QStringLiteral("Detection Prod of camera 1 ");
    QTest::newRow("unchanged") << int(Unchanged) << QStringList() << false;
    QTest::newRow("selection only") << int(SelectionOnly) << QStringList() << false;
    QTest::newRow("added spot")
        << int(Added)
        << QStringList{p + "Added rectangular  area 5, function is Spot Detection, the minimum gradation is 20,"
                           "the maximum gradation is 50, the minimum area is 80,the maximum area is 500"}
        << false;
    QTest::newRow("added positioning")
        << int(AddedPosition)
        << QStringList{p + "Added circle area 5, function is Target Position,the search speed is 8, "
                           "the positioning accuracy is 9, the least match is 7"}
        << true;
    QTest::newRow("deleted black area")
        << int(Deleted) << QStringList{p + "Deleted Polygon area 4, function is black area"} << false;
    QTest::newRow("deleted positioning")
        << int(DeletedPosition)
        << QStringList{p + "Deleted circle area 3, function is Position",
                       p + "Deleted Polygon area 4, function is black area"}
        << true;
    QTest::newRow("function only")
        << int(FunctionOnly)
        << QStringList{p + "Changed the rectangular  area 1, Changing the function from Defectto Ignore Area"} << false;
    // Names of the methods past positioning: never "from Defect to Defect".
    QTest::newRow("black to white area")
        << int(BlackToWhite)
        << QStringList{p + "Changed the Polygon area 4, Changing the function from black areato Defect detection"}
        << false;
    QTest::newRow("one value")
        << int(OneValue)
        << QStringList{p + "Changed the rectangular  area 1, The function is Defect detection, "
                           "Changing the sensitivity  from 45 to 60"}
        << false;
    QTest::newRow("outline")
        << int(Outline)
        << QStringList{p + "Changed the rectangular  area 1, The function is Defect detection,"
                           "Detection position has been modified"}
        << false;
    QTest::newRow("shape code")
        << int(ShapeCode)
        << QStringList{p + "Changed the circle area 1, The function is Defect detection,"
                           "Detection position has been modified"}
        << false;
    // Byte 0 of A is the minimum grey, byte 1 the maximum.
    QTest::newRow("spot minimum")
        << int(SpotMinimum)
        << QStringList{p + "Changed the rectangular  area 2, The function is Spot detection , "
                           "Changing the minimum gradation from 20 to 25"}
        << false;
    QTest::newRow("spot maximum")
        << int(SpotMaximum)
        << QStringList{p + QStringLiteral("Changed the rectangular  area 2, The function is Spot detection "
                                          "\uFF0CChanging the maximum gradation from 50 to 64")}
        << false;
    QTest::newRow("spot bits above the grey range") << int(SpotHigherBits) << QStringList() << false;
    QTest::newRow("to ignore area names no values")
        << int(IgnoreValues)
        << QStringList{p + "Changed the rectangular  area 1, Changing the function from Defectto Ignore Area"} << false;
    QTest::newRow("positioning value")
        << int(PositionValue)
        << QStringList{p + "Changed the circle area 3, The function is Target positioning , "
                           "Changing the least match from 10 to 20"}
        << true;
    QTest::newRow("positioning to defect")
        << int(PositionToDefect)
        << QStringList{p + "Changed the circle area 3, Changing the function from Positionto Defect detection"}
        << true;
    QTest::newRow("detection beyond those in use") << int(BeyondDetections) << QStringList() << false;
}

void TestAreaRecords::records()
{
    QFETCH(int, change);
    QFETCH(QStringList, texts);
    QFETCH(bool, positioning);

    const CammerSingleton saved = baseSet();
    CammerSingleton work = saved;
    apply(work, Change(change));
    const AreaChangeRecords r = AreaChanges(saved, work, 0, 0, 2);
    QCOMPARE(r.texts, texts);
    QCOMPARE(r.positioning, positioning);
}

void TestAreaRecords::prefixes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("d");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("standard, product") << 0 << 0 << "Detection Prod of camera 3 ";
    QTest::newRow("standard, mould") << 0 << 1 << "Detection Mold of camera 3 ";
    QTest::newRow("auto parts, mould") << 3 << 1 << "Detection Mold of camera 3 ";
    QTest::newRow("two-colour, right product") << 1 << 2 << "Detection Right prod of camera 3 ";
    QTest::newRow("turntable, right mould") << 2 << 3 << "Detection Right mold of camera 3 ";
    QTest::newRow("multi-detection, sixth") << 4 << 5 << "Detection 6th of camera 3 ";
    QTest::newRow("unknown mode") << 7 << 2 << "Detection 3 of camera 3 ";
}

void TestAreaRecords::prefixes()
{
    QFETCH(int, mode);
    QFETCH(int, d);
    QFETCH(QString, prefix);
    QCOMPARE(RecordPrefix(mode, 2, d), prefix);

    // The records of an area of that detection carry it.
    CammerSingleton saved(2);
    for (int k = 0; k < kDetections; ++k)
        saved.roiCount[k] = 0;
    CammerSingleton work = saved;
    work.roiCount[d] = 1;
    const AreaChangeRecords r = AreaChanges(saved, work, 2, mode, kDetections);
    QCOMPARE(r.texts.size(), 1);
    QVERIFY2(r.texts[0].startsWith(prefix + "Added "), qPrintable(r.texts[0]));
}

void TestAreaRecords::functionNames()
{
    const int ids[kAreaFuncCount] = {25, 15, 17, 21, 392, 393, 398, 521, 561, 581};
    for (int m = 0; m < kAreaFuncCount; ++m)
        QCOMPARE(FunctionNameId(m), ids[m]);
    QCOMPARE(FunctionNameId(-1), 25);
    QCOMPARE(FunctionNameId(42), 25);
    QCOMPARE(ShapeNameId(RoiShapeRect), 74);
    QCOMPARE(ShapeNameId(RoiShapeCircle), 75);
    QCOMPARE(ShapeNameId(RoiShapePolygon), 76);
    QCOMPARE(ShapeNameId(0), 76);
}

QTEST_GUILESS_MAIN(TestAreaRecords)
#include "tst_arearecords.moc"
