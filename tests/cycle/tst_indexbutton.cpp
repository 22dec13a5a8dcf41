// The side button bar on its own: which buttons show for the parameters and
// the fold state, the logo's fold, the hide timer, the detection choice, the
// capture-mode label, the logo file and the column on short screens.
#include "colorbutton.h"
#include "combobox.h"
#include "cyclestate.h"
#include "globals.h"
#include "indexbutton.h"
#include "messages.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QAbstractItemView>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const char* const kChildNames[SideBarChildCount] = {
    "multi", "start", "system", "resample", "area", "stats", "skip",
    "help", "snapshot", "combo", "mould", "product", "capture"};

// A bar over its own parameter record on a shown stand-in window of the
// given screen size; the globals it reads are restored afterwards.
struct BarRig {
    TestEnv env;
    WizardPara para;
    QWidget window;
    IndexButton* bar = nullptr;
    int oldW = gShowW, oldH = gShowH;
    bool oldStats = gisUseStatistics;

    explicit BarRig(const std::function<void(WizardPara&)>& edit = {}, bool statistics = false,
                    QSize screen = QSize(1280, 800))
    {
        if (edit)
            edit(para);
        gpWPara = &para;
        gisUseStatistics = statistics;
        gShowW = screen.width();
        gShowH = screen.height();
        window.resize(screen);
        window.show();
        bar = new IndexButton(&window);
    }
    ~BarRig()
    {
        gpWPara = nullptr;
        gShowW = oldW;
        gShowH = oldH;
        gisUseStatistics = oldStats;
    }

    // Shown (and so unfolded), laid out.
    void show()
    {
        bar->show();
        bar->layout()->activate();
    }
    void press(int y)
    {
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(20, y));
        bar->layout()->activate();
    }
    QStringList shown() const
    {
        QStringList names;
        for (int c = 0; c < SideBarChildCount; ++c)
            if (const QWidget* w = bar->child(SideBarChild(c)); w && w->isVisibleTo(bar))
                names << QString::fromLatin1(kChildNames[c]);
        return names;
    }
};

const QString kBasic = QStringLiteral("multi start system resample area help");

QStringList names(const QString& spaced)
{
    return spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// In the bar's top-to-bottom order.
QStringList ordered(QStringList list)
{
    QStringList out;
    for (const char* n : kChildNames)
        if (list.contains(QString::fromLatin1(n)))
            out << QString::fromLatin1(n);
    return out;
}

void savePicture(TestEnv& env, const QString& name, QSize size, const char* format)
{
    QDir().mkpath(env.path("images"));
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QVERIFY(img.save(env.path("images/" + name), format));
}

} // namespace

class TestIndexButton : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void visibility_data();
    void visibility();
    void hiddenBarIsSetUnfolded();
    void logoPressFoldsAndRestores();
    void showAndCheckShowHideUnfold();
    void hideTimerHidesTheBar();
    void comboListsTheDetections_data();
    void comboListsTheDetections();
    void comboTextFits_data();
    void comboTextFits();
    void captureModeLabel_data();
    void captureModeLabel();
    void columnStaysOnScreen_data();
    void columnStaysOnScreen();
    void logoFile_data();
    void logoFile();
    void sizes();
};

void TestIndexButton::initTestCase()
{
    gLan = LanEnglish;
    FillMessageTable();
}

void TestIndexButton::visibility_data()
{
    QTest::addColumn<int>("skip");
    QTest::addColumn<int>("capture");
    QTest::addColumn<int>("manual");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("statistics");
    QTest::addColumn<bool>("folded");
    QTest::addColumn<QString>("expected");

    const QString all = kBasic + " stats skip capture";
    QTest::newRow("everything off") << 0 << 0 << 0 << 0 << 0 << false << false << kBasic;
    QTest::newRow("statistics") << 0 << 0 << 0 << 0 << 0 << true << false << kBasic + " stats";
    QTest::newRow("skip") << 1 << 0 << 0 << 0 << 0 << false << false << kBasic + " skip";
    QTest::newRow("capture mode") << 0 << 1 << 0 << 0 << 0 << false << false << kBasic + " capture";
    QTest::newRow("snapshots need the switch") << 0 << 0 << 0 << 1 << 0 << false << false << kBasic;
    for (int mode = 0; mode <= 3; ++mode) {
        QTest::addRow("mode %d everything", mode)
            << 1 << 1 << 1 << 1 << mode << true << false << all + " mould product";
        QTest::addRow("mode %d without product detection", mode)
            << 0 << 0 << 1 << 0 << mode << false << false << kBasic + " mould";
        QTest::addRow("mode %d everything folded", mode) << 1 << 1 << 1 << 1 << mode << true << true << "";
    }
    QTest::newRow("mode 4 everything") << 1 << 1 << 1 << 1 << 4 << true << false << all + " snapshot combo";
    QTest::newRow("mode 4 without product detection")
        << 0 << 0 << 1 << 0 << 4 << false << false << kBasic + " snapshot combo";
    QTest::newRow("mode 4 without snapshots") << 1 << 1 << 0 << 1 << 4 << false << false
                                              << kBasic + " skip capture";
    QTest::newRow("mode 4 everything folded") << 1 << 1 << 1 << 1 << 4 << true << true << "";
}

