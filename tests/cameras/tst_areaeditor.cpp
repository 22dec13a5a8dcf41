// The area editor on a shown camera view in the template source: drawing
// rectangles, circles, polygons and freehand outlines, selecting, moving,
// resizing and copying areas, with the limits and the messages the operator
// sees; and the pure rules underneath.
#include "areaeditor.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "sharedboxes.h"
#include "slotrig.h"
#include "warnbox.h"

#include <QMouseEvent>
#include <QtTest>

#include <memory>

namespace {

constexpr int kW = 320;
constexpr int kH = 200;
constexpr double kShowA = 2.0;   // a 640 x 400 screen
constexpr int kScreenW = 640;
constexpr int kScreenH = 400;

QString dev(const QString& serial)
{
    return QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
        .arg(serial)
        .arg(kW)
        .arg(kH);
}

using Points = QList<QPoint>;

} // namespace

class TestAreaEditor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();

    void rubberBand_data();
    void rubberBand();
    void pressAndReleaseDropsTool_data();
    void pressAndReleaseDropsTool();
    void fiftyAreasRefused_data();
    void fiftyAreasRefused();
    void polygonClicks();
    void polygonBufferFull();
    void freehand_data();
    void freehand();
    void freehandStopsAtLimit();
    void pressSelectsAndMoves();
    void moveThreshold_data();
    void moveThreshold();
    void pressOutsideThenCopy();
    void resizeByHandle_data();
    void resizeByHandle();
    void circleHandle();
    void polygonVertexStaysInPicture();
    void polygonMoveRefusedAtBorder();
    void roiSwitch();
    void copyCentring();
    void polygonCopy();
    void copyDeclined();
    void firstArea_data();
    void firstArea();
    void outputResetOnlyInDetection0_data();
    void outputResetOnlyInDetection0();
    void noEditInGrid();
    void noEditInOtherSources_data();
    void noEditInOtherSources();
    void zoomPanMapping_data();
    void zoomPanMapping();
    void outlinePastBorderStoredInside_data();
    void outlinePastBorderStoredInside();

private:
    CammerWidget* view() const { return rig_->slot[0]; }
    CammerSingleton& set() const { return *rig_->slot[0]->workSet; }
    ViewState& vs() const { return rig_->host.view; }
    // Events go straight to the view with the held buttons explicit, so a
    // finger beyond the picture still reaches it.
    void send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, QPointF(p), view()->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
        QApplication::sendEvent(view(), &e);
    }
    void press(QPoint p) { send(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    void release(QPoint p) { send(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    void move(QPoint p, Qt::MouseButtons held = Qt::LeftButton) { send(QEvent::MouseMove, p, Qt::NoButton, held); }
    void drag(QPoint from, QPoint to)
    {
        press(from);
        move(to);
        release(to);
    }
    void addRect(int d, const QRect& r);
    void addPolygon(int d, const Points& pts);
    void select(int i);
    QList<int> messages() const;
    std::unique_ptr<SlotRig> rig_;
    std::unique_ptr<SharedBoxes> boxes_;
};

void TestAreaEditor::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 2;
    gDNum = 2;
    QVERIFY(rig_->build(dev("CAM01"), kW, kH, kShowA, 1));
    QCOMPARE(gShowW, kScreenW);
    boxes_ = std::make_unique<SharedBoxes>();
    view()->setGeometry(0, 0, gShowW, gShowH);
    view()->show();
    rig_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));
    rig_->host.pageMode = PageModeArea;
    vs().viewCamera = 0;
    vs().editDetect = 0;
    gSource = PictureSourceTemplate;
    for (int d = 0; d < kDetections; ++d)
        set().roiCount[d] = 0;
    rig_->host.drawPolygonButton = [this] { view()->SavePolygon(); };
}

void TestAreaEditor::cleanup()
{
    boxes_.reset();
    rig_.reset();
}

void TestAreaEditor::addRect(int d, const QRect& r)
{
    const int n = set().roiCount[d]++;
    set().SetDefaultArea(d, n);
    set().roiRect[d][n] = ClustomRect(r);
    view()->workMask[d][n] = set().UpdateAreaMask(d, n);
}

void TestAreaEditor::addPolygon(int d, const Points& pts)
{
    const int n = set().roiCount[d]++;
    set().SetDefaultArea(d, n);
    set().roiShape[d][n] = RoiShapePolygon;
    set().roiPolygon[d][n] = RePolygon(static_cast<int>(pts.size()), pts.data());
    view()->workMask[d][n] = set().UpdateAreaMask(d, n);
}

