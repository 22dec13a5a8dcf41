// The composite fields: EditBox, EditIP, EditDateTime.
#include "colorbutton.h"
#include "editbox.h"
#include "editdatetime.h"
#include "editip.h"
#include "kitfixture.h"
#include "testenv.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTimeEdit>
#include <QtTest>

class TestInputFields : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void checkRange_data();
    void checkRange();
    void scaledBox();
    void stepButtons();
    void focusOutAlwaysEmits();
    void startsAtMinimum();
    void boxGeometry_data();
    void boxGeometry();
    void mediumRow_data();
    void mediumRow();
    void mediumCaptionFits_data();
    void mediumCaptionFits();
    void unitLabelFollowsText_data();
    void unitLabelFollowsText();
    void ipGeometry_data();
    void ipGeometry();
    void octetClamp_data();
    void octetClamp();
    void octetOnKeypad();
    void setTextIP_data();
    void setTextIP();
    void dotMovesToNextOctet();
    void setSysDateTime();
    void setSysDateTimeFailure_data();
    void setSysDateTimeFailure();
    void dateTimeLayout_data();
    void dateTimeLayout();
};

void TestInputFields::initTestCase()
{
    FillMessageTable();
    gLan = LanEnglish;
}

void TestInputFields::checkRange_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<bool>("use0");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("value");
    QTest::newRow("use0 keeps 0") << 1 << 100 << true << 0 << 0;
    QTest::newRow("use0 below min") << 1 << 100 << true << -1 << 1;
    QTest::newRow("use0 above max") << 1 << 100 << true << 101 << 100;
    QTest::newRow("0 without use0") << 1 << 100 << false << 0 << 1;
    QTest::newRow("inside") << 1 << 100 << false << 50 << 50;
    QTest::newRow("negative minimum") << -20 << 20 << false << -7 << -7;
    QTest::newRow("below negative minimum") << -20 << 20 << false << -30 << -20;
    QTest::newRow("use0 inside negative range") << -20 << 20 << true << 0 << 0;
}

void TestInputFields::checkRange()
{
    QFETCH(int, value);
    TestEnv env;
    KitScreen screen(1280, 800);
    EditBox box(FETCHED(int, min), FETCHED(int, max), nullptr, QStringLiteral("c"));
    box.setUse0(FETCHED(bool, use0));
    QSignalSpy changed(&box, &EditBox::valueChanged);
    box.setValue(FETCHED(int, input));
    QCOMPARE(box.value(), value);
    QCOMPARE(box.valueField->text(), QString::number(value));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), value);
}

void TestInputFields::scaledBox()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditBox box(0, 100, nullptr, QStringLiteral("Gain"), QString(), EditBoxTypeScaled, 10);
    QCOMPARE(box.minusFiveButton->text(), QStringLiteral("- 0.5"));
    QCOMPARE(box.minusOneButton->text(), QStringLiteral("- 0.1"));
    QCOMPARE(box.plusOneButton->text(), QStringLiteral("+ 0.1"));
    QCOMPARE(box.plusFiveButton->text(), QStringLiteral("+ 0.5"));
    box.setValue(25);
    QCOMPARE(box.valueField->text(), QStringLiteral("2.5"));
    box.plusOneButton->click();
    QCOMPARE(box.value(), 26);
    QCOMPARE(box.valueField->text(), QStringLiteral("2.6"));

    EditBox plain(0, 100, nullptr, QStringLiteral("Gain"));
    QCOMPARE(plain.minusFiveButton->text(), QStringLiteral("- 5"));
    QCOMPARE(plain.plusOneButton->text(), QStringLiteral("+ 1"));
}

void TestInputFields::stepButtons()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditBox box(0, 10, nullptr, QStringLiteral("c"));
    box.setValue(8);
    QSignalSpy changed(&box, &EditBox::valueChanged);
    box.plusFiveButton->click();
    QCOMPARE(box.value(), 10);
    box.plusOneButton->click();
    QCOMPARE(box.value(), 10);
    box.minusFiveButton->click();
    box.minusOneButton->click();
    QCOMPARE(box.value(), 4);
    QCOMPARE(changed.count(), 4); // every step emits, also at the limit
    for (ColorButton* b : {box.minusFiveButton, box.minusOneButton, box.plusOneButton, box.plusFiveButton}) {
        QVERIFY(b->autoRepeat());
        QCOMPARE(b->autoRepeatDelay(), 300);
        QCOMPARE(b->autoRepeatInterval(), 50);
    }
}