void TestIndexButton::visibility()
{
    QFETCH(int, skip);
    QFETCH(int, capture);
    QFETCH(int, manual);
    QFETCH(int, product);
    QFETCH(int, mode);
    QFETCH(bool, statistics);
    QFETCH(bool, folded);
    QFETCH(QString, expected);

    BarRig rig([&](WizardPara& p) {
        p.skipDetectEnabled = skip;
        p.showCaptureModeButton = capture;
        p.showManualSnapshot = manual;
        p.productDetectEnabled = product;
        p.systemMode = mode;
    }, statistics);
    QCOMPARE(rig.bar->statisticsButton != nullptr, statistics);
    rig.show();
    if (folded)
        rig.press(10);
    QCOMPARE(rig.shown(), ordered(names(expected)));
    QVERIFY(rig.bar->isVisible());
    QVERIFY(rig.bar->logoLabel->isVisible());   // a folded bar is the logo alone

    // The pure table says the same.
    const SideBarSwitches s = SideBarSwitches::From(rig.para, statistics);
    const SideBarVisibility v = SideBarChildrenShown(!folded, s);
    QStringList fromTable;
    for (int c = 0; c < SideBarChildCount; ++c)
        if (v[c])
            fromTable << QString::fromLatin1(kChildNames[c]);
    QCOMPARE(fromTable, ordered(names(expected)));
}

void TestIndexButton::hiddenBarIsSetUnfolded()
{
    // Built hidden; its buttons stand as unfolded, ready for the first show.
    BarRig rig([](WizardPara& p) { p.skipDetectEnabled = 1; });
    QVERIFY(rig.bar->isHidden());
    QCOMPARE(rig.shown(), ordered(names(kBasic + " skip")));
    rig.show();
    rig.press(10);
    QVERIFY(rig.shown().isEmpty());
    rig.bar->ShowHide(0);
    QVERIFY(rig.bar->isHidden());
    QCOMPARE(rig.shown(), ordered(names(kBasic + " skip")));
}

void TestIndexButton::logoPressFoldsAndRestores()
{
    BarRig rig([](WizardPara& p) {
        p.showManualSnapshot = 1;
        p.productDetectEnabled = 0;   // product snapshot stays hidden
        p.showCaptureModeButton = 1;
    });
    rig.show();
    const QStringList allowed = ordered(names(kBasic + " mould capture"));
    QCOMPARE(rig.shown(), allowed);
    const QRect place = rig.bar->geometry();

    rig.press(rig.bar->logoHeight - 1);   // the logo's last row
    QVERIFY(!rig.bar->barUnfolded);
    QVERIFY(rig.shown().isEmpty());
    QCOMPARE(rig.bar->geometry(), place);   // the bar stays where it was
    QVERIFY(rig.bar->isVisible());

    rig.press(rig.bar->logoHeight);   // below the logo: no fold
    QVERIFY(!rig.bar->barUnfolded);
    QVERIFY(rig.shown().isEmpty());

    rig.press(5);
    QVERIFY(rig.bar->barUnfolded);
    QCOMPARE(rig.shown(), allowed);
}

void TestIndexButton::showAndCheckShowHideUnfold()
{
    BarRig rig;
    rig.show();
    rig.press(10);
    QVERIFY(!rig.bar->barUnfolded);
    rig.bar->checkShowHide();
    QVERIFY(rig.bar->barUnfolded);
    QCOMPARE(rig.shown(), ordered(names(kBasic)));
    rig.bar->checkShowHide();   // nothing to do when unfolded
    QVERIFY(rig.bar->barUnfolded);

    rig.press(10);
    rig.bar->hide();
    rig.bar->show();
    QVERIFY(rig.bar->barUnfolded);
    QCOMPARE(rig.shown(), ordered(names(kBasic)));
}