void TestAreaEditor::select(int i)
{
    SetAreaSelected(set(), vs().editDetect, i, true);
    view()->selRoi = i;
}

QList<int> TestAreaEditor::messages() const
{
    QList<int> ids;
    for (const ModalRequest& r : rig_->env.modalRequests)
        ids << r.messageId;
    return ids;
}

// ------------------------------------------------------- rectangle, circle

void TestAreaEditor::rubberBand_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<bool>("made");
    for (int tool : {1, 4}) {
        const char* name = tool == 1 ? "rectangle" : "circle";
        QTest::addRow("%s 10 x 10 made", name) << tool << QPoint(100, 100) << QPoint(110, 110) << true;
        QTest::addRow("%s 9 wide refused", name) << tool << QPoint(100, 100) << QPoint(109, 150) << false;
        QTest::addRow("%s towards upper left refused", name) << tool << QPoint(110, 110) << QPoint(100, 100) << false;
    }
}

void TestAreaEditor::rubberBand()
{
    QFETCH(int, tool);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(bool, made);
    vs().drawMode = tool;
    drag(from, to);
    QCOMPARE(vs().drawMode, 0);   // made or refused, the tool is dropped
    QCOMPARE(view()->editor.editAction, int(EditActionNone));
    QCOMPARE(set().roiCount[0], made ? 1 : 0);
    QVERIFY(rig_->env.modalRequests.empty());
    if (!made) {
        QCOMPARE(view()->selRoi, -1);
        return;
    }
    QCOMPARE(view()->selRoi, 0);
    QCOMPARE(set().roiShape[0][0], tool == 1 ? int(RoiShapeRect) : int(RoiShapeCircle));
    if (tool == 1) {
        QCOMPARE(set().roiRect[0][0].rect, QRect(from, to));
        QVERIFY(set().roiRect[0][0].IsSelected());
    } else {
        const Circle& c = set().roiCircle[0][0];
        QCOMPARE(QPoint(c.cx, c.cy), QPoint(105, 105));
        QCOMPARE(c.r1, 5);
        QVERIFY(c.IsSelected());
    }
    QVERIFY(!view()->workMask[0][0].empty());
}

void TestAreaEditor::pressAndReleaseDropsTool_data()
{
    QTest::addColumn<int>("tool");
    QTest::newRow("rectangle") << 1;
    QTest::newRow("circle") << 4;
}

void TestAreaEditor::pressAndReleaseDropsTool()
{
    QFETCH(int, tool);
    vs().drawMode = tool;
    press({100, 100});
    QCOMPARE(view()->editor.editAction, int(EditActionStart));
    release({100, 100});
    QCOMPARE(vs().drawMode, 0);
    QCOMPARE(view()->editor.editAction, int(EditActionNone));
    QCOMPARE(set().roiCount[0], 0);
}

void TestAreaEditor::fiftyAreasRefused_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("rectangle") << "rectangle";
    QTest::newRow("circle") << "circle";
    QTest::newRow("polygon") << "polygon";
    QTest::newRow("freehand") << "freehand";
    QTest::newRow("copy") << "copy";
}

void TestAreaEditor::fiftyAreasRefused()
{
    QFETCH(QString, how);
    for (int i = 0; i < kAreas; ++i)
        addRect(0, QRect(QPoint(5 + i, 5), QPoint(15 + i, 15)));
    const CammerSingleton before = set();
    if (how == "rectangle" || how == "circle") {
        vs().drawMode = how == "rectangle" ? 1 : 4;
        drag({200, 200}, {260, 260});
        // The drawing state and the tool stay.
        QCOMPARE(vs().drawMode, how == "rectangle" ? 1 : 4);
        QCOMPARE(view()->editor.editAction, int(EditActionDraw));
    } else if (how == "polygon") {
        vs().drawMode = 2;
        for (QPoint p : {QPoint(200, 200), QPoint(300, 200), QPoint(300, 300)}) {
            press(p);
            release(p);
        }
        view()->SavePolygon();
        QCOMPARE(view()->editor.polyCount, 3);   // the polygon in progress stays
        QCOMPARE(vs().drawMode, 2);
    } else if (how == "freehand") {
        vs().drawMode = 2;
        vs().freehandMode = true;
        press({200, 200});
        for (int k = 0; k < 8; ++k)
            move({200 + 10 * k, 200 + 5 * k});
        release({270, 235});
    } else {
        rig_->env.modalAnswers = {1};
        vs().copyAreaMode = true;
        press({300, 300});
        release({300, 300});
    }
    QCOMPARE(messages().count(36), 1);
    QCOMPARE(set().roiCount[0], kAreas);
    QVERIFY(set() == before);
}

