// The statistics page: the NG-rate text and the chart geometry as tables, a
// chart rendered into an image, the tabs of each machine mode, the day list,
// an archive that cannot be read, when a verdict redraws, and the page on
// three screen sizes.
#include "cameraglobals.h"
#include "colorbutton.h"
#include "histogram.h"
#include "messages.h"
#include "recordswriter.h"
#include "resstatisticsparam.h"
#include "statisticswidget.h"
#include "statsdays.h"
#include "testenv.h"
#include "wizardpara.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

QByteArray digest(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

// Screen, machine, store and writer of one test; the clock stands at 10:00
// on 2024-03-05 (statistics date 2024-03-05).
class PageRig {
public:
    PageRig(int cameras, int detections, int mode = 0, QSize screen = QSize(1920, 1080))
    {
        env.clock->set(QDateTime(QDate(2024, 3, 5), QTime(10, 0)));
        oldW_ = gShowW, oldH_ = gShowH, oldCameras_ = numCamera, oldD_ = gDNum;
        oldPara_ = gpWPara;
        gShowW = screen.width();
        gShowH = screen.height();
        numCamera = cameras;
        gDNum = detections;
        para.systemMode = mode;
        gpWPara = &para;
        QDir().mkpath(env.path("ResStatistics"));
        writer = std::make_unique<RecordsWriter>(20);
        store = std::make_unique<ResStatisticsParam>(*writer, env.path("ResStatistics"));
        gpResStatisticsParam = store.get();
        gisUseStatistics = true;
    }
    ~PageRig()
    {
        page.reset();
        gpResStatisticsParam = nullptr;
        store.reset();
        writer.reset();
        gShowW = oldW_, gShowH = oldH_, numCamera = oldCameras_, gDNum = oldD_;
        gpWPara = oldPara_;
    }
    StatisticsWidget& makePage()
    {
        page = std::make_unique<StatisticsWidget>();
        return *page;
    }
    void archive(const QString& name, const statsdays::Day& day)
    {
        QVERIFY(statsdays::writeStatisticsFile(env.path("ResStatistics/" + name + ".db"), day));
    }
    // Chooses row as a touch on the list would.
    void choose(int row)
    {
        page->dayList->setCurrentRow(row);
        emit page->dayList->itemClicked(page->dayList->item(row));
    }
    CameraStatisticsWidget* shownDetection() const
    {
        return qobject_cast<CameraStatisticsWidget*>(page->currentCameraPage()->currentWidget());
    }

    TestEnv env;
    WizardPara para;
    std::unique_ptr<RecordsWriter> writer;
    std::unique_ptr<ResStatisticsParam> store;
    std::unique_ptr<StatisticsWidget> page;

private:
    int oldW_, oldH_, oldCameras_, oldD_;
    WizardPara* oldPara_;
};

QStringList items(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList tabTitles(const QTabWidget* tabs)
{
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

}  // namespace

class TestStatisticsPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void ngRate_data();
    void ngRate();
    void chartLayout_data();
    void chartLayout();
    void chartWidensNarrowValueTexts();
    void chartRendersBarsInTheirColours();
    void tabsOfTheModes_data();
    void tabsOfTheModes();
    void dayListNewestFirstBelowToday();
    void archiveShownReadOnly();
    void unreadableArchiveShowsZeros();
    void verdictRedrawsOnlyTheCurrentDay();
    void rollOverListsTheClosedDay();
    void exportButtonAsksFirst();
    void buttonsAndListOnScreen_data();
    void buttonsAndListOnScreen();
};

void TestStatisticsPage::ngRate_data()
{
    QTest::addColumn<int>("ok");
    QTest::addColumn<int>("ng");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 of 3") << 2 << 1 << "33.33%";
    QTest::newRow("1 of 4") << 3 << 1 << "25%";
    QTest::newRow("2 of 3") << 1 << 2 << "66.67%";
    QTest::newRow("0 of 0") << 0 << 0 << "0%";
    QTest::newRow("1 of 100000") << 99999 << 1 << "0.001%";
    QTest::newRow("all NG") << 0 << 7 << "100%";
}

void TestStatisticsPage::ngRate()
{
    QFETCH(int, ok);
    QFETCH(int, ng);
    QFETCH(QString, text);
    QCOMPARE(ngRateText(ok, ng), text);
}

void TestStatisticsPage::chartLayout_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("ok");
    QTest::addColumn<QList<int>>("ng");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QList<int>>("okHeights");
    QTest::addColumn<QList<int>>("ngHeights");
    QTest::addColumn<QList<int>>("okTextTops");

    const QList<int> zeros(12, 0);
    QList<int> one = zeros;
    one[3] = 17;
    QList<int> mixed = {1000, 500, 0, 250, 0, 0, 0, 0, 0, 0, 0, 0};
    QList<int> smallNg = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // h = 420 at the page's full size: bars reach h - 59 = 361, texts stop at h - 39 = 381.
    QTest::newRow("all zero, full size") << QSize(1300, 421) << zeros << zeros << 96 << zeros << zeros
                                         << QList<int>(12, 381);
    QList<int> oneHeights = zeros;
    oneHeights[3] = 361;
    QList<int> oneTops(12, 381);
    oneTops[3] = 40;
    QTest::newRow("one value, full height") << QSize(1300, 421) << one << zeros << 96 << oneHeights << zeros << oneTops;
    QTest::newRow("mixed, fitted width")
        << QSize(690, 225) << mixed << smallNg << 50
        << QList<int>{165, 82, 0, 41, 0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}
        << QList<int>{40, 123, 185, 164, 185, 185, 185, 185, 185, 185, 185, 185};
}