void TestIndexButton::hideTimerHidesTheBar()
{
    BarRig rig;
    rig.show();
    QCOMPARE(rig.bar->hideTimer->interval(), IndexButton::kHideMs);
    QCOMPARE(IndexButton::kHideMs, 120000);
    rig.bar->hideTimer->start();
    QMetaObject::invokeMethod(rig.bar->hideTimer, "timeout");
    QVERIFY(rig.bar->isHidden());
    QVERIFY(!rig.bar->hideTimer->isActive());
}

void TestIndexButton::comboListsTheDetections_data()
{
    QTest::addColumn<int>("count");
    for (int n = 2; n <= 8; ++n)
        QTest::addRow("%d detections", n) << n;
}

void TestIndexButton::comboListsTheDetections()
{
    QFETCH(int, count);
    BarRig rig([&](WizardPara& p) {
        p.systemMode = SystemModeMultiDetect;
        p.multiDetectCount = count;
    });
    const QStringList ordinals{"1st", "2nd", "3rd", "4th", "5th", "6th", "7th", "8th"};
    QStringList items;
    for (int i = 0; i < rig.bar->manualTrigCombo->count(); ++i)
        items << rig.bar->manualTrigCombo->itemText(i);
    QCOMPARE(items, ordinals.mid(0, count));
    QCOMPARE(rig.bar->CurChooseTrig(), 0);
    rig.bar->manualTrigCombo->setCurrentIndex(count - 1);
    QCOMPARE(rig.bar->CurChooseTrig(), count - 1);

    // Refilled after the settings change the count.
    rig.para.multiDetectCount = 3;
    rig.bar->ResetComboChooseManualTrig();
    QCOMPARE(rig.bar->manualTrigCombo->count(), 3);
    QCOMPARE(rig.bar->CurChooseTrig(), 0);
}

void TestIndexButton::comboTextFits_data()
{
    QTest::addColumn<int>("lan");
    QTest::newRow("Simplified Chinese") << int(LanSimplifiedChinese);
    QTest::newRow("English") << int(LanEnglish);
    QTest::newRow("Traditional Chinese") << int(LanTraditionalChinese);
}

void TestIndexButton::comboTextFits()
{
    // Every entry whole beside the arrow, in every language; the open list
    // keeps the 33 px of its rows.
    QFETCH(int, lan);
    gLan = lan;
    BarRig rig([](WizardPara& p) {
        p.systemMode = SystemModeMultiDetect;
        p.multiDetectCount = 8;
        p.showManualSnapshot = 1;
    });
    gLan = LanEnglish;
    ComboBox* combo = rig.bar->manualTrigCombo;
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.rect = QRect(0, 0, 100, 83);
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
    QCOMPARE(combo->count(), 8);
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), Msg(477 + i, lan));
        QVERIFY2(QFontMetrics(combo->font()).horizontalAdvance(combo->itemText(i)) <= field.width(),
                 qPrintable(combo->itemText(i)));
    }
    QCOMPARE(combo->view()->font().pixelSize(), 33);
}

void TestIndexButton::captureModeLabel_data()
{
    QTest::addColumn<int>("buttonOn");
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("built");      // message at construction
    QTest::addColumn<int>("relabelled"); // after the capture mode flips
    QTest::newRow("continuous to trigger") << 1 << 0 << 651 << 650;
    QTest::newRow("trigger to continuous") << 1 << 1 << 650 << 651;
    QTest::newRow("button off keeps its label") << 0 << 0 << 651 << 651;
}

void TestIndexButton::captureModeLabel()
{
    QFETCH(int, buttonOn);
    QFETCH(int, trigger);
    QFETCH(int, built);
    QFETCH(int, relabelled);
    BarRig rig([&](WizardPara& p) {
        p.showCaptureModeButton = buttonOn;
        p.externalTrigger = trigger;
    });
    QCOMPARE(rig.bar->captureModeButton->text(), Msg(built));
    rig.para.externalTrigger = 1 - trigger;
    rig.bar->ReSetCaptureMode();
    QCOMPARE(rig.bar->captureModeButton->text(), Msg(relabelled));
}

void TestIndexButton::columnStaysOnScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("fullSize");
    QTest::newRow("1024x600 mode 0 everything") << QSize(1024, 600) << 0 << false;
    QTest::newRow("1024x600 mode 4 everything") << QSize(1024, 600) << 4 << false;
    QTest::newRow("1280x800 mode 0 everything") << QSize(1280, 800) << 0 << false;
    QTest::newRow("1280x800 mode 4 everything") << QSize(1280, 800) << 4 << false;
    QTest::newRow("1920x1080 mode 0 everything") << QSize(1920, 1080) << 0 << true;
}

