// The area parameter panel on a camera slot built on the simulated bus: the
// sliders over the packed values, selection without edits, the function
// button, the output choice, the part and step buttons, "All Move" at the
// border, the cavity boxes, and the deletion of an area with its ignore
// points kept in memory.
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "messages.h"
#include "paintcounter.h"
#include "slider.h"
#include "slotpictures.h"
#include "slotrig.h"

#include <QLabel>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int kW = 64;
constexpr int kH = 40;
constexpr double kShowA = 10.0;   // a 640 x 400 screen

QString dev(const QString& serial)
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
        .arg(serial)
        .arg(kW)
        .arg(kH);
}


} // namespace

class TestCammerWidgetPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();
    void packedValuesThroughSliders();
    void selectingKeepsTheWorkSet_data();
    void selectingKeepsTheWorkSet();
    void userChangeStoresAndPreviews();
    void functionButton();
    void outputChoice();
    void adjustPartAndSteps();
    void allMoveAtTheBorder_data();
    void allMoveAtTheBorder();
    void moveModeAndDeselection();
    void panelClearOfPageAtLeft();
    void cavityBoxes();
    void deleteArea_data();
    void deleteArea();

private:
    CammerWidget* slot() const { return rig_->slot[0]; }
    CammerSingleton& work() const { return *slot()->workSet; }
    // Work set := saved set, masks rebuilt: the page's state after opening.
    void openPage();
    void select(int d, int a);
    std::unique_ptr<SlotRig> rig_;
};

void TestCammerWidgetPanel::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 2;
    gDNum = 2;
    QVERIFY(rig_->build(dev("CAM01"), kW, kH, kShowA, 1));
    slot()->setGeometry(0, 0, gShowW, gShowH);
    slot()->show();
    rig_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));
    WizardPara& p = rig_->host.para;
    p.showAlgorithmDetails = 1;
    p.defectEnabled = 1;
    p.spotEnabled = 1;
    gSource = PictureSourceTemplate;

    // Detection 0: a defect rectangle, a spot rectangle, a white-count
    // circle, a polygon; detection 1: one rectangle.
    CammerSingleton& s = *slot()->savedSet;
    s.roiCount[0] = 4;
    for (int i = 0; i < 4; ++i)
        s.SetDefaultArea(0, i);
    s.roiRect[0][0] = ClustomRect(QRect(QPoint(100, 60), QPoint(200, 120)));
    s.roiRect[0][1] = ClustomRect(QRect(QPoint(300, 60), QPoint(400, 120)));
    s.roiMethod[0][1] = AreaFuncSpot;
    s.roiMinSize[0][1] = 0x7A0000 | 12800;
    s.roiShape[0][2] = RoiShapeCircle;
    s.roiCircle[0][2].cx = 300;
    s.roiCircle[0][2].cy = 250;
    s.roiCircle[0][2].r1 = 40;
    s.roiCircle[0][2].r2 = 10;
    s.roiCircle[0][2].UpdateRect();
    s.roiMethod[0][2] = AreaFuncWhiteCount;
    s.roiMaxArea[0][2] = 131073;
    const QPoint poly[] = {QPoint(20, 200), QPoint(80, 200), QPoint(60, 300), QPoint(30, 320), QPoint(20, 260)};
    s.roiShape[0][3] = RoiShapePolygon;
    s.roiPolygon[0][3].setPoints(5, poly);
    for (int i = 0; i < 4; ++i)
        s.roiOutput[i] = i % 4;
    s.roiCount[1] = 1;
    s.SetDefaultArea(1, 0);
    openPage();
}

void TestCammerWidgetPanel::cleanup() { rig_.reset(); }

void TestCammerWidgetPanel::openPage()
{
    slot()->savedSet->RebuildMasks(slot()->liveMask);
    *slot()->workSet = *slot()->savedSet;
    slot()->BackMask();
    rig_->host.events.clear();
}

void TestCammerWidgetPanel::select(int d, int a)
{
    rig_->host.view.editDetect = d;
    slot()->selRoi = a;
    slot()->ShowHideROIPara();
}

