// The modal boxes: WarnBox, ChooseBox, ModifyTimeWidget, ChooseCaliNumWidget.
#include "choosebox.h"
#include "choosecalinumwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "editdatetime.h"
#include "kitfixture.h"
#include "kitlayout.h"
#include "modifytimewidget.h"
#include "testenv.h"
#include "warnbox.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {
std::unique_ptr<ChooseBox> makeChooser(const QString& kind)
{
    if (kind == QLatin1String("ModifyTimeWidget"))
        return std::make_unique<ModifyTimeWidget>();
    if (kind == QLatin1String("ChooseCaliNumWidget"))
        return std::make_unique<ChooseCaliNumWidget>();
    return std::make_unique<ChooseBox>();
}
}

class TestBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void hookAnswers_data();
    void hookAnswers();
    void clickedAnswers_data();
    void clickedAnswers();
    void warnBoxConfirm();
    void geometry_data();
    void geometry();
    void recentredOnShow();
    void wakesScreen_data();
    void wakesScreen();
    void setTextDoesNotShow();
    void dialogContents();
    void paintsWithoutPictures();
    void longMessageFits_data();
    void longMessageFits();
    void calibrationQuestionLeftOfCombo_data();
    void calibrationQuestionLeftOfCombo();
};

void TestBoxes::initTestCase()
{
    FillMessageTable();
    gLan = LanEnglish;
}

void TestBoxes::hookAnswers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("answer");
    for (const char* kind : {"WarnBox", "ChooseBox", "ModifyTimeWidget", "ChooseCaliNumWidget"}) {
        QTest::addRow("%s yes", kind) << QString::fromLatin1(kind) << 1;
        QTest::addRow("%s no", kind) << QString::fromLatin1(kind) << 0;
    }
}

void TestBoxes::hookAnswers()
{
    QFETCH(QString, kind);
    QFETCH(int, answer);
    TestEnv env;
    KitScreen screen(1280, 800);
    env.modalAnswers = {answer};
    int result;
    if (kind == QLatin1String("WarnBox")) {
        WarnBox box;
        box.setText(Msg(39), 39);
        result = box.exec();
    } else {
        auto box = makeChooser(kind);
        box->setText(Msg(354), 354);
        result = box->exec();
    }
    QCOMPARE(result, answer);
    QCOMPARE(env.modalRequests.size(), size_t(1));
    QCOMPARE(env.modalRequests[0].kind, kind);
    const int id = kind == QLatin1String("WarnBox") ? 39 : 354;
    QCOMPARE(env.modalRequests[0].messageId, id);
    QCOMPARE(env.modalRequests[0].text, Msg(id));
}

void TestBoxes::clickedAnswers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("result");
    for (const char* kind : {"ChooseBox", "ModifyTimeWidget", "ChooseCaliNumWidget"}) {
        QTest::addRow("%s yes", kind) << QString::fromLatin1(kind) << true << 1;
        QTest::addRow("%s no", kind) << QString::fromLatin1(kind) << false << 0;
    }
}

void TestBoxes::clickedAnswers()
{
    QFETCH(bool, yes);
    TestEnv env;
    modal::setHook({}); // the real dialog loop, ended by a click
    KitScreen screen(1280, 800);
    auto box = makeChooser(FETCHED(QString, kind));
    ColorButton* button = yes ? box->yesButton : box->noButton;
    QTimer::singleShot(0, button, &QPushButton::click);
    QCOMPARE(box->exec(), FETCHED(int, result));
    QVERIFY(!box->isVisible());
}

void TestBoxes::warnBoxConfirm()
{
    TestEnv env;
    modal::setHook({});
    KitScreen screen(1280, 800);
    WarnBox box;
    box.setText(QStringLiteral("Check the camera"));
    QTimer::singleShot(0, box.okButton, &QPushButton::click);
    QCOMPARE(box.exec(), 1);
}

