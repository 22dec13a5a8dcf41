// The parameter slider.
#include "colorbutton.h"
#include "kitfixture.h"
#include "slider.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
void mouse(QWidget* w, QEvent::Type type, int x)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(x, 20), w->mapToGlobal(QPointF(x, 20)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
}

class TestSlider : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void geometry_data();
    void geometry();
    void dragAddsUpSmallSteps();
    void pressAwayFromKnobStartsNoDrag();
    void valueBoxKeypad_data();
    void valueBoxKeypad();
    void valueBoxTouchKeepsValue();
    void plusAtMaximumIsSilent();
    void buttons();
    void emptyRange();
    void resetCancelsDrag();
};

void TestSlider::initTestCase()
{
    FillMessageTable();
    gLan = LanEnglish;
}

void TestSlider::geometry_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("trackWidth");
    QTest::addColumn<int>("fillOffset");
    QTest::addColumn<int>("fillWidth");
    QTest::addColumn<int>("fill");
    QTest::addColumn<int>("knobX");
    QTest::addColumn<QPoint>("minus");
    QTest::addColumn<QPoint>("plus");
    QTest::addColumn<QSize>("button");
    QTest::newRow("large") << 1280 << 900 << 60 << 530 << 15 << 503 << 251 << 561 << QPoint(220, 10)
                           << QPoint(830, 10) << QSize(70, 41);
    QTest::newRow("small") << 1024 << 600 << 40 << 398 << 11 << 378 << 189 << 357 << QPoint(114, 6)
                           << QPoint(560, 6) << QSize(40, 28);
}

void TestSlider::geometry()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    Slider s(0, 100, 1, 50, nullptr, QStringLiteral("Gray"));
    s.resize(FETCHED(int, w), FETCHED(int, h));
    s.grab(); // paints, placing the knob
    QCOMPARE(s.objectName(), QStringLiteral("Gray"));
    QCOMPARE(s.trackWidth, FETCHED(int, trackWidth));
    QCOMPARE(s.fillOffset, FETCHED(int, fillOffset));
    QCOMPARE(s.fillWidth, FETCHED(int, fillWidth));
    QCOMPARE(s.fillLength(), FETCHED(int, fill));
    QCOMPARE(s.knobX, FETCHED(int, knobX));
    QCOMPARE(s.minusButton->pos(), FETCHED(QPoint, minus));
    QCOMPARE(s.plusButton->pos(), FETCHED(QPoint, plus));
    QCOMPARE(s.plusButton->size(), FETCHED(QSize, button));
    QCOMPARE(s.valueEdit->width(), 0);
    QCOMPARE(s.valueEdit->flags, 9);
}

void TestSlider::dragAddsUpSmallSteps()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    Slider s(0, 100, 1, 50, nullptr, QStringLiteral("Gray"));
    s.resize(900, 60);
    s.grab();
    QSignalSpy changed(&s, &QAbstractSlider::valueChanged);
    mouse(&s, QEvent::MouseButtonPress, 565);
    QCOMPARE(s.dragX, 565);
    mouse(&s, QEvent::MouseMove, 568);
    QCOMPARE(s.value(), 50);
    QCOMPARE(s.dragX, 565);
    mouse(&s, QEvent::MouseMove, 571);
    QCOMPARE(s.value(), 51);
    QCOMPARE(s.dragX, 571);
    mouse(&s, QEvent::MouseMove, 571 - 51);
    QCOMPARE(s.value(), 41);
    mouse(&s, QEvent::MouseButtonRelease, 520);
    QCOMPARE(s.dragX, -1);
    QCOMPARE(changed.count(), 2);
}

void TestSlider::pressAwayFromKnobStartsNoDrag()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    Slider s(0, 100, 1, 50, nullptr, QStringLiteral("Gray"));
    s.resize(900, 60);
    s.grab();
    mouse(&s, QEvent::MouseButtonPress, 561 - 21);
    QCOMPARE(s.dragX, -1);
    mouse(&s, QEvent::MouseMove, 700);
    QCOMPARE(s.value(), 50);
    mouse(&s, QEvent::MouseButtonPress, 561 - 20);
    QCOMPARE(s.dragX, 541);
    mouse(&s, QEvent::MouseButtonPress, 561 + 10 + 19);
    QCOMPARE(s.dragX, 590);
    mouse(&s, QEvent::MouseButtonPress, 561 + 10 + 20);
    QCOMPARE(s.dragX, -1);
}

