// The on-screen keypads, the touch field and the keypad target.
#include "editbox.h"
#include "kitfixture.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QtTest>
#include <climits>

class TestKeypads : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void keypadLayout_data();
    void keypadLayout();
    void digitSequences_data();
    void digitSequences();
    void editBoxDigits_data();
    void editBoxDigits();
    void placement_data();
    void placement();
    void characterPages_data();
    void characterPages();
    void characterKeysAppend();
    void passwordField();
    void confirmMovesFocusAway();
    void characterConfirmKeepsFocus();
    void returnKeyTogglesKeypad();
    void focusOutHidesBothKeypads();
    void targetIsGuarded();
    void keysNeverTakeFocus();
    void keypadOutlivesItsContainer();
};

// A full-screen page holding one field at (100, 100), with the keypads made.
struct FieldPage {
    explicit FieldPage(int flags) : field(flags, &page, 1)
    {
        page.resize(1280, 800);
        field.setGeometry(100, 100, 200, 50);
    }
    bool showActive()
    {
        page.show();
        page.activateWindow();
        return QTest::qWaitForWindowActive(&page);
    }
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen{1280, 800};
    QWidget page;
    Edit field;
};

void TestKeypads::initTestCase()
{
    FillMessageTable();
    gLan = LanEnglish;
}

void TestKeypads::keypadLayout_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<QSize>("numSize");
    QTest::addColumn<QRect>("key8");       // "9", row 2 column 0
    QTest::addColumn<QRect>("confirm");
    QTest::addColumn<QSize>("charSize");
    QTest::addColumn<QRect>("char12");     // row 1, column 1
    QTest::addColumn<QRect>("char21");     // row 2, column 0
    QTest::addColumn<QRect>("char30");     // row 3, column 0
    QTest::addColumn<QPoint>("symbol");
    QTest::addColumn<QPoint>("caps");
    QTest::addColumn<QPoint>("backspace");
    QTest::addColumn<QPoint>("charConfirm");
    QTest::newRow("large") << 1280 << QSize(427, 230) << QRect(5, 155, 100, 70) << QRect(320, 155, 100, 70)
                           << QSize(785, 295) << QRect(112, 80, 65, 65) << QRect(62, 150, 65, 65)
                           << QRect(106, 220, 65, 65) << QPoint(695, 150) << QPoint(10, 220)
                           << QPoint(605, 220) << QPoint(695, 220);
    QTest::newRow("small") << 1024 << QSize(345, 155) << QRect(5, 107, 80, 45) << QRect(263, 107, 80, 45)
                           << QSize(450, 165) << QRect(64, 46, 37, 37) << QRect(34, 86, 37, 37)
                           << QRect(60, 126, 37, 37) << QPoint(394, 86) << QPoint(6, 126)
                           << QPoint(338, 126) << QPoint(394, 126);
}

void TestKeypads::keypadLayout()
{
    QFETCH(int, screenW);
    TestEnv env;
    KitScreen screen(screenW, 600);
    QCOMPARE(gpNumPad->size(), FETCHED(QSize, numSize));
    QCOMPARE(gpNumPad->digitKeys[8]->geometry(), FETCHED(QRect, key8));
    QCOMPARE(gpNumPad->digitKeys[8]->text(), QStringLiteral("9"));
    QCOMPARE(gpNumPad->digitKeys[9]->text(), QStringLiteral("0"));
    QCOMPARE(gpNumPad->confirmKey->geometry(), FETCHED(QRect, confirm));
    QCOMPARE(gpNumCharPad->size(), FETCHED(QSize, charSize));
    QCOMPARE(gpNumCharPad->charKeys[12]->geometry(), FETCHED(QRect, char12));
    QCOMPARE(gpNumCharPad->charKeys[21]->geometry(), FETCHED(QRect, char21));
    QCOMPARE(gpNumCharPad->charKeys[30]->geometry(), FETCHED(QRect, char30));
    QCOMPARE(gpNumCharPad->symbolKey->pos(), FETCHED(QPoint, symbol));
    QCOMPARE(gpNumCharPad->capsKey->pos(), FETCHED(QPoint, caps));
    QCOMPARE(gpNumCharPad->backspaceKey->pos(), FETCHED(QPoint, backspace));
    QCOMPARE(gpNumCharPad->confirmKey->pos(), FETCHED(QPoint, charConfirm));
    QVERIFY(gpNumPad->isHidden());
    QVERIFY(gpNumCharPad->isHidden());
}