void TestStatisticsPage::chartLayout()
{
    QFETCH(QSize, size);
    QFETCH(QList<int>, ok);
    QFETCH(QList<int>, ng);
    QFETCH(int, slot);
    QFETCH(QList<int>, okHeights);
    QFETCH(QList<int>, ngHeights);
    QFETCH(QList<int>, okTextTops);

    QList<int> hoursList;
    for (int i = 0; i < 12; ++i)
        hoursList << 8 + i;
    const HistogramLayout l = LayoutHistogram(size, hoursList, ok, ng);
    const int w = size.width() - 1, h = size.height() - 1;
    QCOMPARE(l.slot, slot);
    QCOMPARE(l.xAxis, QLine(0, h - 19, w + 1, h - 19));
    QCOMPARE(l.yAxis, QLine(20, 40, 20, h + 1));
    QCOMPARE(l.bars.size(), 12);
    for (int i = 0; i < 12; ++i) {
        const HistogramBar& b = l.bars[i];
        const int x = (i + 1) * slot + 20;
        QCOMPARE(b.hour, 8 + i);
        QCOMPARE(b.labelBox, QRect(x - slot / 2, h - 19, slot, 20));
        QCOMPARE(b.okBar.left(), x - slot / 2);
        QCOMPARE(b.ngBar.left(), x);
        QCOMPARE(b.okBar.width(), slot / 2);
        QCOMPARE(b.okBar.height(), okHeights[i]);
        QCOMPARE(b.ngBar.height(), ngHeights[i]);
        // Every bar stands on the axis.
        QCOMPARE(b.okBar.top() + b.okBar.height(), h - 19);
        QCOMPARE(b.ngBar.top() + b.ngBar.height(), h - 19);
        QCOMPARE(b.okTextBox, QRect(x - slot / 2, okTextTops[i], slot / 2, 20));
        QCOMPARE(b.ngTextBox.top(), std::min(b.ngBar.top(), h - 39));
    }
    QCOMPARE(l.okLegendText, QRect(w - 139, 5, 100, 30));
    const int g = int(w - 139 - (slot / 2.0 + 5));
    QCOMPARE(l.okSwatch, QRect(g, 5, slot / 2, 30));
    QCOMPARE(l.ngLegendText, QRect(g - 105, 5, 100, 30));
}

void TestStatisticsPage::chartWidensNarrowValueTexts()
{
    QList<int> hoursList, ok(12, 0), ng(12, 0);
    for (int i = 0; i < 12; ++i)
        hoursList << 8 + i;
    ok[0] = 69921;   // 5 digits in a 25-pixel box
    ng[0] = 15;
    ok[1] = 30;      // short texts at the same height stay as they are
    ng[1] = 30;
    ok[2] = 12000;   // wide texts at the same height: NG moves above OK
    ng[2] = 12000;
    const auto digits = [](int v) { return 8 * int(QString::number(v).size()); };
    const HistogramLayout l = LayoutHistogram(QSize(690, 225), hoursList, ok, ng, digits);
    const int slot = l.slot;
    QCOMPARE(slot, 50);
    // Widened, centred on its bar.
    QCOMPARE(l.bars[0].okTextBox.width(), 42);
    QVERIFY(qAbs(l.bars[0].okTextBox.center().x() - l.bars[0].okBar.center().x()) <= 1);
    QVERIFY(!l.bars[0].okTextBox.intersects(l.bars[0].ngTextBox));
    const int lowest = 224 - 39;
    QCOMPARE(l.bars[1].okTextBox, QRect(l.bars[1].okBar.left(), std::min(l.bars[1].okBar.top(), lowest), 25, 20));
    QCOMPARE(l.bars[1].ngTextBox, QRect(l.bars[1].ngBar.left(), std::min(l.bars[1].ngBar.top(), lowest), 25, 20));
    QVERIFY(!l.bars[2].okTextBox.intersects(l.bars[2].ngTextBox));
    QCOMPARE(l.bars[2].ngTextBox.bottom(), l.bars[2].okTextBox.top() - 1);
    // Without the measure the boxes are the half-slot ones.
    QCOMPARE(LayoutHistogram(QSize(690, 225), hoursList, ok, ng).bars[0].okTextBox.width(), 25);
}

