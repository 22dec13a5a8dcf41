// The area page over camera slots on the simulated bus: its combos, which
// controls each source shows, the detection it opens on, the source,
// camera and detection choices (the alarm output, access to the template
// source, "All Camera", the refusals and the automatic area), the stored
// picture browser, the recent NG frames and the column on the screen.
#include "checkbox.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "drawroiwidget.h"
#include "messages.h"
#include "sharedboxes.h"
#include "slotrig.h"
#include "warnbox.h"

#include <QLayout>
#include <QtTest>

#include <memory>

namespace {

constexpr int kW = 64;
constexpr int kH = 40;
constexpr double kShowA = 10.0;   // a 640 x 400 screen: the small layout

QString devices(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("{\"family\":\"mindvision\",\"serial\":\"CAM%1\",\"width\":%2,\"height\":%3,\"fps\":30}")
                    .arg(i)
                    .arg(kW)
                    .arg(kH);
    return list.join(QLatin1Char(','));
}

QStringList comboTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// A tiny JPEG of the given size.
void writeJpeg(const QString& path, int w, int h)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    QVERIFY(picture.save(path, "JPG"));
}

} // namespace

class TestDrawROIWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void init();
    void cleanup();

    void combos_data();
    void combos();
    void visibility_data();
    void visibility();
    void columnOnScreen_data();
    void columnOnScreen();
    void openingEditDetect_data();
    void openingEditDetect();
    void openingDiscardsEdits();
    void cavityBoxesShowTheOpenedSet();
    void dockSideMovesTheViewControls();
    void closing();
    void alarmSourceChange();
    void refusedTemplateAccess_data();
    void refusedTemplateAccess();
    void allCamerasOnlyLive();
    void detectionRefusals_data();
    void detectionRefusals();
    void automaticArea_data();
    void automaticArea();
    void liveTempSwitch();
    void help();
    void storedPictures();
    void storedPicturesMissingOrBroken();
    void recentNgStepping_data();
    void recentNgStepping();

private:
    FakeAreaPageHost& host() { return rig_->host; }
    ViewState& view() { return rig_->host.view; }
    CammerWidget* slot(int c) { return rig_->slot[c]; }
    DrawROIWidget* makePage();
    QList<int> messages() const;
    void scriptAnswers(std::vector<int> answers) { rig_->env.modalAnswers = std::move(answers); }

    std::unique_ptr<SlotRig> rig_;
    DrawROIWidget* page_ = nullptr;   // a child of the rig's window
    std::unique_ptr<SharedBoxes> boxes_;
};

void TestDrawROIWidget::init()
{
    rig_ = std::make_unique<SlotRig>();
    gTempNum = 3;
    gDNum = 2;
    gLan = LanEnglish;
    QVERIFY(rig_->build(devices(3), kW, kH, kShowA, 3));
    QCOMPARE(numCamera, 3);
    boxes_ = std::make_unique<SharedBoxes>();
    for (int c = 0; c < 3; ++c)
        for (int d = 0; d < kDetections; ++d)
            slot(c)->savedSet->roiCount[d] = 0;
    WizardPara& p = host().para;
    p.systemMode = SystemModeStandard;
    p.detectEnabled[0] = 1;
    p.detectEnabled[1] = 1;
    p.productDetectEnabled = 1;
    host().pageMode = PageModeArea;
    gSource = PictureSourceNone;
    rig_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));
}

void TestDrawROIWidget::cleanup()
{
    boxes_.reset();
    host().page = nullptr;
    page_ = nullptr;
    rig_.reset();
}

DrawROIWidget* TestDrawROIWidget::makePage()
{
    page_ = new DrawROIWidget(&host(), rig_->window.get());
    host().page = page_;
    page_->hide();   // as the main window does at start-up
    return page_;
}

QList<int> TestDrawROIWidget::messages() const
{
    QList<int> ids;
    for (const ModalRequest& r : rig_->env.modalRequests)
        ids << r.messageId;
    return ids;
}

// ------------------------------------------------------------ combos

void TestDrawROIWidget::combos_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("cameras");
    QTest::addColumn<QStringList>("cameraItems");
    QTest::addColumn<QStringList>("detectItems");

    const QStringList one{"Camera 1"};
    const QStringList three{"Camera 1", "Camera 2", "Camera 3", "All Camera"};
    QTest::newRow("standard, one camera") << 0 << 1 << one << QStringList{"Prod", "Mold"};
    QTest::newRow("standard, three cameras") << 0 << 3 << three << QStringList{"Prod", "Mold"};
    QTest::newRow("two colour") << 1 << 3 << three << QStringList{"Left prod", "Left mold", "Right prod", "Right mold"};
    QTest::newRow("turntable") << 2 << 1 << one << QStringList{"Left prod", "Left mold", "Right prod", "Right mold"};
    QTest::newRow("auto parts") << 3 << 3 << three << QStringList{"Prod", "Mold"};
    QTest::newRow("multi detection, 3") << 4 << 3 << three << QStringList{"1st", "2nd", "3rd"};
    QTest::newRow("unknown mode") << 7 << 3 << three << QStringList{};
}