// Keys: digits, B backspace, T a new touch on the field.
void TestKeypads::digitSequences_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<bool>("firstKey");
    QTest::newRow("first key replaces") << "123" << "123" << 3 << false;
    QTest::newRow("second touch empties") << "12T3" << "3" << 1 << false;
    QTest::newRow("backspace") << "123B" << "12" << 1 << false;
    QTest::newRow("backspace to empty") << "12BB" << "" << 0 << true;
    QTest::newRow("backspace on empty") << "B" << "" << 0 << true;
    QTest::newRow("empty restarts first key") << "1B2" << "2" << 1 << false;
    QTest::newRow("zeros") << "007" << "007" << 3 << false;
}

void TestKeypads::digitSequences()
{
    QFETCH(QString, keys);
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    Edit field(5, &page, 1);
    field.setGeometry(100, 100, 200, 50);
    field.setText(QStringLiteral("77"));
    touchField(&field);
    QVERIFY(field.text().isEmpty());
    for (QChar k : keys) {
        if (k == QLatin1Char('B'))
            gpNumPad->backspaceKey->click();
        else if (k == QLatin1Char('T'))
            touchField(&field);
        else
            pressDigit(k.digitValue());
    }
    QCOMPARE(field.text(), FETCHED(QString, text));
    QCOMPARE(field.cursorPosition(), FETCHED(int, cursor));
    QCOMPARE(gpNumPad->firstKey, FETCHED(bool, firstKey));
}

void TestKeypads::editBoxDigits_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("shown");   // after each key
    QTest::addColumn<int>("value");
    QTest::newRow("limited to max") << 0 << 100 << "500" << QStringList{"5", "50", "100"} << 100;
    QTest::newRow("backspace drops a digit of the value")
        << 0 << 1000 << "50B3" << QStringList{"5", "50", "5", "53"} << 53;
    QTest::newRow("backspace to below min") << 10 << 100 << "73B" << QStringList{"10", "100", "10"} << 10;
    QTest::newRow("backspace of the last digit starts anew")
        << 1 << 100 << "5B3" << QStringList{"5", "1", "3"} << 3;
    QTest::newRow("long digit string stays in range")
        << 0 << INT_MAX << "99999999999"
        << QStringList{"9", "99", "999", "9999", "99999", "999999", "9999999", "99999999", "999999999",
                       "2147483647", "2147483647"}
        << INT_MAX;
}

void TestKeypads::editBoxDigits()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, keys);
    QFETCH(QStringList, shown);
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    EditBox box(min, max, &page, QStringLiteral("x"));
    box.setValue(7);
    QSignalSpy changed(&box, &EditBox::valueChanged);
    touchField(box.valueField);
    for (int i = 0; i < keys.size(); ++i) {
        if (keys.at(i) == QLatin1Char('B'))
            gpNumPad->backspaceKey->click();
        else
            pressDigit(keys.at(i).digitValue());
        QCOMPARE(box.valueField->text(), shown.at(i));
    }
    QCOMPARE(box.value(), FETCHED(int, value));
    QCOMPARE(changed.count(), keys.size());
}