void TestCammerWidgetPanel::packedValuesThroughSliders()
{
    // Spot: A = 12800 shows 0 "Min Gray"; the switch shows 50 "Max Gray";
    // 60 there makes A = 15360 with the bits above kept.
    select(0, 1);
    QCOMPARE(slot()->minSizeSlider->value(), 0);
    QCOMPARE(slot()->minSizeSlider->objectName(), Msg(10));
    QVERIFY(slot()->paraSwitchButton->isVisible());
    QTest::mouseClick(slot()->paraSwitchButton, Qt::LeftButton);
    QVERIFY(slot()->paraSwitch);
    QCOMPARE(slot()->minSizeSlider->value(), 50);
    QCOMPARE(slot()->minSizeSlider->objectName(), Msg(11));
    QVERIFY(work() == *slot()->savedSet);
    slot()->minSizeSlider->setValue(60);
    QCOMPARE(work().roiMinSize[0][1], 0x7A0000 | 15360);

    // White count: C = 131073 shows 1 "min Number", then 2 "max Number";
    // 7 there makes C = 458753.
    select(0, 2);
    QVERIFY(!slot()->paraSwitch);
    QCOMPARE(slot()->maxAreaSlider->value(), 1);
    QCOMPARE(slot()->maxAreaSlider->objectName(), Msg(522));
    QTest::mouseClick(slot()->paraSwitchButton, Qt::LeftButton);
    QCOMPARE(slot()->maxAreaSlider->value(), 2);
    QCOMPARE(slot()->maxAreaSlider->objectName(), Msg(649));
    slot()->maxAreaSlider->setValue(7);
    QCOMPARE(work().roiMaxArea[0][2], 458753);
}

void TestCammerWidgetPanel::selectingKeepsTheWorkSet_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::newRow("defect, all three above their ranges") << 0 << 50 << 300 << 5000;
    QTest::newRow("defect, A below its range") << 0 << 0 << 45 << 100;
    QTest::newRow("position, B above 32") << 3 << 10 << 40 << 10;
    QTest::newRow("white count, minimum above 30000") << 7 << 1 << 128 << 40000;
    QTest::newRow("similarity, B above 100") << 6 << 3 << 150 << 100;
}

void TestCammerWidgetPanel::selectingKeepsTheWorkSet()
{
    QFETCH(int, method);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    CammerSingleton& s = *slot()->savedSet;
    s.roiMethod[0][0] = method;
    s.roiMinSize[0][0] = a;
    s.roiSensibility[0][0] = b;
    s.roiMaxArea[0][0] = c;
    openPage();

    // Selecting it, and the other areas before and after, edits nothing.
    select(0, 1);
    select(0, 0);
    select(0, 3);
    select(0, 0);
    QVERIFY(work() == s);
    QVERIFY(!rig_->host.events.contains(QStringLiteral("draw hint timer")));
}

void TestCammerWidgetPanel::userChangeStoresAndPreviews()
{
    select(0, 0);
    QVERIFY(slot()->sensibilitySlider->isVisible());
    slot()->testShown = 1;
    slot()->ShowHideROIPara();
    QCOMPARE(int(slot()->testShown), 0);
    // The slider's own -1 button is a user change.
    QTest::mouseClick(slot()->sensibilitySlider->minusButton, Qt::LeftButton);
    QCOMPARE(work().roiSensibility[0][0], 44);
    QCOMPARE(rig_->host.events.count(QStringLiteral("draw hint timer")), 1);
    slot()->minSizeSlider->setValue(7);
    slot()->maxAreaSlider->setValue(900);
    QCOMPARE(work().roiMinSize[0][0], 7);
    QCOMPARE(work().roiMaxArea[0][0], 900);
    QCOMPARE(rig_->host.events.count(QStringLiteral("draw hint timer")), 3);

    // Nothing selected: no slot writes.
    const CammerSingleton before = work();
    slot()->selRoi = -1;
    slot()->SlotSensitivity(3);
    slot()->SlotMinWH(3);
    slot()->SlotArea(3);
    slot()->SlotChangeFunc();
    slot()->SlotSize(0);
    slot()->SlotMove(1, 0);
    QVERIFY(work() == before);
}