void TestStatisticsPage::chartRendersBarsInTheirColours()
{
    QList<int> hoursList, ok(12, 0), ng(12, 0);
    for (int i = 0; i < 12; ++i)
        hoursList << 8 + i;
    ok[2] = 400;
    ng[2] = 100;
    ng[5] = 1;   // far below the largest value: still a visible bar
    Histogram chart(nullptr, hoursList, ok, ng);
    chart.resize(700, 300);
    QImage image(chart.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    chart.render(&image);

    const HistogramLayout l = chart.layout();
    const auto inside = [&](const QRect& r) { return image.pixelColor(r.center()); };
    const QColor okPixel = inside(l.bars[2].okBar.adjusted(0, 25, 0, 0));   // below its value text
    QVERIFY2(okPixel.green() > 200 && okPixel.red() < 100 && okPixel.blue() < 100, qPrintable(okPixel.name()));
    const QColor ngPixel = inside(l.bars[2].ngBar.adjusted(0, 25, 0, 0));
    QVERIFY2(ngPixel.red() > 200 && ngPixel.green() < 100 && ngPixel.blue() < 100, qPrintable(ngPixel.name()));
    QCOMPARE(l.bars[5].ngBar.height(), 2);
    const QColor tiny = image.pixelColor(l.bars[5].ngBar.left() + 2, l.bars[5].ngBar.bottom());
    QVERIFY2(tiny.red() > 200 && tiny.green() < 100, qPrintable(tiny.name()));
    // An hour without results draws nothing above the axis but its texts.
    const QRect empty = l.bars[8].okBar;
    QCOMPARE(empty.height(), 0);
    QCOMPARE(image.pixelColor(empty.left() + 1, l.xAxis.y1() - 25), image.pixelColor(10, l.xAxis.y1() - 25));
}

void TestStatisticsPage::tabsOfTheModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("base");
    QTest::newRow("mode 0") << 0 << 263;
    QTest::newRow("mode 1") << 1 << 372;
    QTest::newRow("mode 2") << 2 << 372;
    QTest::newRow("mode 3") << 3 << 263;
    QTest::newRow("mode 4") << 4 << 477;
}

void TestStatisticsPage::tabsOfTheModes()
{
    QFETCH(int, mode);
    QFETCH(int, base);
    PageRig rig(2, 2, mode);
    StatisticsWidget& page = rig.makePage();
    QCOMPARE(tabTitles(page.cameraTabs), (QStringList{"所有相机", "1号相机 ", "2号相机 "}));
    QVERIFY(!page.cameraPages[3]);
    QCOMPARE(page.cameraPages[0]->detectionPages[0]->camera, StatIndexAll);
    QCOMPARE(page.cameraPages[2]->detectionPages[0]->camera, 1);
    QCOMPARE(page.cameraPages[1]->detectionPages[2]->detection, 1);
    QCOMPARE(page.cameraPages[1]->detectionPages[0]->detection, StatIndexAll);
    QCOMPARE(tabTitles(page.cameraPages[1]),
             (QStringList{"所有检测", Msg(1005).arg(Msg(base)), Msg(1005).arg(Msg(base + 1))}));
    if (mode == 0)
        QCOMPARE(page.cameraPages[1]->tabText(1), Msg(1005).arg(Msg(263)));
}

void TestStatisticsPage::dayListNewestFirstBelowToday()
{
    PageRig rig(1, 1);
    const statsdays::Day empty;
    rig.archive("2024-03-01", empty);
    rig.archive("2024-03-03", empty);
    rig.archive("2024-03-03_2", empty);
    rig.archive("2024-03-02", empty);
    rig.env.writeFile("ResStatistics/notes.txt", "x");
    rig.env.writeFile("ResStatistics/2024-02-01.db.bak", "x");
    StatisticsWidget& page = rig.makePage();
    page.updateList();
    QCOMPARE(items(page.dayList), (QStringList{"2024-03-05", "2024-03-03_2", "2024-03-03", "2024-03-02", "2024-03-01"}));
    QCOMPARE(page.dayList->currentRow(), 0);
}

