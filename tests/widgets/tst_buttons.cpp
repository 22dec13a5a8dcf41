// ColorButton, CheckBox and ComboBox.
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "kitfixture.h"
#include "pixmaps.h"
#include "testenv.h"

#include <QAbstractItemView>
#include <QListView>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

class TestButtons : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void labelFont_data();
    void labelFont();
    void skins();
    void pictureButton();
    void nullSkinsAreHarmless();
    void repeat();
    void checkBoxValue();
    void checkBoxLook_data();
    void checkBoxLook();
    void mediumCheckBoxFitsItsText();
    void comboPressEmitsClicked();
    void comboItemHeight();
    void pixmapsLoad();
    void generatedPicturesLoad();
};

void TestButtons::initTestCase()
{
    FillMessageTable();
}

void TestButtons::cleanup()
{
    for (QPixmap*& p : gpPixmapButton) {
        delete p;
        p = nullptr;
    }
    gLan = LanEnglish;
}

void TestButtons::labelFont_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<int>("lan");
    QTest::addColumn<int>("px");
    QTest::newRow("large normal zh_CN") << 1280 << 3 << 0 << 27;
    QTest::newRow("large normal en") << 1280 << 3 << 1 << 22;
    QTest::newRow("large normal zh_TW") << 1280 << 3 << 2 << 22;
    QTest::newRow("large big zh_CN") << 1280 << 4 << 0 << 33;
    QTest::newRow("large big en") << 1280 << 4 << 1 << 30;
    QTest::newRow("small big zh_CN") << 1024 << 4 << 0 << 16;
    QTest::newRow("small big en") << 1024 << 4 << 1 << 13;
    QTest::newRow("small normal zh_TW") << 1024 << 3 << 2 << 13;
}

void TestButtons::labelFont()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    gLan = FETCHED(int, lan);
    const QFont f = ColorButton::labelFont(FETCHED(int, sizeClass));
    QCOMPARE(f.pixelSize(), FETCHED(int, px));
    QCOMPARE(f.family(), QStringLiteral("wqy-microhei"));
}

namespace {
QPixmap solid(const QColor& c)
{
    QPixmap p(20, 10);
    p.fill(c);
    return p;
}
}

void TestButtons::skins()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    gpPixmapButton[0] = new QPixmap(solid(Qt::blue));
    gpPixmapButton[1] = new QPixmap(solid(Qt::darkGreen));
    ColorButton b(QString(), nullptr, ColorButtonSizeNormal);
    b.resize(100, 50);
    QImage released = b.grab().toImage();
    QCOMPARE(released.pixelColor(50, 25), QColor(Qt::blue));
    QCOMPARE(released.pixelColor(2, 2), QColor(Qt::blue));
    b.setDown(true);
    QImage pressed = b.grab().toImage();
    QCOMPARE(pressed.pixelColor(50, 25), QColor(Qt::darkGreen));
    // The label is drawn in white over the skin.
    b.setDown(false);
    b.setText(QStringLiteral("MMMM"));
    QImage labelled = b.grab().toImage();
    bool white = false;
    for (int x = 0; x < 100 && !white; ++x)
        white = labelled.pixelColor(x, 25) == QColor(Qt::white);
    QVERIFY(white);
}

void TestButtons::pictureButton()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    gpPixmapButton[1] = new QPixmap(solid(Qt::darkGreen));
    ColorButton b(solid(Qt::red), nullptr);
    QVERIFY(b.pictureOnly);
    QVERIFY(b.text().isEmpty());
    QCOMPARE(b.sizeClass, int(ColorButtonSizeNormal));
    b.resize(40, 40);
    b.setDown(true);
    QCOMPARE(b.grab().toImage().pixelColor(20, 20), QColor(Qt::red));
}

void TestButtons::nullSkinsAreHarmless()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    ColorButton b(QStringLiteral("OK"), nullptr, ColorButtonSizeLarge);
    b.resize(100, 50);
    QVERIFY(!b.grab().isNull());
    gpPixmapButton[0] = new QPixmap; // a picture that failed to load
    QVERIFY(!b.grab().isNull());
}

void TestButtons::repeat()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    ColorButton b(QStringLiteral("+ 1"), nullptr);
    QVERIFY(!b.autoRepeat());
    b.SetRepeat();
    QVERIFY(b.autoRepeat());
    QCOMPARE(b.autoRepeatDelay(), 300);
    QCOMPARE(b.autoRepeatInterval(), 50);
}

void TestButtons::checkBoxValue()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    CheckBox box(nullptr, QStringLiteral("Beep"));
    QSignalSpy state(&box, &QCheckBox::stateChanged);
    box.setValue(5);
    QCOMPARE(box.value(), 1);
    QVERIFY(box.isChecked());
    box.setValue(0);
    QCOMPARE(box.value(), 0);
    QCOMPARE(state.count(), 2);
    QCOMPARE(state.at(0).at(0).toInt(), 2);
    QCOMPARE(state.at(1).at(0).toInt(), 0);
}

void TestButtons::checkBoxLook_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("fontPx");
    QTest::addColumn<int>("indicator");
    QTest::addColumn<int>("size");   // KitRowSize; Layout is what every caller without one gets
    QTest::newRow("large") << 1280 << 28 << 32 << int(KitRowSize::Layout);
    QTest::newRow("small") << 1024 << 14 << 16 << int(KitRowSize::Layout);
    QTest::newRow("medium on a large screen") << 1280 << 20 << 24 << int(KitRowSize::Medium);
    QTest::newRow("medium on a small screen") << 1024 << 20 << 24 << int(KitRowSize::Medium);
    QTest::newRow("small asked for on a large screen") << 1280 << 14 << 16 << int(KitRowSize::Small);
    QTest::newRow("large asked for on a small screen") << 1024 << 28 << 32 << int(KitRowSize::Large);
}