void TestInputFields::focusOutAlwaysEmits()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditBox box(0, 100, nullptr, QStringLiteral("c"));
    box.setValue(42);
    QSignalSpy changed(&box, &EditBox::valueChanged);
    focusOut(box.valueField);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 42);
    // A stray text is replaced by the value on leaving the field.
    box.valueField->setText(QStringLiteral("9x"));
    focusOut(box.valueField);
    QCOMPARE(box.valueField->text(), QStringLiteral("42"));
    QCOMPARE(changed.count(), 2);
}

void TestInputFields::startsAtMinimum()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditBox box(5, 100, nullptr, QStringLiteral("c"));
    QCOMPARE(box.value(), 5);
    QCOMPARE(box.valueField->text(), QStringLiteral("5"));
    box.plusOneButton->click();
    QCOMPARE(box.value(), 6);
}

void TestInputFields::boxGeometry_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<QSize>("caption");
    QTest::addColumn<QSize>("button");
    QTest::addColumn<QSize>("field");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("fontPx");
    QTest::addColumn<QSize>("unit");
    QTest::addColumn<int>("textMargin");
    QTest::newRow("large") << 1280 << QSize(160, 50) << QSize(127, 50) << QSize(137, 50) << 10 << 27 << QSize(64, 50)
                           << 64;
    QTest::newRow("small") << 1024 << QSize(65, 28) << QSize(40, 28) << QSize(50, 28) << 5 << 12 << QSize(30, 30)
                           << 20;
}

void TestInputFields::boxGeometry()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    EditBox box(0, 100, nullptr, QStringLiteral("Exposure"), QStringLiteral("ms"));
    box.show();
    QCOMPARE(box.captionLabel->size(), FETCHED(QSize, caption));
    QCOMPARE(box.plusFiveButton->size(), FETCHED(QSize, button));
    QCOMPARE(box.valueField->size(), FETCHED(QSize, field));
    QCOMPARE(box.rowLayout->spacing(), FETCHED(int, spacing));
    QCOMPARE(box.valueField->font().pixelSize(), FETCHED(int, fontPx));
    QVERIFY(box.valueField->unitLabel);
    QCOMPARE(box.valueField->unitLabel->size(), FETCHED(QSize, unit));
    QCOMPARE(box.valueField->textMargins().right(), FETCHED(int, textMargin));
    QCOMPARE(box.valueField->flags, 9);
    // Left to right: caption, -5, -1, field, +1, +5.
    QVERIFY(box.captionLabel->x() < box.minusFiveButton->x());
    QVERIFY(box.minusFiveButton->x() < box.minusOneButton->x());
    QVERIFY(box.minusOneButton->x() < box.valueField->x());
    QVERIFY(box.valueField->x() < box.plusOneButton->x());
    QVERIFY(box.plusOneButton->x() < box.plusFiveButton->x());
}

void TestInputFields::mediumRow_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("scale");
    QTest::newRow("large screen") << 1280 << 1;
    QTest::newRow("large screen, tenths") << 1280 << 10;
    QTest::newRow("small screen") << 1024 << 1;
}

