// The three-language message table compiled into the program.
#include "messages.h"
#include "testenv.h"

#include <QRegularExpression>
#include <QtTest>
#include <algorithm>

namespace {

QStringList placeholdersOf(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("%(\\d{1,2})"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

class TestMessages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void exactTexts_data();
    void exactTexts();
    void emptyRows_data();
    void emptyRows();
    void emptyEnglishKeepsChinese();
    void lostLinkAlarmsHaveTraditionalTexts();
    void languageNamesInOwnLanguage();
    void cavityNames();
    void identicalPairs_data();
    void identicalPairs();
    void mendedBoxCaptions_data();
    void mendedBoxCaptions();
    void everyFilledRowIsComplete();
    void placeholderParity();
    void msgFollowsRunLanguage();
    void refillResetsTable();

private:
    TestEnv env;
};

void TestMessages::initTestCase()
{
    FillMessageTable();
}

void TestMessages::init()
{
    gLan = LanSimplifiedChinese;
}

void TestMessages::exactTexts_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("zhCN");
    QTest::addColumn<QByteArray>("en");
    QTest::addColumn<QByteArray>("zhTW");
    QTest::newRow("plain") << 0 << QByteArray("相机参数文件错误！")
                           << QByteArray("Camera parameter file error!") << QByteArray("相機參數檔案錯誤！");
    QTest::newRow("CRLF and spaces") << 1 << QByteArray("区域参数文件错误，\r\n请还原参数组\r\n或联系供应商！")
        << QByteArray("Regional parameter file error, \r\n please restore the Parameter Group \r\n or contact the supplier!")
        << QByteArray("區域參數檔案錯誤，\r\n請還原參數組\r\n或聯絡供應商！");
    QTest::newRow("quotes") << 68 << QByteArray("如要删除第一个\r\n模板，请点击“重新采样”！")
        << QByteArray("If you want to delete the first \r\ntemplate, please click \"Resample\"!")
        << QByteArray("如要刪除第一個\r\n模板，請點選「重新取樣」！");
    QTest::newRow("reordered placeholders") << 73 << QByteArray("相机%1检测%2 ")
                                            << QByteArray("Detection %2 of camera %1 ") << QByteArray("相機%1檢測%2 ");
    QTest::newRow("initializing") << 133 << QByteArray("系统正在初始化，请稍后......")
        << QByteArray("The system is initializing, \r\n please wait..") << QByteArray("系統正在初始化，請稍後......");
    QTest::newRow("bare LF in Chinese") << 160 << QByteArray("系统参数文件错误，请还原\n参数组或联系供应商！")
        << QByteArray("System parameter file error, please \r\n restore parameter group \r\n or contact supplier")
        << QByteArray("系統參數檔案錯誤，請還原\n參數組或聯絡供應商！");
    QTest::newRow("non-ASCII English") << 212 << QByteArray("实时↔模板") << QByteArray("Live↔Temp")
                                       << QByteArray("即時↔模板");
    QTest::newRow("leading spaces") << 406 << QByteArray("   顶退") << QByteArray("   Back") << QByteArray("   頂退");
    QTest::newRow("bare LF in English") << 458 << QByteArray("校正\n触摸屏") << QByteArray("calibrate \n touch screen")
                                        << QByteArray("校正\n觸控螢幕");
    QTest::newRow("skip question") << 574 << QByteArray("确定要开始跳过%1次检测吗?") << QByteArray("start skip")
                                   << QByteArray("確定要開始跳過%1次檢測嗎?");
    QTest::newRow("camera lost") << 587 << QByteArray("警告：相机通讯异常，请关机尝试拔插\n接口后开机重试！")
        << QByteArray("camera disconnect") << QByteArray("警告：相機通訊異常，請關機嘗試拔插\n接頭後開機重試！");
    QTest::newRow("single space") << 612 << QByteArray(" ") << QByteArray(" ") << QByteArray(" ");
    QTest::newRow("Chinese everywhere") << 656 << QByteArray("NG次数设定") << QByteArray("NG次数设定")
                                        << QByteArray("NG次数设定");
    QTest::newRow("detection name") << 1005 << QByteArray("%1检测") << QByteArray("%1") << QByteArray("%1檢測");
    QTest::newRow("no English") << 1013 << QByteArray("成品检测不报警停机，分别输出NG和OK") << QByteArray()
                                << QByteArray("成品检测不报警停机，分别输出NG和OK");
}

void TestMessages::exactTexts()
{
    QFETCH(int, id);
    QFETCH(QByteArray, zhCN);
    QFETCH(QByteArray, en);
    QFETCH(QByteArray, zhTW);
    QCOMPARE(gaLanStr[3 * id + LanSimplifiedChinese].toUtf8(), zhCN);
    QCOMPARE(gaLanStr[3 * id + LanEnglish].toUtf8(), en);
    QCOMPARE(gaLanStr[3 * id + LanTraditionalChinese].toUtf8(), zhTW);
}

void TestMessages::emptyRows_data()
{
    QTest::addColumn<int>("id");
    for (int id : {153, 321, 322, 530, 539, 658, 999, 1008, 1014, 2047})
        QTest::newRow(QByteArray::number(id).constData()) << id;
}

void TestMessages::emptyRows()
{
    QFETCH(int, id);
    for (int language = 0; language < 3; ++language)
        QVERIFY(Msg(id, language).isEmpty());
}

void TestMessages::emptyEnglishKeepsChinese()
{
    for (int id : {646, 647, 648, 1011, 1012, 1013}) {
        QVERIFY2(Msg(id, LanEnglish).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY(!Msg(id, LanSimplifiedChinese).isEmpty());
        QCOMPARE(Msg(id, LanTraditionalChinese), Msg(id, LanSimplifiedChinese));
    }
    QCOMPARE(Msg(646, LanSimplifiedChinese), QStringLiteral("白找黑"));
    QCOMPARE(Msg(1012, LanTraditionalChinese), QStringLiteral("连续采集定时检测"));
}

void TestMessages::lostLinkAlarmsHaveTraditionalTexts()
{
    // The camera-lost and I/O-lost alarms must not show a blank box in
    // Traditional Chinese.
    gLan = LanTraditionalChinese;
    for (int id = 587; id <= 591; ++id)
        QVERIFY2(!Msg(id).isEmpty(), qPrintable(QString::number(id)));
    QCOMPARE(Msg(589), QStringLiteral("IO通訊異常，請排除故障！"));
    QCOMPARE(Msg(591), QStringLiteral("IO通訊異常提示"));
    QCOMPARE(Msg(589, LanSimplifiedChinese), QStringLiteral("IO通讯异常，请排除故障！"));
    QCOMPARE(Msg(590, LanSimplifiedChinese), QStringLiteral("IO通讯异常，现已重新连接."));
}

void TestMessages::languageNamesInOwnLanguage()
{
    for (int run : {LanSimplifiedChinese, LanEnglish, LanTraditionalChinese}) {
        gLan = run;
        QCOMPARE(Msg(317, LanSimplifiedChinese), QStringLiteral("简体中文"));
        QCOMPARE(Msg(317, LanEnglish), QStringLiteral("English"));
        QCOMPARE(Msg(317, LanTraditionalChinese), QStringLiteral("繁體中文"));
    }
}

void TestMessages::cavityNames()
{
    // Default cavity names come from the Simplified column whatever the language.
    for (int k = 1; k <= 16; ++k) {
        const int id = k <= 8 ? 459 + k : 587 + k;
        QCOMPARE(Msg(id, LanSimplifiedChinese), QStringLiteral("模腔%1").arg(k));
        QCOMPARE(Msg(id, LanEnglish), QStringLiteral("%1#").arg(k));
    }
}

void TestMessages::identicalPairs_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    const int pairs[][2] = {{118, 145}, {205, 229}, {215, 267}, {554, 1009}, {557, 1006}, {653, 654}};
    for (const auto& p : pairs)
        QTest::addRow("%d/%d", p[0], p[1]) << p[0] << p[1];
}

void TestMessages::identicalPairs()
{
    QFETCH(int, a);
    QFETCH(int, b);
    for (int language = 0; language < 3; ++language) {
        QVERIFY(!Msg(a, language).isEmpty());
        QCOMPARE(Msg(a, language), Msg(b, language));
    }
}

// Two boxes of the I/O page once repeated the English caption of another box
// of the same page with a different effect; each now says what it does.
void TestMessages::mendedBoxCaptions_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("other");
    QTest::addColumn<QString>("en");
    QTest::newRow("642, not 190") << 642 << 190 << "Clamp pulse when NG in mold, don't alarm";
    QTest::newRow("645, not 202") << 645 << 202 << "OK pulses clamp, NG pulses ejector";
}