// ---------------------------------------------------------------- polygons

void TestAreaEditor::polygonClicks()
{
    vs().drawMode = 2;
    set().roiNgCount[0][0] = 7;   // left by an earlier area in the slot
    auto click = [this](QPoint p) {
        press(p);
        release(p);
    };
    click({100, 100});
    click({200, 100});
    click({108, 91});   // within 9 of the first point, two placed: nothing stored
    QCOMPARE(set().roiCount[0], 0);
    QCOMPARE(view()->editor.polyCount, 2);
    QCOMPARE(vs().drawMode, 2);
    QCOMPARE(view()->editor.editAction, int(EditActionDraw));

    click({200, 200});
    click({91, 109});   // three placed: the polygon is stored
    QCOMPARE(set().roiCount[0], 1);
    QCOMPARE(set().roiShape[0][0], int(RoiShapePolygon));
    QCOMPARE(set().roiPolygon[0][0].points(), (std::vector<QPoint>{{100, 100}, {200, 100}, {200, 200}}));
    QVERIFY(set().roiPolygon[0][0].IsSelected());
    QCOMPARE(set().roiNgCount[0][0], 0);   // like every new area
    QCOMPARE(view()->selRoi, 0);
    QCOMPARE(vs().drawMode, 0);
    QCOMPARE(view()->editor.polyCount, 0);
    QVERIFY(!view()->editor.polyGesture);
    QVERIFY(rig_->host.events.contains("draw polygon button"));

    // The page's "End Polygon" stores a polygon in progress the same way.
    vs().drawMode = 2;
    click({300, 300});
    click({400, 300});
    click({400, 380});
    view()->SavePolygon();
    QCOMPARE(set().roiCount[0], 2);
    QCOMPARE(set().roiPolygon[0][1].count(), 3);
    QCOMPARE(view()->selRoi, 1);
    QVERIFY(!set().roiPolygon[0][0].IsSelected());
}

void TestAreaEditor::polygonBufferFull()
{
    vs().drawMode = 2;
    view()->editor.polyGesture = true;
    view()->editor.editAction = EditActionDraw;
    for (int k = 0; k < RePolygon::kMaxPoints; ++k)
        view()->editor.polyPoints[static_cast<size_t>(k)] = QPoint(k % 600 + 10, k / 600 + 10);
    view()->editor.polyCount = RePolygon::kMaxPoints;
    press({500, 300});
    release({500, 300});
    QCOMPARE(messages(), QList<int>{35});
    QCOMPARE(view()->editor.polyCount, kEditorMaxPoints);
    QCOMPARE(set().roiCount[0], 0);
}

void TestAreaEditor::freehand_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("stored");
    QTest::newRow("5 points discarded") << 5 << false;
    QTest::newRow("6 points stored") << 6 << true;
}

void TestAreaEditor::freehand()
{
    QFETCH(int, points);
    QFETCH(bool, stored);
    vs().drawMode = 2;
    vs().freehandMode = true;
    press({100, 100});
    QCOMPARE(view()->editor.polyCount, 0);   // the points come from the moves
    const QPoint path[6] = {{100, 100}, {150, 90}, {200, 120}, {210, 200}, {150, 220}, {90, 160}};
    for (int k = 0; k < points; ++k)
        move(path[k]);
    release(path[points - 1]);
    QCOMPARE(vs().drawMode, 0);
    QCOMPARE(view()->editor.polyCount, 0);
    QCOMPARE(set().roiCount[0], stored ? 1 : 0);
    if (stored)
        QCOMPARE(set().roiPolygon[0][0].count(), 6);
}

void TestAreaEditor::freehandStopsAtLimit()
{
    vs().drawMode = 2;
    vs().freehandMode = true;
    press({100, 100});
    for (int k = 0; k < kEditorMaxPoints - 2; ++k)
        view()->editor.polyPoints[static_cast<size_t>(k)] = QPoint(100 + k % 300, 100 + k / 300);
    view()->editor.polyCount = kEditorMaxPoints - 2;
    for (int k = 0; k < 5; ++k)
        move({500, 300 + k});
    QCOMPARE(view()->editor.polyCount, kEditorMaxPoints);
    release({500, 304});
    QVERIFY(rig_->env.modalRequests.empty());   // silently
    QCOMPARE(set().roiCount[0], 1);
    QCOMPARE(set().roiPolygon[0][0].count(), kEditorMaxPoints);
}