void TestBoxes::geometry_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("screenH");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QRect>("ok");
    QTest::addColumn<QRect>("yes");
    QTest::addColumn<QRect>("no");
    QTest::addColumn<QPoint>("dateTime");
    QTest::addColumn<QRect>("combo");
    QTest::newRow("1280x800") << 1280 << 800 << QRect(265, 215, 750, 370) << QRect(265, 220, 220, 100)
                              << QRect(100, 220, 220, 100) << QRect(430, 220, 220, 100) << QPoint(0, 50)
                              << QRect(475, 62, 200, 50);
    QTest::newRow("1025 wide") << 1025 << 600 << QRect(137, 115, 750, 370) << QRect(265, 220, 220, 100)
                               << QRect(100, 220, 220, 100) << QRect(430, 220, 220, 100) << QPoint(0, 50)
                               << QRect(475, 62, 200, 50);
    QTest::newRow("1024 wide") << 1024 << 600 << QRect(302, 210, 420, 180) << QRect(140, 105, 140, 60)
                               << QRect(30, 105, 140, 60) << QRect(240, 105, 140, 60) << QPoint(0, 0)
                               << QRect(310, 15, 100, 40);
}

void TestBoxes::geometry()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), FETCHED(int, screenH));
    const QRect boxRect = FETCHED(QRect, box);
    WarnBox warn;
    QCOMPARE(warn.geometry(), boxRect);
    QCOMPARE(warn.okButton->geometry(), FETCHED(QRect, ok));
    QCOMPARE(warn.windowFlags() & ~Qt::WindowType_Mask, Qt::CustomizeWindowHint);
    ChooseBox choose;
    QCOMPARE(choose.geometry(), boxRect);
    QCOMPARE(choose.yesButton->geometry(), FETCHED(QRect, yes));
    QCOMPARE(choose.noButton->geometry(), FETCHED(QRect, no));
    QVERIFY(choose.isHidden());
    ModifyTimeWidget time;
    QCOMPARE(time.geometry(), boxRect);
    QCOMPARE(time.dateTimeEdit->pos(), FETCHED(QPoint, dateTime));
    ChooseCaliNumWidget cali;
    QCOMPARE(cali.pointsCombo->geometry(), FETCHED(QRect, combo));
}

void TestBoxes::recentredOnShow()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    QWidget window;
    window.resize(1280, 800);
    window.show();
    auto* warn = new WarnBox;
    auto* choose = new ChooseBox;
    for (QDialog* box : {static_cast<QDialog*>(warn), static_cast<QDialog*>(choose)}) {
        box->setParent(&window); // as the main window takes the shared boxes
        box->move(3, 4);
        box->setVisible(true);
        QCOMPARE(box->geometry(), QRect(265, 215, 750, 370));
        QVERIFY(!box->isWindow());
        box->setVisible(false);
    }
}

void TestBoxes::wakesScreen_data()
{
    QTest::addColumn<bool>("warnBox");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("wakes");
    QTest::addColumn<QList<int>>("restarts");
    QTest::newRow("warn dark 30 s") << true << true << 30 << 1 << QList<int>{30000};
    QTest::newRow("warn dark never off") << true << true << 0 << 1 << QList<int>{};
    QTest::newRow("warn lit") << true << false << 30 << 0 << QList<int>{};
    QTest::newRow("choose dark") << false << true << 30 << 0 << QList<int>{};
    QTest::newRow("choose lit") << false << false << 0 << 0 << QList<int>{};
}

void TestBoxes::wakesScreen()
{
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    host.dark = FETCHED(bool, dark);
    host.seconds = FETCHED(int, seconds);
    std::unique_ptr<QDialog> box;
    if (FETCHED(bool, warnBox))
        box = std::make_unique<WarnBox>();
    else
        box = std::make_unique<ChooseBox>();
    box->setVisible(true);
    QCOMPARE(host.wakes, FETCHED(int, wakes));
    QCOMPARE(host.timerRestarts, FETCHED(QList<int>, restarts));
}

void TestBoxes::setTextDoesNotShow()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    WarnBox warn;
    warn.setText(QStringLiteral("a"));
    QVERIFY(!warn.isVisible());
    QCOMPARE(warn.message, QStringLiteral("a"));
    ChooseBox choose;
    choose.setText(QStringLiteral("b"));
    QVERIFY(!choose.isVisible());
    QCOMPARE(choose.message, QStringLiteral("b"));

    // On a box already shown the new text waits for the next repaint.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    warn.setVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(&warn));
    QCoreApplication::processEvents();
    warn.installEventFilter(&counter);
    warn.setText(QStringLiteral("c"));
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    QCOMPARE(warn.message, QStringLiteral("c"));
    warn.update();
    QTRY_VERIFY(counter.paints > 0);
}