void TestKeypads::placement_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("screenH");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QSize>("container");
    QTest::addColumn<QRect>("parentRect");  // the field's parent inside the container (flag 8 only)
    QTest::addColumn<QRect>("field");
    QTest::addColumn<QPoint>("pos");
    QTest::newRow("below the field") << 1280 << 800 << 5 << QSize(1280, 800) << QRect() << QRect(100, 100, 200, 50)
                                     << QPoint(100, 155);
    QTest::newRow("right edge") << 1280 << 800 << 5 << QSize(1280, 800) << QRect() << QRect(1000, 100, 200, 50)
                                << QPoint(853, 155);
    QTest::newRow("bottom goes above") << 1280 << 800 << 5 << QSize(1280, 800) << QRect() << QRect(100, 600, 200, 50)
                                       << QPoint(100, 380);
    QTest::newRow("container bottom") << 1280 << 800 << 5 << QSize(1280, 400) << QRect() << QRect(100, 200, 200, 50)
                                      << QPoint(100, 170);
    QTest::newRow("never off screen") << 1280 << 800 << 5 << QSize(300, 200) << QRect() << QRect(10, 10, 100, 30)
                                      << QPoint(0, 0);
    QTest::newRow("grandparent") << 1280 << 800 << 9 << QSize(1280, 800) << QRect(50, 300, 600, 200)
                                 << QRect(10, 20, 137, 50) << QPoint(60, 375);
    QTest::newRow("character keyboard") << 1280 << 800 << 6 << QSize(1280, 800) << QRect()
                                        << QRect(700, 100, 200, 50) << QPoint(495, 155);
    QTest::newRow("small below") << 1024 << 600 << 5 << QSize(1024, 600) << QRect() << QRect(100, 100, 200, 30)
                                 << QPoint(100, 135);
    QTest::newRow("small bottom goes above") << 1024 << 600 << 5 << QSize(1024, 600) << QRect()
                                             << QRect(100, 450, 200, 30) << QPoint(100, 285);
    QTest::newRow("small right edge") << 1024 << 600 << 6 << QSize(1024, 600) << QRect()
                                      << QRect(800, 100, 200, 30) << QPoint(574, 135);
}

void TestKeypads::placement()
{
    QFETCH(int, flags);
    QFETCH(QRect, parentRect);
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(FETCHED(int, screenW), FETCHED(int, screenH));
    QWidget container;
    container.resize(FETCHED(QSize, container));
    QWidget* fieldParent = &container;
    if (parentRect.isValid()) {
        fieldParent = new QWidget(&container);
        fieldParent->setGeometry(parentRect);
    }
    Edit field(flags, fieldParent, 1);
    field.setGeometry(FETCHED(QRect, field));
    touchField(&field);
    QWidget* pad = (flags & EditFlagCharPad) ? static_cast<QWidget*>(gpNumCharPad) : gpNumPad;
    QVERIFY(pad->isVisibleTo(&container));
    QCOMPARE(pad->parentWidget(), &container);
    QCOMPARE(pad->pos(), FETCHED(QPoint, pos));
    QVERIFY(!pad->isWindow());
}

// Keys: S symbol key, C caps key, R the keyboard is closed and opened again.
void TestKeypads::characterPages_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("row1");
    QTest::addColumn<int>("symbolLabel");
    QTest::addColumn<int>("capsLabel");
    const QString upper = QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNM");
    const QString lower = upper.toLower();
    const QString symbols = QStringLiteral("-=[]\\;',./@#$%^?*()`~!{}:\"");
    QTest::newRow("opens upper") << "" << upper << 441 << 158;
    QTest::newRow("caps") << "C" << lower << 441 << 159;
    QTest::newRow("caps twice") << "CC" << upper << 441 << 158;
    QTest::newRow("symbol") << "S" << symbols << 442 << 158;
    QTest::newRow("symbol twice") << "SS" << upper << 441 << 158;
    QTest::newRow("caps on symbols") << "SC" << lower << 441 << 159;
    QTest::newRow("symbol on lower") << "CS" << symbols << 442 << 158;
    QTest::newRow("reopens upper") << "SR" << upper << 441 << 158;
    QTest::newRow("reopens upper from lower") << "CR" << upper << 441 << 158;
}