// ------------------------------------------------------ select, move, copy

void TestAreaEditor::pressSelectsAndMoves()
{
    addRect(0, QRect(QPoint(100, 100), QPoint(200, 160)));
    view()->adjustPart = 2;
    press({150, 130});
    QCOMPARE(view()->selRoi, 0);
    QVERIFY(set().roiRect[0][0].IsSelected());
    QCOMPARE(view()->adjustPart, 0);
    QCOMPARE(view()->editor.editAction, int(EditActionMove));
    QCOMPARE(view()->cursor().shape(), Qt::SizeAllCursor);
    move({170, 130});
    release({170, 130});
    QCOMPARE(set().roiRect[0][0].rect, QRect(QPoint(120, 100), QPoint(220, 160)));
    // The mask follows the area on release.
    QCOMPARE(set().roiRect[0][0].imgLeft, 60);
    QCOMPARE(view()->workMask[0][0].cols, set().roiRect[0][0].ImageRect().width);
    QCOMPARE(view()->editor.editAction, int(EditActionNone));
    QVERIFY(!view()->editor.fingerDown);
}

void TestAreaEditor::moveThreshold_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("moved");
    for (int shape : {int(RoiShapeRect), int(RoiShapePolygon)}) {
        const char* name = shape == RoiShapeRect ? "rectangle" : "polygon";
        QTest::addRow("%s 2 image pixels", name) << shape << 4 << 0;
        QTest::addRow("%s 3 image pixels", name) << shape << 7 << 7;
        QTest::addRow("%s back 3 image pixels", name) << shape << -6 << -6;
    }
}

void TestAreaEditor::moveThreshold()
{
    QFETCH(int, shape);
    QFETCH(int, dx);
    QFETCH(int, moved);
    if (shape == RoiShapeRect)
        addRect(0, QRect(QPoint(100, 100), QPoint(200, 160)));
    else
        addPolygon(0, {{100, 100}, {200, 100}, {200, 160}, {100, 160}});
    select(0);
    press({150, 130});
    move({150 + dx, 131});
    release({150 + dx, 131});
    const QPoint first = shape == RoiShapeRect ? set().roiRect[0][0].rect.topLeft() : set().roiPolygon[0][0].point(0);
    QCOMPARE(first, QPoint(100 + moved, 100 + (moved ? 1 : 0)));
}

void TestAreaEditor::pressOutsideThenCopy()
{
    addRect(0, QRect(QPoint(20, 20), QPoint(60, 60)));
    addRect(0, QRect(QPoint(100, 100), QPoint(200, 160)));
    press({150, 130});
    release({150, 130});
    QCOMPARE(view()->selRoi, 1);
    press({400, 300});   // outside every area
    release({400, 300});
    QCOMPARE(view()->selRoi, -1);
    QCOMPARE(view()->lastSelRoi, 1);
    QVERIFY(!set().roiRect[0][1].IsSelected());
    QVERIFY(!set().roiRect[0][0].IsSelected());

    rig_->env.modalAnswers = {1};
    vs().copyAreaMode = true;
    press({300, 250});
    release({300, 250});
    QCOMPARE(messages(), QList<int>{38});
    QVERIFY(!vs().copyAreaMode);
    QCOMPARE(set().roiCount[0], 3);
    QCOMPARE(set().roiRect[0][2].rect, QRect(QPoint(250, 220), QPoint(350, 280)));
    QCOMPARE(view()->selRoi, 2);
    QVERIFY(set().roiRect[0][2].IsSelected());
    QVERIFY(!set().roiRect[0][1].IsSelected());
}

