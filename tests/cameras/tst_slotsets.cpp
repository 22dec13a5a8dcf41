// The masks of a slot's saved and work sets, and the partner copies of "Two
// same parameters", through the area page's open and save sequences.
#include "cammersingleton.h"
#include "slotsets.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int kAreasPerDetection = 3;

// Detection d of the set: area 0 a rectangle, 1 a circle, 2 a polygon, each
// with parameters, output, options and NG counts that name d, and its own
// live mask.
void fillSet(CammerSingleton& set, AreaMaskArray& masks)
{
    for (int d = 0; d < kDetections; ++d) {
        set.roiCount[d] = kAreasPerDetection;
        for (int a = 0; a < kAreasPerDetection; ++a) {
            set.roiShape[d][a] = a == 0 ? RoiShapeRect : a == 1 ? RoiShapeCircle : RoiShapePolygon;
            set.roiRect[d][a] = ClustomRect(QRect(10 * d, 10 * a, 30, 20));
            set.roiCircle[d][a].cx = 100 + d;
            set.roiCircle[d][a].r1 = 5 + a;
            set.roiCircle[d][a].UpdateRect();
            const QPoint pts[3] = {{d, a}, {d + 20, a}, {d, a + 20}};
            set.roiPolygon[d][a].setPoints(3, pts);
            set.roiMinSize[d][a] = 100 * d + a;
            set.roiSensibility[d][a] = 200 * d + a;
            set.roiMaxArea[d][a] = 300 * d + a;
            set.roiMethod[d][a] = (d + a) % kAreaFuncCount;
            set.roiNgCount[d][a] = 1000 + 10 * d + a;
            masks[d][a] = cv::Mat(4, 4, CV_8U, cv::Scalar(10 * d + a));
        }
        for (int k = 0; k < kDetectOptions; ++k)
            set.detectOptions[d][k] = 50 + d;
    }
    for (int a = 0; a < kAreas; ++a)
        set.roiOutput[a] = a % 8;
}

// What the user changes in the work set: parameters and a new mask for
// every area (masks are replaced, never changed in place).
void editWorkSet(CammerSingleton& work, AreaMaskArray& workMask)
{
    for (int d = 0; d < kDetections; ++d) {
        for (int a = 0; a < kAreasPerDetection; ++a) {
            work.roiMinSize[d][a] += 7;
            workMask[d][a] = cv::Mat(4, 4, CV_8U, cv::Scalar(200));
        }
    }
}

bool sameAreas(const CammerSingleton& set, int s, int t)
{
    if (set.roiCount[s] != set.roiCount[t])
        return false;
    for (int a = 0; a < set.roiCount[s]; ++a) {
        // Only the shape object of the area's shape code is in use.
        const int shape = set.roiShape[s][a];
        if (shape != set.roiShape[t][a] || (shape == RoiShapeRect && set.roiRect[s][a] != set.roiRect[t][a])
            || (shape == RoiShapeCircle && set.roiCircle[s][a] != set.roiCircle[t][a])
            || (shape == RoiShapePolygon && set.roiPolygon[s][a] != set.roiPolygon[t][a])
            || set.roiMinSize[s][a] != set.roiMinSize[t][a]
            || set.roiSensibility[s][a] != set.roiSensibility[t][a]
            || set.roiMaxArea[s][a] != set.roiMaxArea[t][a] || set.roiMethod[s][a] != set.roiMethod[t][a])
            return false;
    }
    return true;
}

} // namespace

class TestSlotSets : public QObject {
    Q_OBJECT
private slots:
    void openSharesEveryMask();
    void saveRestoresOrCopies_data();
    void saveRestoresOrCopies();
    void copyKeepsOutputsOptionsAndCounts();
};

// Opening the page: work set := saved set, then BackMask.  Every mask of the
// used detections is the live mask itself, not a copy of its pixels.
void TestSlotSets::openSharesEveryMask()
{
    TestEnv env;
    auto saved = std::make_unique<CammerSingleton>(0);
    AreaMaskArray liveMask, workMask;
    fillSet(*saved, liveMask);
    auto work = std::make_unique<CammerSingleton>(*saved);
    BackMask(workMask, liveMask, 3);

    QVERIFY(*work == *saved);
    for (int d = 0; d < 3; ++d)
        for (int a = 0; a < kAreasPerDetection; ++a)
            QCOMPARE(workMask[d][a].data, liveMask[d][a].data);
    QVERIFY(workMask[3][0].empty());   // beyond the detections in use
}