// Keys: digits and B (backspace) after touching the value box.
void TestSlider::valueBoxKeypad_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("touchX");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("typed") << 1280 << 150 << 100 << "75" << QList<int>{7, 75};
    QTest::newRow("above maximum") << 1280 << 135 << 60 << "75" << QList<int>{7, 60};
    QTest::newRow("backspace") << 1280 << 214 << 100 << "75B" << QList<int>{7, 75, 7};
    QTest::newRow("small layout") << 1024 << 69 << 100 << "42" << QList<int>{4, 42};
    QTest::newRow("small right end") << 1024 << 108 << 100 << "9" << QList<int>{9};
    QTest::newRow("overflowing digits") << 1280 << 150 << 100 << "99999999999"
                                        << QList<int>{9, 99, 100, 100, 100, 100, 100, 100, 100, 100, 100};
}

void TestSlider::valueBoxKeypad()
{
    QFETCH(QString, keys);
    QFETCH(QList<int>, values);
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(FETCHED(int, screenW), 800);
    QWidget page;
    page.resize(FETCHED(int, screenW), 800);
    Slider s(0, FETCHED(int, max), 1, 30, &page, QStringLiteral("Gray"));
    s.setGeometry(20, 100, 900, 60);
    page.show();
    mouse(&s, QEvent::MouseButtonRelease, FETCHED(int, touchX));
    QCOMPARE(host.target.data(), s.valueEdit);
    QVERIFY(gpNumPad->isVisible());
    QCOMPARE(gpNumPad->parentWidget(), &page);
    QCOMPARE(s.value(), 30); // opening the keypad is no entry
    for (int i = 0; i < keys.size(); ++i) {
        if (keys.at(i) == QLatin1Char('B'))
            gpNumPad->backspaceKey->click();
        else
            pressDigit(keys.at(i).digitValue());
        QCOMPARE(s.value(), values.at(i));
    }
}

void TestSlider::valueBoxTouchKeepsValue()
{
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    Slider s(10, 100, 1, 30, &page, QStringLiteral("Gray"));
    s.setGeometry(20, 100, 900, 60);
    QSignalSpy changed(&s, &QAbstractSlider::valueChanged);
    mouse(&s, QEvent::MouseButtonRelease, 150);
    QCOMPARE(s.value(), 30);
    QCOMPARE(changed.count(), 0);
    // Outside the value box nothing opens.
    gpNumPad->hide();
    host.target = nullptr;
    mouse(&s, QEvent::MouseButtonRelease, 215);
    QVERIFY(host.target.isNull());
    QVERIFY(!gpNumPad->isVisible());
    // A text that is no number gives 0, which the limits raise to the minimum.
    s.valueEdit->setText(QStringLiteral("7a"));
    QCOMPARE(s.value(), 10);
}

void TestSlider::plusAtMaximumIsSilent()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    Slider s(0, 60, 1, 60, nullptr, QStringLiteral("Gray"));
    QSignalSpy changed(&s, &QAbstractSlider::valueChanged);
    s.plusButton->click();
    s.Add();
    QCOMPARE(s.value(), 60);
    QCOMPARE(changed.count(), 0);
}

void TestSlider::buttons()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    Slider s(0, 60, 1, 5, nullptr, QStringLiteral("Gray"));
    QCOMPARE(s.plusButton->text(), QStringLiteral("+ 1"));
    QCOMPARE(s.minusButton->text(), QStringLiteral("- 1"));
    QVERIFY(s.plusButton->autoRepeat());
    QCOMPARE(s.minusButton->autoRepeatDelay(), 300);
    QCOMPARE(s.minusButton->autoRepeatInterval(), 50);
    s.minusButton->click();
    QCOMPARE(s.value(), 4);
    s.plusButton->click();
    s.plusButton->click();
    QCOMPARE(s.value(), 6);
}

void TestSlider::emptyRange()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    Slider s(5, 5, 1, 5, nullptr, QStringLiteral("Gray"));
    s.resize(900, 60);
    s.grab();
    QCOMPARE(s.fillLength(), 0);
    QCOMPARE(s.knobX, 295 + 15);
    mouse(&s, QEvent::MouseButtonPress, s.knobX);
    mouse(&s, QEvent::MouseMove, s.knobX + 300);
    QCOMPARE(s.value(), 5);
    s.valueEdit->setText(QStringLiteral("9"));
    QCOMPARE(s.value(), 5);
}

void TestSlider::resetCancelsDrag()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    Slider s(0, 100, 1, 50, nullptr, QStringLiteral("Gray"));
    s.resize(900, 60);
    s.grab();
    mouse(&s, QEvent::MouseButtonPress, 561);
    QVERIFY(s.dragX > 0);
    QSignalSpy changed(&s, &QAbstractSlider::valueChanged);
    s.Reset(0, 255, 5, 200, QStringLiteral("Area"));
    QCOMPARE(s.dragX, -1);
    QCOMPARE(s.objectName(), QStringLiteral("Area"));
    QCOMPARE(s.maximum(), 255);
    QCOMPARE(s.pageStep(), 5);
    QCOMPARE(s.value(), 200);
    QCOMPARE(changed.count(), 1);
}

QTEST_MAIN(TestSlider)
#include "tst_slider.moc"
