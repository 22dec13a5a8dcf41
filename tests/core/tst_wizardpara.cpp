// The system parameter record as a plain value: defaults, whole-record
// comparison, text fields, and the fixed I/O name tables.
#include "ionames.h"
#include "messages.h"
#include "wizardpara.h"

#include <QtTest>
#include <functional>

class TestWizardPara : public QObject {
    Q_OBJECT
private slots:
    void constructorDefaults();
    void anyFieldMakesRecordsDiffer_data();
    void anyFieldMakesRecordsDiffer();
    void shortTextOverLongTextEqualsFresh();
    void setTextLimits_data();
    void setTextLimits();
    void textDecoding_data();
    void textDecoding();
    void ioNames_data();
    void ioNames();
};

void TestWizardPara::constructorDefaults()
{
    const WizardPara p;
    QCOMPARE(QVector<int>(std::begin(p.detectEnabled), std::end(p.detectEnabled)),
             QVector<int>({0, 1, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(p.detectTriggerInput[0], 0);
    QCOMPARE(p.multiDetectCount, 2);
    QCOMPARE(p.videoShareMode, int(VideoShareScreen));
    QCOMPARE(p.videoShareFps, 3);
    QCOMPARE(p.productSerial, 10000);
    QCOMPARE(p.productMoldCavity, 6);
    QCOMPARE(p.productNum, 1);
    QCOMPARE(p.roiNgWarnCount, 2);
    for (const char* text : {p.password, p.netCardName, p.techName, p.techPhone, p.productName,
                             p.operatorName})
        QCOMPARE(QByteArray(text, kParamTextLen), QByteArray(kParamTextLen, '\0'));
    // Fields the constructor leaves to the load start at zero.
    QCOMPARE(p.exposure[7], 0);
    QCOMPARE(p.systemMode, 0);
    QCOMPARE(p.spareArrayB[15], 0);
    // Two fresh records are equal byte for byte.
    QVERIFY(WizardPara() == p);
}

using Change = std::function<void(WizardPara&)>;
Q_DECLARE_METATYPE(Change)

void TestWizardPara::anyFieldMakesRecordsDiffer_data()
{
    QTest::addColumn<Change>("change");
    QTest::newRow("spareA") << Change([](WizardPara& p) { p.spareA = 1; });
    QTest::newRow("spareB") << Change([](WizardPara& p) { p.spareB = 1; });
    QTest::newRow("spareC") << Change([](WizardPara& p) { p.spareC = 1; });
    QTest::newRow("spareD") << Change([](WizardPara& p) { p.spareD = 1; });
    QTest::newRow("spareArrayA unstored tail")
        << Change([](WizardPara& p) { p.spareArrayA[15] = 1; });
    QTest::newRow("spareArrayB") << Change([](WizardPara& p) { p.spareArrayB[0] = 1; });
    QTest::newRow("derived trigger") << Change([](WizardPara& p) { p.detectTriggerInput[7] = -1; });
    QTest::newRow("derived lamps") << Change([](WizardPara& p) { p.statusLampCount = 4; });
    QTest::newRow("derived row") << Change([](WizardPara& p) { p.multiDetectRowActive[3] = 1; });
    QTest::newRow("derived serials") << Change([](WizardPara& p) { p.storedSerialCount = 1; });
    QTest::newRow("first field") << Change([](WizardPara& p) { p.exposure[0] = 1; });
    QTest::newRow("last field") << Change([](WizardPara& p) { p.roiNgWarnCount = 3; });
    QTest::newRow("text") << Change([](WizardPara& p) { WizardPara::SetText(p.techName, QStringLiteral("x")); });
}

void TestWizardPara::anyFieldMakesRecordsDiffer()
{
    QFETCH(Change, change);
    WizardPara a;
    const WizardPara b;
    change(a);
    QVERIFY(a != b);
    WizardPara copy = a;   // copied as a whole
    QVERIFY(copy == a);
}

void TestWizardPara::shortTextOverLongTextEqualsFresh()
{
    WizardPara edited;
    QVERIFY(WizardPara::SetText(edited.password, QStringLiteral("a much longer password")));
    QVERIFY(WizardPara::SetText(edited.password, QStringLiteral("pw")));
    WizardPara fresh;
    QVERIFY(WizardPara::SetText(fresh.password, QByteArray("pw")));
    QVERIFY(edited == fresh);
}

void TestWizardPara::setTextLimits_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("taken");   // whole; false: cut
    QTest::addColumn<QByteArray>("stored");
    const QByteArray zh = QByteArray("\xE5\xBC\xA0");   // one Chinese character, 3 bytes
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("99 bytes") << QByteArray(99, 'a') << true << QByteArray(99, 'a');
    QTest::newRow("100 bytes") << QByteArray(100, 'a') << false << QByteArray(99, 'a');
    QTest::newRow("34 Chinese characters") << zh.repeated(34) << false << zh.repeated(33);
    QTest::newRow("character across the end") << QByteArray(98, 'a') + zh << false << QByteArray(98, 'a');
    QTest::newRow("Latin-1 bytes cut at 99") << QByteArray(120, '\xE9') << false << QByteArray(99, '\xE9');
    QTest::newRow("up to NUL") << QByteArray("ab\0cd", 5) << true << QByteArray("ab");
    QTest::newRow("long tail after NUL")
        << (QByteArray("ok") + '\0' + QByteArray(200, 'x')) << true << QByteArray("ok");
}

void TestWizardPara::setTextLimits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, taken);
    QFETCH(QByteArray, stored);
    WizardPara p;
    WizardPara::SetText(p.operatorName, QByteArray("old"));
    QCOMPARE(WizardPara::SetText(p.operatorName, bytes), taken);
    QByteArray expected = stored;
    expected.resize(kParamTextLen, '\0');
    QCOMPARE(QByteArray(p.operatorName, kParamTextLen), expected);
}

void TestWizardPara::textDecoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("eth0") << QStringLiteral("eth0");
    QTest::newRow("utf-8") << QByteArray("\xE5\xBC\xA0\xE4\xB8\x89") << QStringLiteral("张三");
    QTest::newRow("latin-1 fallback") << QByteArray("caf\xE9") << QStringLiteral("café");
    QTest::newRow("cut utf-8 sequence") << QByteArray("a\xE5\xBC") << QStringLiteral("a\u00E5\u00BC");
}

void TestWizardPara::textDecoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    WizardPara p;
    QVERIFY(WizardPara::SetText(p.techName, bytes));
    QCOMPARE(WizardPara::Text(p.techName), text);
}

void TestWizardPara::ioNames_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("zh first") << int(LanSimplifiedChinese) << 0 << QStringLiteral("开模到位")
                              << QStringLiteral("允许合模");
    QTest::newRow("en 13") << int(LanEnglish) << 13 << QStringLiteral("Neu B O")
                           << QStringLiteral("Mac mov");
    QTest::newRow("tw 15, no output") << int(LanTraditionalChinese) << 15
                                      << QStringLiteral("中子C退") << QString();
    QTest::newRow("negative") << int(LanEnglish) << -1 << QString() << QString();
    QTest::newRow("past input table") << int(LanEnglish) << 16 << QString() << QString();
}

void TestWizardPara::ioNames()
{
    QFETCH(int, language);
    QFETCH(int, index);
    QFETCH(QString, in);
    QFETCH(QString, out);
    const int saved = gLan;
    gLan = language;
    QCOMPARE(InName(index), in);
    QCOMPARE(OutName(index), out);
    gLan = saved;
}

QTEST_GUILESS_MAIN(TestWizardPara)
#include "tst_wizardpara.moc"