// The area page's save for every mode x "Two same parameters" x detection 0
// enabled: saved := work, RestorMask, and when the partners are copied
// CopyPara, work := saved, BackMask.  source[d] is the detection whose
// edited areas and masks detection d ends with (itself unless a copy target).
void TestSlotSets::saveRestoresOrCopies_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("sameParameters");
    QTest::addColumn<int>("detect0Enabled");
    QTest::addColumn<int>("detections");
    QTest::addColumn<QList<int>>("source");

    const QList<int> own = {0, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("standard, on: 1 copies 0") << int(SystemModeStandard) << 1 << 1 << 2 << QList<int>{0, 0};
    QTest::newRow("auto parts, on: 1 copies 0") << int(SystemModeAutoParts) << 1 << 1 << 2 << QList<int>{0, 0};
    QTest::newRow("standard, on, detection 0 off") << int(SystemModeStandard) << 1 << 0 << 2 << own.mid(0, 2);
    QTest::newRow("standard, off") << int(SystemModeStandard) << 0 << 1 << 2 << own.mid(0, 2);
    QTest::newRow("two colour, on: 2 and 3 copy 0 and 1")
        << int(SystemModeTwoColor) << 1 << 1 << 4 << QList<int>{0, 1, 0, 1};
    QTest::newRow("turntable, on, detection 0 off")
        << int(SystemModeTurntable) << 1 << 0 << 4 << QList<int>{0, 1, 0, 1};
    QTest::newRow("two colour, off") << int(SystemModeTwoColor) << 0 << 1 << 4 << own.mid(0, 4);
    QTest::newRow("multi detection, on") << int(SystemModeMultiDetect) << 1 << 1 << 8 << own;
    QTest::newRow("multi detection, off") << int(SystemModeMultiDetect) << 0 << 1 << 8 << own;
}

void TestSlotSets::saveRestoresOrCopies()
{
    QFETCH(int, mode);
    QFETCH(int, sameParameters);
    QFETCH(int, detect0Enabled);
    QFETCH(int, detections);
    QFETCH(QList<int>, source);

    TestEnv env;
    auto para = std::make_unique<WizardPara>();
    para->systemMode = mode;
    para->moldSameAsProduct = sameParameters;
    para->detectEnabled[0] = detect0Enabled;

    auto saved = std::make_unique<CammerSingleton>(0);
    AreaMaskArray liveMask, workMask;
    fillSet(*saved, liveMask);
    auto work = std::make_unique<CammerSingleton>(*saved);
    BackMask(workMask, liveMask, detections);
    editWorkSet(*work, workMask);
    work->roiRect[0][0].SetSelected(true);
    const AreaMaskArray edited = workMask;

    const AreaMaskArray beforeSave = liveMask;

    *saved = *work;
    RestorMask(liveMask, workMask, *para, detections);
    // The copy targets keep their masks until CopyPara replaces them.
    for (int d = 0; d < detections; ++d) {
        const AreaMaskArray& expected = source.at(d) != d ? beforeSave : edited;
        QCOMPARE(liveMask[d][0].data, expected[d][0].data);
    }
    if (PartnerCopyOnSave(*para)) {
        CopyPara(*saved, liveMask, mode);
        *work = *saved;
        BackMask(workMask, liveMask, detections);
    }

    for (int d = 0; d < detections; ++d) {
        const int s = source.at(d);
        QCOMPARE(IsCopyTarget(*para, d), s != d);
        QVERIFY2(sameAreas(*saved, s, d), qPrintable(QStringLiteral("detection %1").arg(d)));
        for (int a = 0; a < kAreasPerDetection; ++a) {
            QCOMPARE(liveMask[d][a].data, edited[s][a].data);
            QCOMPARE(workMask[d][a].data, liveMask[d][a].data);
        }
        if (s != d)
            QVERIFY(!saved->roiRect[d][0].IsSelected());
    }
    QVERIFY(*work == *saved);
}

// CopyPara copies areas only: the target keeps its NG counts and options,
// the shared outputs are untouched, areas beyond the source's count stay,
// and a source area of unknown shape code copies no shape object.
void TestSlotSets::copyKeepsOutputsOptionsAndCounts()
{
    TestEnv env;
    auto set = std::make_unique<CammerSingleton>(0);
    AreaMaskArray liveMask;
    fillSet(*set, liveMask);
    set->roiCount[1] = kAreasPerDetection + 1;
    set->roiMinSize[1][kAreasPerDetection] = 4242;
    set->roiShape[0][2] = 7;
    set->roiRect[0][0].SetSelected(true);
    const auto before = std::make_unique<CammerSingleton>(*set);

    CopyPara(*set, liveMask, SystemModeStandard);

    QCOMPARE(set->roiCount[1], kAreasPerDetection);
    QCOMPARE(set->roiRect[1][0], before->roiRect[0][0]);
    QVERIFY(!set->roiRect[1][0].IsSelected());
    QVERIFY(set->roiRect[0][0].IsSelected());   // the source keeps its selection
    QCOMPARE(set->roiShape[1][2], 7);
    QVERIFY(set->roiPolygon[1][2] == before->roiPolygon[1][2]);
    QCOMPARE(liveMask[1][2].data, liveMask[0][2].data);
    QCOMPARE(set->roiMinSize[1][kAreasPerDetection], 4242);
    for (int a = 0; a < kAreasPerDetection; ++a)
        QCOMPARE(set->roiNgCount[1][a], before->roiNgCount[1][a]);
    for (int k = 0; k < kDetectOptions; ++k)
        QCOMPARE(set->detectOptions[1][k], before->detectOptions[1][k]);
    for (int a = 0; a < kAreas; ++a)
        QCOMPARE(set->roiOutput[a], before->roiOutput[a]);
    for (int d = 2; d < kDetections; ++d) {
        QCOMPARE(set->roiCount[d], before->roiCount[d]);
        QCOMPARE(set->roiMinSize[d][0], before->roiMinSize[d][0]);
    }
}

QTEST_MAIN(TestSlotSets)
#include "tst_slotsets.moc"