void TestAreaEditor::resizeByHandle_data()
{
    QTest::addColumn<QPoint>("handle");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QRect>("expected");
    // Rectangle (100, 100)-(200, 160), each handle dragged by (+20, +20).
    auto r = [](int l, int t, int rr, int b) { return QRect(QPoint(l, t), QPoint(rr, b)); };
    QTest::newRow("0 top left") << QPoint(100, 100) << int(Qt::SizeFDiagCursor) << r(120, 120, 200, 160);
    QTest::newRow("1 top") << QPoint(150, 100) << int(Qt::SizeVerCursor) << r(100, 120, 200, 160);
    QTest::newRow("2 top right") << QPoint(200, 100) << int(Qt::SizeBDiagCursor) << r(100, 120, 220, 160);
    QTest::newRow("3 left") << QPoint(100, 130) << int(Qt::SizeHorCursor) << r(120, 100, 200, 160);
    QTest::newRow("4 right") << QPoint(200, 130) << int(Qt::SizeHorCursor) << r(100, 100, 220, 160);
    QTest::newRow("5 bottom left") << QPoint(100, 160) << int(Qt::SizeBDiagCursor) << r(120, 100, 200, 180);
    QTest::newRow("6 bottom") << QPoint(150, 160) << int(Qt::SizeVerCursor) << r(100, 100, 200, 180);
    QTest::newRow("7 bottom right") << QPoint(200, 160) << int(Qt::SizeFDiagCursor) << r(100, 100, 220, 180);
}

void TestAreaEditor::resizeByHandle()
{
    QFETCH(QPoint, handle);
    QFETCH(int, cursor);
    QFETCH(QRect, expected);
    addRect(0, QRect(QPoint(100, 100), QPoint(200, 160)));
    select(0);
    move({400, 300}, Qt::NoButton);
    QCOMPARE(view()->cursor().shape(), Qt::ArrowCursor);
    move(handle, Qt::NoButton);   // hover
    QCOMPARE(int(view()->cursor().shape()), cursor);
    press(handle);
    QCOMPARE(view()->editor.editAction, int(EditActionResize));
    move(handle + QPoint(10, 10));   // no step threshold for a resize
    move(handle + QPoint(20, 20));
    release(handle + QPoint(20, 20));
    QCOMPARE(set().roiRect[0][0].rect, expected);
    QCOMPARE(view()->workMask[0][0].cols, set().roiRect[0][0].ImageRect().width);
    QCOMPARE(view()->workMask[0][0].rows, set().roiRect[0][0].ImageRect().height);
}

void TestAreaEditor::circleHandle()
{
    const int n = set().roiCount[0]++;
    set().SetDefaultArea(0, n);
    set().roiShape[0][0] = RoiShapeCircle;
    set().roiCircle[0][0].rect = QRect(QPoint(100, 100), QPoint(200, 200));
    set().roiCircle[0][0].UpdateAll();
    select(0);
    move({200, 200}, Qt::NoButton);
    QCOMPARE(view()->cursor().shape(), Qt::SizeFDiagCursor);
    press({200, 200});
    move({240, 240});
    release({240, 240});
    const Circle& c = set().roiCircle[0][0];
    QCOMPARE(c.rect, QRect(QPoint(100, 100), QPoint(240, 240)));
    QCOMPARE(QPoint(c.cx, c.cy), QPoint(170, 170));
    QCOMPARE(c.r1, 70);
    QCOMPARE(view()->workMask[0][0].cols, c.ImageRect().width);
}

void TestAreaEditor::polygonVertexStaysInPicture()
{
    addPolygon(0, {{500, 300}, {600, 300}, {600, 380}});
    select(0);
    move({600, 380}, Qt::NoButton);
    QCOMPARE(view()->cursor().shape(), Qt::SizeFDiagCursor);
    press({600, 380});
    QCOMPARE(view()->editor.editAction, int(EditActionResize));
    move({700, 450});
    release({700, 450});
    QCOMPARE(set().roiPolygon[0][0].point(2), QPoint(kScreenW - 1, kScreenH - 1));
    QCOMPARE(set().roiPolygon[0][0].imgRight, kW - 1);
}

void TestAreaEditor::polygonMoveRefusedAtBorder()
{
    addPolygon(0, {{10, 100}, {100, 100}, {100, 160}});
    select(0);
    press({80, 130});
    move({72, 130});   // the first point would reach x = 2
    release({72, 130});
    QCOMPARE(set().roiPolygon[0][0].point(0), QPoint(10, 100));
    QCOMPARE(set().roiPolygon[0][0].point(1), QPoint(100, 100));
}