void TestIndexButton::columnStaysOnScreen()
{
    QFETCH(QSize, screen);
    QFETCH(int, mode);
    QFETCH(bool, fullSize);
    BarRig rig([&](WizardPara& p) {
        p.skipDetectEnabled = 1;
        p.showCaptureModeButton = 1;
        p.showManualSnapshot = 1;
        p.productDetectEnabled = 1;
        p.systemMode = mode;
        p.multiDetectCount = 8;
    }, true, screen);
    rig.show();
    IndexButton* bar = rig.bar;
    QCOMPARE(bar->geometry(), QRect(screen.width() - 240, 0, 240, screen.height() - 10));
    QCOMPARE(bar->logoLabel->geometry().height(), 110);

    // Top to bottom without overlap, every one inside the bar, all alike.
    int lastBottom = bar->logoLabel->geometry().bottom();
    QSet<int> heights;
    for (int c = 0; c < SideBarChildCount; ++c) {
        const QWidget* w = bar->child(SideBarChild(c));
        if (!w || !w->isVisibleTo(bar))
            continue;
        const QRect r = w->geometry();
        QVERIFY2(QRect(0, 0, bar->width(), bar->height()).contains(r), kChildNames[c]);
        if (c == SideCombo) {   // beside the snapshot button
            QCOMPARE(r.top(), bar->snapshotButton->geometry().top());
            QVERIFY(r.left() > bar->snapshotButton->geometry().right());
        } else {
            QVERIFY2(r.top() > lastBottom, kChildNames[c]);
            lastBottom = r.bottom();
        }
        heights << r.height();
    }
    QCOMPARE(heights.size(), 1);
    QCOMPARE(*heights.begin() == IndexButton::kButtonH, fullSize);
    // The stretch keeps the capture-mode button at the bottom.
    QCOMPARE(bar->captureModeButton->geometry().bottom(), bar->height() - 1);
}

void TestIndexButton::logoFile_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QSize>("picture");   // invalid: no picture
    QTest::newRow("no logo file") << QStringList{} << QSize();
    QTest::newRow("png") << QStringList{"logo2.png"} << QSize(60, 30);
    QTest::newRow("bmp") << QStringList{"logo2.bmp"} << QSize(50, 20);
    QTest::newRow("bmp before png") << QStringList{"logo2.png", "logo2.bmp"} << QSize(50, 20);
}

void TestIndexButton::logoFile()
{
    QFETCH(QStringList, files);
    QFETCH(QSize, picture);
    BarRig rig;
    for (const QString& f : files)
        savePicture(rig.env, f, f.endsWith("png") ? QSize(60, 30) : QSize(50, 20),
                    f.endsWith("png") ? "PNG" : "BMP");
    delete rig.bar;
    rig.bar = new IndexButton(&rig.window);
    rig.show();
    QCOMPARE(rig.bar->logoPixmap ? rig.bar->logoPixmap->size() : QSize(), picture);
    QCOMPARE(rig.bar->logoLabel->size(), QSize(230, 110));
    // The first button starts below the logo's 110 px either way.
    QVERIFY(rig.bar->multiScreenButton->geometry().top() >= 110);
}

void TestIndexButton::sizes()
{
    // Where the screen has room: the full sizes.
    BarRig rig([](WizardPara& p) {
        p.systemMode = SystemModeMultiDetect;
        p.showManualSnapshot = 1;
    }, false, QSize(1920, 1080));
    rig.show();
    QCOMPARE(rig.bar->startStopButton->size(), QSize(240, 83));
    QCOMPARE(rig.bar->manualTrigCombo->size(), QSize(100, 83));
    QCOMPARE(rig.bar->manualTrigCombo->font().pixelSize(), 33);
    QCOMPARE(rig.bar->manualTrigCombo->font().family(), QStringLiteral("wqy-microhei"));
    // 140 + 1 + 100 would overhang the 240 px bar by one pixel.
    QCOMPARE(rig.bar->snapshotButton->size(), QSize(139, 83));
    QCOMPARE(rig.bar->startStopButton->sizeClass, int(ColorButtonSizeLarge));
    QCOMPARE(rig.bar->startStopButton->text(), Msg(127));
    QCOMPARE(rig.bar->skipButton->text(), Msg(573));
}

QTEST_MAIN(TestIndexButton)
#include "tst_indexbutton.moc"