void TestButtons::checkBoxLook()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    const auto size = KitRowSize(FETCHED(int, size));
    std::unique_ptr<CheckBox> made;
    if (size == KitRowSize::Layout)
        made = std::make_unique<CheckBox>(nullptr, QStringLiteral("Beep"));
    else
        made = std::make_unique<CheckBox>(nullptr, QStringLiteral("Beep"), size);
    CheckBox& box = *made;
    QCOMPARE(box.font().pixelSize(), FETCHED(int, fontPx));
    QCOMPARE(box.palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::yellow));
    const int side = FETCHED(int, indicator);
    QVERIFY(box.styleSheet().contains(QStringLiteral("width: %1px; height: %1px;").arg(side)));
    QVERIFY(box.styleSheet().contains(QStringLiteral("url(images/check.png)")));
    QCOMPARE(box.indicatorSide, side);
}

// The medium box sits in a medium number row (38 px) and shows its caption
// whole: the size it asks for holds the indicator and the text.
void TestButtons::mediumCheckBoxFitsItsText()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    const QString text = QStringLiteral("Clamp pulse when NG in mold, don't alarm");
    CheckBox medium(nullptr, text, KitRowSize::Medium);
    CheckBox small(nullptr, text, KitRowSize::Small);
    CheckBox large(nullptr, text);
    medium.show();
    const QSize hint = medium.sizeHint();
    const QFontMetrics fm(medium.font());
    QVERIFY2(hint.width() >= medium.indicatorSide + fm.horizontalAdvance(text),
             qPrintable(QString("%1 < %2").arg(hint.width()).arg(medium.indicatorSide + fm.horizontalAdvance(text))));
    QVERIFY(hint.height() >= fm.height());
    QVERIFY(hint.height() >= medium.indicatorSide);
    QVERIFY(hint.height() <= 38);
    QVERIFY(small.sizeHint().width() < hint.width());
    QVERIFY(hint.width() < large.sizeHint().width());
}

void TestButtons::comboPressEmitsClicked()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(400, 300);
    ComboBox combo(&page);
    combo.addItems({" 4 ", " 9 ", " 25 "});
    combo.setGeometry(10, 10, 200, 50);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(combo.focusPolicy(), Qt::NoFocus);
    QCOMPARE(combo.view(), static_cast<QAbstractItemView*>(combo.listView));
    QSignalSpy clicked(&combo, &ComboBox::clicked);
    QTest::mousePress(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(100, 25));
    QCOMPARE(clicked.count(), 1);
    QTRY_VERIFY(combo.view()->isVisible());
    combo.hidePopup();
}

void TestButtons::comboItemHeight()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    ComboBox combo(nullptr);
    combo.setItemHeight(50);
    QCOMPARE(combo.styleSheet(),
             QStringLiteral("QComboBox QAbstractItemView::item{height:50px;}QComboBox::tab-bar{border-width:0px;}"));
}

void TestButtons::pixmapsLoad()
{
    TestEnv env;
    QCOMPARE(PixmapFileNames().size(), 18);
    // Only two pictures present: the others load as null pictures.
    QDir().mkpath(env.path("images"));
    solid(Qt::blue).save(env.path("images/buttonu.png"));
    solid(Qt::green).save(env.path("images/OUT1.png"));
    LoadPixmaps();
    QVERIFY(gpPixmapButton[0] && !gpPixmapButton[0]->isNull());
    QVERIFY(gpPixmapOUT[0] && !gpPixmapOUT[0]->isNull());
    QVERIFY(gpPixmapBG && gpPixmapBG->isNull());
    QVERIFY(gpPixmapMove[6] && gpPixmapMove[6]->isNull());
    // Loading again keeps the pointers others hold.
    QPixmap* bg = gpPixmapBG;
    solid(Qt::black).save(env.path("images/background.png"));
    LoadPixmaps();
    QCOMPARE(gpPixmapBG, bg);
    QVERIFY(!gpPixmapBG->isNull());
}

// The pictures drawn by the build's generator are all there and readable.
void TestButtons::generatedPicturesLoad()
{
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath("../tools/images/mm_make_images");
    if (!QFileInfo(tool).isExecutable())
        QSKIP("picture generator not built");
    TestEnv env;
    QProcess gen;
    gen.start(tool, {env.path("images")});
    QVERIFY(gen.waitForFinished(30000));
    QCOMPARE(gen.exitCode(), 0);
    LoadPixmaps();
    QPixmap* all[] = {gpPixmapBG, gpPixmapTitle, gpPixmapLine, gpPixmapEdit, gpPixmapSlideru, gpPixmapSliderd,
                      gpPixmapSlidert, gpPixmapButton[0], gpPixmapButton[1], gpPixmapOUT[0], gpPixmapOUT[1]};
    for (QPixmap* p : all)
        QVERIFY(p && !p->isNull());
    for (QPixmap* p : gpPixmapMove)
        QVERIFY(p && !p->isNull());
    for (const char* extra : {"images/left.png", "images/right.png", "images/check.png"})
        QVERIFY2(!QPixmap(env.path(extra)).isNull(), extra);
}

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"