void TestCammerWidgetPanel::functionButton()
{
    // Defect and spot offered: the button alternates and writes the defaults.
    select(0, 0);
    QVERIFY(slot()->funcButton->isVisible() && slot()->funcLabel->isVisible());
    QCOMPARE(slot()->funcButton->text(), Msg(25));
    QTest::mouseClick(slot()->funcButton, Qt::LeftButton);
    QCOMPARE(work().roiMethod[0][0], int(AreaFuncSpot));
    QCOMPARE(work().roiMinSize[0][0], 12800);
    QCOMPARE(work().roiSensibility[0][0], 80);
    QCOMPARE(work().roiMaxArea[0][0], 500);
    QCOMPARE(slot()->funcButton->text(), Msg(15));
    QVERIFY(slot()->paraSwitchButton->isVisible());
    QTest::mouseClick(slot()->funcButton, Qt::LeftButton);
    QCOMPARE(work().roiMethod[0][0], int(AreaFuncDefect));
    QCOMPARE(work().roiMinSize[0][0], 3);
    QCOMPARE(work().roiSensibility[0][0], 45);
    QCOMPARE(work().roiMaxArea[0][0], 100);
    QVERIFY(!slot()->paraSwitchButton->isVisible());

    // One function offered: button and label hidden.
    rig_->host.para.spotEnabled = 0;
    slot()->ShowHideROIPara();
    QVERIFY(!slot()->funcButton->isVisible() && !slot()->funcLabel->isVisible());
    // Nothing offered (a hand-edited record): the search ends, nothing changes.
    rig_->host.para.defectEnabled = 0;
    const CammerSingleton before = work();
    slot()->SlotChangeFunc();
    QVERIFY(work() == before);
}

void TestCammerWidgetPanel::outputChoice()
{
    rig_->host.para.productOkNgOutputs = 1;
    select(0, 3);
    QVERIFY(slot()->outputCombo->isVisible());
    QCOMPARE(slot()->outputCombo->currentIndex(), 3);
    QVERIFY(work() == *slot()->savedSet);
    slot()->outputCombo->setCurrentIndex(1);
    QCOMPARE(work().roiOutput[3], 1);

    // Only in detection 0.
    select(1, 0);
    QVERIFY(!slot()->outputCombo->isVisible());
    slot()->SlotOutN(2);
    QCOMPARE(work().roiOutput[0], 0);

    // Neither output option: hidden in detection 0 too.
    rig_->host.para.productOkNgOutputs = 0;
    select(0, 3);
    QVERIFY(!slot()->outputCombo->isVisible());
}

void TestCammerWidgetPanel::adjustPartAndSteps()
{
    // Circle: Inner R -> Outer R -> Center, with the step captions.
    select(0, 2);
    QCOMPARE(slot()->adjustPartButton->text(), Msg(28));
    QCOMPARE(slot()->add10Button->text(), QStringLiteral("+10"));
    QTest::mouseClick(slot()->adjustPartButton, Qt::LeftButton);
    QCOMPARE(slot()->adjustPartButton->text(), Msg(26));
    QTest::mouseClick(slot()->add10Button, Qt::LeftButton);
    QCOMPARE(work().roiCircle[0][2].r1, 50);
    QTest::mouseClick(slot()->adjustPartButton, Qt::LeftButton);
    QCOMPARE(slot()->adjustPartButton->text(), Msg(27));
    QCOMPARE(slot()->add10Button->text(), QStringLiteral("Y -1"));
    QCOMPARE(slot()->sub10Button->text(), QStringLiteral("X +1"));
    QTest::mouseClick(slot()->adjustPartButton, Qt::LeftButton);
    QCOMPARE(slot()->adjustPartButton->text(), Msg(28));

    // A step rebuilds the work mask, not the live one.
    const cv::Mat live = slot()->liveMask[0][2];
    QTest::mouseClick(slot()->add1Button, Qt::LeftButton);
    QCOMPARE(work().roiCircle[0][2].r2, 11);
    const cv::Rect r = work().AreaImageRect(0, 2);
    QCOMPARE(slot()->workMask[0][2].cols, r.width);
    QVERIFY(slot()->workMask[0][2].data != live.data);
    QVERIFY(slot()->liveMask[0][2].data == live.data);

    // Polygon: "Point 1 " .. "Point 5 " and back.
    select(0, 3);
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(slot()->adjustPartButton->text(), Msg(31).arg(k % 5 + 1));
        QTest::mouseClick(slot()->adjustPartButton, Qt::LeftButton);
    }
}

void TestCammerWidgetPanel::allMoveAtTheBorder_data()
{
    QTest::addColumn<int>("polygonX");
    QTest::addColumn<bool>("moves");
    QTest::newRow("polygon at x = 3: nothing moves") << 3 << false;
    QTest::newRow("polygon at x = 4: the group moves") << 4 << true;
}