void TestKeypads::characterPages()
{
    QFETCH(QString, keys);
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    Edit field(6, &page, 1);
    field.setGeometry(10, 10, 200, 40);
    page.show();
    touchField(&field);
    for (QChar k : keys) {
        if (k == QLatin1Char('S')) {
            gpNumCharPad->symbolKey->click();
        } else if (k == QLatin1Char('C')) {
            gpNumCharPad->capsKey->click();
        } else {
            gpNumCharPad->HideUpdate();
            touchField(&field);
        }
    }
    QString row;
    for (int id = 11; id < 37; ++id)
        row += gpNumCharPad->charKeys[id]->text();
    QCOMPARE(row, FETCHED(QString, row1));
    QCOMPARE(gpNumCharPad->symbolKey->text(), Msg(FETCHED(int, symbolLabel)));
    QCOMPARE(gpNumCharPad->capsKey->text(), Msg(FETCHED(int, capsLabel)));
    QString digits;
    for (int id = 0; id < 11; ++id)
        digits += gpNumCharPad->charKeys[id]->text();
    QCOMPARE(digits, QStringLiteral("1234567890_"));
}

void TestKeypads::characterKeysAppend()
{
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    Edit field(6, &page, 1);
    field.setText(QStringLiteral("ab"));
    touchField(&field);
    QCOMPARE(field.text(), QStringLiteral("ab")); // no first-key rule
    gpNumCharPad->charKeys[11]->click();           // Q
    gpNumCharPad->charKeys[10]->click();           // _
    QCOMPARE(field.text(), QStringLiteral("abQ_"));
    QCOMPARE(field.cursorPosition(), 4);
    gpNumCharPad->backspaceKey->click();
    QCOMPARE(field.text(), QStringLiteral("abQ"));
}

void TestKeypads::passwordField()
{
    FieldPage p(5);
    Edit& field = p.field;
    TestKeypadHost& host = p.host;
    field.setEchoMode(QLineEdit::Password);
    field.setText(QStringLiteral("secret"));
    QVERIFY(p.showActive());
    field.setFocus();
    QVERIFY(!field.hasFocus());
    QVERIFY(field.text().isEmpty());
    QCOMPARE(field.placeholderText(), Msg(125));
    QCOMPARE(host.target.data(), &field);

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), field.mapToGlobal(QPointF(1, 1)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&field, &release);
    QVERIFY(gpNumPad->isVisible());
    pressDigit(4);
    pressDigit(2);
    QCOMPARE(field.text(), QStringLiteral("42"));

    host.passwordVisible = true;
    QSignalSpy check(gpNumPad, &NumberInput::chkpassword);
    gpNumPad->confirmKey->click();
    QCOMPARE(check.count(), 1);
    QVERIFY(!gpNumPad->isVisible());
    QCOMPARE(host.repaints, 1);
    QCOMPARE(host.target.data(), &field);
    // Closing an already hidden keypad still answers the prompt.
    gpNumPad->HideUpdate();
    QCOMPARE(check.count(), 2);
    QCOMPARE(host.repaints, 1);
}

void TestKeypads::confirmMovesFocusAway()
{
    FieldPage p(5);
    Edit& field = p.field;
    QVERIFY(p.showActive());
    field.setFocus();
    QVERIFY(field.hasFocus());
    touchField(&field);
    QVERIFY(gpNumPad->isVisible());
    QSignalSpy check(gpNumPad, &NumberInput::chkpassword);
    gpNumPad->confirmKey->click();
    QVERIFY(!field.hasFocus());
    QVERIFY(p.host.target.isNull());
    QVERIFY(!gpNumPad->isVisible());
    QCOMPARE(check.count(), 0);
}