void TestAreaEditor::roiSwitch()
{
    addRect(0, QRect(QPoint(100, 100), QPoint(200, 200)));
    addRect(0, QRect(QPoint(150, 150), QPoint(300, 300)));
    addRect(0, QRect(QPoint(400, 50), QPoint(500, 100)));
    press({170, 170});   // both of the first two lie here
    release({170, 170});
    QCOMPARE(view()->selRoi, 0);
    view()->roiSwitchButton->click();
    QCOMPARE(view()->selRoi, 1);
    QVERIFY(set().roiRect[0][1].IsSelected());
    QVERIFY(!set().roiRect[0][0].IsSelected());
    view()->roiSwitchButton->click();
    QCOMPARE(view()->selRoi, 0);
    QVERIFY(!set().roiRect[0][1].IsSelected());

    // Over one area it reselects the same one.
    view()->DeselectROI();
    press({450, 70});
    release({450, 70});
    QCOMPARE(view()->selRoi, 2);
    view()->roiSwitchButton->click();
    QCOMPARE(view()->selRoi, 2);
    QVERIFY(set().roiRect[0][2].IsSelected());
}

void TestAreaEditor::copyCentring()
{
    addRect(0, QRect(QPoint(10, 10), QPoint(21, 21)));
    select(0);
    rig_->env.modalAnswers = {1, 1};
    view()->SlotCopyArea({100, 100});
    // Centre (10 + 21) / 2 = 15, truncated.
    QCOMPARE(set().roiRect[0][1].rect, QRect(QPoint(95, 95), QPoint(106, 106)));

    // A copy placed at the border is moved inside whole.
    view()->SlotCopyArea({636, 397});
    QCOMPARE(set().roiRect[0][2].rect, QRect(QPoint(628, 388), QPoint(639, 399)));
}

void TestAreaEditor::polygonCopy()
{
    addPolygon(0, {{50, 50}, {100, 50}, {100, 100}});
    set().roiMethod[0][0] = AreaFuncSpot;
    set().roiNgCount[0][0] = 4;
    set().roiOutput[0] = 2;
    select(0);
    rig_->env.modalAnswers = {1, 1};
    view()->SlotCopyArea({300, 200});
    QCOMPARE(set().roiPolygon[0][1].points(), (std::vector<QPoint>{{300, 200}, {350, 200}, {350, 250}}));
    QCOMPARE(set().roiShape[0][1], int(RoiShapePolygon));
    QCOMPARE(set().roiMethod[0][1], int(AreaFuncSpot));
    QCOMPARE(set().roiNgCount[0][1], 0);
    QCOMPARE(set().roiOutput[1], 2);
    QVERIFY(set().roiPolygon[0][1].IsSelected());
    QVERIFY(!set().roiPolygon[0][0].IsSelected());
    // Each coordinate brought into the picture.
    view()->SlotCopyArea({600, 380});
    QCOMPARE(set().roiPolygon[0][2].points(), (std::vector<QPoint>{{600, 380}, {639, 380}, {639, 399}}));
}

void TestAreaEditor::copyDeclined()
{
    addRect(0, QRect(QPoint(10, 10), QPoint(21, 21)));
    select(0);
    const CammerSingleton before = set();
    rig_->env.modalAnswers = {0};
    vs().copyAreaMode = true;
    press({300, 300});
    release({300, 300});
    QCOMPARE(messages(), QList<int>{38});
    QVERIFY(set() == before);
    QCOMPARE(set().roiCount[0], 1);

    // With no area at all nothing is asked.
    set().roiCount[0] = 0;
    view()->SlotCopyArea({300, 300});
    QCOMPARE(messages(), QList<int>{38});
}

// --------------------------------------------------------------- new areas

void TestAreaEditor::firstArea_data()
{
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    // The slot held A 77, C 88 before.
    const int rect = RoiShapeRect, circle = RoiShapeCircle, poly = RoiShapePolygon;
    const QStringList all{"spot", "black", "white", "similarity", "count", "direction", "distance"};
    for (int shape : {rect, circle, poly}) {
        const char* s = shape == rect ? "rectangle" : shape == circle ? "circle" : "polygon";
        const bool p = shape == poly;
        QTest::addRow("all, %s", s) << all << shape << int(AreaFuncSpot) << 12800 << 80 << 500;
        QTest::addRow("black, %s", s) << QStringList{"black", "white"} << shape << int(AreaFuncBlackArea) << 77
                                      << 50 << 100;
        QTest::addRow("white, %s", s) << QStringList{"white", "distance"} << shape << int(AreaFuncWhiteArea) << 77
                                      << 200 << 100;
        QTest::addRow("similarity, %s", s) << QStringList{"similarity", "count"} << shape
                                           << int(AreaFuncSimilarity) << 77 << 80 << 88;
        QTest::addRow("white count, %s", s) << QStringList{"count", "direction"} << shape
                                            << int(AreaFuncWhiteCount) << (p ? 1 : 5) << 128 << (p ? 131073 : 1);
        QTest::addRow("direction and distance, %s", s)
            << QStringList{"direction", "distance"} << shape << int(p ? AreaFuncDistance : AreaFuncDirection)
            << 1 << (p ? 35 : 5000) << (p ? 50 : 10000);
        QTest::addRow("direction only, %s", s) << QStringList{"direction"} << shape
                                               << int(p ? AreaFuncDefect : AreaFuncDirection) << (p ? 3 : 1)
                                               << (p ? 45 : 5000) << (p ? 100 : 10000);
        QTest::addRow("none, %s", s) << QStringList{} << shape << int(AreaFuncDefect) << 3 << 45 << 100;
    }
}