void TestStatisticsPage::archiveShownReadOnly()
{
    PageRig rig(2, 2);
    statsdays::Day day = statsdays::busyDay(2, 2, 7);
    rig.archive("2024-03-04", day);
    const QByteArray before = digest(rig.env.path("ResStatistics/2024-03-04.db"));
    StatisticsWidget& page = rig.makePage();
    page.updateList();
    page.cameraTabs->setCurrentIndex(2);      // camera 1
    rig.page->currentCameraPage()->setCurrentIndex(2);   // detection 1
    rig.choose(1);

    CameraStatisticsWidget* shown = rig.shownDetection();
    QCOMPARE(shown->camera, 1);
    QCOMPARE(shown->detection, 1);
    int morningOk = 0, ng = 0, ok = 0;
    for (int h = 0; h < 24; ++h) {
        morningOk += (h >= 8 && h <= 19) ? day.ok[1][1][h] : 0;
        ok += day.ok[1][1][h];
        ng += day.ng[1][1][h];
    }
    QCOMPARE(shown->morningOkLabel->text(), QString::number(morningOk));
    QCOMPARE(shown->dayCountLabel->text(), QString::number(ok + ng));
    QCOMPARE(shown->dayNgLabel->text(), QString::number(ng));
    QCOMPARE(shown->ngRateLabel->text(), ngRateText(ok, ng));
    QCOMPARE(shown->nightChart->okValues.first(), day.ok[1][1][20]);
    QCOMPARE(shown->nightChart->okValues.last(), day.ok[1][1][7]);
    QCOMPARE(shown->morningChart->hourLabels.first(), 8);
    QCOMPARE(shown->nightChart->hourLabels.first(), 20);
    QCOMPARE(shown->nightChart->hourLabels.last(), 7);
    // Looking never changes the archive.
    QCOMPARE(digest(rig.env.path("ResStatistics/2024-03-04.db")), before);
}

void TestStatisticsPage::unreadableArchiveShowsZeros()
{
    PageRig rig(1, 1);
    rig.archive("2024-03-04", statsdays::busyDay(1, 1));
    rig.env.writeFile("ResStatistics/2024-03-03.db", QByteArray(4096, '\x5a'));
    rig.archive("2024-03-02", statsdays::busyDay(1, 1));
    StatisticsWidget& page = rig.makePage();
    page.updateList();
    QCOMPARE(items(page.dayList).mid(1), (QStringList{"2024-03-04", "2024-03-03", "2024-03-02"}));

    rig.choose(1);
    QVERIFY(rig.shownDetection()->dayCountLabel->text().toInt() > 0);
    rig.choose(2);   // garbage bytes
    QCOMPARE(rig.shownDetection()->dayCountLabel->text(), QString("0"));
    QCOMPARE(rig.shownDetection()->ngRateLabel->text(), QString("0%"));
    QCOMPARE(rig.shownDetection()->morningChart->maxValue, 0);

    rig.choose(3);
    QVERIFY(rig.shownDetection()->dayCountLabel->text().toInt() > 0);
    // A listed archive that went away meanwhile: zeros, and no file is made.
    QFile::remove(rig.env.path("ResStatistics/2024-03-04.db"));
    rig.choose(1);
    QCOMPARE(rig.shownDetection()->dayCountLabel->text(), QString("0"));
    QVERIFY(!QFile::exists(rig.env.path("ResStatistics/2024-03-04.db")));
}

void TestStatisticsPage::verdictRedrawsOnlyTheCurrentDay()
{
    PageRig rig(1, 1);
    rig.archive("2024-03-04", statsdays::Day());
    StatisticsWidget& page = rig.makePage();
    page.updateList();
    QLabel* total = rig.shownDetection()->dayCountLabel;
    QCOMPARE(total->text(), QString("0"));

    const QDateTime at(QDate(2024, 3, 5), QTime(10, 30));
    rig.store->Add(at, true, 0, 0);
    QCOMPARE(total->text(), QString("1"));

    rig.choose(1);   // an archived day: verdicts do not change what is shown
    rig.store->Add(at, false, 0, 0);
    QCOMPARE(total->text(), QString("0"));
    QVERIFY(!page.showsCurrentDay());

    rig.choose(0);
    QCOMPARE(total->text(), QString("2"));
    rig.store->Add(at, false, 0, 0);
    QCOMPARE(total->text(), QString("3"));
    QCOMPARE(rig.shownDetection()->dayNgLabel->text(), QString("2"));
    QCOMPARE(rig.shownDetection()->ngRateLabel->text(), QString("66.67%"));
}

