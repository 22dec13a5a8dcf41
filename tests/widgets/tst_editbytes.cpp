// A text field never takes more UTF-8 bytes than the record's buffer holds:
// typed on the keypad, pasted or set, the text stops at the last whole
// character that fits.
#include "kitfixture.h"
#include "wizardpara.h"

#include <QtTest>

class TestEditBytes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void setTextStopsAtWholeCharacter_data();
    void setTextStopsAtWholeCharacter();
    void keypadStopsAtTheLimit();
};

void TestEditBytes::initTestCase()
{
    FillMessageTable();
}

void TestEditBytes::setTextStopsAtWholeCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    const QString zh33 = QString::fromUtf8("张").repeated(33);   // 99 bytes
    QTest::newRow("99 bytes fit") << QString(99, 'a') << QString(99, 'a');
    QTest::newRow("100 bytes") << QString(100, 'a') << QString(99, 'a');
    QTest::newRow("34 Chinese characters") << zh33 + QString::fromUtf8("张") << zh33;
    QTest::newRow("character across the limit") << QString(98, 'a') + QString::fromUtf8("张")
                                                << QString(98, 'a');
    QTest::newRow("four-byte character") << QString(96, 'a') + QString::fromUtf8("\xF0\x9F\x98\x80")
                                         << QString(96, 'a');
}

void TestEditBytes::setTextStopsAtWholeCharacter()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    Edit field(EditFlagCharPad, nullptr);
    field.setMaxBytes(kParamTextLen - 1);
    field.setText(text);
    QCOMPARE(field.text(), kept);
    QVERIFY(field.text().toUtf8().size() <= kParamTextLen - 1);
    // What the field holds fits the record unchanged.
    char buffer[kParamTextLen] = {};
    QVERIFY(WizardPara::SetText(buffer, field.text()));
    QCOMPARE(WizardPara::Text(buffer), kept);
}

void TestEditBytes::keypadStopsAtTheLimit()
{
    TestKeypadHost host;
    NumCharInput pad(nullptr);
    Edit field(EditFlagCharPad, nullptr);
    field.setMaxBytes(10);
    host.target = &field;
    for (int i = 0; i < 15; ++i)
        pad.setContent(1);
    QCOMPARE(field.text().toUtf8().size(), 10);
    pad.eraseContent();
    QCOMPARE(field.text().toUtf8().size(), 9);
}

QTEST_MAIN(TestEditBytes)
#include "tst_editbytes.moc"
