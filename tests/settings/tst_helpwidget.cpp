// The help pages: the folder by language, at most 50 pictures by name,
// Next and Last wrapping, Alarm, the chapter kept in the pictures loaded,
// and a help folder without pictures.
#include "colorbutton.h"
#include "helpwidget.h"
#include "messages.h"
#include "mojuwizard.h"
#include "testenv.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

namespace {

// count pictures "p00.png" ..., each a single colour telling its number
// (red = number), written in reverse so name order is not creation order.
void writePictures(const TestEnv& env, const QString& folder, int count)
{
    QDir().mkpath(env.path(folder));
    for (int i = count - 1; i >= 0; --i) {
        QImage img(200, 150, QImage::Format_RGB32);
        img.fill(QColor(i * 4, 10, 20));
        QVERIFY(img.save(env.path(QStringLiteral("%1/p%2.png").arg(folder).arg(i, 2, 10, QLatin1Char('0')))));
    }
}

// The number of the picture drawn, read from the screen below the buttons.
int shownPicture(HelpWidget& w)
{
    const QImage shot = w.grab().toImage();
    return qRed(shot.pixel(20, w.height() > 100 ? 100 : 45)) / 4;
}

struct Help {
    TestEnv env;
    std::unique_ptr<HelpWidget> w;
    int oldW = gShowW, oldH = gShowH, oldLan = gLan;
    Help()
    {
        gShowW = 1280;
        gShowH = 800;
        gHelpC = 0;
    }
    ~Help()
    {
        w.reset();
        gShowW = oldW;
        gShowH = oldH;
        gLan = oldLan;
        gHelpC = 0;
    }
    HelpWidget& build()
    {
        w = std::make_unique<HelpWidget>(nullptr);
        return *w;
    }
};

} // namespace

class TestHelpWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void tenPicturesWrapBothWays();
    void onlyTheFirstFiftyByName();
    void alarmAndTheAreaPagesHelpGivePictureSix();
    void folderFollowsTheLanguage();
    void chapterKeptWithinThePictures();
    void withoutPicturesTheButtonsDoNothing();
    void buttonsByScreenWidth();
};

void TestHelpWidget::tenPicturesWrapBothWays()
{
    Help h;
    writePictures(h.env, "help", 10);
    HelpWidget& w = h.build();
    QCOMPARE(w.pictureCount, 10);
    w.show();
    QCOMPARE(shownPicture(w), 0);
    w.lastButton->click();
    QCOMPARE(gHelpC, 9);
    QCOMPARE(shownPicture(w), 9);
    w.nextButton->click();
    QCOMPARE(gHelpC, 0);
    w.nextButton->click();
    QCOMPARE(gHelpC, 1);
    QCOMPARE(shownPicture(w), 1);
    // Return hides; the chapter survives to the next opening.
    w.returnButton->click();
    QVERIFY(!w.isVisible());
    w.show();
    QCOMPARE(shownPicture(w), 1);
}

void TestHelpWidget::onlyTheFirstFiftyByName()
{
    Help h;
    writePictures(h.env, "help", 60);
    h.env.writeFile("help/notes.txt", "not a picture");
    h.env.writeFile("help/a-broken.png", "not a png either");
    HelpWidget& w = h.build();
    QCOMPARE(w.pictureCount, 50);
    gHelpC = 49;
    w.show();
    QCOMPARE(shownPicture(w), 49);
    w.nextButton->click();
    QCOMPARE(gHelpC, 0);
    QCOMPARE(shownPicture(w), 0);
}

void TestHelpWidget::alarmAndTheAreaPagesHelpGivePictureSix()
{
    Help h;
    writePictures(h.env, "help", 10);
    HelpWidget& w = h.build();
    gHelpC = 2;
    w.show();
    w.alarmButton->click();
    QCOMPARE(gHelpC, 6);
    QCOMPARE(shownPicture(w), 6);
    // The area page's help sets the chapter first, whatever was shown.
    w.hide();
    gHelpC = 6;
    w.show();
    QCOMPARE(shownPicture(w), 6);
}

void TestHelpWidget::folderFollowsTheLanguage()
{
    QCOMPARE(HelpWidget::Folder(LanSimplifiedChinese), QString("./help/"));
    for (int lan : {LanEnglish, LanTraditionalChinese}) {
        Help h;
        gLan = lan;
        writePictures(h.env, "help", 3);
        writePictures(h.env, "help-en", 8);
        QCOMPARE(HelpWidget::Folder(lan), QString("./help-en/"));
        QCOMPARE(h.build().pictureCount, 8);
    }
}

void TestHelpWidget::chapterKeptWithinThePictures()
{
    Help h;
    writePictures(h.env, "help", 4);
    HelpWidget& w = h.build();
    // Alarm with fewer than seven pictures shows the last.
    w.show();
    w.alarmButton->click();
    QCOMPARE(gHelpC, 3);
    QCOMPARE(shownPicture(w), 3);
    // A chapter beyond the pictures (the area page's 6) is brought in range.
    w.hide();
    gHelpC = 6;
    w.show();
    QCOMPARE(gHelpC, 3);
    w.nextButton->click();
    QCOMPARE(gHelpC, 0);
    gHelpC = -5;   // set while shown: clamped before use
    w.lastButton->click();
    QCOMPARE(gHelpC, 3);
    gHelpC = 40;
    QCOMPARE(shownPicture(w), 3);
    w.lastButton->click();
    QCOMPARE(gHelpC, 2);
}

void TestHelpWidget::withoutPicturesTheButtonsDoNothing()
{
    for (bool folder : {false, true}) {
        Help h;
        if (folder)
            h.env.writeFile("help/readme.txt", "no pictures here");
        HelpWidget& w = h.build();
        QCOMPARE(w.pictureCount, 0);
        gHelpC = 6;
        w.show();
        for (ColorButton* b : {w.nextButton, w.lastButton, w.alarmButton}) {
            b->click();
            QCOMPARE(gHelpC, 6);
        }
        // The buttons on the background, reachable.
        QVERIFY(!w.grab().isNull());
        QVERIFY(w.returnButton->isVisible());
        w.returnButton->click();
        QVERIFY(!w.isVisible());
    }
}

void TestHelpWidget::buttonsByScreenWidth()
{
    struct Case {
        QSize screen;
        QSize button;
    };
    for (const Case& k : {Case{{1280, 800}, {150, 60}}, Case{{1024, 600}, {80, 30}}}) {
        Help h;
        gShowW = k.screen.width();
        gShowH = k.screen.height();
        HelpWidget& w = h.build();
        QCOMPARE(w.size(), k.screen);
        const QList<ColorButton*> row = {w.lastButton, w.nextButton, w.alarmButton, w.returnButton};
        for (int i = 0; i < row.size(); ++i)
            QCOMPARE(row[i]->geometry(), QRect(QPoint(10 + i * (k.button.width() + 5), 5), k.button));
    }
}

QTEST_MAIN(TestHelpWidget)
#include "tst_helpwidget.moc"