void TestDrawROIWidget::combos()
{
    QFETCH(int, mode);
    QFETCH(int, cameras);
    QFETCH(QStringList, cameraItems);
    QFETCH(QStringList, detectItems);
    host().para.systemMode = mode;
    host().para.multiDetectCount = 3;
    numCamera = cameras;
    DrawROIWidget* page = makePage();

    QCOMPARE(comboTexts(page->sourceCombo),
             (QStringList{"Template", "Live Image", "Recent NG", "OK Record", "NG Record"}));
    QCOMPARE(comboTexts(page->cameraCombo), cameraItems);
    QCOMPARE(comboTexts(page->detectCombo), detectItems);

    // The settings page changes the number of detections.
    page->ChangeDetectNum(5);
    QCOMPARE(comboTexts(page->detectCombo), (QStringList{"1st", "2nd", "3rd", "4th", "5th"}));

    // With one camera the camera choice never shows.
    page->Reset(false);
    for (int source = PictureSourceTemplate; source <= PictureSourceNGRecord; ++source) {
        page->setSource(source);
        QCOMPARE(!page->cameraCombo->isHidden(), cameras > 1);
    }
}

// ------------------------------------------------------------ visibility

void TestDrawROIWidget::visibility_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("tools");
    QTest::addColumn<int>("cameras");
    QTest::addColumn<QStringList>("shown");   // beside "Disp Switching"
    QTest::addColumn<int>("switchCaption");   // -1: not checked

    const QStringList drawing{"source", "camera", "detect", "return", "switch", "rect", "circle",
                              "polygon", "hand", "copy", "delete", "deleteAll"};
    const QStringList browsing{"source", "camera", "detect", "return", "switch", "previous", "next", "deleteTemp"};
    for (int mode : {PageModeArea, PageModeAlarm}) {
        const char* m = mode == PageModeArea ? "area" : "alarm";
        QTest::addRow("template, drawing tools, %s", m) << 0 << mode << 1 << 3 << drawing << 52;
        QTest::addRow("template, recent NG, %s", m) << 2 << mode << 0 << 3
                                                    << QStringList{"source", "camera", "detect", "return", "previous",
                                                                   "next", "addTemp"}
                                                    << -1;
        for (int source : {3, 4})
            QTest::addRow("stored pictures %d, %s", source, m)
                << source << mode << 1 << 3
                << QStringList{"source", "camera", "detect", "return", "previous", "next"} << -1;
        QTest::addRow("none, %s", m) << -1 << mode << 1 << 3 << QStringList{} << -1;
    }
    QTest::newRow("template, browsing, area") << 0 << int(PageModeArea) << 0 << 3 << browsing << 50;
    QTest::newRow("template, browsing, alarm")
        << 0 << int(PageModeAlarm) << 0 << 3 << (QStringList(browsing) << "autoChange") << 50;
    QTest::newRow("template, one camera")
        << 0 << int(PageModeArea) << 0 << 1
        << QStringList{"source", "detect", "return", "switch", "previous", "next", "deleteTemp"} << 50;
    QTest::newRow("live, alarm") << 1 << int(PageModeAlarm) << 0 << 3
                                 << QStringList{"source", "camera", "noCheck", "reCheck", "help", "autoChange",
                                                "addTemp"}
                                 << -1;
    QTest::newRow("live, alarm, one camera")
        << 1 << int(PageModeAlarm) << 1 << 1
        << QStringList{"source", "noCheck", "reCheck", "help", "autoChange", "addTemp"} << -1;
    QTest::newRow("live, area") << 1 << int(PageModeArea) << 1 << 3 << QStringList{"source", "camera", "return"}
                                << -1;
}