void TestAreaEditor::firstArea()
{
    QFETCH(QStringList, offered);
    QFETCH(int, shape);
    QFETCH(int, method);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    WizardPara& para = rig_->host.para;
    para.spotEnabled = offered.contains("spot");
    para.blackAreaEnabled = offered.contains("black");
    para.whiteAreaEnabled = offered.contains("white");
    para.similarityEnabled = offered.contains("similarity");
    para.whiteCountEnabled = offered.contains("count");
    para.directionEnabled = offered.contains("direction");
    para.distanceEnabled = offered.contains("distance");
    set().roiMinSize[0][0] = 77;
    set().roiMaxArea[0][0] = 88;

    auto draw = [this, shape](QPoint at) {
        if (shape == RoiShapePolygon) {
            vs().drawMode = 2;
            for (QPoint p : {at, at + QPoint(60, 0), at + QPoint(60, 40)}) {
                press(p);
                release(p);
            }
            view()->SavePolygon();
        } else {
            vs().drawMode = shape == RoiShapeRect ? 1 : 4;
            drag(at, at + QPoint(40, 40));
        }
    };
    draw({100, 100});
    QCOMPARE(set().roiCount[0], 1);
    QCOMPARE(set().roiShape[0][0], shape);
    QCOMPARE(set().roiMethod[0][0], method);
    QCOMPARE(set().roiMinSize[0][0], a);
    QCOMPARE(set().roiSensibility[0][0], b);
    QCOMPARE(set().roiMaxArea[0][0], c);

    // The second area copies the first, whatever is offered.
    para.spotEnabled = !para.spotEnabled;
    set().roiMinSize[0][0] = 61;
    draw({300, 200});
    QCOMPARE(set().roiCount[0], 2);
    QCOMPARE(set().roiMethod[0][1], method);
    QCOMPARE(set().roiMinSize[0][1], 61);
    QCOMPARE(set().roiSensibility[0][1], b);
    QCOMPARE(set().roiMaxArea[0][1], c);
}

void TestAreaEditor::outputResetOnlyInDetection0_data()
{
    QTest::addColumn<int>("detect");
    QTest::addColumn<int>("output");
    QTest::newRow("detection 0") << 0 << 0;
    QTest::newRow("detection 1") << 1 << 3;
}

void TestAreaEditor::outputResetOnlyInDetection0()
{
    QFETCH(int, detect);
    QFETCH(int, output);
    vs().editDetect = detect;
    set().roiOutput[0] = 3;
    set().roiNgCount[detect][0] = 9;
    view()->roiValue[detect][0] = 5;
    vs().drawMode = 1;
    drag({100, 100}, {150, 150});
    QCOMPARE(set().roiCount[detect], 1);
    QCOMPARE(set().roiCount[1 - detect], 0);
    QCOMPARE(set().roiOutput[0], output);
    QCOMPARE(set().roiNgCount[detect][0], 0);
    QCOMPARE(view()->roiValue[detect][0], 0);
}

// ------------------------------------------------------- where edits happen

void TestAreaEditor::noEditInGrid()
{
    addRect(0, QRect(QPoint(100, 100), QPoint(200, 160)));
    const CammerSingleton before = set();
    vs().viewCamera = numCamera;   // the grid
    vs().drawMode = 1;
    press({100, 100});
    move({150, 150});
    release({150, 150});
    QCOMPARE(vs().viewCamera, 0);
    QVERIFY(rig_->host.events.contains("change cammer 0"));
    QVERIFY(set() == before);
    QCOMPARE(view()->selRoi, -1);
    QCOMPARE(vs().drawMode, 1);
}