void TestCammerWidgetPanel::allMoveAtTheBorder()
{
    QFETCH(int, polygonX);
    QFETCH(bool, moves);
    CammerSingleton& s = *slot()->savedSet;
    s.roiPolygon[0][3].point(0).setX(polygonX);
    s.roiPolygon[0][3].point(4).setX(polygonX);
    openPage();

    select(0, 1);   // the group moves whichever area is selected
    QTest::mouseClick(slot()->moveModeButton, Qt::LeftButton);
    QCOMPARE(slot()->moveModeButton->text(), Msg(32));
    QTest::mouseClick(slot()->moveModeButton, Qt::LeftButton);
    QCOMPARE(slot()->moveMode, int(MoveModeAll));
    QCOMPARE(slot()->moveModeButton->text(), Msg(34));
    QVERIFY(slot()->moveLeftButton->isVisible());
    QVERIFY(!slot()->sensibilitySlider->isVisible());

    PaintCounter counter;
    slot()->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    QTest::mouseClick(slot()->moveLeftButton, Qt::LeftButton);
    QTRY_VERIFY(counter.paints > 0);
    slot()->removeEventFilter(&counter);

    if (!moves) {
        QVERIFY(work() == s);
        for (int i = 0; i < 4; ++i)
            QVERIFY(slot()->workMask[0][i].data == slot()->liveMask[0][i].data);
        return;
    }
    QCOMPARE(work().roiRect[0][0].rect, s.roiRect[0][0].rect.translated(-1, 0));
    QCOMPARE(work().roiRect[0][1].rect, s.roiRect[0][1].rect.translated(-1, 0));
    QCOMPARE(work().roiCircle[0][2].cx, s.roiCircle[0][2].cx - 1);
    QCOMPARE(work().roiPolygon[0][3].point(0).x(), polygonX - 1);
    // Detection 1 stays.
    QVERIFY(work().roiRect[1][0] == s.roiRect[1][0]);
}

void TestCammerWidgetPanel::moveModeAndDeselection()
{
    select(0, 0);
    QTest::mouseClick(slot()->moveModeButton, Qt::LeftButton);
    QCOMPARE(slot()->moveMode, int(MoveModeHidePanel));
    QVERIFY(!slot()->sensibilitySlider->isVisible() && !slot()->adjustPartButton->isVisible());
    QVERIFY(slot()->moveUpButton->isVisible());
    // Clearing the selection hides everything and returns to the panel mode.
    slot()->adjustPart = 1;
    select(0, -1);
    QCOMPARE(slot()->moveMode, int(MoveModeShowPanel));
    QCOMPARE(slot()->adjustPart, 0);
    QCOMPARE(slot()->moveModeButton->text(), Msg(12));
    const QWidget* all[] = {slot()->minSizeSlider, slot()->sensibilitySlider, slot()->maxAreaSlider,
                            slot()->funcLabel, slot()->funcButton, slot()->paraSwitchButton,
                            slot()->outputCombo, slot()->adjustPartButton, slot()->add10Button,
                            slot()->sub10Button, slot()->roiSwitchButton, slot()->moveUpButton,
                            slot()->moveModeButton};
    for (const QWidget* w : all)
        QVERIFY(!w->isVisible());
    slot()->SlotMoveAll();
    QCOMPARE(slot()->moveMode, int(MoveModeShowPanel));
}

void TestCammerWidgetPanel::panelClearOfPageAtLeft()
{
    // The small page column is 120 wide at the left edge; an area at the
    // left border would put the panel under it.
    rig_->host.pageAtLeft = true;
    select(0, 3);
    const QWidget* shown[] = {slot()->sensibilitySlider, slot()->funcLabel, slot()->funcButton,
                              slot()->moveUpButton, slot()->moveModeButton};
    for (const QWidget* w : shown)
        QVERIFY(w->geometry().left() >= 120 && w->geometry().right() < gShowW);
    rig_->host.pageAtLeft = false;
    select(0, 3);
    for (const QWidget* w : shown)
        QVERIFY(w->geometry().right() < gShowW - 120);
}

void TestCammerWidgetPanel::cavityBoxes()
{
    CammerSingleton& s = *slot()->savedSet;
    s.detectOptions[1][3] = 2;
    openPage();
    rig_->host.view.editDetect = 0;   // the boxes belong to detection 1 whatever the page shows
    slot()->SetCheckBoxState(1);
    slot()->ShowHideCheckBox(true);
    QVERIFY(slot()->cavityBox[3]->isVisible());
    QCOMPARE(slot()->cavityBox[3]->value(), 1);
    QCOMPARE(slot()->cavityBox[4]->value(), 0);
    QVERIFY(work() == s);
    QTest::mouseClick(slot()->cavityBox[4], Qt::LeftButton);
    QCOMPARE(work().detectOptions[1][4], 2);
    QTest::mouseClick(slot()->cavityBox[3], Qt::LeftButton);
    QCOMPARE(work().detectOptions[1][3], 0);
    QCOMPARE(work().detectOptions[0][4], 0);
    slot()->ShowHideCheckBox(false);
    QVERIFY(!slot()->cavityBox[3]->isVisible());
}