void TestDrawROIWidget::visibility()
{
    QFETCH(int, source);
    QFETCH(int, pageMode);
    QFETCH(int, tools);
    QFETCH(int, cameras);
    QFETCH(QStringList, shown);
    QFETCH(int, switchCaption);
    numCamera = cameras;
    DrawROIWidget* page = makePage();
    host().pageMode = pageMode;
    gSource = source;
    page->areaToolsShown = tools;

    page->SlotChangePage();

    const std::pair<const char*, QWidget*> controls[] = {
        {"source", page->sourceCombo},          {"camera", page->cameraCombo},
        {"detect", page->detectCombo},          {"return", page->returnButton},
        {"switch", page->toolSwitchButton},     {"rect", page->drawRectButton},
        {"circle", page->drawCircleButton},     {"polygon", page->drawPolygonButton},
        {"hand", page->drawHandButton},         {"copy", page->copyButton},
        {"delete", page->deleteButton},         {"deleteAll", page->deleteAllButton},
        {"noCheck", page->noCheckButton},       {"reCheck", page->reCheckButton},
        {"help", page->helpButton},             {"autoChange", page->autoChangeButton},
        {"previous", page->previousButton},     {"next", page->nextButton},
        {"deleteTemp", page->deleteTempButton}, {"addTemp", page->addTempButton},
    };
    QVERIFY(!page->showHideButton->isHidden());
    for (const auto& [name, widget] : controls)
        QVERIFY2(widget->isHidden() != shown.contains(QLatin1String(name)), name);
    if (switchCaption >= 0)
        QCOMPARE(page->toolSwitchButton->text(), Msg(switchCaption));

    // Docked right by default (the small page is 120 wide), left on request.
    QCOMPARE(page->pos(), QPoint(gShowW - 120, 0));
    page->SlotShowHide();
    QVERIFY(page->pageAtLeft);
    QCOMPARE(page->pos(), QPoint(0, 0));
    QVERIFY2(page->showHideButton->isVisibleTo(page), "Disp Switching stays");
}

// ------------------------------------------------------------ the column on the screen

void TestDrawROIWidget::columnOnScreen_data()
{
    QTest::addColumn<int>("showW");
    QTest::addColumn<int>("showH");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("right");   // x of the page docked right

    QTest::newRow("1280 x 800, large") << 1280 << 800 << 240 << 1050;
    QTest::newRow("1024 x 600, small") << 1024 << 600 << 120 << 904;
    QTest::newRow("1920 x 1080, large") << 1920 << 1080 << 240 << 1690;
}

void TestDrawROIWidget::columnOnScreen()
{
    QFETCH(int, showW);
    QFETCH(int, showH);
    QFETCH(int, width);
    QFETCH(int, right);
    gShowW = showW;
    gShowH = showH;
    rig_->window->resize(showW, showH);
    DrawROIWidget* page = makePage();
    page->show();
    const int nominal = width == 240 ? 81 : 45;

    struct State {
        int source, pageMode, tools;
    };
    const State states[] = {{0, PageModeArea, 1}, {0, PageModeAlarm, 0}, {1, PageModeAlarm, 0},
                            {1, PageModeArea, 0}, {2, PageModeArea, 0},  {4, PageModeArea, 0}};
    for (const State& s : states) {
        for (bool left : {false, true}) {
            gSource = s.source;
            host().pageMode = s.pageMode;
            page->areaToolsShown = s.tools;
            page->pageAtLeft = left;
            page->SlotChangePage();
            page->layout()->activate();
            QCOMPARE(page->width(), width);
            QCOMPARE(page->pos(), left ? QPoint(0, 0) : QPoint(right, 0));
            for (QWidget* w : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (w->isHidden())
                    continue;
                const QRect r(page->mapTo(rig_->window.get(), QPoint(0, 0)) + w->pos(), w->size());
                const QString where = QStringLiteral("source %1 mode %2 at (%3, %4) %5 x %6")
                                          .arg(s.source)
                                          .arg(s.pageMode)
                                          .arg(r.x())
                                          .arg(r.y())
                                          .arg(r.width())
                                          .arg(r.height());
                QVERIFY2(r.top() >= 0 && r.bottom() < showH, qPrintable(where));
                // The large page overhangs the right edge by 10 px, as it always did.
                QVERIFY2(r.left() >= 0 && r.right() < showW + (width == 240 ? 10 : 0), qPrintable(where));
                QCOMPARE(r.width(), width);
                // Lowered only as far as the screen needs, and still a finger's height.
                QVERIFY2(r.height() <= nominal && r.height() >= 45, qPrintable(where));
                if (showH >= 13 * nominal + 12)
                    QCOMPARE(r.height(), nominal);
            }
        }
    }
}

// ------------------------------------------------------------ opening