void TestAreaEditor::noEditInOtherSources_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("tool");
    for (int source : {int(PictureSourceNone), int(PictureSourceLive), int(PictureSourceRecentNG),
                       int(PictureSourceOKRecord), int(PictureSourceNGRecord)}) {
        QTest::addRow("source %d, select", source) << source << 0;
        QTest::addRow("source %d, rectangle", source) << source << 1;
    }
}

void TestAreaEditor::noEditInOtherSources()
{
    QFETCH(int, source);
    QFETCH(int, tool);
    addRect(0, QRect(QPoint(100, 100), QPoint(200, 160)));
    const CammerSingleton before = set();
    gSource = source;
    vs().drawMode = tool;
    press({150, 130});
    move({200, 200});
    release({200, 200});
    QVERIFY(set() == before);
    QCOMPARE(view()->selRoi, -1);
    QVERIFY(!set().roiRect[0][0].IsSelected());
    QCOMPARE(view()->editor.editAction, int(EditActionNone));
    QCOMPARE(vs().drawMode, tool);
}

void TestAreaEditor::zoomPanMapping_data()
{
    QTest::addColumn<double>("panX");
    QTest::addColumn<double>("panY");
    QTest::addColumn<QPoint>("widget");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("fractions truncated") << -100.5 << -51.0 << QPoint(31, 28) << QPoint(65, 39);
    QTest::newRow("negative toward zero") << 3.0 << 0.0 << QPoint(0, 5) << QPoint(-1, 2);
}

void TestAreaEditor::zoomPanMapping()
{
    QFETCH(double, panX);
    QFETCH(double, panY);
    QFETCH(QPoint, widget);
    QFETCH(QPoint, expected);
    vs().zoom = 2.0;
    vs().panX = panX;
    vs().panY = panY;
    vs().drawMode = 1;
    press(widget);
    QCOMPARE(view()->editor.drawRect.rect.topLeft(), expected);
    QCOMPARE(view()->editor.lastPoint, expected);
    QCOMPARE(ViewPointOf(widget, 2.0, panX, panY), expected);
}

void TestAreaEditor::outlinePastBorderStoredInside_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("rectangle") << "rectangle";
    QTest::newRow("circle") << "circle";
    QTest::newRow("polygon clicks") << "polygon";
    QTest::newRow("freehand") << "freehand";
}

void TestAreaEditor::outlinePastBorderStoredInside()
{
    QFETCH(QString, how);
    if (how == "rectangle" || how == "circle") {
        vs().drawMode = how == "rectangle" ? 1 : 4;
        press({560, 320});
        move({720, 480});   // the first move is taken as it is
        release({720, 480});
    } else if (how == "polygon") {
        vs().drawMode = 2;
        for (QPoint p : {QPoint(560, 320), QPoint(700, 330), QPoint(650, 450)}) {
            press(p);
            release(p);
        }
        view()->SavePolygon();
    } else {
        vs().drawMode = 2;
        vs().freehandMode = true;
        press({560, 320});
        for (QPoint p : {QPoint(560, 320), QPoint(620, 320), QPoint(700, 340), QPoint(720, 420), QPoint(640, 460),
                         QPoint(580, 400)})
            move(p);
        release({580, 400});
    }
    QCOMPARE(set().roiCount[0], 1);
    const QRect picture(0, 0, kScreenW, kScreenH);
    switch (set().roiShape[0][0]) {
    case RoiShapeRect:
        QCOMPARE(set().roiRect[0][0].rect, QRect(QPoint(560, 320), QPoint(639, 399)));
        break;
    case RoiShapeCircle: {
        const Circle& c = set().roiCircle[0][0];
        QVERIFY(picture.contains(c.rect));
        QVERIFY(c.cx + c.r1 <= kScreenW - 1 && c.cy + c.r1 <= kScreenH - 1);
        break;
    }
    default:
        for (const QPoint& q : set().roiPolygon[0][0].points())
            QVERIFY2(picture.contains(q), qPrintable(QStringLiteral("%1,%2").arg(q.x()).arg(q.y())));
        break;
    }
    // What is judged is what was stored: the mask covers the outline.
    const cv::Rect judged = set().AreaImageRect(0, 0);
    QCOMPARE(view()->workMask[0][0].cols, judged.width);
    QVERIFY(judged.x + judged.width <= kW && judged.y + judged.height <= kH);
}

QTEST_MAIN(TestAreaEditor)
#include "tst_areaeditor.moc"
