// The hardware-configuration viewer: the line rules of conf.txt and
// confnext.txt, the live camera count, the second page and its button, the
// page kept between openings, and damaged files.
#include "cameraglobals.h"
#include "colorbutton.h"
#include "hardwareconfigurationwidget.h"
#include "messages.h"
#include "settingspage.h"
#include "testenv.h"

#include <QLabel>
#include <QLayout>
#include <QtTest>

#include <memory>

namespace {

class FakeSettingsPage : public SettingsPage {
public:
    int shows = 0;
    void showPage() override { ++shows; }
    void hidePage() override {}
    bool pageShown() const override { return false; }
    void acceptPage() override {}
    QWidget* pageWidget() override { return nullptr; }
};

using Entry = QPair<QString, QString>;

// The labels of a page, "name|value|colour" per row.
QStringList shownRows(QWidget* page)
{
    QStringList out;
    const QList<QLabel*> labels = page->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = 0; i + 1 < labels.size(); i += 2) {
        const QColor c = labels[i]->palette().color(QPalette::WindowText);
        out << QStringLiteral("%1|%2|%3")
                   .arg(labels[i]->text(), labels[i + 1]->text(),
                        c == QColor(Qt::cyan) ? "cyan" : c == QColor(Qt::yellow) ? "yellow" : c.name());
    }
    return out;
}

struct Viewer {
    TestEnv env;
    FakeSettingsPage settings;
    QWidget window;
    std::unique_ptr<HardwareConfigurationWidget> w;
    int oldCameras = numCamera, oldKind = gCameraID, oldW = gShowW, oldH = gShowH;

    Viewer()
    {
        gShowW = 1280;
        gShowH = 800;
        window.resize(gShowW, gShowH);
        window.show();
    }
    ~Viewer()
    {
        w.reset();
        numCamera = oldCameras;
        gCameraID = oldKind;
        gShowW = oldW;
        gShowH = oldH;
    }
    HardwareConfigurationWidget& build()
    {
        w = std::make_unique<HardwareConfigurationWidget>(&window, &settings);
        return *w;
    }
};

} // namespace

class TestHardwareConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }

    void lineRules_data();
    void lineRules();
    void pagesShowNamesValuesAndColours();
    void countShowsTheCamerasInUse();
    void secondPageOnlyWithEntries();
    void pageShownIsKeptAndConfirmReturns();
    void damagedFilesShowNothing();
    void fitsTheScreen();
};

void TestHardwareConfig::lineRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<Entry>>("entries");
    QTest::newRow("underscores") << "CPU_Type\tQuad_Core\n" << QList<Entry>{{"CPU Type", "Quad Core"}};
    QTest::newRow("no tab: heading") << "Cameras" << QList<Entry>{{"Cameras", ""}};
    QTest::newRow("empty value") << "Disk\t\n" << QList<Entry>{{"Disk", ""}};
    QTest::newRow("three fields") << "A\tB\tC" << QList<Entry>{{"A", "B"}};
    QTest::newRow("empty name kept") << "\tX" << QList<Entry>{{"", "X"}};
    QTest::newRow("empty lines") << "\n\nA\t1\n\n\nB\t2\n" << QList<Entry>{{"A", "1"}, {"B", "2"}};
    QTest::newRow("CRLF") << "A\t1\r\nB\t2\r\n\r\n" << QList<Entry>{{"A", "1"}, {"B", "2"}};
    QTest::newRow("control characters") << QString("A\x01\x1b[2J\t1") << QList<Entry>{{"A[2J", "1"}};
    QTest::newRow("UTF-8") << QString::fromUtf8("内存\t8_GB") << QList<Entry>{{QString::fromUtf8("内存"), "8 GB"}};
    QTest::newRow("nothing") << "" << QList<Entry>{};
}

void TestHardwareConfig::lineRules()
{
    QFETCH(QString, text);
    QFETCH(QList<Entry>, entries);
    QCOMPARE(ParseConfiguration(text), entries);
}

void TestHardwareConfig::pagesShowNamesValuesAndColours()
{
    Viewer v;
    v.env.writeFile("conf.txt", "System\nCPU_Type\tQuad_Core\nMemory\t4_GB\tspare\n");
    HardwareConfigurationWidget& w = v.build();
    QCOMPARE(shownRows(w.page1), (QStringList{"System||cyan", "CPU Type|Quad Core|yellow", "Memory|4 GB|yellow"}));
    // No confnext.txt: no second page and no way to it.
    QVERIFY(!w.nextButton2);
    QVERIFY(w.nextButton1->isHidden());
    QCOMPARE(w.confirmButton1->text(), Msg(121));
}