void TestDrawROIWidget::openingEditDetect_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("productInUse");   // detectEnabled[0]
    QTest::addColumn<int>("same");           // moldSameAsProduct
    QTest::addColumn<int>("moldSelect");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("pageMode");
    QTest::addColumn<int>("expected");

    const int area = PageModeArea;
    QTest::newRow("standard, product not in use") << 0 << 0 << 1 << 0 << 0 << area << 1;
    QTest::newRow("standard, same parameters") << 0 << 1 << 1 << 0 << 1 << area << 0;
    QTest::newRow("standard, kept") << 0 << 1 << 0 << 0 << 1 << area << 1;
    QTest::newRow("auto parts, product not in use") << 3 << 0 << 0 << 0 << 0 << area << 1;
    QTest::newRow("auto parts, same parameters") << 3 << 1 << 1 << 0 << 1 << area << 0;
    QTest::newRow("multi, 0 not in use") << 4 << 0 << 0 << 0 << 0 << area << 1;
    QTest::newRow("multi, 0 in use") << 4 << 1 << 0 << 0 << 0 << area << 0;
    QTest::newRow("multi, 2 kept") << 4 << 0 << 1 << 0 << 2 << area << 2;
    QTest::newRow("two colour, left pair, right mould") << 1 << 1 << 0 << 1 << 0 << area << 2;
    QTest::newRow("two colour, left pair, left mould") << 1 << 1 << 0 << 0 << 1 << area << 1;
    QTest::newRow("two colour, left pair, both") << 1 << 1 << 0 << 2 << 0 << area << 0;
    QTest::newRow("two colour, right, same, left mould") << 1 << 1 << 1 << 0 << 3 << area << 1;
    QTest::newRow("two colour, right, same, right mould") << 1 << 1 << 1 << 1 << 3 << area << 2;
    QTest::newRow("turntable, right, left mould") << 2 << 1 << 0 << 0 << 3 << area << 1;
    QTest::newRow("turntable, right, right mould") << 2 << 1 << 0 << 1 << 3 << area << 3;
    QTest::newRow("turntable, right, both") << 2 << 1 << 0 << 2 << 2 << area << 2;
    QTest::newRow("turntable, product not in use") << 2 << 0 << 0 << 0 << 0 << area << 1;
    QTest::newRow("turntable, not in use, right mould") << 2 << 0 << 0 << 1 << 0 << area << 3;
    QTest::newRow("two colour, not in use, same") << 1 << 0 << 1 << 0 << 2 << area << 1;
    QTest::newRow("two colour, outside the detections") << 1 << 1 << 0 << 0 << 5 << area << 0;
    QTest::newRow("unknown mode kept") << 7 << 0 << 1 << 1 << 1 << area << 1;
    QTest::newRow("alarm keeps the current detection") << 0 << 0 << 1 << 0 << 0 << int(PageModeAlarm) << 0;
}

void TestDrawROIWidget::openingEditDetect()
{
    QFETCH(int, mode);
    QFETCH(int, productInUse);
    QFETCH(int, same);
    QFETCH(int, moldSelect);
    QFETCH(int, current);
    QFETCH(int, pageMode);
    QFETCH(int, expected);
    WizardPara& p = host().para;
    p.systemMode = mode;
    p.multiDetectCount = 4;
    p.detectEnabled[0] = productInUse;
    p.moldSameAsProduct = same;
    p.moldSelect = moldSelect;
    gDNum = mode == 0 || mode == 3 ? 2 : 4;
    host().currentDetect = current;
    host().pageMode = pageMode;
    DrawROIWidget* page = makePage();

    page->Reset(false);

    QCOMPARE(view().editDetect, expected);
    QVERIFY(page->isVisible());
    QCOMPARE(gSource, pageMode == PageModeAlarm ? int(PictureSourceLive) : int(PictureSourceTemplate));
    QCOMPARE(page->sourceCombo->currentIndex(), gSource);
    QVERIFY(messages().isEmpty());
}