// The medium row lies between the small and the large rows, whatever the
// screen, and everything it shows fits: step labels, the longest number
// with its unit, the caption.
void TestInputFields::mediumRow()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    const int scale = FETCHED(int, scale);
    const int type = scale > 1 ? EditBoxTypeScaled : EditBoxTypeInt;
    EditBox box(0, 99999, nullptr, QStringLiteral("Exposure"), QStringLiteral("ms"), type, scale, KitRowSize::Medium);
    box.show();
    QCOMPARE(box.rowSize, KitRowSize::Medium);
    QCOMPARE(box.captionLabel->size(), QSize(120, 38));
    QCOMPARE(box.plusFiveButton->size(), QSize(80, 38));
    QCOMPARE(box.valueField->size(), QSize(110, 38));
    QCOMPARE(box.rowLayout->spacing(), 6);
    QCOMPARE(box.valueField->font().pixelSize(), 20);
    QCOMPARE(box.captionLabel->font().pixelSize(), 20);   // a short caption keeps the row's font
    QCOMPARE(box.valueField->unitLabel->size(), QSize(16 * 2 + 10, 38));

    const int screenW = gShowW;
    gShowW = 1280;
    EditBox big(0, 99999, nullptr, QStringLiteral("Exposure"), QStringLiteral("ms"), type, scale);
    gShowW = 1024;
    EditBox little(0, 99999, nullptr, QStringLiteral("Exposure"), QStringLiteral("ms"), type, scale);
    gShowW = screenW;
    QVERIFY(little.sizeHint().width() < box.sizeHint().width());
    QVERIFY(box.sizeHint().width() < big.sizeHint().width());
    QVERIFY(little.sizeHint().height() < box.sizeHint().height());
    QVERIFY(box.sizeHint().height() < big.sizeHint().height());

    // The step labels at the button font, unshrunk.
    for (ColorButton* b : {box.minusFiveButton, box.minusOneButton, box.plusOneButton, box.plusFiveButton}) {
        const QFontMetrics fm(ColorButton::labelFont(b->sizeClass));
        QVERIFY2(fm.horizontalAdvance(b->text()) <= b->width() - 4, qPrintable(b->text()));
        QVERIFY(fm.height() <= b->height());
    }
    // The longest numbers of the settings pages ("999.9", "10000") beside the unit.
    box.setValue(scale > 1 ? 9999 : 10000);
    const QFontMetrics fm(box.valueField->font());
    const int room = box.valueField->width() - box.valueField->textMargins().right();
    QVERIFY2(fm.horizontalAdvance(box.valueField->text()) <= room,
             qPrintable(QString("%1: %2 > %3").arg(box.valueField->text()).arg(fm.horizontalAdvance(box.valueField->text())).arg(room)));
}

void TestInputFields::mediumCaptionFits_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("wraps");
    QTest::newRow("short") << "Gain" << false;
    QTest::newRow("long") << "Detection delay of the third step" << true;
}

void TestInputFields::mediumCaptionFits()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditBox box(0, 100, nullptr, QStringLiteral("x"), QString(), EditBoxTypeInt, 1, KitRowSize::Medium);
    const QString caption = FETCHED(QString, caption);
    box.setText(caption);   // the captions are set again when the language changes
    QLabel* label = box.captionLabel;
    QCOMPARE(label->wordWrap(), FETCHED(bool, wraps));
    const QRect room(QPoint(0, 0), label->size());
    const QRect need = QFontMetrics(label->font()).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, caption);
    QVERIFY2(need.width() <= room.width() && need.height() <= room.height(),
             qPrintable(QString("%1 x %2 at %3 px").arg(need.width()).arg(need.height()).arg(label->font().pixelSize())));
    QVERIFY(label->font().pixelSize() >= 12);
    // The large row keeps its fixed caption font and never wraps.
    EditBox large(0, 100, nullptr, caption);
    QCOMPARE(large.captionLabel->font().pixelSize(), 27);
    QVERIFY(!large.captionLabel->wordWrap());
}

void TestInputFields::unitLabelFollowsText_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("x");
    // (field width - label width + floor(characters * font size / 2)) / 2
    QTest::newRow("large") << 1280 << "ms" << 1 << 123 << (137 - 64 + 40) / 2;
    QTest::newRow("small scaled") << 1024 << "S" << 10 << 105 << (50 - 20 + 24) / 2;
    QTest::newRow("small") << 1024 << "ms" << 1 << 100 << (50 - 30 + 18) / 2;
    QTest::newRow("small stays inside") << 1024 << "ms" << 1 << 99999 << 50 - 30;
}