void TestCammerWidgetPanel::deleteArea_data()
{
    QTest::addColumn<int>("d");
    QTest::newRow("detection 0") << 0;
    QTest::newRow("detection 1") << 1;
}

void TestCammerWidgetPanel::deleteArea()
{
    QFETCH(int, d);
    CammerSingleton& s = *slot()->savedSet;
    s.roiCount[d] = 5;
    for (int i = 0; i < 5; ++i) {
        s.SetDefaultArea(d, i);
        s.roiRect[d][i] = ClustomRect(QRect(QPoint(20 + 100 * i, 20), QPoint(90 + 100 * i, 100)));
        s.roiMethod[d][i] = i % 2;
        s.roiOutput[i] = i % 4;
        s.roiNgCount[d][i] = 10 + i;
    }
    // Area 4 reaches past the picture's right and bottom edges.
    s.roiRect[d][4] = ClustomRect(QRect(QPoint(600, 300), QPoint(700, 450)));
    openPage();
    const QString ignoreFile = IgnorePointFile(0, d);
    const bool fileBefore = QFile::exists(ignoreFile);
    std::fill(slot()->ignoreMask[d].begin(), slot()->ignoreMask[d].end(), uchar(255));
    const std::vector<uchar> otherDetection = slot()->ignoreMask[1 - d];

    rig_->host.view.editDetect = d;
    slot()->DeleteROI(2);
    QCOMPARE(work().roiCount[d], 4);
    QVERIFY(work().roiRect[d][2] == s.roiRect[d][3]);
    QVERIFY(work().roiRect[d][3] == s.roiRect[d][4]);
    QCOMPARE(work().roiMethod[d][2], 1);
    QCOMPARE(work().roiOutput[2], d == 0 ? 3 : 2);
    QCOMPARE(work().roiNgCount[d][2], 12);
    QVERIFY(slot()->workMask[d][2].data == slot()->liveMask[d][3].data);

    // Area 2's image rectangle (22..29 x 2..10) is cleared in the page's
    // work copy; the live mask keeps its points until the page saves.
    const std::vector<uchar>& mask = slot()->ignoreWorkMask[d];
    QCOMPARE(int(mask.size()), kW * kH);
    QVERIFY(std::all_of(slot()->ignoreMask[d].begin(), slot()->ignoreMask[d].end(), [](uchar v) { return v == 255; }));
    QVERIFY(&slot()->shownIgnoreMask(d) == &mask);
    auto at = [&](int x, int y) { return int(mask[size_t(y * kW + x)]); };
    QCOMPARE(at(22, 2), 0);
    QCOMPARE(at(29, 10), 0);
    QCOMPARE(at(21, 5), 255);
    QCOMPARE(at(30, 5), 255);
    QCOMPARE(at(25, 11), 255);
    QVERIFY(slot()->ignoreMask[1 - d] == otherDetection);
    QVERIFY(slot()->ignoreWorkMask[1 - d].empty());
    QCOMPARE(QFile::exists(ignoreFile), fileBefore);
    QVERIFY(rig_->net.calls().isEmpty());

    // The area past the edges clears up to the picture's border only.
    slot()->DeleteROI(3);
    QCOMPARE(at(63, 39), 0);
    QCOMPARE(at(59, 39), 255);
    QCOMPARE(work().roiCount[d], 3);
    // Not an area of the detection: nothing changes.
    slot()->DeleteROI(3);
    QCOMPARE(work().roiCount[d], 3);
    QVERIFY(std::all_of(slot()->ignoreMask[d].begin(), slot()->ignoreMask[d].end(), [](uchar v) { return v == 255; }));

    // An area over no ignore points makes no work copy.
    slot()->dropIgnoreWork();
    std::fill(slot()->ignoreMask[d].begin(), slot()->ignoreMask[d].end(), uchar(0));
    slot()->DeleteROI(0);
    QCOMPARE(work().roiCount[d], 2);
    QVERIFY(slot()->ignoreWorkMask[d].empty());
}

QTEST_MAIN(TestCammerWidgetPanel)
#include "tst_cammerwidget_panel.moc"