void TestDrawROIWidget::openingDiscardsEdits()
{
    CammerWidget* cam = slot(1);
    CammerSingleton& saved = *cam->savedSet;
    saved.roiCount[0] = 1;
    saved.SetDefaultArea(0, 0);
    saved.RebuildMasks(cam->liveMask);
    // Unsaved edits: an area added, ignore points changed, a mask replaced.
    *cam->workSet = saved;
    cam->workSet->roiCount[0] = 2;
    cam->workSet->SetDefaultArea(0, 1);
    cam->ignoreWorkMask[0].assign(static_cast<size_t>(cam->imageLen), 255);
    cam->workMask[0][0] = cv::Mat();
    DrawROIWidget* page = makePage();
    page->areaToolsShown = 1;
    page->pageAtLeft = true;
    gSource = PictureSourceNone;

    page->Reset(false);

    QVERIFY(*cam->workSet == saved);
    QVERIFY(cam->ignoreWorkMask[0].empty());
    QCOMPARE(cam->workMask[0][0].data, cam->liveMask[0][0].data);
    QCOMPARE(page->areaToolsShown, 0);
    QVERIFY(!page->pageAtLeft);
    QVERIFY2(!page->restoreOnTemplate, "the template source took the restore");
    QCOMPARE(gSource, int(PictureSourceTemplate));
    QVERIFY(page->isVisible());

    // Opening again while the combo already shows the template source still
    // runs the source change (the template view reloads).
    view().viewCamera = 1;
    cam->tempShown = 2;
    page->Reset(false);
    QCOMPARE(cam->tempShown, 0);
}

void TestDrawROIWidget::cavityBoxesShowTheOpenedSet()
{
    host().para.showCavityNumbers = 1;
    CammerWidget* cam = slot(0);
    cam->savedSet->detectOptions[1][3] = 2;
    DrawROIWidget* page = makePage();
    page->Reset(false);
    QVERIFY(!cam->cavityBox[3]->isHidden());
    QCOMPARE(cam->cavityBox[3]->value(), 1);
    QVERIFY(host().events.contains("hide status strip"));

    // An edit left unsaved, then the page opened again: the saved ticks show.
    cam->cavityBox[3]->click();
    cam->cavityBox[5]->click();
    QCOMPARE(cam->workSet->detectOptions[1][3], 0);
    QCOMPARE(cam->workSet->detectOptions[1][5], 2);
    page->Reset(false);
    QCOMPARE(cam->cavityBox[3]->value(), 1);
    QCOMPARE(cam->cavityBox[5]->value(), 0);

    // Other sources hide them and bring the status strip back.
    page->setSource(PictureSourceRecentNG);
    QVERIFY(cam->cavityBox[3]->isHidden());
    QVERIFY(host().statusStripShown);
}

void TestDrawROIWidget::dockSideMovesTheViewControls()
{
    gShowW = 1280;
    gShowH = 800;
    rig_->window->resize(gShowW, gShowH);
    host().para.showCavityNumbers = 1;
    CammerWidget* cam = slot(0);
    DrawROIWidget* page = makePage();
    page->Reset(false);
    QVERIFY(!cam->cavityBox[0]->isHidden());
    // The column, docked right from x 1050 or left up to x 240.
    const auto clearOfColumn = [&](bool left) {
        for (const CheckBox* box : cam->cavityBox) {
            const QRect r(cam->mapTo(rig_->window.get(), box->pos()), box->size());
            if (left ? r.left() < 240 : r.right() >= 1050)
                return false;
        }
        return true;
    };
    QVERIFY(clearOfColumn(false));
    QVERIFY(!clearOfColumn(true));

    page->SlotShowHide();
    QVERIFY(page->pageAtLeft);
    QVERIFY(clearOfColumn(true));
    QVERIFY(!cam->cavityBox[15]->isHidden());
    page->SlotShowHide();
    QVERIFY(clearOfColumn(false));
}

void TestDrawROIWidget::closing()
{
    DrawROIWidget* page = makePage();
    page->Reset(false);
    slot(0)->selRoi = 0;
    host().sideBarShown = false;
    host().events.clear();

    page->Restart();

    QVERIFY(page->isHidden());
    QCOMPARE(host().pageMode, int(PageModeNone));
    QVERIFY(host().sideBarShown);
    QCOMPARE(slot(0)->selRoi, -1);
}

// ------------------------------------------------------------ source choice

void TestDrawROIWidget::alarmSourceChange()
{
    host().pageMode = PageModeAlarm;
    DrawROIWidget* page = makePage();
    page->Reset(false);
    QCOMPARE(gSource, int(PictureSourceLive));
    QVERIFY2(!host().events.contains("out 2 0"), "opening on live leaves the alarm output");
    slot(0)->alarmShow = 1;

    host().events.clear();
    page->sourceCombo->setCurrentIndex(PictureSourceRecentNG);
    QCOMPARE(gSource, int(PictureSourceRecentNG));
    const int out = int(host().events.indexOf("out 2 0"));
    QVERIFY(out >= 0);
    QCOMPARE(host().events.value(out + 1), QStringLiteral("flash"));
    QVERIFY2(!host().events.contains("check password"), "only the template source asks");

    // Back to live: the output stays as it is, the blink phase restarts.
    host().events.clear();
    page->sourceCombo->setCurrentIndex(PictureSourceLive);
    QVERIFY(!host().events.contains("out 2 0"));
    QCOMPARE(slot(0)->alarmShow, 0);

    // The template source asks for access first.
    host().events.clear();
    page->sourceCombo->setCurrentIndex(PictureSourceTemplate);
    QCOMPARE(host().events.value(0), QStringLiteral("check password"));
    QCOMPARE(gSource, int(PictureSourceTemplate));
    QVERIFY(host().events.contains("out 2 0"));
}