void TestBoxes::dialogContents()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    ChooseBox choose;
    QCOMPARE(choose.yesButton->text(), Msg(122));
    QCOMPARE(choose.noButton->text(), Msg(123));
    ModifyTimeWidget time;
    QCOMPARE(time.yesButton->text(), Msg(121));
    QCOMPARE(time.noButton->text(), Msg(124));
    QVERIFY(time.dateTimeEdit->captionLabel->text().isEmpty());
    ChooseCaliNumWidget cali;
    QCOMPARE(cali.yesButton->text(), Msg(122));
    QCOMPARE(cali.pointsCombo->count(), 3);
    QCOMPARE(cali.pointsCombo->itemText(0), QStringLiteral(" 4 "));
    QCOMPARE(cali.pointsCombo->itemText(1), QStringLiteral(" 9 "));
    QCOMPARE(cali.pointsCombo->itemText(2), QStringLiteral(" 25 "));
    QCOMPARE(cali.pointsCombo->font().pixelSize(), 33);
    QVERIFY(cali.pointsCombo->styleSheet().contains(QStringLiteral("height:50px")));
    WarnBox warn;
    QCOMPARE(warn.okButton->text(), Msg(121));
}

void TestBoxes::paintsWithoutPictures()
{
    TestEnv env;
    KitScreen screen(1024, 600);
    WarnBox warn;
    warn.setText(QStringLiteral("line one\r\nline two"));
    const QImage img = warn.grab().toImage();
    QCOMPARE(img.size(), QSize(420, 180));
    // The white frame.
    QCOMPARE(img.pixelColor(1, 90), QColor(Qt::white));
    QCOMPARE(DrawableMessage(QStringLiteral("a\r\nb\rc")), QStringLiteral("a\nb\nc"));
}

// Long texts (other languages) are drawn smaller, and wrapped only as a
// last resort, so that they stay inside their rectangle.
void TestBoxes::longMessageFits_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("px");       // 0: smaller than the base size
    QTest::addColumn<bool>("wrapped");
    QTest::newRow("fits") << 1280 << "OK" << 400 << 40 << false;
    QTest::newRow("shrinks") << 1280 << "Release hand into TS calibration" << 415 << 0 << false;
    QTest::newRow("small shrinks") << 1024 << "Release hand into TS calibration" << 250 << 0 << false;
    QTest::newRow("wraps") << 1024 << QString(60, QLatin1Char('W')).replace(20, 1, " ").replace(40, 1, " ") << 250
                           << 12 << true;
}

void TestBoxes::longMessageFits()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    const QFont base = MicroHei(IsLargeLayout() ? 40 : 20);
    const QRect rect(50, 0, FETCHED(int, width), 90);
    const QString text = FETCHED(QString, text);
    int align = Qt::AlignLeft | Qt::AlignVCenter;
    const QFont f = FitMessageFont(base, text, rect, &align);
    const int px = FETCHED(int, px);
    if (px)
        QCOMPARE(f.pixelSize(), px);
    else
        QVERIFY(f.pixelSize() < base.pixelSize());
    QCOMPARE(bool(align & Qt::TextWordWrap), FETCHED(bool, wrapped));
    if (!(align & Qt::TextWordWrap))
        QVERIFY(QFontMetrics(f).boundingRect(rect, align, text).width() <= rect.width());
}

void TestBoxes::calibrationQuestionLeftOfCombo_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("lan");
    for (int w : {1280, 1024})
        for (int lan : {0, 1, 2})
            QTest::addRow("%d lan %d", w, lan) << w << lan;
}

void TestBoxes::calibrationQuestionLeftOfCombo()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    const int oldLan = gLan;
    gLan = FETCHED(int, lan);
    ChooseCaliNumWidget cali;
    cali.setText(Msg(370), 370);
    cali.pointsCombo->hide();
    const QImage img = cali.grab().toImage();
    gLan = oldLan;
    int reddest = -1;
    for (int y = 5; y < img.height() / 2; ++y)
        for (int x = 5; x < img.width() - 5; ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 80 && c.blue() < 80)
                reddest = qMax(reddest, x);
        }
    QVERIFY(reddest > 50);                        // the question is drawn
    QVERIFY2(reddest < cali.pointsCombo->x(), qPrintable(QString::number(reddest)));
}

QTEST_MAIN(TestBoxes)
#include "tst_boxes.moc"
