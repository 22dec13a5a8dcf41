// The kit's font names resolve to the WenQuanYi fonts it was laid out for.
#include "kitfonts.h"
#include "kitlayout.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QtTest>

class TestKitFonts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void resolvesToWenQuanYi_data();
    void resolvesToWenQuanYi();
};

void TestKitFonts::initTestCase()
{
    // scripts/setup installs fonts-wqy-microhei and fonts-wqy-zenhei.
    const QStringList installed = QFontDatabase::families();
    QVERIFY2(installed.contains(QStringLiteral("WenQuanYi Micro Hei"))
                 && installed.contains(QStringLiteral("WenQuanYi Zen Hei")),
             "the WenQuanYi fonts are not installed (scripts/setup installs them)");
    RegisterKitFonts();
}

void TestKitFonts::resolvesToWenQuanYi_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("family");
    QTest::newRow("micro hei, large") << MicroHei(40) << QStringLiteral("WenQuanYi Micro Hei");
    QTest::newRow("micro hei, small") << MicroHei(12) << QStringLiteral("WenQuanYi Micro Hei");
    QTest::newRow("wenquanyi, large") << WenQuanYi(30) << QStringLiteral("WenQuanYi Zen Hei");
    QTest::newRow("wenquanyi, small") << WenQuanYi(17) << QStringLiteral("WenQuanYi Zen Hei");
}

void TestKitFonts::resolvesToWenQuanYi()
{
    QFETCH(QFont, font);
    QFETCH(QString, family);
    const QFontInfo info(font);
    QCOMPARE(info.family(), family);
    QCOMPARE(info.pixelSize(), font.pixelSize());
}

QTEST_MAIN(TestKitFonts)
#include "tst_kitfonts.moc"