void TestDrawROIWidget::refusedTemplateAccess_data()
{
    QTest::addColumn<int>("from");
    QTest::newRow("from live") << int(PictureSourceLive);
    QTest::newRow("from recent NG") << int(PictureSourceRecentNG);
}

void TestDrawROIWidget::refusedTemplateAccess()
{
    QFETCH(int, from);
    host().pageMode = PageModeAlarm;
    DrawROIWidget* page = makePage();
    page->Reset(false);
    page->setSource(from);
    view().viewCamera = 0;
    CammerWidget* cam = slot(0);
    cam->shownFrame.assign(cam->shownFrame.size(), 77);
    cam->templates[0][0].assign(cam->templates[0][0].size(), 5);
    view().copyAreaMode = true;
    const bool atLeft = page->pageAtLeft = true;
    host().passwordLevel = 0;
    host().events.clear();
    QSignalSpy sourceChanges(page->sourceCombo, &QComboBox::currentIndexChanged);

    page->sourceCombo->setCurrentIndex(PictureSourceTemplate);

    QCOMPARE(host().events, QStringList{"check password"});
    QCOMPARE(gSource, from);
    QCOMPARE(page->sourceCombo->currentIndex(), from);
    QCOMPARE(int(sourceChanges.count()), 1);   // only the user's choice; the restore is silent
    QVERIFY2(std::all_of(cam->shownFrame.begin(), cam->shownFrame.end(), [](uchar v) { return v == 77; }),
             "the view still shows what it showed");
    QVERIFY(view().copyAreaMode);
    QCOMPARE(page->pageAtLeft, atLeft);
    QVERIFY(page->toolSwitchButton->isHidden());
    QVERIFY(messages().isEmpty());
}

void TestDrawROIWidget::allCamerasOnlyLive()
{
    DrawROIWidget* page = makePage();
    page->Reset(false);   // area mode: the template source
    QCOMPARE(page->cameraCombo->count(), 4);

    // "All Camera" with the template source shows the last camera.
    page->cameraCombo->setCurrentIndex(3);
    QCOMPARE(view().viewCamera, 2);
    QCOMPARE(page->cameraCombo->currentIndex(), 2);

    // The live source takes it.
    page->setSource(PictureSourceLive);
    page->cameraCombo->setCurrentIndex(3);
    QCOMPARE(view().viewCamera, 3);
    QCOMPARE(page->cameraCombo->currentIndex(), 3);

    // Leaving live with all cameras shown shows camera 0.
    host().events.clear();
    page->setSource(PictureSourceRecentNG);
    QCOMPARE(view().viewCamera, 0);
    QCOMPARE(page->cameraCombo->currentIndex(), 0);
    QVERIFY(host().events.contains("change cammer 0"));
}

// ------------------------------------------------------------ detection choice

void TestDrawROIWidget::detectionRefusals_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("productEnabled");
    QTest::addColumn<int>("same");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<int>("editDetect");
    QTest::addColumn<int>("comboItem");

    // 118: the combo goes to item 1, whose choice then runs.
    QTest::newRow("product not enabled") << 0 << 0 << 0 << 0 << QList<int>{118} << 1 << 1;
    QTest::newRow("right product not enabled") << 1 << 0 << 0 << 2 << QList<int>{118} << 1 << 1;
    QTest::newRow("mould follows product") << 0 << 1 << 1 << 1 << QList<int>{119} << 0 << 1;
    QTest::newRow("right mould follows left") << 1 << 1 << 1 << 3 << QList<int>{371} << 0 << 3;
    QTest::newRow("left mould with same parameters") << 1 << 1 << 1 << 1 << QList<int>{} << 1 << 1;
    QTest::newRow("mould without same parameters") << 0 << 1 << 0 << 1 << QList<int>{} << 1 << 1;
}

