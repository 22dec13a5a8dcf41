// The pictures the build draws for the program directory, as the program
// loads them: which lamp means which level, and the side bar's emblem.
#include "pixmaps.h"
#include "testenv.h"

#include <QImage>
#include <QProcess>
#include <QtTest>

class TestInterfaceImages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void litLampMeansLevelOne();
    void emblemFitsTheLogoLabel();

private:
    std::unique_ptr<TestEnv> env_;
};

namespace {
// How green the lamp's centre is: green above the mean of red and blue.
int greenness(const QPixmap& lamp)
{
    const QColor c = lamp.toImage().pixelColor(lamp.width() / 2, lamp.height() / 2);
    return c.green() - (c.red() + c.blue()) / 2;
}
}

void TestInterfaceImages::initTestCase()
{
    env_ = std::make_unique<TestEnv>();
    QProcess gen;
    gen.start(QStringLiteral(MM_MAKE_IMAGES_PROGRAM), {env_->path("images")});
    QVERIFY(gen.waitForFinished(30000));
    QCOMPARE(gen.exitCode(), 0);
    LoadPixmaps();
}

void TestInterfaceImages::litLampMeansLevelOne()
{
    QVERIFY(gpPixmapOUT[0] && !gpPixmapOUT[0]->isNull());
    QVERIFY(gpPixmapOUT[1] && !gpPixmapOUT[1]->isNull());
    QVERIFY2(greenness(*gpPixmapOUT[1]) > 60, "the level-1 lamp is lit");
    QVERIFY2(greenness(*gpPixmapOUT[0]) < 10, "the level-0 lamp is dark");
}

void TestInterfaceImages::emblemFitsTheLogoLabel()
{
    const QImage logo(env_->path("images/logo2.png"));
    QCOMPARE(logo.size(), QSize(230, 110));
}

QTEST_MAIN(TestInterfaceImages)
#include "tst_interfaceimages.moc"