void TestHardwareConfig::countShowsTheCamerasInUse()
{
    Viewer v;
    v.env.writeFile("conf.txt", "Camera\nCount\t2\nModel\tX\n");
    v.env.writeFile("confnext.txt", "Count\t5\n");
    HardwareConfigurationWidget& w = v.build();
    QVERIFY(w.countLabel1);
    QVERIFY(w.countLabel1->text().isEmpty());
    struct Case {
        int kind, cameras;
        QString shown;
    };
    for (const Case& k : {Case{CameraKindMindVision, 3, "3"}, Case{CameraKindMindVision, 1, "1"},
                          Case{CameraKindNone, 4, "0"}}) {
        gCameraID = k.kind;
        numCamera = k.cameras;
        w.show();   // every showing reads the count again
        QCOMPARE(w.countLabel1->text(), k.shown);
        w.hide();
    }
    // Page 2's entry stays empty.
    QVERIFY(w.countLabel2);
    QVERIFY(w.countLabel2->text().isEmpty());
}

void TestHardwareConfig::secondPageOnlyWithEntries()
{
    {
        Viewer v;
        v.env.writeFile("conf.txt", "A\t1\n");
        v.env.writeFile("confnext.txt", "");
        HardwareConfigurationWidget& w = v.build();
        QVERIFY(w.nextButton2);   // the page exists ...
        QVERIFY(w.nextButton1->isHidden());   // ... but cannot be reached
    }
    {
        Viewer v;
        v.env.writeFile("confnext.txt", "Board\tIO-8\n");   // no conf.txt at all
        HardwareConfigurationWidget& w = v.build();
        QCOMPARE(shownRows(w.page1), QStringList());
        QVERIFY(!w.nextButton1->isHidden());
        QCOMPARE(shownRows(w.page2), QStringList{"Board|IO-8|yellow"});
    }
}

void TestHardwareConfig::pageShownIsKeptAndConfirmReturns()
{
    Viewer v;
    v.env.writeFile("conf.txt", "A\t1\n");
    v.env.writeFile("confnext.txt", "B\t2\n");
    HardwareConfigurationWidget& w = v.build();
    w.show();
    QVERIFY(w.page1->isVisible());
    QVERIFY(!w.page2->isVisible());
    w.nextButton1->click();
    QCOMPARE(w.currentPage, 2);
    QVERIFY(w.page2->isVisible());
    QVERIFY(!w.page1->isVisible());
    w.confirmButton2->click();
    QVERIFY(!w.isVisible());
    QCOMPARE(v.settings.shows, 1);
    // Reopened on page 2; its button leads back to page 1.
    w.show();
    QVERIFY(w.page2->isVisible());
    w.nextButton2->click();
    QCOMPARE(w.currentPage, 1);
    QVERIFY(w.page1->isVisible());
    w.confirmButton1->click();
    QCOMPARE(v.settings.shows, 2);
}

void TestHardwareConfig::damagedFilesShowNothing()
{
    Viewer v;
    QByteArray binary("A\t1\n");
    binary.append('\0');
    binary.append("\xff\xfe garbage");
    v.env.writeFile("conf.txt", binary);
    v.env.writeFile("confnext.txt", QByteArray(HardwareConfigurationWidget::kMaxFileBytes + 1, 'x'));
    HardwareConfigurationWidget& w = v.build();
    QCOMPARE(shownRows(w.page1), QStringList());
    QVERIFY(!w.nextButton2);
    QVERIFY(w.nextButton1->isHidden());
    // Invalid UTF-8 without NUL bytes is still shown, as replacement characters.
    ConfigurationEntries e = ParseConfiguration(QString::fromUtf8("A\t\xff\xfe"));
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].first, QString("A"));
}

void TestHardwareConfig::fitsTheScreen()
{
    for (QSize screen : {QSize(1920, 1080), QSize(1280, 800), QSize(1024, 600)}) {
        Viewer v;
        gShowW = screen.width();
        gShowH = screen.height();
        v.env.writeFile("conf.txt", "A\t1\n");
        HardwareConfigurationWidget& w = v.build();
        QVERIFY(QRect(0, 0, gShowW, gShowH).contains(w.geometry()));
        if (screen.width() >= 1500)
            QCOMPARE(w.size(), QSize(1500, 800));
        w.page1->layout()->activate();
        QVERIFY(w.rect().contains(w.confirmButton1->geometry()));
    }
}

QTEST_MAIN(TestHardwareConfig)
#include "tst_hardwareconfig.moc"