void TestDrawROIWidget::detectionRefusals()
{
    QFETCH(int, mode);
    QFETCH(int, productEnabled);
    QFETCH(int, same);
    QFETCH(int, chosen);
    QFETCH(QList<int>, messages);
    QFETCH(int, editDetect);
    QFETCH(int, comboItem);
    WizardPara& p = host().para;
    p.systemMode = mode;
    p.moldSameAsProduct = 0;
    gDNum = mode == 1 ? 4 : 2;
    for (int d = 0; d < gDNum; ++d)
        p.detectEnabled[d] = 1;
    DrawROIWidget* page = makePage();
    page->Reset(false);
    QCOMPARE(view().editDetect, 0);
    p.productDetectEnabled = productEnabled;
    p.moldSameAsProduct = same;
    rig_->env.modalRequests.clear();

    page->detectCombo->setCurrentIndex(chosen);
    if (chosen == 0)   // already shown: the slot runs directly
        page->SlotChangeDetect(chosen);

    QCOMPARE(this->messages(), messages);
    QCOMPARE(view().editDetect, editDetect);
    QCOMPARE(page->detectCombo->currentIndex(), comboItem);

    // Nothing happens on the live source.
    rig_->env.modalRequests.clear();
    page->setSource(PictureSourceLive);
    const int before = view().editDetect;
    page->SlotChangeDetect(before == 0 ? 1 : 0);
    QCOMPARE(view().editDetect, before);
    QVERIFY(this->messages().isEmpty());
}

void TestDrawROIWidget::automaticArea_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("withAreas");
    QTest::newRow("yes") << 1 << false;
    QTest::newRow("no") << 0 << false;
    QTest::newRow("detection has areas") << 1 << true;
}

void TestDrawROIWidget::automaticArea()
{
    QFETCH(int, answer);
    QFETCH(bool, withAreas);
    host().para.autoGenerateArea = 1;
    CammerWidget* cam = slot(0);
    if (withAreas) {
        cam->savedSet->roiCount[1] = 1;
        cam->savedSet->SetDefaultArea(1, 0);
    }
    DrawROIWidget* page = makePage();
    page->Reset(false);
    host().onAutogeneration = [cam](int d) {
        cam->workSet->roiCount[d] = 1;
        cam->workSet->SetDefaultArea(d, 0);
    };
    host().events.clear();
    scriptAnswers({answer});

    page->detectCombo->setCurrentIndex(1);

    QCOMPARE(view().editDetect, 1);
    QCOMPARE(messages(), withAreas ? QList<int>{} : QList<int>{354});
    QCOMPARE(int(host().events.count("autogeneration 1")), answer && !withAreas ? 1 : 0);
    QCOMPARE(cam->workSet->roiCount[1], answer || withAreas ? 1 : 0);
    QCOMPARE(cam->savedSet->roiCount[1], withAreas ? 1 : 0);
}

// ------------------------------------------------------------ alarm buttons

void TestDrawROIWidget::liveTempSwitch()
{
    host().pageMode = PageModeAlarm;
    DrawROIWidget* page = makePage();
    page->Reset(false);
    view().viewCamera = 1;
    slot(0)->isOK = 0;
    slot(1)->isOK = 1;

    page->autoChangeButton->click();
    QCOMPARE(gSource, int(PictureSourceTemplate));
    QVERIFY(!slot(0)->alarmTimer->isActive());

    page->autoChangeButton->click();
    QCOMPARE(gSource, int(PictureSourceLive));
    QVERIFY(slot(0)->alarmTimer->isActive());
    QCOMPARE(slot(0)->alarmTimer->interval(), 1000);
    QVERIFY(!slot(1)->alarmTimer->isActive());

    // Not with all cameras shown, and not outside the alarm.
    view().viewCamera = 3;
    page->SlotAutoChange();
    QCOMPARE(gSource, int(PictureSourceLive));
    view().viewCamera = 0;
    host().pageMode = PageModeArea;
    page->SlotAutoChange();
    QCOMPARE(gSource, int(PictureSourceLive));
}

void TestDrawROIWidget::help()
{
    DrawROIWidget* page = makePage();
    page->helpButton->click();
    QCOMPARE(host().helpIndex, 6);
}

// ------------------------------------------------------------ stored pictures