void TestInputFields::unitLabelFollowsText()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    const int scale = FETCHED(int, scale);
    EditBox box(0, 100000, nullptr, QStringLiteral("c"), FETCHED(QString, unit),
                scale > 1 ? EditBoxTypeScaled : EditBoxTypeInt, scale);
    box.setValue(FETCHED(int, raw));
    QCOMPARE(box.valueField->unitLabelX, FETCHED(int, x));
    QCOMPARE(box.valueField->unitLabel->pos(), QPoint(box.valueField->unitLabelX, 1));
    EditBox bare(0, 10, nullptr, QStringLiteral("c"));
    QVERIFY(bare.valueField->unitLabel == nullptr);
}

void TestInputFields::ipGeometry_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("octet");
    QTest::addColumn<int>("captionWidth");
    QTest::addColumn<int>("fontPx");
    QTest::newRow("large") << 1280 << 80 << QSize(100, 50) << 200 << 30;
    QTest::newRow("small") << 1024 << 50 << QSize(50, 30) << 100 << 17;
}

void TestInputFields::ipGeometry()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    EditIP ip(QStringLiteral("IP"), nullptr);
    QCOMPARE(ip.minimumHeight(), FETCHED(int, height));
    QCOMPARE(ip.maximumHeight(), FETCHED(int, height));
    QCOMPARE(ip.captionLabel->minimumWidth(), FETCHED(int, captionWidth));
    QCOMPARE(ip.captionLabel->maximumWidth(), FETCHED(int, captionWidth));
    QCOMPARE(ip.captionLabel->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::yellow));
    for (Edit* octet : ip.octetEdits) {
        QCOMPARE(octet->size(), FETCHED(QSize, octet));
        QCOMPARE(octet->font().pixelSize(), FETCHED(int, fontPx));
        QCOMPARE(octet->font().family(), QStringLiteral("wenquanyi"));
        QCOMPARE(octet->flags, 9);
    }
    for (QLabel* dot : ip.dotLabels)
        QCOMPARE(dot->text(), QStringLiteral("."));
    QCOMPARE(ip.captionLabel->font().pixelSize(), FETCHED(int, fontPx));
}

void TestInputFields::octetClamp_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("signals");
    QTest::newRow("in range") << "192" << "192" << 1;
    QTest::newRow("above 255") << "300" << "255" << 2;
    QTest::newRow("empty") << "" << "0" << 2;
    QTest::newRow("leading zeros") << "007" << "7" << 2;
    QTest::newRow("not a number") << "ab" << "0" << 2;
    QTest::newRow("negative") << "-5" << "0" << 2;
}

void TestInputFields::octetClamp()
{
    QFETCH(QString, shown);
    TestEnv env;
    KitScreen screen(1280, 800);
    EditIP ip(QStringLiteral("IP"), nullptr);
    ip.setTextIP(QStringLiteral("10.1.2.3"));
    QSignalSpy changed(&ip, &EditIP::textchange);
    ip.octetEdits[1]->setText(FETCHED(QString, typed));
    QCOMPARE(ip.octetEdits[1]->text(), shown);
    QCOMPARE(changed.count(), FETCHED(int, signals));
    const QString address = QStringLiteral("10.%1.2.3").arg(shown);
    for (const QList<QVariant>& s : changed)
        QCOMPARE(s.at(0).toString(), address);
    QCOMPARE(ip.getTextIP(), address);
    QCOMPARE(ip.address, address);
}

void TestInputFields::octetOnKeypad()
{
    TestEnv env;
    TestKeypadHost host;
    KitScreen screen(1280, 800);
    QWidget page;
    page.resize(1280, 800);
    EditIP ip(QStringLiteral("IP"), &page);
    ip.setGeometry(20, 20, 720, 80);
    ip.setTextIP(QStringLiteral("192.168.1.10"));
    touchField(ip.octetEdits[2]);
    QCOMPARE(gpNumPad->parentWidget(), &page); // flags 9: the grandparent
    QCOMPARE(ip.octetEdits[2]->text(), QStringLiteral("0"));
    for (int d : {3, 0, 0})
        pressDigit(d);
    QCOMPARE(ip.getTextIP(), QStringLiteral("192.168.255.10"));
    gpNumPad->backspaceKey->click();
    gpNumPad->backspaceKey->click();
    gpNumPad->backspaceKey->click();
    QCOMPARE(ip.octetEdits[2]->text(), QStringLiteral("0"));
}