void TestStatisticsPage::rollOverListsTheClosedDay()
{
    PageRig rig(1, 1);
    rig.archive("2024-03-04", statsdays::Day());
    StatisticsWidget& page = rig.makePage();
    page.updateList();
    page.cameraTabs->setCurrentIndex(1);   // the tabs chosen stay chosen
    rig.store->Add(QDateTime(QDate(2024, 3, 5), QTime(10, 30)), true, 0, 0);
    rig.choose(1);   // looking at an archive when the day turns

    rig.store->Add(QDateTime(QDate(2024, 3, 6), QTime(8, 0, 1)), false, 0, 0);
    QCOMPARE(items(page.dayList), (QStringList{"2024-03-06", "2024-03-05", "2024-03-04"}));
    QCOMPARE(page.dayList->currentRow(), 0);
    QCOMPARE(page.cameraTabs->currentIndex(), 1);
    // The new day shows its one verdict, the closed day its own.
    QCOMPARE(rig.shownDetection()->dayNgLabel->text(), QString("1"));
    QCOMPARE(rig.shownDetection()->dayCountLabel->text(), QString("1"));
    rig.choose(1);
    QCOMPARE(rig.shownDetection()->dayCountLabel->text(), QString("1"));
    QCOMPARE(rig.shownDetection()->morningOkLabel->text(), QString("1"));
}

void TestStatisticsPage::exportButtonAsksFirst()
{
    PageRig rig(1, 1);
    StatisticsWidget& page = rig.makePage();
    page.show();
    rig.env.defaultAnswer = 0;   // 324: No
    page.exportButton->click();
    QCOMPARE(rig.env.modalRequests.size(), size_t(1));
    QCOMPARE(rig.env.modalRequests.front().messageId, 324);
    // Asked, declined: the page is back and nothing ran.
    QTRY_VERIFY(page.isVisible());
    QVERIFY(rig.env.runner->calls().empty());
}

void TestStatisticsPage::buttonsAndListOnScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::newRow("1920x1080") << QSize(1920, 1080);
    QTest::newRow("1280x800") << QSize(1280, 800);
    QTest::newRow("1024x600") << QSize(1024, 600);
}

void TestStatisticsPage::buttonsAndListOnScreen()
{
    QFETCH(QSize, screen);
    PageRig rig(8, 8, 0, screen);
    StatisticsWidget& page = rig.makePage();
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const QRect onScreen(QPoint(0, 0), screen);
    const auto global = [&](QWidget* w) { return QRect(w->mapTo(&page, QPoint(0, 0)) + page.pos(), w->size()); };
    const QRect placed = page.geometry();
    QVERIFY2(onScreen.contains(placed), qPrintable(QStringLiteral("page %1,%2 %3x%4 on %5x%6")
                 .arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())
                 .arg(onScreen.width()).arg(onScreen.height())));
    for (QWidget* w : {static_cast<QWidget*>(page.dayList), static_cast<QWidget*>(page.returnButton),
                       static_cast<QWidget*>(page.exportButton), static_cast<QWidget*>(page.cameraTabs)}) {
        const QRect r = global(w);
        QVERIFY2(onScreen.contains(r), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(w->metaObject()->className())
                     .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    }
    // The two buttons do not cover each other or the list.
    QVERIFY(!global(page.returnButton).intersects(global(page.exportButton)));
    QVERIFY(!global(page.dayList).intersects(global(page.returnButton)));
    if (screen == QSize(1920, 1080)) {
        QCOMPARE(page.geometry(), QRect(0, 0, 1920, 1080));
        QCOMPARE(page.cameraTabs->size(), QSize(1738, 980));
        QCOMPARE(page.returnButton->size(), QSize(300, 50));
        QCOMPARE(rig.shownDetection()->morningChart->height(), 420);
    } else {
        // The page covers the screen; its parts are scaled by
        // min(W / 1920, H / 1080).
        QCOMPARE(page.geometry(), onScreen);
        const double s = std::min(screen.width() / 1920.0, screen.height() / 1080.0);
        QCOMPARE(page.cameraTabs->size(), QSize(int(1738 * s + 1e-9), int(980 * s + 1e-9)));
    }
    // Texts stay readable.
    const QFont f = rig.shownDetection()->dayCountLabel->font();
    QVERIFY(f.pixelSize() >= 12 || f.pointSize() >= 9);
}

int main(int argc, char** argv)
{
    // A zone without daylight saving, before the first date is computed.
    qputenv("TZ", "CST-8");
    tzset();
    QApplication app(argc, argv);
    TestStatisticsPage test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_statisticspage.moc"