void TestMessages::mendedBoxCaptions()
{
    QFETCH(int, id);
    QFETCH(int, other);
    QFETCH(QString, en);
    QCOMPARE(Msg(id, LanEnglish), en);
    for (int language = 0; language < 3; ++language)
        QVERIFY2(Msg(id, language) != Msg(other, language), qPrintable(QString::number(language)));
    // The box the caption was taken from keeps its own text.
    QVERIFY(!Msg(other, LanEnglish).isEmpty());
}

void TestMessages::everyFilledRowIsComplete()
{
    int filled = 0;
    for (int id = 0; id < kMessageIds; ++id) {
        const bool any = !Msg(id, 0).isEmpty() || !Msg(id, 1).isEmpty() || !Msg(id, 2).isEmpty();
        if (!any)
            continue;
        if (id < kProjectMessageBase)
            ++filled;
        QVERIFY2(!Msg(id, LanSimplifiedChinese).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY2(!Msg(id, LanTraditionalChinese).isEmpty(), qPrintable(QString::number(id)));
    }
    QCOMPARE(filled, 658);
}

void TestMessages::placeholderParity()
{
    for (int id = 0; id < kMessageIds; ++id) {
        const QString& en = Msg(id, LanEnglish);
        if (en.isEmpty() || id == 574)  // 574: the Chinese question names the count
            continue;
        for (int language : {LanSimplifiedChinese, LanTraditionalChinese}) {
            const QString& text = Msg(id, language);
            QVERIFY2(placeholdersOf(text) == placeholdersOf(en),
                     qPrintable(QStringLiteral("%1 in column %2: %3").arg(id).arg(language).arg(text)));
        }
    }
    // The exception is real: formatting 574 needs its count.
    QCOMPARE(placeholdersOf(Msg(574, LanSimplifiedChinese)), QStringList{QStringLiteral("1")});
}

void TestMessages::msgFollowsRunLanguage()
{
    gLan = LanEnglish;
    QCOMPARE(Msg(121), QStringLiteral("Confirm"));
    gLan = LanTraditionalChinese;
    QCOMPARE(Msg(121), QStringLiteral("確定"));
    gLan = LanSimplifiedChinese;
    QCOMPARE(Msg(121), QStringLiteral("确定"));
    QCOMPARE(&Msg(121), &gaLanStr[3 * 121]);
    // An unknown run language reads as the default one.
    gLan = 7;
    QCOMPARE(Msg(121), QStringLiteral("确定"));
    gLan = -1;
    QCOMPARE(Msg(121), QStringLiteral("确定"));
    // Out-of-range ids and languages give an empty text.
    QVERIFY(Msg(-1).isEmpty());
    QVERIFY(Msg(kMessageIds).isEmpty());
    QVERIFY(Msg(121, 3).isEmpty());
    QVERIFY(Msg(121, -1).isEmpty());
    // A format takes its arguments in the column's own order.
    QCOMPARE(Msg(73, LanSimplifiedChinese).arg(2).arg(5), QStringLiteral("相机2检测5 "));
    QCOMPARE(Msg(73, LanEnglish).arg(2).arg(5), QStringLiteral("Detection 5 of camera 2 "));
}

void TestMessages::refillResetsTable()
{
    gaLanStr[3 * 1008 + LanEnglish] = QStringLiteral("stale");
    gaLanStr[3 * 0 + LanEnglish] = QStringLiteral("stale");
    FillMessageTable();
    QVERIFY(Msg(1008, LanEnglish).isEmpty());
    QCOMPARE(Msg(0, LanEnglish), QStringLiteral("Camera parameter file error!"));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