void TestKeypads::characterConfirmKeepsFocus()
{
    FieldPage p(6);
    Edit& field = p.field;
    QVERIFY(p.showActive());
    field.setFocus();
    touchField(&field);
    QVERIFY(gpNumCharPad->isVisible());
    gpNumCharPad->confirmKey->click();
    QVERIFY(!gpNumCharPad->isVisible());
    QVERIFY(field.hasFocus());
    QCOMPARE(p.host.target.data(), &field);
}

void TestKeypads::returnKeyTogglesKeypad()
{
    FieldPage p(6);
    Edit& chars = p.field;
    QVERIFY(p.showActive());
    chars.setFocus();
    QVERIFY(!gpNumCharPad->isVisible());
    QTest::keyClick(&chars, Qt::Key_Return);
    QVERIFY(gpNumCharPad->isVisible());
    QTest::keyClick(&chars, Qt::Key_Return);
    QVERIFY(!gpNumCharPad->isVisible());
    QVERIFY(chars.hasFocus());

    QSignalSpy dot(&chars, &Edit::sig_Dot);
    QTest::keyClick(&chars, Qt::Key_Period);
    QCOMPARE(dot.count(), 1);
}

void TestKeypads::focusOutHidesBothKeypads()
{
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    Edit field(5, &page, 1);
    page.show();
    touchField(&field);
    gpNumCharPad->setParent(&page);
    gpNumCharPad->show();
    QVERIFY(gpNumPad->isVisible());
    focusOut(&field);
    QVERIFY(!gpNumPad->isVisible());
    QVERIFY(!gpNumCharPad->isVisible());
    QVERIFY(host.target.isNull());
}

void TestKeypads::targetIsGuarded()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    auto* field = new Edit(5, &page, 1);
    touchField(field);
    QCOMPARE(keypadHost().keypadTarget(), field);
    delete field;
    QVERIFY(keypadHost().keypadTarget() == nullptr);
    // Keys with no target change nothing and do not crash.
    pressDigit(3);
    gpNumPad->backspaceKey->click();
    gpNumPad->HideUpdate();
    gpNumCharPad->charKeys[0]->click();
    gpNumCharPad->backspaceKey->click();
}

void TestKeypads::keysNeverTakeFocus()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    for (QWidget* pad : {static_cast<QWidget*>(gpNumPad), static_cast<QWidget*>(gpNumCharPad)}) {
        QCOMPARE(pad->focusPolicy(), Qt::NoFocus);
        for (auto* key : pad->findChildren<QPushButton*>())
            QCOMPARE(key->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(gpNumPad->findChildren<QPushButton*>().size(), 12);
    QCOMPARE(gpNumCharPad->findChildren<QPushButton*>().size(), 41);
}

void TestKeypads::keypadOutlivesItsContainer()
{
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QPointer<NumberInput> pad = gpNumPad;
    QPointer<NumCharInput> chars = gpNumCharPad;
    {
        QWidget dialog;
        dialog.resize(800, 600);
        auto* field = new Edit(5, &dialog, 1);
        auto* name = new Edit(6, &dialog, 1);
        touchField(field);
        touchField(name);
        QCOMPARE(gpNumPad->parentWidget(), &dialog);
        QCOMPARE(gpNumCharPad->parentWidget(), &dialog);
    }
    QVERIFY(!pad.isNull());
    QVERIFY(!chars.isNull());
    QVERIFY(gpNumPad->parentWidget() == nullptr);
    QVERIFY(gpNumPad->isHidden());
    QWidget page;
    page.resize(1280, 800);
    Edit next(5, &page, 1);
    touchField(&next);
    pressDigit(8);
    QCOMPARE(next.text(), QStringLiteral("8"));
    QCOMPARE(gpNumPad->parentWidget(), &page);
}

QTEST_MAIN(TestKeypads)
#include "tst_keypads.moc"