void TestInputFields::setTextIP_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("result");
    QTest::newRow("full") << "192.168.1.10" << "192.168.1.10";
    QTest::newRow("two octets") << "10.0" << "10.0.3.4";
    QTest::newRow("too many dots") << "1.2.3.4.5" << "1.2.3.5";
    QTest::newRow("octet too large") << "999.1.1.1" << "255.1.1.1";
}

void TestInputFields::setTextIP()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditIP ip(QStringLiteral("IP"), nullptr);
    ip.setTextIP(QStringLiteral("1.2.3.4"));
    ip.setTextIP(FETCHED(QString, address));
    QCOMPARE(ip.getTextIP(), FETCHED(QString, result));
}

void TestInputFields::dotMovesToNextOctet()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditIP ip(QStringLiteral("IP"), nullptr);
    ip.setTextIP(QStringLiteral("1.2.3.4"));
    emit ip.octetEdits[1]->sig_Dot();
    QCOMPARE(ip.getTextIP(), QStringLiteral("1.2.0.4"));
}

void TestInputFields::setSysDateTime()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    EditDateTime dt(QString(), nullptr);
    QCOMPARE(dt.dateTime, env.clock->now());
    dt.ShowDateTime();
    QCOMPARE(dt.m_getDateTime(), env.clock->now());
    dt.dateEdit->setDate(QDate(2024, 2, 29));
    dt.timeEdit->setTime(QTime(13, 5, 9));
    QVERIFY(dt.setSysDateTime());
    QCOMPARE(dt.dateTime, QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9)));
    const auto calls = env.runner->calls();
    QCOMPARE(calls.size(), size_t(2));
    QCOMPARE(calls[0].program, QStringLiteral("date"));
    QCOMPARE(calls[0].args, QStringList({"-s", "2024-02-29 13:05:09"}));
    QCOMPARE(calls[1].program, QStringLiteral("hwclock"));
    QCOMPARE(calls[1].args, QStringList({"--systohc"}));
}

void TestInputFields::setSysDateTimeFailure_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("calls");
    QTest::newRow("date fails") << "date" << 1;
    QTest::newRow("hwclock fails") << "hwclock" << 2;
}

void TestInputFields::setSysDateTimeFailure()
{
    TestEnv env;
    KitScreen screen(1280, 800);
    CommandResult failed;
    failed.exitCode = 1;
    env.runner->answer(FETCHED(QString, failing), failed);
    EditDateTime dt(QString(), nullptr);
    QVERIFY(!dt.setSysDateTime());
    QCOMPARE(int(env.runner->calls().size()), FETCHED(int, calls));
}

void TestInputFields::dateTimeLayout_data()
{
    QTest::addColumn<int>("screenW");
    QTest::addColumn<QSize>("editor");
    QTest::addColumn<int>("fontPx");
    QTest::addColumn<bool>("oneRow");
    QTest::newRow("large") << 1280 << QSize(330, 60) << 30 << true;
    QTest::newRow("small") << 1024 << QSize(200, 40) << 17 << false;
}

void TestInputFields::dateTimeLayout()
{
    TestEnv env;
    KitScreen screen(FETCHED(int, screenW), 600);
    EditDateTime dt(QStringLiteral("Time"), nullptr);
    dt.show();
    QCOMPARE(dt.dateEdit->size(), FETCHED(QSize, editor));
    QCOMPARE(dt.timeEdit->size(), FETCHED(QSize, editor));
    QCOMPARE(dt.dateEdit->font().pixelSize(), FETCHED(int, fontPx));
    QCOMPARE(dt.dateEdit->displayFormat(), QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(dt.timeEdit->displayFormat(), QStringLiteral("HH:mm:ss"));
    const bool oneRow = dt.dateEdit->y() == dt.timeEdit->y() && dt.captionLabel->x() < dt.dateEdit->x();
    QCOMPARE(oneRow, FETCHED(bool, oneRow));
    QVERIFY(dt.dateEdit->styleSheet().contains(QStringLiteral("QDateEdit::up-button")));
    QVERIFY(dt.timeEdit->styleSheet().contains(QStringLiteral("QTimeEdit::down-button")));
}

QTEST_MAIN(TestInputFields)
#include "tst_inputfields.moc"