void TestDrawROIWidget::storedPictures()
{
    // NG pictures of camera 2, detection 2, named by a running number.
    const QString folder = host().failImageDir(1, 1, 0);
    writeJpeg(folder + "/99_2026-03-01 08.00.00.jpg", 9, 9);
    writeJpeg(folder + "/100_2026-03-01 09.00.00.jpg", 10, 10);
    writeJpeg(folder + "/7_2026-02-01 08.00.00.jpg", 7, 7);
    rig_->env.writeFile(folder.mid(2) + "/notes.txt", "not a picture");
    DrawROIWidget* page = makePage();
    page->Reset(false);
    page->cameraCombo->setCurrentIndex(1);
    page->detectCombo->setCurrentIndex(1);

    page->setSource(PictureSourceNGRecord);

    RecordPictures& rec = page->records;
    QCOMPARE(&host().recordPictures(), &rec);
    QCOMPARE(rec.recordCount, 3);
    QCOMPARE(rec.recordCamera, 1);
    QCOMPARE(page->recordDetect, 1);
    QCOMPARE(page->recordKind, 0);
    auto shows = [&](int index, const QString& name, int size) {
        QCOMPARE(rec.recordIndex, index);
        QCOMPARE(rec.recordName, name);
        QCOMPARE(rec.recordImage.size(), QSize(size, size));
    };
    shows(0, "100_2026-03-01 09.00.00", 10);
    page->nextButton->click();
    shows(1, "99_2026-03-01 08.00.00", 9);
    page->nextButton->click();
    shows(2, "7_2026-02-01 08.00.00", 7);
    page->nextButton->click();
    shows(0, "100_2026-03-01 09.00.00", 10);
    page->previousButton->click();   // the newest's previous is the oldest
    shows(2, "7_2026-02-01 08.00.00", 7);

    // Not with all cameras shown (a source change brought one back).
    view().viewCamera = 3;
    page->SlotTempNext();
    shows(2, "7_2026-02-01 08.00.00", 7);
}

void TestDrawROIWidget::storedPicturesMissingOrBroken()
{
    // No OK folder at all; one unreadable NG picture.
    const QString ng = host().failImageDir(0, 0, 0);
    rig_->env.writeFile(ng.mid(2) + "/5_broken.jpg", "this is no JPEG");
    DrawROIWidget* page = makePage();
    page->Reset(false);

    page->setSource(PictureSourceOKRecord);
    QCOMPARE(page->recordKind, 1);
    QCOMPARE(page->records.recordCount, 0);
    QVERIFY(page->records.recordName.isEmpty());
    QVERIFY(page->records.recordImage.isNull());
    page->nextButton->click();
    page->previousButton->click();
    QCOMPARE(page->records.recordIndex, 0);
    QCOMPARE(page->records.recordCount, 0);

    page->setSource(PictureSourceNGRecord);
    QCOMPARE(page->records.recordCount, 1);
    QCOMPARE(page->records.recordName, QStringLiteral("5_broken"));
    QVERIFY(page->records.recordImage.isNull());
}

// ------------------------------------------------------------ recent NG frames

void TestDrawROIWidget::recentNgStepping_data()
{
    QTest::addColumn<int>("stored");       // recentNGCount
    QTest::addColumn<QString>("clicks");   // n next, p previous
    QTest::addColumn<QList<int>>("shown"); // recentShown after each click

    QTest::newRow("none") << 0 << "npn" << QList<int>{0, 0, 0};
    QTest::newRow("one") << 1 << "npp" << QList<int>{0, 0, 0};
    QTest::newRow("three") << 3 << "nnnpp" << QList<int>{1, 2, 0, 2, 1};
    QTest::newRow("more than three stored") << 7 << "pn" << QList<int>{2, 0};
}

void TestDrawROIWidget::recentNgStepping()
{
    QFETCH(int, stored);
    QFETCH(QString, clicks);
    QFETCH(QList<int>, shown);
    CammerWidget* cam = slot(0);
    const int d = 1;
    for (int i = 0; i < std::min(stored, 3); ++i) {
        uchar* frame = cam->RecentNGBuffer(d, i);
        std::fill(frame, frame + cam->colorLen, static_cast<uchar>(10 + i));
    }
    cam->recentNGCount[d] = stored;
    DrawROIWidget* page = makePage();
    page->Reset(false);
    page->detectCombo->setCurrentIndex(d);
    cam->recentShown = 2;

    page->setSource(PictureSourceRecentNG);
    QCOMPARE(cam->recentShown, 0);

    for (int i = 0; i < clicks.size(); ++i) {
        (clicks[i] == 'n' ? page->nextButton : page->previousButton)->click();
        QCOMPARE(cam->recentShown, shown[i]);
        const uchar expected = stored ? static_cast<uchar>(10 + shown[i]) : 0;
        QCOMPARE(cam->shownFrame.size(), static_cast<size_t>(cam->colorLen));
        QVERIFY(std::all_of(cam->shownFrame.begin(), cam->shownFrame.end(),
                            [expected](uchar v) { return v == expected; }));
    }
}

QTEST_MAIN(TestDrawROIWidget)
#include "tst_drawroiwidget.moc"
